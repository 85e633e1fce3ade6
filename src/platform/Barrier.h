#pragma once
// Where Windows and COM call into the program: window procedures, the
// callbacks of enumerations, the methods of the COM objects it implements. No
// C++ exception may unwind through the system's frames, so each of these
// entries runs its work under a barrier that ends a failure there.
#include <windows.h>

#include <new>
#include <utility>

namespace varno::win {

// The program's failure box for the failure a catch block is handling: OK,
// the critical icon, the title "错误", and the failure's description (an
// Error's own, else the runtime's text for its number: out of memory for a
// failed allocation, an internal error for anything else). While one such box
// is up on this thread, a failure behind it is not shown again. Never raises.
void ShowCaughtFailure() noexcept;

// For a window procedure or a callback: the body's result; a failure that
// escapes the body ends like a trapped one, with the failure box, and the
// result is `failed`.
template <class R, class Body> R Barrier(R failed, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        ShowCaughtFailure();
        return failed;
    }
}

// For a COM method: the body's HRESULT; a failure that escapes the body is
// E_OUTOFMEMORY for a failed allocation and E_UNEXPECTED for anything else.
// Nothing is shown: the caller has the result.
template <class Body> HRESULT ComBarrier(Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace varno::win
