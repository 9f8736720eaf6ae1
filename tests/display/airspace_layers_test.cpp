// The airspace and airway layers: colour, label and angle choices, and the
// layers drawn from loaded lists into the headless renderer, checked by the
// draws they make.
#include "display/airspace_layers.h"

#include "app/settings.h"
#include "display/draw_helpers.h"
#include "display/frame_renderer.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/nav_layer.h"
#include "display/sprite_table.h"
#include "navdata/airspaces.h"
#include "navdata/airways.h"
#include "navdata/simulators.h"
#include "tests/display/map_centre.h"
#include "tests/support/map_layer_fixture.h"
#include "tests/navdata/airspace_fixtures.h"
#include "render/layer_cache.h"
#include "render/shapes.h"
#include "tests/render/render_fixture.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace {

// ---- choices ----

TEST(AirspaceLayerChoices, ClassesTheirColoursAndTheCtrSwitch)
{
    EXPECT_EQ(AirspaceColourIndex("CTR", true, "        "), 2);  // C's colour
    EXPECT_EQ(AirspaceColourIndex("CTR", false, "ABCDEFGR"), -1);
    EXPECT_EQ(AirspaceColourIndex("C", true, "        "), -1);
    EXPECT_EQ(AirspaceColourIndex("C", false, "  C     "), 2);
    EXPECT_EQ(AirspaceColourIndex("G", false, "ABCDEFGR"), 6);
    EXPECT_EQ(AirspaceColourIndex("R", false, "       R"), 7);
    EXPECT_EQ(AirspaceColourIndex("R", false, "ABCDEFG "), -1);
    EXPECT_EQ(AirspaceColourIndex("TMZ", false, "ABCDEFGR"), -1);
    EXPECT_EQ(AirspaceColours[0], 0x800000FFu);
    EXPECT_EQ(AirspaceColours[3], 0x80FFD030u);
    EXPECT_EQ(AirspaceColours[7], 0x80000099u);
}

TEST(AirspaceLayerChoices, LabelAnchorsAfterTheSecondPointAndHalfWayRound)
{
    int pairs[2][2];
    EXPECT_EQ(AirspaceLabelAnchors(0, pairs), 0);
    EXPECT_EQ(AirspaceLabelAnchors(1, pairs), 0);
    ASSERT_EQ(AirspaceLabelAnchors(2, pairs), 1);  // the second point is also point n/2
    EXPECT_EQ(pairs[0][0], 0);
    EXPECT_EQ(pairs[0][1], 1);
    EXPECT_EQ(AirspaceLabelAnchors(3, pairs), 1);
    ASSERT_EQ(AirspaceLabelAnchors(4, pairs), 2);
    EXPECT_EQ(pairs[1][0], 1);
    EXPECT_EQ(pairs[1][1], 2);
    ASSERT_EQ(AirspaceLabelAnchors(9, pairs), 2);
    EXPECT_EQ(pairs[1][0], 3);  // points 4 and 5 counted from 1
    EXPECT_EQ(pairs[1][1], 4);
}

TEST(AirspaceLayerChoices, LabelTextsByClass)
{
    AirspaceLabelText t;
    AirspaceRecord ctr = MakeAirspace("CTR", "HAMBURG", 53.6, 10.0, 0.1, 118500);
    CopyText(ctr.upper, sizeof ctr.upper, "2500 FT");
    FormatAirspaceLabel(ctr, &t);
    EXPECT_STREQ(t.joined, "CTR HAMBURG\n118.500 Mhz\nGND - 2500 FT");
    EXPECT_STREQ(t.lines[0], "CTR HAMBURG");
    EXPECT_STREQ(t.lines[1], "118.500 Mhz");
    EXPECT_STREQ(t.lines[2], "GND - 2500 FT");
    FormatAirspaceLabel(MakeAirspace("D", "DELTA", 53.6, 10.0), &t);
    EXPECT_STREQ(t.joined, "CLASS D\nDELTA\nGND - FL65");
    EXPECT_STREQ(t.lines[0], "CLASS D");
    AirspaceRecord longName = MakeAirspace("C", "", 53.6, 10.0);
    std::memset(longName.name, 'N', sizeof longName.name - 1);
    std::memset(longName.lower, 'L', sizeof longName.lower - 1);
    std::memset(longName.upper, 'U', sizeof longName.upper - 1);
    std::memset(longName.airspaceClass, 'C', sizeof longName.airspaceClass - 1);
    FormatAirspaceLabel(longName, &t);
    EXPECT_EQ(std::strlen(t.joined), 99u);  // cut, never overrun
}

