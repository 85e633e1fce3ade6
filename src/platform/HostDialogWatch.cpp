#include "platform/HostDialogWatch.h"

#include "app/HostDialogs.h"

namespace varno::win {

void HostDialogWatch::SetHostWindow(HWND window) {
    DWORD process = 0;
    const DWORD thread = window ? GetWindowThreadProcessId(window, &process) : 0;
    const std::lock_guard hold(lock_);
    main_ = window;
    process_ = process;
    thread_ = thread;
}

void HostDialogWatch::CallStarted() {
    const std::lock_guard hold(lock_);
    inCall_ = true;
    started_ = std::chrono::steady_clock::now();
    before_.clear();
    if (!thread_)
        return;
    // The windows of the host's own thread: those a call makes open there.
    EnumThreadWindows(
        thread_,
        [](HWND w, LPARAM list) {
            reinterpret_cast<std::vector<std::uintptr_t>*>(list)->push_back(
                reinterpret_cast<std::uintptr_t>(w));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&before_));
}

void HostDialogWatch::CallEnded() {
    const std::lock_guard hold(lock_);
    inCall_ = false;
}

HWND HostDialogWatch::Look() {
    std::vector<std::uintptr_t> before;
    HWND main = nullptr;
    DWORD process = 0;
    {
        const std::lock_guard hold(lock_);
        if (!inCall_ || !main_ || std::chrono::steady_clock::now() - started_ < LookAfter)
            return nullptr;
        before = before_;
        main = main_;
        process = process_;
    }
    struct Search {
        DWORD process;
        std::vector<HostWindow> windows;
    } search{process, {}};
    EnumWindows(
        [](HWND w, LPARAM p) {
            auto& s = *reinterpret_cast<Search*>(p);
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process != s.process)
                return TRUE;
            wchar_t cls[8] = {};
            GetClassNameW(w, cls, 8);
            s.windows.push_back({reinterpret_cast<std::uintptr_t>(w), IsWindowVisible(w) != FALSE,
                                 IsWindowEnabled(w) != FALSE, lstrcmpW(cls, L"#32770") == 0});
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    const std::optional<std::uintptr_t> waiting =
        CadWaitsOn(before, search.windows, IsWindowEnabled(main) != FALSE);
    return waiting ? reinterpret_cast<HWND>(*waiting) : nullptr;
}

} // namespace varno::win
