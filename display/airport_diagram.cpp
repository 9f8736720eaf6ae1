// The airport diagram: the airport's choice and box, the background, then
// its layers from the pavement up to the runway end labels.
#include "display/airport_diagram.h"

#include "app/click_zones.h"
#include "app/settings.h"
#include "display/airport_boxes.h"
#include "display/airport_view.h"
#include "display/draw_helpers.h"
#include "display/frame_renderer.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/sprite_draw.h"
#include "display/sprite_table.h"
#include "maps/tile_grid.h"
#include "navdata/airport_details.h"
#include "navdata/nearest_airports.h"
#include "navdata/simulators.h"
#include "platform/units.h"
#include "render/bitmap_fonts.h"
#include "render/device.h"
#include "render/polylines.h"
#include "render/system_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t White = 0xFFFFFFFFu;
constexpr uint32_t Black = 0xFF000000u;
constexpr uint32_t DiagramBackground = 0xFF808090u;  // as ClearTarget reads it
constexpr uint32_t AreaGrey = 0xFFC0C0C0u;
constexpr uint32_t FeatureGrey = 0xFF7F7F7Fu;
constexpr uint32_t SizeLabelBox = 0xFFE0E0E0u;
constexpr uint32_t ParkingLabel = 0xFF4040FFu;
constexpr int MaxOutlinePoints = 10000;
constexpr double QuarterTurn = 1.5708;

// What every layer takes from one draw.
struct DiagramFrame {
    int width, height;
    float angle;
    bool diagram;     // alone in the diagram view, else over the map
    double zoom;      // z: 1 in the diagram, the frame zoom over the map
    double textScale; // t
    double perTwelve; // map pixels of 12 metres
    bool labels;
    double label;     // L
    float cx, cy;     // ScreenCentre
};

uint32_t Dimmed(uint32_t colour)
{
    uint32_t c = 0;
    DimColour(&c, colour);
    return c;
}

// A colour word written without alpha means an opaque colour.
uint32_t Opaque(uint32_t colour)
{
    return (colour & 0xFF000000u) ? colour : colour | 0xFF000000u;
}

// The sprite drawers dim a dimmable slot themselves.
uint32_t SpriteDimmed(int slot, uint32_t colour)
{
    return SpriteTable[slot].dimmable ? colour : Dimmed(colour);
}

void ToScreen(const DiagramFrame& f, double lat, double lon, double* x, double* y)
{
    double dx = 0, dy = 0;
    if (f.diagram)
        LatLonToAirportViewXY(&dx, &dy, lon, lat);
    else
        ProjectToScreenOffset(&dx, &dy, lon, lat);
    *x = f.cx + f.zoom * f.textScale * dx;
    *y = f.cy + f.zoom * f.textScale * dy;
}

void ToScreen(const DiagramFrame& f, const GeoPoint& p, double* x, double* y) { ToScreen(f, p.lat, p.lon, x, y); }

OutlinePoint Outline(const DiagramFrame& f, const GeoPoint& p)
{
    double x, y;
    ToScreen(f, p, &x, &y);
    return {static_cast<float>(x), static_cast<float>(y), 0};
}

// The first points of a table (at most the outline limit) into the scratch buffer.
int FillOutline(const DiagramFrame& f, const std::vector<GeoPoint>& points)
{
    int n = static_cast<int>(std::min<size_t>(points.size(), MaxOutlinePoints));
    n = std::min(n, ScreenPointCapacity);
    for (int i = 0; i < n; ++i)
        ScreenPointBuffer[i] = Outline(f, points[i]);
    return n;
}

// The renderer leaves out triangles that face away; the data's triangles
// and outlines come either way round, so each is turned to face the screen.
void FaceTheScreen(OutlinePoint* points, int count)
{
    for (int i = 0; i + 2 < count; i += 3) {
        const OutlinePoint &a = points[i], &b = points[i + 1], &c = points[i + 2];
        if ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x) < 0)
            std::swap(points[i + 1], points[i + 2]);
    }
}

void FillTriangles(OutlinePoint* points, int count, uint32_t colour, float angle)
{
    FaceTheScreen(points, count);
    if (count == 3)
        DrawTriangle(points, colour, angle);
    else
        DrawTriangles(points, std::min(count, kMaxTriangleVertices), colour, angle);
}

