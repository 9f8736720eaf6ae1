// The shipped demonstration airspaces and airways end to end: the built map
// program, headless on a copy of the shipped root with its navigation data,
// shows the airspaces round the home position in their class colours and the
// low or the high airways. The low airways' screenshot is kept as a
// reference; TVL_UPDATE_REFERENCES=1 writes a new one into the source tree.
#include "tests/support/program_end_to_end.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Pixels of the map window (inside the bezel) for which test holds; the zoom
// box at the window's left edge and the message box across its top, whose
// texts are white too, are left out.
template <class Test>
int CountInMap(const Picture& p, Test test)
{
    int count = 0;
    int left = (84 + 24) * p.width / 640, right = (84 + 436) * p.width / 640;  // short of the APT box
    int top = (40 + 30) * p.height / 480, bottom = (40 + 265) * p.height / 480;  // above the softkey rows
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            count += test(p.At(x, y));
    return count;
}

// Class C's translucent magenta over the empty map.
bool IsClassC(uint32_t rgb)
{
    int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return r > 0xE0 && g < 0xA0 && b > 0xC0;
}

// The airway colour: white, where the empty map is cream.
bool IsWhite(uint32_t rgb) { return rgb == 0xFFFFFF; }

class AirspaceMapTest : public ProgramEndToEnd {
  protected:
    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        CopyShippedFolder("Navdata");
        // The empty map (no tiles are fetched) at zoom 9 round home; the
        // airspaces of every class with their labels, no navaid symbols.
        for (auto [key, value] : {std::pair{"t", "0"}, {"Tile", "9"}, {"MenuState", "2"}, {"NavASP", "1"},
                                  {"CTR", "1"}, {"NavASPInfo", "1"}, {"SelectedAirspace", "ABCDEFGR"}})
            Set(key, value);
    }

    Picture Run(const char* name, const char* navAirways)
    {
        Set("NavAirways", navAirways);
        return RunForShot(name, 120);
    }
};

TEST_F(AirspaceMapTest, TheDemoAirspacesAndLowAirwaysRoundHome)
{
    Picture low = Run("airspaces_airways_low", "2");
    ASSERT_GT(low.width, 0);
    EXPECT_GT(CountInMap(low, IsClassC), 2000);  // Hamburg's CTR and class C rings
    EXPECT_GT(CountInMap(low, IsWhite), 300);    // the airway lines
    ExpectMatchesReference(root / "airspaces_airways_low.png", "airspaces_airways_low");
}

TEST_F(AirspaceMapTest, HighAirwaysInPlaceOfTheLowOnes)
{
    Picture low = Run("low", "2");
    Picture high = Run("high", "1");
    ASSERT_GT(high.width, 0);
    ASSERT_EQ(high.width, low.width);
    EXPECT_GT(CountInMap(high, IsWhite), 300);
    // Different lines: somewhere one shows an airway the other does not.
    int onlyLow = 0, onlyHigh = 0;
    for (size_t i = 0; i < low.rgb.size(); ++i) {
        onlyLow += IsWhite(low.rgb[i]) && !IsWhite(high.rgb[i]);
        onlyHigh += IsWhite(high.rgb[i]) && !IsWhite(low.rgb[i]);
    }
    EXPECT_GT(onlyLow, 100);
    EXPECT_GT(onlyHigh, 100);
    // No airway files of that height: the airspaces alone.
    Picture none = Run("none", "3");
    EXPECT_GT(CountInMap(none, IsClassC), 2000);
    // The boxes and labels stay white in all three; the high airway lines are gone.
    int goneHigh = 0;
    for (size_t i = 0; i < high.rgb.size(); ++i)
        goneHigh += IsWhite(high.rgb[i]) && !IsWhite(none.rgb[i]);
    EXPECT_GT(goneHigh, 300);
    EXPECT_LT(CountInMap(none, IsWhite), CountInMap(high, IsWhite));
}

}  // namespace
