// Local raster map packages (see local_maps.h): the map table from
// "content.ini" and the map lists, the current map's sheets, the current
// sheet, and the tile set loader with its hand-over to the GUI thread.
//
// Hand-over: the GUI thread names a set's tiles (StartLocalMapTileLoader at
// index 0) and starts a run; the run reads the tile of the index into the
// shared image buffer and raises TileWaiting; the GUI thread makes the
// texture (UploadNextLocalMapTile), advances the index and clears the flag.
// No run starts while a tile waits, so one tile at a time is in the buffer.
#include "maps/local_maps.h"

#include "app/language.h"
#include "maps/terrain_awareness.h"
#include "maps/terrain_data.h"
#include "display/map_redraw.h"
#include "platform/log.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/aircraft_values.h"
#include "display/frame_update.h"
#include "display/map_georeference.h"
#include "display/map_projection.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "render/picture_slot.h"
#include "display/text_boxes.h"
#include "display/zoom_animation.h"
#include "maps/airport_charts.h"
#include "maps/system_files.h"
#include "maps/tile_cache.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "maps/tile_threads.h"
#include "platform/files.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "platform/wininet.h"
#include "render/textures.h"
#include "simlink/sim_link.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

std::atomic<int> LocalMapTileCount{LocalMapFullSet};

