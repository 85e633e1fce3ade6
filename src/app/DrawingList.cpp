#include "app/DrawingList.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

namespace varno {

std::vector<std::wstring> DrawingList::Items() const {
    std::vector<std::wstring> out;
    const int n = ListCount();
    out.reserve(static_cast<size_t>(std::max(n, 0)));
    for (int i = 0; i < n; ++i)
        out.push_back(List(i));
    return out;
}

void DrawingList::AddItems(std::span<const std::wstring> texts) {
    for (const auto& t : texts)
        AddItem(t);
}

void DrawingList::ReplaceAll(std::span<const std::wstring> texts) {
    const std::vector<std::wstring> old = Items();
    Clear();
    try {
        AddItems(texts);
    } catch (...) {
        Clear(); // all or nothing: the old entries again
        AddItems(old);
        throw;
    }
}

void PreparedAdd::Prepare(std::vector<std::wstring> texts) {
    // The set holds every entry, and every text taken from this batch; the
    // texts are moved only once all of them have been compared.
    std::unordered_set<std::wstring_view> seen(listed_.begin(), listed_.end());
    std::vector<bool> keep(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        keep[i] = seen.insert(texts[i]).second;
    fresh_.clear();
    for (size_t i = 0; i < texts.size(); ++i) {
        if (keep[i])
            fresh_.push_back(std::move(texts[i]));
    }
}

std::unique_ptr<PreparedAdd> DrawingList::StartAdd() const {
    return std::make_unique<PreparedAdd>(Items());
}

void DrawingList::AddPrepared(const PreparedAdd& add) {
    if (!add.Fresh().empty())
        AddItems(add.Fresh());
}

} // namespace varno
