// The instrument boxes' own rules: the terrain value box's figures and its
// elevation/MSA alternation, and the alert box's texts and colours.
#include "display/instrument_layers.h"

#include <gtest/gtest.h>

namespace {

TEST(TerrainValueBox, ShowsElevationInThousandsAndHundredsRoundedUp)
{
    TerrainBoxFigures f = ComputeTerrainBoxFigures(3281, 3000, 0, 5000);
    EXPECT_EQ(f.thousands, 3);
    EXPECT_EQ(f.hundreds, 3);
    EXPECT_FALSE(f.msa);
    f = ComputeTerrainBoxFigures(12000, 0, 0, 5000);
    EXPECT_EQ(f.thousands, 12);
    EXPECT_EQ(f.hundreds, 0);
    f = ComputeTerrainBoxFigures(0, 0, 3, 0);
    EXPECT_EQ(f.thousands, 0);
    EXPECT_EQ(f.hundreds, 0);
}

TEST(TerrainValueBox, AlternatesToAHigherMsaAndMarksItAboveTheAircraft)
{
    TerrainBoxFigures f = ComputeTerrainBoxFigures(3281, 5000, 3, 3000);
    EXPECT_TRUE(f.msa);
    EXPECT_EQ(f.thousands, 5);
    EXPECT_EQ(f.hundreds, 0);
    EXPECT_TRUE(f.aboveUs);
    f = ComputeTerrainBoxFigures(3281, 5000, 3, 7000);
    EXPECT_TRUE(f.msa);
    EXPECT_FALSE(f.aboveUs);
    // Only in the last quarter of the cycle, and only when its thousands are higher.
    EXPECT_FALSE(ComputeTerrainBoxFigures(3281, 5000, 2, 3000).msa);
    EXPECT_FALSE(ComputeTerrainBoxFigures(3281, 3900, 3, 3000).msa);
}

TEST(TerrainValueBox, CounterStepsOnEachFallingEdgeOfTheBlink)
{
    int start = GetTerrainBlinkCounter();
    StepTerrainBlinkCounter(true);
    EXPECT_EQ(GetTerrainBlinkCounter(), start);
    StepTerrainBlinkCounter(true);
    StepTerrainBlinkCounter(false);
    EXPECT_EQ(GetTerrainBlinkCounter(), (start + 1) % 4);
    StepTerrainBlinkCounter(false);
    EXPECT_EQ(GetTerrainBlinkCounter(), (start + 1) % 4);
    for (int i = 0; i < 3; i++) {
        StepTerrainBlinkCounter(true);
        StepTerrainBlinkCounter(false);
    }
    EXPECT_EQ(GetTerrainBlinkCounter(), start);
}

TEST(TerrainAlertBox, TextAndFillOfEachAlertLevel)
{
    uint32_t fill = 0;
    EXPECT_STREQ(TerrainAlertText(4, &fill), "TERRAIN");
    EXPECT_EQ(fill, 0xFF00FFFFu);
    EXPECT_STREQ(TerrainAlertText(8, &fill), "SINK RATE");
    EXPECT_STREQ(TerrainAlertText(9, &fill), "TOO LOW TERRAIN");
    EXPECT_EQ(fill, 0xFF00FFFFu);
    EXPECT_STREQ(TerrainAlertText(10, &fill), "DON'T SINK");
    EXPECT_EQ(fill, 0xFF0000FFu);
    EXPECT_STREQ(TerrainAlertText(11, &fill), "TERRAIN AHEAD - PULL UP");
    EXPECT_EQ(fill, 0xFF0000FFu);
    EXPECT_EQ(TerrainAlertText(13, &fill), nullptr);
    EXPECT_EQ(TerrainAlertText(0, &fill), nullptr);
}

} // namespace
