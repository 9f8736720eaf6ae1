// The handlers of the bezel's click zones, the map-area router, the zoom
// steps and the scale bar, plan edits on the map and the NEAREST page.
#include "app/click_zones.h"
#include "app/status_message.h"

#include "app/layout_tables.h"
#include "app/main_window.h"
#include "maps/terrain_awareness.h"
#include "navdata/flight_plan_edit.h"
#include "display/airport_boxes.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/airport_view.h"
#include "display/chart_view.h"
#include "display/frame_renderer.h"
#include "display/frame_update.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "display/traffic_follow.h"
#include "display/screen_buttons.h"
#include "display/text_boxes.h"
#include "display/zoom_animation.h"
#include "maps/local_maps.h"
#include "maps/tile_grid.h"
#include "navdata/nearest_airports.h"
#include "platform/units.h"
#include "render/snapshot.h"
#include "simlink/aerofly_link.h"
#include "simlink/sim_link.h"
#include "simlink/sound.h"
#include "display/chart_view.h"
#include "maps/airport_charts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

uint8_t TransparencyControls = 0;

namespace {

uint8_t UserActivity = 0;
// The zoom zones share one re-entry guard; the map router has its own.
uint8_t ZoomZoneBusy = 0;
uint8_t MapRouterBusy = 0;
uint8_t MapClicked = 0;
// The manual position's drag anchor; -200 = none.
constexpr int NoAnchor = -200;
int AnchorX = NoAnchor, AnchorY = NoAnchor;
uint8_t DirToNearest = 0;
// The NEAREST page's saved view.
uint8_t SavedAirportOverlay = 1;
uint8_t SavedPanning = 0;
int SoftkeyTooltipValues[SoftkeyCount] = {};
int ReleaseX = 0, ReleaseY = 0;
// The last plan edit's point: a second click there edits nothing.
int LastEditX = -1, LastEditY = -1;

// Brightness stays visible: the settings reader holds the same floor.
constexpr int MinDimLevel = 50;
constexpr int MaxDimLevel = 255;
constexpr float TransparencyStep = 0.04f;

int Clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

// The step of a knob zone: a left click turns it the zone's way, the wheel
// as it turns (forward up, back down); anything else is no step.
int KnobStep(int32_t event, int leftClick)
{
    switch (event) {
    case ZoneLeftClick: return leftClick;
    case ZoneWheelForward: return 1;
    case ZoneWheelBack: return -1;
    default: return 0;
    }
}

void StepDimLevel(int direction)
{
    if (direction == 0)
        return;
    Settings.Dimlevel = Clamp(Settings.Dimlevel + 10 * direction, MinDimLevel, MaxDimLevel);
    InvalidateSnapshot();
}

void StepTerrainTransparency(int direction)
{
    if (direction == 0 || !TransparencyControls || !Settings.Terrainstate || Settings.Terrainmap <= 0)
        return;
    float value = Settings.TerrainTransparency + TransparencyStep * static_cast<float>(direction);
    Settings.TerrainTransparency = value < 0.0f ? 0.0f : value > 1.0f ? 1.0f : value;
}

void StepAirportMapTransparency(int direction)
{
    bool airportMap =
        Settings.ReferencedAirportMapDisplayed || (Settings.AirportOverlay && Settings.NavAirport);
    if (direction == 0 || !TransparencyControls || !airportMap)
        return;
    Settings.AirportMapTransparency = Clamp(Settings.AirportMapTransparency + 10 * direction, 0, 255);
    if (Settings.AirportOverlay)
        InvalidateSnapshot();
}

bool InAirportDiagram()
{
    return Settings.SelectedAirport[0] && std::strcmp(Settings.SelectedAirport, "NEAREST") != 0;
}

// One zoom step of a direction: -1 out, +1 in.
void ZoomStep(int direction)
{
    UserActivity = 1;
    PixelsPerDegreeKnown = 0;
    if (Settings.GPSMode == 0 && InAirportDiagram() && !Settings.AirportOverlay) {
        Settings.TaxiwayZoomfactor *= direction < 0 ? 0.9 : 1.1;
        InvalidateSnapshot();
        return;
    }
    if (Settings.AirportChart) {
        ZoomChart(direction < 0 ? 0.6666667f : 1.5f);
        return;
    }
    if (TileMapFlag.load()) {
        // A step whose loader ended without showing its grid is over.
        if (IsTileZoomPending(direction) && !IsTileLoaderBusy())
            SetTileZoomPending(direction, false);
        if (IsTileZoomPending(direction)) {
            PlaySoundNumber(SoundRefused);
            return;
        }
        PlaySoundNumber(StartTileZoomStep(direction) ? SoundClick : SoundRefused);
        return;
    }
    // A local raster map: its five chart levels, with fine steps below level 0.
    if (IsLocalZoomRequested() || GetLocalMapSource() < DefaultMapSource ||
        (direction < 0 && CurrentChartLevel == 4)) {
        PlaySoundNumber(SoundRefused);
        return;
    }
    int steps = std::clamp(ChartZoomOutSteps, 0, MaxChartZoomOutSteps);
    bool coarse = false;
    if (direction < 0) {
        if (ChartZoomOutSteps > 0)
            ChartZoomOutSteps--;
        else
            coarse = true;
    } else if (CurrentChartLevel < 1) {
        if (ChartZoomOutSteps >= MaxChartZoomOutSteps) {
            PlaySoundNumber(SoundRefused);
            return;
        }
        ChartZoomOutSteps++;
    } else {
        coarse = true;
    }
    if (coarse) {
        double scale = GetLocalMapScale();
        if (direction < 0 && (scale > 8.0 || std::isnan(scale)))
            PlaySoundNumber(SoundRefused);
        int shown = GetShownLocalMapLevel();
        CurrentChartLevel += direction < 0 ? 1 : -1;
        RequestLocalLevelZoom(shown, CurrentChartLevel);
        SetLocalMapSource(0);
        StartLocalMapTileLoader();
    } else {
        RequestLocalStepZoom(steps, std::clamp(ChartZoomOutSteps, 0, MaxChartZoomOutSteps));
    }
    PlaySoundNumber(SoundClick);
}

void ScaleMapValue(int direction)
{
    UserActivity = 1;
    PixelsPerDegreeKnown = 0;
    double value = GetMapScaleValue();
    if (direction < 0)
        value *= 2.0;
    else if (value / 2.0 >= MinMapScaleValue)
        value /= 2.0;
    SetMapScaleValue(value);
    PlaySoundNumber(SoundClick);
}

bool RunZoomZone(uint32_t point, int32_t event, void (*step)(uint32_t, int32_t))
{
    UserActivity = 1;
    if (ZoomZoneBusy || IsAeroflyLoaderBusy())
        return false;
    ZoomZoneBusy = 1;
    step(point, event);
    ZoomZoneBusy = 0;
    return false;
}

void CycleWindroseSetting()
{
    Settings.Windrose = (Settings.Windrose + 1) % 4;
    float direction = 0, speed = 0;
    GetWindDirectionAndSpeed(&direction, &speed);
    if (speed == 0.0f && Settings.Windrose > 1)
        Settings.Windrose = 0;
}

// The NEAREST and APT boxes of the map.
void TestMapBoxes(int x, int y)
{
    if (HitTestNearestBox(static_cast<float>(x), static_cast<float>(y))) {
        Settings.DirToVector = !Settings.DirToVector;
        // The line blinks: without a word the click seemed to do nothing.
        ShowStatusMessage(Settings.DirToVector ? "Direct-to line to the nearest airport on"
                                               : "Direct-to line to the nearest airport off");
    }
    if (HitTestAptBox(static_cast<float>(x), static_cast<float>(y)))
        ToggleNearestPage();
}

// The top bar (MENU and EXIT) or the softkey bar; true when it took the click.
bool ClickSoftkeys(int x, int y)
{
    if (Settings.Softkeys)
        return SoftkeyBarClick(x, y);
    if (y <= SoftkeyRowLine())
        return false;
    int column = SoftkeyColumnAt(x);
    if (column == BackSoftkey) {
        OpenSoftkeyBar();
    } else if (column == ExitSoftkey) {
        ExitWithConfirmation();
        PlaySoundNumber(SoundClick);
    }
    return true;
}

void MapLeftClick(int x, int y)
{
    if (IsScreenMessageShown()) {
        HideScreenMessage();
        if (AirportDiagramView.panning)
            RequestAirportViewRedraw();
        MapClicked = 0;
    } else {
        MapClicked = 1;
    }
    if (Settings.PDFPreview) {
        int clickX = 0, clickY = 0;
        GetLastClickPos(&clickX, &clickY);
        int page = ThumbnailAtPoint(clickX, clickY);
        if (page >= 0 && page < Settings.PDFPages)
            SetCurrentPdfPage(page);
        return;
    }
    if (IsNearestListShown()) {
        if (IsInNearestListDragRect(x, y)) {
            HandleMouseDrag(x, y, ZoneLeftClick);
            return;
        }
        if (IsInNearestListCloseRect(x, y)) {
            HideNearestList();
            return;
        }
    }
    if (ClickSoftkeys(x, y))
        return;
    if (IsScaleBarShown() && ScaleBarClick(x, y))
        return;
    if (!IsTerrainAlertActive()) {
        if (!HandleMouseDrag(x, y, ZoneLeftClick))
            TestMapBoxes(x, y);
        return;
    }
    MuteTerrainAlert();
    if (AirportDiagramView.panning)
        TestMapBoxes(x, y);
    else
        HandleMouseDrag(x, y, ZoneLeftClick);
}

// Dragging in the manual position mode moves the picked position.
void DragManualPosition(int x, int y)
{
    if (AnchorX != NoAnchor || AnchorY != NoAnchor) {
        double dlon = 0, dlat = 0;
        PixelDeltaToDegrees(x, y, AnchorX, AnchorY, &dlon, &dlat);
        double lat = 0, lon = 0;
        GetMapCenter(&lat, &lon);
        double manualLon = lon - 2.0 * dlon;
        if (manualLon < -180.0)
            manualLon += 360.0;
        else if (manualLon > 180.0)
            manualLon -= 360.0;
        ManualPosition.longitude = manualLon;
        ManualPosition.latitude = lat + 2.0 * dlat * std::cos(lat / DegreesPerRadian1);
        ManualPositionValid = 1;
    }
    AnchorX = x;
    AnchorY = y;
}

// When a drag moves nothing: the airport view follows the map and no
// nearest list is up; no chart, no list and no airport selected; the
// airport drawn over the map; the NEAREST page open.
bool IsDragIgnored()
{
    bool list = IsNearestListShown();
    return (AirportDiagramView.panning && !list) || (!Settings.AirportChart && !list && !Settings.NavAirport) ||
           Settings.AirportOverlay || IsNearestPageOpen();
}

// A drag over the moving map itself (no chart, not the airport diagram)
// pans it in any of those cases but the NEAREST page, which keeps the map
// on its centre.
bool DragMovesTheView()
{
    bool movingMap = !Settings.AirportChart && !(Settings.NavAirport && !Settings.AirportOverlay);
    if (movingMap)
        return !IsNearestPageOpen();
    return !IsDragIgnored();
}

}  // namespace

