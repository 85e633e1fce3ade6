// The built help file varno.chm as the viewer reads it: decoded with
// extract_chmLib into a folder of its own, then checked for its language,
// its default topic, its contents and index, its links, its code page, and
// the program's own message texts.
#include "app/HostDialogs.h"
#include "app/Module1.h"
#include "app/Unicode.h"
#include "batch/PurgeRun.h"
#include "mainwindow/DropDrawings.h"
#include "mainwindow/ListCommands.h"
#include "mainwindow/ListFileCommands.h"
#include "mainwindow/Messages.h"
#include "support/IconvCodePage.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace varno {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::uint32_t LittleEndian(std::string_view bytes, std::size_t at, std::size_t size) {
    std::uint32_t v = 0;
    for (std::size_t i = size; i-- > 0;)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

// Text for a failure message.
std::string Utf8(std::wstring_view text) {
    return WideToUtf8(text).value_or("?");
}

// Runs extract_chmLib on the built file into a new temporary folder.
class Extracted {
  public:
    Extracted() {
        std::string dir = (fs::temp_directory_path() / "varno-help-XXXXXX").string();
        if (!mkdtemp(dir.data())) {
            error_ = "no temporary folder";
            return;
        }
        root_ = dir;
        std::string tool = VARNO_EXTRACT_CHMLIB, chm = VARNO_HELP_CHM;
        char* argv[] = {tool.data(), chm.data(), dir.data(), nullptr};
        pid_t pid;
        int status = 0;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv, environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            error_ = "extract_chmLib failed on " + chm;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Extracted() {
        std::error_code ignored;
        if (!root_.empty())
            fs::remove_all(root_, ignored);
    }
    Extracted(const Extracted&) = delete;
    Extracted& operator=(const Extracted&) = delete;

    const std::string& Error() const { return error_; }
    const fs::path& Root() const { return root_; }

  private:
    fs::path root_;
    std::string error_;
};

// An opening tag's attribute, matched without regard to letter case; its
// value as written, quoted or not.
std::optional<std::wstring> Attribute(std::wstring_view tag, std::wstring_view name) {
    auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c; };
    auto space = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    std::size_t i = 1;
    while (i < tag.size() && !space(tag[i]) && tag[i] != L'>')
        ++i; // the tag's own name
    while (i < tag.size()) {
        while (i < tag.size() && (space(tag[i]) || tag[i] == L'/'))
            ++i;
        const std::size_t start = i;
        while (i < tag.size() && !space(tag[i]) && tag[i] != L'=' && tag[i] != L'>')
            ++i;
        std::wstring attr(tag.substr(start, i - start));
        for (auto& c : attr)
            c = lower(c);
        if (attr.empty())
            return std::nullopt;
        while (i < tag.size() && space(tag[i]))
            ++i;
        std::optional<std::wstring> value;
        if (i < tag.size() && tag[i] == L'=') {
            ++i;
            while (i < tag.size() && space(tag[i]))
                ++i;
            if (i < tag.size() && (tag[i] == L'"' || tag[i] == L'\'')) {
                const std::size_t end = tag.find(tag[i], i + 1);
                if (end == std::wstring_view::npos)
                    return std::nullopt;
                value = std::wstring(tag.substr(i + 1, end - i - 1));
                i = end + 1;
            } else {
                const std::size_t v = i;
                while (i < tag.size() && !space(tag[i]) && tag[i] != L'>')
                    ++i;
                value = std::wstring(tag.substr(v, i - v));
            }
        }
        if (attr == name)
            return value ? value : std::wstring();
    }
    return std::nullopt;
}

// Every tag of an HTML text, from '<' to '>', comments left out.
std::vector<std::wstring> Tags(std::wstring_view html) {
    std::vector<std::wstring> tags;
    for (std::size_t i = html.find(L'<'); i != std::wstring_view::npos; i = html.find(L'<', i)) {
        if (html.substr(i, 4) == L"<!--") {
            i = html.find(L"-->", i);
            if (i == std::wstring_view::npos)
                break;
            continue;
        }
        const std::size_t end = html.find(L'>', i);
        if (end == std::wstring_view::npos)
            break;
        tags.emplace_back(html.substr(i, end - i + 1));
        i = end + 1;
    }
    return tags;
}

bool IsTag(std::wstring_view tag, std::wstring_view name) {
    if (tag.size() < name.size() + 2)
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        wchar_t c = tag[i + 1];
        if (c >= L'A' && c <= L'Z')
            c = wchar_t(c - L'A' + L'a');
        if (c != name[i])
            return false;
    }
    const wchar_t after = tag[name.size() + 1];
    return after == L' ' || after == L'>' || after == L'\t' || after == L'\r' || after == L'\n';
}

struct SitemapEntry {
    std::wstring name;
    std::wstring local;
};

