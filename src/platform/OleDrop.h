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
// with the copy effect over the window and every child control. A drop's
// paths are read at once, so that the drag source is free again, and handed
// to the handler from a message posted to the window. The registration hooks
// itself into the window's messages (a subclass of the window) for that
// message and for the window's destruction, when it is revoked; else it is
// revoked with this object or by Revoke.
class OleFileDrop {
  public:
    using Handler = std::function<void(const std::vector<std::wstring>& paths)>;
    // Asked as a drag enters, moves over the window and drops: false refuses
    // the drop for now (the drag shows the no-drop cursor).
    using Taking = std::function<bool()>;

    OleFileDrop();
    ~OleFileDrop();
    OleFileDrop(const OleFileDrop&) = delete;
    OleFileDrop& operator=(const OleFileDrop&) = delete;

    // Needs OLE initialised on the window's thread; false when it refuses.
    bool Register(HWND window, Handler onDrop, Taking taking = {});
    void Revoke();
    bool IsRegistered() const { return window_ != nullptr; }

  private:
    static LRESULT CALLBACK Hook(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                 DWORD_PTR self);
    // True for the message that carries drops: their paths have then gone to
    // the handler, one call a drop, in the order dropped.
    bool Deliver(UINT msg);

    HWND window_ = nullptr;
    ComPtr<FileDropTarget> target_;
    Handler onDrop_;
};

// The effect a drop of this data would have: DROPEFFECT_COPY when it offers
// files (CF_HDROP in global memory) and the source allows a copy, otherwise
// DROPEFFECT_NONE.
DWORD FileDropEffect(IDataObject* data, DWORD allowed);

} // namespace varno::win