uint32_t PackZonePoint(int x, int y)
{
    return static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(x))) |
           (static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(y))) << 16);
}

int ZonePointX(uint32_t point) { return static_cast<int16_t>(point & 0xFFFF); }

int ZonePointY(uint32_t point) { return static_cast<int16_t>(point >> 16); }

bool MapAreaMouse(uint32_t point, int32_t event)
{
    if (MapRouterBusy)
        return false;
    MapRouterBusy = 1;
    UserActivity = 1;
    int x = ZonePointX(point), y = ZonePointY(point);
    switch (event) {
    case ZoneRightClick:
        if (HitTestHeadingBox(static_cast<float>(x), static_cast<float>(y)))
            WindArrowMode = !WindArrowMode;
        break;
    case ZoneLeftClick: MapLeftClick(x, y); break;
    case ZoneDrag:
        if (ManualPositionMode.load())
            DragManualPosition(x, y);
        else if (DragMovesTheView())
            HandleMouseDrag(x, y, ZoneDrag);
        break;
    case ZoneWheelForward: ZoomInStep(point, ZoneLeftClick); break;
    case ZoneWheelBack: ZoomOutStep(point, ZoneLeftClick); break;
    default: break;
    }
    MapRouterBusy = 0;
    return false;
}

void ZoomOutStep(uint32_t, int32_t event)
{
    if (event == ZoneLeftClick)
        ZoomStep(-1);
    else if (event == ZoneRightClick)
        ScaleMapValue(-1);
}

