// Route geometry: legs split along the great circle, turns rounded, points
// projected with the date-line wrap; figures checked by formulas of the test.
#include "navdata/route_geometry.h"

#include "app/settings.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "maps/tile_sources.h"
#include "navdata/great_circle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Vec {
    double x, y, z;
};
Vec ToVec(double lat, double lon)
{
    double a = lat * kPi / 180, b = lon * kPi / 180;
    return {std::cos(a) * std::cos(b), std::cos(a) * std::sin(b), std::sin(a)};
}
Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Norm(Vec a) { return std::sqrt(Dot(a, a)); }

// Great-circle distance by the atan2 form, nm at 3437.7468 a radian.
double ArcNm(double lat1, double lon1, double lat2, double lon2)
{
    Vec a = ToVec(lat1, lon1), b = ToVec(lat2, lon2);
    return std::atan2(Norm(Cross(a, b)), Dot(a, b)) * 3437.7468;
}

// How far (radians) a point lies off the great circle through two others.
double OffCircle(double lat1, double lon1, double lat2, double lon2, double lat, double lon)
{
    Vec n = Cross(ToVec(lat1, lon1), ToVec(lat2, lon2));
    return std::fabs(std::asin(Dot(n, ToVec(lat, lon)) / Norm(n)));
}

FlightPlanWaypoint Waypoint(double lat, double lon)
{
    FlightPlanWaypoint w{};
    w.lat = static_cast<float>(lat);
    w.lon = static_cast<float>(lon);
    return w;
}

std::vector<RoutePoint> Split(double lat1, double lon1, double lat2, double lon2)
{
    FlightPlanWaypoint w[2] = {Waypoint(lat1, lon1), Waypoint(lat2, lon2)};
    std::vector<RoutePoint> points;
    BuildGreatCirclePoints(w, 2, &points);
    return points;
}

// Latitude reached n nautical miles north of lat along a meridian.
double North(double lat, double nm) { return lat + nm / 3437.7468 * 180 / kPi; }

TEST(RouteDistances, FormulasAgreeWithTheTestsOwnWithinATenthOfAMile)
{
    struct Leg {
        double lat1, lon1, lat2, lon2;
    } legs[] = {{53.63, 9.99, 50.03, 8.57}, {0, 179.5, 0.5, -179.5}, {89.5, 0, 89.5, 180}, {-33.9, 151.2, -37.0, 174.8}};
    for (const Leg& l : legs) {
        double expected = ArcNm(l.lat1, l.lon1, l.lat2, l.lon2);
        EXPECT_NEAR(GreatCircleDistanceNm(l.lat1, l.lon1, l.lat2, l.lon2), expected, 0.1);
        EXPECT_NEAR(HaversineNm(l.lat1, l.lon1, l.lat2, l.lon2), expected, 0.1);
    }
    EXPECT_DOUBLE_EQ(Distance2D(1, 2, 4, 6), 5.0);
    EXPECT_EQ(GreatCircleDistanceNm(50, 8, 50, 8), 0.0);  // no NaN for one point
}

TEST(RouteDistances, LongitudesWrapIntoOneTurnEvenFromFarAway)
{
    EXPECT_EQ(WrapLongitude(180.0), 180.0);
    EXPECT_EQ(WrapLongitude(-180.0), 180.0);
    EXPECT_EQ(WrapLongitude(190.0), -170.0);
    EXPECT_EQ(WrapLongitude(-190.0), 170.0);
    EXPECT_EQ(WrapLongitude(720.5), 0.5);
    // A value no loop of single turns would finish in time, and no values.
    EXPECT_EQ(WrapLongitude(1e18), -80.0);  // 10^18 leaves 280 after whole turns
    EXPECT_TRUE(std::isnan(WrapLongitude(std::nan(""))));
    EXPECT_TRUE(std::isinf(WrapLongitude(HUGE_VAL)));
}

TEST(RouteSplitting, LegsOfThirtyMilesOrMoreAreSplitIntoThirtyMileParts)
{
    // 30 nm (a hair over, so the single precision positions still make it).
    std::vector<RoutePoint> p = Split(50.0, 8.0, North(50.0, 30.001), 8.0);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_NEAR(p[1].y, North(50.0, 30.001), 1e-5);  // the end, recomputed
    EXPECT_EQ(Split(50.0, 8.0, North(50.0, 29.9), 8.0).size(), 2u);
    p = Split(50.0, 8.0, North(50.0, 95.0), 8.0);
    ASSERT_EQ(p.size(), 4u);  // the start and 3 points
    EXPECT_NEAR(ArcNm(p[0].y, p[0].x, p[1].y, p[1].x), 95.0 / 3, 0.5);
}

