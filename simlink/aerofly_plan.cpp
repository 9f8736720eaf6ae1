// The Aerofly FS 2 plan completed from the procedure database.
#include "simlink/aerofly_plan.h"

#include "navdata/procedure_db.h"
#include "platform/units.h"
#include "simlink/aerofly_procedures.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int KindAirport = 1;
constexpr int KindNdb = 2;
constexpr int KindVor = 4;
constexpr int KindFix = 5;
// Route waypoints whose kind value is at most this are VORs, above NDBs.
constexpr double VorKindLimit = 140000.0;

typedef std::vector<std::vector<FlightPlanWaypoint>> RouteLists;

void Note(LinkDrop* leftOut, LinkDrop kind)
{
    if (leftOut != nullptr && *leftOut == LinkDrop::None)
        *leftOut = kind;
}

// Appends entries to a plan; the last place is kept for the destination,
// so a plan with more points than room still ends where it lands.
class PlanWriter {
  public:
    PlanWriter(FlightPlanRecord* plan, LinkDrop* leftOut) : plan_(plan), leftOut_(leftOut) {}

    bool Append(int kind, double latitude, double longitude, double altitude, const char* ident)
    {
        if (plan_->count >= FlightPlanMaxWaypoints - 1) {
            Note(leftOut_, LinkDrop::PlanTooLong);
            return false;
        }
        Put(kind, latitude, longitude, altitude, ident);
        return true;
    }
    void AppendPoint(const FlightPlanWaypoint& w) { Append(w.kind, w.lat, w.lon, w.altitude, w.ident); }
    void AppendDestination(double latitude, double longitude, const char* ident)
    {
        Put(KindAirport, latitude, longitude, 0.0, ident);
    }
    // The points of a route, its first left out when the plan already ends
    // at that fix.
    void AppendJoined(const std::vector<FlightPlanWaypoint>& route)
    {
        for (size_t i = 0; i < route.size(); ++i) {
            if (i == 0 && std::strcmp(route[0].ident, LastIdent()) == 0)
                continue;
            AppendPoint(route[i]);
        }
    }
    const FlightPlanWaypoint& Last() const { return plan_->waypoints[plan_->count - 1]; }
    const char* LastIdent() const { return plan_->count > 0 ? Last().ident : ""; }

  private:
    void Put(int kind, double latitude, double longitude, double altitude, const char* ident)
    {
        FlightPlanWaypoint& w = plan_->waypoints[plan_->count];
        w = FlightPlanWaypoint{};
        w.kind = kind;
        w.lat = static_cast<float>(latitude);
        w.lon = static_cast<float>(longitude);
        w.altitude = static_cast<float>(altitude);
        std::snprintf(w.ident, sizeof w.ident, "%.7s", ident);
        plan_->count += 1;
    }

    FlightPlanRecord* plan_;
    LinkDrop* leftOut_;
};

int RouteKind(double kindValue)
{
    if (kindValue == 0.0)
        return KindFix;
    return kindValue <= VorKindLimit ? KindVor : KindNdb;
}

const char* LastIdentOf(const std::vector<FlightPlanWaypoint>& route)
{
    return route.empty() ? "" : route.back().ident;
}

const char* FirstIdentOf(const std::vector<FlightPlanWaypoint>& route)
{
    return route.empty() ? "" : route.front().ident;
}

// The arrival routes of one table by name; none when no name is given.
RouteLists FindArrivals(int32_t runwayId, const char* name, const char* table)
{
    RouteLists lists;
    if (name[0] != '\0')
        GetRouteWaypointsByNameAnyRunway(&lists, runwayId, name, table);
    return lists;
}

// The four name texts of the airport's archive header; the header's
// variation value, 0 when the airport has no entry.
double LookupNames(const char* icao, AeroflyNameSet* names)
{
    char found[10];
    std::snprintf(found, sizeof found, "%s", icao);
    double variation = 0.0;
    *names = AeroflyNameSet{};
    if (!LookupAirportHeader(found, &variation, names->texts[0], names->texts[1], names->texts[2], names->texts[3]))
        return 0.0;
    return variation;
}

// Which STAR and which approach transition join up: indexes into S and A,
// -1 for none.
struct ArrivalChoice {
    int star;
    int transition;
};

ArrivalChoice ChooseArrival(const RouteLists& stars, const RouteLists& transitions, const RouteLists& finals)
{
    ArrivalChoice c{stars.empty() ? -1 : 0, transitions.empty() ? -1 : 0};
    const char* finalStart = finals.empty() ? "" : FirstIdentOf(finals[0]);
    if (!transitions.empty()) {
        // Transitions that end where the final approach begins; of those the
        // first that a STAR leads into, with that STAR.
        int firstCandidate = -1;
        for (size_t k = 0; k < transitions.size(); ++k) {
            if (transitions[k].empty() || std::strcmp(LastIdentOf(transitions[k]), finalStart) != 0)
                continue;
            if (firstCandidate < 0)
                firstCandidate = static_cast<int>(k);
            for (size_t m = 0; m < stars.size(); ++m) {
                if (!stars[m].empty() && std::strcmp(LastIdentOf(stars[m]), FirstIdentOf(transitions[k])) == 0)
                    return {static_cast<int>(m), static_cast<int>(k)};
            }
        }
        // No STAR joins: still a transition that reaches the final approach.
        if (firstCandidate >= 0)
            c.transition = firstCandidate;
    } else if (!stars.empty() && !finals.empty()) {
        for (size_t m = 0; m < stars.size(); ++m) {
            if (!stars[m].empty() && std::strcmp(LastIdentOf(stars[m]), finalStart) == 0) {
                c.star = static_cast<int>(m);
                break;
            }
        }
    }
    return c;
}

