#include "promo/DockingTick.h"
#include "promo/PromoWindow.h"
#include "support/FakeWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <vector>

namespace varno {
namespace {

// A window that, like a real one, lives at whole pixels: twips written are
// rounded to the nearest pixel and read back as pixels * 15.
class PixelWindow : public DockingWindow {
  public:
    static constexpr float Tpp = 15;
    PixelWindow(int x, int y) : x_(x), y_(y) {}

    DockInput ReadDockInput() override {
        DockInput in;
        in.cursor = cursor;
        in.rect = {x_, y_, x_ + w_, y_ + h_};
        in.windowState = state;
        in.left = x_ * Tpp;
        in.top = y_ * Tpp;
        in.width = w_ * Tpp;
        in.height = h_ * Tpp;
        in.screenWidth = 1280 * Tpp;
        in.monitors = monitors;
        return in;
    }
    std::int32_t LeftPixelsFor(float t) const override { return Px(t); }
    std::int32_t TopPixelsFor(float t) const override { return Px(t); }
    void SetLeft(float t) override {
        x_ = Px(t);
        ++moves;
    }
    void SetTop(float t) override {
        y_ = Px(t);
        ++moves;
    }
    bool IsVisible() const override { return visible; }
    void Show() override {
        visible = true;
        ++shows;
    }

    int x() const { return x_; }
    int y() const { return y_; }
    RectPx Rect() const { return {x_, y_, x_ + w_, y_ + h_}; }
    // Runs n ticks and returns how many of them moved the window.
    int Ticks(int n) {
        int moved = 0;
        for (int i = 0; i < n; ++i)
            moved += RunDockTick(*this).moved ? 1 : 0;
        return moved;
    }

    PointPx cursor{640, 512};
    std::vector<RectPx> monitors; // none: the screen alone
    WindowState state = WindowState::Normal;
    bool visible = true;
    int moves = 0, shows = 0;

