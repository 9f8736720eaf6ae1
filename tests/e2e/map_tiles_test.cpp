// Map tiles end to end: the built program headless on a copy of the root,
// with its map from an MBTiles-style store made here (three zooms of tiles
// whose colour spells their zoom, column and row) or from a loopback server
// standing in for the street-map service. The screenshots show the right
// tile under the aircraft with its neighbours in place, the grid following a
// fast flight, tiles downloaded once then served from the cache with the
// server gone, and the weather radar's pictures over the tiles.
#include "tests/support/http_test_server.h"
#include "tests/support/program_end_to_end.h"
#include "tests/support/tile_images.h"
#include "tests/support/udp_peer.h"

#include "maps/tile_sources.h"
#include "maps/weather_radar.h"
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>


namespace {

constexpr double HomeLat = 53.636666667;
constexpr double HomeLon = 10.001;
constexpr int Zoom = 13;
// The longest a test waits for an event of the peer or the program (within
// the program's own limit for a line of its script to come true).
constexpr int EventLimitMs = 50000;

// The colour of tile (z, x, y) as 0xRRGGBB: red the zoom, green and blue
// stepped by column and row so that neighbours differ to the eye too.
uint32_t TileRgb(int z, int x, int y)
{
    return static_cast<uint32_t>(z * 16 & 0xFF) << 16 | static_cast<uint32_t>(x * 37 & 0xFF) << 8 |
           static_cast<uint32_t>(y * 53 & 0xFF);
}

int TileX(double lon, int z) { return static_cast<int>(std::floor((lon + 180.0) / 360.0 * (1 << z))); }
int TileY(double lat, int z)
{
    double phi = lat * 3.14159265 / 180.0;
    return static_cast<int>(std::floor((1.0 - std::log(std::tan(phi) + 1.0 / std::cos(phi)) / 3.14159265) / 2.0 *
                                       (1 << z)));
}
// World pixel of a longitude or latitude at zoom z, 256-pixel tiles.
double PixelX(double lon, int z) { return (lon + 180.0) / 360.0 * 256.0 * (1 << z); }
double PixelY(double lat, int z)
{
    double s = std::sin(lat * 3.14159265 / 180.0);
    return (0.5 - std::log((1 + s) / (1 - s)) / (4 * 3.14159265)) * 256.0 * (1 << z);
}

// The store of the chart layer the catalogue names: tiles of zooms 12 to 14
// around home, and at zoom 13 a band reaching east along the flight.
void MakeStore(const std::string& path)
{
    TileStoreWriter store(path);
    ASSERT_TRUE(store.Ok());
    for (int z = 12; z <= 14; z++) {
        int cx = TileX(HomeLon, z), cy = TileY(HomeLat, z);
        int east = z == Zoom ? 16 : 3;
        for (int x = cx - 3; x <= cx + east; x++)
            for (int y = cy - 3; y <= cy + 3; y++)
                store.Add(z, x, y, MakePng(256, 0xFF000000u | TileRgb(z, x, y)));
    }
}

class MapTilesTest : public ProgramEndToEnd {
protected:
    Child peer;

    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        setenv("XDG_DATA_HOME", (root / "userdata").c_str(), 1);
        Set("DebugMode", "1");
        Set("ShowFrame", "0");
        Set("Softkeys", "0");
        Set("MenuState", "2");
        Set("Tile", std::to_string(Zoom));
        Set("latitude", std::to_string(HomeLat));
        Set("longitude", std::to_string(HomeLon));
    }


    // The MBTiles-style store as the map: map type 11 of the kept catalogue.
    void UseStore()
    {
        std::string charts = root / "charts";
        std::filesystem::create_directories(charts);
        MakeStore(charts + "/enroute.db");
        WriteOfflineCatalogue(system + "/offline_catalogue.db");
        Set("LocalMapPath", charts);
        Set("SatMode", "11");
        Set("ServermapIndex", "0");
        Set("PreferedChartType", "-11");
    }

    Picture Run(const char* name, int frames)
    {
        return RunForShot(name, frames);
    }
};

// The largest centre column of the grids of zoom z the log says were shown;
// -1 before any.
int EastmostShownColumn(const std::string& log, int z)
{
    int eastmost = -1;
    std::string mark = "tile grid " + std::to_string(z) + "/";
    for (size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at + 1))
        eastmost = std::max(eastmost, std::atoi(log.c_str() + at + mark.size()));
    return eastmost;
}

