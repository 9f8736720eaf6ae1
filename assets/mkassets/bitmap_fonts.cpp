// Our bitmap fonts: the 256 characters of code page 1252 rendered from an
// installed free font (Liberation Sans, else DejaVu Sans, found through
// fontconfig), packed into page images of white glyphs whose alpha is their
// coverage, and described in the BMFont text format. The 16 and 14 pixel
// fonts share one page, since the display draws both from the same sprite.
#include "bitmap_fonts.h"

#include "platform/codepage.h"
#include "platform/gpu/font_faces.h"

#include <FreeImage.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct FontFile {
    const char* fnt;
    float pixels;
};

struct FontPage {
    const char* png;
    std::vector<FontFile> fonts;
};

const FontPage kPages[] = {
    {"Arial_16_00.png", {{"Arial_16.fnt", 16.0f}, {"Arial_14.fnt", 14.0f}}},
    {"Arial_121_00.png", {{"Arial_121.fnt", 12.0f}}},
};

constexpr int kSpacing = 1;   // empty texels between glyphs, so filtering never bleeds
constexpr int kMaxSide = 2048;

struct Glyph {
    const GlyphImage* image = nullptr; // null: nothing to draw
    int x = 0, y = 0;                  // place in the page
    int xoffset = 0, yoffset = 0, xadvance = 0;
};

struct Font {
    const FontFile* file = nullptr;
    int lineHeight = 0, base = 0;
    Glyph glyphs[256];
};

// Controls and the five bytes the code page leaves undefined draw nothing.
bool Printable(uint32_t codePoint)
{
    return codePoint >= 0x20 && !(codePoint >= 0x7F && codePoint <= 0x9F);
}

bool RenderFont(FontFace* face, Font& font)
{
    FontLineMetrics m;
    float size = font.file->pixels;
    if (!GetFontLineMetrics(face, size, &m))
        return false;
    font.base = static_cast<int>(std::lround(m.ascent));
    font.lineHeight = static_cast<int>(std::lround(m.ascent + m.descent + m.lineGap));
    for (int c = 0; c < 256; c++) {
        uint32_t cp = Cp1252ToCodePoint(static_cast<unsigned char>(c));
        if (!Printable(cp))
            continue;
        const GlyphImage* g = GetGlyph(face, size, cp, 0, false);
        if (!g) {
            std::fprintf(stderr, "tvl-mkassets: no glyph for character %d at %g pixels\n", c, size);
            return false;
        }
        Glyph& out = font.glyphs[c];
        out.image = g->width > 0 && g->height > 0 ? g : nullptr;
        out.xoffset = g->left;
        out.yoffset = font.base - g->top;
        out.xadvance = static_cast<int>(std::lround(g->advance));
    }
    return true;
}

// Shelf packing, tallest glyphs first; false when the page is too small.
bool Pack(std::vector<Glyph*>& glyphs, int side)
{
    std::stable_sort(glyphs.begin(), glyphs.end(),
                     [](const Glyph* a, const Glyph* b) { return a->image->height > b->image->height; });
    int x = kSpacing, y = kSpacing, shelf = 0;
    for (Glyph* g : glyphs) {
        int w = g->image->width, h = g->image->height;
        if (x + w + kSpacing > side) {
            x = kSpacing;
            y += shelf + kSpacing;
            shelf = 0;
        }
        if (w + 2 * kSpacing > side || y + h + kSpacing > side)
            return false;
        g->x = x;
        g->y = y;
        x += w + kSpacing;
        shelf = std::max(shelf, h);
    }
    return true;
}

