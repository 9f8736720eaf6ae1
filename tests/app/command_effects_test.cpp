// Every command of the table, posted as a simulator link posts a button (on
// a thread of its own, through the pending slot), run from a fresh program
// state by the message loop's two calls; each presses a row of its page
// that acts, and leaves the effect listed for that row. No command may crash or wait on a dialog. (The simulator keys also
// choose a navigation database; with no navigation files here the loader
// gives that up, so only the simulator is checked.)
#include "app/click_zones.h"
#include "app/command_table.h"
#include "app/display_modes.h"
#include "app/keypad.h"
#include "app/main_window.h"
#include "app/program_root.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/simulator_window.h"
#include "app/softkey_menu.h"
#include "app/softkey_page_tables.h"
#include "display/frame_renderer.h"
#include "display/nav_layer.h"
#include "display/softkey_pages.h"
#include "maps/local_maps.h"
#include "maps/tile_cache.h"
#include "maps/tile_sources.h"
#include "platform/profile.h"
#include "simlink/sim_link.h"
#include "tests/support/temp_folder.h"
#include "simlink/traffic_advisory.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

namespace {

constexpr int32_t PostedButton = 5;

class CommandEffectTest : public ::testing::TestWithParam<int> {
protected:
    TempFolder folder;
    std::string ini = folder / "Plovik.ini";

    void SetUp() override
    {
        unsetenv("TVL_DIALOG_ANSWER");
        std::snprintf(ProgramRoot, sizeof(ProgramRoot), "%s", folder.Path().c_str());
        std::snprintf(SystemFolder, sizeof(SystemFolder), "%s", folder.Path().c_str());
        std::snprintf(IniFilePath, sizeof(IniFilePath), "%s", ini.c_str());
        MakeFolders(folder / "cache");
        SetTileCacheFolder((folder / "cache").c_str());
        // Installed beside the program, as the FSX and Prepar3D keys need it;
        // no simulator answers.
        std::filesystem::copy_file(std::string(TVL_ROOT_DIR) + "/System/libPlovikSimConnectP3D.so",
                                   folder / "libPlovikSimConnectP3D.so");
        setenv("TVL_SIMCONNECT", (folder / "no-simulator.sock").c_str(), 1);
        std::string section = "[MSFS]\n" + std::string(GetCommandName(GetParam())) + "=" +
                              std::to_string(PostedButton) + "\n";
        ASSERT_TRUE(WriteFileText(ini, section));
        WorkingFolder in(folder.Path());
        LoadButtonAssignments("MSFS");
        Settings.TopMost = 1;
    }

