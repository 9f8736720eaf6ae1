// Navigation tables at world size: loading 40,000 airports, 20,000 navaids
// and 200,000 fixes, and the nearest-airport query. Targets: a load within
// 200 ms, a query within 50 us. Flight plans of 300 waypoints: the file read
// within 5 ms, the route geometry rebuilt within 1 ms, the navigation step
// of a frame within 50 us.
#include "app/settings.h"
#include "navdata/nav_file_io.h"
#include "navdata/nav_tables.h"
#include "navdata/nearest_airports.h"
#include "navdata/plan_file.h"
#include "navdata/route_geometry.h"
#include "navdata/route_navigation.h"
#include "navdata/text_lines.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "simlink/msfs_link.h"
#include "simlink/sim_link.h"

#include "tests/support/temp_folder.h"

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>

namespace {

constexpr int Airports = 40000;
constexpr int Navaids = 20000;
constexpr int Fixes = 200000;

// Half of everything is spread over the world, half crowds Europe, so the
// query near Hamburg sees a dense band.
void RandomPosition(std::mt19937& random, double* lat, double* lon)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (unit(random) < 0.5) {
        *lat = -60.0 + 130.0 * unit(random);
        *lon = -180.0 + 360.0 * unit(random);
    } else {
        *lat = 35.0 + 35.0 * unit(random);
        *lon = -10.0 + 40.0 * unit(random);
    }
}

// Writes the three files once into a folder of their own.
const std::string& WorldRoot()
{
    static std::string root;
    if (!root.empty())
        return root;
    static TempFolder folder;
    root = folder.Path();
    std::filesystem::create_directories(root + "/Navdata/MSFS");
    std::mt19937 random(2024);
    std::vector<AirportRecord> airports(Airports);
    for (int i = 0; i < Airports; ++i) {
        double lat, lon;
        RandomPosition(random, &lat, &lon);
        AirportRecord& a = airports[i];
        a.kind = 1;
        a.latA = lat - 0.01;
        a.latB = lat + 0.01;
        a.lonA = lon - 0.01;
        a.lonB = lon + 0.01;
        a.runwayLength = 400.0 + (i % 30) * 100.0;
        a.surface = i % 4 == 0 ? 0 : 1;
        std::snprintf(a.icao, sizeof(a.icao), "A%05d", i);
    }
    std::vector<NavaidRecord> navaids(Navaids);
    for (int i = 0; i < Navaids; ++i) {
        RandomPosition(random, &navaids[i].lat, &navaids[i].lon);
        navaids[i].kind = 2 + i % 2;
        std::snprintf(navaids[i].ident, sizeof(navaids[i].ident), "N%03d", i % 1000);
    }
    std::vector<FixRecord> fixes(Fixes);
    for (int i = 0; i < Fixes; ++i) {
        RandomPosition(random, &fixes[i].lat, &fixes[i].lon);
        std::snprintf(fixes[i].name, sizeof(fixes[i].name), "F%05d", i % 100000);
    }
    WriteWholeFile((root + "/Navdata/MSFS/apt.bin").c_str(), BuildNavFile(airports));
    WriteWholeFile((root + "/Navdata/MSFS/navdat.bin").c_str(), BuildNavFile(navaids));
    WriteWholeFile((root + "/Navdata/MSFS/fixdat.bin").c_str(), BuildNavFile(fixes));
    return root;
}

void UseWorld()
{
    CopyText(DataFolder, sizeof(DataFolder), WorldRoot().c_str());
    Settings.NavDatabase = 6;
    Settings.UseSimulator = SimulatorMsfs;
}

void BM_LoadNavigationFiles(benchmark::State& state)
{
    UseWorld();
    for (auto _ : state) {
        FreeNavdata();
        LoadNavaids();
        LoadAirports();
        LoadFixes();
        benchmark::DoNotOptimize(GetFixCount());
    }
    state.counters["airports"] = GetAirportCount();
    state.counters["navaids"] = GetNavaidCount();
    state.counters["fixes"] = GetFixCount();
}
BENCHMARK(BM_LoadNavigationFiles)->Unit(benchmark::kMillisecond);

