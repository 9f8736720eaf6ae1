// The map background under a user's hands: the built program, headless on
// the demo grid with terrain shading on, follows tvl-proxypeer's circle round
// home (which reaches west of the grid's old edge at 10 E) while an event
// script zooms with the wheel and the keys, pans, comes Home, picks SAT (which
// cannot load here) and the grid again from the map-type page, and the
// program is ended and started again three times. After every step that
// settles, the map shows its background: once it vanished for good after
// such steps and for whole runs after a restart.
#include "tests/support/program_end_to_end.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t Cream = 0xFFFECD;  // the renderer's empty map, as 0xRRGGBB

// Share of the open map area (left of the NEAREST box, above the softkeys,
// below the status block) that is the empty map's cream.
double CreamShare(const Picture& p)
{
    int x0 = 110 * p.width / 640, x1 = 480 * p.width / 640;
    int y0 = 90 * p.height / 480, y1 = 280 * p.height / 480;
    int cream = 0, all = 0;
    for (int y = y0; y < y1; y += 2)
        for (int x = x0; x < x1; x += 2) {
            cream += ChannelDistance(p.At(x, y), Cream) <= 4;
            all++;
        }
    return all ? static_cast<double>(cream) / all : 1.0;
}

// One checkpoint of a script: the step it follows and whether the map must
// show its background there (a map that cannot load must not).
struct Checkpoint {
    std::string name;
    bool background;
};

class MapBackgroundSoakTest : public ProgramEndToEnd {
protected:
    Child peer;
    std::vector<Checkpoint> checkpoints;
    std::string script;

    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        UseDemoMapBackground(root.Path(), system);
        for (auto [key, value] : {std::pair{"MenuState", "2"}, {"Terrainstate", "1"}, {"Terrainmap", "1"},
                                  {"Softkeys", "1"}, {"Softkeylevel", "0"}, {"Softkeysublevel", "0"}})
            Set(key, value);
        MakeTerrain();
        StartProxyPeer(&peer, {"--port", "0", "--circle", "2", "--speed", "240", "--duration", "0"}, root / "peer.out");
    }

    // A plain of 100 m round home, so that the terrain is drawn.
    void MakeTerrain()
    {
        for (const char* name : {"N53E009.hgt", "N53E010.hgt"}) {
            std::ofstream out(root / name, std::ios::binary);
            for (int i = 0; i < 1201 * 1201; i++)
                out.write("\x00\x64", 2);
        }
        ASSERT_TRUE(RunBuiltTool("tvl-mkterrain", {root.Path(), root / "N53E009.hgt", root / "N53E010.hgt"}));
    }

    // A step of the script, then the map left to settle and looked at twice;
    // the second look is the one that counts.
    void Step(const std::string& name, const std::string& actions, bool background = true)
    {
        script += actions + "\nwait 80\nshot " + (root / (name + "_a.png")) + "\nwait 80\nshot " +
                  (root / (name + ".png")) + "\n";
        checkpoints.push_back({name, background});
    }

    void Run(const std::string& prefix)
    {
        // Every run begins on the main softkey page, wherever the last one ended.
        Set("Softkeylevel", "0");
        Set("Softkeysublevel", "0");
        script = "wait 200\n" + script + "quit\n";
            ASSERT_TRUE(RunMapProgramWithScript(&program, system, root.Path(), script, prefix));
        script.clear();
    }

    void ExpectCheckpoints()
    {
        for (const Checkpoint& c : checkpoints) {
            Picture p;
            ASSERT_TRUE(LoadPicture(root / (c.name + ".png"), &p)) << c.name;
            double cream = CreamShare(p);
            if (c.background)
                EXPECT_LT(cream, 0.5) << "no map background after " << c.name;
            else
                EXPECT_GT(cream, 0.5) << "a background after " << c.name;
        }
        checkpoints.clear();
    }
};

