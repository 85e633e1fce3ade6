// libFuzzer target for the list file decoder (built by tools/fuzz.sh with
// AddressSanitizer and UndefinedBehaviorSanitizer). Any bytes either read
// into entries or fail with the format error; no entry is blank or holds a
// line end or NUL; what was read is written and read back unchanged (entries
// that are themselves wrapped in quotes lose one more pair, so they are left
// out of that check), in the Chinese and in a Western ANSI code page.
#include "mainwindow/ListFileCodec.h"

#include "app/FileError.h"
#include "support/IconvCodePage.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Check(std::string_view bytes, const varno::CodePage& ansi) {
    std::vector<std::wstring> lines;
    try {
        lines = varno::DecodeListFile(bytes, ansi);
    } catch (const varno::Error& e) {
        if (e.Number() != varno::errnum::InvalidFileFormat)
            std::abort();
        return;
    }
    std::vector<std::wstring> plain;
    for (const auto& line : lines) {
        if (line.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring::npos ||
            line.find_first_not_of(L" \t") == std::wstring::npos)
            std::abort();
        if (varno::ListEntry(line) == std::wstring_view(line))
            plain.push_back(line);
    }
    const std::string written = varno::EncodeListFile(plain, ansi);
    if (varno::DecodeListFile(written, ansi) != plain)
        std::abort();
    if (varno::EncodeListFile(plain, ansi) != written) // deterministic
        std::abort();
    // Every entry read comes back one way or another: none is lost or added.
    if (varno::DecodeListFile(varno::EncodeListFile(lines, ansi), ansi).size() > lines.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const varno::test::IconvCodePage chinese("CP936");
    static const varno::test::IconvCodePage western("CP1252");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes, chinese);
    Check(bytes, western);
    return 0;
}