namespace {

constexpr int MaxContentEntries = 500;
// A sheet's data folder: the data root and the sheet's folder; a tile path
// adds its level folder and name.
constexpr size_t FolderPathSize = 600;
constexpr size_t TilePathSize = FolderPathSize + 32;
constexpr int ContentLineLength = 128;
constexpr int TileSide = 800;
constexpr int NoChartType = -100;
constexpr int TerrainSheetType = 3;
constexpr int AirportSheetType = 4;
// Approach, arrival and departure charts of the airport at the position.
constexpr int ApproachChartType = 8;
const char* const NoMapNames[] = {"Airport", "AptUSA", "AptAlaska"};
const char* const TpcListName = "tpc.bin";
const char* const TerrainListName = "terrain.bin";

struct ContentEntry {
    char file[20];
    bool present;
};

struct LocalMapFile {
    char fileName[52];
    int32_t present;
    std::vector<char> descriptor;
    int32_t descriptorSize;
    int32_t descriptorLoaded;
};

// The map table. threads: the GUI thread and the link threads (their ready
// step reloads it); every access holds MapTableLock.
std::mutex MapTableLock;
std::vector<LocalMapFile> MapFiles;
bool ContentRead = false;
// Names handed out by GetLocalMapName stay until the next load.
std::vector<std::string> MapNames;

// GUI thread: the current map's sheets and the current sheet.
std::vector<MapSheet> Sheets;
std::mutex SheetLock;  // the current sheet: GUI thread writes, loader start reads
MapSheet CurrentSheet{};
bool HasCurrentSheet = false;
char CurrentFolder[FolderPathSize] = "";
// The sheet's distance to its nearest edge (-1 none kept), the map it
// belongs to and that map's name.
double CurrentSheetDistance = -1.0;
int CurrentSheetMap = -1;
char CurrentSheetMapName[52] = "";
int ChosenChartType = NoChartType;
std::mutex FoundLock;  // the maps at the position: GUI and link threads
std::vector<MapAtPosition> MapsAtPosition;

// The set being loaded, named on the GUI thread before the first run of it.
struct TileSet {
    char names[LocalMapFullSet][TilePathSize];
    char blank[TilePathSize];
    int level = 0;
    int count = LocalMapFullSet;
    int mapIndex = -1;
    double originX = 0, originY = 0;
    double height = 0;
    int rotation = 0;
};
TileSet Set;

// threads: the GUI thread and the raster loader.
std::atomic<bool> RunActive{false};
std::atomic<bool> TileWaiting{false};
std::atomic<bool> WaitingHasImage{false};
std::atomic<int> TileIndex{0};
std::atomic<bool> AllLoaded{false};
std::atomic<bool> SetFailed{false};
std::atomic<bool> ReselectRequest{false};
std::atomic<bool> ReloadRequest{false};
std::atomic<bool> TileRestartPending{false};
int RememberedFullCount = 0;  // GUI thread
bool WholeSetNext = false;    // GUI thread: the inner 9 are shown, all 25 load now
int SetSerial = 0;            // GUI thread
int BankDataLevel[2] = {-1, -1};
int BankMapIndex[2] = {-1, -1};

const int LevelSteps[LocalMapLevelCount] = {8, 16, 24, 32, 48};

// The cells (column, row in 0..4) of the set's slots, as the background
// layer places them: the aircraft's tile first.
const int SlotCells[LocalMapFullSet][2] = {{2, 2}, {2, 1}, {3, 1}, {1, 2}, {1, 1}, {3, 2}, {1, 3}, {2, 3}, {3, 3},
                                           {0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 1}, {4, 2}, {4, 3}, {4, 4},
                                           {3, 4}, {2, 4}, {1, 4}, {0, 4}, {0, 3}, {0, 2}, {0, 1}};

int FloorDiv(int a, int b)
{
    int q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::vector<std::string> Tokens(const char* text)
{
    std::vector<std::string> out;
    const char* p = text;
    while (*p) {
        while (*p && isspace(static_cast<unsigned char>(*p)))
            p++;
        const char* start = p;
        while (*p && !isspace(static_cast<unsigned char>(*p)))
            p++;
        if (p > start)
            out.emplace_back(start, p);
    }
    return out;
}

// A folder below the data root: relative, no ".." part, and short enough.
bool IsSafeFolder(const std::string& folder)
{
    if (folder.empty() || folder.size() >= sizeof MapSheet{}.folder || folder[0] == '/' || folder[0] == '\\')
        return false;
    size_t start = 0;
    while (start <= folder.size()) {
        size_t end = folder.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = folder.size();
        if (folder.compare(start, end - start, "..") == 0 || (end - start >= 2 && folder[start + 1] == ':'))
            return false;
        start = end + 1;
    }
    return true;
}

bool IsSafeFileName(const std::string& name, size_t limit)
{
    return !name.empty() && name.size() < limit && name.find_first_of("/\\") == std::string::npos && name != "..";
}

void ShowMessage(const char* text)
{
    if (text && text[0])
        ShowScreenMessage(text, 16);
}

// Reads "content.ini": key=file lines, the excluded lists left out.
std::vector<ContentEntry> ReadContentIni()
{
    std::vector<ContentEntry> entries;
    FILE* file = OpenFile("content.ini", "r");
    if (!file)
        return entries;
    char line[ContentLineLength + 2];
    bool skipping = false;
    while (fgets(line, sizeof line, file) && static_cast<int>(entries.size()) < MaxContentEntries) {
        size_t n = strlen(line);
        bool whole = n > 0 && line[n - 1] == '\n';
        if (skipping) {  // the rest of a line longer than any entry
            skipping = !whole;
            continue;
        }
        skipping = !whole && !feof(file);
        if (skipping)
            continue;
        while (n > 0 && isspace(static_cast<unsigned char>(line[n - 1])))
            line[--n] = 0;
        char* equals = strchr(line, '=');
        if (!equals)
            continue;
        std::string name = equals + 1;
        while (!name.empty() && isspace(static_cast<unsigned char>(name.front())))
            name.erase(name.begin());
        if (!IsSafeFileName(name, sizeof ContentEntry{}.file) || IsExcludedMapFile(name.c_str())) {
            if (!name.empty() && !IsExcludedMapFile(name.c_str()))
                WriteLogF("content.ini: map list %s skipped", name.c_str());
            continue;
        }
        ContentEntry entry{};
        snprintf(entry.file, sizeof entry.file, "%s", name.c_str());
        entry.present = FileExists(entry.file) != 0;
        entries.push_back(entry);
    }
    fclose(file);
    return entries;
}

void AddListIfPresent(std::vector<ContentEntry>* entries, const char* name)
{
    if (!FileExists(name) || static_cast<int>(entries->size()) >= MaxContentEntries)
        return;
    ContentEntry entry{};
    snprintf(entry.file, sizeof entry.file, "%s", name);
    entry.present = true;
    entries->push_back(entry);
}

// Under MapTableLock: the descriptor of map i, read once.
bool LoadDescriptorLocked(LocalMapFile& map)
{
    if (map.descriptorLoaded)
        return true;
    int count = 0;
    if (ReadScrambledBin(map.fileName, &map.descriptor, &count) != 0)
        return false;
    map.descriptorSize = count;
    map.descriptorLoaded = 1;
    return true;
}

double EdgeDistance(const MapSheet& s, double latitude, double longitude)
{
    double d = latitude - s.south;
    d = std::fmin(d, s.north - latitude);
    d = std::fmin(d, longitude - s.west);
    return std::fmin(d, s.east - longitude);
}

// A sheet that holds the position replaces the one shown only when its
// nearest edge is closer: of sheets laid over each other, the smaller, more
// detailed one is shown. A kept sheet the position has left counts as none.
void TakeSheetIfCloserToEdge(const MapSheet& s, double distance, double latitude, double longitude)
{
    int map = Settings.MapType.load();
    const char* name = GetLocalMapName(map);
    std::lock_guard<std::mutex> hold(SheetLock);
    const MapSheet& kept = CurrentSheet;
    bool keptHolds = HasCurrentSheet && CurrentSheetDistance >= 0 && kept.south < latitude &&
                     latitude <= kept.north && kept.west < longitude && longitude <= kept.east;
    bool sameSheet = map == CurrentSheetMap && strcmp(kept.folder, s.folder) == 0;
    if (keptHolds && !sameSheet && !(distance < CurrentSheetDistance))
        return;
    CurrentSheet = s;
    HasCurrentSheet = true;
    CurrentSheetDistance = distance;
    CurrentSheetMap = map;
    snprintf(CurrentSheetMapName, sizeof CurrentSheetMapName, "%s", name);
    snprintf(Settings.MapName, sizeof Settings.MapName, "%s", name);
    snprintf(CurrentFolder, sizeof CurrentFolder, "%s/%s/", DataFolder, s.folder);
}

void LoadTilesRun(void*)
{
    SetLoadingBusy(true);
    int index = TileIndex.load();
    int read = 0;
    if (index >= 0 && index < LocalMapFullSet) {
        read = LoadMakerImageFile(Set.names[index]);
        if (read <= 0) {
            if (index == 0) {
                WriteLogF("local map tile %s not read: the sheet is chosen again", Set.names[index]);
                SetFailed = true;
                ReselectRequest = true;
            }
            read = LoadMakerImageFile(Set.blank);
        }
    }
    WaitingHasImage = read > 0;
    TileWaiting = true;
    SetLoadingBusy(false);
    RunActive = false;
}

// Names the set round the aircraft and records the header of the bank that
// the set will be shown from. GUI thread, before the set's first run.
void PrepareSet(double latitude, double longitude)
{
    int count = LocalMapTileCount.load();
    if (count >= 10 && !WholeSetNext) {
        RememberedFullCount = count;
        count = LocalMapInnerSet;
        LocalMapTileCount = count;
    }
    char folder[FolderPathSize];
    GetLocalMapFolder(folder, sizeof folder);
    int level = ChooseDataLevel(folder, CurrentChartLevel);
    int width = GetMakerImageWidth() > 0 ? GetMakerImageWidth() : TileSide;
    int x = 0, y = 0;
    LatLonToLoaderMapPixel(&x, &y, longitude, latitude);
    for (int slot = 0; slot < LocalMapFullSet; slot++) {
        int dc, dr;
        LocalTileOffset(slot, &dc, &dr);
        LocalTileName(folder, level, width, x, y, dc, dr, Set.names[slot], sizeof Set.names[slot]);
    }
    snprintf(Set.blank, sizeof Set.blank, "%s999999.qrl", folder);
    int scale = LocalMapLevelScale(level);
    int64_t span = static_cast<int64_t>(width) * scale;
    int reach = count <= LocalMapInnerSet ? 1 : 2;
    WholeSetNext = false;
    Set.level = level;
    Set.count = count;
    Set.mapIndex = Settings.MapType.load();
    Set.originX = static_cast<double>((FloorDiv(x, static_cast<int>(span)) - reach) * span);
    Set.originY = static_cast<double>((FloorDiv(y, static_cast<int>(span)) - reach) * span);
    Set.height = static_cast<double>(width) * (2 * reach + 1);
    {
        std::lock_guard<std::mutex> hold(SheetLock);
        Set.rotation = CurrentSheet.secondValue;
    }
    // The set is shown from the bank the next BeginLocalMapBank turns to.
    int shown = GetDisplayedTileBank();
    int next = 1 - shown;
    TileGridBank& bank = TileGridBanks[next];
    bank.cellSize = LocalMapTileStep(level) * 100 / TileSide * width;
    bank.level = count;
    bool same = BankMapIndex[shown] == Set.mapIndex && BankDataLevel[shown] == level;
    bank.tileScale = same ? TileGridBanks[shown].tileScale : 1.0f;
    bank.localMapSet = ++SetSerial;
    BankDataLevel[next] = level;
    BankMapIndex[next] = Set.mapIndex;
}

void ReleaseBank(int bank)
{
    for (SpriteSlot& slot : LocalMapTexture[bank]) {
        ReleaseSpriteSlot(&slot);
        slot.texture = nullptr;
        slot.loaded = 0;
    }
}

} // namespace

int LocalMapTileStep(int level)
{
    return LevelSteps[level < 0 || level >= LocalMapLevelCount ? 0 : level];
}

int LocalMapLevelScale(int level)
{
    return LocalMapTileStep(level) / 8;
}

std::vector<MapSheet> ParseMapDescriptor(const char* text, const char* mapName)
{
    std::vector<MapSheet> sheets;
    std::vector<std::string> t = Tokens(text ? text : "");
    if (t.empty())
        return sheets;
    long declared = strtol(t[0].c_str(), nullptr, 10);
    long available = static_cast<long>((t.size() - 1) / 7);
    if (declared > available)
        WriteLogF("%s names %ld sheets but holds %ld", mapName, declared, available);
    long count = declared < available ? declared : available;
    for (long i = 0; i < count; i++) {
        const std::string* f = &t[1 + static_cast<size_t>(i) * 7];
        MapSheet s{};
        s.north = atof(f[0].c_str());
        s.south = atof(f[1].c_str());
        s.east = atof(f[2].c_str());
        s.west = atof(f[3].c_str());
        long type = strtol(f[4].c_str(), nullptr, 10), second = strtol(f[5].c_str(), nullptr, 10);
        s.type = static_cast<int32_t>(std::clamp<long>(type, INT32_MIN, INT32_MAX));
        s.secondValue = static_cast<int32_t>(std::clamp<long>(second, INT32_MIN, INT32_MAX));
        std::string folder = f[6], georef = "georef.txt";
        size_t at = folder.find("georef");
        if (at != std::string::npos) {
            georef = folder.substr(at);
            folder = folder.substr(0, at > 0 ? at - 1 : 0);
        }
        // Bounds no place on earth has would place the sheet everywhere.
        bool onEarth = std::fabs(s.north) <= 90 && std::fabs(s.south) <= 90 && std::fabs(s.east) <= 180 &&
                       std::fabs(s.west) <= 180;
        if (!IsSafeFolder(folder) || !IsSafeFileName(georef, sizeof s.georefFile) || !onEarth) {
            WriteLogF("%s: sheet %ld (%s) skipped", mapName, i, f[6].c_str());
            continue;
        }
        snprintf(s.folder, sizeof s.folder, "%s", folder.c_str());
        snprintf(s.georefFile, sizeof s.georefFile, "%s", georef.c_str());
        sheets.push_back(s);
    }
    return sheets;
}

std::vector<std::string> ParseMapList(const char* text, const char* listName)
{
    std::vector<std::string> maps;
    std::vector<std::string> t = Tokens(text ? text : "");
    if (t.empty())
        return maps;
    long declared = strtol(t[0].c_str(), nullptr, 10);
    long available = static_cast<long>(t.size()) - 1;
    if (declared > available)
        WriteLogF("%s names %ld maps but holds %ld", listName, declared, available);
    long count = declared < available ? declared : available;
    for (long i = 1; i <= count; i++) {
        const std::string& name = t[static_cast<size_t>(i)];
        bool airport = false;
        for (const char* no : NoMapNames)
            airport = airport || name.find(no) != std::string::npos;
        if (airport)
            continue;
        if (!IsSafeFileName(name, sizeof LocalMapFile{}.fileName)) {
            WriteLogF("%s: map %s skipped", listName, name.c_str());
            continue;
        }
        maps.push_back(name);
    }
    return maps;
}

void LoadMapContent(int reload)
{
    {
        std::lock_guard<std::mutex> hold(MapTableLock);
        if (ContentRead && !reload)
            return;
        ContentRead = true;
    }
    std::vector<ContentEntry> entries = ReadContentIni();
    LoadTPCMaps();
    AddListIfPresent(&entries, TpcListName);
    if (CreateTerrainFolders())
        AddListIfPresent(&entries, TerrainListName);
    std::vector<LocalMapFile> files;
    for (const ContentEntry& entry : entries) {
        if (!entry.present)
            continue;
        std::vector<char> text;
        if (ReadScrambledBin(entry.file, &text, nullptr) != 0)
            continue;
        for (const std::string& name : ParseMapList(text.data(), entry.file)) {
            LocalMapFile map{};
            snprintf(map.fileName, sizeof map.fileName, "%s", name.c_str());
            map.present = 1;
            files.push_back(std::move(map));
        }
    }
    bool none = files.empty();
    {
        std::lock_guard<std::mutex> hold(MapTableLock);
        if (!none) {
            MapFiles = std::move(files);
            MapNames.clear();
            for (const LocalMapFile& map : MapFiles)
                MapNames.emplace_back(map.fileName);
        }
    }
    // The sheet kept may belong to a map the new table numbers otherwise.
    if (!none)
        TakeFoundLocalSheet();
    if (none)
        ShowMessage(GetGeneralText(19));
}

void LoadTPCMaps()
{
    while (IsCacheCleanupRunning())
        Sleep(1);
    char folder[600];
    snprintf(folder, sizeof folder, "%s/TPC", DataFolder);
    char resolved[600];
    ResolvePath(folder, resolved, sizeof resolved);
    DIR* dir = opendir(resolved);
    if (!dir)
        return;
    std::vector<std::string> lines;
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        char path[1200];
        snprintf(path, sizeof path, "%s/%s", resolved, entry->d_name);
        if (!IsDirectory(path))
            continue;
        char list[1024];
        snprintf(list, sizeof list, "%s/System/TPC_%s.bin", DataFolder, entry->d_name);
        if (FileExists(list))
            lines.push_back(std::string("TPC_") + entry->d_name + ".bin");
    }
    closedir(dir);
    if (lines.empty())
        return;
    std::string count = std::to_string(lines.size());
    std::vector<const char*> words = {count.c_str()};
    for (const std::string& line : lines)
        words.push_back(line.c_str());
    if (!WriteScrambledWords(TpcListName, words, ScrambledBinSeed("tpc.txt")))
        WriteLogF("%s could not be written", TpcListName);
}

