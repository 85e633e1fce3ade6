// The batch purge run end to end under Wine: the real main window, progress
// window, message boxes and COM runtime, against the stand-in CAD host
// vcad.exe (registered as "AutoCAD.Application" in the project's prefix).
// Checked through the host's journal, the drawings on disk and the windows.
// Every test starts and ends with no host process running.
#include "batch/Form3.h"

#include "app/Module1.h"
#include "mainwindow/varnofrm.h"
#include "platform/App.h"
#include "platform/Dispatch.h"
#include "support/ChildProcess.h"
#include "support/DialogDriver.h"
#include "support/RealInput.h"
#include "support/RefusedWindow.h"
#include "support/StandInHost.h"
#include "tools/cadhost/Vcad.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>

namespace varno::win {
namespace {

using test::MessageBoxInfo;
using test::StandInHost;

const std::wstring kProgress2of3 = L"正在清理第 2 页   共 3 页";
const std::wstring kDone = L"批量清理完成 双击窗口返回";

std::wstring VcadExe() {
    std::wstring exe = test::VarnoExe();
    exe.resize(exe.find_last_of(L'\\'));
    return exe + L"\\tools\\cadhost\\vcad.exe";
}

// Closes every message box of this process as it appears and keeps what it
// said, in order.
class BoxCollector {
  public:
    BoxCollector()
        : thread_([this] {
              while (!stop_) {
                  Collect();
                  Sleep(20);
              }
          }) {}
    ~BoxCollector() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    std::vector<MessageBoxInfo> Boxes() {
        std::lock_guard lock(mutex_);
        return boxes_;
    }

  private:
    void Collect() {
        HWND box = test::FindDialog(L"");
        if (!box || handled_.count(box))
            return;
        Sleep(50); // let it finish initialising
        MessageBoxInfo info = test::ReadMessageBox(box);
        handled_.insert(box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        std::lock_guard lock(mutex_);
        boxes_.push_back(std::move(info));
    }
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<MessageBoxInfo> boxes_;
    std::set<HWND> handled_;
    std::thread thread_;
};

// The run's view, recording every progress text on its way to the window.
struct RecordingView : Win32PurgeView {
    void SetProgress(std::wstring_view text) override {
        label1.emplace_back(text);
        Win32PurgeView::SetProgress(text);
    }
    std::vector<std::wstring> label1;
};

// The automation runtime asked for a programmatic identifier nobody has
// registered, as on a machine without the CAD host.
struct UnregisteredHost : ComAutomation {
    AutoRef GetObject(std::wstring_view) override {
        return ComAutomation::GetObject(L"Varno.NoSuchHost.Application");
    }
    AutoRef CreateObject(std::wstring_view) override {
        return ComAutomation::CreateObject(L"Varno.NoSuchHost.Application");
    }
};

class HostRun : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(GetFileAttributesW(VcadExe().c_str()) != INVALID_FILE_ATTRIBUTES)
            << "vcad.exe is not built";
        EXPECT_EQ(StandInHost::ProcessId(), 0u) << "a host was left running";
        StandInHost::EndAll(0);
        main.Show();
        list().Clear();
    }
    void TearDown() override {
        boxes.Stop();
        Form3::Instance().Unload();
        // host's destructor quits every host still running.
    }

