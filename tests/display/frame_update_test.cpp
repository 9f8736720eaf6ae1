// The per-frame update: altitude smoothing, the follow rule, rotations by
// orientation mode, the wind as the boxes print it; on a clock of the test's
// own: the half-second duties (topmost, the airport view's follow), the map
// page's listing, the status lines by menu state, the view steps that wait
// for a local set, and the tile request held back during a relayout.
#include "app/main_window.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "app/track_ring.h"
#include "simlink/traffic_mode.h"
#include "display/airport_view.h"
#include "display/map_redraw.h"
#include "display/map_types.h"
#include "maps/local_maps.h"
#include "maps/tile_grid.h"
#include "display/zoom_animation.h"
#include "platform/window.h"
#include "simlink/traffic_advisory.h"
#include "tests/support/temp_folder.h"
#include "tests/support/udp_peer.h"
#include "tests/display/waiting_local_set.h"
#include "display/aircraft_values.h"
#include "display/frame_update.h"
#include "display/map_view.h"
#include "display/status_text.h"
#include "navdata/flight_plan.h"
#include "navdata/route_navigation.h"
#include "simlink/msfs_link.h"
#include "simlink/sim_link.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

TEST(FrameUpdate, AltitudeJumpIsClosedTenPercentAFrame)
{
    ResetFrameUpdate();
    EXPECT_DOUBLE_EQ(SmoothAltitude(0), 0);
    EXPECT_DOUBLE_EQ(SmoothAltitude(1000), 100);
    EXPECT_DOUBLE_EQ(SmoothAltitude(1000), 190);
    double a = 190;
    while (1000 - a > 100)
        a = SmoothAltitude(1000);
    EXPECT_DOUBLE_EQ(SmoothAltitude(1000), 1000);  // within 100 ft: taken at once
    EXPECT_DOUBLE_EQ(SmoothAltitude(1050), 1050);
}

TEST(FrameUpdate, SimulatorOutsideTheKnownOnesNeverMovesTheCentre)
{
    ResetFrameUpdate();
    Settings.UseSimulator = SimulatorNone;
    MapPanning = 0;
    MapCenter.latitude = 50.0;
    MapCenter.longitude = 8.0;
    float x = 0, y = 0, h = 0, m = 0, s = 0;
    UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &h, &m, &s, 640, 480);
    EXPECT_EQ(MapCenter.latitude.load(), 50.0);
    EXPECT_EQ(MapCenter.longitude.load(), 8.0);
    EXPECT_EQ(StatusLines[0].shown, 1);
    Settings.UseSimulator = SimulatorMsfs;
}

TEST(FrameUpdate, PlanIsTakenOnceAndFlownWhilePlansAreShown)
{
    ResetFrameUpdate();
    Settings.UseSimulator = SimulatorMsfs;
    std::memset(&FlightPlan, 0, sizeof FlightPlan);
    FlightPlan.present = 1;
    FlightPlan.count = 2;
    FlightPlan.waypoints[0] = {1, 53.6f, 10.0f, 0, "EDDH"};
    FlightPlan.waypoints[1] = {1, 53.9f, 10.0f, 0, "EDHL"};
    RouteChanged = 1;  // a new plan, as every writer of it says
    LinkAircraftState[LinkLatitude] = 53.6;
    LinkAircraftState[LinkLongitude] = 10.0;
    LinkAircraftState[LinkWaypointIndex] = 1;
    SimPlanTaken = 0;
    SetFlightPlanState(1);
    float x = 0, y = 0, h = 0, m = 0, s = 0;
    UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &h, &m, &s, 640, 480);
    EXPECT_EQ(SimPlanTaken.load(), 1);
    EXPECT_EQ(RouteBuilt, 1);
    EXPECT_EQ(GpsState.ActiveLeg, 1.0);
    EXPECT_NEAR(GpsState.GpsDistanceNm, 18.0, 0.01);
    SetFlightPlanState(0);
    UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &h, &m, &s, 640, 480);
    EXPECT_EQ(RouteBuilt, 0);  // the next step rebuilds the route
    EXPECT_EQ(GpsState.GpsDistanceNm, -1.0);
}

