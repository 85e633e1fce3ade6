#pragma once
// A code page's conversions of text to and from bytes: the system's ANSI code
// page on Windows, iconv in the native tests.
#include <optional>
#include <string>
#include <string_view>

namespace varno {

// A code page's conversions of text to and from bytes.
class CodePage {
  public:
    virtual ~CodePage() = default;
    // The text in this code page, or nothing when some character has no
    // exact representation in it (no best-fit substitutes, no "?").
    virtual std::optional<std::string> Encode(std::wstring_view text) const = 0;
    // The bytes as text, or nothing when they are not valid in this code page.
    virtual std::optional<std::wstring> Decode(std::string_view bytes) const = 0;
};

} // namespace varno
