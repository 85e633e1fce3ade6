#pragma once
// The drawings' files as the batch purge run looks at them before it hands
// them to the CAD host, and after the host saved them.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varno {

// A file's final path in each of the forms the system gives, in the order
// in which they are compared: the normalized and the opened name, each with
// the drive letter, then with the device's own (NT) name. A form the system
// cannot give (a network file system may give no normalized name, a share no
// drive letter) is nothing.
inline constexpr std::size_t FinalPathForms = 4;
using FinalPaths = std::array<std::optional<std::wstring>, FinalPathForms>;

class DrawingFiles {
  public:
    virtual ~DrawingFiles() = default;
    // A file (not a folder) is at this path.
    virtual bool FileExists(const std::wstring& path) = 0;
    // The file's first bytes, at most count of them: fewer for a shorter
    // file. Raises an Error whose description is the system's text where the
    // file cannot be opened or read, "not found" included.
    virtual std::string ReadHead(const std::wstring& path, std::size_t count) = 0;
    // The file's final paths: its links, short (8.3) names and mapped drive
    // resolved, so that two paths of one file give the same text in a form
    // but for letter case. All nothing where the file cannot be opened.
    virtual FinalPaths FinalPath(const std::wstring& path) = 0;
    // The two paths are equal as the file system compares names: without
    // regard to letter case.
    virtual bool SameName(std::wstring_view a, std::wstring_view b) = 0;
    // The file's size in bytes; nothing where it cannot be told.
    virtual std::optional<std::uint64_t> FileSize(const std::wstring& path) = 0;
    // Lets this much time pass before a file is looked at again.
    virtual void Pause(std::chrono::milliseconds time) = 0;
};

} // namespace varno
