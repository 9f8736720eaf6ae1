// Stand-ins for the local raster map packages the map types call, until they
// land: no local maps.
#include "maps/pending_tiles.h"

int GetLocalMapCount() { return 0; }  // until the real one lands
bool IsLocalMapFeatureOn() { return false; }  // until the real one lands
bool IsLocalMapPresent(int) { return false; }  // until the real one lands
const char* GetLocalMapName(int) { return ""; }  // until the real one lands
void GetLocalMapFolder(char* out, size_t size) { if (size) out[0] = 0; }  // until the real one lands
void GetGeorefFileName(char* out, size_t size) { if (size) out[0] = 0; }  // until the real one lands
void MarkLocalSheetSetComplete() {}  // until the real one lands
void TakeFoundLocalSheet() {}  // until the real one lands
void ResetLoadedLocalTiles() {}  // until the real one lands
void RequestLocalMapReload() {}  // until the real one lands
void StartLocalMapTileLoader() {}  // until the real one lands
