// The mouse on the virtual screen: the map drag, which click zone a click or
// drag reaches (bezel shown or hidden, editor keyboard up), hover feedback
// (tooltip flags, cursors, the softkey bar), the keys that press softkeys,
// the softkey buttons' rows, the box hit tests and the map type's colour entry.
#include "app/layout_tables.h"
#include "app/main_window.h"
#include "app/softkey_menu.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "display/airport_view.h"
#include "display/draw_helpers.h"
#include "display/map_view.h"
#include "display/onscreen_keyboard.h"
#include "display/screen_buttons.h"
#include "display/softkey_pages.h"
#include "platform/window.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

class MapDragTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetMapPan();
        Settings.NavAirport = 1;
        Settings.AirportOverlay = 1;
        Settings.AirportChart = 0;
    }
    void At(int x, int y) { SetLastClickPos(x, y); }
};

TEST_F(MapDragTest, PressTakesTheAnchorAndTheMapFollowsThePointer)
{
    At(100, 100);
    EXPECT_EQ(HandleMouseDrag(0, 0, 1), 0);  // a press alone is not a pan
    EXPECT_EQ(MapPanning, 0);
    At(130, 90);
    EXPECT_EQ(HandleMouseDrag(0, 0, 3), 1);
    EXPECT_EQ(MapPanning, 1);
    EXPECT_FLOAT_EQ(MapPanOffset.x, 30);
    EXPECT_FLOAT_EQ(MapPanOffset.y, -10);
    At(200, 200);  // a second drag continues from where the first left the map
    HandleMouseDrag(0, 0, 1);
    At(210, 205);
    HandleMouseDrag(0, 0, 3);
    EXPECT_FLOAT_EQ(MapPanOffset.x, 40);
    EXPECT_FLOAT_EQ(MapPanOffset.y, -5);
}

TEST_F(MapDragTest, OtherEventsAreNotTaken)
{
    EXPECT_EQ(HandleMouseDrag(0, 0, 2), 0);
    EXPECT_EQ(HandleMouseDrag(0, 0, 4), 0);
    EXPECT_EQ(MapPanning, 0);
}

TEST_F(MapDragTest, ChartShownMovesTheOffsetWithoutStoppingTheFollow)
{
    Settings.AirportChart = 1;
    At(0, 0);
    HandleMouseDrag(0, 0, 1);
    At(5, 5);
    EXPECT_EQ(HandleMouseDrag(0, 0, 3), 1);
    EXPECT_EQ(MapPanning, 0);
    EXPECT_FLOAT_EQ(MapPanOffset.x, 5);
    Settings.AirportChart = 0;
}

TEST_F(MapDragTest, AirportDiagramPansItsOwnView)
{
    Settings.AirportOverlay = 0;
    SetAirportViewScale(0);
    SetAirportViewCenter(53.6, 10.0);
    AirportDiagramView.lastX = 0;
    AirportDiagramView.lastY = 0;
    At(330, 230);  // virtual 330, 230 on the unmeasured 640 x 480 client
    EXPECT_EQ(HandleMouseDrag(0, 0, 3), 1);
    EXPECT_EQ(MapPanning, 0);
    EXPECT_LT(AirportDiagramView.longitude, 10.0);
    EXPECT_LT(AirportDiagramView.latitude, 53.6);
}

TEST_F(MapDragTest, HomeEndsThePan)
{
    MapPanning = 1;
    MapPanOffset = {12, 12};
    EXPECT_EQ(HandleSoftkeyKey(VK_HOME, 0), 0);
    EXPECT_EQ(MapPanning, 0);
    EXPECT_EQ(MapPanOffset.x, 0);
    EXPECT_EQ(HandleSoftkeyKey(VK_F9, 0), -1);
}

TEST(SoftkeyKeys, DigitsAndEscapePressTheirSoftkeys)
{
    EXPECT_EQ(SoftkeyForKey(VK_ESCAPE, false), 6);
    EXPECT_EQ(SoftkeyForKey(VK_ESCAPE, true), 6);
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(SoftkeyForKey('1' + n, false), n);
        EXPECT_EQ(SoftkeyForKey('1' + n, true), n + 7);
    }
    EXPECT_EQ(SoftkeyForKey('7', false), 6);
    EXPECT_EQ(SoftkeyForKey('7', true), 13);
    EXPECT_EQ(SoftkeyForKey('8', false), -1);
    EXPECT_EQ(SoftkeyForKey('0', true), -1);
    EXPECT_EQ(SoftkeyForKey(VK_SPACE, false), -1);
}

