// Tile fetch into the texture pool (cache, local chart store or download),
// over-zoomed tiles made from their parents, the cache limits, the deletion
// log and the release of the tile textures.
#include "maps/tile_cache.h"

#include "platform/log.h"
#include "app/settings.h"
#include "maps/tile_locks.h"
#include "maps/http_download.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "maps/tile_stores.h"
#include "maps/weather_radar.h"
#include "platform/files.h"
#include "platform/gpu/d3dx11.h"
#include "platform/threads.h"
#include "platform/wininet.h"
#include "render/textures.h"

#include <FreeImage.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <strings.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

TileTexture TileTexturePool[TileTexturePoolSize];

namespace {

constexpr int MaxDeletionLogWaiters = 20;
constexpr size_t MaxLoggedPath = 259;
constexpr int CacheRemovalQuota = 1000;
constexpr int ServiceCacheFileLimit = 10000;
constexpr int ServiceCachePurgeCount = 10001;

// threads: fetch threads take and fill entries, the loader looks for reusable
// ones, the GUI thread releases them. Every change of an entry's fields
// happens under PoolLock; the texture itself is made outside it.
std::mutex PoolLock;
int PoolCursor = 0;

// threads: the GUI thread sets it from the catalogue loader; fetch threads read.
std::atomic<bool> OfflineMode{false};

// threads: one clean-up at a time (GUI thread or a helper); dialogs poll it.
std::atomic<bool> CleanupRunning{false};
std::vector<CacheFileRecord> CacheFiles;

// threads: fetch threads append while others wait; at most 20 may wait.
std::mutex DeletionLogLock;
std::atomic<int> DeletionLogWaiters{0};

void ReleaseEntryTexture(TileTexture* entry)
{
    if (entry->texture)
        entry->texture->Release();
    entry->texture = nullptr;
}

// Entry i goes back to the pool; its slot in the filling bank loses it.
void DropEntry(int i, TileGridSlot* slot)
{
    {
        std::lock_guard<std::mutex> hold(PoolLock);
        ReleaseEntryTexture(&TileTexturePool[i]);
        TileTexturePool[i].inUse = 0;
        TileTexturePool[i].gridSlot = -1;
    }
    slot->texture = -1;
}

// The next free entry, reserved for this fetch so no other fetch takes it.
int ReserveFreeEntry(int slot)
{
    std::lock_guard<std::mutex> hold(PoolLock);
    for (int n = 0; n < TileTexturePoolSize; n++) {
        int i = (PoolCursor + n) % TileTexturePoolSize;
        if (!TileTexturePool[i].inUse) {
            PoolCursor = (i + 1) % TileTexturePoolSize;
            ReleaseEntryTexture(&TileTexturePool[i]);
            TileTexturePool[i].inUse = 1;
            TileTexturePool[i].gridSlot = slot;
            return i;
        }
    }
    return -1;
}

bool CacheFileExists(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

bool UsesHttps(int type)
{
    return type == MapTypeTopo || (type == MapTypeSatellite && !IsMapQuestMode()) || IsStaticMapType(type);
}

int DownloadTile(int type, const char* host, int serverNumber, const char* fileName, const char* requestPath,
                 const char* cachePath)
{
    if (UsesHttps(type)) {
        int result = DownloadTileToFile(host, requestPath, cachePath, serverNumber);
        if (Settings.DebugMode)
            WriteLogF(result ? "load file via HTTPS failed!: %s" : "file loaded via HTTPS: %s", fileName);
        return result;
    }
    if (IsOfflineMode() && HasLocalChartCoverage())
        return DownloadDone;
    return DownloadTileToFileB(host, requestPath, cachePath, serverNumber);
}

ID3D11ShaderResourceView* LoadFallback(const char* name, int* width, int* height)
{
    char path[600];
    FallbackPicturePath(name, path, sizeof path);
    return LoadTileTexture(path, width, height, -1);
}

// Offline with local coverage: the cached file, else the chart store's tile.
ID3D11ShaderResourceView* LoadOfflineTexture(const char* cachePath, const char* fileName, const char* requestPath,
                                             bool fromCache)
{
    int width = 0, height = 0;
    ID3D11ShaderResourceView* view = fromCache ? LoadTileTexture(cachePath, &width, &height, -1) : nullptr;
    if (view)
        return view;
    uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (ReadLocalChartTile(requestPath, fileName, &bytes, &size, GetJobChartLayer()) != 1) {
        WriteLogF("tile %s not in the local chart store", fileName);
        return LoadFallback(NoTilePicture, &width, &height);
    }
    uint8_t ok = 0;
    view = CreateTextureFromMemory(bytes, size, &ok);
    free(bytes);
    if (!view) {
        WriteLogF("tile %s of the local chart store is not an image", fileName);
        view = LoadFallback(NoTilePicture, &width, &height);
    }
    return view;
}

// The cache file (or fallback) as a texture; a file that does not load is
// removed so the next grid fetches it again.
ID3D11ShaderResourceView* LoadCachedTexture(const char* cachePath, const char* fileName, bool fromCache, bool isCache,
                                            int* width, int* height)
{
    ID3D11ShaderResourceView* view = LoadTileTexture(cachePath, width, height, -1);
    if (view)
        return view;
    if (isCache)
        MyDeleteFile(cachePath);
    WriteLogF(fromCache ? "file not loaded from cache!: %s" : "file not loaded to memory: %s", fileName);
    return LoadFallback(NoTilePicture, width, height);
}

void FillEntry(int i, ID3D11ShaderResourceView* view, int width, int height, int tileX, int tileY, int zoom,
               int slotIndex)
{
    std::lock_guard<std::mutex> hold(PoolLock);
    TileTexture& e = TileTexturePool[i];
    ReleaseEntryTexture(&e);
    e.texture = view;
    e.width = width;
    e.height = height;
    e.tileX = tileX;
    e.tileY = tileY;
    e.zoom = zoom;
    e.mapType = GetJobTileType();
    e.inUse = 1;
    e.gridSlot = slotIndex;
}

// The fetch proper, run under tile mutex 0.
int FetchLocked(const char* host, int serverNumber, const char* fileName, const char* requestPath, int slotIndex,
                int tileY, int tileX, int zoom)
{
    TileGridBank& bank = TileGridBanks[GetFillingTileBank()];
    TileGridSlot& slot = bank.slots[slotIndex];
    int i = ReserveFreeEntry(slotIndex);
    if (i < 0) {
        WriteLogF("no free tile texture for %s", fileName);
        slot.texture = -1;
        slot.loaded = 1;
        return DownloadFailed;
    }
    int type = GetJobTileType();
    char cachePath[600];
    MakeTileCachePath(fileName, type, cachePath, sizeof cachePath);
    bool fromCache = CacheFileExists(cachePath);
    bool isCache = true;
    if (!fromCache) {
        int result = DownloadTile(type, host, serverNumber, fileName, requestPath, cachePath);
        if (result == DownloadErrorPage) {
            FallbackPicturePath(NoPicturePicture, cachePath, sizeof cachePath);
            isCache = false;
            result = DownloadDone;
        }
        if (result == DownloadDone && type <= 3 && IsMapQuestMode()) {
            Settings.TransactionCount++;
            Settings.TransactionCacheCount++;
        }
        if (result != DownloadDone) {
            DropEntry(i, &slot);
            slot.loaded = 1;
            return result;
        }
    }
    int width = TileSize.load(), height = TileSize.load();
    ID3D11ShaderResourceView* view;
    if (IsOfflineMode() && HasLocalChartCoverage())
        view = LoadOfflineTexture(cachePath, fileName, requestPath, fromCache && isCache);
    else
        view = LoadCachedTexture(cachePath, fileName, fromCache, isCache, &width, &height);
    if (!view) {
        DropEntry(i, &slot);
        slot.loaded = 1;
        return DownloadFailed;
    }
    FillEntry(i, view, width, height, tileX, tileY, zoom, slotIndex);
    slot.texture = i;
    slot.loaded = 1;
    bank.tileScale = IsGridOverzoomed() ? GetGridTileScale() : 1.0f;
    bank.localMapSet = 0;
    return DownloadDone;
}

// Z_X_Y.ext split out of a cache path; false when the name does not start
// with a zoom (service and catalogue names begin with a letter).
bool ParseTileFileName(const char* path, char* folder, size_t folderSize, int* z, int* x, int* y, const char** ext)
{
    const char* base = strrchr(path, '/');
    base = base ? base + 1 : path;
    size_t folderLength = static_cast<size_t>(base - path);
    if (folderLength >= folderSize)
        return false;
    memcpy(folder, path, folderLength);
    folder[folderLength] = 0;
    *ext = strchr(base, '.');
    if (!*ext)
        *ext = base + strlen(base);
    return sscanf(base, "%d_%d_%d", z, x, y) == 3 && *z > 0 && *x >= 0 && *y >= 0;
}

// A parent tile of ours, refused from its header when it is no picture we
// could draw or would unpack to more than a texture holds.
FIBITMAP* LoadImageFile(const char* path)
{
    if (!ImageFileFitsTextureLimit(path))
        return nullptr;
    return FreeImage_Load(FreeImage_GetFileType(path, 0), path, 0);
}

bool SynthesizeAtDepth(const char* path, int depth)
{
    char folder[512];
    int z, x, y;
    const char* ext;
    if (depth > 32 || !ParseTileFileName(path, folder, sizeof folder, &z, &x, &y, &ext))
        return false;
    char parent[600];
    snprintf(parent, sizeof parent, "%s%d_%d_%d%s", folder, z - 1, x / 2, y / 2, ext);
    FIBITMAP* image = LoadImageFile(parent);
    if (!image && z - 1 >= 3 && SynthesizeAtDepth(parent, depth + 1))
        image = LoadImageFile(parent);
    if (!image)
        return false;
    // The quadrant of a parent of any size, half its width and height.
    unsigned half = FreeImage_GetWidth(image) / 2;
    unsigned halfHeight = FreeImage_GetHeight(image) / 2;
    int left = static_cast<int>(half) * (x % 2);
    int top = static_cast<int>(halfHeight) * (y % 2);
    FIBITMAP* quadrant = half && halfHeight ? FreeImage_Copy(image, left, top, left + static_cast<int>(half),
                                                             top + static_cast<int>(halfHeight))
                                            : nullptr;
    FIBITMAP* scaled = quadrant ? FreeImage_Rescale(quadrant, 256, 256, FILTER_BILINEAR) : nullptr;
    bool saved = scaled && FreeImage_Save(FIF_PNG, scaled, path, 0);
    if (scaled)
        FreeImage_Unload(scaled);
    if (quadrant)
        FreeImage_Unload(quadrant);
    FreeImage_Unload(image);
    if (saved)
        AddToDeletionLog(path);
    return saved;
}

bool HasExtension(const char* name, const char* ext)
{
    size_t n = strlen(name), e = strlen(ext);
    return n > e && strcasecmp(name + n - e, ext) == 0;
}

int64_t CreationTime(const char* path)
{
    struct statx sx;
    if (statx(AT_FDCWD, path, 0, STATX_BTIME | STATX_MTIME, &sx) == 0) {
        if (sx.stx_mask & STATX_BTIME)
            return sx.stx_btime.tv_sec;
        return sx.stx_mtime.tv_sec;
    }
    return 0;
}

// Appends the folder's entries ending in ext.
void AppendEntries(const char* folder, const char* ext)
{
    DIR* dir = opendir(folder);
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        if (!HasExtension(entry->d_name, ext))
            continue;
        CacheFileRecord record{};
        int n = snprintf(record.path, sizeof record.path, "%s/%s", folder, entry->d_name);
        if (n < 0 || static_cast<size_t>(n) >= sizeof record.path)
            continue;  // does not fit the record: left alone
        record.isFolder = GetFileAttributesA(record.path) == FILE_ATTRIBUTE_DIRECTORY ? 1 : 0;
        record.creationTime = CreationTime(record.path);
        CacheFiles.push_back(record);
    }
    closedir(dir);
}

// The largest zoom a tile grid is laid out at: its world of 2^zoom tiles
// stays within the grid's integer arithmetic.
constexpr long MaxServiceTileZoom = 30;

// A number at *p as "%d" writes it (no sign, no leading zero), at most
// limit; *p moves past it. False when there is none or it is larger.
bool ReadTileNumber(const char** p, long limit, long* value)
{
    const char* s = *p;
    if (!isdigit(static_cast<unsigned char>(*s)) || (*s == '0' && isdigit(static_cast<unsigned char>(s[1]))))
        return false;
    long v = 0;
    for (; isdigit(static_cast<unsigned char>(*s)); s++) {
        v = v * 10 + (*s - '0');
        if (v > limit)
            return false;
    }
    *p = s;
    *value = v;
    return true;
}

// "z_a_b": a zoom and a column and row of that zoom's world (0 .. 2^z - 1),
// the two in either order.
bool ReadZoomAndTile(const char** p)
{
    long zoom, a, b;
    if (!ReadTileNumber(p, MaxServiceTileZoom, &zoom) || *(*p)++ != '_')
        return false;
    long last = (1L << zoom) - 1;
    if (!ReadTileNumber(p, last, &a) || *(*p)++ != '_')
        return false;
    return ReadTileNumber(p, last, &b);
}

// The map type of a maker-server name, as "%d" writes it; only the types
// below 4 keep their tiles in the service folder.
bool ReadServiceMapType(const char** p)
{
    bool negative = **p == '-';
    if (negative)
        (*p)++;
    long type;
    if (!ReadTileNumber(p, 1L << 30, &type))
        return false;
    return negative || type < 4;
}

// A quadkey of 1 to 30 digits 0..3: a tile of the zoom of its length.
bool ReadQuadKey(const char** p)
{
    const char* s = *p;
    while (*s >= '0' && *s <= '3')
        s++;
    long length = s - *p;
    *p = s;
    return length >= 1 && length <= MaxServiceTileZoom;
}

// The names the service tiles are cached under, exactly as their builders
// make them: "L11_661_1080.jpg" and "R..." (static maps), "ovi_h0123.jpg"
// (quadkeys of the h, r and t maps) and "g3_11_1080_661.png" (maker maps of
// the types below 4), every zoom, column and row within the world of its
// zoom. The service folder lies in the user's own application-data folder,
// where pictures of the user's or of other programs may live too: nothing
// else there is ever taken for a tile.
bool IsServiceTileName(const char* name)
{
    const char* p = name;
    if (*p == 'L' || *p == 'R') {
        p++;
        return ReadZoomAndTile(&p) && strcmp(p, ".jpg") == 0;
    }
    if (strncmp(p, "ovi_", 4) == 0 && p[4] && strchr("hrt", p[4])) {
        p += 5;
        return ReadQuadKey(&p) && strcmp(p, ".jpg") == 0;
    }
    if (*p == 'g') {
        p++;
        if (!ReadServiceMapType(&p) || *p++ != '_' || !ReadZoomAndTile(&p))
            return false;
        return strcasecmp(p, ".png") == 0 || strcasecmp(p, ".jpg") == 0;
    }
    return false;
}

// Drops from the cache file list what is not a service tile.
void KeepServiceTilesListed()
{
    std::erase_if(CacheFiles, [](const CacheFileRecord& record) {
        const char* slash = strrchr(record.path, '/');
        return !IsServiceTileName(slash ? slash + 1 : record.path);
    });
}

void TileCacheFolderOfType(int type, char* out, size_t size)
{
    char cache[512];
    GetTileCacheFolder(cache, sizeof cache);
    FormatPath(out, size, "%s/%d", cache, type);
}

void ServiceCacheFolder(char* out, size_t size)
{
    char root[512];
    GetServiceCacheRoot(root, sizeof root);
    FormatPath(out, size, "%s/MQ", root);
}

} // namespace

