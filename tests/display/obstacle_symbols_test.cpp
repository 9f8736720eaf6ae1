// Obstacle symbols: colour and picture by height and distance below the
// aircraft, one symbol per 32-pixel cell, and elevation labels only near
// the screen centre.
#include "display/obstacle_symbols.h"

#include "display/aircraft_values.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/sprite_table.h"
#include "navdata/nav_tables.h"
#include "tests/display/map_centre.h"
#include "tests/navdata/nav_fixtures.h"
#include "tests/render/render_fixture.h"

namespace {

ObstacleRecord Obstacle(double lat, double lon, int32_t height, int32_t top, char type = 'X')
{
    ObstacleRecord o = MakeObstacle(lat, lon, height);
    o.topElevation = top;
    o.type = type;
    return o;
}

TEST(ObstacleSymbolChoice, ColourAndPictureByHeightAndDistanceBelowTheAircraft)
{
    ObstacleSymbol s = ChooseObstacleSymbol(Obstacle(0, 0, 300, 1750), 2000);  // 250 ft below
    EXPECT_TRUE(s.shown);
    EXPECT_EQ(s.colour, 0xFF0000FFu);
    EXPECT_EQ(s.slot, 67);
    s = ChooseObstacleSymbol(Obstacle(0, 0, 300, 1200), 2000);  // 800 ft below
    EXPECT_TRUE(s.shown);
    EXPECT_EQ(s.colour, 0xFFB98400u);
    EXPECT_FALSE(ChooseObstacleSymbol(Obstacle(0, 0, 300, 800), 2000).shown);  // 1200 ft below
    EXPECT_FALSE(ChooseObstacleSymbol(Obstacle(0, 0, 300, 1000), 2000).shown);  // exactly 1000
    s = ChooseObstacleSymbol(Obstacle(0, 0, 300, 2500), 2000);  // above the aircraft
    EXPECT_EQ(s.colour, 0xFF0000FFu);
    EXPECT_EQ(ChooseObstacleSymbol(Obstacle(0, 0, 1000, 1900), 2000).slot, 69);
    EXPECT_EQ(ChooseObstacleSymbol(Obstacle(0, 0, 1000, 1900, 'M'), 2000).slot, 70);
    EXPECT_EQ(ChooseObstacleSymbol(Obstacle(0, 0, 999, 1900, 'S'), 2000).slot, 68);
    EXPECT_EQ(ChooseObstacleSymbol(Obstacle(0, 0, 999, 1900, '\0'), 2000).slot, 67);
}

class ObstacleLayerTest : public RenderTest {
  protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        ASSERT_TRUE(LoadSpriteTable(TVL_ROOT_DIR, 1));
        Settings.Dimlevel = 255;
        SetUpTileMapView(53.63, 10.0, 10);
        Aircraft.Altitude = 2000;
    }
    void TearDown() override
    {
        FreeObstacles();
        RenderTest::TearDown();
    }
    void Load(const std::vector<ObstacleRecord>& obstacles)
    {
        root.WriteTable("Terrain/obsdat.bin", obstacles);
        LoadObstacles();
        ASSERT_TRUE(IsObstacleTableLoaded());
    }
    // The position drawn dx, dy map pixels from the centre.
    void At(double dx, double dy, double* lat, double* lon) { MapOffsetToLatLon(lon, lat, dx, dy); }
    int DrawsOf(int slot) { return TexturedDrawsOf(SpriteTable[slot].texture); }
    TempNavRoot root;
};

TEST_F(ObstacleLayerTest, OneSymbolPerCellTheFirstOfTheRange)
{
    double lat1, lon1, lat2, lon2, lat3, lon3;
    At(100, 40, &lat1, &lon1);
    At(104, 42, &lat2, &lon2);  // the same 32-pixel cell
    At(-150, -100, &lat3, &lon3);
    Load({Obstacle(lat1, lon1, 300, 1800), Obstacle(lat2, lon2, 300, 1800, 'M'), Obstacle(lat3, lon3, 300, 1800, 'M')});
    Record();
    DrawObstacles(width_, height_, 0);
    // Sorted by longitude: the third comes first, then the first; the second
    // (a paired type) shares the first's cell and is left out.
    EXPECT_EQ(DrawsOf(67), 1);
    EXPECT_EQ(DrawsOf(68), 1);
}

TEST_F(ObstacleLayerTest, ElevationLabelsOnlyNearTheCentreAndNothingWellBelow)
{
    double lat, lon;
    At(0, 0, &lat, &lon);
    Load({Obstacle(lat, lon, 300, 1800)});
    Record();
    DrawObstacles(width_, height_, 0);
    size_t withLabel = GpuRecordedDraws().size();
    EXPECT_GT(withLabel, 1u);  // symbol, box and text

    FreeObstacles();
    At(300, 0, &lat, &lon);  // beyond 282 pixels
    Load({Obstacle(lat, lon, 300, 1800)});
    Record();
    DrawObstacles(width_, height_, 0);
    EXPECT_EQ(GpuRecordedDraws().size(), 1u);

    Aircraft.Altitude = 5000;
    Record();
    DrawObstacles(width_, height_, 0);
    EXPECT_TRUE(GpuRecordedDraws().empty());
}

TEST_F(ObstacleLayerTest, AViewWiderThanTheGridKeepsItsCellsInside)
{
    double lat, lon;
    At(1900, 0, &lat, &lon);
    Load({Obstacle(lat, lon, 300, 1800)});
    Record();
    DrawObstacles(4000, 480, 0);  // column 121 of 126: past the end of a grid of 120
    EXPECT_EQ(DrawsOf(67), 1);
}

}  // namespace
