#pragma once
// Files dropped through OLE drag and drop. Drag sources that call DoDragDrop
// (the file manager, the file dialogs) hand a drop only to a window registered
// with RegisterDragDrop; Wine's DoDragDrop knows no other way in.
#include <windows.h>
#include <oleidl.h>

#include "platform/Com.h"

#include <functional>
#include <string>
#include <vector>

namespace varno::win {

class FileDropTarget;

// A window's registration as a drop target for files (CF_HDROP): it answers
// with the copy effect over the window and every child control, and hands
// each drop's paths to the handler on the window's thread. Revoked with this
// object or by Revoke, which must come before the window is destroyed.
class OleFileDrop {
  public:
    using Handler = std::function<void(const std::vector<std::wstring>& paths)>;

    OleFileDrop();
    ~OleFileDrop();
    OleFileDrop(const OleFileDrop&) = delete;
    OleFileDrop& operator=(const OleFileDrop&) = delete;

    // Needs OLE initialised on the window's thread; false when it refuses.
    bool Register(HWND window, Handler onDrop);
    void Revoke();
    bool IsRegistered() const { return window_ != nullptr; }

  private:
    HWND window_ = nullptr;
    ComPtr<FileDropTarget> target_;
};

// The effect a drop of this data would have: DROPEFFECT_COPY when it offers
// files (CF_HDROP in global memory) and the source allows a copy, otherwise
// DROPEFFECT_NONE.
DWORD FileDropEffect(IDataObject* data, DWORD allowed);

} // namespace varno::win
