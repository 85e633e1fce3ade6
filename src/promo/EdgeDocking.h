#pragma once
// Edge docking of the promotional windows: each tick of a window's docking
// timer tucks the window away behind the screen edge it touches while the
// mouse is elsewhere, and brings it back when the mouse comes onto the strip
// that stays visible. The tick keeps no state; the window's position is its
// only state.
#include "app/Ui.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace varno {

// Top and left edges: a window rectangle within this many pixels of the edge
// (or beyond it) touches it.
inline constexpr std::int32_t EdgeDistancePixels = 4;
// Right edge: left + width within this many twips of the screen width.
inline constexpr float RightEdgeDistanceTwips = 4.0f;
// What stays on screen of a docked window.
inline constexpr float VisibleStripTwips = 40.0f;
// How far a window brought back still lies behind its edge.
inline constexpr float OverhangTwips = 10.0f;

// The docking timers: docking starts this long after the window's load
// (Timer2), and then ticks at this interval (Timer1).
inline constexpr unsigned DockingStartMs = 5000;
inline constexpr unsigned DockingTickMs = 1;

struct PointPx {
    std::int32_t x = 0, y = 0;
};
// The outer window rectangle; right and bottom lie just outside the window.
struct RectPx {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// What one tick reads. Cursor and rectangle are screen pixels (zero when the
// system calls fail); the rest is twips in single precision.
struct DockInput {
    PointPx cursor;
    RectPx rect;
    WindowState windowState = WindowState::Normal;
    float left = 0, top = 0, width = 0, height = 0;
    float screenWidth = 0;
    // The desktop: every monitor's rectangle in pixels, the main monitor
    // first, and the twips per pixel that convert them. Read when the layout
    // changes, not on every tick. No monitors: the screen alone, screenWidth
    // wide, at the origin.
    std::span<const RectPx> monitors;
    float twipsPerPixelX = 15, twipsPerPixelY = 15;
};

// Where a window can dock, where it is now: the edges of its monitor (top
// and left in pixels for the touch tests; top, left and right in twips for
// the positions) and which of them are edges of the desktop there.
struct DockEdges {
    std::int32_t topPixels = 0, leftPixels = 0;
    float top = 0, left = 0, right = 0;
    bool atTop = true, atLeft = true, atRight = true;
};

// The monitor a window belongs to: the one that shows the most of its
// rectangle; when none shows any of it, the nearest; the first of equals.
// The index into monitors, which must not be empty.
std::size_t MonitorOf(std::span<const RectPx> monitors, const RectPx& rect);

// The edges a window with this rectangle can dock at (see EdgeDocking.cpp).
DockEdges EdgesAt(const DockInput& in);

enum class DockWrite : std::uint8_t { None, Top, Left };

// What one tick writes: at most one coordinate (twips), then maybe a show.
struct DockAction {
    DockWrite write = DockWrite::None;
    float value = 0;
    bool show = false;
};

// The mouse is over the window only strictly inside its rectangle: the
// leftmost column and topmost row count as outside.
constexpr bool CursorOver(const PointPx& p, const RectPx& r) {
    return r.left < p.x && p.x < r.right && r.top < p.y && p.y < r.bottom;
}

// One tick's decision. Mouse away: dock at the top, else the left, else the
// right edge. Mouse over: bring back from behind the top, else the left, else
// the right edge, and show the window. Only an edge of the desktop counts
// (EdgesAt). A minimised window is left alone.
DockAction DockTick(const DockInput& in);

// After a change of the monitors (WM_DISPLAYCHANGE): whether the window is to
// be placed again (CenterForm1), to dock at its monitor's edge as after a
// start. So it is when it was docked on the former desktop, behind an edge of
// it, or when it stands at what is now a seam: at an edge of its monitor, as
// near as the tick docks at, beyond which another monitor continues. Both
// inputs read the same window, before with the former monitors and screen,
// after with the new ones. A minimised window is left alone.
bool PlaceAgainAfterDisplayChange(const DockInput& before, const DockInput& after);

} // namespace varno
