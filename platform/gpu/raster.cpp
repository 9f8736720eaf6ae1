// Triangle set-up, span walking and the pixel programs of the software
// renderer. Coverage: positions snap to 1/256 pixel; each edge's bound per row
// is stepped exactly with an integer quotient and remainder, so a row costs a
// few additions, and pixels on a shared edge belong to exactly one triangle
// (top-left rule). Attributes are planes in double precision, evaluated at
// pixel centres. Programs and blend modes are template parameters chosen once
// a draw, so the pixel loops make no indirect calls.
#include "platform/gpu/raster.h"
#include "platform/gpu/pixel_blend.h"
#include "platform/gpu/raster_bands.h"
#include "platform/tvl_assert.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>

#include <cstring>
#include <vector>
#include <emmintrin.h>

namespace {

// Hot helpers are forced inline: the span loops must not call per pixel.
#define RASTER_INLINE inline __attribute__((always_inline))

constexpr int64_t kSub = 256;           // sub-pixel steps per pixel
constexpr float kGuard = 1048576.0f;    // |coordinate| beyond this is clipped first (keeps int64 exact)

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

    RASTER_INLINE __m128i Four(__m128i d) const
    {
        const __m128i zero = _mm_setzero_si128();
        __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), mul), add);
        __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), mul), add);
        lo = _mm_srli_epi16(_mm_add_epi16(lo, _mm_srli_epi16(lo, 8)), 8);
        hi = _mm_srli_epi16(_mm_add_epi16(hi, _mm_srli_epi16(hi, 8)), 8);
        return _mm_packus_epi16(lo, hi);
    }

    RASTER_INLINE void Blend(uint32_t* dst, size_t n) const
    {
        size_t i = 0;
        for (; i + 4 <= n; i += 4) {
            __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), Four(d));
        }
        for (; i < n; i++)
            dst[i] = OverInline(colour, dst[i]);
    }
};

// Pixels [x0, x1) of a row of width pixels (at least 4), four at a time:
// each step takes the four words from min(x, width - 4) on and writes back
// the changed ones and the others as they were, so a short span costs one
// or two steps and no loop over single pixels. Only the calling thread
// writes this row meanwhile (bands own whole rows).
template <class Change>
RASTER_INLINE void ChangeRow(uint32_t* row, int x0, int x1, int width, const Change& change)
{
    const __m128i lanes = _mm_setr_epi32(0, 1, 2, 3);
    const __m128i end = _mm_set1_epi32(x1);
    for (int x = x0; x < x1; x += 4) {
        const int w = std::min(x, width - 4);
        const __m128i at = _mm_add_epi32(lanes, _mm_set1_epi32(w));
        const __m128i keep = _mm_and_si128(_mm_cmpgt_epi32(at, _mm_set1_epi32(x - 1)), _mm_cmplt_epi32(at, end));
        auto* p = reinterpret_cast<__m128i*>(row + w);
        const __m128i d = _mm_loadu_si128(p);
        const __m128i c = change(d);
        _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(keep, c), _mm_andnot_si128(keep, d)));
    }
}

template <BlendMode B>
RASTER_INLINE uint32_t Blend(uint32_t s, uint32_t d)
{
    if constexpr (B == BlendMode::Over)
        return OverInline(s, d);
    else if constexpr (B == BlendMode::Source)
        return (s >> 24) == 0 ? d : s;
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
    } else if (dt == 65536) {
        // One texel a pixel (glyphs, tiles at their size): floor division is a shift.
        first = -((t - lo) >> 16);
        end = ((hi - t) >> 16) + 1;
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

// Four bilinear samples one texel apart along one pair of texel rows, with
// the arithmetic of BilinearPair in 16-bit lanes (each product and sum stays
// below 65536): pixels 0, 1 in lo and 2, 3 in hi, unpacked.
struct BilinearFour {
    __m128i zero, up, down, left, right;

    BilinearFour(uint32_t fx, uint32_t fy)
        : zero(_mm_setzero_si128()), up(_mm_set1_epi16(static_cast<short>(256 - fy))),
          down(_mm_set1_epi16(static_cast<short>(fy))), left(_mm_set1_epi16(static_cast<short>(256 - fx))),
          right(_mm_set1_epi16(static_cast<short>(fx)))
    {
    }

    RASTER_INLINE void Vertical(const uint32_t* t, const uint32_t* b, __m128i* lo, __m128i* hi) const
    {
        __m128i tv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t));
        __m128i bv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
        *lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(tv, zero), up),
                                           _mm_mullo_epi16(_mm_unpacklo_epi8(bv, zero), down)), 8);
        *hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(tv, zero), up),
                                           _mm_mullo_epi16(_mm_unpackhi_epi8(bv, zero), down)), 8);
    }

    RASTER_INLINE void At(const uint32_t* top, const uint32_t* bottom, __m128i* lo, __m128i* hi) const
    {
        __m128i l0, l1, r0, r1;
        Vertical(top, bottom, &l0, &l1);
        Vertical(top + 1, bottom + 1, &r0, &r1);
        *lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(l0, left), _mm_mullo_epi16(r0, right)), 8);
        *hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(l1, left), _mm_mullo_epi16(r1, right)), 8);
    }
};

// Bilinear samples of n pixels one texel apart along one pair of texel rows
// (a map tile drawn at its own size): the fractions are the same for every
// pixel, so four pixels go at a time, with the arithmetic of BilinearPair
// (each product and sum stays below 65536, so 16-bit lanes hold it exactly).
// Every tap inside the texture.
void CopyBilinearOneToOne(uint32_t* dst, int n, const uint32_t* top, const uint32_t* bottom, uint32_t fx,
                          uint32_t fy)
{
    const BilinearFour bilinear(fx, fy);
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        __m128i a, b;
        bilinear.At(top + k, bottom + k, &a, &b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), _mm_packus_epi16(a, b));
    }
    for (; k < n; k++)
        dst[k] = BilinearPair(top + k, bottom + k, fx, fy);
}

// Samples tinted by a colour as Modulate does and blended over the target
// as OverInline does, two pixels to a register of 16-bit lanes, where every
// product plus 128 and its high byte stays below 65536. Over's cases of
// alpha 0 and 255 are its general formula's results, so need no branch.
struct TintOver {
    __m128i tint, half, full, alphaFull;

    explicit TintOver(uint32_t colour)
        : tint(_mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(colour)), _mm_setzero_si128())),
          half(_mm_set1_epi16(128)), full(_mm_set1_epi16(255)), alphaFull(_mm_setr_epi16(0, 0, 0, 255, 0, 0, 0, 255))
    {
    }

    RASTER_INLINE __m128i Div255(__m128i x) const
    {
        x = _mm_add_epi16(x, half);
        return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
    }

    // Two pixels' samples tinted, unpacked, as Modulate makes each.
    RASTER_INLINE __m128i Tint(__m128i s) const { return Div255(_mm_mullo_epi16(s, tint)); }

    // Two pixels' sample s over their target d, both unpacked. The tinted
    // sample's lanes are at most 255, so setting the alpha lane's bits
    // makes it the 255 that Over counts there.
    RASTER_INLINE __m128i Two(__m128i s, __m128i d) const
    {
        s = Div255(_mm_mullo_epi16(s, tint));
        __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
        __m128i src = _mm_or_si128(s, alphaFull);
        return Div255(_mm_add_epi16(_mm_mullo_epi16(src, a), _mm_mullo_epi16(d, _mm_sub_epi16(full, a))));
    }

    // Four pixels: samples lo (pixels 0, 1) and hi (2, 3) unpacked over the
    // packed target d; returns the packed result.
    RASTER_INLINE __m128i Four(__m128i lo, __m128i hi, __m128i d) const
    {
        const __m128i zero = _mm_setzero_si128();
        return _mm_packus_epi16(Two(lo, _mm_unpacklo_epi8(d, zero)), Two(hi, _mm_unpackhi_epi8(d, zero)));
    }
};

// The down step of BilinearFour on its own: texel columns lerped between
// two texel rows by fy, 16-bit lanes, two columns a register.
struct DownLerp {
    __m128i zero, up, down;

    explicit DownLerp(uint32_t fy)
        : zero(_mm_setzero_si128()), up(_mm_set1_epi16(static_cast<short>(256 - fy))),
          down(_mm_set1_epi16(static_cast<short>(fy)))
    {
    }

    RASTER_INLINE __m128i Lerp(__m128i t, __m128i b) const
    {
        return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(t, up), _mm_mullo_epi16(b, down)), 8);
    }

    // Columns 0, 1 in lo and 2, 3 in hi.
    RASTER_INLINE void Four(const uint32_t* t, const uint32_t* b, __m128i* lo, __m128i* hi) const
    {
        const __m128i tv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t));
        const __m128i bv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
        *lo = Lerp(_mm_unpacklo_epi8(tv, zero), _mm_unpacklo_epi8(bv, zero));
        *hi = Lerp(_mm_unpackhi_epi8(tv, zero), _mm_unpackhi_epi8(bv, zero));
    }

    // Column 0 in the low half.
    RASTER_INLINE __m128i One(const uint32_t* t, const uint32_t* b) const
    {
        return Lerp(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(*t)), zero),
                    _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(*b)), zero));
    }
};

// Whether the alpha run byte at a texel says it and the four after it in its
// row have alpha 0 (clear class, a run of five or more: 0x45 to 0x7F).
RASTER_INLINE bool ClearFive(uint8_t run)
{
    return static_cast<uint8_t>(run - 0x45) < 0x3B;
}

