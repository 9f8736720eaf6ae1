// The map's geographic centre (see map_centre.h).
#include "navdata/map_centre.h"

MapCentreValue MapCenter;

void GetMapCenter(double* latitude, double* longitude)
{
    *latitude = MapCenter.latitude.load();
    *longitude = MapCenter.longitude.load();
}
