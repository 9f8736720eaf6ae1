// The symbols a route's waypoints are drawn with, numbered as the display's
// sprite slots that hold their pictures.
#pragma once

enum : int {
    RouteSymbolWaypoint = 4,  // "wpt.png"
    RouteSymbolVor = 22,      // "vor.png"
    RouteSymbolNdb = 23,      // "ndb.png"
    RouteSymbolAirport = 24,  // "apt.png"
};
