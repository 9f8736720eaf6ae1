// Positions along the peer's scripted path, on a flat earth near the centre.
#include "tools/tvl-proxypeer/flight_path.h"

#include <cmath>

namespace {

constexpr double MetresPerDegree = 111120.0;
constexpr double MetresPerNm = 1852.0;
constexpr double KnotsToMs = 1852.0 / 3600.0;
constexpr double Pi = 3.14159265358979323846;

double Normalised(double degrees)
{
    double d = std::fmod(degrees, 360.0);
    return d < 0.0 ? d + 360.0 : d;
}

// A point on a circle of radius r (metres) at bearing b (degrees) from the centre.
PathPoint OnCircle(const FlightPathSettings& path, double r, double bearingDeg, bool clockwise)
{
    PathPoint p;
    double b = bearingDeg * Pi / 180.0;
    OffsetPosition(path.latitude, path.longitude, r * std::cos(b), r * std::sin(b), &p.latitude, &p.longitude);
    p.headingDeg = Normalised(bearingDeg + (clockwise ? 90.0 : -90.0));
    return p;
}

}  // namespace

void OffsetPosition(double latitude, double longitude, double northM, double eastM, double* outLatitude,
                    double* outLongitude)
{
    *outLatitude = latitude + northM / MetresPerDegree;
    double c = std::cos(latitude * Pi / 180.0);
    *outLongitude = longitude + (c > 1e-6 ? eastM / (MetresPerDegree * c) : 0.0);
}

bool PathMoving(const FlightPathSettings& path, double t)
{
    return path.circle || path.legSeconds <= 0.0 || t < path.legSeconds;
}

PathPoint PathPosition(const FlightPathSettings& path, double t)
{
    if (!PathMoving(path, t))
        t = path.legSeconds;
    double distance = path.speedKt * KnotsToMs * t;
    if (!path.circle) {
        PathPoint p;
        double h = path.headingDeg * Pi / 180.0;
        OffsetPosition(path.latitude, path.longitude, distance * std::cos(h), distance * std::sin(h), &p.latitude,
                       &p.longitude);
        p.headingDeg = Normalised(path.headingDeg);
        return p;
    }
    double r = path.radiusNm * MetresPerNm;
    double bearing = r > 0.0 ? distance / r * 180.0 / Pi : 0.0;
    return OnCircle(path, r, bearing, true);
}

PathPoint TrafficPosition(const FlightPathSettings& path, int i, int n, double t)
{
    int rings = path.trafficRings > 1 ? path.trafficRings : 1;
    int ring = i % rings;
    int perRing = n > 0 ? (n + rings - 1) / rings : 1;
    double r = (path.radiusNm + 3.0 + 3.0 * ring) * MetresPerNm;
    double distance = 100.0 * KnotsToMs * t;
    // Each ring starts turned by a share of the spacing, so the rings do not line up.
    double offset = 360.0 * ring / (static_cast<double>(rings) * perRing);
    double bearing = 360.0 * (i / rings) / perRing + offset - distance / r * 180.0 / Pi;
    return OnCircle(path, r, bearing, false);
}
