// The pixel work of the terrain techniques: elevation texels (the byte in
// green; elevation = byte x 118.08 - 1361.2 ft) coloured by their clearance
// below the aircraft, or shaded as relief.
//
// "altitude" is the aircraft's altitude + 1361.2 ft, so a texel's clearance
// is altitude - byte x 118.08. Colour bands by clearance, in feet:
//   above 1000          color1 (mode 2 leaves it uncoloured)
//   500 .. 1000         color2
//   -100 .. 500         color3
//   below -100          color4 (the terrain rises above the aircraft)
// 1000 and -100 are the green and red limits of the terrain profile, 500 the
// clearance below which the terrain-ahead alert sounds. With "warn" > 0 and a
// descent ("factor" < 0, feet per degree flown) the aircraft is taken lower
// by factor x distance at each texel, at most 1000 ft, so terrain ahead of a
// descent turns to the warning colours early. "zerolimit" 1 leaves terrain at
// or below sea level uncoloured. Modes 3 and above shade the relief (light
// from the north-west) instead of colouring bands. "blendfactor" is the
// opacity, "brightness" (0..255) dims the colours, the vertex colour tints.
// GUI thread, like every draw.
#include "platform/gpu/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <emmintrin.h>

namespace {

constexpr double kFeetPerStep = 118.08;
constexpr double kSeaLevelStep = 1361.2 / kFeetPerStep; // elevation 0 ft
constexpr double kSafeClearance = 1000.0;
constexpr double kCautionClearance = 500.0;
constexpr double kWarningClearance = -100.0;
constexpr double kMaxLookAheadDrop = 1000.0;
constexpr double kTexelFeet = 364800.0 / 1200.0; // one texel of a one-degree tile, north to south

// Source colour with constant alpha, premultiplied once so a pixel costs two
// multiplies per lane pair: dst' = src a + dst (1 - a), alpha' = a + dA (1 - a).
struct Paint {
    uint32_t word = 0; // 0xAABBGGRR, alpha 0: nothing drawn
    uint32_t rb = 0, ga = 0, ia = 0;

