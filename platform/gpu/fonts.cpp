// The font wrapper and text layout stand-in (see fonts.h). A draw lays the
// text out in its layout space (lines at line ends, pens at fractional
// advances), maps that space onto target pixels by one affine map, and blends
// cached glyph coverage straight into the bound target's texels: glyph by
// glyph at quarter-pixel pens when the map only moves, by bilinear sampling
// of the coverage when it turns or scales. Nothing of the context's state is
// touched, so every draw restores the state it found.
#include "platform/gpu/fonts.h"

#include "platform/gpu/draw_memo.h"
#include "platform/gpu/font_faces.h"
#include "platform/gpu/gpu_objects.h"
#include "platform/gpu/pixel_blend.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <deque>
#include <emmintrin.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// ---- faces by family and weight ----------------------------------------------

struct OpenFace {
    std::string path;
    int index;
    FontFace* face;
};

struct ResolvedFont {
    std::string family;
    int weight;
    FontFace* face; // owned by g_faces
    bool embolden;
};

// Faces stay open for the life of the process (font_faces closes them at
// exit); re-creating the device finds them again. GUI thread.
struct FaceTable {
    std::vector<OpenFace> open;
    std::deque<ResolvedFont> resolved; // entries never move
    int generation = 0;                // of the font files the entries were resolved against
};

FaceTable g_faces;

std::string ToUtf8(const WCHAR* text)
{
    std::string out;
    for (; text && *text; text++) {
        char32_t c = *text;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

FontFace* OpenOnce(const char* path, int index)
{
    for (OpenFace& f : g_faces.open)
        if (f.path == path && f.index == index)
            return f.face;
    FontFace* face = OpenFontFace(path, index);
    if (face)
        g_faces.open.push_back({path, index, face});
    return face;
}

// The face that family and weight resolve to, or null when none can be read.
const ResolvedFont* ResolveFont(const std::string& family, int weight)
{
    if (g_faces.generation != FontFileGeneration()) {
        g_faces.resolved.clear();
        g_faces.generation = FontFileGeneration();
    }
    for (ResolvedFont& r : g_faces.resolved)
        if (r.family == family && r.weight == weight)
            return r.face ? &r : nullptr;
    char path[1024];
    int index = 0;
    FontFace* face = nullptr;
    if (FindFontFile(family.c_str(), weight, path, sizeof(path), &index, nullptr, 0))
        face = OpenOnce(path, index);
    bool embolden = face && weight >= 600 && FontFaceWeight(face) < 600;
    g_faces.resolved.push_back({family, weight, face, embolden});
    return face ? &g_faces.resolved.back() : nullptr;
}

bool UsableSize(float size)
{
    return std::isfinite(size) && size > 0.0f && size <= kMaxFontPixels;
}

// ---- layout ---------------------------------------------------------------------

struct PlacedGlyph {
    char32_t codePoint;
    float x;    // pen, from the line's start
    int line;
};

// Text laid out from the top left of its block: lines of glyphs with their
// widths; baseline of line k at ascent + k x lineHeight.
struct TextBlock {
    std::vector<PlacedGlyph> glyphs;
    std::vector<float> lineWidths;
    float ascent = 0, lineHeight = 0;
};

bool LayOut(const ResolvedFont& font, float size, const WCHAR* text, size_t length, TextBlock* block)
{
    FontLineMetrics m;
    if (!GetFontLineMetrics(font.face, size, &m))
        return false;
    TrimGlyphCache(font.face);
    block->ascent = m.ascent;
    block->lineHeight = m.ascent + m.descent + m.lineGap;
    float pen = 0;
    int line = 0;
    for (size_t i = 0; i < length && text[i]; i++) {
        char32_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < length && text[i + 1] == u'\n')
                i++;
            block->lineWidths.push_back(pen);
            pen = 0;
            line++;
            continue;
        }
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
            continue; // other control characters take no room
        const GlyphImage* g = GetGlyph(font.face, size, c, 0, font.embolden);
        if (!g)
            continue;
        block->glyphs.push_back({c, pen, line});
        pen += g->advance;
    }
    block->lineWidths.push_back(pen);
    return true;
}

// Moves each line by the alignment flags within a box of boxWidth x boxHeight
// whose top left is the layout space's origin.
void Align(TextBlock& block, UINT flags, float boxWidth, float boxHeight, float* lineX, float* top)
{
    float height = block.lineHeight * static_cast<float>(block.lineWidths.size());
    *top = (flags & FW1_VCENTER) ? (boxHeight - height) / 2 : 0.0f;
    for (size_t k = 0; k < block.lineWidths.size(); k++) {
        float w = block.lineWidths[k];
        lineX[k] = (flags & FW1_CENTER) ? (boxWidth - w) / 2 : (flags & FW1_RIGHT) ? boxWidth - w : 0.0f;
    }
}

