// The drawing helpers: dimming, text, label boxes, rotations with a cached
// angle, cached circles, the ILS feather and the curved track vector.
#include "display/draw_helpers.h"

#include "app/settings.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "maps/terrain_data.h"
#include "maps/tile_sources.h"
#include "display/sprite_table.h"
#include "navdata/nearest_airports.h"
#include "platform/units.h"
#include "render/bitmap_fonts.h"
#include "render/system_text.h"

#include <algorithm>
#include <cmath>

float ScreenScaleX = 1.0f, ScreenScaleY = 1.0f, TextScale = 1.0f;
OutlinePoint ScreenPointBuffer[ScreenPointCapacity];

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
        double step = TwoPi / n;
        for (int32_t i = 0; i <= n; ++i)
            c.points[i] = {static_cast<float>(cx + radius * std::sin(i * step)),
                           static_cast<float>(cy + radius * std::cos(i * step)), 0.0f};
        c.count = n + 1;
        c.cx = cx;
        c.cy = cy;
        c.radius = radius;
    }
    DrawPolyline(c.points, c.count, colour, static_cast<float>(angle), static_cast<float>(width));
}

int32_t GetCircleCache(int32_t cacheSlot, const OutlinePoint** points)
{
    CircleCache& c = CircleSlot(cacheSlot);
    *points = c.points;
    return c.count;
}

void SetScreenFactors(int clientWidth, int clientHeight)
{
    // A window not measured yet (or minimised to nothing) keeps 1.0.
    ScreenScaleX = clientWidth > 0 ? clientWidth / 640.0f : 1.0f;
    ScreenScaleY = clientHeight > 0 ? clientHeight / 480.0f : 1.0f;
    TextScale = std::min(ScreenScaleX, ScreenScaleY);
}

// ---- text ----

void DrawText(const char* text, float x, float y, uint32_t colour, int alignment)
{
    uint32_t c = 0;
    DimColour(&c, colour);
    float size = static_cast<float>(GetFontSize()) * TextScale;
    DrawFontString(size, x * ScreenScaleX, y * ScreenScaleY, c, text, static_cast<uint32_t>(alignment));
}

void DrawTextLeft(const char* text, float x, float y, uint32_t colour) { DrawText(text, x, y, colour, 0); }
void DrawTextCentred(const char* text, float x, float y, uint32_t colour) { DrawText(text, x, y, colour, 1); }
void DrawTextRight(const char* text, float x, float y, uint32_t colour) { DrawText(text, x, y, colour, 2); }

void DrawTextRotatedScaled(const char* text, double x, double y, uint32_t colour, double scale, double angle,
                           uint32_t flags)
{
    uint32_t c = 0;
    DimColour(&c, colour);
    float size = static_cast<float>(GetFontSize() * scale);
    DrawTextRotated(size, static_cast<float>(x), static_cast<float>(y), c, text, angle, flags);
}

void DrawTextLayoutScaled(const char* text, double x, double y, uint32_t colour, double scale, double angle,
                          uint32_t weight, uint32_t flags)
{
    uint32_t c = 0;
    DimColour(&c, colour);
    float size = static_cast<float>(GetFontSize() * scale);
    DrawTextLayoutRotated(size, static_cast<float>(x), static_cast<float>(y), c, text, angle, flags, weight);
}

// The font page's colour: dimmed only for a dimmable page.
static const SpriteSlot* FontPage(int fontSlot, uint32_t* colour)
{
    const SpriteSlot* slot = GetSpriteSlot(fontSlot);
    if (!slot || !slot->loaded)
        return nullptr;
    if (slot->dimmable)
        *colour = DimmedColour(*colour, Settings.Dimlevel);
    return slot;
}

void DrawBitmapTextDimmed(int fontSlot, const char* text, float x, float y, uint32_t colour, uint32_t boxColour,
                          float angle, TextBackground box, QuadPlacement placement)
{
    const SpriteSlot* page = FontPage(fontSlot, &colour);
    if (page)
        DrawBitmapText(page->texture, text, x, y, colour, boxColour, angle, box, placement);
}

