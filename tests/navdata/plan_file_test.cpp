// Flight-plan files: text and XML plans as their writers lay them out, the
// .pln writer, round trips, and files that must not be trusted.
#include "navdata/plan_file.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct TestWaypoint {
    std::string ident;
    std::string type;  // XML type text, or the text plan's letter
    double lat, lon, altitude;
};

// An angle as the simulator writes it into WorldPosition (UTF-8 degree sign).
std::string WorldAngle(double value, char positive, char negative)
{
    double a = std::fabs(value);
    int degrees = static_cast<int>(a);
    int minutes = static_cast<int>((a - degrees) * 60.0);
    double seconds = ((a - degrees) * 60.0 - minutes) * 60.0;
    char text[64];
    std::snprintf(text, sizeof text, "%c%d\xC2\xB0 %d' %.2f\"", value >= 0 ? positive : negative, degrees, minutes,
                  seconds);
    return text;
}

std::string WorldPosition(const TestWaypoint& w)
{
    char altitude[32];
    std::snprintf(altitude, sizeof altitude, "%+010.2f", w.altitude);
    return WorldAngle(w.lat, 'N', 'S') + "," + WorldAngle(w.lon, 'E', 'W') + "," + altitude;
}

// A plan in the simulator's layout: one element a line, blanks before each.
std::string XmlPlan(const std::vector<TestWaypoint>& waypoints, double cruise, const std::string& indent = "    ")
{
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<SimBase.Document Type=\"AceXML\" version=\"1,1\">\n";
    s += indent + "<Descr>AceXML Document</Descr>\n" + indent + "<FlightPlan.FlightPlan>\n";
    s += indent + indent + "<Title>Test</Title>\n";
    s += indent + indent + "<CruisingAlt>" + std::to_string(static_cast<long>(cruise)) + "</CruisingAlt>\n";
    for (const TestWaypoint& w : waypoints) {
        s += indent + indent + "<ATCWaypoint id=\"" + w.ident + "\">\n";
        s += indent + indent + indent + "<ATCWaypointType>" + w.type + "</ATCWaypointType>\n";
        s += indent + indent + indent + "<WorldPosition>" + WorldPosition(w) + "</WorldPosition>\n";
        s += indent + indent + indent + "<ICAO>\n";
        s += indent + indent + indent + indent + "<ICAORegion>ED</ICAORegion>\n";
        s += indent + indent + indent + indent + "<ICAOIdent>" + w.ident + "</ICAOIdent>\n";
        s += indent + indent + indent + "</ICAO>\n";
        s += indent + indent + "</ATCWaypoint>\n";
    }
    s += indent + "</FlightPlan.FlightPlan>\n</SimBase.Document>\n";
    return s;
}

// An angle of a text plan: "N49* 50.63'".
std::string TextAngle(double value, char positive, char negative)
{
    double a = std::fabs(value);
    int degrees = static_cast<int>(a);
    char text[48];
    std::snprintf(text, sizeof text, "%c%d* %.4f'", value >= 0 ? positive : negative, degrees, (a - degrees) * 60.0);
    return text;
}

// A text plan; dialect 2 carries "AppVersion=9" and the region fields.
std::string TextPlan(const std::vector<TestWaypoint>& waypoints, int dialect)
{
    std::string s = "[flightplan]\n";
    if (dialect == 2)
        s += "AppVersion=9.1.40901\n";
    s += "title=Test\ndescription=A test plan\ntype=IFR\n";
    for (size_t i = 0; i < waypoints.size(); ++i) {
        const TestWaypoint& w = waypoints[i];
        char altitude[32];
        std::snprintf(altitude, sizeof altitude, "%+010.2f", w.altitude);
        std::string position = TextAngle(w.lat, 'N', 'S') + ", " + TextAngle(w.lon, 'E', 'W') + ", " + altitude;
        if (dialect == 2)
            s += "waypoint." + std::to_string(i) + "=ED, " + w.ident + ", , " + w.ident + ", " + w.type + ", " +
                 position + ",\n";
        else
            s += "waypoint." + std::to_string(i) + "=" + w.ident + ", " + w.type + ", " + position + ",\n";
    }
    return s;
}

PlanReadOptions MapOptions()
{
    return PlanReadOptions{};
}

bool ReadImage(const std::string& image, FlightPlanRecord* plan, PlanReadResult* result,
               const PlanReadOptions& options = MapOptions())
{
    return ReadFlightPlanImage(image.data(), image.size(), plan, options, result);
}

FlightPlanRecord EmptyPlan()
{
    FlightPlanRecord plan;
    std::memset(&plan, 0, sizeof plan);
    return plan;
}

// A plan that a refused file must leave as it was.
FlightPlanRecord PreviousPlan()
{
    FlightPlanRecord plan = EmptyPlan();
    plan.present = 1;
    plan.count = 2;
    plan.cruisingAltitude = 7000;
    std::snprintf(plan.waypoints[0].ident, 8, "OLD0");
    std::snprintf(plan.waypoints[1].ident, 8, "OLD1");
    plan.waypoints[1].lat = 50.5f;
    return plan;
}

void ExpectUntouched(const FlightPlanRecord& plan)
{
    FlightPlanRecord previous = PreviousPlan();
    EXPECT_EQ(std::memcmp(&plan, &previous, sizeof plan), 0);
}

// The same waypoints; kinds compared by the type they stand for, so that
// plans of the two kind sets can be compared.
void ExpectSamePlan(const FlightPlanRecord& a, PlanKindSet kindsA, const FlightPlanRecord& b, PlanKindSet kindsB)
{
    ASSERT_EQ(a.count, b.count);
    EXPECT_EQ(a.cruisingAltitude, b.cruisingAltitude);
    for (int i = 0; i < a.count; ++i) {
        SCOPED_TRACE(i);
        const FlightPlanWaypoint& x = a.waypoints[i];
        const FlightPlanWaypoint& y = b.waypoints[i];
        EXPECT_EQ(std::string(x.ident, strnlen(x.ident, 8)), std::string(y.ident, strnlen(y.ident, 8)));
        EXPECT_EQ(x.lat, y.lat);
        EXPECT_EQ(x.lon, y.lon);
        EXPECT_EQ(x.altitude, y.altitude);
        EXPECT_STREQ(PlnWaypointType(x.kind, kindsA), PlnWaypointType(y.kind, kindsB));
    }
}

