// The options level of the softkey menu: simulators, colours and widths, the
// user map, the second and third options pages, airspace colours and the
// languages, with their page tables.
#include "app/softkey_menu.h"
#include "app/softkey_page_tables.h"

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
#include "platform/log.h"
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
#include "navdata/simulators.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/ini_sections.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "render/snapshot.h"
#include "simlink/pilot_log.h"
#include "simlink/sim_link.h"
#include "display/chart_view.h"
#include "maps/airport_charts.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {


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

// ---- sublevel 0: the first options page ----

void FlipWindowFrame(int)
{
    Settings.WindowFrame = !Settings.WindowFrame;
    if (Settings.WindowFrame)
        SetBorderlessStyle();
    else
        SetFramedStyle();
    WriteMainFlag("WindowFrame", Settings.WindowFrame);
}

void FlipTopMost(int)
{
    if (Settings.TopMost.load()) {
        SetWindowNotTopmost();
        Settings.TopMost = 0;
    } else {
        SetWindowTopmost();
        Settings.TopMost = 1;
    }
    SetMainWindowTitle();
}

// Greyed, with a tooltip saying why, while no terrain data is installed.
void TerrainSettingsFace(SoftkeyFace& face, int)
{
    if (!IsTerrainDataAvailable()) {
        face.tooltip = 154;
        face.tint = SoftkeyGrey;
    }
}

// A Softkeysublevel to go to, as a key's action.
template <int Level, int Sublevel>
void GoTo(int)
{
    SetSoftkeyLevel(Level, Sublevel);
}

// key, label, tooltip, label offset, action, lit when, face rule, choice
constexpr SoftkeyRow FirstOptionsRows[] = {
    {0, "SIM", 10, 16, GoTo<MenuOptions, 1>},
    {1, "TERRAIN", 65, 4,
     [](int) {
         if (IsTerrainDataAvailable())
             SetSoftkeyLevel(MenuTerrain, 0);
     },
     nullptr, TerrainSettingsFace},
    {2, "COLOR", 59, 7, GoTo<MenuOptions, 2>},
    {3, "NAV SIZE", 186, 0, [](int) { RunSymbolSizeDialog(); }},
    {4, "TOOLTIP", 66, 5, [](int) { Settings.Tooltips = !Settings.Tooltips; },
     [](int) { return Settings.Tooltips != 0; }},
    {5, "FRAME", 147, 0, FlipWindowFrame, [](int) { return Settings.WindowFrame == 0; }},
    {6, "ESC", BackTooltip, 16, [](int) { SoftkeyBack(); }},
    {7, "NEXT", 146, 7, GoTo<MenuOptions, 4>},
    {8, "USR MAP", 88, 1, GoTo<MenuOptions, 3>},
    {9, "ON TOP", 9, 4, FlipTopMost, [](int) { return Settings.TopMost.load() != 0; }},
    {10, "HDG MAG", 134, 16,
     [](int) {
         Settings.HeadingIsTrue = !Settings.HeadingIsTrue;
         InvalidateSnapshot();
     },
     nullptr,
     [](SoftkeyFace& face, int) {
         if (Settings.HeadingIsTrue)
             face.label = "HDG TRUE";
     }},
    {11, "SOUND", 148, 4, [](int) { RunVolumeDialog(); }, [](int) { return Settings.Sound.load() != 0; }},
    {12, "MIN ON TOP ", 184, 1, [](int) { StepSmallWindowMode(); }, [](int) { return GetDisplayMode() != 0; }},
    {13, "ICON", 226, 16, [](int) { Settings.AircraftIcon = (Settings.AircraftIcon + 1) % 6; }},
};

// A key beyond the page's rows opens it again.
void ReopenFirstOptions(int key)
{
    if (key > 13)
        SetSoftkeyLevel(MenuOptions, 0);
}

// ---- sublevel 1: the simulators ----

