// The NEAREST box's figures against a great-circle computation of the test's
// own, its field rules, the take-off box test, the boxes' rectangles (and the
// wind box's above them) and the parking list file of the list helper.
#include "display/airport_boxes.h"

#include "app/screen_layout.h"
#include "app/settings.h"
#include "display/aircraft_values.h"
#include "display/frame_renderer.h"
#include "display/instrument_layers.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "display/status_text.h"
#include "navdata/airport_details.h"
#include "navdata/nav_tables.h"
#include "navdata/nearest_airports.h"
#include "navdata/simulators.h"
#include "tests/display/map_centre.h"
#include "tests/navdata/nav_fixtures.h"
#include "tests/render/render_fixture.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::string Values(double distance, double speed, const char* icao = "EDDH")
{
    char out[160];
    FormatNearestValues(out, sizeof out, icao, 53, 42.4, distance, speed, "15", "33", 3666.4);
    return out;
}

TEST(NearestValues, FieldsInOrderWithDegreeSignAndFeet)
{
    EXPECT_EQ(Values(12.34, 120), "EDDH\n53'\n42\xB0\n12.3\n00:06\n15/33\n12027");
    EXPECT_EQ(std::string(NearestBoxLabels), "ID:\nElev.:\nBRG:\nnm:\nETE:\nRWY\nft:");
}

TEST(NearestValues, NoTimeAtFiveKnotsOrLess)
{
    EXPECT_EQ(Lines(Values(12.0, 5.0))[4], "00:00");
    EXPECT_EQ(Lines(Values(12.0, 0.0))[4], "00:00");
    EXPECT_EQ(Lines(Values(12.0, 5.01))[4], "02:23");
    EXPECT_EQ(Lines(Values(120.0, 60.0))[4], "02:00");
}

TEST(NearestValues, DecimalsEndAtAThousandMiles)
{
    EXPECT_EQ(Lines(Values(999.9, 0))[3], "999.9");
    EXPECT_EQ(Lines(Values(1000.0, 0))[3], "1000");
    EXPECT_EQ(Lines(Values(4.25, 0))[3], " 4.2");
}

TEST(NearestValues, OverlongNamesAndNonsenseFiguresStayInTheirFields)
{
    char out[160];
    FormatNearestValues(out, sizeof out, "ABCDEFGHIJKLMNO", 10, NAN, NAN, 200, "RW09LX", "27RRRR", -5);
    std::vector<std::string> l = Lines(out);
    ASSERT_EQ(l.size(), 7u);
    EXPECT_EQ(l[0], "ABCDEFG");
    EXPECT_EQ(l[2], "0\xB0");
    EXPECT_EQ(l[3], " 0.0");
    EXPECT_EQ(l[5], "RW0/27R");
    EXPECT_EQ(l[6], "0");
    // A crawl over a long way would need more than the field's two digits.
    EXPECT_EQ(Lines(Values(900, 5.5))[4], "99:59");
}

TEST(NearestValues, BearingLessVariationWrapsAboveZero)
{
    EXPECT_NEAR(NearestBearingDegrees(0.1, 10.0), 360 + 0.1 * 57.3 - 10, 1e-9);
    EXPECT_NEAR(NearestBearingDegrees(1.0, -2.0), 59.3, 1e-9);
}

class AirportBoxTest : public ::testing::Test {
  protected:
    void SetUp() override { ClearHighlightBox(); }
    void SetBox(double west, double east, double south, double north)
    {
        AirportRecord a{};
        a.lonA = east;  // either order of the bounds
        a.lonB = west;
        a.latA = south;
        a.latB = north;
        SetAirportBox(a);
    }
};

TEST_F(AirportBoxTest, NoBoxIsNeverFar)
{
    EXPECT_FALSE(IsFarFromAirportBox(0, 0));
    EXPECT_FALSE(IsFarFromAirportBox(89, 179));
    SetBox(10.0, 10.2, 53.0, 53.1);
    ClearHighlightBox();
    EXPECT_FALSE(IsFarFromAirportBox(53.05, 5.0));
}

