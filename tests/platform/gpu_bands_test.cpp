// Draws shared among raster threads: a busy frame comes out byte for byte as
// on the calling thread alone, whatever the thread count and split size.
#include "platform/gpu/raster_bands.h"
#include "tests/support/gpu_test_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int kW = 320, kH = 240;

// A texture of soft fields; with clear, solid and half-transparent stretches
// unless opaque.
std::vector<uint32_t> Picture(int side, bool opaque)
{
    std::vector<uint32_t> texels(static_cast<size_t>(side) * side);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            uint32_t rgb = (static_cast<uint32_t>(x * 5 + y * 3) & 0xFF) | (static_cast<uint32_t>(x ^ y) & 0xFF) << 8 |
                           (static_cast<uint32_t>(x + 2 * y) & 0xFF) << 16;
            uint32_t a = opaque ? 0xFF : (x / 8 + y / 5) % 3 == 0 ? 0 : (x + y) % 11 == 0 ? 0x70 : 0xFF;
            texels[static_cast<size_t>(y) * side + x] = a << 24 | rgb;
        }
    return texels;
}

// Corners of a square of half side r about (cx, cy) turned by angle, in strip order.
std::vector<TestVertex> TurnedQuad(const TestDevice& gpu, float cx, float cy, float r, float angle, uint32_t colour)
{
    const float corner[4][4] = {{-r, r, 0, 1}, {-r, -r, 0, 0}, {r, r, 1, 1}, {r, -r, 1, 0}};
    std::vector<TestVertex> v;
    for (const auto& c : corner) {
        float x = cx + c[0] * std::cos(angle) - c[1] * std::sin(angle);
        float y = cy + c[0] * std::sin(angle) + c[1] * std::cos(angle);
        v.push_back(gpu.At(x, y, colour, c[2], c[3]));
    }
    return v;
}

void SetTerrain(ID3DX11Effect* effect)
{
    effect->GetVariableByName("altitude")->AsScalar()->SetFloat(120.0f);
    effect->GetVariableByName("blendfactor")->AsScalar()->SetFloat(0.5f);
    effect->GetVariableByName("mode")->AsScalar()->SetInt(1);
    effect->GetVariableByName("cosb")->AsScalar()->SetFloat(0.6f);
    effect->GetVariableByName("brightness")->AsScalar()->SetFloat(255.0f);
    const float legend[4][4] = {{0.2f, 0.6f, 0.4f, 1}, {1, 1, 0.6f, 1}, {1, 0, 0, 1}, {0.5f, 0, 0, 1}};
    const char* names[4] = {"color1", "color2", "color3", "color4"};
    for (int k = 0; k < 4; k++)
        effect->GetVariableByName(names[k])->SetRawValue(legend[k], 0, 16);
}

