#include "platform/DrawingFiles.h"

#include <windows.h>

namespace varno::win {

bool Win32DrawingFiles::FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace varno::win