// Two triangles over a closed 5-point outline: points 1-3 and 3-5.
void FillQuad(const OutlinePoint* outline, uint32_t colour, float angle)
{
    OutlinePoint first[3] = {outline[0], outline[1], outline[2]};
    OutlinePoint second[3] = {outline[2], outline[3], outline[4]};
    FillTriangles(first, 3, colour, angle);
    FillTriangles(second, 3, colour, angle);
}

GeoPoint Middle(const GeoPoint& a, const GeoPoint& b) { return {(a.lat + b.lat) / 2, (a.lon + b.lon) / 2}; }
GeoPoint Along(const GeoPoint& p, const GeoPoint& step, double k) { return {p.lat + k * step.lat, p.lon + k * step.lon}; }

void DrawSpriteCentred(const DiagramFrame& f, int slot, double x, double y, uint32_t colour, double scale,
                       double ownAngle)
{
    float w = SpriteTable[slot].width * static_cast<float>(scale);
    float h = SpriteTable[slot].height * static_cast<float>(scale);
    DrawSprite(slot, static_cast<float>(x - w / 2), static_cast<float>(y - h / 2), SpriteDimmed(slot, colour), f.angle,
               static_cast<float>(scale), QuadPlacement::MapPixels, OwnAngle{static_cast<float>(ownAngle)});
}

// ---- choosing the airport ----

bool ChooseAirport(int width, int height, double* west, double* east, double* north, double* south)
{
    if (!GetVisibleMapBounds(west, east, north, south, width, height, FrameZoom))
        return false;
    if (std::strcmp(Settings.SelectedAirport, "NEAREST") == 0) {
        FindNearestAirports(*west, *east);
        SelectNearestAirport(0);
        char icao[16];
        std::snprintf(icao, sizeof icao, "%s", GetNearestAirportIcao(0));
        SelectAirport(icao);
        SetLastNearestIcao(icao);
        return IsAirportDetailLoaded();
    }
    // Asked by name every time: the details loaded may be another airport's.
    char icao[sizeof Settings.SelectedAirport];
    std::snprintf(icao, sizeof icao, "%s", Settings.SelectedAirport);
    for (char* c = icao; *c; ++c)
        *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
    if (!LoadAirportDetails(icao)) {
        Settings.NavAirport = 0;
        Settings.SelectedAirport[0] = '\0';
        return false;
    }
    return true;
}

// ---- background ----

void DrawOverlayShade(DiagramFrame* f, const AirportRecord& a)
{
    double west = std::min(a.lonA, a.lonB), east = std::max(a.lonA, a.lonB);
    double south = std::min(a.latA, a.latB), north = std::max(a.latA, a.latB);
    OutlinePoint box[5] = {Outline(*f, {north, west}), Outline(*f, {north, east}), Outline(*f, {south, east}),
                           Outline(*f, {south, west}), {}};
    double dx = box[1].x - box[0].x, dy = box[1].y - box[2].y;
    f->labels = AreOverlayLabelsOn(f->perTwelve, TileMapFlag.load() != 0, GetWantedZoom(), std::sqrt(dx * dx + dy * dy));
    box[4] = box[0];
    RotateOutlineAboutPoint(box, f->angle, f->cx, f->cy);
    uint32_t shade = Dimmed((static_cast<uint32_t>(Settings.AirportMapTransparency & 0xFF) << 24) | 0xFFFFFFu);
    FillQuad(box, shade, 0);
}

// ---- layers ----

void DrawLinearFeatures(const DiagramFrame& f, const AirportDetail& d)
{
    for (const LinearFeature& line : d.linearFeatures) {
        if (line.points.size() <= 2)
            continue;
        int n = FillOutline(f, line.points);
        DrawPolyline(ScreenPointBuffer, std::min(n, kMaxPolylinePoints), Dimmed(Opaque(line.colour)), f.angle, 2.0f);
    }
}

