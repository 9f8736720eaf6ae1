// Tile sources and addressing: Web-Mercator maths, quadkeys, the [URLS] hosts,
// the service credentials and the per-service builders of tile addresses.
#include "maps/tile_sources.h"

#include "app/language.h"
#include "platform/log.h"
#include "app/settings.h"
#include "platform/files.h"
#include "platform/ini_sections.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "platform/threads.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

std::atomic<int> TileSize{256};
std::atomic<int> CurrentTileMapType{1};

namespace {

struct UrlKey {
    const char* key;
    const char* defaultValue;
};

// Built-in defaults: the public hosts of the services and the maker's server.
constexpr UrlKey UrlKeys[] = {
    {"HereServerAerial", "aerial.maps.ls.hereapi.com"},
    {"HereServerBase", "base.maps.ls.hereapi.com"},
    {"HereDay", "/maptile/2.1/maptile/newest/normal.day"},
    {"HereHybrid", "/maptile/2.1/maptile/newest/hybrid.day"},
    {"HereTerrain", "/maptile/2.1/maptile/newest/terrain.day"},
    {"OpenStreetMapServer", "tile.openstreetmap.org"},
    {"Sentinel2Server", "tiles.maps.eox.at"},
    {"Sentinel2url", "/wmts/1.0.0/s2cloudless-2020_3857/default/GoogleMapsCompatible"},
    {"OpenTopoMapServer", "tile.opentopomap.org"},
    {"MapQuestServer", "www.mapquestapi.com"},
    {"MapQuestUrl", "/staticmap/v5/map"},
    {"TopoNZServer", "tiles-a.data-cdn.linz.govt.nz"},
    {"OpenAIPServer", "1.tile.maps.openaip.net"},
    {"OpenAIPUrl", "/geowebcache/service/tms/1.0.0/openaip_basemap@EPSG%3A900913@png/"},
    {"LuckRainServer", "tilecache.rainviewer.com"},
    {"LuckyRainUrl", "v2/radar/"},
};
static_assert(sizeof UrlKeys / sizeof UrlKeys[0] == static_cast<size_t>(TileUrl::Count));

constexpr size_t UrlTextSize = 256;
constexpr char MakerServerHost[] = "maps.tabrix-software.example";

// threads: the GUI thread writes the hosts, keys and folders (settings
// reader); the tile loader and fetch threads read them. All under this lock.
std::mutex SourceLock;
char Urls[static_cast<size_t>(TileUrl::Count)][UrlTextSize];
bool UrlsRead = false;
char HereAppId[128];
char HereAppCode[128];
char MapQuestKeyText[128];
char TileCacheFolder[512];
char RadarFolder[512];
char ServiceCacheRoot[512] = "./";

// threads: set by the GUI thread, read by the loader and fetch threads.
std::atomic<bool> HereMode{false};
std::atomic<bool> MapQuestMode{false};
std::atomic<int> MaximumTileZoom{19};
std::atomic<int> DisplayedMaxZoom{11};
// threads: the GUI thread makes the nonce, the loader and terrain read it.
std::atomic<int> NonceId{0};
std::atomic<int> NonceVal{0};

void CopyText(char* out, size_t size, const char* text)
{
    if (size)
        snprintf(out, size, "%s", text ? text : "");
}

void CopyUnderLock(char* out, size_t size, const char* text)
{
    std::lock_guard<std::mutex> hold(SourceLock);
    CopyText(out, size, text);
}

void EnsureUrlDefaults()
{
    if (UrlsRead)
        return;
    for (size_t i = 0; i < static_cast<size_t>(TileUrl::Count); i++)
        CopyText(Urls[i], UrlTextSize, UrlKeys[i].defaultValue);
    UrlsRead = true;
}

// Makes the folder with the parents it lacks: the service cache root is a
// per-user data folder that a fresh account may not have yet.
bool CreateFolderPath(const char* path)
{
    char partial[512];
    size_t length = strlen(path);
    if (length == 0 || length >= sizeof partial)
        return false;
    for (size_t i = 1; i <= length; i++) {
        if (i < length && path[i] != '/' && path[i] != '\\')
            continue;
        memcpy(partial, path, i);
        partial[i] = 0;
        if (GetFileAttributesA(partial) == INVALID_FILE_ATTRIBUTES && !CreateDirectoryA(partial, nullptr) &&
            GetFileAttributesA(partial) == INVALID_FILE_ATTRIBUTES)
            return false;
    }
    return true;
}

// One folder: made when missing; a failure is shown to the user.
bool EnsureFolder(const char* path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return true;
    if (CreateFolderPath(path))
        return true;
    const char* text = GetErrorText(8);
    WriteLogF("cache folder %s cannot be created", path);
    MessageBoxA(nullptr, text ? text : "", "Zorizeruverovu", MB_ICONINFORMATION | MB_TASKMODAL | MB_TOPMOST);
    return false;
}

int ClampZoomForType(int zoom, int type)
{
    int maxZoom = DisplayedMaxZoom.load();
    if (type >= MapTypeFirstCatalogue && zoom > maxZoom)
        return maxZoom;
    return zoom;
}

// tan + sec of the latitude, the Mercator row without its scale.
// The map ends at the latitude whose row is the world's edge; a position
// beyond it (a pole, a value that is not a number) lies on that edge, so that
// rows and pixels stay finite and inside the world.
double ClampToMercator(double lat)
{
    if (std::isnan(lat))
        return 0.0;
    return std::clamp(lat, -MercatorLatitudeLimit, MercatorLatitudeLimit);
}

double MercatorRow(double lat)
{
    double phi = DegToRad(ClampToMercator(lat));
    return (1.0 - std::log(std::tan(phi) + 1.0 / std::cos(phi)) / Pi8) / 2.0;
}

int WrapTile(int value, int z)
{
    int n = 1 << z;
    value %= n;
    return value < 0 ? value + n : value;
}

void StreetMapAddress(int type, int x, int y, int z, int slot, TileAddress* out)
{
    snprintf(out->tileName, sizeof out->tileName, "%d/%d/%d", z, x, y);
    FormatPath(out->fileName, sizeof out->fileName, "%s.png", out->tileName);
    char server[UrlTextSize];
    GetTileServiceUrl(type == MapTypeTopo ? TileUrl::OpenTopoMapServer : TileUrl::OpenStreetMapServer, server,
                      sizeof server);
    int letter = 'a' + (slot < 0 ? -slot : slot) % 3;
    FormatPath(out->host, sizeof out->host, "%c.%s", letter, server);
    out->serverNumber = letter - 'a';
    snprintf(out->requestPath, sizeof out->requestPath, "/%s.png ", out->tileName);
}

void SentinelAddress(int x, int y, int z, TileAddress* out)
{
    snprintf(out->tileName, sizeof out->tileName, "%d/%d/%d", z, y, x);
    FormatPath(out->fileName, sizeof out->fileName, "%s.jpg", out->tileName);
    char url[UrlTextSize];
    GetTileServiceUrl(TileUrl::Sentinel2Server, out->host, sizeof out->host);
    GetTileServiceUrl(TileUrl::Sentinel2url, url, sizeof url);
    out->serverNumber = 0;
    FormatPath(out->requestPath, sizeof out->requestPath, "%s/%s.jpg", url, out->tileName);
}

void StaticMapAddress(int type, int x, int y, int z, TileAddress* out)
{
    snprintf(out->tileName, sizeof out->tileName, "%d/%d/%d", z, y, x);
    FormatPath(out->fileName, sizeof out->fileName, "%c%s.jpg", type == 1 ? 'L' : 'R', out->tileName);
    GetTileServiceUrl(TileUrl::MapQuestServer, out->host, sizeof out->host);
    out->serverNumber = 0;
    char url[UrlTextSize];
    char key[128];
    GetTileServiceUrl(TileUrl::MapQuestUrl, url, sizeof url);
    CopyUnderLock(key, sizeof key, MapQuestKeyText);
    // The centre pixel of a 1024-pixel static map in the 256-pixel world.
    double lat, lon;
    TilePixelToLatLon(x * 1024.0 + 512.0, y * 1024.0 + 512.0, z, &lat, &lon);
    FormatPath(out->requestPath, sizeof out->requestPath, "%s?key=%s&type=%s&center=%lf,%lf&zoom=%d&size=1024,1024 ",
             url, key, type == 1 ? "sat" : "hyb", lat, lon, z);
}

void HereAddress(int type, int x, int y, int z, TileAddress* out)
{
    MakeQuadKey(x, y, z, out->tileName);
    FormatPath(out->fileName, sizeof out->fileName, "ovi_%c%s.%s", type == 1 ? 'h' : type == 2 ? 'r' : 't',
             out->tileName, "jpg");
    int n = (x + y) % 4 + 1;
    if (n < 1 || n > 4)
        n = 1;
    char server[UrlTextSize];
    char path[UrlTextSize];
    GetTileServiceUrl(type == 2 ? TileUrl::HereServerBase : TileUrl::HereServerAerial, server, sizeof server);
    GetTileServiceUrl(type == 1 ? TileUrl::HereHybrid : type == 2 ? TileUrl::HereDay : TileUrl::HereTerrain, path,
                      sizeof path);
    FormatPath(out->host, sizeof out->host, "%d.%s", n, server);
    out->serverNumber = n - 1;
    char appId[128];
    char appCode[128];
    CopyUnderLock(appId, sizeof appId, HereAppId);
    CopyUnderLock(appCode, sizeof appCode, HereAppCode);
    FormatPath(out->requestPath, sizeof out->requestPath, "%s/%d/%d/%d/%d/jpg?app_id=%s&app_code=%s ", path, z, x, y,
             TileSize.load(), appId, appCode);
}

void MakerAddress(int type, int x, int y, int z, const char* name, const char* extension, TileAddress* out)
{
    int wx = WrapTile(x, z);
    int wy = WrapTile(y, z);
    snprintf(out->tileName, sizeof out->tileName, "%d/%d/%d", z, wx, wy);
    FormatPath(out->fileName, sizeof out->fileName, "g%d_%s.%s", type, out->tileName, extension);
    out->serverNumber = 7;
    if (strcmp(name, "topo_nz") == 0) {
        GetTileServiceUrl(TileUrl::TopoNZServer, out->host, sizeof out->host);
        snprintf(out->requestPath, sizeof out->requestPath, "/%d/%d/%d.png ", z, wx, (1 << z) - 1 - wy);
        return;
    }
    CopyText(out->host, sizeof out->host, MakerServerHost);
    char id[8];
    char val[8];
    GetServerNonce(id, val);
    FormatPath(out->requestPath, sizeof out->requestPath, "/tiles/%s.php?tilename=%s.%s&id=%s&val=%s ", name,
             out->tileName, extension, id, val);
}

} // namespace

