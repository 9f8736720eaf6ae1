// The track file: a round trip keeps every point and both indices, the
// records hold their values where other readers look for them, and a file
// that is short, long or points outside the ring gives an empty track.
#include "app/track_ring.h"

#include "platform/files.h"
#include "platform/log.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

class TrackFileTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::string path = folder / "track.bin";

    void Fill(int count)
    {
        ClearTrack();
        for (int i = 0; i < count; i++) {
            TrackRing.points[TrackRing.next] = {50.0f + 0.001f * i, 8.0f - 0.002f * i, 1000.0f + i};
            TrackRing.next = (TrackRing.next + 1) % TrackRingSize;
            if (TrackRing.next == TrackRing.oldest)
                TrackRing.oldest = (TrackRing.oldest + 1) % TrackRingSize;
        }
    }

    static float FloatAt(const std::string& bytes, size_t offset)
    {
        float value;
        std::memcpy(&value, bytes.data() + offset, 4);
        return value;
    }
    static int32_t IntAt(const std::string& bytes, size_t offset)
    {
        int32_t value;
        std::memcpy(&value, bytes.data() + offset, 4);
        return value;
    }
};

TEST_F(TrackFileTest, RoundTripKeepsPointsAndIndices)
{
    Fill(TrackRingSize + 5);  // wrapped: the oldest follows the write index
    TrackRingBuffer before = TrackRing;
    ASSERT_TRUE(SaveTrackTo(path.c_str()));
    ClearTrack();
    std::memset(TrackRing.points, 0, sizeof TrackRing.points);
    ASSERT_TRUE(LoadTrackFrom(path.c_str()));
    EXPECT_EQ(TrackRing.oldest, before.oldest);
    EXPECT_EQ(TrackRing.next, before.next);
    EXPECT_EQ(TrackPointCount(), TrackRingSize - 1);
    EXPECT_EQ(std::memcmp(TrackRing.points, before.points, sizeof before.points), 0);
}

TEST_F(TrackFileTest, RecordsHoldTheirValuesWhereReadersLook)
{
    Fill(3);
    ASSERT_TRUE(SaveTrackTo(path.c_str()));
    std::string bytes = ReadFileText(path);
    ASSERT_EQ(static_cast<long>(bytes.size()), TrackFileSize);
    EXPECT_EQ(IntAt(bytes, 0), 0);
    EXPECT_EQ(IntAt(bytes, 4), 3);
    size_t r1 = 8 + 24;
    EXPECT_FLOAT_EQ(FloatAt(bytes, r1 + 0), 50.001f);   // latitude
    EXPECT_FLOAT_EQ(FloatAt(bytes, r1 + 4), 1001.0f);   // altitude
    EXPECT_FLOAT_EQ(FloatAt(bytes, r1 + 8), 7.998f);    // longitude
    EXPECT_FLOAT_EQ(FloatAt(bytes, r1 + 12), 50.001f);
    EXPECT_FLOAT_EQ(FloatAt(bytes, r1 + 16), 1001.0f);
    EXPECT_FLOAT_EQ(FloatAt(bytes, r1 + 20), 7.996f);   // the next point's longitude
    EXPECT_FLOAT_EQ(FloatAt(bytes, 8 + 24 * 1999 + 20), 0.0f);
}

TEST_F(TrackFileTest, DamagedFilesGiveAnEmptyTrack)
{
    Fill(10);
    ASSERT_TRUE(SaveTrackTo(path.c_str()));
    std::string good = ReadFileText(path);
    std::string indexOutside = good;
    int32_t bad = TrackRingSize;
    std::memcpy(indexOutside.data() + 4, &bad, 4);
    std::string negative = good;
    bad = -1;
    std::memcpy(negative.data(), &bad, 4);
    for (const std::string& damaged :
         {good.substr(0, 100), good.substr(0, good.size() - 1), good + "x", std::string(), indexOutside, negative}) {
        SCOPED_TRACE(damaged.size());
        Fill(10);
        WriteFileText(path, damaged);
        EXPECT_FALSE(LoadTrackFrom(path.c_str()));
        EXPECT_EQ(TrackPointCount(), 0);
        EXPECT_EQ(TrackRing.oldest, 0);
    }
}

TEST_F(TrackFileTest, PointsOffTheEarthGiveAnEmptyTrack)
{
    // The track layer turns a point into screen steps; one at 1e30 or NaN overflows them.
    Fill(10);
    ASSERT_TRUE(SaveTrackTo(path.c_str()));
    std::string good = ReadFileText(path);
    const struct {
        size_t field;  // of point 4's record
        float value;
    } damages[] = {{12, 1e30f}, {12, -91.0f}, {12, NAN},       {8, 181.0f},
                   {8, -INFINITY}, {8, NAN},  {16, INFINITY}, {16, NAN}};
    for (const auto& d : damages) {
        std::string damaged = good;
        std::memcpy(damaged.data() + 8 + 24 * 4 + d.field, &d.value, 4);
        SCOPED_TRACE(testing::Message() << d.field << " " << d.value);
        Fill(10);
        WriteFileText(path, damaged);
        EXPECT_FALSE(LoadTrackFrom(path.c_str()));
        EXPECT_EQ(TrackPointCount(), 0);
    }
    // Slots the ring does not use yet hold whatever was there before.
    std::string unused = good;
    float nan = NAN;
    std::memcpy(unused.data() + 8 + 24 * 500 + 12, &nan, 4);
    WriteFileText(path, unused);
    EXPECT_TRUE(LoadTrackFrom(path.c_str()));
    EXPECT_EQ(TrackPointCount(), 10);
}

// The shutdown's write on a full disk: the track saved before stays whole
// for the next start, and the failure is said once.
TEST_F(TrackFileTest, AFullDiskKeepsTheTrackSavedBefore)
{
    WorkingFolder inFolder(folder.Path());
    std::snprintf(SystemFolder, sizeof SystemFolder, "%s", folder.Path().c_str());
    LogDebugMode = true;
    Fill(10);
    SaveTrackFile();
    std::string saved = ReadFileText(path);
    ASSERT_EQ(static_cast<long>(saved.size()), TrackFileSize);

    // Full when written, and full only when flushed (room found late).
    for (bool flushFails : {false, true}) {
        SCOPED_TRACE(flushFails);
        std::remove((folder / "Tervalingo.log").c_str());
        Fill(TrackRingSize + 7);
        SetFullDiskForTests(flushFails ? -1 : 40960, flushFails);
        SaveTrackFile();
        SetFullDiskForTests(-1);
        EXPECT_EQ(ReadFileText(path), saved);
        std::string log = ReadFileText(folder / "Tervalingo.log");
        size_t said = log.find("could not be written");
        EXPECT_NE(said, std::string::npos) << log;
        EXPECT_EQ(log.find("could not be written", said + 1), std::string::npos) << log;
    }

    LoadTrackFile();
    EXPECT_EQ(TrackPointCount(), 10);
    EXPECT_FLOAT_EQ(TrackRing.points[9].latitude, 50.009f);
}

TEST_F(TrackFileTest, MissingFileLeavesTheTrackAlone)
{
    Fill(4);
    EXPECT_FALSE(LoadTrackFrom((folder / "none.bin").c_str()));
    EXPECT_EQ(TrackPointCount(), 4);
    EXPECT_FALSE(SaveTrackTo((folder / "no/such/track.bin").c_str()));
}

}  // namespace
