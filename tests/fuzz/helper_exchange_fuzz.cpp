// libFuzzer target for the exchange files between the map and its helper
// programs: the helpers' reader of the file the map wrote (lines, numbers,
// code page texts), and the map's reader of the reply with every applier
// and list choice it feeds. Whatever the bytes, lines and texts stay within
// their limits, and the settings a reply sets stay within their ranges.
#include "app/helper_dialogs.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "helpers/helper_exchange.h"
#include "platform/codepage.h"
#include "maps/airport_charts.h"
#include "navdata/airport_details.h"
#include "tests/fuzz/fuzz_support.h"

#include <cmath>
#include <cstring>

using fuzz::Check;

namespace {

void ReadAsHelper(std::string_view exchange)
{
    std::string path = fuzz::ScratchPath("exchange.txt");
    fuzz::WriteBytes(path, exchange);
    std::vector<std::string> lines;
    Check(ReadExchangeLines(path, &lines, 50));
    Check(lines.size() <= 50);
    for (const std::string& line : lines) {
        Check(line.size() <= 4096 && line.find('\n') == std::string::npos);
        Check(LineNumbers(line, 7).size() <= 7);
        std::string utf8 = ToUtf8(line);
        Check(utf8.size() <= 3 * line.size());
        Check(FromUtf8(utf8).size() <= utf8.size());
    }
    std::vector<long> numbers;
    if (ReadExchangeNumbers(path, 2, &numbers))
        Check(numbers.size() == 2);
}

void ApplyAsMap(std::string_view reply)
{
    fuzz::WriteBytes("reply.res", reply);
    for (size_t size : {1, 2, 16, 128, 256}) {
        char out[256];
        std::memset(out, 'x', sizeof out);
        ReadHelperReply("reply.res", out, size);
        Check(std::strlen(out) < size && std::strchr(out, '\n') == nullptr);
    }
    char text[256] = "";
    ReadHelperReply("reply.res", text, sizeof text);
    ApplySymbolSizeReply(text);
    for (float factor : {Settings.Vorsizefactor, Settings.Fixsizefactor, Settings.Aptsizefactor,
                         Settings.Ndbsizefactor, Settings.Markersizefactor, Settings.Dmesizefactor})
        Check(factor >= 0.01f && factor <= 10.0f);
    ApplyVolumeReply(text);
    Check(Settings.Volume >= 0.0f && Settings.Volume <= 2.0f);
    ApplyRunwayFilterReply(text);
    Check(Settings.RunwaySurfaceEmergency >= 0 && Settings.RunwaySurfaceEmergency <= 3);
    Check(Settings.RunwayEmergencyLength >= 0 && Settings.RunwayEmergencyLength <= 100000);
    ApplyWeatherNoticeReply(text);
    Check(Settings.WeatherMessage == 0 || Settings.WeatherMessage == 1);
    fuzz::WriteBytes("filter.txt.res", reply);
    TakeFilterDialogResult();
    Check(Settings.RunwaySurfaceEmergency >= 0 && Settings.RunwaySurfaceEmergency <= 3);
    // A list choice names a chart of the list or nothing.
    char chart[1024] = "";
    if (BuildChartPath(chart, ChartsApproach, text))
        Check(std::strstr(chart, "..") == nullptr);
}

// The GPWS helper's thresholds come back through the settings file.
void ReadThresholds(std::string_view settings)
{
    fuzz::WriteBytes(IniFilePath, settings);
    ReadGpwsThresholds();
    Check(Settings.DepartureEnroute >= 0 && Settings.DepartureEnroute <= 60000);
    Check(Settings.EnrouteApproach >= 0 && Settings.EnrouteApproach <= 60000);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::EnterScratch(argc, argv);
    std::snprintf(IniFilePath, sizeof IniFilePath, "%s", fuzz::ScratchPath("Plovik.ini").c_str());
    Settings.Vorsizefactor = Settings.Fixsizefactor = Settings.Aptsizefactor = 1.0f;
    Settings.Ndbsizefactor = Settings.Markersizefactor = Settings.Dmesizefactor = 1.0f;
    Settings.Volume = 1.0f;
    Settings.RunwaySurfaceEmergency = 1;
    Settings.RunwayEmergencyLength = 1500;
    Settings.DepartureEnroute = 1000;
    Settings.EnrouteApproach = 2000;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string_view> parts = fuzz::SplitParts(data, size, 3);
    ReadAsHelper(parts[0]);
    ApplyAsMap(parts[1]);
    ReadThresholds(parts[2]);
    return 0;
}
