// Neighbours that the settings reader and writer call, declared here until
// their own modules land (each owner then declares them in its header, and
// this block shrinks). Names are the ones their modules use.
#pragma once

#include "app/helper_dialogs.h"
#include "app/main_window.h"
#include "app/news_check.h"
#include "app/settings.h"
#include "app/track_ring.h"
#include "app/program_root.h"
#include "app/shared_accessors.h"
#include "app/pending_spine.h"
#include "app/sim_key_events.h"
#include "app/winmain.h"
#include "display/frame_limiter.h"
#include "display/frame_renderer.h"
#include "display/map_view.h"
#include "display/sprite_table.h"
#include "platform/win32.h"
#include "render/device.h"

#include <cstdint>


// Start-up, window and frame (shell, renderer).


// Map display.
void ResetAirportViewCenter();
void GetMapCenter(double* latitude, double* longitude);


// Navigation data.
void LoadObstacles();
void LoadNavaids();
void LoadAirports();
void LoadFixes();
int GetNearestAirportCount();
void FindNearestAirports(double longitudeMin, double longitudeMax);
const char* GetNearestAirportList();
void SelectAirport(char* icao);
extern uint8_t NavDownloadOffered;
