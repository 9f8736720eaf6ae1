// The map levels of the softkey menu: map sources, map types and the pages
// of an airport chart.
#include "app/softkey_menu.h"

#include "app/click_zones.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/helper_dialogs.h"
#include "app/status_message.h"
#include "maps/terrain_data.h"
#include "display/airport_info_box.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "display/chart_view.h"
#include "display/map_georeference.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "display/softkey_pages.h"
#include "maps/local_maps.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "render/snapshot.h"
#include "display/chart_view.h"
#include "maps/airport_charts.h"

#include <cstdio>

namespace {

// Map-type ids of the map-type page.
constexpr int MapTypeBack = 1000;
constexpr int MapTypeBrowser = 910;
constexpr int MapTypeTerrain = 3;
constexpr int MapTypeAirportDiagram = 4;
constexpr int MapTypeWeather = 100;
constexpr int ChartImageLimit = 512;

int CurrentPdfPage = 0;

// The tile loader started for a new map source.
void RestartTileLoaderFor(int source)
{
    if (TileMapFlag.load() && !IsTileStopPending()) {
        StartTileLoaderThread(source);
    } else if (IsTileStopPending()) {
        StartTileLoaderThread(source);
        StartTileLoaderThreadPlain();
        ClearTileStopPending();
        SetTileRestartFlag();
    } else {
        RestartMapTiles(source);
    }
}

void TakeOnlineTileType(int id)
{
    Settings.SatMode = -id;
    // The next grid is built for the chosen type (it kept the one shown).
    CurrentTileMapType = -id;
    Settings.MapType = id;
    int stopped = 0;
    StopTileLoader(&stopped);
    Settings.PreferedChartType = id;
    RefreshMapAtMapCentre();
}

void FlipTerrain()
{
    if (!Settings.Terrainstate) {
        if (!IsTerrainDataAvailable())
            return;
        Settings.Terrainstate = 1;
        Settings.WeatherState = 0;
        if (TileMapFlag.load() && GetWantedZoom() < 10) {
            int started = 0;
            ZoomInAndRefresh(&started);
        }
    } else {
        RestartTerrainUpload();
        Settings.Terrainstate = 0;
    }
}

void TakeServerMap(int id)
{
    if (!SelectServerMapAtPosition(id))
        return;
    Settings.MapType = id;
    Settings.SatMode = id;
    CurrentTileMapType = id;
    Settings.PreferedChartType = id;
    RefreshMapAtMapCentre();
    RestartTileLoaderFor(id);
}

// Loads a chart image with its georeference as the referenced airport map.
bool ShowReferencedChart(char* path, int pathSize)
{
    if (!LoadChartImage(path, pathSize)) {
        Settings.ReferencedAirportMapDisplayed = 0;
        return false;
    }
    OpenChartGeoref(path);
    Settings.ReferencedAirportMap = 1;
    Settings.ReferencedAirportMapDisplayed = 1;
    return true;
}

void TakeSingleChart(int id)
{
    char path[ChartImageLimit] = "";
    if (!GetSingleChartPath(path, id, Settings.AirportChartMenu)) {
        // The list of the key's own kind: the menu's bits also hold the
        // other kinds the airport has, and the first of them would be listed.
        int kind = 1 << (id - 8);
        if (!(Settings.AirportChartMenu & kind))
            return;
        if (WriteChartListRequest(kind, GetMainWindow()) <= 0)
            return;
        char helper[600];
        std::snprintf(helper, sizeof(helper), "%s/Selvra.exe", SystemFolder);
        // A reply left from an earlier choice is never taken for this one.
        std::remove("lbaptchart.txt.res");
        RunHelperProgram(helper, "lbaptchart.txt");
        char chosen[128] = "";
        ReadHelperReply("lbaptchart.txt.res", chosen, sizeof(chosen));
        if (!chosen[0] || !BuildChartPath(path, kind, chosen))
            return;
    }
    int old = Settings.MapType.load();
    if (!ShowReferencedChart(path, ChartImageLimit))
        Settings.MapType = old;
}

// Looks through every local map package for a sheet at the position; of
// several, the one whose sheet lies nearest its edges (the most detailed).
bool TakeLocalMapPackage()
{
    int old = Settings.MapType.load();
    int count = GetLocalMapCount();
    bool found = false;
    TakeFoundLocalSheet();
    for (int i = 0; i < count; ++i) {
        Settings.MapType = i;
        found = OpenLocalMapAtPosition(0) || found;
    }
    int best = GetCurrentSheetMap();
    Settings.MapType = best;
    // Its sheets and georeference again, after the packages tried later.
    if (!found || best < 0 || !OpenLocalMapAtPosition(0)) {
        Settings.MapType = old;
        return false;
    }
    if (TileMapFlag.load()) {
        int stopped = 0;
        StopTileLoader(&stopped);
        MarkTileStopPending();
    }
    LoadMapGeoreference();
    StartLocalMapTileLoader();
    char text[16];
    std::snprintf(text, sizeof(text), "%d", Settings.MapType.load());
    WritePrivateProfileStringA("Zorizeruverovu Plovik", "MapType", text, IniFilePath);
    WritePrivateProfileStringA("Zorizeruverovu Plovik G500", "MapType", text, IniFilePath);
    return true;
}

// The airport's own diagram first; a local map package only when the
// airport has charts but its diagram does not load. A shown diagram goes.
void TakeAirportDiagram()
{
    if (Settings.ReferencedAirportMapDisplayed) {
        Settings.ReferencedAirportMapDisplayed = 0;
        return;
    }
    if (!ListAirportCharts())
        return;
    char path[ChartImageLimit] = "";
    if (GetAirportDiagramPath(path, Settings.AirportChartMenu) && ShowReferencedChart(path, ChartImageLimit))
        return;
    TakeLocalMapPackage();
}

void StartBrowserHelper()
{
    bool topmost = Settings.TopMost.load() != 0;
    if (topmost)
        SetWindowNotTopmost();
    char helper[600];
    std::snprintf(helper, sizeof(helper), "%s/Tolvi.exe", SystemFolder);
    ShellExecuteA(nullptr, "open", helper, nullptr, SystemFolder, SW_SHOWNORMAL);
    if (topmost)
        SetWindowTopmost();
}

bool IsWeatherBlocked()
{
    int sat = Settings.SatMode.load();
    return IsMapQuestMode() && (sat == 1 || sat == 2);
}

void TakeMapType(int id)
{
    SelectMapTypeEntry(id);
    Settings.PreviousMapType = id;
    if (id >= -5 && id <= -1) {
        TakeOnlineTileType(id);
    } else if (id == MapTypeTerrain) {
        FlipTerrain();
    } else if (id == 6 || (id >= 11 && id <= 13) || (id >= 30 && id <= 34)) {
        TakeServerMap(id);
    } else if (id >= 8 && id <= 10) {
        TakeSingleChart(id);
    } else if (id == MapTypeWeather) {
        if (!IsWeatherBlocked()) {
            ToggleWeather();
            RefreshMapAtMapCentre();
        }
    } else if (id == MapTypeAirportDiagram) {
        TakeAirportDiagram();
    } else if (id == 1 || id == 2 || id == 7 || id == 21 || id == 22) {
        TakeLocalMapPackage();
    }
}

void RequestPdfPageAt(int page)
{
    CurrentPdfPage = page;
    char text[256];
    FormatLanguageText(text, sizeof(text), LanguageSection::General, 21, "%d %d", page + 1, Settings.PDFPages);
    ShowStatusMessage(text);
    RequestPdfPage(page);
}

void RotateChart(float radians)
{
    Settings.AirportChartRotate += radians;
}

void LeavePdfPreview()
{
    LeaveAirportChart();
    SetSoftkeyLevel(MenuNavData, 0);
    if (Settings.PDFFrameState)
        SetShowFrameOn();
}

}  // namespace

