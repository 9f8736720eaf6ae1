// Flight-plan editing: the waypoint a click removes, the navaid or fix it
// inserts and where, and the dialogs' ways out.
#include "navdata/flight_plan_edit.h"

#include "app/file_dialogs.h"

#include "navdata/flight_plan.h"
#include "navdata/nav_tables.h"
#include "navdata/simulators.h"
#include "tests/navdata/nav_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class FlightPlanEdit : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Settings.UseSimulator = SimulatorMsfs;
        Settings.NavDatabase = 6;
        std::memset(&FlightPlan, 0, sizeof FlightPlan);
        SetFlightPlanKinds(PlanKindsXml);
        RouteChanged = 0;
    }
    void TearDown() override { FreeNavdata(); }
    void Add(const char* ident, double lat, double lon, double altitude = 3000, int kind = 5)
    {
        FlightPlanWaypoint& w = FlightPlan.waypoints[FlightPlan.count++];
        w = {kind, static_cast<float>(lat), static_cast<float>(lon), static_cast<float>(altitude), {}};
        std::snprintf(w.ident, sizeof w.ident, "%s", ident);
        FlightPlan.present = 1;
    }
    void Load(const std::vector<NavaidRecord>& navaids, const std::vector<FixRecord>& fixes)
    {
        root.WriteTable("Navdata/MSFS/navdat.bin", navaids);
        root.WriteTable("Navdata/MSFS/apt.bin", std::vector<AirportRecord>{});
        root.WriteTable("Navdata/MSFS/fixdat.bin", fixes);
        LoadNavaids();
        LoadAirports();
        LoadFixes();
    }
    std::string Idents() const
    {
        std::string s;
        for (int i = 0; i < FlightPlan.count; ++i)
            s += std::string(i ? " " : "") + FlightPlan.waypoints[i].ident;
        return s;
    }
    TempNavRoot root;
};

TEST_F(FlightPlanEdit, DeleteTakesTheNearestInnerWaypointAndTheLowerOneOnATie)
{
    Add("A", 50.0, 8.0);
    Add("B", 50.0, 9.0);
    Add("C", 50.0, 10.0);
    Add("D", 50.0, 11.0);
    DeleteNearestWaypoint(9.5, 50.0);  // as far from B as from C
    EXPECT_EQ(Idents(), "A C D");
    EXPECT_EQ(RouteChanged.load(), 1);
    DeleteNearestWaypoint(8.0, 50.0);  // nearest the start: the first inner one goes
    EXPECT_EQ(Idents(), "A D");
    RouteChanged = 0;
    DeleteNearestWaypoint(8.0, 50.0);  // the ends stay
    EXPECT_EQ(Idents(), "A D");
    EXPECT_EQ(RouteChanged.load(), 0);
}

TEST_F(FlightPlanEdit, InsertPutsTheNearestNavaidIntoTheLegItLengthensLeast)
{
    Load({MakeNavaid("HAM", 3, 53.68, 10.20), MakeNavaid("LOC", 5, 53.69, 10.19), MakeNavaid("HOS", 2, 53.40, 10.60)},
         {MakeFix("FAR", 54.9, 10.0)});
    Add("EDDH", 53.63, 10.0, 3000, 1);
    Add("EDHL", 53.80, 10.70, 5000, 1);
    InsertWaypointAt(10.19, 53.69);  // the localizer is nearer but no navaid of the route
    ASSERT_EQ(Idents(), "EDDH HAM EDHL");
    const FlightPlanWaypoint& w = FlightPlan.waypoints[1];
    EXPECT_EQ(w.kind, 4);  // a VOR in the plan's kinds
    EXPECT_FLOAT_EQ(w.altitude, 4000.0f);
    EXPECT_NEAR(w.lat, 53.68, 1e-5);
    EXPECT_EQ(RouteChanged.load(), 1);
    InsertWaypointAt(10.55, 53.45);
    EXPECT_EQ(Idents(), "EDDH HAM HOS EDHL");
    EXPECT_EQ(FlightPlan.waypoints[2].kind, 2);
}

