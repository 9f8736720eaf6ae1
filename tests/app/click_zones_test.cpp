// The click zones of the bezel and the map-area router: brightness and
// transparency bounds, zoom steps, the top bar, the NEAREST page, the
// manual position drag and the plan-edit click.
#include "app/click_zones.h"
#include "app/status_message.h"
#include "display/screen_buttons.h"

#include "app/layout_tables.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "app/winmain.h"
#include "display/airport_view.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "display/zoom_animation.h"
#include "maps/tile_grid.h"
#include "maps/local_maps.h"
#include "render/snapshot.h"
#include "simlink/sim_link.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

class ClickZonesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ScreenLayout = ScreenLayoutColumns[0];
        Settings.ShowFrame = 1;
        Settings.Softkeys = 1;
        SetSoftkeyLevel(MenuMain, 0);
        for (TextBox& box : SoftkeyLabelBoxes)
            box.shown = 0;
    }
    static uint32_t At(int x, int y) { return PackZonePoint(x, y); }
};

TEST_F(ClickZonesTest, PointsKeepTheirSign)
{
    uint32_t p = PackZonePoint(-5, 479);
    EXPECT_EQ(ZonePointX(p), -5);
    EXPECT_EQ(ZonePointY(p), 479);
    EXPECT_EQ(ZonePointY(PackZonePoint(3, -32768)), -32768);
}

TEST_F(ClickZonesTest, BrightnessStaysVisibleWhateverTheSteps)
{
    Settings.Dimlevel = 200;
    OnBrightnessDown(0, ZoneLeftClick);
    EXPECT_EQ(Settings.Dimlevel, 190);
    OnBrightnessDown(0, ZoneWheelForward);  // the wheel turns the knob the other way
    EXPECT_EQ(Settings.Dimlevel, 200);
    OnBrightnessUp(0, ZoneWheelBack);
    EXPECT_EQ(Settings.Dimlevel, 190);
    OnBrightnessUp(0, ZoneDrag);  // a drag is no step
    EXPECT_EQ(Settings.Dimlevel, 190);
    for (int i = 0; i < 40; ++i)
        OnBrightnessDown(0, ZoneLeftClick);
    EXPECT_EQ(Settings.Dimlevel, 50);
    for (int i = 0; i < 40; ++i)
        OnBrightnessUp(0, ZoneWheelForward);
    EXPECT_EQ(Settings.Dimlevel, 255);
    EXPECT_EQ(GetDimLevel(), 255);
}

TEST_F(ClickZonesTest, TerrainTransparencyOnlyWithItsControlsAndStaysInRange)
{
    Settings.TerrainTransparency = 0.5f;
    Settings.Terrainstate = 1;
    Settings.Terrainmap = 1;
    TransparencyControls = 0;
    OnTerrainTransparencyUp(0, ZoneLeftClick);
    EXPECT_FLOAT_EQ(Settings.TerrainTransparency, 0.5f);
    TransparencyControls = 1;
    OnTerrainTransparencyUp(0, ZoneLeftClick);
    EXPECT_FLOAT_EQ(Settings.TerrainTransparency, 0.54f);
    for (int i = 0; i < 40; ++i)
        OnTerrainTransparencyUp(0, ZoneWheelForward);
    EXPECT_FLOAT_EQ(Settings.TerrainTransparency, 1.0f);
    for (int i = 0; i < 40; ++i)
        OnTerrainTransparency(0, ZoneLeftClick);
    EXPECT_FLOAT_EQ(Settings.TerrainTransparency, 0.0f);
    Settings.Terrainstate = 0;
    OnTerrainTransparencyUp(0, ZoneLeftClick);
    EXPECT_FLOAT_EQ(Settings.TerrainTransparency, 0.0f);
}

TEST_F(ClickZonesTest, AirportMapTransparencyNeedsAnAirportMap)
{
    TransparencyControls = 1;
    Settings.AirportMapTransparency = 250;
    Settings.ReferencedAirportMapDisplayed = 0;
    Settings.AirportOverlay = 0;
    OnAirportMapTransparency(0, ZoneLeftClick);
    EXPECT_EQ(Settings.AirportMapTransparency, 250);
    Settings.AirportOverlay = 1;
    Settings.NavAirport = 1;
    OnAirportMapTransparencyUp(0, ZoneLeftClick);
    EXPECT_EQ(Settings.AirportMapTransparency, 255);
    for (int i = 0; i < 30; ++i)
        OnAirportMapTransparency(0, ZoneWheelBack);
    EXPECT_EQ(Settings.AirportMapTransparency, 0);
}

