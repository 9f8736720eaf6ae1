// The softkey pages: out-of-range pages and keys, the keys and highlights a
// page shows from the modes, the map-type page's back key and its limit of
// 21 keys, the rows the bar draws, the tooltip band's texts and the hold of
// the dynamic bar.
#include "app/click_zones.h"
#include "app/language.h"
#include "app/layout_tables.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "display/softkey_bar.h"
#include "display/softkey_pages.h"
#include "navdata/simulators.h"
#include "tests/support/temp_folder.h"

#include "maps/terrain_data.h"
#include "maps/tile_sources.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class SoftkeyPagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WorkingFolder here(std::string(TVL_ROOT_DIR) + "/System");
        ASSERT_EQ(LoadLanguage("en"), 0);
        Settings.Softkeys = 1;
        Settings.Windrose = 0;
        Settings.TrackUp = 0;
        Settings.MapType = -1;
        Settings.Terrainstate = 0;
        Settings.WeatherState = 0;
        Settings.ReferencedAirportMapDisplayed = 0;
        Settings.PDFPages = 0;
        Settings.PDFPreview = 0;
        Settings.AirportChart = 0;
        ClearMapTypeAvailability();
        ShutdownTerrain(); // terrain folders an earlier test made would add a key
        TileMapFlag = 0;
        CurrentTileMapType = 1;
    }
    static bool Lit(int n) { return GetSoftkeyColour(n) == SoftkeyLit; }
    static std::string Label(int n) { return GetSoftkeyLabel(n); }
};

TEST_F(SoftkeyPagesTest, PagesOutsideTheTableAreKeptAtItsEnds)
{
    BuildSoftkeyMenu(-3, 0);
    EXPECT_EQ(Label(0), "MAP");
    EXPECT_EQ(Label(BackSoftkey), "ESC");
    BuildSoftkeyMenu(12, 0);
    EXPECT_EQ(Label(0), "PDF");
    // A subpage beyond its page's range is its last one.
    BuildSoftkeyMenu(MenuOptions, 99);
    EXPECT_EQ(Label(BackSoftkey), "ESC");
    BuildSoftkeyMenu(MenuNavData, 99);
    EXPECT_EQ(Label(7), "OpenAIP");
}

// The simulator page lights the simulator in use, also one whose
// installation the settings do not know of; the others not installed are grey.
TEST_F(SoftkeyPagesTest, SimulatorPageLightsTheSimulatorChosen)
{
    int installed = InstalledSimulators.load(), sim = Settings.UseSimulator.load();
    InstalledSimulators = 0x40;  // MSFS only
    Settings.UseSimulator = SimulatorXPlane;   // X-Plane chosen
    BuildSoftkeyMenu(MenuOptions, 1);
    EXPECT_EQ(Label(0), "X-PLANE");
    EXPECT_TRUE(Lit(0));
    EXPECT_FALSE(Lit(5));
    EXPECT_EQ(GetSoftkeyColour(3), SoftkeyGrey) << "P3D is not installed";
    Settings.UseSimulator = SimulatorMsfs;
    BuildSoftkeyMenu(MenuOptions, 1);
    EXPECT_TRUE(Lit(5));
    EXPECT_EQ(GetSoftkeyColour(0), SoftkeyGrey);
    InstalledSimulators = installed;
    Settings.UseSimulator = sim;
}

// FSX's key stands also for the simulator at simconnect.cfg's address, on
// the simulator page and, while no database is chosen, on the database page.
TEST_F(SoftkeyPagesTest, FsxKeysLightForTheSimConnectConfigSimulator)
{
    int sim = Settings.UseSimulator.load(), database = Settings.NavDatabase;
    Settings.UseSimulator = SimulatorSimConnectConfig;
    BuildSoftkeyMenu(MenuOptions, 1);
    EXPECT_TRUE(Lit(2));
    EXPECT_FALSE(Lit(3)) << "Prepar3D has a key of its own";
    Settings.NavDatabase = 0;
    BuildSoftkeyMenu(MenuNavData, 3);
    EXPECT_TRUE(Lit(2));
    for (int key : {0, 1, 3, 4, 5})
        EXPECT_FALSE(Lit(key)) << key;
    Settings.UseSimulator = SimulatorNone;
    BuildSoftkeyMenu(MenuNavData, 3);
    for (int key = 0; key <= 5; ++key)
        EXPECT_FALSE(Lit(key)) << "no simulator lights no database, key " << key;
    Settings.NavDatabase = 2;
    BuildSoftkeyMenu(MenuNavData, 3);
    EXPECT_TRUE(Lit(1)) << "FS2004";
    Settings.UseSimulator = sim;
    Settings.NavDatabase = database;
}

