// The tile grid: sizes, layout across the date line, fetch order and limits,
// over-zoom, catalogue coverage, the swap and the loader thread end to end.
#include "display/frame_update.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "app/softkey_menu.h"
#include "app/status_message.h"
#include "display/softkey_pages.h"
#include "maps/tile_threads.h"
#include "platform/threads.h"
#include "tests/maps/tile_fixture.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <set>
#include <thread>

namespace {

MapCatalogueRecord CatalogueMap(const char* name, int type, int layer, int blocal, int west, int south, int east,
                                int north, int zooms = 12)
{
    MapCatalogueRecord m{};
    CopyCatalogueText(m.name, sizeof m.name, name);
    m.numZoomLevels = zooms;
    m.lon_min = west;
    m.lat_min = south;
    m.lon_max = east;
    m.lat_max = north;
    m.type = type;
    m.blocal = blocal;
    m.mapindex = layer;
    CopyCatalogueText(m.extension, sizeof m.extension, "png");
    return m;
}

void SetCatalogue(std::vector<MapCatalogueRecord> maps, int selected)
{
    CatalogueAccess access;
    access.Records() = std::move(maps);
    access.SelectedIndex() = selected;
}

class TileGridTest : public TileFixture {
protected:
    const TileGridBank& Filling() { return TileGridBanks[GetFillingTileBank()]; }
    const TileGridBank& Shown() { return TileGridBanks[GetDisplayedTileBank()]; }

    // Serves every street tile of zoom 11 around the home position.
    void ServeStreetTiles(int radius = 4)
    {
        int cx = LonToTileX(10.0, 11, 4), cy = LatToTileY(53.6, 11, 4);
        for (int x = cx - radius; x <= cx + radius; x++)
            for (int y = cy - radius; y <= cy + radius; y++)
                server.SetBody("/11/" + std::to_string(x) + "/" + std::to_string(y) + ".png",
                               MakePng(16, TileColour(11, x, y)));
    }

    bool WaitFor(bool (*done)(), int ms = 10000)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return done();
    }
};

TEST(TileGridSize, ViewSizesGiveOddGrids)
{
    int cols, rows;
    ComputeGridSize(640, 480, 256, false, &cols, &rows);
    EXPECT_EQ(cols, 5);
    EXPECT_EQ(rows, 3);
    ComputeGridSize(640, 480, 256, true, &cols, &rows);
    EXPECT_EQ(cols, 5);
    EXPECT_EQ(rows, 5);
    ComputeGridSize(100, 100, 256, false, &cols, &rows);
    EXPECT_EQ(cols, 3);
    EXPECT_EQ(rows, 3);
}

TEST(TileGridSize, LargeViewsAreShrunkKeepingTheAspect)
{
    int cols, rows;
    ComputeGridSize(5120, 2880, 256, false, &cols, &rows);
    EXPECT_EQ(cols, 17);
    EXPECT_EQ(rows, 10);
    ComputeGridSize(2880, 5120, 256, true, &cols, &rows);
    EXPECT_EQ(cols, rows);
    EXPECT_LE(cols * rows, 200);
}

TEST_F(TileGridTest, ShrunkGridIsLaidOutOdd)
{
    Settings.t = 0;
    SetTileFetchEnabled(0);
    SetGridZoom(11);
    ASSERT_TRUE(BuildTileGrid(53.6, 10.0, 17, 10));
    EXPECT_EQ(Filling().cols, 17);
    EXPECT_EQ(Filling().rows, 11);
}

// A grid over the cap once made odd (a tall window in track-up) is laid out
// a little smaller: failing it would leave the map without a background.
TEST_F(TileGridTest, TooLargeAGridIsLaidOutUnderTheCapAndKeepsTileMode)
{
    SetTileFetchEnabled(0);
    SetGridZoom(11);
    TileMapFlag = 1;
    ASSERT_TRUE(BuildTileGrid(53.6, 10.0, 15, 15));
    EXPECT_TRUE(IsTileGridComplete());
    EXPECT_LT(Filling().cols * Filling().rows, 200);
    EXPECT_EQ(Filling().cols % 2, 1);
    EXPECT_EQ(Filling().rows % 2, 1);
    EXPECT_EQ(TileMapFlag.load(), 1);
    int cols = 0, rows = 0;
    ComputeGridSize(2880, 5120, 256, true, &cols, &rows);
    DiscardTileGrid();
    ASSERT_TRUE(BuildTileGrid(53.6, 10.0, cols, rows));
    EXPECT_LT(Filling().cols * Filling().rows, 200);
}

