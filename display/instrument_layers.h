// The instrument layers over the map: the aircraft symbol (and, as they
// come, the terrain value box, wind rose, wind box, north arrow and alerts).
// GUI thread only.
#pragma once

#include <cstdint>

// The own aircraft at the screen centre (or on the airport diagram), turned
// to its track; not while the map is panned or a chart is shown.
void DrawAircraftSymbol(float mapAngle, float trackAngle, float headingOffset);
// The sprite slot of the AircraftIcon setting (0..5; others take 0).
int32_t AircraftSpriteSlot(int32_t icon);
