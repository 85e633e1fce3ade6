#pragma once
// The batch purge run: every drawing of the drawing list is opened in the CAD
// host, purged, and closed with its changes saved, while the progress window
// Form3 shows how far it got.
#include "app/Automation.h"
#include "app/DrawingFiles.h"
#include "app/Ui.h"
#include "app/DrawingList.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varno {

// What the run does to the program's windows.
class PurgeView {
  public:
    virtual ~PurgeView() = default;
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
inline constexpr std::wstring_view DoneText = L"批量清理完成 双击窗口返回";
inline constexpr std::wstring_view NeedsR2000Text = L"仅支持R2000以上版本！";
inline constexpr std::wstring_view BadOperationText = L"操作不当！";
// The run's message boxes (ConnectHost's shows the system's own description).
inline constexpr std::wstring_view PurgeMessages[] = {NeedsR2000Text, BadOperationText};

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
std::optional<std::int32_t> DrawingSaveType(std::string_view firstBytes);

// The run, as Command9 starts it: connects the host session, works through
// the list and reports a failure in one message box. Never raises. After a
// failure while a drawing was being worked on, the result is that entry's
// index, so the main window can point the user at it; after a complete run,
// or a failure before the first drawing (the host, the template), nothing.
//
// The template is the host's TEMPLATE\acad.dwt where that file exists (the
// hosts of old); the hosts of today keep their templates in the user's
// profile, so elsewhere the new drawing comes from the host's own default
// template. Each drawing is worked on through the document that Open
// returned, never through ActiveDocument, which the user (or a host that
// does not activate what it opens) may have changed in between. A drawing
// the host opened read-only is closed without saving, and the run stops at
// it: its purge could not be kept.
//
// Each drawing stays in its own file format. The host saves in the format
// its own setting names (Preferences.OpenSave.SaveAsType, read once a run,
// never changed); where that differs from the drawing's format, and both are
// known, the purged drawing is saved with SaveAs in its own format before it
// is closed unsaved. Otherwise Close(True) saves it, as it always did.
std::optional<int> RunBatchPurge(AutomationRuntime& runtime, MessageBoxes& boxes, DrawingList& list,
                                 PurgeView& view, DrawingFiles& files);

} // namespace varno