TEST_F(TileGridTest, WithoutFetchingTheJobCompletesWithNoSlotWritten)
{
    SetTileFetchEnabled(0);
    SetGridZoom(11);
    ASSERT_TRUE(BuildTileGrid(53.6, 10.0, 5, 3));
    EXPECT_TRUE(IsTileGridComplete());
    for (const TileGridSlot& s : Filling().slots)
        EXPECT_EQ(s.fileName[0], 0);
    EXPECT_EQ(server.TotalRequests(), 0);
}

TEST_F(TileGridTest, GridWrapsAcrossTheDateLine)
{
    SetTileFetchEnabled(0);
    SetTileFetchEnabled(1);
    Settings.NrOfThreads = 4;
    SetGridZoom(4);
    ASSERT_TRUE(BuildTileGrid(0.0, 179.9, 5, 3));
    const TileGridBank& bank = Filling();
    std::vector<int> xs;
    for (int c = 0; c < 5; c++)
        xs.push_back(bank.slots[c].tileX);
    EXPECT_EQ(xs, (std::vector<int>{13, 14, 15, 0, 1}));
    EXPECT_STREQ(bank.slots[3].fileName, "4/0/7.png");
}

TEST_F(TileGridTest, OneFetchThreadFetchesInSlotOrder)
{
    ServeStreetTiles();
    Settings.NrOfThreads = 1;
    SetGridZoom(11);
    ASSERT_TRUE(BuildTileGrid(53.6, 10.0, 3, 3));
    std::vector<std::string> order = server.RequestOrder();
    ASSERT_EQ(order.size(), 9u);
    const TileGridBank& bank = Filling();
    for (int i = 0; i < 9; i++) {
        EXPECT_EQ(order[i], "/" + std::string(bank.slots[i].fileName)) << i;
        EXPECT_EQ(bank.slots[i].order, 9 - i);
    }
}

TEST_F(TileGridTest, EveryTileOfTheGridBecomesATexture)
{
    ServeStreetTiles();
    SetGridZoom(11);
    ASSERT_TRUE(BuildTileGrid(53.6, 10.0, 5, 3));
    const TileGridBank& bank = Filling();
    std::set<std::string> hosts;
    for (int i = 0; i < 15; i++) {
        const TileGridSlot& s = bank.slots[i];
        ASSERT_EQ(s.loaded.load(), 1);
        ASSERT_GE(s.texture.load(), 0) << i;
        const TileTexture& t = TileTexturePool[s.texture.load()];
        EXPECT_EQ(t.tileX, s.tileX);
        uint32_t argb = TileColour(11, s.tileX, s.tileY);
        uint32_t texel = (argb & 0xFF00FF00u) | ((argb >> 16) & 0xFFu) | ((argb & 0xFFu) << 16);
        EXPECT_EQ(TexturePixel(t.texture, 3, 3), texel);
        char host[128];
        uint32_t number;
        GetTileHost(GetFillingTileBank(), s.hostIndex, host, sizeof host, &number);
        hosts.insert(host);
    }
    EXPECT_EQ(hosts.size(), 3u);
    int cx = LonToTileX(10.0, 11, 4), cy = LatToTileY(53.6, 11, 4);
    EXPECT_EQ(bank.slots[7].tileX, cx);
    EXPECT_EQ(bank.slots[7].tileY, cy);
    EXPECT_DOUBLE_EQ(bank.originX, (cx - 2) * 256.0);
    EXPECT_DOUBLE_EQ(bank.originY, (cy - 1) * 256.0);
    EXPECT_LE(GetGridLoadTime(), 2.0);
}

// The tile fetch threads of the process, by the kernel's ids.
std::set<std::string> FetchThreads()
{
    std::set<std::string> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name == "tvl-tile-fetch")
            ids.insert(entry.path().filename().string());
    }
    return ids;
}

