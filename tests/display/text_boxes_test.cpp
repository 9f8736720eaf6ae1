// The boxes over the finished map: the message box's limits and bands (kept
// inside the map's glass and below the status block), the timed status
// message's band, the editor's help text, the zoom box's column and its hold after the pointer
// left, and when the zoom box is drawn.
#include "app/language.h"
#include "display/softkey_pages.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "display/draw_helpers.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "display/frame_renderer.h"
#include "display/status_layer.h"
#include "display/status_text.h"
#include "display/text_boxes.h"
#include "navdata/simulators.h"
#include "tests/render/render_fixture.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

TEST(ScreenMessageTest, TextsOfTheBoxsSizeOrMoreAreRefused)
{
    ScreenMessage.shown = 0;
    std::string longest(1023, 'x');
    ShowScreenMessage(longest.c_str(), 20);
    EXPECT_EQ(ScreenMessage.shown, 1);
    EXPECT_EQ(ScreenMessage.fontSize, 20);
    EXPECT_EQ(std::string(ScreenMessage.text), longest);
    ScreenMessage.shown = 0;
    ShowScreenMessage(std::string(1024, 'y').c_str(), 12);
    EXPECT_EQ(ScreenMessage.shown, 0);
    EXPECT_EQ(ScreenMessage.fontSize, 20);
    EXPECT_EQ(ScreenMessage.text[0], 'x');
}

TEST(ScreenMessageTest, EditorHelpJoinsItsFiveTextsWithoutShowingThem)
{
    WorkingFolder here(std::string(TVL_ROOT_DIR) + "/System");
    ASSERT_EQ(LoadLanguage("en"), 0);
    ScreenMessage.shown = 0;
    ScreenMessage.fontSize = 30;
    ShowEditHelpMessage();
    std::string expected;
    for (int n = 3; n <= 7; ++n)
        expected += GetEditText(n);
    EXPECT_EQ(std::string(ScreenMessage.text), expected);
    EXPECT_EQ(ScreenMessage.fontSize, 16);
    EXPECT_EQ(ScreenMessage.shown, 0);
}

TEST(ZoomColumnTest, TheColumnStaysWithinTheTileZooms)
{
    ZoomColumn c = ComputeZoomColumn(11, true, false);
    EXPECT_EQ(c.first, 9);  // terrain shows from 9: 9 to 17
    EXPECT_EQ(c.first + c.rows - 2, 17);
    c = ComputeZoomColumn(18, false, false);
    EXPECT_EQ(c.first, 11);  // 11 to 19
    EXPECT_EQ(c.first + c.rows - 2, 19);
    c = ComputeZoomColumn(5, false, false);
    EXPECT_EQ(c.first, 4);
    c = ComputeZoomColumn(20, false, true);
    EXPECT_EQ(c.rows, 8);
    EXPECT_EQ(c.first, 13);
    c = ComputeZoomColumn(12, false, false);
    EXPECT_EQ(c.first, 8);
    EXPECT_EQ(c.wanted, 12);
}

TEST(HoverHoldTest, HoldsOneSecondAfterThePointerLeft)
{
    HoverHold h;
    EXPECT_FALSE(h.Step(false, 5.0));
    EXPECT_TRUE(h.Step(true, 59.5));
    EXPECT_TRUE(h.Step(false, 59.9));  // left in the last second of a minute
    EXPECT_TRUE(h.Step(false, 60.8));
    EXPECT_FALSE(h.Step(false, 60.95));
    EXPECT_FALSE(h.Step(false, 61.0));
    EXPECT_TRUE(h.Step(true, 0.0));  // a clock at zero counts like any other
    EXPECT_TRUE(h.Step(false, 0.0));
    EXPECT_TRUE(h.Step(true, 0.5));  // back over it: the second starts anew
    EXPECT_TRUE(h.Step(false, 1.25));
    EXPECT_TRUE(h.Step(false, 2.25));
    EXPECT_FALSE(h.Step(false, 2.3));
}

// Boxes drawn on a white target at 640 x 480, so that a pixel's darkness
// tells where a shaded band lies.
class TextBoxDrawTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        ApplyAspectLayout();
        SetScreenFactors(640, 480);
        // A frame with a chart draws no status block: the message box then
        // starts at the map's top, whatever block an earlier frame drew.
        uint8_t chart = Settings.AirportChart;
        Settings.AirportChart = 1;
        DrawStatusLayer(480);
        Settings.AirportChart = chart;
        ShowTopSoftkeys();  // no rows of a page over the bottom of the glass
        ClearTarget(0xFFFFFFFFu);
        BezelShown = 1;
        Settings.Dimlevel = 255;
    }
    bool Shaded(int x, int y) { return (Pixel(x, y) & 0xFF) < 0x80; }
    // The status layer with no status line but the timed message.
    void DrawOnlyTheTimedMessage(const char* text)
    {
        for (int k = 0; k < 4; ++k)
            StatusLines[k].shown = 0;
        std::snprintf(StatusLines[3].text, sizeof StatusLines[3].text, "%s", text);
        StatusLines[3].shown = 1;
        BackgroundDrawn = 0;
        DrawStatusLayer(480);
    }
};

