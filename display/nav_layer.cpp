// The navigation-symbol layer: gates, symbol sizes, then fixes, obstacles,
// airports (symbols, then their labels), the NEAREST panel and navaids
// (symbols, then their labels), each a named step over the records of the
// visible longitude band.
#include "display/nav_layer.h"

#include "display/aircraft_values.h"
#include "maps/terrain_data.h"
#include "app/settings.h"
#include "display/draw_helpers.h"
#include "display/frame_renderer.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/route_layers.h"
#include "display/screen_buttons.h"
#include "display/sprite_draw.h"
#include "display/sprite_table.h"
#include "maps/tile_grid.h"
#include "navdata/airport_details.h"
#include "navdata/nav_tables.h"
#include "display/obstacle_symbols.h"
#include "navdata/simulators.h"
#include "platform/units.h"
#include "render/bitmap_fonts.h"
#include "render/polylines.h"
#include "render/snapshot.h"
#include "render/system_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

MapLabelEntry MapLabelList[MapLabelCapacity];
int32_t MapLabelCount = 0;
uint8_t MarkerSwitch = 0;
SelectedLocalizerState SelectedLocalizer{};

static bool LayerDrawn = false;
// Symbols put on the map in this pass, and whether the stored snapshot holds
// any: symbols move with the map, so while any are shown the renderer
// refreshes the snapshot and the label phase at its fast period.
static int SymbolsThisPass = 0;
static bool SnapshotHoldsSymbols = false;

void ClearMapLabels() { MapLabelCount = 0; }

bool AddMapLabel(int32_t record, uint32_t kind, double x, double y)
{
    if (MapLabelCount >= MapLabelCapacity)
        return false;
    MapLabelList[MapLabelCount++] = {record, kind, x, y};
    return true;
}

bool WasNavigationLayerDrawn() { return LayerDrawn; }

// ---- the choices ----

SymbolFactors ComputeSymbolFactors(bool autosize, double pixelsPer12Metres, float zoom, float scale)
{
    if (!autosize)
        return {1.0f,
                Settings.Vorsizefactor,
                Settings.Ndbsizefactor,
                Settings.Dmesizefactor,
                Settings.Fixsizefactor,
                Settings.Markersizefactor,
                Settings.Aptsizefactor};
    double f = 13.2 * pixelsPer12Metres * zoom * scale;
    // A scale not known yet draws at full size rather than not at all.
    if (!std::isfinite(f) || f <= 0)
        f = 1.0;
    float g = static_cast<float>(std::min(f, 1.0));
    return {g, g, g, g, g, g, g};
}

RoseChoice ChooseVorRose(int roseWidth, float vorFactor)
{
    float s = static_cast<float>(roseWidth) * vorFactor;
    if (s <= 256)
        return {SpriteVorRose128, 2.0f * vorFactor};
    if (s <= 1024)
        return {SpriteVorRose, 0.5f * vorFactor};
    return {SpriteVorRose512, 0.5f * vorFactor};
}

int VorCentreSlot(int32_t subKind)
{
    switch (subKind) {
    case 2: return SpriteVorDme;
    case 3: return SpriteVortac;
    default: return SpriteVor;
    }
}

// The sheet's cells: paved land airports, seaplane bases and heliports have
// their own rows; kinds the sheet does not know take the last cell.
static int AirportSheetCell(uint32_t kind)
{
    switch (kind) {
    case 16: return 4;
    case 17: return 8;
    default: return kind < 16 ? static_cast<int>(kind) : 15;
    }
}

// Surface class of the longest runway by the table of the data's source:
// 1 hard, 2 soft, 4 water.
static int SurfaceClassOfSource(int navDatabase, uint32_t surface)
{
    return GetSurfaceClassOfSource(navDatabase, surface);
}

