// Terrain awareness and GPWS: each alert envelope at its thresholds, the
// flight phases, scripted descents into synthetic terrain that raise the
// right alert in the right phase and clear it, the approach call-outs, the
// mute, the [Terrain] settings and the shader values.
#include "maps/terrain_awareness.h"

#include "app/program_root.h"
#include "app/settings.h"
#include "display/aircraft_values.h"
#include "display/map_view.h"
#include "maps/terrain_data.h"
#include "maps/tile_stores.h"
#include "platform/profile.h"
#include "render/device.h"
#include "tests/support/temp_folder.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

long FakeNow = 100000;
long FakeClock() { return FakeNow; }

void WriteFlatJpeg(const std::string& path, uint8_t value)
{
    FIBITMAP* image = FreeImage_Allocate(1200, 1200, 8);
    RGBQUAD* palette = FreeImage_GetPalette(image);
    for (int i = 0; i < 256; i++)
        palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
    for (int y = 0; y < 1200; y++)
        memset(FreeImage_GetScanLine(image, y), value, 1200);
    ASSERT_TRUE(FreeImage_Save(FIF_JPEG, image, path.c_str(), JPEG_QUALITYSUPERB));
    FreeImage_Unload(image);
}

TEST(GpwsEnvelopes, DescentRateInnerAndOuterEnvelopes)
{
    EXPECT_EQ(DescentRateAlert(1000, -1950), AlertPullUp);
    EXPECT_EQ(DescentRateAlert(1000, -1700), AlertSinkRate);
    EXPECT_EQ(DescentRateAlert(1000, -1500), AlertNone);
    EXPECT_EQ(DescentRateAlert(29, -9000), AlertNone);
    EXPECT_EQ(DescentRateAlert(30, -1100), AlertPullUp);
    EXPECT_EQ(DescentRateAlert(30, -1025), AlertSinkRate);
    EXPECT_EQ(DescentRateAlert(2000, -4000), AlertPullUp);
    EXPECT_EQ(DescentRateAlert(2000, -3500), AlertSinkRate);
    EXPECT_EQ(DescentRateAlert(3500, -9600), AlertPullUp);
    EXPECT_EQ(DescentRateAlert(5000, -11000), AlertSinkRate);
    EXPECT_EQ(DescentRateAlert(5500, -30000), AlertNone);
}

TEST(GpwsEnvelopes, TooLowByTheDistanceToTheRunway)
{
    EXPECT_EQ(TooLowAlert(2.0, 10), AlertNone);
    EXPECT_EQ(TooLowAlert(1.0, 10), AlertNone);
    EXPECT_EQ(TooLowAlert(1.5, 174), AlertTooLowTerrain);
    EXPECT_EQ(TooLowAlert(1.5, 176), AlertNone);
    EXPECT_EQ(TooLowAlert(3.0, 299), AlertTooLowTerrain);
    EXPECT_EQ(TooLowAlert(3.0, 301), AlertNone);
    EXPECT_EQ(TooLowAlert(8.0, 399), AlertTooLowTerrain);
    EXPECT_EQ(TooLowAlert(8.0, 401), AlertNone);
    EXPECT_EQ(TooLowAlert(13.75, 549), AlertTooLowTerrain);
    EXPECT_EQ(TooLowAlert(13.75, 551), AlertNone);
    EXPECT_EQ(TooLowAlert(15.0, 10), AlertNone);
}

TEST(GpwsEnvelopes, DontSinkAfterTakeOff)
{
    EXPECT_EQ(DontSinkAlert(500, -600), AlertDontSink);
    EXPECT_EQ(DontSinkAlert(350, -300), AlertDontSink);
    EXPECT_EQ(DontSinkAlert(350, -200), AlertNone);
    EXPECT_EQ(DontSinkAlert(29, -900), AlertNone);
    EXPECT_EQ(DontSinkAlert(700, -900), AlertNone);
}

