// Following a traffic target: the traffic zone's right click, the map centre
// kept on the target and moved on between its reports (across the date line
// too), the status line while following, the target found again after the
// list changed, and the end by Home or by the target leaving the list, which
// the pilot hears.
#include "display/traffic_follow.h"

#include "app/click_zones.h"
#include "app/layout_tables.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "display/frame_update.h"
#include "display/map_view.h"
#include "display/status_text.h"
#include "simlink/msfs_link.h"
#include "simlink/sim_link.h"
#include "simlink/sound.h"
#include "simlink/traffic_advisory.h"
#include "tests/simlink/proxy_datagrams.h"
#include "tests/support/sound_root.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

class TrafficFollowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StopFollowingTarget();
        ClearTrafficTargets();
        Settings.DeClutter = 0;
    }
    void TearDown() override
    {
        StopFollowingTarget();
        ClearTrafficTargets();
    }

    // A target at (x, y) map pixels from the centre, reported at t from
    // (previous lat, lon) to (lat, lon).
    void Add(const char* callsign, double x, double y, double lat, double lon, double previousLat, double previousLon,
             double t = 10.0)
    {
        int i = TrafficTargetList.count.load();
        TrafficTarget& target = TrafficTargetList.targets[i];
        target = TrafficTarget{};
        std::snprintf(target.callsign, sizeof target.callsign, "%s", callsign);
        target.x = x;
        target.y = y;
        target.latitude = lat;
        target.longitude = lon;
        target.previousLatitude = previousLat;
        target.previousLongitude = previousLon;
        target.lastUpdateTime = t;
        target.groundSpeed = 140;
        target.heading = 3.14159265;
        target.altitude = 4500;
        TrafficTargetList.count = i + 1;
    }
};

TEST_F(TrafficFollowTest, TheZonesRightClickFollowsTheNearestTargetAndEndsTheFollowing)
{
    Add("FAR", 300, 0, 51.0, 8.0, 51.0, 8.0);
    Add("NEAR", -20, 10, 50.1, 8.1, 50.1, 8.1);
    Add("MID", 0, -100, 50.5, 8.5, 50.5, 8.5);
    OnDeclutter(0, ZoneRightClick);
    EXPECT_TRUE(IsFollowingTarget());
    EXPECT_STREQ(GetFollowedCallsign(), "NEAR");
    EXPECT_EQ(FollowTrafficMode, 1);
    EXPECT_EQ(FollowedTargetIndex, 1);
    EXPECT_EQ(MapPanning, 1);
    EXPECT_EQ(Settings.DeClutter, 0) << "the right click declutters nothing";
    OnDeclutter(0, ZoneRightClick);
    EXPECT_FALSE(IsFollowingTarget());
    EXPECT_EQ(FollowTrafficMode, 0);
    EXPECT_EQ(FollowedTargetIndex, -1);
    EXPECT_EQ(MapPanning, 0);
    // The left click still steps the declutter level.
    OnDeclutter(0, ZoneLeftClick);
    EXPECT_EQ(Settings.DeClutter, 1);
}

TEST_F(TrafficFollowTest, WithoutTrafficThereIsNothingToFollow)
{
    EXPECT_FALSE(ToggleTrafficFollow());
    EXPECT_FALSE(IsFollowingTarget());
    EXPECT_EQ(MapPanning, 0);
    Add("", 10, 10, 50, 8, 50, 8);  // no callsign to find it by again
    EXPECT_FALSE(ToggleTrafficFollow());
    EXPECT_FALSE(StartFollowingTarget(5));
}

TEST_F(TrafficFollowTest, TheCentreFollowsTheTargetMovedOnBetweenItsReports)
{
    Add("TGT", 40, 40, 50.02, 8.01, 50.0, 8.0, 10.0);
    ASSERT_TRUE(StartFollowingTarget(0));
    FollowTrafficTarget(10.0, true);
    EXPECT_DOUBLE_EQ(MapCenter.latitude.load(), 50.02);
    EXPECT_DOUBLE_EQ(MapCenter.longitude.load(), 8.01);
    FollowTrafficTarget(10.5, true);
    EXPECT_NEAR(MapCenter.latitude.load(), 50.03, 1e-9);
    EXPECT_NEAR(MapCenter.longitude.load(), 8.015, 1e-9);
    // A map whose local set is still loading holds the centre where it is.
    FollowTrafficTarget(12.0, false);
    EXPECT_NEAR(MapCenter.latitude.load(), 50.03, 1e-9);
    // A clock behind the report moves nothing back.
    FollowTrafficTarget(9.0, true);
    EXPECT_DOUBLE_EQ(MapCenter.latitude.load(), 50.02);
}

TEST_F(TrafficFollowTest, ATargetCrossingTheDateLineStaysOnTheMap)
{
    Add("EAST", 0, 0, 10.0, -179.98, 10.0, 179.96, 10.0);  // 0.06 degrees east a report
    ASSERT_TRUE(StartFollowingTarget(0));
    FollowTrafficTarget(11.0, true);
    EXPECT_NEAR(MapCenter.longitude.load(), -179.92, 1e-9);
    ClearTrafficTargets();
    Add("WEST", 0, 0, 10.0, 179.98, 10.0, -179.96, 10.0);
    ASSERT_TRUE(StartFollowingTarget(0));
    FollowTrafficTarget(11.0, true);
    EXPECT_NEAR(MapCenter.longitude.load(), 179.92, 1e-9);
}

