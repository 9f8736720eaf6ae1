// Polylines and triangles: segment geometry, limits, dashes, per-point
// colour, the turn about the screen centre, culling of caller triangles.
#include "render/polylines.h"
#include "tests/render/render_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr float kPi = 3.14159265f;

OutlinePoint Pt(float x, float y, uint32_t colour = 0)
{
    OutlinePoint p{x, y, 0};
    std::memcpy(&p.z, &colour, sizeof(colour));
    return p;
}

class PolylinesTest : public RenderTest {
protected:
    // A point of a recorded vertex relative to the screen centre, in client pixels.
    void Offset(size_t d, size_t i, float* x, float* y)
    {
        RenderVertex v = Vertex(d, i);
        *x = PixelX(v.x) - PixelX(MapPixelToClipX(cx, cx));
        *y = PixelY(v.y) - PixelY(MapPixelToClipY(cy, cy));
    }
};

TEST_F(PolylinesTest, EachSegmentIsSixVerticesOfARectangle)
{
    Record();
    OutlinePoint two[] = {Pt(cx, cy), Pt(cx + 20, cy)};
    EXPECT_EQ(DrawPolyline(two, 2, 0xFF00FF00u, 0.0f, 4.0f), 0);
    std::vector<OutlinePoint> five = {Pt(0, 0), Pt(10, 0), Pt(10, 10), Pt(20, 10), Pt(20, 30)};
    DrawPolyline(five.data(), 5, 0xFF00FF00u, 0.0f, 2.0f);
    const auto& draws = GpuRecordedDraws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].vertexCount, 6u);
    EXPECT_EQ(draws[1].vertexCount, 24u);
    EXPECT_EQ(draws[0].topology, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    EXPECT_EQ(draws[0].technique, "Render1");
    // A+ below the start (normal points down for a segment going right), A- above.
    const float expect[6][2] = {{0, 2}, {0, -2}, {20, -2}, {20, 2}, {0, 2}, {20, -2}};
    const float uv[6][2] = {{0, 1}, {0, 0}, {1, 0}, {1, 1}, {0, 1}, {1, 0}};
    for (size_t i = 0; i < 6; i++) {
        float x, y;
        Offset(0, i, &x, &y);
        EXPECT_NEAR(x, expect[i][0], 1e-3) << i;
        EXPECT_NEAR(y, expect[i][1], 1e-3) << i;
        EXPECT_EQ(Vertex(0, i).u, uv[i][0]);
        EXPECT_EQ(Vertex(0, i).v, uv[i][1]);
    }
}

TEST_F(PolylinesTest, SegmentsAreFrontFacingAndDrawn)
{
    OutlinePoint line[] = {Pt(cx - 50, cy), Pt(cx + 50, cy), Pt(cx + 50, cy + 40)};
    DrawPolyline(line, 3, 0xFF00FF00u, 0.0f, 4.0f);
    int x = static_cast<int>(cx), y = static_cast<int>(cy);
    EXPECT_EQ(Pixel(x, y), 0xFF00FF00u);
    EXPECT_EQ(Pixel(x + 50, y + 20), 0xFF00FF00u);
    EXPECT_EQ(Pixel(x, y + 5), 0xFF000000u);
}

TEST_F(PolylinesTest, LongPolylinesAreCutToFiveThousandPoints)
{
    std::vector<OutlinePoint> points;
    for (int i = 0; i < 12000; i++)
        points.push_back(Pt(static_cast<float>(i % 600), static_cast<float>(i / 600)));
    Record();
    DrawPolyline(points.data(), 6000, 0xFFFFFFFFu, 0.0f, 1.0f);
    DrawTriangles(points.data(), 12000, 0xFFFFFFFFu, 0.0f);
    ASSERT_EQ(GpuRecordedDraws().size(), 2u);
    EXPECT_EQ(GpuRecordedDraws()[0].vertexCount, 29994u);
    EXPECT_EQ(GpuRecordedDraws()[1].vertexCount, 9999u); // 10,000 cut to whole triangles
    EXPECT_LE(GpuRecordedDraws()[0].vertexCount, static_cast<UINT>(kRenderVertexCapacity));
}

