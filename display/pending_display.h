// Neighbours the display calls, declared here until their own modules land
// (each owner then declares them in its header, and this block shrinks).
// Names and arguments are the ones their modules use.
#pragma once

#include <cstdint>

// Tile addressing (map tiles): Web-Mercator world pixels of the shown map
// type at the grid zoom, and the world's width in those pixels.
double LonToTilePixelX(double lon, int type);
double LatToTilePixelY(double lat, int type);
double GetWorldPixelWidth();
