// Drawing helpers of the map layers: the dimming rule, text at virtual-screen
// points, label boxes, turning points and outlines about a centre, cached
// circles, the ILS feather and the curved track vector. GUI thread only.
#pragma once

#include "render/bitmap_fonts.h"
#include "render/polylines.h"

#include <cstdint>

// Red, green and blue x Dimlevel / 255 (truncating) below 255; alpha kept.
void DimColour(uint32_t* out, uint32_t colour);
uint32_t DimmedColour(uint32_t colour, int dimLevel);

// Client width / 640, client height / 480 and the smaller of the two; the
// text and sprite drawers scale by them. 1.0 until the window is measured.
extern float ScreenScaleX, ScreenScaleY, TextScale;
void SetScreenFactors(int clientWidth, int clientHeight);

// One scratch array of points shared by every layer that hands a polyline or
// an outline to the renderer; its contents live until the next layer.
constexpr int ScreenPointCapacity = 10000;
extern OutlinePoint ScreenPointBuffer[ScreenPointCapacity];

// Text at a virtual-screen point in the current font size; alignment 0 left,
// 1 centred, 2 right. The colour is dimmed.
void DrawText(const char* text, float x, float y, uint32_t colour, int alignment);
void DrawTextLeft(const char* text, float x, float y, uint32_t colour);
void DrawTextCentred(const char* text, float x, float y, uint32_t colour);
void DrawTextRight(const char* text, float x, float y, uint32_t colour);
// Text turned by angle about a map-pixel anchor, at the current size x scale.
void DrawTextRotatedScaled(const char* text, double x, double y, uint32_t colour, double scale, double angle,
                           uint32_t flags);
void DrawTextLayoutScaled(const char* text, double x, double y, uint32_t colour, double scale, double angle,
                          uint32_t weight, uint32_t flags);
// Bitmap-font text with the page image of a sprite slot; the text colour is
// dimmed only when the slot is dimmable, the box colour never.
void DrawBitmapTextDimmed(int fontSlot, const char* text, float x, float y, uint32_t colour, uint32_t boxColour,
                          float angle, TextBackground box, QuadPlacement placement);
void DrawBitmapTextBlockDimmed(int fontSlot, const char* const* lines, int lineCount, float x, float y, float textSize,
                               uint32_t colour, uint32_t boxColour, float angle, TextBackground box,
                               QuadPlacement placement);

// A text centred in a filled box with a thin white frame: one map label.
void DrawLabelBox(double scale, const char* text, uint32_t weight, double x, double y, double boxAngle,
                  uint32_t textColour, uint32_t boxColour, double mapAngle);

// Turns (x, y) by angle about (cx, cy); angle 0 leaves it exactly as it was.
void RotateAboutCentre(double* x, double* y, double angle, float cx, float cy);
// Turns the first four points of a closed 5-point outline about their mean;
// point 5 becomes point 1.
void RotateOutlineAboutOwnCentre(OutlinePoint* outline, double angle);
void RotateOutlineAboutPoint(OutlinePoint* outline, double angle, float cx, float cy);

// A circle as a polyline of 36 to 99 segments, kept in cache slot 1 or 2
// until the centre or radius changes.
void DrawCircle(double cx, double cy, double radius, double angle, uint32_t colour, double width, int32_t cacheSlot);
// The points the circle of a slot was last built with (for tests).
int32_t GetCircleCache(int32_t cacheSlot, const OutlinePoint** points);

// The ILS feather: apex, left tip, centre tip, right tip, apex, centre tip in
// screen units, and the centre tip's position.
struct IlsFeatherShape {
    OutlinePoint points[6];
    double centreLat, centreLon;
};
extern IlsFeatherShape IlsFeather;
// course in radians (the runway's), length in nautical miles.
void BuildIlsFeather(int32_t x, int32_t y, double lat, double lon, double course, double length);
// Where the feather's label goes: 24 units off its axis, on side 1 or the other.
void FeatherLabelOffset(double* dx, double* dy, int32_t side);
// Radians from (lat, lon) to the middle of the nearest airport's extent.
double BearingToNearestAirport(double lat, double lon);

// The curved track vector: an arc of length screen units ahead of the
// aircraft at map pixel (x, y), bending by turnRate (degrees a second,
// negative left). A set resetFlag lets the segment count jump at once.
void DrawSmoothedVector(float x, float y, double speed, double track, float angle, int32_t length, double turnRate,
                        uint8_t* resetFlag);
void DrawTurnArc(double dx, double dy, double radius, double turnRate, double arc, float angle, uint8_t* resetFlag);
// The arc's segment count of the last frame and the smoothed speed (tests).
int32_t GetTurnArcSegments();
double GetSmoothedVectorSpeed();
void ResetCurvedVector();
