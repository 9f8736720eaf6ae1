// The traffic pass and the traffic layer at full load: 400 aircraft in the
// traffic table round the own aircraft (moving, so every closure rate and
// extrapolation is worked out), one pass a frame; then a 1920 x 1080 frame
// (map tiles, aircraft, present) with and without 400 drawn targets, in AI
// mode (aircraft symbols, leader lines and two-line labels) and in TCAS mode
// (class symbols). Prints the median milliseconds of each frame (real time,
// and processor time counting the raster threads) and the difference the
// targets make. "--frames N" only draws the frame with 400 AI targets N
// times (for profiles and instruction counts from outside).
#include "app/program_root.h"
#include "app/settings.h"
#include "simlink/traffic_mode.h"
#include "display/frame_renderer.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/sprite_table.h"
#include "display/track_traffic_layer.h"
#include "navdata/simulators.h"
#include "render/device.h"
#include "render/quads.h"
#include "render/textures.h"
#include "simlink/msfs_link.h"
#include "simlink/traffic_advisory.h"
#include "simlink/traffic_table.h"
#include "tests/simlink/proxy_datagrams.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <time.h>

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr double Lat0 = 53.636666667, Lon0 = 10.001;

int32_t NoSound(int32_t) { return 0; }

// 400 aircraft within 30 nm and 1200 ft, each with a report history.
void FillTrafficTable()
{
    ResetTrafficTable();
    for (uint32_t i = 0; i < TrafficSlotCount; ++i) {
        double bearing = i * 2.399963;  // spread like seeds in a flower head
        double range = 0.5 + 29.0 * std::sqrt((i + 0.5) / TrafficSlotCount);
        for (int report = 0; report < 8; ++report) {
            double r = range - 0.15 * report;
            TrafficValues v{};
            v.latitude = Lat0 + r * 1852 * std::cos(bearing) / 111110;
            v.longitude = Lon0 + r * 1852 * std::sin(bearing) / (111110 * std::cos(Lat0 * 0.0174533));
            v.altitude = 3000 + (static_cast<int>(i) % 5 - 2) * 300;
            v.verticalSpeed = (i % 3) - 1.0;
            v.headingRad = std::fmod(bearing + 3.14159, 6.28318);
            v.groundSpeed = 80 + i % 200;
            char callsign[16];
            std::snprintf(callsign, sizeof callsign, "TVL%03u", i);
            MergeTrafficReport(1000 + i, callsign, v, 100.0 + report, 1);
        }
    }
}

TrafficPassInputs PassInputs(double t)
{
    TrafficPassInputs in;
    in.now = in.simClock = t;
    in.ownAltitude = 3000;
    in.centreLatitude = Lat0;
    in.centreLongitude = Lon0;
    in.playSound = NoSound;
    return in;
}

void BM_TrafficPass400(benchmark::State& state)
{
    FillTrafficTable();
    ResetTrafficAdvisory();
    double t = 110;
    for (auto _ : state) {
        RunTrafficPass(PassInputs(t));
        t += 0.02;
    }
    state.counters["targets"] = TrafficTargetList.count.load();
}
BENCHMARK(BM_TrafficPass400)->Unit(benchmark::kMicrosecond);

// 400 targets spread over the screen, all on it.
void FillTargetList(bool classes)
{
    ClearTrafficTargets();
    for (int i = 0; i < TrafficTargetMax; ++i) {
        TrafficTarget& t = TrafficTargetList.targets[i];
        t = TrafficTarget{};
        t.x = (i * 97) % 1800 - 900;
        t.y = (i * 53) % 1000 - 500;
        t.heading = i * 0.3;
        t.trafficClass = classes ? static_cast<uint32_t>(i % 12) : TrafficClassNone;
        std::snprintf(t.callsign, sizeof t.callsign, "TVL%03d", i);
        t.groundSpeed = 150;
        t.altitude = 3500;
        TrafficTargetList.count = i + 1;
    }
}

ID3D11ShaderResourceView* g_tile = nullptr;

