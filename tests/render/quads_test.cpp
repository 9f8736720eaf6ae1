// Textured quads: placement cases, texture coordinates, the last corners,
// and their pixels on a small target.
#include "render/quads.h"
#include "render/shapes.h"
#include "tests/render/render_fixture.h"

#include <cmath>
#include <vector>

namespace {

constexpr float kPi = 3.14159265f;

class QuadsTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        // Four quadrants: red, green / blue, white (top row first).
        std::vector<uint32_t> texels = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu};
        D3D11_TEXTURE2D_DESC d{};
        d.Width = d.Height = 2;
        d.MipLevels = d.ArraySize = 1;
        d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        d.SampleDesc.Count = 1;
        d.BindFlags = D3D11_BIND_SHADER_RESOURCE;
        D3D11_SUBRESOURCE_DATA init{texels.data(), 8, 0};
        ID3D11Texture2D* t = nullptr;
        ASSERT_EQ(RenderDevice.device->CreateTexture2D(&d, &init, &t), S_OK);
        RenderDevice.device->CreateShaderResourceView(t, nullptr, &view);
        t->Release();
    }
    void TearDown() override
    {
        if (view)
            view->Release();
        RenderTest::TearDown();
    }
    ID3D11ShaderResourceView* view = nullptr;
};

