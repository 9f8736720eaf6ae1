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

// Shell: the status message, the simulator's connection, the flown track.
bool ExpireStatusMessage(double now);
const char* GetStatusMessage();
bool IsSimulatorConnected();
// Map display pages (softkeys): the selected link's connected flag.
bool IsSimConnected();
// Tile grid: the per-frame test whether the view left the grid (-1 when a
// refresh is not allowed), and the swap of a completed grid.
int RefreshMapIfMoved(int left, int top, int right, int bottom, double lat, double lon, int type);
void SwapTileBanks();
