// Textured quads (see quads.h). Every member works out four corners by its
// placement rule, writes them with their texture coordinates and draws one
// strip. The only state is where the last unturned map-pixel quad landed.
#include "render/quads.h"

#include "render/screen_centre.h"

#include <cmath>

HRESULT BeginQuadDraw(const ScreenRect* rect, QuadDraw* d)
{
    HRESULT hr = BeginDraw(&d->out);
    if (FAILED(hr))
        return hr;
    GetScreenCentre(&d->cx, &d->cy);
    d->r = rect ? *rect : ScreenRect{0, 0, 0, 0};
    return hr;
}

namespace {

float g_lastCorners[4]; // left, right, top, bottom in clip space; GUI thread

enum class MapTurn { Rotate, MoveUpright };

// Rectangle corners in vertex order: (x0, y1), (x0, y0), (x1, y1), (x1, y0).
void RectCorners(const ScreenRect& r, float* x, float* y)
{
    x[0] = r.x0, y[0] = r.y1;
    x[1] = r.x0, y[1] = r.y0;
    x[2] = r.x1, y[2] = r.y1;
    x[3] = r.x1, y[3] = r.y0;
}

void ToVirtualClip(const float* x, const float* y, QuadGeometry& q)
{
    for (int k = 0; k < 4; k++) {
        q.x[k] = VirtualToClipX(x[k]);
        q.y[k] = VirtualToClipY(y[k]);
    }
}

void ToMapClip(const float* x, const float* y, float cx, float cy, QuadGeometry& q)
{
    for (int k = 0; k < 4; k++) {
        q.x[k] = MapPixelToClipX(x[k], cx);
        q.y[k] = MapPixelToClipY(y[k], cy);
    }
}

// The placement cases of the textured quads; true for the unturned map-pixel
// case, whose corners are remembered.
bool PlaceQuad(const ScreenRect& r, float mapAngle, QuadPlacement placement, OwnAngle own, MapTurn sixth, float cx,
               float cy, QuadGeometry& q)
{
    const float ownAngle = own.radians;
    float x[4], y[4];
    RectCorners(r, x, y);
    if (placement == QuadPlacement::WholeTarget) {
        const float whole[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
        for (int k = 0; k < 4; k++)
            q.x[k] = whole[k][0], q.y[k] = whole[k][1];
        return false;
    }
    if (placement == QuadPlacement::VirtualScreen) {
        ToVirtualClip(x, y, q);
        if (ownAngle != 0.0f) {
            // Turned in clip units after conversion (stretches on a non-square target).
            float mx = (q.x[0] + q.x[3]) / 2, my = (q.y[0] + q.y[3]) / 2;
            TurnAbout(-ownAngle, mx, my, q.x, q.y);
        }
        return false;
    }
    float mx = (r.x0 + r.x1) / 2, my = (r.y0 + r.y1) / 2;
    if (mapAngle == 0.0f) {
        if (ownAngle != 0.0f)
            TurnAbout(ownAngle, mx, my, x, y);
        ToMapClip(x, y, cx, cy, q);
        return ownAngle == 0.0f;
    }
    // The centre moves with the map's turn about the screen centre.
    float dx, dy;
    TurnPoint(mapAngle, mx - cx, my - cy, &dx, &dy);
    float nx = cx + dx, ny = cy + dy;
    for (int k = 0; k < 4; k++) {
        x[k] += nx - mx;
        y[k] += ny - my;
    }
    if (sixth == MapTurn::Rotate)
        TurnAbout(mapAngle + ownAngle, nx, ny, x, y);
    ToMapClip(x, y, cx, cy, q);
    return false;
}

HRESULT DrawPlacedQuad(ID3D11ShaderResourceView* view, const ScreenRect* rect, uint32_t colour, float mapAngle,
                       QuadPlacement placement, OwnAngle own, MapTurn sixth, const float* uv)
{
    QuadDraw d;
    HRESULT hr = BeginQuadDraw(rect, &d);
    if (FAILED(hr))
        return hr;
    const auto& [out, cx, cy, r] = d;
    QuadGeometry q;
    bool remember = PlaceQuad(r, mapAngle, placement, own, sixth, cx, cy, q);
    if (remember) {
        g_lastCorners[0] = MapPixelToClipX(r.x0, cx);
        g_lastCorners[1] = MapPixelToClipX(r.x1, cx);
        g_lastCorners[2] = MapPixelToClipY(r.y0, cy);
        g_lastCorners[3] = MapPixelToClipY(r.y1, cy);
    }
    SetQuadTexcoords(q);
    if (uv)
        for (int k = 0; k < 4; k++)
            q.u[k] = uv[2 * k], q.v[k] = uv[2 * k + 1];
    WriteQuad(out, q, colour);
    FinishDraw(4, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP, TexturedTechnique(), view);
    return 0;
}

} // namespace

void TurnPoint(float angle, float x, float y, float* outX, float* outY)
{
    float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    *outX = x * c - y * s;
    *outY = x * s + y * c;
}

void TurnAbout(float angle, float mx, float my, float* x, float* y)
{
    for (int k = 0; k < 4; k++) {
        float dx, dy;
        TurnPoint(angle, x[k] - mx, y[k] - my, &dx, &dy);
        x[k] = mx + dx;
        y[k] = my + dy;
    }
}

bool PlaceRotatedQuad(const ScreenRect& rect, float mapAngle, QuadPlacement placement, OwnAngle own, float cx,
                      float cy, QuadGeometry& q)
{
    return PlaceQuad(rect, mapAngle, placement, own, MapTurn::Rotate, cx, cy, q);
}

void SetQuadTexcoords(QuadGeometry& q)
{
    const float uv[4][2] = {{0, 1}, {0, 0}, {1, 1}, {1, 0}};
    for (int k = 0; k < 4; k++)
        q.u[k] = uv[k][0], q.v[k] = uv[k][1];
}

void WriteQuad(RenderVertex* out, const QuadGeometry& q, uint32_t colour)
{
    for (int k = 0; k < 4; k++) {
        RenderVertex& v = out[k];
        v.x = q.x[k];
        v.y = q.y[k];
        v.z = 0.0f;
        v.colour = colour;
        v.u = q.u[k];
        v.v = q.v[k];
        v.lineLength = 0.0f;
    }
}

HRESULT DrawTexturedQuadRotated(ID3D11ShaderResourceView* view, const ScreenRect* rect, uint32_t colour,
                                float mapAngle, QuadPlacement placement, OwnAngle own)
{
    return DrawPlacedQuad(view, rect, colour, mapAngle, placement, own, MapTurn::Rotate, nullptr);
}

HRESULT DrawTexturedQuadPart(ID3D11ShaderResourceView* view, const ScreenRect* rect, int srcX, int srcY, int srcW,
                             int srcH, uint32_t colour, float mapAngle, QuadPlacement placement, OwnAngle own,
                             int sheetSide)
{
    if (sheetSide <= 0) // no sheet to take a cell from
        return E_INVALIDARG;
    float side = static_cast<float>(sheetSide);
    float u0 = static_cast<float>(srcX) / side, u1 = static_cast<float>(srcX + srcW) / side;
    float v0 = static_cast<float>(srcY) / side, v1 = static_cast<float>(srcY + srcH) / side;
    const float uv[8] = {u0, v1, u0, v0, u1, v1, u1, v0};
    return DrawPlacedQuad(view, rect, colour, mapAngle, placement, own, MapTurn::Rotate, uv);
}

HRESULT DrawTexturedQuadAbout(ID3D11ShaderResourceView* view, const ScreenRect* rect, uint32_t colour,
                              float mapAngle, QuadPlacement placement, OwnAngle own)
{
    return DrawPlacedQuad(view, rect, colour, mapAngle, placement, own, MapTurn::MoveUpright, nullptr);
}

HRESULT DrawTexturedQuadAngle(ID3D11ShaderResourceView* view, const ScreenRect* rect, uint32_t colour, float angle)
{
    RenderVertex* out;
    HRESULT hr = BeginDraw(&out);
    if (FAILED(hr))
        return hr;
    QuadGeometry q;
    ScreenRect r = rect ? *rect : ScreenRect{0, 0, 0, 0};
    PlaceQuad(r, 0.0f, QuadPlacement::VirtualScreen, OwnAngle{angle}, MapTurn::Rotate, 0, 0, q);
    SetQuadTexcoords(q);
    WriteQuad(out, q, colour);
    FinishDraw(4, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP, TexturedTechnique(), view);
    return 0;
}

HRESULT DrawLayerQuad(ID3D11ShaderResourceView* view, const ScreenRect* rect, uint32_t colour, float layerAngle,
                      float extraAngle)
{
    QuadDraw d;
    HRESULT hr = BeginQuadDraw(rect, &d);
    if (FAILED(hr))
        return hr;
    const auto& [out, cx, cy, r] = d;
    // Layer coordinates: client pixels, y up; vertex order keeps the image upright.
    float x[4] = {r.x0, r.x0, r.x1, r.x1};
    float y[4] = {r.y0, r.y1, r.y0, r.y1};
    if (layerAngle != 0.0f) {
        const float a = 6.28f - layerAngle;
        float W = RenderDevice.clientWidth, H = RenderDevice.clientHeight;
        float ccx = cx * 0.5f * W / 320.0f, ccy = cy * 0.5f * H / 240.0f;
        float mx = (r.x0 + r.x1) / 2, my = (r.y0 + r.y1) / 2;
        float dx, dy;
        TurnPoint(a, mx - ccx, my - ccy, &dx, &dy);
        float nx = ccx + dx, ny = ccy + dy;
        for (int k = 0; k < 4; k++) {
            x[k] += nx - mx;
            y[k] += ny - my;
        }
        TurnAbout(a + extraAngle, nx, ny, x, y);
    }
    QuadGeometry q;
    for (int k = 0; k < 4; k++) {
        q.x[k] = 2.0f * x[k] / RenderDevice.clientWidth - 1.0f;
        q.y[k] = 2.0f * y[k] / RenderDevice.clientHeight - 1.0f;
    }
    SetQuadTexcoords(q);
    WriteQuad(out, q, colour);
    FinishDraw(4, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP, TexturedTechnique(), view);
    return 0;
}

void GetLastQuadCorners(float* left, float* top, float* right, float* bottom)
{
    if (left)
        *left = g_lastCorners[0];
    if (top)
        *top = g_lastCorners[2];
    if (right)
        *right = g_lastCorners[1];
    if (bottom)
        *bottom = g_lastCorners[3];
}