// The same samples as CopyBilinearOneToOne, each tinted by colour as
// Modulate does and blended over the target as OverInline does (a glyph of
// a bitmap font at its own size): four pixels a step in 16-bit lanes, where
// every product plus 128 and its high byte stays below 65536. Over's cases
// of alpha 0 and 255 are its general formula's results, so need no branch.
// Each texel column is lerped down once and serves the pixels on both of
// its sides, as BilinearFour's two down steps would give it. The last step
// ends at pixel n, from the target words as they were before the row: the
// pixels it shares with the step before come out as that step made them.
// With alpha runs (runsTop, runsBottom at the first taps), a step whose ten
// taps all have alpha 0 is left out: its samples have alpha 0 and blend to
// the target as it was.
void BlendBilinearOneToOne(uint32_t* dst, int n, const uint32_t* top, const uint32_t* bottom, uint32_t fx,
                           uint32_t fy, uint32_t colour, const uint8_t* runsTop = nullptr,
                           const uint8_t* runsBottom = nullptr)
{
    if (n < 4) {
        for (int k = 0; k < n; k++)
            dst[k] = OverInline(Modulate(BilinearPair(top + k, bottom + k, fx, fy), colour), dst[k]);
        return;
    }
    const DownLerp down(fy);
    const __m128i left = _mm_set1_epi16(static_cast<short>(256 - fx)), right = _mm_set1_epi16(static_cast<short>(fx));
    const TintOver over(colour);
    // Pixels k to k + 3 from columns k to k + 3 (lo, hi) and k + 4 (next's
    // low half) over the target words d.
    auto blend = [&](int k, __m128i lo, __m128i hi, __m128i next, __m128i d) {
        const __m128i lo1 = _mm_castpd_si128(_mm_shuffle_pd(_mm_castsi128_pd(lo), _mm_castsi128_pd(hi), 1));
        const __m128i hi1 = _mm_castpd_si128(_mm_shuffle_pd(_mm_castsi128_pd(hi), _mm_castsi128_pd(next), 1));
        const __m128i a = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(lo, left), _mm_mullo_epi16(lo1, right)), 8);
        const __m128i b = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(hi, left), _mm_mullo_epi16(hi1, right)), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), over.Four(a, b, d));
    };
    auto clear = [&](int k) { return runsTop && ClearFive(runsTop[k]) && ClearFive(runsBottom[k]); };
    auto target = [dst](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + k)); };
    const int w = n - 4;
    const __m128i last = target(w);
    int k = 0;
    __m128i lo, hi;
    down.Four(top, bottom, &lo, &hi);
    for (; k + 4 <= n; k += 4) {
        __m128i lo2, hi2 = _mm_setzero_si128();
        if (k + 8 <= n)
            down.Four(top + k + 4, bottom + k + 4, &lo2, &hi2);
        else
            lo2 = down.One(top + k + 4, bottom + k + 4);
        if (!clear(k))
            blend(k, lo, hi, lo2, target(k));
        lo = lo2;
        hi = hi2;
    }
    if (k < n && !clear(w)) {
        down.Four(top + w, bottom + w, &lo, &hi);
        blend(w, lo, hi, down.One(top + n, bottom + n), last);
    }
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

// {256 - f x 8} and {f x 8}: the weights of a step down, as 16-bit lanes.
struct DownTable {
    alignas(16) uint16_t up[256][8];
    alignas(16) uint16_t down[256][8];
    DownTable()
    {
        for (int f = 0; f < 256; f++)
            for (int k = 0; k < 8; k++) {
                up[f][k] = static_cast<uint16_t>(256 - f);
                down[f][k] = static_cast<uint16_t>(f);
            }
    }
};
const DownTable kDown;

// BilinearPair's sample at texel pair r0 (and the row below) in 16-bit
// lanes 0-3, with the arithmetic of CopyBilinearAlongRows: down, then across.
RASTER_INLINE __m128i BilinearLanes(const uint32_t* r0, int64_t pitch, uint32_t fx, uint32_t fy)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i t = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r0)), zero);
    const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r0 + pitch)), zero);
    const __m128i up = _mm_load_si128(reinterpret_cast<const __m128i*>(kDown.up[fy]));
    const __m128i down = _mm_load_si128(reinterpret_cast<const __m128i*>(kDown.down[fy]));
    const __m128i v = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(t, up), _mm_mullo_epi16(b, down)), 8);
    const __m128i p = _mm_mullo_epi16(v, _mm_load_si128(reinterpret_cast<const __m128i*>(kAcross.w[fx])));
    return _mm_srli_epi16(_mm_add_epi16(p, _mm_srli_si128(p, 8)), 8);
}

