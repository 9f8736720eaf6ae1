// libFuzzer target for the coarse terrain grid "altdat.bin": whatever the
// bytes, a grid is taken only whole, and the elevations it gives for any
// position (not a number, far outside the world, on the edges) make figures
// the terrain box can show.
#include "app/settings.h"
#include "display/instrument_layers.h"
#include "maps/terrain_data.h"
#include "tests/fuzz/fuzz_support.h"

#include <cmath>
#include <cstring>

using fuzz::Check;

namespace {

double Coordinate(const uint8_t* data, size_t size, size_t at, double span)
{
    static const double Odd[] = {NAN, INFINITY, -INFINITY, 1e300, -1e300, 89.999999, -90.0, 180.0};
    if (at >= size)
        return 0.0;
    if (data[at] >= 248)
        return Odd[data[at] - 248];
    return (data[at] / 247.0 - 0.5) * 2 * span;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::EnterScratch(argc, argv);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("TVL_MESSAGEBOX_ANSWER", "IDOK", 1);
    std::snprintf(TerrainFolder, sizeof TerrainFolder, "%s", fuzz::Scratch().c_str());
    fuzz::MakeFolder(fuzz::ScratchPath("Terrain"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A first byte with its low bit set stands for a whole grid made of the
    // rest repeated, so the values are taken at all.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t whole = 4 * static_cast<size_t>(kAltitudeGridCells);
    if (size >= 2 && (data[0] & 1) != 0)
        bytes = fuzz::RepeatTo(bytes.substr(1), whole);
    fuzz::WriteBytes(fuzz::ScratchPath("Terrain/altdat.bin"), bytes);
    bool loaded = LoadAltitudeGrid();
    Check(loaded == (bytes.size() >= whole));
    for (size_t k = 1; k + 1 < 17; k += 2) {
        double lat = Coordinate(data, size, k, 100), lon = Coordinate(data, size, k + 1, 400);
        int column = 0, row = 0;
        if (AltitudeGridCell(lat, lon, &column, &row))
            Check(column >= 0 && column < kAltitudeGridColumns && row >= 0 && row < kAltitudeGridRows);
        else
            Check(column == -1 && row == -1);
        int32_t elevation = GetTerrainElevation(lat, lon);
        TerrainBoxFigures f = ComputeTerrainBoxFigures(elevation, GetMsaElevation(), 3, 4500.0);
        Check(f.hundreds >= -9 && f.hundreds <= 9);
        char path[600], name[64];
        TerrainTileName(static_cast<int>(k) * 11 - 90, static_cast<int>(k) * 47 - 400, path, sizeof path, name,
                        sizeof name);
        Check(fuzz::IsTerminated(name, sizeof name));
    }
    return 0;
}
