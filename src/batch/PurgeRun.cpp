#include "batch/PurgeRun.h"

#include "app/AutomationError.h"
#include "app/Module1.h"

#include <cctype>
#include <type_traits>
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
    if (drawing) {
        text += DrawingLabel;
        text += *drawing;
        text += L'\n';
    }
    text += ReasonLabel;
    text += reason;
    return text;
}

std::wstring ReasonOf(const Error& failure) {
    return IsServerGone(failure.Number()) ? std::wstring(HostGoneText) : failure.Description();
}

namespace {

// SameFile, with b's final path read already (so a file compared with many
// is opened once).
bool SameFileAs(DrawingFiles& files, const std::wstring& a, const std::wstring& b,
                const std::optional<std::wstring>& finalB) {
    const std::optional<std::wstring> finalA = finalB ? files.FinalPath(a) : std::nullopt;
    return finalA ? files.SameName(*finalA, *finalB) : files.SameName(a, b);
}

} // namespace

bool SameFile(DrawingFiles& files, const std::wstring& a, const std::wstring& b) {
    return SameFileAs(files, a, b, files.FinalPath(b));
}

namespace {

// A failure the run reports with a reason of its own.
[[noreturn]] void Stop(long number, std::wstring_view reason) {
    throw Error(number, std::wstring(reason));
}

// Runs a step whose failure only means the host cannot tell (a member it
// lacks, an answer it cannot give): its result's empty value then (nothing,
// false). A host that has gone is the run's failure all the same.
template <class Step> std::invoke_result_t<Step> Asking(Step&& step) {
    try {
        return step();
    } catch (const Error& e) {
        if (IsServerGone(e.Number()))
            throw;
        return {};
    }
}

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

    // FullName is read twice, once for its text and once for its length:
    // the host sees both calls, and a host whose answer changed in between
    // gets the template path the two answers make together.
    std::wstring TemplatePath() const {
        const std::wstring fullName = TextOf(App().Get(L"FullName"));
        const std::size_t length = TextOf(App().Get(L"FullName")).size();
        return varno::TemplatePath(fullName, length);
    }

