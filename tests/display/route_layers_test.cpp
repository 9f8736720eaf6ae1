// The route layers: the flight plan's line, symbols and labels drawn into the
// headless renderer, the label texts, the take-off climb rate and the
// localizer label's place along the feather.
#include "display/route_layers.h"

#include "app/click_zones.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/frame_renderer.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/nav_layer.h"
#include "display/sprite_table.h"
#include "navdata/flight_plan.h"
#include "navdata/flight_plan_files.h"
#include "navdata/nav_tables.h"
#include "navdata/plan_file.h"
#include "navdata/text_lines.h"
#include "navdata/route_geometry.h"
#include "navdata/route_navigation.h"
#include "render/system_text.h"
#include "simlink/msfs_link.h"
#include "simlink/sim_link.h"
#include "tests/display/map_centre.h"
#include "tests/support/map_layer_fixture.h"
#include "tests/render/render_fixture.h"
#include "tests/support/temp_folder.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

TEST(RouteLabels, AltitudesAndMeasInHundredsOfFeet)
{
    char text[64];
    FormatWaypointLabel(text, sizeof text, "TABUM", 4500, RouteNoTerrain, true);
    EXPECT_STREQ(text, "TABUM\n45\n--- MEA");
    FormatWaypointLabel(text, sizeof text, "TABUM", 4500, 3200, true);
    EXPECT_STREQ(text, "TABUM\n45\n32 MEA");
    FormatWaypointLabel(text, sizeof text, "EDDH", 0, RouteNoTerrain, true);
    EXPECT_STREQ(text, "EDDH\n--- MEA");
    FormatWaypointLabel(text, sizeof text, "EDDH", -20, 3250, true);
    EXPECT_STREQ(text, "EDDH\n32 MEA");
    FormatWaypointLabel(text, sizeof text, "TABUM", 4599, 3200, false);
    EXPECT_STREQ(text, "TABUM\n45");
    FormatWaypointLabel(text, sizeof text, "EDDH", 0, 3200, false);
    EXPECT_STREQ(text, "EDDH");
}

TEST(RouteClimb, SixHundredFeetAMinuteNeverCountsAsATakeOffClimb)
{
    ResetRouteClimbRate();
    double altitude = 0, highest = 0;
    for (int i = 0; i < 20000; ++i) {
        altitude += 10.0 * 0.02;
        UpdateRouteClimbRate(altitude, 0.02);
        highest = std::max(highest, GetRouteClimbRate());
    }
    EXPECT_LT(highest, 10.0 + 1e-9);
    EXPECT_GT(highest, 9.0);
    for (int i = 0; i < 2000; ++i) {
        altitude += 20.0 * 0.02;
        UpdateRouteClimbRate(altitude, 0.02);
    }
    EXPECT_GT(GetRouteClimbRate(), 10.0);
    UpdateRouteClimbRate(altitude, 0.0);  // a frame of no time has no rate
    EXPECT_EQ(GetRouteClimbRate(), 0.0);
}

TEST(RouteLocalizer, LabelStopsTenPercentBeyondTheAntennaAndTheTip)
{
    EXPECT_NEAR(LocalizerLabelFraction(53.5, 10.0, 53.0, 10.0, 54.0, 10.0), 0.5, 1e-12);
    EXPECT_EQ(LocalizerLabelFraction(52.0, 10.0, 53.0, 10.0, 54.0, 10.0), -0.1);
    EXPECT_EQ(LocalizerLabelFraction(56.0, 10.0, 53.0, 10.0, 54.0, 10.0), 1.1);
    EXPECT_EQ(LocalizerLabelFraction(56.0, 10.0, 53.0, 10.0, 53.0, 10.0), 0.0);  // no feather
}

constexpr uint32_t kCream = 0xFFFFFECDu;
constexpr uint32_t kMagenta = 0xFFFF00FFu;

