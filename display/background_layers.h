// The first layers of a whole-screen frame: the airport chart (or its page
// thumbnails), else the map background of local raster tiles or of the shown
// tile grid with its radar overlay, then the georeferenced airport map image;
// the terrain alerts and the terrain shading over them. They only draw what
// the loaders prepared; the frame's BackgroundDrawn flag tells the later
// layers whether anything was. GUI thread only.
#pragma once

#include <cstdint>

// Runs the layers up to the airport map image; width and height are the
// client size in pixels.
void DrawBackgroundLayers(int width, int height);
// The ground-proximity alerts and the altitude call-outs of the frame, while
// the terrain layer is on: some terrain use wanted, a background drawn, no
// airport chart and terrain data present. Decides the layer for the frame.
void RunTerrainAlerts();
// The terrain shading over the background, when the frame's alerts found the
// terrain layer on.
void DrawTerrainShading();

// Where a tile grid cell goes on the screen (map pixels about ScreenCentre),
// for a grid of cols x rows cells of cell pixels drawn at scale, with the
// aircraft at (aircraftX, aircraftY) map pixels inside the grid (y up from
// the grid's bottom) and the pan offset added.
struct GridCellPlacement {
    float centreX, centreY;   // ScreenCentre
    float panX, panY;
    float gridHalfWidth, gridHalfHeight;
    float aircraftX, aircraftY;
    float frameZoom, mapScale;
    int cols, rows, cell;
};
void PlaceGridCell(const GridCellPlacement& p, int column, int row, float* x, float* y);

// The drawing order of the local raster tiles: position index for the n-th
// tile of a bank of count tiles, and the screen cell (column 0..4, row 0..4)
// of a position index.
int LocalTileOrder(int count, int n);
void LocalTilePosition(int position, int* column, int* row);
