// Triangle set-up, span walking and the pixel programs of the software
// renderer. Coverage: positions snap to 1/256 pixel; each edge's bound per row
// is stepped exactly with an integer quotient and remainder, so a row costs a
// few additions, and pixels on a shared edge belong to exactly one triangle
// (top-left rule). Attributes are planes in double precision, evaluated at
// pixel centres. Programs and blend modes are template parameters chosen once
// a draw, so the pixel loops make no indirect calls.
#include "platform/gpu/raster.h"
#include "platform/gpu/raster_bands.h"
#include "platform/tvl_assert.h"

#include <algorithm>
#include <cmath>

#include <cstring>
#include <vector>
#include <emmintrin.h>

namespace {

// Hot helpers are forced inline: the span loops must not call per pixel.
#define RASTER_INLINE inline __attribute__((always_inline))

constexpr int64_t kSub = 256;           // sub-pixel steps per pixel
constexpr float kGuard = 1048576.0f;    // |coordinate| beyond this is clipped first (keeps int64 exact)

// Rounds the two 16-bit lanes of x (each at most 65025) divided by 255.
RASTER_INLINE uint32_t Div255Lanes(uint32_t x)
{
    x += 0x00800080u;
    return ((x + ((x >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

RASTER_INLINE uint32_t Div255(uint32_t x)
{
    x += 128;
    return (x + (x >> 8)) >> 8;
}

RASTER_INLINE uint32_t OverInline(uint32_t s, uint32_t d)
{
    uint32_t a = s >> 24;
    if (a == 255)
        return s;
    if (a == 0)
        return d;
    uint32_t ia = 255 - a;
    uint32_t rb = (s & 0x00FF00FFu) * a + (d & 0x00FF00FFu) * ia;
    // The source alpha lane counts as 255 so the target alpha becomes a + dA (1 - a).
    uint32_t ga = (((s >> 8) & 0xFFu) | 0x00FF0000u) * a + ((d >> 8) & 0x00FF00FFu) * ia;
    return Div255Lanes(rb) | (Div255Lanes(ga) << 8);
}

// Over, but where the target is partly transparent its colour stays
// un-premultiplied, so an offscreen layer drawn back with Over looks as if
// its figures had been drawn straight onto the screen.
RASTER_INLINE uint32_t OverStraightInline(uint32_t s, uint32_t d)
{
    uint32_t a = s >> 24;
    uint32_t da = d >> 24;
    if (a == 255 || a == 0 || da == 255)
        return OverInline(s, d);
    uint32_t ia = 255 - a;
    uint32_t outA = a * 255 + da * ia; // alpha scaled by 255
    uint32_t wd = da * ia;
    uint32_t out = Div255(outA) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
        uint32_t c = (sc * a * 255 + dc * wd + outA / 2) / outA;
        out |= std::min<uint32_t>(c, 255) << shift;
    }
    return out;
}

// One colour of alpha 1 to 254 blended over spans as OverInline does each
// pixel: per 16-bit lane (s a + d (255 - a) + 128), rounded down by 255 as
// Div255, the source alpha lane counting as 255; four pixels a step.
struct OverSpan {
    __m128i add, mul;
    uint32_t colour;

    explicit OverSpan(uint32_t c = 0) : colour(c)
    {
        const uint32_t a = c >> 24;
        auto lane = [a](uint32_t channel) { return static_cast<short>(channel * a + 128); };
        add = _mm_setr_epi16(lane(c & 0xFF), lane((c >> 8) & 0xFF), lane((c >> 16) & 0xFF), lane(255), lane(c & 0xFF),
                             lane((c >> 8) & 0xFF), lane((c >> 16) & 0xFF), lane(255));
        mul = _mm_set1_epi16(static_cast<short>(255 - a));
    }

    RASTER_INLINE void Blend(uint32_t* dst, size_t n) const
    {
        const __m128i zero = _mm_setzero_si128();
        size_t i = 0;
        for (; i + 4 <= n; i += 4) {
            __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
            __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), mul), add);
            __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), mul), add);
            lo = _mm_srli_epi16(_mm_add_epi16(lo, _mm_srli_epi16(lo, 8)), 8);
            hi = _mm_srli_epi16(_mm_add_epi16(hi, _mm_srli_epi16(hi, 8)), 8);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(lo, hi));
        }
        for (; i < n; i++)
            dst[i] = OverInline(colour, dst[i]);
    }
};

template <BlendMode B>
RASTER_INLINE uint32_t Blend(uint32_t s, uint32_t d)
{
    if constexpr (B == BlendMode::Over)
        return OverInline(s, d);
    else
        return OverStraightInline(s, d);
}

// Each channel times the colour's, /255 rounded; the four in 16-bit lanes at
// once (a product plus 128 and its high byte stay below 65536).
RASTER_INLINE uint32_t Modulate(uint32_t t, uint32_t c)
{
    if (c == 0xFFFFFFFFu)
        return t;
    const __m128i zero = _mm_setzero_si128();
    __m128i tv = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(t)), zero);
    __m128i cv = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(c)), zero);
    __m128i x = _mm_add_epi16(_mm_mullo_epi16(tv, cv), _mm_set1_epi16(128));
    x = _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(x, x)));
}

// floor((p (256 - w) + q w) / 256) per channel.
RASTER_INLINE uint32_t Lerp(uint32_t p, uint32_t q, uint32_t w)
{
    uint32_t iw = 256 - w;
    uint32_t rb = (((p & 0x00FF00FFu) * iw + (q & 0x00FF00FFu) * w) >> 8) & 0x00FF00FFu;
    uint32_t ag = (((p >> 8) & 0x00FF00FFu) * iw + ((q >> 8) & 0x00FF00FFu) * w) & 0xFF00FF00u;
    return rb | ag;
}

// Bilinear sample of four texels: (x0, y0) (x1, y0) (x0, y1) (x1, y1),
// vertically first, then across; fx, fy in 1/256.
RASTER_INLINE uint32_t Bilinear(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, uint32_t fx, uint32_t fy)
{
    return Lerp(Lerp(c00, c01, fy), Lerp(c10, c11, fy), fx);
}

