// Threads, clocks, times with milliseconds and processor affinity.
#include "platform/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>

namespace {

std::atomic<int> StartedWith{0};

void RecordArgument(void* arg)
{
    StartedWith.store(*static_cast<int*>(arg));
}

TEST(ThreadsTest, StartedThreadRunsWithItsArgument)
{
    static int value = 42;
    EXPECT_NE(_beginthread(RecordArgument, 0, &value), 0u);
    for (int i = 0; i < 5000 && StartedWith.load() == 0; i++)
        Sleep(1);
    EXPECT_EQ(StartedWith.load(), 42);
    EXPECT_EQ(_beginthread(nullptr, 0, nullptr), 0u);
}

TEST(ThreadsTest, ProgramClockCountsFromStartAndNeverGoesBack)
{
    long first = ProgramClockMs();
    EXPECT_GE(first, 0);
    DWORD tick = GetTickCount();
    Sleep(20);
    EXPECT_GE(ProgramClockMs() - first, 20);
    EXPECT_GE(static_cast<DWORD>(GetTickCount() - tick), 20u);
}

TEST(ThreadsTest, LocalAndUtcTimesFollowTheTimeZone)
{
    setenv("TZ", "UTC-2", 1); // two hours east of UTC
    tzset();
    SYSTEMTIME utc;
    SYSTEMTIME local;
    GetSystemTime(&utc);
    GetLocalTime(&local);
    int utcMinutes = utc.wHour * 60 + utc.wMinute;
    int localMinutes = local.wHour * 60 + local.wMinute;
    int difference = ((localMinutes - utcMinutes) % 1440 + 1440) % 1440;
    EXPECT_TRUE(difference == 120 || difference == 121) << difference;
    EXPECT_LT(utc.wMilliseconds, 1000);
    EXPECT_GE(utc.wYear, 2024);
    EXPECT_TRUE(utc.wMonth >= 1 && utc.wMonth <= 12);
}

TEST(ThreadsTest, AffinityCanBeReadAndSetBack)
{
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
    EXPECT_NE(process, 0u);
    EXPECT_EQ(process & ~system, 0u);
    DWORD_PTR lowest = process & (~process + 1);
    EXPECT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), lowest));
    DWORD_PTR now = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &now, &system);
    EXPECT_EQ(now, lowest);
    EXPECT_FALSE(SetProcessAffinityMask(GetCurrentProcess(), 0));
    EXPECT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), process));
}

} // namespace
