#pragma once
// Starting varno.exe (built beside the tests' folder) as a separate process,
// for what ends or reconfigures a whole process.
#include <windows.h>

#include <string>

namespace varno::test {

class ChildProcess {
  public:
    // Starts the program; the test's environment is inherited.
    explicit ChildProcess(const std::wstring& exe);
    ~ChildProcess(); // terminates it if still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pi_.hProcess != nullptr; }
    DWORD Id() const { return pi_.dwProcessId; }
    // Waits for a visible top-level window of the process with that title.
    HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs = 15000) const;
    // True when the process ended within the timeout; its exit code in *code.
    bool WaitForExit(DWORD timeoutMs, DWORD* code = nullptr) const;

  private:
    PROCESS_INFORMATION pi_{};
};

// The folder of the test executable's build tree: varno.exe lies one level up.
std::wstring VarnoExe();

} // namespace varno::test
