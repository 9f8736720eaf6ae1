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
    MapPixelClip clip;
};

Frame MakeFrame(float angle)
{
    Frame f{};
    f.turn = angle != 0.0f;
    f.cosA = static_cast<float>(std::cos(static_cast<double>(angle)));
    f.sinA = static_cast<float>(std::sin(static_cast<double>(angle)));
    GetScreenCentre(&f.cx, &f.cy);
    f.clip = TakeMapPixelClip(f.cx, f.cy);
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
    v.x = f.clip.X(x);
    v.y = f.clip.Y(y);
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

// A segment's ends after the turn and the unit its rectangle is as wide as:
// cos and sin of the direction turned a quarter, the sides half a width off.
struct SegmentAxis {
    float ax, ay, bx, by;
    float cosN, sinN;
};

SegmentAxis MakeAxis(const Frame& f, const OutlinePoint& a, const OutlinePoint& b)
{
    const float quarterTurn = 1.5707964f; // pi/2 in single precision
    SegmentAxis s;
    Place(f, a, &s.ax, &s.ay);
    Place(f, b, &s.bx, &s.by);
    float phi = std::atan2(s.by - s.ay, s.bx - s.ax) + quarterTurn;
    if (phi < 0.0f)
        phi += 6.2831855f;
    s.cosN = std::cos(phi);
    s.sinN = std::sin(phi);
    return s;
}

// The segment's rectangle width pixels across as two triangles, six vertices.
void PutRectangle(RenderVertex* v, const Frame& f, const SegmentAxis& s, float width, uint32_t ca, uint32_t cb,
                  float len)
{
    const float half = width / 2.0f;
    const float nx = s.cosN * half, ny = s.sinN * half;
    RenderVertex ap, am, bm, bp;
    Put(ap, f, s.ax + nx, s.ay + ny, ca, 0, 1, len);
    Put(am, f, s.ax - nx, s.ay - ny, ca, 0, 0, len);
    Put(bm, f, s.bx - nx, s.by - ny, cb, 1, 0, len);
    Put(bp, f, s.bx + nx, s.by + ny, cb, 1, 1, len);
    v[0] = ap; // A+
    v[1] = am; // A-
    v[2] = bm; // B-
    v[3] = bp; // B+
    v[4] = ap; // A+
    v[5] = bm; // B-
}

// Writes the six vertices of each segment; the vertex count.
int WriteSegments(RenderVertex* out, const Frame& f, const OutlinePoint* points, int n, uint32_t colour,
                  float width, Colouring colouring, bool withLength)
{
    for (int i = 0; i + 1 < n; i++) {
        const SegmentAxis s = MakeAxis(f, points[i], points[i + 1]);
        uint32_t ca = colouring == Colouring::PerPoint ? PointColour(points[i]) : colour;
        uint32_t cb = colouring == Colouring::PerPoint ? PointColour(points[i + 1]) : colour;
        float len = withLength ? std::sqrt((s.bx - s.ax) * (s.bx - s.ax) + (s.by - s.ay) * (s.by - s.ay)) : 0.0f;
        PutRectangle(out + 6 * i, f, s, width, ca, cb, len);
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

// Both strokes of a band with a core: every segment's rectangle of the outer
// width, then every one of the inner, as two DrawPolyline calls would write
// them, the direction of each segment found once for both.
HRESULT DrawStrokePair(const OutlinePoint* points, int count, uint32_t colour, float angle, float outerWidth,
                       float innerWidth)
{
    Frame f = MakeFrame(angle);
    RenderVertex* out;
    HRESULT hr = BeginDraw(&out);
    if (FAILED(hr))
        return hr;
    const int n = points ? std::clamp(count, 0, kMaxStrokePairPoints) : 0;
    const int segments = std::max(n - 1, 0);
    for (int i = 0; i < segments; i++) {
        const SegmentAxis s = MakeAxis(f, points[i], points[i + 1]);
        PutRectangle(out + 6 * i, f, s, outerWidth, colour, colour, 0.0f);
        PutRectangle(out + 6 * (segments + i), f, s, innerWidth, colour, colour, 0.0f);
    }
    FinishDraw(12 * segments, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, ColouredTechnique(), nullptr);
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

HRESULT DrawPolylinePair(const OutlinePoint* points, int count, uint32_t colour, float angle, float outerWidth,
                         float innerWidth)
{
    return DrawStrokePair(points, count, colour, angle, outerWidth, innerWidth);
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
