// tvl-mkpackage: cuts a picture whose corners are known (north, south, east,
// west in degrees, linear in between) into a local raster map package of the
// map program: 800 x 800 palette tiles for each zoom level, the blank tile,
// the sheet's georeference, the scrambled map descriptor and map list, and
// the list's line in "content.ini".
//
//   tvl-mkpackage --picture P --north N --south S --east E --west W
//                 --root ROOT [--folder F] [--map M] [--list L]
//                 [--levels 2] [--type 1] [--rotation 0]
//
// Bounds are degrees (latitudes within 90, longitudes within 180, north
// above south, east above west); names are single words without '='.
//
// Writes ROOT/F/data<L>/<column><row>.qrl, ROOT/F/999999.qrl,
// ROOT/F/georef.txt and, in ROOT/System, M.bin, L.bin and content.ini.
#include "maps/local_maps.h"
#include "maps/system_files.h"
#include "navdata/text_lines.h"

#include <FreeImage.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int TileSide = 800;

struct Options {
    std::string picture, root, folder = "sheet", map = "localmap", list = "locallist";
    double north = NAN, south = NAN, east = NAN, west = NAN;
    int levels = 2, type = 1, rotation = 0;
};

// A whole argument as a number within limit either way.
bool Number(const std::string& value, double limit, double* out)
{
    return ParseNumber(value, out) && std::fabs(*out) <= limit;
}

bool Integer(const std::string& value, int* out)
{
    return ParseNumber(value, out);
}

// A name written as one word of the descriptor, list or content.ini line:
// no blanks, no '=' and no way out of its folder.
bool IsPlainName(const std::string& name, bool folder)
{
    if (name.empty() || name.find("..") != std::string::npos)
        return false;
    for (char c : name)
        if (std::isspace(static_cast<unsigned char>(c)) || c == '=' || c == '\\' || (c == '/' && !folder))
            return false;
    return name.front() != '/';
}

bool ParseOptions(int argc, char** argv, Options* o)
{
    if (argc % 2 == 0)
        return false;  // a key without its value
    bool ok = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string key = argv[i], value = argv[i + 1];
        if (key == "--picture") o->picture = value;
        else if (key == "--root") o->root = value;
        else if (key == "--folder") o->folder = value;
        else if (key == "--map") o->map = value;
        else if (key == "--list") o->list = value;
        else if (key == "--north") ok = Number(value, 90, &o->north) && ok;
        else if (key == "--south") ok = Number(value, 90, &o->south) && ok;
        else if (key == "--east") ok = Number(value, 180, &o->east) && ok;
        else if (key == "--west") ok = Number(value, 180, &o->west) && ok;
        else if (key == "--levels") ok = Integer(value, &o->levels) && ok;
        else if (key == "--type") ok = Integer(value, &o->type) && ok;
        else if (key == "--rotation") ok = Integer(value, &o->rotation) && ok;
        else return false;
    }
    return ok && !o->picture.empty() && !o->root.empty() && o->north > o->south && o->east > o->west &&
           o->levels >= 1 && o->levels <= LocalMapLevelCount && IsPlainName(o->folder, true) &&
           o->folder.find("georef") == std::string::npos &&  // the reader takes that for the file's name
           IsPlainName(o->map, false) && IsPlainName(o->list, false);
}

// The palette and bottom-up indices of an 800 x 800 24-bit tile.
bool WriteTile(const std::string& path, FIBITMAP* tile)
{
    FIBITMAP* indexed = FreeImage_ColorQuantize(tile, FIQ_WUQUANT);
    if (!indexed)
        return false;
    uint8_t palette[1024] = {};
    const RGBQUAD* colours = FreeImage_GetPalette(indexed);
    for (unsigned i = 0; i < FreeImage_GetColorsUsed(indexed) && i < 256; i++) {
        palette[4 * i] = colours[i].rgbBlue;
        palette[4 * i + 1] = colours[i].rgbGreen;
        palette[4 * i + 2] = colours[i].rgbRed;
    }
    std::vector<uint8_t> pixels(static_cast<size_t>(TileSide) * TileSide);
    for (int y = 0; y < TileSide; y++)  // FreeImage's first scan line is the bottom row too
        memcpy(&pixels[static_cast<size_t>(y) * TileSide], FreeImage_GetScanLine(indexed, y), TileSide);
    FreeImage_Unload(indexed);
    return WriteMakerImageFile(path.c_str(), TileSide, TileSide, palette, pixels.data());
}

FIBITMAP* WhiteTile()
{
    FIBITMAP* tile = FreeImage_Allocate(TileSide, TileSide, 24);
    if (tile) {
        RGBQUAD white = {255, 255, 255, 0};
        FreeImage_FillBackground(tile, &white, 0);
    }
    return tile;
}

