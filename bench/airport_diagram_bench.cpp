// The airport diagram of a large generated airport (10 runways, 400 parking
// positions, 300 pavement outlines with painted lines among them) drawn at
// 1920 x 1080 in the diagram view, and over the map at two zooms. Prints the
// median milliseconds of a draw (real time, counting the raster threads).
#include "app/program_root.h"
#include "app/settings.h"
#include "display/airport_diagram.h"
#include "display/frame_renderer.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/sprite_table.h"
#include "navdata/airport_details.h"
#include "navdata/nav_file_io.h"
#include "navdata/nav_tables.h"
#include "navdata/simulators.h"
#include "navdata/text_lines.h"
#include "navdata/zip_writer.h"
#include "render/device.h"

#include "tests/support/temp_folder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr double Lat0 = 40.0, Lon0 = -100.0;
constexpr double MetresPerDegree = 111320.0;

std::string g_root;

std::string Point(double east, double north)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.7f %.7f\n", Lat0 + north / MetresPerDegree,
                  Lon0 + east / (MetresPerDegree * std::cos(Lat0 * M_PI / 180)));
    return text;
}

// Ten parallel runways 4 km long, 60 m wide, 400 m apart, with ILS at one end.
std::string Runways()
{
    std::string rows;
    for (int i = 0; i < 10; ++i) {
        double x = -1800 + 400.0 * i;
        char head[96];
        std::snprintf(head, sizeof head, "100 4000.0 60.0 %d IB%d 110.%d0 ", i % 3 == 2 ? 2 : 1, i, i);
        std::string row = head;
        for (auto [e, n] : {std::pair{x - 30, -2000.0}, {x + 30, -2000.0}, {x + 30, 2000.0}, {x - 30, 2000.0}}) {
            std::string p = Point(e, n);
            row += p.substr(0, p.size() - 1) + " ";
        }
        std::string step = Point(0, 20), base = Point(0, 0);
        double stepLat = 20 / MetresPerDegree;
        char tail[160];
        std::snprintf(tail, sizeof tail, "%.7f 0.0 %s %02dL 0.0 110.%d0 %02dR 3.1416 IA%d\n", stepLat,
                      Point(x - 30, 0).substr(0, Point(x - 30, 0).size() - 1).c_str(), 18 + i % 18, i, i % 18, i);
        rows += row + tail;
    }
    return rows;
}

// 300 outlines: 200 apron blocks of 4 triangles, 100 painted lines of 12 points.
std::string Pavements()
{
    std::string rows;
    for (int i = 0; i < 200; ++i) {
        double x = -2000 + (i % 20) * 200.0, y = 2300 + (i / 20) * 120.0;
        rows += "110 1 12 0 0 0 0 Apron\n";
        double cx = x + 80, cy = y + 50;
        std::pair<double, double> ring[4] = {{x, y}, {x + 160, y}, {x + 160, y + 100}, {x, y + 100}};
        for (int k = 0; k < 4; ++k) {
            rows += Point(cx, cy);
            rows += Point(ring[k].first, ring[k].second);
            rows += Point(ring[(k + 1) % 4].first, ring[(k + 1) % 4].second);
        }
    }
    for (int i = 0; i < 100; ++i) {
        char head[64];
        std::snprintf(head, sizeof head, "110 0 12 0 0 0 FF00FFFF T%d\n", i);
        rows += head;
        for (int k = 0; k < 12; ++k)
            rows += Point(-2000 + (i % 10) * 400.0 + k * 30, 2250 + (i / 10) * 120.0 + (k % 2) * 10);
    }
    return rows;
}

std::string Parking()
{
    std::string rows = "150 400\n";
    for (int i = 0; i < 400; ++i) {
        std::string p = Point(-2000 + (i % 40) * 100.0, 2320 + (i / 40) * 120.0);
        char tail[64];
        std::snprintf(tail, sizeof tail, " 180.0 40 FF00C0FF %d Stand\n", i + 1);
        rows += p.substr(0, p.size() - 1) + tail;
    }
    return rows;
}

bool SetUpAirport()
{
    std::snprintf(ProgramRoot, 512, "%s", TVL_ROOT_DIR);
    static TempFolder folder;
    if (folder.Path().empty())
        return false;
    g_root = folder.Path();
    CopyText(DataFolder, sizeof DataFolder, g_root.c_str());
    Settings.NavDatabase = 6;
    Settings.UseSimulator = SimulatorMsfs;
    std::filesystem::create_directories(g_root + "/Navdata/MSFS/Default");
    std::string entry = "1 100 KBIG 5.0 40.0 -100.0 BIG Big_City Big_Airport Nowhere\n" + Runways() + Pavements() +
                        "190 2\n" + Point(500, 2200) + Point(-500, 2200) + Parking();
    if (!WriteZipArchive((g_root + "/Navdata/MSFS/Default/K.zip").c_str(), {{"K/KBIG.txt", entry}}))
        return false;
    AirportRecord a{};
    a.kind = 1;
    a.lonA = Lon0 - 0.03;
    a.lonB = Lon0 + 0.03;
    a.latA = Lat0 - 0.02;
    a.latB = Lat0 + 0.04;
    a.runwayLength = 4000;
    a.surface = 1;
    CopyText(a.icao, sizeof a.icao, "KBIG");
    if (!WriteWholeFile((g_root + "/Navdata/MSFS/apt.bin").c_str(), BuildNavFile(std::vector<AirportRecord>{a})))
        return false;
    LoadAirports();
    SetHeadlessClientSize(kWidth, kHeight);
    if (InitD3D(nullptr) != 0 || !LoadSpriteTable(TVL_ROOT_DIR, 1))
        return false;
    CopyText(Settings.SelectedAirport, sizeof Settings.SelectedAirport, "KBIG");
    Settings.NavAirport = 1;
    Settings.Dimlevel = 255;
    Settings.Parkposition = -1;
    Settings.TaxiwayZoomfactor = 1.0;
    Settings.Tile = 14;
    Settings.SatMode = 1;
    TileMapFlag = 1;
    FrameZoom = 1.0f;
    MapScale = 1.0f;
    ScreenCentre = {320, 240};
    MapCenter.latitude = Lat0 + 0.01;
    MapCenter.longitude = Lon0;
    double x = 0, y = 0;
    LatLonToMapPixel(&x, &y, Lon0, Lat0 + 0.01);
    CentreMapX = x;
    CentreMapY = y;
    ComputePixelsPerDegree();
    return LoadAirportDetails("KBIG") && GetAirportDetail().parking.size() == 400 &&
           GetAirportDetail().pavements.size() == 300 && GetAirportDetail().runways.size() == 10;
}

void DrawOnce(benchmark::State& state)
{
    ClearTarget(0xFF000000u);
    DrawAirportDiagram(kWidth, kHeight, 0);
    benchmark::ClobberMemory();
    (void)state;
}

void BM_DiagramLargeAirport(benchmark::State& state)
{
    Settings.AirportOverlay = 0;
    for (auto _ : state)
        DrawOnce(state);
}
BENCHMARK(BM_DiagramLargeAirport)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

void BM_OverlayLargeAirport(benchmark::State& state)
{
    Settings.AirportOverlay = 1;
    Settings.Tile = static_cast<int>(state.range(0));
    ComputePixelsPerDegree();
    for (auto _ : state)
        DrawOnce(state);
}
BENCHMARK(BM_OverlayLargeAirport)->Arg(13)->Arg(15)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (!SetUpAirport()) {
        std::fprintf(stderr, "cannot set up the generated airport\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    FreeNavdata();
    std::filesystem::remove_all(g_root);
    return 0;
}
