// The rasterizer's faster paths (two triangles a row at a time, a thick
// line's halves filled as one quad, short spans four pixels a step, dashes
// counted along the span, batches drawn band by band, on one thread or
// several) against the plain one, every triangle on its own: random lines,
// quads and triangles of every program, blend, cull and clip, over random
// targets, must leave the same bytes.
#include "platform/gpu/raster.h"
#include "platform/gpu/raster_bands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

struct Scene {
    int width = 0, height = 0;
    std::vector<uint32_t> background;
    std::vector<std::vector<uint32_t>> textures;
    std::vector<std::vector<uint8_t>> alphaRuns, clearCells;
    std::vector<std::vector<RasterVertex>> vertices;
    std::vector<RasterRun> runs;
    std::vector<bool> strips; // per run: its vertices are a strip
};

// A coordinate on one of the grids the callers' vertices land on: any float,
// whole and half pixels (edges and corners through pixel centres), 1/256.
float Coordinate(std::mt19937& random, float lo, float hi)
{
    float v = std::uniform_real_distribution<float>(lo, hi)(random);
    switch (random() % 4) {
    case 0:
        return std::round(v);
    case 1:
        return std::round(v * 2) / 2;
    case 2:
        return std::round(v * 256) / 256;
    default:
        return v;
    }
}

uint32_t Colour(std::mt19937& random)
{
    static const uint32_t alphas[] = {0x00, 0x80, 0xFF, 0x37};
    return alphas[random() % 4] << 24 | (random() & 0xFFFFFF);
}

// The six corners of a segment's rectangle, as the polyline drawer writes them.
void Segment(std::vector<RasterVertex>& out, float ax, float ay, float bx, float by, float width, uint32_t colour)
{
    float phi = std::atan2(by - ay, bx - ax) + 1.5707964f;
    float nx = std::cos(phi) * width / 2, ny = std::sin(phi) * width / 2;
    float length = std::sqrt((bx - ax) * (bx - ax) + (by - ay) * (by - ay));
    RasterVertex ap{ax + nx, ay + ny, colour, 0, 1, length}, am{ax - nx, ay - ny, colour, 0, 0, length};
    RasterVertex bm{bx - nx, by - ny, colour, 1, 0, length}, bp{bx + nx, by + ny, colour, 1, 1, length};
    out.insert(out.end(), {ap, am, bm, bp, ap, bm});
}

// A polyline wandering in short steps, some of no length, some wide.
std::vector<RasterVertex> Lines(std::mt19937& random, const Scene& s, bool perPoint, uint32_t colour)
{
    std::vector<RasterVertex> v;
    static const float widths[] = {7, 3, 5, 4, 1, 0.5f, 12};
    float width = widths[random() % 7];
    float x = Coordinate(random, -20, s.width + 20), y = Coordinate(random, -20, s.height + 20);
    for (int n = 1 + random() % 60; n > 0; n--) {
        float step = random() % 8 == 0 ? 0.0f : std::uniform_real_distribution<float>(0.01f, 30)(random);
        float turn = std::uniform_real_distribution<float>(0, 6.2831855f)(random);
        float nx = x + step * std::cos(turn), ny = y + step * std::sin(turn);
        if (random() % 3 == 0) {
            nx = std::round(nx * 2) / 2;
            ny = std::round(ny * 2) / 2;
        }
        Segment(v, x, y, nx, ny, width, perPoint ? Colour(random) : colour);
        x = nx;
        y = ny;
    }
    return v;
}

// Quads as a list of two triangles each, corners as a strip gives them, and
// their strips; upright or turned, some reaching far beyond the target.
std::vector<RasterVertex> Quads(std::mt19937& random, const Scene& s, bool perPoint, uint32_t colour, bool strip)
{
    std::vector<RasterVertex> v;
    for (int n = 1 + random() % 12; n > 0; n--) {
        float cx = Coordinate(random, -10, s.width + 10), cy = Coordinate(random, -10, s.height + 10);
        float w = Coordinate(random, 0, 40), h = Coordinate(random, 0, 40), turn = 0;
        if (random() % 2)
            turn = std::uniform_real_distribution<float>(-3, 3)(random);
        if (random() % 20 == 0)
            w = 3e6f; // beyond the guard square: cut first
        const float corner[4][4] = {{-w, h, 0, 1}, {-w, -h, 0, 0}, {w, h, 1, 1}, {w, -h, 1, 0}};
        RasterVertex q[4];
        for (int k = 0; k < 4; k++) {
            float x = cx + corner[k][0] * std::cos(turn) - corner[k][1] * std::sin(turn);
            float y = cy + corner[k][0] * std::sin(turn) + corner[k][1] * std::cos(turn);
            q[k] = {x, y, perPoint ? Colour(random) : colour, corner[k][2], corner[k][3], 2 * w};
        }
        if (strip) {
            v.insert(v.end(), q, q + 4);
            return v; // one strip a run
        }
        v.insert(v.end(), {q[0], q[1], q[2], q[2], q[1], q[3]});
    }
    return v;
}

std::vector<RasterVertex> Triangles(std::mt19937& random, const Scene& s, bool perPoint, uint32_t colour)
{
    std::vector<RasterVertex> v;
    for (int n = 3 * (1 + random() % 20); n > 0; n--) {
        RasterVertex p{Coordinate(random, -30, s.width + 30), Coordinate(random, -30, s.height + 30),
                       perPoint ? Colour(random) : colour, std::uniform_real_distribution<float>(-0.5f, 1.5f)(random),
                       std::uniform_real_distribution<float>(-0.5f, 1.5f)(random), 17.0f};
        if (random() % 50 == 0)
            p.x = NAN;
        v.push_back(p);
    }
    return v;
}

