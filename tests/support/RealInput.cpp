#include "support/RealInput.h"

#include "platform/App.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace varno::test {

namespace {
// The watchers alive, all served by one hook.
std::vector<AfterSentMessage*>& Watchers() {
    static std::vector<AfterSentMessage*> watchers;
    return watchers;
}
HHOOK& SharedHook() {
    static HHOOK hook = nullptr;
    return hook;
}
} // namespace

AfterSentMessage::AfterSentMessage(Match match, std::function<void()> act)
    : match_(std::move(match)), act_(std::move(act)) {
    if (Watchers().empty())
        SharedHook() = SetWindowsHookExW(WH_CALLWNDPROCRET, &AfterSentMessage::Hook, nullptr,
                                         GetCurrentThreadId());
    Watchers().push_back(this);
}

AfterSentMessage::~AfterSentMessage() {
    auto& w = Watchers();
    w.erase(std::remove(w.begin(), w.end(), this), w.end());
    if (w.empty())
        UnhookWindowsHookEx(std::exchange(SharedHook(), nullptr));
}

LRESULT CALLBACK AfterSentMessage::Hook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) {
        const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lp);
        for (AfterSentMessage* w : std::vector<AfterSentMessage*>(Watchers())) {
            if (std::find(Watchers().begin(), Watchers().end(), w) != Watchers().end() &&
                w->match_(m->hwnd, m->message, m->wParam, m->lParam)) {
                ++w->count_;
                if (w->act_)
                    w->act_();
            }
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

namespace {
INPUT KeyInput(WORD key, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}
} // namespace

void PressKey(WORD key, bool alt) {
    std::vector<INPUT> keys;
    if (alt)
        keys.push_back(KeyInput(VK_MENU, false));
    keys.push_back(KeyInput(key, false));
    keys.push_back(KeyInput(key, true));
    if (alt)
        keys.push_back(KeyInput(VK_MENU, true));
    SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
}

void PumpMessagesFor(DWORD ms, const std::function<bool()>& done) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end && !(done && done())) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            win::PumpMessage(msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    size_t chars = 1;
    for (const auto& p : paths)
        chars += p.size() + 1;
    HGLOBAL h = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* block = static_cast<DROPFILES*>(GlobalLock(h));
    block->pFiles = sizeof(DROPFILES);
    block->fWide = TRUE;
    auto* at = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(block) + sizeof(DROPFILES));
    for (const auto& p : paths) {
        std::memcpy(at, p.c_str(), p.size() * sizeof(wchar_t));
        at += p.size() + 1; // GHND zeroed the terminators
    }
    GlobalUnlock(h);
    return static_cast<HDROP>(h);
}

} // namespace varno::test