TEST_F(MapBackgroundSoakTest, ZoomsPansMapTypesAndRestartsNeverLoseTheBackground)
{
    // The map area's middle, in the headless window's client pixels.
    const std::string centre = "320 200";
    const std::string in = "wheel " + centre + " 1", out = "wheel " + centre + " -1";
    const std::string drag = "down 320 200\nmove 330 205\nmove 350 215\nmove 380 225\nup 380 225";

    Step("r1_start", "");
    Step("r1_in", in);
    Step("r1_in_in", in + "\nwait 30\n" + in);
    Step("r1_out_out_out", out + "\nwait 30\n" + out + "\nwait 30\n" + out);
    Step("r1_panned", drag);
    Step("r1_home", "key HOME");
    Step("r1_panned_zoomed", drag + "\nwait 30\n" + in);
    Step("r1_home_again", "key HOME");
    // The map-type page: SAT cannot load offline, the grid comes back.
    Step("r1_sat", "key 1\nwait 10\nkey 1", false);
    Step("r1_grid", "key 1\nwait 10\nkey 6");
    Step("r1_quick", in + "\nwait 2\n" + out + "\nwait 2\n" + in + "\nwait 2\nkey HOME\nwait 2\n" + out);
    Run("soak_r1_");
    ExpectCheckpoints();
    std::string log = ReadFileText(system + "/Tervalingo.log");
    EXPECT_GE(CountLines(log, "Map SAT cannot load here"), 1) << "the screen says why SAT shows nothing";

    // Started again where the last run left the map, twice, with steps at once.
    Step("r2_start", "");
    Step("r2_out", out);
    Step("r2_panned_home", drag + "\nwait 5\nkey HOME");
    Step("r2_in_in", in + "\nwait 5\n" + in);
    Run("soak_r2_");
    ExpectCheckpoints();

    Step("r3_start", "");
    Step("r3_sat_grid", "key 1\nwait 10\nkey 1\nwait 60\nkey 1\nwait 10\nkey 6");
    Step("r3_out_panned", out + "\nwait 5\n" + drag);
    Step("r3_home", "key HOME");
    Run("soak_r3_");
    ExpectCheckpoints();
}

}  // namespace

namespace {

// Share of cream in a band of the picture, given in fractions of its size.
double CreamShareIn(const Picture& p, double left, double right, double top, double bottom)
{
    int cream = 0, all = 0;
    for (int y = static_cast<int>(top * p.height); y < bottom * p.height; y += 2)
        for (int x = static_cast<int>(left * p.width); x < right * p.width; x += 2) {
            cream += ChannelDistance(p.At(x, y), Cream) <= 4;
            all++;
        }
    return all ? static_cast<double>(cream) / all : 1.0;
}

// A map chosen on the map-type page in a large window gets a grid for the
// whole window: it once got one for half the map area, and the map's sides
// stayed empty until the next start.
TEST_F(MapBackgroundSoakTest, AMapChosenOnItsPageFillsALargeWindow)
{
    // The terrain's shading would hide an empty side.
    Set("Terrainstate", "0");
    script = "wait 100\nresize 1600 900\nwait 150\nshot " + (root / "large_start.png") +
             "\nkey 1\nwait 10\nkey 6\nwait 150\nshot " + (root / "large_chosen.png") + "\nquit\n";
    ASSERT_TRUE(RunMapProgramWithScript(&program, system, root.Path(), script, "large_"));
    for (const char* name : {"large_start.png", "large_chosen.png"}) {
        Picture p;
        ASSERT_TRUE(LoadPicture(root / name, &p)) << name;
        ASSERT_EQ(p.width, 1600) << name;
        // Both sides of the map glass, clear of the zoom bar and the NEAREST box.
        EXPECT_LT(CreamShareIn(p, 0.17, 0.25, 0.32, 0.66), 0.5) << "left side empty in " << name;
        EXPECT_LT(CreamShareIn(p, 0.72, 0.80, 0.32, 0.40), 0.5) << "right side empty in " << name;
    }
}


// The map keeps its background round the airport diagram and on every step
// out: the NEAREST page opened from the APT box zooms the map under it, and
// once closed, the map zoomed out further below the zooms it had when it
// vanished.
TEST_F(MapBackgroundSoakTest, TheMapKeepsItsBackgroundRoundTheDiagramAndOnEveryStepOut)
{
    Set("Terrainstate", "0");
    CopyShippedFolder("Navdata");
    // The APT box and the map's middle in the 640 x 360 client; the map
    // starts at zoom 10 and ends at 5.
    const std::string apt = "click 541 211", out = "wheel 320 150 -1";
    Step("diagram_before", "");
    Step("diagram_open", apt + "\nwait 40\n" + out + "\nwait 20\n" + out);
    Step("diagram_back", apt);
    Step("diagram_back_zoomed", out + "\nwait 20\n" + out + "\nwait 20\n" + out);
    Run("diagram_");
    Picture open;
    ASSERT_TRUE(LoadPicture(root / "diagram_open.png", &open));
    int grey = 0, all = 0;
    for (int y = 80; y < 200; y += 4)
        for (int x = 120; x < 480; x += 4, all++)
            grey += ChannelDistance(open.At(x, y), 0x808090) <= 4;
    EXPECT_GT(grey, all / 2) << "the APT box opened no diagram";
    ExpectCheckpoints();
}

}  // namespace
