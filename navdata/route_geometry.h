// The flight plan as the map draws it: great-circle legs split into points,
// turns rounded with quadratic Bézier arcs, and the points projected to map
// pixels relative to a reference point, wrapping at the date line. Also the
// distance formulas of the navigation step. GUI thread only.
#pragma once

#include "navdata/flight_plan.h"

#include <cstddef>
#include <vector>

// A point of a route polyline: (longitude, latitude) in degrees for the
// geographic polyline, (x, y) map pixels for the map polyline.
struct RoutePoint {
    double x, y;
};

// Plane distance of two points, used on (longitude, latitude) pairs in
// degrees without any scaling by latitude.
double Distance2D(double x1, double y1, double x2, double y2);
// Haversine distance in nautical miles at 60 nm a degree of arc.
double HaversineNm(double lat1, double lon1, double lat2, double lon2);

// Legs of this length or more are split into trunc(d / 30) parts.
constexpr double RouteSplitNm = 30.0;

// The geographic polyline of count waypoints: the first waypoint, then for
// every leg either its end or, for a leg of RouteSplitNm or more, the points
// along its great circle up to its end.
void BuildGreatCirclePoints(const FlightPlanWaypoint* waypoints, int count, std::vector<RoutePoint>* out);
// Appends the n points at t = k / n (k = 1..n) of the great circle from
// (lat1, lon1) to (lat2, lon2); the last is the end point, as recomputed.
void AppendGreatCircleLeg(double lat1, double lon1, double lat2, double lon2, int n, std::vector<RoutePoint>* out);
// Rounds the turns of a geographic polyline in place.
void SmoothRouteTurns(std::vector<RoutePoint>* points);
// Bézier points a turn of this angle (radians between the two legs) gets:
// 0 for an almost straight course.
int TurnArcPoints(double angle);

// How the caller's map projects: a geographic point to map pixels, and the
// width of its world in map pixels (0 when the map does not wrap at the date
// line). Both are asked at the moment they are needed.
struct MapProjector {
    void (*toMapPixel)(double* x, double* y, double lon, double lat);
    double (*worldWidth)();
};

// One geographic point in map pixels relative to the reference point; dx
// wraps by worldWidth (no wrap when it is 0 or less).
RoutePoint ToMapRelative(const MapProjector& projector, double lat, double lon, double refX, double refY,
                         double worldWidth);
// A map pixel relative to the reference point, with the same wrap.
RoutePoint RelativeToReference(const RoutePoint& pixel, double refX, double refY, double worldWidth);

// The route of the current plan: rebuilds the geographic polyline when
// rebuild is set, then takes (refX, refY) as the reference of the map
// polyline. The points keep their map pixels while the projection stays the
// same (panning moves only the reference); true when they were projected
// anew, because of a rebuild or a new projection (zoom, map type, sheet).
bool BuildRoutePolyline(const MapProjector& projector, const FlightPlanWaypoint* waypoints, int count, bool rebuild,
                        double refX, double refY);
// The map polyline (map pixels relative to the last reference point).
size_t GetRoutePolylineSize();
bool GetRoutePolylinePoint(size_t i, RoutePoint* out);
// The geographic polyline as last rebuilt.
const std::vector<RoutePoint>& GetRouteGeoPolyline();
void ClearRoutePolyline();
