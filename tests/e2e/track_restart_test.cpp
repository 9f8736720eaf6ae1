// The flown track across a restart: tvl-proxypeer flies a fast circle while
// the built program records the track; the program ends and keeps it in
// "track.bin"; started again with the aircraft standing at the circle's
// centre, it keeps the old points ahead of
// the new ones in the file. A damaged "track.bin" starts an empty track and
// says so in the log.
#include "tests/support/program_end_to_end.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int RingSize = 2000;
constexpr size_t TrackFileBytes = 8 + 24 * RingSize;

struct FilePoint {
    float longitude, latitude;
};

// The points of a track file from the oldest on; empty for a file that is
// missing or not of the track's size.
std::vector<FilePoint> ReadTrack(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<FilePoint> points;
    if (bytes.size() != TrackFileBytes)
        return points;
    int32_t oldest, next;
    std::memcpy(&oldest, &bytes[0], 4);
    std::memcpy(&next, &bytes[4], 4);
    if (oldest < 0 || oldest >= RingSize || next < 0 || next >= RingSize)
        return points;
    for (int k = oldest; k != next; k = (k + 1) % RingSize) {
        FilePoint p;
        std::memcpy(&p.longitude, &bytes[8 + 24 * static_cast<size_t>(k) + 8], 4);
        std::memcpy(&p.latitude, &bytes[8 + 24 * static_cast<size_t>(k) + 12], 4);
        points.push_back(p);
    }
    return points;
}

// The track colour the test sets: magenta.
bool IsTrack(uint32_t c)
{
    int r = static_cast<int>(c >> 16 & 0xFF), g = static_cast<int>(c >> 8 & 0xFF), b = static_cast<int>(c & 0xFF);
    return r > 200 && b > 200 && g < 60;
}

int CountTrack(const Picture& p)
{
    int n = 0;
    for (uint32_t c : p.rgb)
        n += IsTrack(c);
    return n;
}

class TrackRestartTest : public ProgramEndToEnd {
protected:
    std::string track = system + "/track.bin";
    std::unique_ptr<Child> peer;
    int runs = 0;

    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        // The demo grid as the map, so that the layers above it are drawn.
        UseDemoMapBackground(root.Path(), system);
        for (auto [key, value] : {std::pair{"PlotTrack", "1"}, {"TrackPlotColor", "0xFF00FF"}, {"DynamicSoftkeys", "1"}})
            Set(key, value);
    }

    // A new peer (the previous one ends) at the home position.
    void StartPeer(const std::vector<std::string>& path)
    {
        peer = std::make_unique<Child>();
        std::vector<std::string> args = {"--port", "0", "--no-plan", "--duration", "300"};
        args.insert(args.end(), path.begin(), path.end());
        StartProxyPeer(peer.get(), args, root / ("peer" + std::to_string(runs) + ".out"));
    }

    Picture Run()
    {
        ++runs;
        std::string name = "run" + std::to_string(runs);
        return RunForShot(name.c_str(), 900);
    }
};

TEST_F(TrackRestartTest, FlownTrackIsDrawnAgainAfterARestart)
{
    // A 2 nm circle at 3000 kt: a point every half second, a lap in 15 s.
    StartPeer({"--circle", "2", "--speed", "3000"});
    // However slow the machine, the program flies until the file holds a
    // stretch of the circle (each run adds to what the last one kept).
    std::vector<FilePoint> flown;
    for (int attempt = 0; attempt < 6 && flown.size() < 10; ++attempt) {
        Run();
        flown = ReadTrack(track);
    }
    std::string seen;
    for (const FilePoint& f : flown)
        seen += std::to_string(f.latitude) + "," + std::to_string(f.longitude) + " ";
    ASSERT_GE(flown.size(), 10u) << "the track was not recorded or not kept: " << seen;

    // Standing still at the circle's centre: the old circle lies round it.
    StartPeer({"--leg", "0", "--speed", "0"});
    Picture p = Run();
    ASSERT_GT(p.width, 0);
    std::vector<FilePoint> kept = ReadTrack(track);
    ASSERT_GE(kept.size(), flown.size());
    for (size_t i = 0; i < flown.size(); ++i) {
        EXPECT_EQ(kept[i].latitude, flown[i].latitude) << i;
        EXPECT_EQ(kept[i].longitude, flown[i].longitude) << i;
    }
    // At most the one point where the aircraft stands was added.
    EXPECT_LE(kept.size(), flown.size() + 2);

    // A damaged file: cut short. The track starts empty, the log says why.
    std::filesystem::resize_file(track, 1000);
    p = Run();
    ASSERT_GT(p.width, 0);
    EXPECT_LT(CountTrack(p), 20) << "no old track after a damaged file";
    EXPECT_LE(ReadTrack(track).size(), 2u);
    std::ifstream log(system + "/Tervalingo.log");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("has 1000 bytes"), std::string::npos) << text;
}

}  // namespace
