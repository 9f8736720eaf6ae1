// System-font text: where strings land for their alignment and turn, weight,
// the ink outline, the hit tests, long texts and unreadable font files.
#include "platform/gpu/font_faces.h"
#include "platform/gpu/fonts.h"
#include "render/bitmap_fonts.h"
#include "render/system_text.h"
#include "tests/render/render_fixture.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979;

struct Ink {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1; // inclusive bounds
    int count = 0;
    bool Any() const { return count > 0; }
    double CentreX() const { return (x0 + x1 + 1) / 2.0; }
    double CentreY() const { return (y0 + y1 + 1) / 2.0; }
    int Width() const { return x1 - x0 + 1; }
    int Height() const { return y1 - y0 + 1; }
};

class SystemTextTest : public RenderTest {
protected:
    Ink FindInk()
    {
        Ink ink;
        int w = 0, h = 0;
        std::vector<uint32_t> px = BackBuffer(&w, &h);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (px[static_cast<size_t>(y) * w + x] != 0xFF000000u) {
                    ink.x0 = std::min(ink.x0, x);
                    ink.x1 = std::max(ink.x1, x);
                    ink.y0 = std::min(ink.y0, y);
                    ink.y1 = std::max(ink.y1, y);
                    ink.count++;
                }
        return ink;
    }

    std::vector<uint32_t> Frame() { return BackBuffer(); }
};

TEST_F(SystemTextTest, TextObjectsExistAfterTheDeviceStart)
{
    EXPECT_TRUE(TextRenderer.factory);
    EXPECT_TRUE(TextRenderer.wrapper);
    EXPECT_TRUE(TextRenderer.writeFactory);
    EXPECT_TRUE(TextRenderer.textFormat);
    CleanupD3D();
    EXPECT_FALSE(TextRenderer.wrapper);
}

TEST_F(SystemTextTest, LeftCentreAndRightAlignmentPlaceTheInkAboutThePoint)
{
    DrawFontString(20, 320, 100, 0xFFFFFFFFu, "Tervalingo", FW1_LEFT);
    Ink left = FindInk();
    ClearTarget(0xFF000000u);
    DrawFontString(20, 320, 100, 0xFFFFFFFFu, "Tervalingo", FW1_CENTER);
    Ink centre = FindInk();
    ClearTarget(0xFF000000u);
    DrawFontString(20, 320, 100, 0xFFFFFFFFu, "Tervalingo", FW1_RIGHT);
    Ink right = FindInk();
    ASSERT_TRUE(left.Any() && centre.Any() && right.Any());
    EXPECT_NEAR(left.x0, 320, 3);
    EXPECT_NEAR(right.x1, 320, 3);
    EXPECT_NEAR(centre.CentreX(), 320, 2);
    EXPECT_EQ(left.Width(), centre.Width());
    EXPECT_GT(left.Width(), 60);
    // y is the line's top: capitals begin a few pixels below it.
    EXPECT_GE(left.y0, 100);
    EXPECT_LE(left.y0, 108);
}

TEST_F(SystemTextTest, VerticalCentringPutsTheLineAboutThePoint)
{
    DrawFontString(24, 320, 240, 0xFFFFFFFFu, "Hxgy", FW1_CENTER | FW1_VCENTER);
    Ink ink = FindInk();
    ASSERT_TRUE(ink.Any());
    EXPECT_LT(ink.y0, 240);
    EXPECT_GT(ink.y1, 240);
    EXPECT_NEAR(ink.CentreY(), 240, 4);
}

TEST_F(SystemTextTest, SizeScalesTheInk)
{
    DrawFontString(12, 100, 100, 0xFFFFFFFFu, "WWW", 0);
    Ink small = FindInk();
    ClearTarget(0xFF000000u);
    DrawFontString(36, 100, 100, 0xFFFFFFFFu, "WWW", 0);
    Ink big = FindInk();
    EXPECT_NEAR(static_cast<double>(big.Width()) / small.Width(), 3.0, 0.35);
}

