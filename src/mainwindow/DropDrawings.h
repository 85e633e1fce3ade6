#pragma once
// Drawings dropped onto the main window: files and folders dragged from the
// file manager. Dropped drawings (*.dwg, any letter case) are added, dropped
// folders add every drawing inside them, at any depth, links and junctions
// followed; anything else is ignored. What could not be added is counted,
// and told in one message after the drop.
#include "app/DrawingList.h"
#include "app/Folders.h"
#include "app/Ui.h"

#include <memory>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace varno {

// A path longer than this cannot be opened by the CAD host (the Windows
// MAX_PATH of 260 characters, its terminating NUL included): such drawings
// are counted, never added.
inline constexpr size_t MaxDrawingPath = 259;

// What a search of dropped paths found, and what it had to leave out.
struct FoundDrawings {
    std::vector<std::wstring> drawings; // in the order met
    int tooLong = 0;                    // drawings longer than MaxDrawingPath
    int unreadFolders = 0;              // folders not read, or not to their end
    bool incomplete = false;            // memory ran out: the search stopped there
};

// The drawings the dropped paths name, in the order met: each dropped
// drawing, then the drawings of each dropped folder, depth first. Inside a
// folder, entries that are hidden and system at once are passed over; what
// the user dropped is taken as it is. Every folder is walked once, however
// many links lead to it, so no loop of links goes on. Where folder IDs turn
// out not to tell folders apart, the links met in a walk are not followed
// and count among the unread folders, also those met before that came out.
// A stop request ends the search at the next folder; what it returns then is
// of no use.
FoundDrawings CollectDrawings(FolderReader& folders, std::span<const std::wstring> dropped,
                              std::stop_token stop = {});

// What a drop added, and what it skipped.
struct DropReport {
    int added = 0;
    int tooLong = 0;
    int refused = 0; // new drawings the list took no more of (out of memory)
    int unreadFolders = 0;
    bool incomplete = false;
    bool Skipped() const { return tooLong + refused + unreadFolders > 0 || incomplete; }
};

// The message after a drop that skipped something; empty when nothing was
// skipped. Its lines, in order: the count added (and skipped), then each
// reason that applies.
std::wstring DropReportText(const DropReport& report);
// Shows that message, with an OK button, no icon and the application's
// title, when there is one.
void ShowDropReport(MessageBoxes& boxes, const DropReport& report);

// One drop, made in two halves so that the search can run on another thread
// while the user interface goes on: the drop starts on the list's thread,
// Search walks the folders on any thread, and Finish, again on the list's
// thread, adds the drawings not yet listed by the rule of every add
// (AddNewPaths), in one step. The list must not change in between.
class DrawingDrop {
  public:
    DrawingDrop(const DrawingList& list, std::vector<std::wstring> dropped);
    void Search(FolderReader& folders, std::stop_token stop = {});
    DropReport Finish(DrawingList& list);

  private:
    std::vector<std::wstring> dropped_;
    std::unique_ptr<PreparedAdd> add_;
    FoundDrawings found_;
};

} // namespace varno
