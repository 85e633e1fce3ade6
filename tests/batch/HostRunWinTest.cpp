// The batch purge run end to end under Wine: the real main window, progress
// window, message boxes and COM runtime, against the stand-in CAD host
// vcad.exe (registered as "AutoCAD.Application" in the project's prefix).
// Checked through the host's journal, the drawings on disk and the windows.
// Every test starts and ends with no host process running.
#include "batch/Form3.h"

#include "app/AutomationError.h"
#include "app/HostDialogs.h"
#include "app/Module1.h"
#include "mainwindow/varnofrm.h"
#include "platform/App.h"
#include "platform/Dispatch.h"
#include "platform/Win32DrawingFiles.h"
#include "platform/Win32ProxyNoticeRecords.h"
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
#include <tuple>

namespace varno::win {
namespace {

using test::MessageBoxInfo;
using test::StandInHost;

const std::wstring Progress2of3 = L"正在清理第 2 页   共 3 页";
// The drawing a run in a child process works on, to be ended from outside.
constexpr wchar_t KilledRunVariable[] = L"VARNO_TEST_KILLED_RUN";
const std::wstring CompletedText = L"批量清理完成 双击窗口返回";

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
    RecordingView() : Win32PurgeView(varnofrm::Instance()) {}
    void SetProgress(std::wstring_view text) override {
        label1.emplace_back(text);
        Win32PurgeView::SetProgress(text);
    }
    std::vector<std::wstring> label1;
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
        // host's destructor quits every host still running. A run that could
        // not put the proxy notice back (its host gone) left its record,
        // which the next test's run would find.
        records.Remove(VcadExe());
    }

    ListBoxList& list() { return main.DrawingList2(); }
    // One of the stand-in's own drawings, the only files it writes to.
    std::wstring Drawing(const std::wstring& name, const std::string& body = "drawing\n") {
        return host.WriteDrawing(name, body);
    }
    // The bytes of such a drawing that was never saved.
    static std::string Unsaved(const std::string& body) { return StandInHost::DrawingBytes(body); }
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
        return Bytes(path).find(vcad::SavedPurged) != std::string::npos;
    }

    StandInHost host; // journal and switches of the hosts started by the test
    varnofrm& main = varnofrm::Instance();
    Win32DrawingFiles files;
    Win32ProxyNoticeRecords records;
    BoxCollector boxes;
};

TEST_F(HostRun, EmptyListLaunchesTheHostAndPreparesItOnly) {
    ClickCommand9();
    EXPECT_NE(StandInHost::ProcessId(), 0u);
    EXPECT_EQ(Count(L"Start|"), 1);
    // Today's host keeps its template in the user's profile: the new drawing
    // comes from its own default.
    EXPECT_TRUE(InOrder({L"Visible=True", L"ActiveDocument", L"Caption", L"Caption", L"FullName",
                         L"FullName", L"Documents", L"Add", L"ActiveDocument"}));
    EXPECT_EQ(Count(L"SendCommand|PROXYNOTICE 0\\r|@"), 1);
    EXPECT_EQ(Count(L"Open|"), 0);
    HWND window = FindWindowW(nullptr, vcad::Caption);
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
    RunPurge(TheAutomation(), list(), view, files, records);
    EXPECT_EQ(view.label1,
              (std::vector<std::wstring>{L"正在清理第 1 页   共 3 页", Progress2of3,
                                         L"正在清理第 3 页   共 3 页", CompletedText}));
    EXPECT_TRUE(InOrder({L"Open|" + a, L"PurgeAll|@" + a, L"Close|True|@" + a, L"Open|" + b,
                         L"PurgeAll|@" + b, L"Close|True|@" + b, L"Open|" + c, L"PurgeAll|@" + c,
                         L"Close|True|@" + c}));
    for (const auto& p : {a, b, c}) {
        EXPECT_TRUE(Saved(p)) << testing::PrintToString(p);
        EXPECT_EQ(Count(L"Close|True|@" + p), 1) << testing::PrintToString(p);
    }
    // The user's proxy notice, turned off for the run, is put back.
    EXPECT_TRUE(InOrder({L"GetVariable|PROXYNOTICE|@Drawing1.dwg",
                         L"SendCommand|PROXYNOTICE 0\\r|@Drawing1.dwg", L"Close|True|@" + c,
                         L"SetVariable|PROXYNOTICE|1|@Drawing1.dwg"}));
    const auto journal = host.Journal();
    const auto putBack =
        std::find(journal.begin(), journal.end(), L"SetVariable|PROXYNOTICE|1|@Drawing1.dwg");
    ASSERT_NE(putBack, journal.end());
    EXPECT_FALSE(putBack + 1 != journal.end() && putBack[1].starts_with(L"Error|")); // taken
    // Today's host has no TEMPLATE\acad.dwt in its program folder.
    EXPECT_EQ(Count(L"Add"), 1);
    EXPECT_EQ(Count(L"Add|"), 0);
    EXPECT_EQ(Label(Form3::Label1), CompletedText);
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
    EXPECT_EQ(Label(Form3::Label1), CompletedText);
    DoubleClickProgress();
    EXPECT_FALSE(Form3::Instance().IsLoaded());
    EXPECT_TRUE(main.IsVisible());
}

// A close that arrives while the run works (here while it writes its first
// progress text) asks whether to stop, and No (the box collector's OK) goes
// on to the end; a close after the run acts like the double-click. With
// WM_CLOSE and with Alt+F4.
TEST_F(HostRun, ACloseWhileTheRunWorksAsksAndOneAfterItReturns) {
    for (const bool altF4 : {false, true}) {
        SCOPED_TRACE(altF4 ? "Alt+F4" : "WM_CLOSE");
        const std::wstring a = Drawing(L"a.dwg"), b = Drawing(L"b.dwg");
        list().AddItem(a);
        list().AddItem(b);
        const std::size_t boxesBefore = boxes.Boxes().size();
        test::AfterSentMessage firstProgress(
            [](HWND w, UINT m, WPARAM, LPARAM lp) {
                return m == WM_SETTEXT && w && w == Form3::Instance().Control(Form3::Label1) &&
                       lp &&
                       std::wstring_view(reinterpret_cast<const wchar_t*>(lp)) ==
                           L"正在清理第 1 页   共 2 页";
            },
            [&] { CloseProgress(altF4, [&] { return boxes.Boxes().size() > boxesBefore; }); });
        ClickCommand9();
        const auto seen = boxes.Boxes();
        ASSERT_EQ(seen.size(), boxesBefore + 1);
        EXPECT_EQ(seen.back().text, StopQuestionText);
        EXPECT_EQ(seen.back().owner, Form3::Instance().hWnd());
        EXPECT_TRUE(Saved(a));
        EXPECT_TRUE(Saved(b));
        ASSERT_TRUE(Form3::Instance().IsVisible());
        EXPECT_EQ(Label(Form3::Label1), CompletedText);
        EXPECT_FALSE(Label(Form3::Label5).empty());
        EXPECT_FALSE(main.IsVisible());

        CloseProgress(altF4);
        EXPECT_FALSE(Form3::Instance().IsLoaded());
        EXPECT_TRUE(main.IsVisible());
    }
}

