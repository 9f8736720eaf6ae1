// Pixel tests of the software renderer: coverage and the fill rule, culling,
// colours, blending, sampling, dashes, clipping and mapping.
#include "platform/gpu/raster.h"
#include "tests/support/gpu_test_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kRed = 0xFF0000FFu;
constexpr uint32_t kBlue = 0xFFFF0000u;

class GpuRaster : public ::testing::Test {
protected:
    GpuRaster() : gpu(16, 16) {}
    void SetUp() override
    {
        ASSERT_TRUE(gpu.Ready());
        gpu.Clear(kBlack);
    }
    int CountPixels(uint32_t value)
    {
        int n = 0;
        for (int y = 0; y < gpu.Height(); y++)
            for (int x = 0; x < gpu.Width(); x++)
                n += gpu.Pixel(x, y) == value;
        return n;
    }
    TestDevice gpu;
};

TEST_F(GpuRaster, QuadCoversExactlyThePixelsWhoseCentresItHolds)
{
    gpu.Quad("Render1", 2, 3, 6, 7, kRed);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) {
            bool inside = x >= 2 && x < 6 && y >= 3 && y < 7;
            EXPECT_EQ(gpu.Pixel(x, y), inside ? kRed : kBlack) << x << "," << y;
        }
}

TEST_F(GpuRaster, EdgesThroughPixelCentresAreCoveredOnce)
{
    // Half-transparent quads that share edges running through pixel centres:
    // a pixel covered twice would be blended twice and come out brighter.
    const uint32_t half = 0x80FFFFFFu;
    gpu.Quad("Render1", 0.5f, 0.5f, 5.5f, 8.5f, half);
    gpu.Quad("Render1", 5.5f, 0.5f, 12.5f, 8.5f, half);
    gpu.Quad("Render1", 0.5f, 8.5f, 12.5f, 14.5f, half);
    uint32_t once = 0xFF808080u;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) {
            // Top-left rule: pixels on the left and top edges are in, on the right and bottom ones out.
            bool inside = x >= 0 && x <= 11 && y >= 0 && y <= 13;
            EXPECT_EQ(gpu.Pixel(x, y), inside ? once : kBlack) << x << "," << y;
        }
}

TEST_F(GpuRaster, DiagonalOfAStripQuadIsCoveredOnce)
{
    // The square's diagonal runs through pixel centres.
    gpu.Quad("Render1", 2.5f, 2.5f, 10.5f, 10.5f, 0x80FFFFFFu);
    EXPECT_EQ(CountPixels(0xFF808080u), 64);
    EXPECT_EQ(CountPixels(kBlack), 256 - 64);
}

TEST_F(GpuRaster, CounterClockwiseTrianglesAreCulled)
{
    std::vector<TestVertex> cw = {gpu.At(1, 1, kRed), gpu.At(9, 1, kRed), gpu.At(1, 9, kRed)};
    std::vector<TestVertex> ccw = {gpu.At(10, 10, kBlue), gpu.At(10, 15, kBlue), gpu.At(15, 10, kBlue)};
    gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, cw);
    gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, ccw);
    EXPECT_EQ(gpu.Pixel(2, 2), kRed);
    EXPECT_EQ(CountPixels(kBlue), 0);
}

TEST_F(GpuRaster, CullModeNoneDrawsBothWindings)
{
    D3D11_RASTERIZER_DESC rd{};
    rd.FillMode = D3D11_FILL_SOLID;
    rd.CullMode = D3D11_CULL_NONE;
    ID3D11RasterizerState* none = nullptr;
    ASSERT_EQ(gpu.device->CreateRasterizerState(&rd, &none), S_OK);
    gpu.context->RSSetState(none);
    gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST,
             {gpu.At(10, 10, kBlue), gpu.At(10, 15, kBlue), gpu.At(15, 10, kBlue)});
    EXPECT_EQ(gpu.Pixel(11, 11), kBlue);
    none->Release();
}

TEST_F(GpuRaster, VertexColourIsRedInTheLowestByte)
{
    gpu.Quad("Render1", 0, 0, 16, 16, 0xFF336699u);
    uint32_t p = gpu.Pixel(8, 8);
    EXPECT_EQ(p & 0xFF, 0x99u);         // red
    EXPECT_EQ((p >> 8) & 0xFF, 0x66u);  // green
    EXPECT_EQ((p >> 16) & 0xFF, 0x33u); // blue
}

