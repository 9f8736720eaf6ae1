// Neighbours the command handlers call, declared here until their own
// modules land (each owner then declares them in its header, and this block
// shrinks). Names and arguments are the ones their modules use.
#pragma once

#include "app/file_dialogs.h"
#include "app/helper_dialogs.h"
#include "app/pending_settings.h"
#include "app/pending_spine.h"
#include "display/pending_display.h"
#include "maps/local_maps.h"
#include "maps/terrain_awareness.h"
#include "maps/terrain_data.h"
#include "maps/pending_tiles.h"
#include "navdata/flight_plan_edit.h"
#include "navdata/foreign_calls.h"
#include "navdata/route_navigation.h"
#include "platform/win32.h"

#include <cstddef>
#include <cstdint>

// Map display: the highlight box, the airport view, the info boxes and the
// parking list.
void ClearHighlightBox();
void RequestAirportViewRedraw();
void ClearInfoModes(bool keepFirst);
void WriteParkingListFile(HWND window);
int FindParkingIndexByName(const char* name);

