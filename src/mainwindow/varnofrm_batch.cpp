// The batch purge run (Command9) over List2, with the real CAD host and the
// progress window Form3.
#include "mainwindow/varnofrm.h"

#include "app/Error.h"
#include "batch/Form3.h"
#include "platform/App.h"
#include "platform/Dispatch.h"

namespace varno::win {

void varnofrm::BatchPurge() {
    Form3::RunWorking working(Form3::Instance());
    Win32PurgeView view;
    // The drawing the run stopped at is what the user sees first on coming back.
    if (const std::optional<int> failed =
            RunBatchPurge(TheAutomation(), TheMessageBoxes(), list_, view))
        list_.SelectOnly(*failed);
}

void Win32PurgeView::ActivateWindow(std::wstring_view title) {
    const std::wstring text(title);
    HWND window = text.empty() ? nullptr : FindWindowW(nullptr, text.c_str());
    if (!window)
        throw RuntimeError(errnum::InvalidProcedureCall);
    SetForegroundWindow(window);
}

void Win32PurgeView::ShowProgress() {
    Form3& progress = Form3::Instance();
    progress.SetReturnWindow(varnofrm::Instance());
    progress.Show();
    if (!progress.IsLoaded()) // no window: the run stops before the main window goes
        throw RuntimeError(errnum::OutOfMemory);
}
void Win32PurgeView::HideMain() {
    varnofrm::Instance().Hide();
}
void Win32PurgeView::SetProgress(std::wstring_view text) {
    Form3::Instance().SetControlText(Form3::Label1, text);
}
void Win32PurgeView::SetStartTime(std::wstring_view text) {
    Form3::Instance().SetControlText(Form3::Label3, text);
}
void Win32PurgeView::SetEndTime(std::wstring_view text) {
    Form3::Instance().SetControlText(Form3::Label5, text);
}
void Win32PurgeView::RefreshProgress() {
    Form3::Instance().Refresh();
}
std::wstring Win32PurgeView::TimeOfDay() {
    return TimeOfDayText();
}

} // namespace varno::win
