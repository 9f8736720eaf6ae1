// The memo of draws' source words (see draw_memo.h).
#include "platform/gpu/draw_memo.h"

#include "platform/gpu/pixel_blend.h"
#include "platform/gpu/raster_bands.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <emmintrin.h>

namespace {

// Memory the kept words may take before the longest unused go, and draws
// noted or kept at most: a frame of furniture needs a screen or two.
constexpr size_t kWordBudget = size_t{16} << 20;
constexpr size_t kEntryLimit = 4096;
// Replays of more words than this share their rows among the raster threads.
constexpr size_t kSharedWords = size_t{1} << 18;

std::atomic<int> g_enabled{-1}; // -1: not read from the environment yet

template <class T>
void AddBytes(std::string& key, const T& value)
{
    key.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// The pixel rows and columns a triangle can touch inside the clip, with a
// pixel to spare each side for the snapping; false when none or not finite.
bool TriangleBox(const RasterJob& job, const RasterVertex* t, int* x0, int* y0, int* x1, int* y1)
{
    double minX = t[0].x, maxX = t[0].x, minY = t[0].y, maxY = t[0].y;
    for (int k = 0; k < 3; k++) {
        if (!std::isfinite(t[k].x) || !std::isfinite(t[k].y))
            return false;
        minX = std::min<double>(minX, t[k].x);
        maxX = std::max<double>(maxX, t[k].x);
        minY = std::min<double>(minY, t[k].y);
        maxY = std::max<double>(maxY, t[k].y);
    }
    auto clamp = [](double v, int lo, int hi) { return static_cast<int>(std::clamp(v, double(lo), double(hi))); };
    *x0 = clamp(std::floor(minX) - 1, job.clipX0, job.clipX1);
    *x1 = clamp(std::ceil(maxX) + 1, job.clipX0, job.clipX1);
    *y0 = clamp(std::floor(minY) - 1, job.clipY0, job.clipY1);
    *y1 = clamp(std::ceil(maxY) + 1, job.clipY0, job.clipY1);
    return *x0 < *x1 && *y0 < *y1;
}

// OverInline on four pixels at once, each with its own source word: per
// 16-bit lane s a + d (255 - a) + 128, the source's alpha lane counting as
// 255, rounded down by 255 as Div255Lanes does.
inline __m128i OverFour(__m128i s, __m128i d)
{
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(255);
    const __m128i alphaLanes = _mm_setr_epi16(0, 0, 0, -1, 0, 0, 0, -1);
    auto half = [&](__m128i sh, __m128i dh) {
        __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sh, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
        sh = _mm_or_si128(_mm_andnot_si128(alphaLanes, sh), _mm_and_si128(alphaLanes, full));
        __m128i x = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(sh, a), _mm_mullo_epi16(dh, _mm_sub_epi16(full, a))),
                                  _mm_set1_epi16(128));
        return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
    };
    __m128i lo = half(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
    __m128i hi = half(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero));
    return _mm_packus_epi16(lo, hi);
}

// Over or OverStraight, each word as the draw blended it.
template <bool Straight>
void BlendSegments(const KeptSegment* s, const KeptSegment* end, const uint32_t* words, const RasterSurface& target)
{
    for (; s < end; s++) {
        uint32_t* row = target.pixels + static_cast<size_t>(s->y) * target.pitch + s->x;
        const uint32_t* src = words + s->first;
        if (s->opaque) {
            std::memcpy(row, src, static_cast<size_t>(s->n) * 4);
            continue;
        }
        int i = 0;
        for (; i + 4 <= s->n; i += 4) {
            auto* p = reinterpret_cast<__m128i*>(row + i);
            const __m128i d = _mm_loadu_si128(p);
            // OverStraight is Over where the target is opaque.
            if (Straight && _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_srli_epi32(d, 24), _mm_set1_epi32(255))) != 0xFFFF)
                break;
            _mm_storeu_si128(p, OverFour(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), d));
        }
        for (; i < s->n; i++)
            row[i] = Straight ? OverStraightInline(src[i], row[i]) : OverInline(src[i], row[i]);
    }
}

