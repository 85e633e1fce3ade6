// Dropping files and folders onto the main window under Wine: a real HDROP,
// delivered to the window procedure as WM_DROPFILES delivers it, or handed
// over by OLE's DoDragDrop to the window's drop target, over a real folder
// tree with Chinese names and spaces; the walk beside the window, cancelled
// by Esc.
#include "mainwindow/varnofrm.h"

#include "mainwindow/DropDrawings.h"
#include "support/DialogDriver.h"
#include "support/RealInput.h"
#include "support/UnixLink.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>

namespace varno::win {
namespace {

namespace fs = std::filesystem;
using test::MakeDrop;
using test::UnixLink;
using Paths = std::vector<std::wstring>;

// The list box's order: its locale's collation, letter case ignored.
void SortLikeTheList(Paths& paths) {
    std::sort(paths.begin(), paths.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
               CSTR_LESS_THAN;
    });
}

class DropOnMainWindow : public testing::Test {
  protected:
    void SetUp() override {
        form.Show();
        list().Clear();
        root = fs::temp_directory_path() / L"varno 拖放";
        std::error_code ec;
        fs::remove_all(root, ec);
        fs::create_directories(root);
    }
    void TearDown() override {
        form.DropFolders = std::make_shared<Win32FolderReader>();
        list().Clear();
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    std::wstring File(const std::wstring& relative) {
        const fs::path p = root / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "x";
        return p.wstring();
    }
    std::wstring Folder(const std::wstring& relative) {
        fs::create_directories(root / relative);
        return (root / relative).wstring();
    }
    // Folders below `under` until the path is past MAX_PATH, with a drawing
    // x.dwg at the bottom; the path of the deepest. The plain paths cannot
    // make or remove these: "\\?\" can.
    static std::wstring DeepFolderWithADrawing(std::wstring under) {
        while (under.size() < MAX_PATH + 20) {
            under += L"\\" + std::wstring(40, L'长');
            EXPECT_TRUE(CreateDirectoryW((L"\\\\?\\" + under).c_str(), nullptr));
        }
        HANDLE f = CreateFileW((L"\\\\?\\" + under + L"\\x.dwg").c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_NEW, 0, nullptr);
        EXPECT_NE(f, INVALID_HANDLE_VALUE);
        CloseHandle(f);
        return under;
    }
    // Removes them again, bottom up, up to `top`.
    static void RemoveDeepFolder(std::wstring deep, size_t top) {
        DeleteFileW((L"\\\\?\\" + deep + L"\\x.dwg").c_str());
        for (; deep.size() > top; deep.resize(deep.rfind(L'\\')))
            RemoveDirectoryW((L"\\\\?\\" + deep).c_str());
    }
    // What the system does for a drop at a point: the window under it, or its
    // nearest ancestor that takes dropped files, receives WM_DROPFILES.
    static HWND DropTargetAt(POINT pt) {
        HWND h = WindowFromPoint(pt);
        while (h && !(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_ACCEPTFILES))
            h = GetParent(h);
        return h;
    }
    // Drops the paths onto the window, and checks that the drop's memory is released.
    void Drop(HWND target, const Paths& paths) {
        HDROP drop = MakeDrop(paths);
        SendMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        EXPECT_EQ(GlobalSize(drop), 0u) << "DragFinish was not called";
    }
    // ... and waits while its folders are walked.
    void DropOnto(HWND target, const Paths& paths) {
        Drop(target, paths);
        WaitForTheWalk();
    }
    void WaitForTheWalk() {
        test::PumpMessagesFor(15000, [this] { return !form.DropWalking(); });
        EXPECT_FALSE(form.DropWalking()) << "the walk did not end";
    }
    ListBoxList& list() { return form.DrawingList2(); }
    Paths entries() { return list().Items(); }
    varnofrm& form = varnofrm::Instance();
    fs::path root;
};

TEST_F(DropOnMainWindow, AddsDroppedDrawingsAndEveryDrawingInDroppedFolders) {
    const std::wstring plan = File(L"site plan 2.dwg");
    const std::wstring upper = File(L"总图 A.DWG");
    const std::wstring text = File(L"说明.txt");
    const std::wstring one = File(L"项目 一\\1.dwg");
    const std::wstring two = File(L"项目 一\\二层 平面.Dwg");
    File(L"项目 一\\template.dwt");
    File(L"项目 一\\1.dwg.bak");
    const std::wstring deep = File(L"项目 一\\子 目录\\更深\\深 层.dWG");
    const std::wstring named = File(L"项目 一\\旧.dwg\\inside.dwg"); // a folder named like one
    const std::wstring empty = Folder(L"空 文件夹");
    const std::wstring project = (root / L"项目 一").wstring();

    list().AddItem(one); // already listed
    DropOnto(form.hWnd(), {text, plan, project, empty, upper, plan, root.wstring() + L"\\不存在"});
    Paths want = {plan, upper, one, two, deep, named};
    SortLikeTheList(want);
    EXPECT_EQ(entries(), want);

    // The same drop again adds nothing; the same file named in other letter
    // case is another text, so another entry, as with the file dialog.
    DropOnto(form.hWnd(), {project, plan});
    EXPECT_EQ(entries(), want);
    const std::wstring shouted = root.wstring() + L"\\SITE PLAN 2.DWG";
    DropOnto(form.hWnd(), {shouted});
    const Paths now = entries();
    EXPECT_EQ(now.size(), want.size() + 1);
    EXPECT_EQ(std::count(now.begin(), now.end(), shouted), 1);
}

TEST_F(DropOnMainWindow, OntoTheListWithNothingToAddLeavesTheListAsItWas) {
    const std::wstring kept = File(L"kept.dwg");
    list().AddItem(kept);
    HWND lb = form.Control(varnofrm::List2);
    SendMessageW(lb, LB_SETSEL, TRUE, 0);
    SetForegroundWindow(form.hWnd());

    RECT r;
    GetWindowRect(lb, &r);
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ASSERT_EQ(WindowFromPoint(centre), lb);
    HWND target = DropTargetAt(centre);
    ASSERT_EQ(target, form.hWnd()) << "a drop over the list reaches no handler";

    // No drawing at all: an empty folder, other files, a drawing already listed.
    test::DialogWatcher anyBox(L"", test::CancelDialog, 1000);
    DropOnto(target, {Folder(L"空"), File(L"a.txt"), File(L"b.dwgx"), kept});
    EXPECT_EQ(entries(), Paths{kept});
    EXPECT_GT(SendMessageW(lb, LB_GETSEL, 0, 0), 0); // its selection untouched

    // Drawings added around a selected entry leave it selected.
    const std::wstring a = File(L"子\\a.dwg"), z = File(L"子\\z.dwg");
    DropOnto(target, {(root / L"子").wstring()});
    Paths want = {a, kept, z};
    SortLikeTheList(want);
    EXPECT_EQ(entries(), want);
    const auto at = std::find(want.begin(), want.end(), kept) - want.begin();
    EXPECT_GT(SendMessageW(lb, LB_GETSEL, static_cast<WPARAM>(at), 0), 0);
    EXPECT_EQ(SendMessageW(lb, LB_GETSELCOUNT, 0, 0), 1);

    EXPECT_FALSE(anyBox.Join()) << "a drop showed a message";
}

// The data of a drag: one format in global memory, as a drag source offers
// it. Lives on the test's stack: COM's references do not own it.
class OneFormatData final : public UncountedComObject<IDataObject> {
  public:
    OneFormatData(CLIPFORMAT format, HGLOBAL data) : format_(format), data_(data) {}
    ~OneFormatData() { GlobalFree(data_); }
    OneFormatData(const OneFormatData&) = delete;
    OneFormatData& operator=(const OneFormatData&) = delete;
    // The copy the last GetData handed out: the receiver must release it.
    HGLOBAL lastHandedOut = nullptr;

