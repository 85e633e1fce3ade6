#include "promo/DockingTick.h"

#include <gtest/gtest.h>

#include <cmath>

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
    // Runs n ticks and returns how many of them moved the window.
    int Ticks(int n) {
        int moved = 0;
        for (int i = 0; i < n; ++i)
            moved += RunDockTick(*this).moved ? 1 : 0;
        return moved;
    }

    PointPx cursor{640, 512};
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

} // namespace
} // namespace varno
