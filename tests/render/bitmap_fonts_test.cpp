// Bitmap fonts: reading font descriptions (and refusing broken ones), the
// shipped fonts, selecting, and the glyph quads, boxes and blocks drawn.
#include "app/settings.h"
#include "render/bitmap_fonts.h"
#include "render/textures.h"
#include "tests/render/render_fixture.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr float kPi = 3.14159265f;

// A description whose page exists beside it.
std::string WriteFont(const TempFolder& dir, const std::string& name, const std::string& body)
{
    WriteFileText(dir / "page.png", "not read");
    std::string path = dir / name;
    WriteFileText(path, body);
    return path;
}

class FntReaderTest : public ::testing::Test {
protected:
    void SetUp() override { CurrentBitmapFont = BitmapFont{}; }
    TempFolder dir;
};

TEST_F(FntReaderTest, CommonLineFillsTheHeaderAndIgnoresOtherKeys)
{
    std::string path = WriteFont(dir, "a.fnt",
                                 "info face=\"x\" size=16\n"
                                 "common lineHeight=16 base=13 scaleW=256 scaleH=256 pages=1 packed=0\n");
    ASSERT_TRUE(ReadFntFile(path.c_str()));
    EXPECT_EQ(CurrentBitmapFont.lineHeight, 16);
    EXPECT_EQ(CurrentBitmapFont.base, 13);
    EXPECT_EQ(CurrentBitmapFont.scaleW, 256);
    EXPECT_EQ(CurrentBitmapFont.scaleH, 256);
    EXPECT_EQ(CurrentBitmapFont.pages, 1);
}

TEST_F(FntReaderTest, CharLineWithRunsOfBlanksFillsItsGlyph)
{
    std::string path =
        WriteFont(dir, "a.fnt",
                  "common lineHeight=16 base=13 scaleW=256 scaleH=256 pages=1\n"
                  "chars count=1\n"
                  "char id=65    x=10   y=20  width=9 height=11   xoffset=0 yoffset=3 xadvance=10 page=0  chnl=15\n");
    ASSERT_TRUE(ReadFntFile(path.c_str()));
    const BitmapFontChar& a = CurrentBitmapFont.chars[65];
    EXPECT_EQ(a.x, 10);
    EXPECT_EQ(a.y, 20);
    EXPECT_EQ(a.width, 9);
    EXPECT_EQ(a.height, 11);
    EXPECT_EQ(a.xoffset, 0);
    EXPECT_EQ(a.yoffset, 3);
    EXPECT_EQ(a.xadvance, 10);
    EXPECT_EQ(a.page, 0);
    EXPECT_EQ(CurrentBitmapFont.chars[66].width, 0);
}

TEST_F(FntReaderTest, TokensAreParsedAsTheRuntimeReadsNumbers)
{
    ParseFntCommon("lineHeight= 17px");
    ParseFntCommon("base=-4");
    ParseFntCommon("scaleW=abc");
    ParseFntCommon("pages");           // no "=": ignored
    ParseFntCommon("LineHeight=99");   // keys are case-sensitive
    ParseFntCommon("scaleH=99999999999999999999"); // held at the integer's end, not overflowed
    EXPECT_EQ(CurrentBitmapFont.lineHeight, 17);
    EXPECT_EQ(CurrentBitmapFont.base, -4);
    EXPECT_EQ(CurrentBitmapFont.scaleW, 0);
    EXPECT_EQ(CurrentBitmapFont.pages, 0);
    EXPECT_EQ(CurrentBitmapFont.scaleH, 2147483647);
}

TEST_F(FntReaderTest, LongKeysAndValuesAreCutNotOverflowed)
{
    ParseFntChar("id=66");
    ParseFntChar("xadvance=0000000000000000000000000000000000000000007"); // value cut to 19 digits: 0
    ParseFntChar("xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx=5");         // unknown once cut
    ParseFntChar("width=000000000000000012345");                          // 19 characters keep 123
    EXPECT_EQ(CurrentBitmapFont.chars[66].xadvance, 0);
    EXPECT_EQ(CurrentBitmapFont.chars[66].width, 123);
}

