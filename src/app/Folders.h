#pragma once
// Reading folders: what a folder holds, and what kind of thing a path names.
// The drop of files and folders onto the main window walks folders through it.
#include <compare>
#include <cstdint>
#include <optional>
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

// The form of a full path that Windows opens at any length: "\\?\" before
// it ("\\?\UNC\server\share\..." for a UNC path) where the plain form may be
// too long (from 248 characters on, the most a folder's own path may have);
// shorter paths, and paths in that form already, as they are. The path must
// be full and normalised (no "." or "..", no "/", no trailing dots or spaces).
inline std::wstring LongPathForm(std::wstring_view path) {
    constexpr size_t plainLimit = 248;
    constexpr std::wstring_view prefix = L"\\\\?\\";
    if (path.size() < plainLimit || path.starts_with(prefix))
        return std::wstring(path);
    if (path.starts_with(L"\\\\")) // \\server\share\...
        return std::wstring(prefix) + L"UNC" + std::wstring(path.substr(1));
    return std::wstring(prefix) + std::wstring(path);
}

// The path of a new file named name in the folder of the file at path (a
// full path), in LongPathForm: a name that opens wherever the file itself
// opens, however much longer it is.
inline std::wstring NameBeside(std::wstring_view path, std::wstring_view name) {
    const size_t slash = path.find_last_of(L'\\');
    return LongPathForm(std::wstring(path.substr(0, slash + 1)) + std::wstring(name));
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
    // Hidden and system at once: the system's own (the recycle bin, System
    // Volume Information, a profile's compatibility junctions).
    bool system = false;
};

// Which folder a path reaches, whatever the path: the volume's serial number
// and the folder's file ID on it. Two paths reach the same folder exactly
// when their identities are equal.
struct FolderId {
    std::uint64_t volume = 0;
    std::uint64_t high = 0, low = 0; // the file ID (128 bits on ReFS)
    auto operator<=>(const FolderId&) const = default;
};

// A walk reads on a thread of its own, not the user-interface thread; a
// reader that serves several walks at once must allow that.
class FolderReader {
  public:
    virtual ~FolderReader() = default;
    // What the path names.
    virtual EntryKind KindOf(const std::wstring& path) = 0;
    // The folder the path reaches, through links too; nothing when it cannot
    // be told (the folder is missing or cannot be opened).
    virtual std::optional<FolderId> IdOf(const std::wstring& folder) = 0;
    // Appends the entries of the folder to out; false when the folder cannot
    // be read, or not to its end (out then holds the part that was read).
    virtual bool Read(const std::wstring& folder, std::vector<FolderEntry>& out) = 0;
};

} // namespace varno
