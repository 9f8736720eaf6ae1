// Map types: stepping, the catalogue from the server or offline, catalogue
// maps at a position, local stores; georeference files and offset.txt.
#include "app/settings.h"
#include "display/map_georeference.h"
#include "display/map_types.h"
#include "maps/http_download.h"
#include "maps/tile_cache.h"
#include "maps/tile_sources.h"
#include "navdata/zip_writer.h"
#include "tests/support/http_test_server.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

MapCatalogueRecord Map(int lfd, const char* name, int type, int west, int south, int east, int north)
{
    MapCatalogueRecord m{};
    m.lfd = lfd;
    CopyCatalogueText(m.name, sizeof m.name, name);
    m.numZoomLevels = 12;
    m.lon_min = west;
    m.lat_min = south;
    m.lon_max = east;
    m.lat_max = north;
    m.type = type;
    m.mapindex = -1;
    CopyCatalogueText(m.extension, sizeof m.extension, "png");
    return m;
}

TEST(MapTypeSteps, ForwardPastTheLastLocalMapWrapsToThePreferredType)
{
    EXPECT_EQ(StepMapType(2, 1, 3, -4), -4);
    EXPECT_EQ(StepMapType(-4, 1, 3, -4), -3);
    EXPECT_EQ(StepMapType(-4, 0, 3, -4), 2);
    EXPECT_EQ(StepMapType(0, -1, 3, -4), -1);
}

TEST(CatalogueAnswers, ListEndsAtTheHashToken)
{
    std::vector<int> ids;
    ParseCatalogueList("12;15;#;99;", &ids);
    EXPECT_EQ(ids, (std::vector<int>{12, 15}));
    ParseCatalogueList("", &ids);
    EXPECT_TRUE(ids.empty());
    ParseCatalogueList("x;;7", &ids);
    EXPECT_EQ(ids, (std::vector<int>{7}));
}

TEST(CatalogueAnswers, EntryFieldsInTheirOrder)
{
    MapCatalogueRecord r{};
    ASSERT_TRUE(ParseCatalogueEntry("vfr_germany_long_name_x;12;5;56;15;47;11;pngx;2301", &r));
    EXPECT_STREQ(r.name, "vfr_germany_long_na");
    EXPECT_EQ(r.numZoomLevels, 12);
    EXPECT_EQ(r.lon_min, 5);
    EXPECT_EQ(r.lat_max, 56);
    EXPECT_EQ(r.lon_max, 15);
    EXPECT_EQ(r.lat_min, 47);
    EXPECT_EQ(r.type, 11);
    EXPECT_STREQ(r.extension, "png");
    EXPECT_EQ(r.airac, 2301);
    EXPECT_EQ(r.mapindex, -1);
    EXPECT_FALSE(ParseCatalogueEntry("short;1;2", &r));
}

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TVL_HOST_MAP", server.MapEntry(GetMakerServerHost()).c_str(), 1);
        Settings.ServermapIndex = -1;
    }
    TempFolder folder;
    WorkingFolder here{folder.Path()};
    HttpTestServer server;
};

TEST_F(CatalogueTest, TheServersCatalogueIsKeptForTheNextStart)
{
    server.SetBody("/tiles/catalog_2.php?tilename=list", "12;15;#");
    server.SetBody("/tiles/catalog_2.php?tilename=12", "vfr_de;12;5;56;15;47;11;png;2301");
    server.SetBody("/tiles/catalog_2.php?tilename=15", "ifr_de;11;5;56;15;47;12;jpg;2302");
    EXPECT_EQ(LoadCatalogue(true), 2);
    EXPECT_FALSE(IsOfflineMode());
    MapCatalogueRecord r;
    ASSERT_TRUE(GetCatalogueRecord(1, &r));
    EXPECT_EQ(r.lfd, 15);
    EXPECT_STREQ(r.name, "ifr_de");
    ASSERT_EQ(CatalogueUpdates.size(), 2u);

    server.Stop();
    EXPECT_EQ(LoadCatalogue(true), 2);
    EXPECT_TRUE(IsOfflineMode());
    ASSERT_TRUE(GetCatalogueRecord(0, &r));
    EXPECT_STREQ(r.name, "vfr_de");
}

TEST_F(CatalogueTest, AFailedEntryKeepsItsBareRecord)
{
    server.SetBody("/tiles/catalog_2.php?tilename=list", "12;#");
    EXPECT_EQ(LoadCatalogue(true), 1);
    MapCatalogueRecord r;
    ASSERT_TRUE(GetCatalogueRecord(0, &r));
    EXPECT_EQ(r.lfd, 12);
    EXPECT_EQ(r.name[0], 0);
}

