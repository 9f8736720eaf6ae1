// FlightGear's text formats: the aircraft and AI datagrams field by field,
// what makes one unusable, the time datagram, and the route file scanner.
#include "simlink/flightgear_formats.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// An aircraft line of the 55 fields: the numbers 1..19, three texts, 32
// buttons and the route path (left out when routePath is null).
std::string AircraftLine(std::vector<std::string> numbers, const std::string& callsign,
                         const std::string& aircraft, const std::string& airport, int pressed = -1,
                         const char* routePath = "")
{
    std::string line;
    for (const std::string& n : numbers)
        line += n + ";";
    line += callsign + ";" + aircraft + ";" + airport;
    for (int i = 0; i < 32; ++i)
        line += i == pressed ? ";1" : ";0";
    if (routePath)
        line += std::string(";") + routePath;
    return line + "\n";
}

std::vector<std::string> Numbers()
{
    return {"3500.5", "12.25", "10.0125", "53.6301", "3480", "271.5", "120", "250", "15", "-4.5",
            "2.5",    "-8.25", "3.5",     "-12",     "4200", "1800",  "2",   "1",   "7"};
}

FlightGearAircraftReport Parse(const std::string& line, LinkDrop expected = LinkDrop::None)
{
    FlightGearAircraftReport r{};
    EXPECT_EQ(ParseFlightGearAircraft(line.data(), line.size(), &r), expected) << line;
    return r;
}

TEST(FlightGearAircraftDatagram, EveryFieldLandsInItsPlace)
{
    FlightGearAircraftReport r =
        Parse(AircraftLine(Numbers(), "D-EABC", "c172p", "EDDH", -1, "/home/pilot/route.xml"));
    EXPECT_EQ(r.altitude, 3500.5f);
    EXPECT_EQ(r.groundAltitude, 12.25f);
    EXPECT_EQ(r.longitude, 10.0125f);
    EXPECT_EQ(r.latitude, 53.6301f);
    EXPECT_EQ(r.heightAboveGround, 3480.0f);
    EXPECT_EQ(r.trueHeading, 271.5f);
    EXPECT_EQ(r.groundSpeed, 120.0f);
    EXPECT_EQ(r.temperature, -4.5f);
    EXPECT_EQ(r.verticalSpeed, -8.25f);
    EXPECT_EQ(r.bank, -12.0f);
    EXPECT_EQ(r.ete, 1800.0f);
    EXPECT_EQ(r.waypointIndex, 2);
    EXPECT_EQ(r.weather, 1);
    EXPECT_EQ(r.spare, 7);
    EXPECT_STREQ(r.callsign, "D-EABC");
    EXPECT_STREQ(r.aircraft, "c172p");
    EXPECT_STREQ(r.nearestAirport, "EDDH");
    EXPECT_EQ(r.firstButton, -1);
    EXPECT_TRUE(r.hasRoutePath);
    EXPECT_STREQ(r.routePath, "/home/pilot/route.xml");
}

TEST(FlightGearAircraftDatagram, AnEmptyTextDoesNotMoveTheFieldsAfterIt)
{
    FlightGearAircraftReport r = Parse(AircraftLine(Numbers(), "", "", "", 0, "/r.xml"));
    EXPECT_STREQ(r.callsign, "");
    EXPECT_STREQ(r.nearestAirport, "");
    EXPECT_EQ(r.firstButton, 0);
    EXPECT_STREQ(r.routePath, "/r.xml");
}

TEST(FlightGearAircraftDatagram, OnlyTheFirstPressedButtonCounts)
{
    std::string line = AircraftLine(Numbers(), "A", "B", "C", 3, "/x.xml");
    size_t at = line.find(";0;0;0;1;");  // buttons 0..3
    ASSERT_NE(at, std::string::npos);
    line.replace(line.rfind(";0;/x.xml"), 3, ";1;");  // button 31 too
    FlightGearAircraftReport r = Parse(line);
    EXPECT_EQ(r.firstButton, 3);
    EXPECT_STREQ(r.routePath, "/x.xml");
}

