// Chart-tile stores, terrain.db and the map catalogue in offline_catalogue.db.
// Every statement binds its values; table names are checked before use.
#include "maps/tile_stores.h"

#include "platform/log.h"
#include "display/map_types.h"
#include "maps/http_download.h"
#include "maps/local_maps.h"
#include "navdata/map_centre.h"
#include "navdata/procedure_db.h"
#include "platform/files.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

std::vector<CatalogueUpdate> CatalogueUpdates;

namespace {

constexpr char CatalogueFile[] = "offline_catalogue.db";
constexpr char TerrainDbPath[] = "../Terrain/terrain.db";
constexpr char CreateMapsTable[] =
    "CREATE TABLE IF NOT EXISTS maps (id INTEGER PRIMARY KEY AUTOINCREMENT, lfd integer not null, name Text not "
    "null, numZoomLevels int not null, lon_min Integer,lat_max Integer, lon_max Integer, lat_min Integer, type "
    "Integer, blocal Integer, mapindex Integer, extension Text, airac Integer);";
// A statement whose schema changed under it is prepared again, a few times.
constexpr int SchemaRetries = 5;

// threads: the GUI thread fills the catalogue; the loader and fetch threads
// read it and switch maps off. All under CatalogueLock.
std::mutex CatalogueLock;
std::vector<MapCatalogueRecord> Catalogue;
int SelectedCatalogue = -1;
char CurrentMapName[20];
char CurrentMapExtension[8] = "jpg";
int LastMaxZoom = 11;

// Chart stores, opened on first use by the fetch threads.
struct ChartStore {
    sqlite3* db = nullptr;
    char file[64] = {};
};
std::mutex StoreLock;
ChartStore Stores[ChartStoreSlotCount];
char LocalMapFolder[256];
// threads: the terrain loader; kept open for the program's life.
std::mutex TerrainDbLock;
sqlite3* TerrainDb = nullptr;

// One blob statement: prepare, bind, step once, copy the blob, finalize;
// prepared again when finalize reports a changed schema.
int QueryBlob(sqlite3* db, const char* sql, const int* values, int count, uint8_t** data, uint32_t* size)
{
    *data = nullptr;
    *size = 0;
    for (int attempt = 0;; attempt++) {
        sqlite3_stmt* statement = nullptr;
        int rc = sqlite3_prepare(db, sql, -1, &statement, nullptr);
        if (rc != SQLITE_OK)
            return rc;
        for (int i = 0; i < count; i++)
            sqlite3_bind_int(statement, i + 1, values[i]);
        if (sqlite3_step(statement) == SQLITE_ROW) {
            int bytes = sqlite3_column_bytes(statement, 0);
            const void* blob = sqlite3_column_blob(statement, 0);
            if (bytes > 0 && blob) {
                *data = static_cast<uint8_t*>(malloc(static_cast<size_t>(bytes)));
                if (*data) {
                    memcpy(*data, blob, static_cast<size_t>(bytes));
                    *size = static_cast<uint32_t>(bytes);
                }
            }
        }
        rc = sqlite3_finalize(statement);
        if (rc != SQLITE_SCHEMA || attempt >= SchemaRetries)
            return rc;
        free(*data);
        *data = nullptr;
        *size = 0;
    }
}

// The open store of a slot; null when it cannot be opened.
sqlite3* OpenStore(int slot, const char* fileName)
{
    ChartStore& store = Stores[slot];
    if (store.db && strcmp(store.file, fileName) == 0)
        return store.db;
    if (store.db)
        sqlite3_close(store.db);
    store = ChartStore{};
    char path[600];
    snprintf(path, sizeof path, "%s/%s", LocalMapFolder, fileName);
    char resolved[600];
    ResolvePath(path, resolved, sizeof resolved);
    if (sqlite3_open_v2(resolved, &store.db, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
        WriteLogF("tile store %s cannot be opened", resolved);
        sqlite3_close(store.db);
        store.db = nullptr;
        return nullptr;
    }
    snprintf(store.file, sizeof store.file, "%s", fileName);
    return store.db;
}

int OpenAndQuery(int slot, const char* fileName, int zoom, int column, int row, uint8_t** data, uint32_t* size,
                 bool byZoom)
{
    *data = nullptr;
    *size = 0;
    if (slot < 0 || slot >= ChartStoreSlotCount || !fileName)
        return -1;
    int rc;
    {
        std::lock_guard<std::mutex> hold(StoreLock);
        sqlite3* db = OpenStore(slot, fileName);
        if (!db)
            rc = SQLITE_CANTOPEN;
        else
            rc = byZoom ? QueryTileByZoomColumnRow(db, zoom, column, row, data, size)
                    : QueryTileByColumnRow(db, column, row, data, size);
        if (db && rc != SQLITE_OK && rc != SQLITE_DONE)
            WriteLogF("tile store %s: %s", fileName, sqlite3_errmsg(db));
    }
    if (rc == SQLITE_CANTOPEN) {
        // Its catalogue map is no longer offered for offline use.
        DisableCatalogueMap(GetChartLayer());
        return -1;
    }
    if ((rc == SQLITE_OK || rc == SQLITE_DONE) && *data && *size > 0)
        return 1;
    free(*data);
    *data = nullptr;
    *size = 0;
    return -1;
}

// Table suffixes are a hemisphere letter and digits, nothing else.
bool IsTerrainSuffix(const char* suffix)
{
    size_t n = suffix ? strlen(suffix) : 0;
    if (n == 0 || n > 8)
        return false;
    for (size_t i = 0; i < n; i++)
        if (!isalnum(static_cast<unsigned char>(suffix[i])))
            return false;
    return true;
}

void PrintSqlError(char* message)
{
    if (message) {
        fprintf(stderr, "SQL error: %s\n", message);
        WriteLogF("SQL error: %s", message);
        sqlite3_free(message);
    }
}

void Exec(sqlite3* db, const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK)
        PrintSqlError(message);
}

sqlite3* OpenCatalogue(int flags)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(CatalogueFile, &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

const char* ColumnText(sqlite3_stmt* statement, int column)
{
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? reinterpret_cast<const char*>(text) : "";
}

// name, numZoomLevels, lon_min, lat_max, lon_max, lat_min and type, from
// column first on: the same in the server's and the user's map tables.
void ReadMapCoverage(sqlite3_stmt* s, int first, MapCatalogueRecord* r)
{
    CopyCatalogueText(r->name, sizeof r->name, ColumnText(s, first));
    r->numZoomLevels = sqlite3_column_int(s, first + 1);
    r->lon_min = sqlite3_column_int(s, first + 2);
    r->lat_max = sqlite3_column_int(s, first + 3);
    r->lon_max = sqlite3_column_int(s, first + 4);
    r->lat_min = sqlite3_column_int(s, first + 5);
    r->type = sqlite3_column_int(s, first + 6);
}

// mapindex, extension and airac, from column first on.
void ReadMapStore(sqlite3_stmt* s, int first, MapCatalogueRecord* r)
{
    r->mapindex = sqlite3_column_int(s, first);
    CopyCatalogueText(r->extension, sizeof r->extension, ColumnText(s, first + 1));
    r->airac = sqlite3_column_int(s, first + 2);
}

// Runs a catalogue SELECT inside a transaction, one callback per row; false
// when it cannot be prepared.
template <typename RowFn>
bool SelectRows(const char* sql, RowFn onRow)
{
    sqlite3* db = OpenCatalogue(SQLITE_OPEN_READONLY);
    if (!db)
        return false;
    Exec(db, "BEGIN TRANSACTION");
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return false;
    }
    while (sqlite3_step(statement) == SQLITE_ROW)
        onRow(statement);
    sqlite3_finalize(statement);
    Exec(db, "END TRANSACTION");
    sqlite3_close(db);
    return true;
}

bool ContainsStrictly(const MapCatalogueRecord& record, double latitude, double longitude)
{
    return record.lat_min < latitude && latitude < record.lat_max && record.lon_min < longitude &&
           longitude < record.lon_max;
}

} // namespace

