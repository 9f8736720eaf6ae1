// A sample frame of both kinds of text (bitmap fonts and the system font),
// written as text_sample.png in the build folder for a person to look at;
// the test checks that every sample put ink where it was drawn.
#include "render/bitmap_fonts.h"
#include "render/shapes.h"
#include "render/system_text.h"
#include "render/textures.h"
#include "tests/render/render_fixture.h"


#include <string>
#include <vector>

namespace {

class TextSampleTest : public RenderTest {
protected:
    TextSampleTest() : RenderTest(640, 480) {}

    ID3D11ShaderResourceView* Page(const char* name)
    {
        std::string path = std::string(TVL_ROOT_DIR) + "/Bitmaps/" + name;
        uint8_t ok = 0;
        int w, h;
        return LoadTexture(path.c_str(), &ok, &w, &h, -1);
    }

    int InkIn(int x0, int y0, int x1, int y1, uint32_t background)
    {
        int n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++)
                n += Pixel(x, y) != background;
        return n;
    }
};

TEST_F(TextSampleTest, BothFontKindsDrawReadableSamples)
{
    const uint32_t bg = 0xFF3A2A1Au;
    ClearTarget(0xFF1A2A3Au);
    ID3D11ShaderResourceView* page16 = Page("Arial_16_00.png");
    ID3D11ShaderResourceView* page12 = Page("Arial_121_00.png");
    ASSERT_TRUE(page16 && page12);

    SelectBitmapFont(16);
    DrawBitmapText(page16,
                   "Bitmap 16: EDDH 53\xB0"
                   "38'N QNH 1013",
                   20, 20, 0xFFFFFFFFu, 0, 0.0f, TextBackground::Clear, QuadPlacement::VirtualScreen);
    SelectBitmapFont(14);
    DrawBitmapText(page16, "Bitmap 14: \xC4\xD6\xDC \xE4\xF6\xFC \xDF \x80 12.5 nm", 20, 45, 0xFF00FFFFu, 0, 0.0f,
                   TextBackground::Clear, QuadPlacement::VirtualScreen);
    SelectBitmapFont(121);
    DrawBitmapText(page12, "Bitmap 121 on a box: ILS 27 110.30", 20, 70, 0xFF000000u, 0xFFC0F0F0u, 0.0f,
                   TextBackground::Box, QuadPlacement::VirtualScreen);
    const char* block[3] = {"Block line one", "two", "and line three"};
    ScreenRect at{20, 0, 100, 0};
    SelectBitmapFont(16);
    DrawBitmapTextBlock(page16, block, 3, &at, 20, 0xFFFFFFFFu, 0xFF805030u, 0.0f, TextBackground::Box,
                        QuadPlacement::VirtualScreen);

    DrawFontString(18, 340, 20, 0xFFFFFFFFu, "System 18 left: Tervalingo", FW1_LEFT);
    DrawFontString(14, 620, 50, 0xFF80FF80u, "System 14 right \xB0 \x80", FW1_RIGHT);
    DrawFontString(24, 480, 95, 0xFF40C0FFu, "Centred 24", FW1_CENTER | FW1_VCENTER);
    DrawTextRotated(16, 420, 300, 0xFFFFFFFFu, "Turned 90 degrees", 3.14159265 / 2, 5);
    DrawTextRotated(16, 540, 300, 0xFF00FFFFu, "Turned -30", -0.5236, 5);
    DrawTextLayoutRotated(20, 100, 300, 0xFFFFFFFFu, "Bold layout 700", 0.0, 0, 700);
    DrawTextLayoutRotated(20, 100, 330, 0xFFFFFFFFu, "Normal layout 400", 0.0, 0, 400);
    OutlinePoint outline[5], frame[5];
    SetFontSize(16);
    MeasureTextOutline(outline, frame, 1.0, "Label box", 400, 180.0, 420.0);
    DrawPolyline(frame, 5, 0xFF00FFFFu, 0.0f, 1.0f);
    DrawTextLayoutRotated(16, 180, 420, 0xFFFFFFFFu, "Label box", 0.0, 5, 400);

    std::string png = std::string(TVL_BINARY_DIR) + "/text_sample.png";
    EXPECT_TRUE(WriteBackBufferPng(png)) << png;

    EXPECT_GT(InkIn(20, 20, 300, 40, bg), 300);   // bitmap 16
    EXPECT_GT(InkIn(20, 45, 300, 62, bg), 200);   // bitmap 14
    EXPECT_GT(InkIn(20, 70, 300, 88, bg), 2000);  // boxed 121
    EXPECT_GT(InkIn(20, 100, 200, 160, bg), 1000); // block
    EXPECT_GT(InkIn(340, 20, 639, 45, bg), 300);  // system left
    EXPECT_GT(InkIn(400, 40, 621, 68, bg), 200);  // system right
    EXPECT_GT(InkIn(400, 80, 560, 110, bg), 200); // centred
    EXPECT_GT(InkIn(405, 220, 435, 380, bg), 200); // turned 90: tall and narrow
    EXPECT_EQ(InkIn(440, 220, 470, 240, bg), 0);
    EXPECT_GT(InkIn(100, 295, 300, 355, bg), 500); // layouts
    page16->Release();
    page12->Release();
}

} // namespace
