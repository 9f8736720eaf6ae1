// The airport diagram: one airport drawn in detail (pavement, runways with
// their markings and labels, helipads, taxiway names, parking positions,
// towers and the reference point), alone in the diagram view or laid over
// the moving map. Drawn inside the map snapshot. GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>

// Chooses the airport (SelectedAirport, or the nearest one for "NEAREST"),
// publishes its box and draws it; angle turns the picture with the map.
void DrawAirportDiagram(int width, int height, float angle);

// ---- the choices of a draw ----

// A label size scaled by the width in metres of the airport's first runway:
// narrow runways shrink it, very wide ones too.
double ScaleLabelForRunwayWidth(double size, double width);
// The dashes of a runway's centre line for its length vector in degrees:
// the step count n (dashes are n / 2); 0 when the runway is too short to
// have two steps.
int CentreLineSteps(double dlat, double dlon);
// Which segments of a painted line of count points carry its name: every
// one, every second or every fourth.
int PavementNameStride(int count);
// "%d°" of a runway end's magnetic heading, 1 to 360.
void FormatRunwayHeading(char* out, size_t size, double headingRad, double magVarDeg);
// Overlay mode: whether the labels are drawn, from the map's scale and the
// airport box's diagonal on the screen.
bool AreOverlayLabelsOn(double pixelsPer12Metres, bool tileMap, int wantedZoom, double boxDiagonal);
// Overlay mode: whether the airport's box is in view.
bool IsAirportBoxInView(double west, double east, double south, double north, double centreLat, double centreLon,
                        double viewWest, double viewEast, double viewSouth, double viewNorth);
