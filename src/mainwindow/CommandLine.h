#pragma once
// The command line varno takes: nothing of its own (the main window starts,
// whatever Explorer's "Open with" passes), a run of a list file from a
// script or the Task Scheduler, or the usage.
//
//   varno.exe /run <list file> [/log <log file>] [/timeout <minutes>]
//   varno.exe /?
//
// Switches ignore letter case, and "-" does as well as "/".
#include "app/DrawingFiles.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varno {

struct CommandLine {
    enum class Mode { Window, Run, Usage };
    Mode mode = Mode::Window;
    std::wstring listFile, logFile; // as given; the log's empty when there is none
    std::optional<int> timeoutMinutes;
    // Run: what is wrong with the command line, empty when nothing is.
    std::wstring error;
};

// The arguments of a command line as the system's C runtime splits them:
// the program's name first (up to a space, or between quotes), then the
// arguments separated by spaces and tabs, where double quotes group,
// 2n backslashes before a quote make n and leave it to group, 2n+1 make n
// and a literal quote, and "" inside quotes is a literal quote.
std::vector<std::wstring> SplitCommandLine(std::wstring_view line);

// The command line of these arguments (the program's name left out).
CommandLine ParseCommandLine(std::span<const std::wstring> arguments);

// The longest /timeout taken: the longest time a timer of the system waits
// (2^31 - 1 ms, almost 25 days).
inline constexpr int MaxTimeoutMinutes = 35791;

// A log that would take the place of the list file (the same file, by any
// of its names), or of one of the CAD program's own files: refused.
bool LogTakesThePlaceOf(DrawingFiles& files, const std::wstring& log, const std::wstring& list);

// The usage, in the one box of the mode.
inline constexpr std::wstring_view UsageTitle = L"批量清理 命令行";
inline constexpr std::wstring_view UsageText =
    L"用法：varno.exe /run <列表文件> [/log <日志文件>] [/timeout <分钟>]\n"
    L"\n"
    L"/run\t清理列表文件中的图纸，完成后退出\n"
    L"/log\t把每张图纸的结果写入日志文件（CSV）\n"
    L"/timeout\t超过这么多分钟后结束清理\n"
    L"/?\t显示本说明\n"
    L"\n"
    L"退出代码：0 全部清理完成；1 有图纸被跳过；2 未能开始或提前结束；"
    L"3 命令行、列表文件或日志文件有误";

} // namespace varno