Scene MakeScene(uint32_t seed)
{
    std::mt19937 random(seed);
    Scene s;
    s.width = 5 + static_cast<int>(random() % 300);
    s.height = 3 + static_cast<int>(random() % 200);
    s.background.resize(static_cast<size_t>(s.width) * s.height);
    for (uint32_t& p : s.background)
        p = random() % 3 == 0 ? 0xFFFFFECDu : static_cast<uint32_t>(random());
    s.textures.resize(2);
    s.alphaRuns.resize(2);
    s.clearCells.resize(2);
    for (int t = 0; t < 2; t++) {
        const int side = 8 << t;
        for (int k = 0; k < side * side; k++)
            s.textures[t].push_back(t == 0 ? 0xFF000000u | static_cast<uint32_t>(random())
                                           : (k % 5 == 0 ? 0u : k % 7 == 0 ? 0x80u : 0xFFu) << 24 | (random() & 0xFFFFFF));
        s.alphaRuns[t].resize(s.textures[t].size());
        BuildAlphaRuns(s.textures[t].data(), side, side, s.alphaRuns[t].data());
        s.clearCells[t].resize(s.textures[t].size());
        BuildClearCells(s.alphaRuns[t].data(), side, side, s.clearCells[t].data());
    }
    const int runs = 1 + static_cast<int>(random() % 8);
    for (int r = 0; r < runs; r++) {
        RasterJob job;
        job.target = {nullptr, s.width, s.height, s.width};
        job.clipX1 = s.width;
        job.clipY1 = s.height;
        if (random() % 3 == 0) {
            job.clipX0 = static_cast<int>(random() % s.width);
            job.clipY0 = static_cast<int>(random() % s.height);
            job.clipX1 = job.clipX0 + 1 + static_cast<int>(random() % (s.width - job.clipX0));
            job.clipY1 = job.clipY0 + 1 + static_cast<int>(random() % (s.height - job.clipY0));
        }
        static const PixelProgram programs[] = {PixelProgram::Colour, PixelProgram::Colour, PixelProgram::Dashed,
                                                PixelProgram::Textured};
        job.pass.program = programs[random() % 4];
        job.pass.blend = random() % 3 == 0 ? BlendMode::OverStraight : BlendMode::Over;
        job.pass.sampler = random() % 2 ? SamplerMode::Point : SamplerMode::Linear;
        if (random() % 3 == 0) {
            job.pass.dashOn = static_cast<float>(random() % 10);
            job.pass.dashOff = static_cast<float>(random() % 10) / 2;
        }
        static const CullFace culls[] = {CullFace::CounterClockwise, CullFace::Clockwise, CullFace::None};
        job.cull = culls[random() % 3];
        const int t = static_cast<int>(random() % 2);
        const bool runs = random() % 2;
        job.texture = {s.textures[t].data(), 8 << t, 8 << t, 8 << t, t == 0, runs ? s.alphaRuns[t].data() : nullptr,
                       runs && random() % 2 ? s.clearCells[t].data() : nullptr};
        const bool perPoint = random() % 4 == 0;
        const uint32_t colour = random() % 3 == 0 ? 0xFFFFFFFFu : Colour(random);
        const bool strip = random() % 6 == 0;
        switch (strip ? 1 : random() % 3) {
        case 0:
            s.vertices.push_back(Lines(random, s, perPoint, colour));
            break;
        case 1:
            s.vertices.push_back(Quads(random, s, perPoint, colour, strip));
            break;
        default:
            s.vertices.push_back(Triangles(random, s, perPoint, colour));
            break;
        }
        s.strips.push_back(strip);
        bool flat = true;
        for (const RasterVertex& v : s.vertices.back())
            flat = flat && v.colour == s.vertices.back()[0].colour;
        s.runs.push_back(RasterRun{job, nullptr, static_cast<int>(s.vertices.back().size()), flat});
    }
    return s;
}

// The scene's pixels after its runs: as one batch, or a draw at a time.
std::vector<uint32_t> Draw(Scene s, bool oneByOne, RasterBands* bands, int64_t splitPixels, bool batch)
{
    std::vector<uint32_t> pixels = s.background;
    for (size_t r = 0; r < s.runs.size(); r++) {
        s.runs[r].job.target.pixels = pixels.data();
        s.runs[r].vertices = s.vertices[r].data();
        s.runs[r].job.bands = bands;
        s.runs[r].job.splitPixels = splitPixels;
    }
    RasterizeOneByOne(oneByOne);
    if (batch) {
        std::vector<RasterRun> lists;
        for (size_t r = 0; r < s.runs.size(); r++)
            if (!s.strips[r])
                lists.push_back(s.runs[r]);
        RasterizeRuns(lists.data(), static_cast<int>(lists.size()), bands, splitPixels);
    } else {
        for (size_t r = 0; r < s.runs.size(); r++)
            if (s.strips[r])
                RasterizeTriangleStrip(s.runs[r].job, s.runs[r].vertices, s.runs[r].count);
            else
                RasterizeTriangleList(s.runs[r].job, s.runs[r].vertices, s.runs[r].count);
    }
    RasterizeOneByOne(false);
    return pixels;
}