void FreeMapBuffers()
{
    std::lock_guard<std::mutex> hold(MapTableLock);
    for (LocalMapFile& map : MapFiles) {
        map.descriptor.clear();
        map.descriptor.shrink_to_fit();
        map.descriptorSize = 0;
        map.descriptorLoaded = 0;
        map.present = 0;
    }
}

int GetLocalMapCount()
{
    std::lock_guard<std::mutex> hold(MapTableLock);
    return static_cast<int>(MapFiles.size());
}

bool IsLocalMapPresent(int index)
{
    std::lock_guard<std::mutex> hold(MapTableLock);
    return index >= 0 && index < static_cast<int>(MapFiles.size()) && MapFiles[index].present;
}

const char* GetLocalMapName(int index)
{
    std::lock_guard<std::mutex> hold(MapTableLock);
    if (index < 0 || index >= static_cast<int>(MapNames.size()))
        return "";
    return MapNames[index].c_str();
}

bool IsLocalMapFeatureOn()
{
    return true;
}

void LoadMapSheets()
{
    int index = Settings.MapType.load();
    std::vector<MapSheet> sheets;
    char name[52] = "";
    bool missing = false;
    // A map that cannot be read leaves no sheets of the one before.
    Sheets.clear();
    {
        std::lock_guard<std::mutex> hold(MapTableLock);
        if (index < 0 || index >= static_cast<int>(MapFiles.size()))
            return;
        LocalMapFile& map = MapFiles[index];
        snprintf(name, sizeof name, "%s", map.fileName);
        if (!LoadDescriptorLocked(map)) {
            map.present = 0;
            missing = true;
        } else {
            sheets = ParseMapDescriptor(map.descriptor.data(), map.fileName);
        }
    }
    if (missing) {
        char text[256];
        FormatLanguageText(text, sizeof text, LanguageSection::General, 18, "%s", name);
        ShowMessage(text);
        return;
    }
    Sheets = std::move(sheets);
}

