// The layers of a whole-screen frame, one named step each. A step whose
// module has not come yet is kept in its place with nothing to draw.
#include "display/frame_layers.h"

#include "display/airport_boxes.h"
#include "display/airspace_layers.h"
#include "display/background_layers.h"
#include "display/frame_limiter.h"
#include "display/instrument_layers.h"
#include "display/nav_layer.h"
#include "display/onscreen_keyboard.h"
#include "display/route_layers.h"
#include "display/softkey_bar.h"
#include "display/status_layer.h"
#include "display/text_boxes.h"
#include "display/track_traffic_layer.h"

// Chart or thumbnails, local raster maps, map tiles, weather radar and the
// airport map image: one module draws them.
static void DrawMapBackground(const FrameView& f)
{
    DrawBackgroundLayers(f.width, f.height);
}

static void DrawAirspacesAndAirways() { DrawAirspaceAndAirwayLayers(); }

static void DrawNavaidsFixesAirports(const FrameView& f) { DrawNavigationLayer(f.width, f.height); }

// NEAREST airports and the airport diagram, plan legs and their labels.
static void DrawRoute(const FrameView& f) { DrawRouteLayers(f.dt, f.width, f.height); }

// Track plot (or its preview while its options are set), traffic targets,
// the track or air vector.
static void DrawTrackTrafficVectors(HWND window, const FrameView& f)
{
    int trackPoints = DrawTrackPlot(window, f.mapRotation);
    DrawTrackPlotPreview(trackPoints, f.mapRotation, f.trackAngle);
    DrawTrafficTargets(f.mapRotation, f.symbolRotation);
    DrawTrackVector(f.mapRotation);
}

// The bezel covers the map outside its window but not the symbols.
static void DrawTerrainBoxAndBezel()
{
    DrawTerrainValueBox();
    DrawBezelOverlay();
}

static void DrawProfileWindRoseWindBox(const FrameView& f)
{
    DrawTerrainProfileLayer();
    DrawWindAndNorth(f.mapRotation);
}
static void DrawDirectTo(const FrameView& f) { DrawDirectToLine(f.mapRotation); }

static void DrawAircraft(const FrameView& f)
{
    DrawAircraftSymbol(f.mapRotation, f.trackAngle, f.symbolRotation);
}

static void DrawTerrainAlerts() { DrawTerrainAlertBox(); }
static void DrawStatusBlock(const FrameView& f) { DrawStatusLayer(f.height); }
static void DrawSoftkeys(const FrameView& f) { DrawSoftkeyBar(f.height); }
static void DrawKeyboard() { DrawOnScreenKeyboard(); }
static void DrawTooltips(const FrameView& f) { DrawTooltipBands(f.height); }

static void DrawZoomBoxAndMouseRectangle()
{
    DrawZoomBox();
    DrawButtonOutlines();
}

// Every colour is dimmed where it is drawn; the frame time is taken after the
// last map layer.
static void DrawMessageBoxAndAccountTime()
{
    DrawScreenMessageBox();
    ShowWaitCursor();
    float frameTime = 0;
    AccountFrameTime(&frameTime);
}

void DrawFrameLayers(HWND window, const FrameView& f)
{
    DrawMapBackground(f);
    RunTerrainAlerts(); // ahead of the shading, which draws with their look-ahead
    DrawTerrainShading();
    DrawAirspacesAndAirways();
    DrawNavaidsFixesAirports(f);
    DrawRoute(f);
    DrawTrackTrafficVectors(window, f);
    DrawTerrainBoxAndBezel();
    DrawProfileWindRoseWindBox(f);
    DrawDirectTo(f);
    DrawNearestAndAptBoxes();
    DrawAircraft(f);
    DrawTerrainAlerts();
    DrawStatusBlock(f);
    DrawSoftkeys(f);
    DrawKeyboard();
    DrawTooltips(f);
    DrawZoomBoxAndMouseRectangle();
    DrawMessageBoxAndAccountTime();
    DrawChartBusyLabel();
}
