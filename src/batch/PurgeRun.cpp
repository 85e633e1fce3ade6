#include "batch/PurgeRun.h"

#include "app/AutomationError.h"
#include "app/Module1.h"

#include <exception>

namespace varno {

std::wstring ProgressText(int ordinal, int total) {
    std::wstring text = L"正在清理第 ";
    text += std::to_wstring(ordinal);
    text += L" 页";
    text += L"   共 ";
    text += std::to_wstring(total);
    text += L" 页";
    return text;
}

std::wstring TemplatePath(std::wstring_view fullName, std::size_t length) {
    if (length < 9)
        throw RuntimeError(errnum::InvalidProcedureCall);
    std::wstring path(fullName.substr(0, length - 9));
    path += L"\\TEMPLATE\\acad.dwt";
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

void Purge(AutomationRuntime& runtime, MessageBoxes& boxes, DrawingList& list, PurgeView& view) {
    ConnectHost(runtime, boxes);
    view.ActivateWindow(TextOf(App().Get(L"Caption")));
    view.ShowProgress();
    view.HideMain();
    view.ActivateWindow(TextOf(App().Get(L"Caption")));
    view.SetLabel3(view.TimeOfDay());

    const std::wstring fullName = TextOf(App().Get(L"FullName"));
    const std::size_t length = TextOf(App().Get(L"FullName")).size();
    const std::wstring templatePath = TemplatePath(fullName, length);
    CallTarget(App().Get(L"Documents")).Call(L"Add", {templatePath});
    CallTarget(App().Get(L"ActiveDocument"))
        .Call(L"SendCommand", {std::wstring(L"PROXYNOTICE 0\r")});

    const int last = list.ListCount() - 1;
    for (int i = 0; i <= last; ++i) {
        view.SetLabel1(ProgressText(i + 1, list.ListCount()));
        view.RefreshProgress();
        const std::wstring path = TrimSpaces(list.List(i));
        CallTarget(App().Get(L"Documents")).Call(L"Open", {path});
        CallTarget(App().Get(L"ActiveDocument")).Call(L"PurgeAll", {});
        CallTarget(App().Get(L"ActiveDocument")).Call(L"Close", {true});
        if (list.ListCount() - 1 == i) {
            view.SetLabel1(DoneText);
            view.SetLabel5(view.TimeOfDay());
        }
    }
    list.Clear();
}

} // namespace

void RunBatchPurge(AutomationRuntime& runtime, MessageBoxes& boxes, DrawingList& list,
                   PurgeView& view) {
    long number = 0;
    try {
        Purge(runtime, boxes, list, view);
        return;
    } catch (const Error& e) {
        number = e.Number();
    } catch (const std::exception&) {
        // Anything else (out of memory, a list entry gone) is a failure like any other.
        number = -1;
    }
    // The program's own files are closed by their owners on the way out, so
    // nothing is left open here.
    boxes.Show(number == errnum::ObjectDoesntSupport ? NeedsR2000Text : BadOperationText,
               MsgCritical, ErrorTitle);
}

} // namespace varno