void DrawPavementName(const DiagramFrame& f, const PavementPolygon& p, int n, double size)
{
    if (std::strcmp(p.name, "-") == 0 || p.name[0] == '\0')
        return;
    int stride = PavementNameStride(n);
    for (int k = 0; k + 1 < n; k += stride) {
        double x = (ScreenPointBuffer[k].x + ScreenPointBuffer[k + 1].x) / 2.0;
        double y = (ScreenPointBuffer[k].y + ScreenPointBuffer[k + 1].y) / 2.0;
        RotateAboutCentre(&x, &y, f.angle, f.cx, f.cy);
        DrawTextRotatedScaled(p.name, x, y, Black, size, f.angle, 5);
    }
}

void DrawPavements(const DiagramFrame& f, const AirportDetail& d)
{
    float lineWidth = f.textScale > 1.0 ? 2.0f : 1.0f;
    int sim = Settings.UseSimulator.load();
    bool names = f.labels && sim != SimulatorXPlane && sim != SimulatorFlightGear && f.label * 0.5 > 0.5;
    for (const PavementPolygon& p : d.pavements) {
        int n = FillOutline(f, p.points);
        if (p.kind == 0) {
            if (n < 2)
                continue;
            DrawPolyline(ScreenPointBuffer, std::min(n, kMaxPolylinePoints), Dimmed(Opaque(p.colour)), f.angle,
                         lineWidth);
            if (names)
                DrawPavementName(f, p, n, f.label * 0.5);
            continue;
        }
        if (n < 3)
            continue;
        FillTriangles(ScreenPointBuffer, n, Dimmed(p.kind == 2 ? White : AreaGrey), f.angle);
    }
}

void DrawFeatures140(const DiagramFrame& f, const AirportDetail& d)
{
    uint32_t colour = Dimmed(FeatureGrey);
    for (const Feature140& feature : d.features140) {
        int n = std::clamp(feature.pointCount, 0, Feature140Points);
        if (n < 3)
            continue;
        for (int i = 0; i < n; ++i)
            ScreenPointBuffer[i] = Outline(f, feature.points[i]);
        FillTriangles(ScreenPointBuffer, n, colour, f.angle);
    }
}

uint32_t RunwayColour(int surface)
{
    switch (GetRunwaySurfaceClass(surface - 1)) {
    case 1: return Dimmed(0xFF010101u);
    case 2: return Dimmed(0xFFA0A0A0u);
    default: return Dimmed(0xFFC0C0C0u);
    }
}

void DrawCentreLine(const DiagramFrame& f, const RunwayRecord& r)
{
    GeoPoint along{r.points[2].lat - r.points[1].lat, r.points[2].lon - r.points[1].lon};
    int n = CentreLineSteps(along.lat, along.lon);
    if (n < 2)
        return;
    GeoPoint step{along.lat / (n - 1), along.lon / (n - 1)};
    GeoPoint at = Middle(r.points[0], r.points[1]);
    uint32_t colour = Dimmed(White);
    for (int i = 0; i < n / 2; ++i) {
        OutlinePoint dash[2] = {Outline(f, at), Outline(f, Along(at, step, 1))};
        DrawPolyline(dash, 2, colour, f.angle, 1.0f);
        at = Along(at, step, 2);
    }
}

void DrawRunways(const DiagramFrame& f, const AirportDetail& d)
{
    for (const RunwayRecord& r : d.runways) {
        OutlinePoint corners[5];
        for (int k = 0; k < 4; ++k)
            corners[k] = Outline(f, r.points[k]);
        corners[4] = corners[0];
        FillQuad(corners, RunwayColour(r.surface), f.angle);
        if (GetRunwaySurfaceClass(r.surface - 1) == 1)
            DrawCentreLine(f, r);
    }
}

void DrawHelipads(const DiagramFrame& f, const AirportDetail& d)
{
    if (!f.labels)
        return;
    SetFontSize(16);
    for (const RunwayRecord& h : d.helipads) {
        uint32_t box = h.surface == 1 ? 0xFF010101u : h.surface == 2 ? 0xFF808080u : 0xFFC0C0C0u;
        double x1, y1, x3, y3;
        ToScreen(f, h.points[0], &x1, &y1);
        ToScreen(f, h.points[2], &x3, &y3);
        double x = (x1 + x3) / 2, y = (y1 + y3) / 2;
        if (IsOnScreen(x, y))
            DrawLabelBox(f.label, h.designator1, 400, x, y, h.heading1 - QuarterTurn, Dimmed(White), Dimmed(box),
                         f.angle);
    }
}