TEST(FrameUpdate, RotationByOrientationMode)
{
    float map = 1, symbol = 1;
    ComputeFrameRotation(false, false, 0, 1.0, &map, &symbol);
    EXPECT_EQ(map, 0.0f);
    EXPECT_EQ(symbol, 0.0f);
    EXPECT_FLOAT_EQ(GetDisplayAngleOffset(), -1.0f);
    ComputeFrameRotation(true, false, 0, 1.0, &map, &symbol);  // track up
    EXPECT_FLOAT_EQ(map, -1.0f);
    EXPECT_EQ(symbol, 0.0f);
    ComputeFrameRotation(false, false, 30, 1.0, &map, &symbol);  // a turned chart
    EXPECT_FLOAT_EQ(map, static_cast<float>(-30 / 57.3));
    EXPECT_FLOAT_EQ(symbol, static_cast<float>(30 / 57.3));
    EXPECT_EQ(ChartUpAngleDeg, -30);
    ComputeFrameRotation(false, true, 30, 1.0, &map, &symbol);  // north up over it
    EXPECT_EQ(map, 0.0f);
    EXPECT_EQ(ChartUpAngleDeg, 0);
}

TEST(FrameUpdate, WindDirectionIsMagneticAndWrapped)
{
    Aircraft.WindSpeed = 12;
    Aircraft.WindDirection = 10;
    Aircraft.MagneticVariation = 20;
    float d = 0, s = 0;
    GetWindDirectionAndSpeed(&d, &s);
    EXPECT_EQ(d, 350.0f);
    EXPECT_EQ(s, 12.0f);
    Aircraft.WindDirection = 360;
    Aircraft.MagneticVariation = 0;
    GetWindDirectionAndSpeed(&d, &s);
    EXPECT_EQ(d, 360.0f);  // 360 stays
    Aircraft.WindDirection = 370.2;
    GetWindDirectionAndSpeed(&d, &s);
    EXPECT_EQ(d, 10.0f);
}

// ---- on the test's clock ----

double Now = 0;
double TestClock() { return Now; }

class FrameStepsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFrameUpdate();
        SetFrameUpdateClock(TestClock);
        Now = 100.0;
        Settings.UseSimulator = SimulatorNone;
        TileMapFlag = 1;
        MainWindowState.relayoutRequest = 1;  // no tile jobs unless a test wants one
        StopTileJobs();
    }
    void TearDown() override
    {
        StopTileJobs();
        SetFrameUpdateClock(nullptr);
        MainWindowState.relayoutRequest = 0;
        MainWindowState.mainWindow = nullptr;
        Settings.UseSimulator = SimulatorMsfs;
    }
    // No tile job left from before, none allowed to refresh until a frame
    // asks for a grid, no zoom step under way.
    static void StopTileJobs()
    {
        int word = 0;
        StopTileLoader(&word);
        DiscardTileGrid();
        SetTileShutdown();
        EndTileZoomSteps();
        SetTileZoomEnding(false);
        ClearTileZoomAnimationState();
    }
    void Frame(double at)
    {
        Now = at;
        float x = 0, y = 0, h = 0, m = 0, s = 0;
        UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &h, &m, &s, 640, 480);
    }
    static bool IsTopmost(HWND w) { return (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
};

TEST_F(FrameStepsTest, TheMapTakesTheTopmostBandAgainEveryHalfSecond)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "FrameStepsTest";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND map = CreateWindowExA(0, "FrameStepsTest", "map", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                               nullptr, nullptr);
    ASSERT_NE(map, nullptr);
    ASSERT_NE(GetForegroundWindow(), map);
    MainWindowState.mainWindow = map;
    Settings.TopMost = 1;
    Frame(100.0);
    EXPECT_TRUE(IsTopmost(map));
    // The simulator took the band: within the half second nothing happens.
    SetWindowNotTopmost();
    Frame(100.3);
    EXPECT_FALSE(IsTopmost(map));
    Frame(100.6);
    EXPECT_TRUE(IsTopmost(map));
    // With TopMost off the band stays with whoever took it.
    Settings.TopMost = 0;
    SetWindowNotTopmost();
    Frame(101.2);
    EXPECT_FALSE(IsTopmost(map));
    CloseWindowLayer();
}

TEST_F(FrameStepsTest, ATopmostThatFailsIsLogged)
{
    TempFolder folder;
    WorkingFolder here(folder.Path());
    Settings.DebugMode = 1;
    Settings.TopMost = 1;
    MainWindowState.mainWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7777));  // gone
    Frame(100.0);
    Settings.DebugMode = 0;
    EXPECT_NE(ReadFileText(folder / "Tervalingo.log").find("Topmost error"), std::string::npos);
}

TEST_F(FrameStepsTest, TheAirportViewStopsFollowingASecondAfterItBeganWhenAClickAsks)
{
    AirportDiagramView.panning = 1;
    Frame(100.0);  // the follow is seen at this half-second tick
    RequestAirportViewReturn();
    Frame(100.9);
    EXPECT_EQ(AirportDiagramView.panning, 1);
    EXPECT_TRUE(IsAirportViewReturnRequested());
    Frame(101.1);
    EXPECT_EQ(AirportDiagramView.panning, 0);
    EXPECT_FALSE(IsAirportViewReturnRequested());
    // A later follow counts its second from its own start.
    AirportDiagramView.panning = 1;
    Frame(101.7);
    RequestAirportViewReturn();
    Frame(102.5);
    EXPECT_EQ(AirportDiagramView.panning, 1);
    Frame(102.8);
    EXPECT_EQ(AirportDiagramView.panning, 0);
}

