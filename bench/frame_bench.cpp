// Frame time of the software renderer at 1920 x 1080 on a fixed reference
// frame: the frame renderer's whole screen on a recorded scene (bezel, map
// view, softkey bar, tooltip band and aircraft state held fixed), then 25
// turned 256 x 256 map tiles, 2,000 polyline segments (solid and dashed),
// 200 filled quads, 100 sprites,
// one terrain quad, 300 glyph quads of the bitmap font and a line of
// system-font text. The scene runs with CPU_usage 0, and every real time
// printed has the frame limiter's sleep (1 ms a frame then) taken out, so
// it is the frame's own work. Prints the median milliseconds a frame
// (thread CPU time) and its ratio to one plain memset of the whole target,
// both measured in this run; then the median real time of a frame, which
// counts the raster threads' work the calling thread waited for, and the
// same for the frame renderer's screen alone and for the primitives alone
// on a cleared target. TVL_RASTER_THREADS=1 measures one core. Last, the
// reference frame drawn by one thread and by four on a device made for
// each: the speed-up in real time, the processor time of the whole process
// per frame, its ratio to one thread's, and the context switches per frame
// (target: at least 2.5 times as fast on 4 threads, at most 1.2 times the
// processor).
// "--png PATH" writes the reference frame for a person to look at;
// "--frames N" only draws it N times (for counting instructions from outside).
#include "app/layout_tables.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "display/aircraft_values.h"
#include "display/frame_limiter.h"
#include "display/frame_renderer.h"
#include "display/frame_update.h"
#include "display/map_view.h"
#include "display/sprite_table.h"
#include "maps/terrain_awareness.h"
#include "maps/tile_cache.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "navdata/simulators.h"
#include "platform/gpu/gpu_inspect.h"
#include "render/bitmap_fonts.h"
#include "render/device.h"
#include "render/polylines.h"
#include "render/quads.h"
#include "render/shapes.h"
#include "render/system_text.h"
#include "render/terrain_quad.h"
#include "render/textures.h"


#include "tests/support/temp_folder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <time.h>


namespace {

constexpr int kWidth = 1920, kHeight = 1080;

struct Scene {
    ID3D11ShaderResourceView* tile = nullptr;
    ID3D11ShaderResourceView* sprite = nullptr;
    ID3D11ShaderResourceView* terrain = nullptr;
    ID3D11ShaderResourceView* fontPage = nullptr;
    std::vector<std::string> glyphLines;
    std::vector<std::vector<OutlinePoint>> lines;
    float cx = 320, cy = 240;
};

ID3D11ShaderResourceView* MakeTexture(int side, uint32_t (*texel)(int, int, int))
{
    std::vector<uint32_t> texels(static_cast<size_t>(side) * side);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++)
            texels[static_cast<size_t>(y) * side + x] = texel(x, y, side);
    D3D11_TEXTURE2D_DESC d{};
    d.Width = d.Height = static_cast<UINT>(side);
    d.MipLevels = d.ArraySize = 1;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc.Count = 1;
    d.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    D3D11_SUBRESOURCE_DATA init{texels.data(), static_cast<UINT>(side * 4), 0};
    ID3D11Texture2D* t = nullptr;
    ID3D11ShaderResourceView* view = nullptr;
    if (SUCCEEDED(RenderDevice.device->CreateTexture2D(&d, &init, &t))) {
        RenderDevice.device->CreateShaderResourceView(t, nullptr, &view);
        t->Release();
    }
    return view;
}

uint32_t TileTexel(int x, int y, int)
{
    // A map-like pattern: soft colour fields with grid lines.
    uint32_t r = 180 + (x * 7 + y * 3) % 60, g = 200 + (x ^ y) % 50, b = 150 + (x + 2 * y) % 90;
    if (x % 32 == 0 || y % 32 == 0)
        r = g = b = 90;
    return 0xFF000000u | (b << 16) | (g << 8) | r;
}

