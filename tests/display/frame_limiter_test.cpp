// The frame limiter's learning phase and sleeps, and the frame timer.
#include "display/frame_limiter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class FrameLimiter : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFrameLimiterCount();
        AverageFrameTime = 0.01;
    }
    // Runs the learning phase with a steady frame time.
    void Learn(float frameTime, int cpuUsage)
    {
        for (int i = 0; i < 501; ++i)
            EXPECT_EQ(NextFrameSleep(frameTime, cpuUsage, false), 1) << "frame " << i + 1;
    }
};

TEST_F(FrameLimiter, LearnsForFiveHundredAndOneFramesSleepingOneMillisecond)
{
    Learn(0.010f, 2);
    EXPECT_NEAR(AverageFrameTime, 0.010, 1e-6);
    EXPECT_NEAR(NextFrameSleep(0.010f, 2, false), 15, 1);  // (0.04 - 0.01) x 500
}

TEST_F(FrameLimiter, HoldsNearTwiceOrFourTimesTheLearntFrameTime)
{
    Learn(0.020f, 1);
    EXPECT_NEAR(NextFrameSleep(0.020f, 1, false), 10, 1);  // (0.04 - 0.02) x 500
    ResetFrameLimiterCount();
    AverageFrameTime = 0.02;
    Learn(0.020f, 2);
    EXPECT_NEAR(NextFrameSleep(0.020f, 2, false), 30, 1);  // (0.08 - 0.02) x 500
}

TEST_F(FrameLimiter, SlowFramesGetTheMinimumSleepNeverANegativeOne)
{
    Learn(0.010f, 1);
    EXPECT_EQ(NextFrameSleep(0.5f, 1, false), 4);
    ResetFrameLimiterCount();
    Learn(0.010f, 2);
    EXPECT_EQ(NextFrameSleep(0.5f, 2, false), 10);
    EXPECT_EQ(NextFrameSleep(std::nanf(""), 2, false), 10);
}

TEST_F(FrameLimiter, LongSleepsAreCappedAtFiftyMilliseconds)
{
    AverageFrameTime = 0.2;
    FrameLimiterCount = 501;
    EXPECT_EQ(NextFrameSleep(0.2f, 2, false), 50);
    EXPECT_EQ(NextFrameSleep(0.0f, 1, false), 50);
}

TEST_F(FrameLimiter, CpuUsageZeroAndWaitingTerrainKeepLearning)
{
    FrameLimiterCount = 900;
    EXPECT_EQ(NextFrameSleep(0.03f, 0, false), 1);
    EXPECT_EQ(NextFrameSleep(0.03f, 2, true), 1);
    EXPECT_NEAR(AverageFrameTime, 0.95 * (0.95 * 0.01 + 0.05 * 0.03) + 0.05 * 0.03, 1e-9);
}

TEST(FrameTimer, MeasuresFramesAndSmoothsTheRate)
{
    float t = 0;
    AccountFrameTimeAt(100.0f, 2, &t);  // first call after a reset of the usage
    FramesPerSecond = 0;
    AccountFrameTimeAt(100.0f, 2, &t);
    EXPECT_TRUE(AccountFrameTimeAt(100.5f, 2, &t));
    EXPECT_FLOAT_EQ(t, 0.5f);
    EXPECT_NEAR(FramesPerSecond, 0.002, 1e-9);
    EXPECT_FALSE(AccountFrameTimeAt(102.0f, 2, &t));  // 1.5 s is not counted
    EXPECT_NEAR(FramesPerSecond, 0.002, 1e-9);
}

TEST(FrameTimer, WrappedHourOrNewUsageRestartsTheClock)
{
    float t = 0;
    AccountFrameTimeAt(3599.0f, 1, &t);
    AccountFrameTimeAt(3599.5f, 1, &t);
    EXPECT_FALSE(AccountFrameTimeAt(0.2f, 1, &t));  // the hour wrapped
    EXPECT_LT(t, 0.0f);
    EXPECT_FALSE(AccountFrameTimeAt(5.3f, 1, &t));  // measured from 0, not counted
    EXPECT_FLOAT_EQ(t, 5.3f);
    EXPECT_TRUE(AccountFrameTimeAt(5.4f, 1, &t));
    EXPECT_FALSE(AccountFrameTimeAt(5.5f, 2, &t));  // CPU_usage changed
}

TEST(FrameClockTest, SecondsInHourStayWithinTheHour)
{
    float seconds = GetSecondsInHour();
    EXPECT_GE(seconds, 0.0f);
    EXPECT_LT(seconds, 3600.0f);
}

}  // namespace
