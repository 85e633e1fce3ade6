// The program's entry: the user-interface thread is a single-threaded
// apartment, the CAD host is called on a thread of its own, and the main
// window is the start-up object. This file sits above
// every folder of src/: it is the one place that knows them all.
#include <windows.h>

#include "app/Module1.h"
#include "app/Ui.h"
#include "mainwindow/varnofrm.h"
#include "platform/App.h"
#include "platform/HostThread.h"
#include "mainwindow/varnofrm_cmdline.h"

#include <span>
#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // From a command line: the usage, or a run no one watches.
    const std::vector<std::wstring> arguments = varno::SplitCommandLine(GetCommandLineW());
    const varno::CommandLine command = varno::ParseCommandLine(std::span(arguments).subspan(1));
    if (command.mode == varno::CommandLine::Mode::Usage) {
        varno::win::ShowUsage();
        return 0;
    }
    if (command.mode == varno::CommandLine::Mode::Run)
        return varno::win::RunFromCommandLine(command);

    // The thread's OLE session is this scope. What holds COM references ends
    // inside it, in this order: the windows, with the browser controls and
    // drop targets (the message loop returns when the last form has gone);
    // then the host thread, which releases the host session, whose
    // references to the CAD host it made, and ends its own OLE session;
    // then OLE itself. "  退   出" ends the process at once instead, and the
    // system drops every reference with it.
    const varno::win::UiThread ui;
    const varno::win::HostThread host;
    if (!ui || !host) {
        varno::win::TheMessageBoxes().Show(varno::CannotStartText, varno::MsgCritical,
                                           varno::ErrorTitle);
        return 1;
    }
    return varno::win::RunProgram(varno::win::varnofrm::Instance(), varno::CannotStartText);
}
