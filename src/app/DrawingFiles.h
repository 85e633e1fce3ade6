#pragma once
// The drawings' files as the batch purge run looks at them before it hands
// them to the CAD host.
#include <cstddef>
#include <string>

namespace varno {

class DrawingFiles {
  public:
    virtual ~DrawingFiles() = default;
    // A file (not a folder) is at this path.
    virtual bool FileExists(const std::wstring& path) = 0;
    // The file's first bytes, at most count of them: fewer for a shorter
    // file, none for one that cannot be read.
    virtual std::string ReadHead(const std::wstring& path, std::size_t count) = 0;
};

} // namespace varno
