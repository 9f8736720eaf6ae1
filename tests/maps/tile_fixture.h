// Shared set-up of the tile pipeline tests: a headless renderer, a program
// root in a temporary folder (working folder its System), the tile cache
// below it, fallback pictures, a loopback tile server, and helpers that make
// numbered tile images and MBTiles-style stores.
#pragma once

#include "app/settings.h"
#include "app/tile_locks.h"
#include "maps/http_download.h"
#include "maps/tile_cache.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "maps/tile_stores.h"
#include "platform/files.h"
#include "render/device.h"
#include "tests/support/http_test_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tile_images.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

// The colour (0xAARRGGBB) a tile of (z, x, y) is filled with: distinct per tile.
uint32_t TileColour(int z, int x, int y);
// A store "tiles" table with PNG tiles of zooms z0..z1 around (x, y) +- radius.
void MakeTileStore(const std::string& path, int z0, int z1, double lat, double lon, int radius);
// The texel at (x, y) of a texture, as 0xAABBGGRR.
uint32_t TexturePixel(ID3D11ShaderResourceView* view, int x, int y);

class TileFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Fills the texture pool slot of the filling bank as the loader would.
    void LayOut(int slot, int x, int y, int z, const TileAddress& address);
    std::string CacheFolder(int type) { return root / ("cache/" + std::to_string(type)); }

    TempFolder root;
    HttpTestServer server;
    std::string system;
};
