// Tile pictures and MBTiles-style tile stores for tests and benchmarks.
#include "tests/support/tile_images.h"

#include <sqlite3.h>
#include <zlib.h>

#include <vector>

namespace {

void AppendBigEndian(std::string* out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out->push_back(static_cast<char>((value >> shift) & 0xFF));
}

void AppendChunk(std::string* png, const char type[4], const std::string& data)
{
    AppendBigEndian(png, static_cast<uint32_t>(data.size()));
    std::string typed = std::string(type, 4) + data;
    png->append(typed);
    AppendBigEndian(png, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
                                                      static_cast<uInt>(typed.size()))));
}

}  // namespace

std::string EncodeImage(FIBITMAP* image, FREE_IMAGE_FORMAT format)
{
    FIMEMORY* memory = FreeImage_OpenMemory();
    FreeImage_SaveToMemory(format, image, memory, format == FIF_JPEG ? JPEG_QUALITYGOOD : 0);
    BYTE* data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(memory, &data, &size);
    std::string bytes(reinterpret_cast<char*>(data), size);
    FreeImage_CloseMemory(memory);
    return bytes;
}

std::string MakePng(int size, uint32_t argb)
{
    FIBITMAP* image = FreeImage_Allocate(size, size, 32);
    for (int y = 0; y < size; y++) {
        auto* line = reinterpret_cast<uint32_t*>(FreeImage_GetScanLine(image, y));
        for (int x = 0; x < size; x++)
            line[x] = argb;
    }
    std::string bytes = EncodeImage(image, FIF_PNG);
    FreeImage_Unload(image);
    return bytes;
}

TileStoreWriter::TileStoreWriter(const std::string& path)
{
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK)
        return;
    sqlite3_exec(db_,
                 "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob);"
                 "BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db_, "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &insert_, nullptr);
}

TileStoreWriter::~TileStoreWriter()
{
    sqlite3_finalize(insert_);
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
}

void TileStoreWriter::Add(int z, int x, int y, const std::string& bytes)
{
    if (!insert_)
        return;
    sqlite3_bind_int(insert_, 1, z);
    sqlite3_bind_int(insert_, 2, x);
    sqlite3_bind_int(insert_, 3, y);
    sqlite3_bind_blob(insert_, 4, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    sqlite3_step(insert_);
    sqlite3_reset(insert_);
}

std::string MakeHugePng(uint32_t width, uint32_t height)
{
    std::string header;
    AppendBigEndian(&header, width);
    AppendBigEndian(&header, height);
    header += std::string("\x01\x00\x00\x00\x00", 5);  // 1-bit grey, no interlace
    // Every row: filter byte 0 and zero bits; compressed a row at a time.
    std::vector<uint8_t> row(1 + (width + 7) / 8, 0);
    std::string idat;
    z_stream z{};
    deflateInit(&z, Z_BEST_COMPRESSION);
    uint8_t out[65536];
    for (uint32_t y = 0; y <= height; ++y) {
        bool last = y == height;
        z.next_in = last ? nullptr : row.data();
        z.avail_in = last ? 0 : static_cast<uInt>(row.size());
        do {
            z.next_out = out;
            z.avail_out = sizeof out;
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            idat.append(reinterpret_cast<char*>(out), sizeof out - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(&png, "IHDR", header);
    AppendChunk(&png, "IDAT", idat);
    AppendChunk(&png, "IEND", "");
    return png;
}

void WriteOfflineCatalogue(const std::string& path)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return;
    }
    const char* sql =
        "CREATE TABLE maps (id INTEGER PRIMARY KEY AUTOINCREMENT, lfd integer not null, name Text not null, "
        "numZoomLevels int not null, lon_min Integer,lat_max Integer, lon_max Integer, lat_min Integer, type Integer, "
        "blocal Integer, mapindex Integer, extension Text, airac Integer);"
        "INSERT INTO maps (lfd, name, numZoomLevels, lon_min, lat_max, lon_max, lat_min, type, blocal, mapindex, "
        "extension, airac) VALUES (7, 'testmap', 14, 0, 60, 20, 40, 11, 0, -1, 'png', 1);"
        "CREATE TABLE localmaps (name Text, numZoomLevels int, lon_min Integer, lat_max Integer, lon_max Integer, "
        "lat_min Integer, type Integer, mapindex Integer, extension Text, airac Integer);"
        "INSERT INTO localmaps VALUES ('testmap', 14, 0, 60, 20, 40, 11, 2, 'png', 1);";
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
}
