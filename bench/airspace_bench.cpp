// Airspaces and airways at world size: a source of 20,000 airspaces and
// 50,000 airway segments (generated; half spread over the world, half
// crowding Europe), the load of a view round Hamburg as the loader threads
// run it, the whole hand-over from the frame's request to the list taken,
// and the layers' draw of 500 visible airspaces and of the view's airways
// at 1920 x 1080, on a still map and on one whose centre moves every frame
// (also without the software renderer's pixel fill), and the layer's own
// projection of the outlines and placing of those it kept. Targets: a view's
// load within 50 ms; on the moving map 500 airspaces within 4 ms on one core
// and 2 ms on 4 raster threads, the airways within 2 ms and 1 ms
// (TVL_RASTER_THREADS=1 measures one core).
#include "app/program_root.h"
#include "app/settings.h"
#include "display/airspace_layers.h"
#include "display/draw_helpers.h"
#include "display/frame_renderer.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/sprite_table.h"
#include "navdata/airspaces.h"
#include "navdata/airways.h"
#include "navdata/nav_file_io.h"
#include "navdata/simulators.h"
#include "navdata/text_lines.h"
#include "platform/gpu/gpu_inspect.h"
#include "render/device.h"
#include "tests/display/map_centre.h"

#include "tests/support/temp_folder.h"

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

namespace {

constexpr int Airspaces = 20000;
constexpr int Segments = 50000;
constexpr int VisibleAirspaces = 500;
constexpr int Width = 1920, Height = 1080;

void RandomPosition(std::mt19937& random, double* lat, double* lon)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (unit(random) < 0.5) {
        *lat = -60.0 + 130.0 * unit(random);
        *lon = -179.0 + 358.0 * unit(random);
    } else {
        *lat = 35.0 + 35.0 * unit(random);
        *lon = -10.0 + 40.0 * unit(random);
    }
}

AirspaceRecord Circle(std::mt19937& random, double lat, double lon, double radius)
{
    static const char* const classes[] = {"A", "B", "C", "D", "E", "F", "G", "R", "CTR"};
    std::uniform_int_distribution<int> pick(0, 8), points(24, 72);
    AirspaceRecord a;
    int k = pick(random);
    CopyText(a.airspaceClass, sizeof a.airspaceClass, classes[k]);
    std::snprintf(a.name, sizeof a.name, "AIRSPACE %.2f %.2f", lat, lon);
    CopyText(a.lower, sizeof a.lower, "GND");
    CopyText(a.upper, sizeof a.upper, "FL100");
    a.frequency = k == 8 ? 118500 : 0;
    int n = points(random);
    double c = std::max(std::cos(lat * 0.0174533), 0.2);
    for (int i = 0; i <= n; ++i) {
        double t = 2 * 3.14159265 * i / n;
        a.points.push_back({lat + radius * std::cos(t), lon + radius * std::sin(t) / c});
    }
    a.latMin = lat - radius;
    a.latMax = lat + radius;
    a.lonMin = lon - radius / c;
    a.lonMax = lon + radius / c;
    return a;
}

// Writes the source once into a folder of its own and makes it the data root.
const std::string& WorldRoot()
{
    static std::string root;
    if (!root.empty())
        return root;
    static TempFolder folder;
    root = folder.Path();
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> radius(0.05, 0.5), length(0.2, 1.5), turn(0, 6.283);
    std::vector<AirspaceRecord> airspaces;
    for (int i = 0; i < Airspaces; ++i) {
        double lat, lon;
        RandomPosition(random, &lat, &lon);
        airspaces.push_back(Circle(random, lat, lon, radius(random)));
    }
    AirspaceFiles files = BuildAirspaceFiles(airspaces);
    std::filesystem::create_directories(root + "/Navdata/MSFS/HighAltitude");
    WriteWholeFile((root + "/Navdata/MSFS/Airspace.txt").c_str(), std::vector<uint8_t>(files.text.begin(), files.text.end()));
    WriteWholeFile((root + "/Navdata/MSFS/Airspace.idx").c_str(), files.index);
    std::vector<AirwaySegment> segments;
    for (int i = 0; i < Segments; ++i) {
        AirwaySegment s;
        RandomPosition(random, &s.startLat, &s.startLon);
        double d = length(random), b = turn(random);
        s.endLat = std::clamp(s.startLat + d * std::cos(b), -89.0, 89.0);
        s.endLon = std::clamp(s.startLon + d * std::sin(b), -180.0, 180.0);
        std::snprintf(s.startIdent, sizeof s.startIdent, "W%05d", i % 100000);
        std::snprintf(s.endIdent, sizeof s.endIdent, "E%05d", i % 100000);
        std::snprintf(s.name, sizeof s.name, "UL%d", i % 1000);
        s.first = 245;
        s.second = 460;
        s.third = 2;
        segments.push_back(s);
    }
    for (const auto& [degree, text] : BuildAirwayFiles(segments)) {
        char name[32];
        FormatAirwayFileName(name, sizeof name, degree);
        WriteWholeFile((root + "/Navdata/MSFS/HighAltitude/" + name).c_str(),
                       std::vector<uint8_t>(text.begin(), text.end()));
    }
    CopyText(DataFolder, sizeof DataFolder, root.c_str());
    Settings.NavDatabase = 6;
    Settings.UseSimulator = SimulatorMsfs;
    Settings.NavAirways = 1;
    std::strcpy(Settings.SelectedAirspace, "ABCDEFGR");
    return root;
}

