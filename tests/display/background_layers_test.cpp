// The background layers on the headless renderer: the shown tile grid placed
// around the aircraft and the pan, the map dim level, the NEAREST page
// blanking the background, unloaded slots skipped, and the order of the local
// raster tiles.
#include "app/settings.h"
#include "display/background_layers.h"
#include "display/frame_renderer.h"
#include "maps/tile_cache.h"
#include "maps/tile_grid.h"
#include "tests/render/render_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// A solid texture of one colour (0xAABBGGRR as the texels are stored).
ID3D11ShaderResourceView* SolidTexture(int side, uint32_t abgr)
{
    std::vector<uint32_t> texels(static_cast<size_t>(side) * side, abgr);
    D3D11_TEXTURE2D_DESC d{};
    d.Width = side;
    d.Height = side;
    d.MipLevels = 1;
    d.ArraySize = 1;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc.Count = 1;
    d.Usage = D3D11_USAGE_DEFAULT;
    d.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    D3D11_SUBRESOURCE_DATA init{texels.data(), static_cast<UINT>(side * 4), 0};
    ID3D11Texture2D* texture = nullptr;
    if (FAILED(RenderDevice.device->CreateTexture2D(&d, &init, &texture)))
        return nullptr;
    ID3D11ShaderResourceView* view = nullptr;
    RenderDevice.device->CreateShaderResourceView(texture, nullptr, &view);
    texture->Release();
    return view;
}

// Opaque colours of the 3 x 3 cells, row by row.
uint32_t CellColour(int k)
{
    return 0xFF000000u | static_cast<uint32_t>(20 + 25 * k) << 8 | static_cast<uint32_t>(200 - 20 * k);
}

class BackgroundLayersTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        Settings.MapDimLevel = 255;
        Settings.Dimlevel = 255;
        Settings.AirportChart = 0;
        Settings.WeatherState = 0;
        Settings.SelectedAirport[0] = 0;
        ScreenCentre = {320, 240};
        MapPanOffset = {0, 0};
        FrameZoom = 1.0f;
        MapScale = 1.0f;
        TileMapFlag = 1;
        // A 3 x 3 grid of 64-pixel cells, shown, each slot its own colour.
        TileGridBank& bank = TileGridBanks[GetDisplayedTileBank()];
        bank.cols = bank.rows = 3;
        bank.cellSize = bank.tileSize = 64;
        for (int k = 0; k < 9; k++) {
            TileTexturePool[k].texture = SolidTexture(64, CellColour(k));
            TileTexturePool[k].width = TileTexturePool[k].height = 64;
            TileTexturePool[k].inUse = 1;
            bank.slots[k].column = k % 3;
            bank.slots[k].row = k / 3;
            bank.slots[k].texture = k;
            bank.slots[k].loaded = 1;
        }
        GridHalfWidth = GridHalfHeight = 96;
        // The aircraft in the middle of the centre cell (y counts up from the grid's bottom).
        CurrentFrame.offsetX = 96;
        CurrentFrame.offsetY = 96;
        CurrentFrame.mapRotation = 0;
        BackgroundDrawn = 0;
        ClearTarget(0xFF000000u);
    }
    void TearDown() override
    {
        for (int k = 0; k < 9; k++)
            FreeTileTexture(k);
        TileGridBank& bank = TileGridBanks[GetDisplayedTileBank()];
        for (TileGridSlot& slot : bank.slots) {
            slot.loaded = 0;
            slot.texture = -1;
        }
        bank.cols = bank.rows = 0;
        TileMapFlag = 0;
        Settings.SelectedAirport[0] = 0;
        Settings.MapDimLevel = 255;
        MapPanOffset = {0, 0};
        RenderTest::TearDown();
    }
};

TEST_F(BackgroundLayersTest, TheCentreCellStraddlesTheAircraftAndItsNeighboursFollow)
{
    DrawBackgroundLayers(640, 480);
    EXPECT_EQ(BackgroundDrawn, 1);
    EXPECT_EQ(Pixel(320, 240), CellColour(4));
    EXPECT_EQ(Pixel(320 - 31, 240 - 31), CellColour(4));
    EXPECT_EQ(Pixel(320 + 31, 240 + 31), CellColour(4));
    EXPECT_EQ(Pixel(320 - 33, 240), CellColour(3));  // west
    EXPECT_EQ(Pixel(320 + 33, 240), CellColour(5));  // east
    EXPECT_EQ(Pixel(320, 240 - 33), CellColour(1));  // north: the first row is the top one
    EXPECT_EQ(Pixel(320, 240 + 33), CellColour(7));
    EXPECT_EQ(Pixel(320 - 97, 240), 0xFF000000u);  // beyond the grid
}