TEST_F(TileGridTest, GridsAreFetchedByTheSameFewThreadsNotOneATile)
{
    ServeStreetTiles();
    Settings.NrOfThreads = 3;
    SetGridZoom(11);
    // The pool lives as long as the process: a grid of an earlier test may have grown it.
    const size_t most = std::max<size_t>(FetchThreads().size(), 3);
    std::set<std::string> fetchers;
    for (int round = 0; round < 3; round++) {
        for (int i = 0; i < TileTexturePoolSize; i++)
            FreeTileTexture(i); // every tile is fetched again
        ASSERT_TRUE(BuildTileGrid(53.6, 10.0, 5, 5));
        for (int i = 0; i < 25; i++)
            ASSERT_GE(Filling().slots[i].texture.load(), 0) << "round " << round << ", slot " << i;
        std::set<std::string> now = FetchThreads();
        if (round == 0)
            fetchers = now;
        // 25 tiles a grid on a few threads, and the next grid on the same ones.
        EXPECT_GE(now.size(), 1u) << "round " << round;
        EXPECT_LE(now.size(), most) << "round " << round;
        EXPECT_EQ(now, fetchers) << "round " << round;
    }
    EXPECT_EQ(GetRunningFetchCount(), 0);
}

TEST_F(TileGridTest, SwapShowsTheNewGridAndReusesItsTextures)
{
    ServeStreetTiles();
    SetGridZoom(11);
    ASSERT_TRUE(BuildTileGrid(53.6, 10.0, 3, 3));
    int before = GetDisplayedTileBank();
    SwapTileBanks();
    EXPECT_NE(GetDisplayedTileBank(), before);
    EXPECT_EQ(GridPixelHeight, 3 * 256.0);
    EXPECT_FALSE(IsTileGridComplete());
    int served = server.TotalRequests();
    // One tile east: the overlapping six tiles come from the pool.
    double east = 10.0 + 360.0 / 2048.0;
    SetGridZoom(11);
    ASSERT_TRUE(BuildTileGrid(53.6, east, 3, 3));
    EXPECT_EQ(server.TotalRequests() - served, 3);
    SwapTileBanks();
    int used = 0;
    for (const TileTexture& t : TileTexturePool)
        used += t.inUse;
    EXPECT_EQ(used, 9);
}

TEST_F(TileGridTest, ZoomBeyondTheCatalogueMapIsOverzoomed)
{
    SetCatalogue({CatalogueMap("vfr", 11, 2, 0, 5, 50, 15, 56)}, 0);
    CurrentTileMapType = 11;
    Settings.SatMode = 11;
    SetTileFetchEnabled(0);
    SetGridZoom(15);
    ASSERT_TRUE(BuildTileGrid(53.6, 10.0, 3, 3));
    EXPECT_TRUE(IsGridOverzoomed());
    EXPECT_FLOAT_EQ(GetGridTileScale(), 8.0f);
    EXPECT_FLOAT_EQ(Filling().tileScale, 8.0f);
    EXPECT_EQ(GetDisplayedMaxZoom(), 12);
    EXPECT_EQ(Settings.Tile, 15);
}

TEST_F(TileGridTest, AWantedZoomReadWhileAJobRunsIsKept)
{
    SetTileFetchEnabled(0);
    Settings.Tile = 11;
    SetGridZoom(11);
    Settings.Tile = 17;  // the settings are read again before the job has begun
    ASSERT_TRUE(BuildTileGrid(53.6, 10.0, 3, 3));
    EXPECT_EQ(Settings.Tile, 17);
}

TEST_F(TileGridTest, NoSelectedCatalogueMapLeavesTheLayerAlone)
{
    SetCatalogue({CatalogueMap("vfr", 11, 2, 1, 5, 50, 15, 56)}, -1);
    int layer = 77;
    EXPECT_FALSE(IsCentreInSelectedCatalogueMap(53.0, 10.0, &layer));
    EXPECT_EQ(layer, 77);
}

TEST_F(TileGridTest, SelectedMapWithoutItsStoreIsNoCoverage)
{
    SetCatalogue({CatalogueMap("vfr", 11, 3, 0, 5, 50, 15, 56)}, 0);
    int layer = 0;
    EXPECT_FALSE(IsCentreInSelectedCatalogueMap(53.0, 10.0, &layer));
    EXPECT_EQ(layer, 3);
    SetCatalogue({CatalogueMap("vfr", 11, 3, 1, 5, 50, 15, 56)}, 0);
    EXPECT_TRUE(IsCentreInSelectedCatalogueMap(53.0, 10.0, &layer));
}

TEST_F(TileGridTest, CentreOnTheSouthernBoundLooksForAnotherMap)
{
    // The map centre (home position) lies in the second map.
    SetCatalogue({CatalogueMap("south", 11, 3, 1, 5, 50, 15, 53), CatalogueMap("north", 11, 4, 1, 5, 53, 15, 56)}, 0);
    int layer = 0;
    EXPECT_TRUE(IsCentreInSelectedCatalogueMap(50.0, 10.0, &layer));
    EXPECT_EQ(layer, 4);
    EXPECT_EQ(GetSelectedCatalogueIndex(), 1);
}

