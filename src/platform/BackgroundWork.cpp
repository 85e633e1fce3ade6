#include "platform/BackgroundWork.h"

#include "platform/Barrier.h"
#include "platform/Com.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <atomic>
#include <system_error>
#include <thread>
#include <utility>

namespace varno::win {

struct BackgroundWork::Job {
    std::stop_source stop;
    Work work;
    std::atomic<bool> ended{false}; // what the work wrote is seen once this is
};

namespace {

UINT EndMessage() {
    static const UINT message = RegisterWindowMessageW(L"varno.BackgroundWorkEnded");
    return message;
}

// The cursor over the window changes now, not at the next move of the mouse.
void RefreshCursor(HWND window) {
    POINT at{};
    if (!GetCursorPos(&at))
        return;
    HWND under = WindowFromPoint(at);
    if (!under || (under != window && !IsChild(window, under)))
        return;
    const LRESULT hit = SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                 MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
}

} // namespace

BackgroundWork::~BackgroundWork() {
    if (job_)
        job_->stop.request_stop();
    Unhook();
}

bool BackgroundWork::HookInto(HWND window) {
    if (hooked_ == window)
        return true;
    Unhook();
    if (!SetWindowSubclass(window, &Hook, 0, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    hooked_ = window;
    return true;
}

void BackgroundWork::Unhook() {
    if (HWND window = std::exchange(hooked_, nullptr); window && IsWindow(window))
        RemoveWindowSubclass(window, &Hook, 0);
}

LRESULT CALLBACK BackgroundWork::Hook(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                      DWORD_PTR self) {
    return Barrier<LRESULT>(0, [&]() -> LRESULT {
        auto* work = reinterpret_cast<BackgroundWork*>(self);
        if (LRESULT result = 0; work->Route(msg, wp, lp, result))
            return result;
        if (msg == WM_DESTROY)
            work->Unhook(); // while the window is still there
        return DefSubclassProc(window, msg, wp, lp);
    });
}

bool BackgroundWork::Start(HWND window, Work work, Done done) {
    if (job_ || !window || !HookInto(window))
        return false;
    auto job = std::make_shared<Job>();
    job->work = std::move(work);
    const std::uintptr_t serial = serial_ + 1;
    try {
        std::thread([job, window, serial] {
            try {
                job->work(job->stop.get_token());
            } catch (...) {
                // Nothing may leave the thread; Done sees what the work left.
            }
            job->ended.store(true, std::memory_order_release);
            PostMessageW(window, EndMessage(), serial, 0);
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    serial_ = serial;
    window_ = window;
    job_ = std::move(job);
    done_ = std::move(done);
    ShowBusy(true);
    return true;
}

void BackgroundWork::Cancel() {
    if (!job_)
        return;
    job_->stop.request_stop();
    job_.reset();
    done_ = nullptr;
    ShowBusy(false);
}

void BackgroundWork::Finish() {
    const Done done = std::exchange(done_, nullptr);
    job_.reset();
    ShowBusy(false);
    if (done)
        done();
}

void BackgroundWork::ShowBusy(bool busy) {
    if (!IsWindow(window_))
        return;
    // Asked afresh each time: nothing of the shell is held between pieces.
    ComPtr<ITaskbarList3> taskbar;
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ITaskbarList3, taskbar.PutVoid())) &&
        SUCCEEDED(taskbar->HrInit()))
        taskbar->SetProgressState(window_, busy ? TBPF_INDETERMINATE : TBPF_NOPROGRESS);
    RefreshCursor(window_);
}

bool BackgroundWork::Route(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg != 0 && msg == EndMessage()) {
        if (job_ && wp == serial_ && job_->ended.load(std::memory_order_acquire))
            Finish();
        result = 0;
        return true;
    }
    if (msg == WM_DESTROY) {
        Cancel(); // while the window is still there
        return false;
    }
    if (!job_)
        return false;
    switch (msg) {
    case WM_SETCURSOR:
        if (LOWORD(lp) != HTCLIENT)
            return false;
        SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        result = TRUE;
        return true;
    case WM_COMMAND: // Esc among the controls: the dialog keys' IDCANCEL, from no control
        if (LOWORD(wp) != IDCANCEL || lp != 0)
            return false;
        Cancel();
        result = 0;
        return true;
    case WM_KEYDOWN: // Esc with the window itself focused
        if (wp != VK_ESCAPE)
            return false;
        Cancel();
        result = 0;
        return true;
    default:
        return false;
    }
}

} // namespace varno::win
