// Textured quads: one quad of four vertices a call, drawn as a triangle strip
// with the textured technique, placed on the virtual screen, in map pixels
// about the screen centre, or as the snapshot layer in client pixels.
// Angles are radians, positive clockwise on screen; an angle counts as 0 only
// when it compares equal to 0.0. GUI thread only.
#pragma once

#include "render/device.h"

HRESULT DrawTexturedQuadRotated(ID3D11ShaderResourceView* view, const ScreenRect* rect, uint32_t colour,
                                float mapAngle, uint8_t placed, float ownAngle, uint8_t mapPixels);
// One cell of a square sprite sheet of sheetSide pixels; screenX and screenY are not read.
HRESULT DrawTexturedQuadPart(ID3D11ShaderResourceView* view, const ScreenRect* rect, int screenX, int screenY,
                             int srcX, int srcY, int srcW, int srcH, uint32_t colour, float mapAngle, uint8_t placed,
                             float ownAngle, uint8_t mapPixels, int sheetSide);
// As DrawTexturedQuadRotated, but a map turn moves the quad and keeps it upright.
HRESULT DrawTexturedQuadAbout(ID3D11ShaderResourceView* view, const ScreenRect* rect, uint32_t colour,
                              float mapAngle, uint8_t placed, float ownAngle, uint8_t mapPixels);
HRESULT DrawTexturedQuadAngle(ID3D11ShaderResourceView* view, const ScreenRect* rect, uint32_t colour, float reserved,
                              float angle);
// rect in client pixels from the lower left: x0, x1 left and right, y0 lower, y1 upper.
HRESULT DrawLayerQuad(ID3D11ShaderResourceView* view, const ScreenRect* rect, uint32_t colour, float layerAngle,
                      uint8_t reserved1, float extraAngle, uint8_t reserved2);
// Clip-space edges of the last unturned map-pixel quad (0 before the first).
void GetLastQuadCorners(float* left, float* top, float* right, float* bottom);

// Where a quad's four corners go and what each vertex samples: shared with
// the other quad-shaped draws.
struct QuadGeometry {
    float x[4], y[4]; // clip space, vertices 0..3
    float u[4], v[4];
};

// The turn R(angle): (x cos - y sin, x sin + y cos), cos and sin in double
// precision rounded to float.
void TurnPoint(float angle, float x, float y, float* outX, float* outY);
// Turns four points (x, y) by angle about (mx, my), in place.
void TurnAbout(float angle, float mx, float my, float* x, float* y);
// The placement cases of DrawTexturedQuadRotated for other quad-shaped draws:
// the corners of rect in clip space about the screen centre (cx, cy), with
// the standard texture coordinates left to the caller; true for the unturned
// map-pixel case.
bool PlaceRotatedQuad(const ScreenRect& rect, float mapAngle, uint8_t placed, float ownAngle, uint8_t mapPixels,
                      float cx, float cy, QuadGeometry& q);
// What every quad-shaped draw starts from: the mapped vertex buffer, the
// screen centre and the rectangle (empty when none is given).
struct QuadDraw {
    RenderVertex* out = nullptr;
    float cx = 0, cy = 0;
    ScreenRect r{0, 0, 0, 0};
};
HRESULT BeginQuadDraw(const ScreenRect* rect, QuadDraw* d);
// Writes four vertices of the geometry with one colour into the buffer.
void WriteQuad(RenderVertex* out, const QuadGeometry& q, uint32_t colour);
// The standard texture coordinates (0,1) (0,0) (1,1) (1,0).
void SetQuadTexcoords(QuadGeometry& q);