TEST_F(SystemTextTest, ColourIsAbgrWithItsAlphaOnTheCoverage)
{
    DrawFontString(40, 100, 100, 0xFF0000FFu, "l", 0); // opaque red
    Ink ink = FindInk();
    ASSERT_TRUE(ink.Any());
    EXPECT_EQ(Pixel(static_cast<int>(ink.CentreX()), static_cast<int>(ink.CentreY())), 0xFF0000FFu);
    ClearTarget(0xFF000000u);
    DrawFontString(40, 100, 100, 0x00FFFFFFu, "l", 0); // transparent: nothing
    EXPECT_FALSE(FindInk().Any());
}

TEST_F(SystemTextTest, CentredTextTurnedAQuarterStandsOnItsAnchor)
{
    // 640 x 480 with the centre at (320, 240): map pixels are client pixels.
    const float ax = 300, ay = 200;
    DrawTextRotated(18, ax, ay, 0xFFFFFFFFu, "Tervalingo", 0.0, 5);
    Ink flat = FindInk();
    ClearTarget(0xFF000000u);
    DrawTextRotated(18, ax, ay, 0xFFFFFFFFu, "Tervalingo", kPi / 2, 5);
    Ink turned = FindInk();
    ASSERT_TRUE(flat.Any() && turned.Any());
    EXPECT_NEAR(flat.CentreX(), ax, 2);
    EXPECT_NEAR(flat.CentreY(), ay, 3);
    // Clockwise a quarter: the width becomes the height, about the same anchor.
    EXPECT_NEAR(turned.Height(), flat.Width(), 2);
    EXPECT_NEAR(turned.Width(), flat.Height(), 2);
    EXPECT_NEAR(turned.CentreX(), ax, 3);
    EXPECT_NEAR(turned.CentreY(), ay, 2);
    // The text now reads downwards: its first letter (T) lies on top.
    int topInk = 0, bottomInk = 0;
    for (int y = turned.y0; y <= turned.y1; y++)
        for (int x = turned.x0; x <= turned.x1; x++)
            if (Pixel(x, y) != 0xFF000000u)
                (y < ay ? topInk : bottomInk)++;
    EXPECT_GT(topInk, 0);
    EXPECT_GT(bottomInk, 0);
}

TEST_F(SystemTextTest, TurnedTextFollowsTheMapCentreMapping)
{
    // On a larger client a map point 100 px right of the screen centre lands
    // 100 client pixels right of the client's centre.
    CleanupD3D();
    SetHeadlessClientSize(1280, 960);
    ASSERT_EQ(InitD3D(nullptr), 0);
    ClearTarget(0xFF000000u);
    GetScreenCentre(&cx, &cy);
    DrawTextRotated(16, cx + 100, cy, 0xFFFFFFFFu, "X", 0.3, 5);
    Ink ink = FindInk();
    ASSERT_TRUE(ink.Any());
    EXPECT_NEAR(ink.CentreX(), 1280 * cx / 640 + 100, 2);
    EXPECT_NEAR(ink.CentreY(), 960 * cy / 480, 2);
}

TEST_F(SystemTextTest, NegativeZeroAngleIsUnturned)
{
    DrawTextRotated(17, 200, 200, 0xFFFFFFFFu, "Angle", 0.0, 0);
    std::vector<uint32_t> zero = Frame();
    ClearTarget(0xFF000000u);
    DrawTextRotated(17, 200, 200, 0xFFFFFFFFu, "Angle", -0.0, 0);
    EXPECT_EQ(Frame(), zero);
    ClearTarget(0xFF000000u);
    DrawFontString(17, 200, 200, 0xFFFFFFFFu, "Angle", 0); // the same point and flags unturned
    EXPECT_EQ(Frame(), zero);
}

TEST_F(SystemTextTest, BoldLayoutsInkMoreThanNormalOnes)
{
    DrawTextLayoutRotated(20, 100, 100, 0xFFFFFFFFu, "Bold text", 0.0, 0, 400);
    Ink normal = FindInk();
    ClearTarget(0xFF000000u);
    DrawTextLayoutRotated(20, 100, 100, 0xFFFFFFFFu, "Bold text", 0.0, 0, 700);
    Ink bold = FindInk();
    ASSERT_TRUE(normal.Any() && bold.Any());
    EXPECT_GT(bold.count, normal.count * 11 / 10);
    EXPECT_GE(bold.Width(), normal.Width());
    // Text drawn through a layout starts at its anchor like a string does.
    EXPECT_NEAR(normal.x0, 100, 3);
    // A weight outside the scale is refused: the layout keeps the normal one.
    ClearTarget(0xFF000000u);
    DrawTextLayoutRotated(20, 100, 100, 0xFFFFFFFFu, "Bold text", 0.0, 0, 5000);
    EXPECT_EQ(FindInk().count, normal.count);
}

