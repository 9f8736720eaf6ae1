// The zoom animations: the scale curves of both, their ends and end flags,
// the reset without a request, the tile loader's stop, and the frame update
// moving the shown grid's scale.
#include "display/zoom_animation.h"

#include "app/main_window.h"
#include "app/settings.h"
#include "display/frame_update.h"
#include "display/map_redraw.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "maps/tile_grid.h"
#include "navdata/simulators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

float ShownScale()
{
    return TileGridBanks[GetDisplayedTileBank()].tileScale;
}

class ZoomAnimationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A tile job another test left (a frame update asks for grids) ends
        // here, and a grid it completed is not this test's.
        int word = 0;
        StopTileLoader(&word);
        DiscardTileGrid();
        ResetTileGrid();  // the load time a job measured sets the step's length
        ResetZoomAnimations();
        SetTileZoomEnding(false);
        TileGridBanks[0].tileScale = 1.0f;
        TileGridBanks[1].tileScale = 1.0f;
    }
    void TearDown() override
    {
        ResetZoomAnimations();
        TileMapFlag = 1;
    }
    ViewRect rect{};
};

TEST(ZoomCurves, LocalLevelStepsMoveLinearlyAndStopAtTheirRatio)
{
    bool ended = true;
    // Out from level 0 to 1: 1.0 down to 0.5 at r / D a second.
    EXPECT_FLOAT_EQ(LocalLevelZoomScale(0.5, 0.0, 5.0, &ended), 1.0f);
    EXPECT_FALSE(ended);
    EXPECT_FLOAT_EQ(LocalLevelZoomScale(0.5, 2.5, 5.0, &ended), 0.75f);
    EXPECT_FALSE(ended);
    EXPECT_FLOAT_EQ(LocalLevelZoomScale(0.5, 5.0, 5.0, &ended), 0.5f);
    EXPECT_TRUE(ended);
    EXPECT_FLOAT_EQ(LocalLevelZoomScale(0.5, 60.0, 5.0, &ended), 0.5f);
    EXPECT_TRUE(ended);
    // Out from level 1 to 2 (ratio 2/3) is there at half the duration.
    double r = 0.333333 / 0.5;
    EXPECT_FALSE((LocalLevelZoomScale(r, 2.4, 5.0, &ended), ended));
    EXPECT_FLOAT_EQ(LocalLevelZoomScale(r, 2.6, 5.0, &ended), static_cast<float>(r));
    EXPECT_TRUE(ended);
    // In from level 1 to 0: 1.0 up to 2.0 over the whole duration.
    EXPECT_FLOAT_EQ(LocalLevelZoomScale(2.0, 2.5, 5.0, &ended), 1.5f);
    EXPECT_FALSE(ended);
    EXPECT_FLOAT_EQ(LocalLevelZoomScale(2.0, 5.5, 5.0, &ended), 2.0f);
    EXPECT_TRUE(ended);
}

TEST(ZoomCurves, FineStepsRunBetweenTheirPowersOfTwo)
{
    bool ended = true;
    EXPECT_FLOAT_EQ(LocalStepZoomScale(2.0, 4.0, 2.5, 5.0, &ended), 3.0f);
    EXPECT_FALSE(ended);
    EXPECT_FLOAT_EQ(LocalStepZoomScale(4.0, 2.0, 1.25, 5.0, &ended), 3.5f);
    EXPECT_FLOAT_EQ(LocalStepZoomScale(4.0, 2.0, 7.0, 5.0, &ended), 2.0f);
    EXPECT_TRUE(ended);
}

