#pragma once
// The drawing list as it was when a run started, for the run to work through
// on the host thread while the list box stays with the window's thread.
#include "app/DrawingList.h"

#include <string>
#include <vector>

namespace varno {

class ListSnapshot : public DrawingList {
  public:
    explicit ListSnapshot(std::vector<std::wstring> entries) : entries_(std::move(entries)) {}
    int ListCount() const override { return static_cast<int>(entries_.size()); }
    std::wstring List(int index) const override {
        return entries_.at(static_cast<std::size_t>(index));
    }
    bool Selected(int) const override { return false; }
    // Its entries are in the list's order already: an add goes at the end.
    void AddItem(std::wstring_view text) override { entries_.emplace_back(text); }
    void RemoveItem(int index) override { entries_.erase(entries_.begin() + index); }
    void Clear() override { entries_.clear(); }

  private:
    std::vector<std::wstring> entries_;
};

} // namespace varno
