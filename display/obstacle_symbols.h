// The obstacles of obsdat.bin on the map: those that reach within 1000 ft
// below the aircraft (or above it), one per 32-pixel cell, red within 300 ft,
// with the top's elevation near the screen centre. GUI thread only.
#pragma once

#include "navdata/nav_records.h"

#include <cstdint>

// The navigation layer's call: the view's size in map pixels and the angle
// the map is turned by.
void DrawObstacles(int width, int height, float angle);

// The symbol of one obstacle for an aircraft altitude in feet: its sprite
// slot and colour; shown false when it stays well below the aircraft.
struct ObstacleSymbol {
    bool shown;
    int slot;
    uint32_t colour;
};
ObstacleSymbol ChooseObstacleSymbol(const ObstacleRecord& obstacle, double aircraftAltitude);