TEST_F(FntReaderTest, GlyphIdsBeyondTheTableAreSkipped)
{
    std::string path = WriteFont(dir, "a.fnt",
                                 "common lineHeight=16 base=13 scaleW=256 scaleH=256 pages=1\n"
                                 "char id=300 x=1 y=2 width=3 height=4 xadvance=5\n"
                                 "char id=65536 x=1 y=2 width=3 height=4 xadvance=5\n"
                                 "char id=-1 x=1 y=2 width=3 height=4 xadvance=5\n"
                                 "char id=44 x=1 y=2 width=3 height=4 xadvance=5\n");
    ASSERT_TRUE(ReadFntFile(path.c_str()));
    // 300 and 65536 wrap to 44 and 0 as 16-bit ids; neither may land there.
    EXPECT_EQ(CurrentBitmapFont.chars[0].width, 0);
    EXPECT_EQ(CurrentBitmapFont.chars[255].width, 0);
    EXPECT_EQ(CurrentBitmapFont.chars[44].width, 3);
    // The skipped id stays current until the next one: its keys go nowhere.
    ParseFntChar("id=999");
    ParseFntChar("width=77");
    for (const BitmapFontChar& g : CurrentBitmapFont.chars)
        EXPECT_NE(g.width, 77);
}

TEST_F(FntReaderTest, MissingFileIsFalseAndChangesNothing)
{
    CurrentBitmapFont.lineHeight = 5;
    EXPECT_FALSE(ReadFntFile((dir / "none.fnt").c_str()));
    EXPECT_EQ(CurrentBitmapFont.lineHeight, 5);
}

TEST_F(FntReaderTest, UnusablePageSizesAndCountsRefuseTheWholeFile)
{
    const char* bad[] = {
        "common lineHeight=16 base=13 scaleW=0 scaleH=256 pages=1\nchar id=65 width=3 height=3 xadvance=4\n",
        "common lineHeight=16 base=13 scaleW=256 scaleH=-5 pages=1\nchar id=65 width=3 height=3 xadvance=4\n",
        "common lineHeight=16 base=13 scaleW=256 scaleH=256 pages=0\nchar id=65 width=3 height=3 xadvance=4\n",
        "common lineHeight=16 base=13 scaleW=256 scaleH=256 pages=1\npage id=1 file=\"page.png\"\n"
        "char id=65 width=3 height=3 xadvance=4\n",
        "common lineHeight=16 base=13 scaleW=256 scaleH=256 pages=1\npage id=0 file=\"gone.png\"\n"
        "char id=65 width=3 height=3 xadvance=4\n",
    };
    for (const char* body : bad) {
        CurrentBitmapFont = BitmapFont{};
        CurrentBitmapFont.lineHeight = 9;
        std::string path = WriteFont(dir, "bad.fnt", body);
        EXPECT_FALSE(ReadFntFile(path.c_str())) << body;
        EXPECT_EQ(CurrentBitmapFont.lineHeight, 9) << body;
        EXPECT_EQ(CurrentBitmapFont.chars[65].width, 0) << body;
    }
}

TEST_F(FntReaderTest, RefusalIsLoggedWithItsReason)
{
    Settings.DebugMode = true;
    WorkingFolder here(dir.Path());
    std::string path = WriteFont(dir, "bad.fnt", "common lineHeight=16 scaleW=256 scaleH=256 pages=1\n"
                                                 "page id=0 file=\"gone.png\"\n");
    EXPECT_FALSE(ReadFntFile(path.c_str()));
    std::string log = ReadFileText(dir / "Tervalingo.log");
    EXPECT_NE(log.find("gone.png is missing"), std::string::npos) << log;
    EXPECT_NE(log.find("refused"), std::string::npos) << log;
    Settings.DebugMode = false;
}

TEST_F(FntReaderTest, GlyphsOutsideTheirPageAreCleared)
{
    std::string path = WriteFont(dir, "a.fnt",
                                 "common lineHeight=16 base=13 scaleW=64 scaleH=64 pages=1\n"
                                 "char id=65 x=60 y=0 width=9 height=9 xadvance=10\n"
                                 "char id=66 x=0 y=0 width=-3 height=9 xadvance=10\n"
                                 "char id=67 x=0 y=0 width=9 height=9 xadvance=2000000000\n"
                                 "char id=68 x=55 y=55 width=9 height=9 xadvance=10 page=0\n"
                                 "char id=69 x=0 y=0 width=9 height=9 xadvance=10 page=3\n");
    ASSERT_TRUE(ReadFntFile(path.c_str()));
    for (int c : {65, 66, 67, 69})
        EXPECT_EQ(CurrentBitmapFont.chars[c].xadvance, 0) << c;
    EXPECT_EQ(CurrentBitmapFont.chars[68].width, 9);
}

