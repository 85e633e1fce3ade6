#pragma once
// The save and read commands of the main window, built on the list file's
// bytes (ListFileCodec.h).
#include "app/CodePage.h"
#include "app/DrawingList.h"
#include "app/FileDialog.h"
#include "app/ListFileStore.h"
#include "app/Ui.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace varno {

// How much of an existing file a save looks at first.
constexpr std::size_t ListFileProbeBytes = std::size_t{64} << 10;

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
