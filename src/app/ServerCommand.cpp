#include "app/ServerCommand.h"

namespace varno {
namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// A file name whose last part has no dot gets ".exe".
std::wstring WithExtension(std::wstring_view path) {
    const std::size_t folder = path.find_last_of(L"\\/:");
    const std::wstring_view name =
        folder == std::wstring_view::npos ? path : path.substr(folder + 1);
    std::wstring program(path);
    if (name.find(L'.') == std::wstring_view::npos)
        program += L".exe";
    return program;
}

} // namespace

std::optional<std::wstring> ServerProgram(std::wstring_view command,
                                          const std::function<bool(const std::wstring&)>& isFile) {
    while (!command.empty() && IsBlank(command.front()))
        command.remove_prefix(1);
    const auto existing = [&](std::wstring_view path) -> std::optional<std::wstring> {
        if (path.empty())
            return std::nullopt;
        std::wstring program = WithExtension(path);
        if (!isFile(program))
            return std::nullopt;
        return program;
    };
    if (command.starts_with(L'"')) {
        const std::size_t close = command.find(L'"', 1);
        return existing(command.substr(1, close == std::wstring_view::npos ? close : close - 1));
    }
    // Each word's end, then the end of the line: C:\Program.exe is tried
    // before C:\Program Files\CAD\cad.exe, as the system tries it.
    for (std::size_t end = 1; end <= command.size(); ++end) {
        if (end < command.size() && !IsBlank(command[end]))
            continue;
        if (IsBlank(command[end - 1]))
            continue;
        if (auto program = existing(command.substr(0, end)))
            return program;
    }
    return std::nullopt;
}

} // namespace varno
