// Projection from latitude and longitude to map pixels and back, in every
// kind of map, north-up and turned with the track.
#include "app/settings.h"
#include "display/airport_view.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "maps/tile_sources.h"
#include "tests/display/map_centre.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const double kNm = 1.0 / 60.0;  // degrees of latitude in one nautical mile

// Where a layer puts a point: ScreenCentre + zoom x scale x offset, turned by
// the map angle about ScreenCentre.
void ToScreen(double lat, double lon, double angle, double* sx, double* sy)
{
    double dx = 0, dy = 0;
    ProjectToScreenOffset(&dx, &dy, lon, lat);
    double k = FrameZoom * MapScale;
    double c = std::cos(angle), s = std::sin(angle);
    *sx = ScreenCentre.x + k * (dx * c - dy * s);
    *sy = ScreenCentre.y + k * (dx * s + dy * c);
}

// The way back from a screen point, as a click on the map takes it.
void FromScreen(double sx, double sy, double angle, double* lat, double* lon)
{
    double k = FrameZoom * MapScale;
    double rx = sx - ScreenCentre.x, ry = sy - ScreenCentre.y;
    double c = std::cos(-angle), s = std::sin(-angle);
    double dx = (rx * c - ry * s) / k;
    double dy = (rx * s + ry * c) / k;
    MapOffsetToLatLon(lon, lat, dx, dy);
}

class MapProjection : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings.Tile = 11;
        Settings.SatMode = 1;
        Settings.Zoom = 1.0;
        TileMapFlag = 1;
        ActiveGeoreference = MapGeoreference();
        FrameZoom = 1.0f;
        MapScale = 1.0f;
        GridFactorX = GridFactorY = 1.0;
        ScreenCentre = {320, 240};
        CurrentChartLevel = 0;
    }
    void UseGeoreference(const MapGeoreference& g)
    {
        TileMapFlag = 0;
        ActiveGeoreference = g;
    }
    // A local map of about 3000 pixels per degree around Hamburg.
    static MapGeoreference LinearPolynomialA()
    {
        MapGeoreference g;
        g.kind = GeorefPolynomialA;
        g.a[1] = 1800.0;   // x per degree of longitude
        g.a[5] = -15000.0;
        g.b[3] = -3000.0;  // y per degree of latitude, southwards
        g.b[5] = 162000.0;
        return g;
    }
    static MapGeoreference LinearPolynomialB()
    {
        MapGeoreference g;
        g.kind = GeorefPolynomialB;
        g.a[0] = -15000.0;
        g.a[1] = 1800.0;
        g.b[0] = 162000.0;
        g.b[2] = -3000.0;
        return g;
    }
    // A 3 x 3 grid over 9..11 E, 54..52 N, one degree per cell, cells of
    // slightly different sizes.
    static MapGeoreference Grid()
    {
        MapGeoreference g;
        g.kind = GeorefGrid;
        g.lon0 = 9.0;
        g.lat0 = 54.0;
        g.dLon = 1.0;
        g.dLat = 1.0;
        g.columns = 3;
        g.rows = 3;
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i)
                g.points[j][i] = {1000 + 1800 * i + 40 * i * i, 500 + 3000 * j + 60 * j * j};
        return g;
    }
    static MapGeoreference Sheets()
    {
        MapGeoreference g;
        g.kind = GeorefSheets;
        return g;
    }

    // Points a few miles around the centre come back where they were, with
    // the map north-up and turned 30 degrees left.
    void ExpectRoundTrips(double tolerance)
    {
        const double lat0 = 53.63, lon0 = 10.0;
        CentreMapOn(lat0, lon0);
        ASSERT_TRUE(PixelsPerDegreeKnown);
        for (double angle : {0.0, -0.5236}) {
            for (double dLat : {-3 * kNm, 0.0, 2 * kNm})
                for (double dLon : {-0.05, 0.0, 0.04}) {
                    double sx = 0, sy = 0, lat = 0, lon = 0;
                    ToScreen(lat0 + dLat, lon0 + dLon, angle, &sx, &sy);
                    FromScreen(sx, sy, angle, &lat, &lon);
                    EXPECT_NEAR(lat, lat0 + dLat, tolerance) << "angle " << angle;
                    EXPECT_NEAR(lon, lon0 + dLon, tolerance) << "angle " << angle;
                }
        }
    }

    // The centre is drawn at ScreenCentre; a point 1 nm north lies straight
    // above it at the map's own scale, also in the turned map's frame.
    void ExpectKnownPoints()
    {
        CentreMapOn(53.63, 10.0);
        double sx = 0, sy = 0;
        ToScreen(53.63, 10.0, 0.0, &sx, &sy);
        EXPECT_NEAR(sx, 320, 1e-6);
        EXPECT_NEAR(sy, 240, 1e-6);
        ToScreen(53.63 + kNm, 10.0, 0.0, &sx, &sy);
        EXPECT_NEAR(sx, 320, 0.05);
        EXPECT_NEAR(240 - sy, PixelsPerDegreeLat * kNm, 0.02 * PixelsPerDegreeLat * kNm);
        EXPECT_GT(240 - sy, 1.0);
        // Turned so that a track of 90 degrees points up: north points left.
        ToScreen(53.63 + kNm, 10.0, -1.5708, &sx, &sy);
        EXPECT_NEAR(sy, 240, 0.05);
        EXPECT_NEAR(320 - sx, PixelsPerDegreeLat * kNm, 0.02 * PixelsPerDegreeLat * kNm);
    }
};

