// Tile fetch into textures: from the cache, from a download, from a local
// chart store offline, and what bad tiles become; the cache limits and the
// deletion log.
#include "display/map_types.h"
#include "platform/files.h"
#include "tests/maps/tile_fixture.h"
#include "tests/support/offline_chart_map.h"

#include <sys/stat.h>
#include <sys/time.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {

uint32_t Texel(uint32_t argb)
{
    return (argb & 0xFF00FF00u) | ((argb >> 16) & 0xFFu) | ((argb & 0xFFu) << 16);
}

class TileCacheTest : public TileFixture {
protected:
    // Fetches tile (x, y, 11) of the street map into slot 0 of the filling bank.
    int Fetch(int x, int y, int slot = 0)
    {
        TileAddress a;
        BuildTileAddress(4, x, y, 11, slot, "", "", &a);
        LayOut(slot, x, y, 11, a);
        return FetchTile(a.host, a.serverNumber, a.fileName, a.requestPath, slot, y, x, 11);
    }
    TileGridSlot& Slot(int i) { return TileGridBanks[GetFillingTileBank()].slots[i]; }
    const TileTexture& Texture(int i) { return TileTexturePool[Slot(i).texture.load()]; }
    std::string CachedTile(int x, int y) { return CacheFolder(4) + "/11_" + std::to_string(x) + "_" + std::to_string(y) + ".png"; }
};

TEST_F(TileCacheTest, ATileIsDownloadedOnceThenServedFromTheCache)
{
    server.SetBody("/11/1080/661.png", MakePng(256, 0xFF123456u));
    ASSERT_EQ(Fetch(1080, 661), DownloadDone);
    ASSERT_GE(Slot(0).texture.load(), 0);
    EXPECT_EQ(Slot(0).loaded.load(), 1);
    EXPECT_EQ(Texture(0).width, 256);
    EXPECT_EQ(Texture(0).tileX, 1080);
    EXPECT_EQ(Texture(0).mapType, 4);
    EXPECT_EQ(TexturePixel(Texture(0).texture, 10, 10), Texel(0xFF123456u));
    EXPECT_EQ(FileExists(CachedTile(1080, 661).c_str()), 1);

    server.Stop();
    ASSERT_EQ(Fetch(1080, 661, 1), DownloadDone);
    EXPECT_EQ(TexturePixel(Texture(1).texture, 10, 10), Texel(0xFF123456u));
    EXPECT_EQ(server.Requests("/11/1080/661.png"), 1);
}

TEST_F(TileCacheTest, ACorruptCachedTileIsRemovedAndShownAsNoTile)
{
    WriteFileText(CachedTile(5, 6), "this is not a picture");
    ASSERT_EQ(Fetch(5, 6), DownloadDone);
    EXPECT_EQ(TexturePixel(Texture(0).texture, 0, 0), Texel(0xFF808080u));
    EXPECT_EQ(FileExists(CachedTile(5, 6).c_str()), 0);
    EXPECT_NE(ReadFileText(system + "/Tervalingo.log").find("file not loaded from cache!: 11/5/6.png"),
              std::string::npos);
}

TEST_F(TileCacheTest, AnEmptyCachedTileIsRemovedToo)
{
    WriteFileText(CachedTile(5, 7), "");
    ASSERT_EQ(Fetch(5, 7), DownloadDone);
    EXPECT_EQ(TexturePixel(Texture(0).texture, 0, 0), Texel(0xFF808080u));
    EXPECT_EQ(FileExists(CachedTile(5, 7).c_str()), 0);
}

// A server's answer other than success is no tile, even when its body is a
// picture: it shows as the error page does and is never cached.
TEST_F(TileCacheTest, AServerErrorAnswerShowsNoPictureAndLeavesNoFile)
{
    server.Set("/11/9/9.png", HttpTestServer::Reply{404, MakePng(256, 0xFF00FF00u)});
    ASSERT_EQ(Fetch(9, 9), DownloadDone);
    EXPECT_EQ(TexturePixel(Texture(0).texture, 0, 0), Texel(0xFF404040u));
    EXPECT_EQ(FileExists(CachedTile(9, 9).c_str()), 0);
    EXPECT_NE(ReadFileText(system + "/Tervalingo.log").find("HTTP status 404, nothing stored"), std::string::npos);
}

