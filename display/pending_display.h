// Neighbours the display calls, declared here until their own modules land
// (each owner then declares them in its header, and this block shrinks).
// Names and arguments are the ones their modules use.
#pragma once

#include "app/indicator_lamps.h"
#include "app/shared_accessors.h"
#include "app/status_message.h"

#include <cstdint>

struct HWND__;
struct SpriteSlot;


// Terrain: the elevation image buffers go with the display.
void FreeTerrainImageBuffers();
// The map layers of later modules, each run by the frame renderer in its place.
// Airport diagram: one airport drawn in detail (mode 0 as the NEAREST panel).
void DrawAirportDiagram(int width, int height, int mode);
// NEAREST box: whether a point lies farther outside the current airport's
// box than the box is large (false while there is no box).
bool IsFarFromAirportBox(double lat, double lon);
// Terrain data: set when the terrain data folders were found.
bool IsTerrainDataAvailable();

// Terrain awareness: the [Terrain] Elevation switch, the terrain pass of a
// frame and the approach callouts.
bool IsTerrainElevationOn();
void RunGpwsAndDrawTerrain(int centreX, int centreY, float a, uint8_t b, float c, uint8_t d, uint8_t drawGate1,
                           uint8_t drawGate2, float zoomFactor);
void UpdateAltitudeCallouts();
