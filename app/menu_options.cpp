// The options level of the softkey menu: simulators, colours and widths, the
// user map, the second and third options pages, airspace colours and the
// languages.
#include "app/softkey_menu.h"

#include "app/click_zones.h"
#include "app/command_table.h"
#include "app/display_modes.h"
#include "app/keypad.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/file_dialogs.h"
#include "app/helper_dialogs.h"
#include "maps/terrain_data.h"
#include "maps/local_maps.h"
#include "app/program_root.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/sim_commands.h"
#include "app/simulator_window.h"
#include "app/window_placement.h"
#include "display/airport_view.h"
#include "display/chart_view.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "display/softkey_pages.h"
#include "display/text_boxes.h"
#include "maps/tile_cache.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "maps/weather_radar.h"
#include "navdata/nav_tables.h"
#include "navdata/route_navigation.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "render/snapshot.h"
#include "simlink/pilot_log.h"
#include "simlink/sim_link.h"
#include "display/chart_view.h"
#include "maps/airport_charts.h"

#include <cstdio>
#include <cstring>

namespace {

const char MainSection[] = "Zorizeruverovu Plovik";

int WidthTarget = WidthFlightPlan;
int LastSimulator = 0;
// The custom colours of the colour dialog, kept while the program runs.
COLORREF CustomColours[16] = {};
// The simulator's own window while it is switched to full screen.
HWND FullscreenWindow = nullptr;
LONG SavedSimulatorStyle = 0;

constexpr int FirstLanguagePage = 8;
const char BuildText[] = "Linux";

// The colour dialog from colour (0xAABBGGRR); true with the choice, alpha
// made opaque, when the user took one.
bool PickColour(uint32_t* colour)
{
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = GetMainWindow();
    cc.rgbResult = *colour & 0x00FFFFFFu;
    cc.lpCustColors = CustomColours;
    cc.Flags = CC_FULLOPEN | CC_RGBINIT;
    if (!ChooseColorA(&cc))
        return false;
    *colour = (cc.rgbResult & 0x00FFFFFFu) | 0xFF000000u;
    return true;
}

void WriteMainFlag(const char* key, uint8_t value)
{
    WritePrivateProfileStringA(MainSection, key, value ? "1" : "0", IniFilePath);
}

void FirstOptionsPage(int key)
{
    switch (key) {
    case 0: SetSoftkeyLevel(MenuOptions, 1); break;
    case 1:
        if (IsTerrainDataAvailable())
            SetSoftkeyLevel(MenuTerrain, 0);
        break;
    case 2: SetSoftkeyLevel(MenuOptions, 2); break;
    case 3: RunSymbolSizeDialog(); break;
    case 4: Settings.Tooltips = !Settings.Tooltips; break;
    case 5:
        Settings.WindowFrame = !Settings.WindowFrame;
        if (Settings.WindowFrame)
            SetBorderlessStyle();
        else
            SetFramedStyle();
        WriteMainFlag("WindowFrame", Settings.WindowFrame);
        break;
    case 6: SoftkeyBack(); break;
    case 7: SetSoftkeyLevel(MenuOptions, 4); break;
    case 8: SetSoftkeyLevel(MenuOptions, 3); break;
    case 9:
        if (Settings.TopMost.load()) {
            SetWindowNotTopmost();
            Settings.TopMost = 0;
        } else {
            SetWindowTopmost();
            Settings.TopMost = 1;
        }
        SetMainWindowTitle();
        break;
    case 10:
        Settings.HeadingIsTrue = !Settings.HeadingIsTrue;
        InvalidateSnapshot();
        break;
    case 11: RunVolumeDialog(); break;
    case 12: StepSmallWindowMode(); break;
    case 13: Settings.AircraftIcon = (Settings.AircraftIcon + 1) % 6; break;
    default:
        if (key > 13)
            SetSoftkeyLevel(MenuOptions, 0);
        break;
    }
}

// Simulator of each key of the simulators page, and its database.
struct SimulatorKey {
    int simulator;
    int database;
};
constexpr SimulatorKey SimulatorKeys[8] = {
    {SimulatorXPlane, 1}, {SimulatorAerofly, 7}, {1, 3}, {3, 4}, {SimulatorFlightGear, 5}, {SimulatorMsfs, 6},
    {0, 0},  // the back key
    {SimulatorFs2004, 2},
};

void SimulatorsPage(int key)
{
    int before = Settings.UseSimulator.load();
    if (key == BackSoftkey) {
        SoftkeyBack();
    } else if (key >= 0 && key < 8) {
        const SimulatorKey& k = SimulatorKeys[key];
        if (k.simulator == SimulatorFlightGear)
            CreatePilotLog();
        Settings.UseSimulator = k.simulator;
        RunConnectCommand(k.simulator);
        Settings.NavDatabase = k.database;
    }
    ReloadNavdata();
    InvalidateSnapshot();
    ResetSimulatorWindowCache();
    bool selecting = (key >= 0 && key < 6) || key == 7;
    if (selecting && Settings.UseSimulator.load() != before) {
        LastSimulator = Settings.UseSimulator.load();
        ResetRoute();
        SetFlightPlanState(0);
        ClearDeparturePassed();
    }
}

uint32_t* AircraftColourEntry(int entry)
{
    switch (entry) {
    case 0: return &Settings.AircraftColor;
    case 1: return &Settings.FlightPlanColor;
    case 2: return &Settings.TrackColor;
    default: return &Settings.TrackPlotColor;
    }
}

// The colour column of the navigation colour tables, kept inside them.
int NavColourColumn()
{
    int column = GetSelectedIndex();
    return column >= 0 && column < NavColourCount ? column : 0;
}

uint32_t* NavColourFamily(int family)
{
    switch (family) {
    case 0: return Settings.NDBColor;
    case 1: return Settings.VORColor;
    case 2: return Settings.FIXColor;
    case 3: return Settings.AWYColor;
    default: return Settings.ILSColor;
    }
}

const uint32_t* NavColourFactoryFamily(int family)
{
    switch (family) {
    case 0: return NavColourFactory.NDBColor;
    case 1: return NavColourFactory.VORColor;
    case 2: return NavColourFactory.FIXColor;
    default: return NavColourFactory.AWYColor;
    }
}

void ColoursPage(int key)
{
    if (key >= 0 && key <= 3) {
        WidthTarget = key;
        PickColour(AircraftColourEntry(key));
    } else if (key == 4) {
        SetSoftkeyLevel(MenuOptions, 7);
    } else if (key == 5) {
        SetSoftkeyLevel(MenuOptions, 5);
    } else if (key == BackSoftkey) {
        SoftkeyBack();
        WidthTarget = WidthFlightPlan;
    } else if (key >= 7 && key <= 11) {
        PickColour(&NavColourFamily(key - 7)[NavColourColumn()]);
        InvalidateSnapshot();
    } else if (key == 12) {
        WidthTarget = WidthDirTo;
        PickColour(&Settings.DirToColor);
    } else if (key == 13) {
        int column = NavColourColumn();
        for (int family = 0; family < 4; ++family)
            NavColourFamily(family)[column] = NavColourFactoryFamily(family)[column];
    }
    AirportDiagramView.panning = 1;
    InvalidateSnapshot();
}

void StartGeoreferenceEditor()
{
    Settings.GeorefEdit = 1;
    RememberFrameForEditor(Settings.ShowFrame != 0);
    if (Settings.ShowFrame)
        SetShowFrameOff();
    Settings.ButtonPanelOn = 0;
    Settings.Softkeys = 0;
    ShowEditHelpMessage();
}

void UserMapPage(int key)
{
    switch (key) {
    case 0: OpenPngChart(); break;
    case 1:
        if (Settings.AirportChart)
            StartGeoreferenceEditor();
        else
            MessageBoxA(nullptr, GetErrorText(0), "TABRIX", MB_TASKMODAL | MB_TOPMOST);
        break;
    case 2: Settings.AirportChartRotate -= 1.5708f; break;
    case 3: Settings.AirportChartRotate += 1.5708f; break;
    case 4: FitChartToScreen(); break;
    case 5:
        if (Settings.ReferencedAirportMap)
            FlipReferencedAirportMap(true);
        break;
    case 6: SoftkeyBack(); break;
    default: break;
    }
}

}  // namespace

