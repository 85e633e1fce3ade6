#pragma once
// The program's help file: varno.chm beside the program. The main window
// names it the application's help file (F1 in every window) and its help
// button opens it.
#include "app/Folders.h"

#include <string>
#include <string_view>

namespace varno {

inline constexpr std::wstring_view HelpFileName = L"varno.chm";

// The help file in the program's folder: folder + "\varno.chm", with no
// second backslash when the folder is a drive root.
inline std::wstring HelpFilePath(std::wstring_view programFolder) {
    return JoinPath(programFolder, HelpFileName);
}

} // namespace varno