TEST_F(TileGridTest, RowsBeyondThePolesAreNotFetched)
{
    SetGridZoom(2);
    ASSERT_TRUE(BuildTileGrid(84.0, 0.0, 3, 3));
    const TileGridBank& bank = Filling();
    EXPECT_EQ(bank.slots[0].tileY, -1);
    EXPECT_EQ(bank.slots[0].loaded.load(), 1);
    EXPECT_EQ(bank.slots[0].texture.load(), -1);
    for (const std::string& path : server.RequestOrder())
        EXPECT_EQ(path.find("/-1"), std::string::npos) << path;
}

TEST_F(TileGridTest, TheLoaderThreadFillsAGridTheFrameSwapsIn)
{
    ServeStreetTiles();
    RequestMapRefresh(53.6, 10.0, 640, 480, 1);
    ASSERT_TRUE(WaitFor([] { return IsTileGridComplete(); }));
    SwapTileBanks();
    EXPECT_EQ(Shown().cols, 5);
    EXPECT_EQ(Shown().rows, 3);
    ASSERT_TRUE(WaitFor([] { return !IsTileLoaderBusy(); }));
    // Still inside the grid: nothing new starts.
    int t = 256;
    EXPECT_EQ(RefreshMapIfMoved(t, 2 * t, 2 * t, 2 * t, 53.6, 10.0, 4), 0);
    EXPECT_FALSE(IsTileLoaderBusy());
    // Moved two tiles east: a new grid around the new centre.
    double east = 10.0 + 2 * 360.0 / 2048.0;
    EXPECT_EQ(RefreshMapIfMoved(0, 0, 5 * t, 3 * t, 53.6, east, 4), 0);
    ASSERT_TRUE(WaitFor([] { return IsTileGridComplete(); }));
    SwapTileBanks();
    EXPECT_EQ(Shown().slots[7].tileX, LonToTileX(east, 11, 4));
}

TEST_F(TileGridTest, StopEndsAWaitingLoader)
{
    server.SetDefault(HttpTestServer::Reply{200, "", HttpTestServer::Mode::Silent});
    RequestMapRefresh(53.6, 10.0, 640, 480, 1);
    ASSERT_TRUE(IsTileLoaderBusy());
    int word = 1;
    StopTileLoader(&word);
    EXPECT_EQ(word, 0);
    EXPECT_FALSE(IsTileLoaderBusy());
    EXPECT_FALSE(IsTileGridComplete());
}

TEST_F(TileGridTest, StopJoinsTheLoaderAndEveryFetchAndFetchesNothingMore)
{
    // Every fetch waits out the time-out of a server that never answers.
    server.SetDefault(HttpTestServer::Reply{200, "", HttpTestServer::Mode::Silent});
    RequestMapRefresh(53.6, 10.0, 640, 480, 1);
    ASSERT_TRUE(WaitFor([] { return GetRunningFetchCount() > 0; }));
    int word = 1;
    StopTileLoader(&word);
    EXPECT_EQ(CountTileThreads(), 0);
    EXPECT_EQ(GetRunningFetchCount(), 0);
    // Fetches that had not reached the server by the stop never asked it.
    EXPECT_LT(server.TotalRequests(), 15);
    int asked = server.TotalRequests();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(server.TotalRequests(), asked);
}

// The link thread reselects the map after registering: a loader held up by a
// silent server must not keep it from taking the aircraft's states.
TEST_F(TileGridTest, ReselectingTheMapDoesNotWaitOutABusyLoader)
{
    SetNetworkTimeoutMs(60000);
    server.SetDefault(HttpTestServer::Reply{200, "", HttpTestServer::Mode::Silent});
    RequestMapRefresh(53.6, 10.0, 640, 480, 1);
    ASSERT_TRUE(WaitFor([] { return GetRunningFetchCount() > 0; }));
    Settings.MapType = -1;
    auto reselect = std::async(std::launch::async, [] { ReselectCurrentMap(); });
    // A safety net far below the fetches' time-out, not a measure.
    EXPECT_EQ(reselect.wait_for(std::chrono::seconds(20)), std::future_status::ready);
}