TEST(AirspaceLayerChoices, AirwayNamesRunAlongTheSegmentAndStayUpright)
{
    EXPECT_NEAR(AirwayLabelAngle(0.5, 0.0, 0), -1.07, 1e-9);
    EXPECT_NEAR(AirwayLabelAngle(4.0, 0.0, 0), 5.57, 1e-9);
    EXPECT_NEAR(AirwayLabelAngle(3.0, 0.5, 0), 4.57, 1e-9);  // turned past 3.14 by the map
    EXPECT_NEAR(AirwayLabelAngle(3.0, 0.5, 2), 1.43, 1e-9);  // into the snapshot: always along
    EXPECT_NEAR(AirwayLabelAngle(0.0, 0.0, 0), 1.57, 1e-9);  // 0 itself is not above 0
}

TEST(AirspaceLayerChoices, LabelFontsByDeclutter)
{
    EXPECT_EQ(AirspaceLabelFontFor(1).fontSize, 10);
    EXPECT_EQ(AirspaceLabelFontFor(1).bitmapFont, 121);
    EXPECT_EQ(AirspaceLabelFontFor(2).fontSize, 8);
    EXPECT_FLOAT_EQ(AirspaceLabelFontFor(2).textSize, 12.0f);
    EXPECT_EQ(AirspaceLabelFontFor(0).fontSize, 12);
    EXPECT_EQ(AirspaceLabelFontFor(3).bitmapFont, 16);
    EXPECT_FLOAT_EQ(AirspaceLabelFontFor(3).textSize, 16.0f);
}

// ---- the layers on the screen ----

class AirspaceLayerTest : public MapLayerTest {
  protected:
    void SetUp() override
    {
        MapLayerTest::SetUp();
        Settings.DeClutter = 0;
        Settings.NavASP = 1;
        Settings.NavASPInfo = 0;
        Settings.CTR = 0;
        Settings.NavAirways = 0;
        Settings.SelectedAirport[0] = 0;
        std::strcpy(Settings.SelectedAirspace, "ABCDEFGR");
        for (int k = 0; k < NavColourCount; ++k)
            Settings.AWYColor[k] = 0xFF00FFFFu;
        CurrentFrame.mapRotation = 0;
        CurrentFrame.width = width_;
        CurrentFrame.height = height_;
        SetUpTileMapView(53.63, 10.0, 10);
    }
    void TearDown() override
    {
        FreeAirspaces();
        ClearAirways();
        RenderTest::TearDown();
    }
    void LoadAirspaces(const std::vector<AirspaceRecord>& list)
    {
        WriteAirspaces(root, "Navdata/MSFS", list);
        FreeAirspaces();
        UpdateAirspaces(53.0, 54.0, 10.5, 9.5);
        for (int i = 0; i < 2000 && !UpdateAirspaces(53.0, 54.0, 10.5, 9.5); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(TakeNewAirspaceList());
    }
    void LoadAirways(const std::vector<AirwaySegment>& list)
    {
        WriteAirways(root, "Navdata/MSFS/HighAltitude", list);
        Settings.NavAirways = 1;
        ClearAirways();
        for (int i = 0; i < 2000 && !UpdateAirways(52.0, 55.0, 11.0, 9.0); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(TakeNewAirwayList());
    }
    // A position dx, dy map pixels from the centre.
    void At(double dx, double dy, double* lat, double* lon) { MapOffsetToLatLon(lon, lat, dx, dy); }
    // Polyline draws: six vertices a segment, each rectangle as wide as the
    // line; a draw of two strokes holds one line's segments, then the other's.
    struct Line {
        float width;
        uint32_t colour;
        bool dashed;
    };
    std::vector<Line> Lines()
    {
        std::vector<Line> lines;
        const auto& draws = GpuRecordedDraws();
        for (size_t d = 0; d < draws.size(); ++d) {
            if (draws[d].vertexCount < 6 || draws[d].vertexCount % 6 != 0 || draws[d].technique == "Render")
                continue;
            // A segment's two triangles share two corners (A+ B-, written twice); a label box's frame band does not.
            RenderVertex a0 = Vertex(d, 0), a4 = Vertex(d, 4), b2 = Vertex(d, 2), b5 = Vertex(d, 5);
            if (a0.x != a4.x || a0.y != a4.y || b2.x != b5.x || b2.y != b5.y)
                continue;
            for (size_t i = 0; i < draws[d].vertexCount; i += 6) {
                RenderVertex a = Vertex(d, i), b = Vertex(d, i + 1);
                float w = std::hypot(PixelX(a.x) - PixelX(b.x), PixelY(a.y) - PixelY(b.y));
                if (i == 0 || std::fabs(w - lines.back().width) > 0.01f)
                    lines.push_back({w, a.colour, a.lineLength > 0});
            }
        }
        return lines;
    }
    TempNavRoot root;
};

TEST_F(AirspaceLayerTest, ClassDIsDashedAndClassCIsABandWithACore)
{
    LoadAirspaces({MakeAirspace("D", "DELTA", 53.63, 10.0, 0.05)});
    Record();
    DrawAirspaceLabels(0, 0, 1, 0);
    std::vector<Line> lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].dashed);
    EXPECT_NEAR(lines[0].width, 5.0f, 0.01f);
    EXPECT_EQ(lines[0].colour, 0x80FFD030u);

