#pragma once
// The batch purge run: every drawing of the drawing list is opened in the CAD
// host, purged, and closed with its changes saved, while the progress window
// Form3 shows how far it got.
#include "app/Automation.h"
#include "app/DrawingFiles.h"
#include "app/DrawingList.h"
#include "app/Error.h"
#include "app/Module1.h"
#include "app/ProxyNoticeRecords.h"
#include "app/Ui.h"
#include "batch/OpenDocuments.h"
#include "batch/ProxyNotice.h"
#include "batch/StopRequest.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace varno {

// What the user chooses after the failure of one drawing.
enum class DrawingChoice {
    Skip,    // leave it, go on with the next
    SkipAll, // the same, and skip every later failure of the run without asking
    Retry,   // try it again (closed in CAD, its read-only mark cleared)
    Stop,    // the run ends, as at any failure: the default, and what Esc gives
};

// What became of one listed drawing.
struct DrawingResult {
    enum class Outcome {
        Cleaned,   // purged and saved
        Unchanged, // CAD reported no change: its file was left as it was
        Skipped,   // it failed, and was skipped
        Failed,    // the failure that ended the run
        NotDone,   // the run ended before it
    };
    std::wstring path{};
    Outcome outcome = Outcome::NotDone;
    // Why it was skipped or failed; for one not done, why the run could not
    // start, where it could not.
    std::wstring reason{};
    std::optional<std::uint64_t> bytesBefore{}, bytesAfter{};
    int passes = 0; // of PurgeAll
    double seconds = 0;
};

// What the run does to the program's windows. Its message boxes (the
// MessageBoxes it is) stand in front of the CAD host, which the run has
// brought to the front, and of the progress window, and take the
// foreground: owned by the progress window while that exists, topmost
// before.
class PurgeView : public MessageBoxes {
  public:
    // Brings the top-level window with exactly this title to the foreground;
    // false when there is none.
    virtual bool ActivateWindow(std::wstring_view title) = 0;
    // Brings the window with this handle to the foreground; false when the
    // handle names no window.
    virtual bool ActivateWindowHandle(std::int64_t handle) = 0;
    // Shows the progress window Form3 modeless, loading it if needed.
    virtual void ShowProgress() = 0;
    // Hides the main window varnofrm.
    virtual void HideMain() = 0;
    // The progress window's texts: the progress or completion text, the
    // start time and the end time.
    virtual void SetProgress(std::wstring_view text) = 0;
    virtual void SetStartTime(std::wstring_view text) = 0;
    virtual void SetEndTime(std::wstring_view text) = 0;
    // Repaints the progress window now.
    virtual void RefreshProgress() = 0;
    // The time of day in the system's time format.
    virtual std::wstring TimeOfDay() = 0;
    // The user asked to stop the run (StopRequest); waits while the user is
    // being asked. The run asks before each drawing.
    virtual bool StopRequested() { return false; }
    // The failure of one drawing, in a box in front of the host and the
    // progress window, titled ErrorTitle with the error icon: its first line
    // (BadOperationText), then the drawing and the reason (DrawingFailureText),
    // and the buttons of DrawingChoice in that order, Stop the default.
    virtual DrawingChoice AskAboutDrawing(std::wstring_view drawing, std::wstring_view reason) = 0;
    // Each listed entry, in the run's order, as the run ends with it: when a
    // drawing is done, skipped or has failed; when the run ends, every entry
    // it did not come to.
    virtual void DrawingEnded(const DrawingResult&) {}
    // A run that no one watches (from the command line): when it ends it
    // closes its template drawing unsaved, and quits a CAD it launched.
    virtual bool Unattended() const { return false; }
};

// The progress window's design text, shown until the run writes its first
// progress text (and still there after a failure before the first drawing).
// Its wording is deliberate: "替换" and its spacing are the window's design,
// unlike the "清理" of ProgressText, and the help quotes it as it shows.
inline constexpr std::wstring_view ProgressDesignText = L"正在替换第   页  共   页";