uint32_t SpriteTexel(int x, int y, int side)
{
    float dx = x + 0.5f - side / 2.0f, dy = y + 0.5f - side / 2.0f;
    float d = std::sqrt(dx * dx + dy * dy);
    uint32_t a = d < side / 2.0f - 2 ? 255 : d < side / 2.0f ? 128 : 0;
    return (a << 24) | 0x00FFFF00u;
}

// A one-degree elevation tile: green carries the height byte, rising from
// the sea in the south-west to hills in the north-east.
uint32_t TerrainTexel(int x, int y, int side)
{
    uint32_t h = static_cast<uint32_t>((x + (side - 1 - y)) * 255 / (2 * (side - 1)));
    return 0xFF000000u | (h << 8);
}

// The terrain values of an aircraft at 3,000 ft over the tile, colour bands.
int ReferenceTerrainParams(int, TerrainShaderParams* out)
{
    *out = TerrainShaderParams{};
    out->altitude = 3000.0f + 1361.2f;
    out->blendfactor = 0.5f;
    out->mode = 1;
    out->cosb = 0.6f;
    out->brightness = 255.0f;
    return 1;
}

// The recorded scene of the frame renderer: no link, the bezel shown, the map
// at the home position at tile level 11, the aircraft on a 45 degree track.
void RecordScene()
{
    Settings.UseSimulator = SimulatorNone;
    // The limiter sleeps 1 ms a frame, which the timings take out.
    Settings.CPU_usage = 0;
    Settings.ShowFrame = 1;
    Settings.TrackUp = 0;
    Settings.AircraftColor = 0xFFFFFFFFu;
    Settings.MenuState = 2;
    // The softkey bar's two rows of the main page and a tooltip band over it.
    Settings.Softkeys = 1;
    Settings.DynamicSoftkeys = 0;
    Settings.Softkeylevel = 0;
    Settings.Softkeysublevel = 0;
    Settings.Tooltips = 1;
    ScreenButtons[8].tooltipShown = 1;
    MapPanning = 0;
    MiniWindowFlag = false;
    ResetFrameUpdate();
    MapCenter.latitude = 53.636666667;
    MapCenter.longitude = 10.001;
    Aircraft.Heading = 45.0;
    Aircraft.GroundSpeed = 120.0;
    Aircraft.Altitude = 3000.0;
    TrackAngle = 45.0 * 3.14159265358979 / 180.0;
    // The frame draws its own tiles: the loader fetches nothing meanwhile.
    SetTileFetchEnabled(0);
}

// The tile cache of the recorded scene: a folder of its own, removed at the end.
std::string g_cache;

bool SetUpScene(Scene& s)
{
    std::snprintf(ProgramRoot, 512, "%s", TVL_ROOT_DIR);
    static TempFolder folder;
    if (folder.Path().empty())
        return false;
    g_cache = folder.Path();
    setenv("TVL_HOST_MAP", "none", 1);
    SetTileCacheFolder((g_cache + "/cache").c_str());
    SetRadarFolder((g_cache + "/Weather").c_str());
    SetServiceCacheRoot(g_cache.c_str());
    SetHeadlessClientSize(kWidth, kHeight);
    if (InitD3D(nullptr) != 0)
        return false;
    if (!LoadSpriteTable(TVL_ROOT_DIR, 1))
        return false;
    RecordScene();
    GetScreenCentre(&s.cx, &s.cy);
    s.tile = MakeTexture(256, TileTexel);
    s.sprite = MakeTexture(32, SpriteTexel);
    s.terrain = MakeTexture(256, TerrainTexel);
    const float legend[4][3] = {{49, 152, 97}, {255, 255, 148}, {254, 0, 1}, {125, 1, 0}};
    for (int k = 0; k < 4; k++)
        for (int c = 0; c < 3; c++)
            TerrainColors[k][c] = legend[k][c] / 255.0f;
    std::string page = std::string(TVL_ROOT_DIR) + "/Bitmaps/Arial_16_00.png";
    uint8_t loaded = 0;
    int w = 0, h = 0;
    s.fontPage = LoadTexture(page.c_str(), &loaded, &w, &h, -1);
    // 10 labels of 30 characters: 300 glyph quads.
    for (int i = 0; i < 10; i++) {
        char line[64];
        std::snprintf(line, sizeof line, "FIX%02d/N53%c%02d.0'/E010%c%02d.0'/%03d", i, 0xB0, 30 + i, 0xB0, i, 90 + i);
        s.glyphLines.push_back(line);
    }
    // 20 lines of 101 points: 2,000 segments across the screen.
    for (int l = 0; l < 20; l++) {
        std::vector<OutlinePoint> pts;
        for (int i = 0; i <= 100; i++) {
            float t = i / 100.0f;
            float x = s.cx - 900 + 1800 * t;
            float y = s.cy - 480 + 48 * l + 30 * std::sin(t * 12 + l);
            pts.push_back({x, y, 0});
        }
        s.lines.push_back(std::move(pts));
    }
    for (const std::string& l : s.glyphLines)
        if (l.size() != 30)
            return false;
    return s.tile && s.sprite && s.terrain && s.fontPage;
}