void DrawRunwaySizes(const DiagramFrame& f, const AirportDetail& d)
{
    if (!f.labels || !(f.label * 0.5 > 0.5))
        return;
    SetFontSize(20);
    char text[64];
    for (const RunwayRecord& r : d.runways) {
        double factor = Settings.MetricAltitude ? 1.0 : FeetPerMetre7;
        long length = std::lround(std::clamp(r.length * factor, -1.0e7, 1.0e7));
        long width = std::lround(std::clamp(r.width * factor, -1.0e7, 1.0e7));
        std::snprintf(text, sizeof text, Settings.MetricAltitude ? "%ld x %ld m" : "%ld x %ld ft", length, width);
        GeoPoint anchor{r.points[5].lat + (r.points[1].lat - r.points[0].lat) / 2,
                        r.points[5].lon + (r.points[1].lon - r.points[0].lon) / 2};
        double x, y;
        ToScreen(f, anchor, &x, &y);
        if (IsOnScreen(x, y))
            DrawLabelBox(f.label * 0.5, text, 400, x, y, r.heading1 - QuarterTurn, Black, Dimmed(SizeLabelBox), f.angle);
    }
}

double FirstRunwayWidth(const AirportDetail& d)
{
    return d.runways.empty() ? 0.0 : d.runways[0].width;
}

void DrawTaxiwayNames(const DiagramFrame& f, const AirportDetail& d, double base)
{
    int sim = Settings.UseSimulator.load();
    if (!f.labels || d.taxiNames.empty() || (sim != SimulatorXPlane && sim != SimulatorFlightGear))
        return;
    double size = d.runways.empty() ? base : ScaleLabelForRunwayWidth(base, FirstRunwayWidth(d));
    if (!d.runways.empty() && FirstRunwayWidth(d) <= 90)
        size *= 0.5;
    SetFontSize(12);
    if (!(size > 0.5))
        return;
    char text[32];
    for (const TaxiNameRecord& t : d.taxiNames) {
        if (t.points.empty())
            continue;
        double x, y;
        ToScreen(f, t.points[t.points.size() / 2], &x, &y);
        std::snprintf(text, sizeof text, "%s", t.name);
        DrawTextRotatedScaled(text, x, y, Black, size, f.angle, 1);
    }
}

void DrawParkingPosition(const DiagramFrame& f, const ParkingRecord& p, double q)
{
    double x, y;
    ToScreen(f, p.lat, p.lon, &x, &y);
    double scale = p.size * q / 640;
    if (!std::isfinite(scale) || scale <= 0)
        return;
    const SpriteSlot& s = SpriteTable[SpriteParking];
    float left = std::trunc(static_cast<float>(x - s.width * scale / 2));
    float top = std::trunc(static_cast<float>(y - s.height * scale / 2));
    DrawSprite(SpriteParking, left, top, SpriteDimmed(SpriteParking, Opaque(p.colour)), f.angle,
               static_cast<float>(scale), QuadPlacement::MapPixels,
               OwnAngle{static_cast<float>(p.heading * RadiansPerDegree3)});
}

void DrawParking(const DiagramFrame& f, const AirportDetail& d)
{
    SetFontSize(4);
    double q = f.diagram ? AirportDiagramView.sizeFactor * 2.5 * f.textScale : f.perTwelve * 2.0 * f.textScale;
    int selected = Settings.Parkposition;
    if (selected < 0) {
        for (const ParkingRecord& p : d.parking)
            DrawParkingPosition(f, p, q);
        return;
    }
    if (static_cast<size_t>(selected) >= d.parking.size())
        return;
    const ParkingRecord& p = d.parking[static_cast<size_t>(selected)];
    double x, y;
    ToScreen(f, p.lat, p.lon, &x, &y);
    if (!(x > 0 && x < f.width && y > 0 && y < f.height))
        return;
    DrawParkingPosition(f, p, q);
    char text[48];
    std::snprintf(text, sizeof text, "%s %d", p.name, p.number);
    RotateAboutCentre(&x, &y, f.angle, f.cx, f.cy);
    DrawTextRotatedScaled(text, x, y, Dimmed(ParkingLabel), f.textScale * p.size / 9, f.angle, 1);
}