TEST_F(PolylinesTest, TooFewOrNoPointsDrawNothing)
{
    Record();
    OutlinePoint one[] = {Pt(1, 1)};
    EXPECT_EQ(DrawPolyline(one, 1, 0xFFFFFFFFu, 0, 2), 0);
    EXPECT_EQ(DrawPolyline(nullptr, 10, 0xFFFFFFFFu, 0, 2), 0);
    EXPECT_EQ(DrawPolyline(one, -3, 0xFFFFFFFFu, 0, 2), 0);
    for (const auto& d : GpuRecordedDraws())
        EXPECT_EQ(d.vertexCount, 0u);
}

TEST_F(PolylinesTest, CoincidentPointsMakeNoVisiblePixels)
{
    OutlinePoint same[] = {Pt(cx, cy), Pt(cx, cy)};
    DrawPolyline(same, 2, 0xFFFFFFFFu, 0, 6);
    int lit = 0;
    for (int y = 0; y < 480; y += 1)
        for (int x = 300; x < 340; x++)
            lit += Pixel(x, y) != 0xFF000000u;
    EXPECT_EQ(lit, 0);
}

TEST_F(PolylinesTest, DashedSegmentsCarryTheirOwnLength)
{
    Record();
    OutlinePoint pts[] = {Pt(cx, cy), Pt(cx + 30, cy), Pt(cx + 30, cy + 40)};
    DrawDashedPolyline(pts, 3, 0xFF0000FFu, 0.0f, 2.0f);
    ASSERT_EQ(GpuRecordedDraws()[0].vertexCount, 12u);
    EXPECT_EQ(GpuRecordedDraws()[0].technique, "Render6");
    for (size_t i = 0; i < 12; i++)
        EXPECT_FLOAT_EQ(Vertex(0, i).lineLength, i < 6 ? 30.0f : 40.0f) << i;
}

TEST_F(PolylinesTest, DashedLineShowsDashesAndGaps)
{
    OutlinePoint pts[] = {Pt(100, 100), Pt(180, 100)};
    DrawDashedPolyline(pts, 2, 0xFF0000FFu, 0.0f, 4.0f);
    // Map pixels equal client pixels here, offset by the screen centre's place.
    int x0 = static_cast<int>(std::lround(PixelX(MapPixelToClipX(100, cx))));
    int y = static_cast<int>(PixelY(MapPixelToClipY(100, cy)));
    int on = 0, off = 0, changes = 0;
    bool last = true;
    for (int x = x0; x < x0 + 80; x++) {
        bool lit = Pixel(x, y) == 0xFF0000FFu;
        on += lit;
        off += !lit;
        changes += x > x0 && lit != last;
        last = lit;
    }
    EXPECT_GT(on, 30);
    EXPECT_GT(off, 20);
    EXPECT_GE(changes, 8); // about 80 / 14 dashes
    EXPECT_EQ(Pixel(x0 + 2, y), 0xFF0000FFu); // a dash starts the line
}

TEST_F(PolylinesTest, OffscreenEveryMemberDrawsWithRender5)
{
    OutlinePoint pts[] = {Pt(0, 0), Pt(10, 0), Pt(0, 10)};
    Record();
    SetOffscreenFlag(1);
    DrawPolyline(pts, 3, 0xFFFFFFFFu, 0, 1);
    DrawDashedPolyline(pts, 3, 0xFFFFFFFFu, 0, 1);
    DrawPolylineXYZ(pts, 3, 1);
    DrawTriangle(pts, 0xFFFFFFFFu, 0);
    DrawTriangles(pts, 3, 0xFFFFFFFFu, 0);
    SetOffscreenFlag(0);
    ASSERT_EQ(GpuRecordedDraws().size(), 5u);
    for (const auto& d : GpuRecordedDraws())
        EXPECT_EQ(d.technique, "Render5");
}

