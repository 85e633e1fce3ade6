#include "platform/RunLock.h"

#include "platform/App.h"

namespace varno::win {

RunLock::RunLock(DWORD waitMs) : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\varno.BatchPurge")) {
    if (!mutex_)
        return;
    // The window's thread waits handling its messages, so that it goes on
    // answering.
    const DWORD woke = WaitHandlingMessages(mutex_.Get(), waitMs, true);
    held_ = woke == WAIT_OBJECT_0 || woke == WAIT_ABANDONED_0;
}

RunLock::~RunLock() {
    if (held_)
        ReleaseMutex(mutex_.Get());
}

} // namespace varno::win
