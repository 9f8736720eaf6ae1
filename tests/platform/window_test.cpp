// The window layer on the dummy video driver: window geometry, the message
// queue, SDL events turned into messages, the resize debounce, placement,
// monitors and show states.
#include "platform/event_script.h"
#include "platform/window.h"
#include "platform/window_internal.h"
#include "tests/support/temp_folder.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>
#include <unistd.h>

namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool ctrlDown;
};

std::vector<Seen> Log;
LRESULT CloseAnswer = -1;  // -1: default processing

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Log.push_back({message, wParam, lParam, (GetKeyState(VK_CONTROL) & 0x8000) != 0});
    if (message == WM_CLOSE && CloseAnswer >= 0)
        return CloseAnswer;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int Count(UINT message)
{
    int n = 0;
    for (const Seen& s : Log)
        n += s.message == message;
    return n;
}

const Seen* Last(UINT message)
{
    for (auto it = Log.rbegin(); it != Log.rend(); ++it) {
        if (it->message == message)
            return &*it;
    }
    return nullptr;
}

// Dispatches until the queue is empty, the script done and nothing changed
// for a few idle passes (or the time is up: a safety net, not a measure).
void Pump(int idlePasses = 3, Uint32 limitMs = 5000)
{
    Uint32 start = SDL_GetTicks();
    int idle = 0;
    while (SDL_GetTicks() - start < limitMs) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                Log.push_back({WM_QUIT, msg.wParam, 0, false});
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            idle = 0;
            continue;
        }
        if (EventScriptRunning() || ++idle < idlePasses)
            SDL_Delay(1);
        else
            break;
    }
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Log.clear();
        CloseAnswer = -1;
        WNDCLASSA wc = {};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "TestClass";
        ASSERT_NE(RegisterClassA(&wc), 0);
    }
    void TearDown() override
    {
        CloseWindowLayer();
        // The classes live as long as the process: the next test registers them anew.
        for (const char* name : {"TestClass", "Ex"})
            UnregisterClassA(name, nullptr);
    }

    HWND Create(DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, int x = 100, int y = 50, int w = 648, int h = 511)
    {
        HWND hwnd = CreateWindowExA(0, "TestClass", "Test", style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(hwnd, nullptr);
        return hwnd;
    }
};

TEST_F(WindowTest, OuterRectangleIsClientPlusFrame)
{
    HWND hwnd = Create();
    RECT client, outer;
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    ASSERT_TRUE(GetWindowRect(hwnd, &outer));
    int fx = GetSystemMetrics(SM_CXFRAME), fy = GetSystemMetrics(SM_CYFRAME), cap = GetSystemMetrics(SM_CYCAPTION);
    EXPECT_EQ(client.right, 648 - 2 * fx);
    EXPECT_EQ(client.bottom, 511 - 2 * fy - cap);
    EXPECT_EQ(outer.left, 100);
    EXPECT_EQ(outer.top, 50);
    EXPECT_EQ(outer.right, 748);
    EXPECT_EQ(outer.bottom, 561);
    POINT p = {0, 0};
    ClientToScreen(hwnd, &p);
    EXPECT_EQ(p.x, 100 + fx);
    EXPECT_EQ(p.y, 50 + fy + cap);
}

TEST_F(WindowTest, CreationSendsCreateAndSizeAndPaints)
{
    HWND hwnd = Create();
    EXPECT_EQ(Count(WM_CREATE), 1);
    const Seen* size = Last(WM_SIZE);
    ASSERT_NE(size, nullptr);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(GET_X_LPARAM(size->lParam), client.right);
    EXPECT_EQ(GET_Y_LPARAM(size->lParam), client.bottom);
    Pump();
    EXPECT_EQ(Count(WM_PAINT), 1);
}

TEST_F(WindowTest, BorderlessWindowHasNoFrame)
{
    HWND hwnd = Create(WS_POPUP | WS_VISIBLE, 10, 20, 300, 200);
    RECT client, outer;
    GetClientRect(hwnd, &client);
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 200);
    EXPECT_EQ(outer.left, 10);
    EXPECT_EQ(outer.top, 20);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)), WS_POPUP | WS_VISIBLE);
}

TEST_F(WindowTest, StyleChangeKeepsClientSizeAndMovesFrame)
{
    HWND hwnd = Create();
    RECT before;
    GetClientRect(hwnd, &before);
    SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(WS_POPUP | WS_VISIBLE));
    RECT after, outer;
    GetClientRect(hwnd, &after);
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(outer.right - outer.left, before.right);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)) & WS_CAPTION, 0u);
}

