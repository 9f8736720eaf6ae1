// The menu's levels as lists of page tables, the lookup of a page and a row,
// the run of a pressed key through its page, and the build of the page the
// settings ask for. The tables themselves stand next to their actions.
#include "app/softkey_page_tables.h"

#include "app/command_table.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "app/sim_commands.h"

namespace {

struct SoftkeyLevel {
    std::span<const SoftkeyPage* const> pages;
    // A sublevel naming none of the pages: false runs nothing, true the last.
    bool strayToLast;
};

constexpr const SoftkeyPage* MainPages[] = {&MainPage, &InformationPage, &FlightPlanPage};
constexpr const SoftkeyPage* TerrainPages[] = {&TerrainPage};
constexpr const SoftkeyPage* PlanEditPages[] = {&PlanEditPage};
constexpr const SoftkeyPage* NavDataPages[] = {&NavigationPage, &AirspaceClassPage, &AirportListPage, &DatabasePage};
constexpr const SoftkeyPage* MapSourcePages[] = {&MapSourceStartPage, &MapSourcePage};
constexpr const SoftkeyPage* OptionsPages[] = {&FirstOptionsPage, &SimulatorPage,     &ColoursPage,
                                               &UserMapPage,      &SecondOptionsPage, &WidthsPage,
                                               &ThirdOptionsPage, &AirspaceColoursPage, &LanguagePage};
constexpr const SoftkeyPage* MapTypePages[] = {&MapTypePage, &MapProviderPage};
constexpr const SoftkeyPage* AirportToolsPages[] = {&AirportToolsPage};
constexpr const SoftkeyPage* NoActionPages[] = {&NoActionPage};
constexpr const SoftkeyPage* ChartPages[] = {&ChartPage};

constexpr SoftkeyLevel Levels[] = {
    {MainPages, true},      {TerrainPages, true}, {PlanEditPages, true}, {NavDataPages, false},
    {MapSourcePages, true}, {OptionsPages, true}, {MapTypePages, true},  {AirportToolsPages, true},
    {NoActionPages, true},  {ChartPages, true},
};
static_assert(std::size(Levels) == MenuChart + 1);

constexpr const SoftkeyPage* AllPages[] = {
    &MainPage,           &InformationPage,   &FlightPlanPage,   &TerrainPage,         &PlanEditPage,
    &NavigationPage,     &AirspaceClassPage, &AirportListPage,  &DatabasePage,        &MapSourceStartPage,
    &MapSourcePage,      &FirstOptionsPage,  &SimulatorPage,    &ColoursPage,         &UserMapPage,
    &SecondOptionsPage,  &WidthsPage,        &ThirdOptionsPage, &AirspaceColoursPage, &LanguagePage,
    &MapTypePage,        &MapProviderPage,   &AirportToolsPage, &NoActionPage,        &ChartPage,
};

const SoftkeyLevel* FindLevel(int level)
{
    return level >= MenuMain && level <= MenuChart ? &Levels[level] : nullptr;
}

// The button assignments follow the simulator's section: read at the first
// build and whenever the map-type page is opened.
bool AssignmentsLoaded = false;
int LastLevel = -1, LastSublevel = -1;

void ReloadButtonAssignments()
{
    char section[SimulatorNameSize];
    GetSimulatorName(section);
    LoadButtonAssignments(section);
    AssignmentsLoaded = true;
}

}  // namespace

const SoftkeyPage* FindSoftkeyPage(int level, int sublevel)
{
    const SoftkeyLevel* found = FindLevel(level);
    if (!found)
        return nullptr;
    int last = static_cast<int>(found->pages.size()) - 1;
    return found->pages[static_cast<size_t>(sublevel < 0 ? 0 : sublevel > last ? last : sublevel)];
}

const SoftkeyPage* FindKeyPage(int level, int sublevel)
{
    const SoftkeyLevel* found = FindLevel(level);
    if (!found)
        return nullptr;
    for (const SoftkeyPage* page : found->pages)
        if (page->sublevel == sublevel)
            return page;
    return found->strayToLast ? found->pages.back() : nullptr;
}

std::span<const SoftkeyPage* const> GetSoftkeyPages() { return AllPages; }

std::span<const SoftkeyRow> GetSoftkeyPageRows(const SoftkeyPage& page)
{
    return page.computed ? page.computed() : page.rows;
}

const SoftkeyRow* FindSoftkeyRow(const SoftkeyPage& page, int key)
{
    for (const SoftkeyRow& row : GetSoftkeyPageRows(page))
        if (row.key == key)
            return &row;
    return nullptr;
}

void RunSoftkeyPageKey(int level, int key)
{
    const SoftkeyPage* page = FindKeyPage(level, Settings.Softkeysublevel);
    if (!page)
        return;
    if (page->before)
        page->before(key);
    const SoftkeyRow* row = FindSoftkeyRow(*page, key);
    if (row && row->action) {
        row->action(row->choice);
        if (page->after)
            page->after(key);
    } else if (page->unlisted) {
        page->unlisted(key);
    }
}

void BuildSoftkeyMenu(int level, int sublevel)
{
    level = level < MenuMain ? MenuMain : level > MenuChart ? MenuChart : level;
    bool entered = level != LastLevel || sublevel != LastSublevel;
    LastLevel = level;
    LastSublevel = sublevel;
    if (!AssignmentsLoaded)
        ReloadButtonAssignments();
    const SoftkeyPage* page = FindSoftkeyPage(level, sublevel);
    if (page->prepare)
        page->prepare();
    ShowSoftkeyRows(GetSoftkeyPageRows(*page));
    if (page == &MapTypePage && entered)
        ReloadButtonAssignments();
}

void ResetSoftkeyPageState()
{
    MapTypeSoftkeyCount = 0;
    LastLevel = LastSublevel = -1;
}

void RebuildSoftkeys()
{
    if (Settings.Softkeys)
        BuildSoftkeyMenu(Settings.Softkeylevel, Settings.Softkeysublevel);
    else
        ShowTopSoftkeys();
}
