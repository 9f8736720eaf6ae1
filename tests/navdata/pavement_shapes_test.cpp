// Pavement shapes of the public airport format as the navigation-data helper
// writes them: curves through their control points and areas cut into
// triangles that cover the outline exactly.
#include "source_readers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double TriangleArea(const SourcePoint& a, const SourcePoint& b, const SourcePoint& c)
{
    return std::fabs((b.lon - a.lon) * (c.lat - a.lat) - (b.lat - a.lat) * (c.lon - a.lon)) / 2;
}

double RingArea(const std::vector<SourcePoint>& ring)
{
    double area = 0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const SourcePoint& a = ring[i];
        const SourcePoint& b = ring[(i + 1) % ring.size()];
        area += a.lon * b.lat - b.lon * a.lat;
    }
    return std::fabs(area) / 2;
}

double CoveredArea(const std::vector<SourcePoint>& triangles)
{
    double area = 0;
    for (size_t i = 0; i + 2 < triangles.size(); i += 3)
        area += TriangleArea(triangles[i], triangles[i + 1], triangles[i + 2]);
    return area;
}

TEST(PavementCurves, StraightNodesStayAsTheyAre)
{
    std::vector<CurveNode> nodes = {{{0, 0}, false, {}}, {{0, 1}, false, {}}, {{1, 1}, false, {}}};
    std::vector<SourcePoint> line = ExpandCurves(nodes, false);
    ASSERT_EQ(line.size(), 3u);
    EXPECT_EQ(line[2].lat, 1);
    EXPECT_EQ(ExpandCurves(nodes, true).size(), 3u) << "a ring does not repeat its first node";
    EXPECT_TRUE(ExpandCurves({}, true).empty());
}

TEST(PavementCurves, CurveLeavesTowardsTheControlAndArrivesAlongItsMirror)
{
    // From (0,0) leaving north towards (1,0), arriving at (0,2) from the
    // north: its control (-1,2) mirrors to (1,2).
    std::vector<CurveNode> nodes = {{{0, 0}, true, {1, 0}}, {{0, 2}, true, {-1, 2}}};
    std::vector<SourcePoint> line = ExpandCurves(nodes, false);
    ASSERT_EQ(line.size(), 9u);  // eight steps and the end
    EXPECT_EQ(line.front().lat, 0);
    EXPECT_EQ(line.back().lon, 2);
    const SourcePoint& middle = line[4];
    EXPECT_NEAR(middle.lat, 0.75, 1e-12);  // the cubic's middle: (0 + 3 + 3 + 0) / 8
    EXPECT_NEAR(middle.lon, 1.0, 1e-12);
    for (const SourcePoint& p : line)
        EXPECT_GE(p.lat, 0) << "the arc bulges north, both ends leave that way";
}

TEST(PavementTriangles, ConvexAndConcaveOutlinesAreCoveredExactly)
{
    std::vector<SourcePoint> square = {{0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 0}};
    std::vector<SourcePoint> t = TriangulateRing(square);
    ASSERT_EQ(t.size(), 6u);
    EXPECT_NEAR(CoveredArea(t), 1.0, 1e-12);
    // An L-shaped apron, either way round.
    std::vector<SourcePoint> l = {{0, 0}, {0, 3}, {1, 3}, {1, 1}, {3, 1}, {3, 0}};
    t = TriangulateRing(l);
    EXPECT_EQ(t.size(), 12u);
    EXPECT_NEAR(CoveredArea(t), RingArea(l), 1e-9);
    std::vector<SourcePoint> reversed(l.rbegin(), l.rend());
    EXPECT_NEAR(CoveredArea(TriangulateRing(reversed)), RingArea(l), 1e-9);
}

TEST(PavementTriangles, ACurvedRingOfManyPointsIsCovered)
{
    std::vector<SourcePoint> ring;
    for (int i = 0; i < 720; ++i) {
        double a = i * M_PI / 360, r = i % 2 ? 1.0 : 0.8;  // a star: every other point inside
        ring.push_back({53.6 + 0.01 * r * std::sin(a), 10.0 + 0.01 * r * std::cos(a)});
    }
    std::vector<SourcePoint> t = TriangulateRing(ring);
    EXPECT_EQ(t.size(), 3u * 718);
    EXPECT_NEAR(CoveredArea(t), RingArea(ring), RingArea(ring) * 1e-6);
}

TEST(PavementTriangles, DegenerateRingsGiveNothingAndNeverHang)
{
    EXPECT_TRUE(TriangulateRing({}).empty());
    EXPECT_TRUE(TriangulateRing({{1, 1}, {1, 1}, {1, 1}}).empty());
    EXPECT_TRUE(TriangulateRing({{0, 0}, {0, 1}, {0, 2}}).empty()) << "no area";
    // A bow tie crosses itself: still cut into whole triangles.
    std::vector<SourcePoint> bow = {{0, 0}, {1, 2}, {1, 0}, {0, 1}};
    std::vector<SourcePoint> t = TriangulateRing(bow);
    EXPECT_EQ(t.size(), 6u);
}

}  // namespace
