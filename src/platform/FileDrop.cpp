#include "platform/FileDrop.h"

#include "platform/Handle.h"

namespace varno::win {

namespace {

// The "\\?\" form of a full path that the plain form cannot carry.
std::wstring ForLength(const std::wstring& path) {
    if (path.size() < MAX_PATH - 12 || path.starts_with(L"\\\\?\\"))
        return path;
    if (path.starts_with(L"\\\\")) // \\server\share\...
        return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

EntryKind KindFromAttributes(DWORD attributes, DWORD reparseTag) {
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return EntryKind::File;
    // Symbolic links and junctions name another place; other reparse points
    // (cloud placeholders, for one) are the folder itself.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(reparseTag))
        return EntryKind::LinkedFolder;
    return EntryKind::Folder;
}

bool IsDots(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

} // namespace

void AcceptDroppedFiles(HWND window) {
    DragAcceptFiles(window, TRUE);
}

DroppedFiles::~DroppedFiles() {
    if (drop_)
        DragFinish(drop_);
}

std::vector<std::wstring> DroppedPaths(HDROP drop) {
    std::vector<std::wstring> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    paths.reserve(count);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

EntryKind Win32FolderReader::KindOf(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ForLength(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return EntryKind::Missing;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return EntryKind::LinkedFolder; // a dropped folder is walked either way
    return KindFromAttributes(attributes, 0);
}

bool Win32FolderReader::Read(const std::wstring& folder, std::vector<FolderEntry>& out) {
    const std::wstring pattern = JoinPath(folder, L"*");
    WIN32_FIND_DATAW data;
    const UniqueFind find(FindFirstFileExW(ForLength(pattern).c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH));
    if (!find) // a drive's empty root has not even "." and ".."
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (!IsDots(data.cFileName))
            out.push_back(
                {data.cFileName, KindFromAttributes(data.dwFileAttributes, data.dwReserved0)});
    } while (FindNextFileW(find.Get(), &data));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

} // namespace varno::win
