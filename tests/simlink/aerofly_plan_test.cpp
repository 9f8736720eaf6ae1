// The Aerofly FS 2 plan completed from a procedure database of the test's
// own: the runway extension, the SID chosen by name or by the nearest end,
// the STAR, transition and final approach that join up, the computed
// approach point, names the database lacks, a plan longer than the record,
// and the hand-over from the link to the shared plan.
#include "simlink/aerofly_plan.h"

#include "aerofly_datagrams.h"
#include "link_datagrams.h"
#include "navdata/procedure_db.h"
#include "simlink/aerofly_link.h"
#include "simlink/aerofly_procedures.h"
#include "simlink/sim_link.h"
#include "tests/navdata/nav_fixtures.h"
#include "tests/support/link_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr double Rad = 0.017453293;
// Hamburg's runway 23 threshold.
constexpr double Rw23Lon = 10.0053, Rw23Lat = 53.6375;

NavdataDbRoute Route(const char* table, const char* name, const char* runway, std::vector<NavdataDbWaypoint> points)
{
    return NavdataDbRoute{table, name, runway, std::move(points)};
}

std::vector<std::string> Idents(const FlightPlanRecord& plan)
{
    std::vector<std::string> idents;
    for (int i = 0; i < plan.count; ++i)
        idents.push_back(plan.waypoints[i].ident);
    return idents;
}

class AeroflyPlanTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    TempNavRoot root;
    AeroflyAirportBlock departure = AeroflyAirportAt("EDDH", "23", 9.9883, 53.6304);
    AeroflyAirportBlock destination = AeroflyAirportAt("EDDH", "23", 9.9883, 53.6304);
    std::vector<AeroflyRouteWaypoint> route = {AeroflyWaypoint("WP1", 0, 9.0, 53.4),
                                               AeroflyWaypoint("WP2", 0, 9.5, 53.9)};
    FlightPlanRecord plan{};
    AeroflyNameSet departureNames{}, destinationNames{};
    LinkDrop leftOut = LinkDrop::None;

    void SetUp() override
    {
        departure.runwayLongitude = destination.runwayLongitude = Rw23Lon;
        departure.runwayLatitude = destination.runwayLatitude = Rw23Lat;
        WriteHamburg();
    }
    void TearDown() override { CloseNavdataDb(); }

    void WriteHamburg()
    {
        // Runway lengths in feet, as the database keeps them: 3250 m and 3666 m.
        NavdataDbAirport eddh{"EDDH", {{"05", 50.0, 10663}, {"23", 230.0, 10663}, {"15", 150.0, 12028}}, {}};
        eddh.routes = {
            Route("sid", "STADE2B", "23", {{"ANEXI", 53.52, 9.77}, {"ESTAD", 53.53, 9.56}, {"STADE", 53.50, 9.45}}),
            Route("sid", "EAST1A", "23", {{"E1", 53.60, 10.2}, {"EAST", 53.63, 10.5}}),
            Route("sid", "WEST1A", "23", {{"W1", 53.60, 9.8}, {"WEST", 53.63, 9.5}}),
            Route("sid", "NORTH1A", "05", {{"N1", 53.70, 10.0}, {"NORTH", 54.2, 10.0}}),
            Route("sid", "SOUTH1A", "05", {{"S1", 53.50, 10.0}, {"SOUTH", 53.0, 10.0}}),
            Route("star", "NOLGO1H", "23", {{"NOLGO", 53.39, 10.14}, {"MABAS", 53.52, 10.28}, {"PISAS", 53.73, 10.19}}),
            Route("star", "BOGEN1H", "23", {{"BOGEN", 53.30, 10.00}, {"SOSAX", 53.49, 10.12}}),
            Route("star", "TWIN1H", "05", {{"T1", 53.2, 10.0}, {"PISAS", 53.73, 10.19}}),
            Route("star", "TWIN1H", "23", {{"T2", 53.2, 10.4}, {"ALF38", 53.67, 10.08}}),
            Route("apptr", "I23", "23", {{"PISAS", 53.73, 10.19}, {"ALF38", 53.67, 10.08}}),
            Route("apptr", "I23", "23", {{"SOSAX", 53.49, 10.12}, {"HAM07", 53.53, 10.08}, {"ALF38", 53.67, 10.08}}),
            Route("final", "I23", "23", {{"ALF38", 53.67, 10.08}, {"RW23", Rw23Lat, Rw23Lon}}),
            Route("final", "R23", "23", {{"ALF38", 53.67, 10.08}, {"RW23", Rw23Lat, Rw23Lon}}),
        };
        char problem[128] = "";
        ASSERT_TRUE(WriteNavdataDb(root.Path("Navdata/Navdata.db").c_str(), {eddh}, problem, sizeof problem))
            << problem;
    }

    void Build(const std::vector<AeroflyRouteWaypoint>& points)
    {
        std::vector<uint8_t> d = AeroflyPlan(departure, destination, points);
        static AeroflyPlanMessage message;
        ASSERT_EQ(ParseAeroflyPlan(d.data(), d.size(), &message), LinkDrop::None);
        BuildAeroflyPlan(message, &plan, &departureNames, &destinationNames, &leftOut);
    }
    void Build() { Build(route); }
    void SetSid(const char* name) { std::snprintf(departure.procedures, sizeof departure.procedures, "%s", name); }
};