TEST_F(AirportBoxTest, FarWhenMoreThanTheBoxSizeOutside)
{
    SetBox(10.0, 10.2, 53.0, 53.1);
    EXPECT_TRUE(IsFarFromAirportBox(53.05, 10.0 - 1.5 * 0.2));
    EXPECT_FALSE(IsFarFromAirportBox(53.05, 10.0 - 0.5 * 0.2));
    EXPECT_TRUE(IsFarFromAirportBox(53.05, 10.2 + 0.21));
    EXPECT_FALSE(IsFarFromAirportBox(53.05, 10.2 + 0.19));
    EXPECT_TRUE(IsFarFromAirportBox(53.0 - 0.11, 10.1));
    EXPECT_FALSE(IsFarFromAirportBox(53.1 + 0.09, 10.1));
    EXPECT_TRUE(IsFarFromAirportBox(53.1 + 0.11, 10.1));
    EXPECT_FALSE(IsFarFromAirportBox(53.05, 10.1));  // inside
    double w, e, s, n;
    ASSERT_TRUE(GetAirportBox(&w, &e, &s, &n));
    EXPECT_EQ(w, 10.0);
    EXPECT_EQ(e, 10.2);
}

// ---- with the navigation data ----

double Radians(double d) { return d * M_PI / 180; }

// Haversine distance in nm on a sphere of 3440.065 nm, and the initial bearing.
double SphereDistanceNm(double lat1, double lon1, double lat2, double lon2)
{
    double a = std::pow(std::sin(Radians(lat2 - lat1) / 2), 2) +
               std::cos(Radians(lat1)) * std::cos(Radians(lat2)) * std::pow(std::sin(Radians(lon2 - lon1) / 2), 2);
    return 2 * 3440.065 * std::asin(std::sqrt(a));
}
double InitialBearingDeg(double lat1, double lon1, double lat2, double lon2)
{
    double y = std::sin(Radians(lon2 - lon1)) * std::cos(Radians(lat2));
    double x = std::cos(Radians(lat1)) * std::sin(Radians(lat2)) -
               std::sin(Radians(lat1)) * std::cos(Radians(lat2)) * std::cos(Radians(lon2 - lon1));
    double b = std::atan2(y, x) * 180 / M_PI;
    return b < 0 ? b + 360 : b;
}

class NearestBoxTest : public RenderTest {
  protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        Settings.NavDatabase = 6;
        Settings.UseSimulator = SimulatorMsfs;
        Settings.RunwayEmergencyLength = 1000.0;
        Settings.RunwaySurfaceEmergency = 1;
        Settings.AirportChart = 0;
        Settings.NavAirport = 0;
        Settings.AirportOverlay = 1;
        Settings.SelectedAirport[0] = '\0';
        Settings.Dimlevel = 255;
        Aircraft = {};
        SetUpTileMapView(53.4, 9.7, 10);
        CurrentFrame.width = 640;
        CurrentFrame.height = 480;
        BezelShown = 0;
        for (StatusLine& l : StatusLines)
            l.shown = 0;
        AirportRecord hamburg = MakeAirport("EDDH", 53.630, 9.988, 3666.0);
        CopyText(hamburg.runwayEnd1, sizeof hamburg.runwayEnd1, "15");
        CopyText(hamburg.runwayEnd2, sizeof hamburg.runwayEnd2, "33");
        root.WriteTable("Navdata/MSFS/apt.bin",
                        std::vector<AirportRecord>{MakeAirport("EDHL", 53.805, 10.719), hamburg,
                                                   MakeAirport("EDXF", 54.772, 9.378)});
        root.WriteZip("Navdata/MSFS/Default/E.zip",
                      {{"E/EDDH.txt", "1 53 EDDH 3.5 53.630389 9.988228 HAM Hamburg Hamburg_Airport Germany\n"}});
        LoadAirports();
    }
    void TearDown() override
    {
        FreeNavdata();
        RenderTest::TearDown();
    }
    TempNavRoot root;
};

