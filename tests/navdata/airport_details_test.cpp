// Airport details from a zipped entry, com.txt and taxi.txt: what each row
// leaves, and rows that announce more than they hold.
#include "navdata/airport_details.h"

#include "navdata/nav_tables.h"
#include "navdata/nearest_airports.h"
#include "nav_fixtures.h"
#include "navdata/simulators.h"

#include <cmath>
#include <string>

namespace {

const char* const HamburgHeader = "1 53 EDDH 3.5 53.630389 9.988228 HAM Hamburg Hamburg_Airport Germany\n";

// Runway 05/23 from (53.6219, 9.9727) to (53.6400, 10.0100), 45 m wide.
std::string Runway(const char* end1, const char* end2, double length, int surface, const char* ils = "IHS")
{
    char row[400];
    std::snprintf(row, sizeof(row),
                  "100 %.1f 45.0 %d %s 110.5 53.6218 9.9729 53.6220 9.9725 53.6401 10.0098 53.6399 10.0102 "
                  "0.00005 0.0001 53.6309 9.9913 %s 0.9 0.0 %s 4.04 -\n",
                  length, surface, ils, end1, end2);
    return row;
}

class AirportDetails : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Settings.NavDatabase = 6;
        Settings.UseSimulator = SimulatorMsfs;
        Settings.MetricAltitude = 0;
    }
    void TearDown() override { FreeNavdata(); }
    void WriteArchive(const std::string& hamburg, const std::string& folder = "MSFS")
    {
        root.WriteZip("Navdata/" + folder + "/Default/E.zip",
                      {{"E/EDDH.txt", hamburg}, {"E/EDHL.txt", "1 53 EDHL 3.0 53.8 10.7 LBC Luebeck Luebeck Germany\n"}});
    }
    std::string StandardEntry()
    {
        return std::string(HamburgHeader) + Runway("05", "23", 3250.0, 1) + Runway("15", "33", 3666.0, 2, "-") +
               "102 30.0 1 H1 1.2 53.62 9.98 53.62 9.981 53.621 9.981 53.621 9.98\n"
               "110 0 3 0 0.0 0.0 FFFF00 Taxiway_A\n53.62 9.98\n53.621 9.98\n53.622 9.981\n"
               "110 2 2 0 0.0 0.0 1.0 Apron one north\n53.63 9.99\n53.631 9.99\n"
               "190 1\n53.6301 9.9881\n"
               "150 2\n53.625 9.985 270.0 36.0 FF00FF 12 Gate_A\n53.626 9.986 90.0 24.0 FF00FF 13 Stand\n"
               "54 11870 TWR\n"
               "20 ignored row\n";
    }
    TempNavRoot root;
};

