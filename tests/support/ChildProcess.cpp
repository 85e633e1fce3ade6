#include "support/ChildProcess.h"

#include "support/DialogDriver.h"

namespace varno::test {

std::wstring VarnoExe() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
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

} // namespace varno::test
