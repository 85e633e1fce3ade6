// The about window under Wine: its real frame, controls, fonts and colours,
// the links through the shell seam, and the modal showing from the main
// window with its keyboard behaviour.
#include "about/aboutfrm.h"

#include "app/Maker.h"
#include "mainwindow/varnofrm.h"
#include "platform/App.h"
#include "res/aboutres.h"
#include "support/DialogDriver.h"
#include "support/RealInput.h"
#include "support/Screenshot.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <array>
#include <functional>
#include <map>
#include <vector>

namespace varno::win {
namespace {

using namespace varno;

// What the shell would have been asked to open.
struct ShellCall {
    HWND owner;
    std::wstring address;
    bool operator==(const ShellCall&) const = default;
};
std::vector<ShellCall> shellCalls;
void RecordShellOpen(HWND owner, std::wstring_view address) {
    shellCalls.push_back({owner, std::wstring(address)});
}

// Runs one step per timer tick while the test thread sits in a modal loop.
// Posted messages are handled before the next tick.
class Steps {
  public:
    explicit Steps(std::vector<std::function<void()>> steps) : steps_(std::move(steps)) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 50, &Steps::Tick);
    }
    ~Steps() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    size_t Ran() const { return next_; }

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        Steps* s = current_;
        if (!s || s->next_ == s->steps_.size())
            return;
        s->steps_[s->next_++]();
    }
    static inline Steps* current_ = nullptr;
    std::vector<std::function<void()>> steps_;
    size_t next_ = 0;
    UINT_PTR timer_ = 0;
};

