#pragma once
// The progress window: borderless, topmost, no task bar button; shows the
// batch purge run's progress text and its start and end times. A double-click
// anywhere on it unloads it and brings back the main window.
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

  protected:
    Design GetDesign() const override;
    std::vector<ControlDesign> GetControls() const override;
    void Form_Load() override;
    void Form_DblClick() override;
    void OnCommand(int id, int code) override;

  private:
    Form3() = default;
    void BackToMain();

    Form* returnWindow_ = nullptr;
};

} // namespace varno::win
