#include "mainwindow/ListFileCodec.h"

#include "app/DrawingList.h"
#include "app/Error.h"
#include "app/Unicode.h"
#include "mainwindow/WindowsPaths.h"

#include <algorithm>

namespace varno {

namespace {

constexpr bool Wide16 = sizeof(wchar_t) == 2;

bool HasNonAscii(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return (c & 0x80) != 0; });
}

// A character of the program's text as an unsigned value.
char32_t Unit(wchar_t c) {
    return static_cast<char32_t>(c) & (Wide16 ? 0xFFFF : 0xFFFFFFFF);
}

// CJK unified ideographs (with extension A) and compatibility ideographs.
bool IsIdeograph(wchar_t c) {
    const char32_t u = Unit(c);
    return (u >= 0x3400 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF);
}

std::wstring JoinLines(std::span<const std::wstring> entries) {
    size_t size = 0;
    for (const auto& e : entries)
        size += e.size() + 2;
    std::wstring text;
    text.reserve(size);
    for (const auto& e : entries) {
        text += e;
        text += L"\r\n";
    }
    return text;
}

} // namespace

std::string EncodeListFile(std::span<const std::wstring> entries, const CodePage& ansi) {
    const std::wstring text = JoinLines(entries);
    // CR and LF are the same bytes in every ANSI code page, so the whole text
    // converts in one call. Bytes that would be read back as something else
    // (taken for UTF-8, or starting like a byte-order mark) are not used.
    if (auto bytes = ansi.Encode(text)) {
        if (!HasNonAscii(*bytes) || DecodeText(*bytes, ansi) == text)
            return std::move(*bytes);
    }
    if (auto bytes = WideToUtf8(text))
        return std::string(Utf8Bom) + *bytes;
    if (auto bytes = WideToUtf16Le(text))
        return std::string(Utf16LeBom) + *bytes;
    throw Error(errnum::InvalidFileFormat, L"The entries cannot be written as text");
}

namespace {

constexpr std::wstring_view Blanks = L" \t";

bool IsBlank(std::wstring_view text) {
    return text.find_first_not_of(Blanks) == std::wstring_view::npos;
}

} // namespace

std::vector<std::wstring> SplitLines(std::wstring_view text) {
    std::vector<std::wstring> lines;
    ForEachLine(text, [&lines](std::wstring_view line) { lines.emplace_back(line); });
    return lines;
}

std::optional<std::wstring_view> ListEntry(std::wstring_view line) {
    const size_t first = line.find_first_not_of(Blanks);
    if (first == std::wstring_view::npos)
        return std::nullopt;
    const size_t last = line.find_last_not_of(Blanks);
    if (last > first && line[first] == L'"' && line[last] == L'"') {
        const std::wstring_view inner = line.substr(first + 1, last - first - 1);
        if (IsBlank(inner))
            return std::nullopt;
        return inner;
    }
    return line;
}

std::optional<std::wstring> DecodeText(std::string_view bytes, const CodePage& ansi) {
    if (bytes.starts_with(Utf8Bom))
        return Utf8ToWide(bytes.substr(Utf8Bom.size()));
    if (bytes.starts_with(Utf16LeBom))
        return Utf16LeToWide(bytes.substr(Utf16LeBom.size()));
    if (!HasNonAscii(bytes) || !IsValidUtf8(bytes))
        return ansi.Decode(bytes);
    std::optional<std::wstring> utf8 = Utf8ToWide(bytes);
    // Chinese text in UTF-8 is made of three-byte sequences. Text that has
    // only two-byte ones may just as well be the ANSI code page's double-byte
    // characters (the 936 bytes of "图纸" are valid UTF-8): it is the ANSI
    // text when that reading is Chinese and the UTF-8 one has no Chinese.
    if (std::any_of(utf8->begin(), utf8->end(), [](wchar_t c) { return Unit(c) >= 0x800; }))
        return utf8;
    std::optional<std::wstring> text = ansi.Decode(bytes);
    if (text && std::any_of(text->begin(), text->end(), IsIdeograph))
        return text;
    return utf8;
}

namespace {

// The entries of decoded text; the format error for no text, or one with a
// NUL (which has no place in a path and would cut the entry short in the
// list).
std::vector<std::wstring> EntriesOf(const std::optional<std::wstring>& text) {
    if (!text || text->find(L'\0') != std::wstring::npos)
        throw Error(errnum::InvalidFileFormat, L"The file is not a list file");
    std::vector<std::wstring> entries;
    ForEachLine(*text, [&entries](std::wstring_view line) {
        if (const auto entry = ListEntry(line))
            entries.emplace_back(*entry);
    });
    return entries;
}

std::vector<std::wstring> ResolvedEntriesOf(const std::optional<std::wstring>& text,
                                            const std::wstring& listFile) {
    std::vector<std::wstring> entries = EntriesOf(text);
    for (std::wstring& entry : entries)
        if (!IsFullyQualified(EntryPath(entry)))
            entry = ResolveEntry(listFile, entry);
    return entries;
}

// For bytes without a byte-order mark that are valid both as UTF-8 and in
// the ANSI code page and read differently: the one of the two readings that
// is not taken. Nothing for any other bytes.
std::optional<std::wstring> OtherReading(std::string_view bytes, const CodePage& ansi,
                                         std::wstring_view taken) {
    if (bytes.starts_with(Utf8Bom) || bytes.starts_with(Utf16LeBom) || !HasNonAscii(bytes) ||
        !IsValidUtf8(bytes))
        return std::nullopt;
    std::optional<std::wstring> utf8 = Utf8ToWide(bytes), text = ansi.Decode(bytes);
    if (!utf8 || !text || *utf8 == *text)
        return std::nullopt;
    return *utf8 == taken ? std::move(text) : std::move(utf8);
}

} // namespace

std::vector<std::wstring> DecodeListFile(std::string_view bytes, const CodePage& ansi) {
    return EntriesOf(DecodeText(bytes, ansi));
}

std::vector<std::wstring> ReadListEntries(std::string_view bytes, const CodePage& ansi,
                                          const std::wstring& listFile, ListFileStore& files) {
    const std::optional<std::wstring> text = DecodeText(bytes, ansi);
    std::vector<std::wstring> entries = ResolvedEntriesOf(text, listFile);
    const std::optional<std::wstring> other = OtherReading(bytes, ansi, *text);
    if (!other || other->find(L'\0') != std::wstring::npos)
        return entries;
    // The lines are the same in both readings (CR and LF are never part of
    // another character), and so are the blank ones and the quotes.
    std::vector<std::wstring> others = ResolvedEntriesOf(other, listFile);
    if (others.size() != entries.size())
        return entries;
    // The first entries that differ, each reading beside the other.
    std::vector<std::wstring> paths;
    for (size_t i = 0; i < entries.size() && paths.size() < 2 * LookedUpEntries; ++i) {
        if (entries[i] != others[i]) {
            paths.emplace_back(EntryPath(entries[i]));
            paths.emplace_back(EntryPath(others[i]));
        }
    }
    if (paths.empty())
        return entries;
    const std::vector<bool> found = files.FilesExist(paths, LookUpTime);
    long lead = 0; // how many more drawings the other reading names, where both were looked for
    for (size_t i = 0; i + 1 < std::min(found.size(), paths.size()); i += 2)
        lead += static_cast<long>(found[i + 1]) - static_cast<long>(found[i]);
    return lead > 0 ? others : entries;
}

} // namespace varno
