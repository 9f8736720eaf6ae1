// Map types and the server map catalogue: which catalogue map covers the map
// position, the catalogue fetched from the maker's server (or read back from
// offline_catalogue.db), the maps that have a local tile store, and the flags
// the map-type commands share with the tile loader.
#pragma once

#include "maps/tile_stores.h"

#include <vector>

// Selects and steps MapType: sound plays sound 2 before a change, direction
// >= 1 steps forwards, cycle steps once before the search.
void SelectMapType(bool sound, int direction, bool cycle);
// MapType stepped once: past the last local map forwards it wraps to the
// preferred chart type, below that backwards to the last local map.
int StepMapType(int mapType, int direction, int localMapCount, int preferredChartType);
// Link threads: re-selects the current map after the map list changed.
void ReselectCurrentMap();
// While positive, SelectMapType acts on every 36th call only; a map found
// at the position (by the selection or the map-type keys) resets it.
int GetNoMapCounter();
void ResetNoMapCounter();

// The catalogue request: raised when a map change stops the tile loader so
// that a local map (or a catalogue map) may take over from the tiles;
// cleared once one has, or when the tiles are started again. While it is
// raised the frame starts no tile grid of its own. threads: GUI thread and
// tile loader.
bool IsCatalogueRequestPending();
void SetCatalogueRequest(bool pending);
void ClearCatalogueRequest();
// A tile-map zoom is ending. threads: GUI thread and tile loader.
bool IsTileZoomEnding();
void SetTileZoomEnding(bool ending);

// The map types with a catalogue map at the map centre.
void MarkMapTypeAvailable(int type);
bool IsMapTypeAvailable(int type);
// Every map type unavailable again (before the maps at a position are listed).
void ClearMapTypeAvailability();
void FindMapTypesAtPosition();
// Selects the first map of the type that holds the manual position, else the
// map centre, strictly inside its bounds; false (nothing changed) when none.
bool SelectServerMapAtPosition(int type);
bool SelectServerMapAt(int type, double latitude, double longitude);
// Marks the maps of the type named name as having the local store storeId.
bool MatchCatalogueStore(const char* name, int storeId, int type);
bool ApplyCatalogueStores();
// The first map with that store loses it (its store could not be opened).
void DisableCatalogueMap(int storeId);

// Fetches the catalogue (only while the program starts), else reads the
// offline catalogue; returns the number of maps (0 for an empty or not yet
// kept catalogue), or -1 when a kept catalogue cannot be read.
int LoadTileCatalog();
// The same with the start-up flag given.
int LoadCatalogue(bool starting);
// The server's answers: the list of ids ("12;15;#") and one map's entry
// ("name;zoom;west;north;east;south;type;ext;airac").
void ParseCatalogueList(const char* answer, std::vector<int>* ids);
bool ParseCatalogueEntry(const char* answer, MapCatalogueRecord* record);

// GUI thread: copies the catalogue selection and the map's extension into
// the settings ServermapIndex and BitmapExtension.
void SyncCatalogueSelection();
