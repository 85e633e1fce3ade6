#pragma once
// The drawings' files on the disk.
#include "app/DrawingFiles.h"

#include <chrono>
#include <span>
#include <string>
#include <vector>

namespace varno::win {

class Win32DrawingFiles : public DrawingFiles {
  public:
    bool FileExists(const std::wstring& path) override;
    // Read while any other program may hold the file open, even for writing.
    std::string ReadHead(const std::wstring& path, std::size_t count) override;
    // GetFinalPathNameByHandleW in each form on a handle opened for no
    // access, shared with everyone (so a file another program holds opens
    // too).
    FinalPaths FinalPath(const std::wstring& path) override;
    // CompareStringOrdinal ignoring case.
    bool SameName(std::wstring_view a, std::wstring_view b) override;
    void Pause(std::chrono::milliseconds time) override;
    std::optional<std::uint64_t> FileSize(const std::wstring& path) override;
};

// Win32DrawingFiles::FileExists of each path, in order, for as many of the
// paths as are told within the time limit. The looking is done on a thread of
// its own: one that a share that does not answer holds up is left to end by
// itself, and the caller goes on.
std::vector<bool> FilesExistWithin(std::span<const std::wstring> paths,
                                   std::chrono::milliseconds limit);

} // namespace varno::win
