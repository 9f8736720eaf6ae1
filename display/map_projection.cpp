// Projection of latitude and longitude to map pixels: Web-Mercator tiles or
// the active local-map georeference; the offset from the map centre.
#include "display/map_projection.h"

#include "app/settings.h"
#include "display/map_view.h"
#include "maps/tile_sources.h"
#include "render/layer_cache.h"

#include <algorithm>
#include <cmath>
#include <limits>

MapGeoreference ActiveGeoreference;
MapGeoreference StagingGeoreference;
int32_t GeorefPresent = 0;

int32_t TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

static double PolynomialA(const double* c, double lon, double lat)
{
    return c[0] * lon * lon + c[1] * lon + c[2] * lat * lat + c[3] * lat + c[4] * lon * lat + c[5] +
           c[6] * lon * lon * lat * lat;
}

// x ends with the cube of the latitude, y with the cube of the longitude.
static void PolynomialB(const MapGeoreference& g, double* x, double* y, double lon, double lat)
{
    const double* a = g.a;
    const double* b = g.b;
    *x = a[0] + a[1] * lon + a[2] * lat + a[3] * lon * lat + a[4] * lon * lon + a[5] * lat * lat +
         a[6] * lat * lat * lat;
    *y = b[0] + b[1] * lon + b[2] * lat + b[3] * lon * lat + b[4] * lon * lon + b[5] * lat * lat +
         b[6] * lon * lon * lon;
}

// A grid needs two rows and two columns to interpolate, steps that are not
// zero, and no more points than the table holds.
static bool IsGridUsable(const MapGeoreference& g)
{
    return g.columns >= 2 && g.rows >= 2 && g.columns <= GeorefGridMax && g.rows <= GeorefGridMax &&
           g.dLon != 0.0 && g.dLat != 0.0 && std::isfinite(g.dLon) && std::isfinite(g.dLat);
}

// Bilinear inside the cell; outside the grid the nearest edge cell goes on
// linearly, which is continuous with the interior.
static void GridProjection(const MapGeoreference& g, double* x, double* y, double lon, double lat)
{
    if (!IsGridUsable(g)) {
        *x = 0;
        *y = 0;
        return;
    }
    double L = lon;
    if ((lon < 0) != (g.lon0 < 0)) {
        if (lon > 90)
            L = lon - 360;
        else if (lon < -90)
            L = lon + 360;
    }
    double fi = (L - g.lon0) / g.dLon;
    double fj = (g.lat0 - lat) / g.dLat;
    int32_t i = TruncateToInt(fi);
    int32_t j = TruncateToInt(fj);
    if (i < 1)
        i = 0;
    if (i >= g.columns - 1)
        i = g.columns - 2;
    if (j <= 0)
        j = 0;
    if (j >= g.rows - 1)
        j = g.rows - 2;
    double u = fi - i;
    double v = fj - j;
    const GeorefGridPoint& p00 = g.points[j][i];
    const GeorefGridPoint& p10 = g.points[j][i + 1];
    const GeorefGridPoint& p01 = g.points[j + 1][i];
    const GeorefGridPoint& p11 = g.points[j + 1][i + 1];
    *x = (1 - v) * ((1 - u) * p00.x + u * p10.x) + v * ((1 - u) * p01.x + u * p11.x);
    *y = (1 - v) * ((1 - u) * p00.y + u * p10.y) + v * ((1 - u) * p01.y + u * p11.y);
}

void ProjectWithGeoreference(const MapGeoreference& g, double* x, double* y, double lon, double lat)
{
    switch (g.kind) {
    case GeorefPolynomialA:
        *x = PolynomialA(g.a, lon, lat);
        *y = PolynomialA(g.b, lon, lat);
        break;
    case GeorefPolynomialB:
        PolynomialB(g, x, y, lon, lat);
        break;
    case GeorefGrid:
        GridProjection(g, x, y, lon, lat);
        break;
    case GeorefSheets:
        *x = (180.0 + lon) * 1000.0;
        *y = (90.0 - lat) * 1000.0;
        break;
    default:
        *x = 0;
        *y = 0;
        break;
    }
    // A grid goes on linearly beyond its points, as far as a position lies.
    *x = std::isnan(*x) ? 0 : std::clamp(*x, -GeorefPixelLimit, GeorefPixelLimit);
    *y = std::isnan(*y) ? 0 : std::clamp(*y, -GeorefPixelLimit, GeorefPixelLimit);
}

