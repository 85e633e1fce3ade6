#pragma once
// The program's text (UTF-16 where wchar_t has 16 bits, UTF-32 elsewhere) in
// UTF-8 and in UTF-16 LE, and back.
#include <optional>
#include <string>
#include <string_view>

namespace varno {

// UTF-8: nothing when the input is not valid (overlong forms, surrogates and
// values beyond U+10FFFF are not).
bool IsValidUtf8(std::string_view bytes);
std::optional<std::wstring> Utf8ToWide(std::string_view bytes);
std::optional<std::string> WideToUtf8(std::wstring_view text);

// UTF-16 LE bytes (without a byte-order mark) as text; nothing for an odd
// number of bytes. Unpaired surrogates are kept as they are, like the file
// system keeps them in names.
std::optional<std::wstring> Utf16LeToWide(std::string_view bytes);
// UTF-16 LE bytes of any text the program can hold; nothing only for values
// that no UTF-16 text can carry (possible where wchar_t has 32 bits).
std::optional<std::string> WideToUtf16Le(std::wstring_view text);

} // namespace varno
