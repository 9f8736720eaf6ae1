// The status texts: temperature, the mode and aircraft lines, the plan lines.
#include "app/settings.h"
#include "display/aircraft_values.h"
#include "display/map_view.h"
#include "display/status_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

TEST(StatusText, TemperatureRoundsHalfUpAndKeepsTheMinusForm)
{
    char text[32];
    FormatTemperatureText(text, sizeof text, -0.4, true);
    EXPECT_EQ(std::string(text), "OAT: -  0 \xBA" "C");
    FormatTemperatureText(text, sizeof text, 15.5, true);
    EXPECT_EQ(std::string(text), "OAT:  16 \xBA" "C");
    FormatTemperatureText(text, sizeof text, 0.0, false);  // 32.2 F
    EXPECT_EQ(std::string(text), "OAT:  32 \xBA" "F");
    FormatTemperatureText(text, sizeof text, -40.0, false);
    EXPECT_EQ(std::string(text), "OAT: - 40 \xBA" "F");
}

TEST(StatusText, EteWrapsAtADay)
{
    char text[16];
    FormatEteClock(text, sizeof text, 90000);
    EXPECT_EQ(std::string(text), "01:00:00");
    FormatEteClock(text, sizeof text, -5);
    EXPECT_EQ(std::string(text), "00:00:00");
    FormatEteClock(text, sizeof text, 1e300);  // nonsense from a link
    EXPECT_EQ(std::string(text), "00:00:00");
}

TEST(StatusText, PlanLineThreeOnlyBeforeTheDestination)
{
    StatusLine l2{}, l3{};
    FormatPlanLines("EDDH", "EDDH", 60, 60, 1853.2, 0, 100, true, &l2, &l3);
    EXPECT_EQ(std::string(l2.text), "EDDH ETE: 00:01:00 DIST:  1.0 NM");
    EXPECT_EQ(l3.shown, 0);
    FormatPlanLines("WPT1", "EDDH", 60, 90000, 3706.4, 10, 100, true, &l2, &l3);
    EXPECT_EQ(l3.shown, 1);
    EXPECT_EQ(std::string(l3.text), "EDDH ETE: 01:00:00 DIST: 12.0 NM");
    FormatPlanLines("WPT1", "EDDH", 60, 60, -5, 0, 0, true, &l2, &l3);
    EXPECT_EQ(std::string(l2.text), "WPT1 ETE: --:--:-- DIST:  0.0 NM");
    EXPECT_EQ(std::string(l3.text), "EDDH ETE: --:-- DIST:  0.0 NM");
}

TEST(StatusText, AircraftLineWithTrueOrMagneticHeading)
{
    Settings.MenuState = 2;
    Settings.MetricAltitude = 0;
    Settings.HeadingIsTrue = 1;
    Aircraft.GroundSpeed = 102.7;
    Aircraft.Heading = 95.9;
    Aircraft.MagneticVariation = 100.0;
    Aircraft.Altitude = 2500.4;
    Aircraft.HeightAboveGround = 1400.0f;
    StatusLineInputs in{};
    in.temperatureText = "OAT:  15 \xBA" "C";
    in.gpwsText = "";
    char text[128];
    FormatStatusLine1(text, sizeof text, in);
    EXPECT_EQ(std::string(text), "GS: 102 kn/ Hdg:  95\xB0 T/ Alt:  2500 ft / AGL:  1400 ft / OAT:  15 \xBA" "C");
    Settings.HeadingIsTrue = 0;  // 95.9 - 100 wraps to 355.9
    FormatStatusLine1(text, sizeof text, in);
    EXPECT_EQ(std::string(text).substr(0, 28), "GS: 102 kn/ Hdg: 355\xB0 M/ Alt");
    Settings.MenuState = 1;
}

// A link's nonsense shows as dashes, never as a number it is not.
TEST(StatusText, ValuesThatAreNoNumbersOrAbsurdShowAsDashes)
{
    Settings.MenuState = 2;
    Settings.MetricAltitude = 0;
    Settings.HeadingIsTrue = 1;
    Aircraft.GroundSpeed = 1e300;
    Aircraft.Heading = std::nan("");
    Aircraft.Altitude = -3e9;
    Aircraft.HeightAboveGround = 1400.0f;
    StatusLineInputs in{};
    in.temperatureText = "";
    in.gpwsText = "";
    char text[128];
    FormatStatusLine1(text, sizeof text, in);
    EXPECT_EQ(std::string(text), "GS: --- kn/ Hdg: ---\xB0 T/ Alt: ----- ft / AGL:  1400 ft / ");
    in.followingTarget = true;
    in.targetSpeed = std::numeric_limits<double>::infinity();
    in.targetHeading = 270.0;
    in.targetAltitude = 2.5e9;
    FormatStatusLine1(text, sizeof text, in);
    EXPECT_EQ(std::string(text), "GS: --- kn/ Hdg: 270 / Alt: -----");
    FormatTemperatureText(text, sizeof text, 1e308, false);
    EXPECT_EQ(std::string(text), "OAT: --- \xBA" "F");
    FormatTemperatureText(text, sizeof text, std::nan(""), true);
    EXPECT_EQ(std::string(text), "OAT: --- \xBA" "C");
    Settings.MenuState = 1;
}

TEST(StatusText, ModeLineNamesZoomPanningAndButtons)
{
    Settings.MenuState = 1;
    Settings.TrackUp = 1;
    Settings.Tile = 12;
    TileMapFlag = 1;
    MapPanning = 1;
    StatusLineInputs in{};
    in.trafficText = "TCAS Mode / ";
    in.lastButton = 7;
    in.gpwsText = GpwsPhaseText(true, 1, 0);
    char text[128];
    FormatStatusLine1(text, sizeof text, in);
    EXPECT_EQ(std::string(text), "TCAS Mode / Zoom 12 / Track Up / Map Move /  Button: 7 / GPWS - Enroute");
    Settings.TrackUp = 0;
    MapPanning = 0;
}

TEST(StatusText, GpwsPhaseFollowsTheAutomaticPhaseWhenNegative)
{
    EXPECT_STREQ(GpwsPhaseText(false, 0, 0), "");
    EXPECT_STREQ(GpwsPhaseText(true, 0, 2), " / GPWS - Departure");
    EXPECT_STREQ(GpwsPhaseText(true, -1, 2), " / GPWS - Approach");
}

}  // namespace