TEST_F(GpuRaster, SourceAlphaBlendsOverTheTarget)
{
    gpu.Clear(kBlue);
    gpu.Quad("Render1", 0, 0, 16, 16, 0x800000FFu); // half red
    // 128/255 of red over blue, rounded; the target alpha stays opaque.
    EXPECT_EQ(gpu.Pixel(3, 3), 0xFF7F0080u);
    gpu.Quad("Render1", 0, 0, 16, 16, 0x000000FFu); // fully transparent: no change
    EXPECT_EQ(gpu.Pixel(3, 3), 0xFF7F0080u);
}

TEST_F(GpuRaster, OffscreenTechniqueKeepsColourUnpremultiplied)
{
    gpu.Clear(0);
    gpu.Quad("Render5", 0, 0, 16, 16, 0x800000FFu);
    EXPECT_EQ(gpu.Pixel(3, 3), 0x800000FFu);
    gpu.Clear(0);
    gpu.Quad("Render1", 0, 0, 16, 16, 0x800000FFu); // on-screen blending darkens instead
    EXPECT_EQ(gpu.Pixel(3, 3), 0x80000080u);
}

TEST_F(GpuRaster, GouraudColourRunsBetweenVertices)
{
    gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
             {gpu.At(0, 16, 0xFF000000u), gpu.At(0, 0, 0xFF000000u), gpu.At(16, 16, 0xFF0000FFu),
              gpu.At(16, 0, 0xFF0000FFu)});
    // Red grows with x: 255 (x + 0.5) / 16 at pixel centres.
    for (int x = 0; x < 16; x++)
        EXPECT_EQ(gpu.Pixel(x, 5) & 0xFF, static_cast<uint32_t>(std::lround(255.0 * (x + 0.5) / 16))) << x;
}

TEST_F(GpuRaster, TexturedQuadAtNativeSizeCopiesEveryTexel)
{
    std::vector<uint32_t> texels(16);
    for (int i = 0; i < 16; i++)
        texels[i] = 0xFF000000u | (i * 16);
    ID3D11ShaderResourceView* view = gpu.MakeTexture(4, 4, texels);
    gpu.Quad("Render", 4, 4, 8, 8, 0xFFFFFFFFu, view);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(gpu.Pixel(4 + x, 4 + y), texels[y * 4 + x]) << x << "," << y;
    view->Release();
}

TEST_F(GpuRaster, TextureIsMultipliedByVertexColour)
{
    ID3D11ShaderResourceView* view = gpu.MakeTexture(1, 1, {0xFFFFFFFFu});
    gpu.Quad("Render", 0, 0, 16, 16, 0xFF00FF00u, view); // white texture, green vertices
    EXPECT_EQ(gpu.Pixel(5, 5), 0xFF00FF00u);
    view->Release();
}

TEST_F(GpuRaster, BilinearSamplingBlendsNeighbourTexels)
{
    ID3D11ShaderResourceView* view = gpu.MakeTexture(2, 1, {0xFF000000u, 0xFF0000FFu});
    gpu.Quad("Render", 0, 0, 4, 1, 0xFFFFFFFFu, view);
    // Pixel centres sample texel positions -0.25, 0.25, 0.75, 1.25; edges clamp.
    EXPECT_EQ(gpu.Pixel(0, 0) & 0xFF, 0u);
    EXPECT_EQ(gpu.Pixel(1, 0) & 0xFF, 63u);
    EXPECT_EQ(gpu.Pixel(2, 0) & 0xFF, 191u);
    EXPECT_EQ(gpu.Pixel(3, 0) & 0xFF, 255u);
    view->Release();
}

// floor((p (256 - w) + q w) / 256) per channel: the sampler's documented steps.
uint32_t LerpChannels(uint32_t p, uint32_t q, uint32_t w)
{
    uint32_t out = 0;
    for (int s = 0; s < 32; s += 8)
        out |= ((((p >> s) & 0xFF) * (256 - w) + ((q >> s) & 0xFF) * w) >> 8) << s;
    return out;
}