const std::vector<MapSheet>& GetMapSheets()
{
    return Sheets;
}

void SetChosenChartType(int type)
{
    ChosenChartType = type;
}

bool IsWantedSheetType(int sheetType, int wanted)
{
    if (sheetType == wanted)
        return true;
    if (ChosenChartType < -4) {
        bool enroute = wanted == 1 || wanted == 4 || wanted == 6 || wanted == 7;
        return enroute && (sheetType == 1 || sheetType == 6 || sheetType == 7);
    }
    return sheetType == ChosenChartType;
}

bool SelectLocalMapSheet(double latitude, double longitude)
{
    int wanted = -1;
    bool anyType = true;
    {
        std::lock_guard<std::mutex> hold(SheetLock);
        if (HasCurrentSheet) {
            wanted = CurrentSheet.type;
            anyType = false;
        }
    }
    for (const MapSheet& s : Sheets) {
        if (!anyType && !IsWantedSheetType(s.type, wanted))
            continue;
        if (s.type == TerrainSheetType && !Settings.Terrainstate)
            continue;
        if (!(s.south < latitude && latitude <= s.north && s.west < longitude && longitude <= s.east))
            continue;
        TakeSheetIfCloserToEdge(s, EdgeDistance(s, latitude, longitude), latitude, longitude);
        return true;
    }
    return false;
}

