// The tile tests' shared fixture and tile image helpers (no tests of its own).
#include "tests/maps/tile_fixture.h"

#include "maps/terrain_awareness.h"
#include "platform/gpu/gpu_inspect.h"
#include "tests/support/tile_images.h"

#include <FreeImage.h>
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

uint32_t TileColour(int z, int x, int y)
{
    return 0xFF000000u | (static_cast<uint32_t>(z * 17 & 0xFF) << 16) | (static_cast<uint32_t>(x & 0xFF) << 8) |
           static_cast<uint32_t>(y & 0xFF);
}

void MakeTileStore(const std::string& path, int z0, int z1, double lat, double lon, int radius)
{
    TileStoreWriter store(path);
    ASSERT_TRUE(store.Ok());
    for (int z = z0; z <= z1; z++) {
        int cx = LonToTileX(lon, z, 4);
        int cy = LatToTileY(lat, z, 4);
        for (int x = cx - radius; x <= cx + radius; x++)
            for (int y = cy - radius; y <= cy + radius; y++)
                store.Add(z, x, y, MakePng(256, TileColour(z, x, y)));
    }
}

uint32_t TexturePixel(ID3D11ShaderResourceView* view, int x, int y)
{
    ID3D11Resource* resource = nullptr;
    view->GetResource(&resource);
    uint32_t pixel = GpuReadPixel(resource, x, y);
    resource->Release();
    return pixel;
}

void TileFixture::SetUp()
{
    ASSERT_TRUE(server.Running());
    snprintf(ProgramRoot, 512, "%s", TVL_ROOT_DIR);
    SetHeadlessClientSize(640, 480);
    ASSERT_EQ(InitD3D(nullptr), 0);
    LoadTerrainColors();
    system = root / "System";
    MakeFolders(system);
    MakeFolders(root / "Bitmaps");
    ASSERT_EQ(chdir(system.c_str()), 0);
    WriteFileText(root / "Bitmaps/notile.jpg", MakePng(256, 0xFF808080u));
    WriteFileText(root / "Bitmaps/no_picture.jpg", MakePng(256, 0xFF404040u));
    setenv("XDG_RUNTIME_DIR", root.Path().c_str(), 1);
    setenv("TVL_HOST_MAP",
           (server.MapEntry("a.tile.openstreetmap.org") + "," + server.MapEntry("b.tile.openstreetmap.org") + "," +
            server.MapEntry("c.tile.openstreetmap.org") + "," + server.MapEntry(GetMakerServerHost()))
               .c_str(),
           1);
    CreateTileMutexes();
    ResetTileGrid();
    // Entries a test before left keep their tile's name, which a lookup matches.
    ResetTileTexturePool();
    for (TileTexture& entry : TileTexturePool)
        entry = TileTexture{};
    // A test before may have gone offline or met a failing network.
    SetOfflineMode(false);
    ClearNetworkFailureFlag();
    SetDownloadDeadlinesMs(0, 0);
    SetNetworkTimeoutMs(500);
    Settings.DebugMode = 1;
    Settings.SatMode = 4;
    Settings.Tile = 11;
    Settings.NrOfThreads = 4;
    CurrentTileMapType = 4;
    TileSize = 256;
    SetTileCacheFolder((root / "cache").c_str());
    SetRadarFolder((root / "Weather").c_str());
    SetServiceCacheRoot(root.Path().c_str());
    ASSERT_TRUE(CreateTileCacheFolders());
}

void TileFixture::TearDown()
{
    ReleaseAllTileResources();
    CloseInternetHandles();
    CleanupD3D();
    chdir("/");
}

void TileFixture::LayOut(int slot, int x, int y, int z, const TileAddress& address)
{
    TileGridBank& bank = TileGridBanks[GetFillingTileBank()];
    TileGridSlot& s = bank.slots[slot];
    s.tileX = x;
    s.tileY = y;
    snprintf(s.fileName, sizeof s.fileName, "%s", address.fileName);
    snprintf(s.requestPath, sizeof s.requestPath, "%s", address.requestPath);
    s.loaded = 0;
    s.texture = -1;
    (void)z;
}
