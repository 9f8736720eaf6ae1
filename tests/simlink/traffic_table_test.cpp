// The traffic table: a full table, merge by id with the interval statistics,
// removal, reset and the partial free of the X-Plane start.
#include "simlink/traffic_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

TrafficValues At(double latitude, double longitude, double headingRad = 0.5)
{
    return TrafficValues{latitude, longitude, 3000.0, 1.0, 0.1, headingRad, headingRad * 57.3, 150.0};
}

class TrafficTableTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTrafficTable(); }
};

TEST(TrafficTableStart, StartsFree)
{
    // No id, 0 included, matches an empty slot before any reset.
    EXPECT_EQ(FindTrafficId(0), -1);
    int slot = 7;
    EXPECT_FALSE(FindTrafficIdOrFree(42, &slot));
    EXPECT_EQ(slot, 0);
}

TEST_F(TrafficTableTest, FullTableDropsTheNextNewAircraft)
{
    for (uint32_t id = 1; id <= 400; ++id)
        ASSERT_EQ(MergeTrafficReport(id, "X", At(1.0, 2.0), 10.0, 0), static_cast<int>(id - 1));
    EXPECT_EQ(TrafficCount.load(), 400);
    TrafficEntry before[TrafficSlotCount];
    std::copy(TrafficTable, TrafficTable + TrafficSlotCount, before);
    EXPECT_EQ(MergeTrafficReport(401, "NEW", At(5.0, 6.0), 11.0, 0), -1);
    EXPECT_EQ(std::memcmp(before, TrafficTable, sizeof(before)), 0);
    int slot = 0;
    EXPECT_FALSE(FindTrafficIdOrFree(401, &slot));
    EXPECT_EQ(slot, -1);
    // A known aircraft is still updated in a full table.
    EXPECT_EQ(MergeTrafficReport(400, "X", At(1.5, 2.0), 12.0, 0), 399);
}

TEST_F(TrafficTableTest, FirstReportEntersTheAircraft)
{
    ASSERT_EQ(MergeTrafficReport(77, "N123AB", At(47.0, 8.0, 1.2), 100.0, 0), 0);
    const TrafficEntry& e = TrafficTable[0];
    EXPECT_EQ(e.id, 77u);
    EXPECT_EQ(e.valid, 0);
    EXPECT_STREQ(e.callsign, "N123AB");
    EXPECT_EQ(e.meanReportInterval, 0.0);
    EXPECT_EQ(e.reportCount, 0);
    EXPECT_EQ(e.previousLatitude, 47.0);
    EXPECT_EQ(e.displayedLongitude, 8.0);
    EXPECT_EQ(e.previousHeading, 1.2);
    EXPECT_EQ(e.lastReportTime, 100.0);
}

TEST_F(TrafficTableTest, IntervalMeanRunsToTenThenSmooths)
{
    MergeTrafficReport(5, "A", At(1.0, 1.0), 0.0, 0);
    TrafficTable[0].displayedLatitude = 1.25;  // the advisory moved it
    MergeTrafficReport(5, "A", At(1.5, 1.0, 0.7), 2.0, 0);
    const TrafficEntry& e = TrafficTable[0];
    EXPECT_EQ(e.valid, 1);
    EXPECT_EQ(e.reportCount, 1);
    EXPECT_EQ(e.meanReportInterval, 2.0);
    EXPECT_EQ(e.previousLatitude, 1.25);
    EXPECT_EQ(e.previousHeading, 0.5);
    EXPECT_EQ(e.values.latitude, 1.5);

    double t = 2.0;
    for (int report = 3; report <= 11; ++report) {
        t += 4.0;
        MergeTrafficReport(5, "A", At(1.0, 1.0), t, 0);
    }
    EXPECT_EQ(e.reportCount, 10);
    EXPECT_DOUBLE_EQ(e.meanReportInterval, (2.0 + 9 * 4.0) / 10.0);
    double mean = e.meanReportInterval;
    MergeTrafficReport(5, "A", At(1.0, 1.0), t + 10.0, 0);
    EXPECT_EQ(e.reportCount, 10);
    EXPECT_DOUBLE_EQ(e.meanReportInterval, 0.9 * mean + 0.1 * 10.0);
}

