// The navigation file layout: the longitude index at its edges and files
// that do not hold what their header says.
#include "navdata/nav_file_io.h"

#include "nav_fixtures.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

std::vector<FixRecord> FixesAt(std::initializer_list<double> longitudes)
{
    std::vector<FixRecord> fixes;
    int n = 0;
    for (double lon : longitudes) {
        char name[16];
        std::snprintf(name, sizeof(name), "F%d", n++ % 1000);
        fixes.push_back(MakeFix(name, 50.0, lon));
    }
    return fixes;
}

NavTable<FixRecord> Parse(const std::vector<uint8_t>& bytes, NavFileResult expected = NavFileOk)
{
    NavTable<FixRecord> table;
    char problem[160];
    EXPECT_EQ(ParseNavFile(bytes.data(), bytes.size(), &table, problem, sizeof(problem)), expected) << problem;
    return table;
}

void Range(const NavTable<FixRecord>& table, double a, double b, int32_t* first, int32_t* last)
{
    FindIndexRange(table.index, table.records.size(), a, b, first, last);
}

// The names of the records in first..last.
std::vector<std::string> Names(const NavTable<FixRecord>& table, int32_t first, int32_t last)
{
    std::vector<std::string> names;
    for (int32_t i = first; i <= last; ++i)
        names.push_back(table.records.at(i).name);
    return names;
}

// Records whose position is no number or off the earth are left out where
// the file is read; the index then finds the others.
TEST(NavFileRecords, ThoseOffTheEarthOrNoNumbersAreLeftOut)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<FixRecord> fixes = {MakeFix("GOOD1", 50.0, 9.5), MakeFix("NANLAT", nan, 9.6),
                                    MakeFix("HUGE", 1e308, 9.7), MakeFix("GOOD2", -90.0, 10.5),
                                    MakeFix("POLAR", 90.5, 10.6), MakeFix("EAST", 50.0, 180.0)};
    std::vector<uint8_t> bytes = BuildNavFile<FixRecord>(fixes);
    // A longitude past the date line, written after the index was built.
    FixRecord beyond = MakeFix("BEYOND", 50.0, 1e308);
    std::memcpy(bytes.data() + 4 + 2 * sizeof(FixRecord), &beyond, sizeof beyond);
    NavTable<FixRecord> table;
    char problem[160] = "";
    ASSERT_EQ(ParseNavFile(bytes.data(), bytes.size(), &table, problem, sizeof problem), NavFileDamaged);
    EXPECT_NE(std::string(problem).find("off the earth"), std::string::npos) << problem;
    int32_t first, last;
    Range(table, 9.0, 10.9, &first, &last);
    EXPECT_EQ(Names(table, first, last), (std::vector<std::string>{"GOOD1", "GOOD2"}));
    Range(table, 179.5, 180.0, &first, &last);
    EXPECT_EQ(Names(table, first, last), (std::vector<std::string>{"EAST"}));
    double lat, lon;
    EXPECT_FALSE(FindFixInTable(table.records.data(), table.records.size(), "NANLAT", &lat, &lon));

    std::vector<AirportRecord> airports(3);
    for (AirportRecord& a : airports) {
        a.lonA = 9.9;
        a.lonB = 10.1;
        a.latA = 53.5;
        a.latB = 53.7;
        a.runwayLength = 3250;
    }
    airports[1].runwayLength = 1e300;
    airports[2].latB = nan;
    NavTable<AirportRecord> airportTable;
    std::vector<uint8_t> airportBytes = BuildNavFile<AirportRecord>(airports);
    EXPECT_EQ(ParseNavFile(airportBytes.data(), airportBytes.size(), &airportTable, nullptr, 0), NavFileDamaged);
    EXPECT_EQ(airportTable.records.size(), 1u);

    std::vector<NavaidRecord> navaids(2);
    for (NavaidRecord& n : navaids) {
        n.lat = 53.6;
        n.lon = 10.0;
    }
    navaids[1].angle = std::numeric_limits<double>::infinity();
    NavTable<NavaidRecord> navaidTable;
    std::vector<uint8_t> navaidBytes = BuildNavFile<NavaidRecord>(navaids);
    EXPECT_EQ(ParseNavFile(navaidBytes.data(), navaidBytes.size(), &navaidTable, nullptr, 0), NavFileDamaged);
    EXPECT_EQ(navaidTable.records.size(), 1u);
}

