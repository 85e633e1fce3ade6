#pragma once
// Whole files as the list file commands read and write them.
#include <cstddef>
#include <string>
#include <string_view>

namespace varno {

// The file system as the list file commands use it. Both raise varno::Error
// with the runtime error number of the failure.
class ListFileStore {
  public:
    virtual ~ListFileStore() = default;
    // The whole file; a file larger than maxBytes fails with errnum::OutOfMemory.
    virtual std::string ReadAll(const std::wstring& path, std::size_t maxBytes) = 0;
    // Replaces the file (or creates it) with exactly these bytes, in one step:
    // on failure the old file is left as it was.
    virtual void ReplaceWith(const std::wstring& path, std::string_view bytes) = 0;
};

} // namespace varno