// Space is the first options page's key 12 wherever the bar stands: the next
// display mode while the window is kept on top, and nothing of the page's own
// key 12 (the airport list's COM key, the direct-to colour, the full screen
// of the simulator, a language).
class SpaceKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MainWindowState = MainWindowStateBlock();
        Settings.TopMost = 1;
        Settings.Softkeys = 1;
        Settings.SelectedCOM = 0;
        Settings.DirToColor = 0xFF00FF00u;
        // A colour dialog would answer at once.
        setenv("TVL_DIALOG_ANSWER", "#102030", 1);
    }
    void TearDown() override
    {
        unsetenv("TVL_DIALOG_ANSWER");
        MainWindowState = MainWindowStateBlock();
        SetSoftkeyLevel(MenuMain, 0);
    }
};

TEST_F(SpaceKeyTest, StepsTheDisplayModeOnEveryPageAndNothingElse)
{
    const int pages[][2] = {{MenuMain, 0}, {MenuNavData, 2}, {MenuOptions, 2}, {MenuOptions, 4}, {MenuOptions, 0}};
    int wanted = 0;
    for (const auto& page : pages) {
        SetSoftkeyLevel(page[0], page[1]);
        ASSERT_EQ(HandleSoftkeyKey(VK_SPACE, 0), 0);
        wanted = (wanted + 1) % 3;
        EXPECT_EQ(GetDisplayMode(), wanted) << page[0] << "/" << page[1];
        EXPECT_EQ(Settings.Softkeylevel, page[0]);
        EXPECT_EQ(Settings.Softkeysublevel, page[1]);
    }
    EXPECT_EQ(Settings.SelectedCOM, 0);
    EXPECT_EQ(Settings.DirToColor, 0xFF00FF00u);
}

TEST_F(SpaceKeyTest, WithoutTopMostTheWindowStays)
{
    Settings.TopMost = 0;
    SetSoftkeyLevel(MenuNavData, 2);
    EXPECT_EQ(HandleSoftkeyKey(VK_SPACE, 0), 0);
    EXPECT_EQ(GetDisplayMode(), 0);
    EXPECT_FALSE(MainWindowState.smallWindow);
    EXPECT_EQ(Settings.SelectedCOM, 0);
}

// Every click zone's handler is swapped for one that records (zone, point,
// event); the tables are restored afterwards.
struct ZoneCall {
    int zone;
    int x, y;
    int32_t event;
};
std::vector<ZoneCall> Calls;

template <int Zone>
bool Record(uint32_t point, int32_t event)
{
    Calls.push_back({Zone, static_cast<int16_t>(point & 0xFFFF), static_cast<int16_t>(point >> 16), event});
    return false;
}

template <int Offset, int... Zones>
void InstallRecorders(std::array<Hotspot, sizeof...(Zones)>& table, std::integer_sequence<int, Zones...>)
{
    ((table[Zones].handler = &Record<Zones + Offset>), ...);
}

class ClickZoneTest : public ::testing::Test {
protected:
    std::array<Hotspot, HotspotCount> savedZones = HotspotTable;
    std::array<Hotspot, GeorefKeyCount> savedKeys = GeorefKeyTable;

    void SetUp() override
    {
        Calls.clear();
        SetViewportRect(0, true); // the map area inside the bezel, whatever ran before
        InstallRecorders<0>(HotspotTable, std::make_integer_sequence<int, HotspotCount>());
        InstallRecorders<100>(GeorefKeyTable, std::make_integer_sequence<int, GeorefKeyCount>());
        Settings.ShowFrame = 1;
        Settings.GeorefEdit = 0;
        Settings.Softkeylevel = 0;
        Settings.Softkeysublevel = 0;
    }
    void TearDown() override
    {
        HotspotTable = savedZones;
        GeorefKeyTable = savedKeys;
        Settings.GeorefEdit = 0;
        Settings.ShowFrame = 1;
    }
    // A click on the unmeasured 640 x 480 client: client and virtual points agree.
    void Click(int x, int y, int32_t event) { HandleMapClick(nullptr, MAKELPARAM(x, y), event); }
};