TEST_F(SoftkeyPagesTest, MainPageFollowsTheModes)
{
    Settings.Windrose = 2;
    Settings.TrackUp = 1;
    BuildSoftkeyMenu(MenuMain, 0);
    EXPECT_TRUE(Lit(3));
    EXPECT_EQ(Label(2), "TRACK UP");
    EXPECT_FALSE(Lit(5));
    EXPECT_TRUE(IsSoftkeyShown(13));
    EXPECT_FALSE(IsSoftkeyShown(14));  // SET POS. only in the manual position mode
    EXPECT_FALSE(IsSoftkeyShown(15));
    Settings.Windrose = 0;
    Settings.TrackUp = 0;
    BuildSoftkeyMenu(MenuMain, 0);
    EXPECT_FALSE(Lit(3));
    EXPECT_EQ(Label(2), "NORTH UP");
    // The tooltip of each key comes from the language file.
    TooltipEntry entry;
    GetTooltipText(&entry, 17);
    EXPECT_STREQ(ScreenButtons[FirstSoftkeyButton + BackSoftkey].tooltip, entry.text.c_str());
}

TEST_F(SoftkeyPagesTest, TopLevelShowsMenuAndExitOnly)
{
    Settings.Softkeys = 0;
    RebuildSoftkeys();
    EXPECT_EQ(Label(BackSoftkey), "MENU");
    EXPECT_EQ(Label(ExitSoftkey), "EXIT");
    for (int n = 1; n < SoftkeyCount; ++n) {
        if (n != BackSoftkey) {
            EXPECT_FALSE(IsSoftkeyShown(n)) << n;
        }
    }
}

TEST_F(SoftkeyPagesTest, AirspaceClassesAreLitByTheirPlaceInTheFilter)
{
    std::snprintf(Settings.SelectedAirspace, sizeof Settings.SelectedAirspace, "A C   GR");
    BuildSoftkeyMenu(MenuNavData, 1);
    EXPECT_EQ(Label(0), "ALL");
    EXPECT_TRUE(Lit(1));   // A
    EXPECT_FALSE(Lit(2));  // B
    EXPECT_TRUE(Lit(3));   // C
    EXPECT_TRUE(Lit(8));   // G
    EXPECT_TRUE(Lit(9));   // R
    std::snprintf(Settings.SelectedAirspace, sizeof Settings.SelectedAirspace, "ABCDEFGR");
    BuildSoftkeyMenu(MenuNavData, 1);
    EXPECT_EQ(Label(0), "All");
    EXPECT_TRUE(Lit(0));
    std::snprintf(Settings.SelectedAirspace, sizeof Settings.SelectedAirspace, "        ");
}

TEST_F(SoftkeyPagesTest, MapTypePageWithFewTypesStillHasItsBackKey)
{
    BuildSoftkeyMenu(MenuMapTypes, 0);
    EXPECT_EQ(Label(0), "SAT");
    EXPECT_TRUE(Lit(0));  // MapType -1
    EXPECT_EQ(Label(BackSoftkey), "ESC");
    EXPECT_EQ(MapTypeSoftkeyIds[BackSoftkey], MapTypeBackId);
    int browser = -1;
    for (int n = 0; n < SoftkeyCount; ++n)
        if (MapTypeSoftkeyIds[n] == MapTypeBrowserId)
            browser = n;
    ASSERT_GE(browser, 0);
    EXPECT_LT(browser, BackSoftkey);
    EXPECT_EQ(MapTypeSoftkeySlots, SoftkeyCount);
    for (int n = browser + 1; n < SoftkeyCount; ++n) {
        if (n == BackSoftkey)
            continue;
        EXPECT_EQ(MapTypeSoftkeyIds[n], MapTypeBlankId) << n;
        EXPECT_EQ(Label(n), " ") << n;
    }
}

