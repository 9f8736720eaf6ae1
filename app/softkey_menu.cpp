// The softkey dispatcher, the back key, the click on the softkey bar, the
// exit confirmation, and the page tables of the main, terrain, plan-edit and
// airport-tools levels with the state their keys share.
#include "app/softkey_menu.h"
#include "app/softkey_page_tables.h"

#include "app/click_zones.h"
#include "app/frame_driver.h"
#include "app/language.h"
#include "platform/log.h"
#include "app/layout_tables.h"
#include "app/helper_dialogs.h"
#include "maps/terrain_awareness.h"
#include "navdata/flight_plan_edit.h"
#include "app/program_root.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/track_ring.h"
#include "simlink/traffic_mode.h"
#include "app/winmain.h"
#include "display/frame_renderer.h"
#include "display/frame_update.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "maps/tile_grid.h"
#include "navdata/route_navigation.h"
#include "platform/ini_sections.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "platform/threads.h"
#include "render/snapshot.h"
#include "simlink/aerofly_link.h"
#include "simlink/sim_link.h"
#include "simlink/sound.h"
#include "simlink/traffic_advisory.h"
#include "display/chart_view.h"
#include "app/file_dialogs.h"

#include <cstdio>
#include <cstring>

namespace {


// The softkey drawn pressed after a click on the bar, and when.
int PressedSoftkey = -1;
double PressedTime = -1.0e9;
// How long a clicked softkey is drawn pressed.
constexpr double PressedShowSeconds = 0.5;

int PlanEditMode = PlanEditNone;
uint8_t FlightPlanLoaded = 0;
// The flight-plan page's SHOW NAV switch and the navaid settings it replaced.
uint8_t ShowNavaids = 0;
uint8_t SavedShowFix = 0, SavedNavVOR = 0, SavedNavNDB = 0;
// The manual position mode's saved view.
uint8_t SavedTrackUp = 0;
uint8_t SavedTerrainstate = 0;

double NowSeconds()
{
    return static_cast<double>(ProgramClockMs()) / 1000.0;
}

// The wind the rose shows; a rose with wind figures makes no sense without wind.
bool HasNoWind()
{
    float direction = 0, speed = 0;
    GetWindDirectionAndSpeed(&direction, &speed);
    return speed == 0.0f;
}

void WriteMainFlag(const char* key, uint8_t value)
{
    WritePrivateProfileStringA(MainSection, key, value ? "1" : "0", IniFilePath);
}

void SetNavaidsShown(bool on)
{
    if (on == (ShowNavaids != 0))
        return;
    ShowNavaids = on ? 1 : 0;
    if (on) {
        SavedShowFix = Settings.ShowFix;
        SavedNavVOR = Settings.NavVOR;
        SavedNavNDB = Settings.NavNDB;
        Settings.ShowFix = Settings.NavVOR = Settings.NavNDB = 1;
    } else {
        Settings.ShowFix = SavedShowFix;
        Settings.NavVOR = SavedNavVOR;
        Settings.NavNDB = SavedNavNDB;
    }
}

// The next frame applies the wanted mode at the link: starts the traffic
// data, or stops it and clears the targets.
void CycleTraffic()
{
    int mode = Settings.UseSimulator.load() == SimulatorAerofly ? 0 : (Settings.RadarMode + 1) % 3;
    Settings.RadarMode = mode;
    MarkTrafficModeChanged();
}

void ToggleFlightPlanFromKey()
{
    ToggleFlightPlanActive();
    if (IsFlightPlanActive())
        RequestAeroflyPlanSend();
}

// ---- page 0: main ----

void OpenMapTypes(int)
{
    // As the page's click zone does: the catalogue maps here are offered.
    SetSoftkeyLevel(MenuMapTypes, 0);
    FindMapTypesAtPosition();
}

void FlipOrientation(int)
{
    // Only a flip of TrackUp changes the grid's shape (square in track-up).
    if (ToggleTrackUpOrientation())
        RefreshMapAtMapCentre();
    InvalidateSnapshot();
}

void OrientationFace(SoftkeyFace& face, int)
{
    if (Settings.TrackUp) {
        face.label = "TRACK UP";
        face.tooltip = 112;
    }
}

void StepWindrose(int)
{
    Settings.Windrose = (Settings.Windrose + 1) % 4;
    if (HasNoWind() && Settings.Windrose >= 2)
        Settings.Windrose = 0;
}

void FlipPlotTrack(int)
{
    Settings.PlotTrack = !Settings.PlotTrack;
    WriteMainFlag("PlotTrack", Settings.PlotTrack);
}

void FlipPanel(int)
{
    Settings.FrameState = (Settings.FrameState + 1) % 2;
    if (Settings.FrameState == 0) {
        SetShowFrameOn();
    } else {
        SetShowFrameOff();
        ClearButtonStates();
    }
    InvalidateSnapshot();
}

// Yellow while only the AI traffic is shown; Aerofly FS 2 has no traffic.
void TrafficFace(SoftkeyFace& face, int)
{
    if (Settings.UseSimulator.load() == SimulatorAerofly)
        face.tint = SoftkeyGrey;
    else if (TrafficDisplayMode == 1)
        face.tint = SoftkeyYellow;
}

void FlightPlanKey(int)
{
    if (Settings.UseSimulator.load() == SimulatorAerofly)
        SetSoftkeyLevel(MenuMain, 2);
    else
        ToggleFlightPlanFromKey();
}

void InfoKey(int)
{
    int simulator = Settings.UseSimulator.load();
    if (simulator == SimulatorFlightGear || simulator == SimulatorAerofly)
        SetSoftkeyLevel(MenuMain, 1);
    else
        Settings.MenuState = (Settings.MenuState + 1) % 4;
}

void SetPositionKey(int)
{
    double lat = 0, lon = 0;
    GetMapCenter(&lat, &lon);
    SimLinkSetPosition(lat, lon);
    LeaveManualPosition();
}

bool IsManualPositionOn(int) { return ManualPositionMode.load() != 0; }

// SET POS. only while the map chooses a position the simulator can take.
void SetPositionFace(SoftkeyFace& face, int)
{
    bool offered = ManualPositionMode.load() != 0 && ManualPositionValid.load() == 1 &&
                   Settings.UseSimulator.load() != SimulatorAerofly;
    if (!offered)
        face.label = nullptr;
}

bool IsFlightPlanOn(int) { return IsFlightPlanActive(); }

// key, label, tooltip, label offset, action, lit when, face rule, choice
constexpr SoftkeyRow MainRows[] = {
    {0, "MAP", 14, 16, OpenMapTypes},
    {1, "NAV", 111, 16, [](int) { SetSoftkeyLevel(MenuNavData, 0); }},
    {2, "NORTH UP", 161, 0, FlipOrientation, nullptr, OrientationFace},
    {3, "ROSE", 113, 12, StepWindrose, [](int) { return Settings.Windrose > 0; }},
    {4, "TRK", 103, 6, FlipPlotTrack, [](int) { return Settings.PlotTrack != 0; }},
    {5, "CLR TRK", 104, 6, [](int) { ClearTrack(); }},
    {6, "ESC", 17, 16, [](int) { Settings.Softkeys = 0; }},
    {7, "CONFIG", 108, 6, [](int) { SetSoftkeyLevel(MenuOptions, 0); }},
    {8, "PANEL", 0, 10, FlipPanel, [](int) { return GetShowFrame() != 0; }},
    {9, "TCAS/AI", 105, 4, [](int) { CycleTraffic(); }, [](int) { return TrafficDisplayMode == 2; }, TrafficFace},
    {10, "VECTOR", 106, 8, [](int) { Settings.Track = (Settings.Track + 1) % 3; },
     [](int) { return Settings.Track > 0; }},
    {11, "FLT PLN", 107, 6, FlightPlanKey, IsFlightPlanOn},
    {12, "MOVE MAP", 188, 5, [](int) { ToggleManualPosition(); }, IsManualPositionOn},
    {13, "INFO", 129, 12, InfoKey, [](int) { return Settings.MenuState > 0; }},
    {14, "SET POS.", 189, 12, SetPositionKey, nullptr, SetPositionFace},
};

// ---- page 0, sublevel 1: information ----

void OpenPilotLog(int)
{
    char viewer[600], log[600];
    std::snprintf(viewer, sizeof(viewer), "%s/CSVViewer/CSVFileView.exe", ProgramRoot);
    // Quoted: the root may hold blanks, and the log is one parameter.
    std::snprintf(log, sizeof(log), "\"%s/Pilotlog.csv\"", SystemFolder);
    RunHelperProgram(viewer, log);
}

// Keys 0..3 are the information modes of their own number.
void SetMenuState(int key) { Settings.MenuState = key; }
bool IsMenuState(int key) { return Settings.MenuState == key; }

constexpr SoftkeyRow InformationRows[] = {
    {0, "NO INFO", 215, 16, SetMenuState, IsMenuState},
    {1, "INFO", 216, 16, SetMenuState, IsMenuState},
    {2, "STATE INFO", 217, 0, SetMenuState, IsMenuState},
    {3, "FPL INFO", 218, 0, SetMenuState, IsMenuState},
    {4, "PILOTLOG", 214, 12, OpenPilotLog},
    {5, "", 33, 12},
    {6, "ESC", 17, 16, [](int) { SetSoftkeyLevel(MenuMain, 0); }},
};

// ---- page 0, sublevel 2: flight plan ----

void LoadPlanKey(int)
{
    if (OpenFlightPlanDialog()) {
        FlightPlanLoaded = 1;
        if (!IsFlightPlanActive())
            ToggleFlightPlanActive();
    } else if (IsFlightPlanActive()) {
        ToggleFlightPlanActive();
    }
    PlanEditMode = PlanEditNone;
}

void SavePlanKey(int)
{
    if (IsFlightPlanActive())
        SaveFlightPlanDialog();
}

// DEL WPT and ADD WPT: their edit mode, or none again.
void StepEditMode(int mode)
{
    if (GetWaypointCount() > 0)
        PlanEditMode = PlanEditMode == mode ? PlanEditNone : mode;
}

bool IsEditMode(int mode) { return PlanEditMode == mode; }

void GreyWithoutLeg(SoftkeyFace& face, int)
{
    if (GetWaypointCount() < 2)
        face.tint = SoftkeyGrey;
}

void LeavePlanPage(int)
{
    SetSoftkeyLevel(MenuMain, 0);
    PlanEditMode = PlanEditNone;
    LeaveManualPosition();
    SetNavaidsShown(false);
}

constexpr SoftkeyRow FlightPlanRows[] = {
    {0, "AFS2 PLN", 107, 16, [](int) { ToggleFlightPlanFromKey(); }, IsFlightPlanOn},
    {1, "LOAD PLN", 219, 16, LoadPlanKey},
    {2, "SAVE PLN", 220, 0, SavePlanKey},
    {3, "DEL WPT", 221, 0, StepEditMode, IsEditMode, GreyWithoutLeg, PlanEditDelete},
    {4, "ADD WPT", 222, 0, StepEditMode, IsEditMode, GreyWithoutLeg, PlanEditInsert},
    {5, "MOVE MAP", 223, 12, [](int) { ToggleManualPosition(); }, IsManualPositionOn},
    {6, "ESC", 17, 16, LeavePlanPage},
    {7, "SHOW NAV", 224, 12, [](int) { SetNavaidsShown(!ShowNavaids); }, [](int) { return ShowNavaids != 0; }},
};

// ---- page 1: terrain ----

void CycleFlightMode(int)
{
    if (Settings.PilotFlightmode < 0)
        Settings.PilotFlightmode = GetAutoFlightMode();
    else
        Settings.PilotFlightmode = (Settings.PilotFlightmode + 1) % 3;
}

void ToggleTerrainProfile(int)
{
    Settings.TerrainProfile = !Settings.TerrainProfile;
    if (!Settings.TerrainProfile)
        return;
    if (GetShowFrame())
        Settings.Softkeys = 0;
    if (TileMapFlag.load() && GetWantedZoom() < 10) {
        int started = 0;
        ZoomInAndRefresh(&started);
    }
}

void TerrainModeFace(SoftkeyFace& face, int)
{
    static const char* const Labels[4] = {"MODE", "MODE 1", "MODE 2", "MODE 3"};
    static const int Tooltips[4] = {20, 21, 22, 20};
    int mode = Settings.Terrainmap;
    int m = mode >= 0 && mode <= 2 ? mode : 3;
    face.label = Labels[m];
    face.lit = m >= 1;
    face.tooltip = Tooltips[m];
}

const char* FlightPhaseName(int phase) { return phase == 0 ? "DEPART" : phase == 1 ? "ENROUTE" : "APPR"; }

// The pilot's flight phase, or in yellow the one the aircraft's height chose.
void FlightPhaseFace(SoftkeyFace& face, int)
{
    static char label[16];
    bool chosen = Settings.PilotFlightmode >= 0;
    int phase = chosen ? Settings.PilotFlightmode : GetAutoFlightMode();
    std::snprintf(label, sizeof label, " %s", FlightPhaseName(phase));
    face.label = label;
    if (!chosen) {
        face.tooltip = 27;
        face.tint = SoftkeyYellow;
    }
}

void FlipObstacles(int)
{
    TerrainObstacleFlag = !TerrainObstacleFlag;
    InvalidateSnapshot();
}

void FlipPath(int)
{
    Settings.TAWS = !Settings.TAWS;
    if (!Settings.Terrainstate)
        Settings.Terrainstate = 1;
}

constexpr SoftkeyRow TerrainRows[] = {
    {0, "TAWS", 19, 10, [](int) { Settings.TAWSOn = !Settings.TAWSOn; }, [](int) { return Settings.TAWSOn != 0; }},
    {1, "MODE", 20, 5, [](int) { Settings.Terrainmap = Settings.Terrainmap % 3 + 1; }, nullptr, TerrainModeFace},
    {2, " PATH", 25, 10, FlipPath, [](int) { return Settings.TAWS > 0; }},
    {3, " DEPART", 26, 0, CycleFlightMode, [](int) { return true; }, FlightPhaseFace},
    {4, "DISABLE", 24, 12, [](int) { ClearTerrainAlert(); }, [](int) { return IsTerrainAlertActive(); }},
    {5, " LEGEND", 30, 0, [](int) { TerrainLegende = !TerrainLegende; }, [](int) { return TerrainLegende != 0; }},
    {6, "ESC", 17, 16, [](int) { SoftkeyBack(); }},
    {7, " ELEVATION", 31, 12, [](int) { TerrainElevation = !TerrainElevation; },
     [](int) { return TerrainElevation != 0; }},
    {8, "OBSTACLE", 32, 16, FlipObstacles, [](int) { return TerrainObstacleFlag != 0; }},
    {9, "MEA in FP", 150, 0, [](int) { MSAinFlightplan = !MSAinFlightplan; }, [](int) { return MSAinFlightplan != 0; }},
    {10, "LEVEL ", 149, 0, [](int) { Sealevel = !Sealevel; }, [](int) { return Sealevel == 1; }},
    {11, "GPWS ", 191, 7, [](int) { Settings.GPWSOn = !Settings.GPWSOn; }, [](int) { return Settings.GPWSOn != 0; }},
    {12, "TAWS DATA", 192, 7, [](int) { RunGpwsThresholdDialog(); }},
    {13, "PROFILE ", 193, 7, ToggleTerrainProfile, [](int) { return Settings.TerrainProfile != 0; }},
};

// ---- page 2: plan edit; page 7: airport tools (keys without faces) ----

constexpr SoftkeyRow PlanEditRows[] = {
    {0, nullptr, 0, 0, [](int) { SetSoftkeyLevel(MenuMain, 0); }},
};

void FlipDynamicSoftkeys(int)
{
    Settings.DynamicSoftkeys = !Settings.DynamicSoftkeys;
    PlaySoundNumber(SoundClick);
}

constexpr SoftkeyRow AirportToolsRows[] = {
    {0, nullptr, 0, 0, [](int) { ToggleNearestPage(); }},
    {1, nullptr, 0, 0, [](int) { ToggleDirToNearest(); }},
    {2, nullptr, 0, 0, FlipDynamicSoftkeys},
    {3, nullptr, 0, 0, [](int) { WindArrowMode = !WindArrowMode; }},
};

}  // namespace

