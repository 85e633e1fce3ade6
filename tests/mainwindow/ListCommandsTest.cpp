#include "mainwindow/ListCommands.h"

#include "app/HelpFile.h"
#include "support/MemoryDrawingList.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace varno {
namespace {

std::vector<std::wstring> Entries(const DrawingList& l) {
    return l.Items();
}

MemoryDrawingList ListOf(std::initializer_list<const wchar_t*> texts) {
    MemoryDrawingList l;
    for (auto t : texts)
        l.AddItem(t);
    return l;
}

TEST(DrawingList, KeepsCaseInsensitiveSortedOrder) {
    MemoryDrawingList l = ListOf({L"b.dwg", L"A.dwg", L"c.dwg", L"", L"B.DWG"});
    EXPECT_EQ(Entries(l), (std::vector<std::wstring>{L"", L"A.dwg", L"b.dwg", L"B.DWG", L"c.dwg"}));
}

TEST(DeleteSelected, RemovesExactlyTheSelectedEntries) {
    MemoryDrawingList l = ListOf({L"0", L"1", L"2", L"3", L"4", L"5"});
    for (int i : {1, 3, 4})
        l.SetSelected(i, true);
    DeleteSelected(l);
    EXPECT_EQ(Entries(l), (std::vector<std::wstring>{L"0", L"2", L"5"}));

    DeleteSelected(l); // nothing selected
    EXPECT_EQ(l.ListCount(), 3);
    MemoryDrawingList empty;
    DeleteSelected(empty);
    EXPECT_EQ(empty.ListCount(), 0);

    l.SetSelected(0, true);
    l.SetSelected(2, true);
    DeleteSelected(l);
    EXPECT_EQ(Entries(l), (std::vector<std::wstring>{L"2"}));
}

TEST(AnswerPaths, SplitsAtNulAndJoinsFolderAndNames) {
    EXPECT_TRUE(AnswerPaths(L"").empty());
    EXPECT_EQ(AnswerPaths(L"D:\\maps\\site plan 2.dwg"),
              (std::vector<std::wstring>{L"D:\\maps\\site plan 2.dwg"}));
    EXPECT_EQ(AnswerPaths(L"D:\\maps\0a.dwg\0site plan 2.dwg\0c.dwg"s),
              (std::vector<std::wstring>{L"D:\\maps\\a.dwg", L"D:\\maps\\site plan 2.dwg",
                                         L"D:\\maps\\c.dwg"}));
    // A drive root already ends with its backslash: no second one.
    EXPECT_EQ(AnswerPaths(L"C:\\\0a.dwg\0b.dwg"s),
              (std::vector<std::wstring>{L"C:\\a.dwg", L"C:\\b.dwg"}));
    // Every piece is kept, empty ones included.
    EXPECT_EQ(SplitAnswer(L"D:\\m\0\0x"s), (std::vector<std::wstring>{L"D:\\m", L"", L"x"}));
}

TEST(AddAnswer, AddsOnlyPathsNotYetListedComparingExactly) {
    MemoryDrawingList l;
    AddAnswer(l, L"D:\\maps\\a.dwg");
    AddAnswer(l, L"D:\\maps\\a.dwg");
    EXPECT_EQ(Entries(l), (std::vector<std::wstring>{L"D:\\maps\\a.dwg"}));

    // Case differs: a different text, so both stay.
    AddAnswer(l, L"D:\\Maps\\A.dwg");
    EXPECT_EQ(l.ListCount(), 2);

    // Several names: one already listed, one repeated within the answer.
    AddAnswer(l, L"D:\\maps\0a.dwg\0b.dwg\0b.dwg\0c.dwg"s);
    EXPECT_EQ(Entries(l), (std::vector<std::wstring>{L"D:\\maps\\a.dwg", L"D:\\Maps\\A.dwg",
                                                     L"D:\\maps\\b.dwg", L"D:\\maps\\c.dwg"}));

    // A drive-root selection names the same drawing as choosing it alone.
    AddAnswer(l, L"C:\\x.dwg");
    AddAnswer(l, L"C:\\\0x.dwg"s);
    EXPECT_EQ(l.ListCount(), 5);

    AddAnswer(l, L""); // an empty answer adds nothing
    EXPECT_EQ(l.ListCount(), 5);
}

TEST(HelpFilePath, OneBackslashBetweenFolderAndName) {
    EXPECT_EQ(HelpFilePath(L"D:\\Tools"), L"D:\\Tools\\varno.chm");
    EXPECT_EQ(HelpFilePath(L"D:\\"), L"D:\\varno.chm");
}

} // namespace
} // namespace varno
