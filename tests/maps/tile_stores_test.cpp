// The SQLite tile stores, terrain.db and the offline map catalogue.
#include "app/settings.h"
#include "display/map_types.h"
#include "maps/http_download.h"
#include "maps/tile_stores.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Exec(sqlite3* db, const char* sql)
{
    char* error = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
}

// An MBTiles-style store with one tile per (z, x, y) whose bytes name it.
void MakeStore(const std::string& path, bool withTable = true)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    if (withTable) {
        Exec(db, "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob)");
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
        for (int z = 7; z <= 9; z++) {
            for (int x = 0; x < 3; x++) {
                std::string bytes = "tile " + std::to_string(z) + "/" + std::to_string(x) + "/5";
                sqlite3_bind_int(insert, 1, z);
                sqlite3_bind_int(insert, 2, x);
                sqlite3_bind_int(insert, 3, 5);
                sqlite3_bind_blob(insert, 4, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
                sqlite3_step(insert);
                sqlite3_reset(insert);
            }
        }
        sqlite3_finalize(insert);
    } else {
        Exec(db, "CREATE TABLE other (a integer)");
    }
    sqlite3_close(db);
}

MapCatalogueRecord Map(int lfd, const char* name, int type, int layer, int west, int south, int east, int north)
{
    MapCatalogueRecord r{};
    r.lfd = lfd;
    CopyCatalogueText(r.name, sizeof r.name, name);
    r.numZoomLevels = 12;
    r.lon_min = west;
    r.lat_min = south;
    r.lon_max = east;
    r.lat_max = north;
    r.type = type;
    r.mapindex = layer;
    r.blocal = 1;
    CopyCatalogueText(r.extension, sizeof r.extension, "png");
    r.airac = 2301;
    return r;
}

class TileStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings.DebugMode = 1;
        SetLocalMapPath(folder.Path().c_str());
    }
    void TearDown() override { CloseTileDatabases(); }

    std::string Blob(uint8_t* data, uint32_t size)
    {
        std::string text(reinterpret_cast<char*>(data), size);
        free(data);
        return text;
    }

    TempFolder folder;
    WorkingFolder here{folder.Path()};
};

TEST_F(TileStoreTest, QueriesByZoomColumnAndRowAsTheyStand)
{
    MakeStore(folder / "enroute.db");
    uint8_t* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(OpenAndQueryZoomColumnRow(2, "enroute.db", 8, 2, 5, &data, &size), 1);
    EXPECT_EQ(Blob(data, size), "tile 8/2/5");
    EXPECT_EQ(OpenAndQueryZoomColumnRow(2, "enroute.db", 8, 2, 6, &data, &size), -1);
    EXPECT_EQ(data, nullptr);
}

TEST_F(TileStoreTest, ReadsLocalChartTilesFromTheRequestPath)
{
    MakeStore(folder / "enroute.db");
    uint8_t* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(ReadLocalChartTile("/tiles/vfr.php?tilename=9/1/5.png&id=3&val=4 ", "g11_9/1/5.png", &data, &size, 2),
              1);
    EXPECT_EQ(Blob(data, size), "tile 9/1/5");
    EXPECT_EQ(GetChartLayer(), 2);
}

TEST_F(TileStoreTest, PerZoomStoresAreQueriedByColumnAndRow)
{
    MakeStore(folder / "Sec_8.db");
    uint8_t* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(ReadLocalChartTile("/t.php?tilename=8/0/5.jpg&id=1", "x", &data, &size, 11), 1);
    // No zoom in the query: the first row of that column and row answers.
    EXPECT_EQ(Blob(data, size), "tile 7/0/5");
}

TEST_F(TileStoreTest, AStoreWithoutTheTableGivesNoTileAndALogLine)
{
    MakeStore(folder / "icao.db", false);
    uint8_t* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(OpenAndQueryZoomColumnRow(5, "icao.db", 8, 1, 5, &data, &size), -1);
    EXPECT_NE(ReadFileText(folder / "Tervalingo.log").find("no such table: tiles"), std::string::npos);
}

TEST_F(TileStoreTest, AMissingStoreSwitchesItsCatalogueMapOff)
{
    {
        CatalogueAccess access;
        access.Records() = {Map(1, "vfr_a", 11, 4, 5, 45, 15, 55), Map(2, "vfr_b", 11, 4, 5, 45, 15, 55)};
    }
    uint8_t* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(ReadLocalChartTile("/t.php?tilename=8/0/5.jpg&id=1", "x", &data, &size, 4), -1);
    MapCatalogueRecord r;
    ASSERT_TRUE(GetCatalogueRecord(0, &r));
    EXPECT_EQ(r.blocal, 0);
    ASSERT_TRUE(GetCatalogueRecord(1, &r));
    EXPECT_EQ(r.blocal, 1);
}

TEST_F(TileStoreTest, ACorruptStoreIsNoTile)
{
    WriteFileText(folder / "ercl.db", std::string(4096, 'x'));
    uint8_t* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(OpenAndQueryZoomColumnRow(4, "ercl.db", 8, 1, 5, &data, &size), -1);
    EXPECT_EQ(data, nullptr);
}

