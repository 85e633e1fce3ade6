#include "promo/PromoWindow.h"
#include "support/FakeWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <string>
#include <vector>

namespace varno {
namespace {

struct RecordingTarget : PromoLoadTarget {
    void SetTopmost(const PixelRect& p) override {
        calls.push_back("topmost");
        pixels = p;
    }
    void Navigate(std::wstring_view address) override {
        calls.push_back("navigate");
        addresses.emplace_back(address);
    }
    std::vector<std::string> calls;
    PixelRect pixels;
    std::vector<std::wstring> addresses;
};

TEST(CenterForm1, LeftAndRightEdgesWithAThirdOfTheFreeHeightAbove) {
    const Screen screen{19200, 15360, 15, 15};
    FakeWindow left(500, 500, 1965, 9135);
    CenterForm1(left, screen, Side::Left);
    EXPECT_FLOAT_EQ(left.left, 0);
    EXPECT_FLOAT_EQ(left.top, 2075);
    FakeWindow right(500, 500, 1965, 9135);
    CenterForm1(right, screen, Side::Right);
    EXPECT_FLOAT_EQ(right.left, 17235);
    EXPECT_FLOAT_EQ(right.top, 2075);
    EXPECT_EQ(right.moves, 1);
    EXPECT_FLOAT_EQ(right.width, 1965);
    EXPECT_FLOAT_EQ(right.height, 9135);
}

TEST(CenterForm1, KeepsFractionsAndGoesNegativeOnALowScreen) {
    const Screen screen{1000.5f, 9000, 15, 15};
    FakeWindow w(0, 0, 1965, 9135);
    CenterForm1(w, screen, Side::Right);
    EXPECT_FLOAT_EQ(w.left, 1000.5f - 1965);
    EXPECT_FLOAT_EQ(w.top, -135.0f / 3.0f);
    w.height = 9001;
    CenterForm1(w, screen, Side::Left);
    EXPECT_FLOAT_EQ(w.top, -1.0f / 3.0f);
}

// Placed at start-up on the monitor at its side of the desktop, each window
// docks there on the first tick with the mouse away.
TEST(CenterForm1, EachWindowStandsWhereItDocksAtItsSideOfTheDesktop) {
    const Screen screen{19200, 15360, 15, 15};
    const std::vector<std::vector<RectPx>> layouts = {
        {{0, 0, 1280, 1024}, {1280, 0, 2560, 1024}},
        {{0, 0, 1280, 1024}, {-1280, 0, 0, 1024}},
        {{0, 0, 1280, 1024}, {0, -1024, 1280, 0}},
        // Right a taller one, higher up; left one lower down.
        {{0, 0, 1280, 1024}, {1280, -300, 3200, 780}, {-1280, 400, 0, 1424}},
    };
    for (const std::vector<RectPx>& monitors : layouts) {
        for (Side side : {Side::Left, Side::Right}) {
            FakeWindow w(0, 0, 1965, 9135);
            CenterForm1(w, screen, side, monitors);
            DockInput in;
            const int x = static_cast<int>(std::lround(w.left / 15)),
                      y = static_cast<int>(std::lround(w.top / 15));
            in.cursor = {640, 512};
            in.rect = {x, y, x + 131, y + 609};
            in.left = x * 15.0f;
            in.top = y * 15.0f;
            in.width = w.width;
            in.height = w.height;
            in.monitors = monitors;
            int edge = side == Side::Left ? monitors[0].left : monitors[0].right;
            for (const RectPx& m : monitors)
                edge = side == Side::Left ? std::min(edge, m.left) : std::max(edge, m.right);
            const DockAction dock = DockTick(in);
            EXPECT_EQ(dock.write, DockWrite::Left);
            EXPECT_FLOAT_EQ(dock.value,
                            side == Side::Left ? edge * 15 + 40 - 1965 : edge * 15 - 40);
        }
    }
}

TEST(LoadPromo, PlacesThenMakesTopmostWherePlacedThenNavigates) {
    const Screen screen{19200, 15360, 15, 15};
    FakeWindow w(0, 0, 1965, 9135);
    RecordingTarget t;
    LoadPromo(w, screen, adfrmKind, t);
    EXPECT_EQ(t.calls, (std::vector<std::string>{"topmost", "navigate"}));
    EXPECT_EQ(t.pixels.x, 1149);
    EXPECT_EQ(t.pixels.y, 138); // 2075 div 15
    EXPECT_EQ(t.pixels.cx, 131);
    EXPECT_EQ(t.pixels.cy, 609);
    ASSERT_EQ(t.addresses.size(), 1u);
    EXPECT_EQ(t.addresses[0], L"http://www.varno.example/gdownload.htm");
}

TEST(LoadPromo, TheLeftWindowShowsTheOtherPage) {
    FakeWindow w(3000, 3000, 1965, 9135);
    RecordingTarget t;
    LoadPromo(w, Screen{19200, 15360, 15, 15}, ad1frmKind, t);
    EXPECT_FLOAT_EQ(w.left, 0);
    EXPECT_EQ(t.pixels.x, 0);
    ASSERT_EQ(t.addresses.size(), 1u);
    EXPECT_EQ(t.addresses[0], L"http://www.varno.example/bdownload.htm");
    EXPECT_EQ(PageAddress(ad1frmKind), t.addresses[0]);
}

} // namespace
} // namespace varno
