#include "app/TextWidths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varno {
namespace {

// A font whose characters are 1 to 7 pixels wide below U+3000 and 12 from
// there on, and which measures a whole text as 1000 + its length; it counts
// what it is asked.
struct CountingFont : FontMeasure {
    static int Of(wchar_t c) { return c >= 0x3000 ? 12 : c % 7 + 1; }
    void CharWidths(wchar_t first, wchar_t last, int* widths) override {
        blocks.push_back(first);
        EXPECT_EQ(last - first, 255);
        for (int i = 0; i <= last - first; ++i)
            widths[i] = Of(static_cast<wchar_t>(first + i));
    }
    int TextWidth(std::wstring_view text) override {
        ++texts;
        return 1000 + static_cast<int>(text.size());
    }
    std::vector<wchar_t> blocks;
    int texts = 0;
};

int Sum(std::wstring_view text) {
    int w = 0;
    for (wchar_t c : text)
        w += CountingFont::Of(c);
    return w;
}

TEST(TextWidths, SumsCharactersSetSideBySideAskingTheFontOncePerBlock) {
    CountingFont font;
    TextWidths widths;
    const std::wstring path = L"D:\\设计院\\2024项目\\1#楼基础平面布置图（修改）.dwg";
    EXPECT_EQ(widths.Width(path, font), Sum(path));
    const size_t asked = font.blocks.size();
    EXPECT_EQ(widths.Width(path + L"x", font), Sum(path + L"x"));
    EXPECT_EQ(widths.Width(L"", font), 0);
    EXPECT_EQ(font.blocks.size(), asked) << "every block once";
    EXPECT_EQ(font.texts, 0);
}

TEST(TextWidths, TheFontMeasuresWholeWhatItDoesNotSetSideBySide) {
    const std::wstring whole[] = {
        L"a\u0301.dwg",            // a combining accent
        L"\U00020000.dwg",         // a surrogate pair
        L"\u0645\u0644\u0641.dwg", // Arabic, whose letters join
        L"a\u202Eb.dwg",           // a control of the writing direction
        L"\u304B\u3099.dwg",       // kana with a combining voiced mark
    };
    for (const std::wstring& text : whole) {
        CountingFont font;
        TextWidths widths;
        EXPECT_EQ(widths.Width(text, font), 1000 + static_cast<int>(text.size()));
        EXPECT_EQ(font.texts, 1);
    }
}

TEST(EntryWidths, TheWidestIsKeptThroughAddsAndRemovesOfEqualWidths) {
    EntryWidths w;
    EXPECT_EQ(w.Widest(), 0);
    for (int width : {5, 9, 3, 9})
        w.Add(width);
    EXPECT_EQ(w.Widest(), 9);
    w.Remove(9);
    EXPECT_EQ(w.Widest(), 9) << "another entry is as wide";
    w.Remove(9);
    EXPECT_EQ(w.Widest(), 5);
    w.Remove(42); // never added
    w.Remove(5);
    EXPECT_EQ(w.Widest(), 3);
    w.Remove(5); // no longer there
    EXPECT_EQ(w.Widest(), 3);
    w.Clear();
    EXPECT_EQ(w.Widest(), 0);
}

} // namespace
} // namespace varno
