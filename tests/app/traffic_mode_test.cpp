// The traffic mode: RadarMode applied to the MSFS link (traffic requests),
// the multiplayer and label switches, traffic off, and a link without traffic.
#include "simlink/traffic_mode.h"

#include "app/settings.h"
#include "simlink/sim_link.h"
#include "simlink/traffic_advisory.h"
#include "simlink/traffic_table.h"

#include <gtest/gtest.h>

namespace {

class TrafficModeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings.UseSimulator = SimulatorMsfs;
        ResetTrafficMode();
        TrafficOn = 0;
        MultiplayerMode = 0;
        TrafficOnRequest = 0;
        TrafficOffRequest = 0;
    }
};

TEST_F(TrafficModeTest, AiModeStartsTrafficWithLabelsAndMultiplayer)
{
    Settings.RadarMode = 2;
    ASSERT_TRUE(IsTrafficModeOutdated());
    ApplyTrafficMode();
    EXPECT_FALSE(IsTrafficModeOutdated());
    EXPECT_EQ(TrafficOn, 1);
    EXPECT_EQ(MultiplayerMode, 1);
    EXPECT_EQ(TrafficDisplayMode, 2);
    EXPECT_EQ(TrafficLabels, 1);
    EXPECT_EQ(TrafficOnRequest.load(), 1);
}

TEST_F(TrafficModeTest, TcasModeStartsTrafficWithoutLabels)
{
    Settings.RadarMode = 1;
    ApplyTrafficMode();
    EXPECT_EQ(TrafficOn, 1);
    EXPECT_EQ(MultiplayerMode, 0);
    EXPECT_EQ(TrafficDisplayMode, 1);
    EXPECT_EQ(TrafficLabels, 0);
}

TEST_F(TrafficModeTest, ModeZeroOrUnknownSwitchesTrafficOffAndEmptiesTheList)
{
    Settings.RadarMode = 2;
    ApplyTrafficMode();
    TrafficTargetList.count = 3;
    for (int mode : {0, 7}) {
        Settings.RadarMode = mode;
        ASSERT_TRUE(IsTrafficModeOutdated());
        ApplyTrafficMode();
        EXPECT_EQ(TrafficOn, 0) << mode;
        EXPECT_EQ(MultiplayerMode, 0) << mode;
        EXPECT_EQ(TrafficDisplayMode, 0) << mode;
        EXPECT_EQ(TrafficLabels, 0) << mode;
        EXPECT_EQ(TrafficTargetList.count.load(), 0) << mode;
    }
    EXPECT_EQ(TrafficOffRequest.load(), 1) << "the link was asked once, while traffic was on";
}

TEST_F(TrafficModeTest, LinkWithoutTrafficStaysOffAndIsNotAskedEveryFrame)
{
    Settings.UseSimulator = SimulatorNone;
    Settings.RadarMode = 2;
    ApplyTrafficMode();
    EXPECT_EQ(TrafficOn, 0);
    EXPECT_EQ(TrafficDisplayMode, 0);
    EXPECT_EQ(MultiplayerMode, 0);
    EXPECT_FALSE(IsTrafficModeOutdated());
}

TEST_F(TrafficModeTest, ResetAppliesTheSettingAgain)
{
    Settings.RadarMode = 1;
    ApplyTrafficMode();
    ResetTrafficMode();
    EXPECT_EQ(TrafficDisplayMode, 0);
    EXPECT_TRUE(IsTrafficModeOutdated());
}

}  // namespace
