// The details of one airport (runways, helipads, pavement, features,
// parking, frequencies, taxiway names), read on demand from the per-letter
// zip archives of the navigation-data source, com.txt and taxi.txt.
// GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct GeoPoint {
    double lat;
    double lon;
};

constexpr int AirportNameSize = 64;

struct AirportHeader {
    int32_t rowCode;       // 1 land airport, 16 seaplane base, 17 heliport
    int32_t elevation;     // feet
    double magVar;         // the header value: magnetic variation, degrees
    char icao[10];
    char names[4][AirportNameSize];  // second identifier, city, name, country
    double lat;
    double lon;
};

// Runway row: "100 length width surface ilsIdent1 ilsFrequency1 <6 points>
// designator1 heading1 ilsFrequency2 designator2 heading2 ilsIdent2". A
// helipad row ("102 size surface name heading <4 corners>") fills length,
// surface, designator1 (its name), heading1 and the corners.
struct RunwayRecord {
    int32_t rowCode;       // 100 land, 101 water, 102 helipad
    double length;         // metres
    double width;          // metres
    int32_t surface;       // 1-based surface code
    char ilsIdent1[8];
    double ilsFrequency1;  // MHz, 0 when none
    // Corners 1..4 (end 1 at corners 1 and 2, end 2 at 3 and 4), a step
    // vector along the runway, and the anchor of the size label.
    GeoPoint points[6];
    char designator1[8];
    double heading1;       // radians, true
    double ilsFrequency2;
    char designator2[8];
    double heading2;
    char ilsIdent2[8];
};

// Row 110: kind 0 a painted line (colour), 2 a white area, others grey.
struct PavementPolygon {
    int32_t rowCode;
    int32_t kind;
    int32_t pointCount;
    int32_t value4;
    double valueA;
    double valueB;
    uint32_t colour;       // kind 0
    double value3;         // other kinds
    char name[AirportNameSize];
    std::vector<GeoPoint> points;
};

// Rows 130 ("130 value count value a b colour name") and 170 ("170 count name").
struct LinearFeature {
    int32_t rowCode;
    int32_t pointCount;
    int32_t value2;
    int32_t value4;
    double valueA;
    double valueB;
    uint32_t colour;
    char name[AirportNameSize];
    std::vector<GeoPoint> points;
};

constexpr int Feature140Points = 6;
struct Feature140 {
    int32_t rowCode;
    int32_t pointCount;    // points kept, at most 6
    GeoPoint points[Feature140Points];
};

struct ParkingRecord {
    double lat;
    double lon;
    double heading;        // degrees
    double size;
    uint32_t colour;
    int32_t number;
    char name[20];
};

struct ComRecord {
    int32_t type;          // 50..56
    int32_t frequency;     // kHz
    char name[32];
};

struct TaxiNameRecord {
    int32_t pointCount;
    char name[20];
    std::vector<GeoPoint> points;
};

constexpr int MaxRunways = 20;
constexpr int MaxHelipads = 20;
constexpr int MaxPavements = 3500;
constexpr int MaxLinearFeatures = 10;
constexpr int MaxFeatures140 = 40;
constexpr int MaxBoundaryPoints = 10;
constexpr int MaxParking = 1000;
constexpr int MaxComRecords = 100;
constexpr int MaxTaxiNames = 5000;

struct AirportDetail {
    AirportHeader header;
    std::vector<RunwayRecord> runways;
    std::vector<RunwayRecord> helipads;
    std::vector<PavementPolygon> pavements;
    std::vector<LinearFeature> linearFeatures;
    std::vector<Feature140> features140;
    std::vector<GeoPoint> boundary;
    std::vector<ParkingRecord> parking;
    std::vector<ComRecord> coms;
    int32_t comTypeCounts[6];   // types 50..55
    int32_t comTypeCountMax;    // the largest of the six
    int32_t comRowCount;        // rows 50..55 of the entry itself
    std::vector<TaxiNameRecord> taxiNames;
    double longestRunway;       // metres
};

// The loaded airport; empty tables while none is loaded.
const AirportDetail& GetAirportDetail();

// Loads the details of icao ("NEAREST": nearest-list entry 0). True when they
// are loaded; an airport without an archive entry shows [Error] text 5.
bool LoadAirportDetails(const char* icao);
bool IsAirportDetailLoaded();
bool AreAirportDetailsReady();
void ClearAirportDetailLoaded();
void FreeAirportDetails();
int32_t GetParkingCount();

// The header row of icao's archive entry: the ICAO as found is written back
// into icao (room for 10 bytes), the header value and the four names (64
// bytes each, underscores as blanks). False when there is no entry.
bool LookupAirportHeader(char* icao, double* headerValue, char* name1, char* name2, char* name3, char* name4);

// The header row of icao's archive entry, without loading the airport.
bool ReadAirportHeader(const char* icao, AirportHeader* header);

// Class bits (1 hard, 2 soft, 4 water) of a runway surface code: entry
// code + 1 of the X-Plane and FlightGear table with NavDatabase 1 or 5,
// else of the general table; 0 for a code outside the table.
int GetRunwaySurfaceClass(int code);
// The class of an AirportRecord's surface code as the nearest list takes it:
// the table of the source's data, indexed by the code itself.
int GetAirportSurfaceClass(uint32_t code);
// The class of an AirportRecord's surface code for the map symbol: the
// X-Plane and FlightGear table for sources 1 and 5, the MSFS table for 6
// and 7, else the general table; 0 for a code outside the table.
int GetSurfaceClassOfSource(int navDatabase, uint32_t code);

// Nautical miles from (lon, lat) to the nearest runway end of the loaded
// airport; elevation gets the airport's. 1.0e6 without runways.
double GetNearestRunwayEndDistance(double lon, double lat, int32_t* elevation);
// Header elevation in feet, or in metres with MetricAltitude, rounded.
int32_t GetAirportElevation();

// Taxiway names of icao from taxi.txt into the loaded details.
void LoadTaxiNames(const char* icao);
