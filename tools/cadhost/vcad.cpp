// vcad.exe — a stand-in CAD host for tests and demonstrations, NOT a CAD
// program. It is an out-of-process COM automation server registered as
// "AutoCAD.Application" in the project's Wine prefix only (register.sh); it
// can be any of the CAD hosts varno works with instead (vcad.exe
// /host:ZWCAD.Application, see Identities in Vcad.h), each under a class of
// its own, several at a time. It implements just the members that varno
// calls, late-bound:
//
//   Application  Visible (get/put), Caption, FullName, HWND, Documents,
//                ActiveDocument, Preferences, Quit
//   Documents    Add([template]), Open(path), Count, Item(index from 0)
//   Document     Name, FullName, Path, ReadOnly, GetVariable(name),
//                SetVariable(name, value), SendCommand(text), PurgeAll,
//                SaveAs(path[, type]), Close([save]), ModelSpace, PaperSpace,
//                Utility
//   Preferences  OpenSave.SaveAsType (get)
//
// FullName is this executable's path; its name has four characters, so that
// FullName without its last 9 characters is its folder. As another host it
// names that host's program in its folder (ZWCAD.exe). Caption is its
// window's title unless the switch caption= says otherwise; HWND is its
// window's handle. As the hosts of
// today, it keeps its default template in the user's profile
// (%LOCALAPPDATA%\vcad\Template\acad.dwt, made at start), not in
// TEMPLATE\acad.dwt beside it; the switch layout=old makes it a host of
// before 2004. Open fails for a file that does not exist, returns the
// document and makes it the active one (unless open-activates=no); a document
// is ReadOnly when its file has the read-only attribute or another process
// holds it open for writing. Close(True) rewrites one of the stand-in's own
// drawings (see IsStandInDrawing) as its bytes plus one line
// "vcad: purged, saved" (or "vcad: saved" when PurgeAll was not called); any
// other file, and a read-only drawing, stays as it was while the call
// succeeds, as on a real host, and the journal says so (Unchanged|<path>).
// A drawing that starts with a format code ("AC1018") is saved with that
// code rewritten: by a plain save to the host's own setting
// (Preferences.OpenSave.SaveAsType, switch save-as-type, 64 by default), by
// SaveAs(path, type) to the type given.
//
// The one system variable, PROXYNOTICE, is the host's own setting (1 at
// start): GetVariable gives it as a 16-bit integer, SetVariable takes nothing
// else, and the command line "PROXYNOTICE 0" sets it.
//
// Lifetime: started by COM (-Embedding) the host stays invisible and ends
// when no client holds any of its objects any more and its window is not
// shown; started by hand it shows its window at once. Closing the window
// (or Application.Quit) ends it in any case. While running it is the running
// object of its class, so GetActiveObject attaches to it. Its window, which
// lists the journal as it grows, sits in the bottom-right corner of the
// screen, clear of varno's progress window.
//
// Journal: every call is appended as one UTF-8 line ('\n') to the file named
// by VCAD_JOURNAL, or vcad-journal.txt beside the executable:
//   Start|<pid>|<identifier>|<command line>   the host started, serving
//                                    that identifier
//   Refused                          ... and exits at once (refuse-start)
//   Visible=True                     a property put
//   Caption, FullName, Documents     a property get (no arguments)
//   Open|Z:\x\a.dwg                  a method with its arguments
//   PurgeAll|@Z:\x\a.dwg             a member of a document carries the
//   Close|True|@Z:\x\a.dwg             drawing last: its path, or the name
//   SendCommand|PROXYNOTICE 0\r|@Drawing1.dwg   of a new drawing
//   Error|0x80070002|<description>   the call above failed (DISP_E_EXCEPTION
//                                    with this scode), or Error|<HRESULT>|<member>
//                                    for a malformed call
//   Unknown|PurgeAll|@Z:\x\a.dwg     GetIDsOfNames of a name that does not exist
//   Rejected                         an incoming call refused while busy
//   Crash                            the host dies now (crash-open)
//   Exit                             the host ends (Exit|forced: ... when its
//                                    shutdown hung and a watchdog ended it)
// In texts CR, LF and TAB are written as \r, \n, \t, other control
// characters as \xNN.
//
// Test switches: the control file named by VCAD_FAILURES (or
// vcad-failures.txt beside the executable) is re-read on every call; its
// keys are listed in Host.h. VCAD_REFUSE_START=1 makes the host exit at
// start without registering anything, as a host that cannot start.
//
// Busy: while busy the host's message filter refuses incoming IDispatch
// calls. On Windows it answers SERVERCALL_RETRYLATER, and the caller's
// message filter (RetryRejectedCall) decides whether to retry. Wine 8
// ignores that answer and runs the call anyway, so under Wine the host
// answers SERVERCALL_REJECTED; Wine then fails the call at once with
// RPC_E_CALL_REJECTED and never asks the caller's message filter.
#include "Host.h"

