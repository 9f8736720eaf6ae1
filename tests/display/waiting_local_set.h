// Brings the per-frame update to a frame whose view steps wait: the
// map-type key in tile-map mode found no map at the centre (the one
// package's sheet lies far away) and a local set is still loading.
#pragma once

#include "app/settings.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "maps/local_maps.h"
#include "maps/system_files.h"
#include "maps/tile_grid.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// The data root of a test's own for its lifetime.
class DataFolderGuard {
public:
    explicit DataFolderGuard(const std::string& root)
    {
        std::snprintf(saved_, sizeof saved_, "%s", DataFolder);
        std::snprintf(DataFolder, sizeof DataFolder, "%s", root.c_str());
    }
    ~DataFolderGuard() { std::snprintf(DataFolder, sizeof DataFolder, "%s", saved_); }
    DataFolderGuard(const DataFolderGuard&) = delete;
    DataFolderGuard& operator=(const DataFolderGuard&) = delete;

private:
    char saved_[sizeof DataFolder];
};

// root holds a System folder, the working folder, and is the data root
// (DataFolderGuard) while this runs.
inline void SwitchMapsWhereNoneIs(const TempFolder& root)
{
    std::string system = root / "System";
    WriteFileText(system + "/content.ini", "[Maps]\nmaps=list.bin\n");
    ASSERT_TRUE(WriteScrambledWords((system + "/list.bin").c_str(), {"1", "area.bin"}, 321));
    ASSERT_TRUE(WriteScrambledWords((system + "/area.bin").c_str(), {"1", "1", "0", "1", "0", "1", "0", "area"}, 321));
    LoadMapContent(1);
    ASSERT_EQ(GetLocalMapCount(), 1);
    TileMapFlag = 1;
    int mapType = Settings.MapType, preferred = Settings.PreferedChartType;
    Settings.MapType = 0;
    Settings.PreferedChartType = -11;  // catalogue maps, as the demo map has them
    SelectMapType(true, 1, false);     // the map-type key
    Settings.MapType = mapType;
    Settings.PreferedChartType = preferred;
    int word = 0;
    StopTileLoader(&word);  // the tiles it resumed are not the test's
    DiscardTileGrid();
    ASSERT_GT(GetNoMapCounter(), 0);
}

// Then the local map shows and its set of nine is still loading; no tile
// zoom step ends and no tile job runs that a frame could stop instead.
inline void WaitForALocalSet()
{
    int word = 0;
    StopTileLoader(&word);
    DiscardTileGrid();
    SetTileZoomEnding(false);
    TileMapFlag = 0;
    LocalMapTileCount = 9;
    ResetLoadedLocalTiles();
    ASSERT_FALSE(IsLocalSheetSetComplete());
}
