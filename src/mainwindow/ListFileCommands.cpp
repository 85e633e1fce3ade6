#include "mainwindow/ListFileCommands.h"

#include "app/Error.h"
#include "mainwindow/ListFileCodec.h"
#include "mainwindow/WindowsPaths.h"

#include <optional>
#include <utility>
#include <vector>

namespace varno {

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