constinit const SoftkeyPage MainPage = {.level = MenuMain, .sublevel = 0, .rows = MainRows};
constinit const SoftkeyPage InformationPage = {.level = MenuMain, .sublevel = 1, .rows = InformationRows};
constinit const SoftkeyPage FlightPlanPage = {.level = MenuMain, .sublevel = 2, .rows = FlightPlanRows};
// Every key of the terrain page leaves its sublevel at 0.
constinit const SoftkeyPage TerrainPage = {.level = MenuTerrain,
                                           .sublevel = 0,
                                           .rows = TerrainRows,
                                           .before = [](int) { Settings.Softkeysublevel = 0; }};
constinit const SoftkeyPage PlanEditPage = {.level = MenuPlanEdit, .sublevel = 0, .rows = PlanEditRows};
constinit const SoftkeyPage AirportToolsPage = {.level = MenuAirportTools, .sublevel = 0, .rows = AirportToolsRows};
constinit const SoftkeyPage NoActionPage = {.level = MenuNoAction, .sublevel = 0, .rows = {}};

// ---- dispatch ----

// The grid is sized for the whole client area, as at start-up; the view
// size the frame keeps is half the map area and left the map's sides empty.
void RefreshMapAtMapCentre()
{
    double lat = 0, lon = 0;
    GetMapCenter(&lat, &lon);
    RECT client{};
    GetClientRectCached(&client);
    RequestMapRefresh(lat, lon, client.right - client.left, client.bottom - client.top, 1);
}