// The renderer's primitives alone on a cleared target.
void DrawPrimitives(const Scene& s)
{
    const float mapAngle = 0.3f;
    for (int ty = -2; ty <= 2; ty++)
        for (int tx = -2; tx <= 2; tx++) {
            ScreenRect r{s.cx + tx * 256 - 128, s.cx + tx * 256 + 128, s.cy + ty * 256 - 128, s.cy + ty * 256 + 128};
            DrawTexturedQuadRotated(s.tile, &r, 0xFFFFFFFFu, mapAngle, QuadPlacement::MapPixels);
        }
    for (size_t l = 0; l < s.lines.size(); l++) {
        const auto& pts = s.lines[l];
        if (l % 2 == 0)
            DrawPolyline(pts.data(), static_cast<int>(pts.size()), 0xFF2020E0u, mapAngle, 3.0f);
        else
            DrawDashedPolyline(pts.data(), static_cast<int>(pts.size()), 0xFFE02020u, mapAngle, 2.0f);
    }
    for (int i = 0; i < 200; i++) {
        float x = static_cast<float>((i * 97) % 1800 + 40) - 960 + s.cx, y = static_cast<float>((i * 53) % 1000 + 20) - 540 + s.cy;
        ScreenRect r{x, x + 40, y, y + 20};
        DrawFilledQuad(&r, 0xA0202020u, 0.0f, QuadPlacement::MapPixels);
    }
    for (int i = 0; i < 100; i++) {
        float x = static_cast<float>((i * 131) % 1800 + 60) - 960 + s.cx, y = static_cast<float>((i * 71) % 980 + 50) - 540 + s.cy;
        ScreenRect r{x - 16, x + 16, y - 16, y + 16};
        DrawTexturedQuadRotated(s.sprite, &r, 0xFFFFFFFFu, 0.0f, QuadPlacement::MapPixels, OwnAngle{0.1f * i});
    }
    ScreenRect terrain{s.cx - 400, s.cx + 400, s.cy - 300, s.cy + 300};
    DrawTerrainQuadFrom(ReferenceTerrainParams, s.terrain, &terrain, 0xFFFFFFFFu, mapAngle, QuadPlacement::MapPixels,
                        7);
    SelectBitmapFont(16);
    for (size_t i = 0; i < s.glyphLines.size(); i++)
        DrawBitmapText(s.fontPage, s.glyphLines[i].c_str(), 100.0f, 60.0f + 16.0f * static_cast<float>(i), 0xFFFFFFFFu,
                       0xC0000000u, 0.0f, TextBackground::Box, QuadPlacement::VirtualScreen);
    DrawFontString(28, 1100, 140, 0xFF000000u, "GS: 120 kn/ Hdg:  45\xB0 T/ Alt:  3000 ft", FW1_LEFT);
}

