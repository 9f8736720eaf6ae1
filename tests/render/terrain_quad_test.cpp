// The terrain quad: technique choice, the values handed to the effect, its
// placement, and the colours an elevation grid gets for an aircraft altitude.
#include "render/quads.h"
#include "render/terrain_quad.h"
#include "tests/render/render_fixture.h"

#include <climits>
#include <cmath>
#include <vector>

namespace {

constexpr float kPi = 3.14159265f;
constexpr double kFeetPerStep = 118.08, kOffset = 1361.2;

TerrainShaderParams g_params;
int g_asked = 0;

int TestParams(int, TerrainShaderParams* out)
{
    g_asked++;
    *out = g_params;
    return 1;
}

// The legend colours 1..4 as the device keeps them.
const uint32_t kBand[4] = {0xFF619831u, 0xFF94FFFFu, 0xFF0100FEu, 0xFF00017Du}; // 0xAABBGGRR

class TerrainQuadTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        const float legend[4][3] = {{49, 152, 97}, {255, 255, 148}, {254, 0, 1}, {125, 1, 0}};
        for (int k = 0; k < 4; k++)
            for (int c = 0; c < 3; c++)
                TerrainColors[k][c] = legend[k][c] / 255.0f;
        g_params = TerrainShaderParams{};
        g_params.blendfactor = 1.0f;
        g_params.mode = 1;
        g_params.cosb = 1.0f;
        g_params.brightness = 255.0f;
        g_asked = 0;
    }
    void TearDown() override
    {
        if (grid)
            grid->Release();
        RenderTest::TearDown();
    }

    // A one-degree tile of width x height texels, green = elevation byte.
    void MakeGrid(int width, int height, const std::vector<uint8_t>& bytes)
    {
        if (grid)
            grid->Release();
        grid = nullptr;
        std::vector<uint32_t> texels(bytes.size());
        for (size_t i = 0; i < bytes.size(); i++)
            texels[i] = 0xFF000000u | (static_cast<uint32_t>(bytes[i]) << 8);
        D3D11_TEXTURE2D_DESC d{};
        d.Width = static_cast<UINT>(width);
        d.Height = static_cast<UINT>(height);
        d.MipLevels = d.ArraySize = 1;
        d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        d.SampleDesc.Count = 1;
        d.BindFlags = D3D11_BIND_SHADER_RESOURCE;
        D3D11_SUBRESOURCE_DATA init{texels.data(), static_cast<UINT>(width * 4), 0};
        ID3D11Texture2D* t = nullptr;
        ASSERT_EQ(RenderDevice.device->CreateTexture2D(&d, &init, &t), S_OK);
        RenderDevice.device->CreateShaderResourceView(t, nullptr, &grid);
        t->Release();
    }

    HRESULT Draw(const ScreenRect& r, QuadPlacement placement = QuadPlacement::VirtualScreen, OwnAngle own = {})
    {
        return DrawTerrainQuadFrom(TestParams, grid, &r, 0xFFFFFFFFu, 0.0f, placement, 7, own);
    }

    // Aircraft altitude in feet as the terrain code hands it over.
    static void Fly(double feet) { g_params.altitude = static_cast<float>(feet + kOffset); }
    // The elevation byte of a terrain height in feet (rounded down).
    static uint8_t Byte(double feet) { return static_cast<uint8_t>((feet + kOffset) / kFeetPerStep); }

    int IntVar(const char* name)
    {
        int v = 0;
        RenderDevice.effect->GetVariableByName(name)->GetRawValue(&v, 0, 4);
        return v;
    }
    float FloatVar(const char* name)
    {
        float v = 0;
        RenderDevice.effect->GetVariableByName(name)->GetRawValue(&v, 0, 4);
        return v;
    }

    ID3D11ShaderResourceView* grid = nullptr;
};

