// The main window under Wine: its real geometry, styles and controls, the
// list box's own ordering, and the add-drawings dialog.
#include "mainwindow/varnofrm.h"
#include "platform/App.h"
#include "promo/adfrm.h"

#include "support/ChildProcess.h"
#include "support/DialogDriver.h"
#include "support/RealInput.h"
#include "support/Screenshot.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varno::win {
namespace {

using test::DialogWatcher;

class MainWindow : public testing::Test {
  protected:
    void SetUp() override {
        form.Show();
        list().Clear();
    }
    void Click(int id) { SendMessageW(form.Control(id), BM_CLICK, 0, 0); }
    ListBoxList& list() { return form.DrawingList2(); }
    std::vector<std::wstring> entries() { return list().Items(); }
    varnofrm& form = varnofrm::Instance();
};

TEST_F(MainWindow, HasItsDesignGeometryAndStyles) {
    HWND h = form.hWnd();
    EXPECT_EQ(test::WindowText(h), L"批量清理 V2.5");
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(client.right, std::lround(8295 / 15.0)); // 96 DPI: 15 twips per pixel
    EXPECT_EQ(client.bottom, 298);
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_NE(SendMessageW(h, WM_GETICON, ICON_BIG, 0), 0);

    // Centred across, a third of the free height above.
    const Screen s = TheScreen();
    EXPECT_NEAR(form.Left(), (s.Width - form.Width()) / 2, 15);
    EXPECT_NEAR(form.Top(), (s.Height - form.Height()) / 3, 15);

    const LONG lb = GetWindowLongW(form.Control(varnofrm::List2), GWL_STYLE);
    EXPECT_TRUE(lb & LBS_SORT);
    EXPECT_TRUE(lb & LBS_EXTENDEDSEL);
}

TEST_F(MainWindow, ButtonsCarryTheirCaptionsInTabOrder) {
    const std::pair<int, const wchar_t*> expected[] = {
        {varnofrm::xpcmdbutton2, L"  更多软件"},
        {varnofrm::xpcmdbutton3, L"  退   出"},
        {varnofrm::Command9, L"  批量清理"},
        {varnofrm::xpcmdbutton4, L"  帮   助"},
        {varnofrm::List2, L""},
        {varnofrm::xpcmdbutton5, L"  添加文件"},
        {varnofrm::xpcmdbutton6, L"  删除全部"},
        {varnofrm::xpcmdbutton1, L"  删除选择"},
        {varnofrm::xpcmdbutton8, L"  保存列表"},
        {varnofrm::xpcmdbutton9, L"  读取列表"},
    };
    HWND at = nullptr;
    for (const auto& [id, caption] : expected) {
        at = GetNextDlgTabItem(form.hWnd(), at, FALSE);
        ASSERT_EQ(GetDlgCtrlID(at), id);
        EXPECT_EQ(test::WindowText(at), caption);
    }
    EXPECT_EQ(test::WindowText(form.Control(varnofrm::Frame1)), L"初始化文件");
    // Frame1 holds the list: its position is relative to the frame.
    RECT frame, lb;
    GetWindowRect(form.Control(varnofrm::Frame1), &frame);
    GetWindowRect(form.Control(varnofrm::List2), &lb);
    EXPECT_EQ(lb.left - frame.left, 120 / 15);
    EXPECT_EQ(lb.top - frame.top, 240 / 15);
}

TEST_F(MainWindow, TooltipsNameTheDoubleClickAndTheDrop) {
    // The message loop finds the tooltip through the form to relay the mouse to it.
    auto tip = static_cast<HWND>(GetPropW(form.hWnd(), TooltipProp));
    ASSERT_TRUE(tip);
    EXPECT_EQ(GetWindow(tip, GW_OWNER), form.hWnd());
    const auto texts = test::TooltipTexts(form.hWnd());
    EXPECT_EQ(texts,
              (std::map<int, std::wstring>{{varnofrm::Frame1, L"双击删除单个列表"},
                                           {varnofrm::List2, L"双击删除单个列表"},
                                           {varnofrm::xpcmdbutton5, L"支持资源管理器拖放文件！"}}));
}

// The tips as a user meets them: the pointer rests over a part of the
// window, and the tooltip shows that part's tip. The frame lets the mouse
// through to the form; its tip shows over its own area, while the list box
// and the buttons in it keep theirs (or none).
TEST_F(MainWindow, EachTipShowsWhereThePointerRests) {
    HWND h = form.hWnd();
    auto tip = static_cast<HWND>(GetPropW(h, TooltipProp));
    ASSERT_TRUE(tip);
    SetForegroundWindow(h);
    auto screenRect = [&](int id) {
        RECT r;
        GetWindowRect(form.Control(id), &r);
        return r;
    };
    auto middle = [](const RECT& r) {
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    };
    const RECT frame = screenRect(varnofrm::Frame1), list2 = screenRect(varnofrm::List2),
               add = screenRect(varnofrm::xpcmdbutton5);
    // Below the frame, between "  批量清理" and "  帮   助": no tip there.
    const RECT run = screenRect(varnofrm::Command9), help = screenRect(varnofrm::xpcmdbutton4);
    const POINT nowhere{(run.right + help.left) / 2, (run.top + run.bottom) / 2};

    // The tool under the pointer once the tip shows (its control id and
    // text), or {0, ""} when none shows.
    auto restAt = [&](POINT at) -> std::pair<int, std::wstring> {
        SetCursorPos(nowhere.x, nowhere.y);
        test::PumpMessagesFor(3000, [&] { return !IsWindowVisible(tip); });
        SetCursorPos(at.x, at.y);
        test::PumpMessagesFor(2500, [&] { return IsWindowVisible(tip) != FALSE; });
        if (!IsWindowVisible(tip))
            return {0, L""};
        wchar_t text[80] = {};
        TTTOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.lpszText = text;
        if (!SendMessageW(tip, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&ti)))
            return {-1, L""};
        const int id = (ti.uFlags & TTF_IDISHWND) ? GetDlgCtrlID(reinterpret_cast<HWND>(ti.uId))
                                                  : static_cast<int>(ti.uId);
        return {id, text};
    };
    using Tool = std::pair<int, std::wstring>;
    const Tool frameTip{varnofrm::Frame1, L"双击删除单个列表"};
    // On the frame's caption, and in the gap between the list and the buttons.
    EXPECT_EQ(restAt({frame.left + 40, frame.top + 5}), frameTip);
    EXPECT_EQ(restAt({middle(list2).x, (list2.bottom + add.top) / 2}), frameTip);
    EXPECT_EQ(restAt(middle(list2)), (Tool{varnofrm::List2, L"双击删除单个列表"}));
    EXPECT_EQ(restAt(middle(add)), (Tool{varnofrm::xpcmdbutton5, L"支持资源管理器拖放文件！"}));
    // A button in the frame without a tip of its own, and the window outside the frame.
    EXPECT_EQ(restAt(middle(screenRect(varnofrm::xpcmdbutton6))), (Tool{0, L""}));
    EXPECT_EQ(restAt({nowhere.x, nowhere.y + 1}), (Tool{0, L""}));
}

