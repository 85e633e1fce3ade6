#pragma once
// The progress window: borderless, topmost, no task bar button; shows the
// batch purge run's progress text and its start and end times. A double-click
// anywhere on it unloads it and brings back the main window.
#include "batch/PurgeRun.h"
#include "platform/Form.h"

namespace varno::win {

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

    // Marks a run as working for the guard's lifetime. A run writes to this
    // window until it returns, and it can be waiting inside a host call or a
    // message box when a close arrives: until then a close, like a
    // double-click, is ignored. Afterwards a close (Alt+F4, the task
    // manager) brings back the main window as a double-click does.
    class RunWorking {
      public:
        explicit RunWorking(Form3& form) : form_(form) { ++form_.runsWorking_; }
        ~RunWorking() { --form_.runsWorking_; }
        RunWorking(const RunWorking&) = delete;
        RunWorking& operator=(const RunWorking&) = delete;

      private:
        Form3& form_;
    };

  protected:
    Design GetDesign() const override;
    std::vector<ControlDesign> GetControls() const override;
    void Form_Load() override;
    void Form_DblClick() override;
    void OnCommand(int id, int code) override;
    // Never just unloaded: the main window is hidden while this one shows.
    void OnClose() override { BackToMain(); }

  private:
    Form3() = default;
    void BackToMain();

    Form* returnWindow_ = nullptr;
    int runsWorking_ = 0;
};

// The batch purge run's windows: this progress window, the main window it
// hides (and a double-click brings back), and the CAD host's window found by
// its title.
class Win32PurgeView : public PurgeView {
  public:
    explicit Win32PurgeView(Form& mainWindow) : main_(mainWindow) {}

    // A message box owned by the progress window while it is loaded (so
    // above it, as it is topmost), else topmost; MB_SETFOREGROUND.
    void Show(std::wstring_view text, unsigned style, std::wstring_view title = {}) override;

    // FindWindowW + SetForegroundWindow; false when no top-level window has
    // exactly this title.
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

  private:
    Form& main_;
};

} // namespace varno::win