// The tile of zoom z near home whose colour a pixel shows; false for a pixel
// that is no such tile.
bool TileAt(const Picture& p, int x, int y, int z, int* column, int* row)
{
    int hx = TileX(HomeLon, z), hy = TileY(HomeLat, z);
    for (int tx = hx - 8; tx <= hx + 24; tx++) {
        for (int ty = hy - 8; ty <= hy + 8; ty++) {
            if (p.At(x, y) == TileRgb(z, tx, ty)) {
                *column = tx;
                *row = ty;
                return true;
            }
        }
    }
    return false;
}

// The width in pixels of the home tile of zoom z along the screen's centre
// row, its edges found from beside the aircraft outwards; 0 when the map
// does not show that tile there.
int HomeTileWidth(const Picture& p, int z)
{
    uint32_t home = TileRgb(z, TileX(HomeLon, z), TileY(HomeLat, z));
    int y = p.height / 2, cx = p.width / 2;
    auto shows = [&](int x) { return ChannelDistance(p.At(x, y), home) <= 3; };
    if (!shows(cx - 40) || !shows(cx + 40))
        return 0;
    int left = cx - 40, right = cx + 40;
    while (left > 0 && shows(left - 1))
        left--;
    while (right < p.width - 1 && shows(right + 1))
        right++;
    return right - left + 1;
}

TEST_F(MapTilesTest, StoreTilesLieUnderTheAircraftWithTheirNeighboursInPlace)
{
    UseStore();
    Picture p = Run("store_at_home", 240);
    ASSERT_GT(p.width, 0);
    int cx = p.width / 2, cy = p.height / 2;
    // The home position sits at the screen centre: its tile's edges are where
    // the position's pixel within the tile puts them.
    double fx = PixelX(HomeLon, Zoom), fy = PixelY(HomeLat, Zoom);
    int left = cx - static_cast<int>(fx - std::floor(fx / 256) * 256);
    int top = cy - static_cast<int>(fy - std::floor(fy / 256) * 256);
    int hx = TileX(HomeLon, Zoom), hy = TileY(HomeLat, Zoom);
    int column = -1, row = -1;
    // Inside the home tile, near its left and top edges (clear of the aircraft).
    ASSERT_TRUE(TileAt(p, left + 3, top + 3, Zoom, &column, &row)) << std::hex << p.At(left + 3, top + 3);
    EXPECT_EQ(column, hx);
    EXPECT_EQ(row, hy);
    // Just across those edges: the western and northern neighbours.
    ASSERT_TRUE(TileAt(p, left - 3, top + 3, Zoom, &column, &row));
    EXPECT_EQ(column, hx - 1);
    EXPECT_EQ(row, hy);
    ASSERT_TRUE(TileAt(p, left + 3, top - 3, Zoom, &column, &row));
    EXPECT_EQ(column, hx);
    EXPECT_EQ(row, hy - 1);
    // Offline: the catalogue download is reported, nothing else is.
    std::string log = Log();
    EXPECT_NE(log.find("could not be downloaded"), std::string::npos);
    EXPECT_EQ(log.find("could not be loaded"), std::string::npos);
    EXPECT_EQ(log.find("could not be created"), std::string::npos);
}

