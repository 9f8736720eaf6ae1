// Stand-ins for shell calls of the map tiles, until their modules land.
#include "app/tile_locks.h"
#include "maps/pending_tiles.h"

#include <mutex>

static std::recursive_mutex PendingTileLocks[TileLockCount];
void CreateTileMutexes() {}  // until the real one lands
bool LockTileMutex(int index) { if (index < 0 || index >= TileLockCount) return false; PendingTileLocks[index].lock(); return true; }  // until the real one lands
void UnlockTileMutex(int index) { if (index >= 0 && index < TileLockCount) PendingTileLocks[index].unlock(); }  // until the real one lands
void SetLoadingBusy(bool) {}  // until the real one lands
bool IsStartingUp() { return true; }  // until the real one lands
void MapTypeMenuCommand(int) {}  // until the real one lands
void RestartMapTiles(int) {}  // until the real one lands