class RouteLayerTest : public MapLayerTest {
  protected:
    void SetUp() override
    {
        MapLayerTest::SetUp();
        Settings.UseSimulator = SimulatorMsfs;
        Settings.NavAirport = 0;
        Settings.AirportOverlay = 1;
        Settings.FlightPlanColor = kMagenta;
        Settings.FlightplanWidth = 3.0;
        Settings.SelectedILS[0] = '\0';
        CurrentFrame = {};
        SetUpTileMapView(53.63, 10.0, 10);
        std::memset(&FlightPlan, 0, sizeof FlightPlan);
        SetFlightPlanKinds(PlanKindsXml);
        RouteBuilt = 0;
        SetFlightPlanState(1);
        BackgroundDrawn = 1;
        ClearTarget(kCream);
    }
    void TearDown() override
    {
        ClearRoutePolyline();
        RenderTest::TearDown();
    }
    void Add(const char* ident, int kind, double lat, double lon, double altitude)
    {
        FlightPlanWaypoint& w = FlightPlan.waypoints[FlightPlan.count++];
        w = {kind, static_cast<float>(lat), static_cast<float>(lon), static_cast<float>(altitude), {}};
        std::snprintf(w.ident, sizeof w.ident, "%s", ident);
        FlightPlan.present = 1;
    }
    // One navigation step at the map centre with the simulator's active waypoint.
    void Step(int active)
    {
        LinkAircraftState[LinkLatitude] = 53.63;
        LinkAircraftState[LinkLongitude] = 10.0;
        BeginGpsFrame();
        SetActiveLegFromSimulator(active);
        RunGpsStep(ViewMapProjector(), SimulatorMsfs, CentreMapX, CentreMapY, 1, 1);
    }
    void ToScreen(double lat, double lon, double* x, double* y)
    {
        double dx = 0, dy = 0;
        ProjectToScreenOffset(&dx, &dy, lon, lat);
        *x = ScreenCentre.x + dx;
        *y = ScreenCentre.y + dy;
    }
    bool IsMagenta(int x, int y)
    {
        uint32_t p = Pixel(x, y);
        return (p & 0xFF) > 0xC0 && ((p >> 8) & 0xFF) < 0x40 && ((p >> 16) & 0xFF) > 0xC0;
    }
    // The colour of the draw of a sprite slot nearest to (x, y), 0 when none.
    uint32_t SpriteDrawColour(int slot, double x, double y)
    {
        uint32_t found = 0;
        double best = 1e9;
        for (size_t d = 0; d < GpuRecordedDraws().size(); ++d) {
            if (GpuRecordedDraws()[d].texture != SpriteTable[slot].texture)
                continue;
            RenderVertex a = Vertex(d, 0), b = Vertex(d, 3);
            double mx = (PixelX(a.x) + PixelX(b.x)) / 2, my = (PixelY(a.y) + PixelY(b.y)) / 2;
            double dist = std::hypot(mx - x, my - y);
            if (dist < best) {
                best = dist;
                found = a.colour;
            }
        }
        return best < 8 ? found : 0;  // symbols sit by the plain waypoint's size
    }
};

TEST_F(RouteLayerTest, PlanIsDrawnWithItsLegsSymbolsAndTheActiveWaypointInMagenta)
{
    Add("EDDH", 1, 53.63, 10.0, 53);
    Add("HAM", 4, 53.70, 10.25, 4500);
    Add("HOS", 2, 53.55, 10.30, 3000);
    Add("EDHL", 1, 53.55, 10.05, 0);
    Step(2);
    ASSERT_EQ(RouteBuilt, 1);
    Record();
    DrawRouteLayers(0.02f, 640, 480);
    double x1, y1, x2, y2;
    ToScreen(53.70, 10.25, &x1, &y1);
    ToScreen(53.55, 10.30, &x2, &y2);
    // The middle of the straight part of the leg from HAM to HOS.
    EXPECT_TRUE(IsMagenta(static_cast<int>((x1 + x2) / 2), static_cast<int>((y1 + y2) / 2)));
    EXPECT_EQ(SpriteDrawColour(SpriteRouteVor, x1, y1), 0xFFFFFFFFu);
    EXPECT_EQ(SpriteDrawColour(SpriteRouteNdb, x2, y2), kMagenta);  // the active one
    double ax, ay;
    ToScreen(53.63, 10.0, &ax, &ay);
    EXPECT_EQ(SpriteDrawColour(SpriteRouteAirport, ax, ay), 0xFFFFFFFFu);
    // Every label's box: black below and right of its symbol.
    uint32_t box = Pixel(static_cast<int>(x1) + 12, static_cast<int>(y1) + 14);
    EXPECT_LT(box & 0xFF, 0x40u);
}

