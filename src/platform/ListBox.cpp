#include "platform/ListBox.h"

#include "app/Error.h"
#include "platform/Handle.h"

#include <algorithm>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace varno::win {

namespace {

// Repaints once at the end instead of once per change.
class RedrawSuspended {
  public:
    explicit RedrawSuspended(HWND h) : h_(h) { SendMessageW(h_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawSuspended() {
        SendMessageW(h_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(h_, nullptr, TRUE);
    }
    RedrawSuspended(const RedrawSuspended&) = delete;
    RedrawSuspended& operator=(const RedrawSuspended&) = delete;

  private:
    HWND h_;
};
// Where the user is in the list: the selected entries, the caret, the anchor
// and the first entry in view, by index.
struct ListPlace {
    std::vector<int> selected;
    LRESULT top = LB_ERR, caret = LB_ERR, anchor = LB_ERR;
};

ListPlace PlaceIn(HWND lb) {
    ListPlace place;
    place.selected.resize(
        static_cast<size_t>(std::max<LRESULT>(SendMessageW(lb, LB_GETSELCOUNT, 0, 0), 0)));
    if (!place.selected.empty())
        SendMessageW(lb, LB_GETSELITEMS, place.selected.size(),
                     reinterpret_cast<LPARAM>(place.selected.data()));
    place.top = SendMessageW(lb, LB_GETTOPINDEX, 0, 0);
    place.caret = SendMessageW(lb, LB_GETCARETINDEX, 0, 0);
    place.anchor = SendMessageW(lb, LB_GETANCHORINDEX, 0, 0);
    return place;
}

// Puts the place back on the same entries, each old index taken to its new
// one by newIndex (-1: the entry is not there).
void RestorePlace(HWND lb, const ListPlace& place, const std::function<int(LRESULT)>& newIndex) {
    for (int i : place.selected)
        if (const int at = newIndex(i); at >= 0)
            SendMessageW(lb, LB_SETSEL, TRUE, at);
    if (const int at = newIndex(place.caret); at >= 0)
        SendMessageW(lb, LB_SETCARETINDEX, static_cast<WPARAM>(at), FALSE);
    if (const int at = newIndex(place.anchor); at >= 0)
        SendMessageW(lb, LB_SETANCHORINDEX, static_cast<WPARAM>(at), 0);
    if (const int at = newIndex(place.top); at >= 0)
        SendMessageW(lb, LB_SETTOPINDEX, static_cast<WPARAM>(at), 0);
}

// The index map of a list that holds its entries again where they were.
std::function<int(LRESULT)> SameIndex(size_t count) {
    return [count](LRESULT i) {
        return i >= 0 && static_cast<size_t>(i) < count ? static_cast<int>(i) : -1;
    };
}

// An add the list box refused: it has no room left.
void CheckAdded(LRESULT result) {
    if (result == LB_ERR || result == LB_ERRSPACE)
        throw RuntimeError(errnum::OutOfMemory);
}

// The text's place in the list box's collation (its locale, letter case
// ignored): keys compare as the list box compares its texts. Any thread.
std::string SortKey(LCID locale, const std::wstring& text) {
    std::string key;
    const int size =
        LCMapStringW(locale, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), -1, nullptr, 0);
    key.resize(static_cast<size_t>(std::max(size, 0)));
    if (size > 0)
        LCMapStringW(locale, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), -1,
                     reinterpret_cast<LPWSTR>(key.data()), size);
    return key;
}

// A prepared add to a sorted list box: the whole new list in order, merged
// by sort keys away from the list box's thread.
class ListBoxAdd final : public PreparedAdd {
  public:
    ListBoxAdd(std::vector<std::wstring> listed, LCID locale)
        : PreparedAdd(std::move(listed)), locale_(locale) {}

    void Prepare(std::vector<std::wstring> texts) override {
        PreparedAdd::Prepare(std::move(texts));
        merged_.clear();
        std::vector<std::string> listedKeys(listed_.size()), freshKeys(fresh_.size());
        for (size_t i = 0; i < listed_.size(); ++i)
            listedKeys[i] = SortKey(locale_, listed_[i]);
        for (size_t i = 0; i < fresh_.size(); ++i)
            freshKeys[i] = SortKey(locale_, fresh_[i]);
        std::vector<size_t> order(fresh_.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return freshKeys[a] < freshKeys[b]; });
        // Entries already listed come before new texts that compare equal.
        merged_.reserve(listed_.size() + fresh_.size());
        newIndex_.resize(listed_.size());
        size_t i = 0, j = 0;
        while (i < listed_.size() || j < order.size()) {
            if (j == order.size() ||
                (i < listed_.size() && !(freshKeys[order[j]] < listedKeys[i]))) {
                newIndex_[i] = static_cast<int>(merged_.size());
                merged_.push_back(&listed_[i++]);
            } else {
                merged_.push_back(&fresh_[order[j++]]);
            }
        }
    }
    // Every text of the new list, in order; empty before Prepare.
    const std::vector<const std::wstring*>& Merged() const { return merged_; }
    // Where each listed entry goes in it.
    int NewIndex(LRESULT listedIndex) const {
        return listedIndex >= 0 && static_cast<size_t>(listedIndex) < newIndex_.size()
                   ? newIndex_[static_cast<size_t>(listedIndex)]
                   : -1;
    }

