#include "batch/PurgeRun.h"

#include "app/AutomationError.h"
#include "app/Module1.h"
#include "batch/HostAnswers.h"

#include <cctype>
#include <chrono>
#include <vector>

namespace varno {

// The template is FullName less its last 9 characters: the backslash and the
// host's 8-character program name ("\\acad.exe").
constexpr std::size_t ProgramNameLength = 9;

std::wstring ProgressText(int ordinal, int total) {
    std::wstring text(ProgressBefore);
    text += std::to_wstring(ordinal);
    text += ProgressPage;
    text += ProgressOf;
    text += std::to_wstring(total);
    text += ProgressPage;
    return text;
}

std::wstring TemplatePath(std::wstring_view fullName, std::size_t length) {
    if (length < ProgramNameLength)
        throw RuntimeError(errnum::InvalidProcedureCall);
    std::wstring path(fullName.substr(0, length - ProgramNameLength));
    path += TemplateTail;
    return path;
}

std::wstring TrimSpaces(std::wstring_view path) {
    return std::wstring(EntryPath(path));
}

std::optional<std::int32_t> DrawingSaveType(std::string_view firstBytes) {
    struct Format {
        std::string_view code;
        std::int32_t saveType;
    };
    static constexpr Format formats[] = {
        {"AC1014", 8},  // R14
        {"AC1015", 12}, // 2000
        {"AC1018", 24}, // 2004
        {"AC1021", 36}, // 2007
        {"AC1024", 48}, // 2010
        {"AC1027", 60}, // 2013
        {"AC1032", 64}, // 2018
    };
    if (firstBytes.size() < FormatCodeLength)
        return std::nullopt;
    const std::string_view code = firstBytes.substr(0, FormatCodeLength);
    for (const Format& f : formats)
        if (f.code == code)
            return f.saveType;
    return std::nullopt;
}

DrawingFormat FormatOf(std::string_view firstBytes) {
    DrawingFormat format;
    if (firstBytes.starts_with(Version1Code)) { // version 1.0, of 1982
        format.code = Version1Code;
        format.tooOld = true;
        return format;
    }
    if (firstBytes.size() < FormatCodeLength || !firstBytes.starts_with("AC"))
        return format;
    const std::string_view code = firstBytes.substr(0, FormatCodeLength);
    const auto digit = [&](std::size_t i) {
        return std::isdigit(static_cast<unsigned char>(code[i])) != 0;
    };
    if (digit(2) && digit(3) && digit(4) && digit(5)) {
        format.code = code;
        format.tooOld = code < "AC1014";
    } else if (digit(2) && code[3] == '.') { // "AC1.50", "AC2.10"
        format.code = code;
        format.tooOld = true;
    }
    format.saveType = DrawingSaveType(firstBytes);
    return format;
}

std::wstring FailureText(long number, std::wstring_view reason,
                         std::optional<std::wstring_view> drawing) {
    std::wstring text(number == errnum::ObjectDoesntSupport ? NeedsR2000Text : BadOperationText);
    text += L"\n\n";
    if (drawing)
        return text + DrawingFailureText(*drawing, reason);
    text += ReasonLabel;
    text += reason;
    return text;
}

std::wstring ReasonOf(const Error& failure) {
    return IsServerGone(failure.Number()) ? std::wstring(HostGoneText) : failure.Description();
}

std::wstring DrawingFailureText(std::wstring_view drawing, std::wstring_view reason) {
    std::wstring text(DrawingLabel);
    text += drawing;
    text += L'\n';
    text += ReasonLabel;
    text += reason;
    return text;
}

std::wstring SkippedReport(std::span<const SkippedDrawing> skipped) {
    std::wstring text;
    for (std::size_t i = 0; i < skipped.size() && i < MaxSkippedLines; ++i) {
        if (i)
            text += L'\n';
        text += skipped[i].path;
        text += L"：";
        text += skipped[i].reason;
    }
    if (skipped.size() > MaxSkippedLines)
        text += L"\n……另有 " + std::to_wstring(skipped.size() - MaxSkippedLines) + L" 张";
    return text;
}

namespace {

// The run's host calls, each through the application object the session
// holds at that moment.
class HostCalls {
  public:
    explicit HostCalls(HostSession& session) : session_(session) {}

    AutoObject& App() const { return Deref(session_.HostApp); }

