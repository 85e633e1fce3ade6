#include "app/Module1.h"
#include "batch/PurgeRun.h"
#include "batch/FakeHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <set>
#include <string>

using namespace std::string_literals;

namespace varno {
namespace {

using test::FakeBoxes;
using test::FakeFiles;
using test::FakeHost;
using test::FakeView;
using test::Journal;

const std::wstring FailBox = L"MsgBox(操作不当！|16|错误)";
const std::wstring R2000Box = L"MsgBox(仅支持R2000以上版本！|16|错误)";
const std::wstring TemplateFile = L"C:\\Program Files\\CAD\\TEMPLATE\\acad.dwt";

class PurgeRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Host() = HostSession{};
        view.windows.insert(host.caption);
        files.existing.insert(TemplateFile); // a host of the old layout
    }
    void TearDown() override { Host() = HostSession{}; }

    std::optional<int> Run() { return RunBatchPurge(host, boxes, list, view, files); }

    // Everything up to the first drawing, when the host is running and has
    // its template in its program folder.
    Journal Prologue() const {
        const std::wstring c = host.caption;
        return {L"GetObject(AutoCAD.Application)",
                L"App.Visible=True",
                L"App.ActiveDocument",
                L"Doc.ModelSpace",
                L"Doc.PaperSpace",
                L"Doc.Utility",
                L"App.Caption",
                L"Activate(" + c + L")",
                L"ShowProgress",
                L"HideMain",
                L"App.Caption",
                L"Activate(" + c + L")",
                L"Label3=10:00:00",
                L"App.FullName",
                L"App.FullName",
                L"App.Documents",
                L"Documents.Add(" + TemplateFile + L")",
                L"App.Preferences",
                L"Preferences.OpenSave",
                L"OpenSave.SaveAsType",
                L"App.ActiveDocument",
                L"Doc.SendCommand(PROXYNOTICE 0\r)"};
    }
    // One drawing, every call to the document Open returned.
    static Journal Drawing(int ordinal, int total, const std::wstring& path) {
        return {L"Label1=" + ProgressText(ordinal, total),
                L"Refresh",
                L"App.Documents",
                L"Documents.Open(" + path + L")",
                L"Drawing.ReadOnly",
                L"Drawing.PurgeAll()",
                L"Drawing.Close(True)"};
    }
    static void Append(Journal& to, const Journal& from) {
        to.insert(to.end(), from.begin(), from.end());
    }
    // The completion texts after the last drawing.
    static void AppendDone(Journal& to) {
        Append(to, {L"Label1=" + std::wstring(DoneText), L"Label5=10:00:01"});
    }

    // A run of its own, against a host that setUp prepares, over these
    // entries: where it stopped, its journal and the entries left.
    struct Outcome {
        std::optional<int> stop;
        Journal journal;
        int left;
    };
    Outcome RunAgainst(const std::function<void(FakeHost&)>& setUp,
                       std::initializer_list<const wchar_t*> entries) {
        Outcome out;
        FakeHost h(out.journal);
        FakeBoxes b(out.journal);
        FakeView v(out.journal);
        v.windows.insert(h.caption);
        MemoryDrawingList l;
        for (const wchar_t* e : entries)
            l.AddItem(e);
        setUp(h);
        Host() = HostSession{}; // no earlier run's host, whose fake is gone
        out.stop = RunBatchPurge(h, b, l, v, files);
        Host() = HostSession{};
        out.left = l.ListCount();
        return out;
    }
    int Count(const std::wstring& line) const {
        return static_cast<int>(std::count(journal.begin(), journal.end(), line));
    }
    bool Has(const std::wstring& line) const { return Count(line) > 0; }
    bool HasPrefix(const std::wstring& prefix) const {
        for (const auto& l : journal)
            if (l.rfind(prefix, 0) == 0)
                return true;
        return false;
    }

    Journal journal;
    FakeHost host{journal};
    FakeBoxes boxes{journal};
    FakeView view{journal};
    FakeFiles files;
    MemoryDrawingList list;
};

TEST(PurgeTexts, ProgressTextHasItsExactSpacing) {
    EXPECT_EQ(ProgressText(3, 12), L"正在清理第 3 页   共 12 页");
    EXPECT_EQ(ProgressText(32767, 32767), L"正在清理第 32767 页   共 32767 页");
}

