// Tile fetch, cache and textures: a fetch thread's tile comes from the disk
// cache, a local chart store (offline) or a download into the cache, and
// becomes a texture of the TileTexturePool; plus the cache housekeeping
// (age and count limits, the MQ folder, the deletion log of files to remove
// at the next start or shutdown) and the release of the tile textures.
#pragma once

#include "platform/gpu/d3d11.h"

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int TileTexturePoolSize = 400;

// A decoded tile. threads: fetch threads fill free entries under the pool
// lock; the frame draws entries that displayed slots name; the GUI thread
// releases stale ones at the swap, when no fetch runs.
struct TileTexture {
    ID3D11ShaderResourceView* texture;
    int32_t width;
    int32_t height;
    int32_t tileX;
    int32_t tileY;
    int32_t zoom;
    int32_t mapType;
    uint8_t inUse;
    int32_t gridSlot;
};
extern TileTexture TileTexturePool[TileTexturePoolSize];
// Every entry free, its texture released (display start, no fetch running).
void ResetTileTexturePool();

// The log "FilesToDelete.log" in the working folder, one path a line.
inline constexpr const char DeletionLogName[] = "FilesToDelete.log";
// Fallback pictures: no tile to be had, the server had no such tile, and an
// empty overlay tile.
inline constexpr const char NoTilePicture[] = "notile.jpg";
inline constexpr const char NoPicturePicture[] = "no_picture.jpg";
inline constexpr const char TransparentPicture[] = "transparent.png";

// Run by a fetch thread for a slot of the bank being filled.
int LoadTile(const char* fileName, const char* host, int serverNumber, const char* requestPath, int slot, int tileY,
             int tileX, int zoom);
int FetchTile(const char* host, int serverNumber, const char* fileName, const char* requestPath, int slot, int tileY,
              int tileX, int zoom);
// The next entry not in use from the cursor on; -1 when the pool is full.
int FindFreeTileTexture();
// An entry in use that holds this tile, among the first `bound` entries.
int FindTileTexture(int tileX, int tileY, int zoom, int mapType, int bound);
// Marks an entry as drawn by a slot (texture reuse); false when it is gone.
bool ClaimTileTexture(int index, int gridSlot);
// Releases an entry's texture and marks it free.
void FreeTileTexture(int index);
// The path of a fallback picture: the working folder, else the root's Bitmaps.
void FallbackPicturePath(const char* name, char* out, size_t size);
// The cache path of a tile file name for a map type.
void MakeTileCachePath(const char* fileName, int type, char* out, size_t size);

// Offline mode: the catalogue came from offline_catalogue.db, so tiles with
// local chart coverage come from the chart stores. threads: GUI sets it.
void SetOfflineMode(bool offline);
bool IsOfflineMode();

// A tile file named Z_X_Y.ext made from its parent's quadrant, scaled up to
// 256 x 256 and listed for deletion; false when no parent can be had.
bool SynthesizeOverzoomTile(const char* cachePath);

struct CacheFileRecord {
    uint8_t isFolder;
    int64_t creationTime;
    char path[256];
};
void CleanTileCaches();
void CleanTypeCaches();
// In MapQuest mode with 10001 or more cached tiles, removes them (the
// service tiles only: other pictures of that folder stay); then the cache's
// own clean-up.
void PurgeMapQuestCache();
void RemoveFilesFromCache(const char* folder);
// The removal of RemoveFilesFromCache over the list ListCacheFiles made.
void RemoveListedCacheFiles();
// The folder's "*.png" then "*.jpg" entries.
void ListCacheFiles(const char* folder);
const std::vector<CacheFileRecord>& GetCacheFileList();
int CountTileFiles(const char* folder);
bool IsCacheCleanupRunning();

void AddToDeletionLog(const char* path);
// Deletes every file the log names, then the log; a missing log does nothing.
// Lines longer than 259 characters are skipped whole, never cut into a
// shorter path.
void ProcessDeletionLog();
void DeleteDeletionLog();
bool MyDeleteFile(const char* path);
void RemoveFile(const char* path);
int64_t GetTimeSeconds();

void ReleaseTileTextures();
void ReleaseAllTileResources();
