// The procedure database's queries: runways and procedures of Navdata.db.
#include "navdata/procedure_db.h"

#include "app/settings.h"
#include "navdata/route_geometry.h"
#include "platform/files.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>

namespace {

sqlite3* NavdataDb = nullptr;
std::mutex NavdataDbLock;

void ReportSqlError(const char* text)
{
    std::fprintf(stderr, "SQL error: %s\n", text);
}

// The open connection, opening it when it is not; null while the file is
// missing (the next query tries again). Called under the lock.
sqlite3* Connection()
{
    if (NavdataDb != nullptr)
        return NavdataDb;
    char path[600], resolved[600];
    std::snprintf(path, sizeof path, "%s/Navdata/Navdata.db", DataFolder);
    ResolvePath(path, resolved, sizeof resolved);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(resolved, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    NavdataDb = db;
    return NavdataDb;
}

// One prepared query; its rows are read through Next. A query that cannot
// be prepared says why on the error stream and yields no rows.
class Query {
  public:
    explicit Query(const char* sql)
    {
        sqlite3* db = Connection();
        if (db != nullptr && sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) {
            ReportSqlError(sqlite3_errmsg(db));
            sqlite3_finalize(statement_);
            statement_ = nullptr;
        }
    }
    ~Query() { sqlite3_finalize(statement_); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& Bind(int index, const char* text)
    {
        if (statement_ != nullptr)
            sqlite3_bind_text(statement_, index, text, -1, SQLITE_TRANSIENT);
        return *this;
    }
    Query& Bind(int index, int32_t value)
    {
        if (statement_ != nullptr)
            sqlite3_bind_int(statement_, index, value);
        return *this;
    }
    bool Next() { return statement_ != nullptr && sqlite3_step(statement_) == SQLITE_ROW; }
    int32_t Int(int column) { return sqlite3_column_int(statement_, column); }
    double Double(int column) { return sqlite3_column_double(statement_, column); }
    const char* Text(int column)
    {
        const unsigned char* text = sqlite3_column_text(statement_, column);
        return text != nullptr ? reinterpret_cast<const char*>(text) : "";
    }

  private:
    sqlite3_stmt* statement_ = nullptr;
};

// The SQL for a procedure table, or false (and an error line) for a table
// that is none of the four.
bool ProcedureSql(char* out, size_t size, const char* format, const char* table)
{
    if (!IsProcedureTable(table)) {
        char why[96];
        std::snprintf(why, sizeof why, "no procedure table %.40s", table != nullptr ? table : "");
        ReportSqlError(why);
        return false;
    }
    std::snprintf(out, size, format, table);
    return true;
}

std::vector<int32_t> RouteIds(const char* table, int32_t runwayId, bool anyRunway, const char* name, bool like)
{
    std::vector<int32_t> ids;
    char sql[160];
    const char* format = anyRunway ? (like ? "select routeid from %s where name like ?2"
                                           : "select routeid from %s where name=?2")
                                   : (like ? "select routeid from %s where runwayid=?1 and name like ?2"
                                           : "select routeid from %s where runwayid=?1 and name=?2");
    if (!ProcedureSql(sql, sizeof sql, format, table))
        return ids;
    Query q(sql);
    if (!anyRunway)
        q.Bind(1, runwayId);
    q.Bind(2, name);
    while (q.Next())
        ids.push_back(q.Int(0));
    return ids;
}

// Ids of the exact name, else of its revision pattern.
std::vector<int32_t> RouteIdsByName(const char* table, int32_t runwayId, bool anyRunway, const char* name)
{
    std::vector<int32_t> ids = RouteIds(table, runwayId, anyRunway, name, false);
    if (!ids.empty())
        return ids;
    char pattern[64];
    std::snprintf(pattern, sizeof pattern, "%s", name);
    MakeLikePattern(pattern);
    return RouteIds(table, runwayId, anyRunway, pattern, true);
}

// A route with a waypoint off the earth (or at no number) is damaged as a
// whole: flying it without that point would be another procedure.
std::vector<FlightPlanWaypoint> ReadRoute(int32_t routeId)
{
    std::vector<FlightPlanWaypoint> route;
    Query q("select wptname, longitude, latitude from waypoints where routeid=?1 order by lfd");
    q.Bind(1, routeId);
    while (q.Next()) {
        FlightPlanWaypoint w{};
        w.kind = 5;
        double lon = q.Double(1), lat = q.Double(2);
        std::snprintf(w.ident, sizeof w.ident, "%.7s", q.Text(0));
        if (!(std::fabs(lon) <= 180.0 && std::fabs(lat) <= 90.0)) {
            char why[96];
            std::snprintf(why, sizeof why, "route %d: waypoint %s off the earth", static_cast<int>(routeId), w.ident);
            ReportSqlError(why);
            return {};
        }
        w.lon = static_cast<float>(lon);
        w.lat = static_cast<float>(lat);
        route.push_back(w);
    }
    return route;
}

// How near a route comes to a point, in degrees of the plane.
double NearestApproach(const std::vector<FlightPlanWaypoint>& route, double lon, double lat)
{
    double best = std::numeric_limits<double>::infinity();
    for (const FlightPlanWaypoint& w : route)
        best = std::min(best, Distance2D(w.lon, w.lat, lon, lat));
    return best;
}

}  // namespace

bool IsProcedureTable(const char* table)
{
    if (table == nullptr)
        return false;
    return std::strcmp(table, "sid") == 0 || std::strcmp(table, "star") == 0 || std::strcmp(table, "apptr") == 0 ||
           std::strcmp(table, "final") == 0;
}

void GetRunwayId(int32_t* id, const char* icao, const char* runwayNumber)
{
    std::lock_guard<std::mutex> lock(NavdataDbLock);
    *id = -1;
    Query q("select runwayid from runways where airportid in (select airportid from airports where icao=?1) "
            "and rwynumber=?2");
    q.Bind(1, icao).Bind(2, runwayNumber);
    while (q.Next())
        *id = q.Int(0);
}

void GetRoutesForRunway(std::vector<ProcedureRoute>* list, int32_t runwayId, const char* table)
{
    std::lock_guard<std::mutex> lock(NavdataDbLock);
    list->clear();
    char sql[96];
    if (!ProcedureSql(sql, sizeof sql, "select routeid, name from %s where runwayid=?1", table))
        return;
    Query q(sql);
    q.Bind(1, runwayId);
    while (q.Next()) {
        ProcedureRoute r{};
        r.routeId = q.Int(0);
        std::snprintf(r.name, sizeof r.name, "%.11s", q.Text(1));
        list->push_back(r);
    }
}

void MakeLikePattern(char* name)
{
    for (char* p = name; *p != '\0'; ++p) {
        if (*p >= '0' && *p <= '9') {
            p[0] = '%';
            p[1] = '\0';
            return;
        }
    }
}

bool GetRouteWaypointsByName(std::vector<FlightPlanWaypoint>* list, int32_t runwayId, const char* name,
                             const char* table, double refLon, double refLat)
{
    std::lock_guard<std::mutex> lock(NavdataDbLock);
    std::vector<int32_t> ids = RouteIdsByName(table, runwayId, false, name);
    if (ids.empty())
        return false;
    std::vector<FlightPlanWaypoint> chosen = ReadRoute(ids[0]);
    double chosenDistance = NearestApproach(chosen, refLon, refLat);
    for (size_t i = 1; i < ids.size(); ++i) {
        std::vector<FlightPlanWaypoint> route = ReadRoute(ids[i]);
        double d = NearestApproach(route, refLon, refLat);
        if (d < chosenDistance) {
            chosen.swap(route);
            chosenDistance = d;
        }
    }
    list->swap(chosen);
    return true;
}

bool GetRouteWaypointsByNameAnyRunway(std::vector<std::vector<FlightPlanWaypoint>>* lists, int32_t runwayId,
                                      const char* name, const char* table)
{
    std::lock_guard<std::mutex> lock(NavdataDbLock);
    lists->clear();
    for (int32_t id : RouteIdsByName(table, runwayId, runwayId < 0, name))
        lists->push_back(ReadRoute(id));
    return !lists->empty();
}

bool GetRouteWaypoints(std::vector<FlightPlanWaypoint>* list, int32_t routeId)
{
    if (routeId < 0)
        return false;
    std::lock_guard<std::mutex> lock(NavdataDbLock);
    *list = ReadRoute(routeId);
    return true;
}

void GetRunwayDirectionLength(int32_t runwayId, double* direction, double* length)
{
    std::lock_guard<std::mutex> lock(NavdataDbLock);
    Query q("select direction, length from runways where runwayid=?1");
    q.Bind(1, runwayId);
    if (q.Next()) {
        *direction = q.Double(0);
        *length = q.Double(1);
    }
}

void CloseNavdataDb()
{
    std::lock_guard<std::mutex> lock(NavdataDbLock);
    if (NavdataDb != nullptr)
        sqlite3_close(NavdataDb);
    NavdataDb = nullptr;
}