    ListBoxList& list() { return main.DrawingList2(); }
    std::wstring Drawing(const std::wstring& name, const std::string& content = "drawing\n") {
        return host.WriteFile(name, content);
    }
    void Switch(const std::string& text) { host.Switch(text); }
    void ClickCommand9() { SendMessageW(main.Control(varnofrm::Command9), BM_CLICK, 0, 0); }
    std::vector<int> SelectedEntries() {
        std::vector<int> selected;
        for (int i = 0; i < list().ListCount(); ++i)
            if (list().Selected(i))
                selected.push_back(i);
        return selected;
    }
    bool EntryVisible(int index) {
        HWND lb = main.Control(varnofrm::List2);
        RECT item{}, client{};
        SendMessageW(lb, LB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&item));
        GetClientRect(lb, &client);
        return item.top >= client.top && item.bottom <= client.bottom;
    }
    void DoubleClickProgress() {
        SendMessageW(Form3::Instance().hWnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
    }
    // Closes the progress window with a WM_CLOSE, or with Alt+F4 as a user
    // presses it; then lets the messages arrive until the window is gone or
    // arrived() says the close did.
    static void CloseProgress(bool altF4, const std::function<bool()>& arrived = {}) {
        HWND h = Form3::Instance().hWnd();
        if (!altF4) {
            SendMessageW(h, WM_CLOSE, 0, 0);
            return;
        }
        SetForegroundWindow(h);
        test::PressKey(VK_F4, true);
        test::PumpMessagesFor(3000, [&] { return !IsWindow(h) || (arrived && arrived()); });
    }

    int Count(const std::wstring& prefix) const {
        int n = 0;
        for (const auto& l : host.Journal())
            n += l.rfind(prefix, 0) == 0;
        return n;
    }
    // True when the lines appear in the journal in this order (others between).
    ::testing::AssertionResult InOrder(const std::vector<std::wstring>& lines) const {
        const auto all = host.Journal();
        auto at = all.begin();
        for (const auto& l : lines) {
            at = std::find(at, all.end(), l);
            if (at == all.end())
                return ::testing::AssertionFailure()
                       << "missing or out of order: " << testing::PrintToString(l)
                       << "\njournal: " << testing::PrintToString(host.Journal());
            ++at;
        }
        return ::testing::AssertionSuccess();
    }
    std::wstring Label(int id) { return Form3::Instance().ControlText(id); }
    static std::string Bytes(const std::wstring& path) { return StandInHost::ReadFile(path); }
    static bool Saved(const std::wstring& path) {
        return Bytes(path).find(vcad::kSavedPurged) != std::string::npos;
    }
    static std::wstring Template() {
        const std::wstring exe = VcadExe();
        return exe.substr(0, exe.size() - 9) + L"\\TEMPLATE\\acad.dwt";
    }

    StandInHost host; // journal and switches of the hosts started by the test
    varnofrm& main = varnofrm::Instance();
    BoxCollector boxes;
};

TEST_F(HostRun, EmptyListLaunchesTheHostAndPreparesItOnly) {
    ClickCommand9();
    EXPECT_NE(StandInHost::ProcessId(), 0u);
    EXPECT_EQ(Count(L"Start|"), 1);
    EXPECT_TRUE(InOrder({L"Visible=True", L"ActiveDocument", L"Caption", L"Caption", L"FullName",
                         L"FullName", L"Documents", L"Add|" + Template(), L"ActiveDocument"}));
    EXPECT_EQ(Count(L"SendCommand|PROXYNOTICE 0\\r|@"), 1);
    EXPECT_EQ(Count(L"Open|"), 0);
    HWND window = FindWindowW(nullptr, vcad::kCaption);
    ASSERT_TRUE(window);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(Form3::Instance().IsVisible());
    EXPECT_TRUE(GetWindowLongW(Form3::Instance().hWnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    // The host's window is in front, and the progress window above it (in
    // the window manager's order; Wine without a window manager does not
    // carry a topmost window of one process above another process's
    // foreground window on the X screen).
    EXPECT_EQ(GetForegroundWindow(), window);
    {
        HWND w = GetTopWindow(nullptr);
        while (w && w != window && w != Form3::Instance().hWnd())
            w = GetWindow(w, GW_HWNDNEXT);
        EXPECT_EQ(w, Form3::Instance().hWnd());
    }
    EXPECT_FALSE(main.IsVisible());
    EXPECT_EQ(Label(Form3::Label1), L"正在替换第   页  共   页");
    EXPECT_FALSE(Label(Form3::Label3).empty());
    EXPECT_EQ(Label(Form3::Label5), L"");
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(HostRun, ThreeDrawingsArePurgedAndSavedInListOrder) {
    const std::wstring c = Drawing(L"c.dwg"), a = Drawing(L"A 图.dwg"), b = Drawing(L"b.dwg");
    for (const auto& p : {c, a, b})
        list().AddItem(p);
    RecordingView view;
    RunBatchPurge(TheAutomation(), TheMessageBoxes(), list(), view);
    EXPECT_EQ(view.label1, (std::vector<std::wstring>{L"正在清理第 1 页   共 3 页", kProgress2of3,
                                                      L"正在清理第 3 页   共 3 页", kDone}));
    EXPECT_TRUE(InOrder({L"Open|" + a, L"PurgeAll|@" + a, L"Close|True|@" + a, L"Open|" + b,
                         L"PurgeAll|@" + b, L"Close|True|@" + b, L"Open|" + c, L"PurgeAll|@" + c,
                         L"Close|True|@" + c}));
    for (const auto& p : {a, b, c})
        EXPECT_TRUE(Saved(p)) << testing::PrintToString(p);
    EXPECT_EQ(Label(Form3::Label1), kDone);
    EXPECT_FALSE(Label(Form3::Label5).empty());
    EXPECT_EQ(list().ListCount(), 0);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(HostRun, Command9RunsTheWholeListAndADoubleClickReturns) {
    const std::wstring a = Drawing(L"a.dwg");
    list().AddItem(a);
    ClickCommand9();
    EXPECT_TRUE(Saved(a));
    EXPECT_EQ(list().ListCount(), 0);
    EXPECT_EQ(Label(Form3::Label1), kDone);
    DoubleClickProgress();
    EXPECT_FALSE(Form3::Instance().IsLoaded());
    EXPECT_TRUE(main.IsVisible());
}

// A close that arrives while the run works (here while it writes its first
// progress text) is ignored, and the run goes on to the end; a close after
// the run acts like the double-click. With WM_CLOSE and with Alt+F4.
TEST_F(HostRun, ACloseWhileTheRunWorksIsIgnoredAndOneAfterItReturns) {
    for (const bool altF4 : {false, true}) {
        SCOPED_TRACE(altF4 ? "Alt+F4" : "WM_CLOSE");
        const std::wstring a = Drawing(L"a.dwg"), b = Drawing(L"b.dwg");
        list().AddItem(a);
        list().AddItem(b);
        test::AfterSentMessage closes(
            [](HWND w, UINT m, WPARAM, LPARAM) {
                return m == WM_CLOSE && w && w == Form3::Instance().hWnd();
            },
            {});
        int closesDuringRun = -1;
        test::AfterSentMessage firstProgress(
            [](HWND w, UINT m, WPARAM, LPARAM lp) {
                return m == WM_SETTEXT && w && w == Form3::Instance().Control(Form3::Label1) &&
                       lp &&
                       std::wstring_view(reinterpret_cast<const wchar_t*>(lp)) ==
                           L"正在清理第 1 页   共 2 页";
            },
            [&] {
                CloseProgress(altF4, [&] { return closes.Count() > 0; });
                closesDuringRun = closes.Count();
            });
        ClickCommand9();
        EXPECT_EQ(closesDuringRun, 1); // it came, during the run
        EXPECT_TRUE(Saved(a));
        EXPECT_TRUE(Saved(b));
        ASSERT_TRUE(Form3::Instance().IsVisible());
        EXPECT_EQ(Label(Form3::Label1), kDone);
        EXPECT_FALSE(Label(Form3::Label5).empty());
        EXPECT_FALSE(main.IsVisible());

        CloseProgress(altF4);
        EXPECT_FALSE(Form3::Instance().IsLoaded());
        EXPECT_TRUE(main.IsVisible());
        EXPECT_TRUE(boxes.Boxes().empty());
    }
}

TEST_F(HostRun, AttachesToARunningHostWithoutStartingASecond) {
    test::ChildProcess running(VcadExe());
    ASSERT_TRUE(running.Started());
    ASSERT_TRUE(running.WaitForWindow(vcad::kCaption));
    const std::wstring a = Drawing(L"a.dwg");
    list().AddItem(a);
    ClickCommand9();
    EXPECT_EQ(Count(L"Start|"), 1);
    EXPECT_EQ(StandInHost::ProcessId(), running.Id());
    EXPECT_TRUE(Saved(a));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(StandInHost::EndAll()); // quits it before its handle goes
}

TEST_F(HostRun, WithoutTheHostTwoMessageBoxesAndTheMainWindowStays) {
    const std::wstring a = Drawing(L"a.dwg");
    list().AddItem(a);
    UnregisteredHost runtime;
    Win32PurgeView view;
    RunBatchPurge(runtime, TheMessageBoxes(), list(), view);
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].title, L"批量清理");
    EXPECT_FALSE(seen[0].text.empty()); // the runtime's description
    EXPECT_FALSE(seen[0].hasIcon);
    EXPECT_EQ(seen[1].title, L"错误");
    EXPECT_EQ(seen[1].text, L"操作不当！");
    EXPECT_TRUE(seen[1].hasIcon);
    EXPECT_FALSE(Form3::Instance().IsLoaded());
    EXPECT_TRUE(main.IsVisible());
    EXPECT_EQ(list().ListCount(), 1);
    EXPECT_EQ(StandInHost::ProcessId(), 0u);
}

TEST_F(HostRun, ADrawingThatFailsToOpenStopsTheRunAtIt) {
    const std::wstring a = Drawing(L"1.dwg"), c = Drawing(L"3.dwg", "third\n");
    const std::wstring b = host.Path(L"2.dwg"); // not on disk
    for (const auto& p : {a, b, c})
        list().AddItem(p);
    ClickCommand9();
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"操作不当！");
    EXPECT_EQ(seen[0].title, L"错误");
    EXPECT_TRUE(Saved(a));
    EXPECT_EQ(Bytes(c), "third\n");
    EXPECT_EQ(Count(L"Open|" + c), 0);
    EXPECT_EQ(Label(Form3::Label1), kProgress2of3);
    EXPECT_EQ(Label(Form3::Label5), L"");
    EXPECT_EQ(list().ListCount(), 3);
    EXPECT_FALSE(main.IsVisible());
    // Alt+F4 after the failed run returns to the main window, list intact,
    // with the drawing it stopped at the one selected.
    CloseProgress(true);
    EXPECT_FALSE(Form3::Instance().IsLoaded());
    ASSERT_TRUE(main.IsVisible());
    EXPECT_EQ(list().ListCount(), 3);
    EXPECT_EQ(SelectedEntries(), std::vector<int>{1});
    EXPECT_TRUE(EntryVisible(1));
}

TEST_F(HostRun, TheDrawingItStoppedAtIsScrolledIntoViewAndSelectedAlone) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < 30; ++i) {
        wchar_t name[16];
        wsprintfW(name, L"%02d.dwg", i);
        paths.push_back(i == 24 ? host.Path(name) : Drawing(name)); // 24 is not on disk
    }
    list().AddItems(paths);
    SendMessageW(main.Control(varnofrm::List2), LB_SETSEL, TRUE, 2);
    SendMessageW(main.Control(varnofrm::List2), LB_SETTOPINDEX, 0, 0);
    ASSERT_FALSE(EntryVisible(24));
    ClickCommand9();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    DoubleClickProgress();
    EXPECT_EQ(SelectedEntries(), std::vector<int>{24});
    EXPECT_TRUE(EntryVisible(24));
}