  private:
    static int Px(float t) { return static_cast<int>(std::nearbyint(t / Tpp)); }
    int x_, y_;
    const int w_ = 131, h_ = 609; // 1965 x 9135 twips
};

TEST(DockingTick, LeftWindowDocksOnceComesBackOnTheStripAndDocksAgain) {
    PixelWindow w(0, 138);
    EXPECT_EQ(w.Ticks(50), 1);
    EXPECT_EQ(w.x(), -128); // 40 - 1965 = -1925 twips, read back as -1920
    EXPECT_EQ(w.shows, 0);

    w.cursor = {0, 400}; // pushed against the left edge, on the 3-pixel strip
    EXPECT_EQ(w.Ticks(50), 1);
    EXPECT_EQ(w.x(), -1); // -10 twips
    EXPECT_EQ(w.shows, 1) << "shown when it came back, not again while in place";

    w.cursor = {640, 400};
    EXPECT_EQ(w.Ticks(50), 1);
    EXPECT_EQ(w.x(), -128);
    EXPECT_EQ(w.moves, 3);
}

TEST(DockingTick, RightWindowDocksAndComesBackAtTheRightEdge) {
    PixelWindow w(1149, 138); // 17235 + 1965 = 19200: against the right edge
    EXPECT_EQ(w.Ticks(20), 1);
    EXPECT_EQ(w.x(), 1277); // 19200 - 40 = 19160 twips
    w.cursor = {1279, 300};
    EXPECT_EQ(w.Ticks(20), 1);
    EXPECT_EQ(w.x(), 1150); // 19200 - 1965 + 10 = 17245 twips -> 1149.67
    EXPECT_EQ(w.shows, 1);
    w.cursor = {100, 300};
    EXPECT_EQ(w.Ticks(20), 1);
    EXPECT_EQ(w.x(), 1277);
}

TEST(DockingTick, TopDockedWindowIsRecognisedAsDockedAndReturnsToTheTop) {
    PixelWindow w(1149, 2); // a top corner: the top wins over the right
    EXPECT_EQ(w.Ticks(20), 1);
    EXPECT_EQ(w.y(), -606); // 40 - 9135 = -9095 twips -> -606.33
    EXPECT_EQ(w.x(), 1149);
    w.cursor = {1200, 1};
    EXPECT_EQ(w.Ticks(20), 1);
    EXPECT_EQ(w.y(), -1);
    w.cursor = {1200, 700};
    EXPECT_EQ(w.Ticks(20), 1);
    EXPECT_EQ(w.y(), -606);
}

TEST(DockingTick, HiddenOnTopAndLeftOnlyTheTopComesBack) {
    PixelWindow w(-128, -606);
    w.cursor = {1, 1};
    EXPECT_EQ(w.Ticks(10), 1);
    EXPECT_EQ(w.y(), -1);
    EXPECT_EQ(w.x(), -128) << "the left is never corrected while the top is behind the edge";
}

TEST(DockingTick, MinimisedWindowIsNeitherMovedNorShown) {
    PixelWindow w(0, 0);
    w.state = WindowState::Minimised;
    w.visible = false;
    EXPECT_EQ(w.Ticks(10), 0);
    w.cursor = {5, 5};
    EXPECT_EQ(w.Ticks(10), 0);
    EXPECT_EQ(w.shows, 0);
}

TEST(DockingTick, BroughtBackWindowThatIsNotVisibleIsShownInPlace) {
    PixelWindow w(-1, 138);
    w.cursor = {5, 300};
    w.visible = false;
    const DockTickResult r = RunDockTick(w);
    EXPECT_FALSE(r.moved);
    EXPECT_TRUE(r.shown);
    EXPECT_TRUE(w.visible);
    EXPECT_FALSE(RunDockTick(w).shown);
}

TEST(DockingTick, MouseOverAFreeWindowNeitherMovesNorShows) {
    PixelWindow w(500, 138);
    w.cursor = {550, 300};
    w.visible = false;
    EXPECT_EQ(w.Ticks(10), 0);
    EXPECT_EQ(w.shows, 0);
}

// Desktops of several monitors (pixels, the main monitor first). Each
// outer monitor is tall enough for the window.
struct Desktop {
    const char* name;
    std::vector<RectPx> monitors;
};
std::ostream& operator<<(std::ostream& os, const Desktop& d) {
    return os << d.name;
}
const Desktop Desktops[] = {
    {"OneMonitor", {{0, 0, 1280, 1024}}},
    {"RightNeighbour", {{0, 0, 1280, 1024}, {1280, 0, 2560, 1024}}},
    {"LeftNeighbour", {{0, 0, 1280, 1024}, {-1280, 0, 0, 1024}}},
    {"OneAbove", {{0, 0, 1280, 1024}, {0, -1024, 1280, 0}}},
    {"TallerRightNeighbourOffsetUp", {{0, 0, 1280, 1024}, {1280, -300, 3200, 780}}},
    {"ShorterLeftNeighbourOffsetDown", {{0, 0, 1920, 1200}, {-1280, 400, 0, 1424}}},
    {"ThreeInARow", {{0, 0, 1280, 1024}, {1280, 0, 2560, 1024}, {-1280, 0, 0, 1024}}},
};

// How many pixels of the rectangle some monitor shows.
long Shown(const RectPx& r, const std::vector<RectPx>& monitors) {
    long shown = 0;
    for (const RectPx& m : monitors) {
        const long w = std::min(r.right, m.right) - std::max(r.left, m.left);
        const long h = std::min(r.bottom, m.bottom) - std::max(r.top, m.top);
        shown += w > 0 && h > 0 ? w * h : 0;
    }
    return shown;
}

class DesktopLayouts : public testing::TestWithParam<Desktop> {};

// Placed at start-up, each window docks at its side of the desktop and shows
// only its strip there, on a monitor; the mouse on the strip brings it back,
// and away again it docks at the same place.
TEST_P(DesktopLayouts, EachWindowDocksAtItsSideOfTheDesktopShowingOnlyItsStrip) {
    const std::vector<RectPx>& monitors = GetParam().monitors;
    const RectPx& main = monitors[0];
    const Screen screen{main.right * PixelWindow::Tpp, main.bottom * PixelWindow::Tpp, 15, 15};
    int desktopLeft = main.left, desktopRight = main.right;
    for (const RectPx& m : monitors) {
        desktopLeft = std::min(desktopLeft, m.left);
        desktopRight = std::max(desktopRight, m.right);
    }
    for (Side side : {Side::Left, Side::Right}) {
        SCOPED_TRACE(side == Side::Left ? "ad1frm" : "adfrm");
        FakeWindow placed(0, 0, 1965, 9135);
        CenterForm1(placed, screen, side, monitors);
        PixelWindow w(static_cast<int>(std::nearbyint(placed.left / PixelWindow::Tpp)),
                      static_cast<int>(std::nearbyint(placed.top / PixelWindow::Tpp)));
        w.monitors = monitors;
        const RectPx start = w.Rect();
        ASSERT_EQ(Shown(start, monitors), 131 * 609) << "placed wholly on a monitor";
        EXPECT_EQ(side == Side::Left ? start.left : start.right,
                  side == Side::Left ? desktopLeft : desktopRight);

        w.cursor = {main.left + 640, main.top + 512};
        EXPECT_EQ(w.Ticks(20), 1);
        const RectPx docked = w.Rect();
        EXPECT_EQ(side == Side::Left ? docked.right : docked.left,
                  side == Side::Left ? desktopLeft + 3 : desktopRight - 3);
        EXPECT_EQ(docked.top, start.top);
        EXPECT_EQ(Shown(docked, monitors), 3 * 609) << "the strip alone, all of it on a monitor";

        w.cursor = {side == Side::Left ? docked.right - 1 : docked.left + 1, docked.top + 300};
        EXPECT_EQ(w.Ticks(20), 1);
        EXPECT_GE(Shown(w.Rect(), monitors), 130 * 609) << "brought back";
        w.cursor = {main.left + 640, main.top + 512};
        EXPECT_EQ(w.Ticks(20), 1);
        EXPECT_EQ(w.x(), docked.left);
    }
}

INSTANTIATE_TEST_SUITE_P(DockingTick, DesktopLayouts, testing::ValuesIn(Desktops),
                         [](const testing::TestParamInfo<Desktop>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace varno
