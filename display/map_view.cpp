// The map view's state and the scale of the map around its centre, found by
// projecting a point 0.2 degree north-east of the centre.
#include "display/map_view.h"

#include "app/layout_tables.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "display/draw_helpers.h"
#include "navdata/airport_details.h"
#include "display/aircraft_values.h"
#include "display/map_projection.h"
#include "maps/local_maps.h"
#include "platform/units.h"
#include "simlink/sim_link.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

uint8_t MapPanning = 0;
int32_t FollowTrafficMode = 0;
int32_t FollowedTargetIndex = -1;
int32_t MapReloadRequest = 0;
uint8_t NavOverlaySwitch = 0;
static double MapScaleValue = MinMapScaleValue;
PanPoint MapPanOffset = {0, 0};
PanPoint PanStart = {0, 0};
float DragStartX = 0, DragStartY = 0;
float FrameZoom = 1.0f;
float MapScale = 1.0f;
uint8_t BezelShown = 0;
double CentreMapX = 0, CentreMapY = 0;
double PreviousCentreMapX = 0, PreviousCentreMapY = 0;
double PixelsPerDegreeLon = 0, PixelsPerDegreeLat = 0;
double PixelsPer12Metres = 0;
uint8_t PixelsPerDegreeKnown = 0;
double GridFactorX = 1.0, GridFactorY = 1.0;
int32_t CurrentChartLevel = 0;
int32_t ChartZoomOutSteps = 0;
int32_t ChartRotationDeg = 0;
HeadingOverrideState HeadingOverride = {0, 0.0};
std::atomic<uint8_t> TileMapFlag{1};
ViewportRect MapViewportRect = {84, 40, 84 + 477, 40 + 351};
ViewportRect FullScreenRect = {0, 0, 640, 480};
ScreenPointI BezelMapCentre = {84 + 472 / 2, 40 + 319 / 2};
ScreenPointI FullScreenCentre = {320, 240};

static const double kProbeDegrees = 0.2;

bool IsMapHeadingHeld() { return ChartRotationDeg != 0; }

float GetChartLevelFactor(int32_t level)
{
    static const float factors[5] = {1.0f, 0.5f, 0.333333f, 0.25f, 0.1666667f};
    if (level < 0 || level > 4)
        level = 0;
    return factors[level];
}

// Map-pixel distance from the centre to the point 0.2 degree north-east.
static void ProbeFromCentre(double* ddx, double* ddy)
{
    double px = 0;
    double py = 0;
    LatLonToMapPixel(&px, &py, MapCenter.longitude.load() + kProbeDegrees,
                     MapCenter.latitude.load() + kProbeDegrees);
    *ddx = px - CentreMapX;
    *ddy = py - CentreMapY;
}

void ComputePixelsPerDegree()
{
    double ddx = 0;
    double ddy = 0;
    ProbeFromCentre(&ddx, &ddy);
    double c = std::cos(RadiansPerDegree8 * MapCenter.latitude.load());
    // At the poles the cosine vanishes; a tiny floor keeps the value finite.
    if (std::fabs(c) < 1e-6)
        c = 1e-6;
    PixelsPerDegreeLon = std::fabs(ddx * 5 / c);
    PixelsPerDegreeLat = std::fabs(ddy * 5);
    PixelsPer12Metres = 12 * PixelsPerDegreeLat / MetresPerDegree;
    PixelsPerDegreeKnown = PixelsPerDegreeLon != 0 && PixelsPerDegreeLat != 0;
}

void GetScreenPixelsPerDegree(double* x, double* y)
{
    double ddx = 0;
    double ddy = 0;
    ProbeFromCentre(&ddx, &ddy);
    double s = MapScale;
    if (!TileMapFlag.load())
        s *= GetChartLevelFactor(GetShownLocalMapLevel());
    *x = s * std::fabs(ddx) * GridFactorX / kProbeDegrees;
    *y = s * std::fabs(ddy) * GridFactorY / kProbeDegrees;
}

// The zoom the local-map offsets are scaled by: whole steps from 2 on.
static double LocalMapZoomFactor()
{
    double z = Settings.Zoom;
    return z >= 2.0 ? std::trunc(z) : z;
}

