// Keeps Wine's desktop process, explorer.exe /desktop, running for a whole
// run of the Windows tests.
//
// Wine starts that process for the first program of a prefix that makes a
// window and waits at most 10 s for it. When it takes longer (a fresh machine,
// a busy one), Wine goes on with a desktop window of its own that has no
// display driver behind it: that program can make no window at all, and
// neither can any other until every program has left the desktop. And the
// desktop closes a second after its last program ends, so in a test run,
// where every test is a process of its own, each test started it afresh and
// once in a while met the 10 s limit: its main window was never made.
//
// This program starts the desktop process itself, waits for it as long as it
// takes (5 minutes at most), writes "ready" to its standard output and stays
// until the wineserver ends it; while it lives the desktop stays up, and every
// test finds it ready.
#include <windows.h>

#include <cstdio>

int wmain() {
    wchar_t command[] = L"C:\\windows\\system32\\explorer.exe /desktop";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr,
                        L"C:\\windows\\system32", &si, &pi)) {
        std::printf("cannot start explorer.exe: error %lu\n", GetLastError());
        return 1;
    }
    // Idle once its desktop window is made; one that finds a desktop already
    // there ends at once.
    WaitForInputIdle(pi.hProcess, 5 * 60 * 1000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // The desktop window belongs to the desktop process, not to the server.
    if (GetWindowThreadProcessId(GetDesktopWindow(), nullptr) == 0) {
        std::printf("the desktop did not start\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;)
        Sleep(INFINITE);
}
