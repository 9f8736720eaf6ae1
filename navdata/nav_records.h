// Record layouts of the binary navigation files (navdat.bin, apt.bin,
// fixdat.bin, obsdat.bin) and the longitude index that ends each file.
// A file is: i32 count, count records sorted by longitude, 360 x u32 index.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int LongitudeSlots = 360;

// Slot i holds the index of the first record whose slot is i or more, so a
// degree without records points at the next record (or at the count).
struct LongitudeIndex {
    uint32_t first[LongitudeSlots];
};
static_assert(sizeof(LongitudeIndex) == 1440);

#pragma pack(push, 1)
struct NavaidRecord {
    uint32_t kind;       // 2 NDB, 3 VOR family, 4 LOC with GS, 5 LOC, 7..9 markers, 12/13 DME
    int32_t subKind;     // kind 3: 1 VOR, 2 VOR-DME, 3 VORTAC
    double lat;
    double lon;
    uint8_t reserved1[4];
    int32_t frequency;   // kind 2: hundredths of kHz; others: kHz
    int32_t featherLength;
    uint8_t reserved2[4];
    double angle;        // kind 3: rose rotation; kinds 4, 5: true course
    double magVar;       // magnetic course = true course + magVar
    char ident[5];
    char extra1[10];
    char extra2[4];
    char name[53];
};

struct AirportRecord {
    uint32_t kind;       // 1 land airport, 16 seaplane base, 17 heliport
    uint8_t reserved1[4];
    double lonA;         // the two longitude bounds of the extent
    double lonB;
    double latA;         // the two latitude bounds
    double latB;
    double runwayDirection;  // longest runway, radians
    double runwayLength;     // longest runway, metres
    uint32_t surface;        // longest runway, index into the surface class tables
    char runwayEnd1[6];      // end designators of the longest runway
    char runwayEnd2[6];
    char icao[16];
};

struct FixRecord {
    double lat;
    double lon;
    char name[8];
};

struct ObstacleRecord {
    double lat;
    double lon;
    int32_t height;      // feet above ground
    int32_t topElevation;  // feet
    char type;           // 'D', 'H', 'M', 'S' pick the second symbol of a pair
    uint8_t reserved[7];
};
#pragma pack(pop)

static_assert(sizeof(NavaidRecord) == 128);
static_assert(offsetof(NavaidRecord, frequency) == 28);
static_assert(offsetof(NavaidRecord, angle) == 40);
static_assert(offsetof(NavaidRecord, ident) == 56);
static_assert(offsetof(NavaidRecord, extra1) == 61);
static_assert(offsetof(NavaidRecord, extra2) == 71);
static_assert(offsetof(NavaidRecord, name) == 75);
static_assert(sizeof(AirportRecord) == 88);
static_assert(offsetof(AirportRecord, lonA) == 8);
static_assert(offsetof(AirportRecord, runwayDirection) == 40);
static_assert(offsetof(AirportRecord, surface) == 56);
static_assert(offsetof(AirportRecord, runwayEnd1) == 60);
static_assert(offsetof(AirportRecord, icao) == 72);
static_assert(sizeof(FixRecord) == 24);
static_assert(sizeof(ObstacleRecord) == 32);
static_assert(offsetof(ObstacleRecord, type) == 24);

// Slot of a longitude: truncated toward zero, plus 179; -1 when outside 0..359
// (so -180 itself, NaN and anything beyond +-180 have none).
inline int LongitudeSlot(double lon)
{
    if (!(lon > -181.0 && lon <= 180.0))
        return -1;
    int slot = static_cast<int>(lon) + 179;
    return (slot >= 0 && slot < LongitudeSlots) ? slot : -1;
}

// The longitude a record is sorted and indexed by; an airport's is the mean of
// its two bounds (its reference point).
inline double RecordLongitude(const NavaidRecord& r) { return r.lon; }
inline double RecordLongitude(const FixRecord& r) { return r.lon; }
inline double RecordLongitude(const ObstacleRecord& r) { return r.lon; }
inline double RecordLongitude(const AirportRecord& r) { return (r.lonA + r.lonB) / 2.0; }

inline double AirportLatitude(const AirportRecord& r) { return (r.latA + r.latB) / 2.0; }
