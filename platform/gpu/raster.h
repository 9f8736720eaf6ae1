// The rasterizer core of the software renderer: triangles in pixel coordinates
// become spans of the render target, shaded by one of the effect's pixel
// programs and blended source-alpha over. Coverage is decided with integer edge
// functions at 1/256 pixel and the top-left rule, so results are exact and
// repeatable. Internal to platform/gpu.
#pragma once

#include <cstddef>
#include <cstdint>

// What a pass of the effect does per pixel.
enum class PixelProgram : uint8_t {
    Colour,   // vertex colour
    Textured, // texture times vertex colour
    Dashed,   // vertex colour, dashed along texcoord u times the line length
    Terrain,  // elevation texture coloured by the terrain constants
};

enum class BlendMode : uint8_t {
    Over,         // rgb by source alpha, target alpha composed "over"
    OverStraight, // the same, keeping the target's colour un-premultiplied where it is transparent
    Source,       // the source word itself, where its alpha is not 0: a draw's sources kept (draw_memo.h)
};

enum class SamplerMode : uint8_t { Linear, Point };

struct PassState {
    PixelProgram program = PixelProgram::Colour;
    BlendMode blend = BlendMode::Over;
    SamplerMode sampler = SamplerMode::Linear;
    float dashOn = 8.0f;  // pixels drawn ...
    float dashOff = 6.0f; // ... then pixels left out
};

// Values of the terrain variables as a pass applied them.
struct TerrainConstants {
    float altitude = 0, blendfactor = 1, brightness = 255;
    float uextern = 0, vextern = 0, uoff = 0, voff = 0, cosb = 1;
    int mode = 0, warn = 0, zerolimit = 0, factor = 0;
    float color[4][4] = {};
};

struct RasterSurface {
    uint32_t* pixels = nullptr; // 0xAABBGGRR words
    int width = 0, height = 0;
    int pitch = 0; // words per row
};

struct RasterTexture {
    const uint32_t* texels = nullptr;
    int width = 0, height = 0;
    int pitch = 0; // words per row
    bool opaque = false; // every texel has alpha 255
    // Per texel, or null: the class of its alpha and the length of the run of
    // texels from it on in its row that share the class (see BuildAlphaRuns).
    const uint8_t* alphaRuns = nullptr;
    // Per texel, or null: 1 where it and its neighbours right, below and
    // below right all have alpha 0, the four taps of a bilinear sample
    // there (see BuildClearCells); width bytes a row.
    const uint8_t* clearCells = nullptr;
};

// Alpha classes in the top two bits of an alpha run byte; the low six bits
// hold the run length, 1 to 63 (a longer run reads as 63 and then again).
constexpr uint8_t kAlphaMixed = 0, kAlphaClear = 1, kAlphaSolid = 2;
constexpr int kAlphaRunMax = 63;

// Fills runs (width x height bytes) for the texels: lets the sampler skip
// stretches whose taps are all transparent and write, not blend, stretches
// whose taps are all opaque.
void BuildAlphaRuns(const uint32_t* texels, int width, int height, uint8_t* runs);

// Fills cells (width x height bytes) from the texels' alpha runs: lets a
// turned sprite's sampler skip a pixel with one look instead of two.
void BuildClearCells(const uint8_t* runs, int width, int height, uint8_t* cells);

// A vertex after the vertex stage: pixel position (y down) and attributes.
struct RasterVertex {
    float x, y;
    uint32_t colour; // 0xAABBGGRR
    float u, v, lineLength;
};

enum class CullFace : uint8_t { None, Clockwise, CounterClockwise };

class RasterBands;

struct RasterJob {
    RasterSurface target;
    int clipX0 = 0, clipY0 = 0, clipX1 = 0, clipY1 = 0; // pixels inside [x0, x1) x [y0, y1)
    PassState pass;
    RasterTexture texture;
    const TerrainConstants* terrain = nullptr;
    CullFace cull = CullFace::CounterClockwise; // winding as seen on screen
    // Threads for a draw covering at least splitPixels (about), or null.
    RasterBands* bands = nullptr;
    int64_t splitPixels = 0;
};

