// The tile grid: two banks of tile slots around the map centre, the displayed
// one drawn by the frame and the other filled by the loader thread, which lays
// the grid out, reuses textures and starts at most NrOfThreads fetch threads.
#pragma once

#include "render/picture_slot.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

constexpr int TileGridSlotCount = 200;
constexpr int TileGridHostCount = 16;

// A host of the bank's slots with its server number.
struct TileHostEntry {
    uint32_t serverNumber;
    char host[128];
};

// One tile of a bank. threads: the loader lays the slot out; a fetch thread
// then sets texture and loaded (in that order); the frame reads the slots of
// the displayed bank only after the swap.
struct TileGridSlot {
    std::atomic<int32_t> loaded{0};
    int32_t order = 0;  // tiles still to lay out when this one was
    int32_t column = 0;
    int32_t row = 0;
    int32_t tileX = 0;
    int32_t tileY = 0;
    char fileName[128] = {};
    char requestPath[256] = {};
    int32_t hostIndex = 0;
    std::atomic<int32_t> texture{-1};  // TileTexturePool index, -1 none
};

struct TileGridBank {
    int32_t cellSize = 256;
    float tileScale = 1.0f;
    int32_t localMapSet = 0;
    int32_t level = 25;
    int32_t cols = 0;
    int32_t rows = 0;
    int32_t tileSize = 256;
    int32_t maxZoom = 11;
    // Hosts the slots name; entries below hostCount never change.
    TileHostEntry hosts[TileGridHostCount] = {};
    std::atomic<int32_t> hostCount{0};
    TileGridSlot slots[TileGridSlotCount];
    // World pixel of the grid's top-left corner.
    double originX = 0.0;
    double originY = 0.0;
};

// threads: the loader fills bank (displayed + 1) % 2 while the frame draws
// the displayed one; the GUI thread swaps them.
extern TileGridBank TileGridBanks[2];
// Both banks at their start values: no tiles, no hosts, every slot without
// a texture (display start, the loader idle).
void ResetTileGridBanks();
// The banks and every loader flag as at the start; no loader may run (tests).
void ResetTileGrid();
int GetDisplayedTileBank();
// A local raster set begins: the other bank is shown. GUI thread.
void ToggleDisplayedTileBank();

// The 800 x 800 local raster tiles of the two banks, filled by the local map
// loader on the GUI thread; the frame draws the set of the shown bank.
constexpr int LocalMapTilesPerBank = 25;
extern SpriteSlot LocalMapTexture[2][LocalMapTilesPerBank];
// Releases the 25 textures of the displayed bank's set.
void ReleaseLocalMapBankTextures();
int GetFillingTileBank();
// The host text of a slot's host index in a bank ("" when out of range).
void GetTileHost(int bank, int hostIndex, char* out, size_t size, uint32_t* serverNumber);

// The loader's view of the job being filled, read by the fetch threads.
bool IsGridOverzoomed();
// The weather overlay as the job began.
bool IsGridWeatherOn();
float GetGridTileScale();
// Local chart coverage of the job and its chart layer.
bool HasLocalChartCoverage();
int GetJobChartLayer();
// The map type of the grid the loader lays out (the selected one when its
// job began); the selected type outside a job.
int GetJobTileType();

// Starters and per-frame test.
void RequestMapRefresh(double latitude, double longitude, int viewWidth, int viewHeight, int always1);
int RefreshMapIfMoved(int left, int top, int right, int bottom, double latitude, double longitude, int mapType);
void ZoomInAndRefresh(int* started);
void ZoomOutAndRefresh(int* started);
bool RefreshAtZoom(int zoom);
int StartTileLoaderThread(int signedChartType);
void StartTileLoaderThreadPlain();

void StopTileLoader(int* out);
void StopTileLoaderIfRunning();
bool AbortTileLoader();
bool IsTileLoaderBusy();

// Set by the map and terrain loaders while they run (the wait cursor shows).
// threads: loader threads set it, the GUI thread reads it.
void SetLoadingBusy(bool busy);
bool IsLoadingBusy();
int GetTileLoaderBusy();
double GetGridLoadTime();
int GetWantedZoom();
int GetGridZoom();
// The zoom the next job lays its grid out at (the starters set it).
void SetGridZoom(int zoom);
void SetTileFetchEnabled(int enabled);
void SetTileChartType(int type);
void ResetTileChartType();
int GetTileChartType();
// The running fetch threads (the status layer shows it).
int GetRunningFetchCount();
// Sets shutdown (the loader ends for good) and clears refresh-allowed.
void SetTileShutdown();
// True between the loader's grid completion and the frame's swap.
bool IsTileGridComplete();
// A completed grid is not swapped in (a local raster map is shown instead).
// GUI thread, with the loader stopped.
void DiscardTileGrid();

// The frame's swap, once per frame on the GUI thread; publishes the shown
// grid's origin and height (GridOriginX/Y, GridPixelHeight) for the view.
void SwapTileBanks();
// While the grid shown got no tile (an online map offline), the status
// message says that the map cannot load; GUI thread, every frame.
void TellWhenTheMapCannotLoad();

// Whether the selected catalogue map holds the point and has its local store;
// layer is that map's chart layer (unchanged when none is selected).
bool IsCentreInSelectedCatalogueMap(double latitude, double longitude, int* layer);

void PixelDeltaToDegrees(double x1, double y1, double x2, double y2, double* dlon, double* dlat);
void PixelOffsetToLatLon(double dx, double dy, double* lon, double* lat, double lon0, double lat0);

// Grid size for a view (tiles of tileSize, track-up squares it), as the
// starter computes it before the loader makes the counts odd.
void ComputeGridSize(int viewWidth, int viewHeight, int tileSize, bool trackUp, int* cols, int* rows);
// The job at the grid zoom, run synchronously on the calling thread (the
// loader's body; tests and benchmarks call it directly).
bool BuildTileGrid(double latitude, double longitude, int cols, int rows);