int GetCurrentSheetMap()
{
    std::lock_guard<std::mutex> hold(SheetLock);
    return HasCurrentSheet ? CurrentSheetMap : -1;
}

void GetSelectedLocalMapName(char* out, size_t size)
{
    std::lock_guard<std::mutex> hold(SheetLock);
    snprintf(out, size, "%s", HasCurrentSheet ? CurrentSheetMapName : "");
}

void GetLocalMapFolder(char* out, size_t size)
{
    std::lock_guard<std::mutex> hold(SheetLock);
    snprintf(out, size, "%s", HasCurrentSheet ? CurrentFolder : "");
}

void GetGeorefFileName(char* out, size_t size)
{
    std::lock_guard<std::mutex> hold(SheetLock);
    snprintf(out, size, "%s", HasCurrentSheet ? CurrentSheet.georefFile : "");
}

bool GetCurrentSheet(MapSheet* out)
{
    std::lock_guard<std::mutex> hold(SheetLock);
    if (HasCurrentSheet)
        *out = CurrentSheet;
    return HasCurrentSheet;
}

bool IsInsideCurrentSheet(double latitude, double longitude)
{
    MapSheet s;
    return GetCurrentSheet(&s) && s.south <= latitude && latitude <= s.north && s.west <= longitude &&
           longitude <= s.east;
}

