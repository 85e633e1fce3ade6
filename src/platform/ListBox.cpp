#include "platform/ListBox.h"

#include "app/Error.h"

namespace varno::win {

namespace {
constexpr long ErrOutOfMemory = 7;

// Repaints once at the end instead of once per change.
class RedrawSuspended {
  public:
    explicit RedrawSuspended(HWND h) : h_(h) { SendMessageW(h_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawSuspended() {
        SendMessageW(h_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(h_, nullptr, TRUE);
    }
    RedrawSuspended(const RedrawSuspended&) = delete;
    RedrawSuspended& operator=(const RedrawSuspended&) = delete;

  private:
    HWND h_;
};
} // namespace

int ListBoxList::ListCount() const {
    return static_cast<int>(SendMessageW(lb_, LB_GETCOUNT, 0, 0));
}

std::wstring ListBoxList::List(int index) const {
    const LRESULT len = SendMessageW(lb_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (len == LB_ERR)
        return {};
    std::wstring s(static_cast<size_t>(len) + 1, L'\0');
    const LRESULT got = SendMessageW(lb_, LB_GETTEXT, static_cast<WPARAM>(index),
                                     reinterpret_cast<LPARAM>(s.data()));
    s.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
    return s;
}

bool ListBoxList::Selected(int index) const {
    return SendMessageW(lb_, LB_GETSEL, static_cast<WPARAM>(index), 0) > 0;
}

void ListBoxList::AddItem(std::wstring_view text) {
    const std::wstring s(text);
    const LRESULT r = SendMessageW(lb_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
    if (r == LB_ERR || r == LB_ERRSPACE)
        throw Error(ErrOutOfMemory, L"Out of memory");
}

void ListBoxList::RemoveItem(int index) {
    if (SendMessageW(lb_, LB_DELETESTRING, static_cast<WPARAM>(index), 0) == LB_ERR)
        throw Error(5, L"Invalid procedure call or argument");
}

void ListBoxList::Clear() {
    SendMessageW(lb_, LB_RESETCONTENT, 0, 0);
}

void ListBoxList::AddAll(std::span<const std::wstring> texts) {
    size_t bytes = 0;
    for (const auto& t : texts)
        bytes += (t.size() + 1) * sizeof(wchar_t);
    SendMessageW(lb_, LB_INITSTORAGE, texts.size(), static_cast<LPARAM>(bytes));
    for (const auto& t : texts)
        AddItem(t);
}

void ListBoxList::AddItems(std::span<const std::wstring> texts) {
    if (texts.empty())
        return;
    RedrawSuspended quiet(lb_);
    AddAll(texts);
}

void ListBoxList::ReplaceAll(std::span<const std::wstring> texts) {
    RedrawSuspended quiet(lb_);
    Clear();
    AddAll(texts);
}

} // namespace varno::win
