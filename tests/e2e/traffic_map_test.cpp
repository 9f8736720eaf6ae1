// Traffic, track and vector end to end: tvl-proxypeer flies a fast circle as
// the simulator's proxy and sends 50 AI aircraft on two rings round it; the
// built program, headless on the demo grid map, asks for the traffic and its
// screenshots show the targets with their symbols (and, in AI mode, their
// labels), the flown track behind the aircraft and the vector ahead, and its
// alerts are heard. The picture is taken once the peer has flown four
// seconds (which brings several traffic lists and a track longer than the
// aircraft symbol), however long the start took. One screenshot is kept as a
// reference picture of the layers; the targets move in real time, so the
// checks count colours rather than compare pixels.
// TVL_UPDATE_REFERENCES=1 writes a new reference into the source tree.
#include "tests/support/program_end_to_end.h"
#include "tests/support/sound_root.h"

#include "platform/profile.h"
#include "simlink/sound.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace {

int R(uint32_t c) { return static_cast<int>(c >> 16 & 0xFF); }
int G(uint32_t c) { return static_cast<int>(c >> 8 & 0xFF); }
int B(uint32_t c) { return static_cast<int>(c & 0xFF); }

// Label text: 0xFF7FFF00 (no red, full green, half blue) on a dark box.
bool IsLabel(uint32_t c) { return R(c) < 60 && G(c) > 150 && B(c) > 60 && B(c) < 170 && G(c) > B(c) + 60; }
// The track in magenta and the vector in blue, as the test sets them.
bool IsTrack(uint32_t c) { return R(c) > 200 && B(c) > 200 && G(c) < 60; }
bool IsVector(uint32_t c) { return B(c) > 200 && R(c) < 50 && G(c) < 50; }
// The class symbols: cyan diamonds, amber circles, red squares.
bool IsClassSymbol(uint32_t c)
{
    bool cyan = R(c) < 100 && G(c) > 180 && B(c) > 220;
    bool amber = R(c) > 230 && G(c) > 140 && G(c) < 200 && B(c) < 40;
    bool red = R(c) > 230 && G(c) < 50 && B(c) < 50;
    return cyan || amber || red;
}

int Count(const Picture& p, const std::function<bool(uint32_t)>& is)
{
    int n = 0;
    for (uint32_t c : p.rgb)
        n += is(c);
    return n;
}

class TrafficMapTest : public ProgramEndToEnd {
protected:
    Child peer;

    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        // The demo grid as the map, so that a background is drawn under the layers.
        UseDemoMapBackground(root.Path(), system);
        for (auto [key, value] : {std::pair{"MenuState", "2"}, {"PlotTrack", "1"}, {"Track", "1"},
                                  {"TrackPlotColor", "0xFF00FF"}, {"TrackColor", "0xFF0000"},
                                  // The softkey bar's labels would count as traffic labels: it
                                  // stays hidden while the pointer is away from it.
                                  {"DynamicSoftkeys", "1"}})
            Set(key, value);
    }


    // A 4 nm circle at 3000 kt, so that the track grows past the aircraft
    // symbol within seconds; 50 aircraft on rings of 7 and 10 nm round its centre.
    void StartPeer()
    {
        StartProxyPeer(&peer,
                       {"--port", "0", "--circle", "4", "--speed", "3000", "--traffic", "50", "--traffic-rings", "2",
                        "--no-plan", "--duration", "120"},
                       PeerOutput());
    }

    std::string PeerOutput() { return root / "peer.out"; }

    // The picture of the first frame after the peer's fourth second of flight.
    Picture Run(const char* name)
    {
        std::string shot = root / (std::string(name) + ".png");
        std::string script = "await " + PeerOutput() + " flight second 4\nshot " + shot + "\nwait 2\nquit\n";
        Picture p;
        if (RunMapProgramWithScript(&program, system, root.Path(), script, "traffic_")) {
            EXPECT_TRUE(LoadPicture(shot, &p)) << shot;
        }
        return p;
    }

    // Pixels of is within radius of the map centre.
    int CountNearCentre(const Picture& p, int radius, const std::function<bool(uint32_t)>& is)
    {
        int cx = (84 + 472 / 2) * p.width / 640, cy = (40 + 319 / 2) * p.height / 480;
        int n = 0;
        for (int y = cy - radius; y <= cy + radius; ++y)
            for (int x = cx - radius; x <= cx + radius; ++x)
                if (x >= 0 && y >= 0 && x < p.width && y < p.height)
                    n += is(p.At(x, y));
        return n;
    }
};

TEST_F(TrafficMapTest, AiTrafficShowsSymbolsLabelsTrackAndVector)
{
    Set("RadarMode", "2");
    StartPeer();
    Picture p = Run("traffic_map_ai");
    ASSERT_GT(p.width, 0);
    EXPECT_GT(Count(p, IsLabel), 400) << "callsign and altitude/speed labels";
    EXPECT_GT(Count(p, IsTrack), 15) << "the track behind the aircraft";
    EXPECT_GT(CountNearCentre(p, 120, IsVector), 150) << "the vector ahead";
    std::string kept = std::string(TVL_SOURCE_DIR) + "/tests/e2e/traffic_map_ai.png";
    if (std::getenv("TVL_UPDATE_REFERENCES"))
        std::filesystem::copy_file(root / "traffic_map_ai.png", kept, std::filesystem::copy_options::overwrite_existing);
    Picture reference;
    ASSERT_TRUE(LoadPicture(kept, &reference));
    EXPECT_EQ(reference.width, p.width);
    EXPECT_EQ(reference.height, p.height);
}

// The closing traffic alerts, and the sound library beside the program says
// so: the alert sounds (here the built refusal tone) reach the audio output.
TEST_F(TrafficMapTest, TcasTrafficShowsClassSymbolsWithoutLabelsAndSoundsItsAlerts)
{
    Set("RadarMode", "1");
    MakeSoundRoot(root.Path(), {{SoundConflictEnded, 3}, {SoundTrafficAlert, 3}, {SoundTrafficClimb, 3},
                                {SoundTrafficDescend, 3}});
    std::string heard = root / "heard.raw";
    UseDiskAudio(heard);
    StartPeer();
    Picture p = Run("traffic_map_tcas");
    ASSERT_GT(p.width, 0);
    EXPECT_EQ(Count(p, IsLabel), 0);
    EXPECT_GT(Count(p, IsClassSymbol), 200);
    EXPECT_GT(LoudSamples(ReadDiskAudio(heard)), 1000);
}

TEST_F(TrafficMapTest, TrafficOffShowsNoTargets)
{
    Set("RadarMode", "0");
    StartPeer();
    Picture p = Run("traffic_map_off");
    ASSERT_GT(p.width, 0);
    EXPECT_EQ(Count(p, IsLabel), 0);
    EXPECT_EQ(Count(p, IsClassSymbol), 0);
    EXPECT_GT(Count(p, IsTrack), 15);
}

}  // namespace