TEST_F(MapProjection, TileMapRoundTrips) { ExpectRoundTrips(2e-4); }
TEST_F(MapProjection, TileMapKnownPoints) { ExpectKnownPoints(); }

TEST_F(MapProjection, TileMapRoundTripsWhenZoomedAndScaled)
{
    Settings.Tile = 15;
    FrameZoom = 1.0f;
    MapScale = 2.0f;
    ExpectRoundTrips(2e-4);
}

TEST_F(MapProjection, PolynomialARoundTrips)
{
    UseGeoreference(LinearPolynomialA());
    ExpectRoundTrips(1e-9);
}

TEST_F(MapProjection, PolynomialCountsAsPresentWithItsFirstCoefficient)
{
    GeorefPresent = 0;
    MapGeoreference g = LinearPolynomialA();
    UseGeoreference(g);
    double x = 0, y = 0;
    LatLonToMapPixel(&x, &y, 10.0, 53.0);
    EXPECT_EQ(GeorefPresent, 0);
    g.a[0] = 1e-9;
    UseGeoreference(g);
    LatLonToMapPixel(&x, &y, 10.0, 53.0);
    EXPECT_EQ(GeorefPresent, 1);
}

TEST_F(MapProjection, PolynomialAKnownPoints)
{
    UseGeoreference(LinearPolynomialA());
    ExpectKnownPoints();
    EXPECT_NEAR(PixelsPerDegreeLat, 3000.0, 1e-6);
}

TEST_F(MapProjection, PolynomialBRoundTrips)
{
    UseGeoreference(LinearPolynomialB());
    ExpectRoundTrips(1e-9);
    ExpectKnownPoints();
}

TEST_F(MapProjection, PolynomialBEndsWithCubesOfLatitudeAndLongitude)
{
    MapGeoreference g;
    g.kind = GeorefPolynomialB;
    g.a[6] = 1.0;
    g.b[6] = 1.0;
    UseGeoreference(g);
    double x = 0, y = 0;
    LatLonToMapPixel(&x, &y, 2.0, 3.0);
    EXPECT_DOUBLE_EQ(x, 27.0);  // latitude cubed
    EXPECT_DOUBLE_EQ(y, 8.0);   // longitude cubed
}

TEST_F(MapProjection, GridRoundTrips)
{
    UseGeoreference(Grid());
    // The way back scales by the centre's cell; across a cell border of
    // another size that is off by a fraction of the difference.
    ExpectRoundTrips(3e-3);
    ExpectKnownPoints();
}

TEST_F(MapProjection, SheetSchemeRoundTripsAndKnownPoints)
{
    UseGeoreference(Sheets());
    ExpectRoundTrips(1e-9);
    ExpectKnownPoints();
    double x = 0, y = 0;
    LatLonToMapPixel(&x, &y, -180.0, 90.0);
    EXPECT_DOUBLE_EQ(x, 0.0);
    EXPECT_DOUBLE_EQ(y, 0.0);
}

