// Dropping files and folders onto the main window under Wine: a real HDROP,
// delivered to the window procedure as WM_DROPFILES delivers it, or handed
// over by OLE's DoDragDrop to the window's drop target, over a real folder
// tree with Chinese names and spaces.
#include "mainwindow/varnofrm.h"

#include "support/DialogDriver.h"
#include "support/RealInput.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

namespace varno::win {
namespace {

namespace fs = std::filesystem;
using test::MakeDrop;
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
    // What the system does for a drop at a point: the window under it, or its
    // nearest ancestor that takes dropped files, receives WM_DROPFILES.
    static HWND DropTargetAt(POINT pt) {
        HWND h = WindowFromPoint(pt);
        while (h && !(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_ACCEPTFILES))
            h = GetParent(h);
        return h;
    }
    // Drops the paths onto the window, and checks that the drop's memory is released.
    void DropOnto(HWND target, const Paths& paths) {
        HDROP drop = MakeDrop(paths);
        SendMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        EXPECT_EQ(GlobalSize(drop), 0u) << "DragFinish was not called";
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
// it. Lives on the test's stack; counting references only.
class OneFormatData final : public IDataObject {
  public:
    OneFormatData(CLIPFORMAT format, HGLOBAL data) : format_(format), data_(data) {}
    ~OneFormatData() { GlobalFree(data_); }
    OneFormatData(const OneFormatData&) = delete;
    OneFormatData& operator=(const OneFormatData&) = delete;
    // The copy the last GetData handed out: the receiver must release it.
    HGLOBAL lastHandedOut = nullptr;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDataObject) {
            *ppv = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override { return --refs_; }

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
    ULONG refs_ = 1;
    CLIPFORMAT format_;
    HGLOBAL data_;
};

// A drag that holds still at the cursor for a few of OLE's ticks, then
// drops; it notes every effect the target answered.
class DropAfterAWhile final : public IDropSource {
  public:
    std::vector<DWORD> effects;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDropSource) {
            *ppv = static_cast<IDropSource*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override { return --refs_; }
    STDMETHODIMP QueryContinueDrag(BOOL, DWORD) override {
        return ++ticks_ < 4 ? S_OK : DRAGDROP_S_DROP;
    }
    STDMETHODIMP GiveFeedback(DWORD effect) override {
        effects.push_back(effect);
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }

  private:
    ULONG refs_ = 1;
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
        return {hr, effect, source.effects, released, std::move(atOnce)};
    }
    static bool Showed(const std::vector<DWORD>& shown, DWORD effect) {
        return std::find(shown.begin(), shown.end(), effect) != shown.end();
    }
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
    std::wstring deep = root.wstring();
    while (deep.size() < MAX_PATH + 20) {
        deep += L"\\" + std::wstring(40, L'长');
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    }
    HANDLE f = CreateFileW((L"\\\\?\\" + deep + L"\\x.dwg").c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_NEW, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
    got.clear();
    EXPECT_EQ(reader.KindOf(deep), EntryKind::Folder);
    ASSERT_TRUE(reader.Read(deep, got));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].name, L"x.dwg");

    // The plain paths cannot remove these: bottom up, through "\\?\".
    DeleteFileW((L"\\\\?\\" + deep + L"\\x.dwg").c_str());
    for (; deep.size() > root.wstring().size(); deep.resize(deep.rfind(L'\\')))
        RemoveDirectoryW((L"\\\\?\\" + deep).c_str());
}

} // namespace
} // namespace varno::win
