// Flight-plan navigation: one step per frame while a plan is flown. It keeps
// the leg table, the route's map points and symbols, the distance and times
// to the active waypoint and to the destination, the cross-track deviation,
// and hands the steering values back to the link of the simulator in use.
// GUI thread only.
#pragma once

#include "navdata/flight_plan.h"
#include "navdata/route_geometry.h"

#include <cstddef>
#include <cstdint>

struct RouteLegRow {
    double lat, lon;         // degrees
    double legLength;        // nm from the previous waypoint; row 0: the total of all legs
    int32_t altitude;        // feet, truncated
    int32_t terrainElevation;  // feet, or RouteNoTerrain
};
// The terrain value of a waypoint while terrain is off (drawn as "---").
constexpr int32_t RouteNoTerrain = 30000;
extern RouteLegRow RouteLegTable[FlightPlanMaxWaypoints];

// Waypoints of the route as last stepped; 0 hides the route.
extern int32_t RouteCount;
// 1 once a step has completed; the per-frame update clears it in every frame
// in which no step runs, so that the next step rebuilds the route.
extern uint8_t RouteBuilt;
extern int32_t RouteSymbols[FlightPlanMaxWaypoints];

// What the status line and the panels read.
struct GpsStateValues {
    double ActiveLeg = 0;             // index of the active waypoint
    double GpsGroundSpeed = 0;        // knots
    float GpsFilteredGroundSpeed = 0; // knots
    double GpsDistanceNm = -1.0;      // to the active waypoint; -1 when no step ran this frame
    double GpsDistanceMetres = 0;
    double GpsEteWaypoint = 0;        // seconds
    double GpsEteDestination = 0;     // seconds
    double GpsRemainingNm = 0;        // from the active waypoint to the last
    char ActiveWaypointIdent[8] = "";
    char DestinationIdent[8] = "";
    double CrossTrackKm = 0;
};
extern GpsStateValues GpsState;

// The GPS step of a simulator's link, as its row of the simulator facade
// describes it: the map's projection, the reference point in map pixels
// (kept as doubles, which hold a map pixel at every zoom); the two after
// it are not used. Nothing for a UseSimulator value outside 1..8.
void RunGpsStep(const MapProjector& projector, int useSimulator, double refX, double refY, double fx, double fy);

// The per-frame update's part: -1 for the distance before the step, the
// active waypoint the simulator reports, and RouteBuilt cleared in a frame
// without a step.
void BeginGpsFrame();
void SetActiveLegFromSimulator(double index);
void ClearRouteBuilt();

// Aerofly FS 2 reports no active waypoint: the one nearest the map centre,
// or the next once the centre has passed it.
int32_t FindActiveWaypoint();
// The aircraft's distance in km from the great circle of the active leg.
void ComputeCrossTrack();
// True while a plan is active and the aircraft is more than 3 km off its leg.
bool IsCrossTrackExceeded();

// Leg length of row i (haversine) and the running total in row 0.
void UpdateLegDistance(int32_t row);

void GetActiveLeg(int32_t* leg, int32_t* count);
const char* GetActiveWaypointIdent();
void GetDestinationIdent(char* out, size_t size);
// Point i of the route polyline in map pixels from the step's reference.
bool GetRoutePoint(int32_t i, float* x, float* y);
// Waypoint i of the last step: map pixels from the reference, ident (out of
// 9 bytes), sprite slot, altitude and terrain elevation in feet.
bool GetRouteWaypoint(int32_t i, float* x, float* y, char* ident, int32_t* symbol, int32_t* altitude,
                      int32_t* terrainElevation);
void ResetRoute();
int32_t GetWaypointCount();

// Set by the step once the active waypoint is past the departure (index 1 or
// more), and kept until a plan is activated or the simulator is changed, so
// that a link reporting waypoint 0 again does not take it back.
bool IsDeparturePassed();
void ClearDeparturePassed();

// The sprite slot a waypoint kind is drawn with; current for a kind that
// keeps its slot. negativeToZero: the steps that give negative kinds slot 0.
int32_t RouteSymbolOfKind(int32_t kind, PlanKindSet kinds, int32_t current, bool negativeToZero);
