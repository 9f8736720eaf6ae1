// The per-frame update, a list of named steps in the order they must run.
#include "display/frame_update.h"

#include "app/command_table.h"
#include "app/helper_dialogs.h"
#include "app/indicator_lamps.h"
#include "platform/log.h"
#include "app/main_window.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "app/sim_commands.h"
#include "app/status_message.h"
#include "app/track_ring.h"
#include "simlink/traffic_mode.h"
#include "display/aircraft_values.h"
#include "display/airport_view.h"
#include "display/map_georeference.h"
#include "display/map_projection.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "display/softkey_pages.h"
#include "display/traffic_follow.h"
#include "maps/airport_charts.h"
#include "maps/local_maps.h"
#include "maps/terrain_awareness.h"
#include "maps/terrain_data.h"
#include "maps/tile_grid.h"
#include "maps/weather_radar.h"
#include "display/status_text.h"
#include "display/text_boxes.h"
#include "display/zoom_animation.h"
#include "navdata/nav_tables.h"
#include "navdata/route_navigation.h"
#include "platform/sync.h"
#include "platform/threads.h"
#include "platform/units.h"
#include "platform/window.h"
#include "simlink/sim_link.h"
#include "simlink/traffic_advisory.h"

#include <cmath>
#include <cstdio>
#include <cstring>

int32_t TickCounter = 0;
int32_t NorthUpMode = 0;
int32_t ChartUpAngleDeg = 0;
int32_t ViewWidth = 0, ViewHeight = 0;
double GridOriginX = 0, GridOriginY = 0, GridPixelHeight = 0;

static uint8_t BlinkPhase = 0;
static float DisplayAngleOffset = 0;
static int32_t UpdateBusy = 0;
static double LastTickTime = 0;
static double PreviousAltitude = 0;
static uint8_t LocalMapStateStarted = 0;
static int StoredWidth = 0, StoredHeight = 0;
static char TemperatureText[32] = "";
// The airport view's follow-the-map state: when its panning was first seen
// (0: not yet) and the request to end it a second after that.
static double AirportViewPanStart = 0;
static uint8_t AirportViewReturnRequest = 0;
// Where the maps at the position were last listed for the map page (NaN: never).
static double ListedLatitude = NAN, ListedLongitude = NAN;
// The outputs of the view steps, kept for frames that skip them.
static FrameUpdateOutputs LastView;
// Raised in a frame whose view steps were skipped: the air vector's turn
// values are last frame's, so no curve is drawn from them.
static uint8_t VectorSuppressed = 0;

static double ProgramSeconds() { return ProgramClockMs() / 1000.0; }
// The update's clock in seconds; tests step their own.
static double (*FrameClock)() = ProgramSeconds;

static const char NoMapText[] = "-No map available at this postition-";
static uint8_t NoMapShown = 0;

bool IsBlinkPhaseOn() { return BlinkPhase != 0; }
bool IsVectorSuppressed() { return VectorSuppressed != 0; }
void SetFrameUpdateClock(double (*clock)()) { FrameClock = clock ? clock : ProgramSeconds; }

void RequestAirportViewReturn() { AirportViewReturnRequest = 1; }
bool IsAirportViewReturnRequested() { return AirportViewReturnRequest != 0; }
float GetDisplayAngleOffset() { return DisplayAngleOffset; }
double GetTrackAngleRad() { return TrackAngle; }

void ResetFrameUpdate()
{
    UpdateBusy = 0;
    LastTickTime = 0;
    PreviousAltitude = 0;
    LocalMapStateStarted = 0;
    NoMapShown = 0;
    BlinkPhase = 0;
    TickCounter = 0;
    AirportViewPanStart = 0;
    AirportViewReturnRequest = 0;
    ListedLatitude = ListedLongitude = NAN;
    LastView = FrameUpdateOutputs{};
    VectorSuppressed = 0;
    ResetZoomAnimations();
}

double SmoothAltitude(double reading)
{
    double altitude = reading;
    if (std::fabs(altitude - PreviousAltitude) > 100)
        altitude = 0.9 * PreviousAltitude + 0.1 * altitude;
    PreviousAltitude = altitude;
    return altitude;
}

static double GetVar(SimVarId id)
{
    double v = 0;
    SimLinkGetVar(id, &v);
    return v;
}