AirportSymbol ChooseAirportSymbol(int navDatabase, uint32_t kind, uint32_t surface)
{
    switch (navDatabase) {
    case 1:
    case 5:
        if (kind == 1)
            return {SurfaceClassOfSource(navDatabase, surface) == 1 ? SpriteAirportPaved : SpriteAirportUnpaved,
                    false, 0, 0};
        return {kind == 16 ? SpriteAirportWater : SpriteAirportOther, false, 0, 0};
    case 2:
    case 3:
    case 4:
    case 6:
    case 7:
        switch (SurfaceClassOfSource(navDatabase, surface)) {
        case 1: return {SpriteAirportPaved, false, 0, 0};
        case 2: return {SpriteAirportUnpaved, false, 0, 0};
        case 4: return {SpriteAirportWater, false, 0, 0};
        default: return {SpriteAirportOther, false, 0, 0};
        }
    default: {
        int cell = AirportSheetCell(kind);
        return {SpriteAirportSheet, true, 64 * (cell % 4), 64 * (cell / 4)};
    }
    }
}

bool IsXPlaneFormatData(int useSimulator, int navDatabase)
{
    bool xplaneFormatSimulator = useSimulator == SimulatorXPlane || useSimulator == SimulatorFlightGear;
    return (xplaneFormatSimulator && navDatabase == 0) || navDatabase == 1 || navDatabase == 5;
}

uint32_t AirportLabelColour(int mapType, double longitude)
{
    if (mapType == 6 && longitude < -40.0)
        return AirportLabelBlue;
    if (mapType >= -3 && mapType <= -1)
        return 0xFFFFFFFFu;
    return 0xFF000000u;
}

LabelFont LabelFontFor(int declutter)
{
    switch (declutter) {
    case 1: return {12, 121, 12.0f};
    case 2: return {8, 121, 12.0f};
    default: return {16, 16, 16.0f};
    }
}

bool IsLabelShown(int declutter, double x, double y, int mouseX, int mouseY)
{
    if (declutter < 3)
        return true;
    return IsNearPoint(TruncateToInt(x), TruncateToInt(y), mouseX, mouseY);
}

int LocalizerMagneticCourse(const NavaidRecord& n, int useSimulator, double simVariation)
{
    double v = (useSimulator == SimulatorXPlane || useSimulator == SimulatorFlightGear) ? simVariation : -n.magVar;
    // Brought onto the compass before rounding: a course just past north
    // reads 002, not 362, and one just short of it 357, not -02.
    double course = std::fmod(n.angle - v, 360.0);
    if (course < 0)
        course += 360.0;
    return TruncateToInt(course + 0.5) % 360;
}

// A record's text field up to its NUL or its end.
template <size_t N>
static int FieldLength(const char (&field)[N])
{
    return static_cast<int>(strnlen(field, N));
}

#define FIELD(f) FieldLength(f), (f)

int FormatNavaidLabel(const NavaidRecord& n, bool xplaneData, int magneticCourse, NavLabelText* out)
{
    NavLabelText& t = *out;
    t.count = 0;
    const size_t size = NavLabelLineSize;
    switch (n.kind) {
    case 2:   // NDB: kHz with two decimals
    case 3:   // VOR
    case 12:  // DME
    case 13:
    case 4:   // localizer: its course first
    case 5:
        std::snprintf(t.lines[0], size, "%.*s", FIELD(n.name));
        if (n.kind == 2)
            std::snprintf(t.lines[1], size, "%6.2f %.*s", n.frequency / 100.0, FIELD(n.ident));
        else if (n.kind == 4 || n.kind == 5)
            std::snprintf(t.lines[1], size, "%3.3d\xB0 %6.3f %.*s", magneticCourse, n.frequency / 1000.0,
                          FIELD(n.ident));
        else
            std::snprintf(t.lines[1], size, "%6.3f %.*s", n.frequency / 1000.0, FIELD(n.ident));
        t.count = 2;
        break;
    case 7:
    case 8:
    case 9:
        if (!xplaneData) {
            std::snprintf(t.lines[0], size, "%.*s", FIELD(n.extra1));
            t.count = 1;
            break;
        }
        std::snprintf(t.lines[0], size, "%.*s", FIELD(n.name));
        std::snprintf(t.lines[1], size, "%.*s", FIELD(n.extra2));
        t.count = 2;
        if (n.extra1[0]) {
            std::snprintf(t.lines[2], size, "%.*s", FIELD(n.extra1));
            t.count = 3;
        }
        break;
    default: break;
    }
    return t.count;
}

