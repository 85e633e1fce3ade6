// The progress window under Wine: its real style, size, position and labels,
// the double-click back to the main window, and a fresh load on every show.
#include "batch/Form3.h"

#include "app/Error.h"
#include "batch/PurgeRun.h"
#include "mainwindow/varnofrm.h"
#include "platform/App.h"
#include "support/DialogDriver.h"
#include "support/RealInput.h"
#include "support/Screenshot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace varno::win {
namespace {

class ProgressWindow : public testing::Test {
  protected:
    void SetUp() override {
        varnofrm::Instance().Show(); // keeps the program loaded
        form.SetReturnWindow(varnofrm::Instance());
        form.Show();
        ASSERT_TRUE(form.IsLoaded());
    }
    void TearDown() override { form.Unload(); }
    RECT ControlRect(int id) {
        RECT r{};
        GetWindowRect(form.Control(id), &r);
        MapWindowPoints(nullptr, form.hWnd(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    Form3& form = Form3::Instance();
};

TEST_F(ProgressWindow, IsABorderlessTopmostWindowWithoutTaskBarButton) {
    HWND h = form.hWnd();
    EXPECT_TRUE(IsWindowVisible(h));
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    const LONG ex = GetWindowLongW(h, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_TRUE(ex & WS_EX_TOPMOST);
    EXPECT_FALSE(ex & WS_EX_APPWINDOW);
    EXPECT_NE(GetWindow(h, GW_OWNER), nullptr); // owned: no task bar button
    EXPECT_EQ(test::WindowText(h), L"");
    RECT client, outer;
    GetClientRect(h, &client);
    GetWindowRect(h, &outer);
    EXPECT_EQ(client.right, 3900 / 15); // 96 DPI: 15 twips per pixel
    EXPECT_EQ(client.bottom, 1140 / 15);
    EXPECT_EQ(outer.right - outer.left, client.right); // no frame
}

TEST_F(ProgressWindow, IsCentredAcrossWithAThirdOfTheFreeHeightAbove) {
    RECT outer;
    GetWindowRect(form.hWnd(), &outer);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR(outer.left, (sw - 260) / 2.0, 1);
    EXPECT_NEAR(outer.top, (sh - 76) / 3.0, 1);
}

TEST_F(ProgressWindow, LabelsShowTheirDesignTextsSizedToThem) {
    EXPECT_EQ(form.ControlText(Form3::Label1), L"正在替换第   页  共   页");
    EXPECT_EQ(form.ControlText(Form3::Label2), L"开始时间：");
    EXPECT_EQ(form.ControlText(Form3::Label3), L"");
    EXPECT_EQ(form.ControlText(Form3::Label4), L"结束时间：");
    EXPECT_EQ(form.ControlText(Form3::Label5), L"");
    const struct {
        int id, left, top, width;
    } design[] = {{Form3::Label1, 840, 120, 2160},
                  {Form3::Label2, 840, 480, 900},
                  {Form3::Label3, 1920, 480, 90},
                  {Form3::Label4, 840, 840, 900},
                  {Form3::Label5, 1920, 840, 90}};
    for (const auto& d : design) {
        const RECT r = ControlRect(d.id);
        EXPECT_EQ(r.left, d.left / 15) << d.id;
        EXPECT_EQ(r.top, d.top / 15) << d.id;
        EXPECT_NEAR(r.bottom - r.top, 180 / 15, 2) << d.id;
    }
    // Auto-sized: a Chinese character of 宋体 9 pt is 12 pixels wide; the
    // width of a space depends on the font standing in for it here (Wine's
    // substitute has narrower spaces than the design's 6 pixels).
    auto width = [&](int id) { return ControlRect(id).right - ControlRect(id).left; };
    EXPECT_EQ(width(Form3::Label2), 900 / 15);
    EXPECT_EQ(width(Form3::Label4), 900 / 15);
    EXPECT_GE(width(Form3::Label1), 8 * 12);
    EXPECT_LE(width(Form3::Label1), 2160 / 15);
    EXPECT_GT(width(Form3::Label3), 0); // an empty label keeps the width of a space
    EXPECT_LE(width(Form3::Label3), 90 / 15);
    // A longer text widens its label.
    const LONG before = ControlRect(Form3::Label1).right;
    form.SetControlText(Form3::Label1, L"正在清理第 3 页   共 12 页");
    EXPECT_GT(ControlRect(Form3::Label1).right, before);
}

TEST_F(ProgressWindow, ADoubleClickAnywhereUnloadsItAndShowsTheMainWindow) {
    const int targets[] = {
        0, Form3::Label1, Form3::Label2, Form3::Label3, Form3::Label4, Form3::Label5};
    for (int target : targets) {
        form.Show();
        varnofrm::Instance().Hide();
        ASSERT_TRUE(form.IsLoaded());
        HWND at = target ? form.Control(target) : form.hWnd();
        const LPARAM point = MAKELPARAM(2, 2);
        SendMessageW(at, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
        EXPECT_FALSE(form.IsLoaded()) << target;
        EXPECT_TRUE(varnofrm::Instance().IsVisible()) << target;
    }
}

// Alt+F4 as a user presses it, or a WM_CLOSE (the task manager): the same
// as a double-click, never an unload that leaves the main window hidden.
TEST_F(ProgressWindow, ACloseActsLikeADoubleClick) {
    varnofrm& main = varnofrm::Instance();
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"WM_CLOSE", [&] { SendMessageW(form.hWnd(), WM_CLOSE, 0, 0); }},
        {"Alt+F4",
         [&] {
             SetForegroundWindow(form.hWnd());
             test::PressKey(VK_F4, true);
             test::PumpMessagesFor(3000, [&] { return !form.IsLoaded(); });
         }},
    };
    for (const auto& [name, close] : ways) {
        form.Show();
        main.Hide();
        close();
        EXPECT_FALSE(form.IsLoaded()) << name;
        EXPECT_TRUE(main.IsVisible()) << name;
    }
}

// While a run works, a close (WM_CLOSE, Alt+F4), a double-click and Esc each
// ask whether to stop it, in a box the window owns: No goes on, Yes asks the
// run to stop and says so. Once the run has returned, a close goes back.
TEST_F(ProgressWindow, WhileARunWorksEachWayOutAsksWhetherToStop) {
    varnofrm& main = varnofrm::Instance();
    main.Hide();
    HWND h = form.hWnd();
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"WM_CLOSE", [&] { SendMessageW(h, WM_CLOSE, 0, 0); }},
        {"double-click", [&] { SendMessageW(h, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2)); }},
        {"Esc",
         [&] {
             SetForegroundWindow(h);
             test::PressKey(VK_ESCAPE);
         }},
        {"Alt+F4",
         [&] {
             SetForegroundWindow(h);
             test::PressKey(VK_F4, true);
         }},
    };
    Win32PurgeView view(main);
    {
        const Form3::RunWorking working(form, view);
        for (const auto& [name, way] : ways) {
            SCOPED_TRACE(name);
            const bool last = std::string_view(name) == "Alt+F4";
            test::MessageBoxInfo box;
            test::DialogWatcher answer(std::wstring(AppTitle), [&](HWND b) {
                Sleep(50);
                box = test::ReadMessageBox(b);
                PostMessageW(b, WM_COMMAND, last ? IDYES : IDNO, 0);
            });
            way();
            test::PumpMessagesFor(3000, [&] { return !box.text.empty(); });
            EXPECT_TRUE(answer.Join());
            test::PumpMessagesFor(200);
            EXPECT_EQ(box.text, StopQuestionText);
            EXPECT_EQ(box.owner, h);
            EXPECT_TRUE(box.hasIcon);
            EXPECT_TRUE(form.IsVisible());
            EXPECT_FALSE(main.IsVisible());
            EXPECT_EQ(view.Stop().Stopping(), last);
        }
        EXPECT_EQ(form.ControlText(Form3::Label1), StoppingText);
    }
    SendMessageW(h, WM_CLOSE, 0, 0); // the run has returned
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_TRUE(main.IsVisible());
}

TEST_F(ProgressWindow, EveryShowAfterAnUnloadLoadsItAfresh) {
    form.SetControlText(Form3::Label1, L"批量清理完成 双击窗口返回");
    form.SetControlText(Form3::Label5, L"10:00:00");
    form.Move(0, 0);
    form.Unload();
    form.Show();
    EXPECT_EQ(form.ControlText(Form3::Label1), L"正在替换第   页  共   页");
    EXPECT_EQ(form.ControlText(Form3::Label5), L"");
    RECT outer;
    GetWindowRect(form.hWnd(), &outer);
    EXPECT_NEAR(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 260) / 2.0, 1);
    EXPECT_TRUE(GetWindowLongW(form.hWnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

// A person looks at this one, and the help file shows it: the window as a
// run leaves it.
TEST_F(ProgressWindow, ScreenshotAtTheEndOfARun) {
    form.SetControlText(Form3::Label1, std::wstring(DoneText));
    form.SetControlText(Form3::Label3, L"9:30:12");
    form.SetControlText(Form3::Label5, L"9:41:05");
    form.Refresh();
    EXPECT_EQ(form.ControlText(Form3::Label1), DoneText);
    test::SaveScreenshot(form.hWnd(), L"Form3");
}

// The run never returns to the message loop while it works: a progress text
// is on screen only because the refresh painted it then and there.
TEST_F(ProgressWindow, RefreshPaintsChangedTextsAtOnce) {
    form.Refresh(); // the show's own paint
    form.SetControlText(Form3::Label1, L"正在清理第 3 页   共 12 页");
    form.SetControlText(Form3::Label3, L"10:00:00");
    HWND label1 = form.Control(Form3::Label1);
    EXPECT_TRUE(GetUpdateRect(label1, nullptr, FALSE)); // out of date until painted
    form.Refresh();
    for (HWND h : {form.hWnd(), label1, form.Control(Form3::Label3)})
        EXPECT_FALSE(GetUpdateRect(h, nullptr, FALSE));
}

TEST(PurgeViewWin, ActivatesAWindowByItsExactTitleOrAHandleThatNamesOne) {
    Win32PurgeView view(varnofrm::Instance());
    HWND other = CreateWindowExW(0, L"STATIC", L"varno 激活测试 window", WS_OVERLAPPEDWINDOW, 10,
                                 10, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(other);
    ShowWindow(other, SW_SHOW);
    SetForegroundWindow(GetDesktopWindow());
    EXPECT_TRUE(view.ActivateWindow(L"varno 激活测试 window"));
    EXPECT_EQ(GetForegroundWindow(), other);
    for (const wchar_t* title : {L"varno 激活测试", L"varno 激活测试 window ", L""})
        EXPECT_FALSE(view.ActivateWindow(title)) << testing::PrintToString(title);

    SetForegroundWindow(GetDesktopWindow());
    const auto handle = static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(other));
    EXPECT_TRUE(view.ActivateWindowHandle(handle));
    EXPECT_EQ(GetForegroundWindow(), other);
    DestroyWindow(other);
    EXPECT_FALSE(view.ActivateWindowHandle(handle)); // no window any more
    EXPECT_FALSE(view.ActivateWindowHandle(0));
    EXPECT_FALSE(view.TimeOfDay().empty());
}

} // namespace
} // namespace varno::win