// Restarts a stopped link at most every 3 s; while the map is dragged only
// once it has come to rest (moved by at most one pixel since last frame).
static void RestartLinkIfDue(int mode, double now)
{
    if (IsSimConnected()) {
        SimLinkAutoStart();
        // The start step may have closed a connection that went down: the
        // traffic is asked for once it is open again, not now.
        if (IsSimConnected() && IsTrafficModeOutdated())
            ApplyTrafficMode();
        SetFlightPlanState(Settings.FlightPlanState);
        return;
    }
    // A tile zoom step keeps the loader to itself.
    if (IsTileZoomAnimationRunning())
        return;
    bool still = std::fabs(CentreMapX - PreviousCentreMapX) <= 1 && std::fabs(CentreMapY - PreviousCentreMapY) <= 1;
    bool mayStart = mode != UpdateModeShutdown && (!MapPanning || still);
    SimLinkRestartIfDue(now, mayStart);
}

static void ReadAircraftValues()
{
    Aircraft.Clock = GetVar(SimVarClock);
    Aircraft.Altitude = SmoothAltitude(GetVar(SimVarAltitude));
    Aircraft.OnGround = GetVar(SimVarOnGround) != 0;
    Aircraft.GroundSpeed = GetVar(SimVarGroundSpeed);
    Aircraft.GroundSpeedInt = TruncateToInt(Aircraft.GroundSpeed);
    Aircraft.WaypointDistance = GetVar(SimVarWaypointDistance);
    Aircraft.WaypointIndex = GetVar(SimVarWaypointIndex);
    // Aerofly FS 2 reports none: its navigation step finds the active waypoint.
    if (Settings.UseSimulator.load() != SimulatorAerofly)
        SetActiveLegFromSimulator(Aircraft.WaypointIndex);
    Aircraft.WaypointEte = GetVar(SimVarWaypointEte);
    Aircraft.Ete = GetVar(SimVarEte);
    Aircraft.GroundAltitude = GetVar(SimVarGroundAltitude);
    double t = GetVar(SimVarTemperature);
    Aircraft.OutsideTemperature = t >= -300 && t <= 300 ? t : 0;
    Aircraft.Variable24 = GetVar(24);
    double agl = GetVar(SimVarHeightAboveGround);
    Aircraft.HeightAboveGround = agl > 0 ? static_cast<float>(agl) : 0.0f;
    Aircraft.VerticalSpeedPerMinute = static_cast<float>(60 * GetVar(SimVarVerticalSpeed));
    Aircraft.Variable27 = TruncateToInt(GetVar(27));
    FormatTemperatureText(TemperatureText, sizeof TemperatureText, Aircraft.OutsideTemperature,
                          Settings.CelsiusTemperature != 0);
}

// The simulator may have pushed the map out of the topmost band; not while a
// helper's dialog must stay in front of it.
static void KeepWindowTopmost()
{
    HWND window = GetMainWindow();
    if (!Settings.TopMost || !window || !IsHelperIdle() || GetForegroundWindow() == window)
        return;
    if (!SetWindowTopmost())
        WriteLogF("Topmost error %d", static_cast<int>(GetLastError()));
}

// The track is the aircraft's: while the map is panned or on a followed
// target its centre is not where the aircraft flies.
static void RecordFlownTrack()
{
    double lat = MapCenter.latitude.load(), lon = MapCenter.longitude.load();
    if (MapPanning) {
        lat = GetVar(SimVarLatitude);
        lon = GetVar(SimVarLongitude);
    }
    RecordTrackPoint(lat, lon, Aircraft.Altitude);
}

static void HalfSecondTick(double now)
{
    if (now - LastTickTime <= 0.5)
        return;
    LastTickTime = now;
    BlinkPhase = !BlinkPhase;
    if (AirportDiagramView.panning && AirportViewPanStart == 0)
        AirportViewPanStart = now;
    if (Settings.PlotTrack && !ManualPositionMode.load())
        RecordFlownTrack();
    TickCounter = (TickCounter + 1) % 10;
    KeepWindowTopmost();
}

