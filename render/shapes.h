// Filled quads and framed boxes in one flat colour, drawn with the coloured
// technique on the virtual screen or in map pixels about the screen centre.
// GUI thread only.
#pragma once

#include "render/device.h"
#include "render/quads.h"

// On the virtual screen or in map pixels about the screen centre; a
// non-zero angle turns the rectangle rigidly about the screen centre.
HRESULT DrawFilledQuad(const ScreenRect* rect, uint32_t colour, float angle, QuadPlacement placement);
// The fill, then (for edgeWidth > 0) four edge strips inside the rectangle:
// upper, right, lower, left. Returns the last quad's status.
HRESULT DrawBox(const ScreenRect* rect, uint32_t fillColour, float angle, QuadPlacement placement, uint32_t edgeColour,
                float edgeWidth);
