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

// What makes a draw's source words: the texture's identity and writes, the
// transformed triangles (a list), the pass, the clip rectangle and the
// target's size.
struct DrawMemoInput {
    uint64_t textureId = 0, textureWrites = 0;
    const RasterJob* job = nullptr;
    const RasterVertex* triangles = nullptr; // a triangle list
    int count = 0;                           // vertices, a multiple of 3
};

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

    void Clear();
    // Words kept over all draws (tests).
    size_t KeptWords() const { return keptWords_; }

    // Off: every draw goes the usual way (tests compare both, benchmarks
    // measure both). On unless TVL_DRAW_MEMO is 0.
    static void Enable(bool on);
    static bool Enabled();

private:
    struct Segment {
        int32_t y, x, n;
        uint32_t first; // into words
        bool opaque;    // every word of alpha 255: copied
    };
    struct Entry {
        bool kept = false;
        uint64_t lastUse = 0;
        std::vector<Segment> segments; // by row, each row's in the order the triangles were drawn
        std::vector<uint32_t> words;
    };

    void Keep(Entry& e, const DrawMemoInput& in);
    void Evict();

    std::unordered_map<std::string, Entry> entries_;
    std::string key_;                // reused
    std::vector<uint32_t> scratch_;  // a target-sized surface, zero between uses
    const Entry* taken_ = nullptr;
    uint64_t tick_ = 0;
    size_t keptWords_ = 0;
};
