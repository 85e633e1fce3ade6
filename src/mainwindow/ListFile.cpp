#include "mainwindow/ListFile.h"

#include "app/FileError.h"
#include "app/Unicode.h"

#include <algorithm>
#include <iterator>
#include <new>

namespace varno {

namespace {

constexpr bool Wide16 = sizeof(wchar_t) == 2;
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LeBom = "\xFF\xFE";

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

// Calls f with every line of the text, without its terminator: CR LF, a lone
// LF and a lone CR each end a line, and the last line needs none.
template <class F> void ForEachLine(std::wstring_view text, F&& f) {
    // The next CR and the next LF are each looked for with the fast search for
    // one character, and again only once a line has passed them.
    size_t cr = text.find(L'\r'), lf = text.find(L'\n');
    size_t start = 0;
    while (start < text.size()) {
        if (cr < start)
            cr = text.find(L'\r', start);
        if (lf < start)
            lf = text.find(L'\n', start);
        const size_t end = std::min(cr, lf);
        if (end == std::wstring_view::npos) {
            f(text.substr(start));
            return;
        }
        f(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == L'\r' && start < text.size() && text[start] == L'\n')
            ++start;
    }
}

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

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool HasDrive(std::wstring_view path) {
    return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':';
}

wchar_t UpperAscii(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// The root of a fully qualified path, its separator included: "C:\\" or
// "\\\\server\\share\\" (a UNC path without its share: all of it).
std::wstring_view RootOf(std::wstring_view path) {
    if (HasDrive(path))
        return path.substr(0, std::min<size_t>(3, path.size()));
    size_t at = 2; // past the two separators of a UNC path
    for (int part = 0; part < 2 && at < path.size(); ++part) {
        while (at < path.size() && !IsSeparator(path[at]))
            ++at;
        if (at < path.size())
            ++at;
    }
    return path.substr(0, at);
}

// root + the segments of rest, "." dropped and ".." taking back the segment
// before it (never the root).
std::wstring Normalised(std::wstring_view root, std::wstring_view rest) {
    std::vector<std::wstring_view> segments;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end]))
            ++end;
        const std::wstring_view segment = rest.substr(start, end - start);
        if (segment == L"..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != L".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::wstring path(root);
    if (!path.empty() && !IsSeparator(path.back()))
        path += L'\\';
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i > 0)
            path += L'\\';
        path += segments[i];
    }
    return path;
}

// A character no file name holds (a colon but a drive's, control characters,
// and the ones Windows reserves): a line with one names no file at all.
bool CanBePath(std::wstring_view name) {
    for (size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = name[i];
        if (c < 0x20 || std::wstring_view(L"\"<>|*?").find(c) != std::wstring_view::npos ||
            (c == L':' && i != 1))
            return false;
    }
    return true;
}

} // namespace

bool IsFullyQualified(std::wstring_view path) {
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return true;
    return path.size() >= 3 && HasDrive(path) && IsSeparator(path[2]);
}

std::wstring ResolveEntry(std::wstring_view listFile, std::wstring_view entry) {
    const std::wstring_view name = EntryPath(entry);
    if (IsFullyQualified(name) || !CanBePath(name) || !IsFullyQualified(listFile))
        return std::wstring(entry);
    const std::wstring_view root = RootOf(listFile);
    size_t slash = listFile.size();
    while (slash > root.size() && !IsSeparator(listFile[slash - 1]))
        --slash;
    const std::wstring_view folder = listFile.substr(root.size(), slash - root.size());
    if (!name.empty() && IsSeparator(name[0])) // \d.dwg: from the root
        return Normalised(root, name);
    if (HasDrive(name)) { // D:e.dwg
        if (HasDrive(listFile) && UpperAscii(name[0]) == UpperAscii(listFile[0]))
            return Normalised(root, std::wstring(folder) + L'\\' + std::wstring(name.substr(2)));
        return Normalised(std::wstring(name.substr(0, 2)) + L'\\', name.substr(2));
    }
    return Normalised(root, std::wstring(folder) + L'\\' + std::wstring(name));
}

std::wstring_view ListFileCancelText(ListFileCommand command) {
    return command == ListFileCommand::Save ? SaveCancelledText : ReadCancelledText;
}

std::wstring_view ListFileFailureText(ListFileCommand command, long errorNumber) {
    if (errorNumber == errnum::PathFileAccess)
        return ListFileCancelText(command);
    return FormatFailureText;
}

