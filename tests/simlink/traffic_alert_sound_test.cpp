// The traffic pass as the frame runs it: aircraft values, traffic and pause
// from the MSFS link's datagrams, the alert through the bound sound library
// on the disk audio driver, whose output shows the alert was heard.
#include "simlink/traffic_advisory.h"

#include "app/settings.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "proxy_datagrams.h"
#include "simlink/msfs_link.h"
#include "simlink/sound.h"
#include "simlink/traffic_table.h"
#include "platform/threads.h"
#include "tests/support/link_state.h"
#include "tests/support/sound_root.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>


namespace {

constexpr double Lat0 = 53.6, Lon0 = 10.0;

void Feed(const std::vector<uint8_t>& d) { HandleMsfsDatagram(d.data(), d.size()); }

// A target north of the own aircraft, reported twice so that it counts.
void ReportNorth(double rangeNm)
{
    double lat = Lat0 + rangeNm * 1852 / 111110;
    auto d = TrafficDatagram({MakeTraffic(500, "TVL500", lat, Lon0), MakeTraffic(501, "TVL501", Lat0 - 0.3, Lon0)});
    Feed(d);
    Feed(d);
}

class TrafficAlertSoundTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    TempFolder root;
    WorkingFolder here{root.Path()};
    std::string output = root / "heard.raw";

    void SetUp() override
    {
        // The descend alert (sound 7) is the built refusal tone here.
        std::string system = MakeSoundRoot(root.Path(), {{SoundTrafficDescend, 3}});
        UseDiskAudio(output);
        Settings.Sound = 1;
        Settings.UseSimulator = SimulatorMsfs;
        InitSound(system.c_str(), root.Path().c_str());
        ASSERT_EQ(SoundReady.load(), 1);
        Feed(ShortReply(MsgRegistered, 1));
        Feed(StateDatagram(MakeState(Lat0, Lon0)));
        TileMapFlag = 1;
        MapCenter.latitude = Lat0;
        MapCenter.longitude = Lon0;
        LatLonToMapPixel(&CentreMapX, &CentreMapY, Lon0, Lat0);
    }
};

TEST_F(TrafficAlertSoundTest, ClosingTargetAboveSoundsTheDescendAlert)
{
    ReportNorth(3.0);
    UpdateTrafficAdvisory();
    ASSERT_EQ(TrafficTargetList.count.load(), 2);
    EXPECT_EQ(TrafficAlertActive, 0);
    AdvanceProgramClock(300);
    ReportNorth(2.5);
    UpdateTrafficAdvisory();
    EXPECT_EQ(TrafficAlertActive, 1);
    EXPECT_EQ(PendingSoundNumber.load(), SoundTrafficDescend);
    ShutdownSound();
    EXPECT_GT(LoudSamples(ReadDiskAudio(output)), 1000);
}

TEST_F(TrafficAlertSoundTest, PausedSimulatorShowsTheTargetsButSoundsNothing)
{
    ReportNorth(3.0);
    UpdateTrafficAdvisory();
    ProxyAircraftState paused = MakeState(Lat0, Lon0);
    paused.paused = 1;
    Feed(StateDatagram(paused));
    AdvanceProgramClock(300);
    ReportNorth(2.5);
    UpdateTrafficAdvisory();
    EXPECT_EQ(TrafficAlertActive, 1);
    EXPECT_EQ(TrafficTargetList.count.load(), 2);
    EXPECT_EQ(PendingSoundNumber.load(), -1);
    ShutdownSound();
    EXPECT_EQ(LoudSamples(ReadDiskAudio(output), 0), 0);
}

}  // namespace
