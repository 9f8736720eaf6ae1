// Textured draws that come again unchanged, frame after frame (the bezel,
// softkeys, buttons, symbols that stand still), are sampled once: a draw's
// pixels are the Over blend of source words that depend on the texture, the
// vertices, the pass and the target's size alone, never on the target's
// pixels. The memo keeps those words, row by row, for a draw seen twice, and
// from then on blends them into the target instead of sampling the texture
// again: the same blends of the same words, so the same pixels. Only
// textures that are not render targets are kept, and a texture's writes
// (Map) are part of the key. GUI thread only, like the context that owns
// it. Internal to platform/gpu.
#pragma once

#include "platform/gpu/raster.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class RasterBands;

// A draw's source words, by pixel: runs of a row (in the order the draw's
// parts blend them), each all opaque (copied) or all partly transparent.
struct KeptSegment {
    int32_t y, x, n;
    uint32_t first; // into words
    bool opaque;    // every word of alpha 255
};
struct KeptSources {
    std::vector<KeptSegment> segments;
    std::vector<uint32_t> words;
};

// Moves the words of alpha above 0 of [x0, x1) x [y0, y1) of a scratch
// surface (pitch words a row) into out, leaving zeros: one part of a draw,
// written there in the Source blend, taken after the parts before it.
void TakeScratchRows(uint32_t* scratch, int pitch, int x0, int y0, int x1, int y1, KeptSources* out);
// Orders the segments by row, keeping each row's in the order taken: rows
// can then be shared among threads and still blend every pixel in order.
void OrderKeptRows(KeptSources* kept);
// Blends the words into target Over (straight: OverStraight, as text does);
// rows shared among the threads of bands for a large draw.
void BlendKeptSources(const KeptSources& kept, const RasterSurface& target, bool straight, RasterBands* bands);

// Draws' source words by key: a key seen the first time is only noted, the
// second time its words are kept, after that they are blended. The longest
// unused go when too many words are kept. One thread, the caller's.
class SourceMemo {
public:
    struct Entry {
        bool kept = false;
        uint64_t lastUse = 0;
        KeptSources sources;
    };
    // Null the first time a key is seen; else its entry, to fill with the
    // draw's words when not kept yet (then call Kept).
    Entry* Find(const std::string& key);
    void Kept(Entry* e);
    // A zeroed surface of at least words words, zero again after TakeScratchRows.
    uint32_t* Scratch(size_t words);
    void Clear();
    size_t KeptWords() const { return keptWords_; }

private:
    void Evict();
    std::unordered_map<std::string, Entry> entries_;
    std::vector<uint32_t> scratch_;
    uint64_t tick_ = 0;
    size_t keptWords_ = 0;
};

// What makes a textured draw's source words: the texture's identity and
// writes, the transformed triangles (a list), the pass, the clip rectangle
// and the target's size.
struct DrawMemoInput {
    uint64_t textureId = 0, textureWrites = 0;
    const RasterJob* job = nullptr;
    const RasterVertex* triangles = nullptr; // a triangle list
    int count = 0;                           // vertices, a multiple of 3
};

// The memo of textured triangle draws.
class DrawMemo {
public:
    // Whether a draw may be kept at all: textured, of one colour, blended
    // Over, from a texture that is no render target, at most kMaxVertices.
    static bool Suits(const RasterJob& job, bool flat, bool textureIsRenderTarget, int vertices);
    static constexpr int kMaxVertices = 6;

    // True when the draw's source words are kept (now, or from before): the
    // caller then draws what waits before it and calls BlendTaken instead of
    // drawing it. False the first time a draw is seen: it is only noted.
    bool Take(const DrawMemoInput& in);
    // Blends the words of the draw Take said true for into target.
    void BlendTaken(const RasterSurface& target, RasterBands* bands);

    void Clear() { memo_.Clear(); }
    // Words kept over all draws (tests).
    size_t KeptWords() const { return memo_.KeptWords(); }

    // Off: every repeated draw, textured or text, goes the usual way (tests
    // compare both, benchmarks measure both). On unless TVL_DRAW_MEMO is 0.
    static void Enable(bool on);
    static bool Enabled();

private:
    void Keep(KeptSources* out, const DrawMemoInput& in);

    SourceMemo memo_;
    std::string key_; // reused
    const SourceMemo::Entry* taken_ = nullptr;
};
