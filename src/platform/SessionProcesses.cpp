#include "platform/SessionProcesses.h"

#include "platform/Handle.h"

#include <tlhelp32.h>

#include <string_view>
#include <vector>

namespace varno::win {
namespace {

bool SameText(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The path as a process's image path reads: full and in long names (a
// registration may name the program by its short 8.3 path).
std::wstring LongPath(const std::wstring& path) {
    const DWORD size = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (size == 0)
        return path;
    std::vector<wchar_t> buffer(size);
    const DWORD n = GetLongPathNameW(path.c_str(), buffer.data(), size);
    return n == 0 || n >= size ? path : std::wstring(buffer.data(), n);
}

std::wstring_view FileName(std::wstring_view path) {
    const std::size_t folder = path.find_last_of(L"\\/");
    return folder == std::wstring_view::npos ? path : path.substr(folder + 1);
}

} // namespace

// The snapshot gives every process's file name; only those of the program's
// name are opened. Their full image paths tell two releases apart that share
// a file name (acad.exe of 2014 and of 2020), for only the program to be
// launched matters. Where a process's path cannot be read, its file name
// decides: PROCESS_QUERY_LIMITED_INFORMATION is granted on a process running
// as administrator too, so this is a process the user cannot look into at
// all, and it is safer to start no second CAD beside it.
bool RunsInThisSession(const std::wstring& program) {
    DWORD session = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session))
        return false;
    const std::wstring wanted = LongPath(program);
    const std::wstring_view name = FileName(wanted);
    // A program registered without its folder is known by its name alone.
    const bool nameOnly = name.size() == wanted.size();
    const UniqueSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        DWORD its = 0;
        if (!SameText(FileName(entry.szExeFile), name) ||
            !ProcessIdToSessionId(entry.th32ProcessID, &its) || its != session)
            continue;
        if (nameOnly)
            return true;
        const UniqueHandle process(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        wchar_t image[MAX_PATH * 4];
        DWORD size = static_cast<DWORD>(std::size(image));
        if (!process || !QueryFullProcessImageNameW(process.Get(), 0, image, &size))
            return true;
        if (SameText(LongPath(std::wstring(image, size)), wanted))
            return true;
    }
    return false;
}

} // namespace varno::win