TEST_F(TextBoxDrawTest, OneLineHasOneBandFourUnitsTallerThanTheLine)
{
    ShowScreenMessage("ABC", 16);
    DrawScreenMessageBox();
    int h = 24;  // 16 x 1.5
    EXPECT_TRUE(Shaded(500, 40));
    EXPECT_TRUE(Shaded(500, 40 + h + 3));
    EXPECT_FALSE(Shaded(500, 40 + h + 5));
    EXPECT_EQ(ScreenMessage.shown, 1);  // drawing never hides it
}

TEST_F(TextBoxDrawTest, TwoLinesHaveTwoBandsTheLastTwoUnitsTaller)
{
    ShowScreenMessage("ABC\nDEF", 16);
    DrawScreenMessageBox();
    int h = 24;
    EXPECT_TRUE(Shaded(500, 40 + 2 * h + 1));
    EXPECT_FALSE(Shaded(500, 40 + 2 * h + 3));
}

// The start-up messages stay inside the map's glass and leave the status
// line readable; without the bezel the band spans the screen.
TEST_F(TextBoxDrawTest, TheMessageBandStaysInTheGlassBelowTheStatusBlock)
{
    Settings.AirportChart = 0;
    Settings.NavAirport = 0;
    Settings.UseSimulator = SimulatorNone;  // no waiting line: the status lines
    Settings.Stateline = 10;
    BackgroundDrawn = 1;
    for (int k = 0; k < 4; ++k)
        StatusLines[k].shown = 0;
    std::snprintf(StatusLines[0].text, sizeof StatusLines[0].text, "GS: 120 kn");
    StatusLines[0].shown = 1;
    StatusLines[1].shown = 1;
    DrawStatusLayer(480);
    float statusBottom = GetStatusBlockBottom();
    EXPECT_GT(statusBottom, 40 + 20);
    ClearTarget(0xFFFFFFFFu);
    ShowScreenMessage("No local map packages were found.", 16);
    DrawScreenMessageBox();
    int top = static_cast<int>(statusBottom);
    int below = top + 22;  // under the text, inside the band
    EXPECT_FALSE(Shaded(300, top - 2)) << "the status block stays clear";
    EXPECT_TRUE(Shaded(300, below));
    EXPECT_TRUE(Shaded(ScreenLayout.MapRectX + 2, below));
    EXPECT_FALSE(Shaded(ScreenLayout.MapRectX - 2, below)) << "nothing over the bezel";
    EXPECT_FALSE(Shaded(ScreenLayout.MapRectX + ScreenLayout.MapRectW + 2, below));
    // A line longer than the glass takes the band as far as it reaches.
    ClearTarget(0xFFFFFFFFu);
    ShowScreenMessage("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", 16);
    DrawScreenMessageBox();
    EXPECT_TRUE(Shaded(ScreenLayout.MapRectX + ScreenLayout.MapRectW + 2, below));
    // Without the bezel there is no glass to keep to.
    BezelShown = 0;
    DrawStatusLayer(480);
    ClearTarget(0xFFFFFFFFu);
    ShowScreenMessage("ABC", 16);
    DrawScreenMessageBox();
    EXPECT_TRUE(Shaded(2, std::max(40, static_cast<int>(GetStatusBlockBottom())) + 22));
    for (int k = 0; k < 4; ++k)
        StatusLines[k].shown = 0;
}

TEST_F(TextBoxDrawTest, TheTimedStatusMessageBandStaysInTheGlass)
{
    Settings.AirportChart = 0;
    Settings.Softkeys = 1;
    DrawOnlyTheTimedMessage("Panning on...");
    // The half-transparent band darkens the white target to about half.
    int y = ScreenLayout.MapRectY + ScreenLayout.MapRectH - 52 + 18;
    auto darkened = [&](int x) { return (Pixel(x, y) & 0xFF) < 0xC0; };
    EXPECT_TRUE(darkened(ScreenLayout.MapRectX + 400));
    EXPECT_FALSE(darkened(ScreenLayout.MapRectX - 2));
    EXPECT_FALSE(darkened(ScreenLayout.MapRectX + ScreenLayout.MapRectW + 2));
    EXPECT_EQ(GetStatusBlockBottom(), 0.0f) << "the timed message is no part of the block";
    StatusLines[3].shown = 0;
}

