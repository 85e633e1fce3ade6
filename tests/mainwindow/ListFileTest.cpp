#include "mainwindow/ListFileCodec.h"
#include "mainwindow/ListFileCommands.h"
#include "mainwindow/WindowsPaths.h"

#include "app/FileError.h"
#include "app/Folders.h"
#include "app/Unicode.h"
#include "support/IconvCodePage.h"
#include "support/MemoryDrawingList.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>

using namespace std::string_literals;
using namespace std::string_view_literals;

namespace varno {
namespace {

using Lines = std::vector<std::wstring>;

const test::IconvCodePage& Gbk() {
    static const test::IconvCodePage cp("CP936");
    return cp;
}

Lines Decode(std::string_view bytes) {
    return DecodeListFile(bytes, Gbk());
}
std::string Encode(const Lines& entries) {
    return EncodeListFile(entries, Gbk());
}

long DecodeError(std::string_view bytes) {
    try {
        Decode(bytes);
    } catch (const Error& e) {
        return e.Number();
    }
    return 0;
}

// "D:\图纸\一层平面.dwg" in code page 936.
const std::string GbkPath = "D:\\\xcd\xbc\xd6\xbd\\\xd2\xbb\xb2\xe3\xc6\xbd\xc3\xe6.dwg";
const std::wstring WidePath = L"D:\\图纸\\一层平面.dwg";

TEST(ListFileFormat, WritesEveryEntryFollowedByCrLf) {
    EXPECT_EQ(Encode({L"A.dwg", L"b.dwg"}), "A.dwg\r\nb.dwg\r\n");
    EXPECT_EQ(Encode({}), "");
    EXPECT_EQ(Encode({L""}), "\r\n");
    EXPECT_EQ(Encode({L"", L"  C:\\a b\\c.dwg  ", L""}), "\r\n  C:\\a b\\c.dwg  \r\n\r\n");
}

TEST(ListFileFormat, CrLfLoneLfAndLoneCrEachEndALine) {
    EXPECT_EQ(Decode(""), Lines{});
    EXPECT_EQ(Decode("A.dwg\r\nb.dwg\r\n"), (Lines{L"A.dwg", L"b.dwg"}));
    EXPECT_EQ(Decode("A.dwg\nb.dwg\n"), (Lines{L"A.dwg", L"b.dwg"}));
    EXPECT_EQ(Decode("A.dwg\rb.dwg\r"), (Lines{L"A.dwg", L"b.dwg"}));
    // A last line without terminator still counts; a final terminator adds no line.
    EXPECT_EQ(Decode("A.dwg\r\nb.dwg"), (Lines{L"A.dwg", L"b.dwg"}));
    EXPECT_EQ(Decode("A.dwg\nb.dwg"), (Lines{L"A.dwg", L"b.dwg"}));
    EXPECT_EQ(Decode("only"), (Lines{L"only"}));
    // Mixed within one file; LF CR is two line ends, CR LF one.
    EXPECT_EQ(Decode("a\r\nb\nc\rd\n\re\r\r\nf"), (Lines{L"a", L"b", L"c", L"d", L"e", L"f"}));
    EXPECT_EQ(SplitLines(L"a\n\rb\r\r\nc\r\n\nd\n"),
              (Lines{L"a", L"", L"b", L"", L"c", L"", L"d"}));
    EXPECT_EQ(SplitLines(L"\r\n"), Lines{L""});
    EXPECT_EQ(SplitLines(L"\n\n"), (Lines{L"", L""}));
    // Spaces around an unquoted entry are kept, as are repeated lines.
    EXPECT_EQ(Decode("  a \r\n\tb\t\n a\r a\r"), (Lines{L"  a ", L"\tb\t", L" a", L" a"}));
}

TEST(ListFileFormat, BlankLinesAddNoEntry) {
    EXPECT_EQ(Decode("\r\n"), Lines{});
    EXPECT_EQ(Decode("\n\n\r\r\n"), Lines{});
    EXPECT_EQ(Decode("a\r\n\r\nb\r\n\r\n"), (Lines{L"a", L"b"}));
    EXPECT_EQ(Decode(" \r\n\t\r\n \t \t\nx\n   "), Lines{L"x"});
    // Other white space is part of a name as far as the list file knows.
    EXPECT_EQ(Decode("\xA1\xA1\r\n"), Lines{L"\u3000"}); // full-width space in 936
    EXPECT_EQ(Decode("\x0B\r\n"), Lines{L"\x0B"});
}

TEST(ListFileFormat, OnePairOfSurroundingQuotesIsRemoved) {
    const auto entry = [](std::wstring_view line) { return ListEntry(line).value_or(L"<none>"); };
    EXPECT_EQ(entry(L"\"C:\\a b.dwg\""), L"C:\\a b.dwg");
    EXPECT_EQ(entry(L"  \"C:\\a b.dwg\"  "), L"C:\\a b.dwg");
    EXPECT_EQ(entry(L"\t\"C:\\a.dwg\"\t "), L"C:\\a.dwg");
    // Spaces inside the quotes belong to the entry.
    EXPECT_EQ(entry(L"\" C:\\a.dwg \""), L" C:\\a.dwg ");
    // Only one pair, only at both ends.
    EXPECT_EQ(entry(L"\"\"C:\\a.dwg\"\""), L"\"C:\\a.dwg\"");
    EXPECT_EQ(entry(L"\"C:\\a.dwg"), L"\"C:\\a.dwg");
    EXPECT_EQ(entry(L"C:\\a.dwg\""), L"C:\\a.dwg\"");
    EXPECT_EQ(entry(L" \"C:\\a.dwg"), L" \"C:\\a.dwg");
    EXPECT_EQ(entry(L"C:\\\"a\".dwg"), L"C:\\\"a\".dwg");
    EXPECT_EQ(entry(L"\"a\" \"b\""), L"a\" \"b");
    EXPECT_EQ(entry(L"\""), L"\"");
    EXPECT_EQ(entry(L"  \"  "), L"  \"  ");
    // Quotes around nothing, or around blanks, name nothing.
    EXPECT_EQ(entry(L"\"\""), L"<none>");
    EXPECT_EQ(entry(L" \"\" "), L"<none>");
    EXPECT_EQ(entry(L"\" \t \""), L"<none>");
    EXPECT_EQ(entry(L""), L"<none>");
    EXPECT_EQ(entry(L" \t "), L"<none>");

    // Explorer's "Copy as path", pasted into an editor.
    EXPECT_EQ(Decode("\"D:\\\xcd\xbc\xd6\xbd\\a b.dwg\"\r\n\"\"\r\n\"C:\\x.dwg\""),
              (Lines{L"D:\\图纸\\a b.dwg", L"C:\\x.dwg"}));
}

TEST(ListFileFormat, ReadsTheFilesThatOtherToolsMake) {
    // dir /s /b *.dwg > 图纸.txt: code page 936, CR LF.
    EXPECT_EQ(Decode(GbkPath + "\r\nD:\\\xcd\xbc\xd6\xbd\\b.dwg\r\n"),
              (Lines{WidePath, L"D:\\图纸\\b.dwg"}));
    // PowerShell 5.1's ">": UTF-16 LE with a mark, CR LF, and a blank last line.
    std::string utf16 = "\xFF\xFE";
    for (wchar_t c : WidePath + L"\r\nC:\\a b.dwg\r\n\r\n")
        utf16 += {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
    EXPECT_EQ(Decode(utf16), (Lines{WidePath, L"C:\\a b.dwg"}));
    // PowerShell 7: UTF-8 without a mark, CR LF on Windows and LF from elsewhere.
    const std::string utf8Path = "D:\\\xE5\x9B\xBE\xE7\xBA\xB8\\\xE4\xB8\x80\xE5\xB1\x82\xE5\xB9"
                                 "\xB3\xE9\x9D\xA2.dwg";
    EXPECT_EQ(Decode(utf8Path + "\r\nC:\\x.dwg\r\n"), (Lines{WidePath, L"C:\\x.dwg"}));
    EXPECT_EQ(Decode(utf8Path + "\nC:\\x.dwg\n\n"), (Lines{WidePath, L"C:\\x.dwg"}));
    // A script on Linux: UTF-8, quoted paths, LF, a trailing blank line.
    EXPECT_EQ(Decode("\xEF\xBB\xBF\"" + utf8Path + "\"\n\"C:\\x.dwg\"\n\n"),
              (Lines{WidePath, L"C:\\x.dwg"}));
}

TEST(ListFileFormat, ChinesePathsTravelInCodePage936) {
    EXPECT_EQ(Encode({WidePath, L"x.dwg"}), GbkPath + "\r\nx.dwg\r\n");
    EXPECT_EQ(Decode(GbkPath + "\r\nx.dwg\r\n"), (Lines{WidePath, L"x.dwg"}));
    EXPECT_EQ(Decode(Encode({WidePath})), Lines{WidePath});
}

TEST(ListFileFormat, EntriesTheCodePageCannotHoldAreWrittenAsUtf8) {
    const Lines entries{WidePath, L"C:\\한국\\도면.dwg", L"e.dwg"};
    const std::string bytes = Encode(entries);
    ASSERT_TRUE(bytes.starts_with("\xEF\xBB\xBF"));
    EXPECT_EQ(bytes.substr(3), "D:\\\xE5\x9B\xBE\xE7\xBA\xB8\\\xE4\xB8\x80\xE5\xB1\x82\xE5\xB9\xB3"
                               "\xE9\x9D\xA2.dwg\r\nC:\\\xED\x95\x9C\xEA\xB5\xAD\\\xEB\x8F\x84"
                               "\xEB\xA9\xB4.dwg\r\ne.dwg\r\n");
    EXPECT_EQ(Decode(bytes), entries);
    // Characters beyond the basic plane too.
    const Lines emoji{L"C:\\\U0001F600.dwg"};
    EXPECT_EQ(Decode(Encode(emoji)), emoji);
}

TEST(ListFileFormat, AnsiBytesThatWouldReadBackAsOtherTextAreWrittenAsUtf8) {
    // The 936 bytes of "鍥剧焊" are the UTF-8 bytes of "图纸".
    const Lines mojibake{L"鍥剧焊"};
    std::string bytes = Encode(mojibake);
    EXPECT_EQ(bytes, "\xEF\xBB\xBF\xE9\x8D\xA5\xE5\x89\xA7\xE7\x84\x8A\r\n");
    EXPECT_EQ(Decode(bytes), mojibake);
    // The 936 bytes of "锘靠" start like a UTF-8 byte-order mark.
    const Lines markLike{L"锘靠.dwg"};
    bytes = Encode(markLike);
    EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBF\xE9\x94\x98"));
    EXPECT_EQ(Decode(bytes), markLike);
    // Chinese text whose 936 bytes happen to be valid UTF-8 stays ANSI.
    EXPECT_EQ(Encode({L"模"}), "\xC4\xA3\r\n");
}

TEST(ListFileFormat, TextThatIsNotUnicodeIsWrittenAsUtf16) {
    // An unpaired surrogate (a name the file system can hold) has no UTF-8 form.
    const Lines entries{L"a.dwg", std::wstring(1, static_cast<wchar_t>(0xD800)) + L".dwg"};
    const std::string bytes = Encode(entries);
    EXPECT_TRUE(bytes.starts_with("\xFF\xFE"));
    EXPECT_EQ(Decode(bytes), entries);
}

TEST(ListFileFormat, ReadsByteOrderMarksAndDetectsUtf8) {
    EXPECT_EQ(Decode("\xEF\xBB\xBF"), Lines{});
    EXPECT_EQ(Decode("\xEF\xBB\xBF"
                     "a\r\n\xE5\x9B\xBE.dwg"),
              (Lines{L"a", L"图.dwg"}));
    EXPECT_EQ(Decode("\xFF\xFE"
                     "a\0\r\0\n\0\xFE\x56\r\0"s),
              (Lines{L"a", L"图"}));
    EXPECT_EQ(Decode("\xFF\xFE"), Lines{});
    // No mark: valid UTF-8 with non-ASCII bytes is UTF-8, anything else ANSI.
    EXPECT_EQ(Decode("C:\\\xE5\x9B\xBE\xE7\xBA\xB8\\a.dwg\r\n"), Lines{L"C:\\图纸\\a.dwg"});
    EXPECT_EQ(Decode("C:\\\xCD\xBC\xD6\xBD\\a.dwg\r\n"), Lines{L"C:\\图纸\\a.dwg"});
    EXPECT_EQ(Decode("C:\\\xCD\xBC\xD6\xBD\xB0\xA1\\a.dwg\r\n"), Lines{L"C:\\图纸啊\\a.dwg"});
    EXPECT_EQ(Decode("plain.dwg"), Lines{L"plain.dwg"});
}

TEST(ListFileFormat, TwoByteUtf8IsTheAnsiTextWhenThatReadsAsChinese) {
    // "图纸" in 936 is also valid UTF-8 (U+037C U+05BD): the Chinese reading wins.
    EXPECT_EQ(Decode("D:\\\xCD\xBC\xD6\xBD\\1.dwg"), Lines{L"D:\\图纸\\1.dwg"});
    // Every two-byte UTF-8 sequence is a character of 936, so accented Latin
    // text in UTF-8 without a mark reads as 936 there ...
    EXPECT_EQ(Decode("caf\xC3\xA9.dwg"), Lines{L"caf茅.dwg"});
    // ... but as UTF-8 where the ANSI reading is no Chinese.
    const test::IconvCodePage western("CP1252");
    EXPECT_EQ(DecodeListFile("caf\xC3\xA9.dwg", western), Lines{L"café.dwg"});
    EXPECT_EQ(DecodeListFile("caf\xE9.dwg", western), Lines{L"café.dwg"});
    EXPECT_EQ(EncodeListFile({{L"café.dwg"}}, western), "caf\xE9.dwg\r\n");
}

TEST(ListFileFormat, BytesThatAreNotTextFailWithTheFormatError) {
    constexpr long bad = errnum::InvalidFileFormat;
    EXPECT_EQ(DecodeError("a\0b\r\n"s), bad); // NUL
    EXPECT_EQ(DecodeError("\xFF\xFE"
                          "a\0\0\0"s),
              bad);                                          // NUL in UTF-16
    EXPECT_EQ(DecodeError("a.dwg\r\n\xFF"), bad);            // not in code page 936
    EXPECT_EQ(DecodeError("a.dwg\r\n\xCD"), bad);            // lead byte cut off
    EXPECT_EQ(DecodeError("\xCD\r\n"), bad);                 // lead byte before CR
    EXPECT_EQ(DecodeError("\xEF\xBB\xBF\xB0\xA1"), bad);     // marked UTF-8 that is not
    EXPECT_EQ(DecodeError("\xEF\xBB\xBF\xED\xA0\x80"), bad); // UTF-8 surrogate
    EXPECT_EQ(DecodeError("\xEF\xBB\xBF\xC0\xAF"), bad);     // overlong UTF-8
    EXPECT_EQ(DecodeError("\xFF\xFE"
                          "a"),
              bad); // odd UTF-16
}

TEST(ListFileFormat, ArbitraryBytesReadTheSameWayEveryTime) {
    std::mt19937 random(4);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 64, '\0');
        for (auto& b : bytes)
            b = static_cast<char>(random() % 4 == 0 ? "\r\n\0 \t\""[random() % 6] : random());
        long error = 0;
        Lines first;
        try {
            first = Decode(bytes);
        } catch (const Error& e) {
            error = e.Number();
        }
        if (error) {
            EXPECT_EQ(error, errnum::InvalidFileFormat);
            EXPECT_EQ(DecodeError(bytes), error);
            continue;
        }
        EXPECT_EQ(Decode(bytes), first);
        // What was read is written and read back unchanged (bar entries that
        // are themselves wrapped in quotes, which lose one more pair).
        Lines plain;
        for (const auto& e : first) {
            EXPECT_FALSE(e.empty());
            EXPECT_EQ(e.find_first_of(L"\r\n"), std::wstring::npos);
            if (ListEntry(e) == std::wstring_view(e))
                plain.push_back(e);
        }
        EXPECT_EQ(Decode(Encode(plain)), plain);
    }
}

TEST(ListFileFormat, LargeFilesAndLongLines) {
    const std::wstring longLine(1 << 20, L'x');
    const std::string bytes = "a\r\n" + std::string(1 << 20, 'x') + "\r\nb";
    EXPECT_EQ(Decode(bytes), (Lines{L"a", longLine, L"b"}));

    std::string many;
    for (int i = 0; i < 100000; ++i)
        many += "C:\\d\\" + std::to_string(100000 + i) + ".dwg\r\n";
    const Lines lines = Decode(many);
    ASSERT_EQ(lines.size(), 100000u);
    EXPECT_EQ(lines.back(), L"C:\\d\\199999.dwg");
    EXPECT_EQ(Encode(lines), many);
}

TEST(FileErrorNumber, MapsSystemErrorsToRuntimeNumbers) {
    using namespace win32err;
    EXPECT_EQ(FileErrorNumber(FileNotFound), 53);
    EXPECT_EQ(FileErrorNumber(PathNotFound), 76);
    EXPECT_EQ(FileErrorNumber(BadNetPath), 76);
    for (unsigned long access : {AccessDenied, SharingViolation, LockViolation, InvalidName,
                                 BadPathName, FileNameExcedRange})
        EXPECT_EQ(FileErrorNumber(access), 75) << access;
    EXPECT_EQ(FileErrorNumber(DiskFull), 61);
    EXPECT_EQ(FileErrorNumber(HandleDiskFull), 61);
    // Everything else has a number of its own, never the access error.
    for (unsigned long other : {0ul, 1ul, ReadFault, WriteFault, 1117ul, 0xFFFFFFFFul})
        EXPECT_EQ(FileErrorNumber(other), errnum::DeviceIO) << other;
}

TEST(ListFileMessages, AccessErrorShowsTheCancelMessageEverythingElseTheFormatMessage) {
    EXPECT_EQ(ListFileFailureText(ListFileCommand::Save, 75), L"保存文件被取消！");
    EXPECT_EQ(ListFileFailureText(ListFileCommand::Read, 75), L"读取文件被取消！");
    EXPECT_EQ(ListFileCancelText(ListFileCommand::Save), L"保存文件被取消！");
    EXPECT_EQ(ListFileCancelText(ListFileCommand::Read), L"读取文件被取消！");
    for (long n : {53L, 76L, 61L, 57L, 7L, 321L, 32755L, 0L}) {
        EXPECT_EQ(ListFileFailureText(ListFileCommand::Save, n), L"数据文件格式有误或操作不当！");
        EXPECT_EQ(ListFileFailureText(ListFileCommand::Read, n), L"数据文件格式有误或操作不当！");
    }
}

// The commands, with a file system in memory and recorded message boxes.
struct ShownMessage {
    std::wstring text;
    unsigned style;
    std::wstring title;
    bool operator==(const ShownMessage&) const = default;
};

class RecordedMessages : public MessageBoxes, public Questions {
  public:
    void Show(std::wstring_view text, unsigned style, std::wstring_view title) override {
        shown.push_back({std::wstring(text), style, std::wstring(title)});
    }
    int Ask(std::wstring_view text, unsigned style, std::wstring_view title) override {
        asked.push_back({std::wstring(text), style, std::wstring(title)});
        return answer;
    }
    std::vector<ShownMessage> shown, asked;
    int answer = 7; // No
};

class MemoryFiles : public ListFileStore {
  public:
    std::string ReadAll(const std::wstring& path, std::size_t maxBytes) override {
        ++reads;
        if (failure)
            throw Error(failure, L"");
        auto it = files.find(path);
        if (it == files.end())
            throw FileError(win32err::FileNotFound);
        if (it->second.size() > maxBytes)
            throw Error(errnum::OutOfMemory, L"");
        return it->second;
    }
    std::optional<FileStart> Peek(const std::wstring& path, std::size_t headBytes) override {
        peeked = headBytes;
        if (failure)
            throw Error(failure, L"");
        auto it = files.find(path);
        if (it == files.end())
            return std::nullopt;
        const auto size = sizes.find(path);
        return FileStart{size != sizes.end() ? size->second : it->second.size(),
                         it->second.substr(0, headBytes)};
    }
    void ReplaceWith(const std::wstring& path, std::string_view bytes) override {
        ++writes;
        if (failure)
            throw Error(failure, L"");
        files[path] = bytes;
    }
    std::vector<bool> FilesExist(std::span<const std::wstring> paths,
                                 std::chrono::milliseconds limit) override {
        looked.assign(paths.begin(), paths.end());
        lookLimit = limit;
        std::vector<bool> found;
        for (size_t i = 0; i < paths.size() && i < answered; ++i)
            found.push_back(files.contains(paths[i]));
        return found;
    }
    std::map<std::wstring, std::string> files;
    std::map<std::wstring, std::uint64_t> sizes; // where a file is larger than its bytes here
    long failure = 0;
    int reads = 0, writes = 0;
    size_t peeked = 0;          // the first bytes last asked for
    size_t answered = SIZE_MAX; // how many paths FilesExist tells before its time is up
    Lines looked;
    std::chrono::milliseconds lookLimit{};
};

// A file dialog that answers with a name or is cancelled. Like the real
// one, it keeps the name it returned last and starts with it, also after a
// cancel.
class ScriptedDialog : public FileDialog {
  public:
    bool ShowOpen() override { return Show(false); }
    bool ShowSave() override { return Show(true); }
    std::optional<std::wstring> answer; // nothing: the user cancels
    std::vector<std::wstring> titles;
    std::vector<bool> saves;
    std::function<void()> raise;