TEST_F(HostRun, AttachesToARunningHostWithoutStartingASecond) {
    test::ChildProcess running(VcadExe());
    ASSERT_TRUE(running.Started());
    ASSERT_TRUE(running.WaitForWindow(vcad::Caption));
    const std::wstring a = Drawing(L"a.dwg");
    list().AddItem(a);
    ClickCommand9();
    EXPECT_EQ(Count(L"Start|"), 1);
    EXPECT_EQ(StandInHost::ProcessId(), running.Id());
    EXPECT_TRUE(Saved(a));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(StandInHost::EndAll()); // quits it before its handle goes
}

// A host of before 2004, with TEMPLATE\acad.dwt in its program folder (a copy
// of the stand-in in a folder of its own, started by hand): it sees the calls
// it always saw, but that the per-drawing ones go to the document Open
// returned, whose ReadOnly is read, that its save format is read once, that
// its proxy notice is read and put back (through the document active then),
// that its open documents are looked through before each drawing (the
// template drawing's name noted), that the drawing's collections are counted
// around its one purge, and that CAD's record of changes is read before the
// save.
TEST_F(HostRun, AnOldLayoutHostSeesTheCallsItAlwaysSaw) {
    const std::wstring folder = host.Path(L"CAD R2000");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring exe = folder + L"\\vcad.exe";
    ASSERT_TRUE(CopyFileW(VcadExe().c_str(), exe.c_str(), FALSE));
    Switch("layout=old\n");
    test::ChildProcess running(exe);
    ASSERT_TRUE(running.WaitForWindow(vcad::Caption));
    const std::wstring a = Drawing(L"a.dwg");
    list().AddItem(a);
    ClickCommand9();
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(Saved(a));
    const std::vector<std::wstring> calls = host.Calls();
    const std::vector<std::wstring> tail(std::find(calls.begin(), calls.end(), L"Caption"),
                                         calls.end());
    EXPECT_EQ(tail, (std::vector<std::wstring>{L"Caption",
                                               L"Caption",
                                               L"FullName",
                                               L"FullName",
                                               L"Documents",
                                               L"Add|" + folder + L"\\TEMPLATE\\acad.dwt",
                                               L"Name|@Drawing1.dwg",
                                               L"Preferences",
                                               L"OpenSave",
                                               L"SaveAsType",
                                               L"ActiveDocument",
                                               L"GetVariable|PROXYNOTICE|@Drawing1.dwg",
                                               L"SendCommand|PROXYNOTICE 0\\r|@Drawing1.dwg",
                                               L"Documents",
                                               L"Count",
                                               L"Item|0",
                                               L"FullName|@Drawing1.dwg",
                                               L"Open|" + a,
                                               L"ReadOnly|@" + a,
                                               L"Blocks|@" + a,
                                               L"Layers|@" + a,
                                               L"Linetypes|@" + a,
                                               L"DimStyles|@" + a,
                                               L"Count|Blocks@" + a,
                                               L"Count|Layers@" + a,
                                               L"Count|Linetypes@" + a,
                                               L"Count|DimStyles@" + a,
                                               L"PurgeAll|@" + a,
                                               L"Count|Blocks@" + a,
                                               L"Count|Layers@" + a,
                                               L"Count|Linetypes@" + a,
                                               L"Count|DimStyles@" + a,
                                               L"GetVariable|DBMOD|@" + a,
                                               L"Close|True|@" + a,
                                               L"ActiveDocument",
                                               L"SetVariable|PROXYNOTICE|1|@Drawing1.dwg"}));
    EXPECT_FALSE(StandInHost::EndAll()); // quits it before its handle goes
}

// A host that leaves the active document as it was when it opens a drawing:
// only the listed drawings are purged and saved, never the run's new one.
TEST_F(HostRun, AHostThatDoesNotActivateWhatItOpensPurgesOnlyTheListedDrawings) {
    Switch("open-activates=no\n");
    const std::wstring a = Drawing(L"a.dwg"), b = Drawing(L"b.dwg");
    list().AddItem(a);
    list().AddItem(b);
    ClickCommand9();
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(InOrder({L"Open|" + a, L"PurgeAll|@" + a, L"Close|True|@" + a, L"Open|" + b,
                         L"PurgeAll|@" + b, L"Close|True|@" + b}));
    EXPECT_EQ(Count(L"PurgeAll|"), 2);
    EXPECT_EQ(Count(L"Close|"), 2);
    EXPECT_TRUE(Saved(a));
    EXPECT_TRUE(Saved(b));
    EXPECT_EQ(list().ListCount(), 0);
}

