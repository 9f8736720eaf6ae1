// Map types and the server map catalogue: selection of the catalogue map at a
// position, the catalogue download with its offline fallback, and the local
// tile stores matched to catalogue maps.
#include "display/map_types.h"

#include "app/language.h"
#include "platform/log.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "app/winmain.h"
#include "display/map_georeference.h"
#include "display/map_view.h"
#include "maps/http_download.h"
#include "maps/local_maps.h"
#include "maps/tile_grid.h"
#include "display/map_redraw.h"
#include "maps/tile_cache.h"
#include "maps/tile_sources.h"
#include "platform/ini_sections.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "platform/threads.h"
#include "simlink/sim_link.h"
#include "simlink/sound.h"
#include "platform/files.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int MapTypeFlagCount = 64;
// A catalogue longer than this is cut: each map costs one request.
constexpr size_t MaxCatalogueMaps = 500;
constexpr size_t CatalogueAnswerBytes = 65536;
// How long a link thread waits for a busy tile loader before it reselects.
constexpr int ReselectWaitMs = 2000;

// threads: the GUI thread and the tile loader.
std::atomic<bool> CatalogueRequest{false};
std::atomic<bool> TileZoomEnding{false};
std::atomic<uint8_t> MapTypeAvailable[MapTypeFlagCount];

// Map selection. threads: the GUI thread, and the link threads through
// ReselectCurrentMap; the guard keeps a second selection out.
std::atomic<int> NoMapCounter{0};
std::atomic<bool> SelectionGuard{false};
std::atomic<bool> SearchRan{false};
std::atomic<int> LastDirection{1};

// A tile type -1..-4 starts the loader for that type; any other index
// restarts the map. True when the selection ends here.
bool RestartForMapType(int mapType)
{
    if (mapType >= 0 || mapType < -4) {
        RestartMapTiles(mapType);
        return false;
    }
    CurrentTileMapType = -mapType;
    StartTileLoaderThread(mapType);
    // The tiles are back: no map is waited for any more. A request left
    // raised would hold the frame's grid and run this selection every frame.
    ClearCatalogueRequest();
    NoMapCounter = 0;
    return true;
}

// Looks for a sheet of the current map at the position, stepping through
// the maps; true when one was found.
bool SearchLocalMaps(int candidates, int direction, bool cycle, bool* ended)
{
    int localCount = GetLocalMapCount();
    for (int i = 0; i < candidates; i++) {
        if (OpenLocalMapAtPosition(0))
            return true;
        if (cycle)
            return false;
        Settings.MapType = StepMapType(Settings.MapType, direction, localCount, Settings.PreferedChartType);
        if (Settings.MapType < 0 && IsLocalMapFeatureOn()) {
            *ended = RestartForMapType(Settings.MapType);
            if (*ended)
                return false;
        }
    }
    return false;
}

void TakeFoundMap()
{
    LoadMapGeoreference();
    ResetLoadedLocalTiles();
    RequestMapRedraw();
    RequestLocalMapReload();
    StartLocalMapTileLoader();
    char text[16];
    snprintf(text, sizeof text, "%d", Settings.MapType.load());
    WritePrivateProfileStringA(MainSection, "MapType", text, IniFilePath);
    NoMapCounter = 0;
}

void NoMapFound()
{
    if (IsLocalMapFeatureOn() && !TileMapFlag && !IsCatalogueRequestPending()) {
        // The local map shown has no sheet here: the preferred tiles come back.
        Settings.MapType = Settings.PreferedChartType.load();
        RestartMapTiles(Settings.MapType);
        return;
    }
    // Every search that found no map counts, also one that stopped the tiles
    // for a map: the selections after it wait, and the map says so.
    SearchRan = true;
    NoMapCounter++;
    if (IsCatalogueRequestPending()) {
        StartTileLoaderThreadPlain();
        ClearCatalogueRequest();
        SetTileZoomEnding(true);
    } else {
        ResumeStoppedTiles();
    }
}

