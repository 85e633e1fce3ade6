#pragma once
// The drawing list: the ordered, always sorted (ascending, letter case
// ignored) list of drawing paths held by the main window's list box List2.
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varno {

// The path an entry names: the entry without its leading and trailing spaces
// (U+0020 only; inner ones stay).
inline std::wstring_view EntryPath(std::wstring_view entry) {
    const size_t first = entry.find_first_not_of(L' ');
    if (first == std::wstring_view::npos)
        return {};
    return entry.substr(first, entry.find_last_not_of(L' ') - first + 1);
}

// The name ends in ext, ASCII letters in any case (ext in lower case).
inline bool EndsWithNoCase(std::wstring_view name, std::wstring_view ext) {
    if (name.size() < ext.size())
        return false;
    for (size_t i = 0, at = name.size() - ext.size(); i < ext.size(); ++i) {
        const wchar_t c = name[at + i];
        if ((c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c) != ext[i])
            return false;
    }
    return true;
}

// The name ends in ".dwg", in any letter case.
inline bool IsDrawingName(std::wstring_view name) {
    return EndsWithNoCase(name, L".dwg");
}

// An add of many texts in three steps, so that its costly part need not run
// on the list's thread: StartAdd reads the entries (the list's thread);
// Prepare keeps the texts not yet listed, compared exactly (the paths kept
// before each one included), and readies their add (any thread, while the
// list stays as it is); AddPrepared adds them (the list's thread).
class PreparedAdd {
  public:
    explicit PreparedAdd(std::vector<std::wstring> listed) : listed_(std::move(listed)) {}
    virtual ~PreparedAdd() = default;
    virtual void Prepare(std::vector<std::wstring> texts);
    const std::vector<std::wstring>& Listed() const { return listed_; }
    const std::vector<std::wstring>& Fresh() const { return fresh_; }

  protected:
    std::vector<std::wstring> listed_; // the entries as StartAdd read them
    std::vector<std::wstring> fresh_;  // what Prepare kept, in the order given
};

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

    // The steps of a prepared add (PreparedAdd). AddPrepared adds the fresh
    // texts in one step; when an add fails, what was added before it stays
    // and the failure goes on to the caller.
    virtual std::unique_ptr<PreparedAdd> StartAdd() const;
    virtual void AddPrepared(const PreparedAdd& add);
};

} // namespace varno