static bool IsGeoreferenceUsable(const MapGeoreference& g)
{
    switch (g.kind) {
    case GeorefPolynomialA:
    case GeorefPolynomialB:
        return g.a[0] != 0.0;
    case GeorefGrid:
        return g.lon0 != 0.0;
    case GeorefSheets:
        return true;
    default:
        return false;
    }
}

void LatLonToMapPixel(double* x, double* y, double lon, double lat)
{
    if (TileMapFlag.load()) {
        int type = Settings.SatMode.load();
        *x = LonToTilePixelX(lon, type);
        *y = LatToTilePixelY(lat, type);
        ChartRotationDeg = 0;
        return;
    }
    if (IsGeoreferenceUsable(ActiveGeoreference))
        GeorefPresent = 1;
    ProjectWithGeoreference(ActiveGeoreference, x, y, lon, lat);
}

void LatLonToLoaderMapPixel(int32_t* x, int32_t* y, double lon, double lat)
{
    double fx = 0;
    double fy = 0;
    ProjectWithGeoreference(StagingGeoreference, &fx, &fy, lon, lat);
    *x = TruncateToInt(fx);
    *y = TruncateToInt(fy);
}

void ProjectToScreenOffset(double* dx, double* dy, double lon, double lat)
{
    double x = 0;
    double y = 0;
    LatLonToMapPixel(&x, &y, lon, lat);
    OffsetFromMapCentre(TakeMapCentreOffset(), x, y, dx, dy);
}

MapCentreOffset TakeMapCentreOffset()
{
    // Local maps never span the date line; only the tile world wraps.
    return {CentreMapX, CentreMapY, TileMapFlag.load() ? GetWorldPixelWidth() : 0.0};
}

void AddMapPixelState(LayerKey* key)
{
    const bool tiles = TileMapFlag.load();
    key->Add(tiles);
    if (!tiles) {
        key->Add(ActiveGeoreference);
        return;
    }
    // The tile rows and columns are LonToTilePixelXAtZoom and
    // LatToTilePixelYAtZoom of these.
    const int type = Settings.SatMode.load();
    const int zoom = GetShownTileZoom(type);
    key->Add(type);
    key->Add(zoom);
    key->Add(TileSize.load());
    key->Add(GetMetersPerPixel(zoom, type));
}

void AddMapViewState(LayerKey* key)
{
    key->Add(TileMapFlag.load());
    key->Add(Settings.SatMode.load());
    key->Add(CentreMapX);
    key->Add(CentreMapY);
    key->Add(FrameZoom);
    key->Add(MapScale);
    key->Add(ScreenCentre);
    float cx = 0, cy = 0;
    GetScreenCentre(&cx, &cy);
    key->Add(cx);
    key->Add(cy);
    if (TileMapFlag.load())
        key->Add(GetWorldPixelWidth());
    else
        key->Add(ActiveGeoreference);
    static const double probes[3][2] = {{0.0, 0.0}, {10.0, 50.0}, {-120.5, -33.25}};
    for (const auto& p : probes) {
        double dx = 0, dy = 0;
        ProjectToScreenOffset(&dx, &dy, p[0], p[1]);
        key->Add(dx);
        key->Add(dy);
    }
}

namespace {

double ViewWorldWidth()
{
    return TileMapFlag.load() ? GetWorldPixelWidth() : 0.0;
}

} // namespace

MapProjector ViewMapProjector()
{
    return {LatLonToMapPixel, ViewWorldWidth};
}