TEST(FlightGearAircraftDatagram, RoutePathRunsToTheLineEndAndMayBeMissing)
{
    FlightGearAircraftReport r = Parse(AircraftLine(Numbers(), "A", "B", "C", -1, "/a;b/route.xml\r"));
    EXPECT_STREQ(r.routePath, "/a;b/route.xml");
    r = Parse(AircraftLine(Numbers(), "A", "B", "C", -1, nullptr));
    EXPECT_FALSE(r.hasRoutePath);
    r = Parse(AircraftLine(Numbers(), "A", "B", "C", -1, ""));
    EXPECT_TRUE(r.hasRoutePath);
    EXPECT_STREQ(r.routePath, "");
}

// A protocol definition of 20 fields: the numbers 1..19 and the callsign.
std::string TwentyFields(const std::string& callsign)
{
    std::string line;
    for (const std::string& n : Numbers())
        line += n + ";";
    return line + callsign + "\n";
}

TEST(FlightGearAircraftDatagram, AShorterLineKeepsWhatItDoesNotCarry)
{
    FlightGearAircraftReport r = Parse(AircraftLine(Numbers(), "D-EABC", "c172p", "EDDH", 4, "/r.xml"));
    std::vector<std::string> numbers = Numbers();
    numbers[3] = "47.25";
    std::string line;
    for (const std::string& n : numbers)
        line += n + ";";
    line += "D-EXYZ\n";
    ASSERT_EQ(ParseFlightGearAircraft(line.data(), line.size(), &r), LinkDrop::None) << line;
    EXPECT_EQ(r.fieldsArrived, 20);
    EXPECT_EQ(r.latitude, 47.25f);
    EXPECT_EQ(r.spare, 7);
    EXPECT_STREQ(r.callsign, "D-EXYZ");
    EXPECT_STREQ(r.aircraft, "c172p");        // kept
    EXPECT_STREQ(r.nearestAirport, "EDDH");   // kept
    EXPECT_EQ(r.firstButton, -1);             // no buttons came: none pressed
    EXPECT_FALSE(r.hasRoutePath);

    // Down to the position; the rest keeps its value.
    ASSERT_EQ(ParseFlightGearAircraft("9000;11;8.5;50.5", 16, &r), LinkDrop::None);
    EXPECT_EQ(r.fieldsArrived, 4);
    EXPECT_EQ(r.altitude, 9000.0f);
    EXPECT_EQ(r.latitude, 50.5f);
    EXPECT_EQ(r.heightAboveGround, 3480.0f);
    EXPECT_STREQ(r.callsign, "D-EXYZ");

    // Some of the buttons: the first pressed one among them counts.
    std::string partial = TwentyFields("A");
    partial.pop_back();
    partial += ";B;C;0;0;1;0\n";
    ASSERT_EQ(ParseFlightGearAircraft(partial.data(), partial.size(), &r), LinkDrop::None);
    EXPECT_EQ(r.fieldsArrived, 26);
    EXPECT_EQ(r.firstButton, 2);
    EXPECT_STREQ(r.nearestAirport, "C");
}

TEST(FlightGearAircraftDatagram, LinesWithoutAPositionOrWithABadNumberAreDroppedWhole)
{
    FlightGearAircraftReport r = Parse(TwentyFields("KEEP"));
    FlightGearAircraftReport before = r;
    for (std::string bad : {std::string(""), std::string("3500;12;10.0"), std::string("3500;12;x;53.6"),
                            std::string("3500;12;10.0;53.6;high"), TwentyFields("A").replace(0, 6, "nan?")}) {
        LinkDrop drop = ParseFlightGearAircraft(bad.data(), bad.size(), &r);
        EXPECT_NE(drop, LinkDrop::None) << bad;
        EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0) << bad;
    }
    std::string partial = TwentyFields("A");
    partial.pop_back();
    Parse(partial + ";B;C;0;x;0\n", LinkDrop::NotANumber);  // a button that is no number
}

