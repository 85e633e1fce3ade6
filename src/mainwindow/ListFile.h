#pragma once
// The list file: the drawing list as plain text, one entry per line, each
// line ended by CR LF, in the system's ANSI code page; and the save and read
// commands of the main window built on it. Reading also takes the list files
// people make by hand or with other tools (dir /s /b, PowerShell, scripts,
// Explorer's "Copy as path"): LF or CR line ends, quoted paths, blank lines.
#include "app/CodePage.h"
#include "app/DrawingList.h"
#include "app/FileDialog.h"
#include "app/ListFileStore.h"
#include "app/Ui.h"

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

// A path that names the same file whatever the current folder and drive: a
// drive letter and colon followed by a backslash (or a slash), or a UNC path
// (two of them first).
bool IsFullyQualified(std::wstring_view path);

// The entry as a path of its own. One that is not fully qualified once its
// surrounding spaces are set aside (a bare name as `dir /b` writes it,
// sub\b.dwg, ..\c.dwg, \d.dwg, D:e.dwg) names a file beside the list file:
// it is joined to the list file's folder (\d.dwg to the root of its drive or
// share, D:e.dwg to the root of D: unless the list file is on D:), and its
// "." and ".." are resolved, never above that root. A fully qualified entry
// stays exactly as it is, and so does one that cannot be a path (it holds a
// character no file name can). listFile is the list file's own full path.
std::wstring ResolveEntry(std::wstring_view listFile, std::wstring_view entry);

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

// How much of an existing file a save looks at first.
constexpr std::size_t ListFileProbeBytes = std::size_t{64} << 10;

// The file is named as one of the CAD program's own: it ends in ".dwg",
// ".dxf", ".dwt" or ".dws" (any letter case; trailing dots and spaces
// dropped, as Windows drops them).
bool IsCadFileName(std::wstring_view path);

// What an existing file is to a save that would replace it.
enum class ExistingFile {
    ListFile,    // replaced without asking
    Other,       // replaced only after a Yes
    ReadFurther, // its first bytes read as a list file's: the whole file decides
};

// Looks at an existing file: its size and first bytes (all of them, or the
// first ListFileProbeBytes). A list file is one that reads as a list of
// drawings: empty, or every line that adds an entry (decoded and taken as
// DecodeListFile does) names a drawing (IsDrawingName, of the path the entry
// names). A file named as a CAD file, one larger than MaxListFileBytes, one
// with a NUL (a NUL character after a UTF-16 LE mark) and one that is not
// text in its encoding are not. Only whole lines of the first bytes are
// judged: the rest of the file is needed only when they all name drawings.
ExistingFile LookAtExisting(std::wstring_view path, const FileStart& file, const CodePage& ansi);

// The question before a save replaces a file that is not a list file, and
// its message box style: Yes and No, No the default.
std::wstring ReplaceQuestion(std::wstring_view path);
constexpr unsigned ReplaceQuestionStyle = MsgYesNo | MsgExclamation | MsgDefaultButton2;

enum class ListFileCommand { Save, Read };

inline constexpr std::wstring_view ListFileSaveTitle = L"保存列表文件";
inline constexpr std::wstring_view ListFileReadTitle = L"读取列表文件";

inline constexpr std::wstring_view SaveCancelledText = L"保存文件被取消！";
inline constexpr std::wstring_view ReadCancelledText = L"读取文件被取消！";
inline constexpr std::wstring_view FormatFailureText = L"数据文件格式有误或操作不当！";
// The message boxes of the list file commands.
inline constexpr std::wstring_view ListFileMessages[] = {SaveCancelledText, ReadCancelledText,
                                                         FormatFailureText};

// The message for a failed command: the cancel message for error 75 (and
// for a cancelled dialog), the format message for every other number.
std::wstring_view ListFileFailureText(ListFileCommand command, long errorNumber);
std::wstring_view ListFileCancelText(ListFileCommand command);

struct ListFileServices {
    ListFileStore& files;
    const CodePage& ansi;
    MessageBoxes& messages;
    Questions& questions;
};

// Saves the drawing list to the file named in the Save As dialog. A
// cancelled dialog shows the cancel message and writes nothing (whatever
// name the dialog still holds); a failure shows its message and leaves any
// existing file as it was. An existing file that is not a list file
// (LookAtExisting, reading no more of it than the answer needs) is replaced
// only when the user answers Yes to ReplaceQuestion; No writes nothing and
// shows nothing more.
void SaveListFile(FileDialog& dialog, const DrawingList& list, ListFileServices services);

// Replaces the drawing list with the entries of the file picked in the Open
// dialog (ReadListEntries), in one step once the whole file has been read. A cancelled dialog
// or a failure shows its message and leaves the list as it was.
void ReadListFile(FileDialog& dialog, DrawingList& list, ListFileServices services);

} // namespace varno