// Pixels a draw must cover before its rows are shared among threads: below
// it, handing the bands out (and walking every triangle once a band, as
// polylines have hundreds) costs about what the threads save.
constexpr int64_t kSplitPixels = 8192;

// A batch cut into bands from splitPixels goes to the workers only from
// kShareFactor times that (a split of 0 shares every batch): waking them
// costs a futex call and a switch each, tens of microseconds on a busy
// machine, about what they save on a smaller batch, which the caller then
// draws band by band alone.
constexpr int64_t kShareFactor = 12;

// Draws triangles (a, b, c) = (v[i], v[i+1], v[i+2]) for a list, or the
// triangles of a strip (odd ones with their first two vertices swapped).
void RasterizeTriangleList(const RasterJob& job, const RasterVertex* vertices, int count);
void RasterizeTriangleStrip(const RasterJob& job, const RasterVertex* vertices, int count);

// A run of triangle-list vertices of one state; flat: all of one colour.
struct RasterRun {
    RasterJob job;
    const RasterVertex* vertices = nullptr;
    int count = 0;
    bool flat = false;
};

// Draws the runs in order into one target. When together they cover at least
// splitPixels, their rows are cut into bands, each band drawing every run's
// triangles over its rows in the runs' order; from kShareFactor times that,
// the bands are shared among the bands' threads.
void RasterizeRuns(const RasterRun* runs, int n, RasterBands* bands, int64_t splitPixels);

// The source words one textured triangle of one colour (job.pass.program
// Textured) would blend Over into job.target, written there as they are
// where their alpha is not 0 (a word of alpha 0 leaves any target as it
// is); on the caller's thread. Every path of the Over blend blends exactly
// these words, so blending them Over later gives the pixels the draw gives.
void RasterizeTriangleSources(const RasterJob& job, const RasterVertex* triangle);

// Every triangle drawn on its own, one after the other, on the caller's
// thread: the plainest path, which every faster one must match pixel for
// pixel (tests compare them).
void RasterizeOneByOne(bool on);

// Textured spans sampled, tinted and blended one pixel at a time through
// the clamping sampler, and terrain spans shaded a pixel at a time: the
// plain spans every faster one must match (tests).
void RasterizeTexturedPixelByPixel(bool on);
bool RasterizingTexturedPixelByPixel();

// The terrain program's pixels (terrain_pixels.cpp): fills n pixels of dst
// from elevation texels sampled at (u, v) stepping (du, dv), in texels.
void ShadeTerrainSpan(const TerrainConstants& terrain, const RasterTexture& texture, uint32_t colour, double u,
                      double v, double du, double dv, uint32_t* dst, int n, BlendMode blend);

// Narrows [k0, k1) to the pixels k of n whose texel (t + k dt) >> 16, in
// 16.16 fixed point, lies in [0, last): the part of a span needing no clamp.
void StepsInside(int64_t t, int64_t dt, int last, int n, int* k0, int* k1);

// std::llround for |x| < 2^53, inline: the span set-up calls it four times.
inline int64_t RoundToInt64(double x)
{
    int64_t i = static_cast<int64_t>(x); // toward zero, exact below 2^53
    double rest = x - static_cast<double>(i);
    // Without branches: spans start at fractions no predictor guesses.
    return i + static_cast<int64_t>(rest >= 0.5) - static_cast<int64_t>(rest <= -0.5);
}

// Sets n words to value (clears and opaque spans).
void FillWords(uint32_t* dst, size_t n, uint32_t value);

// Blends one colour over n target words, as BlendOver does each.
void BlendSpanOver(uint32_t* dst, size_t n, uint32_t colour);

// A texel times a vertex colour, per channel, rounded.
uint32_t ModulateColour(uint32_t texel, uint32_t colour);

// Blends one 0xAABBGGRR source word over a target word.
uint32_t BlendOver(uint32_t src, uint32_t dst);
uint32_t BlendOverStraight(uint32_t src, uint32_t dst);
