// Dropping files and folders onto the main window under Wine: a real HDROP,
// delivered to the window procedure as WM_DROPFILES delivers it, over a real
// folder tree with Chinese names and spaces.
#include "mainwindow/varnofrm.h"

#include "support/DialogDriver.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace varno::win {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::wstring>;

// A DROPFILES block in global memory, wide paths, as a drag source hands it over.
HDROP MakeDrop(const Paths& paths) {
    size_t chars = 1;
    for (const auto& p : paths)
        chars += p.size() + 1;
    HGLOBAL h = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* block = static_cast<DROPFILES*>(GlobalLock(h));
    block->pFiles = sizeof(DROPFILES);
    block->fWide = TRUE;
    auto* at = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(block) + sizeof(DROPFILES));
    for (const auto& p : paths) {
        std::memcpy(at, p.c_str(), p.size() * sizeof(wchar_t));
        at += p.size() + 1; // GHND zeroed the terminators
    }
    GlobalUnlock(h);
    return static_cast<HDROP>(h);
}

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
