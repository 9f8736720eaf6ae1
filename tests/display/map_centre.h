// Puts the map centre on a position the way the per-frame update does.
#pragma once

#include "app/settings.h"
#include "display/map_projection.h"
#include "display/map_view.h"

inline void CentreMapOn(double lat, double lon)
{
    MapCenter.latitude = lat;
    MapCenter.longitude = lon;
    double x = 0, y = 0;
    LatLonToMapPixel(&x, &y, lon, lat);
    CentreMapX = x;
    CentreMapY = y;
    ComputePixelsPerDegree();
}

// The tile-map view the layer tests draw in: zoom, one map pixel a screen
// unit round ScreenCentre (320, 240), centred on (lat, lon).
inline void SetUpTileMapView(double lat, double lon, int zoom)
{
    Settings.Tile = zoom;
    Settings.SatMode = 1;
    TileMapFlag = 1;
    FrameZoom = 1.0f;
    MapScale = 1.0f;
    ScreenCentre = {320, 240};
    CentreMapOn(lat, lon);
}