TEST_F(AirportDetails, LoadsTheZippedEntry)
{
    WriteArchive(StandardEntry());
    root.WriteText("Navdata/MSFS/com.txt", "1 EDD\n54 999999 WRONG\n3 EDDH\n54 118700 Tower\n53 121800 Ground\n"
                                           "50 123125 ATIS_Info\n");
    root.WriteText("Navdata/taxi.txt", "EDDF N1 x 1 50.0 8.5\nEDDH A x 2 53.62 9.98 53.63 9.99\nEDDH B1 x 1 53.64 10.0\n"
                                       "EDHL C x 1 53.8 10.7\nEDDH Z x 1 1.0 1.0\n");
    ASSERT_TRUE(LoadAirportDetails("EDDH"));
    const AirportDetail& d = GetAirportDetail();
    EXPECT_EQ(d.header.elevation, 53);
    EXPECT_DOUBLE_EQ(d.header.magVar, 3.5);
    EXPECT_STREQ(d.header.names[2], "Hamburg Airport");
    EXPECT_STREQ(d.header.names[3], "Germany");
    ASSERT_EQ(d.runways.size(), 2u);
    EXPECT_STREQ(d.runways[0].designator1, "15");  // larger surface code first
    EXPECT_STREQ(d.runways[1].designator2, "23");
    EXPECT_DOUBLE_EQ(d.runways[1].heading2, 4.04);
    EXPECT_STREQ(d.runways[1].ilsIdent2, "-");
    EXPECT_DOUBLE_EQ(d.longestRunway, 3666.0);
    ASSERT_EQ(d.helipads.size(), 1u);
    EXPECT_STREQ(d.helipads[0].designator1, "H1");
    ASSERT_EQ(d.pavements.size(), 2u);
    EXPECT_EQ(d.pavements[0].colour, 0xFFFF00u);
    EXPECT_EQ(d.pavements[0].points.size(), 3u);
    EXPECT_STREQ(d.pavements[1].name, "Apron one north");
    EXPECT_EQ(d.boundary.size(), 1u);
    ASSERT_EQ(GetParkingCount(), 2);
    EXPECT_STREQ(d.parking[0].name, "Gate A");
    EXPECT_EQ(d.parking[1].number, 13);
    EXPECT_EQ(d.comRowCount, 1);
    ASSERT_EQ(d.coms.size(), 3u);
    EXPECT_EQ(d.coms[0].frequency, 118700);
    EXPECT_STREQ(d.coms[2].name, "ATIS Info");
    EXPECT_EQ(d.comTypeCounts[4], 1);
    EXPECT_EQ(d.comTypeCountMax, 1);
    ASSERT_EQ(d.taxiNames.size(), 2u);  // the airport's own block only
    EXPECT_STREQ(d.taxiNames[0].name, "A");
    EXPECT_EQ(d.taxiNames[0].pointCount, 2);
    EXPECT_TRUE(IsAirportDetailLoaded());
    EXPECT_TRUE(AreAirportDetailsReady());
}

TEST_F(AirportDetails, NextAirportRowEndsTheDetails)
{
    WriteArchive(std::string(HamburgHeader) + Runway("05", "23", 3250.0, 1) +
                 "1 20 EDHI 3.0 53.5 9.8 XFW Hamburg Finkenwerder Germany\n" + Runway("01", "19", 9000.0, 1) +
                 "16 0 EDHX 0 53 9 - - - -\n");
    ASSERT_TRUE(LoadAirportDetails("EDDH"));
    EXPECT_EQ(GetAirportDetail().runways.size(), 1u);
    EXPECT_DOUBLE_EQ(GetAirportDetail().longestRunway, 3250.0);
}

TEST_F(AirportDetails, CountsBeyondTheRoomKeepWhatFitsAndConsumeTheirLines)
{
    std::string entry = HamburgHeader;
    for (int i = 0; i < 25; ++i)
        entry += Runway("05", "23", 1000.0 + i, 1);
    entry += "140 9\n";
    for (int i = 0; i < 9; ++i)
        entry += "53.6 9.9\n";
    entry += "150 1200\n";
    for (int i = 0; i < 1200; ++i)
        entry += "53.62 9.98 0 20 FF 1 P\n";
    entry += "190 12\n";
    for (int i = 0; i < 12; ++i)
        entry += "54.0 9.0\n";
    entry += "102 30.0 1 H9 0 1 1 1 1 1 1 1 1\n";
    WriteArchive(entry);
    ASSERT_TRUE(LoadAirportDetails("EDDH"));
    const AirportDetail& d = GetAirportDetail();
    EXPECT_EQ(d.runways.size(), 20u);
    EXPECT_DOUBLE_EQ(d.longestRunway, 1024.0);  // every runway counts for the longest
    ASSERT_EQ(d.features140.size(), 1u);
    EXPECT_EQ(d.features140[0].pointCount, 6);
    EXPECT_EQ(d.parking.size(), 1000u);
    EXPECT_EQ(d.boundary.size(), 10u);
    // The helipad row after all those lines is still read as a row.
    ASSERT_EQ(d.helipads.size(), 1u);
    EXPECT_STREQ(d.helipads[0].designator1, "H9");
}

