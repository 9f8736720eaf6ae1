// tvl-mkdemomap: writes the demo map into <program root>/DemoMap: a tile store
// of pale 256 x 256 tiles with nothing on them but a latitude/longitude grid
// and its labels, around the home position for zooms 3 to 13, and the
// catalogue that offers it offline as a chart map on chart layer 2. Without a
// network the demo has no other map, and the grid shows the map moving.
#include <FreeImage.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr double HomeLat = 53.636666667;
constexpr double HomeLon = 10.001;
// From the coarsest zoom the map steps out to, so no zoom step leaves it empty.
constexpr int MinZoom = 3;
constexpr int MaxZoom = 13;
// Tiles either side of the home tile at every zoom: more than a large
// window shows, with room for the demo circle.
constexpr int ColumnsAround = 8;
constexpr int RowsAround = 6;
constexpr int TileSize = 256;
constexpr double Pi = 3.14159265358979323846;

// The store's file name and the catalogue's name for it: chart layer 2
// is read from enroute.db, zoom, column and row per tile.
constexpr char StoreFile[] = "enroute.db";
constexpr char MapName[] = "demogrid";
constexpr int ChartLayer = 2;
constexpr int MapType = 11;

// Palette indices of the tile pictures.
enum : uint8_t { Land, MinorLine, MajorLine, Ink };
constexpr uint32_t PaletteRgb[] = {0xE6ECD2, 0xB4B79A, 0x858A6C, 0x55594A};

// World pixels of a longitude and a latitude at zoom z (Web Mercator).
double PixelX(double lon, int z) { return (lon + 180.0) / 360.0 * TileSize * std::ldexp(1.0, z); }
double PixelY(double lat, int z)
{
    double s = std::sin(lat * Pi / 180.0);
    return (0.5 - std::log((1 + s) / (1 - s)) / (4 * Pi)) * TileSize * std::ldexp(1.0, z);
}
double LonAt(double px, int z) { return px / (TileSize * std::ldexp(1.0, z)) * 360.0 - 180.0; }
// Latitudes beyond about 85 degrees lie outside the square Web-Mercator world.
constexpr int MercatorLimitMinutes = 85 * 60;

double LatAt(double py, int z)
{
    double n = Pi * (1.0 - 2.0 * py / (TileSize * std::ldexp(1.0, z)));
    return std::atan(std::sinh(n)) * 180.0 / Pi;
}

// Grid spacing in minutes: about a hundred pixels between meridians.
int GridMinutes(int z)
{
    static const int steps[] = {600, 300, 120, 60, 30, 15, 10, 5, 2, 1};
    for (int step : steps)
        if (step / 60.0 * PixelX(1.0, z) - step / 60.0 * PixelX(0.0, z) <= 130.0)
            return step;
    return 1;
}

// A 5 x 7 pixel font for the labels: digits, hemisphere letters, degree
// and minute marks. Each row is five bits, the leftmost the highest.
struct Glyph {
    char c;
    uint8_t rows[7];
};
constexpr Glyph Font[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}}, {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'d', {0x0C, 0x12, 0x12, 0x0C, 0x00, 0x00, 0x00}}, {'\'', {0x04, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00}},
};
constexpr int GlyphAdvance = 6;
constexpr int GlyphHeight = 7;

const Glyph* FindGlyph(char c)
{
    for (const Glyph& g : Font)
        if (g.c == c)
            return &g;
    return nullptr;
}

// "53d40'N" style: whole degrees and minutes, 'd' drawn as the degree ring.
std::string Label(int totalMinutes, char positive, char negative)
{
    char hemisphere = totalMinutes < 0 ? negative : positive;
    int m = std::abs(totalMinutes);
    char text[24];
    std::snprintf(text, sizeof text, "%dd%02d'%c", m / 60, m % 60, hemisphere);
    return text;
}

