// List files under Wine: the file layer and the code page over the real
// Win32 calls, and the save and read commands of the main window with their
// real dialogs and message boxes answered from a helper thread.
#include "mainwindow/varnofrm.h"

#include "app/FileError.h"
#include "platform/TextFile.h"
#include "support/DialogDriver.h"
#include "support/UnixLink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <thread>

namespace varno::win {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::wstring>;

// "D:\图纸\一层平面.dwg" in code page 936.
const std::string GbkPath = "D:\\\xcd\xbc\xd6\xbd\\\xd2\xbb\xb2\xe3\xc6\xbd\xc3\xe6.dwg";
const std::wstring WidePath = L"D:\\图纸\\一层平面.dwg";

std::string Contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const fs::path& p, std::string_view bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

long ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.Number();
    }
    return 0;
}

// A folder of its own for each test, with a Chinese name.
class ListFileFolder : public testing::Test {
  protected:
    void SetUp() override {
        cwd = fs::current_path();
        dir = fs::temp_directory_path() / L"varno 列表文件";
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        for (const auto& e : fs::directory_iterator(dir))
            SetFileAttributesW(e.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(dir);
    }
    // Names in the folder, to see that no new file was left behind.
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().wstring());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::wstring At(const wchar_t* name) const { return (dir / name).wstring(); }
    fs::path dir;
    fs::path cwd;
};

using TextFileTest = ListFileFolder;

TEST(AnsiCodePage, IsCodePage936WithoutSubstitutes) {
    ASSERT_EQ(GetACP(), 936u) << "the tests run with a Chinese system code page";
    const AnsiCodePage ansi;
    EXPECT_EQ(ansi.Encode(WidePath), GbkPath);
    EXPECT_EQ(ansi.Decode(GbkPath), WidePath);
    EXPECT_EQ(ansi.Encode(L""), "");
    EXPECT_EQ(ansi.Decode(""), L"");
    // No "?" and no best-fit look-alikes.
    EXPECT_EQ(ansi.Encode(L"C:\\한국.dwg"), std::nullopt);
    EXPECT_EQ(ansi.Encode(L"\u0100"), std::nullopt); // Ā: best fit would give "A"
    EXPECT_EQ(ansi.Encode(std::wstring(1, wchar_t(0xD800))), std::nullopt);
    // Bytes that are not text in 936.
    EXPECT_EQ(ansi.Decode("a\xFF"), std::nullopt);
    EXPECT_EQ(ansi.Decode("a\xCD"), std::nullopt);
    EXPECT_EQ(ansi.Decode("\xCD\r\n"), std::nullopt);
}