TEST_F(SystemTextTest, LayoutTextIsCentredByTheFlagsToo)
{
    DrawTextLayoutRotated(20, 320, 240, 0xFFFFFFFFu, "Centre", kPi, 5, 400);
    Ink ink = FindInk();
    ASSERT_TRUE(ink.Any());
    EXPECT_NEAR(ink.CentreX(), 320, 2);
    EXPECT_NEAR(ink.CentreY(), 240, 3);
}

TEST_F(SystemTextTest, OutlineIsTheInkBoxCentredWithAFramePixelOutside)
{
    SetFontSize(16);
    OutlinePoint outline[5], frame[5];
    for (auto& p : outline)
        p.z = 7.0f;
    MeasureTextOutline(outline, frame, 1.0, "Label", 400, 200.0, 100.0);
    EXPECT_EQ(outline[0].x, outline[4].x);
    EXPECT_EQ(outline[0].y, outline[4].y);
    EXPECT_EQ(outline[1].x, outline[0].x); // left edge
    EXPECT_EQ(outline[2].y, outline[1].y); // top edge
    EXPECT_FLOAT_EQ((outline[0].x + outline[2].x) / 2, 200.0f);
    EXPECT_FLOAT_EQ((outline[0].y + outline[1].y) / 2, 100.0f);
    EXPECT_LT(outline[1].y, outline[0].y); // T above B (y down)
    float width = outline[2].x - outline[0].x, height = outline[0].y - outline[1].y;
    EXPECT_GT(width, 25);
    EXPECT_LT(width, 60);
    EXPECT_GT(height, 8);
    EXPECT_LT(height, 24);
    for (int k = 0; k < 5; k++)
        EXPECT_EQ(outline[k].z, 7.0f) << k;
    const float grow[5][2] = {{-1, 1}, {-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int k = 0; k < 5; k++) {
        EXPECT_FLOAT_EQ(frame[k].x, outline[k].x + grow[k][0]) << k;
        EXPECT_FLOAT_EQ(frame[k].y, outline[k].y + grow[k][1]) << k;
        EXPECT_EQ(frame[k].z, 7.0f);
    }
    // Twice the scale, about twice the box.
    OutlinePoint big[5], bigFrame[5];
    MeasureTextOutline(big, bigFrame, 2.0, "Label", 400, 200.0, 100.0);
    EXPECT_NEAR((big[2].x - big[0].x) / width, 2.0, 0.25);
}

TEST_F(SystemTextTest, EmptyTextStillGivesAClosedCentredOutline)
{
    OutlinePoint outline[5], frame[5];
    MeasureTextOutline(outline, frame, 1.0, "", 400, 50.0, 60.0);
    for (int k = 0; k < 5; k++) {
        EXPECT_FLOAT_EQ(outline[k].x, 50.0f);
        EXPECT_FLOAT_EQ(outline[k].y, 60.0f);
    }
    EXPECT_EQ(frame[0].x, frame[4].x);
    EXPECT_FLOAT_EQ(frame[2].x - frame[0].x, 2.0f);
}

TEST_F(SystemTextTest, OnScreenIncludesTheEdges)
{
    EXPECT_TRUE(IsOnScreen(0, 0));
    EXPECT_TRUE(IsOnScreen(640, 480));
    EXPECT_FALSE(IsOnScreen(640.5, 0));
    EXPECT_FALSE(IsOnScreen(-0.5, 10));
    EXPECT_FALSE(IsOnScreen(10, 480.5));
    EXPECT_FALSE(IsOnScreen(std::nan(""), 10));
}

TEST_F(SystemTextTest, NearMeansLessThanThirtyPixelsInBothDirections)
{
    EXPECT_TRUE(IsNearPoint(100, 100, 129, 100));
    EXPECT_FALSE(IsNearPoint(100, 100, 130, 100));
    EXPECT_TRUE(IsNearPoint(100, 100, 71, 129));
    EXPECT_FALSE(IsNearPoint(100, 100, 100, 70));
    EXPECT_TRUE(IsNearPoint(100, 100, 100, 100));
}

TEST_F(SystemTextTest, CodePageCharactersBecomeTheirUnicodeGlyphs)
{
    // The euro sign is byte 0x80 in the code page; as U+0080 it would draw nothing.
    DrawFontString(30, 100, 100, 0xFFFFFFFFu, "\x80", 0);
    EXPECT_TRUE(FindInk().Any());
    ClearTarget(0xFF000000u);
    DrawFontString(30, 100, 100, 0xFFFFFFFFu, "\x81\t", 0); // undefined byte and a control: no ink
    EXPECT_FALSE(FindInk().Any());
}

TEST_F(SystemTextTest, OverlongTextsAreCutNotOverrun)
{
    std::string text(5000, 'i');
    DrawFontString(4, 0, 10, 0xFFFFFFFFu, text.c_str(), 0);
    DrawTextRotated(4, 0, 20, 0xFFFFFFFFu, text.c_str(), 0.1, 0);
    DrawTextLayoutRotated(4, 0, 30, 0xFFFFFFFFu, text.c_str(), 0.0, 0, 400);
    OutlinePoint outline[5], frame[5];
    MeasureTextOutline(outline, frame, 0.25, text.c_str(), 400, 0, 0);
    EXPECT_TRUE(FindInk().Any());
}

TEST_F(SystemTextTest, UnusableSizesAndNullTextsDrawNothing)
{
    for (float size : {0.0f, -5.0f, std::nanf(""), 1e9f})
        DrawFontString(size, 100, 100, 0xFFFFFFFFu, "x", 0);
    DrawFontString(12, 100, 100, 0xFFFFFFFFu, nullptr, 0);
    DrawTextRotated(12, 100, 100, 0xFFFFFFFFu, nullptr, 0.5, 0);
    EXPECT_FALSE(FindInk().Any());
}

TEST_F(SystemTextTest, TextOnATransparentTargetKeepsItsColour)
{
    // The snapshot target starts transparent; text drawn into it must come
    // back with its own colour, not darkened by the empty background.
    D3D11_TEXTURE2D_DESC d{};
    d.Width = 64;
    d.Height = 32;
    d.MipLevels = d.ArraySize = 1;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc.Count = 1;
    d.BindFlags = D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE;
    ID3D11Texture2D* tex = nullptr;
    ASSERT_EQ(RenderDevice.device->CreateTexture2D(&d, nullptr, &tex), S_OK);
    ID3D11RenderTargetView* view = nullptr;
    RenderDevice.device->CreateRenderTargetView(tex, nullptr, &view);
    SetRenderTarget(view);
    ClearTarget(0);
    DrawFontString(28, 4, 0, 0xFF0000FFu, "o", 0);
    int partial = 0;
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 64; x++) {
            uint32_t p = GpuReadPixel(tex, x, y);
            if ((p >> 24) != 0 && (p >> 24) != 255) {
                partial++;
                EXPECT_EQ(p & 0x00FFFFFFu, 0x000000FFu) << x << "," << y;
            }
        }
    EXPECT_GT(partial, 0);
    SetRenderTarget(RenderDevice.backBufferView);
    view->Release();
    tex->Release();
}