TEST_F(ClickZoneTest, AClickReachesTheFirstZoneWhoseMaskAndRectangleTakeIt)
{
    Click(587, 76, 1);  // zoom out
    Click(587, 135, 2);  // zoom in, right button
    Click(300, 200, 4);  // the map takes the wheel
    ASSERT_EQ(Calls.size(), 3u);
    EXPECT_EQ(Calls[0].zone, 1);
    EXPECT_EQ(Calls[0].x, 587);
    EXPECT_EQ(Calls[0].y, 76);
    EXPECT_EQ(Calls[1].zone, 2);
    EXPECT_EQ(Calls[1].event, 2);
    EXPECT_EQ(Calls[2].zone, 0);
    EXPECT_EQ(Calls[2].event, 4);
}

TEST_F(ClickZoneTest, EdgesMasksAndTheUndispatchedZonesHitNothing)
{
    Click(567, 76, 1);   // the left edge of the zoom-out zone
    Click(587, 56, 1);   // its top edge
    Click(587, 76, 4);   // a zone that takes no wheel
    Click(587, 290, 1);  // the back zone is reached by its button's command only
    Click(195, 456, 1);  // so is north/track up
    EXPECT_TRUE(Calls.empty());
}

TEST_F(ClickZoneTest, DragsBelowTheMapReachOnlyTheKnobAndBottomKeyZones)
{
    EXPECT_TRUE(ReleaseScreenButton(nullptr, MAKELPARAM(300, 389)));
    EXPECT_FALSE(ReleaseScreenButton(nullptr, MAKELPARAM(300, 420)));
    EXPECT_TRUE(ReleaseScreenButton(nullptr, MAKELPARAM(120, 450)));  // zone 13
    EXPECT_FALSE(ReleaseScreenButton(nullptr, MAKELPARAM(195, 456)));  // zone 14
    HandleSoftkeyWidgetMouse(MouseDragMessage, MAKELPARAM(300, 420));
    EXPECT_TRUE(Calls.empty());
    HandleSoftkeyWidgetMouse(MouseDragMessage, MAKELPARAM(300, 200));
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].zone, 0);
    EXPECT_EQ(Calls[0].event, 3);
    Settings.ShowFrame = 0;
    EXPECT_TRUE(ReleaseScreenButton(nullptr, MAKELPARAM(300, 420)));
}

TEST_F(ClickZoneTest, WithoutTheBezelEveryClickGoesToTheWholeScreenZone)
{
    Settings.ShowFrame = 0;
    Click(587, 76, 1);
    Click(10, 470, 2);
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[0].zone, 122);
    EXPECT_EQ(Calls[1].zone, 122);
    EXPECT_EQ(Calls[1].event, 2);
}

TEST_F(ClickZoneTest, TheEditorsKeyboardTakesItsKeysWithOrWithoutTheBezel)
{
    Settings.GeorefEdit = 1;
    const Hotspot& save = GeorefKeyTable[1];
    Click(save.x + 2, save.y + 2, 1);
    Click(100, 100, 1);  // beside the keyboard: the map
    Click(save.x + 2, save.y + 2, 4);  // keys take no wheel; the map zone neither
    Settings.ShowFrame = 0;
    Click(save.x + 2, save.y + 2, 1);
    ASSERT_EQ(Calls.size(), 3u);
    EXPECT_EQ(Calls[0].zone, 101);
    EXPECT_EQ(Calls[1].zone, 122);
    EXPECT_EQ(Calls[2].zone, 101);
}

TEST_F(ClickZoneTest, LeftAndRightButtonsAndTheWheelBecomeTheirEvents)
{
    OnMouseMessage(MAKELPARAM(300, 200), WM_LBUTTONDOWN);
    OnMouseMessage(MAKELPARAM(300, 200), WM_RBUTTONDOWN);
    OnMouseMessage(MAKELPARAM(300, 200), WM_LBUTTONUP);
    OnMouseWheel(513, MAKELPARAM(300, 200));
    OnMouseWheel(516, MAKELPARAM(300, 200));
    ASSERT_EQ(Calls.size(), 4u);
    EXPECT_EQ(Calls[0].event, 1);
    EXPECT_EQ(Calls[1].event, 2);
    EXPECT_EQ(Calls[2].event, 4);
    EXPECT_EQ(Calls[3].event, 8);
    int x = 0, y = 0;
    GetLastClickPos(&x, &y);
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 200);
}