void ZoomInStep(uint32_t, int32_t event)
{
    if (event == ZoneLeftClick)
        ZoomStep(1);
    else if (event == ZoneRightClick)
        ScaleMapValue(1);
}

bool ScaleBarClick(int x, int y)
{
    float left = 0, right = 0, top = 0, bottom = 0;
    if (!GetScaleBarRect(&left, &right, &top, &bottom) || bottom <= top)
        return false;
    bool inside = GetShowFrame() ? (left <= x && x <= right && top <= y && y <= bottom)
                                 : (x >= 0 && x <= 20 && top <= y && y <= bottom);
    if (!inside)
        return false;
    int steps = Settings.TouchMode ? 8 : 10;
    int level = static_cast<int>((y - top) * 10.0f / (bottom - top));
    int wanted = GetWantedZoom();
    int base = wanted - 4 < 4 ? 4 : wanted - 4;
    if ((Settings.Terrainstate || Settings.TerrainProfile) && base < 10)
        base = 9;
    if (base + steps - 1 > 20)
        base = 21 - steps;
    int zoom = level + base - 1;
    if (zoom != wanted)
        RefreshAtZoom(zoom);
    return true;
}

// The softkey rows shown above the bottom row cover the map as well.
static bool IsAboveSoftkeyBand(int y)
{
    int edge = SoftkeyRowLine();
    if (SoftkeyLabelBoxes[SoftkeysPerRow].shown)
        edge -= SoftkeyRowStep;
    if (SoftkeyLabelBoxes[2 * SoftkeysPerRow].shown)
        edge -= SoftkeyRowStep;
    return y <= edge;
}