// Texts of the run.
inline constexpr std::wstring_view ProgressBefore = L"正在清理第 "; // then the ordinal
inline constexpr std::wstring_view ProgressPage = L" 页";           // after each number
inline constexpr std::wstring_view ProgressOf = L"   共 ";          // then the total
inline constexpr std::wstring_view TemplateTail = L"\\TEMPLATE\\acad.dwt";
inline constexpr std::wstring_view ProxyNoticeCommand = L"PROXYNOTICE 0\r";
// The drawing's own record of changes since it was opened: 0 for none.
inline constexpr std::wstring_view ModifiedVariable = L"DBMOD";
inline constexpr std::wstring_view DoneText = L"批量清理完成 双击窗口返回";

// The failure box: its first line by the error number, then a blank line,
// the drawing the run was at (where it was at one) and the reason.
inline constexpr std::wstring_view NeedsR2000Text = L"仅支持R2000以上版本！";
inline constexpr std::wstring_view BadOperationText = L"操作不当！";
inline constexpr std::wstring_view DrawingLabel = L"图纸：";
inline constexpr std::wstring_view ReasonLabel = L"原因：";
// The reasons the run gives of its own; any other failure's reason is the
// description it came with.
inline constexpr std::wstring_view ReadOnlyText = L"图纸是只读的，或正被别人使用。";
inline constexpr std::wstring_view TooOldFormatText = L"图纸的格式早于 R14，CAD 不能按原格式保存。";
inline constexpr std::wstring_view FormatChangedText = L"CAD 保存的格式与图纸原来的格式不同。";
// Then the system's text for the error.
inline constexpr std::wstring_view UnreadableAfterSaveText = L"保存后无法读取图纸：";
// Another run (perhaps a scheduled one) works: one at a time.
inline constexpr std::wstring_view RunBusyText = L"另一个批量清理正在进行，请等它结束后再试。";
inline constexpr std::wstring_view DrawingMissingText = L"找不到图纸文件。";
inline constexpr std::wstring_view HostGoneText = L"CAD 程序已关闭或没有响应。";
inline constexpr std::wstring_view NoHostWindowText = L"找不到 CAD 的窗口。";
// The run's message texts (ConnectHost's first box shows the system's own
// description).
inline constexpr std::wstring_view PurgeMessages[] = {
    NeedsR2000Text,   BadOperationText,  OpenInHostText,          SameNameOpenText,   ReadOnlyText,
    TooOldFormatText, FormatChangedText, UnreadableAfterSaveText, DrawingMissingText, HostGoneText,
    NoHostWindowText, NoCadProgramText,  CadOutOfReachText,       RunBusyText};

// "正在清理第 3 页   共 12 页"
std::wstring ProgressText(int ordinal, int total);
// The host's template: FullName without its last 9 characters (the backslash
// and the host's 8-character program name, "\acad.exe"), then
// "\TEMPLATE\acad.dwt"; raises error 5 when FullName is shorter than that.
std::wstring TemplatePath(std::wstring_view fullName, std::size_t length);
// A list entry without its leading and trailing spaces (U+0020 only).
std::wstring TrimSpaces(std::wstring_view path);

// A drawing file's format is the code in its first six bytes ("AC1018" for
// the 2004 format); the host names the formats it saves in by its own
// numbers (AcSaveAsType). The save type of the format these bytes begin
// with, or nothing for too few bytes or a code not in the table.
inline constexpr std::size_t FormatCodeLength = 6;
// Version 1.0 drawings begin with this instead.
inline constexpr std::string_view Version1Code = "MC0.0";
std::optional<std::int32_t> DrawingSaveType(std::string_view firstBytes);

// What a drawing's first bytes say of its format.
struct DrawingFormat {
    // "AC" and four digits ("AC1018"), or the dotted form of the oldest
    // releases ("AC2.10"), or version 1.0's "MC0.0"; empty for bytes that
    // carry no drawing code.
    std::string code;
    // Older than R14 (a code below AC1014, or a dotted one): no host of today
    // writes it, so a save would convert it.
    bool tooOld = false;
    // The host's number for it, where it has one (DrawingSaveType).
    std::optional<std::int32_t> saveType;
};
DrawingFormat FormatOf(std::string_view firstBytes);

