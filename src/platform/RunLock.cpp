#include "platform/RunLock.h"

namespace varno::win {

RunLock::RunLock(DWORD waitMs) : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\varno.BatchPurge")) {
    if (!mutex_)
        return;
    // The window's thread waits handling its messages, so that it goes on
    // answering (and a COM call to it is served).
    const HANDLE handle = mutex_.Get();
    const ULONGLONG end = GetTickCount64() + waitMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= end ? 0 : static_cast<DWORD>(end - now);
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(1, &handle, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_ABANDONED_0) {
            held_ = true;
            return;
        }
        if (woke != WAIT_OBJECT_0 + 1) // timed out, or failed
            return;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

RunLock::~RunLock() {
    if (held_)
        ReleaseMutex(mutex_.Get());
}

} // namespace varno::win
