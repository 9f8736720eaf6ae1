// What FlightGear itself sent and saved, through the parsers: the aircraft
// lines as it starts and as it flies a route, a callsign with a ";", the AI
// lines with places not yet filled and callsigns with a space and a ";", and
// the route manager's own file.
#include "simlink/flightgear_formats.h"
#include "tests/simlink/flightgear_recorded.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

FlightGearAircraftReport ParseLine(const char* line)
{
    FlightGearAircraftReport r{};
    EXPECT_EQ(ParseFlightGearAircraft(line, std::strlen(line), &r), LinkDrop::None) << line;
    return r;
}

TEST(FlightGearRecordedLines, StartingLineHasNoRouteAndNoButton)
{
    FlightGearAircraftReport r = ParseLine(FlightGearStartingLine);
    EXPECT_FLOAT_EQ(r.altitude, 3000.0f);
    EXPECT_FLOAT_EQ(r.longitude, -122.357216f);
    EXPECT_FLOAT_EQ(r.latitude, 37.613541f);
    EXPECT_FLOAT_EQ(r.trueHeading, 280.0f);
    EXPECT_EQ(r.waypointIndex, -1);  // no route: no waypoint
    EXPECT_EQ(r.weather, 1);         // FlightGear's own weather is on by default
    EXPECT_STREQ(r.callsign, "callsign");
    EXPECT_STREQ(r.aircraft, "c172p");
    EXPECT_STREQ(r.nearestAirport, "KSFO");
    EXPECT_EQ(r.firstButton, -1);
    EXPECT_TRUE(r.hasRoutePath);
    EXPECT_STREQ(r.routePath, "");
}

TEST(FlightGearRecordedLines, FlyingLineCarriesEveryValueInItsUnit)
{
    FlightGearAircraftReport r = ParseLine(FlightGearFlyingLine);
    EXPECT_FLOAT_EQ(r.altitude, 2233.2f);
    EXPECT_FLOAT_EQ(r.groundAltitude, -0.4f);
    EXPECT_FLOAT_EQ(r.longitude, 9.990781f);
    EXPECT_FLOAT_EQ(r.latitude, 53.616165f);
    EXPECT_FLOAT_EQ(r.heightAboveGround, 2234.0f);
    EXPECT_FLOAT_EQ(r.trueHeading, 14.95f);
    EXPECT_FLOAT_EQ(r.groundSpeed, 78.9f);
    EXPECT_FLOAT_EQ(r.windDirection, 300.0f);
    EXPECT_FLOAT_EQ(r.windSpeed, 10.0f);
    EXPECT_FLOAT_EQ(r.temperature, 10.6f);
    EXPECT_FLOAT_EQ(r.magneticVariation, 5.47f);
    EXPECT_FLOAT_EQ(r.verticalSpeed, -5.0f);
    EXPECT_FLOAT_EQ(r.pitch, -1.33f);
    EXPECT_FLOAT_EQ(r.bank, -30.65f);
    EXPECT_FLOAT_EQ(r.waypointDistance, 2287.0f);  // metres
    EXPECT_FLOAT_EQ(r.ete, 103969.0f);             // seconds
    EXPECT_EQ(r.waypointIndex, 0);
    EXPECT_STREQ(r.callsign, "FG-3181");
    EXPECT_STREQ(r.nearestAirport, "EDDH");
    EXPECT_STREQ(r.routePath, "/tmp/fghome/.fgfs/Export/tvl-route3.xml");
}

TEST(FlightGearRecordedLines, CallsignWithASemicolonKeepsTheFieldsAfterIt)
{
    FlightGearAircraftReport r = ParseLine(FlightGearSplitCallsignLine);
    EXPECT_STREQ(r.callsign, "D;EABC");
    EXPECT_STREQ(r.aircraft, "c172p");
    EXPECT_STREQ(r.nearestAirport, "EDDH");
    EXPECT_EQ(r.firstButton, -1);
    EXPECT_STREQ(r.routePath, "/tmp/fghome/.fgfs/Export/tvl-route3.xml");
}

