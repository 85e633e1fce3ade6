#pragma once
// Watches the CAD host's windows while a call to it lasts (see
// app/HostDialogs.h). The host thread tells it of each call; the window's
// thread looks, costing no call to the host.
#include <windows.h>

#include "platform/Dispatch.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace varno::win {

class HostDialogWatch : public CallObserver {
  public:
    // The host's main window, once the run has brought it to the front: its
    // process is the host's. Any thread.
    void SetHostWindow(HWND window);

    // The host thread, as a call starts: the time, and the top-level windows
    // of the host's thread of that window.
    void CallStarted() override;
    void CallEnded() override;

    // The window's thread: the window CAD waits on its user in, once the
    // call under way has lasted LookAfter; nullptr when there is none.
    HWND Look();

  private:
    std::mutex lock_;
    HWND main_ = nullptr;
    DWORD process_ = 0, thread_ = 0;
    bool inCall_ = false;
    std::chrono::steady_clock::time_point started_;
    std::vector<std::uintptr_t> before_;
};

} // namespace varno::win
