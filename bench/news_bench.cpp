// What the news check adds to a display start when the web server cannot be
// reached (the target: under 100 ms): a refused local port, and hosts not
// reached at all. Each run is a new day, so every run asks.
#include "app/news_check.h"

#include "app/program_root.h"
#include "app/settings.h"
#include "maps/tile_sources.h"

#include "tests/support/free_ports.h"
#include "tests/support/temp_folder.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void Prepare()
{
    static TempFolder temp;
    std::string folder = temp.Path().empty() ? "/tmp" : temp.Path();
    std::snprintf(SystemFolder, sizeof SystemFolder, "%s", folder.c_str());
    std::snprintf(IniFilePath, sizeof IniFilePath, "%s/Plovik.ini", folder.c_str());
    if (chdir(folder.c_str()) != 0)
        std::perror(folder.c_str());
}

void NewsCheckRefusedPort(benchmark::State& state)
{
    Prepare();
    std::string map = std::string(GetMakerServerHost()) + "=127.0.0.1:" + std::to_string(ClosedTcpPort());
    setenv("TVL_HOST_MAP", map.c_str(), 1);
    long day = 2026001;
    for (auto _ : state)
        CheckForNewsOn(day++);
}
BENCHMARK(NewsCheckRefusedPort)->Unit(benchmark::kMillisecond);

void NewsCheckHostNotReached(benchmark::State& state)
{
    Prepare();
    setenv("TVL_HOST_MAP", "none", 1);
    long day = 2026001;
    for (auto _ : state)
        CheckForNewsOn(day++);
}
BENCHMARK(NewsCheckHostNotReached)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
