// The start values of the screen layout tables and the aspect layouts.
#include "app/layout_tables.h"
#include "app/screen_layout.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(LayoutTables, StartFromTheWideLayout)
{
    EXPECT_EQ(ScreenLayout.MapRectX, 84);
    EXPECT_EQ(ScreenLayout.MapRectY, 40);
    EXPECT_EQ(ScreenLayout.MapRectW, 472);
    EXPECT_EQ(ScreenLayout.MapRectH, 319);
    EXPECT_EQ(LayoutOriginX, 84);
    EXPECT_EQ(LayoutOriginY, 40);
    EXPECT_EQ(SoftkeyRowStep, 24);
    EXPECT_EQ(SoftkeyRowOffset, 334);
    EXPECT_EQ(SoftkeyRowY, 372);
}

TEST(LayoutTables, SoftkeyLabelRowsStackUpward)
{
    for (int i = 0; i < SoftkeyCount; ++i) {
        const TextBox& b = SoftkeyLabelBoxes[i];
        int row = i / 7;
        EXPECT_EQ(b.y, 374 - 24 * row) << i;
        EXPECT_EQ(b.x, 84 + 64 * (i % 7)) << i;
        EXPECT_EQ(b.font, 6);
        EXPECT_EQ(b.shown, 0);
        EXPECT_EQ(b.text[0], '\0');
    }
    EXPECT_EQ(SoftkeyLabelBoxes[0].w, 67);
    EXPECT_EQ(SoftkeyLabelBoxes[0].h, 16);
    EXPECT_EQ(SoftkeyLabelBoxes[0].backgroundColour, 0xBE000000u);
    EXPECT_EQ(SoftkeyLabelBoxes[7].w, 84);
    EXPECT_EQ(SoftkeyLabelBoxes[7].textColour, 0xFFFF0000u);
}

TEST(LayoutTables, TextFieldsOfTheMapRectangle)
{
    EXPECT_EQ(StatusLineBox.flag, 1);
    EXPECT_EQ(StatusLineBox.y, 357);
    EXPECT_EQ(StatusLineBox.w, 477);
    EXPECT_EQ(StatusLineBox.font, 37);
    EXPECT_EQ(TitleBox.x, 114);
    EXPECT_EQ(TitleBox.y, 55);
    EXPECT_EQ(TitleBox.flag, 0);
    EXPECT_EQ(SideColumnBoxes[0].x, 379);
    EXPECT_EQ(SideColumnBoxes[0].y, 242);
    EXPECT_EQ(SideColumnBoxes[5].y, 102);
    EXPECT_EQ(ListHeaderBox.y, 354);
    EXPECT_EQ(ListHeaderBox.font, 39);
    // Row 0 at the bottom in white, the rest upward in green, 28 apart.
    EXPECT_EQ(ListRowBoxes[0].y, 354);
    EXPECT_EQ(ListRowBoxes[0].textColour, 0xFFFFFFFFu);
    for (int i = 1; i < 10; ++i) {
        EXPECT_EQ(ListRowBoxes[i].y, ListRowBoxes[i - 1].y - 28);
        EXPECT_EQ(ListRowBoxes[i].textColour, 0xFF00FF00u);
    }
    EXPECT_EQ(ListRowBoxes[9].y, 102);
}

TEST(LayoutTables, ScreenButtonsAndSoftkeys)
{
    EXPECT_EQ(ScreenButtons[0].x, 130);
    EXPECT_EQ(ScreenButtons[9].h, 201);
    EXPECT_EQ(ScreenButtons[17].x, 38);
    EXPECT_EQ(ScreenButtons[18].x, 82);
    EXPECT_EQ(ScreenButtons[18].y, 372);
    EXPECT_EQ(ScreenButtons[24].x, 466);
    EXPECT_EQ(ScreenButtons[25].y, 348);
    EXPECT_EQ(ScreenButtons[38].y, 324);
    EXPECT_STREQ(ScreenButtons[18].tooltip, "Softkey 1");
    EXPECT_STREQ(ScreenButtons[26].tooltip, "Softkey 9");
    EXPECT_STREQ(ScreenButtons[38].tooltip, "Softkey 21");
    EXPECT_EQ(ScreenButtons[0].tooltip[0], '\0');
    for (const ScreenButton& b : ScreenButtons) {
        EXPECT_EQ(b.tooltipShown, 0);
        EXPECT_EQ(b.x2, b.x);
        EXPECT_EQ(b.h2, b.h);
    }
}

