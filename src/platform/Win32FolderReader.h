#pragma once
// The folders of the disk as the drop walks them.
#include <windows.h>

#include "app/Folders.h"

#include <optional>
#include <string>
#include <vector>

namespace varno::win {

// Folders read with FindFirstFileExW / FindNextFileW (basic information,
// large fetches); a folder's identity from its handle, links followed. Paths
// too long for the plain form are read through "\\?\". Holds no state: any
// thread may use it, and several at once.
class Win32FolderReader : public FolderReader {
  public:
    EntryKind KindOf(const std::wstring& path) override;
    std::optional<FolderId> IdOf(const std::wstring& folder) override;
    bool Read(const std::wstring& folder, std::vector<FolderEntry>& out) override;
};

} // namespace varno::win
