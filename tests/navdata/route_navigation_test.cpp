// Flight-plan navigation: the step against figures worked out here, the
// steering values handed to the links, the active waypoint of Aerofly FS 2
// while the aircraft flies the route, and the route's accessors.
#include "navdata/route_navigation.h"

#include "app/settings.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/sprite_table.h"
#include "navdata/route_geometry.h"
#include "simlink/msfs_link.h"
#include "simlink/sim_link.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Great-circle distance by the atan2 form, nm at 3437.7468 a radian.
double ArcNm(double lat1, double lon1, double lat2, double lon2)
{
    double a1 = lat1 * kPi / 180, a2 = lat2 * kPi / 180, dl = (lon2 - lon1) * kPi / 180;
    double y = std::hypot(std::cos(a2) * std::sin(dl), std::cos(a1) * std::sin(a2) - std::sin(a1) * std::cos(a2) * std::cos(dl));
    double x = std::sin(a1) * std::sin(a2) + std::cos(a1) * std::cos(a2) * std::cos(dl);
    return std::atan2(y, x) * 3437.7468;
}

double Bearing(double lat1, double lon1, double lat2, double lon2)
{
    double a1 = lat1 * kPi / 180, a2 = lat2 * kPi / 180, dl = (lon2 - lon1) * kPi / 180;
    return std::atan2(std::sin(dl) * std::cos(a2), std::cos(a1) * std::sin(a2) - std::sin(a1) * std::cos(a2) * std::cos(dl));
}

class RouteNavigation : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Settings.Tile = 9;
        Settings.SatMode = 1;
        Settings.Terrainstate = 0;
        TileMapFlag = 1;
        std::memset(&FlightPlan, 0, sizeof FlightPlan);
        SetFlightPlanKinds(PlanKindsXml);
        for (auto& v : LinkAircraftState)
            v = 0.0;
        GpsState = GpsStateValues{};
        RouteBuilt = 0;
        RouteCount = 0;
        RouteChanged = 0;
    }
    void TearDown() override { ClearRoutePolyline(); }

    void AddWaypoint(const char* ident, int kind, double lat, double lon, double altitude = 3000)
    {
        FlightPlanWaypoint& w = FlightPlan.waypoints[FlightPlan.count++];
        w.kind = kind;
        w.lat = static_cast<float>(lat);
        w.lon = static_cast<float>(lon);
        w.altitude = static_cast<float>(altitude);
        std::snprintf(w.ident, sizeof w.ident, "%s", ident);
        FlightPlan.present = 1;
    }
    // The aircraft as the MSFS and X-Plane links hold it.
    static void Aircraft(double lat, double lon, double knots)
    {
        LinkAircraftState[LinkLatitude] = lat;
        LinkAircraftState[LinkLongitude] = lon;
        LinkAircraftState[LinkGroundSpeed] = knots * 0.5151;
    }
    static void Step(int simulator, double activeLeg, double refX = 0, double refY = 0)
    {
        Settings.UseSimulator = simulator;
        BeginGpsFrame();
        SetActiveLegFromSimulator(activeLeg);
        RunGpsStep(ViewMapProjector(), simulator, refX, refY, 1, 1);
    }
};

TEST_F(RouteNavigation, SixtyMilesAtOneHundredTwentyKnotsIsHalfAnHour)
{
    AddWaypoint("START", 1, 49.0, 8.0);
    AddWaypoint("DEST", 1, 51.0, 8.0);
    Aircraft(50.0, 8.0, 120);
    Step(SimulatorXPlane, 1);
    EXPECT_NEAR(GpsState.GpsDistanceNm, 60.0, 0.001);
    EXPECT_NEAR(GpsState.GpsEteWaypoint, 1800.0, 0.1);
    // Handed to the link: metres at 1853.2 a mile, and the time.
    EXPECT_NEAR(LinkAircraftState[LinkWaypointDistance].load(), 111192, 1);
    EXPECT_NEAR(LinkAircraftState[LinkWaypointEte].load(), 1800.0, 0.1);
    EXPECT_NEAR(GpsState.GpsRemainingNm, 0.0, 1e-9);
    EXPECT_NEAR(LinkAircraftState[LinkEte].load(), 1800.0, 0.1);  // the filter starts at the speed
    EXPECT_STREQ(GetActiveWaypointIdent(), "DEST");
    EXPECT_STREQ(GpsState.DestinationIdent, "DEST");
}

TEST_F(RouteNavigation, AtFortyKnotsThereAreNoTimes)
{
    AddWaypoint("START", 1, 49.0, 8.0);
    AddWaypoint("DEST", 1, 51.0, 8.0);
    Aircraft(50.0, 8.0, 40);
    Step(SimulatorXPlane, 1);
    EXPECT_EQ(GpsState.GpsEteWaypoint, 0.0);
    EXPECT_EQ(GpsState.GpsEteDestination, 0.0);
    EXPECT_GT(GpsState.GpsDistanceNm, 59.0);
}

