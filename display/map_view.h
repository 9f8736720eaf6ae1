// The moving map's view: the geographic centre and the screen point it is
// drawn at, the frame's zoom and scale, panning, the viewport rectangles, and
// the scale of the map around its centre (pixels per degree).
// GUI thread unless a field says otherwise.
#pragma once

#include <atomic>
#include <cstdint>

struct MapCentreValue {
    std::atomic<double> latitude{53.636666667};
    std::atomic<double> longitude{10.001};
};
// The point drawn at ScreenCentre. threads: the GUI thread writes it; the tile
// loader thread reads it (catalogue map at the centre).
extern MapCentreValue MapCenter;

struct ScreenPointI {
    int32_t x, y;
};
struct ViewportRect {
    int32_t left, top, right, bottom;
};

// Set by a mouse drag on the map; while set the simulator does not move MapCenter.
extern uint8_t MapPanning;
// Pan offset in virtual units, added to ScreenCentre by the tile layer, and
// the point the drag started at.
extern float PanOffsetX, PanOffsetY;
extern int32_t PanStartX, PanStartY;

// The virtual-screen point MapCenter is drawn at; set at every frame start.
extern ScreenPointI ScreenCentre;
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

// Rotation of the current local map sheet in degrees (0 in tile-map mode).
extern int32_t ChartRotationDeg;
// Set when the map shows tiles rather than a local raster map. threads: the
// tile loader sets it; the GUI thread reads and writes it.
extern std::atomic<uint8_t> TileMapFlag;

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

void GetScreenCentre(float* x, float* y);
void GetMapViewport(ViewportRect* rect);