// Steps 1 to 4 of a selection; false when it ends before the guard.
bool MaySelect(bool sound)
{
    if (NoMapCounter > 0) {
        if (++NoMapCounter % 36 != 0)
            return false;
        NoMapCounter = 0;
    }
    if (TileMapFlag) {
        if (IsTileZoomEnding() || IsTileLoaderBusy()) {
            AbortTileLoader();
            return true;
        }
        if (GetLocalMapCount() > 0 && !IsCatalogueRequestPending() && !sound) {
            MarkLocalSheetSetComplete();
            return false;
        }
    }
    if (sound)
        PlaySoundNumber(SoundClick);
    return true;
}

void SelectGuarded(int direction, bool cycle)
{
    int localCount = GetLocalMapCount();
    bool feature = IsLocalMapFeatureOn();
    int candidates = localCount + (feature ? 1 : 0);
    bool stepped = false;
    if (Settings.MapType < 0 && feature && !IsMapRedrawPending() && SearchRan && TileMapFlag &&
        !IsCatalogueRequestPending()) {
        Settings.MapType = StepMapType(Settings.MapType, direction, localCount, Settings.PreferedChartType);
        stepped = true;
        if (RestartForMapType(Settings.MapType))
            return;
    } else if (TileMapFlag) {
        RestartMapTiles(Settings.MapType);
    }
    if (localCount == 0) {
        Settings.MapType = feature ? -1 : 0;
        return;
    }
    if (cycle && !stepped) {
        int next = Settings.MapType + (direction >= 1 ? 1 : -1);
        Settings.MapType = next > localCount - 1 ? -1 : next < -1 ? localCount - 1 : next;
    }
    bool ended = false;
    if (SearchLocalMaps(candidates, direction, cycle, &ended))
        TakeFoundMap();
    else if (!ended)
        NoMapFound();
}

// The manual position while one is set, else the map centre.
void SelectionPoint(double* latitude, double* longitude)
{
    if (ManualPositionMode.load() && ManualPositionValid.load()) {
        *latitude = ManualPosition.latitude.load();
        *longitude = ManualPosition.longitude.load();
        return;
    }
    GetMapCenter(latitude, longitude);
}

bool Inside(const MapCatalogueRecord& r, double latitude, double longitude)
{
    return r.lat_min < latitude && latitude < r.lat_max && r.lon_min < longitude && longitude < r.lon_max;
}

// The next ';'-separated token of text from *at on.
bool NextToken(const char* text, size_t* at, std::string* token)
{
    if (text[*at] == 0)
        return false;
    const char* start = text + *at;
    const char* end = strchr(start, ';');
    size_t length = end ? static_cast<size_t>(end - start) : strlen(start);
    token->assign(start, length);
    *at += length + (end ? 1 : 0);
    return true;
}

bool HasDigit(const std::string& token)
{
    for (char c : token)
        if (isdigit(static_cast<unsigned char>(c)))
            return true;
    return false;
}

// Downloads the list and every map's entry; false when the list fails.
bool FetchCatalogue(std::vector<MapCatalogueRecord>* records)
{
    // One limit for the list and every entry: the start waits for all of them.
    long deadline = TextRequestDeadline();
    std::string answer(CatalogueAnswerBytes, '\0');
    if (HttpGetBefore(GetMakerServerHost(), "/tiles/catalog_2.php?tilename=list ", answer.data(), answer.size(),
                      deadline) != 0)
        return false;
    std::vector<int> ids;
    ParseCatalogueList(answer.c_str(), &ids);
    records->clear();
    for (int id : ids) {
        MapCatalogueRecord record{};
        record.lfd = id;
        record.mapindex = -1;
        char path[96];
        snprintf(path, sizeof path, "/tiles/catalog_2.php?tilename=%d ", id);
        std::string entry(CatalogueAnswerBytes, '\0');
        if (HttpGetBefore(GetMakerServerHost(), path, entry.data(), entry.size(), deadline) == 0 &&
            ParseCatalogueEntry(entry.c_str(), &record)) {
            record.lfd = id;
            CatalogueUpdates.push_back({id, record.type, record.airac});
        }
        records->push_back(record);
    }
    return true;
}