TEST_F(TileCacheTest, AnErrorPageShowsNoPictureAndKeepsThatPicture)
{
    server.SetBody("/11/3/3.png", "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">");
    ASSERT_EQ(Fetch(3, 3), DownloadDone);
    EXPECT_EQ(TexturePixel(Texture(0).texture, 0, 0), Texel(0xFF404040u));
    EXPECT_EQ(FileExists((root / "Bitmaps/no_picture.jpg").c_str()), 1);
    EXPECT_EQ(FileExists(CachedTile(3, 3).c_str()), 0);
}

TEST_F(TileCacheTest, AFailedDownloadMarksTheSlotLoadedWithoutTexture)
{
    server.Set("/11/4/4.png", HttpTestServer::Reply{200, "", HttpTestServer::Mode::Silent});
    EXPECT_EQ(Fetch(4, 4), DownloadFailed);
    EXPECT_EQ(Slot(0).loaded.load(), 1);
    EXPECT_EQ(Slot(0).texture.load(), -1);
    for (const TileTexture& e : TileTexturePool)
        EXPECT_FALSE(e.inUse);
}

TEST_F(TileCacheTest, ATruncatedDownloadLeavesNoTileNoFileAndALogLine)
{
    server.Set("/11/5/5.png", HttpTestServer::Reply{200, MakePng(256, 0xFF00FF00u), HttpTestServer::Mode::Truncated});
    EXPECT_NE(Fetch(5, 5), 0);
    EXPECT_EQ(Slot(0).loaded.load(), 1);
    EXPECT_EQ(Slot(0).texture.load(), -1);
    EXPECT_EQ(FileExists(CachedTile(5, 5).c_str()), 0);
    for (const auto& entry : std::filesystem::directory_iterator(CacheFolder(4)))
        ADD_FAILURE() << "left in the cache: " << entry.path();
    std::ifstream log(system + "/Tervalingo.log");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("11_5_5.png"), std::string::npos) << text;
}

TEST_F(TileCacheTest, OfflineTilesComeFromTheChartStore)
{
    MakeTileStore(root / "ifrl.db", 8, 8, 53.6, 10.0, 1);
    SetLocalMapPath(root.Path().c_str());
    UseOfflineChartMap("ifr_low");
    Settings.SatMode = 11;
    Settings.Tile = 8;
    SetGridZoom(8);
    ASSERT_TRUE(BuildTileGrid(53.6, 10.0, 3, 3));
    const TileGridBank& bank = TileGridBanks[GetFillingTileBank()];
    int x = LonToTileX(10.0, 8, 4), y = LatToTileY(53.6, 8, 4);
    const TileGridSlot& centre = bank.slots[4];
    EXPECT_EQ(centre.tileX, x);
    EXPECT_EQ(centre.tileY, y);
    ASSERT_GE(centre.texture.load(), 0);
    EXPECT_EQ(TexturePixel(TileTexturePool[centre.texture.load()].texture, 1, 1), Texel(TileColour(8, x, y)));
    EXPECT_EQ(server.TotalRequests(), 0);
}

TEST_F(TileCacheTest, OverzoomedTileIsTheParentsQuadrant)
{
    WriteFileText(CacheFolder(4) + "/14_8_10.png", MakePng(256, 0xFF00FF00u));
    std::string child = CacheFolder(4) + "/15_17_20.png";
    ASSERT_TRUE(SynthesizeOverzoomTile(child.c_str()));
    EXPECT_EQ(FileExists(child.c_str()), 1);
    EXPECT_NE(ReadFileText("FilesToDelete.log").find(child), std::string::npos);
    ProcessDeletionLog();
    EXPECT_EQ(FileExists(child.c_str()), 0);
    EXPECT_EQ(FileExists("FilesToDelete.log"), 0);
}

TEST_F(TileCacheTest, AParentThatWouldUnpackToGigabytesIsNotUsed)
{
    WriteFileText(CacheFolder(4) + "/14_8_10.png", MakeHugePng(30000, 30000));
    std::string child = CacheFolder(4) + "/15_17_20.png";
    EXPECT_FALSE(SynthesizeOverzoomTile(child.c_str()));
    EXPECT_EQ(FileExists(child.c_str()), 0);
}