bool EditFlightPlanAtPoint(int x, int y, int, int clickY)
{
    if (!IsAboveSoftkeyBand(clickY))
        return false;
    int mode = GetPlanEditMode();
    if (mode == PlanEditNone)
        return false;
    if (x == LastEditX && y == LastEditY)
        return true;
    LastEditX = x;
    LastEditY = y;
    int width = 0, height = 0;
    GetClientSize(&width, &height);
    double lat = 0, lon = 0;
    GetMapCenter(&lat, &lon);
    double pointLon = 0, pointLat = 0;
    PixelOffsetToLatLon(x - width / 2, y - height / 2, &pointLon, &pointLat, lon, lat);
    if (mode == PlanEditDelete)
        DeleteNearestWaypoint(pointLon, pointLat);
    else
        InsertWaypointAt(pointLon, pointLat);
    MapRouterBusy = 0;
    return true;
}

void ClearClickAnchor()
{
    if (!ManualPositionMode.load())
        return;
    ForgetClickAnchor();
    ManualPositionValid = 0;
}

void ForgetClickAnchor()
{
    AnchorX = NoAnchor;
    AnchorY = NoAnchor;
}

bool IsNearestPageOpen()
{
    return std::strcmp(Settings.SelectedAirport, "NEAREST") == 0;
}

