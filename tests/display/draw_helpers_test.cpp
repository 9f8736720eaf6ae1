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

// ---- screen factors, text colours, label boxes ----

#include "display/map_projection.h"
#include "display/map_view.h"
#include "render/system_text.h"
#include "tests/render/render_fixture.h"

#include <cmath>

namespace {

TEST(DrawHelpers, ScreenFactorsFromTheClientSize)
{
    SetScreenFactors(1280, 720);
    EXPECT_FLOAT_EQ(ScreenScaleX, 2.0f);
    EXPECT_FLOAT_EQ(ScreenScaleY, 1.5f);
    EXPECT_FLOAT_EQ(TextScale, 1.5f);
    SetScreenFactors(0, -5);  // not measured yet
    EXPECT_FLOAT_EQ(ScreenScaleX, 1.0f);
    EXPECT_FLOAT_EQ(TextScale, 1.0f);
}

class LabelBoxTest : public RenderTest {};

TEST_F(LabelBoxTest, FaintFrameRoundAnOpaqueBoxIsDrawnAsTheBandOutsideIt)
{
    Settings.Dimlevel = 128;
    Record();
    DrawLabelBox(1.0, "EDDH", 400, 100, 100, 0, 0xFFFFFFFFu, 0xFF0000FFu, 0);
    const auto& draws = GpuRecordedDraws();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].vertexCount, 24u);         // four quads of two triangles
    EXPECT_EQ(Vertex(0, 0).colour, 0x40808080u);  // white dimmed, alpha 0x40
    EXPECT_EQ(Vertex(1, 0).colour, 0xFF000080u);  // the box colour dimmed
    EXPECT_EQ(Vertex(2, 0).colour, 0xFF000080u);
    Settings.Dimlevel = 255;
}

TEST_F(LabelBoxTest, FrameRoundABoxSeenThroughIsDrawnWhole)
{
    Record();
    DrawLabelBox(1.0, "EDDH", 400, 100, 100, 0, 0xFFFFFFFFu, 0x7F000000u, 0);
    const auto& draws = GpuRecordedDraws();
    ASSERT_EQ(draws.size(), 4u);
    EXPECT_EQ(draws[0].vertexCount, 3u);
    EXPECT_EQ(Vertex(0, 0).colour, 0x40FFFFFFu);
    EXPECT_EQ(Vertex(2, 0).colour, 0x7F000000u);
}

// The label box as drawn with its whole frame under the box.
void LabelBoxWithWholeFrame(double scale, const char* text, double x, double y, double boxAngle, uint32_t boxColour,
                            double mapAngle)
{
    OutlinePoint outline[5] = {}, frame[5] = {};
    MeasureTextOutline(outline, frame, scale, text, 400, x, y);
    if (boxAngle != 0.0) {
        RotateOutlineAboutOwnCentre(outline, boxAngle);
        RotateOutlineAboutOwnCentre(frame, boxAngle);
    }
    uint32_t box = 0, frameColour = 0;
    DimColour(&box, boxColour);
    DimColour(&frameColour, 0xFFFFFFFFu);
    frameColour = (frameColour & 0x00FFFFFFu) | 0x40000000u;
    const float a = static_cast<float>(mapAngle);
    DrawTriangle(frame, frameColour, a);
    DrawTriangle(frame + 2, frameColour, a);
    DrawTriangle(outline, box, a);
    DrawTriangle(outline + 2, box, a);
    RotateAboutCentre(&x, &y, mapAngle, static_cast<float>(ScreenCentre.x), static_cast<float>(ScreenCentre.y));
    DrawTextRotatedScaled(text, x, y, 0xFFFFFFFFu, scale, boxAngle + mapAngle, 5);
}