void DrawPrimitivesFrame(const Scene& s)
{
    ClearTarget(0xFFFFFECDu);
    DrawPrimitives(s);
    PresentFrame();
}

// The frame renderer's own frame of the recorded scene (it presents), then
// the primitives over it (a function of its own, so an instruction count can
// be taken of it alone). Returns the milliseconds the frame limiter slept.
__attribute__((noinline)) double DrawReferenceFrame(const Scene& s)
{
    DrawScreen(nullptr, 0.02f, kWidth, kHeight);
    double slept = FrameLimiterSleptMs();
    DrawPrimitives(s);
    PresentFrame();
    return slept;
}

// The frame renderer's whole screen alone; the milliseconds the limiter slept.
double DrawScreenAlone()
{
    DrawScreen(nullptr, 0.02f, kWidth, kHeight);
    return FrameLimiterSleptMs();
}

void TearDownScene(Scene& s)
{
    s.tile->Release();
    s.sprite->Release();
    s.terrain->Release();
    s.fontPage->Release();
    ReleaseDisplayBitmaps();
    ReleaseAllTileResources();
    CleanupD3D();
    std::filesystem::remove_all(g_cache);
}

Scene g_scene;
std::vector<uint32_t> g_target(static_cast<size_t>(kWidth) * kHeight);

double RealMs();

