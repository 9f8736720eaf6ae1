// The chart view (see chart_view.h): the chart picture's slot, zoom, origin
// and edge marks, and the referenced chart placed under the map.
#include "display/chart_view.h"

#include "app/main_window.h"
#include "app/settings.h"
#include "display/draw_helpers.h"
#include "display/map_view.h"
#include "display/sprite_draw.h"
#include "display/sprite_table.h"
#include "maps/airport_charts.h"
#include "render/quads.h"

#include <cmath>
#include <cstdio>

namespace {

SpriteSlot ChartImage;
float ChartZoom = 1.0f;
float ChartFitZoom = 1.0f;
float ChartOriginX = 320.0f, ChartOriginY = 240.0f;
ChartEdgeMark EdgeMarks[4] = {{0, 0, ChartEdgeNotPicked},
                              {0, 0, ChartEdgeNotPicked},
                              {0, 0, ChartEdgeNotPicked},
                              {0, 0, ChartEdgeNotPicked}};

} // namespace

const SpriteSlot* GetChartSprite()
{
    return &ChartImage;
}

float GetChartZoom()
{
    return ChartZoom;
}

float GetChartFitZoom()
{
    return ChartFitZoom;
}

void GetChartOrigin(float* x, float* y)
{
    *x = ChartOriginX;
    *y = ChartOriginY;
}

const ChartEdgeMark* GetChartEdgeMarks()
{
    return EdgeMarks;
}

void SetChartEdgeMark(int mode, float imageX, float imageY)
{
    if (mode < 1 || mode > 4)
        return;
    ChartEdgeMark& m = EdgeMarks[mode - 1];
    m.imageX = std::trunc(imageX);
    m.imageY = std::trunc(imageY);
    m.edge = mode == 1 || mode == 3 ? imageX : imageY;
}

ChartEdgeMark* GetChartEdgeMark(int field)
{
    return field >= 0 && field < ChartEdgeMarkCount ? &EdgeMarks[field] : nullptr;
}

bool PickChartEdgeMark(int textMode, int clientX, int clientY)
{
    if (textMode < 1 || textMode > ChartEdgeMarkCount || !ChartImage.loaded || ChartZoom <= 0)
        return false;
    int w = 0, h = 0;
    GetClientSize(&w, &h);
    if (w <= 0 || h <= 0)
        w = 640, h = 480;
    // A client pixel as a map pixel: its distance from the screen centre's
    // client pixel, counted from ScreenCentre.
    float cx = static_cast<float>(ScreenCentre.x), cy = static_cast<float>(ScreenCentre.y);
    float mapX = clientX - w * cx / 640.0f + cx;
    float mapY = clientY - h * cy / 480.0f + cy;
    SetChartEdgeMark(textMode, (mapX - ChartOriginX - MapPanOffset.x) / ChartZoom + ChartImage.width / 2.0f,
                     (mapY - ChartOriginY - MapPanOffset.y) / ChartZoom + ChartImage.height / 2.0f);
    return true;
}

void ResetChartEdgeMarks()
{
    for (ChartEdgeMark& m : EdgeMarks)
        m.edge = ChartEdgeNotPicked;
}

void ReleaseChartImage()
{
    ReleaseSpriteSlot(&ChartImage);
    ChartImage.width = ChartImage.height = 0;
}

uint8_t LoadChartImage(char* path, int pathSize)
{
    ReleaseChartImage();
    if (!path || !path[0]) {
        Settings.AirportChart = 0;
        return 0;
    }
    if (!LoadPictureIntoSlot(&ChartImage, path)) {
        Settings.AirportChart = 0;
        return 0;
    }
    size_t limit = pathSize > 0 ? static_cast<size_t>(pathSize) : 0;
    if (limit > sizeof Settings.AirportName)
        limit = sizeof Settings.AirportName;
    if (limit > 0 && path != Settings.AirportName)
        snprintf(Settings.AirportName, limit, "%s", path);
    return 1;
}

void ZoomChart(float factor)
{
    ChartZoom *= factor;
}

void FitChartToScreen()
{
    int w = 0, h = 0;
    GetClientSize(&w, &h);
    float iw = static_cast<float>(ChartImage.width), ih = static_cast<float>(ChartImage.height);
    ChartOriginX = static_cast<float>(ScreenCentre.x);
    ChartOriginY = static_cast<float>(ScreenCentre.y);
    if (iw <= 0 || ih <= 0 || w <= 0 || h <= 0) {
        ChartZoom = ChartFitZoom = 1.0f;
    } else {
        ChartZoom = w / iw;
        float heightZoom = h / ih;
        if (ChartZoom <= heightZoom) {
            ChartOriginY = ScreenCentre.y - (heightZoom - ChartZoom) * ih / 2;
        } else {
            ChartOriginX = ScreenCentre.x - (ChartZoom - heightZoom) * iw / 2;
            ChartZoom = heightZoom;
        }
        ChartFitZoom = ChartZoom;
    }
    MapPanOffset = {0, 0};
    PanStart = {0, 0};
    DragStartX = DragStartY = 0;
}

bool ChartPlacement(double latitude, double longitude, double screenPerDegreeX, double screenPerDegreeY,
                    double* imageX, double* imageY, double* scaleX, double* scaleY)
{
    ChartGeoref g;
    if (!GetChartGeoref(&g))
        return false;
    double sx = (g.p2 - g.p1) / (g.lon2 - g.lon1);
    double sy = (g.q2 - g.q1) / (g.lat1 - g.lat2);
    if (!std::isfinite(sx) || !std::isfinite(sy) || sx == 0 || sy == 0)
        return false;
    *imageX = g.p1 + (longitude - g.lon1) * sx;
    *imageY = g.q1 + (g.lat1 - latitude) * sy;
    *scaleX = screenPerDegreeX / sx;
    *scaleY = screenPerDegreeY / sy;
    return std::isfinite(*scaleX) && std::isfinite(*scaleY);
}

void DrawAirportMapImage(int x, int y, float angle, QuadPlacement placement, OwnAngle own)
{
    if (!ChartImage.loaded || !ChartImage.texture)
        return;
    double ppdX = 0, ppdY = 0;
    GetScreenPixelsPerDegree(&ppdX, &ppdY);
    double ix, iy, kx, ky;
    if (!ChartPlacement(MapCenter.latitude.load(), MapCenter.longitude.load(), ppdX, ppdY, &ix, &iy, &kx, &ky))
        return;
    float left = static_cast<float>(x - ix * kx), top = static_cast<float>(y - iy * ky);
    ScreenRect r{left, left + static_cast<float>(ChartImage.width * kx), top,
                 top + static_cast<float>(ChartImage.height * ky)};
    uint32_t colour = (static_cast<uint32_t>(Settings.AirportMapTransparency & 0xFF) << 24) | 0xFFFFFFu;
    DrawTexturedQuadRotated(ChartImage.texture, &r, SpriteColour(ChartImage, colour), angle, placement, own);
}