    LoadAirspaces({MakeAirspace("C", "CHARLIE", 53.63, 10.0, 0.05)});
    Record();
    DrawAirspaceLabels(0, 0, 1, 0);
    lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FALSE(lines[0].dashed);
    EXPECT_NEAR(lines[0].width, 7.0f, 0.01f);
    EXPECT_NEAR(lines[1].width, 3.0f, 0.01f);
    EXPECT_EQ(lines[0].colour, 0x80FF00FFu);
    EXPECT_EQ(lines[1].colour, lines[0].colour);
    // The dimming rule, once.
    Settings.Dimlevel = 128;
    Record();
    DrawAirspaceLabels(0, 0, 1, 0);
    EXPECT_EQ(Lines()[0].colour, DimmedColour(0x80FF00FFu, 128));
}

TEST_F(AirspaceLayerTest, BlankFilterWithCtrOnDrawsOnlyCtrsInTheCColour)
{
    LoadAirspaces({MakeAirspace("D", "DELTA", 53.63, 10.0, 0.05), MakeAirspace("CTR", "HAMBURG", 53.63, 10.0, 0.08)});
    std::strcpy(Settings.SelectedAirspace, "        ");
    Settings.CTR = 1;
    Record();
    DrawAirspaceLabels(0, 0, 1, 0);
    std::vector<Line> lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].colour, 0x80FF00FFu);
    EXPECT_FALSE(lines[0].dashed);
}

TEST_F(AirspaceLayerTest, AnchorsLabelsAndTheirDeclutter)
{
    AirspaceRecord two = MakeAirspace("C", "TWO", 53.6, 9.9, 0.05);
    two.points.resize(2);
    LoadAirspaces({MakeAirspace("C", "FIVE", 53.63, 10.0, 0.05), two});
    Settings.NavASPInfo = 1;
    Record();
    DrawAirspaceLabels(0, 0, 1, 0);
    ASSERT_EQ(MapLabelCount, 3);  // two for the closed square, one for the line
    EXPECT_EQ(MapLabelList[0].kind, 0x80FF00FFu);
    size_t labelled = GpuRecordedDraws().size();
    Record();
    DrawAirspaceLabels(0, 0, 1, 3);  // DeClutter 3: outlines only
    EXPECT_EQ(Lines().size(), 4u);
    EXPECT_EQ(GpuRecordedDraws().size(), 2u);  // a draw a band with its core
    EXPECT_GT(labelled, 2u);
}