void FallbackPicturePath(const char* name, char* out, size_t size)
{
    if (CacheFileExists(name)) {
        snprintf(out, size, "%s", name);
        return;
    }
    char bitmaps[600];
    snprintf(bitmaps, sizeof bitmaps, "../Bitmaps/%s", name);
    ResolvePath(bitmaps, out, size);
}

void MakeTileCachePath(const char* fileName, int type, char* out, size_t size)
{
    char cacheName[160];
    MakeCacheFileName(fileName, cacheName, sizeof cacheName);
    char folder[512];
    if (UsesServiceCache(type))
        ServiceCacheFolder(folder, sizeof folder);
    else
        TileCacheFolderOfType(type < 0 ? -type : type, folder, sizeof folder);
    snprintf(out, size, "%s/%s", folder, cacheName);
}

void SetOfflineMode(bool offline)
{
    OfflineMode = offline;
}

bool IsOfflineMode()
{
    return OfflineMode;
}

int FindFreeTileTexture()
{
    std::lock_guard<std::mutex> hold(PoolLock);
    for (int n = 0; n < TileTexturePoolSize; n++) {
        int i = (PoolCursor + n) % TileTexturePoolSize;
        if (!TileTexturePool[i].inUse) {
            PoolCursor = i;
            return i;
        }
    }
    return -1;
}

