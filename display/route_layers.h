// The last map-content layers of the whole-screen frame: the NEAREST panel
// with its switch-off after take-off, the course label of the selected
// localizer, and the flight plan's legs, waypoint symbols and labels with
// altitudes and minimum en-route altitudes. GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>

// The frame renderer's layer: dt the frame time in seconds, the client size.
void DrawRouteLayers(float dt, int width, int height);
// The NEAREST panel (the airport diagram) through the snapshot; the
// navigation layer draws it between its airports and its navaids.
void DrawNearestPanel(int width, int height);

// ---- the choices, for tests ----

// The smoothed altitude's climb rate in feet a second; fed each frame.
void UpdateRouteClimbRate(double altitude, double dt);
double GetRouteClimbRate();
void ResetRouteClimbRate();

// A waypoint's label: the ident, its planned altitude and, with MEAs shown,
// the minimum en-route altitude (RouteNoTerrain: none), both in hundreds of
// feet.
void FormatWaypointLabel(char* out, size_t size, const char* ident, int32_t altitude, int32_t mea, bool showMea);

// Where along the localizer the label slides: the map centre projected on
// the axis from the antenna to the feather tip, -0.1 .. 1.1.
double LocalizerLabelFraction(double centreLat, double centreLon, double antennaLat, double antennaLon,
                              double tipLat, double tipLon);