// The failure box's text. The first line is NeedsR2000Text for error 438,
// BadOperationText for any other; then a blank line, "图纸：" and the
// drawing where there is one, and "原因：" and the reason.
std::wstring FailureText(long number, std::wstring_view reason,
                         std::optional<std::wstring_view> drawing);
// The reason a failure gives: HostGoneText for a host that went away or
// stopped answering, else its own description.
std::wstring ReasonOf(const Error& failure);
// The drawing and the reason, a line each: "图纸：" and "原因：".
std::wstring DrawingFailureText(std::wstring_view drawing, std::wstring_view reason);

// The buttons of the box after a failed drawing, in their order.
inline constexpr std::wstring_view SkipButtonText = L"跳过(&S)";
inline constexpr std::wstring_view SkipAllButtonText = L"全部跳过(&A)";
inline constexpr std::wstring_view RetryButtonText = L"重试(&R)";
inline constexpr std::wstring_view StopButtonText = L"停止";

// A drawing the run skipped, and why.
struct SkippedDrawing {
    std::wstring path;
    std::wstring reason;
};
// The box after a run that skipped drawings (titled AppTitle, the
// information icon): a line each, the drawing and its reason, at most
// MaxSkippedLines of them, then how many more.
inline constexpr std::size_t MaxSkippedLines = 20;
std::wstring SkippedReport(std::span<const SkippedDrawing> skipped);

// The run, as Command9 starts it: connects the host session and works
// through the list. Never raises.
//
// The failure of one drawing (missing, too old, open in CAD, read-only, its
// Open, purge or save failing, unreadable after its save) asks the user
// (AskAboutDrawing): skip it, skip all, retry it or stop. Skipped drawings
// are listed in one box at the end. A failure of the host or of the whole
// run (the host gone or not answering, a member it lacks, a save that
// changed the format, anything before the first drawing) ends the run with
// one message box of the view, which says which drawing and why. A stop the
// user asked for (StopRequested) ends it before the next drawing, with
// StoppedText and the end time.
//
// However the run ends, the list then holds the work left: the drawings
// cleaned, or found clean, leave it, and the others stay in their order. The
// result is the entry to point the user at: the first left, where the run
// came to its drawings; nothing where it left none, or ended before its
// first drawing.
//
// The template is the host's TEMPLATE\acad.dwt where that file exists (the
// hosts of old); the hosts of today keep their templates in the user's
// profile, so elsewhere the new drawing comes from the host's own default
// template. The run turns the host's proxy notice off (PROXYNOTICE 0) and,
// when it ends, complete or failed, puts the user's value back, unless the
// host has gone (see ProxyNotice; records keeps it on disk meanwhile).
//
// A drawing is never handed to the host when it is not there, when the host
// has it open already (the user's own document, perhaps with unsaved edits:
// see OpenDocuments), or when its format is older than any host of today
// writes; the run stops there. Each drawing is worked on through the
// document that Open returned, never through ActiveDocument, which the user
// (or a host that does not activate what it opens) may have changed in
// between. A drawing the host opened read-only is closed without saving,
// and the run stops at it: its purge could not be kept. One whose purge or
// save fails is closed unsaved while the host still answers, so that no
// later "save changes?" writes it in the host's format. One in which the
// purge changed nothing, as CAD reports it, is closed unsaved too, and its
// file stays as it was.
//
// Each drawing stays in its own file format. The host saves in the format
// its own setting names (Preferences.OpenSave.SaveAsType, read once a run,
// never changed); where the drawing's format is known and differs from
// that, or the setting is not known, the purged drawing is saved with
// SaveAs in its own format before it is closed unsaved. Otherwise
// Close(True) saves it, as it always did. After the save the drawing's code
// is read again: a host whose save types mean other formats than ours
// stops the run at the first drawing it changed, and a file that cannot be
// read back stops it too.
std::optional<int> RunBatchPurge(AutomationRuntime& runtime, DrawingList& list, PurgeView& view,
                                 DrawingFiles& files, ProxyNoticeRecords& records);

} // namespace varno
