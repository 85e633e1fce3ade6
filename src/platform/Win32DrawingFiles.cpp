#include "platform/Win32DrawingFiles.h"

#include "app/Error.h"
#include "app/FileError.h"
#include "platform/Dispatch.h"
#include "platform/Win32FolderReader.h"
#include "platform/Handle.h"
#include "platform/TextFile.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace varno::win {

bool Win32DrawingFiles::FileExists(const std::wstring& path) {
    return Win32FolderReader().KindOf(path) == EntryKind::File;
}

namespace {

// The error of the last failed call, with the system's text for it.
[[noreturn]] void RaiseSystemError() {
    const DWORD err = GetLastError();
    throw FileError(err, SystemMessage(HRESULT_FROM_WIN32(err)));
}

} // namespace

std::string Win32DrawingFiles::ReadHead(const std::wstring& path, std::size_t count) {
    // Shared with everyone: a host or a scanner that holds the file open
    // does not keep it from being read.
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        RaiseSystemError();
    std::string head(count, '\0');
    std::size_t filled = 0;
    for (DWORD got = 1; filled < count && got > 0; filled += got)
        if (!ReadFile(file.Get(), head.data() + filled, static_cast<DWORD>(count - filled), &got,
                      nullptr))
            RaiseSystemError();
    head.resize(filled);
    return head;
}

FinalPaths Win32DrawingFiles::FinalPath(const std::wstring& path) {
    // No access asked: neither a sharing mode of another program nor the
    // file's permissions can refuse it. A folder opens too, as the flag says.
    const UniqueFile file(CreateFileW(path.c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FinalPaths finals;
    if (!file)
        return finals;
    // In the order of FinalPaths. VOLUME_NAME_GUID is not asked: network
    // files have no volume GUID.
    constexpr DWORD forms[FinalPathForms] = {
        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS, FILE_NAME_OPENED | VOLUME_NAME_DOS,
        FILE_NAME_NORMALIZED | VOLUME_NAME_NT, FILE_NAME_OPENED | VOLUME_NAME_NT};
    for (std::size_t i = 0; i < FinalPathForms; ++i) {
        std::wstring final(MAX_PATH, L'\0');
        for (;;) {
            const DWORD n = GetFinalPathNameByHandleW(file.Get(), final.data(),
                                                      static_cast<DWORD>(final.size()), forms[i]);
            if (n == 0)
                break;
            if (n < final.size()) {
                final.resize(n);
                finals[i] = std::move(final);
                break;
            }
            final.resize(n); // n counts the terminating NUL when the buffer was short
        }
    }
    return finals;
}

bool Win32DrawingFiles::SameName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::optional<std::uint64_t> Win32DrawingFiles::FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void Win32DrawingFiles::Pause(std::chrono::milliseconds time) {
    Sleep(static_cast<DWORD>(time.count()));
}

std::vector<bool> FilesExistWithin(std::span<const std::wstring> paths,
                                   std::chrono::milliseconds limit) {
    // Shared with the thread, which may outlive this call.
    struct Lookup {
        std::vector<std::wstring> paths;
        std::mutex lock;
        std::condition_variable answered;
        std::vector<bool> found;
        bool late = false; // the caller has gone on
    };
    const auto lookup = std::make_shared<Lookup>();
    lookup->paths.assign(paths.begin(), paths.end());
    try {
        std::thread([lookup] {
            Win32DrawingFiles disk;
            for (const std::wstring& path : lookup->paths) {
                const bool exists = disk.FileExists(path);
                const std::lock_guard hold(lookup->lock);
                if (lookup->late)
                    return;
                lookup->found.push_back(exists);
                lookup->answered.notify_one();
            }
        }).detach();
    } catch (const std::system_error&) {
        return {}; // no thread: nothing is told
    }
    std::unique_lock hold(lookup->lock);
    lookup->answered.wait_for(hold, limit,
                              [&] { return lookup->found.size() == lookup->paths.size(); });
    lookup->late = true;
    return lookup->found;
}

} // namespace varno::win
