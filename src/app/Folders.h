#pragma once
// Reading folders: what a folder holds, and what kind of thing a path names.
// The drop of files and folders onto the main window walks folders through it.
#include <string>
#include <string_view>
#include <vector>

namespace varno {

// folder + "\" + name; no second backslash after a folder that ends in one
// (a drive root).
inline std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
    std::wstring path;
    path.reserve(folder.size() + 1 + name.size());
    path = folder;
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    path += name;
    return path;
}

enum class EntryKind {
    Missing, // nothing there, or nothing that can be asked
    File,
    Folder,
    LinkedFolder, // a folder that is a link elsewhere (symbolic link, junction)
};

struct FolderEntry {
    std::wstring name; // the name alone, never "." or ".."
    EntryKind kind = EntryKind::File;
};

class FolderReader {
  public:
    virtual ~FolderReader() = default;
    // What the path names.
    virtual EntryKind KindOf(const std::wstring& path) = 0;
    // Appends the entries of the folder to out; false when the folder cannot
    // be read (out may then hold part of it).
    virtual bool Read(const std::wstring& folder, std::vector<FolderEntry>& out) = 0;
};

} // namespace varno
