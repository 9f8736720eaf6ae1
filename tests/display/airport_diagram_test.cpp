// The airport diagram: its size and label rules, the choice of the airport
// and its box, what the overlay leaves out, and the diagram's pixels.
#include "display/airport_diagram.h"

#include "app/settings.h"
#include "display/airport_boxes.h"
#include "display/airport_view.h"
#include "display/frame_renderer.h"
#include "display/map_view.h"
#include "display/sprite_table.h"
#include "navdata/airport_details.h"
#include "navdata/nav_tables.h"
#include "navdata/nearest_airports.h"
#include "navdata/simulators.h"
#include "tests/display/map_centre.h"
#include "tests/support/map_layer_fixture.h"
#include "tests/navdata/nav_fixtures.h"
#include "tests/render/render_fixture.h"

#include <cmath>
#include <string>

namespace {

TEST(DiagramRules, LabelSizeFollowsTheFirstRunwaysWidth)
{
    EXPECT_DOUBLE_EQ(ScaleLabelForRunwayWidth(1.0, 45), 0.75);
    EXPECT_DOUBLE_EQ(ScaleLabelForRunwayWidth(1.0, 90), 1.5);
    EXPECT_DOUBLE_EQ(ScaleLabelForRunwayWidth(1.0, 100), 0.3);
    EXPECT_DOUBLE_EQ(ScaleLabelForRunwayWidth(2.0, 60), 2.0);
}

TEST(DiagramRules, CentreLineDashesOfAHundredthOfADegree)
{
    int n = CentreLineSteps(0.01, 0.004);
    EXPECT_EQ(n, 14);
    EXPECT_EQ(n / 2, 7);
    EXPECT_EQ(CentreLineSteps(-0.002, 0.01), 14);
    EXPECT_LT(CentreLineSteps(0.0005, 0.0), 2) << "too short for a dash: no division by zero";
    EXPECT_EQ(CentreLineSteps(NAN, 0.0), 0);
    EXPECT_EQ(CentreLineSteps(1.0e300, 0.0), 0);
}

TEST(DiagramRules, PaintedLineNamesThinOutOnLongLines)
{
    EXPECT_EQ(PavementNameStride(2), 1);
    EXPECT_EQ(PavementNameStride(8), 1);
    EXPECT_EQ(PavementNameStride(9), 2);
    EXPECT_EQ(PavementNameStride(16), 2);
    EXPECT_EQ(PavementNameStride(17), 4);
}

TEST(DiagramRules, RunwayHeadingsCarryTheVariationAndWrapAtNorth)
{
    char text[16];
    FormatRunwayHeading(text, sizeof text, 6.2, 3.0);
    EXPECT_EQ(std::string(text), "358\xB0");
    FormatRunwayHeading(text, sizeof text, 6.28, 3.0);
    EXPECT_EQ(std::string(text), "3\xB0") << "not 363";
    FormatRunwayHeading(text, sizeof text, 0.0, 0.0);
    EXPECT_EQ(std::string(text), "360\xB0");
    FormatRunwayHeading(text, sizeof text, 0.1, -10.0);
    EXPECT_EQ(std::string(text), "356\xB0");
}

TEST(DiagramRules, OverlayLabelsFromScaleZoomOrBoxSize)
{
    EXPECT_TRUE(AreOverlayLabelsOn(0.5, false, 10, std::hypot(300, 300)));
    EXPECT_FALSE(AreOverlayLabelsOn(0.5, false, 10, std::hypot(200, 200)));
    EXPECT_TRUE(AreOverlayLabelsOn(1.01, false, 10, 10));
    EXPECT_TRUE(AreOverlayLabelsOn(0.5, true, 13, 10));
    EXPECT_FALSE(AreOverlayLabelsOn(0.5, true, 12, 10));
    EXPECT_FALSE(AreOverlayLabelsOn(0.5, false, 14, 10));
}

TEST(DiagramRules, AirportInViewByCentreOrCorners)
{
    // Box 10.0..10.2 E, 53.0..53.1 N.
    auto inView = [](double lat, double lon, double w, double e, double s, double n) {
        return IsAirportBoxInView(10.0, 10.2, 53.0, 53.1, lat, lon, w, e, s, n);
    };
    EXPECT_TRUE(inView(53.05, 10.1, 10.05, 10.15, 53.02, 53.08));   // centre inside, corners out
    EXPECT_TRUE(inView(53.3, 10.5, 10.1, 10.9, 53.05, 53.5));       // north-east corner in view
    EXPECT_TRUE(inView(52.8, 9.8, 9.5, 10.1, 52.5, 53.05));         // south-west corner in view
    EXPECT_FALSE(inView(53.3, 10.5, 10.3, 10.9, 53.2, 53.5));       // beyond it
    EXPECT_FALSE(inView(53.05, 10.1 + 0.5, 10.25, 10.9, 53.0, 53.1));
}

// ---- drawing ----

const char* const HamburgEntry =
    "1 53 EDDH 3.5 53.630389 9.988228 HAM Hamburg Hamburg_Airport Germany\n"
    "100 3250.0 46.0 1 - 0.00 53.620 9.9655 53.6202 9.9660 53.6377 10.0051 53.6375 10.0056 "
    "0.00010 0.00022 53.629 9.985 05 0.8762 110.50 23 4.0178 IHM\n"
    "110 1 6 0 0 0 0 Apron\n53.628 9.990\n53.628 9.996\n53.633 9.996\n53.628 9.990\n53.633 9.996\n53.633 9.990\n"
    "110 0 3 0 0 0 FF00FFFF A\n53.627 9.98\n53.63 9.99\n53.632 9.995\n"
    "190 1\n53.633189 9.991728\n"
    "150 2\n53.631 9.992 270 40 FF00C0FF 12 Gate_A\n53.6315 9.993 270 40 FF00C0FF 14 Gate_A\n";

class DiagramDraw : public MapLayerTest {
  protected:
    void SetUp() override
    {
        MapLayerTest::SetUp();
        Settings.RunwayEmergencyLength = 1000.0;
        Settings.RunwaySurfaceEmergency = 1;
        Settings.NavAirport = 1;
        Settings.AirportOverlay = 0;
        Settings.AirportMapTransparency = 255;
        Settings.TaxiwayZoomfactor = 1.0;
        Settings.Parkposition = -1;
        Settings.MetricAltitude = 0;
        CopyText(Settings.SelectedAirport, sizeof Settings.SelectedAirport, "EDDH");
        SetUpTileMapView(53.63, 9.99, 13);
        CurrentFrame = {};
        AirportRecord hamburg = MakeAirport("EDDH", 53.629, 9.985, 3250.0);
        hamburg.lonA = 9.9655;
        hamburg.lonB = 10.0056;
        hamburg.latA = 53.620;
        hamburg.latB = 53.6377;
        root.WriteTable("Navdata/MSFS/apt.bin", std::vector<AirportRecord>{hamburg});
        root.WriteZip("Navdata/MSFS/Default/E.zip", {{"E/EDDH.txt", HamburgEntry}});
        LoadAirports();
        ClearHighlightBox();
    }
    void TearDown() override
    {
        FreeNavdata();
        RenderTest::TearDown();
    }
    bool HasBox()
    {
        double w, e, s, n;
        return GetAirportBox(&w, &e, &s, &n);
    }
    // The diagram's background, 0xFF808090 as the clear reads it, as the
    // back buffer's 0xAABBGGRR.
    static constexpr uint32_t Background = 0xFF908080u;
    TempNavRoot root;
};

TEST_F(DiagramDraw, NoSelectedAirportDrawsNothingAndLeavesNoBox)
{
    Settings.SelectedAirport[0] = '\0';
    DrawAirportDiagram(640, 480, 0);
    EXPECT_FALSE(HasBox());
    EXPECT_EQ(Pixel(5, 5), 0xFF000000u);
}

TEST_F(DiagramDraw, DiagramModeClearsAndDrawsTheRunwayCentredOnTheAirport)
{
    DrawAirportDiagram(640, 480, 0);
    EXPECT_TRUE(HasBox());
    EXPECT_EQ(Pixel(5, 470), Background);
    EXPECT_DOUBLE_EQ(AirportDiagramView.latitude, 53.630389);
    EXPECT_EQ(AirportDiagramView.panning, 0);
    // The runway's middle, a little south-west of the reference point, is
    // dark asphalt or its white centre line; never the background.
    int dark = 0;
    for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -4; dx <= 4; ++dx) {
            double x = 0, y = 0;
            LatLonToAirportViewXY(&x, &y, 9.9855, 53.62885);
            uint32_t p = Pixel(static_cast<int>(320 + x) + dx, static_cast<int>(240 + y) + dy);
            dark += (p & 0xFF) < 0x10;
        }
    EXPECT_GT(dark, 20);
}