TEST_F(MainWindow, ListBoxSortsIgnoringCaseAndDeletesSelections) {
    list().AddItem(L"b.dwg");
    list().AddItem(L"A.dwg");
    EXPECT_EQ(entries(), (std::vector<std::wstring>{L"A.dwg", L"b.dwg"}));

    list().Clear();
    for (const wchar_t* t : {L"0", L"1", L"2", L"3", L"4", L"5"})
        list().AddItem(t);
    HWND lb = form.Control(varnofrm::List2);
    for (int i : {1, 3, 4})
        SendMessageW(lb, LB_SETSEL, TRUE, i);
    Click(varnofrm::xpcmdbutton1);
    EXPECT_EQ(entries(), (std::vector<std::wstring>{L"0", L"2", L"5"}));

    Click(varnofrm::xpcmdbutton1); // nothing selected: nothing changes
    EXPECT_EQ(entries().size(), 3u);

    // A double-click removes whatever is selected, wherever the pointer was.
    SendMessageW(lb, LB_SETSEL, TRUE, 0);
    SendMessageW(lb, LB_SETSEL, TRUE, 2);
    SendMessageW(form.hWnd(), WM_COMMAND, MAKEWPARAM(varnofrm::List2, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(lb));
    EXPECT_EQ(entries(), (std::vector<std::wstring>{L"2"}));

    Click(varnofrm::xpcmdbutton6);
    EXPECT_EQ(list().ListCount(), 0);
}

// A path wider than the list brings the horizontal scroll bar, as wide as
// that entry in the list's font; deleting it takes the bar away again, and
// deleting the wider of two leaves the bar as wide as the other. So with
// every way the list gains and loses entries.
TEST_F(MainWindow, ALongEntryBringsTheHorizontalScrollBarAndItsDeletionTakesItAway) {
    HWND lb = form.Control(varnofrm::List2);
    const std::wstring folder =
        L"D:\\设计院\\2024项目\\某某住宅小区\\结构专业\\施工图\\第三版\\基础\\";
    const std::wstring wide = folder + L"1#楼基础平面布置图（修改）.dwg";
    const std::wstring wider = folder + L"详图\\1#楼基础平面布置图（修改）.dwg";
    auto textWidth = [&](const std::wstring& text) {
        HDC dc = GetDC(lb);
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(lb, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        ReleaseDC(lb, dc);
        return static_cast<int>(size.cx);
    };
    auto barWidth = [&] { // 0: no bar
        SCROLLBARINFO bar{};
        bar.cbSize = sizeof bar;
        GetScrollBarInfo(lb, OBJID_HSCROLL, &bar);
        return bar.rgstate[0] & STATE_SYSTEM_INVISIBLE
                   ? 0
                   : static_cast<int>(SendMessageW(lb, LB_GETHORIZONTALEXTENT, 0, 0));
    };
    auto deleteOnly = [&](const std::wstring& text) {
        list().SelectOnly(
            static_cast<int>(SendMessageW(lb, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(text.c_str()))));
        Click(varnofrm::xpcmdbutton1); // "  删除选择"
    };
    RECT client{};
    GetClientRect(lb, &client);
    ASSERT_GT(textWidth(wide), client.right) << "the test needs an entry wider than the list";

    list().AddItems(std::vector<std::wstring>{L"C:\\a.dwg", L"C:\\b.dwg"});
    EXPECT_EQ(barWidth(), 0);
    list().AddItem(wider);
    list().AddItem(wide);
    EXPECT_EQ(barWidth(), textWidth(wider) + 2) << "the entry and a margin of two pixels";
    SendMessageW(lb, WM_HSCROLL, SB_RIGHT, 0); // its end, for a person to look at
    test::SaveScreenshot(form.hWnd(), L"varnofrm-long-entry");
    deleteOnly(wider);
    EXPECT_EQ(barWidth(), textWidth(wide) + 2);
    deleteOnly(wide);
    EXPECT_EQ(barWidth(), 0);

    list().ReplaceAll(std::vector<std::wstring>{L"C:\\c.dwg", wide}); // "  读取列表"
    EXPECT_EQ(barWidth(), textWidth(wide) + 2);
    std::unique_ptr<PreparedAdd> drop = list().StartAdd(); // a drop onto a filled list
    drop->Prepare({wider, L"C:\\d.dwg"});
    list().AddPrepared(*drop);
    EXPECT_EQ(barWidth(), textWidth(wider) + 2);
    Click(varnofrm::xpcmdbutton6); // "  删除全部", as the end of a run empties it
    EXPECT_EQ(barWidth(), 0);
}

TEST_F(MainWindow, CancellingTheFileDialogShowsTheStopMessage) {
    list().AddItem(L"keep.dwg");
    DialogWatcher dialog(L"Select File(s)...", test::CancelDialog);
    test::SeenBox box;
    auto closer = test::CloseMessageBox(L"错误", box);
    Click(varnofrm::xpcmdbutton5);
    ASSERT_TRUE(dialog.Join());
    ASSERT_TRUE(closer->Join());
    EXPECT_EQ(box.info.text, L"请选择文件！");
    EXPECT_TRUE(box.info.hasIcon);
    EXPECT_EQ(entries(), (std::vector<std::wstring>{L"keep.dwg"}));
}

TEST_F(MainWindow, AddsDrawingsPickedInTheRealDialogOnce) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / L"varno 添加";
    fs::create_directories(dir);
    for (const wchar_t* n : {L"a.dwg", L"site plan 2.dwg", L"c.dwg"})
        std::ofstream(dir / n) << "x";
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    SetCurrentDirectoryW(dir.c_str()); // the dialog opens in the current folder

    const std::wstring folder = dir.wstring();
    {
        DialogWatcher dialog(L"Select File(s)...",
                             [&](HWND h) { test::AnswerFileDialog(h, folder + L"\\a.dwg"); });
        Click(varnofrm::xpcmdbutton5);
        ASSERT_TRUE(dialog.Join());
    }
    {
        DialogWatcher dialog(L"Select File(s)...", [](HWND h) {
            test::AnswerFileDialog(h, L"\"a.dwg\" \"site plan 2.dwg\" \"c.dwg\"");
        });
        Click(varnofrm::xpcmdbutton5);
        ASSERT_TRUE(dialog.Join());
    }
    SetCurrentDirectoryW(old);
    EXPECT_EQ(entries(), (std::vector<std::wstring>{folder + L"\\a.dwg", folder + L"\\c.dwg",
                                                    folder + L"\\site plan 2.dwg"}));
    fs::remove_all(dir);
}

// Ending and closing act on the whole process: they run in varno.exe itself.
TEST(MainWindowProcess, ExitEndsTheProgramAtOnce) {
    test::ChildProcess app(test::VarnoExe());
    ASSERT_TRUE(app.Started());
    HWND main = app.WaitForWindow(L"批量清理 V2.5");
    ASSERT_TRUE(main);
    PostMessageW(GetDlgItem(main, varnofrm::xpcmdbutton3), BM_CLICK, 0, 0);
    EXPECT_TRUE(app.WaitForExit(10000));
}

TEST(MainWindowProcess, ClosingTheLastWindowEndsTheProgram) {
    test::ChildProcess app(test::VarnoExe());
    HWND main = app.WaitForWindow(L"批量清理 V2.5");
    ASSERT_TRUE(main);
    // The two promotional windows stay loaded after the main window closes.
    struct Ctx {
        DWORD pid;
        std::vector<HWND> promos;
    } ctx{app.Id(), {}};
    EnumWindows(
        [](HWND h, LPARAM p) -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(p);
            DWORD pid = 0;
            wchar_t title[32] = {};
            GetWindowThreadProcessId(h, &pid);
            GetWindowTextW(h, title, 32);
            if (pid == c->pid && std::wstring_view(title) == L"休息一下，马上回来！")
                c->promos.push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    ASSERT_EQ(ctx.promos.size(), 2u);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_FALSE(app.WaitForExit(1000));
    EXPECT_FALSE(IsWindow(main));
    // A double-click on Label1 unloads a promotional window; the last one
    // ends the program.
    for (HWND promo : ctx.promos)
        PostMessageW(GetDlgItem(promo, PromoForm::Label1), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    DWORD code = 1;
    EXPECT_TRUE(app.WaitForExit(10000, &code));
    EXPECT_EQ(code, 0u);
}

// Unpacked to Downloads beside a planted hhctrl.ocx, the program does not
// run it on F1; nor does a DLL asked for by name come from the current folder.
TEST(MainWindowProcess, TakesNoDllFromItsOwnOrTheCurrentFolder) {
    namespace fs = std::filesystem;
    const fs::path planted = fs::path(test::ThisExe()).parent_path() / L"planted" / L"hhctrl.ocx";
    const fs::path dir = fs::temp_directory_path() / L"varno 下载";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(test::VarnoExe(), dir / L"varno.exe");
    fs::copy_file(planted, dir / L"hhctrl.ocx");
    fs::copy_file(planted, dir / L"varno-planted.dll");
    // Wine takes its own DLLs before a program's; Windows looks in the
    // program's folder first, as Wine does for a program told to prefer
    // native ones (a setting of Wine's only).
    const wchar_t* const wineApp = L"Software\\Wine\\AppDefaults\\varno.exe";
    RegSetKeyValueW(HKEY_CURRENT_USER, (std::wstring(wineApp) + L"\\DllOverrides").c_str(),
                    L"hhctrl.ocx", REG_SZ, L"native,builtin", sizeof L"native,builtin");
    struct Undo {
        const wchar_t* key;
        ~Undo() { RegDeleteTreeW(HKEY_CURRENT_USER, key); }
    } undo{wineApp};
    {
        test::ChildProcess app((dir / L"varno.exe").wstring());
        HWND main = app.WaitForWindow(L"批量清理 V2.5");
        ASSERT_TRUE(main);
        // "  帮   助": its handler has run when the click returns.
        SendMessageTimeoutW(GetDlgItem(main, varnofrm::xpcmdbutton4), BM_CLICK, 0, 0, SMTO_NORMAL,
                            15000, nullptr);
    }
    EXPECT_FALSE(fs::exists(dir / L"planted-dll-ran.txt")) << "the planted hhctrl.ocx ran";

    const fs::path old = fs::current_path();
    fs::current_path(dir);
    const HMODULE taken = LoadLibraryW(L"varno-planted.dll");
    fs::current_path(old);
    EXPECT_EQ(taken, nullptr) << "a DLL was taken from the current folder";
    if (taken)
        FreeLibrary(taken);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

} // namespace
} // namespace varno::win

namespace varno::win {
namespace {

// A person looks at this one: the main window with a few entries.
TEST(MainWindowLook, ScreenshotWithAFewEntries) {
    auto& form = varnofrm::Instance();
    form.Show();
    auto& list = form.DrawingList2();
    list.Clear();
    for (const wchar_t* t : {L"D:\\图纸\\一层平面图.dwg", L"D:\\图纸\\site plan 2.dwg",
                             L"D:\\图纸\\B-立面.dwg", L"E:\\projects\\tower\\a01.dwg"})
        list.AddItem(t);
    SendMessageW(form.Control(varnofrm::List2), LB_SETSEL, TRUE, 1);
    SetForegroundWindow(form.hWnd());
    // The first control in tab order holds the focus.
    EXPECT_EQ(GetFocus(), form.Control(varnofrm::xpcmdbutton2));
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(list.ListCount(), 4);
    test::SaveScreenshot(form.hWnd(), L"varnofrm");
    list.Clear();
}

// At 144 DPI the window lays out at 10 twips per pixel: same twips, more pixels.
TEST(MainWindowProcess, LaysOutAtTenTwipsPerPixelAt144Dpi) {
    const test::ScopedLogPixels dpi(144);

    test::ChildProcess app(test::VarnoExe());
    HWND main = app.WaitForWindow(L"批量清理 V2.5");
    ASSERT_TRUE(main);
    RECT client;
    GetClientRect(main, &client);
    EXPECT_NEAR(client.right, 8295 / 10.0, 0.5);
    EXPECT_EQ(client.bottom, 4470 / 10);
    RECT button;
    GetWindowRect(GetDlgItem(main, varnofrm::xpcmdbutton2), &button);
    EXPECT_EQ(button.right - button.left, 1455 / 10 + 1); // 145.5 rounds up
}

} // namespace
} // namespace varno::win