TEST(FlightGearAircraftDatagram, FieldsThatAreNotFiniteNumbersDropTheLine)
{
    for (const char* bad : {"", "abc", "12abc", "nan", "inf", "1e999", "--1"}) {
        std::vector<std::string> numbers = Numbers();
        numbers[3] = bad;
        Parse(AircraftLine(numbers, "A", "B", "C"), LinkDrop::NotANumber);
    }
    std::vector<std::string> numbers = Numbers();
    numbers[16] = "3000000000";  // an index past any integer
    Parse(AircraftLine(numbers, "A", "B", "C"), LinkDrop::NotANumber);
    std::string line = AircraftLine(Numbers(), "A", "B", "C");
    line.replace(line.find(";0;"), 3, ";x;");  // a button
    Parse(line, LinkDrop::NotANumber);
}

TEST(FlightGearAircraftDatagram, ValuesFlightGearCouldNotWorkOutReadAsZero)
{
    for (const char* missing : {"inf", "-inf", "nan", "-nan", "INF", " nan "}) {
        std::vector<std::string> numbers = Numbers();
        numbers[0] = missing;   // altitude
        numbers[14] = missing;  // waypoint distance
        numbers[15] = missing;  // time to go
        FlightGearAircraftReport r = Parse(AircraftLine(numbers, "A", "B", "C"));
        EXPECT_EQ(r.altitude, 0.0f) << missing;
        EXPECT_EQ(r.waypointDistance, 0.0f) << missing;
        EXPECT_EQ(r.ete, 0.0f) << missing;
        EXPECT_EQ(r.latitude, 53.6301f) << missing;
    }
    for (const char* bad : {"infinity", "nanx", "in"}) {
        std::vector<std::string> numbers = Numbers();
        numbers[15] = bad;
        Parse(AircraftLine(numbers, "A", "B", "C"), LinkDrop::NotANumber);
    }
    std::vector<std::string> numbers = Numbers();
    numbers[2] = "nan";  // the longitude is needed
    Parse(AircraftLine(numbers, "A", "B", "C"), LinkDrop::NotANumber);
}

TEST(FlightGearAircraftDatagram, NumbersMayHaveSpacesAndSigns)
{
    std::vector<std::string> numbers = Numbers();
    numbers[0] = " +3500.5 ";
    numbers[2] = "1.00125e1";
    FlightGearAircraftReport r = Parse(AircraftLine(numbers, "A", "B", "C"));
    EXPECT_EQ(r.altitude, 3500.5f);
    EXPECT_EQ(r.longitude, 10.0125f);
}

TEST(FlightGearAircraftDatagram, TextsAreCutToTheirFieldsAndKeptOnOneLine)
{
    std::string longName(80, 'x');
    FlightGearAircraftReport r = Parse(AircraftLine(Numbers(), "CALLSIGN-TOO-LONG-FOR-IT", longName, "ABCDEFGHIJKLMN"));
    EXPECT_EQ(std::strlen(r.callsign), 19u);
    EXPECT_EQ(std::strlen(r.aircraft), 49u);
    EXPECT_STREQ(r.nearestAirport, "ABCDEFGHIJK");
    r = Parse(AircraftLine(Numbers(), "D\x01" "EF", "c\tx", "ED\x7f" "H"));
    EXPECT_STREQ(r.callsign, "D EF");
    EXPECT_STREQ(r.aircraft, "c x");
    EXPECT_STREQ(r.nearestAirport, "ED H");
}

TEST(FlightGearAircraftDatagram, TheTextEndsAtItsLengthOrAtANul)
{
    std::string line = AircraftLine(Numbers(), "A", "B", "C", -1, "/route.xml");
    FlightGearAircraftReport r{};
    EXPECT_EQ(ParseFlightGearAircraft(line.data(), line.size() - 5, &r), LinkDrop::None);
    EXPECT_STREQ(r.routePath, "/route");
    line[10] = '\0';  // "3500.5;12."
    EXPECT_EQ(ParseFlightGearAircraft(line.data(), line.size(), &r), LinkDrop::TooFewFields);
}