// A server that drips its entries a byte at a time holds the start no longer
// than the one limit of all the start's texts.
TEST_F(CatalogueTest, ADrippingServerHoldsTheStartOnlyUntilTheLimit)
{
    SetDownloadDeadlinesMs(0, 1000);
    server.SetBody("/tiles/catalog_2.php?tilename=list", "1;2;3;4;5;6;#");
    HttpTestServer::Reply drip{200, "vfr_de;12;5;56;15;47;11;png;2301", HttpTestServer::Mode::Drip, true, 150};
    for (int id = 1; id <= 6; ++id)
        server.Set("/tiles/catalog_2.php?tilename=" + std::to_string(id), drip);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LoadCatalogue(true), 6);
    // Ended by the limit: the six drips one after the other take 29 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(25));
    MapCatalogueRecord r;
    ASSERT_TRUE(GetCatalogueRecord(0, &r));
    EXPECT_EQ(r.name[0], 0);  // cut off, kept bare
    SetDownloadDeadlinesMs(0, 0);
    server.Stop();
}

// The start waits for a catalogue server that is slow to answer.
TEST_F(CatalogueTest, AListAnsweredAfterSevenSecondsIsTaken)
{
    HttpTestServer::Reply slow{200, "12;#"};
    slow.delayMs = 7000;
    server.Set("/tiles/catalog_2.php?tilename=list", slow);
    server.SetBody("/tiles/catalog_2.php?tilename=12", "vfr_de;12;5;56;15;47;11;png;2301");
    EXPECT_EQ(LoadCatalogue(true), 1);
    EXPECT_FALSE(IsOfflineMode());
    MapCatalogueRecord r;
    ASSERT_TRUE(GetCatalogueRecord(0, &r));
    EXPECT_STREQ(r.name, "vfr_de");
}

TEST_F(CatalogueTest, OutsideStartUpTheServerIsNotAsked)
{
    server.SetBody("/tiles/catalog_2.php?tilename=list", "12;#");
    EXPECT_EQ(LoadCatalogue(false), 0);
    EXPECT_EQ(server.TotalRequests(), 0);
}

TEST_F(CatalogueTest, AnOfflineStartWithNoKeptCatalogueIsAnEmptyListNotAFailure)
{
    server.Stop();
    EXPECT_EQ(LoadCatalogue(true), 0);
    EXPECT_TRUE(IsOfflineMode());
}

TEST_F(CatalogueTest, AKeptCatalogueThatCannotBeReadIsReported)
{
    WriteFileText(folder / "offline_catalogue.db", "not a database at all");
    server.Stop();
    EXPECT_EQ(LoadCatalogue(true), -1);
}

TEST_F(CatalogueTest, MapsAtAPositionAreFoundStrictlyInside)
{
    {
        CatalogueAccess access;
        access.Records() = {Map(1, "a", 11, 5, 50, 15, 56), Map(2, "b", 12, 5, 50, 15, 56), Map(3, "c", 11, 0, 40, 5, 50)};
    }
    EXPECT_FALSE(SelectServerMapAt(11, 50.0, 10.0));
    EXPECT_EQ(GetSelectedCatalogueIndex(), -1);
    ASSERT_TRUE(SelectServerMapAt(11, 45.0, 2.0));
    EXPECT_EQ(GetSelectedCatalogueIndex(), 2);
    char name[20];
    GetCurrentMapName(name, sizeof name);
    EXPECT_STREQ(name, "c");
    SyncCatalogueSelection();
    EXPECT_EQ(Settings.ServermapIndex, 2);
    EXPECT_STREQ(Settings.BitmapExtension, "png");
}

TEST_F(CatalogueTest, LocalStoresAreMatchedByNameAndType)
{
    RebuildMapCatalogue({Map(1, "vfr", 11, 5, 50, 15, 56), Map(2, "vfr", 12, 5, 50, 15, 56)});
    {
        CatalogueAccess access;
        access.Records() = {Map(1, "vfr", 11, 5, 50, 15, 56), Map(2, "vfr", 12, 5, 50, 15, 56)};
    }
    EXPECT_TRUE(MatchCatalogueStore("vfr", 4, 11));
    EXPECT_FALSE(MatchCatalogueStore("ifr", 4, 11));
    MapCatalogueRecord r;
    ASSERT_TRUE(GetCatalogueRecord(0, &r));
    EXPECT_EQ(r.blocal, 1);
    EXPECT_EQ(r.mapindex, 4);
    ASSERT_TRUE(GetCatalogueRecord(1, &r));
    EXPECT_EQ(r.blocal, 0);
    std::vector<MapCatalogueRecord> saved;
    LoadMapCatalogue(&saved);
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].mapindex, 4);
    EXPECT_EQ(saved[1].mapindex, -1);
    DisableCatalogueMap(4);
    ASSERT_TRUE(GetCatalogueRecord(0, &r));
    EXPECT_EQ(r.blocal, 0);
}

