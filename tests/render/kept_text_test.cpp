// Texts and pictures drawn again unchanged, frame after frame, come from the
// source words kept the second time: every frame gives the pixels that
// drawing them afresh gives, over whatever lies under them.
#include "render/quads.h"
#include "render/shapes.h"
#include "render/system_text.h"
#include "render/textures.h"
#include "tests/render/render_fixture.h"

#include <string>
#include <vector>

namespace {

class KeptTextTest : public RenderTest {
protected:
    KeptTextTest() : RenderTest(320, 240) {}
    void TearDown() override
    {
        GpuKeepRepeatedDraws(true);
        RenderTest::TearDown();
    }

    // A background that differs from pixel to pixel and from frame to frame
    // as seed says, then texts moved, turned, translucent and clipped at
    // the edge, and a picture.
    void Frame(uint32_t seed, ID3D11ShaderResourceView* picture)
    {
        ClearTarget(0xFF102030u + seed);
        ScreenRect band{0, 640, 100, 300};
        DrawFilledQuad(&band, 0x80C08040u + (seed << 8), 0.3f, QuadPlacement::VirtualScreen);
        DrawFontString(18, 40, 30, 0xFFFFFFFFu, "Moved: EDDH 53\xB0 38'N", FW1_LEFT);
        DrawFontString(14, 620, 60, 0x90FF80FFu, "Translucent, right \x80", FW1_RIGHT);
        DrawFontString(24, 600, 440, 0xFF40C0FFu, "Past the edge of the window", FW1_LEFT);
        DrawTextRotated(16, 300, 250, 0xFFFFFFFFu, "Turned 30 degrees", 0.5236, 5);
        DrawTextRotated(12, 120, 300, 0xC000FFFFu, "Turned back", -1.2, 5);
        ScreenRect at{400, 600, 280, 420};
        if (picture)
            DrawTexturedQuadRotated(picture, &at, 0xFFFFFFFFu, 0.4f, QuadPlacement::VirtualScreen);
    }
};

TEST_F(KeptTextTest, KeptTextsAndPicturesDrawAsDrawnAfresh)
{
    std::string path = std::string(TVL_ROOT_DIR) + "/Bitmaps/Arial_16_00.png";
    uint8_t ok = 0;
    int w = 0, h = 0;
    ID3D11ShaderResourceView* picture = LoadTexture(path.c_str(), &ok, &w, &h, -1);
    ASSERT_TRUE(picture);
    for (uint32_t seed : {0u, 9u}) {
        GpuKeepRepeatedDraws(false);
        Frame(seed, picture);
        const std::vector<uint32_t> fresh = BackBuffer();
        GpuKeepRepeatedDraws(true);
        for (int frame = 0; frame < 3; frame++) {
            Frame(seed, picture);
            EXPECT_EQ(BackBuffer(), fresh) << "seed " << seed << ", frame " << frame;
        }
    }
    EXPECT_GT(GpuKeptDrawWords(RenderDevice.context), 0u);
    picture->Release();
}

TEST_F(KeptTextTest, AnotherTextOrPlaceIsDrawnAfresh)
{
    for (int frame = 0; frame < 3; frame++) {
        ClearTarget(0xFF000000u);
        DrawFontString(18, 40, 30, 0xFFFFFFFFu, "1013", FW1_LEFT);
    }
    const std::vector<uint32_t> kept = BackBuffer();
    GpuKeepRepeatedDraws(false);
    ClearTarget(0xFF000000u);
    DrawFontString(18, 40, 30, 0xFFFFFFFFu, "1014", FW1_LEFT);
    const std::vector<uint32_t> other = BackBuffer();
    ClearTarget(0xFF000000u);
    DrawFontString(18, 41, 30, 0xFFFFFFFFu, "1013", FW1_LEFT);
    const std::vector<uint32_t> moved = BackBuffer();
    GpuKeepRepeatedDraws(true);
    ClearTarget(0xFF000000u);
    DrawFontString(18, 40, 30, 0xFFFFFFFFu, "1014", FW1_LEFT);
    EXPECT_EQ(BackBuffer(), other);
    EXPECT_NE(BackBuffer(), kept);
    ClearTarget(0xFF000000u);
    DrawFontString(18, 41, 30, 0xFFFFFFFFu, "1013", FW1_LEFT);
    EXPECT_EQ(BackBuffer(), moved);
}

} // namespace
