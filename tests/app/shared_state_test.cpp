// The shell's shared state: the timed status message, the bezel's indicator
// lamps with the loading blink, the links' accessors (connection, map load,
// state flag) and the options that wait for the Prepar3D/FSX connection.
#include "app/indicator_lamps.h"
#include "app/layout_tables.h"
#include "app/language.h"
#include "display/map_projection.h"
#include "app/settings.h"
#include "app/shared_accessors.h"
#include "app/softkey_menu.h"
#include "app/status_message.h"
#include "simlink/traffic_mode.h"
#include "display/aircraft_values.h"
#include "display/frame_renderer.h"
#include "display/frame_update.h"
#include "display/map_view.h"
#include "display/softkey_pages.h"
#include "maps/local_maps.h"
#include "maps/tile_sources.h"
#include "navdata/flight_plan.h"
#include "navdata/route_navigation.h"
#include "platform/threads.h"
#include "simlink/sim_link.h"
#include "simlink/traffic_advisory.h"
#include "tests/support/temp_folder.h"
#include "maps/tile_grid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

double Now() { return ProgramClockMs() / 1000.0; }

TEST(StatusMessage, StaysTenSecondsThenGoes)
{
    ShowStatusMessage(nullptr);  // whatever a test before showed
    EXPECT_FALSE(ExpireStatusMessage(Now()));
    EXPECT_STREQ(GetStatusMessage(), "");
    double shown = Now();
    ShowStatusMessage("Panning on...");
    EXPECT_STREQ(GetStatusMessage(), "Panning on...");
    EXPECT_TRUE(ExpireStatusMessage(shown + 9.5));
    EXPECT_STREQ(GetStatusMessage(), "Panning on...");
    // A later message starts its own ten seconds.
    ShowStatusMessage("Second");
    EXPECT_TRUE(ExpireStatusMessage(Now() + 9.0));
    EXPECT_FALSE(ExpireStatusMessage(Now() + 10.5));
    EXPECT_STREQ(GetStatusMessage(), "");
    EXPECT_FALSE(ExpireStatusMessage(Now() + 11));
}

TEST(StatusMessage, LongNullAndEmptyTexts)
{
    std::string longText(1000, 'x');
    ShowStatusMessage(longText.c_str());
    EXPECT_EQ(std::strlen(GetStatusMessage()), StatusMessageSize - 1);
    ShowStatusMessage(nullptr);
    EXPECT_STREQ(GetStatusMessage(), "");
    EXPECT_FALSE(ExpireStatusMessage(Now()));
    ShowStatusMessage("");
    EXPECT_FALSE(ExpireStatusMessage(Now()));
    // A clock that starts again from zero does not keep the message.
    ShowStatusMessage("kept");
    EXPECT_FALSE(ExpireStatusMessage(Now() - 100));
    EXPECT_STREQ(GetStatusMessage(), "");
}

class IndicatorLampsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WorkingFolder here(std::string(TVL_ROOT_DIR) + "/System");
        ASSERT_EQ(LoadLanguage("en"), 0);
        Settings.Softkeys = 1;
        Settings.Softkeylevel = 0;
        Settings.Softkeysublevel = 0;
        Settings.FlightPlanState = 0;
        Settings.TrackUp = 0;
        Settings.Track = 0;
        Settings.Windrose = 0;
        Settings.MenuState = 1;
        NorthUpMode = 0;
        MapPanning = 0;
        TrafficDisplayMode = 0;
        TrafficAlertActive = 0;
        BezelShown = 1;
        SetLoadingBusy(false);
    }
    void TearDown() override { SetLoadingBusy(false); }
};

TEST_F(IndicatorLampsTest, LampsFollowTheModesWhileTheBezelShows)
{
    UpdateIndicatorLamps(true);
    EXPECT_TRUE(IsIndicatorLampOn(LampSoftkeys));
    EXPECT_TRUE(IsIndicatorLampOn(LampSoftkeysRight));
    EXPECT_TRUE(IsIndicatorLampOn(LampStatusPage));
    for (int lamp : {LampFlightPlan, LampTrackUp, LampTraffic, LampMapPanning, LampTrack, LampLoading, LampWindrose})
        EXPECT_FALSE(IsIndicatorLampOn(lamp)) << lamp;
    Settings.FlightPlanState = 1;
    NorthUpMode = 1;
    Settings.Track = 2;
    Settings.Windrose = 1;
    MapPanning = 1;
    UpdateIndicatorLamps(true);
    for (int lamp : {LampFlightPlan, LampTrackUp, LampTrack, LampWindrose, LampMapPanning})
        EXPECT_TRUE(IsIndicatorLampOn(lamp)) << lamp;
    // The panning lamp blinks.
    UpdateIndicatorLamps(false);
    EXPECT_FALSE(IsIndicatorLampOn(LampMapPanning));
    // Without the bezel the mode lamps go dark; the counting lamps stay.
    BezelShown = 0;
    UpdateIndicatorLamps(true);
    EXPECT_FALSE(IsIndicatorLampOn(LampFlightPlan));
    EXPECT_FALSE(IsIndicatorLampOn(LampTrackUp));
    EXPECT_FALSE(IsIndicatorLampOn(LampMapPanning));
    EXPECT_TRUE(IsIndicatorLampOn(LampTrack));
    EXPECT_TRUE(IsIndicatorLampOn(LampWindrose));
    ClearIndicatorLamps();
    for (int lamp = 0; lamp < IndicatorLampCount; ++lamp)
        EXPECT_FALSE(IsIndicatorLampOn(lamp)) << lamp;
    EXPECT_FALSE(IsIndicatorLampOn(-1));
    EXPECT_FALSE(IsIndicatorLampOn(IndicatorLampCount));
}

