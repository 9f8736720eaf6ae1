// Bitmap fonts and glyph text.
#pragma once

#include "render/device.h"

#include <cstdint>

// Reads the bitmap font files of the Bitmaps folder.
void LoadBitmapFonts();

// Makes the font of the id current; the sprite slot of its page image.
int SelectBitmapFont(int id);
// The current font size in virtual units, read by every text drawer.
void SetFontSize(int size);
int GetFontSize();
void DrawBitmapText(ID3D11ShaderResourceView* texture, const char* text, float x, float y, uint32_t colour,
                    uint32_t boxColour, float angle, uint8_t withBox, uint8_t mapPixels);
HRESULT DrawBitmapTextBlock(ID3D11ShaderResourceView* texture, const char* const* lines, int count,
                            const ScreenRect* rect, float lineSpacing, uint32_t colour, uint32_t boxColour,
                            float angle, uint8_t withBox, uint8_t mapPixels);
