// The map drag: the anchor at the press, the pan that follows the pointer,
// the airport diagram's own pan, and Home that ends a pan.
#include "app/settings.h"
#include "display/airport_view.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "platform/window.h"

#include <gtest/gtest.h>

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

}  // namespace
