// Filled quads and framed boxes in one flat colour, drawn with the coloured
// technique on the virtual screen or in map pixels about the screen centre.
// GUI thread only.
#pragma once

#include "render/device.h"

// A non-zero angle turns the rectangle rigidly about the screen centre.
HRESULT DrawFilledQuad(const ScreenRect* rect, uint32_t colour, float angle, uint8_t mapPixels);
// The fill, then (for edgeWidth > 0) four edge strips inside the rectangle:
// upper, right, lower, left. Returns the last quad's status.
HRESULT DrawBox(const ScreenRect* rect, uint32_t fillColour, float angle, uint8_t mapPixels, uint32_t edgeColour,
                float edgeWidth);
