// The moving map end to end: tvl-proxypeer flies a straight leg as the
// simulator's proxy, the built map program registers with it headless, and
// its screenshots show the bezel, the map area and the aircraft at the map
// centre turned to the track; a mouse drag pans the map (the aircraft symbol
// goes) and Home brings the follow back. Each picture is taken once the
// peer has flown two seconds with the program registered, however long the
// start took. Two screenshots are kept as references; TVL_UPDATE_REFERENCES=1 writes new ones into the source tree.
#include "tests/support/program_end_to_end.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>


namespace {

constexpr uint32_t Cream = 0xFFFECD;  // 0xFFFFFECD as the renderer clears, as 0xRRGGBB

// Pixels within radius of (cx, cy) that are not the empty map's cream.
int NonCreamAround(const Picture& p, int cx, int cy, int radius)
{
    int count = 0;
    for (int y = cy - radius; y <= cy + radius; ++y)
        for (int x = cx - radius; x <= cx + radius; ++x)
            if (x >= 0 && y >= 0 && x < p.width && y < p.height && ChannelDistance(p.At(x, y), Cream) > 24)
                ++count;
    return count;
}

class MovingMapTest : public ProgramEndToEnd {
protected:
    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
    }

    // A peer of its own on a free port flying 45 degrees true from the home
    // position; the program's MSFS link pointed at it, the status line on
    // the aircraft's values, the empty map (no tiles are fetched).
    void StartPeer(Child* peer, const std::string& out)
    {
        StartProxyPeer(peer, {"--port", "0", "--leg", "45", "--duration", "300"}, out);
        Set("MenuState", "2");
        Set("t", "0");
    }

    // Runs the program with a script that waits until its peer has flown two
    // seconds with it registered (so a steady track has come), then does what
    // actions says and takes the picture of the next frame.
    Picture Run(const char* name, const std::string& actions)
    {
        Child peer;
        std::string peerOutput = root / (std::string(name) + "-peer.out");
        StartPeer(&peer, peerOutput);
        std::string shot = root / (std::string(name) + ".png");
        std::string script =
            "await " + peerOutput + " flight second 2\n" + actions + "shot " + shot + "\nwait 2\nquit\n";
        Picture p;
        if (!HasFatalFailure() && RunMapProgramWithScript(&program, system, root.Path(), script, "moving_map_")) {
            EXPECT_TRUE(LoadPicture(shot, &p)) << shot;
        }
        return p;
    }

    // The map centre of the bezel's map window in screenshot pixels.
    void MapCentre(const Picture& p, int* x, int* y)
    {
        *x = (84 + 472 / 2) * p.width / 640;
        *y = (40 + 319 / 2) * p.height / 480;
    }
};

TEST_F(MovingMapTest, FollowsTheAircraftTurnedToItsTrack)
{
    Picture p = Run("moving_map_following", "");
    ASSERT_GT(p.width, 0);
    int cx = 0, cy = 0;
    MapCentre(p, &cx, &cy);
    // The empty map inside the window, the bezel outside it, the aircraft at its centre.
    EXPECT_EQ(ChannelDistance(p.At(cx + 150 * p.width / 640, cy), Cream), 0);
    EXPECT_GT(ChannelDistance(p.At(4, 4), Cream), 64);
    EXPECT_GT(NonCreamAround(p, cx, cy, 12), 40);
    ExpectShotMatchesReference("moving_map_following");
}

TEST_F(MovingMapTest, DragPansAwayFromTheAircraftAndHomeFollowsAgain)
{
    std::string drag = "down 300 180\nmove 310 185\nmove 330 195\nmove 360 210\nup 360 210\nwait 5\n";
    Picture panned = Run("moving_map_panned", drag);
    ASSERT_GT(panned.width, 0);
    int cx = 0, cy = 0;
    MapCentre(panned, &cx, &cy);
    EXPECT_EQ(NonCreamAround(panned, cx, cy, 30), 0);
    ExpectShotMatchesReference("moving_map_panned");

    Picture followed = Run("followed_again", drag + "wait 20\nkey HOME\nwait 5\n");
    ASSERT_GT(followed.width, 0);
    EXPECT_GT(NonCreamAround(followed, cx, cy, 12), 40);
}

}  // namespace