TEST_F(ClickZonesTest, LocalChartZoomStopsAtItsLastLevel)
{
    TileMapFlag = 0;
    Settings.GPSMode = 1;
    Settings.AirportChart = 0;
    CurrentChartLevel = 4;
    ChartZoomOutSteps = 0;
    OnZoomOut(0, ZoneLeftClick);
    EXPECT_EQ(CurrentChartLevel, 4);
    EXPECT_EQ(ChartZoomOutSteps, 0);
    TileMapFlag = 1;
}

// Runs the zoom step's animation: its first frame and one past its end.
void AnimateZoomToItsEnd(double* now)
{
    ViewRect rect{};
    AnimateLocalZoom(&rect, 0, 0, 10, 10, *now);
    *now += DefaultLocalZoomSeconds + 1;
    AnimateLocalZoom(&rect, 0, 0, 10, 10, *now);
    *now += 1;
}

TEST_F(ClickZonesTest, LocalChartFineStepsWaitForTheirAnimationAndStopAtTheFinest)
{
    TileMapFlag = 0;
    Settings.GPSMode = 1;
    Settings.AirportChart = 0;
    CurrentChartLevel = 0;
    ChartZoomOutSteps = 0;
    ResetZoomAnimations();
    SetLocalMapSource(LocalMapSetWhole);
    double now = 10;
    for (int i = 0; i < MaxChartZoomOutSteps + 2; ++i) {
        OnZoomIn(0, ZoneLeftClick);
        AnimateZoomToItsEnd(&now);
    }
    EXPECT_EQ(ChartZoomOutSteps, MaxChartZoomOutSteps);
    EXPECT_EQ(CurrentChartLevel, 0);
    EXPECT_FALSE(IsLocalZoomRequested());
    OnZoomOut(0, ZoneLeftClick);
    OnZoomOut(0, ZoneLeftClick);  // the first step is still animating
    EXPECT_EQ(ChartZoomOutSteps, MaxChartZoomOutSteps - 1);
    EXPECT_TRUE(IsLocalZoomRequested());
    AnimateZoomToItsEnd(&now);
    EXPECT_FALSE(IsLocalZoomRequested());
    ChartZoomOutSteps = 0;
    TileMapFlag = 1;
}

TEST_F(ClickZonesTest, LocalChartLevelStepAnimatesFromTheShownLevelAndWaitsForItsSet)
{
    TileMapFlag = 0;
    Settings.GPSMode = 1;
    Settings.AirportChart = 0;
    CurrentChartLevel = 0;
    ChartZoomOutSteps = 0;
    ResetZoomAnimations();
    SetLocalMapSource(LocalMapSetWhole);
    float before = TileGridBanks[GetDisplayedTileBank()].tileScale;
    OnZoomOut(0, ZoneLeftClick);
    EXPECT_EQ(CurrentChartLevel, 1);
    ASSERT_TRUE(IsLocalZoomRequested());
    ViewRect rect{};
    AnimateLocalZoom(&rect, 0, 0, 10, 10, 20.0);
    AnimateLocalZoom(&rect, 0, 0, 10, 10, 22.5);
    // Level 0 to 1 halves the map over five seconds: three quarters at half time.
    EXPECT_FLOAT_EQ(TileGridBanks[GetDisplayedTileBank()].tileScale, 0.75f);
    AnimateLocalZoom(&rect, 0, 0, 10, 10, 40.0);
    EXPECT_FLOAT_EQ(TileGridBanks[GetDisplayedTileBank()].tileScale, 0.5f);
    EXPECT_TRUE(HasLocalZoomEnded());
    // No set of the new level came: the step still waits, and so does the next.
    EXPECT_TRUE(IsLocalZoomRequested());
    OnZoomOut(0, ZoneLeftClick);
    EXPECT_EQ(CurrentChartLevel, 1);
    ResetZoomAnimations();
    TileGridBanks[GetDisplayedTileBank()].tileScale = before;
    CurrentChartLevel = 0;
    TileMapFlag = 1;
}