// A read-only drawing, or one another program holds open for writing, is
// closed unsaved; the run stops at it (the box's 停止), and it is selected on
// the way back, first of the drawings left.
TEST_F(HostRun, AReadOnlyDrawingStopsTheRunThereAndIsSelected) {
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "held open for writing" : "read-only attribute");
        list().Clear();
        const std::wstring a = Drawing(L"1.dwg"), b = Drawing(L"2.dwg"), c = Drawing(L"3.dwg");
        for (const auto& p : {a, b, c})
            list().AddItem(p);
        HANDLE writer = INVALID_HANDLE_VALUE;
        if (held)
            writer = CreateFileW(b.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
        else
            SetFileAttributesW(b.c_str(), FILE_ATTRIBUTE_READONLY);
        ClickCommand9();
        if (writer != INVALID_HANDLE_VALUE)
            CloseHandle(writer);
        SetFileAttributesW(b.c_str(), FILE_ATTRIBUTE_NORMAL);
        const auto seen = boxes.Boxes();
        ASSERT_EQ(seen.size(), held ? 2u : 1u);
        EXPECT_EQ(seen.back().text, FailureText(errnum::PermissionDenied, ReadOnlyText, b));
        EXPECT_TRUE(Saved(a));
        EXPECT_EQ(Bytes(b), Unsaved("drawing\n"));
        EXPECT_EQ(Count(L"Close|False|@" + b), held ? 2 : 1);
        EXPECT_EQ(Count(L"PurgeAll|@" + b), 0);
        EXPECT_EQ(Count(L"Open|" + c), 0);
        EXPECT_EQ(Label(Form3::Label1), Progress2of3);
        DoubleClickProgress();
        EXPECT_EQ(list().Items(), (std::vector<std::wstring>{b, c}));
        EXPECT_EQ(SelectedEntries(), std::vector<int>{0});
    }
}

// A listed drawing the user has open in the host with unsaved edits (under
// other letter case; the host would hand that very document to Open) is
// neither written nor closed: the run stops there, naming it, puts the
// user's proxy notice back, and selects the drawing on return.
TEST_F(HostRun, ADrawingTheUserHasOpenInTheHostIsLeftAlone) {
    const std::wstring a = Drawing(L"1.dwg"), b = Drawing(L"2.dwg", "the user's\n"),
                       c = Drawing(L"3.dwg");
    const std::wstring users = b.substr(0, b.size() - 5) + L"2.DWG";
    Switch("user-open=" + std::string(users.begin(), users.end()) + "\n");
    for (const auto& p : {a, b, c})
        list().AddItem(p);
    ClickCommand9();
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, FailureText(errnum::PermissionDenied, OpenInHostText, b));
    EXPECT_EQ(Count(L"UserOpen|" + users), 1);
    EXPECT_TRUE(Saved(a));
    EXPECT_EQ(Bytes(b), Unsaved("the user's\n"));
    EXPECT_EQ(Count(L"Open|" + b), 0);
    for (const wchar_t* call : {L"PurgeAll|", L"SaveAs|", L"Close|"})
        for (const auto& line : host.Journal())
            EXPECT_FALSE(line.starts_with(call) && line.ends_with(L"@" + users)) << line;
    EXPECT_EQ(Count(L"SetVariable|PROXYNOTICE|1|@Drawing1.dwg"), 1);
    DoubleClickProgress();
    EXPECT_EQ(list().Items(), (std::vector<std::wstring>{b, c}));
    EXPECT_EQ(SelectedEntries(), std::vector<int>{0});
}

// Drawings with three levels of unused items, each used only by the one
// before: each drawing is purged until a pass removes nothing (four passes)
// and saved once, fully purged.
TEST_F(HostRun, NestedUnusedItemsGoInOneRunAndEachDrawingIsSavedOnce) {
    Switch("nesting=3\n");
    const std::wstring a = Drawing(L"a.dwg"), b = host.WriteFile(L"b.dwg", "AC1018" + Unsaved(""));
    list().AddItem(a);
    list().AddItem(b);
    ClickCommand9();
    EXPECT_TRUE(boxes.Boxes().empty());
    for (const auto& p : {a, b}) {
        SCOPED_TRACE(testing::PrintToString(p));
        EXPECT_EQ(Count(L"PurgeAll|@" + p), 4);
        const std::string bytes = Bytes(p);
        EXPECT_NE(bytes.find(std::string(vcad::NestingLeft) + "0\n"), std::string::npos) << bytes;
        EXPECT_EQ(bytes.find(vcad::SavedPurged), bytes.rfind(vcad::SavedPurged)); // saved once
    }
    EXPECT_EQ(Count(L"Close|True|@" + a), 1);
    EXPECT_EQ(Count(L"SaveAs|" + b + L"|24|@" + b), 1);
    EXPECT_EQ(list().ListCount(), 0);
}

