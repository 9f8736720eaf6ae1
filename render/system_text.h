// System-font text and screen hit tests.
#pragma once

#include "platform/gpu/d3d11.h"
#include "render/polylines.h"

#include <cstdint>

// The text objects made at device start and released at clean-up.
void CreateTextObjects(ID3D11Device* device);
void ReleaseTextObjects();

// Text at a client-pixel point; flags 0 left, 1 centred, 2 right-aligned.
void DrawFontString(float size, float x, float y, uint32_t colour, const char* text, uint32_t flags);
// Text turned by angle (radians) about its anchor, a point in map pixels.
void DrawTextRotated(float size, float x, float y, uint32_t colour, const char* text, double angle, uint32_t flags);
void DrawTextLayoutRotated(float size, float x, float y, uint32_t colour, const char* text, double angle,
                           uint32_t flags, uint32_t weight);
// The closed 5-point outline of the text's box centred on (x, y), and the
// same outline one unit larger on every side; draws nothing.
void MeasureTextOutline(OutlinePoint* outline, OutlinePoint* frame, double scale, const char* text, uint32_t weight,
                        double x, double y);
bool IsOnScreen(double x, double y);
bool IsNearPoint(int x, int y, int clickX, int clickY);
