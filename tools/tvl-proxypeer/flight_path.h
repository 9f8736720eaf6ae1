// The scripted flight of the proxy-protocol peer: a circle or a straight
// leg at a given speed around a given position, and AI traffic circling it.
#pragma once

#include <string>

struct FlightPathSettings {
    double latitude = 53.636666667;  // centre of the circle, start of the leg
    double longitude = 10.001;
    bool circle = true;
    double radiusNm = 2.0;
    double speedKt = 120.0;
    double headingDeg = 90.0;  // the leg's course
    double legSeconds = 0.0;   // the aircraft stops at the leg's end; 0: no end
    double altitudeFt = 3000.0;
    int trafficRings = 1;      // traffic circles, 3 nm apart
};

// The usage lines of the path's options.
extern const char PathOptionsUsage[];
// One option of the path with its number: --lat, --lon, --circle (its
// radius), --leg (its course), --leg-time, --speed, --altitude; false for
// any other name.
bool SetPathOption(const std::string& name, double value, FlightPathSettings* path);

struct PathPoint {
    double latitude;
    double longitude;
    double headingDeg;  // true course over the ground, 0..360
};

// Where the aircraft is t seconds after the start.
PathPoint PathPosition(const FlightPathSettings& path, double t);

// Whether the aircraft still moves t seconds after the start.
bool PathMoving(const FlightPathSettings& path, double t);

// The flight plan along the path: nine points once round the circle (the
// first and the last at the start), or five along the first 20 nm of the leg.
int PlanPointCount(const FlightPathSettings& path);
PathPoint PlanPoint(const FlightPathSettings& path, int i);

// What the simulator's GPS tells about the plan t seconds after the start:
// the next plan point ahead, the way to it and to the plan's last point, and
// the times at the ground speed flown (0 while the aircraft stands).
struct PlanGuidance {
    int activeIndex;
    double waypointDistanceM;
    double destinationDistanceM;
    double waypointEteS;
    double destinationEteS;
};
PlanGuidance GuidanceAlongPlan(const FlightPathSettings& path, double t);

// Great-circle distance in metres.
double DistanceMetres(double lat1, double lon1, double lat2, double lon2);

// Traffic aircraft i of n at time t: on wider circles around the centre (one
// in turn to each ring), spread evenly, flying the other way round.
PathPoint TrafficPosition(const FlightPathSettings& path, int i, int n, double t);

// Moves a point by north and east metres.
void OffsetPosition(double latitude, double longitude, double northM, double eastM, double* outLatitude,
                    double* outLongitude);
