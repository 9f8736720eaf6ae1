// PNG and JPEG straight into texels (see image_decode.h). The PNG reader
// checks every chunk's length and CRC and the zlib stream's checksum, and
// takes only chunks that do not change what the image library would show;
// the JPEG reader decodes with the library's own settings (fast integer
// transform, plain upsampling) and gives up on the first warning.
#include "platform/gpu/image_decode.h"

#include <emmintrin.h>
#include <libdeflate.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include <jpeglib.h>

namespace {

// Larger pictures go to the library: no thread keeps buffers this large.
constexpr size_t kMaxPixels = size_t{1} << 24;

bool SizeFits(unsigned width, unsigned height, unsigned maxSide)
{
    return width > 0 && height > 0 && width <= maxSide && height <= maxSide &&
           static_cast<size_t>(width) * height <= kMaxPixels;
}

// ---- PNG: chunks ----

uint32_t BigEndian32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

bool TypeIs(const uint8_t* type, const char* name)
{
    return std::memcmp(type, name, 4) == 0;
}

// Text, time and pixel size: the library reads them as metadata only.
bool IsMetadata(const uint8_t* type)
{
    return TypeIs(type, "tEXt") || TypeIs(type, "zTXt") || TypeIs(type, "iTXt") || TypeIs(type, "tIME") ||
           TypeIs(type, "pHYs");
}

struct PngImage {
    unsigned width = 0, height = 0;
    int depth = 0, colourType = 0;
    uint32_t palette[256] = {};
    int paletteSize = 0;
    bool alphaTable = false;
    const uint8_t* idat = nullptr; // the compressed stream, all IDAT chunks joined
    size_t idatSize = 0;
};

int Samples(int colourType)
{
    switch (colourType) {
    case 0: return 1;
    case 2: return 3;
    case 3: return 1;
    case 6: return 4;
    default: return 0;
    }
}

bool SupportedFormat(int colourType, int depth)
{
    if (colourType == 3)
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    return (colourType == 0 || colourType == 2 || colourType == 6) && depth == 8;
}

bool ReadHeader(const uint8_t* p, unsigned maxSide, PngImage* png)
{
    png->width = BigEndian32(p);
    png->height = BigEndian32(p + 4);
    png->depth = p[8];
    png->colourType = p[9];
    bool plain = p[10] == 0 && p[11] == 0 && p[12] == 0; // deflate, adaptive filters, not interlaced
    return plain && SizeFits(png->width, png->height, maxSide) && SupportedFormat(png->colourType, png->depth);
}

bool ReadPalette(const uint8_t* p, uint32_t length, PngImage* png)
{
    if (png->colourType != 3 || png->paletteSize != 0 || length == 0 || length % 3 != 0)
        return false;
    int n = static_cast<int>(length / 3);
    if (n > (1 << png->depth))
        return false;
    for (int i = 0; i < n; i++)
        png->palette[i] = p[3 * i] | p[3 * i + 1] << 8 | p[3 * i + 2] << 16 | 0xFF000000u;
    png->paletteSize = n;
    return true;
}

bool ReadAlphaTable(const uint8_t* p, uint32_t length, PngImage* png)
{
    if (png->colourType != 3 || png->paletteSize == 0 || png->alphaTable || length > static_cast<uint32_t>(png->paletteSize))
        return false;
    for (uint32_t i = 0; i < length; i++)
        png->palette[i] = (png->palette[i] & 0x00FFFFFFu) | static_cast<uint32_t>(p[i]) << 24;
    png->alphaTable = true;
    return true;
}

// Walks the chunks; false for anything unexpected. Joined IDAT data goes to joined.
bool ReadChunks(const uint8_t* data, size_t size, unsigned maxSide, PngImage* png, std::vector<uint8_t>& joined)
{
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || std::memcmp(data, kSignature, 8) != 0)
        return false;
    size_t pos = 8;
    bool header = false, idatDone = false;
    int idats = 0;
    joined.clear();
    for (;;) {
        if (size - pos < 12)
            return false;
        uint32_t length = BigEndian32(data + pos);
        if (length > 0x7FFFFFFFu || length > size - pos - 12)
            return false;
        const uint8_t* type = data + pos + 4;
        const uint8_t* body = data + pos + 8;
        if (libdeflate_crc32(0, type, length + 4) != BigEndian32(body + length))
            return false;
        pos += 12 + static_cast<size_t>(length);
        if (!header) {
            if (!TypeIs(type, "IHDR") || length != 13 || !ReadHeader(body, maxSide, png))
                return false;
            header = true;
            continue;
        }
        bool idat = TypeIs(type, "IDAT");
        if (idats > 0 && !idat)
            idatDone = true;
        if (idat) {
            if (idatDone)
                return false;
            if (idats++ == 0) {
                png->idat = body;
                png->idatSize = length;
            } else {
                if (idats == 2)
                    joined.assign(png->idat, png->idat + png->idatSize);
                joined.insert(joined.end(), body, body + length);
            }
        } else if (TypeIs(type, "IEND")) {
            break;
        } else if (TypeIs(type, "PLTE")) {
            if (idats > 0 || !ReadPalette(body, length, png))
                return false;
        } else if (TypeIs(type, "tRNS")) {
            if (idats > 0 || !ReadAlphaTable(body, length, png))
                return false;
        } else if (!IsMetadata(type)) {
            return false;
        }
    }
    if (idats == 0 || (png->colourType == 3 && png->paletteSize == 0))
        return false;
    if (idats > 1) {
        png->idat = joined.data();
        png->idatSize = joined.size();
    }
    return true;
}