TEST(ZoomCurves, TileStepsDoubleOrHalveOverTheLoadTime)
{
    bool ended = true;
    EXPECT_FLOAT_EQ(TileZoomScale(1, 1.0, 1.0, 2.0, &ended), 1.5f);
    EXPECT_FALSE(ended);
    EXPECT_FLOAT_EQ(TileZoomScale(1, 1.0, 3.0, 2.0, &ended), 2.0f);
    EXPECT_TRUE(ended);
    // An over-zoomed grid starts above 1 and grows at the same pace.
    EXPECT_FLOAT_EQ(TileZoomScale(1, 4.0, 2.0, 2.0, &ended), 5.0f);
    EXPECT_FALSE(ended);
    EXPECT_FLOAT_EQ(TileZoomScale(-1, 2.0, 1.0, 2.0, &ended), 1.5f);
    EXPECT_FALSE(ended);
    EXPECT_FLOAT_EQ(TileZoomScale(-1, 2.0, 2.0, 2.0, &ended), 1.0f);
    EXPECT_TRUE(ended);
}

TEST(ZoomCurves, UnusableValuesGoStraightToTheEnd)
{
    bool ended = false;
    EXPECT_FLOAT_EQ(TileZoomScale(1, 1.0, 0.5, 0.0, &ended), 2.0f);
    EXPECT_TRUE(ended);
    ended = false;
    EXPECT_FLOAT_EQ(TileZoomScale(-1, 1.0, 0.5, -1.0, &ended), 0.5f);
    EXPECT_TRUE(ended);
    ended = false;
    double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FLOAT_EQ(LocalLevelZoomScale(nan, 1.0, 5.0, &ended), 1.0f);
    EXPECT_TRUE(ended);
    ended = false;
    EXPECT_FLOAT_EQ(LocalLevelZoomScale(0.5, 1.0, 0.0, &ended), 0.5f);
    EXPECT_TRUE(ended);
    ended = false;
    EXPECT_FLOAT_EQ(LocalStepZoomScale(1.0, 2.0, 1.0, nan, &ended), 2.0f);
    EXPECT_TRUE(ended);
}

TEST_F(ZoomAnimationTest, LocalStepWithoutADurationTakesFiveSecondsAndRaisesItsEndFlag)
{
    TileMapFlag = 0;
    RequestLocalLevelZoom(0, 1);
    AnimateLocalZoom(&rect, 100, 200, 239, 176, 50.0);
    EXPECT_FLOAT_EQ(ShownScale(), 1.0f);
    AnimateLocalZoom(&rect, 100, 200, 239, 176, 54.0);
    EXPECT_FLOAT_EQ(ShownScale(), 0.6f);
    EXPECT_FALSE(HasLocalZoomEnded());
    AnimateLocalZoom(&rect, 100, 200, 239, 176, 55.5);
    EXPECT_FLOAT_EQ(ShownScale(), 0.5f);
    EXPECT_TRUE(HasLocalZoomEnded());
    // A level step waits for its set: it runs on at its end value.
    EXPECT_TRUE(IsLocalZoomRequested());
    AnimateLocalZoom(&rect, 100, 200, 239, 176, 80.0);
    EXPECT_FLOAT_EQ(ShownScale(), 0.5f);
    FinishLocalZoom();
    // Without a request the state starts over and the end flag is down.
    AnimateLocalZoom(&rect, 100, 200, 239, 176, 81.0);
    EXPECT_FALSE(HasLocalZoomEnded());
    EXPECT_FLOAT_EQ(ShownScale(), 0.5f);
    // The view rectangle is the view about the centre.
    EXPECT_EQ(rect.left, 100 - 239);
    EXPECT_EQ(rect.right, 100 + 239);
    EXPECT_EQ(rect.top, 200 - 176);
    EXPECT_EQ(rect.bottom, 200 + 176);
    EXPECT_EQ(GetCurrentViewRect().left, rect.left);
}

TEST_F(ZoomAnimationTest, LocalFineStepEndsByItselfAndANewSetKeepsItsOwnScale)
{
    TileMapFlag = 0;
    RequestLocalStepZoom(1, 2, 2.0);
    TileGridBanks[GetDisplayedTileBank()].tileScale = 2.0f;
    AnimateLocalZoom(&rect, 0, 0, 10, 10, 5.0);
    AnimateLocalZoom(&rect, 0, 0, 10, 10, 6.0);
    EXPECT_FLOAT_EQ(ShownScale(), 3.0f);
    AnimateLocalZoom(&rect, 0, 0, 10, 10, 7.0);
    EXPECT_FLOAT_EQ(ShownScale(), 4.0f);
    EXPECT_FALSE(IsLocalZoomRequested());

    RequestLocalLevelZoom(1, 0, 2.0);
    AnimateLocalZoom(&rect, 0, 0, 10, 10, 10.0);
    ToggleDisplayedTileBank();  // a set of the new level is shown meanwhile
    TileGridBanks[GetDisplayedTileBank()].tileScale = 1.0f;
    AnimateLocalZoom(&rect, 0, 0, 10, 10, 11.0);
    EXPECT_FLOAT_EQ(ShownScale(), 1.0f);
    ToggleDisplayedTileBank();
}

