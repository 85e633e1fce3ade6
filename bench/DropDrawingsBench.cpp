// Dropping a folder tree of 20,000 drawings and 30,000 other files onto a
// drawing list of 5,000 entries (1,000 of them drawings of the tree) held by
// the real list box: the disk walk and the list update timed apart, then the
// whole drop as the window receives it, from WM_DROPFILES until the list
// holds the drawings, while a thread posts the window's thread a message
// every 10 ms: the longest a message waited is the longest the window froze.
// Run under Wine:
// tools/wine-exec build/win/bench/bench_drop_drawings.exe [--keep]
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include "mainwindow/DropDrawings.h"
#include "mainwindow/ListCommands.h"
#include "mainwindow/varnofrm.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace varno;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int TopFolders = 10, SubFolders = 10, DrawingsPerFolder = 200, OthersPerFolder = 300;
constexpr int ListedEntries = 5000, ListedFromTree = 1000;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::wstring Sub(const std::wstring& root, int t, int s) {
    return root + L"\\项目 " + std::to_wstring(t) + L"\\层 " + std::to_wstring(s);
}

void Touch(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

// 100 folders two levels down, each with 200 drawings and 300 other files.
void MakeTree(const std::wstring& root) {
    CreateDirectoryW(root.c_str(), nullptr);
    for (int t = 0; t < TopFolders; ++t) {
        CreateDirectoryW((root + L"\\项目 " + std::to_wstring(t)).c_str(), nullptr);
        for (int s = 0; s < SubFolders; ++s) {
            const std::wstring dir = Sub(root, t, s);
            CreateDirectoryW(dir.c_str(), nullptr);
            for (int i = 0; i < DrawingsPerFolder; ++i)
                Touch(dir + L"\\图 " + std::to_wstring(i) + (i % 2 ? L".dwg" : L".DWG"));
            for (int i = 0; i < OthersPerFolder; ++i)
                Touch(dir + L"\\other " + std::to_wstring(i) + (i % 3 ? L".bak" : L".txt"));
        }
    }
}

std::vector<std::wstring> Entries(const std::wstring& root) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < ListedEntries - ListedFromTree; ++i)
        texts.push_back(L"D:\\maps\\drawing " + std::to_wstring(i) + L".dwg");
    for (int i = 0; i < ListedFromTree; ++i) // the first five folders' odd drawings
        texts.push_back(Sub(root, 0, i / 100) + L"\\图 " + std::to_wstring(2 * (i % 100) + 1) +
                        L".dwg");
    return texts;
}

HDROP MakeDrop(const std::wstring& path) {
    HGLOBAL h = GlobalAlloc(GHND, sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t));
    auto* block = static_cast<DROPFILES*>(GlobalLock(h));
    block->pFiles = sizeof(DROPFILES);
    block->fWide = TRUE;
    std::memcpy(reinterpret_cast<BYTE*>(block) + sizeof(DROPFILES), path.c_str(),
                path.size() * sizeof(wchar_t));
    GlobalUnlock(h);
    return static_cast<HDROP>(h);
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