TEST_F(TrafficFollowTest, TheTargetIsFoundAgainWhenTheListChanged)
{
    Add("AAA", 10, 0, 50, 8, 50, 8);
    Add("BBB", 20, 0, 51, 9, 51, 9);
    ASSERT_TRUE(StartFollowingTarget(1));
    // The next pass dropped AAA: BBB moved to the front.
    ClearTrafficTargets();
    Add("BBB", 20, 0, 51.5, 9.5, 51.5, 9.5);
    Add("CCC", 30, 0, 52, 10, 52, 10);
    FollowTrafficTarget(10.0, true);
    EXPECT_EQ(FollowedTargetIndex, 0);
    EXPECT_DOUBLE_EQ(MapCenter.latitude.load(), 51.5);
    // The list drawn after the pass: the followed record is the centre.
    ClearTrafficTargets();
    Add("CCC", 30, 0, 52, 10, 52, 10);
    Add("BBB", 20, 0, 51.5, 9.5, 51.5, 9.5);
    RefindFollowedTarget();
    ASSERT_EQ(FollowedTargetIndex, 1);
    float x = 1, y = 1, heading = 0, speed = 0, altitude = 0;
    uint32_t trafficClass = 0;
    char callsign[36];
    ASSERT_TRUE(GetTrafficTarget(1, &x, &y, &heading, &trafficClass, &speed, &altitude, callsign));
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
}

TEST_F(TrafficFollowTest, HomeEndsTheFollowingQuietly)
{
    Add("TGT", 40, 40, 50.02, 8.01, 50.0, 8.0);
    ASSERT_TRUE(StartFollowingTarget(0));
    MapCenter.latitude = 1.0;
    ResetMapPan();  // Home
    FollowTrafficTarget(10.0, true);
    EXPECT_FALSE(IsFollowingTarget());
    EXPECT_EQ(FollowTrafficMode, 0);
    EXPECT_DOUBLE_EQ(MapCenter.latitude.load(), 1.0) << "the aircraft's own follow takes it from here";
}

TEST_F(TrafficFollowTest, TheStatusLineNamesTheTargetAndShowsItsValues)
{
    Add("DLH4AB", 0, 0, 50, 8, 50, 8);
    ASSERT_TRUE(StartFollowingTarget(0));
    ResetFrameUpdate();
    Settings.UseSimulator = SimulatorNone;
    Settings.MenuState = 1;
    MainWindowState.relayoutRequest = 1;  // the frames ask for no tile grid
    TileMapFlag = 1;  // tiles: the view steps, the status lines among them, run every frame
    float x = 0, y = 0, h = 0, m = 0, s = 0;
    UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &h, &m, &s, 640, 480);
    EXPECT_NE(std::strstr(StatusLines[0].text, " Follow DLH4AB / "), nullptr) << StatusLines[0].text;
    EXPECT_EQ(std::strstr(StatusLines[0].text, "Map Move"), nullptr);
    Settings.MenuState = 2;
    UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &h, &m, &s, 640, 480);
    EXPECT_STREQ(StatusLines[0].text, "GS: 140 kn/ Hdg: 180 / Alt:  4500");
    MainWindowState.relayoutRequest = 0;
    Settings.MenuState = 1;
    Settings.UseSimulator = SimulatorMsfs;
}

// The target left the list: the map goes back to the aircraft and the
// refusal tone (sound 3) is heard through the sound library.
TEST_F(TrafficFollowTest, ATargetThatLeftTheListEndsTheFollowingWithSoundThree)
{
    TempFolder root;
    WorkingFolder here(root.Path());
    std::string heard = root / "heard.raw";
    std::string system = MakeSoundRoot(root.Path(), {{SoundRefused, 3}});
    UseDiskAudio(heard);
    Settings.Sound = 1;
    Settings.UseSimulator = SimulatorMsfs;
    InitSound(system.c_str(), root.Path().c_str());
    ASSERT_EQ(SoundReady.load(), 1);
    auto registered = ShortReply(MsgRegistered, 1);
    HandleMsfsDatagram(registered.data(), registered.size());
    auto state = StateDatagram(53.6, 10.0);
    HandleMsfsDatagram(state.data(), state.size());
    ASSERT_TRUE(SimLinkIsConnected());
    Add("GONE", 40, 40, 50.02, 8.01, 50.0, 8.0);
    ASSERT_TRUE(StartFollowingTarget(0));
    FollowTrafficTarget(10.0, true);
    ASSERT_DOUBLE_EQ(MapCenter.latitude.load(), 50.02);
    ClearTrafficTargets();
    Add("OTHER", 40, 40, 40.0, 4.0, 40.0, 4.0);
    FollowTrafficTarget(10.1, true);
    EXPECT_FALSE(IsFollowingTarget());
    EXPECT_EQ(MapPanning, 0);
    EXPECT_DOUBLE_EQ(MapCenter.latitude.load(), 53.6);
    EXPECT_DOUBLE_EQ(MapCenter.longitude.load(), 10.0);
    EXPECT_EQ(PendingSoundNumber.load(), SoundRefused);
    ShutdownSound();
    EXPECT_GT(LoudSamples(ReadDiskAudio(heard)), 1000);
}

}  // namespace