// One tile's pixels, top row first, drawn in world pixels clipped to the tile.
class TilePicture {
public:
    TilePicture(int x, int y) : x0_(x * TileSize), y0_(y * TileSize), pixels_(TileSize * TileSize, Land) {}

    void Fill(long wx0, long wy0, long wx1, long wy1, uint8_t colour)
    {
        long x0 = std::max(wx0 - x0_, 0L), x1 = std::min(wx1 - x0_, static_cast<long>(TileSize));
        long y0 = std::max(wy0 - y0_, 0L), y1 = std::min(wy1 - y0_, static_cast<long>(TileSize));
        for (long y = y0; y < y1; y++)
            for (long x = x0; x < x1; x++)
                pixels_[static_cast<size_t>(y * TileSize + x)] = colour;
    }
    // Text with a one-pixel land margin, so lines never run through it.
    void Text(long wx, long wy, const std::string& text)
    {
        long width = static_cast<long>(text.size()) * GlyphAdvance - 1;
        Fill(wx - 1, wy - 1, wx + width + 1, wy + GlyphHeight + 1, Land);
        for (size_t i = 0; i < text.size(); i++) {
            const Glyph* g = FindGlyph(text[i]);
            if (!g)
                continue;
            long gx = wx + static_cast<long>(i) * GlyphAdvance;
            for (int row = 0; row < GlyphHeight; row++)
                for (int col = 0; col < 5; col++)
                    if (g->rows[row] >> (4 - col) & 1)
                        Fill(gx + col, wy + row, gx + col + 1, wy + row + 1, Ink);
        }
    }
    std::string Png() const;

private:
    long x0_, y0_;
    std::vector<uint8_t> pixels_;
};

std::string TilePicture::Png() const
{
    std::string bytes;
    // Four bits a pixel: a 16-colour palette keeps each tile small.
    FIBITMAP* image = FreeImage_Allocate(TileSize, TileSize, 4);
    if (!image)
        return bytes;
    RGBQUAD* palette = FreeImage_GetPalette(image);
    for (int i = 0; i < 16; i++)
        palette[i] = RGBQUAD{0, 0, 0, 0};
    for (size_t i = 0; i < sizeof PaletteRgb / sizeof PaletteRgb[0]; i++)
        palette[i] = RGBQUAD{static_cast<BYTE>(PaletteRgb[i] & 0xFF), static_cast<BYTE>(PaletteRgb[i] >> 8 & 0xFF),
                             static_cast<BYTE>(PaletteRgb[i] >> 16), 0};
    // FreeImage keeps the bottom row first, the left pixel of a byte high.
    for (int y = 0; y < TileSize; y++) {
        BYTE* line = FreeImage_GetScanLine(image, TileSize - 1 - y);
        const uint8_t* row = &pixels_[static_cast<size_t>(y) * TileSize];
        for (int x = 0; x < TileSize; x += 2)
            line[x / 2] = static_cast<BYTE>(row[x] << 4 | row[x + 1]);
    }
    FIMEMORY* memory = FreeImage_OpenMemory();
    if (memory && FreeImage_SaveToMemory(FIF_PNG, image, memory, PNG_Z_BEST_COMPRESSION)) {
        BYTE* data = nullptr;
        DWORD length = 0;
        FreeImage_AcquireMemory(memory, &data, &length);
        bytes.assign(reinterpret_cast<char*>(data), length);
    }
    if (memory)
        FreeImage_CloseMemory(memory);
    FreeImage_Unload(image);
    return bytes;
}