// ---- the target and the map onto it ----------------------------------------------

// px = a x + b y + e, py = c x + d y + f.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    bool Moves() const { return a == 1 && d == 1 && b == 0 && c == 0; }

    // A transform built in floats that only moves comes out a hair off; snap
    // it, so that it draws exactly as the same text placed without one.
    void Snap()
    {
        const double eps = 1e-5;
        if (std::fabs(a - 1) < eps && std::fabs(d - 1) < eps && std::fabs(b) < eps && std::fabs(c) < eps) {
            a = d = 1;
            b = c = 0;
            e = std::round(e * 4096) / 4096;
            f = std::round(f * 4096) / 4096;
        }
    }
};

struct TextTarget {
    uint32_t* texels = nullptr;
    int width = 0, height = 0;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0; // pixels that may change, [x0, x1) x [y0, y1)
    Affine map;
};

// The bound target, its writable pixels and the map from layout space.
bool BindTarget(ID3D11DeviceContext* context, const FLOAT* transform, TextTarget* t)
{
    if (!context)
        return false;
    ID3D11RenderTargetView* view = nullptr;
    context->OMGetRenderTargets(1, &view, nullptr);
    auto* rtv = dynamic_cast<GpuRenderTargetView*>(view);
    bool ok = rtv && rtv->texture_ && !rtv->texture_->mapped_;
    if (ok) {
        GpuTexture* tex = rtv->texture_;
        t->texels = tex->texels_.get(); // the view keeps the texture alive beyond this call
        t->width = tex->Width();
        t->height = tex->Height();
    }
    if (view)
        view->Release();
    if (!ok)
        return false;
    D3D11_VIEWPORT vp{0, 0, static_cast<FLOAT>(t->width), static_cast<FLOAT>(t->height), 0, 1};
    UINT count = 1;
    context->RSGetViewports(&count, &vp);
    if (count == 0)
        vp = {0, 0, static_cast<FLOAT>(t->width), static_cast<FLOAT>(t->height), 0, 1};
    auto edge = [](double v) { return static_cast<int>(std::ceil(std::clamp(v, -1.0e7, 1.0e7) - 0.5)); };
    t->x0 = std::max(0, edge(vp.TopLeftX));
    t->y0 = std::max(0, edge(vp.TopLeftY));
    t->x1 = std::min(t->width, edge(static_cast<double>(vp.TopLeftX) + vp.Width));
    t->y1 = std::min(t->height, edge(static_cast<double>(vp.TopLeftY) + vp.Height));
    if (!transform) {
        t->map = Affine{1, 0, 0, 1, vp.TopLeftX, vp.TopLeftY};
        return true;
    }
    // Clip space of the row-vector transform, then the viewport; the
    // transforms that text gets are affine, so w is read at the origin.
    const FLOAT* m = transform;
    double w = m[15];
    if (!(std::fabs(w) > 1e-12) || !std::isfinite(w))
        return false;
    double hw = vp.Width / 2.0, hh = vp.Height / 2.0;
    Affine& A = t->map;
    A.a = m[0] / w * hw;
    A.b = m[4] / w * hw;
    A.e = (m[12] / w + 1) * hw + vp.TopLeftX;
    A.c = -m[1] / w * hh;
    A.d = -m[5] / w * hh;
    A.f = (1 - m[13] / w) * hh + vp.TopLeftY;
    for (double v : {A.a, A.b, A.c, A.d, A.e, A.f})
        if (!std::isfinite(v))
            return false;
    A.Snap();
    return true;
}

void ClipTo(TextTarget& t, const FW1_RECTF* clip)
{
    if (!clip)
        return;
    const Affine& A = t.map;
    double xs[4], ys[4];
    const double cx[4] = {clip->Left, clip->Right, clip->Left, clip->Right};
    const double cy[4] = {clip->Top, clip->Top, clip->Bottom, clip->Bottom};
    for (int k = 0; k < 4; k++) {
        xs[k] = A.a * cx[k] + A.b * cy[k] + A.e;
        ys[k] = A.c * cx[k] + A.d * cy[k] + A.f;
    }
    auto lo = [](const double* v) { return std::ceil(std::clamp(*std::min_element(v, v + 4), -1.0e7, 1.0e7) - 0.5); };
    auto hi = [](const double* v) { return std::ceil(std::clamp(*std::max_element(v, v + 4), -1.0e7, 1.0e7) - 0.5); };
    t.x0 = std::max(t.x0, static_cast<int>(lo(xs)));
    t.x1 = std::min(t.x1, static_cast<int>(hi(xs)));
    t.y0 = std::max(t.y0, static_cast<int>(lo(ys)));
    t.y1 = std::min(t.y1, static_cast<int>(hi(ys)));
}