TEST(PurgeTexts, TemplatePathDropsTheExecutablesNineCharacters) {
    const std::wstring full = L"C:\\Program Files\\CAD\\acad.exe";
    EXPECT_EQ(TemplatePath(full, full.size()), L"C:\\Program Files\\CAD\\TEMPLATE\\acad.dwt");
    const std::wstring chinese = L"D:\\制图软件\\vcad.exe";
    EXPECT_EQ(TemplatePath(chinese, chinese.size()), L"D:\\制图软件\\TEMPLATE\\acad.dwt");
    EXPECT_EQ(TemplatePath(L"acad.exe\\", 9), L"\\TEMPLATE\\acad.dwt");
    // Fewer than 9 characters: the runtime's invalid-argument error.
    try {
        TemplatePath(L"acad.exe", 8);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), errnum::InvalidProcedureCall);
    }
}

TEST(PurgeTexts, TrimSpacesRemovesOnlyTheOrdinarySpace) {
    EXPECT_EQ(TrimSpaces(L"  C:\\a b\\c d.dwg  "), L"C:\\a b\\c d.dwg");
    EXPECT_EQ(TrimSpaces(L"\tC:\\x.dwg\t"), L"\tC:\\x.dwg\t");
    EXPECT_EQ(TrimSpaces(L"\u3000C:\\x.dwg\u00A0"), L"\u3000C:\\x.dwg\u00A0");
    EXPECT_EQ(TrimSpaces(L"    "), L"");
    EXPECT_EQ(TrimSpaces(L""), L"");
}

