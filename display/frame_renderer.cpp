// The frame renderer: the choice of renderer, the whole-screen frame's set-up
// and follow-ups, and the two small windows.
#include "display/frame_renderer.h"

#include "platform/log.h"
#include "app/main_window.h"
#include "display/sprite_table.h"
#include "maps/terrain_data.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "display/aircraft_values.h"
#include "display/draw_helpers.h"
#include "display/frame_layers.h"
#include "display/frame_limiter.h"
#include "display/frame_update.h"
#include "display/map_projection.h"
#include "display/map_redraw.h"
#include "display/map_view.h"
#include "app/softkey_menu.h"
#include "maps/airport_charts.h"
#include "maps/local_maps.h"
#include "maps/tile_grid.h"
#include "display/sprite_draw.h"
#include "display/status_text.h"
#include "navdata/airport_details.h"
#include "navdata/nearest_airports.h"
#include "navdata/route_navigation.h"
#include "platform/units.h"
#include "render/bitmap_fonts.h"
#include "render/device.h"
#include "render/snapshot.h"
#include "render/system_text.h"
#include "simlink/sim_link.h"

#include <cmath>
#include <cstdio>
#include <cstring>

bool MiniWindowFlag = false;
float GridHalfWidth = 1200, GridHalfHeight = 1200;
double ZoomCopy = 1.0;
std::atomic<uint8_t> DrawingFrame{0};
FloatRect HeadingBoxRect = {0, 0, 0, 0};
uint8_t WindArrowMode = 0;
uint8_t LabelPhase = 0;
uint8_t BackgroundDrawn = 0;
uint8_t NavSymbolsChanged = 0;
uint8_t NearestPanelInSnapshot = 0;
FrameView CurrentFrame = {};

static bool FirstFrameDrawn = false;
static double SnapshotClock = 0;

// The cream of the empty map, as ClearTarget reads it (0xAARRGGBB).
static const uint32_t EmptyMapColour = 0xFFFFFECDu;
static const uint32_t White = 0xFFFFFFFFu;

void SetNearestDrawnFlag(uint8_t drawn) { NearestPanelInSnapshot = drawn; }

bool IsFirstFrameDrawn() { return FirstFrameDrawn; }
void ResetFirstFrameDrawn() { FirstFrameDrawn = false; }
double GetSnapshotClock() { return SnapshotClock; }
void ResetSnapshotClock() { SnapshotClock = 0; }

void DrawFrame(HWND window, float dt, int width, int height)
{
    // Without TopMost the small windows show the whole screen scaled into them.
    if (Settings.TopMost && MiniWindowFlag)
        DrawMiniHeadingBox(window, dt, width, height);
    else if (Settings.TopMost && GetDisplayMode() == 2)
        DrawMiniHeadingBoxAlt(window, dt, width, height);
    else
        DrawScreen(window, dt, width, height);
}

// ---- set-up ----

static void ResetFrameGlobals()
{
    FrameZoom = 1.0f;
    GridHalfWidth = GridHalfHeight = 1200;
    BackgroundDrawn = 0;
    NavSymbolsChanged = 0;
    NearestPanelInSnapshot = 0;
}

static void TakeBezelAndCentre()
{
    BezelShown = GetShowFrame() ? 1 : 0;
    SpriteTable[SpriteBezel].visible = BezelShown;
    ScreenCentre = BezelShown && !Settings.TrackUp ? BezelMapCentre : FullScreenCentre;
}

static void RunFrameUpdate(HWND window, int width, int height)
{
    FrameView& f = CurrentFrame;
    UpdateFrame(window, UpdateModeFrame, &f.offsetX, &f.offsetY, &f.headingRad, &f.mapRotation, &f.symbolRotation,
                width, height);
    f.trackAngle = static_cast<float>(GetTrackAngleRad());
}

// The displayed tile grid as the frame needs it.
struct GridGeometry {
    int32_t cellSize, tileSize, level, columns, rows;
    float tileScale;
};

static GridGeometry DisplayedGrid()
{
    int shown = GetDisplayedTileBank();
    const TileGridBank& b = TileGridBanks[shown == 1 ? 1 : 0];
    return {b.cellSize, b.tileSize, b.level, b.cols, b.rows, b.tileScale};
}

static void SetGridGeometry()
{
    GridGeometry b = DisplayedGrid();
    if (!TileMapFlag.load()) {
        // A bank without a cell size keeps the plain scale.
        if (b.cellSize > 0)
            FrameZoom = 800.0f / static_cast<float>(b.cellSize);
        GridHalfWidth = GridHalfHeight = static_cast<float>(b.level == 9 ? b.cellSize * 3 / 2 : b.cellSize * 5 / 2);
    } else {
        b.cellSize = b.tileSize;
        if (b.cellSize != 0)
            FrameZoom = static_cast<float>(b.tileSize) / static_cast<float>(b.cellSize);
        GridHalfWidth = static_cast<float>(b.columns * b.cellSize / 2);
        GridHalfHeight = static_cast<float>(b.rows * b.cellSize / 2);
    }
    ZoomCopy = FrameZoom;
    MapScale = b.tileScale;
}

