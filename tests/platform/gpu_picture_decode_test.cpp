// Tile pictures decoded straight into texture storage: the same texels as the
// image library gives for every kind of PNG and JPEG the reader takes, the
// library's word for everything else, damaged files never misread, and
// texture storage that is reused but never shows old texels.
#include "platform/gpu/d3dx11.h"
#include "platform/gpu/gpu_inspect.h"
#include "platform/gpu/image_decode.h"
#include "tests/support/gpu_test_device.h"

#include <FreeImage.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr unsigned kMaxSide = 16384;

// The image library's texels for the bytes, or empty when it refuses them.
std::vector<uint32_t> LibraryTexels(const std::string& bytes)
{
    std::vector<uint32_t> out;
    FIMEMORY* memory = FreeImage_OpenMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                            static_cast<DWORD>(bytes.size()));
    FIBITMAP* image = FreeImage_LoadFromMemory(FreeImage_GetFileTypeFromMemory(memory, 0), memory, 0);
    FreeImage_CloseMemory(memory);
    if (!image)
        return out;
    FIBITMAP* rgba = FreeImage_ConvertTo32Bits(image);
    FreeImage_Unload(image);
    unsigned w = FreeImage_GetWidth(rgba), h = FreeImage_GetHeight(rgba);
    for (unsigned y = 0; y < h; y++) {
        const BYTE* line = FreeImage_GetScanLine(rgba, h - 1 - y);
        for (unsigned x = 0; x < w; x++, line += 4)
            out.push_back(line[FI_RGBA_RED] | line[FI_RGBA_GREEN] << 8 | line[FI_RGBA_BLUE] << 16 |
                          static_cast<uint32_t>(line[FI_RGBA_ALPHA]) << 24);
    }
    FreeImage_Unload(rgba);
    return out;
}

bool FastTexels(const std::string& bytes, std::vector<uint32_t>* texels, bool* opaque = nullptr)
{
    DecodedTexels d;
    if (!DecodeTilePicture(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), kMaxSide, &d))
        return false;
    texels->assign(d.texels.get(), d.texels.get() + static_cast<size_t>(d.width) * d.height);
    if (opaque)
        *opaque = d.opaque;
    return true;
}

std::string Save(FIBITMAP* image, FREE_IMAGE_FORMAT format, int flags)
{
    FIMEMORY* memory = FreeImage_OpenMemory();
    FreeImage_SaveToMemory(format, image, memory, flags);
    BYTE* data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(memory, &data, &size);
    std::string bytes(reinterpret_cast<char*>(data), size);
    FreeImage_CloseMemory(memory);
    return bytes;
}

// A picture with soft fields, sharp edges and noise, so every PNG filter
// and the JPEG transform have work to do.
FIBITMAP* Picture(int width, int height, int bpp)
{
    FIBITMAP* image = FreeImage_Allocate(width, height, bpp);
    std::mt19937 noise(5);
    for (int y = 0; y < height; y++) {
        BYTE* line = FreeImage_GetScanLine(image, y);
        for (int x = 0; x < width; x++) {
            int step = bpp / 8;
            BYTE* p = line + step * x;
            p[FI_RGBA_RED] = static_cast<BYTE>((x * 7 + y * 3) % 256);
            p[FI_RGBA_GREEN] = static_cast<BYTE>((x / 16 % 2 ? 200 : 40) + noise() % 20);
            p[FI_RGBA_BLUE] = static_cast<BYTE>((x ^ y) & 0xFF);
            if (bpp == 32)
                p[FI_RGBA_ALPHA] = static_cast<BYTE>((x + y) % 3 == 0 ? 0 : (x + y) % 3 == 1 ? 128 : 255);
        }
    }
    return image;
}

FIBITMAP* PalettePicture(int bpp, int transparent)
{
    FIBITMAP* image = FreeImage_Allocate(77, 45, bpp);
    RGBQUAD* palette = FreeImage_GetPalette(image);
    int colours = 1 << bpp;
    for (int i = 0; i < colours; i++)
        palette[i] = {static_cast<BYTE>(i * 37), static_cast<BYTE>(255 - i * 11), static_cast<BYTE>(i * 5), 0};
    for (int y = 0; y < 45; y++)
        for (int x = 0; x < 77; x++) {
            BYTE index = static_cast<BYTE>((x * 3 + y * 5) % colours);
            FreeImage_SetPixelIndex(image, x, y, &index);
        }
    if (transparent > 0) {
        std::vector<BYTE> table(static_cast<size_t>(transparent));
        for (int i = 0; i < transparent; i++)
            table[static_cast<size_t>(i)] = static_cast<BYTE>(i * 60 % 256);
        FreeImage_SetTransparencyTable(image, table.data(), transparent);
    }
    return image;
}