// Posts the thread a message every 10 ms, stamped with the time it was posted.
class Ticker {
  public:
    static constexpr UINT TickMessage = WM_APP + 20;
    explicit Ticker(DWORD thread)
        : thread_([this, thread] {
              while (!stop_) {
                  PostThreadMessageW(thread, TickMessage, 0,
                                     static_cast<LPARAM>(Clock::now().time_since_epoch().count()));
                  Sleep(10);
              }
          }) {}
    ~Ticker() {
        stop_ = true;
        thread_.join();
    }
    static double DelayMs(const MSG& tick) {
        const Clock::time_point posted{Clock::duration{static_cast<Clock::rep>(tick.lParam)}};
        return std::chrono::duration<double, std::milli>(Clock::now() - posted).count();
    }

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct DropTimes {
    double seconds = 0;
    double stallMs = 0;
};

// The drop as the window gets it, the window's thread pumping messages all
// the while; the drop ends when the list holds the drawings, and the pump
// goes on until a tick posted after that has come, so that a freeze at the
// very end is seen too.
DropTimes TimedDrop(win::varnofrm& form, const std::wstring& root) {
    DropTimes times;
    const Ticker ticker(GetCurrentThreadId());
    Pump();
    const auto t0 = Clock::now();
    SendMessageW(form.hWnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(root)), 0);
    std::optional<Clock::time_point> ended;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == Ticker::TickMessage && !msg.hwnd) {
            times.stallMs = std::max(times.stallMs, Ticker::DelayMs(msg));
            const Clock::time_point posted{Clock::duration{static_cast<Clock::rep>(msg.lParam)}};
            if (ended && posted > *ended)
                break;
        } else {
            DispatchMessageW(&msg);
        }
        if (!ended && !form.DropWalking())
            ended = Clock::now();
    }
    times.seconds = std::chrono::duration<double>(*ended - t0).count();
    return times;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    SetProcessDPIAware();
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    const bool keep = argc > 1 && std::wstring(argv[1]) == L"--keep";

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"varno drop bench";
    const bool made = GetFileAttributesW((Sub(root, TopFolders - 1, SubFolders - 1)).c_str()) ==
                      INVALID_FILE_ATTRIBUTES;
    auto t0 = Clock::now();
    if (made)
        MakeTree(root);
    const double making = Seconds(t0);

    auto& form = win::varnofrm::Instance();
    form.Show();
    auto& list = form.DrawingList2();
    const std::vector<std::wstring> start = Entries(root);
    const std::vector<std::wstring> dropped{root};

    constexpr int Runs = 5;
    std::vector<double> walks, updates, drops, stalls;
    size_t found = 0, added = 0;
    bool same = true;
    std::vector<std::wstring> first;
    for (int run = 0; run < Runs; ++run) {
        win::Win32FolderReader folders;
        t0 = Clock::now();
        std::vector<std::wstring> drawings = CollectDrawings(folders, dropped).drawings;
        walks.push_back(Seconds(t0));
        found = drawings.size();

        list.ReplaceAll(start);
        Pump();
        t0 = Clock::now();
        added = static_cast<size_t>(AddNewPaths(list, std::move(drawings)));
        Pump(); // the one repaint
        updates.push_back(Seconds(t0));
        if (run == 0)
            first = list.Items();

        // The whole drop, as the window gets it.
        list.ReplaceAll(start);
        const DropTimes drop = TimedDrop(form, root);
        drops.push_back(drop.seconds);
        stalls.push_back(drop.stallMs);
        same = same && list.Items() == first;
    }

    std::printf(
        "tree: %d folders, %d drawings, %d other files%s (%.1f s to make)\n",
        TopFolders * SubFolders + TopFolders + 1, TopFolders * SubFolders * DrawingsPerFolder,
        TopFolders * SubFolders * OthersPerFolder, made ? "" : " (kept from before)", making);
    std::printf("list of %d entries, %d of them drawings of the tree\n", ListedEntries,
                ListedFromTree);
    std::printf("disk walk, first: %.3f s (%zu drawings found)\n", walks[0], found);
    std::printf("list update: %.3f s median, %.3f s worst (%zu added, %d entries)\n",
                Median(updates), *std::max_element(updates.begin(), updates.end()), added,
                list.ListCount());
    std::printf("same list as walk + update: %s; longest stalls %.0f to %.0f ms\n",
                same ? "yes" : "NO", *std::min_element(stalls.begin(), stalls.end()),
                *std::max_element(stalls.begin(), stalls.end()));
    std::printf("disk walk: %.3f s\n", Median(walks));
    std::printf("longest UI stall: %.0f ms\n", Median(stalls));
    std::printf("whole drop: %.3f s\n", Median(drops));
    if (!keep) {
        for (int t = 0; t < TopFolders; ++t) {
            for (int s = 0; s < SubFolders; ++s) {
                const std::wstring dir = Sub(root, t, s);
                WIN32_FIND_DATAW d;
                HANDLE f = FindFirstFileW((dir + L"\\*").c_str(), &d);
                if (f != INVALID_HANDLE_VALUE) {
                    do
                        DeleteFileW((dir + L"\\" + d.cFileName).c_str());
                    while (FindNextFileW(f, &d));
                    FindClose(f);
                }
                RemoveDirectoryW(dir.c_str());
            }
            RemoveDirectoryW((root + L"\\项目 " + std::to_wstring(t)).c_str());
        }
        RemoveDirectoryW(root.c_str());
    }
    return same && found == static_cast<size_t>(TopFolders * SubFolders * DrawingsPerFolder) &&
                   added == found - ListedFromTree
               ? 0
               : 1;
}