TEST_F(SystemTextTest, RepeatedDrawsAreIdentical)
{
    for (int i = 0; i < 3; i++)
        DrawTextRotated(15, 100 + 90 * i, 300, 0xFFFFFFFFu, "Cache 123", 0.0, 0);
    std::vector<uint32_t> a = Frame();
    for (int i = 0; i < 3; i++)
        DrawTextRotated(15, 100 + 90 * i, 300, 0xFFFFFFFFu, "Cache 123", 0.0, 0);
    // Drawing the same white text again over itself only saturates it.
    std::vector<uint32_t> b = Frame();
    int changed = 0;
    for (size_t i = 0; i < a.size(); i++)
        changed += (a[i] == 0xFF000000u) != (b[i] == 0xFF000000u);
    EXPECT_EQ(changed, 0);
}

// Turned text is sampled only where its glyphs can reach: the same pixels as
// sampling every pixel of each glyph's box, at any turn, at the target's
// edges, and over a partly transparent target.
TEST_F(SystemTextTest, TurnedTextMatchesSamplingEveryPixel)
{
    const double angles[] = {0.3, kPi / 2, -kPi / 2, kPi, 1e-7, -2.5, kPi / 4, 3 * kPi / 4, 5.9, 1.0e-3};
    for (uint32_t background : {0xFF000000u, 0x80406080u}) {
        std::vector<uint32_t> frames[2];
        for (int plain = 0; plain < 2; plain++) {
            SampleGlyphsEveryPixel(plain == 1);
            ClearTarget(background);
            for (int k = 0; k < 10; k++)
                DrawTextRotated(static_cast<float>(9 + 4 * (k % 5)), 40.37f + 60 * k, 80.81f + 31 * (k % 3),
                                0xC0FFE080u, "Wg|/ 123\nUL609", angles[k], 5);
            DrawTextRotated(18, -5.5f, 240.25f, 0xFFFFFFFFu, "EDGE cut", 0.7, 0);
            DrawTextRotated(18, 630.25f, 475.5f, 0xFF80FFFFu, "EDGE cut", 2.2, 0);
            DrawTextLayoutRotated(22, 320.5f, 360.125f, 0x90FFFFFFu, "Bold\nturned", -0.45, 5, 700);
            frames[plain] = Frame();
        }
        SampleGlyphsEveryPixel(false);
        EXPECT_EQ(frames[0], frames[1]) << std::hex << background;
        int inked = 0;
        for (uint32_t p : frames[0])
            inked += p != background;
        EXPECT_GT(inked, 2000);
    }
}

