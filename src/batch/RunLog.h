#pragma once
// The log of a run from the command line: a CSV file in UTF-8 with a
// byte-order mark (so that Excel shows the Chinese as it is), CR LF line
// ends, fields quoted as RFC 4180 says; a header, then a row for each listed
// entry in the run's order, written as the run ends with it. And the exit
// code the run's rows make.
#include "batch/PurgeRun.h"

#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varno {

inline constexpr std::wstring_view LogHeader = L"图纸,结果,原因,清理前字节,清理后字节,遍数,秒";

// The words of the 结果 column.
std::wstring_view OutcomeText(DrawingResult::Outcome outcome);

// The start of a log: the byte-order mark and the header line.
std::string LogStart();
// One row: the drawing, its outcome, the reason, the sizes before and after
// (empty where not known), the passes of PurgeAll (empty for a drawing not
// opened), the seconds spent on it (to a tenth; empty for one not done).
std::string LogRow(const DrawingResult& result);
// A field as RFC 4180 writes it: in double quotes, its own doubled, where it
// holds a comma, a double quote, a CR or an LF.
std::string CsvField(std::wstring_view text);

// The exit codes of a run from the command line.
namespace exitcode {
constexpr int Done = 0;       // every drawing cleaned, or found clean
constexpr int Skipped = 1;    // the run went through, with drawings skipped
constexpr int Ended = 2;      // could not start, or ended early
constexpr int WrongInput = 3; // the command line, the list file, the log
} // namespace exitcode

// The code the rows of a whole run make: Ended where one failed or was not
// done, else Skipped where one was skipped, else Done (no rows too).
int ExitCodeOf(std::span<const DrawingResult> results);

// The rows of a run, as it ends with each listed entry: each written at once
// (LogRow's bytes to write), and kept for the exit code. The run's thread
// adds them as it goes; another may end the run (EndNow).
class RunRecord {
  public:
    using Write = std::function<void(std::string_view row)>;
    RunRecord(std::vector<std::wstring> entries, Write write)
        : entries_(std::move(entries)), write_(std::move(write)) {}
    void Add(const DrawingResult& result);
    // The entry in progress failed for this reason; those after it are not
    // done.
    void EndNow(std::wstring_view reason);
    // The run could not start, for this reason: no entry is done.
    void NoneDone(std::wstring_view reason);
    int ExitCode() const;

  private:
    void AddHeld(const DrawingResult& result);
    mutable std::mutex lock_;
    std::vector<std::wstring> entries_;
    Write write_;
    std::vector<DrawingResult> results_;
};

} // namespace varno