TEST_F(DiagramDraw, AnAirportThatCannotBeLoadedSwitchesTheDiagramOff)
{
    CopyText(Settings.SelectedAirport, sizeof Settings.SelectedAirport, "EDXX");
    DrawAirportDiagram(640, 480, 0);
    EXPECT_EQ(Settings.NavAirport, 0);
    EXPECT_STREQ(Settings.SelectedAirport, "");
    EXPECT_FALSE(HasBox());
    EXPECT_EQ(Pixel(5, 5), 0xFF000000u);
}

TEST_F(DiagramDraw, OverlayLeavesAnAirportOutOfViewUndrawnButKeepsItsBox)
{
    Settings.AirportOverlay = 1;
    SetUpTileMapView(54.5, 11.5, 13);
    DrawAirportDiagram(640, 480, 0);
    EXPECT_TRUE(HasBox());
    EXPECT_EQ(Pixel(320, 240), 0xFF000000u);
    EXPECT_EQ(Pixel(5, 5), 0xFF000000u);
}

TEST_F(DiagramDraw, OverlayShadesTheBoxOverTheMap)
{
    Settings.AirportOverlay = 1;
    SetUpTileMapView(53.63, 9.99, 13);
    DrawAirportDiagram(640, 480, 0);
    EXPECT_EQ(Pixel(5, 5), 0xFF000000u) << "the map outside the box stays";
    int shaded = 0;
    for (int x = 300; x < 340; ++x)
        shaded += Pixel(x, 180) != 0xFF000000u;
    EXPECT_EQ(shaded, 40);
}

