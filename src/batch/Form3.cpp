#include "batch/Form3.h"

#include "app/Error.h"
#include "app/Module1.h"
#include "app/HostDialogs.h"
#include "batch/ListSnapshot.h"
#include "batch/PurgeRun.h"
#include "platform/App.h"
#include "platform/HostThread.h"

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

namespace {
constexpr int WatchTimer = 1;
} // namespace

void Form3::Form_Load() {
    const Screen screen = TheScreen();
    const PixelRect r = TopmostPixels(Left(), Top(), Width(), Height(), screen.TwipsPerPixelX,
                                      screen.TwipsPerPixelY);
    SetWindowPos(hWnd(), HWND_TOPMOST, r.x, r.y, r.cx, r.cy, 0);
    CentreOnScreen(*this, screen);
    if (run_)
        SetTimer(WatchTimer, static_cast<unsigned>(LookEvery.count()));
}

void Form3::Form_DblClick() {
    BackToMain();
}

void Form3::OnCommand(int id, int code) {
    if (code == STN_DBLCLK && id >= Label1 && id <= Label5)
        BackToMain();
}

void Form3::OnEscape() {
    if (run_)
        AskToStop();
}

void Form3::BackToMain() {
    if (run_) {
        AskToStop();
        return;
    }
    Unload();
    if (returnWindow_)
        returnWindow_->Show();
}

// One question at a time. While it is open, nothing the run asks of the
// windows shows, and the run opens no further drawing.
void Form3::AskToStop() {
    if (asking_)
        return;
    asking_ = true;
    {
        const WindowCallsHeld held;
        run_->Stop().Asking();
        // A run no one watches shows no box: the request is the answer.
        const int answer =
            BoxesUntold()
                ? IDYES
                : ShowMessageBox(hWnd(), StopQuestionText,
                                 MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND,
                                 AppTitle);
        run_->Stop().Answered(answer == IDYES);
        if (answer == IDYES)
            ShowProgressText(StoppingText);
    }
    asking_ = false;
}

void Form3::ShowProgressText(std::wstring_view text) {
    progressText_ = text;
    if (!cadWaitsOn_)
        SetControlText(Label1, text);
}

void Form3::OnTimer(int id) {
    if (id == WatchTimer && run_)
        WatchHost();
}

