// Puts the map centre on a position the way the per-frame update does.
#pragma once

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