// The entries of a contents or index file: every "text/sitemap" object with
// its Name and Local parameters.
std::vector<SitemapEntry> SitemapEntries(std::wstring_view html) {
    std::vector<SitemapEntry> entries;
    bool inEntry = false;
    for (const auto& tag : Tags(html)) {
        if (IsTag(tag, L"object")) {
            inEntry = Attribute(tag, L"type") == L"text/sitemap";
            if (inEntry)
                entries.emplace_back();
        } else if (IsTag(tag, L"/object")) {
            inEntry = false;
        } else if (inEntry && IsTag(tag, L"param")) {
            const auto param = Attribute(tag, L"name");
            const auto value = Attribute(tag, L"value").value_or(L"");
            if (param == L"Name")
                entries.back().name = value;
            else if (param == L"Local")
                entries.back().local = value;
        }
    }
    return entries;
}

class HelpFile : public testing::Test {
  protected:
    static void SetUpTestSuite() { extracted_ = new Extracted; }
    static void TearDownTestSuite() {
        delete extracted_;
        extracted_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(extracted_->Error().empty()) << extracted_->Error(); }

    const fs::path& Root() const { return extracted_->Root(); }

    // The records of #SYSTEM by their code: 0 contents file, 1 index file,
    // 2 default topic, 3 title, 4 the language and flags.
    std::map<unsigned, std::string> SystemRecords() const {
        const std::string bytes = ReadBytes(Root() / "#SYSTEM");
        std::map<unsigned, std::string> records;
        for (std::size_t at = 4; at + 4 <= bytes.size();) {
            const unsigned code = LittleEndian(bytes, at, 2);
            const std::size_t size = LittleEndian(bytes, at + 2, 2);
            if (at + 4 + size > bytes.size())
                break;
            records[code] = bytes.substr(at + 4, size);
            at += 4 + size;
        }
        return records;
    }

    // A text record without its terminating NUL.
    static std::string Text(const std::string& record) {
        return record.substr(0, record.find('\0'));
    }

    std::wstring Decoded(const fs::path& file) const {
        const std::string bytes = ReadBytes(file);
        const auto text = ansi_.Decode(bytes);
        EXPECT_TRUE(text) << file << " is not text in code page 936";
        return text.value_or(L"");
    }

    // Empty when the link, relative to the topic `from` (a path inside the
    // file), names a file inside the help file and, with a fragment, an
    // anchor in it; otherwise what is wrong.
    std::string CheckLink(const fs::path& from, const std::wstring& link) const {
        std::wstring target = link, fragment;
        if (const auto hash = link.find(L'#'); hash != std::wstring::npos) {
            target = link.substr(0, hash);
            fragment = link.substr(hash + 1);
        }
        const auto bytes = ansi_.Encode(target);
        if (!bytes)
            return "not in code page 936";
        const fs::path inside =
            target.empty() ? from : (from.parent_path() / *bytes).lexically_normal();
        if (inside.empty() || inside.is_absolute() || *inside.begin() == "..")
            return "points outside the help file";
        if (!fs::is_regular_file(Root() / inside))
            return "names no file in the help file";
        if (fragment.empty())
            return {};
        for (const auto& tag : Tags(Decoded(Root() / inside)))
            if (Attribute(tag, L"name") == fragment || Attribute(tag, L"id") == fragment)
                return {};
        return "names no anchor in " + inside.string();
    }

    std::vector<fs::path> Topics() const {
        std::vector<fs::path> topics;
        for (const auto& e : fs::recursive_directory_iterator(Root())) {
            const auto ext = e.path().extension();
            if (e.is_regular_file() && (ext == ".htm" || ext == ".html"))
                topics.push_back(fs::relative(e.path(), Root()));
        }
        return topics;
    }

    test::IconvCodePage ansi_{"CP936"};

  private:
    static Extracted* extracted_;
};

Extracted* HelpFile::extracted_ = nullptr;

TEST_F(HelpFile, IsSimplifiedChineseAndOpensOnItsDefaultTopic) {
    // The language is in the file's header and in #SYSTEM.
    const std::string chm = ReadBytes(VARNO_HELP_CHM);
    ASSERT_GE(chm.size(), 0x18u);
    EXPECT_EQ(chm.substr(0, 4), "ITSF");
    EXPECT_EQ(LittleEndian(chm, 0x14, 4), 0x0804u);

    auto records = SystemRecords();
    ASSERT_TRUE(records.count(4));
    ASSERT_GE(records[4].size(), 4u);
    EXPECT_EQ(LittleEndian(records[4], 0, 4), 0x0804u);

    for (unsigned code : {0u, 1u, 2u}) {
        ASSERT_TRUE(records.count(code)) << code;
        const std::string name = Text(records[code]);
        ASSERT_FALSE(name.empty()) << code;
        EXPECT_TRUE(fs::is_regular_file(Root() / name)) << name;
    }
    const auto title = ansi_.Decode(Text(records[3]));
    ASSERT_TRUE(title);
    EXPECT_NE(title->find(L"批量清理"), std::wstring::npos);
}