TEST_F(AirspaceLayerTest, LabelPhaseZeroPutsTheOtherAirspaceOnTop)
{
    LoadAirspaces({MakeAirspace("C", "FIRST", 53.63, 10.0, 0.05), MakeAirspace("A", "SECOND", 53.63, 10.0, 0.06)});
    Settings.NavASPInfo = 1;
    Record();
    DrawAirspaceLabels(0, 0, 1, 3);
    EXPECT_EQ(Lines().front().colour, 0x80FF00FFu);
    Record();
    DrawAirspaceLabels(0, 0, 0, 3);
    EXPECT_EQ(Lines().front().colour, 0x800000FFu);  // reversed: A first, C drawn over it
}

TEST_F(AirspaceLayerTest, AirspacesWhollyBeyondTheScreenAreLeftOut)
{
    // 0.9 degrees east lies some 650 pixels right of the centre at zoom 10.
    LoadAirspaces({MakeAirspace("C", "HERE", 53.63, 10.0, 0.05), MakeAirspace("C", "EAST", 53.63, 10.9, 0.1),
                   MakeAirspace("A", "AROUND", 53.63, 10.0, 0.9)});
    Record();
    DrawAirspaceLabels(0, 0, 1, 0);
    std::vector<Line> lines = Lines();
    ASSERT_EQ(lines.size(), 4u);  // its outline off the screen, the box round it
    EXPECT_EQ(lines[0].colour, 0x80FF00FFu);
    EXPECT_EQ(lines[2].colour, 0x800000FFu);
    // Turned with the map, a corner of the screen reaches further out.
    Record();
    DrawAirspaceLabels(0.7f, 0, 1, 0);
    EXPECT_EQ(Lines().size(), 4u);
}

TEST_F(AirspaceLayerTest, AirwayEndsGetIdentsOrWaypointSymbolsAndTheMiddleItsName)
{
    double lat1, lon1, lat2, lon2;
    At(-100, 0, &lat1, &lon1);
    At(100, 50, &lat2, &lon2);
    LoadAirways({MakeSegment("RIBSO", lat1, lon1, "TOPRA", lat2, lon2)});
    Record();
    DrawAirwayLabels(0, width_, height_, 0, 0);
    std::vector<Line> lines = Lines();
    ASSERT_EQ(lines.size(), 1u);  // drawn once though both ends are on the screen
    EXPECT_NEAR(lines[0].width, 4.0f, 0.01f);
    EXPECT_EQ(lines[0].colour, 0xFF00FFFFu);
    EXPECT_EQ(TexturedDrawsOf(SpriteTable[4].texture), 0);
    size_t withLabels = GpuRecordedDraws().size();
    EXPECT_GE(withLabels, 1u + 3 * 3);  // three label boxes: the frame's band and the box's two triangles

    Record();
    DrawAirwayLabels(0, width_, height_, 1, 0);
    EXPECT_EQ(TexturedDrawsOf(SpriteTable[4].texture), 2);  // the waypoint symbol at each end
}

TEST_F(AirspaceLayerTest, DeclutterThreeDrawsNoSegmentByItsMiddleAlone)
{
    double lat1, lon1, lat2, lon2;
    At(-500, 0, &lat1, &lon1);
    At(500, 0, &lat2, &lon2);  // both ends off the screen, the middle at the centre
    LoadAirways({MakeSegment("WEST", lat1, lon1, "EAST", lat2, lon2)});
    Record();
    DrawAirwayLabels(0, width_, height_, 0, 3);
    EXPECT_TRUE(GpuRecordedDraws().empty());
    Record();
    DrawAirwayLabels(0, width_, height_, 0, 0);
    EXPECT_EQ(Lines().size(), 1u);
    EXPECT_GT(GpuRecordedDraws().size(), 1u);  // and the name
}

TEST_F(AirspaceLayerTest, ALongAirwayAcrossTheViewIsDrawnWithoutItsLabel)
{
    double lat1, lon1, lat2, lon2;
    At(-400, -300, &lat1, &lon1);
    At(300, 2000, &lat2, &lon2);  // the middle far below the screen, the line across its left edge
    LoadAirways({MakeSegment("NORTH", lat1, lon1, "SOUTH", lat2, lon2)});
    Record();
    DrawAirwayLabels(0, width_, height_, 0, 0);
    EXPECT_EQ(Lines().size(), 1u);
    EXPECT_EQ(GpuRecordedDraws().size(), 1u);
}

