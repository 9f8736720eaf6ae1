// The background layers (see background_layers.h): chart or thumbnails,
// local raster tiles or the tile grid with its radar, the airport map image,
// the terrain alerts and shading. The only state across frames is the bank
// the cursor was last reset for.
#include "display/background_layers.h"

#include "app/settings.h"
#include "display/chart_view.h"
#include "display/frame_renderer.h"
#include "display/map_view.h"
#include "maps/terrain_awareness.h"
#include "maps/terrain_data.h"
#include "display/sprite_draw.h"
#include "display/sprite_table.h"
#include "maps/tile_cache.h"
#include "maps/tile_grid.h"
#include "maps/weather_radar.h"
#include "platform/tvl_assert.h"
#include "platform/window.h"
#include "render/quads.h"
#include "display/chart_view.h"
#include "maps/airport_charts.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t White = 0xFFFFFFFFu;
constexpr uint32_t RadarColour = 0x80FFFFFFu;

int CursorBank = 0;
float ChartQuadCorners[4];
// Whether the frame's terrain alerts found the terrain layer on, for its shading.
bool TerrainLayerOn = false;

float PanX() { return MapPanOffset.x; }
float PanY() { return MapPanOffset.y; }

uint32_t MapColour()
{
    return (static_cast<uint32_t>(Settings.MapDimLevel & 0xFF) << 24) | 0xFFFFFFu;
}

bool NearestPageShown()
{
    return std::strcmp(Settings.SelectedAirport, "NEAREST") == 0;
}

const SpriteSlot* LoadedChart()
{
    const SpriteSlot* chart = GetChartSprite();
    return chart && chart->loaded && chart->texture ? chart : nullptr;
}

void DrawChartPicture(const SpriteSlot& chart)
{
    float zoom = GetChartZoom(), ox = 0, oy = 0;
    GetChartOrigin(&ox, &oy);
    float x = ox - chart.width * zoom / 2 + PanX();
    float y = oy - chart.height * zoom / 2 + PanY();
    DrawTextureScaled(&chart, x, y, White, 0.0f, zoom, QuadPlacement::MapPixels, OwnAngle{Settings.AirportChartRotate});
}

// Loads the chart of the path setting; false (and the chart off) when there
// is none to be had.
bool LoadChartOfPath(bool fit)
{
    if (!Settings.AirportName[0] || !LoadChartImage(Settings.AirportName, 512)) {
        Settings.AirportChart = 0;
        return false;
    }
    Settings.ReferencedAirportMap = OpenChartGeoref(Settings.AirportName) ? 1 : 0;
    if (fit) {
        if (!Settings.ReferencedAirportMapDisplayed) {
            FitChartToScreen();
            Settings.AirportChart = 1;
        } else {
            Settings.AirportChart = 0;
        }
    }
    return true;
}

void DrawGeorefMarks(const SpriteSlot& chart)
{
    GetLastQuadCorners(&ChartQuadCorners[0], &ChartQuadCorners[1], &ChartQuadCorners[2], &ChartQuadCorners[3]);
    float zoom = GetChartZoom(), ox = 0, oy = 0;
    GetChartOrigin(&ox, &oy);
    const ChartEdgeMark* marks = GetChartEdgeMarks();
    for (int k = 0; k < 4 && marks; k++) {
        if (!IsChartEdgePicked(marks[k]))
            continue;
        float x = std::trunc((marks[k].imageX - chart.width / 2.0f) * zoom + ox + PanX());
        float y = std::trunc((marks[k].imageY - chart.height / 2.0f) * zoom + oy + PanY());
        DrawSprite(k < 2 ? SpriteVerticalMark : SpriteHorizontalMark, x, y, White, 0.0f, zoom, QuadPlacement::MapPixels,
                   OwnAngle{Settings.AirportChartRotate});
    }
}

void DrawChartLayer(int width, int height)
{
    if (Settings.PDFPreview) {
        DrawThumbnails(width, height, ScreenCentre.x, ScreenCentre.y);
    } else {
        const SpriteSlot* chart = LoadedChart();
        if (!chart && LoadChartOfPath(true))
            chart = LoadedChart();
        if (chart) {
            DrawChartPicture(*chart);
            if (Settings.GeorefEdit)
                DrawGeorefMarks(*chart);
        }
    }
    BackgroundDrawn = 1;
}