// A simulator's bits of InstalledSimulators.
int InstalledBitsOf(int simulator)
{
    switch (simulator) {
    case SimulatorXPlane: return 0x08;
    case SimulatorAerofly: return 0x80;
    case SimulatorFsx: return 0x03;
    case SimulatorPrepar3d: return 0x04;
    case SimulatorFlightGear: return 0x20;
    case SimulatorMsfs: return 0x40;
    case SimulatorFs2004: return 0x10;
    default: return 0;
    }
}

void ChooseSimulator(int simulator)
{
    if (simulator == SimulatorFlightGear)
        CreatePilotLog();
    Settings.UseSimulator = simulator;
    RunConnectCommand(simulator);
    Settings.NavDatabase = NavDatabaseForSimulator(simulator);
}

bool IsSimulatorInUse(int simulator) { return IsChosenSimulator(Settings.UseSimulator.load(), simulator); }

// The simulator chosen stays lit, installed here or not: greyed it looked as
// if the choice had not been taken.
void GreyUninstalled(SoftkeyFace& face, int simulator)
{
    if (!(InstalledSimulators.load() & InstalledBitsOf(simulator)) && !face.lit)
        face.tint = SoftkeyGrey;
}

constexpr SoftkeyRow SimulatorRows[] = {
    {0, "X-PLANE", 7, 6, ChooseSimulator, IsSimulatorInUse, GreyUninstalled, SimulatorXPlane},
    {1, "Aerofly FS2 ", 212, 6, ChooseSimulator, IsSimulatorInUse, GreyUninstalled, SimulatorAerofly},
    {2, "FSX", 2, 16, ChooseSimulator, IsSimulatorInUse, GreyUninstalled, SimulatorFsx},
    {3, "P3D", 4, 6, ChooseSimulator, IsSimulatorInUse, GreyUninstalled, SimulatorPrepar3d},
    {4, "FlightGear", 183, 6, ChooseSimulator, IsSimulatorInUse, GreyUninstalled, SimulatorFlightGear},
    {5, "MSFS ", 194, 16, ChooseSimulator, IsSimulatorInUse, GreyUninstalled, SimulatorMsfs},
    {6, "ESC", BackTooltip, 16, [](int) { SoftkeyBack(); }},
    {7, "FS9", 6, 16, ChooseSimulator, IsSimulatorInUse, GreyUninstalled, SimulatorFs2004},
};

// The simulator before the key, to see whether the key changed it.
int SimulatorBeforeKey = 0;

void ReloadForSimulator(int)
{
    ReloadNavdata();
    InvalidateSnapshot();
    ResetSimulatorWindowCache();
}

// A simulator of its own drops the route and the plan of the one before.
void AfterSimulatorKey(int key)
{
    ReloadForSimulator(key);
    if (key != BackSoftkey && Settings.UseSimulator.load() != SimulatorBeforeKey) {
        LastSimulator = Settings.UseSimulator.load();
        ResetRoute();
        SetFlightPlanState(0);
        ClearDeparturePassed();
    }
}

// ---- sublevel 2: colours ----

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

// Keys 0..3: the width target of their number and its colour.
void PickAircraftColour(int key)
{
    WidthTarget = key;
    PickColour(AircraftColourEntry(key));
}

bool IsWidthTarget(int key) { return WidthTarget == key; }

// NDB, VOR, FIX, airways and ILS in the selected colour column.
void PickNavColour(int family)
{
    PickColour(&NavColourFamily(family)[NavColourColumn()]);
    InvalidateSnapshot();
}

void ResetNavColours(int)
{
    int column = NavColourColumn();
    for (int family = 0; family < 4; ++family)
        NavColourFamily(family)[column] = NavColourFactoryFamily(family)[column];
}

