// The NEAREST box and the APT button at the map's right edge, the current
// airport's box that tells when the aircraft has left the airport, and the
// parking-position list handed to the list helper. GUI thread only.
#pragma once

#include "navdata/nav_records.h"
#include "platform/win32.h"

#include <cstddef>
#include <cstdint>

// ---- the current airport's box ----

// The box of the airport the diagram last drew; none after ClearHighlightBox.
void SetAirportBox(const AirportRecord& airport);
void ClearHighlightBox();
// The box as west, east, south, north; false while there is none.
bool GetAirportBox(double* west, double* east, double* south, double* north);
// Whether a point lies farther outside the box than the box is large, on
// either axis; false while there is no box.
bool IsFarFromAirportBox(double lat, double lon);

// ---- NEAREST box ----

// The label column of the NEAREST box.
extern const char NearestBoxLabels[];

// The value column: identifier, elevation (feet), bearing (degrees, already
// corrected for variation), distance (nm), ground speed (knots), the two
// runway end names and the longest runway in metres.
void FormatNearestValues(char* out, size_t size, const char* icao, int32_t elevationFeet, double bearingDeg,
                         double distanceNm, double groundSpeed, const char* end1, const char* end2,
                         double runwayMetres);
// The bearing shown: radians to the airport x 57.3 less the variation,
// brought above zero.
double NearestBearingDegrees(double bearingRad, double variationDeg);

// The value column for entry 0 of the nearest list as seen from the map
// centre; false while the list is empty.
bool ComposeNearestValues(char* out, size_t size);

// The elevation in feet of an airport, from its archive entry; the loaded
// airport's own without a look-up. 0 when it cannot be had.
int32_t NearestAirportElevation(const char* icao);

// The frame renderer's layer: the NEAREST box (not on a chart, not in the
// airport diagram) and the APT button (not on a chart); both rectangles are
// kept for the click tests and emptied when their box is not drawn.
void DrawNearestAndAptBoxes();

// ---- parking positions ----

// The index of the first parking position whose "%s_%d" of name and number
// equals text; -1 when none does.
int FindParkingIndexByName(const char* text);
// "lbentries.txt" in the working folder for the list helper: title, the
// centre of the window's normal placement and one line per position.
void WriteParkingListFile(HWND window);

// The airport diagram follows the map: a hidden message asks for it anew,
// and the view stops following a second after it began to.
void RequestAirportViewRedraw();
