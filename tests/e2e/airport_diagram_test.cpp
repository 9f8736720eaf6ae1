// The airport diagram end to end: the built map program, headless on a copy
// of the shipped root with its navigation data, shows the home airport as a
// diagram with its information box (runway list or tower frequencies), laid
// over the map at two zooms, and the NEAREST box with the APT button on the
// map; an event script clicks the APT button into the diagram and out again.
// Two screenshots are kept as references; TVL_UPDATE_REFERENCES=1 writes new
// ones into the source tree.
#include "tests/support/program_end_to_end.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

constexpr uint32_t Background = 0x808090;  // the diagram's ground
constexpr uint32_t Asphalt = 0x010101;     // hard runways
constexpr uint32_t Cream = 0xFFFECD;       // the empty map

// Pixels of the bezel's map window for which test holds.
int CountInMap(const Picture& p, const std::function<bool(uint32_t)>& test, int top = 0, int bottom = 319)
{
    int count = 0;
    int left = 84 * p.width / 640, right = (84 + 472) * p.width / 640;
    int y0 = (40 + top) * p.height / 480, y1 = (40 + bottom) * p.height / 480;
    for (int y = y0; y < y1; ++y)
        for (int x = left; x < right; ++x)
            count += test(p.At(x, y));
    return count;
}

bool Is(uint32_t rgb, uint32_t colour) { return ChannelDistance(rgb, colour) <= 4; }

class AirportMapTest : public ProgramEndToEnd {
  protected:
    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        CopyShippedFolder("Navdata");
        // The empty map round home (no tiles are fetched), beside Hamburg's apron.
        for (auto [key, value] : {std::pair{"t", "0"}, {"Tile", "14"}, {"MenuState", "2"}, {"ShowAirports", "1"}})
            Set(key, value);
    }

    Picture Run(const char* name, const char* script = nullptr, int frames = 120)
    {
        return RunForShot(name, frames, script ? script : "");
    }
};

TEST_F(AirportMapTest, DiagramShowsTheAirportWithItsRunwayList)
{
    Set("SelectedAirport", "EDDH");
    Set("AirportOverlay", "0");
    Set("SelectedCOM", "7");
    // Past the five-second look for the nearest airports of the view, which
    // must leave a chosen airport's box in place.
    Picture p = Run("airport_diagram_runways", nullptr, 700);
    ASSERT_GT(p.width, 0);
    EXPECT_GT(CountInMap(p, [](uint32_t c) { return Is(c, Background); }), 30000) << "the diagram's ground";
    EXPECT_GT(CountInMap(p, [](uint32_t c) { return Is(c, Asphalt); }), 800) << "two runways";
    // The information box: a white band over the top of the map window
    // (the start's status message lies over its upper half).
    EXPECT_GT(CountInMap(p, [](uint32_t c) { return c == 0xFFFFFF; }, 0, 40), 2500);
    EXPECT_EQ(CountInMap(p, [](uint32_t c) { return Is(c, Cream); }), 0) << "no map under the diagram";
    ExpectShotMatchesReference("airport_diagram_runways");
}

TEST_F(AirportMapTest, DiagramListsTheTowerFrequencies)
{
    Set("SelectedAirport", "EDDH");
    Set("AirportOverlay", "0");
    Set("SelectedCOM", "3");
    Picture p = Run("airport_diagram_tower");
    ASSERT_GT(p.width, 0);
    // Text below the box's separator, on the white of the box.
    int text = CountInMap(p, [](uint32_t c) { return ChannelDistance(c, 0xFFFFFF) > 60 && ChannelDistance(c, 0x808080) > 8; }, 32, 45);
    EXPECT_GT(text, 40);
}

TEST_F(AirportMapTest, OverlayLaysTheAirportOverTheMapAtTwoZooms)
{
    Set("SelectedAirport", "EDDH");
    Set("AirportOverlay", "1");
    Picture near = Run("airport_overlay_14");
    Set("Tile", "12");
    Picture far = Run("airport_overlay_12");
    ASSERT_GT(near.width, 0);
    ASSERT_GT(far.width, 0);
    auto white = [](uint32_t c) { return c == 0xFFFFFF; };
    auto asphalt = [](uint32_t c) { return Is(c, Asphalt); };
    // The airport's box is shaded white over the cream map; nearer, it fills more.
    EXPECT_GT(CountInMap(near, white), CountInMap(far, white));
    EXPECT_GT(CountInMap(far, asphalt), 50);
    EXPECT_GT(CountInMap(far, [](uint32_t c) { return Is(c, Cream); }), 1000) << "the map round the airport";
    EXPECT_LT(CountInMap(near, [](uint32_t c) { return Is(c, Background); }), 50) << "no diagram ground";
    ExpectShotMatchesReference("airport_overlay_14");
}

// The APT button sits under the NEAREST box at the map window's right edge:
// virtual (541, 282), (541, 211) in the 640 x 360 client area.
TEST_F(AirportMapTest, AptButtonSwitchesToTheDiagramAndBack)
{
    Picture map = Run("apt_before");
    ASSERT_GT(map.width, 0);
    auto boxShade = [](uint32_t c) { return ChannelDistance(c, 0x3F3F33) < 24; };
    int shadedRight = 0;
    for (int y = 130; y < 220; ++y)
        for (int x = 490; x < 556; ++x)
            shadedRight += boxShade(map.At(x * map.width / 640, y * map.height / 360));
    EXPECT_GT(shadedRight, 2000) << "the NEAREST box and the APT button over the map";
    EXPECT_EQ(CountInMap(map, [](uint32_t c) { return Is(c, Background); }), 0);

    Picture diagram = Run("apt_in", "wait 20\nclick 541 211\nwait 5\n");
    ASSERT_GT(diagram.width, 0);
    EXPECT_GT(CountInMap(diagram, [](uint32_t c) { return Is(c, Background); }), 20000);
    EXPECT_EQ(Get("SelectedAirport"), "NEAREST");

    // The page left its settings behind: start from the map again.
    Set("SelectedAirport", "");
    Set("AirportOverlay", "1");
    Set("NavAirport", "0");
    Picture back = Run("apt_out", "wait 20\nclick 541 211\nwait 20\nclick 541 211\nwait 5\n");
    ASSERT_GT(back.width, 0);
    EXPECT_EQ(CountInMap(back, [](uint32_t c) { return Is(c, Background); }), 0);
    EXPECT_EQ(Get("SelectedAirport"), "");
}

}  // namespace