void DrawTowers(const DiagramFrame& f, const AirportDetail& d)
{
    SetFontSize(8);
    const SpriteSlot& s = SpriteTable[SpriteTower];
    for (const GeoPoint& p : d.boundary) {
        double x, y;
        ToScreen(f, p, &x, &y);
        DrawSpriteCentred(f, SpriteTower, x, y, Black, 0.05 * f.label, 0);
        if (f.labels)
            DrawTextRotatedScaled("Tower", x + s.width * f.label / 40, y, Black, f.label, f.angle, 0);
    }
}

void DrawReferencePoint(const DiagramFrame& f, const AirportDetail& d)
{
    double x, y;
    ToScreen(f, d.header.lat, d.header.lon, &x, &y);
    DrawSpriteCentred(f, SpriteReferencePoint, x, y, White, 0.25 * f.label, 0);
    const SpriteSlot& s = SpriteTable[SpriteReferencePoint];
    if (f.labels)
        DrawTextRotatedScaled("ARP", x + s.width * f.label / 168, y + s.height * f.label / 8, Black, f.label, f.angle,
                              0);
}

void DrawEndLabel(const DiagramFrame& f, double size, const char* text, uint32_t weight, const GeoPoint& at,
                  double heading)
{
    double x, y;
    ToScreen(f, at, &x, &y);
    DrawLabelBox(size, text, weight, x, y, heading, Black, Dimmed(White), f.angle);
}

void DrawRunwayEnds(const DiagramFrame& f, const AirportDetail& d, double base)
{
    if (!f.labels)
        return;
    double size = base;
    double firstWidth = FirstRunwayWidth(d);
    if (!d.runways.empty() && firstWidth < 100)
        size = size * firstWidth / 60;
    double a = 5.0, b = 2.0;
    char text[32];
    for (const RunwayRecord& r : d.runways) {
        if (r.rowCode == 101 && r.width > 100) {
            a = r.width * 3 / 600;
            b = r.width / 600;
        }
        const GeoPoint& step = r.points[4];
        GeoPoint end1 = Middle(r.points[0], r.points[1]), end2 = Middle(r.points[2], r.points[3]);
        SetFontSize(16);
        FormatRunwayHeading(text, sizeof text, r.heading1, d.header.magVar);
        DrawEndLabel(f, size, text, 400, Along(end1, step, -a), r.heading1);
        FormatRunwayHeading(text, sizeof text, r.heading2, d.header.magVar);
        DrawEndLabel(f, size, text, 400, Along(end2, step, a), r.heading2);
        SetFontSize(24);
        struct End {
            const char* name;
            GeoPoint at;
            double heading;
        } ends[2] = {{r.designator1, Along(end1, step, -b), r.heading1}, {r.designator2, Along(end2, step, b), r.heading2}};
        for (const End& e : ends) {
            std::snprintf(text, sizeof text, "%s", e.name);
            DrawEndLabel(f, size, text, 950, e.at, e.heading);
            double x, y;
            ToScreen(f, e.at, &x, &y);
            DrawSpriteCentred(f, SpriteOval, x, y, Black, 0.3 * size, e.heading);
        }
    }
}

}  // namespace

double ScaleLabelForRunwayWidth(double size, double width)
{
    return width <= 90 ? size * width / 60 : size * 30 / width;
}

int CentreLineSteps(double dlat, double dlon)
{
    double span = 1440 * std::max(std::fabs(dlat), std::fabs(dlon));
    // A runway longer than a few degrees is a broken row, not a runway.
    if (!std::isfinite(span) || span > 100000)
        return 0;
    return static_cast<int>(span);
}

int PavementNameStride(int count)
{
    return count <= 8 ? 1 : count <= 16 ? 2 : 4;
}