void ToggleNearestPage()
{
    if (!IsNearestPageOpen()) {
        SavedAirportOverlay = Settings.AirportOverlay;
        SavedPanning = AirportDiagramView.panning;
        std::snprintf(Settings.SelectedAirport, sizeof(Settings.SelectedAirport), "NEAREST");
        Settings.NavAirport = 1;
        Settings.AirportOverlay = 0;
        double lat = 0, lon = 0;
        GetMapCenter(&lat, &lon);
        SetAirportViewCenter(lat, lon);
        AirportDiagramView.panning = 1;
        Settings.SelectedCOM = 7;
    } else {
        Settings.AirportOverlay = SavedAirportOverlay;
        AirportDiagramView.panning = SavedPanning;
        Settings.NavAirport = 0;
        Settings.SelectedAirport[0] = '\0';
    }
    InvalidateSnapshot();
}

uint8_t RecenterNearestPage()
{
    if (!IsNearestPageOpen())
        return 0;
    double lat = 0, lon = 0;
    GetMapCenter(&lat, &lon);
    SetAirportViewCenter(lat, lon);
    return 1;
}

namespace {
// Before main, so tests that skip the start-up see the re-centring too.
[[maybe_unused]] const bool kRecentreOnInvalidate = (SnapshotInvalidated = RecenterNearestPage, true);
} // namespace

void ToggleDirToNearest()
{
    if (DirToNearest && !IsNearestPageOpen()) {
        DirToNearest = 0;
        return;
    }
    DirToNearest = 1;
    Settings.DirToVector = 1;
    SelectNearestAirport(0);
    ResetAirportViewCenter();
    PlaySoundNumber(SoundClick);
}

bool IsDirToNearestOn() { return DirToNearest != 0; }

void StepGpsMode(uint32_t, int32_t event)
{
    if (event == ZoneLeftClick && Settings.GPSMode > 0)
        Settings.GPSMode--;
    else if (event == ZoneRightClick && Settings.GPSMode < 4)
        Settings.GPSMode++;
}

void SetSoftkeyTooltip(int n, const char* text, int value)
{
    if (n < 0 || n >= SoftkeyCount)
        return;
    ScreenButton& button = ScreenButtons[FirstSoftkeyButton + n];
    std::snprintf(button.tooltip, sizeof(button.tooltip), "%s", text ? text : "");
    SoftkeyTooltipValues[n] = value;
}

int GetSoftkeyTooltipValue(int n)
{
    return n >= 0 && n < SoftkeyCount ? SoftkeyTooltipValues[n] : 0;
}

void GetLastReleasePoint(int* x, int* y)
{
    *x = ReleaseX;
    *y = ReleaseY;
}

void SetLastReleasePoint(int x, int y)
{
    ReleaseX = x;
    ReleaseY = y;
}

void ClearParkPosition() { Settings.Parkposition = -1; }

int32_t GetDimLevel() { return Settings.Dimlevel; }

uint8_t IsBezelVisible() { return BezelShown; }

bool TakeUserActivity()
{
    bool active = UserActivity != 0;
    UserActivity = 0;
    return active;
}

// ---- the click zones ----

bool OnMapAreaClick(uint32_t point, int32_t event) { return MapAreaMouse(point, event); }

bool OnZoomOut(uint32_t point, int32_t event) { return RunZoomZone(point, event, ZoomOutStep); }

bool OnZoomIn(uint32_t point, int32_t event) { return RunZoomZone(point, event, ZoomInStep); }

bool CycleWindrose(uint32_t, int32_t event)
{
    UserActivity = 1;
    if (event == ZoneLeftClick)
        CycleWindroseSetting();
    PlaySoundNumber(SoundClick);
    return false;
}

bool ToggleDynamicSoftkeys(uint32_t, int32_t event)
{
    UserActivity = 1;
    if (event == ZoneLeftClick) {
        Settings.DynamicSoftkeys = !Settings.DynamicSoftkeys;
        PlaySoundNumber(SoundClick);
    }
    return false;
}

// The traffic zone: its right click follows the traffic target nearest the
// map centre, or ends the following, as its tooltip says.
bool OnDeclutter(uint32_t, int32_t event)
{
    if (event == ZoneRightClick) {
        ToggleTrafficFollow();
        return false;
    }
    Settings.DeClutter = (Settings.DeClutter + 1) % 4;
    InvalidateSnapshot();
    return false;
}

