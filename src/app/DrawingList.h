#pragma once
// The drawing list: the ordered, always sorted (ascending, letter case
// ignored) list of drawing paths held by the main window's list box List2.
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varno {

class DrawingList {
  public:
    virtual ~DrawingList() = default;
    virtual int ListCount() const = 0;
    virtual std::wstring List(int index) const = 0;
    virtual bool Selected(int index) const = 0;
    virtual void AddItem(std::wstring_view text) = 0; // at its sorted place
    virtual void RemoveItem(int index) = 0;
    virtual void Clear() = 0;

    // Bulk forms of the operations above, for large lists: one read of every
    // entry, and many adds with a single repaint at the end.
    virtual std::vector<std::wstring> Items() const;
    virtual void AddItems(std::span<const std::wstring> texts);
    // Clear, then add every text; done in one step as far as the user sees.
    // All or nothing: when an add fails, the list holds its old entries again
    // and the failure goes on to the caller.
    virtual void ReplaceAll(std::span<const std::wstring> texts);
};

// The portable drawing list (tests, benchmarks): sorted like the list box.
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
