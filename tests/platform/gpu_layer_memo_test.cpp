// A layer's pixels kept between frames: written back only for the same key
// over the same pixels in the same target, noted only once the key holds still.
#include "platform/gpu/layer_memo.h"
#include "tests/support/gpu_test_device.h"

#include <gtest/gtest.h>

namespace {

constexpr int kW = 64, kH = 48;

// The "layer": a half-transparent band over whatever is there.
void DrawLayer(TestDevice& gpu)
{
    gpu.Quad("Render1", 10, 12, 50, 30, 0x80FF8020u);
}

std::vector<uint32_t> Pixels(TestDevice& gpu)
{
    std::vector<uint32_t> p;
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++)
            p.push_back(gpu.Pixel(x, y));
    return p;
}

// One frame: background, then the layer unless the memo gives it back.
bool Frame(TestDevice& gpu, GpuLayerMemo& memo, const std::vector<uint8_t>& key, uint32_t background)
{
    gpu.Clear(background);
    if (memo.Reuse(gpu.context, key))
        return true;
    DrawLayer(gpu);
    memo.Keep(gpu.context, key);
    return false;
}

TEST(GpuLayerMemo, GivesBackOnlyWhatTheSameKeyDrewOverTheSamePixels)
{
    TestDevice gpu(kW, kH);
    ASSERT_TRUE(gpu.Ready());
    GpuLayerMemo memo;
    const std::vector<uint8_t> a{1, 2, 3}, b{1, 2, 4};
    EXPECT_FALSE(Frame(gpu, memo, a, 0xFF102030u)); // a key seen once: nothing copied
    EXPECT_FALSE(Frame(gpu, memo, a, 0xFF102030u)); // held still: kept
    std::vector<uint32_t> drawn = Pixels(gpu);
    EXPECT_TRUE(Frame(gpu, memo, a, 0xFF102030u));
    EXPECT_EQ(Pixels(gpu), drawn);
    // Other pixels under the layer, or another key: drawn again.
    EXPECT_FALSE(Frame(gpu, memo, a, 0xFF405060u));
    EXPECT_NE(Pixels(gpu), drawn);
    EXPECT_FALSE(Frame(gpu, memo, b, 0xFF102030u));
    // A key that changes every frame never becomes kept.
    for (uint8_t k = 10; k < 14; k++)
        EXPECT_FALSE(Frame(gpu, memo, {k}, 0xFF102030u));
    // Another target: the pixels kept for the first one are not written there.
    EXPECT_FALSE(Frame(gpu, memo, a, 0xFF102030u));
    EXPECT_FALSE(Frame(gpu, memo, a, 0xFF102030u));
    EXPECT_TRUE(Frame(gpu, memo, a, 0xFF102030u));
    ID3D11RenderTargetView* other = nullptr;
    ID3D11ShaderResourceView* texture =
        gpu.MakeTexture(kW, kH, std::vector<uint32_t>(kW * kH, 0xFF102030u), &other);
    gpu.SetRenderTarget(other);
    EXPECT_FALSE(memo.Reuse(gpu.context, a));
    gpu.SetRenderTarget(gpu.backView);
    memo.Forget();
    EXPECT_FALSE(Frame(gpu, memo, a, 0xFF102030u));
    other->Release();
    texture->Release();
}

} // namespace
