#pragma once
// CAD that asks its user something in the middle of a call (a font it cannot
// find, a damaged drawing, a drawing saved by another program) waits in that
// call until someone answers. Its question opens in the middle of the screen,
// where the run's topmost progress window stands: the run looks for such a
// window while a call lasts, and shows it.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace varno {

// What the progress window says while CAD waits.
inline constexpr std::wstring_view CadWaitsText = L"请先处理 CAD 弹出的对话框";

// A call is looked at once it has lasted this long, and then this often.
inline constexpr std::chrono::milliseconds LookAfter{2000};
inline constexpr std::chrono::milliseconds LookEvery{500};

// A top-level window of the host's process as it is now.
struct HostWindow {
    std::uintptr_t handle = 0;
    bool visible = false;
    bool enabled = false;
    bool dialog = false; // of the system's dialog class (#32770)
};

// The window in which CAD waits for its user: one that was not there when
// the call started (floating palettes, the command line and tool tips were),
// visible and enabled, while CAD's main window is disabled or the window is
// a dialog. A dialog comes first where there are several; nothing where CAD
// does not wait.
std::optional<std::uintptr_t> CadWaitsOn(std::span<const std::uintptr_t> before,
                                         std::span<const HostWindow> now, bool mainEnabled);

} // namespace varno