void Form3::Topmost() {
    SetWindowPos(hWnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form3::WatchHost() {
    HWND waitsOn = run_->Watch().Look();
    if (waitsOn == cadWaitsOn_)
        return;
    cadWaitsOn_ = waitsOn;
    if (!waitsOn) { // answered, or the call returned
        SetControlText(Label1, progressText_);
        Topmost();
        return;
    }
    // Below CAD's question, where it keeps its place; the question in front,
    // or flashing in the task bar where the system keeps the foreground.
    SetWindowPos(hWnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(hWnd(), waitsOn, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!SetForegroundWindow(waitsOn)) {
        FLASHWINFO flash{sizeof flash, waitsOn, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
        FlashWindowEx(&flash);
    }
    SetControlText(Label1, CadWaitsText);
}

Form3::RunWorking::RunWorking(Form3& form, Win32PurgeView& run) : form_(form) {
    form_.run_ = &run;
    form_.cadWaitsOn_ = nullptr;
    if (form_.IsLoaded())
        form_.SetTimer(WatchTimer, static_cast<unsigned>(LookEvery.count()));
}

Form3::RunWorking::~RunWorking() {
    Win32PurgeView& run = *form_.run_;
    form_.run_ = nullptr;
    if (!form_.IsLoaded())
        return;
    form_.SetTimer(WatchTimer, 0);
    if (form_.cadWaitsOn_) {
        form_.cadWaitsOn_ = nullptr;
        form_.Topmost();
    }
    // A Yes the run did not come to see (it had ended): the text it left.
    if (run.Stop().Stopping() && !run.Stop().Seen())
        form_.SetControlText(Label1, form_.progressText_);
}

bool Win32PurgeView::ActivateWindow(std::wstring_view title) {
    const std::wstring text(title);
    HWND window = text.empty() ? nullptr : FindWindowW(nullptr, text.c_str());
    if (!window)
        return false;
    watch_.SetHostWindow(window);
    OnWindowThread([&] { SetForegroundWindow(window); });
    return true;
}

bool Win32PurgeView::ActivateWindowHandle(std::int64_t handle) {
    // Window handles carry 32 significant bits on 64-bit Windows too.
    HWND window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle));
    if (!window || !IsWindow(window))
        return false;
    watch_.SetHostWindow(window);
    OnWindowThread([&] { SetForegroundWindow(window); });
    return true;
}

void Win32PurgeView::Show(std::wstring_view text, unsigned style, std::wstring_view title) {
    // The host has the foreground: the box takes it, above the host and the
    // topmost progress window, owned by that window while it exists.
    OnWindowThread([&] {
        const Form3& progress = Form3::Instance();
        HWND owner = progress.IsLoaded() ? progress.hWnd() : nullptr;
        ShowMessageBox(owner, text, style | MB_SETFOREGROUND | (owner ? 0 : MB_TOPMOST), title);
    });
}

DrawingChoice Win32PurgeView::AskAboutDrawing(std::wstring_view drawing, std::wstring_view reason) {
    const TaskButton buttons[] = {{SkipButton, SkipButtonText},
                                  {SkipAllButton, SkipAllButtonText},
                                  {RetryButton, RetryButtonText},
                                  {IDOK, StopButtonText}};
    int answer = IDOK;
    OnWindowThread([&] {
        const Form3& progress = Form3::Instance();
        answer =
            ShowErrorTaskDialog(progress.IsLoaded() ? progress.hWnd() : nullptr, ErrorTitle,
                                BadOperationText, DrawingFailureText(drawing, reason), buttons);
    });
    switch (answer) {
    case SkipButton:
        return DrawingChoice::Skip;
    case SkipAllButton:
        return DrawingChoice::SkipAll;
    case RetryButton:
        return DrawingChoice::Retry;
    default: // 停止, Esc, the close box
        return DrawingChoice::Stop;
    }
}

void Win32PurgeView::ShowProgress() {
    OnWindowThread([&] {
        Form3& progress = Form3::Instance();
        progress.SetReturnWindow(main_);
        progress.Show();
        if (!progress.IsLoaded()) // no window: the run stops before the main window goes
            throw RuntimeError(errnum::OutOfMemory);
    });
}
void Win32PurgeView::HideMain() {
    OnWindowThread([&] { main_.Hide(); });
}
void Win32PurgeView::SetProgress(std::wstring_view text) {
    OnWindowThread([&] { Form3::Instance().ShowProgressText(text); });
}
void Win32PurgeView::SetStartTime(std::wstring_view text) {
    OnWindowThread([&] { Form3::Instance().SetControlText(Form3::Label3, text); });
}
void Win32PurgeView::SetEndTime(std::wstring_view text) {
    OnWindowThread([&] { Form3::Instance().SetControlText(Form3::Label5, text); });
}
void Win32PurgeView::RefreshProgress() {
    OnWindowThread([&] { Form3::Instance().Refresh(); });
}
std::wstring Win32PurgeView::TimeOfDay() {
    return TimeOfDayText();
}

namespace {
// The calls of this thread are the watch's while it lives.
class Observed {
  public:
    explicit Observed(CallObserver& watch) { ObserveCalls(&watch); }
    ~Observed() { ObserveCalls(nullptr); }
    Observed(const Observed&) = delete;
    Observed& operator=(const Observed&) = delete;
};
} // namespace

std::optional<int> RunPurge(AutomationRuntime& runtime, DrawingList& list, Win32PurgeView& view,
                            DrawingFiles& files, ProxyNoticeRecords& records) {
    const Form3::RunWorking working(Form3::Instance(), view);
    ListSnapshot snapshot(list.Items());
    std::optional<int> result;
    const std::function<void()> run = [&] {
        const Observed observed(view.Watch());
        result = RunBatchPurge(runtime, snapshot, view, files, records);
    };
    if (HostThread* host = HostThread::Running())
        host->Run(run);
    else
        run();
    // The work left: the run took out of its snapshot what it did.
    if (snapshot.ListCount() == 0)
        list.Clear();
    else if (snapshot.ListCount() != list.ListCount())
        list.ReplaceAll(snapshot.Items());
    return result;
}

} // namespace varno::win
