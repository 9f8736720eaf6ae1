// The track plot, the traffic targets, the track vector and the direct-to
// line as the renderer receives them: polylines, quads and sprites counted
// and placed from the recorded draws; the followed target drawn at the
// centre; the curved vector giving way to the straight one in a frame whose
// view steps waited.
#include "display/track_traffic_layer.h"

#include "app/screen_layout.h"

#include "app/settings.h"
#include "app/softkey_menu.h"
#include "app/track_ring.h"
#include "simlink/traffic_mode.h"
#include "display/aircraft_values.h"
#include "display/airport_view.h"
#include "display/frame_renderer.h"
#include "display/frame_update.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/sprite_table.h"
#include "navdata/nav_tables.h"
#include "navdata/nearest_airports.h"
#include "navdata/simulators.h"
#include "platform/threads.h"
#include "simlink/msfs_link.h"
#include "simlink/traffic_advisory.h"
#include "tests/display/map_centre.h"
#include "tests/support/map_layer_fixture.h"
#include "tests/navdata/nav_fixtures.h"
#include "tests/render/render_fixture.h"
#include "tests/simlink/proxy_datagrams.h"
#include "tests/display/waiting_local_set.h"

#include <cmath>
#include <cstring>

namespace {

TEST(TrafficLabelOffset, LabelSitsAwayFromTheDirectionOfFlight)
{
    float dx = 0, dy = 0;
    TrafficLabelOffset(0.5f, 100, &dx, &dy);  // flying north-east: label south-west
    EXPECT_EQ(dx, -60);
    EXPECT_FLOAT_EQ(dy, 32.0f * 2 / 3);
    TrafficLabelOffset(2.0f, 100, &dx, &dy);
    EXPECT_EQ(dx, -60);
    EXPECT_FLOAT_EQ(dy, -32.0f * 2 / 3);
    TrafficLabelOffset(4.0f, 100, &dx, &dy);
    EXPECT_EQ(dx, 60);
    EXPECT_LT(dy, 0);
    TrafficLabelOffset(5.0f, 100, &dx, &dy);
    EXPECT_EQ(dx, 60);
    EXPECT_GT(dy, 0);
    // Angles one turn out are brought back once; slow targets sit closer.
    TrafficLabelOffset(-1.3f, 20, &dx, &dy);  // 4.98
    EXPECT_EQ(dx, 60);
    EXPECT_FLOAT_EQ(dy, 16.0f * 2 / 3);
    TrafficLabelOffset(7.0f, 15, &dx, &dy);  // 0.72
    EXPECT_EQ(dx, -60);
}

TEST(TurnRate, FollowsTheBankAndStaysFiniteStandingStill)
{
    EXPECT_NEAR(TurnRate(0.5235988, 120), 9.81 * std::tan(-0.5235988) / (0.008990189679 * 120), 1e-9);
    EXPECT_LT(TurnRate(0.3, 120), 0);
    EXPECT_GT(TurnRate(-0.3, 120), 0);
    EXPECT_EQ(TurnRate(0.3, 0), 0);
    EXPECT_EQ(TurnRate(0.3, -5), 0);
    EXPECT_EQ(TurnRate(0.3, std::nan("")), 0);
}

class TrackTrafficLayerTest : public MapLayerTest {
protected:
    explicit TrackTrafficLayerTest(int width = 640, int height = 480) : MapLayerTest(width, height) {}
    void ExpectDirectToLineStopsAtTheMapArea();
    void SetUp() override
    {
        MapLayerTest::SetUp();
        Settings.NavAirport = 1;
        Settings.AirportOverlay = 1;
        Settings.PlotTrack = 1;
        Settings.TrackPlotWidth = 3;
        Settings.TrackPlotColor = 0xFF00FF00u;
        Settings.Softkeys = 0;
        MapPanning = 0;
        BackgroundDrawn = 1;
        SetUpTileMapView(53.63, 10.0, 10);
        ClearTrack();
        ClearTrafficTargets();
    }

    // A position dx, dy map pixels from the centre.
    void At(double dx, double dy, double* lat, double* lon) { MapOffsetToLatLon(lon, lat, dx, dy); }

