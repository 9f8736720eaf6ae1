// The state a fresh test process starts with, put back before each test.
#include "tests/support/fresh_state.h"

#include "app/click_zones.h"
#include "app/command_table.h"
#include "app/keypad.h"
#include "app/layout_tables.h"
#include "app/main_window.h"
#include "app/program_root.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/settings_table.h"
#include "app/sim_key_events.h"
#include "app/softkey_menu.h"
#include "display/airport_view.h"
#include "display/map_view.h"
#include "display/onscreen_keyboard.h"
#include "display/softkey_pages.h"
#include "display/status_text.h"
#include "display/text_boxes.h"
#include "maps/airport_charts.h"
#include "maps/local_maps.h"
#include "maps/system_files.h"
#include "maps/terrain_data.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "maps/tile_stores.h"
#include "navdata/nearest_airports.h"
#include "navdata/procedure_db.h"
#include "platform/files.h"
#include "simlink/traffic_mode.h"
#include "tests/support/link_state.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

std::map<std::string, std::string> freshEnvironment;
std::string freshFolder;
// Each puts one plain table back as it was before the first test.
std::vector<std::function<void()>> restorers;

template <class Table>
void Keep(Table& table)
{
    static_assert(std::is_trivially_copyable_v<Table>);
    std::vector<unsigned char> fresh(sizeof table);
    std::memcpy(fresh.data(), &table, sizeof table);
    restorers.push_back([&table, fresh] { std::memcpy(&table, fresh.data(), sizeof table); });
}

std::map<std::string, std::string> CurrentEnvironment()
{
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        size_t equals = text.find('=');
        if (equals != std::string::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    return variables;
}

} // namespace

void RecordFreshProcessState()
{
    freshEnvironment = CurrentEnvironment();
    char here[PATH_MAX];
    if (getcwd(here, sizeof here))
        freshFolder = here;
    // The screen layout: start-up and the small window modes rewrite it.
    Keep(SoftkeyRowStep);
    Keep(SoftkeyRowOffset);
    Keep(SoftkeyRowY);
    Keep(SoftkeyLabelBoxes);
    Keep(StatusLineBox);
    Keep(TitleBox);
    Keep(SideColumnBoxes);
    Keep(ListHeaderBox);
    Keep(ListRowBoxes);
    Keep(ScreenButtons);
    Keep(HotspotTable);
    Keep(SoftkeyAnchors);
    Keep(LayoutOriginX);
    Keep(LayoutOriginY);
    Keep(ScreenLayout);
    Keep(GeorefKeyTable);
    Keep(ScreenMessage);
    Keep(StatusLines);
    // The main window's state: a program run in the test process leaves it.
    Keep(MainWindowState);
    // The folders and the terrain page's switches the settings reader fills.
    Keep(DataFolder);
    Keep(TerrainFolder);
    Keep(TrackFilePath);
    Keep(LocalAppDataFolder);
    Keep(IniFilePath);
    Keep(TerrainColourText);
    Keep(TerrainLegende);
    Keep(TerrainElevation);
    Keep(TerrainObstacleFlag);
    Keep(TerrainTransparencyKnob);
    Keep(MSAinFlightplan);
    Keep(Sealevel);
    Keep(TransparencyControls);
    // The map view: pan, follow, zoom and chart state that commands change.
    Keep(MapPanning);
    Keep(FollowTrafficMode);
    Keep(FollowedTargetIndex);
    Keep(MapPanOffset);
    Keep(PanStart);
    Keep(DragStartX);
    Keep(DragStartY);
    Keep(FrameZoom);
    Keep(MapScale);
    Keep(BezelShown);
    Keep(CurrentChartLevel);
    Keep(ChartZoomOutSteps);
    Keep(ChartRotationDeg);
    Keep(HeadingOverride);
    Keep(MapReloadRequest);
    Keep(NavOverlaySwitch);
    Keep(CentreMapX);
    Keep(CentreMapY);
    Keep(MapViewportRect);
    Keep(FullScreenRect);
    Keep(BezelMapCentre);
    Keep(FullScreenCentre);
    Keep(AirportDiagramView);
    Keep(TextMode);
    // The map-type page's keys and the command names they give their rows.
    Keep(MapTypeSoftkeyIds);
    std::vector<std::string> names;
    for (int i = MapTypeCommandFirst; i < CommandCount; ++i)
        names.push_back(GetCommandName(i));
    restorers.push_back([names] {
        for (size_t i = 0; i < names.size(); ++i)
            SetCommandName(static_cast<uint32_t>(i), names[i].c_str());
    });
}

void RestoreFreshProcessState()
{
    // A tile job a test before started reads the settings made anew below.
    if (IsTileLoaderBusy()) {
        int word = 0;
        StopTileLoader(&word);
    }
    for (const auto& [name, value] : CurrentEnvironment())
        if (!freshEnvironment.count(name))
            unsetenv(name.c_str());
    for (const auto& [name, value] : freshEnvironment) {
        const char* now = getenv(name.c_str());
        if (!now || value != now)
            setenv(name.c_str(), value.c_str(), 1);
    }
    if (!freshFolder.empty() && chdir(freshFolder.c_str()) != 0)
        std::abort();
    ResetSettings();
    ResetProgramTables();
    for (const std::function<void()>& restore : restorers)
        restore();
}

void ResetSettings()
{
    // The block holds atomics and locks, so it is made anew in place rather
    // than assigned.
    std::destroy_at(&Settings);
    std::construct_at(&Settings);
    LogDebugMode = false;
    HomePosition.latitude = HomePositionValue{}.latitude.load();
    HomePosition.longitude = HomePositionValue{}.longitude.load();
    TileMapFlag = 1;
}

void ResetProgramTables()
{
    SetSettingsTileMapMode(false);
    ResetSimKeyEvents();
    ResetButtonAssignments();
    ResetClickZones();
    ResetSoftkeyPageState();
    ResetTrafficMode();
    // The aircraft, traffic, plan and link sessions a test fed or left.
    ResetSharedLinkState();
    ResetNearestAirports();
    // A connection left open reads the database of a test before.
    CloseNavdataDb();
    ResetTileSources();
    ResetMapCatalogue();
    ResetLocalMaps();
    ResetMakerImageBuffer();
    ResetTerrainData();
    ResetAirportCharts();
    // A full disk a test made for its writes.
    SetFullDiskForTests(-1);
}
