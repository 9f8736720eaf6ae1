// Font faces on FreeType and fontconfig: finding the file a family name
// resolves to, opening it, line metrics, and anti-aliased glyph images kept in
// a cache. Shared by the system-font text of the renderer and by the asset
// tool that draws our bitmap fonts. One thread at a time (the GUI thread).
#pragma once

#include <cstddef>
#include <cstdint>

struct FontFace;

// Asks fontconfig for the font that a family name and an OpenType weight
// (100..900, 400 regular, 700 bold) resolve to. Writes the file's path, the
// face's index within the file and, when asked, the matched family's name.
bool FindFontFile(const char* family, int weight, char* path, size_t pathSize, int* index, char* matchedFamily,
                  size_t familySize);
// Makes FindFontFile answer with this file for every family (null: back to
// fontconfig). Lets a test hand the text engine a damaged font file.
void OverrideFontFile(const char* path);
// Counts the overrides, so that callers keeping resolved fonts ask again.
int FontFileGeneration();

// Opens a face; null (with a message on stderr) when the file is missing or
// FreeType cannot read it. The face and its glyphs live until CloseFontFace,
// or the end of the process.
FontFace* OpenFontFace(const char* path, int index);
void CloseFontFace(FontFace* face);
// The face's own weight (OpenType scale), for choosing synthetic emboldening.
int FontFaceWeight(const FontFace* face);

// Vertical metrics in pixels at an em size of size pixels; all positive.
struct FontLineMetrics {
    float ascent, descent, lineGap;
};
bool GetFontLineMetrics(FontFace* face, float size, FontLineMetrics* out);

// One glyph's coverage image: width x height bytes (0 transparent .. 255
// covered), row by row; left and top place its upper left pixel relative to
// the pen on the baseline (top counts upwards); advance in pixels.
struct GlyphImage {
    int width = 0, height = 0;
    int left = 0, top = 0;
    float advance = 0;
    const uint8_t* coverage = nullptr;
};

// Sizes outside this range draw nothing.
constexpr float kMaxFontPixels = 1000.0f;

// The glyph of a Unicode code point at an em size of size pixels with the pen
// subpixel / 4 pixel right of a whole pixel (0..3), made bolder when
// embolden is set. Null when the size is unusable or FreeType fails; a code
// point the face lacks gives its missing-glyph box. The result stays valid
// until TrimGlyphCache or CloseFontFace.
const GlyphImage* GetGlyph(FontFace* face, float size, uint32_t codePoint, int subpixel, bool embolden);
// Drops cached glyphs once the cache holds more than it should; call it only
// while no GlyphImage pointer is in use.
void TrimGlyphCache(FontFace* face);
