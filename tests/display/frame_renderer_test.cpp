// The frame renderer on the headless renderer: the whole screen with and
// without the bezel, the aircraft and its hiding while panning, the choice of
// renderer, the small windows' arrow inside them, the wind text and the
// snapshot refresh.
#include "app/settings.h"
#include "display/aircraft_values.h"
#include "display/frame_limiter.h"
#include "display/frame_renderer.h"
#include "display/frame_update.h"
#include "display/map_view.h"
#include "display/sprite_table.h"
#include "navdata/nav_tables.h"
#include "navdata/simulators.h"
#include "render/bitmap_fonts.h"
#include "tests/render/render_fixture.h"

#include "tests/support/screenshot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

constexpr uint32_t Cream = 0xFFCDFEFFu;  // 0xFFFFFECD read as red, green, blue

// Headless frames of a given client size on the shipped pictures, with no
// simulator selected so that no link starts.
template <int W, int H>
class FrameTest : public RenderTest {
protected:
    FrameTest() : RenderTest(W, H) {}
    void SetUp() override
    {
        RenderTest::SetUp();
        ASSERT_TRUE(LoadSpriteTable(TVL_ROOT_DIR, 1));
        Settings.UseSimulator = SimulatorNone;
        Settings.ShowFrame = 1;
        Settings.TrackUp = 0;
        Settings.TopMost = 1;
        Settings.AircraftColor = 0xFFFFFFFFu;
        // The empty moving map with its wind box: no chart, no airport
        // diagram, no navigation symbols and no terrain that earlier tests
        // left (nor their fast snapshot refresh).
        Settings.AirportChart = 0;
        Settings.NavAirport = 0;
        Settings.Windrose = 0;
        Settings.Terrainstate = 0;
        FreeNavdata();
        MapPanning = 0;
        MiniWindowFlag = false;
        ResetFrameUpdate();
    }
    void TearDown() override
    {
        ReleaseDisplayBitmaps();
        Settings.UseSimulator = SimulatorMsfs;
        RenderTest::TearDown();
    }
    // Pixels within radius of (x, y) that are not the empty map's cream.
    int NonCream(int x, int y, int radius)
    {
        int n = 0;
        for (int j = y - radius; j <= y + radius; ++j)
            for (int i = x - radius; i <= x + radius; ++i)
                n += Pixel(i, j) != Cream;
        return n;
    }
    // Pixels in a rectangle that are not black.
    int Lit(int x0, int y0, int x1, int y1)
    {
        int n = 0;
        for (int j = y0; j < y1; ++j)
            for (int i = x0; i < x1; ++i)
                n += (Pixel(i, j) & 0x00FFFFFFu) != 0;
        return n;
    }
};

using WholeScreenTest = FrameTest<640, 480>;

TEST_F(WholeScreenTest, BezelAroundTheMapAndTheAircraftAtTheMapWindowsCentre)
{
    DrawScreen(nullptr, 0.02f, 640, 480);
    EXPECT_EQ(ScreenCentre.x, 84 + 472 / 2);
    EXPECT_EQ(ScreenCentre.y, 40 + 319 / 2);
    EXPECT_NE(Pixel(4, 4), Cream);                   // the bezel
    EXPECT_EQ(Pixel(ScreenCentre.x + 150, ScreenCentre.y), Cream);  // the empty map
    EXPECT_GT(NonCream(ScreenCentre.x, ScreenCentre.y, 10), 30);    // the aircraft
    EXPECT_EQ(DrawingFrame.load(), 0);
    EXPECT_TRUE(IsFirstFrameDrawn());
}

TEST_F(WholeScreenTest, WithoutBezelOrInTrackUpTheCentreIsTheScreensCentre)
{
    Settings.ShowFrame = 0;
    DrawScreen(nullptr, 0.02f, 640, 480);
    EXPECT_EQ(ScreenCentre.x, 320);
    EXPECT_EQ(ScreenCentre.y, 240);
    EXPECT_EQ(Pixel(4, 4), Cream);
    EXPECT_GT(NonCream(320, 240, 10), 30);
    Settings.ShowFrame = 1;
    Settings.TrackUp = 1;
    DrawScreen(nullptr, 0.02f, 640, 480);
    EXPECT_EQ(ScreenCentre.y, 240);
    Settings.TrackUp = 0;
}

TEST_F(WholeScreenTest, AircraftIsHiddenWhilePanning)
{
    MapPanning = 1;
    DrawScreen(nullptr, 0.02f, 640, 480);
    EXPECT_EQ(NonCream(ScreenCentre.x, ScreenCentre.y, 30), 0);
    MapPanning = 0;
}

TEST_F(WholeScreenTest, EveryWholeFrameIsCountedByTheLimiter)
{
    ResetFrameLimiterCount();
    DrawScreen(nullptr, 0.02f, 640, 480);
    DrawScreen(nullptr, 0.02f, 640, 480);
    EXPECT_EQ(FrameLimiterCount, 2);
}

TEST_F(WholeScreenTest, SmallWindowsNeedTopMost)
{
    HeadingBoxRect = {-1, -1, -1, -1};
    MiniWindowFlag = true;
    Settings.TopMost = 0;
    // The whole screen scaled into the window: its wind box stands at the
    // map's right edge, not at the small window's corner.
    DrawFrame(nullptr, 0.02f, 640, 480);
    EXPECT_GT(HeadingBoxRect.left, 320);
    Settings.TopMost = 1;
    DrawFrame(nullptr, 0.02f, 640, 480);
    EXPECT_EQ(HeadingBoxRect.right, 68);
    EXPECT_EQ(HeadingBoxRect.bottom, 37);
    MiniWindowFlag = false;
}

