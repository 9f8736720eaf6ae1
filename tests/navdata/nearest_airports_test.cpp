// The nearest-airport list: order by great-circle distance, the skip rules,
// ties, the bands across 180 degrees, and the current airport.
#include "navdata/nearest_airports.h"

#include "navdata/great_circle.h"
#include "navdata/nav_tables.h"
#include "nav_fixtures.h"
#include "navdata/simulators.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

namespace {

class NearestAirports : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Settings.NavDatabase = 6;  // MSFS surface table: 0 soft, 1 hard, 3 water
        Settings.UseSimulator = SimulatorMsfs;
        Settings.RunwayEmergencyLength = 1000.0;
        Settings.RunwaySurfaceEmergency = 1;
    }
    void TearDown() override { FreeNavdata(); }
    void Load(const std::vector<AirportRecord>& airports)
    {
        root.WriteTable("Navdata/MSFS/apt.bin", airports);
        LoadAirports();
    }
    std::vector<std::string> Listed()
    {
        std::vector<std::string> icaos;
        for (int32_t i = 0; i < GetNearestAirportCount(); ++i)
            icaos.push_back(GetNearestAirportEntry(i)->icao);
        return icaos;
    }
    TempNavRoot root;
};

TEST_F(NearestAirports, ListsTheTenNearestByGreatCircleDistance)
{
    // Far north, where a flat degree grid would misjudge east against north.
    const double lat = 69.0, lon = 18.0;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> dlat(-1.5, 1.5), dlon(-5.0, 5.0);
    std::vector<AirportRecord> airports;
    std::vector<std::pair<double, std::string>> expected;
    for (int i = 0; i < 40; ++i) {
        std::string icao = "AP" + std::to_string(i);
        AirportRecord a = MakeAirport(icao.c_str(), lat + dlat(random), lon + dlon(random));
        airports.push_back(a);
        expected.emplace_back(GreatCircleDistanceNm(lat, lon, AirportLatitude(a), RecordLongitude(a)), icao);
    }
    Load(airports);
    FindNearestAirportsAround(lat, lon, lon - 1.0, lon + 1.0);
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(GetNearestAirportCount(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(GetNearestAirportEntry(i)->icao, expected[i].second) << i;
        // The NEAREST box shows sqrt(distance) x 60 as nautical miles.
        EXPECT_NEAR(std::sqrt(GetNearestAirportEntry(i)->distance) * 60.0, expected[i].first, 0.01);
    }
    EXPECT_EQ(GetNearestAirportDistance(), GetNearestAirportEntry(0)->distance);
}

TEST_F(NearestAirports, ShortOrSoftRunwaysAreSkipped)
{
    Load({MakeAirport("SHORT", 53.60, 10.00, 300.0), MakeAirport("SOFT", 53.61, 10.00, 2000.0, 0),
          MakeAirport("HARD", 53.70, 10.00, 2000.0, 1), MakeAirport("WATER", 53.62, 10.00, 2000.0, 3)});
    FindNearestAirportsAround(53.6, 10.0, 9.0, 11.0);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"HARD"}));
    Settings.RunwaySurfaceEmergency = 3;
    FindNearestAirportsAround(53.6, 10.0, 9.0, 11.0);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"SOFT", "HARD"}));
    Settings.RunwaySurfaceEmergency = 4;
    FindNearestAirportsAround(53.6, 10.0, 9.0, 11.0);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"WATER"}));
}

TEST_F(NearestAirports, ElevenQualifyingKeepTheTenNearestAndATieTakesFirstPlace)
{
    // N0 to N10 due north of the centre, 0.1 degree apart, offered farthest
    // first; TWIN stands on N0's spot and comes after it in the file.
    std::vector<AirportRecord> airports;
    for (int i = 10; i >= 0; --i)
        airports.push_back(MakeAirport(("N" + std::to_string(i)).c_str(), 50.05 + 0.1 * i, 8.0));
    airports.push_back(MakeAirport("TWIN", 50.05, 8.0));
    Load(airports);
    FindNearestAirportsAround(50.0, 8.0, 7.5, 8.5);
    std::vector<std::string> listed = Listed();
    ASSERT_EQ(listed.size(), 10u);
    EXPECT_EQ(listed[0], "TWIN");  // offered after N0, ties with it, goes first
    EXPECT_EQ(listed[1], "N0");
    EXPECT_EQ(listed[9], "N8");    // N9 and N10 dropped out
    for (int i = 1; i < 10; ++i)
        EXPECT_LE(GetNearestAirportEntry(i - 1)->distance, GetNearestAirportEntry(i)->distance);
}

