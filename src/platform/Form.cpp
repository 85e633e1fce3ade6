#include "platform/Form.h"

#include "platform/App.h"
#include "platform/Barrier.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace varno::win {

namespace {

constexpr wchar_t FormClass[] = L"VarnoForm";

int Dpi() {
    static const int dpi = [] {
        const WindowDC screen(nullptr);
        const int d = GetDeviceCaps(screen.Get(), LOGPIXELSX);
        return d > 0 ? d : 96;
    }();
    return dpi;
}

int Round(float v) {
    return static_cast<int>(std::lround(v));
}

bool SameFont(const FontSpec& a, const FontSpec& b) {
    return a.face == b.face && a.points == b.points && a.bold == b.bold && a.italic == b.italic &&
           a.underline == b.underline && a.charset == b.charset;
}

bool IsGroupBox(const ControlDesign& d) {
    return std::wstring_view(d.className) == WC_BUTTONW && (d.style & 0xF) == BS_GROUPBOX;
}

bool IsLabel(const ControlDesign& d) {
    return std::wstring_view(d.className) == WC_STATICW;
}

// Debug builds tell the debugger about a control that could not be made.
void ReportCreateFailure([[maybe_unused]] const wchar_t* className) {
#ifndef NDEBUG
    wchar_t text[128];
    wsprintfW(text, L"varno: CreateWindowEx(%s) failed: %lu\n", className, GetLastError());
    OutputDebugStringW(text);
#endif
}

void RegisterFormClass(WNDPROC proc) {
    static const bool done = [proc] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = proc;
        wc.hInstance = Instance();
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = FormClass;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)done;
}

} // namespace

Screen TheScreen() {
    const float tpp = 1440.0f / static_cast<float>(Dpi());
    Screen s;
    s.TwipsPerPixelX = tpp;
    s.TwipsPerPixelY = tpp;
    s.Width = static_cast<float>(GetSystemMetrics(SM_CXSCREEN)) * tpp;
    s.Height = static_cast<float>(GetSystemMetrics(SM_CYSCREEN)) * tpp;
    return s;
}

int TwipsToPixelsX(float twips) {
    return Round(twips * static_cast<float>(Dpi()) / 1440.0f);
}
int TwipsToPixelsY(float twips) {
    return TwipsToPixelsX(twips);
}

FontSpec SongTi9() {
    FontSpec f;
    f.face = L"宋体";
    f.points = 9;
    f.charset = GB2312_CHARSET;
    return f;
}

ControlDesign MakeControl(int id, const wchar_t* className, std::wstring_view text, DWORD style,
                          float left, float top, float width, float height) {
    ControlDesign c;
    c.id = id;
    c.className = className;
    c.text = text;
    c.style = style;
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    return c;
}

Form::Form() = default;

Form::~Form() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        (void)tooltip_.Detach(); // an owned window, gone with its owner
    }
}

// ---- geometry (outer rectangle, twips) ----

namespace {
RECT OuterRect(HWND h) {
    RECT r{};
    if (h)
        GetWindowRect(h, &r);
    return r;
}
float Twips(LONG px) {
    return static_cast<float>(px) * 1440.0f / static_cast<float>(Dpi());
}
} // namespace

float Form::Left() const {
    return Twips(OuterRect(hwnd_).left);
}
float Form::Top() const {
    return Twips(OuterRect(hwnd_).top);
}
float Form::Width() const {
    RECT r = OuterRect(hwnd_);
    return Twips(r.right - r.left);
}
float Form::Height() const {
    RECT r = OuterRect(hwnd_);
    return Twips(r.bottom - r.top);
}

