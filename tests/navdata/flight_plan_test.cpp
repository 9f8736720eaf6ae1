// The flight-plan record's stores: what the links hand over from the wire.
#include "navdata/flight_plan.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

std::vector<uint8_t> PlanMessage(uint8_t present, int32_t count, int32_t active, int waypointsCarried)
{
    std::vector<uint8_t> m(FlightPlanHeaderSize + waypointsCarried * sizeof(FlightPlanWaypoint), 0);
    m[0] = 0xE4;  // a magic in the header bytes
    m[8] = present;
    std::memcpy(&m[12], &count, 4);
    std::memcpy(&m[16], &active, 4);
    for (int i = 0; i < waypointsCarried; ++i) {
        FlightPlanWaypoint w{};
        w.kind = i;
        w.lat = 50.0f + i;
        w.lon = 8.0f + i;
        std::snprintf(w.ident, sizeof(w.ident), "WP%d", i);
        std::memcpy(&m[FlightPlanHeaderSize + i * sizeof(w)], &w, sizeof(w));
    }
    return m;
}

class FlightPlanStore : public ::testing::Test {
  protected:
    void SetUp() override
    {
        std::memset(&FlightPlan, 0, sizeof(FlightPlan));
        FlightPlan.cruisingAltitude = 9000.0;
        RouteChanged = 0;
    }
};

TEST_F(FlightPlanStore, MessageSetsHeaderWaypointsAndRouteChanged)
{
    auto m = PlanMessage(1, 3, 1, 3);
    ASSERT_TRUE(StoreFlightPlanMessage(m.data(), m.size()));
    EXPECT_EQ(FlightPlan.present, 1);
    EXPECT_EQ(FlightPlan.count, 3);
    EXPECT_EQ(FlightPlan.simActiveIndex, 1);
    EXPECT_STREQ(FlightPlan.waypoints[2].ident, "WP2");
    EXPECT_EQ(FlightPlan.cruisingAltitude, 9000.0);  // not carried by the message
    EXPECT_EQ(FlightPlan.header[0], 0);              // header bytes left alone
    EXPECT_EQ(RouteChanged.load(), 1);
}

TEST_F(FlightPlanStore, MessageCountBeyondItsBytesTakesOnlyWhatArrived)
{
    auto m = PlanMessage(1, 250, 0, 4);
    ASSERT_TRUE(StoreFlightPlanMessage(m.data(), m.size()));
    EXPECT_EQ(FlightPlan.count, 4);
}

TEST_F(FlightPlanStore, MessageCountAbove300IsCapped)
{
    auto m = PlanMessage(1, 100000, 0, 310);
    ASSERT_TRUE(StoreFlightPlanMessage(m.data(), m.size()));
    EXPECT_EQ(FlightPlan.count, 300);
}

TEST_F(FlightPlanStore, MessageWithoutPresentOrTooShortChangesNothing)
{
    auto absent = PlanMessage(0, 3, 0, 3);
    EXPECT_FALSE(StoreFlightPlanMessage(absent.data(), absent.size()));
    auto negative = PlanMessage(1, -5, 0, 3);
    EXPECT_FALSE(StoreFlightPlanMessage(negative.data(), negative.size()));
    auto shortOne = PlanMessage(1, 3, 0, 3);
    EXPECT_FALSE(StoreFlightPlanMessage(shortOne.data(), 20));
    EXPECT_EQ(FlightPlan.count, 0);
    EXPECT_EQ(RouteChanged.load(), 0);
}

TEST_F(FlightPlanStore, PresentPlanOfNoWaypointsIsTaken)
{
    auto m = PlanMessage(1, 0, 0, 0);
    ASSERT_TRUE(StoreFlightPlanMessage(m.data(), m.size()));
    EXPECT_EQ(FlightPlan.present, 1);
    EXPECT_EQ(FlightPlan.count, 0);
}

TEST_F(FlightPlanStore, WholeRecordIsCopiedFromByteZero)
{
    auto m = PlanMessage(1, 2, 0, 2);
    double cruise = 12000.0;
    std::memcpy(&m[24], &cruise, 8);
    ASSERT_TRUE(StoreWholeFlightPlanRecord(m.data(), m.size()));
    EXPECT_EQ(FlightPlan.header[0], 0xE4);
    EXPECT_EQ(FlightPlan.cruisingAltitude, 12000.0);
    EXPECT_EQ(FlightPlan.count, 2);
    EXPECT_EQ(RouteChanged.load(), 1);
}

TEST_F(FlightPlanStore, WholeRecordWithCountPastItsBytesIsClamped)
{
    auto m = PlanMessage(1, 77, 0, 5);
    ASSERT_TRUE(StoreWholeFlightPlanRecord(m.data(), m.size()));
    EXPECT_EQ(FlightPlan.count, 5);
    auto header = PlanMessage(1, 77, 0, 0);
    ASSERT_TRUE(StoreWholeFlightPlanRecord(header.data(), 14));
    EXPECT_EQ(FlightPlan.count, 0);
}

TEST_F(FlightPlanStore, CopyIsNeverTornByAConcurrentWriter)
{
    auto a = PlanMessage(1, 300, 0, 300);
    auto b = PlanMessage(1, 300, 7, 300);
    const int32_t marked = -1;  // every kind of plan b, never one of plan a
    for (int i = 0; i < 300; ++i)
        std::memcpy(&b[FlightPlanHeaderSize + i * 24], &marked, 4);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        while (!stop)
            StoreFlightPlanMessage(((std::rand() & 1) ? a : b).data(), a.size());
    });
    for (int round = 0; round < 2000; ++round) {
        FlightPlanRecord copy;
        CopyFlightPlan(&copy);
        bool fromB = copy.waypoints[0].kind == marked;
        ASSERT_EQ(copy.simActiveIndex == 7, fromB);
        for (int i = 1; i < copy.count; ++i)
            ASSERT_EQ(copy.waypoints[i].kind == marked, fromB);
    }
    stop = true;
    writer.join();
}

}  // namespace

namespace {

TEST_F(FlightPlanStore, WaypointsThatAreNoPositionsArriveAsZeroAndIdentsEndInTheirField)
{
    auto m = PlanMessage(1, 3, 0, 3);
    FlightPlanWaypoint bad{};
    bad.lat = std::nanf("");
    bad.lon = 10.0f;
    bad.altitude = INFINITY;
    std::memset(bad.ident, 'X', sizeof bad.ident);
    std::memcpy(&m[FlightPlanHeaderSize + 24], &bad, 24);
    bad.lat = 95.0f;
    std::memcpy(&m[FlightPlanHeaderSize + 48], &bad, 24);
    ASSERT_TRUE(StoreFlightPlanMessage(m.data(), m.size()));
    EXPECT_EQ(FlightPlan.waypoints[1].lat, 0.0f);
    EXPECT_EQ(FlightPlan.waypoints[1].lon, 0.0f);
    EXPECT_EQ(FlightPlan.waypoints[1].altitude, 0.0f);
    EXPECT_EQ(std::strlen(FlightPlan.waypoints[1].ident), 7u);
    EXPECT_EQ(FlightPlan.waypoints[2].lat, 0.0f);
    EXPECT_EQ(FlightPlan.waypoints[0].lat, 50.0f);  // sound ones stay
    EXPECT_EQ(GetFlightPlanKinds(), PlanKindsXml);
}

}  // namespace
