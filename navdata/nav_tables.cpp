// The map program's navigation tables: which file each loader takes, what a
// bad file leaves behind, and the lookups the layers and lists run.
#include "navdata/nav_tables.h"

#include "platform/log.h"
#include "app/settings.h"
#include "navdata/airport_details.h"
#include "navdata/airspaces.h"
#include "navdata/airways.h"
#include "navdata/nav_file_io.h"
#include "navdata/nav_source.h"
#include "navdata/text_lines.h"
#include "navdata/nearest_airports.h"
#include "platform/files.h"
#include "maps/airport_charts.h"

#include <cstdio>
#include <cstring>

uint8_t NavDownloadOffered = 0;

// GUI thread only.
static NavTable<NavaidRecord> navaids;
static bool navaidsPresent = false;
static NavTable<AirportRecord> airports;
static bool airportsLoaded = false;
static uint32_t airportGeneration = 1;
static NavTable<FixRecord> fixes;
static bool fixesLoaded = false;
static NavTable<ObstacleRecord> obstacles;
static bool obstaclesLoaded = false;

static constexpr int PathSize = 512;

template <class Record>
static void ClearTable(NavTable<Record>* table)
{
    NavRecords<Record>().swap(table->records);
    table->index = LongitudeIndex{};
}

static bool PathExists(const char* path)
{
    char resolved[PathSize];
    return ResolvePath(path, resolved, sizeof(resolved));
}

// Reads path into table; false when it cannot be opened. A damaged file
// keeps what was sound in it and leaves a log line.
template <class Record>
static bool LoadTable(const char* path, NavTable<Record>* table)
{
    char problem[160];
    NavFileResult result = ReadNavFile(path, table, problem, sizeof(problem));
    if (result == NavFileDamaged)
        WriteLogF("Navigation file %s damaged: %s", path, problem);
    return result != NavFileMissing;
}

// The first source of `choices` that the source rule picks, with its fallback
// taken when the first file is missing; `otherwise` (and its fallback) when
// the rule picks none.
struct SourceChoice {
    NavSource source;
    NavSource fallback;
};

static void ChooseNavFile(char* path, const SourceChoice* choices, int count, SourceChoice otherwise,
                          const char* file)
{
    SourceChoice pick = otherwise;
    for (int i = 0; i < count; ++i) {
        if (IsNavSourceSelected(choices[i].source)) {
            pick = choices[i];
            break;
        }
    }
    FormatNavdataPath(path, PathSize, pick.source, file);
    if (pick.fallback != pick.source && !PathExists(path))
        FormatNavdataPath(path, PathSize, pick.fallback, file);
}

void LoadNavaids()
{
    if (!CheckForNavData())
        return;
    ClearTable(&navaids);
    navaidsPresent = false;
    static const SourceChoice choices[] = {
        {NavSourceXPL, NavSourceFG},   {NavSourceFG, NavSourceXPL},    {NavSourceP3D, NavSourceFSX},
        {NavSourceMSFS, NavSourceP3D}, {NavSourceFSX, NavSourceP3D},   {NavSourceFS9, NavSourceFSX},
        {NavSourceAFS2, NavSourceMSFS},
    };
    char path[PathSize];
    ChooseNavFile(path, choices, 7, {NavSourceOpenAIP, NavSourceOpenAIP}, "navdat.bin");
    if (!LoadTable(path, &navaids)) {
        ShowFileNotFound(path);
        return;
    }
    navaidsPresent = true;
}

// Airports follow NavDatabase alone, so UseSimulator plays no part here.
static SourceChoice AirportSource()
{
    switch (Settings.NavDatabase) {
    case 1: return {NavSourceXPL, NavSourceFG};
    case 5: return {NavSourceFG, NavSourceXPL};
    case 4: return {NavSourceP3D, NavSourceFSX};
    case 6: return {NavSourceMSFS, NavSourceP3D};
    case 7: return {NavSourceAFS2, NavSourceMSFS};
    case 3: return {NavSourceFSX, NavSourceP3D};
    case 2: return {NavSourceFS9, NavSourceFSX};
    default: return {NavSourceOpenAIP, NavSourceMSFS};
    }
}

void LoadAirports()
{
    ++airportGeneration;
    ClearTable(&airports);
    airportsLoaded = false;
    char path[PathSize];
    ChooseNavFile(path, nullptr, 0, AirportSource(), "apt.bin");
    if (!LoadTable(path, &airports)) {
        ShowFileNotFound(path);
        return;
    }
    airportsLoaded = true;
}

