// The batch purge run (Command9) over List2, with the real CAD host and the
// progress window Form3.
#include "mainwindow/varnofrm.h"

#include "batch/Form3.h"
#include "platform/App.h"
#include "platform/Dispatch.h"
#include "platform/RunLock.h"
#include "platform/Win32DrawingFiles.h"
#include "platform/Win32ProxyNoticeRecords.h"

namespace varno::win {

void varnofrm::BatchPurge() {
    // The host may take a minute to start with this window still on screen:
    // nothing the user does here acts until the run has returned (OnCommand
    // and OnDropFiles do nothing while the window is disabled). The run
    // works on the host thread, and this thread answers the progress window
    // meanwhile.
    const InputClosed closed(*this);
    // One run at a time in the session: a scheduled one may be under way.
    const RunLock lock(0);
    if (!lock) {
        TheMessageBoxes().Show(RunBusyText, MsgExclamation, AppTitle);
        return;
    }
    Win32PurgeView view(*this);
    Win32DrawingFiles files;
    Win32ProxyNoticeRecords records;
    // The drawing the run stopped at is what the user sees first on coming back.
    if (const std::optional<int> failed = RunPurge(TheAutomation(), list_, view, files, records))
        list_.SelectOnly(*failed);
}

} // namespace varno::win