TEST(GpwsEnvelopes, EachEnvelopeOnlyInItsPhase)
{
    GpwsInputs in;
    in.agl = 400;
    in.smoothedVs = -600;
    in.pilotMode = PhaseDeparture;
    EXPECT_EQ(EvaluateGpwsEnvelopes(in), AlertDontSink);
    in.pilotMode = PhaseEnroute;
    EXPECT_EQ(EvaluateGpwsEnvelopes(in), AlertNone);
    in.predictedClearance = 499;
    EXPECT_EQ(EvaluateGpwsEnvelopes(in), AlertTerrainAhead);
    in.agl = 29;
    EXPECT_EQ(EvaluateGpwsEnvelopes(in), AlertNone);
    in.agl = 300;
    in.smoothedVs = 0;
    in.pilotMode = -1;
    in.phase = PhaseApproach;
    in.approachChecked = true;
    in.runwayDistance = 8;
    EXPECT_EQ(EvaluateGpwsEnvelopes(in), AlertTooLowTerrain);
    // Chosen by the pilot, the approach phase has no runway check.
    in.pilotMode = PhaseApproach;
    EXPECT_EQ(EvaluateGpwsEnvelopes(in), AlertNone);
    in.pilotMode = -1;
    in.phase = PhaseEnroute;
    EXPECT_EQ(EvaluateGpwsEnvelopes(in), AlertTerrainAhead);
    in.smoothedVs = -5000;
    EXPECT_EQ(EvaluateGpwsEnvelopes(in), AlertPullUp);
}

TEST(GpwsPhases, DepartureEnrouteApproachAndBack)
{
    EXPECT_EQ(NextFlightPhase(PhaseDeparture, 1001, 500, 0, 0, 1000, 1500), PhaseEnroute);
    EXPECT_EQ(NextFlightPhase(PhaseDeparture, 999, 500, 0, 0, 1000, 1500), PhaseDeparture);
    EXPECT_EQ(NextFlightPhase(PhaseEnroute, 1400, -500, -300, 10, 1000, 1500), PhaseApproach);
    EXPECT_EQ(NextFlightPhase(PhaseEnroute, 1400, -500, -40, 10, 1000, 1500), PhaseEnroute);
    EXPECT_EQ(NextFlightPhase(PhaseEnroute, 1400, -500, -300, 400, 1000, 1500), PhaseEnroute);
    EXPECT_EQ(NextFlightPhase(PhaseApproach, 1100, 300, 0, 0, 1000, 1500), PhaseEnroute);
    EXPECT_EQ(NextFlightPhase(PhaseApproach, 900, 300, 0, 0, 1000, 1500), PhaseApproach);
}

TEST(GpwsCallouts, EachHeightOnceOnTheWayDown)
{
    EXPECT_EQ(CalloutFor(501, 500), AlertCallout500);
    EXPECT_EQ(CalloutFor(500, 499), AlertNone);
    EXPECT_EQ(CalloutFor(201, 199), 14);
    EXPECT_EQ(CalloutFor(101, 100), 15);
    EXPECT_EQ(CalloutFor(51, 45), 16);
    EXPECT_EQ(CalloutFor(41, 40), 17);
    EXPECT_EQ(CalloutFor(31, 30), 18);
    EXPECT_EQ(CalloutFor(21, 20), 19);
    EXPECT_EQ(CalloutFor(11, 10), AlertCallout10);
    EXPECT_EQ(CalloutFor(11, 1), AlertNone);
}

class TerrainAwarenessTest : public ::testing::Test {
protected:
    TempFolder tmp;
    std::string terrain = tmp / "Terrain";
    std::string ini = tmp / "Plovik.ini";

    void SetUp() override
    {
        FreeImage_Initialise(FALSE);
        setenv("TVL_MESSAGEBOX_ANSWER", "IDOK", 1);
        snprintf(TerrainFolder, sizeof TerrainFolder, "%s", tmp.Path().c_str());
        snprintf(IniFilePath, sizeof IniFilePath, "%s", ini.c_str());
        std::filesystem::create_directories(terrain + "/N53");
        SetTerrainAwarenessClock(FakeClock);
        ResetTerrainAwareness();
        Settings.Terrainstate = 0;
        Settings.GPWSOn = 1;
        Settings.TAWS = 0;
        Settings.PilotFlightmode = 1;
        Aircraft = AircraftWorkingValues{};
    }
    void TearDown() override
    {
        SetTerrainAwarenessClock(nullptr);
        ShutdownTerrain();
        FreeTerrainImageBuffers();
        CloseTerrainDatabase();
        FreeImage_DeInitialise();
    }