class PlanFiles : public ::testing::Test {
  protected:
    // Reads a file image, writes it as .pln, reads that back and checks that
    // the two records agree; then writes the second and checks the files
    // are the same bytes.
    void RoundTrip(const std::string& image, PlanKindSet kinds, int expectedCount)
    {
        FlightPlanRecord first = EmptyPlan();
        PlanReadResult result;
        ReadImage(image, &first, &result);
        ASSERT_FALSE(result.refused) << result.problem;
        ASSERT_EQ(first.count, expectedCount);
        char problem[128];
        std::string path = folder_ / "trip.pln";
        ASSERT_TRUE(WritePlnFile(path.c_str(), first, kinds, PlnRouteTexts{}, problem, sizeof problem)) << problem;
        FlightPlanRecord second = EmptyPlan();
        ReadFlightPlanFile(path.c_str(), &second, MapOptions(), &result);
        ASSERT_FALSE(result.refused) << result.problem;
        EXPECT_EQ(result.kind, PlanFileXml);
        ExpectSamePlan(first, kinds, second, PlanKindsXml);
        std::string again = folder_ / "again.pln";
        ASSERT_TRUE(WritePlnFile(again.c_str(), second, PlanKindsXml, PlnRouteTexts{}, problem, sizeof problem));
        std::string firstText = ReadFileText(path), secondText = ReadFileText(again);
        // Only the title (the file name) differs.
        size_t t1 = firstText.find("<Title>trip</Title>"), t2 = secondText.find("<Title>again</Title>");
        ASSERT_NE(t1, std::string::npos);
        ASSERT_NE(t2, std::string::npos);
        firstText.replace(t1, 19, "");
        secondText.replace(t2, 20, "");
        EXPECT_EQ(firstText, secondText);
    }

    TempFolder folder_;
};

const std::vector<TestWaypoint> kHamburgFrankfurt = {
    {"EDDH", "Airport", 53.630389, 9.988228, 53},
    {"HAM", "VOR", 53.685556, 10.205278, 6000},
    {"TABUM", "Intersection", 52.843611, 9.2755, 0},
    {"HLZ", "NDB", 52.366667, 9.616667, 12000},
    {"EDDF", "Airport", 50.033333, 8.570556, 364},
};

// ---- XML plans ----

TEST_F(PlanFiles, XmlPlanGivesIdentsKindsPositionsAndCruise)
{
    FlightPlanRecord plan = EmptyPlan();
    PlanReadResult result;
    ASSERT_TRUE(ReadImage(XmlPlan(kHamburgFrankfurt, 25000), &plan, &result));
    EXPECT_EQ(result.kind, PlanFileXml);
    EXPECT_EQ(plan.present, 1);
    ASSERT_EQ(plan.count, 5);
    EXPECT_STREQ(plan.waypoints[0].ident, "EDDH");
    EXPECT_EQ(plan.waypoints[0].kind, 1);
    EXPECT_EQ(plan.waypoints[1].kind, 4);
    EXPECT_EQ(plan.waypoints[2].kind, 5);
    EXPECT_EQ(plan.waypoints[3].kind, 2);
    EXPECT_NEAR(plan.waypoints[3].lat, 52.366667, 1e-5);
    EXPECT_NEAR(plan.waypoints[3].lon, 9.616667, 1e-5);
    EXPECT_EQ(plan.cruisingAltitude, 25000.0);
    // The zero altitude of an inner waypoint is flown at the cruise level;
    // the ends keep theirs.
    EXPECT_EQ(plan.waypoints[2].altitude, 25000.0f);
    EXPECT_EQ(plan.waypoints[0].altitude, 53.0f);
    EXPECT_EQ(plan.waypoints[4].altitude, 364.0f);
}

TEST_F(PlanFiles, XmlCruiseIsRaisedToTheHighestWaypoint)
{
    FlightPlanRecord plan = EmptyPlan();
    PlanReadResult result;
    ReadImage(XmlPlan(kHamburgFrankfurt, 5000), &plan, &result);
    EXPECT_EQ(plan.cruisingAltitude, 12000.0);
}

TEST_F(PlanFiles, XmlIdsOfEightAreCutAndLongerOnesArePoiUnlessAnIcaoIdentFollows)
{
    std::string s = "<?xml version=\"1.0\"?>\n<SimBase.Document><FlightPlan.FlightPlan>\n"
                    "<ATCWaypoint id=\"ABCDEFGH\"><WorldPosition>N1\xC2\xB0 0' 0\",E1\xC2\xB0 0' 0\",+0</WorldPosition></ATCWaypoint>\n"
                    "<ATCWaypoint id=\"ABCDEFGHI\"><WorldPosition>N1\xC2\xB0 0' 0\",E2\xC2\xB0 0' 0\",+0</WorldPosition></ATCWaypoint>\n"
                    "<ATCWaypoint id=\"Lake Constance view\"><ICAO><ICAOIdent>LAKEVIEWX</ICAOIdent></ICAO></ATCWaypoint>\n"
                    "</FlightPlan.FlightPlan></SimBase.Document>\n";
    FlightPlanRecord plan = EmptyPlan();
    PlanReadResult result;
    ASSERT_TRUE(ReadImage(s, &plan, &result));
    ASSERT_EQ(plan.count, 3);
    EXPECT_STREQ(plan.waypoints[0].ident, "ABCDEFG");
    EXPECT_STREQ(plan.waypoints[1].ident, "POI");
    EXPECT_STREQ(plan.waypoints[2].ident, "LAKEVIE");
}

