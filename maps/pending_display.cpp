// Stand-ins for the tile addressing the map view projects with, until the
// tile code lands: 256-pixel tiles at the wanted zoom.
#include "app/settings.h"
#include "display/pending_display.h"

#include <cmath>

double LonToTilePixelX(double lon, int) { return (lon + 180.0) / 360.0 * double(256 << Settings.Tile.load()); }  // until the real one lands
double LatToTilePixelY(double lat, int) { double s = std::sin(lat * 3.14159265 / 180.0); return s >= 1.0 ? 0.0 : s <= -1.0 ? double(256 << Settings.Tile.load()) : (0.5 - std::log((1 + s) / (1 - s)) / (4 * 3.14159265)) * double(256 << Settings.Tile.load()) + 0.5; }  // until the real one lands
double GetWorldPixelWidth() { return LonToTilePixelX(180.0, 0); }  // until the real one lands
int RefreshMapIfMoved(int, int, int, int, double, double, int) { return 0; }  // until the real one lands
void SwapTileBanks() {}  // until the real one lands
