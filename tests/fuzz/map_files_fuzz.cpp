// libFuzzer target for the files of the local maps and charts: a map's
// georeference (loose or in its package) with offset.txt, a chart's
// georeference, "content.ini" with its map list and the map's descriptor
// (scrambled as they are stored, or plain for readable seeds), and the
// sheet choice over them. Whatever the bytes, the grid stays inside its
// table, offsets are bounded, sheets have finite bounds and folders that stay
// inside the data root, and a chart georeference has an extent.
#include "app/program_root.h"
#include "app/settings.h"
#include "display/map_georeference.h"
#include "display/map_projection.h"
#include "maps/airport_charts.h"
#include "maps/local_maps.h"
#include "maps/system_files.h"
#include "navdata/zip_writer.h"
#include "tests/fuzz/fuzz_support.h"

#include <cmath>
#include <cstring>
#include <sstream>

using fuzz::Check;

namespace {

// No absolute path, drive or ".." part: the folder stays below the data root.
bool IsContained(const char* folder)
{
    if (folder[0] == '/' || folder[0] == '\\')
        return false;
    std::string_view rest(folder);
    while (true) {
        size_t end = rest.find_first_of("/\\");
        std::string_view part = rest.substr(0, end);
        if (part == ".." || (part.size() >= 2 && part[1] == ':'))
            return false;
        if (end == std::string_view::npos)
            return true;
        rest.remove_prefix(end + 1);
    }
}

void LoadGeoreference(std::string_view text, std::string_view offsets)
{
    fuzz::WriteBytes(fuzz::ScratchPath("offset.txt"), offsets);
    std::snprintf(Settings.MapName, sizeof Settings.MapName, "%s", "DEMO");
    int kind = ParseGeoreference(std::string(text));
    const MapGeoreference& g = StagingGeoreference;
    Check(kind == -1 || kind == g.kind);
    Check(g.rows >= 0 && g.columns >= 0);
    Check(GetStagingOffsets().size() <= static_cast<size_t>(MaxOffsetRecords));
    ApplyMapGeoreference();
    double x = 0, y = 0;
    ProjectWithGeoreference(ActiveGeoreference, &x, &y, 10.0, 53.6);
    // The same text as the package's entry.
    std::string folder = fuzz::ScratchPath("Sheet");
    Check(WriteZipArchive((folder + ".zip").c_str(), {{"Sheet/georef.txt", std::string(text)}}));
    Check(LoadZippedGeoreferenceFrom((folder + "/").c_str(), "georef.txt") == 0);
}

void LoadChartGeoreference(std::string_view text)
{
    std::string path = fuzz::ScratchPath("chart.txt");
    fuzz::WriteBytes(path, text);
    ChartGeoref g;
    if (LoadChartGeoref(path.c_str(), &g)) {
        Check(g.p1 != g.p2 && g.q1 != g.q2);
        Check(std::isfinite(g.lon1) && std::isfinite(g.lon2) && std::isfinite(g.lat1) && std::isfinite(g.lat2));
    }
}

// A part stored as the program stores it: scrambled with the seed in front.
// A part that begins with '!' is plain text the harness scrambles, so that
// seeds can be read and written by hand.
void WriteStored(const std::string& path, std::string_view part)
{
    if (!part.empty() && part[0] == '!') {
        std::istringstream in{std::string(part.substr(1))};
        std::vector<std::string> words;
        for (std::string w; in >> w;)
            words.push_back(w);
        std::vector<const char*> pointers;
        for (const std::string& w : words)
            pointers.push_back(w.c_str());
        Check(WriteScrambledWords(path.c_str(), pointers, 1234));
        return;
    }
    fuzz::WriteBytes(path, part);
}

void CheckSheets(const std::vector<MapSheet>& sheets)
{
    for (const MapSheet& s : sheets) {
        Check(std::isfinite(s.north) && std::isfinite(s.south) && std::isfinite(s.east) && std::isfinite(s.west));
        Check(fuzz::IsTerminated(s.folder, sizeof s.folder) && IsContained(s.folder));
        Check(fuzz::IsTerminated(s.georefFile, sizeof s.georefFile) && IsContained(s.georefFile));
    }
}

void LoadContent(std::string_view content, std::string_view list, std::string_view descriptor)
{
    fuzz::WriteBytes(fuzz::ScratchPath("content.ini"), content);
    WriteStored(fuzz::ScratchPath("list.bin"), list);
    WriteStored(fuzz::ScratchPath("map.bin"), descriptor);
    std::vector<char> text;
    int count = 0;
    if (ReadScrambledBin("map.bin", &text, &count) == 0) {
        Check(count >= 0 && static_cast<size_t>(count) < text.size() && text[static_cast<size_t>(count)] == '\0');
        CheckSheets(ParseMapDescriptor(text.data(), "map.bin"));
        for (const std::string& name : ParseMapList(text.data(), "map.bin"))
            Check(name.find_first_of("/\\") == std::string::npos && name != "..");
    }
    FreeMapBuffers();
    LoadMapContent(1);
    int maps = GetLocalMapCount();
    Check(maps >= 0);
    for (int i = 0; i < maps; ++i) {
        Settings.MapType = i;
        LoadMapSheets();
        CheckSheets(GetMapSheets());
        SelectLocalMapSheet(53.6, 10.0);
        FindMapsAtPosition();
        for (const MapAtPosition& m : GetMapsAtPosition())
            Check(fuzz::IsTerminated(m.folder, sizeof m.folder) && IsContained(m.folder));
        if (i >= 3)
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::EnterScratch(argc, argv);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("TVL_MESSAGEBOX_ANSWER", "IDOK", 1);
    for (char* folder : {ProgramRoot, SystemFolder, DataFolder, TerrainFolder})
        std::snprintf(folder, 512, "%s", fuzz::Scratch().c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string_view> parts = fuzz::SplitParts(data, size, 6);
    LoadGeoreference(parts[0], parts[1]);
    LoadChartGeoreference(parts[2]);
    LoadContent(parts[3], parts[4], parts[5]);
    return 0;
}