void Form::Move(float left, float top) {
    if (hwnd_)
        SetWindowPos(hwnd_, nullptr, TwipsToPixelsX(left), TwipsToPixelsY(top), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
void Form::SetLeft(float left) {
    Move(left, Top());
}
void Form::SetTop(float top) {
    Move(Left(), top);
}

WindowState Form::WindowState() const {
    if (!hwnd_)
        return WindowState::Normal;
    return IsIconic(hwnd_)   ? WindowState::Minimised
           : IsZoomed(hwnd_) ? WindowState::Maximised
                             : WindowState::Normal;
}

void Form::SetWindowState(varno::WindowState state) {
    Load();
    ShowWindow(hwnd_, state == WindowState::Minimised   ? SW_MINIMIZE
                      : state == WindowState::Maximised ? SW_MAXIMIZE
                                                        : SW_RESTORE);
}

bool Form::IsVisible() const {
    return hwnd_ && IsWindowVisible(hwnd_);
}

// ---- lifetime ----

void Form::Load() {
    if (hwnd_)
        return;
    RegisterFormClass(&Form::StaticWndProc);
    design_ = GetDesign();
    DWORD ex = design_.exStyle;
    if (design_.showInTaskbar)
        ex |= WS_EX_APPWINDOW;
    RECT r{0, 0, TwipsToPixelsX(design_.clientWidth), TwipsToPixelsY(design_.clientHeight)};
    AdjustWindowRectEx(&r, design_.style, FALSE, ex);
    if (design_.backColor != CLR_INVALID)
        backBrush_.Reset(CreateSolidBrush(design_.backColor));
    HWND h =
        CreateWindowExW(ex, FormClass, design_.caption.c_str(), design_.style & ~WS_VISIBLE,
                        TwipsToPixelsX(design_.left), TwipsToPixelsY(design_.top), r.right - r.left,
                        r.bottom - r.top, OwnerWindow(), nullptr, Instance(), this);
    if (!h)
        return;
    if (design_.iconId) {
        auto icon = [&](int cx) {
            return reinterpret_cast<LPARAM>(LoadImageW(Instance(), MAKEINTRESOURCEW(design_.iconId),
                                                       IMAGE_ICON, cx, cx, LR_SHARED));
        };
        SendMessageW(h, WM_SETICON, ICON_BIG, icon(GetSystemMetrics(SM_CXICON)));
        SendMessageW(h, WM_SETICON, ICON_SMALL, icon(GetSystemMetrics(SM_CXSMICON)));
    }
    for (const ControlDesign& c : GetControls())
        AddControl(c);
    // Frames and picture boxes lie behind what they contain; they take no tab
    // stop, so the tab order (the order of creation) stays.
    for (auto& [id, info] : controls_) {
        if (IsGroupBox(info.design) || IsContainer(id))
            SetWindowPos(info.hwnd, HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    FormLoaded(h);
    Form_Load();
}

void Form::Show(bool modal) {
    Load();
    if (!hwnd_)
        return;
    const HWND active = GetActiveWindow();
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    if (modal)
        RunModal(active);
}

void Form::Hide() {
    if (!hwnd_)
        return;
    EndModal();
    ShowWindow(hwnd_, SW_HIDE);
}

void Form::Unload() {
    if (!hwnd_)
        return;
    Form_Unload();
    if (!hwnd_)
        return;
    EndModal();
    DestroyWindow(hwnd_);
}

void Form::Refresh() {
    // Paints now whatever is out of date in the window and its controls: a
    // control whose text changed has invalidated itself already.
    if (hwnd_)
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Form::SetTimer(int id, unsigned intervalMs) {
    if (!hwnd_)
        return;
    if (intervalMs == 0)
        KillTimer(hwnd_, static_cast<UINT_PTR>(id));
    else
        ::SetTimer(hwnd_, static_cast<UINT_PTR>(id), intervalMs, nullptr);
}

void Form::RunModal(HWND previouslyActive) {
    // Like a modal show without an owner: every other window of the
    // program takes no input until this one is hidden or unloaded.
    EndModal(); // a form already modal is shown modal once more
    modalReturn_ = previouslyActive != hwnd_ ? previouslyActive : nullptr;
    struct Ctx {
        HWND self;
        std::vector<HWND>* disabled;
    } ctx{hwnd_, &modalDisabled_};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
            return Barrier<BOOL>(FALSE, [&] {
                auto* c = reinterpret_cast<Ctx*>(p);
                if (w != c->self && w != OwnerWindow() && IsWindowVisible(w) &&
                    IsWindowEnabled(w)) {
                    c->disabled->push_back(w);
                    EnableWindow(w, FALSE);
                }
                return TRUE;
            });
        },
        reinterpret_cast<LPARAM>(&ctx));
    MSG msg;
    while (hwnd_ && IsWindowVisible(hwnd_)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        PumpMessage(msg);
    }
    EndModal();
}

void Form::EndModal() {
    // Enabled again while this form is still on screen: when the active
    // window goes, the system passes the activation on only to a window
    // that can take it, and a disabled program has none.
    for (HWND w : std::exchange(modalDisabled_, {})) {
        if (IsWindow(w))
            EnableWindow(w, TRUE);
    }
    const HWND back = std::exchange(modalReturn_, nullptr);
    if (hwnd_ && back && GetActiveWindow() == hwnd_ && IsWindow(back) && IsWindowVisible(back) &&
        IsWindowEnabled(back))
        SetActiveWindow(back);
}

// ---- controls ----

HFONT Form::FontFor(const FontSpec* wanted) {
    const FontSpec& f = wanted ? *wanted : design_.font;
    for (auto& [s, font] : fonts_) {
        if (SameFont(s, f))
            return font.Get();
    }
    LOGFONTW lf{};
    lf.lfHeight = -Round(f.points * static_cast<float>(Dpi()) / 72.0f);
    lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = f.italic;
    lf.lfUnderline = f.underline;
    lf.lfCharSet = f.charset;
    lf.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(lf.lfFaceName, f.face.c_str(), LF_FACESIZE);
    fonts_.emplace_back(f, GdiObject<HFONT>(CreateFontIndirectW(&lf)));
    return fonts_.back().second.Get();
}

HWND Form::AddControl(const ControlDesign& d) {
    float left = d.left, top = d.top;
    if (d.container) {
        auto it = controls_.find(d.container);
        if (it != controls_.end()) {
            left += it->second.design.left;
            top += it->second.design.top;
        }
    }
    DWORD style = d.style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    if (IsLabel(d))
        style |= SS_NOTIFY | SS_NOPREFIX;
    HWND h = CreateWindowExW(d.exStyle, d.className, d.text.c_str(), style, TwipsToPixelsX(left),
                             TwipsToPixelsY(top), TwipsToPixelsX(d.width), TwipsToPixelsY(d.height),
                             hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(d.id)), Instance(),
                             nullptr);
    if (!h) {
        // A design naming a class that isn't registered, or a system out of
        // window handles: the form goes on without the control.
        ReportCreateFailure(d.className);
        return nullptr;
    }
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(d.font)), FALSE);
    // The tooltip window is made only for a form whose controls have tips:
    // a topmost window owned by the form keeps Wine from making the form
    // itself topmost.
    if (!d.tooltip.empty() && !tooltip_) {
        tooltip_.Reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                       WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, hwnd_, nullptr,
                                       Instance(), nullptr));
        SetPropW(hwnd_, TooltipProp, tooltip_.Get());
    }
    if (!d.tooltip.empty() && tooltip_) {
        // Mouse messages are relayed to the tooltip by the message loop.
        TTTOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.hwnd = hwnd_;
        ti.lpszText = const_cast<wchar_t*>(d.tooltip.c_str());
        if (IsGroupBox(d)) {
            // A frame lets the mouse through to the form (HTTRANSPARENT), so
            // its tip is a tool of the form over the frame's rectangle. Over
            // a control in the frame the messages name that control, which
            // shows its own tip or none.
            ti.uId = static_cast<UINT_PTR>(d.id);
            GetWindowRect(h, &ti.rect);
            MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&ti.rect), 2);
        } else {
            ti.uFlags = TTF_IDISHWND;
            ti.uId = reinterpret_cast<UINT_PTR>(h);
        }
        SendMessageW(tooltip_.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    controls_[d.id] = ControlInfo{h, d};
    if (d.autoSize)
        AutoSize(d.id, d.text);
    return h;
}