// The coverage rule spelled out a pixel at a time: corners rounded to 1/256
// pixel, a pixel drawn where its centre lies on the inner side of all three
// edges, on an edge only if it is a top or left one; blended in draw order.
void ReferenceTriangles(std::vector<uint32_t>& pixels, int width, const RasterJob& job, const RasterVertex* v,
                        int count)
{
    for (int i = 0; i + 2 < count; i += 3) {
        int64_t x[3], y[3];
        for (int k = 0; k < 3; k++) {
            x[k] = std::llrint(v[i + k].x * 256.0f);
            y[k] = std::llrint(v[i + k].y * 256.0f);
        }
        int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
        if (area == 0 || (area > 0 && job.cull == CullFace::Clockwise) ||
            (area < 0 && job.cull == CullFace::CounterClockwise))
            continue;
        if (area < 0) {
            std::swap(x[1], x[2]);
            std::swap(y[1], y[2]);
        }
        for (int py = job.clipY0; py < job.clipY1; py++)
            for (int px = job.clipX0; px < job.clipX1; px++) {
                bool inside = true;
                for (int k = 0; k < 3 && inside; k++) {
                    int64_t dx = x[(k + 1) % 3] - x[k], dy = y[(k + 1) % 3] - y[k];
                    int64_t e = dx * (256 * py + 128 - y[k]) - dy * (256 * px + 128 - x[k]);
                    inside = e >= (((dy == 0 && dx > 0) || dy < 0) ? 0 : 1);
                }
                if (inside) {
                    uint32_t& d = pixels[static_cast<size_t>(py) * width + px];
                    d = job.pass.blend == BlendMode::Over ? BlendOver(v[i].colour, d) : BlendOverStraight(v[i].colour, d);
                }
            }
    }
}

struct GpuRasterPaths : ::testing::Test {
    void TearDown() override { RasterizeOneByOne(false); }
};

TEST_F(GpuRasterPaths, EveryFasterPathLeavesThePlainPathsBytes)
{
    RasterBands three(3);
    for (uint32_t seed = 1; seed <= 400; seed++) {
        const Scene scene = MakeScene(seed);
        for (bool batch : {false, true}) {
            const std::vector<uint32_t> plain = Draw(scene, true, nullptr, 0, batch);
            ASSERT_EQ(Draw(scene, false, nullptr, kSplitPixels, batch), plain) << "seed " << seed << " batch " << batch;
            ASSERT_EQ(Draw(scene, false, nullptr, 0, batch), plain) << "banded, seed " << seed << " batch " << batch;
            ASSERT_EQ(Draw(scene, false, &three, 0, batch), plain) << "threads, seed " << seed << " batch " << batch;
        }
    }
}

// One-colour lines, quads and triangles, whose pairs the faster paths fill
// as quads, against the rule itself.
TEST_F(GpuRasterPaths, OneColourShapesCoverThePixelsTheRuleGives)
{
    RasterBands three(3);
    for (uint32_t seed = 1; seed <= 300; seed++) {
        std::mt19937 random(seed);
        Scene s = MakeScene(seed);
        s.width = std::min(s.width, 120);
        s.height = std::min(s.height, 90);
        s.background.resize(static_cast<size_t>(s.width) * s.height);
        std::vector<uint32_t> want = s.background;
        for (size_t r = 0; r < s.runs.size(); r++) {
            RasterRun& run = s.runs[r];
            run.job.target = {nullptr, s.width, s.height, s.width};
            run.job.clipX0 = std::min(run.job.clipX0, s.width - 1);
            run.job.clipY0 = std::min(run.job.clipY0, s.height - 1);
            run.job.clipX1 = std::clamp(run.job.clipX1, run.job.clipX0 + 1, s.width);
            run.job.clipY1 = std::clamp(run.job.clipY1, run.job.clipY0 + 1, s.height);
            run.job.pass.program = PixelProgram::Colour;
            const uint32_t colour = Colour(random);
            s.strips[r] = false;
            s.vertices[r] = random() % 2 ? Lines(random, s, false, colour) : Quads(random, s, false, colour, false);
            for (RasterVertex& v : s.vertices[r]) {
                v.colour = colour;
                v.x = std::clamp(v.x, -1000.0f, 1000.0f); // inside the guard square
            }
            run.count = static_cast<int>(s.vertices[r].size());
            run.flat = true;
            ReferenceTriangles(want, s.width, run.job, s.vertices[r].data(), run.count);
        }
        for (bool batch : {false, true}) {
            ASSERT_EQ(Draw(s, false, nullptr, kSplitPixels, batch), want) << "seed " << seed;
            ASSERT_EQ(Draw(s, false, nullptr, 0, batch), want) << "banded, seed " << seed;
            ASSERT_EQ(Draw(s, false, &three, 0, batch), want) << "threads, seed " << seed;
            ASSERT_EQ(Draw(s, true, nullptr, 0, batch), want) << "one by one, seed " << seed;
        }
    }
}