    void AddTrackPoint(double dx, double dy)
    {
        double lat = 0, lon = 0;
        At(dx, dy, &lat, &lon);
        TrackRing.points[TrackRing.next] = {static_cast<float>(lat), static_cast<float>(lon), 3000};
        TrackRing.next = (TrackRing.next + 1) % TrackRingSize;
    }

    int TexturedDrawsOf(int slot)
    {
        int n = 0;
        for (const auto& d : GpuRecordedDraws())
            n += d.technique == "Render" && d.texture == SpriteTable[slot].texture;
        return n;
    }
    // Draws of the coloured techniques with this many vertices.
    int ColouredDraws(UINT vertices)
    {
        int n = 0;
        for (const auto& d : GpuRecordedDraws())
            n += d.technique != "Render" && d.vertexCount == vertices;
        return n;
    }
    // The centre of the first textured draw of a slot, in client pixels.
    bool SpriteCentre(int slot, float* x, float* y)
    {
        const auto& draws = GpuRecordedDraws();
        for (size_t d = 0; d < draws.size(); ++d) {
            if (draws[d].technique != "Render" || draws[d].texture != SpriteTable[slot].texture)
                continue;
            float sx = 0, sy = 0;
            for (UINT i = 0; i < draws[d].vertexCount; ++i) {
                sx += PixelX(Vertex(d, i).x);
                sy += PixelY(Vertex(d, i).y);
            }
            *x = sx / draws[d].vertexCount;
            *y = sy / draws[d].vertexCount;
            return true;
        }
        return false;
    }
    // The farthest vertex of all coloured draws from the screen centre.
    float FarthestColouredVertex()
    {
        float best = 0;
        const auto& draws = GpuRecordedDraws();
        for (size_t d = 0; d < draws.size(); ++d)
            for (UINT i = 0; draws[d].technique != "Render" && i < draws[d].vertexCount; ++i)
                best = std::max(best, std::hypot(PixelX(Vertex(d, i).x) - 320, PixelY(Vertex(d, i).y) - 240));
        return best;
    }
};

// ---- track ----

TEST_F(TrackTrafficLayerTest, EmptyTrackDrawsNothingButItsPreviewWhileItsOptionsAreOpen)
{
    Record();
    EXPECT_EQ(DrawTrackPlot(nullptr, 0), 0);
    DrawTrackPlotPreview(0, 0, 0);
    EXPECT_TRUE(GpuRecordedDraws().empty());

    Settings.Softkeys = 1;
    Settings.Softkeylevel = MenuOptions;
    Settings.Softkeysublevel = 5;
    OptionsMenuCommand(WidthTrackPlot);
    DrawTrackPlotPreview(0, 0, 0);
    ASSERT_EQ(GpuRecordedDraws().size(), 1u);
    // Behind the aircraft: the track angle turned half a circle, down the screen here.
    EXPECT_EQ(Pixel(320, 380), 0xFF00FF00u);
    EXPECT_NE(Pixel(320, 100), 0xFF00FF00u);
    GpuClearRecordedDraws();
    DrawTrackPlotPreview(2, 0, 0);
    OptionsMenuCommand(WidthVector);
    DrawTrackPlotPreview(0, 0, 0);
    EXPECT_TRUE(GpuRecordedDraws().empty()) << "a track is shown, or the vector's width is being set";
}

TEST_F(TrackTrafficLayerTest, NewestFifteenHundredPointsAreALineAndOlderOnesDots)
{
    for (int i = 0; i < 1600; ++i)
        AddTrackPoint(-200 + i * 0.25, 50);
    Record();
    EXPECT_EQ(DrawTrackPlot(nullptr, 0), 1500);
    int dots = TexturedDrawsOf(SpriteTrackDot);
    // 100 older points over 25 pixels, thinned to a dot every 10 pixels or so.
    EXPECT_GE(dots, 2);
    EXPECT_LE(dots, 10);
    EXPECT_EQ(ColouredDraws(6 * 1499), 1) << "one polyline of 1500 points";
}

TEST_F(TrackTrafficLayerTest, ShorterTrackIsOneLineWithoutDots)
{
    for (int i = 0; i < 1499; ++i)
        AddTrackPoint(-200 + i * 0.25, 50);
    Record();
    EXPECT_EQ(DrawTrackPlot(nullptr, 0), 1499);
    EXPECT_EQ(TexturedDrawsOf(SpriteTrackDot), 0);
}

TEST_F(TrackTrafficLayerTest, FullRingThatWrapsIsWalkedOldestFirst)
{
    TrackRing.oldest = 7;
    TrackRing.next = 7;
    for (int i = 0; i < TrackRingSize - 1; ++i)
        AddTrackPoint(-250 + i * 0.2, -30);
    ASSERT_EQ(TrackPointCount(), TrackRingSize - 1);
    Record();
    EXPECT_EQ(DrawTrackPlot(nullptr, 0), 1500);
    EXPECT_GT(TexturedDrawsOf(SpriteTrackDot), 0);
}

TEST_F(TrackTrafficLayerTest, TrackIsOnlyDrawnOverAMapWithPlotTrackOn)
{
    AddTrackPoint(0, 0);
    AddTrackPoint(30, 30);
    Record();
    BackgroundDrawn = 0;
    EXPECT_EQ(DrawTrackPlot(nullptr, 0), 0);
    BackgroundDrawn = 1;
    Settings.PlotTrack = 0;
    EXPECT_EQ(DrawTrackPlot(nullptr, 0), 0);
    Settings.PlotTrack = 1;
    Settings.AirportChart = 1;
    EXPECT_EQ(DrawTrackPlot(nullptr, 0), 0);
    EXPECT_TRUE(GpuRecordedDraws().empty());
}

TEST_F(TrackTrafficLayerTest, AirportDiagramPlacesTrackPointsWithItsOwnProjection)
{
    Settings.AirportOverlay = 0;
    Settings.TaxiwayZoomfactor = 1.0;
    SetAirportViewCenter(53.63, 10.0);
    AirportDiagramView.scale = 18750;
    TrackRing.points[0] = {53.631f, 10.0f, 0};
    TrackRing.points[1] = {53.632f, 10.0f, 0};
    TrackRing.next = 2;
    Record();
    ASSERT_EQ(DrawTrackPlot(nullptr, 0), 2);
    // Vertices 0 and 1 lie either side of the first point.
    float y = (PixelY(Vertex(0, 0).y) + PixelY(Vertex(0, 1).y)) / 2;
    double ax = 0, ay = 0;
    LatLonToAirportViewXY(&ax, &ay, 10.0, 53.631f);
    EXPECT_NEAR(y, 240 + ay, 0.5);
    EXPECT_NEAR(ay, -18.75, 0.5);
}

// ---- traffic ----

class TrafficLayerTest : public TrackTrafficLayerTest {
protected:
    void SetUp() override
    {
        TrackTrafficLayerTest::SetUp();
        Settings.UseSimulator = SimulatorMsfs;
        auto registered = ShortReply(MsgRegistered, 1);
        HandleMsfsDatagram(registered.data(), registered.size());
        auto state = StateDatagram(53.63, 10.0);
        HandleMsfsDatagram(state.data(), state.size());
        ASSERT_TRUE(SimLinkIsConnected());
        TrafficDisplayMode = 2;
        TrafficLabels = 1;
        FollowedTargetIndex = -1;
    }

