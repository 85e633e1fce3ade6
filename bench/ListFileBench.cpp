// Reading a list file of 32,767 lines into the main window's List2 and
// saving it again, under Wine: everything the two commands do except the
// file dialog. Prints the best and the median of several runs.
#include "mainwindow/ListFileCodec.h"
#include "mainwindow/ListFileCommands.h"
#include "mainwindow/varnofrm.h"
#include "platform/App.h"
#include "platform/TextFile.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace varno;

// Answers every dialog with the same file.
class FixedDialog : public FileDialog {
  public:
    explicit FixedDialog(std::wstring name) { answer_ = std::move(name); }
    bool ShowOpen() override { return Answer(); }
    bool ShowSave() override { return Answer(); }

  private:
    bool Answer() {
        FileName = answer_;
        return true;
    }
    std::wstring answer_;
};

class CountingMessages : public MessageBoxes, public Questions {
  public:
    void Show(std::wstring_view, unsigned, std::wstring_view) override { ++shown; }
    int Ask(std::wstring_view, unsigned, std::wstring_view) override {
        ++shown;
        return 0;
    }
    int shown = 0;
};

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(to.QuadPart - from.QuadPart) / double(f.QuadPart);
}

template <class F> std::vector<double> Time(int runs, F&& f) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER a, b;
        QueryPerformanceCounter(&a);
        f();
        QueryPerformanceCounter(&b);
        t.push_back(Seconds(a, b));
    }
    std::sort(t.begin(), t.end());
    return t;
}

void Report(const char* what, const std::vector<double>& t, double target) {
    std::printf("%-34s best %.3f s  median %.3f s  (target < %.1f s)\n", what, t.front(),
                t[t.size() / 2], target);
}

} // namespace

int wmain() {
    SetProcessDPIAware();
    const win::UiThread ui;

    // 32,767 drawing paths in no particular order, in code page 936.
    std::vector<std::wstring> paths;
    std::mt19937 random(1);
    for (int i = 0; i < 32767; ++i)
        paths.push_back(L"D:\\工程项目\\第" + std::to_wstring(random() % 100) + L"期\\图纸\\楼层" +
                        std::to_wstring(random() % 1000) + L"\\平面图" + std::to_wstring(i) +
                        L".dwg");
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring source = std::wstring(temp) + L"varno-bench-source.txt";
    const std::wstring target = std::wstring(temp) + L"varno-bench-saved.txt";
    const win::AnsiCodePage ansi;
    win::ReplaceFileWith(source, EncodeListFile(paths, ansi));

    win::varnofrm& form = win::varnofrm::Instance();
    form.Show();
    win::ListBoxList& list = form.DrawingList2();
    win::Win32ListFileStore files;
    CountingMessages messages;
    FixedDialog readDialog(source), saveDialog(target);
    const ListFileServices io{files, ansi, messages, messages};

    const int runs = 5;
    const auto read = Time(runs, [&] { ReadListFile(readDialog, list, io); });
    const int count = list.ListCount();
    const auto save = Time(runs, [&] { SaveListFile(saveDialog, list, io); });
    const bool same =
        win::ReadWholeFile(target, MaxListFileBytes) == EncodeListFile(list.Items(), ansi);

    std::printf("list file of %d lines, %lld bytes\n", count,
                static_cast<long long>(win::ReadWholeFile(source, MaxListFileBytes).size()));
    Report("read into List2 (file -> list):", read, 0.3);
    Report("save (list -> file):", save, 0.1);
    std::printf("messages shown: %d, saved file as expected: %s\n", messages.shown,
                same ? "yes" : "no");
    DeleteFileW(source.c_str());
    DeleteFileW(target.c_str());
    form.Unload();
    return count == 32767 && messages.shown == 0 && same ? 0 : 1;
}
