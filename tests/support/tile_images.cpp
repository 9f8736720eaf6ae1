// Tile pictures and MBTiles-style tile stores for tests and benchmarks.
#include "tests/support/tile_images.h"

#include <sqlite3.h>

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