// The same arithmetic as Bilinear on two adjacent texels per row: the
// vertical steps of both columns with one multiply-add each, then across.
// (f << 16) | (256 - f): the two weights of a step, as pmaddwd takes them.
struct WeightTable {
    int32_t w[256];
    WeightTable()
    {
        for (int f = 0; f < 256; f++)
            w[f] = (f << 16) | (256 - f);
    }
};
const WeightTable kWeights;

RASTER_INLINE uint32_t BilinearPair(const uint32_t* row0, const uint32_t* row1, uint32_t fx, uint32_t fy)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i top = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row0));
    __m128i bottom = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row1));
    __m128i pairs = _mm_unpacklo_epi8(top, bottom); // each channel of a column next to the one below it
    __m128i wy = _mm_set1_epi32(kWeights.w[fy]);
    __m128i left = _mm_srli_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(pairs, zero), wy), 8);
    __m128i right = _mm_srli_epi32(_mm_madd_epi16(_mm_unpackhi_epi8(pairs, zero), wy), 8);
    __m128i wx = _mm_set1_epi32(kWeights.w[fx]);
    __m128i across = _mm_srli_epi32(_mm_madd_epi16(_mm_or_si128(left, _mm_slli_epi32(right, 16)), wx), 8);
    __m128i packed = _mm_packs_epi32(across, across);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(packed, packed)));
}

inline int64_t FloorDiv(int64_t n, int64_t d) // d > 0
{
    int64_t q = n / d;
    return (n % d != 0 && n < 0) ? q - 1 : q;
}

} // namespace

void StepsInside(int64_t t, int64_t dt, int last, int n, int* k0, int* k1)
{
    const int64_t lo = 0, hi = (static_cast<int64_t>(last) << 16) - 1; // t + k dt in [lo, hi]
    int64_t first = 0, end = n;
    if (dt == 0) {
        if (t < lo || t > hi)
            end = 0;
    } else if (dt > 0) {
        first = -FloorDiv(-(lo - t), dt);
        end = FloorDiv(hi - t, dt) + 1;
    } else {
        first = -FloorDiv(-(t - hi), -dt);
        end = FloorDiv(t - lo, -dt) + 1;
    }
    *k0 = static_cast<int>(std::clamp<int64_t>(std::max<int64_t>(first, *k0), 0, n));
    *k1 = static_cast<int>(std::clamp<int64_t>(std::min<int64_t>(end, *k1), 0, n));
}

namespace {

// Bilinear samples of n pixels one texel apart along one pair of texel rows
// (a map tile drawn at its own size): the fractions are the same for every
// pixel, so four pixels go at a time, with the arithmetic of BilinearPair
// (each product and sum stays below 65536, so 16-bit lanes hold it exactly).
// Every tap inside the texture.
void CopyBilinearOneToOne(uint32_t* dst, int n, const uint32_t* top, const uint32_t* bottom, uint32_t fx,
                          uint32_t fy)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i up = _mm_set1_epi16(static_cast<short>(256 - fy)), down = _mm_set1_epi16(static_cast<short>(fy));
    const __m128i left = _mm_set1_epi16(static_cast<short>(256 - fx)), right = _mm_set1_epi16(static_cast<short>(fx));
    auto vertical = [&](const uint32_t* t, const uint32_t* b, __m128i* lo, __m128i* hi) {
        __m128i tv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t));
        __m128i bv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
        *lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(tv, zero), up),
                                           _mm_mullo_epi16(_mm_unpacklo_epi8(bv, zero), down)), 8);
        *hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(tv, zero), up),
                                           _mm_mullo_epi16(_mm_unpackhi_epi8(bv, zero), down)), 8);
    };
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        __m128i l0, l1, r0, r1;
        vertical(top + k, bottom + k, &l0, &l1);
        vertical(top + k + 1, bottom + k + 1, &r0, &r1);
        __m128i a = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(l0, left), _mm_mullo_epi16(r0, right)), 8);
        __m128i b = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(l1, left), _mm_mullo_epi16(r1, right)), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), _mm_packus_epi16(a, b));
    }
    for (; k < n; k++)
        dst[k] = BilinearPair(top + k, bottom + k, fx, fy);
}

// {256 - f x 4, f x 4}: the weights of a step across, as 16-bit lanes.
struct AcrossTable {
    alignas(16) uint16_t w[256][8];
    AcrossTable()
    {
        for (int f = 0; f < 256; f++)
            for (int k = 0; k < 4; k++) {
                w[f][k] = static_cast<uint16_t>(256 - f);
                w[f][k + 4] = static_cast<uint16_t>(f);
            }
    }
};
const AcrossTable kAcross;

// Bilinear samples of n pixels stepping through the texture, every pair of
// taps inside it: no clamping, and only locals in the loop.
void CopyBilinear(uint32_t* dst, int n, int64_t tx, int64_t ty, int64_t dtx, int64_t dty, const uint32_t* texels,
                  int64_t pitch)
{
    for (int k = 0; k < n; k++, tx += dtx, ty += dty) {
        const uint32_t* a = texels + (ty >> 16) * pitch + (tx >> 16);
        dst[k] = BilinearPair(a, a + pitch, static_cast<uint32_t>(tx >> 8) & 0xFF, static_cast<uint32_t>(ty >> 8) & 0xFF);
    }
}

// Columns one call of CopyBilinearAlongRows lerps down: a run of solid
// texels is never longer.
constexpr int kRowColumns = kAlphaRunMax + 1;

