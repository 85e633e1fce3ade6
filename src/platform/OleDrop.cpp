#include "platform/OleDrop.h"

#include "platform/Barrier.h"
#include "platform/FileDrop.h"
#include "platform/Handle.h"

#include <commctrl.h>

#include <new>
#include <utility>

namespace varno::win {

namespace {

FORMATETC FilesFormat() {
    return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

UINT DropMessage() {
    static const UINT message = RegisterWindowMessageW(L"varno.OleFileDrop");
    return message;
}

} // namespace

DWORD FileDropEffect(IDataObject* data, DWORD allowed) {
    FORMATETC format = FilesFormat();
    if (!data || !(allowed & DROPEFFECT_COPY) || data->QueryGetData(&format) != S_OK)
        return DROPEFFECT_NONE;
    return DROPEFFECT_COPY;
}

// The IDropTarget itself. Owned by COM reference counting: the registration
// holds one reference, OLE its own while the window is registered. OLE calls
// it on the window's thread only. It takes nothing once revoked.
class FileDropTarget final : public ComObject<IDropTarget> {
  public:
    static ComPtr<FileDropTarget> Make(HWND window, OleFileDrop::Taking taking) {
        return ComPtr<FileDropTarget>::Attach(new (std::nothrow)
                                                  FileDropTarget(window, std::move(taking)));
    }
    void Forget() {
        window_ = nullptr;
        pending_.clear();
    }
    std::vector<std::vector<std::wstring>> TakePending() { return std::exchange(pending_, {}); }

    // IDropTarget; a failure inside ends with the effect "none".
    STDMETHODIMP DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) noexcept override {
        return Guarded(effect, [&] { return Enter(data, effect); });
    }
    STDMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) noexcept override {
        if (!effect)
            return E_INVALIDARG;
        *effect = Takes() ? *effect & effect_ : DROPEFFECT_NONE;
        return S_OK;
    }
    STDMETHODIMP DragLeave() noexcept override {
        effect_ = DROPEFFECT_NONE;
        return S_OK;
    }
    STDMETHODIMP Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) noexcept override {
        return Guarded(effect, [&] { return Take(data, effect); });
    }

  private:
    FileDropTarget(HWND window, OleFileDrop::Taking taking)
        : window_(window), taking_(std::move(taking)) {}
    ~FileDropTarget() = default;
    // Registered, and not refusing drops at the moment. A disabled window
    // (a run works) takes none: the drag shows the no-drop cursor.
    bool Takes() const { return window_ && IsWindowEnabled(window_) && (!taking_ || taking_()); }

    template <class Body> HRESULT Guarded(DWORD* effect, Body&& body) {
        const HRESULT hr = ComBarrier(std::forward<Body>(body));
        if (FAILED(hr) && effect)
            *effect = DROPEFFECT_NONE;
        return hr;
    }
    HRESULT Enter(IDataObject* data, DWORD* effect) {
        if (!effect)
            return E_INVALIDARG;
        effect_ = window_ ? FileDropEffect(data, *effect) : DROPEFFECT_NONE;
        *effect = Takes() ? effect_ : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT Take(IDataObject* data, DWORD* effect) {
        if (!effect)
            return E_INVALIDARG;
        effect_ = DROPEFFECT_NONE;
        *effect = Takes() ? FileDropEffect(data, *effect) : DROPEFFECT_NONE;
        if (*effect == DROPEFFECT_NONE)
            return S_OK;
        std::vector<std::wstring> paths;
        {
            // The medium's memory is the source's: read, then released
            // with the medium, never with DragFinish.
            FORMATETC format = FilesFormat();
            UniqueMedium medium;
            if (FAILED(data->GetData(&format, medium.Put()))) {
                (void)medium.Detach(); // a failed call hands nothing over
                *effect = DROPEFFECT_NONE;
                return S_OK;
            }
            if (medium->tymed != TYMED_HGLOBAL) {
                *effect = DROPEFFECT_NONE;
                return S_OK;
            }
            paths = DroppedPaths(static_cast<HDROP>(medium->hGlobal));
        }
        // Walking dropped folders takes a while; the source waits in
        // DoDragDrop until this returns, so the walk comes afterwards.
        if (pending_.empty() && !PostMessageW(window_, DropMessage(), 0, 0)) {
            *effect = DROPEFFECT_NONE;
            return S_OK;
        }
        pending_.push_back(std::move(paths));
        return S_OK;
    }

    HWND window_;
    OleFileDrop::Taking taking_;
    std::vector<std::vector<std::wstring>> pending_;
    DWORD effect_ = DROPEFFECT_NONE;
};

OleFileDrop::OleFileDrop() = default;

OleFileDrop::~OleFileDrop() {
    Revoke();
}

bool OleFileDrop::Register(HWND window, Handler onDrop, Taking taking) {
    Revoke();
    ComPtr<FileDropTarget> target = FileDropTarget::Make(window, std::move(taking));
    if (!target || !SetWindowSubclass(window, &Hook, 0, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    if (FAILED(RegisterDragDrop(window, target.Get()))) {
        RemoveWindowSubclass(window, &Hook, 0);
        return false;
    }
    window_ = window;
    target_ = std::move(target);
    onDrop_ = std::move(onDrop);
    return true;
}

LRESULT CALLBACK OleFileDrop::Hook(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                   DWORD_PTR self) {
    return Barrier<LRESULT>(0, [&]() -> LRESULT {
        auto* drop = reinterpret_cast<OleFileDrop*>(self);
        if (drop->Deliver(msg))
            return 0;
        if (msg == WM_DESTROY)
            drop->Revoke(); // while the window is still there
        return DefSubclassProc(window, msg, wp, lp);
    });
}

bool OleFileDrop::Deliver(UINT msg) {
    if (msg == 0 || msg != DropMessage())
        return false;
    if (!target_)
        return true;
    // A drop taken just before the window was disabled comes to nothing.
    if (!IsWindowEnabled(window_)) {
        target_->TakePending();
        return true;
    }
    for (const auto& paths : target_->TakePending()) {
        if (!onDrop_)
            break;                      // a handler revoked the registration
        const Handler onDrop = onDrop_; // alive through a call that revokes
        onDrop(paths);
    }
    return true;
}

void OleFileDrop::Revoke() {
    if (target_)
        target_->Forget();
    onDrop_ = nullptr;
    if (HWND window = std::exchange(window_, nullptr); window && IsWindow(window)) {
        RevokeDragDrop(window);
        RemoveWindowSubclass(window, &Hook, 0);
    }
    target_.Reset();
}

} // namespace varno::win
