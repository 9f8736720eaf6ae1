// Terrain elevation data: the coarse world grid of the highest terrain per
// one-degree cell ("altdat.bin"), and the moving window of 5 x 3 one-degree
// elevation tiles round the aircraft that becomes the terrain textures, one
// tile loaded and one texture made per frame. GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>

struct SpriteSlot;

// One pointer per terrain cell slot to a 1200 x 1200 grid of elevation bytes,
// rows south to north; null while the slot is not loaded. Slots 0..14 are the
// window's cells, row x 5 + column from the north-west.
constexpr int kElevationGridCount = 35;
constexpr int kElevationGridSide = 1200;
constexpr size_t kElevationGridBytes = static_cast<size_t>(kElevationGridSide) * kElevationGridSide;
extern uint8_t* ElevationGrids[kElevationGridCount];

constexpr int kTerrainColumns = 5;
constexpr int kTerrainRows = 3;
constexpr int kTerrainSlots = kTerrainColumns * kTerrainRows;

// An elevation byte b stands for b x 118.08 - 1361.2 ft.
constexpr double kTerrainFeetPerStep = 118.08;
constexpr double kTerrainByteOffsetFeet = 1361.2;
double TerrainByteToFeet(uint8_t b);
// The byte of an elevation in feet, rounded and held within 0..255 (the
// converter's rule; NaN gives 0).
uint8_t TerrainFeetToByte(double feet);

// The world grid: 360 columns of longitude, 180 rows of latitude,
// column-major, one little-endian int32 each.
constexpr int kAltitudeGridColumns = 360;
constexpr int kAltitudeGridRows = 180;
constexpr int kAltitudeGridCells = kAltitudeGridColumns * kAltitudeGridRows;
// The cell of a position: column from the longitude (any value, wrapped into
// the world), row from the latitude (held within the grid). False, with both
// -1, for a position that is not a number.
bool AltitudeGridCell(double lat, double lon, int* column, int* row);
// Reads "<TerrainFolder>/Terrain/altdat.bin"; a missing or short file is
// reported once and tried again at the next query.
bool LoadAltitudeGrid();
bool IsAltitudeGridLoaded();
// The highest terrain of the position's cell in feet (0 without the grid or
// for a position that is not a number); keeps the minimum safe altitude of
// the three cells across the nearer edges for GetMsaElevation.
int32_t GetTerrainElevation(double lat, double lon);
int32_t GetMsaElevation();

// The tile of the cell whose south-west corner is (lat, lon) in whole
// degrees: its full path below the terrain folder and its file name. A
// latitude outside -90..89 or a position that is not a number names the
// blank tile.
void TerrainTileName(int lat, int lon, char* path, size_t pathSize, char* name, size_t nameSize);
// The blank tile's path.
void TerrainBlankTilePath(char* path, size_t size);
// Makes the terrain folder and one folder per latitude band; false at the
// first that cannot be made.
bool CreateTerrainFolders();
// The terrain folder exists (checked once the first time it is found).
bool IsTerrainDataAvailable();
// No altitude grid and no terrain folders found yet, as at the start (tests).
void ResetTerrainData();

// A greyscale JPEG file or image in memory into slot's grid: row y of the
// picture (bottom up) to grid row y; at most 1200 x 1200. 1 loaded, 0 not.
int LoadTerrainImageFile(const char* path, int slot);
int LoadTerrainImageMemory(const uint8_t* data, size_t size, int slot);
// One tile into slot from terrain.db, the file at path, or the web server,
// in that order: 1 loaded, 0 or less failed (-1 for a refused slot).
int LoadTerrainTile(const char* path, const char* name, int slot);

// Per frame: keeps the window round the map centre loading and swaps the
// banks once a whole set has its textures.
void UpdateTerrain(double altitude, double heightAboveGround, double viewValue, double track);
// After Present: makes the texture of the slot loaded last.
void UploadNextTerrainTile();
// A tile has been loaded and waits for its texture.
bool IsTerrainTileWaiting();
// Loads a new window from the map centre (while terrain shading is on).
void RestartTerrainUpload();
// The elevation byte at a position within the window whose north-west
// corner is (north, west); 0 outside the window or where no grid is loaded.
uint8_t GetTerrainElevationByte(double lat, double lon, double north, double west);
// The same within the displayed window.
uint8_t GetDisplayedTerrainByte(double lat, double lon);

// A set has been swapped in since the last shutdown.
bool IsTerrainActive();
// The displayed window's west and north edges.
void GetDisplayedTerrainWindow(double* west, double* north);
// The texture of tile 0..14 of the displayed bank (nullptr when not loaded).
const SpriteSlot* GetDisplayedTerrainTexture(int tile);
// What UpdateTerrain stored for terrain awareness.
float GetTerrainHeightAboveGround();
float GetTerrainTrack();
// The upload index (0..15; 15 means the set is whole).
int GetTerrainUploadIndex();

// Saves the [Terrain] settings, releases the textures and the obstacles and
// clears the window's state; the grids stay until FreeTerrainImageBuffers.
void ShutdownTerrain();
void FreeTerrainImageBuffers();