void InstallCatalogue(std::vector<MapCatalogueRecord>&& records)
{
    CatalogueAccess access;
    access.Records() = std::move(records);
    access.SelectedIndex() = Settings.ServermapIndex;
}

} // namespace

bool IsCatalogueRequestPending()
{
    return CatalogueRequest;
}

void SetCatalogueRequest(bool pending)
{
    CatalogueRequest = pending;
}

void ClearCatalogueRequest()
{
    CatalogueRequest = false;
}

bool IsTileZoomEnding()
{
    return TileZoomEnding;
}

void SetTileZoomEnding(bool ending)
{
    TileZoomEnding = ending;
}

void MarkMapTypeAvailable(int type)
{
    if (type >= 0 && type < MapTypeFlagCount)
        MapTypeAvailable[type] = 1;
}

void ClearMapTypeAvailability()
{
    for (std::atomic<uint8_t>& flag : MapTypeAvailable)
        flag = 0;
}

bool IsMapTypeAvailable(int type)
{
    return type >= 0 && type < MapTypeFlagCount && MapTypeAvailable[type].load() != 0;
}

void FindMapTypesAtPosition()
{
    double latitude, longitude;
    GetMapCenter(&latitude, &longitude);
    std::vector<int> types;
    {
        CatalogueAccess access;
        for (const MapCatalogueRecord& r : access.Records())
            if (Inside(r, latitude, longitude))
                types.push_back(r.type);
    }
    for (int type : types)
        MarkMapTypeAvailable(type);
}

bool SelectServerMapAt(int type, double latitude, double longitude)
{
    char name[20] = {};
    char extension[8] = {};
    {
        CatalogueAccess access;
        std::vector<MapCatalogueRecord>& records = access.Records();
        size_t i = 0;
        while (i < records.size() && !(records[i].type == type && Inside(records[i], latitude, longitude)))
            i++;
        if (i == records.size())
            return false;
        access.SelectedIndex() = static_cast<int>(i);
        CopyCatalogueText(name, sizeof name, records[i].name);
        snprintf(extension, sizeof extension, "%.3s", records[i].extension);
    }
    SetCurrentMap(name, extension);
    return true;
}

bool SelectServerMapAtPosition(int type)
{
    double latitude, longitude;
    SelectionPoint(&latitude, &longitude);
    return SelectServerMapAt(type, latitude, longitude);
}

bool MatchCatalogueStore(const char* name, int storeId, int type)
{
    std::vector<int> matched;
    {
        CatalogueAccess access;
        for (MapCatalogueRecord& r : access.Records()) {
            if (r.type != type || strcmp(r.name, name) != 0)
                continue;
            r.blocal = 1;
            r.mapindex = storeId;
            matched.push_back(r.lfd);
        }
    }
    // The map with number lfd gets the store's chart layer.
    for (int lfd : matched)
        SetMapIndex(lfd, storeId);
    return !matched.empty();
}

bool ApplyCatalogueStores()
{
    if (GetLocalMapPathLength() == 0)
        return false;
    std::vector<MapCatalogueRecord> stores;
    LoadLocalMaps(&stores);
    for (const MapCatalogueRecord& store : stores)
        MatchCatalogueStore(store.name, store.mapindex, store.type);
    return !stores.empty();
}

void DisableCatalogueMap(int storeId)
{
    CatalogueAccess access;
    for (MapCatalogueRecord& r : access.Records()) {
        if (r.mapindex == storeId) {
            r.blocal = 0;
            return;
        }
    }
}

void ParseCatalogueList(const char* answer, std::vector<int>* ids)
{
    ids->clear();
    size_t at = 0;
    std::string token;
    while (answer && NextToken(answer, &at, &token)) {
        if (token.find('#') != std::string::npos || ids->size() >= MaxCatalogueMaps)
            break;
        if (HasDigit(token))
            ids->push_back(atoi(token.c_str()));
    }
}