namespace {

// The page the bar shows after a key, in the log (debug mode) when it changed.
class PageWatch {
public:
    PageWatch() : level_(Settings.Softkeylevel), page_(Settings.Softkeysublevel), softkeys_(Settings.Softkeys) {}
    ~PageWatch()
    {
        if (level_ != Settings.Softkeylevel || page_ != Settings.Softkeysublevel || softkeys_ != Settings.Softkeys)
            WriteLogF("Softkey page %d/%d%s", Settings.Softkeylevel, Settings.Softkeysublevel,
                      Settings.Softkeys ? "" : " (top bar)");
    }

private:
    int level_, page_;
    uint8_t softkeys_;
};

}  // namespace

void RunLevelHandler(int level, int key)
{
    PageWatch watch;
    RunSoftkeyPageKey(level, key);
}

void SoftkeyCommand(uint32_t key)
{
    if (Settings.Softkeys) {
        RunLevelHandler(Settings.Softkeylevel, static_cast<int>(key));
        return;
    }
    if (key == ExitSoftkey) {
        ExitWithConfirmation();
        PlaySoundNumber(SoundClick);
    } else if (key == BackSoftkey) {
        OpenSoftkeyBar();
    }
}

void OpenSoftkeyBar()
{
    PageWatch watch;
    Settings.Softkeys = 1;
    PlaySoundNumber(SoundClick);
}

