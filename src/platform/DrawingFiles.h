#pragma once
// The drawings' files on the disk.
#include "app/DrawingFiles.h"

namespace varno::win {

class Win32DrawingFiles : public DrawingFiles {
  public:
    bool FileExists(const std::wstring& path) override;
    // Read while any other program may hold the file open, even for writing.
    std::string ReadHead(const std::wstring& path, std::size_t count) override;
    // GetFinalPathNameByHandleW on a handle opened for no access, shared with
    // everyone (so a file another program holds opens too).
    std::optional<std::wstring> FinalPath(const std::wstring& path) override;
    // CompareStringOrdinal ignoring case.
    bool SameName(std::wstring_view a, std::wstring_view b) override;
};

} // namespace varno::win