  private:
    bool Show(bool save) {
        titles.push_back(DialogTitle);
        saves.push_back(save);
        if (raise)
            raise();
        if (!answer)
            return false;
        FileName = *answer;
        return true;
    }
};

class ListFileCommands : public ::testing::Test {
  protected:
    ListFileServices Services() { return {files, Gbk(), messages, messages}; }
    void Save(std::optional<std::wstring> name) {
        dialog.answer = std::move(name);
        SaveListFile(dialog, list, Services());
    }
    void Read(std::optional<std::wstring> name) {
        dialog.answer = std::move(name);
        ReadListFile(dialog, list, Services());
    }
    std::vector<ShownMessage> Shown(std::wstring_view text) {
        return {{std::wstring(text), 16u, L"错误"}};
    }
    static MemoryDrawingList ListOf(const Lines& entries) {
        MemoryDrawingList l;
        for (const auto& e : entries)
            l.AddItem(e);
        return l;
    }

    MemoryDrawingList list = ListOf({L"b.dwg", L"A.dwg", WidePath});
    MemoryFiles files;
    RecordedMessages messages;
    ScriptedDialog dialog;
};

TEST_F(ListFileCommands, SaveThenReadGivesBackTheSameList) {
    list = ListOf({L"D:\\d\\b.dwg", L"D:\\d\\A.dwg", WidePath});
    const Lines before = list.Items();
    Save(L"C:\\lists\\l.txt");
    EXPECT_EQ(files.files[L"C:\\lists\\l.txt"],
              "D:\\d\\A.dwg\r\nD:\\d\\b.dwg\r\n" + GbkPath + "\r\n");
    list.Clear();
    list.AddItem(L"other.dwg");
    Read(L"C:\\lists\\l.txt");
    EXPECT_EQ(list.Items(), before);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ListFileCommands, ReadingSortsTheEntriesAndSkipsBlankLines) {
    files.files[L"f"] = "C:\\x\\2.dwg\r\n\r\nC:\\x\\1.dwg\r\n";
    Read(L"f");
    EXPECT_EQ(list.Items(), (Lines{L"C:\\x\\1.dwg", L"C:\\x\\2.dwg"}));
    // A hand-made file saves back as clean CR LF lines.
    files.files[L"made"] = "\"C:\\x\\b.dwg\"\n  \n\"C:\\x\\a.dwg\"\n\n";
    Read(L"made");
    Save(L"clean");
    EXPECT_EQ(files.files[L"clean"], "C:\\x\\a.dwg\r\nC:\\x\\b.dwg\r\n");
    files.files[L"empty"] = "";
    Read(L"empty");
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_TRUE(messages.shown.empty());
}

// Entries that are not fully qualified name drawings beside the list file,
// not in whatever folder the CAD host would search.
TEST(ListFileEntries, RelativeEntriesAreResolvedAgainstTheListFilesFolder) {
    const std::wstring list = L"D:\\proj\\lists\\图纸.txt";
    const struct {
        const wchar_t* entry;
        const wchar_t* path;
    } rows[] = {
        {L"a.dwg", L"D:\\proj\\lists\\a.dwg"},
        {L"sub\\b.dwg", L"D:\\proj\\lists\\sub\\b.dwg"},
        {L"sub/b.dwg", L"D:\\proj\\lists\\sub\\b.dwg"},
        {L"..\\c.dwg", L"D:\\proj\\c.dwg"},
        {L".\\x\\..\\..\\..\\..\\c.dwg", L"D:\\c.dwg"}, // never above the root
        {L"\\d.dwg", L"D:\\d.dwg"},
        {L"d:e.dwg", L"D:\\proj\\lists\\e.dwg"},
        {L"E:e.dwg", L"E:\\e.dwg"},
        {L"  a b.dwg ", L"D:\\proj\\lists\\a b.dwg"},
        // Fully qualified: exactly as they stand, spaces and all.
        {L"C:\\x\\..\\y.dwg", L"C:\\x\\..\\y.dwg"},
        {L"  C:\\a.dwg ", L"  C:\\a.dwg "},
        {L"c:/a.dwg", L"c:/a.dwg"},
        {L"\\\\srv\\share\\a.dwg", L"\\\\srv\\share\\a.dwg"},
        // No path at all: as they stand.
        {L"\"D:\\half quoted.dwg", L"\"D:\\half quoted.dwg"},
        {L"a?.dwg", L"a?.dwg"},
        {L"ab:c.dwg", L"ab:c.dwg"}, // a stream name, not a file
    };
    for (const auto& row : rows)
        EXPECT_EQ(ResolveEntry(list, row.entry), row.path) << testing::PrintToString(row.entry);
    // A list file on a share, and one at a drive's root.
    EXPECT_EQ(ResolveEntry(L"\\\\srv\\share\\p\\l.txt", L"a.dwg"), L"\\\\srv\\share\\p\\a.dwg");
    EXPECT_EQ(ResolveEntry(L"\\\\srv\\share\\p\\l.txt", L"\\..\\d.dwg"), L"\\\\srv\\share\\d.dwg");
    EXPECT_EQ(ResolveEntry(L"C:\\l.txt", L"a.dwg"), L"C:\\a.dwg");
}

// dir /b > 图纸.txt beside the drawings: the list names those drawings, and
// a list saved afterwards holds their full paths.
TEST_F(ListFileCommands, ABareNamesListNamesTheDrawingsBesideIt) {
    files.files[L"D:\\图纸\\图纸.txt"] = "b.dwg\r\na.dwg\r\nC:\\x\\c.dwg\r\n";
    Read(L"D:\\图纸\\图纸.txt");
    EXPECT_EQ(list.Items(), (Lines{L"C:\\x\\c.dwg", L"D:\\图纸\\a.dwg", L"D:\\图纸\\b.dwg"}));
    Save(L"D:\\saved.txt");
    EXPECT_EQ(files.files[L"D:\\saved.txt"],
              "C:\\x\\c.dwg\r\nD:\\\xcd\xbc\xd6\xbd\\a.dwg\r\nD:\\\xcd\xbc\xd6\xbd\\b.dwg\r\n");
    EXPECT_TRUE(messages.shown.empty());
}

// A CAD file, or any file that does not read as a list of drawings, is
// replaced only after a Yes; a list file without a question. The rest of a
// file is read only when its first bytes are a list's.
TEST_F(ListFileCommands, AFileThatIsNotAListIsReplacedOnlyAfterAYes) {
    const std::string drawing = "AC1032\0\0\0\0\0\x01\x02"s;
    const std::string nulLast = std::string(ListFileProbeBytes - 1, 'a') + '\0';
    const std::string nulBeyond = std::string(ListFileProbeBytes, 'a') + '\0';
    const std::string utf16 = "\xFF\xFE"s + "a\0.\0d\0w\0g\0\r\0\n\0"s;
    const std::string dxf = "  0\r\nSECTION\r\n  2\r\nHEADER\r\n  9\r\n$ACADVER\r\n";
    std::string longList; // more lines than the first bytes hold, one cut by them
    for (int i = 0; longList.size() <= ListFileProbeBytes; ++i)
        longList += "  \"D:\\\xcd\xbc\xd6\xbd\\" + std::to_string(i) + ".DWG\"\r\n\n";
    enum Looks { AtName, AtHead, AtAll }; // how much of the file the save looks at
    const struct {
        std::wstring name;
        std::string bytes;
        std::uint64_t size; // 0: the size of the bytes
        bool asks;
        Looks looks = AtHead;
    } rows[] = {
        {L"D:\\图纸\\plan.dwg", drawing, 0, true, AtName},
        {L"D:\\图纸\\text.DWG", "a.dwg\r\n", 0, true, AtName},
        {L"D:\\图纸\\dots.Dwg. .", "a.dwg\r\n", 0, true, AtName},
        {L"D:\\图纸\\plan.bak", drawing, 0, true},
        {L"nul-last.txt", nulLast, 0, true},
        {L"huge.txt", "a.dwg\r\n", MaxListFileBytes + 1, true},
        {L"utf16-nul.txt", utf16 + "\0\0"s, 0, true},
        {L"nul-beyond.txt", nulBeyond, 0, true, AtAll}, // the reader would refuse it
        {L"D:\\图纸\\plan.dxf", dxf, 0, true, AtName},
        {L"empty.Dwt", "", 0, true, AtName},
        {L"a.dwg.DXF", "a.dwg\r\n", 0, true, AtName},
        {L"standards.dws", "a.dwg\r\n", 0, true, AtName},
        {L"notes.txt", "\xc3\xf7\xcc\xec\xbd\xbb\xcd\xbc\r\nD:\\a.dwg\r\n", 0, true},
        {L"purge.scr", "_.PURGE _A * _N\r\n", 0, true},
        {L"purge.lsp", "(defun c:p ()\n  (command \"_.purge\" \"_a\"))\n", 0, true},
        {L"a.dwg.txt", "a.dwg\r\nb.dwg.bak\r\n", 0, true},
        {L"not-text.txt", "a.dwg\r\n\xff.dwg\r\n", 0, true},
        {L"note-at-end.txt", longList + "done", 0, true, AtAll},
        {L"l.txt", "old.dwg\r\n", 0, false},
        {L"plan.dwg.txt", "old.dwg\r\n", MaxListFileBytes, false, AtAll},
        {L"dwg", "", 0, false},
        {L"blank.txt", "\r\n \t\n\r", 0, false},
        {L"made.txt", "\"C:\\a b.dwg\"\n\n  D:\\x.DWG \r\n\t\"\\\\srv\\y.dwg\"", 0, false},
        {L"utf16.txt", utf16, 0, false},
        {L"long.txt", longList, 0, false, AtAll},
    };
    const std::string saved = "A.dwg\r\nb.dwg\r\n" + GbkPath + "\r\n";
    const Lines before = list.Items();
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
        files.files = {{row.name, row.bytes}};
        files.sizes.clear();
        if (row.size)
            files.sizes[row.name] = row.size;
        messages.asked.clear();
        messages.answer = 7; // No
        files.reads = 0;
        Save(row.name);
        EXPECT_EQ(files.peeked, row.looks == AtName ? 0 : ListFileProbeBytes);
        EXPECT_EQ(files.reads, row.looks == AtAll ? 1 : 0);
        if (row.asks) {
            const std::wstring name = row.name.substr(row.name.find_last_of(L'\\') + 1);
            ASSERT_EQ(messages.asked.size(), 1u);
            EXPECT_EQ(messages.asked[0].text, L"“" + name + L"”不是列表文件，确定要替换它吗？");
            EXPECT_EQ(messages.asked[0].style, 4u + 48u + 256u); // Yes/No, No the default
            EXPECT_EQ(messages.asked[0].title, L"");
            EXPECT_EQ(files.files[row.name], row.bytes);
            messages.answer = 6; // Yes
            Save(row.name);
            EXPECT_EQ(messages.asked.size(), 2u);
        } else {
            EXPECT_TRUE(messages.asked.empty());
        }
        EXPECT_EQ(files.files[row.name], saved);
        EXPECT_EQ(list.Items(), before);
    }
    EXPECT_TRUE(messages.shown.empty());
}

