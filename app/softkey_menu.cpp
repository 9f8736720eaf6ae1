// The softkey dispatcher, the back key, the click on the softkey bar, the
// exit confirmation, and the main, terrain, plan-edit and airport-tools
// levels with the state they share with the pages.
#include "app/softkey_menu.h"

#include "app/click_zones.h"
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
#include "app/winmain.h"
#include "display/chart_view.h"
#include "display/frame_renderer.h"
#include "display/frame_update.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "maps/tile_grid.h"
#include "navdata/route_navigation.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "platform/threads.h"
#include "render/snapshot.h"
#include "simlink/aerofly_link.h"
#include "simlink/sim_link.h"
#include "simlink/sound.h"
#include "simlink/traffic_advisory.h"
#include "display/chart_view.h"

#include <cstdio>
#include <cstring>

namespace {

const char MainSection[] = "Zorizeruverovu Plovik";

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
uint8_t TrafficModeChanged = 0;

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
    TrafficModeChanged = 1;
}

void ToggleFlightPlanFromKey()
{
    ToggleFlightPlanActive();
    if (IsFlightPlanActive())
        RequestAeroflyPlanSend();
}

void MainPageCommand(int key)
{
    switch (key) {
    case 0:
        // As the page's click zone does: the catalogue maps here are offered.
        SetSoftkeyLevel(MenuMapTypes, 0);
        FindMapTypesAtPosition();
        break;
    case 1: SetSoftkeyLevel(MenuNavData, 0); break;
    case 2:
        // Only a flip of TrackUp changes the grid's shape (square in track-up).
        if (ToggleTrackUpOrientation())
            RefreshMapAtMapCentre();
        InvalidateSnapshot();
        break;
    case 3:
        Settings.Windrose = (Settings.Windrose + 1) % 4;
        if (HasNoWind() && Settings.Windrose >= 2)
            Settings.Windrose = 0;
        break;
    case 4:
        Settings.PlotTrack = !Settings.PlotTrack;
        WriteMainFlag("PlotTrack", Settings.PlotTrack);
        break;
    case 5: ClearTrack(); break;
    case 6: Settings.Softkeys = 0; break;
    case 7: SetSoftkeyLevel(MenuOptions, 0); break;
    case 8:
        Settings.FrameState = (Settings.FrameState + 1) % 2;
        if (Settings.FrameState == 0) {
            SetShowFrameOn();
        } else {
            SetShowFrameOff();
            ClearButtonStates();
        }
        InvalidateSnapshot();
        break;
    case 9: CycleTraffic(); break;
    case 10: Settings.Track = (Settings.Track + 1) % 3; break;
    case 11:
        if (Settings.UseSimulator.load() == SimulatorAerofly)
            SetSoftkeyLevel(MenuMain, 2);
        else
            ToggleFlightPlanFromKey();
        break;
    case 12: ToggleManualPosition(); break;
    case 13: {
        int simulator = Settings.UseSimulator.load();
        if (simulator == SimulatorFlightGear || simulator == SimulatorAerofly)
            SetSoftkeyLevel(MenuMain, 1);
        else
            Settings.MenuState = (Settings.MenuState + 1) % 4;
        break;
    }
    case 14: {
        double lat = 0, lon = 0;
        GetMapCenter(&lat, &lon);
        SimLinkSetPosition(lat, lon);
        LeaveManualPosition();
        break;
    }
    default: break;
    }
}

void InfoPageCommand(int key)
{
    if (key >= 0 && key <= 3) {
        Settings.MenuState = key;
    } else if (key == 4) {
        char viewer[600], log[600];
        std::snprintf(viewer, sizeof(viewer), "%s/CSVViewer/CSVFileView.exe", ProgramRoot);
        // Quoted: the root may hold blanks, and the log is one parameter.
        std::snprintf(log, sizeof(log), "\"%s/Pilotlog.csv\"", SystemFolder);
        RunHelperProgram(viewer, log);
    } else if (key == BackSoftkey) {
        SetSoftkeyLevel(MenuMain, 0);
    }
}