// From the click until the run ends the main window takes no input, not even
// later: clicks and drops that reach it while a slow host starts do nothing.
// Afterwards it works again.
TEST_F(HostRun, TheMainWindowTakesNoInputWhileARunWorks) {
    Switch("busy=2\n");                                     // the host is slow to answer
    const std::wstring missing = host.Path(L"missing.dwg"); // the run stops at it
    list().AddItem(missing);
    const std::wstring dropped = Drawing(L"dropped.dwg");
    std::atomic<bool> done{false};
    std::atomic<int> disabledWhileShown{0}, enabledWhileShown{0};
    std::thread poke([&] {
        while (!done) {
            if (IsWindowVisible(main.hWnd()) && StandInHost::ProcessId()) {
                if (IsWindowEnabled(main.hWnd())) {
                    ++enabledWhileShown;
                } else if (disabledWhileShown++ == 0) {
                    // "  删除全部" clicked, and a drawing dropped.
                    HWND clear = main.Control(varnofrm::xpcmdbutton6);
                    PostMessageW(clear, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
                    PostMessageW(clear, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
                    PostMessageW(main.hWnd(), WM_DROPFILES,
                                 reinterpret_cast<WPARAM>(test::MakeDrop({dropped})), 0);
                }
            }
            Sleep(20);
        }
    });
    ClickCommand9();
    done = true;
    poke.join();
    EXPECT_GT(disabledWhileShown, 0);
    EXPECT_EQ(enabledWhileShown, 0);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    DoubleClickProgress();
    ASSERT_TRUE(main.IsVisible());
    EXPECT_TRUE(IsWindowEnabled(main.hWnd()));
    test::PumpMessagesFor(200, [] { return false; });
    EXPECT_EQ(list().Items(), std::vector<std::wstring>{missing});
    // It works again.
    SendMessageW(main.Control(varnofrm::xpcmdbutton6), BM_CLICK, 0, 0);
    EXPECT_EQ(list().ListCount(), 0);
}

// A host that saves in the newest format by itself: each drawing stays in
// its own format, saved once; a drawing in the host's format, and one whose
// format is not known, get the plain close with its save. A host set to the
// 2004 format leaves a 2018 drawing a 2018 drawing.
TEST_F(HostRun, EachDrawingKeepsItsOwnFormat) {
    const auto drawing = [&](const std::wstring& name, const std::string& code) {
        return host.WriteFile(name, code + Unsaved("drawing\n"));
    };
    const std::vector<std::tuple<std::wstring, std::string, std::wstring>> drawings = {
        {drawing(L"2000.dwg", "AC1015"), "AC1015", L"12"},
        {drawing(L"2004.dwg", "AC1018"), "AC1018", L"24"},
        {drawing(L"2007.dwg", "AC1021"), "AC1021", L"36"},
        {drawing(L"2018.dwg", "AC1032"), "AC1032", L""},
        {drawing(L"unknown.dwg", ""), "", L""},
    };
    for (const auto& d : drawings)
        list().AddItem(std::get<0>(d));
    ClickCommand9();
    EXPECT_EQ(list().ListCount(), 0);
    for (const auto& [path, code, saveAs] : drawings) {
        SCOPED_TRACE(testing::PrintToString(path));
        const std::string bytes = Bytes(path);
        EXPECT_EQ(bytes.substr(0, code.size()), code);
        EXPECT_NE(bytes.find(vcad::SavedPurged), std::string::npos);
        EXPECT_EQ(bytes.find(vcad::SavedPurged), bytes.rfind(vcad::SavedPurged)); // once
        if (saveAs.empty()) {
            EXPECT_TRUE(InOrder({L"Open|" + path, L"ReadOnly|@" + path, L"PurgeAll|@" + path,
                                 L"Close|True|@" + path}));
            EXPECT_EQ(Count(L"SaveAs|" + path), 0);
        } else {
            EXPECT_TRUE(InOrder({L"Open|" + path, L"ReadOnly|@" + path, L"PurgeAll|@" + path,
                                 L"SaveAs|" + path + L"|" + saveAs + L"|@" + path,
                                 L"Close|False|@" + path}));
            EXPECT_EQ(Count(L"Close|True|@" + path), 0);
        }
    }
    DoubleClickProgress();

    Switch("save-as-type=24\n");
    const std::wstring late = drawing(L"2018 again.dwg", "AC1032");
    list().AddItem(late);
    ClickCommand9();
    EXPECT_EQ(Bytes(late).substr(0, 6), "AC1032");
    EXPECT_EQ(Count(L"SaveAs|" + late + L"|64|@" + late), 1);
    EXPECT_EQ(Count(L"Preferences"), 2); // once a run
    EXPECT_TRUE(boxes.Boxes().empty());
    DoubleClickProgress();

    // A host whose setting cannot be read: the drawing is saved in its own
    // format by name all the same.
    Switch("preferences-fails\n");
    const std::wstring unknown = drawing(L"2004 again.dwg", "AC1018");
    list().AddItem(unknown);
    ClickCommand9();
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(Bytes(unknown).substr(0, 6), "AC1018");
    EXPECT_EQ(Count(L"SaveAs|" + unknown + L"|24|@" + unknown), 1);
    DoubleClickProgress();

    // A host whose save types mean other formats: the run stops at the first
    // drawing it changed, and says so; the next is not touched.
    Switch("saveas-writes=64\n");
    const std::wstring changed = drawing(L"x 2004.dwg", "AC1018"),
                       next = drawing(L"y 2004.dwg", "AC1018");
    list().AddItem(changed);
    list().AddItem(next);
    ClickCommand9();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text,
              FailureText(errnum::InvalidFileFormat, FormatChangedText, changed));
    EXPECT_EQ(Bytes(next), "AC1018" + Unsaved("drawing\n"));
    EXPECT_EQ(list().ListCount(), 2);
}

TEST_F(HostRun, WithoutTheHostTwoMessageBoxesAndTheMainWindowStays) {
    const std::wstring a = Drawing(L"a.dwg");
    list().AddItem(a);
    {
        const test::HostUnregistered none; // no CAD program of the table
        ClickCommand9();
    }
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].title, L"批量清理");
    EXPECT_FALSE(seen[0].text.empty()); // the runtime's description
    EXPECT_FALSE(seen[0].hasIcon);
    EXPECT_EQ(seen[1].title, L"错误");
    EXPECT_EQ(seen[1].text, FailureText(errnum::CantCreateObject, NoCadProgramText, {}));
    EXPECT_TRUE(seen[1].hasIcon);
    // Before the progress window exists, both stand in front of everything.
    EXPECT_TRUE(seen[0].topmost);
    EXPECT_TRUE(seen[1].topmost);
    EXPECT_FALSE(Form3::Instance().IsLoaded());
    EXPECT_TRUE(main.IsVisible());
    EXPECT_EQ(list().ListCount(), 1);
    EXPECT_EQ(StandInHost::ProcessId(), 0u);
}

// A machine with 中望CAD alone: the run launches it and cleans every drawing,
// each saved once in its own format.
TEST_F(HostRun, AMachineWithAnotherCadProgramOfTheTableIsServed) {
    const test::RegisteredHosts zwcad({L"ZWCAD.Application"});
    std::vector<std::wstring> drawings;
    for (const wchar_t* name : {L"1.dwg", L"2.dwg", L"3.dwg"})
        drawings.push_back(host.WriteFile(name, "AC1018" + Unsaved("drawing\n")));
    for (const auto& p : drawings)
        list().AddItem(p);
    ClickCommand9();
    EXPECT_TRUE(boxes.Boxes().empty());
    ASSERT_EQ(Count(L"Start|"), 1);
    EXPECT_EQ(Count(L"Start|" + std::to_wstring(StandInHost::ProcessId()) + L"|ZWCAD.Application|"),
              1);
    EXPECT_EQ(GetForegroundWindow(), FindWindowW(nullptr, vcad::Identities[1].caption));
    for (const auto& p : drawings) {
        const std::string bytes = Bytes(p);
        EXPECT_EQ(bytes.substr(0, 6), "AC1018");
        EXPECT_NE(bytes.find(vcad::SavedPurged), std::string::npos);
        EXPECT_EQ(bytes.find(vcad::SavedPurged), bytes.rfind(vcad::SavedPurged)); // once
    }
    EXPECT_EQ(list().ListCount(), 0);
}