// Draws tile (z, x, y): the grid lines through it, whole degrees heavier,
// and at every crossing near it the parallel's label above and the
// meridian's below, so labels running over a tile edge continue next door.
std::string DrawTile(int z, int x, int y)
{
    TilePicture tile(x, y);
    int step = GridMinutes(z);
    // Labels reach up to about 50 pixels right of and 10 above or below a crossing.
    double west = LonAt(x * TileSize - 60.0, z), east = LonAt((x + 1) * TileSize + 2.0, z);
    double north = LatAt(y * TileSize - 14.0, z), south = LatAt((y + 1) * TileSize + 14.0, z);
    int firstLon = static_cast<int>(std::floor(west * 60 / step)) * step;
    int firstLat = static_cast<int>(std::floor(south * 60 / step)) * step;
    std::vector<long> meridians, parallels;
    std::vector<int> lonMinutes, latMinutes;
    for (int m = firstLon; m <= east * 60; m += step) {
        meridians.push_back(std::lround(PixelX(m / 60.0, z)));
        lonMinutes.push_back(m);
    }
    for (int m = firstLat; m <= north * 60; m += step) {
        // The low zooms' grid steps reach the poles, which the projection never shows.
        if (std::abs(m) > MercatorLimitMinutes)
            continue;
        parallels.push_back(std::lround(PixelY(m / 60.0, z)));
        latMinutes.push_back(m);
    }
    long top = static_cast<long>(y) * TileSize, left = static_cast<long>(x) * TileSize;
    for (size_t i = 0; i < meridians.size(); i++) {
        bool major = lonMinutes[i] % 60 == 0;
        tile.Fill(meridians[i], top, meridians[i] + (major ? 2 : 1), top + TileSize, major ? MajorLine : MinorLine);
    }
    for (size_t j = 0; j < parallels.size(); j++) {
        bool major = latMinutes[j] % 60 == 0;
        tile.Fill(left, parallels[j], left + TileSize, parallels[j] + (major ? 2 : 1), major ? MajorLine : MinorLine);
    }
    for (size_t i = 0; i < meridians.size(); i++) {
        for (size_t j = 0; j < parallels.size(); j++) {
            tile.Text(meridians[i] + 4, parallels[j] - GlyphHeight - 3, Label(latMinutes[j], 'N', 'S'));
            tile.Text(meridians[i] + 4, parallels[j] + 4, Label(lonMinutes[i], 'E', 'W'));
        }
    }
    return tile.Png();
}

bool MakeFolder(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    return mkdir(path.c_str(), 0755) == 0;
}

bool Exec(sqlite3* db, const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "tvl-mkdemomap: %s\n", message ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    return false;
}

