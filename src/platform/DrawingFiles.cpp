#include "platform/DrawingFiles.h"

#include "app/Error.h"
#include "platform/Folders.h"
#include "platform/TextFile.h"

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

} // namespace varno::win
