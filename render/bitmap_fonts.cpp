// Bitmap fonts (see bitmap_fonts.h). A description is read into a scratch
// copy of the current font and taken over only when it holds together: a
// page size of at least one pixel, pages that exist, and glyphs inside their
// page. Glyph ids above 255 and glyphs that break those rules are skipped
// with a log line, so no file can write past the glyph table or make the
// texture coordinates infinite.
#include "render/bitmap_fonts.h"

#include "platform/files.h"
#include "platform/log.h"
#include "render/screen_centre.h"
#include "render/shapes.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

BitmapFont CurrentBitmapFont;
int32_t CurrentBitmapFontId = 24;
int32_t CurrentFontSize = 8;

namespace {

struct FontId {
    int32_t id, size, slot;
};

// The stored fonts by id, the size each sets and the sprite slot of its page.
constexpr FontId kFontIds[] = {{24, 24, 21}, {20, 20, 34}, {16, 16, 60}, {161, 16, 36},
                               {14, 14, 60}, {12, 12, 58}, {121, 12, 59}, {122, 12, 62}};
constexpr int kFontCount = sizeof(kFontIds) / sizeof(kFontIds[0]);
constexpr int32_t kOtherSlot = 60;
BitmapFont g_stored[kFontCount];

constexpr int kTokenChars = 19;    // a key or value longer than this is cut
constexpr int kLineChars = 255;    // longer lines are read in pieces
constexpr int32_t kMaxPageSide = 16384;
constexpr int32_t kMaxPages = 16;
constexpr int32_t kMaxMetric = 65535; // larger glyph metrics are nonsense

// The glyph the "char" keys fill: set by "id", kept across lines and files.
uint16_t g_glyphId = 0;
bool g_glyphUsable = true; // false after an id beyond the table

int FontIndex(int32_t id)
{
    for (int i = 0; i < kFontCount; i++)
        if (kFontIds[i].id == id)
            return i;
    return -1;
}

// Decimal as the C runtime reads it: blanks, a sign, digits up to the first
// other character; no digits give 0. Saturates instead of overflowing.
int32_t ReadDecimal(const char* s)
{
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r' || *s == '\v' || *s == '\f')
        s++;
    bool negative = *s == '-';
    if (*s == '-' || *s == '+')
        s++;
    int64_t v = 0;
    for (; *s >= '0' && *s <= '9'; s++)
        v = std::min<int64_t>(v * 10 + (*s - '0'), int64_t{1} << 32);
    v = negative ? -v : v;
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Splits "key=value", each cut to kTokenChars; false without "=".
bool SplitToken(const char* token, char* key, char* value)
{
    const char* eq = token ? std::strchr(token, '=') : nullptr;
    if (!eq)
        return false;
    size_t k = std::min<size_t>(static_cast<size_t>(eq - token), kTokenChars);
    std::memcpy(key, token, k);
    key[k] = 0;
    size_t v = strnlen(eq + 1, kTokenChars);
    std::memcpy(value, eq + 1, v);
    value[v] = 0;
    return true;
}

void ParseCommonInto(BitmapFont& font, const char* token)
{
    char key[kTokenChars + 1], value[kTokenChars + 1];
    if (!SplitToken(token, key, value))
        return;
    int32_t* fields[] = {&font.lineHeight, &font.base, &font.scaleW, &font.scaleH, &font.pages};
    const char* names[] = {"lineHeight", "base", "scaleW", "scaleH", "pages"};
    for (int i = 0; i < 5; i++)
        if (std::strcmp(key, names[i]) == 0) {
            *fields[i] = ReadDecimal(value);
            return;
        }
}

// Returns the glyph id an "id" key named (or -1), so the reader can note it.
int ParseCharInto(BitmapFont& font, const char* token, const char* source)
{
    char key[kTokenChars + 1], value[kTokenChars + 1];
    if (!SplitToken(token, key, value))
        return -1;
    if (std::strcmp(key, "id") == 0) {
        int32_t id = ReadDecimal(value);
        g_glyphId = static_cast<uint16_t>(id);
        g_glyphUsable = id >= 0 && id <= 255;
        if (!g_glyphUsable)
            WriteLogF("Bitmap font %s: glyph id %d is beyond the 256 glyphs, skipped", source, id);
        return g_glyphUsable ? id : -1;
    }
    if (!g_glyphUsable)
        return -1;
    BitmapFontChar& g = font.chars[g_glyphId];
    int32_t* fields[] = {&g.x, &g.y, &g.width, &g.height, &g.xoffset, &g.yoffset, &g.xadvance, &g.page};
    const char* names[] = {"x", "y", "width", "height", "xoffset", "yoffset", "xadvance", "page"};
    for (int i = 0; i < 8; i++)
        if (std::strcmp(key, names[i]) == 0) {
            *fields[i] = ReadDecimal(value);
            break;
        }
    return -1;
}

// Checks the tokens of a "page" line: its id must lie below the page count
// and the file it names must exist beside the description. False (logged)
// otherwise.
bool CheckPageLine(char* const* tokens, int count, const char* path, int32_t pages)
{
    int32_t id = -1;
    char file[kLineChars + 1] = "";
    for (int i = 0; i < count; i++) {
        if (std::strncmp(tokens[i], "id=", 3) == 0)
            id = ReadDecimal(tokens[i] + 3);
        else if (std::strncmp(tokens[i], "file=", 5) == 0)
            std::snprintf(file, sizeof(file), "%s", tokens[i] + 5 + (tokens[i][5] == '"' ? 1 : 0));
    }
    file[std::strcspn(file, "\"\r\n")] = 0;
    if (id < 0 || id >= pages) {
        WriteLogF("Bitmap font %s: page %d is outside its %d pages", path, id, pages);
        return false;
    }
    if (!file[0] || file[0] == '/' || std::strstr(file, ".."))
        return true; // nothing to look for beside the description
    char here[600], full[kLineChars + 600], resolved[kLineChars + 600];
    std::snprintf(here, sizeof(here), "%s", path);
    NormalizePath(here);
    const char* slash = std::strrchr(here, '/');
    int folder = slash ? static_cast<int>(slash - here + 1) : 0;
    std::snprintf(full, sizeof(full), "%.*s%s", folder, here, file);
    if (!ResolvePath(full, resolved, sizeof(resolved))) {
        WriteLogF("Bitmap font %s: page image %s is missing", path, full);
        return false;
    }
    return true;
}

bool GlyphFits(const BitmapFontChar& g, const BitmapFont& f)
{
    auto within = [](int32_t v) { return v >= -kMaxMetric && v <= kMaxMetric; };
    return g.x >= 0 && g.y >= 0 && g.width >= 0 && g.height >= 0 && g.x <= f.scaleW - g.width &&
           g.y <= f.scaleH - g.height && within(g.xoffset) && within(g.yoffset) && within(g.xadvance) &&
           g.page >= 0 && g.page < f.pages;
}

// Whether the font read from path holds together; glyphs that do not fit
// their page are cleared.
bool CheckFont(BitmapFont& font, const std::bitset<256>& listed, int declaredChars, const char* path)
{
    if (font.scaleW < 1 || font.scaleH < 1 || font.scaleW > kMaxPageSide || font.scaleH > kMaxPageSide) {
        WriteLogF("Bitmap font %s: page size %d x %d is not usable", path, font.scaleW, font.scaleH);
        return false;
    }
    if (font.pages < 1 || font.pages > kMaxPages) {
        WriteLogF("Bitmap font %s: %d pages is not a usable count", path, font.pages);
        return false;
    }
    if (font.lineHeight > kMaxMetric) {
        WriteLogF("Bitmap font %s: line height %d is not usable", path, font.lineHeight);
        return false;
    }
    for (int c = 0; c < 256; c++)
        if (listed[static_cast<size_t>(c)] && !GlyphFits(font.chars[c], font)) {
            WriteLogF("Bitmap font %s: glyph %d lies outside its page, skipped", path, c);
            font.chars[c] = BitmapFontChar{};
        }
    if (declaredChars >= 0 && static_cast<size_t>(declaredChars) != listed.count())
        WriteLogF("Bitmap font %s: %d glyphs announced, %zu read", path, declaredChars, listed.count());
    return true;
}

// Splits line into blank-separated tokens, in place; returns the count.
int Tokenize(char* line, char** tokens, int max)
{
    int n = 0;
    for (char* p = line; *p && n < max;) {
        while (*p == ' ')
            p++;
        if (!*p)
            break;
        tokens[n++] = p;
        while (*p && *p != ' ')
            p++;
        if (*p)
            *p++ = 0;
    }
    return n;
}

// ---- drawing ------------------------------------------------------------------

struct Point {
    float x, y;
};

// The start point, turned about the screen centre when the angle is not 0.
Point StartPoint(const ScreenRect& rect, float angle)
{
    Point p{rect.x0, rect.y0};
    if (angle == 0.0f)
        return p;
    float cx, cy;
    GetScreenCentre(&cx, &cy);
    double a = angle, dx = p.x - cx, dy = p.y - cy;
    p.x = static_cast<float>(cx + dx * std::cos(a) - dy * std::sin(a));
    p.y = static_cast<float>(cy + dx * std::sin(a) + dy * std::cos(a));
    return p;
}

size_t TextLength(const char* text)
{
    return text ? strnlen(text, kBitmapTextMaxChars) : 0;
}

const BitmapFontChar& Glyph(char c)
{
    return CurrentBitmapFont.chars[static_cast<unsigned char>(c)];
}

// Right edge of a line's box: past the last glyph's ink, one pixel more.
float BoxRight(const char* text, size_t n, float x)
{
    double advance = 0;
    for (size_t i = 0; i + 1 < n; i++)
        advance += Glyph(text[i]).xadvance;
    const BitmapFontChar& last = Glyph(text[n - 1]);
    return static_cast<float>(x + advance + last.xoffset + last.width + 1);
}

// The glyphs of one line as a triangle list with the textured technique.
HRESULT DrawGlyphs(ID3D11ShaderResourceView* texture, const char* text, size_t n, Point start, uint32_t colour,
                   bool mapPixels)
{
    RenderVertex* out;
    HRESULT hr = BeginDraw(&out);
    if (FAILED(hr))
        return hr;
    float cx = 0, cy = 0;
    if (mapPixels)
        GetScreenCentre(&cx, &cy);
    auto clipX = [&](float v) { return mapPixels ? MapPixelToClipX(v, cx) : VirtualToClipX(v); };
    auto clipY = [&](float v) { return mapPixels ? MapPixelToClipY(v, cy) : VirtualToClipY(v); };
    const float scaleW = static_cast<float>(CurrentBitmapFont.scaleW);
    const float scaleH = static_cast<float>(CurrentBitmapFont.scaleH);
    double pen = 0;
    for (size_t i = 0; i < n; i++) {
        const BitmapFontChar& g = Glyph(text[i]);
        float left = static_cast<float>(start.x + pen + g.xoffset), right = left + static_cast<float>(g.width);
        float top = start.y + static_cast<float>(g.yoffset), bottom = top + static_cast<float>(g.height);
        float uL = static_cast<float>(g.x) / scaleW, uR = static_cast<float>(g.x + g.width) / scaleW;
        float vT = static_cast<float>(g.y) / scaleH, vB = static_cast<float>(g.y + g.height) / scaleH;
        const float corners[6][4] = {{left, top, uL, vT},     {right, top, uR, vT},    {right, bottom, uR, vB},
                                     {right, bottom, uR, vB}, {left, bottom, uL, vB}, {left, top, uL, vT}};
        for (int k = 0; k < 6; k++) {
            RenderVertex& v = out[i * 6 + k];
            v.x = clipX(corners[k][0]);
            v.y = clipY(corners[k][1]);
            v.z = 0.0f;
            v.colour = colour;
            v.u = corners[k][2];
            v.v = corners[k][3];
        }
        pen += g.xadvance;
    }
    FinishDraw(static_cast<int>(n * 6), D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, TexturedTechnique(), texture);
    return S_OK;
}

void DrawLineBox(float left, float right, float top, float bottom, uint32_t boxColour, bool mapPixels)
{
    ScreenRect box{left, right, top, bottom};
    DrawBox(&box, boxColour, 0.0f, mapPixels ? QuadPlacement::MapPixels : QuadPlacement::VirtualScreen, 0, 0.0f);
}

} // namespace

void ParseFntCommon(const char* token)
{
    ParseCommonInto(CurrentBitmapFont, token);
}

void ParseFntChar(const char* token)
{
    ParseCharInto(CurrentBitmapFont, token, "(token)");
}

bool ReadFntFile(const char* path)
{
    FILE* file = path ? OpenFile(path, "r") : nullptr;
    if (!file)
        return false;
    static BitmapFont scratch; // 8 KB: kept off the stack
    scratch = CurrentBitmapFont;
    std::bitset<256> listed;
    int declaredChars = -1;
    bool usable = true;
    char line[kLineChars + 1];
    char* tokens[kLineChars / 2 + 1];
    while (std::fgets(line, sizeof(line), file)) {
        int n = Tokenize(line, tokens, static_cast<int>(sizeof(tokens) / sizeof(tokens[0])));
        if (n == 0)
            continue;
        if (std::strcmp(tokens[0], "common") == 0) {
            for (int i = 1; i < n; i++)
                ParseCommonInto(scratch, tokens[i]);
        } else if (std::strcmp(tokens[0], "char") == 0) {
            for (int i = 1; i < n; i++) {
                int id = ParseCharInto(scratch, tokens[i], path);
                if (id >= 0)
                    listed.set(static_cast<size_t>(id));
            }
        } else if (std::strcmp(tokens[0], "chars") == 0 && n > 1 && std::strncmp(tokens[1], "count=", 6) == 0) {
            declaredChars = ReadDecimal(tokens[1] + 6);
        } else if (std::strcmp(tokens[0], "page") == 0) {
            usable = CheckPageLine(tokens + 1, n - 1, path, scratch.pages) && usable;
        }
    }
    std::fclose(file);
    if (!usable || !CheckFont(scratch, listed, declaredChars, path)) {
        WriteLogF("Bitmap font %s refused", path);
        return false;
    }
    CurrentBitmapFont = scratch;
    return true;
}

void LoadBitmapFonts()
{
    const struct {
        const char* name;
        int32_t id;
    } files[] = {{"Arial_16.fnt", 16}, {"Arial_121.fnt", 121}, {"Arial_14.fnt", 14}};
    for (const auto& f : files) {
        char path[600];
        std::snprintf(path, sizeof(path), "%s/Bitmaps/%s", ProgramRoot, f.name);
        if (!ReadFntFile(path))
            continue;
        g_stored[FontIndex(f.id)] = CurrentBitmapFont;
        CurrentBitmapFontId = f.id;
    }
}

int32_t SelectBitmapFont(int32_t id)
{
    int i = FontIndex(id);
    if (i < 0)
        return kOtherSlot;
    if (id != CurrentBitmapFontId && g_stored[i].lineHeight > 0) {
        CurrentBitmapFont = g_stored[i];
        CurrentBitmapFontId = id;
        CurrentFontSize = kFontIds[i].size;
    }
    return kFontIds[i].slot;
}

void SetFontSize(int32_t size)
{
    CurrentFontSize = size;
}

int32_t GetFontSize()
{
    return CurrentFontSize;
}

void DrawBitmapText(ID3D11ShaderResourceView* texture, const char* text, float x, float y, uint32_t colour,
                    uint32_t boxColour, float angle, TextBackground box, QuadPlacement placement)
{
    ScreenRect rect{x, 0, y, 0};
    DrawBitmapTextLine(texture, text, &rect, colour, boxColour, angle, box, placement);
}

HRESULT DrawBitmapTextLine(ID3D11ShaderResourceView* texture, const char* text, const ScreenRect* rect, uint32_t colour,
                           uint32_t boxColour, float angle, TextBackground box, QuadPlacement placement)
{
    if (!RenderDevice.context)
        return E_FAIL;
    const bool mapPixels = placement == QuadPlacement::MapPixels;
    size_t n = TextLength(text);
    if (n < 1 || !rect)
        return -1;
    Point p = StartPoint(*rect, angle);
    if (box == TextBackground::Box) {
        const BitmapFontChar& g0 = Glyph(text[0]);
        DrawLineBox(p.x + static_cast<float>(g0.xoffset) - 1, BoxRight(text, n, p.x), p.y - 1,
                    p.y + static_cast<float>(g0.yoffset + g0.height) + 1, boxColour, mapPixels);
    }
    return DrawGlyphs(texture, text, n, p, colour, mapPixels);
}

HRESULT DrawBitmapTextBlock(ID3D11ShaderResourceView* texture, const char* const* lines, int count,
                            const ScreenRect* rect, float lineSpacing, uint32_t colour, uint32_t boxColour, float angle,
                            TextBackground box, QuadPlacement placement)
{
    if (!RenderDevice.context)
        return E_FAIL;
    const bool mapPixels = placement == QuadPlacement::MapPixels;
    if (!rect || (count > 0 && !lines))
        return -1;
    Point start = StartPoint(*rect, angle);
    if (angle != 0.0f) {
        start.x += 0.5f;
        start.y += 0.5f;
    }
    float firstRight = 0;
    for (int k = 0; k < count; k++) {
        const char* text = lines[k];
        size_t n = TextLength(text);
        if (n < 1)
            return -1;
        Point p{start.x, start.y + static_cast<float>(k) * lineSpacing};
        if (box == TextBackground::Box) {
            const BitmapFontChar& g0 = Glyph(text[0]);
            float right = BoxRight(text, n, p.x);
            if (k == 0)
                firstRight = right;
            DrawLineBox(p.x + static_cast<float>(g0.xoffset) - 1, std::max(right, firstRight),
                        p.y + static_cast<float>(g0.yoffset) - 2,
                        p.y + static_cast<float>(g0.yoffset + g0.height) + 2, boxColour, mapPixels);
        }
        HRESULT hr = DrawGlyphs(texture, text, n, p, colour, mapPixels);
        if (FAILED(hr))
            return hr;
    }
    return 0;
}