    // The host's window to the front: the top-level window titled with the
    // host's Caption, read afresh each time (every read is a call the host
    // sees, and the run makes two); else, for a host whose caption is not
    // its window's title, the window its HWND property names.
    void ActivateHostWindow(PurgeView& view) const {
        if (view.ActivateWindow(TextOf(App().Get(L"Caption"))))
            return;
        const std::optional<std::int64_t> handle =
            Asking([&] { return IntegerOf(App().Get(L"HWND")); });
        if (handle && view.ActivateWindowHandle(*handle))
            return;
        Stop(errnum::InvalidProcedureCall, NoHostWindowText);
    }

    std::wstring FullName() const { return TextOf(App().Get(L"FullName")); }

    // A new drawing from the template where the host has one in its program
    // folder; else from the host's own default template. FullName is read
    // twice, once for its text (fullName) and once for its length: the host
    // sees both calls, and a host whose answer changed in between gets the
    // template path the two answers make together. The answer is Add's.
    Variant AddTemplateDrawing(DrawingFiles& files, const std::wstring& fullName) const {
        const std::wstring path =
            varno::TemplatePath(fullName, TextOf(App().Get(L"FullName")).size());
        const AutoRef documents = ObjectOf(App().Get(L"Documents"));
        if (files.FileExists(path))
            return Deref(documents).Call(L"Add", {path});
        return Deref(documents).Call(L"Add", {});
    }

    // The format the host saves in, by its own setting; nothing when the
    // host has no such setting, cannot read it, or gives no number.
    std::optional<std::int32_t> SaveAsSetting() const {
        const std::optional<std::int64_t> type = Asking([&] {
            const AutoRef preferences = ObjectOf(App().Get(L"Preferences"));
            const AutoRef openSave = ObjectOf(Deref(preferences).Get(L"OpenSave"));
            return IntegerOf(Deref(openSave).Get(L"SaveAsType"));
        });
        if (type && *type >= INT32_MIN && *type <= INT32_MAX)
            return static_cast<std::int32_t>(*type);
        return std::nullopt;
    }

  private:
    HostSession& session_;
};

// A document opened read-only (the file's attribute, or another user holds
// it) cannot keep its purge. A host without the property opens every
// drawing for writing.
bool IsReadOnly(AutoObject& drawing) {
    Variant value;
    try {
        value = drawing.Get(L"ReadOnly");
    } catch (const Error& e) {
        if (e.Number() == errnum::ObjectDoesntSupport)
            return false;
        throw;
    }
    if (const bool* b = std::get_if<bool>(&value))
        return *b;
    return IntegerOf(value).value_or(0) != 0;
}

// A purge removes one level of nesting: a layer used only inside an unused
// block, a text style used only by an unused dimension style, a block used
// only as the arrowhead of one become unused only when that goes. So the run
// purges again while the last pass removed something, as users repeat PURGE
// by hand. Whether it did is told by the counts of the drawing's collections
// whose items can keep other items in use: blocks (their entities use
// layers, linetypes, text and dimension styles, other blocks), layers (their
// linetypes), linetypes (the text styles of complex ones) and dimension
// styles (their text styles, arrowhead blocks, linetypes). A pass that
// removed only text styles, registered applications or materials freed
// nothing that another pass could remove, since none of them keeps anything
// in use; so their counts are not read. Best effort: multileader, table and
// multiline styles keep items in use too, and the document offers no
// collection of them.
constexpr std::wstring_view NestingCollections[] = {L"Blocks", L"Layers", L"Linetypes",
                                                    L"DimStyles"};
constexpr int MaxPurgePasses = 10;

// The counts of those collections, fetched once a drawing; each reading is
// one call a collection.
class NestingCounts {
  public:
    // Nothing for a drawing that lacks a collection or cannot count one.
    static std::optional<NestingCounts> Of(AutoObject& drawing) {
        return Asking([&] {
            NestingCounts counts;
            for (const std::wstring_view name : NestingCollections)
                counts.collections_.push_back(ObjectOf(drawing.Get(name)));
            return counts.Read() ? std::optional(std::move(counts)) : std::nullopt;
        });
    }
    // Reads the counts again: true when one of them changed, false when none
    // did or one cannot be read (nothing more to tell).
    bool Changed() {
        const std::vector<std::int64_t> before = counts_;
        return Asking([&] { return Read(); }) && counts_ != before;
    }