// Bilinear samples of n pixels along one pair of texel rows (dtx >= 0), every
// tap inside the texture and at most kRowColumns columns used: each column is
// lerped down once, then each pixel across; the steps of BilinearPair.
void CopyBilinearAlongRows(uint32_t* dst, int n, int64_t tx, int64_t dtx, const uint32_t* top,
                           const uint32_t* bottom, uint32_t fy)
{
    const int64_t first = tx >> 16, last = ((tx + (n - 1) * dtx) >> 16) + 1;
    alignas(16) uint16_t down[(kRowColumns + 1) * 4];
    const __m128i zero = _mm_setzero_si128();
    const __m128i upper = _mm_set1_epi16(static_cast<short>(256 - fy)), lower = _mm_set1_epi16(static_cast<short>(fy));
    int64_t c = first;
    for (; c + 1 <= last; c += 2) {
        __m128i t = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + c)), zero);
        __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bottom + c)), zero);
        __m128i v = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(t, upper), _mm_mullo_epi16(b, lower)), 8);
        _mm_store_si128(reinterpret_cast<__m128i*>(down + (c - first) * 4), v);
    }
    if (c == last) {
        __m128i t = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(top[c])), zero);
        __m128i b = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(bottom[c])), zero);
        __m128i v = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(t, upper), _mm_mullo_epi16(b, lower)), 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(down + (c - first) * 4), v);
    }
    for (int k = 0; k < n; k++, tx += dtx) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(down + ((tx >> 16) - first) * 4));
        __m128i w = _mm_load_si128(reinterpret_cast<const __m128i*>(kAcross.w[(tx >> 8) & 0xFF]));
        __m128i p = _mm_mullo_epi16(v, w);
        __m128i across = _mm_srli_epi16(_mm_add_epi16(p, _mm_srli_si128(p, 8)), 8);
        dst[k] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(across, across)));
    }
}

// value(px, py) = a0 + dx px + dy py over pixel coordinates.
struct Plane {
    double a0 = 0, dx = 0, dy = 0;
    double At(double px, double py) const { return a0 + dx * px + dy * py; }
};

struct TriangleGeometry {
    double xa, ya, xb, yb, xc, yc, area;
};

Plane MakePlane(const TriangleGeometry& g, double va, double vb, double vc)
{
    Plane p;
    p.dx = ((vb - va) * (g.yc - g.ya) - (vc - va) * (g.yb - g.ya)) / g.area;
    p.dy = ((vc - va) * (g.xb - g.xa) - (vb - va) * (g.xc - g.xa)) / g.area;
    p.a0 = va - p.dx * g.xa - p.dy * g.ya;
    return p;
}

inline double Channel(uint32_t c, int shift)
{
    return static_cast<double>((c >> shift) & 0xFF);
}

inline uint32_t ToByte(double v)
{
    if (!(v > 0.0))
        return 0;
    if (v >= 255.0)
        return 255;
    return static_cast<uint32_t>(v + 0.5);
}

// Vertex colour, either one colour for the whole triangle or four planes.
template <bool Flat>
struct ColourInput {
    uint32_t flat = 0;
    Plane ch[4];

    void Setup(const TriangleGeometry& g, const RasterVertex& a, const RasterVertex& b, const RasterVertex& c)
    {
        flat = a.colour;
        if constexpr (!Flat)
            for (int k = 0; k < 4; k++)
                ch[k] = MakePlane(g, Channel(a.colour, 8 * k), Channel(b.colour, 8 * k), Channel(c.colour, 8 * k));
    }

    // Colours from pixel x0 on: the start values and steps of the four channels.
    struct Walker {
        double v[4], d[4];
        uint32_t flat;
        uint32_t Next()
        {
            if constexpr (Flat)
                return flat;
            uint32_t out = 0;
            for (int k = 0; k < 4; k++) {
                out |= ToByte(v[k]) << (8 * k);
                v[k] += d[k];
            }
            return out;
        }
    };

    Walker Start(double px, double py) const
    {
        Walker w{};
        w.flat = flat;
        if constexpr (!Flat)
            for (int k = 0; k < 4; k++) {
                w.v[k] = ch[k].At(px, py);
                w.d[k] = ch[k].dx;
            }
        return w;
    }
};

template <bool Flat, BlendMode B>
struct ColourShader {
    ColourInput<Flat> colour;
    OverSpan over; // of the flat colour

    void Setup(const TriangleGeometry& g, const RasterVertex& a, const RasterVertex& b, const RasterVertex& c)
    {
        colour.Setup(g, a, b, c);
        if constexpr (Flat && B == BlendMode::Over)
            if (over.colour != colour.flat)
                over = OverSpan(colour.flat);
    }

    void Span(uint32_t* row, int x0, int x1, double py)
    {
        if constexpr (Flat) {
            uint32_t c = colour.flat;
            uint32_t alpha = c >> 24;
            if (alpha == 255) {
                FillWords(row + x0, static_cast<size_t>(x1 - x0), c);
            } else if (alpha != 0) {
                if constexpr (B == BlendMode::Over)
                    over.Blend(row + x0, static_cast<size_t>(x1 - x0));
                else
                    for (int x = x0; x < x1; x++)
                        row[x] = Blend<B>(c, row[x]);
            }
        } else {
            auto w = colour.Start(x0 + 0.5, py);
            for (int x = x0; x < x1; x++)
                row[x] = Blend<B>(w.Next(), row[x]);
        }
    }
};

template <bool Flat, BlendMode B>
struct DashedShader {
    ColourInput<Flat> colour;
    Plane distance; // u times the segment's length: pixels along the segment
    float on = 8, period = 14;

    void Setup(const TriangleGeometry& g, const RasterVertex& a, const RasterVertex& b, const RasterVertex& c)
    {
        colour.Setup(g, a, b, c);
        distance = MakePlane(g, static_cast<double>(a.u) * a.lineLength, static_cast<double>(b.u) * b.lineLength,
                             static_cast<double>(c.u) * c.lineLength);
    }

    void Span(uint32_t* row, int x0, int x1, double py)
    {
        auto w = colour.Start(x0 + 0.5, py);
        double d = distance.At(x0 + 0.5, py);
        const double inverse = 1.0 / period;
        for (int x = x0; x < x1; x++, d += distance.dx) {
            uint32_t c = w.Next();
            if (!(std::fabs(d) < 1e15)) // NaN or absurd: no dash to place
                continue;
            double q = d * inverse;
            double whole = static_cast<double>(static_cast<int64_t>(q));
            if (whole > q)
                whole -= 1.0;
            if (d - whole * period < on)
                row[x] = Blend<B>(c, row[x]);
        }
    }
};

