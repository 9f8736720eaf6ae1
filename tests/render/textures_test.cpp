// Textures: image files and their slots, the case-sensitive palette-image
// path, palette and elevation texel orientation, images in memory.
#include "display/sprite_table.h"
#include "maps/system_files.h"
#include "maps/terrain_data.h"
#include "render/textures.h"
#include "tests/render/render_fixture.h"
#include "tests/support/temp_folder.h"

#include <FreeImage.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

std::string WritePng(const std::string& path, int w, int h, uint32_t rgba)
{
    FIBITMAP* dib = FreeImage_Allocate(w, h, 32);
    for (int y = 0; y < h; y++) {
        BYTE* line = FreeImage_GetScanLine(dib, y);
        for (int x = 0; x < w; x++) {
            line[x * 4 + FI_RGBA_RED] = rgba & 0xFF;
            line[x * 4 + FI_RGBA_GREEN] = (rgba >> 8) & 0xFF;
            line[x * 4 + FI_RGBA_BLUE] = (rgba >> 16) & 0xFF;
            line[x * 4 + FI_RGBA_ALPHA] = rgba >> 24;
        }
    }
    FreeImage_Save(FIF_PNG, dib, path.c_str(), 0);
    FreeImage_Unload(dib);
    return path;
}

uint32_t Texel(ID3D11ShaderResourceView* view, int x, int y)
{
    ID3D11Resource* r = nullptr;
    view->GetResource(&r);
    uint32_t t = GpuReadPixel(r, x, y);
    r->Release();
    return t;
}

class TexturesTest : public RenderTest {
protected:
    TempFolder tmp;
};

TEST_F(TexturesTest, ImageFileKeepsItsSizeAndSetsOk)
{
    std::string png = WritePng(tmp / "sprite.png", 5, 3, 0xFF102030u);
    uint8_t ok = 7;
    int w = 0, h = 0;
    ID3D11ShaderResourceView* view = LoadTexture(png.c_str(), &ok, &w, &h, -1);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 3);
    EXPECT_EQ(Texel(view, 4, 2), 0xFF102030u);
    view->Release();
}

TEST_F(TexturesTest, SlotKeepsTheTextureUntilCleanUp)
{
    std::string png = WritePng(tmp / "a.png", 2, 2, 0xFFFFFFFFu);
    int w, h;
    ID3D11ShaderResourceView* view = LoadTileTexture(png.c_str(), &w, &h, 3);
    ASSERT_NE(view, nullptr);
    EXPECT_NE(GetTextureSlot(3), nullptr);
    view->Release();
    // Loading into the same slot replaces (and releases) the texture held there.
    ID3D11ShaderResourceView* again = LoadTileTexture(png.c_str(), &w, &h, 3);
    ASSERT_NE(again, nullptr);
    again->Release();
    for (int slot : {-1, 8}) {
        ID3D11ShaderResourceView* v = LoadTileTexture(png.c_str(), &w, &h, slot);
        ASSERT_NE(v, nullptr);
        v->Release();
    }
    for (int s = 0; s < kTextureSlotCount; s++)
        EXPECT_EQ(GetTextureSlot(s) != nullptr, s == 3) << s;
    CleanupD3D();
    EXPECT_EQ(GetTextureSlot(3), nullptr);
}

TEST_F(TexturesTest, PaletteImagePathTestIsCaseSensitive)
{
    // Both files hold a PNG: the upper-case name goes to the image decoder,
    // the lower-case one to the palette-image reader, which cannot read it.
    std::string upper = WritePng(tmp / "tile.QRL", 2, 2, 0xFF00FF00u);
    std::string lower = WritePng(tmp / "tile.qrl", 2, 2, 0xFF00FF00u);
    uint8_t ok = 0;
    int w, h;
    ID3D11ShaderResourceView* view = LoadTexture(upper.c_str(), &ok, &w, &h, -1);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(ok, 1);
    view->Release();
    EXPECT_EQ(LoadTexture(lower.c_str(), &ok, &w, &h, -1), nullptr);
    EXPECT_EQ(ok, 0);
}

