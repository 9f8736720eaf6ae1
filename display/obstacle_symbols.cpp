// Obstacle symbols and their elevation labels, decluttered by screen cells.
#include "display/obstacle_symbols.h"

#include "display/aircraft_values.h"
#include "display/draw_helpers.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/sprite_draw.h"
#include "display/sprite_table.h"
#include "navdata/nav_tables.h"
#include "render/bitmap_fonts.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t ObstacleNear = 0xFF0000FFu;
constexpr uint32_t ObstacleBelow = 0xFFB98400u;
constexpr int CellPixels = 32;
// Labels only within 282 pixels of the centre.
constexpr double LabelRadiusSquared = 80000.0;

// One flag per 32-pixel cell of the view, sized for it, so that a view of
// any width keeps its cells inside the grid.
class DeclutterGrid {
  public:
    DeclutterGrid(int width, int height)
        : columns_(width / CellPixels + 1), rows_(height / CellPixels + 1),
          taken_(static_cast<size_t>(columns_) * rows_, 0)
    {
    }
    // Takes the cell of a point given from the view's top-left corner; false
    // when it was taken already (or lies outside the view).
    bool Take(double x, double y)
    {
        if (!(x >= 0) || !(y >= 0))
            return false;
        int column = static_cast<int>(x) / CellPixels, row = static_cast<int>(y) / CellPixels;
        if (column >= columns_ || row >= rows_)
            return false;
        uint8_t& cell = taken_[static_cast<size_t>(row) * columns_ + column];
        if (cell)
            return false;
        cell = 1;
        return true;
    }

  private:
    int columns_, rows_;
    std::vector<uint8_t> taken_;
};

bool IsPairedType(char type) { return type != '\0' && std::strchr("DHMS", type) != nullptr; }

}  // namespace

ObstacleSymbol ChooseObstacleSymbol(const ObstacleRecord& o, double aircraftAltitude)
{
    double below = aircraftAltitude - o.topElevation;
    if (!(below < 1000.0))
        return {false, 0, 0};
    int slot = (o.height >= 1000 ? SpriteTallObstacle : SpriteObstacle) + (IsPairedType(o.type) ? 1 : 0);
    return {true, slot, below < 300.0 ? ObstacleNear : ObstacleBelow};
}

void DrawObstacles(int width, int height, float angle)
{
    if (!IsObstacleTableLoaded() || width <= 0 || height <= 0)
        return;
    double west = 0, east = 0, north = 0, south = 0;
    if (!GetVisibleMapBounds(&west, &east, &north, &south, width, height, FrameZoom))
        return;
    SetFontSize(10);
    const double zoomScale = static_cast<double>(FrameZoom) * MapScale;
    const double left = ScreenCentre.x - width / 2.0, top = ScreenCentre.y - height / 2.0;
    const double right = left + width, bottom = top + height;
    const double altitude = Aircraft.Altitude;
    const float labelOffset = SpriteTable[SpriteTallObstacle].height * 0.75f;
    DeclutterGrid cells(width, height);
    LongitudeBands bands = SplitLongitudeBand(west, east);
    for (int k = 0; k < bands.count; ++k) {
        int32_t first = -1, last = -1;
        FindObstacleRange(&first, &last, bands.a[k], bands.b[k]);
        if (first < 0 || last < first)
            continue;
        for (int32_t i = first; i <= last; ++i) {
            const ObstacleRecord* o = GetObstacle(i);
            if (!o)
                break;
            ObstacleSymbol symbol = ChooseObstacleSymbol(*o, altitude);
            if (!symbol.shown || !(o->lat > south && o->lat <= north))
                continue;
            double dx = 0, dy = 0;
            ProjectToScreenOffset(&dx, &dy, o->lon, o->lat);
            double x = ScreenCentre.x + zoomScale * dx, y = ScreenCentre.y + zoomScale * dy;
            if (!(x >= left && x <= right && y >= top && y <= bottom))
                continue;
            if (!cells.Take(x - left, y - top))
                continue;
            const SpriteSlot& sprite = SpriteTable[symbol.slot];
            DrawSprite(symbol.slot, static_cast<float>(x - sprite.width / 2.0),
                       static_cast<float>(y - sprite.height / 2.0), symbol.colour, angle, 1.0f,
                       QuadPlacement::MapPixels);
            double cx = x - ScreenCentre.x, cy = y - ScreenCentre.y;
            if (cx * cx + cy * cy < LabelRadiusSquared) {
                char text[16];
                std::snprintf(text, sizeof(text), "%d", o->topElevation);
                DrawLabelBox(1.2, text, 400, x, y + labelOffset, -angle, 0xFFFFFFFFu, 0xFF000000u, angle);
            }
        }
    }
}
