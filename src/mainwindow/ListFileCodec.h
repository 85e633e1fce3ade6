#pragma once
// The list file's bytes: the drawing list as plain text, one entry per line,
// each line ended by CR LF, in the system's ANSI code page. Reading also takes
// the list files people make by hand or with other tools (dir /s /b,
// PowerShell, scripts, Explorer's "Copy as path"): LF or CR line ends, quoted
// paths, blank lines.
#include "app/CodePage.h"
#include "app/ListFileStore.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varno {

// The bytes of a list file holding these entries, in order, each exactly as
// held. Every entry is followed by CR LF; no entries give no bytes. The text
// is in the ANSI code page when every entry has an exact representation there
// and those bytes read back as the same text; otherwise it is UTF-8 with a
// byte-order mark (or, for text that is not valid Unicode, UTF-16 LE with
// one), so that reading the file gives back the same entries: all of them,
// for entries that can name a file (not blank, no line end, not wrapped in
// double quotes).
std::string EncodeListFile(std::span<const std::wstring> entries, const CodePage& ansi);

// The text of a list file. A UTF-8 or UTF-16 LE byte-order mark decides the
// encoding; without one, bytes that are valid UTF-8 and not all ASCII are
// UTF-8 (unless they read as Chinese text in the ANSI code page and have no
// Chinese as UTF-8), everything else is the ANSI code page. Nothing when the
// bytes are not valid in their encoding.
std::optional<std::wstring> DecodeText(std::string_view bytes, const CodePage& ansi);

// The entries of a list file, in the file's order: its text as DecodeText
// reads it, split by SplitLines, each line taken by ListEntry. Raises
// errnum::InvalidFileFormat when the bytes are not text in their encoding or
// hold a NUL character.
std::vector<std::wstring> DecodeListFile(std::string_view bytes, const CodePage& ansi);

// The lines of decoded text, without their terminators. CR LF, a lone LF and
// a lone CR each end a line, mixed freely; the last line needs no terminator,
// and a terminator at the very end makes no extra line.
std::vector<std::wstring> SplitLines(std::wstring_view text);

// The entry that one line of a list file adds, or nothing. A line that is
// empty or only spaces and tabs adds nothing. A line that, once its
// surrounding spaces and tabs are set aside, starts and ends with a double
// quote adds the text between that one pair (nothing when that text is
// blank). Every other line is added as it stands, spaces included.
std::optional<std::wstring_view> ListEntry(std::wstring_view line);

// The entries that reading the list file at listFile adds, in the file's
// order, each resolved against listFile (ResolveEntry): its text as
// DecodeListFile reads it, but for bytes without a byte-order mark that are
// valid both as UTF-8 and in the ANSI code page, and read differently: then
// the reading under which more of the drawings named exist. Only the first
// LookedUpEntries entries that differ are looked for, within LookUpTime in
// all (files.FilesExist); on a tie DecodeText's reading stands. Raises as
// DecodeListFile does.
std::vector<std::wstring> ReadListEntries(std::string_view bytes, const CodePage& ansi,
                                          const std::wstring& listFile, ListFileStore& files);
constexpr std::size_t LookedUpEntries = 50;
constexpr std::chrono::milliseconds LookUpTime{1000};

// The largest list file that is read: far beyond any real drawing list.
constexpr std::size_t MaxListFileBytes = std::size_t{256} << 20;

// The byte-order marks that decide a list file's encoding.
inline constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
inline constexpr std::string_view Utf16LeBom = "\xFF\xFE";

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

} // namespace varno