TEST_F(WholeScreenTest, SnapshotRefreshesAfterThirtySecondsAtRest)
{
    ResetSnapshotClock();
    uint8_t phase = LabelPhase;
    DrawScreen(nullptr, 20.0f, 640, 480);
    EXPECT_EQ(LabelPhase, phase);
    DrawScreen(nullptr, 11.0f, 640, 480);
    EXPECT_NE(LabelPhase, phase);
    EXPECT_EQ(GetSnapshotClock(), 0.0);
}

TEST(SnapshotPeriodTest, FiveSecondsAtRestOneFromEightyKnots)
{
    EXPECT_DOUBLE_EQ(SnapshotPeriod(0), 5.0);
    EXPECT_DOUBLE_EQ(SnapshotPeriod(40), 3.0);
    EXPECT_DOUBLE_EQ(SnapshotPeriod(80), 1.0);
    EXPECT_DOUBLE_EQ(SnapshotPeriod(100), 1.0);
    EXPECT_DOUBLE_EQ(SnapshotPeriod(250), 1.0);
}

TEST(WindTextTest, DegreesAndKnotsRoundedOrDashesWithoutWind)
{
    char text[32];
    FormatWindText(text, sizeof text, 359.6f, 12.4f);
    EXPECT_EQ(std::string(text), "360\xB0\n 12 kn");
    FormatWindText(text, sizeof text, 45.0f, 0.0f);
    EXPECT_EQ(std::string(text), "---\xB0\n--- kn");
    FormatWindText(text, sizeof text, 0.0f, -3.0f);
    EXPECT_EQ(std::string(text), "---\xB0\n--- kn");
    FormatWindText(text, sizeof text, 1e30f, 5.0f);  // no overflow on nonsense
    EXPECT_NE(std::string(text).find("2147483647\xB0"), std::string::npos);
}

using MiniWindowTest = FrameTest<80, 80>;

TEST_F(MiniWindowTest, ArrowLiesInsideTheWindowBesideTheText)
{
    for (uint8_t frame : {0, 1}) {
        Settings.WindowFrame = frame;
        ClearTarget(0xFF000000u);
        DrawMiniHeadingBox(nullptr, 0.02f, 80, 80);
        EXPECT_GT(Lit(0, 0, 40, 80), 100) << int(frame);
    }
    Settings.WindowFrame = 0;
}

TEST_F(MiniWindowTest, TheWholeWindTextShowsAtAnySpeed)
{
    MapPanning = 1;  // the wind stays as set here
    Aircraft.WindDirection = 355;
    Aircraft.MagneticVariation = 0;
    Aircraft.WindSpeed = 150;
    for (uint8_t frame : {0, 1}) {
        Settings.WindowFrame = frame;
        ClearTarget(0xFF000000u);
        DrawMiniHeadingBox(nullptr, 0.02f, 80, 80);
        EXPECT_GT(Lit(40, 20, 78, 60), 20) << int(frame);  // "150 kn"
        EXPECT_EQ(Lit(79, 0, 80, 80), 0) << int(frame);    // nothing runs off the edge
    }
    if (KeepingScreenshots())
        WriteBackBufferPng(KeptScreenshotPath("mini_window_80.png").c_str());
    Settings.WindowFrame = 0;
    Aircraft.WindSpeed = 0;
    MapPanning = 0;
}

using AltWindowTest = FrameTest<500, 100>;

TEST_F(AltWindowTest, ArrowLiesInsideTheWindowBeforeTheWindText)
{
    DrawMiniHeadingBoxAlt(nullptr, 0.02f, 500, 100);
    EXPECT_GT(Lit(400, 0, 440, 40), 100);
    EXPECT_EQ(Lit(0, 60, 380, 100), 0);
    EXPECT_FLOAT_EQ(HeadingBoxRect.left, 400);
    EXPECT_FLOAT_EQ(HeadingBoxRect.top, 40 + 27);
}

TEST_F(AltWindowTest, TheStatusLineEndsBeforeTheWindBox)
{
    Settings.MenuState = 2;  // the aircraft's values: the longest line
    DrawMiniHeadingBoxAlt(nullptr, 0.02f, 500, 100);
    if (KeepingScreenshots())
        WriteBackBufferPng(KeptScreenshotPath("mini_window_500.png").c_str());
    EXPECT_GT(Lit(84, 38, 396, 60), 100);  // the line, from the map's left edge
    EXPECT_EQ(Lit(396, 38, 500, 100), 0);
    Settings.MenuState = 1;
}

TEST_F(AltWindowTest, TextsShrinkOnlyWhenTheyWouldRunPastTheirRoom)
{
    SetFontSize(16);
    EXPECT_FLOAT_EQ(FittingTextScale("kn", 400.0f), 1.0f);
    float scale = FittingTextScale("GS: 120 kn/ Hdg: 270 T/ Alt: 35000 ft", 100.0f);
    EXPECT_GT(scale, 0.1f);
    EXPECT_LT(scale, 0.5f);
    EXPECT_EQ(FittingTextScale("kn", 0.0f), 0.0f);
    EXPECT_EQ(FittingTextScale("kn", -5.0f), 0.0f);
}

}  // namespace
