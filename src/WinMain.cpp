// The program's entry: the user-interface thread is a single-threaded
// apartment, and the main window is the start-up object. This file sits above
// every folder of src/: it is the one place that knows them all.
#include <windows.h>

#include "app/Ui.h"
#include "mainwindow/varnofrm.h"
#include "platform/App.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    varno::win::InitUiThread();
    return varno::win::RunProgram(varno::win::varnofrm::Instance(), varno::CannotStartText);
}