// ---- PNG: filters ----

// Rows are read and written four bytes a pixel, also for three-byte
// pixels: every row buffer has slack after its end for the fourth byte.
constexpr size_t kRowSlack = 16;

inline __m128i LoadPixel(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v)), _mm_setzero_si128());
}

// Stores the low bytes of the lanes (modulo 256, as the filters count).
inline void StorePixel(uint8_t* p, __m128i lanes)
{
    lanes = _mm_and_si128(lanes, _mm_set1_epi16(0x00FF));
    uint32_t v = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes)));
    std::memcpy(p, &v, 4);
}

inline __m128i Abs16(__m128i x)
{
    return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x));
}

inline __m128i Select(__m128i mask, __m128i yes, __m128i no)
{
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// The Paeth predictor of one pixel's lanes: left a, up b, up-left c.
inline __m128i Paeth(__m128i a, __m128i b, __m128i c)
{
    __m128i pa = Abs16(_mm_sub_epi16(b, c));
    __m128i pb = Abs16(_mm_sub_epi16(a, c));
    __m128i pc = Abs16(_mm_add_epi16(_mm_sub_epi16(a, c), _mm_sub_epi16(b, c)));
    __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
    return Select(_mm_cmpeq_epi16(pa, smallest), a, Select(_mm_cmpeq_epi16(pb, smallest), b, c));
}

inline uint8_t PaethByte(int a, int b, int c)
{
    int p = a + b - c, pa = p > a ? p - a : a - p, pb = p > b ? p - b : b - p, pc = p > c ? p - c : c - p;
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Pixels of 3 or 4 bytes, one pixel's bytes in the lanes of a register; the
// left pixel stays in a register, so nothing just stored is read back.
template <int Bpp>
void UnfilterPixels(int filter, const uint8_t* raw, const uint8_t* prev, uint8_t* out, size_t n)
{
    const __m128i low = _mm_set1_epi16(0x00FF);
    __m128i left = _mm_setzero_si128(), upLeft = _mm_setzero_si128();
    for (size_t i = 0; i < n; i += Bpp) {
        __m128i x = LoadPixel(raw + i), up = LoadPixel(prev + i);
        if (filter == 1)
            x = _mm_add_epi16(x, left);
        else if (filter == 3)
            x = _mm_add_epi16(x, _mm_srli_epi16(_mm_add_epi16(left, up), 1));
        else
            x = _mm_add_epi16(x, Paeth(left, up, upLeft));
        x = _mm_and_si128(x, low);
        StorePixel(out + i, x);
        left = x;
        upLeft = up;
    }
}

void UnfilterBytes(int filter, const uint8_t* raw, const uint8_t* prev, uint8_t* out, size_t n, size_t bpp)
{
    for (size_t i = 0; i < n; i++) {
        int a = i >= bpp ? out[i - bpp] : 0, b = prev[i], c = i >= bpp ? prev[i - bpp] : 0;
        if (filter == 1)
            out[i] = static_cast<uint8_t>(raw[i] + a);
        else if (filter == 3)
            out[i] = static_cast<uint8_t>(raw[i] + ((a + b) >> 1));
        else
            out[i] = static_cast<uint8_t>(raw[i] + PaethByte(a, b, c));
    }
}

// Undoes a row's filter: out from the raw row and the row above it.
bool Unfilter(int filter, const uint8_t* raw, const uint8_t* prev, uint8_t* out, size_t n, size_t bpp)
{
    switch (filter) {
    case 0:
        std::memcpy(out, raw, n);
        return true;
    case 2:
        for (size_t i = 0; i < n; i += 16) { // the slack takes the last step's overhang
            __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + i));
            __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_add_epi8(r, p));
        }
        return true;
    case 1:
    case 3:
    case 4:
        if (bpp == 3)
            UnfilterPixels<3>(filter, raw, prev, out, n);
        else if (bpp == 4)
            UnfilterPixels<4>(filter, raw, prev, out, n);
        else
            UnfilterBytes(filter, raw, prev, out, n, bpp);
        return true;
    default:
        return false;
    }
}

