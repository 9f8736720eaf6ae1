// The rasterizer alone on map outlines: 43,000 short segments stroked 7 and
// 3 px wide in one half-transparent colour, over a 1920 x 1080 target or
// crowded into 256 x 256 pixels of it, by the faster paths and by the plain
// one (every triangle on its own), on the calling thread.
#include "platform/gpu/raster.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

// Each segment as the polyline drawer writes it: a rectangle of two triangles
// a stroke, the wide stroke first.
std::vector<RasterVertex> Segments(int w, int h, int segments)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<float> ux(10, w - 10), uy(10, h - 10), length(2, 20), turn(0, 6.283f);
    std::vector<RasterVertex> v;
    for (int s = 0; s < segments; s++) {
        float ax = ux(random), ay = uy(random), l = length(random), a = turn(random);
        float bx = ax + l * std::cos(a), by = ay + l * std::sin(a);
        for (float width : {7.0f, 3.0f}) {
            float nx = -std::sin(a) * width / 2, ny = std::cos(a) * width / 2;
            RasterVertex p{ax + nx, ay + ny, 0x80FF0000u, 0, 1, 0}, m{ax - nx, ay - ny, 0x80FF0000u, 0, 0, 0};
            RasterVertex q{bx - nx, by - ny, 0x80FF0000u, 1, 0, 0}, o{bx + nx, by + ny, 0x80FF0000u, 1, 1, 0};
            v.insert(v.end(), {p, m, q, o, p, q});
        }
    }
    return v;
}

// range(0): crowded into 256 x 256 pixels; range(1): the plain path.
void BM_Outlines(benchmark::State& state)
{
    const bool crowded = state.range(0) != 0;
    std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight, 0xFFFFFFFFu);
    const std::vector<RasterVertex> v = Segments(crowded ? 256 : kWidth, crowded ? 256 : kHeight, 43000);
    RasterJob job;
    job.target = {pixels.data(), kWidth, kHeight, kWidth};
    job.clipX1 = kWidth;
    job.clipY1 = kHeight;
    job.cull = CullFace::None;
    RasterRun run{job, v.data(), static_cast<int>(v.size()), true};
    RasterizeOneByOne(state.range(1) != 0);
    for (auto _ : state)
        RasterizeRuns(&run, 1, nullptr, kSplitPixels);
    RasterizeOneByOne(false);
}
BENCHMARK(BM_Outlines)
    ->ArgNames({"crowded", "plain"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
