// Neighbours the display calls, declared here until their own modules land
// (each owner then declares them in its header, and this block shrinks).
// Names and arguments are the ones their modules use.
#pragma once

#include "app/indicator_lamps.h"
#include "app/shared_accessors.h"
#include "app/status_message.h"
#include "maps/terrain_awareness.h"
#include "maps/terrain_data.h"

#include <cstdint>

struct HWND__;
struct SpriteSlot;

// The map layers of later modules, each run by the frame renderer in its place.
// Airport diagram: one airport drawn in detail (mode 0 as the NEAREST panel).
void DrawAirportDiagram(int width, int height, int mode);
// NEAREST box: whether a point lies farther outside the current airport's
// box than the box is large (false while there is no box).
bool IsFarFromAirportBox(double lat, double lon);