// Only the band of the frame outside an opaque box is blended: the pixels
// are those of the whole frame under the box, at any turn of the box and
// the map, for empty and many-line texts, cut at the target's edges.
TEST_F(LabelBoxTest, FrameBandLeavesThePixelsOfTheWholeFrame)
{
    const char* texts[] = {"EDDH", "", "245\nUL609\n460", "W"};
    const double boxAngles[] = {0, 0.3, 1.5707963, -2.7, 1e-6, 2.2};
    const double mapAngles[] = {0, 0.7, -1.9};
    int cases = 0;
    for (int dim : {255, 128})
        for (int t = 0; t < 4; t++)
            for (double boxAngle : boxAngles)
                for (double mapAngle : mapAngles) {
                    Settings.Dimlevel = dim;
                    const double scale = 0.5 + 0.4 * (cases % 4);
                    const double x = 40.37 + (cases * 37) % 600, y = 20.81 + (cases * 53) % 460;
                    ClearTarget(0xFF305070u);
                    LabelBoxWithWholeFrame(scale, texts[t], x, y, boxAngle, 0xFF102030u, mapAngle);
                    const std::vector<uint32_t> whole = BackBuffer();
                    ClearTarget(0xFF305070u);
                    DrawLabelBox(scale, texts[t], 400, x, y, boxAngle, 0xFFFFFFFFu, 0xFF102030u, mapAngle);
                    ASSERT_EQ(BackBuffer(), whole) << "text " << t << " box " << boxAngle << " map " << mapAngle;
                    cases++;
                }
    Settings.Dimlevel = 255;
}

// ---- ILS feather ----

class IlsFeatherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MapCenter.latitude = 53.63;
        MapCenter.longitude = 10.0;
        TileMapFlag = 1;
        ScreenCentre = {320, 240};
        FrameZoom = 1.0f;
        MapScale = 1.0f;
        double x = 0, y = 0;
        LatLonToMapPixel(&x, &y, 10.0, 53.63);
        CentreMapX = x;
        CentreMapY = y;
    }
};

TEST_F(IlsFeatherTest, PointsAwayFromTheRunwaySymmetricAboutItsCourse)
{
    BuildIlsFeather(320, 240, 53.63, 10.0, 0.0, 10.0);  // a runway heading north
    const OutlinePoint* p = IlsFeather.points;
    EXPECT_FLOAT_EQ(p[0].x, 320);
    EXPECT_FLOAT_EQ(p[0].y, 240);
    EXPECT_GT(p[2].y, 240);  // the centre tip lies south, below on the screen
    EXPECT_NEAR(p[2].x, 320, 0.01);
    EXPECT_NEAR(p[1].x - 320, 320 - p[3].x, 0.01);  // the tips mirror each other
    EXPECT_NEAR(p[1].y, p[3].y, 0.01);
    EXPECT_GT(p[1].y, p[2].y);  // the tips lie farther out than 0.9 of the length
    EXPECT_FLOAT_EQ(p[4].x, p[0].x);
    EXPECT_FLOAT_EQ(p[5].y, p[2].y);
    EXPECT_LT(IlsFeather.centreLat, 53.63);
    double dx = 0, dy = 0;
    FeatherLabelOffset(&dx, &dy, 1);
    EXPECT_NEAR(std::hypot(dx, dy / (dy < 0 ? 2 : 1)), 24, 1e-6);
}

TEST_F(IlsFeatherTest, ZeroLengthFeatherGivesAFiniteLabelOffset)
{
    BuildIlsFeather(320, 240, 53.63, 10.0, 1.0, 0.0);
    double dx = 0, dy = 0;
    FeatherLabelOffset(&dx, &dy, 2);
    EXPECT_TRUE(std::isfinite(dx));
    EXPECT_TRUE(std::isfinite(dy));
}

TEST(DrawHelpers, BearingWithoutNearestAirportsIsZero)
{
    double b = BearingToNearestAirport(53.0, 10.0);
    EXPECT_TRUE(std::isfinite(b));
}

// ---- curved vector ----