TEST_F(AirportDetails, RowsAnnouncingMoreLinesThanTheEntryHoldsEndQuietly)
{
    WriteArchive(std::string(HamburgHeader) + "110 0 2000000000 0 0 0 FF Taxi\n53.6 9.9\n" +
                 "150 99999\n53.62 9.98 0 20 FF 1 P\n");
    ASSERT_TRUE(LoadAirportDetails("EDDH"));
    ASSERT_EQ(GetAirportDetail().pavements.size(), 1u);
    // The lines that follow were taken as its points, numbers or not.
    EXPECT_EQ(GetAirportDetail().pavements[0].pointCount, 3);
    EXPECT_EQ(GetParkingCount(), 0);
}

TEST_F(AirportDetails, LongNamesAreCutToTheirFields)
{
    std::string longWord(300, 'N');
    WriteArchive("1 53 EDDHEDDHEDDH 0 53.6 9.9 " + longWord + " b c d\n1 53 EDDH 0 53.6 9.9 " + longWord +
                 " b c d\n150 1\n1 2 3 4 FF 5 " + longWord + "\n");
    ASSERT_TRUE(LoadAirportDetails("EDDH"));
    const AirportDetail& d = GetAirportDetail();
    // The entry reader cuts lines at 210 characters; the name field at 63.
    EXPECT_EQ(std::strlen(d.header.names[0]), 63u);
    EXPECT_STREQ(d.header.names[1], "");
    EXPECT_EQ(std::strlen(d.parking[0].name), 19u);
}

TEST_F(AirportDetails, NearestStandsForTheFirstNearestAirport)
{
    root.WriteTable<AirportRecord>("Navdata/MSFS/apt.bin",
                                   {MakeAirport("EDHL", 53.8, 10.7), MakeAirport("EDDH", 53.63, 9.99)});
    LoadAirports();
    FindNearestAirportsAround(53.6, 10.0, 9.0, 11.0);
    ASSERT_STREQ(GetNearestAirportIcao(0), "EDDH");
    WriteArchive(StandardEntry());
    ASSERT_TRUE(LoadAirportDetails("NEAREST"));
    EXPECT_STREQ(GetAirportDetail().header.icao, "EDDH");
}

// The stand chosen at the selected airport stays chosen while other
// airports' details are read (the terrain warning reads the plan's
// destination every second); without an airport selected by name, a new
// airport's stands clear it.
TEST_F(AirportDetails, TheStandChosenStaysWhileOtherAirportsAreRead)
{
    root.WriteZip("Navdata/MSFS/Default/E.zip",
                  {{"E/EDDH.txt", StandardEntry()},
                   {"E/EDHL.txt", "1 53 EDHL 3.0 53.8 10.7 LBC Luebeck Luebeck Germany\n" +
                                      Runway("07", "25", 2100.0, 1) +
                                      "150 1\n53.80 10.70 90.0 20.0 FF 1 GA\n"}});
    std::snprintf(Settings.SelectedAirport, sizeof Settings.SelectedAirport, "EDDH");
    ASSERT_TRUE(LoadAirportDetails("EDDH"));
    Settings.Parkposition = 1;
    ASSERT_TRUE(LoadAirportDetails("EDHL"));
    ASSERT_TRUE(LoadAirportDetails("EDDH"));
    EXPECT_EQ(Settings.Parkposition, 1);

    Settings.SelectedAirport[0] = '\0';
    ASSERT_TRUE(LoadAirportDetails("EDHL"));
    EXPECT_EQ(Settings.Parkposition, -1);
}