TEST_F(AeroflyPlanTest, WithoutProceduresTheRunwaysAreExtendedAtBothEnds)
{
    Build();
    ASSERT_EQ(Idents(plan), (std::vector<std::string>{"EDDH", "23", "WP1", "WP2", "23", "EDDH"}));
    EXPECT_EQ(plan.present, 1);
    EXPECT_EQ(plan.simActiveIndex, 1);
    EXPECT_EQ(leftOut, LinkDrop::None);
    const FlightPlanWaypoint* w = plan.waypoints;
    // The departure stands at its runway, the destination at the airport.
    EXPECT_EQ(w[0].kind, 1);
    EXPECT_FLOAT_EQ(w[0].lat, static_cast<float>(Rw23Lat));
    EXPECT_EQ(w[5].kind, 1);
    EXPECT_FLOAT_EQ(w[5].lat, 53.6304f);
    EXPECT_EQ(w[5].altitude, 0.0f);
    // One and a half runway lengths along 230 degrees, 1500 ft up: 10663 ft
    // are 3.25 km, of the 111.1 km of a degree.
    double d = 1.5 * 10663 * 0.0003048 / 111.1;
    EXPECT_EQ(w[1].kind, 4);
    EXPECT_EQ(w[1].altitude, 1500.0f);
    EXPECT_NEAR(w[1].lat, Rw23Lat + std::cos(230 * Rad) * d, 1e-5);
    EXPECT_NEAR(w[1].lon, Rw23Lon + std::sin(230 * Rad) * d / std::cos(Rw23Lat * Rad), 1e-5);
    // Four runway lengths out on the approach, at half the height before.
    d = 4.0 * 10663 * 0.0003048 / 111.1;
    EXPECT_EQ(w[4].kind, 4);
    EXPECT_EQ(w[4].altitude, 0.0f);
    EXPECT_NEAR(w[4].lat, Rw23Lat - std::cos(230 * Rad) * d, 1e-5);
    EXPECT_NEAR(w[4].lon, Rw23Lon - std::sin(230 * Rad) * d / std::cos(Rw23Lat * Rad), 1e-5);
}

TEST_F(AeroflyPlanTest, ARunwayPointingNorthIsExtendedNorthAndApproachedFromTheSouth)
{
    // A runway of less than a degree: its own direction is no reason to turn.
    NavdataDbAirport edxn{"EDXN", {{"36", 0.5, 6000}}, {}};
    char problem[128] = "";
    CloseNavdataDb();
    ASSERT_TRUE(WriteNavdataDb(root.Path("Navdata/Navdata.db").c_str(), {edxn}, problem, sizeof problem));
    departure = AeroflyAirportAt("EDXN", "36", 10.0, 53.0);
    destination = AeroflyAirportAt("EDXN", "36", 10.0, 53.0);
    departure.runwayLongitude = destination.runwayLongitude = 10.0;
    departure.runwayLatitude = destination.runwayLatitude = 53.0;
    Build({});
    ASSERT_EQ(Idents(plan), (std::vector<std::string>{"EDXN", "36", "36", "EDXN"}));
    double d = 6000 * 0.0003048 / 111.1;
    EXPECT_NEAR(plan.waypoints[1].lat, 53.0 + std::cos(0.5 * Rad) * 1.5 * d, 1e-5);
    EXPECT_NEAR(plan.waypoints[2].lat, 53.0 - std::cos(0.5 * Rad) * 4.0 * d, 1e-5);
    EXPECT_GT(plan.waypoints[1].lon, 10.0);  // a little east of north
    EXPECT_LT(plan.waypoints[2].lon, 10.0);
}