TEST(PurgeTexts, TheFormatCodeNamesTheDrawingsSaveType) {
    const struct {
        std::string bytes;
        std::optional<std::int32_t> type;
    } rows[] = {
        {"AC1014", 8},
        {"AC1015\0\0\0", 12},
        {"AC1018vcad drawing", 24},
        {"AC1021", 36},
        {"AC1024", 48},
        {"AC1027", 60},
        {"AC1032\x1f\x8b", 64},
        {"", std::nullopt},       // an empty file, or one that cannot be read
        {"AC101", std::nullopt},  // shorter than a code
        {"AC1009", std::nullopt}, // R12: no save type of its own
        {"ac1018", std::nullopt}, // codes are upper case
        {"vcad drawing", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DrawingSaveType(row.bytes), row.type) << testing::PrintToString(row.bytes);
}

TEST_F(PurgeRunTest, EmptyListConnectsShowsProgressAndPreparesTheHostOnly) {
    Run();
    EXPECT_EQ(journal, Prologue());
    EXPECT_TRUE(host.visible);
    EXPECT_EQ(list.ListCount(), 0);
}

TEST_F(PurgeRunTest, ThreeDrawingsArePurgedInListOrderThenTheListIsCleared) {
    list.AddItem(L"C:\\d\\c.dwg");
    list.AddItem(L"C:\\d\\A.dwg");
    list.AddItem(L"C:\\d\\b.dwg");
    Run();
    Journal expected = Prologue();
    Append(expected, Drawing(1, 3, L"C:\\d\\A.dwg"));
    Append(expected, Drawing(2, 3, L"C:\\d\\b.dwg"));
    Append(expected, Drawing(3, 3, L"C:\\d\\c.dwg"));
    AppendDone(expected);
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(list.ListCount(), 0);
}

// Each drawing keeps its own format: one in another format than the host's
// setting is saved with SaveAs in its own format and closed unsaved; one in
// the setting's format, or in a format not known, is closed with its save.
TEST_F(PurgeRunTest, EachDrawingIsSavedInItsOwnFormat) {
    files.heads = {{L"C:\\d\\1 R2004.dwg", "AC1018 x"},
                   {L"C:\\d\\2 R2018.dwg", "AC1032 x"},
                   {L"C:\\d\\3 odd.dwg", "AC9999 x"}};
    for (const auto& [path, head] : files.heads)
        list.AddItem(path);
    Run();
    Journal expected = Prologue();
    Append(expected,
           {L"Label1=" + ProgressText(1, 3), L"Refresh", L"App.Documents",
            L"Documents.Open(C:\\d\\1 R2004.dwg)", L"Drawing.ReadOnly", L"Drawing.PurgeAll()",
            L"Drawing.SaveAs(C:\\d\\1 R2004.dwg, 24)", L"Drawing.Close(False)"});
    Append(expected, Drawing(2, 3, L"C:\\d\\2 R2018.dwg"));
    Append(expected, Drawing(3, 3, L"C:\\d\\3 odd.dwg"));
    AppendDone(expected);
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(list.ListCount(), 0);
}

// The host's setting decides which drawings need SaveAs; a host without the
// setting (or with no number in it) saves every drawing by its close.
TEST_F(PurgeRunTest, TheHostsSettingDecidesWhichDrawingsNeedSaveAs) {
    const struct {
        const char* what;
        std::function<void(FakeHost&)> host;
        Journal saves; // of the 2004 drawing, then the 2018 one
    } rows[] = {
        {"set to 2004",
         [](FakeHost& h) { h.saveAsType = 24; },
         {L"Drawing.Close(True)", L"Drawing.SaveAs(C:\\d\\b.dwg, 64)", L"Drawing.Close(False)"}},
        {"no Preferences",
         [](FakeHost& h) { h.Remove(L"App.Preferences"); },
         {L"Drawing.Close(True)", L"Drawing.Close(True)"}},
        {"SaveAsType fails",
         [](FakeHost& h) { h.FailAt(L"OpenSave.SaveAsType", Error(-2147467259, L"no")); },
         {L"Drawing.Close(True)", L"Drawing.Close(True)"}},
        {"SaveAsType is no number",
         [](FakeHost& h) { h.On(L"OpenSave.SaveAsType", [](auto&) { return Variant(L"x"s); }); },
         {L"Drawing.Close(True)", L"Drawing.Close(True)"}},
    };
    files.heads = {{L"C:\\d\\a.dwg", "AC1018"}, {L"C:\\d\\b.dwg", "AC1032"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const Outcome run = RunAgainst(row.host, {L"C:\\d\\a.dwg", L"C:\\d\\b.dwg"});
        EXPECT_EQ(run.stop, std::nullopt);
        Journal saves;
        std::copy_if(run.journal.begin(), run.journal.end(), std::back_inserter(saves),
                     [](const std::wstring& l) {
                         return l.starts_with(L"Drawing.SaveAs") || l.starts_with(L"Drawing.Close");
                     });
        EXPECT_EQ(saves, row.saves);
        EXPECT_EQ(std::count(run.journal.begin(), run.journal.end(), L"App.Preferences"),
                  1); // once a run
    }
}

// Today's hosts keep their templates in the user's profile: without the file
// in the host's program folder the new drawing comes from the host's own
// default template, and the run goes on as before.
TEST_F(PurgeRunTest, WithoutTheTemplateInTheProgramFolderTheHostsDefaultIsUsed) {
    files.existing.clear();
    list.AddItem(L"C:\\d\\a.dwg");
    Run();
    Journal expected = Prologue();
    *std::find(expected.begin(), expected.end(), L"Documents.Add(" + TemplateFile + L")") =
        L"Documents.Add()";
    Append(expected, Drawing(1, 1, L"C:\\d\\a.dwg"));
    AppendDone(expected);
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(list.ListCount(), 0);
}

// The entry a failed run stopped at, for the main window to point at.
class PurgeRunStop : public PurgeRunTest {
  protected:
    void SetUp() override {
        PurgeRunTest::SetUp();
        for (const wchar_t* p : {L"C:\\d\\1.dwg", L"C:\\d\\2.dwg", L"C:\\d\\3.dwg"})
            list.AddItem(p);
    }
};

TEST_F(PurgeRunStop, NoneAfterACompleteRun) {
    EXPECT_EQ(Run(), std::nullopt);
}

TEST_F(PurgeRunStop, TheDrawingThatFailedToOpen) {
    host.FailAt(L"Documents.Open(C:\\d\\2.dwg)", Error(-2147352567, L"cannot open"));
    EXPECT_EQ(Run(), 1);
}

TEST_F(PurgeRunStop, TheDrawingThatFailedToSave) {
    host.FailAt(L"Drawing.Close(True)", Error(70, L"write protected"), 3);
    EXPECT_EQ(Run(), 2);
}

TEST_F(PurgeRunStop, TheDrawingAHostWithoutPurgeAllStoppedAt) {
    host.Remove(L"Drawing.PurgeAll");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(journal.back(), R2000Box);
}

// A drawing opened read-only cannot keep its purge: it is closed unsaved and
// the run stops at it, the list intact.
TEST_F(PurgeRunStop, TheDrawingOpenedReadOnlyClosedUnsaved) {
    host.readOnly.insert(L"C:\\d\\2.dwg");
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Journal(journal.end() - 4, journal.end()),
              (Journal{L"Documents.Open(C:\\d\\2.dwg)", L"Drawing.ReadOnly",
                       L"Drawing.Close(False)", FailBox}));
    EXPECT_EQ(Count(L"Drawing.PurgeAll()"), 1);
    EXPECT_EQ(list.ListCount(), 3);
    EXPECT_FALSE(HasPrefix(L"Label5="));
}

// What Open and ReadOnly may answer: a host without ReadOnly opens every
// drawing for writing; any other failure of it, or an Open that answers no
// document, stops the run at that drawing.
TEST_F(PurgeRunStop, WhatTheOpenedDocumentAnswers) {
    struct Row {
        const char* what;
        std::function<void(FakeHost&)> host;
        std::optional<int> stop;
    };
    const Row rows[] = {
        {"no ReadOnly", [](FakeHost& h) { h.Remove(L"Drawing.ReadOnly"); }, std::nullopt},
        {"ReadOnly fails",
         [](FakeHost& h) { h.FailAt(L"Drawing.ReadOnly", Error(-2147417848, L"gone"), 2); }, 1},
        {"Open answers nothing",
         [](FakeHost& h) { h.On(L"Documents.Open", [](auto&) { return Variant(); }); }, 0},
        {"Open answers Nothing",
         [](FakeHost& h) { h.On(L"Documents.Open", [](auto&) { return Variant(AutoRef()); }); }, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Outcome run =
            RunAgainst(row.host, {L"C:\\d\\1.dwg", L"C:\\d\\2.dwg", L"C:\\d\\3.dwg"});
        EXPECT_EQ(run.stop, row.stop);
        EXPECT_EQ(run.left, row.stop ? 3 : 0);
        EXPECT_EQ(std::count(run.journal.begin(), run.journal.end(), L"Drawing.Close(True)"),
                  row.stop.value_or(3));
    }
}

// A SaveAs that fails is that drawing's failure: the run stops at it, and
// nothing closes it (the file stays as it was).
TEST_F(PurgeRunStop, TheDrawingWhoseSaveAsFailed) {
    files.heads[L"C:\\d\\2.dwg"] = "AC1015";
    host.FailAt(L"Drawing.SaveAs(C:\\d\\2.dwg, 12)", Error(-2147467259, L"cannot save"));
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(journal.back(), FailBox);
    EXPECT_EQ(Count(L"Drawing.Close(True)"), 1);
    EXPECT_EQ(Count(L"Drawing.Close(False)"), 0);
    EXPECT_EQ(list.ListCount(), 3);
}

TEST_F(PurgeRunStop, NoneForAFailedTemplate) {
    host.FailAt(L"Documents.Add(" + TemplateFile + L")", Error(-2147352567, L"template not found"));
    EXPECT_EQ(Run(), std::nullopt);
    EXPECT_EQ(list.ListCount(), 3);
}

TEST_F(PurgeRunStop, NoneWithoutAHost) {
    host.running.clear();
    host.installed.clear();
    EXPECT_EQ(Run(), std::nullopt);
    EXPECT_EQ(list.ListCount(), 3);
}

TEST_F(PurgeRunTest, TwelveDrawingsShowTheirOrdinalOfTheTotal) {
    for (int i = 10; i < 22; ++i)
        list.AddItem(L"C:\\d\\" + std::to_wstring(i) + L".dwg");
    Run();
    EXPECT_TRUE(Has(L"Label1=正在清理第 3 页   共 12 页"));
    EXPECT_TRUE(Has(L"Label1=正在清理第 12 页   共 12 页"));
    EXPECT_EQ(Count(L"Refresh"), 12);
    EXPECT_EQ(Count(L"Drawing.Close(True)"), 12);
    EXPECT_EQ(journal.back(), L"Label5=10:00:01"); // end time once, after the last
}

TEST_F(PurgeRunTest, FailureAtTheSecondOfThreeStopsAndKeepsTheList) {
    list.AddItem(L"C:\\d\\1.dwg");
    list.AddItem(L"C:\\d\\2.dwg");
    list.AddItem(L"C:\\d\\3.dwg");
    host.FailAt(L"Documents.Open(C:\\d\\2.dwg)", Error(-2147352567, L"cannot open"));
    Run();
    Journal expected = Prologue();
    Append(expected, Drawing(1, 3, L"C:\\d\\1.dwg"));
    Append(expected, {L"Label1=" + ProgressText(2, 3), L"Refresh", L"App.Documents",
                      L"Documents.Open(C:\\d\\2.dwg)", FailBox});
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(list.ListCount(), 3);
    EXPECT_FALSE(HasPrefix(L"Label5="));
}

TEST_F(PurgeRunTest, FailuresInPurgeAndSaveEndTheRunToo) {
    list.AddItem(L"C:\\d\\1.dwg");
    list.AddItem(L"C:\\d\\2.dwg");
    host.FailAt(L"Drawing.Close(True)", Error(70, L"write protected"), 2);
    Run();
    EXPECT_EQ(journal.back(), FailBox);
    EXPECT_EQ(Count(L"Drawing.PurgeAll()"), 2);
    EXPECT_EQ(list.ListCount(), 2);
    EXPECT_FALSE(Has(L"Label1=批量清理完成 双击窗口返回"));
}

TEST_F(PurgeRunTest, MissingPurgeAllIsReportedAsNeedingR2000) {
    list.AddItem(L"C:\\d\\1.dwg");
    list.AddItem(L"C:\\d\\2.dwg");
    host.Remove(L"Drawing.PurgeAll");
    Run();
    EXPECT_EQ(journal.back(), R2000Box);
    EXPECT_EQ(Count(L"Documents.Open(C:\\d\\1.dwg)"), 1);
    EXPECT_FALSE(Has(L"Documents.Open(C:\\d\\2.dwg)"));
    EXPECT_FALSE(Has(L"Drawing.Close(True)"));
    EXPECT_EQ(list.ListCount(), 2);
}

TEST_F(PurgeRunTest, Error438FromAnyStepChoosesTheR2000Message) {
    host.FailAt(L"App.FullName", RuntimeError(errnum::ObjectDoesntSupport), 2);
    Run();
    EXPECT_EQ(journal.back(), R2000Box);
    EXPECT_FALSE(HasPrefix(L"App.Documents"));
}

TEST_F(PurgeRunTest, MissingTemplateFailsAfterTheProgressWindowIsShown) {
    list.AddItem(L"C:\\d\\1.dwg");
    host.FailAt(L"Documents.Add(" + TemplateFile + L")", Error(-2147352567, L"template not found"));
    Run();
    EXPECT_TRUE(Has(L"ShowProgress"));
    EXPECT_TRUE(Has(L"HideMain"));
    EXPECT_TRUE(Has(L"Label3=10:00:00"));
    EXPECT_FALSE(HasPrefix(L"Doc.SendCommand"));
    EXPECT_FALSE(HasPrefix(L"Label1="));
    EXPECT_EQ(journal.back(), FailBox);
    EXPECT_EQ(list.ListCount(), 1);
}

TEST_F(PurgeRunTest, ShortFullNameIsAFailureNotACrash) {
    host.fullName = L"a.exe";
    Run();
    EXPECT_FALSE(HasPrefix(L"Documents.Add"));
    EXPECT_EQ(journal.back(), FailBox);
}

TEST_F(PurgeRunTest, PathsLoseLeadingAndTrailingSpacesOnly) {
    list.AddItem(L"  C:\\my drawings\\a b.dwg  ");
    list.AddItem(L"\u3000C:\\d\\wide.dwg");
    Run();
    EXPECT_EQ(host.opened,
              (std::vector<std::wstring>{L"C:\\my drawings\\a b.dwg", L"\u3000C:\\d\\wide.dwg"}));
    EXPECT_EQ(list.ListCount(), 0);
}

TEST_F(PurgeRunTest, TheSamePathTwiceIsPurgedTwice) {
    list.AddItem(L"C:\\d\\same.dwg");
    list.AddItem(L"C:\\d\\same.dwg");
    Run();
    EXPECT_EQ(host.opened, (std::vector<std::wstring>{L"C:\\d\\same.dwg", L"C:\\d\\same.dwg"}));
    EXPECT_EQ(Count(L"Drawing.Close(True)"), 2);
    EXPECT_EQ(Count(L"Label1=" + ProgressText(2, 2)), 1);
}

TEST_F(PurgeRunTest, NoWindowWithTheHostsTitleFailsBeforeTheProgressWindow) {
    view.windows.clear();
    list.AddItem(L"C:\\d\\1.dwg");
    Run();
    EXPECT_FALSE(Has(L"ShowProgress"));
    EXPECT_FALSE(Has(L"HideMain"));
    EXPECT_EQ(journal.back(), FailBox);
    EXPECT_EQ(list.ListCount(), 1);
}

TEST_F(PurgeRunTest, LaunchesTheHostWhenNoneRuns) {
    host.running.clear();
    Run();
    EXPECT_EQ(journal.at(0), L"GetObject(AutoCAD.Application)");
    EXPECT_EQ(journal.at(1), L"CreateObject(AutoCAD.Application)");
    EXPECT_EQ(journal.at(2), L"App.Visible=True");
    EXPECT_EQ(host.launches, 1);
    EXPECT_EQ(Host().HostApp, host.app);
}

// The CAD program the run works with: the first of the table that is
// running; else the first installed is launched, and its failure is the
// run's (no other is tried); with none installed, AutoCAD.Application as
// always, and its description in the first box.
TEST_F(PurgeRunTest, WorksWithTheCadProgramTheUserHas) {
    const std::wstring A = L"AutoCAD.Application", Z = L"ZWCAD.Application",
                       G = L"GCAD.Application", S = L"GStarCAD.Application",
                       B = L"BricscadApp.AcadApplication";
    const auto get = [](const std::wstring& id) { return L"GetObject(" + id + L")"; };
    const auto create = [](const std::wstring& id) { return L"CreateObject(" + id + L")"; };
    struct Row {
        const char* what;
        std::set<std::wstring> installed, running, broken;
        Journal connect; // the runtime's calls and the boxes
    };
    const Row rows[] = {
        {"only 中望CAD, not running", {Z}, {}, {}, {get(Z), create(Z)}},
        {"AutoCAD and 浩辰CAD, the latter running", {A, G}, {G}, {}, {get(A), get(G)}},
        {"AutoCAD and 浩辰CAD, none running", {A, G}, {}, {}, {get(A), get(G), create(A)}},
        {"all of them running", {A, Z, G, S, B}, {A, Z, G, S, B}, {}, {get(A)}},
        {"GStarCAD and BricsCAD running", {A, S, B}, {S, B}, {}, {get(A), get(S)}},
        {"a broken 中望CAD beside BricsCAD",
         {Z, B},
         {},
         {Z},
         {get(Z), get(B), create(Z), L"MsgBox(host broken: ZWCAD.Application|0|)", FailBox}},
        {"none installed",
         {},
         {},
         {},
         {get(A), create(A), L"MsgBox(host not installed|0|)", FailBox}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Outcome run = RunAgainst(
            [&](FakeHost& h) {
                h.installed = row.installed;
                h.running = row.running;
                h.broken = row.broken;
            },
            {L"C:\\d\\a.dwg"});
        Journal connect;
        std::copy_if(run.journal.begin(), run.journal.end(), std::back_inserter(connect),
                     [](const std::wstring& l) {
                         return l.starts_with(L"GetObject(") || l.starts_with(L"CreateObject(") ||
                                l.starts_with(L"MsgBox(");
                     });
        EXPECT_EQ(connect, row.connect);
        const bool completes = connect.back() != FailBox;
        EXPECT_EQ(run.left, completes ? 0 : 1);
        EXPECT_EQ(std::count(run.journal.begin(), run.journal.end(), L"Drawing.Close(True)"),
                  completes ? 1 : 0);
    }
}

// A host whose caption is not its window's title is brought to the front by
// the window its HWND names (64 bits wide on a 64-bit host); a handle that
// names no window stops the run before the progress window, as no title did.
TEST_F(PurgeRunTest, AHostWindowNotTitledWithItsCaptionIsFoundByItsHwnd) {
    view.windows.clear();
    const std::int64_t handle = 0x100000042;
    host.On(L"App.HWND", [&](auto&) { return Variant(handle); });
    view.handles.insert(handle);
    list.AddItem(L"C:\\d\\a.dwg");
    Run();
    EXPECT_EQ(Count(L"App.HWND"), 2);
    EXPECT_EQ(Count(L"ActivateHandle(4294967362)"), 2);
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_FALSE(Has(FailBox));

    journal.clear();
    view.handles.clear(); // the window has gone
    list.AddItem(L"C:\\d\\a.dwg");
    Run();
    EXPECT_TRUE(Has(L"ActivateHandle(4294967362)"));
    EXPECT_FALSE(Has(L"ShowProgress"));
    EXPECT_EQ(journal.back(), FailBox);
    EXPECT_EQ(list.ListCount(), 1);
}

TEST_F(PurgeRunTest, AttachingNeverLaunchesASecondHost) {
    Run();
    EXPECT_FALSE(HasPrefix(L"CreateObject"));
    EXPECT_EQ(host.launches, 0);
    EXPECT_EQ(Host().HostApp, host.app);
    EXPECT_EQ(Host().HostDoc, host.doc);
    ASSERT_TRUE(Host().HostUtility);
}

TEST_F(PurgeRunTest, NoHostShowsTheDescriptionThenTheFailure) {
    host.running.clear();
    host.installed.clear();
    list.AddItem(L"C:\\d\\1.dwg");
    Run();
    EXPECT_EQ(journal,
              (Journal{L"GetObject(AutoCAD.Application)", L"CreateObject(AutoCAD.Application)",
                       L"MsgBox(host not installed|0|)", FailBox}));
    EXPECT_FALSE(Host().HostApp);
    EXPECT_EQ(list.ListCount(), 1);
}

TEST_F(PurgeRunTest, NoHostKeepsAnEarlierSessionAndFailsOnItsSilentHost) {
    // An earlier run connected to a host that has gone since.
    FakeHost gone(journal);
    gone.FailAt(L"App.Caption", Error(-2147023174, L"RPC server unavailable"));
    Host().HostApp = gone.app;
    host.running.clear();
    host.installed.clear();
    Run();
    EXPECT_EQ(Host().HostApp, gone.app); // unchanged
    EXPECT_EQ(journal.at(2), L"MsgBox(host not installed|0|)");
    EXPECT_EQ(journal.at(3), L"App.Caption");
    EXPECT_EQ(journal.back(), FailBox);
    EXPECT_FALSE(Has(L"ShowProgress"));
}

TEST_F(PurgeRunTest, FailuresWhileCapturingTheSessionAreIgnored) {
    const AutoRef earlierDoc = host.Make(L"OldDoc");
    Host().HostDoc = earlierDoc;
    host.FailAt(L"App.Visible=True", Error(-2147418113, L"catastrophic"));
    host.FailAt(L"App.ActiveDocument", Error(-2147418113, L"no document"));
    list.AddItem(L"C:\\d\\1.dwg");
    Run();
    EXPECT_EQ(Host().HostDoc, earlierDoc); // left as it was
    // The model space and the others are asked of the document already held
    // (which does not know them: ignored too).
    EXPECT_TRUE(Has(L"OldDoc.ModelSpace"));
    EXPECT_TRUE(Has(L"OldDoc.Utility"));
    EXPECT_FALSE(Host().HostModelSpace);
    // And the run goes on.
    EXPECT_TRUE(Has(L"Drawing.Close(True)"));
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_FALSE(Has(FailBox));
}

TEST_F(PurgeRunTest, AFailedModelSpaceLeavesTheOtherCapturesInPlace) {
    host.FailAt(L"Doc.ModelSpace", Error(-1, L"x"));
    Run();
    EXPECT_FALSE(Host().HostModelSpace);
    EXPECT_TRUE(Host().HostPaperSpace);
    EXPECT_TRUE(Host().HostUtility);
}

TEST_F(PurgeRunTest, EverySecondRunConnectsAgainAndLaunchesWhenTheHostIsGone) {
    Run();
    const AutoRef first = Host().HostApp;
    host.running.clear(); // closed between the runs
    journal.clear();
    list.AddItem(L"C:\\d\\1.dwg");
    Run();
    EXPECT_EQ(journal.at(1), L"CreateObject(AutoCAD.Application)");
    EXPECT_EQ(host.launches, 1);
    EXPECT_EQ(Count(L"Drawing.Close(True)"), 1);
    EXPECT_EQ(Host().HostApp, first); // the fake hands out the same object
}

TEST_F(PurgeRunTest, AHostAnsweringWithTextWhereAnObjectBelongsIsAFailure) {
    host.On(L"App.Documents", [](auto&) { return Variant(std::wstring(L"not an object")); });
    Run();
    EXPECT_EQ(journal.back(), FailBox);
}

} // namespace
} // namespace varno
