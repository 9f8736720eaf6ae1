// The weather radar: frames, the rain colours and the probe under the
// aircraft, frame times from the simulator side, the fetch of a grid slot's
// radar picture from a loopback radar service, and the clean-up at exit.
#include "maps/weather_radar.h"

#include "app/settings.h"
#include "maps/tile_locks.h"
#include "display/sprite_table.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "simlink/udp_link.h"
#include "tests/render/render_fixture.h"
#include "tests/support/http_test_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tile_images.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

// A 256 x 256 PNG: one colour, and another in the pixel (x, y) counted from the top.
void WriteRadarPicture(const std::string& path, uint32_t rgb, int x, int y, uint32_t spot)
{
    FIBITMAP* image = FreeImage_Allocate(256, 256, 24);
    for (int row = 0; row < 256; row++) {
        BYTE* line = FreeImage_GetScanLine(image, 255 - row);
        for (int col = 0; col < 256; col++) {
            uint32_t c = col == x && row == y ? spot : rgb;
            line[3 * col + FI_RGBA_RED] = static_cast<BYTE>(c >> 16);
            line[3 * col + FI_RGBA_GREEN] = static_cast<BYTE>(c >> 8);
            line[3 * col + FI_RGBA_BLUE] = static_cast<BYTE>(c);
        }
    }
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, image, path.c_str(), 0));
    FreeImage_Unload(image);
}

class RadarTest : public ::testing::Test {
protected:
    TempFolder tmp;
    std::string radar = tmp / "Weather";

    void SetUp() override
    {
        FreeImage_Initialise(FALSE);
        MakeFolders(radar);
        SetRadarFolder(radar.c_str());
        Settings.WeatherState = 1;
        Settings.WeatherStationState = 1;
        SimWeatherFlag = 0;
        setenv("TVL_MESSAGEBOX_ANSWER", "IDOK", 1);
    }
    void TearDown() override
    {
        ReleaseRadarTextures();
        FreeImage_DeInitialise();
        TakeRadarStateRequest();  // a frame-age check may have asked for one
    }

    // Measures until the probe has run (every 42nd call measures).
    RainReading Measure()
    {
        RainReading r{};
        for (int i = 0; i < 42; i++)
            GetRainAtPosition(&r);
        return r;
    }
};

TEST(RadarFrames, TheFrameIsTheLastWholeOneBeforeNow)
{
    // 2024-01-01 12:34:10 UTC gives the frame of 12:20:00.
    EXPECT_EQ(LatestRadarFrame(1704112450), 1704111600);
    EXPECT_EQ(LatestRadarFrame(1704112200), 1704111600);  // 12:30:00 exactly
    EXPECT_EQ(LatestRadarFrame(1704112199), 1704111000);
}

TEST(RadarFrames, RainColoursGiveTheirIntensity)
{
    EXPECT_EQ(RainIntensityOfColour(255, 63, 53), 3);
    EXPECT_EQ(RainIntensityOfColour(223, 223, 223), 0);
    EXPECT_EQ(RainIntensityOfColour(155, 234, 143), 0);
    EXPECT_EQ(RainIntensityOfColour(88, 255, 66), 1);
    EXPECT_EQ(RainIntensityOfColour(97, 83, 193), 2);
    EXPECT_EQ(RainIntensityOfColour(168, 76, 6), 4);
    EXPECT_EQ(RainIntensityOfColour(255, 255, 255), 5);
    EXPECT_EQ(RainIntensityOfColour(0, 0, 0), -1);
    EXPECT_EQ(RainIntensityOfColour(1, 2, 3), -2);
}

TEST_F(RadarTest, RainUnderTheAircraftComesFromTheFramesPicture)
{
    MakeRadarFrameFolder(GetDisplayedTileBank());
    QueueRadarTile(540, 330, 10, GetDisplayedTileBank(), 0);
    int64_t frame = GetRadarFrameTime();
    std::string folder = radar + "/" + std::to_string(frame);
    ASSERT_TRUE(std::filesystem::is_directory(folder));
    // The aircraft at pixel (100, 40) from the tile's top: intensity 3 there.
    WriteRadarPicture(folder + "/10_540_330.png", 0xDFDFDF, 100, 40, 0xFF3F35);
    SetRadarProbeTile(100.5f, 215.5f, 540, 330);  // y as the frame gives it: up from the bottom
    RainReading r = Measure();
    EXPECT_EQ(r.valid, 1);
    EXPECT_EQ(r.intensity, 3);
    EXPECT_EQ(GetRainIntensity(), 3);
    EXPECT_TRUE(TakeRainIntensityChanged());
    EXPECT_FALSE(TakeRainIntensityChanged());
    // A colour that is no radar colour keeps the last reading.
    WriteRadarPicture(folder + "/10_540_331.png", 0x123456, 0, 0, 0x123456);
    SetRadarProbeTile(10.0f, 10.0f, 540, 331);
    r = Measure();
    EXPECT_EQ(r.intensity, 3);
    // Light rain next door.
    SetRadarProbeTile(5.0f, 5.0f, 540, 330);
    r = Measure();
    EXPECT_EQ(r.intensity, 0);
    EXPECT_TRUE(TakeRainIntensityChanged());
    // No picture for the tile: not valid.
    SetRadarProbeTile(5.0f, 5.0f, 541, 330);
    EXPECT_EQ(Measure().valid, 0);
}