// With AutoCAD and 浩辰CAD both installed the run attaches to the one that
// runs, and launches nothing; with neither running, AutoCAD is launched.
TEST_F(HostRun, TheRunningCadProgramIsUsedElseTheFirstInstalled) {
    const test::RegisteredHosts two({L"AutoCAD.Application", L"GCAD.Application"});
    {
        test::ChildProcess gcad(VcadExe(), L"/host:GCAD.Application", host.Path(L"gcad.out"));
        ASSERT_TRUE(gcad.WaitForWindow(vcad::Identities[2].caption));
        const std::wstring a = Drawing(L"a.dwg");
        list().AddItem(a);
        ClickCommand9();
        EXPECT_TRUE(boxes.Boxes().empty());
        EXPECT_TRUE(Saved(a));
        EXPECT_EQ(Count(L"Start|"), 1); // the one started by hand
        EXPECT_EQ(Count(L"Start|" + std::to_wstring(gcad.Id()) + L"|GCAD.Application|"), 1);
        EXPECT_EQ(StandInHost::ProcessIds(), std::vector<DWORD>{gcad.Id()});
        DoubleClickProgress();
        EXPECT_FALSE(StandInHost::EndAll()); // quits it before its handle goes
    }
    const std::wstring b = Drawing(L"b.dwg");
    list().AddItem(b);
    ClickCommand9();
    EXPECT_TRUE(Saved(b));
    EXPECT_EQ(Count(L"Start|"), 2);
    EXPECT_EQ(
        Count(L"Start|" + std::to_wstring(StandInHost::ProcessId()) + L"|AutoCAD.Application|"), 1);
}

// AutoCAD, uninstalled, left its identifier behind, its server a program
// that is gone (unquoted, with spaces and an argument, to be expanded);
// 中望CAD is what the machine has, and is what the run launches.
TEST_F(HostRun, AnIdentifierLeftByAnUninstalledProgramIsNotLaunched) {
    test::RegisteredHosts hosts({L"ZWCAD.Application"});
    hosts.Leftover(L"AutoCAD.Application",
                   L"%ProgramFiles%\\Autodesk\\AutoCAD 2014\\acad.exe /Automation");
    const std::wstring a = Drawing(L"a.dwg");
    list().AddItem(a);
    ClickCommand9();
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(Saved(a));
    ASSERT_EQ(Count(L"Start|"), 1);
    EXPECT_EQ(Count(L"Start|" + std::to_wstring(StandInHost::ProcessId()) + L"|ZWCAD.Application|"),
              1);
}

// AutoCAD 2014 and a newer AutoCAD side by side, the newer registered last:
// "AutoCAD.Application" names its class, while the user runs 2014. The run
// finds 2014 in the running object table, works with it, and starts no
// second AutoCAD.
TEST_F(HostRun, AnotherVersionRunningIsUsedAndNoSecondStarts) {
    const vcad::Identity& acad2014 = *vcad::IdentityOf(L"AutoCAD.Application.19");
    const test::RegisteredHosts two({L"AutoCAD.Application", acad2014.progId});
    test::ChildProcess running(VcadExe(), L"/host:AutoCAD.Application.19", host.Path(L"2014.out"));
    ASSERT_TRUE(running.WaitForWindow(acad2014.caption));
    const std::wstring a = Drawing(L"a.dwg");
    list().AddItem(a);
    ClickCommand9();
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(Saved(a));
    EXPECT_EQ(Count(L"Start|"), 1); // the one started by hand
    EXPECT_EQ(StandInHost::ProcessIds(), std::vector<DWORD>{running.Id()});
    DoubleClickProgress();
    EXPECT_FALSE(StandInHost::EndAll()); // quits it before its handle goes
}

// A host whose Caption is not its window's title: its window is found by its
// HWND, brought to the front, and the run completes.
TEST_F(HostRun, AHostWhoseCaptionIsNotItsWindowsTitleIsFoundByItsHwnd) {
    Switch("caption=Drawing1.dwg - not the title\n");
    const std::wstring a = Drawing(L"a.dwg");
    list().AddItem(a);
    ClickCommand9();
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(InOrder({L"Caption", L"HWND", L"Caption", L"HWND", L"Open|" + a}));
    EXPECT_EQ(GetForegroundWindow(), FindWindowW(nullptr, vcad::Caption));
    EXPECT_TRUE(Saved(a));
    EXPECT_EQ(list().ListCount(), 0);
}

TEST_F(HostRun, ADrawingThatFailsToOpenStopsTheRunAtIt) {
    const std::wstring a = Drawing(L"1.dwg"), c = Drawing(L"3.dwg", "third\n");
    const std::wstring b = host.Path(L"2.dwg"); // not on disk
    for (const auto& p : {a, b, c})
        list().AddItem(p);
    ClickCommand9();
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, FailureText(errnum::FileNotFound, DrawingMissingText, b));
    EXPECT_EQ(seen[0].title, L"错误");
    EXPECT_TRUE(seen[0].hasIcon);
    // In front of the host and the progress window: owned by the latter.
    EXPECT_EQ(seen[0].owner, Form3::Instance().hWnd());
    // Skip, skip all, retry, and 停止 with IDOK, which the collector pressed.
    std::vector<std::wstring> buttons;
    for (const auto& button : seen[0].buttons)
        buttons.push_back(button.text);
    EXPECT_EQ(buttons, (std::vector<std::wstring>{
                           std::wstring(SkipButtonText), std::wstring(SkipAllButtonText),
                           std::wstring(RetryButtonText), std::wstring(StopButtonText)}));
    ASSERT_EQ(seen[0].buttons.size(), 4u);
    EXPECT_EQ(seen[0].buttons[3].id, IDOK);
    EXPECT_EQ(Count(L"Open|" + b), 0);
    EXPECT_TRUE(Saved(a));
    EXPECT_EQ(Bytes(c), Unsaved("third\n"));
    EXPECT_EQ(Count(L"Open|" + c), 0);
    EXPECT_EQ(Label(Form3::Label1), Progress2of3);
    EXPECT_EQ(Label(Form3::Label5), L"");
    EXPECT_EQ(list().Items(), (std::vector<std::wstring>{b, c}));
    EXPECT_FALSE(main.IsVisible());
    // Alt+F4 after the failed run returns to the main window, with the work
    // left and the drawing it stopped at the one selected.
    CloseProgress(true);
    EXPECT_FALSE(Form3::Instance().IsLoaded());
    ASSERT_TRUE(main.IsVisible());
    EXPECT_EQ(list().ListCount(), 2);
    EXPECT_EQ(SelectedEntries(), std::vector<int>{0});
}