TEST_F(IndicatorLampsTest, TrafficLampBlinksOnlyWhileAnAlertIsUp)
{
    TrafficDisplayMode = 1;
    UpdateIndicatorLamps(false);
    EXPECT_TRUE(IsIndicatorLampOn(LampTraffic));
    TrafficAlertActive = 1;
    UpdateIndicatorLamps(false);
    EXPECT_FALSE(IsIndicatorLampOn(LampTraffic));
    UpdateIndicatorLamps(true);
    EXPECT_TRUE(IsIndicatorLampOn(LampTraffic));
}

TEST_F(IndicatorLampsTest, ConnectionLampBlinksWhileLoading)
{
    UpdateIndicatorLamps(false);
    EXPECT_TRUE(IsBlinkPhaseVisible());
    SetLoadingBusy(true);
    EXPECT_TRUE(IsLoadingBusy());
    UpdateIndicatorLamps(false);
    EXPECT_FALSE(IsBlinkPhaseVisible());
    EXPECT_TRUE(IsIndicatorLampOn(LampLoading));
    UpdateIndicatorLamps(true);
    EXPECT_TRUE(IsBlinkPhaseVisible());
    SetLoadingBusy(false);
    UpdateIndicatorLamps(false);
    EXPECT_TRUE(IsBlinkPhaseVisible());
    EXPECT_FALSE(IsIndicatorLampOn(LampLoading));
}

TEST_F(IndicatorLampsTest, SoftkeyBarIsRebuiltForThePageInUse)
{
    Settings.Softkeys = 0;
    UpdateIndicatorLamps(true);
    EXPECT_EQ(std::string(GetSoftkeyLabel(BackSoftkey)), "MENU");
    EXPECT_FALSE(IsSoftkeyShown(1));
    EXPECT_FALSE(IsIndicatorLampOn(LampSoftkeys));
    Settings.Softkeys = 1;
    UpdateIndicatorLamps(true);
    EXPECT_TRUE(IsSoftkeyShown(1));
    EXPECT_EQ(std::string(GetSoftkeyLabel(BackSoftkey)), "ESC");
}

TEST_F(IndicatorLampsTest, AHeldHeadingLightsTheTrackUpLamp)
{
    HeadingOverride = {1, 90.0};
    UpdateIndicatorLamps(true);
    EXPECT_TRUE(IsIndicatorLampOn(LampTrackUp));
    HeadingOverride = {0, 0.0};
    UpdateIndicatorLamps(true);
    EXPECT_FALSE(IsIndicatorLampOn(LampTrackUp));
}

TEST_F(IndicatorLampsTest, StatusLampAlsoShowsAnAirportMarkedInTheList)
{
    Settings.MenuState = 0;
    Settings.SelectedAirport[0] = '\0';
    DeselectAirport();
    UpdateIndicatorLamps(true);
    EXPECT_FALSE(IsIndicatorLampOn(LampStatusPage));
    // The list over the visible map marks its first entry.
    PixelsPerDegreeKnown = 1;
    PixelsPerDegreeLon = PixelsPerDegreeLat = 1000;
    RefreshNearestAirports();
    ASSERT_EQ(GetSelectedNearestEntry(), 0);
    UpdateIndicatorLamps(true);
    EXPECT_TRUE(IsIndicatorLampOn(LampStatusPage));
    DeselectAirport();
    UpdateIndicatorLamps(true);
    EXPECT_FALSE(IsIndicatorLampOn(LampStatusPage));
    Settings.NavAirport = 1;
    PixelsPerDegreeKnown = 0;
}

