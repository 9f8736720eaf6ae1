// The chart view: the airport chart picture, its zoom and where its centre
// lies on the screen, fitting it to the client area, the four georeference
// edge marks the user picks on it, and the georeferenced chart drawn under
// the map so that its places lie where the map has them. GUI thread only.
#pragma once

#include "render/quads.h"

#include <cstdint>

struct SpriteSlot;

// A picked georeference edge: the image point and the edge value (the image
// x for the longitudes, the image y for the latitudes); below -10000 is not
// picked.
struct ChartEdgeMark {
    float imageX, imageY, edge;
};
constexpr float ChartEdgeNotPicked = -11000.0f;
constexpr float ChartEdgeUnset = -10000.0f;
inline bool IsChartEdgePicked(const ChartEdgeMark& mark) { return mark.edge >= ChartEdgeUnset; }
// The marks by field: 0 longitude 1, 1 latitude 1, 2 longitude 2, 3 latitude 2.
constexpr int ChartEdgeMarkCount = 4;

const SpriteSlot* GetChartSprite();
float GetChartZoom();
// The zoom of the last fit.
float GetChartFitZoom();
void GetChartOrigin(float* x, float* y);
const ChartEdgeMark* GetChartEdgeMarks();
// Text mode 1 Longitude1, 2 Latitude1, 3 Longitude2, 4 Latitude2: the mark
// at an image point.
void SetChartEdgeMark(int mode, float imageX, float imageY);
void ResetChartEdgeMarks();
// The mark of a field (0..3), null outside.
ChartEdgeMark* GetChartEdgeMark(int field);
// Picks the mark of a text mode (1..4) at a client pixel: the inverse of
// where the frame draws the chart. False for another mode or while no chart
// is loaded.
bool PickChartEdgeMark(int textMode, int clientX, int clientY);

// Loads the picture as the chart (the old one goes either way); on success
// the path becomes the AirportName setting, else AirportChart is turned off.
uint8_t LoadChartImage(char* path, int pathSize);
void ReleaseChartImage();
void ZoomChart(float factor);
// The whole picture inside the client area, centred; the pan is undone.
void FitChartToScreen();

// The georeferenced chart under the map: placed so that the map centre's
// position on the chart lies at (x, y), scaled to the map's pixels per
// degree; angle, placement and own as for the other map quads.
void DrawAirportMapImage(int x, int y, float angle, QuadPlacement placement, OwnAngle own = {});
// Where the map centre's position lies on the chart (image pixels) and the
// chart's image-to-screen scales; false without a usable georeference.
bool ChartPlacement(double latitude, double longitude, double screenPerDegreeX, double screenPerDegreeY,
                    double* imageX, double* imageY, double* scaleX, double* scaleY);
