// wpl.bin records, off-screen placement, aspect fitting, monitors side by side
// and the corners of the small windows.
#include "app/display_modes.h"
#include "app/main_window.h"
#include "app/window_placement.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

WINDOWPLACEMENT Sample()
{
    WINDOWPLACEMENT wp = {};
    wp.length = 44;
    wp.showCmd = SW_SHOWNORMAL;
    wp.ptMinPosition = POINT{-1, -1};
    wp.ptMaxPosition = POINT{-1, -1};
    wp.rcNormalPosition = RECT{-300, 120, 400, 560};
    return wp;
}

TEST(PlacementRecord, RoundTripsThroughItsBytes)
{
    uint8_t bytes[44];
    EncodeWindowPlacement(Sample(), bytes);
    // Little-endian: the length word first, the normal bottom last.
    EXPECT_EQ(bytes[0], 44);
    EXPECT_EQ(bytes[28], 0xD4);  // -300
    EXPECT_EQ(bytes[31], 0xFF);
    WINDOWPLACEMENT back;
    ASSERT_TRUE(ParseWindowPlacement(bytes, sizeof(bytes), &back));
    EXPECT_EQ(back.rcNormalPosition.left, -300);
    EXPECT_EQ(back.rcNormalPosition.bottom, 560);
    EXPECT_EQ(back.showCmd, 1u);
}

TEST(PlacementRecord, ShortLongAndForeignRecordsAreRefused)
{
    uint8_t bytes[45] = {};
    EncodeWindowPlacement(Sample(), bytes);
    WINDOWPLACEMENT out;
    EXPECT_FALSE(ParseWindowPlacement(bytes, 43, &out));
    EXPECT_FALSE(ParseWindowPlacement(bytes, 45, &out));
    EXPECT_FALSE(ParseWindowPlacement(bytes, 0, &out));
    EXPECT_FALSE(ParseWindowPlacement(nullptr, 44, &out));

    auto refusedWith = [](void (*change)(WINDOWPLACEMENT&)) {
        WINDOWPLACEMENT wp = Sample();
        change(wp);
        uint8_t b[44];
        EncodeWindowPlacement(wp, b);
        WINDOWPLACEMENT o;
        return !ParseWindowPlacement(b, sizeof(b), &o);
    };
    EXPECT_TRUE(refusedWith([](WINDOWPLACEMENT& w) { w.length = 40; }));
    EXPECT_TRUE(refusedWith([](WINDOWPLACEMENT& w) { w.showCmd = 0; }));
    EXPECT_TRUE(refusedWith([](WINDOWPLACEMENT& w) { w.showCmd = 9; }));
    EXPECT_TRUE(refusedWith([](WINDOWPLACEMENT& w) { w.rcNormalPosition.right = w.rcNormalPosition.left; }));
    EXPECT_TRUE(refusedWith([](WINDOWPLACEMENT& w) { w.rcNormalPosition.bottom = 100; }));
    EXPECT_TRUE(refusedWith([](WINDOWPLACEMENT& w) { w.rcNormalPosition.right = 0x7FFFFFFF; }));
    EXPECT_TRUE(refusedWith([](WINDOWPLACEMENT& w) { w.rcNormalPosition.left = -0x7FFFFFFF; }));
    EXPECT_FALSE(refusedWith([](WINDOWPLACEMENT& w) { w.showCmd = SW_SHOWMAXIMIZED; }));
}

TEST(OffScreenPlacement, IsCentredOnThePrimaryScreen)
{
    // On screen (at least the margin visible): stays.
    EXPECT_EQ(KeepPositionOnScreen(300, 648, 0, 1920, 100, 1920), 300);
    EXPECT_EQ(KeepPositionOnScreen(-500, 648, 0, 1920, 100, 1920), -500);
    EXPECT_EQ(KeepPositionOnScreen(1820, 648, 0, 1920, 100, 1920), 1820);
    // Off: centred, which puts it fully on the screen.
    EXPECT_EQ(KeepPositionOnScreen(-600, 648, 0, 1920, 100, 1920), 636);
    EXPECT_EQ(KeepPositionOnScreen(1821, 648, 0, 1920, 100, 1920), 636);
    EXPECT_EQ(KeepPositionOnScreen(5000, 400, 0, 1080, 100, 1080), 340);
    // Larger than the screen: its top-left corner stays visible.
    EXPECT_EQ(KeepPositionOnScreen(5000, 3000, 0, 1920, 100, 1920), 0);
    // Several monitors: the virtual screen's edges, no margin.
    EXPECT_EQ(KeepPositionOnScreen(-1000, 648, -1280, 1920, 0, 1920), -1000);
    EXPECT_EQ(KeepPositionOnScreen(-2000, 648, -1280, 1920, 0, 1920), 636);
}

