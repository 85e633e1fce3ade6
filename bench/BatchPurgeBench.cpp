// The batch purge run over 1,000 drawings against the stand-in CAD host
// (vcad.exe, registered as "AutoCAD.Application" in the project's Wine
// prefix): the wall time per drawing, and how much of it the program spends
// itself outside the host calls. Every late-bound call, and every release of
// a host object (a call into the host as well), goes through a timing
// wrapper; the program's own time is the run's wall time minus the time spent
// inside host calls (the wrapper's own cost counts as the program's). The
// progress window's text and repaint are timed apart. Two runs: drawings
// with nothing nested, then with three levels of nested unused items, which
// the run purges pass by pass.
//
//   bench_batch_purge [drawings]     (default 1000)
// Run it under Wine with the host registered, e.g. from a shell that has
// sourced tools/setup.sh: varno_start_display; varno_start_wine;
// wine build/win/bench/bench_batch_purge.exe; varno_stop_wine; varno_stop_display
#include "batch/Form3.h"

#include "app/Error.h"
#include "app/Module1.h"
#include "mainwindow/varnofrm.h"
#include "platform/App.h"
#include "platform/Dispatch.h"
#include "platform/Win32DrawingFiles.h"
#include "platform/Win32ProxyNoticeRecords.h"
#include "tools/cadhost/Vcad.h"

#include <commctrl.h>
#include <ole2.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace varno;
using Clock = std::chrono::steady_clock;

struct HostTime {
    Clock::duration inside{};
    long calls = 0;
};

// Runs one host call, adding its duration to the host's time.
template <class F> auto Timed(HostTime& time, F&& f) {
    struct Stop {
        HostTime& t;
        Clock::time_point start;
        ~Stop() {
            t.inside += Clock::now() - start;
            ++t.calls;
        }
    } stop{time, Clock::now()};
    return f();
}

class TimedObject : public AutoObject {
  public:
    TimedObject(AutoRef inner, HostTime& time) : inner_(std::move(inner)), time_(time) {}
    // Letting go of a remote object is a call into the host too.
    ~TimedObject() override {
        Timed(time_, [&] {
            inner_.reset();
            return 0;
        });
    }
    TimedObject(const TimedObject&) = delete;
    TimedObject& operator=(const TimedObject&) = delete;
    Variant Get(std::wstring_view member) override {
        return Wrap(Timed(time_, [&] { return inner_->Get(member); }));
    }
    void Put(std::wstring_view member, const Variant& value) override {
        Timed(time_, [&] {
            inner_->Put(member, value);
            return 0;
        });
    }
    Variant Call(std::wstring_view member, std::initializer_list<Variant> args) override {
        return Wrap(Timed(time_, [&] { return inner_->Call(member, args); }));
    }

  private:
    Variant Wrap(Variant v) {
        if (auto* o = std::get_if<AutoRef>(&v); o && *o)
            return Variant(AutoRef(std::make_shared<TimedObject>(*o, time_)));
        return v;
    }
    AutoRef inner_;
    HostTime& time_;
};

class TimedRuntime : public AutomationRuntime {
  public:
    explicit TimedRuntime(HostTime& time) : time_(time) {}
    bool IsRegistered(std::wstring_view progId) override {
        return win::TheAutomation().IsRegistered(progId);
    }
    AutoRef AttachRunning(std::wstring_view progId) override {
        return Wrap(Timed(time_, [&] { return win::TheAutomation().AttachRunning(progId); }));
    }
    AutoRef Launch(std::wstring_view progId) override {
        return Wrap(Timed(time_, [&] { return win::TheAutomation().Launch(progId); }));
    }
    bool IsLaunchable(std::wstring_view progId) override {
        return win::TheAutomation().IsLaunchable(progId);
    }
    AutoRef AttachListed(std::wstring_view progId) override {
        AutoRef listed = Timed(time_, [&] { return win::TheAutomation().AttachListed(progId); });
        return listed ? Wrap(std::move(listed)) : listed;
    }
    bool IsProgramRunning(std::wstring_view progId) override {
        return win::TheAutomation().IsProgramRunning(progId);
    }

