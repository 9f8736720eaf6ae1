// The navigation-data helper cutting pavement outlines of 12,000 points into
// triangles: a star (every other point inside), a comb of long narrow teeth,
// a narrow band wound six times round, and a ring of random points that
// crosses itself all over. Prints the time of one outline.
#include "helpers/PlovikDownload/source_readers.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int Points = 12000;

std::vector<SourcePoint> Star()
{
    std::vector<SourcePoint> ring;
    for (int i = 0; i < Points; ++i) {
        double a = 2 * M_PI * i / Points, r = i % 2 ? 1.0 : 0.8;
        ring.push_back({53.6 + 0.01 * r * std::sin(a), 10.0 + 0.01 * r * std::cos(a)});
    }
    return ring;
}

// Teeth along the bottom, each two points up and two down, on a solid back.
std::vector<SourcePoint> Comb()
{
    std::vector<SourcePoint> ring;
    int teeth = (Points - 2) / 4;
    for (int t = 0; t < teeth; ++t) {
        double x = 10.0 + t * 1e-5;
        ring.push_back({53.60, x});
        ring.push_back({53.59, x + 2e-6});
        ring.push_back({53.59, x + 6e-6});
        ring.push_back({53.60, x + 8e-6});
    }
    ring.push_back({53.61, 10.0 + teeth * 1e-5});
    ring.push_back({53.61, 10.0});
    return ring;
}

// Out along one spiral and back along a wider one.
std::vector<SourcePoint> Spiral()
{
    std::vector<SourcePoint> ring;
    const int half = Points / 2;
    for (int i = 0; i < half; ++i) {
        double a = 12 * M_PI * i / half, r = 0.001 + 0.01 * i / half;
        ring.push_back({53.6 + r * std::sin(a), 10.0 + r * std::cos(a)});
    }
    for (int i = half - 1; i >= 0; --i) {
        double a = 12 * M_PI * i / half, r = 0.0015 + 0.01 * i / half;
        ring.push_back({53.6 + r * std::sin(a), 10.0 + r * std::cos(a)});
    }
    return ring;
}

std::vector<SourcePoint> Scrawl()
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> offset(0.0, 0.01);
    std::vector<SourcePoint> ring;
    for (int i = 0; i < Points; ++i)
        ring.push_back({53.6 + offset(random), 10.0 + offset(random)});
    return ring;
}

void Cut(benchmark::State& state, std::vector<SourcePoint> (*shape)())
{
    std::vector<SourcePoint> ring = shape();
    size_t triangles = 0;
    for (auto _ : state) {
        std::vector<SourcePoint> out = TriangulateRing(ring);
        triangles = out.size() / 3;
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["triangles"] = static_cast<double>(triangles);
}

BENCHMARK_CAPTURE(Cut, star, Star)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Cut, comb, Comb)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Cut, spiral, Spiral)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Cut, scrawl, Scrawl)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
