// The navigation-data helper's readers of apt.dat and nav.dat: rows with
// numbers no radio or place has are skipped and counted, the rest is kept.
#include "nav_fixtures.h"
#include "source_readers.h"

#include <gtest/gtest.h>

namespace {

TEST(SourceFormats, FrequenciesNoRadioHasAreSkippedAndCounted)
{
    // Ten or a hundred times these overflow the records' units.
    TempNavRoot root;
    root.WriteText("src/apt.dat", "I\n1000 Version\n1 53 0 0 EDDH Hamburg\n"
                                  "54 300000000 Old style\n1050 2147483647 Overflowing\n1050 -118700 Negative\n"
                                  "1050 118700 HAMBURG TWR\n54 12380 Old style tower\n99\n");
    std::vector<SourceFrequency> frequencies;
    ReadCounts counts;
    ASSERT_TRUE(ReadAptDat(root.Path("src/apt.dat").c_str(),
                           [&](SourceAirport& a) { frequencies = a.frequencies; }, &counts));
    ASSERT_EQ(frequencies.size(), 2u);
    EXPECT_EQ(frequencies[0].kilohertz, 118700);
    EXPECT_EQ(frequencies[1].kilohertz, 123800);
    EXPECT_EQ(counts.skipped, 3);

    root.WriteText("src/nav.dat", "I\n810 Version\n"
                                  "3  53.6877  10.2052    46 99999999999 130    4.0 HAM  HAMBURG VOR-DME\n"
                                  "3  53.6877  10.2052    46 2147483647 130    4.0 HAM  HAMBURG VOR-DME\n"
                                  "2  53.7000  10.1000   100   350  25    0.0 HN   HAMBURG NDB\n99\n");
    std::vector<SourceNavaid> navaids;
    counts = ReadCounts{};
    ASSERT_TRUE(ReadNavDat(root.Path("src/nav.dat").c_str(), &navaids, &counts));
    ASSERT_EQ(navaids.size(), 1u);
    EXPECT_EQ(navaids[0].frequency, 350);
    EXPECT_EQ(counts.skipped, 2);
}

TEST(SourceFormats, AReferencePointOffTheEarthIsNoneAndIsCounted)
{
    TempNavRoot root;
    root.WriteText("src/apt.dat", "1 53 0 0 EDDH Hamburg\n1302 datum_lat 1e999\n1302 datum_lon 9.98\n"
                                  "1 53 0 0 EDHL Luebeck\n1302 datum_lat 53.8\n1302 datum_lon -181\n"
                                  "1 23 0 0 EDHI Finkenwerder\n1302 datum_lat 53.5\n1302 datum_lon 9.8\n99\n");
    std::vector<SourceAirport> airports;
    ReadCounts counts;
    ASSERT_TRUE(ReadAptDat(root.Path("src/apt.dat").c_str(), [&](SourceAirport& a) { airports.push_back(a); },
                           &counts));
    ASSERT_EQ(airports.size(), 3u);
    EXPECT_FALSE(airports[0].hasDatum);
    EXPECT_TRUE(airports[1].hasDatum);
    EXPECT_EQ(airports[1].datum.lon, 0.0);  // as when the file names no longitude
    EXPECT_TRUE(airports[2].hasDatum);
    EXPECT_EQ(airports[2].datum.lat, 53.5);
    EXPECT_EQ(counts.skipped, 2);
}

}  // namespace
