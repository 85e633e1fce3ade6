#include "promo/EdgeDocking.h"

namespace varno {

DockAction DockTick(const DockInput& in) {
    if (in.windowState == WindowState::Minimised)
        return {};
    // Both sums below are single precision on purpose: the right edge test
    // compares twips as the window reports them.
    const float right = in.left + in.width;
    if (!CursorOver(in.cursor, in.rect)) {
        if (in.rect.top <= EdgeDistancePixels)
            return {DockWrite::Top, VisibleStripTwips - in.height, false};
        if (in.rect.left <= EdgeDistancePixels)
            return {DockWrite::Left, VisibleStripTwips - in.width, false};
        if (in.screenWidth - RightEdgeDistanceTwips <= right)
            return {DockWrite::Left, in.screenWidth - VisibleStripTwips, false};
        return {};
    }
    if (in.top < 0.0f)
        return {DockWrite::Top, -OverhangTwips, true};
    if (in.left < 0.0f)
        return {DockWrite::Left, -OverhangTwips, true};
    if (right >= in.screenWidth)
        return {DockWrite::Left, in.screenWidth - in.width + OverhangTwips, true};
    return {};
}

} // namespace varno
