#pragma once
// Driving the program's modal dialogs and message boxes from a helper
// thread while the test thread sits inside them.
#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace varno::test {

// Waits (up to a timeout) for a visible dialog window (#32770) of this
// process whose title is `title` (any title when empty) and runs `act` on it,
// on the helper thread. Join() waits for it; Found() says whether it came.
class DialogWatcher {
  public:
    DialogWatcher(std::wstring title, std::function<void(HWND)> act, DWORD timeoutMs = 15000);
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;
    bool Join(); // true when the dialog was found and handled

  private:
    std::thread thread_;
    std::atomic<bool> found_{false};
};

// The tooltip texts of a form's controls, by control id (a tool over a
// rectangle of the form, such as a frame's, by the id it was given).
std::map<int, std::wstring> TooltipTexts(HWND form);

HWND FindDialog(const std::wstring& title, DWORD processId = GetCurrentProcessId());
std::wstring WindowText(HWND h);

// What a message box, or a task dialog, shows: for a task dialog the text is
// its main instruction, a blank line and its content, as a message box of
// the same words would read.
struct MessageBoxInfo {
    std::wstring title;
    std::wstring text;
    bool hasIcon = false;
    HWND owner = nullptr;
    bool topmost = false;
    struct Button {
        int id;
        std::wstring text;
    };
    std::vector<Button> buttons; // in the order of the dialog's controls
};
MessageBoxInfo ReadMessageBox(HWND box);

// Types a name into a file dialog's name box and presses OK.
void AnswerFileDialog(HWND dialog, const std::wstring& name);
void CancelDialog(HWND dialog);

// A message box seen by a watcher, then closed.
struct SeenBox {
    MessageBoxInfo info;
    bool seen = false;
};
// Starts watching for a message box titled `title`, records it and closes it.
std::unique_ptr<DialogWatcher> CloseMessageBox(const std::wstring& title, SeenBox& seen);

} // namespace varno::test
