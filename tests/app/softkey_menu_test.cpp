// The softkey menu: the top bar, the back key of each level, the bar's rows
// and columns, the simulator commands and the option pages' edge cases.
#include "app/softkey_menu.h"

#include "app/click_zones.h"
#include "app/language.h"
#include "display/map_projection.h"
#include "app/program_root.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/sim_commands.h"
#include "app/winmain.h"
#include "app/layout_tables.h"
#include "display/aircraft_values.h"
#include "display/frame_update.h"
#include "display/map_view.h"
#include "navdata/flight_plan.h"
#include "navdata/route_navigation.h"
#include "simlink/sim_link.h"
#include "tests/support/program_root_copy.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

class SoftkeyMenuTest : public ::testing::Test {
protected:
    TempFolder folder;

    void SetUp() override
    {
        unsetenv("TVL_DIALOG_ANSWER");
        std::snprintf(IniFilePath, sizeof(IniFilePath), "%s", (folder / "Plovik.ini").c_str());
        std::snprintf(ProgramRoot, sizeof(ProgramRoot), "%s", folder.Path().c_str());
        std::snprintf(SystemFolder, sizeof(SystemFolder), "%s", folder.Path().c_str());
        SetSoftkeyLevel(MenuMain, 0);
        Settings.Softkeys = 1;
    }
    void Press(std::initializer_list<int> keys)
    {
        for (int key : keys)
            SoftkeyCommand(static_cast<uint32_t>(key));
    }
    static void ExpectPage(int level, int sublevel)
    {
        EXPECT_EQ(Settings.Softkeylevel, level);
        EXPECT_EQ(Settings.Softkeysublevel, sublevel);
    }
};

TEST_F(SoftkeyMenuTest, TopBarTakesOnlyExitAndMenu)
{
    setenv("TVL_MESSAGEBOX_ANSWER", "IDNO", 1);
    Settings.Softkeys = 0;
    Settings.Windrose = 0;
    for (int key : {1, 2, 3, 4, 5, 7, 13, 20})
        SoftkeyCommand(static_cast<uint32_t>(key));
    EXPECT_EQ(Settings.Softkeys, 0);
    EXPECT_EQ(Settings.Windrose, 0);
    EXPECT_EQ(Settings.TrackUp, 0);
    SoftkeyCommand(ExitSoftkey);  // answered No
    EXPECT_FALSE(IsQuitRequested());
    SoftkeyCommand(BackSoftkey);
    EXPECT_EQ(Settings.Softkeys, 1);
    ExpectPage(MenuMain, 0);
}

TEST_F(SoftkeyMenuTest, ExitEndsOnlyOnYesAndAsksInTheLanguagesWords)
{
    std::string system = CopyProgramRoot(folder.Path());
    WorkingFolder in(system);
    ASSERT_EQ(LoadLanguage("en"), 0);
    Settings.DebugMode = true;
    ClearQuitRequest();
    setenv("TVL_MESSAGEBOX_ANSWER", "IDYES", 1);
    Settings.Softkeys = 0;
    SoftkeyCommand(ExitSoftkey);
    EXPECT_TRUE(IsQuitRequested());
    std::string log = ReadFileText(system + "/Tervalingo.log");
    EXPECT_EQ(CountLines(log, "MessageBox [Zorizeruverovu Plovik] Do you want to quit Tervalingo?"), 1) << log;
    Settings.DebugMode = false;
    ClearQuitRequest();
}

TEST_F(SoftkeyMenuTest, BackReturnsToEachPagesParent)
{
    struct Case {
        int level, page, parentLevel, parentPage;
    } cases[] = {
        {MenuTerrain, 0, MenuOptions, 0}, {MenuNavData, 0, MenuMain, 0}, {MenuNavData, 1, MenuNavData, 0},
        {MenuNavData, 2, MenuNavData, 0}, {MenuNavData, 3, MenuNavData, 0}, {MenuOptions, 0, MenuMain, 0},
        {MenuOptions, 1, MenuOptions, 0}, {MenuOptions, 2, MenuOptions, 0}, {MenuOptions, 3, MenuMain, 0},
        {MenuOptions, 4, MenuOptions, 0}, {MenuOptions, 5, MenuOptions, 0}, {MenuOptions, 6, MenuOptions, 4},
        {MenuMapTypes, 0, MenuMain, 0},   {MenuChart, 2, MenuChart, 0},    {MenuMapSources, 3, MenuMapSources, 0},
    };
    for (const Case& c : cases) {
        SetSoftkeyLevel(c.level, c.page);
        SoftkeyBack();
        EXPECT_EQ(Settings.Softkeylevel, c.parentLevel) << c.level << "/" << c.page;
        EXPECT_EQ(Settings.Softkeysublevel, c.parentPage) << c.level << "/" << c.page;
    }
    SetSoftkeyLevel(MenuMain, 0);
    SoftkeyBack();
    EXPECT_EQ(Settings.Softkeys, 0);
}