TEST_F(TextFileTest, ReplacesTheWholeFileAndReadsItBack) {
    const std::wstring f = At(L"列表.txt");
    ReplaceFileWith(f, "first\r\nsecond\r\n");
    EXPECT_EQ(ReadWholeFile(f, 1000), "first\r\nsecond\r\n");
    ReplaceFileWith(f, "x\r\n"); // shorter: nothing of the old content stays
    EXPECT_EQ(Contents(f), "x\r\n");
    ReplaceFileWith(f, "");
    EXPECT_EQ(fs::file_size(f), 0u);
    EXPECT_EQ(ReadWholeFile(f, 1000), "");
    EXPECT_EQ(Names(), Lines{L"列表.txt"});

    const std::string big(3 << 20, 'y');
    ReplaceFileWith(f, big);
    EXPECT_EQ(ReadWholeFile(f, big.size()), big);
    EXPECT_EQ(ErrorOf([&] { ReadWholeFile(f, big.size() - 1); }), errnum::OutOfMemory);

    // In a folder whose path is 240 characters long, where the new file's
    // and the backup's names are longer than the plain form may be on
    // Windows (Wine has no such limit: there this shows that their long
    // forms work).
    fs::path deep = dir;
    while (deep.native().size() < 240)
        deep /= std::wstring(std::min<size_t>(60, 239 - deep.native().size()), L'深');
    ASSERT_EQ(deep.native().size(), 240u);
    fs::create_directories(deep);
    const std::wstring inDeep = (deep / L"l.txt").wstring();
    ReplaceFileWith(inDeep, "first\r\n");
    ReplaceFileWith(inDeep, "second\r\n");
    EXPECT_EQ(ReadWholeFile(inDeep, 100), "second\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(deep), fs::directory_iterator()), 1);
}

TEST_F(TextFileTest, AFailedSaveLeavesTheOldFileAndNoNewOne) {
    const std::wstring ro = At(L"只读.txt");
    Write(ro, "old\r\n");
    SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ErrorOf([&] { ReplaceFileWith(ro, "new\r\n"); }), errnum::PathFileAccess);
    EXPECT_EQ(Contents(ro), "old\r\n");

    // Held open by another program that does not share it.
    const std::wstring held = At(L"held.txt");
    Write(held, "old\r\n");
    HANDLE h = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf([&] { ReplaceFileWith(held, "new\r\n"); }), errnum::PathFileAccess);
    EXPECT_EQ(ErrorOf([&] { ReadWholeFile(held, 100); }), 0); // shared for reading
    CloseHandle(h);
    EXPECT_EQ(Contents(held), "old\r\n");

    fs::create_directory(dir / L"sub");
    EXPECT_EQ(ErrorOf([&] { ReplaceFileWith(At(L"sub"), "x"); }), errnum::PathFileAccess);
    EXPECT_EQ(ErrorOf([&] { ReplaceFileWith(At(L"no such folder\\l.txt"), "x"); }),
              errnum::PathNotFound);
    EXPECT_EQ(ErrorOf([] { ReplaceFileWith(L"", "x"); }), errnum::PathFileAccess);
    EXPECT_EQ(Names(), (Lines{L"held.txt", L"sub", L"只读.txt"}));
}

