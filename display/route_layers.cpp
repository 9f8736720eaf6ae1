// The route layers: NEAREST panel, selected localizer label, flight plan.
#include "display/route_layers.h"

#include "app/click_zones.h"
#include "maps/terrain_data.h"
#include "app/settings.h"
#include "display/aircraft_values.h"
#include "display/airport_boxes.h"
#include "display/airport_diagram.h"
#include "display/draw_helpers.h"
#include "display/frame_renderer.h"
#include "display/map_view.h"
#include "display/nav_layer.h"
#include "display/sprite_draw.h"
#include "display/sprite_table.h"
#include "navdata/route_navigation.h"
#include "platform/tvl_assert.h"
#include "render/bitmap_fonts.h"
#include "render/snapshot.h"
#include "render/system_text.h"
#include "simlink/sim_link.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t White = 0xFFFFFFFFu;
constexpr uint32_t Black = 0xFF000000u;
constexpr uint32_t ActiveWaypointColour = 0xFFFF00FFu;
constexpr uint32_t LabelBoxColour = 0xDF000000u;
// The take-off test: a climb of more than this many feet a second.
constexpr double TakeOffClimbRate = 10.0;

double SmoothedAltitude = 0;
double ClimbRate = 0;

bool IsNearestPageShown()
{
    return std::strcmp(Settings.SelectedAirport, "NEAREST") == 0;
}

// The aircraft's grid offset scaled to the screen, as the snapshot takes it.
void SnapshotOffset(double* x, double* y)
{
    *x = CurrentFrame.offsetX * FrameZoom * MapScale;
    *y = CurrentFrame.offsetY * FrameZoom * MapScale;
}

// ---- NEAREST panel ----

void DrawNearestStep(int width, int height)
{
    if (!WasNavigationLayerDrawn() || Settings.AirportOverlay || Settings.AirportChart || !Settings.NavAirport)
        return;
    double lat = 0, lon = 0;
    GetMapCenter(&lat, &lon);
    // After take-off the NEAREST page gives way to the map once the aircraft
    // is farther from the airport than the airport is large. Only the page
    // is switched off here: toggling a diagram that is not the page would
    // switch it on, and off again the next frame.
    if (ClimbRate > TakeOffClimbRate && IsNearestPageShown() && IsFarFromAirportBox(lat, lon)) {
        ToggleNearestPage();
        return;
    }
    DrawNearestPanel(width, height);
}

// ---- selected localizer ----

void DrawSelectedLocalizerLabel()
{
    const SelectedLocalizerState& loc = SelectedLocalizer;
    if (Settings.DeClutter >= 3 || Settings.SelectedILS[0] == '\0' || loc.record == nullptr)
        return;
    const NavaidRecord& n = *loc.record;
    LabelFont font = LabelFontFor(Settings.DeClutter);
    SetFontSize(font.fontSize);
    double lat = 0, lon = 0;
    GetMapCenter(&lat, &lon);
    double t = LocalizerLabelFraction(lat, lon, n.lat, n.lon, loc.tipLat, loc.tipLon);
    double x = t * loc.tipX + (1 - t) * loc.antennaX;
    double y = t * loc.tipY + (1 - t) * loc.antennaY + 16;
    float variation = 0;
    GetMagneticVariation(&variation);
    int course = LocalizerMagneticCourse(n, Settings.UseSimulator.load(), variation);
    char text[256];
    std::snprintf(text, sizeof text, "%.*s\n%3.3d\xB0 %6.3f %.*s", static_cast<int>(strnlen(n.name, sizeof n.name)),
                  n.name, course, n.frequency / 1000.0, static_cast<int>(strnlen(n.ident, sizeof n.ident)), n.ident);
    // The feather turns with the map; its label goes with it and stays upright.
    float angle = CurrentFrame.mapRotation;
    DrawLabelBox(1.0, text, 400, x, y, -angle, White, Black, angle);
}

// ---- flight plan ----

struct RouteWaypointOnScreen {
    float x, y;
    char ident[9];
    int32_t symbol, altitude, mea;
};
RouteWaypointOnScreen ScreenWaypoints[FlightPlanMaxWaypoints];

void ToScreen(float offsetX, float offsetY, float* x, float* y)
{
    double k = static_cast<double>(FrameZoom) * MapScale;
    *x = static_cast<float>(ScreenCentre.x + k * offsetX);
    *y = static_cast<float>(ScreenCentre.y + k * offsetY);
}

int CollectWaypoints()
{
    int n = 0;
    float x, y;
    RouteWaypointOnScreen w;
    while (n < FlightPlanMaxWaypoints && GetRouteWaypoint(n, &x, &y, w.ident, &w.symbol, &w.altitude, &w.mea)) {
        ToScreen(x, y, &w.x, &w.y);
        ScreenWaypoints[n++] = w;
    }
    return n;
}

// The route line, in pieces the polyline drawer takes, each starting where
// the last one ended.
void DrawRouteLine(float angle)
{
    uint32_t colour = DimmedColour(Settings.FlightPlanColor | 0xFF000000u, Settings.Dimlevel);
    float width = static_cast<float>(Settings.FlightplanWidth);
    int n = 0;
    float x, y;
    for (int i = 0; GetRoutePoint(i, &x, &y); ++i) {
        ToScreen(x, y, &ScreenPointBuffer[n].x, &ScreenPointBuffer[n].y);
        ScreenPointBuffer[n].z = 0;
        if (++n == kMaxPolylinePoints) {
            DrawPolyline(ScreenPointBuffer, n, colour, angle, width);
            ScreenPointBuffer[0] = ScreenPointBuffer[n - 1];
            n = 1;
        }
    }
    if (n >= 2)
        DrawPolyline(ScreenPointBuffer, n, colour, angle, width);
}