// Both layers over a fresh background: cream, with a half-transparent box
// where the airspaces lie when box is set.
std::vector<uint32_t> DrawLayers(float mapAngle, bool box, uint32_t background = 0xFFFFFECDu)
{
    ClearTarget(background);
    if (box) {
        ScreenRect r{200, 400, 150, 330};
        DrawFilledQuad(&r, 0x804080C0u, 0.0f, QuadPlacement::MapPixels);
    }
    DrawAirspaceLabels(mapAngle, 0, 1, 0);
    DrawAirwayLabels(mapAngle, 640, 480, 0, 0);
    ID3D11Resource* back = nullptr;
    RenderDevice.backBufferView->GetResource(&back);
    std::vector<uint32_t> pixels;
    GpuReadPixels(back, &pixels, nullptr, nullptr);
    back->Release();
    return pixels;
}

// A frame of the layers as the cache gives it, and as they are drawn anew.
void ExpectSameAsFreshDraw(float mapAngle, bool box, const char* what)
{
    std::vector<uint32_t> kept = DrawLayers(mapAngle, box);
    ForgetLayerCaches();
    std::vector<uint32_t> fresh = DrawLayers(mapAngle, box);
    ASSERT_EQ(kept.size(), fresh.size());
    size_t differing = 0;
    for (size_t i = 0; i < kept.size(); ++i)
        differing += kept[i] != fresh[i];
    EXPECT_EQ(differing, 0u) << what;
}

TEST_F(AirspaceLayerTest, LayersKeptFromFrameToFrameShowWhatAFreshDrawShows)
{
    double lat1, lon1, lat2, lon2;
    At(-150, -40, &lat1, &lon1);
    At(120, 60, &lat2, &lon2);
    LoadAirways({MakeSegment("RIBSO", lat1, lon1, "TOPRA", lat2, lon2)});
    LoadAirspaces({MakeAirspace("C", "CHARLIE", 53.63, 10.0, 0.05), MakeAirspace("D", "DELTA", 53.62, 10.02, 0.04),
                   MakeAirspace("A", "ALPHA", 53.64, 9.98, 0.03)});
    // A still view: from the third frame on the layers are not drawn again.
    std::vector<uint32_t> first = DrawLayers(0.0f, false);
    EXPECT_EQ(DrawLayers(0.0f, false), first);
    Record();
    EXPECT_EQ(DrawLayers(0.0f, false), first);
    EXPECT_EQ(GpuRecordedDraws().size(), 0u) << "the kept pixels were written back";
    EXPECT_GT(MapLabelCount, 0) << "the kept outlines' label anchors are there too";
    // Whatever changes between frames shows as a fresh draw would show it.
    auto still = [] { DrawLayers(0.0f, false); DrawLayers(0.0f, false); };
    still();
    ExpectSameAsFreshDraw(0.0f, true, "another background under the layers");
    still();
    ExpectSameAsFreshDraw(0.3f, false, "the map turned");
    still();
    Settings.Dimlevel = 160;
    ExpectSameAsFreshDraw(0.0f, false, "dimmed");
    still();
    AirspaceColours[2] = 0x6000A0FFu;
    ExpectSameAsFreshDraw(0.0f, false, "a class colour");
    AirspaceColours[2] = 0x80FF00FFu;
    still();
    std::strcpy(Settings.SelectedAirspace, "AB      ");
    ExpectSameAsFreshDraw(0.0f, false, "the class filter");
    std::strcpy(Settings.SelectedAirspace, "ABCDEFGR");
    still();
    Settings.AWYColor[0] = 0xFFFF00FFu;
    ExpectSameAsFreshDraw(0.0f, false, "the airway colour");
    still();
    SetUpTileMapView(53.631, 10.002, 10);
    ExpectSameAsFreshDraw(0.0f, false, "the map moved");
    still();
    SetUpTileMapView(53.63, 10.0, 11);
    ExpectSameAsFreshDraw(0.0f, false, "zoomed in");
    still();
    LoadAirspaces({MakeAirspace("B", "BRAVO", 53.63, 10.0, 0.02)});
    ExpectSameAsFreshDraw(0.0f, false, "a new airspace list");
    still();
    D3D11_VIEWPORT half{0, 0, 320, 480, 0, 1};
    RenderDevice.context->RSSetViewports(1, &half);
    ExpectSameAsFreshDraw(0.0f, false, "a narrower viewport");
    RestoreViewport();
}

