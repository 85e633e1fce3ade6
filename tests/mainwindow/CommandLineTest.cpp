#include "mainwindow/CommandLine.h"

#include "batch/FakeHost.h"

#include <gtest/gtest.h>

#include <vector>

namespace varno {
namespace {

// How the system's C runtime splits a command line: quotes group, 2n
// backslashes before a quote make n, 2n+1 make n and a quote, "" inside
// quotes is a quote; the program's name keeps its backslashes.
TEST(CommandLine, SplitsAsTheSystemDoes) {
    const struct {
        std::wstring line;
        std::vector<std::wstring> arguments;
    } rows[] = {
        {L"varno.exe", {L"varno.exe"}},
        {L"\"C:\\Program Files\\varno\\varno.exe\" /run a.txt",
         {L"C:\\Program Files\\varno\\varno.exe", L"/run", L"a.txt"}},
        {L"varno.exe  /run\t\"D:\\工程 图纸\\列表.txt\"  ",
         {L"varno.exe", L"/run", L"D:\\工程 图纸\\列表.txt"}},
        {L"v \"D:\\dir\\\\\" x", {L"v", L"D:\\dir\\", L"x"}},
        {L"v a\\\\\\\"b c\\d", {L"v", L"a\\\"b", L"c\\d"}},
        {L"v \"say \"\"hi\"\"\" \"\"", {L"v", L"say \"hi\"", L""}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.line));
        EXPECT_EQ(SplitCommandLine(row.line), row.arguments);
    }
}

// Good and bad arguments: switches in any letter case, with "/" or "-";
// /? anywhere; without /run whatever else is there starts the window.
TEST(CommandLine, TellsWhatToDoAndWhatIsWrong) {
    using Mode = CommandLine::Mode;
    const struct {
        std::vector<std::wstring> arguments;
        Mode mode;
        std::wstring list, log;
        std::optional<int> timeout;
        bool wrong = false;
    } rows[] = {
        {{}, Mode::Window, L"", L"", {}},
        {{L"D:\\a.dwg", L"D:\\b.dwg"}, Mode::Window, L"", L"", {}}, // Explorer's "Open with"
        {{L"/?"}, Mode::Usage, L"", L"", {}},
        {{L"/run", L"a.txt", L"-?"}, Mode::Usage, L"", L"", {}},
        {{L"/run", L"a.txt"}, Mode::Run, L"a.txt", L"", {}},
        {{L"-RUN", L"a.txt", L"/Log", L"r.csv", L"-timeout", L"90"},
         Mode::Run,
         L"a.txt",
         L"r.csv",
         90},
        {{L"/log", L"r.csv", L"/run", L"D:\\列表.txt"}, Mode::Run, L"D:\\列表.txt", L"r.csv", {}},
        {{L"/run"}, Mode::Run, L"", L"", {}, true},
        {{L"/run", L"/log", L"r.csv"}, Mode::Run, L"", L"", {}, true},
        {{L"/run", L""}, Mode::Run, L"", L"", {}, true},
        {{L"/run", L"a.txt", L"b.txt"}, Mode::Run, L"a.txt", L"", {}, true}, // stray
        {{L"/run", L"a.txt", L"/run", L"b.txt"}, Mode::Run, L"a.txt", L"", {}, true},
        {{L"/run", L"a.txt", L"/quiet"}, Mode::Run, L"a.txt", L"", {}, true},
        {{L"/run", L"a.txt", L"/timeout", L"0"}, Mode::Run, L"a.txt", L"", {}, true},
        {{L"/run", L"a.txt", L"/timeout", L"1.5"}, Mode::Run, L"a.txt", L"", {}, true},
        {{L"/run", L"a.txt", L"/timeout", L"9999999"}, Mode::Run, L"a.txt", L"", {}, true},
        {{L"/run", L"a.txt", L"/timeout", L"35791"}, Mode::Run, L"a.txt", L"", 35791},
        {{L"/run", L"a.txt", L"/timeout", L"35792"}, Mode::Run, L"a.txt", L"", {}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.arguments));
        const CommandLine c = ParseCommandLine(row.arguments);
        EXPECT_EQ(c.mode, row.mode);
        EXPECT_EQ(c.error.empty(), !row.wrong) << testing::PrintToString(c.error);
        if (!row.wrong) {
            EXPECT_EQ(c.listFile, row.list);
            EXPECT_EQ(c.logFile, row.log);
            EXPECT_EQ(c.timeoutMinutes, row.timeout);
        }
    }
}

// A log never takes the place of the list file (by any of its names) or of
// a CAD file.
TEST(CommandLine, ALogNeverReplacesTheListOrADrawing) {
    test::FakeFiles files;
    files.finals[L"D:\\LIST~1.TXT"] = {L"\\\\?\\D:\\list.txt"};
    files.finals[L"D:\\list.txt"] = {L"\\\\?\\D:\\list.txt"};
    files.absent.insert(L"D:\\log.csv");
    files.unreadable.insert(L"d:\\LIST.TXT"); // held by another program
    EXPECT_FALSE(LogTakesThePlaceOf(files, L"D:\\log.csv", L"D:\\list.txt"));
    EXPECT_TRUE(LogTakesThePlaceOf(files, L"d:\\LIST.TXT", L"D:\\list.txt"));
    EXPECT_TRUE(LogTakesThePlaceOf(files, L"D:\\LIST~1.TXT", L"D:\\list.txt"));
    for (const wchar_t* cad : {L"D:\\a.dwg", L"D:\\a.DXF", L"D:\\t.dwt", L"D:\\s.dws"})
        EXPECT_TRUE(LogTakesThePlaceOf(files, cad, L"D:\\list.txt")) << cad;
}

} // namespace
} // namespace varno