// A job aborted before its grid showed (a map selection on a link thread
// does that) leaves no grid: the next frame at the same centre lays one out
// again. Once the map stayed without a background until the aircraft had
// flown into the next tile.
TEST_F(TileGridTest, AJobAbortedBeforeItsGridShowedIsLaidOutAgainAtTheSameCentre)
{
    server.SetDefault(HttpTestServer::Reply{200, "", HttpTestServer::Mode::Silent});
    RequestMapRefresh(53.6, 10.0, 640, 480, 1);
    ASSERT_TRUE(WaitFor([] { return GetRunningFetchCount() > 0; }));
    EXPECT_TRUE(AbortTileLoader());
    ASSERT_TRUE(WaitFor([] { return !IsTileLoaderBusy(); }, 60000));
    EXPECT_FALSE(IsTileGridComplete());
    EXPECT_EQ(GetRunningFetchCount(), 0) << "the aborted job's fetches are over before a new job starts";

    ServeStreetTiles();
    server.SetDefault(HttpTestServer::Reply{404, "none"});
    int t = 256;
    EXPECT_EQ(RefreshMapIfMoved(t, 2 * t, 4 * t, 3 * t, 53.6, 10.0, 4), 0);
    ASSERT_TRUE(WaitFor([] { return IsTileGridComplete(); })) << "no new grid at the same centre";
    SwapTileBanks();
    int textured = 0;
    for (int k = 0; k < Shown().cols * Shown().rows; k++)
        textured += Shown().slots[k].texture.load() >= 0;
    EXPECT_EQ(textured, 15);
}

// A map chosen while the grid of another is laid out (its own start is
// refused while the loader is busy) gets its grid at the next frame; the
// other's is not shown as the new map's.
TEST_F(TileGridTest, AMapChosenWhileAnotherLoadsGetsItsOwnGrid)
{
    server.SetDefault(HttpTestServer::Reply{200, "", HttpTestServer::Mode::Silent});
    RequestMapRefresh(53.6, 10.0, 640, 480, 1);
    ASSERT_TRUE(WaitFor([] { return GetRunningFetchCount() > 0; }));
    CurrentTileMapType = 5;
    RequestMapRefresh(53.6, 10.0, 640, 480, 1);  // refused: the loader is busy
    ASSERT_TRUE(WaitFor([] { return !IsTileLoaderBusy(); }, 60000));
    EXPECT_FALSE(IsTileGridComplete()) << "the street map's grid is not the topographic map's";
    int t = 256;
    EXPECT_EQ(RefreshMapIfMoved(t, 2 * t, 4 * t, 3 * t, 53.6, 10.0, 4), 0);
    ASSERT_TRUE(WaitFor([] { return IsTileGridComplete(); }, 60000));
    SwapTileBanks();
    EXPECT_EQ(Settings.SatMode.load(), 5);
}

// An aborted zoom step is over: its zoom is not taken up later by the
// refresh of a moving aircraft.
TEST_F(TileGridTest, AnAbortedZoomStepLeavesTheGridAtTheWantedZoom)
{
    server.SetDefault(HttpTestServer::Reply{200, "", HttpTestServer::Mode::Silent});
    int started = 0;
    ZoomInAndRefresh(&started);
    ASSERT_EQ(started, 1);
    ASSERT_TRUE(WaitFor([] { return GetRunningFetchCount() > 0; }));
    AbortTileLoader();
    ASSERT_TRUE(WaitFor([] { return !IsTileLoaderBusy(); }, 60000));
    EXPECT_EQ(GetWantedZoom(), 11);
    EXPECT_EQ(GetGridZoom(), 11);
}

// The map-type keys build the next grid for the map chosen (SAT once kept
// the type shown, so the key did nothing and SAT came back later by itself).
// A map that cannot load here says so while it is shown, and a map that
// loads takes the word away.
TEST_F(TileGridTest, AMapChosenOnTheMapTypePageIsLoadedOrTheScreenSaysItCannotBe)
{
    ServeStreetTiles();
    Settings.Softkeylevel = 6;
    Settings.Softkeysublevel = 0;
    MapTypeSoftkeyIds[0] = -1;
    MapTypeSoftkeyIds[1] = -4;
    ShowStatusMessage("");
    MapTypeMenuCommand(0);
    EXPECT_EQ(CurrentTileMapType.load(), 1);
    ASSERT_TRUE(WaitFor([] { return IsTileGridComplete(); }, 60000));
    SwapTileBanks();
    EXPECT_EQ(Settings.SatMode.load(), 1);
    EXPECT_NE(std::string(GetStatusMessage()).find("SAT cannot load here"), std::string::npos) << GetStatusMessage();

    ShowStatusMessage("");
    ASSERT_TRUE(WaitFor([] { return !IsTileLoaderBusy(); }));
    RequestMapRefresh(53.6, 10.0, 640, 480, 1);
    ASSERT_TRUE(WaitFor([] { return IsTileGridComplete(); }, 60000));
    SwapTileBanks();
    EXPECT_NE(std::string(GetStatusMessage()).find("SAT cannot load here"), std::string::npos)
        << "the next grid of the map is as blank";

    MapTypeMenuCommand(1);
    EXPECT_EQ(CurrentTileMapType.load(), 4);
    ASSERT_TRUE(WaitFor([] { return IsTileGridComplete(); }, 60000));
    SwapTileBanks();
    EXPECT_EQ(Settings.SatMode.load(), 4);
    EXPECT_STREQ(GetStatusMessage(), "") << "the word about SAT goes once OSM shows";
    EXPECT_GE(Shown().slots[7].texture.load(), 0);
    Settings.Softkeylevel = 0;
}