TEST_F(FntReaderTest, FieldsTheFileLeavesOutKeepWhatTheFontHeld)
{
    CurrentBitmapFont.chars[90].xadvance = 12;
    std::string path = WriteFont(dir, "a.fnt",
                                 "common lineHeight=12 scaleW=64 scaleH=64 pages=1\n"
                                 "char id=65 x=0 y=0 width=5 height=5 xadvance=6\n");
    ASSERT_TRUE(ReadFntFile(path.c_str()));
    EXPECT_EQ(CurrentBitmapFont.chars[90].xadvance, 12);
    EXPECT_EQ(CurrentBitmapFont.chars[65].xadvance, 6);
}

TEST_F(FntReaderTest, LinesLongerThan255CharactersAreReadInPieces)
{
    // The char line's id sits past character 255: it is read as a line of its
    // own whose first token is no line kind, so nothing is set.
    std::string pad(260, ' ');
    std::string path = WriteFont(dir, "a.fnt",
                                 "common lineHeight=12 scaleW=64 scaleH=64 pages=1\n"
                                 "char" + pad + "id=70 width=5 height=5 xadvance=6\n"
                                 "char id=71 width=5 height=5 xadvance=7\n");
    ASSERT_TRUE(ReadFntFile(path.c_str()));
    EXPECT_EQ(CurrentBitmapFont.chars[70].xadvance, 0);
    EXPECT_EQ(CurrentBitmapFont.chars[71].xadvance, 7);
}

// ---- the shipped fonts and selecting -----------------------------------------

class BitmapFontTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        char path[600];
        std::snprintf(path, sizeof(path), "%s/Bitmaps/Arial_16_00.png", TVL_ROOT_DIR);
        uint8_t ok = 0;
        int w = 0, h = 0;
        page = LoadTexture(path, &ok, &w, &h, -1);
        ASSERT_TRUE(page);
        ASSERT_EQ(SelectBitmapFont(16), 60);
    }
    void TearDown() override
    {
        if (page)
            page->Release();
        RenderTest::TearDown();
    }
    ID3D11ShaderResourceView* page = nullptr;
};

TEST_F(BitmapFontTest, ShippedFontsLoadInOrderAndCoverTheCodePage)
{
    // The device start read 16, 121 and 14; 14 was last.
    EXPECT_EQ(SelectBitmapFont(121), 59);
    EXPECT_EQ(CurrentBitmapFontId, 121);
    EXPECT_EQ(GetFontSize(), 12);
    for (int id : {16, 121, 14}) {
        SelectBitmapFont(id);
        const BitmapFont& f = CurrentBitmapFont;
        EXPECT_GT(f.lineHeight, 10) << id;
        EXPECT_LT(f.lineHeight, 24) << id;
        EXPECT_GE(f.base, f.lineHeight / 2) << id;
        for (unsigned char c : std::string("AZaz09\xB0\xE4\x80")) // letters, digits, degree, a umlaut, euro
            EXPECT_GT(f.chars[c].width, 0) << id << " " << int(c);
        EXPECT_GT(f.chars[' '].xadvance, 0);
        EXPECT_EQ(f.chars['\n'].width, 0);
    }
    SelectBitmapFont(16);
    int a16 = CurrentBitmapFont.chars['M'].width;
    SelectBitmapFont(14);
    EXPECT_LT(CurrentBitmapFont.chars['M'].width, a16);
}

TEST_F(BitmapFontTest, SelectingTheCurrentIdAgainLeavesTheSize)
{
    SetFontSize(10);
    EXPECT_EQ(SelectBitmapFont(16), 60);
    EXPECT_EQ(GetFontSize(), 10);
}

TEST_F(BitmapFontTest, FontsNeverLoadedChangeNothingYetGiveTheirSlot)
{
    int32_t size = GetFontSize();
    EXPECT_EQ(SelectBitmapFont(24), 21);
    EXPECT_EQ(SelectBitmapFont(20), 34);
    EXPECT_EQ(SelectBitmapFont(161), 36);
    EXPECT_EQ(SelectBitmapFont(12), 58);
    EXPECT_EQ(SelectBitmapFont(122), 62);
    EXPECT_EQ(SelectBitmapFont(77), 60);
    EXPECT_EQ(CurrentBitmapFontId, 16);
    EXPECT_EQ(GetFontSize(), size);
}

