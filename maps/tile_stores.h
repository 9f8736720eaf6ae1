// The SQLite side of the map tiles: the local chart-tile stores (table
// "tiles"), terrain.db, and the map catalogue with offline_catalogue.db, which
// keeps the server's maps between runs and lists the user's local maps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

// Chart-tile stores are kept open per slot 0..52.
constexpr int ChartStoreSlotCount = 53;

// One map of the catalogue (tables "maps" and "localmaps").
struct MapCatalogueRecord {
    int32_t lfd;            // the map's number on the server
    char name[20];
    int32_t numZoomLevels;  // the map's maximum zoom
    int32_t lon_min;        // bounds in whole degrees
    int32_t lat_max;
    int32_t lon_max;
    int32_t lat_min;
    int32_t type;           // map type (6 and above)
    int32_t blocal;         // its local chart store is available
    int32_t mapindex;       // chart layer 1..13 of that store
    char extension[8];
    int32_t airac;          // the map's edition
};

// A server edition of a map; type -1 marks one that is not newer than ours.
struct CatalogueUpdate {
    int32_t lfd;
    int32_t type;
    int32_t airac;
};

// The server's editions of the catalogue's maps. GUI thread.
extern std::vector<CatalogueUpdate> CatalogueUpdates;

// The catalogue with its selected map, held under a lock for as long as the
// access object lives. threads: the GUI thread fills it; the tile loader and
// fetch threads read it and switch maps off.
class CatalogueAccess {
public:
    CatalogueAccess();
    std::vector<MapCatalogueRecord>& Records();
    // The selected catalogue map (ServermapIndex), -1 none.
    int& SelectedIndex();

private:
    std::unique_lock<std::mutex> hold_;
};
// Copies of single values, each taken under the lock.
int GetCatalogueCount();
bool GetCatalogueRecord(int index, MapCatalogueRecord* out);
int GetSelectedCatalogueIndex();
void SetSelectedCatalogueIndex(int index);

void SetLocalMapPath(const char* path);
int GetLocalMapPathLength();
void GetLocalMapPath(char* out, size_t size);

// 1 with the tile's bytes (malloc; the caller frees them), -1 when the store
// cannot be opened or has no such tile. Slots 0..9 are queried by zoom,
// column and row, slots 10..52 (one store per zoom) by column and row.
int OpenAndQueryZoomColumnRow(int slot, const char* fileName, int zoom, int column, int row, uint8_t** data,
                              uint32_t* size);
int OpenAndQueryColumnRow(int slot, const char* fileName, int zoom, int column, int row, uint8_t** data,
                          uint32_t* size);
// The queries on an open store; SQLite's result code.
struct sqlite3;
int QueryTileByZoomColumnRow(sqlite3* db, int zoom, int column, int row, uint8_t** data, uint32_t* size);
int QueryTileByColumnRow(sqlite3* db, int column, int row, uint8_t** data, uint32_t* size);
// A terrain tile of table "terrain_<suffix>" (e.g. N47) from
// ../Terrain/terrain.db: 1 with the bytes, else -1.
int ReadTerrainTileFromDb(const char* suffix, int longitude, uint8_t** data, uint32_t* size);
int QueryTerrainTile(sqlite3* db, const char* suffix, int longitude, uint8_t** data, uint32_t* size);
// Closes the chart stores (terrain.db stays open).
void CloseTileDatabases();
// Closes terrain.db too (tests).
void CloseTerrainDatabase();

// offline_catalogue.db in the working folder.
void RebuildMapCatalogue(const std::vector<MapCatalogueRecord>& records);
// False when a kept catalogue cannot be read (the list is left as it was); a
// missing file is an empty catalogue.
bool LoadMapCatalogue(std::vector<MapCatalogueRecord>* records);
bool CompareCatalogueAirac(std::vector<CatalogueUpdate>* updates);
void LoadLocalMaps(std::vector<MapCatalogueRecord>* records);
// Writes the chart layer of the map numbered lfd.
void SetMapIndex(int lfd, int mapindex);

// numZoomLevels of the first map of the type that holds the map centre
// strictly inside (17 for "topo_nz"), which also becomes the current map;
// else the last answer (11 at first).
int GetMapMaxZoomAtCenter(int type);
// The same for an explicit centre.
int GetMapMaxZoomAt(int type, double latitude, double longitude);
// The current catalogue map's name and image extension.
void GetCurrentMapName(char* out, size_t size);
void GetCurrentMapExtension(char* out, size_t size);
void SetCurrentMapExtension(const char* extension);
void SetCurrentMap(const char* name, const char* extension);
// An empty catalogue and no current map, as at the start (tests).
void ResetMapCatalogue();
// Copies a text into a record field, cut to fit.
void CopyCatalogueText(char* field, size_t size, const char* text);
