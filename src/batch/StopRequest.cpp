#include "batch/StopRequest.h"

namespace varno {

void StopRequest::Asking() {
    const std::lock_guard hold(lock_);
    asking_ = true;
}

void StopRequest::Answered(bool stop) {
    {
        const std::lock_guard hold(lock_);
        asking_ = false;
        stop_ = stop_ || stop;
    }
    answered_.notify_all();
}

bool StopRequest::IsAsking() const {
    const std::lock_guard hold(lock_);
    return asking_;
}

bool StopRequest::Requested() {
    std::unique_lock hold(lock_);
    answered_.wait(hold, [&] { return !asking_; });
    seen_ = seen_ || stop_;
    return stop_;
}

bool StopRequest::Stopping() const {
    const std::lock_guard hold(lock_);
    return stop_;
}

bool StopRequest::Seen() const {
    const std::lock_guard hold(lock_);
    return seen_;
}

} // namespace varno
