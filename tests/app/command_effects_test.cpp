// Every command of the table, posted as a simulator link posts a button (on
// a thread of its own, through the pending slot), run from a fresh program
// state by the message loop's two calls; each leaves the effect its softkey
// has. No command may crash or wait on a dialog. (The simulator keys also
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
#include "display/frame_renderer.h"
#include "display/nav_layer.h"
#include "display/softkey_pages.h"
#include "maps/local_maps.h"
#include "maps/tile_cache.h"
#include "maps/tile_sources.h"
#include "platform/profile.h"
#include "simlink/sim_link.h"
#include "tests/support/temp_folder.h"

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

    std::string IniValue(const char* key)
    {
        char value[64];
        GetPrivateProfileStringA("Zorizeruverovu Plovik", key, "", value, sizeof(value), ini.c_str());
        return value;
    }
};

void ExpectPage(int level, int sublevel)
{
    EXPECT_EQ(Settings.Softkeylevel, level);
    EXPECT_EQ(Settings.Softkeysublevel, sublevel);
}

TEST_P(CommandEffectTest, RunsItsSoftkeyOnce)
{
    const int index = GetParam();
    const CommandRow row = *GetCommandRow(index);
    PostAndRun();
    switch (index) {
    case 0: ExpectPage(MenuMapTypes, 0); break;                 // MAP
    case 1: ExpectPage(MenuNavData, 0); break;                  // NAV
    case 2: EXPECT_EQ(Settings.TrackUp, 1); break;              // NORTH_UP
    case 3: EXPECT_EQ(Settings.Windrose, 1); break;             // ROSE
    case 4:                                                     // TRK
        EXPECT_EQ(Settings.PlotTrack, 1);
        EXPECT_EQ(IniValue("PlotTrack"), "1");
        break;
    case 5: ExpectPage(MenuMain, 0); break;                     // CLR_TRK
    case 6: EXPECT_EQ(Settings.Softkeys, 0); break;             // ESC
    case 7: ExpectPage(MenuOptions, 0); break;                  // CONFIG
    case 8:                                                     // PANEL
        EXPECT_EQ(Settings.FrameState, 1);
        EXPECT_EQ(Settings.ShowFrame, 0);
        break;
    case 9:                                                     // AI/TCAS
        EXPECT_EQ(Settings.RadarMode, 1);
        EXPECT_EQ(IsTrafficModeChanged(), 1);
        break;
    case 10: EXPECT_EQ(Settings.Track, 1); break;               // VECTOR
    case 11: EXPECT_EQ(Settings.FlightPlanState, 1); break;     // FLTPLN
    case 12: EXPECT_EQ(ManualPositionMode.load(), 1); break;    // MAXIMIZE
    case 13: EXPECT_EQ(Settings.MenuState, 2); break;           // INFO
    case 14: ExpectPage(MenuOptions, 1); break;                 // SIM
    case 15: ExpectPage(MenuMain, 0); break;                    // TERRAIN_CFG: no terrain data here
    case 16: ExpectPage(MenuOptions, 2); break;                 // COLOR
    case 17: ExpectPage(MenuMain, 0); break;                    // NAV_SIZE: the helper's answer
    case 18: EXPECT_EQ(Settings.Tooltips, 0); break;            // TOOLTIP
    case 19:                                                    // FRAME
        EXPECT_EQ(Settings.WindowFrame, 1);
        EXPECT_EQ(IniValue("WindowFrame"), "1");
        break;
    case 20: ExpectPage(MenuOptions, 4); break;                 // NEXT
    case 21:                                                    // USRMAP
    case 22: ExpectPage(MenuOptions, 3); break;                 // ON_TOP: the same key
    case 23: EXPECT_EQ(Settings.HeadingIsTrue, 0); break;       // HDG_TRUE
    case 24: ExpectPage(MenuMain, 0); break;                    // SOUND: the helper's answer
    case 25: EXPECT_EQ(MainWindowState.wantedDisplayMode, 1); break;  // MIN_ON_TOP
    case 26: EXPECT_EQ(Settings.AircraftIcon, 1); break;        // CLR_TXCNT: the icon key
    case 27: EXPECT_EQ(Settings.MetricAltitude, 1); break;      // UNIT
    case 28: EXPECT_EQ(Settings.CelsiusTemperature, 0); break;  // TEMP
    case 29: EXPECT_EQ(Settings.Softkeysublevel, 4); break;     // MANUAL
    case 30: EXPECT_EQ(Settings.Softkeysublevel, 4); break;     // CPU
    case 31: EXPECT_EQ(TransparencyControls, 1); break;         // TRANSP
    case 32: EXPECT_EQ(Settings.WeatherStationState.load(), 0); break;  // WX_STATION: MSFS has none
    case 33: ExpectPage(MenuOptions, 6); break;                 // ASPECT43: the next page key
    case 34: EXPECT_EQ(GetAspectRatio(), 2); break;             // RESET: the aspect key
    case 35:                                                    // OPT_OFF: the layout reset
        EXPECT_EQ(GetLocalMapSource(), LocalMapSetWhole);
        EXPECT_EQ(Settings.TaxiwayZoomfactor, 1.0);
        break;
    case 36: EXPECT_EQ(Settings.RenderToTexture, 1); break;     // NRST_LIMITS: the snapshot key
    case 37: EXPECT_EQ(Settings.Softkeysublevel, 4); break;     // FULLSCREN: the filter helper
    case 38: EXPECT_EQ(Settings.Softkeysublevel, 4); break;     // BTN_ASSGN: no simulator window
    case 39: EXPECT_EQ(Settings.Softkeysublevel, 6); break;     // ABOUT
    case 40: ExpectPage(MenuOptions, 8); break;                 // LANGUAGE
    case 41: EXPECT_EQ(Settings.ShowFPS, 1); break;             // FPS
    case 42: EXPECT_EQ(Settings.TouchMode, 1); break;           // KEY_SIZE
    case 43: EXPECT_FALSE(IsCacheCleanupRunning()); break;      // CLR_CACHE
    case 44: EXPECT_FALSE(IsSimulatorFocusEnabled()); break;    // SND/TSK
    case 45:                                                    // X-PLANE
        EXPECT_EQ(Settings.UseSimulator.load(), SimulatorXPlane);
        break;
    case 46:                                                    // FS9: the Aerofly FS 2 key
        EXPECT_EQ(Settings.UseSimulator.load(), SimulatorAerofly);
        break;
    case 47:                                                    // FSX/P3D
    case 48:                                                    // FLIGHTGEAR: the FSX key
        EXPECT_EQ(Settings.UseSimulator.load(), 1);
        EXPECT_EQ(Settings.FlightPlanState, 0);
        break;
    case 49: EXPECT_EQ(Settings.AirportChart, 0); break;        // LOAD: no chart chosen
    case 50: EXPECT_EQ(Settings.GeorefEdit, 0); break;          // EDITOR: no chart shown
    case 51: EXPECT_FLOAT_EQ(Settings.AirportChartRotate, -1.5708f); break;  // ROTATE-
    case 52: EXPECT_FLOAT_EQ(Settings.AirportChartRotate, 1.5708f); break;   // ROTATE+
    case 53: EXPECT_EQ(Settings.Softkeysublevel, 3); break;     // RESETU
    case 54: EXPECT_EQ(Settings.ReferencedAirportMapDisplayed, 0); break;   // OVERLAY: none loaded
    case 55: EXPECT_EQ(Settings.TAWSOn, 1); break;              // TAWS
    case 56: EXPECT_EQ(Settings.Terrainmap, 2); break;          // MODE
    case 57:                                                    // PATH
        EXPECT_EQ(Settings.TAWS, 1);
        EXPECT_EQ(Settings.Terrainstate, 1);
        break;
    case 58: EXPECT_EQ(Settings.PilotFlightmode, 2); break;     // FLTSTATE
    case 59: EXPECT_EQ(Settings.Softkeysublevel, 0); break;     // DISABLE
    case 60: EXPECT_EQ(TerrainLegende, 1); break;               // LEGEND
    case 61: EXPECT_EQ(TerrainElevation, 1); break;             // ELEVATION
    case 62: EXPECT_EQ(TerrainObstacleFlag, 1); break;          // OBSTACLE
    case 63: EXPECT_EQ(MSAinFlightplan, 1); break;              // MSA_FP
    case 64: EXPECT_EQ(Sealevel, 0); break;                     // LEVEL: on by default
    case 65: EXPECT_EQ(Settings.GPWSOn, 1); break;              // GPWS
    case 66:                                                    // TAWS_DATA: read back
        EXPECT_EQ(Settings.DepartureEnroute, 1000);
        EXPECT_EQ(Settings.EnrouteApproach, 1500);
        break;
    case 67:                                                    // PROFILE
        EXPECT_EQ(Settings.TerrainProfile, 1);
        EXPECT_EQ(Settings.Softkeys, 0);
        break;
    case 68: EXPECT_EQ(Settings.ShowAirports, 1); break;        // NAV_APT
    case 69: EXPECT_EQ(Settings.NavNDB, 1); break;              // NDB
    case 70: EXPECT_EQ(Settings.NavVOR, 1); break;              // VOR
    case 71:                                                    // ILS/LOC
        EXPECT_EQ(Settings.NavILS, 1);
        EXPECT_STREQ(Settings.SelectedILS, "ALL");
        break;
    case 72: EXPECT_EQ(MarkerSwitch, 1); break;                 // MARKER
    case 73: ExpectPage(MenuNavData, 1); break;                 // AIRSPACE
    case 74: EXPECT_EQ(Settings.NavAirways, 1); break;          // HIGH_ALT
    case 75: EXPECT_EQ(Settings.NavAirways, 2); break;          // LOW_ALT
    case 76: EXPECT_EQ(Settings.ShowFix, 1); break;             // FIX (zoom 11)
    case 77: ExpectPage(MenuNavData, 2); break;                 // APT_MAP
    case 78: EXPECT_EQ(Settings.AirportChart, 0); break;        // PDF: no chart imported
    case 79: EXPECT_EQ(Settings.AirportOverlay, 0); break;      // GEOREF_APT: the overlay key
    case 80: ExpectPage(MenuNavData, 3); break;                 // CUSTOM_MAP: the database page
    case 81:                                                    // CLASS_ALL
        EXPECT_STREQ(Settings.SelectedAirspace, "ABCDEFGR");
        EXPECT_EQ(Settings.NavASP, 1);
        EXPECT_EQ(Settings.CTR, 1);
        break;
    case 82: EXPECT_STREQ(Settings.SelectedAirspace, "A       "); break;  // CLASS_A
    case 83: EXPECT_STREQ(Settings.SelectedAirspace, " B      "); break;
    case 84: EXPECT_STREQ(Settings.SelectedAirspace, "  C     "); break;
    case 85: EXPECT_STREQ(Settings.SelectedAirspace, "   D    "); break;
    case 86: EXPECT_STREQ(Settings.SelectedAirspace, "    E   "); break;
    case 87: EXPECT_STREQ(Settings.SelectedAirspace, "     F  "); break;
    case 88: EXPECT_STREQ(Settings.SelectedAirspace, "      G "); break;
    case 89: EXPECT_STREQ(Settings.SelectedAirspace, "       R"); break;  // CLASS_R
    case 90: EXPECT_EQ(Settings.CTR, 1); break;                 // CLASS_INFO: the CTR key
    case 91: EXPECT_EQ(Settings.NavASPInfo, 1); break;          // CLASS_OFF: the info key
    case 92:                                                    // APT
        EXPECT_STREQ(Settings.SelectedAirport, "NEAREST");
        EXPECT_EQ(Settings.AirportOverlay, 0);
        break;
    case 93: EXPECT_TRUE(IsDirToNearestOn()); break;            // NEAREST
    case 94: EXPECT_EQ(Settings.DynamicSoftkeys, 1); break;     // FIX_KEYS
    case 95: EXPECT_EQ(WindArrowMode, 1); break;                // TOGGLE_WIND
    default:
        // The map-type page: no map type is placed on it yet, so every key
        // (up to the one past its table) only leaves the airport selection.
        ASSERT_GE(index, MapTypeCommandFirst);
        if (row.softkey < static_cast<uint32_t>(MapTypeSoftkeySlots))
            EXPECT_EQ(Settings.NavAirport, 0);
        else
            EXPECT_EQ(Settings.NavAirport, 1);
        break;
    }
    // The airport tools keep the page; every other level leaves its row's.
    if (row.level == MenuAirportTools) {
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