TEST_F(PlanFiles, XmlWaypointWithoutTypeOrPositionKeepsWhatTheSlotHeld)
{
    std::string s = "<?xml version=\"1.0\"?>\n<SimBase.Document><FlightPlan.FlightPlan>\n"
                    "<ATCWaypoint id=\"A\"><ATCWaypointType>vor</ATCWaypointType></ATCWaypoint>\n"
                    "<ATCWaypoint id=\"B\"></ATCWaypoint>\n"
                    "</FlightPlan.FlightPlan></SimBase.Document>\n";
    FlightPlanRecord plan = EmptyPlan();
    plan.waypoints[0].lat = 47.5f;
    plan.waypoints[1].kind = 3;
    PlanReadResult result;
    ASSERT_TRUE(ReadImage(s, &plan, &result));
    EXPECT_EQ(plan.waypoints[0].kind, 4);  // type read case-blind
    EXPECT_EQ(plan.waypoints[0].lat, 47.5f);
    EXPECT_EQ(plan.waypoints[1].kind, 3);
}

bool FindTestFix(const char* ident, double* lat, double* lon)
{
    if (std::strcmp(ident, "TABUM") != 0)
        return false;
    *lat = 49.84383;
    *lon = 9.272;
    return true;
}

TEST_F(PlanFiles, XmlPositionAtZeroTakesTheFixOfItsIdent)
{
    std::vector<TestWaypoint> w = {{"EDDH", "Airport", 53.6, 10.0, 0},
                                   {"TABUM", "Intersection", 0, 0, 0},
                                   {"NOWHERE", "Intersection", 0, 0, 0},
                                   {"EDDF", "Airport", 50.0, 8.5, 0}};
    PlanReadOptions options;
    options.findFix = FindTestFix;
    FlightPlanRecord plan = EmptyPlan();
    PlanReadResult result;
    ASSERT_TRUE(ReadImage(XmlPlan(w, 9000), &plan, &result, options));
    EXPECT_NEAR(plan.waypoints[1].lat, 49.84383, 1e-5);
    EXPECT_NEAR(plan.waypoints[1].lon, 9.272, 1e-5);
    EXPECT_EQ(plan.waypoints[2].lat, 0.0f);
    EXPECT_EQ(plan.waypoints[2].lon, 0.0f);
}

TEST_F(PlanFiles, XmlLinesIndentedWithTabsReadLikeThoseWithBlanks)
{
    FlightPlanRecord blanks = EmptyPlan(), tabs = EmptyPlan();
    PlanReadResult result;
    ReadImage(XmlPlan(kHamburgFrankfurt, 25000, "    "), &blanks, &result);
    ReadImage(XmlPlan(kHamburgFrankfurt, 25000, "\t"), &tabs, &result);
    ExpectSamePlan(blanks, PlanKindsXml, tabs, PlanKindsXml);
    EXPECT_EQ(tabs.count, 5);
}

TEST_F(PlanFiles, XmlPlanOfMoreThan299WaypointsKeepsTheFirst299AndSaysSo)
{
    std::vector<TestWaypoint> w;
    for (int i = 0; i < 400; ++i)
        w.push_back({"W" + std::to_string(i), "User", 40.0 + i * 0.01, 5.0, 3000});
    FlightPlanRecord plan = EmptyPlan();
    PlanReadResult result;
    ASSERT_TRUE(ReadImage(XmlPlan(w, 3000), &plan, &result));
    EXPECT_EQ(plan.count, 299);
    EXPECT_STREQ(plan.waypoints[298].ident, "W298");
    EXPECT_TRUE(result.cut);
    EXPECT_NE(std::string(result.problem).find("299"), std::string::npos);
    EXPECT_EQ(plan.waypoints[299].ident[0], '\0');  // the spare slot is not written
}

TEST_F(PlanFiles, XmlWithBlanksBeforeTheDeclarationIsRead)
{
    // As plans were written before the declaration was put first.
    FlightPlanRecord plan = EmptyPlan();
    PlanReadResult result;
    EXPECT_TRUE(ReadImage("\t\t" + XmlPlan(kHamburgFrankfurt, 25000), &plan, &result)) << result.problem;
    EXPECT_EQ(plan.count, 5);
}

TEST_F(PlanFiles, CodePageBytesUnderAUtf8DeclarationAreReadAsLatin1)
{
    std::string s = XmlPlan(kHamburgFrankfurt, 25000);
    for (size_t at; (at = s.find("\xC2\xB0")) != std::string::npos;)
        s.replace(at, 2, "\xB0");
    FlightPlanRecord plan = EmptyPlan();
    PlanReadResult result;
    ASSERT_TRUE(ReadImage(s, &plan, &result)) << result.problem;
    EXPECT_NEAR(plan.waypoints[1].lat, 53.685556, 1e-5);
}

// Planners that write a raw '&' into names make files that are not XML.
std::string PlanWithRawAmpersands(const std::vector<TestWaypoint>& waypoints, double cruise)
{
    std::string s = XmlPlan(waypoints, cruise);
    s.replace(s.find("<Title>Test</Title>"), 19, "<Title>Hamburg & Frankfurt</Title>");
    s.replace(s.find("<Descr>"), 7, "<Descr>S&P ");
    return s;
}