TEST_F(WindowTest, PostedMessagesComeInOrderThenQuit)
{
    HWND hwnd = Create();
    Pump();
    Log.clear();
    PostQuitMessage(3);
    PostMessageA(hwnd, WM_USER + 1, 1, 2);
    PostMessageA(hwnd, WM_USER + 2, 3, 4);
    Pump();
    ASSERT_EQ(Log.size(), 3u);
    EXPECT_EQ(Log[0].message, WM_USER + 1u);
    EXPECT_EQ(Log[1].message, WM_USER + 2u);
    EXPECT_EQ(Log[2].message, WM_QUIT);
    EXPECT_EQ(Log[2].wParam, 3u);
}

TEST_F(WindowTest, OtherThreadsPostIntoTheQueue)
{
    HWND hwnd = Create();
    Pump();
    Log.clear();
    std::thread poster([hwnd] {
        for (int i = 0; i < 50; ++i)
            PostMessageA(hwnd, WM_USER + 3, static_cast<WPARAM>(i), 0);
        PostQuitMessage(9);
    });
    poster.join();
    Pump();
    ASSERT_EQ(Count(WM_USER + 3), 50);
    EXPECT_EQ(Log[49].wParam, 49u);
    EXPECT_EQ(Last(WM_QUIT)->wParam, 9u);
}

TEST_F(WindowTest, SendMessageCallsTheProcedureAtOnce)
{
    HWND hwnd = Create();
    Log.clear();
    SendMessageA(hwnd, WM_USER + 7, 5, 6);
    ASSERT_EQ(Log.size(), 1u);
    EXPECT_EQ(Log[0].message, WM_USER + 7u);
}

TEST_F(WindowTest, StaleAndForeignHandlesAreRefused)
{
    HWND hwnd = Create();
    Pump();
    DestroyWindow(hwnd);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    RECT r;
    EXPECT_FALSE(GetClientRect(hwnd, &r));
    EXPECT_FALSE(GetClientRect(reinterpret_cast<HWND>(static_cast<uintptr_t>(0xDEADBEEF)), &r));
    EXPECT_FALSE(SetWindowPos(HWND_TOPMOST, nullptr, 0, 0, 1, 1, 0));
    MSG garbage = {reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234567)), WM_PAINT, 0, 0, 0, {0, 0}};
    EXPECT_EQ(DispatchMessageA(&garbage), 0);
    EXPECT_EQ(FindWindowA("FS98MAIN", nullptr), nullptr);
    // A new window in the freed slot gets a new handle.
    HWND again = Create();
    EXPECT_NE(again, hwnd);
    EXPECT_TRUE(IsWindow(again));
}

TEST_F(WindowTest, HeadlessWindowHasNoSdlWindowToPresentInto)
{
    HWND hwnd = Create();
    EXPECT_TRUE(IsHeadlessVideo());
    EXPECT_EQ(GetSdlWindow(hwnd), nullptr);
    EXPECT_EQ(GetSdlWindow(nullptr), nullptr);
}