CatalogueAccess::CatalogueAccess() : hold_(CatalogueLock) {}

std::vector<MapCatalogueRecord>& CatalogueAccess::Records()
{
    return Catalogue;
}

int& CatalogueAccess::SelectedIndex()
{
    return SelectedCatalogue;
}

int GetCatalogueCount()
{
    std::lock_guard<std::mutex> hold(CatalogueLock);
    return static_cast<int>(Catalogue.size());
}

bool GetCatalogueRecord(int index, MapCatalogueRecord* out)
{
    std::lock_guard<std::mutex> hold(CatalogueLock);
    if (index < 0 || index >= static_cast<int>(Catalogue.size()))
        return false;
    *out = Catalogue[static_cast<size_t>(index)];
    return true;
}

int GetSelectedCatalogueIndex()
{
    std::lock_guard<std::mutex> hold(CatalogueLock);
    return SelectedCatalogue;
}

void SetSelectedCatalogueIndex(int index)
{
    std::lock_guard<std::mutex> hold(CatalogueLock);
    SelectedCatalogue = index;
}

void CopyCatalogueText(char* field, size_t size, const char* text)
{
    snprintf(field, size, "%s", text ? text : "");
}

void SetLocalMapPath(const char* path)
{
    std::lock_guard<std::mutex> hold(StoreLock);
    snprintf(LocalMapFolder, sizeof LocalMapFolder, "%s", path ? path : "");
    NormalizePath(LocalMapFolder);
    size_t n = strlen(LocalMapFolder);
    while (n > 1 && LocalMapFolder[n - 1] == '/')
        LocalMapFolder[--n] = 0;
}

