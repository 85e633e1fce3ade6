#pragma once
// One docking tick over a real window: read, decide with DockTick, write.
//
// A window's position lives in whole pixels, while the tick writes twips in
// single precision: a window docked at the left with left = 40 - 1965 twips
// sits at -128 pixels and reads back -1920 twips. Comparing twips would see a
// difference on every tick and move the docked window again every
// millisecond. So the tick compares the pixel the written value would land on
// with the pixel the window's rectangle already has (from the same
// GetWindowRect), and writes only when they differ. Likewise the show that
// follows a bring-back is only done when the window moved or is not visible:
// showing a visible window in place changes nothing on screen.
#include "promo/EdgeDocking.h"

namespace varno {

class DockingWindow {
  public:
    virtual ~DockingWindow() = default;
    // The cursor and outer rectangle in pixels (zeroed before the system
    // calls, so a failed call leaves zeros), the window state, the outer
    // position and size in twips and the screen width in twips.
    virtual DockInput ReadDockInput() = 0;
    // The screen pixel a write of left (or top) in twips puts the window at.
    virtual std::int32_t LeftPixelsFor(float leftTwips) const = 0;
    virtual std::int32_t TopPixelsFor(float topTwips) const = 0;
    virtual void SetLeft(float twips) = 0;
    virtual void SetTop(float twips) = 0;
    virtual bool IsVisible() const = 0;
    virtual void Show() = 0;
};

// What a tick did, for tests and benchmarks.
struct DockTickResult {
    DockAction action;
    bool moved = false;
    bool shown = false;
};

DockTickResult RunDockTick(DockingWindow& window);

} // namespace varno
