// The procedure database: runways and procedures found by their names, the
// revision pattern, the choice among routes of one name, values that are
// never pasted into the SQL, and a database that is not there.
#include "navdata/procedure_db.h"

#include "tests/navdata/nav_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

NavdataDbRoute Route(const char* table, const char* name, const char* runway,
                     std::vector<NavdataDbWaypoint> waypoints)
{
    return NavdataDbRoute{table, name, runway, std::move(waypoints)};
}

class ProcedureDb : public ::testing::Test {
  protected:
    void TearDown() override { CloseNavdataDb(); }
    void Write(const std::vector<NavdataDbAirport>& airports)
    {
        char problem[128] = "";
        ASSERT_TRUE(WriteNavdataDb(root.Path("Navdata/Navdata.db").c_str(), airports, problem, sizeof problem))
            << problem;
    }
    // Hamburg with two runways and procedures of each kind.
    void WriteHamburg()
    {
        NavdataDbAirport eddh{"EDDH", {{"05", 50.2, 3250}, {"23", 230.2, 3250}, {"15", 153.0, 3666}}, {}};
        eddh.routes = {
            Route("sid", "STADE2B", "23", {{"ANEXI", 53.5222, 9.7703}, {"ESTAD", 53.5253, 9.5647}, {"STADE", 53.4953, 9.4469}}),
            Route("sid", "RIBSO1A", "05", {{"ALF04", 53.6946, 9.9413}, {"RIBSO", 53.8077, 9.3375}}),
            Route("star", "NOLGO1H", "23", {{"NOLGO", 53.3915, 10.1363}, {"MABAS", 53.5206, 10.2808}}),
            Route("apptr", "I23", "23", {{"PISAS", 53.7339, 10.1950}, {"ALF38", 53.6741, 10.0770}}),
            Route("apptr", "I23", "23", {{"SOSAX", 53.4926, 10.1154}, {"HAM07", 53.5311, 10.0821}}),
            Route("final", "I23", "23", {{"ALF38", 53.6741, 10.0770}, {"RW23", 53.6375, 10.0053}}),
            Route("final", "LONGNAMEFORAPPROACH", "15", {{"VERYLONGFIX", 53.7, 9.9}}),
            Route("sid", "NOWHERE1A", "99", {{"X", 1, 1}}),  // a runway the airport lacks
        };
        NavdataDbAirport edhl{"EDHL", {{"07", 72.0, 2100}}, {Route("sid", "STADE2B", "07", {{"LUB", 53.94, 10.67}})}};
        Write({eddh, edhl});
    }
    int32_t Runway(const char* icao, const char* number)
    {
        int32_t id = 0;
        GetRunwayId(&id, icao, number);
        return id;
    }
    TempNavRoot root;
};

TEST_F(ProcedureDb, RunwaysAreFoundByAirportAndNumber)
{
    WriteHamburg();
    int32_t id = Runway("EDDH", "23");
    EXPECT_GT(id, 0);
    EXPECT_EQ(Runway("EDDH", "33"), -1);
    EXPECT_EQ(Runway("EDHL", "23"), -1);
    double direction = -1, length = -1;
    GetRunwayDirectionLength(id, &direction, &length);
    EXPECT_DOUBLE_EQ(direction, 230.2);
    EXPECT_DOUBLE_EQ(length, 3250);
    direction = length = -7;
    GetRunwayDirectionLength(12345, &direction, &length);
    EXPECT_EQ(direction, -7);  // untouched
}

TEST_F(ProcedureDb, ARunwayGivenTwiceAnswersWithTheLastRow)
{
    Write({NavdataDbAirport{"EDDH", {{"05", 50, 3000}, {"05", 50, 3100}}, {}}});
    int32_t id = Runway("EDDH", "05");
    double direction = 0, length = 0;
    GetRunwayDirectionLength(id, &direction, &length);
    EXPECT_EQ(length, 3100);
}

TEST_F(ProcedureDb, ProceduresOfARunwayWithNamesCutToEleven)
{
    WriteHamburg();
    std::vector<ProcedureRoute> routes;
    GetRoutesForRunway(&routes, Runway("EDDH", "23"), "sid");
    ASSERT_EQ(routes.size(), 1u);
    EXPECT_STREQ(routes[0].name, "STADE2B");
    GetRoutesForRunway(&routes, Runway("EDDH", "15"), "final");
    ASSERT_EQ(routes.size(), 1u);
    EXPECT_STREQ(routes[0].name, "LONGNAMEFOR");
    std::vector<FlightPlanWaypoint> w;
    ASSERT_TRUE(GetRouteWaypoints(&w, routes[0].routeId));
    EXPECT_STREQ(w[0].ident, "VERYLON");
}

TEST_F(ProcedureDb, WaypointsComeInTheirOrderAsFixesWithoutAltitude)
{
    WriteHamburg();
    std::vector<FlightPlanWaypoint> w;
    ASSERT_TRUE(GetRouteWaypointsByName(&w, Runway("EDDH", "23"), "STADE2B", "sid", 9.9, 53.6));
    ASSERT_EQ(w.size(), 3u);
    EXPECT_STREQ(w[0].ident, "ANEXI");
    EXPECT_STREQ(w[2].ident, "STADE");
    EXPECT_FLOAT_EQ(w[1].lon, 9.5647f);
    EXPECT_FLOAT_EQ(w[1].lat, 53.5253f);
    for (const FlightPlanWaypoint& p : w) {
        EXPECT_EQ(p.kind, 5);
        EXPECT_EQ(p.altitude, 0.0f);
    }
}

