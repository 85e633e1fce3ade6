#include "about/aboutfrm.h"

#include "app/Maker.h"
#include "app/Module1.h"
#include "platform/App.h"
#include "res/aboutres.h"

#include <commctrl.h>

namespace varno::win {

using namespace varno;

namespace {

constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF Blue = RGB(0, 0, 255);
constexpr COLORREF Black = RGB(0, 0, 0);
constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Grey = RGB(128, 128, 128);

FontSpec Font(const wchar_t* face, float points, bool bold = false, bool underline = false) {
    FontSpec f;
    f.face = face;
    f.points = points;
    f.bold = bold;
    f.underline = underline;
    return f;
}

// The window's own font and the controls' fonts (the designs point at them).
const FontSpec Tahoma825 = Font(L"Tahoma", 8.25f);
const FontSpec Tahoma825Underlined = Font(L"Tahoma", 8.25f, false, true);
const FontSpec Tahoma9 = Font(L"Tahoma", 9);
const FontSpec Verdana675 = Font(L"Verdana", 6.75f);
const FontSpec Verdana675Underlined = Font(L"Verdana", 6.75f, false, true);
const FontSpec SongTi9Bold = [] {
    FontSpec f = SongTi9();
    f.bold = true;
    return f;
}();
const FontSpec SongTi9Button = SongTi9();

ControlDesign Label(int id, std::wstring_view text, float l, float t, float w, float h,
                    COLORREF color, const FontSpec* font = nullptr) {
    ControlDesign c = MakeControl(id, WC_STATICW, text, SS_LEFTNOWORDWRAP, l, t, w, h);
    c.font = font;
    c.autoSize = true;
    c.foreColor = color;
    return c;
}

// A caption: red Tahoma 9 pt, auto-sized, ending at the design's right edge.
ControlDesign Caption(int id, std::wstring_view text, float l, float t, float w, float h) {
    ControlDesign c = Label(id, text, l, t, w, h, Red, &Tahoma9);
    c.keepRightEdge = true; // the colons line up whatever the font's widths
    return c;
}

// A value shown as a link: blue, with the pointing hand.
ControlDesign Link(int id, std::wstring_view text, float l, float t, float w, float h,
                   const FontSpec* font, HCURSOR hand, std::wstring_view tooltip = {}) {
    ControlDesign c = Label(id, text, l, t, w, h, Blue, font);
    c.cursor = hand;
    c.tooltip = tooltip;
    return c;
}

} // namespace

aboutfrm& aboutfrm::Instance() {
    static aboutfrm form;
    return form;
}

void aboutfrm::CenterForm(Window& window) {
    CentreOnScreen(window, TheScreen());
}

Form::Design aboutfrm::GetDesign() const {
    Design d;
    d.caption = maker::BrandName;
    // A fixed dialog frame with a close box; no minimise or maximise.
    d.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    d.exStyle = WS_EX_DLGMODALFRAME;
    d.clientWidth = 5100;
    d.clientHeight = 2160;
    d.showInTaskbar = false;
    d.font = Tahoma825;
    return d;
}

std::vector<ControlDesign> aboutfrm::GetControls() const {
    const HCURSOR hand = LoadCursorW(win::Instance(), MAKEINTRESOURCEW(IDC_ABOUT_HAND));

    // The white header band, wider than the window; its icon and text lie on it.
    ControlDesign head = MakeControl(picBGHead, WC_STATICW, L"", 0, 0, 0, 5790, 615);
    head.backColor = White;

    ControlDesign icon =
        MakeControl(picBGHeadIcon, WC_STATICW, L"", SS_ICON | SS_CENTERIMAGE, 240, 120, 480, 480);
    icon.container = picBGHead;
    icon.backColor = White;

    ControlDesign info =
        Label(lblBGHeadInfo1, maker::BrandSlogan, 960, 240, 3855, 255, Black, &SongTi9Bold);
    info.autoSize = false; // keeps its size and cuts off what does not fit
    info.container = picBGHead;
    info.backColor = White; // the band shows through
    info.tooltip = maker::OrganisationAddress;

    // One grey pixel along the lower edge of the band.
    ControlDesign line =
        MakeControl(linBorder, WC_STATICW, L"", 0, 0, 615, 5760, TheScreen().TwipsPerPixelY);
    line.backColor = Grey;

    ControlDesign ok = MakeControl(Command1, WC_BUTTONW, L"  确  定", BS_PUSHBUTTON | WS_TABSTOP,
                                   3480, 1440, 1335, 375);
    ok.font = &SongTi9Button;

    return {
        head,
        icon,
        info,
        line,
        Caption(Label2, L"作 者：", 600, 720, 600, 210),
        Label(Label7, maker::Author, 1320, 720, 540, 195, Blue),
        Caption(Label3, L"单 位：", 600, 1080, 600, 210),
        Link(Label9, maker::Organisation, 1320, 1080, 1800, 195, &Tahoma825Underlined, hand,
             maker::OrganisationAddress),
        Caption(Label5, L"E-mail：", 555, 1440, 645, 210),
        Link(lblHomepage, maker::MailAddress, 1320, 1440, 1950, 180, &Verdana675, hand),
        ok,
        Caption(Label6, L"软件下载：", 300, 1800, 900, 210),
        Link(Label4, maker::SiteAddress, 1320, 1800, 1395, 180, &Verdana675Underlined, hand,
             maker::BrandName),
    };
}

void aboutfrm::Form_Load() {
    const HICON icon = static_cast<HICON>(LoadImageW(
        win::Instance(), MAKEINTRESOURCEW(IDI_ABOUT_HEAD), IMAGE_ICON, 32, 32, LR_SHARED));
    SendMessageW(Control(picBGHeadIcon), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    CenterForm(*this);
}

void aboutfrm::OnCommand(int id, int code) {
    if (code != BN_CLICKED && code != STN_CLICKED)
        return;
    const ClickAction action = AboutClick(id);
    if (action.kind == ClickAction::Kind::Close)
        Unload();
    else if (action.kind == ClickAction::Kind::ShellOpen)
        ShellOpen(hWnd(), action.address);
}

} // namespace varno::win
