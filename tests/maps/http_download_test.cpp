// Downloads against a loopback server: the HTTP/1.0 text client, the tile
// downloads into files (never a partial file), error pages, time-outs and
// the WinINet stand-in's host redirection.
#include "maps/tile_locks.h"
#include "maps/http_download.h"
#include "maps/tile_cache.h"
#include "platform/files.h"
#include "platform/host_map.h"
#include "platform/sync.h"
#include "platform/wininet.h"
#include "tests/support/http_test_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tile_images.h"

#include <gtest/gtest.h>

#include <FreeImage.h>
#include <dirent.h>

#include <chrono>
#include <future>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char TileHost[] = "a.tiles.test";

int FilesIn(const std::string& folder)
{
    int n = 0;
    DIR* dir = opendir(folder.c_str());
    while (dir) {
        dirent* e = readdir(dir);
        if (!e)
            break;
        if (e->d_name[0] != '.')
            n++;
    }
    if (dir)
        closedir(dir);
    return n;
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Running());
        setenv("TVL_HOST_MAP", (server.MapEntry(TileHost) + "," + server.MapEntry("b.tiles.test")).c_str(), 1);
        setenv("XDG_RUNTIME_DIR", folder.Path().c_str(), 1);
        CreateTileMutexes();
        SetNetworkTimeoutMs(500);
        MakeFolders(folder / "cache/4");
    }
    void TearDown() override { CloseInternetHandles(); }

    std::string TilePath(const char* name) { return folder / (std::string("cache/4/") + name); }

    HttpTestServer server;
    TempFolder folder;
    WorkingFolder here{folder.Path()};
};

TEST_F(DownloadTest, HttpGetAppendsTheBody)
{
    server.SetBody("/tiles/catalog_2.php?tilename=list", "12;15;#");
    char out[64] = "x";
    ASSERT_EQ(HttpGet(TileHost, "/tiles/catalog_2.php?tilename=list ", out, sizeof out), 0);
    EXPECT_STREQ(out, "x12;15;#");
    EXPECT_NE(server.LastHead().find("Host: a.tiles.test"), std::string::npos);
}

TEST_F(DownloadTest, HttpGetFailsOnARedirect)
{
    server.Set("/moved", HttpTestServer::Reply{302, "elsewhere"});
    char out[64] = "";
    EXPECT_EQ(HttpGet(TileHost, "/moved", out, sizeof out), -1);
    EXPECT_STREQ(out, "");
}

TEST_F(DownloadTest, HttpGetStopsAtItsCapacity)
{
    server.SetBody("/big", std::string(5000, 'q'));
    char out[100] = "";
    ASSERT_EQ(HttpGet(TileHost, "/big", out, sizeof out), 0);
    EXPECT_EQ(strlen(out), 99u);
}

TEST_F(DownloadTest, HttpGetRejectsABodyCutShort)
{
    server.Set("/cut", HttpTestServer::Reply{200, "half", HttpTestServer::Mode::Truncated});
    char out[64] = "";
    EXPECT_EQ(HttpGet(TileHost, "/cut", out, sizeof out), -1);
}

