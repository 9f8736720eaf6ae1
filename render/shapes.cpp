// Filled quads and boxes (see shapes.h).
#include "render/shapes.h"

HRESULT DrawFilledQuad(const ScreenRect* rect, uint32_t colour, float angle, QuadPlacement placement)
{
    const bool mapPixels = placement == QuadPlacement::MapPixels;
    QuadDraw d;
    HRESULT hr = BeginQuadDraw(rect, &d);
    if (FAILED(hr))
        return hr;
    const auto& [out, cx, cy, r] = d;
    float x[4] = {r.x0, r.x0, r.x1, r.x1};
    float y[4] = {r.y1, r.y0, r.y1, r.y0};
    if (angle != 0.0f) {
        // Rigidly about the screen centre: c + R(m - c) + R(k - m) = c + R(k - c).
        // Without mapPixels the same turn is made in virtual units.
        TurnAbout(angle, cx, cy, x, y);
    }
    QuadGeometry q;
    for (int k = 0; k < 4; k++) {
        q.x[k] = mapPixels ? MapPixelToClipX(x[k], cx) : VirtualToClipX(x[k]);
        q.y[k] = mapPixels ? MapPixelToClipY(y[k], cy) : VirtualToClipY(y[k]);
    }
    SetQuadTexcoords(q);
    WriteQuad(out, q, colour);
    FinishDraw(4, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP, ColouredTechnique(), nullptr);
    return 0;
}

HRESULT DrawBox(const ScreenRect* rect, uint32_t fillColour, float angle, QuadPlacement placement, uint32_t edgeColour,
                float edgeWidth)
{
    HRESULT hr = DrawFilledQuad(rect, fillColour, angle, placement);
    if (!rect || !(edgeWidth > 0.0f))
        return hr;
    const ScreenRect& r = *rect;
    const float w = edgeWidth;
    const ScreenRect edges[4] = {
        {r.x0, r.x1, r.y0, r.y0 + w}, // upper
        {r.x1 - w, r.x1, r.y0, r.y1}, // right
        {r.x0, r.x1, r.y1 - w, r.y1}, // lower
        {r.x0, r.x0 + w, r.y0, r.y1}, // left
    };
    for (const ScreenRect& e : edges)
        hr = DrawFilledQuad(&e, edgeColour, angle, placement);
    return hr;
}