TEST_F(TileCacheTest, OverzoomRecursesThroughMissingParents)
{
    WriteFileText(CacheFolder(4) + "/3_1_1.png", MakePng(256, 0xFFFF0000u));
    std::string tile = CacheFolder(4) + "/5_4_4.png";
    ASSERT_TRUE(SynthesizeOverzoomTile(tile.c_str()));
    EXPECT_EQ(FileExists((CacheFolder(4) + "/4_2_2.png").c_str()), 1);
    std::string noZoom = CacheFolder(4) + "/g11_5_4_4.png";
    EXPECT_FALSE(SynthesizeOverzoomTile(noZoom.c_str()));
    EXPECT_FALSE(SynthesizeOverzoomTile((CacheFolder(4) + "/3_9_9.png").c_str()));
}

TEST_F(TileCacheTest, CleanupRemovesTheOldThenUpToAThousand)
{
    std::string folder = root / "many";
    MakeFolders(folder);
    for (int i = 0; i < 1200; i++)
        WriteFileText(folder + "/" + std::to_string(i) + (i % 2 ? ".png" : ".jpg"), "x");
    WriteFileText(folder + "/keep.txt", "x");
    RemoveFilesFromCache(folder.c_str());
    EXPECT_EQ(CountTileFiles(folder.c_str()), 200);
    EXPECT_EQ(FileExists((folder + "/keep.txt").c_str()), 1);
}

TEST_F(TileCacheTest, CleanupListsPngsBeforeJpegsAndSkipsFolders)
{
    std::string folder = root / "list";
    MakeFolders(folder + "/sub.png");
    WriteFileText(folder + "/a.jpg", "x");
    WriteFileText(folder + "/b.PNG", "x");
    ListCacheFiles(folder.c_str());
    const auto& files = GetCacheFileList();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(std::string(files[2].path), folder + "/a.jpg");
    int folders = 0;
    for (const auto& f : files)
        folders += f.isFolder;
    EXPECT_EQ(folders, 1);
    RemoveFilesFromCache(folder.c_str());
    EXPECT_EQ(CountTileFiles(folder.c_str()), 1);  // the folder stays
}

TEST_F(TileCacheTest, PurgeOfTheServiceCacheTakesOnlyItsPictures)
{
    std::string mq = root / "MQ";
    // The folder lies in the user's application data, beside other programs'.
    const char* tiles[] = {"L11_661_1080.jpg", "R3_1_2.jpg", "ovi_h0123.jpg", "g2_11_4_5.jpg", "g3_11_4_5.png"};
    // A street-map name is never written here: its tiles have a folder of their own.
    const char* theirs[] = {"holiday.jpg", "IMG_0001.PNG", "notes.txt", "mine.jpeg", "Logo.png", "ovi_x.jpg",
                            "11_1080_661.png"};
    for (const char* name : tiles)
        WriteFileText(mq + "/" + name, "tile");
    for (const char* name : theirs)
        WriteFileText(mq + "/" + name, "the user's");
    MakeFolders(mq + "/album.png");
    WriteFileText(mq + "/album.png/photo.png", "the user's");
    SetMapQuestKey("key");
    Settings.TransactionCacheCount = 10000;
    PurgeMapQuestCache();
    EXPECT_EQ(CountTileFiles(mq.c_str()), 11);  // below the count nothing goes
    Settings.TransactionCacheCount = 10001;
    PurgeMapQuestCache();
    EXPECT_EQ(Settings.TransactionCacheCount.load(), 0);
    for (const char* name : tiles)
        EXPECT_EQ(FileExists((mq + "/" + name).c_str()), 0) << name;
    for (const char* name : theirs)
        EXPECT_EQ(ReadFileText(mq + "/" + name), "the user's") << name;
    EXPECT_EQ(ReadFileText(mq + "/album.png/photo.png"), "the user's");
}