// Whether glyphs under a turning or scaling map are sampled at every pixel
// of their box, the plainest way, which the faster one must match (tests).
std::atomic<bool> g_plainGlyphs{false};

// While a text's source words are being kept (a scratch target, see
// DrawKeptText), each pixel gets the word it would blend. GUI thread.
bool g_keepingTextSources = false;

inline __attribute__((always_inline)) void BlendCoverage(uint32_t* dst, uint32_t colour, uint32_t coverage)
{
    uint32_t a = (coverage * (colour >> 24) + 127) / 255;
    if (a == 0)
        return;
    const uint32_t word = (colour & 0x00FFFFFFu) | (a << 24);
    if (g_keepingTextSources) {
        *dst = word;
        return;
    }
    // Straight alpha keeps text right on a transparent snapshot target too.
    *dst = OverStraightInline(word, *dst);
}

// A glyph at a whole pixel: its coverage blended in row by row.
void BlitGlyph(const TextTarget& t, const GlyphImage& g, int left, int top, uint32_t colour)
{
    int xa = std::max(left, t.x0), xb = std::min(left + g.width, t.x1);
    int ya = std::max(top, t.y0), yb = std::min(top + g.height, t.y1);
    for (int y = ya; y < yb; y++) {
        const uint8_t* src = g.coverage + static_cast<size_t>(y - top) * g.width - left;
        uint32_t* row = t.texels + static_cast<size_t>(y) * t.width;
        for (int x = xa; x < xb; x++)
            if (src[x])
                BlendCoverage(row + x, colour, src[x]);
    }
}

inline uint32_t CoverageAt(const GlyphImage& g, int x, int y)
{
    if (x < 0 || y < 0 || x >= g.width || y >= g.height)
        return 0;
    return g.coverage[static_cast<size_t>(y) * g.width + x];
}

// The glyph's box on the target under the map, widened by a pixel and cut
// to the writable pixels: [xa, xb) x [ya, yb).
struct SampleBox {
    int xa, xb, ya, yb;
};

SampleBox BoxOnTarget(const TextTarget& t, const GlyphImage& g, double gx, double gy)
{
    const Affine& A = t.map;
    double xs[4], ys[4];
    for (int k = 0; k < 4; k++) {
        double lx = gx + ((k & 1) ? g.width : 0), ly = gy + ((k & 2) ? g.height : 0);
        xs[k] = A.a * lx + A.b * ly + A.e;
        ys[k] = A.c * lx + A.d * ly + A.f;
    }
    auto bound = [](double v) { return static_cast<int>(std::floor(std::clamp(v, -1.0e7, 1.0e7))); };
    return {std::max(t.x0, bound(*std::min_element(xs, xs + 4)) - 1),
            std::min(t.x1, bound(*std::max_element(xs, xs + 4)) + 2),
            std::max(t.y0, bound(*std::min_element(ys, ys + 4)) - 1),
            std::min(t.y1, bound(*std::max_element(ys, ys + 4)) + 2)};
}

// The bilinear coverage at (u, v) of the glyph, for one target pixel; u, v
// inside (-1, width) x (-1, height).
inline uint32_t SampledCoverage(const GlyphImage& g, double u, double v)
{
    int iu = static_cast<int>(std::floor(u)), iv = static_cast<int>(std::floor(v));
    double fu = u - iu, fv = v - iv;
    double c = (CoverageAt(g, iu, iv) * (1 - fu) + CoverageAt(g, iu + 1, iv) * fu) * (1 - fv) +
               (CoverageAt(g, iu, iv + 1) * (1 - fu) + CoverageAt(g, iu + 1, iv + 1) * fu) * fv;
    return std::min<uint32_t>(static_cast<uint32_t>(c + 0.5), 255);
}

// The inverse of a map's linear part: target pixel centre -> position in
// the glyph's coverage.
struct InverseMap {
    double a, b, c, d;
};

// False for a map that flattens the glyph to a line.
inline bool Invert(const Affine& A, InverseMap* out)
{
    double det = A.a * A.d - A.b * A.c;
    if (!(std::fabs(det) > 1e-12))
        return false;
    *out = {A.d / det, -A.b / det, -A.c / det, A.a / det};
    return true;
}