double DegToRad(double degrees)
{
    return degrees * Pi8 / 180.0;
}

void MakeQuadKey(int x, int y, int z, char* out)
{
    int n = 0;
    for (int i = z; i >= 1; i--) {
        int bit = 1 << (i - 1);
        out[n++] = static_cast<char>('0' + ((x & bit) ? 1 : 0) + ((y & bit) ? 2 : 0));
    }
    out[n] = 0;
}

bool IsStaticMapType(int type)
{
    return MapQuestMode && !HereMode && (type == 1 || type == 2);
}

bool UsesServiceCache(int type)
{
    return type < 4 && (HereMode || MapQuestMode);
}

double GetMetersPerPixel(int zoom, int type)
{
    double tile = TileSize.load();
    if (IsStaticMapType(type))
        return MercatorCircumference / std::ldexp(tile, zoom - 2);
    return MercatorCircumference / std::ldexp(tile, zoom);
}

double LonToTilePixelXAtZoom(double lon, int zoom, int type)
{
    return (MercatorCircumference / 2.0 + DegToRad(lon) * MercatorRadius) / GetMetersPerPixel(zoom, type);
}

double LatToTilePixelYAtZoom(double lat, int zoom, int type)
{
    double s = std::sin(DegToRad(lat));
    if (s >= 1.0)
        return 0.0;
    if (s <= -1.0)
        return std::ldexp(static_cast<double>(TileSize.load()), zoom);
    s = std::sin(DegToRad(ClampToMercator(lat)));
    double y = MercatorCircumference / 2.0 - MercatorRadius / 2.0 * std::log((1.0 + s) / (1.0 - s));
    return y / GetMetersPerPixel(zoom, type) + 0.5;
}

