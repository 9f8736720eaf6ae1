// The ten airports nearest to the map centre, the current airport, and the
// selection of an airport by ICAO. GUI thread only.
#pragma once

#include "navdata/nav_records.h"

#include <cstdint>

constexpr int NearestAirportMax = 10;

struct NearestAirportEntry {
    double distance;  // squared great-circle distance in degrees of arc; -1 empty
    AirportRecord airport;
    char icao[10];
};

// Refills the list around the map centre from the airports within 500 km
// east and west of the middle of lonA..lonB.
void FindNearestAirports(double lonA, double lonB);
// The same around a given centre.
void FindNearestAirportsAround(double centreLat, double centreLon, double lonA, double lonB);

int32_t GetNearestAirportCount();
// Entry i's ICAO; "" past the list. An empty list is refilled first with the
// band of the map centre's longitude -1 to +1.
const char* GetNearestAirportIcao(int32_t i);
// Entry 0's ICAO.
const char* GetNearestAirportList();
const NearestAirportEntry* GetNearestAirportEntry(int32_t i);
const AirportRecord* GetNearestAirportRecord();
// Entry 0's distance: square it back with sqrt and x 60 for nautical miles.
double GetNearestAirportDistance();

// Entry i becomes the current airport (details are not loaded); an empty
// entry makes the current ICAO "---".
void SelectNearestAirport(int32_t i);
// Upper-cases icao in place, makes its record current, loads its details.
void SelectAirport(char* icao);
// The current airport, brought in line with the loaded details first.
const AirportRecord* GetCurrentAirport();
void ClearCurrentAirportIcao();

void SetLastNearestIcao(const char* icao);
const char* GetLastNearestIcao();
// An empty list and no current or last airport, as at the start (tests).
void ResetNearestAirports();
