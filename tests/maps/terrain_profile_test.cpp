// The terrain profile box under the map on a client that is not 640 x 480:
// its curve and marks stay inside the box (the curve once ran below it,
// across the bezel and past the EXIT and MENU keys).
#include "app/screen_layout.h"
#include "app/settings.h"
#include "display/map_view.h"
#include "maps/terrain_awareness.h"
#include "tests/display/map_centre.h"
#include "tests/render/render_fixture.h"

#include <algorithm>

namespace {

class TerrainProfileDrawTest : public RenderTest {
protected:
    TerrainProfileDrawTest() : RenderTest(1280, 720) {}
};

TEST_F(TerrainProfileDrawTest, TheCurveAndItsMarksStayInsideTheProfileBox)
{
    Settings.TerrainProfile = 1;
    Settings.MetricAltitude = 0;
    BezelShown = 1;
    MapViewportRect = {84, 40, 84 + 477, 40 + 351};
    GridFactorX = GridFactorY = 1.0;
    SetUpTileMapView(53.6, 10.0, 11);
    ScreenCentre = {320, 199};
    SampleTerrainProfile(1.0f);
    ASSERT_GE(GetTerrainProfileCount(), 2);
    Record();
    DrawTerrainProfile(1);
    const auto& draws = GpuRecordedDraws();
    ASSERT_FALSE(draws.empty());
    float left = 1e9f, right = -1e9f, top = 1e9f, bottom = -1e9f;
    for (UINT i = 0; i < draws[0].vertexCount; ++i) {
        left = std::min(left, PixelX(Vertex(0, i).x));
        right = std::max(right, PixelX(Vertex(0, i).x));
        top = std::min(top, PixelY(Vertex(0, i).y));
        bottom = std::max(bottom, PixelY(Vertex(0, i).y));
    }
    // Between the EXIT and MENU keys (the client is twice the virtual width).
    const float key = ScreenLayout.MapRectW / 7.0f;
    EXPECT_GE(left, 2 * (ScreenLayout.MapRectX + key) - 2);
    EXPECT_LE(right, 2 * (ScreenLayout.MapRectX + 6 * key) + 2);
    int lines = 0;
    for (size_t d = 1; d < draws.size(); ++d) {
        if (draws[d].technique == "Render")
            continue;  // the labels
        for (UINT i = 0; i < draws[d].vertexCount; ++i) {
            float x = PixelX(Vertex(d, i).x), y = PixelY(Vertex(d, i).y);
            EXPECT_GE(x, left - 4) << "draw " << d;
            EXPECT_LE(x, right + 4) << "draw " << d;
            EXPECT_GE(y, top - 4) << "draw " << d;
            EXPECT_LE(y, bottom + 4) << "draw " << d;
        }
        lines++;
    }
    EXPECT_GE(lines, 2) << "the box's border and the curve at least";
    BezelShown = 0;
}

// In the bezel the box lies between the EXIT key (softkey 0) and the MENU key
// (softkey 6) of every layout, never over them; it once spanned the whole
// map area under both keys.
TEST(TerrainProfileBox, LiesBetweenTheExitAndMenuKeysOfEveryLayout)
{
    for (int aspect : {1, 2, 3, 4}) {
        const ScreenLayoutValues& l = ScreenLayoutColumns[ScreenLayoutColumn(aspect)];
        const float key = l.MapRectW / 7.0f;
        const float left = 640 * ProfileBoxInset(aspect), right = 640 - left;
        EXPECT_GE(left, l.MapRectX + key - 1.0f) << "layout " << aspect;
        EXPECT_LE(right, l.MapRectX + 6 * key + 1.0f) << "layout " << aspect;
        EXPECT_LT(left + 200, right) << "layout " << aspect;
    }
}

}  // namespace