TEST_F(NearestBoxTest, FiguresMatchAGreatCircleComputation)
{
    Aircraft.GroundSpeed = 140;
    Aircraft.MagneticVariation = 3.0;
    FindNearestAirports(9.0, 10.4);
    char values[160];
    ASSERT_TRUE(ComposeNearestValues(values, sizeof values));
    std::vector<std::string> l = Lines(values);
    ASSERT_EQ(l.size(), 7u);
    EXPECT_EQ(l[0], "EDDH");
    EXPECT_EQ(l[1], "53'") << "the elevation of the nearest airport's own entry";
    double nm = SphereDistanceNm(53.4, 9.7, 53.630, 9.988);
    EXPECT_NEAR(std::stod(l[3]), nm, 0.1);
    double bearing = InitialBearingDeg(53.4, 9.7, 53.630, 9.988) - 3.0;
    EXPECT_NEAR(std::stoi(l[2]), bearing, 1.0);
    int minutes = static_cast<int>(60 * std::stod(l[3]) / 140);
    char ete[32];
    std::snprintf(ete, sizeof ete, "%2.2d:%2.2d", minutes / 60, minutes % 60);
    EXPECT_EQ(l[4], ete);
    EXPECT_EQ(l[5], "15/33");
    EXPECT_EQ(l[6], "12027");
}

TEST_F(NearestBoxTest, BoxesStandAtTheRightEdgeAndGoWithTheChart)
{
    DrawNearestAndAptBoxes();
    EXPECT_EQ(NearestBoxRect.left, 640 - 68);
    EXPECT_EQ(NearestBoxRect.right, 640);
    EXPECT_EQ(NearestBoxRect.top, 28 + 20 + 37 + 42);
    EXPECT_EQ(NearestBoxRect.bottom, NearestBoxRect.top + 98);
    EXPECT_EQ(AptBoxRect.right, 640);
    EXPECT_EQ(AptBoxRect.bottom, 28 + 20 + 37 + 42 + 130);
    EXPECT_EQ(AptBoxRect.left, AptBoxRect.right - 30);
    EXPECT_TRUE(HitTestAptBox(625, 240));
    // The box's shade over the cleared black, its white frame at the edge.
    EXPECT_EQ(Pixel(639, static_cast<int>(NearestBoxRect.top) + 40) & 0xFFFFFF, 0xFFFFFFu);

    StatusLines[2].shown = 1;
    DrawNearestAndAptBoxes();
    EXPECT_EQ(NearestBoxRect.top, 28 + 20 + 37 + 42 + 20);

    Settings.NavAirport = 1;
    Settings.AirportOverlay = 0;  // the diagram: no NEAREST box, the APT button stays
    DrawNearestAndAptBoxes();
    EXPECT_EQ(NearestBoxRect.right, 0);
    EXPECT_EQ(AptBoxRect.right, 640);

    Settings.AirportChart = 1;
    DrawNearestAndAptBoxes();
    EXPECT_FALSE(HitTestAptBox(625, 240));
}