// ---- PNG: texels ----

// One unfiltered row into texels; false when a palette index has no entry.
bool ConvertRow(const PngImage& png, const uint8_t* src, uint32_t* out)
{
    const unsigned w = png.width;
    switch (png.colourType) {
    case 0:
        for (unsigned x = 0; x < w; x++)
            out[x] = src[x] * 0x010101u | 0xFF000000u;
        return true;
    case 2:
        for (unsigned x = 0; x < w; x++, src += 3) {
            uint32_t v;
            std::memcpy(&v, src, 4); // the row's slack holds the last one's fourth byte
            out[x] = v | 0xFF000000u;
        }
        return true;
    case 6:
        std::memcpy(out, src, static_cast<size_t>(w) * 4); // R, G, B, A: the texel's bytes in order
        return true;
    default: {
        const int depth = png.depth, perByte = 8 / depth, mask = (1 << depth) - 1;
        for (unsigned x = 0; x < w; x++) {
            int shift = 8 - depth * (static_cast<int>(x % perByte) + 1);
            int index = (src[x / perByte] >> shift) & mask;
            if (index >= png.paletteSize)
                return false;
            out[x] = png.palette[index];
        }
        return true;
    }
    }
}

struct Inflater {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Inflater() { libdeflate_free_decompressor(d); }
};

bool DecodePng(const uint8_t* data, size_t size, unsigned maxSide, DecodedTexels* out)
{
    // Per thread: tile workers decode at once.
    static thread_local std::vector<uint8_t> joined, raw, rows;
    static thread_local Inflater inflater;
    PngImage png;
    if (!inflater.d || !ReadChunks(data, size, maxSide, &png, joined))
        return false;
    const size_t bits = static_cast<size_t>(png.depth) * Samples(png.colourType);
    const size_t rowBytes = (png.width * bits + 7) / 8, bpp = bits >= 8 ? bits / 8 : 1;
    const size_t stride = rowBytes + 1;
    raw.resize(stride * png.height + kRowSlack);
    if (libdeflate_zlib_decompress(inflater.d, png.idat, png.idatSize, raw.data(), stride * png.height, nullptr) !=
        LIBDEFLATE_SUCCESS)
        return false;
    TexelStore texels = AllocateTexels(static_cast<size_t>(png.width) * png.height);
    if (!texels)
        return false;
    // Two unfiltered rows in turn; the one above the first is all zero.
    const size_t rowSpace = rowBytes + kRowSlack;
    rows.assign(2 * rowSpace, 0);
    uint8_t* prev = rows.data();
    uint8_t* cur = rows.data() + rowSpace;
    for (unsigned y = 0; y < png.height; y++) {
        const uint8_t* line = raw.data() + y * stride;
        if (!Unfilter(line[0], line + 1, prev, cur, rowBytes, bpp) ||
            !ConvertRow(png, cur, texels.get() + static_cast<size_t>(y) * png.width))
            return false;
        std::swap(prev, cur);
    }
    out->texels = std::move(texels);
    out->width = png.width;
    out->height = png.height;
    out->opaque = png.colourType == 0 || png.colourType == 2 || (png.colourType == 3 && !png.alphaTable);
    return true;
}

