#include "platform/ServerRegistry.h"

#include "app/ServerCommand.h"
#include "platform/Handle.h"

#include <vector>

namespace varno::win {
namespace {

constexpr REGSAM Views[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

std::wstring ClassKey(const CLSID& clsid, std::wstring_view subkey) {
    wchar_t text[40];
    StringFromGUID2(clsid, text, 40);
    return L"CLSID\\" + std::wstring(text) + L"\\" + std::wstring(subkey);
}

// A key's default value in one view, expanded where it is a REG_EXPAND_SZ.
std::optional<std::wstring> DefaultValue(const std::wstring& key, REGSAM view) {
    UniqueKey opened;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE | view, opened.Put()) !=
        ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(opened.Get(), nullptr, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(opened.Get(), nullptr, nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring value(data.data()); // the stored text need not end with its NUL
    if (type != REG_EXPAND_SZ)
        return value;
    const DWORD size = ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
    if (size == 0)
        return std::nullopt;
    std::vector<wchar_t> expanded(size);
    if (ExpandEnvironmentStringsW(value.c_str(), expanded.data(), size) == 0)
        return std::nullopt;
    return std::wstring(expanded.data());
}

// A file, not a folder, is there. A name without a folder is looked for as
// the system looks for a program (SearchPathW: the program's and the
// system's folders, then PATH).
bool IsFile(const std::wstring& path) {
    std::wstring found = path;
    if (path.find_first_of(L"\\/:") == std::wstring::npos) {
        wchar_t buffer[MAX_PATH];
        const DWORD n = SearchPathW(nullptr, path.c_str(), nullptr, MAX_PATH, buffer, nullptr);
        if (n == 0 || n >= MAX_PATH)
            return false;
        found.assign(buffer, n);
    }
    const DWORD attributes = GetFileAttributesW(found.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

std::optional<std::wstring> LocalServerProgram(const CLSID& clsid) {
    const std::wstring key = ClassKey(clsid, L"LocalServer32");
    for (const REGSAM view : Views)
        if (const auto command = DefaultValue(key, view))
            if (auto program = ServerProgram(*command, IsFile))
                return program;
    return std::nullopt;
}

std::wstring VersionIndependentProgId(const CLSID& clsid) {
    const std::wstring key = ClassKey(clsid, L"VersionIndependentProgID");
    for (const REGSAM view : Views)
        if (auto id = DefaultValue(key, view); id && !id->empty())
            return *id;
    return {};
}

} // namespace varno::win