TEST_F(TexturesTest, MissingOrBrokenImagesGiveNothing)
{
    uint8_t ok = 1;
    int w, h;
    EXPECT_EQ(LoadTexture((tmp / "none.png").c_str(), &ok, &w, &h, 2), nullptr);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(GetTextureSlot(2), nullptr);
    ok = 1;
    EXPECT_EQ(LoadBitmapOrWarn((tmp / "Missing_bitmap_with_a_rather_long_name.png").c_str(), &ok, &w, &h, -1),
              nullptr);
    EXPECT_EQ(ok, 0);
    const char junk[] = "\x89PNG\r\n\x1a\n truncated";
    EXPECT_EQ(CreateTextureFromMemory(junk, sizeof(junk), &ok), nullptr);
    EXPECT_EQ(ok, 0);
}

TEST_F(TexturesTest, MemoryImageSetsOkOnlyWithAView)
{
    std::string bytes = ReadFileText(WritePng(tmp / "m.png", 3, 3, 0xFF0000FFu));
    uint8_t ok = 0;
    ID3D11ShaderResourceView* view = CreateTextureFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), &ok);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Texel(view, 1, 1), 0xFF0000FFu);
    view->Release();
    // The same bytes as the loaded file of a data package.
    std::memcpy(PaletteImageBuffer.bytes, bytes.data(), bytes.size());
    PaletteImageBuffer.size = static_cast<int32_t>(bytes.size());
    view = CreateTextureFromLoadedFile(&ok);
    ASSERT_NE(view, nullptr);
    view->Release();
    PaletteImageBuffer.size = -5;
    EXPECT_EQ(CreateTextureFromLoadedFile(&ok), nullptr);
    EXPECT_EQ(ok, 0);
}

class PaletteTest : public TexturesTest {
protected:
    void FillImage()
    {
        // The buffer's layout is that of the last tile read: read a plain
        // 800 x 800 one so an earlier test's other size or image file is gone.
        std::vector<uint8_t> blank(800 * 800, 0);
        const uint8_t noPalette[1024] = {};
        ASSERT_TRUE(WriteMakerImageFile((tmp / "000001.qrl").c_str(), 800, 800, noPalette, blank.data()));
        ASSERT_GT(LoadMakerImageFile((tmp / "000001.qrl").c_str()), 0);
        uint32_t offset = GetMakerImageDataOffset();
        std::memset(PaletteImageBuffer.bytes + offset, 1, 800 * 800);
        uint8_t* palette = nullptr;
        GetMakerImagePalette(&palette);
        ASSERT_NE(palette, nullptr);
        const uint8_t entry0[4] = {10, 20, 30, 0}; // blue, green, red, reserved
        const uint8_t entry1[4] = {1, 2, 3, 0};
        std::memcpy(palette, entry0, 4);
        std::memcpy(palette + 4, entry1, 4);
        // The first byte of the last stored row is the top left of the picture.
        PaletteImageBuffer.bytes[offset + 799 * 800] = 0;
        PaletteImageBuffer.size = static_cast<int32_t>(offset + 800 * 800);
    }
};

TEST_F(PaletteTest, PaletteIndicesBecomeRgbTopRowFirst)
{
    FillImage();
    ID3D11Texture2D* texture = nullptr;
    uint8_t ok = 0;
    int w = 0, h = 0;
    ID3D11ShaderResourceView* view = UpdatePaletteTexture(&texture, &ok, &w, &h);
    ASSERT_NE(view, nullptr);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(GpuReadPixel(texture, 0, 0), 0xFF0A141Eu);   // (30, 20, 10, 255)
    EXPECT_EQ(GpuReadPixel(texture, 1, 0), 0xFF010203u);   // entry 1
    EXPECT_EQ(GpuReadPixel(texture, 0, 799), 0xFF010203u); // the first stored row is the bottom
    view->Release();
    // The caller's texture is refilled on the next call.
    PaletteImageBuffer.bytes[GetMakerImageDataOffset() + 799 * 800] = 1;
    view = UpdatePaletteTexture(&texture, &ok, &w, &h);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(GpuReadPixel(texture, 0, 0), 0xFF010203u);
    view->Release();
    texture->Release();
}

