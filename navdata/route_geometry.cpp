// Route geometry: great-circle splitting in gnomonic projections, Bézier
// turns, and the projection of the route to map pixels.
#include "navdata/route_geometry.h"

#include "navdata/great_circle.h"
#include "platform/units.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double NmPerDegreeOfArc = 60.0;

std::vector<RoutePoint> GeoPolyline;
// The geographic points in map pixels of the projection they were made in,
// and what they are handed out relative to.
std::vector<RoutePoint> MapPolyline;
std::vector<RoutePoint> ProjectionProbes;
RoutePoint Reference{0, 0};
double WorldWidth = 0;

double Rad(double degrees) { return degrees / DegreesPerRadian5; }
double Deg(double radians) { return radians * DegreesPerRadian5; }

// lon2 moved by whole turns to lie within half a turn of lon1.
double Unwrapped(double lon1, double lon2)
{
    return lon1 + WrapLongitude(lon2 - lon1);
}

// The north or south polar gnomonic projection: r = tan of the angle from
// the pole. sign +1 north, -1 south.
RoutePoint PolarProject(double lat, double lon, double sign)
{
    double r = std::tan(Rad(90.0 - sign * lat));
    return {r * std::sin(Rad(lon)), r * std::cos(Rad(lon))};
}

RoutePoint PolarBack(const RoutePoint& p, double sign)
{
    double lon = Deg(std::atan2(p.x, p.y));
    if (lon < 0)
        lon += 360.0;
    if (lon > 180.0)
        lon -= 360.0;
    double r = std::hypot(p.x, p.y);
    return {lon, sign * (90.0 - Deg(std::atan(r)))};
}

// Points along the great circle by spherical interpolation, for legs no
// gnomonic projection can hold (a quarter turn or more from its centre).
void AppendSlerpLeg(double lat1, double lon1, double lat2, double lon2, int n, std::vector<RoutePoint>* out)
{
    UnitVector a = ToUnitVector(lat1, lon1), b = ToUnitVector(lat2, lon2);
    double dot = std::clamp(a.x * b.x + a.y * b.y + a.z * b.z, -1.0, 1.0);
    double omega = std::acos(dot);
    double s = std::sin(omega);
    for (int k = 1; k <= n; ++k) {
        double t = static_cast<double>(k) / n;
        double wa = s > 1e-12 ? std::sin((1 - t) * omega) / s : 1 - t;
        double wb = s > 1e-12 ? std::sin(t * omega) / s : t;
        double x = wa * a.x + wb * b.x, y = wa * a.y + wb * b.y, z = wa * a.z + wb * b.z;
        out->push_back({Deg(std::atan2(y, x)), Deg(std::atan2(z, std::hypot(x, y)))});
    }
}

}  // namespace

double Distance2D(double x1, double y1, double x2, double y2)
{
    return std::sqrt((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2));
}

double HaversineNm(double lat1, double lon1, double lat2, double lon2)
{
    double dLat = Rad(lat1 - lat2) / 2, dLon = Rad(lon1 - lon2) / 2;
    double a = std::sin(dLat) * std::sin(dLat) + std::cos(Rad(lat1)) * std::cos(Rad(lat2)) * std::sin(dLon) * std::sin(dLon);
    return 2.0 * std::asin(std::sqrt(std::clamp(a, 0.0, 1.0))) * NmPerDegreeOfArc * DegreesPerRadian5;
}

