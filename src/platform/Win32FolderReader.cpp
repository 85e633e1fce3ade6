#include "platform/Win32FolderReader.h"

#include "platform/Handle.h"

#include <cstring>

namespace varno::win {

namespace {

EntryKind KindFromAttributes(DWORD attributes, DWORD reparseTag) {
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return EntryKind::File;
    // Symbolic links and junctions name another place, and so may a reparse
    // point whose tag is not told (Wine's Unix links); other reparse points
    // (cloud placeholders, for one) are the folder itself.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        (reparseTag == 0 || IsReparseTagNameSurrogate(reparseTag)))
        return EntryKind::LinkedFolder;
    return EntryKind::Folder;
}

bool IsSystemOwned(DWORD attributes) {
    constexpr DWORD both = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & both) == both;
}

bool IsDots(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

} // namespace

EntryKind Win32FolderReader::KindOf(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return EntryKind::Missing;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return EntryKind::LinkedFolder; // a dropped folder is walked either way
    return KindFromAttributes(attributes, 0);
}

std::optional<FolderId> Win32FolderReader::IdOf(const std::wstring& folder) {
    // Opened for its attributes only, through any link, whoever else has it open.
    const UniqueFile h(CreateFileW(LongPathForm(folder).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h)
        return std::nullopt;
    // The 128-bit ID where the system has it (ReFS needs it), else the 64-bit one.
    FILE_ID_INFO info{};
    if (GetFileInformationByHandleEx(h.Get(), FileIdInfo, &info, sizeof info)) {
        FolderId id{info.VolumeSerialNumber};
        static_assert(sizeof info.FileId.Identifier == 2 * sizeof id.high);
        std::memcpy(&id.low, info.FileId.Identifier, sizeof id.low);
        std::memcpy(&id.high, info.FileId.Identifier + sizeof id.low, sizeof id.high);
        return id;
    }
    BY_HANDLE_FILE_INFORMATION basic{};
    if (!GetFileInformationByHandle(h.Get(), &basic))
        return std::nullopt;
    return FolderId{basic.dwVolumeSerialNumber, 0,
                    (std::uint64_t{basic.nFileIndexHigh} << 32) | basic.nFileIndexLow};
}

bool Win32FolderReader::Read(const std::wstring& folder, std::vector<FolderEntry>& out) {
    const std::wstring pattern = JoinPath(folder, L"*");
    WIN32_FIND_DATAW data;
    const UniqueFind find(FindFirstFileExW(LongPathForm(pattern).c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH));
    if (!find) // a drive's empty root has not even "." and ".."
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (!IsDots(data.cFileName))
            out.push_back({data.cFileName,
                           KindFromAttributes(data.dwFileAttributes, data.dwReserved0),
                           IsSystemOwned(data.dwFileAttributes)});
    } while (FindNextFileW(find.Get(), &data));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

} // namespace varno::win