  private:
    AutoRef Wrap(AutoRef r) { return std::make_shared<TimedObject>(std::move(r), time_); }
    HostTime& time_;
};

// The run's view, timing what it does to the windows (part of the program's
// own time).
struct TimedView : win::Win32PurgeView {
    TimedView() : win::Win32PurgeView(win::varnofrm::Instance()) {}
    Clock::duration label1{}, refresh{};
    void SetProgress(std::wstring_view text) override {
        const auto start = Clock::now();
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
    bool failed = false;
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Quit() {
    if (Host().HostApp) {
        try {
            Host().HostApp->Call(L"Quit", {});
        } catch (const varno::Error&) {
        }
    }
}

// One run over the drawings, against a host whose drawings have that many
// levels of nested unused items; prints its figures. 0 when it completed.
int RunOnce(const std::wstring& folder, int drawings, int nesting) {
    const std::wstring switches = folder + L"\\switches.txt";
    {
        const std::string text = "nesting=" + std::to_string(nesting) + "\n";
        HANDLE f =
            CreateFileW(switches.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD put = 0;
        WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
        CloseHandle(f);
    }
    SetEnvironmentVariableW(L"VCAD_FAILURES", switches.c_str());

    win::varnofrm& main = win::varnofrm::Instance();
    main.Show();
    std::vector<std::wstring> paths;
    for (int i = 0; i < drawings; ++i) {
        wchar_t name[32];
        std::swprintf(name, 32, L"\\d%05d.dwg", i);
        const std::wstring path = folder + name;
        HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        // The stand-in host's own drawings (its mark first): the only files
        // it saves to.
        const std::string drawing = std::string(vcad::DrawingMark) + "\n";
        DWORD put = 0;
        WriteFile(f, drawing.data(), static_cast<DWORD>(drawing.size()), &put, nullptr);
        CloseHandle(f);
        paths.push_back(path);
    }
    main.DrawingList2().AddItems(paths);

    HostTime host;
    TimedRuntime runtime(host);
    TimedView view;
    win::Win32DrawingFiles files;
    win::Win32ProxyNoticeRecords records;
    const auto start = Clock::now();
    RunBatchPurge(runtime, main.DrawingList2(), view, files, records);
    const auto wall = Clock::now() - start;
    const int left = main.DrawingList2().ListCount();
    Quit();

    for (const auto& p : paths)
        DeleteFileW(p.c_str());
    DeleteFileW(switches.c_str());

    if (view.failed || left != 0) {
        std::fprintf(stderr, "the run failed (%d entries left)\n", left);
        return 1;
    }
    const double own = Ms(wall - host.inside);
    std::printf("drawings               %d, nesting %d\n", drawings, nesting);
    std::printf("host calls             %ld (%.1f per drawing)\n", host.calls,
                static_cast<double>(host.calls) / drawings);
    std::printf("wall time              %.1f ms (%.3f ms per drawing)\n", Ms(wall),
                Ms(wall) / drawings);
    std::printf("inside host calls      %.1f ms (%.3f ms per drawing)\n", Ms(host.inside),
                Ms(host.inside) / drawings);
    std::printf("program's own time     %.1f ms (%.3f ms per drawing)\n", own, own / drawings);
    std::printf("  of which progress text  %.3f ms per drawing\n", Ms(view.label1) / drawings);
    std::printf("  of which repaint        %.3f ms per drawing\n", Ms(view.refresh) / drawings);
    const double rest = own - Ms(view.label1) - Ms(view.refresh);
    std::printf("  the rest                %.3f ms per drawing\n\n", rest / drawings);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int drawings = argc > 1 ? std::max(1, _wtoi(argv[1])) : 1000;
    const win::UiThread ui;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + L"varno-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    SetEnvironmentVariableW(L"VCAD_JOURNAL", (folder + L"\\journal.txt").c_str());
    // Nothing nested, then three levels: the run purges again while a pass
    // removes something.
    int failed = 0;
    for (const int nesting : {0, 3})
        failed |= RunOnce(folder, drawings, nesting);
    DeleteFileW((folder + L"\\journal.txt").c_str());
    RemoveDirectoryW(folder.c_str());
    Host() = HostSession{}; // before the thread's OLE session ends
    return failed;
}
