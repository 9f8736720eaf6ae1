// Dimming, rotations and cached circles of the drawing helpers.
#include "app/settings.h"
#include "display/draw_helpers.h"

#include <gtest/gtest.h>

namespace {

TEST(DrawHelpers, DimmingKeepsAlphaAndTruncates)
{
    EXPECT_EQ(DimmedColour(0xFFFFFFFFu, 255), 0xFFFFFFFFu);
    EXPECT_EQ(DimmedColour(0xFFFFFFFFu, 128), 0xFF808080u);
    EXPECT_EQ(DimmedColour(0x40010203u, 128), 0x40000101u);
    Settings.Dimlevel = 128;
    uint32_t c = 0;
    DimColour(&c, 0xFF0000FFu);
    EXPECT_EQ(c, 0xFF000080u);
    Settings.Dimlevel = 255;
}

TEST(DrawHelpers, ZeroAngleLeavesPointsAndOutlinesExactlyAsTheyWere)
{
    double x = 123.456789, y = -98.7654321;
    RotateAboutCentre(&x, &y, 0.0, 320, 240);
    EXPECT_EQ(x, 123.456789);
    EXPECT_EQ(y, -98.7654321);
    OutlinePoint o[5] = {{1.1f, 2.2f, 0}, {3.3f, 4.4f, 0}, {5.5f, 6.6f, 0}, {7.7f, 8.8f, 0}, {9, 9, 0}};
    RotateOutlineAboutPoint(o, 0.0, 10, 10);
    EXPECT_EQ(o[0].x, 1.1f);
    EXPECT_EQ(o[4].x, 9.0f);  // untouched, not even closed
}

TEST(DrawHelpers, RotationTurnsClockwiseOnScreen)
{
    double x = 420, y = 240;
    RotateAboutCentre(&x, &y, 1.5707963, 320, 240);
    EXPECT_NEAR(x, 320, 1e-3);
    EXPECT_NEAR(y, 340, 1e-3);
    OutlinePoint o[5] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {0, 0, 0}};
    RotateOutlineAboutOwnCentre(o, 3.14159265);
    EXPECT_NEAR(o[0].x, 2, 1e-5);
    EXPECT_NEAR(o[0].y, 2, 1e-5);
    EXPECT_EQ(o[4].x, o[0].x);
}

TEST(DrawHelpers, CircleSegmentsAndCacheReuse)
{
    const OutlinePoint* p = nullptr;
    DrawCircle(100, 100, 10, 0, 0xFFFFFFFF, 1, 1);
    EXPECT_EQ(GetCircleCache(1, &p), 37);
    EXPECT_FLOAT_EQ(p[36].y, p[0].y);  // closed
    DrawCircle(100, 100, 500, 0, 0xFFFFFFFF, 1, 2);
    EXPECT_EQ(GetCircleCache(2, &p), 100);
    DrawCircle(100, 100, 10, 0, 0xFFFFFFFF, 1, 7);  // any other slot is slot 2
    EXPECT_EQ(GetCircleCache(2, &p), 37);
    DrawCircle(150, 100, 10, 0, 0xFFFFFFFF, 1, 1);  // only x changed: rebuilt there
    GetCircleCache(1, &p);
    EXPECT_FLOAT_EQ(p[0].x, 150.0f);
    EXPECT_FLOAT_EQ(p[0].y, 110.0f);
}

}  // namespace