int GetLocalMapPathLength()
{
    std::lock_guard<std::mutex> hold(StoreLock);
    return static_cast<int>(strlen(LocalMapFolder));
}

void GetLocalMapPath(char* out, size_t size)
{
    std::lock_guard<std::mutex> hold(StoreLock);
    snprintf(out, size, "%s", LocalMapFolder);
}

int QueryTileByZoomColumnRow(sqlite3* db, int zoom, int column, int row, uint8_t** data, uint32_t* size)
{
    const int values[] = {zoom, column, row};
    return QueryBlob(db, "SELECT tile_data FROM tiles WHERE zoom_level = ? and tile_column = ? AND tile_row = ?",
                     values, 3, data, size);
}

int QueryTileByColumnRow(sqlite3* db, int column, int row, uint8_t** data, uint32_t* size)
{
    const int values[] = {column, row};
    return QueryBlob(db, "SELECT tile_data FROM tiles WHERE tile_column = ? AND tile_row = ?", values, 2, data, size);
}

int QueryTerrainTile(sqlite3* db, const char* suffix, int longitude, uint8_t** data, uint32_t* size)
{
    *data = nullptr;
    *size = 0;
    if (!IsTerrainSuffix(suffix))
        return SQLITE_MISUSE;
    char sql[96];
    snprintf(sql, sizeof sql, "SELECT tile_data FROM terrain_%s WHERE longitude = ?", suffix);
    return QueryBlob(db, sql, &longitude, 1, data, size);
}

int OpenAndQueryZoomColumnRow(int slot, const char* fileName, int zoom, int column, int row, uint8_t** data,
                              uint32_t* size)
{
    return OpenAndQuery(slot, fileName, zoom, column, row, data, size, true);
}

int OpenAndQueryColumnRow(int slot, const char* fileName, int zoom, int column, int row, uint8_t** data,
                          uint32_t* size)
{
    return OpenAndQuery(slot, fileName, zoom, column, row, data, size, false);
}

int ReadTerrainTileFromDb(const char* suffix, int longitude, uint8_t** data, uint32_t* size)
{
    *data = nullptr;
    *size = 0;
    std::lock_guard<std::mutex> hold(TerrainDbLock);
    if (!TerrainDb) {
        char resolved[600];
        ResolvePath(TerrainDbPath, resolved, sizeof resolved);
        if (sqlite3_open_v2(resolved, &TerrainDb, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr) !=
            SQLITE_OK) {
            sqlite3_close(TerrainDb);
            TerrainDb = nullptr;
            return -1;
        }
    }
    int rc = QueryTerrainTile(TerrainDb, suffix, longitude, data, size);
    if ((rc == SQLITE_OK || rc == SQLITE_DONE) && *data && *size > 0)
        return 1;
    free(*data);
    *data = nullptr;
    *size = 0;
    return -1;
}

