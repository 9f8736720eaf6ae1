// Airways: rows, the geometry of a segment, the order and names of the
// files a view reads, the folders by source and height, and the loader's
// hand-over.
#include "navdata/airways.h"

#include "app/settings.h"
#include "navdata/simulators.h"
#include "tests/navdata/airspace_fixtures.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace {

// ---- rows ----

TEST(AirwayRows, ARowGivesBothEndsTheNumbersAndTheName)
{
    AirwaySegment s;
    ASSERT_TRUE(ParseAirwayRow("RIBSO 53.807700 9.337500 TOPRA 53.833300 9.543900 50 245 1 T904-L980", &s));
    EXPECT_STREQ(s.startIdent, "RIBSO");
    EXPECT_DOUBLE_EQ(s.startLon, 9.3375);
    EXPECT_STREQ(s.endIdent, "TOPRA");
    EXPECT_DOUBLE_EQ(s.endLat, 53.8333);
    EXPECT_EQ(s.first, 50);
    EXPECT_EQ(s.second, 245);
    EXPECT_EQ(s.third, 1);
    EXPECT_STREQ(s.name, "T904-L980");
    // Idents beyond 6 characters and names beyond 10 are cut; the name is the rest of the row.
    ASSERT_TRUE(ParseAirwayRow("ABCDEFGH 1 2 XY 3 4 5 6 7 UL 607 AND MORE\r", &s));
    EXPECT_STREQ(s.startIdent, "ABCDEF");
    EXPECT_STREQ(s.name, "UL 607 AND");
}

TEST(AirwayRows, ShortCutOrOutOfRangeRowsAreRefused)
{
    AirwaySegment s;
    EXPECT_FALSE(ParseAirwayRow("99", &s));
    EXPECT_FALSE(ParseAirwayRow("", &s));
    EXPECT_FALSE(ParseAirwayRow("A 53 9 B 54 10 50 245 1", &s));          // no name
    EXPECT_FALSE(ParseAirwayRow("A 53 9 B 54 10 50 x 1 L1", &s));
    EXPECT_FALSE(ParseAirwayRow("A 93 9 B 54 10 50 245 1 L1", &s));       // latitude
    EXPECT_FALSE(ParseAirwayRow("A 53 9 B 54 -181 50 245 1 L1", &s));     // longitude
    EXPECT_FALSE(ParseAirwayRow("A nan 9 B 54 10 50 245 1 L1", &s));
}

// ---- geometry ----

TEST(AirwayGeometry, BearingIsTheLinesDirectionWithoutSense)
{
    const double pi = 3.14159265358979;
    EXPECT_NEAR(SegmentBearing(MakeSegment("A", 50, 10, "B", 51, 10)), 0.0, 1e-9);       // north
    EXPECT_NEAR(SegmentBearing(MakeSegment("A", 51, 10, "B", 50, 10)), pi, 1e-9);        // south: the same line
    EXPECT_NEAR(SegmentBearing(MakeSegment("A", 0, 10, "B", 0, 11)), pi / 2, 1e-9);      // east
    EXPECT_NEAR(SegmentBearing(MakeSegment("A", 0, 11, "B", 0, 10)), pi / 2, 1e-9);      // west
    EXPECT_NEAR(SegmentBearing(MakeSegment("A", 0, 0, "B", 1, 1)), pi / 4, 1e-3);        // north-east
    EXPECT_NEAR(SegmentBearing(MakeSegment("A", 1, 1, "B", 0, 0)), pi / 4, 1e-3);
    EXPECT_NEAR(SegmentBearing(MakeSegment("A", 0, 1, "B", 1, 0)), 3 * pi / 4, 1e-3);    // north-west
    EXPECT_EQ(SegmentBearing(MakeSegment("A", 5, 5, "B", 5, 5)), 0.0);                   // no length: not NaN
    // Across the antimeridian the short way: east.
    EXPECT_NEAR(SegmentBearing(MakeSegment("A", 0, 179.5, "B", 0, -179.5)), pi / 2, 1e-9);
}