void DrawBitmapTextBlockDimmed(int fontSlot, const char* const* lines, int lineCount, float x, float y, float textSize,
                               uint32_t colour, uint32_t boxColour, float angle, TextBackground box,
                               QuadPlacement placement)
{
    const SpriteSlot* page = FontPage(fontSlot, &colour);
    if (!page || !lines || lineCount <= 0)
        return;
    ScreenRect rect{x, x, y, y};
    DrawBitmapTextBlock(page->texture, lines, lineCount, &rect, textSize, colour, boxColour, angle, box, placement);
}

// ---- label box ----

static void DrawOutlineTriangles(const OutlinePoint* outline, uint32_t colour, double mapAngle)
{
    float angle = static_cast<float>(mapAngle);
    DrawTriangle(outline, colour, angle);
    DrawTriangle(outline + 2, colour, angle);
}

// Whether the box's four corners lie inside the frame, at least a quarter
// pixel from each of its edges, both outlines finite and turning one way.
static bool BoxInsideFrame(const OutlinePoint* frame, const OutlinePoint* box)
{
    auto cross = [](const OutlinePoint& a, const OutlinePoint& b, const OutlinePoint& p) {
        return (static_cast<double>(b.x) - a.x) * (static_cast<double>(p.y) - a.y) -
               (static_cast<double>(b.y) - a.y) * (static_cast<double>(p.x) - a.x);
    };
    for (int i = 0; i < 4; ++i)
        if (!std::isfinite(frame[i].x) || !std::isfinite(frame[i].y) || !std::isfinite(box[i].x) ||
            !std::isfinite(box[i].y))
            return false;
    const double turn = cross(frame[0], frame[1], frame[2]) > 0 ? 1.0 : -1.0;
    for (int i = 0; i < 4; ++i) {
        const OutlinePoint &a = frame[i], &b = frame[(i + 1) % 4];
        const double length = std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y);
        if (!(length > 0))
            return false;
        for (int k = 0; k < 4; ++k)
            if (!(turn * cross(a, b, box[k]) >= 0.25 * length))
                return false;
    }
    return true;
}

// The frame round an opaque box as the band between the two outlines only:
// four quads, each two triangles from a frame edge to the box edge inside
// it. The box's opaque colour, drawn next, overwrites whatever the frame
// leaves under it, and the band's triangles share the box's corners, so
// together with the box they tile the frame: the rasterizer gives each of
// the frame's pixel centres to exactly one triangle of such a tiling, and
// every frame pixel outside the box gets the frame's blend once, as from the
// frame's own two triangles. False, drawing nothing, when the box does not
// lie well inside the frame.
static bool DrawFrameBand(const OutlinePoint* frame, const OutlinePoint* box, uint32_t colour, double mapAngle)
{
    if (!BoxInsideFrame(frame, box))
        return false;
    OutlinePoint band[24];
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        OutlinePoint* q = band + 6 * i;
        q[0] = frame[i], q[1] = frame[j], q[2] = box[j];
        q[3] = frame[i], q[4] = box[j], q[5] = box[i];
    }
    DrawTriangles(band, 24, colour, static_cast<float>(mapAngle));
    return true;
}

void DrawLabelBox(double scale, const char* text, uint32_t weight, double x, double y, double boxAngle,
                  uint32_t textColour, uint32_t boxColour, double mapAngle)
{
    OutlinePoint outline[5] = {}, frame[5] = {};
    MeasureTextOutline(outline, frame, scale, text, weight, x, y);
    if (boxAngle != 0.0) {
        RotateOutlineAboutOwnCentre(outline, boxAngle);
        RotateOutlineAboutOwnCentre(frame, boxAngle);
    }
    uint32_t box = 0, frameColour = 0;
    DimColour(&box, boxColour);
    DimColour(&frameColour, 0xFFFFFFFFu);
    frameColour = (frameColour & 0x00FFFFFFu) | 0x40000000u;
    if ((box >> 24) != 255 || !DrawFrameBand(frame, outline, frameColour, mapAngle))
        DrawOutlineTriangles(frame, frameColour, mapAngle);
    DrawOutlineTriangles(outline, box, mapAngle);
    RotateAboutCentre(&x, &y, mapAngle, static_cast<float>(ScreenCentre.x), static_cast<float>(ScreenCentre.y));
    DrawTextRotatedScaled(text, x, y, textColour, scale, boxAngle + mapAngle, 5);
}

