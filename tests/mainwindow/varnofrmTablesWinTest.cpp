// What the main window's tables promise, seen where the program hands them to
// the system: the add dialog CommonDialog1 as GetOpenFileNameW receives it
// and as the real dialog shows it (its 32000-character buffer, the failure of
// an answer too long for a buffer, the cancel error), and the help viewer
// called by "  帮   助" and by F1. The control table at each DPI is checked
// in HighDpiWinTest.cpp.
#include "app/Error.h"
#include "mainwindow/varnofrm.h"
#include "platform/App.h"
#include "platform/CommonDialog.h"
#include "promo/adfrm.h"

#include "support/DialogDriver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace varno::win {
namespace {

// An OPENFILENAMEW as the dialog was given it.
struct SeenDialog {
    bool seen = false;
    HWND owner = nullptr;
    DWORD flags = 0;
    std::wstring filter; // with its NULs, up to the double NUL
    std::wstring title;
    DWORD maxFile = 0;
    std::wstring file;
    bool initialDir = false, defaultExt = false;
    DWORD filterIndex = 0;
};

SeenDialog Read(const OPENFILENAMEW& ofn) {
    SeenDialog d;
    d.seen = true;
    d.owner = ofn.hwndOwner;
    d.flags = ofn.Flags;
    if (const wchar_t* f = ofn.lpstrFilter) {
        size_t n = 0;
        while (f[n] || f[n + 1])
            ++n;
        d.filter.assign(f, n + 2);
    }
    d.title = ofn.lpstrTitle ? ofn.lpstrTitle : L"";
    d.maxFile = ofn.nMaxFile;
    d.file = ofn.lpstrFile ? ofn.lpstrFile : L"";
    d.initialDir = ofn.lpstrInitialDir != nullptr;
    d.defaultExt = ofn.lpstrDefExt != nullptr;
    d.filterIndex = ofn.nFilterIndex;
    return d;
}

class MainWindowTables : public testing::Test {
  protected:
    void SetUp() override {
        WebBrowser::SetNavigateHook([](HWND, std::wstring_view) {});
        form.Show();
        form.DrawingList2().Clear();
    }
    void TearDown() override {
        form.CommonDialog1.BeforeShow = nullptr;
        WebBrowser::SetNavigateHook(nullptr);
    }
    void Click(int id) { SendMessageW(form.Control(id), BM_CLICK, 0, 0); }
    varnofrm& form = varnofrm::Instance();
};

TEST_F(MainWindowTables, CommonDialog1IsShownWithItsSettingsAndCancelFails) {
    SeenDialog seen;
    form.CommonDialog1.BeforeShow = [&](const OPENFILENAMEW& ofn) { seen = Read(ofn); };
    form.CommonDialog1.FileName = L"D:\\earlier answer.dwg"; // emptied before the showing
    form.DrawingList2().AddItem(L"keep.dwg");

    // The real dialog: its title, its one file type, no read-only box.
    std::wstring shownType;
    bool readOnlyBox = true;
    test::DialogWatcher dialog(L"Select File(s)...", [&](HWND h) {
        shownType = test::WindowText(GetDlgItem(h, 0x470)); // the file type box (cmb1)
        HWND box = GetDlgItem(h, 0x410);                    // the read-only box (chx1)
        readOnlyBox = box && IsWindowVisible(box);
        test::CancelDialog(h);
    });
    test::SeenBox box;
    auto closer = test::CloseMessageBox(L"错误", box);
    Click(varnofrm::xpcmdbutton5);
    ASSERT_TRUE(dialog.Join());
    ASSERT_TRUE(closer->Join());

    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.owner, form.hWnd());
    EXPECT_EQ(seen.flags, 0x80204u); // OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY
    EXPECT_EQ(seen.filter, std::wstring(L"图形 (*.dwg)\0*.dwg\0\0", 18));
    EXPECT_EQ(seen.title, L"Select File(s)...");
    EXPECT_EQ(seen.maxFile, 32000u);
    EXPECT_EQ(seen.file, L"");
    EXPECT_FALSE(seen.initialDir);
    EXPECT_FALSE(seen.defaultExt);
    EXPECT_EQ(seen.filterIndex, 0u);
    EXPECT_EQ(shownType, L"图形 (*.dwg)");
    EXPECT_FALSE(readOnlyBox);

    // The cancel error: one stop message, the list as it was.
    EXPECT_EQ(box.info.text, L"请选择文件！");
    EXPECT_TRUE(box.info.hasIcon);
    EXPECT_EQ(form.DrawingList2().Items(), std::vector<std::wstring>{L"keep.dwg"});
}