// Every tile of a level: 800 x scale picture pixels shrunk to 800.
bool CutLevel(FIBITMAP* picture, const Options& o, int level, int* written)
{
    int scale = LocalMapLevelScale(level), step = LocalMapTileStep(level);
    int width = static_cast<int>(FreeImage_GetWidth(picture)), height = static_cast<int>(FreeImage_GetHeight(picture));
    int span = TileSide * scale;
    std::string folder = o.root + "/" + o.folder + "/data" + std::to_string(level);
    std::filesystem::create_directories(folder);
    for (int row = 0; row * span < height; row++) {
        for (int column = 0; column * span < width; column++) {
            if (column * step > 999 || row * step > 999) {
                fprintf(stderr, "picture too large for the tile names\n");
                return false;
            }
            int left = column * span, top = row * span;
            int right = std::min(left + span, width), bottom = std::min(top + span, height);
            FIBITMAP* part = FreeImage_Copy(picture, left, top, right, bottom);
            FIBITMAP* small = part ? FreeImage_Rescale(part, std::max(1, (right - left) / scale),
                                                       std::max(1, (bottom - top) / scale), FILTER_BOX)
                                   : nullptr;
            FIBITMAP* tile = WhiteTile();
            bool ok = small && tile && FreeImage_Paste(tile, small, 0, 0, 256);
            char name[32];
            snprintf(name, sizeof name, "/%3.3d%3.3d.qrl", column * step, row * step);
            ok = ok && WriteTile(folder + name, tile);
            for (FIBITMAP* b : {part, small, tile})
                if (b)
                    FreeImage_Unload(b);
            if (!ok) {
                fprintf(stderr, "tile %s%s not written\n", folder.c_str(), name);
                return false;
            }
            (*written)++;
        }
    }
    return true;
}

// Picture pixel (x east, y south) = a0 + a1 lon, b0 + b2 lat: the linear
// form of the second polynomial kind. The first coefficient marks the
// georeference as present, so it is never left exactly 0.
bool WriteGeoreference(const Options& o, int width, int height)
{
    double a1 = width / (o.east - o.west), a0 = -o.west * a1;
    double b2 = -height / (o.north - o.south), b0 = o.north * height / (o.north - o.south);
    if (a0 == 0.0)
        a0 = 1e-9;
    std::ofstream out(o.root + "/" + o.folder + "/georef.txt");
    out.precision(17);
    out << 2 << "\n" << a0 << " " << a1 << " 0 0 0 0 0\n" << b0 << " 0 " << b2 << " 0 0 0 0\n";
    return bool(out);
}

bool WriteDescriptorAndList(const Options& o)
{
    std::string system = o.root + "/System";
    std::filesystem::create_directories(system);
    std::ostringstream bounds;
    bounds.precision(12);
    bounds << o.north << " " << o.south << " " << o.east << " " << o.west;
    std::vector<std::string> words;
    std::istringstream split("1 " + bounds.str() + " " + std::to_string(o.type) + " " + std::to_string(o.rotation) +
                             " " + o.folder);
    for (std::string w; split >> w;)
        words.push_back(w);
    std::vector<const char*> pointers;
    for (const std::string& w : words)
        pointers.push_back(w.c_str());
    std::string map = o.map + ".bin", list = o.list + ".bin";
    if (!WriteScrambledWords((system + "/" + map).c_str(), pointers, ScrambledBinSeed((o.map + ".txt").c_str())) ||
        !WriteScrambledWords((system + "/" + list).c_str(), {"1", map.c_str()},
                             ScrambledBinSeed((o.list + ".txt").c_str())))
        return false;
    // content.ini keeps its other lines; this list's line is written anew.
    std::string content = system + "/content.ini", kept;
    std::ifstream in(content);
    for (std::string line; std::getline(in, line);)
        if (line.find("=" + list) == std::string::npos)
            kept += line + "\n";
    std::ofstream out(content);
    out << kept << o.list << "=" << list << "\n";
    return bool(out);
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!ParseOptions(argc, argv, &o)) {
        fprintf(stderr,
                "usage: tvl-mkpackage --picture P --north N --south S --east E --west W --root ROOT\n"
                "       [--folder F] [--map M] [--list L] [--levels 1..5] [--type T] [--rotation D]\n");
        return 2;
    }
    FreeImage_Initialise(FALSE);
    FREE_IMAGE_FORMAT format = FreeImage_GetFileType(o.picture.c_str(), 0);
    FIBITMAP* loaded = format == FIF_UNKNOWN ? nullptr : FreeImage_Load(format, o.picture.c_str(), 0);
    FIBITMAP* picture = loaded ? FreeImage_ConvertTo24Bits(loaded) : nullptr;
    if (loaded)
        FreeImage_Unload(loaded);
    if (!picture) {
        fprintf(stderr, "%s: not a picture\n", o.picture.c_str());
        FreeImage_DeInitialise();
        return 1;
    }
    int written = 0;
    bool ok = true;
    for (int level = 0; level < o.levels && ok; level++)
        ok = CutLevel(picture, o, level, &written);
    FIBITMAP* blank = WhiteTile();
    ok = ok && blank && WriteTile(o.root + "/" + o.folder + "/999999.qrl", blank);
    if (blank)
        FreeImage_Unload(blank);
    ok = ok && WriteGeoreference(o, static_cast<int>(FreeImage_GetWidth(picture)),
                                 static_cast<int>(FreeImage_GetHeight(picture)));
    ok = ok && WriteDescriptorAndList(o);
    FreeImage_Unload(picture);
    FreeImage_DeInitialise();
    if (!ok) {
        fprintf(stderr, "package not written\n");
        return 1;
    }
    printf("package %s: %d tiles in %d levels\n", o.folder.c_str(), written, o.levels);
    return 0;
}
