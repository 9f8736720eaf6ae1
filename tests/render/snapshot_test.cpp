// The map snapshot: capturing into the offscreen target, drawing it back
// shifted, its flags, the lock and refresh requests.
#include "render/shapes.h"
#include "render/snapshot.h"
#include "tests/render/render_fixture.h"

#include <vector>

namespace {

class SnapshotTest : public RenderTest {
protected:
    // A pattern of opaque squares whose colour varies with the position.
    void DrawPattern()
    {
        for (int y = 0; y < 480; y += 40)
            for (int x = 0; x < 640; x += 40) {
                ScreenRect r{float(x + 5), float(x + 35), float(y + 5), float(y + 35)};
                DrawFilledQuad(&r, 0xFF000000u | uint32_t(x / 40 * 15) | uint32_t(y / 40 * 20) << 8 | 0x400000u, 0.0f,
                               QuadPlacement::VirtualScreen);
            }
    }

    uint32_t SnapshotPixel(int x, int y)
    {
        ID3D11Resource* r = nullptr;
        SnapshotTarget.view->GetResource(&r);
        uint32_t p = GpuReadPixel(r, x, y);
        r->Release();
        return p;
    }

    void Capture(double x, double y)
    {
        ASSERT_EQ(BeginSnapshot(x, y), 1);
        DrawPattern();
        EndSnapshot(x, y, 0.0);
    }
};

TEST_F(SnapshotTest, TargetHasTheClientSize)
{
    ASSERT_TRUE(SnapshotTarget.view && SnapshotTarget.targetView && SnapshotTarget.texture);
    D3D11_TEXTURE2D_DESC d;
    SnapshotTarget.texture->GetDesc(&d);
    EXPECT_EQ(d.Width, 640u);
    EXPECT_EQ(d.Height, 480u);
    EXPECT_EQ(d.BindFlags, 0x28u);
    EXPECT_EQ(SnapshotTarget.blitRect.x1, 640.0f);
    EXPECT_EQ(SnapshotTarget.blitRect.y1, 480.0f);
}

TEST_F(SnapshotTest, CapturingDrawsOffscreenIntoAClearedTarget)
{
    ClearTarget(0xFF102030u);
    ASSERT_EQ(BeginSnapshot(3, 4), 1);
    EXPECT_EQ(RenderDevice.currentTarget, SnapshotTarget.targetView);
    EXPECT_EQ(RenderDevice.offscreen, 1);
    EXPECT_EQ(SnapshotPixel(0, 0), 0u); // transparent black
    Record();
    ScreenRect r{0, 10, 0, 10};
    DrawFilledQuad(&r, 0xFF0000FFu, 0.0f, QuadPlacement::VirtualScreen);
    EXPECT_EQ(GpuRecordedDraws()[0].technique, "Render5");
    EXPECT_EQ(Pixel(5, 5), 0xFF302010u); // the back buffer is untouched
    EndSnapshot(3, 4, 0.0);
    EXPECT_EQ(RenderDevice.currentTarget, RenderDevice.backBufferView);
    EXPECT_EQ(RenderDevice.offscreen, 0);
    EXPECT_EQ(SnapshotTarget.valid, 1);
    EXPECT_EQ(GpuRecordedDraws().back().technique, "Render");
}

TEST_F(SnapshotTest, BeginTwiceKeepsTheFirstReference)
{
    EXPECT_EQ(BeginSnapshot(10, 20), 1);
    EXPECT_EQ(BeginSnapshot(30, 40), 1);
    EXPECT_EQ(SnapshotTarget.referenceX, 10);
    EXPECT_EQ(SnapshotTarget.referenceY, 20);
    EndSnapshot(10, 20, 0.0);
}

TEST_F(SnapshotTest, EndingInPlaceCopiesTheSnapshotOntoTheScreen)
{
    Capture(0, 0);
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 7)
            ASSERT_EQ(Pixel(x, y), SnapshotPixel(x, y) ? SnapshotPixel(x, y) : 0xFF000000u) << x << "," << y;
}

TEST_F(SnapshotTest, DrawnBackShiftedEveryPixelMovesByTheShift)
{
    Capture(100, 200);
    const int shifts[3][2] = {{15, 4}, {-23, 9}, {7, -31}};
    for (const auto& s : shifts) {
        ClearTarget(0xFF000000u);
        EXPECT_EQ(DrawSnapshot(100 + s[0], 200 + s[1], 0.0, 1), 1);
        int compared = 0;
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++) {
                int sx = x - s[0], sy = y - s[1];
                if (sx < 0 || sy < 0 || sx >= 640 || sy >= 480) {
                    ASSERT_EQ(Pixel(x, y), 0xFF000000u) << x << "," << y;
                    continue;
                }
                uint32_t want = SnapshotPixel(sx, sy);
                ASSERT_EQ(Pixel(x, y), want ? want : 0xFF000000u) << x << "," << y << " shift " << s[0];
                compared++;
            }
        EXPECT_GT(compared, 200000);
    }
    // Unshifted, the snapshot lies in place whatever the offsets.
    ClearTarget(0xFF000000u);
    DrawSnapshot(500, 500, 0.0, 0);
    EXPECT_EQ(Pixel(20, 20), SnapshotPixel(20, 20));
}