GridCellPlacement PlacementOf(int cols, int rows, int cell)
{
    GridCellPlacement p;
    p.centreX = static_cast<float>(ScreenCentre.x);
    p.centreY = static_cast<float>(ScreenCentre.y);
    p.panX = PanX();
    p.panY = PanY();
    p.gridHalfWidth = GridHalfWidth;
    p.gridHalfHeight = GridHalfHeight;
    p.aircraftX = CurrentFrame.offsetX;
    p.aircraftY = CurrentFrame.offsetY;
    p.frameZoom = FrameZoom;
    p.mapScale = MapScale;
    p.cols = cols;
    p.rows = rows;
    p.cell = cell;
    return p;
}

void DrawLocalTiles()
{
    int shown = GetDisplayedTileBank();
    const TileGridBank& bank = TileGridBanks[shown];
    float w = 800.0f * MapScale;
    float cx = static_cast<float>(ScreenCentre.x), cy = static_cast<float>(ScreenCentre.y);
    float dx = (GridHalfWidth - CurrentFrame.offsetX) * FrameZoom * MapScale + PanX();
    float dy = (CurrentFrame.offsetY - GridHalfHeight) * FrameZoom * MapScale + PanY();
    // The loader fills one set while the other is shown: set 1 with bank 0.
    const SpriteSlot* set = LocalMapTexture[shown == 0 ? 1 : 0];
    // A set is at most the full 5 x 5, one texture slot a tile.
    TVL_ASSERT(bank.level >= 0 && bank.level <= LocalMapTilesPerBank);
    int count = bank.level > LocalMapTilesPerBank ? LocalMapTilesPerBank : bank.level;
    for (int n = 0; n < count; n++) {
        int p = LocalTileOrder(count, n);
        if (p < 0 || !set[p].loaded || !set[p].texture)
            continue;
        int column = 0, row = 0;
        LocalTilePosition(p, &column, &row);
        float x = cx + (column - 2.5f) * w + dx;
        float y = cy + (row - 2.5f) * w + dy;
        DrawTextureScaled(&set[p], x, y, MapColour(), CurrentFrame.mapRotation, MapScale, QuadPlacement::MapPixels);
        BackgroundDrawn = 1;
    }
}

// A tile texture as a texture entry of the sprite drawers; tiles dim with
// the rest of the map.
bool TileEntry(int index, SpriteSlot* out)
{
    if (index < 0 || index >= TileTexturePoolSize)
        return false;
    const TileTexture& t = TileTexturePool[index];
    if (!t.texture)
        return false;
    out->texture = t.texture;
    out->width = t.width;
    out->height = t.height;
    out->loaded = 1;
    out->dimmable = 1;
    return true;
}

void SetRadarProbe(const TileGridBank& bank, int lastSlot)
{
    float ax = FrameZoom * CurrentFrame.offsetX * MapScale;
    float ay = FrameZoom * CurrentFrame.offsetY * MapScale;
    float tx = std::trunc(ax / 256.0f), ty = std::trunc(ay / 256.0f);
    SetRadarProbeTile(ax - 256.0f * tx, ay - 256.0f * ty, bank.slots[0].tileX + static_cast<int>(tx),
                      bank.slots[lastSlot].tileY - static_cast<int>(ty));
}

void DrawTileGrid()
{
    int shown = GetDisplayedTileBank();
    const TileGridBank& bank = TileGridBanks[shown];
    int cols = bank.cols, rows = bank.rows;
    if (cols < 0 || rows < 0 || cols * rows > TileGridSlotCount)
        return;
    GridCellPlacement place = PlacementOf(cols, rows, bank.cellSize);
    bool radar = Settings.WeatherState.load() != 0 && !IsRadarSuppressed();
    uint32_t colour = MapColour();
    float angle = CurrentFrame.mapRotation;
    for (int r = 0; r < rows; r++) {
        for (int c = 0; c < cols; c++) {
            int k = r * cols + c;
            const TileGridSlot& slot = bank.slots[k];
            float x = 0, y = 0;
            PlaceGridCell(place, slot.column, slot.row, &x, &y);
            SpriteSlot entry;
            if (slot.loaded.load() && TileEntry(slot.texture.load(), &entry)) {
                DrawTextureScaled(&entry, x, y, colour, angle, MapScale, QuadPlacement::MapPixels);
                BackgroundDrawn = 1;
            }
            if (radar) {
                DrawTextureScaled(GetRadarSprite(shown, k), x, y, RadarColour, angle, MapScale,
                                  QuadPlacement::MapPixels);
                if (k == 0)
                    SetRadarProbe(bank, cols * rows - 1);
            }
        }
    }
    if (shown != CursorBank) {
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        CursorBank = shown;
    }
}