TEST_F(PaletteTest, ShortImageBufferGivesNothing)
{
    FillImage();
    PaletteImageBuffer.size = static_cast<int32_t>(GetMakerImageDataOffset() + 800 * 800 - 1);
    ID3D11Texture2D* texture = nullptr;
    uint8_t ok = 1;
    int w, h;
    EXPECT_EQ(UpdatePaletteTexture(&texture, &ok, &w, &h), nullptr);
    EXPECT_EQ(ok, 0);
    if (texture) // kept for the caller, as a created texture is
        texture->Release();
}

TEST_F(TexturesTest, PaletteTileFileBecomesATextureEitherForm)
{
    // A plain palette tile: entry 1 is (red 30, green 20, blue 10), the top row is entry 2
    // (red 50, green 100, blue 200).
    uint8_t palette[1024] = {};
    const uint8_t entry1[4] = {10, 20, 30, 0}, entry2[4] = {200, 100, 50, 0};
    std::memcpy(palette + 4, entry1, 4);
    std::memcpy(palette + 8, entry2, 4);
    std::vector<uint8_t> pixels(800 * 800, 1);
    std::fill(pixels.end() - 800, pixels.end(), 2);
    ASSERT_TRUE(WriteMakerImageFile((tmp / "000008.qrl").c_str(), 800, 800, palette, pixels.data()));
    uint8_t ok = 0;
    int w = 0, h = 0;
    ID3D11ShaderResourceView* view = LoadTexture((tmp / "000008.qrl").c_str(), &ok, &w, &h, -1);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(Texel(view, 3, 0), 0xFFC86432u);  // 0xAABBGGRR
    EXPECT_EQ(Texel(view, 3, 500), 0xFF0A141Eu);
    view->Release();
    // The same tile kept as a scrambled image file beside it is taken instead.
    std::string png = ReadFileText(WritePng(tmp / "plain.png", 4, 4, 0xFF00FF00u));
    ASSERT_TRUE(WriteScrambledImageFile((tmp / "000008.qrj").c_str(), png.data(), png.size()));
    view = LoadTexture((tmp / "000008.qrl").c_str(), &ok, &w, &h, -1);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(Texel(view, 1, 1), 0xFF00FF00u);
    view->Release();
    // A palette tile of another size is no 800 x 800 texture.
    ASSERT_TRUE(WriteMakerImageFile((tmp / "000016.qrl").c_str(), 640, 1000, palette, pixels.data()));
    EXPECT_EQ(LoadTexture((tmp / "000016.qrl").c_str(), &ok, &w, &h, -1), nullptr);
}

TEST_F(TexturesTest, ElevationGridBecomesGreenWithNorthOnTop)
{
    std::unique_ptr<uint8_t[]> grid(new uint8_t[1200 * 1200]());
    grid[1199 * 1200 + 0] = 200; // grid row 1199 is the northern edge
    grid[0 * 1200 + 5] = 7;
    uint8_t ok = 0;
    int w = 0, h = 0;
    ID3D11ShaderResourceView* view = CreateElevationTexture(grid.get(), 1200, &ok, &w, &h);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(w, 1200);
    EXPECT_EQ(h, 1200);
    EXPECT_EQ(Texel(view, 0, 0), 0xFF00C800u); // (0, 200, 0, 255)
    EXPECT_EQ(Texel(view, 5, 1199), 0xFF000700u);
    view->Release();
    EXPECT_EQ(CreateElevationTexture(nullptr, 1200, &ok, &w, &h), nullptr); // not loaded
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(CreateElevationTexture(grid.get(), 0, &ok, &w, &h), nullptr); // no size
}

TEST(TexturesWithoutDevice, EveryLoaderReturnsNothing)
{
    uint8_t ok = 1;
    int w, h;
    EXPECT_EQ(LoadTexture("x.png", &ok, &w, &h, 0), nullptr);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(CreateTextureFromMemory("x", 1, &ok), nullptr);
    ID3D11Texture2D* t = nullptr;
    EXPECT_EQ(UpdatePaletteTexture(&t, &ok, &w, &h), nullptr);
    uint8_t grid[4] = {};
    EXPECT_EQ(CreateElevationTexture(grid, 2, &ok, &w, &h), nullptr);
}

} // namespace
