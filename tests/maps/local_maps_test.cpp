// Local raster map packages: descriptors and lists that do and do not add
// up, the map table from content.ini, the sheet under the aircraft, tile
// names and data levels, and the tile set handed from the loader thread to
// the textures of the bank that is shown next.
#include "maps/local_maps.h"
#include "display/zoom_animation.h"

#include "app/main_window.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/background_layers.h"
#include "display/frame_update.h"
#include "display/map_georeference.h"
#include "display/map_projection.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "display/softkey_pages.h"
#include "maps/system_files.h"
#include "maps/tile_stores.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "maps/tile_stores.h"
#include "navdata/simulators.h"
#include "navdata/zip_writer.h"
#include "platform/threads.h"
#include "tests/render/render_fixture.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

void WriteList(const std::string& path, const std::vector<const char*>& words)
{
    ASSERT_TRUE(WriteScrambledWords(path.c_str(), words, 321));
}

// A tile of one palette colour: entry 0 = (red, green, blue) of the tile.
void WriteSolidTile(const std::string& path, uint8_t red, uint8_t green, uint8_t blue)
{
    uint8_t palette[1024] = {};
    palette[0] = blue;
    palette[1] = green;
    palette[2] = red;
    std::vector<uint8_t> pixels(800 * 800, 0);
    ASSERT_TRUE(WriteMakerImageFile(path.c_str(), 800, 800, palette, pixels.data()));
}

// The tile colour that spells column and row (steps of a level).
uint8_t Red(int column) { return static_cast<uint8_t>(10 + column); }
uint8_t Green(int row) { return static_cast<uint8_t>(100 + row); }

class LocalMaps : public ::testing::Test {
protected:
    TempFolder root;
    std::string system = root / "System";

    void SetUp() override
    {
        MakeFolders(system);
        snprintf(DataFolder, sizeof DataFolder, "%s", root.Path().c_str());
        Settings.MapType = 0;
        Settings.Terrainstate = 0;
        CurrentChartLevel = 0;
        SetChosenChartType(-100);
    }

    // A map "area.bin" with the sheets given, listed in "list.bin" of content.ini.
    void MakeMap(const std::vector<const char*>& descriptor)
    {
        WriteFileText(system + "/content.ini", "[Maps]\nmaps=list.bin\nbroken line\n");
        WriteList(system + "/list.bin", {"2", "area.bin", "AirportUSA.bin"});
        WriteList(system + "/area.bin", descriptor);
    }
};

TEST(MapDescriptors, SheetsReadWithTheirFolderAndGeoreference)
{
    std::vector<MapSheet> s = ParseMapDescriptor(
        "3 54.5 53.0 11.0 9.5 1 0 area12_georef2.txt 55 54 12 10 7 15 north  60 59 1 0 2 0", "m.bin");
    ASSERT_EQ(s.size(), 2u);  // three named, two there
    EXPECT_STREQ(s[0].folder, "area12");
    EXPECT_STREQ(s[0].georefFile, "georef2.txt");
    EXPECT_DOUBLE_EQ(s[0].north, 54.5);
    EXPECT_DOUBLE_EQ(s[0].west, 9.5);
    EXPECT_EQ(s[0].type, 1);
    EXPECT_STREQ(s[1].folder, "north");
    EXPECT_STREQ(s[1].georefFile, "georef.txt");
    EXPECT_EQ(s[1].secondValue, 15);
}

TEST(MapDescriptors, FoldersThatLeaveTheDataRootAreSkipped)
{
    std::vector<MapSheet> s = ParseMapDescriptor("4 1 0 1 0 1 0 ../etc  1 0 1 0 1 0 /abs  1 0 1 0 1 0 a/../../b "
                                                 "1 0 1 0 1 0 fine",
                                                 "m.bin");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_STREQ(s[0].folder, "fine");
    EXPECT_TRUE(ParseMapDescriptor("", "m.bin").empty());
    EXPECT_TRUE(ParseMapDescriptor("-5 1 0 1 0 1 0 x", "m.bin").empty());
    // Bounds that are no place on earth, also ones that add up to nothing.
    EXPECT_TRUE(ParseMapDescriptor("2 1e308 -1e308 1e308 -1e308 1 0 wide 54 53 nan 9 1 0 x", "m.bin").empty());
    EXPECT_EQ(ParseMapDescriptor("2 91 53 11 9 1 0 polar 54 53 11 9 1 0 fine", "m.bin").size(), 1u);
    std::string longName(60, 'x');
    EXPECT_TRUE(ParseMapDescriptor(("1 1 0 1 0 1 0 " + longName).c_str(), "m.bin").empty());
}