TEST_F(PlanFiles, XmlPlanWithRawAmpersandsIsReadLineByLine)
{
    std::vector<TestWaypoint> w = kHamburgFrankfurt;
    w[2].ident = "T&B";  // an id and ICAO ident written as they stand
    w[3].ident = "H&amp;L";
    FlightPlanRecord plan = EmptyPlan();
    PlanReadResult result;
    ASSERT_TRUE(ReadImage(PlanWithRawAmpersands(w, 25000), &plan, &result)) << result.problem;
    EXPECT_FALSE(result.refused);
    EXPECT_EQ(result.kind, PlanFileXml);
    EXPECT_NE(std::string(result.problem).find("line by line"), std::string::npos);
    FlightPlanRecord wellFormed = EmptyPlan();
    ASSERT_TRUE(ReadImage(XmlPlan(kHamburgFrankfurt, 25000), &wellFormed, &result));
    std::snprintf(wellFormed.waypoints[2].ident, 8, "T&B");
    std::snprintf(wellFormed.waypoints[3].ident, 8, "H&L");
    ExpectSamePlan(wellFormed, PlanKindsXml, plan, PlanKindsXml);
    EXPECT_EQ(plan.present, 1);
    EXPECT_EQ(plan.waypoints[2].altitude, 25000.0f);  // inner zero altitude at the cruise

    // Blank-indented lines with code page bytes read the same.
    std::string latin = PlanWithRawAmpersands(kHamburgFrankfurt, 25000);
    for (size_t at; (at = latin.find("\xC2\xB0")) != std::string::npos;)
        latin.replace(at, 2, "\xB0");
    FlightPlanRecord fromLatin = EmptyPlan();
    ASSERT_TRUE(ReadImage(latin, &fromLatin, &result)) << result.problem;
    EXPECT_NEAR(fromLatin.waypoints[1].lat, 53.685556, 1e-5);
    EXPECT_NEAR(fromLatin.waypoints[1].lon, 10.205278, 1e-5);

    // The proxy takes its fixes the same way from such a file.
    std::vector<TestWaypoint> atZero = {{"EDDH", "Airport", 53.6, 10.0, 0}, {"TABUM", "Intersection", 0, 0, 0},
                                        {"EDDF", "Airport", 50.0, 8.5, 0}};
    PlanReadOptions proxy;
    proxy.findFix = FindTestFix;
    proxy.fillZeroAltitudes = false;
    FlightPlanRecord proxied = EmptyPlan();
    ASSERT_TRUE(ReadImage(PlanWithRawAmpersands(atZero, 9000), &proxied, &result, proxy));
    EXPECT_NEAR(proxied.waypoints[1].lat, 49.84383, 1e-5);
    EXPECT_EQ(proxied.waypoints[1].altitude, 0.0f);
}

