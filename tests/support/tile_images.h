// Tile pictures and MBTiles-style stores made by tests and benchmarks.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// The encoded bytes of a picture (FIF_PNG, or FIF_JPEG at good quality).
std::string EncodeImage(FIBITMAP* image, FREE_IMAGE_FORMAT format);
// A size x size PNG filled with one colour (0xAARRGGBB).
std::string MakePng(int size, uint32_t argb);
// A valid black one-bit PNG of width x height: a few hundred kilobytes for
// 30000 x 30000 pixels, gigabytes once decoded.
std::string MakeHugePng(uint32_t width, uint32_t height);

// The kept catalogue of an offline start: one map "testmap" of type 11
// (40..60 N, 0..20 E), and the user's local store of it on chart layer 2.
void WriteOfflineCatalogue(const std::string& path);

// A "tiles" table written in one transaction, committed when the writer goes.
class TileStoreWriter {
public:
    explicit TileStoreWriter(const std::string& path);
    ~TileStoreWriter();
    TileStoreWriter(const TileStoreWriter&) = delete;
    TileStoreWriter& operator=(const TileStoreWriter&) = delete;

    bool Ok() const { return insert_ != nullptr; }
    void Add(int z, int x, int y, const std::string& bytes);

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
};
