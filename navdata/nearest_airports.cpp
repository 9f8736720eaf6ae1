// The nearest-airport list and the current airport. Airports are ranked by
// great-circle distance; the list keeps the squared distance in degrees of
// arc, which the NEAREST box turns back into nautical miles.
#include "navdata/nearest_airports.h"

#include "app/settings.h"
#include "navdata/airport_details.h"
#include "navdata/foreign_calls.h"
#include "navdata/great_circle.h"
#include "navdata/nav_tables.h"
#include "navdata/text_lines.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

static constexpr double SearchRadiusKm = 500.0;
// Nothing farther than sqrt(312.5) degrees of arc (about 1060 nm) is listed.
static constexpr double FarthestSquaredDistance = 312.5;

// GUI thread only.
static NearestAirportEntry nearest[NearestAirportMax + 1];
static int32_t nearestCount = 0;
static AirportRecord currentAirport{};
static char lastNearestIcao[10] = "";

// Unit vectors of the loaded airports, rebuilt when the table changes.
static std::vector<UnitVector> airportVectors;
static uint32_t vectorsGeneration = 0;

static void PrepareAirportVectors()
{
    uint32_t generation = GetAirportTableGeneration();
    if (generation == vectorsGeneration)
        return;
    int32_t count = GetAirportCount();
    airportVectors.resize(count);
    for (int32_t i = 0; i < count; ++i) {
        const AirportRecord* a = GetAirport(i);
        airportVectors[i] = ToUnitVector(AirportLatitude(*a), RecordLongitude(*a));
    }
    vectorsGeneration = generation;
}

static bool QualifiesForNearestList(const AirportRecord& airport)
{
    if (airport.runwayLength * 3.2803 <= Settings.RunwayEmergencyLength)
        return false;
    return (Settings.RunwaySurfaceEmergency & GetAirportSurfaceClass(airport.surface)) != 0;
}

// Puts the airport at position j, moving the entries from j on down by one;
// an entry pushed past the tenth drops out.
static void InsertNearest(int32_t j, double distance, const AirportRecord& airport)
{
    int32_t last = nearestCount < NearestAirportMax ? nearestCount : NearestAirportMax - 1;
    for (int32_t k = last; k > j; --k)
        nearest[k] = nearest[k - 1];
    nearest[j].distance = distance;
    nearest[j].airport = airport;
    CopyText(nearest[j].icao, sizeof(nearest[j].icao), airport.icao);
    if (nearestCount < NearestAirportMax)
        ++nearestCount;
}

// A tie with entry 0 takes the first place; a tie further down goes behind.
static void OfferNearest(double distance, const AirportRecord& airport)
{
    if (nearestCount == 0 || distance <= nearest[0].distance) {
        InsertNearest(0, distance, airport);
        return;
    }
    for (int32_t j = 1; j < nearestCount; ++j) {
        if (distance < nearest[j].distance) {
            InsertNearest(j, distance, airport);
            return;
        }
    }
    if (nearestCount < NearestAirportMax)
        InsertNearest(nearestCount, distance, airport);
}

static void ScanBand(int32_t first, int32_t last, const UnitVector& centre)
{
    for (int32_t i = first; i <= last; ++i) {
        const AirportRecord* airport = GetAirport(i);
        if (airport == nullptr || !QualifiesForNearestList(*airport))
            continue;
        double degrees = ChordToAngle(SquaredChord(airportVectors[i], centre)) / RadiansPerDegree;
        double squared = degrees * degrees;
        if (squared < FarthestSquaredDistance)
            OfferNearest(squared, *airport);
    }
}

struct LongitudeBand {
    double west;
    double east;
};