  private:
    LCID locale_;
    std::vector<const std::wstring*> merged_;
    std::vector<int> newIndex_;
};

// The list box's font, as it measures texts.
class ListBoxFont final : public FontMeasure {
  public:
    explicit ListBoxFont(HWND listBox) : lb_(listBox) {}
    void CharWidths(wchar_t first, wchar_t last, int* widths) override {
        const WindowDC dc(lb_);
        const SelectedObject font(dc.Get(), Font());
        if (!GetCharWidth32W(dc.Get(), first, last, widths))
            std::fill(widths, widths + (last - first + 1), 0);
    }
    int TextWidth(std::wstring_view text) override {
        const WindowDC dc(lb_);
        const SelectedObject font(dc.Get(), Font());
        SIZE size{};
        GetTextExtentPoint32W(dc.Get(), text.data(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

  private:
    HGDIOBJ Font() const { return reinterpret_cast<HGDIOBJ>(SendMessageW(lb_, WM_GETFONT, 0, 0)); }
    HWND lb_;
};

// The list box draws its texts a pixel or so in from its left edge: two
// pixels beyond the widest text let its last character scroll fully into view.
constexpr int TextMargin = 2;

} // namespace

// Sets the horizontal extent for the widest entry when it goes, however the
// change it guards ends.
class ListBoxList::WidestShown {
  public:
    explicit WidestShown(ListBoxList& list) : list_(list) {}
    ~WidestShown() { list_.ShowWidest(); }
    WidestShown(const WidestShown&) = delete;
    WidestShown& operator=(const WidestShown&) = delete;

  private:
    ListBoxList& list_;
};

int ListBoxList::WidthOf(std::wstring_view text) {
    ListBoxFont font(lb_);
    return textWidths_.Width(text, font);
}

void ListBoxList::Added(const std::wstring& text) {
    entryWidths_.Add(WidthOf(text));
}

void ListBoxList::ShowWidest() {
    const int widest = entryWidths_.Widest();
    const int extent = widest > 0 ? widest + TextMargin : 0;
    if (extent != extent_) {
        Send(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent));
        extent_ = extent;
    }
}

void ListBoxList::Reset() {
    Send(LB_RESETCONTENT);
    entryWidths_.Clear();
}

// After a failed add the storage the old entries had has just been given
// back, so they all fit.
void ListBoxList::Reinsert(std::span<const std::wstring> texts) {
    for (const auto& t : texts) {
        if (Send(LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(t.c_str())) < 0)
            break;
        Added(t);
    }
}

std::wstring ListBoxList::TextAt(int index) const {
    const WPARAM at = static_cast<WPARAM>(index);
    const LRESULT len = Send(LB_GETTEXTLEN, at);
    if (len == LB_ERR)
        return {};
    std::wstring s(static_cast<size_t>(len) + 1, L'\0');
    const LRESULT got = Send(LB_GETTEXT, at, reinterpret_cast<LPARAM>(s.data()));
    s.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
    return s;
}

int ListBoxList::ListCount() const {
    return static_cast<int>(Send(LB_GETCOUNT));
}

std::wstring ListBoxList::List(int index) const {
    return TextAt(index);
}

bool ListBoxList::Selected(int index) const {
    return Send(LB_GETSEL, static_cast<WPARAM>(index)) > 0;
}

void ListBoxList::AddItem(std::wstring_view text) {
    const WidestShown shown(*this);
    const std::wstring s(text);
    CheckAdded(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str())));
    Added(s);
}

void ListBoxList::RemoveItem(int index) {
    const WidestShown shown(*this);
    const std::wstring text = TextAt(index);
    if (Send(LB_DELETESTRING, static_cast<WPARAM>(index)) == LB_ERR)
        throw RuntimeError(errnum::InvalidProcedureCall);
    entryWidths_.Remove(WidthOf(text));
}

void ListBoxList::SelectOnly(int index) {
    Send(LB_SETSEL, FALSE, -1);
    Send(LB_SETSEL, TRUE, index);
    Send(LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE); // scrolls it into view
}

