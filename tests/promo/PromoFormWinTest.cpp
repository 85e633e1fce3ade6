// The promotional windows under Wine: placement, styles, the embedded
// browser, start-up order, edge docking of the real windows with the real
// cursor, and the handlers of Label1, Image1 and Image2.
#include "mainwindow/varnofrm.h"
#include "platform/App.h"
#include "promo/adfrm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace varno::win {
namespace {

// Handles every queued message for ms milliseconds, or until done() holds.
template <class Done> bool PumpUntil(Done done, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            PumpMessage(msg);
        if (done())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}
void Pump(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

RECT WindowRect(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return r;
}

// Watches messages sent to the program's windows: moves and shows.
struct MessageLog {
    std::map<HWND, int> moves; // WM_WINDOWPOSCHANGING with a new position
    std::vector<HWND> shown;   // WM_SHOWWINDOW(TRUE), in order
};
MessageLog* g_log = nullptr;

LRESULT CALLBACK WatchMessages(int code, WPARAM wp, LPARAM lp) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && g_log) {
        if (m->message == WM_WINDOWPOSCHANGING &&
            !(reinterpret_cast<const WINDOWPOS*>(m->lParam)->flags & SWP_NOMOVE))
            ++g_log->moves[m->hwnd];
        wchar_t cls[32] = {};
        if (m->message == WM_SHOWWINDOW && m->wParam && GetClassNameW(m->hwnd, cls, 32) &&
            std::wstring_view(cls) == L"VarnoForm")
            g_log->shown.push_back(m->hwnd);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

class WatchedMessages {
  public:
    WatchedMessages()
        : hook_(SetWindowsHookExW(WH_CALLWNDPROC, WatchMessages, nullptr, GetCurrentThreadId())) {
        g_log = &log;
    }
    ~WatchedMessages() {
        g_log = nullptr;
        UnhookWindowsHookEx(hook_);
    }
    WatchedMessages(const WatchedMessages&) = delete;
    WatchedMessages& operator=(const WatchedMessages&) = delete;
    MessageLog log;

  private:
    HHOOK hook_;
};

std::vector<std::wstring>* g_navigated = nullptr;
void RecordNavigation(HWND, std::wstring_view address) {
    if (g_navigated)
        g_navigated->emplace_back(address);
}

POINT Centre(const RECT& r) {
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void Click(HWND form, POINT client) {
    const LPARAM at = MAKELPARAM(client.x, client.y);
    PostMessageW(form, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(form, WM_LBUTTONUP, 0, at);
}

class PromoForms : public testing::Test {
  protected:
    // Unless a test sends the browsers to the network, navigations are only
    // recorded.
    void SetUp() override {
        g_navigated = &navigated_;
        WebBrowser::SetNavigateHook(&RecordNavigation);
        SetCursorPos(640, 512);
    }
    void TearDown() override {
        ad1frm::Instance().Unload();
        adfrm::Instance().Unload();
        varnofrm::Instance().Unload();
        Pump(50);
        WebBrowser::SetNavigateHook(nullptr);
        g_navigated = nullptr;
    }
    static void ShowBoth() {
        adfrm::Instance().Show();
        ad1frm::Instance().Show();
    }
    std::vector<std::wstring> navigated_;
};

TEST_F(PromoForms, StandAtTheScreenEdgesTopmostWithoutBorderOrTaskbarButton) {
    WebBrowser::SetNavigateHook(nullptr); // the real control, to the real address
    ShowBoth();
    const Screen screen = TheScreen();
    const int cx = GetSystemMetrics(SM_CXSCREEN);
    const int cy = GetSystemMetrics(SM_CYSCREEN);
    // 1965 x 9135 twips; a third of the free height above.
    const int width = static_cast<int>(std::lround(1965 / screen.TwipsPerPixelX));
    const int height = static_cast<int>(std::lround(9135 / screen.TwipsPerPixelY));
    const double topTwips = (cy * static_cast<double>(screen.TwipsPerPixelY) - 9135) / 3;
    const int top = static_cast<int>(std::lround(topTwips / screen.TwipsPerPixelY));

    const RECT left = WindowRect(ad1frm::Instance().hWnd());
    EXPECT_EQ(left.left, 0);
    EXPECT_EQ(left.top, top);
    EXPECT_EQ(left.right - left.left, width);
    EXPECT_EQ(left.bottom - left.top, height);
    const RECT right = WindowRect(adfrm::Instance().hWnd());
    EXPECT_EQ(right.right, cx);
    EXPECT_EQ(right.top, top);
    EXPECT_EQ(right.right - right.left, width);

    for (PromoForm* form : {static_cast<PromoForm*>(&adfrm::Instance()),
                            static_cast<PromoForm*>(&ad1frm::Instance())}) {
        HWND h = form->hWnd();
        SCOPED_TRACE(form == &adfrm::Instance() ? "adfrm" : "ad1frm");
        const LONG style = GetWindowLongW(h, GWL_STYLE);
        const LONG ex = GetWindowLongW(h, GWL_EXSTYLE);
        EXPECT_TRUE(IsWindowVisible(h));
        EXPECT_TRUE(ex & WS_EX_TOPMOST);
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_DLGFRAME | WS_SYSMENU));
        // Owned and without WS_EX_APPWINDOW: no task bar button.
        EXPECT_FALSE(ex & WS_EX_APPWINDOW);
        EXPECT_NE(GetWindow(h, GW_OWNER), nullptr);
        wchar_t caption[64] = {};
        GetWindowTextW(h, caption, 64);
        EXPECT_STREQ(caption, L"休息一下，马上回来！");
        EXPECT_NE(SendMessageW(h, WM_GETICON, ICON_BIG, 0), 0);
        RECT client{};
        GetClientRect(h, &client);
        EXPECT_EQ(client.right, width);
        EXPECT_EQ(client.bottom, height);

        // The browser lies over the whole client area and above the label
        // and the pictures, which take no mouse input there.
        const WebBrowser& browser = form->Browser();
        ASSERT_TRUE(browser.IsCreated());
        HWND view = browser.Window();
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(GetParent(view), h);
        RECT r = WindowRect(view);
        MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, -7); // (-100, -200, 2400, 9690) twips
        EXPECT_EQ(r.top, -13);
        EXPECT_EQ(r.right - r.left, 160);
        EXPECT_EQ(r.bottom - r.top, 646);
        EXPECT_EQ(GetWindow(h, GW_CHILD), view) << "the browser is the topmost child";
        HWND label = form->Control(PromoForm::Label1);
        ASSERT_NE(label, nullptr);
        RECT lr = WindowRect(label);
        MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&lr), 2);
        EXPECT_EQ(lr.left, 0);
        EXPECT_EQ(lr.top, 584);
        EXPECT_EQ(ChildWindowFromPointEx(h, Centre(lr), CWP_SKIPINVISIBLE), view);
        EXPECT_EQ(ChildWindowFromPointEx(h, Centre(form->ImageRect(PromoForm::Image2)),
                                         CWP_SKIPINVISIBLE),
                  view);
    }
    EXPECT_EQ(adfrm::Instance().Browser().LocationURL(), L"http://www.varno.example/gdownload.htm");
    EXPECT_EQ(ad1frm::Instance().Browser().LocationURL(),
              L"http://www.varno.example/bdownload.htm");
    // The page cannot load here; nothing is shown about it.
    Pump(300);
    DWORD pid = GetCurrentProcessId();
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (owner == static_cast<DWORD>(p) && IsWindowVisible(w)) {
                EXPECT_STRNE(cls, L"#32770") << "a dialog popped up";
            }
            return TRUE;
        },
        static_cast<LPARAM>(pid));
}

