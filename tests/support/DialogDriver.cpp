#include "support/DialogDriver.h"

#include <commctrl.h>

#include <memory>

namespace varno::test {

std::wstring WindowText(HWND h) {
    wchar_t buf[4096] = {};
    // WM_GETTEXT works across threads and processes.
    SendMessageTimeoutW(h, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf), SMTO_BLOCK, 2000,
                        nullptr);
    return buf;
}

std::map<int, std::wstring> TooltipTexts(HWND form) {
    struct Ctx {
        HWND form;
        HWND tips;
    } ctx{form, nullptr};
    EnumThreadWindows(
        GetWindowThreadProcessId(form, nullptr),
        [](HWND h, LPARAM p) -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(p);
            wchar_t cls[32] = {};
            GetClassNameW(h, cls, 32);
            if (std::wstring(cls) == TOOLTIPS_CLASSW && GetWindow(h, GW_OWNER) == c->form)
                c->tips = h;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    std::map<int, std::wstring> texts;
    const int n = ctx.tips ? static_cast<int>(SendMessageW(ctx.tips, TTM_GETTOOLCOUNT, 0, 0)) : 0;
    for (int i = 0; i < n; ++i) {
        wchar_t buf[256] = {};
        TTTOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.lpszText = buf;
        SendMessageW(ctx.tips, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&ti));
        // A tool over a rectangle of the form carries its control's id.
        const int id = (ti.uFlags & TTF_IDISHWND) ? GetDlgCtrlID(reinterpret_cast<HWND>(ti.uId))
                                                  : static_cast<int>(ti.uId);
        texts[id] = buf;
    }
    return texts;
}

HWND FindDialog(const std::wstring& title, DWORD processId) {
    struct Ctx {
        const std::wstring* title;
        DWORD pid;
        HWND found;
    } ctx{&title, processId, nullptr};
    EnumWindows(
        [](HWND h, LPARAM p) -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(p);
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            wchar_t cls[16] = {};
            GetClassNameW(h, cls, 16);
            if (pid != c->pid || !IsWindowVisible(h) || std::wstring(cls) != L"#32770")
                return TRUE;
            if (!c->title->empty() && WindowText(h) != *c->title)
                return TRUE;
            c->found = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

DialogWatcher::DialogWatcher(std::wstring title, std::function<void(HWND)> act, DWORD timeoutMs)
    : thread_([this, title = std::move(title), act = std::move(act), timeoutMs] {
          const ULONGLONG end = GetTickCount64() + timeoutMs;
          while (GetTickCount64() < end) {
              if (HWND h = FindDialog(title)) {
                  Sleep(50); // let the dialog finish initialising
                  act(h);
                  found_ = true;
                  return;
              }
              Sleep(20);
          }
      }) {}

DialogWatcher::~DialogWatcher() {
    if (thread_.joinable())
        thread_.join();
}

bool DialogWatcher::Join() {
    if (thread_.joinable())
        thread_.join();
    return found_;
}

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info;
    info.title = WindowText(box);
    info.text = WindowText(GetDlgItem(box, 0xFFFF));
    info.owner = GetWindow(box, GW_OWNER);
    info.topmost = (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    // A task dialog has no control 0xFFFF: its texts are those of its other
    // static controls (the main instruction, then the content), joined as a
    // message box's first line and the lines after the blank one.
    struct Read {
        MessageBoxInfo& info;
        std::vector<std::wstring> texts;
    } read{info, {}};
    EnumChildWindows(
        box,
        [](HWND h, LPARAM p) -> BOOL {
            auto& r = *reinterpret_cast<Read*>(p);
            wchar_t cls[16] = {};
            GetClassNameW(h, cls, 16);
            if (lstrcmpiW(cls, L"Static") == 0 && SendMessageW(h, STM_GETICON, 0, 0))
                r.info.hasIcon = true;
            else if (lstrcmpiW(cls, L"Static") == 0 && IsWindowVisible(h) &&
                     GetDlgCtrlID(h) != 0xFFFF && !WindowText(h).empty())
                r.texts.push_back(WindowText(h));
            else if (lstrcmpiW(cls, L"Button") == 0)
                r.info.buttons.push_back({GetDlgCtrlID(h), WindowText(h)});
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&read));
    if (!GetDlgItem(box, 0xFFFF)) {
        for (std::size_t i = 0; i < read.texts.size(); ++i)
            info.text += (i ? L"\n\n" : L"") + read.texts[i];
    }
    return info;
}

void AnswerFileDialog(HWND dialog, const std::wstring& name) {
    HWND box = GetDlgItem(dialog, 0x47c); // the file name combo box (edt1 in old dialogs)
    if (!box)
        box = GetDlgItem(dialog, 0x480);
    HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
    SendMessageW(edit ? edit : box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

void CancelDialog(HWND dialog) {
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

std::unique_ptr<DialogWatcher> CloseMessageBox(const std::wstring& title, SeenBox& seen) {
    return std::make_unique<DialogWatcher>(title, [&seen](HWND h) {
        seen.info = ReadMessageBox(h);
        seen.seen = true;
        PostMessageW(h, WM_COMMAND, IDOK, 0);
    });
}

} // namespace varno::test