TEST(RouteSplitting, SplitPointsLieOnTheGreatCircleInEveryProjection)
{
    struct Leg {
        double lat1, lon1, lat2, lon2;
    } legs[] = {
        {50, -10, 60, 40},    // north polar
        {5, 10, 60, 40},      // equatorial
        {-20, -60, -40, -10}, // south polar
        {-5, 170, 8, -165},   // equatorial across the date line
    };
    for (const Leg& l : legs) {
        SCOPED_TRACE(l.lat1);
        std::vector<RoutePoint> p = Split(l.lat1, l.lon1, l.lat2, l.lon2);
        ASSERT_GT(p.size(), 10u);
        for (const RoutePoint& q : p) {
            EXPECT_LT(OffCircle(l.lat1, l.lon1, l.lat2, l.lon2, q.y, q.x), 1e-6);
            EXPECT_LE(std::fabs(q.x), 180.0);
        }
        EXPECT_NEAR(p.back().y, l.lat2, 1e-4);
        EXPECT_NEAR(std::remainder(p.back().x - l.lon2, 360.0), 0.0, 1e-4);
        // Points run from start to end without jumping round the world.
        for (size_t i = 1; i < p.size(); ++i)
            EXPECT_LT(ArcNm(p[i - 1].y, p[i - 1].x, p[i].y, p[i].x), 2 * RouteSplitNm);
    }
    // West of Greenwich in the south polar projection stays negative.
    for (const RoutePoint& q : Split(-20, -60, -40, -10))
        EXPECT_LT(q.x, 0.0);
}

// Three points whose legs meet at `degrees` at the middle one (measured on
// longitude and latitude as they stand), legs of 20 nm.
std::vector<RoutePoint> Turn(double degrees)
{
    double a = degrees * kPi / 180;
    double leg = 20.0 / 60.0;
    return {{10.0 - leg, 0.0}, {10.0, 0.0}, {10.0 - leg * std::cos(a), leg * std::sin(a)}};
}

TEST(RouteTurns, ArcsHaveSevenOrFiveStepsAndStraightCoursesNone)
{
    struct Case {
        double degrees;
        size_t arcPoints;
    } cases[] = {{80, 8}, {90, 6}, {120, 6}, {175, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.degrees);
        std::vector<RoutePoint> p = Turn(c.degrees);
        SmoothRouteTurns(&p);
        EXPECT_EQ(p.size(), 2 + (c.arcPoints ? c.arcPoints : 1));
    }
    EXPECT_EQ(TurnArcPoints(1.396), 8);
    EXPECT_EQ(TurnArcPoints(1.5708), 6);
    EXPECT_EQ(TurnArcPoints(3.054), 0);
}

TEST(RouteTurns, ArcStartsTwoMilesBeforeTheTurnOrMidLegOnAShortLeg)
{
    std::vector<RoutePoint> p = Turn(90);
    SmoothRouteTurns(&p);
    // The first arc point, 2 nm back along the incoming leg.
    EXPECT_NEAR(ArcNm(p[1].y, p[1].x, 0.0, 10.0), 2.0, 0.01);
    EXPECT_NEAR(ArcNm(p[6].y, p[6].x, 0.0, 10.0), 2.0, 0.01);
    std::vector<RoutePoint> shortLeg = {{10.0 - 3.0 / 60, 0.0}, {10.0, 0.0}, {10.0, 0.5}};
    SmoothRouteTurns(&shortLeg);
    EXPECT_NEAR(shortLeg[1].x, 10.0 - 1.5 / 60, 1e-9);
    EXPECT_NEAR(shortLeg[1].y, 0.0, 1e-9);
}

TEST(RouteTurns, RepeatedPointsAndTurnsAtTheDateLineStaySound)
{
    std::vector<RoutePoint> p = {{8, 50}, {8, 50}, {9, 51}};
    SmoothRouteTurns(&p);
    for (const RoutePoint& q : p)
        EXPECT_TRUE(std::isfinite(q.x) && std::isfinite(q.y));
    std::vector<RoutePoint> dateLine = {{179.0, 0.0}, {-179.9, 0.0}, {-179.9, 1.0}};
    SmoothRouteTurns(&dateLine);
    for (const RoutePoint& q : dateLine)
        EXPECT_GT(std::fabs(q.x), 178.9);  // rounded where the turn is, not across the world
}

class RouteProjection : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Settings.Tile = 8;
        Settings.SatMode = 1;
        TileMapFlag = 1;
    }
    void TearDown() override { ClearRoutePolyline(); }
};

