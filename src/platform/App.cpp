#include "platform/App.h"

#include "platform/Dispatch.h"
#include "platform/Handle.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace varno::win {

namespace {

// The application-wide state of the window layer: the loaded forms and the
// help file.
struct AppState {
    std::vector<HWND> forms;
    std::wstring helpFile;
    ShellOpenHook shellHook = nullptr;
    HelpHook helpHook = nullptr;
};
AppState& State() {
    static AppState state;
    return state;
}

bool IsForm(HWND h) {
    const auto& f = State().forms;
    return std::find(f.begin(), f.end(), h) != f.end();
}

// Enter on a focused push button clicks it, as in a dialog.
bool ClickFocusedButton(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN)
        return false;
    HWND focus = GetFocus();
    wchar_t cls[16] = {};
    if (!focus || !GetClassNameW(focus, cls, 16) || lstrcmpiW(cls, L"Button") != 0)
        return false;
    const LONG type = GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK;
    if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON)
        return false;
    SendMessageW(focus, BM_CLICK, 0, 0);
    return true;
}

} // namespace

UiThread::UiThread()
    // DLLs loaded from now on by name come from the system folder only, never
    // from the program's folder or the current one: a DLL planted beside
    // varno.exe (in Downloads, say) is not run. So first of all.
    : ole_((SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32), OleInitialize(nullptr))) {
    if (FAILED(ole_))
        return;
    InstallMessageFilter();
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
}

UiThread::~UiThread() {
    if (SUCCEEDED(ole_))
        OleUninitialize();
}

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

HWND OwnerWindow() {
    static const HWND owner = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = Instance();
        wc.lpszClassName = L"VarnoOwner";
        RegisterClassExW(&wc);
        return CreateWindowExW(0, wc.lpszClassName, L"varno", WS_POPUP, 0, 0, 0, 0, nullptr,
                               nullptr, Instance(), nullptr);
    }();
    return owner;
}

void FormLoaded(HWND form) {
    State().forms.push_back(form);
}

void FormUnloaded(HWND form) {
    auto& f = State().forms;
    f.erase(std::remove(f.begin(), f.end(), form), f.end());
    if (f.empty())
        PostQuitMessage(0);
}

bool PumpMessage(const MSG& msg) {
    if (msg.message == WM_QUIT)
        return false;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_F1 && !HelpFile().empty()) {
        ShowHelp(GetAncestor(msg.hwnd, GA_ROOT), HelpFile());
        return true;
    }
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && IsForm(root)) {
        if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) {
            if (auto tip = static_cast<HWND>(GetPropW(root, TooltipProp)))
                SendMessageW(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
        }
        if (ClickFocusedButton(msg))
            return true;
        if (IsDialogMessageW(root, const_cast<MSG*>(&msg)))
            return true;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

DWORD WaitHandlingMessages(HANDLE handle, DWORD timeoutMs, bool windowThread) {
    std::optional<int> quit;
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    DWORD woke = WAIT_TIMEOUT;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = timeoutMs == INFINITE ? INFINITE
                           : now >= end          ? 0
                                                 : static_cast<DWORD>(end - now);
        woke = MsgWaitForMultipleObjectsEx(1, &handle, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke != WAIT_OBJECT_0 + 1) // the handle, the time, or a failure
            break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = static_cast<int>(msg.wParam);
            } else if (windowThread) {
                PumpMessage(msg);
            } else {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    if (quit)
        PostQuitMessage(*quit);
    return woke;
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        PumpMessage(msg);
    return static_cast<int>(msg.wParam);
}

void EndProgram() {
    ExitProcess(0);
}

std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    path.resize(path.find_last_of(L'\\') == std::wstring::npos ? 0 : path.find_last_of(L'\\'));
    if (path.size() == 2 && path[1] == L':') // a drive root keeps its backslash
        path += L'\\';
    return path;
}

void SetHelpFile(std::wstring path) {
    State().helpFile = std::move(path);
}
const std::wstring& HelpFile() {
    return State().helpFile;
}

void ShowHelp(HWND caller, std::wstring_view path) {
    if (State().helpHook) {
        State().helpHook(caller, path);
        return;
    }
    using HtmlHelpWFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    static const HtmlHelpWFn htmlHelp = [] {
        HMODULE m = LoadLibraryExW(L"hhctrl.ocx", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return m ? reinterpret_cast<HtmlHelpWFn>(
                       reinterpret_cast<void*>(GetProcAddress(m, "HtmlHelpW")))
                 : nullptr;
    }();
    if (htmlHelp)
        htmlHelp(caller, std::wstring(path).c_str(), 0 /*HH_DISPLAY_TOPIC*/, 0);
}

void ShellOpen(HWND owner, std::wstring_view address) {
    if (State().shellHook) {
        State().shellHook(owner, address);
        return;
    }
    ShellExecuteA(owner, "Open", ToAnsi(address).c_str(), nullptr, nullptr, 0);
}

void SetShellOpenHook(ShellOpenHook hook) {
    State().shellHook = hook;
}

void SetHelpHook(HelpHook hook) {
    State().helpHook = hook;
}

std::wstring TimeOfDayText() {
    wchar_t buf[64] = {};
    if (!GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buf, 64))
        return {};
    return buf;
}