TEST_F(PlanFiles, XmlPlanReadLineByLineKeepsItsRefusals)
{
    std::string plan = PlanWithRawAmpersands(kHamburgFrankfurt, 25000);
    std::string notNumber = plan;
    notNumber.replace(notNumber.find("N52"), 3, "Nxx");
    std::string nan = plan;
    nan.replace(nan.find("N52"), 3, "Nnan");
    std::string high = plan;
    high.replace(high.find("+012000.00"), 10, "+1e300");
    std::string outOfRange = plan;
    outOfRange.replace(outOfRange.find("N52"), 3, "N95");
    std::string bomb = plan;
    bomb.insert(bomb.find("<SimBase"), "<!DOCTYPE d [<!ENTITY lol \"lol\">]>\n");
    struct Case {
        const char* name;
        std::string image;
    } cases[] = {
        {"position not a number", notNumber},
        {"position NaN", nan},
        {"altitude beyond any flight", high},
        {"latitude out of range", outOfRange},
        {"entity declared", bomb},
        {"cut before the plan ends", plan.substr(0, plan.find("<ATCWaypoint id=\"HLZ\">"))},
        {"no plan element", "<?xml version=\"1.0\"?>\n<SimBase.Document>S&P</SimBase.Document>\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlightPlanRecord record = PreviousPlan();
        PlanReadResult result;
        EXPECT_FALSE(ReadImage(c.image, &record, &result));
        EXPECT_TRUE(result.refused);
        EXPECT_NE(result.problem[0], '\0');
        ExpectUntouched(record);
    }
    FlightPlanRecord cruise = EmptyPlan();
    PlanReadResult result;
    std::string noCruise = plan;
    noCruise.replace(noCruise.find("<CruisingAlt>25000<"), 19, "<CruisingAlt>high<");
    ASSERT_TRUE(ReadImage(noCruise, &cruise, &result)) << result.problem;
    EXPECT_EQ(cruise.cruisingAltitude, 12000.0);  // no number: raised by the waypoints only
}

TEST_F(PlanFiles, WorldPositionsOfEveryHemisphere)
{
    double lat, lon, alt;
    ASSERT_TRUE(ParseWorldPosition("N49\xB0 50' 37.80\",E9\xB0 16' 19.20\",+025000.00", &lat, &lon, &alt));
    EXPECT_NEAR(lat, 49 + 50 / 60.0 + 37.8 / 3600, 1e-12);
    EXPECT_NEAR(lon, 9 + 16 / 60.0 + 19.2 / 3600, 1e-12);
    EXPECT_EQ(alt, 25000.0);
    ASSERT_TRUE(ParseWorldPosition("S33\xB0 56' 46.00\",W151\xB0 10' 38.00\",-000021.00", &lat, &lon, &alt));
    EXPECT_LT(lat, 0);
    EXPECT_LT(lon, 0);
    EXPECT_EQ(alt, -21.0);
    EXPECT_FALSE(ParseWorldPosition("N91\xB0 0' 0\",E9\xB0 0' 0\",+0", &lat, &lon, &alt));
    EXPECT_FALSE(ParseWorldPosition("N45\xB0 0' 0\",E181\xB0 0' 0\",+0", &lat, &lon, &alt));
    EXPECT_FALSE(ParseWorldPosition("Nabc,Exyz,+0", &lat, &lon, &alt));
    EXPECT_FALSE(ParseWorldPosition("N45\xB0 0' 0\",Enan\xB0 0' 0\",+0", &lat, &lon, &alt));
    EXPECT_FALSE(ParseWorldPosition("N45\xB0 0' 0\"", &lat, &lon, &alt));
    EXPECT_FALSE(ParseWorldPosition("N45\xB0 0' 0\",E9\xB0 0' 0\",high", &lat, &lon, &alt));
}

// ---- text plans ----

TEST_F(PlanFiles, TextPlanDialectOneGivesKindsByLetter)
{
    std::vector<TestWaypoint> w = {{"EDDH", "A", 53.630389, 9.988228, 53},
                                   {"HAM", "V", 53.685556, 10.205278, 6000},
                                   {"TABUM", "I", 49.84383, 9.272, 25000},
                                   {"HLZ", "N", 52.366667, 9.616667, 12000},
                                   {"XYZ", "Q", 51.0, 9.0, 0},
                                   {"EDDF", "A", 50.033333, 8.570556, 364}};
    FlightPlanRecord plan = EmptyPlan();
    plan.waypoints[4].kind = 9;
    PlanReadResult result;
    ASSERT_TRUE(ReadImage(TextPlan(w, 1), &plan, &result));
    EXPECT_EQ(result.kind, PlanFileText);
    ASSERT_EQ(plan.count, 6);
    EXPECT_EQ(plan.waypoints[0].kind, 0);
    EXPECT_EQ(plan.waypoints[1].kind, 1);
    EXPECT_EQ(plan.waypoints[2].kind, 2);
    EXPECT_EQ(plan.waypoints[3].kind, 3);
    EXPECT_EQ(plan.waypoints[4].kind, 9);  // an unknown letter leaves the kind
    EXPECT_NEAR(plan.waypoints[2].lat, 49.84383, 1e-5);
    EXPECT_NEAR(plan.waypoints[2].lon, 9.272, 1e-5);
    // The highest altitude is the cruise; the inner one without fills in.
    EXPECT_EQ(plan.cruisingAltitude, 25000.0);
    EXPECT_EQ(plan.waypoints[4].altitude, 25000.0f);
    EXPECT_EQ(plan.waypoints[5].altitude, 364.0f);
}

TEST_F(PlanFiles, TextPlanDialectTwoReadsTheFifthPieceAlsoWithAnEmptyRegion)
{
    std::string s = "[flightplan]\nAppVersion=9.1.40901\n"
                    "waypoint.0=, EDDH, , EDDH, A, N53* 37.82', E9* 59.33', +000053.00,\n"
                    "waypoint.1=ED, TABUM, , TABUM, I, N49* 50.63', E9* 16.32', +025000.00,\n"
                    "waypoint.2=, EDDF, , EDDF, A, S50* 1.99', W8* 34.23', +000364.00,\n";
    FlightPlanRecord plan = EmptyPlan();
    PlanReadResult result;
    ASSERT_TRUE(ReadImage(s, &plan, &result)) << result.problem;
    ASSERT_EQ(plan.count, 3);
    EXPECT_STREQ(plan.waypoints[0].ident, "EDDH");
    EXPECT_EQ(plan.waypoints[0].kind, 0);
    EXPECT_STREQ(plan.waypoints[1].ident, "TABUM");
    EXPECT_EQ(plan.waypoints[1].kind, 2);
    EXPECT_NEAR(plan.waypoints[1].lat, 49 + 50.63 / 60, 1e-5);
    EXPECT_NEAR(plan.waypoints[1].lon, 9 + 16.32 / 60, 1e-5);
    EXPECT_EQ(plan.waypoints[1].altitude, 25000.0f);
    EXPECT_NEAR(plan.waypoints[2].lat, -(50 + 1.99 / 60), 1e-5);
    EXPECT_NEAR(plan.waypoints[2].lon, -(8 + 34.23 / 60), 1e-5);
}

TEST_F(PlanFiles, TextPlanOf150WaypointLinesLoads100AndSaysSo)
{
    std::vector<TestWaypoint> w;
    for (int i = 0; i < 150; ++i)
        w.push_back({"W" + std::to_string(i), "I", 40.0 + i * 0.01, 5.0, 3000});
    FlightPlanRecord plan = EmptyPlan();
    PlanReadResult result;
    ASSERT_TRUE(ReadImage(TextPlan(w, 1), &plan, &result));
    EXPECT_EQ(plan.count, 100);
    EXPECT_STREQ(plan.waypoints[99].ident, "W99");
    EXPECT_TRUE(result.cut);
}

TEST_F(PlanFiles, TextPlanIdentsAreCutToSevenAndLocalizerWaypointsLoseTheirPrefix)
{
    std::string s = "[flightplan]\n"
                    "waypoint.0=EDDHLONGNAME, A, N53* 37.82', E9* 59.33', +000053.00,\n"
                    "waypoint.1=IHHS, LOCWAY, N53* 30.00', E10* 0.00', +002000.00,\n"
                    "\n";
    FlightPlanRecord plan = EmptyPlan();
    PlanReadResult result;
    ASSERT_TRUE(ReadImage(s, &plan, &result));
    ASSERT_EQ(plan.count, 2);  // the empty last line is no waypoint
    EXPECT_STREQ(plan.waypoints[0].ident, "EDDHLON");
    EXPECT_STREQ(plan.waypoints[1].ident, "HS");
}

TEST_F(PlanFiles, IndentedTextLinesAreTakenAsUtf8)
{
    char line[64] = "  K\xC3\xB6ln \xC2\xB0";
    NormalizeLine(line);
    EXPECT_STREQ(line, "K\xF6ln \xB0");
    char flush[64] = "K\xC3\xB6ln";
    NormalizeLine(flush);
    EXPECT_STREQ(flush, "K\xC3\xB6ln");  // no blanks in front: left alone
}

TEST_F(PlanFiles, ProxyOptionsLeaveTextAltitudesAndCruiseAsTheRecordHeld)
{
    PlanReadOptions proxy;
    proxy.textAltitudes = false;
    proxy.fillZeroAltitudes = false;
    FlightPlanRecord plan = EmptyPlan();
    plan.cruisingAltitude = 1234;
    plan.waypoints[1].altitude = 777;
    std::vector<TestWaypoint> w = {{"EDDH", "A", 53.6, 10.0, 53}, {"HAM", "V", 53.7, 10.2, 6000}, {"EDDF", "A", 50, 8.5, 364}};
    PlanReadResult result;
    ASSERT_TRUE(ReadImage(TextPlan(w, 1), &plan, &result, proxy));
    EXPECT_EQ(plan.cruisingAltitude, 1234.0);
    EXPECT_EQ(plan.waypoints[1].altitude, 777.0f);
    EXPECT_EQ(plan.waypoints[0].altitude, 0.0f);
}

// ---- the writer ----

TEST_F(PlanFiles, WriterLaysOutTheAceXmlDocument)
{
    FlightPlanRecord plan = EmptyPlan();
    PlanReadResult result;
    ReadImage(XmlPlan(kHamburgFrankfurt, 25000), &plan, &result);
    PlnRouteTexts texts;
    texts.departureName = "Hamburg & Fuhlsb\xFCttel";
    char problem[128];
    std::string path = folder_ / "EDDH-EDDF";
    ASSERT_TRUE(WritePlnFile(path.c_str(), plan, PlanKindsXml, texts, problem, sizeof problem));
    std::string text = ReadFileText(path + ".pln");
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<SimBase.Document Type=\"AceXML\" version=\"4,5\">\n", 0), 0u);
    EXPECT_NE(text.find("        <Title>EDDH-EDDF</Title>\n"), std::string::npos);
    EXPECT_NE(text.find("        <CruisingAlt>25000</CruisingAlt>\n"), std::string::npos);
    EXPECT_NE(text.find("        <DepartureID>EDDH</DepartureID>\n"), std::string::npos);
    EXPECT_NE(text.find("        <DestinationLLA>N50\xC2\xB0 1' 59.998"), std::string::npos);
    EXPECT_NE(text.find("<DepartureName>Hamburg &amp; Fuhlsb\xC3\xBCttel</DepartureName>"), std::string::npos);
    EXPECT_NE(text.find("\t    <ATCWaypoint id=\"EDDH\">\n            <ATCWaypointType>Airport</ATCWaypointType>\n"),
              std::string::npos);
    EXPECT_NE(text.find("\t       <ATCWaypoint id=\"HAM\">\n            <ATCWaypointType>VOR</ATCWaypointType>\n"),
              std::string::npos);
    EXPECT_NE(text.find("<ATCWaypointType>NDB</ATCWaypointType>"), std::string::npos);
    EXPECT_NE(text.find(",+006000.00</WorldPosition>"), std::string::npos);  // altitudes are kept
    EXPECT_NE(text.find("                <ICAOIdent>TABUM</ICAOIdent>\n"), std::string::npos);
    const std::string end = "\t\t</FlightPlan.FlightPlan>\n</SimBase.Document>\n";
    EXPECT_EQ(text.substr(text.size() - end.size()), end);
    EXPECT_FALSE(std::filesystem::exists(path + ".pln.part"));
}

