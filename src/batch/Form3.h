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

  protected:
    Design GetDesign() const override;
    std::vector<ControlDesign> GetControls() const override;
    void Form_Load() override;
    void Form_DblClick() override;
    void OnCommand(int id, int code) override;

  private:
    Form3() = default;
    void BackToMain();
};

// The run's windows: Form3, varnofrm, and the CAD host's window found by title.
class Win32PurgeView : public PurgeView {
  public:
    // FindWindowW + SetForegroundWindow; raises error 5 when no top-level
    // window has exactly this title.
    void ActivateWindow(std::wstring_view title) override;
    void ShowProgress() override;
    void HideMain() override;
    void SetLabel1(std::wstring_view text) override;
    void SetLabel3(std::wstring_view text) override;
    void SetLabel5(std::wstring_view text) override;
    void RefreshProgress() override;
    std::wstring TimeOfDay() override;
};

// Command9: the batch purge run over varnofrm's List2 with the real host.
void BatchPurge();

} // namespace varno::win