// A fresh database at path (an older one is replaced).
sqlite3* CreateDatabase(const std::string& path)
{
    std::remove(path.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        std::fprintf(stderr, "tvl-mkdemomap: cannot create %s\n", path.c_str());
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

// The store in the MBTiles layout, rows counted from the north as the
// program's stores are.
bool WriteStore(const std::string& path)
{
    sqlite3* db = CreateDatabase(path);
    if (!db)
        return false;
    char metadata[600];
    std::snprintf(metadata, sizeof metadata,
                  "CREATE TABLE metadata (name text, value text);"
                  "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob);"
                  "CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row);"
                  "INSERT INTO metadata VALUES ('name', '%s'), ('type', 'baselayer'), ('version', '1'),"
                  "('description', 'Demo grid: latitude and longitude lines only'), ('format', 'png'),"
                  "('minzoom', '%d'), ('maxzoom', '%d'), ('center', '%.6f,%.6f,%d');",
                  MapName, MinZoom, MaxZoom, HomeLon, HomeLat, MaxZoom);
    bool ok = Exec(db, metadata) && Exec(db, "BEGIN");
    sqlite3_stmt* insert = nullptr;
    if (ok && sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &insert, nullptr) != SQLITE_OK)
        ok = false;
    for (int z = MinZoom; ok && z <= MaxZoom; z++) {
        int hx = static_cast<int>(PixelX(HomeLon, z)) / TileSize, hy = static_cast<int>(PixelY(HomeLat, z)) / TileSize;
        // The coarse zooms have fewer tiles than that round home.
        const int last = (1 << z) - 1;
        for (int x = std::max(hx - ColumnsAround, 0); ok && x <= std::min(hx + ColumnsAround, last); x++) {
            for (int y = std::max(hy - RowsAround, 0); ok && y <= std::min(hy + RowsAround, last); y++) {
                std::string png = DrawTile(z, x, y);
                sqlite3_bind_int(insert, 1, z);
                sqlite3_bind_int(insert, 2, x);
                sqlite3_bind_int(insert, 3, y);
                sqlite3_bind_blob(insert, 4, png.data(), static_cast<int>(png.size()), SQLITE_TRANSIENT);
                ok = !png.empty() && sqlite3_step(insert) == SQLITE_DONE;
                sqlite3_reset(insert);
            }
        }
    }
    if (!ok)
        std::fprintf(stderr, "tvl-mkdemomap: cannot write the tiles of %s: %s\n", path.c_str(), sqlite3_errmsg(db));
    sqlite3_finalize(insert);
    ok = ok && Exec(db, "COMMIT");
    sqlite3_close(db);
    return ok;
}

// The catalogue the program keeps offline: the demo grid as a map of a
// chart type around home, and its store on chart layer 2 of the local maps.
bool WriteCatalogue(const std::string& path)
{
    sqlite3* db = CreateDatabase(path);
    if (!db)
        return false;
    // The whole degrees round what the finest zoom holds: the coarser zooms
    // hold more. Home lies just east of 10 E, and the demo circle west of it.
    double spanLon = ColumnsAround * 360.0 / std::ldexp(1.0, MaxZoom);
    double spanLat = RowsAround * 360.0 / std::ldexp(1.0, MaxZoom) * std::cos(HomeLat * Pi / 180.0);
    int lonMin = static_cast<int>(std::floor(HomeLon - spanLon)), lonMax = static_cast<int>(std::ceil(HomeLon + spanLon));
    int latMin = static_cast<int>(std::floor(HomeLat - spanLat)), latMax = static_cast<int>(std::ceil(HomeLat + spanLat));
    char sql[1200];
    std::snprintf(
        sql, sizeof sql,
        "CREATE TABLE maps (id INTEGER PRIMARY KEY AUTOINCREMENT, lfd integer not null, name Text not null, "
        "numZoomLevels int not null, lon_min Integer,lat_max Integer, lon_max Integer, lat_min Integer, type Integer, "
        "blocal Integer, mapindex Integer, extension Text, airac Integer);"
        "INSERT INTO maps (lfd, name, numZoomLevels, lon_min, lat_max, lon_max, lat_min, type, blocal, mapindex, "
        "extension, airac) VALUES (1, '%s', %d, %d, %d, %d, %d, %d, 0, -1, 'png', 1);"
        "CREATE TABLE localmaps (name Text, numZoomLevels int, lon_min Integer, lat_max Integer, lon_max Integer, "
        "lat_min Integer, type Integer, mapindex Integer, extension Text, airac Integer);"
        "INSERT INTO localmaps VALUES ('%s', %d, %d, %d, %d, %d, %d, %d, 'png', 1);",
        MapName, MaxZoom, lonMin, latMax, lonMax, latMin, MapType, MapName, MaxZoom, lonMin, latMax, lonMax, latMin,
        MapType, ChartLayer);
    bool ok = Exec(db, sql);
    sqlite3_close(db);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tvl-mkdemomap <program root>\n");
        return 2;
    }
    std::string folder = std::string(argv[1]) + "/DemoMap";
    if (!MakeFolder(argv[1]) || !MakeFolder(folder)) {
        std::fprintf(stderr, "tvl-mkdemomap: cannot create %s\n", folder.c_str());
        return 1;
    }
    FreeImage_Initialise(FALSE);
    bool ok = WriteStore(folder + "/" + StoreFile) && WriteCatalogue(folder + "/offline_catalogue.db");
    FreeImage_DeInitialise();
    return ok ? 0 : 1;
}