TEST_F(MapTilesTest, TheGridFollowsAFastFlightEast)
{
    UseStore();
    std::string out = root / "peer.out";
    ASSERT_TRUE(peer.Start({std::string(TVL_TOOLS_DIR) + "/tvl-proxypeer", "--port", "0", "--leg", "90", "--speed",
                            "6000", "--leg-time", "3.5", "--lat", std::to_string(HomeLat), "--lon", std::to_string(HomeLon),
                            "--duration", "120"},
                           out, root.Path()));
    std::string port = WaitForAnnouncedPort(out);
    ASSERT_FALSE(port.empty());
    SetIn("MSFS", "Port", port);
    int hx0 = TileX(HomeLon, Zoom);
    // The picture is taken once the leg is flown (the peer counts the seconds
    // since the program registered, the leg its own 3.5 s) and a grid two
    // tiles or more east of home is shown: every grid after it lies further
    // east, and each holds the tiles looked at below.
    std::string go = root / "go.txt";
    std::thread watcher([&] {
        EXPECT_TRUE(WaitFor([&] { return ReadFileText(out).find("flight second 5") != std::string::npos; },
                            EventLimitMs));
        EXPECT_TRUE(WaitFor([&] { return EastmostShownColumn(Log(), Zoom) >= hx0 + 2; }, EventLimitMs)) << Log();
        EXPECT_TRUE(WriteFileText(go, "go\n"));
    });
    std::string shot = root / "store_flying.png";
    bool ran = RunMapProgramWithScript(&program, system, root.Path(), "await " + go + " go\nwait 3\nshot " + shot +
                                       "\nwait 2\nquit\n", "store_flying");
    watcher.join();
    ASSERT_TRUE(ran);
    Picture p;
    ASSERT_TRUE(LoadPicture(shot, &p));
    int cx = p.width / 2, cy = p.height / 2;
    int hx = TileX(HomeLon, Zoom), hy = TileY(HomeLat, Zoom);
    // A point beside the aircraft, one a tile east of it and one a tile north.
    int x0 = cx - 128, y0 = cy + 100;
    int column = -1, row = -1, east = -1, eastRow = -1, north = -1, northRow = -1;
    ASSERT_TRUE(TileAt(p, x0, y0, Zoom, &column, &row)) << std::hex << p.At(x0, y0);
    ASSERT_TRUE(TileAt(p, x0 + 256, y0, Zoom, &east, &eastRow));
    ASSERT_TRUE(TileAt(p, x0, y0 - 256, Zoom, &north, &northRow));
    EXPECT_EQ(east, column + 1);
    EXPECT_EQ(eastRow, row);
    EXPECT_EQ(north, column);
    EXPECT_EQ(northRow, row - 1);
    // Flown east well past the first grid (two and a half tiles either side):
    // 3.5 s at 6000 kt is 3.7 tiles, and the grid has had time to follow.
    EXPECT_EQ(row, hy);
    EXPECT_GE(column - hx, 3);
    // The map centre the program kept at its end lies in the shown tile or the next one east.
    char saved[64];
    GetPrivateProfileStringA("Zorizeruverovu Plovik", "longitude", "0", saved, sizeof saved, ini.c_str());
    int kept = TileX(std::atof(saved), Zoom);
    EXPECT_TRUE(kept >= column && kept <= column + 2)
        << saved << " " << column;
}

TEST_F(MapTilesTest, StreetTilesAreDownloadedOnceThenServedFromTheCacheWithTheServerGone)
{
    auto server = std::make_unique<HttpTestServer>();
    ASSERT_TRUE(server->Running());
    int hx = TileX(HomeLon, Zoom), hy = TileY(HomeLat, Zoom);
    for (int x = hx - 4; x <= hx + 4; x++)
        for (int y = hy - 4; y <= hy + 4; y++)
            server->SetBody("/" + std::to_string(Zoom) + "/" + std::to_string(x) + "/" + std::to_string(y) + ".png",
                            MakePng(256, 0xFF000000u | TileRgb(Zoom, x, y)));
    std::string hosts;
    for (const char* letter : {"a", "b", "c"}) {
        char host[200];
        GetTileServiceUrl(TileUrl::OpenStreetMapServer, host, sizeof host);
        hosts += (hosts.empty() ? "" : ",") + server->MapEntry(std::string(letter) + "." + host);
    }
    setenv("TVL_HOST_MAP", hosts.c_str(), 1);
    Set("SatMode", "4");

    // Downloads run beside the frames; a loaded machine needs more of them.
    Picture first = Run("street_online", 300);
    ASSERT_GT(first.width, 0);
    int cx = first.width / 2, cy = first.height / 2;
    int column = -1, row = -1;
    ASSERT_TRUE(TileAt(first, cx - 128, cy + 100, Zoom, &column, &row)) << std::hex << first.At(cx - 128, cy + 100);
    int downloads = server->TotalRequests();
    EXPECT_GT(downloads, 0);
    std::vector<std::string> cached;
    for (const auto& entry : std::filesystem::directory_iterator(root / "cache/4"))
        cached.push_back(entry.path().filename().string());
    // One file per request, each a whole tile: nothing partial, nothing asked twice.
    EXPECT_EQ(static_cast<int>(cached.size()), downloads);
    for (const std::string& name : cached)
        EXPECT_EQ(name.substr(name.size() - 4), ".png") << name;

    server->Stop();
    server.reset();
    Picture second = Run("street_cached", 300);
    ASSERT_GT(second.width, 0);
    EXPECT_EQ(second.At(cx - 128, cy + 100), first.At(cx - 128, cy + 100));
    EXPECT_EQ(second.At(cx + 128, cy - 100), first.At(cx + 128, cy - 100));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root / "cache/4"),
                            std::filesystem::directory_iterator()),
              downloads);
}