// A window partly off the screen comes whole onto it (the Part's rule only
// moves one that is nearly all off); one larger than the screen is made
// smaller first, its client keeping the aspect.
TEST(OnScreenFit, APartlyOffWindowComesWholeOntoTheScreen)
{
    const RECT screen = {0, 0, 1920, 1080};
    const SIZE frame = {8, 31};
    auto fit = [&](RECT r, double aspect = 16.0 / 9.0, bool keep = true) {
        return FitWindowOnScreen(r, screen, frame, aspect, keep);
    };
    RECT r = fit(RECT{100, 50, 748, 441});
    EXPECT_EQ(r.left, 100) << "whole on the screen: stays";
    EXPECT_EQ(r.bottom, 441);
    r = fit(RECT{1500, 900, 2148, 1291});
    EXPECT_EQ(r.left, 1920 - 648) << "past the right edge: moved in, size kept";
    EXPECT_EQ(r.right, 1920);
    EXPECT_EQ(r.top, 1080 - 391);
    r = fit(RECT{-300, -20, 348, 371});
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 648);

    // Resized to the screen's size at 640,371: the frame would not fit, so
    // the client shrinks to 1864 x 1049 (16:9) and the window stands at the
    // right edge and the top.
    r = fit(RECT{640, 371, 640 + 1928, 371 + 1111});
    EXPECT_EQ(r.right - r.left, 1864 + 8);
    EXPECT_EQ(r.bottom - r.top, 1049 + 31);
    EXPECT_EQ(r.right, 1920);
    EXPECT_EQ(r.top, 0);
    // A 4:3 window too tall only: the height decides.
    r = fit(RECT{0, 0, 1508, 1156}, 4.0 / 3.0);
    EXPECT_EQ(r.bottom - r.top, 1080);
    EXPECT_EQ(r.right - r.left, static_cast<int>(1049 * 4.0 / 3.0) + 8);
    // On a portrait screen a 16:9 window is too wide: the width decides.
    r = FitWindowOnScreen(RECT{0, 0, 1608, 931}, RECT{0, 0, 1080, 1920}, frame, 16.0 / 9.0, true);
    EXPECT_EQ(r.right - r.left, 1080);
    EXPECT_EQ(r.bottom - r.top, static_cast<int>(1072 / (16.0 / 9.0)) + 31);
    // The free layout keeps no aspect: each side is cut to the screen.
    r = fit(RECT{0, 0, 2600, 600}, 4.0 / 3.0, false);
    EXPECT_EQ(r.right - r.left, 1920);
    EXPECT_EQ(r.bottom - r.top, 600);
    // Several monitors: the virtual screen left of the primary one counts.
    r = FitWindowOnScreen(RECT{-1500, 100, -500, 700}, RECT{-1280, 0, 1920, 1080}, frame, 16.0 / 9.0, true);
    EXPECT_EQ(r.left, -1280);
    EXPECT_EQ(r.right, -280);
}

TEST(AspectFit, KeepsTheDimensionThatChanged)
{
    int w = 1000, h = 700;
    FitClientToAspect(&w, &h, true, 16.0 / 9.0);
    EXPECT_EQ(w, 1000);
    EXPECT_EQ(h, 562);
    w = 1000;
    h = 480;
    FitClientToAspect(&w, &h, false, 4.0 / 3.0);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    w = 333;
    h = 401;
    FitClientToAspect(&w, &h, false, 1.6);
    EXPECT_EQ(w, 641);
}

class MonitorTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        MainWindowState = MainWindowStateBlock();
        MainWindowState.monitorCount = 2;
        MainWindowState.monitorSizes[0] = SIZE{1920, 1080};
        MainWindowState.monitorSizes[1] = SIZE{1280, 1024};
    }
};

TEST_F(MonitorTable, MonitorsStandSideBySideFromZero)
{
    int l, t, r, b;
    GetMonitorBounds(&l, &t, &r, &b, 2500);
    EXPECT_EQ(l, 1920);
    EXPECT_EQ(r, 3200);
    EXPECT_EQ(b, 1024);
    GetMonitorBounds(&l, &t, &r, &b, 1919);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(r, 1920);
    // Left of the first or right of the last: the first monitor.
    GetMonitorBounds(&l, &t, &r, &b, -20);
    EXPECT_EQ(r, 1920);
    GetMonitorBounds(&l, &t, &r, &b, 3200);
    EXPECT_EQ(l, 0);
}

