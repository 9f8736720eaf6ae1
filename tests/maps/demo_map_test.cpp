// The demo map of the built root (DemoMap/): its catalogue read the way an
// offline start reads it offers the grid at home, and the store then gives a
// whole picture for the home tile at every zoom it has.
#include "app/settings.h"
#include "display/map_types.h"
#include "maps/http_download.h"
#include "maps/tile_stores.h"
#include "tests/support/temp_folder.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr double HomeLat = 53.636666667;
constexpr double HomeLon = 10.001;
constexpr double Pi = 3.14159265358979323846;

// Width and height of a PNG given as bytes; 0 x 0 when it does not decode.
void PngSize(const uint8_t* data, uint32_t size, int* width, int* height)
{
    *width = *height = 0;
    FIMEMORY* memory = FreeImage_OpenMemory(const_cast<BYTE*>(data), size);
    FIBITMAP* image = FreeImage_LoadFromMemory(FIF_PNG, memory, 0);
    if (image) {
        *width = static_cast<int>(FreeImage_GetWidth(image));
        *height = static_cast<int>(FreeImage_GetHeight(image));
        FreeImage_Unload(image);
    }
    FreeImage_CloseMemory(memory);
}

TEST(DemoMapTest, TheOfflineCatalogueOffersTheGridAtHomeAndItsStoreHasTheHomeTileAtEachZoom)
{
    // A copy, since matching the local store writes the chart layer into the catalogue.
    TempFolder folder;
    for (const char* name : {"enroute.db", "offline_catalogue.db"})
        std::filesystem::copy_file(std::string(TVL_ROOT_DIR) + "/DemoMap/" + name, folder / name);
    WorkingFolder here(folder.Path());
    Settings.ServermapIndex = 0;
    SetLocalMapPath(folder.Path().c_str());
    ASSERT_EQ(LoadCatalogue(false), 1);
    ASSERT_TRUE(SelectServerMapAt(11, HomeLat, HomeLon));
    MapCatalogueRecord map{};
    ASSERT_TRUE(GetCatalogueRecord(GetSelectedCatalogueIndex(), &map));
    EXPECT_EQ(map.blocal, 1);
    EXPECT_EQ(map.mapindex, 2);
    EXPECT_STREQ(map.extension, "png");
    EXPECT_EQ(GetMapMaxZoomAt(11, HomeLat, HomeLon), 13);

    FreeImage_Initialise(FALSE);
    for (int z = 3; z <= 14; z++) {
        double n = std::ldexp(1.0, z), s = std::sin(HomeLat * Pi / 180.0);
        int x = static_cast<int>((HomeLon + 180.0) / 360.0 * n);
        int y = static_cast<int>((0.5 - std::log((1 + s) / (1 - s)) / (4 * Pi)) * n);
        std::string request = "/tiles/x.php?tilename=" + std::to_string(z) + "/" + std::to_string(x) + "/" +
                              std::to_string(y);
        uint8_t* data = nullptr;
        uint32_t size = 0;
        int found = ReadLocalChartTile(request.c_str(), "", &data, &size, map.mapindex);
        if (z > 13) {
            // Past its deepest zoom the store has nothing, and says so.
            EXPECT_EQ(found, -1);
            EXPECT_EQ(data, nullptr);
            continue;
        }
        ASSERT_EQ(found, 1) << "zoom " << z << " " << x << "/" << y;
        int width, height;
        PngSize(data, size, &width, &height);
        EXPECT_EQ(width, 256) << "zoom " << z;
        EXPECT_EQ(height, 256) << "zoom " << z;
        free(data);
    }
    FreeImage_DeInitialise();
    CloseTileDatabases();
}

// The demo flies a 2 nm circle round home, which reaches west of 10 E:
// everywhere on it the catalogue must offer the grid and the store hold the
// tile under the aircraft. The catalogue once began at 10 E, and the map
// lost its background for the western half of every circle.
TEST(DemoMapTest, TheGridIsOfferedAllRoundTheDemoCircle)
{
    TempFolder folder;
    for (const char* name : {"enroute.db", "offline_catalogue.db"})
        std::filesystem::copy_file(std::string(TVL_ROOT_DIR) + "/DemoMap/" + name, folder / name);
    WorkingFolder here(folder.Path());
    Settings.ServermapIndex = 0;
    SetLocalMapPath(folder.Path().c_str());
    ASSERT_EQ(LoadCatalogue(false), 1);
    const double radiusLat = 2.0 / 60.0, radiusLon = radiusLat / std::cos(HomeLat * Pi / 180.0);
    for (int degrees = 0; degrees < 360; degrees += 15) {
        double a = degrees * Pi / 180.0;
        double lat = HomeLat + radiusLat * std::cos(a), lon = HomeLon + radiusLon * std::sin(a);
        EXPECT_TRUE(SelectServerMapAt(11, lat, lon)) << lat << " " << lon;
        for (int z = 8; z <= 13; z++) {
            double n = std::ldexp(1.0, z), s = std::sin(lat * Pi / 180.0);
            int x = static_cast<int>((lon + 180.0) / 360.0 * n);
            int y = static_cast<int>((0.5 - std::log((1 + s) / (1 - s)) / (4 * Pi)) * n);
            std::string request = "/tiles/x.php?tilename=" + std::to_string(z) + "/" + std::to_string(x) + "/" +
                                  std::to_string(y);
            uint8_t* data = nullptr;
            uint32_t size = 0;
            EXPECT_EQ(ReadLocalChartTile(request.c_str(), "", &data, &size, 2), 1) << "zoom " << z << " at " << lon;
            free(data);
        }
    }
    CloseTileDatabases();
}

} // namespace