TEST_F(GpuRaster, BilinearInsideAndAtTheEdgeFollowTheSameSteps)
{
    // A 2 x 2 texture over 4 x 4 pixels: texel positions -0.25, 0.25, 0.75,
    // 1.25 on both axes; the middle pixels sample between all four texels.
    const uint32_t c00 = 0xFF102030u, c10 = 0x80FF00C0u, c01 = 0xFF64FF01u, c11 = 0x40C80A7Fu;
    ID3D11ShaderResourceView* view = gpu.MakeTexture(2, 2, {c00, c10, c01, c11});
    gpu.Clear(0);
    gpu.Draw("Render", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
             {gpu.At(4, 8, 0xFFFFFFFFu, 0, 1), gpu.At(4, 4, 0xFFFFFFFFu, 0, 0), gpu.At(8, 8, 0xFFFFFFFFu, 1, 1),
              gpu.At(8, 4, 0xFFFFFFFFu, 1, 0)},
             view);
    const uint32_t w[4] = {0, 64, 192, 0}; // weight towards the next texel
    const int t[4] = {0, 0, 0, 1};         // first tap (clamped at the edges)
    const uint32_t texel[2][2] = {{c00, c10}, {c01, c11}};
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) {
            int x1 = std::min(t[x] + 1, 1), y1 = std::min(t[y] + 1, 1);
            uint32_t left = LerpChannels(texel[t[y]][t[x]], texel[y1][t[x]], w[y]);
            uint32_t right = LerpChannels(texel[t[y]][x1], texel[y1][x1], w[y]);
            uint32_t sample = LerpChannels(left, right, w[x]);
            // Drawn over transparent black with the on-screen blend.
            uint32_t a = sample >> 24, expect = 0;
            for (int s = 0; s < 24; s += 8) {
                uint32_t c = ((sample >> s) & 0xFF) * a;
                expect |= ((c + 128 + ((c + 128) >> 8)) >> 8) << s;
            }
            expect |= a << 24;
            EXPECT_EQ(gpu.Pixel(4 + x, 4 + y), expect) << x << "," << y;
        }
    view->Release();
}

// A map tile drawn at its own size a fraction of a pixel off the grid: every
// pixel takes the same fractions, four pixels at a time, with the sampler's steps.
TEST(GpuRasterTiles, ATileAtItsOwnSizeSamplesEveryPixelWithTheSamplersSteps)
{
    const int tw = 64, th = 32;
    std::vector<uint32_t> texels(tw * th);
    for (int y = 0; y < th; y++)
        for (int x = 0; x < tw; x++)
            texels[y * tw + x] = 0xFF000000u | static_cast<uint32_t>((x * 37 + y * 11) & 0xFF) |
                                 static_cast<uint32_t>((x ^ (y * 3)) & 0xFF) << 8 |
                                 static_cast<uint32_t>((x * y + 7) & 0xFF) << 16;
    TestDevice gpu(96, 48);
    ASSERT_TRUE(gpu.Ready());
    ID3D11ShaderResourceView* view = gpu.MakeTexture(tw, th, texels);
    const float x0 = 3.25f, y0 = 5.75f; // texel positions px - 3.25 and py - 5.75: fractions 0.75 and 0.25
    gpu.Clear(0xFF000000u);
    gpu.Draw("Render", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
             {gpu.At(x0, y0 + th, 0xFFFFFFFFu, 0, 1), gpu.At(x0, y0, 0xFFFFFFFFu, 0, 0),
              gpu.At(x0 + tw, y0 + th, 0xFFFFFFFFu, 1, 1), gpu.At(x0 + tw, y0, 0xFFFFFFFFu, 1, 0)},
             view);
    auto texel = [&](int x, int y) { return texels[std::clamp(y, 0, th - 1) * tw + std::clamp(x, 0, tw - 1)]; };
    for (int py = 6; py < 37; py++)
        for (int px = 3; px < 67; px++) {
            int tx = static_cast<int>(std::floor(px - 3.25)), ty = static_cast<int>(std::floor(py - 5.75));
            uint32_t left = LerpChannels(texel(tx, ty), texel(tx, ty + 1), 64);
            uint32_t right = LerpChannels(texel(tx + 1, ty), texel(tx + 1, ty + 1), 64);
            ASSERT_EQ(gpu.Pixel(px, py), LerpChannels(left, right, 192)) << px << "," << py;
        }
    view->Release();
}