TEST_F(MonitorTable, SmallWindowsGoToTheNearestCorner)
{
    RECT monitor = {0, 0, 1920, 1080};
    // Window in the upper left quarter: top-left corner.
    POINT p = SmallWindowCorner(RECT{100, 100, 700, 500}, monitor, 120, 80);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    // Lower right: the right edge less the margin, the bottom less the height.
    p = SmallWindowCorner(RECT{1200, 700, 1800, 1000}, monitor, 540, 100);
    EXPECT_EQ(p.x, 1920 - 540);
    EXPECT_EQ(p.y, 980);
    // Exactly centred: the right half and the lower half win.
    p = SmallWindowCorner(RECT{660, 340, 1260, 740}, monitor, 80, 80);
    EXPECT_EQ(p.x, 1840);
    EXPECT_EQ(p.y, 1000);
    // On the second monitor.
    p = SmallWindowCorner(RECT{2000, 50, 2400, 300}, RECT{1920, 0, 3200, 1024}, 80, 80);
    EXPECT_EQ(p.x, 1920);
    EXPECT_EQ(p.y, 0);
}

TEST_F(MonitorTable, DisplayModesCycleThroughTheSmallWindows)
{
    EXPECT_EQ(CycleDisplayMode(), 0);
    EXPECT_EQ(GetDisplayMode(), 1);
    EXPECT_TRUE(MainWindowState.smallWindow);
    EXPECT_EQ(CycleDisplayMode(), 0);
    EXPECT_EQ(GetDisplayMode(), 2);
    EXPECT_EQ(CycleDisplayMode(), 1);
    EXPECT_EQ(GetDisplayMode(), 0);
}

TEST(WheelAndHitTest, WheelForwardIs513AndEverythingElse516)
{
    EXPECT_EQ(WheelDirection(MAKEWPARAM(0, 120)), 513);
    EXPECT_EQ(WheelDirection(MAKEWPARAM(0, 1)), 513);
    EXPECT_EQ(WheelDirection(MAKEWPARAM(0, 0)), 516);
    EXPECT_EQ(WheelDirection(MAKEWPARAM(MK_LBUTTON, -120)), 516);
}

TEST(WheelAndHitTest, BorderlessEdgesInTheirOrder)
{
    const int W = 800, H = 450, mapLeft = 105, mapRight = 695;
    EXPECT_EQ(BorderlessHitTest(400, 0, W, H, mapLeft, mapRight, 0), HTTOP);
    EXPECT_EQ(BorderlessHitTest(400, 5, W, H, mapLeft, mapRight, 0), HTTOP);
    EXPECT_EQ(BorderlessHitTest(400, 6, W, H, mapLeft, mapRight, 0), HTCAPTION);
    EXPECT_EQ(BorderlessHitTest(400, 40, W, H, mapLeft, mapRight, 0), HTCAPTION);
    EXPECT_EQ(BorderlessHitTest(400, 41, W, H, mapLeft, mapRight, 0), HTNOWHERE);
    EXPECT_EQ(BorderlessHitTest(5, 445, W, H, mapLeft, mapRight, 0), HTBOTTOMLEFT);
    EXPECT_EQ(BorderlessHitTest(795, 445, W, H, mapLeft, mapRight, 0), HTBOTTOMRIGHT);
    EXPECT_EQ(BorderlessHitTest(795, 200, W, H, mapLeft, mapRight, 0), HTRIGHT);
    EXPECT_EQ(BorderlessHitTest(3, 3, W, H, mapLeft, mapRight, 0), HTTOPLEFT);
    EXPECT_EQ(BorderlessHitTest(795, 3, W, H, mapLeft, mapRight, 0), HTTOPRIGHT);
    // The left edge does not size the window.
    EXPECT_EQ(BorderlessHitTest(2, 200, W, H, mapLeft, mapRight, 0), HTNOWHERE);
    EXPECT_EQ(BorderlessHitTest(-5, 200, W, H, mapLeft, mapRight, 0), HTNOWHERE);
}

TEST(WheelAndHitTest, BottomEdgeBesideTheMapOnlyWithTheButtonPanel)
{
    const int W = 800, H = 450, mapLeft = 105, mapRight = 695;
    EXPECT_EQ(BorderlessHitTest(400, 445, W, H, mapLeft, mapRight, 0), HTBOTTOM);
    EXPECT_EQ(BorderlessHitTest(400, 445, W, H, mapLeft, mapRight, 1), HTNOWHERE);
    EXPECT_EQ(BorderlessHitTest(50, 445, W, H, mapLeft, mapRight, 1), HTBOTTOM);
    EXPECT_EQ(BorderlessHitTest(105, 445, W, H, mapLeft, mapRight, 1), HTBOTTOM);
    EXPECT_EQ(BorderlessHitTest(700, 445, W, H, mapLeft, mapRight, 1), HTBOTTOM);
    EXPECT_EQ(BorderlessHitTest(695, 445, W, H, mapLeft, mapRight, 1), HTNOWHERE);
    // Above the bottom band beside the map: nothing.
    EXPECT_EQ(BorderlessHitTest(50, 300, W, H, mapLeft, mapRight, 1), HTNOWHERE);
}

}  // namespace