// ---- JPEG ----

struct JpegErrors {
    jpeg_error_mgr pub;
    std::jmp_buf escape;
    bool warned = false;
};

[[noreturn]] void JpegFail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

// Warnings (a damaged stream the library reads on) are the library's to report.
void JpegMessage(j_common_ptr info, int level)
{
    if (level < 0)
        reinterpret_cast<JpegErrors*>(info->err)->warned = true;
}

void JpegQuiet(j_common_ptr) {}

bool IsJpeg(const uint8_t* data, size_t size)
{
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

// The decode itself, kept free of objects with destructors: a longjmp leaves it.
bool DecodeJpegInto(jpeg_decompress_struct* info, JpegErrors* errors, const uint8_t* data, size_t size,
                    unsigned maxSide, TexelStore* texels, unsigned* width, unsigned* height)
{
    if (setjmp(errors->escape))
        return false;
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK)
        return false;
    if (info->jpeg_color_space != JCS_GRAYSCALE && info->jpeg_color_space != JCS_YCbCr &&
        info->jpeg_color_space != JCS_RGB)
        return false; // CMYK and its kin
    if (!SizeFits(info->image_width, info->image_height, maxSide))
        return false;
    info->dct_method = JDCT_IFAST;
    info->do_fancy_upsampling = FALSE;
    info->out_color_space = JCS_EXT_RGBA;
    if (!jpeg_start_decompress(info) || info->output_width != info->image_width ||
        info->output_height != info->image_height || info->output_components != 4)
        return false;
    *texels = AllocateTexels(static_cast<size_t>(info->output_width) * info->output_height);
    if (!*texels)
        return false;
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(texels->get() + static_cast<size_t>(info->output_scanline) *
                                                                        info->output_width);
        if (jpeg_read_scanlines(info, &row, 1) != 1)
            return false;
    }
    jpeg_finish_decompress(info);
    *width = info->output_width;
    *height = info->output_height;
    return !errors->warned;
}

bool DecodeJpeg(const uint8_t* data, size_t size, unsigned maxSide, DecodedTexels* out)
{
    if (!IsJpeg(data, size) || size > 0x7FFFFFFFu)
        return false;
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = JpegFail;
    errors.pub.emit_message = JpegMessage;
    errors.pub.output_message = JpegQuiet;
    jpeg_create_decompress(&info);
    TexelStore texels;
    unsigned width = 0, height = 0;
    bool ok = DecodeJpegInto(&info, &errors, data, size, maxSide, &texels, &width, &height);
    jpeg_destroy_decompress(&info);
    if (!ok)
        return false;
    out->texels = std::move(texels);
    out->width = width;
    out->height = height;
    out->opaque = true;
    return true;
}

} // namespace

bool UnfilterPngRow(int filter, const uint8_t* raw, const uint8_t* prev, uint8_t* out, size_t n, size_t bpp)
{
    return Unfilter(filter, raw, prev, out, n, bpp);
}

bool DecodeTilePicture(const uint8_t* data, size_t size, unsigned maxSide, DecodedTexels* out)
{
    if (!data || !out)
        return false;
    return DecodePng(data, size, maxSide, out) || DecodeJpeg(data, size, maxSide, out);
}
