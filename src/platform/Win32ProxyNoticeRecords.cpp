#include "platform/Win32ProxyNoticeRecords.h"

#include "app/Error.h"
#include "platform/Handle.h"
#include "platform/TextFile.h"

#include <windows.h>
#include <shlobj.h>

namespace varno::win {

namespace {

std::wstring StateFolder() {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path)))
        folder = std::wstring(path) + L"\\varno";
    CoTaskMemFree(path);
    return folder;
}

// A record is a few dozen bytes; anything larger is no record.
constexpr std::size_t MaxRecordBytes = 4096;

} // namespace

Win32ProxyNoticeRecords::Win32ProxyNoticeRecords() : folder_(StateFolder()) {}

std::wstring Win32ProxyNoticeRecords::PathOf(std::wstring_view host) const {
    return folder_ + L"\\" + ProxyNoticeRecordName(host);
}

std::optional<std::int16_t> Win32ProxyNoticeRecords::Find(std::wstring_view host) {
    if (folder_.empty())
        return std::nullopt;
    std::string text;
    if (Caught([&] { text = ReadWholeFile(PathOf(host), MaxRecordBytes); }))
        return std::nullopt;
    return ProxyNoticeRecordValue(text, host);
}

void Win32ProxyNoticeRecords::Keep(std::wstring_view host, std::int16_t value) {
    if (folder_.empty())
        return;
    CreateDirectoryW(folder_.c_str(), nullptr); // there already, or the write below fails
    const std::wstring path = PathOf(host);
    const std::wstring temp = path + L".new";
    const std::string text = ProxyNoticeRecordText(host, value);
    {
        const UniqueFile file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file ||
            !WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written,
                       nullptr) ||
            written != text.size() || !FlushFileBuffers(file.Get())) {
            DeleteFileW(temp.c_str());
            return;
        }
    }
    // Without MOVEFILE_REPLACE_EXISTING: a record there already stays.
    if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH))
        DeleteFileW(temp.c_str());
}

void Win32ProxyNoticeRecords::Remove(std::wstring_view host) {
    if (!folder_.empty())
        DeleteFileW(PathOf(host).c_str());
}

} // namespace varno::win
