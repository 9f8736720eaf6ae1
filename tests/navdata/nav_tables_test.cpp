// The map program's navigation tables: which folder each loader takes, what a
// missing or damaged file leaves, and the lookups over the loaded tables.
#include "navdata/nav_tables.h"

#include "navdata/nearest_airports.h"
#include "nav_fixtures.h"
#include "navdata/simulators.h"

namespace {

class NavTables : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Settings.NavDatabase = 6;
        Settings.UseSimulator = SimulatorMsfs;
    }
    void TearDown() override
    {
        FreeNavdata();
        FreeObstacles();
    }
    void WriteSource(const std::string& folder, const char* tag)
    {
        root.WriteTable<NavaidRecord>("Navdata/" + folder + "/navdat.bin",
                                      {MakeNavaid(tag, 3, 53.6, 9.9, 113100), MakeNavaid("XX", 2, 53.1, 10.4, 38000)});
        root.WriteTable<AirportRecord>("Navdata/" + folder + "/apt.bin", {MakeAirport(tag, 53.63, 9.99)});
        root.WriteTable<FixRecord>("Navdata/" + folder + "/fixdat.bin", {MakeFix(tag, 53.7, 10.2)});
    }
    TempNavRoot root;
};

TEST_F(NavTables, LoadsTheSelectedSourceFolder)
{
    WriteSource("MSFS", "MSF");
    WriteSource("XPL", "XPL");
    LoadNavaids();
    LoadAirports();
    LoadFixes();
    EXPECT_EQ(GetNavaidCount(), 2);
    ASSERT_EQ(GetAirportCount(), 1);
    EXPECT_STREQ(GetAirport(0)->icao, "MSF");
    EXPECT_STREQ(GetFix(0)->name, "MSF");
    int32_t first, last;
    FindNavaidRange(&first, &last, 9.5, 10.5);
    EXPECT_EQ(last - first + 1, 2);
}

TEST_F(NavTables, WithoutADatabaseNavaidsFollowTheSimulatorAndAirportsOpenAip)
{
    Settings.NavDatabase = 0;
    Settings.UseSimulator = SimulatorXPlane;
    WriteSource("XPL", "XPL");
    WriteSource("MSFS", "MSF");
    LoadNavaids();
    LoadAirports();
    LoadFixes();
    EXPECT_STREQ(GetNavaid(0)->ident, "XPL");
    EXPECT_STREQ(GetFix(0)->name, "XPL");
    // No OpenAIP folder: airports fall back to MSFS.
    ASSERT_EQ(GetAirportCount(), 1);
    EXPECT_STREQ(GetAirport(0)->icao, "MSF");
}

TEST_F(NavTables, MissingFolderFallsBackToItsPartner)
{
    Settings.NavDatabase = 1;
    WriteSource("FG", "FGX");
    LoadAirports();
    LoadFixes();
    ASSERT_EQ(GetAirportCount(), 1);
    EXPECT_STREQ(GetAirport(0)->icao, "FGX");
    // Fixes have no partner folder: only the common file below Navdata.
    EXPECT_FALSE(IsFixTableLoaded());
    root.WriteTable<FixRecord>("Navdata/fixdat.bin", {MakeFix("COMMON", 50.0, 8.0)});
    LoadFixes();
    ASSERT_TRUE(IsFixTableLoaded());
    EXPECT_STREQ(GetFix(0)->name, "COMMON");
}

TEST_F(NavTables, FailedDownloadLeavesNavaidsEmptyAndTheSimulatorsData)
{
    // X-Plane data asked for, missing, and no downloader to fetch it.
    Settings.NavDatabase = 1;
    Settings.UseSimulator = SimulatorXPlane;
    WriteSource("FG", "FGX");
    WriteSource("MSFS", "MSF");
    LoadNavaids();
    EXPECT_EQ(GetNavaidCount(), 0);
    EXPECT_EQ(Settings.NavDatabase, 0);
    // Now fixes follow the simulator (X-Plane, missing: the common file) and
    // airports the OpenAIP source (missing: MSFS).
    LoadAirports();
    ASSERT_EQ(GetAirportCount(), 1);
    EXPECT_STREQ(GetAirport(0)->icao, "MSF");
}

TEST_F(NavTables, NavaidLookupWaitsForTheFixes)
{
    WriteSource("MSFS", "MSF");
    LoadNavaids();
    int32_t first, last;
    FindNavaidRange(&first, &last, 9.0, 11.0);
    EXPECT_EQ(first, -1);
    EXPECT_EQ(last, -1);
    LoadFixes();
    FindNavaidRange(&first, &last, 9.0, 11.0);
    EXPECT_EQ(last - first + 1, 2);
}