// ---- glyph quads ----------------------------------------------------------------

TEST_F(BitmapFontTest, GlyphsFollowTheMetricsWithoutKerning)
{
    Record();
    DrawBitmapText(page, "AV", 100, 50, 0xFFFFFFFFu, 0, 0.0f, TextBackground::Clear, QuadPlacement::VirtualScreen);
    const auto& draws = GpuRecordedDraws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].vertexCount, 12u);
    EXPECT_EQ(draws[0].topology, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    EXPECT_EQ(draws[0].technique, "Render");
    const BitmapFont& f = CurrentBitmapFont;
    const BitmapFontChar& a = f.chars['A'];
    const BitmapFontChar& v = f.chars['V'];
    float pen[2] = {100.0f, 100.0f + a.xadvance}; // 'V' starts exactly one advance on
    const BitmapFontChar* g[2] = {&a, &v};
    for (int i = 0; i < 2; i++) {
        RenderVertex lt = Vertex(0, i * 6), rb = Vertex(0, i * 6 + 2);
        EXPECT_NEAR(PixelX(lt.x), pen[i] + g[i]->xoffset, 1e-3);
        EXPECT_NEAR(PixelY(lt.y), 50 + g[i]->yoffset, 1e-3);
        EXPECT_NEAR(PixelX(rb.x), pen[i] + g[i]->xoffset + g[i]->width, 1e-3);
        EXPECT_NEAR(PixelY(rb.y), 50 + g[i]->yoffset + g[i]->height, 1e-3);
        EXPECT_FLOAT_EQ(lt.u, float(g[i]->x) / f.scaleW);
        EXPECT_FLOAT_EQ(rb.v, float(g[i]->y + g[i]->height) / f.scaleH);
        // Both triangles of a glyph: LT, RT, RB, RB, LB, LT.
        EXPECT_EQ(Vertex(0, i * 6 + 5).x, lt.x);
        EXPECT_EQ(Vertex(0, i * 6 + 3).x, rb.x);
        EXPECT_EQ(Vertex(0, i * 6 + 4).y, rb.y);
    }
}

TEST_F(BitmapFontTest, GlyphInkLandsInsideItsQuadOnly)
{
    DrawBitmapText(page, "HI", 200, 100, 0xFF00FFFFu, 0, 0.0f, TextBackground::Clear, QuadPlacement::VirtualScreen);
    const BitmapFont& f = CurrentBitmapFont;
    auto box = [&](int pen, unsigned char c, int* x0, int* x1, int* y0, int* y1) {
        *x0 = pen + f.chars[c].xoffset;
        *x1 = *x0 + f.chars[c].width;
        *y0 = 100 + f.chars[c].yoffset;
        *y1 = *y0 + f.chars[c].height;
    };
    int hx0, hx1, hy0, hy1, ix0, ix1, iy0, iy1;
    box(200, 'H', &hx0, &hx1, &hy0, &hy1);
    box(200 + f.chars['H'].xadvance, 'I', &ix0, &ix1, &iy0, &iy1);
    int inkH = 0, inkI = 0, stray = 0;
    uint32_t strongest = 0;
    for (int y = 90; y < 130; y++)
        for (int x = 190; x < 240; x++) {
            uint32_t p = Pixel(x, y);
            bool ink = p != 0xFF000000u;
            strongest = std::max(strongest, p & 0xFFu);
            bool inH = x >= hx0 && x < hx1 && y >= hy0 && y < hy1;
            bool inI = x >= ix0 && x < ix1 && y >= iy0 && y < iy1;
            inkH += ink && inH;
            inkI += ink && inI;
            stray += ink && !inH && !inI;
        }
    EXPECT_GT(inkH, 10);
    EXPECT_GT(inkI, 5);
    EXPECT_EQ(stray, 0);
    // Texels land on pixels one to one: fully covered ones show the colour itself.
    EXPECT_EQ(strongest, 0xFFu);
    EXPECT_EQ(Pixel(hx0 + 1, (hy0 + hy1) / 2) & 0xFFFF0000u, 0xFF000000u); // no blue in yellow text
}

