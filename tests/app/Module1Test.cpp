#include "app/Module1.h"
#include "support/FakeWindow.h"

#include <gtest/gtest.h>

namespace varno {
namespace {

TEST(CentreOnScreen, ThirdOfFreeHeightAboveAndCentredAcross) {
    FakeWindow w(100, 200, 8400, 4950);
    CentreOnScreen(w, Screen{19200, 14400, 15, 15});
    EXPECT_FLOAT_EQ(w.left, 5400);
    EXPECT_FLOAT_EQ(w.top, 3150);
    EXPECT_FLOAT_EQ(w.width, 8400); // size untouched
    EXPECT_FLOAT_EQ(w.height, 4950);
}

TEST(CentreOnScreen, KeepsFractionsAndGoesNegativeForAWindowLargerThanTheScreen) {
    FakeWindow w(0, 0, 1001, 1000);
    CentreOnScreen(w, Screen{1000, 500, 15, 15});
    EXPECT_FLOAT_EQ(w.left, -0.5f);
    EXPECT_FLOAT_EQ(w.top, -500.0f / 3.0f);
}

TEST(TopmostPixels, RoundsHalfToEvenAndTruncatesDivisions) {
    // x: 22.5 -> 22 (even); y: 337 div 15 = 22; cx: 3900 div 15; cy: 1140 div 15.
    PixelRect r = TopmostPixels(337.5f, 337.4f, 3900, 1140, 15, 15);
    EXPECT_EQ(r.x, 22);
    EXPECT_EQ(r.y, 22);
    EXPECT_EQ(r.cx, 260);
    EXPECT_EQ(r.cy, 76);
    // 352.5 / 15 = 23.5 -> 24 (even); top -22.5 -> -22 (even), div 15 truncates to -1.
    r = TopmostPixels(352.5f, -22.5f, 29.5f, 1965, 15, 15);
    EXPECT_EQ(r.x, 24);
    EXPECT_EQ(r.y, -1);
    EXPECT_EQ(r.cx, 2); // 29.5 -> 30 (even), div 15
    EXPECT_EQ(r.cy, 131);
}

} // namespace
} // namespace varno