// The right-hand column from the top: the wind box, the terrain value box
// right below it, the NEAREST box; a click in the wind box is its own.
TEST_F(NearestBoxTest, TheWindBoxStandsAboveTheNearestBoxWithoutCoveringIt)
{
    Settings.Windrose = 0;
    for (uint8_t bezel : {0, 1}) {
        BezelShown = bezel;
        float mapTop = bezel ? static_cast<float>(ScreenLayout.MapRectY) : 0.0f;
        for (uint8_t line3 : {0, 1}) {
            StatusLines[2].shown = line3;
            float down = line3 ? 20.0f : 0.0f;
            DrawWindAndNorth(0);
            DrawNearestAndAptBoxes();
            EXPECT_FLOAT_EQ(HeadingBoxRect.top, mapTop + 28 + 20 + down) << int(bezel) << int(line3);
            EXPECT_FLOAT_EQ(HeadingBoxRect.bottom, HeadingBoxRect.top + 37);
            // Where the terrain value box begins (map top + 28 + 57).
            EXPECT_FLOAT_EQ(HeadingBoxRect.bottom, mapTop + 28 + 57 + down);
            EXPECT_LT(HeadingBoxRect.bottom, NearestBoxRect.top) << int(bezel) << int(line3);
            EXPECT_FLOAT_EQ(HeadingBoxRect.right, NearestBoxRect.right);
            float x = (HeadingBoxRect.left + HeadingBoxRect.right) / 2;
            float y = (HeadingBoxRect.top + HeadingBoxRect.bottom) / 2;
            EXPECT_TRUE(HitTestHeadingBox(x, y));
            EXPECT_FALSE(HitTestNearestBox(x, y));
        }
    }
    StatusLines[2].shown = 0;
    BezelShown = 0;
}

// ---- parking list ----

class ParkingListTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Settings.NavDatabase = 6;
        Settings.UseSimulator = SimulatorMsfs;
    }
    void TearDown() override { FreeNavdata(); }
    void Load(const std::string& parking)
    {
        root.WriteZip("Navdata/MSFS/Default/E.zip",
                      {{"E/EDDH.txt", "1 53 EDDH 3.5 53.630389 9.988228 HAM Hamburg Hamburg_Airport Germany\n" +
                                          parking}});
        ASSERT_TRUE(LoadAirportDetails("EDDH"));
    }
    std::string ListFile()
    {
        std::ifstream in(folder + "/lbentries.txt");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    TempNavRoot root;
    TempFolder work;
    std::string folder = work.Path();
    WorkingFolder in{folder};
};

TEST_F(ParkingListTest, NameUnderscoreNumberFindsThePosition)
{
    Load("150 3\n53.63 9.99 270 40 FF00C0FF 12 Gate_A\n53.631 9.991 90 40 FF00C0FF 7 Gate_B\n"
         "53.632 9.992 90 20 FFFFFFFF 7 Gate_B\n");
    EXPECT_EQ(FindParkingIndexByName("Gate A_12"), 0);
    EXPECT_EQ(FindParkingIndexByName("Gate B_7"), 1) << "the first of equal names";
    EXPECT_EQ(FindParkingIndexByName("Gate A_012"), -1);
    EXPECT_EQ(FindParkingIndexByName("Gate A_1"), -1);
    EXPECT_EQ(FindParkingIndexByName(""), -1);
    EXPECT_EQ(FindParkingIndexByName(nullptr), -1);
}

TEST_F(ParkingListTest, ListFileHasTitleCentreAndOneLinePerPosition)
{
    Load("150 2\n53.63 9.99 270 40 FF00C0FF 12 Gate_A\n53.631 9.991 90 40 FF00C0FF 3 Apron\n");
    WriteParkingListFile(nullptr);
    std::vector<std::string> l = Lines(ListFile());
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[0], "Select Parking Position");
    int x = -1, y = -1;
    EXPECT_EQ(std::sscanf(l[1].c_str(), "%d %d", &x, &y), 2);
    EXPECT_EQ(l[2], "Gate A_12");
    EXPECT_EQ(l[3], "Apron_3");
    EXPECT_EQ(FindParkingIndexByName(l[3].c_str()), 1) << "the helper's answer finds its line";
}

TEST_F(ParkingListTest, AirportWithoutParkingGivesTitleAndCentreOnly)
{
    Load("");
    WriteParkingListFile(nullptr);
    EXPECT_EQ(Lines(ListFile()).size(), 2u);
}

}  // namespace