TEST_F(RouteNavigation, DistancesAndRemainingRouteMatchAnIndependentFormula)
{
    const double route[][2] = {{53.63, 9.99}, {53.69, 10.21}, {52.84, 9.28}, {52.37, 9.62}, {50.03, 8.57}};
    for (auto& p : route)
        AddWaypoint("W", 5, p[0], p[1]);
    Aircraft(53.1, 9.6, 250);
    Step(SimulatorMsfs, 2);
    EXPECT_NEAR(GpsState.GpsDistanceNm, ArcNm(53.1, 9.6, 52.84f, 9.28f), 0.1);
    double remaining = ArcNm(52.84f, 9.28f, 52.37f, 9.62f) + ArcNm(52.37f, 9.62f, 50.03f, 8.57f);
    EXPECT_NEAR(GpsState.GpsRemainingNm, remaining, 0.1);
    double total = 0;
    for (int i = 1; i < 5; ++i)
        total += ArcNm(static_cast<float>(route[i - 1][0]), static_cast<float>(route[i - 1][1]),
                       static_cast<float>(route[i][0]), static_cast<float>(route[i][1]));
    EXPECT_NEAR(RouteLegTable[0].legLength, total, 0.1);
    // MSFS takes only the time to the destination.
    EXPECT_EQ(LinkAircraftState[LinkWaypointDistance].load(), 0.0);
    EXPECT_NEAR(LinkAircraftState[LinkEte].load(), (GpsState.GpsDistanceNm + remaining) * 3600 / 250, 5.0);
}

TEST_F(RouteNavigation, CrossTrackIsTheDistanceFromTheActiveLegsGreatCircle)
{
    AddWaypoint("A", 1, 50.0, 8.0);
    AddWaypoint("B", 5, 51.0, 10.0);
    AddWaypoint("C", 1, 52.0, 10.0);
    Settings.UseSimulator = SimulatorMsfs;
    Aircraft(50.6, 9.5, 200);
    Step(SimulatorMsfs, 1);
    // Along-course geometry of the test: sin(xt) = sin(d13) sin(b13 - b12).
    double d13 = ArcNm(50.0, 8.0, 50.6, 9.5) / 3437.7468;
    double expected = std::fabs(std::asin(std::sin(d13) * std::sin(Bearing(50.0, 8.0, 50.6, 9.5) - Bearing(50.0, 8.0, 51.0, 10.0))));
    EXPECT_NEAR(GpsState.CrossTrackKm, expected * 57.29578 * 111.1, 0.05);
    EXPECT_GT(GpsState.CrossTrackKm, 3.0);
    EXPECT_FALSE(IsCrossTrackExceeded());  // no plan is active
}

TEST_F(RouteNavigation, RouteIsRebuiltOnlyWhenChangedOrNotBuilt)
{
    AddWaypoint("A", 1, 50.0, 8.0);
    AddWaypoint("B", 1, 51.0, 8.0);
    Step(SimulatorMsfs, 1);
    double leg = RouteLegTable[1].legLength;
    FlightPlan.waypoints[1].lat = 52.0f;
    Step(SimulatorMsfs, 1);
    EXPECT_EQ(RouteLegTable[1].legLength, leg);  // re-projected only
    RouteChanged = 1;
    Step(SimulatorMsfs, 1);
    EXPECT_NEAR(RouteLegTable[1].legLength, 120.0, 0.01);
    EXPECT_EQ(RouteChanged.load(), 0);
    ClearRouteBuilt();
    FlightPlan.waypoints[1].lat = 50.5f;
    Step(SimulatorMsfs, 1);
    EXPECT_NEAR(RouteLegTable[1].legLength, 30.0, 0.01);
}

TEST_F(RouteNavigation, AMovedWaypointMovesOnTheMapEvenBeforeTheRouteIsRebuilt)
{
    AddWaypoint("A", 1, 50.0, 8.0);
    AddWaypoint("B", 1, 51.0, 8.0);
    Step(SimulatorMsfs, 1);
    float x0, y0, x1, y1;
    char ident[9];
    int32_t symbol, altitude, terrain;
    ASSERT_TRUE(GetRouteWaypoint(1, &x0, &y0, ident, &symbol, &altitude, &terrain));
    FlightPlan.waypoints[1].lat = 51.5f;
    Step(SimulatorMsfs, 1);
    ASSERT_TRUE(GetRouteWaypoint(1, &x1, &y1, ident, &symbol, &altitude, &terrain));
    EXPECT_LT(y1, y0);  // further north, higher on the map
}

