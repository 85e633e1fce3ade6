#include "app/Module1.h"

#include "app/AutomationError.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace varno {

void CentreOnScreen(Window& window, const Screen& screen) {
    const float left = (screen.Width - window.Width()) / 2.0f;
    const float top = (screen.Height - window.Height()) / 3.0f;
    window.Move(left, top);
}

namespace {
// Round half to even (the default floating-point rounding mode).
int RoundEven(double v) {
    return static_cast<int>(std::nearbyint(v));
}
} // namespace

PixelRect TopmostPixels(float left, float top, float width, float height, float twipsPerPixelX,
                        float twipsPerPixelY) {
    const int tx = RoundEven(twipsPerPixelX);
    const int ty = RoundEven(twipsPerPixelY);
    PixelRect r;
    if (tx == twipsPerPixelX && ty == twipsPerPixelY) {
        r.x = RoundEven(static_cast<double>(left) / twipsPerPixelX);
        r.y = ty ? RoundEven(top) / ty : 0;
        r.cx = tx ? RoundEven(width) / tx : 0;
        r.cy = ty ? RoundEven(height) / ty : 0;
        return r;
    }
    // A fractional factor (168 DPI: 8.57 twips per pixel, 192 DPI: 7.5):
    // rounding it to a whole number would shrink the window and move it off
    // its edge, so every value is divided by the exact factor.
    r.x = RoundEven(static_cast<double>(left) / twipsPerPixelX);
    r.y = RoundEven(static_cast<double>(top) / twipsPerPixelY);
    r.cx = RoundEven(static_cast<double>(width) / twipsPerPixelX);
    r.cy = RoundEven(static_cast<double>(height) / twipsPerPixelY);
    return r;
}

HostSession& Host() {
    static HostSession session;
    return session;
}

namespace {
// The host is made visible and its active document captured; every failure
// here is ignored and leaves its field as it was.
Connection Connected(HostSession& host) {
    const auto ignoring = [](auto&& step) {
        try {
            step();
        } catch (const Error&) {
        }
    };
    ignoring([&] { Deref(host.HostApp).Put(L"Visible", true); });
    ignoring([&] { host.HostDoc = ObjectOf(Deref(host.HostApp).Get(L"ActiveDocument")); });
    ignoring([&] { host.HostModelSpace = ObjectOf(Deref(host.HostDoc).Get(L"ModelSpace")); });
    ignoring([&] { host.HostPaperSpace = ObjectOf(Deref(host.HostDoc).Get(L"PaperSpace")); });
    ignoring([&] { host.HostUtility = ObjectOf(Deref(host.HostDoc).Get(L"Utility")); });
    return {host, std::nullopt};
}
} // namespace

Connection ConnectHost(AutomationRuntime& runtime, MessageBoxes& boxes) {
    HostSession& host = Host();
    std::vector<std::wstring_view> installed;
    for (const CadHost& cad : CadHosts)
        if (runtime.IsRegistered(cad.progId))
            installed.push_back(cad.progId);
    std::vector<std::wstring_view> attachable = installed;
    if (attachable.empty())
        attachable.push_back(HostProgId);

    // The program the user has open is the one the run works with.
    for (const std::wstring_view progId : attachable) {
        try {
            host.HostApp = runtime.AttachRunning(progId);
            return Connected(host);
        } catch (const Error&) {
        }
    }
    for (const CadHost& cad : CadHosts) {
        if (AutoRef app = runtime.AttachListed(cad.progId)) {
            host.HostApp = std::move(app);
            return Connected(host);
        }
    }

    // An identifier whose program has gone counts for attaching only.
    const auto launchable = std::find_if(installed.begin(), installed.end(),
                                         [&](auto progId) { return runtime.IsLaunchable(progId); });
    const bool none = launchable == installed.end();
    if (!none && runtime.IsProgramRunning(*launchable))
        return {host, Error(errnum::CantCreateObject, std::wstring(CadOutOfReachText))};
    try {
        host.HostApp = runtime.Launch(none ? HostProgId : *launchable);
    } catch (const Error& e) {
        boxes.Show(e.Description(), MsgOkOnly);
        return {host, none ? Error(e.Number(), std::wstring(NoCadProgramText)) : e};
    }
    Connection connection = Connected(host);
    connection.launched = true;
    return connection;
}

} // namespace varno