int AskExitConfirmation()
{
    return MessageBoxA(nullptr, GetGeneralText(15), "Zorizeruverovu Plovik",
                       MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL | MB_TOPMOST);
}

void ExitWithConfirmation()
{
    if (AskExitConfirmation() == IDYES)
        SetQuitRequest();
}

// ---- the softkey bar ----

int SoftkeyRowLine()
{
    int line = SoftkeyRowY;
    if (!GetShowFrame())
        line += 480 - ScreenLayout.MapRectY - ScreenLayout.MapRectH;
    return line;
}

int SoftkeyColumnAt(int x)
{
    double width = ScreenLayout.MapRectW / 7.0;
    for (int c = 0; c < SoftkeysPerRow; ++c) {
        double left = ScreenLayout.MapRectX + c * width;
        if (left < x && x < left + width)
            return c;
    }
    return -1;
}

bool SoftkeyBarClick(int x, int y)
{
    int column = SoftkeyColumnAt(x);
    if (column < 0)
        return false;
    int line = SoftkeyRowLine();
    int step = SoftkeyRowStep;
    int row;
    if (y > line)
        row = 0;
    else if (y > line - step && SoftkeyLabelBoxes[SoftkeysPerRow].shown)
        row = 1;
    else if (y > line - 2 * step && y <= line - step && SoftkeyLabelBoxes[2 * SoftkeysPerRow].shown)
        row = 2;
    else
        return false;
    int key = row * SoftkeysPerRow + column;
    PressedSoftkey = key;
    if (GetShowFrame())
        PressedTime = NowSeconds();
    if (Settings.Softkeylevel >= MenuMain && Settings.Softkeylevel <= MenuChart)
        PlaySoundNumber(SoundClick);
    RunLevelHandler(Settings.Softkeylevel, key);
    return true;
}