TEST(LongitudeSlot, TruncatesTowardZeroAndRejectsTheOutside)
{
    EXPECT_EQ(LongitudeSlot(-0.5), 179);
    EXPECT_EQ(LongitudeSlot(0.5), 179);
    EXPECT_EQ(LongitudeSlot(-1.5), 178);
    EXPECT_EQ(LongitudeSlot(-179.5), 0);
    EXPECT_EQ(LongitudeSlot(179.5), 358);
    EXPECT_EQ(LongitudeSlot(180.0), 359);
    EXPECT_EQ(LongitudeSlot(-180.0), -1);
    EXPECT_EQ(LongitudeSlot(180.5), -1);
    EXPECT_EQ(LongitudeSlot(std::numeric_limits<double>::quiet_NaN()), -1);
    EXPECT_EQ(LongitudeSlot(1e300), -1);
}

class LongitudeIndexRanges : public ::testing::Test {
  protected:
    // Degrees 9 and 10 hold two fixes each, degree 11 none, 12 one; the
    // eastmost degree and exactly 180 one each; one just east of -180.
    NavTable<FixRecord> table = Parse(BuildNavFile(
        FixesAt({10.7, 9.2, 10.1, 9.9, 12.5, 179.5, 180.0, -179.5, -0.5, 0.5})));
};

TEST_F(LongitudeIndexRanges, FileIsSortedByLongitude)
{
    ASSERT_EQ(table.records.size(), 10u);
    for (size_t i = 1; i < table.records.size(); ++i)
        EXPECT_LE(table.records[i - 1].lon, table.records[i].lon);
}

TEST_F(LongitudeIndexRanges, SwappedBandCoversBothWholeDegrees)
{
    int32_t first, last;
    Range(table, 10.5, 9.5, &first, &last);
    EXPECT_EQ(first, static_cast<int32_t>(table.index.first[188]));
    EXPECT_EQ(last, static_cast<int32_t>(table.index.first[190]) - 1);
    // Every fix of degrees 9 and 10, also those east of the band's first one.
    auto names = Names(table, first, last);
    std::vector<double> lons;
    for (int32_t i = first; i <= last; ++i)
        lons.push_back(table.records[i].lon);
    EXPECT_EQ(lons, (std::vector<double>{9.2, 9.9, 10.1, 10.7}));
}

TEST_F(LongitudeIndexRanges, BothSidesOfZeroShareOneSlot)
{
    int32_t first, last;
    Range(table, -0.5, 0.5, &first, &last);
    ASSERT_EQ(last - first + 1, 2);
    EXPECT_EQ(table.records[first].lon, -0.5);
    EXPECT_EQ(table.records[last].lon, 0.5);
}

TEST_F(LongitudeIndexRanges, EmptyDegreeGivesAnEmptyRange)
{
    int32_t first, last;
    Range(table, 11.2, 11.8, &first, &last);
    EXPECT_GE(first, 0);
    EXPECT_EQ(last, first - 1);
}

TEST_F(LongitudeIndexRanges, EastmostDegreeRunsToTheEndOfTheTable)
{
    int32_t first, last;
    Range(table, 179.0, 179.9, &first, &last);
    ASSERT_EQ(last - first + 1, 1);
    EXPECT_EQ(table.records[first].lon, 179.5);
    Range(table, 179.0, 180.0, &first, &last);
    EXPECT_EQ(last, 9);  // the last record: exactly 180
    EXPECT_EQ(table.records[last].lon, 180.0);
}

TEST_F(LongitudeIndexRanges, AntimeridianNeedsBandsOnBothSides)
{
    int32_t first, last;
    Range(table, -180.0, -179.0, &first, &last);
    EXPECT_EQ(first, -1);  // -180 has no slot
    EXPECT_EQ(last, -1);
    Range(table, -179.9, -179.1, &first, &last);
    ASSERT_EQ(last - first + 1, 1);
    EXPECT_EQ(table.records[first].lon, -179.5);
}

TEST(LongitudeIndex, EmptyTableAnswersNothing)
{
    NavTable<FixRecord> table = Parse(BuildNavFile(std::vector<FixRecord>{}));
    int32_t first, last;
    Range(table, 9.0, 11.0, &first, &last);
    EXPECT_EQ(first, -1);
    EXPECT_EQ(last, -1);
}

TEST(NavFileParse, CountOfZeroOrLessHoldsNothing)
{
    std::vector<uint8_t> bytes(4 + 1440, 0);
    int32_t count = -3;
    std::memcpy(bytes.data(), &count, 4);
    EXPECT_TRUE(Parse(bytes).records.empty());
}

TEST(NavFileParse, FileWithoutAWholeCountIsDamaged)
{
    std::vector<uint8_t> bytes = {1, 0};
    EXPECT_TRUE(Parse(bytes, NavFileDamaged).records.empty());
}

