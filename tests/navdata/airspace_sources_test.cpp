// The navigation-data helper's airspaces and airways: OpenAir positions,
// limits, circles and arcs, awy.dat rows, and a built folder read back by
// the map program's loaders.
#include "airspace_sources.h"

#include "navdata/airspaces.h"
#include "navdata/airways.h"
#include "navdata/simulators.h"
#include "tests/navdata/airspace_fixtures.h"
#include "tests/support/child_process.h"

#include <cmath>
#include <cstring>

namespace {

TEST(OpenAirPositions, DegreesMinutesAndSecondsWithTheirHemispheres)
{
    double lat = 0, lon = 0;
    ASSERT_TRUE(ParseOpenAirPosition("53:38:00 N 010:00:36 E", &lat, &lon));
    EXPECT_NEAR(lat, 53.633333, 1e-6);
    EXPECT_NEAR(lon, 10.01, 1e-9);
    ASSERT_TRUE(ParseOpenAirPosition("53:38.5N 10:0E", &lat, &lon));
    EXPECT_NEAR(lat, 53 + 38.5 / 60, 1e-9);
    ASSERT_TRUE(ParseOpenAirPosition("33:52:00 S 151:12:30 e", &lat, &lon));
    EXPECT_LT(lat, 0);
    EXPECT_GT(lon, 151);
    ASSERT_TRUE(ParseOpenAirPosition("10:00:00 N 080:30:00 W", &lat, &lon));
    EXPECT_DOUBLE_EQ(lon, -80.5);
    const char* bad[] = {"95:00:00 N 010:00:00 E", "53:61:00 N 010:00:00 E", "53:38:00 010:00:00 E",
                         "53:38:00 N 010:00:00", "53:38:00 N 190:00:00 E", "53:38:00 N 010:00:00 E junk",
                         "ab:38:00 N 010:00:00 E", ""};
    for (const char* text : bad)
        EXPECT_FALSE(ParseOpenAirPosition(text, &lat, &lon)) << text;
}

TEST(OpenAirPositions, LimitsBecomeOneShortText)
{
    EXPECT_EQ(OpenAirLimit("2500 ft MSL"), "2500FT MSL");
    EXPECT_EQ(OpenAirLimit("FL 65"), "FL65");
    EXPECT_EQ(OpenAirLimit("FL100"), "FL100");
    EXPECT_EQ(OpenAirLimit("SFC"), "GND");
    EXPECT_EQ(OpenAirLimit("1500 m"), "1500M");
    EXPECT_EQ(OpenAirLimit("3500ft AMSL"), "3500FT AMSL");
    EXPECT_EQ(OpenAirLimit("1000 ft AGL plus a long remark").size(), 11u);
    EXPECT_EQ(OpenAirLimit(""), "-");
}

double DistanceNm(double lat1, double lon1, double lat2, double lon2)
{
    double north = (lat2 - lat1) * 60, east = (lon2 - lon1) * 60 * std::cos(lat1 * 3.14159265358979 / 180);
    return std::hypot(north, east);
}

class OpenAirFileTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Settings.NavDatabase = 6;
        Settings.UseSimulator = SimulatorMsfs;
    }
    std::vector<AirspaceRecord> Read(const std::string& text)
    {
        root.WriteText("src/test.openair", text);
        std::vector<AirspaceRecord> out;
        counts = ReadCounts{};
        EXPECT_TRUE(ReadOpenAir(root.Path("src/test.openair").c_str(), &out, &counts));
        return out;
    }
    TempNavRoot root;
    ReadCounts counts;
};