TEST(MapDescriptors, ListsLeaveAirportListsOut)
{
    std::vector<std::string> maps = ParseMapList("5 ICAO.bin Airports.bin AptUSA.bin VFR.bin", "l.bin");
    EXPECT_EQ(maps, (std::vector<std::string>{"ICAO.bin", "VFR.bin"}));
    EXPECT_EQ(ParseMapList("1 a.bin b.bin", "l.bin"), std::vector<std::string>{"a.bin"});
    EXPECT_TRUE(ParseMapList("2 ../x.bin", "l.bin").empty());
}

TEST(LocalTiles, TileUnderTheAircraftAndItsNeighbours)
{
    char name[700];
    LocalTileName("/r/area/", 0, 800, 1700, 900, 0, 0, name, sizeof name);
    EXPECT_STREQ(name, "/r/area/data0/016008.qrl");
    LocalTileName("/r/area/", 0, 800, 1700, 900, 1, -1, name, sizeof name);
    EXPECT_STREQ(name, "/r/area/data0/024000.qrl");
    LocalTileName("/r/area/", 1, 800, 1700, 900, 0, 0, name, sizeof name);
    EXPECT_STREQ(name, "/r/area/data1/016000.qrl");  // 1600-pixel tiles, step 16
    LocalTileName("/r/area/", 4, 800, 5000, 100, 1, 0, name, sizeof name);
    EXPECT_STREQ(name, "/r/area/data4/096000.qrl");  // 4800-pixel tiles, step 48
    // Near the top-left corner the tiles beyond it are blank.
    LocalTileName("/r/area/", 0, 800, 100, 100, -1, 0, name, sizeof name);
    EXPECT_STREQ(name, "/r/area/999999.qrl");
    LocalTileName("/r/area/", 0, 800, 100, -5, 0, 0, name, sizeof name);
    EXPECT_STREQ(name, "/r/area/999999.qrl");
}

TEST(LocalTiles, SlotsAreWhereTheBackgroundLayerDrawsThem)
{
    for (int slot = 0; slot < LocalMapFullSet; slot++) {
        int dc, dr, column, row;
        LocalTileOffset(slot, &dc, &dr);
        LocalTilePosition(slot, &column, &row);
        EXPECT_EQ(dc, column - 2) << slot;
        EXPECT_EQ(dr, row - 2) << slot;
    }
    int dc, dr;
    LocalTileOffset(0, &dc, &dr);
    EXPECT_EQ(dc, 0);  // the aircraft's tile comes first
    EXPECT_EQ(dr, 0);
    for (int slot = 1; slot < LocalMapInnerSet; slot++) {
        LocalTileOffset(slot, &dc, &dr);
        EXPECT_LE(std::abs(dc), 1);
        EXPECT_LE(std::abs(dr), 1);
    }
}

TEST_F(LocalMaps, DataLevelStepsDownToAFolderWithTiles)
{
    std::string sheet = root / "area/";
    MakeFolders(sheet + "data0");
    MakeFolders(sheet + "data1");
    EXPECT_EQ(ChooseDataLevel(sheet.c_str(), 3), 1);
    EXPECT_EQ(ChooseDataLevel(sheet.c_str(), 1), 1);
    EXPECT_EQ(ChooseDataLevel(sheet.c_str(), 9), 1);
    std::string top = std::filesystem::path(root.Path()).filename().string();
    ASSERT_TRUE(WriteZipArchive((root / "area.zip").c_str(), {{top + "/area/data2/000000.qrj", "x"}}));
    EXPECT_EQ(ChooseDataLevel(sheet.c_str(), 4), 2);  // packed in the parent's package
    std::filesystem::remove_all(sheet + "data1");
    EXPECT_EQ(ChooseDataLevel((root / "none/").c_str(), 2), 0);
}

TEST_F(LocalMaps, ContentListsGiveTheMapTable)
{
    WorkingFolder here(system);
    MakeMap({"1", "54", "53", "11", "9", "1", "0", "area"});
    WriteFileText(system + "/content.ini", "maps=list.bin\nother=Korvane.bin\nmissing=nothing.bin\n");
    WriteList(system + "/Korvane.bin", {"1", "secret.bin"});
    LoadMapContent(1);
    ASSERT_EQ(GetLocalMapCount(), 1);
    EXPECT_STREQ(GetLocalMapName(0), "area.bin");
    EXPECT_TRUE(IsLocalMapPresent(0));
    EXPECT_STREQ(GetLocalMapName(1), "");
    FreeMapBuffers();
    EXPECT_FALSE(IsLocalMapPresent(0));
    LoadMapContent(0);  // read once already: kept as it is
    EXPECT_FALSE(IsLocalMapPresent(0));
    LoadMapContent(1);
    EXPECT_TRUE(IsLocalMapPresent(0));
}