// ---- unreadable font files ---------------------------------------------------------

class BrokenFontTest : public ::testing::TestWithParam<std::string> {};

TEST_P(BrokenFontTest, AnUnreadableFontFileLeavesTextOutWithoutHarm)
{
    TempFolder dir;
    std::string path = dir / "broken.ttf";
    WriteFileText(path, GetParam());
    OverrideFontFile(path.c_str());
    std::snprintf(ProgramRoot, sizeof(ProgramRoot), "%s", TVL_ROOT_DIR);
    SetHeadlessClientSize(320, 240);
    ASSERT_EQ(InitD3D(nullptr), 0); // text is not essential to the start
    EXPECT_FALSE(TextRenderer.wrapper);
    DrawFontString(12, 10, 10, 0xFFFFFFFFu, "text", 0);
    DrawTextRotated(12, 10, 10, 0xFFFFFFFFu, "text", 1.0, 5);
    DrawTextLayoutRotated(12, 10, 10, 0xFFFFFFFFu, "text", 1.0, 5, 700);
    OutlinePoint outline[5], frame[5];
    MeasureTextOutline(outline, frame, 1.0, "text", 400, 5, 6);
    EXPECT_FLOAT_EQ(outline[0].x, 5.0f);
    CleanupD3D();
    OverrideFontFile(nullptr);
}

std::string TruncatedRealFont()
{
    char path[1024];
    int index = 0;
    if (!FindFontFile("Arial", 400, path, sizeof(path), &index, nullptr, 0))
        return "";
    return ReadFileText(path).substr(0, 600);
}

// A font header that promises twelve tables and ends inside the first entry.
constexpr char HeaderOnlyFont[] = "\0\1\0\0\0\x0c\0\x80\0\3\0\x40OS/2";

// Named by kind: the bytes themselves make unreadable test names.
std::string BrokenFontName(const ::testing::TestParamInfo<std::string>& info)
{
    static const char* const Names[] = {"Empty", "NotAFont", "HeaderOnly", "TruncatedFont"};
    return info.index < 4 ? Names[info.index] : "Font" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Files, BrokenFontTest,
                         ::testing::Values(std::string(), std::string("not a font at all"),
                                           std::string(HeaderOnlyFont, sizeof(HeaderOnlyFont) - 1),
                                           TruncatedRealFont()),
                         BrokenFontName);

} // namespace