TEST(OffsetFile, RecordsOfTheMapsSectionOnly)
{
    TempFolder folder;
    std::string path = folder / "offset.txt";
    WriteFileText(path, "[OTHER]\n10 0 10 0 5 1 1\n[Hamburg Chart]\n53 30 10 0 5 12 -7\n"
                        "/53 30 10 0 5 1 1\nshort\n-33 30 -70 15 6 3 4\n[NEXT]\n1 0 1 0 5 9 9\n");
    LoadOffsetsFrom(path.c_str(), "hamburg chart");
    const auto& offsets = GetStagingOffsets();
    ASSERT_EQ(offsets.size(), 2u);
    EXPECT_DOUBLE_EQ(offsets[0].latitude, 53.5);
    EXPECT_DOUBLE_EQ(offsets[0].longitude, 10.0);
    EXPECT_NEAR(offsets[0].radius, 0.0833, 1e-4);
    EXPECT_EQ(offsets[0].dx, 12);
    EXPECT_EQ(offsets[0].dy, -7);
    EXPECT_DOUBLE_EQ(offsets[1].latitude, -33.5);
    EXPECT_DOUBLE_EQ(offsets[1].longitude, -70.25);
    EXPECT_DOUBLE_EQ(offsets[1].north, -33.4);
    LoadOffsetsFrom((folder / "missing.txt").c_str(), "x");
    EXPECT_TRUE(GetStagingOffsets().empty());
}

TEST(Georeference, PolynomialCoefficientsGoStraightToTheActiveSet)
{
    ActiveGeoreference = MapGeoreference{};
    ASSERT_EQ(ParseGeoreference("2  1 2 3 4 5 6 7\n 8 9 10 11 12 13 14\n"), 2);
    EXPECT_EQ(StagingGeoreference.kind, 2);
    EXPECT_DOUBLE_EQ(StagingGeoreference.b[6], 14.0);
    EXPECT_DOUBLE_EQ(ActiveGeoreference.a[0], 1.0);
    EXPECT_EQ(ActiveGeoreference.kind, 0);  // the kind changes only when applied
    ApplyMapGeoreference();
    EXPECT_EQ(ActiveGeoreference.kind, 2);
}

TEST(Georeference, GridPointsAreReadNorthRowFirst)
{
    ASSERT_EQ(ParseGeoreference("1 54 53 11 10 0.5 0.5  0 0 100 0 200 0  0 100 100 100 200 100  0 200 100 200 "
                                "200 200"),
              1);
    const MapGeoreference& g = StagingGeoreference;
    EXPECT_EQ(g.rows, 3);
    EXPECT_EQ(g.columns, 3);
    EXPECT_EQ(g.points[2][1].x, 100);
    EXPECT_EQ(g.points[2][1].y, 200);
    EXPECT_EQ(GetGridCornerRecord().corners[2].x, 200);
    EXPECT_FLOAT_EQ(GetGridCornerRecord().corners[2].latitude, 53.0f);
    ApplyMapGeoreference();
    EXPECT_EQ(ActiveGeoreference.points[1][1].x, 100);
}

TEST(Georeference, OversizedOrBrokenGridsReadNoPoints)
{
    StagingGeoreference = MapGeoreference{};
    ASSERT_EQ(ParseGeoreference("1 60 0 60 0 1 1 5 5"), 1);
    EXPECT_EQ(StagingGeoreference.rows, 61);
    EXPECT_EQ(StagingGeoreference.points[0][0].x, 0);
    ASSERT_EQ(ParseGeoreference("1 54 53 11 10 0 0"), 1);
    EXPECT_EQ(StagingGeoreference.rows, 0);
    EXPECT_EQ(ParseGeoreference(""), -1);
}