TEST_F(TrafficTableTest, UpdateKeepsTheCallsign)
{
    MergeTrafficReport(5, "FIRST", At(1.0, 1.0), 0.0, 0);
    MergeTrafficReport(5, "OTHER", At(1.0, 1.0), 1.0, 0);
    EXPECT_STREQ(TrafficTable[0].callsign, "FIRST");
}

TEST_F(TrafficTableTest, LongCallsignIsCut)
{
    MergeTrafficReport(5, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", At(1.0, 1.0), 0.0, 0);
    EXPECT_EQ(std::strlen(TrafficTable[0].callsign), 31u);
}

TEST_F(TrafficTableTest, RemovalLeavesTheEntryAndFreesTheSlot)
{
    MergeTrafficReport(10, "A", At(1.0, 1.0), 0.0, 0);
    MergeTrafficReport(11, "B", At(2.0, 2.0), 0.0, 0);
    MergeTrafficReport(12, "C", At(3.0, 3.0), 0.0, 0);
    EXPECT_EQ(TrafficCount.load(), 3);
    EXPECT_TRUE(RemoveTrafficId(11));
    EXPECT_FALSE(RemoveTrafficId(11));
    EXPECT_EQ(TrafficTable[1].id, TrafficFreeId);
    EXPECT_STREQ(TrafficTable[1].callsign, "B");
    EXPECT_EQ(TrafficTable[1].values.latitude, 2.0);
    EXPECT_EQ(MergeTrafficReport(13, "D", At(4.0, 4.0), 1.0, 0), 1);
    EXPECT_EQ(TrafficCount.load(), 3);
}

TEST_F(TrafficTableTest, TheFreeMarkerIsNoAircraft)
{
    EXPECT_EQ(MergeTrafficReport(TrafficFreeId, "X", At(1.0, 1.0), 0.0, 0), -1);
    EXPECT_FALSE(RemoveTrafficId(TrafficFreeId));
    EXPECT_EQ(TrafficCount.load(), 0);
}

TEST_F(TrafficTableTest, ResetFreesEverything)
{
    MergeTrafficReport(10, "A", At(1.0, 1.0), 0.0, 1);
    MergeTrafficReport(10, "A", At(1.0, 1.0), 1.0, 1);
    ResetTrafficTable();
    EXPECT_EQ(TrafficTable[0].id, TrafficFreeId);
    EXPECT_EQ(TrafficTable[0].valid, 0);
    EXPECT_EQ(TrafficTable[0].reportCount, 0);
    EXPECT_EQ(TrafficCount.load(), 0);
}

TEST_F(TrafficTableTest, XPlaneStartFreesOnlyTheFirstTwenty)
{
    for (uint32_t id = 1; id <= 30; ++id)
        MergeTrafficReport(id, "X", At(1.0, 1.0), 5.0, 1);
    TrafficOnRequest = 0;
    EXPECT_TRUE(XPlaneStartTraffic());
    EXPECT_EQ(TrafficOnRequest.load(), 1);
    EXPECT_EQ(TrafficTable[19].id, TrafficFreeId);
    EXPECT_EQ(TrafficTable[19].lastReportTime, 0.0);
    EXPECT_EQ(TrafficTable[20].id, 21u);
    EXPECT_EQ(TrafficTable[20].lastReportTime, 5.0);
}

TEST_F(TrafficTableTest, FindSlotRemembersTheFirstFree)
{
    MergeTrafficReport(10, "A", At(1.0, 1.0), 0.0, 0);
    MergeTrafficReport(11, "B", At(1.0, 1.0), 0.0, 0);
    RemoveTrafficId(10);
    int slot = -5;
    EXPECT_FALSE(FindTrafficSlot(99, &slot));
    EXPECT_EQ(FirstFreeTrafficSlot(), 0);
    EXPECT_TRUE(FindTrafficSlot(11, &slot));
    EXPECT_EQ(slot, 1);
}

TEST_F(TrafficTableTest, RequestFlags)
{
    TrafficOnRequest = 0;
    TrafficOffRequest = 0;
    EXPECT_TRUE(MsfsStartTraffic());
    SetTrafficOffRequest();
    EXPECT_EQ(TrafficOnRequest.load(), 1);
    EXPECT_EQ(TrafficOffRequest.load(), 1);
}

}  // namespace
