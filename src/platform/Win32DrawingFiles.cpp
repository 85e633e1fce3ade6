#include "platform/Win32DrawingFiles.h"

#include "app/Error.h"
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

std::string Win32DrawingFiles::ReadHead(const std::wstring& path, std::size_t count) {
    try {
        if (std::optional<FileStart> start = PeekFile(path, count))
            return std::move(start->head);
    } catch (const Error&) {
        // A file that cannot be read has no head to tell.
    }
    return {};
}

std::optional<std::wstring> Win32DrawingFiles::FinalPath(const std::wstring& path) {
    // No access asked: neither a sharing mode of another program nor the
    // file's permissions can refuse it. A folder opens too, as the flag says.
    const UniqueFile file(CreateFileW(path.c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file)
        return std::nullopt;
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFinalPathNameByHandleW(file.Get(), final.data(),
                                                  static_cast<DWORD>(final.size()), 0);
        if (n == 0)
            return std::nullopt;
        if (n < final.size()) {
            final.resize(n);
            return final;
        }
        final.resize(n); // n counts the terminating NUL when the buffer was short
    }
}

bool Win32DrawingFiles::SameName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
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