    // A new drawing from the template where the host has one in its program
    // folder; else from the host's own default template.
    void AddTemplateDrawing(DrawingFiles& files) const {
        const std::wstring path = TemplatePath();
        const AutoRef documents = ObjectOf(App().Get(L"Documents"));
        if (files.FileExists(path))
            Deref(documents).Call(L"Add", {path});
        else
            Deref(documents).Call(L"Add", {});
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

// The host's setting PROXYNOTICE as the user had it, read from the run's
// template drawing before the run changes it, and put back when the run
// ends. The host's integer settings are 16-bit, and it takes nothing else.
class ProxyNotice {
  public:
    void Read(const AutoRef& drawing) {
        const std::optional<std::int64_t> value = Asking([&] {
            return IntegerOf(
                Deref(drawing).Call(L"GetVariable", {std::wstring(ProxyNoticeVariable)}));
        });
        if (value && *value >= INT16_MIN && *value <= INT16_MAX) {
            drawing_ = drawing;
            value_ = static_cast<std::int16_t>(*value);
        }
    }
    // Best effort: a host that refuses keeps the run's value.
    void PutBack() const {
        if (drawing_)
            Caught([&] {
                drawing_->Call(L"SetVariable", {std::wstring(ProxyNoticeVariable), value_});
            });
    }

  private:
    AutoRef drawing_;
    std::int16_t value_ = 0;
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

// One of the host's open documents is this file (Documents.Count, then each
// Item's FullName; an unsaved drawing has none). A host that cannot list
// its documents has none open, as far as the run can tell.
bool IsOpenInHost(AutoObject& documents, const std::wstring& path, DrawingFiles& files) {
    return Asking([&] {
        const std::int64_t count = IntegerOf(documents.Get(L"Count")).value_or(0);
        // The listed file's final path, read once and only for a document
        // that has a file.
        std::optional<std::optional<std::wstring>> listed;
        for (std::int32_t i = 0; i < count; ++i) {
            const std::wstring name =
                TextOf(CallTarget(documents.Call(L"Item", {i})).Get(L"FullName"));
            if (name.empty())
                continue;
            if (!listed)
                listed = files.FinalPath(path);
            if (SameFileAs(files, name, path, *listed))
                return true;
        }
        return false;
    });
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

// PurgeAll until a pass removes nothing, at most MaxPurgePasses times; once
// for a drawing whose collections cannot be counted.
void PurgeAll(AutoObject& drawing) {
    std::optional<NestingCounts> counts = NestingCounts::Of(drawing);
    drawing.Call(L"PurgeAll", {});
    for (int pass = 1; pass < MaxPurgePasses && counts && counts->Changed(); ++pass)
        drawing.Call(L"PurgeAll", {});
}

// Purges one opened drawing and closes it with its changes saved: saved as
// saveAs first where that is given (its own format, which the host would
// not keep), else by the close. A read-only one is closed unsaved and stops
// the run; so is one whose purge or save fails, while the host answers.
void PurgeDrawing(AutoObject& drawing, const std::wstring& path,
                  std::optional<std::int32_t> saveAs) {
    if (IsReadOnly(drawing)) {
        drawing.Call(L"Close", {false});
        Stop(errnum::PermissionDenied, ReadOnlyText);
    }
    try {
        PurgeAll(drawing);
        if (saveAs) {
            drawing.Call(L"SaveAs", {path, *saveAs});
            drawing.Call(L"Close", {false});
        } else {
            drawing.Call(L"Close", {true});
        }
    } catch (const Error& e) {
        if (!IsServerGone(e.Number()))
            Caught([&] { drawing.Call(L"Close", {false}); });
        throw;
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
// the loop) and the user's proxy notice.
struct RunState {
    int current = -1;
    ProxyNotice proxyNotice;
};

// One listed drawing, from its file to its save.
void CleanDrawing(const HostCalls& host, DrawingFiles& files, const std::wstring& path,
                  std::optional<std::int32_t> setting) {
    if (!files.FileExists(path))
        Stop(errnum::FileNotFound, DrawingMissingText);
    const DrawingFormat format = FormatOf(files.ReadHead(path, FormatCodeLength));
    if (format.tooOld)
        Stop(errnum::InvalidFileFormat, TooOldFormatText);
    const AutoRef documents = ObjectOf(host.App().Get(L"Documents"));
    if (IsOpenInHost(Deref(documents), path, files))
        Stop(errnum::PermissionDenied, OpenInHostText);
    const AutoRef drawing = ObjectOf(Deref(documents).Call(L"Open", {path}));
    PurgeDrawing(Deref(drawing), path, SaveAsType(format.saveType, setting));
    if (!format.code.empty() &&
        FormatOf(files.ReadHead(path, FormatCodeLength)).code != format.code)
        Stop(errnum::InvalidFileFormat, FormatChangedText);
}

void Purge(AutomationRuntime& runtime, DrawingList& list, PurgeView& view, DrawingFiles& files,
           RunState& run) {
    const Connection connection = ConnectHost(runtime, view);
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

    host.AddTemplateDrawing(files);
    const std::optional<std::int32_t> setting = host.SaveAsSetting();
    const AutoRef active = ObjectOf(host.App().Get(L"ActiveDocument"));
    run.proxyNotice.Read(active);
    Deref(active).Call(L"SendCommand", {std::wstring(ProxyNoticeCommand)});

    const int last = list.ListCount() - 1;
    for (int i = 0; i <= last; ++i) {
        run.current = i;
        view.SetProgress(ProgressText(i + 1, list.ListCount()));
        view.RefreshProgress();
        CleanDrawing(host, files, TrimSpaces(list.List(i)), setting);
        if (IsLastEntry(list, i)) {
            view.SetProgress(DoneText);
            view.SetEndTime(view.TimeOfDay());
        }
    }
    run.current = -1;
    list.Clear();
}

} // namespace

std::optional<int> RunBatchPurge(AutomationRuntime& runtime, DrawingList& list, PurgeView& view,
                                 DrawingFiles& files) {
    // The program's own files are closed by their owners on the way out, so
    // nothing is left open after a failure.
    RunState run;
    const std::optional<Error> failure = Caught([&] { Purge(runtime, list, view, files, run); });
    // The user's proxy notice goes back while the host still answers; after
    // a host that has gone, trying would hold the box back for a minute.
    if (!failure || !IsServerGone(failure->Number()))
        run.proxyNotice.PutBack();
    if (!failure)
        return std::nullopt;
    const std::optional<int> stop = run.current >= 0 ? std::optional(run.current) : std::nullopt;
    const std::wstring drawing = stop ? TrimSpaces(list.List(*stop)) : std::wstring();
    view.Show(FailureText(failure->Number(), ReasonOf(*failure),
                          stop ? std::optional<std::wstring_view>(drawing) : std::nullopt),
              MsgCritical, ErrorTitle);
    return stop;
}

} // namespace varno
