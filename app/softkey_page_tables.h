// The pages of the softkey menu as tables: one row per key (label,
// highlight rule, tooltip, action), read alike by the page builder, the
// key dispatcher and the command table; and which page each menu level
// shows for its sublevel. GUI thread only.
#pragma once

#include "display/softkey_pages.h"

#include <span>

// Tooltips shared by many keys: a blank key, the back key, the airport list.
constexpr int BlankTooltip = 130;
constexpr int BackTooltip = 17;
constexpr int AirportListTooltip = 41;

struct SoftkeyPage {
    int level, sublevel;  // what SetSoftkeyLevel takes to show the page
    std::span<const SoftkeyRow> rows = {};
    // Pages whose keys follow the state (the airport list, the languages,
    // the map types, the chart): the rows of this moment, in place of rows.
    std::span<const SoftkeyRow> (*computed)() = nullptr;
    void (*prepare)() = nullptr;          // a build of the page, before its rows are read
    void (*before)(int key) = nullptr;    // every key of the page, first
    void (*after)(int key) = nullptr;     // after a row's action
    void (*unlisted)(int key) = nullptr;  // a key the page has no row for
};

// Level 0: main, information, flight plan.
extern const SoftkeyPage MainPage, InformationPage, FlightPlanPage;
// Level 1: terrain; level 2: the plan-edit key.
extern const SoftkeyPage TerrainPage, PlanEditPage;
// Level 3: navigation layers, airspace classes, airport list, database.
extern const SoftkeyPage NavigationPage, AirspaceClassPage, AirportListPage, DatabasePage;
// Level 4: the map sources (nothing on its first page).
extern const SoftkeyPage MapSourceStartPage, MapSourcePage;
// Level 5: the options pages.
extern const SoftkeyPage FirstOptionsPage, SimulatorPage, ColoursPage, UserMapPage, SecondOptionsPage, WidthsPage,
    ThirdOptionsPage, AirspaceColoursPage, LanguagePage;
// Level 6: map types and the online provider; level 7: the airport tools
// (keys without faces); level 8: nothing; level 9: the airport chart.
extern const SoftkeyPage MapTypePage, MapProviderPage, AirportToolsPage, NoActionPage, ChartPage;

// The page a level shows for a sublevel: below its first page the first,
// beyond its last the last; null for a level outside 0..9.
const SoftkeyPage* FindSoftkeyPage(int level, int sublevel);
// The page whose keys a press on level runs at sublevel: a sublevel that
// names none of the level's pages runs the last, but on the navigation
// level nothing; null for a level outside 0..9.
const SoftkeyPage* FindKeyPage(int level, int sublevel);
// Every page of the menu, level by level.
std::span<const SoftkeyPage* const> GetSoftkeyPages();
// The rows of a page now.
std::span<const SoftkeyRow> GetSoftkeyPageRows(const SoftkeyPage& page);
// The row of key on a page; null when the page has none.
const SoftkeyRow* FindSoftkeyRow(const SoftkeyPage& page, int key);
// A key pressed on level's page of the current sublevel (as FindKeyPage):
// the page's before hook, then the row's action and the after hook, or the
// unlisted hook for a key without a row; a row without an action does nothing.
void RunSoftkeyPageKey(int level, int key);

// The map-type page's keys as the last build placed them (before the first
// build: the back key on 6, blanks elsewhere); a build places the map types
// available now, renames the map-type commands after them and fills
// MapTypeSoftkeyIds.
void PlaceMapTypes();