void LoadFixes()
{
    ClearTable(&fixes);
    fixesLoaded = false;
    static const NavSource order[] = {NavSourceMSFS, NavSourceAFS2, NavSourceP3D, NavSourceXPL,
                                      NavSourceFSX,  NavSourceFG,   NavSourceFS9};
    NavSource source = PickNavSource(order, 7);
    char path[PathSize];
    FormatNavdataPath(path, PathSize, source == NavSourceOpenAIP ? NavSourceMSFS : source, "fixdat.bin");
    if (!LoadTable(path, &fixes)) {
        FormatText(path, sizeof(path), "%s/Navdata/fixdat.bin", DataFolder);
        if (!LoadTable(path, &fixes)) {
            ShowFileNotFound(path);
            return;
        }
    }
    fixesLoaded = true;
}

void LoadObstacles()
{
    if (obstaclesLoaded)
        return;
    char path[PathSize];
    FormatText(path, sizeof(path), "%s/Terrain/obsdat.bin", TerrainFolder);
    if (!PathExists(path))
        return;  // obstacles are optional: no message
    if (LoadTable(path, &obstacles))
        obstaclesLoaded = true;
}

void FreeNavdata()
{
    ClearTable(&navaids);
    navaidsPresent = false;
    ClearTable(&airports);
    airportsLoaded = false;
    ++airportGeneration;
    ClearTable(&fixes);
    fixesLoaded = false;
    ClearAirportDetailLoaded();
    FreeAirportDetails();
    ClearAirways();
    FreeAirspaces();
    ClearCurrentAirportIcao();
}

void FreeObstacles()
{
    ClearTable(&obstacles);
    obstaclesLoaded = false;
}

// Commands run this from the GUI loop between frames, on the thread that
// draws, so no frame can be using the tables while they are freed.
void ReloadNavdata()
{
    FreeNavdata();
    LoadNavaids();
    LoadAirports();
    LoadFixes();
    RequestAirspaceReload();
}

template <class Record>
static void TableRange(const NavTable<Record>& table, int32_t* first, int32_t* last, double lonA, double lonB)
{
    FindIndexRange(table.index, table.records.size(), lonA, lonB, first, last);
}

void FindNavaidRange(int32_t* first, int32_t* last, double lonA, double lonB)
{
    *first = *last = -1;
    if (navaidsPresent && fixesLoaded)
        TableRange(navaids, first, last, lonA, lonB);
}

void FindAirportRange(int32_t* first, int32_t* last, double lonA, double lonB)
{
    *first = *last = -1;
    if (airportsLoaded)
        TableRange(airports, first, last, lonA, lonB);
}

void FindFixRange(int32_t* first, int32_t* last, double lonA, double lonB)
{
    TableRange(fixes, first, last, lonA, lonB);
}

void FindObstacleRange(int32_t* first, int32_t* last, double lonA, double lonB)
{
    if (!obstaclesLoaded) {
        *first = 1;
        *last = 0;
        return;
    }
    TableRange(obstacles, first, last, lonA, lonB);
}

LongitudeBands SplitLongitudeBand(double west, double east)
{
    const double justEastOfDateLine = -179.999999;
    if (west < -180.0)
        return {{west + 360.0, justEastOfDateLine}, {180.0, east}, 2};
    if (east > 180.0)
        return {{west, justEastOfDateLine}, {180.0, east - 360.0}, 2};
    return {{west, 0}, {east, 0}, 1};
}

template <class Record>
static const Record* RecordAt(const NavTable<Record>& table, int32_t i)
{
    if (i < 0 || static_cast<size_t>(i) >= table.records.size())
        return nullptr;
    return &table.records[i];
}

const NavaidRecord* GetNavaid(int32_t i) { return RecordAt(navaids, i); }
const AirportRecord* GetAirport(int32_t i) { return RecordAt(airports, i); }
const FixRecord* GetFix(int32_t i) { return RecordAt(fixes, i); }
const ObstacleRecord* GetObstacle(int32_t i) { return RecordAt(obstacles, i); }

int32_t GetNavaidCount() { return static_cast<int32_t>(navaids.records.size()); }
int32_t GetAirportCount() { return static_cast<int32_t>(airports.records.size()); }
int32_t GetFixCount() { return static_cast<int32_t>(fixes.records.size()); }
int32_t GetObstacleCount() { return static_cast<int32_t>(obstacles.records.size()); }
bool IsAirportTableLoaded() { return airportsLoaded; }
uint32_t GetAirportTableGeneration() { return airportGeneration; }
bool IsFixTableLoaded() { return fixesLoaded; }
bool IsObstacleTableLoaded() { return obstaclesLoaded; }

bool GetAirportCenter(const char* icao, float* lat, float* lon)
{
    if (icao == nullptr)
        return false;
    for (const AirportRecord& airport : airports.records) {
        if (std::strcmp(airport.icao, icao) == 0) {
            *lat = static_cast<float>(AirportLatitude(airport));
            *lon = static_cast<float>(RecordLongitude(airport));
            return true;
        }
    }
    return false;
}

bool FindFixByName(const char* ident, double* lat, double* lon)
{
    return FindFixInTable(fixes.records.data(), fixes.records.size(), ident, lat, lon);
}