TEST_F(WindowTest, KeysArriveWithVirtualKeysAndControlState)
{
    Create();
    Pump();
    Log.clear();
    SetEventScript("key ctrl+1\nkey F1\nkey escape\n");
    Pump();
    std::vector<Seen> downs;
    for (const Seen& s : Log) {
        if (s.message == WM_KEYDOWN)
            downs.push_back(s);
    }
    ASSERT_EQ(downs.size(), 4u);
    EXPECT_EQ(downs[0].wParam, static_cast<WPARAM>(VK_CONTROL));
    EXPECT_EQ(downs[1].wParam, static_cast<WPARAM>('1'));
    EXPECT_TRUE(downs[1].ctrlDown);
    EXPECT_EQ(downs[2].wParam, static_cast<WPARAM>(VK_F1));
    EXPECT_FALSE(downs[2].ctrlDown);
    EXPECT_EQ(downs[3].wParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(Count(WM_KEYUP), 4);
    // Released keys carry the transition bits.
    EXPECT_NE(Last(WM_KEYUP)->lParam & (LPARAM(1) << 31), 0);
}

TEST_F(WindowTest, ScriptWaitsForItsShotBeforeTheNextAction)
{
    Create();
    Pump();
    Log.clear();
    SetEventScript("shot /tmp/never-written.png\nkey F1\n");
    Pump();
    ASSERT_NE(PendingFrameShot(), nullptr);
    EXPECT_STREQ(PendingFrameShot(), "/tmp/never-written.png");
    EXPECT_EQ(Count(WM_KEYDOWN), 0);
    // The swap chain took the frame: the key follows.
    FrameShotTaken();
    Pump();
    EXPECT_EQ(Count(WM_KEYDOWN), 1);
    EXPECT_EQ(PendingFrameShot(), nullptr);
}

// A script can wait for an event another program reports in a file: the
// next action follows once the file holds the text, however long that takes.
TEST_F(WindowTest, ScriptAwaitsATextInAFileBeforeTheNextAction)
{
    TempFolder folder;
    std::string file = folder / "peer.out";
    Create();
    Pump();
    Log.clear();
    SetEventScript(("await " + file + " flight second 4\nkey F1\n").c_str());
    for (int i = 0; i < 20; ++i)
        StepEventScript();
    EXPECT_TRUE(EventScriptRunning()) << "no file yet";
    FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("tvl-proxypeer listening on port 5\nflight second 3\n", f);
    std::fflush(f);
    // Idle passes go by: the text is not there yet.
    for (int i = 0; i < 50; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    EXPECT_EQ(Count(WM_KEYDOWN), 0);
    std::fputs("flight second 4\n", f);
    std::fclose(f);
    Pump();
    EXPECT_EQ(Count(WM_KEYDOWN), 1);
    EXPECT_FALSE(EventScriptRunning());
}

TEST_F(WindowTest, AnAwaitLineWithoutItsTextIsSkipped)
{
    Create();
    Pump();
    Log.clear();
    SetEventScript("await /tmp/somewhere\nkey F1\n");
    Pump();
    EXPECT_EQ(Count(WM_KEYDOWN), 1);
}

TEST_F(WindowTest, AltF4AsksToClose)
{
    Create();
    Pump();
    Log.clear();
    CloseAnswer = 0;
    SetEventScript("key alt+F4\n");
    Pump();
    EXPECT_EQ(Count(WM_SYSKEYDOWN), 2);
    EXPECT_EQ(Count(WM_CLOSE), 1);
}

TEST_F(WindowTest, MouseButtonsAndWheelUseClientCoordinates)
{
    Create();
    Pump();
    Log.clear();
    SetEventScript("click 120 85\nclick 7 9 right\nwheel 30 40 1\nwheel 30 40 -2\n");
    Pump();
    const Seen* down = Last(WM_LBUTTONDOWN);
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(GET_X_LPARAM(down->lParam), 120);
    EXPECT_EQ(GET_Y_LPARAM(down->lParam), 85);
    EXPECT_NE(down->wParam & MK_LBUTTON, 0u);
    EXPECT_EQ(Count(WM_LBUTTONUP), 1);
    ASSERT_NE(Last(WM_RBUTTONDOWN), nullptr);
    EXPECT_EQ(GET_X_LPARAM(Last(WM_RBUTTONDOWN)->lParam), 7);
    std::vector<Seen> wheels;
    for (const Seen& s : Log) {
        if (s.message == WM_MOUSEWHEEL)
            wheels.push_back(s);
    }
    ASSERT_EQ(wheels.size(), 2u);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheels[0].wParam), 120);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheels[1].wParam), -240);
    EXPECT_EQ(GET_X_LPARAM(wheels[1].lParam), 30);
    EXPECT_EQ(GET_Y_LPARAM(wheels[1].lParam), 40);
}

