// The airport chart on the screen: the fit of a wide and of a tall picture,
// zooming, a picture that does not load, and the editor's edge marks picked
// where the frame draws the chart.
#include "app/main_window.h"
#include "app/settings.h"
#include "display/chart_view.h"
#include "display/map_view.h"
#include "display/sprite_table.h"
#include "tests/render/render_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ChartViewTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        MainWindowState.clientWidth = 640;
        MainWindowState.clientHeight = 480;
        ScreenCentre = {320, 240};
        MapPanOffset = {0, 0};
    }
    void TearDown() override
    {
        ReleaseChartImage();
        RenderTest::TearDown();
    }
    bool Load(const char* picture)
    {
        std::string path = std::string(TVL_ROOT_DIR) + "/Bitmaps/" + picture;
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, "%s", path.c_str());
        return LoadChartImage(buffer, 512) != 0;
    }
};

TEST_F(ChartViewTest, AWidePictureFillsTheWidthFromTheTop)
{
    ASSERT_TRUE(Load("G500_16x9.png"));  // 1280 x 720
    EXPECT_NE(std::string(Settings.AirportName).find("G500_16x9.png"), std::string::npos);
    MapPanOffset = {30, 40};
    FitChartToScreen();
    EXPECT_FLOAT_EQ(GetChartZoom(), 0.5f);
    EXPECT_FLOAT_EQ(GetChartFitZoom(), 0.5f);
    float x = 0, y = 0;
    GetChartOrigin(&x, &y);
    EXPECT_FLOAT_EQ(x, 320);
    EXPECT_FLOAT_EQ(y, 180);  // the picture's top on the client's top
    EXPECT_EQ(MapPanOffset.x, 0);
    EXPECT_EQ(MapPanOffset.y, 0);
    ZoomChart(1.5f);
    EXPECT_FLOAT_EQ(GetChartZoom(), 0.75f);
    EXPECT_FLOAT_EQ(GetChartFitZoom(), 0.5f);
}

TEST_F(ChartViewTest, ATallPictureFillsTheHeightFromTheLeft)
{
    ASSERT_TRUE(Load("G500_4X3_Keyboard.png"));  // 448 x 1004
    FitChartToScreen();
    float zoom = 480.0f / 1004.0f;
    EXPECT_FLOAT_EQ(GetChartZoom(), zoom);
    float x = 0, y = 0;
    GetChartOrigin(&x, &y);
    EXPECT_NEAR(x - 448 * zoom / 2, 0, 1e-3);  // the picture's left edge on the client's
    EXPECT_FLOAT_EQ(y, 240);
}

TEST_F(ChartViewTest, APictureThatDoesNotLoadTurnsTheChartOff)
{
    ASSERT_TRUE(Load("G500_16x9.png"));
    Settings.AirportChart = 1;
    EXPECT_FALSE(Load("no_such_chart.png"));
    EXPECT_EQ(Settings.AirportChart, 0);
    EXPECT_FALSE(GetChartSprite()->loaded);
}

TEST_F(ChartViewTest, MarksArePickedInImagePixelsWhereTheChartIsDrawn)
{
    ResetChartEdgeMarks();
    EXPECT_FALSE(PickChartEdgeMark(1, 100, 50));  // no chart yet
    ASSERT_TRUE(Load("G500_16x9.png"));
    FitChartToScreen();
    for (const ChartEdgeMark* m = GetChartEdgeMarks(); m < GetChartEdgeMarks() + ChartEdgeMarkCount; ++m)
        EXPECT_FALSE(IsChartEdgePicked(*m));
    EXPECT_TRUE(PickChartEdgeMark(1, 100, 50));
    EXPECT_TRUE(PickChartEdgeMark(2, 100, 50));
    const ChartEdgeMark* marks = GetChartEdgeMarks();
    EXPECT_FLOAT_EQ(marks[0].imageX, 200);
    EXPECT_FLOAT_EQ(marks[0].imageY, 100);
    EXPECT_FLOAT_EQ(marks[0].edge, 200);  // a longitude is an x
    EXPECT_FLOAT_EQ(marks[1].edge, 100);  // a latitude is a y
    // A panned chart moves under the pointer: the same pixel is another point.
    MapPanOffset = {-50, 0};
    EXPECT_TRUE(PickChartEdgeMark(3, 100, 50));
    EXPECT_FLOAT_EQ(marks[2].edge, 300);
    EXPECT_FALSE(IsChartEdgePicked(marks[3]));
    EXPECT_FALSE(PickChartEdgeMark(0, 100, 50));
    EXPECT_FALSE(PickChartEdgeMark(5, 100, 50));
    ResetChartEdgeMarks();
    EXPECT_FLOAT_EQ(marks[0].edge, ChartEdgeNotPicked);
}

}  // namespace
