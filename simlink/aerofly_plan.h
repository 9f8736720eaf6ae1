// Completing the plan Aerofly FS 2 sends (departure, route, destination)
// into a whole FlightPlan: the extended runway point, the SID, the STAR, the
// approach transition and the final approach from Navdata.db, or a computed
// approach point where the database has no arrival. GUI thread only: the
// airport archive's header look-up shares the GUI thread's entry buffer.
#pragma once

#include "navdata/airport_details.h"
#include "navdata/flight_plan.h"
#include "simlink/aerofly_protocol.h"
#include "simlink/link_drops.h"

// The four name texts of an airport's archive header; the third is its name.
struct AeroflyNameSet {
    char texts[4][AirportNameSize];
};

// Moves (longitude, latitude) along the runway's direction by factor runway
// lengths (direction -1: against it) and fills names from the airport's
// header. A runway the database lacks moves nothing.
void OffsetPositionByDistance(const char* icao, const char* runway, double* longitude, double* latitude,
                              double direction, double factor, AeroflyNameSet* names);

// Fills plan (present, count, active index 1, waypoints; the rest stays)
// from a message whose present byte is set. The names of both airports go
// to the two sets; leftOut (when not null) gets the first kind of piece the
// plan had to go without: a name the database lacks, points past the plan's
// room.
void BuildAeroflyPlan(const AeroflyPlanMessage& message, FlightPlanRecord* plan, AeroflyNameSet* departureNames,
                      AeroflyNameSet* destinationNames, LinkDrop* leftOut);