TEST(AirwayGeometry, SegmentsMeetTheBoxByAnEndOrByCrossingIt)
{
    // Box 53..55 N, 9..11 E.
    auto hits = [](const AirwaySegment& s) { return SegmentHitsBox(53, 55, 9, 11, s); };
    EXPECT_TRUE(hits(MakeSegment("IN", 54, 10, "OUT", 60, 20)));
    EXPECT_TRUE(hits(MakeSegment("EDGE", 55, 11, "OUT", 60, 20)));  // on the corner
    EXPECT_TRUE(hits(MakeSegment("W", 54, 5, "E", 54, 15)));        // across, both ends outside
    EXPECT_TRUE(hits(MakeSegment("S", 50, 10, "N", 58, 10.5)));     // steeply across top and bottom
    EXPECT_TRUE(hits(MakeSegment("S", 50, 10, "N", 58, 10)));       // due north: no division by zero
    EXPECT_FALSE(hits(MakeSegment("S", 50, 12, "N", 58, 12)));
    EXPECT_FALSE(hits(MakeSegment("A", 50, 8, "B", 54, 15)));       // passes south-east of the corner
    EXPECT_FALSE(hits(MakeSegment("A", 56, 5, "B", 60, 15)));       // north of it
    // A view past the antimeridian and a segment across it.
    EXPECT_TRUE(SegmentHitsBox(-18, -16, 179, 182, MakeSegment("A", -17, 179.8, "B", -17, -179.2)));
    EXPECT_TRUE(SegmentHitsBox(-18, -16, 179, 182, MakeSegment("A", -17, -179.5, "B", -17, -178.5)));
    EXPECT_FALSE(SegmentHitsBox(-18, -16, 170, 175, MakeSegment("A", -17, 179.8, "B", -17, -179.2)));
}

// ---- files ----

TEST(AirwayFiles, AViewReadsItsDegreesFromTheMiddleOutwards)
{
    EXPECT_EQ(AirwayDegreeOrder(UpdateViewDegrees(53, 54, 8.3, 11.6)), (std::vector<int>{10, 11, 9, 8}));
    EXPECT_EQ(AirwayDegreeOrder(UpdateViewDegrees(53, 54, -0.5, 0.5)), (std::vector<int>{0, -1}));
    char name[32];
    FormatAirwayFileName(name, sizeof name, -1);
    EXPECT_STREQ(name, "awy_W1.txt");
    FormatAirwayFileName(name, sizeof name, 0);
    EXPECT_STREQ(name, "awy_E0.txt");
    EXPECT_EQ(WrapDegree(180), -180);
    EXPECT_EQ(WrapDegree(181), -179);
    EXPECT_EQ(WrapDegree(-181), 179);
    // A view wider than the world reads each degree once.
    EXPECT_EQ(AirwayDegreeOrder({0, 1, -300, 300}).size(), 360u);
}

TEST(AirwayFiles, ASegmentIsWrittenToEveryDegreeItCrosses)
{
    auto files = BuildAirwayFiles({MakeSegment("A", 53, 8.5, "B", 54, 10.2), MakeSegment("C", 0, 179.5, "D", 0, -179.5)});
    EXPECT_EQ(files.count(8), 1u);
    EXPECT_EQ(files.count(9), 1u);
    EXPECT_EQ(files.count(10), 1u);
    EXPECT_EQ(files.count(11), 0u);
    EXPECT_EQ(files.count(179), 1u);
    EXPECT_EQ(files.count(-180), 1u);
    AirwaySegment back;
    std::string row = files[9].substr(0, files[9].find("\r\n"));
    ASSERT_TRUE(ParseAirwayRow(row, &back));
    EXPECT_STREQ(back.name, "L980");
}

class AirwayLoadTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Settings.NavDatabase = 6;
        Settings.UseSimulator = SimulatorMsfs;
        Settings.NavAirways = 1;
    }
    void TearDown() override { ClearAirways(); }
    std::vector<AirwaySegment> Load(const WholeDegrees& view)
    {
        std::vector<AirwaySegment> out;
        std::atomic<bool> stop{false};
        EXPECT_TRUE(LoadAirwaysInView(GetAirwayFolders(Settings.NavAirways), view, &out, stop));
        return out;
    }
    TempNavRoot root;
};

TEST_F(AirwayLoadTest, FoldersFollowTheSourceAndTheHeight)
{
    AirwayFolders f = GetAirwayFolders(1);
    EXPECT_EQ(std::string(f.source), root.root() + "/Navdata/MSFS/HighAltitude");
    EXPECT_EQ(std::string(f.common), root.root() + "/Navdata/HighAltitude");
    f = GetAirwayFolders(2);
    EXPECT_EQ(std::string(f.source), root.root() + "/Navdata/MSFS/LowAltitude");
    f = GetAirwayFolders(3);
    EXPECT_STREQ(f.source, "");
    EXPECT_STREQ(f.common, "");
    Settings.NavDatabase = 3;
    EXPECT_EQ(std::string(GetAirwayFolders(1).source), root.root() + "/Navdata/FSX/HighAltitude");
    Settings.NavDatabase = 5;  // FlightGear has no folder of its own
    EXPECT_STREQ(GetAirwayFolders(1).source, "");

    char path[512];
    Settings.NavDatabase = 6;
    GetAirwayFilePath(path, 10, sizeof path);
    EXPECT_EQ(std::string(path), root.root() + "/Navdata/HighAltitude/awy_E10.txt");  // the common one when missing
    WriteAirways(root, "Navdata/MSFS/HighAltitude", {MakeSegment("A", 53, 10.1, "B", 53.5, 10.5)});
    GetAirwayFilePath(path, 10, sizeof path);
    EXPECT_EQ(std::string(path), root.root() + "/Navdata/MSFS/HighAltitude/awy_E10.txt");
    Settings.NavAirways = 0;
    GetAirwayFilePath(path, 10, sizeof path);
    EXPECT_STREQ(path, "");
}

