// Font faces and their glyph cache (see font_faces.h). Glyphs are loaded with
// light hinting (vertical only), so advances stay fractional and a pen at a
// quarter pixel gets its own image. Every FreeType error becomes a null face
// or glyph: a damaged font file never takes the program down.
#include "platform/gpu/font_faces.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr size_t kGlyphCacheLimit = 4096;

struct CachedGlyph {
    GlyphImage image;
    std::vector<uint8_t> pixels;
};

// The FreeType library, made on first use, and the faces open on it; both
// are closed at exit, faces first, whatever order other modules end in.
struct FreeTypeLibrary {
    FT_Library library = nullptr;
    bool tried = false;
    std::vector<FontFace*> faces;
    ~FreeTypeLibrary();
};

FreeTypeLibrary g_freetype;
std::string g_overridePath;
int g_generation = 0;

FT_Library Library()
{
    if (!g_freetype.tried) {
        g_freetype.tried = true;
        if (FT_Init_FreeType(&g_freetype.library) != 0) {
            g_freetype.library = nullptr;
            std::fprintf(stderr, "fonts: FreeType did not start\n");
        }
    }
    return g_freetype.library;
}

void CopyText(char* out, size_t size, const char* text)
{
    if (out && size > 0)
        std::snprintf(out, size, "%s", text ? text : "");
}

} // namespace

struct FontFace {
    FT_Face face = nullptr;
    int weight = 400;
    FT_F26Dot6 currentSize = -1;
    std::unordered_map<uint64_t, std::unique_ptr<CachedGlyph>> glyphs;
};

FreeTypeLibrary::~FreeTypeLibrary()
{
    while (!faces.empty())
        CloseFontFace(faces.back());
    if (library)
        FT_Done_FreeType(library);
    library = nullptr;
}

bool FindFontFile(const char* family, int weight, char* path, size_t pathSize, int* index, char* matchedFamily,
                  size_t familySize)
{
    if (!g_overridePath.empty()) {
        CopyText(path, pathSize, g_overridePath.c_str());
        if (index)
            *index = 0;
        CopyText(matchedFamily, familySize, family);
        return true;
    }
    if (!family || !FcInit())
        return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight < 1 ? 400 : weight > 1000 ? 1000 : weight));
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    FcChar8* file = nullptr;
    FcChar8* name = nullptr;
    int faceIndex = 0;
    bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
    if (found) {
        CopyText(path, pathSize, reinterpret_cast<const char*>(file));
        if (FcPatternGetInteger(match, FC_INDEX, 0, &faceIndex) != FcResultMatch)
            faceIndex = 0;
        if (index)
            *index = faceIndex;
        if (FcPatternGetString(match, FC_FAMILY, 0, &name) != FcResultMatch)
            name = nullptr;
        CopyText(matchedFamily, familySize, reinterpret_cast<const char*>(name));
    }
    FcPatternDestroy(match);
    return found;
}

void OverrideFontFile(const char* path)
{
    g_overridePath = path ? path : "";
    g_generation++;
}

int FontFileGeneration()
{
    return g_generation;
}

FontFace* OpenFontFace(const char* path, int index)
{
    FT_Library library = Library();
    if (!library || !path)
        return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(library, path, index < 0 ? 0 : index, &face) != 0 || !face) {
        std::fprintf(stderr, "fonts: cannot read the font file %s\n", path);
        return nullptr;
    }
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        std::fprintf(stderr, "fonts: %s holds no outline font\n", path);
        FT_Done_Face(face);
        return nullptr;
    }
    auto* f = new FontFace;
    f->face = face;
    g_freetype.faces.push_back(f);
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->usWeightClass >= 100 && os2->usWeightClass <= 1000)
        f->weight = os2->usWeightClass;
    else
        f->weight = (face->style_flags & FT_STYLE_FLAG_BOLD) ? 700 : 400;
    return f;
}

void CloseFontFace(FontFace* face)
{
    if (!face)
        return;
    auto& open = g_freetype.faces;
    open.erase(std::remove(open.begin(), open.end(), face), open.end());
    face->glyphs.clear();
    FT_Done_Face(face->face);
    delete face;
}

