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
