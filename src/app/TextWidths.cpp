#include "app/TextWidths.h"

namespace varno {

int TextWidths::Width(std::wstring_view text, FontMeasure& font) {
    int width = 0;
    for (const wchar_t c : text) {
        if (!SetSideBySide(c))
            return font.TextWidth(text);
        std::vector<int>& block = blocks_[c / BlockSize];
        if (block.empty()) {
            block.resize(BlockSize);
            const auto first = static_cast<wchar_t>(c - c % BlockSize);
            font.CharWidths(first, static_cast<wchar_t>(first + (BlockSize - 1)), block.data());
        }
        width += block[c % BlockSize];
    }
    return width;
}

void EntryWidths::Remove(int width) {
    const auto at = count_.find(width);
    if (at != count_.end() && --at->second == 0)
        count_.erase(at);
}

} // namespace varno