int FontFaceWeight(const FontFace* face)
{
    return face ? face->weight : 400;
}

namespace {

bool UsableSize(float size)
{
    return std::isfinite(size) && size > 0.0f && size <= kMaxFontPixels;
}

// Sets the face's size in 26.6 pixels; FreeType keeps one size per face.
bool SelectSize(FontFace* face, FT_F26Dot6 size64)
{
    if (face->currentSize == size64)
        return true;
    if (FT_Set_Char_Size(face->face, 0, size64, 72, 72) != 0)
        return false;
    face->currentSize = size64;
    return true;
}

FT_F26Dot6 ToSize64(float size)
{
    return static_cast<FT_F26Dot6>(std::lround(size * 64.0f));
}

} // namespace

bool GetFontLineMetrics(FontFace* face, float size, FontLineMetrics* out)
{
    if (!face || !out || !UsableSize(size))
        return false;
    const FT_Face f = face->face;
    // Unhinted design metrics scaled to the size, as a layout engine uses them.
    float scale = size / static_cast<float>(f->units_per_EM);
    out->ascent = std::fabs(static_cast<float>(f->ascender)) * scale;
    out->descent = std::fabs(static_cast<float>(f->descender)) * scale;
    float gap = static_cast<float>(f->height) - static_cast<float>(f->ascender) + static_cast<float>(f->descender);
    out->lineGap = gap > 0 ? gap * scale : 0.0f;
    return true;
}

const GlyphImage* GetGlyph(FontFace* face, float size, uint32_t codePoint, int subpixel, bool embolden)
{
    if (!face || !UsableSize(size) || codePoint > 0x10FFFF)
        return nullptr;
    FT_F26Dot6 size64 = ToSize64(size);
    if (size64 <= 0)
        return nullptr;
    subpixel &= 3;
    uint64_t key = (static_cast<uint64_t>(size64) << 25) | (static_cast<uint64_t>(codePoint) << 3) |
                   (static_cast<uint64_t>(subpixel) << 1) | (embolden ? 1u : 0u);
    auto it = face->glyphs.find(key);
    if (it != face->glyphs.end())
        return &it->second->image;

    if (!SelectSize(face, size64))
        return nullptr;
    FT_Face f = face->face;
    FT_UInt index = FT_Get_Char_Index(f, codePoint);
    if (FT_Load_Glyph(f, index, FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP) != 0)
        return nullptr;
    FT_GlyphSlot slot = f->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE)
        return nullptr;
    float advance = static_cast<float>(slot->linearHoriAdvance) / 65536.0f;
    if (embolden) {
        // A stroke of about a 24th of the em thickens the stems and widens the advance.
        FT_Pos strength = FT_MulFix(f->units_per_EM, f->size->metrics.y_scale) / 24;
        FT_Outline_Embolden(&slot->outline, strength);
        FT_Outline_Translate(&slot->outline, -strength / 2, -strength / 2);
        advance += static_cast<float>(strength) / 64.0f;
    }
    FT_Outline_Translate(&slot->outline, subpixel * 16, 0);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return nullptr;

    auto cached = std::make_unique<CachedGlyph>();
    const FT_Bitmap& bm = slot->bitmap;
    int width = static_cast<int>(bm.width), height = static_cast<int>(bm.rows);
    // Rendered outlines flow downwards; anything else is taken as empty.
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || bm.pitch < width || (width > 0 && height > 0 && !bm.buffer))
        width = height = 0;
    cached->pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; y++)
        std::memcpy(cached->pixels.data() + static_cast<size_t>(y) * width, bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch,
                    static_cast<size_t>(width));
    GlyphImage& img = cached->image;
    img.width = width;
    img.height = height;
    img.left = slot->bitmap_left;
    img.top = slot->bitmap_top;
    img.advance = advance;
    img.coverage = cached->pixels.data();
    const GlyphImage* result = &cached->image;
    face->glyphs.emplace(key, std::move(cached));
    return result;
}

void TrimGlyphCache(FontFace* face)
{
    if (face && face->glyphs.size() > kGlyphCacheLimit)
        face->glyphs.clear();
}