TEST_F(RouteNavigation, LongPlansHaveEveryLegAndSymbol)
{
    for (int i = 0; i < 150; ++i)
        AddWaypoint("W", i % 2 ? 4 : 2, 40.0 + 0.1 * i, 8.0);
    Aircraft(40.0, 8.0, 200);
    Step(SimulatorMsfs, 0);
    EXPECT_NEAR(GpsState.GpsRemainingNm, 149 * 6.0, 0.5);
    EXPECT_EQ(RouteSymbols[149], SpriteRouteVor);
    EXPECT_EQ(RouteSymbols[148], SpriteRouteNdb);
}

TEST_F(RouteNavigation, ActiveWaypointOutsideThePlanIsHeldToIt)
{
    AddWaypoint("A", 1, 50.0, 8.0);
    AddWaypoint("B", 1, 51.0, 8.0);
    Aircraft(50.0, 8.0, 100);
    Step(SimulatorMsfs, 500);
    EXPECT_NEAR(GpsState.GpsDistanceNm, 60.0, 0.01);  // the last waypoint
    EXPECT_STREQ(GetActiveWaypointIdent(), "");
    Step(SimulatorMsfs, -3);
    EXPECT_NEAR(GpsState.GpsDistanceNm, 0.0, 0.01);
    Step(SimulatorMsfs, std::nan(""));
    EXPECT_TRUE(std::isfinite(GpsState.GpsDistanceNm));
}

TEST_F(RouteNavigation, DepartureCountsAsPassedOnceTheActiveWaypointLeavesIt)
{
    ClearDeparturePassed();
    AddWaypoint("START", 1, 49.0, 8.0);
    Aircraft(49.0, 8.0, 0);
    Step(SimulatorMsfs, 0);
    EXPECT_FALSE(IsDeparturePassed()) << "a one-waypoint plan never takes a step";
    AddWaypoint("MID", 5, 49.5, 8.0);
    AddWaypoint("DEST", 1, 50.0, 8.0);
    Step(SimulatorMsfs, 0);
    EXPECT_FALSE(IsDeparturePassed());
    Step(SimulatorMsfs, 1);
    EXPECT_TRUE(IsDeparturePassed());
    // A link that reports the first waypoint again (a restarted flight) does
    // not take it back; only a new activation does.
    Step(SimulatorMsfs, 0);
    EXPECT_TRUE(IsDeparturePassed());
    ClearDeparturePassed();
    EXPECT_FALSE(IsDeparturePassed());
    // An index the simulator reports beyond the plan is held to the last row.
    Step(SimulatorMsfs, 40);
    EXPECT_TRUE(IsDeparturePassed());
    ClearDeparturePassed();
    Step(SimulatorMsfs, std::nan(""));
    EXPECT_FALSE(IsDeparturePassed());
}

TEST_F(RouteNavigation, NoStepWithFewerThanTwoWaypoints)
{
    AddWaypoint("A", 1, 50.0, 8.0);
    Step(SimulatorMsfs, 0);
    EXPECT_EQ(GpsState.GpsDistanceNm, -1.0);
    EXPECT_EQ(RouteBuilt, 0);
    float x, y;
    char ident[9];
    int32_t symbol, altitude, terrain;
    EXPECT_FALSE(GetRouteWaypoint(0, &x, &y, ident, &symbol, &altitude, &terrain));
}

TEST_F(RouteNavigation, SymbolsFollowTheKindsOfThePlan)
{
    EXPECT_EQ(RouteSymbolOfKind(0, PlanKindsXml, 77, false), SpriteWaypoint);
    EXPECT_EQ(RouteSymbolOfKind(1, PlanKindsXml, 77, false), SpriteRouteAirport);
    EXPECT_EQ(RouteSymbolOfKind(2, PlanKindsXml, 77, false), SpriteRouteNdb);
    EXPECT_EQ(RouteSymbolOfKind(3, PlanKindsXml, 77, false), 77);
    EXPECT_EQ(RouteSymbolOfKind(4, PlanKindsXml, 77, false), SpriteRouteVor);
    EXPECT_EQ(RouteSymbolOfKind(9, PlanKindsXml, 77, false), SpriteWaypoint);
    EXPECT_EQ(RouteSymbolOfKind(-1, PlanKindsXml, 77, false), 77);
    EXPECT_EQ(RouteSymbolOfKind(-1, PlanKindsXml, 77, true), 0);
    // Text plans number their letters A, V, I, N.
    EXPECT_EQ(RouteSymbolOfKind(0, PlanKindsText, 77, false), SpriteRouteAirport);
    EXPECT_EQ(RouteSymbolOfKind(1, PlanKindsText, 77, false), SpriteRouteVor);
    EXPECT_EQ(RouteSymbolOfKind(2, PlanKindsText, 77, false), SpriteWaypoint);
    EXPECT_EQ(RouteSymbolOfKind(3, PlanKindsText, 77, false), SpriteRouteNdb);
}