// ---- ILS feather ----

IlsFeatherShape IlsFeather;

// Cosine of a latitude with a floor, so the poles stay finite.
static double LatitudeCosine(double lat)
{
    double c = std::cos(lat * RadiansPerDegree8);
    return std::fabs(c) < 1e-6 ? 1e-6 : c;
}

// The screen point at bearing b (radians) and d degrees from (lat, lon).
static OutlinePoint PointAtBearing(double lat, double lon, double b, double d, double* outLat, double* outLon)
{
    double plat = lat + std::cos(b) * d;
    double plon = lon + std::sin(b) * d / LatitudeCosine(lat);
    double dx = 0, dy = 0;
    ProjectToScreenOffset(&dx, &dy, plon, plat);
    double s = static_cast<double>(FrameZoom) * MapScale;
    if (outLat)
        *outLat = plat, *outLon = plon;
    return {static_cast<float>(ScreenCentre.x + s * dx), static_cast<float>(ScreenCentre.y + s * dy), 0.0f};
}

void BuildIlsFeather(int32_t x, int32_t y, double lat, double lon, double course, double length)
{
    const double halfOpening = 0.061086515;
    double l = 1.8532 * length / 111.1;
    double h = course + Pi14;
    if (h > 2 * Pi14)
        h -= 2 * Pi14;
    OutlinePoint apex{static_cast<float>(x), static_cast<float>(y), 0.0f};
    OutlinePoint left = PointAtBearing(lat, lon, h - halfOpening, l, nullptr, nullptr);
    OutlinePoint centre = PointAtBearing(lat, lon, h, 0.9 * l, &IlsFeather.centreLat, &IlsFeather.centreLon);
    OutlinePoint right = PointAtBearing(lat, lon, h + halfOpening, l, nullptr, nullptr);
    const OutlinePoint points[6] = {apex, left, centre, right, apex, centre};
    std::copy(points, points + 6, IlsFeather.points);
}

// asin of a ratio, 0 for a zero-length vector, kept within [-1, 1] against rounding.
static double SafeAsin(double part, double length)
{
    if (!(length > 0))
        return 0.0;
    return std::asin(std::clamp(part / length, -1.0, 1.0));
}

void FeatherLabelOffset(double* dx, double* dy, int32_t side)
{
    double dx0 = IlsFeather.points[0].x - IlsFeather.points[2].x;
    double dy0 = IlsFeather.points[0].y - IlsFeather.points[2].y;
    double a = SafeAsin(dx0, std::sqrt(dx0 * dx0 + dy0 * dy0));
    a += side == 1 ? Pi14 / 2 : -Pi14 / 2;
    *dx = 24 * std::sin(a);
    *dy = -24 * std::cos(a);
    if (*dy < 0)
        *dy *= 2;
}

double BearingToNearestAirport(double lat, double lon)
{
    const AirportRecord* a = GetNearestAirportRecord();
    if (!a)
        return 0.0;
    double latC = (a->latA + a->latB) / 2, lonC = (a->lonA + a->lonB) / 2;
    double dx = (lonC - lon) * std::cos(lat * RadiansPerDegree5), dy = latC - lat;
    double angle = SafeAsin(dx, std::sqrt(dx * dx + dy * dy));
    return dy > 0 ? angle : Pi14 - angle;
}

// ---- curved vector ----

static double SmoothedSpeed = 0;
static int32_t LastArcSegments = 0;
static double TurnCentreLat = 0, TurnCentreLon = 0;

int32_t GetTurnArcSegments() { return LastArcSegments; }
double GetSmoothedVectorSpeed() { return SmoothedSpeed; }

void ResetCurvedVector()
{
    SmoothedSpeed = 0;
    LastArcSegments = 0;
}

static uint32_t VectorColour()
{
    uint32_t c = 0;
    DimColour(&c, Settings.TrackColor);
    return c;
}

// A turn rate this small draws the vector straight: the turn radius would
// grow without bound.
static const double kStraightTurnRate = 1e-3;

