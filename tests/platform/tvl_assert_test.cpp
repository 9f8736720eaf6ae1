// TVL_ASSERT in the test build: a kept invariant costs nothing, a broken one
// stops the program naming the condition and the place.
#include "platform/tvl_assert.h"

#include <gtest/gtest.h>

namespace {

int Evaluations = 0;

bool Counted(bool value)
{
    ++Evaluations;
    return value;
}

TEST(TvlAssertTest, AKeptInvariantIsCheckedOnceAndGoesOn)
{
    Evaluations = 0;
    TVL_ASSERT(Counted(true));
    EXPECT_EQ(Evaluations, 1);
}

TEST(TvlAssertDeathTest, ABrokenInvariantStopsTheProgramNamingItAndTheFile)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int slots = 3;
    EXPECT_DEATH(TVL_ASSERT(slots < 3), "tvl_assert_test.cpp:[0-9]+: invariant broken: slots < 3");
}

}  // namespace