// The list then holds the drawing the run stopped at and those after it; it
// is selected alone, and in view.
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
    EXPECT_EQ(list().Items(), std::vector<std::wstring>(paths.begin() + 24, paths.end()));
    EXPECT_EQ(SelectedEntries(), std::vector<int>{0});
    EXPECT_TRUE(EntryVisible(0));
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
    EXPECT_TRUE(seen[0].text.starts_with(L"仅支持R2000以上版本！\n\n图纸：" + a + L"\n原因："))
        << testing::PrintToString(seen[0].text);
    EXPECT_TRUE(seen[0].hasIcon);
    EXPECT_EQ(Bytes(a), Unsaved("old\n"));
    EXPECT_EQ(list().ListCount(), 1);
}

TEST_F(HostRun, AMissingTemplateFailsWithTheProgressWindowShown) {
    Switch("add-fails=acad.dwt\n");
    const std::wstring a = Drawing(L"a.dwg", "old\n");
    list().AddItem(a);
    ClickCommand9();
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].text.starts_with(L"操作不当！\n\n原因：找不到样板文件"))
        << testing::PrintToString(seen[0].text);
    EXPECT_EQ(Count(L"SendCommand|"), 0);
    EXPECT_EQ(Count(L"Open|"), 0);
    EXPECT_TRUE(Form3::Instance().IsVisible());
    EXPECT_EQ(Label(Form3::Label1), L"正在替换第   页  共   页");
    EXPECT_FALSE(Label(Form3::Label3).empty());
    EXPECT_FALSE(main.IsVisible());
    EXPECT_EQ(list().ListCount(), 1);
    EXPECT_EQ(Bytes(a), Unsaved("old\n"));
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
    EXPECT_TRUE(seen[0].text.starts_with(L"操作不当！\n\n原因："));
    EXPECT_FALSE(Form3::Instance().IsLoaded());
    EXPECT_TRUE(main.IsVisible());
    EXPECT_EQ(Count(L"Open|"), 0);
    EXPECT_EQ(list().ListCount(), 1);
    EXPECT_EQ(Bytes(a), Unsaved("old\n"));
}

TEST_F(HostRun, LeadingAndTrailingSpacesAreNotPassedToTheHost) {
    const std::wstring a = Drawing(L"with space.dwg");
    list().AddItem(L"  " + a + L"   ");
    ClickCommand9();
    EXPECT_EQ(Count(L"Open|" + a), 1);
    EXPECT_TRUE(Saved(a));
    EXPECT_TRUE(boxes.Boxes().empty());
}

