// Flight-plan files, read and written the same way by the map program and
// TVL64: text plans ("[flightplan]" first), XML .pln plans ("<?xml version="
// first) and the .pln writer. Works on any FlightPlanRecord and calls nothing
// of either program, so both link it as it stands.
//
// A file is untrusted: it is read whole (at most PlanFileMaxBytes), and one
// that cannot be taken as it stands (binary, truncated, an entity
// declaration, a waypoint without a sound position) is refused, the record
// untouched. An XML plan that is not well-formed (a raw '&' in a name) is
// read line by line, one element a line, as the planners that write such
// files do. One that holds more waypoints than its format allows is cut to
// the first ones, and said so.
#pragma once

#include "navdata/flight_plan.h"

#include <cstddef>
#include <cstdint>

constexpr size_t PlanFileMaxBytes = 8u << 20;
// Text plans are read up to this many waypoint lines; XML plans up to
// XmlPlanMaxWaypoints waypoints.
constexpr int TextPlanMaxWaypoints = 100;
constexpr int XmlPlanMaxWaypoints = 299;
// Altitudes (feet) beyond this either way make a waypoint unsound; a cruising
// altitude beyond it reads as 0, as one that is no number.
constexpr double PlanMaxAltitudeFt = 100000.0;

enum PlanFileKind : int {
    PlanFileUnknown = 0,  // the first line names neither format: nothing is read
    PlanFileText = 1,
    PlanFileXml = 2,
};

// What the two programs do differently with a plan they read.
struct PlanReadOptions {
    // Text plans: store each waypoint's altitude and the plan's cruising
    // altitude; without, both keep what the record held.
    bool textAltitudes = true;
    // Inner waypoints at exactly 0 ft take the cruising altitude.
    bool fillZeroAltitudes = true;
    // Finds the position of an XML waypoint given at 0/0 by its ident; null
    // leaves such a waypoint at 0/0.
    bool (*findFix)(const char* ident, double* lat, double* lon) = nullptr;
};

struct PlanReadResult {
    PlanFileKind kind = PlanFileUnknown;
    bool refused = false;  // nothing was taken; problem says why
    bool cut = false;      // more waypoints than the format allows; the first were kept
    char problem[200] = "";
};

// Reads the plan at path into *plan. A refused file (or one of neither
// format) leaves *plan as it was. Otherwise the count, the active index (0),
// the waypoints the file gives and the cruising altitude are replaced; slots
// keep what the file does not give them. present becomes 1 when the plan has
// more than one waypoint and is otherwise left alone. True when a plan of
// more than one waypoint was read.
bool ReadFlightPlanFile(const char* path, FlightPlanRecord* plan, const PlanReadOptions& options,
                        PlanReadResult* result);
// The same over a file image in memory.
bool ReadFlightPlanImage(const char* data, size_t size, FlightPlanRecord* plan, const PlanReadOptions& options,
                         PlanReadResult* result);

// ---- the pieces, for the readers' callers and tests ----

// A line indented with blanks (spaces, not tabs) is taken as UTF-8 and made
// code page 1252 in place; any other line stays as it is.
void NormalizeLine(char* line);

// One waypoint line of a text plan into *waypoint. dialect 1 for plans
// without "AppVersion=9", 2 for those with it. The kind changes only for the
// type letters A, V, I, N; the altitude is stored only with storeAltitude.
// False (waypoint untouched) when the line has no sound position.
bool ParseFs9Waypoint(FlightPlanWaypoint* waypoint, const char* line, int dialect, bool storeAltitude);

// "N49° 50' 37.80\",E9° 16' 19.20\",+025000.00" (code page 1252 degree
// sign): false when the latitude or longitude is missing, not a number or
// out of range; a missing altitude reads 0.
bool ParseWorldPosition(const char* text, double* lat, double* lon, double* altitude);

// ---- the .pln writer ----

// The three texts of the Aerofly FS 2 link that a .pln carries; empty texts
// when there are none.
struct PlnRouteTexts {
    const char* departurePosition = "";
    const char* departureName = "";
    const char* destinationName = "";
};

// Degrees, minutes and seconds of the magnitudes; the signs go with the
// hemisphere letters.
struct DmsAngle {
    int32_t degrees;
    int32_t minutes;
    double seconds;
};
void DegreesToDms(double value, DmsAngle* out);

// The ATCWaypointType a waypoint of a plan is written with.
const char* PlnWaypointType(int32_t kind, PlanKindSet kinds);

// Writes the plan as an AceXML .pln file (".pln" is appended to a path
// without it). The first and last waypoints are written as airports, a plan
// of one waypoint has it once. False, with the reason in problem, when the
// plan has no waypoint or the file cannot be written.
bool WritePlnFile(const char* path, const FlightPlanRecord& plan, PlanKindSet kinds, const PlnRouteTexts& texts,
                  char* problem, size_t problemSize);
