// tvl-mkterrain: turns elevation model tiles in the public .hgt form (1201 x
// 1201 or 3601 x 3601 big-endian 16-bit metres, north row first, -32768 for
// no data) into the map program's terrain folder: one greyscale JPEG of
// 1200 x 1200 elevation bytes per one-degree cell ("Terrain/N53/N53E010.jpg",
// byte = (feet + 1361.2) / 118.08, north row on top), the blank tile
// "Terrain/999999.jpg", and the world grid "Terrain/altdat.bin" of the highest
// elevation in feet per cell (cells without a tile: 0, or what an earlier run
// wrote).
//
//   tvl-mkterrain <base folder> <file.hgt>...
//
// Each picture byte takes the highest sample under its pixel, so a ridge
// never shrinks below its top between samples.
#include "platform/units.h"

#include <FreeImage.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int kSide = 1200;
constexpr int kColumns = 360, kRows = 180;
constexpr int16_t kVoid = -32768;

uint8_t FeetToByte(double feet)
{
    double b = std::round((feet + 1361.2) / 118.08);
    if (!(b > 0))
        return 0;
    return b >= 255 ? 255 : static_cast<uint8_t>(b);
}

// "N53E010.hgt" (any case, any folder) -> south-west corner.
bool CellOfName(const std::string& path, int* lat, int* lon)
{
    size_t slash = path.find_last_of('/');
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.size() < 7)
        return false;
    char ns = static_cast<char>(toupper(name[0])), ew = static_cast<char>(toupper(name[3]));
    if ((ns != 'N' && ns != 'S') || (ew != 'E' && ew != 'W'))
        return false;
    for (int i : {1, 2, 4, 5, 6})
        if (!isdigit(static_cast<unsigned char>(name[i])))
            return false;
    int la = (name[1] - '0') * 10 + (name[2] - '0');
    int lo = (name[4] - '0') * 100 + (name[5] - '0') * 10 + (name[6] - '0');
    *lat = ns == 'N' ? la : -la;
    *lon = ew == 'E' ? lo : -lo;
    return *lat >= -90 && *lat <= 89 && *lon >= -180 && *lon <= 179;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* out)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    out->clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) {
        out->insert(out->end(), buffer, buffer + n);
        if (out->size() > 3601u * 3601u * 2u)
            break;
    }
    fclose(f);
    return true;
}

// Samples in metres, voids filled from the nearest sample of their row (a
// row without any: 0), so that a hole in a mountain side does not read as
// the sea.
std::vector<int16_t> DecodeSamples(const std::vector<uint8_t>& bytes, int side)
{
    std::vector<int16_t> s(static_cast<size_t>(side) * side);
    for (size_t i = 0; i < s.size(); i++)
        s[i] = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]));
    for (int r = 0; r < side; r++) {
        int16_t* row = &s[static_cast<size_t>(r) * side];
        int lastValid = -1;
        for (int c = 0; c < side; c++) {
            if (row[c] != kVoid) {
                lastValid = c;
                continue;
            }
            int next = c + 1;
            while (next < side && row[next] == kVoid)
                next++;
            int16_t fill = 0;
            if (lastValid >= 0 && (next >= side || c - lastValid <= next - c))
                fill = row[lastValid];
            else if (next < side)
                fill = row[next];
            row[c] = fill;
        }
    }
    return s;
}

bool WriteJpeg(const std::string& path, const uint8_t* topDown)
{
    FIBITMAP* image = FreeImage_Allocate(kSide, kSide, 8);
    if (!image)
        return false;
    RGBQUAD* palette = FreeImage_GetPalette(image);
    for (int i = 0; i < 256; i++)
        palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
    for (int y = 0; y < kSide; y++) // scan line 0 is the bottom (south) row
        memcpy(FreeImage_GetScanLine(image, y), topDown + static_cast<size_t>(kSide - 1 - y) * kSide, kSide);
    bool ok = FreeImage_Save(FIF_JPEG, image, path.c_str(), JPEG_QUALITYSUPERB) != 0;
    FreeImage_Unload(image);
    return ok;
}

void MakeFolder(const std::string& path) { mkdir(path.c_str(), 0755); }

