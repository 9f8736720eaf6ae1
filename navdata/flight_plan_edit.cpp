// Flight-plan editing: the map-click edits.
#include "navdata/flight_plan_edit.h"

#include "platform/log.h"
#include "navdata/flight_plan_files.h"
#include "navdata/great_circle.h"
#include "navdata/nav_tables.h"
#include "navdata/text_lines.h"
#include "platform/files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// The nearest navaid or fix inside the search box.
struct Candidate {
    bool found = false;
    double distance = 0;
    double lat = 0, lon = 0;
    char ident[8] = "";
    uint32_t navaidKind = 0;  // 0 for a fix
};

void Offer(Candidate* best, double distance, double lat, double lon, const char* ident, size_t identSize,
           uint32_t navaidKind)
{
    // The first one found starts the search; later ones must be strictly nearer.
    if (best->found && !(distance < best->distance))
        return;
    best->found = true;
    best->distance = distance;
    best->lat = lat;
    best->lon = lon;
    best->navaidKind = navaidKind;
    std::memset(best->ident, 0, sizeof best->ident);
    std::memcpy(best->ident, ident, strnlen(ident, std::min(identSize, sizeof best->ident - 1)));
}

// -180 itself has no slot in the longitude index.
constexpr double JustEastOfDateLine = -179.999999;

// The search box's longitudes: one band, or two when it crosses the date line.
struct LongitudeBands {
    double west[2], east[2];
    int count;
};

LongitudeBands SearchBands(double lon)
{
    double west = lon - 1.0, east = lon + 1.0;
    if (west < -180.0)
        return {{west + 360.0, JustEastOfDateLine}, {180.0, east}, 2};
    if (east > 180.0)
        return {{west, JustEastOfDateLine}, {180.0, east - 360.0}, 2};
    return {{west, 0}, {east, 0}, 1};
}

template <class Visit>
void ForEachInBands(const LongitudeBands& bands, void (*range)(int32_t*, int32_t*, double, double), Visit visit)
{
    for (int b = 0; b < bands.count; ++b) {
        int32_t first = -1, last = -1;
        range(&first, &last, bands.west[b], bands.east[b]);
        for (int32_t i = first; i >= 0 && i <= last; ++i)
            visit(i);
    }
}

Candidate FindInsertCandidate(double lon, double lat)
{
    Candidate best;
    LongitudeBands bands = SearchBands(lon);
    auto inBox = [&](double pointLat) { return pointLat > lat - 1.0 && pointLat < lat + 1.0; };
    ForEachInBands(bands, FindNavaidRange, [&](int32_t i) {
        const NavaidRecord* n = GetNavaid(i);
        if (n != nullptr && inBox(n->lat) && (n->kind == 2 || n->kind == 3))
            Offer(&best, WrappedDistance2D(n->lon, n->lat, lon, lat), n->lat, n->lon, n->ident, sizeof n->ident,
                  n->kind);
    });
    ForEachInBands(bands, FindFixRange, [&](int32_t i) {
        const FixRecord* f = GetFix(i);
        if (f != nullptr && inBox(f->lat))
            Offer(&best, WrappedDistance2D(f->lon, f->lat, lon, lat), f->lat, f->lon, f->name, sizeof f->name, 0);
    });
    return best;
}

}  // namespace

double WrappedDistance2D(double lon1, double lat1, double lon2, double lat2)
{
    double dLon = WrapLongitude(lon1 - lon2), dLat = lat1 - lat2;
    return std::sqrt(dLon * dLon + dLat * dLat);
}

int32_t NearestInnerWaypoint(const FlightPlanRecord& plan, double lon, double lat)
{
    int32_t count = std::clamp(plan.count, 0, FlightPlanMaxWaypoints);
    int32_t best = -1;
    double bestDistance = 0;
    for (int32_t i = 1; i < count - 1; ++i) {
        const FlightPlanWaypoint& w = plan.waypoints[i];
        double d = WrappedDistance2D(w.lon, w.lat, lon, lat);
        if (best < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

int32_t BestInsertPosition(const FlightPlanRecord& plan, double lon, double lat)
{
    int32_t count = std::clamp(plan.count, 0, FlightPlanMaxWaypoints);
    int32_t best = -1;
    double bestGrowth = 0;
    // Every candidate sum shares the legs that stay; only the replaced leg
    // and its two new ones differ.
    for (int32_t p = 1; p < count; ++p) {
        const FlightPlanWaypoint& a = plan.waypoints[p - 1];
        const FlightPlanWaypoint& b = plan.waypoints[p];
        double growth = WrappedDistance2D(a.lon, a.lat, lon, lat) + WrappedDistance2D(lon, lat, b.lon, b.lat) -
                        WrappedDistance2D(a.lon, a.lat, b.lon, b.lat);
        if (best < 0 || growth < bestGrowth) {
            best = p;
            bestGrowth = growth;
        }
    }
    return best;
}

int32_t InsertedKind(uint32_t navaidKind, PlanKindSet kinds)
{
    if (kinds == PlanKindsText)
        return navaidKind == 2 ? 3 : navaidKind == 3 ? 1 : 2;
    return navaidKind == 2 ? 2 : navaidKind == 3 ? 4 : 5;
}

void DeleteNearestWaypoint(double lon, double lat)
{
    {
        FlightPlanLock lock;
        int32_t i = NearestInnerWaypoint(FlightPlan, lon, lat);
        if (i < 0)
            return;
        int32_t count = std::clamp(FlightPlan.count, 0, FlightPlanMaxWaypoints);
        std::memmove(&FlightPlan.waypoints[i], &FlightPlan.waypoints[i + 1],
                     static_cast<size_t>(count - i - 1) * sizeof(FlightPlanWaypoint));
        FlightPlan.count = count - 1;
    }
    RouteChanged = 1;
}

void InsertWaypointAt(double lon, double lat)
{
    if (!std::isfinite(lon) || !std::isfinite(lat))
        return;
    Candidate c = FindInsertCandidate(WrapLongitude(lon), lat);
    if (!c.found)
        return;
    PlanKindSet kinds = GetFlightPlanKinds();
    {
        FlightPlanLock lock;
        int32_t count = std::clamp(FlightPlan.count, 0, FlightPlanMaxWaypoints);
        if (count >= EditablePlanMaxWaypoints) {
            WriteLogF("Flight plan: no room for another waypoint (%d)", count);
            return;
        }
        int32_t p = BestInsertPosition(FlightPlan, c.lon, c.lat);
        if (p < 1)
            return;  // a plan of fewer than two waypoints has no leg to take it
        std::memmove(&FlightPlan.waypoints[p + 1], &FlightPlan.waypoints[p],
                     static_cast<size_t>(count - p) * sizeof(FlightPlanWaypoint));
        FlightPlanWaypoint& w = FlightPlan.waypoints[p];
        w.lat = static_cast<float>(c.lat);
        w.lon = static_cast<float>(c.lon);
        std::memcpy(w.ident, c.ident, sizeof w.ident);
        w.altitude = (FlightPlan.waypoints[p - 1].altitude + FlightPlan.waypoints[p + 1].altitude) / 2.0f;
        w.kind = InsertedKind(c.navaidKind, kinds);
        FlightPlan.count = count + 1;
    }
    RouteChanged = 1;
}