void ToggleWeatherStations()
{
    int simulator = Settings.UseSimulator.load();
    if (simulator >= SimulatorP3dFirst && simulator <= SimulatorP3dLast) {
        Settings.WeatherStationState = Settings.WeatherStationState.load() ? 0 : 1;
        NotifyRadarStateChanged();
    } else {
        Settings.WeatherStationState = 0;
    }
}

namespace {

void StepAspectRatio()
{
    int ratio = GetAspectRatio() + 1;
    SetAspectRatio(ratio >= 5 ? 1 : ratio);
    ApplyAspectLayout();
    FitWindowToAspect();
}

void ResetWindowAndLayout()
{
    char path[600];
    std::snprintf(path, sizeof(path), "%s/wpl.bin", SystemFolder);
    DeleteFileA(path);
    if (Settings.WindowFrame) {
        Settings.WindowFrame = 0;
        SetFramedStyle();
    }
    ReleaseAllTileResources();
    SetDefaultMapSource();
    if (TileMapFlag.load())
        RefreshMapAtMapCentre();
    Settings.TaxiwayZoomfactor = 1.0;
    ResetWindowSize();
}

// Finds the simulator's own window by its class or title.
HWND FindSimulatorMainWindow()
{
    int simulator = Settings.UseSimulator.load();
    if (simulator == SimulatorXPlane)
        return FindWindowA("X-System", nullptr);
    if (simulator == SimulatorFlightGear)
        return FindWindowA(nullptr, "FlightGear");
    return FindWindowA("FS98MAIN", nullptr);
}

void ToggleSimulatorFullscreen()
{
    HWND window = FindSimulatorMainWindow();
    if (!window)
        return;
    if (!FullscreenWindow) {
        SavedSimulatorStyle = GetWindowLongA(window, GWL_STYLE);
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(0x90000000u));
        ShowWindow(window, SW_MAXIMIZE);
        FullscreenWindow = window;
    } else {
        ShowWindow(window, SW_RESTORE);
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(0x14CF0000u));
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, 35);
        FullscreenWindow = nullptr;
        SavedSimulatorStyle = 0;
    }
}