TEST_F(RadarTest, NoRainIsMeasuredWithoutStationsOrWhileTheSimulatorHasItsOwn)
{
    MakeRadarFrameFolder(0);
    int64_t frame = GetRadarFrameTime();
    WriteRadarPicture(radar + "/" + std::to_string(frame) + "/10_1_1.png", 0xFF3F35, 0, 0, 0xFF3F35);
    QueueRadarTile(1, 1, 10, 0, 0);
    SetRadarProbeTile(3.0f, 3.0f, 1, 1);
    EXPECT_EQ(Measure().valid, 1);
    Settings.WeatherStationState = 0;
    EXPECT_EQ(Measure().valid, 0);
    Settings.WeatherStationState = 1;
    SimWeatherFlag = 1;
    EXPECT_TRUE(IsRadarSuppressed());
    EXPECT_EQ(Measure().valid, 0);
}

TEST_F(RadarTest, EdgeRowsOfTheTileAreProbedWhereTheAircraftIs)
{
    MakeRadarFrameFolder(0);
    int64_t frame = GetRadarFrameTime();
    std::string folder = radar + "/" + std::to_string(frame);
    WriteRadarPicture(folder + "/10_2_2.png", 0xDFDFDF, 7, 0, 0xFFFFFF);    // top row: intensity 5
    WriteRadarPicture(folder + "/10_2_3.png", 0xDFDFDF, 7, 255, 0xFF3F35);  // bottom row: intensity 3
    QueueRadarTile(2, 2, 10, 0, 0);
    SetRadarProbeTile(7.0f, 255.9f, 2, 2);
    RainReading r = Measure();
    EXPECT_EQ(r.valid, 1);
    EXPECT_EQ(r.intensity, 5);
    SetRadarProbeTile(7.0f, 0.0f, 2, 3);
    EXPECT_EQ(Measure().intensity, 3);
    SetRadarProbeTile(7.0f, 256.0f, 2, 2);  // the edge itself stays inside the picture
    EXPECT_EQ(Measure().intensity, 5);
}

TEST_F(RadarTest, FrameTimesFromTheSimulatorSideOutsideTwelveHoursSwitchTheOverlayOff)
{
    int64_t now = static_cast<int64_t>(time(nullptr));
    CheckRadarFrameAge(now - 3600);
    EXPECT_EQ(Settings.WeatherState.load(), 1);
    EXPECT_EQ(GetRadarFrameTime() % 600, 0);
    CheckRadarFrameAge(now - 13 * 3600);
    EXPECT_EQ(Settings.WeatherState.load(), 0);
    EXPECT_EQ(Settings.WeatherStationState.load(), 0);
    Settings.WeatherState = 1;
    CheckRadarFrameAge(now + 3600);
    EXPECT_EQ(Settings.WeatherState.load(), 0);
}

TEST_F(RadarTest, WeatherStationsHoldTheFrameUntilProbed)
{
    CheckRadarFrameAge(static_cast<int64_t>(time(nullptr)) - 1200);
    int64_t held = GetRadarFrameTime();
    MakeRadarFrameFolder(0);
    EXPECT_EQ(GetRadarFrameTime(), held);  // kept: the stations run
    EXPECT_FALSE(IsNewRadarFrameDue());
    CheckRadarFrameAge(held - 600);
    EXPECT_TRUE(IsNewRadarFrameDue());
    Settings.WeatherStationState = 0;
    MakeRadarFrameFolder(0);
    EXPECT_EQ(GetRadarFrameTime(), LatestRadarFrame(static_cast<int64_t>(time(nullptr))));
}

TEST_F(RadarTest, StateRequestsAndTheEmptyObservation)
{
    EXPECT_FALSE(TakeRadarStateRequest());
    NotifyRadarStateChanged();
    EXPECT_TRUE(TakeRadarStateRequest());
    EXPECT_FALSE(TakeRadarStateRequest());
    EXPECT_TRUE(IsWeatherStationOn());
    EXPECT_STREQ(GetWeatherObservationBuffer(), "");
}