// A turned, scaled opaque picture: the copy path, two pixels a step, gives
// what the sampler gives one pixel at a time where the picture is not
// opaque (one texel outside the part drawn is not).
TEST(GpuRasterTiles, TurnedPicturesCopyAsTheSamplerSamples)
{
    const int side = 48;
    std::vector<uint32_t> texels(side * side);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++)
            texels[y * side + x] = 0xFF000000u | static_cast<uint32_t>((x * 29 + y * 7) & 0xFF) |
                                   static_cast<uint32_t>((x * y) & 0xFF) << 8 |
                                   static_cast<uint32_t>((x ^ y) * 5 & 0xFF) << 16;
    std::vector<uint32_t> frames[2];
    for (int k = 0; k < 2; k++) {
        TestDevice gpu(80, 80);
        ASSERT_TRUE(gpu.Ready());
        std::vector<uint32_t> picture = texels;
        if (k == 1)
            picture[0] = 0xFE000000u; // no longer opaque; texel 0 is never sampled below
        ID3D11ShaderResourceView* view = gpu.MakeTexture(side, side, picture);
        gpu.Clear(0xFF000000u);
        // The middle half of the picture, 1.7 times its size, turned by 0.37.
        const float c = std::cos(0.37f), s = std::sin(0.37f), r = 0.5f * side * 0.5f * 1.7f;
        const float corner[4][4] = {{-r, r, 0.25f, 0.75f}, {-r, -r, 0.25f, 0.25f}, {r, r, 0.75f, 0.75f},
                                    {r, -r, 0.75f, 0.25f}};
        std::vector<TestVertex> quad;
        for (const auto& q : corner)
            quad.push_back(gpu.At(40 + q[0] * c - q[1] * s, 40 + q[0] * s + q[1] * c, 0xFFFFFFFFu, q[2], q[3]));
        gpu.Draw("Render", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP, quad, view);
        for (int y = 0; y < 80; y++)
            for (int x = 0; x < 80; x++)
                frames[k].push_back(gpu.Pixel(x, y));
        view->Release();
    }
    size_t covered = 0;
    for (size_t i = 0; i < frames[0].size(); i++) {
        ASSERT_EQ(frames[0][i], frames[1][i]) << "pixel " << i % 80 << "," << i / 80;
        covered += frames[0][i] != 0xFF000000u;
    }
    EXPECT_GT(covered, 1000u);
}

// Draws a picture scaled over a shaded background and returns the pixels.
std::vector<uint32_t> DrawScaledPicture(bool fromRenderTarget, uint32_t colour, float angle, bool opaque)
{
    // Clear, solid and half-transparent runs, with single texels between them.
    std::vector<uint32_t> texels(20 * 6);
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 20; x++) {
            uint32_t rgb = static_cast<uint32_t>(x * 12 + y * 40) * 0x010203u & 0xFFFFFFu;
            uint32_t a = opaque ? 0xFF : (x + y) % 9 == 0 ? 0x7F : x < 7 ? 0 : x < 13 ? 0xFF : x == 15 ? 0 : 0x60;
            texels[y * 20 + x] = a << 24 | rgb;
        }
    TestDevice gpu(48, 24);
    std::vector<uint32_t> pixels;
    if (!gpu.Ready())
        return pixels;
    gpu.Clear(0xFF000000u);
    gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
             {gpu.At(0, 24, 0xFF00FF00u), gpu.At(0, 0, 0x800000FFu), gpu.At(48, 24, 0xFFFF0000u),
              gpu.At(48, 0, 0xFF808080u)});
    ID3D11RenderTargetView* target = nullptr;
    ID3D11ShaderResourceView* view = gpu.MakeTexture(20, 6, texels, fromRenderTarget ? &target : nullptr);
    // 1.5 and 3.25 pixels a texel, partly outside the target; turned when asked.
    float x[4] = {-1, -1, 29, 29}, y[4] = {21.5f, 2, 21.5f, 2};
    for (int k = 0; k < 4; k++) {
        float dx = x[k] - 14, dy = y[k] - 12;
        x[k] = 14 + dx * std::cos(angle) - dy * std::sin(angle);
        y[k] = 12 + dx * std::sin(angle) + dy * std::cos(angle);
    }
    gpu.Draw("Render", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
             {gpu.At(x[0], y[0], colour, 0, 1), gpu.At(x[1], y[1], colour, 0, 0), gpu.At(x[2], y[2], colour, 1, 1),
              gpu.At(x[3], y[3], colour, 1, 0)},
             view);
    for (int py = 0; py < gpu.Height(); py++)
        for (int px = 0; px < gpu.Width(); px++)
            pixels.push_back(gpu.Pixel(px, py));
    if (target)
        target->Release();
    view->Release();
    return pixels;
}