    // The window round 53.5 N 10.5 E with the middle cell at byte value.
    void LoadTerrain(uint8_t value)
    {
        WriteFlatJpeg(terrain + "/N53/N53E010.jpg", value);
        MapCenter.latitude = 53.5;
        MapCenter.longitude = 10.5;
        for (int frame = 0; frame < 40 && !IsTerrainActive(); frame++) {
            UpdateTerrain(0, 0, 0, 0);
            UploadNextTerrainTile();
        }
        ASSERT_TRUE(IsTerrainActive());
    }

    // One frame at altitude (ft), height above ground (ft), vertical speed (ft/min).
    int32_t Frame(double altitude, double agl, double vs)
    {
        FakeNow += 100;
        Aircraft.Altitude = altitude;
        Aircraft.VerticalSpeedPerMinute = static_cast<float>(vs);
        UpdateTerrain(altitude, agl, 0, 90);
        RunGpwsAlerts(1);
        UpdateAltitudeCallouts();
        DrawTerrainTiles(320, 240, 0);
        return UpdateTerrainAlert();
    }
};

TEST_F(TerrainAwarenessTest, NothingRunsUntilATerrainWindowIsIn)
{
    Aircraft.VerticalSpeedPerMinute = -9000;
    RunGpwsAlerts(1);
    EXPECT_EQ(GetRawTerrainAlert(), AlertNone);
}

TEST_F(TerrainAwarenessTest, EnrouteDescentTowardsRisingTerrainWarnsAndClears)
{
    // Terrain at byte 39 (3244 ft); 500 ft clearance is at 3744 ft.
    LoadTerrain(39);
    Settings.PilotFlightmode = PhaseEnroute;
    uint8_t b = GetDisplayedTerrainByte(53.5, 10.5);
    double ground = TerrainByteToFeet(b);
    EXPECT_EQ(Frame(ground + 900, 900, 0), AlertNone);
    EXPECT_EQ(Frame(ground + 450, 450, 0), AlertTerrainAhead);
    EXPECT_EQ(GetRawTerrainAlert(), AlertTerrainAhead);
    EXPECT_TRUE(IsTerrainAlertActive());
    // Climbing away: the raw alert goes at once, the shown one after 3 s.
    EXPECT_EQ(Frame(ground + 2000, 2000, 0), AlertTerrainAhead);
    EXPECT_EQ(GetRawTerrainAlert(), AlertNone);
    FakeNow += 3100;
    EXPECT_EQ(Frame(ground + 2000, 2000, 0), AlertNone);
    EXPECT_FALSE(IsTerrainAlertActive());
}

TEST_F(TerrainAwarenessTest, DepartureSinkGivesDontSinkThenSinkRateThenPullUp)
{
    LoadTerrain(20);
    Settings.PilotFlightmode = PhaseDeparture;
    std::vector<int32_t> seen;
    for (int i = 0; i < 200; i++) {
        FakeNow += 3100; // every frame may take a new alert
        int32_t shown = Frame(2000, 500, -3000);
        if (shown && (seen.empty() || seen.back() != shown))
            seen.push_back(shown);
    }
    // The smoothed descent deepens through the outer envelope into the inner one.
    std::vector<int32_t> expected{AlertDontSink, AlertSinkRate, AlertPullUp};
    EXPECT_EQ(seen, expected);
}

TEST_F(TerrainAwarenessTest, AutomaticPhaseFollowsTheFlightAndTheGround)
{
    LoadTerrain(20);
    SetFlightModeAuto(0);
    EXPECT_EQ(Settings.PilotFlightmode, -1);
    EXPECT_EQ(GetAutoFlightMode(), PhaseDeparture);
    Frame(3000, 1200, 800);
    EXPECT_EQ(GetAutoFlightMode(), PhaseEnroute);
    for (int i = 0; i < 100; i++)
        Frame(3000, 1400 - i, -600);
    EXPECT_EQ(GetAutoFlightMode(), PhaseApproach);
    Aircraft.OnGround = 1;
    Frame(100, 0, 0);
    EXPECT_EQ(GetAutoFlightMode(), PhaseDeparture);
    Settings.PilotFlightmode = 0;
    Frame(100, 0, 0);
    EXPECT_EQ(Settings.PilotFlightmode, 0);
    SetFlightModeAuto(5000);
    EXPECT_EQ(GetAutoFlightMode(), PhaseEnroute);
}