TEST_F(NearestAirports, BandsAcrossTheAntimeridianFindBothSides)
{
    Load({MakeAirport("WEST", -16.5, -179.8), MakeAirport("EAST", -16.4, 179.6),
          MakeAirport("FAR", -16.4, 170.0)});
    FindNearestAirportsAround(-16.45, 179.9, 179.5, 180.0);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"WEST", "EAST"}));
    EXPECT_NEAR(std::sqrt(GetNearestAirportEntry(0)->distance) * 60.0,
                GreatCircleDistanceNm(-16.45, 179.9, -16.5, -179.8), 0.01);
    FindNearestAirportsAround(-16.45, -179.9, -180.0, -179.5);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"WEST", "EAST"}));
}

TEST_F(NearestAirports, FarAirportsInTheBandAreNotListed)
{
    Load({MakeAirport("NEAR", 53.7, 10.0), MakeAirport("SOUTH", 20.0, 10.0)});
    FindNearestAirportsAround(53.6, 10.0, 9.5, 10.5);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"NEAR"}));
}

TEST_F(NearestAirports, CloseToThePoleTheWholeWorldIsOneBand)
{
    Load({MakeAirport("POLE", 89.5, -120.0), MakeAirport("OTHER", 89.0, 60.0)});
    FindNearestAirportsAround(89.99, 0.0, -1.0, 1.0);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"POLE", "OTHER"}));
}

TEST_F(NearestAirports, WithoutAirportsTheListStaysAsItWas)
{
    FindNearestAirportsAround(53.6, 10.0, 9.0, 11.0);
    EXPECT_EQ(GetNearestAirportCount(), 0);
    EXPECT_EQ(GetNearestAirportDistance(), -1.0);
    EXPECT_STREQ(GetNearestAirportIcao(0), "");
    EXPECT_STREQ(GetNearestAirportIcao(12), "");
}

TEST_F(NearestAirports, EmptyListIsFilledAroundTheMapCentreWhenAsked)
{
    // The map centre of a fresh start is the home position near Hamburg.
    Load({MakeAirport("EDDH", 53.63, 9.99), MakeAirport("EDHL", 53.80, 10.70)});
    EXPECT_STREQ(GetNearestAirportIcao(0), "EDDH");
    EXPECT_STREQ(GetNearestAirportIcao(1), "EDHL");
    EXPECT_STREQ(GetNearestAirportIcao(2), "");
    EXPECT_STREQ(GetNearestAirportList(), "EDDH");
}

TEST_F(NearestAirports, SelectingAnEntryOrAnIcaoSetsTheCurrentAirport)
{
    Load({MakeAirport("EDDH", 53.63, 9.99), MakeAirport("EDHL", 53.80, 10.70)});
    FindNearestAirportsAround(53.6, 10.0, 9.0, 11.0);
    SelectNearestAirport(1);
    EXPECT_STREQ(GetCurrentAirport()->icao, "EDHL");
    SelectNearestAirport(5);
    EXPECT_STREQ(GetCurrentAirport()->icao, "---");
    char icao[10] = "eddh";
    SelectAirport(icao);  // no archive: the record is taken, the details fail
    EXPECT_STREQ(icao, "EDDH");
    EXPECT_STREQ(GetCurrentAirport()->icao, "EDDH");
    SetLastNearestIcao("EDHL");
    EXPECT_STREQ(GetLastNearestIcao(), "EDHL");
}

TEST(GreatCircle, DistancesInTheSystemsNauticalMilesPerRadian)
{
    const double pi = 3.14159265358979323846;
    // One degree of the equator and a quarter meridian, at 3437.7468 nm a radian.
    EXPECT_NEAR(GreatCircleDistanceNm(0, 10, 0, 11), 3437.7468 * pi / 180, 1e-9);
    EXPECT_NEAR(GreatCircleDistanceNm(0, 0, 90, 0), 3437.7468 * pi / 2, 1e-6);
    // Across the antimeridian the short way; a point to itself is 0, not NaN.
    EXPECT_NEAR(GreatCircleDistanceNm(0, 179.5, 0, -179.5), 3437.7468 * pi / 180, 1e-9);
    EXPECT_EQ(GreatCircleDistanceNm(53.63, 9.99, 53.63, 9.99), 0.0);
    // Hamburg to Luebeck, the airports' reference points: about 27 nm.
    EXPECT_NEAR(GreatCircleDistanceNm(53.6304, 9.9882, 53.8054, 10.7192), 27.7, 0.3);
}

}  // namespace
