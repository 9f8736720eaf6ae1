// Textured quads: one quad of four vertices a call, drawn as a triangle strip
// with the textured technique, placed on the virtual screen, in map pixels
// about the screen centre, or as the snapshot layer in client pixels.
// Angles are radians, positive clockwise on screen; an angle counts as 0 only
// when it compares equal to 0.0. GUI thread only.
#pragma once

#include "render/device.h"

// Where a quad's rectangle lies.
enum class QuadPlacement : uint8_t {
    WholeTarget,   // stretched over the whole render target; rectangle and angles unused
    VirtualScreen, // on the 640 x 480 virtual screen; the map angle unused
    MapPixels,     // in map pixels about the screen centre, moved by the map angle
};

// A turn of the image about its own centre, on top of the map's turn.
struct OwnAngle {
    float radians = 0.0f;
};

HRESULT DrawTexturedQuadRotated(ID3D11ShaderResourceView* view, const ScreenRect* rect, uint32_t colour,
                                float mapAngle, QuadPlacement placement, OwnAngle own = {});
// One cell (srcX, srcY, srcW x srcH pixels) of a square sprite sheet of sheetSide pixels.
HRESULT DrawTexturedQuadPart(ID3D11ShaderResourceView* view, const ScreenRect* rect, int srcX, int srcY, int srcW,
                             int srcH, uint32_t colour, float mapAngle, QuadPlacement placement, OwnAngle own,
                             int sheetSide);
// As DrawTexturedQuadRotated, but a map turn moves the quad and keeps it upright.
HRESULT DrawTexturedQuadAbout(ID3D11ShaderResourceView* view, const ScreenRect* rect, uint32_t colour,
                              float mapAngle, QuadPlacement placement, OwnAngle own = {});
// A virtual-screen quad turned by angle about its own centre.
HRESULT DrawTexturedQuadAngle(ID3D11ShaderResourceView* view, const ScreenRect* rect, uint32_t colour, float angle);
// rect in client pixels from the lower left: x0, x1 left and right, y0 lower, y1 upper.
HRESULT DrawLayerQuad(ID3D11ShaderResourceView* view, const ScreenRect* rect, uint32_t colour, float layerAngle,
                      float extraAngle);
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
bool PlaceRotatedQuad(const ScreenRect& rect, float mapAngle, QuadPlacement placement, OwnAngle own, float cx,
                      float cy, QuadGeometry& q);
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