int FindTileTexture(int tileX, int tileY, int zoom, int mapType, int bound)
{
    std::lock_guard<std::mutex> hold(PoolLock);
    int limit = bound < TileTexturePoolSize ? bound : TileTexturePoolSize;
    for (int i = 0; i < limit; i++) {
        const TileTexture& e = TileTexturePool[i];
        if (e.inUse && e.texture && e.tileX == tileX && e.tileY == tileY && e.zoom == zoom && e.mapType == mapType)
            return i;
    }
    return -1;
}

bool ClaimTileTexture(int index, int gridSlot)
{
    std::lock_guard<std::mutex> hold(PoolLock);
    if (index < 0 || index >= TileTexturePoolSize || !TileTexturePool[index].texture)
        return false;
    TileTexturePool[index].inUse = 1;
    TileTexturePool[index].gridSlot = gridSlot;
    return true;
}

void FreeTileTexture(int index)
{
    if (index < 0 || index >= TileTexturePoolSize)
        return;
    std::lock_guard<std::mutex> hold(PoolLock);
    ReleaseEntryTexture(&TileTexturePool[index]);
    TileTexturePool[index].inUse = 0;
    TileTexturePool[index].gridSlot = -1;
}

int LoadTile(const char* fileName, const char* host, int serverNumber, const char* requestPath, int slot, int tileY,
             int tileX, int zoom)
{
    if (slot < 0 || slot >= TileGridSlotCount)
        return DownloadFailed;
    int result = DownloadDone;
    if (!TileGridBanks[GetFillingTileBank()].slots[slot].loaded)
        result = FetchTile(host, serverNumber, fileName, requestPath, slot, tileY, tileX, zoom);
    if (IsGridWeatherOn() && !IsRadarSuppressed())
        FetchRadarTile(slot);
    return result;
}