// The frame without the layers that do not matter here: 35 map tiles and
// the aircraft, with or without the traffic layer.
void DrawFrameWith(bool targets)
{
    ClearTarget(0xFFFFFECDu);
    for (int ty = -3; ty <= 3; ty++)
        for (int tx = -2; tx <= 2; tx++) {
            ScreenRect r{320.0f + tx * 400 - 200, 320.0f + tx * 400 + 200, 240.0f + ty * 160 - 80,
                         240.0f + ty * 160 + 80};
            DrawTexturedQuadRotated(g_tile, &r, 0xFFFFFFFFu, 0.0f, QuadPlacement::MapPixels);
        }
    BackgroundDrawn = 1;
    if (targets)
        DrawTrafficTargets(0.0f, 0.0f);
    PresentFrame();
}

double RealMs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Processor time of all the program's threads: on a loaded machine the
// real time also counts the waits for a core.
double CpuMs()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct FrameTimes {
    double real, cpu; // medians, ms
};

FrameTimes MedianFrameMs(bool targets)
{
    std::vector<double> real, cpu;
    for (int i = 0; i < 61; ++i) {
        double t0 = RealMs(), c0 = CpuMs();
        DrawFrameWith(targets);
        real.push_back(RealMs() - t0);
        cpu.push_back(CpuMs() - c0);
    }
    std::sort(real.begin(), real.end());
    std::sort(cpu.begin(), cpu.end());
    return {real[real.size() / 2], cpu[cpu.size() / 2]};
}

// The frame without targets, with 400 AI targets and with 400 TCAS targets.
void ReportFrames()
{
    FrameTimes without = MedianFrameMs(false);
    TrafficDisplayMode = 2;
    TrafficLabels = 1;
    FillTargetList(false);
    FrameTimes ai = MedianFrameMs(true);
    TrafficDisplayMode = 1;
    TrafficLabels = 0;
    FillTargetList(true);
    FrameTimes tcas = MedianFrameMs(true);
    std::printf("frame 1920x1080 without targets: median %.2f ms real, %.2f ms CPU\n", without.real, without.cpu);
    std::printf("  with 400 AI targets (symbols, leader lines, labels): median %.2f ms, %+.2f ms real; %.2f ms, "
                "%+.2f ms CPU\n",
                ai.real, ai.real - without.real, ai.cpu, ai.cpu - without.cpu);
    std::printf("  with 400 TCAS targets (class symbols): median %.2f ms, %+.2f ms real; %.2f ms, %+.2f ms CPU\n",
                tcas.real, tcas.real - without.real, tcas.cpu, tcas.cpu - without.cpu);
}

}  // namespace

int main(int argc, char** argv)
{
    int frames = -1;
    for (int i = 1; i + 1 < argc; i++)
        if (std::strcmp(argv[i], "--frames") == 0)
            frames = std::atoi(argv[i + 1]);
    if (frames < 0) {
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
    }

    std::snprintf(ProgramRoot, 512, "%s", TVL_ROOT_DIR);
    SetHeadlessClientSize(kWidth, kHeight);
    if (InitD3D(nullptr) != 0 || !LoadSpriteTable(TVL_ROOT_DIR, 1)) {
        std::fprintf(stderr, "traffic_bench: the renderer did not start\n");
        return 1;
    }
    std::string tile = std::string(TVL_ROOT_DIR) + "/System/notile.jpg";
    uint8_t loaded = 0;
    int w = 0, h = 0;
    g_tile = LoadTexture(tile.c_str(), &loaded, &w, &h, -1);
    Settings.Dimlevel = 255;
    Settings.AirportChart = 0;
    Settings.AirportOverlay = 1;
    ScreenCentre = {320, 240};
    FrameZoom = 1.0f;
    MapScale = 1.0f;
    // The layer draws for a connected simulator: the MSFS link takes a
    // registration and a state as the proxy would send them.
    Settings.UseSimulator = SimulatorMsfs;
    auto registered = ShortReply(MsgRegistered, 1);
    HandleMsfsDatagram(registered.data(), registered.size());
    auto state = StateDatagram(Lat0, Lon0);
    HandleMsfsDatagram(state.data(), state.size());

    if (frames >= 0) {
        TrafficDisplayMode = 2;
        TrafficLabels = 1;
        FillTargetList(false);
        for (int i = 0; i < frames; i++)
            DrawFrameWith(true);
    } else {
        ReportFrames();
    }
    if (g_tile)
        g_tile->Release();
    ReleaseDisplayBitmaps();
    CleanupD3D();
    if (frames < 0)
        benchmark::Shutdown();
    return 0;
}