TEST_F(RouteNavigation, WaypointsAreHandedOutAfterAStep)
{
    AddWaypoint("EDDH", 1, 53.63, 9.99, 53);
    AddWaypoint("HAM", 4, 53.69, 10.21, 4500.9);
    AddWaypoint("EDDF", 1, 50.03, 8.57, 364);
    double refX = 0, refY = 0;
    LatLonToMapPixel(&refX, &refY, 10.0, 53.6);
    Step(SimulatorMsfs, 1, refX, refY);
    float x, y;
    char ident[9];
    int32_t symbol, altitude, terrain;
    ASSERT_TRUE(GetRouteWaypoint(1, &x, &y, ident, &symbol, &altitude, &terrain));
    EXPECT_STREQ(ident, "HAM");
    EXPECT_EQ(symbol, SpriteRouteVor);
    EXPECT_EQ(altitude, 4500);
    EXPECT_EQ(terrain, RouteNoTerrain);
    double ex = 0, ey = 0;
    LatLonToMapPixel(&ex, &ey, static_cast<double>(10.21f), static_cast<double>(53.69f));
    EXPECT_NEAR(x, ex - refX, 0.01);
    EXPECT_NEAR(y, ey - refY, 0.01);
    EXPECT_FALSE(GetRouteWaypoint(3, &x, &y, ident, &symbol, &altitude, &terrain));
    EXPECT_TRUE(GetRoutePoint(0, &x, &y));
    int32_t leg, count;
    GetActiveLeg(&leg, &count);
    EXPECT_EQ(leg, 1);
    EXPECT_EQ(count, 3);
    char destination[8];
    GetDestinationIdent(destination, sizeof destination);
    EXPECT_STREQ(destination, "EDDF");
    ResetRoute();
    EXPECT_FALSE(GetRouteWaypoint(0, &x, &y, ident, &symbol, &altitude, &terrain));
}

TEST_F(RouteNavigation, LegLengthsAreHaversineAndRowZeroKeepsTheirTotal)
{
    RouteLegTable[0].lat = 50.0;
    RouteLegTable[0].lon = 8.0;
    RouteLegTable[1].lat = 51.0;
    RouteLegTable[1].lon = 8.0;
    RouteLegTable[2].lat = 51.0;
    RouteLegTable[2].lon = 9.0;
    for (int32_t row = 0; row < 3; row++)
        UpdateLegDistance(row);
    EXPECT_NEAR(RouteLegTable[1].legLength, 60.0, 0.01);
    EXPECT_NEAR(RouteLegTable[2].legLength, 60.0 * std::cos(51.0 * M_PI / 180.0), 0.05);
    EXPECT_NEAR(RouteLegTable[0].legLength, RouteLegTable[1].legLength + RouteLegTable[2].legLength, 1e-9);
}

// Aerofly FS 2 reports no active waypoint: it follows the map centre, which
// here flies the route in small steps. On each leg the waypoint ahead is
// active; a step past it makes the next one active.
TEST_F(RouteNavigation, AeroflyActiveWaypointSwitchesOnceTheCentreHasPassedIt)
{
    const double route[][2] = {{50.0, 8.0}, {50.3, 8.3}, {50.6, 8.5}, {50.9, 8.9}, {51.2, 9.0}};
    for (auto& p : route)
        AddWaypoint("W", 5, p[0], p[1]);
    auto fly = [&](int leg, double t) {
        MapCenter.latitude = route[leg - 1][0] + t * (route[leg][0] - route[leg - 1][0]);
        MapCenter.longitude = route[leg - 1][1] + t * (route[leg][1] - route[leg - 1][1]);
        Step(SimulatorAerofly, 0);
        return GpsState.ActiveLeg;
    };
    for (int leg = 1; leg <= 4; ++leg) {
        for (int k = 1; k < 40; ++k)
            ASSERT_EQ(fly(leg, k / 40.0), leg) << "leg " << leg << " step " << k;
        if (leg < 4) {
            EXPECT_EQ(fly(leg + 1, 0.01), leg + 1);
        }
    }
}

TEST_F(RouteNavigation, AeroflyCentreBetweenTwoAndThreeNearerThreeMakesThreeActive)
{
    const double route[][2] = {{50.0, 8.0}, {50.2, 8.0}, {50.4, 8.0}, {50.6, 8.0}, {50.8, 8.0}};
    for (auto& p : route)
        AddWaypoint("W", 5, p[0], p[1]);
    MapCenter.latitude = 50.55;
    MapCenter.longitude = 8.0;
    EXPECT_EQ(FindActiveWaypoint(), 3);
    MapCenter.latitude = 50.61;
    Step(SimulatorAerofly, 0);
    EXPECT_EQ(GpsState.ActiveLeg, 4);
}

}  // namespace