// Where CAD reports no change after the purge (DBMOD 0), the drawing is
// closed unsaved and its file stays as it was, time stamp and all: one with
// nothing to purge, and the same drawing listed twice the second time.
TEST_F(HostRun, ADrawingWithNothingToPurgeIsLeftAsItWas) {
    const std::wstring a = Drawing(L"twice.dwg"), clean = Drawing(L"clean.dwg");
    Switch("clean=clean.dwg\n");
    const auto written = [](const std::wstring& path) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
        return std::pair(data.ftLastWriteTime.dwLowDateTime, data.ftLastWriteTime.dwHighDateTime);
    };
    const std::string before = Bytes(clean);
    const auto cleanWritten = written(clean);
    Sleep(50); // a save now would get another time stamp
    for (const auto& p : {a, a, clean})
        list().AddItem(p);
    ClickCommand9();
    EXPECT_TRUE(InOrder({L"GetVariable|DBMOD|@" + clean, L"Close|False|@" + clean,
                         L"Close|True|@" + a, L"GetVariable|DBMOD|@" + a, L"Close|False|@" + a}));
    EXPECT_EQ(Count(L"Close|True|"), 1);
    const std::string bytes = Bytes(a);
    EXPECT_EQ(bytes.find(vcad::SavedPurged), bytes.rfind(vcad::SavedPurged));
    EXPECT_EQ(Bytes(clean), before);
    EXPECT_EQ(written(clean), cleanWritten);
    EXPECT_EQ(list().ListCount(), 0);
    EXPECT_EQ(Label(Form3::Label1), CompletedText);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(HostRun, ASecondRunAfterTheHostWasClosedLaunchesItAgain) {
    list().AddItem(Drawing(L"a.dwg"));
    ClickCommand9();
    ASSERT_EQ(Count(L"Start|"), 1);
    HWND window = FindWindowW(nullptr, vcad::Caption);
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

// A run ended from outside (its process killed while the host purges)
// leaves the user's PROXYNOTICE turned off in the host, and the user's value
// on disk; the next run for that host puts that value back, and the record
// goes.
TEST_F(HostRun, AKilledRunsProxyNoticeIsPutBackByTheNextRun) {
    test::ChildProcess cad(VcadExe()); // the user's, which outlives the run
    ASSERT_TRUE(cad.WaitForWindow(vcad::Caption));
    const std::wstring a = Drawing(L"a.dwg");
    Switch("slow-purge=2\n");
    SetEnvironmentVariableW(KilledRunVariable, a.c_str());
    {
        test::ChildProcess child(test::ThisExe(), L"--gtest_filter=KilledRunChild.*",
                                 host.Path(L"child.txt"));
        SetEnvironmentVariableW(KilledRunVariable, nullptr);
        ASSERT_TRUE(child.Started());
        test::PumpMessagesFor(60000, [&] { return Count(L"PurgeAll|@" + a) > 0; });
        ASSERT_EQ(Count(L"PurgeAll|@" + a), 1);
    } // ended from outside, inside PurgeAll
    const AutoRef app = TheAutomation().AttachRunning(vcad::ProgId);
    const std::wstring fullName = TextOf(app->Get(L"FullName"));
    const auto proxyNotice = [&] {
        return IntegerOf(CallTarget(app->Get(L"ActiveDocument"))
                             .Call(L"GetVariable", {std::wstring(L"PROXYNOTICE")}));
    };
    EXPECT_EQ(proxyNotice(), 0);
    EXPECT_EQ(records.Find(fullName), 1);

    RecordingView view;
    RunPurge(TheAutomation(), list(), view, files, records);
    EXPECT_TRUE(InOrder({L"SendCommand|PROXYNOTICE 0\\r|@Drawing1.dwg",
                         L"SendCommand|PROXYNOTICE 0\\r|@Drawing2.dwg",
                         L"SetVariable|PROXYNOTICE|1|@Drawing2.dwg"}));
    EXPECT_EQ(proxyNotice(), 1);
    EXPECT_EQ(records.Find(fullName), std::nullopt);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(StandInHost::EndAll()); // quits it before its handle goes
}

// ---- the run on its own thread: CAD's questions and a stop ----

// Waits up to timeoutMs for found() to give a window (polling; the test's
// own thread is inside the run).
template <class Find> HWND WaitFor(Find&& found, DWORD timeoutMs = 60000) {
    for (const ULONGLONG end = GetTickCount64() + timeoutMs; GetTickCount64() < end; Sleep(50))
        if (HWND h = found())
            return h;
    return nullptr;
}

bool Topmost(HWND h) {
    return (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// Below: after the other window in the system's order of windows.
bool Below(HWND h, HWND other) {
    for (HWND w = GetWindow(other, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
        if (w == h)
            return true;
    return false;
}

// CAD asks its user something during Open: once the call has lasted, the
// progress window stands below CAD's question, no longer topmost, says that
// CAD waits, and the question is in front; answered, the progress shows
// again, topmost, while the run goes on.
TEST_F(HostRun, ACadQuestionDuringARunIsBroughtToTheFront) {
    const std::wstring a = Drawing(L"a.dwg"), b = Drawing(L"b.dwg");
    Switch("ask-open=b.dwg\nslow-purge=2\n");
    list().AddItem(a);
    list().AddItem(b);
    struct {
        bool found = false, topmost = true, below = false, inFront = false, topmostAfter = false;
        std::wstring label, labelAfter;
    } seen;
    std::thread user([&] {
        HWND question =
            WaitFor([] { return test::FindDialog(vcad::AskOpenTitle, StandInHost::ProcessId()); });
        if (!(seen.found = question != nullptr))
            return;
        Sleep(3000); // past the time a call is looked at after, and a look
        HWND progress = Form3::Instance().hWnd();
        seen.topmost = Topmost(progress);
        seen.below = Below(progress, question);
        seen.inFront = GetForegroundWindow() == question;
        seen.label = Label(Form3::Label1);
        PostMessageW(question, WM_COMMAND, IDOK, 0);
        Sleep(1500); // PurgeAll of b, not yet looked at
        seen.topmostAfter = Topmost(progress);
        seen.labelAfter = Label(Form3::Label1);
    });
    ClickCommand9();
    user.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.label, CadWaitsText);
    EXPECT_FALSE(seen.topmost);
    EXPECT_TRUE(seen.below);
    EXPECT_TRUE(seen.inFront);
    EXPECT_EQ(seen.labelAfter, L"正在清理第 2 页   共 2 页");
    EXPECT_TRUE(seen.topmostAfter);
    EXPECT_TRUE(Saved(b));
    EXPECT_EQ(Label(Form3::Label1), CompletedText);
    EXPECT_TRUE(Topmost(Form3::Instance().hWnd()));
}

// A call that is only slow changes nothing: no question of CAD's, the
// progress window stays topmost with its progress text.
TEST_F(HostRun, ASlowCallWithoutAQuestionChangesNothing) {
    const std::wstring a = Drawing(L"a.dwg");
    Switch("slow-purge=4\n");
    list().AddItem(a);
    bool topmost = false;
    std::wstring label;
    std::thread user([&] {
        if (!WaitFor([&] { return Count(L"PurgeAll|@" + a) ? GetDesktopWindow() : nullptr; }))
            return;
        Sleep(3000);
        topmost = Topmost(Form3::Instance().hWnd());
        label = Label(Form3::Label1);
    });
    ClickCommand9();
    user.join();
    EXPECT_TRUE(topmost);
    EXPECT_EQ(label, L"正在清理第 1 页   共 1 页");
    EXPECT_TRUE(Saved(a));
}

// A stop asked for during a slow call: the question comes while the call
// runs, the run goes no further while it is open, and Yes ends the run once
// that drawing is saved, with the stopped text and the end time, the user's
// proxy notice back, the list kept and the next drawing selected.
TEST_F(HostRun, AStopAskedDuringASlowCallEndsTheRunAfterThatDrawing) {
    boxes.Stop(); // the question is answered here
    const std::wstring a = Drawing(L"a.dwg"), b = Drawing(L"b.dwg"), c = Drawing(L"c.dwg");
    Switch("slow-purge=2\n");
    for (const auto& p : {a, b, c})
        list().AddItem(p);
    MessageBoxInfo question;
    bool inCall = false, openedWhileAsked = true;
    std::thread user([&] {
        if (!WaitFor([&] { return Count(L"PurgeAll|@" + a) ? GetDesktopWindow() : nullptr; }))
            return;
        PostMessageW(Form3::Instance().hWnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
        HWND box = WaitFor([] { return test::FindDialog(std::wstring(AppTitle)); }, 5000);
        if (!box)
            return;
        inCall = Count(L"Close|") == 0; // asked while PurgeAll of a runs
        Sleep(50);
        question = test::ReadMessageBox(box);
        WaitFor([&] { return Count(L"Close|True|@" + a) ? GetDesktopWindow() : nullptr; });
        Sleep(1000);
        openedWhileAsked = Count(L"Open|" + b) > 0;
        PostMessageW(box, WM_COMMAND, IDYES, 0);
    });
    ClickCommand9();
    user.join();
    EXPECT_EQ(question.text, StopQuestionText);
    EXPECT_EQ(question.owner, Form3::Instance().hWnd());
    EXPECT_TRUE(inCall);
    EXPECT_FALSE(openedWhileAsked);
    EXPECT_TRUE(Saved(a));
    EXPECT_EQ(Count(L"Open|" + b), 0);
    EXPECT_EQ(Count(L"Open|" + c), 0);
    EXPECT_TRUE(InOrder({L"Close|True|@" + a, L"SetVariable|PROXYNOTICE|1|@Drawing1.dwg"}));
    EXPECT_EQ(Label(Form3::Label1), StoppedText);
    EXPECT_FALSE(Label(Form3::Label5).empty());
    EXPECT_EQ(list().Items(), (std::vector<std::wstring>{b, c}));
    EXPECT_EQ(SelectedEntries(), std::vector<int>{0});
}

// ---- after a failed drawing: skip, skip all, retry, stop ----

// Presses the button of that text in a dialog.
void PressButton(HWND dialog, std::wstring_view text) {
    for (HWND b = FindWindowExW(dialog, nullptr, L"Button", nullptr); b;
         b = FindWindowExW(dialog, b, L"Button", nullptr))
        if (test::WindowText(b) == text)
            PostMessageW(b, BM_CLICK, 0, 0);
}

// 全部跳过 at the first of two read-only drawings skips both, asking once;
// the run completes, lists them in one box, and leaves just them.
TEST_F(HostRun, SkipAllSkipsEveryFailedDrawingAndListsThem) {
    boxes.Stop(); // the boxes are answered here
    const std::wstring a = Drawing(L"1.dwg"), b = Drawing(L"2.dwg"), c = Drawing(L"3.dwg"),
                       d = Drawing(L"4.dwg");
    for (const auto& p : {b, d})
        SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_READONLY);
    for (const auto& p : {a, b, c, d})
        list().AddItem(p);
    std::vector<MessageBoxInfo> seen;
    std::thread user([&] {
        for (const std::wstring_view answer : {SkipAllButtonText, std::wstring_view()}) {
            HWND box = WaitFor([] { return test::FindDialog(L""); });
            if (!box)
                return;
            Sleep(50);
            seen.push_back(test::ReadMessageBox(box));
            if (answer.empty())
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            else
                PressButton(box, answer);
            WaitFor([box] { return IsWindow(box) ? nullptr : GetDesktopWindow(); }, 5000);
        }
    });
    ClickCommand9();
    user.join();
    for (const auto& p : {b, d})
        SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, FailureText(errnum::PermissionDenied, ReadOnlyText, b));
    EXPECT_EQ(seen[1].title, AppTitle);
    EXPECT_EQ(seen[1].text, SkippedReport(std::vector<SkippedDrawing>{
                                {b, std::wstring(ReadOnlyText)}, {d, std::wstring(ReadOnlyText)}}));
    EXPECT_TRUE(seen[1].hasIcon);
    EXPECT_EQ(seen[1].owner, Form3::Instance().hWnd());
    EXPECT_TRUE(Saved(a));
    EXPECT_TRUE(Saved(c));
    EXPECT_EQ(Bytes(b), Unsaved("drawing\n"));
    EXPECT_EQ(Bytes(d), Unsaved("drawing\n"));
    EXPECT_EQ(Label(Form3::Label1), CompletedText);
    DoubleClickProgress();
    EXPECT_EQ(list().Items(), (std::vector<std::wstring>{b, d}));
    EXPECT_EQ(SelectedEntries(), std::vector<int>{0});
}

// 重试 after the user cleared the drawing's read-only mark: it is purged and
// saved, and the run completes with nothing left.
TEST_F(HostRun, RetryAfterTheReadOnlyMarkWasClearedSavesTheDrawing) {
    boxes.Stop();
    const std::wstring a = Drawing(L"1.dwg"), b = Drawing(L"2.dwg");
    SetFileAttributesW(a.c_str(), FILE_ATTRIBUTE_READONLY);
    list().AddItem(a);
    list().AddItem(b);
    MessageBoxInfo seen;
    std::thread user([&] {
        HWND box = WaitFor([] { return test::FindDialog(L""); });
        if (!box)
            return;
        Sleep(50);
        seen = test::ReadMessageBox(box);
        SetFileAttributesW(a.c_str(), FILE_ATTRIBUTE_NORMAL);
        PressButton(box, RetryButtonText);
    });
    ClickCommand9();
    user.join();
    SetFileAttributesW(a.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(seen.text, FailureText(errnum::PermissionDenied, ReadOnlyText, a));
    EXPECT_EQ(Count(L"Open|" + a), 2);
    EXPECT_TRUE(Saved(a));
    EXPECT_TRUE(Saved(b));
    EXPECT_EQ(Label(Form3::Label1), CompletedText);
    EXPECT_EQ(list().ListCount(), 0);
}

// 停止 (what the box collector presses) leaves the failed drawing and those
// after it; the next run goes on there, opening only those.
TEST_F(HostRun, AfterAStopTheNextRunOpensOnlyTheDrawingsLeft) {
    const std::wstring a = Drawing(L"1.dwg"), b = Drawing(L"2.dwg"), c = Drawing(L"3.dwg");
    Switch("open-fails=2.dwg\n");
    for (const auto& p : {a, b, c})
        list().AddItem(p);
    ClickCommand9();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    DoubleClickProgress();
    EXPECT_EQ(list().Items(), (std::vector<std::wstring>{b, c}));
    Switch("");
    ClickCommand9();
    EXPECT_EQ(Count(L"Open|" + a), 1);
    EXPECT_EQ(Count(L"Open|" + b), 2);
    EXPECT_EQ(Count(L"Open|" + c), 1);
    for (const auto& p : {a, b, c})
        EXPECT_TRUE(Saved(p));
    EXPECT_EQ(list().ListCount(), 0);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
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
    EXPECT_TRUE(seen[0].text.starts_with(L"操作不当！\n\n图纸：" + b + L"\n"));
    EXPECT_TRUE(seen[0].text.ends_with(HostGoneText)) << testing::PrintToString(seen[0].text);
    EXPECT_TRUE(Saved(a));
    EXPECT_EQ(Bytes(b), Unsaved("second\n"));
    EXPECT_EQ(Bytes(c), Unsaved("third\n"));
    EXPECT_EQ(list().Items(), (std::vector<std::wstring>{b, c}));
    EXPECT_EQ(Label(Form3::Label1), Progress2of3);
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

// The child of AKilledRunsProxyNoticeIsPutBackByTheNextRun: a run over the
// drawing the variable names, which the parent ends from outside.
TEST(KilledRunChild, RunsUntilItIsEnded) {
    wchar_t drawing[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(KilledRunVariable, drawing, MAX_PATH))
        GTEST_SKIP() << "runs in the child process of HostRun.AKilledRuns...";
    varnofrm& main = varnofrm::Instance();
    main.Show();
    main.DrawingList2().AddItem(drawing);
    Win32PurgeView view(main);
    Win32DrawingFiles files;
    Win32ProxyNoticeRecords records;
    RunPurge(TheAutomation(), main.DrawingList2(), view, files, records);
}

} // namespace
} // namespace varno::win