constexpr SoftkeyRow ColourRows[] = {
    {0, "AC COL", 59, 5, PickAircraftColour},
    {1, "FP COL", 60, 5, PickAircraftColour, IsWidthTarget},
    {2, "VC COL", 61, 5, PickAircraftColour, IsWidthTarget},
    {3, "TRK COL", 64, 0, PickAircraftColour, IsWidthTarget},
    {4, "AIRSPACE", 62, 5, GoTo<MenuOptions, 7>},
    {5, "WIDTH", 62, 5, GoTo<MenuOptions, 5>},
    {6, "ESC", BackTooltip, 16,
     [](int) {
         SoftkeyBack();
         WidthTarget = WidthFlightPlan;
     }},
    {7, "NDB", 120, 16, PickNavColour, nullptr, nullptr, 0},
    {8, "VOR", 121, 16, PickNavColour, nullptr, nullptr, 1},
    {9, "FIX", 122, 16, PickNavColour, nullptr, nullptr, 2},
    {10, "AIRWAYS", 123, 1, PickNavColour, nullptr, nullptr, 3},
    {11, "ILS", 156, 4, PickNavColour, nullptr, nullptr, 4},
    {12, "NEAREST", 168, 4,
     [](int) {
         WidthTarget = WidthDirTo;
         PickColour(&Settings.DirToColor);
     }},
    {13, "RESET", 124, 4, ResetNavColours},
};

// Every key leaves the airport diagram following the map.
void FollowMapAfterColourKey(int)
{
    AirportDiagramView.panning = 1;
    InvalidateSnapshot();
}

// ---- sublevel 3: the user map ----

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

void OpenGeoreferenceEditor(int)
{
    if (Settings.AirportChart)
        StartGeoreferenceEditor();
    else
        MessageBoxA(nullptr, GetErrorText(0), "TABRIX", MB_TASKMODAL | MB_TOPMOST);
}

// OVERLAY only while a referenced map is loaded; a blank key else.
void OverlayFace(SoftkeyFace& face, int)
{
    if (!Settings.ReferencedAirportMap)
        face = {" ", false, BlankTooltip, 16, 0};
}

constexpr SoftkeyRow UserMapRows[] = {
    {0, "LOAD", 44, 12, [](int) { OpenPngChart(); }},
    {1, "EDITOR", 119, 5, OpenGeoreferenceEditor},
    {2, "ROTATE-", 40, 4, [](int) { Settings.AirportChartRotate -= 1.5708f; }},
    {3, "ROTATE+", 42, 4, [](int) { Settings.AirportChartRotate += 1.5708f; }},
    {4, "RESET", 46, 12, [](int) { FitChartToScreen(); }},
    {5, "OVERLAY", 48, 4,
     [](int) {
         if (Settings.ReferencedAirportMap)
             FlipReferencedAirportMap(true);
     },
     [](int) { return Settings.AirportOverlay != 0; }, OverlayFace},
    {6, "ESC", BackTooltip, 16, [](int) { SoftkeyBack(); }},
};

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

// ---- sublevel 4: the second options page ----

void AltitudeUnitFace(SoftkeyFace& face, int)
{
    if (Settings.MetricAltitude) {
        face.label = "ALT METER";
        face.tooltip = 162;
    }
}

void TemperatureFace(SoftkeyFace& face, int)
{
    static char label[16];
    bool celsius = Settings.CelsiusTemperature != 0;
    std::snprintf(label, sizeof label, "TEMP %c%c", static_cast<char>(0xB0), celsius ? 'C' : 'F');
    face.label = label;
    face.tooltip = celsius ? 68 : 163;
}

// Only the Prepar3D/FSX companion has weather stations; FS2004 shows no key.
void WeatherStationFace(SoftkeyFace& face, int)
{
    int sim = Settings.UseSimulator.load();
    if (sim == SimulatorFs2004)
        face.label = "";
    else if (sim != SimulatorSimConnectConfig && sim != SimulatorPrepar3d)
        face.tint = SoftkeyGrey;
}

bool IsWeatherStationLit(int)
{
    int sim = Settings.UseSimulator.load();
    return (sim == SimulatorSimConnectConfig || sim == SimulatorPrepar3d) && Settings.WeatherStationState.load() != 0;
}

void AspectFace(SoftkeyFace& face, int)
{
    static const char* const Aspects[4] = {"ASPECT 16:9", "ASPECT 16:10", "ASPECT 4:3", "ASPECT -:-"};
    int aspect = GetAspectRatio();
    face.label = Aspects[aspect >= 1 && aspect <= 3 ? aspect - 1 : 3];
}