TEST_F(LocalMaps, TpcChartsBecomeAListOfTheirOwn)
{
    WorkingFolder here(system);
    MakeFolders(root / "TPC/E1");
    MakeFolders(root / "TPC/E2");
    WriteList(system + "/TPC_E1.bin", {"1", "54", "53", "11", "9", "11", "0", "E1"});
    LoadTPCMaps();
    std::vector<char> text;
    ASSERT_EQ(ReadScrambledBin("tpc.bin", &text, nullptr), 0);
    EXPECT_STREQ(text.data(), "1\nTPC_E1.bin\n");
    LoadMapContent(1);
    ASSERT_EQ(GetLocalMapCount(), 1);
    EXPECT_STREQ(GetLocalMapName(0), "TPC_E1.bin");  // the chart's own descriptor
}

TEST_F(LocalMaps, SheetUnderTheAircraftBecomesCurrent)
{
    WorkingFolder here(system);
    MakeMap({"3", "54", "53", "11", "9", "3", "0", "terrain", "54", "53", "11", "9", "1", "0", "west_georef7.txt",
             "54", "53", "13", "11", "1", "0", "east"});
    LoadMapContent(1);
    LoadMapSheets();
    ASSERT_EQ(GetMapSheets().size(), 3u);
    EXPECT_FALSE(SelectLocalMapSheet(55.0, 10.0));
    ASSERT_TRUE(SelectLocalMapSheet(54.0, 10.0));  // the northern edge is inside, the terrain sheet is not taken
    char folder[600], georef[32];
    GetLocalMapFolder(folder, sizeof folder);
    GetGeorefFileName(georef, sizeof georef);
    EXPECT_EQ(std::string(folder), root / "west/");
    EXPECT_STREQ(georef, "georef7.txt");
    EXPECT_STREQ(Settings.MapName, "area.bin");
    EXPECT_TRUE(IsInsideCurrentSheet(53.0, 9.0));  // the shown sheet's bounds are inclusive
    ASSERT_TRUE(SelectLocalMapSheet(53.5, 12.0));
    GetLocalMapFolder(folder, sizeof folder);
    EXPECT_EQ(std::string(folder), root / "east/");
    EXPECT_FALSE(SelectLocalMapSheet(53.0, 12.0));  // the southern edge is outside
}

TEST_F(LocalMaps, SheetTypesAreWantedByTheCurrentMapsType)
{
    SetChosenChartType(-100);
    EXPECT_TRUE(IsWantedSheetType(2, 2));
    EXPECT_TRUE(IsWantedSheetType(6, 4));
    EXPECT_TRUE(IsWantedSheetType(7, 1));
    EXPECT_FALSE(IsWantedSheetType(2, 1));
    EXPECT_FALSE(IsWantedSheetType(6, 2));
    SetChosenChartType(2);
    EXPECT_TRUE(IsWantedSheetType(2, 1));
    EXPECT_FALSE(IsWantedSheetType(6, 4));
}

TEST_F(LocalMaps, TerrainSheetIsTakenOnlyWithTerrainOn)
{
    WorkingFolder here(system);
    MakeMap({"1", "54", "53", "11", "9", "3", "0", "terrain"});
    LoadMapContent(1);
    LoadMapSheets();
    EXPECT_FALSE(SelectLocalMapSheet(53.5, 10.0));
    Settings.Terrainstate = 1;
    EXPECT_TRUE(SelectLocalMapSheet(53.5, 10.0));
}

TEST_F(LocalMaps, MissingDescriptorMarksTheMapNotPresent)
{
    WorkingFolder here(system);
    MakeMap({"1", "54", "53", "11", "9", "1", "0", "area"});
    LoadMapContent(1);
    std::filesystem::remove(system + "/area.bin");
    LoadMapSheets();
    EXPECT_FALSE(IsLocalMapPresent(0));
    EXPECT_TRUE(GetMapSheets().empty() || GetMapSheets().size() == 0u);
}