// Every program, both blends, gradients, shared half-transparent edges,
// clipped and broken triangles, a layer drawn back, and a viewport.
std::vector<uint32_t> BusyFrame(int threads, int64_t splitPixels)
{
    GpuRasterThreadsForNewDevices(threads, splitPixels);
    TestDevice gpu(kW, kH);
    GpuRasterThreadsForNewDevices(0, -1);
    std::vector<uint32_t> pixels;
    if (!gpu.Ready())
        return pixels;
    gpu.Clear(0xFF302010u);
    gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
             {gpu.At(0, kH, 0xFF00FF00u), gpu.At(0, 0, 0x800000FFu), gpu.At(kW, kH, 0xFFFF0000u),
              gpu.At(kW, 0, 0xFF808080u)});
    ID3D11ShaderResourceView* opaque = gpu.MakeTexture(64, 64, Picture(64, true));
    ID3D11ShaderResourceView* runs = gpu.MakeTexture(48, 48, Picture(48, false));
    ID3D11ShaderResourceView* terrain = gpu.MakeTexture(32, 32, Picture(32, true));
    for (int i = 0; i < 6; i++) {
        float cx = 40.0f + 50 * i, cy = 60.0f + 23 * (i % 3);
        gpu.Draw("Render", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
                 TurnedQuad(gpu, cx, cy, 70.0f - 6 * i, 0.3f * i, i % 2 ? 0xFFFFFFFFu : 0xC080FFFFu), opaque);
        gpu.Draw("Render", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP, TurnedQuad(gpu, cx + 9, cy + 90, 45, 0, 0xFFFFFFFFu),
                 runs);
    }
    // A fan of half-transparent triangles sharing edges: a pixel on a shared
    // edge blended twice, or a band boundary drawn twice, would show.
    std::vector<TestVertex> fan;
    for (int k = 0; k < 24; k++) {
        float a0 = k * 0.2618f, a1 = (k + 1) * 0.2618f;
        fan.push_back(gpu.At(160.5f, 120.5f, 0x60FFFFFFu));
        fan.push_back(gpu.At(160 + 150 * std::cos(a1), 120 + 110 * std::sin(a1), 0x60FF00FFu));
        fan.push_back(gpu.At(160 + 150 * std::cos(a0), 120 + 110 * std::sin(a0), 0x6000FFFFu));
    }
    gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, fan);
    // Dashes along long lines, one leaving the target far away.
    std::vector<TestVertex> dashes;
    for (int k = 0; k < 12; k++) {
        float y = 10.0f + 19 * k, len = 300 + 2.0e6f * (k == 5);
        float x1 = k == 5 ? 2.0e6f : 310;
        dashes.insert(dashes.end(), {gpu.At(5, y + 3, 0xFF2020E0u, 0, 1, len), gpu.At(5, y, 0xFF2020E0u, 0, 0, len),
                                     gpu.At(x1, y + 1, 0xFF2020E0u, 1, 0, len), gpu.At(x1, y + 4, 0xFF2020E0u, 1, 1, len),
                                     gpu.At(5, y + 3, 0xFF2020E0u, 0, 1, len), gpu.At(x1, y + 1, 0xFF2020E0u, 1, 0, len)});
    }
    float nan = std::nanf("");
    dashes.insert(dashes.end(), {gpu.At(0, 0, 0xFFFFFFFFu), {nan, 0, 0, 0xFFFFFFFFu, 0, 0, 0}, gpu.At(kW, kH, 0xFFFFFFFFu)});
    gpu.Draw("Render6", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, dashes);
    SetTerrain(gpu.effect);
    gpu.Draw("Render2", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP, TurnedQuad(gpu, 200, 150, 80, 0.5f, 0xFFFFFFFFu),
             terrain);
    // A layer with straight colour, drawn back over the frame.
    ID3D11RenderTargetView* layerTarget = nullptr;
    ID3D11ShaderResourceView* layer = gpu.MakeTexture(kW, kH, std::vector<uint32_t>(kW * kH, 0), &layerTarget);
    gpu.SetRenderTarget(layerTarget);
    gpu.Draw("Render5", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST,
             {gpu.At(-1.0e6f, -20, 0x90FF8000u), gpu.At(1.0e6f, 100, 0x4000FF80u), gpu.At(-1.0e6f, 300, 0xFF0080FFu)});
    gpu.Draw("Render4", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP, TurnedQuad(gpu, 100, 160, 60, -0.7f, 0xA0FFFFFFu),
             runs);
    gpu.SetRenderTarget(gpu.backView);
    D3D11_VIEWPORT vp{13.5f, 17.25f, kW - 40.0f, kH - 31.0f, 0, 1};
    gpu.context->RSSetViewports(1, &vp);
    gpu.Draw("Render", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
             {{-1, -1, 0, 0xFFFFFFFFu, 0, 1, 0}, {-1, 1, 0, 0xFFFFFFFFu, 0, 0, 0}, {1, -1, 0, 0xFFFFFFFFu, 1, 1, 0},
              {1, 1, 0, 0xFFFFFFFFu, 1, 0, 0}},
             layer);
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++)
            pixels.push_back(gpu.Pixel(x, y));
    for (IUnknown* p : std::initializer_list<IUnknown*>{opaque, runs, terrain, layerTarget, layer})
        p->Release();
    return pixels;
}

TEST(GpuBands, ABusyFrameIsTheSameOnOneThreadAndOnMany)
{
    std::vector<uint32_t> alone = BusyFrame(1, 0);
    ASSERT_EQ(alone.size(), static_cast<size_t>(kW) * kH);
    // The frame is busy: few pixels keep the clear colour.
    size_t cleared = 0;
    for (uint32_t p : alone)
        cleared += p == 0xFF302010u;
    EXPECT_LT(cleared, alone.size() / 20);
    // Every draw split (0), only large ones (the default), more threads than bands.
    for (int threads : {2, 4, 7})
        for (int64_t split : {int64_t{0}, int64_t{-1}}) {
            std::vector<uint32_t> shared = BusyFrame(threads, split);
            ASSERT_EQ(shared.size(), alone.size());
            for (size_t i = 0; i < alone.size(); i++)
                ASSERT_EQ(shared[i], alone[i]) << "pixel " << i % kW << "," << i / kW << " threads " << threads
                                               << " split " << split;
        }
}

