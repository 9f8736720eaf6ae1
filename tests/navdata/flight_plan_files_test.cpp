// The map program's plan files: loading into FlightPlan and saving it.
#include "navdata/flight_plan_files.h"

#include "navdata/flight_plan.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char* kTextPlan = "[flightplan]\n"
                        "waypoint.0=EDDH, A, N53* 37.82', E9* 59.33', +000053.00,\n"
                        "waypoint.1=HAM, V, N53* 41.13', E10* 12.32', +000000.00,\n"
                        "waypoint.2=HLZ, N, N52* 22.00', E9* 37.00', +006000.00,\n"
                        "waypoint.3=EDDF, A, N50* 2.00', E8* 34.23', +000364.00,\n";

class FlightPlanFiles : public ::testing::Test {
  protected:
    void SetUp() override
    {
        std::memset(&FlightPlan, 0, sizeof FlightPlan);
        RouteChanged = 0;
        SetFlightPlanKinds(PlanKindsXml);
    }
    TempFolder folder_;
};

TEST_F(FlightPlanFiles, TextPlanIsLoadedWithItsKindsAndMarksTheRouteChanged)
{
    std::string path = folder_ / "plan.txt";
    ASSERT_TRUE(WriteFileText(path, kTextPlan));
    ASSERT_TRUE(LoadFlightPlanFile(path.c_str()));
    EXPECT_EQ(FlightPlan.present, 1);
    EXPECT_EQ(FlightPlan.count, 4);
    EXPECT_EQ(GetFlightPlanKinds(), PlanKindsText);
    EXPECT_EQ(FlightPlan.waypoints[1].altitude, 6000.0f);  // flown at the cruising altitude
    EXPECT_EQ(RouteChanged.load(), 1);
}

TEST_F(FlightPlanFiles, SavedTextPlanKeepsWhatItsKindsMeant)
{
    std::string path = folder_ / "plan.txt";
    ASSERT_TRUE(WriteFileText(path, kTextPlan));
    ASSERT_TRUE(LoadFlightPlanFile(path.c_str()));
    std::string saved = folder_ / "saved";
    ASSERT_TRUE(SavePlnFile(saved.c_str()));
    std::string text = ReadFileText(saved + ".pln");
    EXPECT_NE(text.find("<ATCWaypointType>VOR</ATCWaypointType>"), std::string::npos);
    EXPECT_NE(text.find("<ATCWaypointType>NDB</ATCWaypointType>"), std::string::npos);
    ASSERT_TRUE(LoadFlightPlanFile((saved + ".pln").c_str()));
    EXPECT_EQ(GetFlightPlanKinds(), PlanKindsXml);
    EXPECT_EQ(FlightPlan.waypoints[1].kind, 4);  // VOR
    EXPECT_EQ(FlightPlan.waypoints[2].kind, 2);  // NDB
}

TEST_F(FlightPlanFiles, RefusedOrForeignFileLeavesThePlanAndTheRoute)
{
    FlightPlan.present = 1;
    FlightPlan.count = 2;
    std::strcpy(FlightPlan.waypoints[0].ident, "KEEP");
    std::string truncated = folder_ / "cut.pln";
    ASSERT_TRUE(WriteFileText(truncated, "<?xml version=\"1.0\"?>\n<SimBase.Document><FlightPlan.FlightPlan>\n"));
    EXPECT_FALSE(LoadFlightPlanFile(truncated.c_str()));
    std::string foreign = folder_ / "notes.txt";
    ASSERT_TRUE(WriteFileText(foreign, "shopping list\n"));
    EXPECT_FALSE(LoadFlightPlanFile(foreign.c_str()));  // a plan in the table is no reason to say yes
    EXPECT_FALSE(LoadFlightPlanFile((folder_ / "missing.pln").c_str()));
    EXPECT_EQ(FlightPlan.count, 2);
    EXPECT_STREQ(FlightPlan.waypoints[0].ident, "KEEP");
    EXPECT_EQ(RouteChanged.load(), 0);
}

TEST_F(FlightPlanFiles, EmptyPlanIsNotSaved)
{
    std::string saved = folder_ / "nothing.pln";
    EXPECT_FALSE(SavePlnFile(saved.c_str()));
    EXPECT_TRUE(ReadFileText(saved).empty());
}

}  // namespace