bool ParseCatalogueEntry(const char* answer, MapCatalogueRecord* record)
{
    std::string tokens[9];
    size_t at = 0;
    int count = 0;
    while (count < 9 && answer && NextToken(answer, &at, &tokens[count]))
        count++;
    if (count < 9)
        return false;
    CopyCatalogueText(record->name, sizeof record->name, tokens[0].c_str());
    record->numZoomLevels = atoi(tokens[1].c_str());
    record->lon_min = atoi(tokens[2].c_str());
    record->lat_max = atoi(tokens[3].c_str());
    record->lon_max = atoi(tokens[4].c_str());
    record->lat_min = atoi(tokens[5].c_str());
    record->type = atoi(tokens[6].c_str());
    snprintf(record->extension, sizeof record->extension, "%.3s", tokens[7].c_str());
    record->airac = atoi(tokens[8].c_str());
    record->blocal = 0;
    record->mapindex = -1;
    return true;
}

int LoadTileCatalog()
{
    return LoadCatalogue(IsStartingUp());
}

int LoadCatalogue(bool starting)
{
    CatalogueUpdates.clear();
    std::vector<MapCatalogueRecord> records;
    if (starting && FetchCatalogue(&records)) {
        CompareCatalogueAirac(&CatalogueUpdates);
        CleanTileCaches();
        RebuildMapCatalogue(records);
        int count = static_cast<int>(records.size());
        InstallCatalogue(std::move(records));
        SetOfflineMode(false);
        ApplyCatalogueStores();
        return count;
    }
    if (starting) {
        const char* text = GetGeneralText(17);
        MessageBoxA(nullptr, text ? text : "", "Zorizeruverovu", MB_ICONEXCLAMATION | MB_SETFOREGROUND | MB_TOPMOST);
        if (CurrentTileMapType.load() > 5)
            MapTypeMenuCommand(-1);
    }
    records.clear();
    bool read = LoadMapCatalogue(&records);
    int count = static_cast<int>(records.size());
    InstallCatalogue(std::move(records));
    SetOfflineMode(true);
    ApplyCatalogueStores();
    if (!read) {
        WriteLog("the offline map catalogue cannot be read");
        return -1;
    }
    WriteLogF("map catalogue read from the offline catalogue: %d maps", count);
    return count;
}

void SyncCatalogueSelection()
{
    Settings.ServermapIndex = GetSelectedCatalogueIndex();
    char extension[8];
    GetCurrentMapExtension(extension, sizeof extension);
    snprintf(Settings.BitmapExtension, sizeof Settings.BitmapExtension, "%.3s", extension);
}

int StepMapType(int mapType, int direction, int localMapCount, int preferredChartType)
{
    if (direction >= 1) {
        mapType++;
        if (mapType > localMapCount - 1)
            mapType = preferredChartType;
    } else {
        mapType--;
        if (mapType < preferredChartType)
            mapType = localMapCount - 1;
    }
    return mapType;
}

void SelectMapType(bool sound, int direction, bool cycle)
{
    if (QueryMapTypeOverride())
        return;
    if (!MaySelect(sound))
        return;
    if (SelectionGuard.exchange(true))
        return;
    LastDirection = direction;
    TakeFoundLocalSheet();
    SelectGuarded(direction, cycle);
    SelectionGuard = false;
}

void ReselectCurrentMap()
{
    if (Settings.MapType == 0)
        return;
    // Runs on a link thread: a loader held up by a slow tile server must not
    // stop the aircraft's states for long, and a busy loader is aborted by the
    // selection below anyway.
    for (int waited = 0; waited < ReselectWaitMs && IsTileLoaderBusy(); ++waited)
        Sleep(1);
    int count = GetLocalMapCount();
    for (int i = 0; i < count; i++) {
        const char* name = GetLocalMapName(i);
        if (name && strcmp(name, Settings.MapName) == 0) {
            if (IsLocalMapPresent(i)) {
                Settings.MapType = i;
                return;
            }
            break;
        }
    }
    SelectMapType(false, LastDirection, false);
}

int GetNoMapCounter()
{
    return NoMapCounter;
}

void ResetNoMapCounter()
{
    NoMapCounter = 0;
}
