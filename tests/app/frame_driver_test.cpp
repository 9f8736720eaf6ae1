// The frame interval across midnight, the 5-second tick, the processor-core
// choice and the one command-line argument.
#include "app/frame_driver.h"
#include "app/processor_core.h"
#include "app/settings.h"
#include "maps/tile_locks.h"
#include "app/winmain.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <thread>

TEST(FrameInterval, IsTheDifferenceOfTheSecondsOfDay)
{
    EXPECT_FLOAT_EQ(FrameInterval(1000.0f, 999.0f), 1.0f);
    EXPECT_FLOAT_EQ(FrameInterval(1000.0f, 1000.0f), 0.0f);
    // Across midnight.
    EXPECT_FLOAT_EQ(FrameInterval(1.0f, 86399.0f), 2.0f);
    // The first frame after a display start counts from 0.
    EXPECT_FLOAT_EQ(FrameInterval(45296.0f, 0.0f), 45296.0f);
    // A clock that jumped back by more than a day gives one second.
    EXPECT_FLOAT_EQ(FrameInterval(0.0f, 90000.0f), 1.0f);
}

TEST(FrameInterval, SecondOfDayIsWholeSecondsWithinTheDay)
{
    float now = SecondOfDayUtc();
    EXPECT_GE(now, 0.0f);
    EXPECT_LT(now, 86400.0f);
    EXPECT_FLOAT_EQ(now, static_cast<float>(static_cast<int>(now)));
}

TEST(SlowTick, FiresAfterMoreThanFiveSeconds)
{
    EXPECT_FALSE(SlowTickDue(105.0f, 100.0f));
    EXPECT_TRUE(SlowTickDue(106.0f, 100.0f));
    EXPECT_FALSE(SlowTickDue(100.0f, 100.0f));
}

TEST(SlowTick, KeepsFiringAcrossMidnight)
{
    // 86398 -> 2: four seconds later, not yet; 86398 -> 4: six seconds.
    EXPECT_FALSE(SlowTickDue(2.0f, 86398.0f));
    EXPECT_TRUE(SlowTickDue(4.0f, 86398.0f));
    EXPECT_TRUE(SlowTickDue(60.0f, 86000.0f));
}

TEST(ProcessorCore, HighestCoreOfAContiguousMask)
{
    EXPECT_EQ(HighestCoreOfMask(1), 0);
    EXPECT_EQ(HighestCoreOfMask(0xFF), 7);
    EXPECT_EQ(HighestCoreOfMask(0x7FF), 10);
    EXPECT_EQ(HighestCoreOfMask(0), -1);
    EXPECT_EQ(HighestCoreOfMask(4095), -1);  // 12 cores: left alone
    EXPECT_EQ(HighestCoreOfMask(0xFFFF), -1);
    EXPECT_EQ(HighestCoreOfMask(0b1011), -1);  // a hole
}

TEST(ProcessorCore, ConfiguredCoreWhenItExistsElseTheHighest)
{
    EXPECT_EQ(AffinityForCore(0xFF, 7, 2), 0x4u);
    EXPECT_EQ(AffinityForCore(0xFF, 7, 7), 0x80u);
    EXPECT_EQ(AffinityForCore(0xFF, 7, 8), 0x80u);
    EXPECT_EQ(AffinityForCore(0xFF, 7, 40), 0x80u);
    EXPECT_EQ(AffinityForCore(0xFF, 7, -3), 0x80u);
    EXPECT_EQ(AffinityForCore(0x1, 0, 0), 0x1u);
}

TEST(CommandLine, OnlyASingleArgumentCounts)
{
    char program[] = "tervalingo", four[] = "4", word[] = "xplane", two[] = "2";
    char* one[] = {program, four, nullptr};
    char* many[] = {program, four, two, nullptr};
    char* text[] = {program, word, nullptr};
    EXPECT_EQ(InstanceArgumentOf(2, one), 4);
    EXPECT_EQ(InstanceArgumentOf(3, many), 0);
    EXPECT_EQ(InstanceArgumentOf(2, text), 0);
    EXPECT_EQ(InstanceArgumentOf(1, one), 0);
    EXPECT_EQ(InstanceArgumentOf(2, nullptr), 0);
}

TEST(TileLocks, OnlyTheThreeCreatedMutexesCanBeTaken)
{
    CreateTileMutexes();
    EXPECT_TRUE(LockTileMutex(TileMutexFetch));
    CreateTileMutexes();  // keeps the held one: the unlock below frees it
    UnlockTileMutex(TileMutexFetch);
    std::thread other([] {
        EXPECT_TRUE(LockTileMutex(TileMutexFetch));
        UnlockTileMutex(TileMutexFetch);
    });
    other.join();
    EXPECT_TRUE(LockTileMutex(TileMutexHttps));
    UnlockTileMutex(TileMutexHttps);
    EXPECT_FALSE(LockTileMutex(static_cast<TileMutex>(-1)));
    EXPECT_FALSE(LockTileMutex(static_cast<TileMutex>(3)));
    UnlockTileMutex(static_cast<TileMutex>(7));
}

TEST(ImageLibraryMessages, GoToTheLogWithTheFormatName)
{
    TempFolder folder;
    WorkingFolder here(folder.Path());
    Settings.DebugMode = true;
    OnImageLibraryMessage(-1, "plain message");
    OnImageLibraryMessage(13, "bad chunk");  // PNG
    std::string long_text(3000, 'm');
    OnImageLibraryMessage(-1, long_text.c_str());
    Settings.DebugMode = false;
    std::string log = ReadFileText(folder / "Tervalingo.log");
    EXPECT_NE(log.find(" plain message\n"), std::string::npos);
    EXPECT_NE(log.find(" PNG Format\nbad chunk\n"), std::string::npos) << log;
    // Cut to the 1024-character buffer.
    EXPECT_EQ(log.find(std::string(1024, 'm')), std::string::npos);
    EXPECT_NE(log.find(std::string(1000, 'm')), std::string::npos);
}