// An overview map and a detailed one laid over it: of the sheets found since
// a search began, the one whose edges lie nearest is shown; a sheet the
// position has left gives way to any other.
TEST_F(LocalMaps, TheSheetNearestItsEdgesIsShown)
{
    WorkingFolder here(system);
    WriteFileText(system + "/content.ini", "maps=list.bin\n");
    WriteList(system + "/list.bin", {"2", "overview.bin", "detail.bin"});
    WriteList(system + "/overview.bin", {"1", "56", "50", "15", "5", "1", "0", "overview"});
    WriteList(system + "/detail.bin", {"1", "54", "53", "11", "9", "1", "0", "detail"});
    LoadMapContent(1);
    auto selectIn = [](int map, double latitude, double longitude) {
        Settings.MapType = map;
        LoadMapSheets();
        return SelectLocalMapSheet(latitude, longitude);
    };
    char folder[600], name[64];
    TakeFoundLocalSheet();
    ASSERT_TRUE(selectIn(0, 53.5, 10.0));
    EXPECT_EQ(GetCurrentSheetMap(), 0);
    ASSERT_TRUE(selectIn(1, 53.5, 10.0));  // 0.5 from its edges, the overview 2.5
    EXPECT_EQ(GetCurrentSheetMap(), 1);
    ASSERT_TRUE(selectIn(0, 53.5, 10.0));  // found, but the detail stays
    EXPECT_EQ(GetCurrentSheetMap(), 1);
    GetLocalMapFolder(folder, sizeof folder);
    EXPECT_EQ(std::string(folder), root / "detail/");
    EXPECT_STREQ(Settings.MapName, "detail.bin");
    GetSelectedLocalMapName(name, sizeof name);
    EXPECT_STREQ(name, "detail.bin");
    ASSERT_TRUE(selectIn(0, 55.0, 10.0));  // out of the detail
    EXPECT_EQ(GetCurrentSheetMap(), 0);
    ASSERT_TRUE(selectIn(1, 53.5, 10.0));
    ASSERT_TRUE(selectIn(0, 53.5, 10.0));
    EXPECT_EQ(GetCurrentSheetMap(), 1);
    TakeFoundLocalSheet();  // a new search takes what it finds first
    ASSERT_TRUE(selectIn(0, 53.5, 10.0));
    EXPECT_EQ(GetCurrentSheetMap(), 0);
}

TEST_F(LocalMaps, WithoutACatalogueMapTheLocalMapNamesTheMap)
{
    WorkingFolder here(system);
    MakeMap({"1", "54", "53", "11", "9", "1", "0", "area"});
    LoadMapContent(1);
    LoadMapSheets();
    SetCurrentMap("", "jpg");
    TakeFoundLocalSheet();
    ASSERT_TRUE(SelectLocalMapSheet(53.5, 10.0));
    char name[20];
    GetCurrentMapName(name, sizeof name);
    EXPECT_STREQ(name, "area.bin");
    SetCurrentMap("vfr_de", "png");  // a catalogue map found at the centre
    GetCurrentMapName(name, sizeof name);
    EXPECT_STREQ(name, "vfr_de");
    SetCurrentMap("", "jpg");
}

TEST_F(LocalMaps, MapsAtTheCentreAreListedWithTheirTypes)
{
    WorkingFolder here(system);
    MakeMap({"3", "54", "53", "11", "9", "7", "0", "vfr", "54", "53", "11", "9", "4", "0", "airport", "60", "59",
             "11", "9", "2", "0", "far"});
    LoadMapContent(1);
    MapCenter.latitude = 53.5;
    MapCenter.longitude = 10.0;
    MarkMapTypeAvailable(2);
    EXPECT_EQ(FindMapsAtPosition(), 1);
    std::vector<MapAtPosition> found = GetMapsAtPosition();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_STREQ(found[0].folder, "vfr");
    EXPECT_TRUE(IsMapTypeAvailable(7));
    EXPECT_FALSE(IsMapTypeAvailable(4));
    EXPECT_FALSE(IsMapTypeAvailable(2));
}

// Listing the maps at the centre keeps the catalogue maps there on the
// map-type page: without them there was no key back to the demo map.
TEST_F(LocalMaps, TheCatalogueMapAtTheCentreStaysAvailableBesideThePackages)
{
    WorkingFolder here(system);
    MakeMap({"1", "54", "53", "11", "9", "7", "0", "vfr"});
    LoadMapContent(1);
    MapCenter.latitude = 53.5;
    MapCenter.longitude = 10.0;
    MapCatalogueRecord grid{};
    CopyCatalogueText(grid.name, sizeof grid.name, "demogrid");
    grid.type = 11;
    grid.lon_min = 9;
    grid.lon_max = 11;
    grid.lat_min = 53;
    grid.lat_max = 54;
    {
        CatalogueAccess access;
        access.Records() = {grid};
    }
    EXPECT_EQ(FindMapsAtPosition(), 1);
    EXPECT_TRUE(IsMapTypeAvailable(7));
    EXPECT_TRUE(IsMapTypeAvailable(11));
    CatalogueAccess access;
    access.Records().clear();
}

// The loader on the headless renderer: a sheet of 5 x 5 tiles at level 0
// and level 1, the aircraft in tile (2, 2) of level 0.
class LocalMapLoader : public RenderTest {
protected:
    TempFolder root;
    std::string system = root / "System";
    std::string sheet = root / "area/";

