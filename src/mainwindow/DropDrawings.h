#pragma once
// Drawings dropped onto the main window: files and folders dragged from the
// file manager. Dropped drawings (*.dwg, any letter case) are added, dropped
// folders add every drawing inside them, at any depth; anything else is
// ignored, and so is every folder that cannot be read.
#include "app/DrawingList.h"
#include "app/Folders.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varno {

// A path longer than this cannot be opened by the CAD host (the Windows
// MAX_PATH of 260 characters, its terminating NUL included): such drawings
// are not collected, and folders too deep to hold one are not read.
inline constexpr size_t kMaxDrawingPath = 259;

// The name ends in ".dwg", in any letter case.
bool IsDrawingName(std::wstring_view name);

// The drawings the dropped paths name, in the order met: each dropped
// drawing, then the drawings of each dropped folder, depth first. Folders
// that are links are not entered inside a walk (a junction may lead back
// up the tree); a dropped folder that is one is walked all the same.
std::vector<std::wstring> CollectDrawings(FolderReader& folders,
                                          std::span<const std::wstring> dropped);

// The drop itself: collects the drawings and adds those not yet listed, by
// the duplicate rule of every add (AddNewPaths). It shows nothing, ever: when
// nothing can be added the list stays as it was, and a failure of the list
// (no room left) ends the drop with what was added so far.
void DropDrawings(DrawingList& list, FolderReader& folders, std::span<const std::wstring> dropped);

} // namespace varno