TEST_F(PolylinesTest, QuarterTurnTakesAPointRightOfTheCentreBelowIt)
{
    OutlinePoint tri[] = {Pt(cx + 10, cy), Pt(cx, cy), Pt(cx, cy - 10)};
    Record();
    DrawTriangle(tri, 0xFFFFFFFFu, 0.0f);
    DrawTriangle(tri, 0xFFFFFFFFu, kPi / 2);
    float x, y;
    Offset(0, 0, &x, &y);
    EXPECT_NEAR(x, 10, 1e-3);
    EXPECT_NEAR(y, 0, 1e-3);
    Offset(1, 0, &x, &y);
    EXPECT_NEAR(x, 0, 1e-3);
    EXPECT_NEAR(y, 10, 1e-3);
    EXPECT_EQ(Vertex(1, 0).u, 0.0f);
    EXPECT_EQ(Vertex(1, 0).v, 1.0f);
    EXPECT_EQ(Vertex(1, 2).u, 1.0f);
}

TEST_F(PolylinesTest, CounterClockwiseCallerTrianglesAreCulled)
{
    int x = static_cast<int>(cx), y = static_cast<int>(cy);
    OutlinePoint clockwise[] = {Pt(cx, cy), Pt(cx + 40, cy), Pt(cx, cy + 40)};
    OutlinePoint counter[] = {Pt(cx - 50, cy), Pt(cx - 50, cy + 40), Pt(cx - 10, cy)};
    DrawTriangle(clockwise, 0xFF00FF00u, 0);
    DrawTriangle(counter, 0xFF0000FFu, 0);
    EXPECT_EQ(Pixel(x + 5, y + 5), 0xFF00FF00u);
    EXPECT_EQ(Pixel(x - 45, y + 5), 0xFF000000u);
}

TEST_F(PolylinesTest, SevenPointsMakeTwoTriangles)
{
    std::vector<OutlinePoint> pts(7, Pt(1, 1));
    Record();
    DrawTriangles(pts.data(), 7, 0xFFFFFFFFu, 0);
    EXPECT_EQ(GpuRecordedDraws()[0].vertexCount, 6u);
}

TEST_F(PolylinesTest, PerPointColoursRunAlongEachSegmentWithoutTurning)
{
    const uint32_t green = 0xFF00AF00u, yellow = 0xFF00FFFFu;
    OutlinePoint pts[] = {Pt(cx, cy, green), Pt(cx + 40, cy, yellow), Pt(cx + 80, cy, green)};
    Record();
    DrawPolylineXYZ(pts, 3, 4.0f);
    const uint32_t expect[12] = {green, green, yellow, yellow, green, yellow,
                                 yellow, yellow, green, green, yellow, green};
    for (size_t i = 0; i < 12; i++)
        EXPECT_EQ(Vertex(0, i).colour, expect[i]) << i;
    int y = static_cast<int>(cy);
    uint32_t mid = Pixel(static_cast<int>(cx) + 20, y);
    EXPECT_NEAR(static_cast<double>(mid & 0xFF), 131, 2);         // red runs from 0 to 255
    EXPECT_NEAR(static_cast<double>((mid >> 8) & 0xFF), 0xD7, 2); // green from 0xAF to 0xFF
}

// A wandering outline of short steps round the screen centre.
std::vector<OutlinePoint> Wander(unsigned seed, int n, float cx, float cy)
{
    std::vector<OutlinePoint> points;
    float x = cx, y = cy, heading = 0;
    for (int i = 0; i < n; i++) {
        points.push_back(Pt(x, y));
        heading += static_cast<float>((seed * 7919u + static_cast<unsigned>(i) * 104729u) % 1000) / 500.0f - 1.0f;
        const float step = 0.3f + static_cast<float>((seed + static_cast<unsigned>(i) * 31u) % 97) / 8.0f;
        x = std::fmod(x + step * std::cos(heading) + 640.0f, 640.0f);
        y = std::fmod(y + step * std::sin(heading) + 480.0f, 480.0f);
    }
    return points;
}