// A click that hid a message over the following airport view ends the
// following a second after the view began to follow.
static void EndAirportViewFollowIfAsked(double now)
{
    if (!AirportViewReturnRequest || now - AirportViewPanStart <= 1.0)
        return;
    AirportDiagramView.panning = 0;
    AirportViewReturnRequest = 0;
    AirportViewPanStart = 0;
}

// While plans are shown, a plan the simulator delivers is taken over once.
static void PollSimulatorPlan()
{
    if (Settings.FlightPlanState && !SimPlanTaken.load() && SimLinkPollFlightPlan())
        SimPlanTaken = 1;
}

static void FollowAircraft()
{
    int sim = Settings.UseSimulator.load();
    if (MapPanning || sim < SimulatorFirst || sim > SimulatorLast)
        return;
    double lat = GetVar(SimVarLatitude);
    double lon = GetVar(SimVarLongitude);
    Aircraft.Heading = GetVar(SimVarHeading);
    MapCenter.latitude = lat;
    MapCenter.longitude = lon;
    HomePosition.latitude = lat;
    HomePosition.longitude = lon;
}

// While the map page is up, the maps at the centre are listed again once it
// has moved a tenth of a degree.
static void ListMapsForMapPage()
{
    if (!Settings.Softkeys || Settings.Softkeylevel != MenuMapTypes)
        return;
    double lat = MapCenter.latitude.load(), lon = MapCenter.longitude.load();
    bool listed = std::isfinite(ListedLatitude);
    if (listed && std::fabs(lat - ListedLatitude) <= 0.1 && std::fabs(lon - ListedLongitude) <= 0.1)
        return;
    FindMapsAtPosition();
    ListedLatitude = lat;
    ListedLongitude = lon;
}

// The factors of the map viewport against the bezel's 477 x 351 map area.
static void ComputeViewSize(double* fx, double* fy)
{
    ViewportRect r{};
    GetMapViewport(&r);
    *fx = (r.right - r.left) / 477.0;
    *fy = (r.bottom - r.top) / 351.0;
    ViewWidth = TruncateToInt(239.0 * *fx);
    ViewHeight = TruncateToInt(176.0 * *fy);
    GridFactorX = GridFactorY = 1.0;
}

static void ProjectCentre(FrameUpdateOutputs* out)
{
    double x = 0, y = 0;
    LatLonToMapPixel(&x, &y, MapCenter.longitude.load(), MapCenter.latitude.load());
    PreviousCentreMapX = CentreMapX;
    PreviousCentreMapY = CentreMapY;
    CentreMapX = x;
    CentreMapY = y;
    if (!PixelsPerDegreeKnown)
        ComputePixelsPerDegree();
    x -= GridOriginX;
    y -= GridOriginY;
    if (TileMapFlag.load())
        y = GridPixelHeight - y;
    else
        y = GridPixelHeight / GetChartLevelFactor(GetShownLocalMapLevel()) - y;
    out->offsetX = static_cast<float>(x);
    out->offsetY = static_cast<float>(y);
}

void ComputeFrameRotation(bool trackUp, bool northUpMode, int32_t chartRotationDeg, double trackAngle,
                          float* mapRotation, float* symbolRotation)
{
    double chart = chartRotationDeg / DegreesPerRadian1;
    DisplayAngleOffset = static_cast<float>(chart - trackAngle);
    if (trackUp) {
        *mapRotation = static_cast<float>(chart - trackAngle);
        *symbolRotation = static_cast<float>(chart);
    } else if (northUpMode) {
        *mapRotation = 0;
        ChartUpAngleDeg = 0;
        *symbolRotation = static_cast<float>(chart);
    } else {
        *mapRotation = 0;
        *symbolRotation = 0;
        if (chartRotationDeg != 0) {
            ChartUpAngleDeg = -chartRotationDeg;
            *mapRotation = static_cast<float>(-chart);
            *symbolRotation = static_cast<float>(chart);
        }
    }
}

// Flies a taken plan every frame while plans are shown; a frame without a
// step lets the next one rebuild the route.
static void FlyFlightPlan(double fx, double fy)
{
    BeginGpsFrame();
    if (Settings.FlightPlanState && SimPlanTaken.load())
        RunGpsStep(ViewMapProjector(), Settings.UseSimulator.load(), CentreMapX, CentreMapY, fx, fy);
    else
        ClearRouteBuilt();
}

