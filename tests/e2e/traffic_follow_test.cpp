// Following a traffic target end to end: tvl-proxypeer flies a circle with
// AI traffic on a ring round it; the built program, headless on the demo
// map, shows the aircraft with its vector at the centre until the pilot right
// clicks the traffic zone of the bezel. Then the map stays on the nearest
// target, whose label sits by the centre in every picture, while the own
// aircraft, its vector and its track move off. The picture while following
// is kept as a reference (the targets move in real time, so the checks count
// colours and the reference is compared by size only).
#include "tests/support/program_end_to_end.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace {

int R(uint32_t c) { return static_cast<int>(c >> 16 & 0xFF); }
int G(uint32_t c) { return static_cast<int>(c >> 8 & 0xFF); }
int B(uint32_t c) { return static_cast<int>(c & 0xFF); }
// Label text 0xFF7FFF00 on its dark box; the vector in blue, the track in magenta.
bool IsLabel(uint32_t c) { return R(c) < 60 && G(c) > 150 && B(c) > 60 && B(c) < 170 && G(c) > B(c) + 60; }
bool IsVector(uint32_t c) { return B(c) > 200 && R(c) < 50 && G(c) < 50; }
bool IsTrack(uint32_t c) { return R(c) > 200 && B(c) > 200 && G(c) < 60; }

class TrafficFollowEndToEnd : public ProgramEndToEnd {
protected:
    std::string peerOutput = root / "peer.out";
    Child peer;

    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        UseDemoMapBackground(root.Path(), system);
        for (auto [key, value] : {std::pair{"MenuState", "1"}, {"RadarMode", "2"}, {"PlotTrack", "1"}, {"Track", "1"},
                                  {"TrackPlotColor", "0xFF00FF"}, {"TrackColor", "0xFF0000"}, {"DynamicSoftkeys", "1"},
                                  {"DirToVector", "0"}})
            Set(key, value);
        // A 2 nm circle at 400 kt; twelve AI aircraft 3 nm further out.
        StartProxyPeer(&peer,
                       {"--port", "0", "--circle", "2", "--speed", "400", "--traffic", "12", "--no-plan", "--duration", "120"},
                       peerOutput);
    }

    // The map centre of the bezel's window in picture pixels, and the pixels
    // of test within radius of it.
    int NearCentre(const Picture& p, int radius, const std::function<bool(uint32_t)>& test)
    {
        int cx = (84 + 472 / 2) * p.width / 640, cy = (40 + 319 / 2) * p.height / 480;
        int n = 0;
        for (int y = cy - radius; y <= cy + radius; ++y)
            for (int x = cx - radius; x <= cx + radius; ++x)
                if (x >= 0 && y >= 0 && x < p.width && y < p.height)
                    n += test(p.At(x, y));
        return n;
    }
};

TEST_F(TrafficFollowEndToEnd, TheRightClickKeepsTheMapOnTheNearestTarget)
{
    // The traffic zone (567, 229, 40 x 30 virtual) in the 640 x 360 window.
    std::string before = root / "before.png", first = root / "followed.png", later = root / "followed_later.png";
    std::string script = "await " + peerOutput + " traffic sent 3\nshot " + before + "\nclick 587 183 right\n" +
                         "await " + peerOutput + " flight second 6\nshot " + first + "\n" + "await " + peerOutput +
                         " flight second 9\nshot " + later + "\nwait 2\nquit\n";
    ASSERT_TRUE(RunMapProgramWithScript(&program, system, root.Path(), script, "follow_"));
    Picture a, b, c;
    ASSERT_TRUE(LoadPicture(before, &a));
    ASSERT_TRUE(LoadPicture(first, &b));
    ASSERT_TRUE(LoadPicture(later, &c));
    EXPECT_GT(NearCentre(a, 60, IsVector), 100) << "the aircraft's vector at the centre before";
    for (const Picture* p : {&b, &c}) {
        EXPECT_EQ(NearCentre(*p, 60, IsVector), 0) << "no vector while the map is off the aircraft";
        EXPECT_GT(NearCentre(*p, 90, IsLabel), 40) << "the followed target's label by the centre";
        EXPECT_LT(NearCentre(*p, 20, IsTrack), 5) << "the own track is not at the centre";
    }
    std::string kept = std::string(TVL_SOURCE_DIR) + "/tests/e2e/traffic_followed.png";
    if (std::getenv("TVL_UPDATE_REFERENCES"))
        std::filesystem::copy_file(first, kept, std::filesystem::copy_options::overwrite_existing);
    Picture reference;
    ASSERT_TRUE(LoadPicture(kept, &reference));
    EXPECT_EQ(reference.width, b.width);
    EXPECT_EQ(reference.height, b.height);
}

}  // namespace
