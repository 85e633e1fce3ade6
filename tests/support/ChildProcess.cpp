#include "support/ChildProcess.h"

#include "support/DialogDriver.h"

namespace varno::test {

std::wstring ThisExe() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring VarnoExe() {
    std::wstring p = ThisExe();
    p.resize(p.find_last_of(L'\\')); // tests folder
    p.resize(p.find_last_of(L'\\')); // build folder
    return p + L"\\varno.exe";
}

ChildProcess::ChildProcess(const std::wstring& exe) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi_))
        pi_ = {};
}

ChildProcess::~ChildProcess() {
    if (!pi_.hProcess)
        return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(pi_.hProcess, 1);
        WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
}

ChildProcess::ChildProcess(const std::wstring& exe, const std::wstring& arguments,
                           const std::wstring& output) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = out;
    si.hStdError = out;
    std::wstring cmd = L"\"" + exe + L"\" " + arguments;
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi_))
        pi_ = {};
    CloseHandle(out);
}

HWND ChildProcess::WaitForWindow(const std::wstring& title, DWORD timeoutMs) const {
    struct Ctx {
        const std::wstring* title;
        DWORD pid;
        HWND found;
    };
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < end) {
        Ctx ctx{&title, pi_.dwProcessId, nullptr};
        EnumWindows(
            [](HWND h, LPARAM p) -> BOOL {
                auto* c = reinterpret_cast<Ctx*>(p);
                DWORD pid = 0;
                GetWindowThreadProcessId(h, &pid);
                if (pid == c->pid && IsWindowVisible(h) && WindowText(h) == *c->title) {
                    c->found = h;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&ctx));
        if (ctx.found)
            return ctx.found;
        Sleep(50);
    }
    return nullptr;
}

bool ChildProcess::WaitForExit(DWORD timeoutMs, DWORD* code) const {
    if (!pi_.hProcess || WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (code)
        GetExitCodeProcess(pi_.hProcess, code);
    return true;
}

ScopedLogPixels::ScopedLogPixels(DWORD dpi) {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key_, nullptr) != ERROR_SUCCESS) {
        key_ = nullptr;
        return;
    }
    DWORD size = sizeof oldValue_;
    DWORD type = 0;
    hadValue_ = RegQueryValueExW(key_, L"LogPixels", nullptr, &type,
                                 reinterpret_cast<BYTE*>(&oldValue_), &size) == ERROR_SUCCESS &&
                type == REG_DWORD;
    set_ = RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                          sizeof dpi) == ERROR_SUCCESS;
}

ScopedLogPixels::~ScopedLogPixels() {
    if (!key_)
        return;
    if (hadValue_)
        RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&oldValue_),
                       sizeof oldValue_);
    else
        RegDeleteValueW(key_, L"LogPixels");
    RegCloseKey(key_);
}

} // namespace varno::test
