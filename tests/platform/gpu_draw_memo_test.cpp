// Textured draws that come again unchanged are blended from the source words
// kept the second time: every frame gives the pixels the draws give drawn
// afresh, over any background, until the texture is written or is a target.
#include "platform/gpu/gpu_inspect.h"
#include "tests/support/gpu_test_device.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

constexpr int kW = 96, kH = 72;

std::vector<uint32_t> Pixels(TestDevice& gpu)
{
    std::vector<uint32_t> p;
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++)
            p.push_back(gpu.Pixel(x, y));
    return p;
}

// A picture with every kind of texel: opaque, clear and partly transparent
// stretches, so the sampler's clear, solid and mixed paths all run.
std::vector<uint32_t> SpriteTexels(int side)
{
    std::vector<uint32_t> t(static_cast<size_t>(side) * side);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            uint32_t a = x < side / 4 ? 0 : x < side / 2 ? 255 : static_cast<uint32_t>((x * 37 + y * 11) % 256);
            t[static_cast<size_t>(y) * side + x] = (a << 24) | ((x * 7) & 0xFF) << 16 | ((y * 9) & 0xFF) << 8 | 0x40;
        }
    return t;
}

std::vector<uint32_t> OpaqueTexels(int side)
{
    std::vector<uint32_t> t(static_cast<size_t>(side) * side);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++)
            t[static_cast<size_t>(y) * side + x] = 0xFF000000u | ((x ^ y) * 5 & 0xFF) << 16 | (x * 3 & 0xFF) << 8 | y;
    return t;
}

// A background that is not the same under every pixel.
void Background(TestDevice& gpu, uint32_t seed)
{
    gpu.Clear(0xFF203040u + seed);
    gpu.Draw("Render1", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST,
             {gpu.At(0, 0, 0xC0FF0000u), gpu.At(kW, 0, 0x8000FF00u + seed), gpu.At(0, kH, 0x400000FFu)});
}

// A quad with its corners turned by angle about (cx, cy), half side h,
// texture coordinates over the whole picture.
void TurnedQuad(TestDevice& gpu, ID3D11ShaderResourceView* texture, float cx, float cy, float h, float angle,
                uint32_t colour)
{
    auto corner = [&](float dx, float dy, float u, float v) {
        float c = std::cos(angle), s = std::sin(angle);
        return gpu.At(cx + dx * c - dy * s, cy + dx * s + dy * c, colour, u, v);
    };
    gpu.Draw("Render", D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
             {corner(-h, h, 0, 1), corner(-h, -h, 0, 0), corner(h, h, 1, 1), corner(h, -h, 1, 0)}, texture);
}

struct Textures {
    ID3D11ShaderResourceView* sprite = nullptr;
    ID3D11ShaderResourceView* opaque = nullptr;
    explicit Textures(TestDevice& gpu)
        : sprite(gpu.MakeTexture(32, 32, SpriteTexels(32))), opaque(gpu.MakeTexture(40, 40, OpaqueTexels(40)))
    {
    }
    ~Textures()
    {
        sprite->Release();
        opaque->Release();
    }
};

class GpuDrawMemoTest : public ::testing::Test {
protected:
    void TearDown() override { GpuKeepRepeatedDraws(true); }

    // The frame drawn afresh and then three times with the memo on (noted,
    // kept, blended from what was kept): the same pixels each time.
    void ExpectKeptAsDrawn(const std::function<void(TestDevice&, const Textures&)>& draws, uint32_t seed)
    {
        TestDevice gpu(kW, kH);
        ASSERT_TRUE(gpu.Ready());
        Textures t(gpu);
        GpuKeepRepeatedDraws(false);
        Background(gpu, seed);
        draws(gpu, t);
        const std::vector<uint32_t> fresh = Pixels(gpu);
        GpuKeepRepeatedDraws(true);
        for (int frame = 0; frame < 3; frame++) {
            Background(gpu, seed);
            draws(gpu, t);
            EXPECT_EQ(Pixels(gpu), fresh) << "frame " << frame;
        }
        EXPECT_GT(GpuKeptDrawWords(gpu.context), 0u);
        // Kept words over another background give what drawing there gives.
        GpuKeepRepeatedDraws(false);
        Background(gpu, seed + 7);
        draws(gpu, t);
        const std::vector<uint32_t> other = Pixels(gpu);
        GpuKeepRepeatedDraws(true);
        Background(gpu, seed + 7);
        draws(gpu, t);
        EXPECT_EQ(Pixels(gpu), other);
    }
};

