// varno.exe started from a command line, as a script or the Task Scheduler
// starts it: its own process, against the stand-in CAD host, judged by its
// exit code, its log and the drawings. A run that showed a box would never
// end: each ends within the time it is given.
#include "app/Module1.h"
#include "batch/PurgeRun.h"
#include "app/Unicode.h"
#include "batch/RunLog.h"
#include "support/ChildProcess.h"
#include "support/StandInHost.h"
#include "tools/cadhost/Vcad.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace varno::win {
namespace {

using test::StandInHost;

class CommandLineRun : public testing::Test {
  protected:
    void SetUp() override { StandInHost::EndAll(0); }

    // varno.exe with these arguments: its exit code, or nothing when it did
    // not end in time.
    std::optional<DWORD> Run(const std::wstring& arguments, DWORD timeoutMs = 60000) {
        test::ChildProcess varno(test::VarnoExe(), arguments, host.Path(L"output.txt"));
        if (!varno.Started())
            return std::nullopt;
        DWORD code = 0;
        if (!varno.WaitForExit(timeoutMs, &code))
            return std::nullopt;
        return code;
    }
    std::wstring ListOf(const std::vector<std::wstring>& drawings) {
        std::string text;
        for (const auto& d : drawings)
            text += std::string(d.begin(), d.end()) + "\r\n"; // ASCII paths
        return host.WriteFile(L"list.txt", text);
    }
    // The log's rows without the header, each split at its commas (no field
    // of these rows is quoted).
    std::vector<std::vector<std::string>> Rows() const {
        const std::string log = StandInHost::ReadFile(host.Path(L"log.csv"));
        std::vector<std::vector<std::string>> rows;
        const std::string start = LogStart();
        if (log.compare(0, start.size(), start) != 0)
            return rows;
        for (std::size_t at = start.size(); at < log.size();) {
            const std::size_t end = log.find("\r\n", at);
            std::vector<std::string> fields;
            const std::string line = log.substr(at, end - at);
            for (std::size_t f = 0;;) {
                const std::size_t comma = line.find(',', f);
                fields.push_back(line.substr(f, comma - f));
                if (comma == std::string::npos)
                    break;
                f = comma + 1;
            }
            rows.push_back(fields);
            at = end == std::string::npos ? log.size() : end + 2;
        }
        return rows;
    }
    static std::string Utf8(std::wstring_view text) {
        return WideToUtf8(text).value_or(std::string());
    }
    std::wstring Quoted(const std::wstring& path) const { return L"\"" + path + L"\""; }

    StandInHost host;
};

// A clean run: every drawing purged and saved, a row each, exit 0; the host
// it started has quit, its template drawing closed unsaved first.
TEST_F(CommandLineRun, AllCleanedExitsWithZero) {
    const std::wstring a = host.WriteDrawing(L"a.dwg", "a\n"),
                       b = host.WriteDrawing(L"b.dwg", "b\n");
    const std::wstring list = ListOf({b, a});
    EXPECT_EQ(Run(L"/run " + Quoted(list) + L" /LOG " + Quoted(host.Path(L"log.csv"))),
              exitcode::Done);
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], Utf8(a)); // the list's sorted order
    EXPECT_EQ(rows[1][0], Utf8(b));
    for (const auto& row : rows) {
        EXPECT_EQ(row[1], "已清理");
        EXPECT_EQ(row[5], "1");
    }
    EXPECT_TRUE(StandInHost::WaitForExit(10000));
    const auto journal = host.Journal();
    EXPECT_NE(std::find(journal.begin(), journal.end(), L"Close|False|@Drawing1.dwg"),
              journal.end());
    EXPECT_NE(std::find(journal.begin(), journal.end(), L"Quit"), journal.end());
}