TEST_F(AeroflyPlanTest, RouteWaypointKindsFollowTheirKindValue)
{
    Build({AeroflyWaypoint("FIX", 0, 9.0, 53.0), AeroflyWaypoint("VOR1", 1, 9.1, 53.0),
           AeroflyWaypoint("VOR2", 140000, 9.2, 53.0), AeroflyWaypoint("NDB", 140000.5, 9.3, 53.0)});
    EXPECT_EQ(plan.waypoints[2].kind, 5);
    EXPECT_EQ(plan.waypoints[3].kind, 4);
    EXPECT_EQ(plan.waypoints[4].kind, 4);
    EXPECT_EQ(plan.waypoints[5].kind, 2);
    EXPECT_EQ(plan.waypoints[5].altitude, 0.0f);
}

TEST_F(AeroflyPlanTest, AnApproachPointAfterTheFirstLegTakesHalfItsHeight)
{
    Build({});
    ASSERT_EQ(plan.count, 4);
    EXPECT_EQ(plan.waypoints[2].altitude, 750.0f);
}

TEST_F(AeroflyPlanTest, TheSidOfItsNameFollowsTheRunwayExtension)
{
    SetSid("STADE2B");
    Build();
    EXPECT_EQ(Idents(plan),
              (std::vector<std::string>{"EDDH", "23", "ANEXI", "ESTAD", "STADE", "WP1", "WP2", "23", "EDDH"}));
    EXPECT_EQ(plan.waypoints[2].kind, 5);
    // Another revision of the name is the same procedure.
    SetSid("STADE3C");
    Build();
    EXPECT_EQ(std::string(plan.waypoints[2].ident), "ANEXI");
}

TEST_F(AeroflyPlanTest, ASidTheDatabaseLacksIsTheRouteEndingNearestTheExtension)
{
    // The extension lies south-west of the field: WEST ends nearer than EAST.
    SetSid("NOSUCH1A");
    Build();
    EXPECT_EQ(std::string(plan.waypoints[2].ident), "W1");
    EXPECT_EQ(leftOut, LinkDrop::None);
}

TEST_F(AeroflyPlanTest, NamesTheDatabaseLacksLeaveTheirPieceOutAndAreNoted)
{
    std::snprintf(departure.runway, sizeof departure.runway, "15");
    SetSid("STADE2B");  // runway 15 has no SID at all
    SetAeroflyArrivalNames(&destination, "NONE1H", "X99");
    Build();
    EXPECT_EQ(Idents(plan), (std::vector<std::string>{"EDDH", "15", "WP1", "WP2", "23", "EDDH"}));
    EXPECT_EQ(leftOut, LinkDrop::UnknownProcedure);
}

TEST_F(AeroflyPlanTest, ARunwayTheDatabaseLacksExtendsNothing)
{
    std::snprintf(departure.runway, sizeof departure.runway, "99");
    Build();
    EXPECT_EQ(plan.waypoints[1].lat, plan.waypoints[0].lat);
    EXPECT_EQ(plan.waypoints[1].lon, plan.waypoints[0].lon);
    EXPECT_EQ(leftOut, LinkDrop::UnknownProcedure);
}

TEST_F(AeroflyPlanTest, TheStarAndTransitionThatJoinAreFlownIntoTheFinalApproach)
{
    // Of the two transitions to ALF38, only SOSAX's start is where a STAR ends.
    SetAeroflyArrivalNames(&destination, "BOGEN1H", "I23");
    Build();
    EXPECT_EQ(Idents(plan), (std::vector<std::string>{"EDDH", "23", "WP1", "WP2", "BOGEN", "SOSAX", "HAM07",
                                                      "ALF38", "RW23", "EDDH"}));
    EXPECT_EQ(leftOut, LinkDrop::None);
}