void CloseTileDatabases()
{
    std::lock_guard<std::mutex> hold(StoreLock);
    for (ChartStore& store : Stores) {
        if (store.db)
            sqlite3_close(store.db);
        store = ChartStore{};
    }
    CloseNavdataDb();
}

void CloseTerrainDatabase()
{
    std::lock_guard<std::mutex> hold(TerrainDbLock);
    if (TerrainDb)
        sqlite3_close(TerrainDb);
    TerrainDb = nullptr;
}

void RebuildMapCatalogue(const std::vector<MapCatalogueRecord>& records)
{
    sqlite3* db = OpenCatalogue(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!db)
        return;
    Exec(db, "DROP TABLE IF EXISTS maps");
    Exec(db, CreateMapsTable);
    Exec(db, "BEGIN TRANSACTION");
    sqlite3_stmt* insert = nullptr;
    const char* sql = "insert into maps (lfd, name, numZoomLevels, lon_min, lat_max, lon_max, lat_min, type, blocal, "
                      "mapindex, extension, airac) values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    if (sqlite3_prepare_v2(db, sql, -1, &insert, nullptr) != SQLITE_OK) {
        WriteLogF("SQL error: %s", sqlite3_errmsg(db));
        fprintf(stderr, "SQL error: %s\n", sqlite3_errmsg(db));
    } else {
        for (const MapCatalogueRecord& r : records) {
            sqlite3_bind_int(insert, 1, r.lfd);
            sqlite3_bind_text(insert, 2, r.name, static_cast<int>(strnlen(r.name, sizeof r.name)), SQLITE_TRANSIENT);
            const int numbers[] = {r.numZoomLevels, r.lon_min, r.lat_max, r.lon_max, r.lat_min, r.type,
                                   r.blocal > 0 ? 1 : 0, r.mapindex};
            for (int i = 0; i < 8; i++)
                sqlite3_bind_int(insert, 3 + i, numbers[i]);
            sqlite3_bind_text(insert, 11, r.extension, static_cast<int>(strnlen(r.extension, sizeof r.extension)),
                              SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 12, r.airac);
            if (sqlite3_step(insert) != SQLITE_DONE) {
                WriteLogF("SQL error: %s", sqlite3_errmsg(db));
                fprintf(stderr, "SQL error: %s\n", sqlite3_errmsg(db));
            }
            sqlite3_reset(insert);
        }
    }
    sqlite3_finalize(insert);
    Exec(db, "END TRANSACTION");
    sqlite3_close(db);
}

bool LoadMapCatalogue(std::vector<MapCatalogueRecord>* records)
{
    // No catalogue kept yet (no server ever answered): nothing to load, which
    // is not a failure.
    if (GetFileAttributesA(CatalogueFile) == INVALID_FILE_ATTRIBUTES)
        return true;
    std::vector<MapCatalogueRecord> rows;
    bool read = SelectRows("select lfd, name, numZoomLevels, lon_min, lat_max, lon_max, lat_min, type, blocal, "
                           "mapindex, extension, airac from maps",
                           [&rows](sqlite3_stmt* s) {
                               MapCatalogueRecord r{};
                               r.lfd = sqlite3_column_int(s, 0);
                               ReadMapCoverage(s, 1, &r);
                               r.blocal = sqlite3_column_int(s, 8) != 0 ? 1 : 0;
                               ReadMapStore(s, 9, &r);
                               rows.push_back(r);
                           });
    if (read)
        *records = std::move(rows);
    return read;
}

bool CompareCatalogueAirac(std::vector<CatalogueUpdate>* updates)
{
    std::vector<CatalogueUpdate> local;
    bool read = SelectRows("select lfd, type, airac from maps", [&local](sqlite3_stmt* s) {
        local.push_back({sqlite3_column_int(s, 0), sqlite3_column_int(s, 1), sqlite3_column_int(s, 2)});
    });
    if (!read) {
        printf("We did not get any data!\n");
        return false;
    }
    bool newer = false;
    for (const CatalogueUpdate& mine : local) {
        for (CatalogueUpdate& update : *updates) {
            if (update.lfd != mine.lfd)
                continue;
            if (mine.airac >= update.airac)
                update.type = -1;
            else
                newer = true;
        }
    }
    return newer;
}

