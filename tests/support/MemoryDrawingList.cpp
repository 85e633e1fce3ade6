#include "support/MemoryDrawingList.h"

#include <algorithm>
#include <cwctype>
#include <stdexcept>

namespace varno {

namespace {
// Case-insensitive ordering, as the list box sorts.
bool LessNoCase(std::wstring_view a, std::wstring_view b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](wchar_t x, wchar_t y) { return std::towlower(x) < std::towlower(y); });
}
} // namespace

std::wstring MemoryDrawingList::List(int index) const {
    return items_.at(static_cast<size_t>(index)).text;
}

bool MemoryDrawingList::Selected(int index) const {
    return items_.at(static_cast<size_t>(index)).selected;
}

void MemoryDrawingList::SetSelected(int index, bool selected) {
    items_.at(static_cast<size_t>(index)).selected = selected;
}

void MemoryDrawingList::AddItem(std::wstring_view text) {
    // After any equal entries, like the list box.
    auto at =
        std::upper_bound(items_.begin(), items_.end(), text,
                         [](std::wstring_view t, const Entry& e) { return LessNoCase(t, e.text); });
    items_.insert(at, Entry{std::wstring(text), false});
}

void MemoryDrawingList::RemoveItem(int index) {
    if (index < 0 || index >= ListCount())
        throw std::out_of_range("RemoveItem");
    items_.erase(items_.begin() + index);
}

} // namespace varno