void OptimiseFace(SoftkeyFace& face, int)
{
    static const char* const Optimise[3] = {"OPT OFF", "OPT MIN", "OPT MAX"};
    int mode = Settings.RenderToTexture;
    face.label = Optimise[mode < 0 ? 0 : mode > 2 ? 2 : mode];
}

// Greyed where the simulator's window cannot be switched.
void FullscreenFace(SoftkeyFace& face, int)
{
    int sim = Settings.UseSimulator.load();
    face.tooltip = sim == SimulatorXPlane || sim == SimulatorFlightGear ? 171 : 170;
    if (sim == SimulatorMsfs || sim == SimulatorAerofly)
        face.tint = SoftkeyGrey;
}

void FullscreenKey(int)
{
    int simulator = Settings.UseSimulator.load();
    if (simulator != SimulatorMsfs && simulator != SimulatorAerofly)
        ToggleSimulatorFullscreen();
}

constexpr SoftkeyRow SecondOptionsRows[] = {
    {0, "ALT FEET", 67, 10,
     [](int) {
         Settings.MetricAltitude = !Settings.MetricAltitude;
         RequestSnapshotRefresh();
     },
     nullptr, AltitudeUnitFace},
    {1, "TEMP", 68, 2, [](int) { Settings.CelsiusTemperature = !Settings.CelsiusTemperature; }, nullptr,
     TemperatureFace},
    {2, "MANUAL", 36, 8, [](int) { OpenManual(); }},
    {3, "", 69, 2, [](int) { RunCpuUsageDialog(); }},
    {4, "TRANSP.", 131, 12, [](int) { TransparencyControls = !TransparencyControls; },
     [](int) { return TransparencyControls != 0; }},
    {5, "WX STATION", 185, 16, [](int) { ToggleWeatherStations(); }, IsWeatherStationLit, WeatherStationFace},
    {6, "ESC", BackTooltip, 16, [](int) { SoftkeyBack(); }},
    {7, "NEXT", 146, 7, GoTo<MenuOptions, 6>},
    {8, "ASPECT", 38, 5, [](int) { StepAspectRatio(); }, nullptr, AspectFace},
    {9, "RESET", 151, 4, [](int) { ResetWindowAndLayout(); }},
    {10, "OPT", 155, 5,
     [](int) {
         Settings.RenderToTexture = (Settings.RenderToTexture + 1) % 3;
         InvalidateSnapshot();
     },
     nullptr, OptimiseFace},
    {11, "NRST LIMIT", 164, 6, [](int) { RunRunwayFilterDialog(); }},
    {12, "FULLSCRN", 170, 12, FullscreenKey, nullptr, FullscreenFace},
    {13, "BTN ASSGN", 80, 6, [](int) { RunButtonAssignment(); }},
};

// ---- sublevel 5: line widths ----

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

void StepWidth(int step)
{
    double* width = WidthOfTarget();
    double value = *width + step;
    *width = value < MinLineWidth ? MinLineWidth : value > MaxLineWidth ? MaxLineWidth : value;
}

// Keys 0..3 are the width targets of their own number.
void ChooseWidthTarget(int key) { WidthTarget = key; }

constexpr SoftkeyRow WidthRows[] = {
    {0, "FPLAN", 172, 5, ChooseWidthTarget, IsWidthTarget},
    {1, "VECTOR", 174, 5, ChooseWidthTarget, IsWidthTarget},
    {2, "TRACK", 176, 5, ChooseWidthTarget, IsWidthTarget},
    {3, "DIR TO", 178, 5, ChooseWidthTarget, IsWidthTarget},
    {4, "WIDTH +", 173, 5, StepWidth, nullptr, nullptr, +1},
    {5, "WIDTH -", 175, 5, StepWidth, nullptr, nullptr, -1},
    {6, "ESC", BackTooltip, 16, [](int) { SoftkeyBack(); }},
};

// ---- sublevel 6: the third options page ----

