// Consecutive draws of the same state rasterized as one job: a frame of many
// small draws comes out byte for byte as with every draw on its own, and
// whatever reads or changes a texture sees the draws made before it.
#include "platform/event_script.h"
#include "tests/support/gpu_test_device.h"
#include "tests/support/screenshot.h"
#include "tests/support/temp_folder.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kW = 256, kH = 192;

// Soft fields with clear, solid and half-transparent stretches.
std::vector<uint32_t> Glyphs(int side)
{
    std::vector<uint32_t> texels(static_cast<size_t>(side) * side);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            uint32_t a = (x / 3 + y / 4) % 3 == 0 ? 0 : (x + y) % 7 == 0 ? 0x80 : 0xFF;
            texels[static_cast<size_t>(y) * side + x] = a << 24 | static_cast<uint32_t>(x * 9 + y) << 8 | (x ^ y);
        }
    return texels;
}

// A texture the CPU rewrites between draws.
ID3D11ShaderResourceView* DynamicTexture(TestDevice& gpu, int side, ID3D11Texture2D** texture)
{
    D3D11_TEXTURE2D_DESC d{};
    d.Width = d.Height = static_cast<UINT>(side);
    d.MipLevels = d.ArraySize = 1;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc.Count = 1;
    d.Usage = D3D11_USAGE_DYNAMIC;
    d.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    d.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    std::vector<uint32_t> texels(static_cast<size_t>(side) * side, 0xFF0000FFu);
    D3D11_SUBRESOURCE_DATA init{texels.data(), static_cast<UINT>(side * 4), 0};
    ID3D11ShaderResourceView* view = nullptr;
    if (SUCCEEDED(gpu.device->CreateTexture2D(&d, &init, texture)))
        gpu.device->CreateShaderResourceView(*texture, nullptr, &view);
    return view;
}

void Fill(TestDevice& gpu, ID3D11Texture2D* texture, int side, uint32_t word)
{
    D3D11_MAPPED_SUBRESOURCE m;
    ASSERT_TRUE(SUCCEEDED(gpu.context->Map(texture, 0, D3D11_MAP_WRITE_DISCARD, 0, &m)));
    auto* p = static_cast<uint32_t*>(m.pData);
    for (int i = 0; i < side * side; i++)
        p[i] = word;
    gpu.context->Unmap(texture, 0);
}

void SetAltitude(TestDevice& gpu, float altitude)
{
    gpu.effect->GetVariableByName("altitude")->AsScalar()->SetFloat(altitude);
    gpu.effect->GetVariableByName("blendfactor")->AsScalar()->SetFloat(0.5f);
    gpu.effect->GetVariableByName("mode")->AsScalar()->SetInt(1);
    gpu.effect->GetVariableByName("brightness")->AsScalar()->SetFloat(255.0f);
    const float legend[4][4] = {{0.2f, 0.6f, 0.4f, 1}, {1, 1, 0.6f, 1}, {1, 0, 0, 1}, {0.5f, 0, 0, 1}};
    const char* names[4] = {"color1", "color2", "color3", "color4"};
    for (int k = 0; k < 4; k++)
        gpu.effect->GetVariableByName(names[k])->SetRawValue(legend[k], 0, 16);
}

