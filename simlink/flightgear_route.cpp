// The per-frame plan poll of the FlightGear link: reads the route manager's
// file that FlightGear names into the shared FlightPlan when its path changes.
#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "navdata/nav_tables.h"
#include "platform/files.h"
#include "simlink/flightgear_formats.h"
#include "simlink/flightgear_link.h"
#include "simlink/link_drops.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

// Far more than a route of 300 waypoints takes; the path comes from the
// network, so the file may be anything.
static constexpr off_t RouteFileMaxBytes = 4 * 1024 * 1024;

// GUI thread only: the path last read, the file as it was then, and what
// reading it gave.
static char LastLoadedPath[FlightGearRoutePathSize] = "";
static RouteFileStamp LastLoadedStamp;
static bool LastLoadResult = false;

RouteFileStamp StampOfRouteFile(const char* path)
{
    RouteFileStamp stamp;
    struct stat st{};
    if (path[0] != '\0' && stat(path, &st) == 0) {
        stamp.exists = true;
        stamp.modifiedSec = st.st_mtim.tv_sec;
        stamp.modifiedNsec = st.st_mtim.tv_nsec;
        stamp.size = st.st_size;
    }
    return stamp;
}

bool IsRouteFileUnchanged(const RouteFileStamp& now, const RouteFileStamp& then)
{
    return !now.exists || (then.exists && now.size == then.size && now.modifiedSec == then.modifiedSec &&
                           now.modifiedNsec == then.modifiedNsec);
}

static LinkDrop CheckRouteFile(const char* path)
{
    struct stat st{};
    if (path[0] == '\0' || stat(path, &st) != 0)
        return LinkDrop::FileMissing;
    if (!S_ISREG(st.st_mode))
        return LinkDrop::NotAFile;
    if (st.st_size > RouteFileMaxBytes)
        return LinkDrop::FileTooLarge;
    return LinkDrop::None;
}

// Reads the route into a copy of the plan and takes the copy only when the
// route is whole, so a file that cannot be used leaves the plan the user
// had untouched.
static bool ParseFlightGearRoute(const char* path)
{
    LinkDrop drop = CheckRouteFile(path);
    FILE* file = drop == LinkDrop::None ? std::fopen(path, "r") : nullptr;
    if (drop == LinkDrop::None && file == nullptr)
        drop = LinkDrop::FileMissing;
    if (file != nullptr) {
        static FlightPlanRecord plan;
        CopyFlightPlan(&plan);
        drop = ScanFlightGearRoute(file, GetAirportCenter, &plan);
        std::fclose(file);
        if (drop == LinkDrop::None) {
            {
                FlightPlanLock lock;
                std::memcpy(&FlightPlan, &plan, sizeof(FlightPlan));
            }
            RouteChanged = 1;
        }
    }
    if (drop != LinkDrop::None)
        LogDroppedInput("FlightGear route", drop);
    return drop == LinkDrop::None;
}

bool LoadFlightGearRoute()
{
    {
        FlightPlanLock lock;
        if (!FlightPlan.present)
            return false;
    }
    char path[FlightGearRoutePathSize];
    GetFlightGearRoutePath(path, sizeof(path));
    NormalizePath(path);
    RouteFileStamp stamp = StampOfRouteFile(path);
    if (std::strcmp(path, LastLoadedPath) == 0 && IsRouteFileUnchanged(stamp, LastLoadedStamp))
        return LastLoadResult;
    LastLoadedStamp = stamp;
    LastLoadResult = ParseFlightGearRoute(path);
    std::snprintf(LastLoadedPath, sizeof(LastLoadedPath), "%s", path);
    SimPlanTaken = LastLoadResult ? 1 : 0;
    return LastLoadResult;
}
