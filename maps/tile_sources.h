// Tile sources and addressing: Web-Mercator maths between degrees, world
// pixels and tile numbers, quadkeys, the tile services' hosts ([URLS]) and one
// builder per service that names a tile's file, request path and host.
#pragma once

#include "platform/units.h"

#include <atomic>
#include <cstddef>

// The sphere radius; the tile maths takes pi as Pi8, not the full double.
constexpr double MercatorRadius = 6378137.0;
constexpr double MercatorCircumference = 2.0 * MercatorRadius * Pi8;
// atan(sinh(pi)) in degrees: the latitude of the world's top and bottom edge.
constexpr double MercatorLatitudeLimit = 85.0511287798066;

// Map types: 1 satellite, 2 road/hybrid, 3 terrain, 4 OpenStreetMap,
// 5 OpenTopoMap, 6 and above the catalogue maps of the maker's server.
constexpr int MapTypeSatellite = 1;
constexpr int MapTypeStreet = 4;
constexpr int MapTypeTopo = 5;
constexpr int MapTypeFirstCatalogue = 6;

// The tile size in pixels of the selected map type (SelectTileHost).
// threads: the GUI thread and the tile loader write it; the frame reads it.
extern std::atomic<int> TileSize;
// The map type the next grid is built for. threads: the GUI thread and the
// tile loader write it; fetch threads read it.
extern std::atomic<int> CurrentTileMapType;

double DegToRad(double degrees);
// z quadkey digits of tile (x, y) into out (at least z + 1 bytes).
void MakeQuadKey(int x, int y, int z, char* out);
double GetMetersPerPixel(int zoom, int type);
// World pixels at the zoom of the shown map: the wanted zoom (Tile), held at
// the displayed grid's max zoom for catalogue maps that have fewer levels.
double LonToTilePixelX(double lon, int type);
double LatToTilePixelY(double lat, int type);
// The same at an explicit zoom.
double LonToTilePixelXAtZoom(double lon, int zoom, int type);
double LatToTilePixelYAtZoom(double lat, int zoom, int type);
int LonToTileX(double lon, int zoom, int type);
int LatToTileY(double lat, int zoom, int type);
// World pixel (256-pixel tiles) at a zoom back to degrees.
void TilePixelToLatLon(double px, double py, int zoom, double* lat, double* lon);
// The world's width in pixels of the shown map.
double GetWorldPixelWidth();
// The zoom the world pixel functions use for a type.
int GetShownTileZoom(int type);
// The catalogue map's max zoom under the displayed grid (11 until a grid
// says otherwise). threads: the tile loader writes, any thread reads.
void SetDisplayedMaxZoom(int zoom);
int GetDisplayedMaxZoom();

// True when the type is drawn from 1024-pixel static maps.
bool IsStaticMapType(int type);
// True when tiles of the type are kept in the per-user MQ cache.
bool UsesServiceCache(int type);
// Sets TileSize for the type: 1024 for static maps, else 256.
void SelectTileHost(int type);

// The maker server's request values, made anew at each map refresh.
void MakeServerNonce();
// id and val as decimal texts (each buffer at least 8 bytes).
void GetServerNonce(char* id, char* val);
// The nonce of a clock reading, for tests and the terrain requests.
void ComputeServerNonce(int minute, int second, int millisecond, int* id, int* val);
// One step of the runtime's linear congruential generator: the new state,
// and the value (bits 16..30) through out.
unsigned NextLcgState(unsigned state, int* value);

void SetHereCredentials(const char* appId, const char* appCode);
void SetMapQuestKey(const char* key);
// No keys, credentials, service modes or URLs read, as at the start (tests).
void ResetTileSources();
bool IsHereMode();
bool IsMapQuestMode();
// The highest zoom the zoom commands may reach (20 with a service key).
int GetMaximumTileZoom();

void SetTileCacheFolder(const char* folder);
void GetTileCacheFolder(char* out, size_t size);
void SetRadarFolder(const char* folder);
void GetRadarFolder(char* out, size_t size);
// Sets the folder that holds "MQ" ("./" when unknown).
void SetServiceCacheRoot(const char* folder);
void GetServiceCacheRoot(char* out, size_t size);
// Creates the cache folder, its folder of the selected type, MQ and the
// radar folder; a folder that cannot be made is reported in a message box.
// False when any is missing afterwards.
bool CreateTileCacheFolders();

// The [URLS] keys, in the order they are written back.
enum class TileUrl {
    HereServerAerial,
    HereServerBase,
    HereDay,
    HereHybrid,
    HereTerrain,
    OpenStreetMapServer,
    Sentinel2Server,
    Sentinel2url,
    OpenTopoMapServer,
    MapQuestServer,
    MapQuestUrl,
    TopoNZServer,
    OpenAIPServer,
    OpenAIPUrl,
    LuckRainServer,
    LuckyRainUrl,
    Count
};
void ReadTileServiceUrls(const char* iniPath);
void WriteTileServiceUrls(const char* iniPath);
void GetTileServiceUrl(TileUrl key, char* out, size_t size);
const char* GetMakerServerHost();

// What a builder gives for one tile.
struct TileAddress {
    char tileName[64];
    char fileName[128];
    char requestPath[256];
    char host[128];
    int serverNumber;
};
// Builds the address of tile (x, y) at zoom z for a map type; slot picks the
// a/b/c host of the street maps. catalogueName and extension describe the
// catalogue map of types 6 and above.
void BuildTileAddress(int type, int x, int y, int z, int slot, const char* catalogueName, const char* extension,
                      TileAddress* out);
// printf into out (size bytes); false when the text had to be cut.
bool FormatPath(char* out, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
// The cache file name: the file name with its first two '/' made '_'.
void MakeCacheFileName(const char* fileName, char* out, size_t size);
