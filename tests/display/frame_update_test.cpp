// The per-frame update: altitude smoothing, the follow rule, rotations by
// orientation mode, the wind as the boxes print it.
#include "app/settings.h"
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
    Settings.UseSimulator = 0;
    MapPanning = 0;
    MapCenter.latitude = 50.0;
    MapCenter.longitude = 8.0;
    float x = 0, y = 0, h = 0, m = 0, s = 0;
    UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &h, &m, &s, 640, 480);
    EXPECT_EQ(MapCenter.latitude.load(), 50.0);
    EXPECT_EQ(MapCenter.longitude.load(), 8.0);
    EXPECT_EQ(StatusLines[0].shown, 1);
    Settings.UseSimulator = 7;
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

}  // namespace
