// The layers of a whole-screen frame in their order, each a named step;
// later layers draw over earlier ones.
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

// Track plot (or its preview while its options are set), traffic targets,
// the track or air vector.
static void DrawTrackTrafficVectors(HWND window, const FrameView& f)
{
    int trackPoints = DrawTrackPlot(window, f.mapRotation);
    DrawTrackPlotPreview(trackPoints, f.mapRotation, f.trackAngle);
    DrawTrafficTargets(f.mapRotation, f.symbolRotation);
    DrawTrackVector(f.mapRotation);
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
    // Chart or thumbnails, local raster maps, map tiles, weather radar and
    // the airport map image.
    DrawBackgroundLayers(f.width, f.height);
    RunTerrainAlerts(); // ahead of the shading, which draws with their look-ahead
    DrawTerrainShading();
    DrawAirspaceAndAirwayLayers();
    DrawNavigationLayer(f.width, f.height);
    // NEAREST airports and the airport diagram, plan legs and their labels.
    DrawRouteLayers(f.dt, f.width, f.height);
    DrawTrackTrafficVectors(window, f);
    DrawTerrainValueBox();
    // The bezel covers the map outside its window but not the symbols.
    DrawBezelOverlay();
    DrawTerrainProfileLayer();
    DrawWindAndNorth(f.mapRotation);
    DrawDirectToLine(f.mapRotation);
    DrawNearestAndAptBoxes();
    DrawAircraftSymbol(f.mapRotation, f.trackAngle, f.symbolRotation);
    DrawTerrainAlertBox();
    DrawStatusLayer(f.height);
    DrawSoftkeyBar(f.height);
    DrawOnScreenKeyboard();
    DrawTooltipBands(f.height);
    DrawZoomBox();
    DrawButtonOutlines();
    DrawMessageBoxAndAccountTime();
    DrawChartBusyLabel();
}
