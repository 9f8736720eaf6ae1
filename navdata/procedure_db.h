// The procedure database "Navdata.db" in the Navdata folder: the runways of
// the airports and their departure ("sid"), arrival ("star"), approach
// transition ("apptr") and final approach ("final") procedures, each a list
// of waypoints. The map program only reads it: one connection, opened
// read-write but never created at the first query (and again at a later one
// while the file is missing), kept until CloseNavdataDb. Every value reaches
// the SQL as a bound parameter; procedure tables are named only from the
// four above. Any thread: one lock serialises the connection.
#pragma once

#include "navdata/flight_plan.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One procedure of a runway: its route id and name (at most 11 characters).
struct ProcedureRoute {
    int32_t routeId;
    char name[12];
};

// True for "sid", "star", "apptr" and "final".
bool IsProcedureTable(const char* table);

// The id of the runway (for example "05" or "09L") of the airport, -1 when
// there is none; of several rows the last.
void GetRunwayId(int32_t* id, const char* icao, const char* runwayNumber);
// Every procedure of the runway in the table.
void GetRoutesForRunway(std::vector<ProcedureRoute>* list, int32_t runwayId, const char* table);
// Cuts a name at its first digit and puts "%" there, so that a procedure
// asked for by another revision matches: "DEXE5B" becomes "DEXE%".
void MakeLikePattern(char* name);
// The waypoints of the runway's procedure of that name (by its revision
// pattern when the exact name is missing), in their order, each of kind 5
// and altitude 0. Of several routes of the name the one that comes nearest
// the reference point (longitude, latitude in degrees) is taken. False when
// there is none; the list is then untouched.
bool GetRouteWaypointsByName(std::vector<FlightPlanWaypoint>* list, int32_t runwayId, const char* name,
                             const char* table, double refLon, double refLat);
// Every route of that name (any runway when runwayId is negative), one list
// each in the order found; true when there was one.
bool GetRouteWaypointsByNameAnyRunway(std::vector<std::vector<FlightPlanWaypoint>>* lists, int32_t runwayId,
                                      const char* name, const char* table);
// The waypoints of one route; false (list untouched) for a negative id.
bool GetRouteWaypoints(std::vector<FlightPlanWaypoint>* list, int32_t routeId);
// The runway's true direction (degrees) and length (feet); both untouched
// when the runway is not found.
void GetRunwayDirectionLength(int32_t runwayId, double* direction, double* length);
// Closes the connection; safe to call when it is not open.
void CloseNavdataDb();

// ---- writing, for the navigation-data helper ----

// The schema both the helper and the tests create.
extern const char NavdataDbSchema[];

struct NavdataDbWaypoint {
    std::string name;
    double lat, lon;  // degrees
};
struct NavdataDbRoute {
    std::string table;   // one of IsProcedureTable's
    std::string name;
    std::string runway;  // the runway number it belongs to
    std::vector<NavdataDbWaypoint> waypoints;
};
struct NavdataDbRunway {
    std::string number;
    double direction;   // degrees true
    double lengthFeet;
};
struct NavdataDbAirport {
    std::string icao;
    std::vector<NavdataDbRunway> runways;
    std::vector<NavdataDbRoute> routes;
};

// Writes a new database at path (replacing one that is there) in one
// transaction; routes of a runway the airport lacks are left out. False,
// with the reason in problem, when it cannot be written.
bool WriteNavdataDb(const char* path, const std::vector<NavdataDbAirport>& airports, char* problem,
                    size_t problemSize);