    void Add(double x, double y, uint32_t cls, double groundSpeed, double heading = 0.5)
    {
        int i = TrafficTargetList.count.load();
        TrafficTarget& t = TrafficTargetList.targets[i];
        t = TrafficTarget{};
        t.x = x;
        t.y = y;
        t.heading = heading;
        t.trafficClass = cls;
        std::snprintf(t.callsign, sizeof t.callsign, "TGT%d", i);
        t.groundSpeed = groundSpeed;
        t.altitude = 3049;
        TrafficTargetList.count = i + 1;
    }

    int LeaderLines() { return ColouredDraws(6); }
};

TEST_F(TrafficLayerTest, SlowTargetHasNoLeaderLineAndOnlyItsCallsign)
{
    Add(100, 0, TrafficClassNone, 15);
    Record();
    DrawTrafficTargets(0, 0);
    EXPECT_EQ(LeaderLines(), 0);
    EXPECT_EQ(TexturedDrawsOf(SpriteTrafficAircraft), 1);
    EXPECT_GT(TexturedDrawsOf(SpriteFontPage16), 0);
}

TEST_F(TrafficLayerTest, TargetAtTwentyKnotsHasTheLeaderLineAndTwoLines)
{
    Add(100, 0, TrafficClassNone, 20);
    Record();
    DrawTrafficTargets(0, 0);
    EXPECT_EQ(LeaderLines(), 1);
    int textDraws = TexturedDrawsOf(SpriteFontPage16);
    ClearTrafficTargets();
    Add(100, 0, TrafficClassNone, 15);
    GpuClearRecordedDraws();
    DrawTrafficTargets(0, 0);
    EXPECT_GT(textDraws, TexturedDrawsOf(SpriteFontPage16)) << "a second line: altitude and speed";
}

TEST_F(TrafficLayerTest, ClassSymbolIsCentredOnTheTarget)
{
    Add(100, 40, 6, 200);
    Record();
    DrawTrafficTargets(0, 0);
    float x = 0, y = 0;
    ASSERT_TRUE(SpriteCentre(SpriteTrafficClass0 + 6, &x, &y));
    EXPECT_NEAR(x, 420, 1.0);
    EXPECT_NEAR(y, 280, 1.0);
    EXPECT_EQ(TexturedDrawsOf(SpriteTrafficAircraft), 0);
}

TEST_F(TrafficLayerTest, TcasModeShowsClassesOnlyAndNoLabels)
{
    TrafficDisplayMode = 1;
    TrafficLabels = 0;
    Add(100, 0, TrafficClassNone, 200);
    Add(-100, 0, 11, 200);
    Add(0, 100, 9, 200);
    Add(0, -100, 40, 200);  // a class without a picture
    Record();
    DrawTrafficTargets(0, 0);
    EXPECT_EQ(TexturedDrawsOf(SpriteTrafficAircraft), 0);
    EXPECT_EQ(TexturedDrawsOf(SpriteTrafficClass0 + 11), 1);
    EXPECT_EQ(TexturedDrawsOf(SpriteTrafficClass0 + 9), 1);
    EXPECT_EQ(TexturedDrawsOf(SpriteFontPage16), 0);
    EXPECT_EQ(LeaderLines(), 0);
}

TEST_F(TrafficLayerTest, NothingIsDrawnWithTrafficOffOrOffTheMap)
{
    Add(100, 0, TrafficClassNone, 200);
    Add(5000, 0, 6, 200);
    Record();
    TrafficDisplayMode = 0;
    DrawTrafficTargets(0, 0);
    EXPECT_TRUE(GpuRecordedDraws().empty());
    TrafficDisplayMode = 2;
    Settings.AirportOverlay = 0;  // airport diagram
    DrawTrafficTargets(0, 0);
    EXPECT_TRUE(GpuRecordedDraws().empty());
    Settings.AirportOverlay = 1;
    BackgroundDrawn = 0;
    DrawTrafficTargets(0, 0);
    EXPECT_TRUE(GpuRecordedDraws().empty());
    BackgroundDrawn = 1;
    DrawTrafficTargets(0, 0);
    EXPECT_EQ(TexturedDrawsOf(SpriteTrafficClass0 + 6), 0) << "5000 pixels away";
    EXPECT_EQ(TexturedDrawsOf(SpriteTrafficAircraft), 1);
}

// ---- vector ----

TEST_F(TrackTrafficLayerTest, MapScaledVectorGrowsWithZoomFixedOneDoesNot)
{
    Settings.Track = 1;
    Settings.CurvedVector = 0;
    Settings.VectorWidth = 3;
    TrackVectorLength = 100;
    AirVectorAngle = 0;
    Record();
    DrawTrackVector(0);
    EXPECT_NEAR(FarthestColouredVertex(), std::hypot(3.0, 100.0), 0.5);
    GpuClearRecordedDraws();
    FrameZoom = 1.5f;
    DrawTrackVector(0);
    EXPECT_NEAR(FarthestColouredVertex(), std::hypot(3.0, 150.0), 0.5);

    Settings.Track = 2;
    int vw = 0, vh = 0;
    GetViewportSize(&vw, &vh);
    float fixed = static_cast<int>(std::hypot(vw, vh) / 2);
    for (float zoom : {1.0f, 2.0f}) {
        FrameZoom = zoom;
        GpuClearRecordedDraws();
        DrawTrackVector(0);
        EXPECT_NEAR(FarthestColouredVertex(), std::hypot(3.0f, fixed), 0.5) << zoom;
    }
}

TEST_F(TrackTrafficLayerTest, VectorFollowsTheAirVectorAndHidesWhilePanning)
{
    Settings.Track = 1;
    Settings.CurvedVector = 0;
    Settings.TrackColor = 0xFF0000FFu;
    TrackVectorLength = 100;
    AirVectorAngle = 1.5707963;  // east
    DrawTrackVector(0);
    EXPECT_EQ(Pixel(400, 240), 0xFF0000FFu);
    EXPECT_NE(Pixel(320, 180), 0xFF0000FFu);
    Record();
    MapPanning = 1;
    DrawTrackVector(0);
    MapPanning = 0;
    Settings.Track = 0;
    DrawTrackVector(0);
    EXPECT_TRUE(GpuRecordedDraws().empty());
}

TEST_F(TrafficLayerTest, TheFollowedTargetIsDrawnAtTheCentre)
{
    Add(100, 40, 6, 200);
    Add(-80, 60, 7, 200);
    FollowedTargetIndex = 1;  // the map centre follows it
    Record();
    DrawTrafficTargets(0, 0);
    float x = 0, y = 0;
    ASSERT_TRUE(SpriteCentre(SpriteTrafficClass0 + 7, &x, &y));
    EXPECT_NEAR(x, 320, 1.0);
    EXPECT_NEAR(y, 240, 1.0);
    ASSERT_TRUE(SpriteCentre(SpriteTrafficClass0 + 6, &x, &y));
    EXPECT_NEAR(x, 420, 1.0);
    FollowedTargetIndex = -1;
}

double VectorClock = 100.0;
double TestVectorClock() { return VectorClock; }

// In a turn the vector bends round its turn centre; in a frame whose view
// steps waited (their turn values are last frame's) it is the straight bar.
TEST_F(TrafficLayerTest, ACurvedVectorGivesWayToTheStraightOneWhileTheViewStepsWait)
{
    ProxyAircraftState banked = MakeState(53.63, 10.0);
    banked.bank = 20.0;
    auto state = StateDatagram(banked);
    HandleMsfsDatagram(state.data(), state.size());
    Settings.Track = 1;
    Settings.CurvedVector = 1;
    Settings.VectorWidth = 3;
    Aircraft.GroundSpeed = 100;
    TrackVectorLength = 100;
    AirVectorAngle = 0;
    Record();
    DrawTrackVector(0);
    EXPECT_LT(FarthestColouredVertex(), 40.0f) << "a tight turn's arc stays near the aircraft";

    TempFolder root;
    MakeFolders(root / "System");
    WorkingFolder here(root / "System");
    DataFolderGuard data(root.Path());
    ResetFrameUpdate();
    SetFrameUpdateClock(TestVectorClock);
    SwitchMapsWhereNoneIs(root);
    WaitForALocalSet();
    float ox = 0, oy = 0, h = 0, m = 0, sr = 0;
    UpdateFrame(nullptr, UpdateModeFrame, &ox, &oy, &h, &m, &sr, 640, 480);
    SetFrameUpdateClock(nullptr);
    ASSERT_TRUE(IsVectorSuppressed());
    TileMapFlag = 1;
    GpuClearRecordedDraws();
    TrackVectorLength = 100;
    DrawTrackVector(0);
    EXPECT_NEAR(FarthestColouredVertex(), std::hypot(3.0f, 100.0f), 1.0);
    Settings.CurvedVector = 0;
    Settings.Track = 0;
}

// ---- direct-to ----

TEST_F(TrackTrafficLayerTest, DirectToLineNeedsAnAirportTheSwitchAndTheBlink)
{
    TempNavRoot root;
    Settings.NavDatabase = 6;
    Settings.UseSimulator = SimulatorMsfs;
    root.WriteTable("Navdata/MSFS/apt.bin", std::vector<AirportRecord>{MakeAirport("EDDH", 53.63, 10.05)});
    LoadAirports();
    FindNearestAirports(9.0, 11.0);
    ASSERT_NE(GetNearestAirportRecord(), nullptr);
    Settings.DirToVector = 1;
    Record();
    // Two half-second ticks of the frame update make the blink's on phase.
    ResetFrameUpdate();
    for (int i = 0; i < 200 && !IsBlinkPhaseOn(); ++i) {
        UpdateFrame(nullptr, UpdateModeFrame, nullptr, nullptr, nullptr, nullptr, nullptr, 640, 480);
        Sleep(10);
    }
    ASSERT_TRUE(IsBlinkPhaseOn());
    GpuClearRecordedDraws();
    DrawDirectToLine(0);
    ASSERT_EQ(ColouredDraws(6), 1);
    float x = (PixelX(Vertex(0, 2).x) + PixelX(Vertex(0, 3).x)) / 2;
    double dx = 0, dy = 0;
    ProjectToScreenOffset(&dx, &dy, 10.05, 53.63);
    EXPECT_NEAR(x, 320 + dx, 1.0);
    MapPanning = 1;
    GpuClearRecordedDraws();
    DrawDirectToLine(0);
    EXPECT_TRUE(GpuRecordedDraws().empty()) << "panned: the aircraft is not at the centre";
    MapPanning = 0;
    Settings.DirToVector = 0;
    DrawDirectToLine(0);
    EXPECT_TRUE(GpuRecordedDraws().empty());
    FreeNavdata();
}

// Drawn after the bezel, the line to an airport beyond the map stops at the
// edge of the bezel's map area, in north-up and turned with the map alike,
// on the 640 x 480 screen and on a larger client.
void TrackTrafficLayerTest::ExpectDirectToLineStopsAtTheMapArea()
{
    TempNavRoot root;
    Settings.NavDatabase = 6;
    Settings.UseSimulator = SimulatorMsfs;
    root.WriteTable("Navdata/MSFS/apt.bin", std::vector<AirportRecord>{MakeAirport("EDHL", 54.3, 10.3)});
    LoadAirports();
    FindNearestAirports(9.0, 11.0);
    ASSERT_NE(GetNearestAirportRecord(), nullptr);
    Settings.DirToVector = 1;
    ResetFrameUpdate();
    for (int i = 0; i < 200 && !IsBlinkPhaseOn(); ++i) {
        UpdateFrame(nullptr, UpdateModeFrame, nullptr, nullptr, nullptr, nullptr, nullptr, 640, 480);
        Sleep(10);
    }
    ASSERT_TRUE(IsBlinkPhaseOn());
    Record();
    BezelShown = 1;
    // The map area in client pixels.
    const float sx = (PixelX(1.0f) - PixelX(-1.0f)) / 640, sy = (PixelY(-1.0f) - PixelY(1.0f)) / 480;
    const float left = ScreenLayout.MapRectX * sx, top = ScreenLayout.MapRectY * sy;
    const float right = left + ScreenLayout.MapRectW * sx, bottom = top + ScreenLayout.MapRectH * sy;
    for (float angle : {0.0f, 0.8f, -2.5f}) {
        GpuClearRecordedDraws();
        DrawDirectToLine(angle);
        ASSERT_EQ(ColouredDraws(6), 1);
        float highest = 1e9f;
        for (UINT i = 0; i < 6; ++i) {
            float x = PixelX(Vertex(0, i).x), y = PixelY(Vertex(0, i).y);
            EXPECT_GE(x, left - 3) << angle;
            EXPECT_LE(x, right + 3) << angle;
            EXPECT_GE(y, top - 3) << angle;
            EXPECT_LE(y, bottom + 3) << angle;
            highest = std::min(highest, y);
        }
        if (angle == 0.0f) {
            EXPECT_NEAR(highest, top, 3.0f) << "the line reaches the edge";
        }
    }
    BezelShown = 0;
    GpuClearRecordedDraws();
    DrawDirectToLine(0.0f);
    EXPECT_LT(std::min(PixelY(Vertex(0, 0).y), PixelY(Vertex(0, 3).y)), top - 3) << "without the bezel it runs on";
    FreeNavdata();
}

TEST_F(TrackTrafficLayerTest, DirectToLineStopsAtTheEdgeOfTheBezelsMapArea)
{
    ExpectDirectToLineStopsAtTheMapArea();
}

class TrackTrafficLayerLargeTest : public TrackTrafficLayerTest {
protected:
    TrackTrafficLayerLargeTest() : TrackTrafficLayerTest(1600, 900) {}
};

TEST_F(TrackTrafficLayerLargeTest, DirectToLineStopsAtTheEdgeOfTheBezelsMapArea)
{
    ExpectDirectToLineStopsAtTheMapArea();
}

}  // namespace