TEST_F(ProcedureDb, ARouteWithAWaypointOffTheEarthGivesNoWaypoints)
{
    // A damaged file: one point far away would put the plan at infinity.
    NavdataDbAirport eddh{"EDDH", {{"05", 50.2, 3250}}, {}};
    eddh.routes = {Route("sid", "FAR1A", "05", {{"ALF04", 53.69, 9.94}, {"FAR", 1e300, 9.3}}),
                   Route("sid", "WEST1A", "05", {{"ALF04", 53.69, 9.94}, {"WEST", 53.8, -180.5}}),
                   Route("sid", "GOOD1A", "05", {{"ALF04", 53.69, 9.94}, {"RIBSO", 53.8, 9.3}})};
    Write({eddh});
    int32_t runway = Runway("EDDH", "05");
    std::vector<FlightPlanWaypoint> w;
    for (const char* name : {"FAR1A", "WEST1A"}) {
        w.assign(1, FlightPlanWaypoint{});
        ASSERT_TRUE(GetRouteWaypointsByName(&w, runway, name, "sid", 9.9, 53.6)) << name;
        EXPECT_TRUE(w.empty()) << name;
    }
    ASSERT_TRUE(GetRouteWaypointsByName(&w, runway, "GOOD1A", "sid", 9.9, 53.6));
    EXPECT_EQ(w.size(), 2u);
}

TEST_F(ProcedureDb, AnotherRevisionIsFoundByItsPatternAndANameWithoutDigitsIsNot)
{
    WriteHamburg();
    char pattern[16] = "STADE3B";
    MakeLikePattern(pattern);
    EXPECT_STREQ(pattern, "STADE%");
    char plain[16] = "NODIGITS";
    MakeLikePattern(plain);
    EXPECT_STREQ(plain, "NODIGITS");
    std::vector<FlightPlanWaypoint> w;
    EXPECT_TRUE(GetRouteWaypointsByName(&w, Runway("EDDH", "23"), "STADE3B", "sid", 0, 0));
    EXPECT_STREQ(w[0].ident, "ANEXI");
    w.assign(1, FlightPlanWaypoint{});
    EXPECT_FALSE(GetRouteWaypointsByName(&w, Runway("EDDH", "23"), "STADEB", "sid", 0, 0));
    EXPECT_EQ(w.size(), 1u);  // untouched
}

TEST_F(ProcedureDb, OfTwoRoutesOfOneNameTheOneNearerTheReferenceIsTaken)
{
    WriteHamburg();
    std::vector<FlightPlanWaypoint> w;
    int32_t runway = Runway("EDDH", "23");
    ASSERT_TRUE(GetRouteWaypointsByName(&w, runway, "I23", "apptr", 10.12, 53.49));
    EXPECT_STREQ(w[0].ident, "SOSAX");
    ASSERT_TRUE(GetRouteWaypointsByName(&w, runway, "I23", "apptr", 10.2, 53.75));
    EXPECT_STREQ(w[0].ident, "PISAS");
    std::vector<std::vector<FlightPlanWaypoint>> all;
    ASSERT_TRUE(GetRouteWaypointsByNameAnyRunway(&all, runway, "I23", "apptr"));
    EXPECT_EQ(all.size(), 2u);
    ASSERT_TRUE(GetRouteWaypointsByNameAnyRunway(&all, -1, "STADE2B", "sid"));
    EXPECT_EQ(all.size(), 2u);  // Hamburg's and Luebeck's
    EXPECT_FALSE(GetRouteWaypointsByNameAnyRunway(&all, -1, "NOWHERE1A", "sid"));  // its runway was left out
    EXPECT_TRUE(all.empty());
}

TEST_F(ProcedureDb, ValuesAreBoundAndOnlyProcedureTablesAreNamed)
{
    WriteHamburg();
    EXPECT_EQ(Runway("EDDH' or '1'='1", "23"), -1);
    std::vector<ProcedureRoute> routes;
    GetRoutesForRunway(&routes, Runway("EDDH", "23"), "sid where 1=1; drop table runways; --");
    EXPECT_TRUE(routes.empty());
    std::vector<FlightPlanWaypoint> w;
    EXPECT_FALSE(GetRouteWaypointsByName(&w, Runway("EDDH", "23"), "x' or name like '%", "sid", 0, 0));
    EXPECT_FALSE(GetRouteWaypointsByName(&w, 1, "STADE2B", "runways", 0, 0));
    EXPECT_GT(Runway("EDDH", "23"), 0);  // the runways are still there
    EXPECT_TRUE(IsProcedureTable("final"));
    EXPECT_FALSE(IsProcedureTable("waypoints"));
}

TEST_F(ProcedureDb, MissingDatabaseAnswersNothingAndIsOpenedOnceItIsThere)
{
    EXPECT_EQ(Runway("EDDH", "23"), -1);
    std::vector<ProcedureRoute> routes(1);
    GetRoutesForRunway(&routes, 1, "sid");
    EXPECT_TRUE(routes.empty());
    std::vector<FlightPlanWaypoint> w(2);
    EXPECT_TRUE(GetRouteWaypoints(&w, 1));
    EXPECT_TRUE(w.empty());
    EXPECT_FALSE(GetRouteWaypoints(&w, -1));
    EXPECT_FALSE(std::filesystem::exists(root.Path("Navdata/Navdata.db")));  // never created by a query
    WriteHamburg();
    EXPECT_GT(Runway("EDDH", "23"), 0);
    CloseNavdataDb();
    CloseNavdataDb();  // twice is fine
}

}  // namespace
