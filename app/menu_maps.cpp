// The map levels of the softkey menu: map sources, map types and the pages
// of an airport chart, with their page tables.
#include "app/softkey_menu.h"
#include "app/softkey_page_tables.h"

#include "app/command_table.h"
#include "app/layout_tables.h"

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
#include "platform/ini_sections.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "render/snapshot.h"
#include "display/chart_view.h"
#include "maps/airport_charts.h"

#include <array>
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
    if (TileMapFlag.load() && !IsCatalogueRequestPending()) {
        StartTileLoaderThread(source);
    } else if (IsCatalogueRequestPending()) {
        StartTileLoaderThread(source);
        StartTileLoaderThreadPlain();
        ClearCatalogueRequest();
        SetTileRestartFlag();
    } else {
        RestartMapTiles(source);
    }
}

void TakeOnlineTileType(int id)
{
    Settings.SatMode = -id;
    // The next grid is built for the chosen type (it kept the one shown),
    // and no local map is waited for any more.
    CurrentTileMapType = -id;
    ClearCatalogueRequest();
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
    if (TileMapFlag.load())
        StopTilesForLocalMap();
    ResetNoMapCounter();
    LoadMapGeoreference();
    StartLocalMapTileLoader();
    char text[16];
    std::snprintf(text, sizeof(text), "%d", Settings.MapType.load());
    WritePrivateProfileStringA(MainSection, "MapType", text, IniFilePath);
    WritePrivateProfileStringA(G500Section, "MapType", text, IniFilePath);
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


// ---- level 4: map sources ----

// An online map type (its number negated); type 4 is the satellite mode
// while tile threads run.
void TakeMapSource(int type)
{
    if (type == -4 && Settings.NrOfThreads.load() > 0)
        Settings.SatMode = Settings.SatMode.load() ? 0 : 1;
    else
        Settings.MapType = type;
    Settings.PreferedChartType = Settings.MapType.load();
    RestartTileLoaderFor(Settings.MapType.load());
}

// key, label, tooltip, label offset, action, lit when, face rule, choice
constexpr SoftkeyRow MapSourceRows[] = {
    {0, "", BlankTooltip, 16, [](int) { SetSoftkeyLevel(MenuMapSources, 0); }},
    {1, "", BlankTooltip, 16, TakeMapSource, nullptr, nullptr, -1},
    {2, "", BlankTooltip, 16, TakeMapSource, nullptr, nullptr, -2},
    {3, "", BlankTooltip, 16, TakeMapSource, nullptr, nullptr, -3},
    {4, "", BlankTooltip, 16, TakeMapSource, nullptr, nullptr, -4},
    {5, nullptr, 0, 0},
};

// ---- level 6: map types ----

// A key of the map-type page: the map type the last build placed on it.
void TakeMapTypeKey(int key)
{
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

bool IsPlacedMapTypeInUse(int key) { return IsMapTypeInUse(MapTypeSoftkeyIds[key]); }

// The page's rows as the last build placed them; until the first build
// every key is blank but the back key, as MapTypeSoftkeyIds.
constexpr std::array<SoftkeyRow, MapTypeSoftkeySlots> MakeUnplacedRows()
{
    std::array<SoftkeyRow, MapTypeSoftkeySlots> rows{};
    for (int n = 0; n < MapTypeSoftkeySlots; ++n)
        rows[static_cast<size_t>(n)] = {n, " ", BlankTooltip, 16, TakeMapTypeKey, IsPlacedMapTypeInUse};
    rows[BackSoftkey] = {BackSoftkey, "ESC", BackTooltip, 16, TakeMapTypeKey, IsPlacedMapTypeInUse};
    return rows;
}

constinit std::array<SoftkeyRow, MapTypeSoftkeySlots> MapTypeRows = MakeUnplacedRows();

struct MapTypeCandidate {
    const char* label;
    int32_t id;
    int tooltip, offset;
    const char* command;
};

const MapTypeCandidate LocalMapCandidates[] = {
    {"ICAO", 1, 91, 10, "ICAO"},       {"VFR", 7, 92, 16, "VFR"},        {"VFR", 6, 93, 16, "VFR"},
    {"TOPO", 2, 95, 10, "TOPO"},       {"TOPO", 33, 95, 10, "TOPO"},     {"TOPO5", 21, 95, 10, "TOPO5"},
    {"TOPO10", 22, 95, 5, "TOPO10"},   {"TPC", 11, 158, 5, "TPC"},       {"ONC", 12, 159, 5, "ONC"},
    {"WAC", 13, 159, 5, "WAC"},        {"AIRPORT", 4, 96, 5, "AIRPORT"}, {"APPR", 8, 97, 10, "APPR"},
    {"ARRIVAL", 9, 98, 5, "ARRIVAL"},  {"DEPART", 10, 99, 5, "DEPART"},  {"IFR LOW", 31, 100, 1, "IFR_LOW"},
    {"IFR HIGH", 32, 101, 1, "IFR_HIGH"}, {"IFR PLN", 30, 102, 2, "IFR_PLN"}};

// Places the available map types on the keys in order, the back key kept
// on its own key, and blanks after them.
class MapTypePlacer {
public:
    void Place(const MapTypeCandidate& c)
    {
        if (next_ >= SoftkeyCount)
            return;
        Put(next_, c.label, c.id, c.tooltip, c.offset);
        SetCommandName(static_cast<uint32_t>(commands_++), c.command);
        ++next_;
        if (next_ == BackSoftkey && !backPlaced_)
            PlaceBack();
    }
    void Finish()
    {
        MapTypeSoftkeyCount = next_;
        for (int n = next_; n < SoftkeyCount; ++n) {
            if (n == BackSoftkey && !backPlaced_) {
                PlaceBack();
                continue;
            }
            Put(n, " ", MapTypeBlankId, BlankTooltip, 16);
        }
        if (!backPlaced_)
            PlaceBack();
    }

private:
    static void Put(int n, const char* label, int32_t id, int tooltip, int32_t offset)
    {
        SoftkeyRow& row = MapTypeRows[static_cast<size_t>(n)];
        row.label = label;
        row.tooltip = tooltip;
        row.offset = offset;
        MapTypeSoftkeyIds[n] = id;
    }
    void PlaceBack()
    {
        Put(BackSoftkey, "ESC", MapTypeBackId, BackTooltip, 16);
        backPlaced_ = true;
        if (next_ == BackSoftkey)
            ++next_;
    }
    int next_ = 0, commands_ = 0;
    bool backPlaced_ = false;
};

// ---- level 6, sublevel 1: the online provider (keys without actions) ----

// The provider's chart types while a satellite mode with types is on; the
// bare SAT key for the other modes that have one; nothing else.
std::span<const SoftkeyRow> MapProviderRows()
{
    static SoftkeyRow rows[8];
    static const auto IsChartType = [](int key) { return GetTileChartType() == key; };
    int sat = Settings.SatMode.load();
    size_t n = 0;
    if (sat == 3 || sat > 4) {
        rows[n++] = {0, "SAT", 58, 10};
        for (int key = 1; key <= 5; ++key)
            rows[n++] = {key, " ", BlankTooltip, 16};
    } else if (sat == 0 || sat == 1) {
        rows[n++] = {0, "AERIAL+R", 54, 0, nullptr, IsChartType};
        rows[n++] = {1, "ROAD", 55, 10, nullptr, IsChartType};
        rows[n++] = {2, "AERIAL", 56, 5, nullptr, IsChartType};
        rows[n++] = sat == 0 ? SoftkeyRow{3, "GEO", 57, 16, nullptr, IsChartType} : SoftkeyRow{3, "SAT", 58, 10};
        rows[n++] = {4, "OSM", 76, 16};
        rows[n++] = {5, " ", BlankTooltip, 16};
    } else {
        return {};
    }
    rows[n++] = {BackSoftkey, "ESC", BackTooltip, 16};
    return {rows, n};
}

// ---- level 9: the airport chart ----

constexpr float QuarterTurn = 1.5708f;

void ImportChartKey(int)
{
    ImportPdfChart();
    ClearInfoModes(false);
}

bool IsSinglePageChart() { return Settings.PDFPages < 2; }

// Key 1: a single page turns left; else the preview of the pages flips.
void PreviewKey(int)
{
    if (IsSinglePageChart()) {
        RotateChart(-QuarterTurn);
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
}

// Key 2: a single page turns right; else the page (or preview page) before.
void PageBackKey(int)
{
    if (IsSinglePageChart())
        RotateChart(QuarterTurn);
    else if (Settings.PDFPreview)
        PrevThumbnailPage();
    else
        RequestPdfPageAt(CurrentPdfPage > 0 ? CurrentPdfPage - 1 : 0);
}

// Key 3: a single page turns left; else the page (or preview page) after.
void PageOnKey(int)
{
    if (IsSinglePageChart())
        RotateChart(-QuarterTurn);
    else if (Settings.PDFPreview)
        NextThumbnailPage();
    else
        RequestPdfPageAt(CurrentPdfPage + 1 < Settings.PDFPages ? CurrentPdfPage + 1 : Settings.PDFPages - 1);
}

// Key 5: a chart of its own turns right; else the referenced map flips.
void RotateOrOverlayKey(int)
{
    if (Settings.AirportChart && !Settings.ReferencedAirportMap)
        RotateChart(QuarterTurn);
    else
        FlipReferencedAirportMap(false);
}

void LeaveChartKey(int)
{
    LeavePdfPreview();
    Settings.PDFPreview = 0;
}

// The keys act the same whatever their faces show.
constexpr void (*ChartActions[9])(int) = {
    ImportChartKey, PreviewKey, PageBackKey, PageOnKey, [](int) { RotateChart(-QuarterTurn); },
    RotateOrOverlayKey, LeaveChartKey, [](int) { ZoomChart(1.5f); }, [](int) { ZoomChart(0.6666667f); }};

bool IsChartShown(int) { return Settings.AirportChart != 0; }
bool IsOverlayOn(int) { return Settings.AirportOverlay != 0; }

// The faces follow the pages of the chart, whether it is shown, the preview
// and the overlay a referenced map or the airport diagram offers.
std::span<const SoftkeyRow> ChartRows()
{
    static SoftkeyRow rows[14];
    for (int key = 0; key < 14; ++key)
        rows[key] = {key, nullptr, 0, 0, key < 9 ? ChartActions[key] : nullptr};
    auto face = [](int key, const char* label, int tooltip, int32_t offset, bool (*lit)(int) = nullptr) {
        SoftkeyRow& row = rows[key];
        row.label = label;
        row.tooltip = tooltip;
        row.offset = offset;
        row.lit = lit;
    };
    // The overlay key: on key n over a referenced map, on key 4 over the
    // airport diagram; false when neither is up.
    auto overlay = [&face](int key) {
        if (Settings.ReferencedAirportMapDisplayed)
            face(key, "Overlay", 48, 4, IsOverlayOn);
        else if (Settings.NavAirport)
            face(4, "OVERLAY", 48, 4, IsOverlayOn);
        else
            return false;
        return true;
    };
    bool shown = Settings.AirportChart != 0;
    face(0, "PDF", 51, 16, IsChartShown);
    if (Settings.PDFPages > 1) {
        face(1, "PREVIEW", 40, 4, [](int) { return Settings.PDFPreview != 0; });
        face(2, "PAGE -", 40, 2);
        face(3, "PAGE +", 42, 2);
        if (shown) {
            face(4, "ROTATE-", 40, 4);
            face(5, "ROTATE+", 42, 4);
            overlay(7);
        }
    } else {
        face(1, "ROTATE-", 40, 4);
        face(2, "ROTATE+", 42, 4);
        if (!overlay(3))
            face(3, " ", BlankTooltip, 16);
    }
    if (shown)
        rows[1].tooltip = 52;
    face(BackSoftkey, "ESC", BackTooltip, 16);
    if (!Settings.PDFPreview) {
        face(7, "ZOOM IN", 144, 16);
        face(8, "ZOOM OUT", 145, 16);
        for (int key = 9; key <= 13; ++key)
            face(key, " ", BlankTooltip, 16);
    }
    return rows;
}

}  // namespace

// Nothing shown and no key acts on the first map-source page.
constinit const SoftkeyPage MapSourceStartPage = {.level = MenuMapSources, .sublevel = 0};
constinit const SoftkeyPage MapSourcePage = {
    .level = MenuMapSources,
    .sublevel = 1,
    .rows = MapSourceRows,
    .unlisted = [](int) { TakeMapSource(-1); }};  // any other key: type 1
constinit const SoftkeyPage MapTypePage = {
    .level = MenuMapTypes, .sublevel = 0, .computed = [] { return std::span<const SoftkeyRow>(MapTypeRows); },
    .prepare = PlaceMapTypes};
constinit const SoftkeyPage MapProviderPage = {.level = MenuMapTypes, .sublevel = 1, .computed = MapProviderRows};
constinit const SoftkeyPage ChartPage = {.level = MenuChart, .sublevel = 0, .computed = ChartRows};

void PlaceMapTypes()
{
    MapTypePlacer page;
    page.Place({"SAT", -1, 84, 16, "SAT"});
    if (IsMapQuestMode())
        page.Place({"HYBRID", -2, 85, 16, "HYBRID"});
    if (IsHereMode())
        page.Place({"LANDFORM", -3, 87, 16, "LANDFORM"});
    page.Place({"OSM", -4, 76, 16, "OSM"});
    page.Place({"OPN TOPO", -5, 77, 16, "OPN_TOPO"});
    if (IsTerrainDataAvailable())
        page.Place({"TERRAIN", 3, 89, 2, "TERRAIN"});
    page.Place({"WEATHER", 100, 90, 5, "WEATHER"});
    for (const MapTypeCandidate& c : LocalMapCandidates)
        if (IsMapTypeAvailable(c.id))
            page.Place(c);
    page.Place({"BROWSER", MapTypeBrowserId, 166, 2, "BROWSER"});
    page.Finish();
}

void MapTypeMenuCommand(int key) { RunSoftkeyPageKey(MenuMapTypes, key); }
void ChartMenuCommand(int key) { RunSoftkeyPageKey(MenuChart, key); }

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

// The page that a thumbnail click or a page key asked for.
void SetCurrentPdfPage(int page)
{
    if (page >= 0 && page < Settings.PDFPages)
        RequestPdfPageAt(page);
}
