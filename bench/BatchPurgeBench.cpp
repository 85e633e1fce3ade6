// The batch purge run against the stand-in CAD host (vcad.exe, registered as
// "AutoCAD.Application" in the project's Wine prefix), beside a bare client
// that makes the same host calls for each drawing and nothing else.
//
// The run: the wall time per drawing, and how much of it the program spends
// itself outside the host calls. Every late-bound call, and every release of
// a host object (a call into the host as well), goes through a timing
// wrapper (HostTiming.h); the program's own time is the run's wall time minus
// the time spent inside host calls (the wrapper's own cost counts as the
// program's). The progress window's text and repaint are timed apart. The
// drawings alone (the loop) are timed from the first drawing's progress text
// to the completion text, without connecting to the host, the template
// drawing and the proxy notice.
//
// The bare client (BareClient.h) makes, through the same wrapper, the run's
// host calls for a drawing with nothing nested, against a host started and
// prepared as the run prepares it; by default as a console process of its
// own (bench_bare_client.exe, beside this one) in which nothing else goes on.
// Bare client and run take turns for a number of rounds, each on as many
// fresh drawings against a freshly started host, so that the noise shows;
// then the medians and their ratio. Last, a run over drawings with three
// levels of nested unused items, which the run purges pass by pass.
//
//   bench_batch_purge [drawings [rounds]] [options]   (default 1000 drawings, 3 rounds)
//     --bare=process,hidden,thread,ui  which bare clients take turns with the
//                   run (by default process and hidden; with --hide-host
//                   process):
//                   process  a console process of its own
//                   hidden   the same, but the host is left hidden
//                   thread   a thread of this process in an apartment of its
//                            own, while this thread serves the windows
//                   ui       this thread, with the windows loaded, as the run
//     --no-promo    the promotional windows are unloaded before the rounds
//     --no-docking  their docking timers are stopped (the browsers stay)
//     --hide-host   the host's window is hidden: the run's from here before
//                   the first drawing, the bare clients' left hidden
//     --no-nesting  no run over nested drawings at the end
// The options change nothing in the program; they only set up this process
// around it, to see where the run's time goes.
//
// Run it under Wine with the host registered, e.g. from a shell that has
// sourced tools/setup.sh: varno_start_display; varno_start_wine;
// wine build/win/bench/bench_batch_purge.exe 100; varno_stop_wine; varno_stop_display
#include "batch/Form3.h"

#include "BareClient.h"
#include "BenchDrawings.h"
#include "HostTiming.h"

#include "app/AutomationError.h"
#include "app/Error.h"
#include "app/Module1.h"
#include "mainwindow/varnofrm.h"
#include "platform/App.h"
#include "platform/Com.h"
#include "platform/Dispatch.h"
#include "platform/HostThread.h"
#include "platform/Win32DrawingFiles.h"
#include "platform/Win32ProxyNoticeRecords.h"
#include "promo/EdgeDocking.h"
#include "promo/adfrm.h"
#include "tools/cadhost/Vcad.h"

#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace varno;
using namespace varno::bench;

// The run's view, timing what it does to the windows (part of the program's
// own time) and marking the loop over the drawings: from the first progress
// text to the completion text.
struct TimedView : win::Win32PurgeView {
    TimedView(const HostTime& host, bool hideHost)
        : win::Win32PurgeView(win::varnofrm::Instance()), host_(host), hideHost_(hideHost) {}
    Clock::duration label1{}, refresh{};
    struct Mark {
        Clock::time_point at;
        HostTime host;
    };
    std::optional<Mark> loopStart, loopEnd;
    void SetProgress(std::wstring_view text) override {
        const auto start = Clock::now();
        if (text == DoneText)
            loopEnd = Mark{start, host_};
        else if (!loopStart)
            loopStart = Mark{HideHost(start), host_};
        win::Win32PurgeView::SetProgress(text);
        label1 += Clock::now() - start;
    }
    void RefreshProgress() override {
        const auto start = Clock::now();
        win::Win32PurgeView::RefreshProgress();
        refresh += Clock::now() - start;
    }
    // Message boxes end the benchmark: a run that fails measures nothing.
    void Show(std::wstring_view text, unsigned, std::wstring_view) override {
        std::fwprintf(stderr, L"message box: %ls\n", std::wstring(text).c_str());
        failed = true;
    }
    DrawingChoice AskAboutDrawing(std::wstring_view drawing, std::wstring_view reason) override {
        std::fwprintf(stderr, L"failed: %ls: %ls\n", std::wstring(drawing).c_str(),
                      std::wstring(reason).c_str());
        failed = true;
        return DrawingChoice::Stop;
    }
    bool failed = false;