  private:
    bool Read() {
        counts_.clear();
        for (const AutoRef& collection : collections_) {
            const std::optional<std::int64_t> n = IntegerOf(Deref(collection).Get(L"Count"));
            if (!n)
                return false;
            counts_.push_back(*n);
        }
        return true;
    }
    std::vector<AutoRef> collections_;
    std::vector<std::int64_t> counts_;
};

// What the work on one drawing came to.
struct DrawingWork {
    int passes = 0; // of PurgeAll
    bool saved = false;
};

// PurgeAll until a pass removes nothing, at most MaxPurgePasses times; once
// for a drawing whose collections cannot be counted. True when the first
// pass changed a count.
bool PurgeAll(AutoObject& drawing, DrawingWork& work) {
    std::optional<NestingCounts> counts = NestingCounts::Of(drawing);
    drawing.Call(L"PurgeAll", {});
    work.passes = 1;
    bool changed = counts && counts->Changed();
    const bool firstChanged = changed;
    for (int pass = 1; changed && pass < MaxPurgePasses; ++pass) {
        drawing.Call(L"PurgeAll", {});
        work.passes = pass + 1;
        changed = pass + 1 < MaxPurgePasses && counts->Changed();
    }
    return firstChanged;
}

// CAD's own record of changes to the drawing since it was opened (DBMOD, a
// read-only bit code, 0 for none). One that cannot be read counts as
// changed.
bool Modified(AutoObject& drawing) {
    const std::optional<std::int64_t> bits = Asking(
        [&] { return IntegerOf(drawing.Call(L"GetVariable", {std::wstring(ModifiedVariable)})); });
    return !bits || *bits != 0;
}

// Purges one opened drawing and closes it. It is saved as saveAs first where
// that is given (its own format, which the host would not keep), else by
// the close; but closed unsaved where CAD reports no change and the first
// pass changed no count (a host that leaves DBMOD at 0 after a purge that
// removed something still saves it), so that its file stays as it was, time
// stamp and all (work.saved says which). A read-only one is closed unsaved
// and stops the run; so is one whose ReadOnly, purge or save fails, while
// the host answers.
void PurgeDrawing(AutoObject& drawing, const std::wstring& path, std::optional<std::int32_t> saveAs,
                  DrawingWork& work) {
    bool readOnly = false;
    try {
        readOnly = IsReadOnly(drawing);
        if (!readOnly) {
            const bool countChanged = PurgeAll(drawing, work);
            const bool save = Modified(drawing) || countChanged;
            if (save && saveAs) {
                drawing.Call(L"SaveAs", {path, *saveAs});
                drawing.Call(L"Close", {false});
            } else {
                drawing.Call(L"Close", {save});
            }
            work.saved = save;
        }
    } catch (const Error& e) {
        if (!IsServerGone(e.Number()))
            Caught([&] { drawing.Call(L"Close", {false}); });
        throw;
    }
    if (readOnly) {
        drawing.Call(L"Close", {false});
        Stop(errnum::PermissionDenied, ReadOnlyText);
    }
}

// The format a drawing must be saved in by SaveAs: its own, where it is
// known and the host's setting is another or not known.
std::optional<std::int32_t> SaveAsType(std::optional<std::int32_t> own,
                                       std::optional<std::int32_t> setting) {
    return own && own != setting ? own : std::nullopt;
}

// The completion texts are written inside the loop, after the drawing whose
// index is the list's last at that moment: an empty list never shows them.
bool IsLastEntry(const DrawingList& list, int index) {
    return list.ListCount() - 1 == index;
}

// What one run keeps beside its steps: the entry being worked on (-1 outside
// the loop), which entries it is done with (cleaned, or found clean), the
// drawings it skipped, how it ended, the user's proxy notice, and what it
// learnt of the host's open documents.
struct RunState {
    RunState(DrawingFiles& files, ProxyNoticeRecords& records)
        : proxyNotice(records), openDocuments(files) {}
    int current = -1;
    std::vector<bool> done;
    std::vector<SkippedDrawing> skipped;
    bool stopped = false; // at the user's request, or at a failed drawing
    bool skipAll = false; // the user chose to skip every failure
    int reported = 0;     // entries told to the view as ended (DrawingEnded)
    AutoRef templateDrawing;
    bool launched = false; // the host was started for this run
    ProxyNotice proxyNotice;
    OpenDocuments openDocuments;
};

// A failure that no drawing of this run can get past: the host gone or not
// answering, or a member it lacks.
bool EndsRun(const Error& failure) {
    return IsServerGone(failure.Number()) || failure.Number() == errnum::ObjectDoesntSupport;
}

// A drawing's first bytes before it is opened; none where it cannot be read.
std::string HeadBeforeOpen(DrawingFiles& files, const std::wstring& path) {
    try {
        return files.ReadHead(path, FormatCodeLength);
    } catch (const Error&) {
        return {};
    }
}

// A drawing's first bytes after the host saved it. A virus scanner or a sync
// client may hold the new file for a moment, and a host that saves through
// a temporary file leaves a moment with no file at all: so the file is read
// again for up to 2 s, whatever the error, before the run stops at it.
constexpr int HeadReadsAfterSave = 21;
constexpr std::chrono::milliseconds HeadReadPause{100};
std::string HeadAfterSave(DrawingFiles& files, const std::wstring& path) {
    for (int read = 1;; ++read) {
        try {
            return files.ReadHead(path, FormatCodeLength);
        } catch (const Error& e) {
            if (read == HeadReadsAfterSave)
                Stop(errnum::PathFileAccess,
                     std::wstring(UnreadableAfterSaveText) + e.Description());
        }
        files.Pause(HeadReadPause);
    }
}

// One listed drawing, from its file to its save. True where the host saved it
// in another format than its own: a failure of the whole run, since the
// host's save types mean other formats than ours.
bool CleanDrawing(const HostCalls& host, DrawingFiles& files, OpenDocuments& openDocuments,
                  const std::wstring& path, std::optional<std::int32_t> setting,
                  DrawingWork& work) {
    if (!files.FileExists(path))
        Stop(errnum::FileNotFound, DrawingMissingText);
    const DrawingFormat format = FormatOf(HeadBeforeOpen(files, path));
    if (format.tooOld)
        Stop(errnum::InvalidFileFormat, TooOldFormatText);
    const AutoRef documents = ObjectOf(host.App().Get(L"Documents"));
    openDocuments.Check(Deref(documents), path);
    const AutoRef drawing = ObjectOf(Deref(documents).Call(L"Open", {path}));
    PurgeDrawing(Deref(drawing), path, SaveAsType(format.saveType, setting), work);
    return work.saved && !format.code.empty() &&
           FormatOf(HeadAfterSave(files, path)).code != format.code;
}

// The drawing the run is at, as often as the user retries it after a
// failure; then it is done, skipped, or the run stops (run.stopped). A
// failure that ends the run goes on to the caller.
void WorkOn(const HostCalls& host, DrawingFiles& files, PurgeView& view, RunState& run,
            const std::wstring& path, std::optional<std::int32_t> setting) {
    const auto start = std::chrono::steady_clock::now();
    DrawingResult result{.path = path, .bytesBefore = files.FileSize(path)};
    const auto ended = [&](DrawingResult::Outcome outcome, int passes) {
        result.outcome = outcome;
        result.passes = passes;
        result.bytesAfter = files.FileSize(path);
        result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++run.reported;
        view.DrawingEnded(result);
    };
    for (;;) {
        DrawingWork work;
        bool formatChanged = false;
        const std::optional<Error> failure = Caught([&] {
            formatChanged = CleanDrawing(host, files, run.openDocuments, path, setting, work);
        });
        if (formatChanged)
            Stop(errnum::InvalidFileFormat, FormatChangedText);
        if (!failure) {
            run.done[static_cast<std::size_t>(run.current)] = true;
            ended(work.saved ? DrawingResult::Outcome::Cleaned : DrawingResult::Outcome::Unchanged,
                  work.passes);
            return;
        }
        if (EndsRun(*failure))
            throw *failure;
        result.reason = ReasonOf(*failure);
        const DrawingChoice choice =
            run.skipAll ? DrawingChoice::Skip : view.AskAboutDrawing(path, result.reason);
        if (choice == DrawingChoice::Retry)
            continue;
        if (choice == DrawingChoice::Stop) {
            run.stopped = true;
            ended(DrawingResult::Outcome::Failed, work.passes);
            return;
        }
        run.skipAll = run.skipAll || choice == DrawingChoice::SkipAll;
        run.skipped.push_back({path, result.reason});
        ended(DrawingResult::Outcome::Skipped, work.passes);
        return;
    }
}

void Purge(AutomationRuntime& runtime, DrawingList& list, PurgeView& view, DrawingFiles& files,
           RunState& run) {
    const Connection connection = ConnectHost(runtime, view);
    run.launched = connection.launched;
    const HostCalls host(connection.session);
    try {
        host.ActivateHostWindow(view);
    } catch (const Error&) {
        // Without a host of its own the run stops here, for the reason the
        // connection gave (the session may still hold an earlier run's host).
        if (connection.failure)
            throw *connection.failure;
        throw;
    }
    view.ShowProgress();
    view.HideMain();
    host.ActivateHostWindow(view);
    view.SetStartTime(view.TimeOfDay());

    const std::wstring fullName = host.FullName();
    const Variant added = host.AddTemplateDrawing(files, fullName);
    run.openDocuments.NoteTemplate(added);
    if (const AutoRef* drawing = std::get_if<AutoRef>(&added))
        run.templateDrawing = *drawing;
    const std::optional<std::int32_t> setting = host.SaveAsSetting();
    const AutoRef active = ObjectOf(host.App().Get(L"ActiveDocument"));
    run.proxyNotice.Read(Deref(active), fullName);
    Deref(active).Call(L"SendCommand", {std::wstring(ProxyNoticeCommand)});

    const int last = list.ListCount() - 1;
    run.done.assign(static_cast<std::size_t>(list.ListCount()), false);
    for (int i = 0; i <= last; ++i) {
        run.current = i;
        if (view.StopRequested()) {
            run.stopped = true;
            view.SetProgress(StoppedText);
            view.SetEndTime(view.TimeOfDay());
            return;
        }
        view.SetProgress(ProgressText(i + 1, list.ListCount()));
        view.RefreshProgress();
        WorkOn(host, files, view, run, TrimSpaces(list.List(i)), setting);
        if (run.stopped)
            return;
        if (IsLastEntry(list, i)) {
            view.SetProgress(DoneText);
            view.SetEndTime(view.TimeOfDay());
        }
    }
}

} // namespace

std::optional<int> RunBatchPurge(AutomationRuntime& runtime, DrawingList& list, PurgeView& view,
                                 DrawingFiles& files, ProxyNoticeRecords& records) {
    // The program's own files are closed by their owners on the way out, so
    // nothing is left open after a failure.
    RunState run(files, records);
    const std::optional<Error> failure = Caught([&] { Purge(runtime, list, view, files, run); });
    // The user's proxy notice goes back while the host still answers; after
    // a host that has gone, trying would hold the box back for a minute (its
    // record stays for the next run).
    if (!failure || !IsServerGone(failure->Number())) {
        const HostCalls host(Host());
        run.proxyNotice.PutBack(Host().HostApp, [&] {
            return ObjectOf(host.AddTemplateDrawing(files, host.FullName()));
        });
        // No one watches: nothing of the run's stays open in the host, and a
        // host started for it quits.
        if (view.Unattended()) {
            if (run.templateDrawing)
                Caught([&] { run.templateDrawing->Call(L"Close", {false}); });
            if (run.launched)
                Caught([&] { Deref(Host().HostApp).Call(L"Quit", {}); });
        }
    }
    // Every entry not told of yet: the one a failure ended the run at, then
    // those the run did not come to (with the failure's reason where the run
    // never came to a drawing).
    const int count = list.ListCount();
    if (failure && run.current >= run.reported && run.current < count) {
        view.DrawingEnded({.path = TrimSpaces(list.List(run.current)),
                           .outcome = DrawingResult::Outcome::Failed,
                           .reason = ReasonOf(*failure)});
        run.reported = run.current + 1;
    }
    for (int i = run.reported; i < count; ++i)
        view.DrawingEnded({.path = TrimSpaces(list.List(i)),
                           .reason = failure && run.current < 0 ? ReasonOf(*failure) : L""});
    if (failure) {
        const bool atDrawing = run.current >= 0;
        const std::wstring drawing =
            atDrawing ? TrimSpaces(list.List(run.current)) : std::wstring();
        view.Show(FailureText(failure->Number(), ReasonOf(*failure),
                              atDrawing ? std::optional<std::wstring_view>(drawing) : std::nullopt),
                  MsgCritical, ErrorTitle);
    } else if (!run.skipped.empty()) {
        view.Show(SkippedReport(run.skipped), MsgInformation, AppTitle);
    }
    // The work left: what was done leaves the list.
    for (int i = static_cast<int>(run.done.size()) - 1; i >= 0; --i)
        if (run.done[static_cast<std::size_t>(i)])
            list.RemoveItem(i);
    return run.current >= 0 && list.ListCount() > 0 ? std::optional(0) : std::nullopt;
}

} // namespace varno
