#pragma once
// The drawing list stored in a LISTBOX (LBS_SORT | LBS_EXTENDEDSEL).
#include <windows.h>

#include "app/DrawingList.h"
#include "app/TextWidths.h"

namespace varno::win {

// Every change keeps the list box's horizontal extent at the width of its
// widest entry in its own font, so that the horizontal scroll bar shows
// exactly when an entry is wider than the list. Only the texts added or
// removed are measured.
class ListBoxList : public DrawingList {
  public:
    explicit ListBoxList(HWND listBox) : lb_(listBox) {}
    int ListCount() const override;
    std::wstring List(int index) const override;
    bool Selected(int index) const override;
    void AddItem(std::wstring_view text) override;
    void RemoveItem(int index) override;
    void Clear() override;
    // Bulk reads and adds without a repaint per entry.
    std::vector<std::wstring> Items() const override;
    void AddItems(std::span<const std::wstring> texts) override;
    void ReplaceAll(std::span<const std::wstring> texts) override;
    // An add prepared on another thread: the texts are merged with the
    // entries there, by the list box's own order, so that AddPrepared only
    // fills the list box again.
    std::unique_ptr<PreparedAdd> StartAdd() const override;
    void AddPrepared(const PreparedAdd& add) override;
    // Selects this entry alone and scrolls it into view.
    void SelectOnly(int index);

  private:
    class WidestShown;
    void AddAll(std::span<const std::wstring> texts);
    // The texts again, in their order, as far as there is room.
    void Reinsert(std::span<const std::wstring> texts);
    // Empties the list box.
    void Reset();
    // Counts a text the list box has taken.
    void Added(const std::wstring& text);
    int WidthOf(std::wstring_view text);
    // Sets the horizontal extent for the widest entry.
    void ShowWidest();
    // The entry's text; empty for an index out of range.
    std::wstring TextAt(int index) const;
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
        return SendMessageW(lb_, msg, wp, lp);
    }
    HWND lb_;
    TextWidths textWidths_;   // in the list box's font, which it keeps
    EntryWidths entryWidths_; // of the entries in the list box
    int extent_ = 0;          // the horizontal extent set last
};

} // namespace varno::win