TEST_F(RouteLayerTest, TurnsAreRoundedOnTheScreen)
{
    Add("A", 5, 53.50, 9.80, 3000);
    Add("B", 5, 53.63, 10.00, 3000);
    Add("C", 5, 53.50, 10.20, 3000);
    Step(2);  // the turn point's symbol is white
    DrawRouteLayers(0.02f, 640, 480);
    double bx, by;
    ToScreen(53.63, 10.00, &bx, &by);
    // The arc cuts the corner: the turn point itself is off the line, a
    // point below it on the arc is on it.
    int magentaAtCorner = 0;
    for (int dy = -1; dy <= 1; ++dy)
        magentaAtCorner += IsMagenta(static_cast<int>(bx), static_cast<int>(by) - 3 + dy);
    EXPECT_EQ(magentaAtCorner, 0);
    int magentaBelow = 0;
    for (int dy = 0; dy < 30; ++dy)
        magentaBelow += IsMagenta(static_cast<int>(bx), static_cast<int>(by) + dy);
    EXPECT_GT(magentaBelow, 0);
}

TEST_F(RouteLayerTest, NothingIsDrawnWhilePlansAreHiddenOrWithoutBackground)
{
    Add("A", 5, 53.50, 9.80, 3000);
    Add("B", 5, 53.63, 10.20, 3000);
    Step(1);
    double x, y;
    ToScreen(53.565, 10.0, &x, &y);
    SetFlightPlanState(0);
    DrawRouteLayers(0.02f, 640, 480);
    EXPECT_FALSE(IsMagenta(static_cast<int>(x), static_cast<int>(y)));
    SetFlightPlanState(1);
    BackgroundDrawn = 0;
    DrawRouteLayers(0.02f, 640, 480);
    EXPECT_FALSE(IsMagenta(static_cast<int>(x), static_cast<int>(y)));
    BackgroundDrawn = 1;
    Settings.NavAirport = 1;
    Settings.AirportOverlay = 0;  // the airport diagram has the map area
    DrawRouteLayers(0.02f, 640, 480);
    EXPECT_FALSE(IsMagenta(static_cast<int>(x), static_cast<int>(y)));
    Settings.NavAirport = 0;
    DrawRouteLayers(0.02f, 640, 480);
    EXPECT_TRUE(IsMagenta(static_cast<int>(x), static_cast<int>(y)));
}

TEST_F(RouteLayerTest, TrackUpTurnsTheRouteAndKeepsLabelsUpright)
{
    Add("A", 5, 53.63, 9.80, 3000);
    Add("B", 5, 53.63, 10.20, 3000);
    Step(1);
    CurrentFrame.mapRotation = static_cast<float>(M_PI / 2);
    Record();
    DrawRouteLayers(0.02f, 640, 480);
    // An east-west leg through the centre, turned a quarter, runs up and down.
    EXPECT_TRUE(IsMagenta(320, 200));
    EXPECT_FALSE(IsMagenta(280, 240));
}

