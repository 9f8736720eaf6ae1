// The linear view of the airport diagram: its own centre and scale, panned
// by the mouse independently of the moving map. GUI thread.
#pragma once

#include <cstdint>

struct AirportDiagramViewState {
    double latitude = 0;
    double longitude = 0;
    double scale = 18750;      // pixels per degree of latitude
    double sizeFactor = 1.0;
    uint8_t panning = 0;
    int32_t lastX = 0, lastY = 0;
};

extern AirportDiagramViewState AirportDiagramView;

// The scale for a diagram width in pixels; width 0 or less gives the base scale.
void SetAirportViewScale(double width);
void SetAirportViewCenter(double lat, double lon);
// Back on the loaded airport's reference point, panning off.
void ResetAirportViewCenter();
void PanByMouse(int32_t x, int32_t y);
void LatLonToAirportViewXY(double* x, double* y, double lon, double lat);
// The scale of texts over the map: the map's own, or the diagram's zoom.
double GetTextScale();
