// Drops decided without a disk: which names are drawings, the folder walk
// over a folder tree held in memory, and the merge into the list.
#include "mainwindow/DropDrawings.h"
#include "mainwindow/ListCommands.h"

#include "app/Error.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace varno {
namespace {

using Paths = std::vector<std::wstring>;

// Folders by full path; anything not a folder and not named as a file is missing.
class FakeFolders : public FolderReader {
  public:
    void Folder(const std::wstring& path, std::vector<FolderEntry> entries) {
        folders[path] = std::move(entries);
    }
    EntryKind KindOf(const std::wstring& path) override {
        if (linked.contains(path))
            return EntryKind::LinkedFolder;
        if (folders.contains(path) || unreadable.contains(path))
            return EntryKind::Folder;
        return files.contains(path) ? EntryKind::File : EntryKind::Missing;
    }
    bool Read(const std::wstring& folder, std::vector<FolderEntry>& out) override {
        reads.push_back(folder);
        auto it = folders.find(folder);
        if (it == folders.end() || unreadable.contains(folder))
            return false;
        out.insert(out.end(), it->second.begin(), it->second.end());
        return true;
    }
    std::map<std::wstring, std::vector<FolderEntry>> folders;
    std::set<std::wstring> files, unreadable, linked;
    Paths reads;
};

FolderEntry F(const wchar_t* name) {
    return {name, EntryKind::File};
}
FolderEntry D(const wchar_t* name) {
    return {name, EntryKind::Folder};
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

TEST(CollectDrawings, DroppedFilesAndFoldersDepthFirstSkippingWhatCannotBeRead) {
    FakeFolders disk;
    disk.files = {L"D:\\x\\A.DWG", L"D:\\x\\notes.txt", L"D:\\x\\b.Dwg"};
    disk.Folder(L"D:\\项目 一", {F(L"1.dwg"), D(L"sub"), F(L"readme.txt"), D(L"old.dwg"),
                                 D(L"locked"), D(L"empty"), D(L"link"), F(L"2.DWG")});
    disk.Folder(L"D:\\项目 一\\sub", {F(L"s.dwg"), D(L"deeper")});
    disk.Folder(L"D:\\项目 一\\sub\\deeper", {F(L"d.dwg")});
    disk.Folder(L"D:\\项目 一\\old.dwg", {F(L"in folder named like a drawing.dwg")});
    disk.Folder(L"D:\\项目 一\\empty", {});
    disk.Folder(L"D:\\项目 一\\locked", {F(L"never.dwg")});
    disk.unreadable = {L"D:\\项目 一\\locked", L"D:\\gone"};
    disk.Folder(L"D:\\项目 一\\link", {F(L"looped.dwg")});
    disk.folders[L"D:\\项目 一"][6].kind = EntryKind::LinkedFolder;

    const Paths dropped = {L"D:\\x\\A.DWG", L"D:\\项目 一",     L"D:\\x\\notes.txt",
                           L"D:\\gone",     L"Q:\\missing.dwg", L"D:\\x\\b.Dwg"};
    EXPECT_EQ(
        CollectDrawings(disk, dropped),
        (Paths{L"D:\\x\\A.DWG", L"D:\\项目 一\\1.dwg", L"D:\\项目 一\\2.DWG",
               L"D:\\项目 一\\sub\\s.dwg", L"D:\\项目 一\\sub\\deeper\\d.dwg",
               L"D:\\项目 一\\old.dwg\\in folder named like a drawing.dwg", L"D:\\x\\b.Dwg"}));
    // The linked folder inside the walk is never read; the unreadable ones are tried.
    EXPECT_EQ(std::count(disk.reads.begin(), disk.reads.end(), L"D:\\项目 一\\link"), 0);
    EXPECT_EQ(std::count(disk.reads.begin(), disk.reads.end(), L"D:\\gone"), 1);

    // A dropped folder that is a link is walked: the user chose it.
    disk.linked = {L"D:\\项目 一\\link"};
    EXPECT_EQ(CollectDrawings(disk, Paths{L"D:\\项目 一\\link"}),
              (Paths{L"D:\\项目 一\\link\\looped.dwg"}));

    // A drive root already ends with its backslash.
    disk.Folder(L"C:\\", {F(L"r.dwg"), D(L"s")});
    disk.Folder(L"C:\\s", {F(L"t.dwg")});
    EXPECT_EQ(CollectDrawings(disk, Paths{L"C:\\"}), (Paths{L"C:\\r.dwg", L"C:\\s\\t.dwg"}));
}

TEST(CollectDrawings, NothingLongerThanTheHostCanOpen) {
    FakeFolders disk;
    const std::wstring top = L"D:\\" + std::wstring(240, L'f');     // 243 characters
    const std::wstring deep = top + L"\\" + std::wstring(11, L'g'); // 255: no room for ".dwg"
    const std::wstring fits = std::wstring(kMaxDrawingPath - top.size() - 5, L'n') + L".dwg";
    disk.Folder(top,
                {F(fits.c_str()), F((L"n" + fits).c_str()), D(std::wstring(11, L'g').c_str())});
    disk.Folder(deep, {F(L".dwg")});
    const Paths got = CollectDrawings(disk, Paths{top});
    ASSERT_EQ(got, (Paths{top + L"\\" + fits}));
    EXPECT_EQ(got[0].size(), kMaxDrawingPath);
    EXPECT_EQ(std::count(disk.reads.begin(), disk.reads.end(), deep), 0);
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

TEST(DropDrawings, AddsTheNewDrawingsAndIsSilentWhenNothingOrTheListFails) {
    FakeFolders disk;
    disk.files = {L"D:\\a.dwg", L"D:\\b.txt"};
    disk.Folder(L"D:\\t", {F(L"a.dwg"), F(L"c.DWG")});
    CountingList list;
    list.AddItem(L"D:\\t\\a.dwg");
    DropDrawings(list, disk, Paths{L"D:\\a.dwg", L"D:\\t", L"D:\\b.txt", L"D:\\a.dwg"});
    EXPECT_EQ(list.Items(), (Paths{L"D:\\a.dwg", L"D:\\t\\a.dwg", L"D:\\t\\c.DWG"}));

    // Dropped again, and dropped with no drawing at all: nothing changes.
    DropDrawings(list, disk, Paths{L"D:\\t", L"D:\\a.dwg"});
    DropDrawings(list, disk, Paths{L"D:\\b.txt", L"D:\\nothing"});
    EXPECT_EQ(list.ListCount(), 3);
    EXPECT_EQ(list.bulkAdds, 1);

    // A list with no room left: the drop ends quietly.
    class FullList : public MemoryDrawingList {
        void AddItems(std::span<const std::wstring>) override {
            throw RuntimeError(errnum::OutOfMemory);
        }
    } full;
    EXPECT_NO_THROW(DropDrawings(full, disk, Paths{L"D:\\t"}));
    EXPECT_EQ(full.ListCount(), 0);
}

} // namespace
} // namespace varno
