// The renderer's device: start-up and its failures, clearing, presenting,
// the coordinate mappings.
#include "tests/render/render_fixture.h"
#include "tests/support/temp_folder.h"

#include <cmath>

namespace {

using DeviceTest = RenderTest;

TEST_F(DeviceTest, StartsOnTheSoftwareDriverWithEveryTechnique)
{
    EXPECT_EQ(RenderDevice.ready, 1);
    EXPECT_EQ(RenderDevice.driverType, D3D_DRIVER_TYPE_WARP); // no hardware device here
    for (auto* t : RenderDevice.techniques)
        ASSERT_TRUE(t && t->IsValid());
    int w = 0, h = 0;
    GetViewportSize(&w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
}

TEST_F(DeviceTest, ClearTargetReadsItsColourAsArgb)
{
    ClearTarget(0xFF000000u);
    EXPECT_EQ(Pixel(0, 0), 0xFF000000u); // opaque black
    ClearTarget(0);
    EXPECT_EQ(Pixel(5, 5), 0u); // transparent black
    ClearTarget(0x80112233u);
    EXPECT_EQ(Pixel(639, 479), 0x80332211u); // red 0x11 lands in the lowest byte
}

TEST_F(DeviceTest, PresentFrameOnlyWhileReady)
{
    EXPECT_EQ(PresentFrame(), 0);
    CleanupD3D();
    EXPECT_EQ(PresentFrame(), -1);
    EXPECT_EQ(ClearTarget(0xFF000000u), 0); // no device: nothing done
}

TEST_F(DeviceTest, StartsAgainAfterCleanUp)
{
    CleanupD3D();
    ASSERT_EQ(InitD3D(nullptr), 0);
    ClearTarget(0xFF0000FFu);
    EXPECT_EQ(Pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(PresentFrame(), 0);
}

TEST_F(DeviceTest, VirtualScreenCentreIsTheClipOrigin)
{
    EXPECT_FLOAT_EQ(VirtualToClipX(320), 0.0f);
    EXPECT_FLOAT_EQ(VirtualToClipY(240), 0.0f);
    EXPECT_FLOAT_EQ(VirtualToClipX(0), -1.0f);
    EXPECT_FLOAT_EQ(VirtualToClipY(480), -1.0f);
}

TEST(DeviceStart, SystemInfoRecordsTheSoftwareDriver)
{
    TempFolder system;
    std::snprintf(ProgramRoot, sizeof(ProgramRoot), "%s", TVL_ROOT_DIR);
    std::snprintf(SystemFolder, sizeof(SystemFolder), "%s", system.Path().c_str());
    ASSERT_EQ(InitD3D(nullptr), 0);
    std::string info = ReadFileText(system / "System.info");
    EXPECT_NE(info.find("[DirectX]"), std::string::npos) << info;
    EXPECT_NE(info.find("DriverType=D3D_DRIVER_TYPE_WARP"), std::string::npos) << info;
    EXPECT_NE(info.find("FeatureLevel=D3D_FEATURE_LEVEL_11_0"), std::string::npos) << info;
    CleanupD3D();
}

TEST(DeviceStart, MissingEffectFileFailsWithMinusOne)
{
    TempFolder root;
    MakeFolders(root / "System");
    std::snprintf(ProgramRoot, sizeof(ProgramRoot), "%s", root.Path().c_str());
    EXPECT_EQ(InitD3D(nullptr), -1);
    EXPECT_EQ(RenderDevice.ready, 0);
    EXPECT_EQ(RenderDevice.techniques[TechRender], nullptr);
    EXPECT_EQ(PresentFrame(), -1);
    CleanupD3D();
}

TEST(DeviceStart, ForeignEffectFileFailsCreation)
{
    TempFolder root;
    MakeFolders(root / "System");
    WriteFileText(root / "System/QRDLX30_11.fxo", std::string("DXBC\0\0\1\0compiled shader bytes", 29));
    std::snprintf(ProgramRoot, sizeof(ProgramRoot), "%s", root.Path().c_str());
    int result = InitD3D(nullptr);
    EXPECT_NE(result, 0);
    EXPECT_LT(result, 0);
    EXPECT_EQ(RenderDevice.ready, 0);
    CleanupD3D();
}

class LargeWindowTest : public RenderTest {
protected:
    LargeWindowTest() : RenderTest(1280, 960) {}
};

TEST_F(LargeWindowTest, MapPixelsCountInClientPixelsFromTheCentre)
{
    // The screen centre lands where the virtual screen puts it; a point ten
    // map pixels to its right lies ten client pixels to the right.
    float centreX = PixelX(MapPixelToClipX(cx, cx)), centreY = PixelY(MapPixelToClipY(cy, cy));
    EXPECT_NEAR(centreX, 1280 * cx / 640, 1e-3);
    EXPECT_NEAR(centreY, 960 * cy / 480, 1e-3);
    EXPECT_NEAR(PixelX(MapPixelToClipX(cx + 10, cx)) - centreX, 10.0f, 1e-3);
    EXPECT_NEAR(PixelY(MapPixelToClipY(cy + 100, cy)) - centreY, 100.0f, 1e-3);
    float px, py;
    ToClientPixels(cx + 10, cy - 5, &px, &py);
    EXPECT_NEAR(px, centreX + 10, 1e-3);
    EXPECT_NEAR(py, centreY - 5, 1e-3);
}

} // namespace
