#pragma once
// The widths of a list's texts in pixels, so that the list knows its widest
// entry: each text's width summed from its characters' widths, which the font
// is asked for once per block of characters; and the entries' widths counted
// by width, so that the widest is known after every add and remove without
// measuring the other entries again.
#include <map>
#include <string_view>
#include <vector>

namespace varno {

// What the font measures itself.
class FontMeasure {
  public:
    virtual ~FontMeasure() = default;
    // The advance widths of the characters first to last (at most 256 of
    // them), into widths.
    virtual void CharWidths(wchar_t first, wchar_t last, int* widths) = 0;
    // The width of the whole text as the font draws it.
    virtual int TextWidth(std::wstring_view text) = 0;
};

// Characters that a font sets one beside the other, each as wide as it is
// alone: Latin with its punctuation, CJK ideographs, kana, Hangul syllables,
// CJK and full-width punctuation. Not: surrogate halves, combining marks,
// controls of the writing direction, and scripts whose letters join or
// reorder.
constexpr bool SetSideBySide(wchar_t c) {
    return c < 0x0300 || (c >= 0x2010 && c <= 0x2027) || (c >= 0x2030 && c <= 0x205E) ||
           (c >= 0x2E80 && c <= 0x3029) || (c >= 0x3030 && c <= 0x3098) ||
           (c >= 0x309B && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF01 && c <= 0xFFEF);
}

// Widths of texts in one font. A text of characters set side by side is the
// sum of their widths; any other text the font measures whole.
class TextWidths {
  public:
    int Width(std::wstring_view text, FontMeasure& font);

  private:
    static constexpr unsigned BlockSize = 256;
    // The widths of characters by block (c / BlockSize); empty: not asked yet.
    std::vector<std::vector<int>> blocks_ = std::vector<std::vector<int>>(0x10000 / BlockSize);
};

// The widths of a list's entries, counted by width.
class EntryWidths {
  public:
    void Add(int width) { ++count_[width]; }
    // An entry of this width went; a width that was never added is ignored.
    void Remove(int width);
    void Clear() { count_.clear(); }
    // The widest entry's width; 0 for no entries.
    int Widest() const { return count_.empty() ? 0 : count_.rbegin()->first; }

  private:
    std::map<int, int> count_; // width -> entries of that width
};

} // namespace varno