TEST_F(MainWindowTables, CancelRaisesError32755OnlyWithCancelError) {
    CommonDialog dialog;
    dialog.Owner = form.hWnd();
    dialog.DialogTitle = L"varno cancel";
    {
        test::DialogWatcher watch(L"varno cancel", test::CancelDialog);
        EXPECT_FALSE(dialog.ShowOpen());
        ASSERT_TRUE(watch.Join());
    }
    dialog.CancelError = true;
    test::DialogWatcher watch(L"varno cancel", test::CancelDialog);
    const long number = Trap([&] { dialog.ShowOpen(); });
    ASSERT_TRUE(watch.Join());
    EXPECT_EQ(number, 32755);
}

TEST_F(MainWindowTables, AnAnswerLongerThanTheBufferIsAFailure) {
    CommonDialog dialog;
    dialog.Owner = form.hWnd();
    dialog.DialogTitle = L"varno buffer";
    dialog.MaxFileSize = 16;
    test::DialogWatcher watch(L"varno buffer", [](HWND h) {
        test::AnswerFileDialog(h, L"a name longer than the buffer.dwg");
    });
    const long number = Trap([&] { dialog.ShowOpen(); });
    ASSERT_TRUE(watch.Join());
    EXPECT_EQ(number, errnum::DialogBufferTooSmall);
}

// What the help viewer would have been asked to show.
struct HelpCall {
    HWND caller;
    std::wstring path;
};
std::vector<HelpCall> helpCalls;

TEST_F(MainWindowTables, HelpButtonAndF1OpenVarnoChmBesideTheProgram) {
    helpCalls.clear();
    SetHelpHook([](HWND caller, std::wstring_view path) {
        helpCalls.push_back({caller, std::wstring(path)});
    });
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring expected = exe;
    expected.resize(expected.find_last_of(L'\\'));
    expected += L"\\varno.chm";

    Click(varnofrm::xpcmdbutton4);
    ASSERT_EQ(helpCalls.size(), 1u);
    EXPECT_EQ(helpCalls[0].caller, form.hWnd());
    EXPECT_EQ(helpCalls[0].path, expected);
    EXPECT_EQ(HelpFile(), expected); // stored by the load for F1

    // F1 on a control of the window, through the message loop.
    SetForegroundWindow(form.hWnd());
    SetFocus(form.Control(varnofrm::List2));
    PostMessageW(form.Control(varnofrm::List2), WM_KEYDOWN, VK_F1, 0);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        PumpMessage(msg);
    SetHelpHook(nullptr);
    ASSERT_EQ(helpCalls.size(), 2u);
    EXPECT_EQ(helpCalls[1].caller, form.hWnd());
    EXPECT_EQ(helpCalls[1].path, expected);
}

TEST_F(MainWindowTables, TheHelpCallNamesTheBuiltHelpFile) {
#ifndef VARNO_HELP_BUILT
    GTEST_SKIP() << "varno.chm is not built in this tree (no chmcmd)";
#endif
    helpCalls.clear();
    SetHelpHook([](HWND caller, std::wstring_view path) {
        helpCalls.push_back({caller, std::wstring(path)});
    });
    Click(varnofrm::xpcmdbutton4);
    SetHelpHook(nullptr);
    ASSERT_EQ(helpCalls.size(), 1u);
    // The file the viewer is sent to is a compiled help file: "ITSF" first.
    HANDLE file = CreateFileW(helpCalls[0].path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "no help file at the path the program asks for";
    char magic[4] = {};
    DWORD got = 0;
    ReadFile(file, magic, sizeof magic, &got, nullptr);
    CloseHandle(file);
    EXPECT_EQ(std::string(magic, got), "ITSF");
}

// The system's help viewer opens the help file also where the ANSI code
// page cannot name its folder ("ø" is not in code page 936), as under a
// user's profile named so.
TEST_F(MainWindowTables, TheHelpViewerOpensTheFileFromAnyFolder) {
#ifndef VARNO_HELP_BUILT
    GTEST_SKIP() << "varno.chm is not built in this tree (no chmcmd)";
#endif
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / L"Søren";
    fs::create_directories(dir);
    fs::copy_file(fs::path(HelpFile()).parent_path() / L"varno.chm", dir / L"varno.chm",
                  fs::copy_options::overwrite_existing);
    ShowHelp(form.hWnd(), (dir / L"varno.chm").wstring());
    HWND viewer = FindWindowW(nullptr, L"批量清理 帮助");
    EXPECT_TRUE(viewer) << "the help viewer did not open " << dir / L"varno.chm";
    if (viewer)
        SendMessageW(viewer, WM_CLOSE, 0, 0);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

} // namespace
} // namespace varno::win
