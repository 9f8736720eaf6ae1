// The chart view: the airport chart picture, its zoom and where its centre
// lies on the screen, fitting it to the client area, the four georeference
// edge marks the user picks on it, and the georeferenced chart drawn under
// the map so that its places lie where the map has them. GUI thread only.
#pragma once

#include <cstdint>

struct SpriteSlot;

// A picked georeference edge: the image point and the edge value (the image
// x for the longitudes, the image y for the latitudes); -10000 or less is
// not picked.
struct ChartEdgeMark {
    float imageX, imageY, edge;
};
constexpr float ChartEdgeNotPicked = -11000.0f;

const SpriteSlot* GetChartSprite();
float GetChartZoom();
void GetChartOrigin(float* x, float* y);
const ChartEdgeMark* GetChartEdgeMarks();
// Text mode 1 Longitude1, 2 Latitude1, 3 Longitude2, 4 Latitude2: the mark
// at an image point.
void SetChartEdgeMark(int mode, float imageX, float imageY);
void ResetChartEdgeMarks();

// Loads the picture as the chart (the old one goes either way); on success
// the path becomes the AirportName setting, else AirportChart is turned off.
uint8_t LoadChartImage(char* path, int pathSize);
void ReleaseChartImage();
void ZoomChart(float factor);
// The whole picture inside the client area, centred; the pan is undone.
void FitChartToScreen();

// The georeferenced chart under the map: placed so that the map centre's
// position on the chart lies at (x, y), scaled to the map's pixels per
// degree; angle, ownAngle and the flags as for the other map quads.
void DrawAirportMapImage(int x, int y, float angle, uint8_t placed, float ownAngle, uint8_t mapPixels);
// Where the map centre's position lies on the chart (image pixels) and the
// chart's image-to-screen scales; false without a usable georeference.
bool ChartPlacement(double latitude, double longitude, double screenPerDegreeX, double screenPerDegreeY,
                    double* imageX, double* imageY, double* scaleX, double* scaleY);