TEST_F(BackgroundLayersTest, TheGridMovesAgainstTheAircraftAndWithThePan)
{
    // The aircraft 20 pixels east and 10 north of the grid's middle: the map moves west and south.
    CurrentFrame.offsetX = 116;
    CurrentFrame.offsetY = 106;
    DrawBackgroundLayers(640, 480);
    EXPECT_EQ(Pixel(320 - 32 - 20 + 1, 240), CellColour(4));
    EXPECT_EQ(Pixel(320 - 32 - 20 - 1, 240), CellColour(3));
    EXPECT_EQ(Pixel(320, 240 - 32 + 10 + 1), CellColour(4));
    EXPECT_EQ(Pixel(320, 240 - 32 + 10 - 1), CellColour(1));

    ClearTarget(0xFF000000u);
    CurrentFrame.offsetX = CurrentFrame.offsetY = 96;
    MapPanOffset = {40, -40};
    DrawBackgroundLayers(640, 480);
    EXPECT_EQ(Pixel(320 + 40, 240 - 40), CellColour(4));
    EXPECT_EQ(Pixel(320 + 40 - 33, 240 - 40), CellColour(3));
}

TEST_F(BackgroundLayersTest, OverzoomDrawsEachCellAtTheScale)
{
    MapScale = 2.0f;
    DrawBackgroundLayers(640, 480);
    EXPECT_EQ(Pixel(320 - 63, 240), CellColour(4));
    EXPECT_EQ(Pixel(320 - 65, 240), CellColour(3));
}

TEST_F(BackgroundLayersTest, MapDimLevelDrawsTheTilesHalfTransparent)
{
    Settings.MapDimLevel = 128;
    ClearTarget(0xFFFFFFFFu);
    DrawBackgroundLayers(640, 480);
    uint32_t p = Pixel(320, 240);
    uint32_t full = CellColour(4);
    for (int shift = 0; shift < 24; shift += 8) {
        int drawn = static_cast<int>(p >> shift & 0xFF);
        int blended = (static_cast<int>(full >> shift & 0xFF) * 128 + 255 * 127) / 255;
        EXPECT_NEAR(drawn, blended, 2) << "channel " << shift;
    }
}

TEST_F(BackgroundLayersTest, UnloadedSlotsAreSkippedAndTheRestDrawn)
{
    TileGridBank& bank = TileGridBanks[GetDisplayedTileBank()];
    bank.slots[4].loaded = 0;
    bank.slots[5].texture = -1;  // a failed fetch: loaded without a texture
    DrawBackgroundLayers(640, 480);
    EXPECT_EQ(Pixel(320, 240), 0xFF000000u);
    EXPECT_EQ(Pixel(320 + 33, 240), 0xFF000000u);
    EXPECT_EQ(Pixel(320 - 33, 240), CellColour(3));
    EXPECT_EQ(BackgroundDrawn, 1);
}

TEST_F(BackgroundLayersTest, TheNearestPageShowsNoBackground)
{
    std::strcpy(Settings.SelectedAirport, "NEAREST");
    DrawBackgroundLayers(640, 480);
    EXPECT_EQ(BackgroundDrawn, 0);
    EXPECT_EQ(Pixel(320, 240), 0xFF000000u);
}

TEST_F(BackgroundLayersTest, AChartThatCannotBeHadTurnsTheChartOffYetCountsAsBackground)
{
    Settings.AirportChart = 1;
    Settings.AirportName[0] = 0;
    DrawBackgroundLayers(640, 480);
    EXPECT_EQ(Settings.AirportChart, 0);
    EXPECT_EQ(BackgroundDrawn, 1);
    EXPECT_EQ(Pixel(320, 240), 0xFF000000u);  // the map comes back with the next frame
    BackgroundDrawn = 0;
    DrawBackgroundLayers(640, 480);
    EXPECT_EQ(Pixel(320, 240), CellColour(4));
}

TEST(LocalTileOrder, NineTilesDrawTheBlockAroundTheCentre)
{
    std::vector<int> cells;
    for (int n = 0; n < 9; n++) {
        int column = 0, row = 0;
        LocalTilePosition(LocalTileOrder(9, n), &column, &row);
        EXPECT_GE(column, 1);
        EXPECT_LE(column, 3);
        EXPECT_GE(row, 1);
        EXPECT_LE(row, 3);
        cells.push_back(row * 5 + column);
    }
    std::sort(cells.begin(), cells.end());
    EXPECT_EQ(std::unique(cells.begin(), cells.end()), cells.end());
    EXPECT_EQ(LocalTileOrder(9, 9), -1);
}

TEST(LocalTileOrder, TwentyFiveTilesDrawTheTopRowOfTheOuterRingFirst)
{
    int column = 0, row = 0;
    for (int n = 0; n < 5; n++) {
        LocalTilePosition(LocalTileOrder(25, n), &column, &row);
        EXPECT_EQ(row, 0);
        EXPECT_EQ(column, n);
    }
    LocalTilePosition(LocalTileOrder(25, 24), &column, &row);
    EXPECT_EQ(column, 4);
    EXPECT_EQ(row, 4);
    EXPECT_EQ(LocalTileOrder(25, 25), -1);
    EXPECT_EQ(LocalTileOrder(25, -1), -1);
}

} // namespace