TEST_F(RouteProjection, PointsBeyondHalfAWorldAreMovedByOneWorld)
{
    double world = GetWorldPixelWidth();
    ASSERT_GT(world, 0);
    double refX = 0, refY = 0;
    LatLonToMapPixel(&refX, &refY, 179.5, 0.0);
    RoutePoint east = ToMapRelative(ViewMapProjector(), 0.0, -179.5, refX, refY, world);
    EXPECT_NEAR(east.x, world / 360.0, 1e-6);  // one degree east, not a world west
    FlightPlanWaypoint w[3] = {Waypoint(-17.75, 177.4), Waypoint(-16.5, 179.9), Waypoint(-13.8, -172.0)};
    BuildRoutePolyline(ViewMapProjector(), w, 3, true, refX, refY);
    ASSERT_GT(GetRoutePolylineSize(), 3u);
    RoutePoint previous{};
    for (size_t i = 0; i < GetRoutePolylineSize(); ++i) {
        RoutePoint q;
        ASSERT_TRUE(GetRoutePolylinePoint(i, &q));
        EXPECT_LT(std::fabs(q.x), world / 2);
        if (i > 0) {
            EXPECT_LT(std::fabs(q.x - previous.x), world / 36);  // drawn continuously
        }
        previous = q;
    }
}

TEST_F(RouteProjection, WithoutRebuildOnlyTheProjectionMoves)
{
    FlightPlanWaypoint w[2] = {Waypoint(53.6, 10.0), Waypoint(50.0, 8.5)};
    BuildRoutePolyline(ViewMapProjector(), w, 2, true, 0, 0);
    size_t points = GetRoutePolylineSize();
    RoutePoint before;
    GetRoutePolylinePoint(0, &before);
    w[1] = Waypoint(10, 10);  // not rebuilt: the stored geography stays
    BuildRoutePolyline(ViewMapProjector(), w, 2, false, 100, 50);
    RoutePoint after;
    GetRoutePolylinePoint(0, &after);
    EXPECT_EQ(GetRoutePolylineSize(), points);
    EXPECT_DOUBLE_EQ(after.x, before.x - 100);
    EXPECT_DOUBLE_EQ(after.y, before.y - 50);
}

TEST_F(RouteProjection, ANewZoomProjectsTheStoredRouteAnew)
{
    FlightPlanWaypoint w[2] = {Waypoint(53.6, 10.0), Waypoint(50.0, 8.5)};
    EXPECT_TRUE(BuildRoutePolyline(ViewMapProjector(), w, 2, true, 0, 0));
    RoutePoint at8;
    GetRoutePolylinePoint(1, &at8);
    EXPECT_FALSE(BuildRoutePolyline(ViewMapProjector(), w, 2, false, 0, 0));  // nothing changed: nothing projected
    Settings.Tile = 9;
    EXPECT_TRUE(BuildRoutePolyline(ViewMapProjector(), w, 2, false, 0, 0));
    RoutePoint at9;
    GetRoutePolylinePoint(1, &at9);
    EXPECT_NEAR(at9.x, 2 * at8.x, 1.0);
    EXPECT_NEAR(at9.y, 2 * at8.y, 1.0);  // the map takes pixel centres
}

// A projection of ten map pixels a degree, north up, over a world of 3600
// pixels; the wrap is switched off by a world of no width.
void TenPixelsADegree(double* x, double* y, double lon, double lat)
{
    *x = lon * 10;
    *y = -lat * 10;
}
double TenPixelWorld() { return 3600; }
double NoWorld() { return 0; }

TEST(RouteCallerProjection, TheRouteIsProjectedAndWrappedAsTheCallerSays)
{
    FlightPlanWaypoint w[2] = {Waypoint(0, 179), Waypoint(0, 179.25)};
    // The reference lies at -179 degrees: 358 degrees west, or 2 east across the date line.
    EXPECT_TRUE(BuildRoutePolyline({TenPixelsADegree, TenPixelWorld}, w, 2, true, -1790, 0));
    RoutePoint first;
    ASSERT_TRUE(GetRoutePolylinePoint(0, &first));
    EXPECT_DOUBLE_EQ(first.x, -20);
    EXPECT_DOUBLE_EQ(first.y, 0);
    BuildRoutePolyline({TenPixelsADegree, NoWorld}, w, 2, false, -1790, 0);
    ASSERT_TRUE(GetRoutePolylinePoint(0, &first));
    EXPECT_DOUBLE_EQ(first.x, 3580);
    RoutePoint single = ToMapRelative({TenPixelsADegree, TenPixelWorld}, 1.5, 2.0, 5, 5, 3600);
    EXPECT_DOUBLE_EQ(single.x, 15);
    EXPECT_DOUBLE_EQ(single.y, -20);
    ClearRoutePolyline();
}

}  // namespace