    void SetUp() override
    {
        RenderTest::SetUp();
        MakeFolders(system);
        snprintf(DataFolder, sizeof DataFolder, "%s", root.Path().c_str());
        Settings.MapType = 0;
        Settings.UseSimulator = SimulatorNone;  // no simulator moves the centre
        CurrentChartLevel = 0;
        ChartZoomOutSteps = 0;
        LocalMapTileCount = LocalMapFullSet;
        MakeFolders(sheet + "data0");
        MakeFolders(sheet + "data1");
        for (int c = 0; c < 5; c++)
            for (int r = 0; r < 5; r++) {
                char name[32];
                snprintf(name, sizeof name, "data0/%3.3d%3.3d.qrl", c * 8, r * 8);
                WriteSolidTile(sheet + name, Red(c), Green(r), 0);
            }
        for (int c = 0; c < 3; c++)
            for (int r = 0; r < 3; r++) {
                char name[32];
                snprintf(name, sizeof name, "data1/%3.3d%3.3d.qrl", c * 16, r * 16);
                WriteSolidTile(sheet + name, Red(c), Green(r), 1);
            }
        WriteSolidTile(sheet + "999999.qrl", 255, 255, 255);
        // Sheet pixels: x = 1000 (lon - 9), y = 1000 (54 - lat); 4000 x 4000.
        WriteFileText(sheet + "georef.txt", "2\n-9000 1000 0 0 0 0 0\n54000 0 -1000 0 0 0 0\n");
        WriteFileText(system + "/content.ini", "maps=list.bin\n");
        WriteList(system + "/list.bin", {"1", "area.bin"});
        WriteList(system + "/area.bin", {"1", "54", "50", "13", "9", "1", "0", "area"});
    }
    void TearDown() override
    {
        ReleaseLocalMapTextures();
        ChartZoomOutSteps = 0;
        ClearTileRestartFlag();
        ClearCatalogueRequest();
        RenderTest::TearDown();
    }

    // The map's sheet at the position made current with its georeference.
    void OpenSheetAt(double latitude, double longitude)
    {
        LoadMapContent(1);
        LoadMapSheets();
        MapCenter.latitude = latitude;
        MapCenter.longitude = longitude;
        ASSERT_TRUE(SelectLocalMapSheet(latitude, longitude));
        LoadMapGeoreference();
        ApplyMapGeoreference();
        ResetLoadedLocalTiles();
    }

    // The map-type page's key of the packages of type 1 ("ICAO"), pressed
    // with the map centre at the position and no local map chosen.
    void PressPackageKeyAt(double latitude, double longitude)
    {
        LoadMapContent(1);
        MapCenter.latitude = latitude;
        MapCenter.longitude = longitude;
        Settings.MapType = -1;
        Settings.Softkeysublevel = 0;
        Settings.NavAirport = 0;
        MapTypeSoftkeyIds[0] = 1;
        MapTypeMenuCommand(0);
    }

    // Runs the loader and the uploads as the frames would, until the set
    // is loaded.
    void LoadSet()
    {
        for (int frame = 0; frame < 400 && !IsNewLocalMapBankDue(); frame++) {
            StartLocalMapTileLoader();
            for (int wait = 0; wait < 2000 && IsLocalMapLoaderBusy() && !IsLocalMapTileWaiting(); wait++)
                Sleep(1);
            UploadNextLocalMapTile();
        }
        ASSERT_TRUE(IsNewLocalMapBankDue());
    }

    // The colour (0xAABBGGRR) of the texture of a slot of the shown set.
    uint32_t SlotColour(int slot)
    {
        const SpriteSlot& s = LocalMapTexture[GetDisplayedTileBank() == 0 ? 1 : 0][slot];
        if (!s.loaded || !s.texture)
            return 0;
        ID3D11Resource* r = nullptr;
        s.texture->GetResource(&r);
        uint32_t t = GpuReadPixel(r, 400, 400);
        r->Release();
        return t;
    }
    static uint32_t Colour(int c, int r, int level)
    {
        return 0xFF000000u | static_cast<uint32_t>(level) << 16 | static_cast<uint32_t>(Green(r)) << 8 | Red(c);
    }
};

TEST_F(LocalMapLoader, InnerSetFirstThenTheWholeSetRoundTheAircraft)
{
    WorkingFolder here(system);
    OpenSheetAt(51.8, 11.0);  // sheet pixel (2000, 2200): tile column 2, row 2
    LoadSet();
    EXPECT_EQ(LocalMapTileCount.load(), LocalMapInnerSet);
    BeginLocalMapBank();
    EXPECT_EQ(TileMapFlag.load(), 0);
    const TileGridBank& shown = TileGridBanks[GetDisplayedTileBank()];
    EXPECT_EQ(shown.cellSize, 800);
    EXPECT_EQ(shown.level, LocalMapInnerSet);
    EXPECT_DOUBLE_EQ(GridOriginX, 800.0);
    EXPECT_DOUBLE_EQ(GridOriginY, 800.0);
    EXPECT_DOUBLE_EQ(GridPixelHeight, 2400.0);
    for (int slot = 0; slot < LocalMapInnerSet; slot++) {
        int dc, dr;
        LocalTileOffset(slot, &dc, &dr);
        EXPECT_EQ(SlotColour(slot), Colour(2 + dc, 2 + dr, 0)) << slot;
    }
    // The whole set loads next into the other bank and is shown in its turn.
    EXPECT_EQ(LocalMapTileCount.load(), LocalMapFullSet);
    EXPECT_EQ(GetLoadedLocalTileCount(), 0);
    LoadSet();
    BeginLocalMapBank();
    EXPECT_TRUE(IsLocalSheetSetComplete());
    EXPECT_EQ(TileGridBanks[GetDisplayedTileBank()].level, LocalMapFullSet);
    EXPECT_DOUBLE_EQ(GridOriginX, 0.0);
    EXPECT_DOUBLE_EQ(GridPixelHeight, 4000.0);
    for (int slot = 0; slot < LocalMapFullSet; slot++) {
        int dc, dr;
        LocalTileOffset(slot, &dc, &dr);
        EXPECT_EQ(SlotColour(slot), Colour(2 + dc, 2 + dr, 0)) << slot;
    }
}