template <bool Flat, BlendMode B, SamplerMode S>
struct TexturedShader {
    ColourInput<Flat> colour;
    RasterTexture tex;
    Plane u, v;

    void Setup(const TriangleGeometry& g, const RasterVertex& a, const RasterVertex& b, const RasterVertex& c)
    {
        colour.Setup(g, a, b, c);
        u = MakePlane(g, a.u, b.u, c.u);
        v = MakePlane(g, a.v, b.v, c.v);
    }

    RASTER_INLINE uint32_t Fetch(int64_t tx, int64_t ty) const
    {
        int x = static_cast<int>(std::clamp<int64_t>(tx, 0, tex.width - 1));
        int y = static_cast<int>(std::clamp<int64_t>(ty, 0, tex.height - 1));
        return tex.texels[static_cast<size_t>(y) * tex.pitch + x];
    }

    RASTER_INLINE uint32_t Sample(int64_t tx, int64_t ty) const
    {
        if constexpr (S == SamplerMode::Point) {
            return Fetch(tx >> 16, ty >> 16);
        } else {
            int64_t x0 = tx >> 16, y0 = ty >> 16;
            uint32_t fx = static_cast<uint32_t>(tx >> 8) & 0xFF, fy = static_cast<uint32_t>(ty >> 8) & 0xFF;
            if (static_cast<uint64_t>(x0) < static_cast<uint64_t>(tex.width - 1) &&
                static_cast<uint64_t>(y0) < static_cast<uint64_t>(tex.height - 1)) {
                const uint32_t* r0 = tex.texels + static_cast<size_t>(y0) * tex.pitch + x0;
                return BilinearPair(r0, r0 + tex.pitch, fx, fy);
            }
            return Bilinear(Fetch(x0, y0), Fetch(x0 + 1, y0), Fetch(x0, y0 + 1), Fetch(x0 + 1, y0 + 1), fx, fy);
        }
    }

    // The texels' alpha class where pixels from tx on sample between the two
    // columns at the start of a run shared by both rows, and how many of the
    // next pixels (at most left) keep their taps inside that run; kAlphaMixed
    // and one pixel when the taps straddle a change or leave the texture.
    RASTER_INLINE uint8_t ClassifyTaps(const uint8_t* runs0, const uint8_t* runs1, int64_t tx, int64_t dtx, int left,
                                       int* count) const
    {
        *count = 1;
        int64_t ix = tx >> 16;
        if (static_cast<uint64_t>(ix) >= static_cast<uint64_t>(tex.width - 1))
            return kAlphaMixed;
        uint8_t a = runs0[ix], b = runs1[ix];
        int run = std::min(a & kAlphaRunMax, b & kAlphaRunMax);
        if ((a >> 6) != (b >> 6) || run < 2)
            return kAlphaMixed;
        if (dtx == 0)
            *count = left;
        else if (dtx > 0) // pixels whose first tap stays left of the run's last texel
            *count = static_cast<int>(std::min<int64_t>(left, (((ix + run - 1) << 16) - tx + dtx - 1) / dtx));
        return static_cast<uint8_t>(a >> 6);
    }

    // A span along one pair of texel rows of a texture with alpha runs: clear
    // stretches are left as they are and solid ones written without reading
    // the target, each pixel as the general loop would make it.
    void SpanAlongRows(uint32_t* row, int x0, int x1, int64_t tx, int64_t ty, int64_t dtx)
    {
        const int64_t iy = ty >> 16;
        const uint32_t fy = static_cast<uint32_t>(ty >> 8) & 0xFF;
        const uint8_t* runs0 = tex.alphaRuns + iy * tex.width;
        const uint8_t* runs1 = runs0 + tex.width;
        const uint32_t* texels0 = tex.texels + iy * tex.pitch;
        const int64_t pitch = tex.pitch;
        const uint32_t c = colour.flat;
        const bool solidColour = (c >> 24) == 255;
        for (int x = x0; x < x1;) {
            int n = 1;
            uint8_t kind = ClassifyTaps(runs0, runs1, tx, dtx, x1 - x, &n);
            if (kind == kAlphaClear) {
                // Every tap has alpha 0: so has the sample, and blending it changes nothing.
            } else if (kind == kAlphaSolid && c == 0xFFFFFFFFu && dtx >= 0 &&
                       ((tx + (n - 1) * dtx) >> 16) - (tx >> 16) < kRowColumns) {
                CopyBilinearAlongRows(row + x, n, tx, dtx, texels0, texels0 + pitch, fy);
            } else if (kind == kAlphaSolid && solidColour) {
                int64_t t = tx;
                for (int k = 0; k < n; k++, t += dtx) {
                    const uint32_t* r0 = texels0 + (t >> 16);
                    row[x + k] = Modulate(BilinearPair(r0, r0 + pitch, static_cast<uint32_t>(t >> 8) & 0xFF, fy), c);
                }
            } else {
                int64_t t = tx;
                for (int k = 0; k < n; k++, t += dtx)
                    row[x + k] = Blend<B>(Modulate(Sample(t, ty), c), row[x + k]);
            }
            x += n;
            tx += n * dtx;
        }
    }

    static int64_t ToFixed(double texels)
    {
        // Coordinates far outside the texture sample its edge anyway.
        return RoundToInt64(std::clamp(texels, -1.0e6, 1.0e6) * 65536.0);
    }

