// The information box across the top of the airport diagram: identifiers,
// names, reference point, variation, elevation and, on request, the runway
// list or one class of frequencies. The snapshot draws it with the cached
// airport picture. GUI thread only.
#pragma once

#include "navdata/airport_details.h"

#include <cstddef>
#include <cstdint>

// Draws the box while the airport diagram is shown; nothing otherwise.
void DrawAirportInfoBox();

// The info line chosen with SelectedCOM goes off (keepFirst: except the
// first class while it is on).
void ClearInfoModes(bool keepFirst);

// ---- what the box writes ----

// The box's height: 48, and 8 units a runway beyond two with the runway list.
float InfoBoxHeight(int runwayCount, int selectedCom);
// The surface word of a runway surface code (1-based) for a source; "" for
// a code outside the source's table.
const char* RunwaySurfaceWord(int code, int navDatabase);
// "E %3d° %2.1f'  N %2d° %2.1f'" and its mirror images.
void FormatReferencePoint(char* out, size_t size, double lat, double lon);
// One end of a runway in the runway list, in feet or (metric) metres.
void FormatRunwayEnd(char* out, size_t size, const RunwayRecord& r, int end, bool metric, int navDatabase);
// The class name and frequency code of a SelectedCOM value; false for the
// values without a class (0 and the runway list).
bool FrequencyClassOf(int selectedCom, const char** name, int32_t* code);
