#pragma once
// A system that cannot make one form's window (out of window handles, say):
// while this object lives, the creation of that form's window fails on the
// thread that made the object.
#include <windows.h>

#include "platform/Form.h"

namespace varno::test {

class RefusedWindow {
  public:
    explicit RefusedWindow(const win::Form& form)
        : hook_((Target() = &form,
                 SetWindowsHookExW(WH_CBT, &Hook, nullptr, GetCurrentThreadId()))) {}
    ~RefusedWindow() {
        UnhookWindowsHookEx(hook_);
        Target() = nullptr;
    }
    RefusedWindow(const RefusedWindow&) = delete;
    RefusedWindow& operator=(const RefusedWindow&) = delete;
    bool Armed() const { return hook_ != nullptr; }

  private:
    static const win::Form*& Target() {
        static const win::Form* target = nullptr;
        return target;
    }
    // A form's window is created with the form as its creation parameter.
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        if (code == HCBT_CREATEWND &&
            reinterpret_cast<CBT_CREATEWNDW*>(lp)->lpcs->lpCreateParams == Target())
            return 1;
        return CallNextHookEx(nullptr, code, wp, lp);
    }
    HHOOK hook_;
};

} // namespace varno::test