// The tiles shown light their key: after a start MapType is -1 for every
// tile map, and SAT was lit over the catalogue map's tiles.
TEST_F(SoftkeyPagesTest, MapTypePageLightsTheTileMapShown)
{
    MarkMapTypeAvailable(11);
    TileMapFlag = 1;
    CurrentTileMapType = 11;
    BuildSoftkeyMenu(MenuMapTypes, 0);
    int tpc = -1;
    for (int n = 0; n < SoftkeyCount; ++n)
        if (MapTypeSoftkeyIds[n] == 11)
            tpc = n;
    ASSERT_GE(tpc, 0);
    EXPECT_EQ(Label(0), "SAT");
    EXPECT_FALSE(Lit(0));
    EXPECT_TRUE(Lit(tpc));

    CurrentTileMapType = 4;
    BuildSoftkeyMenu(MenuMapTypes, 0);
    EXPECT_FALSE(Lit(tpc));
    EXPECT_EQ(Label(1), "OSM");
    EXPECT_TRUE(Lit(1));
    TileMapFlag = 0;
}

TEST_F(SoftkeyPagesTest, MapTypePageWithManyTypesStopsAtTheLastKey)
{
    for (int id : {1, 7, 6, 2, 33, 21, 22, 11, 12, 13, 4, 8, 9, 10, 31, 32, 30})
        MarkMapTypeAvailable(id);
    Settings.MapType = 7;
    BuildSoftkeyMenu(MenuMapTypes, 0);
    EXPECT_EQ(MapTypeSoftkeyIds[BackSoftkey], MapTypeBackId);
    EXPECT_EQ(MapTypeSoftkeyCount, SoftkeyCount);
    int lit = 0;
    for (int n = 0; n < SoftkeyCount; ++n) {
        EXPECT_TRUE(IsSoftkeyShown(n)) << n;
        EXPECT_NE(MapTypeSoftkeyIds[n], MapTypeBlankId) << n;
        lit += Lit(n);
    }
    EXPECT_EQ(lit, 1);  // only the map in use
    EXPECT_EQ(MapTypeSoftkeyIds[5], 7);
    EXPECT_TRUE(Lit(5));
    EXPECT_EQ(MapTypeSoftkeyIds[BackSoftkey + 1], 6);  // the next one after the back key
}

TEST_F(SoftkeyPagesTest, PageKeysBeyondTheSecondRowChangeNothing)
{
    HideAllSoftkeys();
    SetPageSoftkey("X", true, 1, 15, 0);
    SetPageSoftkey("X", true, 1, -1, 0);
    EXPECT_FALSE(IsSoftkeyShown(15));
    SetPageSoftkey("X", true, 1, 14, 0);
    EXPECT_TRUE(IsSoftkeyShown(14));
    EXPECT_TRUE(Lit(14));
    SetSoftkeyHighlight(99, true);  // ignored
    EXPECT_EQ(GetSoftkeyColour(99), 0u);
}

TEST_F(SoftkeyPagesTest, ABlankFirstKeyHidesItsRow)
{
    BuildSoftkeyMenu(MenuOptions, 3);  // the user-map page: one row
    EXPECT_TRUE(IsSoftkeyRowShown(0));
    EXPECT_FALSE(IsSoftkeyRowShown(1));
    BuildSoftkeyMenu(MenuNavData, 0);
    EXPECT_TRUE(IsSoftkeyRowShown(1));
    EXPECT_FALSE(IsSoftkeyRowShown(2));
    HideAllSoftkeys();
    SetButtonLabel(7, " ", false, 130, 0);
    EXPECT_FALSE(IsSoftkeyRowShown(1));
}

TEST_F(SoftkeyPagesTest, ChartPageOffersZoomUnlessThePreviewIsUp)
{
    Settings.AirportChart = 1;
    Settings.PDFPages = 3;
    BuildSoftkeyMenu(MenuChart, 0);
    EXPECT_TRUE(Lit(0));
    EXPECT_EQ(Label(2), "PAGE -");
    EXPECT_EQ(Label(7), "ZOOM IN");
    TooltipEntry entry;
    GetTooltipText(&entry, 52);
    EXPECT_STREQ(ScreenButtons[FirstSoftkeyButton + 1].tooltip, entry.text.c_str());
    Settings.PDFPreview = 1;
    BuildSoftkeyMenu(MenuChart, 0);
    EXPECT_TRUE(Lit(1));
    EXPECT_NE(Label(7), "ZOOM IN");
}