TEST_F(DownloadTest, HttpGetGivesUpOnASilentServer)
{
    server.Set("/silent", HttpTestServer::Reply{200, "", HttpTestServer::Mode::Silent});
    char out[64] = "";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(HttpGet(TileHost, "/silent", out, sizeof out), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// Each byte comes well within the receive time-out, so only the deadline
// ends it; the server's connection is the only thing that waits.
TEST_F(DownloadTest, HttpGetEndsAtItsDeadlineHoweverTheServerDrips)
{
    SetNetworkTimeoutMs(60000);
    SetDownloadDeadlinesMs(0, 800);
    server.Set("/drip", HttpTestServer::Reply{200, std::string(200, 'd'), HttpTestServer::Mode::Drip, true, 100});
    server.Set("/silent", HttpTestServer::Reply{200, "", HttpTestServer::Mode::Silent});
    for (const char* path : {"/drip", "/silent"}) {
        char out[512] = "";
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(HttpGet(TileHost, path, out, sizeof out), -1) << path;
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, std::chrono::milliseconds(700)) << path;
        // Ended by the deadline, long before the drip (20 s) would have.
        EXPECT_LT(took, std::chrono::seconds(20)) << path;
    }
    SetDownloadDeadlinesMs(0, 0);
}

TEST_F(DownloadTest, HttpGetToAClosedPortFailsAndLogsTheWinsockText)
{
    int port = server.Port();
    server.Stop();
    setenv("TVL_HOST_MAP", (std::string(TileHost) + "=127.0.0.1:" + std::to_string(port)).c_str(), 1);
    char out[16] = "";
    EXPECT_EQ(HttpGet(TileHost, "/x", out, sizeof out), -1);
}

TEST_F(DownloadTest, UnmappedHostsAreNeverLookedUp)
{
    char out[16] = "";
    EXPECT_EQ(HttpGet("tile.openstreetmap.org", "/", out, sizeof out), -1);
    EXPECT_EQ(DownloadTileToFileB("tile.openstreetmap.org", "/1/1/1.png ", TilePath("1_1_1.png").c_str(), 0), -1);
    EXPECT_EQ(server.TotalRequests(), 0);
}

TEST_F(DownloadTest, WsaErrorTexts)
{
    char text[256] = "connect";
    AppendWsaErrorText(text, sizeof text, 10060);
    EXPECT_STREQ(text, "connect: WSA: timeout.");
    char other[256] = "connect";
    AppendWsaErrorText(other, sizeof other, 10061);
    EXPECT_STREQ(other, "connect: WSA: Unknown failure 10061");
    char blank[256] = "x";
    AppendWsaErrorText(blank, sizeof blank, 11002);
    EXPECT_STREQ(blank, " x: WSA: Non-Authoritative Host not found, or server failure.");
}

TEST_F(DownloadTest, PlainDownloadWritesTheTileAndKeepsTheTrailingBlankOffTheWire)
{
    std::string png = MakePng(4, 0xFF112233);
    server.SetBody("/11/1080/661.png", png);
    std::string path = TilePath("11_1080_661.png");
    ASSERT_EQ(DownloadTileToFileB(TileHost, "/11/1080/661.png ", path.c_str(), 0), DownloadDone);
    EXPECT_EQ(ReadFileText(path), png);
    EXPECT_EQ(server.Requests("/11/1080/661.png"), 1);
    EXPECT_EQ(FilesIn(folder / "cache/4"), 1);
}

TEST_F(DownloadTest, HttpsDownloadSendsTheClientIdInTheAgent)
{
    server.SetBody("/t.png", "bytes");
    std::string path = TilePath("t.png");
    ASSERT_EQ(DownloadTileToFile(TileHost, "/t.png ", path.c_str(), 2), DownloadDone);
    EXPECT_NE(server.LastHead().find("User-Agent: Mozilla/5.0 ("), std::string::npos);
}

// A server's "no tile" picture comes with a 404 or 500: it is no tile of
// this place, and is never cached as one.
TEST_F(DownloadTest, OnlyASuccessfulAnswerIsStoredAsTheTile)
{
    std::string picture = MakePng(8, 0xFF00FF00u);
    for (int status : {404, 500, 302}) {
        server.Set("/t.png", HttpTestServer::Reply{status, picture});
        EXPECT_NE(DownloadTileToFileB(TileHost, "/t.png ", TilePath("t.png").c_str(), 0), DownloadDone) << status;
        EXPECT_NE(DownloadTileToFile(TileHost, "/t.png ", TilePath("t.png").c_str(), 1), DownloadDone) << status;
        EXPECT_NE(DownloadTerrainToFile(TileHost, "/t.png ", TilePath("t.png").c_str()), DownloadDone) << status;
        EXPECT_EQ(FilesIn(folder / "cache/4"), 0) << status;
    }
    server.Set("/t.png", HttpTestServer::Reply{200, picture});
    EXPECT_EQ(DownloadTileToFileB(TileHost, "/t.png ", TilePath("t.png").c_str(), 0), DownloadDone);
    EXPECT_EQ(ReadFileText(TilePath("t.png")), picture);
}

TEST_F(DownloadTest, ErrorPageLeavesNoFileAndAnswersMinus999)
{
    server.Set("/e.png", HttpTestServer::Reply{200, "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">"});
    std::string path = TilePath("12_5_5.png");
    EXPECT_EQ(DownloadTileToFileB(TileHost, "/e.png ", path.c_str(), 0), DownloadErrorPage);
    EXPECT_EQ(FilesIn(folder / "cache/4"), 0);
}

TEST_F(DownloadTest, HttpsCountsA404PageAsAnErrorPage)
{
    std::string path = TilePath("12_5_5.png");
    EXPECT_EQ(DownloadTileToFile(TileHost, "/missing.png ", path.c_str(), 0), DownloadErrorPage);
    EXPECT_EQ(FilesIn(folder / "cache/4"), 0);
}

TEST_F(DownloadTest, ErrorPageTileIsMadeFromItsParent)
{
    // The parent 14_8000_5000 is red left-top, blue elsewhere.
    FIBITMAP* parent = FreeImage_Allocate(256, 256, 32);
    for (int y = 0; y < 256; y++) {
        auto* line = reinterpret_cast<uint32_t*>(FreeImage_GetScanLine(parent, y));
        for (int x = 0; x < 256; x++)
            line[x] = (x < 128 && y >= 128) ? 0xFFFF0000u : 0xFF0000FFu;  // rows are stored bottom-up
    }
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, parent, TilePath("14_8000_5000.png").c_str(), 0));
    FreeImage_Unload(parent);
    std::string path = TilePath("15_16000_10000.png");
    EXPECT_EQ(DownloadTileToFile(TileHost, "/15/16000/10000.png ", path.c_str(), 0), DownloadDone);
    FIBITMAP* child = FreeImage_Load(FIF_PNG, path.c_str(), 0);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(child), 256u);
    RGBQUAD colour;
    FreeImage_GetPixelColor(child, 128, 128, &colour);
    EXPECT_EQ(colour.rgbRed, 255);
    EXPECT_EQ(colour.rgbBlue, 0);
    FreeImage_Unload(child);
    EXPECT_NE(ReadFileText(DeletionLogName).find(path), std::string::npos);
}