TEST(FlightGearAircraftDatagram, CallsignsWithSemicolonsTakeTheirPieces)
{
    FlightGearAircraftReport r = Parse(AircraftLine(Numbers(), "A;B;C", "c172p", "EDDH", 2, "/r;1.xml"));
    EXPECT_STREQ(r.callsign, "A;B;C");
    EXPECT_STREQ(r.aircraft, "c172p");
    EXPECT_STREQ(r.nearestAirport, "EDDH");
    EXPECT_EQ(r.firstButton, 2);
    EXPECT_STREQ(r.routePath, "/r;1.xml");
    // A callsign of digits in pieces: the buttons are still the last 32 integers.
    r = Parse(AircraftLine(Numbers(), "1;2", "c172p", "EDDH", -1, ""));
    EXPECT_STREQ(r.callsign, "1;2");
    EXPECT_EQ(r.firstButton, -1);
    // Past eight extra pieces, or with a button that is no number, the line is broken.
    Parse(AircraftLine(Numbers(), "a;b;c;d;e;f;g;h;i;j", "c172p", "EDDH"), LinkDrop::NotANumber);
    std::string line = AircraftLine(Numbers(), "A", "B", "C", -1, "");
    line.replace(line.rfind(";0;"), 3, ";x;");
    Parse(line, LinkDrop::NotANumber);
}

std::vector<FlightGearAiRecord> ParseAi(const std::string& text, LinkDrop expected, int* announced = nullptr)
{
    std::vector<FlightGearAiRecord> records(400);
    int stored = -1, n = -1;
    EXPECT_EQ(ParseFlightGearAi(text.data(), text.size(), records.data(), 400, &stored, &n), expected) << text;
    records.resize(stored > 0 ? stored : 0);
    if (announced)
        *announced = n;
    return records;
}

TEST(FlightGearAiDatagram, RecordsOfSevenFields)
{
    int n = 0;
    auto records = ParseAi("2;DLH123;90.5;3500;53.5;10.1;17;1;KLM9;270;12000;52.1;4.5;18;1\n", LinkDrop::None, &n);
    EXPECT_EQ(n, 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_STREQ(records[0].callsign, "DLH123");
    EXPECT_EQ(records[0].trueHeading, 90.5);
    EXPECT_EQ(records[0].altitude, 3500.0);
    EXPECT_EQ(records[0].latitude, 53.5);
    EXPECT_EQ(records[0].longitude, 10.1);
    EXPECT_EQ(records[1].id, 18u);
}

TEST(FlightGearAiDatagram, EmptyPlacesOfTheListAreLeftOut)
{
    auto records = ParseAi("3;;0;0;0;0;0;0;AB1;10;1000;50;8;5;1;;0;0;0;0;0;0", LinkDrop::None);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_STREQ(records[0].callsign, "AB1");
}

TEST(FlightGearAiDatagram, TheSeventhFieldIsReadByNoOne)
{
    // A protocol of the user's may send anything there, 0 included.
    auto records = ParseAi("3;ZERO;90;3000;53.5;10.0;6;0;ONE;90;3000;53.6;10.1;7;1;TEXT;90;3000;53.7;10.2;8;x",
                           LinkDrop::None);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_STREQ(records[0].callsign, "ZERO");
    EXPECT_STREQ(records[2].callsign, "TEXT");
}

TEST(FlightGearAiDatagram, PlacesOfAircraftThatHaveGoneAreLeftOut)
{
    // FlightGear goes on sending such a place with id -1 at its last position.
    auto records = ParseAi("2;GONE;90;3000;53.5;10.0;-1;1;HERE;90;3000;53.6;10.1;7;1", LinkDrop::None);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_STREQ(records[0].callsign, "HERE");
}

TEST(FlightGearAiDatagram, ZeroCarriesNothing)
{
    int n = -1;
    EXPECT_TRUE(ParseAi("0", LinkDrop::None, &n).empty());
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(ParseAi("-5;x", LinkDrop::None, &n).empty());
}

// A protocol may send the number of aircraft FlightGear knows and fewer
// places: the whole records of the text are read, one it ends in is not.
TEST(FlightGearAiDatagram, ACountPastTheRecordsOfTheTextKeepsTheWholeOnes)
{
    int n = 0;
    auto records = ParseAi("2;A;1;2;3;4;5;6", LinkDrop::None, &n);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_STREQ(records[0].callsign, "A");
    EXPECT_EQ(n, 2);
    records = ParseAi("2;A;1;2;3;4;5;6;B;1;2;3;4;5", LinkDrop::None);  // no seventh field for B
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].id, 5u);
    records = ParseAi("1000000;A;1;2;3;4;5;6;B;1", LinkDrop::None);
    ASSERT_EQ(records.size(), 1u);
    // A callsign in pieces still takes them.
    records = ParseAi("25;A;B;1;2;3;4;5;6;C;9;2;3.5;4;7;6;D;1;2", LinkDrop::None);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_STREQ(records[0].callsign, "A;B");
    EXPECT_STREQ(records[1].callsign, "C");
    EXPECT_EQ(records[1].latitude, 3.5);
}

