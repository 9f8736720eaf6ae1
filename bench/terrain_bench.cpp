// Terrain timings at 1920 x 1080: one elevation tile loaded from its JPEG plus
// its texture (what one frame may spend on the terrain window, target 8 ms),
// the per-frame terrain pass without its drawing (smoothing, envelopes and the
// 15 tiles' shader values, target 0.2 ms), and the frame renderer's whole
// frame with terrain shading over the home position (target 10 ms, the raster
// threads counted in real time; CPU_usage 0 and the frame limiter's sleep
// taken out, so that the frame's own work is timed).
#include "app/program_root.h"
#include "app/settings.h"
#include "display/aircraft_values.h"
#include "display/frame_limiter.h"
#include "display/frame_renderer.h"
#include "display/frame_update.h"
#include "display/map_view.h"
#include "display/sprite_table.h"
#include "maps/terrain_awareness.h"
#include "maps/terrain_data.h"
#include "maps/tile_cache.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "maps/weather_radar.h"
#include "navdata/simulators.h"
#include "render/device.h"
#include "render/textures.h"

#include "tests/support/temp_folder.h"

#include <FreeImage.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
std::string g_folder;

// A hilly tile: bytes rising from the south-west corner to the north-east.
void WriteTile(const std::string& path)
{
    FIBITMAP* image = FreeImage_Allocate(1200, 1200, 8);
    RGBQUAD* palette = FreeImage_GetPalette(image);
    for (int i = 0; i < 256; i++)
        palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
    for (int y = 0; y < 1200; y++) {
        BYTE* line = FreeImage_GetScanLine(image, y);
        for (int x = 0; x < 1200; x++)
            line[x] = static_cast<BYTE>(10 + (x + y) * 40 / 2400 + ((x / 40 + y / 40) % 3) * 5);
    }
    FreeImage_Save(FIF_JPEG, image, path.c_str(), JPEG_QUALITYSUPERB);
    FreeImage_Unload(image);
}

bool SetUp()
{
    static TempFolder folder;
    if (folder.Path().empty())
        return false;
    g_folder = folder.Path();
    FreeImage_Initialise(FALSE);
    std::snprintf(ProgramRoot, 512, "%s", TVL_ROOT_DIR);
    std::snprintf(TerrainFolder, sizeof TerrainFolder, "%s", g_folder.c_str());
    std::snprintf(IniFilePath, sizeof IniFilePath, "%s/Plovik.ini", g_folder.c_str());
    setenv("TVL_HOST_MAP", "none", 1);
    for (int lat = 52; lat <= 54; lat++) {
        char band[16];
        std::snprintf(band, sizeof band, "%s/Terrain/N%02d", g_folder.c_str(), lat);
        std::filesystem::create_directories(band);
        for (int lon = 8; lon <= 12; lon++) {
            char path[600];
            std::snprintf(path, sizeof path, "%s/N%02dE%03d.jpg", band, lat, lon);
            WriteTile(path);
        }
    }
    SetTileCacheFolder((g_folder + "/cache").c_str());
    SetRadarFolder((g_folder + "/Weather").c_str());
    SetServiceCacheRoot(g_folder.c_str());
    SetHeadlessClientSize(kWidth, kHeight);
    if (InitD3D(nullptr) != 0 || !LoadSpriteTable(TVL_ROOT_DIR, 1))
        return false;
    LoadTerrainColors();
    Settings.UseSimulator = SimulatorNone;
    Settings.CPU_usage = 0;
    Settings.ShowFrame = 1;
    Settings.MenuState = 2;
    Settings.Terrainstate = 1;
    Settings.Terrainmap = 1;
    Settings.TAWS = 1;
    Settings.GPWSOn = 1;
    Settings.AircraftColor = 0xFFFFFFFFu;
    MapPanning = 0;
    ResetFrameUpdate();
    MapCenter.latitude = 53.636666667;
    MapCenter.longitude = 10.001;
    Aircraft.Altitude = 3000.0;
    Aircraft.GroundSpeed = 120.0;
    SetTileFetchEnabled(0);
    // The window loads one tile a frame; a few more frames swap it in.
    for (int i = 0; i < 40 && !IsTerrainActive(); i++)
        DrawScreen(nullptr, 0.02f, kWidth, kHeight);
    return IsTerrainActive();
}

void BM_TerrainTileLoadAndTexture(benchmark::State& state)
{
    char path[600];
    std::snprintf(path, sizeof path, "%s/Terrain/N53/N53E010.jpg", g_folder.c_str());
    for (auto _ : state) {
        LoadTerrainTile(path, "N53E010.jpg", 20);
        uint8_t ok = 0;
        int w = 0, h = 0;
        ID3D11ShaderResourceView* view = CreateElevationTexture(ElevationGrids[20], kElevationGridSide, &ok, &w, &h);
        if (view)
            view->Release();
    }
}
BENCHMARK(BM_TerrainTileLoadAndTexture)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TerrainPass(benchmark::State& state)
{
    float vs = -800;
    for (auto _ : state) {
        Aircraft.VerticalSpeedPerMinute = vs;
        vs = -vs;
        RunGpwsAlerts(1);
        UpdateAltitudeCallouts();
        TerrainShaderParams p;
        for (int tile = 0; tile < kTerrainSlots; tile++)
            GetTerrainShaderParams(tile, &p);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_TerrainPass)->Unit(benchmark::kMicrosecond);

void BM_FrameWithTerrainShading(benchmark::State& state)
{
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        DrawScreen(nullptr, 0.02f, kWidth, kHeight);
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime((ms - FrameLimiterSleptMs()) / 1e3);
    }
}
BENCHMARK(BM_FrameWithTerrainShading)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (!SetUp()) {
        std::fprintf(stderr, "terrain_bench: the scene could not be set up\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    ShutdownTerrain();
    ReleaseDisplayBitmaps();
    CleanupD3D();
    FreeTerrainImageBuffers();
    FreeImage_DeInitialise();
    std::filesystem::remove_all(g_folder);
    return 0;
}