TEST_F(LocalMapLoader, UpperLevelTilesAndBlankTilesPastTheCorner)
{
    WorkingFolder here(system);
    CurrentChartLevel = 3;  // no data3: level 1 is taken
    LocalMapTileCount = LocalMapInnerSet;
    OpenSheetAt(53.9, 9.1);  // sheet pixel (100, 100): level-1 tile (0, 0)
    LoadSet();
    BeginLocalMapBank();
    EXPECT_EQ(CurrentChartLevel, 1);
    EXPECT_EQ(TileGridBanks[GetDisplayedTileBank()].cellSize, 1600);
    EXPECT_EQ(SlotColour(0), Colour(0, 0, 1));
    EXPECT_EQ(SlotColour(5), Colour(1, 0, 1));  // east
    EXPECT_EQ(SlotColour(4), 0xFFFFFFFFu);       // north-west: blank
    EXPECT_EQ(SlotColour(1), 0xFFFFFFFFu);       // north: blank
}

TEST_F(LocalMapLoader, TheMapTypeMenuTakesTheMostDetailedPackageAtTheAircraft)
{
    WorkingFolder here(system);
    LocalMapTileCount = LocalMapInnerSet;
    WriteList(system + "/list.bin", {"2", "wide.bin", "area.bin"});
    WriteList(system + "/wide.bin", {"1", "60", "40", "20", "0", "1", "0", "wide"});
    PressPackageKeyAt(51.8, 11.0);
    EXPECT_EQ(Settings.MapType.load(), 1);
    char folder[600];
    GetLocalMapFolder(folder, sizeof folder);
    EXPECT_EQ(std::string(folder), sheet);
    EXPECT_STREQ(Settings.MapName, "area.bin");
    LoadSet();
    BeginLocalMapBank();
    EXPECT_EQ(SlotColour(0), Colour(2, 2, 0));  // the area's own tiles
}

TEST_F(LocalMapLoader, MissingAircraftTileAsksForTheSheetAgain)
{
    WorkingFolder here(system);
    LocalMapTileCount = LocalMapInnerSet;
    std::filesystem::remove(sheet + "data0/016016.qrl");
    OpenSheetAt(51.8, 11.0);
    LoadSet();
    EXPECT_TRUE(TakeLocalSheetReselectRequest());
    EXPECT_FALSE(TakeLocalSheetReselectRequest());
    GridOriginX = -1;
    BeginLocalMapBank();
    EXPECT_DOUBLE_EQ(GridOriginX, -1);  // a failed set keeps the origin shown
    EXPECT_EQ(SlotColour(0), 0xFFFFFFFFu);
}