TEST(GpuRasterRuns, PicturesWithClearAndSolidRunsSampleAsEveryOtherTexture)
{
    // A render target has neither alpha runs nor counts as opaque, so it takes
    // the general per-pixel path; opaque pictures take the copy path.
    for (bool opaque : {false, true})
        for (uint32_t colour : {0xFFFFFFFFu, 0xFF80C0FFu, 0x90FFFFFFu})
            for (float angle : {0.0f, 0.4f, -1.9f, 3.14159265f}) {
                std::vector<uint32_t> fast = DrawScaledPicture(false, colour, angle, opaque);
                std::vector<uint32_t> general = DrawScaledPicture(true, colour, angle, opaque);
                ASSERT_EQ(fast.size(), 48u * 24u);
                ASSERT_EQ(fast.size(), general.size());
                for (size_t i = 0; i < fast.size(); i++)
                    ASSERT_EQ(fast[i], general[i]) << "pixel " << i % 48 << "," << i / 48 << " colour " << std::hex
                                                   << colour << " angle " << angle << " opaque " << opaque;
            }
}

TEST(GpuRasterRuns, RunsCountTexelsOfOneAlphaClassToTheRowEnd)
{
    std::vector<uint32_t> texels = {0, 0, 0xFF000000u, 0xFF123456u, 0x80000000u, 0};
    std::vector<uint32_t> wide(100, 0x00FFFFFFu); // clear, longer than a run can count
    std::vector<uint8_t> runs(6), longRuns(100);
    BuildAlphaRuns(texels.data(), 6, 1, runs.data());
    BuildAlphaRuns(wide.data(), 100, 1, longRuns.data());
    auto run = [](uint8_t kind, int length) { return static_cast<uint8_t>(kind << 6 | length); };
    EXPECT_EQ(runs, (std::vector<uint8_t>{run(kAlphaClear, 2), run(kAlphaClear, 1), run(kAlphaSolid, 2),
                                          run(kAlphaSolid, 1), run(kAlphaMixed, 1), run(kAlphaClear, 1)}));
    EXPECT_EQ(longRuns[0], run(kAlphaClear, kAlphaRunMax));
    EXPECT_EQ(longRuns[99 - 10], run(kAlphaClear, 11));
}

TEST(GpuRasterRuns, StepsInsideKeepEveryTexelOfTheSpanWithinTheTexture)
{
    // Brute force over starts and steps, forwards, backwards and standing.
    for (int64_t t : {-200000LL, -1LL, 0LL, 65535LL, 300000LL, 655359LL, 655360LL, 900000LL})
        for (int64_t dt : {-70000LL, -65536LL, -1000LL, 0LL, 1LL, 30000LL, 65536LL, 200000LL}) {
            int k0 = 0, k1 = 40;
            StepsInside(t, dt, 10, 40, &k0, &k1);
            for (int k = 0; k < 40; k++) {
                int64_t texel = (t + k * dt) >> 16;
                bool inside = texel >= 0 && texel < 10;
                EXPECT_EQ(k >= k0 && k < k1, inside) << t << " " << dt << " " << k;
            }
        }
}

TEST(GpuRasterRuns, StepsInsideHoldForStartsAndStepsFarOutside)
{
    // Steps of up to the clamp's million texels, and starts where the
    // quotients land on and beside whole numbers.
    std::mt19937_64 random(7);
    for (int i = 0; i < 3000; i++) {
        const int64_t range = int64_t{1} << (random() % 37);
        int64_t dt = static_cast<int64_t>(random() % (2 * range + 1)) - range;
        const int last = 1 + static_cast<int>(random() % 16384);
        int64_t t = static_cast<int64_t>(random() % (2 * 65536000000LL + 1)) - 65536000000LL;
        if (i % 3 == 0 && dt != 0) // the first or last step exactly on an edge
            t = -dt * static_cast<int64_t>(random() % 50) + (i % 2 ? 0 : (int64_t{last} << 16));
        const int n = 1 + static_cast<int>(random() % 300);
        int k0 = 0, k1 = n;
        StepsInside(t, dt, last, n, &k0, &k1);
        for (int k = 0; k < n; k++) {
            const int64_t texel = (t + k * dt) >> 16;
            ASSERT_EQ(k >= k0 && k < k1, texel >= 0 && texel < last) << t << " " << dt << " " << last << " " << k;
        }
    }
}