TEST_F(AirwayLoadTest, KeepsWhatMeetsTheViewOnceAndSkipsMissingFilesAndBadRows)
{
    WriteAirways(root, "Navdata/MSFS/HighAltitude",
                 {MakeSegment("IN", 53.5, 9.5, "OUT", 53.5, 12.5, "UL1"),       // files 9..12
                  MakeSegment("FAR", 40.0, 10.0, "AWAY", 41.0, 10.5, "UL2"),
                  MakeSegment("ACR", 52.0, 8.5, "OSS", 56.0, 11.5, "UL3")});    // across, ends outside
    root.WriteText("Navdata/MSFS/HighAltitude/awy_E10.txt",
                   ReadFileText(root.Path("Navdata/MSFS/HighAltitude/awy_E10.txt")) + "short\r\nX 1 2 Y 3 4 x 5 6 Q\r\n");
    // The low airways live elsewhere and are not read.
    WriteAirways(root, "Navdata/MSFS/LowAltitude", {MakeSegment("LOW", 53.5, 9.5, "LOW2", 53.6, 9.6, "T1")});
    std::vector<AirwaySegment> found = Load({53, 55, 9, 11});
    ASSERT_EQ(found.size(), 2u);
    EXPECT_STREQ(found[0].name, "UL1");  // degree 10 first
    EXPECT_STREQ(found[1].name, "UL3");
    EXPECT_NEAR(found[0].course, 3.14159265 / 2, 1e-6);
    Settings.NavAirways = 2;
    found = Load({53, 55, 9, 11});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_STREQ(found[0].name, "T1");
    Settings.NavAirways = 3;
    EXPECT_TRUE(Load({53, 55, 9, 11}).empty());
}

TEST_F(AirwayLoadTest, TheSourcesFileOfADegreeStandsBeforeTheCommonOne)
{
    WriteAirways(root, "Navdata/HighAltitude", {MakeSegment("CA", 53.5, 10.1, "CB", 53.6, 10.2, "COMMON"),
                                               MakeSegment("CC", 53.5, 9.1, "CD", 53.6, 9.2, "COMMON9")});
    WriteAirways(root, "Navdata/MSFS/HighAltitude", {MakeSegment("SA", 53.5, 10.1, "SB", 53.6, 10.2, "SOURCE")});
    std::vector<AirwaySegment> found = Load({53, 55, 9, 11});
    ASSERT_EQ(found.size(), 2u);
    EXPECT_STREQ(found[0].name, "SOURCE");
    EXPECT_STREQ(found[1].name, "COMMON9");  // degree 9 only in the common folder
}

void WaitForLoader()
{
    for (int i = 0; i < 2000 && IsAirwayLoaderRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(IsAirwayLoaderRunning());
}

TEST_F(AirwayLoadTest, AnEmptyListIsHandedOverAndClearingAsksForAReload)
{
    UpdateAirways(52.5, 54.5, 10.5, 9.5);  // starts the load
    WaitForLoader();
    EXPECT_TRUE(UpdateAirways(52.5, 54.5, 10.5, 9.5));  // no files at all: ready, empty
    EXPECT_TRUE(TakeNewAirwayList());
    EXPECT_TRUE(GetDrawnAirways().empty());
    WriteAirways(root, "Navdata/MSFS/HighAltitude", {MakeSegment("A", 53.5, 9.7, "B", 53.6, 10.2)});
    UpdateAirways(52.5, 54.5, 10.5, 9.5);
    EXPECT_FALSE(IsAirwayLoaderRunning());  // same degrees
    ClearAirways();
    UpdateAirways(52.5, 54.5, 10.5, 9.5);
    WaitForLoader();
    EXPECT_TRUE(TakeNewAirwayList());
    ASSERT_EQ(GetDrawnAirways().size(), 1u);
    EXPECT_EQ(GetDrawnAirwayView(), (WholeDegrees{52, 55, 9, 11}));
}

}  // namespace