// Every pixel of the glyph's box on the target, as SampleGlyph must draw them.
void SampleGlyphPlain(const TextTarget& t, const GlyphImage& g, double gx, double gy, uint32_t colour)
{
    const Affine& A = t.map;
    InverseMap inverse;
    if (g.width == 0 || g.height == 0 || !Invert(A, &inverse))
        return;
    const SampleBox box = BoxOnTarget(t, g, gx, gy);
    const auto [ia, ib, ic, id] = inverse;
    for (int y = box.ya; y < box.yb; y++) {
        uint32_t* row = t.texels + static_cast<size_t>(y) * t.width;
        for (int x = box.xa; x < box.xb; x++) {
            double px = x + 0.5 - A.e, py = y + 0.5 - A.f;
            double u = ia * px + ib * py - gx - 0.5, v = ic * px + id * py - gy - 0.5;
            if (u <= -1 || v <= -1 || u >= g.width || v >= g.height)
                continue;
            uint32_t cov = SampledCoverage(g, u, v);
            if (cov)
                BlendCoverage(row + x, colour, cov);
        }
    }
}

// Narrows [*x0, *x1) to the columns where lo < f0 + k x < hi can hold, for
// one glyph's k and bounds, row after row: a pixel to spare each way for the
// rounding of the exact values, which are still tested per pixel.
struct ColumnReach {
    double lo, hi, inverse = 0;
    bool narrows;

    ColumnReach(double k, double low, double high) : lo(low), hi(high), narrows(std::fabs(k) > 1e-6)
    {
        if (narrows)
            inverse = 1 / k;
    }

    void Narrow(double f0, int* x0, int* x1) const
    {
        if (!narrows)
            return; // (nearly) the same along the row: the per-pixel test decides
        double a = (lo - f0) * inverse, b = (hi - f0) * inverse;
        if (a > b)
            std::swap(a, b);
        if (!std::isfinite(a) || !std::isfinite(b))
            return;
        const double from = std::floor(a) - 1, to = std::ceil(b) + 2;
        if (from > *x0)
            *x0 = from >= *x1 ? *x1 : static_cast<int>(from);
        if (to < *x1)
            *x1 = to <= *x0 ? *x0 : static_cast<int>(to);
    }
};

// A glyph's four coverage taps from (iu, iv) on: right, below, below right;
// 0 outside the glyph.
struct GlyphTaps {
    uint32_t c00, c10, c01, c11;
    bool Empty() const { return (c00 | c10 | c01 | c11) == 0; }
};

inline GlyphTaps TapsAt(const GlyphImage& g, int iu, int iv)
{
    const int w = g.width;
    if (iu >= 0 && iv >= 0 && iu + 1 < w && iv + 1 < g.height) {
        const uint8_t* p = g.coverage + static_cast<size_t>(iv) * w + iu;
        return {p[0], p[1], p[w], p[w + 1]};
    }
    return {CoverageAt(g, iu, iv), CoverageAt(g, iu + 1, iv), CoverageAt(g, iu, iv + 1),
            CoverageAt(g, iu + 1, iv + 1)};
}

// What SampleRowPairs needs of a glyph's draw, in both lanes.
struct SampleLanes {
    __m128d ia, ic, ae, gx, gy, w, h;
    SampleLanes(double ia_, double ic_, double ae_, double gx_, double gy_, int w_, int h_)
        : ia(_mm_set1_pd(ia_)), ic(_mm_set1_pd(ic_)), ae(_mm_set1_pd(ae_)), gx(_mm_set1_pd(gx_)),
          gy(_mm_set1_pd(gy_)), w(_mm_set1_pd(w_)), h(_mm_set1_pd(h_))
    {
    }
};

// floor(v) of each lane whose v lies in (-1, 2^31), as a double.
inline __m128d FloorLanes(__m128d v)
{
    const __m128d t = _mm_cvtepi32_pd(_mm_cvttpd_epi32(v));
    return _mm_sub_pd(t, _mm_and_pd(_mm_cmpgt_pd(t, v), _mm_set1_pd(1.0)));
}

inline __m128d LanesOf(uint32_t first, uint32_t second)
{
    return _mm_cvtepi32_pd(_mm_set_epi32(0, 0, static_cast<int>(second), static_cast<int>(first)));
}

