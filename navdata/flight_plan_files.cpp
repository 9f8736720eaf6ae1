// The map program's side of the plan files: the shared reader and writer
// over the global FlightPlan, with its fixes and the Aerofly route texts.
#include "navdata/flight_plan_files.h"

#include "platform/log.h"
#include "navdata/flight_plan.h"
#include "navdata/nav_tables.h"
#include "navdata/plan_file.h"
#include "platform/files.h"
#include "simlink/aerofly_link.h"

#include <cstdio>
#include <cstring>

bool LoadFlightPlanFile(const char* path)
{
    char resolved[512];
    ResolvePath(path, resolved, sizeof resolved);
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    PlanReadOptions options;
    options.findFix = FindFixByName;
    PlanReadResult result;
    bool loaded = ReadFlightPlanFile(resolved, &plan, options, &result);
    if (result.problem[0] != '\0')
        WriteLogF("Flight plan %s: %s", resolved, result.problem);
    if (result.refused || result.kind == PlanFileUnknown)
        return false;
    {
        FlightPlanLock lock;
        std::memcpy(&FlightPlan, &plan, sizeof plan);
    }
    SetFlightPlanKinds(result.kind == PlanFileText ? PlanKindsText : PlanKindsXml);
    // A plan loaded while another is flown must not keep the old route's legs.
    RouteChanged = 1;
    return loaded;
}

bool SavePlnFile(const char* path)
{
    char target[512];
    std::snprintf(target, sizeof target, "%s", path);
    NormalizePath(target);
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    PlnRouteTexts texts;
    texts.departurePosition = GetDeparturePosition();
    texts.departureName = GetDepartureName();
    texts.destinationName = GetDestinationName();
    char problem[128];
    if (WritePlnFile(target, plan, GetFlightPlanKinds(), texts, problem, sizeof problem))
        return true;
    WriteLogF("Flight plan %s: %s", target, problem);
    return false;
}
