// Terrain elevation data: the elevation byte rule, the world grid's cells and
// minimum safe altitude at the date line and the poles, tile names in every
// quadrant, the tile loader's sources and fall-back, the window's load, swap
// and move, and the converter from .hgt tiles.
#include "maps/terrain_data.h"

#include "app/program_root.h"
#include "app/settings.h"
#include "display/map_view.h"
#include "maps/tile_stores.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// An .hgt tile of side x side samples (metres, north row first).
void WriteHgt(const std::string& path, int side, int16_t (*height)(int row, int column, int side))
{
    std::ofstream out(path, std::ios::binary);
    for (int r = 0; r < side; r++)
        for (int c = 0; c < side; c++) {
            uint16_t v = static_cast<uint16_t>(height(r, c, side));
            char b[2] = {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
            out.write(b, 2);
        }
}

// A flat plain at 100 m with a north-south ridge of 1000 m in the middle fifth.
int16_t Ridge(int, int c, int side) { return c > side * 2 / 5 && c < side * 3 / 5 ? 1000 : 100; }

// A greyscale JPEG of one value, 1200 x 1200 (or the given size).
void WriteFlatJpeg(const std::string& path, uint8_t value, int side = 1200)
{
    FIBITMAP* image = FreeImage_Allocate(side, side, 8);
    RGBQUAD* palette = FreeImage_GetPalette(image);
    for (int i = 0; i < 256; i++)
        palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
    for (int y = 0; y < side; y++)
        memset(FreeImage_GetScanLine(image, y), value, side);
    ASSERT_TRUE(FreeImage_Save(FIF_JPEG, image, path.c_str(), JPEG_QUALITYSUPERB));
    FreeImage_Unload(image);
}

int RunConverter(const std::vector<std::string>& args, const std::string& folder)
{
    std::vector<std::string> all{std::string(TVL_TOOLS_DIR) + "/tvl-mkterrain"};
    all.insert(all.end(), args.begin(), args.end());
    Child child;
    if (!child.Start(all, folder + "/converter.log", folder))
        return -1;
    return child.Wait(60);
}

class TerrainDataTest : public ::testing::Test {
protected:
    TempFolder tmp;
    std::string terrain = tmp / "Terrain";

    void SetUp() override
    {
        FreeImage_Initialise(FALSE);
        setenv("TVL_MESSAGEBOX_ANSWER", "IDOK", 1);
        snprintf(TerrainFolder, sizeof TerrainFolder, "%s", tmp.Path().c_str());
        snprintf(IniFilePath, sizeof IniFilePath, "%s", (tmp / "Plovik.ini").c_str());
        std::filesystem::create_directories(terrain);
    }
    void TearDown() override
    {
        ShutdownTerrain();
        FreeTerrainImageBuffers();
        CloseTerrainDatabase();
        FreeImage_DeInitialise();
    }

    // altdat.bin with every cell's value = column x 1000 + row.
    void WriteIndexedGrid()
    {
        std::ofstream out(terrain + "/altdat.bin", std::ios::binary);
        for (int c = 0; c < kAltitudeGridColumns; c++)
            for (int r = 0; r < kAltitudeGridRows; r++) {
                int32_t v = c * 1000 + r;
                out.write(reinterpret_cast<const char*>(&v), 4);
            }
    }

    // Runs frames until the window is loaded and swapped in.
    void LoadWindow(double lat, double lon)
    {
        MapCenter.latitude = lat;
        MapCenter.longitude = lon;
        for (int frame = 0; frame < 2 * kTerrainSlots; frame++) {
            UpdateTerrain(1000, 500, 0, 90);
            UploadNextTerrainTile();
        }
    }
};

TEST(TerrainByteRule, MapsBytesToFeetAndBack)
{
    EXPECT_NEAR(TerrainByteToFeet(0), -1361.2, 1e-9);
    EXPECT_NEAR(TerrainByteToFeet(255), 28749.2, 1e-6);
    for (int b = 0; b < 256; b++)
        EXPECT_EQ(TerrainFeetToByte(TerrainByteToFeet(static_cast<uint8_t>(b))), b);
    EXPECT_EQ(TerrainFeetToByte(-5000), 0);
    EXPECT_EQ(TerrainFeetToByte(40000), 255);
    EXPECT_EQ(TerrainFeetToByte(std::nan("")), 0);
}

TEST(AltitudeGridCells, StayInsideTheGridAtTheEdgesOfTheWorld)
{
    int c = 0, r = 0;
    ASSERT_TRUE(AltitudeGridCell(47.3, 11.8, &c, &r));
    EXPECT_EQ(c, 190);
    EXPECT_EQ(r, 138);
    // West of 179 W: the same cell as east of 180, never column -1.
    ASSERT_TRUE(AltitudeGridCell(10, -179.5, &c, &r));
    EXPECT_EQ(c, 359);
    ASSERT_TRUE(AltitudeGridCell(10, 180.0, &c, &r));
    EXPECT_EQ(c, 359);
    ASSERT_TRUE(AltitudeGridCell(10, 179.5, &c, &r));
    EXPECT_EQ(c, 358);
    ASSERT_TRUE(AltitudeGridCell(10, -178.5, &c, &r));
    EXPECT_EQ(c, 0);
    // North of 89 N shares the last row; the south pole is row 1.
    ASSERT_TRUE(AltitudeGridCell(89.5, 0, &c, &r));
    EXPECT_EQ(r, 179);
    ASSERT_TRUE(AltitudeGridCell(90, 0, &c, &r));
    EXPECT_EQ(r, 179);
    ASSERT_TRUE(AltitudeGridCell(-90, 0, &c, &r));
    EXPECT_EQ(r, 1);
    ASSERT_TRUE(AltitudeGridCell(-1e9, 1e12, &c, &r));
    EXPECT_TRUE(c >= 0 && c < 360 && r >= 0 && r < 180);
    EXPECT_FALSE(AltitudeGridCell(std::nan(""), 0, &c, &r));
    EXPECT_FALSE(AltitudeGridCell(0, INFINITY, &c, &r));
}

TEST_F(TerrainDataTest, ElevationAndMsaComeFromTheCellAndItsNearerNeighbours)
{
    WriteIndexedGrid();
    EXPECT_EQ(GetTerrainElevation(47.3, 11.8), 190 * 1000 + 138);
    // Neighbours: row 137 (fraction 0.3) and column 191 (fraction 0.8).
    EXPECT_EQ(GetMsaElevation(), 191 * 1000 + 138);
    EXPECT_EQ(GetTerrainElevation(47.7, 11.2), 190 * 1000 + 138);
    EXPECT_EQ(GetMsaElevation(), 190 * 1000 + 139);
    // South of the equator the fraction is negative: -0.3 lies nearer 0.
    EXPECT_EQ(GetTerrainElevation(-0.3, -0.3), 178 * 1000 + 90);
    EXPECT_EQ(GetMsaElevation(), 179 * 1000 + 91);
    // Either side of the date line: columns 358 and 359 are neighbours.
    EXPECT_EQ(GetTerrainElevation(89.5, 179.9), 358 * 1000 + 179);
    EXPECT_EQ(GetMsaElevation(), 359 * 1000 + 179);
    EXPECT_EQ(GetTerrainElevation(10.2, -179.9), 359 * 1000 + 101);
    EXPECT_EQ(GetMsaElevation(), 359 * 1000 + 100);
    EXPECT_EQ(GetTerrainElevation(-89.5, -179.5), 359 * 1000 + 1);
    EXPECT_EQ(GetTerrainElevation(std::nan(""), 0), 0);
    EXPECT_EQ(GetMsaElevation(), 0);
}

TEST_F(TerrainDataTest, AMissingOrShortGridIsTriedAgainAtTheNextQuery)
{
    EXPECT_EQ(GetTerrainElevation(47.3, 11.8), 0);
    EXPECT_FALSE(IsAltitudeGridLoaded());
    {
        std::ofstream out(terrain + "/altdat.bin", std::ios::binary);
        out << "short";
    }
    EXPECT_EQ(GetTerrainElevation(47.3, 11.8), 0);
    EXPECT_FALSE(IsAltitudeGridLoaded());
    WriteIndexedGrid();
    EXPECT_EQ(GetTerrainElevation(47.3, 11.8), 190 * 1000 + 138);
    EXPECT_TRUE(IsAltitudeGridLoaded());
}

TEST_F(TerrainDataTest, TileNamesInAllFourQuadrants)
{
    char path[512], name[64];
    std::string t = tmp.Path() + "/Terrain/";
    TerrainTileName(53, 10, path, sizeof path, name, sizeof name);
    EXPECT_STREQ(name, "N53E010.jpg");
    EXPECT_EQ(std::string(path), t + "N53/N53E010.jpg");
    TerrainTileName(40, -74, path, sizeof path, name, sizeof name);
    EXPECT_STREQ(name, "N40W074.jpg");
    EXPECT_EQ(std::string(path), t + "N40/N40W074.jpg");
    TerrainTileName(-34, 151, path, sizeof path, name, sizeof name);
    EXPECT_STREQ(name, "S34E151.jpg");
    EXPECT_EQ(std::string(path), t + "S34/S34E151.jpg");
    TerrainTileName(-23, -43, path, sizeof path, name, sizeof name);
    EXPECT_STREQ(name, "S23W043.jpg");
    EXPECT_EQ(std::string(path), t + "S23/S23W043.jpg");
    // Longitudes past the date line wrap; latitudes off the world are blank.
    TerrainTileName(10, -182, path, sizeof path, name, sizeof name);
    EXPECT_STREQ(name, "N10E178.jpg");
    TerrainTileName(10, 181, path, sizeof path, name, sizeof name);
    EXPECT_STREQ(name, "N10W179.jpg");
    TerrainTileName(90, 0, path, sizeof path, name, sizeof name);
    EXPECT_EQ(std::string(path), t + "999999.jpg");
    TerrainTileName(-91, 0, path, sizeof path, name, sizeof name);
    EXPECT_EQ(std::string(path), t + "999999.jpg");
    TerrainTileName(0, 2000000000, path, sizeof path, name, sizeof name);
    EXPECT_EQ(std::string(path), t + "999999.jpg");
}

TEST_F(TerrainDataTest, CreatesTheFolderOfEveryLatitudeBand)
{
    std::filesystem::remove_all(terrain);
    ASSERT_TRUE(CreateTerrainFolders());
    EXPECT_TRUE(std::filesystem::is_directory(terrain + "/S90"));
    EXPECT_TRUE(std::filesystem::is_directory(terrain + "/S01"));
    EXPECT_TRUE(std::filesystem::is_directory(terrain + "/N00"));
    EXPECT_TRUE(std::filesystem::is_directory(terrain + "/N89"));
    EXPECT_FALSE(std::filesystem::exists(terrain + "/N90"));
    EXPECT_TRUE(IsTerrainDataAvailable());
    // A file where the folder should be: refused.
    std::filesystem::remove_all(terrain + "/N10");
    std::ofstream(terrain + "/N10") << "x";
    EXPECT_FALSE(CreateTerrainFolders());
}

TEST_F(TerrainDataTest, TileLoaderRefusesBadSlotsAndFallsBackToTheBlankTile)
{
    char path[512];
    EXPECT_EQ(LoadTerrainTile("x.jpg", "N10E010.jpg", 35), -1);
    EXPECT_EQ(LoadTerrainTile("x.jpg", "N10E010.jpg", -1), -1);
    EXPECT_EQ(LoadTerrainTile("x.png", "N10E010.jpg", 0), 0);
    EXPECT_EQ(LoadTerrainTile("x.jpg", "", 0), 0);
    // Missing everywhere (the web server is refused in tests).
    std::filesystem::create_directories(terrain + "/N10");
    snprintf(path, sizeof path, "%s/N10/N10E010.jpg", terrain.c_str());
    EXPECT_LT(LoadTerrainTile(path, "N10E010.jpg", 0), 1);
    // The blank tile without its file clears the slot rather than keep
    // another cell's bytes.
    memset(ElevationGrids[0], 77, kElevationGridBytes);
    TerrainBlankTilePath(path, sizeof path);
    EXPECT_EQ(LoadTerrainTile(path, "999999.jpg", 0), 1);
    EXPECT_EQ(ElevationGrids[0][12345], 0);
    WriteFlatJpeg(path, 40);
    EXPECT_EQ(LoadTerrainTile(path, "999999.jpg", 0), 1);
    EXPECT_NEAR(ElevationGrids[0][12345], 40, 1);
}

TEST_F(TerrainDataTest, ImagesFillOnlyTheirPartAndHugeOnesAreRefused)
{
    std::string small = tmp / "small.jpg";
    WriteFlatJpeg(small, 200, 100);
    ASSERT_EQ(LoadTerrainImageFile(small.c_str(), 3), 1);
    EXPECT_NEAR(ElevationGrids[3][99 * 1200 + 99], 200, 1);
    EXPECT_EQ(ElevationGrids[3][99 * 1200 + 100], 0);
    EXPECT_EQ(ElevationGrids[3][100 * 1200], 0);
    std::string garbage = tmp / "garbage.jpg";
    std::ofstream(garbage) << "not a picture";
    EXPECT_EQ(LoadTerrainImageFile(garbage.c_str(), 3), 0);
    const uint8_t bytes[4] = {0xFF, 0xD8, 0xFF, 0xE0};
    EXPECT_EQ(LoadTerrainImageMemory(bytes, sizeof bytes, 3), 0);
    EXPECT_EQ(LoadTerrainImageMemory(nullptr, 10, 3), 0);
}

TEST_F(TerrainDataTest, WindowLoadsOneTileAFrameSwapsAndMovesWithTheAircraft)
{
    std::filesystem::create_directories(terrain + "/N10");
    std::filesystem::create_directories(terrain + "/N11");
    std::filesystem::create_directories(terrain + "/N09");
    WriteFlatJpeg(terrain + "/N10/N10E000.jpg", 100);
    WriteFlatJpeg(terrain + "/N11/N11W002.jpg", 150);
    WriteFlatJpeg(terrain + "/999999.jpg", 0);
    MapCenter.latitude = 10.5;
    MapCenter.longitude = 0.5;
    UpdateTerrain(1000, 500, 0, 90);
    EXPECT_TRUE(IsTerrainTileWaiting());
    // The frame does not load a second tile before the first has its texture.
    UpdateTerrain(1000, 500, 0, 90);
    EXPECT_EQ(GetTerrainUploadIndex(), 0);
    UploadNextTerrainTile();
    EXPECT_EQ(GetTerrainUploadIndex(), 1);
    LoadWindow(10.5, 0.5);
    ASSERT_TRUE(IsTerrainActive());
    double west = 0, north = 0;
    GetDisplayedTerrainWindow(&west, &north);
    EXPECT_EQ(west, -2);
    EXPECT_EQ(north, 12);
    EXPECT_NEAR(GetDisplayedTerrainByte(10.5, 0.5), 100, 1);
    EXPECT_NEAR(GetDisplayedTerrainByte(11.5, -1.5), 150, 1);
    EXPECT_EQ(GetDisplayedTerrainByte(9.5, 2.5), 0);
    EXPECT_EQ(GetDisplayedTerrainByte(10.5, -2.5), 0); // west of the window
    EXPECT_EQ(GetDisplayedTerrainByte(12.5, 0.5), 0);  // north of it
    EXPECT_EQ(GetDisplayedTerrainByte(std::nan(""), 0.5), 0);
    EXPECT_EQ(GetTerrainHeightAboveGround(), 500);
    // Inside the middle cell nothing is loaded; leaving it starts a new window.
    MapCenter.longitude = 0.9;
    UpdateTerrain(1000, 500, 0, 90);
    EXPECT_EQ(GetTerrainUploadIndex(), kTerrainSlots);
    MapCenter.longitude = 1.2;
    UpdateTerrain(1000, 500, 0, 90);
    EXPECT_EQ(GetTerrainUploadIndex(), 0);
    LoadWindow(10.5, 1.2);
    GetDisplayedTerrainWindow(&west, &north);
    EXPECT_EQ(west, -1);
}

TEST_F(TerrainDataTest, NoWindowIsNamedFromAPositionOffTheWorld)
{
    MapCenter.latitude = std::nan("");
    MapCenter.longitude = 10;
    UpdateTerrain(1000, 500, 0, 90);
    EXPECT_FALSE(IsTerrainTileWaiting());
    MapCenter.latitude = 1e12;
    UpdateTerrain(1000, 500, 0, 90);
    EXPECT_FALSE(IsTerrainTileWaiting());
    EXPECT_EQ(GetTerrainElevationByte(10, 10, std::nan(""), 8), 0);
    EXPECT_EQ(GetTerrainElevationByte(10, 1e300, 12, 8), 0);
}

TEST_F(TerrainDataTest, RestartOnlyWhileShadingIsOn)
{
    LoadWindow(10.5, 0.5);
    ASSERT_EQ(GetTerrainUploadIndex(), kTerrainSlots);
    Settings.Terrainstate = 0;
    RestartTerrainUpload();
    EXPECT_EQ(GetTerrainUploadIndex(), kTerrainSlots);
    Settings.Terrainstate = 1;
    RestartTerrainUpload();
    EXPECT_EQ(GetTerrainUploadIndex(), 0);
    Settings.Terrainstate = 0;
}

TEST_F(TerrainDataTest, ConverterTurnsHgtTilesIntoTheTerrainFolder)
{
    std::string hgt = tmp / "N53E010.hgt";
    WriteHgt(hgt, 1201, Ridge);
    ASSERT_EQ(RunConverter({tmp.Path(), hgt}, tmp.Path()), 0);
    ASSERT_EQ(LoadTerrainImageFile((terrain + "/N53/N53E010.jpg").c_str(), 0), 1);
    // Plain at 100 m = 328 ft (byte 14), ridge at 1000 m = 3281 ft (byte 39).
    uint8_t plain = ElevationGrids[0][600 * 1200 + 100], ridge = ElevationGrids[0][600 * 1200 + 600];
    EXPECT_NEAR(plain, TerrainFeetToByte(328.08), 1);
    EXPECT_NEAR(ridge, TerrainFeetToByte(3280.8), 1);
    EXPECT_TRUE(std::filesystem::exists(terrain + "/999999.jpg"));
    EXPECT_EQ(GetTerrainElevation(53.5, 10.5), 3281);
    EXPECT_EQ(GetTerrainElevation(52.5, 10.5), 0);
}

TEST_F(TerrainDataTest, ConverterTakesOneArcSecondTilesVoidsAndTheSouthWest)
{
    std::string hgt = tmp / "s01w002.hgt";
    // 3601 samples; a void column inside the ridge takes its neighbours' height.
    WriteHgt(hgt, 3601, [](int r, int c, int side) -> int16_t {
        if (c == side / 2 && r > 100)
            return -32768;
        return Ridge(r, c, side);
    });
    ASSERT_EQ(RunConverter({tmp.Path(), hgt}, tmp.Path()), 0);
    ASSERT_EQ(LoadTerrainImageFile((terrain + "/S01/S01W002.jpg").c_str(), 0), 1);
    EXPECT_NEAR(ElevationGrids[0][600 * 1200 + 600], TerrainFeetToByte(3280.8), 1);
    EXPECT_EQ(GetTerrainElevation(-0.5, -1.5), 3281);
}

TEST_F(TerrainDataTest, ConverterRefusesFilesThatAreNoTiles)
{
    std::string odd = tmp / "N10E010.hgt";
    std::ofstream(odd) << "far too short";
    std::string badName = tmp / "ridge.hgt";
    WriteHgt(badName, 1201, Ridge);
    EXPECT_EQ(RunConverter({tmp.Path(), odd, badName}, tmp.Path()), 1);
    EXPECT_FALSE(std::filesystem::exists(terrain + "/N10/N10E010.jpg"));
    // The grid is still whole.
    EXPECT_EQ(std::filesystem::file_size(terrain + "/altdat.bin"), 64800u * 4u);
}

} // namespace