// ---- a PNG writer for chunks the library does not write ----

void PutBigEndian(std::string& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

void PutChunk(std::string& out, const char* type, const std::string& body)
{
    PutBigEndian(out, static_cast<uint32_t>(body.size()));
    std::string typed = std::string(type, 4) + body;
    out += typed;
    PutBigEndian(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
                                                  static_cast<uInt>(typed.size()))));
}

struct PngLayout {
    int width = 20, height = 9, depth = 8, colourType = 2, interlace = 0;
    std::vector<std::pair<std::string, std::string>> before; // chunks after IHDR
    int idatPieces = 1;
    int filter = -1; // every row's filter; -1: row y uses filter y % 5
};

std::string MakePng(const PngLayout& layout)
{
    int samples = layout.colourType == 2 ? 3 : layout.colourType == 6 ? 4 : layout.colourType == 4 ? 2 : 1;
    size_t rowBytes = (static_cast<size_t>(layout.width) * layout.depth * samples + 7) / 8;
    std::string raw;
    for (int y = 0; y < layout.height; y++) {
        raw += static_cast<char>(layout.filter < 0 ? y % 5 : layout.filter);
        for (size_t i = 0; i < rowBytes; i++)
            raw += static_cast<char>((i * 29 + static_cast<size_t>(y) * 71) % 251);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), 6);
    packed.resize(packedSize);
    std::string out = "\x89PNG\r\n\x1A\n";
    std::string header;
    PutBigEndian(header, static_cast<uint32_t>(layout.width));
    PutBigEndian(header, static_cast<uint32_t>(layout.height));
    header += static_cast<char>(layout.depth);
    header += static_cast<char>(layout.colourType);
    header += std::string("\0\0", 2);
    header += static_cast<char>(layout.interlace);
    PutChunk(out, "IHDR", header);
    for (const auto& [type, body] : layout.before)
        PutChunk(out, type.c_str(), body);
    size_t piece = packed.size() / layout.idatPieces + 1;
    for (size_t at = 0; at < packed.size(); at += piece)
        PutChunk(out, "IDAT", packed.substr(at, piece));
    PutChunk(out, "IEND", "");
    return out;
}

std::string Palette(int colours)
{
    std::string p;
    for (int i = 0; i < colours; i++)
        p += {static_cast<char>(i * 3), static_cast<char>(i * 5), static_cast<char>(255 - i)};
    return p;
}

void ExpectSameAsLibrary(const std::string& bytes, const char* what, bool opaque)
{
    std::vector<uint32_t> fast, library = LibraryTexels(bytes);
    bool fastOpaque = false;
    ASSERT_TRUE(FastTexels(bytes, &fast, &fastOpaque)) << what;
    ASSERT_FALSE(library.empty()) << what;
    ASSERT_EQ(fast.size(), library.size()) << what;
    for (size_t i = 0; i < fast.size(); i++)
        ASSERT_EQ(fast[i], library[i]) << what << ", texel " << i;
    EXPECT_EQ(fastOpaque, opaque) << what;
}

class PictureDecode : public ::testing::Test {
protected:
    void SetUp() override { FreeImage_Initialise(FALSE); }
    void TearDown() override { FreeImage_DeInitialise(); }
};