const char* TrafficModeText()
{
    if (TrafficDisplayMode == 2)
        return MultiplayerMode ? "MultiPlayer Mode / " : "AI Mode / ";
    if (TrafficOn)
        return Settings.Sound ? "TCAS Mode / " : "TCAS Mode/Snd. Off / ";
    return "";
}

// Lines 2 and 3 with the menu state that shows the plan, while plans are shown.
static void BuildPlanLines()
{
    int menu = Settings.MenuState;
    bool planOn = IsFlightPlanShown();
    if ((menu != 3 && menu != 4) || !(planOn || Settings.FlightPlanState))
        return;
    char destination[16];
    GetDestinationIdent(destination, sizeof destination);
    FormatPlanLines(GetActiveWaypointIdent(), destination, Aircraft.WaypointEte, Aircraft.Ete,
                    Aircraft.WaypointDistance, GpsState.GpsRemainingNm, Aircraft.GroundSpeed, planOn,
                    &StatusLines[1], &StatusLines[2]);
}

static void BuildStatusLines()
{
    for (int k = 0; k < 3; ++k)
        StatusLines[k].shown = 0;
    StatusLineInputs in{};
    in.followingTarget = GetFollowedTargetValues(&in.targetSpeed, &in.targetHeading, &in.targetAltitude);
    in.followedCallsign = GetFollowedCallsign();
    in.northUp = NorthUpMode != 0;
    in.lastButton = GetLastButton();
    in.chartLevelScale = GetChartLevelScale();
    in.gpwsText = GpwsPhaseText(Settings.GPWSOn != 0, Settings.PilotFlightmode, GetAutoFlightMode());
    in.temperatureText = TemperatureText;
    in.trafficText = TrafficModeText();
    FormatStatusLine1(StatusLines[0].text, sizeof StatusLines[0].text, in);
    StatusLines[0].shown = 1;
    BuildPlanLines();
}

static void BuildStatusMessage(double now)
{
    StatusLine& message = StatusLines[3];
    message.shown = 0;
    if (!ExpireStatusMessage(now))
        return;
    std::snprintf(message.text, sizeof message.text, "%s", GetStatusMessage());
    message.shown = message.text[0] != 0;
}

static void UpdateWind()
{
    if (MapPanning)
        return;
    Aircraft.WindDirection = GetVar(SimVarWindDirection);
    Aircraft.WindSpeed = GetVar(SimVarWindSpeed);
    Aircraft.MagneticVariation = GetVar(SimVarMagneticVariation);
    if (IsSimulatorConnected()) {
        double speed = 0, heading = 0;
        UpdateAirVector(&TrackVectorLength, &speed, &heading, &AirVectorAngle);
    }
}

// The zoom step's animation of the mode; it keeps the view rectangle the
// tile refresh tests.
static void AnimateZoom(const FrameUpdateOutputs& out, double now)
{
    ViewRect rect{};
    if (TileMapFlag.load()) {
        // The tiles took over from a local map: its step has nothing to show.
        FinishLocalZoom();
        AnimateTileZoom(&rect, TruncateToInt(out.offsetX), TruncateToInt(out.offsetY), StoredWidth, StoredHeight, now);
    } else {
        AnimateLocalZoom(&rect, out.offsetX, out.offsetY, ViewWidth, ViewHeight, now);
    }
}

// Tiles stopped for a map that takes over are not started again here.
static void RefreshTiles()
{
    if (!TileMapFlag.load() || IsCatalogueRequestPending())
        return;
    ViewRect view = GetCurrentViewRect();
    int r = RefreshMapIfMoved(view.left, view.top, view.right, view.bottom, MapCenter.latitude.load(),
                              MapCenter.longitude.load(), Settings.SatMode.load());
    // The relayout measures the window anew and asks for its own grid.
    if (r < 0 && !IsRelayoutPending())
        RequestMapRefresh(MapCenter.latitude.load(), MapCenter.longitude.load(), StoredWidth, StoredHeight, 1);
}

static void ShowNoMapMessage()
{
    if (NoMapShown)
        return;
    NoMapShown = 1;
    ShowScreenMessage(NoMapText, 16);
}