TEST_F(ClickZonesTest, AirportDiagramZoomsItsOwnScale)
{
    Settings.GPSMode = 0;
    Settings.AirportOverlay = 0;
    std::snprintf(Settings.SelectedAirport, sizeof(Settings.SelectedAirport), "EDDH");
    Settings.TaxiwayZoomfactor = 1.0;
    OnZoomIn(0, ZoneLeftClick);
    EXPECT_DOUBLE_EQ(Settings.TaxiwayZoomfactor, 1.1);
    MapAreaMouse(At(300, 200), ZoneWheelBack);
    EXPECT_DOUBLE_EQ(Settings.TaxiwayZoomfactor, 1.1 * 0.9);
    EXPECT_TRUE(TakeUserActivity());
    EXPECT_FALSE(TakeUserActivity());
    Settings.SelectedAirport[0] = '\0';
}

TEST_F(ClickZonesTest, TopBarClicksOpenTheMenuOrAskBeforeExit)
{
    Settings.Softkeys = 0;
    int line = SoftkeyRowLine();
    int menuX = 84 + 6 * 472 / 7 + 20, exitX = 84 + 20;
    MapAreaMouse(At(menuX, line - 5), ZoneLeftClick);  // above the bar: the map
    EXPECT_EQ(Settings.Softkeys, 0);
    MapAreaMouse(At(menuX, line + 5), ZoneLeftClick);
    EXPECT_EQ(Settings.Softkeys, 1);
    Settings.Softkeys = 0;
    setenv("TVL_MESSAGEBOX_ANSWER", "IDNO", 1);
    MapAreaMouse(At(exitX, line + 5), ZoneLeftClick);
    EXPECT_FALSE(IsQuitRequested());
    setenv("TVL_MESSAGEBOX_ANSWER", "IDYES", 1);
    MapAreaMouse(At(exitX, line + 5), ZoneLeftClick);
    EXPECT_TRUE(IsQuitRequested());
    ClearQuitRequest();
}

TEST_F(ClickZonesTest, OpenSoftkeyBarTakesTheClickForItsKey)
{
    SetSoftkeyLevel(MenuMain, 0);
    Settings.Track = 0;
    MapAreaMouse(At(84 + 3 * 472 / 7 + 20, SoftkeyRowLine() + 5), ZoneLeftClick);  // key 3: rose
    EXPECT_EQ(Settings.Windrose, 1);
    EXPECT_EQ(GetPressedSoftkey(), 3);
}

TEST_F(ClickZonesTest, NearestPageGivesTheAirportViewBack)
{
    Settings.AirportOverlay = 1;
    Settings.NavAirport = 0;
    AirportDiagramView.panning = 0;
    Settings.SelectedAirport[0] = '\0';
    ToggleNearestPage();
    EXPECT_TRUE(IsNearestPageOpen());
    EXPECT_EQ(Settings.AirportOverlay, 0);
    EXPECT_EQ(Settings.NavAirport, 1);
    EXPECT_EQ(Settings.SelectedCOM, 7);
    EXPECT_EQ(RecenterNearestPage(), 1);
    EXPECT_EQ(InvalidateSnapshot(), 1); // a fresh map re-centres the open page
    ToggleNearestPage();
    EXPECT_FALSE(IsNearestPageOpen());
    EXPECT_EQ(Settings.AirportOverlay, 1);
    EXPECT_EQ(AirportDiagramView.panning, 0);
    EXPECT_EQ(Settings.NavAirport, 0);
    EXPECT_EQ(RecenterNearestPage(), 0);
    EXPECT_EQ(InvalidateSnapshot(), 0);
}

TEST_F(ClickZonesTest, MapTypeZoneOpensThePageAndGivesTheBarBack)
{
    Settings.Softkeys = 0;
    ToggleMapTypeMenu(0, ZoneLeftClick);
    EXPECT_EQ(Settings.Softkeylevel, MenuMapTypes);
    EXPECT_EQ(Settings.Softkeys, 1);
    ToggleMapTypeMenu(0, ZoneRightClick);  // only the left button
    EXPECT_EQ(Settings.Softkeylevel, MenuMapTypes);
    ToggleMapTypeMenu(0, ZoneLeftClick);
    EXPECT_EQ(Settings.Softkeylevel, MenuMain);
    EXPECT_EQ(Settings.Softkeys, 0);
}