TEST(LayoutTables, OffScreenButtonsAreNeverHit)
{
    EXPECT_EQ(ScreenButtonAt(-1, -1, false), -1);
    EXPECT_EQ(ScreenButtonAt(150, 400, false), 0);
    // Edges are outside.
    EXPECT_EQ(ScreenButtonAt(130, 400, false), -1);
    EXPECT_EQ(ScreenButtonAt(100, 380, false), 18);
}

TEST(LayoutTables, HotspotsAreNumberedByIndexWithHandlers)
{
    for (int i = 0; i < HotspotCount; ++i) {
        EXPECT_EQ(HotspotTable[i].id, i);
        EXPECT_NE(HotspotTable[i].handler, nullptr);
        EXPECT_NE(HotspotTable[i].tooltip, nullptr);
    }
    EXPECT_EQ(HotspotTable[0].w, 472);
    EXPECT_EQ(HotspotTable[0].eventMask, 15u);
    EXPECT_EQ(HotspotTable[7].eventMask, 1u);
    EXPECT_STREQ(HotspotTable[16].tooltip, "Reset");
    EXPECT_EQ(HotspotTable[16].x, 560);
}

TEST(LayoutTables, SoftkeyAnchorsOnTheMapBottom)
{
    EXPECT_FLOAT_EQ(SoftkeyAnchors[0].x, 84.0f);
    EXPECT_FLOAT_EQ(SoftkeyAnchors[1].x, 145.5f);
    EXPECT_FLOAT_EQ(SoftkeyAnchors[6].x, 463.0f);
    for (const SoftkeyAnchor& a : SoftkeyAnchors) {
        EXPECT_FLOAT_EQ(a.y, 295.0f);
        EXPECT_FLOAT_EQ(a.z, 0.0f);
    }
}

TEST(ScreenLayout, ColumnsFollowTheAspectRatio)
{
    SetAspectRatio(2);
    ApplyAspectLayout();
    EXPECT_EQ(ScreenLayout.MapRectX, 94);
    EXPECT_DOUBLE_EQ(ScreenLayout.ConnectionLampScale, 0.5);
    EXPECT_DOUBLE_EQ(GetAspectValue(), 1.6);
    SetAspectRatio(4);
    ApplyAspectLayout();
    EXPECT_EQ(ScreenLayout.MapRectX, 109);
    EXPECT_EQ(ScreenLayout.TrafficButtonX, 112);
    EXPECT_DOUBLE_EQ(GetAspectValue(), 4.0 / 3.0);
    SetAspectRatio(1);
    ApplyAspectLayout();
    EXPECT_EQ(ScreenLayout.FlightPlanButtonX, 335);
    EXPECT_DOUBLE_EQ(ScreenLayout.TransparencyKnobRadiusY, 10.0);
    // The list rows stay where they started.
    EXPECT_EQ(ListRowBoxes[0].x, 84);
}

TEST(ScreenLayout, AspectOfTheMonitorPicksTheNearestLayout)
{
    EXPECT_EQ(AspectRatioForSize(1920, 1080), 1);
    EXPECT_EQ(AspectRatioForSize(2560, 1080), 1);
    EXPECT_EQ(AspectRatioForSize(1680, 1050), 2);
    EXPECT_EQ(AspectRatioForSize(1600, 1200), 3);
    EXPECT_EQ(AspectRatioForSize(1280, 1024), 3);
    EXPECT_EQ(AspectRatioForSize(1024, 1280), 3);
    // Just nearer to 16:10 than to 16:9.
    EXPECT_EQ(AspectRatioForSize(1688, 1000), 2);
    EXPECT_EQ(AspectRatioForSize(800, 0), 1);
}