TEST_F(PlanFiles, WriterPutsSouthAndWestIntoTheLettersWithPositiveNumbers)
{
    FlightPlanRecord plan = EmptyPlan();
    plan.count = 2;
    plan.waypoints[0] = {1, -33.946111f, 151.177222f, 21, "YSSY"};
    plan.waypoints[1] = {1, -37.008056f, -12.5f, 0, "TDCN"};
    char problem[128];
    std::string path = folder_ / "south.pln";
    ASSERT_TRUE(WritePlnFile(path.c_str(), plan, PlanKindsXml, PlnRouteTexts{}, problem, sizeof problem));
    std::string text = ReadFileText(path);
    EXPECT_NE(text.find("<WorldPosition>S33\xC2\xB0 56' "), std::string::npos);
    EXPECT_NE(text.find("\",W12\xC2\xB0 30' 0.000000\""), std::string::npos);
    EXPECT_EQ(text.find("<Title>south</Title>") != std::string::npos, true);
    FlightPlanRecord back = EmptyPlan();
    PlanReadResult result;
    ReadFlightPlanFile(path.c_str(), &back, MapOptions(), &result);
    EXPECT_EQ(back.waypoints[0].lat, plan.waypoints[0].lat);
    EXPECT_EQ(back.waypoints[1].lon, plan.waypoints[1].lon);
}

TEST_F(PlanFiles, DmsSplitsTheMagnitude)
{
    DmsAngle a;
    DegreesToDms(-12.5125, &a);
    EXPECT_EQ(a.degrees, 12);
    EXPECT_EQ(a.minutes, 30);
    EXPECT_NEAR(a.seconds, 45.0, 1e-9);
}

TEST_F(PlanFiles, TextPlanKindsAreWrittenByTheirLetters)
{
    EXPECT_STREQ(PlnWaypointType(0, PlanKindsText), "Airport");
    EXPECT_STREQ(PlnWaypointType(1, PlanKindsText), "VOR");
    EXPECT_STREQ(PlnWaypointType(2, PlanKindsText), "Intersection");
    EXPECT_STREQ(PlnWaypointType(3, PlanKindsText), "NDB");
    EXPECT_STREQ(PlnWaypointType(1, PlanKindsXml), "Airport");
    EXPECT_STREQ(PlnWaypointType(2, PlanKindsXml), "NDB");
    EXPECT_STREQ(PlnWaypointType(4, PlanKindsXml), "VOR");
    EXPECT_STREQ(PlnWaypointType(5, PlanKindsXml), "Intersection");
}

TEST_F(PlanFiles, WriterRefusesAnEmptyPlanAndAnUnwritableFolder)
{
    FlightPlanRecord plan = EmptyPlan();
    char problem[128];
    std::string path = folder_ / "empty.pln";
    EXPECT_FALSE(WritePlnFile(path.c_str(), plan, PlanKindsXml, PlnRouteTexts{}, problem, sizeof problem));
    EXPECT_FALSE(std::filesystem::exists(path));
    plan.count = 2;
    std::string nowhere = folder_ / "missing/folder/plan.pln";
    EXPECT_FALSE(WritePlnFile(nowhere.c_str(), plan, PlanKindsXml, PlnRouteTexts{}, problem, sizeof problem));
    EXPECT_STREQ(problem, "cannot be written");
}

