// Frame time of the software renderer at 1920 x 1080 on a fixed reference
// frame: 25 turned 256 x 256 map tiles, 2,000 polyline segments (solid and
// dashed), 200 filled quads and 100 sprites, drawn through the renderer's
// draw functions. Prints the median milliseconds a frame and its ratio to one
// plain memset of the whole target, both measured in this run.
#include "app/program_root.h"
#include "display/map_view.h"
#include "render/device.h"
#include "render/polylines.h"
#include "render/quads.h"
#include "render/shapes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <time.h>


namespace {

constexpr int kWidth = 1920, kHeight = 1080;

struct Scene {
    ID3D11ShaderResourceView* tile = nullptr;
    ID3D11ShaderResourceView* sprite = nullptr;
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

bool SetUpScene(Scene& s)
{
    std::snprintf(ProgramRoot, 512, "%s", TVL_ROOT_DIR);
    SetHeadlessClientSize(kWidth, kHeight);
    if (InitD3D(nullptr) != 0)
        return false;
    GetScreenCentre(&s.cx, &s.cy);
    s.tile = MakeTexture(256, TileTexel);
    s.sprite = MakeTexture(32, SpriteTexel);
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
    return s.tile && s.sprite;
}

void DrawReferenceFrame(const Scene& s)
{
    ClearTarget(0xFF000000u);
    const float mapAngle = 0.3f;
    for (int ty = -2; ty <= 2; ty++)
        for (int tx = -2; tx <= 2; tx++) {
            ScreenRect r{s.cx + tx * 256 - 128, s.cx + tx * 256 + 128, s.cy + ty * 256 - 128, s.cy + ty * 256 + 128};
            DrawTexturedQuadRotated(s.tile, &r, 0xFFFFFFFFu, mapAngle, 0, 0.0f, 1);
        }
    for (size_t l = 0; l < s.lines.size(); l++) {
        const auto& pts = s.lines[l];
        if (l % 2 == 0)
            DrawPolyline(pts.data(), static_cast<int>(pts.size()), 0xFF2020E0u, mapAngle, 0, 3.0f);
        else
            DrawDashedPolyline(pts.data(), static_cast<int>(pts.size()), 0xFFE02020u, mapAngle, 0, 2.0f);
    }
    for (int i = 0; i < 200; i++) {
        float x = static_cast<float>((i * 97) % 1800 + 40) - 960 + s.cx, y = static_cast<float>((i * 53) % 1000 + 20) - 540 + s.cy;
        ScreenRect r{x, x + 40, y, y + 20};
        DrawFilledQuad(&r, 0xA0202020u, 0.0f, 1);
    }
    for (int i = 0; i < 100; i++) {
        float x = static_cast<float>((i * 131) % 1800 + 60) - 960 + s.cx, y = static_cast<float>((i * 71) % 980 + 50) - 540 + s.cy;
        ScreenRect r{x - 16, x + 16, y - 16, y + 16};
        DrawTexturedQuadRotated(s.sprite, &r, 0xFFFFFFFFu, 0.0f, 0, 0.1f * i, 1);
    }
    PresentFrame();
}

Scene g_scene;
std::vector<uint32_t> g_target(static_cast<size_t>(kWidth) * kHeight);

void BM_ReferenceFrame(benchmark::State& state)
{
    for (auto _ : state)
        DrawReferenceFrame(g_scene);
}
BENCHMARK(BM_ReferenceFrame)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

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

template <class F>
double MedianMs(int runs, F f)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; i++) {
        double t0 = ThreadMs();
        f(i);
        ms.push_back(ThreadMs() - t0);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (!SetUpScene(g_scene)) {
        std::fprintf(stderr, "frame_bench: the renderer did not start\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    double frame = MedianMs(60, [](int) { DrawReferenceFrame(g_scene); });
    double fill = MedianMs(60, [](int i) {
        std::memset(g_target.data(), i, g_target.size() * 4);
        benchmark::ClobberMemory();
    });
    std::printf("reference frame 1920x1080: median %.2f ms CPU; memset of the target: median %.3f ms; ratio %.1f\n", frame,
                fill, frame / fill);
    g_scene.tile->Release();
    g_scene.sprite->Release();
    CleanupD3D();
    benchmark::Shutdown();
    return 0;
}
