// Filled quads and boxes: mappings, the rigid turn, the edge strips, colours.
#include "render/shapes.h"
#include "tests/render/render_fixture.h"

#include <cmath>

namespace {

constexpr float kPi = 3.14159265f;

using ShapesTest = RenderTest;

TEST_F(ShapesTest, WholeVirtualScreenFillsTheTarget)
{
    ScreenRect r{0, 640, 0, 480};
    Record();
    EXPECT_EQ(DrawFilledQuad(&r, 0xFF00FF00u, 0.0f, QuadPlacement::VirtualScreen), 0);
    EXPECT_EQ(GpuRecordedDraws()[0].technique, "Render1");
    EXPECT_EQ(GpuRecordedDraws()[0].topology, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    EXPECT_EQ(Pixel(0, 0), 0xFF00FF00u);
    EXPECT_EQ(Pixel(639, 479), 0xFF00FF00u);
    EXPECT_EQ(Pixel(320, 240), 0xFF00FF00u);
}

TEST_F(ShapesTest, ColourIsAbgrAndBlendsByItsAlpha)
{
    ScreenRect r{0, 640, 0, 480};
    ClearTarget(0xFF0000FFu); // blue, read as ARGB
    DrawFilledQuad(&r, 0x800000FFu, 0.0f, QuadPlacement::VirtualScreen); // half red, read as ABGR
    EXPECT_EQ(Pixel(10, 10), 0xFF7F0080u);
}

TEST_F(ShapesTest, BoxEdgesLieInsideAndFollowTheFill)
{
    ScreenRect r{100, 200, 50, 80};
    Record();
    DrawBox(&r, 0xFF000080u, 0.0f, QuadPlacement::VirtualScreen, 0xFFFFFFFFu, 2.0f);
    const auto& draws = GpuRecordedDraws();
    ASSERT_EQ(draws.size(), 5u);
    const float expect[5][4] = {
        {100, 200, 50, 80}, {100, 200, 50, 52}, {198, 200, 50, 80}, {100, 200, 78, 80}, {100, 102, 50, 80}};
    for (size_t d = 0; d < 5; d++) {
        // Vertex 1 is the upper left, vertex 2 the lower right corner.
        RenderVertex ul = Vertex(d, 1), lr = Vertex(d, 2);
        EXPECT_NEAR(PixelX(ul.x), expect[d][0], 1e-3) << d;
        EXPECT_NEAR(PixelX(lr.x), expect[d][1], 1e-3) << d;
        EXPECT_NEAR(PixelY(ul.y), expect[d][2], 1e-3) << d;
        EXPECT_NEAR(PixelY(lr.y), expect[d][3], 1e-3) << d;
        EXPECT_EQ(Vertex(d, 0).colour, d == 0 ? 0xFF000080u : 0xFFFFFFFFu);
    }
    EXPECT_EQ(Pixel(150, 51), 0xFFFFFFFFu); // edge
    EXPECT_EQ(Pixel(150, 60), 0xFF000080u); // fill
}

TEST_F(ShapesTest, NoEdgesForZeroNegativeOrNanWidth)
{
    ScreenRect r{100, 200, 50, 80};
    Record();
    for (float w : {0.0f, -1.0f, std::nanf("")})
        DrawBox(&r, 0xFF000080u, 0.0f, QuadPlacement::VirtualScreen, 0xFFFFFFFFu, w);
    EXPECT_EQ(GpuRecordedDraws().size(), 3u);
}

TEST_F(ShapesTest, TurnedMapPixelQuadTurnsAboutTheScreenCentre)
{
    Record();
    ScreenRect centred{cx - 10, cx + 10, cy - 5, cy + 5};
    DrawFilledQuad(&centred, 0xFFFFFFFFu, kPi / 2, QuadPlacement::MapPixels);
    ScreenRect right{cx + 45, cx + 55, cy - 5, cy + 5}; // 50 map pixels right
    DrawFilledQuad(&right, 0xFFFFFFFFu, kPi / 2, QuadPlacement::MapPixels);
    float ox = PixelX(MapPixelToClipX(cx, cx)), oy = PixelY(MapPixelToClipY(cy, cy));
    for (size_t d = 0; d < 2; d++) {
        RenderVertex a = Vertex(d, 0), b = Vertex(d, 3); // opposite corners
        float mx = (PixelX(a.x) + PixelX(b.x)) / 2 - ox, my = (PixelY(a.y) + PixelY(b.y)) / 2 - oy;
        EXPECT_NEAR(mx, 0.0f, 1e-3) << d;
        EXPECT_NEAR(my, d == 0 ? 0.0f : 50.0f, 1e-3) << d;
    }
}

TEST_F(ShapesTest, OffscreenFlagDrawsFillAndEdgesWithRender5)
{
    ScreenRect r{10, 20, 10, 20};
    Record();
    SetOffscreenFlag(1);
    DrawBox(&r, 0xFF000000u, 0, QuadPlacement::VirtualScreen, 0xFFFFFFFFu, 1.0f);
    SetOffscreenFlag(0);
    for (const auto& d : GpuRecordedDraws())
        EXPECT_EQ(d.technique, "Render5");
}

TEST_F(ShapesTest, FailedMapDrawsNothingButTheBoxGoesOn)
{
    ScreenRect r{100, 200, 50, 80};
    Record();
    GpuFailNextMap(E_OUTOFMEMORY);
    EXPECT_EQ(DrawFilledQuad(&r, 0xFF0000FFu, 0, QuadPlacement::VirtualScreen), E_OUTOFMEMORY);
    GpuFailNextMap(E_OUTOFMEMORY);
    EXPECT_EQ(DrawBox(&r, 0xFF0000FFu, 0, QuadPlacement::VirtualScreen, 0xFFFFFFFFu, 1.0f),
              0); // fill lost, four edges drawn
    EXPECT_EQ(GpuRecordedDraws().size(), 4u);
}

} // namespace