TEST_F(WindowTest, CloseBoxBecomesSystemCommandThenCloseThenDestroy)
{
    HWND hwnd = Create();
    Pump();
    Log.clear();
    SetEventScript("close\n");
    Pump();
    ASSERT_GE(Log.size(), 3u);
    EXPECT_EQ(Log[0].message, WM_SYSCOMMAND);
    EXPECT_EQ(Log[0].wParam, static_cast<WPARAM>(SC_CLOSE));
    EXPECT_EQ(Count(WM_CLOSE), 1);
    EXPECT_EQ(Count(WM_DESTROY), 1);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WindowTest, RefusedCloseKeepsTheWindow)
{
    HWND hwnd = Create();
    Pump();
    CloseAnswer = 1;
    SetEventScript("close\n");
    Pump();
    EXPECT_EQ(Count(WM_CLOSE), 1);
    EXPECT_EQ(Count(WM_DESTROY), 0);
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(WindowTest, ResizeDragOfTwentyStepsIsOneSizeMove)
{
    HWND hwnd = Create();
    Pump();
    SetEventScript("sleep 300\n");  // let the window's own placement settle
    Pump();
    Log.clear();
    std::string script;
    for (int i = 1; i <= 20; ++i)
        script += "resize " + std::to_string(640 + 10 * i) + " " + std::to_string(360 + 5 * i) + "\nwait 1\n";
    script += "sleep 600\n";
    SetEventScript(script.c_str());
    Pump();
    EXPECT_EQ(Count(WM_ENTERSIZEMOVE), 1);
    EXPECT_EQ(Count(WM_EXITSIZEMOVE), 1);
    EXPECT_EQ(Count(WM_SIZE), 20);
    const Seen* size = Last(WM_SIZE);
    EXPECT_EQ(GET_X_LPARAM(size->lParam), 840);
    EXPECT_EQ(GET_Y_LPARAM(size->lParam), 460);
    // The exit comes after the last size.
    size_t exitAt = 0, lastSizeAt = 0;
    for (size_t i = 0; i < Log.size(); ++i) {
        if (Log[i].message == WM_EXITSIZEMOVE)
            exitAt = i;
        if (Log[i].message == WM_SIZE)
            lastSizeAt = i;
    }
    EXPECT_GT(exitAt, lastSizeAt);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 840);
}

TEST_F(WindowTest, ProgramResizeSendsSizeAtOnceAndNoSizeMove)
{
    HWND hwnd = Create();
    Pump();
    Log.clear();
    ASSERT_TRUE(SetWindowPos(hwnd, HWND_NOTOPMOST, 30, 40, 88, 111, SWP_SHOWWINDOW));
    const Seen* size = Last(WM_SIZE);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(GET_X_LPARAM(size->lParam), 80);
    EXPECT_EQ(GET_Y_LPARAM(size->lParam), 80);
    EXPECT_EQ(Count(WM_NCCALCSIZE), 1);
    Pump();
    SetEventScript("sleep 400\n");
    Pump();
    EXPECT_EQ(Count(WM_ENTERSIZEMOVE), 0);
    EXPECT_EQ(Count(WM_EXITSIZEMOVE), 0);
    EXPECT_EQ(Count(WM_SIZE), 1);
    RECT outer;
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(outer.left, 30);
    EXPECT_EQ(outer.top, 40);
}

TEST_F(WindowTest, FrameChangeSendsNonClientCalculation)
{
    HWND hwnd = Create();
    Log.clear();
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED);
    EXPECT_EQ(Count(WM_NCCALCSIZE), 1);
    EXPECT_EQ(Count(WM_SIZE), 0);
    EXPECT_NE(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE)) & WS_EX_TOPMOST, 0u);
    SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE)) & WS_EX_TOPMOST, 0u);
}

TEST_F(WindowTest, MaximiseFillsTheWorkAreaAndRestoreComesBack)
{
    setenv("TVL_MONITORS", "1280x800", 1);
    HWND hwnd = Create();
    Pump();
    Log.clear();
    ShowWindow(hwnd, SW_MAXIMIZE);
    EXPECT_TRUE(IsZoomed(hwnd));
    const Seen* size = Last(WM_SIZE);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
    EXPECT_EQ(GET_X_LPARAM(size->lParam), 1280);
    EXPECT_EQ(GET_Y_LPARAM(size->lParam), 800 - GetSystemMetrics(SM_CYCAPTION));
    WINDOWPLACEMENT wp = {};
    ASSERT_TRUE(GetWindowPlacement(hwnd, &wp));
    EXPECT_EQ(wp.length, 44u);
    EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
    EXPECT_EQ(wp.rcNormalPosition.left, 100);
    EXPECT_EQ(wp.rcNormalPosition.right, 748);
    EXPECT_NE(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)) & WS_MAXIMIZE, 0u);
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_FALSE(IsZoomed(hwnd));
    EXPECT_EQ(Last(WM_SIZE)->wParam, static_cast<WPARAM>(SIZE_RESTORED));
    RECT outer;
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(outer.left, 100);
    EXPECT_EQ(outer.bottom, 561);
    Pump();
    EXPECT_EQ(Count(WM_ENTERSIZEMOVE), 0);
}

