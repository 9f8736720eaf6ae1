// The tooltip band on the screen: with the bezel it starts from the layout's
// tooltip row and moves up one row for each upper softkey row shown, so that
// it stays above the keys the page shows; without the bezel it sits above
// the bar's rows the same way.
#include "app/language.h"
#include "app/layout_tables.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/draw_helpers.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "display/softkey_bar.h"
#include "display/softkey_pages.h"
#include "tests/render/render_fixture.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

class TooltipBandTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        WorkingFolder here(std::string(TVL_ROOT_DIR) + "/System");
        ASSERT_EQ(LoadLanguage("en"), 0);
        ApplyAspectLayout();
        SetScreenFactors(640, 480);
        Settings.Tooltips = 1;
        Settings.Tooltip = 16;
        Settings.GPSMode = 0;
        Settings.Softkeys = 1;
        Settings.Dimlevel = 255;
        Settings.ButtonPanelOn = 0;
        ClearButtonStates();
    }
    // The rows of virtual units the band covers at x = 320 on the black target.
    void BandRows(float* top, float* bottom)
    {
        *top = *bottom = -1;
        for (int y = 0; y < 480; ++y) {
            bool band = (Pixel(320, y) & 0xFF) > 0x80;
            if (band && *top < 0)
                *top = static_cast<float>(y);
            if (band)
                *bottom = static_cast<float>(y + 1);
        }
    }
    // The map-area button's band (24 units high) on the given page.
    void DrawBandOver(int level, int sublevel, float* top, float* bottom)
    {
        ClearTarget(0xFF000000u);
        BuildSoftkeyMenu(level, sublevel);
        ScreenButtons[0].tooltipShown = 1;
        DrawTooltipBands(480);
        BandRows(top, bottom);
    }
    static int UpperRowsShown()
    {
        return (IsSoftkeyShown(SoftkeysPerRow) ? 1 : 0) + (IsSoftkeyShown(2 * SoftkeysPerRow) ? 1 : 0);
    }
};

TEST_F(TooltipBandTest, WithTheBezelTheBandMovesUpOneRowForEachUpperRowShown)
{
    BezelShown = 1;
    float row = static_cast<float>(SoftkeyRowStep);
    ASSERT_GT(row, 0);
    bool seen[3] = {false, false, false};
    for (int level : {MenuMain, MenuTerrain, MenuNavData, MenuMapSources, MenuOptions, MenuMapTypes}) {
        for (int sublevel = 0; sublevel < 4; ++sublevel) {
            float top = 0, bottom = 0;
            DrawBandOver(level, sublevel, &top, &bottom);
            int rows = UpperRowsShown();
            seen[rows] = true;
            float expected = ScreenLayout.TooltipRowY - 8.0f - 20.0f - rows * row;
            EXPECT_NEAR(top, expected, 1.0) << level << "/" << sublevel;
            EXPECT_NEAR(bottom - top, 24, 1.0) << level << "/" << sublevel;
        }
    }
    EXPECT_TRUE(seen[1]) << "a page with two rows was among them";
    EXPECT_TRUE(seen[2]) << "a page with three rows was among them";
    BezelShown = 0;
}

TEST_F(TooltipBandTest, WithoutTheBezelTheBandSitsAboveTheRowsShown)
{
    BezelShown = 0;
    float top = 0, bottom = 0;
    DrawBandOver(MenuMain, 0, &top, &bottom);
    float barTop = SoftkeyRowY + SoftkeyBarShift() - UpperRowsShown() * SoftkeyRowStep;
    EXPECT_LE(bottom, barTop);
    EXPECT_NEAR(bottom, barTop - 2, 1.0);
}

}  // namespace