TEST_F(SoftkeyMenuTest, KeysOfPagesLeadWhereTheirLabelsSay)
{
    Press({7});  // CONFIG
    ExpectPage(MenuOptions, 0);
    Press({7, 7});  // the second, then the third options page
    ExpectPage(MenuOptions, 6);
    Press({6});
    ExpectPage(MenuOptions, 4);
    Press({6, 6});
    ExpectPage(MenuMain, 0);
    Press({1, 5});  // NAV, airspace classes
    ExpectPage(MenuNavData, 1);
    Press({6, 13});
    ExpectPage(MenuNavData, 3);
    Press({6, 6, 0});
    ExpectPage(MenuMapTypes, 0);
    Press({6});  // the map-type page's back key
    ExpectPage(MenuMain, 0);
}

TEST_F(SoftkeyMenuTest, AirspaceClassesToggleTheirOwnPosition)
{
    SetSoftkeyLevel(MenuNavData, 1);
    Press({3});
    EXPECT_STREQ(Settings.SelectedAirspace, "  C     ");
    Press({9, 3, 8});
    EXPECT_STREQ(Settings.SelectedAirspace, "      GR");
    EXPECT_EQ(Settings.NavASP, 1);
    Press({12});
    EXPECT_STREQ(Settings.SelectedAirspace, "        ");
    EXPECT_EQ(Settings.NavASP, 0);
    Press({0});
    EXPECT_STREQ(Settings.SelectedAirspace, "ABCDEFGR");
    Press({0});
    EXPECT_STREQ(Settings.SelectedAirspace, "        ");
    // An empty selection is not "all blank": key 0 clears it rather than fills.
    Settings.SelectedAirspace[0] = '\0';
    Settings.CTR = 1;
    Press({0});
    EXPECT_STREQ(Settings.SelectedAirspace, "        ");
    EXPECT_EQ(Settings.CTR, 0);
}

TEST_F(SoftkeyMenuTest, WindRoseSkipsTheWindFiguresWithoutWind)
{
    Aircraft.WindSpeed = 0.0;
    Settings.Windrose = 0;
    for (int i = 0; i < 8; ++i) {
        Press({3});
        EXPECT_LT(Settings.Windrose, 2);
        CycleWindrose(0, 1);
        EXPECT_LT(Settings.Windrose, 2);
    }
    Aircraft.WindSpeed = 12.0;
    Settings.Windrose = 1;
    Press({3, 3});
    EXPECT_EQ(Settings.Windrose, 3);
    Press({3});
    EXPECT_EQ(Settings.Windrose, 0);
}

TEST_F(SoftkeyMenuTest, AeroflyTrafficKeyAlwaysEndsOff)
{
    Settings.UseSimulator = SimulatorAerofly;
    Settings.RadarMode = 2;
    Press({9});
    EXPECT_EQ(Settings.RadarMode, 0);
    Press({9, 9});
    EXPECT_EQ(Settings.RadarMode, 0);
    Settings.UseSimulator = SimulatorMsfs;
    Press({9, 9});
    EXPECT_EQ(Settings.RadarMode, 2);
    Press({9});
    EXPECT_EQ(Settings.RadarMode, 0);
}

TEST_F(SoftkeyMenuTest, SimulatorsBackKeyKeepsTheSimulator)
{
    Settings.UseSimulator = SimulatorMsfs;
    Settings.FlightPlanState = 1;
    SetSoftkeyLevel(MenuOptions, 1);
    Press({6});
    EXPECT_EQ(Settings.UseSimulator.load(), SimulatorMsfs);
    EXPECT_EQ(Settings.FlightPlanState, 1);
    ExpectPage(MenuOptions, 0);
}