void FormatRunwayHeading(char* out, size_t size, double headingRad, double magVarDeg)
{
    double value = headingRad * DegreesPerRadian1 + magVarDeg + 0.5;
    long degrees = std::isfinite(value) ? static_cast<long>(std::floor(std::fmod(value, 360.0))) : 0;
    // 0 and 360 name one heading; runways are named 36, not 0.
    if (degrees <= 0)
        degrees += 360;
    std::snprintf(out, size, "%ld\xB0", degrees);
}

bool AreOverlayLabelsOn(double pixelsPer12Metres, bool tileMap, int wantedZoom, double boxDiagonal)
{
    return pixelsPer12Metres > 1.0 || (tileMap && wantedZoom > 12) || boxDiagonal > 400;
}

bool IsAirportBoxInView(double west, double east, double south, double north, double centreLat, double centreLon,
                        double viewWest, double viewEast, double viewSouth, double viewNorth)
{
    bool centreInside = west < centreLon && centreLon < east && south < centreLat && centreLat < north;
    bool northEast = viewWest < east && east < viewEast && viewSouth < north && north < viewNorth;
    bool southWest = viewWest < west && west < viewEast && viewSouth < south && south < viewNorth;
    return centreInside || northEast || southWest;
}

void DrawAirportDiagram(int width, int height, float angle)
{
    ClearHighlightBox();
    if (Settings.SelectedAirport[0] == '\0')
        return;
    double west, east, north, south;
    if (!ChooseAirport(width, height, &west, &east, &north, &south))
        return;
    ResetAirportViewCenter();
    const AirportRecord& airport = *GetCurrentAirport();
    SetAirportBox(airport);
    // The NEAREST page follows the aircraft while it is on the airport; from
    // anywhere else the diagram would show only its background, so it shows
    // the airport, with the aircraft where it is.
    if (IsNearestPageOpen()) {
        double lat = 0, lon = 0, boxWest, boxEast, boxSouth, boxNorth;
        GetMapCenter(&lat, &lon);
        GetAirportBox(&boxWest, &boxEast, &boxSouth, &boxNorth);
        if (boxWest < lon && lon < boxEast && boxSouth < lat && lat < boxNorth) {
            AirportDiagramView.latitude = lat;
            AirportDiagramView.longitude = lon;
        }
    }

    DiagramFrame f{};
    f.width = width;
    f.height = height;
    f.angle = angle;
    f.diagram = !Settings.AirportOverlay;
    f.zoom = f.diagram ? 1.0 : FrameZoom;
    f.textScale = GetTextScale();
    GetPixelsPer12Metres(&f.perTwelve);
    f.cx = static_cast<float>(ScreenCentre.x);
    f.cy = static_cast<float>(ScreenCentre.y);
    if (!f.diagram) {
        double boxWest, boxEast, boxSouth, boxNorth, lat = 0, lon = 0;
        GetAirportBox(&boxWest, &boxEast, &boxSouth, &boxNorth);
        GetMapCenter(&lat, &lon);
        if (!IsAirportBoxInView(boxWest, boxEast, boxSouth, boxNorth, lat, lon, west, east, south, north))
            return;
        DrawOverlayShade(&f, airport);
    } else {
        ClearTarget(Dimmed(DiagramBackground));
        f.labels = true;
    }

    const AirportDetail& d = GetAirportDetail();
    DrawLinearFeatures(f, d);
    SetFontSize(16);
    double base = f.diagram ? f.textScale * AirportDiagramView.sizeFactor : f.perTwelve * 0.6 * f.textScale;
    f.label = d.runways.empty() ? base : ScaleLabelForRunwayWidth(base, FirstRunwayWidth(d));
    DrawPavements(f, d);
    DrawFeatures140(f, d);
    DrawRunways(f, d);
    DrawHelipads(f, d);
    DrawRunwaySizes(f, d);
    DrawTaxiwayNames(f, d, base);
    DrawParking(f, d);
    DrawTowers(f, d);
    DrawReferencePoint(f, d);
    double endBase = f.diagram ? f.textScale * 0.5 * AirportDiagramView.sizeFactor : f.perTwelve * 0.3 * f.textScale;
    DrawRunwayEnds(f, d, endBase);
}