  private:
    // With hideHost the host's window is hidden before the first drawing,
    // from outside (the host still counts itself visible).
    Clock::time_point HideHost(Clock::time_point now) const {
        if (!hideHost_)
            return now;
        if (HWND host = FindWindowW(vcad::WindowClass, nullptr))
            ShowWindow(host, SW_HIDE);
        return Clock::now();
    }
    const HostTime& host_;
    bool hideHost_;
};

// One measurement of the loop over the drawings.
struct Loop {
    std::string what;
    int drawings = 0;
    Clock::duration wall{};
    HostTime host;
    double PerDrawing() const { return Ms(wall) / drawings; }
    double CallsPerDrawing() const { return static_cast<double>(host.calls) / drawings; }
    double ReleasesPerDrawing() const { return static_cast<double>(host.releases) / drawings; }
    double PerHostCall() const {
        const long all = host.calls + host.releases;
        return all ? Ms(host.inside) / all : 0.0;
    }
};

void PrintLoop(int round, const Loop& l) {
    std::printf("round %d  %-50s %8.3f ms per drawing   %4.1f calls + %3.1f releases   "
                "%6.3f ms per host call   own %6.3f ms per drawing\n",
                round, l.what.c_str(), l.PerDrawing(), l.CallsPerDrawing(), l.ReleasesPerDrawing(),
                l.PerHostCall(), (Ms(l.wall) - Ms(l.host.inside)) / l.drawings);
    std::fflush(stdout);
}

HostTime Since(const HostTime& now, const HostTime& before) {
    return {now.inside - before.inside, now.calls - before.calls, now.releases - before.releases};
}

// Handles this thread's messages for a while, as an idle program would.
void PumpFor(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            win::PumpMessage(msg);
    }
}

// After a measurement: the stand-in host has gone when its window has (it
// withdraws from COM before), so that the next measurement starts one of its
// own; its journal and the drawings go.
void HostGone(const std::wstring& folder, const std::vector<std::wstring>& paths) {
    int wait = 0;
    while (FindWindowW(vcad::WindowClass, nullptr) && ++wait < 300)
        Sleep(50);
    if (wait == 300)
        std::fprintf(stderr, "the stand-in host did not end\n");
    DeleteFileW((folder + L"\\journal.txt").c_str());
    RemoveFiles(paths);
}

// The host reads its switches from this file: nothing nested, or that many
// levels.
void SetNesting(const std::wstring& folder, int nesting) {
    const std::wstring switches = folder + L"\\switches.txt";
    WriteTextFile(switches, "nesting=" + std::to_string(nesting) + "\n");
    SetEnvironmentVariableW(L"VCAD_FAILURES", switches.c_str());
}

// The host quits, and the session lets go of it, on the host thread.
void Quit() {
    const std::function<void()> quit = [] {
        if (Host().HostApp) {
            try {
                Host().HostApp->Call(L"Quit", {});
            } catch (const varno::Error&) {
            }
        }
        Host() = HostSession{};
    };
    if (win::HostThread* thread = win::HostThread::Running())
        thread->Run(quit);
    else
        quit();
}

// One run over the drawings, against a host whose drawings have that many
// levels of nested unused items; prints its figures. The loop, when it
// completed.
std::optional<Loop> RunOnce(const std::wstring& folder, int drawings, int nesting, bool hideHost) {
    SetNesting(folder, nesting);
    win::varnofrm& main = win::varnofrm::Instance();
    main.Show();
    const std::vector<std::wstring> paths = MakeDrawings(folder, drawings);
    main.DrawingList2().AddItems(paths);

    HostTime host;
    TimedRuntime runtime(win::TheAutomation(), host);
    TimedView view(host, hideHost);
    win::Win32DrawingFiles files;
    win::Win32ProxyNoticeRecords records;
    const auto start = Clock::now();
    // As Command9 runs it: on the host thread, this thread answering the windows.
    win::RunPurge(runtime, main.DrawingList2(), view, files, records);
    const auto wall = Clock::now() - start;
    const int left = main.DrawingList2().ListCount();
    Quit();
    HostGone(folder, paths);

    if (view.failed || left != 0 || !view.loopStart || !view.loopEnd) {
        std::fprintf(stderr, "the run failed (%d entries left)\n", left);
        return std::nullopt;
    }
    const double own = Ms(wall - host.inside);
    const long all = host.calls + host.releases;
    std::printf("\nthe run: %d drawings, nesting %d\n", drawings, nesting);
    std::printf("  host calls             %ld + %ld releases (%.1f per drawing)\n", host.calls,
                host.releases, static_cast<double>(all) / drawings);
    std::printf("  wall time              %.1f ms (%.3f ms per drawing)\n", Ms(wall),
                Ms(wall) / drawings);
    std::printf("  inside host calls      %.1f ms (%.3f ms per drawing)\n", Ms(host.inside),
                Ms(host.inside) / drawings);
    std::printf("  program's own time     %.1f ms (%.3f ms per drawing)\n", own, own / drawings);
    std::printf("    of which progress text  %.3f ms per drawing\n", Ms(view.label1) / drawings);
    std::printf("    of which repaint        %.3f ms per drawing\n", Ms(view.refresh) / drawings);
    const double rest = own - Ms(view.label1) - Ms(view.refresh);
    std::printf("    the rest                %.3f ms per drawing\n", rest / drawings);
    Loop loop;
    loop.what = nesting ? "run, nesting " + std::to_string(nesting) : "run";
    if (hideHost)
        loop.what += ", host hidden";
    loop.drawings = drawings;
    loop.wall = view.loopEnd->at - view.loopStart->at;
    loop.host = Since(view.loopEnd->host, view.loopStart->host);
    return loop;
}

