// Bitmap fonts and glyph text: font descriptions in the BMFont text format
// read at device start into stored fonts, one current font picked by id, and
// lines or blocks of lines drawn as one textured quad per glyph, optionally on
// a filled box. Also the current font size the text drawers read.
// GUI thread only.
#pragma once

#include "render/device.h"
#include "render/quads.h"

#include <cstdint>

// A line of text on the map's picture, or on a filled box of the box colour.
enum class TextBackground : uint8_t {
    Clear,
    Box,
};

struct BitmapFontChar {
    int32_t x, y;             // top left in the page image, pixels
    int32_t width, height;    // size in the page image
    int32_t xoffset, yoffset; // from the pen, right and down from the line's top
    int32_t xadvance;         // pen step after the glyph
    int32_t page;
};

struct BitmapFont {
    int32_t lineHeight; // > 0 marks a loaded font
    int32_t base;
    int32_t scaleW, scaleH; // page size: u = x / scaleW, v = y / scaleH
    int32_t pages;
    BitmapFontChar chars[256]; // by the character's byte
};

extern BitmapFont CurrentBitmapFont;
extern int32_t CurrentBitmapFontId;
extern int32_t CurrentFontSize;

constexpr int kBitmapTextMaxChars = 5000;

// Reads "Bitmaps/Arial_16.fnt", "Arial_121.fnt" and "Arial_14.fnt" of the
// program root into the stored fonts 16, 121 and 14.
void LoadBitmapFonts();
// Reads one description over CurrentBitmapFont: what the file does not set
// keeps what the font held. False when the file cannot be opened or is
// refused (the reason goes to the log); a refused file changes nothing.
bool ReadFntFile(const char* path);
// One key=value token of a "common" or a "char" line.
void ParseFntCommon(const char* token);
void ParseFntChar(const char* token);

// Makes the stored font of the id current (when loaded) and returns the
// sprite slot of its page image.
int32_t SelectBitmapFont(int32_t id);
void SetFontSize(int32_t size);
int32_t GetFontSize();

// One line from its top left (x, y), on a filled box or not, in map pixels
// about the screen centre or on the virtual screen. A turn moves only the
// start point.
void DrawBitmapText(ID3D11ShaderResourceView* texture, const char* text, float x, float y, uint32_t colour,
                    uint32_t boxColour, float angle, TextBackground box, QuadPlacement placement);
HRESULT DrawBitmapTextLine(ID3D11ShaderResourceView* texture, const char* text, const ScreenRect* rect, uint32_t colour,
                           uint32_t boxColour, float angle, TextBackground box, QuadPlacement placement);
// count lines from rect's top left, lineSpacing apart; an empty line ends the
// block with -1.
HRESULT DrawBitmapTextBlock(ID3D11ShaderResourceView* texture, const char* const* lines, int count,
                            const ScreenRect* rect, float lineSpacing, uint32_t colour, uint32_t boxColour, float angle,
                            TextBackground box, QuadPlacement placement);
