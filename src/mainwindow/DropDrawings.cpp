#include "mainwindow/DropDrawings.h"

#include "app/Error.h"
#include "mainwindow/ListCommands.h"

#include <algorithm>
#include <iterator>

namespace varno {

namespace {

wchar_t AsciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The shortest drawing name, ".dwg", and its backslash must still fit.
bool MayHoldDrawings(const std::wstring& folder) {
    return folder.size() + 1 + 4 <= kMaxDrawingPath;
}

void AddIfDrawing(std::wstring path, std::vector<std::wstring>& out) {
    if (path.size() <= kMaxDrawingPath && IsDrawingName(path))
        out.push_back(std::move(path));
}

// Depth first, each folder's entries in the order the reader gives them.
void Walk(FolderReader& folders, const std::wstring& top, std::vector<std::wstring>& out) {
    std::vector<std::wstring> pending{top};
    std::vector<FolderEntry> entries;
    std::vector<std::wstring> subfolders;
    while (!pending.empty()) {
        const std::wstring folder = std::move(pending.back());
        pending.pop_back();
        if (!MayHoldDrawings(folder))
            continue;
        entries.clear();
        if (!folders.Read(folder, entries))
            continue; // unreadable: skipped, with whatever part was read
        subfolders.clear();
        for (const auto& e : entries) {
            if (e.kind == EntryKind::File)
                AddIfDrawing(JoinPath(folder, e.name), out);
            else if (e.kind == EntryKind::Folder)
                subfolders.push_back(JoinPath(folder, e.name));
        }
        // Reversed onto the stack, so the first subfolder is walked next.
        std::move(subfolders.rbegin(), subfolders.rend(), std::back_inserter(pending));
    }
}

} // namespace

bool IsDrawingName(std::wstring_view name) {
    constexpr std::wstring_view ext = L".dwg";
    if (name.size() < ext.size())
        return false;
    const std::wstring_view tail = name.substr(name.size() - ext.size());
    return std::equal(tail.begin(), tail.end(), ext.begin(),
                      [](wchar_t a, wchar_t b) { return AsciiLower(a) == b; });
}

std::vector<std::wstring> CollectDrawings(FolderReader& folders,
                                          std::span<const std::wstring> dropped) {
    std::vector<std::wstring> out;
    for (const auto& path : dropped) {
        switch (folders.KindOf(path)) {
        case EntryKind::File:
            AddIfDrawing(path, out);
            break;
        case EntryKind::Folder:
        case EntryKind::LinkedFolder:
            Walk(folders, path, out);
            break;
        case EntryKind::Missing:
            break;
        }
    }
    return out;
}

void DropDrawings(DrawingList& list, FolderReader& folders, std::span<const std::wstring> dropped) {
    // No message from a drop: the error number is not wanted.
    Trap([&] { AddNewPaths(list, CollectDrawings(folders, dropped)); });
}

} // namespace varno