TEST_F(SoftkeyPagesTest, TooltipTextsLongerThanTheirBufferAreCut)
{
    std::string longText(500, 'w');
    SetSoftkeyTooltip(3, longText.c_str(), 1);
    EXPECT_EQ(std::string(ScreenButtons[FirstSoftkeyButton + 3].tooltip).size(),
              sizeof ScreenButtons[0].tooltip - 1);
    SetSoftkeyTooltip(21, "x", 1);  // no such softkey
    SetSoftkeyTooltip(-1, "x", 1);
}

TEST_F(SoftkeyPagesTest, TooltipBandTexts)
{
    BuildSoftkeyMenu(MenuMain, 0);
    char text[200];
    GetTooltipBandText(FirstSoftkeyButton + 10, text, sizeof text);
    TooltipEntry entry;
    GetTooltipText(&entry, 106);
    EXPECT_EQ(std::string(text), entry.text);
    // A softkey the page does not show has no band.
    GetTooltipBandText(FirstSoftkeyButton + 20, text, sizeof text);
    EXPECT_STREQ(text, "");
    Settings.DynamicSoftkeys = 1;
    GetTooltipBandText(4, text, sizeof text);
    GetTooltipText(&entry, 204);
    EXPECT_EQ(std::string(text), entry.text);
    Settings.DynamicSoftkeys = 0;
    GetTooltipBandText(4, text, sizeof text);
    GetTooltipText(&entry, 205);
    EXPECT_EQ(std::string(text), entry.text);
    GetTooltipBandText(ScreenButtonCount, text, sizeof text);
    EXPECT_STREQ(text, "");
}

TEST(SoftkeyBarHoldTest, DynamicBarStaysASecondAfterThePointerLeftAcrossAMinute)
{
    Settings.DynamicSoftkeys = 1;
    SoftkeyBarHover = 0;
    IsSoftkeyBarUp(0);
    IsSoftkeyBarUp(10);
    EXPECT_FALSE(IsSoftkeyBarUp(20));
    SoftkeyBarHover = 1;
    EXPECT_TRUE(IsSoftkeyBarUp(59.5));
    SoftkeyBarHover = 0;
    EXPECT_TRUE(IsSoftkeyBarUp(59.6));
    EXPECT_TRUE(IsSoftkeyBarUp(60.4));  // the next minute has begun
    EXPECT_FALSE(IsSoftkeyBarUp(60.7));
    Settings.DynamicSoftkeys = 0;
    EXPECT_TRUE(IsSoftkeyBarUp(61));
}

}  // namespace

namespace {

// A click on the middle of each softkey of a three-row page presses that
// softkey; the no-action level runs nothing behind it.
TEST(SoftkeyClickTest, EachSoftkeyOfTheBarPressesItsOwnNumber)
{
    Settings.ShowFrame = 1;
    Settings.Softkeys = 1;
    Settings.GeorefEdit = 0;
    Settings.PDFPreview = 0;
    Settings.Softkeylevel = MenuNoAction;
    Settings.Softkeysublevel = 0;
    LayoutSoftkeys();
    LayoutScreenButtons();
    HideAllSoftkeys();
    for (int n = 0; n < SoftkeyCount; ++n)
        SetButtonLabel(n, "K", false, 130, 0);
    for (int n = 0; n < SoftkeyCount; ++n) {
        const ScreenButton& b = ScreenButtons[FirstSoftkeyButton + n];
        HandleMapClick(nullptr, MAKELPARAM(b.x + b.w / 2, b.y + b.h / 2), MouseLeftPress);
        EXPECT_EQ(GetPressedSoftkey(), n);
    }
    Settings.Softkeylevel = MenuMain;
}

}  // namespace

namespace {

// The softkey layout takes the first anchor to the lower left corner of the
// map rectangle it lays the keys out on; the other anchors stay put.
TEST(SoftkeyLayoutTest, TheFirstAnchorMovesWithTheMap)
{
    ScreenLayout.MapRectX = 100;
    ScreenLayout.MapRectY = 30;
    ScreenLayout.MapRectH = 300;
    SoftkeyAnchor second = SoftkeyAnchors[1];
    LayoutSoftkeys();
    EXPECT_FLOAT_EQ(SoftkeyAnchors[0].x, 100.0f);
    EXPECT_FLOAT_EQ(SoftkeyAnchors[0].y, 266.0f);
    EXPECT_FLOAT_EQ(SoftkeyAnchors[0].z, 0.0f);
    EXPECT_FLOAT_EQ(SoftkeyAnchors[1].x, second.x);
    EXPECT_FLOAT_EQ(SoftkeyAnchors[1].y, second.y);
}

}  // namespace
