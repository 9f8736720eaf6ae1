// Test fixtures of the navigation data: a temporary program root and small
// navigation files, airport archives and text files written into it.
#pragma once

#include "app/settings.h"
#include "navdata/nav_file_io.h"
#include "navdata/text_lines.h"
#include "navdata/zip_writer.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// A program root of its own under /tmp, set as the data and terrain roots.
class TempNavRoot {
  public:
    TempNavRoot()
    {
        CopyText(DataFolder, sizeof(DataFolder), root_.c_str());
        CopyText(TerrainFolder, sizeof(TerrainFolder), root_.c_str());
    }
    // root + "/" + relative, with the folders above it made.
    std::string Path(const std::string& relative) const
    {
        std::string path = root_ + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        return path;
    }
    void WriteText(const std::string& relative, const std::string& text) const
    {
        std::ofstream(Path(relative), std::ios::binary) << text;
    }
    void WriteBytes(const std::string& relative, const std::vector<uint8_t>& bytes) const
    {
        ASSERT_TRUE(WriteWholeFile(Path(relative).c_str(), bytes));
    }
    template <class Record>
    void WriteTable(const std::string& relative, const std::vector<Record>& records) const
    {
        WriteBytes(relative, BuildNavFile(records));
    }
    void WriteZip(const std::string& relative, const std::vector<ZipWriterEntry>& entries) const
    {
        ASSERT_TRUE(WriteZipArchive(Path(relative).c_str(), entries));
    }
    const std::string& root() const { return root_; }

  private:
    TempFolder folder_;
    std::string root_ = folder_.Path();
};

inline AirportRecord MakeAirport(const char* icao, double lat, double lon, double runwayMetres = 2000.0,
                                 uint32_t surface = 1, uint32_t kind = 1)
{
    AirportRecord a{};
    a.kind = kind;
    a.lonA = lon - 0.01;
    a.lonB = lon + 0.01;
    a.latA = lat - 0.01;
    a.latB = lat + 0.01;
    a.runwayLength = runwayMetres;
    a.surface = surface;
    CopyText(a.icao, sizeof(a.icao), icao);
    return a;
}

inline NavaidRecord MakeNavaid(const char* ident, uint32_t kind, double lat, double lon, int32_t frequency = 0)
{
    NavaidRecord n{};
    n.kind = kind;
    n.lat = lat;
    n.lon = lon;
    n.frequency = frequency;
    CopyText(n.ident, sizeof(n.ident), ident);
    return n;
}

inline FixRecord MakeFix(const char* name, double lat, double lon)
{
    FixRecord f{};
    f.lat = lat;
    f.lon = lon;
    CopyText(f.name, sizeof(f.name), name);
    return f;
}

inline ObstacleRecord MakeObstacle(double lat, double lon, int32_t height)
{
    ObstacleRecord o{};
    o.lat = lat;
    o.lon = lon;
    o.height = height;
    o.type = 'M';
    return o;
}
