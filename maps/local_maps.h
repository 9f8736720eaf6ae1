// Local raster map packages: the map lists named in "content.ini", each
// map's scrambled descriptor of sheets, the sheet under the aircraft, and
// the 3 x 3 or 5 x 5 set of 800 x 800 palette tiles round it, read one tile
// per run on a loader thread and made into textures one per frame on the GUI
// thread, into the hidden one of the two local-map banks.
//
// Files: "content.ini" (key=list file), the map lists and descriptors in the
// working folder; a sheet's tiles in "<data root>/<folder>/data<L>/" named
// "%03d%03d.qrl" by column and row in eighths of a level-0 tile.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int LocalMapLevelCount = 5;
constexpr int LocalMapFullSet = 25;
constexpr int LocalMapInnerSet = 9;
// The tile step of level L (eighths of a level-0 tile) and its scale.
int LocalMapTileStep(int level);
int LocalMapLevelScale(int level);

// One sheet of a map's descriptor. Bounds in degrees; the second value is
// the sheet's rotation in degrees.
struct MapSheet {
    double north, south, east, west;
    int32_t type;
    int32_t secondValue;
    char folder[50];
    char georefFile[22];
};

// The sheets of a descriptor's text; sheets that do not read whole, or whose
// folder could leave the data root, are skipped with a log line.
std::vector<MapSheet> ParseMapDescriptor(const char* text, const char* mapName);
// A map list's text: the map file names it gives, airport lists left out.
std::vector<std::string> ParseMapList(const char* text, const char* listName);

// The number of tiles of the set now loading (9 or 25); the settings reader
// starts it at 25. threads: GUI thread and the raster loader.
extern std::atomic<int> LocalMapTileCount;

// Reads "content.ini" and the map lists (with reload, or the first time)
// into the local map table. threads: any (the links' ready step too).
void LoadMapContent(int reload);
// Writes the list of the TPC charts found below "<data root>/TPC" as the
// scrambled "tpc.bin" in the working folder (nothing without any).
void LoadTPCMaps();
// Frees every map's cached descriptor and clears its present mark.
void FreeMapBuffers();
int GetLocalMapCount();
bool IsLocalMapPresent(int index);
// The map's file name ("" out of range); the pointer stays valid until the
// next LoadMapContent.
const char* GetLocalMapName(int index);
// The tile map types take part in the map-type stepping.
bool IsLocalMapFeatureOn();

// Reads the current map's (MapType) sheets; GUI thread.
void LoadMapSheets();
const std::vector<MapSheet>& GetMapSheets();
// The chart type picked in the map-type menu (-100 none) and the test of a
// sheet's type against the type wanted.
void SetChosenChartType(int type);
bool IsWantedSheetType(int sheetType, int wanted);
// Finds the first wanted sheet of the current map (MapType) that holds the
// position; false when none does. It becomes the current sheet unless the
// current one still holds the position and lies farther inside its edges
// than the found one does (TakeFoundLocalSheet forgets that distance).
bool SelectLocalMapSheet(double latitude, double longitude);
// The map (MapType index, -1 none) the current sheet belongs to, and that
// map's name. Any thread.
int GetCurrentSheetMap();
void GetSelectedLocalMapName(char* out, size_t size);
// The current sheet: its data folder ("<data root>/<folder>/"), its
// georeference file, bounds and type; none before the first selection.
void GetLocalMapFolder(char* out, size_t size);
void GetGeorefFileName(char* out, size_t size);
bool GetCurrentSheet(MapSheet* out);
bool IsInsideCurrentSheet(double latitude, double longitude);
// A new search takes the first sheet it finds whatever was shown before;
// among the sheets it finds after that, the one nearest its edge.
void TakeFoundLocalSheet();

// The data level (ChartLevel) stepped down to one whose folder holds tiles.
int ChooseDataLevel(const char* sheetFolder, int level);
// The file name of tile (dc, dr) steps from the tile of the sheet pixel
// (x, y) at a level, or the blank tile where column or row is negative.
void LocalTileName(const char* sheetFolder, int level, int imageWidth, int x, int y, int dc, int dr, char* out,
                   size_t size);
