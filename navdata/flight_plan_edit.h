// Flight-plan editing: the map-click edits that remove the inner waypoint nearest a point or insert
// the navaid or fix nearest a point where it lengthens the route least.
// GUI thread; the plan itself is locked while it changes.
#pragma once

#include "navdata/flight_plan.h"

#include <cstdint>

// Both take the longitude first; distances are plane distances in degrees.
void DeleteNearestWaypoint(double lon, double lat);
void InsertWaypointAt(double lon, double lat);

// Inserts stop at this count, so that an edited plan is saved and read
// back whole.
constexpr int EditablePlanMaxWaypoints = 299;

// ---- the choices, for tests ----

// Plane distance of two (longitude, latitude) points in degrees, the
// longitude difference taken the short way round the date line.
double WrappedDistance2D(double lon1, double lat1, double lon2, double lat2);
// The inner waypoint nearest to the point (the lower index on ties), -1
// when the plan has none.
int32_t NearestInnerWaypoint(const FlightPlanRecord& plan, double lon, double lat);
// Where a point joins the plan (1 .. count - 1): the leg it lengthens least,
// the first on ties.
int32_t BestInsertPosition(const FlightPlanRecord& plan, double lon, double lat);
// The kind an inserted navaid (navaid file kind 2 NDB, 3 VOR family) or fix
// (navaidKind 0) takes in the plan's kind set.
int32_t InsertedKind(uint32_t navaidKind, PlanKindSet kinds);