// The transaction counter of the MapQuest tiles, or else the frame rate.
void CounterFace(SoftkeyFace& face, int)
{
    if (IsMapQuestMode()) {
        face.label = "TXCNT";
        face.tooltip = 71;
    }
}

bool IsCounterOn(int) { return IsMapQuestMode() ? Settings.Transactioncounter != 0 : Settings.ShowFPS != 0; }

void FlipCounter(int)
{
    if (IsMapQuestMode())
        Settings.Transactioncounter = !Settings.Transactioncounter;
    else
        Settings.ShowFPS = !Settings.ShowFPS;
}

void FlipKeySize(int)
{
    Settings.TouchMode = !Settings.TouchMode;
    LayoutSoftkeys();
    LayoutScreenButtons();
}

constexpr SoftkeyRow ThirdOptionsRows[] = {
    {0, "LANGUAGE", 201, 2, GoTo<MenuOptions, FirstLanguagePage>, nullptr,
     [](SoftkeyFace& face, int) { face.label = GetNoteText(12); }},
    {1, "FPS", 72, 16, FlipCounter, IsCounterOn, CounterFace},
    {2, "KEY SIZE", 139, 0, FlipKeySize, [](int) { return Settings.TouchMode != 0; }},
    {3, "CLR CACHE", 181, 0, [](int) { CleanTypeCaches(); }},
    {4, "SND/TASK", 160, 6, [](int) { SetSimulatorFocusEnabled(!IsSimulatorFocusEnabled()); },
     [](int) { return IsSimulatorFocusEnabled(); }},
    {5, "ABOUT", 81, 7, [](int) { ShowAboutBox(); }},
    {6, "ESC", BackTooltip, 16, GoTo<MenuOptions, 4>},
    {7, "POSITION", 230, 5, [](int) { Settings.Position = !Settings.Position; },
     [](int) { return Settings.Position != 0; }},
    {8, "C-VECTOR", 231, 5, [](int) { Settings.CurvedVector = !Settings.CurvedVector; },
     [](int) { return Settings.CurvedVector != 0; }},
};

// ---- sublevel 7: airspace colours ----

// A name too long for the setting is not cut into another file's name: the
// colours stay loaded, the setting keeps the file it named before.
static void KeepAirspaceColourFileName(const char* path)
{
    if (std::strlen(path) >= sizeof(Settings.AirspaceFilename)) {
        WriteLogF("Airspace colour file name too long to keep: %s", path);
        return;
    }
    std::memcpy(Settings.AirspaceFilename, path, std::strlen(path) + 1);
}

void ChooseAirspaceColourFile()
{
    char folder[600], path[512] = "";
    std::snprintf(folder, sizeof(folder), "%s/bin", ProgramRoot);
    if (OpenFileDialog("Airspace Color", path, "Airspace color *.bin\0*.bin\0", "BIN", folder) &&
        LoadAirspaceColourFile(path))
        KeepAirspaceColourFileName(path);
}

void SaveAirspaceColourFileAs()
{
    char folder[600], path[512] = "AirspaceDefaultColor.bin";
    std::snprintf(folder, sizeof(folder), "%s/bin", ProgramRoot);
    if (SaveFileDialog("Airspace Color", path, "Airspace color file *.bin\0*.bin\0", "BIN", folder) &&
        SaveAirspaceColourFile(path))
        KeepAirspaceColourFileName(path);
}

// The colour of a class's entry: A to F, then R as the table's last.
void PickAirspaceColour(int entry) { PickColour(&AirspaceColours[entry]); }

// CLASS G shows but chooses nothing.
constexpr SoftkeyRow AirspaceColourRows[] = {
    {0, "CLASS A", 172, 5, PickAirspaceColour},
    {1, "CLASS B", 174, 5, PickAirspaceColour},
    {2, "CLASS C", 176, 5, PickAirspaceColour},
    {3, "CLASS D", 178, 5, PickAirspaceColour},
    {4, "CLASS E", 173, 5, PickAirspaceColour},
    {5, "CLASS F", 175, 5, PickAirspaceColour},
    {6, "ESC", BackTooltip, 16, GoTo<MenuOptions, 4>},
    {7, "CLASS G", 175, 5},
    {8, "CLASS R", 175, 5, PickAirspaceColour, nullptr, nullptr, 7},
    {9, "LOAD", BlankTooltip, 2, [](int) { ChooseAirspaceColourFile(); }},
    {10, "SAVE", BlankTooltip, 2, [](int) { SaveAirspaceColourFileAs(); }},
    {11, " ", BlankTooltip, 2},
    {12, " ", BlankTooltip, 2},
    {13, " ", BlankTooltip, 2},
};