void MapOffsetToLatLon(double* lon, double* lat, double dx, double dy)
{
    double ddx = 0;
    double ddy = 0;
    ProbeFromCentre(&ddx, &ddy);
    if (!TileMapFlag.load()) {
        dx *= LocalMapZoomFactor();
        dy *= LocalMapZoomFactor();
    }
    *lon = MapCenter.longitude.load();
    *lat = MapCenter.latitude.load();
    // A map without scale (no usable georeference) gives the centre itself.
    if (ddx != 0 && GridFactorX != 0)
        *lon += dx * kProbeDegrees / ddx / GridFactorX;
    if (ddy != 0 && GridFactorY != 0)
        *lat += dy * kProbeDegrees / ddy / GridFactorY;
}

void PredictPosition(double* lat, double* lon, double seconds)
{
    double latRate = 0;
    double lonRate = 0;
    SimLinkGetVar(SimVarLatitudeRate, &latRate);
    SimLinkGetVar(SimVarLongitudeRate, &lonRate);
    *lat = MapCenter.latitude.load() + seconds * latRate;
    *lon = MapCenter.longitude.load() + seconds * lonRate;
}

static double AirVectorAngleOf(double ax, double ay, double previous)
{
    double angle = previous;
    if (ax != 0)
        angle = std::atan(ay / ax);
    if (ax >= 0) {
        if (ay < 0)
            angle += TwoPi5;
    } else {
        angle += Pi6;
    }
    return angle;
}

void UpdateAirVector(int32_t* vectorLengthPx, double* speed, double* headingRad, double* airAngle)
{
    double h = RadiansPerDegree8 * Aircraft.Heading;
    double gx = std::cos(h) * Aircraft.GroundSpeed;
    double gy = std::sin(h) * Aircraft.GroundSpeed;
    double w = RadiansPerDegree8 * Aircraft.WindDirection;
    double ax = gx - std::cos(w) * Aircraft.WindSpeed;
    double ay = gy - std::sin(w) * Aircraft.WindSpeed;
    *airAngle = AirVectorAngleOf(ax, ay, *airAngle);

    double lat = MapCenter.latitude.load();
    double lon = MapCenter.longitude.load();
    double c = std::cos(RadiansPerDegree8 * lat);
    if (std::fabs(c) < 1e-6)
        c = 1e-6;
    double lon1 = ay * MetresPerSecondPerKnot * 60 / (c * MetresPerDegree) + lon;
    double lat1 = ax * MetresPerSecondPerKnot * 60 / MetresPerDegree + lat;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    LatLonToMapPixel(&x0, &y0, lon, lat);
    LatLonToMapPixel(&x1, &y1, lon1, lat1);
    *vectorLengthPx = TruncateToInt(std::hypot(x1 - x0, y1 - y0));
    *speed = std::hypot(gx, gy);
    *headingRad = h;
    TrackAngle = h;
}

void GetMapViewport(ViewportRect* rect)
{
    if (BezelShown) {
        *rect = MapViewportRect;
        return;
    }
    float s = MapScale > 0 ? MapScale : 1.0f;
    rect->left = TruncateToInt(FullScreenRect.left / s);
    rect->top = TruncateToInt(FullScreenRect.top / s);
    rect->right = TruncateToInt(FullScreenRect.right / s);
    rect->bottom = TruncateToInt(FullScreenRect.bottom / s);
}

void SetViewportRect(int index, bool bezelShown)
{
    if (index < 0 || index >= HotspotCount)
        return;
    Hotspot& h = HotspotTable[index];
    if (bezelShown) {
        h.x = ScreenLayout.MapRectX;
        h.y = ScreenLayout.MapRectY;
        h.w = ScreenLayout.MapRectW;
        h.h = ScreenLayout.MapRectH;
    } else {
        h.x = 0;
        h.y = 0;
        h.w = 640;
        h.h = 480;
    }
}

void ResetMapPan()
{
    MapPanning = 0;
    MapPanOffset = {0, 0};
    PanStart = {0, 0};
    DragStartX = DragStartY = 0;
}

// ---- accessors ----

void GetMapCenterPixel(float* x, float* y)
{
    *x = static_cast<float>(CentreMapX);
    *y = static_cast<float>(CentreMapY);
}

