#include "platform/DrawingFiles.h"

#include <windows.h>

#include <memory>

namespace varno::win {

bool Win32DrawingFiles::FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Win32DrawingFiles::ReadHead(const std::wstring& path, std::size_t count) {
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    const std::unique_ptr<void, decltype(&CloseHandle)> file(handle, &CloseHandle);
    std::string bytes(count, '\0');
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(count), &got, nullptr))
        got = 0;
    bytes.resize(got);
    return bytes;
}

} // namespace varno::win
