#pragma once
// varno started from a command line (a script, the Task Scheduler): the
// usage, or a run of a list file that no one watches, whose exit code ends
// the process. The main window and the promotional windows never show.
#include "mainwindow/CommandLine.h"

namespace varno::win {

// The usage, in the one box of this mode.
void ShowUsage();

// The run the command line asks for: the list file read as "读取列表" reads
// it (never written); the same run as Command9's, but that a failed drawing
// is skipped as with "全部跳过", no box is shown, and the process ends with
// the run's exit code (exitcode in batch/RunLog.h) once it is over: a row
// for each listed entry in the log, written as the run ends with it.
int RunFromCommandLine(const CommandLine& command);

} // namespace varno::win
