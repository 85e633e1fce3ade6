#pragma once
// The main window's commands on the drawing list, and the help file path.
#include "app/FileDialog.h"
#include "app/Ui.h"
#include "app/DrawingList.h"

#include <string>
#include <string_view>
#include <vector>

namespace varno {

// Removes every selected entry, walking from the last index down.
void DeleteSelected(DrawingList& list);

// Splits the file dialog's answer at every NUL; an empty answer gives no pieces.
std::vector<std::wstring> SplitAnswer(std::wstring_view answer);

// The paths an answer names: the answer itself when it holds no NUL, else
// folder + "\" + name for each name (no second backslash after a drive root).
std::vector<std::wstring> AnswerPaths(std::wstring_view answer);

// Adds each path of the answer that is not yet in the list (exact,
// case-sensitive comparison against the list as it stands).
void AddAnswer(DrawingList& list, std::wstring_view answer);

inline constexpr std::wstring_view SelectFilesText = L"请选择文件！";

// Adding drawings: the multi-select Open dialog for "*.dwg" files, then
// AddAnswer. Any failure, a cancel included, shows "请选择文件！".
void AddDrawings(FileDialog& dialog, DrawingList& list, MessageBoxes& boxes);

// The help file beside the program: folder + "\varno.chm", with no second
// backslash when the folder is a drive root.
std::wstring HelpFilePath(std::wstring_view programFolder);

} // namespace varno
