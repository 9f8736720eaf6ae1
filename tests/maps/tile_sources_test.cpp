// Tile addressing: Mercator maths, quadkeys, the per-service builders, the
// server nonce and the [URLS] keys.
#include "app/settings.h"
#include "maps/tile_sources.h"
#include "platform/profile.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

class TileSourcesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings.Tile = 11;
        Settings.SatMode = 4;
        TileSize = 256;
        SetDisplayedMaxZoom(11);
    }

    TileAddress Build(int type, int x, int y, int z, int slot = 0, const char* name = "vfr_de",
                      const char* ext = "png")
    {
        TileAddress a;
        BuildTileAddress(type, x, y, z, slot, name, ext, &a);
        return a;
    }
};

TEST_F(TileSourcesTest, QuadKeyInterleavesTheBitsFromTheTop)
{
    char key[32];
    MakeQuadKey(3, 5, 3, key);
    EXPECT_STREQ(key, "213");
    MakeQuadKey(0, 0, 1, key);
    EXPECT_STREQ(key, "0");
    MakeQuadKey(0, 0, 0, key);
    EXPECT_STREQ(key, "");
}

TEST_F(TileSourcesTest, TileNumbersOfAKnownPlace)
{
    EXPECT_EQ(LonToTileX(10.0, 11, 4), 1080);
    EXPECT_EQ(LatToTileY(53.6, 11, 4), 661);
    EXPECT_EQ(LonToTileX(-180.0, 3, 4), 0);
    EXPECT_EQ(LonToTileX(179.9, 3, 4), 7);
}

TEST_F(TileSourcesTest, WorldPixelsUseTheWantedZoom)
{
    EXPECT_NEAR(LonToTilePixelX(10.0, 4), 276707.5556, 1e-3);
    EXPECT_NEAR(LatToTilePixelY(53.6, 4), 169326.1071, 1e-3);
    // The pi of the tile maths leaves the world a hair short of 2^19.
    EXPECT_NEAR(GetWorldPixelWidth(), 524288.0, 1e-3);
}

TEST_F(TileSourcesTest, PolesGiveTheWorldEdges)
{
    EXPECT_EQ(LatToTilePixelYAtZoom(90.0, 2, 4), 0.0);
    EXPECT_EQ(LatToTilePixelYAtZoom(-90.0, 2, 4), 1024.0);
}

// An aircraft at or near a pole lies on the world's edge: its row is the
// first or last of the world, never a number no tile has.
TEST_F(TileSourcesTest, LatitudesBeyondTheMapLieOnItsEdge)
{
    const double beyond[] = {-90.0, -89.9999999, -86.0, -1e308, std::nan("")};
    for (int type : {4, 1}) {
        for (int zoom : {2, 11, 19}) {
            int last = (1 << zoom) - 1;
            for (double lat : beyond) {
                int row = LatToTileY(lat, zoom, type);
                EXPECT_GE(row, 0) << lat << " type " << type << " zoom " << zoom;
                EXPECT_LE(row, last + 1) << lat << " type " << type << " zoom " << zoom;
            }
            EXPECT_GE(LatToTileY(-89.9999999, zoom, type), last) << type << " " << zoom;
            EXPECT_EQ(LatToTileY(89.9999999, zoom, type), 0) << type << " " << zoom;
            EXPECT_EQ(LatToTileY(1e308, zoom, type), 0) << type << " " << zoom;
            double y = LatToTilePixelYAtZoom(-89.9999999, zoom, type);
            EXPECT_LE(y, std::ldexp(256.0, zoom) + 1.0) << type << " " << zoom;
        }
    }
    // A catalogue map, held at its own zoom, stays inside its world too.
    for (double lat : beyond) {
        int row = LatToTileY(lat, 19, 11);
        EXPECT_GE(row, 0) << lat;
        EXPECT_LE(row, 1 << 11) << lat;
    }
}

TEST_F(TileSourcesTest, PixelToDegreesInvertsThePixelFunctions)
{
    double lat, lon;
    double px = LonToTilePixelXAtZoom(-71.25, 9, 4);
    double py = LatToTilePixelYAtZoom(-33.5, 9, 4) - 0.5;
    TilePixelToLatLon(px, py, 9, &lat, &lon);
    EXPECT_NEAR(lon, -71.25, 1e-6);
    EXPECT_NEAR(lat, -33.5, 1e-6);
}

TEST_F(TileSourcesTest, CatalogueMapsAreHeldAtTheirMaxZoom)
{
    SetDisplayedMaxZoom(8);
    EXPECT_EQ(GetShownTileZoom(11), 8);
    EXPECT_EQ(GetShownTileZoom(4), 11);
    EXPECT_EQ(LonToTileX(10.0, 11, 11), LonToTileX(10.0, 8, 4));
}

TEST_F(TileSourcesTest, StreetMapsTakeTheirLetterFromTheSlot)
{
    TileAddress a = Build(4, 1080, 661, 11, 4);
    EXPECT_STREQ(a.fileName, "11/1080/661.png");
    EXPECT_STREQ(a.requestPath, "/11/1080/661.png ");
    EXPECT_STREQ(a.host, "b.tile.openstreetmap.org");
    EXPECT_EQ(a.serverNumber, 1);
    TileAddress topo = Build(5, 1, 2, 3, 2);
    EXPECT_STREQ(topo.host, "c.tile.opentopomap.org");
    EXPECT_STREQ(topo.requestPath, "/3/1/2.png ");
}