// The street map and the radar service from one loopback server: every
// radar picture is one colour, drawn at half strength over its tile; one of
// them is no picture, and its tile shows as it is.
TEST_F(MapTilesTest, RadarPicturesLieOverTheTilesAndABrokenOneLeavesItsCellClear)
{
    constexpr uint32_t RadarRgb = 0x0C59FF;
    auto server = std::make_unique<HttpTestServer>();
    ASSERT_TRUE(server->Running());
    int hx = TileX(HomeLon, Zoom), hy = TileY(HomeLat, Zoom);
    int64_t now = static_cast<int64_t>(time(nullptr));
    for (int64_t frame : {LatestRadarFrame(now), LatestRadarFrame(now + RadarFramePeriod)}) {
        for (int x = hx - 4; x <= hx + 4; x++) {
            for (int y = hy - 4; y <= hy + 4; y++) {
                std::string tile = std::to_string(Zoom) + "/" + std::to_string(x) + "/" + std::to_string(y) + ".png";
                server->SetBody("/" + tile, MakePng(256, 0xFF000000u | TileRgb(Zoom, x, y)));
                std::string radar = "/v2/radar/" + std::to_string(frame) + "/256/" + tile;
                bool broken = x == hx - 1 && y == hy;
                server->SetBody(radar, broken ? std::string("<p>no radar</p>") : MakePng(256, 0xFF000000u | RadarRgb));
            }
        }
    }
    std::string hosts;
    char host[200];
    for (const char* letter : {"a", "b", "c"}) {
        GetTileServiceUrl(TileUrl::OpenStreetMapServer, host, sizeof host);
        hosts += (hosts.empty() ? "" : ",") + server->MapEntry(std::string(letter) + "." + host);
    }
    GetTileServiceUrl(TileUrl::LuckRainServer, host, sizeof host);
    hosts += "," + server->MapEntry(host);
    setenv("TVL_HOST_MAP", hosts.c_str(), 1);
    Set("SatMode", "4");
    SetIn("WEATHER", "WeatherState", "1");

    Picture p = Run("radar_over_tiles", 300);
    ASSERT_GT(p.width, 0);
    int cx = p.width / 2, cy = p.height / 2;
    double fx = PixelX(HomeLon, Zoom), fy = PixelY(HomeLat, Zoom);
    int left = cx - static_cast<int>(fx - std::floor(fx / 256) * 256);
    int top = cy - static_cast<int>(fy - std::floor(fy / 256) * 256);
    // Inside the home tile: its colour and the radar's, half and half.
    uint32_t tile = TileRgb(Zoom, hx, hy);
    uint32_t blend = 0;
    for (int shift = 0; shift < 24; shift += 8)
        blend |= ((((tile >> shift) & 0xFF) + ((RadarRgb >> shift) & 0xFF)) / 2) << shift;
    EXPECT_LE(ChannelDistance(p.At(left + 20, top + 20), blend), 3) << std::hex << p.At(left + 20, top + 20);
    // West of it, under the picture that is none: the tile alone.
    int column = -1, row = -1;
    ASSERT_TRUE(TileAt(p, left - 20, top + 20, Zoom, &column, &row)) << std::hex << p.At(left - 20, top + 20);
    EXPECT_EQ(column, hx - 1);
    EXPECT_EQ(row, hy);
    // The frame's pictures are kept in its folder while the program runs.
    EXPECT_GT(server->Requests("/v2/radar/" + std::to_string(LatestRadarFrame(now)) + "/256/" +
                               std::to_string(Zoom) + "/" + std::to_string(hx) + "/" + std::to_string(hy) + ".png") +
                  server->Requests("/v2/radar/" + std::to_string(LatestRadarFrame(now + RadarFramePeriod)) + "/256/" +
                                   std::to_string(Zoom) + "/" + std::to_string(hx) + "/" + std::to_string(hy) + ".png"),
              0);
    EXPECT_NE(Log().find("no picture and was removed"), std::string::npos);
}

