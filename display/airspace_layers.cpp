// The airspace and airway layers: gates, then airspace outlines and their
// labels, then airway segments with their end idents and name labels.
#include "display/airspace_layers.h"

#include "app/settings.h"
#include "display/draw_helpers.h"
#include "display/frame_renderer.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/nav_layer.h"
#include "maps/terrain_awareness.h"
#include "maps/terrain_data.h"
#include "display/screen_buttons.h"
#include "display/sprite_draw.h"
#include "display/sprite_table.h"
#include "navdata/airspaces.h"
#include "navdata/airways.h"
#include "render/bitmap_fonts.h"
#include "render/device.h"
#include "render/layer_cache.h"
#include "render/polylines.h"
#include "render/system_text.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

uint32_t AirspaceColours[AirspaceColourCount] = {
    0x800000FFu, 0x80FF0000u, 0x80FF00FFu, 0x80FFD030u, 0x8000FF00u, 0x807F7F7Fu, 0x80C8C8FFu, 0x80000099u,
};

namespace {

enum : int {
    ClassC = 2,
    ClassD = 3,
    ClassE = 4,
};
constexpr uint32_t White = 0xFFFFFFFFu;
constexpr uint32_t Black = 0xFF000000u;

// The airspace outlines and the airway layer of the last frame, written back
// while nothing they are drawn from changes; with the outlines, the label
// anchors they added. GUI thread.
LayerCache OutlineCache;
std::vector<MapLabelEntry> OutlineLabels;
LayerCache AirwayCache;

// A label text, cut at the buffer's size.
void FormatCut(char* out, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
void FormatCut(char* out, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(out, size, format, args);
    va_end(args);
}

uint32_t Dimmed(uint32_t colour) { return DimmedColour(colour, Settings.Dimlevel); }

// A point of the map on the screen, not yet turned with the map.
void ScreenPoint(double lat, double lon, double* x, double* y)
{
    double dx = 0, dy = 0;
    ProjectToScreenOffset(&dx, &dy, lon, lat);
    double s = static_cast<double>(FrameZoom) * MapScale;
    *x = ScreenCentre.x + s * dx;
    *y = ScreenCentre.y + s * dy;
}

void TurnWithMap(double* x, double* y, float mapAngle)
{
    RotateAboutCentre(x, y, mapAngle, static_cast<float>(ScreenCentre.x), static_cast<float>(ScreenCentre.y));
}

// The renderer draws at most kMaxPolylinePoints of one polyline: a longer
// outline goes in pieces that share their end points.
void DrawOutline(const OutlinePoint* points, int count, uint32_t colour, float mapAngle, bool dashed, float width)
{
    for (int from = 0; from + 1 < count; from += kMaxPolylinePoints - 1) {
        int n = std::min(count - from, kMaxPolylinePoints);
        if (dashed)
            DrawDashedPolyline(points + from, n, colour, mapAngle, width);
        else
            DrawPolyline(points + from, n, colour, mapAngle, width);
    }
}

// A band with a core: the outline stroked outerWidth wide, then innerWidth,
// both strokes of one draw for each piece of at most kMaxStrokePairPoints.
// A long outline's pieces give the same segments as DrawOutline's in another
// order, which leaves the same pixels: both strokes are of one colour and
// blend over the target alike, and nothing else is drawn between them, so
// each pixel ends as that blend done once for every triangle covering it.
void DrawBandOutline(const OutlinePoint* points, int count, uint32_t colour, float mapAngle, float outerWidth,
                     float innerWidth)
{
    for (int from = 0; from + 1 < count; from += kMaxStrokePairPoints - 1) {
        int n = std::min(count - from, kMaxStrokePairPoints);
        DrawPolylinePair(points + from, n, colour, mapAngle, outerWidth, innerWidth);
    }
}

struct LayerFont {
    AirspaceLabelFont font;
    int slot;
};

LayerFont SelectLayerFont(int declutter)
{
    AirspaceLabelFont font = AirspaceLabelFontFor(declutter);
    SetFontSize(font.fontSize);
    return {font, SelectBitmapFont(font.bitmapFont)};
}

// ---- airspaces ----

// The airspaces' boxes and points in map pixels, kept while the list and the
// projection hold: a moving map only subtracts its new centre and scales,
// the arithmetic ScreenPoint does after projecting, on the same map pixels,
// so every point lands exactly where projecting it anew puts it. A record is
// projected when it is first drawn. GUI thread.
struct MapPixel {
    double x, y;
};

struct ProjectedAirspaces {
    std::vector<uint8_t> key;
    std::vector<int32_t> first; // per record: its box's first map pixel, -1 before it is projected
    std::vector<MapPixel> pixels; // per projected record: box corners (north-west, south-east), then its points
};
ProjectedAirspaces Projected;

// Starts the projected list over when the list or the projection changed.
void CheckProjectedAirspaces(size_t records)
{
    LayerKey key;
    key.Add(GetDrawnAirspacesGeneration());
    AddMapPixelState(&key);
    if (key.Bytes() == Projected.key && Projected.first.size() == records)
        return;
    Projected.key = key.Bytes();
    Projected.first.assign(records, -1);
    Projected.pixels.clear();
}

MapPixel ToMapPixel(double lat, double lon)
{
    MapPixel p{};
    LatLonToMapPixel(&p.x, &p.y, lon, lat);
    return p;
}

// The record's box and points in map pixels, projected on first use.
const MapPixel* ProjectedAirspace(int32_t record, const AirspaceRecord& a)
{
    int32_t& first = Projected.first[static_cast<size_t>(record)];
    if (first < 0) {
        first = static_cast<int32_t>(Projected.pixels.size());
        Projected.pixels.push_back(ToMapPixel(a.latMax, a.lonMin));
        Projected.pixels.push_back(ToMapPixel(a.latMin, a.lonMax));
        const size_t n = std::min(a.points.size(), static_cast<size_t>(ScreenPointCapacity));
        for (size_t k = 0; k < n; ++k)
            Projected.pixels.push_back(ToMapPixel(a.points[k].lat, a.points[k].lon));
    }
    return Projected.pixels.data() + first;
}

// ScreenPoint's last steps for map pixels, with what they read taken once a frame.
struct ScreenPlacement {
    MapCentreOffset centre;
    double scale;
};

ScreenPlacement TakeScreenPlacement()
{
    return {TakeMapCentreOffset(), static_cast<double>(FrameZoom) * MapScale};
}

void PlaceOnScreen(const ScreenPlacement& s, const MapPixel& p, double* x, double* y)
{
    double dx = 0, dy = 0;
    OffsetFromMapCentre(s.centre, p.x, p.y, &dx, &dy);
    *x = ScreenCentre.x + s.scale * dx;
    *y = ScreenCentre.y + s.scale * dy;
}

// Places an airspace's points into the shared point buffer and adds its
// label anchors; the number of points placed.
int ProjectAirspace(int32_t record, const AirspaceRecord& a, uint32_t colour, float mapAngle,
                    const ScreenPlacement& placement)
{
    const MapPixel* points = ProjectedAirspace(record, a) + 2;
    int n = static_cast<int>(std::min(a.points.size(), static_cast<size_t>(ScreenPointCapacity)));
    for (int k = 0; k < n; ++k) {
        double x, y;
        PlaceOnScreen(placement, points[k], &x, &y);
        ScreenPointBuffer[k] = {static_cast<float>(x), static_cast<float>(y), 0.0f};
    }
    int pairs[2][2];
    int anchors = AirspaceLabelAnchors(n, pairs);
    for (int k = 0; k < anchors; ++k) {
        const OutlinePoint& p = ScreenPointBuffer[pairs[k][0]];
        const OutlinePoint& q = ScreenPointBuffer[pairs[k][1]];
        double x = (p.x + q.x) / 2.0, y = (p.y + q.y) / 2.0;
        TurnWithMap(&x, &y, mapAngle);
        AddMapLabel(record, colour, x, y);
    }
    return n;
}

// The client area in map pixels, as a square round ScreenCentre that holds
// it however the map is turned.
struct ScreenReach {
    double cx, cy, radius;
};

ScreenReach TakeScreenReach()
{
    float cx = 0, cy = 0;
    GetScreenCentre(&cx, &cy);
    const double w = RenderDevice.clientWidth, h = RenderDevice.clientHeight;
    // Client pixel (px, py) is map pixel (px - w cx / 640 + cx, py - h cy / 480 + cy).
    const double left = -w * cx / 640.0, top = -h * cy / 480.0;
    double r = 0;
    for (double dx : {left, left + w})
        for (double dy : {top, top + h})
            r = std::max(r, std::hypot(dx, dy));
    return {static_cast<double>(ScreenCentre.x), static_cast<double>(ScreenCentre.y), r};
}

// False only when the airspace's box lies wholly beyond the reach of the
// screen; a box whose corners project crossed (across the antimeridian)
// is kept.
bool MayBeOnScreen(int32_t record, const AirspaceRecord& a, const ScreenReach& reach,
                   const ScreenPlacement& placement)
{
    const MapPixel* box = ProjectedAirspace(record, a);
    double x0, y0, x1, y1;
    PlaceOnScreen(placement, box[0], &x0, &y0);
    PlaceOnScreen(placement, box[1], &x1, &y1);
    if (!(x0 <= x1) || !(y0 <= y1))
        return true;
    return x1 >= reach.cx - reach.radius && x0 <= reach.cx + reach.radius && y1 >= reach.cy - reach.radius &&
           y0 <= reach.cy + reach.radius;
}

void DrawAirspaceOutline(int32_t record, const AirspaceRecord& a, int colourIndex, float mapAngle,
                         const ScreenPlacement& placement)
{
    uint32_t colour = AirspaceColours[colourIndex];
    int n = ProjectAirspace(record, a, colour, mapAngle, placement);
    uint32_t dimmed = Dimmed(colour);
    if (colourIndex == ClassD || colourIndex == ClassE) {
        DrawOutline(ScreenPointBuffer, n, dimmed, mapAngle, true, 5.0f);
    } else {
        DrawBandOutline(ScreenPointBuffer, n, dimmed, mapAngle, 7.0f, 3.0f);
    }
}

void DrawAirspaceInfoLabels(const std::vector<AirspaceRecord>& list, int renderToTexture, const LayerFont& font)
{
    const uint32_t text = renderToTexture == 1 ? White : Black;
    for (int32_t k = 0; k < MapLabelCount; ++k) {
        const MapLabelEntry& e = MapLabelList[k];
        if (e.record < 0 || static_cast<size_t>(e.record) >= list.size())
            continue;
        const AirspaceRecord& a = list[static_cast<size_t>(e.record)];
        if (!a.name[0])
            continue;
        AirspaceLabelText label;
        FormatAirspaceLabel(a, &label);
        if (renderToTexture == 1) {
            const char* lines[3] = {label.lines[0], label.lines[1], label.lines[2]};
            DrawBitmapTextBlockDimmed(font.slot, lines, 3, static_cast<float>(e.x), static_cast<float>(e.y),
                                      font.font.textSize, text, Dimmed(e.kind), 0, TextBackground::Box,
                                      QuadPlacement::MapPixels);
        } else {
            DrawLabelBox(1.0, label.joined, 400, e.x, e.y, 0, text, e.kind, 0);
        }
    }
}

// ---- airways ----

struct SegmentEnds {
    double x1, y1, x2, y2;
    bool on1, on2;
};

void DrawSegmentLine(const SegmentEnds& s, uint32_t colour, float mapAngle, bool* drawn)
{
    if (*drawn)
        return;
    OutlinePoint* p = ScreenPointBuffer;
    p[0] = {static_cast<float>(s.x1), static_cast<float>(s.y1), 0.0f};
    p[1] = {static_cast<float>(s.x2), static_cast<float>(s.y2), 0.0f};
    DrawPolyline(p, 2, colour, mapAngle, 4.0f);
    *drawn = true;
}

// An end of a segment: the waypoint symbol when labels go into text blocks,
// else its ident below it.
void DrawSegmentEnd(const char* ident, double x, double y, uint32_t airwayColour, float mapAngle,
                    int renderToTexture)
{
    const SpriteSlot& wpt = SpriteTable[SpriteWaypoint];
    if (renderToTexture == 1) {
        // The sprite drawer dims a dimmable picture itself.
        uint32_t colour = wpt.dimmable ? airwayColour : Dimmed(airwayColour);
        DrawSprite(SpriteWaypoint, static_cast<float>(x - wpt.width / 2.0), static_cast<float>(y - wpt.height / 2.0),
                   colour, mapAngle, 1.0f, QuadPlacement::MapPixels);
        return;
    }
    DrawLabelBox(1.0, ident, 400, x, y + wpt.height, 0, White, Black, mapAngle);
}

// Whether the line between two map points crosses the client area.
bool CrossesScreen(const SegmentEnds& s)
{
    float ax, ay, bx, by;
    ToClientPixels(static_cast<float>(s.x1), static_cast<float>(s.y1), &ax, &ay);
    ToClientPixels(static_cast<float>(s.x2), static_cast<float>(s.y2), &bx, &by);
    return LineMeetsBox(ax, ay, bx, by, 0, RenderDevice.clientWidth, 0, RenderDevice.clientHeight);
}

void DrawSegmentName(const AirwaySegment& seg, double mx, double my, float mapAngle, int renderToTexture,
                     const LayerFont& font)
{
    if (renderToTexture == 1) {
        char first[16], second[16];
        std::snprintf(first, sizeof first, "%d", seg.first);
        std::snprintf(second, sizeof second, "%d", seg.second);
        const char* lines[3] = {first, seg.name, second};
        double x = mx, y = my - 24;
        TurnWithMap(&x, &y, mapAngle);
        DrawBitmapTextBlockDimmed(font.slot, lines, 3, static_cast<float>(x), static_cast<float>(y), font.font.textSize,
                                  White, Dimmed(Black), 0, TextBackground::Box, QuadPlacement::MapPixels);
        return;
    }
    char text[128];
    std::snprintf(text, sizeof text, "%d\n%s\n%d", seg.first, seg.name, seg.second);
    DrawLabelBox(1.0, text, 400, mx, my, AirwayLabelAngle(seg.course, mapAngle, renderToTexture), White, Black,
                 mapAngle);
}

void DrawSegment(const AirwaySegment& seg, uint32_t airwayColour, float mapAngle, int renderToTexture, int declutter,
                 const LayerFont& font)
{
    const uint32_t lineColour = Dimmed(airwayColour);
    SegmentEnds s{};
    ScreenPoint(seg.startLat, seg.startLon, &s.x1, &s.y1);
    ScreenPoint(seg.endLat, seg.endLon, &s.x2, &s.y2);
    s.on1 = IsOnScreen(s.x1, s.y1);
    s.on2 = IsOnScreen(s.x2, s.y2);
    bool drawn = false;
    if (s.on1) {
        DrawSegmentLine(s, lineColour, mapAngle, &drawn);
        DrawSegmentEnd(seg.startIdent, s.x1, s.y1, airwayColour, mapAngle, renderToTexture);
    }
    if (s.on2) {
        DrawSegmentLine(s, lineColour, mapAngle, &drawn);
        DrawSegmentEnd(seg.endIdent, s.x2, s.y2, airwayColour, mapAngle, renderToTexture);
    }
    if (declutter >= 3)
        return;
    double mx = (s.x1 + s.x2) / 2.0, my = (s.y1 + s.y2) / 2.0;
    if (s.on1 || s.on2 || IsOnScreen(mx, my)) {
        DrawSegmentLine(s, lineColour, mapAngle, &drawn);
        DrawSegmentName(seg, mx, my, mapAngle, renderToTexture, font);
    } else if (CrossesScreen(s)) {
        // A long airway across the view with its ends and middle outside it.
        DrawSegmentLine(s, lineColour, mapAngle, &drawn);
    }
}

int AirwayColourIndex()
{
    int k = GetSelectedIndex();
    // The map-type entry starts unknown; the first column stands in.
    return (k >= 0 && k < NavColourCount) ? k : 0;
}

}  // namespace

// ---- the choices ----

int AirspaceColourIndex(const char* airspaceClass, bool ctrOn, const char* filter)
{
    int k = AirspaceClassIndex(airspaceClass);
    if (k == 8)
        return ctrOn ? ClassC : -1;
    if (k < 0 || !filter || std::strchr(filter, airspaceClass[0]) == nullptr)
        return -1;
    return k;
}

AirspaceLabelFont AirspaceLabelFontFor(int declutter)
{
    switch (declutter) {
    case 1: return {10, 121, 12.0f};
    case 2: return {8, 121, 12.0f};
    default: return {12, 16, 16.0f};
    }
}

int AirspaceLabelAnchors(int count, int pairs[2][2])
{
    if (count < 2)
        return 0;
    pairs[0][0] = 0;
    pairs[0][1] = 1;
    int half = count / 2;
    if (half < 2)
        return 1;
    pairs[1][0] = half - 1;
    pairs[1][1] = half;
    return 2;
}

void FormatAirspaceLabel(const AirspaceRecord& a, AirspaceLabelText* out)
{
    const size_t size = AirspaceLabelSize;
    if (std::strcmp(a.airspaceClass, "CTR") == 0) {
        FormatCut(out->lines[0], size, "%s %s", a.airspaceClass, a.name);
        FormatCut(out->lines[1], size, "%3.3f Mhz", a.frequency / 1000.0);
        FormatCut(out->joined, size, "%s %s\n%3.3f Mhz\n%s - %s", a.airspaceClass, a.name, a.frequency / 1000.0,
                      a.lower, a.upper);
    } else {
        FormatCut(out->lines[0], size, "CLASS %s", a.airspaceClass);
        FormatCut(out->lines[1], size, "%s", a.name);
        FormatCut(out->joined, size, "CLASS %s\n%s\n%s - %s", a.airspaceClass, a.name, a.lower, a.upper);
    }
    FormatCut(out->lines[2], size, "%s - %s", a.lower, a.upper);
}

double AirwayLabelAngle(double course, double mapAngle, int renderToTexture)
{
    double turned = mapAngle + course;
    if (renderToTexture == 2 || (turned > 0 && turned <= 3.14))
        return course - 1.57;
    return course + 1.57;
}

// ---- the layers ----

namespace {

// Everything the outlines are drawn from.
LayerKey OutlineKey(float mapAngle, bool reverse)
{
    LayerKey key;
    AddRendererState(&key);
    AddMapViewState(&key);
    key.Add(mapAngle);
    key.Add(GetDrawnAirspacesGeneration());
    key.Add(reverse);
    key.Add(Settings.CTR);
    key.AddBytes(Settings.SelectedAirspace, sizeof Settings.SelectedAirspace);
    key.Add(Settings.Dimlevel);
    key.AddBytes(AirspaceColours, sizeof AirspaceColours);
    return key;
}

void DrawAirspaceOutlines(const std::vector<AirspaceRecord>& list, float mapAngle, bool reverse)
{
    const int32_t count = static_cast<int32_t>(list.size());
    const ScreenReach reach = TakeScreenReach();
    // LatLonToMapPixel's side effects (a usable georeference noted, a chart
    // set upright) still come every frame, from the probes of the layer's key.
    CheckProjectedAirspaces(list.size());
    const ScreenPlacement placement = TakeScreenPlacement();
    for (int32_t k = 0; k < count; ++k) {
        int32_t i = reverse ? count - 1 - k : k;
        const AirspaceRecord& a = list[static_cast<size_t>(i)];
        int colourIndex = AirspaceColourIndex(a.airspaceClass, Settings.CTR != 0, Settings.SelectedAirspace);
        if (colourIndex >= 0 && MayBeOnScreen(i, a, reach, placement))
            DrawAirspaceOutline(i, a, colourIndex, mapAngle, placement);
    }
}

}  // namespace

void DrawAirspaceLabels(float mapAngle, int renderToTexture, int labelPhase, int declutter)
{
    LayerFont font = SelectLayerFont(declutter);
    TakeNewAirspaceList();
    const std::vector<AirspaceRecord>& list = GetDrawnAirspaces();
    ClearMapLabels();
    // Every other snapshot refresh the other of two overlapping airspaces lies on top.
    const bool reverse = labelPhase == 0 && Settings.NavASPInfo;
    const LayerKey key = OutlineKey(mapAngle, reverse);
    if (OutlineCache.Reuse(key)) {
        for (const MapLabelEntry& e : OutlineLabels)
            AddMapLabel(e.record, e.kind, e.x, e.y);
    } else {
        DrawAirspaceOutlines(list, mapAngle, reverse);
        OutlineCache.Keep(key);
        OutlineLabels.assign(MapLabelList, MapLabelList + MapLabelCount);
    }
    if (Settings.NavASPInfo && declutter < 3)
        DrawAirspaceInfoLabels(list, renderToTexture, font);
}

namespace {

LayerKey AirwayKey(float mapAngle, int renderToTexture, int declutter, uint32_t airwayColour, const LayerFont& font)
{
    LayerKey key;
    AddRendererState(&key);
    AddMapViewState(&key);
    key.Add(mapAngle);
    key.Add(GetDrawnAirwaysGeneration());
    key.Add(renderToTexture);
    key.Add(declutter);
    key.Add(airwayColour);
    key.Add(Settings.Dimlevel);
    key.Add(font.font);
    key.Add(font.slot);
    key.Add(GetFontSize());
    key.Add(ScreenScaleX);
    key.Add(ScreenScaleY);
    key.Add(TextScale);
    // The pictures drawn: the waypoint symbol and the font page.
    for (int slot : {static_cast<int>(SpriteWaypoint), font.slot}) {
        const SpriteSlot* s = GetSpriteSlot(slot);
        key.Add(s ? s->texture : nullptr);
        key.Add(s ? s->width : 0);
        key.Add(s ? s->height : 0);
        key.Add(s ? s->loaded : uint8_t{0});
        key.Add(s ? s->dimmable : uint8_t{0});
    }
    return key;
}

}  // namespace

void DrawAirwayLabels(float mapAngle, int, int, int renderToTexture, int declutter)
{
    const uint32_t airwayColour = Settings.AWYColor[AirwayColourIndex()] | 0xFF000000u;
    LayerFont font = SelectLayerFont(declutter);
    TakeNewAirwayList();
    const LayerKey key = AirwayKey(mapAngle, renderToTexture, declutter, airwayColour, font);
    if (AirwayCache.Reuse(key))
        return;
    for (const AirwaySegment& seg : GetDrawnAirways())
        DrawSegment(seg, airwayColour, mapAngle, renderToTexture, declutter, font);
    AirwayCache.Keep(key);
}

void DrawAirspaceAndAirwayLayers()
{
    if (Settings.AirportChart || !(Settings.NavASP || Settings.CTR || Settings.NavAirways))
        return;
    if (Settings.SelectedAirport[0] && !Settings.AirportOverlay)
        return;
    const int width = CurrentFrame.width, height = CurrentFrame.height;
    double west = 0, east = 0, north = 0, south = 0;
    if (!GetVisibleMapBounds(&west, &east, &north, &south, width, height, FrameZoom))
        return;
    const float mapAngle = CurrentFrame.mapRotation;
    if ((Settings.NavASP || Settings.CTR) && UpdateAirspaces(south, north, east, west))
        DrawAirspaceLabels(mapAngle, Settings.RenderToTexture, LabelPhase, Settings.DeClutter);
    if (Settings.NavAirways > 0 && UpdateAirways(south - 1, north + 1, east, west))
        DrawAirwayLabels(mapAngle, width, height, Settings.RenderToTexture, Settings.DeClutter);
}
