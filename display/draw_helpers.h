// Drawing helpers of the map layers: the dimming rule, turning points and
// outlines about a centre, and cached circles. GUI thread only.
#pragma once

#include "render/polylines.h"

#include <cstdint>

// Red, green and blue x Dimlevel / 255 (truncating) below 255; alpha kept.
void DimColour(uint32_t* out, uint32_t colour);
uint32_t DimmedColour(uint32_t colour, int dimLevel);

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
