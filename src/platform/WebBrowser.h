#pragma once
// The system's web browser control (CLSID_WebBrowser, IWebBrowser2) hosted
// in place in a window, with the few OLE site interfaces it needs.
#include <windows.h>
#include <exdisp.h>
#include <oleidl.h>

#include "platform/Com.h"

#include <string>
#include <string_view>

namespace varno::win {

class BrowserSite;

class WebBrowser {
  public:
    WebBrowser();
    ~WebBrowser();
    WebBrowser(const WebBrowser&) = delete;
    WebBrowser& operator=(const WebBrowser&) = delete;

    // Creates the control as a child of parent over rect (client pixels).
    // Without a browser on the system it returns false and the window goes
    // without one; nothing is reported.
    bool Create(HWND parent, const RECT& rect);
    // Deactivates and releases the control; its child window goes with it.
    void Destroy();
    bool IsCreated() const { return static_cast<bool>(browser_); }

    // Starts loading the address; every optional argument is left out and
    // nothing is waited for.
    void Navigate(std::wstring_view address);

    // The control's own child window of the parent, if created.
    HWND Window() const;
    // The address the control is at or going to (for tests; the program
    // reads nothing back).
    std::wstring LocationURL() const;

    // Tests take the place of every navigation to see its address without
    // going to the network; nullptr restores.
    using NavigateHook = void (*)(HWND parent, std::wstring_view address);
    static void SetNavigateHook(NavigateHook hook);

  private:
    HWND parent_ = nullptr;
    ComPtr<BrowserSite> site_;
    ComPtr<IOleObject> object_;
    ComPtr<IWebBrowser2> browser_;
};

} // namespace varno::win
