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
// Why none was reached when the one to launch runs already, out of reach.
inline constexpr std::wstring_view CadOutOfReachText =
    L"CAD 已在运行，但无法连接（它可能以管理员身份运行）。";

// What ConnectHost did: the session it filled (the one Host() gives), and the
// failure that left it without a host of this run's own.
struct Connection {
    HostSession& session;
    std::optional<Error> failure;
    bool launched = false; // the program was started for this run
};

// Fills the host session with the user's CAD program, the first found of:
//  1. the first of CadHosts registered that is running, attached to by its
//     identifier (with none registered, the first of the table);
//  2. a running application in the running object table whose class has the
//     identifier of a host of the table as its version-independent one (the
//     user runs another version than the one registered last), in the
//     table's order;
//  3. the first of CadHosts that is launchable, launched. A failure there is
//     that program's, and no other is tried. When its program runs already
//     but could not be reached in 1 or 2, it is not launched again: the
//     failure is CadOutOfReachText, and no box of a description shows;
//  4. with none launchable, the first of the table launched as if it were.
// When a launch fails, shows the failure's description (OK only, no icon,
// the application's title) and leaves the session as it was; the failure is
// the launch's, or NoCadProgramText with none launchable.
// Then makes the host visible and captures its active document with the
// document's model space, paper space and utility object; a failure there is
// ignored and leaves its field unchanged. Never raises.
Connection ConnectHost(AutomationRuntime& runtime, MessageBoxes& boxes);

} // namespace varno