// Bilinear samples of n pixels stepping through the texture, every pair of
// taps inside it: no clamping, and only locals in the loop. Four pixels a
// step in the lanes of BilinearLanes, whose arithmetic is BilinearPair's.
void CopyBilinear(uint32_t* dst, int n, int64_t tx, int64_t ty, int64_t dtx, int64_t dty, const uint32_t* texels,
                  int64_t pitch)
{
    auto lanes = [&](int64_t t, int64_t s) {
        return BilinearLanes(texels + (s >> 16) * pitch + (t >> 16), pitch, static_cast<uint32_t>(t >> 8) & 0xFF,
                             static_cast<uint32_t>(s >> 8) & 0xFF);
    };
    int k = 0;
    for (; k + 4 <= n; k += 4, tx += 4 * dtx, ty += 4 * dty) {
        const __m128i a = lanes(tx, ty), b = lanes(tx + dtx, ty + dty);
        const __m128i c = lanes(tx + 2 * dtx, ty + 2 * dty), d = lanes(tx + 3 * dtx, ty + 3 * dty);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k),
                         _mm_packus_epi16(_mm_unpacklo_epi64(a, b), _mm_unpacklo_epi64(c, d)));
    }
    for (; k < n; k++, tx += dtx, ty += dty) {
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
    // A pixel's two columns across, in lanes 0-3; four pixels are stored at a time.
    auto across = [&](int64_t t) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(down + ((t >> 16) - first) * 4));
        const __m128i w = _mm_load_si128(reinterpret_cast<const __m128i*>(kAcross.w[(t >> 8) & 0xFF]));
        const __m128i p = _mm_mullo_epi16(v, w);
        return _mm_srli_epi16(_mm_add_epi16(p, _mm_srli_si128(p, 8)), 8);
    };
    int k = 0;
    for (; k + 4 <= n; k += 4, tx += 4 * dtx) {
        const __m128i a = across(tx), b = across(tx + dtx), c4 = across(tx + 2 * dtx), d = across(tx + 3 * dtx);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k),
                         _mm_packus_epi16(_mm_unpacklo_epi64(a, b), _mm_unpacklo_epi64(c4, d)));
    }
    for (; k < n; k++, tx += dtx) {
        const __m128i a = across(tx);
        dst[k] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(a, a)));
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
    int rowWidth = 0; // pixels in a target row

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
            if (rowWidth >= 4 && (alpha == 255 || (alpha != 0 && B == BlendMode::Over))) {
                if (alpha == 255) {
                    const __m128i fill = _mm_set1_epi32(static_cast<int>(c));
                    ChangeRow(row, x0, x1, rowWidth, [fill](__m128i) { return fill; });
                } else {
                    ChangeRow(row, x0, x1, rowWidth, [this](__m128i d) { return over.Four(d); });
                }
            } else if (alpha == 255) {
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

// Textured spans pixel by pixel, through the clamping sampler (tests).
std::atomic<bool> g_plainSpans{false};

template <bool Flat, BlendMode B, SamplerMode S>
struct TexturedShader {
    ColourInput<Flat> colour;
    RasterTexture tex;
    Plane u, v;
    int64_t dtx = 0, dty = 0; // texel steps a pixel, the same on every row
    bool plain = false;
    // Where u does not change down the rows (a glyph or sprite upright),
    // spans starting at the same pixel start at the same texel: the last
    // such start.
    struct Across {
        int x0 = INT_MIN;
        int64_t tx = 0;
    } across;

    void Setup(const TriangleGeometry& g, const RasterVertex& a, const RasterVertex& b, const RasterVertex& c)
    {
        plain = g_plainSpans.load(std::memory_order_relaxed);
        across = Across{};
        colour.Setup(g, a, b, c);
        u = MakePlane(g, a.u, b.u, c.u);
        v = MakePlane(g, a.v, b.v, c.v);
        dtx = ToFixed(u.dx * tex.width);
        dty = ToFixed(v.dx * tex.height);
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

    // Whether the four taps of the bilinear Sample at (tx, ty), clamped to
    // the texture as it clamps them, all have alpha 0: the sample then has
    // alpha 0, and tinting and blending it leave the target as it is. A
    // turned sprite's pixels along its edges, whose taps reach past the
    // texture, mostly are.
    RASTER_INLINE bool ClampedTapsClear(int64_t tx, int64_t ty) const
    {
        const int64_t x0 = tx >> 16, y0 = ty >> 16;
        return ((Fetch(x0, y0) | Fetch(x0 + 1, y0) | Fetch(x0, y0 + 1) | Fetch(x0 + 1, y0 + 1)) >> 24) == 0;
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
        const TintOver over(c);
        for (int x = x0; x < x1;) {
            int n = 1;
            uint8_t kind = ClassifyTaps(runs0, runs1, tx, dtx, x1 - x, &n);
            if (kind == kAlphaClear) {
                // Every tap has alpha 0: so has the sample, and blending it changes nothing.
            } else if (kind == kAlphaSolid && c == 0xFFFFFFFFu && dtx >= 0 &&
                       ((tx + (n - 1) * dtx) >> 16) - (tx >> 16) < kRowColumns) {
                CopyBilinearAlongRows(row + x, n, tx, dtx, texels0, texels0 + pitch, fy);
            } else if (kind == kAlphaSolid && solidColour) {
                // Opaque samples of an opaque tint: written, four at a time.
                int64_t t = tx;
                int k = 0;
                for (; k + 4 <= n; k += 4, t += 4 * dtx) {
                    __m128i a, b;
                    FourAlongRow(texels0, t, dtx, fy, &a, &b);
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x + k), _mm_packus_epi16(over.Tint(a), over.Tint(b)));
                }
                for (; k < n; k++, t += dtx) {
                    const uint32_t* r0 = texels0 + (t >> 16);
                    row[x + k] = Modulate(BilinearPair(r0, r0 + pitch, static_cast<uint32_t>(t >> 8) & 0xFF, fy), c);
                }
            } else if (B == BlendMode::Over && x + 4 <= x1 && FourInside(tx, dtx)) {
                // Mixed taps: this pixel and the next three sampled, tinted and blended
                // as one, whatever their own taps are.
                __m128i a, b;
                FourAlongRow(texels0, tx, dtx, fy, &a, &b);
                auto* p = reinterpret_cast<__m128i*>(row + x);
                _mm_storeu_si128(p, over.Four(a, b, _mm_loadu_si128(p)));
                n = 4;
            } else {
                int64_t t = tx;
                for (int k = 0; k < n; k++, t += dtx)
                    row[x + k] = Blend<B>(Modulate(Sample(t, ty), c), row[x + k]);
            }
            x += n;
            tx += n * dtx;
        }
    }

    // Whether pixels from tx on, stepping dtx, have both columns of taps
    // inside the texture for four pixels.
    RASTER_INLINE bool FourInside(int64_t tx, int64_t dtx) const
    {
        const uint64_t last = static_cast<uint64_t>(tex.width - 1);
        return static_cast<uint64_t>(tx >> 16) < last && static_cast<uint64_t>((tx + 3 * dtx) >> 16) < last;
    }

    // BilinearLanes' samples of four pixels along the texel rows from
    // texels0 (and the row below), every tap inside: pixels 0, 1 in a and
    // 2, 3 in b.
    RASTER_INLINE void FourAlongRow(const uint32_t* texels0, int64_t t, int64_t dtx, uint32_t fy, __m128i* a,
                                    __m128i* b) const
    {
        __m128i lanes[4];
        for (int j = 0; j < 4; j++, t += dtx)
            lanes[j] = BilinearLanes(texels0 + (t >> 16), tex.pitch, static_cast<uint32_t>(t >> 8) & 0xFF, fy);
        *a = _mm_unpacklo_epi64(lanes[0], lanes[1]);
        *b = _mm_unpacklo_epi64(lanes[2], lanes[3]);
    }

    // A span one texel a pixel along one pair of texel rows, tinted by the
    // flat colour and blended Over: the pixels whose taps all lie inside go
    // four at a time, the others through Sample's clamps. Pixel k's left
    // taps lie in column (tx >> 16) + k, inside while below the last.
    void SpanOneToOne(uint32_t* row, int x0, int x1, int64_t tx, int64_t ty)
    {
        const int n = x1 - x0;
        const int64_t column = tx >> 16;
        int k0 = static_cast<int>(std::clamp<int64_t>(-column, 0, n));
        int k1 = static_cast<int>(std::clamp<int64_t>(tex.width - 1 - column, 0, n));
        // Not stepping down: the row of taps is inside or not.
        if (ty < 0 || ty > (static_cast<int64_t>(tex.height - 1) << 16) - 1)
            k1 = 0;
        if (k0 >= k1)
            k0 = k1 = n;
        const uint32_t c = colour.flat;
        for (int k = 0; k < k0; k++)
            row[x0 + k] = OverInline(Modulate(Sample(tx + k * int64_t{65536}, ty), c), row[x0 + k]);
        if (k1 > k0) {
            const int64_t first = (ty >> 16) * tex.pitch + column + k0;
            const uint32_t* top = tex.texels + first;
            const uint8_t* runs = tex.alphaRuns ? tex.alphaRuns + (ty >> 16) * tex.width + column + k0 : nullptr;
            BlendBilinearOneToOne(row + x0 + k0, k1 - k0, top, top + tex.pitch, static_cast<uint32_t>(tx >> 8) & 0xFF,
                                  static_cast<uint32_t>(ty >> 8) & 0xFF, c, runs, runs ? runs + tex.width : nullptr);
        }
        for (int k = k1; k < n; k++)
            row[x0 + k] = OverInline(Modulate(Sample(tx + k * int64_t{65536}, ty), c), row[x0 + k]);
    }

    // Whether the four taps at texel (ix, iy), inside the texture, all have
    // alpha 0: then so has the tinted sample, and blending it changes nothing.
    RASTER_INLINE bool TapsClear(int64_t ix, int64_t iy) const
    {
        const uint8_t* r = tex.alphaRuns + iy * tex.width + ix;
        // Clear class with a run of two or more: 0x42 to 0x7F.
        auto clearPair = [](uint8_t a) { return static_cast<uint8_t>(a - 0x42) < 0x3E; };
        return clearPair(r[0]) & clearPair(r[tex.width]);
    }

    // Four pixels of SpanAcross from (t, s), every tap inside: left alone
    // when all their taps are transparent, else sampled, tinted and blended
    // Over as one. Each pixel's texel and fractions are taken once, for the
    // look at its alpha runs and for its sample.
    RASTER_INLINE void FourAcross(uint32_t* dst, int64_t t, int64_t s, const TintOver& over) const
    {
        int64_t ix[4], iy[4];
        uint32_t fx[4], fy[4];
        for (int j = 0; j < 4; j++) {
            const int64_t tj = t + j * dtx, sj = s + j * dty;
            ix[j] = tj >> 16;
            iy[j] = sj >> 16;
            fx[j] = static_cast<uint32_t>(tj >> 8) & 0xFF;
            fy[j] = static_cast<uint32_t>(sj >> 8) & 0xFF;
        }
        if (tex.clearCells) {
            const uint8_t* c = tex.clearCells;
            const int64_t w = tex.width;
            if (c[iy[0] * w + ix[0]] & c[iy[1] * w + ix[1]] & c[iy[2] * w + ix[2]] & c[iy[3] * w + ix[3]])
                return;
        } else if (tex.alphaRuns) {
            bool clear = true;
            for (int j = 0; j < 4; j++)
                clear &= TapsClear(ix[j], iy[j]);
            if (clear)
                return;
        }
        __m128i lanes[4];
        for (int j = 0; j < 4; j++)
            lanes[j] = BilinearLanes(tex.texels + iy[j] * tex.pitch + ix[j], tex.pitch, fx[j], fy[j]);
        auto* p = reinterpret_cast<__m128i*>(dst);
        _mm_storeu_si128(p, over.Four(_mm_unpacklo_epi64(lanes[0], lanes[1]), _mm_unpacklo_epi64(lanes[2], lanes[3]),
                                      _mm_loadu_si128(p)));
    }

    // A span crossing texel rows (a sprite turned on the map), flat colour:
    // where every tap lies inside, no clamps, and with alpha runs the pixels
    // whose taps are all transparent are skipped; each pixel as the general
    // loop makes it.
    void SpanAcross(uint32_t* row, int x0, int x1, int64_t tx, int64_t ty)
    {
        const int n = x1 - x0;
        int k0 = 0, k1 = n;
        StepsInside(tx, dtx, tex.width - 1, n, &k0, &k1);
        StepsInside(ty, dty, tex.height - 1, n, &k0, &k1);
        if (k0 >= k1)
            k0 = k1 = n;
        const uint32_t c = colour.flat;
        int64_t t = tx, s = ty;
        for (int k = 0; k < k0; k++, t += dtx, s += dty)
            if (!tex.alphaRuns || !ClampedTapsClear(t, s))
                row[x0 + k] = Blend<B>(Modulate(Sample(t, s), c), row[x0 + k]);
        const int64_t pitch = tex.pitch;
        int k = k0;
        if constexpr (B == BlendMode::Over) {
            const TintOver over(c);
            for (; k + 4 <= k1; k += 4, t += 4 * dtx, s += 4 * dty)
                FourAcross(row + x0 + k, t, s, over);
        }
        for (; k < k1; k++, t += dtx, s += dty) {
            const int64_t ix = t >> 16, iy = s >> 16;
            if (tex.clearCells ? tex.clearCells[iy * tex.width + ix] != 0 : tex.alphaRuns && TapsClear(ix, iy))
                continue;
            const uint32_t* r0 = tex.texels + iy * pitch + ix;
            uint32_t sample = BilinearPair(r0, r0 + pitch, static_cast<uint32_t>(t >> 8) & 0xFF,
                                           static_cast<uint32_t>(s >> 8) & 0xFF);
            row[x0 + k] = Blend<B>(Modulate(sample, c), row[x0 + k]);
        }
        for (int k = std::max(k0, k1); k < n; k++, t += dtx, s += dty)
            if (!tex.alphaRuns || !ClampedTapsClear(t, s))
                row[x0 + k] = Blend<B>(Modulate(Sample(t, s), c), row[x0 + k]);
    }

    static int64_t ToFixed(double texels)
    {
        // Coordinates far outside the texture sample its edge anyway.
        return RoundToInt64(std::clamp(texels, -1.0e6, 1.0e6) * 65536.0);
    }

    // The texel, in 16.16, that a span from pixel x0 of the row at py
    // starts on: where the pixel's centre falls, the bilinear taps shifted
    // by half a texel; across, then down.
    RASTER_INLINE int64_t StartX(int x0, double py)
    {
        if (u.dy == 0 && across.x0 == x0)
            return across.tx;
        const double shift = S == SamplerMode::Linear ? 0.5 : 0.0;
        const int64_t tx = ToFixed(u.At(x0 + 0.5, py) * tex.width - shift);
        if (u.dy == 0)
            across = Across{x0, tx};
        return tx;
    }

    RASTER_INLINE int64_t StartY(int x0, double py) const
    {
        const double shift = S == SamplerMode::Linear ? 0.5 : 0.0;
        return ToFixed(v.At(x0 + 0.5, py) * tex.height - shift);
    }

    RASTER_INLINE void Start(int x0, double py, int64_t* tx, int64_t* ty)
    {
        *tx = StartX(x0, py);
        *ty = StartY(x0, py);
    }

    // One texel a pixel along texel rows, u the same down the rows and v
    // across them, tinted and blended Over as SpanOneToOne does: a glyph at
    // its own size. A span from column c then starts on a texel column
    // that depends on c alone, and its texels lie in a texel row that
    // depends on the row alone.
    bool Upright() const
    {
        return !plain && !(tex.opaque && colour.flat == 0xFFFFFFFFu) && dtx == 65536 && dty == 0 && u.dy == 0 &&
               v.dx == 0;
    }

    void Span(uint32_t* row, int x0, int x1, double py)
    {
        int64_t tx = 0, ty = 0;
        Start(x0, py, &tx, &ty);
        SpanFrom(row, x0, x1, tx, ty, py);
    }

    // The span [x0, x1) of the row at py from texel (tx, ty) on, stepping
    // (dtx, dty) a pixel. Of one colour, each pixel depends on its texel
    // position and its target word alone, however the span is cut.
    void SpanFrom(uint32_t* row, int x0, int x1, int64_t tx, int64_t ty, double py)
    {
        if (plain) {
            auto w = colour.Start(x0 + 0.5, py);
            for (int x = x0; x < x1; x++, tx += dtx, ty += dty)
                row[x] = Blend<B>(Modulate(Sample(tx, ty), w.Next()), row[x]);
            return;
        }
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
        if constexpr (S == SamplerMode::Linear && Flat && B == BlendMode::Over) {
            if (dtx == 65536 && dty == 0) {
                SpanOneToOne(row, x0, x1, tx, ty);
                return;
            }
        }
        if constexpr (S == SamplerMode::Linear && Flat) {
            if (tex.alphaRuns && dty == 0 && static_cast<uint64_t>(ty >> 16) < static_cast<uint64_t>(tex.height - 1)) {
                SpanAlongRows(row, x0, x1, tx, ty, dtx);
                return;
            }
            SpanAcross(row, x0, x1, tx, ty);
            return;
        }
        auto w = colour.Start(x0 + 0.5, py);
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

// A corner snapped to the sub-pixel grid.
struct Snapped {
    int64_t x, y;
};

// Rounds to the nearest 1/256 pixel, ties to even, as std::llrint does in
// the default rounding mode (one instruction instead of a library call).
RASTER_INLINE int64_t SnapCoordinate(float v)
{
    return _mm_cvtss_si64(_mm_set_ss(v * static_cast<float>(kSub)));
}

// One edge's bound on the pixel columns of each row. The edge function
// E(p) = dx (py - yi) - dy (px - xi) covers a pixel centre where E >= t (t is
// 0 on a top or left edge, else 1: the top-left rule); per row that is a
// last column floor((C - t) / D) for an edge going down (dy > 0) and a first
// column -floor((C - t) / D) for one going up, C growing by S a row. The
// quotient is stepped exactly with its remainder, without a branch: the carry
// comes as often as the slope says, which no predictor guesses.
struct Bound {
    int64_t v;      // the bound in the current row
    int64_t r, d;   // remainder and divisor
    int64_t vs, rs; // steps a row
    int64_t sign;   // +1 for a last column, -1 for a first

    RASTER_INLINE void Step()
    {
        r += rs;
        const int64_t carry = -static_cast<int64_t>(r >= d);
        r -= d & carry;
        v += vs + (sign & carry);
    }
};

// The rows and, per row, the columns of a convex outline whose pixel centres
// it covers: a triangle has at most two edges on a side, a quad three.
template <int Sides>
struct Outline {
    static constexpr int kSides = Sides;
    static constexpr int64_t kFar = int64_t{1} << 50;
    Bound first[kSides], last[kSides]; // unused ones never bind
    int64_t row0 = 0, row1 = -1, colMin = 0, colMax = -1;

    // The columns [lo, hi] of the next row; false when none. Steps on.
    RASTER_INLINE bool Next(int64_t* lo, int64_t* hi)
    {
        int64_t a = colMin, b = colMax;
        for (Bound& f : first) {
            a = std::max(a, f.v);
            f.Step();
        }
        for (Bound& l : last) {
            b = std::min(b, l.v);
            l.Step();
        }
        *lo = a;
        *hi = b;
        return a <= b;
    }
};

// The rows and columns an outline may cover within the clip rectangle.
struct OutlineBox {
    int64_t row0 = 0, row1 = -1, colMin = 0, colMax = -1;
};

// The bound of edge p -> q (not horizontal) in the row whose pixel centres
// lie at py, in sub-pixels.
RASTER_INLINE void SetUpBound(const Snapped& p, const Snapped& q, int64_t py, Bound& b)
{
    const int64_t dx = q.x - p.x, dy = q.y - p.y;
    const int64_t t = dy < 0 ? 0 : 1; // top-left rule: an edge going up is a left one
    const int64_t c = dx * (py - p.y) - dy * (kSub / 2 - p.x) - t;
    const int64_t s = kSub * dx;
    b.d = kSub * (dy < 0 ? -dy : dy);
    const int64_t q0 = FloorDiv(c, b.d), qs = FloorDiv(s, b.d);
    b.r = c - q0 * b.d;
    b.rs = s - qs * b.d;
    b.sign = dy > 0 ? 1 : -1;
    b.v = b.sign * q0;
    b.vs = b.sign * qs;
}

// Fills the outline's bounds from its edges (i -> i + 1, in a turn of
// positive area) and the rows and columns it may cover within the clip
// rectangle; false when it covers none. A horizontal edge lies at the top or
// bottom and only rules out the row whose pixel centres lie on it, when it
// is not a top edge.
template <int Sides>
bool SetUpOutline(const RasterJob& job, const Snapped* corner, int n, Outline<Sides>& o)
{
    int64_t minY = corner[0].y, maxY = minY, minX = corner[0].x, maxX = minX;
    for (int i = 1; i < n; i++) {
        minY = std::min(minY, corner[i].y);
        maxY = std::max(maxY, corner[i].y);
        minX = std::min(minX, corner[i].x);
        maxX = std::max(maxX, corner[i].x);
    }
    // Rows and columns whose pixel centres (k + 1/2) can lie inside.
    o.row0 = std::max<int64_t>(-FloorDiv(-(minY - kSub / 2), kSub), job.clipY0);
    o.row1 = std::min<int64_t>(FloorDiv(maxY - kSub / 2, kSub), job.clipY1 - 1);
    o.colMin = std::max<int64_t>(-FloorDiv(-(minX - kSub / 2), kSub), job.clipX0);
    o.colMax = std::min<int64_t>(FloorDiv(maxX - kSub / 2, kSub), job.clipX1 - 1);
    if (o.row0 > o.row1 || o.colMin > o.colMax)
        return false;
    const int64_t py = o.row0 * kSub + kSub / 2;
    int firsts = 0, lasts = 0;
    for (int i = 0; i < n; i++) {
        const Snapped& p = corner[i];
        const Snapped& q = corner[(i + 1) % n];
        if (p.y == q.y) {
            if (q.x <= p.x && (p.y - kSub / 2) % kSub == 0) { // not a top edge, on a row's centres
                const int64_t row = FloorDiv(p.y, kSub);
                if (row == o.row0)
                    o.row0++;
                if (row == o.row1)
                    o.row1--;
            }
            continue;
        }
        SetUpBound(p, q, py, q.y > p.y ? o.last[lasts++] : o.first[firsts++]);
    }
    for (; firsts < Sides; firsts++)
        o.first[firsts] = Bound{-Outline<Sides>::kFar, 0, 1, 0, 0, 1};
    for (; lasts < Sides; lasts++)
        o.last[lasts] = Bound{Outline<Sides>::kFar, 0, 1, 0, 0, 1};
    return o.row0 <= o.row1;
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

// A triangle snapped, culled and turned to positive area: its corners (in
// the order its edges run) and their vertices.
struct Corners3 {
    Snapped at[3];
    const RasterVertex* v[3];
    int64_t area;
};

enum class Prepared { Nothing, Ready, Clip };

// Snaps the corners and culls; Clip when a corner lies beyond the guard
// square (DrawClipped cuts it first).
Prepared SnapTriangle(const RasterJob& job, const RasterVertex& a0, const RasterVertex& b0, const RasterVertex& c0,
                      Corners3& t)
{
    if (!Finite(a0) || !Finite(b0) || !Finite(c0))
        return Prepared::Nothing;
    if (!InsideGuard(a0) || !InsideGuard(b0) || !InsideGuard(c0))
        return Prepared::Clip;
    Snapped a{SnapCoordinate(a0.x), SnapCoordinate(a0.y)};
    Snapped b{SnapCoordinate(b0.x), SnapCoordinate(b0.y)};
    Snapped c{SnapCoordinate(c0.x), SnapCoordinate(c0.y)};
    int64_t area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (area == 0)
        return Prepared::Nothing;
    // y points down, so a positive area is a clockwise turn on screen.
    if ((area > 0 && job.cull == CullFace::Clockwise) || (area < 0 && job.cull == CullFace::CounterClockwise))
        return Prepared::Nothing;
    t.v[0] = &a0;
    t.at[0] = a;
    if (area > 0) {
        t.v[1] = &b0, t.v[2] = &c0;
        t.at[1] = b, t.at[2] = c;
    } else {
        t.v[1] = &c0, t.v[2] = &b0;
        t.at[1] = c, t.at[2] = b;
        area = -area;
    }
    t.area = area;
    return Prepared::Ready;
}

template <class Shader>
void SetUpShader(Shader& shader, const Corners3& t)
{
    const Snapped *a = &t.at[0], *b = &t.at[1], *c = &t.at[2];
    TriangleGeometry g{a->x / 256.0, a->y / 256.0, b->x / 256.0, b->y / 256.0, c->x / 256.0, c->y / 256.0,
                       static_cast<double>(t.area) / 65536.0};
    shader.Setup(g, *t.v[0], *t.v[1], *t.v[2]);
}

// Snaps, culls and sets up the rows and the shader of a triangle.
template <class Shader>
Prepared PrepareTriangle(const RasterJob& job, Shader& shader, const RasterVertex& a0, const RasterVertex& b0,
                         const RasterVertex& c0, Outline<2>& o)
{
    Corners3 t;
    Prepared p = SnapTriangle(job, a0, b0, c0, t);
    if (p != Prepared::Ready)
        return p;
    if (!SetUpOutline(job, t.at, 3, o))
        return Prepared::Nothing;
    SetUpShader(shader, t);
    return Prepared::Ready;
}

template <class Shader, int Sides>
void DrawRows(const RasterJob& job, Shader& shader, Outline<Sides>& o)
{
    uint32_t* row = job.target.pixels + static_cast<size_t>(o.row0) * job.target.pitch;
    for (int64_t j = o.row0; j <= o.row1; j++, row += job.target.pitch) {
        int64_t lo, hi;
        if (o.Next(&lo, &hi))
            shader.Span(row, static_cast<int>(lo), static_cast<int>(hi + 1), j + 0.5);
    }
}

template <class Shader>
void DrawTriangle(const RasterJob& job, Shader& shader, const RasterVertex& a0, const RasterVertex& b0,
                  const RasterVertex& c0)
{
    Outline<2> o;
    switch (PrepareTriangle(job, shader, a0, b0, c0, o)) {
    case Prepared::Ready:
        DrawRows(job, shader, o);
        break;
    case Prepared::Clip:
        DrawClipped(job, shader, a0, b0, c0);
        break;
    case Prepared::Nothing:
        break;
    }
}

// Shaders whose every pixel is the same blend of one colour: two spans that
// meet end to end are blended as one, and two triangles that make a convex
// quad are filled as one outline.
template <class Shader>
constexpr bool kOneBlendPerPixel = false;
template <BlendMode B>
constexpr bool kOneBlendPerPixel<ColourShader<true, B>> = true;

// Textured shaders of one colour: each pixel of a span depends on its texel
// position and its target word alone (SpanFrom), so two spans can be drawn
// as one where their texel steps line up.
template <class Shader>
constexpr bool kSpansJoin = false;
template <BlendMode B, SamplerMode S>
constexpr bool kSpansJoin<TexturedShader<true, B, S>> = true;

// A row where both triangles of a pair have a span, first's drawn before
// second's; as one span when they meet end to end and the right one starts
// on the texel the left one's steps reach: every pixel then gets the texel
// its own triangle gives it, and none lies in both, so the order of the
// blends cannot show. A glyph's or an upright sprite's rows join so.
template <class Shader>
RASTER_INLINE void JoinedSpans(Shader& first, Shader& second, uint32_t* row, int lo1, int hi1, int lo2, int hi2,
                               double py)
{
    int64_t tx1 = 0, ty1 = 0, tx2 = 0, ty2 = 0;
    first.Start(lo1, py, &tx1, &ty1);
    second.Start(lo2, py, &tx2, &ty2);
    const int64_t dtx = first.dtx, dty = first.dty;
    if (dtx == second.dtx && dty == second.dty) {
        if (hi1 + 1 == lo2 && tx2 == tx1 + (lo2 - lo1) * dtx && ty2 == ty1 + (lo2 - lo1) * dty) {
            first.SpanFrom(row, lo1, hi2 + 1, tx1, ty1, py);
            return;
        }
        if (hi2 + 1 == lo1 && tx1 == tx2 + (lo1 - lo2) * dtx && ty1 == ty2 + (lo1 - lo2) * dty) {
            second.SpanFrom(row, lo2, hi1 + 1, tx2, ty2, py);
            return;
        }
    }
    first.SpanFrom(row, lo1, hi1 + 1, tx1, ty1, py);
    second.SpanFrom(row, lo2, hi2 + 1, tx2, ty2, py);
}

RASTER_INLINE bool SameCorner(const Snapped& a, const Snapped& b)
{
    return a.x == b.x && a.y == b.y;
}

RASTER_INLINE int64_t Turn(const Snapped& a, const Snapped& b, const Snapped& c)
{
    return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}

// Two triangles of positive area that share an edge, running opposite ways,
// cover together exactly the pixel centres their four outer edges (each
// with its own top-left rule) enclose, when the four corners make a strictly
// convex quad: a centre inside the quad off the shared edge's ends lies on
// one side of that edge or on it, and there exactly one of the two opposite
// rules takes it. A centre on an end, a corner of the quad, is taken by the
// quad when both its edges there are top or left ones; the top or left
// directions make a half-turn, and the shared edge's direction (or its
// reverse) lies between the two within it, so one triangle takes it then
// too, and neither does otherwise. Fills corner with the quad's corners in
// the order its edges run; false when the pair is not such a quad.
bool MakeQuad(const Corners3& p, const Corners3& q, Snapped* corner)
{
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 3; k++) {
            // Edge i -> i + 1 of p against edge k + 1 -> k of q.
            const Snapped& a = p.at[i];
            const Snapped& b = p.at[(i + 1) % 3];
            if (!SameCorner(a, q.at[(k + 1) % 3]) || !SameCorner(b, q.at[k]))
                continue;
            const Snapped& u = p.at[(i + 2) % 3]; // p's corner off the shared edge
            const Snapped& w = q.at[(k + 2) % 3]; // q's
            // Around the quad: a, w, b, u; convex where each turn keeps the sign of the areas.
            corner[0] = a;
            corner[1] = w;
            corner[2] = b;
            corner[3] = u;
            for (int m = 0; m < 4; m++)
                if (Turn(corner[m], corner[(m + 1) % 4], corner[(m + 2) % 4]) <= 0)
                    return false;
            return true;
        }
    return false;
}

// Shaders whose pairs making an upright rectangle go a row of the whole
// rectangle at a time (DrawUprightPair).
template <class Shader>
constexpr bool kUprightPairs = false;
template <>
constexpr bool kUprightPairs<TexturedShader<true, BlendMode::Over, SamplerMode::Linear>> = true;

constexpr int64_t kUprightRowsMax = 256;

// A pair of triangles making an upright rectangle, both Upright (a glyph at
// its own size), drawn as one rectangle of rows: each row one span from the
// same texel column, instead of two spans a row set up on their own. The
// pair covers the pixel centres the rectangle's edges enclose (MakeQuad),
// each once, the same columns in every row. A pixel gets the texel its own
// triangle gives it when, for both triangles, a span from any column c
// starts on the first column's texel plus one texel a column, and both
// put each row in the same texel row: both are checked first, with the
// very computations the spans make. False, drawing nothing, otherwise.
template <class Shader>
bool DrawUprightPair(const RasterJob& job, Shader& first, Shader& second, const Corners3& tp, const Corners3& tq)
{
    Snapped corner[4];
    if (!MakeQuad(tp, tq, corner))
        return false;
    for (int m = 0; m < 4; m++)
        if (corner[m].x != corner[(m + 1) % 4].x && corner[m].y != corner[(m + 1) % 4].y)
            return false;
    SetUpShader(first, tp);
    SetUpShader(second, tq);
    if (!first.Upright() || !second.Upright())
        return false;
    Outline<3> o;
    if (!SetUpOutline(job, corner, 4, o))
        return true; // no pixel centre inside the clip
    for (const Bound& b : o.first)
        if (b.vs != 0 || b.rs != 0)
            return false;
    for (const Bound& b : o.last)
        if (b.vs != 0 || b.rs != 0)
            return false;
    int64_t lo = 0, hi = 0;
    if (!o.Next(&lo, &hi))
        return true;
    if (o.row1 - o.row0 >= kUprightRowsMax)
        return false;
    const double py0 = o.row0 + 0.5;
    const int x0 = static_cast<int>(lo), x1 = static_cast<int>(hi + 1);
    const int64_t tx = first.StartX(x0, py0);
    for (int x = x0; x < x1; x++) {
        const int64_t want = tx + (x - x0) * int64_t{65536};
        if (first.StartX(x, py0) != want || second.StartX(x, py0) != want)
            return false;
    }
    int64_t ty[kUprightRowsMax];
    const int rows = static_cast<int>(o.row1 - o.row0 + 1);
    for (int j = 0; j < rows; j++) {
        ty[j] = first.StartY(x0, py0 + j);
        if (second.StartY(x0, py0 + j) != ty[j])
            return false;
    }
    uint32_t* row = job.target.pixels + static_cast<size_t>(o.row0) * job.target.pitch;
    for (int j = 0; j < rows; j++, row += job.target.pitch)
        first.SpanOneToOne(row, x0, x1, tx, ty[j]);
    return true;
}

// A strictly convex outline filled a row at a time with, on each side, only
// one edge whose rows' centre lines it meets, instead of all of them.
// Exact: take a row and x* where its centre line meets the outline's left
// side, on an edge a. Edge a covers from its bound on, and E_a(x*) = 0 with
// E_a growing along the row, so every column it covers has its centre xc at
// or right of x*. An edge j not through x* (in a strictly convex outline a
// point of the boundary lies on an edge's line only on that edge) has
// E_j(x*) > 0, so E_j(xc) > 0, a whole number, at least 1: its bound never
// binds. Where a corner lies on the row's centre line both its edges pass
// through x*, and both go up, so the rule is E >= 0 for both: either covers
// exactly the columns with xc >= x*. On the right every edge goes down, the
// rule is E >= 1, and the same holds mirrored.
struct ChainEdge {
    Bound b;
    const Snapped *p, *q;
    int64_t first, last; // the rows it bounds
};

// The first and last pixel (row or column) whose centre lies at or after v,
// at or before v, in sub-pixels.
RASTER_INLINE int64_t FirstCentreFrom(int64_t v)
{
    return (v - kSub / 2 + kSub - 1) >> 8;
}

RASTER_INLINE int64_t LastCentreTo(int64_t v)
{
    return (v - kSub / 2) >> 8;
}
static_assert(kSub == 256);

struct Chain {
    ChainEdge e[3]; // top to bottom
    int n = 0;

    RASTER_INLINE void Add(const Snapped& p, const Snapped& q)
    {
        ChainEdge& edge = e[n++];
        edge.p = &p;
        edge.q = &q;
        edge.first = FirstCentreFrom(std::min(p.y, q.y));
        edge.last = LastCentreTo(std::max(p.y, q.y));
    }

    // The upper edge p -> q and the lower r -> t of a side, meeting at height
    // middle, set up over the box's rows as Finish would.
    RASTER_INLINE void SetUpPair(const Snapped& p, const Snapped& q, const Snapped& r, const Snapped& t, int64_t middle,
                                 const OutlineBox& box)
    {
        const int64_t split = std::min(LastCentreTo(middle), box.row1); // the upper edge's last row
        n = 0;
        if (split >= box.row0) {
            e[0].first = box.row0;
            e[0].last = split;
            SetUpBound(p, q, box.row0 * kSub + kSub / 2, e[0].b);
            n = 1;
        }
        if (split < box.row1) {
            ChainEdge& lower = e[n++];
            lower.first = std::max(split + 1, box.row0);
            lower.last = box.row1;
            SetUpBound(r, t, lower.first * kSub + kSub / 2, lower.b);
        }
    }

    // Gives each row of the box to one edge, the upper where two share a
    // corner's row, and sets their bounds up; false unless the edges take
    // turns over every row, as the walk below counts on.
    bool Finish(const OutlineBox& box)
    {
        int kept = 0;
        int64_t next = box.row0;
        for (int k = 0; k < n; k++) {
            const int64_t first = std::max(e[k].first, next), last = std::min(e[k].last, box.row1);
            if (first > last)
                continue; // no row left to it
            if (first != next)
                return false;
            ChainEdge& edge = e[kept++];
            edge.p = e[k].p;
            edge.q = e[k].q;
            edge.first = first;
            edge.last = last;
            SetUpBound(*edge.p, *edge.q, first * kSub + kSub / 2, edge.b);
            next = last + 1;
        }
        n = kept;
        return n > 0 && next == box.row1 + 1;
    }
};

struct QuadRows {
    OutlineBox box;
    Chain left, right;
};

// Sets up a quad's chains (corners as MakeQuad gives them); false when it
// covers no pixel or the chains do not take turns over the rows. Round a
// strictly convex outline from its top corner, the edges going down (the
// right side) come first, top to bottom, then those going up (the left),
// bottom to top; horizontal ones bound no column.
bool SetUpQuadRows(const RasterJob& job, const Snapped* corner, QuadRows& q, bool* empty)
{
    // The rows and columns SetUpOutline finds for four corners, the level
    // edges' rows ruled out below.
    int top = 0;
    int64_t minY = corner[0].y, maxY = minY, minX = corner[0].x, maxX = minX;
    for (int i = 1; i < 4; i++) {
        if (corner[i].y < minY)
            top = i, minY = corner[i].y;
        maxY = std::max(maxY, corner[i].y);
        minX = std::min(minX, corner[i].x);
        maxX = std::max(maxX, corner[i].x);
    }
    OutlineBox& box = q.box;
    box.row0 = std::max<int64_t>(FirstCentreFrom(minY), job.clipY0);
    box.row1 = std::min<int64_t>(LastCentreTo(maxY), job.clipY1 - 1);
    box.colMin = std::max<int64_t>(FirstCentreFrom(minX), job.clipX0);
    box.colMax = std::min<int64_t>(LastCentreTo(maxX), job.clipX1 - 1);
    *empty = box.row0 > box.row1 || box.colMin > box.colMax;
    if (*empty)
        return false;
    // The rows' pixels are fetched while the edges are set up.
    for (int64_t j = box.row0; j <= box.row1; j++) {
        const uint32_t* row = job.target.pixels + static_cast<size_t>(j) * job.target.pitch;
        _mm_prefetch(reinterpret_cast<const char*>(row + box.colMin), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(row + box.colMax), _MM_HINT_T0);
    }
    const Snapped& c0 = corner[top];
    const Snapped& c1 = corner[(top + 1) & 3];
    const Snapped& c2 = corner[(top + 2) & 3];
    const Snapped& c3 = corner[(top + 3) & 3];
    if (c0.y < c1.y && c1.y < c2.y && c2.y > c3.y && c3.y > c0.y) {
        // Two edges a side and none level, as a thick line's segment mostly is:
        // what Add and Finish below make of them, without the loops.
        q.right.SetUpPair(c0, c1, c1, c2, c1.y, box);
        q.left.SetUpPair(c3, c0, c2, c3, c3.y, box);
        return true;
    }
    int ups[3], nUp = 0;
    for (int k = 0; k < 4; k++) {
        const int i = (top + k) & 3;
        const Snapped& p = corner[i];
        const Snapped& r = corner[(i + 1) & 3];
        if (r.y < p.y) {
            ups[nUp++] = i;
        } else if (r.y > p.y) {
            q.right.Add(p, r);
        } else if (r.x <= p.x && ((p.y - kSub / 2) & (kSub - 1)) == 0) {
            const int64_t row = p.y >> 8; // a level edge not at the top, on a row's centres
            if (row == box.row0)
                box.row0++;
            if (row == box.row1)
                box.row1--;
        }
    }
    *empty = box.row0 > box.row1;
    if (*empty)
        return false;
    while (nUp > 0) {
        const int i = ups[--nUp];
        q.left.Add(corner[i], corner[(i + 1) & 3]);
    }
    return q.left.Finish(box) && q.right.Finish(box);
}

template <class Shader>
void DrawQuadRows(const RasterJob& job, Shader& shader, QuadRows& q)
{
    ChainEdge* l = q.left.e;
    ChainEdge* r = q.right.e;
    uint32_t* row = job.target.pixels + static_cast<size_t>(q.box.row0) * job.target.pitch;
    for (int64_t j = q.box.row0; j <= q.box.row1; j++, row += job.target.pitch) {
        l += j > l->last;
        r += j > r->last;
        const int64_t lo = std::max(q.box.colMin, l->b.v), hi = std::min(q.box.colMax, r->b.v);
        l->b.Step();
        r->b.Step();
        if (lo <= hi)
            shader.Span(row, static_cast<int>(lo), static_cast<int>(hi + 1), j + 0.5);
    }
}

// A quad of one blend a pixel (corners from MakeQuad), its shader set up from
// the first triangle.
template <class Shader>
void DrawQuad(const RasterJob& job, Shader& shader, const Corners3& first, const Snapped* corner)
{
    QuadRows q;
    bool empty = false;
    if (SetUpQuadRows(job, corner, q, &empty)) {
        SetUpShader(shader, first);
        DrawQuadRows(job, shader, q);
        return;
    }
    Outline<3> o;
    if (!empty && SetUpOutline(job, corner, 4, o)) {
        SetUpShader(shader, first);
        DrawRows(job, shader, o);
    }
}

RASTER_INLINE bool SameXY(const RasterVertex& a, const RasterVertex& b)
{
    return a.x == b.x && a.y == b.y;
}

// A thick line's segment as the polyline drawer writes it, (A+, A-, B-) and
// (B+, A+, B-), with its four corners snapped once: the two triangles as
// SnapTriangle turns them and the quad MakeQuad makes of them, their one
// match being the shared edge A+ B-, from the same snapping, areas and
// culling. False for any other pair, or one the general path would not make
// a quad of.
struct SegmentPair {
    Corners3 p, q;
    Snapped corner[4];
    Snapped from, to; // the first triangle's edge along the shared one
};

bool SnapSegment(const RasterJob& job, const RasterVertex* const* p, const RasterVertex* const* q, SegmentPair& s)
{
    if (!SameXY(*q[1], *p[0]) || !SameXY(*q[2], *p[2]))
        return false;
    // The four corners at once. Finite and inside the guard square, each
    // coordinate times 256 lies within 2^28, where the 32-bit conversion
    // rounds as SnapCoordinate's 64-bit one does (to nearest, ties to even).
    const __m128 zero = _mm_setzero_ps();
    auto pair = [&zero](const RasterVertex* u, const RasterVertex* w) {
        return _mm_loadh_pi(_mm_loadl_pi(zero, reinterpret_cast<const __m64*>(&u->x)), reinterpret_cast<const __m64*>(&w->x));
    };
    const __m128 am = pair(p[0], p[1]), bb = pair(p[2], q[0]);
    const __m128 guard = _mm_set1_ps(kGuard), sign = _mm_set1_ps(-0.0f);
    const int inside = _mm_movemask_ps(_mm_and_ps(_mm_cmple_ps(_mm_andnot_ps(sign, am), guard),
                                                  _mm_cmple_ps(_mm_andnot_ps(sign, bb), guard)));
    if (inside != 0xF)
        return false;
    const __m128 sub = _mm_set1_ps(static_cast<float>(kSub));
    alignas(16) int32_t c[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(c), _mm_cvtps_epi32(_mm_mul_ps(am, sub)));
    _mm_store_si128(reinterpret_cast<__m128i*>(c + 4), _mm_cvtps_epi32(_mm_mul_ps(bb, sub)));
    const Snapped a{c[0], c[1]};  // A+
    const Snapped m{c[2], c[3]};  // A-
    const Snapped b{c[4], c[5]};  // B-
    const Snapped bp{c[6], c[7]}; // B+
    const int64_t first = Turn(a, m, b), second = Turn(bp, a, b);
    if (first == 0 || second == 0 || (first > 0) != (second > 0))
        return false;
    if ((first > 0 && job.cull == CullFace::Clockwise) || (first < 0 && job.cull == CullFace::CounterClockwise))
        return false;
    s.p.v[0] = p[0];
    s.p.at[0] = a;
    s.q.v[0] = q[0];
    s.q.at[0] = bp;
    if (first > 0) {
        s.p.v[1] = p[1], s.p.v[2] = p[2];
        s.p.at[1] = m, s.p.at[2] = b;
        s.p.area = first;
        s.q.v[1] = q[1], s.q.v[2] = q[2];
        s.q.at[1] = a, s.q.at[2] = b;
        s.q.area = second;
        s.corner[0] = b, s.corner[1] = bp, s.corner[2] = a, s.corner[3] = m;
        s.from = b, s.to = a;
    } else {
        s.p.v[1] = p[2], s.p.v[2] = p[1];
        s.p.at[1] = b, s.p.at[2] = m;
        s.p.area = -first;
        s.q.v[1] = q[2], s.q.v[2] = q[1];
        s.q.at[1] = b, s.q.at[2] = a;
        s.q.area = -second;
        s.corner[0] = a, s.corner[1] = bp, s.corner[2] = b, s.corner[3] = m;
        s.from = a, s.to = b;
    }
    for (int k = 0; k < 4; k++)
        if (Turn(s.corner[k], s.corner[(k + 1) % 4], s.corner[(k + 2) % 4]) <= 0)
            return false;
    return true;
}

// The segment of one blend a pixel, filled as its quad; false, having drawn
// nothing, when SnapSegment says no.
template <class Shader>
bool DrawSegmentQuad(const RasterJob& job, Shader& shader, const RasterVertex* const* p, const RasterVertex* const* q)
{
    SegmentPair s;
    if (!SnapSegment(job, p, q, s))
        return false;
    DrawQuad(job, shader, s.p, s.corner);
    return true;
}

// The segment of a shader whose pixels differ by triangle (dashes measured
// along each triangle, colours per corner): the quad's rows, each split
// where the shared edge crosses it. Exact: the quad covers what the two
// triangles cover together (see MakeQuad), and a pixel of it is the first
// triangle's exactly when it passes that triangle's rule for the shared edge:
// then it passes all three of its edges, the other two being the quad's own.
// Otherwise it is the second's, the opposite rule taking every centre on the
// edge the first leaves. False, having drawn nothing, when SnapSegment says
// no or the shared edge is level (it would split rows, not columns).
template <class Shader>
bool DrawSegmentSplit(const RasterJob& job, Shader& first, Shader& second, const RasterVertex* const* p,
                      const RasterVertex* const* q)
{
    SegmentPair s;
    if (!SnapSegment(job, p, q, s))
        return false;
    const Snapped& from = s.from;
    const Snapped& to = s.to;
    if (from.y == to.y)
        return false;
    QuadRows rows;
    bool empty = false;
    if (!SetUpQuadRows(job, s.corner, rows, &empty))
        return empty; // nothing to draw, or the general path to take
    Bound shared;
    SetUpBound(from, to, rows.box.row0 * kSub + kSub / 2, shared);
    const bool firstFrom = to.y < from.y; // going up: the first triangle lies right of it
    SetUpShader(first, s.p);
    SetUpShader(second, s.q);
    ChainEdge* l = rows.left.e;
    ChainEdge* r = rows.right.e;
    uint32_t* row = job.target.pixels + static_cast<size_t>(rows.box.row0) * job.target.pitch;
    for (int64_t j = rows.box.row0; j <= rows.box.row1; j++, row += job.target.pitch) {
        l += j > l->last;
        r += j > r->last;
        const int64_t lo = std::max(rows.box.colMin, l->b.v), hi = std::min(rows.box.colMax, r->b.v);
        const int64_t split = shared.v;
        l->b.Step();
        r->b.Step();
        shared.Step();
        const double py = j + 0.5;
        const int64_t lo1 = firstFrom ? std::max(lo, split) : lo, hi1 = firstFrom ? hi : std::min(hi, split);
        const int64_t lo2 = firstFrom ? lo : std::max(lo, split + 1), hi2 = firstFrom ? std::min(hi, split - 1) : hi;
        if (lo1 <= hi1)
            first.Span(row, static_cast<int>(lo1), static_cast<int>(hi1 + 1), py);
        if (lo2 <= hi2)
            second.Span(row, static_cast<int>(lo2), static_cast<int>(hi2 + 1), py);
    }
    return true;
}

// Shaders whose pixels differ by triangle, whose segments go as split quads.
template <class Shader>
constexpr bool kSplitSegments = false;
template <bool Flat, BlendMode B>
constexpr bool kSplitSegments<DashedShader<Flat, B>> = true;
template <BlendMode B>
constexpr bool kSplitSegments<ColourShader<false, B>> = true;

// Two triangles drawn row by row together, each row the first's span before
// the second's: every pixel gets its blends in the order of the triangles
// one after the other, while a thick line's or a quad's two halves take one
// pass over the rows (and, of one colour, one span a row).
template <class Shader>
void DrawPair(const RasterJob& job, Shader& first, Shader& second, const RasterVertex* const* p,
              const RasterVertex* const* q)
{
    if constexpr (kOneBlendPerPixel<Shader>)
        if (DrawSegmentQuad(job, first, p, q))
            return;
    if constexpr (kSplitSegments<Shader>)
        if (DrawSegmentSplit(job, first, second, p, q))
            return;
    Corners3 tp, tq;
    Prepared a = SnapTriangle(job, *p[0], *p[1], *p[2], tp);
    Prepared b = a == Prepared::Clip ? Prepared::Clip : SnapTriangle(job, *q[0], *q[1], *q[2], tq);
    if (a == Prepared::Clip || b == Prepared::Clip) {
        DrawTriangle(job, first, *p[0], *p[1], *p[2]);
        DrawTriangle(job, second, *q[0], *q[1], *q[2]);
        return;
    }
    if constexpr (kUprightPairs<Shader>) {
        if (a == Prepared::Ready && b == Prepared::Ready && DrawUprightPair(job, first, second, tp, tq))
            return;
    }
    if constexpr (kOneBlendPerPixel<Shader>) {
        Snapped corner[4];
        if (a == Prepared::Ready && b == Prepared::Ready && MakeQuad(tp, tq, corner)) {
            DrawQuad(job, first, tp, corner);
            return;
        }
    }
    Outline<2> r, s;
    const bool one = a == Prepared::Ready && SetUpOutline(job, tp.at, 3, r);
    const bool two = b == Prepared::Ready && SetUpOutline(job, tq.at, 3, s);
    if (one)
        SetUpShader(first, tp);
    if (two)
        SetUpShader(second, tq);
    if (!one || !two || r.row1 < s.row0 || s.row1 < r.row0) {
        if (one)
            DrawRows(job, first, r);
        if (two)
            DrawRows(job, second, s);
        return;
    }
    const int64_t j0 = std::min(r.row0, s.row0), j1 = std::max(r.row1, s.row1);
    uint32_t* row = job.target.pixels + static_cast<size_t>(j0) * job.target.pitch;
    for (int64_t j = j0; j <= j1; j++, row += job.target.pitch) {
        int64_t lo1 = 0, hi1 = -1, lo2 = 0, hi2 = -1;
        const bool in1 = j >= r.row0 && j <= r.row1 && r.Next(&lo1, &hi1);
        const bool in2 = j >= s.row0 && j <= s.row1 && s.Next(&lo2, &hi2);
        const double py = j + 0.5;
        if constexpr (kOneBlendPerPixel<Shader>) {
            if (in1 && in2 && (hi1 + 1 == lo2 || hi2 + 1 == lo1)) {
                first.Span(row, static_cast<int>(std::min(lo1, lo2)), static_cast<int>(std::max(hi1, hi2) + 1), py);
                continue;
            }
        }
        if constexpr (kSpansJoin<Shader>) {
            if (in1 && in2) {
                JoinedSpans(first, second, row, static_cast<int>(lo1), static_cast<int>(hi1), static_cast<int>(lo2),
                            static_cast<int>(hi2), py);
                continue;
            }
        }
        if (in1)
            first.Span(row, static_cast<int>(lo1), static_cast<int>(hi1 + 1), py);
        if (in2)
            second.Span(row, static_cast<int>(lo2), static_cast<int>(hi2 + 1), py);
    }
}

enum class Assembly { List, Strip };

// Triangle i's corners in the order it is drawn (a strip's odd triangles
// with their first two swapped).
RASTER_INLINE void Corners(const RasterVertex* v, Assembly assembly, int i, const RasterVertex** c)
{
    if (assembly == Assembly::List) {
        c[0] = v + 3 * i;
        c[1] = c[0] + 1;
        c[2] = c[0] + 2;
    } else {
        c[0] = v + i + (i % 2);
        c[1] = v + i + 1 - (i % 2);
        c[2] = v + i + 2;
    }
}

int TriangleCount(int count, Assembly assembly)
{
    return assembly == Assembly::List ? std::max(count, 0) / 3 : std::max(count - 2, 0);
}

// The triangles a call draws: all, or those listed (ascending, each less base).
struct TriangleSelection {
    const int32_t* list = nullptr;
    int n = 0;
    int32_t base = 0;
};

// Triangles ahead of the one drawn whose vertices are fetched meanwhile.
constexpr int kFetchAhead = 6;

RASTER_INLINE void PrefetchTriangle(const RasterVertex* v, Assembly assembly, int i)
{
    const auto* first = reinterpret_cast<const char*>(v + (assembly == Assembly::List ? 3 * i : i));
    _mm_prefetch(first, _MM_HINT_T0);
    _mm_prefetch(first + 3 * sizeof(RasterVertex) - 1, _MM_HINT_T0);
}

// Whether triangles are drawn one by one, as the plainest path (tests compare against it).
std::atomic<bool> g_plain{false};

template <class Shader>
void DrawAll(const RasterJob& job, Shader& shader, const RasterVertex* v, int count, Assembly assembly,
             const TriangleSelection& which)
{
    const int n = which.list ? which.n : TriangleCount(count, assembly);
    auto at = [&which](int k) { return which.list ? which.list[k] - which.base : k; };
    const bool pairs = !g_plain.load(std::memory_order_relaxed);
    Shader second = shader;
    const RasterVertex* p[3];
    const RasterVertex* q[3];
    for (int k = 0; k < n;) {
        const int i = at(k);
        // A band's triangles lie scattered over a batch's vertices: fetch ahead.
        if (which.list && k + kFetchAhead < n)
            PrefetchTriangle(v, assembly, at(k + kFetchAhead));
        Corners(v, assembly, i, p);
        if (pairs && k + 1 < n && at(k + 1) == i + 1) {
            Corners(v, assembly, i + 1, q);
            DrawPair(job, shader, second, p, q);
            k += 2;
        } else {
            DrawTriangle(job, shader, *p[0], *p[1], *p[2]);
            k++;
        }
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
void DispatchProgram(const RasterJob& job, const RasterVertex* v, int count, Assembly assembly,
                     const TriangleSelection& which)
{
    switch (job.pass.program) {
    case PixelProgram::Colour: {
        ColourShader<Flat, B> shader;
        shader.rowWidth = job.target.width;
        DrawAll(job, shader, v, count, assembly, which);
        break;
    }
    case PixelProgram::Dashed: {
        DashedShader<Flat, B> shader;
        shader.on = job.pass.dashOn;
        shader.period = job.pass.dashOn + job.pass.dashOff;
        if (!(shader.period > 0)) // no pattern: draw solid
            shader.on = shader.period = 1;
        DrawAll(job, shader, v, count, assembly, which);
        break;
    }
    case PixelProgram::Textured: {
        if (!job.texture.texels || job.texture.width <= 0 || job.texture.height <= 0)
            return; // an unbound texture samples as nothing
        if (job.pass.sampler == SamplerMode::Point) {
            TexturedShader<Flat, B, SamplerMode::Point> shader;
            shader.tex = job.texture;
            DrawAll(job, shader, v, count, assembly, which);
        } else {
            TexturedShader<Flat, B, SamplerMode::Linear> shader;
            shader.tex = job.texture;
            DrawAll(job, shader, v, count, assembly, which);
        }
        break;
    }
    case PixelProgram::Terrain: {
        if (!job.texture.texels || job.texture.width <= 0 || job.texture.height <= 0 || !job.terrain)
            return;
        TerrainShader<B> shader;
        shader.constants = job.terrain;
        shader.tex = job.texture;
        DrawAll(job, shader, v, count, assembly, which);
        break;
    }
    }
}

void RasterizeRows(const RasterJob& job, const RasterVertex* v, int count, Assembly assembly, bool flat,
                   const TriangleSelection& which = {})
{
    if (job.pass.blend == BlendMode::Over) {
        if (flat)
            DispatchProgram<BlendMode::Over, true>(job, v, count, assembly, which);
        else
            DispatchProgram<BlendMode::Over, false>(job, v, count, assembly, which);
    } else {
        if (flat)
            DispatchProgram<BlendMode::OverStraight, true>(job, v, count, assembly, which);
        else
            DispatchProgram<BlendMode::OverStraight, false>(job, v, count, assembly, which);
    }
}

// One draw of a batch as the bands see it.
struct BandDraw {
    RasterJob job;
    const RasterVertex* v = nullptr;
    int count = 0;
    Assembly assembly = Assembly::List;
    bool flat = false;
};

// Notes each triangle's rows in rows (two words a triangle; an empty range
// for one that draws nothing): the range holds every row whose pixel
// centres the snapped triangle can cover. Returns about the pixels the draw
// covers inside the clip rectangle (each triangle's area, at most its
// clipped bounding box) and widens [row0, row1) by its rows.
double MeasureDraw(const BandDraw& d, std::vector<int32_t>& rows, int* row0, int* row1)
{
    const RasterJob& job = d.job;
    const int n = TriangleCount(d.count, d.assembly);
    const size_t first = rows.size();
    rows.resize(first + 2 * static_cast<size_t>(n), 0);
    if (!job.target.pixels || job.clipX0 >= job.clipX1 || job.clipY0 >= job.clipY1)
        return 0;
    int32_t* out = rows.data() + first;
    double pixels = 0;
    // The clip edges are whole pixels well inside float's exact integers, and
    // the least and greatest of floats are floats: the bounds come out as the
    // doubles they would be, without converting every corner.
    const float clipX0 = static_cast<float>(job.clipX0), clipX1 = static_cast<float>(job.clipX1);
    const float clipY0 = static_cast<float>(job.clipY0), clipY1 = static_cast<float>(job.clipY1);
    int low = *row0, high = *row1;
    const RasterVertex* c[3];
    for (int i = 0; i < n; i++, out += 2) {
        Corners(d.v, d.assembly, i, c);
        const RasterVertex &a = *c[0], &b = *c[1], &e = *c[2];
        // v - v is 0 for a finite v and NaN for any other, which the sum keeps.
        if ((a.x - a.x) + (a.y - a.y) + (b.x - b.x) + (b.y - b.y) + (e.x - e.x) + (e.y - e.y) != 0.0f)
            continue;
        const float x0 = std::max(std::min(std::min(a.x, b.x), e.x), clipX0);
        const float x1 = std::min(std::max(std::max(a.x, b.x), e.x), clipX1);
        const float y0 = std::max(std::min(std::min(a.y, b.y), e.y), clipY0);
        const float y1 = std::min(std::max(std::max(a.y, b.y), e.y), clipY1);
        if (x0 >= x1 || y0 >= y1)
            continue;
        double area = std::fabs((double(b.x) - a.x) * (double(e.y) - a.y) - (double(e.x) - a.x) * (double(b.y) - a.y));
        pixels += std::min(area / 2, (double(x1) - x0) * (double(y1) - y0));
        // floor(y0) and ceil(y1), both inside the clip rows.
        int32_t top = static_cast<int32_t>(y0), bottom = static_cast<int32_t>(y1);
        top -= static_cast<float>(top) > y0;
        bottom += static_cast<float>(bottom) < y1;
        out[0] = top;
        out[1] = bottom;
        low = std::min(low, top);
        high = std::max(high, bottom);
    }
    *row0 = low;
    *row1 = high;
    return pixels;
}

// The triangles of a batch sorted into bands of rows: each band holds, in
// draw order, the triangles that can touch it.
struct Bands {
    int row0 = 0, row1 = 0, bandRows = 1, count = 0;
    std::vector<uint32_t> start; // count + 1: a band's first entry
    std::vector<int32_t> entries; // triangle numbers across the batch
    std::vector<uint32_t> cursor;

    void Sort(const std::vector<int32_t>& rows)
    {
        start.assign(static_cast<size_t>(count) + 1, 0);
        const size_t n = rows.size() / 2;
        for (size_t t = 0; t < n; t++)
            if (rows[2 * t] < rows[2 * t + 1])
                for (int b = First(rows[2 * t]), last = Last(rows[2 * t + 1]); b <= last; b++)
                    start[static_cast<size_t>(b) + 1]++;
        for (int b = 0; b < count; b++)
            start[static_cast<size_t>(b) + 1] += start[static_cast<size_t>(b)];
        entries.resize(start.back());
        cursor.assign(start.begin(), start.end() - 1);
        for (size_t t = 0; t < n; t++)
            if (rows[2 * t] < rows[2 * t + 1])
                for (int b = First(rows[2 * t]), last = Last(rows[2 * t + 1]); b <= last; b++)
                    entries[cursor[static_cast<size_t>(b)]++] = static_cast<int32_t>(t);
    }
    int First(int32_t r0) const { return (r0 - row0) / bandRows; }
    int Last(int32_t r1) const { return (r1 - 1 - row0) / bandRows; }
};

struct BandedDraws {
    const BandDraw* draws;
    int n;
    const int32_t* firstTriangle; // n + 1: each draw's first triangle number
    const Bands* bands;
};

// One band: every draw's triangles over it, in draw order, clipped to its rows.
void RasterizeBand(void* arg, int band)
{
    const BandedDraws& d = *static_cast<const BandedDraws*>(arg);
    const Bands& b = *d.bands;
    const int y0 = b.row0 + band * b.bandRows, y1 = std::min(y0 + b.bandRows, b.row1);
    const int32_t* e = b.entries.data() + b.start[static_cast<size_t>(band)];
    const int32_t* end = b.entries.data() + b.start[static_cast<size_t>(band) + 1];
    if (e == end)
        return;
    int k = static_cast<int>(std::upper_bound(d.firstTriangle, d.firstTriangle + d.n + 1, *e) - d.firstTriangle) - 1;
    while (e < end) {
        while (*e >= d.firstTriangle[k + 1])
            k++;
        const int32_t* group = e;
        while (e < end && *e < d.firstTriangle[k + 1])
            e++;
        const BandDraw& w = d.draws[k];
        RasterJob job = w.job;
        job.clipY0 = std::max(job.clipY0, y0);
        job.clipY1 = std::min(job.clipY1, y1);
        if (job.clipY0 < job.clipY1)
            RasterizeRows(job, w.v, w.count, w.assembly, w.flat,
                          TriangleSelection{group, static_cast<int>(e - group), d.firstTriangle[k]});
    }
}

// Bytes of target rows a band holds at most: a band stays in the processor's
// own cache while every triangle over it is drawn, instead of each thin line
// fetching its rows anew. At least kMinBandRows a band, and enough bands
// that a thread finishing early finds another one.
constexpr int kBandBytes = 128 * 1024;
constexpr int64_t kBandTriangles = 4;
constexpr int kMinBandRows = 4;
constexpr int kBandsPerThread = 4;

// Draws the draws in order into one target; those that together cover at
// least splitPixels go band by band, the bands shared among the threads
// from kShareFactor times that.
void RasterizeDraws(const BandDraw* draws, int n, RasterBands* threads, int64_t splitPixels)
{
    // The caller's thread only: the context is used from one thread.
    static thread_local std::vector<int32_t> rows, firstTriangle;
    static thread_local Bands bands;
    const bool plain = g_plain.load(std::memory_order_relaxed);
    const int workers = threads && !plain ? threads->Threads() : 1;
    if (!plain) {
        rows.clear();
        firstTriangle.clear();
        double pixels = 0;
        int row0 = INT32_MAX, row1 = INT32_MIN, pitch = 0;
        for (int i = 0; i < n; i++) {
            firstTriangle.push_back(static_cast<int32_t>(rows.size() / 2));
            pixels += MeasureDraw(draws[i], rows, &row0, &row1);
            pitch = std::max(pitch, draws[i].job.target.pitch);
        }
        firstTriangle.push_back(static_cast<int32_t>(rows.size() / 2));
        const int span = row1 > row0 ? row1 - row0 : 0; // nothing measured leaves them apart
        int bandRows = std::max(kMinBandRows, kBandBytes / std::max(4 * pitch, 1));
        // A triangle over several bands is set up in each: bands keep to a
        // few times the triangles' height.
        int64_t tall = 0, counted = 0;
        for (size_t t = 0; t < rows.size(); t += 2)
            if (rows[t] < rows[t + 1]) {
                tall += rows[t + 1] - rows[t];
                counted++;
            }
        if (counted > 0)
            bandRows = std::max<int>(bandRows, static_cast<int>(kBandTriangles * tall / counted));
        const bool share = workers > 1 && pixels >= static_cast<double>(splitPixels) * kShareFactor;
        if (share)
            bandRows = std::max(kMinBandRows, std::min(bandRows, span / (workers * kBandsPerThread)));
        if (span > 0 && pixels >= static_cast<double>(splitPixels) && span > bandRows) {
            bands.row0 = row0;
            bands.row1 = row1;
            bands.bandRows = bandRows;
            bands.count = (span + bandRows - 1) / bandRows;
            bands.Sort(rows);
            BandedDraws d{draws, n, firstTriangle.data(), &bands};
            if (share)
                threads->Run(RasterizeBand, &d, bands.count);
            else
                for (int b = 0; b < bands.count; b++)
                    RasterizeBand(&d, b);
            return;
        }
    }
    for (int i = 0; i < n; i++) {
        const BandDraw& w = draws[i];
        if (w.job.target.pixels && w.count >= 3 && w.job.clipX0 < w.job.clipX1 && w.job.clipY0 < w.job.clipY1)
            RasterizeRows(w.job, w.v, w.count, w.assembly, w.flat);
    }
}

void Rasterize(const RasterJob& job, const RasterVertex* v, int count, Assembly assembly)
{
    if (!job.target.pixels || count < 3 || job.clipX0 >= job.clipX1 || job.clipY0 >= job.clipY1)
        return;
    BandDraw d{job, v, count, assembly, FlatColour(v, count)};
    RasterizeDraws(&d, 1, job.bands, job.splitPixels);
}

} // namespace

void RasterizeRuns(const RasterRun* runs, int n, RasterBands* bands, int64_t splitPixels)
{
    if (n <= 0)
        return;
    // A batch holds whole triangles; the bands' row bookkeeping counts on it.
    for (int i = 0; i < n; i++)
        TVL_ASSERT(runs[i].count >= 0 && runs[i].count % 3 == 0);
    // The caller's thread only, like the context.
    static thread_local std::vector<BandDraw> draws;
    draws.clear();
    for (int i = 0; i < n; i++)
        draws.push_back(BandDraw{runs[i].job, runs[i].vertices, runs[i].count, Assembly::List, runs[i].flat});
    RasterizeDraws(draws.data(), n, bands, splitPixels);
}

void RasterizeTriangleSources(const RasterJob& job, const RasterVertex* triangle)
{
    if (!job.target.pixels || job.clipX0 >= job.clipX1 || job.clipY0 >= job.clipY1 || !job.texture.texels ||
        job.texture.width <= 0 || job.texture.height <= 0)
        return;
    const uint32_t colour = triangle[0].colour;
    if (triangle[1].colour != colour || triangle[2].colour != colour)
        return;
    if (job.pass.sampler == SamplerMode::Point) {
        TexturedShader<true, BlendMode::Source, SamplerMode::Point> shader;
        shader.tex = job.texture;
        DrawTriangle(job, shader, triangle[0], triangle[1], triangle[2]);
    } else {
        TexturedShader<true, BlendMode::Source, SamplerMode::Linear> shader;
        shader.tex = job.texture;
        DrawTriangle(job, shader, triangle[0], triangle[1], triangle[2]);
    }
}

void RasterizeOneByOne(bool on)
{
    g_plain.store(on);
}

void RasterizeTexturedPixelByPixel(bool on)
{
    g_plainSpans.store(on);
}

bool RasterizingTexturedPixelByPixel()
{
    return g_plainSpans.load(std::memory_order_relaxed);
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

void BuildClearCells(const uint8_t* runs, int width, int height, uint8_t* cells)
{
    // A clear run of two or more from a texel: it and the one right of it have alpha 0.
    for (int y = 0; y < height; y++) {
        const uint8_t* top = runs + static_cast<size_t>(y) * width;
        const uint8_t* below = y + 1 < height ? top + width : nullptr;
        uint8_t* out = cells + static_cast<size_t>(y) * width;
        if (!below) {
            std::memset(out, 0, static_cast<size_t>(width));
            continue;
        }
        for (int x = 0; x < width; x++)
            out[x] = (static_cast<uint8_t>(top[x] - 0x42) < 0x3E) & (static_cast<uint8_t>(below[x] - 0x42) < 0x3E);
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