// A frame-sized clear is shared among the threads in stretches: every word
// takes the colour, however the words divide among them.
TEST(GpuBands, ALargeClearOnManyThreadsReachesEveryWord)
{
    for (int threads : {3, 4}) {
        GpuRasterThreadsForNewDevices(threads, -1);
        TestDevice gpu(1001, 333); // more words than a shared clear needs, not a multiple of the threads
        GpuRasterThreadsForNewDevices(0, -1);
        ASSERT_TRUE(gpu.Ready());
        gpu.Clear(0xFF302010u);
        gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
                 {gpu.At(0, 333, 0xFF00FF00u), gpu.At(0, 0, 0x800000FFu), gpu.At(1001, 333, 0xFFFF0000u),
                  gpu.At(1001, 0, 0xFF808080u)});
        gpu.Clear(0x80C0FFEEu);
        for (int y = 0; y < 333; y++)
            for (int x = 0; x < 1001; x++)
                ASSERT_EQ(gpu.Pixel(x, y), 0x80C0FFEEu) << x << "," << y << " on " << threads << " threads";
    }
}

TEST(GpuBands, EveryBandRunsOnceWhateverTheThreads)
{
    for (int threads : {1, 3, 4}) {
        RasterBands bands(threads);
        EXPECT_EQ(bands.Threads(), threads);
        for (int count : {0, 1, 2, 5, 64, 300}) {
            std::vector<std::atomic<int>> runs(static_cast<size_t>(count));
            auto work = [](void* arg, int band) { (*static_cast<std::vector<std::atomic<int>>*>(arg))[band]++; };
            // Many draws in a row: a late worker must never take a band of the next one.
            for (int draw = 0; draw < 50; draw++)
                bands.Run(work, &runs, count);
            for (int b = 0; b < count; b++)
                EXPECT_EQ(runs[b].load(), 50) << threads << " threads, band " << b << " of " << count;
        }
    }
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

// A map frame leaves gaps between its large draws (small draws, the layers'
// own work): workers waiting through them must not burn the processor that
// the simulator beside the map needs.
TEST(GpuBands, WorkersUseNoProcessorBetweenDraws)
{
    RasterBands bands(4);
    std::atomic<int> ran{0};
    auto work = [](void* arg, int) { static_cast<std::atomic<int>*>(arg)->fetch_add(1); };
    const int draws = 100;
    double gaps = 0;
    for (int d = 0; d < draws; d++) {
        bands.Run(work, &ran, 8);
        // The caller's own work between draws: 0.3 ms of its processor time.
        double from = ThreadCpuSeconds();
        volatile uint64_t sink = 0;
        while (ThreadCpuSeconds() < from + 0.0003)
            for (int k = 0; k < 1000; k++)
                sink = sink + static_cast<uint64_t>(k);
        gaps += ThreadCpuSeconds() - from;
    }
    EXPECT_EQ(ran.load(), draws * 8);
    // Processor time, not the wall clock: waking three workers a draw costs
    // them microseconds; staying awake through the gaps would cost each of
    // them the gaps, three times what the caller spent in them.
    EXPECT_LT(bands.WorkerCpuSeconds(), gaps);
}

TEST(GpuBands, TheEnvironmentCanKeepDrawsOnTheCaller)
{
    const char* before = std::getenv("TVL_RASTER_THREADS");
    std::string saved = before ? before : "";
    setenv("TVL_RASTER_THREADS", "1", 1);
    EXPECT_EQ(RasterBands::DefaultThreads(), 1);
    setenv("TVL_RASTER_THREADS", "3", 1);
    EXPECT_EQ(RasterBands::DefaultThreads(), 3);
    // Nonsense falls back to the hardware's count, at most 4.
    for (const char* bad : {"", "0", "-2", "four", "2x"}) {
        setenv("TVL_RASTER_THREADS", bad, 1);
        int n = RasterBands::DefaultThreads();
        EXPECT_GE(n, 1) << bad;
        EXPECT_LE(n, 4) << bad;
    }
    if (before)
        setenv("TVL_RASTER_THREADS", saved.c_str(), 1);
    else
        unsetenv("TVL_RASTER_THREADS");
}

} // namespace
