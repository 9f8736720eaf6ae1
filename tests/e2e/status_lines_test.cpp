// The status block and the right-hand column end to end: tvl-proxypeer
// holds the aircraft still at home with a nine-point plan, the built program
// shows it on the demo map with the shipped navigation data. With the menu
// state that shows the plan, status lines 2 and 3 stand under line 1; the
// wind box stands at the top of the right-hand column, clear of the NEAREST
// box below it; the start-up message stays inside the glass below the block.
// The picture is kept as a reference; TVL_UPDATE_REFERENCES=1 writes a new one.
#include "tests/support/program_end_to_end.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <list>
#include <string>

namespace {

int R(uint32_t c) { return static_cast<int>(c >> 16 & 0xFF); }
int G(uint32_t c) { return static_cast<int>(c >> 8 & 0xFF); }
int B(uint32_t c) { return static_cast<int>(c & 0xFF); }
bool IsWhiteText(uint32_t c) { return R(c) > 230 && G(c) > 230 && B(c) > 230; }
// The boxes' shade (0xBF000000) over the map.
bool IsBoxShade(uint32_t c) { return R(c) < 80 && G(c) < 80 && B(c) < 80; }

class StatusLinesTest : public ProgramEndToEnd {
protected:
    std::list<Child> peers;  // one a run

    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        UseDemoMapBackground(root.Path(), system);
        CopyShippedFolder("Navdata");
        for (auto [key, value] : {std::pair{"FlightPlanState", "1"}, {"Windrose", "0"}, {"NavAirport", "1"},
                                  {"AirportOverlay", "1"}, {"DynamicSoftkeys", "1"}})
            Set(key, value);
    }


    // Still at home (speed 0), so the picture is the same in every run; a
    // peer of its own for each run, whose output counts from its start.
    void StartPeer(const std::string& out)
    {
        StartProxyPeer(&peers.emplace_back(),
                       {"--port", "0", "--circle", "4", "--speed", "0", "--traffic", "0", "--duration", "120"}, out);
    }

    // The frame after the peer's third second, when the plan has long arrived.
    Picture Run(const char* name)
    {
        std::string out = root / (std::string(name) + ".out");
        StartPeer(out);
        std::string shot = root / (std::string(name) + ".png");
        std::string script = "await " + out + " flight second 3\nshot " + shot + "\nwait 2\nquit\n";
        Picture p;
        if (RunMapProgramWithScript(&program, system, root.Path(), script, "status_")) {
            EXPECT_TRUE(LoadPicture(shot, &p)) << shot;
        }
        return p;
    }

    // Pixels for which test holds in a band of virtual rows over the glass.
    int CountInRows(const Picture& p, int top, int bottom, int left, int right,
                    const std::function<bool(uint32_t)>& test)
    {
        int n = 0;
        for (int y = top * p.height / 480; y < bottom * p.height / 480; ++y)
            for (int x = left * p.width / 640; x < right * p.width / 640; ++x)
                n += test(p.At(x, y));
        return n;
    }
};

TEST_F(StatusLinesTest, PlanLinesStandUnderLineOneAndTheWindBoxAboveTheNearestBox)
{
    Set("MenuState", "2");
    Picture without = Run("without_plan_lines");
    Set("MenuState", "3");
    Picture with = Run("status_lines_plan");
    ASSERT_GT(without.width, 0);
    ASSERT_GT(with.width, 0);
    // Status font 20 in a 360-pixel window: line 1 from 39, lines 2 and 3
    // from 61 and 83; their white text appears only with the plan lines.
    int line2 = CountInRows(with, 62, 82, 86, 400, IsWhiteText);
    int line3 = CountInRows(with, 84, 104, 86, 400, IsWhiteText);
    EXPECT_GT(line2, 60) << "status line 2";
    EXPECT_GT(line3, 60) << "status line 3";
    EXPECT_LT(CountInRows(without, 84, 104, 86, 400, IsWhiteText), line3 / 4);
    // The right-hand column with line 3: the wind box from 108 to 145, the
    // NEAREST box from 187 on; between them the map (no terrain box).
    EXPECT_GT(CountInRows(with, 112, 142, 492, 552, IsBoxShade), 700) << "the wind box";
    EXPECT_LT(CountInRows(with, 150, 182, 492, 552, IsBoxShade), 200) << "nothing between the boxes";
    EXPECT_GT(CountInRows(with, 192, 280, 492, 552, IsBoxShade), 2000) << "the NEAREST box";
    ExpectMatchesReference(root / "status_lines_plan.png", "status_lines_plan");
}

}  // namespace