#undef FIELD

void JoinLabelLines(const NavLabelText& label, char* out, size_t size)
{
    if (!out || !size)
        return;
    out[0] = 0;
    size_t used = 0;
    for (int k = 0; k < label.count && used + 1 < size; ++k) {
        int n = std::snprintf(out + used, size - used, k ? "\n%s" : "%s", label.lines[k]);
        if (n < 0)
            break;
        used = std::min(size - 1, used + static_cast<size_t>(n));
    }
}

FeatherColours MakeFeatherColours(uint32_t c, bool intoSnapshot, int dimLevel)
{
    const uint32_t alpha = (intoSnapshot ? 0xD7u : 0x8Fu) << 24;
    const uint32_t red = c & 0xFF, green = (c >> 8) & 0xFF, blue = (c >> 16) & 0xFF;
    FeatherColours k;
    k.fill1 = DimmedColour(alpha | (c & 0x00FFFFFFu), dimLevel);
    k.fill2 = DimmedColour(alpha | (blue << 16) | ((green / 2) << 8) | red, dimLevel);
    k.outline = DimmedColour(alpha | (green << 16) | red, dimLevel);
    return k;
}

void LocalizerLabelPoint(const char* runwaySuffix, double* x, double* y)
{
    const OutlinePoint* p = IlsFeather.points;
    const bool right = runwaySuffix && std::strchr(runwaySuffix, 'R');
    const bool left = runwaySuffix && std::strchr(runwaySuffix, 'L');
    if (!right && !left) {
        *x = (p[0].x + p[2].x) / 2.0;
        *y = (p[0].y + p[2].y) / 2.0;
        return;
    }
    double dx = 0, dy = 0;
    FeatherLabelOffset(&dx, &dy, right ? 1 : 2);
    *x = p[2].x + dx;
    *y = p[2].y + dy;
}

// ---- one frame ----

// What every step of the layer takes from the frame.
struct NavFrame {
    int width, height;
    double west, east, north, south;
    float labelAngle;  // the map angle, or 0 while drawing into the snapshot
    double zoomScale;  // FrameZoom x MapScale
    SymbolFactors size;
    int colourIndex;
    LabelFont font;
    int fontSlot;
    int mouseX, mouseY;
    bool xplaneData;
};

static void ScreenPoint(const NavFrame&, double lon, double lat, double* x, double* y);

template <class Visit>
static void ForEachInBand(const NavFrame& fr, void (*find)(int32_t*, int32_t*, double, double), Visit visit)
{
    LongitudeBands bands = SplitLongitudeBand(fr.west, fr.east);
    for (int k = 0; k < bands.count; ++k) {
        int32_t first = -1, last = -1;
        find(&first, &last, bands.a[k], bands.b[k]);
        if (first < 0 || last < 0)
            continue;
        for (int32_t i = first; i <= last; ++i)
            visit(i);
    }
}

static void ScreenPoint(const NavFrame& fr, double lon, double lat, double* x, double* y)
{
    double dx = 0, dy = 0;
    ProjectToScreenOffset(&dx, &dy, lon, lat);
    *x = ScreenCentre.x + fr.zoomScale * dx;
    *y = ScreenCentre.y + fr.zoomScale * dy;
}

static void LabelAnchor(const NavFrame& fr, double* x, double* y)
{
    RotateAboutCentre(x, y, fr.labelAngle, static_cast<float>(ScreenCentre.x), static_cast<float>(ScreenCentre.y));
}

static bool InsideLatitudes(const NavFrame& fr, double lat) { return lat > fr.south && lat < fr.north; }

static float SpriteWidth(int slot) { return static_cast<float>(SpriteTable[slot].width); }
static float SpriteHeight(int slot) { return static_cast<float>(SpriteTable[slot].height); }

// The sprite drawers dim a dimmable slot; the others get the colour dimmed
// here, so a colour the layer wants dimmed is dimmed exactly once.
static uint32_t OnceDimmed(int slot, uint32_t colour)
{
    return SpriteTable[slot].dimmable ? colour : DimmedColour(colour, Settings.Dimlevel);
}

