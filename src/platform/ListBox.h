#pragma once
// The drawing list stored in a LISTBOX (LBS_SORT | LBS_EXTENDEDSEL).
#include <windows.h>

#include "mainwindow/DrawingList.h"

namespace varno::win {

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

  private:
    void AddAll(std::span<const std::wstring> texts);
    // Sends straight to the list box's own window procedure, past the
    // subclass that its tooltip installs: bulk operations send tens of
    // thousands of messages, and under Wine each one through a subclass
    // costs a window property lookup in the server.
    LRESULT Direct(UINT msg, WPARAM wp, LPARAM lp) const;
    HWND lb_;
};

} // namespace varno::win