// ---- sublevel 8: the languages ----

// The page lists the languages on every key but the back key.
int LanguageEntryOfKey(int key) { return key > BackSoftkey ? key - 1 : key; }

void ChooseLanguage(int entry)
{
    const char* code = GetLanguageEntryCode(entry);
    if (code && LoadLanguage(code) == 0) {
        std::snprintf(Settings.Language, sizeof(Settings.Language), "%.4s", code);
        WritePrivateProfileStringA(MainSection, "Language", Settings.Language, IniFilePath);
    }
    SetSoftkeyLevel(MenuOptions, 6);
}

bool IsCurrentLanguage(int entry)
{
    const char* code = GetLanguageEntryCode(entry);
    const char* name = GetLanguageEntryName(entry);
    return (name && strcasecmp(name, Settings.Language) == 0) || (code && strcasecmp(code, Settings.Language) == 0);
}

// The languages read now, one to a key; blank keys after them.
std::span<const SoftkeyRow> LanguageRows()
{
    static SoftkeyRow rows[14];
    int count = GetLanguageCount();
    for (int key = 0; key <= 13; ++key) {
        SoftkeyRow& row = rows[key];
        int entry = LanguageEntryOfKey(key);
        if (key == BackSoftkey) {
            row = {key, "ESC", BackTooltip, 16, GoTo<MenuOptions, 6>};
        } else if (entry < count) {
            const char* code = GetLanguageEntryCode(entry);
            row = {key, code ? code : " ", 201, 2, ChooseLanguage, IsCurrentLanguage, nullptr, entry};
        } else {
            row = {key, " ", BlankTooltip, 2};
        }
    }
    return rows;
}

}  // namespace

constinit const SoftkeyPage FirstOptionsPage = {
    .level = MenuOptions, .sublevel = 0, .rows = FirstOptionsRows, .unlisted = ReopenFirstOptions};
// Every key reads the navigation data anew, of the simulator it chose or not.
constinit const SoftkeyPage SimulatorPage = {.level = MenuOptions,
                                             .sublevel = 1,
                                             .rows = SimulatorRows,
                                             .before = [](int) { SimulatorBeforeKey = Settings.UseSimulator.load(); },
                                             .after = AfterSimulatorKey,
                                             .unlisted = ReloadForSimulator};
constinit const SoftkeyPage ColoursPage = {.level = MenuOptions,
                                           .sublevel = 2,
                                           .rows = ColourRows,
                                           .after = FollowMapAfterColourKey,
                                           .unlisted = FollowMapAfterColourKey};
constinit const SoftkeyPage UserMapPage = {.level = MenuOptions, .sublevel = 3, .rows = UserMapRows};
constinit const SoftkeyPage SecondOptionsPage = {.level = MenuOptions, .sublevel = 4, .rows = SecondOptionsRows};
constinit const SoftkeyPage WidthsPage = {.level = MenuOptions, .sublevel = 5, .rows = WidthRows};
constinit const SoftkeyPage ThirdOptionsPage = {.level = MenuOptions, .sublevel = 6, .rows = ThirdOptionsRows};
constinit const SoftkeyPage AirspaceColoursPage = {.level = MenuOptions, .sublevel = 7, .rows = AirspaceColourRows};
constinit const SoftkeyPage LanguagePage = {.level = MenuOptions, .sublevel = 8, .computed = LanguageRows};

void OptionsMenuCommand(int key) { RunSoftkeyPageKey(MenuOptions, key); }

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
    return ReplaceFileContents(path, AirspaceColours, sizeof(AirspaceColours));
}
