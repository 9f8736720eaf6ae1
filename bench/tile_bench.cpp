// Tile pipeline speed: one 256 x 256 tile from the disk cache and from an
// MBTiles-style chart store into a texture, and a 5 x 5 grid from request to
// ready from a warm store (offline catalogue map with its local store).
// Targets: at most 0.5 ms a tile, the grid ready within 15 ms.
#include "app/settings.h"
#include "maps/tile_locks.h"
#include "display/map_types.h"
#include "maps/http_download.h"
#include "maps/tile_cache.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "maps/tile_stores.h"
#include "platform/files.h"
#include "render/device.h"
#include "render/textures.h"
#include "tests/support/offline_chart_map.h"
#include "tests/support/tile_images.h"

#include "platform/files.h"
#include "tests/support/temp_folder.h"

#include <FreeImage.h>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

constexpr double Latitude = 53.6, Longitude = 10.0;
constexpr int Zoom = 11;

// A map-like 256 x 256 picture, so the encoded size is realistic.
std::string EncodeTile(int seed, FREE_IMAGE_FORMAT format)
{
    FIBITMAP* image = FreeImage_Allocate(256, 256, 24);
    for (int y = 0; y < 256; y++) {
        BYTE* line = FreeImage_GetScanLine(image, y);
        for (int x = 0; x < 256; x++) {
            line[3 * x + 0] = static_cast<BYTE>(150 + (x + 2 * y + seed) % 90);
            line[3 * x + 1] = static_cast<BYTE>(200 + ((x ^ y) + seed) % 50);
            line[3 * x + 2] = static_cast<BYTE>((x % 32 == 0 || y % 32 == 0) ? 90 : 180 + (x * 7 + y * 3) % 60);
        }
    }
    std::string bytes = EncodeImage(image, format);
    FreeImage_Unload(image);
    return bytes;
}

struct Setup {
    TempFolder folder;
    std::string root;
    bool ready = false;

    Setup()
    {
        if (folder.Path().empty())
            return;
        root = folder.Path();
        std::filesystem::create_directories(root + "/System");
        std::filesystem::create_directories(root + "/Bitmaps");
        if (chdir((root + "/System").c_str()) != 0)
            return;
        setenv("TVL_HOST_MAP", "none", 1);
        setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
        snprintf(ProgramRoot, 512, "%s", TVL_ROOT_DIR);
        SetHeadlessClientSize(640, 480);
        if (InitD3D(nullptr) != 0)
            return;
        CreateTileMutexes();
        SetTileCacheFolder((root + "/cache").c_str());
        SetRadarFolder((root + "/Weather").c_str());
        SetServiceCacheRoot(root.c_str());
        CurrentTileMapType = 4;
        CreateTileCacheFolders();
        WriteFile(root + "/cache/4/11_1080_661.png", EncodeTile(1, FIF_PNG));
        WriteFile(root + "/cache/4/11_1080_662.jpg", EncodeTile(2, FIF_JPEG));
        WriteFile(root + "/Bitmaps/notile.jpg", EncodeTile(3, FIF_JPEG));
        MakeStore(root + "/ifrl.db");
        ready = true;
    }
    ~Setup()
    {
        ReleaseAllTileResources();
        CleanupD3D();
        if (!root.empty())
            std::filesystem::remove_all(root);
    }

    static void WriteFile(const std::string& path, const std::string& bytes)
    {
        if (FILE* f = fopen(path.c_str(), "wb")) {
            fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
    }

    // Zoom 11 tiles 9 x 9 around the position, as a chart store of layer 9.
    static void MakeStore(const std::string& path)
    {
        TileStoreWriter store(path);
        int cx = LonToTileX(Longitude, Zoom, 4), cy = LatToTileY(Latitude, Zoom, 4);
        for (int x = cx - 4; x <= cx + 4; x++)
            for (int y = cy - 4; y <= cy + 4; y++)
                store.Add(Zoom, x, y, EncodeTile(x * 31 + y, FIF_PNG));
    }
};

Setup& Bench()
{
    static Setup setup;
    return setup;
}

void FreePool()
{
    for (int i = 0; i < TileTexturePoolSize; i++)
        FreeTileTexture(i);
}

// A cached tile fetched into the pool (the fetch thread's whole path).
void CachedTile(benchmark::State& state, const char* fileName, int tileY)
{
    if (!Bench().ready) {
        state.SkipWithError("no renderer");
        return;
    }
    SetOfflineMode(false);
    CurrentTileMapType = 4;
    TileGridSlot& slot = TileGridBanks[GetFillingTileBank()].slots[0];
    for (auto _ : state) {
        slot.loaded = 0;
        int result = FetchTile("a.tile.openstreetmap.org", 0, fileName, "/x ", 0, tileY, 1080, Zoom);
        if (result != DownloadDone || slot.texture.load() < 0)
            state.SkipWithError("tile not loaded");
        state.PauseTiming();
        FreePool();
        state.ResumeTiming();
    }
}

void BM_CachedPngTileToTexture(benchmark::State& state)
{
    CachedTile(state, "11/1080/661.png", 661);
}

void BM_CachedJpegTileToTexture(benchmark::State& state)
{
    CachedTile(state, "11/1080/662.jpg", 662);
}

void BM_StoreTileToTexture(benchmark::State& state)
{
    if (!Bench().ready) {
        state.SkipWithError("no renderer");
        return;
    }
    SetLocalMapPath(Bench().root.c_str());
    int cx = LonToTileX(Longitude, Zoom, 4), cy = LatToTileY(Latitude, Zoom, 4);
    char request[128];
    snprintf(request, sizeof request, "/tiles/ifr.php?tilename=%d/%d/%d.png&id=1&val=2 ", Zoom, cx, cy);
    for (auto _ : state) {
        uint8_t* bytes = nullptr;
        uint32_t size = 0;
        if (ReadLocalChartTile(request, "x", &bytes, &size, 9) != 1) {
            state.SkipWithError("tile not in the store");
            break;
        }
        uint8_t ok = 0;
        ID3D11ShaderResourceView* view = CreateTextureFromMemory(bytes, size, &ok);
        free(bytes);
        if (!view) {
            state.SkipWithError("no texture");
            break;
        }
        view->Release();
    }
}

void BM_GridFiveByFiveFromWarmStore(benchmark::State& state)
{
    if (!Bench().ready) {
        state.SkipWithError("no renderer");
        return;
    }
    SetLocalMapPath(Bench().root.c_str());
    UseOfflineChartMap("ifr");
    Settings.SatMode = 0;  // no texture reuse: every tile comes from the store
    Settings.Tile = Zoom;
    Settings.NrOfThreads = static_cast<int>(state.range(0));
    int loaded = 0;
    for (auto _ : state) {
        SetGridZoom(Zoom);
        BuildTileGrid(Latitude, Longitude, 5, 5);
        state.PauseTiming();
        loaded = 0;
        const TileGridBank& bank = TileGridBanks[GetFillingTileBank()];
        for (int i = 0; i < 25; i++)
            loaded += bank.slots[i].texture.load() >= 0 ? 1 : 0;
        SwapTileBanks();
        FreePool();
        state.ResumeTiming();
    }
    if (loaded != 25)
        state.SkipWithError("not every tile became a texture");
    SetOfflineMode(false);
}

} // namespace

BENCHMARK(BM_CachedPngTileToTexture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CachedJpegTileToTexture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreTileToTexture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridFiveByFiveFromWarmStore)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
