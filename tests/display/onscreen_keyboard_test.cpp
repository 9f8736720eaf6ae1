// The editor's keyboard: its keys fitted to the shipped keyboard pictures,
// keys of no width when the pictures are missing, and the picture drawn at
// the right edge only while the editor is on.
#include "app/settings.h"
#include "display/draw_helpers.h"
#include "display/onscreen_keyboard.h"
#include "display/sprite_table.h"
#include "tests/render/render_fixture.h"

#include <gtest/gtest.h>

namespace {

class KeyboardTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        // A released slot keeps its picture's size: start from slots that
        // never held one.
        ReleaseDisplayBitmaps();
        for (SpriteSlot& slot : SpriteTable)
            slot = SpriteSlot{};
    }
    void TearDown() override
    {
        ReleaseDisplayBitmaps();
        Settings.GeorefEdit = 0;
        RenderTest::TearDown();
    }
    void ExpectKey(int k, int x, int y, int w)
    {
        const Hotspot& key = GeorefKeyTable[k];
        EXPECT_EQ(key.x, x) << k;
        EXPECT_EQ(key.y, y) << k;
        EXPECT_EQ(key.w, w) << k;
        EXPECT_EQ(key.h, 43) << k;
    }
};

TEST_F(KeyboardTest, KeysFollowTheKeyboardPicture)
{
    ASSERT_TRUE(LoadSpriteTable(TVL_ROOT_DIR, 1));
    ASSERT_EQ(SpriteTable[43].width, 448);
    ASSERT_EQ(SpriteTable[45].width, 96);
    LayoutKeypad();
    // 448 x 0.478 wide at the right edge; keys of (446 x 0.239 / 96) x 96.
    ExpectKey(0, 425, 53, 106);
    ExpectKey(1, 532, 53, 53);
    ExpectKey(2, 586, 53, 53);
    ExpectKey(3, 425, 100, 106);
    ExpectKey(6, 425, 241, 106);
    ExpectKey(7, 425, 288, 53);
    ExpectKey(10, 584, 288, 53);
    ExpectKey(14, 584, 335, 53);
    ExpectKey(18, 584, 382, 53);
    ExpectKey(19, 425, 429, 106);
    ExpectKey(20, 531, 429, 53);
    ExpectKey(21, 584, 429, 53);
    EXPECT_EQ(GeorefKeyTable[22].w, 5000);  // the whole screen stays as it is
    EXPECT_EQ(GeorefKeyTable[22].eventMask, 3u);
}

TEST_F(KeyboardTest, MissingPicturesLeaveKeysThatCannotBeHit)
{
    LayoutKeypad();  // nothing loaded
    for (int k = 0; k < 22; ++k)
        EXPECT_EQ(GeorefKeyTable[k].w, 0) << k;
}

TEST_F(KeyboardTest, DrawnAtTheRightEdgeWhileTheEditorIsOn)
{
    ASSERT_TRUE(LoadSpriteTable(TVL_ROOT_DIR, 1));
    LayoutKeypad();
    SetScreenFactors(640, 480);
    DrawOnScreenKeyboard();
    EXPECT_EQ(Pixel(500, 300) & 0xFFFFFF, 0u);
    Settings.GeorefEdit = 1;
    DrawOnScreenKeyboard();
    EXPECT_NE(Pixel(500, 300) & 0xFFFFFF, 0u);
    EXPECT_EQ(Pixel(400, 300) & 0xFFFFFF, 0u);
}

}  // namespace
