// The map's redraw request and the new-bank flag as the frame takes them.
#include "display/map_redraw.h"

#include <gtest/gtest.h>

#include <thread>

TEST(MapRedrawTest, ARequestHoldsUntilAFrameAnswersIt)
{
    TakeMapRedrawRequest();
    EXPECT_FALSE(IsMapRedrawPending());
    RequestMapRedraw();
    RequestMapRedraw();
    EXPECT_TRUE(IsMapRedrawPending());
    TakeMapRedrawRequest();
    EXPECT_FALSE(IsMapRedrawPending());
}

TEST(MapRedrawTest, ANewBankIsTakenOnceWhicheverThreadRaisedIt)
{
    TakeNewTileBankFlag();
    std::thread loader([] { RaiseNewTileBankFlag(); });
    loader.join();
    EXPECT_TRUE(TakeNewTileBankFlag());
    EXPECT_FALSE(TakeNewTileBankFlag());
}

TEST(MapRedrawTest, ANewGridClearsTheZoomStartAndAStopHoldsUntilTheNextStart)
{
    StartTileZoomAnimation(12.5, 2.0);
    std::thread loader([] {
        StopTileZoomAnimation();
        ClearTileZoomAnimationState();
    });
    loader.join();
    TileZoomAnimationState s = GetTileZoomAnimationState();
    EXPECT_EQ(s.startTime, 0.0);
    EXPECT_EQ(s.startScale, 0.0);
    EXPECT_TRUE(s.stopped);
    StartTileZoomAnimation(13.0, 1.0);
    EXPECT_FALSE(GetTileZoomAnimationState().stopped);
}