    STDMETHODIMP GetData(FORMATETC* f, STGMEDIUM* m) override {
        if (QueryGetData(f) != S_OK)
            return DV_E_FORMATETC;
        const SIZE_T size = GlobalSize(data_);
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
        std::memcpy(GlobalLock(copy), GlobalLock(data_), size);
        GlobalUnlock(data_);
        GlobalUnlock(copy);
        m->tymed = TYMED_HGLOBAL;
        m->hGlobal = lastHandedOut = copy;
        m->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* f) override {
        return f && f->cfFormat == format_ && (f->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        FORMATETC f{format_, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return SHCreateStdEnumFmtEtc(1, &f, out);
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

  private:
    CLIPFORMAT format_;
    HGLOBAL data_;
};

// A drag that holds still at the cursor for a few of OLE's ticks, then
// drops; it notes every effect the target answered. Lives on the test's
// stack too.
class DropAfterAWhile final : public UncountedComObject<IDropSource> {
  public:
    std::vector<DWORD> effects;

    STDMETHODIMP QueryContinueDrag(BOOL, DWORD) override {
        return ++ticks_ < 4 ? S_OK : DRAGDROP_S_DROP;
    }
    STDMETHODIMP GiveFeedback(DWORD effect) override {
        effects.push_back(effect);
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }

  private:
    int ticks_ = 0;
};

class OleDropOnMainWindow : public DropOnMainWindow {
  protected:
    struct Outcome {
        HRESULT result;
        DWORD effect;             // what DoDragDrop reports to the source
        std::vector<DWORD> shown; // the effects answered while dragging
        bool released;            // the data handed to the target was released
        Paths listedAtOnce;       // the list as DoDragDrop returns
    };
    // Drags the data from the centre of the list and drops it there, as a
    // file manager does: through DoDragDrop, with copy and move allowed.
    Outcome DragOntoTheList(CLIPFORMAT format, HGLOBAL data) {
        RECT r;
        GetWindowRect(form.Control(varnofrm::List2), &r);
        const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        SetForegroundWindow(form.hWnd());
        SetCursorPos(centre.x, centre.y);
        POINT at{};
        GetCursorPos(&at);
        EXPECT_EQ(at.x, centre.x);
        EXPECT_EQ(at.y, centre.y);

        OneFormatData object(format, data);
        DropAfterAWhile source;
        DWORD effect = 0;
        const HRESULT hr = DoDragDrop(&object, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
        const bool released = !object.lastHandedOut || GlobalSize(object.lastHandedOut) == 0;
        Paths atOnce = entries();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (!holding)
            WaitForTheWalk();
        return {hr, effect, source.effects, released, std::move(atOnce)};
    }
    static bool Showed(const std::vector<DWORD>& shown, DWORD effect) {
        return std::find(shown.begin(), shown.end(), effect) != shown.end();
    }
    bool holding = false; // a held walk is under way: don't wait for it
};

TEST_F(OleDropOnMainWindow, FilesDraggedThroughOleAreAddedAndOtherDataIsRefused) {
    const std::wstring listed = File(L"已有 图.dwg");
    const std::wstring plan = File(L"site plan.DWG");
    const std::wstring inner = File(L"项目 二\\楼层\\三层.dwg");
    File(L"项目 二\\readme.txt");
    list().AddItem(listed);

    const Outcome dropped =
        DragOntoTheList(CF_HDROP, MakeDrop({plan, (root / L"项目 二").wstring(), listed}));
    EXPECT_EQ(dropped.result, DRAGDROP_S_DROP);
    EXPECT_EQ(dropped.effect, static_cast<DWORD>(DROPEFFECT_COPY));
    ASSERT_FALSE(dropped.shown.empty()) << "the drag never ran";
    EXPECT_TRUE(Showed(dropped.shown, DROPEFFECT_COPY));
    EXPECT_FALSE(Showed(dropped.shown, DROPEFFECT_MOVE));
    EXPECT_TRUE(dropped.released) << "the dropped data was not released";
    // The source is free before the folders are walked.
    EXPECT_EQ(dropped.listedAtOnce, Paths{listed});
    Paths want = {listed, plan, inner};
    SortLikeTheList(want);
    EXPECT_EQ(entries(), want);

    // Text, not files: the copy cursor never shows and nothing is added.
    const std::wstring text = File(L"other.dwg");
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(GlobalLock(h), text.c_str(), bytes);
    GlobalUnlock(h);
    const Outcome refused = DragOntoTheList(CF_UNICODETEXT, h);
    EXPECT_EQ(refused.effect, static_cast<DWORD>(DROPEFFECT_NONE));
    ASSERT_FALSE(refused.shown.empty());
    for (DWORD e : refused.shown)
        EXPECT_EQ(e, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(entries(), want);
}

// While the window is disabled (a run works) every drop is refused: the drag
// shows the no-drop cursor, and a WM_DROPFILES is released and ignored.
TEST_F(OleDropOnMainWindow, ADisabledWindowRefusesEveryDrop) {
    const std::wstring plan = File(L"plan.dwg");
    EnableWindow(form.hWnd(), FALSE);
    const Outcome dragged = DragOntoTheList(CF_HDROP, MakeDrop({plan}));
    DropOnto(form.hWnd(), {plan});
    EnableWindow(form.hWnd(), TRUE);
    EXPECT_EQ(dragged.effect, static_cast<DWORD>(DROPEFFECT_NONE));
    ASSERT_FALSE(dragged.shown.empty()) << "the drag never ran";
    for (DWORD e : dragged.shown)
        EXPECT_EQ(e, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_TRUE(entries().empty());
    DropOnto(form.hWnd(), {plan}); // enabled again: taken
    EXPECT_EQ(entries(), Paths{plan});
}

// The disk, with every listing held until the test lets the walk go on.
class HeldFolders : public FolderReader {
  public:
    EntryKind KindOf(const std::wstring& path) override { return disk_.KindOf(path); }
    std::optional<FolderId> IdOf(const std::wstring& folder) override { return disk_.IdOf(folder); }
    bool Read(const std::wstring& folder, std::vector<FolderEntry>& out) override {
        std::unique_lock lock(m_);
        reading_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
        return disk_.Read(folder, out);
    }
    bool WaitUntilReading() {
        std::unique_lock lock(m_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return reading_; });
    }
    void Release() {
        std::lock_guard lock(m_);
        released_ = true;
        changed_.notify_all();
    }

  private:
    Win32FolderReader disk_;
    std::mutex m_;
    std::condition_variable changed_;
    bool reading_ = false, released_ = false;
};

TEST_F(OleDropOnMainWindow, EscCancelsAWalkAndDropsAndListCommandsWaitForIt) {
    const std::wstring kept = File(L"kept.dwg");
    const std::wstring first = File(L"第一次\\a.dwg");
    const std::wstring second = File(L"第二次\\b.dwg");
    list().AddItem(kept);
    auto held = std::make_shared<HeldFolders>();
    form.DropFolders = held;
    test::DialogWatcher anyBox(L"", test::CancelDialog, 3000);

    Drop(form.hWnd(), {(root / L"第一次").wstring()});
    ASSERT_TRUE(held->WaitUntilReading());
    ASSERT_TRUE(form.DropWalking());
    // The window answers meanwhile, with the app-starting cursor over it.
    HWND lb = form.Control(varnofrm::List2);
    SendMessageW(lb, WM_SETCURSOR, reinterpret_cast<WPARAM>(lb),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_APPSTARTING));

    // A second drop, either way, and the list's commands are refused.
    Drop(form.hWnd(), {(root / L"第二次").wstring()});
    holding = true;
    const Outcome refused = DragOntoTheList(CF_HDROP, MakeDrop({second}));
    EXPECT_EQ(refused.effect, static_cast<DWORD>(DROPEFFECT_NONE));
    for (DWORD e : refused.shown)
        EXPECT_EQ(e, static_cast<DWORD>(DROPEFFECT_NONE));
    for (int command : {varnofrm::xpcmdbutton6, varnofrm::Command9, varnofrm::xpcmdbutton9})
        SendMessageW(form.Control(command), BM_CLICK, 0, 0);
    EXPECT_EQ(entries(), Paths{kept});

    // Esc frees the window at once, the walk still held; let go, it adds nothing.
    SetForegroundWindow(form.hWnd());
    SetFocus(lb);
    test::PressKey(VK_ESCAPE);
    test::PumpMessagesFor(2000, [this] { return !form.DropWalking(); });
    EXPECT_FALSE(form.DropWalking()) << "Esc did not cancel the walk";
    held->Release();
    test::PumpMessagesFor(500);
    EXPECT_EQ(entries(), Paths{kept});
    EXPECT_FALSE(anyBox.Join()) << "a refused command showed a message";

    // The next drop is taken again.
    DropOnto(form.hWnd(), {(root / L"第一次").wstring()});
    Paths want = {kept, first};
    SortLikeTheList(want);
    EXPECT_EQ(entries(), want);
}

// The reader behind the drop on a real disk: what it lists, and what it cannot read.
TEST_F(DropOnMainWindow, FolderReaderListsFoldersLinksAndDeepPaths) {
    File(L"r\\a.dwg");
    Folder(L"r\\sub");
    Win32FolderReader reader;
    std::vector<FolderEntry> got;
    ASSERT_TRUE(reader.Read((root / L"r").wstring(), got));
    std::sort(got.begin(), got.end(),
              [](const FolderEntry& x, const FolderEntry& y) { return x.name < y.name; });
    ASSERT_EQ(got.size(), 2u); // no "." or ".."
    EXPECT_EQ(got[0].name, L"a.dwg");
    EXPECT_EQ(got[0].kind, EntryKind::File);
    EXPECT_EQ(got[1].name, L"sub");
    EXPECT_EQ(got[1].kind, EntryKind::Folder);

    got.clear();
    EXPECT_TRUE(reader.Read((root / L"r\\sub").wstring(), got));
    EXPECT_TRUE(got.empty());
    // A folder that is not there cannot be read; the walk skips it.
    EXPECT_FALSE(reader.Read((root / L"不存在").wstring(), got));
    EXPECT_EQ(reader.KindOf((root / L"不存在").wstring()), EntryKind::Missing);
    EXPECT_EQ(reader.KindOf((root / L"r\\a.dwg").wstring()), EntryKind::File);

    // Beyond MAX_PATH the plain form fails; the reader still lists the folder.
    const std::wstring deep = DeepFolderWithADrawing(root.wstring());
    got.clear();
    EXPECT_EQ(reader.KindOf(deep), EntryKind::Folder);
    ASSERT_TRUE(reader.Read(deep, got));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].name, L"x.dwg");
    RemoveDeepFolder(deep, root.wstring().size());
}

TEST_F(DropOnMainWindow, FollowsALinkLoopOnceAndTellsWhatItSkipped) {
    const std::wstring a = File(L"树\\a.dwg"), b = File(L"树\\下\\b.DWG");
    const std::wstring bin = Folder(L"树\\$RECYCLE.BIN");
    File(L"树\\$RECYCLE.BIN\\$IAB12.dwg");
    ASSERT_TRUE(SetFileAttributesW(bin.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    const UnixLink loop(Folder(L"树\\下"), L"up", L"..");
    ASSERT_TRUE(loop.Made());
    // Wine tells no tag of the link: it is a link all the same.
    std::vector<FolderEntry> listed;
    ASSERT_TRUE(Win32FolderReader().Read(Folder(L"树\\下"), listed));
    EXPECT_TRUE(std::any_of(listed.begin(), listed.end(), [](const FolderEntry& e) {
        return e.name == L"up" && e.kind == EntryKind::LinkedFolder;
    }));
    const std::wstring deep = DeepFolderWithADrawing(Folder(L"树\\深"));

    test::SeenBox seen;
    const auto watcher = test::CloseMessageBox(L"批量清理", seen);
    DropOnto(form.hWnd(), {(root / L"树").wstring()});
    EXPECT_TRUE(watcher->Join());
    Paths want = {a, b};
    SortLikeTheList(want);
    EXPECT_EQ(entries(), want);
    EXPECT_EQ(seen.info.text, DropReportText({.added = 2, .tooLong = 1}));
    EXPECT_FALSE(seen.info.hasIcon);
    RemoveDeepFolder(deep, (root / L"树\\深").wstring().size());
}

} // namespace
} // namespace varno::win