// ---- follow-ups ----

// A page of the PDF chart that the page keys asked for; one that cannot be
// had leaves the chart.
static void ShowRequestedPdfPage()
{
    int page = 0;
    if (TakePdfPageRequest(&page) && !ShowPdfChartPage(page))
        LeaveAirportChart();
}

// Textures a loader prepared are made here, one a frame each. True when a
// terrain tile was waiting, so the limiter does not slow the window's load.
static bool UploadWaitingTextures()
{
    if (IsLocalMapTileWaiting())
        UploadNextLocalMapTile();
    bool terrain = IsTerrainTileWaiting();
    if (terrain)
        UploadNextTerrainTile();
    return terrain;
}

static void PresentWholeScreen()
{
    if (PresentFrame() != 0)
        WriteLog("Present error");
}

static bool InAirportDiagramMode() { return Settings.NavAirport && !Settings.AirportOverlay; }
static bool InNearestMode() { return std::strcmp(Settings.SelectedAirport, "NEAREST") == 0; }

// During one half second out of five, the nearest airports of the view are
// looked up again once per frame.
static void RefreshNearestAirportsOfView(int width, int height)
{
    if (Settings.AirportChart || !(InAirportDiagramMode() || InNearestMode()) || TickCounter != 0)
        return;
    double west = 0, east = 0, north = 0, south = 0;
    if (!GetVisibleMapBounds(&west, &east, &north, &south, width, height, FrameZoom))
        return;
    FindNearestAirports(west, east);
    SelectNearestAirport(0);
    const char* icao = GetNearestAirportIcao(0);
    if (std::strcmp(icao, GetLastNearestIcao()) != 0) {
        SetLastNearestIcao(icao);
        // Only the NEAREST page's details follow the nearest airport; a
        // chosen airport keeps its own (dropping them hid its information
        // box until the next capture).
        if (InNearestMode()) {
            ClearAirportDetailLoaded();
            InvalidateSnapshot();
        }
    }
}

double SnapshotPeriod(double groundSpeed)
{
    double p = 5.0 - 5.0 * groundSpeed / 100.0;
    return p < 1.0 || std::isnan(p) ? 1.0 : p;
}

static void RefreshSnapshot(float dt)
{
    SnapshotClock += dt;
    double groundSpeed = Aircraft.GroundSpeed;
    bool layerChanges = (TerrainObstacleFlag && Settings.Terrainstate && BackgroundDrawn && IsTerrainDataAvailable()) ||
                        NavSymbolsChanged;
    if (!(SnapshotClock > 30.0 || (layerChanges && SnapshotClock > SnapshotPeriod(groundSpeed))))
        return;
    bool drawnIntoSnapshot = (Settings.RenderToTexture == 2 && (!Settings.AirportChart || Settings.AirportOverlay)) ||
                             NearestPanelInSnapshot;
    if (drawnIntoSnapshot && groundSpeed > 5.0)
        InvalidateSnapshot();
    SnapshotClock = 0;
    LabelPhase = !LabelPhase;
}

void DrawScreen(HWND window, float dt, int width, int height)
{
    ResetFrameGlobals();
    DrawingFrame = 1;
    RestoreViewport();
    SetScreenFactors(width, height);
    TakeBezelAndCentre();
    SwapTileBanks();
    TellWhenTheMapCannotLoad();
    // A new tile grid replaces a local raster set shown before it.
    if (TakeNewTileBankFlag() && TileMapFlag.load())
        ReleaseLocalMapBankTextures();
    RunFrameUpdate(window, width, height);
    CurrentFrame.dt = dt;
    CurrentFrame.width = width;
    CurrentFrame.height = height;
    ClearTarget(EmptyMapColour);
    SetGridGeometry();
    DrawFrameLayers(window, CurrentFrame);
    TakeMapRedrawRequest();
    PresentWholeScreen();
    bool terrainLoading = UploadWaitingTextures();
    RunFrameLimiter(terrainLoading);
    ShowRequestedPdfPage();
    RefreshNearestAirportsOfView(width, height);
    RefreshSnapshot(dt);
    FirstFrameDrawn = true;
    DrawingFrame = 0;
}

// ---- small windows ----

void FormatWindText(char* out, size_t size, float direction, float speed)
{
    const char degree = static_cast<char>(0xB0);
    if (speed > 0)
        std::snprintf(out, size, "%3d%c\n%3d kn", TruncateToInt(direction + 0.5), degree,
                      TruncateToInt(speed + 0.5));
    else
        std::snprintf(out, size, "---%c\n--- kn", degree);
}

// The common start of both small windows: the update runs for the 640 x 480
// view whatever the window's size, and the picture starts black.
static void BeginSmallWindow(HWND window)
{
    ResetFrameGlobals();
    RestoreViewport();
    TakeBezelAndCentre();
    RunFrameUpdate(window, 640, 480);
    ClearTarget(0);
}

struct WindArrow {
    char text[32];
    uint32_t colour;
    float angle;
};