TEST_F(QuadsTest, UnplacedQuadCoversTheWholeTarget)
{
    ScreenRect r{10, 20, 30, 40};
    Record();
    EXPECT_EQ(DrawTexturedQuadRotated(view, &r, 0xFFFFFFFFu, 1.0f, QuadPlacement::WholeTarget, OwnAngle{2.0f}), 0);
    const float expect[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
    for (int k = 0; k < 4; k++) {
        EXPECT_EQ(Vertex(0, k).x, expect[k][0]);
        EXPECT_EQ(Vertex(0, k).y, expect[k][1]);
    }
    EXPECT_EQ(GpuRecordedDraws()[0].technique, "Render");
    // Corners and centre of the picture show the four quadrants.
    EXPECT_EQ(Pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(Pixel(639, 0), 0xFF00FF00u);
    EXPECT_EQ(Pixel(0, 479), 0xFFFF0000u);
    EXPECT_EQ(Pixel(639, 479), 0xFFFFFFFFu);
    uint32_t centre = Pixel(320, 240); // where all four blend
    EXPECT_NE(centre, 0xFF000000u);
}

TEST_F(QuadsTest, VirtualQuadLandsOnItsPixels)
{
    ScreenRect r{100, 140, 50, 90}; // 640 x 480 target: one unit is one pixel
    EXPECT_EQ(DrawTexturedQuadRotated(view, &r, 0xFFFFFFFFu, 0, QuadPlacement::VirtualScreen), 0);
    EXPECT_EQ(Pixel(100, 50), 0xFF0000FFu);
    EXPECT_EQ(Pixel(139, 50), 0xFF00FF00u);
    EXPECT_EQ(Pixel(100, 89), 0xFFFF0000u);
    EXPECT_EQ(Pixel(139, 89), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(99, 50), 0xFF000000u);
    EXPECT_EQ(Pixel(140, 89), 0xFF000000u);
    EXPECT_EQ(Pixel(100, 90), 0xFF000000u);
}

TEST_F(QuadsTest, OwnAngleTurnsTheImageClockwiseAboutItsCentre)
{
    // A quarter turn clockwise puts the top-left (red) quadrant at the top right.
    ScreenRect r{cx - 20, cx + 20, cy - 20, cy + 20};
    EXPECT_EQ(DrawTexturedQuadRotated(view, &r, 0xFFFFFFFFu, 0, QuadPlacement::MapPixels, OwnAngle{kPi / 2}), 0);
    int x = static_cast<int>(cx), y = static_cast<int>(cy);
    EXPECT_EQ(Pixel(x + 15, y - 15), 0xFF0000FFu); // red
    EXPECT_EQ(Pixel(x + 15, y + 15), 0xFF00FF00u); // green
    EXPECT_EQ(Pixel(x - 15, y - 15), 0xFFFF0000u); // blue
    EXPECT_EQ(Pixel(x - 15, y + 15), 0xFFFFFFFFu); // white
}

TEST_F(QuadsTest, UnturnedMapPixelQuadIsCentredAndRemembered)
{
    ScreenRect r{cx - 16, cx + 16, cy - 8, cy + 8};
    DrawTexturedQuadRotated(view, &r, 0xFFFFFFFFu, 0, QuadPlacement::MapPixels);
    float left, top, right, bottom;
    GetLastQuadCorners(&left, &top, &right, &bottom);
    EXPECT_NEAR((left + right) / 2, cx / 320 - 1, 1e-6);
    EXPECT_NEAR((top + bottom) / 2, 1 - cy / 240, 1e-6);
    EXPECT_NEAR(right - left, 2 * 32.0f / 640, 1e-6);
    EXPECT_GT(top, bottom);
}

TEST_F(QuadsTest, OnlyTheUnturnedMapPixelCaseStoresCorners)
{
    ScreenRect r{cx - 16, cx + 16, cy - 8, cy + 8};
    DrawTexturedQuadRotated(view, &r, 0xFFFFFFFFu, 0, QuadPlacement::MapPixels);
    float before[4], after[4];
    GetLastQuadCorners(&before[0], &before[1], &before[2], &before[3]);
    ScreenRect other{0, 10, 0, 10};
    DrawTexturedQuadRotated(view, &other, 0xFFFFFFFFu, 0.5f, QuadPlacement::MapPixels);
    DrawTexturedQuadRotated(view, &other, 0xFFFFFFFFu, 0, QuadPlacement::MapPixels, OwnAngle{0.5f});
    DrawTexturedQuadAngle(view, &other, 0xFFFFFFFFu, 0);
    DrawLayerQuad(view, &other, 0xFFFFFFFFu, 0, 0);
    DrawFilledQuad(&other, 0xFF00FF00u, 0, QuadPlacement::MapPixels);
    GpuFailNextMap(E_OUTOFMEMORY);
    EXPECT_EQ(DrawTexturedQuadRotated(view, &other, 0xFFFFFFFFu, 0, QuadPlacement::MapPixels), E_OUTOFMEMORY);
    GetLastQuadCorners(&after[0], &after[1], &after[2], &after[3]);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(before[i], after[i]) << i;
}

TEST_F(QuadsTest, AboutMovesWithTheMapTurnAndStaysUpright)
{
    // 100 map pixels right of the centre; a map turn of pi/2 takes it below.
    ScreenRect r{cx + 90, cx + 110, cy - 10, cy + 10};
    Record();
    DrawTexturedQuadAbout(view, &r, 0xFFFFFFFFu, kPi / 2, QuadPlacement::MapPixels, OwnAngle{1.0f});
    RenderVertex v0 = Vertex(0, 0), v3 = Vertex(0, 3);
    float midX = PixelX((v0.x + v3.x) / 2) - PixelX(MapPixelToClipX(cx, cx));
    float midY = PixelY((v0.y + v3.y) / 2) - PixelY(MapPixelToClipY(cy, cy));
    EXPECT_NEAR(midX, 0.0f, 1e-3);
    EXPECT_NEAR(midY, 100.0f, 1e-3);
    // Upright: vertex 0 is still the lower left, vertex 3 the upper right.
    EXPECT_NEAR(PixelX(v3.x) - PixelX(v0.x), 20.0f, 1e-3);
    EXPECT_NEAR(PixelY(v0.y) - PixelY(v3.y), 20.0f, 1e-3);
}

TEST_F(QuadsTest, RotatedMovesAndTurnsWithTheMap)
{
    ScreenRect r{cx + 90, cx + 110, cy - 10, cy + 10};
    Record();
    DrawTexturedQuadRotated(view, &r, 0xFFFFFFFFu, kPi / 2, QuadPlacement::MapPixels);
    // Vertex 1 (upper left) turns a quarter clockwise: it becomes the upper right.
    RenderVertex v1 = Vertex(0, 1);
    EXPECT_NEAR(PixelX(v1.x) - PixelX(MapPixelToClipX(cx, cx)), 10.0f, 1e-3);
    EXPECT_NEAR(PixelY(v1.y) - PixelY(MapPixelToClipY(cy, cy)), 90.0f, 1e-3);
}

TEST_F(QuadsTest, SheetCellGivesItsTextureCoordinates)
{
    ScreenRect r{0, 32, 0, 32};
    Record();
    DrawTexturedQuadPart(view, &r, 32, 0, 32, 32, 0xFFFFFFFFu, 0, QuadPlacement::VirtualScreen, OwnAngle{}, 256);
    const float u[4] = {0.125f, 0.125f, 0.25f, 0.25f}, v[4] = {0.125f, 0, 0.125f, 0};
    for (int k = 0; k < 4; k++) {
        EXPECT_FLOAT_EQ(Vertex(0, k).u, u[k]) << k;
        EXPECT_FLOAT_EQ(Vertex(0, k).v, v[k]) << k;
    }
    EXPECT_EQ(DrawTexturedQuadPart(view, &r, 0, 0, 8, 8, 0xFFFFFFFFu, 0, QuadPlacement::VirtualScreen, OwnAngle{}, 0),
              E_INVALIDARG);
}

TEST_F(QuadsTest, LayerQuadWithoutAngleIgnoresTheExtraAngle)
{
    ScreenRect r{0, 640, 0, 480}; // client pixels from the lower left
    Record();
    DrawLayerQuad(view, &r, 0xFFFFFFFFu, 0, 1.0f);
    EXPECT_FLOAT_EQ(Vertex(0, 0).x, -1);
    EXPECT_FLOAT_EQ(Vertex(0, 0).y, -1);
    EXPECT_FLOAT_EQ(Vertex(0, 3).x, 1);
    EXPECT_FLOAT_EQ(Vertex(0, 3).y, 1);
    EXPECT_EQ(Pixel(0, 0), 0xFF0000FFu); // upright: red at the top left
}

TEST_F(QuadsTest, OffscreenFlagSelectsTheOffscreenTechnique)
{
    ScreenRect r{0, 10, 0, 10};
    Record();
    SetOffscreenFlag(1);
    DrawTexturedQuadAngle(view, &r, 0xFFFFFFFFu, 0.3f);
    SetOffscreenFlag(0);
    DrawTexturedQuadAngle(view, &r, 0xFFFFFFFFu, 0.3f);
    EXPECT_EQ(GpuRecordedDraws()[0].technique, "Render4");
    EXPECT_EQ(GpuRecordedDraws()[1].technique, "Render");
}

TEST(QuadsWithoutDevice, DrawsFailWithoutAContext)
{
    ScreenRect r{0, 1, 0, 1};
    EXPECT_EQ(DrawTexturedQuadRotated(nullptr, &r, 0, 0, QuadPlacement::MapPixels), E_FAIL);
    EXPECT_EQ(DrawLayerQuad(nullptr, &r, 0, 0, 0), E_FAIL);
}

} // namespace