// The offsets (in tile steps) of the set's tiles, in slot order: the
// aircraft's tile first, then the ring round it, then the outer ring.
void LocalTileOffset(int slot, int* dc, int* dr);

// The loader: moves the map centre to the aircraft (unless panning) and
// starts a run when none runs and nothing waits for upload. GUI thread.
void StartLocalMapTileLoader();
// The loaded tile's texture into the bank being filled; GUI thread, one a
// frame, after Present.
void UploadNextLocalMapTile();
bool IsLocalMapTileWaiting();
// The set is loaded; the frame begins the new bank (BeginLocalMapBank).
bool IsNewLocalMapBankDue();
void BeginLocalMapBank();
// Once a frame: begins a loaded set, a zoom step's only once the step's
// animation has reached its end; true when one was begun.
bool BeginDueLocalMapBank();
// The tiles of the set loaded so far and the set's size.
int GetLoadedLocalTileCount();
void ResetLoadedLocalTiles();
// No map table, sheets or current sheet, as at the start (tests).
void ResetLocalMaps();
void MarkLocalSheetSetComplete();
bool IsLocalSheetSetComplete();
void RequestLocalMapReload();
bool IsLocalMapLoaderBusy();
// A map load is under way: on tile maps a newly chosen map type still
// loading, on local maps the tile loader at work. The links wait for it
// before taking their first state. threads: any.
bool IsMapLoadPending();
// A set whose first tile could not be read asks for the sheet to be chosen
// again at the position; cleared by taking it.
bool TakeLocalSheetReselectRequest();
// The map shows the local raster map from now on: the tile loader is
// stopped and a grid it completed is not swapped in. GUI thread.
void EnterLocalMapMode();
// Waits for the loader and releases the textures of both banks.
void ReleaseLocalMapTextures();

// The set's progress as the commands see it: the tiles loaded so far, and
// LocalMapSetWhole once the set is whole; 0 starts the set anew.
constexpr int LocalMapSetWhole = 25;
int GetLocalMapSource();
void SetLocalMapSource(int source);
// Once a frame: the fine zoom steps become the shown set's scale (not while
// a zoom step's animation moves it).
void SettleLocalMapZoom();
// The level of the set shown (CurrentChartLevel while no set is shown); a
// level step changes CurrentChartLevel before its set is shown.
int GetShownLocalMapLevel();
// The map units a screen pixel shows: the level's scale over the fine zoom.
double GetLocalMapScale();

// Makes the sheet of the current map (MapType) that lies under the aircraft
// (the map centre while panning) the current sheet; with start, its set is
// loaded from the first tile. False when the map has no sheet there.
bool OpenLocalMapAtPosition(int start);
// After a map change: in tile-map mode with packages at hand the tile loader
// stops and the catalogue request is raised (until a map takes over or the
// tiles start again); showing a local map, the tiles of type come back and
// no local set is begun until they are shown.
void RestartMapTiles(int type);
// The map source of the whole local set (LocalMapSetWhole).
void SetDefaultMapSource();
// A map type held against the selection's stepping; none is ever held.
int QueryMapTypeOverride();
// No package took over after the stop: the tiles load again where they were.
void ResumeStoppedTiles();
// A local map takes over from the tiles: their loader stops, the grid it
// completed is not shown, and the catalogue request is raised.
void StopTilesForLocalMap();
void SetTileRestartFlag();
bool IsTileRestartPending();
// The tile grid is shown again (its swap calls it).
void ClearTileRestartFlag();

// The local maps and their sheets that hold the map centre, and the map
// types they make available; the number found.
struct MapAtPosition {
    char folder[50];
    int32_t type;
};
int FindMapsAtPosition();
std::vector<MapAtPosition> GetMapsAtPosition();
