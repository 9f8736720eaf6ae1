// Flight-plan navigation: the per-frame step over the plan, its variants per
// simulator family, the leg table and the accessors of the route.
#include "navdata/route_navigation.h"

#include "app/settings.h"
#include "maps/terrain_data.h"
#include "navdata/map_centre.h"
#include "navdata/great_circle.h"
#include "navdata/route_geometry.h"
#include "navdata/route_symbols.h"
#include "platform/units.h"
#include "simlink/sim_link.h"

#include <algorithm>
#include <cmath>
#include <cstring>

RouteLegRow RouteLegTable[FlightPlanMaxWaypoints];
int32_t RouteCount = 0;
uint8_t RouteBuilt = 0;
int32_t RouteSymbols[FlightPlanMaxWaypoints];
GpsStateValues GpsState;
static uint8_t DeparturePassed = 0;

// A kind that keeps its symbol starts with the plain waypoint's.
static const bool RouteSymbolsPreset = [] {
    std::fill(std::begin(RouteSymbols), std::end(RouteSymbols), static_cast<int32_t>(RouteSymbolWaypoint));
    return true;
}();

namespace {

constexpr double KmPerDegree = 111.1;
// Times are given only above this ground speed.
constexpr double MinimumTimedSpeedKt = 40.0;

struct RoutePixel {
    double x, y;
};
RoutePixel RouteWaypointPixels[FlightPlanMaxWaypoints];
// Each waypoint's map pixel in the projection of the last step, and the
// position it was made from.
struct ProjectedWaypoint {
    float lat, lon;
    RoutePoint pixel;
    bool valid;
};
ProjectedWaypoint ProjectedWaypoints[FlightPlanMaxWaypoints];
char RouteIdents[FlightPlanMaxWaypoints][8];

// The plan as this frame's step sees it: one copy under the plan lock.
FlightPlanRecord StepPlan;

double Var(const SimLinkOps& ops, SimVarId id)
{
    double value = 0;
    ops.getVar(id, &value);
    return value;
}

void CopyIdent(char* out, const char* ident)
{
    std::memset(out, 0, 8);
    std::memcpy(out, ident, strnlen(ident, 7));
}

// The active waypoint as a row of the route: the simulator's index is not
// trusted to lie inside the plan.
int32_t ActiveRow()
{
    double leg = GpsState.ActiveLeg;
    if (!(leg >= 0) || RouteCount < 1)
        return 0;
    return std::min(static_cast<int32_t>(leg), RouteCount - 1);
}

void WriteLegRow(int32_t i, const FlightPlanWaypoint& w, PlanKindSet kinds, bool negativeToZero)
{
    RouteLegRow& row = RouteLegTable[i];
    row.lat = w.lat;
    row.lon = w.lon;
    row.altitude = std::isfinite(w.altitude) ? static_cast<int32_t>(std::clamp(w.altitude, -1.0e6f, 1.0e6f)) : 0;
    row.terrainElevation = Settings.Terrainstate ? GetTerrainElevation(w.lat, w.lon) : RouteNoTerrain;
    UpdateLegDistance(i);
    RouteSymbols[i] = RouteSymbolOfKind(w.kind, kinds, RouteSymbols[i], negativeToZero);
}

int32_t FindActiveWaypointOf(const FlightPlanRecord& plan)
{
    double lat = 0, lon = 0;
    GetMapCenter(&lat, &lon);
    int32_t count = std::clamp(plan.count, 0, FlightPlanMaxWaypoints);
    int32_t best = -1;
    double bestDistance = 999999.0;
    for (int32_t i = 1; i < count; ++i) {
        const FlightPlanWaypoint& w = plan.waypoints[i];
        double d = Distance2D(w.lon, w.lat, lon, lat);
        if (i == 1 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    if (best < 1 || best > count - 1)
        return best;
    const FlightPlanWaypoint& at = plan.waypoints[best];
    const FlightPlanWaypoint& back = plan.waypoints[best - 1];
    double bx = back.lon - at.lon, by = back.lat - at.lat;
    double cx = lon - at.lon, cy = lat - at.lat;
    // The centre has passed the waypoint once the way back and the way to
    // the centre are 90 degrees or more apart.
    if (bx * cx + by * cy <= 0 && best + 1 < count)
        return best + 1;
    return best;
}

void GpsStep(const MapProjector& projector, const SimLinkOps& ops, double refX, double refY)
{
    const FlightPlanRecord& plan = StepPlan;
    CopyFlightPlan(&StepPlan);
    int32_t count = std::clamp(plan.count, 0, FlightPlanMaxWaypoints);
    if (count < 2)
        return;
    GpsState.GpsGroundSpeed = Var(ops, SimVarGroundSpeed);
    if (ops.findsActiveWaypoint) {
        GpsState.ActiveLeg = FindActiveWaypointOf(plan);
        if (GpsState.ActiveLeg > 0 && ops.setVar != nullptr)
            ops.setVar(SimVarWaypointIndex, GpsState.ActiveLeg);
    }
    bool rebuild = !RouteBuilt || RouteChanged.load() != 0;
    bool reprojected = BuildRoutePolyline(projector, plan.waypoints, count, rebuild, refX, refY);
    double active = GpsState.ActiveLeg;
    if (active >= 0 && count > active)
        CopyIdent(GpsState.ActiveWaypointIdent, plan.waypoints[static_cast<int32_t>(active)].ident);
    else
        GpsState.ActiveWaypointIdent[0] = '\0';
    CopyIdent(GpsState.DestinationIdent, plan.waypoints[count - 1].ident);
    RouteCount = count;
    if (ActiveRow() >= 1)
        DeparturePassed = 1;
    double world = projector.worldWidth();
    PlanKindSet kinds = GetFlightPlanKinds();
    for (int32_t i = 0; i < count; ++i) {
        const FlightPlanWaypoint& w = plan.waypoints[i];
        ProjectedWaypoint& projected = ProjectedWaypoints[i];
        if (reprojected || !projected.valid || projected.lat != w.lat || projected.lon != w.lon) {
            projected = {w.lat, w.lon, {0, 0}, true};
            projector.toMapPixel(&projected.pixel.x, &projected.pixel.y, w.lon, w.lat);
        }
        RoutePoint p = RelativeToReference(projected.pixel, refX, refY, world);
        RouteWaypointPixels[i] = {p.x, p.y};
        CopyIdent(RouteIdents[i], w.ident);
        if (rebuild)
            WriteLegRow(i, w, kinds, ops.negativeKindsToZero);
    }
    if (rebuild)
        GpsState.GpsFilteredGroundSpeed = static_cast<float>(GpsState.GpsGroundSpeed);
    double lat = Var(ops, SimVarLatitude), lon = Var(ops, SimVarLongitude);
    const RouteLegRow& target = RouteLegTable[ActiveRow()];
    GpsState.GpsDistanceNm = GreatCircleDistanceNm(lat, lon, target.lat, target.lon);
    GpsState.GpsDistanceMetres = LinkMetresPerNauticalMile * GpsState.GpsDistanceNm;
    bool timed = GpsState.GpsGroundSpeed > MinimumTimedSpeedKt;
    GpsState.GpsEteWaypoint = timed ? 3600.0 * GpsState.GpsDistanceNm / GpsState.GpsGroundSpeed : 0.0;
    if (ops.setsWaypointValues) {
        ops.setVar(SimVarWaypointDistance, GpsState.GpsDistanceMetres);
        ops.setVar(SimVarWaypointEte, GpsState.GpsEteWaypoint);
    }
    double remaining = 0;
    for (int32_t i = ActiveRow() + 1; i < RouteCount; ++i)
        remaining += RouteLegTable[i].legLength;
    GpsState.GpsRemainingNm = remaining;
    GpsState.GpsFilteredGroundSpeed = static_cast<float>(0.99 * GpsState.GpsFilteredGroundSpeed + 0.01 * GpsState.GpsGroundSpeed);
    GpsState.GpsEteDestination = timed && GpsState.GpsFilteredGroundSpeed > 0
                                     ? (GpsState.GpsDistanceNm + GpsState.GpsRemainingNm) * 3600.0 /
                                           GpsState.GpsFilteredGroundSpeed
                                     : 0.0;
    if (ops.setsDestinationTime)
        ops.setVar(SimVarEte, GpsState.GpsEteDestination);
    ComputeCrossTrack();
    RouteBuilt = 1;
    RouteChanged = 0;
}

}  // namespace

int32_t RouteSymbolOfKind(int32_t kind, PlanKindSet kinds, int32_t current, bool negativeToZero)
{
    if (kind < 0)
        return negativeToZero ? 0 : current;
    if (kinds == PlanKindsText) {
        switch (kind) {
        case 0: return RouteSymbolAirport;
        case 1: return RouteSymbolVor;
        case 3: return RouteSymbolNdb;
        default: return RouteSymbolWaypoint;
        }
    }
    switch (kind) {
    case 1: return RouteSymbolAirport;
    case 2: return RouteSymbolNdb;
    case 3: return current;
    case 4: return RouteSymbolVor;
    default: return RouteSymbolWaypoint;
    }
}

void RunGpsStep(const MapProjector& projector, int useSimulator, double refX, double refY, double, double)
{
    if (const SimLinkOps* ops = SimLinkOpsOf(useSimulator))
        GpsStep(projector, *ops, refX, refY);
}

void BeginGpsFrame()
{
    GpsState.GpsDistanceNm = -1.0;
}

void SetActiveLegFromSimulator(double index)
{
    GpsState.ActiveLeg = std::isfinite(index) ? index : 0.0;
}

void ClearRouteBuilt()
{
    RouteBuilt = 0;
}

int32_t FindActiveWaypoint()
{
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    return FindActiveWaypointOf(plan);
}


void ComputeCrossTrack()
{
    int32_t a = static_cast<int32_t>(GpsState.ActiveLeg);
    if (!(GpsState.ActiveLeg >= 1) || a >= RouteCount)
        return;
    double lat = 0, lon = 0;
    SimLinkGetVar(SimVarLatitude, &lat);
    SimLinkGetVar(SimVarLongitude, &lon);
    const RouteLegRow& from = RouteLegTable[a - 1];
    const RouteLegRow& to = RouteLegTable[a];
    UnitVector p1 = ToUnitVector(from.lat, from.lon), p2 = ToUnitVector(to.lat, to.lon);
    UnitVector q = ToUnitVector(lat, lon);
    // The pole of the leg's great circle; the aircraft's angular distance
    // from the circle is the complement of its angle from that pole.
    UnitVector n = {p1.y * p2.z - p1.z * p2.y, p1.z * p2.x - p1.x * p2.z, p1.x * p2.y - p1.y * p2.x};
    double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (!(length > 1e-12))
        return;  // a leg of no length has no line
    double s = (n.x * q.x + n.y * q.y + n.z * q.z) / length;
    GpsState.CrossTrackKm = std::fabs(std::asin(std::clamp(s, -1.0, 1.0))) * DegreesPerRadian5 * KmPerDegree;
}

bool IsCrossTrackExceeded()
{
    return IsFlightPlanActive() && GpsState.CrossTrackKm > 3.0;
}

void UpdateLegDistance(int32_t row)
{
    if (row < 1) {
        RouteLegTable[0].legLength = 0;
        return;
    }
    if (row >= FlightPlanMaxWaypoints)
        return;
    const RouteLegRow& a = RouteLegTable[row - 1];
    RouteLegRow& b = RouteLegTable[row];
    b.legLength = HaversineNm(a.lat, a.lon, b.lat, b.lon);
    RouteLegTable[0].legLength += b.legLength;
}

void GetActiveLeg(int32_t* leg, int32_t* count)
{
    *leg = std::isfinite(GpsState.ActiveLeg) ? static_cast<int32_t>(GpsState.ActiveLeg) : 0;
    *count = RouteCount;
}

const char* GetActiveWaypointIdent()
{
    return GpsState.ActiveWaypointIdent;
}

void GetDestinationIdent(char* out, size_t size)
{
    if (size == 0)
        return;
    FlightPlanLock lock;
    int32_t count = std::clamp(FlightPlan.count, 0, FlightPlanMaxWaypoints);
    const char* ident = count > 0 ? FlightPlan.waypoints[count - 1].ident : "";
    size_t n = std::min(strnlen(ident, 7), size - 1);
    std::memcpy(out, ident, n);
    out[n] = '\0';
}

bool GetRoutePoint(int32_t i, float* x, float* y)
{
    RoutePoint p;
    if (i < 0 || !GetRoutePolylinePoint(static_cast<size_t>(i), &p))
        return false;
    *x = static_cast<float>(p.x);
    *y = static_cast<float>(p.y);
    return true;
}

bool GetRouteWaypoint(int32_t i, float* x, float* y, char* ident, int32_t* symbol, int32_t* altitude,
                      int32_t* terrainElevation)
{
    if (i < 0 || i >= RouteCount || RouteCount <= 0 || !RouteBuilt)
        return false;
    *x = static_cast<float>(RouteWaypointPixels[i].x);
    *y = static_cast<float>(RouteWaypointPixels[i].y);
    std::memcpy(ident, RouteIdents[i], 8);
    ident[8] = '\0';
    *symbol = RouteSymbols[i];
    *altitude = RouteLegTable[i].altitude;
    *terrainElevation = RouteLegTable[i].terrainElevation;
    return true;
}

bool IsDeparturePassed() { return DeparturePassed != 0; }

void ClearDeparturePassed() { DeparturePassed = 0; }

void ResetRoute()
{
    RouteCount = 0;
}

int32_t GetWaypointCount()
{
    FlightPlanLock lock;
    return FlightPlan.count;
}