TEST_F(TerrainAwarenessTest, CalloutsPlayOnceEachAndAgainAfterAClimb)
{
    LoadTerrain(20);
    Settings.PilotFlightmode = PhaseApproach;
    auto descend = [&]() {
        std::vector<int32_t> heard;
        int32_t last = 0;
        for (double h = 700; h >= 0; h -= 2) {
            int32_t shown = Frame(h + 100, h, -300);
            if (shown >= AlertCallout500 && shown != last)
                heard.push_back(shown);
            last = shown;
        }
        return heard;
    };
    std::vector<int32_t> expected{13, 14, 15, 16, 17, 18, 19, 20};
    EXPECT_EQ(descend(), expected);
    // Climbing back above 600 ft arms them again.
    FakeNow += 3100;
    Frame(900, 800, 500);
    EXPECT_EQ(descend(), expected);
}

TEST_F(TerrainAwarenessTest, AMutedAlertStaysMutedUntilTheAlertEnds)
{
    LoadTerrain(39);
    Settings.PilotFlightmode = PhaseEnroute;
    double ground = TerrainByteToFeet(GetDisplayedTerrainByte(53.5, 10.5));
    EXPECT_EQ(Frame(ground + 300, 300, 0), AlertTerrainAhead);
    MuteTerrainAlert();
    FakeNow += 3100;
    EXPECT_EQ(Frame(ground + 300, 300, 0), AlertTerrainAhead);
    EXPECT_TRUE(IsTerrainAlertActive());
    ClearTerrainAlert();
    EXPECT_FALSE(IsTerrainAlertActive());
    FakeNow += 3100;
    Frame(ground + 3000, 3000, 0);
    EXPECT_EQ(GetRawTerrainAlert(), AlertNone);
}

TEST_F(TerrainAwarenessTest, SettingsAreClampedKeptAndWrittenBack)
{
    WritePrivateProfileStringA("Terrain", "Blendfactor", "0.05", ini.c_str());
    WritePrivateProfileStringA("Terrain", "Color3", "0,0,0", ini.c_str());
    WritePrivateProfileStringA("Terrain", "Color2", "1,2", ini.c_str());
    WritePrivateProfileStringA("Terrain", "Color4", "10,300,-4", ini.c_str());
    WritePrivateProfileStringA("Terrain", "Legende", "1", ini.c_str());
    WritePrivateProfileStringA("Terrain", "Obstacle", "7", ini.c_str());
    WritePrivateProfileStringA("Terrain", "Sealevel", "0", ini.c_str());
    Settings.TerrainOverlay = 0;
    ReadTerrainSettings();
    EXPECT_FLOAT_EQ(Settings.TerrainTransparency, 0.1f);
    EXPECT_EQ(Settings.TerrainOverlay, 1);
    uint8_t r = 0, g = 0, b = 0;
    ASSERT_TRUE(GetTerrainColor(2, &r, &g, &b));
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 255);
    EXPECT_EQ(b, 148);
    ASSERT_TRUE(GetTerrainColor(1, &r, &g, &b));
    EXPECT_EQ(g, 152);
    ASSERT_TRUE(GetTerrainColor(3, &r, &g, &b));
    EXPECT_EQ(r, 10);
    EXPECT_EQ(g, 255);
    EXPECT_EQ(b, 0);
    EXPECT_FALSE(GetTerrainColor(5, &r, &g, &b));
    EXPECT_EQ(TerrainLegende, 1);
    EXPECT_EQ(TerrainObstacleFlag, 1);
    EXPECT_EQ(Sealevel, 0);
    float rgb[3];
    GetTerrainColorRgb(rgb, 4);
    EXPECT_FLOAT_EQ(rgb[0], 125 / 255.0f);
    LoadTerrainColors(); // the terrain technique gets legend colours 1..4
    for (int c = 0; c < 3; c++)
        EXPECT_FLOAT_EQ(TerrainColors[3][c], rgb[c]);
    EXPECT_FLOAT_EQ(TerrainColors[3][3], 1.0f);

    WritePrivateProfileStringA("Terrain", "Blendfactor", "1.5", ini.c_str());
    ForgetTerrainSettings();
    ReadTerrainSettings();
    EXPECT_FLOAT_EQ(Settings.TerrainTransparency, 1.0f);

    SaveTerrainSettings();
    char text[64];
    GetPrivateProfileStringA("Terrain", "Color3", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "255,255,148");
    GetPrivateProfileStringA("Terrain", "Color4", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "10,255,0");
    GetPrivateProfileStringA("Terrain", "Sealevel", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "0");
    GetPrivateProfileStringA("Terrain", "Obstacle", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "1");
}

