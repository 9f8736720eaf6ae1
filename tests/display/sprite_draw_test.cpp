// The sprite drawers on the headless renderer: where a sprite lands, the
// dimming rule by slot, nothing for an empty slot, sheet cells.
#include "app/settings.h"
#include "display/draw_helpers.h"
#include "display/sprite_draw.h"
#include "tests/render/render_fixture.h"

#include <gtest/gtest.h>

namespace {

class SpriteDrawTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        ASSERT_TRUE(LoadSpriteTable(TVL_ROOT_DIR, 1));
        Settings.Dimlevel = 255;
        ScreenScaleX = ScreenScaleY = TextScale = 1.0f;
    }
    void TearDown() override
    {
        ReleaseDisplayBitmaps();
        Settings.Dimlevel = 255;
        RenderTest::TearDown();
    }
    uint32_t DrawnColour() { return Vertex(GpuRecordedDraws().size() - 1, 0).colour; }
};

TEST_F(SpriteDrawTest, MapPixelSpriteKeepsItsPixelSizeAboutTheCentre)
{
    Record();
    const SpriteSlot& s = SpriteTable[80];
    DrawSprite(80, cx - s.width / 2.0f, cy - s.height / 2.0f, 0xFFFFFFFFu, 0, 1.0f, QuadPlacement::MapPixels);
    ASSERT_EQ(GpuRecordedDraws().size(), 1u);
    RenderVertex lowerLeft = Vertex(0, 0), upperRight = Vertex(0, 3);
    EXPECT_NEAR(PixelX(upperRight.x) - PixelX(lowerLeft.x), 48, 1e-3);
    EXPECT_NEAR(PixelY(lowerLeft.y) - PixelY(upperRight.y), 48, 1e-3);
    EXPECT_NEAR((PixelX(upperRight.x) + PixelX(lowerLeft.x)) / 2, 320, 1e-3);
}

TEST_F(SpriteDrawTest, DimmingFollowsTheSlotsFlag)
{
    Settings.Dimlevel = 128;
    Record();
    DrawSprite(80, 10, 10, 0xFFFFFFFFu, 0, 1.0f, QuadPlacement::VirtualScreen);
    EXPECT_EQ(DrawnColour(), 0xFF808080u);
    DrawSprite(17, 10, 10, 0xFFFFFFFFu, 0, 1.0f, QuadPlacement::VirtualScreen);  // the arrow is never dimmed
    EXPECT_EQ(DrawnColour(), 0xFFFFFFFFu);
    DrawSpriteScaled(80, 0, 0, 0x80FF00FFu, 1.0f, 0);
    EXPECT_EQ(DrawnColour(), 0x80800080u);
}

TEST_F(SpriteDrawTest, EmptySlotsAndNumbersOutsideTheTableDrawNothing)
{
    Record();
    DrawSprite(2, 0, 0, 0xFFFFFFFFu, 0, 1.0f, QuadPlacement::VirtualScreen);
    DrawSprite(-5, 0, 0, 0xFFFFFFFFu, 0, 1.0f, QuadPlacement::VirtualScreen);
    DrawSprite(86, 0, 0, 0xFFFFFFFFu, 0, 1.0f, QuadPlacement::VirtualScreen);
    DrawSpriteAbout(40, 0, 0, 0xFFFFFFFFu, 0.5f, 1.0f, QuadPlacement::MapPixels);
    DrawSpritePart(33, 0, 0, 0, 0, 8, 8, 0xFFFFFFFFu, 0, 1.0f, QuadPlacement::MapPixels);
    DrawSpriteScaled(29, 0, 0, 0xFFFFFFFFu, 1.0f, 0);
    DrawTextureScaled(nullptr, 0, 0, 0xFFFFFFFFu, 0, 1.0f, QuadPlacement::VirtualScreen);
    EXPECT_TRUE(GpuRecordedDraws().empty());
}

TEST_F(SpriteDrawTest, SheetCellTakesTheSlotsWidthWhenNoSideIsGiven)
{
    Record();
    DrawSpritePart(28, 100, 100, 64, 128, 64, 64, 0xFFFFFFFFu, 0, 1.0f, QuadPlacement::MapPixels);
    ASSERT_EQ(GpuRecordedDraws().size(), 1u);
    RenderVertex v1 = Vertex(0, 1), v2 = Vertex(0, 2);  // upper left, lower right
    EXPECT_FLOAT_EQ(v1.u, 0.25f);
    EXPECT_FLOAT_EQ(v1.v, 0.5f);
    EXPECT_FLOAT_EQ(v2.u, 0.5f);
    EXPECT_FLOAT_EQ(v2.v, 0.75f);
}

TEST_F(SpriteDrawTest, ScaledSpriteUsesTheScreenFactors)
{
    ScreenScaleX = 2.0f;
    ScreenScaleY = 0.5f;
    Record();
    DrawSpriteScaled(17, 10, 100, 0xFFFFFFFFu, 0.5f, 0);
    RenderVertex lowerLeft = Vertex(0, 0), upperRight = Vertex(0, 3);
    // Virtual units: left 20, right 20 + 64 x 0.5 x 2 = 84; top 50, bottom 66.
    EXPECT_NEAR((lowerLeft.x + 1) * 320, 20, 1e-3);
    EXPECT_NEAR((upperRight.x + 1) * 320, 84, 1e-3);
    EXPECT_NEAR((1 - upperRight.y) * 240, 50, 1e-3);
    EXPECT_NEAR((1 - lowerLeft.y) * 240, 66, 1e-3);
}

}  // namespace
