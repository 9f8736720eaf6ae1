// The moving map's view: the geographic centre and the screen point it is
// drawn at, the frame's zoom and scale, panning, the viewport rectangles, and
// the scale of the map around its centre (pixels per degree).
// GUI thread unless a field says otherwise.
#pragma once

// MapCenter (navdata/map_centre.h) is drawn at ScreenCentre
// (render/screen_centre.h).
#include "navdata/map_centre.h"
#include "render/screen_centre.h"

#include <atomic>
#include <cstdint>

struct ViewportRect {
    int32_t left, top, right, bottom;
};

// Set by a mouse drag on the map; while set the simulator does not move MapCenter.
extern uint8_t MapPanning;
// Following a traffic target, and its index in the traffic target list (-1 none).
extern int32_t FollowTrafficMode;
extern int32_t FollowedTargetIndex;
// Pan offset in virtual units, added to ScreenCentre by the background
// layers; the offset and the pointer position (in the drag's own units) a
// drag started from.
struct PanPoint {
    float x, y;
};
extern PanPoint MapPanOffset;
extern PanPoint PanStart;
extern float DragStartX, DragStartY;
// Ends a pan: the map follows the aircraft again from the next frame.
void ResetMapPan();

// Drawing scale of the map background and the displayed tile grid's tile
// scale, both set at every frame start.
extern float FrameZoom;
extern float MapScale;
// The ShowFrame setting as the frame took it; every layer uses this copy.
extern uint8_t BezelShown;

// Map pixel of MapCenter in the current projection, and the previous frame's;
// doubles, since tile worlds at the deepest zooms exceed what a float keeps.
extern double CentreMapX, CentreMapY;
extern double PreviousCentreMapX, PreviousCentreMapY;

// Map pixels per degree around the centre; recomputed lazily while not known.
extern double PixelsPerDegreeLon, PixelsPerDegreeLat;
extern double PixelsPer12Metres;
extern uint8_t PixelsPerDegreeKnown;
// Grid factors of the screen scale, set to 1.0 every frame.
extern double GridFactorX, GridFactorY;

// The local-map zoom level (0..4) in use, taken from the ChartLevel setting.
extern int32_t CurrentChartLevel;
// 1.0, 0.5, 1/3, 0.25, 1/6 for levels 0..4; a level out of range counts as 0.
float GetChartLevelFactor(int32_t level);
// Fine zoom steps of a local map below level 0: each doubles the shown size.
extern int32_t ChartZoomOutSteps;
constexpr int32_t MaxChartZoomOutSteps = 4;

// Rotation of the current local map sheet in degrees (0 in tile-map mode).
extern int32_t ChartRotationDeg;
// A turned local sheet holds its own heading: leaving track-up then passes
// through north-up (NorthUpMode) before the sheet's own orientation.
bool IsMapHeadingHeld();
// The first override of track-up: the view held at a heading (degrees). The
// orientation command clears it before anything else.
struct HeadingOverrideState {
    uint8_t on;
    double heading;
};
extern HeadingOverrideState HeadingOverride;
// Set when the map shows tiles rather than a local raster map. threads: the
// tile loader sets it; the GUI thread reads and writes it.
extern std::atomic<uint8_t> TileMapFlag;

// 1 asks the map code to reload the map (the settings reader sets it).
extern int32_t MapReloadRequest;
// On while any of the airport, NDB, VOR and ILS overlays is on.
extern uint8_t NavOverlaySwitch;
// The map scale value the zoom buttons' right click doubles or halves; never
// below MinMapScaleValue. A value that is no positive number is refused.
constexpr double MinMapScaleValue = 100.0;
double GetMapScaleValue();
void SetMapScaleValue(double value);

// Map area inside the bezel, the whole virtual screen, and their centres;
// set by the display start-up from the screen layout.
extern ViewportRect MapViewportRect;
extern ViewportRect FullScreenRect;
extern ScreenPointI BezelMapCentre;
extern ScreenPointI FullScreenCentre;

void ComputePixelsPerDegree();
void GetScreenPixelsPerDegree(double* x, double* y);
// Screen offset (dx, dy) from the centre back to longitude and latitude.
void MapOffsetToLatLon(double* lon, double* lat, double dx, double dy);
// The map centre moved on by the simulator's position rates for seconds.
void PredictPosition(double* lat, double* lon, double seconds);
// Ground vector, wind and the air vector; keeps TrackAngle and AirVectorAngle.
void UpdateAirVector(int32_t* vectorLengthPx, double* speed, double* headingRad, double* airAngle);

void GetMapViewport(ViewportRect* rect);
// Click zone index (the map area) takes the layout's map rectangle with the
// bezel, else the whole virtual screen.
void SetViewportRect(int index, bool bezelShown);

// The shared accessors of the view's values.
// The map pixel of MapCenter that the frame update projected last.
void GetMapCenterPixel(float* x, float* y);
void GetPixelsPerDegree(double* lon, double* lat);
void GetPixelsPer12Metres(double* value);
// The box around the map centre that a view of width x height shows at zoom,
// widened to the whole degrees next to the centre; false (outputs untouched)
// while the map's scale is not known.
bool GetVisibleMapBounds(double* west, double* east, double* north, double* south, int width, int height,
                         float zoom);
// The box a view of width x height shows around the centre at zoom, exactly:
// bounds = west, east, north, south. Untouched while the scale is not known.
void GetViewBounds(float bounds[4], int width, int height, float zoom);

// A position as whole degrees and minutes with the hemisphere letters.
struct DegMinRecord {
    int32_t lonDegrees, latDegrees;
    float lonMinutes, latMinutes;
    char eastWest, northSouth;
};
void LatLonToDegMin(double lat, double lon, DegMinRecord* rec);

// A text rectangle of the panels (virtual units).
struct TextRect {
    float left, right, top, bottom;
};
// The loaded airport's frequencies of one kind, ten to a line ("%5.3f "
// each, then "Mhz"), the label before the first line; rect moves down a
// line height per line.
void DrawFrequencyLines(const char* label, TextRect* rect, int32_t key, float lineHeight);
