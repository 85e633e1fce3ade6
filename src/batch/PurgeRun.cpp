#include "batch/PurgeRun.h"

#include "app/AutomationError.h"
#include "app/Module1.h"

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
        const std::optional<std::int64_t> handle = WindowHandle();
        if (handle && view.ActivateWindowHandle(*handle))
            return;
        throw RuntimeError(errnum::InvalidProcedureCall);
    }

    // The host's HWND; nothing for a host without the property, or with no
    // number in it.
    std::optional<std::int64_t> WindowHandle() const {
        try {
            return IntegerOf(App().Get(L"HWND"));
        } catch (const Error& e) {
            if (IsServerGone(e.Number()))
                throw;
            return std::nullopt;
        }
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
    // host has no such setting or gives no number.
    std::optional<std::int32_t> SaveAsSetting() const {
        try {
            const AutoRef preferences = ObjectOf(App().Get(L"Preferences"));
            const AutoRef openSave = ObjectOf(Deref(preferences).Get(L"OpenSave"));
            const std::optional<std::int64_t> type = IntegerOf(Deref(openSave).Get(L"SaveAsType"));
            if (type && *type >= INT32_MIN && *type <= INT32_MAX)
                return static_cast<std::int32_t>(*type);
        } catch (const Error&) {
        }
        return std::nullopt;
    }

    // The document the host opened for this path (a host that answers
    // anything but a document fails the drawing).
    AutoRef Open(const std::wstring& path) const {
        return ObjectOf(CallTarget(App().Get(L"Documents")).Call(L"Open", {path}));
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

// Purges one opened drawing and closes it with its changes saved: saved as
// saveAs first where that is given (its own format, which the host would
// not keep), else by the close. A read-only one is closed unsaved and stops
// the run.
void PurgeDrawing(AutoObject& drawing, const std::wstring& path,
                  std::optional<std::int32_t> saveAs) {
    if (IsReadOnly(drawing)) {
        drawing.Call(L"Close", {false});
        throw RuntimeError(errnum::PermissionDenied);
    }
    drawing.Call(L"PurgeAll", {});
    if (saveAs) {
        drawing.Call(L"SaveAs", {path, *saveAs});
        drawing.Call(L"Close", {false});
    } else {
        drawing.Call(L"Close", {true});
    }
}

// The format a drawing must be saved in by SaveAs: its own, where it and the
// host's setting are both known and differ.
std::optional<std::int32_t> SaveAsType(std::optional<std::int32_t> own,
                                       std::optional<std::int32_t> setting) {
    return own && setting && *own != *setting ? own : std::nullopt;
}

// The completion texts are written inside the loop, after the drawing whose
// index is the list's last at that moment: an empty list never shows them.
bool IsLastEntry(const DrawingList& list, int index) {
    return list.ListCount() - 1 == index;
}

// current: the index of the entry being worked on, -1 outside the loop.
void Purge(AutomationRuntime& runtime, MessageBoxes& boxes, DrawingList& list, PurgeView& view,
           DrawingFiles& files, int& current) {
    const Connection connection = ConnectHost(runtime, boxes);
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
    CallTarget(host.App().Get(L"ActiveDocument"))
        .Call(L"SendCommand", {std::wstring(ProxyNoticeCommand)});

    const int last = list.ListCount() - 1;
    for (int i = 0; i <= last; ++i) {
        current = i;
        view.SetProgress(ProgressText(i + 1, list.ListCount()));
        view.RefreshProgress();
        const std::wstring path = TrimSpaces(list.List(i));
        const std::optional<std::int32_t> own =
            DrawingSaveType(files.ReadHead(path, FormatCodeLength));
        const AutoRef drawing = host.Open(path);
        PurgeDrawing(Deref(drawing), path, SaveAsType(own, setting));
        if (IsLastEntry(list, i)) {
            view.SetProgress(DoneText);
            view.SetEndTime(view.TimeOfDay());
        }
    }
    current = -1;
    list.Clear();
}

} // namespace

std::optional<int> RunBatchPurge(AutomationRuntime& runtime, MessageBoxes& boxes, DrawingList& list,
                                 PurgeView& view, DrawingFiles& files) {
    // The program's own files are closed by their owners on the way out, so
    // nothing is left open after a failure.
    int current = -1;
    const long number = Trap([&] { Purge(runtime, boxes, list, view, files, current); });
    if (number == 0)
        return std::nullopt;
    boxes.Show(number == errnum::ObjectDoesntSupport ? NeedsR2000Text : BadOperationText,
               MsgCritical, ErrorTitle);
    return current >= 0 ? std::optional<int>(current) : std::nullopt;
}

} // namespace varno
