#include "app/Module1.h"
#include "batch/PurgeRun.h"
#include "batch/FakeHost.h"
#include "support/MemoryDrawingList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <iterator>
#include <set>
#include <string>

using namespace std::string_literals;

namespace varno {
namespace {

using test::FakeFiles;
using test::FakeHost;
using test::FakeRecords;
using test::FakeView;
using test::Journal;

// The box after a failure as the view journals it, for error number (not
// 438 unless said), with its reason, at a drawing or before the first: the
// question after the failure of one drawing, else the message box of a
// failure that ends the run.
std::wstring FailBox(std::wstring_view reason, std::optional<std::wstring_view> drawing = {},
                     long number = errnum::PermissionDenied) {
    if (drawing && !IsServerGone(number) && number != errnum::ObjectDoesntSupport &&
        reason != FormatChangedText)
        return L"Ask(" + std::wstring(*drawing) + L"|" + std::wstring(reason) + L")";
    return L"MsgBox(" + FailureText(number, reason, drawing) + L"|16|错误)";
}
bool IsFailBox(const std::wstring& line) {
    return line.starts_with(L"MsgBox(操作不当！\n\n") && line.ends_with(L"|16|错误)");
}
bool IsR2000Box(const std::wstring& line) {
    return line.starts_with(L"MsgBox(仅支持R2000以上版本！\n\n") && line.ends_with(L"|16|错误)");
}
// The user's proxy notice, read before the run turns it off and put back at its end.
const std::wstring ReadProxyNotice = L"Doc.GetVariable(PROXYNOTICE)";
const std::wstring PutBackProxyNotice = L"Doc.SetVariable(PROXYNOTICE, i2:1)";
// ... through the document active at the end.
const Journal PutBack = {L"App.ActiveDocument", PutBackProxyNotice};
// The user's value kept on disk meanwhile, for the host of that FullName.
const std::wstring KeepRecord = L"Keep(C:\\Program Files\\CAD\\vcad.exe, 1)";
const std::wstring TemplateFile = L"C:\\Program Files\\CAD\\TEMPLATE\\acad.dwt";

class PurgeRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Host() = HostSession{};
        view.windows.insert(host.caption);
        // A host of the old layout: its template is in its program folder.
    }
    void TearDown() override { Host() = HostSession{}; }

    std::optional<int> Run() { return RunBatchPurge(host, list, view, files, records); }