TEST(FlightGearAiDatagram, NumbersThatAreNoNumbersDropTheDatagram)
{
    ParseAi("1;A;1;x;3;4;5;6", LinkDrop::NotANumber);
    ParseAi("1;A;1;2;3;4;nan;6", LinkDrop::NotANumber);
    ParseAi("x", LinkDrop::NotANumber);
    ParseAi("", LinkDrop::NotANumber);
}

TEST(FlightGearAiDatagram, CallsignsWithSemicolonsKeepTheRecordsAfterThem)
{
    // "AB;12" would read as a heading of 12 and a latitude of 6000.
    auto records = ParseAi("4;AB;12;180;6000;53.4;9.9;6;1;X;Y;Z;90;3000;52;8;7;1;KLM1;10;900;51;7;8;1;;0;0;0;0;0;0\n",
                           LinkDrop::None);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_STREQ(records[0].callsign, "AB;12");
    EXPECT_EQ(records[0].altitude, 6000.0);
    EXPECT_EQ(records[0].latitude, 53.4);
    EXPECT_STREQ(records[1].callsign, "X;Y;Z");
    EXPECT_EQ(records[1].id, 7u);
    EXPECT_STREQ(records[2].callsign, "KLM1");
    EXPECT_EQ(records[2].longitude, 7.0);
}

TEST(FlightGearAiDatagram, HeadingOrAltitudeNotWorkedOutReadsAsZeroButAPositionMustBeThere)
{
    auto records = ParseAi("1;A;nan;-inf;53.5;10.0;5;1", LinkDrop::None);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].trueHeading, 0.0);
    EXPECT_EQ(records[0].altitude, 0.0);
    ParseAi("1;A;90;3000;nan;10.0;5;1", LinkDrop::NotANumber);
}

TEST(FlightGearAiDatagram, APositionOffTheEarthDropsTheDatagram)
{
    ParseAi("1;A;1;2;91;4;5;6", LinkDrop::OffTheEarth);
    ParseAi("1;A;1;2;3;-180.5;5;6", LinkDrop::OffTheEarth);
}

TEST(FlightGearAiDatagram, NoMoreRecordsThanTheCallerHasRoomFor)
{
    std::string text = "3";
    for (int i = 1; i <= 3; ++i)
        text += ";A;1;2;3;4;" + std::to_string(i) + ";x";
    std::vector<FlightGearAiRecord> records(2);
    int stored = 0, n = 0;
    EXPECT_EQ(ParseFlightGearAi(text.data(), text.size(), records.data(), 2, &stored, &n), LinkDrop::None);
    EXPECT_EQ(stored, 2);
    EXPECT_EQ(n, 3);
}

TEST(FlightGearTime, UtcTimeWithANewlineAndNoNul)
{
    char text[32];
    // 31 December 2021, 23:50:07 UTC.
    size_t n = FormatFlightGearTime(1640994607, text, sizeof(text));
    EXPECT_EQ(std::string(text, n), "2021-12-31T23:50:07\n");
}

// --- Route files -------------------------------------------------------------

bool KnownAirports(const char* icao, float* latitude, float* longitude)
{
    if (std::strcmp(icao, "EDDH") == 0) {
        *latitude = 53.63f;
        *longitude = 9.99f;
        return true;
    }
    if (std::strcmp(icao, "EDDF") == 0) {
        *latitude = 50.03f;
        *longitude = 8.57f;
        return true;
    }
    return false;
}