int GetShownTileZoom(int type)
{
    return ClampZoomForType(Settings.Tile.load(), type);
}

double LonToTilePixelX(double lon, int type)
{
    return LonToTilePixelXAtZoom(lon, GetShownTileZoom(type), type);
}

double LatToTilePixelY(double lat, int type)
{
    return LatToTilePixelYAtZoom(lat, GetShownTileZoom(type), type);
}

int LonToTileX(double lon, int zoom, int type)
{
    zoom = ClampZoomForType(zoom, type);
    if (IsStaticMapType(type))
        return static_cast<int>(LonToTilePixelXAtZoom(lon, zoom, type) / TileSize.load());
    return static_cast<int>(std::floor((lon + 180.0) / 360.0 * std::ldexp(1.0, zoom)));
}

int LatToTileY(double lat, int zoom, int type)
{
    zoom = ClampZoomForType(zoom, type);
    if (IsStaticMapType(type))
        return static_cast<int>(std::floor(LatToTilePixelYAtZoom(lat, zoom, type) / TileSize.load()));
    return static_cast<int>(std::floor(MercatorRow(lat) * std::ldexp(1.0, zoom)));
}

void TilePixelToLatLon(double px, double py, int zoom, double* lat, double* lon)
{
    double size = std::ldexp(256.0, zoom);
    *lon = 360.0 * (px / size - 0.5);
    *lat = 90.0 - std::atan(std::exp(-(0.5 - py / size) * 2.0 * Pi8)) * 360.0 / Pi8;
}