// Pixels [xa, xb) of a target row two at a time, each lane with the double
// operations of SampleGlyph's pixel in the same order, so the same values;
// returns the column the caller goes on from (one odd pixel may be left).
int SampleRowPairs(const GlyphImage& g, const SampleLanes& k, double ubase, double vbase, uint32_t* row, int xa,
                   int xb, uint32_t colour)
{
    const __m128d half = _mm_set1_pd(0.5), one = _mm_set1_pd(1.0), minusOne = _mm_set1_pd(-1.0);
    const __m128d ub = _mm_set1_pd(ubase), vb = _mm_set1_pd(vbase);
    int x = xa;
    for (; x + 1 < xb; x += 2) {
        const __m128d px = _mm_sub_pd(_mm_add_pd(_mm_set_pd(x + 1, x), half), k.ae);
        const __m128d u = _mm_sub_pd(_mm_sub_pd(_mm_add_pd(_mm_mul_pd(k.ia, px), ub), k.gx), half);
        const __m128d v = _mm_sub_pd(_mm_sub_pd(_mm_add_pd(_mm_mul_pd(k.ic, px), vb), k.gy), half);
        const int inside = _mm_movemask_pd(_mm_and_pd(_mm_and_pd(_mm_cmpgt_pd(u, minusOne), _mm_cmpgt_pd(v, minusOne)),
                                                      _mm_and_pd(_mm_cmplt_pd(u, k.w), _mm_cmplt_pd(v, k.h))));
        if (inside == 0)
            continue;
        const __m128d fu0 = FloorLanes(u), fv0 = FloorLanes(v);
        alignas(16) int32_t iu[4], iv[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(iu), _mm_cvttpd_epi32(fu0));
        _mm_store_si128(reinterpret_cast<__m128i*>(iv), _mm_cvttpd_epi32(fv0));
        const GlyphTaps a = (inside & 1) ? TapsAt(g, iu[0], iv[0]) : GlyphTaps{0, 0, 0, 0};
        const GlyphTaps b = (inside & 2) ? TapsAt(g, iu[1], iv[1]) : GlyphTaps{0, 0, 0, 0};
        if (a.Empty() && b.Empty())
            continue;
        const __m128d fu = _mm_sub_pd(u, fu0), fv = _mm_sub_pd(v, fv0);
        const __m128d restU = _mm_sub_pd(one, fu), restV = _mm_sub_pd(one, fv);
        const __m128d top = _mm_add_pd(_mm_mul_pd(LanesOf(a.c00, b.c00), restU), _mm_mul_pd(LanesOf(a.c10, b.c10), fu));
        const __m128d bottom =
            _mm_add_pd(_mm_mul_pd(LanesOf(a.c01, b.c01), restU), _mm_mul_pd(LanesOf(a.c11, b.c11), fu));
        const __m128d c = _mm_add_pd(_mm_mul_pd(top, restV), _mm_mul_pd(bottom, fv));
        alignas(16) int32_t cov[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(cov), _mm_cvttpd_epi32(_mm_add_pd(c, half)));
        for (int lane = 0; lane < 2; lane++) {
            const uint32_t value = std::min<uint32_t>(static_cast<uint32_t>(cov[lane]), 255);
            if (value)
                BlendCoverage(row + x + lane, colour, value);
        }
    }
    return x;
}

// A glyph under a turning or scaling map: every target pixel whose centre
// maps into (-1, width) x (-1, height) of its coverage looks the coverage up
// bilinearly through the inverse map. Each row goes only over the columns
// that can map there, and a pixel whose four taps are all empty (coverage 0,
// no blend) is passed over; the values of the others are computed as
// SampleGlyphPlain computes them, so the pixels are the same.
void SampleGlyph(const TextTarget& t, const GlyphImage& g, double gx, double gy, uint32_t colour)
{
    if (g_plainGlyphs.load(std::memory_order_relaxed)) {
        SampleGlyphPlain(t, g, gx, gy, colour);
        return;
    }
    const Affine& A = t.map;
    InverseMap inverse;
    if (g.width == 0 || g.height == 0 || !Invert(A, &inverse))
        return;
    const SampleBox box = BoxOnTarget(t, g, gx, gy);
    const auto [ia, ib, ic, id] = inverse;
    const int w = g.width, h = g.height;
    const SampleLanes lanes(ia, ic, A.e, gx, gy, w, h);
    const ColumnReach alongU(ia, -1, w), alongV(ic, -1, h);
    for (int y = box.ya; y < box.yb; y++) {
        const double py = y + 0.5 - A.f;
        const double ubase = ib * py, vbase = id * py;
        // u and v along the row, about: from pixel x's centre x + 0.5.
        int xa = box.xa, xb = box.xb;
        alongU.Narrow(ia * (0.5 - A.e) + ubase - gx - 0.5, &xa, &xb);
        alongV.Narrow(ic * (0.5 - A.e) + vbase - gy - 0.5, &xa, &xb);
        uint32_t* row = t.texels + static_cast<size_t>(y) * t.width;
        int x = SampleRowPairs(g, lanes, ubase, vbase, row, xa, xb, colour);
        for (; x < xb; x++) {
            const double px = x + 0.5 - A.e;
            const double u = ia * px + ubase - gx - 0.5, v = ic * px + vbase - gy - 0.5;
            if (u <= -1 || v <= -1 || u >= w || v >= h)
                continue;
            const int iu = static_cast<int>(std::floor(u)), iv = static_cast<int>(std::floor(v));
            GlyphTaps taps = TapsAt(g, iu, iv);
            if (taps.Empty())
                continue;
            const double fu = u - iu, fv = v - iv;
            const double c = (taps.c00 * (1 - fu) + taps.c10 * fu) * (1 - fv) + (taps.c01 * (1 - fu) + taps.c11 * fu) * fv;
            const uint32_t cov = std::min<uint32_t>(static_cast<uint32_t>(c + 0.5), 255);
            if (cov)
                BlendCoverage(row + x, colour, cov);
        }
    }
}

