// The dimming rule, rotations with a cached sine and cosine, cached circles.
#include "display/draw_helpers.h"

#include "app/settings.h"

#include <algorithm>
#include <cmath>

uint32_t DimmedColour(uint32_t colour, int dimLevel)
{
    if (dimLevel >= 255)
        return colour;
    uint32_t level = dimLevel < 0 ? 0u : static_cast<uint32_t>(dimLevel);
    uint32_t r = (colour & 0xFF) * level / 255;
    uint32_t g = ((colour >> 8) & 0xFF) * level / 255;
    uint32_t b = ((colour >> 16) & 0xFF) * level / 255;
    return (colour & 0xFF000000u) | (b << 16) | (g << 8) | r;
}

void DimColour(uint32_t* out, uint32_t colour)
{
    *out = DimmedColour(colour, Settings.Dimlevel);
}

static double CachedAngle = 100.0;
static float CachedCos = 1, CachedSin = 0;

static void CacheAngle(double angle)
{
    if (angle == CachedAngle)
        return;
    CachedAngle = angle;
    CachedCos = static_cast<float>(std::cos(angle));
    CachedSin = static_cast<float>(std::sin(angle));
}

void RotateAboutCentre(double* x, double* y, double angle, float cx, float cy)
{
    if (angle == 0.0)
        return;
    CacheAngle(angle);
    double dx = *x - cx, dy = *y - cy;
    *x = dx * CachedCos - dy * CachedSin + cx;
    *y = dx * CachedSin + dy * CachedCos + cy;
}

static void TurnFour(OutlinePoint* p, float c, float s, float cx, float cy)
{
    for (int i = 0; i < 4; ++i) {
        float dx = p[i].x - cx, dy = p[i].y - cy;
        p[i].x = dx * c - dy * s + cx;
        p[i].y = dx * s + dy * c + cy;
    }
    p[4] = p[0];
}

void RotateOutlineAboutOwnCentre(OutlinePoint* outline, double angle)
{
    float cx = (outline[0].x + outline[1].x + outline[2].x + outline[3].x) / 4;
    float cy = (outline[0].y + outline[1].y + outline[2].y + outline[3].y) / 4;
    TurnFour(outline, static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle)), cx, cy);
}

void RotateOutlineAboutPoint(OutlinePoint* outline, double angle, float cx, float cy)
{
    if (angle == 0.0)
        return;
    CacheAngle(angle);
    TurnFour(outline, CachedCos, CachedSin, cx, cy);
}

struct CircleCache {
    double cx = NAN, cy = NAN, radius = NAN;
    int32_t count = 0;
    OutlinePoint points[100];
};
static CircleCache CircleSlots[2];

static CircleCache& CircleSlot(int32_t slot)
{
    return CircleSlots[slot == 1 ? 0 : 1];
}

static int32_t SegmentCount(double radius)
{
    double n = 0.3 * radius;
    return n >= 99 ? 99 : n <= 36 ? 36 : static_cast<int32_t>(n);
}

void DrawCircle(double cx, double cy, double radius, double angle, uint32_t colour, double width, int32_t cacheSlot)
{
    CircleCache& c = CircleSlot(cacheSlot);
    if (c.cx != cx || c.cy != cy || c.radius != radius) {
        int32_t n = SegmentCount(radius);
        double step = 6.283185307179586 / n;
        for (int32_t i = 0; i <= n; ++i)
            c.points[i] = {static_cast<float>(cx + radius * std::sin(i * step)),
                           static_cast<float>(cy + radius * std::cos(i * step)), 0.0f};
        c.count = n + 1;
        c.cx = cx;
        c.cy = cy;
        c.radius = radius;
    }
    DrawPolyline(c.points, c.count, colour, static_cast<float>(angle), 0, static_cast<float>(width));
}

int32_t GetCircleCache(int32_t cacheSlot, const OutlinePoint** points)
{
    CircleCache& c = CircleSlot(cacheSlot);
    *points = c.points;
    return c.count;
}