// The georeferenced chart laid over the moving map, where the aircraft
// flies on it, or back as the chart alone.
void FlipReferencedAirportMap(bool backAfterShowing)
{
    if (!Settings.ReferencedAirportMapDisplayed) {
        Settings.ReferencedAirportMapDisplayed = 1;
        Settings.AirportChart = 0;
        if (backAfterShowing)
            SoftkeyBack();
    } else {
        Settings.ReferencedAirportMapDisplayed = 0;
        Settings.AirportChart = 1;
    }
}

void MapSourceMenuCommand(int key)
{
    if (Settings.Softkeysublevel == 0 || key == 5)
        return;
    if (key == 0) {
        SetSoftkeyLevel(MenuMapSources, 0);
        return;
    }
    if (key == 2 || key == 3)
        Settings.MapType = -key;
    else if (key == 4 && Settings.NrOfThreads.load() > 0)
        Settings.SatMode = Settings.SatMode.load() ? 0 : 1;
    else if (key == 4)
        Settings.MapType = -4;
    else
        Settings.MapType = -1;
    Settings.PreferedChartType = Settings.MapType.load();
    RestartTileLoaderFor(Settings.MapType.load());
}

void MapTypeMenuCommand(int key)
{
    // Only the first page holds map types; keys beyond its table choose nothing.
    if (Settings.Softkeysublevel != 0 || key < 0 || key >= MapTypeSoftkeySlots)
        return;
    int id = MapTypeSoftkeyIds[key];
    if (id == MapTypeBack) {
        SoftkeyBack();
        return;
    }
    if (id == MapTypeBrowser) {
        StartBrowserHelper();
        return;
    }
    TakeMapType(id);
    if (IsNearestPageOpen())
        ToggleNearestPage();
    if (Settings.NavAirport) {
        DeselectAirport();
        InvalidateSnapshot();
    }
}