// Real time a frame, the limiter's sleep taken out.
void BM_ReferenceFrame(benchmark::State& state)
{
    for (auto _ : state) {
        double r0 = RealMs();
        double slept = DrawReferenceFrame(g_scene);
        state.SetIterationTime((RealMs() - r0 - slept) / 1e3);
    }
}
BENCHMARK(BM_ReferenceFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(5)->ReportAggregatesOnly(true);

// One turned map tile of side x side pixels: where sharing a draw among the
// raster threads starts to pay (compare TVL_RASTER_THREADS=1).
void BM_TurnedTile(benchmark::State& state)
{
    float half = static_cast<float>(state.range(0)) / 2;
    ScreenRect r{g_scene.cx - half, g_scene.cx + half, g_scene.cy - half, g_scene.cy + half};
    for (auto _ : state)
        DrawTexturedQuadRotated(g_scene.tile, &r, 0xFFFFFFFFu, 0.3f, QuadPlacement::MapPixels);
    state.counters["pixels"] = static_cast<double>(state.range(0) * state.range(0));
}
BENCHMARK(BM_TurnedTile)->Arg(48)->Arg(64)->Arg(90)->Arg(128)->Arg(256)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_MemsetTarget(benchmark::State& state)
{
    uint8_t value = 0;
    for (auto _ : state) {
        std::memset(g_target.data(), value++, g_target.size() * 4);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemsetTarget)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// CPU time of this thread, so a busy machine does not count against the frame.
double ThreadMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double RealMs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Medians {
    double cpu, real;
};

// f(i) draws and returns the milliseconds the frame limiter slept meanwhile,
// which the real time leaves out.
template <class F>
Medians MedianMs(int runs, F f)
{
    std::vector<double> cpu, real;
    for (int i = 0; i < runs; i++) {
        double c0 = ThreadMs(), r0 = RealMs();
        double slept = f(i);
        cpu.push_back(ThreadMs() - c0);
        real.push_back(RealMs() - r0 - slept);
    }
    std::sort(cpu.begin(), cpu.end());
    std::sort(real.begin(), real.end());
    return {cpu[cpu.size() / 2], real[real.size() / 2]};
}

// Processor time of every thread of the process, and its context switches.
struct ProcessUse {
    double cpuMs;
    long switches;
};

ProcessUse TakeProcessUse()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    double ms = (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
    return {ms, u.ru_nvcsw + u.ru_nivcsw};
}

struct ThreadedFrame {
    double realMs, cpuMs, switches;
};

// The reference frame on a device rasterizing with this many threads:
// median real time, and the process's processor time and context switches
// per frame over the same frames.
ThreadedFrame MeasureWithThreads(int threads, int frames)
{
    ThreadedFrame r{};
    GpuRasterThreadsForNewDevices(threads, -1);
    Scene scene;
    bool ready = SetUpScene(scene);
    GpuRasterThreadsForNewDevices(0, -1);
    if (!ready)
        return r;
    for (int i = 0; i < 5; i++)
        DrawReferenceFrame(scene);
    ProcessUse before = TakeProcessUse();
    r.realMs = MedianMs(frames, [&scene](int) { return DrawReferenceFrame(scene); }).real;
    ProcessUse after = TakeProcessUse();
    r.cpuMs = (after.cpuMs - before.cpuMs) / frames;
    r.switches = static_cast<double>(after.switches - before.switches) / frames;
    TearDownScene(scene);
    return r;
}

void CompareRasterThreads()
{
    ThreadedFrame one = MeasureWithThreads(1, 60), four = MeasureWithThreads(4, 60);
    if (one.realMs <= 0 || four.realMs <= 0) {
        std::fprintf(stderr, "frame_bench: the renderer did not start again\n");
        return;
    }
    std::printf("raster threads, reference frame (the limiter's sleep taken out): 1 thread median %.2f ms real, "
                "%.2f ms CPU, %.1f switches a frame\n",
                one.realMs, one.cpuMs, one.switches);
    std::printf("  4 threads median %.2f ms real, %.2f ms CPU, %.1f switches a frame: speed-up %.2fx, CPU %.2fx\n",
                four.realMs, four.cpuMs, four.switches, one.realMs / four.realMs, four.cpuMs / one.cpuMs);
}

} // namespace

bool WriteFramePng(const char* path)
{
    ID3D11Resource* back = nullptr;
    RenderDevice.backBufferView->GetResource(&back);
    bool ok = GpuWritePng(back, path);
    back->Release();
    return ok;
}

int main(int argc, char** argv)
{
    const char* png = nullptr;
    int frames = -1;
    for (int i = 1; i + 1 < argc; i++) {
        if (std::strcmp(argv[i], "--png") == 0)
            png = argv[i + 1];
        if (std::strcmp(argv[i], "--frames") == 0)
            frames = std::atoi(argv[i + 1]);
    }
    if (!SetUpScene(g_scene)) {
        std::fprintf(stderr, "frame_bench: the renderer did not start\n");
        return 1;
    }
    if (frames >= 0) {
        for (int i = 0; i < frames; i++)
            DrawReferenceFrame(g_scene);
        TearDownScene(g_scene);
        return 0;
    }
    if (png) {
        DrawReferenceFrame(g_scene);
        bool written = WriteFramePng(png);
        if (!written)
            std::fprintf(stderr, "frame_bench: cannot write %s\n", png);
        TearDownScene(g_scene);
        return written ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Medians frame = MedianMs(60, [](int) { return DrawReferenceFrame(g_scene); });
    Medians screen = MedianMs(60, [](int) { return DrawScreenAlone(); });
    Medians primitives = MedianMs(60, [](int) {
        DrawPrimitivesFrame(g_scene);
        return 0.0;
    });
    double fill = MedianMs(60, [](int i) {
                      std::memset(g_target.data(), i, g_target.size() * 4);
                      benchmark::ClobberMemory();
                      return 0.0;
                  }).cpu;
    std::printf("reference frame 1920x1080: median %.2f ms CPU; memset of the target: median %.3f ms; ratio %.1f\n",
                frame.cpu, fill, frame.cpu / fill);
    std::printf("reference frame 1920x1080 (CPU_usage 0, the limiter's sleep taken out): median %.2f ms real\n",
                frame.real);
    std::printf("  of which the frame renderer's whole screen alone: median %.2f ms CPU, %.2f ms real\n", screen.cpu,
                screen.real);
    std::printf("  of which the primitives alone on a cleared target: median %.2f ms CPU, %.2f ms real\n",
                primitives.cpu, primitives.real);
    TearDownScene(g_scene);
    CompareRasterThreads();
    benchmark::Shutdown();
    return 0;
}