TEST_F(AeroflyPlanTest, WithoutAStarThatJoinsTheTransitionStillLeadsToTheFinal)
{
    SetAeroflyArrivalNames(&destination, "NOLGO1H", "I23");
    Build();
    // NOLGO1H ends at PISAS, where the first transition starts: it joins.
    EXPECT_EQ(Idents(plan), (std::vector<std::string>{"EDDH", "23", "WP1", "WP2", "NOLGO", "MABAS", "PISAS",
                                                      "ALF38", "RW23", "EDDH"}));
    SetAeroflyArrivalNames(&destination, "", "I23");
    Build();
    EXPECT_EQ(Idents(plan),
              (std::vector<std::string>{"EDDH", "23", "WP1", "WP2", "PISAS", "ALF38", "RW23", "EDDH"}));
}

TEST_F(AeroflyPlanTest, WithoutTransitionsTheStarEndingAtTheFinalIsTaken)
{
    SetAeroflyArrivalNames(&destination, "TWIN1H", "R23");
    Build();
    EXPECT_EQ(Idents(plan), (std::vector<std::string>{"EDDH", "23", "WP1", "WP2", "T2", "ALF38", "RW23", "EDDH"}));
}

TEST_F(AeroflyPlanTest, AStarWithoutFinalApproachLeadsToTheComputedApproachPoint)
{
    SetAeroflyArrivalNames(&destination, "BOGEN1H", "");
    Build();
    EXPECT_EQ(Idents(plan), (std::vector<std::string>{"EDDH", "23", "WP1", "WP2", "BOGEN", "SOSAX", "23", "EDDH"}));
    // A final approach without a STAR: the computed point leads into it.
    SetAeroflyArrivalNames(&destination, "", "R23");
    Build();
    EXPECT_EQ(Idents(plan), (std::vector<std::string>{"EDDH", "23", "WP1", "WP2", "23", "ALF38", "RW23", "EDDH"}));
}

TEST_F(AeroflyPlanTest, APlanLongerThanTheRecordStillEndsAtItsDestination)
{
    std::vector<AeroflyRouteWaypoint> many;
    for (int i = 0; i < AeroflyMaxRouteWaypoints; ++i)
        many.push_back(AeroflyWaypoint(("P" + std::to_string(i)).c_str(), 0, 9.0 + i * 0.001, 53.0));
    SetSid("STADE2B");
    SetAeroflyArrivalNames(&destination, "BOGEN1H", "I23");
    Build(many);
    ASSERT_EQ(plan.count, FlightPlanMaxWaypoints);
    EXPECT_STREQ(plan.waypoints[298].ident, "P293");
    EXPECT_STREQ(plan.waypoints[299].ident, "EDDH");
    EXPECT_EQ(plan.waypoints[299].kind, 1);
    EXPECT_EQ(leftOut, LinkDrop::PlanTooLong);
}

TEST_F(AeroflyPlanTest, WithoutTheDatabaseThePlanIsTheSimulatorsOwn)
{
    CloseNavdataDb();
    std::remove(root.Path("Navdata/Navdata.db").c_str());
    SetSid("STADE2B");
    SetAeroflyArrivalNames(&destination, "BOGEN1H", "I23");
    Build();
    EXPECT_EQ(Idents(plan), (std::vector<std::string>{"EDDH", "23", "WP1", "WP2", "23", "EDDH"}));
    EXPECT_EQ(plan.waypoints[1].lat, plan.waypoints[0].lat);
}

// The loaders on their own.
class AeroflyProcedureLoader : public AeroflyPlanTest {};

TEST_F(AeroflyProcedureLoader, AnExactNameWinsOverANearerRoute)
{
    ASSERT_TRUE(LoadSidProcedure("EDDH", "23", "EAST1A", 9.5, 53.63));
    ASSERT_EQ(GetSidPoints().size(), 2u);
    EXPECT_STREQ(GetSidPoints()[1].ident, "EAST");
}

TEST_F(AeroflyProcedureLoader, OfRoutesEndingEquallyNearTheFirstIsKept)
{
    // EAST and WEST end half a degree either side of 10.0; STADE further.
    ASSERT_TRUE(LoadSidProcedure("EDDH", "23", "NOSUCH", 10.0, 53.63));
    EXPECT_STREQ(GetSidPoints().back().ident, "EAST");
    ASSERT_TRUE(LoadSidProcedure("EDDH", "05", "NOSUCH", 10.0, 53.0));
    EXPECT_STREQ(GetSidPoints().back().ident, "SOUTH");
}