// Quads of one colour whose corners lie on pixel centres, turned every way,
// split along a diagonal: where the two triangles meet at a corner the
// top-left rule of the diagonal decides, which the quad's own edges do not
// know, so the pair must not be filled as one outline there.
TEST_F(GpuRasterPaths, QuadsWithCornersOnPixelCentresCoverThePixelsTheRuleGives)
{
    constexpr int kSide = 24;
    for (uint32_t seed = 1; seed <= 3000; seed++) {
        std::mt19937 random(seed);
        Scene s;
        s.width = s.height = kSide;
        s.background.assign(kSide * kSide, 0xFF202020u);
        std::vector<uint32_t> want = s.background;
        RasterJob job;
        job.target = {nullptr, kSide, kSide, kSide};
        job.clipX1 = job.clipY1 = kSide;
        job.cull = CullFace::None;
        const uint32_t colour = 0x80000000u | (random() & 0xFFFFFF);
        std::vector<RasterVertex> v;
        for (int quad = 0; quad < 3; quad++) {
            // Four corners round a centre, in order of angle, on pixel centres.
            const float cx = 12, cy = 12;
            float angle[4];
            for (float& a : angle)
                a = std::uniform_real_distribution<float>(0, 6.2831855f)(random);
            std::sort(angle, angle + 4);
            RasterVertex c[4];
            for (int k = 0; k < 4; k++) {
                const float r = std::uniform_real_distribution<float>(2, 11)(random);
                c[k] = {std::floor(cx + r * std::cos(angle[k])) + 0.5f, std::floor(cy + r * std::sin(angle[k])) + 0.5f,
                        colour, 0, 0, 1};
            }
            if (random() % 2)
                std::reverse(c, c + 4);
            v.insert(v.end(), {c[0], c[1], c[2], c[0], c[2], c[3]});
        }
        ReferenceTriangles(want, kSide, job, v.data(), static_cast<int>(v.size()));
        s.vertices.push_back(v);
        s.strips.push_back(false);
        s.runs.push_back(RasterRun{job, nullptr, static_cast<int>(v.size()), true});
        for (bool batch : {false, true})
            ASSERT_EQ(Draw(s, false, nullptr, kSplitPixels, batch), want) << "seed " << seed;
    }
}

// Quads of one colour split as the polyline drawer splits a segment, with
// corners on the centre lines of rows, level or upright sides, or turned
// anyhow, clipped anywhere: filled a row at a time from only the edges each
// row meets, they cover what the rule gives their two triangles.
TEST_F(GpuRasterPaths, QuadsWithCornersOnRowCentresCoverThePixelsTheRuleGives)
{
    constexpr int kWidth = 48, kHeight = 40;
    for (uint32_t seed = 1; seed <= 2000; seed++) {
        std::mt19937 random(seed);
        Scene s;
        s.width = kWidth;
        s.height = kHeight;
        s.background.assign(kWidth * kHeight, 0xFF202020u);
        std::vector<uint32_t> want = s.background;
        RasterJob job;
        job.target = {nullptr, kWidth, kHeight, kWidth};
        job.clipX1 = kWidth;
        job.clipY1 = kHeight;
        if (random() % 2) {
            job.clipX0 = static_cast<int>(random() % 20);
            job.clipY0 = static_cast<int>(random() % 20);
            job.clipX1 = job.clipX0 + 1 + static_cast<int>(random() % (kWidth - job.clipX0));
            job.clipY1 = job.clipY0 + 1 + static_cast<int>(random() % (kHeight - job.clipY0));
        }
        static const CullFace culls[] = {CullFace::CounterClockwise, CullFace::Clockwise, CullFace::None};
        job.cull = culls[random() % 3];
        const uint32_t colour = 0x80000000u | (random() & 0xFFFFFF);
        std::vector<RasterVertex> v;
        for (int quad = 0; quad < 6; quad++) {
            if (random() % 3 == 0) {
                // A level or upright segment of even width: its corners lie on centre lines.
                const float a = std::floor(Coordinate(random, 4, 36)) + 0.5f, b = Coordinate(random, 4, 44);
                const float c = Coordinate(random, 4, 44), width = static_cast<float>(2 * (1 + random() % 4));
                if (random() % 2)
                    Segment(v, b, a, c, a, width, colour);
                else
                    Segment(v, a, b, a, c, width, colour);
                continue;
            }
            // Four corners round a centre in order of angle, some rows' centre lines through them.
            float angle[4];
            for (float& t : angle)
                t = std::uniform_real_distribution<float>(0, 6.2831855f)(random);
            std::sort(angle, angle + 4);
            const float cx = Coordinate(random, 8, 40), cy = Coordinate(random, 8, 32);
            RasterVertex c[4];
            for (int k = 0; k < 4; k++) {
                const float r = std::uniform_real_distribution<float>(1, 9)(random);
                float x = cx + r * std::cos(angle[k]), y = cy + r * std::sin(angle[k]);
                if (random() % 2)
                    y = std::floor(y) + 0.5f;
                if (random() % 4 == 0)
                    x = std::round(x * 256) / 256;
                c[k] = {x, y, colour, 0, 0, 1};
            }
            if (random() % 4 == 0)
                c[1].y = c[0].y; // a level side
            if (random() % 2)
                std::reverse(c, c + 4);
            v.insert(v.end(), {c[0], c[1], c[2], c[3], c[0], c[2]});
        }
        ReferenceTriangles(want, kWidth, job, v.data(), static_cast<int>(v.size()));
        s.vertices.push_back(v);
        s.strips.push_back(false);
        s.runs.push_back(RasterRun{job, nullptr, static_cast<int>(v.size()), true});
        for (bool batch : {false, true}) {
            ASSERT_EQ(Draw(s, false, nullptr, kSplitPixels, batch), want) << "seed " << seed;
            ASSERT_EQ(Draw(s, false, nullptr, 0, batch), want) << "banded, seed " << seed;
        }
    }
}