std::optional<Loop> FromBare(const std::string& what, const BareResult& r) {
    if (!r.failure.empty()) {
        std::fwprintf(stderr, L"%hs failed: %ls\n", what.c_str(), r.failure.c_str());
        return std::nullopt;
    }
    return Loop{what, r.drawings, r.loop, r.host};
}

// The bare client as a console process of its own; its last line of output
// carries its figures.
std::optional<Loop> BareProcess(const std::wstring& folder, int drawings, bool hidden) {
    const std::string what =
        hidden ? "bare client, own process, host hidden" : "bare client, own process";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return std::nullopt;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = writeEnd;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring command = L"\"" + win::ProgramFolder() + L"\\bench_bare_client.exe\" " +
                           std::to_wstring(drawings) + L" \"" + folder + L"\"" +
                           (hidden ? L" --hidden" : L"");
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &si, &pi);
    CloseHandle(writeEnd);
    std::string output;
    if (started) {
        char buf[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got > 0)
            output.append(buf, got);
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    } else {
        std::fprintf(stderr, "bench_bare_client.exe did not start (%lu)\n", GetLastError());
    }
    CloseHandle(readEnd);
    const std::size_t at = output.rfind(ResultTag);
    const std::optional<BareResult> r =
        at == std::string::npos ? std::nullopt : ParseResultLine(output.substr(at));
    if (!r) {
        std::fprintf(stderr, "%s gave no figures\n", what.c_str());
        return std::nullopt;
    }
    return FromBare(what, *r);
}

// The bare client on a thread of this process, in a single-threaded
// apartment of its own, while this thread serves the windows as the
// program's would.
std::optional<Loop> BareThread(const std::vector<std::wstring>& paths, bool hidden) {
    BareResult r;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread client([&] {
        if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
            {
                win::ComAutomation automation;
                r = RunBareClient(automation, paths, !hidden);
            }
            CoUninitialize();
        } else {
            r.failure = L"no single-threaded apartment";
        }
        SetEvent(done);
    });
    while (MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) !=
           WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            win::PumpMessage(msg);
    }
    client.join();
    CloseHandle(done);
    return FromBare(
        std::string("bare client, thread beside the windows") + (hidden ? ", host hidden" : ""), r);
}

std::optional<Loop> Bare(const std::string& mode, const std::wstring& folder, int drawings,
                         bool hideHost) {
    SetNesting(folder, 0);
    const std::vector<std::wstring> paths = MakeDrawings(folder, drawings);
    std::optional<Loop> loop;
    if (mode == "process" || mode == "hidden")
        loop = BareProcess(folder, drawings, hideHost || mode == "hidden");
    else if (mode == "thread")
        loop = BareThread(paths, hideHost);
    else
        loop = FromBare(std::string("bare client, on the windows' thread") +
                            (hideHost ? ", host hidden" : ""),
                        RunBareClient(win::TheAutomation(), paths, !hideHost));
    HostGone(folder, paths);
    return loop;
}

struct Options {
    int drawings = 1000;
    int rounds = 3;
    std::vector<std::string> bare;
    bool noPromo = false, noDocking = false, noNesting = false, hideHost = false;
};

std::string Narrow(std::wstring_view s) {
    return std::string(s.begin(), s.end());
}

std::optional<Options> Parse(int argc, wchar_t** argv) {
    Options o;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = Narrow(argv[i]);
        if (a.starts_with("--bare=")) {
            for (std::size_t at = 7; at <= a.size();) {
                const std::size_t end = std::min(a.find(',', at), a.size());
                const std::string mode = a.substr(at, end - at);
                if (mode != "process" && mode != "hidden" && mode != "thread" && mode != "ui")
                    return std::nullopt;
                o.bare.push_back(mode);
                at = end + 1;
            }
        } else if (a == "--no-promo") {
            o.noPromo = true;
        } else if (a == "--no-docking") {
            o.noDocking = true;
        } else if (a == "--hide-host") {
            o.hideHost = true;
        } else if (a == "--no-nesting") {
            o.noNesting = true;
        } else if (!a.starts_with("--") && positional == 0) {
            o.drawings = std::max(1, _wtoi(argv[i]));
            ++positional;
        } else if (!a.starts_with("--") && positional == 1) {
            o.rounds = std::max(1, _wtoi(argv[i]));
            ++positional;
        } else {
            return std::nullopt;
        }
    }
    // With the host hidden anyway, the two would be one.
    if (o.bare.empty())
        o.bare = o.hideHost ? std::vector<std::string>{"process"}
                            : std::vector<std::string>{"process", "hidden"};
    return o;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Medians over the rounds, and the run's against each bare client's.