int FetchTile(const char* host, int serverNumber, const char* fileName, const char* requestPath, int slot, int tileY,
              int tileX, int zoom)
{
    if (!LockTileMutex(TileMutexFetch)) {
        if (Settings.DebugMode)
            WriteLogF("Access denied: %s", fileName);
        return DownloadFailed;
    }
    int result = FetchLocked(host, serverNumber, fileName, requestPath, slot, tileY, tileX, zoom);
    UnlockTileMutex(TileMutexFetch);
    return result;
}

bool SynthesizeOverzoomTile(const char* cachePath)
{
    return cachePath && SynthesizeAtDepth(cachePath, 0);
}

void ListCacheFiles(const char* folder)
{
    CacheFiles.clear();
    AppendEntries(folder, ".png");
    AppendEntries(folder, ".jpg");
}

const std::vector<CacheFileRecord>& GetCacheFileList()
{
    return CacheFiles;
}

int CountTileFiles(const char* folder)
{
    int count = 0;
    DIR* dir = opendir(folder);
    if (!dir)
        return 0;
    while (dirent* entry = readdir(dir))
        if (HasExtension(entry->d_name, ".png") || HasExtension(entry->d_name, ".jpg"))
            count++;
    closedir(dir);
    return count;
}

void RemoveFilesFromCache(const char* folder)
{
    ListCacheFiles(folder);
    RemoveListedCacheFiles();
}