TEST_F(OpenAirFileTest, PolygonsCirclesAndArcsBecomeClosedOutlines)
{
    std::vector<AirspaceRecord> list = Read(
        "* test\r\n"
        "AC D\r\nAN POLYGON\r\nAL GND\r\nAH 2500ft MSL\r\n"
        "DP 53:30:00 N 009:30:00 E\r\nDP 53:45:00 N 009:30:00 E\r\nDP 53:45:00 N 010:00:00 E\r\n"
        "AC CTR\r\nAN HAMBURG CTR\r\nAF 118.500\r\nAL GND\r\nAH 2500 ft\r\n"
        "V X=53:38:00 N 010:00:00 E\r\nDC 5\r\n"
        "AC Q\r\nAN DANGER ARC\r\nV X=53:00:00 N 010:00:00 E\r\nV D=-\r\n"
        "DP 53:10:00 N 010:00:00 E\r\nDA 10,0,270\r\n"
        "AC C\r\nAN ARC BETWEEN\r\nV X=53:00:00 N 010:00:00 E\r\n"
        "DB 53:10:00 N 010:00:00 E, 53:00:00 N 010:16:40 E\r\nDP 53:00:00 N 010:00:00 E\r\n");
    ASSERT_EQ(list.size(), 4u);
    const AirspaceRecord& polygon = list[0];
    EXPECT_STREQ(polygon.airspaceClass, "D");
    EXPECT_STREQ(polygon.upper, "2500FT MSL");
    ASSERT_EQ(polygon.points.size(), 4u);  // closed
    EXPECT_DOUBLE_EQ(polygon.points.back().lat, polygon.points.front().lat);
    EXPECT_DOUBLE_EQ(polygon.latMax, 53.75);
    EXPECT_DOUBLE_EQ(polygon.lonMin, 9.5);

    const AirspaceRecord& ctr = list[1];
    EXPECT_STREQ(ctr.airspaceClass, "CTR");
    EXPECT_EQ(ctr.frequency, 118500);
    ASSERT_GE(ctr.points.size(), 72u);
    for (const AirspacePoint& p : ctr.points)
        EXPECT_NEAR(DistanceNm(53 + 38 / 60.0, 10, p.lat, p.lon), 5.0, 0.01);

    const AirspaceRecord& danger = list[2];
    EXPECT_STREQ(danger.airspaceClass, "R");
    // Anticlockwise from north round by west to 270: a quarter of a circle.
    ASSERT_GE(danger.points.size(), 4u);
    EXPECT_NEAR(danger.points[1].lat, 53 + 10 / 60.0, 1e-6);
    const AirspacePoint& arcEnd = danger.points[danger.points.size() - 2];
    EXPECT_NEAR(arcEnd.lat, 53.0, 1e-6);
    EXPECT_LT(arcEnd.lon, 10.0);
    EXPECT_LT(danger.points.size(), 40u);  // not the long way round

    const AirspaceRecord& between = list[3];
    ASSERT_GE(between.points.size(), 3u);
    // Clockwise from north to east; the arc ends exactly where the file says.
    EXPECT_NEAR(between.points[between.points.size() - 3].lon, 10 + 16 / 60.0 + 40 / 3600.0, 1e-9);
    EXPECT_GT(between.lonMax, 10.2);
}

TEST_F(OpenAirFileTest, KindsTheMapDoesNotShowAndDamagedAirspacesAreCounted)
{
    std::vector<AirspaceRecord> list = Read(
        "AC TMZ\nAN TMZ\nDP 53:00:00 N 010:00:00 E\nDP 53:10:00 N 010:00:00 E\nDP 53:10:00 N 010:10:00 E\n"
        "AC D\nAN BAD POINT\nDP 53:00:00 N 010:00:00 E\nDP 93:10:00 N 010:00:00 E\nDP 53:10:00 N 010:10:00 E\n"
        "AC D\nAN CIRCLE WITHOUT CENTRE\nDC 5\n"
        "AC D\nAN TWO POINTS\nDP 53:00:00 N 010:00:00 E\nDP 53:10:00 N 010:00:00 E\n"
        "AC E\nAN \xC3\x9C" "BUNG\nDP 53:00:00 N 010:00:00 E\nDP 53:10:00 N 010:00:00 E\nDP 53:10:00 N 010:10:00 E\n");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_STREQ(list[0].name, "\xDC" "BUNG");  // UTF-8 into the code page
    EXPECT_EQ(counts.skipped, 4);
    EXPECT_EQ(counts.records, 1);
}

TEST_F(OpenAirFileTest, ArcsWithBearingsOffTheCircleAreDamaged)
{
    const char* corners = "DP 53:00:00 N 010:00:00 E\nDP 53:10:00 N 010:10:00 E\n";
    std::string text;
    for (const char* arc : {"10,1.7e308,0", "10,1.7e308,-1.7e308", "10,0,-1e300", "10,361,0"})
        text += std::string("AC D\nAN BAD ARC\nV X=53:00:00 N 010:00:00 E\nDA ") + arc + "\n" + corners;
    text += std::string("AC D\nAN ARC\nV X=53:00:00 N 010:00:00 E\nV D=-\nDA 10,360,-90\n") + corners;
    std::vector<AirspaceRecord> list = Read(text);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_STREQ(list[0].name, "ARC");
    EXPECT_EQ(counts.skipped, 4);
    for (const AirspacePoint& p : list[0].points)
        EXPECT_TRUE(std::fabs(p.lat - 53.0) < 0.2 && std::fabs(p.lon - 10.0) < 0.3);
}