void ListBoxList::Clear() {
    const WidestShown shown(*this);
    Reset();
}

std::vector<std::wstring> ListBoxList::Items() const {
    const int n = ListCount();
    std::vector<std::wstring> out;
    out.reserve(static_cast<size_t>(std::max(n, 0)));
    for (int i = 0; i < n; ++i)
        out.push_back(TextAt(i));
    return out;
}

void ListBoxList::AddAll(std::span<const std::wstring> texts) {
    size_t bytes = 0;
    for (const auto& t : texts)
        bytes += (t.size() + 1) * sizeof(wchar_t);
    Send(LB_INITSTORAGE, texts.size(), static_cast<LPARAM>(bytes));
    const bool sorted = (GetWindowLongW(lb_, GWL_STYLE) & LBS_SORT) != 0;
    if (sorted && Send(LB_GETCOUNT) > 0) {
        // Each at its place among the entries already there.
        for (const auto& t : texts) {
            CheckAdded(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str())));
            Added(t);
        }
        return;
    }
    // Into an empty list: sorted here by the list box's own collation (its
    // locale, case ignored) through sort keys, then appended in that order;
    // the list box would spend a string comparison per halving step of every
    // add. Entries that compare equal keep the order they came in.
    std::vector<size_t> order(texts.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (sorted) {
        const LCID locale = static_cast<LCID>(Send(LB_GETLOCALE));
        std::vector<std::string> keys(texts.size());
        for (size_t i = 0; i < texts.size(); ++i)
            keys[i] = SortKey(locale, texts[i]);
        std::stable_sort(order.begin(), order.end(),
                         [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });
    }
    for (size_t i : order) {
        CheckAdded(Send(LB_INSERTSTRING, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(texts[i].c_str())));
        Added(texts[i]);
    }
}

void ListBoxList::AddItems(std::span<const std::wstring> texts) {
    if (texts.empty())
        return;
    RedrawSuspended quiet(lb_);
    const WidestShown shown(*this);
    AddAll(texts);
}

void ListBoxList::ReplaceAll(std::span<const std::wstring> texts) {
    RedrawSuspended quiet(lb_);
    const WidestShown shown(*this);
    // All or nothing: when an add fails, the list shows again what it held.
    const std::vector<std::wstring> old = Items();
    const ListPlace place = PlaceIn(lb_);
    Reset();
    try {
        AddAll(texts);
    } catch (...) {
        Reset();
        Reinsert(old);
        RestorePlace(lb_, place, SameIndex(old.size()));
        throw;
    }
}

std::unique_ptr<PreparedAdd> ListBoxList::StartAdd() const {
    if (!(GetWindowLongW(lb_, GWL_STYLE) & LBS_SORT))
        return DrawingList::StartAdd(); // appended in order: nothing to prepare
    return std::make_unique<ListBoxAdd>(Items(), static_cast<LCID>(Send(LB_GETLOCALE)));
}

void ListBoxList::AddPrepared(const PreparedAdd& add) {
    const auto* prepared = dynamic_cast<const ListBoxAdd*>(&add);
    if (add.Fresh().empty())
        return;
    // Filled again in the merged order, when the list box still holds what
    // was merged; each entry keeps its selection, and the caret, the anchor
    // and the first entry in view stay on their entries.
    if (!prepared || prepared->Merged().empty() || Items() != add.Listed()) {
        DrawingList::AddPrepared(add); // each text at its place
        return;
    }
    const ListPlace place = PlaceIn(lb_);

    RedrawSuspended quiet(lb_);
    const WidestShown shown(*this);
    // The entries listed keep their widths; only the new ones are measured.
    const EntryWidths listed = entryWidths_;
    Reset();
    size_t bytes = 0;
    for (const std::wstring* t : prepared->Merged())
        bytes += (t->size() + 1) * sizeof(wchar_t);
    Send(LB_INITSTORAGE, prepared->Merged().size(), static_cast<LPARAM>(bytes));
    try {
        for (const std::wstring* t : prepared->Merged())
            CheckAdded(Send(LB_INSERTSTRING, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(t->c_str())));
    } catch (const Error&) {
        // No room for all: the entries as they were, then the new ones one
        // at a time, as far as they go.
        Reset();
        Reinsert(add.Listed());
        RestorePlace(lb_, place, SameIndex(add.Listed().size()));
        AddAll(add.Fresh());
        return;
    }
    entryWidths_ = listed;
    for (const std::wstring& t : add.Fresh())
        Added(t);
    RestorePlace(lb_, place, [prepared](LRESULT i) { return prepared->NewIndex(i); });
}

} // namespace varno::win