TEST(SharedAccessors, FrameValuesReachTheirReadersThroughTheAccessors)
{
    AirVectorAngle = 4.5;
    Aircraft.HeightAboveGround = 250.0f;
    CentreMapX = 70000.5;
    CentreMapY = 12.25;
    Settings.Track = 2;
    EXPECT_DOUBLE_EQ(GetAirVectorAngleRad(), 4.5);
    EXPECT_DOUBLE_EQ(GetHeightAboveGround(), 250.0);
    EXPECT_EQ(GetTrackMode(), 2);
    float x = 0, y = 0;
    GetMapCenterPixel(&x, &y);
    EXPECT_FLOAT_EQ(x, 70000.5f);
    EXPECT_FLOAT_EQ(y, 12.25f);
    // No simulator answers: no bank.
    Settings.UseSimulator = SimulatorNone;
    EXPECT_EQ(GetBankAngleRad(), 0.0);
    Settings.UseSimulator = SimulatorMsfs;
    SetNearestDrawnFlag(1);
    EXPECT_EQ(NearestPanelInSnapshot, 1);
    SetNearestDrawnFlag(0);
    EXPECT_EQ(QueryMapTypeOverride(), 0);
    SetLocalMapSource(0);
    SetDefaultMapSource();
    EXPECT_EQ(GetLocalMapSource(), LocalMapSetWhole);
    Settings.Track = 0;
    AirVectorAngle = 0;
    Aircraft.HeightAboveGround = 0;
    CentreMapX = CentreMapY = 0;
}

TEST(SharedAccessors, TheFrameFlagAloneLeavesTheMapViewport)
{
    SetShowFrameOn();
    Hotspot before = HotspotTable[0];
    SetShowFrameFlag(0);
    EXPECT_EQ(Settings.ShowFrame, 0);
    EXPECT_EQ(HotspotTable[0].w, before.w);
    EXPECT_EQ(HotspotTable[0].x, before.x);
    SetShowFrameOff();
    EXPECT_NE(HotspotTable[0].w, before.w);
    SetShowFrameOn();
    EXPECT_EQ(HotspotTable[0].w, before.w);
}

TEST(SharedAccessors, SimulatorConnectionByTheSelectedSimulator)
{
    for (int sim : {0, 9, -1, 1000}) {
        Settings.UseSimulator = sim;
        EXPECT_FALSE(IsSimulatorConnected()) << sim;
    }
    // No link runs in a unit test.
    for (int sim = 1; sim <= 8; ++sim) {
        Settings.UseSimulator = sim;
        EXPECT_FALSE(IsSimulatorConnected()) << sim;
    }
    Settings.UseSimulator = SimulatorMsfs;
}

TEST(SharedAccessors, StateFlagIsStoredForTheReaders)
{
    SetSimStateFlag(0);
    EXPECT_EQ(GetSimStateFlag(), 0);
    SetSimStateFlag(1);
    EXPECT_EQ(GetSimStateFlag(), 1);
}

TEST(SharedAccessors, NoMapLoadHoldsTheLinksWhileNothingLoads)
{
    TileMapFlag = 1;
    CurrentTileMapType = 3;
    Settings.SatMode = 1;
    // Another type is wanted, but no loader works on it (offline, say).
    EXPECT_FALSE(IsMapLoadPending());
    CurrentTileMapType = 1;
    EXPECT_FALSE(IsMapLoadPending());
    TileMapFlag = 0;
    EXPECT_FALSE(IsMapLoadPending());
    TileMapFlag = 1;
}

TEST(StartupTrafficOptions, PlanStateTakesEffectWithTheConnection)
{
    Settings.UseSimulator = SimulatorP3dLast;
    Settings.RadarMode = 0;
    std::memset(&FlightPlan, 0, sizeof FlightPlan);
    for (int i = 0; i < 2; ++i) {
        FlightPlan.waypoints[i].lat = 50.0f + static_cast<float>(i);
        FlightPlan.waypoints[i].lon = 8.0f;
    }
    FlightPlan.count = 2;
    SetActiveLegFromSimulator(1);
    RunGpsStep(ViewMapProjector(), SimulatorMsfs, 0, 0, 1, 1);
    ASSERT_TRUE(IsDeparturePassed());
    // Switched on while the link was down: the working copy is still off.
    SetFlightPlanState(0);
    Settings.FlightPlanState = 1;
    double before = Now();
    ApplyStartupTrafficOptions();
    EXPECT_TRUE(IsFlightPlanShown());
    EXPECT_FALSE(IsDeparturePassed());
    EXPECT_GE(GetSimLinkOpenTime(), before);
    // No traffic was asked for: none is started.
    EXPECT_EQ(TrafficDisplayMode, 0);
}

}  // namespace