// Line segments of one colour, dashed or coloured per corner, level,
// upright, turned, with their corners on pixel centres or far away, clipped
// anywhere: each filled as one quad (a row split where the shared edge
// crosses it when the pixels differ by triangle) leaves the plain path's
// bytes.
TEST_F(GpuRasterPaths, LineSegmentsFilledAsQuadsLeaveThePlainPathsBytes)
{
    constexpr int kWidth = 48, kHeight = 40;
    for (uint32_t seed = 1; seed <= 1500; seed++) {
        std::mt19937 random(seed);
        Scene s;
        s.width = kWidth;
        s.height = kHeight;
        s.background.resize(kWidth * kHeight);
        for (uint32_t& p : s.background)
            p = random() % 2 ? 0xFFFFFECDu : static_cast<uint32_t>(random());
        RasterJob job;
        job.target = {nullptr, kWidth, kHeight, kWidth};
        job.clipX1 = kWidth;
        job.clipY1 = kHeight;
        if (random() % 2) {
            job.clipX0 = static_cast<int>(random() % 20);
            job.clipY0 = static_cast<int>(random() % 20);
            job.clipX1 = job.clipX0 + 1 + static_cast<int>(random() % (kWidth - job.clipX0));
            job.clipY1 = job.clipY0 + 1 + static_cast<int>(random() % (kHeight - job.clipY0));
        }
        static const CullFace culls[] = {CullFace::CounterClockwise, CullFace::Clockwise, CullFace::None};
        job.cull = culls[random() % 3];
        job.pass.program = random() % 2 ? PixelProgram::Dashed : PixelProgram::Colour;
        job.pass.blend = random() % 3 == 0 ? BlendMode::OverStraight : BlendMode::Over;
        if (random() % 2) {
            job.pass.dashOn = static_cast<float>(1 + random() % 6);
            job.pass.dashOff = static_cast<float>(random() % 8) / 2;
        }
        const bool perPoint = random() % 2;
        std::vector<RasterVertex> v;
        for (int k = 0; k < 6; k++) {
            float ax = Coordinate(random, 2, 46), ay = Coordinate(random, 2, 38);
            float bx = Coordinate(random, 2, 46), by = Coordinate(random, 2, 38);
            switch (random() % 4) {
            case 0:
                by = ay; // level
                break;
            case 1:
                bx = ax; // upright
                break;
            case 2: // ends on pixel centres
                ax = std::floor(ax) + 0.5f, ay = std::floor(ay) + 0.5f;
                bx = std::floor(bx) + 0.5f, by = std::floor(by) + 0.5f;
                break;
            default:
                break;
            }
            if (random() % 25 == 0)
                bx = 3e6f; // beyond the guard square: cut first
            if (random() % 40 == 0)
                ay = NAN;
            const float width = static_cast<float>(1 + random() % 8);
            Segment(v, ax, ay, bx, by, width, perPoint ? Colour(random) : 0x80FF00FFu);
        }
        s.vertices.push_back(v);
        s.strips.push_back(false);
        bool flat = true;
        for (const RasterVertex& p : v)
            flat = flat && p.colour == v[0].colour;
        s.runs.push_back(RasterRun{job, nullptr, static_cast<int>(v.size()), flat});
        for (bool batch : {false, true}) {
            const std::vector<uint32_t> plain = Draw(s, true, nullptr, 0, batch);
            ASSERT_EQ(Draw(s, false, nullptr, kSplitPixels, batch), plain) << "seed " << seed;
            ASSERT_EQ(Draw(s, false, nullptr, 0, batch), plain) << "banded, seed " << seed;
        }
    }
}

// Thick lines of one colour over the width of a wide target, as the map's
// outlines are: the quads, the short spans and the bands all at work.
TEST_F(GpuRasterPaths, LongOutlinesOfOneColourLeaveThePlainPathsBytes)
{
    for (uint32_t seed = 1; seed <= 20; seed++) {
        std::mt19937 random(seed);
        Scene s;
        s.width = 1000 + static_cast<int>(random() % 1000);
        s.height = 300 + static_cast<int>(random() % 500);
        s.background.assign(static_cast<size_t>(s.width) * s.height, 0xFFFFFECDu);
        for (int r = 0; r < 6; r++) {
            RasterJob job;
            job.target = {nullptr, s.width, s.height, s.width};
            job.clipX1 = s.width;
            job.clipY1 = s.height;
            job.pass.program = r % 3 == 2 ? PixelProgram::Dashed : PixelProgram::Colour;
            const uint32_t colour = r % 2 ? 0x800000FFu : 0xFF00FF00u;
            std::vector<RasterVertex> v;
            for (int k = 0; k < 40; k++) {
                std::vector<RasterVertex> part = Lines(random, s, false, colour);
                v.insert(v.end(), part.begin(), part.end());
            }
            s.vertices.push_back(v);
            s.strips.push_back(false);
            s.runs.push_back(RasterRun{job, nullptr, static_cast<int>(v.size()), true});
        }
        RasterBands four(4);
        const std::vector<uint32_t> plain = Draw(s, true, nullptr, 0, true);
        ASSERT_EQ(Draw(s, false, nullptr, kSplitPixels, true), plain) << "seed " << seed;
        ASSERT_EQ(Draw(s, false, &four, kSplitPixels, true), plain) << "threads, seed " << seed;
    }
}

} // namespace