// Draws a laid-out block whose layout box (boxWidth x boxHeight) has its top
// left at (originX, originY) of layout space. With keep, the target is a
// scratch surface of the text's source words, taken glyph by glyph into keep.
void DrawBlock(TextTarget& t, const ResolvedFont& font, float size, TextBlock& block, UINT flags, float originX,
               float originY, float boxWidth, float boxHeight, uint32_t colour, KeptSources* keep = nullptr)
{
    if ((colour >> 24) == 0 || t.x0 >= t.x1 || t.y0 >= t.y1)
        return;
    std::vector<float> lineX(block.lineWidths.size());
    float top;
    Align(block, flags, boxWidth, boxHeight, lineX.data(), &top);
    const Affine& A = t.map;
    bool moves = A.Moves();
    for (const PlacedGlyph& p : block.glyphs) {
        double penX = originX + lineX[p.line] + p.x;
        double baseline = originY + top + block.ascent + block.lineHeight * p.line;
        if (moves) {
            double x = penX + A.e, y = baseline + A.f;
            double whole = std::floor(x);
            int sub = static_cast<int>(std::lround((x - whole) * 4));
            if (sub == 4) {
                whole += 1;
                sub = 0;
            }
            const GlyphImage* g = GetGlyph(font.face, size, p.codePoint, sub, font.embolden);
            if (g && g->width > 0 && std::fabs(whole) < 1e7 && std::fabs(y) < 1e7) {
                const int left = static_cast<int>(whole) + g->left, top = static_cast<int>(std::lround(y)) - g->top;
                BlitGlyph(t, *g, left, top, colour);
                if (keep)
                    TakeScratchRows(t.texels, t.width, std::max(left, t.x0), std::max(top, t.y0),
                                    std::min(left + g->width, t.x1), std::min(top + g->height, t.y1), keep);
            }
        } else {
            const GlyphImage* g = GetGlyph(font.face, size, p.codePoint, 0, font.embolden);
            if (g) {
                SampleGlyph(t, *g, penX + g->left, baseline - g->top, colour);
                if (keep && g->width > 0 && g->height > 0) {
                    const SampleBox b = BoxOnTarget(t, *g, penX + g->left, baseline - g->top);
                    TakeScratchRows(t.texels, t.width, b.xa, b.ya, b.xb, b.yb, keep);
                }
            }
        }
    }
}

// Texts drawn again the same way, at the same place on a target of the same
// size, blend the source words kept the second time instead of being laid
// out and their glyphs' coverage blended again: the same words blended the
// same way. GUI thread.
SourceMemo g_textMemo;

// What makes a text's source words: the font, size, text, flags, layout
// box, colour, the map onto the target and its writable pixels.
struct TextDraw {
    const ResolvedFont* font;
    float size;
    const WCHAR* text;
    size_t length;
    UINT flags;
    float originX, originY, boxWidth, boxHeight;
    uint32_t colour;
};

template <class T>
void AddKeyBytes(std::string& key, const T& value)
{
    key.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// Lays the text out and draws it, or blends its kept words.
void DrawKeptText(TextTarget& t, const TextDraw& d)
{
    auto drawFresh = [&d](TextTarget& target, KeptSources* keep) {
        TextBlock block;
        if (LayOut(*d.font, d.size, d.text, d.length, &block))
            DrawBlock(target, *d.font, d.size, block, d.flags, d.originX, d.originY, d.boxWidth, d.boxHeight,
                      d.colour, keep);
    };
    if (!DrawMemo::Enabled()) {
        drawFresh(t, nullptr);
        return;
    }
    static std::string key;
    key.clear();
    AddKeyBytes(key, d.font);
    AddKeyBytes(key, g_faces.generation);
    AddKeyBytes(key, d.size);
    AddKeyBytes(key, d.flags);
    for (float v : {d.originX, d.originY, d.boxWidth, d.boxHeight})
        AddKeyBytes(key, v);
    AddKeyBytes(key, d.colour);
    for (int v : {t.width, t.height, t.x0, t.y0, t.x1, t.y1})
        AddKeyBytes(key, v);
    for (double v : {t.map.a, t.map.b, t.map.c, t.map.d, t.map.e, t.map.f})
        AddKeyBytes(key, v);
    key.append(reinterpret_cast<const char*>(d.text), d.length * sizeof(WCHAR));
    SourceMemo::Entry* e = g_textMemo.Find(key);
    if (!e) {
        drawFresh(t, nullptr);
        return;
    }
    if (!e->kept) {
        TextTarget scratch = t;
        scratch.texels = g_textMemo.Scratch(static_cast<size_t>(t.width) * static_cast<size_t>(t.height));
        g_keepingTextSources = true;
        drawFresh(scratch, &e->sources);
        g_keepingTextSources = false;
        OrderKeptRows(&e->sources);
        g_textMemo.Kept(e);
    }
    BlendKeptSources(e->sources, RasterSurface{t.texels, t.width, t.height, t.width}, true, nullptr);
}

// ---- the objects ---------------------------------------------------------------

template <class I>
class TextObject : public RefCounted<I> {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (!(riid == IID_IUnknown))
            return E_NOINTERFACE;
        this->AddRef();
        *object = static_cast<I*>(this);
        return S_OK;
    }
};

