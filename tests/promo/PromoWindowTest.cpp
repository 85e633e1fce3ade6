#include "promo/PromoWindow.h"
#include "support/FakeWindow.h"

#include <gtest/gtest.h>

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

TEST(CenterForm1, TheMainMonitorAlonePlacesAsTheScreenAlone) {
    // 96, 120 and 168 DPI: whole and fractional twips per pixel.
    for (const float tpp : {15.0f, 12.0f, 1440.0f / 168.0f}) {
        const Screen screen{1280 * tpp, 1024 * tpp, tpp, tpp};
        const RectPx main[] = {{0, 0, 1280, 1024}};
        for (Side side : {Side::Left, Side::Right}) {
            FakeWindow alone(9, 9, 1965, 9135), listed(9, 9, 1965, 9135);
            CenterForm1(alone, screen, side);
            CenterForm1(listed, screen, side, main);
            EXPECT_EQ(listed.left, alone.left) << tpp; // bit for bit
            EXPECT_EQ(listed.top, alone.top) << tpp;
        }
    }
}

TEST(CenterForm1, OnTheMonitorThatReachesFurthestToItsSide) {
    const Screen screen{19200, 15360, 15, 15};
    // Right of the main monitor one 1920 x 1080 pixels high, 300 pixels up;
    // left of it one as far left as a third, which comes first.
    const RectPx monitors[] = {
        {0, 0, 1280, 1024}, {1280, -300, 3200, 780}, {-1280, 0, 0, 1024}, {-1280, 1024, 0, 2048}};
    FakeWindow right(0, 0, 1965, 9135), left(0, 0, 1965, 9135);
    CenterForm1(right, screen, Side::Right, monitors);
    EXPECT_FLOAT_EQ(right.left, 48000 - 1965);
    EXPECT_FLOAT_EQ(right.top, -4500 + (16200 - 9135) / 3.0f);
    CenterForm1(left, screen, Side::Left, monitors);
    EXPECT_FLOAT_EQ(left.left, -19200);
    EXPECT_FLOAT_EQ(left.top, 2075);
    EXPECT_EQ(OuterMonitor(monitors, Side::Left), 2u);
    EXPECT_EQ(OuterMonitor({monitors, 1}, Side::Right), 0u);
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