namespace {

uint32_t LerpEach(uint32_t p, uint32_t q, uint32_t w)
{
    uint32_t out = 0;
    for (int s = 0; s < 32; s += 8)
        out |= ((((p >> s) & 0xFF) * (256 - w) + ((q >> s) & 0xFF) * w) >> 8) << s;
    return out;
}

// Glyphs of a bitmap font at their own size, a fraction of a pixel off the
// grid, tinted and blended: each pixel is the bilinear sample of its texel
// position (taps beyond the page clamped to its edge), times the colour,
// over the target, however many pixels the faster path takes at a time.
TEST(GpuRasterGlyphs, GlyphsAtTheirOwnSizeBlendAsSampleTintAndOverDo)
{
    for (uint32_t seed = 1; seed <= 300; seed++) {
        std::mt19937 random(seed);
        const int tw = 3 + static_cast<int>(random() % 14), th = 3 + static_cast<int>(random() % 14);
        std::vector<uint32_t> texels(static_cast<size_t>(tw) * th);
        for (uint32_t& t : texels) {
            static const uint32_t alphas[] = {0, 0, 255, 0x80, 0x01, 0xFE};
            uint32_t a = random() % 3 ? alphas[random() % 6] : random() & 0xFF;
            t = a << 24 | (random() & 0xFFFFFF);
        }
        std::vector<uint8_t> runs(texels.size());
        BuildAlphaRuns(texels.data(), tw, th, runs.data());
        const int width = 40, height = 30;
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
        for (uint32_t& p : pixels)
            p = random() % 2 ? 0xFFFFFECDu : static_cast<uint32_t>(random());
        std::vector<uint32_t> want = pixels;
        static const uint32_t colours[] = {0xFFFFFFFFu, 0xFF7FFF00u, 0x80FFFFFFu, 0x7F102030u};
        const uint32_t colour = random() % 5 ? colours[random() % 4] : static_cast<uint32_t>(random());
        const float x0 = static_cast<float>(random() % 24) + static_cast<float>(random() % 256) / 256 - 2;
        const float y0 = static_cast<float>(random() % 16) + static_cast<float>(random() % 256) / 256 - 2;
        RasterJob job;
        job.target = {pixels.data(), width, height, width};
        job.clipX1 = width;
        job.clipY1 = height;
        job.pass.program = PixelProgram::Textured;
        job.pass.sampler = SamplerMode::Linear;
        job.texture = {texels.data(), tw, th, tw, false, random() % 2 ? runs.data() : nullptr};
        const float x1 = x0 + static_cast<float>(tw), y1 = y0 + static_cast<float>(th);
        const RasterVertex quad[6] = {{x0, y0, colour, 0, 0, 1}, {x1, y0, colour, 1, 0, 1}, {x1, y1, colour, 1, 1, 1},
                                      {x1, y1, colour, 1, 1, 1}, {x0, y1, colour, 0, 1, 1}, {x0, y0, colour, 0, 0, 1}};
        RasterizeTriangleList(job, quad, 6);

        auto texel = [&](int64_t x, int64_t y) {
            return texels[static_cast<size_t>(std::clamp<int64_t>(y, 0, th - 1)) * tw + std::clamp<int64_t>(x, 0, tw - 1)];
        };
        for (int py = 0; py < height; py++)
            for (int px = 0; px < width; px++) {
                // Centres on the left and top edges are inside; on the right and bottom not.
                if (px + 0.5 < x0 || px + 0.5 >= x1 || py + 0.5 < y0 || py + 0.5 >= y1)
                    continue;
                const int64_t tx = std::llround((px - x0) * 65536.0), ty = std::llround((py - y0) * 65536.0);
                const int64_t ix = tx >> 16, iy = ty >> 16;
                const uint32_t fx = static_cast<uint32_t>(tx >> 8) & 0xFF, fy = static_cast<uint32_t>(ty >> 8) & 0xFF;
                const uint32_t left = LerpEach(texel(ix, iy), texel(ix, iy + 1), fy);
                const uint32_t right = LerpEach(texel(ix + 1, iy), texel(ix + 1, iy + 1), fy);
                uint32_t& d = want[static_cast<size_t>(py) * width + px];
                d = BlendOver(ModulateColour(LerpEach(left, right, fx), colour), d);
            }
        ASSERT_EQ(pixels, want) << "seed " << seed;
    }
}


// Lines of glyphs as the bitmap font writes them (two triangles a glyph,
// one texel a pixel, upright), some overlapping, some over the page's edge,
// placed on every grid the callers use, drawn whole quad by whole quad, in
// bands and on threads: the bytes that drawing every triangle on its own,
// each pixel through the clamping sampler, leaves.
TEST(GpuRasterGlyphs, GlyphQuadsDrawnWholeLeaveWhatTrianglesPixelByPixelLeave)
{
    RasterBands three(3);
    for (uint32_t seed = 1; seed <= 300; seed++) {
        std::mt19937 random(seed);
        // Wide pages whose side is no power of two put the glyphs' texture
        // coordinates a little off their texels, more than a quad can step over.
        const int wide = static_cast<int>(random() % 3);
        const int pw = (wide == 1 ? 300 : 8) + static_cast<int>(random() % (wide == 1 ? 1500 : 90));
        const int ph = (wide == 2 ? 300 : 8) + static_cast<int>(random() % (wide == 2 ? 1500 : 60));
        std::vector<uint32_t> page(static_cast<size_t>(pw) * ph);
        for (int y = 0; y < ph; y++)
            for (int x = 0; x < pw; x++) {
                // Strokes of ink with clear margins, as a font page has.
                static const uint32_t alphas[] = {0, 0, 0, 255, 0x80, 0x20, 0xFE, 0};
                const uint32_t a = (x + y / 2 + seed) % 7 < 2 ? 0 : alphas[(x * 3 + y * 5 + random() % 2) % 8];
                page[static_cast<size_t>(y) * pw + x] = a << 24 | (random() & 0xFFFFFF);
            }
        std::vector<uint8_t> runs(page.size());
        BuildAlphaRuns(page.data(), pw, ph, runs.data());
        const int width = 60 + static_cast<int>(random() % 200), height = 20 + static_cast<int>(random() % 120);
        std::vector<uint32_t> target(static_cast<size_t>(width) * height);
        for (uint32_t& p : target)
            p = random() % 2 ? 0xFFFFFECDu : static_cast<uint32_t>(random());
        static const uint32_t colours[] = {0xFF7FFF00u, 0xFFFFFFFFu, 0x80FFFFFFu, 0x7F102030u};
        const uint32_t colour = random() % 5 ? colours[random() % 4] : static_cast<uint32_t>(random());
        std::vector<RasterVertex> v;
        for (int line = 0; line < 1 + static_cast<int>(random() % 4); line++) {
            float pen = Coordinate(random, -12, static_cast<float>(width));
            const float base = Coordinate(random, -12, static_cast<float>(height));
            for (int glyph = 0; glyph < 1 + static_cast<int>(random() % 12); glyph++) {
                const int gw = static_cast<int>(random() % 14), gh = 1 + static_cast<int>(random() % 18);
                // Mostly inside the page; now and then reaching over its edge.
                const int gx = static_cast<int>(random() % (pw + 2)) - 1, gy = static_cast<int>(random() % (ph + 2)) - 1;
                const float left = pen + static_cast<float>(random() % 3), top = base + static_cast<float>(random() % 4);
                const float right = left + static_cast<float>(gw), bottom = top + static_cast<float>(gh);
                const float uL = static_cast<float>(gx) / pw, uR = static_cast<float>(gx + gw) / pw;
                const float vT = static_cast<float>(gy) / ph, vB = static_cast<float>(gy + gh) / ph;
                const RasterVertex q[6] = {{left, top, colour, uL, vT, 1},     {right, top, colour, uR, vT, 1},
                                           {right, bottom, colour, uR, vB, 1}, {right, bottom, colour, uR, vB, 1},
                                           {left, bottom, colour, uL, vB, 1},  {left, top, colour, uL, vT, 1}};
                v.insert(v.end(), q, q + 6);
                // Pens that step less than a glyph overlap its neighbour.
                pen += static_cast<float>(gw) - static_cast<float>(random() % 4) + 1;
            }
        }
        RasterJob job;
        job.target = {target.data(), width, height, width};
        job.clipX1 = width;
        job.clipY1 = height;
        if (random() % 3 == 0) {
            job.clipX0 = static_cast<int>(random() % (width / 2));
            job.clipY0 = static_cast<int>(random() % (height / 2));
        }
        job.pass.program = PixelProgram::Textured;
        job.pass.sampler = SamplerMode::Linear;
        job.texture = {page.data(), pw, ph, pw, false, random() % 4 ? runs.data() : nullptr};
        RasterRun run{job, v.data(), static_cast<int>(v.size()), true};
        auto draw = [&](bool plain, RasterBands* bands, int64_t split) {
            std::vector<uint32_t> pixels = target;
            RasterRun r = run;
            r.job.target.pixels = pixels.data();
            RasterizeOneByOne(plain);
            RasterizeTexturedPixelByPixel(plain);
            RasterizeRuns(&r, 1, bands, split);
            RasterizeOneByOne(false);
            RasterizeTexturedPixelByPixel(false);
            return pixels;
        };
        const std::vector<uint32_t> want = draw(true, nullptr, kSplitPixels);
        ASSERT_EQ(draw(false, nullptr, kSplitPixels), want) << "seed " << seed;
        ASSERT_EQ(draw(false, nullptr, 0), want) << "banded, seed " << seed;
        ASSERT_EQ(draw(false, &three, 0), want) << "threads, seed " << seed;
    }
}

// Sprites turned, scaled or at their own size, tinted by one colour or by
// their corners', with and without alpha runs and clear cells, blended both
// ways and sampled both ways, over random targets: the spans that skip
// transparent taps and go four pixels a step leave what sampling, tinting
// and blending each pixel on its own through the clamping sampler leaves.
TEST(GpuRasterTextured, FasterSpansLeaveWhatPixelByPixelLeaves)
{
    struct Plain {
        Plain() { RasterizeTexturedPixelByPixel(true); }
        ~Plain() { RasterizeTexturedPixelByPixel(false); }
    };
    for (uint32_t seed = 1; seed <= 400; seed++) {
        std::mt19937 random(seed);
        const int tw = 2 + static_cast<int>(random() % 40), th = 2 + static_cast<int>(random() % 40);
        std::vector<uint32_t> texels(static_cast<size_t>(tw) * th);
        // Blobs of one alpha class, as a symbol's outline and hollows are.
        for (int y = 0; y < th; y++)
            for (int x = 0; x < tw; x++) {
                static const uint32_t alphas[] = {0, 0, 0, 255, 255, 0x80, 0x01, 0xFE};
                uint32_t a = (x / 3 + y / 4 + seed) % 4 == 0 ? random() & 0xFF : alphas[(x / 5 * 7 + y / 3) % 8];
                texels[static_cast<size_t>(y) * tw + x] = a << 24 | (random() & 0xFFFFFF);
            }
        std::vector<uint8_t> runs(texels.size()), cells(texels.size());
        BuildAlphaRuns(texels.data(), tw, th, runs.data());
        BuildClearCells(runs.data(), tw, th, cells.data());
        const int width = 90, height = 80;
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
        for (uint32_t& p : pixels)
            p = random() % 2 ? 0xFFFFFECDu : static_cast<uint32_t>(random());
        static const uint32_t colours[] = {0xFFFFFFFFu, 0xFF7FFF00u, 0x80FFFFFFu, 0x7F102030u};
        const uint32_t colour = random() % 5 ? colours[random() % 4] : static_cast<uint32_t>(random());
        const bool cornerColours = random() % 4 == 0;
        const double angle = random() % 4 == 0 ? 0.0 : (random() % 6283) / 1000.0;
        const double scale = random() % 3 == 0 ? 1.0 : 0.5 + (random() % 200) / 100.0;
        const double cx = 10 + random() % 70 + (random() % 256) / 256.0, cy = 10 + random() % 60 + (random() % 256) / 256.0;
        RasterJob job;
        job.target = {pixels.data(), width, height, width};
        job.clipX1 = width;
        job.clipY1 = height;
        job.cull = CullFace::None;
        job.pass.program = PixelProgram::Textured;
        job.pass.sampler = random() % 4 ? SamplerMode::Linear : SamplerMode::Point;
        job.pass.blend = random() % 3 ? BlendMode::Over : BlendMode::OverStraight;
        const int lookups = static_cast<int>(random() % 4); // none, runs, runs and cells
        job.texture = {texels.data(), tw, th, tw, false, lookups ? runs.data() : nullptr,
                       lookups > 1 ? cells.data() : nullptr};
        RasterVertex corner[4];
        const float us[4] = {0, 1, 1, 0}, vs[4] = {0, 0, 1, 1};
        for (int k = 0; k < 4; k++) {
            double dx = (us[k] - 0.5) * tw * scale, dy = (vs[k] - 0.5) * th * scale;
            float x = static_cast<float>(cx + dx * std::cos(angle) - dy * std::sin(angle));
            float y = static_cast<float>(cy + dx * std::sin(angle) + dy * std::cos(angle));
            uint32_t c = cornerColours ? static_cast<uint32_t>(random()) : colour;
            corner[k] = {x, y, c, us[k], vs[k], 1};
        }
        const RasterVertex quad[6] = {corner[0], corner[1], corner[2], corner[2], corner[3], corner[0]};
        std::vector<uint32_t> want = pixels;
        RasterizeTriangleList(job, quad, 6);
        {
            Plain plain;
            job.target.pixels = want.data();
            RasterizeTriangleList(job, quad, 6);
        }
        ASSERT_EQ(pixels, want) << "seed " << seed;
    }
}

} // namespace