    static Paint Of(uint32_t word)
    {
        Paint p;
        p.word = word;
        uint32_t a = word >> 24;
        p.ia = 255 - a;
        p.rb = (word & 0x00FF00FFu) * a;
        p.ga = (((word >> 8) & 0xFFu) | 0x00FF0000u) * a;
        return p;
    }
};

inline uint32_t Div255Lanes(uint32_t x)
{
    x += 0x00800080u;
    return ((x + ((x >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

inline __attribute__((always_inline)) void Put(const Paint& p, uint32_t* dst, BlendMode blend)
{
    uint32_t a = p.word >> 24;
    if (a == 0)
        return;
    if (a == 255) {
        *dst = p.word;
    } else if (blend == BlendMode::Over) {
        uint32_t d = *dst;
        uint32_t rb = p.rb + (d & 0x00FF00FFu) * p.ia;
        uint32_t ga = p.ga + ((d >> 8) & 0x00FF00FFu) * p.ia;
        *dst = Div255Lanes(rb) | (Div255Lanes(ga) << 8);
    } else {
        *dst = BlendOverStraight(p.word, *dst);
    }
}

uint32_t ToByte(double v)
{
    if (!(v > 0.0))
        return 0;
    return v >= 255.0 ? 255u : static_cast<uint32_t>(v + 0.5);
}

// A colour of the terrain constants (r, g, b in 0..1), dimmed and tinted,
// with the given opacity (0..1).
uint32_t BandWord(const float* rgb, const TerrainConstants& t, uint32_t tint, double opacity)
{
    double dim = std::clamp(static_cast<double>(t.brightness), 0.0, 255.0) / 255.0;
    uint32_t out = 0;
    for (int k = 0; k < 3; k++) {
        double tk = ((tint >> (8 * k)) & 0xFF) / 255.0;
        out |= ToByte(static_cast<double>(rgb[k]) * 255.0 * dim * tk) << (8 * k);
    }
    return out | (ToByte(opacity * 255.0) << 24);
}

double Opacity(const TerrainConstants& t, uint32_t tint)
{
    double blend = std::isfinite(t.blendfactor) ? std::clamp(static_cast<double>(t.blendfactor), 0.0, 1.0) : 1.0;
    return blend * (tint >> 24) / 255.0;
}

// The four band paints and which bands stay uncoloured.
struct Bands {
    Paint paint[4];
    bool seaClear = false;

    void Make(const TerrainConstants& t, uint32_t tint)
    {
        double opacity = Opacity(t, tint);
        for (int k = 0; k < 4; k++)
            paint[k] = Paint::Of(BandWord(t.color[k], t, tint, opacity));
        if (t.mode == 2)
            paint[0] = Paint{};
        seaClear = t.zerolimit == 1;
    }

    const Paint& For(double clearance) const
    {
        static const Paint none;
        if (std::isnan(clearance))
            return none; // no altitude to compare with
        if (clearance > kSafeClearance)
            return paint[0];
        if (clearance > kCautionClearance)
            return paint[1];
        if (clearance >= kWarningClearance)
            return paint[2];
        return paint[3];
    }
};

// Texel lookup in 16.16 fixed point, clamped to the texture.
struct Sampler {
    const RasterTexture& tex;
    int64_t x, y, dx, dy;

    Sampler(const RasterTexture& texture, double u, double v, double du, double dv) : tex(texture)
    {
        x = Fixed(u);
        y = Fixed(v);
        dx = Fixed(du);
        dy = Fixed(dv);
    }

    static int64_t Fixed(double t)
    {
        if (std::isnan(t))
            return 0;
        return RoundToInt64(std::clamp(t, -1.0e7, 1.0e7) * 65536.0);
    }

    int Column() const { return static_cast<int>(std::clamp<int64_t>(x >> 16, 0, tex.width - 1)); }
    int Row() const { return static_cast<int>(std::clamp<int64_t>(y >> 16, 0, tex.height - 1)); }

    uint32_t Elevation(int col, int row) const
    {
        col = std::clamp(col, 0, tex.width - 1);
        row = std::clamp(row, 0, tex.height - 1);
        return (tex.texels[static_cast<size_t>(row) * tex.pitch + col] >> 8) & 0xFF;
    }

    uint32_t Next()
    {
        uint32_t e = Elevation(Column(), Row());
        x += dx;
        y += dy;
        return e;
    }
};

// A paint as Put blends it Over, in 16-bit lanes: per channel the colour
// times alpha (the alpha lane 255 times alpha) and the share left to the
// target, 255 - alpha. Alpha 0 and 255 come out of the same formula as
// Put's cases for them: the target as it was, and the colour.
struct alignas(16) LanePaint {
    uint16_t src[4];
    uint16_t keep[4];

    static LanePaint Of(const Paint& p)
    {
        const uint32_t a = p.word >> 24;
        LanePaint l;
        for (int k = 0; k < 3; k++)
            l.src[k] = static_cast<uint16_t>(((p.word >> (8 * k)) & 0xFF) * a);
        l.src[3] = static_cast<uint16_t>(255 * a);
        for (uint16_t& w : l.keep)
            w = static_cast<uint16_t>(255 - a);
        return l;
    }
};
static_assert(sizeof(LanePaint) == 16, "a lane paint is one register");

// The band paint of each elevation byte, while the constants stay the same.
struct BandTable {
    TerrainConstants key;
    uint32_t tint = 0;
    bool valid = false;
    Paint byByte[256];
    LanePaint lanes[256];

    const Paint* For(const TerrainConstants& t, uint32_t colour)
    {
        if (valid && tint == colour && std::memcmp(&key, &t, sizeof(t)) == 0)
            return byByte;
        Bands bands;
        bands.Make(t, colour);
        for (int b = 0; b < 256; b++) {
            bool sea = bands.seaClear && b <= kSeaLevelStep;
            byByte[b] = sea ? Paint{} : bands.For(t.altitude - b * kFeetPerStep);
            lanes[b] = LanePaint::Of(byByte[b]);
        }
        std::memcpy(&key, &t, sizeof(t));
        tint = colour;
        valid = true;
        return byByte;
    }
};

// One a thread: the bands of a draw shared among raster threads each read their own.
thread_local BandTable g_table;

template <BlendMode B>
void ShadeBandsInside(const Paint* table, const RasterTexture& tex, int64_t x, int64_t y, int64_t dx, int64_t dy,
                      uint32_t* dst, int n)
{
    const uint32_t* texels = tex.texels;
    const int64_t pitch = tex.pitch;
    for (int i = 0; i < n; i++, x += dx, y += dy)
        Put(table[(texels[(y >> 16) * pitch + (x >> 16)] >> 8) & 0xFF], dst + i, B);
}

// ShadeBandsInside for Over, four pixels a step: each pixel's paint in lanes
// (LanePaint) over its target word, rounded down by 255 as Div255Lanes does.
void ShadeBandsInsideOver(const Paint* table, const LanePaint* lanes, const RasterTexture& tex, int64_t x, int64_t y,
                          int64_t dx, int64_t dy, uint32_t* dst, int n)
{
    const uint32_t* texels = tex.texels;
    const int64_t pitch = tex.pitch;
    const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi16(128);
    auto paint = [&](int64_t px, int64_t py) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(&lanes[(texels[(py >> 16) * pitch + (px >> 16)] >> 8) & 0xFF]));
    };
    auto over = [&](__m128i p, __m128i q, __m128i d) {
        __m128i v = _mm_add_epi16(_mm_unpacklo_epi64(p, q), _mm_mullo_epi16(d, _mm_unpackhi_epi64(p, q)));
        v = _mm_add_epi16(v, half);
        return _mm_srli_epi16(_mm_add_epi16(v, _mm_srli_epi16(v, 8)), 8);
    };
    int i = 0;
    for (; i + 4 <= n; i += 4, x += 4 * dx, y += 4 * dy) {
        const __m128i p0 = paint(x, y), p1 = paint(x + dx, y + dy);
        const __m128i p2 = paint(x + 2 * dx, y + 2 * dy), p3 = paint(x + 3 * dx, y + 3 * dy);
        auto* out = reinterpret_cast<__m128i*>(dst + i);
        const __m128i d = _mm_loadu_si128(out);
        _mm_storeu_si128(out, _mm_packus_epi16(over(p0, p1, _mm_unpacklo_epi8(d, zero)),
                                               over(p2, p3, _mm_unpackhi_epi8(d, zero))));
    }
    for (; i < n; i++, x += dx, y += dy)
        Put(table[(texels[(y >> 16) * pitch + (x >> 16)] >> 8) & 0xFF], dst + i, BlendMode::Over);
}

void ShadeBands(const TerrainConstants& t, Sampler& s, uint32_t colour, uint32_t* dst, int n, BlendMode blend)
{
    const Paint* table = g_table.For(t, colour);
    const bool plain = RasterizingTexturedPixelByPixel();
    // The middle of the span reads its texels without clamping.
    int k0 = 0, k1 = n;
    StepsInside(s.x, s.dx, s.tex.width, n, &k0, &k1);
    StepsInside(s.y, s.dy, s.tex.height, n, &k0, &k1);
    if (k0 >= k1)
        k0 = k1 = n;
    int i = 0;
    for (; i < k0; i++)
        Put(table[s.Next()], dst + i, blend);
    if (blend == BlendMode::Over && !plain)
        ShadeBandsInsideOver(table, g_table.lanes, s.tex, s.x, s.y, s.dx, s.dy, dst + k0, k1 - k0);
    else if (blend == BlendMode::Over)
        ShadeBandsInside<BlendMode::Over>(table, s.tex, s.x, s.y, s.dx, s.dy, dst + k0, k1 - k0);
    else
        ShadeBandsInside<BlendMode::OverStraight>(table, s.tex, s.x, s.y, s.dx, s.dy, dst + k0, k1 - k0);
    s.x += (k1 - k0) * s.dx;
    s.y += (k1 - k0) * s.dy;
    for (i = k1; i < n; i++)
        Put(table[s.Next()], dst + i, blend);
}

// Bands with the aircraft lowered by its descent towards each texel.
void ShadeLookAhead(const TerrainConstants& t, Sampler& s, uint32_t colour, double u, double v, double du,
                    double dv, uint32_t* dst, int n, BlendMode blend)
{
    Bands bands;
    bands.Make(t, colour);
    const double w = s.tex.width, h = s.tex.height;
    const double cosb = std::isfinite(t.cosb) ? std::fabs(static_cast<double>(t.cosb)) : 1.0;
    const double east0 = t.uoff + u / w - t.uextern, south0 = t.voff + v / h - t.vextern;
    const double perDegree = -static_cast<double>(t.factor);
    for (int i = 0; i < n; i++) {
        uint32_t b = s.Next();
        if (bands.seaClear && b <= kSeaLevelStep)
            continue;
        double east = (east0 + i * du / w) * cosb, south = south0 + i * dv / h;
        double drop = std::min(perDegree * std::sqrt(east * east + south * south), kMaxLookAheadDrop);
        Put(bands.For(t.altitude - drop - b * kFeetPerStep), dst + i, blend);
    }
}

// Relief: the slope from the neighbouring texels against light from the
// north-west, 45 degrees up; shadows darken, lit slopes lighten, flat land
// stays clear.
void ShadeRelief(const TerrainConstants& t, Sampler& s, uint32_t colour, uint32_t* dst, int n, BlendMode blend)
{
    const double opacity = Opacity(t, colour);
    const double cosb = std::isfinite(t.cosb) ? std::max(std::fabs(static_cast<double>(t.cosb)), 0.05) : 1.0;
    const double flat = std::sqrt(0.5);
    const float black[3] = {0, 0, 0}, white[3] = {1, 1, 1};
    for (int i = 0; i < n; i++) {
        int col = s.Column(), row = s.Row();
        uint32_t b = s.Next();
        if (t.zerolimit == 1 && b <= kSeaLevelStep)
            continue;
        double sx = (static_cast<double>(s.Elevation(col + 1, row)) - s.Elevation(col - 1, row)) * kFeetPerStep /
                    (2 * kTexelFeet * cosb);
        double sy = (static_cast<double>(s.Elevation(col, row + 1)) - s.Elevation(col, row - 1)) * kFeetPerStep /
                    (2 * kTexelFeet);
        // Normal (-sx, -sy, 1) against the light (-1/2, -1/2, 1/sqrt 2), x east, y south.
        double light = (0.5 * sx + 0.5 * sy + flat) / std::sqrt(sx * sx + sy * sy + 1);
        double amount = light < flat ? (flat - light) / flat : (light - flat) / (1 - flat) * 0.5;
        if (amount < 1.0 / 255)
            continue;
        Put(Paint::Of(BandWord(light < flat ? black : white, t, 0xFFFFFFFFu, opacity * amount)), dst + i, blend);
    }
}

} // namespace

void ShadeTerrainSpan(const TerrainConstants& terrain, const RasterTexture& texture, uint32_t colour, double u,
                      double v, double du, double dv, uint32_t* dst, int n, BlendMode blend)
{
    if (n <= 0 || !texture.texels || texture.width <= 0 || texture.height <= 0)
        return;
    Sampler s(texture, u, v, du, dv);
    if (terrain.mode >= 3)
        ShadeRelief(terrain, s, colour, dst, n, blend);
    else if (terrain.warn > 0 && terrain.factor < 0)
        ShadeLookAhead(terrain, s, colour, u, v, du, dv, dst, n, blend);
    else
        ShadeBands(terrain, s, colour, dst, n, blend);
}