    void Span(uint32_t* row, int x0, int x1, double py)
    {
        double px = x0 + 0.5;
        double shift = S == SamplerMode::Linear ? 0.5 : 0.0; // bilinear taps around texel centres
        int64_t tx = ToFixed(u.At(px, py) * tex.width - shift);
        int64_t ty = ToFixed(v.At(px, py) * tex.height - shift);
        int64_t dtx = ToFixed(u.dx * tex.width), dty = ToFixed(v.dx * tex.height);
        auto w = colour.Start(px, py);
        bool copy = tex.opaque && Flat && colour.flat == 0xFFFFFFFFu;
        if (copy) {
            if constexpr (S == SamplerMode::Linear) {
                int n = x1 - x0, k0 = 0, k1 = n;
                // The first tap below the last column and row: both taps inside.
                StepsInside(tx, dtx, tex.width - 1, n, &k0, &k1);
                StepsInside(ty, dty, tex.height - 1, n, &k0, &k1);
                if (k0 >= k1)
                    k0 = k1 = n;
                int64_t t = tx, s = ty;
                for (int k = 0; k < k0; k++, t += dtx, s += dty)
                    row[x0 + k] = Sample(t, s);
                if (dty == 0 && dtx == 65536 && k1 > k0) {
                    const int64_t t0 = tx + k0 * dtx;
                    const uint32_t* top = tex.texels + (ty >> 16) * tex.pitch + (t0 >> 16);
                    CopyBilinearOneToOne(row + x0 + k0, k1 - k0, top, top + tex.pitch,
                                         static_cast<uint32_t>(t0 >> 8) & 0xFF, static_cast<uint32_t>(ty >> 8) & 0xFF);
                } else {
                    CopyBilinear(row + x0 + k0, k1 - k0, tx + k0 * dtx, ty + k0 * dty, dtx, dty, tex.texels,
                                 tex.pitch);
                }
                t = tx + k1 * dtx, s = ty + k1 * dty;
                for (int k = k1; k < n; k++, t += dtx, s += dty)
                    row[x0 + k] = Sample(t, s);
            } else {
                for (int x = x0; x < x1; x++, tx += dtx, ty += dty)
                    row[x] = Sample(tx, ty);
            }
            return;
        }
        if constexpr (S == SamplerMode::Linear && Flat) {
            if (tex.alphaRuns && dty == 0 && static_cast<uint64_t>(ty >> 16) < static_cast<uint64_t>(tex.height - 1)) {
                SpanAlongRows(row, x0, x1, tx, ty, dtx);
                return;
            }
        }
        for (int x = x0; x < x1; x++, tx += dtx, ty += dty)
            row[x] = Blend<B>(Modulate(Sample(tx, ty), w.Next()), row[x]);
    }
};

template <BlendMode B>
struct TerrainShader {
    const TerrainConstants* constants = nullptr;
    RasterTexture tex;
    Plane u, v;
    uint32_t colour = 0;

    void Setup(const TriangleGeometry& g, const RasterVertex& a, const RasterVertex& b, const RasterVertex& c)
    {
        colour = a.colour;
        u = MakePlane(g, a.u, b.u, c.u);
        v = MakePlane(g, a.v, b.v, c.v);
    }

    void Span(uint32_t* row, int x0, int x1, double py)
    {
        double px = x0 + 0.5;
        ShadeTerrainSpan(*constants, tex, colour, u.At(px, py) * tex.width, v.At(px, py) * tex.height,
                         u.dx * tex.width, v.dx * tex.height, row + x0, x1 - x0, B);
    }
};

// One edge's bound on the pixel column, per row: floor((C - t) / D) with C
// growing by S each row, kept as quotient and remainder.
struct EdgeStepper {
    int64_t q, r, d, qs, rs;

    void Init(int64_t n, int64_t s, int64_t div)
    {
        d = div;
        q = FloorDiv(n, d);
        r = n - q * d;
        qs = FloorDiv(s, d);
        rs = s - qs * d;
    }

    RASTER_INLINE void Step()
    {
        q += qs;
        r += rs;
        if (r >= d) {
            r -= d;
            q++;
        }
    }
};

struct Edge {
    int64_t dx, dy;
    int64_t c; // the edge function at the current row, at pixel column 0
    int t;     // 0 on a top or left edge, else 1: E >= t covers
    EdgeStepper step;
};

void SetupEdge(Edge& e, int64_t xi, int64_t yi, int64_t xj, int64_t yj, int64_t row)
{
    e.dx = xj - xi;
    e.dy = yj - yi;
    bool topLeft = (e.dy == 0 && e.dx > 0) || e.dy < 0;
    e.t = topLeft ? 0 : 1;
    int64_t py = row * kSub + kSub / 2;
    e.c = e.dx * (py - yi) - e.dy * (kSub / 2 - xi);
    if (e.dy != 0)
        e.step.Init(e.c - e.t, kSub * e.dx, kSub * (e.dy < 0 ? -e.dy : e.dy));
}

RASTER_INLINE bool NarrowSpan(const Edge& e, int64_t& lo, int64_t& hi)
{
    if (e.dy > 0)
        hi = std::min(hi, e.step.q);
    else if (e.dy < 0)
        lo = std::max(lo, -e.step.q);
    else if (e.c < e.t)
        return false;
    return true;
}

RASTER_INLINE void StepEdge(Edge& e)
{
    if (e.dy != 0)
        e.step.Step();
    else
        e.c += kSub * e.dx;
}

inline bool Finite(const RasterVertex& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y);
}

inline bool InsideGuard(const RasterVertex& v)
{
    return std::fabs(v.x) <= kGuard && std::fabs(v.y) <= kGuard;
}

template <class Shader>
void DrawTriangle(const RasterJob& job, Shader& shader, const RasterVertex& a, const RasterVertex& b,
                  const RasterVertex& c);

RasterVertex Mix(const RasterVertex& p, const RasterVertex& q, float t)
{
    RasterVertex r;
    r.x = p.x + (q.x - p.x) * t;
    r.y = p.y + (q.y - p.y) * t;
    r.u = p.u + (q.u - p.u) * t;
    r.v = p.v + (q.v - p.v) * t;
    r.lineLength = p.lineLength + (q.lineLength - p.lineLength) * t;
    r.colour = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        float cp = static_cast<float>((p.colour >> shift) & 0xFF), cq = static_cast<float>((q.colour >> shift) & 0xFF);
        r.colour |= static_cast<uint32_t>(std::lround(cp + (cq - cp) * t)) << shift;
    }
    return r;
}