void DrawAirportMapLayer()
{
    if (!Settings.ReferencedAirportMapDisplayed || !BackgroundDrawn)
        return;
    if (!LoadedChart() && !LoadChartOfPath(false))
        return;
    if (LoadedChart() && Settings.ReferencedAirportMapDisplayed)
        DrawAirportMapImage(static_cast<int>(ScreenCentre.x + PanX()), static_cast<int>(ScreenCentre.y + PanY()),
                            CurrentFrame.mapRotation, QuadPlacement::MapPixels);
}

} // namespace

void PlaceGridCell(const GridCellPlacement& p, int column, int row, float* x, float* y)
{
    float cell = static_cast<float>(p.cell) * p.mapScale;
    // Half the columns as a fraction: the aircraft's grid offset counts from
    // the grid's edge, so an odd grid's centre cell straddles ScreenCentre.
    *x = p.centreX - p.cols / 2.0f * cell + column * cell + (p.gridHalfWidth - p.aircraftX) * p.frameZoom * p.mapScale +
         p.panX;
    *y = p.centreY - p.rows / 2.0f * cell + row * cell + (p.aircraftY - p.gridHalfHeight) * p.frameZoom * p.mapScale +
         p.panY;
}

int LocalTileOrder(int count, int n)
{
    static const int inner[9] = {4, 1, 2, 3, 0, 5, 6, 7, 8};
    static const int outer[25] = {9, 10, 11, 12, 13, 24, 4, 1, 2, 14, 23, 3, 0, 5, 15, 22, 6, 7, 8, 16, 21, 20, 19, 18, 17};
    if (n < 0)
        return -1;
    if (count <= 9)
        return n < 9 ? inner[n] : -1;
    return n < 25 ? outer[n] : -1;
}

void LocalTilePosition(int position, int* column, int* row)
{
    static const int cells[25][2] = {{2, 2}, {2, 1}, {3, 1}, {1, 2}, {1, 1}, {3, 2}, {1, 3}, {2, 3}, {3, 3},
                                     {0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 1}, {4, 2}, {4, 3}, {4, 4},
                                     {3, 4}, {2, 4}, {1, 4}, {0, 4}, {0, 3}, {0, 2}, {0, 1}};
    if (position < 0 || position >= 25)
        position = 0;
    *column = cells[position][0];
    *row = cells[position][1];
}

void DrawBackgroundLayers(int width, int height)
{
    if (Settings.AirportChart) {
        DrawChartLayer(width, height);
    } else if (!NearestPageShown()) {
        if (!TileMapFlag.load())
            DrawLocalTiles();
        else
            DrawTileGrid();
    }
    DrawAirportMapLayer();
}

void RunTerrainAlerts()
{
    bool wanted = Settings.Terrainstate || Settings.TAWSOn || Settings.GPWSOn || Settings.TerrainProfile ||
                  IsTerrainElevationOn();
    bool present = IsTerrainDataAvailable();
    TerrainLayerOn = wanted && BackgroundDrawn && !Settings.AirportChart && present;
    if (!TerrainLayerOn)
        return;
    RunGpwsAlerts(FrameZoom);
    if (Settings.GPWSOn)
        UpdateAltitudeCallouts();
}

void DrawTerrainShading()
{
    if (TerrainLayerOn)
        DrawTerrainTiles(static_cast<int>(ScreenCentre.x + PanX()), static_cast<int>(ScreenCentre.y + PanY()),
                         CurrentFrame.mapRotation);
}