TEST_F(GpuDrawMemoTest, UprightPicturesAtTheirSizeAndScaled)
{
    ExpectKeptAsDrawn(
        [](TestDevice& gpu, const Textures& t) {
            gpu.Quad("Render", 4, 5, 36, 37, 0xFFFFFFFFu, t.sprite);          // its own size
            gpu.Quad("Render", 40.5f, 3.25f, 72.5f, 35.25f, 0xFFFFFFFFu, t.sprite); // between pixels
            gpu.Quad("Render", 10, 30, 90, 70, 0xFFFFFFFFu, t.opaque);        // stretched, opaque
            gpu.Quad("Render", 50, 40, 70, 52, 0xFFFFFFFFu, t.sprite);        // shrunk
        },
        3);
}

TEST_F(GpuDrawMemoTest, TurnedAndTintedPicturesAndPicturesPastTheEdges)
{
    ExpectKeptAsDrawn(
        [](TestDevice& gpu, const Textures& t) {
            TurnedQuad(gpu, t.sprite, 30, 30, 20, 0.4f, 0xFFFFFFFFu);
            TurnedQuad(gpu, t.opaque, 60, 40, 25, 2.2f, 0x80FFC080u); // tinted half through
            TurnedQuad(gpu, t.sprite, 45, 36, 18, -0.9f, 0xFF40FF40u); // over the two before
            TurnedQuad(gpu, t.opaque, 90, 5, 30, 0.7f, 0xFFFFFFFFu);  // past the top right corner
            gpu.Quad("Render", -10, 60, 20, 90, 0xFFFFFFFFu, t.sprite); // past the bottom left
        },
        11);
}

TEST_F(GpuDrawMemoTest, AWrittenTextureIsSampledAgain)
{
    TestDevice gpu(kW, kH);
    ASSERT_TRUE(gpu.Ready());
    D3D11_TEXTURE2D_DESC d{};
    d.Width = d.Height = 16;
    d.MipLevels = d.ArraySize = 1;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc.Count = 1;
    d.Usage = D3D11_USAGE_DYNAMIC;
    d.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    d.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    ID3D11Texture2D* texture = nullptr;
    ID3D11ShaderResourceView* view = nullptr;
    ASSERT_TRUE(SUCCEEDED(gpu.device->CreateTexture2D(&d, nullptr, &texture)));
    ASSERT_TRUE(SUCCEEDED(gpu.device->CreateShaderResourceView(texture, nullptr, &view)));
    auto fill = [&](uint32_t word) {
        D3D11_MAPPED_SUBRESOURCE m;
        ASSERT_TRUE(SUCCEEDED(gpu.context->Map(texture, 0, D3D11_MAP_WRITE_DISCARD, 0, &m)));
        for (int i = 0; i < 16 * 16; i++)
            static_cast<uint32_t*>(m.pData)[i] = word;
        gpu.context->Unmap(texture, 0);
    };
    fill(0xFF0000FFu);
    for (int frame = 0; frame < 3; frame++) {
        gpu.Clear(0xFF000000u);
        gpu.Quad("Render", 8, 8, 40, 40, 0xFFFFFFFFu, view);
        EXPECT_EQ(gpu.Pixel(20, 20), 0xFF0000FFu);
    }
    fill(0xFF00FF00u);
    gpu.Clear(0xFF000000u);
    gpu.Quad("Render", 8, 8, 40, 40, 0xFFFFFFFFu, view);
    EXPECT_EQ(gpu.Pixel(20, 20), 0xFF00FF00u);
    view->Release();
    texture->Release();
}

TEST_F(GpuDrawMemoTest, APictureThatIsAlsoATargetIsNeverKept)
{
    TestDevice gpu(kW, kH);
    ASSERT_TRUE(gpu.Ready());
    ID3D11RenderTargetView* target = nullptr;
    ID3D11ShaderResourceView* picture = gpu.MakeTexture(16, 16, std::vector<uint32_t>(256, 0xFF0000FFu), &target);
    for (uint32_t word : {0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu, 0xFFFF0000u}) {
        gpu.SetRenderTarget(target);
        gpu.Clear(word);
        gpu.SetRenderTarget(gpu.backView);
        gpu.Clear(0xFF000000u);
        gpu.Quad("Render", 8, 8, 40, 40, 0xFFFFFFFFu, picture);
        EXPECT_EQ(gpu.Pixel(20, 20), word);
    }
    EXPECT_EQ(GpuKeptDrawWords(gpu.context), 0u);
    target->Release();
    picture->Release();
}

} // namespace
