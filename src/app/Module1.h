#pragma once
// Module-level routines shared by the windows: placing a window on the
// screen, and the host session (the program's connection to the CAD host).
#include "app/Automation.h"
#include "app/Ui.h"

namespace varno {

// Centred horizontally, with a third of the free height above the window.
// The about window's CenterForm places by this rule; the promotional windows'
// CenterForm1 (promo/PromoWindow.h) by the same rule at a screen edge.
void CentreOnScreen(Window& window, const Screen& screen);

// A window rectangle in whole pixels, as SetWindowPos takes it.
struct PixelRect {
    int x = 0, y = 0, cx = 0, cy = 0;
};
// The window's own rectangle (twips) converted for SetWindowPos; every
// conversion to an integer rounds half to even. At a whole number of twips per
// pixel (96, 120, 144, 288 DPI) x divides in floating point while y, cx and cy
// divide whole numbers; at a fractional factor (168, 192 DPI) all four divide
// by the exact factor. For a window's own rectangle, which is whole pixels
// times the factor, both give back those pixels.
PixelRect TopmostPixels(float left, float top, float width, float height, float twipsPerPixelX,
                        float twipsPerPixelY);

// The host session: one set of references per process, replaced by every
// ConnectHost and never released explicitly.
struct HostSession {
    AutoRef HostApp;
    AutoRef HostDoc;
    AutoRef HostModelSpace;
    AutoRef HostPaperSpace;
    AutoRef HostUtility;
};
HostSession& Host();

// The CAD host's programmatic identifier.
inline constexpr std::wstring_view HostProgId = L"AutoCAD.Application";

// Fills the host session: attaches to the running CAD host, else launches
// one; when both fail, shows the failure's description (OK only, no icon,
// the application's title) and leaves the session as it was. Then makes the
// host visible and captures its active document with the document's model
// space, paper space and utility object; a failure there is ignored and
// leaves its field unchanged. Never raises. The result is the session it
// filled (the one Host() gives).
HostSession& ConnectHost(AutomationRuntime& runtime, MessageBoxes& boxes);

} // namespace varno