TEST_F(PictureDecode, TilePicturesComeOutAsTheImageLibraryReadsThem)
{
    FIBITMAP* rgb = Picture(256, 256, 24);
    FIBITMAP* rgba = Picture(61, 37, 32);
    ExpectSameAsLibrary(Save(rgb, FIF_PNG, PNG_DEFAULT), "RGB PNG", true);
    ExpectSameAsLibrary(Save(rgb, FIF_PNG, PNG_Z_BEST_COMPRESSION), "RGB PNG packed hard", true);
    ExpectSameAsLibrary(Save(rgba, FIF_PNG, PNG_DEFAULT), "RGBA PNG", false);
    FIBITMAP* grey = FreeImage_ConvertToGreyscale(rgb);
    ExpectSameAsLibrary(Save(grey, FIF_PNG, PNG_DEFAULT), "grey PNG", true);
    for (int bpp : {1, 4, 8}) {
        FIBITMAP* palette = PalettePicture(bpp, 0);
        ExpectSameAsLibrary(Save(palette, FIF_PNG, PNG_DEFAULT), "palette PNG", true);
        FreeImage_Unload(palette);
        FIBITMAP* seeThrough = PalettePicture(bpp, bpp == 1 ? 1 : 9);
        ExpectSameAsLibrary(Save(seeThrough, FIF_PNG, PNG_DEFAULT), "palette PNG with alpha", false);
        FreeImage_Unload(seeThrough);
    }
    // Every filter, in rows of every pixel size, and a stream cut over many IDAT chunks.
    for (auto [type, depth] : {std::pair{2, 8}, {6, 8}, {0, 8}, {3, 2}, {3, 8}}) {
        PngLayout layout;
        layout.colourType = type;
        layout.depth = depth;
        if (type == 3)
            layout.before.push_back({"PLTE", Palette(1 << depth)});
        layout.before.push_back({"tEXt", std::string("Comment\0made here", 17)});
        layout.idatPieces = 4;
        ExpectSameAsLibrary(MakePng(layout), "filtered PNG", type != 6);
    }
    for (int flags : {JPEG_DEFAULT, JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444, JPEG_SUBSAMPLING_422,
                      JPEG_PROGRESSIVE | JPEG_QUALITYBAD})
        ExpectSameAsLibrary(Save(rgb, FIF_JPEG, flags), "JPEG", true);
    ExpectSameAsLibrary(Save(grey, FIF_JPEG, JPEG_DEFAULT), "grey JPEG", true);
    FreeImage_Unload(grey);
    FreeImage_Unload(rgb);
    FreeImage_Unload(rgba);
}

TEST_F(PictureDecode, PicturesItDoesNotKnowAreLeftToTheLibrary)
{
    std::vector<uint32_t> texels;
    FIBITMAP* rgb = Picture(40, 30, 24);
    FIBITMAP* wide = FreeImage_ConvertToType(rgb, FIT_RGB16);
    EXPECT_FALSE(FastTexels(Save(wide, FIF_PNG, PNG_DEFAULT), &texels)) << "16-bit channels";
    EXPECT_FALSE(FastTexels(Save(rgb, FIF_PNG, PNG_INTERLACED), &texels)) << "interlaced";
    EXPECT_FALSE(FastTexels(Save(rgb, FIF_BMP, BMP_DEFAULT), &texels)) << "BMP";
    FreeImage_Unload(wide);
    FreeImage_Unload(rgb);
    PngLayout gamma;
    gamma.before.push_back({"gAMA", std::string("\0\0\xB1\x8F", 4)});
    EXPECT_FALSE(FastTexels(MakePng(gamma), &texels)) << "gamma";
    PngLayout key;
    key.before.push_back({"tRNS", std::string("\0\1\0\2\0\3", 6)});
    EXPECT_FALSE(FastTexels(MakePng(key), &texels)) << "colour key";
    PngLayout greyAlpha;
    greyAlpha.colourType = 4;
    EXPECT_FALSE(FastTexels(MakePng(greyAlpha), &texels)) << "grey with alpha";
    // Left to the library does not mean lost: the texture loader still takes them.
    TestDevice gpu(8, 8);
    ASSERT_TRUE(gpu.Ready());
    std::string bytes = MakePng(gamma);
    ID3D11Resource* resource = nullptr;
    EXPECT_TRUE(SUCCEEDED(D3DX11CreateTextureFromMemory(gpu.device, bytes.data(), bytes.size(), nullptr, nullptr,
                                                       &resource, nullptr)));
    if (resource) {
        std::vector<uint32_t> loaded;
        GpuReadPixels(resource, &loaded, nullptr, nullptr);
        EXPECT_EQ(loaded, LibraryTexels(bytes));
        resource->Release();
    }
}

