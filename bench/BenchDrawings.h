#pragma once
// The drawings the batch purge benchmarks work on: files of the stand-in CAD
// host's own (its mark first, the only files it saves to), d00000.dwg,
// d00001.dwg, ... in one folder, made afresh for every measurement, since
// each purge and save appends to them.
#include <windows.h>

#include "tools/cadhost/Vcad.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace varno::bench {

inline std::wstring DrawingPath(const std::wstring& folder, int i) {
    wchar_t name[32];
    std::swprintf(name, 32, L"\\d%05d.dwg", i);
    return folder + name;
}

inline void WriteTextFile(const std::wstring& path, std::string_view text) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return;
    DWORD put = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
    CloseHandle(f);
}

// The paths of drawings already in the folder.
inline std::vector<std::wstring> DrawingPaths(const std::wstring& folder, int drawings) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < drawings; ++i)
        paths.push_back(DrawingPath(folder, i));
    return paths;
}

// Writes that many drawings into the folder; their paths.
inline std::vector<std::wstring> MakeDrawings(const std::wstring& folder, int drawings) {
    const std::vector<std::wstring> paths = DrawingPaths(folder, drawings);
    for (const std::wstring& path : paths)
        WriteTextFile(path, std::string(vcad::DrawingMark) + "\n");
    return paths;
}

inline void RemoveFiles(const std::vector<std::wstring>& paths) {
    for (const std::wstring& path : paths)
        DeleteFileW(path.c_str());
}

} // namespace varno::bench