TEST_F(BitmapFontTest, HighCharactersUseTheUpperHalfOfTheTable)
{
    Record();
    DrawBitmapText(page, "\xB0", 10, 10, 0xFFFFFFFFu, 0, 0.0f, TextBackground::Clear, QuadPlacement::VirtualScreen);
    EXPECT_FLOAT_EQ(Vertex(0, 0).u, float(CurrentBitmapFont.chars[0xB0].x) / CurrentBitmapFont.scaleW);
}

TEST_F(BitmapFontTest, EmptyTextDrawsNothingNotEvenItsBox)
{
    ScreenRect r{10, 0, 10, 0};
    Record();
    EXPECT_EQ(DrawBitmapTextLine(page, "", &r, 0xFFFFFFFFu, 0xFF0000FFu, 0.0f, TextBackground::Box,
                                 QuadPlacement::VirtualScreen),
              -1);
    EXPECT_TRUE(GpuRecordedDraws().empty());
}

TEST_F(BitmapFontTest, BoxGoesBehindTheLineAroundItsGlyphs)
{
    ScreenRect r{100, 0, 60, 0};
    Record();
    EXPECT_EQ(DrawBitmapTextLine(page, "Tx", &r, 0xFFFFFFFFu, 0xFF0000FFu, 0.0f, TextBackground::Box,
                                 QuadPlacement::VirtualScreen),
              0);
    const auto& draws = GpuRecordedDraws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].technique, "Render1");
    const BitmapFont& f = CurrentBitmapFont;
    const BitmapFontChar& t = f.chars['T'];
    const BitmapFontChar& x = f.chars['x'];
    RenderVertex ul = Vertex(0, 1), lr = Vertex(0, 2);
    EXPECT_NEAR(PixelX(ul.x), 100 + t.xoffset - 1, 1e-3);
    EXPECT_NEAR(PixelX(lr.x), 100 + t.xadvance + x.xoffset + x.width + 1, 1e-3);
    EXPECT_NEAR(PixelY(ul.y), 59, 1e-3);
    EXPECT_NEAR(PixelY(lr.y), 60 + t.yoffset + t.height + 1, 1e-3);
}

TEST_F(BitmapFontTest, BlockLinesStepDownAndBoxesKeepTheFirstLinesWidth)
{
    const char* lines[3] = {"WWWWWW", "ii", "WWWWWWWW"};
    ScreenRect r{50, 0, 100, 0};
    Record();
    EXPECT_EQ(DrawBitmapTextBlock(page, lines, 3, &r, 14.0f, 0xFFFFFFFFu, 0xFF404040u, 0.0f, TextBackground::Box,
                                  QuadPlacement::VirtualScreen),
              0);
    const auto& draws = GpuRecordedDraws();
    ASSERT_EQ(draws.size(), 6u); // box, glyphs per line
    const BitmapFont& f = CurrentBitmapFont;
    float right0 = PixelX(Vertex(0, 2).x);
    for (int k = 0; k < 3; k++) {
        unsigned char c0 = static_cast<unsigned char>(lines[k][0]);
        RenderVertex glyph = Vertex(2 * k + 1, 0);
        EXPECT_NEAR(PixelY(glyph.y), 100 + 14 * k + f.chars[c0].yoffset, 1e-3) << k;
        RenderVertex ul = Vertex(2 * k, 1), lr = Vertex(2 * k, 2);
        EXPECT_NEAR(PixelY(ul.y), 100 + 14 * k + f.chars[c0].yoffset - 2, 1e-3) << k;
        EXPECT_NEAR(PixelY(lr.y), 100 + 14 * k + f.chars[c0].yoffset + f.chars[c0].height + 2, 1e-3) << k;
        if (k == 1) {
            EXPECT_FLOAT_EQ(PixelX(lr.x), right0); // the short line's box is as wide
        } else if (k == 2) {
            EXPECT_GT(PixelX(lr.x), right0); // a longer line's box grows
        }
    }
    // The short line's box shows right of its own glyphs.
    int y = static_cast<int>(100 + 14 + f.chars['i'].yoffset + 1);
    EXPECT_EQ(Pixel(static_cast<int>(right0) - 3, y), 0xFF404040u);
}