// The vertices of the airspace outlines in a frame, draw by draw.
std::vector<std::vector<uint8_t>> OutlineDraws()
{
    GpuClearRecordedDraws();
    GpuRecordDraws(true);
    DrawAirspaceLabels(0, 0, 1, 0);
    GpuRecordDraws(false);
    std::vector<std::vector<uint8_t>> out;
    for (const GpuDrawRecord& d : GpuRecordedDraws())
        out.push_back(d.vertices);
    return out;
}

TEST_F(AirspaceLayerTest, OutlinesOnAMovingMapLieWhereProjectingThemAnewPutsThem)
{
    const std::vector<AirspaceRecord> list = {
        MakeAirspace("C", "CHARLIE", 53.63, 10.0, 0.05), MakeAirspace("D", "DELTA", 53.62, 10.02, 0.04),
        MakeAirspace("A", "ALPHA", 53.64, 9.98, 0.03), MakeAirspace("CTR", "EAST", 53.63, 10.9, 0.1)};
    Settings.CTR = 1;
    LoadAirspaces(list);
    double x0 = CentreMapX, y0 = CentreMapY;
    for (int frame = 1; frame <= 12; ++frame) {
        if (frame == 7) {
            SetUpTileMapView(53.63, 10.0, 11); // zoomed in: the kept map pixels are of no use
            x0 = CentreMapX;
            y0 = CentreMapY;
        }
        // The centre moves on by fractions of a pixel, as it follows an aircraft.
        CentreMapX = x0 + 0.37 * frame;
        CentreMapY = y0 - 23.21 * frame;
        const std::vector<std::vector<uint8_t>> kept = OutlineDraws();
        ASSERT_FALSE(kept.empty());
        // The first label anchor halfway between the first two points, each
        // where projecting it to an offset from the centre puts it.
        const AirspaceRecord& a = GetDrawnAirspaces()[static_cast<size_t>(MapLabelList[0].record)];
        float x[2], y[2];
        for (int k = 0; k < 2; ++k) {
            double dx = 0, dy = 0;
            ProjectToScreenOffset(&dx, &dy, a.points[k].lon, a.points[k].lat);
            x[k] = static_cast<float>(ScreenCentre.x + static_cast<double>(FrameZoom) * MapScale * dx);
            y[k] = static_cast<float>(ScreenCentre.y + static_cast<double>(FrameZoom) * MapScale * dy);
        }
        EXPECT_EQ(MapLabelList[0].x, (x[0] + x[1]) / 2.0);
        EXPECT_EQ(MapLabelList[0].y, (y[0] + y[1]) / 2.0);
        LoadAirspaces(list); // the same airspaces as a new list, projected anew
        EXPECT_EQ(OutlineDraws(), kept) << "frame " << frame;
    }
}

TEST_F(AirspaceLayerTest, GatesOfTheStep)
{
    LoadAirspaces({MakeAirspace("C", "CHARLIE", 53.63, 10.0, 0.05)});
    Record();
    DrawAirspaceAndAirwayLayers();
    EXPECT_EQ(Lines().size(), 2u);
    Settings.AirportChart = 1;
    Record();
    DrawAirspaceAndAirwayLayers();
    EXPECT_TRUE(GpuRecordedDraws().empty());
    Settings.AirportChart = 0;
    std::strcpy(Settings.SelectedAirport, "NEAREST");
    Settings.AirportOverlay = 0;
    Record();
    DrawAirspaceAndAirwayLayers();
    EXPECT_TRUE(GpuRecordedDraws().empty());
    Settings.AirportOverlay = 1;
    Record();
    DrawAirspaceAndAirwayLayers();
    EXPECT_EQ(Lines().size(), 2u);
    Settings.SelectedAirport[0] = 0;
    Settings.NavASP = 0;
    Record();
    DrawAirspaceAndAirwayLayers();
    EXPECT_TRUE(GpuRecordedDraws().empty());
}

}  // namespace
