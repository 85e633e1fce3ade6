#include "batch/RunLog.h"

#include <gtest/gtest.h>

#include <vector>

namespace varno {
namespace {

using Outcome = DrawingResult::Outcome;

// A row a drawing, in UTF-8, fields quoted as RFC 4180 says where they need
// it; what is not known is an empty field.
TEST(RunLog, RowsSayWhatBecameOfEachDrawing) {
    EXPECT_EQ(LogStart(), "\xEF\xBB\xBF"
                          "图纸,结果,原因,清理前字节,清理后字节,遍数,秒\r\n");
    const struct {
        DrawingResult result;
        std::string row;
    } rows[] = {
        {{L"D:\\图纸\\A-101.dwg", Outcome::Cleaned, L"", 120000, 98000, 2, 3.14},
         "D:\\图纸\\A-101.dwg,已清理,,120000,98000,2,3.1\r\n"},
        {{L"D:\\a.dwg", Outcome::Unchanged, L"", 5, 5, 1, 0.25},
         "D:\\a.dwg,无需清理,,5,5,1,0.2\r\n"},
        {{L"D:\\x,\"y\".dwg", Outcome::Skipped, L"图纸是只读的，或正被别人使用。", 7, 7, 0, 1},
         "\"D:\\x,\"\"y\"\".dwg\",已跳过,图纸是只读的，或正被别人使用。,7,7,,1.0\r\n"},
        {{L"D:\\b.dwg", Outcome::Failed, L"line one\nline two", {}, {}, 0, 0.5},
         "D:\\b.dwg,失败,\"line one\nline two\",,,,0.5\r\n"},
        {{L"D:\\c.dwg", Outcome::NotDone, L"没有找到可用的 CAD 程序。", 9, {}, 0, 0},
         "D:\\c.dwg,未处理,没有找到可用的 CAD 程序。,9,,,\r\n"},
        {{std::wstring(1, wchar_t(0xD800)) + L".dwg", Outcome::NotDone},
         "\xEF\xBF\xBD.dwg,未处理,,,,,\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        EXPECT_EQ(LogRow(row.result), row.row);
    }
}

TEST(RunLog, TheExitCodeIsTheWorstOutcome) {
    const auto code = [](std::vector<Outcome> outcomes) {
        std::vector<DrawingResult> results;
        for (const Outcome o : outcomes)
            results.push_back({L"d.dwg", o});
        return ExitCodeOf(results);
    };
    EXPECT_EQ(code({}), exitcode::Done);
    EXPECT_EQ(code({Outcome::Cleaned, Outcome::Unchanged}), exitcode::Done);
    EXPECT_EQ(code({Outcome::Cleaned, Outcome::Skipped, Outcome::Cleaned}), exitcode::Skipped);
    EXPECT_EQ(code({Outcome::Skipped, Outcome::Failed, Outcome::NotDone}), exitcode::Ended);
    EXPECT_EQ(code({Outcome::Cleaned, Outcome::NotDone}), exitcode::Ended); // stopped, timed out
}

// The rows go out as they are added; where the run ends from outside (the
// time is up), the entry in progress failed and those after it were not done.
TEST(RunLog, ARunEndedFromOutsideLeavesARowForEachEntry) {
    std::string log;
    RunRecord record({L"a.dwg", L"b.dwg", L"c.dwg"}, [&](std::string_view row) { log += row; });
    record.Add({L"a.dwg", Outcome::Cleaned, L"", 1, 1, 1, 1});
    record.EndNow(L"time");
    EXPECT_EQ(log, "a.dwg,已清理,,1,1,1,1.0\r\nb.dwg,失败,time,,,,0.0\r\nc.dwg,未处理,,,,,\r\n");
    EXPECT_EQ(record.ExitCode(), exitcode::Ended);
}

} // namespace
} // namespace varno