// Camera and screenshot names are runs of digits and "_" too: only a name
// of a builder's exact shape, its zoom, column and row in their ranges, is
// a tile.
TEST_F(TileCacheTest, PurgeKeepsPicturesWhoseNamesOnlyLookLikeTiles)
{
    std::string mq = root / "MQ";
    const char* tiles[] = {"L3_7_7.jpg", "R0_0_0.jpg", "ovi_t3.jpg", "ovi_r012301230123.jpg", "g3_11_2047_5.jpg",
                           "g-2_4_15_0.png", "g0_30_1073741823_0.jpg", "L20_1048575_3.jpg"};
    const char* pictures[] = {"20190714_123456.jpg", "2019_07_14.png", "1.png",          "L2019.jpg",
                              "L2019_07_14.jpg",     "L3_8_0.jpg",     "L3_0_8.jpg",     "L03_1_2.jpg",
                              "L3_1_2.png",          "L3_1_2_4.jpg",   "L3_1.jpg",       "L3__1_2.jpg",
                              "ovi_h0124.jpg",       "ovi_h.jpg",      "ovi_h0123.png",  "g3_11_2048_5.jpg",
                              "g4_11_4_5.jpg",       "g3_31_0_0.jpg",  "g3_11_4_5.jpeg", "l3_1_2.jpg",
                              "L3_1_2.JPG",          "IMG_20190714_123456.jpg"};
    for (const char* name : tiles)
        WriteFileText(mq + "/" + name, "tile");
    for (const char* name : pictures)
        WriteFileText(mq + "/" + name, "the user's");
    SetMapQuestKey("key");
    Settings.TransactionCacheCount = 10001;
    PurgeMapQuestCache();
    for (const char* name : tiles)
        EXPECT_EQ(FileExists((mq + "/" + name).c_str()), 0) << name;
    for (const char* name : pictures)
        EXPECT_EQ(ReadFileText(mq + "/" + name), "the user's") << name;

    // The count limit's clean-up keeps them just the same.
    for (int i = 0; i < 10001; i++)
        WriteFileText(mq + "/R15_" + std::to_string(i) + "_9.jpg", "tile");
    int lifetime = Settings.CacheLifetime.load();
    Settings.CacheLifetime = -1;
    CleanTileCaches();
    Settings.CacheLifetime = lifetime;
    for (const char* name : pictures)
        EXPECT_EQ(ReadFileText(mq + "/" + name), "the user's") << name;
}

TEST_F(TileCacheTest, AFullServiceCacheIsThinnedOfItsPicturesOnly)
{
    std::string mq = root / "MQ";
    for (int i = 0; i < 10001; i++)
        WriteFileText(mq + "/L15_" + std::to_string(i) + "_7.jpg", "tile");
    WriteFileText(mq + "/holiday.jpg", "the user's");
    int lifetime = Settings.CacheLifetime.load();
    Settings.CacheLifetime = -1;  // every picture counts as expired
    CleanTileCaches();
    Settings.CacheLifetime = lifetime;
    EXPECT_EQ(CountTileFiles(mq.c_str()), 1);
    EXPECT_EQ(ReadFileText(mq + "/holiday.jpg"), "the user's");
}

TEST_F(TileCacheTest, DeletionLogDropsPathsOnceTwentyWait)
{
    std::vector<std::thread> writers;
    for (int i = 0; i < 25; i++)
        writers.emplace_back([i] { AddToDeletionLog(("/tmp/never/" + std::to_string(i)).c_str()); });
    for (auto& w : writers)
        w.join();
    std::string log = ReadFileText("FilesToDelete.log");
    int lines = 0;
    for (char c : log)
        lines += c == '\n';
    EXPECT_GE(lines, 5);
    EXPECT_LE(lines, 25);
    // Later appends are not dropped for good.
    AddToDeletionLog("/tmp/never/last");
    EXPECT_NE(ReadFileText("FilesToDelete.log").find("/tmp/never/last"), std::string::npos);
}

TEST_F(TileCacheTest, ReleaseFreesEveryTexture)
{
    server.SetBody("/11/1/1.png", MakePng(256, 0xFF0000FFu));
    ASSERT_EQ(Fetch(1, 1), DownloadDone);
    ReleaseTileTextures();
    for (const TileTexture& e : TileTexturePool) {
        EXPECT_EQ(e.texture, nullptr);
        EXPECT_FALSE(e.inUse);
    }
}

} // namespace