void BM_NearestAirports(benchmark::State& state)
{
    UseWorld();
    FreeNavdata();
    LoadAirports();
    FindNearestAirportsAround(53.636666667, 10.001, 9.5, 10.5);  // prepares the table once
    int64_t listed = 0;
    for (auto _ : state) {
        FindNearestAirportsAround(53.636666667, 10.001, 9.5, 10.5);
        listed += GetNearestAirportCount();
    }
    state.counters["listed"] = benchmark::Counter(static_cast<double>(listed), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_NearestAirports)->Unit(benchmark::kMicrosecond);

void BM_AirportRangeLookup(benchmark::State& state)
{
    UseWorld();
    FreeNavdata();
    LoadAirports();
    int32_t first, last;
    double lon = -179.5;
    for (auto _ : state) {
        FindAirportRange(&first, &last, lon, lon + 2.0);
        benchmark::DoNotOptimize(last);
        lon = lon > 177.0 ? -179.5 : lon + 1.0;
    }
}
BENCHMARK(BM_AirportRangeLookup);

// A plan of 300 waypoints across the North Atlantic: legs of 10 to 60 nm, so
// that about half are split, with turns at every waypoint.
const FlightPlanRecord& LongPlan()
{
    static FlightPlanRecord plan{};
    if (plan.count != 0)
        return plan;
    std::mt19937 random(300);
    std::uniform_real_distribution<double> jitter(-0.15, 0.15);
    plan.present = 1;
    plan.count = FlightPlanMaxWaypoints;
    plan.cruisingAltitude = 35000;
    for (int i = 0; i < plan.count; ++i) {
        FlightPlanWaypoint& w = plan.waypoints[i];
        double t = static_cast<double>(i) / (plan.count - 1);
        w.kind = i == 0 || i == plan.count - 1 ? 1 : 2 + 2 * (i % 2);
        w.lat = static_cast<float>(40.6 + 14.9 * t + jitter(random));
        w.lon = static_cast<float>(-73.8 + 73.3 * t + jitter(random) * 2);
        w.altitude = 35000;
        std::snprintf(w.ident, sizeof(w.ident), "W%03d", i % 1000);
    }
    return plan;
}

const std::string& LongPlanFile()
{
    static std::string path;
    if (!path.empty())
        return path;
    path = WorldRoot() + "/long.pln";
    char problem[128];
    WritePlnFile(path.c_str(), LongPlan(), PlanKindsXml, PlnRouteTexts{}, problem, sizeof(problem));
    return path;
}

void UseTileMap()
{
    Settings.Tile = 9;
    Settings.SatMode = 1;
    TileMapFlag = 1;
}

void BM_ReadFlightPlan300(benchmark::State& state)
{
    const std::string& path = LongPlanFile();
    FlightPlanRecord plan{};
    PlanReadOptions options;
    PlanReadResult result;
    for (auto _ : state) {
        ReadFlightPlanFile(path.c_str(), &plan, options, &result);
        benchmark::DoNotOptimize(plan.count);
    }
    state.counters["waypoints"] = plan.count;
}
BENCHMARK(BM_ReadFlightPlan300)->Unit(benchmark::kMillisecond);

void BM_RebuildRouteGeometry300(benchmark::State& state)
{
    UseTileMap();
    const FlightPlanRecord& plan = LongPlan();
    for (auto _ : state)
        BuildRoutePolyline(ViewMapProjector(), plan.waypoints, plan.count, true, 0, 0);
    state.counters["points"] = static_cast<double>(GetRoutePolylineSize());
}
BENCHMARK(BM_RebuildRouteGeometry300)->Unit(benchmark::kMicrosecond);

// One frame's step over a built route: re-projection, distances, times.
void BM_NavigationStep300(benchmark::State& state)
{
    UseTileMap();
    Settings.UseSimulator = SimulatorMsfs;
    std::memcpy(&FlightPlan, &LongPlan(), sizeof(FlightPlan));
    LinkAircraftState[LinkLatitude] = 45.0;
    LinkAircraftState[LinkLongitude] = -50.0;
    LinkAircraftState[LinkGroundSpeed] = 450 * 0.5151;
    SetActiveLegFromSimulator(120);
    RunGpsStep(ViewMapProjector(), 7, 0, 0, 1, 1);  // builds the route once
    for (auto _ : state) {
        BeginGpsFrame();
        RunGpsStep(ViewMapProjector(), 7, 0, 0, 1, 1);
        benchmark::DoNotOptimize(GpsState.GpsDistanceNm);
    }
    state.counters["routePoints"] = static_cast<double>(GetRoutePolylineSize());
}
BENCHMARK(BM_NavigationStep300)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