    // Everything up to the first drawing, when the host is running and has
    // its template in its program folder.
    Journal Prologue() const {
        const std::wstring c = host.caption;
        return {L"AttachRunning(AutoCAD.Application)",
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
                L"Doc.Name",
                L"App.Preferences",
                L"Preferences.OpenSave",
                L"OpenSave.SaveAsType",
                L"App.ActiveDocument",
                ReadProxyNotice,
                KeepRecord,
                L"Doc.SendCommand(PROXYNOTICE 0\r)"};
    }
    // One drawing: the host's open documents looked through (the run's new
    // drawing, which has no file yet), then every call to the document Open
    // returned, CAD's record of changes read after the purge.
    static Journal Drawing(int ordinal, int total, const std::wstring& path) {
        Journal j = {L"Label1=" + ProgressText(ordinal, total),
                     L"Refresh",
                     L"App.Documents",
                     L"Documents.Count",
                     L"Documents.Item(0)",
                     L"Item0.FullName",
                     L"Documents.Open(" + path + L")",
                     L"Drawing.ReadOnly"};
        Append(j, Purged());
        Append(j, {L"Drawing.GetVariable(DBMOD)", L"Drawing.Close(True)"});
        return j;
    }
    // The purge of a drawing with nothing nested: its collections fetched and
    // counted, one PurgeAll, the counts read again and found unchanged.
    static Journal Purged() {
        return {L"Drawing.Blocks",    L"Drawing.Layers",  L"Drawing.Linetypes",
                L"Drawing.DimStyles", L"Blocks.Count",    L"Layers.Count",
                L"Linetypes.Count",   L"DimStyles.Count", L"Drawing.PurgeAll()",
                L"Blocks.Count",      L"Layers.Count",    L"Linetypes.Count",
                L"DimStyles.Count"};
    }
    static void Append(Journal& to, const Journal& from) {
        to.insert(to.end(), from.begin(), from.end());
    }
    // The completion texts after the last drawing, and the user's proxy
    // notice put back.
    static void AppendDone(Journal& to) {
        Append(to, {L"Label1=" + std::wstring(DoneText), L"Label5=10:00:01"});
        Append(to, PutBack);
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
        FakeView v(out.journal);
        v.windows.insert(h.caption);
        MemoryDrawingList l;
        for (const wchar_t* e : entries)
            l.AddItem(e);
        setUp(h);
        Host() = HostSession{}; // no earlier run's host, whose fake is gone
        FakeRecords r(out.journal);
        out.stop = RunBatchPurge(h, l, v, files, r);
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
    FakeView view{journal};
    FakeFiles files;
    FakeRecords records{journal};
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

// The drawing's code names its format: the host's save type where it has
// one, and whether no host of today writes it (older than R14).
TEST(PurgeTexts, TheFormatCodeNamesTheDrawingsSaveType) {
    const struct {
        std::string bytes;
        std::optional<std::int32_t> type;
        bool tooOld = false;
    } rows[] = {
        {"AC1014", 8},
        {"AC1015\0\0\0", 12},
        {"AC1018vcad drawing", 24},
        {"AC1021", 36},
        {"AC1024", 48},
        {"AC1027", 60},
        {"AC1032\x1f\x8b", 64},
        {"AC1040", std::nullopt},       // newer than the table: saved as the host saves
        {"", std::nullopt},             // an empty file, or one that cannot be read
        {"AC101", std::nullopt},        // shorter than a code
        {"AC1012", std::nullopt, true}, // R13
        {"AC1009", std::nullopt, true}, // R11/12
        {"AC2.10", std::nullopt, true}, // the dotted codes of the oldest
        {"AC1.50", std::nullopt, true},
        {"MC0.0\0", std::nullopt, true}, // version 1.0
        {"ac1018", std::nullopt},        // codes are upper case
        {"vcad drawing", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.bytes));
        EXPECT_EQ(DrawingSaveType(row.bytes), row.type);
        const DrawingFormat format = FormatOf(row.bytes);
        EXPECT_EQ(format.saveType, row.type);
        EXPECT_EQ(format.tooOld, row.tooOld);
    }
}

// The box after a run that skipped drawings: a line each, at most 20, then
// how many more.
TEST(PurgeTexts, TheSkippedDrawingsAreListedTwentyAtMost) {
    std::vector<SkippedDrawing> skipped;
    for (int i = 1; i <= 22; ++i)
        skipped.push_back({L"D:\\图纸\\" + std::to_wstring(i) + L".dwg", L"找不到图纸文件。"});
    EXPECT_EQ(SkippedReport(std::span(skipped).first(1)), L"D:\\图纸\\1.dwg：找不到图纸文件。");
    const std::wstring twenty = SkippedReport(std::span(skipped).first(20));
    EXPECT_EQ(std::count(twenty.begin(), twenty.end(), L'\n'), 19);
    const std::wstring all = SkippedReport(skipped);
    EXPECT_EQ(all.substr(0, twenty.size()), twenty);
    EXPECT_EQ(all.substr(twenty.size()), L"\n……另有 2 张");
}

TEST_F(PurgeRunTest, EmptyListConnectsShowsProgressAndPreparesTheHostOnly) {
    Run();
    Journal expected = Prologue();
    Append(expected, PutBack);
    EXPECT_EQ(journal, expected);
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
    Append(expected, {L"Label1=" + ProgressText(1, 3), L"Refresh", L"App.Documents",
                      L"Documents.Count", L"Documents.Item(0)", L"Item0.FullName",
                      L"Documents.Open(C:\\d\\1 R2004.dwg)", L"Drawing.ReadOnly"});
    Append(expected, Purged());
    Append(expected, {L"Drawing.GetVariable(DBMOD)", L"Drawing.SaveAs(C:\\d\\1 R2004.dwg, 24)",
                      L"Drawing.Close(False)"});
    Append(expected, Drawing(2, 3, L"C:\\d\\2 R2018.dwg"));
    Append(expected, Drawing(3, 3, L"C:\\d\\3 odd.dwg"));
    AppendDone(expected);
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(list.ListCount(), 0);
}

// The host's setting decides which drawings need SaveAs; where the setting
// cannot be read, no drawing is left to it: each is saved by SaveAs in its own
// format.
TEST_F(PurgeRunTest, TheHostsSettingDecidesWhichDrawingsNeedSaveAs) {
    // Without the setting, each drawing is saved in its own format by name.
    const Journal ownFormat = {L"Drawing.SaveAs(C:\\d\\a.dwg, 24)", L"Drawing.Close(False)",
                               L"Drawing.SaveAs(C:\\d\\b.dwg, 64)", L"Drawing.Close(False)"};
    const struct {
        const char* what;
        std::function<void(FakeHost&)> host;
        Journal saves; // of the 2004 drawing, then the 2018 one
    } rows[] = {
        {"set to 2004",
         [](FakeHost& h) { h.saveAsType = 24; },
         {L"Drawing.Close(True)", L"Drawing.SaveAs(C:\\d\\b.dwg, 64)", L"Drawing.Close(False)"}},
        {"no Preferences", [](FakeHost& h) { h.Remove(L"App.Preferences"); }, ownFormat},
        {"Preferences fails",
         [](FakeHost& h) { h.FailAt(L"App.Preferences", Error(-2147467259, L"no")); }, ownFormat},
        {"SaveAsType fails",
         [](FakeHost& h) { h.FailAt(L"OpenSave.SaveAsType", Error(-2147467259, L"no")); },
         ownFormat},
        {"SaveAsType is no number",
         [](FakeHost& h) { h.On(L"OpenSave.SaveAsType", [](auto&) { return Variant(L"x"s); }); },
         ownFormat},
        {"SaveAsType is a 16-bit number",
         [](FakeHost& h) {
             h.On(L"OpenSave.SaveAsType", [](auto&) { return Variant(std::int16_t{24}); });
         },
         {L"Drawing.Close(True)", L"Drawing.SaveAs(C:\\d\\b.dwg, 64)", L"Drawing.Close(False)"}},
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

// The run purges each drawing again while the last pass removed something
// (the counts of its blocks, layers, linetypes and dimension styles changed),
// at most 10 times, then saves it once. A drawing with nothing nested gets
// one pass, and so does one whose collections cannot be counted; a failure
// in a later pass is that drawing's.
TEST_F(PurgeRunTest, PurgesUntilAPassRemovesNothingThenSavesOnce) {
    struct Row {
        const char* what;
        std::function<void(FakeHost&)> host;
        int passes;    // for each of the two drawings
        bool complete; // else the run stops at the first, closed unsaved
        bool saved = true;
    };
    // Where CAD reports no change (DBMOD 0) and the first pass changed no
    // count, the drawing is closed unsaved.
    const auto clean = [](FakeHost& h) { h.clean = {L"C:\\d\\a.dwg", L"C:\\d\\b.dwg"}; };
    const Row rows[] = {
        {"nothing nested", [](FakeHost&) {}, 1, true},
        {"nothing to purge", clean, 1, true, false},
        {"DBMOD 0, but the first pass changed a count",
         [&](FakeHost& h) {
             clean(h);
             h.nesting = 3;
         },
         4, true},
        {"DBMOD that cannot be read",
         [&](FakeHost& h) {
             clean(h);
             h.Remove(L"Drawing.GetVariable");
         },
         1, true},
        {"DBMOD that is no number",
         [&](FakeHost& h) {
             clean(h);
             h.On(L"Drawing.GetVariable", [](auto&) { return Variant(L"0"s); });
         },
         1, true},
        {"3 levels", [](FakeHost& h) { h.nesting = 3; }, 4, true},
        {"12 levels", [](FakeHost& h) { h.nesting = 12; }, 10, true},
        {"no collections",
         [](FakeHost& h) {
             h.nesting = 3;
             h.Remove(L"Drawing.DimStyles");
         },
         1, true},
        {"a count that fails after a pass",
         [](FakeHost& h) {
             h.nesting = 3;
             for (const int nth : {2, 4}) // after each drawing's first pass
                 h.FailAt(L"Layers.Count", Error(-2147467259, L"no"), nth);
         },
         1, true},
        {"a later pass that fails",
         [](FakeHost& h) {
             h.nesting = 3;
             h.FailAt(L"Drawing.PurgeAll()", Error(-2147467259, L"purge failed"), 2);
         },
         2, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Outcome run = RunAgainst(row.host, {L"C:\\d\\a.dwg", L"C:\\d\\b.dwg"});
        const auto count = [&](const std::wstring& line) {
            return std::count(run.journal.begin(), run.journal.end(), line);
        };
        EXPECT_EQ(run.stop, row.complete ? std::nullopt : std::optional(0));
        EXPECT_EQ(count(L"Drawing.PurgeAll()"), row.complete ? 2 * row.passes : row.passes);
        EXPECT_EQ(count(L"Drawing.Close(True)"), row.complete && row.saved ? 2 : 0); // once each
        EXPECT_EQ(count(L"Drawing.Close(False)"), row.complete ? (row.saved ? 0 : 2) : 1);
        EXPECT_EQ(count(L"Drawing.GetVariable(DBMOD)"), row.complete ? 2 : 0);
        if (row.complete && row.passes > 1 && row.passes < 10) {
            // A pass costs its PurgeAll and four counts.
            EXPECT_EQ(count(L"Blocks.Count"), 2 * (row.passes + 1));
            EXPECT_EQ(count(L"DimStyles.Count"), 2 * (row.passes + 1));
        }
    }
}

// Today's hosts keep their templates in the user's profile: without the file
// in the host's program folder the new drawing comes from the host's own
// default template, and the run goes on as before.
TEST_F(PurgeRunTest, WithoutTheTemplateInTheProgramFolderTheHostsDefaultIsUsed) {
    files.absent.insert(TemplateFile);
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
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(list.Items(), (std::vector<std::wstring>{L"C:\\d\\2.dwg", L"C:\\d\\3.dwg"}));
}

TEST_F(PurgeRunStop, TheDrawingThatFailedToSave) {
    host.FailAt(L"Drawing.Close(True)", Error(70, L"write protected"), 3);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(list.Items(), std::vector<std::wstring>{L"C:\\d\\3.dwg"});
}

TEST_F(PurgeRunStop, TheDrawingAHostWithoutPurgeAllStoppedAt) {
    host.Remove(L"Drawing.PurgeAll");
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(IsR2000Box(journal.back()));
}

// A drawing opened read-only cannot keep its purge: it is closed unsaved and
// the run stops at it, the list intact.
TEST_F(PurgeRunStop, TheDrawingOpenedReadOnlyClosedUnsaved) {
    host.readOnly.insert(L"C:\\d\\2.dwg");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(
        Journal(journal.end() - 6, journal.end()),
        (Journal{L"Documents.Open(C:\\d\\2.dwg)", L"Drawing.ReadOnly", L"Drawing.Close(False)",
                 FailBox(ReadOnlyText, L"C:\\d\\2.dwg"), PutBack[0], PutBack[1]}));
    EXPECT_EQ(Count(L"Drawing.PurgeAll()"), 1);
    EXPECT_EQ(list.ListCount(), 2);
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
        int closedUnsaved = 0;
    };
    const Row rows[] = {
        {"no ReadOnly", [](FakeHost& h) { h.Remove(L"Drawing.ReadOnly"); }, std::nullopt},
        {"ReadOnly fails, the host gone",
         [](FakeHost& h) { h.FailAt(L"Drawing.ReadOnly", Error(-2147417848, L"gone"), 2); }, 1},
        {"ReadOnly fails, the host answering",
         [](FakeHost& h) { h.FailAt(L"Drawing.ReadOnly", Error(-2147467259, L"no"), 2); }, 1, 1},
        {"Open answers nothing",
         [](FakeHost& h) { h.On(L"Documents.Open", [](auto&) { return Variant(); }); }, 0},
        {"Open answers Nothing",
         [](FakeHost& h) { h.On(L"Documents.Open", [](auto&) { return Variant(AutoRef()); }); }, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Outcome run =
            RunAgainst(row.host, {L"C:\\d\\1.dwg", L"C:\\d\\2.dwg", L"C:\\d\\3.dwg"});
        // The drawing stopped at, and those after it, are left.
        EXPECT_EQ(run.stop, row.stop ? std::optional(0) : std::nullopt);
        EXPECT_EQ(run.left, row.stop ? 3 - *row.stop : 0);
        EXPECT_EQ(std::count(run.journal.begin(), run.journal.end(), L"Drawing.Close(True)"),
                  row.stop.value_or(3));
        EXPECT_EQ(std::count(run.journal.begin(), run.journal.end(), L"Drawing.Close(False)"),
                  row.closedUnsaved);
    }
}

// A purge or save that fails is that drawing's failure: the run stops at it,
// and closes it unsaved while the host answers, so that no later "save
// changes?" writes it in the host's format; after a host that went away
// nothing more is asked of it.
TEST_F(PurgeRunStop, TheDrawingWhosePurgeOrSaveFailedIsClosedUnsaved) {
    struct Row {
        const char* what;
        std::wstring failing;
        Error error;
        int closedUnsaved;
    };
    const Row rows[] = {
        {"SaveAs", L"Drawing.SaveAs(C:\\d\\2.dwg, 12)", Error(-2147467259, L"cannot save"), 1},
        {"Close(True)", L"Drawing.Close(True)", Error(70, L"write protected"), 1},
        {"PurgeAll", L"Drawing.PurgeAll()", Error(-2147467259, L"purge failed"), 1},
        {"the host went away", L"Drawing.PurgeAll()", Error(-2147417848, L"disconnected"), 0},
    };
    files.heads[L"C:\\d\\2.dwg"] = "AC1015";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Outcome run = RunAgainst(
            [&](FakeHost& h) {
                h.saveAsType = row.failing.starts_with(L"Drawing.SaveAs") ? 64 : 12;
                h.FailAt(row.failing, row.error,
                         row.failing.starts_with(L"Drawing.SaveAs") ? 1 : 2);
            },
            {L"C:\\d\\1.dwg", L"C:\\d\\2.dwg", L"C:\\d\\3.dwg"});
        EXPECT_EQ(run.stop, 0);
        EXPECT_EQ(run.left, 2); // 1.dwg is done
        // What follows the failed call (the second drawing's: the last of them).
        const auto failed = std::find(run.journal.rbegin(), run.journal.rend(), row.failing);
        ASSERT_NE(failed, run.journal.rend());
        Journal expected(row.closedUnsaved, L"Drawing.Close(False)");
        expected.push_back(FailBox(ReasonOf(row.error), L"C:\\d\\2.dwg", row.error.Number()));
        if (row.closedUnsaved)
            Append(expected, PutBack);
        EXPECT_EQ(Journal(failed.base(), run.journal.end()), expected);
    }
}

// Why the run stopped, and where: a drawing the user has open in the host
// (by any name of its file), one not there, one in a format older than any
// host of today writes, one the host saved in another format than its own;
// a host that went away; no window of the host. A drawing the run stops at
// before Open is never handed to the host.
TEST_F(PurgeRunStop, TheBoxSaysWhichDrawingAndWhy) {
    const std::wstring second = L"C:\\d\\2.dwg";
    struct Row {
        const char* what;
        std::function<void(FakeHost&, FakeFiles&)> setUp;
        std::optional<int> stop;
        std::wstring box; // empty: no box
        bool secondOpened;
        bool putBack = true;
    };
    const Row rows[] = {
        {"open in the host, in other letter case",
         [](FakeHost& h, FakeFiles&) { h.UserOpens(L"c:\\D\\2.DWG"); }, 1,
         FailBox(OpenInHostText, second), false},
        {"open in the host under its short name",
         [](FakeHost& h, FakeFiles& f) {
             h.UserOpens(L"C:\\PROJEC~1\\2.dwg");
             f.finals[L"C:\\PROJEC~1\\2.dwg"] = {L"\\\\?\\C:\\d\\2.dwg"};
             f.finals[L"C:\\d\\2.dwg"] = {L"\\\\?\\C:\\d\\2.dwg"};
         },
         1, FailBox(OpenInHostText, second), false},
        {"open in the host, the file unreadable: the paths as given",
         [](FakeHost& h, FakeFiles& f) {
             h.UserOpens(L"C:\\d\\2.dwg");
             f.unreadable.insert(L"C:\\d\\2.dwg");
         },
         1, FailBox(OpenInHostText, second), false},
        {"another file of that name open",
         [](FakeHost& h, FakeFiles&) { h.UserOpens(L"C:\\e\\2.dwg"); }, std::nullopt, L"", true},
        {"a host that cannot list its documents",
         [](FakeHost& h, FakeFiles&) {
             h.UserOpens(L"C:\\d\\2.dwg");
             h.Remove(L"Documents.Count");
         },
         std::nullopt, L"", true},
        // A document whose FullName fails (as some hosts' unsaved drawings
        // do) or answers no text is known by its Path and Name; by its Name
        // alone where its Path fails too, which the run's template drawing
        // never is; one of which nothing can be read is passed over.
        {"FullName fails for every document: Path and Name",
         [](FakeHost& h, FakeFiles&) {
             h.Remove(h.UserOpens(L"c:\\d\\2.DWG") + L".FullName");
             h.Remove(L"Item0.FullName");
         },
         1, FailBox(OpenInHostText, second), false},
        {"FullName answers an object",
         [](FakeHost& h, FakeFiles&) {
             h.On(h.UserOpens(L"C:\\d\\2.dwg") + L".FullName",
                  [&h](auto&) { return Variant(h.Make(L"x")); });
         },
         1, FailBox(OpenInHostText, second), false},
        {"another folder's 2.dwg known by its Name alone",
         [](FakeHost& h, FakeFiles&) {
             const std::wstring item = h.UserOpens(L"C:\\e\\2.dwg");
             h.Remove(item + L".FullName");
             h.Remove(item + L".Path");
         },
         1, FailBox(SameNameOpenText, second), false},
        {"the template drawing known by its Name alone",
         [](FakeHost& h, FakeFiles&) {
             h.Remove(L"Item0.FullName");
             h.On(L"Doc.Name", [](auto&) { return Variant(L"2.dwg"s); });
             h.On(L"Item0.Name", [](auto&) { return Variant(L"2.dwg"s); });
         },
         std::nullopt, L"", true},
        {"a document of which nothing can be read",
         [](FakeHost& h, FakeFiles&) {
             h.UserOpens(L"C:\\d\\1.dwg");
             h.FailAt(L"Documents.Item(1)", Error(-2147467259, L"no"));
         },
         std::nullopt, L"", true},
        {"a host that counts its documents from 1",
         [](FakeHost& h, FakeFiles&) {
             h.firstItem = 1;
             h.UserOpens(L"c:\\D\\2.DWG");
         },
         1, FailBox(OpenInHostText, second), false},
        // Final paths are compared in the first form both sides give.
        {"open under a mapped drive whose normalized name fails",
         [](FakeHost& h, FakeFiles& f) {
             h.UserOpens(L"X:\\2.dwg");
             f.finals[L"X:\\2.dwg"] = {std::nullopt, L"\\\\?\\UNC\\srv\\d\\2.dwg"};
             f.finals[L"C:\\d\\2.dwg"] = {L"\\\\?\\C:\\d\\2.dwg", L"\\\\?\\UNC\\srv\\d\\2.DWG"};
         },
         1, FailBox(OpenInHostText, second), false},
        {"another file, told apart in the device's name",
         [](FakeHost& h, FakeFiles& f) {
             h.UserOpens(L"C:\\e\\2.dwg");
             f.finals[L"C:\\e\\2.dwg"] = {std::nullopt, std::nullopt, std::nullopt,
                                          L"\\Device\\e\\2.dwg"};
             f.finals[L"C:\\d\\2.dwg"] = {L"\\\\?\\C:\\d\\2.dwg", std::nullopt, std::nullopt,
                                          L"\\Device\\d\\2.dwg"};
         },
         std::nullopt, L"", true},
        {"version 1.0", [](FakeHost&, FakeFiles& f) { f.heads[L"C:\\d\\2.dwg"] = "MC0.0"; }, 1,
         FailBox(TooOldFormatText, second), false},
        // After its save the drawing is read again for up to 2 s.
        {"the saved file held for a moment",
         [](FakeHost& h, FakeFiles& f) {
             f.heads[L"C:\\d\\2.dwg"] = "AC1032";
             h.On(L"Drawing.Close", [&](auto& a) {
                 if (std::get<bool>(a.at(0)))
                     f.held[h.opened.back()] = 20;
                 return Variant();
             });
         },
         std::nullopt, L"", true},
        {"the saved file held for good",
         [](FakeHost& h, FakeFiles& f) {
             f.heads[L"C:\\d\\2.dwg"] = "AC1032";
             h.On(L"Drawing.Close", [&](auto& a) {
                 if (std::get<bool>(a.at(0)))
                     f.held[h.opened.back()] = 21;
                 return Variant();
             });
         },
         1,
         FailBox(std::wstring(UnreadableAfterSaveText) +
                     L"另一个程序正在使用此文件，进程无法访问。",
                 second, errnum::PathFileAccess),
         true},
        {"not there", [](FakeHost&, FakeFiles& f) { f.absent.insert(L"C:\\d\\2.dwg"); }, 1,
         FailBox(DrawingMissingText, second), false},
        {"R13", [](FakeHost&, FakeFiles& f) { f.heads[L"C:\\d\\2.dwg"] = "AC1012"; }, 1,
         FailBox(TooOldFormatText, second), false},
        {"R2.10", [](FakeHost&, FakeFiles& f) { f.heads[L"C:\\d\\2.dwg"] = "AC2.10"; }, 1,
         FailBox(TooOldFormatText, second), false},
        {"a code above today's is saved as today",
         [](FakeHost&, FakeFiles& f) { f.heads[L"C:\\d\\2.dwg"] = "AC1040"; }, std::nullopt, L"",
         true},
        {"the host saved another format",
         [](FakeHost& h, FakeFiles& f) {
             f.heads[L"C:\\d\\2.dwg"] = "AC1018";
             h.On(L"Drawing.SaveAs", [&f](auto& a) {
                 f.heads[std::get<std::wstring>(a.at(0))] = "AC1032";
                 return Variant();
             });
         },
         1, FailBox(FormatChangedText, second), true},
        {"the host went away",
         [](FakeHost& h, FakeFiles&) {
             h.FailAt(L"Documents.Open(C:\\d\\2.dwg)", Error(-2147417848, L"disconnected"));
         },
         1, FailBox(HostGoneText, second, -2147417848), true, false},
        {"the host stopped answering",
         [](FakeHost& h, FakeFiles&) {
             h.FailAt(L"Drawing.PurgeAll()", Error(-2147418111, L"rejected"), 2);
         },
         1, FailBox(HostGoneText, second, -2147418111), true, false},
        {"no window of the host",
         [](FakeHost& h, FakeFiles&) { h.caption = L"not a window's title"; }, std::nullopt,
         FailBox(NoHostWindowText, {}, errnum::InvalidProcedureCall), false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        files = FakeFiles{};
        const Outcome run = RunAgainst([&](FakeHost& h) { row.setUp(h, files); },
                                       {L"C:\\d\\1.dwg", second.c_str(), L"C:\\d\\3.dwg"});
        // The drawing stopped at is the first left: 1.dwg is done.
        EXPECT_EQ(run.stop, row.stop ? std::optional(0) : std::nullopt);
        EXPECT_EQ(run.left, row.box.empty() ? 0 : row.stop ? 2 : 3);
        const auto has = [&](const std::wstring& line) {
            return std::count(run.journal.begin(), run.journal.end(), line) > 0;
        };
        if (!row.box.empty()) {
            EXPECT_TRUE(has(row.box)) << testing::PrintToString(row.box);
        }
        EXPECT_EQ(has(L"Documents.Open(" + second + L")"), row.secondOpened);
        EXPECT_EQ(has(PutBackProxyNotice), row.putBack);
    }
}

// The user's proxy notice goes back through the document active at the end,
// or one added for it where none is; it is kept on disk meanwhile, and a
// record found (a run ended from outside left it) holds the value put back.
TEST_F(PurgeRunTest, TheProxyNoticeGoesBackInEveryCase) {
    const std::wstring hostName = host.fullName;
    struct Row {
        const char* what;
        std::function<void(FakeHost&, FakeRecords&)> setUp;
        Journal end;                          // the journal from the end time on
        std::optional<std::int16_t> recorded; // what stays on disk
    };
    const Row rows[] = {
        {"as the run ends", [](FakeHost&, FakeRecords&) {}, PutBack, std::nullopt},
        {"the template drawing closed: no document open",
         [](FakeHost& h, FakeRecords&) {
             h.FailAt(L"App.ActiveDocument", Error(-2147467259, L"no document"), 3);
         },
         {L"App.ActiveDocument", L"App.FullName", L"App.FullName", L"App.Documents",
          L"Documents.Add(" + TemplateFile + L")", PutBackProxyNotice, L"Doc.Close(False)"},
         std::nullopt},
        {"a record left by a run ended from outside",
         [&](FakeHost& h, FakeRecords& r) {
             r.values[hostName] = 1;
             h.On(L"Doc.GetVariable", [](auto&) { return Variant(std::int16_t{0}); });
         },
         PutBack, std::nullopt},
        {"a put back that fails",
         [](FakeHost& h, FakeRecords&) { h.FailAt(PutBackProxyNotice, Error(-2147467259, L"no")); },
         PutBack, 1},
        {"a record that cannot be written", [](FakeHost&, FakeRecords& r) { r.readOnly = true; },
         PutBack, std::nullopt},
        {"the host gone",
         [](FakeHost& h, FakeRecords&) {
             h.FailAt(L"Drawing.PurgeAll()", Error(-2147417848, L"disconnected"));
         },
         {},
         1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Journal j;
        FakeHost h(j);
        FakeView v(j);
        v.windows.insert(h.caption);
        FakeRecords r(j);
        MemoryDrawingList l;
        l.AddItem(L"C:\\d\\a.dwg");
        row.setUp(h, r);
        const bool recordedBefore = !r.values.empty();
        Host() = HostSession{};
        RunBatchPurge(h, l, v, files, r);
        Host() = HostSession{};
        EXPECT_EQ(std::count(j.begin(), j.end(), KeepRecord), recordedBefore ? 0 : 1);
        const auto endTime = std::find(j.begin(), j.end(), L"Label5=10:00:01");
        if (!row.end.empty()) {
            ASSERT_NE(endTime, j.end());
            EXPECT_EQ(Journal(endTime + 1, j.end()), row.end);
        }
        EXPECT_EQ(std::count(j.begin(), j.end(), PutBackProxyNotice), row.end.empty() ? 0 : 1);
        EXPECT_EQ(r.Find(hostName), row.recorded);
    }
}

// What the open-document check learns holds for the run: whether the host
// counts its documents from 1 (asked once), and the final path of each open
// document's file (looked up once, however many drawings are listed).
TEST_F(PurgeRunTest, TheOpenDocumentsAreLearntOnceARun) {
    host.firstItem = 1;
    host.UserOpens(L"E:\\share\\x.dwg");
    for (const wchar_t* p : {L"C:\\d\\1.dwg", L"C:\\d\\2.dwg", L"C:\\d\\3.dwg"})
        list.AddItem(p);
    Run();
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(Count(L"Documents.Item(0)"), 1);
    EXPECT_EQ(Count(L"Documents.Item(1)"), 3);
    EXPECT_EQ(Count(L"Documents.Item(2)"), 4); // the end of the count, asked once more
    EXPECT_EQ(Count(L"Item1.FullName"), 3);
    EXPECT_EQ(files.finalReads[L"E:\\share\\x.dwg"], 1);
    EXPECT_EQ(files.finalReads[L"C:\\d\\2.dwg"], 1);
}

// A stop the user asked for ends the run before the next drawing: nothing
// more is opened, the stopped text and the end time show, the proxy notice
// goes back, and the drawings not done are left, the first pointed at.
TEST_F(PurgeRunStop, AStopEndsTheRunBeforeTheNextDrawing) {
    for (const int before : {0, 1, 2}) {
        SCOPED_TRACE(before);
        journal.clear();
        host.opened.clear();
        view.asked = 0;
        view.stopBefore = before;
        list.Clear();
        for (const wchar_t* p : {L"C:\\d\\1.dwg", L"C:\\d\\2.dwg", L"C:\\d\\3.dwg"})
            list.AddItem(p);
        EXPECT_EQ(Run(), 0);
        EXPECT_EQ(host.opened.size(), static_cast<std::size_t>(before));
        Journal end = {L"Label1=" + std::wstring(StoppedText),
                       L"Label5=10:00:0" + std::to_wstring(view.clock - 1)};
        Append(end, PutBack);
        EXPECT_EQ(Journal(journal.end() - 4, journal.end()), end);
        EXPECT_EQ(list.ListCount(), 3 - before);
    }
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
    EXPECT_EQ(Count(L"Label5=10:00:01"), 1);
    EXPECT_EQ(*(journal.end() - 1 - PutBack.size()), L"Label5=10:00:01"); // once, after the last
}

TEST_F(PurgeRunTest, FailureAtTheSecondOfThreeStopsAndKeepsTheList) {
    list.AddItem(L"C:\\d\\1.dwg");
    list.AddItem(L"C:\\d\\2.dwg");
    list.AddItem(L"C:\\d\\3.dwg");
    host.FailAt(L"Documents.Open(C:\\d\\2.dwg)", Error(-2147352567, L"cannot open"));
    EXPECT_EQ(Run(), 0);
    Journal expected = Prologue();
    Append(expected, Drawing(1, 3, L"C:\\d\\1.dwg"));
    Append(expected,
           {L"Label1=" + ProgressText(2, 3), L"Refresh", L"App.Documents", L"Documents.Count",
            L"Documents.Item(0)", L"Item0.FullName", L"Documents.Open(C:\\d\\2.dwg)",
            FailBox(L"cannot open", L"C:\\d\\2.dwg", -2147352567), PutBack[0], PutBack[1]});
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(list.Items(), (std::vector<std::wstring>{L"C:\\d\\2.dwg", L"C:\\d\\3.dwg"}));
    EXPECT_FALSE(HasPrefix(L"Label5="));
}

// After a failed drawing the user chooses: skip it, skip it and every later
// failure, retry it, or stop. However the run ends, the list holds the
// drawings not done, in their order, the first pointed at; skipped drawings
// are listed in one box at the end.
TEST_F(PurgeRunTest, AFailedDrawingIsSkippedRetriedOrStopsTheRun) {
    using enum DrawingChoice;
    const std::wstring d1 = L"C:\\d\\1.dwg", d2 = L"C:\\d\\2.dwg", d3 = L"C:\\d\\3.dwg";
    const auto report = [](const std::wstring& lines) {
        return L"MsgBox(" + lines + L"|64|批量清理)";
    };
    struct Row {
        const char* what;
        std::deque<DrawingChoice> answers;
        std::set<std::wstring> failing; // their Open fails, the first time only where retried
        std::optional<int> stopBefore;  // a stop asked for before that drawing
        int asked;                      // boxes after a failed drawing
        std::vector<std::wstring> opened, left;
        std::wstring report; // empty: none
        bool done;           // the completion texts
    };
    const Row rows[] = {
        {"stop (the default)", {}, {d2}, {}, 1, {d1, d2}, {d2, d3}, L"", false},
        {"skip", {Skip}, {d2}, {}, 1, {d1, d2, d3}, {d2}, L"C:\\d\\2.dwg：cannot open", true},
        {"skip all",
         {SkipAll},
         {d2, d3},
         {},
         1,
         {d1, d2, d3},
         {d2, d3},
         L"C:\\d\\2.dwg：cannot open\nC:\\d\\3.dwg：cannot open",
         true},
        {"skip the last",
         {Skip},
         {d3},
         {},
         1,
         {d1, d2, d3},
         {d3},
         L"C:\\d\\3.dwg：cannot open",
         true},
        {"retry", {Retry}, {d2}, {}, 1, {d1, d2, d2, d3}, {}, L"", true},
        {"skip, then stop at the next failure",
         {Skip, Stop},
         {d1, d3},
         {},
         2,
         {d1, d2, d3},
         {d1, d3},
         L"C:\\d\\1.dwg：cannot open",
         false},
        {"skip, then a stop asked for",
         {Skip},
         {d1},
         2,
         1,
         {d1, d2},
         {d1, d3},
         L"C:\\d\\1.dwg：cannot open",
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        journal.clear();
        host.opened.clear();
        list.Clear();
        for (const auto& p : {d1, d2, d3})
            list.AddItem(p);
        view.answers = row.answers;
        view.asked = 0;
        view.stopBefore = row.stopBefore;
        std::set<std::wstring> failing = row.failing;
        const bool mended = std::count(row.answers.begin(), row.answers.end(), Retry) > 0;
        host.On(L"Documents.Open", [&](auto& a) {
            const std::wstring path = std::get<std::wstring>(a.at(0));
            host.opened.push_back(path);
            host.modified = 0;
            if (failing.count(path)) {
                if (mended) // by the user, before the retry
                    failing.erase(path);
                throw Error(-2147352567, L"cannot open");
            }
            return Variant(host.drawing);
        });
        EXPECT_EQ(Run(), row.left.empty() ? std::nullopt : std::optional(0));
        EXPECT_EQ(static_cast<int>(std::count_if(journal.begin(), journal.end(),
                                                 [](auto& l) { return l.starts_with(L"Ask("); })),
                  row.asked);
        EXPECT_EQ(host.opened, row.opened);
        EXPECT_EQ(list.Items(), row.left);
        EXPECT_EQ(Has(report(row.report)), !row.report.empty());
        EXPECT_EQ(Has(L"Label1=" + std::wstring(DoneText)), row.done);
        EXPECT_TRUE(Has(PutBackProxyNotice));
    }
}

TEST_F(PurgeRunTest, FailuresInPurgeAndSaveEndTheRunToo) {
    list.AddItem(L"C:\\d\\1.dwg");
    list.AddItem(L"C:\\d\\2.dwg");
    host.FailAt(L"Drawing.Close(True)", Error(70, L"write protected"), 2);
    Run();
    EXPECT_TRUE(Has(FailBox(L"write protected", L"C:\\d\\2.dwg")));
    EXPECT_EQ(Count(L"Drawing.PurgeAll()"), 2);
    EXPECT_EQ(list.Items(), std::vector<std::wstring>{L"C:\\d\\2.dwg"});
    EXPECT_FALSE(Has(L"Label1=批量清理完成 双击窗口返回"));
}

TEST_F(PurgeRunTest, MissingPurgeAllIsReportedAsNeedingR2000) {
    list.AddItem(L"C:\\d\\1.dwg");
    list.AddItem(L"C:\\d\\2.dwg");
    host.Remove(L"Drawing.PurgeAll");
    Run();
    EXPECT_EQ(journal.back(), FailBox(RuntimeErrorText(errnum::ObjectDoesntSupport),
                                      L"C:\\d\\1.dwg", errnum::ObjectDoesntSupport));
    EXPECT_EQ(Count(L"Documents.Open(C:\\d\\1.dwg)"), 1);
    EXPECT_FALSE(Has(L"Documents.Open(C:\\d\\2.dwg)"));
    EXPECT_FALSE(Has(L"Drawing.Close(True)"));
    EXPECT_EQ(list.ListCount(), 2);
}

TEST_F(PurgeRunTest, Error438FromAnyStepChoosesTheR2000Message) {
    host.FailAt(L"App.FullName", RuntimeError(errnum::ObjectDoesntSupport), 2);
    Run();
    EXPECT_TRUE(IsR2000Box(journal.back()));
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
    EXPECT_TRUE(IsFailBox(journal.back()));
    EXPECT_EQ(list.ListCount(), 1);
}

TEST_F(PurgeRunTest, ShortFullNameIsAFailureNotACrash) {
    host.fullName = L"a.exe";
    Run();
    EXPECT_FALSE(HasPrefix(L"Documents.Add"));
    EXPECT_TRUE(IsFailBox(journal.back()));
}

TEST_F(PurgeRunTest, PathsLoseLeadingAndTrailingSpacesOnly) {
    list.AddItem(L"  C:\\my drawings\\a b.dwg  ");
    list.AddItem(L"\u3000C:\\d\\wide.dwg");
    Run();
    EXPECT_EQ(host.opened,
              (std::vector<std::wstring>{L"C:\\my drawings\\a b.dwg", L"\u3000C:\\d\\wide.dwg"}));
    EXPECT_EQ(list.ListCount(), 0);
}

// ... and saved the second time only where that purge changed something.
TEST_F(PurgeRunTest, TheSamePathTwiceIsPurgedTwice) {
    list.AddItem(L"C:\\d\\same.dwg");
    list.AddItem(L"C:\\d\\same.dwg");
    host.On(L"Documents.Open", [&](auto& a) { // clean once purged
        host.modified = 0;
        if (!host.opened.empty())
            host.clean.insert(host.opened.back());
        host.opened.push_back(std::get<std::wstring>(a.at(0)));
        return Variant(host.drawing);
    });
    Run();
    EXPECT_EQ(host.opened, (std::vector<std::wstring>{L"C:\\d\\same.dwg", L"C:\\d\\same.dwg"}));
    EXPECT_EQ(Count(L"Drawing.PurgeAll()"), 2);
    EXPECT_EQ(Count(L"Drawing.Close(True)"), 1);
    EXPECT_EQ(Count(L"Drawing.Close(False)"), 1);
    EXPECT_EQ(Count(L"Label1=" + ProgressText(2, 2)), 1);
}

TEST_F(PurgeRunTest, NoWindowWithTheHostsTitleFailsBeforeTheProgressWindow) {
    view.windows.clear();
    list.AddItem(L"C:\\d\\1.dwg");
    Run();
    EXPECT_FALSE(Has(L"ShowProgress"));
    EXPECT_FALSE(Has(L"HideMain"));
    EXPECT_TRUE(IsFailBox(journal.back()));
    EXPECT_EQ(list.ListCount(), 1);
}

TEST_F(PurgeRunTest, LaunchesTheHostWhenNoneRuns) {
    host.running.clear();
    Run();
    EXPECT_EQ(journal.at(0), L"AttachRunning(AutoCAD.Application)");
    EXPECT_EQ(journal.at(1), L"Launch(AutoCAD.Application)");
    EXPECT_EQ(journal.at(2), L"App.Visible=True");
    EXPECT_EQ(host.launches, 1);
    EXPECT_EQ(Host().HostApp, host.app);
}

// The CAD program the run works with: the first of the table that is
// running; else another version of one, found in the running object table;
// else the first installed whose program is there is launched, and its
// failure is the run's (no other is tried), unless that program runs out of
// reach; with none installed, AutoCAD.Application as always, and its
// description in the first box.
TEST_F(PurgeRunTest, WorksWithTheCadProgramTheUserHas) {
    const std::wstring A = L"AutoCAD.Application", Z = L"ZWCAD.Application",
                       G = L"GCAD.Application", S = L"GStarCAD.Application",
                       B = L"BricscadApp.AcadApplication";
    const auto get = [](const std::wstring& id) { return L"AttachRunning(" + id + L")"; };
    const auto create = [](const std::wstring& id) { return L"Launch(" + id + L")"; };
    const auto listed = [](const std::wstring& id) { return L"AttachListed(" + id + L")"; };
    struct Row {
        const char* what;
        std::set<std::wstring> installed, running, broken;
        Journal connect; // the runtime's calls and the boxes
        // Identifiers left by an uninstalled program, hosts running in
        // another version, and programs running as administrator.
        std::set<std::wstring> leftover = {}, listed = {}, outOfReach = {};
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
         {get(Z), get(B), create(Z), L"MsgBox(host broken: ZWCAD.Application|0|)",
          FailBox(L"host broken: ZWCAD.Application", {}, -2147467259)}},
        {"none installed",
         {},
         {},
         {},
         {get(A), create(A), L"MsgBox(host not installed|0|)",
          FailBox(NoCadProgramText, {}, errnum::CantCreateObject)}},
        {"AutoCAD uninstalled but registered, 中望CAD installed",
         {A, Z},
         {},
         {},
         {get(A), get(Z), create(Z)},
         {A}},
        {"AutoCAD uninstalled but registered, nothing else",
         {A},
         {},
         {},
         {get(A), create(A), L"MsgBox(host program gone: AutoCAD.Application|0|)",
          FailBox(NoCadProgramText, {}, errnum::CantCreateObject)},
         {A}},
        {"two AutoCADs, the one registered last not running",
         {A, Z},
         {},
         {},
         {get(A), get(Z), listed(A)},
         {},
         {A}},
        {"other versions of 中望CAD and BricsCAD running",
         {A, Z, B},
         {},
         {},
         {get(A), get(Z), get(B), listed(Z)},
         {},
         {B, Z}},
        {"AutoCAD running as administrator",
         {A, Z},
         {},
         {},
         {get(A), get(Z), FailBox(CadOutOfReachText, {}, errnum::CantCreateObject)},
         {},
         {},
         {A}},
        {"中望CAD running as administrator, AutoCAD uninstalled",
         {A, Z},
         {},
         {},
         {get(A), get(Z), FailBox(CadOutOfReachText, {}, errnum::CantCreateObject)},
         {A},
         {},
         {Z}},
        {"BricsCAD as administrator, 中望CAD to launch",
         {Z, B},
         {},
         {},
         {get(Z), get(B), create(Z)},
         {},
         {},
         {B}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Outcome run = RunAgainst(
            [&](FakeHost& h) {
                h.installed = row.installed;
                h.running = row.running;
                h.broken = row.broken;
                h.leftover = row.leftover;
                h.listed = row.listed;
                h.outOfReach = row.outOfReach;
            },
            {L"C:\\d\\a.dwg"});
        Journal connect;
        std::copy_if(run.journal.begin(), run.journal.end(), std::back_inserter(connect),
                     [](const std::wstring& l) {
                         return l.starts_with(L"AttachRunning(") || l.starts_with(L"Launch(") ||
                                l.starts_with(L"AttachListed(") || l.starts_with(L"MsgBox(");
                     });
        EXPECT_EQ(connect, row.connect);
        const bool completes = !IsFailBox(connect.back());
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
    EXPECT_FALSE(IsFailBox(journal.back()));

    journal.clear();
    view.handles.clear(); // the window has gone
    list.AddItem(L"C:\\d\\a.dwg");
    Run();
    EXPECT_TRUE(Has(L"ActivateHandle(4294967362)"));
    EXPECT_FALSE(Has(L"ShowProgress"));
    EXPECT_TRUE(IsFailBox(journal.back()));
    EXPECT_EQ(list.ListCount(), 1);
}

TEST_F(PurgeRunTest, AttachingNeverLaunchesASecondHost) {
    Run();
    EXPECT_FALSE(HasPrefix(L"Launch"));
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
    EXPECT_EQ(journal, (Journal{L"AttachRunning(AutoCAD.Application)",
                                L"Launch(AutoCAD.Application)", L"MsgBox(host not installed|0|)",
                                FailBox(NoCadProgramText, {}, errnum::CantCreateObject)}));
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
    // The reason is the connection's: no CAD program, not the silent host.
    EXPECT_EQ(journal.back(), FailBox(NoCadProgramText, {}, errnum::CantCreateObject));
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
    EXPECT_FALSE(IsFailBox(journal.back()));
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
    EXPECT_EQ(journal.at(1), L"Launch(AutoCAD.Application)");
    EXPECT_EQ(host.launches, 1);
    EXPECT_EQ(Count(L"Drawing.Close(True)"), 1);
    EXPECT_EQ(Host().HostApp, first); // the fake hands out the same object
}

TEST_F(PurgeRunTest, AHostAnsweringWithTextWhereAnObjectBelongsIsAFailure) {
    host.On(L"App.Documents", [](auto&) { return Variant(std::wstring(L"not an object")); });
    Run();
    EXPECT_TRUE(IsFailBox(journal.back()));
}

} // namespace
} // namespace varno