TEST_F(WindowTest, UserMaximiseAndRestoreArriveAsSizeMessages)
{
    HWND hwnd = Create();
    Pump();
    Log.clear();
    SetEventScript("maximize\nwait 2\nrestore\nwait 2\n");
    Pump();
    std::vector<WPARAM> kinds;
    for (const Seen& s : Log) {
        if (s.message == WM_SIZE)
            kinds.push_back(s.wParam);
    }
    ASSERT_EQ(kinds.size(), 2u);
    EXPECT_EQ(kinds[0], static_cast<WPARAM>(SIZE_MAXIMIZED));
    EXPECT_EQ(kinds[1], static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(Count(WM_ENTERSIZEMOVE), 0);
    EXPECT_FALSE(IsZoomed(hwnd));
    RECT outer;
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(outer.left, 100);
    EXPECT_EQ(outer.right, 748);
}

TEST_F(WindowTest, MinimiseReportsZeroSize)
{
    HWND hwnd = Create();
    Pump();
    Log.clear();
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_EQ(Last(WM_SIZE)->wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
    EXPECT_EQ(Last(WM_SIZE)->lParam, 0);
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_FALSE(IsIconic(hwnd));
}

TEST_F(WindowTest, PlacementRoundTripsAndRejectsBadRecords)
{
    HWND hwnd = Create();
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = RECT{200, 150, 700, 500};
    ASSERT_TRUE(SetWindowPlacement(hwnd, &wp));
    WINDOWPLACEMENT back = {};
    ASSERT_TRUE(GetWindowPlacement(hwnd, &back));
    EXPECT_EQ(back.rcNormalPosition.left, 200);
    EXPECT_EQ(back.rcNormalPosition.top, 150);
    EXPECT_EQ(back.rcNormalPosition.right, 700);
    EXPECT_EQ(back.rcNormalPosition.bottom, 500);
    EXPECT_EQ(back.showCmd, static_cast<UINT>(SW_SHOWNORMAL));

    WINDOWPLACEMENT bad = wp;
    bad.length = 40;
    EXPECT_FALSE(SetWindowPlacement(hwnd, &bad));
    bad = wp;
    bad.rcNormalPosition = RECT{500, 500, 400, 600};
    EXPECT_FALSE(SetWindowPlacement(hwnd, &bad));
    ASSERT_TRUE(GetWindowPlacement(hwnd, &back));
    EXPECT_EQ(back.rcNormalPosition.left, 200);
}

TEST_F(WindowTest, PlacementOffEveryMonitorComesOntoThePrimary)
{
    setenv("TVL_MONITORS", "1024x768", 1);
    HWND hwnd = Create();
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = RECT{5000, 3000, 5400, 3300};
    ASSERT_TRUE(SetWindowPlacement(hwnd, &wp));
    RECT outer;
    GetWindowRect(hwnd, &outer);
    EXPECT_LT(outer.left, 1024);
    EXPECT_LT(outer.top, 768);
    EXPECT_EQ(outer.right - outer.left, 400);
}

TEST_F(WindowTest, MaximisedPlacementMaximisesOverItsNormalRectangle)
{
    setenv("TVL_MONITORS", "1920x1080,1280x1024", 1);
    HWND hwnd = Create();
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    wp.showCmd = SW_SHOWMAXIMIZED;
    wp.rcNormalPosition = RECT{2000, 100, 2600, 500};
    ASSERT_TRUE(SetWindowPlacement(hwnd, &wp));
    EXPECT_TRUE(IsZoomed(hwnd));
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 1280);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONULL), &info));
    EXPECT_EQ(info.rcMonitor.left, 1920);
    EXPECT_EQ(info.dwFlags, 0u);
}