TEST_F(FrameStepsTest, TheMapPageListsTheMapsAgainOnceTheCentreMovedATenthOfADegree)
{
    MapCenter.latitude = 50.0;
    MapCenter.longitude = 8.0;
    Settings.Softkeys = 1;
    Settings.Softkeylevel = 0;
    MarkMapTypeAvailable(3);
    Frame(100.0);
    EXPECT_TRUE(IsMapTypeAvailable(3)) << "not listed off the map page";
    Settings.Softkeylevel = 6;
    Frame(100.1);
    EXPECT_FALSE(IsMapTypeAvailable(3)) << "listed: no map holds the centre";
    MarkMapTypeAvailable(3);
    MapCenter.longitude = 8.09;
    Frame(100.2);
    EXPECT_TRUE(IsMapTypeAvailable(3));
    MapCenter.latitude = 49.85;
    Frame(100.3);
    EXPECT_FALSE(IsMapTypeAvailable(3));
    Settings.Softkeylevel = 0;
}

TEST_F(FrameStepsTest, PlanLinesShowWithTheMenuStatesThatShowThePlan)
{
    std::memset(&FlightPlan, 0, sizeof FlightPlan);
    FlightPlan.present = 1;
    FlightPlan.count = 3;
    FlightPlan.waypoints[0] = {1, 53.6f, 10.0f, 0, "EDDH"};
    FlightPlan.waypoints[1] = {3, 53.7f, 10.0f, 0, "HAM"};
    FlightPlan.waypoints[2] = {1, 53.9f, 10.0f, 0, "EDHL"};
    std::snprintf(GpsState.ActiveWaypointIdent, sizeof GpsState.ActiveWaypointIdent, "HAM");
    GpsState.GpsRemainingNm = 12.0;
    SetFlightPlanState(1);
    Settings.MenuState = 3;
    Frame(100.0);
    ASSERT_EQ(StatusLines[1].shown, 1);
    ASSERT_EQ(StatusLines[2].shown, 1);
    EXPECT_EQ(std::strncmp(StatusLines[1].text, "HAM", 3), 0) << StatusLines[1].text;
    EXPECT_EQ(std::strncmp(StatusLines[2].text, "EDHL", 4), 0) << StatusLines[2].text;
    Settings.MenuState = 4;
    Frame(100.1);
    EXPECT_EQ(StatusLines[1].shown, 1);
    // The destination is the active waypoint: line 3 stays away.
    std::snprintf(GpsState.ActiveWaypointIdent, sizeof GpsState.ActiveWaypointIdent, "EDHL");
    Frame(100.2);
    EXPECT_EQ(StatusLines[1].shown, 1);
    EXPECT_EQ(StatusLines[2].shown, 0);
    for (int menu : {1, 2}) {
        Settings.MenuState = menu;
        Frame(100.3);
        EXPECT_EQ(StatusLines[1].shown, 0) << menu;
        EXPECT_EQ(StatusLines[2].shown, 0) << menu;
    }
    Settings.MenuState = 3;
    SetFlightPlanState(0);
    Frame(100.4);
    EXPECT_EQ(StatusLines[1].shown, 0) << "no plan shown";
    Settings.MenuState = 1;
}

TEST_F(FrameStepsTest, ModeLineNamesTheTrafficModeAndTheLocalMapsZoom)
{
    Settings.MenuState = 1;
    TrafficOn = 1;
    TrafficDisplayMode = 1;
    Settings.Sound = 1;
    Frame(100.0);
    EXPECT_NE(std::strstr(StatusLines[0].text, "TCAS Mode / "), nullptr) << StatusLines[0].text;
    Settings.Sound = 0;
    Frame(100.1);
    EXPECT_NE(std::strstr(StatusLines[0].text, "TCAS Mode/Snd. Off / "), nullptr) << StatusLines[0].text;
    TrafficDisplayMode = 2;
    MultiplayerMode = 1;
    Frame(100.2);
    EXPECT_NE(std::strstr(StatusLines[0].text, "MultiPlayer Mode / "), nullptr) << StatusLines[0].text;
    MultiplayerMode = 0;
    EXPECT_STREQ(TrafficModeText(), "AI Mode / ");
    TrafficOn = 0;
    TrafficDisplayMode = 0;
    EXPECT_STREQ(TrafficModeText(), "");
    Settings.Sound = 1;
    // A local map at level 2 shows three times its size.
    TileMapFlag = 0;
    CurrentChartLevel = 2;
    MarkLocalSheetSetComplete();
    Frame(100.3);
    EXPECT_NE(std::strstr(StatusLines[0].text, "Zoom:3.00 / "), nullptr) << StatusLines[0].text;
    CurrentChartLevel = 0;
    TileMapFlag = 1;
}