void TakeFoundLocalSheet()
{
    std::lock_guard<std::mutex> hold(SheetLock);
    CurrentSheetDistance = -1.0;
}

int ChooseDataLevel(const char* sheetFolder, int level)
{
    if (level >= LocalMapLevelCount)
        level = LocalMapLevelCount - 1;
    while (level >= 1) {
        char folder[TilePathSize];
        snprintf(folder, sizeof folder, "%sdata%1.1d", sheetFolder, level);
        if (IsDirectory(folder) || IsFolderPacked(folder))
            break;
        level--;
    }
    return level < 0 ? 0 : level;
}

void LocalTileName(const char* sheetFolder, int level, int imageWidth, int x, int y, int dc, int dr, char* out,
                   size_t size)
{
    int step = LocalMapTileStep(level);
    int span = (imageWidth > 0 ? imageWidth : TileSide) * LocalMapLevelScale(level);
    int64_t column = static_cast<int64_t>(FloorDiv(x, span) + dc) * step;
    int64_t row = static_cast<int64_t>(FloorDiv(y, span) + dr) * step;
    if (column < 0 || row < 0 || column > 999 || row > 999)
        snprintf(out, size, "%s999999.qrl", sheetFolder);
    else
        snprintf(out, size, "%sdata%1.1d/%3.3d%3.3d.qrl", sheetFolder, level, static_cast<int>(column),
                 static_cast<int>(row));
}

void LocalTileOffset(int slot, int* dc, int* dr)
{
    if (slot < 0 || slot >= LocalMapFullSet)
        slot = 0;
    *dc = SlotCells[slot][0] - 2;
    *dr = SlotCells[slot][1] - 2;
}

// Unless the map is panned, the map centre moves to the aircraft.
void CentreOnAircraft()
{
    int simulator = Settings.UseSimulator.load();
    if (MapPanning || simulator < SimulatorFirst || simulator > SimulatorLast)
        return;
    double latitude = MapCenter.latitude.load(), longitude = MapCenter.longitude.load();
    SimLinkGetVar(SimVarLatitude, &latitude);
    SimLinkGetVar(SimVarLongitude, &longitude);
    SimLinkGetVar(SimVarHeading, &Aircraft.Heading);
    MapCenter.latitude = latitude;
    MapCenter.longitude = longitude;
}

void StartLocalMapTileLoader()
{
    CentreOnAircraft();
    char folder[FolderPathSize];
    GetLocalMapFolder(folder, sizeof folder);
    // The tiles are coming back: no new set is begun meanwhile.
    if (TileRestartPending)
        return;
    if (RunActive || TileWaiting || !folder[0] || TileIndex.load() >= LocalMapTileCount.load())
        return;
    // A sheet whose georeference was refused has no place: the map shown
    // before stays as it was.
    if (StagingGeoreference.kind == GeorefRefused)
        return;
    if (TileIndex.load() == 0) {
        PrepareSet(MapCenter.latitude.load(), MapCenter.longitude.load());
        ReloadRequest = false;
    }
    RunActive = true;
    if (!StartTileThread(LoadTilesRun, nullptr))
        RunActive = false;
}

void UploadNextLocalMapTile()
{
    if (!TileWaiting)
        return;
    int bank = GetDisplayedTileBank();
    int index = TileIndex.load();
    if (index >= 0 && index < LocalMapFullSet) {
        SpriteSlot& slot = LocalMapTexture[bank][index];
        ReleaseSpriteSlot(&slot);
        if (WaitingHasImage) {
            std::lock_guard<std::recursive_mutex> hold(PaletteImageMutex);
            uint8_t ok = 0;
            int width = TileSide, height = TileSide;
            if (!HasLoadedImageFile())
                slot.texture = UpdatePaletteTexture(&slot.resource, &ok, &width, &height);
            else
                slot.texture = CreateTextureFromLoadedFile(&ok);
            slot.loaded = slot.texture ? 1 : 0;
            slot.width = TileSide;
            slot.height = TileSide;
            slot.dimmable = 1;
        }
    }
    TileIndex = index + 1;
    if (index + 1 >= LocalMapTileCount.load())
        AllLoaded = true;
    TileWaiting = false;
}

bool IsLocalMapTileWaiting()
{
    return TileWaiting;
}

bool IsNewLocalMapBankDue()
{
    if (AllLoaded && TileRestartPending) {
        // The set finished after the tiles were asked back: it is dropped.
        AllLoaded = false;
        return false;
    }
    return AllLoaded;
}

