// The settings writer: stores every setting back into Plovik.ini at a display
// shutdown and releases the resources whose state it has just saved.
#include "app/settings.h"
#include "platform/log.h"

#include "app/helper_dialogs.h"
#include "app/track_ring.h"
#include "app/program_root.h"
#include "display/map_view.h"
#include "app/settings_table.h"
#include "app/sim_commands.h"
#include "maps/local_maps.h"
#include "maps/tile_cache.h"
#include "maps/tile_sources.h"
#include "navdata/airways.h"
#include "platform/ini_sections.h"
#include "platform/profile.h"
#include "simlink/sound.h"
#include "simlink/traffic_advisory.h"
#include "maps/airport_charts.h"

namespace {

// Values that live elsewhere while the display runs are taken in first.
void TakeLiveValues()
{
    Settings.ChartLevel = CurrentChartLevel;
    double latitude = Settings.latitude;
    double longitude = Settings.longitude;
    GetMapCenter(&latitude, &longitude);
    Settings.latitude = latitude;
    Settings.longitude = longitude;
    Settings.RadarMode = TrafficOn ? (MultiplayerMode ? 2 : 1) : 0;
}

void ReleaseAfterSave()
{
    ReleaseNavResources();
    SaveAirportIndex();
    StopSimulatorLink();
    if (Settings.PlotTrack)
        SaveTrackFile();
    ShutdownSound();
    WriteTileServiceUrls(IniFilePath);
}

}  // namespace

void SaveSettings()
{
    const char* ini = IniFilePath;
    // The tile loader changes MapType and SatMode: stop it before they are saved.
    FreeMapBuffers();
    ReleaseAllTileResources();
    TakeFilterDialogResult();
    TakeLiveValues();
    SetSettingsRoot(ProgramRoot);
    SetSettingsTileMapMode(TileMapFlag != 0);
    // Some 300 keys: the file is written once at the end, not once a key,
    // which held the exit up for seconds.
    BeginProfileWriteBatch(ini);
    WriteSettingKeys(ini);
    // Written for the terrain code and older readers; the reader takes neither.
    WritePrivateProfileStringA(MainSection, "Obstacle", TerrainObstacleFlag ? "1" : "0", ini);
    WritePrivateProfileStringA(FlightGearSimSection, "DebugMode", "0", ini);
    ReleaseAfterSave();
    if (!EndProfileWriteBatch())
        WriteLog("The settings could not be written to the settings file");
}
