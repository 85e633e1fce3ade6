#pragma once
// The drawings' files on the disk.
#include "app/DrawingFiles.h"

namespace varno::win {

class Win32DrawingFiles : public DrawingFiles {
  public:
    bool FileExists(const std::wstring& path) override;
    // Read while any other program may hold the file open, even for writing.
    std::string ReadHead(const std::wstring& path, std::size_t count) override;
};

} // namespace varno::win
