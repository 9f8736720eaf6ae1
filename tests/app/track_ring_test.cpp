// The track ring: the 2001st point drops the oldest, points are recorded
// by distance on straight legs and densely in turns, and clearing empties it.
#include "app/track_ring.h"

#include "display/aircraft_values.h"
#include "display/map_view.h"
#include "platform/threads.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

class TrackRingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearTrack();
        TileMapFlag = 1;
        MapScale = 1.0f;
        // 1000 map pixels a degree both ways: 20 pixels are 0.02 degree.
        PixelsPerDegreeLon = PixelsPerDegreeLat = 1000;
        Aircraft.Heading = 0;
        // The recorder remembers the last point across tests: one far away
        // first, so that the test's first point is always taken.
        RecordTrackPoint(-50.0, -8.0, 0);
        ClearTrack();
        RecordTrackPoint(50.0, 8.0, 1000);
    }
};

TEST_F(TrackRingTest, StraightLegRecordsEveryTwentyPixels)
{
    ASSERT_EQ(TrackPointCount(), 1);
    RecordTrackPoint(50.019, 8.0, 1000);
    EXPECT_EQ(TrackPointCount(), 1);
    RecordTrackPoint(50.021, 8.0, 1000);
    EXPECT_EQ(TrackPointCount(), 2);
    RecordTrackPoint(50.021, 8.021, 1200);
    ASSERT_EQ(TrackPointCount(), 3);
    const TrackPoint& last = TrackRing.points[2];
    EXPECT_FLOAT_EQ(last.latitude, 50.021f);
    EXPECT_FLOAT_EQ(last.longitude, 8.021f);
    EXPECT_FLOAT_EQ(last.altitude, 1200.0f);
}

TEST_F(TrackRingTest, TheTimeOfTheLastRecordedPointIsKept)
{
    // The program clock starts at 0: a test run first in its process may
    // come here within its first millisecond, so wait for it to count.
    for (int spin = 0; spin < 100000000 && ProgramClockMs() == 0; ++spin) {
    }
    ASSERT_GT(ProgramClockMs(), 0);
    RecordTrackPoint(50.1, 8.0, 1000);
    double recorded = GetLastTrackRecordTime();
    EXPECT_GT(recorded, 0.0);
    EXPECT_LE(recorded, ProgramClockMs() / 1000.0);
    // Once the clock has moved on, only a recorded point moves the time.
    long start = ProgramClockMs();
    for (int spin = 0; spin < 100000000 && ProgramClockMs() == start; ++spin) {
    }
    ASSERT_NE(ProgramClockMs(), start);
    RecordTrackPoint(50.101, 8.0, 1000);
    EXPECT_EQ(GetLastTrackRecordTime(), recorded);
    RecordTrackPoint(50.15, 8.0, 1000);
    EXPECT_GT(GetLastTrackRecordTime(), recorded);
}

TEST_F(TrackRingTest, TurnsRecordDensely)
{
    // 9 degrees of turn since the last call: the spacing shrinks tenfold.
    Aircraft.Heading = 9;
    RecordTrackPoint(50.003, 8.0, 1000);
    EXPECT_EQ(TrackPointCount(), 2);
    // Turning left across north counts the short way: 359 after 9 is 10 degrees.
    Aircraft.Heading = 359;
    RecordTrackPoint(50.0052, 8.0, 1000);
    EXPECT_EQ(TrackPointCount(), 3);
}

TEST_F(TrackRingTest, AHeadingThatIsNoNumberCountsAsNoTurn)
{
    Aircraft.Heading = std::numeric_limits<double>::quiet_NaN();
    RecordTrackPoint(50.019, 8.0, 1000);
    EXPECT_EQ(TrackPointCount(), 1);
    RecordTrackPoint(50.021, 8.0, 1000);
    EXPECT_EQ(TrackPointCount(), 2);
    // The first good heading after it is measured against nothing either.
    Aircraft.Heading = 90;
    RecordTrackPoint(50.042, 8.0, 1000);
    EXPECT_EQ(TrackPointCount(), 3);
    Aircraft.Heading = 0;
}

TEST_F(TrackRingTest, OverZoomedTilesRecordAtTheSameScreenSpacing)
{
    MapScale = 2.0f;
    RecordTrackPoint(50.011, 8.0, 1000);
    EXPECT_EQ(TrackPointCount(), 2);
}

TEST_F(TrackRingTest, PointAfterAFullRingDropsTheOldest)
{
    for (int i = 1; i < TrackRingSize - 1; ++i)
        RecordTrackPoint(50.0 + 0.03 * i, 8.0, 1000);
    EXPECT_EQ(TrackPointCount(), TrackRingSize - 1);
    EXPECT_EQ(TrackRing.oldest, 0);
    RecordTrackPoint(50.0 + 0.03 * (TrackRingSize - 1), 8.0, 1000);
    EXPECT_EQ(TrackRing.next, 0);
    EXPECT_EQ(TrackRing.oldest, 1);
    EXPECT_EQ(TrackPointCount(), TrackRingSize - 1);
    RecordTrackPoint(50.0 + 0.03 * TrackRingSize, 8.0, 1000);
    EXPECT_EQ(TrackRing.next, 1);
    EXPECT_EQ(TrackRing.oldest, 2);
    EXPECT_FLOAT_EQ(TrackRing.points[0].latitude, static_cast<float>(50.0 + 0.03 * TrackRingSize));
}

TEST_F(TrackRingTest, ClearEmptiesTheRing)
{
    RecordTrackPoint(51.0, 8.0, 1000);
    ClearTrack();
    EXPECT_EQ(TrackPointCount(), 0);
    EXPECT_EQ(TrackRing.oldest, TrackRing.next);
}

TEST_F(TrackRingTest, IndicesOutsideTheRingAreBroughtBackIntoIt)
{
    TrackRing.next = 5000;
    TrackRing.oldest = -3;
    RecordTrackPoint(52.0, 8.0, 1000);
    EXPECT_GE(TrackRing.next, 0);
    EXPECT_LT(TrackRing.next, TrackRingSize);
}

}  // namespace
