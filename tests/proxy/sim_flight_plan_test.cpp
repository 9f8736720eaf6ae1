// The proxy's reading of the simulator's plan file through the shared reader.
#include "proxy/sim_flight_plan.h"

#include "navdata/nav_file_io.h"
#include "navdata/plan_file.h"
#include "platform/threads.h"
#include "proxy/proxy_main.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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
    void TearDown() override
    {
        ResetSimFlightPlan();
        FreeProxyFixes();
        InstallPath[0] = '\0';
    }
    // fixdat.bin below InstallPath with the given fixes.
    void InstallFixes(const std::vector<FixRecord>& fixes)
    {
        MakeFolders(folder_ / "install/Navdata");
        std::snprintf(InstallPath, sizeof(InstallPath), "%s", (folder_ / "install").c_str());
        ASSERT_TRUE(WriteWholeFile((folder_ / "install/Navdata/fixdat.bin").c_str(), BuildNavFile<FixRecord>(fixes)));
    }
    static FixRecord Fix(const char* name, double lat, double lon)
    {
        FixRecord fix{};
        fix.lat = lat;
        fix.lon = lon;
        std::snprintf(fix.name, sizeof(fix.name), "%s", name);
        return fix;
    }
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

TEST_F(ProxyPlanRead, ATextPlanCarriesItsOwnAltitudesNotThoseOfThePlanBefore)
{
    std::string xml = folder_ / "first.pln";
    ASSERT_TRUE(WriteFileText(xml, kXmlPlan));
    Read(xml);
    ASSERT_EQ(ProxyFlightPlan.count, 3);
    std::string path = folder_ / "plan.pln";
    ASSERT_TRUE(WriteFileText(path, "[flightplan]\n"
                                    "waypoint.0=EDDH, A, N53* 37.82', E9* 59.33', +000053.00,\n"
                                    "waypoint.1=MID, I, N52* 0.00', E9* 0.00', +000000.00,\n"
                                    "waypoint.2=EDDF, A, N50* 2.00', E8* 34.23', +000364.00,\n"));
    Read(path);
    ASSERT_EQ(ProxyFlightPlan.count, 3);
    EXPECT_STREQ(ProxyFlightPlan.waypoints[2].ident, "EDDF");
    EXPECT_EQ(ProxyFlightPlan.waypoints[1].altitude, 0.0f);  // not filled with the cruising altitude
    EXPECT_EQ(ProxyFlightPlan.waypoints[2].altitude, 364.0f);
    EXPECT_EQ(ProxyFlightPlan.cruisingAltitude, 364.0);  // not the XML plan's 9000
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

// A plan whose middle waypoints are given at 0/0 by their ident.
std::string PlanWithZeroWaypoints(const char* first, const char* second)
{
    std::string plan = kXmlPlan;
    const char* mid = "<ATCWaypoint id=\"MID\"><ATCWaypointType>User</ATCWaypointType>"
                      "<WorldPosition>N53\xC2\xB0 0' 0.00\",E9\xC2\xB0 0' 0.00\",+000000.00</WorldPosition></ATCWaypoint>";
    std::string zero = std::string("<ATCWaypoint id=\"") + first +
                       "\"><ATCWaypointType>Intersection</ATCWaypointType>"
                       "<WorldPosition>N0\xC2\xB0 0' 0.00\",E0\xC2\xB0 0' 0.00\",+003000.00</WorldPosition></ATCWaypoint>\n"
                       "  <ATCWaypoint id=\"" +
                       second +
                       "\"><ATCWaypointType>Intersection</ATCWaypointType>"
                       "<WorldPosition>N0\xC2\xB0 0' 0.00\",E0\xC2\xB0 0' 0.00\",+004000.00</WorldPosition></ATCWaypoint>";
    plan.replace(plan.find(mid), std::strlen(mid), zero);
    return plan;
}

TEST_F(ProxyPlanRead, WaypointsAtZeroTakeTheirPositionFromTheInstalledFixes)
{
    InstallFixes({Fix("ABTAL", 52.5, 10.25), Fix("ABTAL", 1.0, 20.0), Fix("DEKOD", 51.0, 9.5)});
    std::string path = folder_ / "plan.pln";
    ASSERT_TRUE(WriteFileText(path, PlanWithZeroWaypoints("ABTAL", "NOSUCH")));
    Read(path);
    ASSERT_EQ(ProxyFlightPlan.count, 4);
    EXPECT_FLOAT_EQ(ProxyFlightPlan.waypoints[1].lat, 52.5f);  // the first of that name in the file
    EXPECT_FLOAT_EQ(ProxyFlightPlan.waypoints[1].lon, 10.25f);
    EXPECT_FLOAT_EQ(ProxyFlightPlan.waypoints[1].altitude, 3000.0f);
    EXPECT_EQ(ProxyFlightPlan.waypoints[2].lat, 0.0f);  // not among the fixes
    EXPECT_EQ(ProxyFlightPlan.waypoints[2].lon, 0.0f);
}

// A damaged fix file: fixes whose position is no number or off the earth
// are left out where the file is read, so no waypoint takes them.
TEST_F(ProxyPlanRead, FixesOffTheEarthGiveNoWaypointTheirPosition)
{
    InstallFixes({Fix("ABTAL", std::nan(""), 10.0), Fix("ABTAL", 52.5, 10.25), Fix("DEKOD", 1e308, 9.5),
                  Fix("DEKOD", 51.0, 1e308)});
    std::string path = folder_ / "plan.pln";
    ASSERT_TRUE(WriteFileText(path, PlanWithZeroWaypoints("ABTAL", "DEKOD")));
    testing::internal::CaptureStdout();
    Read(path);
    std::string console = testing::internal::GetCapturedStdout();
    ASSERT_EQ(ProxyFlightPlan.count, 4);
    EXPECT_FLOAT_EQ(ProxyFlightPlan.waypoints[1].lat, 52.5f);
    EXPECT_FLOAT_EQ(ProxyFlightPlan.waypoints[1].lon, 10.25f);
    EXPECT_EQ(ProxyFlightPlan.waypoints[2].lat, 0.0f);
    EXPECT_EQ(ProxyFlightPlan.waypoints[2].lon, 0.0f);
    EXPECT_NE(console.find("3 of 4 records lie off the earth"), std::string::npos) << console;
}

TEST_F(ProxyPlanRead, TheFixTableIsReadOnceUntilTheServerStops)
{
    InstallFixes({Fix("ABTAL", 52.5, 10.25)});
    std::string path = folder_ / "plan.pln";
    ASSERT_TRUE(WriteFileText(path, PlanWithZeroWaypoints("ABTAL", "DEKOD")));
    Touch(path, 1000);
    Read(path);
    ASSERT_EQ(ProxyFlightPlan.count, 4);
    EXPECT_EQ(ProxyFlightPlan.waypoints[2].lat, 0.0f);
    InstallFixes({Fix("ABTAL", 52.5, 10.25), Fix("DEKOD", 51.0, 9.5)});
    Touch(path, 2000);
    Read(path);
    EXPECT_EQ(ProxyFlightPlan.waypoints[2].lat, 0.0f);  // the table in hand is kept
    FreeProxyFixes();
    Touch(path, 3000);
    Read(path);
    EXPECT_FLOAT_EQ(ProxyFlightPlan.waypoints[2].lat, 51.0f);
}

TEST_F(ProxyPlanRead, WithoutAnInstallFolderWaypointsStayAtZero)
{
    std::string path = folder_ / "plan.pln";
    ASSERT_TRUE(WriteFileText(path, PlanWithZeroWaypoints("ABTAL", "DEKOD")));
    testing::internal::CaptureStdout();
    Read(path);
    std::string console = testing::internal::GetCapturedStdout();
    ASSERT_EQ(ProxyFlightPlan.count, 4);
    EXPECT_EQ(ProxyFlightPlan.waypoints[1].lat, 0.0f);
    EXPECT_NE(console.find("fixdat.bin not found"), std::string::npos) << console;
}

TEST_F(ProxyPlanRead, DamagedPlansAreRefusedWithAConsoleLine)
{
    std::string good = folder_ / "good.pln";
    ASSERT_TRUE(WriteFileText(good, kXmlPlan));
    Read(good);
    ASSERT_EQ(ProxyFlightPlan.count, 3);
    std::string binary(4096, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 37 % 256);
    const std::string damaged[] = {std::string(kXmlPlan).substr(0, 300), binary, "[flightplan]\ntitle=none\n"};
    int index = 0;
    for (const std::string& text : damaged) {
        std::string path = folder_ / ("damaged" + std::to_string(++index) + ".pln");
        ASSERT_TRUE(WriteFileText(path, text));
        testing::internal::CaptureStdout();
        Read(path);
        std::string console = testing::internal::GetCapturedStdout();
        EXPECT_NE(console.find("Flight plan " + path), std::string::npos) << index;
        EXPECT_EQ(ProxyFlightPlan.count, 3) << index;
        EXPECT_STREQ(ProxyFlightPlan.waypoints[2].ident, "EDDF") << index;
    }
}

TEST_F(ProxyPlanRead, AThousandWaypointsAreCutToWhatTheRecordHolds)
{
    std::string plan = "<?xml version=\"1.0\"?>\n<SimBase.Document>\n<FlightPlan.FlightPlan>\n";
    for (int i = 0; i < 1000; ++i) {
        char line[200];
        std::snprintf(line, sizeof(line),
                      "<ATCWaypoint id=\"W%d\"><WorldPosition>N50\xC2\xB0 %d' 0.00\",E8\xC2\xB0 0' 0.00\",+001000.00"
                      "</WorldPosition></ATCWaypoint>\n",
                      i, i % 60);
        plan += line;
    }
    plan += "</FlightPlan.FlightPlan>\n</SimBase.Document>\n";
    std::string path = folder_ / "long.pln";
    ASSERT_TRUE(WriteFileText(path, plan));
    testing::internal::CaptureStdout();
    Read(path);
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(ProxyFlightPlan.count, XmlPlanMaxWaypoints);
    EXPECT_STREQ(ProxyFlightPlan.waypoints[XmlPlanMaxWaypoints - 1].ident, "W298");
    EXPECT_NE(console.find("first 299 were kept"), std::string::npos) << console;
}

}  // namespace