TEST(GpuRasterRuns, ClearCellsMarkTexelsWhoseFourTapsAreTransparent)
{
    std::mt19937 random(5);
    for (int i = 0; i < 200; i++) {
        const int w = 1 + static_cast<int>(random() % 90), h = 1 + static_cast<int>(random() % 9);
        std::vector<uint32_t> texels(static_cast<size_t>(w) * h);
        for (uint32_t& t : texels)
            t = (random() % 5 ? 0u : random() % 2 ? 0xFFu : 0x01u) << 24 | (random() & 0xFFFFFF);
        std::vector<uint8_t> runs(texels.size()), cells(texels.size());
        BuildAlphaRuns(texels.data(), w, h, runs.data());
        BuildClearCells(runs.data(), w, h, cells.data());
        auto clear = [&](int x, int y) { return texels[static_cast<size_t>(y) * w + x] >> 24 == 0; };
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const bool want = x + 1 < w && y + 1 < h && clear(x, y) && clear(x + 1, y) && clear(x, y + 1) &&
                                  clear(x + 1, y + 1);
                ASSERT_EQ(cells[static_cast<size_t>(y) * w + x], want ? 1 : 0) << w << "x" << h << " at " << x << "," << y;
            }
    }
}

// Channel products and blends rounded to the nearest of 255ths (a ratio of
// 255 is never half way), written out plainly.
uint32_t PlainChannel(uint32_t x)
{
    return (x + 127) / 255;
}

TEST(GpuRasterArithmetic, TintedTexelsRoundEveryChannelProduct)
{
    // Every pair of channel values, in each of the four lanes.
    for (uint32_t t = 0; t < 256; t++)
        for (uint32_t c = 0; c < 256; c++) {
            uint32_t texel = t | (255 - t) << 8 | (t ^ 0x5A) << 16 | t << 24;
            uint32_t colour = c << 24 | (c ^ 0xA5) << 16 | c << 8 | (255 - c);
            uint32_t want = 0;
            for (int shift = 0; shift < 32; shift += 8)
                want |= PlainChannel(((texel >> shift) & 0xFF) * ((colour >> shift) & 0xFF)) << shift;
            if (colour == 0xFFFFFFFFu)
                want = texel;
            ASSERT_EQ(ModulateColour(texel, colour), want) << std::hex << texel << " " << colour;
        }
}

TEST(GpuRasterArithmetic, ASpanBlendsEachPixelAsOneBlendDoes)
{
    // Spans of every length round the four-pixel step, over varied targets,
    // for every alpha: each word as BlendOver makes it, nothing past the end.
    std::vector<uint32_t> target(23);
    for (uint32_t a = 0; a < 256; a++)
        for (size_t n : {size_t{0}, size_t{1}, size_t{3}, size_t{4}, size_t{5}, size_t{8}, size_t{22}}) {
            uint32_t colour = a << 24 | (a * 7 & 0xFF) << 16 | (255 - a) << 8 | (a * 13 & 0xFF);
            for (size_t i = 0; i < target.size(); i++)
                target[i] = static_cast<uint32_t>(i * 0x9E3779B9u + a * 0x85EBCA6Bu);
            std::vector<uint32_t> want = target;
            for (size_t i = 0; i < n; i++)
                want[i] = BlendOver(colour, want[i]);
            BlendSpanOver(target.data(), n, colour);
            ASSERT_EQ(target, want) << "alpha " << a << " length " << n;
        }
    // And BlendOver itself is the plain formula, the source alpha counting as 255.
    for (uint32_t a = 1; a < 255; a += 23)
        for (uint32_t d = 0; d < 256; d += 17) {
            uint32_t src = a << 24 | 0x00804020u, dst = d << 24 | d << 16 | (255 - d) << 8 | d;
            uint32_t want = 0;
            for (int shift = 0; shift < 24; shift += 8)
                want |= PlainChannel(((src >> shift) & 0xFF) * a + ((dst >> shift) & 0xFF) * (255 - a)) << shift;
            want |= PlainChannel(255 * a + d * (255 - a)) << 24;
            EXPECT_EQ(BlendOver(src, dst), want) << a << " " << d;
        }
}

