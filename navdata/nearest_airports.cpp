// The nearest-airport list and the current airport. Airports are ranked by
// great-circle distance; the list keeps the squared distance in degrees of
// arc, which the NEAREST box turns back into nautical miles.
#include "navdata/nearest_airports.h"

#include "app/settings.h"
#include "navdata/airport_details.h"
#include "navdata/airspaces.h"
#include "navdata/map_centre.h"
#include "navdata/great_circle.h"
#include "navdata/nav_tables.h"
#include "navdata/text_lines.h"
#include "platform/units.h"
#include "render/snapshot.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

static constexpr double SearchRadiusKm = 500.0;
// Nothing farther than sqrt(312.5) degrees of arc (about 1060 nm) is listed.
static constexpr double FarthestSquaredDistance = 312.5;

// GUI thread only.
static NearestAirportEntry nearest[NearestAirportMax + 1];
// The squared chord of each entry: the same order as its distance, and
// cheaper to compare than an angle.
static double nearestChord[NearestAirportMax + 1];
static int32_t nearestCount = 0;
static AirportRecord currentAirport{};
static char lastNearestIcao[10] = "";

static bool QualifiesForNearestList(const AirportRecord& airport)
{
    if (airport.runwayLength * RunwayFeetPerMetre <= Settings.RunwayEmergencyLength)
        return false;
    return (Settings.RunwaySurfaceEmergency & GetAirportSurfaceClass(airport.surface)) != 0;
}

// What the scan needs of each loaded airport, packed so that a band of
// thousands stays in the cache: its point on the unit sphere, or a point far
// off the sphere when its runway keeps it off the list. Rebuilt when the
// table or those settings change.
static std::vector<UnitVector> airportPoints;
static std::vector<UnitVector> candidates;
static constexpr UnitVector NeverListed = {3.0, 3.0, 3.0};
static uint32_t candidatesGeneration = 0;
static double candidatesRunwayLength = -1.0;
static int candidatesSurfaceMask = -1;
static int candidatesDatabase = -1;

static void PrepareCandidates()
{
    uint32_t generation = GetAirportTableGeneration();
    bool sameTable = generation == candidatesGeneration;
    bool sameRules = candidatesRunwayLength == Settings.RunwayEmergencyLength &&
                     candidatesSurfaceMask == Settings.RunwaySurfaceEmergency &&
                     candidatesDatabase == Settings.NavDatabase;
    if (sameTable && sameRules)
        return;
    int32_t count = GetAirportCount();
    airportPoints.resize(count);
    candidates.resize(count);
    for (int32_t i = 0; i < count; ++i) {
        const AirportRecord* a = GetAirport(i);
        if (!sameTable)
            airportPoints[i] = ToUnitVector(AirportLatitude(*a), RecordLongitude(*a));
        candidates[i] = QualifiesForNearestList(*a) ? airportPoints[i] : NeverListed;
    }
    candidatesGeneration = generation;
    candidatesRunwayLength = Settings.RunwayEmergencyLength;
    candidatesSurfaceMask = Settings.RunwaySurfaceEmergency;
    candidatesDatabase = Settings.NavDatabase;
}

// Puts the airport at position j, moving the entries from j on down by one;
// an entry pushed past the tenth drops out.
static void InsertNearest(int32_t j, double chord, const AirportRecord& airport)
{
    int32_t last = nearestCount < NearestAirportMax ? nearestCount : NearestAirportMax - 1;
    for (int32_t k = last; k > j; --k) {
        nearest[k] = nearest[k - 1];
        nearestChord[k] = nearestChord[k - 1];
    }
    double degrees = ChordToAngle(chord) / RadiansPerDegree;
    nearest[j].distance = degrees * degrees;
    nearest[j].airport = airport;
    CopyText(nearest[j].icao, sizeof(nearest[j].icao), airport.icao);
    nearestChord[j] = chord;
    if (nearestCount < NearestAirportMax)
        ++nearestCount;
}

// A tie with entry 0 takes the first place; a tie further down goes behind.
static void OfferNearest(double chord, const AirportRecord& airport)
{
    if (nearestCount == NearestAirportMax && chord >= nearestChord[NearestAirportMax - 1])
        return;  // the common case: farther than the whole list
    if (nearestCount == 0 || chord <= nearestChord[0]) {
        InsertNearest(0, chord, airport);
        return;
    }
    for (int32_t j = 1; j < nearestCount; ++j) {
        if (chord < nearestChord[j]) {
            InsertNearest(j, chord, airport);
            return;
        }
    }
    if (nearestCount < NearestAirportMax)
        InsertNearest(nearestCount, chord, airport);
}

// The squared chord below which an airport would enter the list now.
static double EntryLimit(double farthestChord)
{
    if (nearestCount < NearestAirportMax)
        return farthestChord;
    return std::min(farthestChord, nearestChord[NearestAirportMax - 1]);
}

static void ScanBand(int32_t first, int32_t last, const UnitVector& centre)
{
    // The squared chord of the farthest distance listed; never-listed
    // airports lie beyond it from every point of the sphere.
    static const double farthestChord = [] {
        double half = std::sqrt(FarthestSquaredDistance) * RadiansPerDegree / 2.0;
        return 4.0 * std::sin(half) * std::sin(half);
    }();
    double limit = EntryLimit(farthestChord);
    int32_t end = std::min(last, static_cast<int32_t>(candidates.size()) - 1);
    for (int32_t i = std::max(first, 0); i <= end; ++i) {
        double chord = SquaredChord(candidates[i], centre);
        if (chord < limit) {
            OfferNearest(chord, *GetAirport(i));
            limit = EntryLimit(farthestChord);
        }
    }
}

struct LongitudeBand {
    double west;
    double east;
};

// The bands 500 km either side of the middle of lonA..lonB, split at 180.
static int NearestBands(double centreLat, double lonA, double lonB, LongitudeBand* bands)
{
    double cosLat = std::cos(centreLat / DegreesPerRadian1);
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
    PrepareCandidates();
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

void ResetNearestAirports()
{
    nearestCount = 0;
    for (NearestAirportEntry& entry : nearest)
        entry = NearestAirportEntry{};
    nearest[0].distance = -1.0;
    currentAirport = AirportRecord{};
    lastNearestIcao[0] = '\0';
}