std::string ToAnsi(std::wstring_view text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

void Win32MessageBoxes::Show(std::wstring_view text, unsigned style, std::wstring_view title) {
    Ask(text, style, title);
}

int Win32MessageBoxes::Ask(std::wstring_view text, unsigned style, std::wstring_view title) {
    return ShowMessageBox(nullptr, text, style, title);
}

// The message box styles and answer the portable layer names, as the system
// defines them.
static_assert(MsgOkOnly == MB_OK && MsgYesNo == MB_YESNO && MsgCritical == MB_ICONHAND &&
              MsgExclamation == MB_ICONEXCLAMATION && MsgInformation == MB_ICONINFORMATION &&
              MsgDefaultButton2 == MB_DEFBUTTON2 && MsgAnswerYes == IDYES);

namespace {

// The style of the message box this thread is about to show. Some systems
// (Wine) ignore MB_TOPMOST and MB_SETFOREGROUND: as the box is activated, a
// CBT hook gives it what they ask for.
thread_local unsigned t_boxStyle = 0;

LRESULT CALLBACK BoxActivating(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE && t_boxStyle) {
        // The box's own activation only: cleared before the calls, since
        // SetForegroundWindow activates the box again and so comes back here.
        const unsigned style = std::exchange(t_boxStyle, 0u);
        HWND box = reinterpret_cast<HWND>(wp);
        if (style & MB_TOPMOST)
            SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (style & MB_SETFOREGROUND)
            SetForegroundWindow(box);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

} // namespace

namespace {
UntoldBox g_untold = nullptr;
} // namespace

void ShowNoBoxes(UntoldBox tell) {
    g_untold = tell;
}

UntoldBox BoxesUntold() {
    return g_untold;
}

int ShowMessageBox(HWND owner, std::wstring_view text, unsigned style, std::wstring_view title) {
    if (g_untold) { // the default button, as Enter presses it
        g_untold(text);
        const unsigned buttons = style & MB_TYPEMASK;
        const bool second = (style & MB_DEFMASK) == MB_DEFBUTTON2;
        switch (buttons) {
        case MB_YESNO:
            return second ? IDNO : IDYES;
        case MB_OKCANCEL:
            return second ? IDCANCEL : IDOK;
        default:
            return IDOK;
        }
    }
    UniqueHook hook;
    if (style & (MB_TOPMOST | MB_SETFOREGROUND)) {
        t_boxStyle = style;
        hook.Reset(SetWindowsHookExW(WH_CBT, BoxActivating, nullptr, GetCurrentThreadId()));
    }
    // Without an owner, modal to the whole program, like a message box of the
    // runtime; with one, modal to it.
    const int answer = MessageBoxW(owner, std::wstring(text).c_str(),
                                   std::wstring(title.empty() ? AppTitle : title).c_str(),
                                   style | (owner ? MB_APPLMODAL : MB_TASKMODAL));
    t_boxStyle = 0;
    return answer;
}

namespace {

// Brought to the front as it is created, and for the owner's sake placed
// above it (the owner may be topmost).
HRESULT CALLBACK TaskDialogShown(HWND dialog, UINT notification, WPARAM, LPARAM, LONG_PTR) {
    if (notification == TDN_CREATED) {
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(dialog);
    }
    return S_OK;
}

} // namespace

int ShowErrorTaskDialog(HWND owner, std::wstring_view title, std::wstring_view instruction,
                        std::wstring_view content, std::span<const TaskButton> buttons) {
    // Loaded by name: comctl32 has task dialogs from version 6 on, which the
    // program's manifest asks for.
    using TaskDialogFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
    const auto taskDialog = reinterpret_cast<TaskDialogFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "TaskDialogIndirect")));
    const std::wstring titleText(title), instructionText(instruction), contentText(content);
    std::vector<std::wstring> texts;
    for (const TaskButton& b : buttons)
        texts.emplace_back(b.text);
    std::vector<TASKDIALOG_BUTTON> list;
    for (std::size_t i = 0; i < buttons.size(); ++i)
        list.push_back({buttons[i].id, texts[i].c_str()});
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pszWindowTitle = titleText.c_str();
    config.pszMainIcon = TD_ERROR_ICON;
    config.pszMainInstruction = instructionText.c_str();
    config.pszContent = contentText.c_str();
    config.cButtons = static_cast<UINT>(list.size());
    config.pButtons = list.data();
    config.nDefaultButton = IDOK;
    config.pfCallback = &TaskDialogShown;
    int answer = IDOK;
    if (g_untold) {
        g_untold(instructionText + L"\n\n" + contentText);
        return IDOK;
    }
    if (taskDialog && SUCCEEDED(taskDialog(&config, &answer, nullptr, nullptr)))
        return answer;
    // No task dialog: the same words in a message box, and its OK.
    ShowMessageBox(owner, instructionText + L"\n\n" + contentText,
                   MB_ICONHAND | MB_SETFOREGROUND | (owner ? 0 : MB_TOPMOST), title);
    return IDOK;
}

Win32MessageBoxes& TheMessageBoxes() {
    static Win32MessageBoxes boxes;
    return boxes;
}

} // namespace varno::win