// The first frame (and after every reset) finds the sheet of the local map
// kept in the settings and starts loading its tiles.
static void StartLocalMapState()
{
    if (LocalMapStateStarted)
        return;
    LocalMapStateStarted = 1;
    LoadMapSheets();
    double lat = MapCenter.latitude.load(), lon = MapCenter.longitude.load();
    if (IsSimulatorConnected()) {
        lat = GetVar(SimVarLatitude);
        lon = GetVar(SimVarLongitude);
        MapCenter.latitude = lat;
        MapCenter.longitude = lon;
    }
    if (Settings.MapType.load() < 0)
        return;
    if (!SelectLocalMapSheet(lat, lon))
        SelectMapType(false, 1, false);
    char folder[600];
    GetLocalMapFolder(folder, sizeof folder);
    if (!folder[0] || !Settings.MapName[0])
        return;
    EnterLocalMapMode();
    LoadMapGeoreference();
    ResetLoadedLocalTiles();
    StartLocalMapTileLoader();
}

// Outside the current sheet once its set is loaded, the sheet at the centre
// is looked for; none there selects another map. A map taking over from the
// tiles keeps the catalogue request until its set is whole.
static void KeepLocalMapCoverage()
{
    if (TileMapFlag.load() && !IsCatalogueRequestPending())
        return;
    double lat = MapCenter.latitude.load(), lon = MapCenter.longitude.load();
    if (TakeLocalSheetReselectRequest())
        SelectLocalMapSheet(lat, lon);
    if (IsInsideCurrentSheet(lat, lon) || !IsLocalSheetSetComplete()) {
        if (GetNoMapCounter() > 0 && !IsLocalMapLoaderBusy()) {
            ShowNoMapMessage();
            SelectMapType(false, 1, false);
        } else if (IsLocalSheetSetComplete()) {
            ClearCatalogueRequest();
        }
        return;
    }
    if (SelectLocalMapSheet(lat, lon)) {
        LoadMapGeoreference();
        ResetLoadedLocalTiles();
        RequestLocalMapReload();
        StartLocalMapTileLoader();
    } else if (!IsLocalMapLoaderBusy()) {
        SelectMapType(false, 1, false);
        if (GetNoMapCounter() > 0)
            ShowNoMapMessage();
    }
}

// The set is loaded anew once the centre leaves the middle of the shown
// set, and loading goes on one tile a frame until the set is whole: also
// while the tiles are still shown and a local map taking over loads its set.
static void KeepLocalTilesLoaded()
{
    bool tilesShown = TileMapFlag.load() != 0;
    if (tilesShown && !IsCatalogueRequestPending())
        return;
    int full = LocalMapTileCount.load() <= LocalMapInnerSet ? LocalMapInnerSet : LocalMapFullSet;
    // A zoom step's set waits whole for its animation to end; the centre's
    // map pixel is the local map's only once it is shown.
    if (!tilesShown && GetLoadedLocalTileCount() >= full && !IsLocalMapLoaderBusy() && !IsLocalZoomRequested()) {
        double span = 800.0 / GetChartLevelFactor(GetShownLocalMapLevel());
        double n = full == LocalMapFullSet ? 4.0 : 2.0;
        double x = CentreMapX - GridOriginX, y = CentreMapY - GridOriginY;
        if (x < span - 50 || x > n * span + 50 || y < span - 50 || y > n * span + 50)
            ResetLoadedLocalTiles();
    }
    if (GetLoadedLocalTileCount() < full) {
        RequestLocalMapReload();
        StartLocalMapTileLoader();
    }
}

// Radar pictures that cannot be had leave the overlay clear; the user is
// told so once.
static void ReportRadarOffline()
{
    if (TakeRadarOfflineNotice())
        ShowStatusMessage("Weather radar: no radar pictures could be downloaded");
}

// The terrain window follows the map centre while any terrain view is on;
// a manually set position has no terrain under it to warn about.
static void KeepTerrainLoaded()
{
    if (ManualPositionMode.load())
        return;
    if (Settings.Terrainstate || Settings.GPWSOn || Settings.TAWSOn || Settings.TerrainProfile)
        UpdateTerrain(Aircraft.Altitude, Aircraft.HeightAboveGround, Aircraft.GroundAltitude, Aircraft.Heading);
}