bool SoftkeyBackHotspot(uint32_t, int32_t)
{
    UserActivity = 1;
    SoftkeyBack();
    return false;
}

bool FlightPlanZone(uint32_t, int32_t event)
{
    UserActivity = 1;
    if (event != ZoneLeftClick)
        return false;
    if (IsPlanEditSoftkeyPage()) {
        SetSoftkeyLevel(MenuMain, 0);
    } else if (Settings.UseSimulator.load() == SimulatorAerofly) {
        SetSoftkeyLevel(MenuMain, 2);
    } else {
        ToggleFlightPlanActive();
        if (IsFlightPlanActive())
            RequestAeroflyPlanSend();
    }
    PlaySoundNumber(SoundClick);
    return false;
}

bool ToggleTerrainZone(uint32_t, int32_t)
{
    Settings.Terrainstate = !Settings.Terrainstate;
    return false;
}

// The map-type page opens over whatever the bar showed and gives it back.
static uint8_t SoftkeysBeforeMapTypes = 1;

bool ToggleMapTypeMenu(uint32_t, int32_t event)
{
    UserActivity = 1;
    if (event != ZoneLeftClick)
        return false;
    if (Settings.Softkeylevel == MenuMapTypes) {
        Settings.Softkeys = SoftkeysBeforeMapTypes;
        SetSoftkeyLevel(MenuMain, 0);
    } else {
        SoftkeysBeforeMapTypes = Settings.Softkeys;
        SetSoftkeyLevel(MenuMapTypes, 0);
        Settings.Softkeys = 1;
        FindMapTypesAtPosition();
    }
    return false;
}

bool NoAction(uint32_t, int32_t) { return false; }

bool OnBrightnessDown(uint32_t, int32_t event)
{
    StepDimLevel(KnobStep(event, -1));
    return false;
}

bool OnBrightnessUp(uint32_t, int32_t event)
{
    StepDimLevel(KnobStep(event, 1));
    return false;
}

bool OnTerrainTransparency(uint32_t, int32_t event)
{
    StepTerrainTransparency(KnobStep(event, -1));
    return false;
}

bool OnTerrainTransparencyUp(uint32_t, int32_t event)
{
    StepTerrainTransparency(KnobStep(event, 1));
    return false;
}

bool OnAirportMapTransparency(uint32_t, int32_t event)
{
    StepAirportMapTransparency(KnobStep(event, -1));
    return false;
}

bool OnAirportMapTransparencyUp(uint32_t, int32_t event)
{
    StepAirportMapTransparency(KnobStep(event, 1));
    return false;
}

bool ToggleDirToNearestZone(uint32_t, int32_t)
{
    ToggleDirToNearest();
    return false;
}

bool ToggleTrackUp(uint32_t, int32_t)
{
    UserActivity = 1;
    ToggleTrackUpOrientation();
    PlaySoundNumber(SoundClick);
    return false;
}

bool CycleTrack(uint32_t, int32_t event)
{
    UserActivity = 1;
    if (event == ZoneLeftClick) {
        Settings.Track = (Settings.Track + 1) % 3;
        PlaySoundNumber(SoundClick);
    }
    return false;
}

bool ToggleDirToNearestFlag(uint32_t, int32_t)
{
    DirToNearest = !DirToNearest;
    return false;
}

void ResetClickZones()
{
    UserActivity = 0;
    ZoomZoneBusy = 0;
    MapRouterBusy = 0;
    MapClicked = 0;
    AnchorX = AnchorY = NoAnchor;
    DirToNearest = 0;
    SavedAirportOverlay = 1;
    SavedPanning = 0;
    for (int& value : SoftkeyTooltipValues)
        value = 0;
    ReleaseX = ReleaseY = 0;
    LastEditX = LastEditY = -1;
    SoftkeysBeforeMapTypes = 1;
}