static WindArrow TakeWind()
{
    float m = 0;
    if (!Settings.HeadingIsTrue)
        GetMagneticVariation(&m);
    float direction = 0, speed = 0;
    GetWindDirectionAndSpeed(&direction, &speed);
    WindArrow w{};
    FormatWindText(w.text, sizeof w.text, direction, speed);
    float turn = (direction - 180 + m) * RadiansPerDegree5F;
    if (WindArrowMode) {
        w.colour = 0xFF00FF00u;
        w.angle = GetDisplayAngleOffset() + turn;
    } else {
        DimColour(&w.colour, White);
        w.angle = CurrentFrame.mapRotation + turn;
    }
    return w;
}

static void UseUnitScreenFactors()
{
    SetFontSize(16);
    ScreenScaleX = ScreenScaleY = TextScale = 1.0f;
}

float FittingTextScale(const char* text, float room)
{
    OutlinePoint box[5], frame[5];
    MeasureTextOutline(box, frame, 1.0, text, 400, 0.0, 0.0);
    float width = box[2].x - box[1].x;
    if (!(room > 0.0f))
        return 0.0f;
    return width > room ? room / width : 1.0f;
}

// The small windows draw their texts in client pixels: a text that would run
// past the window's right edge (or into the wind box) is drawn smaller so it
// shows whole.
static void DrawTextWithin(const char* text, float x, float y, float right, uint32_t colour)
{
    float scale = FittingTextScale(text, right - x);
    if (scale <= 0.0f)
        return;
    TextScale = scale;
    DrawText(text, x, y, colour, 0);
    TextScale = 1.0f;
}

// The room the small windows' texts end at: the client's right edge less a
// pixel; a window not measured yet counts as its nominal width.
static float RightEdge(int width, int nominal)
{
    return static_cast<float>(width > 0 ? width : nominal) - 1.0f;
}

void DrawMiniHeadingBox(HWND window, float, int width, int)
{
    BeginSmallWindow(window);
    WindArrow w = TakeWind();
    UseUnitScreenFactors();
    HeadingBoxRect = {0, 68, 0, 37};
    // Our arrow picture is 64 pixels: placed 250 units left of the window it
    // would lie outside it, so it sits in the window's left half instead.
    float offsetX = Settings.WindowFrame ? 0.0f : -16.0f;
    float scale = Settings.WindowFrame ? 4.2f : 4.5f;
    DrawSpriteScaled(SpriteWindArrow, HeadingBoxRect.left - offsetX, HeadingBoxRect.top, w.colour, scale, w.angle);
    DrawTextWithin(w.text, HeadingBoxRect.left + 40, HeadingBoxRect.top, RightEdge(width, 80), w.colour);
    PresentFrame();
}

// A sprite with its top-left corner at client pixel (px, py) and its own
// pixel size x scale, turned about its centre: true to its shape whatever
// the window's proportions.
static void DrawSpriteAtClientPixel(int slot, float px, float py, float scale, uint32_t colour, float angle,
                                    int width, int height)
{
    float cx = static_cast<float>(ScreenCentre.x), cy = static_cast<float>(ScreenCentre.y);
    float x = px - width * cx / 640.0f + cx, y = py - height * cy / 480.0f + cy;
    DrawSprite(slot, x, y, colour, 0, scale, QuadPlacement::MapPixels, OwnAngle{angle});
}

// The lines end before the wind box at the right (right: its left edge).
static void DrawSmallStatusLines(float right)
{
    static const float BezelY[3] = {-1, 21, 41}, PlainY[3] = {0, 20, 40};
    ViewportRect view{};
    GetMapViewport(&view);
    for (int k = 0; k < 3; ++k) {
        if (!StatusLines[k].shown)
            continue;
        SetFontSize(18);
        float x = BezelShown ? view.left + 2.0f : 2.0f;
        float y = BezelShown ? view.top + BezelY[k] : PlainY[k];
        uint32_t colour = k > 0 && IsCrossTrackExceeded() ? 0xFF00FFFFu : White;
        DrawTextWithin(StatusLines[k].text, x, y, right, colour);
    }
}

void DrawMiniHeadingBoxAlt(HWND window, float, int width, int height)
{
    BeginSmallWindow(window);
    ScreenScaleX = ScreenScaleY = TextScale = 1.0f;
    float top = ScreenLayout.MapRectY + 27.0f;
    HeadingBoxRect = {400, 468, top, top + 37};
    DrawSmallStatusLines(HeadingBoxRect.left - 4.0f);
    WindArrow w = TakeWind();
    UseUnitScreenFactors();
    // Drawn by its corner in client pixels beside the wind text: the factor
    // placement (400 x 4.25 units) would put it far outside the window.
    float scale = Settings.WindowFrame ? 0.5f : 0.55f;
    DrawSpriteAtClientPixel(SpriteWindArrow, HeadingBoxRect.left + 2, 2, scale, w.colour, w.angle, width, height);
    DrawTextWithin(w.text, HeadingBoxRect.left + 40, 0, RightEdge(width, 500), w.colour);
    PresentFrame();
}
