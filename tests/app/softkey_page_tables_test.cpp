// The page tables walked whole: every page is found where its level and
// sublevel say, its rows name each key once, a built page shows each row's
// face on its key, and a press with a stray sublevel reaches the page the
// level's handler always ran.
#include "app/language.h"
#include "app/layout_tables.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "app/softkey_page_tables.h"
#include "display/map_types.h"
#include "display/softkey_pages.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

class SoftkeyPageTablesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WorkingFolder here(std::string(TVL_ROOT_DIR) + "/System");
        ASSERT_EQ(LoadLanguage("en"), 0);
        Settings.Softkeys = 1;
        Settings.Softkeylevel = MenuMain;
        Settings.Softkeysublevel = 0;
        Settings.MapType = -1;
        Settings.PDFPages = 0;
        Settings.PDFPreview = 0;
        Settings.AirportChart = 0;
        Settings.ReferencedAirportMapDisplayed = 0;
        ClearMapTypeAvailability();
        ResetSoftkeyPageState();
    }
};

TEST_F(SoftkeyPageTablesTest, EveryPageIsFoundByItsLevelAndSublevel)
{
    std::set<std::pair<int, int>> seen;
    for (const SoftkeyPage* page : GetSoftkeyPages()) {
        SCOPED_TRACE(testing::Message() << "page " << page->level << "/" << page->sublevel);
        EXPECT_TRUE(seen.insert({page->level, page->sublevel}).second) << "two pages on one place";
        EXPECT_EQ(FindSoftkeyPage(page->level, page->sublevel), page);
        EXPECT_EQ(FindKeyPage(page->level, page->sublevel), page);
    }
    // Every level 0..9 has a page, and nothing lies outside them.
    for (int level = MenuMain; level <= MenuChart; ++level)
        EXPECT_NE(FindSoftkeyPage(level, 0), nullptr) << level;
    EXPECT_EQ(FindSoftkeyPage(-1, 0), nullptr);
    EXPECT_EQ(FindKeyPage(MenuChart + 1, 0), nullptr);
}

TEST_F(SoftkeyPageTablesTest, RowsNameEachKeyOfTheBarAtMostOnce)
{
    for (const SoftkeyPage* page : GetSoftkeyPages()) {
        Settings.Softkeylevel = page->level;
        Settings.Softkeysublevel = page->sublevel;
        BuildSoftkeyMenu(page->level, page->sublevel);
        std::set<int> keys;
        for (const SoftkeyRow& row : GetSoftkeyPageRows(*page)) {
            SCOPED_TRACE(testing::Message() << "page " << page->level << "/" << page->sublevel << " key " << row.key);
            EXPECT_GE(row.key, 0);
            EXPECT_LT(row.key, SoftkeyCount);
            // A second row for a key would never be pressed.
            EXPECT_TRUE(keys.insert(row.key).second);
        }
    }
}

// What the bar shows is what the rows say: each row's label on its key, lit
// by its rule, and no key shown that has no row with a face.
TEST_F(SoftkeyPageTablesTest, ABuiltPageShowsEachRowOnItsKey)
{
    for (const SoftkeyPage* page : GetSoftkeyPages()) {
        Settings.Softkeylevel = page->level;
        Settings.Softkeysublevel = page->sublevel;
        BuildSoftkeyMenu(page->level, page->sublevel);
        std::set<int> faced;
        for (const SoftkeyRow& row : GetSoftkeyPageRows(*page)) {
            SCOPED_TRACE(testing::Message() << "page " << page->level << "/" << page->sublevel << " key " << row.key);
            if (row.label && !row.face) {
                faced.insert(row.key);
                EXPECT_TRUE(IsSoftkeyShown(row.key));
                EXPECT_EQ(std::string(GetSoftkeyLabel(row.key)), row.label);
                bool lit = row.lit && row.lit(row.choice);
                EXPECT_EQ(GetSoftkeyColour(row.key), lit ? SoftkeyLit : SoftkeyNormal);
            } else if (!row.label) {
                EXPECT_FALSE(IsSoftkeyShown(row.key));
            } else {
                faced.insert(row.key);
            }
        }
        for (int key = 0; key < SoftkeyCount; ++key) {
            if (!faced.count(key)) {
                EXPECT_FALSE(IsSoftkeyShown(key)) << "page " << page->level << "/" << page->sublevel << " key " << key;
            }
        }
    }
}

// A command may select a sublevel no page has: the main, map-source and
// options levels then run their last page, the navigation level nothing.
TEST_F(SoftkeyPageTablesTest, AStraySublevelRunsTheLevelsLastPageButOnTheNavigationLevel)
{
    EXPECT_EQ(FindKeyPage(MenuMain, -1), &FlightPlanPage);
    EXPECT_EQ(FindKeyPage(MenuMapSources, 7), &MapSourcePage);
    EXPECT_EQ(FindKeyPage(MenuOptions, 12), &LanguagePage);
    EXPECT_EQ(FindKeyPage(MenuNavData, 4), nullptr);
    // The build keeps a stray sublevel within the level's pages.
    EXPECT_EQ(FindSoftkeyPage(MenuMain, -1), &MainPage);
    EXPECT_EQ(FindSoftkeyPage(MenuNavData, 4), &DatabasePage);

    Settings.Softkeylevel = MenuNavData;
    Settings.Softkeysublevel = 4;
    Settings.NavDatabase = 0;
    RunLevelHandler(MenuNavData, 7);  // OpenAIP on the database page
    EXPECT_EQ(Settings.NavDatabase, 0);
}

}  // namespace