TEST(FlightGearRecordedLines, StandingStillTheTimeToGoIsZero)
{
    FlightGearAircraftReport r = ParseLine(FlightGearStandingStillLine);
    EXPECT_FLOAT_EQ(r.latitude, 53.618259f);
    EXPECT_FLOAT_EQ(r.groundSpeed, 0.0f);
    EXPECT_FLOAT_EQ(r.waypointDistance, 2142.0f);
    EXPECT_FLOAT_EQ(r.ete, 0.0f);
    EXPECT_EQ(r.weather, 0);  // started without fetching real weather
    EXPECT_STREQ(r.aircraft, "ufo");
}

std::vector<FlightGearAiRecord> ParseAi(const char* text, int* announced)
{
    std::vector<FlightGearAiRecord> records(20);
    int stored = -1;
    EXPECT_EQ(ParseFlightGearAi(text, std::strlen(text), records.data(), 20, &stored, announced), LinkDrop::None);
    records.resize(stored > 0 ? stored : 0);
    return records;
}

TEST(FlightGearRecordedLines, AiAircraftNotYetPlacedAreLeftOut)
{
    int n = 0;
    EXPECT_TRUE(ParseAi(FlightGearAiStarting, &n).empty());
    EXPECT_EQ(n, 20);
}

TEST(FlightGearRecordedLines, AiCallsignsKeepTheirSpaceAndSemicolon)
{
    int n = 0;
    std::vector<FlightGearAiRecord> r = ParseAi(FlightGearAiThreeAircraft, &n);
    EXPECT_EQ(n, 20);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_STREQ(r[0].callsign, "DLH 4AB");
    EXPECT_DOUBLE_EQ(r[0].trueHeading, 270.1);
    EXPECT_DOUBLE_EQ(r[0].altitude, 4000.0);
    EXPECT_DOUBLE_EQ(r[0].latitude, 53.700279);
    EXPECT_DOUBLE_EQ(r[0].longitude, 9.727841);
    EXPECT_EQ(r[0].id, 4u);
    EXPECT_STREQ(r[1].callsign, "TVL12");
    EXPECT_EQ(r[1].id, 5u);
    EXPECT_STREQ(r[2].callsign, "AB;CD");
    EXPECT_DOUBLE_EQ(r[2].trueHeading, 180.2);
    EXPECT_DOUBLE_EQ(r[2].altitude, 6000.0);
    EXPECT_DOUBLE_EQ(r[2].latitude, 53.465652);
    EXPECT_EQ(r[2].id, 6u);
}

TEST(FlightGearRecordedLines, AiAircraftThatHaveGoneAreLeftOut)
{
    int n = 0;
    EXPECT_TRUE(ParseAi(FlightGearAiRemoved, &n).empty());
    EXPECT_EQ(n, 20);
}

bool Airports(const char* icao, float* latitude, float* longitude)
{
    if (std::strcmp(icao, "EDDH") == 0) {
        *latitude = 53.6304f;
        *longitude = 9.9883f;
        return true;
    }
    if (std::strcmp(icao, "EDDF") == 0) {
        *latitude = 50.0333f;
        *longitude = 8.5706f;
        return true;
    }
    return false;
}

TEST(FlightGearRecordedRoute, SavedRouteBecomesThePlanOnce)
{
    std::string text = FlightGearSavedRoute;
    FILE* f = fmemopen(text.data(), text.size(), "r");
    ASSERT_NE(f, nullptr);
    FlightPlanRecord plan{};
    EXPECT_EQ(ScanFlightGearRoute(f, Airports, &plan), LinkDrop::None);
    std::fclose(f);
    // The runway has no position of its own; the route's last point is the
    // destination airport, which is not repeated.
    const char* idents[] = {"EDDH", "HAM", "LBE", "BOGDA", "FFM", "EDDF"};
    ASSERT_EQ(plan.count, 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_STREQ(plan.waypoints[i].ident, idents[i]) << i;
    EXPECT_EQ(plan.waypoints[0].kind, 1);
    EXPECT_EQ(plan.waypoints[3].kind, 11);
    EXPECT_FLOAT_EQ(plan.waypoints[3].altitude, 7000.0f);
    EXPECT_EQ(plan.waypoints[5].kind, 1);
    EXPECT_FLOAT_EQ(plan.waypoints[5].lat, 50.0333f);  // the airport's own point
    EXPECT_EQ(plan.cruisingAltitude, 9000.0);         // the route's cruise, above its waypoints
    EXPECT_EQ(plan.present, 1);
}

}  // namespace