static void DrawCentredSprite(const NavFrame& fr, int slot, double x, double y, uint32_t colour, float scale,
                              float ownAngle)
{
    float w = SpriteWidth(slot) * scale, h = SpriteHeight(slot) * scale;
    DrawSprite(slot, static_cast<float>(x - w / 2), static_cast<float>(y - h / 2), colour, fr.labelAngle, scale,
               QuadPlacement::MapPixels, OwnAngle{ownAngle});
    ++SymbolsThisPass;
}

static void SelectLabelFont(NavFrame* fr)
{
    fr->font = LabelFontFor(Settings.DeClutter);
    SetFontSize(fr->font.fontSize);
    fr->fontSlot = SelectBitmapFont(fr->font.bitmapFont);
}

static int ColourIndex()
{
    int k = GetSelectedIndex();
    // The map-type entry starts unknown; the first column stands in.
    return (k >= 0 && k < NavColourCount) ? k : 0;
}

static bool LayerGatesOpen()
{
    if (GetWantedZoom() < 7 || Settings.AirportChart)
        return false;
    return TerrainObstacleFlag || Settings.NavASP || Settings.NavAirways || Settings.NavNDB || Settings.NavVOR ||
           Settings.NavILS || MarkerSwitch || Settings.ShowFix || Settings.ShowAirports || Settings.SelectedAirport[0];
}

static bool IsNearestPageShown() { return std::strcmp(Settings.SelectedAirport, "NEAREST") == 0; }

// With RenderToTexture 2 the stored snapshot stands in for the whole layer;
// true when it was drawn. Otherwise the layer is captured afresh.
static bool DrawStoredSnapshot()
{
    if (Settings.RenderToTexture != 2)
        return false;
    double x = CurrentFrame.offsetX * FrameZoom * MapScale, y = CurrentFrame.offsetY * FrameZoom * MapScale;
    bool shifted = !(!Settings.AirportOverlay && Settings.NavAirport && !IsNearestPageShown());
    if (DrawSnapshot(x, y, CurrentFrame.mapRotation, shifted))
        return true;
    BeginSnapshot(x, y);  // when it cannot capture, the layer lands on the screen
    return false;
}

// ---- fixes ----

static void DrawFixLabel(const NavFrame& fr, const FixRecord& fix, double x, double y)
{
    double ax = x, ay = y;
    LabelAnchor(fr, &ax, &ay);
    if (!IsLabelShown(Settings.DeClutter, ax, ay, fr.mouseX, fr.mouseY))
        return;
    char name[sizeof fix.name + 1];
    std::snprintf(name, sizeof name, "%.*s", static_cast<int>(strnlen(fix.name, sizeof fix.name)), fix.name);
    float below = SpriteHeight(SpriteWaypoint);
    if (Settings.RenderToTexture == 1)
        DrawBitmapTextDimmed(fr.fontSlot, name, static_cast<float>(ax), static_cast<float>(ay + below), 0xFFFFFFFFu,
                             0xFF000000u, 0, TextBackground::Box, QuadPlacement::MapPixels);
    else
        DrawLabelBox(1.0, name, 400, ax, ay + below, 0, 0xFFFFFFFFu, 0xFF000000u, 0);
}

static void DrawFixes(const NavFrame& fr)
{
    if (!Settings.ShowFix || GetWantedZoom() <= 9)
        return;
    const float f = fr.size.fix;
    const float qw = SpriteWidth(SpriteFix) * f / 4, qh = SpriteHeight(SpriteFix) * f / 4;
    const uint32_t colour = Settings.FIXColor[fr.colourIndex];
    ForEachInBand(fr, FindFixRange, [&](int32_t i) {
        const FixRecord* fix = GetFix(i);
        if (!fix || !InsideLatitudes(fr, fix->lat))
            return;
        double x, y;
        ScreenPoint(fr, fix->lon, fix->lat, &x, &y);
        if (!IsOnScreen(x - qw, y - qh))
            return;
        // Half the picture, centred: its corner is a quarter of the full size off.
        DrawSprite(SpriteFix, static_cast<float>(x - qw), static_cast<float>(y - qh), colour, fr.labelAngle, f * 0.5f,
                   QuadPlacement::MapPixels);
        ++SymbolsThisPass;
        DrawFixLabel(fr, *fix, x, y);
    });
}