// Values that are no numbers, or numbers no map holds, refuse the file where
// it is read: nothing of it reaches the staging or the active set, and the
// staging kind places nothing.
TEST(Georeference, FilesWithValuesNoMapHoldsAreRefusedWhole)
{
    const char* refused[] = {
        "2  nan 2 3 4 5 6 7\n 8 9 10 11 12 13 14\n",
        "2  1e300 2 3 4 5 6 7\n 8 9 10 11 12 13 14\n",
        "0  1 2 3 4 5 6 inf\n 8 9 10 11 12 13 14\n",
        "0  1 2 3 4 5 6 1e3\n 8 9 10 11 12 13 14\n",  // 1000 x lon^2 x lat^2 passes 2e9 pixels
        "2  1 2 3 4 5 6 7\n 8 9 10 11 12\n",          // cut short
        "2  1 2 3 4 5 6 7\n 8 9 10 11 12 13 fourteen\n",
        "1 1e300 53 11 10 0.5 0.5",
        "1 54 nan 11 10 0.5 0.5",
        "1 54 53 11 -1e308 0.5 0.5",
        "1 54 53 11 10 0.5 1e300",
        "1 54 53 11 10 0.5 0.5  0 0 100 0 200 0  0 100 100 1e300 200 100  0 200 100 200 200 200",
        "1 54 53 11 10 0.5 0.5  0 0 100 0 200 0  0 100 100 100 200 100  0 200 100 200 200",
        "1 54 53 11 10 0.5 0.5  0 0 100 0 200 0  0 100 100.5 100 200 100  0 200 100 200 200 200",
        "1e300 1 2 3",
    };
    ActiveGeoreference = MapGeoreference{};
    ActiveGeoreference.a[0] = 42.0;
    for (const char* text : refused) {
        SCOPED_TRACE(text);
        StagingGeoreference = MapGeoreference{};
        StagingGeoreference.kind = GeorefGrid;
        StagingGeoreference.a[6] = 5.0;
        StagingGeoreference.rows = 3;
        EXPECT_EQ(ParseGeoreference(text, "test"), -1);
        EXPECT_EQ(StagingGeoreference.kind, GeorefRefused);
        EXPECT_EQ(StagingGeoreference.a[6], 5.0);
        EXPECT_EQ(StagingGeoreference.rows, 3);
        EXPECT_EQ(ActiveGeoreference.a[0], 42.0);
        double x = 1, y = 1;
        ProjectWithGeoreference(StagingGeoreference, &x, &y, 10.0, 53.5);
        EXPECT_EQ(x, 0.0);
        EXPECT_EQ(y, 0.0);
    }
    // Values at the edges of their ranges are a map's.
    EXPECT_EQ(ParseGeoreference("1 90 -90 180 -180 180 180  0 0 100 0 200 0  0 100 100 100 200 100"), 1);
    EXPECT_EQ(ParseGeoreference("2  -9000 1000 0 0 0 0 0\n 54000 0 -1000 0 0 0 0\n"), 2);
}

TEST(Georeference, GridPixelsFarOutsideStayWithinTheLimit)
{
    // A grid of a tenth of a degree whose points lie 1e8 pixels apart,
    // asked for a place on the other side of the earth.
    ASSERT_EQ(ParseGeoreference("1 54 53.9 10.1 10 0.1 0.1  0 0 100000000 0  0 100000000 100000000 100000000"), 1);
    double x = 0, y = 0;
    ProjectWithGeoreference(StagingGeoreference, &x, &y, -170.0, -60.0);
    EXPECT_GE(x, -GeorefPixelLimit);
    EXPECT_LE(x, GeorefPixelLimit);
    EXPECT_GE(y, -GeorefPixelLimit);
    EXPECT_LE(y, GeorefPixelLimit);
}

TEST(OffsetFile, LinesWithValuesNoMapHoldsAreNoRecords)
{
    TempFolder folder;
    std::string path = folder / "offset.txt";
    WriteFileText(path, "[Hamburg Chart]\nnan 30 10 0 5 12 -7\n53 30 10 0 1e300 12 -7\n"
                        "53 30 10 0 5 99999999999 -7\n53 30 1e308 0 5 1 1\n53 30 10 0 5 1 1\n");
    LoadOffsetsFrom(path.c_str(), "hamburg chart");
    ASSERT_EQ(GetStagingOffsets().size(), 1u);
    EXPECT_EQ(GetStagingOffsets()[0].dx, 1);
}

TEST(Georeference, SheetSchemeHasNoOffsets)
{
    ASSERT_EQ(ParseGeoreference("3"), 3);
    EXPECT_TRUE(GetStagingOffsets().empty());
}

TEST(Georeference, ZippedFileIsReadFromThePackageBesideTheFolder)
{
    TempFolder folder;
    std::string package = folder / "area12.zip";
    ASSERT_TRUE(WriteZipArchive(package.c_str(), {{"area12/georef2.txt", "0\r\n1 2 3 4 5 6 7\r\n7 6 5 4 3 2 1\r\n"}}));
    StagingGeoreference = MapGeoreference{};
    EXPECT_EQ(LoadZippedGeoreferenceFrom((folder.Path() + "/area12/").c_str(), "georef2.txt"), 0);
    EXPECT_EQ(StagingGeoreference.kind, 0);
    EXPECT_DOUBLE_EQ(StagingGeoreference.b[0], 7.0);
    EXPECT_EQ(LoadZippedGeoreferenceFrom((folder.Path() + "/area12/").c_str(), "other.txt"), -2);
}

} // namespace
