// Latitude and longitude to map pixels and back: the Web-Mercator tile maps
// and the georeferenced local maps (polynomials, control-point grid, sheet
// scheme). Map pixels grow east in x and south in y.
#pragma once

#include "navdata/route_geometry.h"

#include <cmath>
#include <cstdint>

enum GeorefKind : int32_t {
    GeorefPolynomialA = 0,
    GeorefGrid = 1,
    GeorefPolynomialB = 2,
    GeorefSheets = 3,
    GeorefRefused = -1,  // a georeference file that was refused places nothing
};

// Map pixels of a georeference stay within this either way, so that every
// user may take them as 32-bit integers.
constexpr double GeorefPixelLimit = 2e9;

constexpr int32_t GeorefGridMax = 40;
constexpr int32_t GeorefSheetMax = 64;

struct GeorefGridPoint {
    int32_t x, y;
};

// The four corners of a grid georeference (north-west, north-east,
// south-east, south-west) for the raster loader.
#pragma pack(push, 1)
struct GeorefSheetRecord {
    struct Corner {
        float latitude, longitude;
        int32_t x, y;
    } corners[4];
};
#pragma pack(pop)
static_assert(sizeof(GeorefSheetRecord) == 64);

struct MapGeoreference {
    int32_t kind = GeorefPolynomialA;
    double a[7] = {};  // x coefficients
    double b[7] = {};  // y coefficients
    // Grid: origin at the north-west corner, steps, size and control points
    // row by row from the north.
    double lon0 = 0, lat0 = 0, dLon = 0, dLat = 0;
    int32_t columns = 0, rows = 0;
    GeorefGridPoint points[GeorefGridMax][GeorefGridMax] = {};
    GeorefSheetRecord sheets[GeorefSheetMax] = {};
    int32_t sheetCount = 0;
};

// The set the projection uses (GUI thread), and the set the georeference
// loader fills and the raster loader projects with.
extern MapGeoreference ActiveGeoreference;
extern MapGeoreference StagingGeoreference;
// Set whenever the active georeference is usable.
extern int32_t GeorefPresent;

void LatLonToMapPixel(double* x, double* y, double lon, double lat);
// The projection of the map in view as the route code takes it: the tile
// world wraps, local maps never span the date line.
MapProjector ViewMapProjector();
void LatLonToLoaderMapPixel(int32_t* x, int32_t* y, double lon, double lat);
// Offset of a point from the map centre in map pixels; crosses the date line
// the short way on tile maps.
void ProjectToScreenOffset(double* dx, double* dy, double lon, double lat);
// ProjectToScreenOffset in its two steps, for a layer that keeps its points'
// map pixels while the projection holds: the map centre and the width of the
// tile world taken once, then the offset of a map pixel from that centre.
struct MapCentreOffset {
    double x, y;
    double world; // 0 on local maps: no wrap
};
MapCentreOffset TakeMapCentreOffset();
inline void OffsetFromMapCentre(const MapCentreOffset& centre, double x, double y, double* dx, double* dy)
{
    *dx = x - centre.x;
    *dy = y - centre.y;
    if (centre.world > 0 && std::fabs(*dx) > centre.world / 2)
        *dx += *dx > 0 ? -centre.world : centre.world;
}

// The georeference projection alone, on any set (no tile-map case).
void ProjectWithGeoreference(const MapGeoreference& g, double* x, double* y, double lon, double lat);
class LayerKey;
// Adds to a layer's key what places its points on the screen: the map
// centre, the tile world or the georeference, zoom and scale, the screen
// centre, and where three spread points land (so that no state the
// projection reads goes unseen).
void AddMapViewState(LayerKey* key);
// Adds what LatLonToMapPixel gives its map pixels from, without the centre:
// the tile world's zoom and scale, or the georeference.
void AddMapPixelState(LayerKey* key);

// A double to int32 that saturates and maps NaN to 0, for values that come
// from data files.
int32_t TruncateToInt(double value);