// The bar laid out for the 16:9 bezel at 640 x 480: bottom 335, rows 23.
class HoverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ApplyAspectLayout();
        SetScreenFactors(640, 480);
        Settings.TouchMode = 0;
        Settings.FrameState = 0;
        Settings.ShowFrame = 1;
        Settings.Softkeys = 1;
        Settings.Tooltips = 1;
        Settings.GPSMode = 0;
        LayoutSoftkeys();
        LayoutScreenButtons();
        HideAllSoftkeys();
        ClearButtonStates();
        MainWindowState.instance = reinterpret_cast<HINSTANCE>(1);
    }
    void TearDown() override { MainWindowState.instance = nullptr; }
    bool Hover(int x, int y) { return HoverScreenButtons(nullptr, MAKELPARAM(x, y)); }
    void Press(int x, int y) { PressScreenButton(nullptr, MAKELPARAM(x, y)); }
    int Shown()
    {
        int n = 0;
        for (const ScreenButton& b : ScreenButtons)
            n += b.tooltipShown;
        return n;
    }
};

TEST_F(HoverTest, TheBarsRowsFollowTheLayout)
{
    EXPECT_EQ(SoftkeyRowY, 335);
    EXPECT_EQ(SoftkeyRowStep, 23);
    for (int n : {0, 6, 7, 13, 14, 20}) {
        const ScreenButton& b = ScreenButtons[FirstSoftkeyButton + n];
        EXPECT_EQ(b.y, 335 - 23 * (n / 7)) << n;
        EXPECT_EQ(b.h, 23) << n;
    }
    EXPECT_EQ(ScreenButtons[FirstSoftkeyButton].x, 84);
    EXPECT_EQ(ScreenButtons[FirstSoftkeyButton + 6].x, 84 + 6 * 472 / 7);
    // Without the bezel the second rectangles sit at the bottom of the screen.
    Settings.FrameState = 1;
    LayoutScreenButtons();
    EXPECT_EQ(ScreenButtons[FirstSoftkeyButton].y2, 335 + 480 - 40 - 319);
    EXPECT_EQ(ScreenButtons[FirstSoftkeyButton].x2, 84);
    EXPECT_EQ(ScreenButtons[FirstSoftkeyButton].y, 335);
}

TEST_F(HoverTest, ButtonsLiveInTheBezelColumnsAndTheBar)
{
    EXPECT_TRUE(Hover(30, 200));   // left column
    EXPECT_TRUE(Hover(600, 100));  // right column
    EXPECT_EQ(SoftkeyBarHover, 0);
    EXPECT_TRUE(Hover(300, 400));  // below the bar
    EXPECT_EQ(SoftkeyBarHover, 1);
    EXPECT_FALSE(Hover(300, 330));  // row 0 counts only while softkey 4 is shown
    EXPECT_EQ(SoftkeyBarHover, 0);
    SetButtonLabel(4, "TRK", false, 103, 6);
    EXPECT_TRUE(Hover(300, 330));
    EXPECT_EQ(SoftkeyBarHover, 1);
    EXPECT_FALSE(Hover(300, 300));  // row 1 needs softkey 7
    SetButtonLabel(7, "CONFIG", false, 108, 6);
    EXPECT_TRUE(Hover(300, 300));
    int x = 0, y = 0;
    GetHoverPos(&x, &y);
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 300);
}

TEST_F(HoverTest, TheTrafficButtonIsTrackedAndLeavingTheButtonsClearsTheirTooltips)
{
    ScreenButtons[3].tooltipShown = 1;
    EXPECT_FALSE(Hover(120, 200));
    EXPECT_EQ(TrafficButtonHover, 1);
    EXPECT_EQ(Shown(), 0);
    EXPECT_FALSE(Hover(300, 150));
    EXPECT_EQ(TrafficButtonHover, 0);
}

