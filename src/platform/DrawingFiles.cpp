#include "platform/DrawingFiles.h"

#include "app/Error.h"
#include "platform/Folders.h"
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
