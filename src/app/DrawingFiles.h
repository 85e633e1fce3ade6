#pragma once
// The drawings' files as the batch purge run looks at them before it hands
// them to the CAD host.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace varno {

class DrawingFiles {
  public:
    virtual ~DrawingFiles() = default;
    // A file (not a folder) is at this path.
    virtual bool FileExists(const std::wstring& path) = 0;
    // The file's first bytes, at most count of them: fewer for a shorter
    // file, none for one that cannot be read.
    virtual std::string ReadHead(const std::wstring& path, std::size_t count) = 0;
    // The file's final path: its links, short (8.3) names and mapped drive
    // resolved, so that two paths of one file give the same text but for
    // letter case. Nothing where the file cannot be opened.
    virtual std::optional<std::wstring> FinalPath(const std::wstring& path) = 0;
    // The two paths are equal as the file system compares names: without
    // regard to letter case.
    virtual bool SameName(std::wstring_view a, std::wstring_view b) = 0;
};

} // namespace varno