void LoadLocalMaps(std::vector<MapCatalogueRecord>* records)
{
    std::vector<MapCatalogueRecord> rows;
    bool read = SelectRows("select name, numZoomLevels, lon_min, lat_max, lon_max, lat_min, type, mapindex, "
                           "extension, airac from localmaps",
                           [&rows](sqlite3_stmt* s) {
                               MapCatalogueRecord r{};
                               ReadMapCoverage(s, 0, &r);
                               ReadMapStore(s, 7, &r);
                               rows.push_back(r);
                           });
    if (!read) {
        printf("We did not get any data!\n");
        return;
    }
    *records = std::move(rows);
}

void SetMapIndex(int lfd, int mapindex)
{
    sqlite3* db = OpenCatalogue(SQLITE_OPEN_READWRITE);
    if (!db)
        return;
    sqlite3_stmt* update = nullptr;
    if (sqlite3_prepare_v2(db, "update maps set mapindex=? where lfd=?", -1, &update, nullptr) == SQLITE_OK) {
        sqlite3_bind_int(update, 1, mapindex);
        sqlite3_bind_int(update, 2, lfd);
        if (sqlite3_step(update) != SQLITE_DONE)
            fprintf(stderr, "SQL error: %s\n", sqlite3_errmsg(db));
    } else {
        fprintf(stderr, "SQL error: %s\n", sqlite3_errmsg(db));
    }
    sqlite3_finalize(update);
    sqlite3_close(db);
}

int GetMapMaxZoomAt(int type, double latitude, double longitude)
{
    std::lock_guard<std::mutex> hold(CatalogueLock);
    for (const MapCatalogueRecord& record : Catalogue) {
        if (record.type != type || !ContainsStrictly(record, latitude, longitude))
            continue;
        CopyCatalogueText(CurrentMapName, sizeof CurrentMapName, record.name);
        CopyCatalogueText(CurrentMapExtension, sizeof CurrentMapExtension, record.extension);
        LastMaxZoom = strcmp(record.name, "topo_nz") == 0 ? 17 : record.numZoomLevels;
        break;
    }
    return LastMaxZoom;
}

int GetMapMaxZoomAtCenter(int type)
{
    double latitude, longitude;
    GetMapCenter(&latitude, &longitude);
    return GetMapMaxZoomAt(type, latitude, longitude);
}

void GetCurrentMapName(char* out, size_t size)
{
    std::lock_guard<std::mutex> hold(CatalogueLock);
    // No catalogue map found yet: the local map shown names the map.
    if (!CurrentMapName[0]) {
        char local[64];
        GetSelectedLocalMapName(local, sizeof local);
        CopyCatalogueText(CurrentMapName, sizeof CurrentMapName, local);
    }
    snprintf(out, size, "%s", CurrentMapName);
}

void GetCurrentMapExtension(char* out, size_t size)
{
    std::lock_guard<std::mutex> hold(CatalogueLock);
    snprintf(out, size, "%s", CurrentMapExtension);
}

void SetCurrentMapExtension(const char* extension)
{
    std::lock_guard<std::mutex> hold(CatalogueLock);
    CopyCatalogueText(CurrentMapExtension, sizeof CurrentMapExtension, extension);
}

void SetCurrentMap(const char* name, const char* extension)
{
    std::lock_guard<std::mutex> hold(CatalogueLock);
    CopyCatalogueText(CurrentMapName, sizeof CurrentMapName, name);
    CopyCatalogueText(CurrentMapExtension, sizeof CurrentMapExtension, extension);
}

void ResetMapCatalogue()
{
    std::lock_guard<std::mutex> hold(CatalogueLock);
    Catalogue.clear();
    SelectedCatalogue = -1;
    CurrentMapName[0] = '\0';
    snprintf(CurrentMapExtension, sizeof CurrentMapExtension, "jpg");
    LastMaxZoom = 11;
}