TEST_F(ClickZonesTest, DraggingInManualPositionMovesThePickedPosition)
{
    ManualPositionMode = 1;
    ManualPositionValid = 0;
    ForgetClickAnchor();
    MapAreaMouse(At(300, 200), ZoneDrag);  // takes the anchor only
    EXPECT_EQ(ManualPositionValid.load(), 0);
    MapAreaMouse(At(300, 200), ZoneDrag);
    ASSERT_EQ(ManualPositionValid.load(), 1);
    double lat = 0, lon = 0;
    GetMapCenter(&lat, &lon);
    EXPECT_NEAR(ManualPosition.longitude.load(), lon, 1e-9);  // no movement
    ClearClickAnchor();
    EXPECT_EQ(ManualPositionValid.load(), 0);
    ManualPositionMode = 0;
}

// A drag over the map (event 3 of the map area) after a press at (300, 200).
class MapDragRuleTest : public ClickZonesTest {
protected:
    void SetUp() override
    {
        ClickZonesTest::SetUp();
        ManualPositionMode = 0;
        ResetMapPan();
        Settings.AirportChart = 0;
        Settings.NavAirport = 0;
        Settings.AirportOverlay = 1;
        Settings.SelectedAirport[0] = '\0';
        AirportDiagramView.panning = 1;
        SetAirportViewScale(0);
        SetAirportViewCenter(53.6, 10.0);
    }
    void TearDown() override
    {
        if (IsNearestPageOpen())
            ToggleNearestPage();
        ResetMapPan();
        Settings.AirportChart = 0;
        Settings.NavAirport = 1;
        Settings.AirportOverlay = 1;
    }
    // True when the drag moved the map, the chart or the airport view.
    bool Drag()
    {
        SetLastClickPos(300, 200);
        HandleMouseDrag(300, 200, ZoneLeftClick);
        double lat = AirportDiagramView.latitude, lon = AirportDiagramView.longitude;
        AirportDiagramView.lastX = 0;
        AirportDiagramView.lastY = 0;
        SetLastClickPos(330, 230);
        MapAreaMouse(At(330, 230), ZoneDrag);
        return MapPanOffset.x != 0 || AirportDiagramView.latitude != lat || AirportDiagramView.longitude != lon;
    }
};

TEST_F(MapDragRuleTest, TheMovingMapPansWithOrWithoutAnAirport)
{
    EXPECT_TRUE(Drag());
    EXPECT_EQ(MapPanning, 1);
    ResetMapPan();
    Settings.NavAirport = 1;  // an airport drawn over the map
    EXPECT_TRUE(Drag());
    EXPECT_EQ(MapPanning, 1);
}

TEST_F(MapDragRuleTest, TheAirportDiagramMovesOnlyWhileItKeepsToItsAirport)
{
    Settings.NavAirport = 1;
    Settings.AirportOverlay = 0;
    EXPECT_FALSE(Drag());  // the view follows the map
    AirportDiagramView.panning = 0;
    EXPECT_TRUE(Drag());
    EXPECT_EQ(MapPanning, 0);
}

TEST_F(MapDragRuleTest, AChartMovesOnlyWithoutTheAirportOverlayAndAFollowingView)
{
    Settings.AirportChart = 1;
    EXPECT_FALSE(Drag());  // the airport is drawn over the map
    Settings.AirportOverlay = 0;
    EXPECT_FALSE(Drag());  // the airport view follows the map
    AirportDiagramView.panning = 0;
    EXPECT_TRUE(Drag());
    EXPECT_EQ(MapPanning, 0);  // a chart moves without leaving the follow
}

TEST_F(MapDragRuleTest, TheNearestPageKeepsEverythingStill)
{
    ToggleNearestPage();
    ASSERT_TRUE(IsNearestPageOpen());
    AirportDiagramView.panning = 0;
    EXPECT_FALSE(Drag());
    Settings.AirportChart = 1;
    EXPECT_FALSE(Drag());
}