bool BeginDueLocalMapBank()
{
    if (IsLocalZoomRequested() && !HasLocalZoomEnded())
        return false;
    if (!IsNewLocalMapBankDue())
        return false;
    BeginLocalMapBank();
    // The step's set is shown: the step is done.
    if (HasLocalZoomEnded())
        FinishLocalZoom();
    return true;
}

void BeginLocalMapBank()
{
    AllLoaded = false;
    TileIndex = LocalMapTileCount.load();
    ToggleDisplayedTileBank();
    int bank = GetDisplayedTileBank();
    GridPixelHeight = Set.height;
    if (!SetFailed) {
        GridOriginX = Set.originX;
        GridOriginY = Set.originY;
    }
    TileMapFlag = 0;
    // The local map has taken over: no map is waited for any more.
    ClearCatalogueRequest();
    CurrentChartLevel = Set.level;
    ChartRotationDeg = Set.rotation;
    ApplyMapGeoreference();
    PixelsPerDegreeKnown = 0;
    ReleaseBank(bank);
    if (!IsTileLoaderBusy())
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    if (RememberedFullCount > 0) {
        TileGridBanks[1 - bank].level = LocalMapInnerSet;
        LocalMapTileCount = RememberedFullCount;
        RememberedFullCount = 0;
        WholeSetNext = true;
        TileIndex = 0;
    } else {
        TileGridBanks[1 - bank].level = LocalMapTileCount.load();
    }
    SetFailed = false;
    RequestMapRedraw();
}

int GetLoadedLocalTileCount()
{
    return TileIndex.load();
}

void ResetLoadedLocalTiles()
{
    if (!RunActive && !TileWaiting)
        TileIndex = 0;
    else
        ReloadRequest = true;
}

void MarkLocalSheetSetComplete()
{
    TileIndex = LocalMapTileCount.load();
}

bool IsLocalSheetSetComplete()
{
    return TileIndex.load() >= LocalMapTileCount.load() && !TileWaiting;
}

void RequestLocalMapReload()
{
    ReloadRequest = true;
}

bool IsLocalMapLoaderBusy()
{
    return RunActive || TileWaiting;
}

bool IsMapLoadPending()
{
    if (!TileMapFlag.load())
        return IsLocalMapLoaderBusy();
    // Only while the loader works on it: a type that cannot load (offline)
    // must not hold the links back for good.
    return CurrentTileMapType.load() != Settings.SatMode.load() && IsTileLoaderBusy();
}

bool TakeLocalSheetReselectRequest()
{
    return ReselectRequest.exchange(false);
}

void EnterLocalMapMode()
{
    if (IsTileLoaderBusy()) {
        // A download in flight would hold the stop up to its time-out.
        SetInternetTransfersCancelled(true);
        int word = 0;
        StopTileLoader(&word);
        SetInternetTransfersCancelled(false);
    }
    DiscardTileGrid();
    TileMapFlag = 0;
}

void ReleaseLocalMapTextures()
{
    while (RunActive)
        Sleep(10);
    TileWaiting = false;
    ReleaseBank(0);
    ReleaseBank(1);
    TileIndex = 0;
    AllLoaded = false;
}

int FindMapsAtPosition()
{
    double latitude = MapCenter.latitude.load(), longitude = MapCenter.longitude.load();
    ClearMapTypeAvailability();
    // The catalogue maps at the centre stay on the map-type page beside the
    // packages: the page is the way back to the map one came from.
    FindMapTypesAtPosition();
    std::vector<MapAtPosition> found;
    std::vector<std::pair<std::string, std::vector<char>>> descriptors;
    {
        std::lock_guard<std::mutex> hold(MapTableLock);
        for (const LocalMapFile& map : MapFiles)
            if (map.present)
                descriptors.emplace_back(map.fileName, std::vector<char>());
    }
    for (auto& [name, text] : descriptors) {
        if (ReadScrambledBin(name.c_str(), &text, nullptr) != 0)
            continue;
        for (const MapSheet& s : ParseMapDescriptor(text.data(), name.c_str())) {
            if (s.type == AirportSheetType)
                continue;
            if (s.south < latitude && latitude < s.north && s.west < longitude && longitude < s.east) {
                MapAtPosition entry{};
                snprintf(entry.folder, sizeof entry.folder, "%s", s.folder);
                entry.type = s.type;
                found.push_back(entry);
                MarkMapTypeAvailable(s.type);
            }
        }
    }
    BuildAirportIndex();
    SelectAirportAtPosition(latitude, longitude);
    if (ListAirportCharts()) {
        MarkMapTypeAvailable(AirportSheetType);
        int bits = Settings.AirportChartMenu;
        for (int k = 0; k < 3; k++)
            if (bits & (1 << k))
                MarkMapTypeAvailable(ApproachChartType + k);
    }
    int count = static_cast<int>(found.size());
    std::lock_guard<std::mutex> hold(FoundLock);
    MapsAtPosition = std::move(found);
    return count;
}

