#include "promo/adfrm.h"

#include "platform/App.h"
#include "promo/DockingTick.h"
#include "res/promo.h"

#include <commctrl.h>

#include <span>
#include <utility>
#include <vector>

namespace varno::win {

namespace {

constexpr COLORREF PromoBackColor = 0x00F0D2C5;

// Design rectangles in twips, relative to the client area.
struct TwipRect {
    float left, top, width, height;
};
constexpr TwipRect WebBrowser1Rect{-100, -200, 2400, 9690};
constexpr TwipRect Image2Rect{1680, 600, 435, 435};
constexpr TwipRect Image1Rect{1155, 600, 435, 435};
constexpr TwipRect Label1Rect{0, 8760, 495, 420};

RECT Pixels(const TwipRect& t) {
    const int x = TwipsToPixelsX(t.left);
    const int y = TwipsToPixelsY(t.top);
    return RECT{x, y, x + TwipsToPixelsX(t.width), y + TwipsToPixelsY(t.height)};
}

// The monitors of the desktop in pixels, the main one first; none when they
// cannot be listed.
std::vector<RectPx> DesktopMonitors() {
    std::vector<RectPx> monitors;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM list) -> BOOL {
            MONITORINFO info{};
            info.cbSize = sizeof info;
            if (GetMonitorInfoW(monitor, &info)) {
                const RECT& r = info.rcMonitor;
                auto& all = *reinterpret_cast<std::vector<RectPx>*>(list);
                const RectPx px{r.left, r.top, r.right, r.bottom};
                if (info.dwFlags & MONITORINFOF_PRIMARY)
                    all.insert(all.begin(), px);
                else
                    all.push_back(px);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

// The form as a docking tick reads and moves it.
class FormDocking final : public DockingWindow {
  public:
    FormDocking(Form& form, const Screen& screen, std::span<const RectPx> monitors)
        : form_(form), screen_(screen), monitors_(monitors) {}
    DockInput ReadDockInput() override {
        POINT p{};
        RECT r{};
        GetCursorPos(&p);
        GetWindowRect(form_.hWnd(), &r);
        DockInput in;
        in.cursor = {p.x, p.y};
        in.rect = {r.left, r.top, r.right, r.bottom};
        in.windowState = form_.WindowState();
        in.left = form_.Left();
        in.top = form_.Top();
        in.width = form_.Width();
        in.height = form_.Height();
        in.screenWidth = screen_.Width;
        in.monitors = monitors_;
        in.twipsPerPixelX = screen_.TwipsPerPixelX;
        in.twipsPerPixelY = screen_.TwipsPerPixelY;
        return in;
    }
    std::int32_t LeftPixelsFor(float twips) const override { return TwipsToPixelsX(twips); }
    std::int32_t TopPixelsFor(float twips) const override { return TwipsToPixelsY(twips); }
    void SetLeft(float twips) override { form_.SetLeft(twips); }
    void SetTop(float twips) override { form_.SetTop(twips); }
    bool IsVisible() const override { return form_.IsVisible(); }
    void Show() override { form_.Show(); }

  private:
    Form& form_;
    const Screen& screen_;
    std::span<const RectPx> monitors_;
};

class LoadTarget final : public PromoLoadTarget {
  public:
    LoadTarget(HWND hwnd, WebBrowser& browser) : hwnd_(hwnd), browser_(browser) {}
    void SetTopmost(const PixelRect& p) override {
        SetWindowPos(hwnd_, HWND_TOPMOST, p.x, p.y, p.cx, p.cy, 0);
    }
    void Navigate(std::wstring_view address) override { browser_.Navigate(address); }

  private:
    HWND hwnd_;
    WebBrowser& browser_;
};

} // namespace

PromoForm::PromoForm(const PromoKind& kind) : kind_(kind) {}

Form::Design PromoForm::GetDesign() const {
    Design d;
    d.caption = L"休息一下，马上回来！";
    d.style = WS_POPUP | WS_CLIPCHILDREN;
    d.showInTaskbar = false;
    d.backColor = PromoBackColor;
    d.iconId = IDI_ADFRM;
    d.clientWidth = 1965;
    d.clientHeight = 9135;
    return d;
}

std::vector<ControlDesign> PromoForm::GetControls() const {
    // WebBrowser1 is made by the load; Image1 and Image2 are drawn on the
    // window itself.
    ControlDesign label = MakeControl(Label1, WC_STATICW, L"", 0, Label1Rect.left, Label1Rect.top,
                                      Label1Rect.width, Label1Rect.height);
    label.backColor = PromoBackColor;
    return {label};
}

RECT PromoForm::ImageRect(int id) const {
    return Pixels(id == Image2 ? Image2Rect : Image1Rect);
}

void PromoForm::Form_Load() {
    closePicture_ = Picture::FromResource(IDR_AD_CLOSE);
    minimisePicture_ = Picture::FromResource(IDR_AD_MINIMISE);
    WebBrowser1_.Create(hWnd(), Pixels(WebBrowser1Rect));
    SetTimer(Timer2, DockingStartMs);
    screen_ = TheScreen();
    monitors_ = DesktopMonitors();
    LoadTarget target(hWnd(), WebBrowser1_);
    LoadPromo(*this, screen_, kind_, target, monitors_);
}

void PromoForm::OnCommand(int id, int code) {
    if (id == Label1 && code == STN_DBLCLK)
        Unload();
}

void PromoForm::OnTimer(int id) {
    if (id == Timer1)
        DockTick();
    else if (id == Timer2)
        StartDocking();
}

void PromoForm::Minimise() {
    SetWindowState(WindowState::Minimised);
}

void PromoForm::StartDocking() {
    SetTimer(Timer1, DockingTickMs);
}

void PromoForm::DockTick() {
    FormDocking window(*this, screen_, monitors_);
    RunDockTick(window);
}

int PromoForm::ImageAt(POINT client) const {
    // Image1 lies above Image2 where they would meet (later in the design).
    for (int id : {Image1, Image2}) {
        const RECT r = ImageRect(id);
        if (PtInRect(&r, client))
            return id;
    }
    return 0;
}

void PromoForm::OnPaint(HDC dc) {
    closePicture_.Draw(dc, ImageRect(Image2));
    minimisePicture_.Draw(dc, ImageRect(Image1));
}

void PromoForm::OnMouseDown(POINT client) {
    pressedImage_ = ImageAt(client);
}

void PromoForm::OnMouseUp(POINT client) {
    const int pressed = std::exchange(pressedImage_, 0);
    if (!pressed || pressed != ImageAt(client))
        return;
    if (pressed == Image1)
        Minimise();
    else
        EndProgram();
}

void PromoForm::OnDisplayChange() {
    // The screen and the monitors change only with the display settings;
    // reading them on every docking tick would cost trips to the window server.
    // A window docked on the former desktop, or standing at what is now a
    // seam, is placed as at its load, and docks from there.
    const Screen formerScreen = std::exchange(screen_, TheScreen());
    const std::vector<RectPx> formerMonitors = std::exchange(monitors_, DesktopMonitors());
    const DockInput before = FormDocking(*this, formerScreen, formerMonitors).ReadDockInput();
    if (PlaceAgainAfterDisplayChange(before,
                                     FormDocking(*this, screen_, monitors_).ReadDockInput()))
        CenterForm1(*this, screen_, kind_.side, monitors_);
}

void PromoForm::OnDestroy() {
    WebBrowser1_.Destroy();
    closePicture_ = Picture();
    minimisePicture_ = Picture();
    Form::OnDestroy();
}

adfrm::adfrm() : PromoForm(adfrmKind) {}
adfrm& adfrm::Instance() {
    static adfrm form;
    return form;
}

ad1frm::ad1frm() : PromoForm(ad1frmKind) {}
ad1frm& ad1frm::Instance() {
    static ad1frm form;
    return form;
}

} // namespace varno::win