TEST_F(AirportDetails, MissingEntryFailsAndFreesThePreviousAirport)
{
    WriteArchive(StandardEntry());
    ASSERT_TRUE(LoadAirportDetails("EDDH"));
    EXPECT_FALSE(LoadAirportDetails("EDDF"));
    EXPECT_FALSE(IsAirportDetailLoaded());
    EXPECT_TRUE(GetAirportDetail().runways.empty());
    EXPECT_FALSE(LoadAirportDetails("../../etc/x"));
    EXPECT_FALSE(LoadAirportDetails(""));
}

TEST_F(AirportDetails, ArchiveChainFallsBackToThePartnerFolder)
{
    Settings.NavDatabase = 7;  // Aerofly: AFS2, then MSFS
    WriteArchive(StandardEntry(), "MSFS");
    EXPECT_TRUE(LoadAirportDetails("EDDH"));
    Settings.NavDatabase = 0;
    Settings.UseSimulator = SimulatorXPlane;  // X-Plane: XPL, FG without Default, FG
    root.WriteZip("Navdata/FG/E.zip", {{"E/EDDH.txt", StandardEntry()}});
    EXPECT_TRUE(LoadAirportDetails("EDDH"));
    Settings.NavDatabase = 9;  // OpenAIP: no archives at all
    ClearAirportDetailLoaded();
    EXPECT_FALSE(LoadAirportDetails("EDDH"));
}

TEST_F(AirportDetails, HeaderLookupWritesTheIcaoBack)
{
    WriteArchive(StandardEntry());
    char icao[10] = "EDDH";
    double magVar = 0;
    char names[4][64];
    ASSERT_TRUE(LookupAirportHeader(icao, &magVar, names[0], names[1], names[2], names[3]));
    EXPECT_DOUBLE_EQ(magVar, 3.5);
    EXPECT_STREQ(names[2], "Hamburg Airport");
    char missing[10] = "EDDF";
    EXPECT_FALSE(LookupAirportHeader(missing, &magVar, names[0], names[1], names[2], names[3]));
}

TEST_F(AirportDetails, RunwayEndDistanceAndElevation)
{
    WriteArchive(StandardEntry());
    ASSERT_TRUE(LoadAirportDetails("EDDH"));
    int32_t elevation = 0;
    // One minute of latitude south of the end at corners 1 and 2.
    double nm = GetNearestRunwayEndDistance(9.9727, 53.6219 - 1.0 / 60.0, &elevation);
    EXPECT_NEAR(nm, 1.0, 0.01);
    EXPECT_EQ(elevation, 53);
    EXPECT_EQ(GetAirportElevation(), 53);
    Settings.MetricAltitude = 1;
    EXPECT_EQ(GetAirportElevation(), 16);  // 53 ft = 16.15 m
}

TEST_F(AirportDetails, MissingComFileKeepsTheRest)
{
    WriteArchive(StandardEntry());
    ASSERT_TRUE(LoadAirportDetails("EDDH"));
    EXPECT_TRUE(GetAirportDetail().coms.empty());
    EXPECT_EQ(GetAirportDetail().runways.size(), 2u);
}

TEST(RunwaySurfaces, ClassesComeFromTheSourcesTableAndStayInside)
{
    Settings.NavDatabase = 6;
    EXPECT_EQ(GetRunwaySurfaceClass(0), 1);   // general table, entry 1
    EXPECT_EQ(GetRunwaySurfaceClass(19), 0);  // past the table
    EXPECT_EQ(GetRunwaySurfaceClass(-5), 0);
    EXPECT_EQ(GetAirportSurfaceClass(3), 4);  // MSFS table: water
    EXPECT_EQ(GetAirportSurfaceClass(25), 0);
    Settings.NavDatabase = 1;
    EXPECT_EQ(GetRunwaySurfaceClass(2), 3);
    EXPECT_EQ(GetAirportSurfaceClass(12), 1);
    Settings.NavDatabase = 2;
    EXPECT_EQ(GetAirportSurfaceClass(4), 2);
}

}  // namespace