void SecondOptionsPage(int key)
{
    switch (key) {
    case 0:
        Settings.MetricAltitude = !Settings.MetricAltitude;
        RequestSnapshotRefresh();
        break;
    case 1: Settings.CelsiusTemperature = !Settings.CelsiusTemperature; break;
    case 2: OpenManual(); break;
    case 3: RunCpuUsageDialog(); break;
    case 4: TransparencyControls = !TransparencyControls; break;
    case 5: ToggleWeatherStations(); break;
    case 6: SoftkeyBack(); break;
    case 7: SetSoftkeyLevel(MenuOptions, 6); break;
    case 8: StepAspectRatio(); break;
    case 9: ResetWindowAndLayout(); break;
    case 10:
        Settings.RenderToTexture = (Settings.RenderToTexture + 1) % 3;
        InvalidateSnapshot();
        break;
    case 11: RunRunwayFilterDialog(); break;
    case 12: {
        int simulator = Settings.UseSimulator.load();
        if (simulator != SimulatorMsfs && simulator != SimulatorAerofly)
            ToggleSimulatorFullscreen();
        break;
    }
    case 13: RunButtonAssignment(); break;
    default: break;
    }
}

double* WidthOfTarget()
{
    switch (WidthTarget) {
    case WidthFlightPlan: return &Settings.FlightplanWidth;
    case WidthVector: return &Settings.VectorWidth;
    case WidthTrackPlot: return &Settings.TrackPlotWidth;
    default: return &Settings.DirToWidth;
    }
}

// Line widths stay between one pixel and a width the lines still draw well.
constexpr double MinLineWidth = 1.0;
constexpr double MaxLineWidth = 20.0;

void WidthsPage(int key)
{
    if (key >= 0 && key <= 3) {
        WidthTarget = key;
    } else if (key == 4 || key == 5) {
        double* width = WidthOfTarget();
        double value = *width + (key == 4 ? 1.0 : -1.0);
        *width = value < MinLineWidth ? MinLineWidth : value > MaxLineWidth ? MaxLineWidth : value;
    } else if (key == BackSoftkey) {
        SoftkeyBack();
    }
}

void ThirdOptionsPage(int key)
{
    switch (key) {
    case 0: SetSoftkeyLevel(MenuOptions, FirstLanguagePage); break;
    case 1:
        if (IsMapQuestMode())
            Settings.Transactioncounter = !Settings.Transactioncounter;
        else
            Settings.ShowFPS = !Settings.ShowFPS;
        break;
    case 2:
        Settings.TouchMode = !Settings.TouchMode;
        LayoutSoftkeys();
        LayoutScreenButtons();
        break;
    case 3: CleanTypeCaches(); break;
    case 4: SetSimulatorFocusEnabled(!IsSimulatorFocusEnabled()); break;
    case 5: ShowAboutBox(); break;
    case 6: SetSoftkeyLevel(MenuOptions, 4); break;
    case 7: Settings.Position = !Settings.Position; break;
    case 8: Settings.CurvedVector = !Settings.CurvedVector; break;
    default: break;
    }
}