// The open softkey bar's rows stand over the bottom of the glass: the
// timed message's band stays above the highest row shown.
TEST_F(TextBoxDrawTest, TheTimedStatusMessageStandsAboveTheSoftkeyRowsShown)
{
    Settings.AirportChart = 0;
    Settings.Softkeys = 1;
    LayoutSoftkeys();
    BuildSoftkeyMenu(0, 0);  // the main page: two rows of keys
    ASSERT_TRUE(IsSoftkeyRowShown(1));
    ASSERT_FALSE(IsSoftkeyRowShown(2));
    int rowsTop = static_cast<int>(GetSoftkeyRowTop(1));
    DrawOnlyTheTimedMessage("Panning on...");
    auto darkened = [&](int y) { return (Pixel(ScreenLayout.MapRectX + 400, y) & 0xFF) < 0xC0; };
    EXPECT_TRUE(darkened(rowsTop - 3));
    EXPECT_FALSE(darkened(rowsTop + 1)) << "nothing of the message under the keys";
    EXPECT_GE(rowsTop - 3, ScreenLayout.MapRectY + ScreenLayout.MapRectH - 52 - 20);
    StatusLines[3].shown = 0;
}

// Messages longer than their band are drawn smaller and end inside it: on
// a black target the white text's last column shows where they end.
TEST_F(TextBoxDrawTest, LongMessagesShrinkToEndInsideTheirBand)
{
    auto lastTextColumn = [&](int y0, int y1) {
        int last = -1;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < 640; ++x)
                if ((Pixel(x, y) & 0xFF) > 0xC0)
                    last = std::max(last, x);
        return last;
    };
    const char* longText = "Weather radar: no radar pictures could be downloaded, and the map shows none of them";
    Settings.AirportChart = 0;
    Settings.Softkeys = 1;
    for (int k = 0; k < 4; ++k)
        StatusLines[k].shown = 0;
    std::snprintf(StatusLines[3].text, sizeof StatusLines[3].text, "%s", longText);
    StatusLines[3].shown = 1;
    BackgroundDrawn = 0;
    ClearTarget(0xFF000000u);
    DrawStatusLayer(480);
    int glassRight = ScreenLayout.MapRectX + ScreenLayout.MapRectW;
    // Where the band stands above the softkey rows of the page shown.
    int top = ScreenLayout.MapRectY + ScreenLayout.MapRectH - 52;
    int end = lastTextColumn(top - 80, top + 20);
    EXPECT_LE(end, glassRight) << "the message ends inside the glass";
    EXPECT_GT(end, glassRight - 60) << "and uses the band's width";
    StatusLines[3].shown = 0;
    // The message box: a line wider than the screen ends on it.
    ClearTarget(0xFF000000u);
    ShowScreenMessage(longText, 16);
    DrawScreenMessageBox();
    end = lastTextColumn(ScreenLayout.MapRectY, ScreenLayout.MapRectY + 24);
    EXPECT_LE(end, 632);
    EXPECT_GT(end, 560);
    ScreenMessage.shown = 0;
}

TEST_F(TextBoxDrawTest, TheZoomBoxShowsWhileHoveredOrAlwaysWithStaticSoftkeys)
{
    Settings.PreferedChartType = -1;
    Settings.DynamicSoftkeys = 0;
    ZoomBoxHover = 0;
    DrawZoomBox();
    EXPECT_TRUE(IsZoomBoxShown());
    EXPECT_FLOAT_EQ(ZoomBoxRect.left, 84);
    EXPECT_FLOAT_EQ(ZoomBoxRect.top, 100);
    EXPECT_FLOAT_EQ(ZoomBoxRect.bottom, 300);
    EXPECT_TRUE(Shaded(86, 250));
    ClearTarget(0xFFFFFFFFu);
    Settings.DynamicSoftkeys = 1;
    DrawZoomBox();
    EXPECT_FALSE(IsZoomBoxShown());
    EXPECT_FALSE(Shaded(86, 250));
    ZoomBoxHover = 1;  // the pointer brings it up and keeps it a second
    DrawZoomBox();
    EXPECT_TRUE(IsZoomBoxShown());
    ZoomBoxHover = 0;
    DrawZoomBox();
    EXPECT_TRUE(IsZoomBoxShown());
    Settings.DynamicSoftkeys = 0;
    Settings.PreferedChartType = 0;
    Settings.TouchMode = 1;
    BezelShown = 0;
    DrawZoomBox();
    EXPECT_FLOAT_EQ(ZoomBoxRect.left, 0);
    EXPECT_FLOAT_EQ(ZoomBoxRect.bottom, 260);
    Settings.TouchMode = 0;
    Settings.PreferedChartType = -1;
}

}  // namespace