// A map switch found no map and a local set is still loading: the view
// steps wait, keeping last frame's texts, and the vector draws no curve
// from stale turn values; once the set is whole they run again.
TEST_F(FrameStepsTest, ViewStepsWaitForALocalSetAfterAMapSwitchFoundNone)
{
    TempFolder root;
    MakeFolders(root / "System");
    WorkingFolder here(root / "System");
    DataFolderGuard data(root.Path());
    MapCenter.latitude = 50.0;
    MapCenter.longitude = 8.0;
    Settings.MenuState = 1;
    Frame(100.0);
    ASSERT_NE(std::strstr(StatusLines[0].text, "Zoom "), nullptr);
    EXPECT_FALSE(IsVectorSuppressed());
    SwitchMapsWhereNoneIs(root);
    // In tile-map mode nothing waits for a local set.
    std::snprintf(StatusLines[0].text, sizeof StatusLines[0].text, "kept");
    Frame(100.1);
    EXPECT_STRNE(StatusLines[0].text, "kept");
    WaitForALocalSet();
    std::snprintf(StatusLines[0].text, sizeof StatusLines[0].text, "kept");
    Frame(100.2);
    EXPECT_STREQ(StatusLines[0].text, "kept");
    EXPECT_TRUE(IsVectorSuppressed());
    // A tile zoom step that ends does not wait.
    SetTileZoomEnding(true);
    Frame(100.3);
    EXPECT_STRNE(StatusLines[0].text, "kept");
    EXPECT_FALSE(IsVectorSuppressed());
    SetTileZoomEnding(false);
    MarkLocalSheetSetComplete();
    std::snprintf(StatusLines[0].text, sizeof StatusLines[0].text, "kept");
    Frame(100.4);
    EXPECT_STRNE(StatusLines[0].text, "kept");
    EXPECT_FALSE(IsVectorSuppressed());
    TileMapFlag = 1;
}

// The flown track is the aircraft's, wherever a pan or a followed target
// has taken the map centre.
TEST_F(FrameStepsTest, TheTrackRecordsTheAircraftWhileTheMapIsElsewhere)
{
    Settings.UseSimulator = SimulatorMsfs;
    // The first frame starts the local map state, which puts the centre on
    // the aircraft when a link is connected; the pan begins after it.
    Frame(99.0);
    Settings.PlotTrack = 1;
    ClearTrack();
    // A scale of the test's own, whatever view an earlier test left.
    MapScale = 1.0f;
    PixelsPerDegreeLon = PixelsPerDegreeLat = 1000.0;
    PixelsPerDegreeKnown = 1;
    Aircraft.Heading = 0;
    MapPanning = 1;
    MapCenter.latitude = 50.0;
    MapCenter.longitude = 8.0;
    // The aircraft moves on between the ticks, so its last place is a new
    // point whatever point was recorded before.
    LinkAircraftState[LinkLatitude] = 53.6;
    LinkAircraftState[LinkLongitude] = 10.0;
    Frame(100.0);
    LinkAircraftState[LinkLatitude] = 53.65;
    LinkAircraftState[LinkLongitude] = 10.05;
    Frame(100.6);
    Frame(101.2);
    ASSERT_GT(TrackPointCount(), 0);
    const TrackPoint& last = TrackRing.points[(TrackRing.next + TrackRingSize - 1) % TrackRingSize];
    EXPECT_NEAR(last.latitude, 53.65, 1e-4);
    EXPECT_NEAR(last.longitude, 10.05, 1e-4);
    EXPECT_DOUBLE_EQ(MapCenter.latitude.load(), 50.0) << "the pan holds the centre";
    ResetMapPan();
    Settings.PlotTrack = 0;
    ClearTrack();
    PixelsPerDegreeKnown = 0;
}

TEST_F(FrameStepsTest, NoTileGridIsRequestedWhileTheWindowWaitsForItsRelayout)
{
    // A pending zoom step is ended by any tile job's end: it shows whether one ran.
    SetTileZoomPending(1, true);
    Frame(100.0);
    EXPECT_TRUE(IsTileZoomPending(1));
    EXPECT_FALSE(IsTileLoaderBusy());
    MainWindowState.relayoutRequest = 0;
    Frame(100.1);
    ASSERT_TRUE(WaitFor([] { return !IsTileZoomPending(1) || IsTileGridComplete(); }, 10000));
}

}  // namespace