// Runs of small draws that may join, changing between them everything a run
// of one state must not span (technique, texture, colour, viewport, terrain
// values) and everything a batch must not span (a texture rewritten, a clear,
// a target switch, a draw larger than the batch), and a texture released at once.
std::vector<uint32_t> ManySmallDraws(int batchVertices, int threads, int64_t splitPixels)
{
    GpuBatchDrawsForNewDevices(batchVertices);
    GpuRasterThreadsForNewDevices(threads, splitPixels);
    TestDevice gpu(kW, kH);
    GpuBatchDrawsForNewDevices(-1);
    GpuRasterThreadsForNewDevices(0, -1);
    std::vector<uint32_t> pixels;
    if (!gpu.Ready())
        return pixels;
    gpu.Clear(0xFF403020u);
    ID3D11ShaderResourceView* glyphs = gpu.MakeTexture(32, 32, Glyphs(32));
    ID3D11ShaderResourceView* other = gpu.MakeTexture(16, 16, Glyphs(16));
    // Overlapping glyph quads: white, then tinted, then shaded corner to corner.
    for (int i = 0; i < 120; i++) {
        float x = static_cast<float>((i * 37) % (kW - 20)), y = static_cast<float>((i * 23) % (kH - 20));
        uint32_t colour = i < 60 ? 0xFFFFFFFFu : i < 90 ? 0xC040FFFFu : 0xFFFFFFFFu;
        if (i < 100)
            gpu.Quad("Render", x, y, x + 18.5f, y + 15.25f, colour, i % 17 == 5 ? other : glyphs);
        else
            gpu.Draw("Render", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
                     {gpu.At(x, y + 16, 0xFF00FFFFu, 0, 1), gpu.At(x, y, 0x80FFFFFFu, 0, 0),
                      gpu.At(x + 16, y + 16, 0xFFFF00FFu, 1, 1), gpu.At(x + 16, y, 0xFFFFFFFFu, 1, 0)},
                     glyphs);
        if (i % 29 == 0)
            gpu.Quad("Render1", x + 4, y + 4, x + 30, y + 9, 0xA02020E0u);
    }
    // Half-transparent label boxes, the same colour, crossing one another.
    for (int i = 0; i < 40; i++) {
        float x = static_cast<float>((i * 53) % (kW - 40)), y = static_cast<float>((i * 31) % (kH - 12));
        gpu.Quad("Render1", x, y, x + 40, y + 12, 0x90000000u);
    }
    // The same boxes through a smaller viewport: the clip rectangle changes between them.
    D3D11_VIEWPORT full{0, 0, static_cast<float>(kW), static_cast<float>(kH), 0, 1};
    for (int i = 0; i < 6; i++) {
        D3D11_VIEWPORT vp{10.5f + 7 * i, 20.25f, 120.0f - 9 * i, 100.0f, 0, 1};
        gpu.context->RSSetViewports(1, i % 2 ? &vp : &full);
        gpu.Quad("Render1", 0, 30, 100, 60, 0x7000FF00u);
        // Reaching past the small viewport on every side: its rows and columns clip it.
        gpu.Quad("Render1", -30, -40, 170, 210, 0x30FF00FFu);
    }
    gpu.context->RSSetViewports(1, &full);
    // Terrain quads whose values change between two draws.
    ID3D11ShaderResourceView* heights = gpu.MakeTexture(32, 32, Glyphs(32));
    for (int i = 0; i < 4; i++) {
        SetAltitude(gpu, i < 2 ? 40.0f : 180.0f);
        gpu.Quad("Render2", 150.0f + 20 * i, 120, 175.0f + 20 * i, 150, 0xFFFFFFFFu, heights);
    }
    // A texture rewritten between two draws that use it: each shows its own content.
    ID3D11Texture2D* dynamicTexture = nullptr;
    ID3D11ShaderResourceView* dynamic = DynamicTexture(gpu, 8, &dynamicTexture);
    gpu.Quad("Render", 10, 150, 40, 180, 0xFFFFFFFFu, dynamic);
    Fill(gpu, dynamicTexture, 8, 0xFF00FF00u);
    gpu.Quad("Render", 30, 160, 60, 190, 0xFFFFFFFFu, dynamic);
    // A texture released right after its draw: the draw still shows it.
    ID3D11ShaderResourceView* shortLived = gpu.MakeTexture(16, 16, Glyphs(16));
    gpu.Quad("Render", 70, 150, 100, 180, 0xFFFFFFFFu, shortLived);
    shortLived->Release();
    // A layer drawn, cleared in part of its life, drawn again and drawn back.
    ID3D11RenderTargetView* layerTarget = nullptr;
    ID3D11ShaderResourceView* layer = gpu.MakeTexture(kW, kH, std::vector<uint32_t>(kW * kH, 0), &layerTarget);
    gpu.SetRenderTarget(layerTarget);
    gpu.Quad("Render5", 0, 0, 90, 90, 0x80FF0000u);
    gpu.Clear(0x00000000u);
    for (int i = 0; i < 10; i++)
        gpu.Quad("Render5", 100.0f + 5 * i, 10, 130.0f + 5 * i, 40, 0x6000FFFFu);
    gpu.Quad("Render4", 110, 50, 160, 100, 0xFFFFFFFFu, glyphs);
    gpu.SetRenderTarget(gpu.backView);
    gpu.Quad("Render", 0, 0, kW, kH, 0xFFFFFFFFu, layer);
    // Larger than a small batch: a fan of 40 triangles in one draw, then more small draws.
    std::vector<TestVertex> fan;
    for (int k = 0; k < 40; k++) {
        float a0 = k * 0.157f, a1 = (k + 1) * 0.157f;
        fan.push_back(gpu.At(200.5f, 60.5f, 0x70FFFFFFu));
        fan.push_back(gpu.At(200 + 50 * std::cos(a1), 60 + 50 * std::sin(a1), 0x70FF00FFu));
        fan.push_back(gpu.At(200 + 50 * std::cos(a0), 60 + 50 * std::sin(a0), 0x7000FFFFu));
    }
    gpu.Quad("Render1", 180, 40, 230, 50, 0xFF0000FFu);
    gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, fan);
    gpu.Quad("Render1", 185, 45, 235, 55, 0xFF00FFFFu);
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++)
            pixels.push_back(gpu.Pixel(x, y));
    for (IUnknown* p : std::initializer_list<IUnknown*>{glyphs, other, heights, dynamic, dynamicTexture, layer, layerTarget})
        p->Release();
    return pixels;
}

