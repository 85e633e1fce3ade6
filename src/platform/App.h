#pragma once
// Application-wide platform services: the message loop, ending the program,
// the program's folder and help file, message boxes, shell-open, help, time.
#include <windows.h>

#include "app/Ui.h"

#include <span>
#include <string>
#include <string_view>

namespace varno::win {

// The user-interface thread, prepared for the program while this object
// lives: DLLs from the system folder only, the thread's OLE session (a
// single-threaded apartment), the COM message filter, the common controls'
// classes. Its end closes the OLE session: whatever holds COM references
// must have let them go by then (the program's entry says in which order).
class UiThread {
  public:
    UiThread();
    ~UiThread();
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;
    // False when the thread could not open its OLE session: the program
    // cannot start.
    explicit operator bool() const { return SUCCEEDED(ole_); }

  private:
    HRESULT ole_;
};

HINSTANCE Instance();
// The hidden window that owns every form, so that forms without a task bar
// button have none.
HWND OwnerWindow();

// Runs the message loop until the last loaded form has been unloaded.
int RunMessageLoop();
// Handles one queued message (dialog keys, F1 help included); false on WM_QUIT.
bool PumpMessage(const MSG& msg);
// Waits up to timeoutMs for the handle while this thread's messages are
// handled: by PumpMessage on the window's thread, plainly on another. A
// WM_QUIT is put back for the message loop once the wait is over. The
// result is WaitForSingleObject's: WAIT_OBJECT_0 (WAIT_ABANDONED_0 for an
// abandoned mutex), WAIT_TIMEOUT, or WAIT_FAILED.
DWORD WaitHandlingMessages(HANDLE handle, DWORD timeoutMs, bool windowThread);

// Called by the forms as they load and unload.
void FormLoaded(HWND form);
void FormUnloaded(HWND form);

// The window property under which a form keeps its tooltip control; the
// message loop relays mouse messages to it.
inline constexpr wchar_t TooltipProp[] = L"varno.tooltip";

// Ends the process at once: no unload handlers run, every reference is dropped.
[[noreturn]] void EndProgram();

// The folder of the executable; ends with a backslash only at a drive root.
std::wstring ProgramFolder();

// The application's help file, opened by F1.
void SetHelpFile(std::wstring path);
const std::wstring& HelpFile();
// HtmlHelpW(caller, path, HH_DISPLAY_TOPIC, 0), loaded from the system's
// hhctrl.ocx on first use; silent when it is missing.
void ShowHelp(HWND caller, std::wstring_view path);
// Tests replace the help viewer to see what it would be asked to show;
// nullptr restores it.
using HelpHook = void (*)(HWND caller, std::wstring_view path);
void SetHelpHook(HelpHook hook);

// ShellExecuteA(owner, "Open", address, no parameters, no folder, show 0);
// the result is ignored.
void ShellOpen(HWND owner, std::wstring_view address);
// Tests replace the shell to see what would be opened; nullptr restores it.
using ShellOpenHook = void (*)(HWND owner, std::wstring_view address);
void SetShellOpenHook(ShellOpenHook hook);

// The current time of day in the system's time format (hours, minutes, seconds).
std::wstring TimeOfDayText();

// Text in the system's ANSI code page and back.
std::string ToAnsi(std::wstring_view text);

// MessageBoxW with the application's title where none is given; modal to
// the owner, or to the whole program without one. The answer is the button.
int ShowMessageBox(HWND owner, std::wstring_view text, unsigned style, std::wstring_view title);

// A process that no one watches (a run from the command line) shows no box:
// from this call on, every box of the program (ShowMessageBox, the task
// dialog, a failure a barrier ends) is passed over as if its default button
// had been pressed, and its text goes to tell instead.
using UntoldBox = void (*)(std::wstring_view text);
void ShowNoBoxes(UntoldBox tell);
// Where a box's text goes instead, while boxes are not shown; else nullptr.
UntoldBox BoxesUntold();

// A task dialog (TaskDialogIndirect) for the questions a message box cannot
// put: the title, the error icon, a main instruction and content, and the
// buttons given (id and text, in their order, the first with IDOK the
// default); Esc and the close box give IDCANCEL. Modal to the owner; put in
// front as ShowMessageBox puts a box with MB_SETFOREGROUND. The answer is
// the button's id, or IDOK where the system has no task dialogs.
struct TaskButton {
    int id;
    std::wstring_view text;
};
int ShowErrorTaskDialog(HWND owner, std::wstring_view title, std::wstring_view instruction,
                        std::wstring_view content, std::span<const TaskButton> buttons);

class Win32MessageBoxes : public MessageBoxes, public Questions {
  public:
    void Show(std::wstring_view text, unsigned style, std::wstring_view title = {}) override;
    int Ask(std::wstring_view text, unsigned style, std::wstring_view title = {}) override;
};
Win32MessageBoxes& TheMessageBoxes();

} // namespace varno::win