double GetWorldPixelWidth()
{
    return LonToTilePixelX(180.0, Settings.SatMode.load());
}

void SetDisplayedMaxZoom(int zoom)
{
    DisplayedMaxZoom = zoom;
}

int GetDisplayedMaxZoom()
{
    return DisplayedMaxZoom.load();
}

void SelectTileHost(int type)
{
    TileSize = IsStaticMapType(type) ? 1024 : 256;
}

unsigned NextLcgState(unsigned state, int* value)
{
    state = state * 214013u + 2531011u;
    if (value)
        *value = static_cast<int>((state >> 16) & 0x7FFFu);
    return state;
}

void ComputeServerNonce(int minute, int second, int millisecond, int* id, int* val)
{
    *id = ((minute * 100 + second) * 1000 + millisecond) % 32000;
    NextLcgState(static_cast<unsigned>(*id), val);
}

void MakeServerNonce()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    int id, val;
    ComputeServerNonce(now.wMinute, now.wSecond, now.wMilliseconds, &id, &val);
    NonceId = id;
    NonceVal = val;
}

void GetServerNonce(char* id, char* val)
{
    snprintf(id, 8, "%d", NonceId.load());
    snprintf(val, 8, "%d", NonceVal.load());
}

void SetHereCredentials(const char* appId, const char* appCode)
{
    {
        std::lock_guard<std::mutex> hold(SourceLock);
        CopyText(HereAppId, sizeof HereAppId, appId);
        CopyText(HereAppCode, sizeof HereAppCode, appCode);
    }
    HereMode = true;
    MaximumTileZoom = 20;
}

void SetMapQuestKey(const char* key)
{
    CopyUnderLock(MapQuestKeyText, sizeof MapQuestKeyText, key);
    MapQuestMode = true;
    MaximumTileZoom = 20;
}

bool IsHereMode()
{
    return HereMode;
}

bool IsMapQuestMode()
{
    return MapQuestMode;
}

int GetMaximumTileZoom()
{
    return MaximumTileZoom;
}

// Stores a folder setting under the source lock, with separators normalised.
static void SetFolder(char* out, size_t size, const char* folder)
{
    std::lock_guard<std::mutex> hold(SourceLock);
    CopyText(out, size, folder);
    NormalizePath(out);
}

void SetTileCacheFolder(const char* folder)
{
    SetFolder(TileCacheFolder, sizeof TileCacheFolder, folder);
}

void GetTileCacheFolder(char* out, size_t size)
{
    CopyUnderLock(out, size, TileCacheFolder);
}