TEST_F(ClickZonesTest, PlanEditsOnlyAboveTheShownSoftkeyRows)
{
    SetPlanEditMode(PlanEditNone);
    EXPECT_FALSE(EditFlightPlanAtPoint(100, 100, 100, 100));
    SetPlanEditMode(PlanEditInsert);
    int line = SoftkeyRowLine();
    EXPECT_FALSE(EditFlightPlanAtPoint(100, 100, 100, line + 1));
    EXPECT_TRUE(EditFlightPlanAtPoint(100, 100, 100, line - 1));
    SoftkeyLabelBoxes[SoftkeysPerRow].shown = 1;
    EXPECT_FALSE(EditFlightPlanAtPoint(101, 100, 100, line - 1));
    EXPECT_TRUE(EditFlightPlanAtPoint(101, 100, 100, line - SoftkeyRowStep));
    // The same point twice is one edit: taken, nothing more.
    EXPECT_TRUE(EditFlightPlanAtPoint(101, 100, 100, line - SoftkeyRowStep));
    SetPlanEditMode(PlanEditNone);
}

TEST_F(ClickZonesTest, GpsModeStepsWithinItsRange)
{
    Settings.GPSMode = 0;
    StepGpsMode(0, ZoneLeftClick);
    EXPECT_EQ(Settings.GPSMode, 0);
    for (int i = 0; i < 9; ++i)
        StepGpsMode(0, ZoneRightClick);
    EXPECT_EQ(Settings.GPSMode, 4);
    StepGpsMode(0, ZoneLeftClick);
    EXPECT_EQ(Settings.GPSMode, 3);
}

TEST_F(ClickZonesTest, SoftkeyTooltipsAreBoundedToTheirButtons)
{
    std::string longText(500, 'x');
    SetSoftkeyTooltip(20, longText.c_str(), 77);
    EXPECT_EQ(std::string(ScreenButtons[FirstSoftkeyButton + 20].tooltip).size(),
              sizeof(ScreenButtons[0].tooltip) - 1);
    EXPECT_EQ(GetSoftkeyTooltipValue(20), 77);
    SetSoftkeyTooltip(21, "beyond", 1);  // no softkey 21: nothing written
    SetSoftkeyTooltip(-1, "before", 1);
    EXPECT_EQ(GetSoftkeyTooltipValue(21), 0);
    SetSoftkeyTooltip(0, nullptr, 3);
    EXPECT_STREQ(ScreenButtons[FirstSoftkeyButton].tooltip, "");
}

TEST_F(ClickZonesTest, DirectToNearestTurnsOffOnlyWithThePageClosed)
{
    Settings.SelectedAirport[0] = '\0';
    ToggleDirToNearest();
    EXPECT_TRUE(IsDirToNearestOn());
    EXPECT_EQ(Settings.DirToVector, 1);
    ToggleNearestPage();
    ToggleDirToNearest();  // the page is open: stays on
    EXPECT_TRUE(IsDirToNearestOn());
    ToggleNearestPage();
    ToggleDirToNearest();
    EXPECT_FALSE(IsDirToNearestOn());
    ToggleDirToNearestFlag(0, ZoneLeftClick);
    EXPECT_TRUE(IsDirToNearestOn());
}

// A click in the NEAREST box flips the direct-to line, which blinks: the
// status message says what the click did.
TEST_F(ClickZonesTest, AClickInTheNearestBoxFlipsTheDirectToLineAndSaysSo)
{
    Settings.Softkeys = 0;
    Settings.DirToVector = 1;
    NearestBoxRect = {500, 560, 150, 240};
    ShowStatusMessage("");
    MapAreaMouse(At(520, 200), ZoneLeftClick);
    EXPECT_EQ(Settings.DirToVector, 0);
    EXPECT_STREQ(GetStatusMessage(), "Direct-to line to the nearest airport off");
    MapAreaMouse(At(520, 200), ZoneLeftClick);
    EXPECT_EQ(Settings.DirToVector, 1);
    EXPECT_STREQ(GetStatusMessage(), "Direct-to line to the nearest airport on");
    NearestBoxRect = {0, 0, 0, 0};
}

}  // namespace