// UTF-8 without a mark whose text is also valid code page 936 (two-byte
// sequences, or Chinese whose bytes happen to pair up): the reading whose
// drawings exist wins; where that does not tell, the choice of DecodeText.
TEST_F(ListFileCommands, AListThatReadsBothWaysTakesTheReadingWhoseDrawingsExist) {
    const std::wstring at = L"D:\\图纸\\l.txt";
    const Lines cafe{L"D:\\Café\\Müller.dwg", L"D:\\Café\\ß.dwg", L"C:\\x.dwg"};
    const Lines bare{L"Müller.dwg", L"  \"ß.dwg\""};
    const Lines chinese{L"D:\\图纸\\平面.dwg"}; // its UTF-8 bytes are valid 936 too
    std::vector<std::wstring> many;
    for (int i = 0; i < 60; ++i)
        many.push_back(L"D:\\Café\\" + std::to_wstring(i) + L".dwg");
    enum Exist { None, Utf8Ones, AnsiOnes, FirstUtf8SecondAnsi, Beyond50 };
    const struct {
        Lines lines;
        Exist exist;
        size_t answered; // within the time
        bool utf8;       // the reading taken
    } rows[] = {
        {cafe, Utf8Ones, SIZE_MAX, true},
        {cafe, None, SIZE_MAX, false}, // as today: 936
        {cafe, AnsiOnes, SIZE_MAX, false},
        {cafe, FirstUtf8SecondAnsi, SIZE_MAX, false}, // a tie
        {cafe, Utf8Ones, 0, false},                   // a share that does not answer
        {cafe, Utf8Ones, 1, false},                   // only half of the first pair told
        {cafe, Utf8Ones, 2, true},
        {bare, Utf8Ones, SIZE_MAX, true}, // looked for beside the list file
        {chinese, None, SIZE_MAX, true},  // as today: UTF-8
        {chinese, AnsiOnes, SIZE_MAX, false},
        {many, Beyond50, SIZE_MAX, false}, // only the first 50 that differ are looked for
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
        std::wstring text;
        for (const auto& line : row.lines)
            text += line + L"\n";
        const std::string bytes = *WideToUtf8(text);
        ASSERT_TRUE(Gbk().Decode(bytes)) << "valid in 936 as well";
        const auto resolve = [&](const Lines& entries) {
            Lines paths;
            for (const auto& e : entries)
                paths.push_back(ResolveEntry(at, e));
            return paths;
        };
        const Lines utf8 = resolve(DecodeListFile(bytes, test::IconvCodePage("UTF-8")));
        const Lines ansi = resolve(DecodeListFile(bytes, Gbk()));
        files.files = {{at, bytes}};
        for (size_t i = 0; i < utf8.size(); ++i) {
            const bool first = i == 0;
            if (row.exist == Utf8Ones || (row.exist == FirstUtf8SecondAnsi && first) ||
                (row.exist == Beyond50 && i >= LookedUpEntries))
                files.files[std::wstring(EntryPath(utf8[i]))] = "AC1032";
            if (row.exist == AnsiOnes || (row.exist == FirstUtf8SecondAnsi && i == 1))
                files.files[std::wstring(EntryPath(ansi[i]))] = "AC1032";
        }
        files.answered = row.answered;
        Read(at);
        EXPECT_EQ(list.Items(), ListOf(row.utf8 ? utf8 : ansi).Items());
        EXPECT_LE(files.looked.size(), 2 * LookedUpEntries);
        EXPECT_EQ(files.lookLimit, LookUpTime);
    }
    EXPECT_TRUE(messages.shown.empty());
    // A file that reads one way only, or the same both ways, is not looked for.
    files.looked.clear();
    for (const std::string& bytes : {"D:\\x.dwg\r\n"s,
                                     "\xEF\xBB\xBF"
                                     "D:\\\xC3\xA9"
                                     ".dwg\r\n"s,
                                     GbkPath + "\r\n"}) {
        files.files = {{at, bytes}};
        Read(at);
        EXPECT_TRUE(files.looked.empty());
    }
}