std::vector<MapAtPosition> GetMapsAtPosition()
{
    std::lock_guard<std::mutex> hold(FoundLock);
    return MapsAtPosition;
}

int GetLocalMapSource()
{
    if (IsLocalSheetSetComplete())
        return LocalMapSetWhole;
    int index = TileIndex.load();
    return index < LocalMapSetWhole ? index : LocalMapSetWhole - 1;
}

void SetLocalMapSource(int source)
{
    if (source <= 0)
        ResetLoadedLocalTiles();
    else
        MarkLocalSheetSetComplete();
}

void SettleLocalMapZoom()
{
    int steps = ChartZoomOutSteps < 0 ? 0 : ChartZoomOutSteps > MaxChartZoomOutSteps ? MaxChartZoomOutSteps
                                                                                     : ChartZoomOutSteps;
    int shown = GetDisplayedTileBank();
    TileGridBank& bank = TileGridBanks[shown];
    // While a zoom step runs its animation owns the scale.
    if (!TileMapFlag.load() && !IsLocalZoomRequested() && bank.localMapSet != 0 && BankDataLevel[shown] == 0) {
        float scale = static_cast<float>(std::ldexp(1.0, steps));
        if (bank.tileScale != scale) {
            bank.tileScale = scale;
            PixelsPerDegreeKnown = 0;
            RequestMapRedraw();
        }
    }
}

int GetShownLocalMapLevel()
{
    int shown = GetDisplayedTileBank();
    if (TileGridBanks[shown].localMapSet != 0 && BankDataLevel[shown] >= 0)
        return BankDataLevel[shown];
    return CurrentChartLevel;
}

double GetLocalMapScale()
{
    const TileGridBank& bank = TileGridBanks[GetDisplayedTileBank()];
    double zoom = bank.tileScale > 0 ? bank.tileScale : 1.0;
    return LocalMapLevelScale(CurrentChartLevel) / zoom;
}

bool OpenLocalMapAtPosition(int start)
{
    LoadMapContent(0);
    int index = Settings.MapType.load();
    if (index < 0 || index >= GetLocalMapCount())
        return false;
    LoadMapSheets();
    CentreOnAircraft();
    if (!SelectLocalMapSheet(MapCenter.latitude.load(), MapCenter.longitude.load()))
        return false;
    LoadMapGeoreference();
    if (start) {
        SetLocalMapSource(0);
        RequestLocalMapReload();
        StartLocalMapTileLoader();
    }
    return true;
}

void SetDefaultMapSource() { SetLocalMapSource(LocalMapSetWhole); }

int QueryMapTypeOverride() { return 0; }

void RestartMapTiles(int type)
{
    if (TileMapFlag.load()) {
        // Without a package to take over, stopping would only empty the map.
        if (GetLocalMapCount() <= 0)
            return;
        StopTilesForLocalMap();
        return;
    }
    if (Settings.NrOfThreads.load() <= 0)
        return;
    if (type >= -4 && type <= -1)
        CurrentTileMapType = -type;
    SetTileChartType(type);
    SetTileRestartFlag();
    RefreshMapAtMapCentre();
}

void ResumeStoppedTiles()
{
    if (!TileMapFlag.load() || !IsCatalogueRequestPending())
        return;
    ClearCatalogueRequest();
    RefreshMapAtMapCentre();
}

void StopTilesForLocalMap()
{
    int word = 0;
    StopTileLoader(&word);
    // A grid the stopped loader completed is not shown over the local map.
    DiscardTileGrid();
    SetCatalogueRequest(true);
    TileRestartPending = false;
}

void SetTileRestartFlag()
{
    TileRestartPending = true;
}

bool IsTileRestartPending()
{
    return TileRestartPending;
}

void ClearTileRestartFlag()
{
    TileRestartPending = false;
}

void ResetLocalMaps()
{
    {
        std::lock_guard<std::mutex> hold(MapTableLock);
        MapFiles.clear();
        MapNames.clear();
        ContentRead = false;
    }
    Sheets.clear();
    {
        std::lock_guard<std::mutex> hold(SheetLock);
        CurrentSheet = MapSheet{};
        HasCurrentSheet = false;
        CurrentFolder[0] = '\0';
        CurrentSheetDistance = -1.0;
        CurrentSheetMap = -1;
        CurrentSheetMapName[0] = '\0';
    }
    ChosenChartType = NoChartType;
    std::lock_guard<std::mutex> hold(FoundLock);
    MapsAtPosition.clear();
}