int GetPressedSoftkey()
{
    if (PressedSoftkey >= 0 && NowSeconds() - PressedTime > PressedShowSeconds)
        PressedSoftkey = -1;
    return PressedSoftkey;
}

// ---- levels and pages ----

void SetSoftkeyLevel(int level, int sublevel)
{
    Settings.Softkeylevel = level;
    Settings.Softkeysublevel = sublevel;
}

int GetSoftkeyLevel() { return Settings.Softkeylevel; }

int GetSoftkeySublevel() { return Settings.Softkeysublevel; }

bool IsPlanEditSoftkeyPage()
{
    return Settings.Softkeylevel == MenuMain && Settings.Softkeysublevel == 2;
}

void SoftkeyBack()
{
    int level = Settings.Softkeylevel;
    int page = Settings.Softkeysublevel;
    Settings.Softkeysublevel = 0;
    switch (level) {
    case MenuMain: Settings.Softkeys = 0; break;
    case MenuTerrain: SetSoftkeyLevel(MenuOptions, 0); break;
    case MenuNavData: SetSoftkeyLevel(page == 0 ? MenuMain : MenuNavData, 0); break;
    case MenuOptions:
        if (page == 0) {
            SetSoftkeyLevel(MenuMain, 0);
        } else if (page == 3) {
            FitChartToScreen();
            SetSoftkeyLevel(MenuMain, 0);
            Settings.AirportChart = 0;
        } else if (page == 6) {
            SetSoftkeyLevel(MenuOptions, 4);
        } else {
            SetSoftkeyLevel(MenuOptions, 0);
        }
        break;
    case MenuMapTypes: SetSoftkeyLevel(MenuMain, 0); break;
    default: break;
    }
}

