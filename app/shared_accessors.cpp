// Accessors over state shared by the links, the loaders and the display.
#include "app/shared_accessors.h"

#include "app/settings.h"
#include "display/map_view.h"
#include "maps/local_maps.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "simlink/p3d_link.h"
#include "simlink/sim_link.h"

#include <atomic>

static std::atomic<uint8_t> LoadingBusy{0};
static std::atomic<uint8_t> SimStateFlag{1};

void SetLoadingBusy(bool busy) { LoadingBusy = busy ? 1 : 0; }

bool IsLoadingBusy() { return LoadingBusy.load() != 0; }

bool IsMapLoadPending()
{
    if (!TileMapFlag.load())
        return IsLocalMapLoaderBusy();
    // Only while the loader works on it: a type that cannot load (offline)
    // must not hold the links back for good.
    return CurrentTileMapType.load() != Settings.SatMode.load() && IsTileLoaderBusy();
}

bool IsSimulatorConnected()
{
    int sim = Settings.UseSimulator.load();
    if (sim >= SimulatorP3dFirst && sim <= SimulatorP3dLast)
        return IsP3dLinkRunning();
    if (sim > SimulatorP3dLast && sim <= SimulatorAerofly)
        return SimLinkIsConnected();
    return false;
}

int GetTrackMode() { return Settings.Track; }

void SetSimStateFlag(uint8_t state) { SimStateFlag = state; }

uint8_t GetSimStateFlag() { return SimStateFlag.load(); }