static void DrawStraightVector(int32_t length, float angle)
{
    float s = FrameZoom * MapScale;
    ScreenPointBuffer[0] = {static_cast<float>(ScreenCentre.x), static_cast<float>(ScreenCentre.y), 0.0f};
    ScreenPointBuffer[1] = {ScreenPointBuffer[0].x, ScreenPointBuffer[0].y - s * length, 0.0f};
    DrawPolyline(ScreenPointBuffer, 2, VectorColour(), angle, static_cast<float>(Settings.VectorWidth + 1));
}

void DrawSmoothedVector(float x, float y, double speed, double track, float angle, int32_t length, double turnRate,
                        uint8_t* resetFlag)
{
    if (SmoothedSpeed > 40)
        speed = 0.99 * SmoothedSpeed + 0.01 * speed;
    SmoothedSpeed = speed;
    if (!(std::fabs(turnRate) >= kStraightTurnRate)) {
        DrawStraightVector(length, angle);
        return;
    }
    double radius = MetresPerSecondPerKnot * speed / (std::fabs(turnRate) * RadiansPerDegree8);
    double direction = turnRate >= 0 ? track + Pi14 / 2 : track - Pi14 / 2;
    double lat = MapCenter.latitude.load(), lon = MapCenter.longitude.load();
    TurnCentreLat = lat + std::cos(direction) * radius / MetresPerDegree;
    TurnCentreLon = lon + std::sin(direction) * radius / MetresPerDegree / LatitudeCosine(lat);
    double px = 0, py = 0;
    LatLonToMapPixel(&px, &py, TurnCentreLon, TurnCentreLat);
    double dx = px - x, dy = py - y;
    double world = GetWorldPixelWidth();
    if (world > 0 && std::fabs(dx) > world / 2)
        dx += dx > 0 ? -world : world;
    double r = std::sqrt(dx * dx + dy * dy);
    double arc = r > 0 ? std::clamp(length / r, -Pi4, Pi4) : Pi4;
    DrawTurnArc(dx, dy, r, turnRate, arc, angle, resetFlag);
}

// The arc's segment count, moving by at most one a frame unless reset.
static int32_t SmoothedSegmentCount(int32_t m, uint8_t* resetFlag)
{
    bool reset = resetFlag && *resetFlag;
    if (!reset && LastArcSegments > 2) {
        if (m - LastArcSegments >= 2)
            m = LastArcSegments + 1;
        else if (LastArcSegments - m >= 2)
            m = LastArcSegments - 1;
    }
    if (resetFlag)
        *resetFlag = 0;
    LastArcSegments = m;
    return std::clamp(m, 2, 1000);
}

void DrawTurnArc(double, double, double radius, double turnRate, double arc, float angle, uint8_t* resetFlag)
{
    // A circle of (nearly) no radius has no segments to step by.
    double whole = std::trunc(50 * std::sqrt(radius) + 0.5);
    if (!(whole >= 3) || !std::isfinite(whole) || !std::isfinite(arc))
        return;
    int32_t n = whole > 1e6 ? 1000000 : static_cast<int32_t>(whole);
    float t = static_cast<float>(TwoPi7 / n);
    float p = std::tan(t), q = std::cos(t);
    double segments = std::trunc(std::fabs(arc) * n / TwoPi3 + 0.5);
    int32_t m = SmoothedSegmentCount(segments > 1e6 ? 1000000 : static_cast<int32_t>(segments), resetFlag);
    bool left = turnRate < 0;
    float r = static_cast<float>(radius), s = FrameZoom * MapScale;
    float u = left ? r : -r, v = 0;
    for (int32_t i = 0; i < m; ++i) {
        float ox = left ? u - r : u + r;
        ScreenPointBuffer[i] = {ScreenCentre.x + s * ox, ScreenCentre.y + s * v, 0.0f};
        float du = left ? p * v : -p * v, dv = left ? -p * u : p * u;
        u = (u + du) * q;
        v = (v + dv) * q;
    }
    DrawPolyline(ScreenPointBuffer, m, VectorColour(), angle, static_cast<float>(Settings.VectorWidth + 1));
}