TEST_F(TerrainAwarenessTest, ASectionNeverReadIsNotOverwritten)
{
    WritePrivateProfileStringA("Terrain", "Legende", "1", ini.c_str());
    WritePrivateProfileStringA("Terrain", "Color1", "1,2,3", ini.c_str());
    SaveTerrainSettings();
    char text[64];
    GetPrivateProfileStringA("Terrain", "Legende", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "1");
    GetPrivateProfileStringA("Terrain", "Color1", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "1,2,3");
}

TEST_F(TerrainAwarenessTest, ShaderValuesPlaceEachTileAboutTheAircraft)
{
    LoadTerrain(20);
    Settings.Terrainstate = 1;
    Settings.Terrainmap = 2;
    Settings.TAWS = 1;
    Settings.TerrainOverlay = 0;
    Settings.Dimlevel = 200;
    MapCenter.latitude = 53.25;
    MapCenter.longitude = 10.75;
    Frame(5000, 4000, 0);
    TerrainShaderParams p{};
    ASSERT_EQ(GetTerrainShaderParams(0, &p), 1);
    EXPECT_FLOAT_EQ(p.altitude, 5000 + 1361.2f);
    EXPECT_FLOAT_EQ(p.blendfactor, 1.0f);
    EXPECT_EQ(p.mode, 2);
    EXPECT_EQ(p.warn, 1);
    EXPECT_FLOAT_EQ(p.uextern, 0.25f); // 10.75 - 8 - 2.5
    EXPECT_FLOAT_EQ(p.vextern, 0.25f); // 55 - 53.25 - 1.5
    EXPECT_FLOAT_EQ(p.uoff, -2.5f);
    EXPECT_FLOAT_EQ(p.voff, -1.5f);
    EXPECT_FLOAT_EQ(p.brightness, 200.0f);
    GetTerrainShaderParams(14, &p);
    EXPECT_FLOAT_EQ(p.uoff, 1.5f);
    EXPECT_FLOAT_EQ(p.voff, 0.5f);
    Settings.Terrainstate = 0;
}

TEST_F(TerrainAwarenessTest, TheShadingWaitsForTheTerrainShownWithoutAChart)
{
    LoadTerrain(20);
    const int dim = Settings.Dimlevel, map = Settings.Terrainmap;
    Settings.Terrainstate = 1;
    Settings.Terrainmap = 2;
    Settings.Dimlevel = 100;
    DrawTerrainTiles(320, 240, 0);
    TerrainShaderParams p{};
    GetTerrainShaderParams(0, &p);
    EXPECT_FLOAT_EQ(p.brightness, 100.0f);
    // The shading's values are taken only when it draws.
    Settings.Dimlevel = 150;
    Settings.AirportChart = 1;
    DrawTerrainTiles(320, 240, 0);
    GetTerrainShaderParams(0, &p);
    EXPECT_FLOAT_EQ(p.brightness, 100.0f) << "no shading under the airport chart";
    Settings.AirportChart = 0;
    Settings.Terrainstate = 0;
    DrawTerrainTiles(320, 240, 0);
    GetTerrainShaderParams(0, &p);
    EXPECT_FLOAT_EQ(p.brightness, 100.0f) << "no shading with the terrain hidden";
    Settings.Terrainstate = 1;
    DrawTerrainTiles(320, 240, 0);
    GetTerrainShaderParams(0, &p);
    EXPECT_FLOAT_EQ(p.brightness, 150.0f);
    Settings.Terrainstate = 0;
    Settings.Dimlevel = dim;
    Settings.Terrainmap = map;
}

} // namespace
