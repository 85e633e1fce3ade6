// Drops decided without a disk: which names are drawings, the folder walk
// over a folder tree held in memory, and the merge into the list.
#include "mainwindow/DropDrawings.h"
#include "mainwindow/ListCommands.h"

#include "app/Error.h"
#include "support/MemoryDrawingList.h"
#include "support/WholeDrop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <stop_token>

namespace varno {
namespace {

using Paths = std::vector<std::wstring>;
using test::DropDrawings;

// Folders by full path; anything not a folder and not named as a file is
// missing. A link's path leads to another folder, which it reads and shares
// the identity of.
class FakeFolders : public FolderReader {
  public:
    void Folder(const std::wstring& path, std::vector<FolderEntry> entries) {
        folders[path] = std::move(entries);
    }
    EntryKind KindOf(const std::wstring& path) override {
        if (links.contains(path))
            return EntryKind::LinkedFolder;
        if (folders.contains(path) || unreadable.contains(path))
            return EntryKind::Folder;
        return files.contains(path) ? EntryKind::File : EntryKind::Missing;
    }
    std::optional<FolderId> IdOf(const std::wstring& path) override {
        const std::wstring& real = Resolve(path);
        if (!folders.contains(real) || noId.contains(real) || ids == Ids::None)
            return std::nullopt;
        if (ids != Ids::Own)
            return FolderId{7, 0, ids == Ids::One ? 42u : 0u};
        const auto clone = clones.find(real);
        return FolderId{7, 0,
                        std::hash<std::wstring>{}(clone == clones.end() ? real : clone->second)};
    }
    bool Read(const std::wstring& folder, std::vector<FolderEntry>& out) override {
        reads.push_back(folder);
        const std::wstring& real = Resolve(folder);
        auto it = folders.find(real);
        if (it == folders.end() || unreadable.contains(real))
            return false;
        const auto cut = failsAfter.find(real);
        const size_t n = cut == failsAfter.end() ? it->second.size() : cut->second;
        out.insert(out.end(), it->second.begin(), it->second.begin() + n);
        return n == it->second.size();
    }
    const std::wstring& Resolve(const std::wstring& path) const {
        auto it = links.find(path);
        return it == links.end() ? path : it->second;
    }
    size_t ReadsOf(const std::wstring& folder) const {
        return std::count(reads.begin(), reads.end(), folder);
    }
    std::map<std::wstring, std::vector<FolderEntry>> folders;
    std::map<std::wstring, std::wstring> links; // a link -> the folder it leads to
    std::map<std::wstring, size_t> failsAfter;  // the listing fails after so many entries
    std::set<std::wstring> files, unreadable, noId;
    Paths reads;
    // What identities the file system gives its folders: each its own, one
    // for all of them, a zero one, none at all.
    enum class Ids { Own, One, Zero, None } ids = Ids::Own;
    std::map<std::wstring, std::wstring> clones; // a folder with the identity of another
};

FolderEntry F(const wchar_t* name) {
    return {name, EntryKind::File};
}
FolderEntry D(const wchar_t* name) {
    return {name, EntryKind::Folder};
}
FolderEntry Link(const wchar_t* name) {
    return {name, EntryKind::LinkedFolder};
}
// Hidden and system at once.
FolderEntry Sys(FolderEntry e) {
    e.system = true;
    return e;
}

// Counts the bulk adds, each of which the list box repaints once.
class CountingList : public MemoryDrawingList {
  public:
    void AddItems(std::span<const std::wstring> texts) override {
        ++bulkAdds;
        MemoryDrawingList::AddItems(texts);
    }
    int bulkAdds = 0;
};

TEST(IsDrawingName, EndsInDwgInAnyLetterCase) {
    for (const wchar_t* yes : {L"a.dwg", L"B.DWG", L"c.DwG", L"总图 一.dwg", L".dwg", L"x.y.dwg"})
        EXPECT_TRUE(IsDrawingName(yes)) << yes;
    for (const wchar_t* no : {L"a.dwg.bak", L"a.dwt", L"adwg", L"a.dw", L"dwg", L"", L"a.dwg "})
        EXPECT_FALSE(IsDrawingName(no)) << no;
}

TEST(CollectDrawings, DroppedFilesAndFoldersDepthFirstCountingWhatCannotBeRead) {
    FakeFolders disk;
    disk.files = {L"D:\\x\\A.DWG", L"D:\\x\\notes.txt", L"D:\\x\\b.Dwg"};
    disk.Folder(L"D:\\项目 一", {F(L"1.dwg"), D(L"sub"), F(L"readme.txt"), D(L"old.dwg"),
                                 D(L"locked"), D(L"empty"), Link(L"link"), F(L"2.DWG")});
    disk.Folder(L"D:\\项目 一\\sub", {F(L"s.dwg"), D(L"deeper")});
    disk.Folder(L"D:\\项目 一\\sub\\deeper", {F(L"d.dwg")});
    disk.Folder(L"D:\\项目 一\\old.dwg", {F(L"in folder named like a drawing.dwg")});
    disk.Folder(L"D:\\项目 一\\empty", {});
    disk.Folder(L"D:\\项目 一\\locked", {F(L"never.dwg")});
    disk.unreadable = {L"D:\\项目 一\\locked", L"D:\\gone"};
    disk.Folder(L"D:\\elsewhere", {F(L"linked.dwg")});
    disk.links[L"D:\\项目 一\\link"] = L"D:\\elsewhere";

    const Paths dropped = {L"D:\\x\\A.DWG", L"D:\\项目 一",     L"D:\\x\\notes.txt",
                           L"D:\\gone",     L"Q:\\missing.dwg", L"D:\\x\\b.Dwg"};
    const FoundDrawings found = CollectDrawings(disk, dropped);
    EXPECT_EQ(found.drawings, (Paths{L"D:\\x\\A.DWG", L"D:\\项目 一\\1.dwg", L"D:\\项目 一\\2.DWG",
                                     L"D:\\项目 一\\sub\\s.dwg", L"D:\\项目 一\\sub\\deeper\\d.dwg",
                                     L"D:\\项目 一\\old.dwg\\in folder named like a drawing.dwg",
                                     L"D:\\项目 一\\link\\linked.dwg", L"D:\\x\\b.Dwg"}));
    // The link inside the walk is followed, under its own path; the
    // unreadable folders are tried once each and counted.
    EXPECT_EQ(disk.ReadsOf(L"D:\\项目 一\\link"), 1u);
    EXPECT_EQ(disk.ReadsOf(L"D:\\gone"), 1u);
    EXPECT_EQ(found.unreadFolders, 2);

    // A dropped link is walked under the path that was dropped.
    EXPECT_EQ(CollectDrawings(disk, Paths{L"D:\\项目 一\\link"}).drawings,
              (Paths{L"D:\\项目 一\\link\\linked.dwg"}));

    // A drive root already ends with its backslash.
    disk.Folder(L"C:\\", {F(L"r.dwg"), D(L"s")});
    disk.Folder(L"C:\\s", {F(L"t.dwg")});
    EXPECT_EQ(CollectDrawings(disk, Paths{L"C:\\"}).drawings,
              (Paths{L"C:\\r.dwg", L"C:\\s\\t.dwg"}));
}

TEST(CollectDrawings, AListingThatFailsPartwayKeepsWhatWasRead) {
    FakeFolders disk;
    disk.Folder(L"N:\\share", {F(L"a.dwg"), D(L"sub"), F(L"b.dwg"), F(L"c.dwg")});
    disk.Folder(L"N:\\share\\sub", {F(L"s.dwg")});
    disk.failsAfter[L"N:\\share"] = 3; // c.dwg never comes
    const FoundDrawings found = CollectDrawings(disk, Paths{L"N:\\share"});
    EXPECT_EQ(found.drawings,
              (Paths{L"N:\\share\\a.dwg", L"N:\\share\\b.dwg", L"N:\\share\\sub\\s.dwg"}));
    EXPECT_EQ(found.unreadFolders, 1);
}

TEST(CollectDrawings, EveryFolderOnceHoweverManyLinksLeadThere) {
    FakeFolders disk;
    disk.Folder(L"D:\\t", {F(L"a.dwg"), Link(L"up"), D(L"sub"), Link(L"again"), Link(L"dead")});
    disk.Folder(L"D:\\t\\sub", {F(L"s.dwg"), Link(L"top")});
    disk.links = {{L"D:\\t\\up", L"D:\\t"},          // back to the top: a loop
                  {L"D:\\t\\sub\\top", L"D:\\t"},    // the same loop from below
                  {L"D:\\t\\again", L"D:\\t\\sub"},  // a second way to sub
                  {L"D:\\t\\dead", L"D:\\nowhere"}}; // leads to nothing
    disk.Folder(L"D:\\plain", {F(L"p.dwg"), Link(L"loop")});
    disk.links[L"D:\\plain\\loop"] = L"D:\\plain";
    disk.noId = {L"D:\\plain"}; // its identity cannot be told: the link is not entered

    // The second drop of the same folder, and a drop of a link to it, add nothing new.
    const FoundDrawings found =
        CollectDrawings(disk, Paths{L"D:\\t", L"D:\\plain", L"D:\\t\\sub", L"D:\\t\\again"});
    EXPECT_EQ(found.drawings, (Paths{L"D:\\t\\a.dwg", L"D:\\t\\sub\\s.dwg", L"D:\\plain\\p.dwg"}));
    EXPECT_EQ(found.unreadFolders, 2); // the dead link, and the link whose target has no identity
    EXPECT_EQ(disk.ReadsOf(L"D:\\t"), 1u);
    EXPECT_EQ(disk.ReadsOf(L"D:\\t\\sub"), 1u);
    EXPECT_EQ(disk.reads.size(), 3u);
}

// Some file systems give every folder the same file ID, or zero (network
// redirectors, FUSE, NAS drives), and cloned disks share their IDs: every
// folder is walked all the same, once, and no link loops.
TEST(CollectDrawings, EveryFolderIsWalkedWhateverIdsTheFileSystemGives) {
    using Ids = FakeFolders::Ids;
    const struct {
        Ids ids;
        bool linkFirst; // D:\t lists its link back to itself first, and no other link
        int unread;     // the links met in a walk that cannot be told apart
    } rows[] = {{Ids::Own, false, 0},  {Ids::One, false, 2}, {Ids::Zero, false, 2},
                {Ids::None, false, 2}, {Ids::Own, true, 0},  {Ids::One, true, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
        FakeFolders disk;
        disk.ids = row.ids;
        if (row.linkFirst) // met before sub shows the identity shared
            disk.Folder(L"D:\\t", {Link(L"up"), F(L"a.dwg"), D(L"sub"), D(L"other")});
        else
            disk.Folder(L"D:\\t",
                        {F(L"a.dwg"), D(L"sub"), Link(L"up"), Link(L"again"), D(L"other")});
        disk.Folder(L"D:\\t\\sub", {F(L"s.dwg"), D(L"deeper")});
        disk.Folder(L"D:\\t\\sub\\deeper", {F(L"d.dwg")});
        disk.Folder(L"D:\\t\\other", {F(L"o.dwg")});
        disk.links = {{L"D:\\t\\up", L"D:\\t"}, {L"D:\\t\\again", L"D:\\t\\sub"}};
        disk.Folder(L"D:\\u", {F(L"u.dwg")});
        // A clone of the first disk, its folders with the same identities.
        disk.Folder(L"E:\\t", {F(L"e.dwg"), D(L"sub")});
        disk.Folder(L"E:\\t\\sub", {F(L"f.dwg")});
        disk.clones = {{L"E:\\t", L"D:\\t"}, {L"E:\\t\\sub", L"D:\\t\\sub"}};

        const FoundDrawings found =
            CollectDrawings(disk, Paths{L"D:\\t", L"D:\\t\\sub", L"D:\\u", L"E:\\t"});
        EXPECT_EQ(found.drawings, (Paths{L"D:\\t\\a.dwg", L"D:\\t\\sub\\s.dwg",
                                         L"D:\\t\\sub\\deeper\\d.dwg", L"D:\\t\\other\\o.dwg",
                                         L"D:\\u\\u.dwg", L"E:\\t\\e.dwg", L"E:\\t\\sub\\f.dwg"}));
        EXPECT_EQ(found.unreadFolders, row.unread);
        EXPECT_EQ(disk.reads, (Paths{L"D:\\t", L"D:\\t\\sub", L"D:\\t\\sub\\deeper",
                                     L"D:\\t\\other", L"D:\\u", L"E:\\t", L"E:\\t\\sub"}));
    }
}

TEST(CollectDrawings, PassesOverTheSystemsOwnFoldersAndFiles) {
    FakeFolders disk;
    // A drive root is hidden and system itself: dropped, it is walked.
    disk.Folder(L"E:\\", {Sys(D(L"$RECYCLE.BIN")), Sys(D(L"System Volume Information")),
                          D(L".hidden"), Sys(F(L"boot.dwg")), F(L"plan.dwg")});
    disk.Folder(L"E:\\$RECYCLE.BIN", {F(L"$IAB12.dwg"), F(L"$RAB12.dwg")});
    disk.Folder(L"E:\\System Volume Information", {F(L"x.dwg")});
    disk.Folder(L"E:\\.hidden", {F(L"h.dwg")}); // hidden alone: walked as any folder
    disk.files = {L"E:\\chosen.dwg"};
    const FoundDrawings found = CollectDrawings(disk, Paths{L"E:\\", L"E:\\chosen.dwg"});
    EXPECT_EQ(found.drawings, (Paths{L"E:\\plan.dwg", L"E:\\.hidden\\h.dwg", L"E:\\chosen.dwg"}));
    EXPECT_EQ(disk.reads, (Paths{L"E:\\", L"E:\\.hidden"}));
}

TEST(CollectDrawings, AStopRequestEndsTheSearchAtTheNextFolder) {
    struct StoppingDisk : FakeFolders {
        std::stop_source stop;
        bool Read(const std::wstring& folder, std::vector<FolderEntry>& out) override {
            stop.request_stop(); // Esc pressed during the first read
            return FakeFolders::Read(folder, out);
        }
    } disk;
    disk.Folder(L"D:\\t", {F(L"a.dwg"), D(L"s")});
    disk.Folder(L"D:\\t\\s", {F(L"b.dwg")});
    CollectDrawings(disk, Paths{L"D:\\t", L"D:\\t\\s"}, disk.stop.get_token());
    EXPECT_EQ(disk.reads, Paths{L"D:\\t"});
}

TEST(CollectDrawings, CountsWhatIsLongerThanTheHostCanOpen) {
    FakeFolders disk;
    const std::wstring top = L"D:\\" + std::wstring(240, L'f');     // 243 characters
    const std::wstring deep = top + L"\\" + std::wstring(11, L'g'); // 255: no room for ".dwg"
    const std::wstring fits = std::wstring(MaxDrawingPath - top.size() - 5, L'n') + L".dwg";
    disk.Folder(top, {F(fits.c_str()), F((L"n" + fits).c_str()), F((L"n" + fits + L"x").c_str()),
                      D(std::wstring(11, L'g').c_str())});
    disk.Folder(deep, {F(L".dwg"), F(L"other.txt")});
    const FoundDrawings found = CollectDrawings(disk, Paths{top});
    ASSERT_EQ(found.drawings, (Paths{top + L"\\" + fits}));
    EXPECT_EQ(found.drawings[0].size(), MaxDrawingPath);
    EXPECT_EQ(found.tooLong, 2); // one beside it, one in the folder below
}

TEST(AddNewPaths, OneBulkAddOfPathsNotYetListedComparedExactly) {
    CountingList list;
    list.AddItem(L"D:\\maps\\a.dwg");
    EXPECT_EQ(AddNewPaths(list, {L"D:\\maps\\a.dwg", L"D:\\maps\\B.dwg", L"D:\\Maps\\A.dwg",
                                 L"D:\\maps\\B.dwg"}),
              2);
    EXPECT_EQ(list.bulkAdds, 1);
    EXPECT_EQ(list.Items(), (Paths{L"D:\\maps\\a.dwg", L"D:\\Maps\\A.dwg", L"D:\\maps\\B.dwg"}));

    // Nothing new: the list is not touched at all.
    EXPECT_EQ(AddNewPaths(list, {L"D:\\maps\\a.dwg"}), 0);
    EXPECT_EQ(AddNewPaths(list, {}), 0);
    EXPECT_EQ(list.bulkAdds, 1);
}

struct RecordedBoxes : MessageBoxes {
    struct Box {
        std::wstring text, title;
        unsigned style;
    };
    std::vector<Box> shown;
    void Show(std::wstring_view text, unsigned style, std::wstring_view title) override {
        shown.push_back({std::wstring(text), std::wstring(title), style});
    }
};

TEST(DropDrawings, AddsTheNewDrawingsSilentlyAndTellsWhatTheListRefused) {
    FakeFolders disk;
    disk.files = {L"D:\\a.dwg", L"D:\\b.txt"};
    disk.Folder(L"D:\\t", {F(L"a.dwg"), F(L"c.DWG")});
    CountingList list;
    RecordedBoxes boxes;
    list.AddItem(L"D:\\t\\a.dwg");
    DropDrawings(list, disk, Paths{L"D:\\a.dwg", L"D:\\t", L"D:\\b.txt", L"D:\\a.dwg"}, boxes);
    EXPECT_EQ(list.Items(), (Paths{L"D:\\a.dwg", L"D:\\t\\a.dwg", L"D:\\t\\c.DWG"}));

    // Dropped again, and dropped with no drawing at all: nothing changes.
    DropDrawings(list, disk, Paths{L"D:\\t", L"D:\\a.dwg"}, boxes);
    DropDrawings(list, disk, Paths{L"D:\\b.txt", L"D:\\nothing"}, boxes);
    EXPECT_EQ(list.ListCount(), 3);
    EXPECT_EQ(list.bulkAdds, 1);
    EXPECT_TRUE(boxes.shown.empty());

    // A list that takes one more entry: what it took stays, the rest is told.
    class AlmostFullList : public MemoryDrawingList {
        void AddItem(std::wstring_view text) override {
            if (ListCount() >= 1)
                throw RuntimeError(errnum::OutOfMemory);
            MemoryDrawingList::AddItem(text);
        }
    } full;
    DrawingDrop drop(full, Paths{L"D:\\t", L"D:\\a.dwg"});
    drop.Search(disk);
    const DropReport report = drop.Finish(full);
    EXPECT_EQ(full.Items(), Paths{L"D:\\t\\a.dwg"});
    EXPECT_EQ(report.added, 1);
    EXPECT_EQ(report.refused, 2);
    ShowDropReport(boxes, report);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, DropReportText(report));
    EXPECT_EQ(boxes.shown[0].style, MsgOkOnly); // no icon; the application's title
    EXPECT_EQ(boxes.shown[0].title, L"");
}

TEST(DropReportText, SaysWhatWasAddedAndWhatWasSkippedAndWhy) {
    EXPECT_EQ(DropReportText({.added = 20}), L"");
    EXPECT_EQ(DropReportText({.added = 20, .tooLong = 2, .refused = 3, .unreadFolders = 1}),
              L"已加入 20 张图纸，跳过 5 张。\n"
              L"2 张的路径超过 259 个字符，CAD 无法打开。\n"
              L"3 张因内存不足，列表无法再加入。\n"
              L"1 个文件夹无法读取或没有读完，其中的图纸可能没有全部加入。");
    // Folders alone skip no drawing that was seen.
    EXPECT_EQ(DropReportText({.added = 0, .unreadFolders = 4, .incomplete = true}),
              L"已加入 0 张图纸。\n"
              L"4 个文件夹无法读取或没有读完，其中的图纸可能没有全部加入。\n"
              L"内存不足，查找没有完成。");
}

} // namespace
} // namespace varno
