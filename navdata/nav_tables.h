// The four navigation tables of the map program (navaids, airports, fixes,
// obstacles), their loaders, the longitude-range lookups and the look-ups by
// name. GUI thread only: loaded at start-up and on a change of source, read
// by the frame; records must not be kept across ReloadNavdata.
#pragma once

#include "navdata/nav_records.h"

#include <cstdint>

// Set when CheckForNavData started the downloader; the settings reader clears it.
extern uint8_t NavDownloadOffered;

// Makes sure the selected source's navdat.bin exists, running the
// downloader when it does not. True when the data is there or was installed,
// and for the OpenAIP source.
bool CheckForNavData();

void LoadNavaids();
void LoadAirports();
void LoadFixes();
void LoadObstacles();
// Frees navaids, airports and fixes and what hangs on them (airport details,
// airspace points, airways); the current airport's ICAO becomes empty.
void FreeNavdata();
void FreeObstacles();
// FreeNavdata, then navaids, airports and fixes again; airspaces reload.
void ReloadNavdata();

// Record ranges of a longitude band, first..last inclusive (see FindIndexRange):
// -1/-1 when nothing can answer. Navaids answer only once fixes are loaded;
// obstacles answer 1/0 (empty) while not loaded.
void FindNavaidRange(int32_t* first, int32_t* last, double lonA, double lonB);
void FindAirportRange(int32_t* first, int32_t* last, double lonA, double lonB);
void FindFixRange(int32_t* first, int32_t* last, double lonA, double lonB);
void FindObstacleRange(int32_t* first, int32_t* last, double lonA, double lonB);

// The visible band as one or two bands inside -180..180 for the range
// lookups: a view across the antimeridian asks for both sides.
struct LongitudeBands {
    double a[2], b[2];
    int count;
};
LongitudeBands SplitLongitudeBand(double west, double east);

// Record i, null when i is outside the table.
const NavaidRecord* GetNavaid(int32_t i);
const AirportRecord* GetAirport(int32_t i);
const FixRecord* GetFix(int32_t i);
const ObstacleRecord* GetObstacle(int32_t i);

int32_t GetNavaidCount();
int32_t GetAirportCount();
int32_t GetFixCount();
int32_t GetObstacleCount();
bool IsAirportTableLoaded();
// Changes (never to 0) whenever the airport table is loaded or freed.
uint32_t GetAirportTableGeneration();
bool IsFixTableLoaded();
bool IsObstacleTableLoaded();

// Reference point of the first airport whose ICAO equals icao exactly.
bool GetAirportCenter(const char* icao, float* lat, float* lon);
// Position of the first fix, in file order, named ident exactly.
bool FindFixByName(const char* ident, double* lat, double* lon);
