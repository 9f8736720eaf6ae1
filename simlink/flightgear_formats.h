// The text formats FlightGear hands the map program: the aircraft and AI
// datagrams of its generic protocol (fields separated by ";") and the route
// manager's file. Pure parsing, no state: the link, its test peer and the
// fuzzer share it.
//
// Fields are positional: an empty field is an empty field, so one empty text
// never moves the fields after it. FlightGear does not escape its separator,
// so a callsign with a ";" arrives in pieces: the callsign takes as many as
// leave the numbers after it in place. A value FlightGear could not work
// out ("inf", "nan") reads as 0, but a position must be a number. A line
// may end early (a protocol definition of fewer fields): what it does not
// carry keeps its value. A line without its position, or whose numbers are
// not numbers, is dropped whole.
#pragma once

#include "navdata/flight_plan.h"
#include "simlink/link_drops.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Bytes of one aircraft datagram and one AI datagram the link reads.
constexpr size_t FlightGearDatagramMax = 1023;
constexpr size_t FlightGearAiDatagramMax = 3999;
constexpr int FlightGearButtonCount = 32;
// Fields of an aircraft datagram; the last, the route path, may be missing.
constexpr int FlightGearFieldCount = 55;
// Fields up to the latitude: fewer, and the line is of no use.
constexpr size_t FlightGearPositionFields = 4;
constexpr size_t FlightGearRoutePathSize = 1024;
// Fields of one aircraft in an AI datagram.
constexpr int FlightGearAiRecordFields = 7;

// One aircraft datagram, field by field.
struct FlightGearAircraftReport {
    float altitude;           // 1, feet
    float groundAltitude;     // 2, metres
    float longitude;          // 3
    float latitude;           // 4
    float heightAboveGround;  // 5, feet
    float trueHeading;        // 6
    float groundSpeed;        // 7, knots
    float windDirection;      // 8
    float windSpeed;          // 9
    float temperature;        // 10
    float magneticVariation;  // 11
    float verticalSpeed;      // 12
    float pitch;              // 13
    float bank;               // 14
    float waypointDistance;   // 15
    float ete;                // 16
    int32_t waypointIndex;    // 17
    int32_t weather;          // 18
    int32_t spare;            // 19, kept, not used
    char callsign[20];        // 20
    char aircraft[50];        // 21
    char nearestAirport[12];  // 22
    int32_t firstButton;      // 23..54: the first pressed one, 0-based; -1 none
    bool hasRoutePath;        // 55 arrived (it may be empty)
    char routePath[FlightGearRoutePathSize];
    int fieldsArrived;        // fields 1..this came with the line
};

// Parses the text (length bytes; it ends at the first NUL too) into report:
// the fields the line carries replace report's, the others keep their
// values; buttons and the route path count only when they came. On a drop
// report is unchanged. Texts are cut to their fields and control characters
// become spaces.
LinkDrop ParseFlightGearAircraft(const char* text, size_t length, FlightGearAircraftReport* report);

// One aircraft of an AI datagram.
struct FlightGearAiRecord {
    char callsign[32];
    double trueHeading;  // degrees
    double altitude;     // feet
    double latitude;
    double longitude;
    uint32_t id;
};

// Parses "n;callsign;heading;altitude;latitude;longitude;id;x;..." into at
// most maxRecords records; x, the seventh field, must be there but says
// nothing. Of the n records, those the text holds whole are read (a record
// the text ends in is not), each on the earth (OffTheEarth otherwise).
// Records at 0/0 (places not filled, or aircraft not placed yet) and
// records with a negative id (aircraft that have gone, sent at their last
// place) are left out. *stored: the records kept; *announced: n (0 or
// less: the datagram carries nothing).
LinkDrop ParseFlightGearAi(const char* text, size_t length, FlightGearAiRecord* out, int maxRecords, int* stored,
                           int* announced);

// The UTC time datagram the map sends for the weather: "YYYY-MM-DDTHH:MM:SS\n"
// without a NUL; returns its length (out holds at least 21 bytes).
size_t FormatFlightGearTime(int64_t calendarSeconds, char* out, size_t size);

// Finds an airport's reference point by ICAO code.
typedef bool (*AirportCenterLookup)(const char* icao, float* latitude, float* longitude);

// How much of a route manager file is read at most: far more than a route
// of 300 waypoints takes.
constexpr size_t FlightGearRouteMaxBytes = 2 * 1024 * 1024;
constexpr size_t FlightGearRouteMaxLines = 60000;

// Reads a route manager file line by line (pieces of at most 127
// characters, no more than the limits above) into plan: the departure airport (when lookup knows it), the
// waypoints with a position, and the destination airport. The airports the
// route lists again as its first and last waypoints are not repeated.
// Cruising altitude: the highest of the route's cruise altitude and its
// waypoints' altitudes. On success the plan is present with its
// count and active index 0. Incomplete: the file ended inside the route;
// FileTooLarge: it went on past the limits; UnknownDestination: no
// destination the lookup knows. plan's count and
// present are then as they were, its waypoints may not be.
LinkDrop ScanFlightGearRoute(FILE* file, AirportCenterLookup lookup, FlightPlanRecord* plan);
