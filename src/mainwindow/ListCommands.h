#pragma once
// The main window's commands on the drawing list.
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

// The duplicate rule of every add: each path that is not yet in the list
// (exact, case-sensitive comparison, the paths added before it in this batch
// included) is added, all in one step with one repaint. The count added.
int AddNewPaths(DrawingList& list, std::vector<std::wstring> paths);

// Adds each path of the answer by the rule of AddNewPaths.
void AddAnswer(DrawingList& list, std::wstring_view answer);

inline constexpr std::wstring_view SelectFilesText = L"请选择文件！";
// The message boxes of adding drawings.
inline constexpr std::wstring_view AddDrawingsMessages[] = {SelectFilesText};

// Adding drawings: the multi-select Open dialog for "*.dwg" files, then
// AddAnswer. Any failure, a cancel included, shows "请选择文件！".
void AddDrawings(FileDialog& dialog, DrawingList& list, MessageBoxes& boxes);

} // namespace varno
