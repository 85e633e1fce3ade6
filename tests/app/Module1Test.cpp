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

// At 168 and 192 DPI the factor is fractional (8.57 and 7.5 twips per pixel):
// the design sizes convert to their nearest pixels, and a rectangle read back
// from a window (whole pixels times the factor) converts to those pixels.
TEST(TopmostPixels, DividesByTheExactFactorWhenItIsFractional) {
    struct Case {
        int dpi;
        PixelRect promo, progress;
    };
    for (const Case& c : {Case{168, {0, 0, 229, 1066}, {0, 0, 455, 133}},
                          Case{192, {0, 0, 262, 1218}, {0, 0, 520, 152}}}) {
        SCOPED_TRACE(c.dpi);
        const float tpp = 1440.0f / static_cast<float>(c.dpi);
        PixelRect r = TopmostPixels(0, 0, 1965, 9135, tpp, tpp);
        EXPECT_EQ(r.cx, c.promo.cx);
        EXPECT_EQ(r.cy, c.promo.cy);
        r = TopmostPixels(0, 0, 3900, 1140, tpp, tpp);
        EXPECT_EQ(r.cx, c.progress.cx);
        EXPECT_EQ(r.cy, c.progress.cy);
        // The right-hand promotional window on a 2560 x 1600 screen, and one
        // above the top edge.
        auto twips = [tpp](int px) { return static_cast<float>(px) * tpp; };
        for (const PixelRect& px : {PixelRect{2560 - c.promo.cx, 178, c.promo.cx, c.promo.cy},
                                    PixelRect{-7, -300, c.promo.cx, c.promo.cy}}) {
            r = TopmostPixels(twips(px.x), twips(px.y), twips(px.cx), twips(px.cy), tpp, tpp);
            EXPECT_EQ(r.x, px.x);
            EXPECT_EQ(r.y, px.y);
            EXPECT_EQ(r.cx, px.cx);
            EXPECT_EQ(r.cy, px.cy);
        }
    }
}

} // namespace
} // namespace varno