TEST_F(PolylinesTest, AStrokePairIsBothStrokesInOneDraw)
{
    for (unsigned seed = 1; seed <= 6; seed++) {
        const std::vector<OutlinePoint> points = Wander(seed, 40 + static_cast<int>(seed) * 400, cx, cy);
        const int n = static_cast<int>(points.size());
        const float angle = seed % 2 ? 0.0f : 0.4f * static_cast<float>(seed);
        Record();
        DrawPolyline(points.data(), n, 0x80FF00FFu, angle, 7.0f);
        DrawPolyline(points.data(), n, 0x80FF00FFu, angle, 3.0f);
        std::vector<uint8_t> two = GpuRecordedDraws()[0].vertices;
        two.insert(two.end(), GpuRecordedDraws()[1].vertices.begin(), GpuRecordedDraws()[1].vertices.end());
        Record();
        DrawPolylinePair(points.data(), n, 0x80FF00FFu, angle, 7.0f, 3.0f);
        ASSERT_EQ(GpuRecordedDraws().size(), 1u);
        EXPECT_EQ(GpuRecordedDraws()[0].technique, "Render1");
        EXPECT_EQ(GpuRecordedDraws()[0].vertices, two) << "seed " << seed;
    }
    std::vector<OutlinePoint> many = Wander(9, 3000, cx, cy);
    Record();
    DrawPolylinePair(many.data(), 3000, 0x80FF00FFu, 0.0f, 7.0f, 3.0f);
    EXPECT_EQ(GpuRecordedDraws()[0].vertexCount, 12u * (kMaxStrokePairPoints - 1));
    EXPECT_LE(GpuRecordedDraws()[0].vertexCount, static_cast<UINT>(kRenderVertexCapacity));
}

// An outline longer than a pair takes goes in pieces sharing their ends,
// each piece's two strokes before the next piece's: the pixels of both
// strokes drawn whole one after the other, as every pixel under them gets
// the same blend of the same colour once for each triangle on it.
TEST_F(PolylinesTest, PiecesOfAStrokePairLeaveWhatTheWholeStrokesLeave)
{
    for (unsigned seed = 1; seed <= 3; seed++) {
        const std::vector<OutlinePoint> points = Wander(seed, 4000 + 300 * static_cast<int>(seed), cx, cy);
        const int n = static_cast<int>(points.size());
        const float angle = seed == 2 ? 0.9f : 0.0f;
        ClearTarget(0xFFFFFECDu);
        for (float width : {7.0f, 3.0f})
            for (int from = 0; from + 1 < n; from += kMaxPolylinePoints - 1)
                DrawPolyline(points.data() + from, std::min(n - from, kMaxPolylinePoints), 0x80FF00FFu, angle, width);
        const std::vector<uint32_t> whole = BackBuffer();
        ClearTarget(0xFFFFFECDu);
        for (int from = 0; from + 1 < n; from += kMaxStrokePairPoints - 1)
            DrawPolylinePair(points.data() + from, std::min(n - from, kMaxStrokePairPoints), 0x80FF00FFu, angle, 7.0f,
                             3.0f);
        EXPECT_EQ(BackBuffer(), whole) << "seed " << seed;
    }
}

class LargePolylineTest : public PolylinesTest {
protected:
    LargePolylineTest() { width_ = 1280, height_ = 960; }
};

TEST_F(LargePolylineTest, OffsetsStayInClientPixelsOnALargeWindow)
{
    OutlinePoint pts[] = {Pt(cx, cy), Pt(cx + 100, cy)};
    Record();
    DrawPolyline(pts, 2, 0xFFFFFFFFu, 0, 2);
    float x, y;
    Offset(0, 2, &x, &y); // B-
    EXPECT_NEAR(x, 100.0f, 1e-3);
}

} // namespace
