// Polylines and triangles (see polylines.h).
#include "render/polylines.h"

#include "render/screen_centre.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct Frame {
    float cx, cy;     // screen centre
    bool turn;        // angle is not 0.0
    float cosA, sinA; // of the angle, double precision rounded to float
};

Frame MakeFrame(float angle)
{
    Frame f{};
    f.turn = angle != 0.0f;
    f.cosA = static_cast<float>(std::cos(static_cast<double>(angle)));
    f.sinA = static_cast<float>(std::sin(static_cast<double>(angle)));
    GetScreenCentre(&f.cx, &f.cy);
    return f;
}

// The point after the turn about the screen centre, in map pixels.
void Place(const Frame& f, const OutlinePoint& p, float* x, float* y)
{
    if (!f.turn) {
        *x = p.x;
        *y = p.y;
        return;
    }
    float dx = p.x - f.cx, dy = p.y - f.cy;
    *x = f.cx + dx * f.cosA - dy * f.sinA;
    *y = f.cy + dx * f.sinA + dy * f.cosA;
}

void Put(RenderVertex& v, const Frame& f, float x, float y, uint32_t colour, float u, float t, float length)
{
    v.x = MapPixelToClipX(x, f.cx);
    v.y = MapPixelToClipY(y, f.cy);
    v.z = 0.0f;
    v.colour = colour;
    v.u = u;
    v.v = t;
    v.lineLength = length;
}

uint32_t PointColour(const OutlinePoint& p)
{
    uint32_t c;
    std::memcpy(&c, &p.z, sizeof(c));
    return c;
}

enum class Colouring { One, PerPoint };

// Writes the six vertices of each segment; the vertex count.
int WriteSegments(RenderVertex* out, const Frame& f, const OutlinePoint* points, int n, uint32_t colour,
                  float width, Colouring colouring, bool withLength)
{
    const float half = width / 2.0f;
    const float quarterTurn = 1.5707964f; // pi/2 in single precision
    for (int i = 0; i + 1 < n; i++) {
        float ax, ay, bx, by;
        Place(f, points[i], &ax, &ay);
        Place(f, points[i + 1], &bx, &by);
        float phi = std::atan2(by - ay, bx - ax) + quarterTurn;
        if (phi < 0.0f)
            phi += 6.2831855f;
        float nx = std::cos(phi) * half, ny = std::sin(phi) * half;
        uint32_t ca = colouring == Colouring::PerPoint ? PointColour(points[i]) : colour;
        uint32_t cb = colouring == Colouring::PerPoint ? PointColour(points[i + 1]) : colour;
        float len = withLength ? std::sqrt((bx - ax) * (bx - ax) + (by - ay) * (by - ay)) : 0.0f;
        RenderVertex* v = out + 6 * i;
        Put(v[0], f, ax + nx, ay + ny, ca, 0, 1, len); // A+
        Put(v[1], f, ax - nx, ay - ny, ca, 0, 0, len); // A-
        Put(v[2], f, bx - nx, by - ny, cb, 1, 0, len); // B-
        Put(v[3], f, bx + nx, by + ny, cb, 1, 1, len); // B+
        Put(v[4], f, ax + nx, ay + ny, ca, 0, 1, len); // A+
        Put(v[5], f, bx - nx, by - ny, cb, 1, 0, len); // B-
    }
    return n >= 2 ? 6 * (n - 1) : 0;
}

HRESULT DrawSegments(const OutlinePoint* points, int count, uint32_t colour, float angle, float width,
                     Colouring colouring, bool dashed)
{
    Frame f = MakeFrame(colouring == Colouring::PerPoint ? 0.0f : angle);
    RenderVertex* out;
    HRESULT hr = BeginDraw(&out);
    if (FAILED(hr))
        return hr;
    int n = points ? std::clamp(count, 0, kMaxPolylinePoints) : 0;
    int vertices = WriteSegments(out, f, points, n, colour, width, colouring, dashed);
    RenderTechnique technique = ColouredTechnique();
    if (dashed && !RenderDevice.offscreen)
        technique = TechRender6;
    FinishDraw(vertices, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, technique, nullptr);
    return 0;
}

HRESULT DrawTriangleList(const OutlinePoint* points, int count, uint32_t colour, float angle)
{
    Frame f = MakeFrame(angle);
    RenderVertex* out;
    HRESULT hr = BeginDraw(&out);
    if (FAILED(hr))
        return hr;
    int n = points ? std::clamp(count, 0, kMaxTriangleVertices) : 0;
    n -= n % 3; // whole triangles only
    const float uv[3][2] = {{0, 1}, {0, 0}, {1, 0}};
    for (int i = 0; i < n; i++) {
        float x, y;
        Place(f, points[i], &x, &y);
        Put(out[i], f, x, y, colour, uv[i % 3][0], uv[i % 3][1], 0.0f);
    }
    FinishDraw(n, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, ColouredTechnique(), nullptr);
    return 0;
}

} // namespace

HRESULT DrawPolyline(const OutlinePoint* points, int count, uint32_t colour, float angle, float width)
{
    return DrawSegments(points, count, colour, angle, width, Colouring::One, false);
}

HRESULT DrawDashedPolyline(const OutlinePoint* points, int count, uint32_t colour, float angle, float width)
{
    return DrawSegments(points, count, colour, angle, width, Colouring::One, true);
}

HRESULT DrawPolylineXYZ(const OutlinePoint* points, int count, float width)
{
    return DrawSegments(points, count, 0, 0.0f, width, Colouring::PerPoint, false);
}

HRESULT DrawTriangle(const OutlinePoint* points, uint32_t colour, float angle)
{
    return DrawTriangleList(points, 3, colour, angle);
}

HRESULT DrawTriangles(const OutlinePoint* points, int count, uint32_t colour, float angle)
{
    return DrawTriangleList(points, count, colour, angle);
}