void RemoveListedCacheFiles()
{
    int64_t now = GetTimeSeconds();
    int64_t lifetime = static_cast<int64_t>(Settings.CacheLifetime.load()) * 86400;
    std::vector<bool> removed(CacheFiles.size(), false);
    int count = 0;
    for (size_t i = 0; i < CacheFiles.size(); i++) {
        if (!CacheFiles[i].isFolder && now - CacheFiles[i].creationTime > lifetime) {
            removed[i] = MyDeleteFile(CacheFiles[i].path);
            count += removed[i] ? 1 : 0;
        }
    }
    for (size_t i = 0; i < CacheFiles.size() && count < CacheRemovalQuota; i++) {
        if (!CacheFiles[i].isFolder && !removed[i] && MyDeleteFile(CacheFiles[i].path))
            count++;
    }
}

void CleanTileCaches()
{
    char folder[600];
    ServiceCacheFolder(folder, sizeof folder);
    if (CountTileFiles(folder) > ServiceCacheFileLimit) {
        ListCacheFiles(folder);
        KeepServiceTilesListed();
        RemoveListedCacheFiles();
    }
    for (const CatalogueUpdate& update : CatalogueUpdates) {
        if (update.type == -1)
            continue;
        TileCacheFolderOfType(update.type, folder, sizeof folder);
        RemoveFilesFromCache(folder);
    }
}

