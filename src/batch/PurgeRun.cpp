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
    const auto first = path.find_first_not_of(L' ');
    if (first == std::wstring_view::npos)
        return {};
    const auto last = path.find_last_not_of(L' ');
    return std::wstring(path.substr(first, last - first + 1));
}

namespace {

AutoObject& App() {
    return Deref(Host().HostApp);
}

// The host's caption, read afresh each time the host's window is brought to
// the front: every read is a call the host sees, and the run makes two.
void ActivateHostWindow(PurgeView& view) {
    view.ActivateWindow(TextOf(App().Get(L"Caption")));
}

// FullName is read twice, once for its text and once for its length: the
// host sees both calls, and a host whose answer changed in between gets the
// template path the two answers make together.
std::wstring HostTemplatePath() {
    const std::wstring fullName = TextOf(App().Get(L"FullName"));
    const std::size_t length = TextOf(App().Get(L"FullName")).size();
    return TemplatePath(fullName, length);
}

// The completion texts are written inside the loop, after the drawing whose
// index is the list's last at that moment: an empty list never shows them.
bool IsLastEntry(const DrawingList& list, int index) {
    return list.ListCount() - 1 == index;
}

void Purge(AutomationRuntime& runtime, MessageBoxes& boxes, DrawingList& list, PurgeView& view) {
    ConnectHost(runtime, boxes);
    ActivateHostWindow(view);
    view.ShowProgress();
    view.HideMain();
    ActivateHostWindow(view);
    view.SetStartTime(view.TimeOfDay());

    const std::wstring templatePath = HostTemplatePath();
    CallTarget(App().Get(L"Documents")).Call(L"Add", {templatePath});
    CallTarget(App().Get(L"ActiveDocument"))
        .Call(L"SendCommand", {std::wstring(ProxyNoticeCommand)});

    const int last = list.ListCount() - 1;
    for (int i = 0; i <= last; ++i) {
        view.SetProgress(ProgressText(i + 1, list.ListCount()));
        view.RefreshProgress();
        const std::wstring path = TrimSpaces(list.List(i));
        CallTarget(App().Get(L"Documents")).Call(L"Open", {path});
        CallTarget(App().Get(L"ActiveDocument")).Call(L"PurgeAll", {});
        CallTarget(App().Get(L"ActiveDocument")).Call(L"Close", {true});
        if (IsLastEntry(list, i)) {
            view.SetProgress(DoneText);
            view.SetEndTime(view.TimeOfDay());
        }
    }
    list.Clear();
}

} // namespace

void RunBatchPurge(AutomationRuntime& runtime, MessageBoxes& boxes, DrawingList& list,
                   PurgeView& view) {
    // The program's own files are closed by their owners on the way out, so
    // nothing is left open after a failure.
    if (const long number = Trap([&] { Purge(runtime, boxes, list, view); }))
        boxes.Show(number == errnum::ObjectDoesntSupport ? NeedsR2000Text : BadOperationText,
                   MsgCritical, ErrorTitle);
}

} // namespace varno