TEST_F(TileSourcesTest, SatelliteTilesNameRowBeforeColumn)
{
    TileAddress a = Build(1, 5, 6, 4);
    EXPECT_STREQ(a.fileName, "4/6/5.jpg");
    EXPECT_STREQ(a.requestPath, "/wmts/1.0.0/s2cloudless-2020_3857/default/GoogleMapsCompatible/4/6/5.jpg");
}

TEST_F(TileSourcesTest, MakerTilesWrapTheirColumn)
{
    TileAddress a = Build(11, -1, 2, 3);
    EXPECT_STREQ(a.tileName, "3/7/2");
    EXPECT_STREQ(a.fileName, "g11_3/7/2.png");
    EXPECT_EQ(std::string(a.requestPath).rfind("/tiles/vfr_de.php?tilename=3/7/2.png&id=", 0), 0u);
    EXPECT_EQ(a.requestPath[strlen(a.requestPath) - 1], ' ');
}

TEST_F(TileSourcesTest, TopoNzRequestsTheFlippedRow)
{
    TileAddress a = Build(12, 4, 2, 3, 0, "topo_nz");
    EXPECT_STREQ(a.requestPath, "/3/4/5.png ");
    EXPECT_STREQ(a.host, "tiles-a.data-cdn.linz.govt.nz");
}

TEST_F(TileSourcesTest, CacheNameReplacesTheFirstTwoSlashes)
{
    char name[64];
    MakeCacheFileName("11/1083/709.png", name, sizeof name);
    EXPECT_STREQ(name, "11_1083_709.png");
    MakeCacheFileName("g11_3/7/2.png", name, sizeof name);
    EXPECT_STREQ(name, "g11_3_7_2.png");
}

TEST_F(TileSourcesTest, NonceFollowsTheClock)
{
    int id, val;
    ComputeServerNonce(12, 34, 567, &id, &val);
    EXPECT_EQ(id, 18567);
    EXPECT_EQ(val, 27902);
    ComputeServerNonce(59, 59, 999, &id, &val);
    EXPECT_LT(id, 32000);
    EXPECT_LE(val, 32767);
}

TEST_F(TileSourcesTest, UrlKeysFallBackToDefaultsAndRoundTrip)
{
    TempFolder folder;
    std::string ini = folder / "Plovik.ini";
    WriteFileText(ini, "[URLS]\nOpenStreetMapServer=tiles.local.test\n");
    ReadTileServiceUrls(ini.c_str());
    char text[256];
    GetTileServiceUrl(TileUrl::OpenStreetMapServer, text, sizeof text);
    EXPECT_STREQ(text, "tiles.local.test");
    GetTileServiceUrl(TileUrl::LuckyRainUrl, text, sizeof text);
    EXPECT_STREQ(text, "v2/radar/");
    WriteTileServiceUrls(ini.c_str());
    GetPrivateProfileStringA("URLS", "HereDay", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "/maptile/2.1/maptile/newest/normal.day");
    GetPrivateProfileStringA("URLS", "OpenStreetMapServer", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "tiles.local.test");
}

TEST_F(TileSourcesTest, ServiceKeysSwitchTheirModesOn)
{
    EXPECT_FALSE(IsStaticMapType(1));
    SetMapQuestKey("abc");
    EXPECT_TRUE(IsStaticMapType(1));
    SelectTileHost(1);
    EXPECT_EQ(TileSize, 1024);
    TileAddress a = Build(2, 3, 4, 5);
    EXPECT_STREQ(a.fileName, "R5/4/3.jpg");
    EXPECT_NE(strstr(a.requestPath, "?key=abc&type=hyb&center="), nullptr);
    SetHereCredentials("id1", "code1");
    EXPECT_FALSE(IsStaticMapType(1));
    SelectTileHost(1);
    EXPECT_EQ(TileSize, 256);
    TileAddress h = Build(1, 3, 5, 3);
    EXPECT_STREQ(h.fileName, "ovi_h213.jpg");
    EXPECT_STREQ(h.host, "1.aerial.maps.ls.hereapi.com");
    EXPECT_EQ(h.serverNumber, 0);
    EXPECT_NE(strstr(h.requestPath, "/3/3/5/256/jpg?app_id=id1&app_code=code1 "), nullptr);
    EXPECT_EQ(GetMaximumTileZoom(), 20);
}

TEST(TileCacheFolders, AreMadeWithTheParentsTheyLack)
{
    // A fresh account has no per-user data folder yet for the service cache.
    TempFolder root;
    std::string service = root / "home/.local/share";
    SetTileCacheFolder((root / "cache").c_str());
    SetRadarFolder((root / "Weather").c_str());
    SetServiceCacheRoot(service.c_str());
    Settings.SatMode = 4;
    EXPECT_TRUE(CreateTileCacheFolders());
    EXPECT_TRUE(std::filesystem::is_directory(service + "/MQ"));
    EXPECT_TRUE(std::filesystem::is_directory(root / "Weather"));
}

} // namespace