TEST_F(TileStoreTest, TerrainTilesComeFromTheirLatitudeTable)
{
    MakeFolders(folder / "System");
    MakeFolders(folder / "Terrain");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "Terrain/terrain.db").c_str(), &db), SQLITE_OK);
    Exec(db, "CREATE TABLE terrain_N47 (longitude integer, tile_data blob)");
    Exec(db, "INSERT INTO terrain_N47 VALUES (11, x'4a5047')");
    sqlite3_close(db);
    WorkingFolder system(folder / "System");
    uint8_t* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(ReadTerrainTileFromDb("N47", 11, &data, &size), 1);
    EXPECT_EQ(Blob(data, size), "JPG");
    EXPECT_EQ(ReadTerrainTileFromDb("N47", 12, &data, &size), -1);
    EXPECT_EQ(ReadTerrainTileFromDb("N47 WHERE 1=1; --", 11, &data, &size), -1);
    CloseTerrainDatabase();
}

TEST_F(TileStoreTest, CatalogueRebuildsAndLoadsBack)
{
    std::vector<MapCatalogueRecord> maps = {Map(7, "O'Hare chart", 11, 3, -90, 40, -85, 45),
                                            Map(9, "a name far longer than nineteen", 12, 0, 0, 0, 1, 1)};
    maps[1].blocal = 5;
    RebuildMapCatalogue(maps);
    RebuildMapCatalogue(maps);  // dropped and made again, not doubled
    std::vector<MapCatalogueRecord> loaded;
    LoadMapCatalogue(&loaded);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_STREQ(loaded[0].name, "O'Hare chart");
    EXPECT_EQ(loaded[0].lon_min, -90);
    EXPECT_EQ(loaded[0].lat_max, 45);
    EXPECT_STREQ(loaded[0].extension, "png");
    EXPECT_EQ(loaded[1].blocal, 1);
    EXPECT_EQ(strlen(loaded[1].name), 19u);
}

TEST_F(TileStoreTest, MissingCatalogueLeavesTheListAsItWas)
{
    std::vector<MapCatalogueRecord> list = {Map(1, "keep", 11, 0, 0, 0, 1, 1)};
    LoadMapCatalogue(&list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_STREQ(list[0].name, "keep");
}

TEST_F(TileStoreTest, EditionsAreComparedPerMap)
{
    RebuildMapCatalogue({Map(7, "a", 11, 0, 0, 0, 1, 1), Map(8, "b", 12, 0, 0, 0, 1, 1)});
    std::vector<CatalogueUpdate> same = {{7, 11, 2301}};
    EXPECT_FALSE(CompareCatalogueAirac(&same));
    EXPECT_EQ(same[0].type, -1);
    std::vector<CatalogueUpdate> newer = {{7, 11, 2301}, {8, 12, 2302}};
    EXPECT_TRUE(CompareCatalogueAirac(&newer));
    EXPECT_EQ(newer[0].type, -1);
    EXPECT_EQ(newer[1].type, 12);
}

TEST_F(TileStoreTest, MapIndexIsWrittenForTheMapNumber)
{
    RebuildMapCatalogue({Map(7, "a", 11, 0, 0, 0, 1, 1), Map(8, "b", 12, 0, 0, 0, 1, 1)});
    SetMapIndex(8, 6);
    std::vector<MapCatalogueRecord> loaded;
    LoadMapCatalogue(&loaded);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].mapindex, 0);
    EXPECT_EQ(loaded[1].mapindex, 6);
}

TEST_F(TileStoreTest, LocalMapsAreReadWithoutNumberOrFlag)
{
    RebuildMapCatalogue({});
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open("offline_catalogue.db", &db), SQLITE_OK);
    Exec(db, "CREATE TABLE localmaps (name text, numZoomLevels int, lon_min int, lat_max int, lon_max int, lat_min "
             "int, type int, mapindex int, extension text, airac int)");
    Exec(db, "INSERT INTO localmaps VALUES ('vfr_de', 12, 5, 55, 15, 47, 11, 2, 'png', 2301)");
    sqlite3_close(db);
    std::vector<MapCatalogueRecord> maps;
    LoadLocalMaps(&maps);
    ASSERT_EQ(maps.size(), 1u);
    EXPECT_STREQ(maps[0].name, "vfr_de");
    EXPECT_EQ(maps[0].mapindex, 2);
    EXPECT_EQ(maps[0].lfd, 0);
    EXPECT_EQ(maps[0].blocal, 0);
}

TEST_F(TileStoreTest, MaxZoomComesFromTheMapStrictlyAroundTheCentre)
{
    {
        CatalogueAccess access;
        access.Records() = {Map(1, "edge", 11, 0, 10, 50, 12, 52), Map(2, "topo_nz", 12, 0, 166, -48, 179, -34)};
        access.Records()[0].numZoomLevels = 9;
    }
    EXPECT_EQ(GetMapMaxZoomAt(11, 50.0, 11.0), 11);  // on the southern bound: outside
    EXPECT_EQ(GetMapMaxZoomAt(11, 51.0, 11.0), 9);
    char name[20];
    GetCurrentMapName(name, sizeof name);
    EXPECT_STREQ(name, "edge");
    EXPECT_EQ(GetMapMaxZoomAt(11, 0.0, 0.0), 9);  // the last answer again
    EXPECT_EQ(GetMapMaxZoomAt(12, -40.0, 175.0), 17);
}

} // namespace