void ChooseAirspaceColourFile()
{
    char folder[600], path[512] = "";
    std::snprintf(folder, sizeof(folder), "%s/bin", ProgramRoot);
    if (OpenFileDialog("Airspace Color", path, "Airspace color *.bin\0*.bin\0", "BIN", folder) &&
        LoadAirspaceColourFile(path))
        std::snprintf(Settings.AirspaceFilename, sizeof(Settings.AirspaceFilename), "%s", path);
}

void SaveAirspaceColourFileAs()
{
    char folder[600], path[512] = "AirspaceDefaultColor.bin";
    std::snprintf(folder, sizeof(folder), "%s/bin", ProgramRoot);
    if (SaveFileDialog("Airspace Color", path, "Airspace color file *.bin\0*.bin\0", "BIN", folder) &&
        SaveAirspaceColourFile(path))
        std::snprintf(Settings.AirspaceFilename, sizeof(Settings.AirspaceFilename), "%s", path);
}

void AirspaceColoursPage(int key)
{
    if (key >= 0 && key <= 5) {
        PickColour(&AirspaceColours[key]);
    } else if (key == 8) {
        PickColour(&AirspaceColours[7]);
    } else if (key == BackSoftkey) {
        SetSoftkeyLevel(MenuOptions, 4);
    } else if (key == 9) {
        ChooseAirspaceColourFile();
    } else if (key == 10) {
        SaveAirspaceColourFileAs();
    }
}

void LanguagesPage(int key)
{
    if (key == BackSoftkey) {
        SetSoftkeyLevel(MenuOptions, 6);
        return;
    }
    // The page lists the languages on every key but the back key.
    int entry = key > BackSoftkey ? key - 1 : key;
    if (key < 0 || key > 13 || entry >= GetLanguageCount())
        return;
    const char* code = GetLanguageEntryCode(entry);
    if (code && LoadLanguage(code) == 0) {
        std::snprintf(Settings.Language, sizeof(Settings.Language), "%.4s", code);
        WritePrivateProfileStringA(MainSection, "Language", Settings.Language, IniFilePath);
    }
    SetSoftkeyLevel(MenuOptions, 6);
}

}  // namespace

void OptionsMenuCommand(int key)
{
    switch (Settings.Softkeysublevel) {
    case 0: FirstOptionsPage(key); break;
    case 1: SimulatorsPage(key); break;
    case 2: ColoursPage(key); break;
    case 3: UserMapPage(key); break;
    case 4: SecondOptionsPage(key); break;
    case 5: WidthsPage(key); break;
    case 6: ThirdOptionsPage(key); break;
    case 7: AirspaceColoursPage(key); break;
    default: LanguagesPage(key); break;
    }
}

int GetWidthTarget() { return WidthTarget; }

void StepSmallWindowMode()
{
    // Without TopMost the small windows would vanish behind the simulator.
    if (Settings.TopMost.load())
        CycleDisplayMode();
}

void ShowAboutBox()
{
    char text[1024];
    FormatLanguageText(text, sizeof(text), LanguageSection::General, 13, "%s %s %s", "Tervalingo", VersionText,
                       BuildText);
    ShowScreenMessage(text, 12);
}

uint32_t GetAirspaceColour(int entry)
{
    return entry >= 0 && entry < AirspaceColourCount ? AirspaceColours[entry] : 0;
}

bool LoadAirspaceColourFile(const char* path)
{
    if (!path || !path[0])
        return false;
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    uint32_t colours[AirspaceColourCount];
    size_t n = std::fread(colours, 1, sizeof(colours), f);
    std::fclose(f);
    if (n != sizeof(colours))
        return false;
    std::memcpy(AirspaceColours, colours, sizeof(colours));
    return true;
}

bool SaveAirspaceColourFile(const char* path)
{
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    size_t n = std::fwrite(AirspaceColours, 1, sizeof(AirspaceColours), f);
    return std::fclose(f) == 0 && n == sizeof(AirspaceColours);
}