// ---- obstacles ----

static void DrawObstacleSymbols(const NavFrame& fr)
{
    if (TerrainObstacleFlag && BackgroundDrawn && !Settings.AirportChart && IsTerrainDataAvailable())
        DrawObstacles(fr.width, fr.height, fr.labelAngle);
}

// ---- airports ----

static void DrawAirportSymbol(const NavFrame& fr, int32_t i, const AirportRecord& a)
{
    AirportSymbol s = ChooseAirportSymbol(Settings.NavDatabase, a.kind, a.surface);
    const float f = fr.size.airport;
    const float w = (s.sheet ? 64.0f : SpriteWidth(s.slot)) * f, h = (s.sheet ? 64.0f : SpriteHeight(s.slot)) * f;
    double x, y;
    ScreenPoint(fr, RecordLongitude(a), AirportLatitude(a), &x, &y);
    if (!IsOnScreen(x - w / 2, y - h / 2))
        return;
    const float turn = static_cast<float>(a.runwayDirection);
    const float left = static_cast<float>(x - w / 2), top = static_cast<float>(y - h / 2);
    if (s.sheet)
        DrawSpritePart(s.slot, left, top, s.cellX, s.cellY, 64, 64, 0xFFFFFFFFu, fr.labelAngle, f,
                       QuadPlacement::MapPixels, OwnAngle{turn});
    else
        DrawSprite(s.slot, left, top, 0xFFFFFFFFu, fr.labelAngle, f, QuadPlacement::MapPixels, OwnAngle{turn});
    ++SymbolsThisPass;
    if (a.icao[0]) {
        LabelAnchor(fr, &x, &y);
        AddMapLabel(i, 0, x, y);
    }
}

static void DrawAirportLabels(const NavFrame& fr)
{
    double lat = 0, lon = 0;
    GetMapCenter(&lat, &lon);
    const uint32_t colour = AirportLabelColour(Settings.MapType.load(), lon);
    const float below = SpriteHeight(SpriteAirportPaved);
    for (int32_t k = 0; k < MapLabelCount; ++k) {
        const MapLabelEntry& e = MapLabelList[k];
        const AirportRecord* a = GetAirport(e.record);
        if (!a || !IsLabelShown(Settings.DeClutter, e.x, e.y, fr.mouseX, fr.mouseY))
            continue;
        char icao[sizeof a->icao + 1];
        std::snprintf(icao, sizeof icao, "%.*s", static_cast<int>(strnlen(a->icao, sizeof a->icao)), a->icao);
        const double y = e.y + below;
        if (Settings.RenderToTexture == 1)
            DrawBitmapTextDimmed(fr.fontSlot, icao, static_cast<float>(e.x), static_cast<float>(y), colour, 0xFF000000u,
                                 0, TextBackground::Box, QuadPlacement::MapPixels);
        else if (colour == AirportLabelBlue)
            DrawLabelBox(1.0, icao, 400, e.x, y, 0, 0xFFFFFFFFu, colour, 0);
        else
            DrawTextLayoutScaled(icao, e.x, y, colour, 1.0, 0, 400, 5);
    }
}

static void DrawAirports(const NavFrame& fr)
{
    if (!Settings.ShowAirports)
        return;
    ClearMapLabels();
    ForEachInBand(fr, FindAirportRange, [&](int32_t i) {
        const AirportRecord* a = GetAirport(i);
        if (a && InsideLatitudes(fr, AirportLatitude(*a)))
            DrawAirportSymbol(fr, i, *a);
    });
    DrawAirportLabels(fr);
}

// ---- navaids ----

static bool IsAllLocalizers() { return std::strcmp(Settings.SelectedILS, "ALL") == 0; }

static bool IsSelectedLocalizer(const NavaidRecord& n)
{
    return Settings.SelectedILS[0] && strncmp(Settings.SelectedILS, n.ident, sizeof n.ident) == 0;
}