TEST_F(NavTables, MissingFilesLeaveEmptyTablesThatAnswerNothing)
{
    LoadNavaids();
    LoadAirports();
    LoadFixes();
    EXPECT_FALSE(IsAirportTableLoaded());
    int32_t first, last;
    FindAirportRange(&first, &last, 9.0, 11.0);
    EXPECT_EQ(first, -1);
    FindFixRange(&first, &last, 9.0, 11.0);
    EXPECT_EQ(first, -1);
    EXPECT_EQ(GetAirport(0), nullptr);
    EXPECT_EQ(GetNavaid(0), nullptr);
    EXPECT_EQ(GetFix(-1), nullptr);
    float lat, lon;
    EXPECT_FALSE(GetAirportCenter("EDDH", &lat, &lon));
}

TEST_F(NavTables, TruncatedAirportFileKeepsItsWholeRecords)
{
    std::vector<AirportRecord> airports;
    for (int i = 0; i < 6; ++i) {
        char icao[8];
        std::snprintf(icao, sizeof(icao), "ED%02d", i);
        airports.push_back(MakeAirport(icao, 50.0 + i, 6.0 + i));
    }
    std::vector<uint8_t> bytes = BuildNavFile(airports);
    bytes.resize(4 + 4 * sizeof(AirportRecord) + 30);
    root.WriteBytes("Navdata/MSFS/apt.bin", bytes);
    LoadAirports();
    ASSERT_TRUE(IsAirportTableLoaded());
    EXPECT_EQ(GetAirportCount(), 4);
    EXPECT_EQ(GetAirport(4), nullptr);
    int32_t first, last;
    FindAirportRange(&first, &last, 9.0, 9.9);
    ASSERT_EQ(last - first + 1, 1);
    EXPECT_STREQ(GetAirport(first)->icao, "ED03");
    FindAirportRange(&first, &last, 10.0, 11.9);
    EXPECT_LT(last, first);
}

TEST_F(NavTables, ObstaclesAreOptionalAndAnEmptyRangeUntilLoaded)
{
    int32_t first, last;
    LoadObstacles();
    EXPECT_FALSE(IsObstacleTableLoaded());
    FindObstacleRange(&first, &last, 9.0, 11.0);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 0);
    root.WriteTable<ObstacleRecord>("Terrain/obsdat.bin", {MakeObstacle(53.5, 9.8, 1200), MakeObstacle(53.4, 10.3, 300)});
    LoadObstacles();
    ASSERT_TRUE(IsObstacleTableLoaded());
    FindObstacleRange(&first, &last, 9.0, 11.0);
    EXPECT_EQ(last - first + 1, 2);
    EXPECT_EQ(GetObstacle(first)->height, 1200);
    FreeObstacles();
    FindObstacleRange(&first, &last, 9.0, 11.0);
    EXPECT_EQ(first, 1);
}

TEST_F(NavTables, AirportCentreIsTheMeanOfItsBoundsByExactIcao)
{
    AirportRecord a = MakeAirport("EDDH", 0.0, 0.0);
    a.latA = 53.62;
    a.latB = 53.65;
    a.lonA = 9.97;
    a.lonB = 10.01;
    root.WriteTable<AirportRecord>("Navdata/MSFS/apt.bin", {MakeAirport("EDDHX", 1.0, 1.0), a});
    LoadAirports();
    float lat, lon;
    ASSERT_TRUE(GetAirportCenter("EDDH", &lat, &lon));
    EXPECT_FLOAT_EQ(lat, 53.635f);
    EXPECT_FLOAT_EQ(lon, 9.99f);
    EXPECT_FALSE(GetAirportCenter("eddh", &lat, &lon));
}

TEST_F(NavTables, FixByNameIsExactAndNeedsAName)
{
    root.WriteTable<FixRecord>("Navdata/MSFS/fixdat.bin",
                               {MakeFix("TABUM", 49.84, 9.27), MakeFix("TABUM", 1.0, 9.27), MakeFix("ALSIK", 53.9, 10.5)});
    LoadFixes();
    double lat, lon;
    ASSERT_TRUE(FindFixByName("ALSIK", &lat, &lon));
    EXPECT_DOUBLE_EQ(lat, 53.9);
    ASSERT_TRUE(FindFixByName("TABUM", &lat, &lon));
    EXPECT_DOUBLE_EQ(lat, 49.84);  // the sorted file keeps the order of equal longitudes
    EXPECT_FALSE(FindFixByName("", &lat, &lon));
    EXPECT_FALSE(FindFixByName("TAB", &lat, &lon));
}

TEST_F(NavTables, FreeEmptiesTheTablesAndTheCurrentIcao)
{
    WriteSource("MSFS", "EDDH");
    LoadNavaids();
    LoadAirports();
    LoadFixes();
    FindNearestAirportsAround(53.63, 9.99, 9.0, 11.0);
    SelectNearestAirport(0);
    EXPECT_STREQ(GetCurrentAirport()->icao, "EDDH");
    FreeNavdata();
    EXPECT_EQ(GetAirportCount(), 0);
    EXPECT_EQ(GetNavaid(0), nullptr);
    EXPECT_STREQ(GetCurrentAirport()->icao, "");
    ReloadNavdata();
    EXPECT_EQ(GetAirportCount(), 1);
    EXPECT_EQ(GetNavaidCount(), 2);
}

}  // namespace
