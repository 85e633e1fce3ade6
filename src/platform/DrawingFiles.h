#pragma once
// The drawings' files on the disk.
#include "app/DrawingFiles.h"

namespace varno::win {

class Win32DrawingFiles : public DrawingFiles {
  public:
    bool FileExists(const std::wstring& path) override;
};

} // namespace varno::win
