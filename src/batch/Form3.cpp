#include "batch/Form3.h"

#include "app/Error.h"
#include "app/Module1.h"
#include "batch/PurgeRun.h"
#include "platform/App.h"

#include <commctrl.h>

namespace varno::win {

Form3& Form3::Instance() {
    static Form3 form;
    return form;
}

Form::Design Form3::GetDesign() const {
    Design d;
    d.caption = L"";
    d.style = WS_POPUP | WS_CLIPCHILDREN; // no title bar, frame, control box or buttons
    d.clientWidth = 3900;
    d.clientHeight = 1140;
    d.left = 5850;
    d.top = 3450;
    d.showInTaskbar = false;
    // The toolkit's default font on the users' systems (宋体 9 pt); the label
    // design widths are measured in it.
    d.font = SongTi9();
    return d;
}

std::vector<ControlDesign> Form3::GetControls() const {
    auto label = [](int id, std::wstring_view text, float left, float top, float width) {
        ControlDesign c = MakeControl(id, WC_STATICW, text, SS_LEFT, left, top, width, 180);
        c.autoSize = true;
        return c;
    };
    return {
        label(Label1, ProgressDesignText, 840, 120, 2160),
        label(Label2, L"开始时间：", 840, 480, 900),
        label(Label3, L"", 1920, 480, 90),
        label(Label4, L"结束时间：", 840, 840, 900),
        label(Label5, L"", 1920, 840, 90),
    };
}

void Form3::Form_Load() {
    const Screen screen = TheScreen();
    const PixelRect r = TopmostPixels(Left(), Top(), Width(), Height(), screen.TwipsPerPixelX,
                                      screen.TwipsPerPixelY);
    SetWindowPos(hWnd(), HWND_TOPMOST, r.x, r.y, r.cx, r.cy, 0);
    CentreOnScreen(*this, screen);
}

void Form3::Form_DblClick() {
    BackToMain();
}

void Form3::OnCommand(int id, int code) {
    if (code == STN_DBLCLK && id >= Label1 && id <= Label5)
        BackToMain();
}

void Form3::BackToMain() {
    if (runsWorking_ > 0)
        return;
    Unload();
    if (returnWindow_)
        returnWindow_->Show();
}

bool Win32PurgeView::ActivateWindow(std::wstring_view title) {
    const std::wstring text(title);
    HWND window = text.empty() ? nullptr : FindWindowW(nullptr, text.c_str());
    if (!window)
        return false;
    SetForegroundWindow(window);
    return true;
}

bool Win32PurgeView::ActivateWindowHandle(std::int64_t handle) {
    // Window handles carry 32 significant bits on 64-bit Windows too.
    HWND window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle));
    if (!window || !IsWindow(window))
        return false;
    SetForegroundWindow(window);
    return true;
}

void Win32PurgeView::Show(std::wstring_view text, unsigned style, std::wstring_view title) {
    // The host has the foreground: the box takes it, above the host and the
    // topmost progress window, owned by that window while it exists.
    const Form3& progress = Form3::Instance();
    HWND owner = progress.IsLoaded() ? progress.hWnd() : nullptr;
    ShowMessageBox(owner, text, style | MB_SETFOREGROUND | (owner ? 0 : MB_TOPMOST), title);
}

void Win32PurgeView::ShowProgress() {
    Form3& progress = Form3::Instance();
    progress.SetReturnWindow(main_);
    progress.Show();
    if (!progress.IsLoaded()) // no window: the run stops before the main window goes
        throw RuntimeError(errnum::OutOfMemory);
}
void Win32PurgeView::HideMain() {
    main_.Hide();
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