TEST_F(DownloadTest, TruncatedDownloadLeavesNoPartialTile)
{
    server.Set("/cut.png", HttpTestServer::Reply{200, std::string(3000, 'z'), HttpTestServer::Mode::Truncated});
    std::string path = TilePath("cut.png");
    EXPECT_EQ(DownloadTileToFileB(TileHost, "/cut.png ", path.c_str(), 0), DownloadFailed);
    EXPECT_EQ(FilesIn(folder / "cache/4"), 0);
}

TEST_F(DownloadTest, SilentServerTimesOutWithoutAFile)
{
    server.Set("/slow.png", HttpTestServer::Reply{200, "", HttpTestServer::Mode::Silent});
    std::string path = TilePath("slow.png");
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadTileToFile(TileHost, "/slow.png ", path.c_str(), 0), DownloadFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(FilesIn(folder / "cache/4"), 0);
}

// A server that sends a byte now and then never trips the receive time-out;
// the transfer's deadline ends it like a failed download, and the tile lock
// it held is free for the next one.
TEST_F(DownloadTest, ADrippingTileServerIsGivenUpAtTheDeadline)
{
    SetDownloadDeadlinesMs(1000, 0);
    server.Set("/drip.png", HttpTestServer::Reply{200, std::string(300, 'd'), HttpTestServer::Mode::Drip, true, 100});
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadTileToFile(TileHost, "/drip.png ", TilePath("drip.png").c_str(), 0), DownloadFailed);
    EXPECT_EQ(DownloadTerrainToFile(TileHost, "/drip.png ", TilePath("drip.png").c_str()), DownloadFailed);
    // Both ended by the deadline: one whole drip takes 30 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(FilesIn(folder / "cache/4"), 0);
    server.SetBody("/next.png", "bytes");
    EXPECT_EQ(DownloadTileToFile(TileHost, "/next.png ", TilePath("next.png").c_str(), 0), DownloadDone);
    SetDownloadDeadlinesMs(0, 0);
}

