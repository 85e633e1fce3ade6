#pragma once
// A whole drop at once, for the portable tests: the search, the add and the
// message when something was skipped, one after the other on one thread.
#include "mainwindow/DropDrawings.h"

#include <span>
#include <string>

namespace varno::test {

inline void DropDrawings(DrawingList& list, FolderReader& folders,
                         std::span<const std::wstring> dropped, MessageBoxes& boxes) {
    DrawingDrop drop(list, {dropped.begin(), dropped.end()});
    drop.Search(folders);
    ShowDropReport(boxes, drop.Finish(list));
}

} // namespace varno::test
