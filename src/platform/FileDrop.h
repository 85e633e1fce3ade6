#pragma once
// Files dropped from the file manager (or any drag source) onto a window.
#include <windows.h>
#include <shellapi.h>

#include "platform/Handle.h"

#include <string>
#include <vector>

namespace varno::win {

// Marks the window as taking dropped files: the file manager shows its copy
// cursor over it and over every child control, and a drop arrives as
// WM_DROPFILES at the window.
void AcceptDroppedFiles(HWND window);

// The full path of every file and folder in a drop, at any length: the
// HDROP of WM_DROPFILES or the CF_HDROP memory of an OLE drop alike.
std::vector<std::wstring> DroppedPaths(HDROP drop);

// The HDROP of one WM_DROPFILES; released (DragFinish) with this object.
class DroppedFiles {
  public:
    explicit DroppedFiles(HDROP drop) : drop_(drop) {}

    std::vector<std::wstring> Paths() const { return DroppedPaths(drop_.Get()); }

  private:
    UniqueDrop drop_;
};

} // namespace varno::win