TEST_F(OpenAirFileTest, AwyDatRowsSplitByHeightWithTheLevelsFirst)
{
    root.WriteText("src/awy.dat",
                   "I\n640 Version - test\n"
                   "RIBSO  53.807700  009.337500 TOPRA  53.833300  009.543900 1    50   195 T904-L980\n"
                   "TOPRA  53.833300  009.543900 LUGAX  53.908600  010.168600 2   245   460 UL980-UN850-UZ7\n"
                   "BAD    99.0 9.0 TOPRA 53.8 9.5 1 50 195 X1\n"
                   "ODD    53.0 9.0 TOPRA 53.8 9.5 3 50 195 X2\n"
                   "99\n");
    std::vector<AirwaySegment> high, low;
    ReadCounts c;
    std::string error;
    ASSERT_TRUE(ReadAwyDat(root.Path("src/awy.dat").c_str(), &high, &low, &c, &error));
    ASSERT_EQ(low.size(), 1u);
    ASSERT_EQ(high.size(), 1u);
    EXPECT_EQ(low[0].first, 50);
    EXPECT_EQ(low[0].second, 195);
    EXPECT_EQ(low[0].third, 1);
    EXPECT_STREQ(low[0].name, "T904-L980");
    EXPECT_STREQ(high[0].name, "UL980");  // cut at a whole name
    EXPECT_EQ(high[0].third, 2);
    EXPECT_EQ(c.skipped, 2);

    root.WriteText("src/earth_awy.dat", "I\n1100 Version - test\nABCDE ED 11 FGHIJ ED 11 N 1 100 240 L608\n99\n");
    EXPECT_FALSE(ReadAwyDat(root.Path("src/earth_awy.dat").c_str(), &high, &low, &c, &error));
    EXPECT_NE(error.find("format 1100"), std::string::npos) << error;
}

TEST_F(OpenAirFileTest, ABuiltFolderHoldsAirspacesAndAirwaysTheMapLoads)
{
    root.WriteText("src/apt.dat", "I\n1000 Version\n\n1 53 0 0 EDDH Hamburg\n"
                                  "100 46.00 1 0 0.25 1 2 1 05 53.62 9.96 0 0 3 0 1 0 23 53.63 10.00 0 0 3 0 1 0\n99\n");
    root.WriteText("src/nav.dat", "I\n810 Version\n3 53.6877 10.2052 46 11310 130 4.0 HAM HAMBURG VOR-DME\n99\n");
    root.WriteText("src/Airspaces/germany.openair",
                   "AC C\nAN HAMBURG C\nAL 1500ft MSL\nAH FL100\nV X=53:38:00 N 010:00:00 E\nDC 20\n"
                   "AC D\nAN SYDNEY\nV X=33:56:00 S 151:10:00 E\nDC 10\n");
    root.WriteText("src/awy.dat", "I\n640 Version\n"
                                  "RIBSO 53.8077 9.3375 LUGAX 53.9086 10.1686 1 50 195 T904\n"
                                  "TOPRA 53.8333 9.5439 LUGAX 53.9086 10.1686 2 245 460 UL980\n99\n");
    // Airway files of an earlier build of another degree go.
    root.WriteText("Navdata/MSFS/LowAltitude/awy_E40.txt", "OLD 1 40.1 OLDER 1 40.2 1 2 1 OLD\r\n");
    Child downloader;
    ASSERT_TRUE(downloader.Start({std::string(TVL_ROOT_DIR) + "/System/PlovikDownload", "--build", root.Path("src"),
                                  root.Path("Navdata"), "MSFS"},
                                 root.Path("downloader.out"), root.root()));
    ASSERT_EQ(downloader.Wait(60), 0);
    EXPECT_FALSE(std::filesystem::exists(root.Path("Navdata/MSFS/LowAltitude/awy_E40.txt")));

    char source[512], common[512];
    FormatAirspacePaths(source, common, sizeof source, 6);
    AirspaceText text;
    ASSERT_TRUE(OpenAirspaceFile(source, common, &text));
    EXPECT_TRUE(text.hasIndex);
    std::vector<AirspaceRecord> found;
    std::atomic<bool> stop{false};
    LoadAirspacesInView(text, UpdateViewDegrees(53.2, 54.0, 9.5, 10.5), "ABCDEFGR", &found, stop);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_STREQ(found[0].name, "HAMBURG C");
    EXPECT_STREQ(found[0].lower, "1500FT MSL");

    std::vector<AirwaySegment> segments;
    LoadAirwaysInView(GetAirwayFolders(2), UpdateViewDegrees(53, 54.5, 9.5, 10.5), &segments, stop);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_STREQ(segments[0].name, "T904");
    EXPECT_EQ(segments[0].second, 195);
    segments.clear();
    LoadAirwaysInView(GetAirwayFolders(1), UpdateViewDegrees(53, 54.5, 9.5, 10.5), &segments, stop);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_STREQ(segments[0].name, "UL980");
}

}  // namespace