// Cuts a triangle with far-away corners to the guard square, then draws the
// pieces; rare (long lines leaving the screen), so kept simple.
template <class Shader>
void DrawClipped(const RasterJob& job, Shader& shader, const RasterVertex& a, const RasterVertex& b,
                 const RasterVertex& c)
{
    RasterVertex poly[2][9];
    int n = 3;
    poly[0][0] = a;
    poly[0][1] = b;
    poly[0][2] = c;
    int cur = 0;
    for (int plane = 0; plane < 4 && n > 0; plane++) {
        auto dist = [plane](const RasterVertex& v) {
            float coord = plane < 2 ? v.x : v.y;
            return (plane % 2 == 0) ? coord + kGuard : kGuard - coord; // >= 0 inside
        };
        int m = 0;
        for (int i = 0; i < n; i++) {
            const RasterVertex& p = poly[cur][i];
            const RasterVertex& q = poly[cur][(i + 1) % n];
            float dp = dist(p), dq = dist(q);
            if (dp >= 0)
                poly[1 - cur][m++] = p;
            if ((dp >= 0) != (dq >= 0)) {
                RasterVertex r = Mix(p, q, dp / (dp - dq));
                float edge = (plane % 2 == 0) ? -kGuard : kGuard;
                (plane < 2 ? r.x : r.y) = edge;
                poly[1 - cur][m++] = r;
            }
        }
        n = m;
        cur = 1 - cur;
    }
    for (int i = 1; i + 1 < n; i++)
        DrawTriangle(job, shader, poly[cur][0], poly[cur][i], poly[cur][i + 1]);
}

template <class Shader>
void DrawTriangle(const RasterJob& job, Shader& shader, const RasterVertex& a0, const RasterVertex& b0,
                  const RasterVertex& c0)
{
    if (!Finite(a0) || !Finite(b0) || !Finite(c0))
        return;
    if (!InsideGuard(a0) || !InsideGuard(b0) || !InsideGuard(c0)) {
        DrawClipped(job, shader, a0, b0, c0);
        return;
    }
    int64_t xa = std::llrint(a0.x * kSub), ya = std::llrint(a0.y * kSub);
    int64_t xb = std::llrint(b0.x * kSub), yb = std::llrint(b0.y * kSub);
    int64_t xc = std::llrint(c0.x * kSub), yc = std::llrint(c0.y * kSub);
    int64_t area = (xb - xa) * (yc - ya) - (xc - xa) * (yb - ya);
    if (area == 0)
        return;
    // y points down, so a positive area is a clockwise turn on screen.
    if ((area > 0 && job.cull == CullFace::Clockwise) || (area < 0 && job.cull == CullFace::CounterClockwise))
        return;
    const RasterVertex* pa = &a0;
    const RasterVertex* pb = &b0;
    const RasterVertex* pc = &c0;
    if (area < 0) {
        std::swap(pb, pc);
        std::swap(xb, xc);
        std::swap(yb, yc);
        area = -area;
    }

    int64_t minY = std::min({ya, yb, yc}), maxY = std::max({ya, yb, yc});
    int64_t minX = std::min({xa, xb, xc}), maxX = std::max({xa, xb, xc});
    // Rows and columns whose pixel centres (k + 1/2) can lie inside.
    int64_t row0 = std::max<int64_t>(-FloorDiv(-(minY - kSub / 2), kSub), job.clipY0);
    int64_t row1 = std::min<int64_t>(FloorDiv(maxY - kSub / 2, kSub), job.clipY1 - 1);
    int64_t colMin = std::max<int64_t>(-FloorDiv(-(minX - kSub / 2), kSub), job.clipX0);
    int64_t colMax = std::min<int64_t>(FloorDiv(maxX - kSub / 2, kSub), job.clipX1 - 1);
    if (row0 > row1 || colMin > colMax)
        return;

    TriangleGeometry g{xa / 256.0, ya / 256.0, xb / 256.0, yb / 256.0, xc / 256.0, yc / 256.0,
                       static_cast<double>(area) / 65536.0};
    shader.Setup(g, *pa, *pb, *pc);

    Edge edges[3];
    SetupEdge(edges[0], xa, ya, xb, yb, row0);
    SetupEdge(edges[1], xb, yb, xc, yc, row0);
    SetupEdge(edges[2], xc, yc, xa, ya, row0);

    uint32_t* row = job.target.pixels + static_cast<size_t>(row0) * job.target.pitch;
    for (int64_t j = row0; j <= row1; j++, row += job.target.pitch) {
        int64_t lo = colMin, hi = colMax;
        bool inside = NarrowSpan(edges[0], lo, hi) && NarrowSpan(edges[1], lo, hi) && NarrowSpan(edges[2], lo, hi);
        if (inside && lo <= hi)
            shader.Span(row, static_cast<int>(lo), static_cast<int>(hi + 1), j + 0.5);
        StepEdge(edges[0]);
        StepEdge(edges[1]);
        StepEdge(edges[2]);
    }
}

enum class Assembly { List, Strip };

// The rows each triangle can touch, [rows[2i], rows[2i + 1]), and the rows a
// band draws: a band passes over the triangles that lie wholly outside it.
struct RowFilter {
    const int32_t* rows = nullptr; // null: every triangle is drawn
    int y0 = 0, y1 = 0;

    bool Skips(int triangle) const
    {
        return rows && (rows[2 * triangle + 1] <= y0 || rows[2 * triangle] >= y1);
    }
};

template <class Shader>
void DrawAll(const RasterJob& job, Shader& shader, const RasterVertex* v, int count, Assembly assembly,
             const RowFilter& filter)
{
    if (assembly == Assembly::List) {
        for (int i = 0; i + 2 < count; i += 3)
            if (!filter.Skips(i / 3))
                DrawTriangle(job, shader, v[i], v[i + 1], v[i + 2]);
        return;
    }
    for (int i = 0; i + 2 < count; i++) {
        if (filter.Skips(i))
            continue;
        if (i % 2 == 0)
            DrawTriangle(job, shader, v[i], v[i + 1], v[i + 2]);
        else
            DrawTriangle(job, shader, v[i + 1], v[i], v[i + 2]);
    }
}