bool WritePage(const std::string& path, const std::vector<Glyph*>& glyphs, int side)
{
    FIBITMAP* page = FreeImage_Allocate(side, side, 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    if (!page)
        return false;
    for (int y = 0; y < side; y++) {
        // White everywhere, so filtering at a glyph's edge never darkens it.
        BYTE* row = FreeImage_GetScanLine(page, side - 1 - y);
        for (int x = 0; x < side; x++) {
            row[4 * x + FI_RGBA_RED] = row[4 * x + FI_RGBA_GREEN] = row[4 * x + FI_RGBA_BLUE] = 255;
            row[4 * x + FI_RGBA_ALPHA] = 0;
        }
    }
    for (const Glyph* g : glyphs) {
        const GlyphImage& img = *g->image;
        for (int y = 0; y < img.height; y++) {
            BYTE* row = FreeImage_GetScanLine(page, side - 1 - (g->y + y));
            for (int x = 0; x < img.width; x++)
                row[4 * (g->x + x) + FI_RGBA_ALPHA] = img.coverage[static_cast<size_t>(y) * img.width + x];
        }
    }
    bool ok = FreeImage_Save(FIF_PNG, page, path.c_str(), PNG_DEFAULT) != 0;
    FreeImage_Unload(page);
    return ok;
}

bool WriteDescription(const std::string& path, const Font& font, const char* family, const char* png, int side)
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    std::fprintf(f,
                 "info face=\"%s\" size=%d bold=0 italic=0 charset=\"\" unicode=0 stretchH=100 smooth=1 aa=1 "
                 "padding=0,0,0,0 spacing=%d,%d\n",
                 family, static_cast<int>(font.file->pixels), kSpacing, kSpacing);
    std::fprintf(f, "common lineHeight=%d base=%d scaleW=%d scaleH=%d pages=1 packed=0\n", font.lineHeight, font.base,
                 side, side);
    std::fprintf(f, "page id=0 file=\"%s\"\n", png);
    std::fprintf(f, "chars count=256\n");
    for (int c = 0; c < 256; c++) {
        const Glyph& g = font.glyphs[c];
        int w = g.image ? g.image->width : 0, h = g.image ? g.image->height : 0;
        std::fprintf(f,
                     "char id=%-4d x=%-5d y=%-5d width=%-5d height=%-5d xoffset=%-5d yoffset=%-5d xadvance=%-5d "
                     "page=0  chnl=15\n",
                     c, g.image ? g.x : 0, g.image ? g.y : 0, w, h, g.xoffset, g.yoffset, g.xadvance);
    }
    bool ok = std::ferror(f) == 0;
    return std::fclose(f) == 0 && ok;
}

// The installed font to draw from: Liberation Sans, else DejaVu Sans, else
// whatever fontconfig gives for a sans-serif face.
FontFace* OpenSourceFont(char* family, size_t familySize)
{
    const char* wanted[] = {"Liberation Sans", "DejaVu Sans", "sans-serif"};
    for (const char* name : wanted) {
        char path[1024];
        int index = 0;
        if (!FindFontFile(name, 400, path, sizeof(path), &index, family, familySize))
            continue;
        if (std::strcmp(name, "sans-serif") != 0 && std::strcmp(family, name) != 0)
            continue; // fontconfig substituted another family
        if (FontFace* face = OpenFontFace(path, index)) {
            if (std::strcmp(name, "sans-serif") == 0)
                std::fprintf(stderr, "tvl-mkassets: neither Liberation Sans nor DejaVu Sans is installed; using %s\n",
                             family);
            return face;
        }
    }
    std::fprintf(stderr, "tvl-mkassets: no font to draw the bitmap fonts from\n");
    return nullptr;
}

bool WritePageAndFonts(FontFace* face, const char* family, const FontPage& page, const std::string& bitmaps)
{
    std::vector<Font> fonts;
    for (const FontFile& file : page.fonts) {
        fonts.emplace_back();
        fonts.back().file = &file;
        if (!RenderFont(face, fonts.back()))
            return false;
    }
    std::vector<Glyph*> drawn;
    for (Font& font : fonts)
        for (Glyph& g : font.glyphs)
            if (g.image)
                drawn.push_back(&g);
    int side = 128;
    while (!Pack(drawn, side))
        if ((side *= 2) > kMaxSide) {
            std::fprintf(stderr, "tvl-mkassets: the glyphs of %s do not fit a page\n", page.png);
            return false;
        }
    if (!WritePage(bitmaps + "/" + page.png, drawn, side)) {
        std::fprintf(stderr, "tvl-mkassets: cannot write %s/%s\n", bitmaps.c_str(), page.png);
        return false;
    }
    for (const Font& font : fonts)
        if (!WriteDescription(bitmaps + "/" + font.file->fnt, font, family, page.png, side)) {
            std::fprintf(stderr, "tvl-mkassets: cannot write %s/%s\n", bitmaps.c_str(), font.file->fnt);
            return false;
        }
    return true;
}

} // namespace

bool WriteBitmapFonts(const std::string& bitmaps)
{
    char family[256] = "";
    FontFace* face = OpenSourceFont(family, sizeof(family));
    if (!face)
        return false;
    bool ok = true;
    for (const FontPage& page : kPages)
        ok = WritePageAndFonts(face, family, page, bitmaps) && ok;
    CloseFontFace(face);
    return ok;
}