TEST_F(SoftkeyMenuTest, ConnectCommandTakesTheSimulatorsAddress)
{
    Settings.Aeroflyfs2.IPAddress.Set("10.1.2.3");
    Settings.Aeroflyfs2.Port = 49002;
    RunConnectCommand(SimulatorAerofly);
    EXPECT_EQ(Settings.UseSimulator.load(), SimulatorAerofly);
    char address[16];
    ActiveSimAddress.Get(address, sizeof(address));
    EXPECT_STREQ(address, "10.1.2.3");
    EXPECT_EQ(ActiveSimPort.load(), 49002);
    RunConnectCommand(9);  // no such simulator: nothing changes
    RunConnectCommand(0);
    EXPECT_EQ(Settings.UseSimulator.load(), SimulatorAerofly);
}

TEST_F(SoftkeyMenuTest, SimulatorNamesAreTheirSections)
{
    const char* names[] = {"FlightGear", "FSX", "FSX", "Prepar3D", "X-Plane", "FS2004", "FlightGear", "MSFS",
                           "Aeroflyfs2", "FlightGear"};
    for (int simulator = 0; simulator <= 9; ++simulator) {
        Settings.UseSimulator = simulator;
        char name[SimulatorNameSize];
        GetSimulatorName(name);
        EXPECT_STREQ(name, names[simulator]) << simulator;
    }
    Settings.UseSimulator = SimulatorMsfs;
}

TEST_F(SoftkeyMenuTest, WidthsStayDrawableAndTheDirectToColourChoosesItsWidth)
{
    SetSoftkeyLevel(MenuOptions, 5);
    Settings.FlightplanWidth = 3.0;
    Press({0});
    for (int i = 0; i < 30; ++i)
        Press({5});
    EXPECT_EQ(Settings.FlightplanWidth, 1.0);
    for (int i = 0; i < 30; ++i)
        Press({4});
    EXPECT_EQ(Settings.FlightplanWidth, 20.0);
    SetSoftkeyLevel(MenuOptions, 2);
    Press({12});  // the direct-to colour (cancelled)
    EXPECT_EQ(GetWidthTarget(), WidthDirTo);
    SetSoftkeyLevel(MenuOptions, 5);
    double before = Settings.DirToWidth;
    Press({4});
    EXPECT_EQ(Settings.DirToWidth, before + 1.0);
}

TEST_F(SoftkeyMenuTest, ColourKeysTakeTheDialogsChoiceOpaque)
{
    SetSoftkeyLevel(MenuOptions, 2);
    Settings.AircraftColor = 0xFF000000u;
    setenv("TVL_DIALOG_ANSWER", "#102030", 1);
    Press({0});
    EXPECT_EQ(Settings.AircraftColor, 0xFF302010u);
    setenv("TVL_DIALOG_ANSWER", "rgb(255,0,1)", 1);
    Press({2});
    EXPECT_EQ(Settings.TrackColor, 0xFF0100FFu);
    unsetenv("TVL_DIALOG_ANSWER");  // cancelled: the colour stays
    Press({0});
    EXPECT_EQ(Settings.AircraftColor, 0xFF302010u);
    setenv("TVL_DIALOG_ANSWER", "not a colour", 1);
    Press({1});
    EXPECT_EQ(Settings.FlightPlanColor, 0u);
    unsetenv("TVL_DIALOG_ANSWER");
}

TEST_F(SoftkeyMenuTest, AirspaceColourFilesAreExactlyEightColours)
{
    SetSoftkeyLevel(MenuOptions, 7);
    setenv("TVL_DIALOG_ANSWER", "#0000FF", 1);
    Press({0, 8});
    unsetenv("TVL_DIALOG_ANSWER");
    EXPECT_EQ(GetAirspaceColour(0), 0xFFFF0000u);
    EXPECT_EQ(GetAirspaceColour(7), 0xFFFF0000u);
    EXPECT_EQ(GetAirspaceColour(8), 0u);
    std::string path = folder / "colours.bin";
    ASSERT_TRUE(SaveAirspaceColourFile(path.c_str()));
    EXPECT_EQ(ReadFileText(path).size(), 32u);
    std::string other(32, '\x11');
    ASSERT_TRUE(WriteFileText(folder / "other.bin", other));
    ASSERT_TRUE(LoadAirspaceColourFile((folder / "other.bin").c_str()));
    EXPECT_EQ(GetAirspaceColour(3), 0x11111111u);
    ASSERT_TRUE(WriteFileText(folder / "short.bin", std::string(31, '\x22')));
    EXPECT_FALSE(LoadAirspaceColourFile((folder / "short.bin").c_str()));
    EXPECT_FALSE(LoadAirspaceColourFile((folder / "missing.bin").c_str()));
    EXPECT_EQ(GetAirspaceColour(3), 0x11111111u);
    ASSERT_TRUE(LoadAirspaceColourFile(path.c_str()));
    EXPECT_EQ(GetAirspaceColour(0), 0xFFFF0000u);
}