TEST_F(TerrainQuadTest, ModeChoosesTheTechniqueWhateverTheOffscreenFlag)
{
    MakeGrid(1, 1, {0});
    ScreenRect r{0, 10, 0, 10};
    Record();
    for (int mode : {2, 3, -1, 7}) {
        g_params.mode = mode;
        Draw(r);
    }
    SetOffscreenFlag(1);
    g_params.mode = 1;
    Draw(r);
    SetOffscreenFlag(0);
    const auto& d = GpuRecordedDraws();
    ASSERT_EQ(d.size(), 5u);
    EXPECT_EQ(d[0].technique, "Render2");
    EXPECT_EQ(d[1].technique, "Render3");
    EXPECT_EQ(d[2].technique, "Render2");
    EXPECT_EQ(d[3].technique, "Render3");
    EXPECT_EQ(d[4].technique, "Render2");
    EXPECT_EQ(d[0].topology, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    EXPECT_EQ(d[0].vertexCount, 4u);
    EXPECT_EQ(d[0].texture, grid);
}

TEST_F(TerrainQuadTest, ValuesReachTheEffectByName)
{
    MakeGrid(1, 1, {0});
    g_params = {1234.5f, 0.5f, 2, 1, 1, 77.7f, 0.25f, -0.75f, -1.5f, 0.5f, 0.6f, 128.0f};
    ScreenRect r{0, 10, 0, 10};
    EXPECT_EQ(Draw(r), S_OK);
    EXPECT_EQ(g_asked, 1);
    EXPECT_FLOAT_EQ(FloatVar("altitude"), 1234.5f);
    EXPECT_FLOAT_EQ(FloatVar("blendfactor"), 0.5f);
    EXPECT_EQ(IntVar("mode"), 2);
    EXPECT_EQ(IntVar("warn"), 1);
    EXPECT_EQ(IntVar("zerolimit"), 1);
    EXPECT_EQ(IntVar("factor"), 77);
    EXPECT_FLOAT_EQ(FloatVar("uextern"), 0.25f);
    EXPECT_FLOAT_EQ(FloatVar("vextern"), -0.75f);
    EXPECT_FLOAT_EQ(FloatVar("uoff"), -1.5f);
    EXPECT_FLOAT_EQ(FloatVar("voff"), 0.5f);
    EXPECT_FLOAT_EQ(FloatVar("cosb"), 0.6f);
    EXPECT_FLOAT_EQ(FloatVar("brightness"), 128.0f);
    float colour[4];
    RenderDevice.effect->GetVariableByName("color3")->GetRawValue(colour, 0, 16);
    for (int c = 0; c < 4; c++)
        EXPECT_EQ(colour[c], TerrainColors[2][c]);
}

TEST_F(TerrainQuadTest, FactorIsTruncatedAndSetOnlyWithTheWarning)
{
    MakeGrid(1, 1, {0});
    ScreenRect r{0, 10, 0, 10};
    g_params.warn = 1;
    g_params.factor = 2.9f;
    Draw(r);
    EXPECT_EQ(IntVar("factor"), 2);
    g_params.factor = -2.9f;
    Draw(r);
    EXPECT_EQ(IntVar("factor"), -2);
    g_params.warn = 0;
    g_params.factor = 55.0f;
    Draw(r);
    EXPECT_EQ(IntVar("factor"), -2); // left from the last draw that set it
    g_params.warn = 1;
    g_params.factor = INFINITY; // no distance flown
    Draw(r);
    EXPECT_EQ(IntVar("factor"), INT_MAX);
    g_params.factor = NAN;
    Draw(r);
    EXPECT_EQ(IntVar("factor"), 0);
}

TEST_F(TerrainQuadTest, AVirtualScreenQuadIsNeverTurnedAndCornersAreNotKept)
{
    MakeGrid(1, 1, {0});
    ScreenRect r{100, 200, 50, 150};
    Record();
    Draw(r, QuadPlacement::VirtualScreen, OwnAngle{0.5f});
    EXPECT_NEAR(PixelX(Vertex(0, 1).x), 100, 1e-3);
    EXPECT_NEAR(PixelY(Vertex(0, 1).y), 50, 1e-3);
    EXPECT_NEAR(PixelX(Vertex(0, 2).x), 200, 1e-3);
    EXPECT_NEAR(PixelY(Vertex(0, 2).y), 150, 1e-3);
    // Unplaced covers the target; the map-pixel unturned case keeps no corners.
    Draw(r, QuadPlacement::WholeTarget);
    EXPECT_EQ(Vertex(1, 0).x, -1.0f);
    EXPECT_EQ(Vertex(1, 3).y, 1.0f);
    float before[4], after[4];
    GetLastQuadCorners(&before[0], &before[1], &before[2], &before[3]);
    Draw(ScreenRect{cx - 5, cx + 5, cy - 5, cy + 5}, QuadPlacement::MapPixels);
    GetLastQuadCorners(&after[0], &after[1], &after[2], &after[3]);
    for (int k = 0; k < 4; k++)
        EXPECT_EQ(after[k], before[k]) << k;
}

TEST_F(TerrainQuadTest, AMapTurnMovesTheTileLikeATexturedQuad)
{
    MakeGrid(1, 1, {0});
    ScreenRect r{cx + 90, cx + 110, cy - 10, cy + 10};
    Record();
    DrawTerrainQuadFrom(TestParams, grid, &r, 0xFFFFFFFFu, kPi / 2, QuadPlacement::MapPixels, 0);
    // A quarter turn takes the tile 100 pixels right of the centre to 100 below it.
    float mx = (PixelX(Vertex(0, 0).x) + PixelX(Vertex(0, 3).x)) / 2;
    float my = (PixelY(Vertex(0, 0).y) + PixelY(Vertex(0, 3).y)) / 2;
    EXPECT_NEAR(mx, cx, 1e-2);
    EXPECT_NEAR(my, cy + 100, 1e-2);
}

TEST_F(TerrainQuadTest, FailuresStopBeforeTheValuesAreAsked)
{
    MakeGrid(1, 1, {0});
    ScreenRect r{0, 10, 0, 10};
    GpuFailNextMap(E_OUTOFMEMORY);
    EXPECT_EQ(Draw(r), E_OUTOFMEMORY);
    EXPECT_EQ(g_asked, 0);
    CleanupD3D();
    EXPECT_EQ(Draw(r), E_FAIL);
    EXPECT_EQ(g_asked, 0);
}

// ---- colours ----------------------------------------------------------------------

// Eight columns of terrain, 64 pixels each, against an aircraft at 5000 ft:
// elevation bytes whose clearances are 3999.6, 1165.7, 929.5, 575.3, 457.2,
// -15.1, -133.2 and -723.6 ft.
class TerrainColourTest : public TerrainQuadTest {
protected:
    void SetUp() override
    {
        TerrainQuadTest::SetUp();
        Fly(5000);
        MakeGrid(8, 1, {20, 44, 46, 49, 50, 54, 55, 60});
    }
    void DrawStrip() { Draw(ScreenRect{0, 512, 0, 64}); }
    uint32_t Column(int k) { return Pixel(k * 64 + 32, 32); }
};

TEST_F(TerrainColourTest, ClearanceBandsTakeTheLegendColours)
{
    DrawStrip();
    const int expect[8] = {0, 0, 1, 1, 2, 2, 3, 3};
    for (int k = 0; k < 8; k++)
        EXPECT_EQ(Column(k), kBand[expect[k]]) << "column " << k;
    EXPECT_EQ(Pixel(600, 32), 0xFF000000u); // outside the quad
}

TEST_F(TerrainColourTest, ModeTwoLeavesSafeTerrainUncoloured)
{
    g_params.mode = 2;
    DrawStrip();
    EXPECT_EQ(Column(0), 0xFF000000u);
    EXPECT_EQ(Column(1), 0xFF000000u);
    EXPECT_EQ(Column(2), kBand[1]);
    EXPECT_EQ(Column(7), kBand[3]);
}

TEST_F(TerrainColourTest, ABlendFactorMixesWithTheMapAndBrightnessDims)
{
    g_params.blendfactor = 0.5f;
    DrawStrip();
    uint32_t p = Column(4); // red over black, half
    EXPECT_NEAR(static_cast<int>(p & 0xFF), 127, 1);
    EXPECT_EQ(p >> 8 & 0xFF, 0u);
    ClearTarget(0xFF000000u);
    g_params.blendfactor = 1.0f;
    g_params.brightness = 51.0f; // a fifth
    DrawStrip();
    EXPECT_EQ(Column(4), 0xFF000033u);
}

TEST_F(TerrainColourTest, TheDescentLookAheadWarnsOfTerrainFurtherOut)
{
    // The aircraft stands over the strip's left edge (the tile is the
    // window's middle cell: uoff -0.5, voff -0.5; aircraft at u 0, v 0.5).
    g_params.uoff = -0.5f;
    g_params.voff = -0.5f;
    g_params.uextern = -0.5f;
    g_params.vextern = 0.0f;
    g_params.warn = 0;
    g_params.factor = -1600.0f; // ft per degree: at most 1000 ft lower, reached 5/8 of the way
    DrawStrip();
    std::vector<uint32_t> level;
    for (int k = 0; k < 8; k++)
        level.push_back(Column(k));
    ClearTarget(0xFF000000u);
    g_params.warn = 1;
    DrawStrip();
    // Column k lies (k + 0.5) / 8 degree away: the aircraft is taken
    // 100, 300, 500, 700, 900, then 1000 ft lower.
    const int expect[8] = {0, 1, 2, 3, 3, 3, 3, 3};
    for (int k = 0; k < 8; k++)
        EXPECT_EQ(Column(k), kBand[expect[k]]) << "column " << k;
    EXPECT_NE(level, std::vector<uint32_t>({Column(0), Column(1), Column(2), Column(3), Column(4), Column(5),
                                            Column(6), Column(7)}));
    // A climb never makes terrain look safer than it is now.
    ClearTarget(0xFF000000u);
    g_params.factor = 5000.0f;
    DrawStrip();
    for (int k = 0; k < 8; k++)
        EXPECT_EQ(Column(k), level[static_cast<size_t>(k)]) << "column " << k;
}

TEST_F(TerrainColourTest, SeaLevelStaysUncolouredWithTheZeroLimit)
{
    MakeGrid(2, 1, {Byte(-50), Byte(200)}); // -62.3 and 173.8 ft
    Fly(100);
    g_params.zerolimit = 1;
    Draw(ScreenRect{0, 128, 0, 64});
    EXPECT_EQ(Pixel(32, 32), 0xFF000000u);
    EXPECT_EQ(Pixel(96, 32), kBand[2]);
    g_params.zerolimit = 0;
    Draw(ScreenRect{0, 128, 0, 64});
    EXPECT_EQ(Pixel(32, 32), kBand[2]);
}

TEST_F(TerrainColourTest, NorthRowIsOnTopAndTheGridIsPointSampled)
{
    // Rows of the texture come north first: a high row on top, low below.
    MakeGrid(1, 2, {Byte(5600), Byte(1000)});
    Draw(ScreenRect{0, 64, 0, 64});
    EXPECT_EQ(Pixel(32, 0), kBand[3]);
    EXPECT_EQ(Pixel(32, 31), kBand[3]);
    EXPECT_EQ(Pixel(32, 32), kBand[0]);
}

TEST_F(TerrainColourTest, ReliefShadesSlopesAndLeavesFlatLandClear)
{
    g_params.mode = 3;
    // A ridge running north-south: the west slope faces the light, the east one not.
    MakeGrid(5, 1, {50, 51, 52, 51, 50});
    Draw(ScreenRect{0, 320, 0, 64});
    uint32_t west = Pixel(96, 32), east = Pixel(224, 32);
    EXPECT_GT(west & 0xFF, 0u);   // lightened
    EXPECT_EQ(east, 0xFF000000u); // darkened black stays black
    ClearTarget(0xFFFFFFFFu);
    Draw(ScreenRect{0, 320, 0, 64});
    EXPECT_LT(Pixel(224, 32) & 0xFF, 0xFFu); // a shadow on white
    MakeGrid(3, 3, std::vector<uint8_t>(9, 50));
    ClearTarget(0xFF808080u);
    Draw(ScreenRect{0, 96, 0, 96});
    EXPECT_EQ(Pixel(48, 48), 0xFF808080u);
}

TEST_F(TerrainColourTest, NoAltitudeColoursNothing)
{
    g_params.altitude = NAN;
    DrawStrip();
    for (int k = 0; k < 8; k++)
        EXPECT_EQ(Column(k), 0xFF000000u);
}

} // namespace
