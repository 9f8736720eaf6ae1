// The geographic point the map is centred on: the display moves it, the data
// searches (nearest airports, the nearest route point) look around it.
#pragma once

#include <atomic>

struct MapCentreValue {
    std::atomic<double> latitude{53.636666667};
    std::atomic<double> longitude{10.001};
};
// The point drawn at ScreenCentre. threads: the GUI thread writes it; the tile
// loader thread reads it (catalogue map at the centre).
extern MapCentreValue MapCenter;

void GetMapCenter(double* latitude, double* longitude);
