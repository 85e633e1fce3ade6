#pragma once
// Input as a person gives it: key presses and pointer moves through the
// system's input queue (SendInput, SetCursorPos), delivered to whichever
// window has the focus or lies under the pointer, and a message pump to
// let them arrive.
#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

namespace varno::test {

// Runs act each time a window of this thread has handled a message sent to
// it (SendMessage, as DefWindowProc sends WM_CLOSE for Alt+F4, or as a
// control's text is set) that match accepts; for the object's lifetime.
class AfterSentMessage {
  public:
    using Match = std::function<bool(HWND window, UINT msg, WPARAM wp, LPARAM lp)>;
    AfterSentMessage(Match match, std::function<void()> act);
    ~AfterSentMessage();
    AfterSentMessage(const AfterSentMessage&) = delete;
    AfterSentMessage& operator=(const AfterSentMessage&) = delete;
    int Count() const { return count_; }

  private:
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp);
    Match match_;
    std::function<void()> act_;
    int count_ = 0;
};

// A DROPFILES block in global memory with wide paths, as a drag source hands
// it over (WM_DROPFILES, CF_HDROP).
HDROP MakeDrop(const std::vector<std::wstring>& paths);

// Presses and releases a key, with Alt held when alt is set.
void PressKey(WORD key, bool alt = false);

// Runs the thread's messages through the program's message handling for
// about ms milliseconds, or until done() says so.
void PumpMessagesFor(DWORD ms, const std::function<bool()>& done = {});

} // namespace varno::test
