// libFuzzer target for the procedure database "Navdata.db": the input is SQL
// run on a fresh database of the shipped schema (so the rows can hold any
// value of any type), then the map's queries and the Aerofly FS 2 plan that
// is completed from them. Whatever the rows, a route's waypoints are
// positions on the earth with terminated idents and the completed plan holds
// together.
#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "navdata/procedure_db.h"
#include "simlink/aerofly_plan.h"
#include "tests/fuzz/fuzz_support.h"

#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <cstring>

using fuzz::Check;

namespace {

// Rows may be anything, but the input may not reach other files or run for
// ever.
int Authorize(void*, int action, const char*, const char*, const char*, const char*)
{
    return action == SQLITE_ATTACH || action == SQLITE_DETACH || action == SQLITE_PRAGMA ? SQLITE_DENY : SQLITE_OK;
}

int Progress(void* counter)
{
    return ++*static_cast<int*>(counter) > 2000 ? 1 : 0;
}

void MakeDatabase(std::string_view sql)
{
    std::string path = fuzz::ScratchPath("Navdata/Navdata.db");
    std::remove(path.c_str());
    sqlite3* db = nullptr;
    Check(sqlite3_open(path.c_str(), &db) == SQLITE_OK);
    sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
    Check(sqlite3_exec(db, NavdataDbSchema, nullptr, nullptr, nullptr) == SQLITE_OK);
    sqlite3_set_authorizer(db, Authorize, nullptr);
    int steps = 0;
    sqlite3_progress_handler(db, 100, Progress, &steps);
    sqlite3_exec(db, std::string(sql).c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void CheckRoute(const std::vector<FlightPlanWaypoint>& route)
{
    for (const FlightPlanWaypoint& w : route) {
        Check(std::fabs(w.lat) <= 90 && std::fabs(w.lon) <= 180);
        Check(std::memchr(w.ident, 0, sizeof w.ident) != nullptr);
    }
}

void Query()
{
    int32_t runway = -1;
    GetRunwayId(&runway, "EDDH", "05");
    double direction = 0, length = 0;
    GetRunwayDirectionLength(runway, &direction, &length);
    for (const char* table : {"sid", "star", "apptr", "final"}) {
        std::vector<ProcedureRoute> routes;
        GetRoutesForRunway(&routes, runway, table);
        for (const ProcedureRoute& r : routes) {
            Check(std::memchr(r.name, 0, sizeof r.name) != nullptr);
            std::vector<FlightPlanWaypoint> route;
            if (GetRouteWaypoints(&route, r.routeId))
                CheckRoute(route);
        }
        std::vector<FlightPlanWaypoint> named;
        if (GetRouteWaypointsByName(&named, runway, "DEXE5B", table, 10.0, 53.6))
            CheckRoute(named);
        std::vector<std::vector<FlightPlanWaypoint>> lists;
        GetRouteWaypointsByNameAnyRunway(&lists, -1, "DEXE5B", table);
        for (const std::vector<FlightPlanWaypoint>& list : lists)
            CheckRoute(list);
    }
}

void SetAirport(AeroflyAirport* a, const char* icao, const char* runway, double lat, double lon)
{
    std::snprintf(a->icao, sizeof a->icao, "%s", icao);
    std::snprintf(a->runway, sizeof a->runway, "%s", runway);
    std::snprintf(a->sid, sizeof a->sid, "%s", "DEXE5B");
    std::snprintf(a->star, sizeof a->star, "%s", "DEXE5B");
    std::snprintf(a->approach, sizeof a->approach, "%s", "I05");
    a->airportLatitude = a->runwayLatitude = lat;
    a->airportLongitude = a->runwayLongitude = lon;
}

void CompletePlan()
{
    static AeroflyPlanMessage m;
    m = AeroflyPlanMessage{};
    m.present = 1;
    SetAirport(&m.departure, "EDDH", "05", 53.63, 9.99);
    SetAirport(&m.destination, "EDDH", "05", 53.63, 9.99);
    static FlightPlanRecord plan;
    plan = FlightPlanRecord{};
    AeroflyNameSet departure, destination;
    LinkDrop leftOut = LinkDrop::None;
    BuildAeroflyPlan(m, &plan, &departure, &destination, &leftOut);
    Check(plan.count >= 0 && plan.count <= FlightPlanMaxWaypoints);
    for (int i = 0; i < plan.count; ++i) {
        const FlightPlanWaypoint& w = plan.waypoints[i];
        Check(std::fabs(w.lat) <= 90 && std::fabs(w.lon) <= 180 && std::isfinite(w.altitude));
        Check(std::memchr(w.ident, 0, sizeof w.ident) != nullptr);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::EnterScratch(argc, argv);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("TVL_MESSAGEBOX_ANSWER", "IDOK", 1);
    std::snprintf(DataFolder, sizeof DataFolder, "%s", fuzz::Scratch().c_str());
    fuzz::MakeFolder(fuzz::ScratchPath("Navdata"));
    Settings.NavDatabase = 6;
    // The query errors of malformed rows would bury the fuzzer's report.
    if (!std::freopen("/dev/null", "w", stdout))
        return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CloseNavdataDb();
    MakeDatabase(std::string_view(reinterpret_cast<const char*>(data), size));
    Query();
    CompletePlan();
    return 0;
}