static void AddNavaidLabel(const NavFrame& fr, int32_t i, uint32_t kind, double x, double y)
{
    LabelAnchor(fr, &x, &y);
    AddMapLabel(i, kind, x, y);
}

static void DrawVor(const NavFrame& fr, int32_t i, const NavaidRecord& n, double x, double y)
{
    const uint32_t colour = Settings.VORColor[fr.colourIndex];
    RoseChoice rose = ChooseVorRose(SpriteTable[SpriteVorRose].width, fr.size.vor);
    float turn = static_cast<float>(n.angle) * RadiansPerDegree8F;
    if (!fr.xplaneData)
        turn = -turn;
    DrawCentredSprite(fr, rose.slot, x, y, OnceDimmed(rose.slot, colour), rose.scale, turn);
    int centre = VorCentreSlot(n.subKind);
    DrawCentredSprite(fr, centre, x, y, OnceDimmed(centre, colour), fr.size.vor, 0);
    AddNavaidLabel(fr, i, n.kind, x, y);
}

static void DrawLocalizer(const NavFrame& fr, int32_t i, const NavaidRecord& n, double x, double y)
{
    const bool selected = IsSelectedLocalizer(n);
    if (!(IsAllLocalizers() || selected || !Settings.SelectedAirport[0]))
        return;
    BuildIlsFeather(TruncateToInt(x), TruncateToInt(y), n.lat, n.lon, n.angle * RadiansPerDegree8, n.featherLength);
    const OutlinePoint* p = IlsFeather.points;
    if (!IsOnScreen(p[0].x, p[0].y) && !IsOnScreen(p[2].x, p[2].y))
        return;
    FeatherColours c = MakeFeatherColours(Settings.ILSColor[fr.colourIndex], Settings.RenderToTexture == 2,
                                          Settings.Dimlevel);
    if (n.kind == 4) {
        const OutlinePoint left[3] = {p[0], p[1], p[2]};
        const OutlinePoint right[3] = {p[3], p[0], p[2]};
        DrawTriangle(left, c.fill1, fr.labelAngle);
        DrawTriangle(right, c.fill2, fr.labelAngle);
    } else {
        DrawPolyline(p, 6, c.outline, fr.labelAngle, 2.0f);
    }
    ++SymbolsThisPass;
    char suffix[sizeof n.extra2 + 1];
    std::snprintf(suffix, sizeof suffix, "%.*s", static_cast<int>(strnlen(n.extra2, sizeof n.extra2)), n.extra2);
    double lx, ly;
    LocalizerLabelPoint(suffix, &lx, &ly);
    AddNavaidLabel(fr, i, n.kind, lx, ly);
    if (selected)
        SelectedLocalizer = {&n, x, y, p[2].x, p[2].y, IlsFeather.centreLat, IlsFeather.centreLon};
}

static void DrawNavaid(const NavFrame& fr, int32_t i, const NavaidRecord& n)
{
    double x, y;
    ScreenPoint(fr, n.lon, n.lat, &x, &y);
    if (n.kind == 4 || n.kind == 5) {
        if (Settings.NavILS)
            DrawLocalizer(fr, i, n, x, y);
        return;
    }
    if (!IsOnScreen(x, y))
        return;
    switch (n.kind) {
    case 2:
        if (!Settings.NavNDB)
            return;
        DrawCentredSprite(fr, SpriteNdb, x, y, Settings.NDBColor[fr.colourIndex], fr.size.ndb, 0);
        break;
    case 3:
        if (Settings.NavVOR)
            DrawVor(fr, i, n, x, y);
        return;
    case 12:
    case 13:
        if (!Settings.NavVOR)
            return;
        DrawCentredSprite(fr, SpriteDme, x, y, Settings.VORColor[fr.colourIndex], fr.size.dme, 0);
        break;
    case 7:
    case 8:
    case 9:
        if (!MarkerSwitch)
            return;
        DrawCentredSprite(fr, SpriteMarker, x, y, 0xFFFFFFFFu, fr.size.marker, 0);
        break;
    default: return;
    }
    AddNavaidLabel(fr, i, n.kind, x, y);
}