TEST_F(SnapshotTest, AMoveOfFifteenAndFourShiftsTheRectangle)
{
    ASSERT_EQ(BeginSnapshot(0, 0), 1);
    Record();
    EndSnapshot(15, 4, 0.0);
    const auto& d = GpuRecordedDraws();
    ASSERT_EQ(d.size(), 1u);
    // Layer quad: vertex 0 (x0, y0), vertex 3 (x1, y1), in layer units (y up).
    RenderVertex v0 = Vertex(0, 0), v3 = Vertex(0, 3);
    EXPECT_NEAR((v0.x + 1) * 320, 15, 1e-3);
    EXPECT_NEAR((v3.x + 1) * 320, 655, 1e-3);
    EXPECT_NEAR((v0.y + 1) * 240, -4, 1e-3);
    EXPECT_NEAR((v3.y + 1) * 240, 476, 1e-3);
    EXPECT_EQ(d[0].texture, SnapshotTarget.view);
}

TEST_F(SnapshotTest, RefreshRequestDrawsTheOldSnapshotOnceAndAnswersZero)
{
    Capture(0, 0);
    RequestSnapshotRefresh();
    ClearTarget(0xFF000000u);
    EXPECT_EQ(DrawSnapshot(0, 0, 0.0, 1), 0);
    EXPECT_EQ(Pixel(20, 20), SnapshotPixel(20, 20));
    EXPECT_EQ(SnapshotTarget.refreshRequested, 0);
    ClearTarget(0xFF000000u);
    EXPECT_EQ(DrawSnapshot(0, 0, 0.0, 1), 0);
    EXPECT_EQ(Pixel(20, 20), 0xFF000000u);
}

TEST_F(SnapshotTest, LockFreezesCapturingAndDrawing)
{
    Capture(0, 0);
    SetSnapshotLock(1);
    ClearTarget(0xFF000000u);
    Record();
    EXPECT_EQ(DrawSnapshot(0, 0, 0.0, 1), 1); // valid unchanged
    EXPECT_EQ(BeginSnapshot(0, 0), 0);
    EXPECT_TRUE(GpuRecordedDraws().empty());
    EXPECT_EQ(RenderDevice.currentTarget, RenderDevice.backBufferView);
    SetSnapshotLock(0);
    EXPECT_EQ(DrawSnapshot(0, 0, 0.0, 1), 1);
    EXPECT_EQ(GpuRecordedDraws().size(), 1u);
}

TEST_F(SnapshotTest, LockingDuringACaptureGivesTheScreenBack)
{
    ASSERT_EQ(BeginSnapshot(0, 0), 1);
    SetSnapshotLock(1);
    EXPECT_EQ(RenderDevice.currentTarget, RenderDevice.backBufferView);
    EXPECT_EQ(RenderDevice.offscreen, 0);
    EndSnapshot(0, 0, 0.0);
    EXPECT_EQ(SnapshotTarget.valid, 0);
    ScreenRect r{0, 10, 0, 10};
    DrawFilledQuad(&r, 0xFF0000FFu, 0.0f, QuadPlacement::VirtualScreen);
    EXPECT_EQ(Pixel(5, 5), 0xFF0000FFu); // drawing lands on the screen again
    SetSnapshotLock(0);
    EXPECT_EQ(BeginSnapshot(0, 0), 1); // the next frame captures anew
}

TEST_F(SnapshotTest, InvalidateClearsValidAndAnswersTheNearestPage)
{
    Capture(0, 0);
    EXPECT_EQ(InvalidateSnapshot(), 0);
    EXPECT_EQ(SnapshotTarget.valid, 0);
    EXPECT_EQ(DrawSnapshot(0, 0, 0.0, 1), 0);
}

TEST_F(SnapshotTest, ReleaseDuringACaptureRestoresTheBackBuffer)
{
    ASSERT_EQ(BeginSnapshot(0, 0), 1);
    ReleaseSnapshotTarget();
    EXPECT_EQ(RenderDevice.currentTarget, RenderDevice.backBufferView);
    EXPECT_EQ(RenderDevice.offscreen, 0);
    EXPECT_EQ(SnapshotTarget.valid, 0);
    // Without a target the layers go straight to the screen every frame.
    EXPECT_EQ(BeginSnapshot(0, 0), 1);
    EXPECT_EQ(SnapshotTarget.capturing, 0);
    EXPECT_EQ(RenderDevice.currentTarget, RenderDevice.backBufferView);
    EndSnapshot(0, 0, 0.0);
    EXPECT_EQ(SnapshotTarget.valid, 0);
}

} // namespace
