// Writing the procedure database Navdata.db, for the navigation-data helper
// and the tests; the map program only reads it.
#include "navdata/procedure_db.h"

#include "platform/files.h"

#include <sqlite3.h>

#include <cstdio>
#include <string>

// Route ids are unique over the four procedure tables, so that the
// waypoints table serves them all.
const char NavdataDbSchema[] =
    "CREATE TABLE airports (airportid INTEGER PRIMARY KEY, icao TEXT NOT NULL);\n"
    "CREATE TABLE runways (runwayid INTEGER PRIMARY KEY, airportid INTEGER NOT NULL, rwynumber TEXT NOT NULL,"
    " direction REAL, length REAL);\n"
    "CREATE TABLE sid (routeid INTEGER PRIMARY KEY, name TEXT NOT NULL, runwayid INTEGER NOT NULL);\n"
    "CREATE TABLE star (routeid INTEGER PRIMARY KEY, name TEXT NOT NULL, runwayid INTEGER NOT NULL);\n"
    "CREATE TABLE apptr (routeid INTEGER PRIMARY KEY, name TEXT NOT NULL, runwayid INTEGER NOT NULL);\n"
    "CREATE TABLE final (routeid INTEGER PRIMARY KEY, name TEXT NOT NULL, runwayid INTEGER NOT NULL);\n"
    "CREATE TABLE waypoints (routeid INTEGER NOT NULL, wptname TEXT NOT NULL, longitude REAL, latitude REAL,"
    " lfd INTEGER NOT NULL);\n"
    "CREATE INDEX airports_icao ON airports (icao);\n"
    "CREATE INDEX runways_airport ON runways (airportid);\n"
    "CREATE INDEX waypoints_route ON waypoints (routeid, lfd);\n";

namespace {

class Insert {
  public:
    Insert(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
    ~Insert() { sqlite3_finalize(statement_); }
    Insert(const Insert&) = delete;
    Insert& operator=(const Insert&) = delete;
    bool Ready() const { return statement_ != nullptr; }
    Insert& Int(int index, int64_t value)
    {
        sqlite3_bind_int64(statement_, index, value);
        return *this;
    }
    Insert& Double(int index, double value)
    {
        sqlite3_bind_double(statement_, index, value);
        return *this;
    }
    Insert& Text(int index, const std::string& value)
    {
        sqlite3_bind_text(statement_, index, value.c_str(), -1, SQLITE_TRANSIENT);
        return *this;
    }
    bool Run()
    {
        bool done = sqlite3_step(statement_) == SQLITE_DONE;
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
        return done;
    }

  private:
    sqlite3_stmt* statement_ = nullptr;
};

bool WriteAirports(sqlite3* db, const std::vector<NavdataDbAirport>& airports)
{
    Insert airport(db, "insert into airports (airportid, icao) values (?1, ?2)");
    Insert runway(db, "insert into runways (runwayid, airportid, rwynumber, direction, length) values (?1, ?2, ?3, ?4, ?5)");
    Insert sid(db, "insert into sid (routeid, name, runwayid) values (?1, ?2, ?3)");
    Insert star(db, "insert into star (routeid, name, runwayid) values (?1, ?2, ?3)");
    Insert apptr(db, "insert into apptr (routeid, name, runwayid) values (?1, ?2, ?3)");
    Insert finalApproach(db, "insert into final (routeid, name, runwayid) values (?1, ?2, ?3)");
    Insert waypoint(db, "insert into waypoints (routeid, wptname, longitude, latitude, lfd) values (?1, ?2, ?3, ?4, ?5)");
    if (!airport.Ready() || !runway.Ready() || !sid.Ready() || !star.Ready() || !apptr.Ready() || !finalApproach.Ready() ||
        !waypoint.Ready())
        return false;
    int64_t airportId = 0, runwayId = 0, routeId = 0;
    for (const NavdataDbAirport& a : airports) {
        if (!airport.Int(1, ++airportId).Text(2, a.icao).Run())
            return false;
        int64_t firstRunway = runwayId + 1;
        for (const NavdataDbRunway& r : a.runways)
            if (!runway.Int(1, ++runwayId).Int(2, airportId).Text(3, r.number).Double(4, r.direction).Double(5, r.lengthFeet).Run())
                return false;
        for (const NavdataDbRoute& route : a.routes) {
            int64_t owner = -1;
            for (size_t k = 0; k < a.runways.size(); ++k)
                if (a.runways[k].number == route.runway)
                    owner = firstRunway + static_cast<int64_t>(k);
            Insert* table = route.table == "sid"     ? &sid
                            : route.table == "star"  ? &star
                            : route.table == "apptr" ? &apptr
                            : route.table == "final" ? &finalApproach
                                                     : nullptr;
            if (owner < 0 || table == nullptr)
                continue;
            if (!table->Int(1, ++routeId).Text(2, route.name).Int(3, owner).Run())
                return false;
            int64_t order = 0;
            for (const NavdataDbWaypoint& w : route.waypoints)
                if (!waypoint.Int(1, routeId).Text(2, w.name).Double(3, w.lon).Double(4, w.lat).Int(5, ++order).Run())
                    return false;
        }
    }
    return true;
}

}  // namespace

bool WriteNavdataDb(const char* path, const std::vector<NavdataDbAirport>& airports, char* problem,
                    size_t problemSize)
{
    // Built beside the target and renamed over it, so that a reader never
    // meets half a database.
    std::string part = std::string(path) + ".part";
    std::remove(part.c_str());
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(part.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, NavdataDbSchema, nullptr, nullptr, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, "BEGIN TRANSACTION", nullptr, nullptr, nullptr) == SQLITE_OK &&
              WriteAirports(db, airports) && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok)
        std::snprintf(problem, problemSize, "%s", db != nullptr ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close(db);
    if (ok && !CommitReplacementFile(part.c_str(), path)) {
        std::snprintf(problem, problemSize, "cannot be put in place");
        ok = false;
    }
    if (!ok)
        std::remove(part.c_str());
    return ok;
}