// The bands 500 km either side of the middle of lonA..lonB, split at 180.
static int NearestBands(double centreLat, double lonA, double lonB, LongitudeBand* bands)
{
    double cosLat = std::cos(centreLat / 57.3);
    double half = cosLat > 1e-9 ? SearchRadiusKm / (111.1 * cosLat) : 360.0;
    if (!(half < 180.0)) {
        bands[0] = {-179.999999, 180.0};
        return 1;
    }
    double mid = (lonA + lonB) / 2.0;
    double lonMin = mid - half;
    double lonMax = mid + half;
    if (lonMin > -180.0) {
        if (lonMax > 180.0) {
            bands[0] = {lonMin, 179.0};
            bands[1] = {-179.0, lonMax - 360.0};
            return 2;
        }
        bands[0] = {lonMin, lonMax};
        return 1;
    }
    bands[0] = {lonMin + 360.0, 179.0};
    bands[1] = {-179.0, lonMax > 180.0 ? lonMax - 360.0 : lonMax};
    return 2;
}

void FindNearestAirportsAround(double centreLat, double centreLon, double lonA, double lonB)
{
    if (!IsAirportTableLoaded())
        return;
    LongitudeBand bands[2];
    int bandCount = NearestBands(centreLat, lonA, lonB, bands);
    int32_t first[2];
    int32_t last[2];
    for (int b = 0; b < bandCount; ++b)
        FindAirportRange(&first[b], &last[b], bands[b].west, bands[b].east);
    if (first[0] < 0)
        return;

    nearestCount = 0;
    nearest[0].distance = -1.0;
    PrepareAirportVectors();
    UnitVector centre = ToUnitVector(centreLat, centreLon);
    for (int b = 0; b < bandCount; ++b)
        if (first[b] >= 0)
            ScanBand(first[b], last[b], centre);
}

void FindNearestAirports(double lonA, double lonB)
{
    double lat = 0.0;
    double lon = 0.0;
    GetMapCenter(&lat, &lon);
    FindNearestAirportsAround(lat, lon, lonA, lonB);
}

int32_t GetNearestAirportCount()
{
    return nearestCount;
}

const char* GetNearestAirportIcao(int32_t i)
{
    if (nearestCount == 0 || nearest[0].distance < 0.0) {
        double lat = 0.0;
        double lon = 0.0;
        GetMapCenter(&lat, &lon);
        FindNearestAirportsAround(lat, lon, lon - 1.0, lon + 1.0);
    }
    if (i < 0 || i >= nearestCount)
        return "";
    return nearest[i].icao;
}

const char* GetNearestAirportList()
{
    return nearest[0].icao;
}

const NearestAirportEntry* GetNearestAirportEntry(int32_t i)
{
    return (i >= 0 && i < nearestCount) ? &nearest[i] : nullptr;
}

const AirportRecord* GetNearestAirportRecord()
{
    return &nearest[0].airport;
}

double GetNearestAirportDistance()
{
    return nearestCount > 0 ? nearest[0].distance : -1.0;
}

void SelectNearestAirport(int32_t i)
{
    if (i < 0 || i >= nearestCount || nearest[i].distance < 0.0) {
        CopyText(currentAirport.icao, sizeof(currentAirport.icao), "---");
        return;
    }
    if (std::strcmp(currentAirport.icao, nearest[i].icao) != 0)
        InvalidateSnapshot();
    currentAirport = nearest[i].airport;
}

void SelectAirport(char* icao)
{
    if (icao == nullptr)
        return;
    for (char* p = icao; *p; ++p)
        *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    for (int32_t i = 0; i < GetAirportCount(); ++i) {
        const AirportRecord* airport = GetAirport(i);
        if (std::strcmp(airport->icao, icao) == 0) {
            currentAirport = *airport;
            break;
        }
    }
    LoadAirportDetails(icao);
    ClearAirspaceSelection();
}

const AirportRecord* GetCurrentAirport()
{
    const char* loaded = GetAirportDetail().header.icao;
    if (loaded[0] != '\0' && std::strcmp(currentAirport.icao, loaded) != 0) {
        char icao[10];
        CopyText(icao, sizeof(icao), loaded);
        SelectAirport(icao);
    }
    return &currentAirport;
}

void ClearCurrentAirportIcao()
{
    currentAirport.icao[0] = '\0';
}

void SetLastNearestIcao(const char* icao)
{
    CopyText(lastNearestIcao, sizeof(lastNearestIcao), icao ? icao : "");
}

const char* GetLastNearestIcao()
{
    return lastNearestIcao;
}