#include "app/Unicode.h"

#include <shlobj.h>

#include <algorithm>
#include <thread>
#include <utility>

namespace vcad {
namespace {

constexpr UINT CheckExitMessage = WM_APP + 1;
constexpr UINT_PTR ExitTimer = 1;
// A host launched by COM whose client never connects gives up after this.
constexpr std::uint64_t NoClientMs = 30000;
constexpr int ListLines = 1000;
constexpr UINT_PTR ShowLinesTimer = 2;
constexpr DWORD ShutdownMs = 10000;
constexpr int WindowWidth = 640;
constexpr int WindowHeight = 400;
constexpr int WindowMargin = 16;

std::wstring Env(const wchar_t* name) {
    wchar_t buf[1024];
    const DWORD n = GetEnvironmentVariableW(name, buf, 1024);
    return n > 0 && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

std::wstring Folder(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\'));
}

// The identity /host:<identifier> names; the first without it. An
// identifier the stand-in cannot be is nullptr.
const Identity* IdentityIn(std::wstring_view cmd) {
    for (size_t at = 0; at < cmd.size();) {
        const size_t end = std::min(cmd.find(L' ', at), cmd.size());
        const std::wstring_view word = cmd.substr(at, end - at);
        if (word.size() > HostSwitch.size() &&
            SameText(word.substr(1, HostSwitch.size() - 1), HostSwitch.substr(1)) &&
            (word.front() == L'/' || word.front() == L'-'))
            return IdentityOf(word.substr(HostSwitch.size()));
        at = end + 1;
    }
    return &Identities[0];
}

bool HasSwitch(std::wstring_view cmd, std::wstring_view name) {
    for (size_t at = 0; at < cmd.size();) {
        const size_t end = std::min(cmd.find(L' ', at), cmd.size());
        std::wstring_view word = cmd.substr(at, end - at);
        if (!word.empty() && (word.front() == L'-' || word.front() == L'/') &&
            SameText(word.substr(1), name))
            return true;
        at = end + 1;
    }
    return false;
}

// Where the host's window goes: the bottom-right corner of the work area,
// within its lower half. varno's progress window sits centred at a third of
// the screen's height; it is topmost, but Wine without a window manager does
// not keep another process's topmost window above the foreground window, and
// varno brings the host to the foreground. Down here the host never covers
// the progress window, and a person watching a run sees both.
RECT WindowPlace() {
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = std::min<int>(WindowWidth, work.right - work.left);
    const int lowerHalf = work.top + (work.bottom - work.top) / 2;
    const int top = std::max<int>(lowerHalf, work.bottom - WindowMargin - WindowHeight);
    const int left = std::max<int>(work.left, work.right - WindowMargin - width);
    return {left, top, left + width, std::max<int>(top + 1, work.bottom - WindowMargin)};
}

} // namespace

// ---- class object: every client gets the one Application ----

// It lives as long as the server runs; COM's references do not own it.
class Server::Factory : public varno::win::UncountedComObject<IClassFactory> {
  public:
    explicit Factory(Server& server) : server_(server) {}
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (server_.Stopping() || !server_.Application())
            return CO_E_SERVER_STOPPING;
        return server_.Application()->QueryInterface(riid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        server_.Lock(lock != FALSE);
        return S_OK;
    }