TEST(MonitorTest, ListedMonitorsStandSideBySide)
{
    setenv("TVL_MONITORS", "1920x1080,1280x1024", 1);
    EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), 3200);
    EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), 1080);
    DISPLAY_DEVICEA device = {};
    device.cb = sizeof(device);
    ASSERT_TRUE(EnumDisplayDevicesA(nullptr, 1, &device, 0));
    DEVMODEA mode = {};
    ASSERT_TRUE(EnumDisplaySettingsA(device.DeviceName, ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(mode.dmPelsWidth, 1280u);
    EXPECT_EQ(mode.dmPelsHeight, 1024u);
    EXPECT_FALSE(EnumDisplayDevicesA(nullptr, 2, &device, 0));
    EXPECT_FALSE(EnumDisplaySettingsA("\\\\.\\DISPLAY9", ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(MonitorFromPoint(POINT{2000, 10}, MONITOR_DEFAULTTONULL), reinterpret_cast<HMONITOR>(2));
    EXPECT_EQ(MonitorFromPoint(POINT{-50, 10}, MONITOR_DEFAULTTONULL), nullptr);
    EXPECT_EQ(MonitorFromPoint(POINT{5000, 10}, MONITOR_DEFAULTTONEAREST), reinterpret_cast<HMONITOR>(2));
    MONITORINFO info = {};
    info.cbSize = 8;  // too small a record is refused
    EXPECT_FALSE(GetMonitorInfoA(reinterpret_cast<HMONITOR>(1), &info));
    CloseWindowLayer();
}

TEST(MonitorTest, MalformedListFallsBackToTheRealDisplays)
{
    RECT out[4];
    EXPECT_EQ(ParseMonitorList("800x600,640", out, 4), 0);
    EXPECT_EQ(ParseMonitorList("0x600", out, 4), 0);
    EXPECT_EQ(ParseMonitorList("800x600;", out, 4), 0);
    EXPECT_EQ(ParseMonitorList(nullptr, out, 4), 0);
    ASSERT_EQ(ParseMonitorList("800x600,1024x768", out, 4), 2);
    EXPECT_EQ(out[1].left, 800);
    EXPECT_EQ(out[1].right, 1824);
    setenv("TVL_MONITORS", "garbage", 1);
    EXPECT_GE(GetSystemMetrics(SM_CMONITORS), 1);
    EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
    CloseWindowLayer();
}

TEST(HitTestMapping, EdgesBecomeSdlResizeAreas)
{
    EXPECT_EQ(HitTestToSdl(HTCAPTION), SDL_HITTEST_DRAGGABLE);
    EXPECT_EQ(HitTestToSdl(HTTOP), SDL_HITTEST_RESIZE_TOP);
    EXPECT_EQ(HitTestToSdl(HTBOTTOMLEFT), SDL_HITTEST_RESIZE_BOTTOMLEFT);
    EXPECT_EQ(HitTestToSdl(HTBOTTOMRIGHT), SDL_HITTEST_RESIZE_BOTTOMRIGHT);
    EXPECT_EQ(HitTestToSdl(HTRIGHT), SDL_HITTEST_RESIZE_RIGHT);
    EXPECT_EQ(HitTestToSdl(HTCLIENT), SDL_HITTEST_NORMAL);
    EXPECT_EQ(HitTestToSdl(HTNOWHERE), SDL_HITTEST_NORMAL);
}

TEST_F(WindowTest, CursorsAndIconsLoadByResource)
{
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
    HCURSOR knob = LoadCursorA(reinterpret_cast<HINSTANCE>(1), MAKEINTRESOURCEA(114));
    ASSERT_NE(knob, nullptr);
    EXPECT_NE(knob, arrow);
    EXPECT_EQ(LoadCursorA(reinterpret_cast<HINSTANCE>(1), MAKEINTRESOURCEA(999)), nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, "named"), nullptr);
    SetCursor(arrow);
    EXPECT_EQ(SetCursor(knob), arrow);
    EXPECT_EQ(GetCursor(), knob);
    EXPECT_NE(LoadIconA(reinterpret_cast<HINSTANCE>(1), MAKEINTRESOURCEA(101)), nullptr);
}

TEST_F(WindowTest, TitleKeepsItsCodePageText)
{
    HWND hwnd = Create();
    ASSERT_TRUE(SetWindowTextA(hwnd, "Heading 270\xB0"));
    char title[64];
    EXPECT_EQ(GetWindowTextA(hwnd, title, sizeof(title)), 12);
    EXPECT_STREQ(title, "Heading 270\xB0");
    EXPECT_EQ(GetWindowTextA(hwnd, title, 4), 3);
}

TEST_F(WindowTest, ClassesAreUniqueByName)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "testclass";
    EXPECT_EQ(RegisterClassA(&wc), 0);
    wc.lpfnWndProc = nullptr;
    wc.lpszClassName = "Other";
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(CreateWindowExA(0, "Missing", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
    WNDCLASSEXA wcx = {};
    wcx.cbSize = 12;
    wcx.lpfnWndProc = RecordingProc;
    wcx.lpszClassName = "Ex";
    EXPECT_EQ(RegisterClassExA(&wcx), 0);
    wcx.cbSize = sizeof(wcx);
    EXPECT_NE(RegisterClassExA(&wcx), 0);
}

}  // namespace
