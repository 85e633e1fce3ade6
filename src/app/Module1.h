#pragma once
// Module-level routines shared by the windows: placing a window on the
// screen, and the host session (the program's connection to the CAD host).
#include "app/Automation.h"
#include "app/Error.h"
#include "app/Ui.h"

#include <optional>
#include <string_view>

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

// The CAD programs the run works with, in the order in which they are asked
// for: the identifier under which each registers its automation server (the
// unversioned one, which names its newest installed release) and the name
// its users know it by. All of them answer the same object model.
struct CadHost {
    std::wstring_view progId;
    std::wstring_view name;
};
inline constexpr CadHost CadHosts[] = {
    {L"AutoCAD.Application", L"AutoCAD"},
    {L"ZWCAD.Application", L"中望CAD"},
    {L"GCAD.Application", L"浩辰CAD"},
    {L"GStarCAD.Application", L"浩辰CAD"},
    {L"BricscadApp.AcadApplication", L"BricsCAD"},
};
// The first of them: where none is installed, it stands for them all.
inline constexpr std::wstring_view HostProgId = CadHosts[0].progId;

// Why no CAD program was reached when none is installed.
inline constexpr std::wstring_view NoCadProgramText = L"没有找到可用的 CAD 程序。";

// What ConnectHost did: the session it filled (the one Host() gives), and the
// failure that left it without a host of this run's own.
struct Connection {
    HostSession& session;
    std::optional<Error> failure;
};

// Fills the host session with the user's CAD program: the first of CadHosts
// that is running is attached to; with none running, the first that is
// installed is launched (a failure there is that program's, and no other is
// tried); with none installed, the first of the table is attached to and
// launched as if it were. When that fails, shows the failure's description
// (OK only, no icon, the application's title) and leaves the session as it
// was; the failure is the launch's, or NoCadProgramText with none installed.
// Then makes the host visible and captures its active document with the
// document's model space, paper space and utility object; a failure there is
// ignored and leaves its field unchanged. Never raises.
Connection ConnectHost(AutomationRuntime& runtime, MessageBoxes& boxes);

} // namespace varno
