// System-font text and screen hit tests: strings in the font "Arial" drawn
// through the font wrapper into the current target (client pixels, or map
// pixels turned about their anchor), the outline of a label's ink box, and
// whether a map point lies on the screen or near a click. Texts are code
// page 1252. GUI thread only.
#pragma once

#include "platform/gpu/fonts.h"
#include "render/polylines.h"

#include <cstdint>

// The text objects: made by the device start, released at clean-up.
struct TextRendererState {
    IFW1Factory* factory = nullptr;
    IFW1FontWrapper* wrapper = nullptr;
    IDWriteFactory* writeFactory = nullptr;
    IDWriteTextFormat* textFormat = nullptr;
};
extern TextRendererState TextRenderer;

void CreateTextObjects(ID3D11Device* device);
void ReleaseTextObjects();

// Texts longer than these are cut (the conversion buffers hold one unit more).
constexpr int kFontStringChars = 1023;
constexpr int kTextLayoutChars = 511;

// x, y in client pixels; flags: FW1_LEFT, FW1_CENTER, FW1_RIGHT, FW1_VCENTER.
void DrawFontString(float size, float x, float y, uint32_t colour, const char* text, uint32_t flags);
// Anchored at the map-pixel point (x, y), turned clockwise by angle about it.
void DrawTextRotated(float size, float x, float y, uint32_t colour, const char* text, double angle, uint32_t flags);
// The same through a text layout of the given weight (400 normal, 700 bold).
void DrawTextLayoutRotated(float size, float x, float y, uint32_t colour, const char* text, double angle,
                           uint32_t flags, uint32_t weight);
// The closed box (5 points) of the text's ink at the current font size times
// scale, centred on (centreX, centreY), and the same box one pixel larger on
// every side. Only x and y of the points are written.
void MeasureTextOutline(OutlinePoint* outline, OutlinePoint* frame, double scale, const char* text, uint32_t weight,
                        double centreX, double centreY);

// Whether a map-pixel point lies on the client area (edges included).
bool IsOnScreen(double x, double y);
// Whether a click (client pixels) lies less than 30 pixels from a map point
// in both directions.
bool IsNearPoint(int32_t mapX, int32_t mapY, int32_t clickX, int32_t clickY);