void AppendDeparture(const AeroflyAirport& d, PlanWriter* out, AeroflyNameSet* names, LinkDrop* leftOut)
{
    bool runwayGiven = d.runway[0] != '\0';
    double latitude = runwayGiven ? d.runwayLatitude : d.airportLatitude;
    double longitude = runwayGiven ? d.runwayLongitude : d.airportLongitude;
    out->Append(KindAirport, latitude, longitude, 0.0, d.icao);
    int32_t runwayId = -1;
    GetRunwayId(&runwayId, d.icao, d.runway);
    if (runwayGiven && runwayId < 0)
        Note(leftOut, LinkDrop::UnknownProcedure);
    OffsetPositionByDistance(d.icao, d.runway, &longitude, &latitude, 1.0, 1.5, names);
    out->Append(KindVor, latitude, longitude, out->Last().altitude + 1500.0, d.runway);
    if (d.sid[0] == '\0')
        return;
    if (LoadSidProcedure(d.icao, d.runway, d.sid, longitude, latitude)) {
        for (const FlightPlanWaypoint& w : GetSidPoints())
            out->AppendPoint(w);
    } else {
        Note(leftOut, LinkDrop::UnknownProcedure);
    }
}

void AppendArrival(const AeroflyAirport& a, PlanWriter* out, AeroflyNameSet* names, LinkDrop* leftOut)
{
    int32_t runwayId = -1;
    GetRunwayId(&runwayId, a.icao, a.runway);
    if (a.runway[0] != '\0' && runwayId < 0)
        Note(leftOut, LinkDrop::UnknownProcedure);
    RouteLists stars = FindArrivals(-1, a.star, "star");
    RouteLists transitions = FindArrivals(runwayId, a.approach, "apptr");
    RouteLists finals = FindArrivals(runwayId, a.approach, "final");
    if ((a.star[0] != '\0' && stars.empty()) || (a.approach[0] != '\0' && transitions.empty() && finals.empty()))
        Note(leftOut, LinkDrop::UnknownProcedure);
    ArrivalChoice c = ChooseArrival(stars, transitions, finals);
    if (c.star >= 0)
        for (const FlightPlanWaypoint& w : stars[c.star])
            out->AppendPoint(w);
    if (c.transition >= 0)
        out->AppendJoined(transitions[c.transition]);
    // Without a transition and a whole arrival, a point on the extended
    // centreline leads in: after the STAR, before the final approach.
    if (transitions.empty() && (stars.empty() || finals.empty())) {
        double longitude = a.runwayLongitude, latitude = a.runwayLatitude;
        OffsetPositionByDistance(a.icao, a.runway, &longitude, &latitude, -1.0, 4.0, names);
        out->Append(KindVor, latitude, longitude, out->Last().altitude / 2.0, a.runway);
    } else {
        // The destination's name is wanted whether or not a point was computed.
        LookupNames(a.icao, names);
    }
    if (!finals.empty())
        out->AppendJoined(finals[0]);
}

}  // namespace

void OffsetPositionByDistance(const char* icao, const char* runway, double* longitude, double* latitude,
                              double direction, double factor, AeroflyNameSet* names)
{
    int32_t runwayId = -1;
    GetRunwayId(&runwayId, icao, runway);
    double runwayDirection = 0.0, runwayLength = 0.0;
    GetRunwayDirectionLength(runwayId, &runwayDirection, &runwayLength);
    double variation = LookupNames(icao, names);
    if (!std::isfinite(runwayDirection) || !std::isfinite(runwayLength) || !std::isfinite(variation))
        return;
    // Moving against the runway's direction is moving along its reverse.
    double bearing = runwayDirection - variation;
    if (direction < 1.0)
        bearing += 180.0;
    bearing *= RadiansPerDegree9;
    // Lengths are feet: kilometres over the 111.1 km of a degree.
    double d = 0.0003048 * factor * runwayLength / 111.1;
    double c = std::cos(*latitude * RadiansPerDegree9);
    // At the poles a degree of longitude has no length to move along.
    if (std::fabs(c) > 1e-6)
        *longitude += std::sin(bearing) * d / c;
    *latitude += std::cos(bearing) * d;
}

void BuildAeroflyPlan(const AeroflyPlanMessage& m, FlightPlanRecord* plan, AeroflyNameSet* departureNames,
                      AeroflyNameSet* destinationNames, LinkDrop* leftOut)
{
    plan->present = m.present;
    plan->count = 0;
    plan->simActiveIndex = 1;
    PlanWriter out(plan, leftOut);
    AppendDeparture(m.departure, &out, departureNames, leftOut);
    for (int32_t i = 0; i < m.routeCount && i < AeroflyMaxRouteWaypoints; ++i) {
        const AeroflyRouteWaypoint& w = m.route[i];
        char ident[sizeof w.ident + 1];
        CopyAeroflyText(ident, sizeof ident, w.ident, sizeof w.ident);
        out.Append(RouteKind(w.kind), w.latitude, w.longitude, 0.0, ident);
    }
    AppendArrival(m.destination, &out, destinationNames, leftOut);
    out.AppendDestination(m.destination.airportLatitude, m.destination.airportLongitude, m.destination.icao);
}