TEST_F(HostRun, AFailureBeforeTheFirstDrawingLeavesTheSelectionAsItWas) {
    Switch("add-fails=acad.dwt\n");
    list().AddItem(Drawing(L"a.dwg"));
    list().AddItem(Drawing(L"b.dwg"));
    SendMessageW(main.Control(varnofrm::List2), LB_SETSEL, TRUE, 1);
    ClickCommand9();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    DoubleClickProgress();
    EXPECT_EQ(SelectedEntries(), std::vector<int>{1});
}

TEST_F(HostRun, AMissingPurgeAllAsksForR2000) {
    Switch("missing=PurgeAll\n");
    const std::wstring a = Drawing(L"a.dwg", "old\n");
    list().AddItem(a);
    ClickCommand9();
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"仅支持R2000以上版本！");
    EXPECT_TRUE(seen[0].hasIcon);
    EXPECT_EQ(Bytes(a), "old\n");
    EXPECT_EQ(list().ListCount(), 1);
}

TEST_F(HostRun, AMissingTemplateFailsWithTheProgressWindowShown) {
    Switch("add-fails=acad.dwt\n");
    const std::wstring a = Drawing(L"a.dwg", "old\n");
    list().AddItem(a);
    ClickCommand9();
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"操作不当！");
    EXPECT_EQ(Count(L"SendCommand|"), 0);
    EXPECT_EQ(Count(L"Open|"), 0);
    EXPECT_TRUE(Form3::Instance().IsVisible());
    EXPECT_EQ(Label(Form3::Label1), L"正在替换第   页  共   页");
    EXPECT_FALSE(Label(Form3::Label3).empty());
    EXPECT_FALSE(main.IsVisible());
    EXPECT_EQ(list().ListCount(), 1);
    EXPECT_EQ(Bytes(a), "old\n");
}

