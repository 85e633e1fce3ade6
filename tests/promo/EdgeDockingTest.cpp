#include "promo/EdgeDocking.h"

#include <gtest/gtest.h>

#include <ostream>
#include <span>
#include <string>

namespace varno {
namespace {

// A 1965 x 9135 twip window (131 x 609 pixels at 15 twips per pixel) on a
// 1280-pixel (19200-twip) wide screen.
constexpr float W = 1965, H = 9135, SW = 19200;

struct Case {
    const char* name;
    DockInput in;
    DockAction expected;
    // The monitors before in's, where the row changes them: whether the
    // window is placed again then.
    std::span<const RectPx> former{};
    bool placedAgain = false;
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
    return os << c.name;
}

DockInput Input(PointPx cursor, RectPx rect, float left, float top,
                WindowState state = WindowState::Normal, float screenWidth = SW) {
    DockInput in;
    in.cursor = cursor;
    in.rect = rect;
    in.windowState = state;
    in.left = left;
    in.top = top;
    in.width = W;
    in.height = H;
    in.screenWidth = screenWidth;
    return in;
}

// Pixel rectangle of a window whose top-left corner is at (x, y) pixels.
RectPx At(int x, int y) {
    return {x, y, x + 131, y + 609};
}

constexpr DockAction Nothing{};
DockAction Top(float v, bool show) {
    return {DockWrite::Top, v, show};
}
DockAction Left(float v, bool show) {
    return {DockWrite::Left, v, show};
}

const Case DockCases[] = {
    // Minimised: nothing, wherever the mouse and the window are.
    {"MinimisedAtTopMouseAway", Input({600, 600}, At(0, 0), 0, 0, WindowState::Minimised), Nothing},
    {"MinimisedBehindTopMouseOver", Input({10, 1}, At(0, -606), 0, -9090, WindowState::Minimised),
     Nothing},
    {"MinimisedZeroRecords", Input({0, 0}, {}, 0, 0, WindowState::Minimised), Nothing},
    // Maximised windows are docked like normal ones.
    {"MaximisedAtTopMouseAway", Input({600, 800}, At(0, 0), 0, 0, WindowState::Maximised),
     Top(40 - H, false)},

    // Mouse away, docking: top first, then left, then right.
    {"FreeWindowStaysPut", Input({5, 5}, At(500, 200), 7500, 3000), Nothing},
    {"TopWithinFourPixels", Input({600, 900}, At(500, 4), 7500, 60), Top(40 - H, false)},
    {"TopFivePixelsDown", Input({600, 900}, At(500, 5), 7500, 75), Nothing},
    {"TopBehindEdgeCountsAsTouching", Input({600, 900}, At(500, -300), 7500, -4500),
     Top(40 - H, false)},
    {"LeftWithinFourPixels", Input({600, 900}, At(4, 138), 60, 2070), Left(40 - W, false)},
    {"LeftFivePixelsIn", Input({600, 900}, At(5, 138), 75, 2070), Nothing},
    {"LeftBehindEdgeCountsAsTouching", Input({600, 900}, At(-128, 138), -1920, 2070),
     Left(40 - W, false)},
    {"TopCornerDocksAtTop", Input({600, 900}, At(0, 0), 0, 0), Top(40 - H, false)},
    {"TopRightCornerDocksAtTop", Input({600, 900}, At(1149, 2), 17235, 30), Top(40 - H, false)},
    {"RightEdgeAtScreenEdge", Input({600, 900}, At(1149, 138), 17235, 2070), Left(SW - 40, false)},
    {"RightEdgeBeyondScreen", Input({600, 900}, At(1277, 138), 19155, 2070), Left(SW - 40, false)},
    {"RightEdgeFourTwipsShort", Input({600, 900}, At(1149, 138), 17231, 2070),
     Left(SW - 40, false)},
    {"RightEdgeFiveTwipsShort", Input({600, 900}, At(1149, 138), 17230, 2070), Nothing},
    // One pixel short of the right edge is 15 twips: no docking there.
    {"RightEdgeOnePixelShort", Input({600, 900}, At(1148, 138), 17220, 2070), Nothing},

    // Strict over-the-window test: the first column and row are outside, and
    // right and bottom lie outside the window already.
    {"CursorOnLeftmostColumn", Input({-1, 200}, At(-1, 138), -15, 2070), Left(40 - W, false)},
    {"CursorOnTopmostRow", Input({50, -1}, At(0, -1), 0, -15), Top(40 - H, false)},
    {"CursorOnRightColumnOutside", Input({1280, 300}, At(1149, 138), 17235, 2070),
     Left(SW - 40, false)},
    {"CursorOnBottomRowOutside", Input({50, 3}, At(0, -606), 0, -9090), Top(40 - H, false)},
    {"CursorJustInside", Input({0, 0}, At(-1, -1), -15, -15), Top(-10, true)},

    // Mouse over, bringing back: top first, then left, then right.
    {"FullyVisibleMouseOverChangesNothing", Input({600, 400}, At(500, 138), 7500, 2070), Nothing},
    {"FullyVisibleAtLeftZero", Input({50, 400}, At(0, 138), 0, 2070), Nothing},
    {"BehindTop", Input({550, 1}, At(500, -606), 7500, -9090), Top(-10, true)},
    {"BehindTopAndLeftOnlyTopIsCorrected", Input({1, 1}, At(-128, -606), -1920, -9090),
     Top(-10, true)},
    {"BroughtBackTopStaysAtMinusTen", Input({550, 300}, At(500, -1), 7500, -15), Top(-10, true)},
    {"BehindLeft", Input({1, 300}, At(-128, 138), -1920, 2070), Left(-10, true)},
    {"BehindRight", Input({1278, 300}, At(1277, 138), 19155, 2070), Left(SW - W + 10, true)},
    {"RightEdgeExactlyAtScreenWidth", Input({1200, 300}, At(1149, 138), 17235, 2070),
     Left(SW - W + 10, true)},
    {"RightEdgeJustShortOfScreenWidth", Input({1200, 300}, At(1149, 138), 17234.5f, 2070), Nothing},

    // Failed system calls leave zeros: a zero rectangle never holds the
    // cursor and touches the top.
    {"ZeroRecordsDockAtTop", Input({0, 0}, {}, 7500, 2070), Top(40 - H, false)},
};

class DockTickTable : public testing::TestWithParam<Case> {};

TEST_P(DockTickTable, DecidesTheOneWrite) {
    const Case& c = GetParam();
    const DockAction a = DockTick(c.in);
    EXPECT_EQ(a.write, c.expected.write);
    if (c.expected.write != DockWrite::None) {
        EXPECT_FLOAT_EQ(a.value, c.expected.value);
    }
    EXPECT_EQ(a.show, c.expected.show);
    if (!c.former.empty()) {
        DockInput before = c.in;
        before.monitors = c.former;
        EXPECT_EQ(PlaceAgainAfterDisplayChange(before, c.in), c.placedAgain);
    }
}

INSTANTIATE_TEST_SUITE_P(EdgeDocking, DockTickTable, testing::ValuesIn(DockCases),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

TEST(EdgeDocking, RightEdgeSumIsSinglePrecision) {
    // 16777216 + 3 = 16777219 is short of a 16777220-twip screen, but in
    // single precision the sum rounds to 16777220 and reaches the edge.
    DockInput in = Input({700, 300}, At(600, 200), 16777216.0f, 3000);
    in.width = 3.0f;
    in.screenWidth = 16777220.0f;
    const DockAction over = DockTick(in);
    EXPECT_EQ(over.write, DockWrite::Left);
    EXPECT_EQ(over.value, 16777220.0f - 3.0f + 10.0f);
    EXPECT_TRUE(over.show);
    in.width = 1.0f; // 16777217 rounds down to 16777216: short of the edge
    EXPECT_EQ(DockTick(in).write, DockWrite::None);
}

TEST(EdgeDocking, CursorOverIsStrictOnAllFourSides) {
    const RectPx r{10, 20, 30, 40};
    EXPECT_TRUE(CursorOver({11, 21}, r));
    EXPECT_TRUE(CursorOver({29, 39}, r));
    EXPECT_FALSE(CursorOver({10, 30}, r));
    EXPECT_FALSE(CursorOver({30, 30}, r));
    EXPECT_FALSE(CursorOver({20, 20}, r));
    EXPECT_FALSE(CursorOver({20, 40}, r));
    EXPECT_FALSE(CursorOver({0, 0}, RectPx{}));
}

// Desktops of several monitors, in pixels, the main monitor first.
const RectPx OneMonitor[] = {{0, 0, 1280, 1024}};
const RectPx RightNeighbour[] = {{0, 0, 1280, 1024}, {1280, 0, 2560, 1024}};
const RectPx LeftNeighbour[] = {{0, 0, 1280, 1024}, {-1280, 0, 0, 1024}};
const RectPx HalfAbove[] = {{0, 0, 1280, 1024}, {640, -1024, 1920, 0}}; // above its right half
// A 1920 x 1200 main monitor with a 512 pixels high one right of its top.
const RectPx ShortNeighbour[] = {{0, 0, 1920, 1200}, {1920, 0, 3200, 512}};

DockInput On(std::span<const RectPx> monitors, PointPx cursor, RectPx rect, float left, float top) {
    DockInput in = Input(cursor, rect, left, top);
    in.monitors = monitors;
    return in;
}

// Only an edge of the desktop, beyond which no monitor continues where the
// window is, docks the window and brings it back. When the monitors change,
// a window docked before or standing at a seam now is placed again.
const Case LayoutCases[] = {
    {"RightNeighbourMainRightEdgeIsNoEdge",
     On(RightNeighbour, {600, 900}, At(1149, 138), 17235, 2070), Nothing},
    // Docked at the main monitor's right edge, where a monitor is connected
    // then: the mouse does not bring it back across the seam, but it is
    // placed again.
    {"RightNeighbourAcrossTheSeamIsPlacedAgain",
     On(RightNeighbour, {1278, 300}, At(1277, 138), 19155, 2070), Nothing, OneMonitor, true},
    {"RightNeighbourDocksAtTheDesktopsRightEdge",
     On(RightNeighbour, {600, 900}, At(2429, 138), 36435, 2070), Left(38400 - 40, false)},
    {"RightNeighbourBroughtBackThere", On(RightNeighbour, {2559, 300}, At(2557, 138), 38355, 2070),
     Left(38400 - W + 10, true)},
    {"LeftNeighbourMainLeftEdgeIsNoEdge", On(LeftNeighbour, {600, 900}, At(0, 138), 0, 2070),
     Nothing},
    {"LeftNeighbourDocksAtTheDesktopsLeftEdge",
     On(LeftNeighbour, {600, 900}, At(-1280, 138), -19200, 2070), Left(-19200 + 40 - W, false)},
    {"LeftNeighbourBroughtBackThere", On(LeftNeighbour, {-1279, 300}, At(-1408, 138), -21120, 2070),
     Left(-19200 - 10, true)},
    {"LeftNeighbourMainRightEdgeStaysAnEdge",
     On(LeftNeighbour, {600, 900}, At(1149, 138), 17235, 2070), Left(SW - 40, false)},
    {"AboveMainTopUnderItIsNoEdge", On(HalfAbove, {600, 900}, At(700, 2), 10500, 30), Nothing},
    {"AboveMainTopBesideItIsAnEdge", On(HalfAbove, {600, 900}, At(100, 2), 1500, 30),
     Top(40 - H, false)},
    {"AboveDocksAtTheUpperMonitorsTop", On(HalfAbove, {600, 900}, At(700, -1022), 10500, -15330),
     Top(-15360 + 40 - H, false)},
    {"AboveAcrossTheSeamIsPlacedAgain", On(HalfAbove, {750, 1}, At(700, -606), 10500, -9090),
     Nothing, OneMonitor, true},
    {"ShortNeighbourLastRowBesideIt", On(ShortNeighbour, {600, 900}, At(1789, 511), 26835, 7665),
     Nothing},
    {"ShortNeighbourFirstRowBelowIt", On(ShortNeighbour, {600, 900}, At(1789, 512), 26835, 7680),
     Left(28800 - 40, false)},
    // One monitor, then two; two, then one.
    {"RightNeighbourAddedAtTheSeamIsPlacedAgain",
     On(RightNeighbour, {600, 900}, At(1149, 138), 17235, 2070), Nothing, OneMonitor, true},
    {"RightNeighbourAddedAtTheLeftEdgeStays", On(RightNeighbour, {50, 400}, At(0, 138), 0, 2070),
     Nothing, OneMonitor, false},
    {"RightNeighbourRemovedDockedThereIsPlacedAgain",
     On(OneMonitor, {600, 900}, At(2557, 138), 38355, 2070), Left(SW - 40, false), RightNeighbour,
     true},
    // A failed GetWindowRect: the main monitor's top, as on one screen.
    {"ZeroRecordsDockAtTheMainTop", On(LeftNeighbour, {0, 0}, {}, 0, 0), Top(40 - H, false)},
};

INSTANTIATE_TEST_SUITE_P(Layouts, DockTickTable, testing::ValuesIn(LayoutCases),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

TEST(EdgeDocking, TheMainMonitorAloneDecidesAsTheScreenAlone) {
    for (const Case& c : DockCases) {
        SCOPED_TRACE(c.name);
        DockInput in = c.in;
        in.monitors = OneMonitor;
        const DockAction a = DockTick(in), b = DockTick(c.in);
        EXPECT_EQ(a.write, b.write);
        EXPECT_EQ(a.value, b.value); // bit for bit
        EXPECT_EQ(a.show, b.show);
    }
}

} // namespace
} // namespace varno