TEST_F(AeroflyProcedureLoader, ARunwayWithoutRoutesGivesFalseAndKeepsTheList)
{
    ASSERT_TRUE(LoadSidProcedure("EDDH", "23", "STADE2B", 0, 0));
    EXPECT_FALSE(LoadSidProcedure("EDDH", "15", "STADE2B", 0, 0));
    EXPECT_FALSE(LoadSidProcedure("EDHL", "23", "STADE2B", 0, 0));
    ASSERT_EQ(GetSidPoints().size(), 3u);
    EXPECT_STREQ(GetSidPoints()[0].ident, "ANEXI");
}

TEST_F(AeroflyProcedureLoader, ArrivalsComeFromTheTableNamedAndGiveTheirFirstPoint)
{
    EXPECT_EQ(GetArrivalFirstLongitude(), 0.0);
    ASSERT_TRUE(LoadArrivalProcedure("EDDH", "23", "I23", 0, 0, "final"));
    EXPECT_FLOAT_EQ(static_cast<float>(GetArrivalFirstLongitude()), 10.08f);
    EXPECT_FLOAT_EQ(static_cast<float>(GetArrivalFirstLatitude()), 53.67f);
    // Two transitions of the name: the one that comes nearest the point.
    ASSERT_TRUE(LoadArrivalProcedure("EDDH", "23", "I23", 10.12, 53.49, "apptr"));
    EXPECT_STREQ(GetArrivalPoints()[0].ident, "SOSAX");
    EXPECT_FALSE(LoadArrivalProcedure("EDDH", "23", "I23", 0, 0, "runways"));
}

TEST_F(AeroflyProcedureLoader, RoutesWithoutPointsAreNoProcedure)
{
    CloseNavdataDb();
    NavdataDbAirport edhl{"EDHL", {{"07", 70.0, 2100}}, {}};
    edhl.routes = {Route("sid", "EMPTY1A", "07", {}), Route("sid", "EMPTY2A", "07", {})};
    char problem[128] = "";
    ASSERT_TRUE(WriteNavdataDb(root.Path("Navdata/Navdata.db").c_str(), {edhl}, problem, sizeof problem));
    EXPECT_FALSE(LoadSidProcedure("EDHL", "07", "NOSUCH", 10.0, 53.0));
    EXPECT_TRUE(GetSidPoints().empty());
}

// The link hands the plan to the frame, which completes it into the shared
// plan and shows it.
TEST_F(AeroflyPlanTest, AReceivedPlanIsCompletedShownAndTakenOnce)
{
    Settings.UseSimulator = SimulatorAerofly;
    SetFlightPlanState(0);
    SimPlanTaken = 0;
    RouteChanged = 0;
    SetSid("STADE2B");
    SetAeroflyArrivalNames(&destination, "BOGEN1H", "I23");
    EXPECT_FALSE(CompleteAeroflyPlan());
    std::vector<uint8_t> d = AeroflyPlan(departure, destination, route);
    ASSERT_TRUE(HandleAeroflyDatagram(d.data(), d.size()));
    EXPECT_FALSE(IsAeroflyLoaderBusy());
    ASSERT_TRUE(CompleteAeroflyPlan());
    EXPECT_FALSE(CompleteAeroflyPlan());
    FlightPlanRecord shared;
    CopyFlightPlan(&shared);
    EXPECT_EQ(shared.count, 13);
    EXPECT_STREQ(shared.waypoints[2].ident, "ANEXI");
    EXPECT_STREQ(shared.waypoints[12].ident, "EDDH");
    EXPECT_EQ(GetFlightPlanKinds(), PlanKindsXml);
    EXPECT_EQ(RouteChanged.load(), 1);
    EXPECT_EQ(SimPlanTaken.load(), 1);
    EXPECT_TRUE(IsFlightPlanShown());
    EXPECT_STREQ(GetDeparturePosition(), "23");
    EXPECT_STREQ(GetDepartureName(), "");  // no airport archive here

    // A plan that does not add up leaves the plan in hand alone.
    d = AeroflyPlan(departure, destination, route, 40.0f);
    ASSERT_TRUE(HandleAeroflyDatagram(d.data(), d.size()));
    EXPECT_FALSE(CompleteAeroflyPlan());
    CopyFlightPlan(&shared);
    EXPECT_EQ(shared.count, 13);
}

}  // namespace