// The orientation key (and the track-up zone) leave a held heading first,
// then north-up, and only then flip TrackUp; leaving track-up on a chart
// sheet that holds its own heading passes through north-up.
TEST_F(SoftkeyMenuTest, OrientationLeavesEachOverrideBeforeTrackUpFlips)
{
    Settings.TrackUp = 0;
    NorthUpMode = 1;
    HeadingOverride = {1, 270.0};
    ChartRotationDeg = 0;
    EXPECT_FALSE(ToggleTrackUpOrientation());
    EXPECT_EQ(HeadingOverride.on, 0);
    EXPECT_EQ(HeadingOverride.heading, 0.0);
    EXPECT_EQ(NorthUpMode, 1);
    EXPECT_EQ(Settings.TrackUp, 0);
    ToggleTrackUp(0, ZoneLeftClick);
    EXPECT_EQ(NorthUpMode, 0);
    EXPECT_EQ(Settings.TrackUp, 0);
    EXPECT_TRUE(ToggleTrackUpOrientation());
    EXPECT_EQ(Settings.TrackUp, 1);
    // A sheet of tiles holds no heading: straight back to north-up of the map.
    EXPECT_TRUE(ToggleTrackUpOrientation());
    EXPECT_EQ(Settings.TrackUp, 0);
    EXPECT_EQ(NorthUpMode, 0);
    // A turned sheet: track-up, then north-up, then the sheet's own way up.
    ChartRotationDeg = 30;
    EXPECT_TRUE(IsMapHeadingHeld());
    EXPECT_TRUE(ToggleTrackUpOrientation());
    EXPECT_TRUE(ToggleTrackUpOrientation());
    EXPECT_EQ(Settings.TrackUp, 0);
    EXPECT_EQ(NorthUpMode, 1);
    EXPECT_FALSE(ToggleTrackUpOrientation());
    EXPECT_EQ(NorthUpMode, 0);
    EXPECT_EQ(Settings.TrackUp, 0);
    ChartRotationDeg = 0;
}

TEST_F(SoftkeyMenuTest, ManualPositionGivesTheViewBack)
{
    Settings.TrackUp = 1;
    Settings.Terrainstate = 1;
    Press({12});
    EXPECT_EQ(ManualPositionMode.load(), 1);
    EXPECT_EQ(Settings.TrackUp, 0);
    EXPECT_EQ(Settings.Terrainstate, 0);
    Press({12});
    EXPECT_EQ(ManualPositionMode.load(), 0);
    EXPECT_EQ(Settings.TrackUp, 1);
    EXPECT_EQ(Settings.Terrainstate, 1);
}

TEST_F(SoftkeyMenuTest, PlanPageShowsNavaidsAndGivesThemBack)
{
    SetSoftkeyLevel(MenuMain, 2);
    Settings.ShowFix = 0;
    Settings.NavVOR = 1;
    Settings.NavNDB = 0;
    Press({7});
    EXPECT_TRUE(IsShowNavaidsOn());
    EXPECT_EQ(Settings.ShowFix, 1);
    EXPECT_EQ(Settings.NavNDB, 1);
    EXPECT_TRUE(IsPlanEditSoftkeyPage());
    Press({6});
    ExpectPage(MenuMain, 0);
    EXPECT_FALSE(IsShowNavaidsOn());
    EXPECT_EQ(Settings.ShowFix, 0);
    EXPECT_EQ(Settings.NavVOR, 1);
    EXPECT_EQ(Settings.NavNDB, 0);
    EXPECT_EQ(GetPlanEditMode(), PlanEditNone);
}

TEST_F(SoftkeyMenuTest, FlightPlanActiveFlagFlips)
{
    Settings.FlightPlanState = 0;
    ToggleFlightPlanActive();
    EXPECT_TRUE(IsFlightPlanActive());
    EXPECT_TRUE(IsFlightPlanShown());
    ToggleFlightPlanActive();
    EXPECT_FALSE(IsFlightPlanActive());
    ActivateFlightPlan();
    ActivateFlightPlan();
    EXPECT_TRUE(IsFlightPlanActive());
}