TEST(GpuRasterRuns, RoundingMatchesTheLibraryHalvesAwayFromZero)
{
    for (double x : {0.0, 0.5, -0.5, 1.5, -2.5, 0.49999999999999994, -0.49999999999999994, 4503599627370495.5,
                     -65536.49999, 6.5536e10 + 0.5, -6.5536e11 - 0.5, 1e-300})
        EXPECT_EQ(RoundToInt64(x), std::llround(x)) << x;
}

TEST_F(GpuRaster, DashedLineAlternatesEightOnSixOff)
{
    TestDevice wide(48, 4);
    ASSERT_TRUE(wide.Ready());
    wide.Clear(kBlack);
    // A 40-pixel segment from x = 0 to 40 as the dashed polyline writes it.
    const float len = 40;
    wide.Draw("Render6", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST,
              {wide.At(0, 3, kRed, 0, 1, len), wide.At(0, 0, kRed, 0, 0, len), wide.At(40, 0, kRed, 1, 0, len),
               wide.At(40, 3, kRed, 1, 1, len), wide.At(0, 3, kRed, 0, 1, len), wide.At(40, 0, kRed, 1, 0, len)});
    for (int x = 0; x < 48; x++) {
        bool on = x < 40 && (x % 14) < 8;
        EXPECT_EQ(wide.Pixel(x, 1), on ? kRed : kBlack) << x;
    }
}

TEST_F(GpuRaster, HugeTrianglesAreClippedNotLost)
{
    // Corners far outside the guard band still cover the whole target.
    gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST,
             {{-1.0e6f, -1.0e6f, 0, kRed, 0, 0, 0}, {-1.0e6f, 1.0e6f, 0, kRed, 0, 0, 0},
              {1.0e6f, 0, 0, kRed, 0, 0, 0}});
    EXPECT_EQ(CountPixels(kRed), 256);
}

TEST_F(GpuRaster, NonFiniteVerticesDrawNothing)
{
    float nan = std::nanf("");
    gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST,
             {gpu.At(0, 0, kRed), gpu.At(16, 0, kRed), {nan, 0, 0, kRed, 0, 0, 0}});
    gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST,
             {gpu.At(0, 0, kRed), {INFINITY, 0, 0, kRed, 0, 0, 0}, gpu.At(0, 16, kRed)});
    EXPECT_EQ(CountPixels(kRed), 0);
}

TEST_F(GpuRaster, ViewportLimitsDrawing)
{
    D3D11_VIEWPORT vp{4, 4, 8, 8, 0, 1};
    gpu.context->RSSetViewports(1, &vp);
    gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
             {{-2, -2, 0, kRed, 0, 0, 0}, {-2, 2, 0, kRed, 0, 0, 0}, {2, -2, 0, kRed, 0, 0, 0}, {2, 2, 0, kRed, 0, 0, 0}});
    EXPECT_EQ(CountPixels(kRed), 64);
    EXPECT_EQ(gpu.Pixel(4, 4), kRed);
    EXPECT_EQ(gpu.Pixel(3, 4), kBlack);
    EXPECT_EQ(gpu.Pixel(12, 12), kBlack);
}

TEST_F(GpuRaster, ClearConvertsFloatsToBytes)
{
    float colour[4] = {1.0f, 0.5f, -3.0f, std::nanf("")};
    gpu.context->ClearRenderTargetView(gpu.backView, colour);
    EXPECT_EQ(gpu.Pixel(0, 0), 0x000080FFu);
}

TEST_F(GpuRaster, RenderToTextureThenSampleIt)
{
    ID3D11RenderTargetView* target = nullptr;
    ID3D11ShaderResourceView* view = gpu.MakeTexture(16, 16, std::vector<uint32_t>(256, 0), &target);
    ASSERT_NE(target, nullptr);
    gpu.SetRenderTarget(target);
    gpu.Quad("Render5", 0, 0, 8, 16, kRed);
    gpu.SetRenderTarget(gpu.backView);
    gpu.Quad("Render", 0, 0, 16, 16, 0xFFFFFFFFu, view);
    EXPECT_EQ(gpu.Pixel(3, 3), kRed);
    EXPECT_EQ(gpu.Pixel(12, 3), kBlack); // transparent part of the layer
    target->Release();
    view->Release();
}

} // namespace
