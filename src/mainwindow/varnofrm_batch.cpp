// The batch purge run (Command9) over List2, with the real CAD host and the
// progress window Form3.
#include "mainwindow/varnofrm.h"

#include "batch/Form3.h"
#include "platform/App.h"
#include "platform/Dispatch.h"
#include "platform/DrawingFiles.h"

#include <utility>

namespace varno::win {

namespace {

// While a run works the main window takes no input: the host may take a
// minute to start with the window still on screen, and COM serves messages
// in every wait. Disabled, the window gets no clicks and no drops, and its
// handlers act on nothing (varnofrm::OnCommand and OnDropFiles, the form's
// keys). The keys, clicks and drops already queued for it are thrown away as
// it is disabled and again before it is enabled, so that none of them acts
// after the run either.
class InputClosed {
  public:
    explicit InputClosed(HWND window) : window_(window), focus_(GetFocus()) {
        Discard();
        EnableWindow(window_, FALSE);
    }
    ~InputClosed() {
        Discard();
        EnableWindow(window_, TRUE);
        // Disabling took the focus away; a window still in front gets it back.
        if (GetActiveWindow() == window_ && !GetFocus() && focus_ && IsChild(window_, focus_))
            SetFocus(focus_);
    }
    InputClosed(const InputClosed&) = delete;
    InputClosed& operator=(const InputClosed&) = delete;

  private:
    // The window's queued input, its controls' included.
    void Discard() const {
        MSG msg;
        for (const auto& [first, last] : {std::pair<UINT, UINT>{WM_KEYFIRST, WM_KEYLAST},
                                          {WM_MOUSEFIRST, WM_MOUSELAST},
                                          {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}})
            while (PeekMessageW(&msg, window_, first, last, PM_REMOVE | PM_NOYIELD)) {
            }
        while (PeekMessageW(&msg, window_, WM_DROPFILES, WM_DROPFILES, PM_REMOVE | PM_NOYIELD))
            const UniqueDrop released(reinterpret_cast<HDROP>(msg.wParam));
    }

    HWND window_;
    HWND focus_;
};

} // namespace

void varnofrm::BatchPurge() {
    const InputClosed closed(hWnd());
    Form3::RunWorking working(Form3::Instance());
    Win32PurgeView view(*this);
    Win32DrawingFiles files;
    // The drawing the run stopped at is what the user sees first on coming back.
    if (const std::optional<int> failed =
            RunBatchPurge(TheAutomation(), TheMessageBoxes(), list_, view, files))
        list_.SelectOnly(*failed);
}

} // namespace varno::win