TEST_F(PlanFiles, WriterEscapesWhatXmlWouldTakeAsMarkup)
{
    FlightPlanRecord plan = EmptyPlan();
    plan.count = 3;
    plan.cruisingAltitude = 100;
    plan.waypoints[0] = {1, 50, 8, 0, "A<B"};
    plan.waypoints[1] = {5, 51, 8, 100, "X&\"Y'"};
    plan.waypoints[2] = {1, 52, 8, 0, "C>D"};
    char problem[128];
    std::string path = folder_ / "marks.pln";
    ASSERT_TRUE(WritePlnFile(path.c_str(), plan, PlanKindsXml, PlnRouteTexts{}, problem, sizeof problem));
    FlightPlanRecord back = EmptyPlan();
    PlanReadResult result;
    ReadFlightPlanFile(path.c_str(), &back, MapOptions(), &result);
    ASSERT_FALSE(result.refused) << result.problem;
    ExpectSamePlan(plan, PlanKindsXml, back, PlanKindsXml);
}

// ---- round trips ----

TEST_F(PlanFiles, XmlPlansComeBackAsTheyWereRead)
{
    RoundTrip(XmlPlan(kHamburgFrankfurt, 25000), PlanKindsXml, 5);
}

TEST_F(PlanFiles, PlansAcrossTheDateLineComeBack)
{
    std::vector<TestWaypoint> w = {{"NFFN", "Airport", -17.755, 177.443, 59},
                                   {"EAST", "Intersection", -16.5, 179.99, 30000},
                                   {"WEST", "VOR", -16.0, -179.99, 31000},
                                   {"NSFA", "Airport", -13.83, -172.008, 58}};
    RoundTrip(XmlPlan(w, 31000), PlanKindsXml, 4);
    std::vector<TestWaypoint> t = {{"NFFN", "A", -17.755, 177.443, 59},
                                   {"EAST", "I", -16.5, 179.99, 30000},
                                   {"WEST", "V", -16.0, -179.99, 31000},
                                   {"NSFA", "A", -13.83, -172.008, 58}};
    RoundTrip(TextPlan(t, 1), PlanKindsText, 4);
}

TEST_F(PlanFiles, PlansNearThePolesComeBack)
{
    std::vector<TestWaypoint> w = {{"ENSB", "Airport", 78.246, 15.466, 88},
                                   {"NPOLE", "Intersection", 89.99, 0.0, 35000},
                                   {"ACROSS", "NDB", 89.5, -135.25, 35000},
                                   {"SPOLE", "Intersection", -89.995, 139.27, 35000},
                                   {"NZSP", "Airport", -89.99, 139.27, 9300}};
    RoundTrip(XmlPlan(w, 35000), PlanKindsXml, 5);
    std::vector<TestWaypoint> t = {{"ENSB", "A", 78.246, 15.466, 88}, {"NPOLE", "I", 89.99, 0.0, 35000},
                                   {"NZSP", "A", -89.99, 139.27, 9300}};
    RoundTrip(TextPlan(t, 2), PlanKindsText, 3);
}

TEST_F(PlanFiles, PlanOfOneWaypointComesBackAsOne)
{
    std::vector<TestWaypoint> w = {{"EDDH", "Airport", 53.630389, 9.988228, 53}};
    RoundTrip(XmlPlan(w, 0), PlanKindsXml, 1);
    RoundTrip(TextPlan({{"EDDH", "A", 53.630389, 9.988228, 53}}, 1), PlanKindsText, 1);
}

TEST_F(PlanFiles, PlansOfTheMostWaypointsComeBack)
{
    std::vector<TestWaypoint> xml, text;
    for (int i = 0; i < XmlPlanMaxWaypoints; ++i) {
        bool end = i == 0 || i == XmlPlanMaxWaypoints - 1;
        xml.push_back({"P" + std::to_string(i), end ? "Airport" : (i % 3 ? "VOR" : "NDB"), 30.0 + i * 0.1,
                       -20.0 + i * 0.07, 1000.0 + i});
    }
    RoundTrip(XmlPlan(xml, 5000), PlanKindsXml, XmlPlanMaxWaypoints);
    for (int i = 0; i < TextPlanMaxWaypoints; ++i) {
        bool end = i == 0 || i == TextPlanMaxWaypoints - 1;
        text.push_back({"T" + std::to_string(i), end ? "A" : (i % 2 ? "V" : "N"), -40.0 + i * 0.2, 100.0 + i * 0.3,
                        2000.0 + 10 * i});
    }
    RoundTrip(TextPlan(text, 1), PlanKindsText, TextPlanMaxWaypoints);
}

// ---- files not to be trusted ----

