// Profile API throughput: the settings writer's run of ~250 key writes into
// one INI file, and the reader's look-ups of an unchanged file.
#include "platform/ini_sections.h"
#include "platform/profile.h"

#include "tests/support/temp_folder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string MakeIni()
{
    static TempFolder temp;
    std::string folder = temp.Path().empty() ? "/tmp" : temp.Path();
    std::string path = folder + "/Plovik.ini";
    for (int i = 0; i < 250; i++)
        WritePrivateProfileStringA(MainSection, ("Key" + std::to_string(i)).c_str(), "0", path.c_str());
    return path;
}

void SettingsWriterRun(benchmark::State& state)
{
    std::string path = MakeIni();
    int round = 0;
    for (auto _ : state) {
        std::string value = std::to_string(round++);
        for (int i = 0; i < 250; i++)
            WritePrivateProfileStringA(MainSection, ("Key" + std::to_string(i)).c_str(), value.c_str(), path.c_str());
    }
    state.SetItemsProcessed(state.iterations() * 250);
}
BENCHMARK(SettingsWriterRun)->Unit(benchmark::kMillisecond);

void ReaderLookUps(benchmark::State& state)
{
    std::string path = MakeIni();
    char value[64];
    int i = 0;
    for (auto _ : state) {
        GetPrivateProfileStringA(MainSection, ("Key" + std::to_string(i++ % 250)).c_str(), "", value, sizeof value,
                                 path.c_str());
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(ReaderLookUps);

} // namespace

BENCHMARK_MAIN();