// A system that cannot make the progress window: the run stops before it
// would hide the main window, which stays for the user to go on with.
TEST_F(HostRun, WithoutAProgressWindowTheRunStopsAndTheMainWindowStays) {
    const std::wstring a = Drawing(L"a.dwg", "old\n");
    list().AddItem(a);
    {
        const test::RefusedWindow refused(Form3::Instance());
        ClickCommand9();
    }
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"操作不当！");
    EXPECT_FALSE(Form3::Instance().IsLoaded());
    EXPECT_TRUE(main.IsVisible());
    EXPECT_EQ(Count(L"Open|"), 0);
    EXPECT_EQ(list().ListCount(), 1);
    EXPECT_EQ(Bytes(a), "old\n");
}

TEST_F(HostRun, LeadingAndTrailingSpacesAreNotPassedToTheHost) {
    const std::wstring a = Drawing(L"with space.dwg");
    list().AddItem(L"  " + a + L"   ");
    ClickCommand9();
    EXPECT_EQ(Count(L"Open|" + a), 1);
    EXPECT_TRUE(Saved(a));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(HostRun, TheSamePathTwiceIsPurgedAndSavedTwice) {
    const std::wstring a = Drawing(L"twice.dwg");
    list().AddItem(a);
    list().AddItem(a);
    ClickCommand9();
    EXPECT_EQ(Count(L"Close|True|@" + a), 2);
    const std::string bytes = Bytes(a);
    EXPECT_NE(bytes.find(vcad::kSavedPurged), bytes.rfind(vcad::kSavedPurged));
    EXPECT_EQ(list().ListCount(), 0);
}

TEST_F(HostRun, ASecondRunAfterTheHostWasClosedLaunchesItAgain) {
    list().AddItem(Drawing(L"a.dwg"));
    ClickCommand9();
    ASSERT_EQ(Count(L"Start|"), 1);
    HWND window = FindWindowW(nullptr, vcad::kCaption);
    ASSERT_TRUE(window);
    const DWORD first = StandInHost::ProcessId();
    PostMessageW(window, WM_CLOSE, 0, 0); // the user closes the host
    ASSERT_TRUE(StandInHost::WaitForExit(10000));

    DoubleClickProgress();
    const std::wstring b = Drawing(L"b.dwg");
    list().AddItem(b);
    ClickCommand9();
    EXPECT_EQ(Count(L"Start|"), 2);
    EXPECT_TRUE(Saved(b));
    EXPECT_NE(StandInHost::ProcessId(), 0u);
    EXPECT_NE(StandInHost::ProcessId(), first);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(HostRun, ABusyHostIsWaitedForAndTheRunSucceeds) {
    Switch("busy=3\n"); // rejects calls for 3 s from its start
    const std::wstring a = Drawing(L"a.dwg");
    list().AddItem(a);
    ClickCommand9();
    EXPECT_GT(Count(L"Rejected"), 0); // it did reject calls
    EXPECT_TRUE(Saved(a));
    EXPECT_EQ(list().ListCount(), 0);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(HostRun, AHostKilledInTheMiddleIsAFailureAndNothingIsLost) {
    Switch("crash-open=2.dwg\n");
    const std::wstring a = Drawing(L"1.dwg"), b = Drawing(L"2.dwg", "second\n"),
                       c = Drawing(L"3.dwg", "third\n");
    for (const auto& p : {a, b, c})
        list().AddItem(p);
    ClickCommand9();
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"操作不当！");
    EXPECT_TRUE(Saved(a));
    EXPECT_EQ(Bytes(b), "second\n");
    EXPECT_EQ(Bytes(c), "third\n");
    EXPECT_EQ(list().ListCount(), 3);
    EXPECT_EQ(Label(Form3::Label1), kProgress2of3);
    // The program still responds: back to the main window, and a new run
    // launches a new host.
    DoubleClickProgress();
    EXPECT_TRUE(main.IsVisible());
    Switch("");
    // Windows forgets the class object of a server that died; Wine 8's RpcSs
    // keeps offering it until it restarts.
    StandInHost::RestartRpcss();
    ClickCommand9();
    EXPECT_TRUE(Saved(b));
    EXPECT_TRUE(Saved(c));
    EXPECT_EQ(list().ListCount(), 0);
}

} // namespace
} // namespace varno::win
