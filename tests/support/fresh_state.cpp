// The state a fresh test process starts with, put back before each test.
#include "tests/support/fresh_state.h"

#include "app/layout_tables.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "app/settings_table.h"
#include "app/sim_key_events.h"
#include "maps/local_maps.h"
#include "maps/tile_sources.h"
#include "maps/tile_stores.h"
#include "navdata/nearest_airports.h"

#include <climits>
#include <functional>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
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
    restorers.push_back([&table, fresh = table] { table = fresh; });
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
    // The main window's state: a program run in the test process leaves it.
    Keep(MainWindowState);
}

void RestoreFreshProcessState()
{
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
}

void ResetProgramTables()
{
    SetSettingsTileMapMode(false);
    ResetSimKeyEvents();
    ResetNearestAirports();
    ResetTileSources();
    ResetMapCatalogue();
    ResetLocalMaps();
}
