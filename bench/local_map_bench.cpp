// Local raster map speed: one 800 x 800 palette tile of a package read from
// its file (descrambled and unpacked), turned into a texture, and both in a
// row as the loader thread and the frame do it. Target: at most 3 ms a tile.
#include "maps/system_files.h"
#include "platform/files.h"
#include "render/device.h"
#include "render/textures.h"

#include "platform/files.h"
#include "tests/support/temp_folder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

struct Setup {
    TempFolder folder;
    std::string root;
    std::string tile;
    bool ready = false;

    Setup()
    {
        if (folder.Path().empty())
            return;
        root = folder.Path();
        std::filesystem::create_directories(root + "/System");
        std::filesystem::create_directories(root + "/map/area/data0");
        if (chdir((root + "/System").c_str()) != 0)
            return;
        setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
        snprintf(ProgramRoot, 512, "%s", TVL_ROOT_DIR);
        SetHeadlessClientSize(640, 480);
        if (InitD3D(nullptr) != 0)
            return;
        tile = root + "/map/area/data0/016008.qrl";
        ready = WriteChartLikeTile(tile);
    }
    ~Setup()
    {
        CleanupD3D();
        if (!root.empty())
            std::filesystem::remove_all(root);
    }

    // A chart-like picture: flat areas, contour-like bands and grid lines, so
    // that it packs as scanned charts do.
    static bool WriteChartLikeTile(const std::string& path)
    {
        uint8_t palette[1024];
        for (int i = 0; i < 256; i++) {
            palette[4 * i] = static_cast<uint8_t>(255 - i);
            palette[4 * i + 1] = static_cast<uint8_t>(200 + i % 56);
            palette[4 * i + 2] = static_cast<uint8_t>(i);
            palette[4 * i + 3] = 0;
        }
        std::vector<uint8_t> pixels(800 * 800);
        for (int y = 0; y < 800; y++)
            for (int x = 0; x < 800; x++) {
                int band = ((x - 400) * (x - 400) + (y - 300) * (y - 300)) / 4000;
                bool line = x % 100 == 0 || y % 100 == 0;
                pixels[static_cast<size_t>(y) * 800 + x] = static_cast<uint8_t>(line ? 255 : 20 + band % 12 * 9);
            }
        return WriteMakerImageFile(path.c_str(), 800, 800, palette, pixels.data());
    }
};

Setup& Bench()
{
    static Setup setup;
    return setup;
}

void BM_PaletteTileRead(benchmark::State& state)
{
    if (!Bench().ready) {
        state.SkipWithError("no renderer");
        return;
    }
    for (auto _ : state)
        if (LoadMakerImageFile(Bench().tile.c_str()) <= 0)
            state.SkipWithError("tile not read");
}

void BM_PaletteTileToTexture(benchmark::State& state)
{
    if (!Bench().ready || LoadMakerImageFile(Bench().tile.c_str()) <= 0) {
        state.SkipWithError("no tile");
        return;
    }
    ID3D11Texture2D* texture = nullptr;
    for (auto _ : state) {
        uint8_t ok = 0;
        int w = 0, h = 0;
        ID3D11ShaderResourceView* view = UpdatePaletteTexture(&texture, &ok, &w, &h);
        if (!view) {
            state.SkipWithError("no texture");
            break;
        }
        view->Release();
        // A new texture each time, as every tile of a set gets its own.
        texture->Release();
        texture = nullptr;
    }
}

void BM_PaletteTileFileToTexture(benchmark::State& state)
{
    if (!Bench().ready) {
        state.SkipWithError("no renderer");
        return;
    }
    for (auto _ : state) {
        uint8_t ok = 0;
        int w = 0, h = 0;
        ID3D11ShaderResourceView* view = LoadTexture(Bench().tile.c_str(), &ok, &w, &h, -1);
        if (!view) {
            state.SkipWithError("no texture");
            break;
        }
        view->Release();
    }
}

BENCHMARK(BM_PaletteTileRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaletteTileToTexture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaletteTileFileToTexture)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