    // The button arrives on a link thread; the message loop runs what it parked.
    void PostAndRun()
    {
        std::thread link([] { OnSimButton(PostedButton); });
        link.join();
        int index = -1;
        ASSERT_TRUE(GetPendingCommand(&index));
        ASSERT_EQ(index, GetParam());
        WorkingFolder in(folder.Path());
        ExecuteCommand(static_cast<uint32_t>(index));
        EXPECT_FALSE(GetPendingCommand(&index));
    }
};

// A value of the main section of the settings file.
std::string MainIniValue(const char* key)
{
    char value[64];
    GetPrivateProfileStringA("Zorizeruverovu Plovik", key, "", value, sizeof(value), IniFilePath);
    return value;
}

void ExpectPage(int level, int sublevel)
{
    EXPECT_EQ(Settings.Softkeylevel, level);
    EXPECT_EQ(Settings.Softkeysublevel, sublevel);
}

// What pressing a page's row leaves. A row is named as its key is written on
// the page; a row without a face by the command that presses it.
struct RowEffect {
    const SoftkeyPage* page;
    const char* row;
    void (*check)();
};

const RowEffect RowEffects[] = {
    {&MainPage, "MAP", [] { ExpectPage(MenuMapTypes, 0); }},
    {&MainPage, "NAV", [] { ExpectPage(MenuNavData, 0); }},
    {&MainPage, "NORTH UP", [] { EXPECT_EQ(Settings.TrackUp, 1); }},
    {&MainPage, "ROSE", [] { EXPECT_EQ(Settings.Windrose, 1); }},
    {&MainPage, "TRK",
     [] {
         EXPECT_EQ(Settings.PlotTrack, 1);
         EXPECT_EQ(MainIniValue("PlotTrack"), "1");
     }},
    {&MainPage, "CLR TRK", [] { ExpectPage(MenuMain, 0); }},
    {&MainPage, "ESC", [] { EXPECT_EQ(Settings.Softkeys, 0); }},
    {&MainPage, "CONFIG", [] { ExpectPage(MenuOptions, 0); }},
    {&MainPage, "PANEL",
     [] {
         EXPECT_EQ(Settings.FrameState, 1);
         EXPECT_EQ(Settings.ShowFrame, 0);
     }},
    {&MainPage, "TCAS/AI",
     [] {
         EXPECT_EQ(Settings.RadarMode, 1);
         EXPECT_EQ(IsTrafficModeChanged(), 1);
     }},
    {&MainPage, "VECTOR", [] { EXPECT_EQ(Settings.Track, 1); }},
    {&MainPage, "FLT PLN", [] { EXPECT_EQ(Settings.FlightPlanState, 1); }},
    {&MainPage, "MOVE MAP", [] { EXPECT_EQ(ManualPositionMode.load(), 1); }},
    {&MainPage, "INFO", [] { EXPECT_EQ(Settings.MenuState, 2); }},
    {&FirstOptionsPage, "SIM", [] { ExpectPage(MenuOptions, 1); }},
    {&FirstOptionsPage, "TERRAIN", [] { ExpectPage(MenuMain, 0); }},  // no terrain data here
    {&FirstOptionsPage, "COLOR", [] { ExpectPage(MenuOptions, 2); }},
    {&FirstOptionsPage, "NAV SIZE", [] { ExpectPage(MenuMain, 0); }},  // the helper's answer
    {&FirstOptionsPage, "TOOLTIP", [] { EXPECT_EQ(Settings.Tooltips, 0); }},
    {&FirstOptionsPage, "FRAME",
     [] {
         EXPECT_EQ(Settings.WindowFrame, 1);
         EXPECT_EQ(MainIniValue("WindowFrame"), "1");
     }},
    {&FirstOptionsPage, "NEXT", [] { ExpectPage(MenuOptions, 4); }},
    {&FirstOptionsPage, "USR MAP", [] { ExpectPage(MenuOptions, 3); }},
    {&FirstOptionsPage, "HDG MAG", [] { EXPECT_EQ(Settings.HeadingIsTrue, 0); }},
    {&FirstOptionsPage, "SOUND", [] { ExpectPage(MenuMain, 0); }},  // the helper's answer
    {&FirstOptionsPage, "MIN ON TOP ", [] { EXPECT_EQ(MainWindowState.wantedDisplayMode, 1); }},
    {&FirstOptionsPage, "ICON", [] { EXPECT_EQ(Settings.AircraftIcon, 1); }},
    {&SecondOptionsPage, "ALT FEET", [] { EXPECT_EQ(Settings.MetricAltitude, 1); }},
    {&SecondOptionsPage, "TEMP", [] { EXPECT_EQ(Settings.CelsiusTemperature, 0); }},
    {&SecondOptionsPage, "MANUAL", [] { EXPECT_EQ(Settings.Softkeysublevel, 4); }},
    {&SecondOptionsPage, "", [] { EXPECT_EQ(Settings.Softkeysublevel, 4); }},  // the CPU helper
    {&SecondOptionsPage, "TRANSP.", [] { EXPECT_EQ(TransparencyControls, 1); }},
    // MSFS has no weather stations.
    {&SecondOptionsPage, "WX STATION", [] { EXPECT_EQ(Settings.WeatherStationState.load(), 0); }},
    {&SecondOptionsPage, "NEXT", [] { ExpectPage(MenuOptions, 6); }},
    {&SecondOptionsPage, "ASPECT", [] { EXPECT_EQ(GetAspectRatio(), 2); }},
    {&SecondOptionsPage, "RESET",
     [] {
         EXPECT_EQ(GetLocalMapSource(), LocalMapSetWhole);
         EXPECT_EQ(Settings.TaxiwayZoomfactor, 1.0);
     }},
    {&SecondOptionsPage, "OPT", [] { EXPECT_EQ(Settings.RenderToTexture, 1); }},
    {&SecondOptionsPage, "NRST LIMIT", [] { EXPECT_EQ(Settings.Softkeysublevel, 4); }},  // the filter helper
    {&SecondOptionsPage, "FULLSCRN", [] { EXPECT_EQ(Settings.Softkeysublevel, 4); }},    // no simulator window
    {&ThirdOptionsPage, "ABOUT", [] { EXPECT_EQ(Settings.Softkeysublevel, 6); }},
    {&ThirdOptionsPage, "LANGUAGE", [] { ExpectPage(MenuOptions, 8); }},
    {&ThirdOptionsPage, "FPS", [] { EXPECT_EQ(Settings.ShowFPS, 1); }},
    {&ThirdOptionsPage, "KEY SIZE", [] { EXPECT_EQ(Settings.TouchMode, 1); }},
    {&ThirdOptionsPage, "CLR CACHE", [] { EXPECT_FALSE(IsCacheCleanupRunning()); }},
    {&ThirdOptionsPage, "SND/TASK", [] { EXPECT_FALSE(IsSimulatorFocusEnabled()); }},
    {&SimulatorPage, "X-PLANE", [] { EXPECT_EQ(Settings.UseSimulator.load(), SimulatorXPlane); }},
    {&SimulatorPage, "Aerofly FS2 ", [] { EXPECT_EQ(Settings.UseSimulator.load(), SimulatorAerofly); }},
    {&SimulatorPage, "FSX",
     [] {
         EXPECT_EQ(Settings.UseSimulator.load(), 1);
         EXPECT_EQ(Settings.FlightPlanState, 0);
     }},
    {&UserMapPage, "LOAD", [] { EXPECT_EQ(Settings.AirportChart, 0); }},   // no chart chosen
    {&UserMapPage, "EDITOR", [] { EXPECT_EQ(Settings.GeorefEdit, 0); }},  // no chart shown
    {&UserMapPage, "ROTATE-", [] { EXPECT_FLOAT_EQ(Settings.AirportChartRotate, -1.5708f); }},
    {&UserMapPage, "ROTATE+", [] { EXPECT_FLOAT_EQ(Settings.AirportChartRotate, 1.5708f); }},
    {&UserMapPage, "RESET", [] { EXPECT_EQ(Settings.Softkeysublevel, 3); }},
    {&UserMapPage, "OVERLAY", [] { EXPECT_EQ(Settings.ReferencedAirportMapDisplayed, 0); }},  // none loaded
    {&TerrainPage, "TAWS", [] { EXPECT_EQ(Settings.TAWSOn, 1); }},
    {&TerrainPage, "MODE", [] { EXPECT_EQ(Settings.Terrainmap, 2); }},
    {&TerrainPage, " PATH",
     [] {
         EXPECT_EQ(Settings.TAWS, 1);
         EXPECT_EQ(Settings.Terrainstate, 1);
     }},
    {&TerrainPage, " DEPART", [] { EXPECT_EQ(Settings.PilotFlightmode, 2); }},
    {&TerrainPage, "DISABLE", [] { EXPECT_EQ(Settings.Softkeysublevel, 0); }},
    {&TerrainPage, " LEGEND", [] { EXPECT_EQ(TerrainLegende, 1); }},
    {&TerrainPage, " ELEVATION", [] { EXPECT_EQ(TerrainElevation, 1); }},
    {&TerrainPage, "OBSTACLE", [] { EXPECT_EQ(TerrainObstacleFlag, 1); }},
    {&TerrainPage, "MEA in FP", [] { EXPECT_EQ(MSAinFlightplan, 1); }},
    {&TerrainPage, "LEVEL ", [] { EXPECT_EQ(Sealevel, 0); }},  // on by default
    {&TerrainPage, "GPWS ", [] { EXPECT_EQ(Settings.GPWSOn, 1); }},
    {&TerrainPage, "TAWS DATA",
     [] {
         // Read back from the helper.
         EXPECT_EQ(Settings.DepartureEnroute, 1000);
         EXPECT_EQ(Settings.EnrouteApproach, 1500);
     }},
    {&TerrainPage, "PROFILE ",
     [] {
         EXPECT_EQ(Settings.TerrainProfile, 1);
         EXPECT_EQ(Settings.Softkeys, 0);
     }},
    {&NavigationPage, "AIRPORT", [] { EXPECT_EQ(Settings.ShowAirports, 1); }},
    {&NavigationPage, "NDB", [] { EXPECT_EQ(Settings.NavNDB, 1); }},
    {&NavigationPage, "VOR", [] { EXPECT_EQ(Settings.NavVOR, 1); }},
    {&NavigationPage, "ILS/LOC",
     [] {
         EXPECT_EQ(Settings.NavILS, 1);
         EXPECT_STREQ(Settings.SelectedILS, "ALL");
     }},
    {&NavigationPage, "MARKER", [] { EXPECT_EQ(MarkerSwitch, 1); }},
    {&NavigationPage, "AIRSPACE", [] { ExpectPage(MenuNavData, 1); }},
    {&NavigationPage, "HIGH ALT", [] { EXPECT_EQ(Settings.NavAirways, 1); }},
    {&NavigationPage, "LOW ALT", [] { EXPECT_EQ(Settings.NavAirways, 2); }},
    {&NavigationPage, "FIX", [] { EXPECT_EQ(Settings.ShowFix, 1); }},  // zoom 11
    {&NavigationPage, "APT MAP", [] { ExpectPage(MenuNavData, 2); }},
    {&NavigationPage, "PDF", [] { EXPECT_EQ(Settings.AirportChart, 0); }},  // no chart imported
    {&NavigationPage, "GEORF.APT", [] { EXPECT_EQ(Settings.AirportOverlay, 0); }},
    {&NavigationPage, "DATABASE", [] { ExpectPage(MenuNavData, 3); }},
    {&AirspaceClassPage, "ALL",
     [] {
         EXPECT_STREQ(Settings.SelectedAirspace, "ABCDEFGR");
         EXPECT_EQ(Settings.NavASP, 1);
         EXPECT_EQ(Settings.CTR, 1);
     }},
    {&AirspaceClassPage, "CLASS A", [] { EXPECT_STREQ(Settings.SelectedAirspace, "A       "); }},
    {&AirspaceClassPage, "CLASS B", [] { EXPECT_STREQ(Settings.SelectedAirspace, " B      "); }},
    {&AirspaceClassPage, "CLASS C", [] { EXPECT_STREQ(Settings.SelectedAirspace, "  C     "); }},
    {&AirspaceClassPage, "CLASS D", [] { EXPECT_STREQ(Settings.SelectedAirspace, "   D    "); }},
    {&AirspaceClassPage, "CLASS E", [] { EXPECT_STREQ(Settings.SelectedAirspace, "    E   "); }},
    {&AirspaceClassPage, "CLASS F", [] { EXPECT_STREQ(Settings.SelectedAirspace, "     F  "); }},
    {&AirspaceClassPage, "CLASS G", [] { EXPECT_STREQ(Settings.SelectedAirspace, "      G "); }},
    {&AirspaceClassPage, "CLASS R", [] { EXPECT_STREQ(Settings.SelectedAirspace, "       R"); }},
    {&AirspaceClassPage, "CTR", [] { EXPECT_EQ(Settings.CTR, 1); }},
    {&AirspaceClassPage, "INFO", [] { EXPECT_EQ(Settings.NavASPInfo, 1); }},
    {&AirportToolsPage, "APT",
     [] {
         EXPECT_STREQ(Settings.SelectedAirport, "NEAREST");
         EXPECT_EQ(Settings.AirportOverlay, 0);
     }},
    {&AirportToolsPage, "NEAREST", [] { EXPECT_TRUE(IsDirToNearestOn()); }},
    {&AirportToolsPage, "FIX_KEYS", [] { EXPECT_EQ(Settings.DynamicSoftkeys, 1); }},
    {&AirportToolsPage, "TOGGLE_WIND", [] { EXPECT_EQ(WindArrowMode, 1); }},
};

// The effect listed for the row a command presses; null when none is.
const RowEffect* FindRowEffect(const CommandRow& command, const SoftkeyRow& row)
{
    const char* name = row.label ? row.label : command.name;
    for (const RowEffect& effect : RowEffects)
        if (effect.page == command.page && std::strcmp(effect.row, name) == 0)
            return &effect;
    return nullptr;
}

TEST_P(CommandEffectTest, RunsItsSoftkeyOnce)
{
    const CommandRow command = *GetCommandRow(GetParam());
    ASSERT_NE(command.page, nullptr);
    if (command.page == &MapTypePage) {
        // No map type is placed on the page yet, so every key (up to the one
        // past its rows) only leaves the airport selection.
        PostAndRun();
        EXPECT_EQ(Settings.NavAirport, FindSoftkeyRow(MapTypePage, command.key) ? 0 : 1);
        return;
    }
    const SoftkeyRow* row = FindSoftkeyRow(*command.page, command.key);
    ASSERT_NE(row, nullptr) << "its page has no key " << command.key;
    ASSERT_NE(row->action, nullptr) << "its key does nothing";
    const RowEffect* effect = FindRowEffect(command, *row);
    ASSERT_NE(effect, nullptr) << "no effect listed for its row";
    PostAndRun();
    effect->check();
    // The airport tools keep the page; every other level leaves its row's.
    if (command.page == &AirportToolsPage) {
        EXPECT_EQ(Settings.Softkeysublevel, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(AllCommands, CommandEffectTest, ::testing::Range(0, CommandCount),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::string name = GetCommandName(info.param);
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return std::to_string(info.param) + "_" + name;
                         });

}  // namespace