bool Form::IsContainer(int id) const {
    return std::any_of(controls_.begin(), controls_.end(),
                       [id](const auto& c) { return c.second.design.container == id; });
}

HWND Form::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second.hwnd;
}

std::wstring Form::ControlText(int id) const {
    HWND h = Control(id);
    if (!h)
        return {};
    std::wstring s(static_cast<size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
    s.resize(static_cast<size_t>(GetWindowTextW(h, s.data(), static_cast<int>(s.size()))));
    return s;
}

void Form::SetControlText(int id, std::wstring_view text) {
    HWND h = Control(id);
    if (!h)
        return;
    // An auto-size label takes the size of its new text first: a label paints
    // a new text at once, into the rectangle it has at that moment, and a
    // later resize repaints only the strip it adds, so a label that grew
    // afterwards would keep a character cut off at its old edge.
    if (controls_.find(id)->second.design.autoSize)
        AutoSize(id, text);
    SetWindowTextW(h, std::wstring(text).c_str());
}

void Form::AutoSize(int id, std::wstring_view text) {
    auto it = controls_.find(id);
    if (it == controls_.end())
        return;
    HWND h = it->second.hwnd;
    SIZE sz{};
    {
        const WindowDC dc(h);
        const SelectedObject font(dc.Get(),
                                  reinterpret_cast<HGDIOBJ>(SendMessageW(h, WM_GETFONT, 0, 0)));
        const std::wstring measured =
            text.empty() ? L" " : std::wstring(text); // an empty label keeps one space
        GetTextExtentPoint32W(dc.Get(), measured.c_str(), static_cast<int>(measured.size()), &sz);
    }
    if (it->second.design.keepRightEdge) {
        RECT r;
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(h, nullptr, r.right - sz.cx, r.top, sz.cx, sz.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    SetWindowPos(h, nullptr, 0, 0, sz.cx, sz.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- messages ----

const Form::ControlInfo* Form::InfoOf(HWND child) const {
    if (!child || GetParent(child) != hwnd_)
        return nullptr;
    auto it = controls_.find(GetDlgCtrlID(child));
    return it != controls_.end() && it->second.hwnd == child ? &it->second : nullptr;
}

COLORREF Form::BackColor() const {
    return design_.backColor != CLR_INVALID ? design_.backColor : GetSysColor(COLOR_BTNFACE);
}

HBRUSH Form::FormBrush() const {
    return backBrush_ ? backBrush_.Get() : GetSysColorBrush(COLOR_BTNFACE);
}

InputClosed::InputClosed(Form& form) : window_(form.hWnd()), focus_(GetFocus()) {
    Discard();
    EnableWindow(window_, FALSE);
}

InputClosed::~InputClosed() {
    Discard();
    EnableWindow(window_, TRUE);
    // Disabling took the focus away.
    if (GetActiveWindow() == window_ && !GetFocus() && focus_ && IsChild(window_, focus_))
        SetFocus(focus_);
}

void InputClosed::Discard() const {
    MSG msg;
    for (const auto& [first, last] : {std::pair<UINT, UINT>{WM_KEYFIRST, WM_KEYLAST},
                                      {WM_MOUSEFIRST, WM_MOUSELAST},
                                      {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}})
        while (PeekMessageW(&msg, window_, first, last, PM_REMOVE | PM_NOYIELD)) {
        }
    while (PeekMessageW(&msg, window_, WM_DROPFILES, WM_DROPFILES, PM_REMOVE | PM_NOYIELD))
        const UniqueDrop released(reinterpret_cast<HDROP>(msg.wParam));
}

int RunProgram(Form& startup, std::wstring_view cannotStart) {
    Barrier(false, [&] {
        startup.Show();
        return true;
    });
    if (!startup.IsLoaded()) {
        // Nothing would ever end the message loop.
        TheMessageBoxes().Show(cannotStart, MsgCritical, ErrorTitle);
        return 1;
    }
    return RunMessageLoop();
}

LRESULT CALLBACK Form::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, msg, wp, lp);
    // A handler's failure goes no further than here.
    return Barrier<LRESULT>(0, [&] { return self->OnMessage(msg, wp, lp); });
}

namespace {
POINT ClientPoint(LPARAM lp) {
    return POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
}
} // namespace

LRESULT Form::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        if (lp) // from a control
            OnCommand(LOWORD(wp), HIWORD(wp));
        else if (LOWORD(wp) == IDCANCEL) // the dialog keys' Esc
            OnEscape();
        return 0;
    case WM_TIMER:
        OnTimer(static_cast<int>(wp));
        return 0;
    case WM_PAINT: {
        const PaintDC dc(hwnd_);
        OnPaint(dc.Get());
        return 0;
    }
    case WM_ERASEBKGND:
        OnEraseBackground(reinterpret_cast<HDC>(wp));
        return 1;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(
            OnCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)));
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wp)))
            return TRUE;
        break;
    case WM_LBUTTONDOWN:
        OnMouseDown(ClientPoint(lp));
        return 0;
    case WM_LBUTTONUP:
        OnMouseUp(ClientPoint(lp));
        return 0;
    case WM_LBUTTONDBLCLK:
        Form_DblClick();
        return 0;
    case WM_ACTIVATE:
        if (OnActivate(LOWORD(wp) != WA_INACTIVE, HIWORD(wp) != 0))
            return 0;
        break;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wp));
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
        // The keys that reach a disabled form without a focus (a run works,
        // a modal window is up) do nothing, not even Alt+F4 or Alt+Space.
        if (!IsWindowEnabled(hwnd_))
            return 0;
        break;
    case WM_DISPLAYCHANGE:
        OnDisplayChange();
        break;
    case DM_GETDEFID:
        return 0; // no default button: Enter has no window-wide meaning
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_NCDESTROY: {
        const HWND h = hwnd_;
        OnNcDestroy();
        return DefWindowProcW(h, msg, wp, lp);
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

void Form::OnEraseBackground(HDC dc) {
    RECT r;
    GetClientRect(hwnd_, &r);
    FillRect(dc, &r, FormBrush());
}

HBRUSH Form::OnCtlColor(HDC dc, HWND child) {
    COLORREF back = BackColor();
    if (const ControlInfo* info = InfoOf(child)) {
        if (info->design.foreColor != CLR_INVALID)
            SetTextColor(dc, info->design.foreColor);
        if (info->design.backColor != CLR_INVALID)
            back = info->design.backColor;
    }
    SetBkColor(dc, back);
    if (back == BackColor())
        return FormBrush();
    auto& brush = brushes_[back];
    if (!brush)
        brush.Reset(CreateSolidBrush(back));
    return brush.Get();
}

bool Form::OnSetCursor(HWND over) {
    const ControlInfo* info = InfoOf(over);
    if (!info || !info->design.cursor)
        return false;
    SetCursor(info->design.cursor);
    return true;
}

bool Form::OnActivate(bool active, bool minimised) {
    // Keep the keyboard focus on a control: the last one that had it, or the
    // first in tab order when the window is first activated.
    if (!active) {
        const HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus))
            lastFocus_ = focus;
        return false;
    }
    if (minimised)
        return false;
    const HWND target =
        lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    if (target)
        SetFocus(target);
    return true;
}

void Form::OnDropFiles(HDROP drop) {
    const UniqueDrop released(drop);
}

void Form::OnClose() {
    Unload();
}

void Form::OnDestroy() {
    EndModal(); // destroyed by someone else: the program gets its input back
    RemovePropW(hwnd_, TooltipProp);
    tooltip_.Reset();
}

void Form::OnNcDestroy() {
    const HWND h = std::exchange(hwnd_, nullptr);
    lastFocus_ = nullptr;
    controls_.clear();
    fonts_.clear();
    brushes_.clear();
    backBrush_.Reset();
    SetWindowLongPtrW(h, GWLP_USERDATA, 0);
    FormUnloaded(h);
}

} // namespace varno::win