void GetPixelsPerDegree(double* lon, double* lat)
{
    *lon = PixelsPerDegreeLon;
    *lat = PixelsPerDegreeLat;
}

void GetPixelsPer12Metres(double* value) { *value = PixelsPer12Metres; }

bool GetVisibleMapBounds(double* west, double* east, double* north, double* south, int width, int height,
                         float zoom)
{
    if (!PixelsPerDegreeKnown || !(zoom > 0) || !(PixelsPerDegreeLon > 0) || !(PixelsPerDegreeLat > 0))
        return false;
    double lat = MapCenter.latitude.load(), lon = MapCenter.longitude.load();
    double halfLon = width / (zoom * PixelsPerDegreeLon), halfLat = height / (zoom * PixelsPerDegreeLat);
    double t = std::trunc(lon), u = std::trunc(lat);
    double a = lon < 0 ? t - 2 : t - 1, b = lon < 0 ? t + 1 : t + 2;
    *west = std::min(lon - halfLon, a);
    *east = std::max(lon + halfLon, b);
    *north = std::max(lat + halfLat, u + 1);
    *south = std::min(lat - halfLat, u - 1);
    return true;
}

void GetViewBounds(float bounds[4], int width, int height, float zoom)
{
    if (!PixelsPerDegreeKnown || !(zoom > 0) || !(PixelsPerDegreeLon > 0) || !(PixelsPerDegreeLat > 0))
        return;
    double lat = MapCenter.latitude.load(), lon = MapCenter.longitude.load();
    double halfLon = 0.5 * width / (zoom * PixelsPerDegreeLon), halfLat = 0.5 * height / (zoom * PixelsPerDegreeLat);
    bounds[0] = static_cast<float>(lon - halfLon);
    bounds[1] = static_cast<float>(lon + halfLon);
    bounds[2] = static_cast<float>(lat + halfLat);
    bounds[3] = static_cast<float>(lat - halfLat);
}

static void DegMinOf(double value, int32_t* degrees, float* minutes)
{
    double a = std::fabs(value);
    double d = std::trunc(a);
    *degrees = TruncateToInt(d);
    *minutes = static_cast<float>((a - d) * 60);
}

void LatLonToDegMin(double lat, double lon, DegMinRecord* rec)
{
    DegMinOf(lat, &rec->latDegrees, &rec->latMinutes);
    DegMinOf(lon, &rec->lonDegrees, &rec->lonMinutes);
    rec->northSouth = lat >= 0 ? 'N' : 'S';
    rec->eastWest = lon >= 0 ? 'E' : 'W';
}

// ---- frequency lines ----

static void AppendText(char* out, size_t size, const char* text)
{
    size_t used = strnlen(out, size);
    if (used + 1 < size)
        std::snprintf(out + used, size - used, "%s", text);
}

static void DrawFrequencyLine(const char* label, bool withLabel, const TextRect& rect, float dy, const char* line)
{
    if (withLabel)
        DrawTextLeft(label, rect.left, rect.top, 0xFF000000u);
    DrawTextLeft(line, rect.left + 53, rect.top + dy, 0xFF000000u);
}

void DrawFrequencyLines(const char* label, TextRect* rect, int32_t key, float lineHeight)
{
    char line[256] = "";
    int pending = 0, found = 0;
    for (const ComRecord& com : GetAirportDetail().coms) {
        if (com.type != key)
            continue;
        char frequency[32];
        std::snprintf(frequency, sizeof frequency, "%5.3f ", com.frequency / 1000.0);
        AppendText(line, sizeof line, frequency);
        ++found;
        if (++pending < 10)
            continue;
        AppendText(line, sizeof line, "Mhz");
        DrawFrequencyLine(label, found == 10, *rect, 0, line);
        rect->top += lineHeight;
        rect->bottom += lineHeight;
        line[0] = '\0';
        pending = 0;
    }
    if (pending == 0)
        return;
    AppendText(line, sizeof line, "Mhz");
    DrawFrequencyLine(label, found < 10, *rect, 2, line);
    rect->top += lineHeight;
    rect->bottom += lineHeight;
}

double GetMapScaleValue() { return MapScaleValue; }

void SetMapScaleValue(double value)
{
    if (std::isfinite(value))
        MapScaleValue = std::max(value, MinMapScaleValue);
}