struct Replay {
    const KeptSources* kept;
    RasterSurface target;
    bool straight;
    std::vector<size_t> cuts; // parts' first segments, and the end
};

void ReplayPart(const Replay& r, size_t from, size_t to)
{
    const KeptSegment* s = r.kept->segments.data();
    if (r.straight)
        BlendSegments<true>(s + from, s + to, r.kept->words.data(), r.target);
    else
        BlendSegments<false>(s + from, s + to, r.kept->words.data(), r.target);
}

} // namespace

void TakeScratchRows(uint32_t* scratch, int pitch, int x0, int y0, int x1, int y1, KeptSources* out)
{
    if (x0 >= x1 || y0 >= y1)
        return;
    for (int y = y0; y < y1; y++) {
        uint32_t* row = scratch + static_cast<size_t>(y) * pitch;
        for (int x = x0; x < x1;) {
            uint32_t a = row[x] >> 24;
            if (a == 0) {
                x++;
                continue;
            }
            // A run of words of one kind: all opaque, or all partly transparent.
            const bool opaque = a == 255;
            int end = x + 1;
            while (end < x1 && (row[end] >> 24) != 0 && ((row[end] >> 24) == 255) == opaque)
                end++;
            out->segments.push_back({y, x, end - x, static_cast<uint32_t>(out->words.size()), opaque});
            out->words.insert(out->words.end(), row + x, row + end);
            x = end;
        }
        std::fill(row + x0, row + x1, 0u);
    }
}

void OrderKeptRows(KeptSources* kept)
{
    std::stable_sort(kept->segments.begin(), kept->segments.end(),
                     [](const KeptSegment& a, const KeptSegment& b) { return a.y < b.y; });
}

void BlendKeptSources(const KeptSources& kept, const RasterSurface& target, bool straight, RasterBands* bands)
{
    const size_t n = kept.segments.size();
    if (!target.pixels || n == 0)
        return;
    Replay r{&kept, target, straight, {0}};
    const int threads = bands ? bands->Threads() : 1;
    if (threads < 2 || kept.words.size() < kSharedWords) {
        ReplayPart(r, 0, n);
        return;
    }
    // Parts of about the same number of segments, each ending with a row.
    const KeptSegment* s = kept.segments.data();
    const size_t parts = static_cast<size_t>(threads) * 4;
    for (size_t p = 1; p < parts; p++) {
        size_t cut = std::max(n * p / parts, r.cuts.back() + 1);
        while (cut < n && s[cut].y == s[cut - 1].y)
            cut++;
        if (cut < n)
            r.cuts.push_back(cut);
    }
    r.cuts.push_back(n);
    bands->Run(
        [](void* arg, int part) {
            const Replay& r = *static_cast<const Replay*>(arg);
            ReplayPart(r, r.cuts[static_cast<size_t>(part)], r.cuts[static_cast<size_t>(part) + 1]);
        },
        &r, static_cast<int>(r.cuts.size() - 1));
}

SourceMemo::Entry* SourceMemo::Find(const std::string& key)
{
    ++tick_;
    auto found = entries_.find(key);
    if (found == entries_.end()) {
        if (entries_.size() >= kEntryLimit)
            Evict();
        entries_[key].lastUse = tick_;
        return nullptr;
    }
    found->second.lastUse = tick_;
    return &found->second;
}

void SourceMemo::Kept(Entry* e)
{
    e->kept = true;
    keptWords_ += e->sources.words.size();
    if (keptWords_ > kWordBudget)
        Evict();
}

uint32_t* SourceMemo::Scratch(size_t words)
{
    if (scratch_.size() < words)
        scratch_.assign(words, 0);
    return scratch_.data();
}