// A plan near home loaded from a file, drawn over the demonstration navaids,
// edited by clicks on the map (one waypoint removed, one fix inserted) the
// way the plan-edit modes take them, and saved. With TVL_SCREENSHOT_DIR set
// the two pictures are kept there.
TEST_F(RouteLayerTest, PlanNearHomeIsEditedByClicksAndSaved)
{
    TempFolder folder;
    std::snprintf(DataFolder, sizeof DataFolder, "%s", TVL_ROOT_DIR);
    LoadNavaids();
    LoadAirports();
    LoadFixes();
    Settings.NavNDB = Settings.NavVOR = 1;
    Settings.Autosize = 1;
    Settings.Tile = 10;
    CentreMapOn(53.60, 10.05);
    std::string plan = folder / "home.pln";
    ASSERT_TRUE(WriteFileText(plan, "[flightplan]\n"
                                    "waypoint.0=EDDH, A, N53* 37.80', E9* 59.30', +000053.00,\n"
                                    "waypoint.1=ALF38, I, N53* 40.45', E10* 4.62', +002500.00,\n"
                                    "waypoint.2=HAM, V, N53* 41.14', E10* 12.30', +004500.00,\n"
                                    "waypoint.3=MABAS, I, N53* 31.24', E10* 16.85', +003500.00,\n"
                                    "waypoint.4=HAM07, I, N53* 31.87', E10* 4.93', +003000.00,\n"
                                    "waypoint.5=EDHI, A, N53* 32.10', E9* 50.10', +000023.00,\n"));
    ASSERT_TRUE(LoadFlightPlanFile(plan.c_str()));
    const char* keep = std::getenv("TVL_SCREENSHOT_DIR");
    auto frame = [&](const char* name) {
        Step(1);
        ClearTarget(kCream);
        Record();
        DrawNavigationLayer(640, 480);
        DrawRouteLayers(0.02f, 640, 480);
        if (keep != nullptr)
            WriteBackBufferPng(std::string(keep) + "/" + name);
    };
    frame("route_plan.png");
    double mx, my;
    ToScreen(53.5207, 10.2808, &mx, &my);  // MABAS
    EXPECT_EQ(SpriteDrawColour(SpriteWaypoint, mx, my), 0xFFFFFFFFu);

    // The window's client area, as the click handler measures it.
    MainWindowState.clientWidth = 640;
    MainWindowState.clientHeight = 480;
    SetPlanEditMode(PlanEditDelete);
    EXPECT_TRUE(EditFlightPlanAtPoint(static_cast<int>(mx), static_cast<int>(my), static_cast<int>(mx),
                                      static_cast<int>(my)));
    double px, py;
    ToScreen(53.7339, 10.1950, &px, &py);  // beside the fix PISAS, north of the route
    SetPlanEditMode(PlanEditInsert);
    EXPECT_TRUE(EditFlightPlanAtPoint(static_cast<int>(px) + 3, static_cast<int>(py) - 2, static_cast<int>(px) + 3,
                                      static_cast<int>(py) - 2));
    SetPlanEditMode(PlanEditNone);
    ASSERT_EQ(FlightPlan.count, 6);
    EXPECT_STREQ(FlightPlan.waypoints[2].ident, "PISAS");  // between ALF38 and HAM
    EXPECT_FLOAT_EQ(FlightPlan.waypoints[2].altitude, 3500.0f);

    frame("route_plan_edited.png");
    EXPECT_EQ(SpriteDrawColour(SpriteWaypoint, mx, my), 0u);  // MABAS is gone
    EXPECT_EQ(SpriteDrawColour(SpriteWaypoint, px, py), 0xFFFFFFFFu);
    double hx, hy;
    ToScreen(53.6856, 10.2050, &hx, &hy);
    EXPECT_TRUE(IsMagenta(static_cast<int>((px + hx) / 2), static_cast<int>((py + hy) / 2)));  // PISAS to HAM

    std::string saved = folder / "home_edited.pln";
    ASSERT_TRUE(SavePlnFile(saved.c_str()));
    FlightPlanRecord back{};
    PlanReadResult result;
    ASSERT_TRUE(ReadFlightPlanFile(saved.c_str(), &back, PlanReadOptions{}, &result)) << result.problem;
    ASSERT_EQ(back.count, 6);
    const char* idents[] = {"EDDH", "ALF38", "PISAS", "HAM", "HAM07", "EDHI"};
    for (int i = 0; i < 6; ++i)
        EXPECT_STREQ(back.waypoints[i].ident, idents[i]);
    EXPECT_EQ(back.waypoints[3].kind, 4);  // the VOR of the text plan is written as one
    FreeNavdata();
}

}  // namespace
