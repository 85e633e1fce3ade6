#include "mainwindow/WindowsPaths.h"

#include "app/DrawingList.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace varno {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool HasDrive(std::wstring_view path) {
    return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':';
}

wchar_t UpperAscii(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// The root of a fully qualified path, its separator included: "C:\\" or
// "\\\\server\\share\\" (a UNC path without its share: all of it).
std::wstring_view RootOf(std::wstring_view path) {
    if (HasDrive(path))
        return path.substr(0, std::min<size_t>(3, path.size()));
    size_t at = 2; // past the two separators of a UNC path
    for (int part = 0; part < 2 && at < path.size(); ++part) {
        while (at < path.size() && !IsSeparator(path[at]))
            ++at;
        if (at < path.size())
            ++at;
    }
    return path.substr(0, at);
}

// root + the segments of rest, "." dropped and ".." taking back the segment
// before it (never the root).
std::wstring Normalised(std::wstring_view root, std::wstring_view rest) {
    std::vector<std::wstring_view> segments;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end]))
            ++end;
        const std::wstring_view segment = rest.substr(start, end - start);
        if (segment == L"..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != L".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::wstring path(root);
    if (!path.empty() && !IsSeparator(path.back()))
        path += L'\\';
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i > 0)
            path += L'\\';
        path += segments[i];
    }
    return path;
}

// A character no file name holds (a colon but a drive's, control characters,
// and the ones Windows reserves): a line with one names no file at all.
bool CanBePath(std::wstring_view name) {
    for (size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = name[i];
        if (c < 0x20 || std::wstring_view(L"\"<>|*?").find(c) != std::wstring_view::npos ||
            (c == L':' && i != 1))
            return false;
    }
    return true;
}

} // namespace

bool IsFullyQualified(std::wstring_view path) {
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return true;
    return path.size() >= 3 && HasDrive(path) && IsSeparator(path[2]);
}

std::wstring ResolveEntry(std::wstring_view listFile, std::wstring_view entry) {
    const std::wstring_view name = EntryPath(entry);
    if (IsFullyQualified(name) || !CanBePath(name) || !IsFullyQualified(listFile))
        return std::wstring(entry);
    const std::wstring_view root = RootOf(listFile);
    size_t slash = listFile.size();
    while (slash > root.size() && !IsSeparator(listFile[slash - 1]))
        --slash;
    const std::wstring_view folder = listFile.substr(root.size(), slash - root.size());
    if (!name.empty() && IsSeparator(name[0])) // \d.dwg: from the root
        return Normalised(root, name);
    if (HasDrive(name)) { // D:e.dwg
        if (HasDrive(listFile) && UpperAscii(name[0]) == UpperAscii(listFile[0]))
            return Normalised(root, std::wstring(folder) + L'\\' + std::wstring(name.substr(2)));
        return Normalised(std::wstring(name.substr(0, 2)) + L'\\', name.substr(2));
    }
    return Normalised(root, std::wstring(folder) + L'\\' + std::wstring(name));
}

namespace {

// The CAD program's drawings, templates and standards files.
constexpr std::wstring_view CadExtensions[] = {L".dwg", L".dxf", L".dwt", L".dws"};

} // namespace

std::wstring_view FileNameOf(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

bool IsCadFileName(std::wstring_view path) {
    // Windows drops trailing dots and spaces from a name: "plan.dwg ." is plan.dwg.
    std::wstring_view name = FileNameOf(path);
    name = name.substr(0, name.find_last_not_of(L". ") + 1);
    return std::any_of(std::begin(CadExtensions), std::end(CadExtensions),
                       [name](std::wstring_view ext) { return EndsWithNoCase(name, ext); });
}

} // namespace varno