TEST(GpuBatch, ManySmallDrawsComeOutAsDrawnOneByOne)
{
    std::vector<uint32_t> alone = ManySmallDraws(0, 1, -1);
    ASSERT_EQ(alone.size(), static_cast<size_t>(kW) * kH);
    // Batches of the default size and of two quads (the fan never fits), on
    // one thread and shared among threads, every batch split or only large ones.
    struct Case {
        int batch, threads;
        int64_t split;
    };
    for (Case c : {Case{-1, 1, -1}, Case{-1, 4, 0}, Case{-1, 4, -1}, Case{12, 3, 0}, Case{6, 2, 0}}) {
        std::vector<uint32_t> batched = ManySmallDraws(c.batch, c.threads, c.split);
        ASSERT_EQ(batched.size(), alone.size());
        for (size_t i = 0; i < alone.size(); i++)
            ASSERT_EQ(batched[i], alone[i]) << "pixel " << i % kW << "," << i / kW << " batch " << c.batch
                                            << " threads " << c.threads << " split " << c.split;
    }
}

TEST(GpuBatch, WhatReadsOrChangesATextureSeesTheDrawsBeforeIt)
{
    TestDevice gpu(64, 64);
    ASSERT_TRUE(gpu.Ready());
    gpu.Clear(0xFF000000u);
    gpu.Quad("Render1", 0, 0, 10, 10, 0xFF0000FFu);
    // A read-back right after a draw sees it.
    EXPECT_EQ(gpu.Pixel(5, 5), 0xFF0000FFu);
    gpu.Quad("Render1", 0, 0, 10, 10, 0xFF00FF00u);
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    ASSERT_TRUE(GpuReadPixels(gpu.backBuffer, &pixels, &w, &h));
    EXPECT_EQ(pixels[5 * 64 + 5], 0xFF00FF00u);
    // A clear comes after the draws made before it, not under them.
    gpu.Quad("Render1", 20, 20, 30, 30, 0xFFFF0000u);
    gpu.Clear(0xFF101010u);
    EXPECT_EQ(gpu.Pixel(25, 25), 0xFF101010u);
    // A later draw of another technique lies over an earlier one.
    gpu.Quad("Render1", 0, 0, 20, 20, 0xFF0000FFu);
    ID3D11ShaderResourceView* white = gpu.MakeTexture(4, 4, std::vector<uint32_t>(16, 0xFFFFFFFFu));
    gpu.Quad("Render", 5, 5, 15, 15, 0xFFFFFFFFu, white);
    gpu.Quad("Render1", 8, 8, 12, 12, 0xFF00FF00u);
    EXPECT_EQ(gpu.Pixel(2, 2), 0xFF0000FFu);
    EXPECT_EQ(gpu.Pixel(6, 6), 0xFFFFFFFFu);
    EXPECT_EQ(gpu.Pixel(10, 10), 0xFF00FF00u);
    white->Release();
    // The present shows what was drawn just before it: its screenshot has the last quad.
    TempFolder folder;
    std::string shot = folder / "present.png";
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0); // the event script runs with video only
    SetEventScript(("shot " + shot + "\n").c_str());
    StepEventScript();
    ASSERT_STREQ(PendingFrameShot(), shot.c_str());
    gpu.Quad("Render1", 40, 40, 50, 50, 0xFF00FFFFu);
    EXPECT_TRUE(SUCCEEDED(gpu.swapChain->Present(0, 0)));
    SetEventScript(nullptr);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    Picture picture;
    ASSERT_TRUE(LoadPicture(shot, &picture));
    EXPECT_EQ(picture.At(45, 45), 0xFFFF00u); // 0xRRGGBB of the ABGR word 0xFF00FFFF
    EXPECT_EQ(picture.At(10, 10), 0x00FF00u);
}

TEST(GpuBatch, ADeviceReleasedWithDrawsWaitingLeavesNothingBehind)
{
    // The sanitizers see a leak or a use after free if the waiting draws are mishandled.
    for (int threads : {1, 4}) {
        GpuRasterThreadsForNewDevices(threads, 0);
        {
            TestDevice gpu(32, 32);
            GpuRasterThreadsForNewDevices(0, -1);
            ASSERT_TRUE(gpu.Ready());
            ID3D11ShaderResourceView* t = gpu.MakeTexture(8, 8, Glyphs(8));
            for (int i = 0; i < 5; i++)
                gpu.Quad("Render", 2.0f * i, 0, 2.0f * i + 8, 8, 0xFFFFFFFFu, t);
            t->Release();
        }
    }
    GpuRasterThreadsForNewDevices(0, -1);
}

} // namespace