// ---- shared state ----

bool ToggleTrackUpOrientation()
{
    if (HeadingOverride.on) {
        HeadingOverride.on = 0;
        HeadingOverride.heading = 0.0;
        return false;
    }
    if (NorthUpMode) {
        NorthUpMode = 0;
        return false;
    }
    Settings.TrackUp = !Settings.TrackUp;
    if (!Settings.TrackUp && IsMapHeadingHeld())
        NorthUpMode = 1;
    return true;
}

void ToggleFlightPlanActive()
{
    uint8_t state = Settings.FlightPlanState ? 0 : 1;
    SetFlightPlanState(state);
    if (state) {
        double height = 0;
        SimLinkGetVar(SimVarHeightAboveGround, &height);
        SetFlightModeAuto(height);
    }
    ClearDeparturePassed();
    if (!state)
        FlightPlanLoaded = 0;
}

void ActivateFlightPlan()
{
    SetFlightPlanState(1);
    double height = 0;
    SimLinkGetVar(SimVarHeightAboveGround, &height);
    SetFlightModeAuto(height);
    ClearDeparturePassed();
}

int GetPlanEditMode() { return PlanEditMode; }

void SetPlanEditMode(int mode)
{
    PlanEditMode = mode >= PlanEditNone && mode <= PlanEditInsert ? mode : PlanEditNone;
}

bool IsShowNavaidsOn() { return ShowNavaids != 0; }

void ToggleManualPosition()
{
    bool on = !ManualPositionMode.load();
    ManualPositionMode = on ? 1 : 0;
    if (on) {
        SavedTrackUp = Settings.TrackUp;
        Settings.TrackUp = 0;
        SavedTerrainstate = Settings.Terrainstate;
        if (SavedTerrainstate)
            Settings.Terrainstate = 0;
    } else {
        Settings.TrackUp = SavedTrackUp;
        if (SavedTerrainstate)
            Settings.Terrainstate = 1;
    }
    ForgetClickAnchor();
}

void LeaveManualPosition()
{
    if (ManualPositionMode.load())
        ToggleManualPosition();
}

void SetShowFrameFlag(uint8_t shown) { Settings.ShowFrame = shown ? 1 : 0; }

void SetShowFrameOn()
{
    SetShowFrameFlag(1);
    SetViewportRect(0, true);
}

void SetShowFrameOff()
{
    SetShowFrameFlag(0);
    SetViewportRect(0, false);
}

void LeaveAirportChart()
{
    if (!Settings.AirportChart)
        return;
    FitChartToScreen();
    Settings.AirportChart = 0;
}
