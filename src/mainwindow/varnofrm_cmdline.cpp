// The run from the command line, and the usage.
#include "mainwindow/varnofrm_cmdline.h"

#include "batch/Form3.h"
#include "batch/ListSnapshot.h"
#include "batch/RunLog.h"
#include "mainwindow/ListFileCodec.h"
#include "mainwindow/varnofrm.h"
#include "platform/App.h"
#include "platform/Dispatch.h"
#include "platform/HostThread.h"
#include "platform/ListBox.h"
#include "platform/RunLock.h"
#include "platform/TextFile.h"
#include "platform/Win32DrawingFiles.h"
#include "platform/Win32ProxyNoticeRecords.h"

#include <optional>
#include <vector>

namespace varno::win {

namespace {

// Why the drawing in progress, and those after it, were not done.
constexpr std::wstring_view TimedOutText = L"超过了 /timeout 给定的时间，清理结束。";

std::wstring FullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD n = size ? GetFullPathNameW(path.c_str(), size, full.data(), nullptr) : 0;
    if (n == 0 || n >= size)
        return path;
    full.resize(n);
    return full;
}

// The run's windows when no one watches: the progress window as always (a
// person at the desk sees the run and can stop it), but no box: what one
// would say is in the rows of the log.
class UnattendedView : public Win32PurgeView {
  public:
    UnattendedView(Form& main, RunRecord& record) : Win32PurgeView(main), record_(record) {}
    // The failure box and the skip report say what the rows say; the box of
    // a host that could not be reached (the system's words, before the run's
    // reason) is added to the reason of the rows not done.
    void Show(std::wstring_view text, unsigned style, std::wstring_view) override {
        if (style != MsgOkOnly)
            return;
        unreached_ = text;
    }
    DrawingChoice AskAboutDrawing(std::wstring_view, std::wstring_view) override {
        return DrawingChoice::SkipAll;
    }
    void HideMain() override {} // never shown
    void DrawingEnded(const DrawingResult& result) override {
        if (unreached_.empty() || result.reason.empty() || result.reason == unreached_)
            return record_.Add(result);
        DrawingResult told = result;
        told.reason += L"（" + unreached_ + L"）";
        record_.Add(told);
    }
    bool Unattended() const override { return true; }

  private:
    RunRecord& record_;
    std::wstring unreached_;
};

// The record a timer ends the run on.
RunRecord* g_timed = nullptr;

void CALLBACK TimeIsUp(HWND, UINT, UINT_PTR, DWORD) {
    // The drawing in progress is left to CAD: the process ends at once.
    if (g_timed)
        g_timed->EndNow(TimedOutText);
    ExitProcess(exitcode::Ended);
}

} // namespace

void ShowUsage() {
    ShowMessageBox(nullptr, UsageText, MB_OK | MB_ICONINFORMATION, UsageTitle);
}

int RunFromCommandLine(const CommandLine& command) {
    ShowNoBoxes([](std::wstring_view) {});
    if (!command.error.empty())
        return exitcode::WrongInput;
    const std::wstring listFile = FullPath(command.listFile);
    const std::wstring logFile = command.logFile.empty() ? L"" : FullPath(command.logFile);
    Win32DrawingFiles files;
    if (!logFile.empty() && LogTakesThePlaceOf(files, logFile, listFile))
        return exitcode::WrongInput;
    Win32ListFileStore store;
    const AnsiCodePage ansi;
    std::vector<std::wstring> entries;
    if (Caught([&] {
            entries =
                ReadListEntries(store.ReadAll(listFile, MaxListFileBytes), ansi, listFile, store);
        }))
        return exitcode::WrongInput;
    std::optional<FlushedFile> log;
    if (!logFile.empty() && (Caught([&] { log.emplace(logFile); }) || !log->Write(LogStart())))
        return exitcode::WrongInput;

    const UiThread ui;
    // The list in the main window's order and within its limit: a list box
    // as the main window's, never shown.
    if (const UniqueWindow box(CreateWindowExW(0, L"LISTBOX", L"",
                                               WS_CHILD | LBS_SORT | LBS_HASSTRINGS, 0, 0, 0, 0,
                                               OwnerWindow(), nullptr, Instance(), nullptr));
        box) {
        ListBoxList sorted(box.Get());
        if (Caught([&] { sorted.ReplaceAll(entries); }))
            return exitcode::WrongInput;
        entries = sorted.Items();
    }
    RunRecord record(entries, [&log](std::string_view row) {
        if (log)
            log->Write(row);
    });
    if (entries.empty())
        return exitcode::Done;
    const HostThread host;
    if (!ui || !host) {
        record.NoneDone(CannotStartText);
        return exitcode::Ended;
    }
    const RunLock lock(RunLockPatienceMs);
    if (!lock) {
        record.NoneDone(RunBusyText);
        return exitcode::Ended;
    }
    if (command.timeoutMinutes) {
        g_timed = &record;
        SetTimer(nullptr, 0, static_cast<UINT>(*command.timeoutMinutes) * 60000u, &TimeIsUp);
    }
    UnattendedView view(varnofrm::Instance(), record);
    Win32ProxyNoticeRecords records;
    ListSnapshot list(entries);
    RunPurge(TheAutomation(), list, view, files, records);
    Form3::Instance().Unload();
    return record.ExitCode();
}

} // namespace varno::win