// A save writes a new file beside the list file and moves the old one to a
// backup name there: names longer than the list file's own, which must open
// wherever it opens, in a folder of 240 characters too.
TEST(ListFileSave, NamesBesideTheListFileOpenWhereverItOpens) {
    const std::wstring deep = L"D:\\" + std::wstring(236, L'深'); // 240 characters
    const std::wstring share = L"\\\\srv\\share\\" + std::wstring(226, L's');
    const struct {
        std::wstring list, beside;
    } rows[] = {
        {L"C:\\lists\\l.txt", L"C:\\lists\\~varno12.tmp"},
        {L"C:\\l.txt", L"C:\\~varno12.tmp"},
        {deep + L"\\l.txt", L"\\\\?\\" + deep + L"\\~varno12.tmp"},
        {share + L"\\l.txt", L"\\\\?\\UNC\\srv\\share\\" + share.substr(12) + L"\\~varno12.tmp"},
        {L"\\\\?\\C:\\a\\l.txt", L"\\\\?\\C:\\a\\~varno12.tmp"}, // a link's target, as told
        {L"\\\\?\\" + deep + L"\\l.txt", L"\\\\?\\" + deep + L"\\~varno12.tmp"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(NameBeside(row.list, L"~varno12.tmp"), row.beside) << row.list.size();
    // The plain form up to 247 characters, the long one from 248 on.
    const std::wstring longer = deep + L"\\" + std::wstring(20, L'x');
    EXPECT_EQ(LongPathForm(longer.substr(0, 247)), longer.substr(0, 247));
    EXPECT_EQ(LongPathForm(longer.substr(0, 248)), L"\\\\?\\" + longer.substr(0, 248));
}

TEST_F(ListFileCommands, SavingAnEmptyListWritesZeroBytesOverTheOldContent) {
    files.files[L"f"] = "old.dwg\r\n";
    list.Clear();
    Save(L"f");
    EXPECT_EQ(files.files[L"f"], "");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ListFileCommands, ShowsTheDialogWithTheCommandsTitle) {
    Save(L"f");
    Read(L"f");
    EXPECT_EQ(dialog.titles, (std::vector<std::wstring>{L"保存列表文件", L"读取列表文件"}));
    EXPECT_EQ(dialog.saves, (std::vector<bool>{true, false}));
}

TEST_F(ListFileCommands, ACancelledDialogShowsTheCancelMessageAndTouchesNothing) {
    const Lines before = list.Items();
    // Without an earlier name.
    Save(std::nullopt);
    Read(std::nullopt);
    EXPECT_EQ(messages.shown[0], Shown(L"保存文件被取消！")[0]);
    EXPECT_EQ(messages.shown[1], Shown(L"读取文件被取消！")[0]);
    EXPECT_EQ(files.reads + files.writes, 0);
    EXPECT_EQ(list.Items(), before);

    // With an earlier name still held by the dialog: it is neither written
    // over nor read again.
    Save(L"earlier");
    const std::string saved = files.files[L"earlier"];
    list.AddItem(L"new.dwg");
    const Lines changed = list.Items();
    Save(std::nullopt);
    EXPECT_EQ(dialog.FileName, L"earlier");
    EXPECT_EQ(files.files[L"earlier"], saved);
    files.files[L"earlier"] = "other.dwg\r\n";
    Read(std::nullopt);
    EXPECT_EQ(list.Items(), changed);
    EXPECT_EQ(files.writes, 1);
    EXPECT_EQ(files.reads, 0);
    ASSERT_EQ(messages.shown.size(), 4u);
    EXPECT_EQ(messages.shown[2], Shown(L"保存文件被取消！")[0]);
    EXPECT_EQ(messages.shown[3], Shown(L"读取文件被取消！")[0]);
}

TEST_F(ListFileCommands, AFailedReadLeavesTheListAsItWas) {
    const Lines before = list.Items();
    Read(L"missing.txt"); // 53
    EXPECT_EQ(messages.shown, Shown(L"数据文件格式有误或操作不当！"));
    files.files[L"binary"] = "\x01\x02\xFF\xFE\x00"s;
    files.files[L"binary2"] = "ok\r\n\x81"s;
    Read(L"binary");
    Read(L"binary2");
    files.failure = errnum::PathFileAccess;
    Read(L"locked");
    ASSERT_EQ(messages.shown.size(), 4u);
    EXPECT_EQ(messages.shown[1].text, L"数据文件格式有误或操作不当！");
    EXPECT_EQ(messages.shown[2].text, L"数据文件格式有误或操作不当！");
    EXPECT_EQ(messages.shown[3], Shown(L"读取文件被取消！")[0]);
    EXPECT_EQ(list.Items(), before);
}

// A drawing list that has no room for its n-th add (that one only).
class ListRefusingAnAdd : public MemoryDrawingList {
  public:
    explicit ListRefusingAnAdd(int nth) : nth_(nth) {}
    void AddItem(std::wstring_view text) override {
        if (++adds_ == nth_)
            throw Error(errnum::OutOfMemory, L"no room");
        MemoryDrawingList::AddItem(text);
    }

  private:
    int nth_;
    int adds_ = 0;
};

TEST_F(ListFileCommands, AReadThatFailsWhileAddingLeavesTheListAsItWas) {
    ListRefusingAnAdd refusing(5); // the three entries below, then the second line read
    for (const auto& e : list.Items())
        refusing.AddItem(e);
    files.files[L"f"] = "1.dwg\r\n2.dwg\r\n3.dwg\r\n";
    dialog.answer = L"f";
    ReadListFile(dialog, refusing, Services());
    EXPECT_EQ(messages.shown, Shown(L"数据文件格式有误或操作不当！"));
    EXPECT_EQ(refusing.Items(), list.Items());
}

TEST_F(ListFileCommands, AFailedSaveShowsItsMessage) {
    files.failure = errnum::PathFileAccess; // read-only target, file in use
    Save(L"ro.txt");
    files.failure = errnum::DiskFull;
    Save(L"full.txt");
    files.failure = errnum::PathNotFound;
    Save(L"X:\\no\\such\\folder\\l.txt");
    EXPECT_EQ(messages.shown[0], Shown(L"保存文件被取消！")[0]);
    EXPECT_EQ(messages.shown[1], Shown(L"数据文件格式有误或操作不当！")[0]);
    EXPECT_EQ(messages.shown[2], Shown(L"数据文件格式有误或操作不当！")[0]);
    EXPECT_EQ(messages.shown.size(), 3u);
}

TEST_F(ListFileCommands, AnyOtherFailureIsReportedNotThrown) {
    dialog.raise = [] { throw std::bad_alloc(); };
    Save(L"f");
    dialog.raise = [] { throw std::runtime_error("x"); };
    Read(L"f");
    dialog.raise = [] {
        throw Error(errnum::DialogBufferTooSmall, L"The file name buffer is too small.");
    };
    Read(L"f");
    ASSERT_EQ(messages.shown.size(), 3u);
    for (const auto& shown : messages.shown)
        EXPECT_EQ(shown, Shown(L"数据文件格式有误或操作不当！")[0]);
    EXPECT_EQ(list.ListCount(), 3);
    EXPECT_EQ(files.reads + files.writes, 0);
}

TEST_F(ListFileCommands, TheListKeepsWorkingBeyond32767Entries) {
    std::string bytes;
    for (int i = 0; i < 40000; ++i)
        bytes += "D:\\" + std::to_string(100000 + i) + ".dwg\r\n";
    files.files[L"big"] = bytes;
    Read(L"big");
    ASSERT_EQ(list.ListCount(), 40000);
    EXPECT_EQ(list.List(39999), L"D:\\139999.dwg");
    Save(L"copy");
    EXPECT_EQ(files.files[L"copy"], bytes);
}

} // namespace
} // namespace varno
