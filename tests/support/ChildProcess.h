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
    // Starts exe with a command line after its name; its standard output and
    // error go to the file `output` (created afresh).
    ChildProcess(const std::wstring& exe, const std::wstring& arguments,
                 const std::wstring& output);
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
// This test executable.
std::wstring ThisExe();

// The system DPI that processes started from now on see (Wine reads the
// value when a process starts); the destructor puts back what was there.
class ScopedLogPixels {
  public:
    explicit ScopedLogPixels(DWORD dpi);
    ~ScopedLogPixels();
    ScopedLogPixels(const ScopedLogPixels&) = delete;
    ScopedLogPixels& operator=(const ScopedLogPixels&) = delete;
    bool Set() const { return set_; }

  private:
    HKEY key_ = nullptr;
    bool set_ = false;
    bool hadValue_ = false;
    DWORD oldValue_ = 0;
};

} // namespace varno::test