TEST_F(MapProjection, GridPointsOnCellCornersAreTheControlPoints)
{
    UseGeoreference(Grid());
    const MapGeoreference& g = ActiveGeoreference;
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            double x = 0, y = 0;
            LatLonToMapPixel(&x, &y, 9.0 + i, 54.0 - j);
            EXPECT_NEAR(x, g.points[j][i].x, 1e-9) << i << "," << j;
            EXPECT_NEAR(y, g.points[j][i].y, 1e-9) << i << "," << j;
        }
}

TEST_F(MapProjection, GridContinuesLinearlyBeyondItsEdges)
{
    UseGeoreference(Grid());
    double xIn = 0, yIn = 0, xEdge = 0, yEdge = 0, xOut = 0, yOut = 0;
    LatLonToMapPixel(&xIn, &yIn, 10.5, 53.0);
    LatLonToMapPixel(&xEdge, &yEdge, 11.0, 53.0);
    LatLonToMapPixel(&xOut, &yOut, 11.5, 53.0);
    EXPECT_NEAR(xOut - xEdge, xEdge - xIn, 1e-9);
    EXPECT_NEAR(yOut - yEdge, yEdge - yIn, 1e-9);
}

TEST_F(MapProjection, UnusableGridsProjectToTheOriginWithoutReadingPastTheTable)
{
    MapGeoreference g = Grid();
    g.columns = 1;  // fewer than two columns cannot be interpolated
    UseGeoreference(g);
    double x = -1, y = -1;
    LatLonToMapPixel(&x, &y, 10.0, 53.0);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);

    g = Grid();
    g.rows = 500;  // a file that claimed more rows than the table holds
    g.columns = 500;
    UseGeoreference(g);
    LatLonToMapPixel(&x, &y, 500.0, -400.0);
    EXPECT_EQ(x, 0.0);

    g = Grid();
    g.dLon = 0.0;
    UseGeoreference(g);
    LatLonToMapPixel(&x, &y, 10.0, 53.0);
    EXPECT_EQ(x, 0.0);
}

TEST_F(MapProjection, GridHandlesNaNPositions)
{
    UseGeoreference(Grid());
    double x = 0, y = 0;
    LatLonToMapPixel(&x, &y, std::nan(""), 53.0);  // must not crash
    SUCCEED();
}

TEST_F(MapProjection, GridCrossesTheDateLineToItsOrigin)
{
    MapGeoreference g = Grid();
    g.lon0 = 179.0;
    UseGeoreference(g);
    double xWest = 0, y = 0, xEast = 0;
    LatLonToMapPixel(&xWest, &y, -179.5, 53.0);  // 180.5 east
    LatLonToMapPixel(&xEast, &y, 180.5, 53.0);
    EXPECT_NEAR(xWest, xEast, 1e-9);
}

TEST_F(MapProjection, DateLineIsCrossedTheShortWay)
{
    CentreMapOn(10.0, -179.9);
    double dx = 0, dy = 0;
    ProjectToScreenOffset(&dx, &dy, 179.9, 10.0);
    double perDegree = GetWorldPixelWidth() / 360.0;
    EXPECT_LT(dx, 0.0);
    EXPECT_NEAR(dx, -0.2 * perDegree, 1.0);
}

TEST_F(MapProjection, TileProjectionLeavesSheetRotationAtZero)
{
    ChartRotationDeg = 12;
    double x = 0, y = 0;
    LatLonToMapPixel(&x, &y, 10.0, 53.0);
    EXPECT_EQ(ChartRotationDeg, 0);
}

TEST_F(MapProjection, LoaderProjectsWithTheStagingSetAndTruncates)
{
    StagingGeoreference = MapGeoreference();
    StagingGeoreference.kind = GeorefSheets;
    int32_t x = 0, y = 0;
    LatLonToLoaderMapPixel(&x, &y, 10.0005, 53.0009);
    EXPECT_EQ(x, 190000);
    EXPECT_EQ(y, 36999);
}