// The whole degrees of a view at zoom 9 round Hamburg, and the next one east.
const WholeDegrees HamburgView = UpdateViewDegrees(52.6, 54.7, 8.2, 11.8);

void BM_AirspaceViewLoad(benchmark::State& state)
{
    WorldRoot();
    char source[512], common[512];
    FormatAirspacePaths(source, common, sizeof source, 6);
    AirspaceText text;
    if (!OpenAirspaceFile(source, common, &text)) {
        state.SkipWithError("no airspace file");
        return;
    }
    std::atomic<bool> stop{false};
    size_t kept = 0;
    for (auto _ : state) {
        std::vector<AirspaceRecord> out;
        LoadAirspacesInView(text, HamburgView, "ABCDEFGR", &out, stop);
        kept = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    size_t start = 0, end = 0;
    SelectAirspaceRange(text, HamburgView, &start, &end);
    state.counters["airspaces_kept"] = static_cast<double>(kept);
    state.counters["text_MB_scanned"] = (end - start) / 1e6;
    state.counters["text_MB"] = text.bytes.size() / 1e6;
}
BENCHMARK(BM_AirspaceViewLoad)->Unit(benchmark::kMillisecond);

void BM_AirwayViewLoad(benchmark::State& state)
{
    WorldRoot();
    AirwayFolders folders = GetAirwayFolders(1);
    WholeDegrees view = UpdateViewDegrees(51.6, 55.7, 8.2, 11.8);  // latitudes widened by a degree
    std::atomic<bool> stop{false};
    size_t kept = 0;
    for (auto _ : state) {
        std::vector<AirwaySegment> out;
        LoadAirwaysInView(folders, view, &out, stop);
        kept = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["segments_kept"] = static_cast<double>(kept);
}
BENCHMARK(BM_AirwayViewLoad)->Unit(benchmark::kMillisecond);

// From the frame's request for a view in other whole degrees to the loaded
// list taken by the layer: thread start, the load, the hand-over.
void BM_AirspaceLoaderHandOver(benchmark::State& state)
{
    WorldRoot();
    FreeAirspaces();
    int k = 0;
    auto loadView = [&k] {
        double east = (k++ % 2) * 4.0;
        UpdateAirspaces(52.6, 54.7, 11.8 + east, 8.2 + east);
        while (!TakeNewAirspaceList())
            std::this_thread::sleep_for(std::chrono::microseconds(50));
    };
    loadView();  // the text is read once, by the first load
    for (auto _ : state)
        loadView();
    state.counters["airspaces_kept"] = static_cast<double>(GetDrawnAirspaces().size());
    StopAirspaceLoader();
}
BENCHMARK(BM_AirspaceLoaderHandOver)->Unit(benchmark::kMillisecond)->UseRealTime();

// The headless renderer centred on Hamburg at zoom 9, with the layers' lists
// loaded: the world's airways, and 500 airspaces inside the view.
bool PrepareLayers()
{
    static bool ready = false;
    if (ready)
        return true;
    const std::string& root = WorldRoot();
    std::snprintf(ProgramRoot, 512, "%s", TVL_ROOT_DIR);
    SetHeadlessClientSize(Width, Height);
    if (InitD3D(nullptr) != 0 || !LoadSpriteTable(TVL_ROOT_DIR, 1))
        return false;
    Settings.Dimlevel = 255;
    Settings.DeClutter = 0;
    Settings.RenderToTexture = 0;
    Settings.NavASPInfo = 0;
    Settings.CTR = 1;
    SetUpTileMapView(53.63, 10.0, 9);
    CurrentFrame.width = Width;
    CurrentFrame.height = Height;
    double west = 0, east = 0, north = 0, south = 0;
    if (!GetVisibleMapBounds(&west, &east, &north, &south, Width, Height, FrameZoom))
        return false;
    // 500 airspaces of 3 to 12 nm inside the screen's part of the view.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> lat(53.2, 54.1), lon(9.0, 11.0), radius(0.05, 0.2);
    std::vector<AirspaceRecord> visible;
    for (int i = 0; i < VisibleAirspaces; ++i)
        visible.push_back(Circle(random, lat(random), lon(random), radius(random)));
    std::string folder = root + "/visible";
    std::filesystem::create_directories(folder + "/Navdata/MSFS");
    AirspaceFiles files = BuildAirspaceFiles(visible);
    WriteWholeFile((folder + "/Navdata/MSFS/Airspace.txt").c_str(),
                   std::vector<uint8_t>(files.text.begin(), files.text.end()));
    WriteWholeFile((folder + "/Navdata/MSFS/Airspace.idx").c_str(), files.index);
    CopyText(DataFolder, sizeof DataFolder, folder.c_str());
    FreeAirspaces();
    while (!UpdateAirspaces(south, north, east, west))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    TakeNewAirspaceList();
    CopyText(DataFolder, sizeof DataFolder, root.c_str());
    ClearAirways();
    while (!UpdateAirways(south - 1, north + 1, east, west))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    TakeNewAirwayList();
    ready = GetDrawnAirspaces().size() == static_cast<size_t>(VisibleAirspaces);
    return ready;
}

void BM_AirspaceLayerDraw(benchmark::State& state)
{
    if (!PrepareLayers()) {
        state.SkipWithError("no layers");
        return;
    }
    for (auto _ : state) {
        ClearTarget(0xFFFFFECDu);
        DrawAirspaceLabels(0, 0, 1, 0);
    }
    state.counters["airspaces"] = static_cast<double>(GetDrawnAirspaces().size());
}
BENCHMARK(BM_AirspaceLayerDraw)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AirwayLayerDraw(benchmark::State& state)
{
    if (!PrepareLayers()) {
        state.SkipWithError("no layers");
        return;
    }
    for (auto _ : state) {
        ClearTarget(0xFFFFFECDu);
        DrawAirwayLabels(0, Width, Height, 0, 0);
    }
    state.counters["segments"] = static_cast<double>(GetDrawnAirways().size());
}
BENCHMARK(BM_AirwayLayerDraw)->Unit(benchmark::kMillisecond)->UseRealTime();

// The map centre following an aircraft: every frame it moves on along a
// wide circle, by about a third of a pixel (fraction) or by whole pixels,
// never to a place it had before, so nothing drawn last frame is valid.
struct MovingCentre {
    double x0 = CentreMapX, y0 = CentreMapY;
    bool whole;
    int64_t frame = 0;

    explicit MovingCentre(bool wholePixels) : whole(wholePixels) {}
    ~MovingCentre()
    {
        CentreMapX = x0;
        CentreMapY = y0;
    }
    void Step()
    {
        const double radius = whole ? 200.0 : 100.0, turn = whole ? 0.01 : 0.0037;
        double a = turn * static_cast<double>(++frame);
        double dx = radius * (std::cos(a) - 1), dy = radius * std::sin(a);
        CentreMapX = x0 + (whole ? std::round(dx) : dx);
        CentreMapY = y0 + (whole ? std::round(dy) : dy);
    }
};

// One frame of a layer on the moving map, rasterized before it returns (a
// function of its own, so an instruction count can be taken of it alone).
__attribute__((noinline)) void DrawMovingFrame(MovingCentre& centre, bool airways)
{
    centre.Step();
    ClearTarget(0xFFFFFECDu);
    if (airways)
        DrawAirwayLabels(0, Width, Height, 0, 0);
    else
        DrawAirspaceLabels(0, 0, 1, 0);
    RenderDevice.context->Flush();
}

void BM_AirspaceLayerDrawMoving(benchmark::State& state)
{
    if (!PrepareLayers()) {
        state.SkipWithError("no layers");
        return;
    }
    MovingCentre centre(state.range(0) != 0);
    for (auto _ : state)
        DrawMovingFrame(centre, false);
    state.counters["airspaces"] = static_cast<double>(GetDrawnAirspaces().size());
}
BENCHMARK(BM_AirspaceLayerDrawMoving)->ArgName("whole_pixels")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AirwayLayerDrawMoving(benchmark::State& state)
{
    if (!PrepareLayers()) {
        state.SkipWithError("no layers");
        return;
    }
    MovingCentre centre(state.range(0) != 0);
    for (auto _ : state)
        DrawMovingFrame(centre, true);
    state.counters["segments"] = static_cast<double>(GetDrawnAirways().size());
}
BENCHMARK(BM_AirwayLayerDrawMoving)->ArgName("whole_pixels")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The layer's own geometry of a frame when its list or the projection has
// just changed: every point of the 500 airspaces projected to the screen.
void BM_AirspaceProjection(benchmark::State& state)
{
    if (!PrepareLayers()) {
        state.SkipWithError("no layers");
        return;
    }
    size_t points = 0;
    for (auto _ : state) {
        points = 0;
        const double s = static_cast<double>(FrameZoom) * MapScale;
        for (const AirspaceRecord& a : GetDrawnAirspaces())
            for (const AirspacePoint& p : a.points) {
                double dx = 0, dy = 0;
                ProjectToScreenOffset(&dx, &dy, p.lon, p.lat);
                ScreenPointBuffer[points % ScreenPointCapacity] = {static_cast<float>(ScreenCentre.x + s * dx),
                                                                   static_cast<float>(ScreenCentre.y + s * dy), 0};
                ++points;
            }
        benchmark::DoNotOptimize(ScreenPointBuffer);
    }
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_AirspaceProjection)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same points on a moving map: their map pixels kept from the frame
// before, only placed round the centre, as the layer does then.
void BM_AirspacePlacement(benchmark::State& state)
{
    if (!PrepareLayers()) {
        state.SkipWithError("no layers");
        return;
    }
    std::vector<std::pair<double, double>> pixels;
    for (const AirspaceRecord& a : GetDrawnAirspaces())
        for (const AirspacePoint& p : a.points) {
            double x = 0, y = 0;
            LatLonToMapPixel(&x, &y, p.lon, p.lat);
            pixels.emplace_back(x, y);
        }
    for (auto _ : state) {
        const MapCentreOffset centre = TakeMapCentreOffset();
        const double s = static_cast<double>(FrameZoom) * MapScale;
        size_t k = 0;
        for (const auto& [x, y] : pixels) {
            double dx = 0, dy = 0;
            OffsetFromMapCentre(centre, x, y, &dx, &dy);
            ScreenPointBuffer[k++ % ScreenPointCapacity] = {static_cast<float>(ScreenCentre.x + s * dx),
                                                             static_cast<float>(ScreenCentre.y + s * dy), 0};
        }
        benchmark::DoNotOptimize(ScreenPointBuffer);
    }
    state.counters["points"] = static_cast<double>(pixels.size());
}
BENCHMARK(BM_AirspacePlacement)->Unit(benchmark::kMillisecond)->UseRealTime();

// The moving map's draws with the screen's viewport into a target of one
// pixel: the layers' own work and the renderer's vertex and triangle set-up
// on the screen's geometry, without the pixel fill, which the software
// renderer does on the processor where a graphics card would do it.
class OnePixelTarget {
public:
    OnePixelTarget()
    {
        D3D11_TEXTURE2D_DESC d{};
        d.Width = d.Height = 1;
        d.MipLevels = d.ArraySize = 1;
        d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        d.SampleDesc.Count = 1;
        d.BindFlags = D3D11_BIND_RENDER_TARGET;
        if (SUCCEEDED(RenderDevice.device->CreateTexture2D(&d, nullptr, &texture_)))
            RenderDevice.device->CreateRenderTargetView(texture_, nullptr, &view_);
        if (view_)
            RenderDevice.context->OMSetRenderTargets(1, &view_, nullptr);
    }
    ~OnePixelTarget()
    {
        RenderDevice.context->OMSetRenderTargets(1, &RenderDevice.backBufferView, nullptr);
        if (view_)
            view_->Release();
        if (texture_)
            texture_->Release();
    }
    bool Bound() const { return view_ != nullptr; }

private:
    ID3D11Texture2D* texture_ = nullptr;
    ID3D11RenderTargetView* view_ = nullptr;
};

void DrawLayerWithoutFill(benchmark::State& state, bool airways)
{
    if (!PrepareLayers()) {
        state.SkipWithError("no layers");
        return;
    }
    MovingCentre centre(false);
    OnePixelTarget target;
    if (!target.Bound()) {
        state.SkipWithError("no one-pixel target");
        return;
    }
    for (auto _ : state) {
        centre.Step();
        if (airways)
            DrawAirwayLabels(0, Width, Height, 0, 0);
        else
            DrawAirspaceLabels(0, 0, 1, 0);
        RenderDevice.context->Flush();
    }
}

void BM_AirspaceLayerWithoutFill(benchmark::State& state)
{
    DrawLayerWithoutFill(state, false);
}
BENCHMARK(BM_AirspaceLayerWithoutFill)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AirwayLayerWithoutFill(benchmark::State& state)
{
    DrawLayerWithoutFill(state, true);
}
BENCHMARK(BM_AirwayLayerWithoutFill)->Unit(benchmark::kMillisecond)->UseRealTime();

// A clear alone, to take from the draws above.
void BM_ClearOnly(benchmark::State& state)
{
    if (!PrepareLayers()) {
        state.SkipWithError("no layers");
        return;
    }
    for (auto _ : state)
        ClearTarget(0xFFFFFECDu);
}
BENCHMARK(BM_ClearOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