// A rectangle as left, top, right, bottom, comparable in expectations.
using Box = std::array<LONG, 4>;
Box BoxOf(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// Closing the last form ends the message loop; the tests go on showing forms.
void ForgetQuit() {
    MSG m;
    while (PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

RECT ClientRectOf(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LOGFONTW FontOf(HWND control) {
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    return lf;
}

constexpr int Px(float twips) {
    return static_cast<int>(twips / 15 + 0.5f); // 96 DPI: 15 twips per pixel
}

class AboutWindow : public testing::Test {
  protected:
    void SetUp() override {
        ForgetQuit();
        shellCalls.clear();
        SetShellOpenHook(&RecordShellOpen);
        form.Show(); // modeless, for inspection
        ASSERT_TRUE(form.IsVisible());
    }
    void TearDown() override {
        form.Unload();
        SetShellOpenHook(nullptr);
    }
    HWND Ctl(int id) const { return form.Control(id); }

    // A left click at the middle of a part of the window (client pixels),
    // delivered to whichever window is hit there.
    HWND ClickAt(POINT client) {
        POINT screen = client;
        ClientToScreen(form.hWnd(), &screen);
        HWND hit = WindowFromPoint(screen);
        POINT local = screen;
        ScreenToClient(hit, &local);
        const LPARAM at = MAKELPARAM(local.x, local.y);
        SendMessageW(hit, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(hit, WM_LBUTTONUP, 0, at);
        return hit;
    }
    POINT MiddleOf(int id) {
        const RECT r = ClientRectOf(Ctl(id));
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    aboutfrm& form = aboutfrm::Instance();
};

TEST_F(AboutWindow, IsAFixedDialogWithACloseBoxAndNoTaskbarButton) {
    HWND h = form.hWnd();
    EXPECT_EQ(test::WindowText(h), maker::BrandName);
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(client.right, Px(5100));
    EXPECT_EQ(client.bottom, Px(2160));
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    const LONG ex = GetWindowLongW(h, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_DLGFRAME);
    EXPECT_TRUE(ex & WS_EX_DLGMODALFRAME);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(ex & WS_EX_APPWINDOW);
    EXPECT_FALSE(ex & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetWindow(h, GW_OWNER), OwnerWindow()); // owned: no task bar button
    EXPECT_FALSE(IsWindowVisible(OwnerWindow()));
    // No default button: the button is an ordinary push button.
    EXPECT_EQ(GetWindowLongW(Ctl(Command1), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
}

TEST_F(AboutWindow, LabelsAndButtonReadBackTheirTexts) {
    const std::map<int, std::wstring> expected = {
        {lblBGHeadInfo1, L"varno  CAD 图纸批量清理工具"},
        {Label2, L"作 者："},
        {Label7, L"varno 开发组"},
        {Label3, L"单 位："},
        {Label9, L"varno 项目"},
        {Label5, L"E-mail："},
        {lblHomepage, L"dev@varno.example"},
        {Command1, L"  确  定"},
        {Label6, L"软件下载："},
        {Label4, L"http://www.varno.example"},
    };
    for (const auto& [id, text] : expected)
        EXPECT_EQ(test::WindowText(Ctl(id)), text) << id;
    // The same addresses are shown and opened.
    EXPECT_EQ(test::WindowText(Ctl(Label4)), maker::SiteAddress);
    EXPECT_EQ(test::WindowText(Ctl(lblHomepage)), maker::MailAddress);
}

TEST_F(AboutWindow, CaptionsEndAt1200TwipsAndValuesStartAt1320) {
    for (int id : {int{Label2}, int{Label3}, int{Label5}, int{Label6}}) {
        const RECT r = ClientRectOf(Ctl(id));
        EXPECT_EQ(r.right, Px(1200)) << id;
    }
    for (int id : {int{Label7}, int{Label9}, int{lblHomepage}, int{Label4}})
        EXPECT_EQ(ClientRectOf(Ctl(id)).left, Px(1320)) << id;
    // Rows as designed.
    EXPECT_EQ(ClientRectOf(Ctl(Label2)).top, Px(720));
    EXPECT_EQ(ClientRectOf(Ctl(Label3)).top, Px(1080));
    EXPECT_EQ(ClientRectOf(Ctl(Label5)).top, Px(1440));
    EXPECT_EQ(ClientRectOf(Ctl(Label6)).top, Px(1800));
    EXPECT_EQ(BoxOf(ClientRectOf(Ctl(Command1))), (Box{Px(3480), Px(1440), Px(4815), Px(1815)}));
}

TEST_F(AboutWindow, LabelsSizeToTheirTextExceptTheHeaderText) {
    for (int id : {int{Label2}, int{Label7}, int{Label3}, int{Label9}, int{Label5},
                   int{lblHomepage}, int{Label6}, int{Label4}}) {
        HWND h = Ctl(id);
        const std::wstring text = test::WindowText(h);
        HDC dc = GetDC(h);
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(h, WM_GETFONT, 0, 0)));
        SIZE sz{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &sz);
        SelectObject(dc, old);
        ReleaseDC(h, dc);
        const RECT r = ClientRectOf(h);
        EXPECT_EQ(r.right - r.left, sz.cx) << id;
        EXPECT_EQ(r.bottom - r.top, sz.cy) << id;
        EXPECT_FALSE(GetWindowLongW(h, GWL_STYLE) & SS_RIGHT) << id; // left-aligned
    }
    // The header text keeps its design size, on the band.
    EXPECT_EQ(BoxOf(ClientRectOf(Ctl(lblBGHeadInfo1))),
              (Box{Px(960), Px(240), Px(960 + 3855), Px(240 + 255)}));
}

TEST_F(AboutWindow, HeaderBandIsCutOffAtTheRightWithItsIconTextAndGreyLine) {
    RECT client;
    GetClientRect(form.hWnd(), &client);
    const RECT band = ClientRectOf(Ctl(picBGHead));
    EXPECT_EQ(BoxOf(band), (Box{0, 0, Px(5790), Px(615)}));
    EXPECT_GT(band.right, client.right);
    EXPECT_EQ(BoxOf(ClientRectOf(Ctl(picBGHeadIcon))), (Box{Px(240), Px(120), Px(720), Px(600)}));
    EXPECT_EQ(BoxOf(ClientRectOf(Ctl(linBorder))), (Box{0, Px(615), Px(5760), Px(615) + 1}));

    // The icon: 32 x 32, with colour.
    HICON icon = reinterpret_cast<HICON>(SendMessageW(Ctl(picBGHeadIcon), STM_GETICON, 0, 0));
    ASSERT_TRUE(icon);
    ICONINFO ii{};
    ASSERT_TRUE(GetIconInfo(icon, &ii));
    BITMAP bm{};
    GetObjectW(ii.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 32);
    EXPECT_EQ(bm.bmHeight, 32);
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);

    // The icon and the text lie on the band, not under it.
    EXPECT_EQ(ClickAt(MiddleOf(picBGHeadIcon)), Ctl(picBGHeadIcon));
    EXPECT_EQ(ClickAt(MiddleOf(lblBGHeadInfo1)), Ctl(lblBGHeadInfo1));
}

TEST_F(AboutWindow, ColoursAndFontsFollowTheDesign) {
    // Colours as the window gives them to its controls.
    HDC dc = CreateCompatibleDC(nullptr);
    auto colours = [&](int id) {
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkColor(dc, RGB(1, 2, 3));
        SendMessageW(form.hWnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(Ctl(id)));
        return std::pair{GetTextColor(dc), GetBkColor(dc)};
    };
    for (int id : {int{Label2}, int{Label3}, int{Label5}, int{Label6}})
        EXPECT_EQ(colours(id).first, RGB(255, 0, 0)) << id;
    for (int id : {int{Label7}, int{Label9}, int{lblHomepage}, int{Label4}})
        EXPECT_EQ(colours(id).first, RGB(0, 0, 255)) << id;
    EXPECT_EQ(colours(lblBGHeadInfo1), std::pair(RGB(0, 0, 0), RGB(255, 255, 255)));
    EXPECT_EQ(colours(picBGHead).second, RGB(255, 255, 255));
    EXPECT_EQ(colours(picBGHeadIcon).second, RGB(255, 255, 255));
    EXPECT_EQ(colours(linBorder).second, RGB(128, 128, 128));
    DeleteDC(dc);

    struct Expect {
        int id;
        const wchar_t* face;
        int height; // pixels at 96 DPI
        bool bold, underline;
        BYTE charset;
    };
    const Expect fonts[] = {
        {lblBGHeadInfo1, L"宋体", -12, true, false, GB2312_CHARSET},
        {Command1, L"宋体", -12, false, false, GB2312_CHARSET},
        {Label2, L"Tahoma", -12, false, false, DEFAULT_CHARSET},
        {Label6, L"Tahoma", -12, false, false, DEFAULT_CHARSET},
        {Label7, L"Tahoma", -11, false, false, DEFAULT_CHARSET},
        {Label9, L"Tahoma", -11, false, true, DEFAULT_CHARSET},
        {lblHomepage, L"Verdana", -9, false, false, DEFAULT_CHARSET},
        {Label4, L"Verdana", -9, false, true, DEFAULT_CHARSET},
    };
    for (const Expect& e : fonts) {
        const LOGFONTW lf = FontOf(Ctl(e.id));
        EXPECT_STREQ(lf.lfFaceName, e.face) << e.id;
        EXPECT_EQ(lf.lfHeight, e.height) << e.id;
        EXPECT_EQ(lf.lfWeight >= FW_BOLD, e.bold) << e.id;
        EXPECT_EQ(lf.lfUnderline != 0, e.underline) << e.id;
        EXPECT_EQ(lf.lfCharSet, e.charset) << e.id;
    }
}

TEST_F(AboutWindow, LinksShowThePointingHandAndTooltips) {
    const HCURSOR hand = LoadCursorW(Instance(), MAKEINTRESOURCEW(IDC_ABOUT_HAND));
    ASSERT_TRUE(hand);
    ICONINFO ii{};
    ASSERT_TRUE(GetIconInfo(hand, &ii));
    EXPECT_FALSE(ii.fIcon);
    EXPECT_EQ(ii.xHotspot, 6u); // the finger tip
    EXPECT_EQ(ii.yHotspot, 0u);
    EXPECT_EQ(ii.hbmColor, nullptr); // monochrome: AND and XOR masks in one bitmap
    BITMAP bm{};
    GetObjectW(ii.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 32);
    EXPECT_EQ(bm.bmHeight, 64);
    DeleteObject(ii.hbmMask);

    auto cursorOver = [&](int id) {
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        SendMessageW(Ctl(id), WM_SETCURSOR, reinterpret_cast<WPARAM>(Ctl(id)),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };
    for (int id : {int{Label9}, int{lblHomepage}, int{Label4}})
        EXPECT_EQ(cursorOver(id), hand) << id;
    for (int id : {int{Label7}, int{Label2}, int{lblBGHeadInfo1}, int{picBGHead}})
        EXPECT_NE(cursorOver(id), hand) << id;

    const auto texts = test::TooltipTexts(aboutfrm::Instance().hWnd());
    EXPECT_EQ(texts, (std::map<int, std::wstring>{
                         {lblBGHeadInfo1, std::wstring(maker::OrganisationAddress)},
                         {Label9, std::wstring(maker::OrganisationAddress)},
                         {Label4, std::wstring(maker::BrandName)},
                     }));
}

TEST_F(AboutWindow, ClicksOpenTheSiteOrANewMailAndLeaveTheWindowOpen) {
    const std::wstring site(maker::SiteAddress);
    const std::wstring mail = L"mailto:" + std::wstring(maker::MailAddress);
    HWND h = form.hWnd();
    // A point on the band left of its icon.
    const POINT onBand{Px(120), Px(300)};
    const std::pair<POINT, std::vector<ShellCall>> cases[] = {
        {onBand, {{h, site}}},
        {MiddleOf(picBGHeadIcon), {{h, site}}},
        {MiddleOf(lblBGHeadInfo1), {{h, site}}},
        {MiddleOf(Label4), {{h, site}}},
        {MiddleOf(lblHomepage), {{h, mail}}},
        {MiddleOf(Label2), {}},
        {MiddleOf(Label7), {}},
        {MiddleOf(Label3), {}},
        {MiddleOf(Label9), {}},
        {MiddleOf(Label5), {}},
        {MiddleOf(Label6), {}},
        {MiddleOf(linBorder), {}},
        {POINT{Px(2500), Px(1300)}, {}}, // the window's own background
    };
    for (const auto& [at, calls] : cases) {
        shellCalls.clear();
        ClickAt(at);
        EXPECT_EQ(shellCalls, calls) << at.x << "," << at.y;
        EXPECT_TRUE(form.IsVisible());
    }
}

// The modal showing from the main window's more-software button.
class MoreSoftware : public testing::Test {
  protected:
    void SetUp() override {
        ForgetQuit();
        shellCalls.clear();
        SetShellOpenHook(&RecordShellOpen);
        main.Show();
    }
    void TearDown() override {
        about.Unload();
        SetShellOpenHook(nullptr);
    }
    // Clicks "  更多软件" and runs the steps, one per timer tick, while the
    // about window is open; returns, once the click's handler has returned,
    // how many steps ran. A last step closes the window in any case.
    size_t ClickMoreSoftware(std::vector<std::function<void()>> steps) {
        steps.push_back([this] { about.Unload(); });
        Steps run(std::move(steps));
        SendMessageW(main.Control(varnofrm::xpcmdbutton2), BM_CLICK, 0, 0);
        return run.Ran();
    }
    void Key(HWND to, WPARAM key) {
        PostMessageW(to, WM_KEYDOWN, key, 1);
        PostMessageW(to, WM_KEYUP, key, 0xC0000001);
    }
    varnofrm& main = varnofrm::Instance();
    aboutfrm& about = aboutfrm::Instance();
};

TEST_F(MoreSoftware, OpensTheSiteThenShowsTheAboutWindowModally) {
    bool aboutShown = false, mainEnabled = true, returned = false;
    std::vector<ShellCall> callsWhileOpen;
    const size_t ran = ClickMoreSoftware({[&] {
        aboutShown = about.IsVisible();
        mainEnabled = IsWindowEnabled(main.hWnd());
        callsWhileOpen = shellCalls;
        SendMessageW(about.Control(Command1), BM_CLICK, 0, 0);
        returned = !about.IsLoaded();
    }});
    EXPECT_EQ(ran, 1u); // the handler waited for the about window
    EXPECT_TRUE(aboutShown);
    EXPECT_FALSE(mainEnabled);
    EXPECT_EQ(callsWhileOpen,
              (std::vector<ShellCall>{{main.hWnd(), std::wstring(maker::SiteAddress)}}));
    EXPECT_TRUE(returned);
    EXPECT_FALSE(about.IsLoaded());
    EXPECT_TRUE(IsWindowEnabled(main.hWnd()));
}

// A person looks at this one: the about window over the main window.
TEST_F(MoreSoftware, Screenshot) {
    bool saved = false;
    ClickMoreSoftware({[&] { saved = test::SaveScreenshot(about.hWnd(), L"aboutfrm"); }});
    if (_wgetenv(L"VARNO_SCREENSHOTS")) {
        EXPECT_TRUE(saved);
    }
}

TEST_F(MoreSoftware, OpensTheAboutWindowAllTheSameWhenTheShellDoesNothing) {
    SetShellOpenHook([](HWND, std::wstring_view) {}); // no program takes the address
    bool aboutShown = false;
    EXPECT_EQ(ClickMoreSoftware({[&] { aboutShown = about.IsVisible(); }}), 2u);
    EXPECT_TRUE(aboutShown);
}

TEST_F(MoreSoftware, EscIsIgnoredAndEnterClosesOnlyFromTheButton) {
    bool afterEsc = false, afterEnterOnWindow = false, buttonHadFocus = false;
    const size_t ran = ClickMoreSoftware({
        [&] {
            buttonHadFocus = GetFocus() == about.Control(Command1);
            Key(GetFocus(), VK_ESCAPE);
        },
        [&] {
            afterEsc = about.IsVisible();
            SetFocus(about.hWnd()); // the focus on the window itself, not on the button
            Key(about.hWnd(), VK_RETURN);
        },
        [&] {
            afterEnterOnWindow = about.IsVisible();
            SetFocus(about.Control(Command1));
            Key(about.Control(Command1), VK_RETURN);
        },
    });
    EXPECT_TRUE(buttonHadFocus);
    EXPECT_TRUE(afterEsc);
    EXPECT_TRUE(afterEnterOnWindow);
    EXPECT_EQ(ran, 3u); // Enter on the button closed it before the last step could
    EXPECT_FALSE(about.IsLoaded());
    EXPECT_TRUE(IsWindowEnabled(main.hWnd()));
}

TEST_F(MoreSoftware, TheCloseBoxClosesTheWindowAndEndsTheModalShowing) {
    const size_t ran =
        ClickMoreSoftware({[&] { PostMessageW(about.hWnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }});
    EXPECT_EQ(ran, 1u);
    EXPECT_FALSE(about.IsLoaded());
}

// However the about window is closed, the main window is active afterwards:
// the program's windows are enabled again before the about window goes, so
// the activation does not pass to another program's window.
TEST_F(MoreSoftware, EveryWayOfClosingLeavesTheMainWindowActive) {
    struct Way {
        const char* name;
        std::function<void()> close;
    };
    const Way ways[] = {
        {"Command1 click", [&] { SendMessageW(about.Control(Command1), BM_CLICK, 0, 0); }},
        {"close box", [&] { PostMessageW(about.hWnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"WM_CLOSE", [&] { PostMessageW(about.hWnd(), WM_CLOSE, 0, 0); }},
        {"Enter on Command1",
         [&] {
             SetFocus(about.Control(Command1));
             test::PressKey(VK_RETURN);
         }},
        {"Alt+F4", [&] { test::PressKey(VK_F4, true); }},
    };
    for (const Way& way : ways) {
        SetForegroundWindow(main.hWnd());
        ASSERT_EQ(GetForegroundWindow(), main.hWnd());
        bool aboutInFront = false;
        const size_t ran = ClickMoreSoftware({[&] {
            aboutInFront = GetForegroundWindow() == about.hWnd();
            way.close();
        }});
        EXPECT_TRUE(aboutInFront) << way.name;
        EXPECT_EQ(ran, 1u) << way.name << " did not close the window";
        EXPECT_FALSE(about.IsLoaded()) << way.name;
        EXPECT_EQ(GetForegroundWindow(), main.hWnd()) << way.name;
        EXPECT_EQ(GetActiveWindow(), main.hWnd()) << way.name;
        EXPECT_TRUE(IsWindowEnabled(main.hWnd())) << way.name;
    }
}

TEST_F(MoreSoftware, EveryShowingIsCentredAfreshEvenAfterTheUserMovedIt) {
    float left = 0, top = 0, width = 0, height = 0, movedLeft = 0, againLeft = 0, againTop = 0;
    const size_t first = ClickMoreSoftware({[&] {
        width = about.Width();
        height = about.Height();
        left = about.Left();
        top = about.Top();
        // The user drags it elsewhere, then closes it.
        SetWindowPos(about.hWnd(), nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        movedLeft = about.Left();
        SendMessageW(about.Control(Command1), BM_CLICK, 0, 0);
    }});
    const size_t second = ClickMoreSoftware({[&] {
        againLeft = about.Left();
        againTop = about.Top();
        SendMessageW(about.Control(Command1), BM_CLICK, 0, 0);
    }});
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(second, 1u);
    const Screen s = TheScreen();
    EXPECT_NEAR(left, (s.Width - width) / 2, 15);
    EXPECT_NEAR(top, (s.Height - height) / 3, 15);
    EXPECT_FLOAT_EQ(movedLeft, 20 * 15);
    EXPECT_FLOAT_EQ(againLeft, left);
    EXPECT_FLOAT_EQ(againTop, top);
}

} // namespace
} // namespace varno::win