namespace {

// Runs one command under its error trap: any failure shows one message box
// chosen by its error number.
template <class Body> void Trapped(ListFileCommand command, MessageBoxes& messages, Body&& body) {
    if (const long number = Trap(std::forward<Body>(body)))
        messages.Show(ListFileFailureText(command, number), MsgCritical | MsgOkOnly, ErrorTitle);
}

void ShowCancelled(ListFileCommand command, MessageBoxes& messages) {
    messages.Show(ListFileCancelText(command), MsgCritical | MsgOkOnly, ErrorTitle);
}

// The CAD program's drawings, templates and standards files.
constexpr std::wstring_view CadExtensions[] = {L".dwg", L".dxf", L".dwt", L".dws"};

// The name after the last folder separator.
std::wstring_view FileNameOf(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

// Whether the bytes hold a NUL: a NUL byte, or after a UTF-16 LE mark a NUL
// character (a trailing odd byte aside).
bool HoldsNul(std::string_view bytes) {
    if (!bytes.starts_with(Utf16LeBom))
        return bytes.find('\0') != std::string_view::npos;
    for (size_t i = Utf16LeBom.size(); i + 1 < bytes.size(); i += 2)
        if (bytes[i] == '\0' && bytes[i + 1] == '\0')
            return true;
    return false;
}

// The first bytes up to and with their last line end, so that no line is
// judged by a part of it; none without a line end (a UTF-16 LE mark stays).
// CR and LF are never part of another character, in any of the encodings.
std::string_view WholeLines(std::string_view bytes) {
    if (bytes.starts_with(Utf16LeBom)) {
        for (size_t end = bytes.size() & ~size_t{1}; end > Utf16LeBom.size(); end -= 2)
            if ((bytes[end - 2] == '\r' || bytes[end - 2] == '\n') && bytes[end - 1] == '\0')
                return bytes.substr(0, end);
        return bytes.substr(0, Utf16LeBom.size());
    }
    const size_t end = bytes.find_last_of("\r\n");
    return end == std::string_view::npos ? std::string_view() : bytes.substr(0, end + 1);
}

// Every line of the text that adds an entry names a drawing.
bool NamesDrawingsOnly(std::wstring_view text) {
    bool only = true;
    ForEachLine(text, [&only](std::wstring_view line) {
        const auto entry = ListEntry(line);
        if (entry && !IsDrawingName(EntryPath(*entry)))
            only = false;
    });
    return only;
}

} // namespace

bool IsCadFileName(std::wstring_view path) {
    // Windows drops trailing dots and spaces from a name: "plan.dwg ." is plan.dwg.
    std::wstring_view name = FileNameOf(path);
    name = name.substr(0, name.find_last_not_of(L". ") + 1);
    return std::any_of(std::begin(CadExtensions), std::end(CadExtensions),
                       [name](std::wstring_view ext) { return EndsWithNoCase(name, ext); });
}

ExistingFile LookAtExisting(std::wstring_view path, const FileStart& file, const CodePage& ansi) {
    if (IsCadFileName(path) || file.size > MaxListFileBytes || HoldsNul(file.head))
        return ExistingFile::Other;
    // The lines are the same whichever of UTF-8 and the ANSI code page the
    // reader takes, and so is whether they end in ".dwg".
    const bool whole = file.head.size() >= file.size;
    const std::optional<std::wstring> text =
        DecodeText(whole ? std::string_view(file.head) : WholeLines(file.head), ansi);
    if (!text || text->find(L'\0') != std::wstring::npos || !NamesDrawingsOnly(*text))
        return ExistingFile::Other;
    return whole ? ExistingFile::ListFile : ExistingFile::ReadFurther;
}

std::wstring ReplaceQuestion(std::wstring_view path) {
    return L"“" + std::wstring(FileNameOf(path)) + L"”不是列表文件，确定要替换它吗？";
}

namespace {

// Whether a save may write the file: nothing is there, a list file is, or
// the user says Yes to replacing what is.
bool MayReplace(const std::wstring& path, ListFileServices services) {
    // A CAD file's name decides without its bytes.
    std::optional<FileStart> existing =
        services.files.Peek(path, IsCadFileName(path) ? 0 : ListFileProbeBytes);
    if (!existing)
        return true;
    ExistingFile kind = LookAtExisting(path, *existing, services.ansi);
    if (kind == ExistingFile::ReadFurther) {
        existing->head = services.files.ReadAll(path, MaxListFileBytes);
        existing->size = existing->head.size();
        kind = LookAtExisting(path, *existing, services.ansi);
    }
    return kind == ExistingFile::ListFile ||
           services.questions.Ask(ReplaceQuestion(path), ReplaceQuestionStyle) == MsgAnswerYes;
}

} // namespace

void SaveListFile(FileDialog& dialog, const DrawingList& list, ListFileServices services) {
    Trapped(ListFileCommand::Save, services.messages, [&] {
        dialog.DialogTitle = ListFileSaveTitle;
        if (!dialog.ShowSave())
            return ShowCancelled(ListFileCommand::Save, services.messages);
        if (!MayReplace(dialog.FileName, services))
            return;
        const std::vector<std::wstring> entries = list.Items();
        services.files.ReplaceWith(dialog.FileName, EncodeListFile(entries, services.ansi));
    });
}

void ReadListFile(FileDialog& dialog, DrawingList& list, ListFileServices services) {
    Trapped(ListFileCommand::Read, services.messages, [&] {
        dialog.DialogTitle = ListFileReadTitle;
        if (!dialog.ShowOpen())
            return ShowCancelled(ListFileCommand::Read, services.messages);
        list.ReplaceAll(ReadListEntries(services.files.ReadAll(dialog.FileName, MaxListFileBytes),
                                        services.ansi, dialog.FileName, services.files));
    });
}

} // namespace varno