TEST_F(ZoomAnimationTest, TileStepGrowsTheShownGridFromItsScaleAndRaisesTheEndFlag)
{
    TileMapFlag = 1;
    TileGridBanks[GetDisplayedTileBank()].tileScale = 2.0f;
    SetTileZoomPending(1, true);
    EXPECT_TRUE(IsTileZoomAnimationRunning());
    double d = GetGridLoadTime();
    ASSERT_GT(d, 0.0);
    AnimateTileZoom(&rect, 300, 400, 640, 480, 100.0);
    EXPECT_FLOAT_EQ(ShownScale(), 2.0f);
    AnimateTileZoom(&rect, 300, 400, 640, 480, 100.0 + d);
    EXPECT_FLOAT_EQ(ShownScale(), 3.0f);
    EXPECT_FALSE(IsTileZoomEnding());
    AnimateTileZoom(&rect, 300, 400, 640, 480, 100.0 + 3 * d);
    EXPECT_FLOAT_EQ(ShownScale(), 4.0f);
    EXPECT_TRUE(IsTileZoomEnding());
    EXPECT_EQ(rect.left, 300 - 320);
    EXPECT_EQ(rect.right, 300 + 320);
    EXPECT_EQ(rect.top, 400 - 240);
    EXPECT_EQ(rect.bottom, 400 + 240);

    // The grid of the new zoom is laid out (the state words cleared) and
    // swapped in: the step is over and the new grid keeps its scale.
    ClearTileZoomAnimationState();
    EndTileZoomSteps();
    TileGridBanks[GetDisplayedTileBank()].tileScale = 1.0f;
    EXPECT_FALSE(IsTileZoomAnimationRunning());
    AnimateTileZoom(&rect, 300, 400, 640, 480, 200.0);
    EXPECT_FLOAT_EQ(ShownScale(), 1.0f);
}

TEST_F(ZoomAnimationTest, TileStepOutHalvesAndAStepWithoutItsGridPutsTheScaleBack)
{
    TileMapFlag = 1;
    SetTileZoomPending(-1, true);
    double d = GetGridLoadTime();
    AnimateTileZoom(&rect, 0, 0, 640, 480, 10.0);
    AnimateTileZoom(&rect, 0, 0, 640, 480, 10.0 + d / 2);
    EXPECT_FLOAT_EQ(ShownScale(), 0.75f);
    // The loader ended without a grid (stopped or failed).
    EndTileZoomSteps();
    AnimateTileZoom(&rect, 0, 0, 640, 480, 10.0 + d);
    EXPECT_FLOAT_EQ(ShownScale(), 1.0f);
    EXPECT_EQ(GetTileZoomAnimationState().startTime, 0.0);
}