bool FlatColour(const RasterVertex* v, int count)
{
    for (int i = 1; i < count; i++)
        if (v[i].colour != v[0].colour)
            return false;
    return true;
}

template <BlendMode B, bool Flat>
void DispatchProgram(const RasterJob& job, const RasterVertex* v, int count, Assembly assembly, const RowFilter& filter)
{
    switch (job.pass.program) {
    case PixelProgram::Colour: {
        ColourShader<Flat, B> shader;
        DrawAll(job, shader, v, count, assembly, filter);
        break;
    }
    case PixelProgram::Dashed: {
        DashedShader<Flat, B> shader;
        shader.on = job.pass.dashOn;
        shader.period = job.pass.dashOn + job.pass.dashOff;
        if (!(shader.period > 0)) // no pattern: draw solid
            shader.on = shader.period = 1;
        DrawAll(job, shader, v, count, assembly, filter);
        break;
    }
    case PixelProgram::Textured: {
        if (!job.texture.texels || job.texture.width <= 0 || job.texture.height <= 0)
            return; // an unbound texture samples as nothing
        if (job.pass.sampler == SamplerMode::Point) {
            TexturedShader<Flat, B, SamplerMode::Point> shader;
            shader.tex = job.texture;
            DrawAll(job, shader, v, count, assembly, filter);
        } else {
            TexturedShader<Flat, B, SamplerMode::Linear> shader;
            shader.tex = job.texture;
            DrawAll(job, shader, v, count, assembly, filter);
        }
        break;
    }
    case PixelProgram::Terrain: {
        if (!job.texture.texels || job.texture.width <= 0 || job.texture.height <= 0 || !job.terrain)
            return;
        TerrainShader<B> shader;
        shader.constants = job.terrain;
        shader.tex = job.texture;
        DrawAll(job, shader, v, count, assembly, filter);
        break;
    }
    }
}

void RasterizeRows(const RasterJob& job, const RasterVertex* v, int count, Assembly assembly, bool flat,
                   const RowFilter& filter = {})
{
    if (job.pass.blend == BlendMode::Over) {
        if (flat)
            DispatchProgram<BlendMode::Over, true>(job, v, count, assembly, filter);
        else
            DispatchProgram<BlendMode::Over, false>(job, v, count, assembly, filter);
    } else {
        if (flat)
            DispatchProgram<BlendMode::OverStraight, true>(job, v, count, assembly, filter);
        else
            DispatchProgram<BlendMode::OverStraight, false>(job, v, count, assembly, filter);
    }
}

// About the pixels a draw covers inside the clip rectangle (each triangle's
// area, at most its clipped bounding box) and the rows that can hold them.
struct DrawExtent {
    double pixels = 0;
    int row0 = 0, row1 = 0; // [row0, row1)
};

// Also notes each triangle's rows in rows (two words a triangle; an empty
// range for one that draws nothing): the range holds every row whose pixel
// centres the snapped triangle can cover.
DrawExtent MeasureDraw(const RasterJob& job, const RasterVertex* v, int count, Assembly assembly,
                       std::vector<int32_t>& rows)
{
    DrawExtent e;
    e.row0 = job.clipY1;
    e.row1 = job.clipY0;
    int step = assembly == Assembly::List ? 3 : 1;
    rows.clear();
    for (int i = 0; i + 2 < count; i += step) {
        const RasterVertex &a = v[i], &b = v[i + 1], &c = v[i + 2];
        rows.push_back(0);
        rows.push_back(0);
        if (!Finite(a) || !Finite(b) || !Finite(c))
            continue;
        double x0 = std::max<double>(std::min({a.x, b.x, c.x}), job.clipX0);
        double x1 = std::min<double>(std::max({a.x, b.x, c.x}), job.clipX1);
        double y0 = std::max<double>(std::min({a.y, b.y, c.y}), job.clipY0);
        double y1 = std::min<double>(std::max({a.y, b.y, c.y}), job.clipY1);
        if (x0 >= x1 || y0 >= y1)
            continue;
        double area = std::fabs((double(b.x) - a.x) * (double(c.y) - a.y) - (double(c.x) - a.x) * (double(b.y) - a.y));
        e.pixels += std::min(area / 2, (x1 - x0) * (y1 - y0));
        int r0 = static_cast<int>(std::floor(y0)), r1 = static_cast<int>(std::ceil(y1));
        rows[rows.size() - 2] = r0;
        rows[rows.size() - 1] = r1;
        e.row0 = std::min(e.row0, r0);
        e.row1 = std::max(e.row1, r1);
    }
    return e;
}

struct BandedDraw {
    const RasterJob* job;
    const RasterVertex* v;
    int count;
    Assembly assembly;
    bool flat;
    int row0, rows, bands;
    const int32_t* triangleRows;
};

// One band: the whole draw, in its order, clipped to the band's rows.
void RasterizeBand(void* arg, int band)
{
    const BandedDraw& d = *static_cast<const BandedDraw*>(arg);
    RasterJob job = *d.job;
    job.clipY0 = d.row0 + static_cast<int>(static_cast<int64_t>(d.rows) * band / d.bands);
    job.clipY1 = d.row0 + static_cast<int>(static_cast<int64_t>(d.rows) * (band + 1) / d.bands);
    RasterizeRows(job, d.v, d.count, d.assembly, d.flat, RowFilter{d.triangleRows, job.clipY0, job.clipY1});
}

// Rows a band holds at least, and bands a thread gets at most: enough bands
// that a thread finishing early finds another one.
constexpr int kMinBandRows = 4;
constexpr int kBandsPerThread = 4;

void Rasterize(const RasterJob& job, const RasterVertex* v, int count, Assembly assembly)
{
    if (!job.target.pixels || count < 3 || job.clipX0 >= job.clipX1 || job.clipY0 >= job.clipY1)
        return;
    bool flat = FlatColour(v, count);
    if (job.bands && job.bands->Threads() > 1) {
        // The caller's thread only: the context is used from one thread.
        static thread_local std::vector<int32_t> triangleRows;
        DrawExtent e = MeasureDraw(job, v, count, assembly, triangleRows);
        int rows = e.row1 - e.row0;
        int bands = std::min(rows / kMinBandRows, job.bands->Threads() * kBandsPerThread);
        if (e.pixels >= static_cast<double>(job.splitPixels) && bands > 1) {
            BandedDraw d{&job, v, count, assembly, flat, e.row0, rows, bands, triangleRows.data()};
            job.bands->Run(RasterizeBand, &d, bands);
            return;
        }
    }
    RasterizeRows(job, v, count, assembly, flat);
}