TEST_F(LocalMapLoader, ZoomStepsWaitForTheirSetAndFineStepsMagnifyLevelZero)
{
    WorkingFolder here(system);
    LocalMapTileCount = LocalMapInnerSet;
    OpenSheetAt(51.8, 11.0);
    EXPECT_EQ(GetLocalMapSource(), 0);
    LoadSet();
    BeginLocalMapBank();
    EXPECT_EQ(GetLocalMapSource(), LocalMapSetWhole);
    EXPECT_EQ(GetShownLocalMapLevel(), 0);

    const TileGridBank& shown = TileGridBanks[GetDisplayedTileBank()];
    // A zoom step's animation owns the scale while it runs.
    ChartZoomOutSteps = 2;
    RequestLocalStepZoom(1, 2);
    SettleLocalMapZoom();
    EXPECT_FLOAT_EQ(shown.tileScale, 1.0f);
    ResetZoomAnimations();
    ChartZoomOutSteps = 2;
    SettleLocalMapZoom();
    EXPECT_FLOAT_EQ(shown.tileScale, 4.0f);
    EXPECT_DOUBLE_EQ(GetLocalMapScale(), 0.25);
    ChartZoomOutSteps = 1000;  // never more than the finest step
    SettleLocalMapZoom();
    EXPECT_FLOAT_EQ(shown.tileScale, 16.0f);
    ChartZoomOutSteps = -3;
    SettleLocalMapZoom();
    EXPECT_FLOAT_EQ(shown.tileScale, 1.0f);

    // A level step loads the set anew; fine steps belong to level 0 alone.
    ChartZoomOutSteps = 2;
    CurrentChartLevel = 1;
    SetLocalMapSource(0);
    EXPECT_EQ(GetLocalMapSource(), 0);
    EXPECT_EQ(GetShownLocalMapLevel(), 0);  // until the new level's set is shown
    LoadSet();
    BeginLocalMapBank();
    SettleLocalMapZoom();
    EXPECT_EQ(CurrentChartLevel, 1);
    EXPECT_FLOAT_EQ(TileGridBanks[GetDisplayedTileBank()].tileScale, 1.0f);
    EXPECT_DOUBLE_EQ(GetLocalMapScale(), 2.0);
    TileMapFlag = 1;  // a tile grid's scale is the tile grid's own
    TileGridBanks[GetDisplayedTileBank()].tileScale = 0.5f;
    SettleLocalMapZoom();
    EXPECT_FLOAT_EQ(TileGridBanks[GetDisplayedTileBank()].tileScale, 0.5f);
    TileGridBanks[GetDisplayedTileBank()].tileScale = 1.0f;
}

TEST_F(LocalMapLoader, ALevelStepsSetIsShownOnceItsAnimationHasEnded)
{
    WorkingFolder here(system);
    LocalMapTileCount = LocalMapInnerSet;
    OpenSheetAt(51.8, 11.0);
    LoadSet();
    ASSERT_TRUE(BeginDueLocalMapBank());
    EXPECT_EQ(GetShownLocalMapLevel(), 0);
    // Zoom out to level 1 over two seconds; its set loads meanwhile.
    RequestLocalLevelZoom(0, 1, 2.0);
    CurrentChartLevel = 1;
    SetLocalMapSource(0);
    LoadSet();
    ViewRect rect{};
    AnimateLocalZoom(&rect, 0, 0, 10, 10, 10.0);
    AnimateLocalZoom(&rect, 0, 0, 10, 10, 11.0);
    EXPECT_FALSE(BeginDueLocalMapBank());
    EXPECT_EQ(GetShownLocalMapLevel(), 0);
    EXPECT_FLOAT_EQ(TileGridBanks[GetDisplayedTileBank()].tileScale, 0.75f);
    AnimateLocalZoom(&rect, 0, 0, 10, 10, 12.5);
    EXPECT_FLOAT_EQ(TileGridBanks[GetDisplayedTileBank()].tileScale, 0.5f);
    ASSERT_TRUE(BeginDueLocalMapBank());
    EXPECT_EQ(GetShownLocalMapLevel(), 1);
    EXPECT_FLOAT_EQ(TileGridBanks[GetDisplayedTileBank()].tileScale, 1.0f);
    EXPECT_FALSE(IsLocalZoomRequested());
    // The next frame leaves the new set's scale alone.
    AnimateLocalZoom(&rect, 0, 0, 10, 10, 13.0);
    EXPECT_FLOAT_EQ(TileGridBanks[GetDisplayedTileBank()].tileScale, 1.0f);
    TileGridBanks[1 - GetDisplayedTileBank()].tileScale = 1.0f;
}

TEST_F(LocalMapLoader, OpeningAMapTakesItsSheetUnderTheAircraftOrNone)
{
    WorkingFolder here(system);
    LocalMapTileCount = LocalMapInnerSet;
    LoadMapContent(1);
    MapCenter.latitude = 51.8;
    MapCenter.longitude = 11.0;
    Settings.MapType = 0;
    ASSERT_TRUE(OpenLocalMapAtPosition(1));
    char folder[600];
    GetLocalMapFolder(folder, sizeof folder);
    EXPECT_EQ(std::string(folder), sheet);
    EXPECT_TRUE(IsLocalMapLoaderBusy() || GetLoadedLocalTileCount() > 0);  // started at its first tile
    LoadSet();
    BeginLocalMapBank();
    EXPECT_EQ(SlotColour(0), Colour(2, 2, 0));

    MapCenter.latitude = 58.0;  // beyond every sheet
    EXPECT_FALSE(OpenLocalMapAtPosition(0));
    MapCenter.latitude = 51.8;
    for (int index : {-1, 1, 1000}) {
        Settings.MapType = index;
        EXPECT_FALSE(OpenLocalMapAtPosition(0)) << index;
    }
    // A map whose descriptor went leaves no sheets of the map before.
    Settings.MapType = 0;
    std::filesystem::remove(system + "/area.bin");
    FreeMapBuffers();
    EXPECT_FALSE(OpenLocalMapAtPosition(0));
    EXPECT_TRUE(GetMapSheets().empty());
}