TEST(NavFileParse, TruncatedFileKeepsTheWholeRecordsAndIndexesThem)
{
    std::vector<uint8_t> bytes = BuildNavFile(FixesAt({1.5, 2.5, 3.5, 4.5, 5.5}));
    bytes.resize(4 + 3 * sizeof(FixRecord) + 10);  // three records and a part of the fourth
    NavTable<FixRecord> table = Parse(bytes, NavFileDamaged);
    ASSERT_EQ(table.records.size(), 3u);
    int32_t first, last;
    Range(table, 2.0, 2.9, &first, &last);
    ASSERT_EQ(last - first + 1, 1);
    EXPECT_EQ(table.records[first].lon, 2.5);
    Range(table, 4.0, 5.9, &first, &last);
    EXPECT_EQ(last, first - 1);  // nothing past the records that arrived
}

TEST(NavFileParse, CountFarBeyondTheFileIsNotTrusted)
{
    std::vector<uint8_t> bytes = BuildNavFile(FixesAt({7.5, 8.5}));
    int32_t count = std::numeric_limits<int32_t>::max();
    std::memcpy(bytes.data(), &count, 4);
    // The index bytes are read as records here: 1440 bytes hold 60 of them.
    NavTable<FixRecord> table = Parse(bytes, NavFileDamaged);
    EXPECT_EQ(table.records.size(), 2u + 1440 / sizeof(FixRecord));
}

TEST(NavFileParse, MissingIndexIsRebuilt)
{
    std::vector<uint8_t> bytes = BuildNavFile(FixesAt({7.5, 8.5}));
    bytes.resize(4 + 2 * sizeof(FixRecord));
    NavTable<FixRecord> table = Parse(bytes, NavFileDamaged);
    int32_t first, last;
    Range(table, 8.0, 8.9, &first, &last);
    ASSERT_EQ(last - first + 1, 1);
    EXPECT_EQ(table.records[first].lon, 8.5);
}

TEST(NavFileParse, IndexPointingPastTheRecordsIsRebuilt)
{
    std::vector<uint8_t> bytes = BuildNavFile(FixesAt({7.5, 8.5}));
    uint32_t bad = 1000;
    std::memcpy(&bytes[4 + 2 * sizeof(FixRecord) + 187 * 4], &bad, 4);
    NavTable<FixRecord> table = Parse(bytes, NavFileDamaged);
    EXPECT_TRUE(IsLongitudeIndexSound(table.index, table.records.size()));
    int32_t first, last;
    Range(table, 7.0, 8.9, &first, &last);
    EXPECT_EQ(last - first + 1, 2);
}

TEST(NavFileParse, TextFieldsAlwaysEndWithANul)
{
    NavaidRecord n{};
    std::memset(n.ident, 'X', sizeof(n.ident));
    std::memset(n.name, 'N', sizeof(n.name));
    AirportRecord a{};
    std::memset(a.icao, 'E', sizeof(a.icao));
    NavTable<NavaidRecord> navaids;
    std::vector<uint8_t> bytes = BuildNavFile(std::vector<NavaidRecord>{n});
    ASSERT_EQ(ParseNavFile(bytes.data(), bytes.size(), &navaids, nullptr, 0), NavFileOk);
    EXPECT_EQ(std::strlen(navaids.records[0].ident), 4u);
    EXPECT_EQ(std::strlen(navaids.records[0].name), 52u);
    NavTable<AirportRecord> airports;
    bytes = BuildNavFile(std::vector<AirportRecord>{a});
    ASSERT_EQ(ParseNavFile(bytes.data(), bytes.size(), &airports, nullptr, 0), NavFileOk);
    EXPECT_EQ(std::strlen(airports.records[0].icao), 15u);
}

TEST(NavFileParse, MissingFileIsReportedAsMissing)
{
    NavTable<FixRecord> table;
    EXPECT_EQ(ReadNavFile("/nonexistent/fixdat.bin", &table, nullptr, 0), NavFileMissing);
}

TEST(FixTable, FindsTheFirstExactNameInFileOrder)
{
    std::vector<FixRecord> fixes = {MakeFix("TABUM", 49.8, 9.3), MakeFix("tabum", 1.0, 1.0),
                                    MakeFix("TABUM", 10.0, 10.0), MakeFix("ABCDEFG", 5.0, 6.0)};
    double lat = 0, lon = 0;
    ASSERT_TRUE(FindFixInTable(fixes.data(), fixes.size(), "TABUM", &lat, &lon));
    EXPECT_EQ(lat, 49.8);
    EXPECT_EQ(lon, 9.3);
    EXPECT_TRUE(FindFixInTable(fixes.data(), fixes.size(), "ABCDEFG", &lat, &lon));
    EXPECT_FALSE(FindFixInTable(fixes.data(), fixes.size(), "TABU", &lat, &lon));
    EXPECT_FALSE(FindFixInTable(fixes.data(), fixes.size(), "", &lat, &lon));
    EXPECT_FALSE(FindFixInTable(fixes.data(), fixes.size(), "ABCDEFGH", &lat, &lon));
}

}  // namespace
