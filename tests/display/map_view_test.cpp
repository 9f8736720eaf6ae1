// The map view's small services: degrees and minutes, the visible bounds,
// the map area's click zone, the end of a pan, the airport view's centre.
#include "app/layout_tables.h"
#include "app/settings.h"
#include "display/airport_view.h"
#include "display/map_view.h"
#include "navdata/airport_details.h"

#include <gtest/gtest.h>

namespace {

TEST(MapView, DegreesAndMinutesWithTheirHemispheres)
{
    DegMinRecord r{};
    LatLonToDegMin(-0.5, 10.25, &r);
    EXPECT_EQ(r.northSouth, 'S');
    EXPECT_EQ(r.latDegrees, 0);
    EXPECT_FLOAT_EQ(r.latMinutes, 30.0f);
    EXPECT_EQ(r.eastWest, 'E');
    EXPECT_EQ(r.lonDegrees, 10);
    EXPECT_FLOAT_EQ(r.lonMinutes, 15.0f);
    LatLonToDegMin(53.5, -179.75, &r);
    EXPECT_EQ(r.northSouth, 'N');
    EXPECT_EQ(r.latDegrees, 53);
    EXPECT_EQ(r.eastWest, 'W');
    EXPECT_EQ(r.lonDegrees, 179);
    EXPECT_FLOAT_EQ(r.lonMinutes, 45.0f);
    LatLonToDegMin(0.0, 0.0, &r);
    EXPECT_EQ(r.northSouth, 'N');
    EXPECT_EQ(r.eastWest, 'E');
}

TEST(MapView, VisibleBoundsWaitForTheScaleThenCoverTheWholeDegreesAround)
{
    MapCenter.latitude = 53.6;
    MapCenter.longitude = 10.0;
    PixelsPerDegreeKnown = 0;
    double w = -1, e = -1, n = -1, s = -1;
    EXPECT_FALSE(GetVisibleMapBounds(&w, &e, &n, &s, 640, 480, 1.0f));
    EXPECT_EQ(w, -1);
    PixelsPerDegreeKnown = 1;
    PixelsPerDegreeLon = 3000;
    PixelsPerDegreeLat = 5000;
    ASSERT_TRUE(GetVisibleMapBounds(&w, &e, &n, &s, 640, 480, 1.0f));
    EXPECT_DOUBLE_EQ(w, 9.0);   // widened to truncate(lon) - 1
    EXPECT_DOUBLE_EQ(e, 12.0);  // and truncate(lon) + 2
    EXPECT_DOUBLE_EQ(n, 54.0);
    EXPECT_DOUBLE_EQ(s, 52.0);
    MapCenter.longitude = -70.5;
    ASSERT_TRUE(GetVisibleMapBounds(&w, &e, &n, &s, 640, 480, 0.001f));  // zoomed far out
    EXPECT_NEAR(w, -70.5 - 640 / (0.001 * 3000), 1e-3);  // zoom is a float
    EXPECT_NEAR(e, -70.5 + 640 / (0.001 * 3000), 1e-3);
    EXPECT_FALSE(GetVisibleMapBounds(&w, &e, &n, &s, 640, 480, 0.0f));
    // Next to the prime meridian the box reaches the whole degrees on both
    // sides, truncated toward zero.
    MapCenter.longitude = 0.3;
    ASSERT_TRUE(GetVisibleMapBounds(&w, &e, &n, &s, 64, 48, 1.0f));
    EXPECT_LE(w, -1.0);
    EXPECT_GE(e, 2.0);
    MapCenter.longitude = -0.3;
    ASSERT_TRUE(GetVisibleMapBounds(&w, &e, &n, &s, 64, 48, 1.0f));
    EXPECT_LE(w, -2.0);
    EXPECT_GE(e, 1.0);
    PixelsPerDegreeKnown = 0;
}

TEST(MapView, ViewBoundsAreTheViewItselfAroundTheCentre)
{
    MapCenter.latitude = 53.5;
    MapCenter.longitude = 10.0;
    float b[4] = {-1, -1, -1, -1};
    PixelsPerDegreeKnown = 0;
    GetViewBounds(b, 640, 480, 1.0f);
    EXPECT_EQ(b[0], -1.0f);  // untouched while the scale is not known
    PixelsPerDegreeKnown = 1;
    PixelsPerDegreeLon = 3200;
    PixelsPerDegreeLat = 4800;
    GetViewBounds(b, 640, 480, 2.0f);
    EXPECT_NEAR(b[0], 10.0 - 0.05, 1e-5);
    EXPECT_NEAR(b[1], 10.0 + 0.05, 1e-5);
    EXPECT_NEAR(b[2], 53.5 + 0.025, 1e-5);
    EXPECT_NEAR(b[3], 53.5 - 0.025, 1e-5);
    float kept = b[0];
    GetViewBounds(b, 640, 480, 0.0f);
    EXPECT_EQ(b[0], kept);
    PixelsPerDegreeKnown = 0;
}

TEST(MapView, MapAreaZoneFollowsTheBezel)
{
    const auto saved = HotspotTable;
    SetViewportRect(0, true);
    EXPECT_EQ(HotspotTable[0].x, 84);
    EXPECT_EQ(HotspotTable[0].w, 472);
    EXPECT_EQ(HotspotTable[0].h, 319);
    SetViewportRect(0, false);
    EXPECT_EQ(HotspotTable[0].x, 0);
    EXPECT_EQ(HotspotTable[0].w, 640);
    EXPECT_EQ(HotspotTable[0].h, 480);
    SetViewportRect(-1, true);  // nothing outside the table
    SetViewportRect(HotspotCount, true);
    HotspotTable = saved;
}

TEST(MapView, PanResetFollowsAgain)
{
    MapPanning = 1;
    MapPanOffset = {30, -12};
    PanStart = {10, 5};
    ResetMapPan();
    EXPECT_EQ(MapPanning, 0);
    EXPECT_EQ(MapPanOffset.x, 0);
    EXPECT_EQ(MapPanOffset.y, 0);
    EXPECT_EQ(PanStart.x, 0);
}

TEST(MapView, MapCentreAccessorReadsTheView)
{
    MapCenter.latitude = -33.9;
    MapCenter.longitude = 151.2;
    double lat = 0, lon = 0;
    GetMapCenter(&lat, &lon);
    EXPECT_EQ(lat, -33.9);
    EXPECT_EQ(lon, 151.2);
}

TEST(MapView, AirportViewBackOnTheAirportStopsPanning)
{
    ASSERT_FALSE(LoadAirportDetails("")); // an earlier test's airport is let go
    SetAirportViewCenter(10, 20);
    EXPECT_EQ(AirportDiagramView.panning, 1);
    ResetAirportViewCenter();  // no airport loaded: its header's (empty) point
    EXPECT_EQ(AirportDiagramView.panning, 0);
    EXPECT_EQ(AirportDiagramView.latitude, 0);
}

}  // namespace