void PlanPageCommand(int key)
{
    switch (key) {
    case 0: ToggleFlightPlanFromKey(); break;
    case 1:
        if (OpenFlightPlanDialog()) {
            FlightPlanLoaded = 1;
            if (!IsFlightPlanActive())
                ToggleFlightPlanActive();
        } else if (IsFlightPlanActive()) {
            ToggleFlightPlanActive();
        }
        PlanEditMode = PlanEditNone;
        break;
    case 2:
        if (IsFlightPlanActive())
            SaveFlightPlanDialog();
        break;
    case 3:
        if (GetWaypointCount() > 0)
            PlanEditMode = PlanEditMode == PlanEditDelete ? PlanEditNone : PlanEditDelete;
        break;
    case 4:
        if (GetWaypointCount() > 0)
            PlanEditMode = PlanEditMode == PlanEditInsert ? PlanEditNone : PlanEditInsert;
        break;
    case 5: ToggleManualPosition(); break;
    case 6:
        SetSoftkeyLevel(MenuMain, 0);
        PlanEditMode = PlanEditNone;
        LeaveManualPosition();
        SetNavaidsShown(false);
        break;
    case 7: SetNavaidsShown(!ShowNavaids); break;
    default: break;
    }
}

void CycleFlightMode()
{
    if (Settings.PilotFlightmode < 0)
        Settings.PilotFlightmode = GetAutoFlightMode();
    else
        Settings.PilotFlightmode = (Settings.PilotFlightmode + 1) % 3;
}

void ToggleTerrainProfile()
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

}  // namespace

// ---- dispatch ----

void RefreshMapAtMapCentre()
{
    double lat = 0, lon = 0;
    GetMapCenter(&lat, &lon);
    RequestMapRefresh(lat, lon, ViewWidth, ViewHeight, 1);
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
    switch (level) {
    case MenuMain: MainMenuCommand(key); break;
    case MenuTerrain: TawsMenuCommand(key); break;
    case MenuPlanEdit: PlanEditMenuCommand(key); break;
    case MenuNavData: NavDataMenuCommand(key); break;
    case MenuMapSources: MapSourceMenuCommand(key); break;
    case MenuOptions: OptionsMenuCommand(key); break;
    case MenuMapTypes: MapTypeMenuCommand(key); break;
    case MenuAirportTools: AirportToolsMenuCommand(key); break;
    case MenuChart: ChartMenuCommand(key); break;
    default: break;
    }
}

void SoftkeyCommand(uint32_t key)
{
    if (Settings.Softkeys) {
        RunLevelHandler(Settings.Softkeylevel, static_cast<int>(key));
        return;
    }
    if (key == ExitSoftkey) {
        ExitWithConfirmation();
        PlaySoundNumber(2);
    } else if (key == BackSoftkey) {
        OpenSoftkeyBar();
    }
}

void OpenSoftkeyBar()
{
    PageWatch watch;
    Settings.Softkeys = 1;
    PlaySoundNumber(2);
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
        PlaySoundNumber(2);
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

void MainMenuCommand(int key)
{
    int page = Settings.Softkeysublevel;
    if (page == 0)
        MainPageCommand(key);
    else if (page == 1)
        InfoPageCommand(key);
    else
        PlanPageCommand(key);
}

void TawsMenuCommand(int key)
{
    Settings.Softkeysublevel = 0;
    switch (key) {
    case 0: Settings.TAWSOn = !Settings.TAWSOn; break;
    case 1: Settings.Terrainmap = Settings.Terrainmap % 3 + 1; break;
    case 2:
        Settings.TAWS = !Settings.TAWS;
        if (!Settings.Terrainstate)
            Settings.Terrainstate = 1;
        break;
    case 3: CycleFlightMode(); break;
    case 4: ClearTerrainAlert(); break;
    case 5: TerrainLegende = !TerrainLegende; break;
    case 6: SoftkeyBack(); break;
    case 7: TerrainElevation = !TerrainElevation; break;
    case 8:
        TerrainObstacleFlag = !TerrainObstacleFlag;
        InvalidateSnapshot();
        break;
    case 9: MSAinFlightplan = !MSAinFlightplan; break;
    case 10: Sealevel = !Sealevel; break;
    case 11: Settings.GPWSOn = !Settings.GPWSOn; break;
    case 12:
        RunGpwsThresholdDialog();
        break;
    case 13: ToggleTerrainProfile(); break;
    default: break;
    }
}

void PlanEditMenuCommand(int key)
{
    if (key == 0)
        SetSoftkeyLevel(MenuMain, 0);
}

void AirportToolsMenuCommand(int key)
{
    switch (key) {
    case 0: ToggleNearestPage(); break;
    case 1: ToggleDirToNearest(); break;
    case 2:
        Settings.DynamicSoftkeys = !Settings.DynamicSoftkeys;
        PlaySoundNumber(2);
        break;
    case 3: WindArrowMode = !WindArrowMode; break;
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

bool IsFlightPlanActive() { return Settings.FlightPlanState != 0; }

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

uint8_t IsTrafficModeChanged() { return TrafficModeChanged; }

void ClearTrafficModeChanged() { TrafficModeChanged = 0; }

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
