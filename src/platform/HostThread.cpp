#include "platform/HostThread.h"

#include "app/Module1.h"
#include "platform/App.h"
#include "platform/Dispatch.h"
#include "platform/Handle.h"

#include <exception>
#include <mutex>
#include <optional>
#include <thread>

namespace varno::win {

namespace {

// Posted to the window thread's message window: a request of the work waits.
constexpr UINT WindowCallMessage = WM_APP + 1;
constexpr wchar_t MessageClass[] = L"VarnoHostThreadCalls";

HostThread* g_running = nullptr;

UniqueHandle NewEvent() {
    return UniqueHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr));
}

// What work raised, or nothing.
std::exception_ptr RunCaught(const std::function<void()>& work) {
    try {
        work();
        return nullptr;
    } catch (...) {
        return std::current_exception();
    }
}

} // namespace

struct HostThread::State {
    const DWORD windowThread = GetCurrentThreadId();
    UniqueWindow messages;
    UniqueHandle started = NewEvent(), wake = NewEvent(), workDone = NewEvent(),
                 windowCallDone = NewEvent();
    HRESULT ole = E_FAIL;

    std::mutex lock;
    const std::function<void()>* work = nullptr; // the piece under way
    std::exception_ptr workFailure;
    bool ending = false;
    const std::function<void()>* windowCall = nullptr; // the work's request
    std::exception_ptr windowCallFailure;
    int held = 0; // WindowCallsHeld on the window's thread

    std::thread thread;

    void Main();
    // On the window's thread: the work's request, unless held.
    void RunWindowCall();
    static LRESULT CALLBACK MessageProc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
};

void HostThread::State::Main() {
    ole = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(ole))
        InstallMessageFilter();
    SetEvent(started.Get());
    if (FAILED(ole))
        return;
    for (;;) {
        WaitHandlingMessages(wake.Get(), INFINITE, false);
        std::unique_lock hold(lock);
        if (const std::function<void()>* piece = work) {
            hold.unlock();
            const std::exception_ptr failure = RunCaught(*piece);
            hold.lock();
            workFailure = failure;
            work = nullptr;
            SetEvent(workDone.Get());
        } else if (ending) {
            break;
        }
    }
    // The references to the host go on the thread that made them, before
    // its OLE session ends.
    Host() = HostSession{};
    CoUninitialize();
}

void HostThread::State::RunWindowCall() {
    std::unique_lock hold(lock);
    if (held > 0 || !windowCall)
        return;
    const std::function<void()>* call = std::exchange(windowCall, nullptr);
    hold.unlock();
    const std::exception_ptr failure = RunCaught(*call);
    hold.lock();
    windowCallFailure = failure;
    SetEvent(windowCallDone.Get());
}

LRESULT CALLBACK HostThread::State::MessageProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WindowCallMessage) {
        if (auto* state = reinterpret_cast<State*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
            state->RunWindowCall();
        return 0;
    }
    return DefWindowProcW(window, msg, wp, lp);
}

HostThread::HostThread() : state_(std::make_shared<State>()) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &State::MessageProc;
    wc.hInstance = Instance();
    wc.lpszClassName = MessageClass;
    RegisterClassExW(&wc);
    state_->messages.Reset(CreateWindowExW(0, MessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                           nullptr, Instance(), nullptr));
    if (!state_->messages)
        return;
    SetWindowLongPtrW(state_->messages.Get(), GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(state_.get()));
    try {
        state_->thread = std::thread([state = state_] { state->Main(); });
    } catch (const std::system_error&) {
        return;
    }
    WaitForSingleObject(state_->started.Get(), INFINITE);
    if (*this)
        g_running = this;
}

HostThread::~HostThread() {
    if (g_running == this)
        g_running = nullptr;
    if (state_->thread.joinable()) {
        {
            const std::lock_guard hold(state_->lock);
            state_->ending = true;
        }
        SetEvent(state_->wake.Get());
        state_->thread.join();
    }
}

HostThread::operator bool() const {
    return state_->thread.joinable() && SUCCEEDED(state_->ole);
}

HostThread* HostThread::Running() {
    return g_running;
}

void HostThread::Run(const std::function<void()>& work) {
    {
        const std::lock_guard hold(state_->lock);
        state_->work = &work;
        state_->workFailure = nullptr;
    }
    SetEvent(state_->wake.Get());
    WaitHandlingMessages(state_->workDone.Get(), INFINITE, true);
    std::exception_ptr failure;
    {
        const std::lock_guard hold(state_->lock);
        failure = std::exchange(state_->workFailure, nullptr);
    }
    if (failure)
        std::rethrow_exception(failure);
}

void OnWindowThread(const std::function<void()>& call) {
    HostThread* host = HostThread::Running();
    HostThread::State* state = host ? host->state_.get() : nullptr;
    if (!state || GetCurrentThreadId() == state->windowThread) {
        call();
        return;
    }
    {
        const std::lock_guard hold(state->lock);
        state->windowCall = &call;
        state->windowCallFailure = nullptr;
    }
    PostMessageW(state->messages.Get(), WindowCallMessage, 0, 0);
    WaitHandlingMessages(state->windowCallDone.Get(), INFINITE, false);
    std::exception_ptr failure;
    {
        const std::lock_guard hold(state->lock);
        failure = std::exchange(state->windowCallFailure, nullptr);
    }
    if (failure)
        std::rethrow_exception(failure);
}

WindowCallsHeld::WindowCallsHeld() {
    if (HostThread* host = HostThread::Running()) {
        const std::lock_guard hold(host->state_->lock);
        ++host->state_->held;
    }
}

WindowCallsHeld::~WindowCallsHeld() {
    if (HostThread* host = HostThread::Running()) {
        {
            const std::lock_guard hold(host->state_->lock);
            --host->state_->held;
        }
        // A request that came meanwhile runs now.
        PostMessageW(host->state_->messages.Get(), WindowCallMessage, 0, 0);
    }
}

} // namespace varno::win