bool Covers(DWRITE_TEXT_RANGE range)
{
    return range.startPosition == 0 && range.length > 0;
}

class TextFormat final : public TextObject<IDWriteTextFormat> {
public:
    TextFormat(std::string family, int weight, float size) : family_(std::move(family)), weight_(weight), size_(size)
    {
    }
    FLOAT GetFontSize() override { return size_; }
    DWRITE_FONT_WEIGHT GetFontWeight() override { return static_cast<DWRITE_FONT_WEIGHT>(weight_); }

    std::string family_;
    int weight_;
    float size_;
};

class TextLayout final : public TextObject<IDWriteTextLayout> {
public:
    TextLayout(const TextFormat& format, std::u16string text, float maxWidth, float maxHeight)
        : family_(format.family_), weight_(format.weight_), size_(format.size_), text_(std::move(text)),
          maxWidth_(maxWidth), maxHeight_(maxHeight)
    {
    }
    FLOAT GetFontSize() override { return size_; }
    DWRITE_FONT_WEIGHT GetFontWeight() override { return static_cast<DWRITE_FONT_WEIGHT>(weight_); }
    HRESULT SetWordWrapping(DWRITE_WORD_WRAPPING wrapping) override
    {
        wrapping_ = wrapping;
        return S_OK;
    }
    HRESULT SetFontSize(FLOAT size, DWRITE_TEXT_RANGE range) override
    {
        if (!UsableSize(size))
            return E_INVALIDARG;
        if (Covers(range))
            size_ = size;
        return S_OK;
    }
    HRESULT SetFontWeight(DWRITE_FONT_WEIGHT weight, DWRITE_TEXT_RANGE range) override
    {
        if (weight < 1 || weight > 999)
            return E_INVALIDARG;
        if (Covers(range))
            weight_ = weight;
        return S_OK;
    }
    HRESULT GetOverhangMetrics(DWRITE_OVERHANG_METRICS* overhangs) override;

    // Lays the text out with the layout's font; null font when none is readable.
    const ResolvedFont* Prepare(TextBlock* block) const
    {
        const ResolvedFont* font = ResolveFont(family_, weight_);
        if (!font || !LayOut(*font, size_, text_.data(), text_.size(), block))
            return nullptr;
        return font;
    }

    float MaxWidth() const { return maxWidth_; }
    float MaxHeight() const { return maxHeight_; }

private:
    std::string family_;
    int weight_;
    float size_;
    std::u16string text_;
    float maxWidth_, maxHeight_;
    DWRITE_WORD_WRAPPING wrapping_ = DWRITE_WORD_WRAPPING_WRAP;
};

HRESULT TextLayout::GetOverhangMetrics(DWRITE_OVERHANG_METRICS* overhangs)
{
    if (!overhangs)
        return E_INVALIDARG;
    *overhangs = {0, 0, -maxWidth_, -maxHeight_};
    TextBlock block;
    const ResolvedFont* font = Prepare(&block);
    if (!font)
        return E_FAIL;
    bool any = false;
    float left = 0, top = 0, right = 0, bottom = 0;
    for (const PlacedGlyph& p : block.glyphs) {
        const GlyphImage* g = GetGlyph(font->face, size_, p.codePoint, 0, font->embolden);
        if (!g || g->width == 0 || g->height == 0)
            continue;
        float x0 = p.x + static_cast<float>(g->left), x1 = x0 + static_cast<float>(g->width);
        float baseline = block.ascent + block.lineHeight * static_cast<float>(p.line);
        float y0 = baseline - static_cast<float>(g->top), y1 = y0 + static_cast<float>(g->height);
        left = any ? std::min(left, x0) : x0;
        right = any ? std::max(right, x1) : x1;
        top = any ? std::min(top, y0) : y0;
        bottom = any ? std::max(bottom, y1) : y1;
        any = true;
    }
    if (any)
        *overhangs = {-left, -top, right - maxWidth_, bottom - maxHeight_};
    return S_OK;
}

