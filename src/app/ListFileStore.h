#pragma once
// Whole files as the list file commands read and write them.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varno {

// An existing file as far as it is looked at: its size and its first bytes.
struct FileStart {
    std::uint64_t size = 0;
    std::string head;
};

// The file system as the list file commands use it. The reads and the
// replace raise varno::Error with the runtime error number of the failure.
class ListFileStore {
  public:
    virtual ~ListFileStore() = default;
    // The whole file; a file larger than maxBytes fails with errnum::OutOfMemory.
    virtual std::string ReadAll(const std::wstring& path, std::size_t maxBytes) = 0;
    // The size and the first headBytes bytes (fewer in a shorter file) of the
    // file; nothing when neither it nor its folder exists.
    virtual std::optional<FileStart> Peek(const std::wstring& path, std::size_t headBytes) = 0;
    // Replaces the file (or creates it) with exactly these bytes, in one step:
    // on failure the old file is left as it was.
    virtual void ReplaceWith(const std::wstring& path, std::string_view bytes) = 0;
    // Whether each path names a file (not a folder), in order, for as many
    // of the paths as can be told within the time given: fewer answers than
    // paths when the time ran out (a share that does not answer). Raises
    // nothing.
    virtual std::vector<bool> FilesExist(std::span<const std::wstring> paths,
                                         std::chrono::milliseconds limit) = 0;
};

} // namespace varno