static void ShutdownUpdate()
{
    StopSimulatorLink();
    ShutdownTerrain();
    ReleaseLocalMapTextures();
    ClearRadarCache();
    HideThumbnails();
    if (LocalMapStateStarted)
        SaveSettings();
    FreeNavdata();
    ClearIndicatorLamps();
    LocalMapStateStarted = 0;
}

// A tile job still running is stopped; true when there was one.
static bool StopRunningTileJob()
{
    if (!IsTileLoaderBusy())
        return false;
    StopTileLoaderIfRunning();
    return !IsTileLoaderBusy();
}

// The view steps wait while a map switch that found no map waits for its
// local set, unless a tile zoom step ends or a tile job had to be stopped.
static bool ViewStepsDue()
{
    bool localSetLoaded = TileMapFlag.load() || IsLocalSheetSetComplete();
    return GetNoMapCounter() == 0 || localSetLoaded || IsTileZoomEnding() || StopRunningTileJob();
}

// Zoom animation, rotations, terrain, plan, traffic, status texts and wind.
static void RunViewSteps(FrameUpdateOutputs* out, double fx, double fy, double now)
{
    AnimateZoom(*out, now);
    ComputeFrameRotation(Settings.TrackUp != 0, NorthUpMode != 0, ChartRotationDeg, TrackAngle, &out->mapRotation,
                         &out->symbolRotation);
    KeepTerrainLoaded();
    FlyFlightPlan(fx, fy);
    if (TrafficOn) {
        UpdateTrafficAdvisory();
        RefindFollowedTarget();
    }
    BuildStatusLines();
    BuildStatusMessage(now);
    UpdateWind();
}

static void FrameStep(int mode, FrameUpdateOutputs* out, int width, int height)
{
    StoredWidth = width;
    StoredHeight = height;
    double now = FrameClock();
    BeginDueLocalMapBank();
    SettleLocalMapZoom();
    RestartLinkIfDue(mode, now);
    ReadAircraftValues();
    HalfSecondTick(now);
    EndAirportViewFollowIfAsked(now);
    StartLocalMapState();
    PollSimulatorPlan();
    // The lamps and the softkey bar follow the modes the keys switch.
    UpdateIndicatorLamps(IsBlinkPhaseOn());
    if (TileMapFlag.load())
        SetTileZoomEnding(false);
    FollowAircraft();
    ListMapsForMapPage();
    KeepLocalMapCoverage();
    double fx = 1, fy = 1;
    ComputeViewSize(&fx, &fy);
    FollowTrafficTarget(now, TileMapFlag.load() || IsLocalSheetSetComplete());
    out->headingRad = static_cast<float>(RadiansPerDegree8 * Aircraft.Heading);
    ProjectCentre(out);
    VectorSuppressed = !ViewStepsDue();
    if (VectorSuppressed) {
        out->mapRotation = LastView.mapRotation;
        out->symbolRotation = LastView.symbolRotation;
    } else {
        RunViewSteps(out, fx, fy, now);
        LastView = *out;
    }
    RefreshTiles();
    KeepLocalTilesLoaded();
    ReportRadarOffline();
    FinishChartConversion();
}

void UpdateFrame(HWND, int mode, float* offsetX, float* offsetY, float* headingRad, float* mapRotation,
                 float* symbolRotation, int width, int height)
{
    if (UpdateBusy)
        return;
    UpdateBusy = 1;
    FrameUpdateOutputs out;
    if (mode == UpdateModeShutdown)
        ShutdownUpdate();
    else
        FrameStep(mode, &out, width, height);
    if (offsetX) *offsetX = out.offsetX;
    if (offsetY) *offsetY = out.offsetY;
    if (headingRad) *headingRad = out.headingRad;
    if (mapRotation) *mapRotation = out.mapRotation;
    if (symbolRotation) *symbolRotation = out.symbolRotation;
    UpdateBusy = 0;
}

void GetWindDirectionAndSpeed(float* direction, float* speed)
{
    double d = std::floor(Aircraft.WindDirection - Aircraft.MagneticVariation + 0.5);
    if (d < 0)
        d += 360;
    if (d > 360)
        d -= 360;
    *direction = static_cast<float>(d);
    *speed = static_cast<float>(Aircraft.WindSpeed);
}
