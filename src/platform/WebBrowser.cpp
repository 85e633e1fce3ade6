#include "platform/WebBrowser.h"

#include <new>

namespace varno::win {

namespace {
WebBrowser::NavigateHook g_navigateHook = nullptr;
} // namespace

// The container side of the control: client site, in-place site and a
// frame without menus, tool space or accelerators. Owned by COM reference
// counting (the host holds one reference through a ComPtr, the control its
// own while the site is set). Its methods answer from what it holds and
// call only the system's C functions: none can raise, as noexcept says.
class BrowserSite final : public ComObject<IOleClientSite, WithBases<IOleInPlaceSite, IOleWindow>,
                                           WithBases<IOleInPlaceFrame, IOleInPlaceUIWindow>> {
  public:
    static ComPtr<BrowserSite> Make(HWND parent, const RECT& rect) {
        return ComPtr<BrowserSite>::Attach(new (std::nothrow) BrowserSite(parent, rect));
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** mk) noexcept override {
        if (mk)
            *mk = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** c) noexcept override {
        if (c)
            *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() noexcept override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() noexcept override { return E_NOTIMPL; }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* h) noexcept override {
        if (!h)
            return E_POINTER;
        *h = parent_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() noexcept override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() noexcept override { return S_OK; }
    STDMETHODIMP OnUIActivate() noexcept override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) noexcept override {
        if (!frame || !doc || !pos || !clip || !info)
            return E_POINTER;
        *frame = this;
        AddRef();
        *doc = nullptr;
        *pos = rect_;
        GetClientRect(parent_, clip);
        info->fMDIApp = FALSE;
        info->hwndFrame = parent_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() noexcept override { return S_OK; }
    STDMETHODIMP DiscardUndoState() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) noexcept override { return S_OK; }

    // IOleInPlaceUIWindow
    STDMETHODIMP GetBorder(LPRECT) noexcept override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) noexcept override {
        return INPLACE_E_NOTOOLSPACE;
    }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) noexcept override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) noexcept override {
        return S_OK;
    }

    // IOleInPlaceFrame
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) noexcept override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) noexcept override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) noexcept override { return S_FALSE; }

  private:
    BrowserSite(HWND parent, const RECT& rect) : parent_(parent), rect_(rect) {}
    ~BrowserSite() = default;

    HWND parent_;
    RECT rect_;
};

WebBrowser::WebBrowser() = default;
WebBrowser::~WebBrowser() {
    Destroy();
}

bool WebBrowser::Create(HWND parent, const RECT& rect) {
    Destroy();
    parent_ = parent;
    site_ = BrowserSite::Make(parent, rect);
    if (!site_)
        return false;
    ComPtr<IOleObject> object;
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                object.PutVoid())) ||
        FAILED(object->SetClientSite(site_.Get()))) {
        site_.Reset();
        return false;
    }
    object_ = object;
    OleSetContainedObject(object_.Get(), TRUE);
    RECT pos = rect;
    if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.Get(), 0, parent, &pos)) ||
        FAILED(object_->QueryInterface(IID_IWebBrowser2, browser_.PutVoid()))) {
        Destroy();
        return false;
    }
    // The browser lies over every other child of the window.
    if (HWND child = Window())
        SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

void WebBrowser::Destroy() {
    browser_.Reset();
    if (object_) {
        if (auto inPlace = object_.As<IOleInPlaceObject>())
            inPlace->InPlaceDeactivate();
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_.Reset();
    }
    site_.Reset();
}

void WebBrowser::Navigate(std::wstring_view address) {
    if (g_navigateHook) {
        g_navigateHook(parent_, address);
        return;
    }
    if (!browser_)
        return;
    Bstr url(address);
    VARIANT omitted;
    VariantInit(&omitted);
    browser_->Navigate(url.Get(), &omitted, &omitted, &omitted, &omitted);
}

HWND WebBrowser::Window() const {
    HWND h = nullptr;
    if (object_) {
        if (auto window = object_.As<IOleWindow>())
            window->GetWindow(&h);
    }
    return h;
}

std::wstring WebBrowser::LocationURL() const {
    Bstr url;
    if (browser_)
        browser_->get_LocationURL(url.Put());
    return url.Str();
}

void WebBrowser::SetNavigateHook(NavigateHook hook) {
    g_navigateHook = hook;
}

} // namespace varno::win