class WriteFactory final : public TextObject<IDWriteFactory> {
public:
    HRESULT CreateTextFormat(LPCWSTR family, IDWriteFontCollection*, DWRITE_FONT_WEIGHT weight, DWRITE_FONT_STYLE,
                             DWRITE_FONT_STRETCH, FLOAT size, LPCWSTR, IDWriteTextFormat** format) override
    {
        if (!format)
            return E_INVALIDARG;
        *format = nullptr;
        if (!family || !UsableSize(size) || weight < 1 || weight > 999)
            return E_INVALIDARG;
        *format = new TextFormat(ToUtf8(family), weight, size);
        return S_OK;
    }

    HRESULT CreateTextLayout(const WCHAR* text, UINT length, IDWriteTextFormat* format, FLOAT maxWidth,
                             FLOAT maxHeight, IDWriteTextLayout** layout) override
    {
        if (!layout)
            return E_INVALIDARG;
        *layout = nullptr;
        auto* f = dynamic_cast<TextFormat*>(format);
        if (!f || (!text && length > 0) || !(maxWidth >= 0) || !(maxHeight >= 0))
            return E_INVALIDARG;
        *layout = new TextLayout(*f, std::u16string(text ? text : u"", length), maxWidth, maxHeight);
        return S_OK;
    }
};

class FontWrapper final : public TextObject<IFW1FontWrapper> {
public:
    explicit FontWrapper(std::string family) : family_(std::move(family)) {}

    void DrawString(ID3D11DeviceContext* context, const WCHAR* text, FLOAT size, FLOAT x, FLOAT y, uint32_t colour,
                    UINT flags) override
    {
        FW1_RECTF point{x, y, x, y};
        DrawString(context, text, nullptr, size, &point, colour, nullptr, nullptr, flags);
    }

    void DrawString(ID3D11DeviceContext* context, const WCHAR* text, const WCHAR* family, FLOAT size,
                    const FW1_RECTF* layoutRect, uint32_t colour, const FW1_RECTF* clipRect,
                    const FLOAT* transform, UINT flags) override
    {
        if (!text || !UsableSize(size))
            return;
        const ResolvedFont* font = ResolveFont(family ? ToUtf8(family) : family_, DWRITE_FONT_WEIGHT_NORMAL);
        TextTarget target;
        if (!font || !BindTarget(context, transform, &target))
            return;
        ClipTo(target, clipRect);
        FW1_RECTF r = layoutRect ? *layoutRect : FW1_RECTF{0, 0, 0, 0};
        DrawKeptText(target, {font, size, text, std::char_traits<char16_t>::length(text), flags, r.Left, r.Top,
                              r.Right - r.Left, r.Bottom - r.Top, colour});
    }

    void DrawTextLayout(ID3D11DeviceContext* context, IDWriteTextLayout* layout, FLOAT originX, FLOAT originY,
                        uint32_t colour, const FW1_RECTF* clipRect, const FLOAT* transform, UINT flags) override
    {
        auto* l = dynamic_cast<TextLayout*>(layout);
        TextTarget target;
        TextBlock block;
        if (!l || !BindTarget(context, transform, &target))
            return;
        const ResolvedFont* font = l->Prepare(&block);
        if (!font)
            return;
        ClipTo(target, clipRect);
        DrawBlock(target, *font, l->GetFontSize(), block, flags, originX, originY, l->MaxWidth(), l->MaxHeight(),
                  colour);
    }

    HRESULT GetDWriteFactory(IDWriteFactory** factory) override
    {
        if (!factory)
            return E_INVALIDARG;
        *factory = new WriteFactory;
        return S_OK;
    }

private:
    std::string family_;
};

class WrapperFactory final : public TextObject<IFW1Factory> {
public:
    HRESULT CreateFontWrapper(ID3D11Device* device, LPCWSTR family, IFW1FontWrapper** wrapper) override
    {
        if (!wrapper)
            return E_INVALIDARG;
        *wrapper = nullptr;
        if (!device || !family)
            return E_INVALIDARG;
        std::string name = ToUtf8(family);
        if (!ResolveFont(name, DWRITE_FONT_WEIGHT_NORMAL))
            return E_FAIL;
        *wrapper = new FontWrapper(name);
        return S_OK;
    }
};

} // namespace

HRESULT FW1CreateFactory(uint32_t version, IFW1Factory** factory)
{
    if (!factory)
        return E_INVALIDARG;
    *factory = nullptr;
    if (version != FW1_VERSION)
        return E_INVALIDARG;
    *factory = new WrapperFactory;
    return S_OK;
}

void SampleGlyphsEveryPixel(bool on)
{
    g_plainGlyphs.store(on);
}
