#pragma once
// The drawing list in memory, for the portable tests: sorted like the list
// box, with its selection.
#include "app/DrawingList.h"

#include <string>
#include <string_view>
#include <vector>

namespace varno {

class MemoryDrawingList : public DrawingList {
  public:
    int ListCount() const override { return static_cast<int>(items_.size()); }
    std::wstring List(int index) const override;
    bool Selected(int index) const override;
    void AddItem(std::wstring_view text) override;
    void RemoveItem(int index) override;
    void Clear() override { items_.clear(); }
    void SetSelected(int index, bool selected);

  private:
    struct Entry {
        std::wstring text;
        bool selected = false;
    };
    std::vector<Entry> items_;
};

} // namespace varno