void Summary(const std::vector<std::vector<Loop>>& rounds) {
    std::printf("\nper drawing over %zu rounds: median (lowest - highest)\n", rounds.size());
    const std::size_t kinds = rounds.front().size();
    const std::size_t run = kinds - 1; // the run comes last in a round
    std::vector<double> medians(kinds);
    for (std::size_t k = 0; k < kinds; ++k) {
        std::vector<double> ms, call;
        for (const auto& round : rounds) {
            ms.push_back(round[k].PerDrawing());
            call.push_back(round[k].PerHostCall());
        }
        medians[k] = Median(ms);
        const Loop& first = rounds.front()[k];
        std::printf("  %-50s %8.3f ms (%.3f - %.3f)   %4.1f calls + %3.1f releases   %6.3f ms "
                    "per host call\n",
                    first.what.c_str(), medians[k], *std::min_element(ms.begin(), ms.end()),
                    *std::max_element(ms.begin(), ms.end()), first.CallsPerDrawing(),
                    first.ReleasesPerDrawing(), Median(call));
    }
    for (std::size_t k = 0; k < run; ++k) {
        std::printf("ratio run / %s: %.2f (each round:", rounds.front()[k].what.c_str(),
                    medians[run] / medians[k]);
        for (const auto& round : rounds)
            std::printf(" %.2f", round[run].PerDrawing() / round[k].PerDrawing());
        std::printf(")\n");
    }
    std::fflush(stdout);
}

int Bench(const Options& o, const std::wstring& folder) {
    win::varnofrm& main = win::varnofrm::Instance();
    main.Show(); // loads the promotional windows
    if (o.noPromo) {
        win::adfrm::Instance().Unload();
        win::ad1frm::Instance().Unload();
    } else if (o.noDocking) {
        for (HWND promo : {win::adfrm::Instance().hWnd(), win::ad1frm::Instance().hWnd()}) {
            KillTimer(promo, win::PromoForm::Timer2);
            KillTimer(promo, win::PromoForm::Timer1);
        }
    }
    // The docking ticks start DockingStartMs after the load, as for a user.
    PumpFor(DockingStartMs + 500);

    std::printf("%d drawings, %d rounds%s%s%s\n", o.drawings, o.rounds,
                o.hideHost ? ", host's window hidden" : "",
                o.noPromo ? ", promotional windows unloaded" : "",
                o.noDocking && !o.noPromo ? ", docking timers stopped" : "");
    std::vector<std::vector<Loop>> rounds;
    int failed = 0;
    for (int round = 1; round <= o.rounds && !failed; ++round) {
        std::vector<Loop> loops;
        for (const std::string& mode : o.bare) {
            if (const std::optional<Loop> bare = Bare(mode, folder, o.drawings, o.hideHost)) {
                PrintLoop(round, *bare);
                loops.push_back(*bare);
            } else {
                failed = 1;
            }
        }
        if (const std::optional<Loop> run = RunOnce(folder, o.drawings, 0, o.hideHost)) {
            PrintLoop(round, *run);
            loops.push_back(*run);
        } else {
            failed = 1;
        }
        if (!failed)
            rounds.push_back(std::move(loops));
    }
    if (!rounds.empty())
        Summary(rounds);
    // Three levels of nesting: the run purges again while a pass removes
    // something.
    if (!failed && !o.noNesting) {
        if (const std::optional<Loop> run = RunOnce(folder, o.drawings, 3, o.hideHost))
            PrintLoop(0, *run);
        else
            failed = 1;
    }
    return failed;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::optional<Options> options = Parse(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: bench_batch_purge [drawings [rounds]] "
                             "[--bare=process,hidden,thread,ui] [--no-promo] [--no-docking] "
                             "[--hide-host] [--no-nesting]\n");
        return 2;
    }
    const win::UiThread ui;
    const win::HostThread hostThread; // its end lets go of the host session
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + L"varno-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    SetEnvironmentVariableW(L"VCAD_JOURNAL", (folder + L"\\journal.txt").c_str());
    const int failed = Bench(*options, folder);
    DeleteFileW((folder + L"\\journal.txt").c_str());
    DeleteFileW((folder + L"\\switches.txt").c_str());
    RemoveDirectoryW(folder.c_str());
    return failed;
}