TEST_F(RadarTest, ExitClearsEveryFrameFolderAndNothingElse)
{
    MakeFolders(radar + "/1704111600");
    MakeFolders(radar + "/1704112200/inner");
    WriteFileText(radar + "/1704111600/10_1_1.png", "x");
    WriteFileText(radar + "/1704112200/10_1_2.png", "x");
    WriteFileText(radar + "/notes.txt", "kept");
    ClearRadarCache();
    EXPECT_FALSE(std::filesystem::exists(radar + "/1704111600"));
    EXPECT_FALSE(std::filesystem::exists(radar + "/1704112200/10_1_2.png"));
    EXPECT_TRUE(std::filesystem::exists(radar + "/notes.txt"));
}

// The fetch of a slot's picture from a loopback radar service.
class RadarFetchTest : public RenderTest {
protected:
    TempFolder tmp;
    std::string radar = tmp / "Weather";
    HttpTestServer server;
    std::string host;

    void SetUp() override
    {
        RenderTest::SetUp();
        FreeImage_Initialise(FALSE);
        setenv("XDG_RUNTIME_DIR", tmp.Path().c_str(), 1);
        CreateTileMutexes();
        MakeFolders(radar);
        SetRadarFolder(radar.c_str());
        Settings.WeatherStationState = 0;
        char name[200];
        GetTileServiceUrl(TileUrl::LuckRainServer, name, sizeof name);
        host = name;
        setenv("TVL_HOST_MAP", server.MapEntry(host).c_str(), 1);
        MakeRadarFrameFolder(GetDisplayedTileBank());
    }
    void TearDown() override
    {
        ReleaseRadarTextures();
        FreeImage_DeInitialise();
        RenderTest::TearDown();
    }
    std::string RequestOf(int z, int x, int y)
    {
        return "/v2/radar/" + std::to_string(GetRadarFrameTime()) + "/256/" + std::to_string(z) + "/" +
               std::to_string(x) + "/" + std::to_string(y) + ".png";
    }
    uint32_t Texel(int slot)
    {
        const SpriteSlot* s = GetRadarSprite(GetFillingTileBank(), slot);
        if (!s || !s->loaded || !s->texture)
            return 0;
        ID3D11Resource* r = nullptr;
        s->texture->GetResource(&r);
        uint32_t t = GpuReadPixel(r, 10, 10);
        r->Release();
        return t;
    }
};

TEST_F(RadarFetchTest, SlotPictureIsDownloadedOnceAndKeptInTheFrameFolder)
{
    ASSERT_TRUE(server.Running());
    server.SetBody(RequestOf(7, 66, 41), MakePng(256, 0x8000FF00u));
    QueueRadarTile(66, 41, 7, GetDisplayedTileBank(), 3);
    EXPECT_EQ(FetchRadarTile(3), 0);
    EXPECT_EQ(server.Requests(RequestOf(7, 66, 41)), 1);
    EXPECT_EQ(Texel(3), 0x8000FF00u);
    std::string kept = radar + "/" + std::to_string(GetRadarFrameTime()) + "/7_66_41.png";
    EXPECT_TRUE(std::filesystem::exists(kept));
    EXPECT_EQ(FetchRadarTile(3), 0);  // from the folder now
    EXPECT_EQ(server.Requests(RequestOf(7, 66, 41)), 1);
    EXPECT_EQ(Texel(3), 0x8000FF00u);
}

TEST_F(RadarFetchTest, PicturesThatCannotBeHadLeaveTheirCellClear)
{
    ASSERT_TRUE(server.Running());
    server.SetBody(RequestOf(7, 1, 2), "this is no picture");
    QueueRadarTile(1, 2, 7, GetDisplayedTileBank(), 0);
    QueueRadarTile(1, 3, 7, GetDisplayedTileBank(), 1);  // the server has none: 404
    EXPECT_EQ(FetchRadarTile(0), 0);
    EXPECT_EQ(Texel(0) >> 24, 0u);  // clear
    EXPECT_FALSE(std::filesystem::exists(radar + "/" + std::to_string(GetRadarFrameTime()) + "/7_1_2.png"));
    EXPECT_NE(FetchRadarTile(1), 0);
    EXPECT_EQ(Texel(1) >> 24, 0u);
    EXPECT_TRUE(TakeRadarOfflineNotice());  // said once
    EXPECT_NE(FetchRadarTile(1), 0);
    EXPECT_FALSE(TakeRadarOfflineNotice());
    EXPECT_NE(FetchRadarTile(150), 0);  // nothing queued there
}

} // namespace