static void DrawNavaidLabels(NavFrame* fr)
{
    SelectLabelFont(fr);
    float variation = 0;
    GetMagneticVariation(&variation);
    for (int32_t k = 0; k < MapLabelCount; ++k) {
        const MapLabelEntry& e = MapLabelList[k];
        const NavaidRecord* n = GetNavaid(e.record);
        if (!n || !IsLabelShown(Settings.DeClutter, e.x, e.y, fr->mouseX, fr->mouseY))
            continue;
        if ((n->kind == 4 || n->kind == 5) && !(IsAllLocalizers() || IsSelectedLocalizer(*n)))
            continue;
        NavLabelText label;
        int course = LocalizerMagneticCourse(*n, Settings.UseSimulator.load(), variation);
        if (!FormatNavaidLabel(*n, fr->xplaneData, course, &label))
            continue;
        if (Settings.RenderToTexture == 1) {
            const char* lines[3] = {label.lines[0], label.lines[1], label.lines[2]};
            DrawBitmapTextBlockDimmed(fr->fontSlot, lines, label.count, static_cast<float>(e.x),
                                      static_cast<float>(e.y), fr->font.blockSize, 0xFFFFFFFFu, 0xFF000000u, 0,
                                      TextBackground::Box, QuadPlacement::MapPixels);
        } else {
            char text[3 * NavLabelLineSize];
            JoinLabelLines(label, text, sizeof text);
            DrawLabelBox(1.0, text, 400, e.x, e.y, 0, 0xFFFFFFFFu, 0xFF000000u, 0);
        }
    }
}

static void DrawNavaids(NavFrame* fr)
{
    SelectedLocalizer = {};
    ClearMapLabels();
    ForEachInBand(*fr, FindNavaidRange, [&](int32_t i) {
        const NavaidRecord* n = GetNavaid(i);
        if (n && InsideLatitudes(*fr, n->lat))
            DrawNavaid(*fr, i, *n);
    });
    DrawNavaidLabels(fr);
}

// ---- the layer ----

static bool TakeFrame(NavFrame* fr, int width, int height)
{
    fr->width = width;
    fr->height = height;
    if (!GetVisibleMapBounds(&fr->west, &fr->east, &fr->north, &fr->south, width, height, FrameZoom))
        return false;
    fr->labelAngle = Settings.RenderToTexture == 2 ? 0.0f : CurrentFrame.mapRotation;
    fr->zoomScale = static_cast<double>(FrameZoom) * MapScale;
    double perTwelve = 0;
    GetPixelsPer12Metres(&perTwelve);
    fr->size = ComputeSymbolFactors(Settings.Autosize != 0, perTwelve, FrameZoom, MapScale);
    fr->colourIndex = ColourIndex();
    GetHoverPos(&fr->mouseX, &fr->mouseY);
    fr->xplaneData = IsXPlaneFormatData(Settings.UseSimulator.load(), Settings.NavDatabase);
    SelectLabelFont(fr);
    return true;
}

void DrawNavigationLayer(int width, int height)
{
    LayerDrawn = false;
    SelectedLocalizer = {};
    if (!LayerGatesOpen())
        return;
    LayerDrawn = true;
    if (DrawStoredSnapshot()) {
        NavSymbolsChanged = SnapshotHoldsSymbols ? 1 : NavSymbolsChanged;
        return;
    }
    if (Settings.SelectedAirport[0] && !Settings.AirportOverlay)
        return;
    NavFrame fr{};
    if (!TakeFrame(&fr, width, height))
        return;
    SymbolsThisPass = 0;
    DrawFixes(fr);
    DrawObstacleSymbols(fr);
    DrawAirports(fr);
    if (!Settings.AirportChart && Settings.NavAirport)
        DrawNearestPanel(width, height);
    DrawNavaids(&fr);
    SnapshotHoldsSymbols = Settings.RenderToTexture == 2 && SymbolsThisPass > 0;
    if (SymbolsThisPass > 0)
        NavSymbolsChanged = 1;
}