void CleanTypeCaches()
{
    static const int types[] = {4, 5, 6, 11, 12, 30, 31, 32, 33, 0};
    Sleep(1);
    CleanupRunning = true;
    char folder[600];
    if (!IsMapQuestMode()) {
        TileCacheFolderOfType(1, folder, sizeof folder);
        RemoveFilesFromCache(folder);
    }
    for (int type : types) {
        TileCacheFolderOfType(type, folder, sizeof folder);
        RemoveFilesFromCache(folder);
    }
    CleanupRunning = false;
}

bool IsCacheCleanupRunning()
{
    return CleanupRunning;
}

void PurgeMapQuestCache()
{
    if (IsMapQuestMode() && Settings.TransactionCacheCount >= ServiceCachePurgeCount) {
        char folder[600];
        ServiceCacheFolder(folder, sizeof folder);
        ListCacheFiles(folder);
        KeepServiceTilesListed();
        for (const CacheFileRecord& record : CacheFiles)
            if (!record.isFolder)
                RemoveFile(record.path);
        Settings.TransactionCacheCount = 0;
    }
    std::lock_guard<std::mutex> hold(PoolLock);
    PoolCursor = 0;
}

void AddToDeletionLog(const char* path)
{
    if (!DeletionLogLock.try_lock()) {
        if (DeletionLogWaiters.fetch_add(1) >= MaxDeletionLogWaiters) {
            DeletionLogWaiters--;
            return;
        }
        DeletionLogLock.lock();
        DeletionLogWaiters--;
    }
    if (FILE* log = fopen(DeletionLogName, "a")) {
        fprintf(log, "%s\n", path);
        fclose(log);
    }
    DeletionLogLock.unlock();
}

void ProcessDeletionLog()
{
    FILE* log = OpenFile(DeletionLogName, "r");
    if (!log)
        return;
    char line[MaxLoggedPath + 2];
    bool skipping = false;
    while (std::fgets(line, sizeof(line), log)) {
        size_t n = std::strlen(line);
        bool newline = n > 0 && line[n - 1] == '\n';
        if (!newline && !std::feof(log)) {
            // Longer than any path of the log: neither this part nor the
            // rest of the line names a file to delete.
            skipping = true;
            continue;
        }
        if (skipping) {
            skipping = false;
            continue;
        }
        if (newline)
            line[--n] = '\0';
        if (n > 0 && line[n - 1] == '\r')
            line[--n] = '\0';
        if (n == 0 || n > MaxLoggedPath)
            continue;
        NormalizePath(line);
        DeleteFileA(line);
    }
    std::fclose(log);
    DeleteFileA(DeletionLogName);
}

void DeleteDeletionLog()
{
    DeleteFileA(DeletionLogName);
}

bool MyDeleteFile(const char* path)
{
    return path && DeleteFileA(path);
}

void RemoveFile(const char* path)
{
    MyDeleteFile(path);
}

int64_t GetTimeSeconds()
{
    return static_cast<int64_t>(time(nullptr));
}

void ReleaseTileTextures()
{
    SetTileShutdown();
    // A download in flight would hold the join up to its time-out.
    SetInternetTransfersCancelled(true);
    int word = 0;
    StopTileLoader(&word);
    SetInternetTransfersCancelled(false);
    std::lock_guard<std::mutex> hold(PoolLock);
    for (TileTexture& e : TileTexturePool) {
        ReleaseEntryTexture(&e);
        e.inUse = 0;
        e.gridSlot = -1;
    }
}

void ResetTileTexturePool()
{
    std::lock_guard<std::mutex> hold(PoolLock);
    PoolCursor = 0;
    for (TileTexture& e : TileTexturePool) {
        ReleaseEntryTexture(&e);
        e.inUse = 0;
        e.gridSlot = -1;
    }
}

void ReleaseAllTileResources()
{
    ReleaseTileTextures();
    ReleaseRadarTextures();
    CloseTileDatabases();
}