bool ReadGrid(const std::string& path, std::vector<int32_t>* grid)
{
    grid->assign(kColumns * kRows, 0);
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return true;
    std::vector<uint8_t> bytes(grid->size() * 4);
    size_t n = fread(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    if (n != bytes.size()) {
        fprintf(stderr, "tvl-mkterrain: %s is not a whole grid; starting a new one\n", path.c_str());
        return true;
    }
    for (size_t i = 0; i < grid->size(); i++)
        (*grid)[i] = static_cast<int32_t>(bytes[4 * i] | bytes[4 * i + 1] << 8 | bytes[4 * i + 2] << 16 |
                                          static_cast<uint32_t>(bytes[4 * i + 3]) << 24);
    return true;
}

bool WriteGrid(const std::string& path, const std::vector<int32_t>& grid)
{
    std::string temp = path + ".tmp";
    FILE* f = fopen(temp.c_str(), "wb");
    if (!f)
        return false;
    bool ok = true;
    for (int32_t v : grid) {
        uint32_t u = static_cast<uint32_t>(v);
        uint8_t b[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
                        static_cast<uint8_t>(u >> 24)};
        ok = ok && fwrite(b, 1, 4, f) == 4;
    }
    ok = fclose(f) == 0 && ok;
    return ok && rename(temp.c_str(), path.c_str()) == 0;
}

// The grid cell of a tile: column lon + 179 (the degree west of 179 W shares
// column 359), row lat + 91 (the degree north of 89 N shares row 179).
size_t GridIndex(int lat, int lon)
{
    int c = lon + 179;
    if (c < 0)
        c += kColumns;
    int r = std::min(lat + 91, kRows - 1);
    return static_cast<size_t>(c) * kRows + r;
}

bool ConvertTile(const std::string& base, const std::string& hgt, std::vector<int32_t>* grid)
{
    int lat = 0, lon = 0;
    if (!CellOfName(hgt, &lat, &lon)) {
        fprintf(stderr, "tvl-mkterrain: %s: the name gives no cell (such as N53E010.hgt)\n", hgt.c_str());
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!ReadFile(hgt, &bytes)) {
        fprintf(stderr, "tvl-mkterrain: %s: cannot be read\n", hgt.c_str());
        return false;
    }
    int side = bytes.size() == 1201u * 1201u * 2u ? 1201 : bytes.size() == 3601u * 3601u * 2u ? 3601 : 0;
    if (!side) {
        fprintf(stderr, "tvl-mkterrain: %s: %zu bytes is neither 1201 nor 3601 samples square\n", hgt.c_str(),
                bytes.size());
        return false;
    }
    std::vector<int16_t> samples = DecodeSamples(bytes, side);
    double k = (side - 1) / static_cast<double>(kSide);
    std::vector<uint8_t> picture(static_cast<size_t>(kSide) * kSide);
    int highest = -32768;
    for (int16_t v : samples)
        highest = std::max<int>(highest, v);
    for (int y = 0; y < kSide; y++) {
        int r0 = static_cast<int>(std::floor(y * k)), r1 = std::min(side - 1, static_cast<int>(std::ceil((y + 1) * k)));
        for (int x = 0; x < kSide; x++) {
            int c0 = static_cast<int>(std::floor(x * k));
            int c1 = std::min(side - 1, static_cast<int>(std::ceil((x + 1) * k)));
            int top = -32768;
            for (int r = r0; r <= r1; r++)
                for (int c = c0; c <= c1; c++)
                    top = std::max<int>(top, samples[static_cast<size_t>(r) * side + c]);
            picture[static_cast<size_t>(y) * kSide + x] = FeetToByte(top * FeetPerMetre4);
        }
    }
    char band[16], name[40];
    snprintf(band, sizeof band, "%c%02d", lat >= 0 ? 'N' : 'S', std::abs(lat));
    snprintf(name, sizeof name, "%s%c%03d.jpg", band, lon >= 0 ? 'E' : 'W', std::abs(lon));
    std::string folder = base + "/Terrain/" + band;
    MakeFolder(folder);
    std::string out = folder + "/" + name;
    if (!WriteJpeg(out, picture.data())) {
        fprintf(stderr, "tvl-mkterrain: %s: cannot be written\n", out.c_str());
        return false;
    }
    int32_t feet = static_cast<int32_t>(std::lround(highest * FeetPerMetre4));
    int32_t& cell = (*grid)[GridIndex(lat, lon)];
    cell = lat == 89 ? std::max(cell, feet) : feet;
    printf("%s -> %s (highest %d ft)\n", hgt.c_str(), out.c_str(), feet);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: tvl-mkterrain <base folder> <file.hgt>...\n");
        return 2;
    }
    FreeImage_Initialise(FALSE);
    std::string base = argv[1];
    MakeFolder(base);
    MakeFolder(base + "/Terrain");
    std::string gridPath = base + "/Terrain/altdat.bin";
    std::vector<int32_t> grid;
    ReadGrid(gridPath, &grid);
    int failed = 0;
    for (int i = 2; i < argc; i++)
        failed += ConvertTile(base, argv[i], &grid) ? 0 : 1;
    std::vector<uint8_t> blank(static_cast<size_t>(kSide) * kSide, 0);
    bool written = WriteJpeg(base + "/Terrain/999999.jpg", blank.data()) && WriteGrid(gridPath, grid);
    FreeImage_DeInitialise();
    if (!written) {
        fprintf(stderr, "tvl-mkterrain: the terrain folder %s/Terrain cannot be written\n", base.c_str());
        return 1;
    }
    return failed ? 1 : 0;
}