TEST_F(LocalMapLoader, TilesAskedBackBeginNoLocalSetUntilTheirGridIsShown)
{
    WorkingFolder here(system);
    LocalMapTileCount = LocalMapInnerSet;
    OpenSheetAt(51.8, 11.0);
    SetTileRestartFlag();
    for (int frame = 0; frame < 20; frame++) {
        StartLocalMapTileLoader();
        UploadNextLocalMapTile();
    }
    EXPECT_EQ(GetLoadedLocalTileCount(), 0);  // no set is begun
    ClearTileRestartFlag();
    LoadSet();
    SetTileRestartFlag();  // a set that is whole by now is dropped
    EXPECT_FALSE(IsNewLocalMapBankDue());
    ClearTileRestartFlag();
    EXPECT_FALSE(IsNewLocalMapBankDue());
    // A local map chosen while tiles are shown stops their loader; a grid
    // it completed is not shown over the map.
    TileMapFlag = 1;
    SetTileRestartFlag();
    RestartMapTiles(0);
    EXPECT_TRUE(IsCatalogueRequestPending());
    EXPECT_FALSE(IsTileRestartPending());
    EXPECT_FALSE(IsTileGridComplete());
    ClearCatalogueRequest();
    EXPECT_FALSE(IsCatalogueRequestPending());
}

// A package taken from the map-type page while tiles are shown stops their
// loader and raises the catalogue request: the frame starts no grid of its
// own until the package's sheet is seen to cover the map.
TEST_F(LocalMapLoader, APackageTakenOverTheTilesRaisesTheCatalogueRequest)
{
    WorkingFolder here(system);
    TileMapFlag = 1;
    PressPackageKeyAt(51.8, 11.0);
    EXPECT_EQ(Settings.MapType.load(), 0);
    EXPECT_TRUE(IsCatalogueRequestPending());
    EXPECT_FALSE(IsTileGridComplete());
}

// The package key pressed while tiles are shown: the frames load the
// package's set as they load a local map's, and once it is whole the map
// shows the package and waits for no map any more.
TEST_F(LocalMapLoader, APackageTakenOverTheTilesIsShownOnceItsSetIsLoaded)
{
    WorkingFolder here(system);
    LocalMapTileCount = LocalMapInnerSet;
    TileMapFlag = 1;
    ResetFrameUpdate();
    MainWindowState.relayoutRequest = 1;  // no tile grid of the frames' own
    float x, y, heading, mapAngle, symbolAngle;
    UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &heading, &mapAngle, &symbolAngle, 640, 480);
    ASSERT_EQ(TileMapFlag.load(), 1);  // the first frame found no local map to start with
    PressPackageKeyAt(51.8, 11.0);
    ASSERT_TRUE(IsCatalogueRequestPending());
    for (int frame = 0; frame < 400 && TileMapFlag.load(); frame++) {
        UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &heading, &mapAngle, &symbolAngle, 640, 480);
        for (int wait = 0; wait < 2000 && IsLocalMapLoaderBusy() && !IsLocalMapTileWaiting(); wait++)
            Sleep(1);
        UploadNextLocalMapTile();
    }
    MainWindowState.relayoutRequest = 0;
    EXPECT_EQ(TileMapFlag.load(), 0);
    EXPECT_FALSE(IsCatalogueRequestPending());
    EXPECT_EQ(SlotColour(0), Colour(2, 2, 0));
}

// The selection that stopped the tiles for a package finds none at the
// position: the tiles start again and the request ends with them.
TEST_F(LocalMapLoader, ASelectionWithoutAPackageAtThePositionStartsTheTilesAgain)
{
    WorkingFolder here(system);
    LoadMapContent(1);
    TileMapFlag = 1;
    Settings.MapType = -1;
    MapCenter.latitude = 58.0;  // beyond every sheet
    MapCenter.longitude = 11.0;
    RestartMapTiles(0);
    ASSERT_TRUE(IsCatalogueRequestPending());
    SelectMapType(false, 1, false);
    EXPECT_FALSE(IsCatalogueRequestPending());
    EXPECT_EQ(Settings.MapType.load(), -1);
    EXPECT_EQ(CurrentTileMapType.load(), 1);
}

// With no package to take over, a map change in tile-map mode leaves the
// tile loader running: stopping it would only empty the map.
TEST(TileStop, NoPackagesNoStop)
{
    ASSERT_EQ(GetLocalMapCount(), 0);
    TileMapFlag = 1;
    RestartMapTiles(0);
    EXPECT_FALSE(IsCatalogueRequestPending());
    ResumeStoppedTiles();  // nothing stopped: nothing to do
    EXPECT_FALSE(IsCatalogueRequestPending());
}

} // namespace