// A stopping program ends a download that a silent server holds, instead of
// waiting out its time-out, and later downloads run as usual.
TEST_F(DownloadTest, CancelledTransfersEndAtOnceWithoutAFile)
{
    SetNetworkTimeoutMs(60000);
    server.Set("/held.png", HttpTestServer::Reply{200, "", HttpTestServer::Mode::Silent});
    std::string held = TilePath("held.png");
    auto download = std::async(std::launch::async,
                               [&] { return DownloadTileToFile(TileHost, "/held.png ", held.c_str(), 0); });
    while (server.TotalRequests() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    SetInternetTransfersCancelled(true);
    // A safety net far below the time-out, not a measure.
    ASSERT_EQ(download.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(download.get(), DownloadFailed);
    EXPECT_EQ(DownloadTileToFile(TileHost, "/held.png ", held.c_str(), 0), DownloadFailed);
    SetInternetTransfersCancelled(false);
    EXPECT_EQ(FilesIn(folder / "cache/4"), 0);

    server.SetBody("/fine.png", "tile");
    EXPECT_EQ(DownloadTileToFile(TileHost, "/fine.png ", TilePath("fine.png").c_str(), 0), DownloadDone);
}

TEST_F(DownloadTest, ABadServerNumberIsRefused)
{
    EXPECT_EQ(DownloadTileToFileB(TileHost, "/x", TilePath("x").c_str(), 8), DownloadFailed);
    EXPECT_EQ(DownloadTileToFileB(TileHost, "/x", TilePath("x").c_str(), -1), DownloadFailed);
}

TEST_F(DownloadTest, ServerNumbersKeepTheirOwnHost)
{
    server.SetBody("/1.png", "one");
    EXPECT_EQ(DownloadTileToFileB(TileHost, "/1.png", TilePath("1.png").c_str(), 3), DownloadDone);
    EXPECT_EQ(DownloadTileToFileB("b.tiles.test", "/1.png", TilePath("2.png").c_str(), 3), DownloadDone);
    EXPECT_NE(server.LastHead().find("Host: b.tiles.test"), std::string::npos);
}

TEST_F(DownloadTest, TerrainRequestCarriesItsHeaders)
{
    server.SetBody("/Terrain1/terrain.php?table=N47&longitude=11&id=1&val=2", "jpegbytes");
    std::string path = folder / "N47E011.jpg";
    ASSERT_EQ(DownloadTerrainToFile(TileHost, "/Terrain1/terrain.php?table=N47&longitude=11&id=1&val=2 ",
                                    path.c_str()),
              DownloadDone);
    std::string head = server.LastHead();
    EXPECT_NE(head.find("User-Agent: PlovikTerrainRequest_"), std::string::npos);
    EXPECT_NE(head.find("Tervalingo: tile request"), std::string::npos);
    EXPECT_EQ(ReadFileText(path), "jpegbytes");
}

TEST_F(DownloadTest, TerrainErrorPageIsRemoved)
{
    server.SetBody("/t", "<!DOCTYPE HTML PUBLIC x");
    std::string path = folder / "N47E011.jpg";
    EXPECT_EQ(DownloadTerrainToFile(TileHost, "/t", path.c_str()), DownloadErrorPage);
    EXPECT_EQ(FileExists(path.c_str()), 0);
}

TEST(WinInetStandIn, StatusAndLengthAreQueried)
{
    HttpTestServer server;
    setenv("TVL_HOST_MAP", server.MapEntry("q.test").c_str(), 1);
    server.SetBody("/a", "12345");
    HINTERNET session = InternetOpenA("agent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET request = InternetOpenUrlA(session, "https://q.test/a", nullptr, 0, 0, 0);
    ASSERT_NE(request, nullptr);
    DWORD status = 0, length = sizeof status;
    ASSERT_TRUE(HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr));
    EXPECT_EQ(status, 200u);
    char text[16];
    DWORD textLength = sizeof text;
    ASSERT_TRUE(HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &textLength, nullptr));
    EXPECT_STREQ(text, "5");
    char body[3];
    DWORD read = 0;
    ASSERT_TRUE(InternetReadFile(request, body, 3, &read));
    EXPECT_EQ(read, 3u);
    ASSERT_TRUE(InternetReadFile(request, body, 3, &read));
    EXPECT_EQ(read, 2u);
    ASSERT_TRUE(InternetReadFile(request, body, 3, &read));
    EXPECT_EQ(read, 0u);
    EXPECT_TRUE(InternetCloseHandle(request));
    EXPECT_FALSE(InternetCloseHandle(request));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    InternetCloseHandle(session);
}

TEST(WinInetStandIn, HostMapEntriesAreMatchedWhole)
{
    setenv("TVL_HOST_MAP", "a.test=127.0.0.1:81,ba.test=127.0.0.1:82", 1);
    char address[32];
    int port = 0;
    EXPECT_EQ(RouteHost("ba.test", address, sizeof address, &port), HostRoute::Mapped);
    EXPECT_EQ(port, 82);
    EXPECT_EQ(RouteHost("A.TEST", address, sizeof address, &port), HostRoute::Mapped);
    EXPECT_EQ(port, 81);
    EXPECT_EQ(RouteHost("c.test", address, sizeof address, &port), HostRoute::Refused);
    setenv("TVL_HOST_MAP", "", 1);
    EXPECT_EQ(RouteHost("c.test", address, sizeof address, &port), HostRoute::Direct);
}

TEST(ChartStores, LayerTableNamesTheStores)
{
    char name[64];
    int slot;
    ASSERT_TRUE(ChartStoreForTile(1, 11, 0, name, sizeof name, &slot));
    EXPECT_STREQ(name, "autopo.db");
    EXPECT_EQ(slot, 0);
    ASSERT_TRUE(ChartStoreForTile(1, 12, 0, name, sizeof name, &slot));
    EXPECT_STREQ(name, "autopo_12.db");
    EXPECT_EQ(slot, 1);
    ASSERT_TRUE(ChartStoreForTile(10, 11, 600, name, sizeof name, &slot));
    EXPECT_STREQ(name, "onc11E.db");
    EXPECT_EQ(slot, 21);
    ASSERT_TRUE(ChartStoreForTile(11, 9, 0, name, sizeof name, &slot));
    EXPECT_STREQ(name, "Sec_9.db");
    EXPECT_EQ(slot, 31);
    ASSERT_TRUE(ChartStoreForTile(13, 11, 1300, name, sizeof name, &slot));
    EXPECT_STREQ(name, "tpc11_4.db");
    EXPECT_EQ(slot, 50);
    EXPECT_FALSE(ChartStoreForTile(12, 9, 0, name, sizeof name, &slot));
    EXPECT_FALSE(ChartStoreForTile(14, 9, 0, name, sizeof name, &slot));
    EXPECT_FALSE(ChartStoreForTile(11, 31, 0, name, sizeof name, &slot));
}

TEST(ChartStores, LayerTwelveNeverFindsATile)
{
    uint8_t* data = nullptr;
    uint32_t size = 7;
    EXPECT_EQ(ReadLocalChartTile("/tiles/x.php?tilename=9/1/1.png&id=1", "f", &data, &size, 12), -1);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(ReadLocalChartTile("/tiles/x.php?tilename=9/1&id=1", "f", &data, &size, 2), -1);
}

} // namespace
