// The procedure loaders of the Aerofly FS 2 link: one route of a procedure
// table of Navdata.db for an airport's runway, the one of the given name
// when the database has it, else the one whose last point lies nearest a
// reference point. The chosen points stay in the loader's list until the
// next load. GUI thread only (the link's plan is completed there).
#pragma once

#include "navdata/flight_plan.h"

#include <vector>

// Fills the SID list from table "sid". False when the runway has no route
// there (the list is then as the name look-up left it) or none of its
// routes has a point.
bool LoadSidProcedure(const char* icao, const char* runway, const char* name, double refLongitude,
                      double refLatitude);
// The same for the table the caller names ("star", "apptr", "final"), into
// the arrival list.
bool LoadArrivalProcedure(const char* icao, const char* runway, const char* name, double refLongitude,
                          double refLatitude, const char* table);

const std::vector<FlightPlanWaypoint>& GetSidPoints();
const std::vector<FlightPlanWaypoint>& GetArrivalPoints();
// The first point of the arrival list; 0 while the list is empty.
double GetArrivalFirstLongitude();
double GetArrivalFirstLatitude();
// Both lists empty, as at the start (tests).
void ResetAeroflyProcedures();
