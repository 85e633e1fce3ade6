// Shows the main window and, through its more-software button, the about
// window, then waits for tools/screenshot-about.sh to photograph the screen.
// Files in the current folder: it writes "ready" (the about window's
// rectangle in pixels: left top width height) once the window is painted, and
// ends when "done" appears, or after 30 s.
#include "about/aboutfrm.h"
#include "mainwindow/varnofrm.h"
#include "platform/App.h"

#include <commctrl.h>
#include <ole2.h>

#include <fstream>

namespace {

using varno::win::aboutfrm;
using varno::win::varnofrm;

int ticks = 0;
bool ready = false;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ++ticks;
    aboutfrm& about = aboutfrm::Instance();
    if (!ready && about.IsVisible() && ticks >= 5) {
        RedrawWindow(about.hWnd(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT r;
        GetWindowRect(about.hWnd(), &r);
        std::ofstream("ready") << r.left << ' ' << r.top << ' ' << r.right - r.left << ' '
                               << r.bottom - r.top << '\n';
        ready = true;
    }
    if (GetFileAttributesW(L"done") != INVALID_FILE_ATTRIBUTES)
        ExitProcess(ready ? 0 : 1);
    if (ticks > 300)
        ExitProcess(2);
}

} // namespace

int wmain() {
    SetProcessDPIAware();
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    // Nothing leaves the machine: the shell is asked for nothing.
    varno::win::SetShellOpenHook([](HWND, std::wstring_view) {});
    varnofrm& main = varnofrm::Instance();
    main.Show();
    SetTimer(nullptr, 0, 100, &Tick);
    PostMessageW(main.Control(varnofrm::xpcmdbutton2), BM_CLICK, 0, 0);
    return varno::win::RunMessageLoop();
}