TEST_F(PlanFiles, RefusedFilesLeaveThePreviousPlan)
{
    std::string plan = XmlPlan(kHamburgFrankfurt, 25000);
    std::string billion = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n"
                          "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n"
                          "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">\n"
                          "<!ENTITY lol4 \"&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;\">\n"
                          "<!ENTITY lol5 \"&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;\">\n"
                          "<!ENTITY lol6 \"&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;\">\n"
                          "<!ENTITY lol7 \"&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;\">\n"
                          "<!ENTITY lol8 \"&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;\">\n"
                          "<!ENTITY lol9 \"&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;\">\n"
                          "]>\n<SimBase.Document><FlightPlan.FlightPlan><Title>&lol9;</Title>"
                          "</FlightPlan.FlightPlan></SimBase.Document>\n";
    std::string external = "<?xml version=\"1.0\"?>\n<!DOCTYPE d [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n"
                           "<SimBase.Document><FlightPlan.FlightPlan><Title>&x;</Title>"
                           "</FlightPlan.FlightPlan></SimBase.Document>\n";
    std::string binary = "<?xml version=\"1.0\"?>\n";
    binary += std::string("\0\x01\x02\xFF\xFE", 5) + plan;
    std::string badLatitude = plan;
    badLatitude.replace(badLatitude.find("N52"), 3, "N95");
    std::string notNumber = TextPlan(
        {{"EDDH", "A", 53.6, 10.0, 53}, {"HAM", "V", 53.7, 10.2, 6000}, {"EDDF", "A", 50, 8.5, 364}}, 1);
    notNumber.replace(notNumber.find("N53"), 3, "Nxx");
    // Numbers that read but overflow the record's f32 altitude.
    std::string highText = TextPlan(
        {{"EDDH", "A", 53.6, 10.0, 53}, {"HAM", "V", 53.7, 10.2, 6000}, {"EDDF", "A", 50, 8.5, 364}}, 1);
    highText.replace(highText.find("+006000.00"), 10, "+1e300");
    std::string highXml = plan;
    highXml.replace(highXml.find("+012000.00"), 10, "-4e39");
    std::string nanXml = plan;
    nanXml.replace(nanXml.find("N52"), 3, "Nnan");
    struct Case {
        const char* name;
        std::string image;
    } cases[] = {
        {"truncated XML", plan.substr(0, plan.size() / 2)},
        {"XML bomb", billion},
        {"external entity", external},
        {"binary bytes", binary},
        {"latitude out of range", badLatitude},
        {"text position not a number", notNumber},
        {"text altitude beyond any flight", highText},
        {"XML altitude beyond any flight", highXml},
        {"XML latitude NaN", nanXml},
        {"text plan without waypoint lines", "[flightplan]\ntitle=Nothing\n"},
        {"XML without a plan element", "<?xml version=\"1.0\"?>\n<SimBase.Document/>\n"},
        {"XML of wrong nesting", "<?xml version=\"1.0\"?>\n<SimBase.Document><FlightPlan.FlightPlan></SimBase.Document>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlightPlanRecord record = PreviousPlan();
        PlanReadResult result;
        EXPECT_FALSE(ReadImage(c.image, &record, &result));
        EXPECT_TRUE(result.refused);
        EXPECT_NE(result.problem[0], '\0');
        ExpectUntouched(record);
    }
}

TEST_F(PlanFiles, CruisingAltitudeBeyondAnyFlightReadsAsNone)
{
    std::string image = XmlPlan({{"EDDH", "Airport", 53.6, 10.0, 0}, {"HAM", "VOR", 53.7, 10.2, 0},
                                 {"EDDF", "Airport", 50, 8.5, 0}},
                                1);
    image.replace(image.find("<CruisingAlt>1<"), 15, "<CruisingAlt>1e300<");
    FlightPlanRecord record = EmptyPlan();
    PlanReadResult result;
    ASSERT_TRUE(ReadImage(image, &record, &result)) << result.problem;
    EXPECT_EQ(record.cruisingAltitude, 0.0);
    EXPECT_EQ(record.waypoints[1].altitude, 0.0f);  // filled with that cruise, not an overflow
}

TEST_F(PlanFiles, FileOfNeitherFormatReadsNothingAndSaysSo)
{
    FlightPlanRecord record = PreviousPlan();
    PlanReadResult result;
    EXPECT_FALSE(ReadImage("Hello, this is no plan\nwaypoint.0=X, A, N1* 0', E1* 0', +0,\n", &record, &result));
    EXPECT_EQ(result.kind, PlanFileUnknown);
    EXPECT_NE(result.problem[0], '\0');
    ExpectUntouched(record);
}

TEST_F(PlanFiles, MissingAndOversizedFilesAreRefused)
{
    FlightPlanRecord record = PreviousPlan();
    PlanReadResult result;
    EXPECT_FALSE(ReadFlightPlanFile((folder_ / "none.pln").c_str(), &record, MapOptions(), &result));
    EXPECT_TRUE(result.refused);
    std::string big = folder_ / "big.pln";
    std::string image = XmlPlan(kHamburgFrankfurt, 25000);
    image.resize(PlanFileMaxBytes + 10, ' ');
    ASSERT_TRUE(WriteFileText(big, image));
    EXPECT_FALSE(ReadFlightPlanFile(big.c_str(), &record, MapOptions(), &result));
    EXPECT_TRUE(result.refused);
    ExpectUntouched(record);
}

TEST_F(PlanFiles, OverlongLinesAndIdentsNeverWritePastTheirFields)
{
    // A line longer than a plan line is read in pieces: its first piece is
    // no sound waypoint, so the plan is refused.
    std::string longIdent(5000, 'Q');
    std::string s = "[flightplan]\nwaypoint.0=" + longIdent + ", A, N53* 37.82', E9* 59.33', +000053.00,\n" +
                    "waypoint.1=EDDF, A, N50* 2.00', E8* 34.23', +000364.00,\n";
    FlightPlanRecord plan = PreviousPlan();
    PlanReadResult result;
    EXPECT_FALSE(ReadImage(s, &plan, &result));
    EXPECT_TRUE(result.refused);
    ExpectUntouched(plan);
    std::string fits = "[flightplan]\nwaypoint.0=" + longIdent.substr(0, 60) + ", A, N53* 37.82', E9* 59.33', +53,\n" +
                       std::string(3000, 'z') + "\nwaypoint.1=EDDF, A, N50* 2.00', E8* 34.23', +000364.00,\n";
    plan = EmptyPlan();
    ASSERT_TRUE(ReadImage(fits, &plan, &result)) << result.problem;
    EXPECT_STREQ(plan.waypoints[0].ident, "QQQQQQQ");
    std::string xml = XmlPlan({{longIdent, "Airport", 50, 8, 0}, {"B", std::string(4000, 'T'), 51, 8, 0}}, 100);
    FlightPlanRecord other = EmptyPlan();
    ASSERT_TRUE(ReadImage(xml, &other, &result));
    EXPECT_STREQ(other.waypoints[0].ident, "QQQQQQQ");  // the ICAO ident is cut to 7
    EXPECT_EQ(other.waypoints[1].kind, 5);
}

}  // namespace