// The message lives 10 s; a blank map keeps its word for as long as it is
// shown (a start with a saved online map offline left the map blank and
// silent once the first word had gone), without taking another's place and
// without a log line each time.
TEST_F(TileGridTest, ABlankMapKeepsSayingWhyWhileItIsShown)
{
    Settings.Softkeylevel = 6;
    Settings.Softkeysublevel = 0;
    MapTypeSoftkeyIds[0] = -1;
    ShowStatusMessage("");
    MapTypeMenuCommand(0);
    ASSERT_TRUE(WaitFor([] { return IsTileGridComplete(); }, 60000));
    SwapTileBanks();
    const std::string told = GetStatusMessage();
    EXPECT_NE(told.find("SAT cannot load here"), std::string::npos) << told;

    double now = ProgramClockMs() / 1000.0;
    EXPECT_FALSE(ExpireStatusMessage(now + 11.0));
    TellWhenTheMapCannotLoad();
    EXPECT_EQ(GetStatusMessage(), told) << "said again once the first has gone";

    ShowStatusMessage("Track recording started");
    TellWhenTheMapCannotLoad();
    EXPECT_STREQ(GetStatusMessage(), "Track recording started") << "another message keeps its time";

    // A local map shown instead: nothing more about the tiles.
    ShowStatusMessage("");
    TileMapFlag = 0;
    TellWhenTheMapCannotLoad();
    EXPECT_STREQ(GetStatusMessage(), "");
    TileMapFlag = 1;
    Settings.Softkeylevel = 0;
}

TEST(TileThreads, FinishedThreadsAreJoinedAsNewOnesStart)
{
    // A thread that has returned is gone from the process's task list.
    auto threadsOfTheProcess = [] {
        auto tasks = std::filesystem::directory_iterator("/proc/self/task");
        return std::distance(std::filesystem::begin(tasks), std::filesystem::end(tasks));
    };
    auto before = threadsOfTheProcess();
    static std::atomic<int> ran{0};
    ran = 0;
    for (int i = 0; i < 50; i++) {
        ASSERT_TRUE(StartTileThread([](void*) { ran++; }, nullptr));
        while (ran.load() <= i)
            std::this_thread::yield();
    }
    // Once the last has returned, starting one more joins all that finished.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);  // safety net
    while (threadsOfTheProcess() > before && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_TRUE(StartTileThread([](void*) { ran++; }, nullptr));
    EXPECT_LE(CountTileThreads(), 2);
    JoinTileThreads();
    EXPECT_EQ(CountTileThreads(), 0);
    EXPECT_EQ(ran.load(), 51);
}

TEST_F(TileGridTest, ClickOffsetsBecomeDegrees)
{
    double lon = 0, lat = 0;
    PixelOffsetToLatLon(0.0, 0.0, &lon, &lat, 10.0, 53.6);
    EXPECT_DOUBLE_EQ(lon, 10.0);
    PixelOffsetToLatLon(1456.0, 0.0, &lon, &lat, 10.0, 53.6);
    EXPECT_NEAR(lon, 11.0, 0.01);
    PixelOffsetToLatLon(0.0, -100.0, &lon, &lat, 10.0, 53.6);
    EXPECT_GT(lat, 53.6);
    double dlon = 0, dlat = 0;
    PixelDeltaToDegrees(1456.35, 0.0, 0.0, 0.0, &dlon, &dlat);
    EXPECT_NEAR(dlon, 1.0, 0.001);
}

} // namespace