// The departure-passed mark of the navigation step starts afresh with every
// activation of the plan and with another simulator, not with a switch-off.
TEST_F(SoftkeyMenuTest, ActivationAndAnotherSimulatorClearTheDeparturePassedMark)
{
    std::memset(&FlightPlan, 0, sizeof FlightPlan);
    for (int i = 0; i < 3; ++i) {
        FlightPlan.waypoints[i].lat = 50.0f + 0.3f * static_cast<float>(i);
        FlightPlan.waypoints[i].lon = 8.0f;
        std::snprintf(FlightPlan.waypoints[i].ident, sizeof FlightPlan.waypoints[i].ident, "W%d", i);
    }
    FlightPlan.count = 3;
    FlightPlan.present = 1;
    auto passDeparture = [] {
        SetActiveLegFromSimulator(2);
        RunGpsStep(ViewMapProjector(), SimulatorMsfs, 0, 0, 1, 1);
        ASSERT_TRUE(IsDeparturePassed());
    };
    Settings.UseSimulator = SimulatorMsfs;
    Settings.FlightPlanState = 0;
    passDeparture();
    ToggleFlightPlanActive();
    EXPECT_FALSE(IsDeparturePassed());
    passDeparture();
    ActivateFlightPlan();
    EXPECT_FALSE(IsDeparturePassed());
    passDeparture();
    SetSoftkeyLevel(MenuOptions, 1);
    Press({6});  // back: the same simulator
    EXPECT_TRUE(IsDeparturePassed());
    SetSoftkeyLevel(MenuOptions, 1);
    Press({1});  // Aerofly FS 2
    EXPECT_EQ(Settings.UseSimulator.load(), SimulatorAerofly);
    EXPECT_FALSE(IsDeparturePassed());
    EXPECT_EQ(Settings.FlightPlanState, 0);
}

// The bar's columns are sevenths of the map width; rows count from the
// bottom line up, and a row counts only while it is shown.
class SoftkeyBarTest : public SoftkeyMenuTest {
protected:
    void SetUp() override
    {
        SoftkeyMenuTest::SetUp();
        ScreenLayout = ScreenLayoutColumns[0];
        Settings.ShowFrame = 1;
        SoftkeyRowY = 372;
        SoftkeyRowStep = 24;
        for (TextBox& box : SoftkeyLabelBoxes)
            box.shown = 0;
        SetSoftkeyLevel(MenuOptions, 0);
    }
    // x of the middle of column c.
    static int Column(int c) { return 84 + c * 472 / 7 + 30; }
};

TEST_F(SoftkeyBarTest, ClickRunsTheKeyOfItsColumnAndRow)
{
    EXPECT_EQ(SoftkeyColumnAt(84), -1);
    EXPECT_EQ(SoftkeyColumnAt(85), 0);
    EXPECT_EQ(SoftkeyColumnAt(555), 6);
    EXPECT_EQ(SoftkeyColumnAt(557), -1);
    ASSERT_TRUE(SoftkeyBarClick(Column(4), 380));  // bottom row: TOOLTIP
    EXPECT_EQ(Settings.Tooltips, 0);
    EXPECT_EQ(GetPressedSoftkey(), 4);
    // The middle row is not shown: no key.
    EXPECT_FALSE(SoftkeyBarClick(Column(3), 360));
    SoftkeyLabelBoxes[SoftkeysPerRow].shown = 1;
    ASSERT_TRUE(SoftkeyBarClick(Column(3), 360));  // key 10: true heading
    EXPECT_EQ(Settings.HeadingIsTrue, 0);
    EXPECT_FALSE(SoftkeyBarClick(Column(3), 340));  // the top row is not shown
    SoftkeyLabelBoxes[2 * SoftkeysPerRow].shown = 1;
    ASSERT_TRUE(SoftkeyBarClick(Column(0), 340));  // key 14: nothing on this page
    EXPECT_FALSE(SoftkeyBarClick(Column(0), 300));  // above the bar
    EXPECT_FALSE(SoftkeyBarClick(10, 380));         // left of the bar
}

TEST_F(SoftkeyBarTest, WithoutTheBezelTheRowsMoveDown)
{
    Settings.ShowFrame = 0;
    EXPECT_EQ(SoftkeyRowLine(), 372 + 480 - 40 - 319);
    EXPECT_FALSE(SoftkeyBarClick(Column(4), 380));
    ASSERT_TRUE(SoftkeyBarClick(Column(4), 500));
    EXPECT_EQ(Settings.Tooltips, 0);
}

}  // namespace