TEST(CurvedVector, SlowSpeedsAreTakenAsTheyAreFastOnesSmoothed)
{
    ResetCurvedVector();
    uint8_t reset = 0;
    DrawSmoothedVector(0, 0, 30, 0, 0, 100, 3, &reset);
    EXPECT_DOUBLE_EQ(GetSmoothedVectorSpeed(), 30);
    DrawSmoothedVector(0, 0, 120, 0, 0, 100, 3, &reset);
    EXPECT_DOUBLE_EQ(GetSmoothedVectorSpeed(), 120);  // stored was 30: taken as it is
    DrawSmoothedVector(0, 0, 20, 0, 0, 100, 3, &reset);
    EXPECT_DOUBLE_EQ(GetSmoothedVectorSpeed(), 0.99 * 120 + 0.01 * 20);
}

TEST(CurvedVector, SegmentCountMovesOneAFrameUnlessReset)
{
    ResetCurvedVector();
    uint8_t reset = 0;
    ScreenCentre = {320, 240};
    DrawTurnArc(0, 0, 100, 3, 3.14159, 0, &reset);  // n = 500, half a circle
    EXPECT_EQ(GetTurnArcSegments(), 250);
    DrawTurnArc(0, 0, 100, 3, 3.14159 / 2, 0, &reset);
    EXPECT_EQ(GetTurnArcSegments(), 249);
    DrawTurnArc(0, 0, 100, 3, 3.14159, 0, &reset);
    EXPECT_EQ(GetTurnArcSegments(), 250);
    reset = 1;
    DrawTurnArc(0, 0, 100, 3, 3.14159 / 2, 0, &reset);
    EXPECT_EQ(GetTurnArcSegments(), 125);
    EXPECT_EQ(reset, 0);
}

TEST(CurvedVector, ArcStartsAtTheAircraftAndBendsTowardsTheTurn)
{
    ResetCurvedVector();
    ScreenCentre = {320, 240};
    FrameZoom = 1.0f;
    MapScale = 1.0f;
    DrawTurnArc(0, 0, 100, -3, 1.0, 0, nullptr);  // left
    EXPECT_FLOAT_EQ(ScreenPointBuffer[0].x, 320);
    EXPECT_FLOAT_EQ(ScreenPointBuffer[0].y, 240);
    EXPECT_LT(ScreenPointBuffer[5].y, 240);  // up the screen
    EXPECT_LT(ScreenPointBuffer[5].x, 320);  // bending left
    ResetCurvedVector();
    DrawTurnArc(0, 0, 100, 3, 1.0, 0, nullptr);  // right
    EXPECT_GT(ScreenPointBuffer[5].x, 320);
    EXPECT_LT(ScreenPointBuffer[5].y, 240);
}

TEST(CurvedVector, NoRadiusNoTurnRateAndNoSpeedStayFinite)
{
    ResetCurvedVector();
    uint8_t reset = 0;
    DrawTurnArc(0, 0, 0, 3, 3.14, 0, &reset);  // a point has no segments
    EXPECT_EQ(GetTurnArcSegments(), 0);
    DrawTurnArc(0, 0, NAN, 3, 3.14, 0, &reset);
    EXPECT_EQ(GetTurnArcSegments(), 0);
    ScreenCentre = {320, 240};
    FrameZoom = 1.0f;
    MapScale = 1.0f;
    DrawSmoothedVector(320, 240, 120, 0, 0, 100, 0.0, &reset);  // straight ahead
    EXPECT_FLOAT_EQ(ScreenPointBuffer[1].x, 320);
    EXPECT_FLOAT_EQ(ScreenPointBuffer[1].y, 140);
    DrawSmoothedVector(320, 240, 0, 0, 0, 100, 5.0, &reset);  // standing: turn radius 0
    EXPECT_TRUE(std::isfinite(ScreenPointBuffer[0].x));
}

TEST(CurvedVector, FullCircleLengthIsClampedAndCountsStayWithinTwoAndAThousand)
{
    ResetCurvedVector();
    uint8_t reset = 1;
    DrawTurnArc(0, 0, 1e6, 3, 3.1415, 0, &reset);  // huge circle: capped drawing
    reset = 1;
    DrawTurnArc(0, 0, 4, 3, 0.001, 0, &reset);  // tiny arc: at least two points
    EXPECT_EQ(GetTurnArcSegments(), 0);  // stored as computed, drawn as two
}

}  // namespace
