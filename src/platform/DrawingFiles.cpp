#include "platform/DrawingFiles.h"

#include "platform/Handle.h"

namespace varno::win {

bool Win32DrawingFiles::FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Win32DrawingFiles::ReadHead(const std::wstring& path, std::size_t count) {
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes(count, '\0');
    DWORD got = 0;
    if (!file || !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(count), &got, nullptr))
        got = 0;
    bytes.resize(got);
    return bytes;
}

} // namespace varno::win
