#include "app/TextWidths.h"

#include <gtest/gtest.h>

#include <string>

namespace varno {
namespace {

// Characters 1 to 7 pixels wide, CJK ones 12; a whole text 1000 + its length.
struct CountingFont : FontMeasure {
    static int Of(wchar_t c) { return c >= 0x3000 ? 12 : c % 7 + 1; }
    void CharWidths(wchar_t first, wchar_t last, int* widths) override {
        ++blocks;
        for (int i = 0; i <= last - first; ++i)
            widths[i] = Of(static_cast<wchar_t>(first + i));
    }
    int TextWidth(std::wstring_view text) override { return 1000 + static_cast<int>(text.size()); }
    int blocks = 0;
};

TEST(TextWidths, SumsCharactersSetSideBySideAndHasTheFontMeasureTheRestWhole) {
    CountingFont font;
    TextWidths widths;
    const std::wstring path = L"D:\\设计院\\1#楼（修改）.dwg"; // in 7 blocks
    int sum = 0;
    for (wchar_t c : path)
        sum += CountingFont::Of(c);
    EXPECT_EQ(widths.Width(path, font), sum);
    EXPECT_EQ(widths.Width(path, font), sum);
    EXPECT_EQ(font.blocks, 7) << "each block asked for once";
    // A combining accent, a surrogate pair, joining Arabic, a direction mark.
    for (std::wstring text : {L"a\u0301", L"\U00020000", L"\u0645\u0644", L"a\u202Eb"})
        EXPECT_EQ(widths.Width(text, font), 1000 + static_cast<int>(text.size()));
}

} // namespace
} // namespace varno
