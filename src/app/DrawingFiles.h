#pragma once
// The drawings' files as the batch purge run looks at them before it hands
// them to the CAD host.
#include <string>

namespace varno {

class DrawingFiles {
  public:
    virtual ~DrawingFiles() = default;
    // A file (not a folder) is at this path.
    virtual bool FileExists(const std::wstring& path) = 0;
};

} // namespace varno