struct BandedRuns {
    const RasterRun* runs;
    int n;
    const size_t* rowStart; // each run's first triangle in triangleRows
    const int32_t* triangleRows;
    int row0, rows, bands;
};

void RasterizeRunsBand(void* arg, int band)
{
    const BandedRuns& d = *static_cast<const BandedRuns*>(arg);
    int y0 = d.row0 + static_cast<int>(static_cast<int64_t>(d.rows) * band / d.bands);
    int y1 = d.row0 + static_cast<int>(static_cast<int64_t>(d.rows) * (band + 1) / d.bands);
    for (int i = 0; i < d.n; i++) {
        const RasterRun& r = d.runs[i];
        RasterJob job = r.job;
        job.clipY0 = std::max(job.clipY0, y0);
        job.clipY1 = std::min(job.clipY1, y1);
        if (!job.target.pixels || r.count < 3 || job.clipX0 >= job.clipX1 || job.clipY0 >= job.clipY1)
            continue;
        RasterizeRows(job, r.vertices, r.count, Assembly::List, r.flat,
                      RowFilter{d.triangleRows + 2 * d.rowStart[i], job.clipY0, job.clipY1});
    }
}

} // namespace

void RasterizeRuns(const RasterRun* runs, int n, RasterBands* bands, int64_t splitPixels)
{
    if (n <= 0)
        return;
    // A batch holds whole triangles; the row bookkeeping below counts on it.
    for (int i = 0; i < n; i++)
        TVL_ASSERT(runs[i].count >= 0 && runs[i].count % 3 == 0);
    if (bands && bands->Threads() > 1) {
        // The caller's thread only: the context is used from one thread.
        static thread_local std::vector<int32_t> triangleRows, runRows;
        static thread_local std::vector<size_t> rowStart;
        triangleRows.clear();
        rowStart.clear();
        double pixels = 0;
        int row0 = 0, row1 = 0;
        bool any = false;
        for (int i = 0; i < n; i++) {
            const RasterRun& r = runs[i];
            rowStart.push_back(triangleRows.size() / 2);
            if (!r.job.target.pixels || r.count < 3 || r.job.clipX0 >= r.job.clipX1 || r.job.clipY0 >= r.job.clipY1) {
                triangleRows.resize(triangleRows.size() + 2 * static_cast<size_t>(std::max(r.count / 3, 0)), 0);
                continue;
            }
            DrawExtent e = MeasureDraw(r.job, r.vertices, r.count, Assembly::List, runRows);
            triangleRows.insert(triangleRows.end(), runRows.begin(), runRows.end());
            if (e.row0 >= e.row1)
                continue;
            row0 = any ? std::min(row0, e.row0) : e.row0;
            row1 = any ? std::max(row1, e.row1) : e.row1;
            any = true;
            pixels += e.pixels;
        }
        int rows = row1 - row0;
        int count = std::min(rows / kMinBandRows, bands->Threads() * kBandsPerThread);
        if (pixels >= static_cast<double>(splitPixels) && count > 1) {
            BandedRuns d{runs, n, rowStart.data(), triangleRows.data(), row0, rows, count};
            bands->Run(RasterizeRunsBand, &d, count);
            return;
        }
    }
    for (int i = 0; i < n; i++) {
        const RasterRun& r = runs[i];
        RasterJob job = r.job;
        job.bands = nullptr; // the batch was too small to share
        if (job.target.pixels && r.count >= 3 && job.clipX0 < job.clipX1 && job.clipY0 < job.clipY1)
            RasterizeRows(job, r.vertices, r.count, Assembly::List, r.flat);
    }
}

void RasterizeTriangleList(const RasterJob& job, const RasterVertex* vertices, int count)
{
    Rasterize(job, vertices, count, Assembly::List);
}

void RasterizeTriangleStrip(const RasterJob& job, const RasterVertex* vertices, int count)
{
    Rasterize(job, vertices, count, Assembly::Strip);
}

void FillWords(uint32_t* dst, size_t n, uint32_t value)
{
    size_t i = 0;
    const __m128i v = _mm_set1_epi32(static_cast<int>(value));
    for (; i + 4 <= n; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
    for (; i < n; i++)
        dst[i] = value;
}

void BuildAlphaRuns(const uint32_t* texels, int width, int height, uint8_t* runs)
{
    for (int y = 0; y < height; y++) {
        const uint32_t* t = texels + static_cast<size_t>(y) * width;
        uint8_t* r = runs + static_cast<size_t>(y) * width;
        int length = 0;
        uint8_t previous = 0xFF;
        for (int x = width - 1; x >= 0; x--) {
            uint32_t a = t[x] >> 24;
            uint8_t kind = a == 0 ? kAlphaClear : a == 255 ? kAlphaSolid : kAlphaMixed;
            length = kind == previous ? std::min(length + 1, kAlphaRunMax) : 1;
            previous = kind;
            r[x] = static_cast<uint8_t>(kind << 6 | length);
        }
    }
}

void BlendSpanOver(uint32_t* dst, size_t n, uint32_t colour)
{
    if (colour >> 24 == 255)
        FillWords(dst, n, colour);
    else if (colour >> 24 != 0)
        OverSpan(colour).Blend(dst, n);
}

uint32_t ModulateColour(uint32_t texel, uint32_t colour)
{
    return Modulate(texel, colour);
}

uint32_t BlendOver(uint32_t src, uint32_t dst)
{
    return OverInline(src, dst);
}

uint32_t BlendOverStraight(uint32_t src, uint32_t dst)
{
    return OverStraightInline(src, dst);
}