TEST_F(FlightPlanEdit, NavaidWinsATieWithAFixAndAFixWinsWhenNearer)
{
    Load({MakeNavaid("NDB", 2, 50.1, 8.5)}, {MakeFix("FIXA", 49.9, 8.5), MakeFix("FIXB", 50.3, 9.0)});
    Add("A", 50.0, 8.0);
    Add("B", 50.0, 10.0);
    InsertWaypointAt(8.5, 50.0);
    EXPECT_EQ(Idents(), "A NDB B");
    InsertWaypointAt(9.0, 50.31);
    EXPECT_EQ(Idents(), "A NDB FIXB B");
    EXPECT_EQ(FlightPlan.waypoints[2].kind, 5);
}

TEST_F(FlightPlanEdit, FixesAreFoundWithoutAnyNavaid)
{
    Load({}, {MakeFix("ALONE", 50.2, 8.9)});
    Add("A", 50.0, 8.0);
    Add("B", 50.0, 10.0);
    InsertWaypointAt(9.0, 50.0);
    EXPECT_EQ(Idents(), "A ALONE B");
}

TEST_F(FlightPlanEdit, ClickNearTheDateLineSearchesBothSides)
{
    Load({MakeNavaid("WEST", 3, -16.0, -179.6), MakeNavaid("FARW", 3, -16.0, 170.0)}, {});
    Add("NFFN", -17.75, 177.44, 0, 1);
    Add("NSFA", -13.83, -172.0, 0, 1);
    InsertWaypointAt(179.8, -16.0);
    EXPECT_EQ(Idents(), "NFFN WEST NSFA");
}

TEST_F(FlightPlanEdit, NothingWithinADegreeOrNoRoomChangesNothing)
{
    Load({MakeNavaid("FAR", 3, 52.5, 8.0)}, {});
    Add("A", 50.0, 8.0);
    Add("B", 50.0, 10.0);
    InsertWaypointAt(9.0, 50.0);
    EXPECT_EQ(Idents(), "A B");
    EXPECT_EQ(RouteChanged.load(), 0);
    Load({MakeNavaid("NEAR", 3, 50.1, 9.0)}, {});
    FlightPlan.count = EditablePlanMaxWaypoints;
    InsertWaypointAt(9.0, 50.0);
    EXPECT_EQ(FlightPlan.count, EditablePlanMaxWaypoints);
    FlightPlan.count = 1;
    InsertWaypointAt(9.0, 50.0);  // no leg to take it
    EXPECT_EQ(FlightPlan.count, 1);
}

TEST_F(FlightPlanEdit, InsertedKindsFollowThePlansKindSet)
{
    EXPECT_EQ(InsertedKind(2, PlanKindsXml), 2);
    EXPECT_EQ(InsertedKind(3, PlanKindsXml), 4);
    EXPECT_EQ(InsertedKind(0, PlanKindsXml), 5);
    EXPECT_EQ(InsertedKind(2, PlanKindsText), 3);
    EXPECT_EQ(InsertedKind(3, PlanKindsText), 1);
    EXPECT_EQ(InsertedKind(0, PlanKindsText), 2);
}

TEST_F(FlightPlanEdit, PositionsAndDistancesAcrossTheDateLine)
{
    EXPECT_NEAR(WrappedDistance2D(179.9, 0, -179.9, 0), 0.2, 1e-9);
    EXPECT_NEAR(WrappedDistance2D(3, 0, 0, 4), 5.0, 1e-12);
    Add("A", 0, 0);
    Add("B", 0, 1);
    Add("C", 0, 2);
    EXPECT_EQ(BestInsertPosition(FlightPlan, 1.5, 0.1), 2);
    EXPECT_EQ(BestInsertPosition(FlightPlan, 1.0, 0.1), 1);  // a tie goes to the first leg
    EXPECT_EQ(NearestInnerWaypoint(FlightPlan, 5, 5), 1);
}

TEST_F(FlightPlanEdit, CancelledDialogsChangeNothing)
{
    Add("A", 50.0, 8.0);
    Add("B", 50.0, 10.0);
    EXPECT_FALSE(OpenFlightPlanDialog());
    SaveFlightPlanDialog();
    EXPECT_EQ(FlightPlan.count, 2);
}

}  // namespace