TEST_F(ZoomAnimationTest, StoppingTheTileLoaderHoldsTheAnimationWhereItIs)
{
    TileMapFlag = 1;
    SetTileZoomPending(1, true);
    double d = GetGridLoadTime();
    AnimateTileZoom(&rect, 0, 0, 640, 480, 10.0);
    AnimateTileZoom(&rect, 0, 0, 640, 480, 10.0 + d / 4);
    EXPECT_FLOAT_EQ(ShownScale(), 1.25f);
    int word = 1;
    StopTileLoader(&word);
    EXPECT_EQ(word, 0);
    EXPECT_TRUE(GetTileZoomAnimationState().stopped);
    AnimateTileZoom(&rect, 0, 0, 640, 480, 10.0 + d / 2);
    EXPECT_FLOAT_EQ(ShownScale(), 1.25f);
    EXPECT_FALSE(IsTileZoomEnding());
    // The next step starts afresh from the scale shown.
    EndTileZoomSteps();
    AnimateTileZoom(&rect, 0, 0, 640, 480, 20.0);
    SetTileZoomPending(1, true);
    AnimateTileZoom(&rect, 0, 0, 640, 480, 30.0);
    EXPECT_FALSE(GetTileZoomAnimationState().stopped);
    AnimateTileZoom(&rect, 0, 0, 640, 480, 30.0 + d / 2);
    EXPECT_FLOAT_EQ(ShownScale(), 1.5f);
}

TEST_F(ZoomAnimationTest, WithoutAStepNothingMoves)
{
    TileMapFlag = 1;
    TileGridBanks[GetDisplayedTileBank()].tileScale = 2.0f;
    AnimateTileZoom(&rect, 0, 0, 640, 480, 10.0);
    AnimateTileZoom(&rect, 0, 0, 640, 480, 20.0);
    EXPECT_FLOAT_EQ(ShownScale(), 2.0f);
    TileMapFlag = 0;
    AnimateLocalZoom(&rect, 0, 0, 10, 10, 30.0);
    EXPECT_FLOAT_EQ(ShownScale(), 2.0f);
    EXPECT_FALSE(IsTileZoomAnimationRunning());
}

// The frames run on a clock of the test's own, so the step's time-line is
// the same however busy the machine is; a pending relayout keeps the frame
// from starting a tile job of its own, whose end would end the step.
double FrameTime = 0;
double TestFrameClock() { return FrameTime; }

TEST_F(ZoomAnimationTest, TheFrameUpdateMovesTheShownGridAndClearsTheEndFlag)
{
    ResetFrameUpdate();
    SetFrameUpdateClock(TestFrameClock);
    MainWindowState.relayoutRequest = 1;
    TileMapFlag = 1;
    Settings.UseSimulator = SimulatorNone;
    SetTileZoomPending(1, true);
    float x = 0, y = 0, h = 0, m = 0, s = 0;
    FrameTime = 100.0;
    UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &h, &m, &s, 640, 480);
    EXPECT_FLOAT_EQ(ShownScale(), 1.0f);
    double d = GetGridLoadTime();
    ASSERT_GT(d, 0.0);
    FrameTime = 100.0 + d / 2;
    SetTileZoomEnding(true);  // left from before: a frame in tile-map mode clears it
    UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &h, &m, &s, 640, 480);
    EXPECT_FLOAT_EQ(ShownScale(), 1.5f);
    EXPECT_FALSE(IsTileZoomEnding());
    FrameTime = 100.0 + 2 * d;
    UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &h, &m, &s, 640, 480);
    EXPECT_FLOAT_EQ(ShownScale(), 2.0f);
    EXPECT_TRUE(IsTileZoomEnding());
    // The step ended without its grid: the map goes back to the scale it had.
    EndTileZoomSteps();
    FrameTime = 100.0 + 3 * d;
    UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &h, &m, &s, 640, 480);
    EXPECT_FLOAT_EQ(ShownScale(), 1.0f);
    SetFrameUpdateClock(nullptr);
    SetTileShutdown();
    MainWindowState.relayoutRequest = 0;
    Settings.UseSimulator = SimulatorMsfs;
}

TEST_F(ZoomAnimationTest, ATileMapFrameDropsALocalStepAndALocalFrameMovesIt)
{
    ResetFrameUpdate();
    Settings.UseSimulator = SimulatorNone;
    TileMapFlag = 1;
    RequestLocalLevelZoom(0, 1);
    float x = 0, y = 0, h = 0, m = 0, s = 0;
    UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &h, &m, &s, 640, 480);
    EXPECT_FALSE(IsLocalZoomRequested());
    EXPECT_FLOAT_EQ(ShownScale(), 1.0f);
    Settings.UseSimulator = SimulatorMsfs;
}

}  // namespace