void DrawWaypointSymbols(int count, float angle)
{
    const SpriteSlot& plain = SpriteTable[SpriteWaypoint];
    const char* active = GetActiveWaypointIdent();
    for (int i = 0; i < count; ++i) {
        const RouteWaypointOnScreen& w = ScreenWaypoints[i];
        // Slot 0 is the bezel, no symbol: the steps give it to kinds without one.
        // Any other symbol is one of the route's sprite slots.
        TVL_ASSERT(w.symbol < SpriteSlotCount);
        if (w.symbol <= SpriteBezel || w.symbol >= SpriteSlotCount)
            continue;
        uint32_t colour = std::strncmp(w.ident, active, 8) == 0 ? ActiveWaypointColour : White;
        DrawSprite(w.symbol, w.x - plain.width / 2.0f, w.y - plain.height / 2.0f, colour, angle, 1.0f,
                   QuadPlacement::MapPixels);
    }
}

void DrawWaypointLabels(int count, float angle)
{
    bool meaShown = MSAinFlightplan != 0 && IsTerrainDataAvailable();
    char text[64];
    for (int i = 0; i < count; ++i) {
        const RouteWaypointOnScreen& w = ScreenWaypoints[i];
        if (!IsOnScreen(w.x, w.y))
            continue;
        FormatWaypointLabel(text, sizeof text, w.ident, w.altitude, w.mea, meaShown);
        DrawLabelBox(1.0, text, 400, w.x + 12, w.y + (meaShown ? 24 : 14), -angle, White, LabelBoxColour, angle);
    }
}

void DrawFlightPlanLayer()
{
    if (!IsFlightPlanShown() || !BackgroundDrawn || Settings.AirportChart ||
        (Settings.NavAirport && !Settings.AirportOverlay))
        return;
    SetFontSize(12);
    float angle = CurrentFrame.mapRotation;
    int count = CollectWaypoints();
    if (count > 0)
        DrawRouteLine(angle);
    DrawWaypointSymbols(count, angle);
    DrawWaypointLabels(count, angle);
}

}  // namespace

void UpdateRouteClimbRate(double altitude, double dt)
{
    double previous = SmoothedAltitude;
    SmoothedAltitude = 0.995 * SmoothedAltitude + 0.005 * altitude;
    ClimbRate = dt > 0 ? (SmoothedAltitude - previous) / dt : 0.0;
}

double GetRouteClimbRate()
{
    return ClimbRate;
}

void ResetRouteClimbRate()
{
    SmoothedAltitude = 0;
    ClimbRate = 0;
}

void FormatWaypointLabel(char* out, size_t size, const char* ident, int32_t altitude, int32_t mea, bool showMea)
{
    bool planned = altitude > 0;
    if (showMea) {
        if (planned && mea == RouteNoTerrain)
            std::snprintf(out, size, "%s\n%d\n--- MEA", ident, altitude / 100);
        else if (planned)
            std::snprintf(out, size, "%s\n%d\n%d MEA", ident, altitude / 100, mea / 100);
        else if (mea == RouteNoTerrain)
            std::snprintf(out, size, "%s\n--- MEA", ident);
        else
            std::snprintf(out, size, "%s\n%d MEA", ident, mea / 100);
    } else if (planned) {
        std::snprintf(out, size, "%s\n%d", ident, altitude / 100);
    } else {
        std::snprintf(out, size, "%s", ident);
    }
}

double LocalizerLabelFraction(double centreLat, double centreLon, double antennaLat, double antennaLon,
                              double tipLat, double tipLon)
{
    double dLat = tipLat - antennaLat, dLon = tipLon - antennaLon;
    double squared = dLat * dLat + dLon * dLon;
    if (!(squared > 0))
        return 0.0;
    double t = ((centreLat - antennaLat) * dLat + (centreLon - antennaLon) * dLon) / squared;
    return std::clamp(t, -0.1, 1.1);
}

void DrawNearestPanel(int width, int height)
{
    double x = 0, y = 0;
    SnapshotOffset(&x, &y);
    bool shifted = !(!Settings.AirportOverlay && Settings.NavAirport && !IsNearestPageShown());
    if (!DrawSnapshot(x, y, CurrentFrame.mapRotation, shifted)) {
        BeginSnapshot(x, y);
        DrawAirportDiagram(width, height, 0.0f);
        if (Settings.RenderToTexture != 2)
            EndSnapshot(x, y, CurrentFrame.mapRotation);
    }
    SetNearestDrawnFlag(1);
}

void DrawRouteLayers(float dt, int width, int height)
{
    UpdateRouteClimbRate(GetAircraftAltitude(), dt);
    DrawNearestStep(width, height);
    // With RenderToTexture 2 the navigation layer's capture ends here, after
    // the panel went into it.
    if (Settings.RenderToTexture == 2 && !Settings.AirportChart) {
        double x = 0, y = 0;
        SnapshotOffset(&x, &y);
        EndSnapshot(x, y, CurrentFrame.mapRotation);
    }
    DrawSelectedLocalizerLabel();
    DrawFlightPlanLayer();
}
