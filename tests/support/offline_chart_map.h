// An offline start on one catalogue chart map (type 11 around northern
// Germany, its store on chart layer 9), as tests and benchmarks set it up.
#pragma once

#include "maps/tile_cache.h"
#include "maps/tile_sources.h"
#include "maps/tile_stores.h"

inline void UseOfflineChartMap(const char* name)
{
    {
        CatalogueAccess access;
        MapCatalogueRecord m{};
        CopyCatalogueText(m.name, sizeof m.name, name);
        m.numZoomLevels = 12;
        m.lon_min = 5, m.lat_min = 50, m.lon_max = 15, m.lat_max = 56;
        m.type = 11, m.blocal = 1, m.mapindex = 9;
        CopyCatalogueText(m.extension, sizeof m.extension, "png");
        access.Records() = {m};
        access.SelectedIndex() = 0;
    }
    SetOfflineMode(true);
    CurrentTileMapType = 11;
}