std::string Waypoint(const char* ident, const char* lat, const char* lon, const char* altitude)
{
    std::string wp = "    <wp n=\"0\">\n      <type type=\"string\">navaid</type>\n";
    if (ident)
        wp += std::string("      <ident type=\"string\">") + ident + "</ident>\n";
    if (lon)
        wp += std::string("      <lon type=\"double\">") + lon + "</lon>\n";
    if (lat)
        wp += std::string("      <lat type=\"double\">") + lat + "</lat>\n";
    if (altitude)
        wp += std::string("      <altitude-ft type=\"double\">") + altitude + "</altitude-ft>\n";
    return wp + "    </wp>\n";
}

std::string RouteFile(const char* departure, const char* destination, const std::string& waypoints)
{
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PropertyList>\n  <version type=\"int\">2</version>\n") +
           "  <departure>\n    <airport type=\"string\">" + departure +
           "</airport>\n    <runway type=\"string\">23</runway>\n  </departure>\n" +
           "  <destination>\n    <airport type=\"string\">" + destination + "</airport>\n  </destination>\n" +
           "  <route>\n" + waypoints + "  </route>\n</PropertyList>\n";
}

LinkDrop Scan(const std::string& text, FlightPlanRecord* plan)
{
    FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    EXPECT_NE(f, nullptr);
    LinkDrop result = ScanFlightGearRoute(f, KnownAirports, plan);
    std::fclose(f);
    return result;
}

TEST(FlightGearRouteFile, DepartureWaypointsAndDestination)
{
    FlightPlanRecord plan{};
    std::string wps = Waypoint("HAM", "53.68", "10.20", "3000") + Waypoint("NIE", "52.63", "9.37", "9000") +
                      Waypoint("FFM", "50.05", "8.63", "4000");
    ASSERT_EQ(Scan(RouteFile("EDDH", "EDDF", wps), &plan), LinkDrop::None);
    EXPECT_EQ(plan.present, 1);
    ASSERT_EQ(plan.count, 5);
    EXPECT_EQ(plan.simActiveIndex, 0);
    EXPECT_STREQ(plan.waypoints[0].ident, "EDDH");
    EXPECT_EQ(plan.waypoints[0].kind, 1);
    EXPECT_EQ(plan.waypoints[0].lat, 53.63f);
    EXPECT_STREQ(plan.waypoints[2].ident, "NIE");
    EXPECT_EQ(plan.waypoints[2].kind, 11);
    EXPECT_EQ(plan.waypoints[2].lat, 52.63f);
    EXPECT_EQ(plan.waypoints[2].lon, 9.37f);
    EXPECT_STREQ(plan.waypoints[4].ident, "EDDF");
    EXPECT_EQ(plan.waypoints[4].kind, 1);
    EXPECT_EQ(plan.waypoints[4].lon, 8.57f);
    EXPECT_EQ(plan.cruisingAltitude, 9000.0);  // the highest waypoint
}

TEST(FlightGearRouteFile, UnknownDepartureIsSkipped)
{
    FlightPlanRecord plan{};
    ASSERT_EQ(Scan(RouteFile("XXXX", "EDDF", Waypoint("HAM", "53.68", "10.20", "3000")), &plan), LinkDrop::None);
    ASSERT_EQ(plan.count, 2);
    EXPECT_STREQ(plan.waypoints[0].ident, "HAM");
}

TEST(FlightGearRouteFile, WaypointsWithoutAPositionAreLeftOut)
{
    FlightPlanRecord plan{};
    std::string wps = Waypoint("NOLAT", nullptr, "10.2", "1000") + Waypoint("ZERO", "0", "0", "1000") +
                      Waypoint("NANLAT", "nan", "10.2", "1000") + Waypoint("OK", "53.0", "10.0", nullptr) +
                      Waypoint(nullptr, "52.0", "9.0", nullptr);
    ASSERT_EQ(Scan(RouteFile("EDDH", "EDDF", wps), &plan), LinkDrop::None);
    ASSERT_EQ(plan.count, 4);
    EXPECT_STREQ(plan.waypoints[1].ident, "OK");
    EXPECT_EQ(plan.waypoints[1].altitude, 0.0f);
    EXPECT_STREQ(plan.waypoints[2].ident, "");  // nothing lent by the entries before
}

