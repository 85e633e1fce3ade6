// libFuzzer target for the list file decoder (built by tools/fuzz.sh with
// AddressSanitizer and UndefinedBehaviorSanitizer). Any bytes either read
// into entries or fail with the format error; what was read is written and
// read back unchanged, in the Chinese and in a Western ANSI code page.
#include "mainwindow/ListFile.h"

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
    for (const auto& line : lines)
        if (line.find_first_of(std::wstring_view(L"\r\0", 2)) != std::wstring::npos)
            std::abort();
    const std::string written = varno::EncodeListFile(lines, ansi);
    if (varno::DecodeListFile(written, ansi) != lines)
        std::abort();
    if (varno::EncodeListFile(lines, ansi) != written) // deterministic
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
