#pragma once
// The thread on which the program calls the CAD host, for the life of the
// program: a single-threaded apartment with the COM message filter, as the
// window's thread is. It holds the host session, which is filled, kept across
// runs and released there. The window's thread hands it one piece of work at
// a time and goes on handling its messages meanwhile: its windows repaint and
// take input while a host call runs, and what the work asks of the windows
// comes back to it (OnWindowThread).
#include <windows.h>

#include <functional>
#include <memory>

namespace varno::win {

class HostThread {
  public:
    // Starts the thread. Made on the window's thread, to which the work's
    // requests come back.
    HostThread();
    // Releases the host session on the thread, ends the thread's OLE session
    // and waits for it to end.
    ~HostThread();
    HostThread(const HostThread&) = delete;
    HostThread& operator=(const HostThread&) = delete;
    // False when the thread could not start with its OLE session.
    explicit operator bool() const;

    // Runs work on the host thread, and meanwhile handles this thread's
    // messages until it is done. Raises what the work raised.
    void Run(const std::function<void()>& work);

    // The program's host thread while one lives, else nullptr.
    static HostThread* Running();

    struct State;

  private:
    friend void OnWindowThread(const std::function<void()>& call);
    friend class WindowCallsHeld;
    std::shared_ptr<State> state_;
};

// Runs call on the window's thread, for the work on the host thread, and
// waits for it; at once on any other thread (the window's own, or one in a
// program without a host thread). Raises what call raised.
void OnWindowThread(const std::function<void()>& call);

// While one lives on the window's thread (a question to the user is open),
// what the host thread's work asks of the windows waits: nothing of the
// work shows before the answer.
class WindowCallsHeld {
  public:
    WindowCallsHeld();
    ~WindowCallsHeld();
    WindowCallsHeld(const WindowCallsHeld&) = delete;
    WindowCallsHeld& operator=(const WindowCallsHeld&) = delete;
};

} // namespace varno::win
