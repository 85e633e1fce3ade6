#pragma once
// The progress window: borderless, topmost, no task bar button; shows the
// batch purge run's progress text and its start and end times. A double-click
// anywhere on it unloads it and brings back the main window once the run is
// over; while it works, it asks whether to stop the run.
#include "batch/PurgeRun.h"
#include "batch/StopRequest.h"
#include "platform/Form.h"
#include "platform/HostDialogWatch.h"

#include <string>

namespace varno::win {

class Win32PurgeView;

class Form3 : public Form {
  public:
    static Form3& Instance();

    enum ControlId : int {
        Label1 = 301, // progress text, then the completion text
        Label2,       // "开始时间："
        Label3,       // start time
        Label4,       // "结束时间："
        Label5,       // end time
    };

    // The window a double-click brings back: the main window, named by
    // whoever shows this one.
    void SetReturnWindow(Form& window) { returnWindow_ = &window; }

    // Marks a run as working for the guard's lifetime. While it works, a
    // double-click, Esc or a close (Alt+F4) asks whether to stop it, and
    // the window watches for a question of CAD's that a long host call
    // waits on. Afterwards a double-click or a close (Alt+F4, the task
    // manager) brings back the main window.
    class RunWorking {
      public:
        RunWorking(Form3& form, Win32PurgeView& run);
        ~RunWorking();
        RunWorking(const RunWorking&) = delete;
        RunWorking& operator=(const RunWorking&) = delete;

      private:
        Form3& form_;
    };

    // The run's progress text in Label1; kept, to show again once CAD no
    // longer waits for its user.
    void ShowProgressText(std::wstring_view text);

  protected:
    Design GetDesign() const override;
    std::vector<ControlDesign> GetControls() const override;
    void Form_Load() override;
    void Form_DblClick() override;
    void OnCommand(int id, int code) override;
    void OnEscape() override;
    // Never just unloaded: the main window is hidden while this one shows.
    void OnClose() override { BackToMain(); }

    void OnTimer(int id) override;

  private:
    Form3() = default;
    void BackToMain();
    void AskToStop();
    // Every LookEvery while a run works: shows the window CAD waits on, or
    // goes back to the progress once it no longer waits.
    void WatchHost();
    void Topmost();

    Form* returnWindow_ = nullptr;
    Win32PurgeView* run_ = nullptr;
    bool asking_ = false;
    HWND cadWaitsOn_ = nullptr;
    std::wstring progressText_;
};

// The batch purge run's windows: this progress window, the main window it
// hides (and a double-click brings back), and the CAD host's window found by
// its title. Every call may come from the host thread: what it shows is done
// on the window's thread (OnWindowThread).
class Win32PurgeView : public PurgeView {
  public:
    explicit Win32PurgeView(Form& mainWindow) : main_(mainWindow) {}

    // A message box owned by the progress window while it is loaded (so
    // above it, as it is topmost), else topmost; MB_SETFOREGROUND.
    void Show(std::wstring_view text, unsigned style, std::wstring_view title = {}) override;

    // FindWindowW + SetForegroundWindow; false when no top-level window has
    // exactly this title. The window found is the one Watch() looks at.
    bool ActivateWindow(std::wstring_view title) override;
    // IsWindow + SetForegroundWindow.
    bool ActivateWindowHandle(std::int64_t handle) override;
    void ShowProgress() override;
    void HideMain() override;
    void SetProgress(std::wstring_view text) override;  // Label1
    void SetStartTime(std::wstring_view text) override; // Label3
    void SetEndTime(std::wstring_view text) override;   // Label5
    void RefreshProgress() override;
    std::wstring TimeOfDay() override;
    bool StopRequested() override { return stop_.Requested(); }
    // A task dialog owned by the progress window (ShowErrorTaskDialog).
    DrawingChoice AskAboutDrawing(std::wstring_view drawing, std::wstring_view reason) override;

    // The task dialog's buttons other than 停止 (IDOK).
    enum ButtonId : int { SkipButton = 1001, SkipAllButton, RetryButton };

    StopRequest& Stop() { return stop_; }
    HostDialogWatch& Watch() { return watch_; }

  private:
    Form& main_;
    StopRequest stop_;
    HostDialogWatch watch_;
};

// The run as the program makes it: on the host thread (where there is one)
// over a snapshot of the list, with what it shows on this window's thread,
// which handles its messages meanwhile; the host's calls are watched for a
// question of CAD's, and the progress window can stop the run. Then the list
// holds what the run left of it. The result is RunBatchPurge's.
std::optional<int> RunPurge(AutomationRuntime& runtime, DrawingList& list, Win32PurgeView& view,
                            DrawingFiles& files, ProxyNoticeRecords& records);

} // namespace varno::win