TEST_F(HelpFile, EveryContentsAndIndexEntryOpensATopic) {
    auto records = SystemRecords();
    for (unsigned code : {0u, 1u}) {
        const fs::path file = Text(records[code]);
        const std::string bytes = ReadBytes(Root() / file);
        // The viewer reads these in the file's ANSI code page: UTF-8 shows
        // garbled titles.
        EXPECT_FALSE(IsValidUtf8(bytes)) << file << " is UTF-8, not code page 936";
        const auto entries = SitemapEntries(Decoded(Root() / file));
        EXPECT_GE(entries.size(), 10u) << file;
        for (const auto& entry : entries) {
            EXPECT_FALSE(entry.name.empty()) << file;
            EXPECT_FALSE(entry.local.empty()) << file << ": " << Utf8(entry.name);
            EXPECT_EQ(CheckLink(file, entry.local), "")
                << file << ": " << Utf8(entry.name) << " -> " << Utf8(entry.local);
        }
    }
}

TEST_F(HelpFile, EveryTopicIsInCodePage936AndEveryLocalLinkResolves) {
    const auto topics = Topics();
    EXPECT_GE(topics.size(), 10u);
    int links = 0;
    for (const auto& topic : topics) {
        const std::wstring html = Decoded(Root() / topic);
        bool declared = false, titled = false;
        for (const auto& tag : Tags(html)) {
            if (IsTag(tag, L"meta")) {
                const auto content = Attribute(tag, L"content").value_or(L"");
                declared |= content.find(L"charset=gb2312") != std::wstring::npos;
            }
            titled |= IsTag(tag, L"title");
            for (const wchar_t* attr : {L"href", L"src"}) {
                const auto link = Attribute(tag, attr);
                if (!link)
                    continue;
                // An address with a scheme (http:, mailto:) leaves the file.
                const auto colon = link->find(L':');
                if (colon != std::wstring::npos && link->find(L'/') > colon)
                    continue;
                ++links;
                EXPECT_EQ(CheckLink(topic, *link), "") << topic << " -> " << Utf8(*link);
            }
        }
        EXPECT_TRUE(declared) << topic << " does not declare its code page";
        EXPECT_TRUE(titled) << topic << " has no title";
    }
    EXPECT_GT(links, 20);
}

TEST_F(HelpFile, ExplainsEveryMessageInTheProgramsOwnWords) {
    std::wstring all;
    for (const auto& topic : Topics())
        all += Decoded(Root() / topic);
    std::wstring index;
    for (const auto& entry : SitemapEntries(Decoded(Root() / Text(SystemRecords()[1]))))
        index += entry.name + L'\n';

    // Every message of the program, from the program's own list.
    const std::vector<std::wstring_view> messages = ProgramMessages();
    std::vector<std::wstring> texts(messages.begin(), messages.end());
    // And what the progress window says.
    texts.emplace_back(DoneText);
    texts.push_back(ProgressText(3, 12));
    texts.emplace_back(StoppingText);
    texts.emplace_back(StoppedText);
    texts.emplace_back(CadWaitsText);
    // And the buttons after a failed drawing, as the help names them.
    for (const std::wstring_view button :
         {SkipButtonText, SkipAllButtonText, RetryButtonText, StopButtonText})
        texts.emplace_back(L">" + std::wstring(button.substr(0, button.find(L'('))) + L"<");
    // And the question before a stop, line by line.
    texts.emplace_back(StopQuestionText.substr(0, StopQuestionText.find(L'\n')));
    texts.emplace_back(StopQuestionText.substr(StopQuestionText.rfind(L'\n') + 1));
    // And every CAD program the run works with, by name and identifier.
    for (const CadHost& cad : CadHosts) {
        texts.emplace_back(cad.name);
        texts.emplace_back(cad.progId);
    }
    // And the question before a save replaces a file that is not a list.
    texts.push_back(ReplaceQuestion(L"D:\\图纸\\plan.dwg"));
    // And every line the message after a drop can have, as the help shows them.
    const std::wstring skipped = DropReportText(
        {.added = 1200, .tooLong = 3, .refused = 2, .unreadFolders = 1, .incomplete = true});
    for (std::size_t at = 0, end = 0; at < skipped.size(); at = end + 1) {
        end = std::min(skipped.find(L'\n', at), skipped.size());
        texts.push_back(skipped.substr(at, end - at));
    }
    for (const auto& text : texts) {
        EXPECT_NE(all.find(text), std::wstring::npos) << Utf8(text) << " is not in any topic";
    }
    // Each message can be looked up in the index by its own words.
    for (const std::wstring_view text : messages)
        EXPECT_NE(index.find(std::wstring(text) + L'\n'), std::wstring::npos)
            << Utf8(text) << " is not in the index";
}

} // namespace
} // namespace varno