  private:
    Server& server_;
};

// ---- message filter: a busy host refuses calls ----

class Server::Filter : public varno::win::UncountedComObject<IMessageFilter> {
  public:
    explicit Filter(Server& server) : server_(server) {}
    STDMETHODIMP_(DWORD) HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO info) override {
        // Only the automation calls are refused, never COM's own reference
        // counting and interface queries.
        if (!info || info->iid != IID_IDispatch || !server_.Busy())
            return SERVERCALL_ISHANDLED;
        server_.Journal(L"Rejected");
        return server_.underWine_ ? SERVERCALL_REJECTED : SERVERCALL_RETRYLATER;
    }
    STDMETHODIMP_(DWORD) RetryRejectedCall(HTASK, DWORD, DWORD) override {
        return static_cast<DWORD>(-1); // the host makes no calls of its own
    }
    STDMETHODIMP_(DWORD) MessagePending(HTASK, DWORD, DWORD) override {
        return PENDINGMSG_WAITDEFPROCESS;
    }

  private:
    Server& server_;
};

// ---- the server ----

Server::Server(const Identity& identity, std::wstring exePath, std::wstring journalPath,
               std::wstring switchesPath)
    : identity_(identity), exePath_(std::move(exePath)), journalPath_(std::move(journalPath)),
      switchesPath_(std::move(switchesPath)) {
    underWine_ = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    startTick_ = GetTickCount64();
}

std::wstring Server::FullName() const {
    if (!*identity_.program)
        return exePath_;
    return Folder(exePath_) + L"\\" + identity_.program;
}

std::wstring Server::DefaultTemplate() {
    if (Current().oldLayout)
        return Folder(exePath_) + L"\\TEMPLATE\\acad.dwt";
    wchar_t local[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
    return std::wstring(local) + L"\\vcad\\Template\\acad.dwt";
}

// A host's set-up puts its default template in place: in the user's profile
// (made on the host's first start for that user), or in the program folder.
void Server::InstallTemplate() {
    const std::wstring path = DefaultTemplate();
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return;
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    const UniqueFile f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f)
        return;
    constexpr char text[] = "vcad stand-in template drawing (acad.dwt)\n";
    DWORD put = 0;
    WriteFile(f.Get(), text, sizeof text - 1, &put, nullptr);
}

void Server::Journal(std::wstring_view line) {
    // A line that no UTF-8 can carry (an unpaired surrogate) is journaled as <?>.
    const std::string bytes = varno::WideToUtf8(line).value_or("<?>") + "\n";
    if (const UniqueFile f(CreateFileW(journalPath_.c_str(), FILE_APPEND_DATA,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        f) {
        DWORD put = 0;
        WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    }
    // The window shows the lines a few times a second, not at every call:
    // painting a visible window at each call would cost more than the call.
    if (list_ && GetCurrentThreadId() == GetWindowThreadProcessId(list_, nullptr)) {
        if (shownLater_.empty())
            SetTimer(window_, ShowLinesTimer, 200, nullptr);
        shownLater_.emplace_back(line);
    }
}

void Server::ShowLines() {
    KillTimer(window_, ShowLinesTimer);
    if (!list_)
        return;
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    LRESULT at = 0;
    for (const std::wstring& text : shownLater_) {
        if (SendMessageW(list_, LB_GETCOUNT, 0, 0) >= ListLines)
            SendMessageW(list_, LB_DELETESTRING, 0, 0);
        at = SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    shownLater_.clear();
    SendMessageW(list_, LB_SETTOPINDEX, static_cast<WPARAM>(at), 0);
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
}

// Re-reads the control file when its content or time stamp changed. A
// changed file with busy=N starts a busy period of N seconds.
const Switches& Server::Current() {
    std::string text;
    FILETIME time{};
    if (const UniqueFile f(CreateFileW(switchesPath_.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        f) {
        GetFileTime(f.Get(), nullptr, nullptr, &time);
        char buf[4096];
        DWORD got = 0;
        while (text.size() < 65536 && ReadFile(f.Get(), buf, sizeof buf, &got, nullptr) && got > 0)
            text.append(buf, got);
    }
    if (text != switchesText_ || CompareFileTime(&time, &switchesTime_) != 0) {
        switchesText_ = std::move(text);
        switchesTime_ = time;
        switches_ = ParseSwitches(switchesText_);
        OpenUsersDrawings();
        busyUntil_ =
            switches_.busySeconds > 0
                ? GetTickCount64() + static_cast<std::uint64_t>(switches_.busySeconds) * 1000
                : 0;
    }
    return switches_;
}

bool Server::Busy() {
    Current();
    return GetTickCount64() < busyUntil_;
}

void Server::SetVisible(bool visible) {
    visible_ = visible;
    if (window_)
        ShowWindow(window_, visible ? SW_SHOWNORMAL : SW_HIDE);
    if (!visible && window_)
        PostMessageW(window_, CheckExitMessage, 0, 0);
}

void Server::RequestQuit() {
    if (window_)
        PostMessageW(window_, WM_CLOSE, 0, 0);
}

void Server::Crash() {
    Journal(L"Crash");
    if (factoryCookie_)
        CoRevokeClassObject(factoryCookie_);
    TerminateProcess(GetCurrentProcess(), 3);
    ExitProcess(3);
}

void Server::AddDocument(ComPtr<Document> doc, bool activate) {
    if (activate || !active_)
        active_ = doc.Get();
    docs_.push_back(std::move(doc));
}

void Server::RemoveDocument(Document* doc) {
    for (size_t i = 0; i < docs_.size(); ++i) {
        if (docs_[i].Get() == doc) {
            ComPtr<Document> keep = std::move(docs_[i]); // alive until it is no longer active
            docs_.erase(docs_.begin() + static_cast<std::ptrdiff_t>(i));
            if (active_ == doc)
                active_ = docs_.empty() ? nullptr : docs_.back().Get();
            return;
        }
    }
}

void Server::OpenUsersDrawings() {
    for (const std::wstring& path : switches_.userOpen) {
        bool open = false;
        for (const auto& doc : docs_)
            open = open || SameText(doc->Path(), path);
        if (open)
            continue;
        Journal(L"UserOpen|" + path);
        try {
            AddDocument(OpenUsersDrawing(*this, path));
        } catch (const HostError& e) {
            Journal(L"Error|" + e.description);
        }
    }
}

void Server::Connected() {
    ++connections_;
    everConnected_ = true;
}

void Server::Disconnected() {
    if (connections_ > 0)
        --connections_;
    if (window_)
        PostMessageW(window_, CheckExitMessage, 0, 0);
}

void Server::Lock(bool lock) {
    if (lock) {
        ++locks_;
        everConnected_ = true;
    } else if (locks_ > 0) {
        --locks_;
        if (window_)
            PostMessageW(window_, CheckExitMessage, 0, 0);
    }
}

// Ends the host when nobody needs it: no client holds an object or a lock,
// its window is not shown, and a client has come and gone (or none came).
void Server::CheckExit() {
    if (stopping_ || visible_ || connections_ > 0 || locks_ > 0)
        return;
    if (!everConnected_ && GetTickCount64() - startTick_ < NoClientMs)
        return;
    Stop();
}

// Leaves the message loop; the window stays (hidden) until the host has
// withdrawn its registrations, so that a hung shutdown can still be found.
void Server::Stop() {
    if (stopping_)
        return;
    stopping_ = true;
    visible_ = false;
    if (window_)
        ShowWindow(window_, SW_HIDE);
    PostQuitMessage(0);
}

LRESULT CALLBACK Server::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<Server*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_SIZE:
        if (self && self->list_)
            MoveWindow(self->list_, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        return 0;
    case WM_TIMER:
        if (self && wp == ShowLinesTimer)
            self->ShowLines();
        else if (self)
            self->CheckExit();
        return 0;
    case CheckExitMessage:
        if (self)
            self->CheckExit();
        return 0;
    case WM_CLOSE:
        if (self)
            self->Stop();
        return 0;
    case WM_DESTROY:
        if (self) {
            self->list_ = nullptr;
            self->window_ = nullptr;
        }
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

bool Server::CreateMainWindow() {
    const HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = WindowClass;
    RegisterClassW(&wc);
    const RECT place = WindowPlace();
    window_ = CreateWindowExW(0, WindowClass, identity_.caption, WS_OVERLAPPEDWINDOW, place.left,
                              place.top, place.right - place.left, place.bottom - place.top,
                              nullptr, nullptr, inst, this);
    if (!window_)
        return false;
    RECT rc{};
    GetClientRect(window_, &rc);
    list_ = CreateWindowExW(0, L"LISTBOX", nullptr,
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0, 0,
                            rc.right, rc.bottom, window_, nullptr, inst, nullptr);
    SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
    SetTimer(window_, ExitTimer, 1000, nullptr);
    return true;
}

int Server::Run(std::wstring_view commandLine) {
    Journal(L"Start|" + std::to_wstring(GetCurrentProcessId()) + L"|" + identity_.progId + L"|" +
            std::wstring(commandLine));
    if (Env(EnvRefuseStart) == L"1" || Current().refuseStart) {
        Journal(L"Refused");
        return 1;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    InstallTemplate();
    Factory factory(*this);
    Filter filter(*this);
    int code = 0;
    if (CreateMainWindow()) {
        CoRegisterMessageFilter(&filter, nullptr);
        app_ = MakeApplication(*this);
        // Weakly held in the running object table: the table's own reference
        // must not count as a client, or the host could never see its last
        // client go. IExternalConnection keeps the entry valid in between.
        const HRESULT reg = CoRegisterClassObject(identity_.clsid, &factory, CLSCTX_LOCAL_SERVER,
                                                  REGCLS_MULTIPLEUSE, &factoryCookie_);
        RegisterActiveObject(app_.Get(), identity_.clsid, ACTIVEOBJECT_WEAK, &activeCookie_);
        const bool byCom =
            HasSwitch(commandLine, L"Embedding") || HasSwitch(commandLine, L"Automation");
        if (!byCom)
            SetVisible(true);
        if (FAILED(reg))
            Journal(L"Error|CoRegisterClassObject failed");
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        code = static_cast<int>(msg.wParam);
    } else {
        code = 2;
    }
    // Whatever happens while the host withdraws from COM, it ends in time.
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([this, done] {
        if (WaitForSingleObject(done, ShutdownMs) == WAIT_TIMEOUT) {
            Journal(L"Exit|forced: the shutdown took too long");
            TerminateProcess(GetCurrentProcess(), 4);
        }
    });
    Shutdown();
    CoRegisterMessageFilter(nullptr, nullptr);
    CoUninitialize();
    if (window_)
        DestroyWindow(window_);
    SetEvent(done);
    watchdog.join();
    CloseHandle(done);
    Journal(L"Exit");
    return code;
}

void Server::Shutdown() {
    stopping_ = true;
    if (activeCookie_)
        RevokeActiveObject(std::exchange(activeCookie_, 0), nullptr);
    if (factoryCookie_)
        CoRevokeClassObject(std::exchange(factoryCookie_, 0));
    for (auto& doc : docs_)
        doc->Disconnect();
    active_ = nullptr;
    docs_.clear();
    if (app_)
        CoDisconnectObject(app_.Get(), 0);
    app_.Reset();
}

} // namespace vcad

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    wchar_t exe[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring exePath(exe, n);
    const std::wstring folder = vcad::Folder(exePath);
    std::wstring journal = vcad::Env(vcad::EnvJournal);
    std::wstring switches = vcad::Env(vcad::EnvSwitches);
    if (journal.empty())
        journal = folder + L"\\vcad-journal.txt";
    if (switches.empty())
        switches = folder + L"\\vcad-failures.txt";
    const std::wstring_view cmd = commandLine ? commandLine : L"";
    const vcad::Identity* identity = vcad::IdentityIn(cmd);
    if (!identity)
        return 5; // no host of this name
    vcad::Server server(*identity, exePath, journal, switches);
    return server.Run(cmd);
}
