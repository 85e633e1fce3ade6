#pragma once
// One batch purge at a time in the user's session, whether started from the
// window or from the command line: a named mutex of the session (Local\).
#include <windows.h>

#include "platform/Handle.h"

namespace varno::win {

class RunLock {
  public:
    // Waits this long for a run under way in another process. A lock whose
    // owner died without letting go (abandoned) is taken: its run is over.
    explicit RunLock(DWORD waitMs);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;
    // Held: no other run works now.
    explicit operator bool() const { return held_; }

  private:
    UniqueHandle mutex_;
    bool held_ = false;
};

// How long a run from the command line waits for another to end.
inline constexpr DWORD RunLockPatienceMs = 10 * 60 * 1000;

} // namespace varno::win
