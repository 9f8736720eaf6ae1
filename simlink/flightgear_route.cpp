// The per-frame plan poll of the FlightGear link: reads the route manager's
// file that FlightGear names into the shared FlightPlan when its path changes.
#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "navdata/nav_tables.h"
#include "platform/files.h"
#include "simlink/flightgear_formats.h"
#include "simlink/flightgear_link.h"
#include "simlink/link_drops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

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

// Opens the route file for the frame's poll without ever waiting on it, and
// takes it only when what was opened is a regular file no larger than a
// route: the path comes from the network. A path that plainly names no file
// is not even opened; the opened file is checked again, as the path may
// name something else by then.
static FILE* OpenRouteFile(const char* path, LinkDrop* drop)
{
    struct stat st{};
    if (path[0] == '\0' || stat(path, &st) != 0) {
        *drop = LinkDrop::FileMissing;
        return nullptr;
    }
    int fd = S_ISREG(st.st_mode) ? open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1;
    if (fd < 0) {
        *drop = S_ISREG(st.st_mode) ? LinkDrop::FileMissing : LinkDrop::NotAFile;
        return nullptr;
    }
    *drop = LinkDrop::None;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        *drop = LinkDrop::NotAFile;
    else if (st.st_size > static_cast<off_t>(FlightGearRouteMaxBytes))
        *drop = LinkDrop::FileTooLarge;
    FILE* file = *drop == LinkDrop::None ? fdopen(fd, "r") : nullptr;
    if (file == nullptr) {
        close(fd);
        if (*drop == LinkDrop::None)
            *drop = LinkDrop::FileMissing;
    }
    return file;
}

// Reads the route into a copy of the plan and takes the copy only when the
// route is whole, so a file that cannot be used leaves the plan the user
// had untouched.
static bool ParseFlightGearRoute(const char* path)
{
    LinkDrop drop = LinkDrop::None;
    FILE* file = OpenRouteFile(path, &drop);
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
