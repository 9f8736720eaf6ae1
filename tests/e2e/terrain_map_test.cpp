// Terrain awareness end to end: the converter turns a synthetic .hgt ridge
// (1000 m high, east of the home position, on a plain of 100 m) into the
// root's terrain folder; tvl-proxypeer flies east at 3000 ft, below the
// ridge's top; the built program, headless on the demo grid map with terrain
// shading, TAWS and GPWS on, colours the terrain by its height below the
// aircraft. Far from the ridge the ground under the aircraft is green; flown
// onto the ridge it is red, and the terrain alert reaches the audio output.
// Two screenshots are kept as references (TVL_UPDATE_REFERENCES=1 writes
// new ones into the source tree).
#include "tests/support/program_end_to_end.h"
#include "tests/support/sound_root.h"

#include "platform/profile.h"
#include "simlink/sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

int R(uint32_t c) { return static_cast<int>(c >> 16 & 0xFF); }
int G(uint32_t c) { return static_cast<int>(c >> 8 & 0xFF); }
int B(uint32_t c) { return static_cast<int>(c & 0xFF); }

// The shading's bands over the pale demo map: green where the terrain lies
// far below, red where it rises above the aircraft.
bool IsGreen(uint32_t c) { return G(c) > R(c) + 30 && G(c) > B(c) + 10; }
bool IsRed(uint32_t c) { return R(c) > G(c) + 50 && R(c) > B(c) + 50; }

class TerrainMapTest : public ProgramEndToEnd {
protected:
    Child peer;

    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        UseDemoMapBackground(root.Path(), system);
        for (auto [key, value] : {std::pair{"MenuState", "2"}, {"Terrainstate", "1"}, {"Terrainmap", "1"},
                                  {"TAWSOn", "1"}, {"GPWSOn", "1"}, {"PilotFlightmode", "1"},
                                  {"TerrainTransparency", "0.8"}})
            Set(key, value);
        SetIn("Terrain", "Blendfactor", "0.8");
        MakeTerrain();
    }


    // N53E010: 100 m, with a ridge of 1000 m from 10.20 E to 10.30 E.
    void MakeTerrain()
    {
        std::string hgt = root / "N53E010.hgt";
        {
            std::ofstream out(hgt, std::ios::binary);
            for (int r = 0; r < 1201; r++)
                for (int c = 0; c < 1201; c++) {
                    int metres = c >= 240 && c <= 360 ? 1000 : 100;
                    char b[2] = {static_cast<char>(metres >> 8), static_cast<char>(metres & 0xFF)};
                    out.write(b, 2);
                }
        }
        ASSERT_TRUE(RunBuiltTool("tvl-mkterrain", {root.Path(), hgt}));
        ASSERT_TRUE(std::filesystem::exists(root / "Terrain/N53/N53E010.jpg"));
    }

    // East at 200 kt and 3000 ft from lon for a few seconds, then held until
    // the test ends, however slowly the program starts.
    void StartPeer(const char* lon)
    {
        StartProxyPeer(&peer,
                       {"--port", "0", "--lat", "53.6", "--lon", lon, "--leg", "90", "--leg-time", "5", "--speed", "200",
                        "--altitude", "3000", "--no-plan", "--duration", "0"},
                       root / "peer.out");
    }

    // The picture once the peer has flown eight seconds with the program
    // registered (on the ridge, with the alert given), however fast or slow
    // the program's frames come.
    Picture Run(const char* name)
    {
        std::string shot = root / (std::string(name) + ".png");
        std::string script =
            "await " + (root / "peer.out") + " flight second 8\nshot " + shot + "\nwait 2\nquit\n";
        Picture p;
        if (RunMapProgramWithScript(&program, system, root.Path(), script, "terrain_")) {
            EXPECT_TRUE(LoadPicture(shot, &p)) << shot;
        }
        return p;
    }

    // Share of pixels of is within radius of a point (dx, dy) virtual units
    // from the map centre.
    double ShareAround(const Picture& p, int dx, int dy, int radius, const std::function<bool(uint32_t)>& is)
    {
        int s = std::max(1, p.width / 640);
        radius *= s;
        int cx = (84 + 472 / 2 + dx) * p.width / 640, cy = (40 + 319 / 2 + dy) * p.height / 480;
        int n = 0;
        for (int y = cy - radius; y <= cy + radius; ++y)
            for (int x = cx - radius; x <= cx + radius; ++x)
                if (x >= 0 && y >= 0 && x < p.width && y < p.height)
                    n += is(p.At(x, y));
        return n / static_cast<double>((2 * radius + 1) * (2 * radius + 1));
    }

    void Keep(const char* name)
    {
        std::string kept = std::string(TVL_SOURCE_DIR) + "/tests/e2e/" + name + ".png";
        if (std::getenv("TVL_UPDATE_REFERENCES"))
            std::filesystem::copy_file(root / (std::string(name) + ".png"), kept,
                                       std::filesystem::copy_options::overwrite_existing);
        Picture reference;
        ASSERT_TRUE(LoadPicture(kept, &reference));
    }
};

TEST_F(TerrainMapTest, FarFromTheRidgeTheGroundBelowIsGreenAndTheRidgeAheadRed)
{
    StartPeer("10.05");
    Picture p = Run("terrain_map_far");
    ASSERT_GT(p.width, 0);
    // East of the aircraft, clear of its symbol: the plain, far below.
    EXPECT_GT(ShareAround(p, 45, -40, 12, IsGreen), 0.8);
    EXPECT_EQ(ShareAround(p, 45, -40, 12, IsRed), 0);
    int red = 0;
    for (uint32_t c : p.rgb)
        red += IsRed(c);
    EXPECT_GT(red, p.width * p.height / 20) << "the ridge east of the aircraft";
    Keep("terrain_map_far");
}

TEST_F(TerrainMapTest, OnTheRidgeTheGroundBelowIsRedAndTheAlertIsHeard)
{
    MakeSoundRoot(root.Path(), {{SoundTerrain, 3}, {SoundSinkRate, 3}, {SoundPullUp, 3}, {SoundDontSink, 3}});
    std::string heard = root / "heard.raw";
    UseDiskAudio(heard);
    StartPeer("10.195");
    Picture p = Run("terrain_map_ridge");
    ASSERT_GT(p.width, 0);
    EXPECT_GT(ShareAround(p, 45, -40, 12, IsRed), 0.8);
    EXPECT_GT(LoudSamples(ReadDiskAudio(heard)), 1000);
    Keep("terrain_map_ridge");
}

} // namespace