TEST(FlightGearRouteFile, UnknownDestinationLeavesCountAndPresence)
{
    FlightPlanRecord plan{};
    plan.count = 7;
    EXPECT_EQ(Scan(RouteFile("EDDH", "ZZZZ", Waypoint("HAM", "53.68", "10.20", "3000")), &plan),
              LinkDrop::UnknownDestination);
    EXPECT_EQ(plan.count, 7);
    EXPECT_EQ(plan.present, 0);
}

TEST(FlightGearRouteFile, AFileThatEndsInsideTheRouteIsIncomplete)
{
    std::string whole = RouteFile("EDDH", "EDDF", Waypoint("HAM", "53.68", "10.20", "3000"));
    for (const char* cutAt : {"</route>", "</wp>", "</departure>", "</destination>"}) {
        FlightPlanRecord plan{};
        EXPECT_EQ(Scan(whole.substr(0, whole.find(cutAt)), &plan), LinkDrop::Incomplete) << cutAt;
        EXPECT_EQ(plan.present, 0);
    }
    FlightPlanRecord plan{};
    EXPECT_EQ(Scan("", &plan), LinkDrop::Incomplete);
}

TEST(FlightGearRouteFile, IdentsAndLongRoutesAreHeldToTheTable)
{
    std::string wps;
    for (int i = 0; i < 400; ++i)
        wps += Waypoint("LONGIDENT", "53.0", "10.0", "1000");
    FlightPlanRecord plan{};
    ASSERT_EQ(Scan(RouteFile("EDDH", "EDDF", wps), &plan), LinkDrop::None);
    EXPECT_EQ(plan.count, FlightPlanMaxWaypoints);
    EXPECT_STREQ(plan.waypoints[1].ident, "LONGIDE");
    EXPECT_STREQ(plan.waypoints[FlightPlanMaxWaypoints - 1].ident, "EDDF");
}

TEST(FlightGearRouteFile, CruiseBlockSetsTheCruisingAltitude)
{
    std::string text = RouteFile("EDDH", "EDDF", Waypoint("HAM", "53.68", "10.20", "3000"));
    std::string feet = text, level = text;
    feet.insert(feet.find("  <route>"), "  <cruise>\n    <altitude-ft type=\"int\">11000</altitude-ft>\n  </cruise>\n");
    level.insert(level.find("  <route>"), "  <cruise>\n    <flight-level type=\"int\">85</flight-level>\n  </cruise>\n");
    FlightPlanRecord plan{};
    ASSERT_EQ(Scan(feet, &plan), LinkDrop::None);
    EXPECT_EQ(plan.cruisingAltitude, 11000.0);
    ASSERT_EQ(Scan(level, &plan), LinkDrop::None);
    EXPECT_EQ(plan.cruisingAltitude, 8500.0);
    ASSERT_EQ(Scan(text, &plan), LinkDrop::None);
    EXPECT_EQ(plan.cruisingAltitude, 3000.0);  // without the block, the highest waypoint
    std::string open = text;
    open.insert(open.find("  <route>"), "  <cruise>\n");
    EXPECT_EQ(Scan(open, &plan), LinkDrop::Incomplete);
}

TEST(FlightGearRouteFile, AirportsListedAgainInTheRouteAreNotRepeated)
{
    std::string wps = Waypoint("EDDH", "53.63", "9.99", nullptr) + Waypoint("HAM", "53.68", "10.20", nullptr) +
                      Waypoint("EDDF", "50.03", "8.54", nullptr);
    FlightPlanRecord plan{};
    ASSERT_EQ(Scan(RouteFile("EDDH", "EDDF", wps), &plan), LinkDrop::None);
    ASSERT_EQ(plan.count, 3);
    EXPECT_STREQ(plan.waypoints[0].ident, "EDDH");
    EXPECT_EQ(plan.waypoints[0].kind, 1);
    EXPECT_STREQ(plan.waypoints[1].ident, "HAM");
    EXPECT_STREQ(plan.waypoints[2].ident, "EDDF");
    EXPECT_EQ(plan.waypoints[2].kind, 1);
    EXPECT_EQ(plan.waypoints[2].lon, 8.57f);  // the airport's point, not the route's
    // A circuit keeps its start and its end.
    ASSERT_EQ(Scan(RouteFile("EDDH", "EDDH", ""), &plan), LinkDrop::None);
    EXPECT_EQ(plan.count, 2);
}

}  // namespace