void SetRadarFolder(const char* folder)
{
    SetFolder(RadarFolder, sizeof RadarFolder, folder);
}

void GetRadarFolder(char* out, size_t size)
{
    CopyUnderLock(out, size, RadarFolder);
}

void SetServiceCacheRoot(const char* folder)
{
    SetFolder(ServiceCacheRoot, sizeof ServiceCacheRoot, folder && folder[0] ? folder : "./");
}

void GetServiceCacheRoot(char* out, size_t size)
{
    CopyUnderLock(out, size, ServiceCacheRoot);
}

bool CreateTileCacheFolders()
{
    char cache[512], radar[512], root[512], path[600];
    GetTileCacheFolder(cache, sizeof cache);
    GetRadarFolder(radar, sizeof radar);
    GetServiceCacheRoot(root, sizeof root);
    bool ok = EnsureFolder(cache);
    FormatPath(path, sizeof path, "%s/%d", cache, std::abs(CurrentTileMapType.load()));
    ok = EnsureFolder(path) && ok;
    FormatPath(path, sizeof path, "%s/MQ", root);
    ok = EnsureFolder(path) && ok;
    return EnsureFolder(radar) && ok;
}

void ReadTileServiceUrls(const char* iniPath)
{
    std::lock_guard<std::mutex> hold(SourceLock);
    for (size_t i = 0; i < static_cast<size_t>(TileUrl::Count); i++)
        GetPrivateProfileStringA(UrlsSection, UrlKeys[i].key, UrlKeys[i].defaultValue, Urls[i], UrlTextSize, iniPath);
    UrlsRead = true;
}

void WriteTileServiceUrls(const char* iniPath)
{
    std::lock_guard<std::mutex> hold(SourceLock);
    EnsureUrlDefaults();
    for (size_t i = 0; i < static_cast<size_t>(TileUrl::Count); i++)
        WritePrivateProfileStringA(UrlsSection, UrlKeys[i].key, Urls[i], iniPath);
}

void GetTileServiceUrl(TileUrl key, char* out, size_t size)
{
    std::lock_guard<std::mutex> hold(SourceLock);
    EnsureUrlDefaults();
    size_t i = static_cast<size_t>(key);
    CopyText(out, size, i < static_cast<size_t>(TileUrl::Count) ? Urls[i] : "");
}

const char* GetMakerServerHost()
{
    return MakerServerHost;
}

void BuildTileAddress(int type, int x, int y, int z, int slot, const char* catalogueName, const char* extension,
                      TileAddress* out)
{
    memset(out, 0, sizeof *out);
    const char* name = catalogueName ? catalogueName : "";
    const char* ext = extension && extension[0] ? extension : "jpg";
    if (type == MapTypeStreet || (type == MapTypeTopo && !HereMode))
        StreetMapAddress(type, x, y, z, slot, out);
    else if (HereMode && type >= 1 && type <= 3)
        HereAddress(type, x, y, z, out);
    else if (!HereMode && IsStaticMapType(type))
        StaticMapAddress(type, x, y, z, out);
    else if (!HereMode && type == MapTypeSatellite)
        SentinelAddress(x, y, z, out);
    else
        MakerAddress(type, x, y, z, name, ext, out);
}

bool FormatPath(char* out, size_t size, const char* format, ...)
{
    if (!out || size == 0)
        return false;
    va_list args;
    va_start(args, format);
    int n = vsnprintf(out, size, format, args);
    va_end(args);
    return n >= 0 && static_cast<size_t>(n) < size;
}

void MakeCacheFileName(const char* fileName, char* out, size_t size)
{
    if (!size)
        return;
    CopyText(out, size, fileName);
    int replaced = 0;
    for (char* p = out; *p && replaced < 2; p++) {
        if (*p == '/') {
            *p = '_';
            replaced++;
        }
    }
}

void ResetTileSources()
{
    std::lock_guard<std::mutex> hold(SourceLock);
    HereAppId[0] = HereAppCode[0] = MapQuestKeyText[0] = '\0';
    UrlsRead = false;  // the hosts and paths go back to their defaults
    HereMode = false;
    MapQuestMode = false;
    MaximumTileZoom = 19;
    DisplayedMaxZoom = 11;
}
