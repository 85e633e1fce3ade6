#pragma once
// Work that runs on a thread of its own beside a window, so that the window
// goes on answering: one piece at a time. While it works, the app-starting
// cursor shows over the window and its taskbar button shows the busy
// progress state, and Esc in the window cancels the work. It hooks itself
// into the window's messages (a subclass) from its first piece on.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>

namespace varno::win {

class BackgroundWork {
  public:
    // Runs on the worker thread; asked to stop through the token. Whatever
    // it shares with its Done must outlive a cancel: the thread of a
    // cancelled piece is left to end on its own.
    using Work = std::function<void(std::stop_token stop)>;
    // Runs on the window's thread once the work has ended, unless cancelled.
    using Done = std::function<void()>;

    BackgroundWork() = default;
    ~BackgroundWork(); // cancels
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    // False, and nothing runs, while another piece works or when no thread
    // can be started.
    bool Start(HWND window, Work work, Done done);
    bool Busy() const { return job_ != nullptr; }
    // The work is asked to stop and its Done never runs; the window is free
    // again at once.
    void Cancel();

  private:
    struct Job;
    static LRESULT CALLBACK Hook(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                 DWORD_PTR self);
    // True when the message was this object's: the end of the work, the
    // cursor or Esc while it works. Cancels when the window is destroyed.
    bool Route(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    bool HookInto(HWND window);
    void Unhook();
    void ShowBusy(bool busy);
    void Finish();

    HWND window_ = nullptr;
    HWND hooked_ = nullptr;
    std::shared_ptr<Job> job_;
    Done done_;
    std::uintptr_t serial_ = 0; // of the piece under way; older ends are ignored
};

} // namespace varno::win