void AppendGreatCircleLeg(double lat1, double lon1, double lat2, double lon2, int n, std::vector<RoutePoint>* out)
{
    if (n < 1)
        return;
    if (lat1 >= 10 && lat2 >= 10) {
        RoutePoint a = PolarProject(lat1, lon1, 1), b = PolarProject(lat2, lon2, 1);
        for (int k = 1; k <= n; ++k) {
            double t = static_cast<double>(k) / n;
            out->push_back(PolarBack({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)}, 1));
        }
        return;
    }
    if (lat1 <= -10 && lat2 <= -10) {
        RoutePoint a = PolarProject(lat1, lon1, -1), b = PolarProject(lat2, lon2, -1);
        for (int k = 1; k <= n; ++k) {
            double t = static_cast<double>(k) / n;
            out->push_back(PolarBack({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)}, -1));
        }
        return;
    }
    // Equatorial projection centred between the ends, measured the short
    // way round so that a leg across the date line stays on its side.
    double end = Unwrapped(lon1, lon2);
    double m = (lon1 + end) / 2;
    if (std::fabs(lon1 - m) >= 89.0) {
        AppendSlerpLeg(lat1, lon1, lat2, lon2, n, out);
        return;
    }
    double x1 = std::tan(Rad(lon1 - m)), y1 = std::tan(Rad(lat1)) / std::cos(Rad(lon1 - m));
    double x2 = std::tan(Rad(end - m)), y2 = std::tan(Rad(lat2)) / std::cos(Rad(end - m));
    for (int k = 1; k <= n; ++k) {
        double t = static_cast<double>(k) / n;
        double x = x1 + t * (x2 - x1), y = y1 + t * (y2 - y1);
        double lon = Deg(std::atan(x)) + m;
        double lat = Deg(std::atan(std::cos(std::atan(x)) * y));
        out->push_back({WrapLongitude(lon), lat});
    }
}

void BuildGreatCirclePoints(const FlightPlanWaypoint* waypoints, int count, std::vector<RoutePoint>* out)
{
    out->clear();
    for (int i = 0; i < count; ++i) {
        const FlightPlanWaypoint& w = waypoints[i];
        if (i == 0) {
            out->push_back({w.lon, w.lat});
            continue;
        }
        const FlightPlanWaypoint& p = waypoints[i - 1];
        double d = GreatCircleDistanceNm(w.lat, w.lon, p.lat, p.lon);
        if (!(d >= RouteSplitNm))
            out->push_back({w.lon, w.lat});
        else
            AppendGreatCircleLeg(p.lat, p.lon, w.lat, w.lon, static_cast<int>(d / RouteSplitNm), out);
    }
}

int TurnArcPoints(double angle)
{
    if (angle >= 3.0)
        return 0;
    return (std::fabs(angle) < 1.57 ? 7 : 5) + 1;
}

void SmoothRouteTurns(std::vector<RoutePoint>* points)
{
    std::vector<RoutePoint>& p = *points;
    if (p.size() < 3)
        return;
    std::vector<RoutePoint> out;
    out.reserve(p.size() * 4);
    out.push_back(p[0]);
    for (size_t i = 1; i + 1 < p.size(); ++i) {
        // Neighbours taken the short way round, so a turn at the date line
        // is measured and rounded where it is.
        RoutePoint prev = {Unwrapped(p[i].x, p[i - 1].x), p[i - 1].y};
        RoutePoint next = {Unwrapped(p[i].x, p[i + 1].x), p[i + 1].y};
        double ux = next.x - p[i].x, uy = next.y - p[i].y;
        double wx = prev.x - p[i].x, wy = prev.y - p[i].y;
        double lengths = std::hypot(ux, uy) * std::hypot(wx, wy);
        if (!(lengths > 0)) {
            out.push_back(p[i]);  // a repeated point has no turn
            continue;
        }
        double angle = std::acos(std::clamp((ux * wx + uy * wy) / lengths, -1.0, 1.0));
        if (angle > Pi4)
            angle -= Pi4;
        int arc = TurnArcPoints(angle);
        if (arc == 0) {
            out.push_back(p[i]);
            continue;
        }
        int n = arc - 1;
        double d1 = GreatCircleDistanceNm(p[i].y, p[i].x, prev.y, prev.x);
        double f1 = d1 > 4 ? 2 / d1 : 0.5;
        double d2 = GreatCircleDistanceNm(next.y, next.x, p[i].y, p[i].x);
        double f2 = d2 > 4 ? 2 / d2 : 0.5;
        RoutePoint q0 = {f1 * prev.x + (1 - f1) * p[i].x, f1 * prev.y + (1 - f1) * p[i].y};
        RoutePoint q1 = p[i];
        RoutePoint q2 = {(1 - f2) * p[i].x + f2 * next.x, (1 - f2) * p[i].y + f2 * next.y};
        for (int k = 0; k <= n; ++k) {
            double t = static_cast<double>(k) / n;
            double x = (1 - t) * ((1 - t) * q0.x + t * q1.x) + t * ((1 - t) * q1.x + t * q2.x);
            double y = (1 - t) * ((1 - t) * q0.y + t * q1.y) + t * ((1 - t) * q1.y + t * q2.y);
            out.push_back({WrapLongitude(x), y});
        }
    }
    out.push_back(p.back());
    p.swap(out);
}