namespace {

// Terrain coloured by clearance bands, of every opacity (none, some, all),
// tinted, with the safe band left out or sea level left clear, along spans
// inside and reaching past the elevation tile, over random targets: the
// bands shaded four pixels a step leave what a pixel at a time leaves.
TEST(GpuRasterTerrain, BandsShadedFourPixelsAStepLeaveWhatAPixelAtATimeLeaves)
{
    for (uint32_t seed = 1; seed <= 400; seed++) {
        std::mt19937 random(seed);
        const int tw = 2 + static_cast<int>(random() % 60), th = 2 + static_cast<int>(random() % 60);
        std::vector<uint32_t> elevation(static_cast<size_t>(tw) * th);
        for (uint32_t& e : elevation)
            e = 0xFF000000u | (random() % 256) << 8 | (random() & 0xFF00FFu);
        const RasterTexture tile{elevation.data(), tw, th, tw};
        TerrainConstants t;
        t.altitude = static_cast<float>(random() % 30000);
        static const float blends[] = {1.0f, 0.5f, 0.0f, 0.73f};
        t.blendfactor = blends[random() % 4];
        t.brightness = static_cast<float>(random() % 2 ? 255 : random() % 256);
        t.mode = 1 + static_cast<int>(random() % 2);
        t.zerolimit = static_cast<int>(random() % 2);
        for (auto& c : t.color)
            for (float& k : c)
                k = static_cast<float>(random() % 256) / 255.0f;
        static const uint32_t tints[] = {0xFFFFFFFFu, 0x80FFFFFFu, 0xFF8040C0u, 0x00FFFFFFu};
        const uint32_t tint = random() % 5 ? tints[random() % 4] : static_cast<uint32_t>(random());
        const int n = 1 + static_cast<int>(random() % 200);
        std::vector<uint32_t> target(static_cast<size_t>(n));
        for (uint32_t& p : target)
            p = random() % 2 ? 0xFFFFFECDu : static_cast<uint32_t>(random());
        const double u = std::uniform_real_distribution<double>(-10, tw + 10)(random);
        const double v = std::uniform_real_distribution<double>(-10, th + 10)(random);
        const double du = std::uniform_real_distribution<double>(-2, 2)(random);
        const double dv = random() % 3 ? 0.0 : std::uniform_real_distribution<double>(-2, 2)(random);
        const BlendMode blend = random() % 4 ? BlendMode::Over : BlendMode::OverStraight;
        std::vector<uint32_t> fast = target, plain = target;
        ShadeTerrainSpan(t, tile, tint, u, v, du, dv, fast.data(), n, blend);
        RasterizeTexturedPixelByPixel(true);
        ShadeTerrainSpan(t, tile, tint, u, v, du, dv, plain.data(), n, blend);
        RasterizeTexturedPixelByPixel(false);
        ASSERT_EQ(fast, plain) << "seed " << seed;
    }
}

} // namespace