void SourceMemo::Clear()
{
    entries_.clear();
    scratch_.clear();
    scratch_.shrink_to_fit();
    keptWords_ = 0;
}

void SourceMemo::Evict()
{
    // The longest unused go until half the budget and half the entries are
    // left; what the current draw uses stays.
    std::vector<std::pair<uint64_t, const std::string*>> byUse;
    byUse.reserve(entries_.size());
    for (const auto& [key, e] : entries_)
        byUse.emplace_back(e.lastUse, &key);
    std::sort(byUse.begin(), byUse.end());
    size_t words = keptWords_, count = entries_.size();
    std::vector<std::string> gone;
    for (const auto& [use, key] : byUse) {
        if (use == tick_ || (words <= kWordBudget / 2 && count <= kEntryLimit / 2))
            break;
        const Entry& e = entries_[*key];
        if (e.kept)
            words -= e.sources.words.size();
        count--;
        gone.push_back(*key);
    }
    for (const std::string& key : gone)
        entries_.erase(key);
    keptWords_ = words;
}

bool DrawMemo::Suits(const RasterJob& job, bool flat, bool textureIsRenderTarget, int vertices)
{
    return job.pass.program == PixelProgram::Textured && job.pass.blend == BlendMode::Over && flat &&
           !textureIsRenderTarget && job.texture.texels && vertices >= 3 && vertices <= kMaxVertices &&
           vertices % 3 == 0;
}

void DrawMemo::Enable(bool on)
{
    g_enabled.store(on ? 1 : 0);
}

bool DrawMemo::Enabled()
{
    int on = g_enabled.load(std::memory_order_relaxed);
    if (on < 0) {
        const char* value = std::getenv("TVL_DRAW_MEMO");
        on = value && std::strcmp(value, "0") == 0 ? 0 : 1;
        g_enabled.store(on);
    }
    return on != 0;
}

bool DrawMemo::Take(const DrawMemoInput& in)
{
    taken_ = nullptr;
    const RasterJob& job = *in.job;
    key_.clear();
    AddBytes(key_, in.textureId);
    AddBytes(key_, in.textureWrites);
    AddBytes(key_, job.target.width);
    AddBytes(key_, job.target.height);
    AddBytes(key_, job.target.pitch);
    for (int edge : {job.clipX0, job.clipY0, job.clipX1, job.clipY1})
        AddBytes(key_, edge);
    AddBytes(key_, job.pass.sampler);
    AddBytes(key_, job.cull);
    static_assert(sizeof(RasterVertex) == 24, "vertices go into the key as their bytes");
    key_.append(reinterpret_cast<const char*>(in.triangles), sizeof(RasterVertex) * static_cast<size_t>(in.count));
    SourceMemo::Entry* e = memo_.Find(key_);
    if (!e)
        return false;
    if (!e->kept) {
        Keep(&e->sources, in);
        memo_.Kept(e);
    }
    taken_ = e;
    return true;
}

void DrawMemo::Keep(KeptSources* out, const DrawMemoInput& in)
{
    const RasterJob& job = *in.job;
    RasterJob onScratch = job;
    onScratch.target.pixels =
        memo_.Scratch(static_cast<size_t>(job.target.pitch) * static_cast<size_t>(job.target.height));
    onScratch.bands = nullptr;
    for (int t = 0; t + 3 <= in.count; t += 3) {
        const RasterVertex* triangle = in.triangles + t;
        int x0, y0, x1, y1;
        if (!TriangleBox(job, triangle, &x0, &y0, &x1, &y1))
            continue;
        RasterizeTriangleSources(onScratch, triangle);
        TakeScratchRows(onScratch.target.pixels, job.target.pitch, x0, y0, x1, y1, out);
    }
    OrderKeptRows(out);
}

void DrawMemo::BlendTaken(const RasterSurface& target, RasterBands* bands)
{
    const SourceMemo::Entry* e = taken_;
    taken_ = nullptr;
    if (e)
        BlendKeptSources(e->sources, target, false, bands);
}