TEST_F(PictureDecode, DamagedPicturesAreNeverMisread)
{
    FIBITMAP* rgb = Picture(64, 48, 24);
    const std::string png = Save(rgb, FIF_PNG, PNG_DEFAULT), jpeg = Save(rgb, FIF_JPEG, JPEG_DEFAULT);
    FreeImage_Unload(rgb);
    std::vector<uint32_t> texels;
    // A wrong checksum, a cut stream, an unknown filter, a palette index with no colour.
    std::string badCrc = png;
    badCrc[30] ^= 0x01;
    EXPECT_FALSE(FastTexels(badCrc, &texels));
    EXPECT_FALSE(FastTexels(png.substr(0, png.size() / 2), &texels));
    PngLayout badFilter;
    badFilter.filter = 5;
    EXPECT_FALSE(FastTexels(MakePng(badFilter), &texels));
    PngLayout shortPalette;
    shortPalette.colourType = 3;
    shortPalette.before.push_back({"PLTE", Palette(3)});
    EXPECT_FALSE(FastTexels(MakePng(shortPalette), &texels));
    EXPECT_FALSE(FastTexels(jpeg.substr(0, jpeg.size() / 2), &texels)) << "a cut JPEG is the library's to patch";
    // Flipped bits anywhere: what is taken at all is what the library shows.
    std::mt19937 random(11);
    for (const std::string* source : {&png, &jpeg})
        for (int round = 0; round < 150; round++) {
            std::string bytes = *source;
            bytes[random() % bytes.size()] ^= static_cast<char>(1 << (random() % 8));
            if (round % 3 == 0)
                bytes.resize(random() % bytes.size());
            if (FastTexels(bytes, &texels)) {
                ASSERT_EQ(texels, LibraryTexels(bytes)) << "round " << round;
            }
        }
}

// The Paeth predictor as PNG defines it.
uint8_t PlainPaeth(int a, int b, int c)
{
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Every left, above and above-left value, ties included, in rows of three-
// and four-byte pixels: each lane of a row holds one (above, above-left)
// pair, and its odd pixels follow left values 0 to 255.
TEST(PngRows, PaethRowsGiveEveryPredictionThePlainPredictorGives)
{
    constexpr size_t kPixels = 512, kSlack = 16;
    for (size_t bpp : {size_t{3}, size_t{4}}) {
        const size_t n = kPixels * bpp;
        std::vector<uint8_t> up(n + kSlack), want(n + kSlack), raw(n + kSlack), out(n + kSlack);
        for (size_t pair = 0; pair < 65536; pair += bpp) {
            for (size_t i = 0; i < n; i++) {
                size_t lane = i % bpp, pixel = i / bpp, q = (pair + lane) % 65536;
                uint8_t above = static_cast<uint8_t>(q >> 8), aboveLeft = static_cast<uint8_t>(q & 0xFF);
                up[i] = pixel % 2 ? above : aboveLeft;
                want[i] = static_cast<uint8_t>(pixel % 2 ? pixel * 7 + lane : pixel / 2);
                int a = i >= bpp ? want[i - bpp] : 0, c = i >= bpp ? up[i - bpp] : 0;
                raw[i] = static_cast<uint8_t>(want[i] - PlainPaeth(a, up[i], c));
            }
            ASSERT_TRUE(UnfilterPngRow(4, raw.data(), up.data(), out.data(), n, bpp));
            for (size_t i = 0; i < n; i++) {
                size_t j = i >= bpp ? i - bpp : 0;
                ASSERT_EQ(out[i], want[i]) << bpp << " bytes a pixel, byte " << i << ": left " << int(want[j])
                                           << ", above " << int(up[i]) << ", above left " << int(up[j]);
            }
        }
    }
}

TEST_F(PictureDecode, TextureStorageIsReusedButNeverShowsOldTexels)
{
    TestDevice gpu(8, 8);
    ASSERT_TRUE(gpu.Ready());
    std::vector<uint32_t> busy(256 * 256, 0xDEADBEEFu);
    gpu.MakeTexture(256, 256, busy)->Release(); // its storage goes back to the pool
    size_t pooled = PooledTexelBytes();
    EXPECT_GE(pooled, busy.size() * 4);
    // A texture without data of that size takes the buffer and starts cleared.
    D3D11_TEXTURE2D_DESC d{};
    d.Width = d.Height = 256;
    d.MipLevels = d.ArraySize = 1;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc.Count = 1;
    d.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    ID3D11Texture2D* blank = nullptr;
    ASSERT_TRUE(SUCCEEDED(gpu.device->CreateTexture2D(&d, nullptr, &blank)));
    EXPECT_EQ(PooledTexelBytes(), pooled - busy.size() * 4);
    std::vector<uint32_t> texels;
    GpuReadPixels(blank, &texels, nullptr, nullptr);
    EXPECT_EQ(texels, std::vector<uint32_t>(256 * 256, 0u));
    blank->Release();
}

} // namespace