TEST_F(HoverTest, TheButtonUnderThePointerShowsItsTooltipAndCursor)
{
    Press(587, 135);  // zoom in
    EXPECT_EQ(ScreenButtons[7].tooltipShown, 1);
    EXPECT_EQ(Shown(), 1);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));
    Press(20, 120);  // darker: the program's turning knob
    EXPECT_EQ(ScreenButtons[12].tooltipShown, 1);
    EXPECT_EQ(ScreenButtons[7].tooltipShown, 0);
    EXPECT_EQ(GetCursor(), LoadCursorA(MainWindowState.instance, MAKEINTRESOURCEA(115)));
    Press(50, 120);  // brighter
    EXPECT_EQ(GetCursor(), LoadCursorA(MainWindowState.instance, MAKEINTRESOURCEA(114)));
    Press(300, 150);  // nothing: the arrow
    EXPECT_EQ(Shown(), 0);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(HoverTest, SoftkeysShowTheirTooltipsOnlyInTheSoftkeyMode)
{
    Press(120, 345);  // softkey 0
    EXPECT_EQ(ScreenButtons[FirstSoftkeyButton].tooltipShown, 1);
    Settings.GPSMode = 1;
    Press(120, 345);
    EXPECT_EQ(Shown(), 0);
    Settings.GPSMode = 0;
    Settings.Tooltips = 0;
    Press(120, 345);
    EXPECT_EQ(Shown(), 0);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));  // the cursor still tells
}

TEST(BoxHitTests, EdgesOfTheDrawnBoxesAreInside)
{
    NearestBoxRect = {10, 20, 30, 40};
    EXPECT_TRUE(HitTestNearestBox(10, 30));
    EXPECT_TRUE(HitTestNearestBox(20, 40));
    EXPECT_FALSE(HitTestNearestBox(20.5f, 40));
    AptBoxRect = {100, 130, 100, 130};
    EXPECT_TRUE(HitTestAptBox(130, 100));
    EXPECT_FALSE(HitTestAptBox(99, 100));
    HeadingBoxRect = {0, 68, 0, 37};
    EXPECT_TRUE(HitTestHeadingBox(68, 37));
    EXPECT_FALSE(HitTestHeadingBox(68, 38));
}

TEST(BoxHitTests, NearestListRectanglesTakeOnlyPointsStrictlyInside)
{
    // Not placed: nothing, not even the origin, is inside.
    NearestListDragRect = {0, 0, 0, 0};
    NearestListCloseRect = {0, 0, 0, 0};
    EXPECT_FALSE(IsInNearestListDragRect(0, 0));
    EXPECT_FALSE(IsInNearestListCloseRect(0, 0));
    NearestListDragRect = {100, 300, 50, 70};
    NearestListCloseRect = {280, 300, 50, 70};
    EXPECT_TRUE(IsInNearestListDragRect(101, 51));
    EXPECT_FALSE(IsInNearestListDragRect(100, 60));
    EXPECT_FALSE(IsInNearestListDragRect(200, 70));
    EXPECT_TRUE(IsInNearestListCloseRect(299, 69));
    EXPECT_FALSE(IsInNearestListCloseRect(300, 60));
    NearestListDragRect = {0, 0, 0, 0};
    NearestListCloseRect = {0, 0, 0, 0};
}

TEST(MapScaleValue, KeepsItsFloorAndRefusesNoNumbers)
{
    SetMapScaleValue(800.0);
    EXPECT_EQ(GetMapScaleValue(), 800.0);
    SetMapScaleValue(50.0);
    EXPECT_EQ(GetMapScaleValue(), MinMapScaleValue);
    SetMapScaleValue(std::numeric_limits<double>::quiet_NaN());
    SetMapScaleValue(std::numeric_limits<double>::infinity());
    EXPECT_EQ(GetMapScaleValue(), MinMapScaleValue);
}

TEST(MapTypeEntry, IdsPickTheirColourEntryAndUnknownOnesKeepIt)
{
    EXPECT_EQ(GetSelectedIndex(), -999);
    EXPECT_EQ(SelectMapTypeEntry(2), 5);  // never entry 10
    EXPECT_EQ(Settings.NavcolorIndex, 2);
    EXPECT_EQ(SelectMapTypeEntry(1000), 5);  // the back key
    EXPECT_EQ(SelectMapTypeEntry(2), 5);
    EXPECT_EQ(SelectMapTypeEntry(6), 11);
    EXPECT_EQ(SelectMapTypeEntry(77), -1);
    EXPECT_EQ(GetSelectedIndex(), 11);
    EXPECT_EQ(SelectMapTypeEntry(-5), 8);
}

}  // namespace
