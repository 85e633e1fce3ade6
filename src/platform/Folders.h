#pragma once
// The folders of the disk as the drop walks them.
#include <windows.h>

#include "app/Folders.h"

#include <string>
#include <vector>

namespace varno::win {

// Folders read with FindFirstFileExW / FindNextFileW (basic information,
// large fetches). Paths too long for the plain form are read through "\\?\".
class Win32FolderReader : public FolderReader {
  public:
    EntryKind KindOf(const std::wstring& path) override;
    bool Read(const std::wstring& folder, std::vector<FolderEntry>& out) override;
};

} // namespace varno::win
