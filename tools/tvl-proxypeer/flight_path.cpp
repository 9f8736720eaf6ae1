// Positions along the peer's scripted path, on a flat earth near the centre.
#include "tools/tvl-proxypeer/flight_path.h"

#include "platform/units.h"

#include <cmath>

namespace {

// A degree of latitude as 60 nautical miles.
constexpr double SixtyNmMetresPerDegree = 60.0 * MetresPerNauticalMile;
constexpr double KnotsToMs = MetresPerNauticalMile / 3600.0;

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
    *outLatitude = latitude + northM / SixtyNmMetresPerDegree;
    double c = std::cos(latitude * Pi / 180.0);
    *outLongitude = longitude + (c > 1e-6 ? eastM / (SixtyNmMetresPerDegree * c) : 0.0);
}

bool PathMoving(const FlightPathSettings& path, double t)
{
    return path.circle || path.legSeconds <= 0.0 || t < path.legSeconds;
}

namespace {

constexpr double PlanLegNm = 20.0;

double CircleMetres(const FlightPathSettings& path) { return 2.0 * Pi * path.radiusNm * MetresPerNauticalMile; }

double FlownMetres(const FlightPathSettings& path, double t)
{
    if (!PathMoving(path, t))
        t = path.legSeconds;
    return path.speedKt * KnotsToMs * t;
}

// The point the given metres along the path from its start.
PathPoint PointAlong(const FlightPathSettings& path, double distance)
{
    if (!path.circle) {
        PathPoint p;
        double h = path.headingDeg * Pi / 180.0;
        OffsetPosition(path.latitude, path.longitude, distance * std::cos(h), distance * std::sin(h), &p.latitude,
                       &p.longitude);
        p.headingDeg = Normalised(path.headingDeg);
        return p;
    }
    double r = path.radiusNm * MetresPerNauticalMile;
    double bearing = r > 0.0 ? distance / r * 180.0 / Pi : 0.0;
    return OnCircle(path, r, bearing, true);
}

// Metres along the path from one plan point to the next.
double PlanSpacing(const FlightPathSettings& path)
{
    int segments = PlanPointCount(path) - 1;
    return (path.circle ? CircleMetres(path) : PlanLegNm * MetresPerNauticalMile) / segments;
}

}  // namespace

const char PathOptionsUsage[] =
    "  --lat DEG --lon DEG  centre of the circle or start of the leg (53.636666667, 10.001)\n"
    "  --circle NM        fly a circle of this radius (the default, 2)\n"
    "  --leg DEG          fly a straight leg on this true course instead\n"
    "  --leg-time S       stop at the end of the leg after S seconds (0: fly on)\n"
    "  --speed KT         ground speed (120)\n"
    "  --altitude FT      altitude (3000)\n";

bool SetPathOption(const std::string& name, double value, FlightPathSettings* path)
{
    if (name == "--circle") {
        path->circle = true;
        path->radiusNm = value;
        return true;
    }
    if (name == "--leg") {
        path->circle = false;
        path->headingDeg = value;
        return true;
    }
    double* field = name == "--lat"        ? &path->latitude
                    : name == "--lon"      ? &path->longitude
                    : name == "--leg-time" ? &path->legSeconds
                    : name == "--speed"    ? &path->speedKt
                    : name == "--altitude" ? &path->altitudeFt
                                           : nullptr;
    if (field)
        *field = value;
    return field != nullptr;
}

PathPoint PathPosition(const FlightPathSettings& path, double t)
{
    return PointAlong(path, FlownMetres(path, t));
}

int PlanPointCount(const FlightPathSettings& path)
{
    return path.circle ? 9 : 5;
}

PathPoint PlanPoint(const FlightPathSettings& path, int i)
{
    return PointAlong(path, PlanSpacing(path) * i);
}

double DistanceMetres(double lat1, double lon1, double lat2, double lon2)
{
    double r = Pi / 180.0;
    double a = std::sin(lat1 * r) * std::sin(lat2 * r) +
               std::cos(lat1 * r) * std::cos(lat2 * r) * std::cos((lon2 - lon1) * r);
    a = a > 1.0 ? 1.0 : (a < -1.0 ? -1.0 : a);
    return std::acos(a) * NmPerRadian * MetresPerNauticalMile;
}

PlanGuidance GuidanceAlongPlan(const FlightPathSettings& path, double t)
{
    int count = PlanPointCount(path);
    double spacing = PlanSpacing(path);
    double flown = FlownMetres(path, t);
    if (path.circle && spacing > 0.0)
        flown = std::fmod(flown, spacing * (count - 1));
    // The point ahead: past the last one the GPS stays on it.
    double passed = spacing > 0.0 ? std::floor(flown / spacing) : 0.0;
    int active = passed >= 0.0 && passed < count - 1 ? static_cast<int>(passed) + 1 : count - 1;
    PathPoint here = PointAlong(path, flown);
    PathPoint next = PlanPoint(path, active);
    PlanGuidance g{};
    g.activeIndex = active;
    g.waypointDistanceM = DistanceMetres(here.latitude, here.longitude, next.latitude, next.longitude);
    g.destinationDistanceM = g.waypointDistanceM;
    for (int i = active; i + 1 < count; ++i) {
        PathPoint a = PlanPoint(path, i), b = PlanPoint(path, i + 1);
        g.destinationDistanceM += DistanceMetres(a.latitude, a.longitude, b.latitude, b.longitude);
    }
    double speed = PathMoving(path, t) ? path.speedKt * KnotsToMs : 0.0;
    if (speed > 0.0) {
        g.waypointEteS = g.waypointDistanceM / speed;
        g.destinationEteS = g.destinationDistanceM / speed;
    }
    return g;
}

PathPoint TrafficPosition(const FlightPathSettings& path, int i, int n, double t)
{
    int rings = path.trafficRings > 1 ? path.trafficRings : 1;
    int ring = i % rings;
    int perRing = n > 0 ? (n + rings - 1) / rings : 1;
    double r = (path.radiusNm + 3.0 + 3.0 * ring) * MetresPerNauticalMile;
    double distance = 100.0 * KnotsToMs * t;
    // Each ring starts turned by a share of the spacing, so the rings do not line up.
    double offset = 360.0 * ring / (static_cast<double>(rings) * perRing);
    double bearing = 360.0 * (i / rings) / perRing + offset - distance / r * 180.0 / Pi;
    return OnCircle(path, r, bearing, false);
}