void ChartMenuCommand(int key)
{
    bool singlePage = Settings.PDFPages < 2;
    switch (key) {
    case 0:
        ImportPdfChart();
        ClearInfoModes(false);
        break;
    case 1:
        if (singlePage) {
            RotateChart(-1.5708f);
        } else if (Settings.PDFPreview) {
            Settings.PDFPreview = 0;
            HideThumbnails();
            LeavePdfPreview();
        } else {
            Settings.PDFPreview = 1;
            ShowThumbnails();
            if (Settings.PDFFrameState)
                SetShowFrameOff();
        }
        break;
    case 2:
        if (singlePage)
            RotateChart(1.5708f);
        else if (Settings.PDFPreview)
            PrevThumbnailPage();
        else
            RequestPdfPageAt(CurrentPdfPage > 0 ? CurrentPdfPage - 1 : 0);
        break;
    case 3:
        if (singlePage)
            RotateChart(-1.5708f);
        else if (Settings.PDFPreview)
            NextThumbnailPage();
        else
            RequestPdfPageAt(CurrentPdfPage + 1 < Settings.PDFPages ? CurrentPdfPage + 1 : Settings.PDFPages - 1);
        break;
    case 4: RotateChart(-1.5708f); break;
    case 5:
        if (Settings.AirportChart && !Settings.ReferencedAirportMap)
            RotateChart(1.5708f);
        else
            FlipReferencedAirportMap(false);
        break;
    case 6:
        LeavePdfPreview();
        Settings.PDFPreview = 0;
        break;
    case 7: ZoomChart(1.5f); break;
    case 8: ZoomChart(0.6666667f); break;
    default: break;
    }
}

// The page that a thumbnail click or a page key asked for.
void SetCurrentPdfPage(int page)
{
    if (page >= 0 && page < Settings.PDFPages)
        RequestPdfPageAt(page);
}
