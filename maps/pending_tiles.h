// Neighbours the map tiles call, declared here until their own modules land
// (each owner then declares them in its header, and this block shrinks).
// Names and arguments are the ones their modules use.
#pragma once

#include "app/pending_settings.h"
#include "app/shared_accessors.h"
#include "display/map_redraw.h"
#include "maps/terrain_data.h"

#include <cstddef>
#include <cstdint>