// The saved file is the old one with new content: what the user or the
// system set on it stays.
TEST_F(TextFileTest, ASaveKeepsTheFilesAttributesAndCreationTime) {
    const std::wstring f = At(L"隐藏.txt");
    Write(f, "old\r\n");
    ASSERT_TRUE(SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    // A creation time long ago, where the file system keeps one of its own.
    FILETIME longAgo{0x5E5B0000, 0x01D00000}; // in 2014
    {
        HANDLE h =
            CreateFileW(f.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        SetFileTime(h, &longAgo, nullptr, nullptr);
        CloseHandle(h);
    }
    WIN32_FILE_ATTRIBUTE_DATA before{};
    ASSERT_TRUE(GetFileAttributesExW(f.c_str(), GetFileExInfoStandard, &before));
    // Wine derives a file's creation time from its modification time and
    // cannot set it; there only the attributes can be checked.
    const bool keepsCreationTimes = CompareFileTime(&before.ftCreationTime, &longAgo) == 0;

    ReplaceFileWith(f, "new\r\n");
    EXPECT_EQ(Contents(f), "new\r\n");
    WIN32_FILE_ATTRIBUTE_DATA after{};
    ASSERT_TRUE(GetFileAttributesExW(f.c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(after.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    if (keepsCreationTimes) {
        EXPECT_EQ(CompareFileTime(&after.ftCreationTime, &longAgo), 0);
    }
    EXPECT_EQ(Names(), Lines{L"隐藏.txt"}); // no new file, no backup left

    // A file that did not exist is simply created.
    const std::wstring fresh = At(L"新.txt");
    ReplaceFileWith(fresh, "x\r\n");
    EXPECT_EQ(Contents(fresh), "x\r\n");
    EXPECT_FALSE(GetFileAttributesW(fresh.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(Names(), (Lines{L"新.txt", L"隐藏.txt"}));

    // A symbolic link: the list goes to its target, and the link stays one.
    const std::wstring target = At(L"target.txt");
    Write(target, "old\r\n");
    const test::UnixLink link(dir.wstring(), L"link.txt", L"target.txt");
    ASSERT_TRUE(link.Made());
    ReplaceFileWith(At(L"link.txt"), "new\r\n");
    EXPECT_EQ(Contents(target), "new\r\n");
    HANDLE h = CreateFileW(At(L"link.txt").c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    wchar_t reached[1024] = {};
    GetFinalPathNameByHandleW(h, reached, 1024, 0);
    CloseHandle(h);
    EXPECT_TRUE(std::wstring_view(reached).ends_with(L"\\target.txt")) << reached;
    EXPECT_EQ(Names(), (Lines{L"link.txt", L"target.txt", L"新.txt", L"隐藏.txt"}));
}

TEST_F(TextFileTest, ReadingFailuresCarryTheirNumbers) {
    EXPECT_EQ(ErrorOf([&] { ReadWholeFile(At(L"missing.txt"), 100); }), errnum::FileNotFound);
    EXPECT_EQ(ErrorOf([&] { ReadWholeFile(At(L"no such folder\\l.txt"), 100); }),
              errnum::PathNotFound);
    EXPECT_EQ(ErrorOf([&] { ReadWholeFile(dir.wstring(), 100); }), errnum::PathFileAccess);
    EXPECT_EQ(ErrorOf([] { ReadWholeFile(L"", 100); }), errnum::PathFileAccess);
    const std::wstring locked = At(L"locked.txt");
    Write(locked, "x");
    HANDLE h = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf([&] { ReadWholeFile(locked, 100); }), errnum::PathFileAccess);
    CloseHandle(h);
}

// Closes every message box titled "错误" that the commands show, until stopped.
class MessageBoxCloser {
  public:
    MessageBoxCloser()
        : thread_([this] {
              while (!stop_) {
                  if (HWND box = test::FindDialog(L"错误")) {
                      seen.push_back(test::ReadMessageBox(box));
                      PostMessageW(box, WM_COMMAND, IDOK, 0);
                      while (IsWindow(box) && !stop_)
                          Sleep(10);
                  }
                  Sleep(10);
              }
          }) {}
    // The boxes shown; call once the command has returned (its boxes are
    // modal, so by then every one of them has been shown and closed).
    std::vector<test::MessageBoxInfo> Stop() {
        stop_ = true;
        thread_.join();
        return seen;
    }
    ~MessageBoxCloser() {
        if (thread_.joinable())
            Stop();
    }

  private:
    std::vector<test::MessageBoxInfo> seen;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class ListFileCommands : public ListFileFolder {
  protected:
    void SetUp() override {
        ListFileFolder::SetUp();
        form.Show();
        // Without its window every click below goes nowhere.
        ASSERT_TRUE(form.IsLoaded()) << "the main window was not made";
        list().Clear();
        form.CommonDialog4.FileName.clear(); // as after start-up
    }
    ListBoxList& list() { return form.DrawingList2(); }
    void Fill(const Lines& entries) {
        list().Clear();
        list().AddItems(entries);
    }

    // Clicks the button; the helper thread answers its file dialog with the
    // name (or cancels it) and closes the message box that may follow.
    // Returns the message shown, "" for none.
    std::wstring Run(int button, std::optional<std::wstring> answer,
                     std::function<void(HWND)> inspect = {}) {
        const wchar_t* title = button == varnofrm::xpcmdbutton8 ? L"保存列表文件" : L"读取列表文件";
        test::DialogWatcher dialog(title, [&](HWND h) {
            if (inspect)
                inspect(h);
            if (answer)
                test::AnswerFileDialog(h, *answer);
            else
                test::CancelDialog(h);
        });
        MessageBoxCloser closer;
        SendMessageW(form.Control(button), BM_CLICK, 0, 0);
        const auto boxes = closer.Stop();
        EXPECT_TRUE(dialog.Join()) << "the file dialog did not come";
        if (boxes.empty())
            return {};
        EXPECT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, L"错误");
        EXPECT_TRUE(boxes[0].hasIcon);
        return boxes[0].text;
    }
    std::wstring Save(std::optional<std::wstring> answer) {
        return Run(varnofrm::xpcmdbutton8, std::move(answer));
    }
    std::wstring Read(std::optional<std::wstring> answer) {
        return Run(varnofrm::xpcmdbutton9, std::move(answer));
    }

    varnofrm& form = varnofrm::Instance();
};

TEST_F(ListFileCommands, ReplacingTheListInOneStepSortsLikeTheListBox) {
    // Punctuation, digits, letter case, Chinese, accents, spaces, repeats.
    Lines entries{L"",
                  L"b.dwg",
                  L"A.dwg",
                  L"_a.dwg",
                  L"-a.dwg",
                  L"a-b.dwg",
                  L"ab.dwg",
                  L"a b.dwg",
                  L"a10.dwg",
                  L"a9.dwg",
                  L"Zeta.DWG",
                  L"émile.dwg",
                  L"e.dwg",
                  L"f.dwg",
                  WidePath,
                  L"D:\\图纸\\a.dwg",
                  L"D:\\图\\a.dwg",
                  L"D:\\图纸 2\\a.dwg",
                  L"[x].dwg",
                  L"~x.dwg",
                  L"b.dwg",
                  L"C:\\x\\1.dwg"};
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i)
        entries.push_back(L"D:\\项目" + std::to_wstring(random() % 50) + L"\\图" +
                          std::to_wstring(random()) + L".dwg");
    list().Clear();
    for (const auto& e : entries)
        list().AddItem(e);
    const Lines oneByOne = list().Items();
    std::shuffle(entries.begin(), entries.end(), random);
    list().ReplaceAll(entries);
    EXPECT_EQ(list().Items(), oneByOne);
    // Later adds find their places in the list as it was filled.
    list().AddItem(L"a5.dwg");
    list().AddItems(Lines{L"Ébc.dwg", L"c.dwg"});
    const Lines after = list().Items();
    list().Clear();
    for (const auto& e : entries)
        list().AddItem(e);
    for (const wchar_t* e : {L"a5.dwg", L"Ébc.dwg", L"c.dwg"})
        list().AddItem(e);
    EXPECT_EQ(after, list().Items());
}

// The list box refuses the n-th add, as one out of memory does; once only,
// for the object's lifetime.
class RefusedAdd {
  public:
    RefusedAdd(HWND listBox, int nth) : listBox_(listBox) {
        nth_ = nth;
        seen_ = 0;
        old_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(listBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
    }
    ~RefusedAdd() { SetWindowLongPtrW(listBox_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old_)); }
    RefusedAdd(const RefusedAdd&) = delete;
    RefusedAdd& operator=(const RefusedAdd&) = delete;
    static int Seen() { return seen_; }

  private:
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        if ((msg == LB_ADDSTRING || msg == LB_INSERTSTRING) && ++seen_ == nth_)
            return LB_ERRSPACE;
        return CallWindowProcW(old_, h, msg, wp, lp);
    }
    HWND listBox_;
    static inline WNDPROC old_ = nullptr;
    static inline int nth_ = 0, seen_ = 0;
};

TEST_F(ListFileCommands, AReadThatFailsWhileAddingLeavesTheListAsItWas) {
    Fill({L"c.dwg", L"a.dwg", L"b.dwg"});
    SendMessageW(form.Control(varnofrm::List2), LB_SETSEL, TRUE, 1); // b.dwg
    const Lines old = list().Items();
    {
        RefusedAdd refused(form.Control(varnofrm::List2), 3);
        EXPECT_EQ(ErrorOf([&] {
                      list().ReplaceAll(Lines{L"w", L"x", L"y", L"z"});
                  }),
                  errnum::OutOfMemory);
        EXPECT_GE(RefusedAdd::Seen(), 3);
    }
    EXPECT_EQ(list().Items(), old);
    EXPECT_EQ(list().Selected(0), false);
    EXPECT_EQ(list().Selected(1), true);
    EXPECT_EQ(list().Selected(2), false);

    // The same through "  读取列表": the message, and the list unchanged.
    const std::wstring f = At(L"l.txt");
    Write(f, "1.dwg\r\n2.dwg\r\n3.dwg\r\n4.dwg\r\n");
    {
        RefusedAdd refused(form.Control(varnofrm::List2), 2);
        EXPECT_EQ(Read(f), L"数据文件格式有误或操作不当！");
    }
    EXPECT_EQ(list().Items(), old);
    EXPECT_EQ(Read(f), L""); // and without the failure the file reads
    // Its bare names name the drawings beside it.
    EXPECT_EQ(list().Items(), (Lines{At(L"1.dwg"), At(L"2.dwg"), At(L"3.dwg"), At(L"4.dwg")}));
}

TEST_F(ListFileCommands, SaveThenReadGivesBackTheSameList) {
    const Lines entries{L"  C:\\a b\\spaced.dwg ", L"C:\\d\\A.dwg", L"C:\\d\\b.dwg", WidePath};
    Fill(entries);
    const Lines shown = list().Items();
    const std::wstring f = At(L"drawings.txt");
    EXPECT_EQ(Save(f), L"");
    EXPECT_EQ(Contents(f),
              "  C:\\a b\\spaced.dwg \r\nC:\\d\\A.dwg\r\nC:\\d\\b.dwg\r\n" + GbkPath + "\r\n");
    list().Clear();
    list().AddItem(L"other.dwg");
    EXPECT_EQ(Read(f), L"");
    EXPECT_EQ(list().Items(), shown);

    // A path the code page cannot hold comes back unchanged too.
    list().AddItem(L"C:\\한국\\도면.dwg");
    const Lines more = list().Items();
    EXPECT_EQ(Save(f), L"");
    EXPECT_TRUE(Contents(f).starts_with("\xEF\xBB\xBF"));
    list().Clear();
    EXPECT_EQ(Read(f), L"");
    EXPECT_EQ(list().Items(), more);
    EXPECT_EQ(Names(), Lines{L"drawings.txt"});
    // The dialogs leave no folder of theirs current, which would hold it open.
    EXPECT_EQ(fs::current_path(), cwd);
}

// A binary file, whatever its name, survives a No to the program's question,
// and No is the question's default button.
TEST_F(ListFileCommands, ABinaryFileIsNotReplacedWithoutAYes) {
    const std::wstring f = At(L"plan.txt");
    const std::string binary("AC1032\0\0\0\0\x01", 11);
    Write(f, binary);
    test::MessageBoxInfo box;
    bool noIsDefault = false;
    test::DialogWatcher question(L"批量清理", [&](HWND h) {
        box = test::ReadMessageBox(h);
        noIsDefault = GetWindowLongW(GetDlgItem(h, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON;
        PostMessageW(h, WM_COMMAND, IDNO, 0);
    });
    EXPECT_EQ(Save(f), L"");
    ASSERT_TRUE(question.Join()) << "no question before the file is replaced";
    EXPECT_EQ(box.text, L"“plan.txt”不是列表文件，确定要替换它吗？");
    EXPECT_TRUE(noIsDefault);
    EXPECT_EQ(Contents(f), binary);
}

// An ASCII DXF drawing and a page of notes are text without a NUL, and still
// no list file: each survives a No byte for byte.
TEST_F(ListFileCommands, ADxfDrawingOrANotesFileIsNotReplacedWithoutAYes) {
    Fill({L"C:\\x\\a.dwg"});
    const std::string dxf = "  0\r\nSECTION\r\n  2\r\nHEADER\r\n  9\r\n$ACADVER\r\n  1\r\n"
                            "AC1018\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
    const std::string notes = "\xc3\xf7\xcc\xec\xbd\xbb\xcd\xbc\r\nC:\\x\\a.dwg\r\n"; // 明天交图
    for (const auto& [name, bytes] : {std::pair{L"plan.dxf", dxf}, std::pair{L"笔记.txt", notes}}) {
        const std::wstring f = At(name);
        Write(f, bytes);
        std::wstring asked;
        test::DialogWatcher question(L"批量清理", [&](HWND h) {
            asked = test::ReadMessageBox(h).text;
            PostMessageW(h, WM_COMMAND, IDNO, 0);
        });
        EXPECT_EQ(Save(f), L"");
        ASSERT_TRUE(question.Join()) << "no question before " << testing::PrintToString(f);
        EXPECT_EQ(asked, L"“" + std::wstring(name) + L"”不是列表文件，确定要替换它吗？");
        EXPECT_EQ(Contents(f), bytes);
    }
    EXPECT_EQ(Names(), (Lines{L"plan.dxf", L"笔记.txt"}));
}

TEST_F(ListFileCommands, TheDialogOffersListFilesFirstAndAddsNoExtension) {
    Fill({L"a.dwg"});
    std::vector<std::wstring> types;
    int selected = -1;
    EXPECT_EQ(Run(varnofrm::xpcmdbutton8, At(L"mylist"),
                  [&](HWND h) {
                      HWND combo = GetDlgItem(h, 0x470); // cmb1: the file types
                      const int n = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
                      for (int i = 0; i < n; ++i) {
                          wchar_t buf[128] = {};
                          SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
                          types.push_back(buf);
                      }
                      selected = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
                  }),
              L"");
    EXPECT_EQ(types, (Lines{L"列表文件(*.txt)", L"所有文件（*.*)"}));
    EXPECT_EQ(selected, 0);
    EXPECT_EQ(Names(), Lines{L"mylist"});
    EXPECT_EQ(Contents(dir / L"mylist"), "a.dwg\r\n");
}

TEST_F(ListFileCommands, SavingAnEmptyListGivesAZeroByteFileOverTheOldOne) {
    const std::wstring f = At(L"l.txt");
    Write(f, "old.dwg\r\n");
    EXPECT_EQ(Save(f), L"");
    EXPECT_EQ(fs::file_size(f), 0u);
    Fill({L"x.dwg"});
    EXPECT_EQ(Read(f), L"");
    EXPECT_EQ(list().ListCount(), 0);
}

TEST_F(ListFileCommands, CancelShowsTheCancelMessageAndTouchesNothing) {
    Fill({L"keep.dwg"});
    // The first time: the dialog holds no name.
    EXPECT_EQ(Save(std::nullopt), L"保存文件被取消！");
    EXPECT_EQ(Read(std::nullopt), L"读取文件被取消！");
    EXPECT_EQ(list().Items(), Lines{L"keep.dwg"});

    // After a name was chosen, the dialog still holds it on a cancel: it is
    // neither written over nor read again.
    const std::wstring f = At(L"earlier.txt");
    EXPECT_EQ(Save(f), L"");
    list().AddItem(L"new.dwg");
    EXPECT_EQ(Save(std::nullopt), L"保存文件被取消！");
    EXPECT_EQ(Contents(f), "keep.dwg\r\n");
    EXPECT_EQ(Read(std::nullopt), L"读取文件被取消！");
    EXPECT_EQ(list().Items(), (Lines{L"keep.dwg", L"new.dwg"}));
    EXPECT_EQ(Names(), Lines{L"earlier.txt"});
}

TEST_F(ListFileCommands, ReadOnlyTargetShowsTheCancelMessageAndKeepsTheFile) {
    const std::wstring f = At(L"只读.txt");
    Write(f, "old.dwg\r\n");
    SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_READONLY);
    Fill({L"new.dwg"});
    EXPECT_EQ(Save(f), L"保存文件被取消！");
    EXPECT_EQ(Contents(f), "old.dwg\r\n");
    EXPECT_EQ(Names(), Lines{L"只读.txt"});
    // Reading it is fine.
    EXPECT_EQ(Read(f), L"");
    EXPECT_EQ(list().Items(), Lines{At(L"old.dwg")});
}

TEST_F(ListFileCommands, MissingFolderOrFileShowsTheFormatMessageAndKeepsTheList) {
    Fill({L"keep.dwg"});
    EXPECT_EQ(Save(At(L"no such folder\\l.txt")), L"数据文件格式有误或操作不当！");
    EXPECT_FALSE(fs::exists(dir / L"no such folder"));
    EXPECT_EQ(Read(At(L"不存在.txt")), L"数据文件格式有误或操作不当！");
    EXPECT_EQ(list().Items(), Lines{L"keep.dwg"});
    EXPECT_EQ(Names(), Lines{});
}

TEST_F(ListFileCommands, AFileThatIsNotTextShowsTheFormatMessageAndKeepsTheList) {
    Fill({L"keep.dwg"});
    const std::wstring bin = At(L"binary.txt");
    Write(bin, std::string("a.dwg\r\n\0\x01\x02\xFF", 11));
    EXPECT_EQ(Read(bin), L"数据文件格式有误或操作不当！");
    Write(bin, "a.dwg\r\n\x81"); // a lead byte cut off
    EXPECT_EQ(Read(bin), L"数据文件格式有误或操作不当！");
    EXPECT_EQ(list().Items(), Lines{L"keep.dwg"});
}

// A list made by a script elsewhere: LF line ends, Explorer-style quoted
// paths (one with a space, one Chinese, one repeated), a half-quoted line and
// a blank line at the end. The drawings named are real files, and the list
// holds exactly them; saved again it is clean CR LF lines.
TEST_F(ListFileCommands, ReadsAHandMadeListWithLfQuotesAndABlankLastLine) {
    const std::wstring a = At(L"a b.dwg"), b = At(L"平面图.dwg");
    Write(a, "drawing");
    Write(b, "drawing");
    const std::wstring f = At(L"from script.txt");
    const auto utf8 = [](const std::wstring& w) {
        const auto u8 = fs::path(w).u8string();
        return std::string(u8.begin(), u8.end());
    };
    Write(f, "\xEF\xBB\xBF\"" + utf8(a) + "\"\n  \"" + utf8(b) + "\"\t\n\"" + utf8(a) + "\"\n\n");
    Fill({L"old.dwg"});
    EXPECT_EQ(Read(f), L"");
    EXPECT_EQ(list().Items(), (Lines{a, a, b}));
    for (int i = 0; i < list().ListCount(); ++i)
        EXPECT_TRUE(fs::is_regular_file(list().List(i))) << i;

    // UTF-8 without a mark that is valid code page 936 as well: the reading
    // that names the drawing beside the list is taken.
    const std::wstring cafe = At(L"Café Müller.dwg");
    Write(cafe, "drawing");
    Write(f, "Caf\xC3\xA9 M\xC3\xBCller.dwg\n");
    EXPECT_EQ(Read(f), L"");
    EXPECT_EQ(list().Items(), Lines{cafe});

    // Without a mark, in code page 936, a half-quoted line stays as it stands.
    Write(f, "\"" + GbkPath + "\n\"C:\\x.dwg\"\n");
    EXPECT_EQ(Read(f), L"");
    EXPECT_EQ(list().Items(), (Lines{L"\"" + WidePath, L"C:\\x.dwg"}));

    const std::wstring copy = At(L"copy.txt");
    EXPECT_EQ(Save(copy), L"");
    EXPECT_EQ(Contents(copy), "\"" + GbkPath + "\r\nC:\\x.dwg\r\n");
}

TEST_F(ListFileCommands, ReadsTheExampleSortedAndListsBeyond32767Entries) {
    const std::wstring f = At(L"l.txt");
    Write(f, "C:\\x\\2.dwg\r\n\r\nC:\\x\\1.dwg");
    EXPECT_EQ(Read(f), L"");
    EXPECT_EQ(list().Items(), (Lines{L"C:\\x\\1.dwg", L"C:\\x\\2.dwg"}));

    std::string big;
    for (int i = 0; i < 40000; ++i)
        big += "D:\\\xcd\xbc\xd6\xbd\\" + std::to_string(100000 + i) + ".dwg\r\n";
    Write(f, big);
    EXPECT_EQ(Read(f), L"");
    ASSERT_EQ(list().ListCount(), 40000);
    EXPECT_EQ(list().List(39999), L"D:\\图纸\\139999.dwg");
    const std::wstring copy = At(L"copy.txt");
    EXPECT_EQ(Save(copy), L"");
    EXPECT_EQ(Contents(copy), big);
}

} // namespace
} // namespace varno::win
