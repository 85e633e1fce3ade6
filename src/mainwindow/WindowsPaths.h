#pragma once
// The grammar of Windows paths as the list file needs it: fully qualified
// paths, entries that name a file beside the list file, and the names of the
// CAD program's own files.
#include <string>
#include <string_view>

namespace varno {

// A path that names the same file whatever the current folder and drive: a
// drive letter and colon followed by a backslash (or a slash), or a UNC path
// (two of them first).
bool IsFullyQualified(std::wstring_view path);

// The entry as a path of its own. One that is not fully qualified once its
// surrounding spaces are set aside (a bare name as `dir /b` writes it,
// sub\b.dwg, ..\c.dwg, \d.dwg, D:e.dwg) names a file beside the list file:
// it is joined to the list file's folder (\d.dwg to the root of its drive or
// share, D:e.dwg to the root of D: unless the list file is on D:), and its
// "." and ".." are resolved, never above that root. A fully qualified entry
// stays exactly as it is, and so does one that cannot be a path (it holds a
// character no file name can). listFile is the list file's own full path.
std::wstring ResolveEntry(std::wstring_view listFile, std::wstring_view entry);

// The file is named as one of the CAD program's own: it ends in ".dwg",
// ".dxf", ".dwt" or ".dws" (any letter case; trailing dots and spaces
// dropped, as Windows drops them).
bool IsCadFileName(std::wstring_view path);

// The name after the last folder separator.
std::wstring_view FileNameOf(std::wstring_view path);

} // namespace varno