TEST_F(BitmapFontTest, AnEmptyLineEndsTheBlock)
{
    const char* lines[3] = {"one", "", "three"};
    ScreenRect r{50, 0, 100, 0};
    Record();
    EXPECT_EQ(DrawBitmapTextBlock(page, lines, 3, &r, 14.0f, 0xFFFFFFFFu, 0, 0.0f, TextBackground::Clear,
                                  QuadPlacement::VirtualScreen),
              -1);
    EXPECT_EQ(GpuRecordedDraws().size(), 1u);
}

TEST_F(BitmapFontTest, ATurnMovesOnlyTheStartPoint)
{
    // A quarter turn clockwise about the centre takes a point 100 right of it
    // to 100 below it; the glyph stays upright (its top edge level).
    ScreenRect r{cx + 100, 0, cy, 0};
    Record();
    DrawBitmapTextLine(page, "L", &r, 0xFFFFFFFFu, 0, kPi / 2, TextBackground::Clear, QuadPlacement::VirtualScreen);
    const BitmapFontChar& l = CurrentBitmapFont.chars['L'];
    RenderVertex lt = Vertex(0, 0), rt = Vertex(0, 1);
    EXPECT_NEAR(PixelX(lt.x), cx + l.xoffset, 1e-3);
    EXPECT_NEAR(PixelY(lt.y), cy + 100 + l.yoffset, 1e-3);
    EXPECT_EQ(lt.y, rt.y);
    // A block moves its start a further half pixel right and down.
    const char* lines[1] = {"L"};
    DrawBitmapTextBlock(page, lines, 1, &r, 10, 0xFFFFFFFFu, 0, kPi / 2, TextBackground::Clear,
                        QuadPlacement::VirtualScreen);
    EXPECT_NEAR(PixelX(Vertex(1, 0).x), cx + l.xoffset + 0.5f, 1e-3);
    EXPECT_NEAR(PixelY(Vertex(1, 0).y), cy + 100 + l.yoffset + 0.5f, 1e-3);
}

TEST_F(BitmapFontTest, MapPixelTextKeepsItsPixelSize)
{
    ScreenRect r{cx + 10, 0, cy + 20, 0};
    Record();
    DrawBitmapTextLine(page, "M", &r, 0xFFFFFFFFu, 0, 0.0f, TextBackground::Clear, QuadPlacement::MapPixels);
    const BitmapFontChar& m = CurrentBitmapFont.chars['M'];
    EXPECT_NEAR(Vertex(0, 0).x, MapPixelToClipX(cx + 10 + m.xoffset, cx), 1e-6);
    EXPECT_NEAR(Vertex(0, 0).y, MapPixelToClipY(cy + 20 + m.yoffset, cy), 1e-6);
}

TEST_F(BitmapFontTest, LongTextIsCutToTheWholeBuffer)
{
    std::string text(6000, 'a');
    ScreenRect r{0, 0, 0, 0};
    Record();
    EXPECT_EQ(DrawBitmapTextLine(page, text.c_str(), &r, 0xFFFFFFFFu, 0, 0.0f, TextBackground::Clear,
                                 QuadPlacement::VirtualScreen),
              0);
    EXPECT_EQ(GpuRecordedDraws()[0].vertexCount, 30000u);
}

TEST_F(BitmapFontTest, FailuresReturnTheirCodes)
{
    ScreenRect r{0, 0, 0, 0};
    GpuFailNextMap(E_OUTOFMEMORY);
    EXPECT_EQ(
        DrawBitmapTextLine(page, "abc", &r, 0xFFFFFFFFu, 0, 0.0f, TextBackground::Clear, QuadPlacement::VirtualScreen),
        E_OUTOFMEMORY);
    const char* lines[2] = {"a", "b"};
    GpuFailNextMap(E_OUTOFMEMORY);
    EXPECT_EQ(DrawBitmapTextBlock(page, lines, 2, &r, 10, 0xFFFFFFFFu, 0, 0.0f, TextBackground::Clear,
                                  QuadPlacement::VirtualScreen),
              E_OUTOFMEMORY);
    CleanupD3D();
    EXPECT_EQ(
        DrawBitmapTextLine(page, "abc", &r, 0xFFFFFFFFu, 0, 0.0f, TextBackground::Clear, QuadPlacement::VirtualScreen),
        E_FAIL);
    EXPECT_EQ(DrawBitmapTextBlock(page, lines, 2, &r, 10, 0xFFFFFFFFu, 0, 0.0f, TextBackground::Clear,
                                  QuadPlacement::VirtualScreen),
              E_FAIL);
}

} // namespace
