// Choosing one route of a procedure table: by name (or its revision
// pattern), else the nearest by its last point.
#include "simlink/aerofly_procedures.h"

#include "navdata/procedure_db.h"
#include "navdata/route_geometry.h"

namespace {

std::vector<FlightPlanWaypoint> SidPoints;
std::vector<FlightPlanWaypoint> ArrivalPoints;

bool LoadProcedure(std::vector<FlightPlanWaypoint>* list, const char* icao, const char* runway, const char* name,
                   double refLongitude, double refLatitude, const char* table)
{
    int32_t runwayId = -1;
    GetRunwayId(&runwayId, icao, runway);
    if (GetRouteWaypointsByName(list, runwayId, name, table, refLongitude, refLatitude))
        return true;
    std::vector<ProcedureRoute> routes;
    GetRoutesForRunway(&routes, runwayId, table);
    if (routes.empty())
        return false;
    if (routes.size() == 1)
        return GetRouteWaypoints(list, routes[0].routeId);
    // Of several, the route that ends nearest the reference point; the first
    // of equals stays.
    std::vector<FlightPlanWaypoint> chosen, route;
    double chosenDistance = 0.0;
    bool found = false;
    for (const ProcedureRoute& r : routes) {
        if (!GetRouteWaypoints(&route, r.routeId) || route.empty())
            continue;
        double d = Distance2D(route.back().lon, route.back().lat, refLongitude, refLatitude);
        if (!found || d < chosenDistance) {
            chosen.swap(route);
            chosenDistance = d;
            found = true;
        }
    }
    list->swap(chosen);
    // Routes without a single point are no procedure to fly.
    return found;
}

}  // namespace

bool LoadSidProcedure(const char* icao, const char* runway, const char* name, double refLongitude,
                      double refLatitude)
{
    return LoadProcedure(&SidPoints, icao, runway, name, refLongitude, refLatitude, "sid");
}

bool LoadArrivalProcedure(const char* icao, const char* runway, const char* name, double refLongitude,
                          double refLatitude, const char* table)
{
    return LoadProcedure(&ArrivalPoints, icao, runway, name, refLongitude, refLatitude, table);
}

const std::vector<FlightPlanWaypoint>& GetSidPoints()
{
    return SidPoints;
}

const std::vector<FlightPlanWaypoint>& GetArrivalPoints()
{
    return ArrivalPoints;
}

double GetArrivalFirstLongitude()
{
    return ArrivalPoints.empty() ? 0.0 : ArrivalPoints.front().lon;
}

double GetArrivalFirstLatitude()
{
    return ArrivalPoints.empty() ? 0.0 : ArrivalPoints.front().lat;
}

void ResetAeroflyProcedures()
{
    SidPoints.clear();
    ArrivalPoints.clear();
}
