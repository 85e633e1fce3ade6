// The program's entry: the user-interface thread is a single-threaded
// apartment; the main window is the start-up object.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "mainwindow/varnofrm.h"
#include "platform/App.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    varno::win::varnofrm::Instance().Show();
    return varno::win::RunMessageLoop();
}