// A read-only drawing is skipped as with "全部跳过": the others are cleaned,
// its row says why, exit 1.
TEST_F(CommandLineRun, ASkippedDrawingExitsWithOne) {
    const std::wstring a = host.WriteDrawing(L"a.dwg", "a\n"),
                       b = host.WriteDrawing(L"b.dwg", "b\n");
    SetFileAttributesW(a.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::optional<DWORD> code =
        Run(L"-run " + Quoted(ListOf({a, b})) + L" -log " + Quoted(host.Path(L"log.csv")));
    SetFileAttributesW(a.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(code, exitcode::Skipped);
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "已跳过");
    EXPECT_EQ(rows[0][2], Utf8(ReadOnlyText));
    EXPECT_EQ(rows[1][1], "已清理");
}

// No CAD program: the run cannot start, no box waits, exit 2, every row
// not done with the reason.
TEST_F(CommandLineRun, NoCadProgramExitsWithTwoAndNoBox) {
    const test::HostUnregistered none;
    const std::wstring a = host.WriteDrawing(L"a.dwg", "a\n");
    EXPECT_EQ(Run(L"/run " + Quoted(ListOf({a})) + L" /log " + Quoted(host.Path(L"log.csv"))),
              exitcode::Ended);
    // One row: not done, for the run's reason, then the system's words for
    // the failed launch (which may hold a comma, and be quoted).
    const std::string log = StandInHost::ReadFile(host.Path(L"log.csv"));
    const std::string row = log.substr(std::min(log.size(), LogStart().size()));
    EXPECT_TRUE(row.starts_with(Utf8(a) + ",未处理,")) << row;
    EXPECT_NE(row.find(Utf8(NoCadProgramText) + "（"), std::string::npos) << row;
}

// A double-click on the progress window stops the run without a question
// (this mode shows no box) once the drawing in progress is done: exit 2, the
// next drawing not done. No other window of varno's shows meanwhile.
TEST_F(CommandLineRun, AStopAtTheProgressWindowEndsWithTwo) {
    const std::wstring a = host.WriteDrawing(L"a.dwg", "a\n"),
                       b = host.WriteDrawing(L"b.dwg", "b\n");
    host.Switch("slow-purge=2\n");
    test::ChildProcess varno(test::VarnoExe(),
                             L"/run " + Quoted(ListOf({a, b})) + L" /log " +
                                 Quoted(host.Path(L"log.csv")),
                             host.Path(L"output.txt"));
    ASSERT_TRUE(varno.Started());
    for (int i = 0; i < 600; ++i, Sleep(100)) { // into the first PurgeAll
        const auto journal = host.Journal();
        if (std::any_of(journal.begin(), journal.end(),
                        [](const std::wstring& l) { return l.starts_with(L"PurgeAll|"); }))
            break;
    }
    // varno's visible windows: the progress window alone.
    struct Seen {
        DWORD process;
        std::vector<HWND> windows;
    } seen{varno.Id(), {}};
    EnumWindows(
        [](HWND w, LPARAM p) {
            auto& s = *reinterpret_cast<Seen*>(p);
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process == s.process && IsWindowVisible(w))
                s.windows.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen));
    ASSERT_EQ(seen.windows.size(), 1u);
    PostMessageW(seen.windows[0], WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
    DWORD code = 0;
    ASSERT_TRUE(varno.WaitForExit(60000, &code));
    EXPECT_EQ(code, static_cast<DWORD>(exitcode::Ended));
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "已清理");
    EXPECT_EQ(rows[1][1], "未处理");
}

// /timeout ends the run when its minute is up, the drawing in progress left
// to CAD (here inside a PurgeAll of two minutes): that one failed, the next
// not done, exit 2, the rows on disk.
TEST_F(CommandLineRun, TheTimeoutEndsTheRunWithTwo) {
    const std::wstring a = host.WriteDrawing(L"a.dwg", "a\n"),
                       b = host.WriteDrawing(L"b.dwg", "b\n");
    host.Switch("slow-purge=120\n");
    EXPECT_EQ(Run(L"/run " + Quoted(ListOf({a, b})) + L" /log " + Quoted(host.Path(L"log.csv")) +
                      L" /timeout 1",
                  100000),
              exitcode::Ended);
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "失败");
    EXPECT_NE(rows[0][2].find("/timeout"), std::string::npos);
    EXPECT_EQ(rows[1][1], "未处理");
    EXPECT_EQ(StandInHost::ReadFile(a), StandInHost::DrawingBytes("a\n"));
}

// A list that is not there, a log that would replace the list or a drawing,
// a command line that is wrong: exit 3 before anything runs.
TEST_F(CommandLineRun, WrongInputExitsWithThree) {
    const std::wstring a = host.WriteDrawing(L"a.dwg", "a\n");
    const std::wstring list = ListOf({a});
    EXPECT_EQ(Run(L"/run " + Quoted(host.Path(L"missing.txt"))), exitcode::WrongInput);
    EXPECT_EQ(Run(L"/run " + Quoted(list) + L" /log " + Quoted(list)), exitcode::WrongInput);
    EXPECT_EQ(Run(L"/run " + Quoted(list) + L" /log " + Quoted(a)), exitcode::WrongInput);
    EXPECT_EQ(Run(L"/run " + Quoted(list) + L" /timeout soon"), exitcode::WrongInput);
    EXPECT_EQ(StandInHost::ProcessId(), 0u); // nothing ran
    EXPECT_EQ(StandInHost::ReadFile(a), StandInHost::DrawingBytes("a\n"));
}

} // namespace
} // namespace varno::win