// A wheel step forward zooms the store map in: the frames after it show the
// zoom-13 tiles growing about the aircraft (never shrinking) until the grid
// of zoom 14 is shown, and the map ends at zoom 14.
TEST_F(MapTilesTest, AWheelStepGrowsTheTilesIntoTheNextZoom)
{
    UseStore();
    std::string script = "wait 150\nshot " + (root / "zoom_before.png") + "\nwheel 320 180 1\n";
    const int shots = 8;
    for (int i = 0; i < shots; i++)
        script += "shot " + (root / ("zoom_" + std::to_string(i) + ".png")) + "\n";
    script += "sleep 4000\nwait 30\nshot " + (root / "zoom_end.png") + "\nwait 5\nquit\n";
    ASSERT_TRUE(RunMapProgramWithScript(&program, system, root.Path(), script, "tiles_"));

    Picture before;
    ASSERT_TRUE(LoadPicture(root / "zoom_before.png", &before));
    EXPECT_NEAR(HomeTileWidth(before, Zoom), 256, 2);
    // Each frame after the wheel: the zoom-13 tile at a width that never
    // falls back (at most twice its own), or already the zoom-14 grid.
    int previous = 256;
    bool grown = false;
    for (int i = 0; i < shots; i++) {
        Picture p;
        ASSERT_TRUE(LoadPicture(root / ("zoom_" + std::to_string(i) + ".png"), &p)) << i;
        int width = HomeTileWidth(p, Zoom);
        if (width == 0 && HomeTileWidth(p, Zoom + 1) > 0) {
            grown = true;
            continue;
        }
        EXPECT_FALSE(grown) << "shot " << i << ": the old zoom came back";
        EXPECT_GE(width, previous - 2) << "shot " << i;
        EXPECT_LE(width, 2 * 256 + 2) << "shot " << i;
        previous = width;
    }
    Picture end;
    ASSERT_TRUE(LoadPicture(root / "zoom_end.png", &end));
    EXPECT_NEAR(HomeTileWidth(end, Zoom + 1), 256, 2);
    char tile[16];
    GetPrivateProfileStringA("Zorizeruverovu Plovik", "Tile", "0", tile, sizeof tile, ini.c_str());
    EXPECT_STREQ(tile, "14");
}

}  // namespace

namespace {

// The service tiles (not the user's pictures beside them) in a folder.
std::vector<std::string> ServiceTiles(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name[0] == 'L')
            names.push_back(name);
    }
    return names;
}

} // namespace

// The static-map tiles are emptied once their count of downloads reached
// 10001: at the start of a run, so that the count set back to 0 is what the
// run saves, and the tiles a later run downloads are still there after it.
TEST_F(MapTilesTest, TheServiceTilesArePurgedAtTheStartAndTheCountSavedAsZero)
{
    std::string mq = root / "userdata/MQ";
    std::filesystem::create_directories(mq);
    WriteFileText(mq + "/L13_2680_4323.jpg", MakePng(256, 0xFF336699u));
    WriteFileText(mq + "/holiday.jpg", "the user's");
    SetIn(UserSettingsSection, "MapQuestKey", "testkey");
    SetIn(UserSettingsSection, "TransactionCacheCount", "10001");
    Set("SatMode", "1");

    // First run, offline: the old tiles go at the start, nothing new comes.
    setenv("TVL_HOST_MAP", "none", 1);
    ASSERT_EQ(RunProgram({}, "wait 20\nquit\n"), 0) << ReadFileText(root / "program.out");
    EXPECT_TRUE(ServiceTiles(mq).empty());
    EXPECT_EQ(ReadFileText(mq + "/holiday.jpg"), "the user's");
    EXPECT_EQ(GetIn(UserSettingsSection, "TransactionCacheCount"), "0");

    // Second run: the static maps come from a loopback server and stay.
    HttpTestServer server;
    ASSERT_TRUE(server.Running());
    server.SetDefault(HttpTestServer::Reply{200, MakePng(256, 0xFF446688u)});
    char host[200];
    GetTileServiceUrl(TileUrl::MapQuestServer, host, sizeof host);
    setenv("TVL_HOST_MAP", server.MapEntry(host).c_str(), 1);
    std::string script = "await " + system + "/Tervalingo.log file loaded via HTTPS\nwait 5\nquit\n";
    ASSERT_EQ(RunProgram({}, script), 0) << ReadFileText(root / "program.out");
    setenv("TVL_HOST_MAP", "none", 1);
    std::vector<std::string> kept = ServiceTiles(mq);
    EXPECT_FALSE(kept.empty());
    EXPECT_GE(server.TotalRequests(), static_cast<int>(kept.size()));
    // Counted as they came; a download that ends while the program saves its
    // settings is there uncounted.
    int counted = std::atoi(GetIn(UserSettingsSection, "TransactionCacheCount").c_str());
    EXPECT_GE(counted, 1);
    EXPECT_LE(counted, static_cast<int>(kept.size()));
    EXPECT_EQ(ReadFileText(mq + "/holiday.jpg"), "the user's");
}
