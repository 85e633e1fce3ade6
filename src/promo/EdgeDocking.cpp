#include "promo/EdgeDocking.h"

#include <algorithm>

namespace varno {

// Docking on a desktop of several monitors.
//
// The desktop is what the monitors show together; it need not be a
// rectangle. A window belongs to one monitor (MonitorOf) and docks only at
// that monitor's edges, and of them only at an edge of the desktop: one
// beyond which no other monitor continues where the window is. For the left
// and right edges that is over the rows the window spans, for the top edge
// over its columns. So a docked window leaves its strip on its own monitor,
// where the mouse can reach it, and the rest of it lies where no monitor
// shows anything. An edge between two monitors is no edge: a window there
// neither docks nor is brought back, and stays in full view.
//
// - A monitor right of the main one: the main monitor's right edge is no
//   edge where the neighbour continues; adfrm stands at the neighbour's right
//   edge (the desktop's, CenterForm1) and docks there. ad1frm docks at the
//   main monitor's left edge as on one monitor.
// - A monitor left of the main one: the same, mirrored; ad1frm docks at the
//   neighbour's left edge, at negative coordinates.
// - A monitor above: the main monitor's top edge is no edge over the columns
//   the upper monitor covers; a window there docks at the upper monitor's top,
//   the desktop's. Beside the upper monitor the main monitor's top is an
//   edge again.
// - Monitors of different heights, or offset vertically: the main monitor's
//   right edge is an edge only for a window whose rows the neighbour does not
//   reach (below a shorter neighbour, say); a window one of whose rows lies
//   beside the neighbour does not dock there.
//
// When the monitors change, a window docked on the former desktop, or one
// that now stands at a seam, is placed again (PlaceAgainAfterDisplayChange):
// a laptop's screen edge where the window was docked becomes a seam when a
// monitor is connected beside it, and the window would stay in full view on
// the new monitor; a monitor taken away takes the edge the window was docked
// at with it.
//
// With one monitor every edge of it is an edge of the desktop, and the tick
// computes exactly what it computes with the screen alone: the same edges (0
// and the screen width), the same sums in the same order.

namespace {

// How much of a rectangle a monitor shows, in square pixels.
std::int64_t Overlap(const RectPx& a, const RectPx& b) {
    const std::int64_t w = std::min(a.right, b.right) - std::max(a.left, b.left);
    const std::int64_t h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

// The square of the distance between two rectangles; 0 when they meet.
std::int64_t Distance2(const RectPx& a, const RectPx& b) {
    const std::int64_t dx =
        std::max({std::int64_t{0}, std::int64_t{b.left} - a.right, std::int64_t{a.left} - b.right});
    const std::int64_t dy =
        std::max({std::int64_t{0}, std::int64_t{b.top} - a.bottom, std::int64_t{a.top} - b.bottom});
    return dx * dx + dy * dy;
}

bool RowsMeet(const RectPx& a, const RectPx& b) {
    return a.top < b.bottom && b.top < a.bottom;
}
bool ColumnsMeet(const RectPx& a, const RectPx& b) {
    return a.left < b.right && b.left < a.right;
}

} // namespace

std::size_t MonitorOf(std::span<const RectPx> monitors, const RectPx& rect) {
    std::size_t best = 0;
    std::int64_t most = 0;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        if (const std::int64_t shown = Overlap(monitors[i], rect); shown > most) {
            most = shown;
            best = i;
        }
    }
    if (most > 0)
        return best;
    std::int64_t nearest = Distance2(monitors[0], rect);
    for (std::size_t i = 1; i < monitors.size(); ++i) {
        if (const std::int64_t d = Distance2(monitors[i], rect); d < nearest) {
            nearest = d;
            best = i;
        }
    }
    return best;
}

DockEdges EdgesAt(const DockInput& in) {
    DockEdges e;
    if (in.monitors.empty()) {
        e.right = in.screenWidth;
        return e;
    }
    const std::size_t home = MonitorOf(in.monitors, in.rect);
    const RectPx& m = in.monitors[home];
    e.topPixels = m.top;
    e.leftPixels = m.left;
    e.top = static_cast<float>(m.top) * in.twipsPerPixelY;
    e.left = static_cast<float>(m.left) * in.twipsPerPixelX;
    e.right = static_cast<float>(m.right) * in.twipsPerPixelX;
    for (std::size_t i = 0; i < in.monitors.size(); ++i) {
        if (i == home)
            continue;
        const RectPx& other = in.monitors[i];
        if (other.top < m.top && ColumnsMeet(other, in.rect))
            e.atTop = false;
        if (other.left < m.left && RowsMeet(other, in.rect))
            e.atLeft = false;
        if (other.right > m.right && RowsMeet(other, in.rect))
            e.atRight = false;
    }
    return e;
}

DockAction DockTick(const DockInput& in) {
    if (in.windowState == WindowState::Minimised)
        return {};
    const DockEdges e = EdgesAt(in);
    // Both sums below are single precision on purpose: the right edge test
    // compares twips as the window reports them.
    const float right = in.left + in.width;
    if (!CursorOver(in.cursor, in.rect)) {
        if (e.atTop && in.rect.top <= e.topPixels + EdgeDistancePixels)
            return {DockWrite::Top, e.top + VisibleStripTwips - in.height, false};
        if (e.atLeft && in.rect.left <= e.leftPixels + EdgeDistancePixels)
            return {DockWrite::Left, e.left + VisibleStripTwips - in.width, false};
        if (e.atRight && e.right - RightEdgeDistanceTwips <= right)
            return {DockWrite::Left, e.right - VisibleStripTwips, false};
        return {};
    }
    if (e.atTop && in.top < e.top)
        return {DockWrite::Top, e.top - OverhangTwips, true};
    if (e.atLeft && in.left < e.left)
        return {DockWrite::Left, e.left - OverhangTwips, true};
    if (e.atRight && right >= e.right)
        return {DockWrite::Left, e.right - in.width + OverhangTwips, true};
    return {};
}

bool PlaceAgainAfterDisplayChange(const DockInput& before, const DockInput& after) {
    if (after.windowState == WindowState::Minimised)
        return false;
    // Behind an edge where it docked: docked, or brought back from there.
    const DockEdges was = EdgesAt(before);
    if ((was.atTop && before.top < was.top) || (was.atLeft && before.left < was.left) ||
        (was.atRight && before.left + before.width > was.right))
        return true;
    const DockEdges now = EdgesAt(after);
    return (!now.atTop && after.rect.top <= now.topPixels + EdgeDistancePixels) ||
           (!now.atLeft && after.rect.left <= now.leftPixels + EdgeDistancePixels) ||
           (!now.atRight && now.right - RightEdgeDistanceTwips <= after.left + after.width);
}

} // namespace varno