RoutePoint RelativeToReference(const RoutePoint& pixel, double refX, double refY, double worldWidth)
{
    double dx = pixel.x - refX;
    if (worldWidth > 0 && std::fabs(dx) > worldWidth / 2)
        dx += dx > 0 ? -worldWidth : worldWidth;
    return {dx, pixel.y - refY};
}

RoutePoint ToMapRelative(const MapProjector& projector, double lat, double lon, double refX, double refY,
                         double worldWidth)
{
    double x = 0, y = 0;
    projector.toMapPixel(&x, &y, lon, lat);
    return RelativeToReference({x, y}, refX, refY, worldWidth);
}

bool UpdateRouteProjection(const MapProjector& projector, const std::vector<RoutePoint>& probes)
{
    std::vector<RoutePoint> now;
    now.reserve(probes.size());
    for (const RoutePoint& g : probes) {
        double x = 0, y = 0;
        projector.toMapPixel(&x, &y, g.x, g.y);
        now.push_back({x, y});
    }
    bool same = now.size() == ProjectionProbes.size() &&
                std::equal(now.begin(), now.end(), ProjectionProbes.begin(),
                           [](const RoutePoint& a, const RoutePoint& b) { return a.x == b.x && a.y == b.y; });
    ProjectionProbes.swap(now);
    return !same;
}

bool BuildRoutePolyline(const MapProjector& projector, const FlightPlanWaypoint* waypoints, int count, bool rebuild,
                        double refX, double refY)
{
    if (count < 1)
        return false;
    if (rebuild) {
        BuildGreatCirclePoints(waypoints, count, &GeoPolyline);
        SmoothRouteTurns(&GeoPolyline);
    }
    WorldWidth = projector.worldWidth();
    Reference = {refX, refY};
    std::vector<RoutePoint> probes;
    if (!GeoPolyline.empty())
        probes = {GeoPolyline.front(), GeoPolyline[GeoPolyline.size() / 2], GeoPolyline.back()};
    bool reprojected = UpdateRouteProjection(projector, probes) || rebuild || MapPolyline.size() != GeoPolyline.size();
    if (reprojected) {
        MapPolyline.clear();
        MapPolyline.reserve(GeoPolyline.size());
        for (const RoutePoint& g : GeoPolyline) {
            double x = 0, y = 0;
            projector.toMapPixel(&x, &y, g.x, g.y);
            MapPolyline.push_back({x, y});
        }
    }
    return reprojected;
}

size_t GetRoutePolylineSize()
{
    return MapPolyline.size();
}

bool GetRoutePolylinePoint(size_t i, RoutePoint* out)
{
    if (i >= MapPolyline.size())
        return false;
    *out = RelativeToReference(MapPolyline[i], Reference.x, Reference.y, WorldWidth);
    return true;
}

const std::vector<RoutePoint>& GetRouteGeoPolyline()
{
    return GeoPolyline;
}

void ClearRoutePolyline()
{
    GeoPolyline.clear();
    MapPolyline.clear();
    ProjectionProbes.clear();
}
