// The proxy's reading of the simulator's plan file through the shared reader.
#include "proxy/sim_flight_plan.h"

#include "platform/threads.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

#include <cstring>
#include <string>

namespace {

const char* kXmlPlan = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SimBase.Document>\n <FlightPlan.FlightPlan>\n"
                       "  <CruisingAlt>9000</CruisingAlt>\n"
                       "  <ATCWaypoint id=\"EDDH\"><ATCWaypointType>Airport</ATCWaypointType>"
                       "<WorldPosition>N53\xC2\xB0 37' 49.00\",E9\xC2\xB0 59' 19.00\",+000053.00</WorldPosition></ATCWaypoint>\n"
                       "  <ATCWaypoint id=\"MID\"><ATCWaypointType>User</ATCWaypointType>"
                       "<WorldPosition>N53\xC2\xB0 0' 0.00\",E9\xC2\xB0 0' 0.00\",+000000.00</WorldPosition></ATCWaypoint>\n"
                       "  <ATCWaypoint id=\"EDDF\"><ATCWaypointType>Airport</ATCWaypointType>"
                       "<WorldPosition>N50\xC2\xB0 2' 0.00\",E8\xC2\xB0 34' 14.00\",+000364.00</WorldPosition></ATCWaypoint>\n"
                       " </FlightPlan.FlightPlan>\n</SimBase.Document>\n";

class ProxyPlanRead : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ResetSimFlightPlan();
        std::memset(&ProxyFlightPlan, 0, sizeof ProxyFlightPlan);
    }
    void TearDown() override { ResetSimFlightPlan(); }
    // Runs the read thread on path and waits for its end.
    void Read(const std::string& path)
    {
        StartFlightPlanRead(path.c_str());
        for (int i = 0; i < 500 && PlanReadBusy.load(); ++i)
            Sleep(10);
        ASSERT_FALSE(PlanReadBusy.load());
    }
    // Moves the file's last-write time, as a save in the simulator does.
    static void Touch(const std::string& path, int seconds)
    {
        struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
        utimes(path.c_str(), times);
    }
    TempFolder folder_;
};

TEST_F(ProxyPlanRead, XmlPlanIsReadOncePerChangeWithoutFilledAltitudes)
{
    std::string path = folder_ / "plan.pln";
    ASSERT_TRUE(WriteFileText(path, kXmlPlan));
    Touch(path, 1000);
    Read(path);
    ASSERT_EQ(ProxyFlightPlan.count, 3);
    EXPECT_EQ(ProxyFlightPlan.present, 1);
    EXPECT_EQ(ProxyFlightPlan.waypoints[1].altitude, 0.0f);  // the proxy forwards what the file says
    ProxyFlightPlan.count = 0;
    Read(path);
    EXPECT_EQ(ProxyFlightPlan.count, 0);  // same path, same time: not read again
    Touch(path, 2000);
    Read(path);
    EXPECT_EQ(ProxyFlightPlan.count, 3);
}

TEST_F(ProxyPlanRead, TextPlanKeepsTheRecordsAltitudes)
{
    std::string path = folder_ / "plan.pln";
    ASSERT_TRUE(WriteFileText(path, "[flightplan]\n"
                                    "waypoint.0=EDDH, A, N53* 37.82', E9* 59.33', +000053.00,\n"
                                    "waypoint.1=EDDF, A, N50* 2.00', E8* 34.23', +000364.00,\n"));
    Read(path);
    ASSERT_EQ(ProxyFlightPlan.count, 2);
    EXPECT_STREQ(ProxyFlightPlan.waypoints[1].ident, "EDDF");
    EXPECT_EQ(ProxyFlightPlan.waypoints[1].altitude, 0.0f);
    EXPECT_EQ(ProxyFlightPlan.cruisingAltitude, 0.0);
}

TEST_F(ProxyPlanRead, BrokenPlanLeavesThePlanAlreadyRead)
{
    std::string good = folder_ / "good.pln";
    ASSERT_TRUE(WriteFileText(good, kXmlPlan));
    Read(good);
    ASSERT_EQ(ProxyFlightPlan.count, 3);
    std::string broken = folder_ / "broken.pln";
    ASSERT_TRUE(WriteFileText(broken, std::string(kXmlPlan).substr(0, 200)));
    Read(broken);
    EXPECT_EQ(ProxyFlightPlan.count, 3);
    EXPECT_STREQ(ProxyFlightPlan.waypoints[2].ident, "EDDF");
}

}  // namespace
