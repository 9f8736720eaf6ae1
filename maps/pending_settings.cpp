// Stand-ins for map tile calls of the settings reader and writer, until the
// tile code lands.
#include "app/pending_settings.h"

void SetHereCredentials(const char*, const char*) {}  // until the real one lands
void SetMapQuestKey(const char*) {}  // until the real one lands
void SetTileFetchEnabled(int) {}  // until the real one lands
void InitRadarState() {}  // until the real one lands
void SetTileCacheFolder(const char*) {}  // until the real one lands
void SetRadarFolder(const char*) {}  // until the real one lands
void ResetTileChartType() {}  // until the real one lands
int LocalMapTileCount;  // until the real one lands
int TileSize;  // until the real one lands
int CurrentTileMapType;  // until the real one lands
void ReadTileServiceUrls(const char*) {}  // until the real one lands
void WriteTileServiceUrls(const char*) {}  // until the real one lands
void SetLocalMapPath(const char*) {}  // until the real one lands
void RequestMapRefresh(double, double, int, int, int) {}  // until the real one lands
void ReleaseAllTileResources() {}  // until the real one lands
void SaveAirportIndex() {}  // until the real one lands
uint8_t TerrainObstacleFlag;  // until the real one lands
