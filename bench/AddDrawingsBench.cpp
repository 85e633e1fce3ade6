// Adding a 5,000-name answer of the file dialog to a drawing list of 27,000
// entries held by the real list box, compared with the plain algorithm that
// counts matches over the whole list, one list-box read per entry, for every
// name. Run under Wine: wine bench_add_drawings.exe [--full]
#include <windows.h>
#include <commctrl.h>

#include "mainwindow/ListCommands.h"
#include "mainwindow/varnofrm.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace varno;
using Clock = std::chrono::steady_clock;

namespace {

std::wstring Name(int i) {
    return L"drawing " + std::to_wstring(i) + L".dwg";
}

// The answer: folder, then names; every fifth name is already listed.
std::wstring Answer(int names) {
    std::wstring a = L"D:\\maps";
    for (int i = 0; i < names; ++i) {
        a += L'\0';
        a += Name(i % 5 == 0 ? i * 5 : 100000 + i);
    }
    return a;
}

void Fill(DrawingList& list, int entries) {
    list.Clear();
    std::vector<std::wstring> texts;
    for (int i = 0; i < entries; ++i)
        texts.push_back(L"D:\\maps\\" + Name(i));
    list.AddItems(texts);
}

// For each path: count equal entries, reading every entry from the list box.
void AddLiterally(DrawingList& list, const std::vector<std::wstring>& paths) {
    for (const auto& p : paths) {
        int count = 0;
        for (int i = 0; i < list.ListCount(); ++i) {
            if (list.List(i) == p)
                ++count;
        }
        if (count == 0)
            list.AddItem(p);
    }
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    SetProcessDPIAware();
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    const bool full = argc > 1 && std::wstring(argv[1]) == L"--full";
    constexpr int ListedEntries = 27000, PickedNames = 5000;

    auto& form = win::varnofrm::Instance();
    form.Show();
    auto& list = form.DrawingList2();
    const std::wstring answer = Answer(PickedNames);

    Fill(list, ListedEntries);
    auto t0 = Clock::now();
    AddAnswer(list, answer);
    const double fast = Seconds(t0);
    const std::vector<std::wstring> fastResult = list.Items();

    // The plain algorithm, on all names with --full, else on the first 250
    // and scaled up (each name costs a whole pass over the list).
    const int sample = full ? PickedNames : 250;
    std::vector<std::wstring> paths = AnswerPaths(answer);
    paths.resize(static_cast<size_t>(sample));
    Fill(list, ListedEntries);
    t0 = Clock::now();
    AddLiterally(list, paths);
    const double literal = Seconds(t0) * PickedNames / sample;

    // The same list must come out of both for the same names.
    Fill(list, ListedEntries);
    std::wstring sampleAnswer = L"D:\\maps";
    for (size_t i = 0; i < paths.size(); ++i)
        sampleAnswer += L'\0' + paths[i].substr(8);
    AddAnswer(list, sampleAnswer);
    const std::vector<std::wstring> fastSample = list.Items();
    Fill(list, ListedEntries);
    AddLiterally(list, paths);
    const bool same = list.Items() == fastSample && (!full || fastResult == list.Items());

    std::printf("list of %d entries, answer of %d names (%zu added)\n", ListedEntries, PickedNames,
                fastResult.size() - ListedEntries);
    std::printf("add with one read of the list: %.3f s\n", fast);
    std::printf("plain algorithm%s: %.1f s\n", full ? "" : " (250 names, scaled to 5000)", literal);
    std::printf("speed-up: %.0fx; same resulting list: %s\n", literal / fast, same ? "yes" : "NO");
    return same ? 0 : 1;
}