TEST_F(DiagramDraw, NearestSelectsAndLoadsTheNearestAirport)
{
    CopyText(Settings.SelectedAirport, sizeof Settings.SelectedAirport, "NEAREST");
    DrawAirportDiagram(640, 480, 0);
    EXPECT_TRUE(IsAirportDetailLoaded());
    EXPECT_STREQ(GetAirportDetail().header.icao, "EDDH");
    EXPECT_STREQ(GetLastNearestIcao(), "EDDH");
    EXPECT_TRUE(HasBox());
    // The page shows the map centre, not the reference point.
    EXPECT_DOUBLE_EQ(AirportDiagramView.latitude, 53.63);
}

// Away from the airport the page shows the airport round its reference
// point rather than an empty background round the aircraft.
TEST_F(DiagramDraw, NearestAwayFromTheAirportShowsTheAirport)
{
    CopyText(Settings.SelectedAirport, sizeof Settings.SelectedAirport, "NEAREST");
    SetUpTileMapView(53.66, 9.99, 13);
    DrawAirportDiagram(640, 480, 0);
    EXPECT_STREQ(GetAirportDetail().header.icao, "EDDH");
    EXPECT_DOUBLE_EQ(AirportDiagramView.latitude, 53.630389);
    EXPECT_DOUBLE_EQ(AirportDiagramView.longitude, 9.988228);
}

TEST_F(DiagramDraw, ParkingPositionBeyondTheTableDrawsNothing)
{
    Settings.Parkposition = 2;
    DrawAirportDiagram(640, 480, 0);
    Settings.Parkposition = 1000000;
    DrawAirportDiagram(640, 480, 0);
    EXPECT_TRUE(HasBox());
}

TEST_F(DiagramDraw, OneChosenParkingPositionDrawsLessThanAll)
{
    auto countNonBackground = [this] {
        int n = 0;
        for (uint32_t p : BackBuffer())
            n += p != Background;
        return n;
    };
    DrawAirportDiagram(640, 480, 0);
    int all = countNonBackground();
    Settings.Parkposition = 0;
    DrawAirportDiagram(640, 480, 0);
    int one = countNonBackground();
    EXPECT_NE(all, one);
}

}  // namespace