TEST_F(PromoForms, StartUpShowsAdfrmThenAd1frmThenTheMainWindow) {
    WatchedMessages watch;
    varnofrm::Instance().Show();
    const std::vector<HWND> expected{adfrm::Instance().hWnd(), ad1frm::Instance().hWnd(),
                                     varnofrm::Instance().hWnd()};
    EXPECT_EQ(watch.log.shown, expected);
    EXPECT_EQ(navigated_, (std::vector<std::wstring>{L"http://www.varno.example/gdownload.htm",
                                                     L"http://www.varno.example/bdownload.htm"}));
    EXPECT_FALSE(GetWindowLongW(varnofrm::Instance().hWnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(PromoForms, StayPutForFiveSecondsThenDockIndependentlyAndComeBack) {
    POINT cursor{};
    ASSERT_TRUE(GetCursorPos(&cursor));
    ASSERT_EQ(cursor.x, 640) << "the cursor cannot be moved on this display";
    ShowBoth();
    HWND left = ad1frm::Instance().hWnd();
    HWND right = adfrm::Instance().hWnd();
    const RECT leftAtLoad = WindowRect(left);
    const RECT rightAtLoad = WindowRect(right);
    const int cx = GetSystemMetrics(SM_CXSCREEN);

    // Mouse away from both, but nothing moves before Timer2's first event.
    WatchedMessages watch;
    Pump(4000);
    EXPECT_EQ(watch.log.moves[left], 0);
    EXPECT_EQ(watch.log.moves[right], 0);
    EXPECT_EQ(WindowRect(left).left, leftAtLoad.left);
    EXPECT_EQ(WindowRect(right).left, rightAtLoad.left);

    // Then both dock: the left one behind the left edge, the right one
    // behind the right edge, each with a strip of 40 twips on screen.
    ASSERT_TRUE(
        PumpUntil([&] { return WindowRect(left).left < 0 && WindowRect(right).right > cx; }, 4000));
    EXPECT_EQ(WindowRect(left).left, -128);    // 40 - 1965 twips
    EXPECT_EQ(WindowRect(left).right, 3);      // 2.67 pixels of strip
    EXPECT_EQ(WindowRect(right).left, cx - 3); // screen width - 40 twips
    EXPECT_EQ(WindowRect(left).top, leftAtLoad.top);

    // Docked windows are recognised as docked: no further moves.
    Pump(100);
    watch.log.moves.clear();
    Pump(500);
    EXPECT_EQ(watch.log.moves[left], 0);
    EXPECT_EQ(watch.log.moves[right], 0);

    // The mouse on the left strip brings back the left window only.
    SetCursorPos(1, leftAtLoad.top + 100);
    ASSERT_TRUE(PumpUntil([&] { return WindowRect(left).left > -128; }, 1000));
    EXPECT_EQ(WindowRect(left).left, -1); // -10 twips
    Pump(300);
    EXPECT_EQ(WindowRect(left).left, -1);
    EXPECT_EQ(WindowRect(right).left, cx - 3);
    EXPECT_EQ(watch.log.moves[left], 1);

    // Away again: it docks at the same edge.
    SetCursorPos(640, 512);
    ASSERT_TRUE(PumpUntil([&] { return WindowRect(left).left == -128; }, 1000));

    // The right strip brings back the right window only.
    SetCursorPos(cx - 1, rightAtLoad.top + 100);
    ASSERT_TRUE(PumpUntil([&] { return WindowRect(right).left < cx - 3; }, 1000));
    EXPECT_EQ(WindowRect(right).left, cx - 130); // screen width - 1965 + 10 twips
    EXPECT_EQ(WindowRect(left).left, -128);
    SetCursorPos(640, 512);
    ASSERT_TRUE(PumpUntil([&] { return WindowRect(right).left == cx - 3; }, 1000));
}

TEST_F(PromoForms, Label1DoubleClickUnloadsOnlyThatWindow) {
    varnofrm::Instance().Show();
    HWND label = ad1frm::Instance().Control(PromoForm::Label1);
    HWND ad1 = ad1frm::Instance().hWnd();
    ASSERT_NE(label, nullptr);
    SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    SendMessageW(label, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    Pump(100);
    EXPECT_FALSE(ad1frm::Instance().IsLoaded());
    EXPECT_FALSE(IsWindow(ad1));
    EXPECT_TRUE(adfrm::Instance().IsVisible());
    EXPECT_TRUE(varnofrm::Instance().IsVisible());
}

TEST_F(PromoForms, Image1ClickMinimisesAndDockingLeavesAMinimisedWindowAlone) {
    ShowBoth();
    adfrm& form = adfrm::Instance();
    Click(form.hWnd(), Centre(form.ImageRect(PromoForm::Image1)));
    ASSERT_TRUE(PumpUntil([&] { return form.WindowState() == WindowState::Minimised; }, 1000));
    EXPECT_TRUE(ad1frm::Instance().WindowState() == WindowState::Normal);
    WatchedMessages watch;
    form.SetTimer(PromoForm::Timer1, 1); // docking, without waiting for Timer2
    Pump(300);
    EXPECT_EQ(form.WindowState(), WindowState::Minimised);
    EXPECT_EQ(watch.log.moves[form.hWnd()], 0);
    // Restored by the platform, it docks again.
    ShowWindow(form.hWnd(), SW_RESTORE);
    ASSERT_TRUE(PumpUntil(
        [&] { return WindowRect(form.hWnd()).left == GetSystemMetrics(SM_CXSCREEN) - 3; }, 1000));
}

TEST_F(PromoForms, ClickOutsideThePicturesDoesNothing) {
    ShowBoth();
    adfrm& form = adfrm::Instance();
    const RECT r1 = form.ImageRect(PromoForm::Image1);
    Click(form.hWnd(), POINT{r1.left - 2, r1.top + 3});
    // Pressed on one picture, released on the other: no click either.
    PostMessageW(form.hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r1.left + 3, r1.top + 3));
    const RECT r2 = form.ImageRect(PromoForm::Image2);
    PostMessageW(form.hWnd(), WM_LBUTTONUP, 0, MAKELPARAM(r2.left + 3, r2.top + 3));
    Pump(200);
    EXPECT_EQ(form.WindowState(), WindowState::Normal);
    EXPECT_TRUE(form.IsVisible());
}

TEST_F(PromoForms, UnderTheBrowserLieTheStretchedPicturesAndTheLabelOnTheBackColour) {
    ShowBoth();
    PromoForm& form = ad1frm::Instance();
    HWND h = form.hWnd();
    ShowWindow(form.Browser().Window(), SW_HIDE);
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(100);
    HDC dc = GetDC(h);
    auto at = [&](int id, int x128, int y128) {
        // A point of the 128 x 128 picture, scaled to the control.
        const RECT r = form.ImageRect(id);
        return GetPixel(dc, r.left + x128 * (r.right - r.left) / 128,
                        r.top + y128 * (r.bottom - r.top) / 128);
    };
    const COLORREF red = at(PromoForm::Image2, 64, 20);
    const COLORREF cross = at(PromoForm::Image2, 64, 64);
    const COLORREF blue = at(PromoForm::Image1, 64, 24);
    const COLORREF bar = at(PromoForm::Image1, 64, 64);
    RECT label{};
    GetWindowRect(form.Control(PromoForm::Label1), &label);
    MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&label), 2);
    const COLORREF labelBack = GetPixel(dc, label.left + 5, label.top + 5);
    const COLORREF formBack = GetPixel(dc, 10, 200);
    ReleaseDC(h, dc);
    EXPECT_GT(GetRValue(red), 150);
    EXPECT_LT(GetGValue(red), 90);
    EXPECT_GT(GetBValue(blue), 150);
    EXPECT_LT(GetRValue(blue), 90);
    EXPECT_GT(GetGValue(cross), 200); // the white cross and bar
    EXPECT_GT(GetRValue(bar), 200);
    EXPECT_EQ(labelBack, RGB(197, 210, 240));
    EXPECT_EQ(formBack, RGB(197, 210, 240));
}

// On a desktop of two monitors side by side: ./test runs these on an Xorg
// server of its own and names its layout in VARNO_MONITORS ("RightOf" or
// "LeftOf": where the second monitor lies beside the main one). Each window
// stands at its side of the desktop, docks there showing only its strip, on a
// monitor, comes back when the mouse reaches the strip and docks again.
class PromoFormsOnTwoMonitors : public PromoForms {
  protected:
    static void DockAtTheDesktopsEdges(const char* layout) {
        const char* laidOut = std::getenv("VARNO_MONITORS");
        if (!laidOut || std::string_view(laidOut) != layout)
            GTEST_SKIP() << "needs the layout " << layout << " (./test lays it out)";
        ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2) << "Wine sees one monitor";
        // Two monitors side by side fill the rectangle of the desktop.
        const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
        const RECT desktop{x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                           y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
        ASSERT_EQ(desktop.right - desktop.left, 2 * GetSystemMetrics(SM_CXSCREEN));
        auto shown = [&](HWND h) {
            RECT r = WindowRect(h), both{};
            IntersectRect(&both, &r, &desktop);
            return (both.right - both.left) * (both.bottom - both.top);
        };
        ShowBoth();
        HWND left = ad1frm::Instance().hWnd();
        HWND right = adfrm::Instance().hWnd();
        const int height = WindowRect(left).bottom - WindowRect(left).top;
        EXPECT_EQ(WindowRect(left).left, desktop.left);
        EXPECT_EQ(WindowRect(right).right, desktop.right);

        // Docking at once, without waiting five seconds for Timer2.
        ad1frm::Instance().SetTimer(PromoForm::Timer1, 1);
        adfrm::Instance().SetTimer(PromoForm::Timer1, 1);
        ASSERT_TRUE(PumpUntil(
            [&] {
                return WindowRect(left).left == desktop.left - 128 &&
                       WindowRect(right).left == desktop.right - 3;
            },
            2000))
            << "ad1frm at " << WindowRect(left).left << ", adfrm at " << WindowRect(right).left;
        for (HWND h : {left, right}) {
            SCOPED_TRACE(h == left ? "ad1frm" : "adfrm");
            EXPECT_EQ(shown(h), 3 * height) << "the strip alone, on a monitor";
            const RECT docked = WindowRect(h);
            SetCursorPos(h == left ? docked.right - 1 : docked.left + 1, docked.top + 100);
            ASSERT_TRUE(PumpUntil([&] { return WindowRect(h).left != docked.left; }, 1000));
            EXPECT_EQ(shown(h), 130 * height) << "brought back";
            SetCursorPos(640, 512);
            ASSERT_TRUE(PumpUntil([&] { return WindowRect(h).left == docked.left; }, 1000));
        }
    }
};

TEST_F(PromoFormsOnTwoMonitors, RightOfTheMainOneAdfrmDocksAtTheDesktopsRightEdge) {
    DockAtTheDesktopsEdges("RightOf");
}

TEST_F(PromoFormsOnTwoMonitors, LeftOfTheMainOneAd1frmDocksAtTheDesktopsLeftEdge) {
    DockAtTheDesktopsEdges("LeftOf");
}

using PromoFormsDeathTest = PromoForms;

TEST_F(PromoFormsDeathTest, Image2EndsTheWholeProgram) {
    EXPECT_EXIT(
        {
            varnofrm::Instance().Show();
            adfrm& form = adfrm::Instance();
            Click(form.hWnd(), Centre(form.ImageRect(PromoForm::Image2)));
            Pump(2000);
            // Still here: the click did not end the program.
            ExitProcess(3);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace varno::win