TEST_F(MapProjection, OffsetWithoutScaleGivesTheCentre)
{
    UseGeoreference(MapGeoreference());  // all coefficients zero
    CentreMapOn(53.0, 10.0);
    EXPECT_FALSE(PixelsPerDegreeKnown);
    double lat = 0, lon = 0;
    MapOffsetToLatLon(&lon, &lat, 25.0, -40.0);
    EXPECT_EQ(lat, 53.0);
    EXPECT_EQ(lon, 10.0);
}

TEST_F(MapProjection, PixelsPerDegreeStayFiniteAtThePole)
{
    CentreMapOn(90.0, 0.0);
    EXPECT_TRUE(std::isfinite(PixelsPerDegreeLon));
}

TEST_F(MapProjection, LocalMapScreenScaleFollowsTheChartLevel)
{
    UseGeoreference(LinearPolynomialA());
    CentreMapOn(53.0, 10.0);
    double x0 = 0, y0 = 0, x2 = 0, y2 = 0;
    GetScreenPixelsPerDegree(&x0, &y0);
    CurrentChartLevel = 2;
    GetScreenPixelsPerDegree(&x2, &y2);
    EXPECT_NEAR(y0, 3000.0, 1e-6);
    EXPECT_NEAR(y2, 1000.0, 1e-2);
    CurrentChartLevel = 9;  // out of range counts as level 0
    GetScreenPixelsPerDegree(&x2, &y2);
    EXPECT_NEAR(y2, 3000.0, 1e-6);
}

TEST(MapViewport, BezelMapAreaOrWholeScreenByScale)
{
    MapViewportRect = {84, 40, 84 + 477, 40 + 351};
    BezelShown = 1;
    ViewportRect r{};
    GetMapViewport(&r);
    EXPECT_EQ(r.right, 561);
    EXPECT_EQ(r.bottom, 391);
    BezelShown = 0;
    MapScale = 2.0f;
    GetMapViewport(&r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 320);
    EXPECT_EQ(r.bottom, 240);
    MapScale = 0.0f;  // before the first frame
    GetMapViewport(&r);
    EXPECT_EQ(r.right, 640);
}

TEST(AirportView, ScaleFromDiagramWidth)
{
    SetAirportViewScale(0);
    EXPECT_EQ(AirportDiagramView.scale, 18750);
    SetAirportViewScale(-20);
    EXPECT_EQ(AirportDiagramView.scale, 18750);
    SetAirportViewScale(2000);
    EXPECT_EQ(AirportDiagramView.sizeFactor, 2.0);
    EXPECT_EQ(AirportDiagramView.scale, 37500);
}

TEST(AirportView, ProjectionAroundItsCentre)
{
    SetAirportViewScale(0);
    SetAirportViewCenter(60.0, 10.0);
    EXPECT_EQ(AirportDiagramView.panning, 1);
    double x = 0, y = 0;
    LatLonToAirportViewXY(&x, &y, 10.01, 59.99);
    EXPECT_NEAR(x, 0.01 * 18750 * 0.5, 0.01);
    EXPECT_NEAR(y, 0.01 * 18750, 1e-6);
}

TEST(AirportView, PanningFollowsSmallMovesAndIgnoresJumps)
{
    SetAirportViewScale(0);
    SetAirportViewCenter(0.0, 0.0);
    AirportDiagramView.lastX = 100;
    AirportDiagramView.lastY = 100;
    PanByMouse(110, 90);
    EXPECT_NEAR(AirportDiagramView.latitude, 10.0 / 18750, 1e-12);
    EXPECT_NEAR(AirportDiagramView.longitude, -10.0 / 18750, 1e-9);
    double lat = AirportDiagramView.latitude, lon = AirportDiagramView.longitude;
    PanByMouse(260, 240);  // a jump of 150: only the reference point moves
    EXPECT_EQ(AirportDiagramView.latitude, lat);
    EXPECT_EQ(AirportDiagramView.longitude, lon);
    EXPECT_EQ(AirportDiagramView.lastX, 260);
    EXPECT_EQ(AirportDiagramView.lastY, 240);
}

}  // namespace
