// Pavement shapes of the public airport format as the navigation-data helper
// writes them: curves through their control points and areas cut into
// triangles that cover the outline exactly.
#include "source_readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

double TriangleArea(const SourcePoint& a, const SourcePoint& b, const SourcePoint& c)
{
    return std::fabs((b.lon - a.lon) * (c.lat - a.lat) - (b.lat - a.lat) * (c.lon - a.lon)) / 2;
}

double RingArea(const std::vector<SourcePoint>& ring)
{
    // Round the first point, which keeps the products small and exact enough.
    double area = 0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const SourcePoint& a = ring[i];
        const SourcePoint& b = ring[(i + 1) % ring.size()];
        area += (a.lon - ring[0].lon) * (b.lat - ring[0].lat) - (b.lon - ring[0].lon) * (a.lat - ring[0].lat);
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

TEST(PavementCurves, ACurveWhoseMirroredControlLeavesTheEarthStaysOnIt)
{
    // Arriving at (89.9, 179.9) with its control at (-80, -170): the mirror
    // lies at (259.8, 529.8), and a curve towards it would leave the earth.
    std::vector<CurveNode> nodes = {{{89.0, 179.0}, false, {}}, {{89.9, 179.9}, true, {-80, -170}}};
    std::vector<SourcePoint> line = ExpandCurves(nodes, false);
    ASSERT_EQ(line.size(), 9u);
    for (const SourcePoint& p : line) {
        EXPECT_LE(std::fabs(p.lat), 90.0);
        EXPECT_LE(std::fabs(p.lon), 180.0);
    }
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

// Whether p lies inside the ring (crossings of a ray to the east).
bool InsideRing(const std::vector<SourcePoint>& ring, double lat, double lon)
{
    bool inside = false;
    for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const SourcePoint& a = ring[i];
        const SourcePoint& b = ring[j];
        if ((a.lat > lat) != (b.lat > lat) && lon < (b.lon - a.lon) * (lat - a.lat) / (b.lat - a.lat) + a.lon)
            inside = !inside;
    }
    return inside;
}

// Every triangle turns the same way and lies inside, and together they have
// the ring's area: the outline is covered once, with no gaps.
void ExpectCoveredOnce(const std::vector<SourcePoint>& ring, const std::vector<SourcePoint>& t)
{
    ASSERT_EQ(t.size() % 3, 0u);
    EXPECT_NEAR(CoveredArea(t), RingArea(ring), RingArea(ring) * 1e-9);
    int turns[2] = {0, 0};
    for (size_t i = 0; i + 2 < t.size(); i += 3) {
        double cross = (t[i + 1].lon - t[i].lon) * (t[i + 2].lat - t[i].lat) -
                       (t[i + 1].lat - t[i].lat) * (t[i + 2].lon - t[i].lon);
        ++turns[cross > 0 ? 0 : 1];
        double lat = (t[i].lat + t[i + 1].lat + t[i + 2].lat) / 3, lon = (t[i].lon + t[i + 1].lon + t[i + 2].lon) / 3;
        ASSERT_TRUE(InsideRing(ring, lat, lon)) << "triangle " << i / 3;
    }
    EXPECT_TRUE(turns[0] == 0 || turns[1] == 0);
}

TEST(PavementTriangles, LongOutlinesOfEveryShapeAreCoveredOnce)
{
    // A comb of 3,000 narrow teeth hanging from a solid back.
    std::vector<SourcePoint> comb;
    for (int t = 0; t < 3000; ++t) {
        double x = 10.0 + t * 1e-5;
        comb.insert(comb.end(), {{53.60, x}, {53.59, x + 2e-6}, {53.59, x + 6e-6}, {53.60, x + 8e-6}});
    }
    comb.insert(comb.end(), {{53.61, 10.03}, {53.61, 10.0}});
    ExpectCoveredOnce(comb, TriangulateRing(comb));
    // A narrow band wound six times round: out along one spiral, back along a wider one.
    std::vector<SourcePoint> spiral;
    for (int i = 0; i < 1000; ++i) {
        double a = 12 * M_PI * i / 1000, r = 0.001 + 0.01 * i / 1000;
        spiral.push_back({53.6 + r * std::sin(a), 10.0 + r * std::cos(a)});
    }
    for (int i = 999; i >= 0; --i) {
        double a = 12 * M_PI * i / 1000, r = 0.0015 + 0.01 * i / 1000;
        spiral.push_back({53.6 + r * std::sin(a), 10.0 + r * std::cos(a)});
    }
    ExpectCoveredOnce(spiral, TriangulateRing(spiral));
    // Random outlines round a centre: every point seen from it, at random
    // distances, so reflex corners lie anywhere.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> angle(0, 2 * M_PI), distance(0.1, 1.0);
    for (int shape = 0; shape < 20; ++shape) {
        std::vector<double> angles(shape < 10 ? 50 : 3000);
        for (double& a : angles)
            a = angle(random);
        std::sort(angles.begin(), angles.end());
        std::vector<SourcePoint> ring;
        for (double a : angles) {
            double r = 0.01 * distance(random);
            ring.push_back({53.6 + r * std::sin(a), 10.0 + r * std::cos(a)});
        }
        if (shape % 2)
            std::reverse(ring.begin(), ring.end());
        SCOPED_TRACE(shape);
        ExpectCoveredOnce(ring, TriangulateRing(ring));
    }
}

TEST(PavementTriangles, StraightRunsAndSpikesAddNoEmptyTriangles)
{
    // A square with points along its sides and a spike out and back.
    std::vector<SourcePoint> ring = {{0, 0}, {0, 0.5}, {0, 1}, {0.5, 1}, {1, 1}, {1, 0.5},
                                     {1, 0}, {0.5, 0}, {0.5, -0.5}, {0.5, 0}, {0.25, 0}};
    std::vector<SourcePoint> t = TriangulateRing(ring);
    EXPECT_NEAR(CoveredArea(t), 1.0, 1e-12);
    for (size_t i = 0; i + 2 < t.size(); i += 3)
        EXPECT_GT(TriangleArea(t[i], t[i + 1], t[i + 2]), 0) << "triangle " << i / 3;
}

TEST(PavementTriangles, RingsThatCrossThemselvesAllOverStillEnd)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<double> offset(0.0, 0.01);
    std::vector<SourcePoint> ring;
    for (int i = 0; i < 12000; ++i)
        ring.push_back({53.6 + offset(random), 10.0 + offset(random)});
    std::vector<SourcePoint> t = TriangulateRing(ring);
    EXPECT_EQ(t.size() % 3, 0u);
    EXPECT_LE(t.size(), 3u * 11998);
    ring[77].lat = NAN;
    EXPECT_TRUE(TriangulateRing(ring).empty()) << "a point off the earth spoils the outline";
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
