// The map program run in-process on a copy of the shipped root, headless,
// driven by event scripts: start-up, the loop, the shutdown and what they
// leave in the log, wpl.bin and Plovik.ini.
#include "app/display_modes.h"
#include "app/frame_driver.h"
#include "app/main_window.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/window_placement.h"
#include "app/winmain.h"
#include "platform/event_script.h"
#include "platform/profile.h"
#include "tests/support/program_root_copy.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

HINSTANCE Instance() { return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000)); }

class ProgramTest : public ::testing::Test {
protected:
    TempFolder root;
    std::string system = CopyProgramRoot(root.Path());
    WorkingFolder here{system};

    void SetUp() override
    {
        setenv("TVL_MONITORS", "1920x1080", 1);
        unsetenv("TVL_EXIT_AFTER_FRAMES");
        Settings.DebugMode = true;
    }
    // Window classes live as long as the process: the next run registers
    // the main window's class anew.
    void TearDown() override { UnregisterClassA("Tervalingo", nullptr); }

    std::string Log() { return ReadFileText(system + "/Tervalingo.log"); }
    std::string Key(const char* section, const char* key)
    {
        char value[64];
        GetPrivateProfileStringA(section, key, "", value, sizeof(value), "./Plovik.ini");
        return value;
    }
    void SetKey(const char* section, const char* key, const char* value)
    {
        WritePrivateProfileStringA(section, key, value, "./Plovik.ini");
    }
    bool SavedPlacement(WINDOWPLACEMENT* out)
    {
        std::string bytes = ReadFileText(system + "/wpl.bin");
        return ParseWindowPlacement(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
    }
    int RunProgram(const char* script)
    {
        SetEventScript(script);
        return WinMain(Instance(), nullptr, nullptr, SW_SHOWDEFAULT);
    }
};

TEST_F(ProgramTest, RunsFramesAndShutsDownInOrderOnTheQuit)
{
    ASSERT_EQ(RunProgram("wait 20\nquit\n"), 0);
    std::string log = Log();
    EXPECT_EQ(CountLines(log, "Display start"), 1) << log;
    EXPECT_EQ(CountLines(log, "Program ended"), 1);
    // The placement, the window layout keys and the core are written back.
    WINDOWPLACEMENT wp;
    ASSERT_TRUE(SavedPlacement(&wp));
    EXPECT_EQ(wp.showCmd, 1u);
    EXPECT_EQ(wp.rcNormalPosition.right - wp.rcNormalPosition.left, 648);
    EXPECT_EQ(Key("Zorizeruverovu Plovik Window", "AspectRatio"), "1");
    EXPECT_EQ(Key("Zorizeruverovu Plovik Window", "borderless"), "0");
    EXPECT_FALSE(MainWindowState.windowReady);
}

// Files the user marked read-only are left as they are, as Windows refuses to
// write them; the program runs and ends as usual with its settings in memory.
TEST_F(ProgramTest, ReadOnlySettingsAndPlacementFilesAreLeftAlone)
{
    SetKey("Zorizeruverovu Plovik Window", "AspectRatio", "2");
    uint8_t record[44];
    WINDOWPLACEMENT wp = {};
    wp.length = 44;
    wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = RECT{10, 20, 810, 620};
    EncodeWindowPlacement(wp, record);
    ASSERT_TRUE(WriteFileText(system + "/wpl.bin", std::string(reinterpret_cast<char*>(record), 44)));
    std::string ini = ReadFileText(system + "/Plovik.ini");
    chmod((system + "/Plovik.ini").c_str(), 0444);
    chmod((system + "/wpl.bin").c_str(), 0444);

    ASSERT_EQ(RunProgram("wait 5\nquit\n"), 0);
    EXPECT_EQ(ReadFileText(system + "/Plovik.ini"), ini);
    EXPECT_EQ(ReadFileText(system + "/wpl.bin"), std::string(reinterpret_cast<char*>(record), 44));
    struct stat st;
    ASSERT_EQ(stat((system + "/Plovik.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_EQ(CountLines(Log(), "wpl.bin cannot be written"), 1) << Log();
    EXPECT_EQ(CountLines(Log(), "Program ended"), 1);
}

TEST_F(ProgramTest, ShutdownReleasesTheDisplayThenSavesLayoutAndReplaysTheDeletionLog)
{
    StartUpProgram(Instance());
    EXPECT_TRUE(IsDisplayStarted());
    EXPECT_TRUE(MainWindowState.windowReady);
    ASSERT_TRUE(WriteFileText(system + "/victim.tmp", "x"));
    ASSERT_TRUE(WriteFileText(system + "/FilesToDelete.log", "victim.tmp\n"));
    SetAspectRatio(2);
    MainWindowState.quitRequest = true;
    ShutDownProgram();
    EXPECT_FALSE(IsDisplayStarted());
    EXPECT_FALSE(MainWindowState.windowReady);
    EXPECT_NE(access((system + "/victim.tmp").c_str(), F_OK), 0);
    EXPECT_NE(access((system + "/FilesToDelete.log").c_str(), F_OK), 0);
    EXPECT_EQ(Key("Zorizeruverovu Plovik Window", "AspectRatio"), "2");
    // The quit request saved the placement of the window that still stands.
    WINDOWPLACEMENT wp;
    EXPECT_TRUE(SavedPlacement(&wp));
    CloseWindowLayer();
}

TEST_F(ProgramTest, FirstWindowIsCentredWithTheAspectOfItsLayout)
{
    SetKey("Zorizeruverovu Plovik Window", "AspectRatio", "3");
    StartUpProgram(Instance());
    RECT client;
    GetClientRect(GetMainWindow(), &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    RECT outer;
    GetWindowRect(GetMainWindow(), &outer);
    EXPECT_EQ(outer.left, (1920 - (outer.right - outer.left)) / 2);
    EXPECT_EQ(GetAspectRatio(), 3);
    ShutDownProgram();
    CloseWindowLayer();
}

TEST_F(ProgramTest, CloseBoxAnsweredNoKeepsRunning)
{
    setenv("TVL_MESSAGEBOX_ANSWER", "IDNO", 1);
    ASSERT_EQ(RunProgram("wait 5\nclose\nsleep 300\nresize 800 600\nwait 1\nsleep 500\nwait 3\nquit\n"), 0);
    // Still running after the refused close: the later resize was taken, and
    // the quit then saved the placement.
    EXPECT_EQ(CountLines(Log(), "Display re-created for 800 x 450"), 1) << Log();
    EXPECT_EQ(CountLines(Log(), "Program ended"), 1);
    WINDOWPLACEMENT wp;
    EXPECT_TRUE(SavedPlacement(&wp));
}

TEST_F(ProgramTest, SecondStartRestoresThePlacement)
{
    WINDOWPLACEMENT wp = {};
    wp.length = 44;
    wp.showCmd = SW_SHOWNORMAL;
    wp.ptMinPosition = POINT{-1, -1};
    wp.ptMaxPosition = POINT{-1, -1};
    wp.rcNormalPosition = RECT{150, 100, 798, 491};
    uint8_t bytes[44];
    EncodeWindowPlacement(wp, bytes);
    ASSERT_TRUE(WriteFileText(system + "/wpl.bin", std::string(reinterpret_cast<char*>(bytes), 44)));
    ASSERT_EQ(RunProgram("wait 5\nquit\n"), 0);
    EXPECT_EQ(CountLines(Log(), "Window placement restored: 150 100 798 491"), 1) << Log();
    WINDOWPLACEMENT back;
    ASSERT_TRUE(SavedPlacement(&back));
    EXPECT_EQ(back.rcNormalPosition.left, 150);
    EXPECT_EQ(back.rcNormalPosition.top, 100);
    EXPECT_EQ(back.rcNormalPosition.right, 798);
    EXPECT_EQ(back.rcNormalPosition.bottom, 491);
}

TEST_F(ProgramTest, ShortPlacementFileIsIgnoredForTheWindowKeys)
{
    ASSERT_TRUE(WriteFileText(system + "/wpl.bin", std::string(30, '\x2C')));
    SetKey("Zorizeruverovu Plovik Window", "WindowPosX", "200");
    SetKey("Zorizeruverovu Plovik Window", "WindowPosY", "150");
    SetKey("Zorizeruverovu Plovik Window", "WindowSizeX", "808");
    SetKey("Zorizeruverovu Plovik Window", "WindowSizeY", "481");
    ASSERT_EQ(RunProgram("wait 5\nquit\n"), 0);
    EXPECT_EQ(CountLines(Log(), "wpl.bin ignored"), 1) << Log();
    WINDOWPLACEMENT back;
    ASSERT_TRUE(SavedPlacement(&back));
    EXPECT_EQ(back.rcNormalPosition.left, 200);
    EXPECT_EQ(back.rcNormalPosition.top, 150);
    EXPECT_EQ(back.rcNormalPosition.right, 1008);
    EXPECT_EQ(back.rcNormalPosition.bottom, 631);
}

TEST_F(ProgramTest, ForeignPlacementRecordIsIgnored)
{
    WINDOWPLACEMENT wp = {};
    wp.length = 44;
    wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = RECT{150, 100, 798, 491};
    uint8_t bytes[44];
    EncodeWindowPlacement(wp, bytes);
    bytes[0] = 40;  // a record of another size
    std::string file(reinterpret_cast<char*>(bytes), 44);
    ASSERT_TRUE(WriteFileText(system + "/wpl.bin", file + std::string(8, '\0')));
    ASSERT_EQ(RunProgram("wait 5\nquit\n"), 0);
    EXPECT_EQ(CountLines(Log(), "wpl.bin ignored"), 1);
    EXPECT_EQ(CountLines(Log(), "Window placement restored"), 0);
    WINDOWPLACEMENT back;
    EXPECT_TRUE(SavedPlacement(&back));
}

TEST_F(ProgramTest, OffScreenWindowKeysComeBackOnTheScreen)
{
    SetKey("Zorizeruverovu Plovik Window", "WindowPosX", "5000");
    SetKey("Zorizeruverovu Plovik Window", "WindowPosY", "-900");
    SetKey("Zorizeruverovu Plovik Window", "WindowSizeX", "648");
    SetKey("Zorizeruverovu Plovik Window", "WindowSizeY", "391");
    ASSERT_EQ(RunProgram("wait 3\nquit\n"), 0);
    WINDOWPLACEMENT back;
    ASSERT_TRUE(SavedPlacement(&back));
    EXPECT_EQ(back.rcNormalPosition.left, (1920 - 648) / 2);
    EXPECT_EQ(back.rcNormalPosition.top, (1080 - 391) / 2);
}

TEST_F(ProgramTest, ResizeDragOfTwentyStepsRebuildsTheDisplayOnce)
{
    // One step a pass, as fast as the program takes them: the drag ends
    // only when the steps stop, however slow a loaded machine draws.
    std::string script = "sleep 300\n";
    for (int i = 1; i <= 20; ++i)
        script += "resize " + std::to_string(640 + 16 * i) + " " + std::to_string(360 + 7 * i) + "\n";
    script += "sleep 500\nwait 3\nquit\n";
    ASSERT_EQ(RunProgram(script.c_str()), 0);
    std::string log = Log();
    EXPECT_EQ(CountLines(log, "Display re-created"), 1) << log;
    EXPECT_EQ(CountLines(log, "Display start"), 2);
    // The width the user dragged to, the height from the 16:9 aspect.
    EXPECT_EQ(CountLines(log, "Display re-created for 960 x 540"), 1);
    EXPECT_EQ(Key("Zorizeruverovu Plovik Window", "WindowSizeX"), "968");
    EXPECT_EQ(Key("Zorizeruverovu Plovik Window", "WindowSizeY"), "571");
}

TEST_F(ProgramTest, MaximiseTakesTheMonitorsLayoutAndRestoreTheKeys)
{
    setenv("TVL_MONITORS", "1280x1024", 1);
    ASSERT_EQ(RunProgram("wait 3\nmaximize\nwait 5\nrestore\nwait 5\nquit\n"), 0);
    std::string log = Log();
    EXPECT_EQ(CountLines(log, "Display re-created for 1280 x "), 1) << log;
    EXPECT_EQ(CountLines(log, "Display re-created for 640 x 360"), 1);
    EXPECT_EQ(CountLines(log, "Display re-created"), 2);
    // 5:4 is nearest to 4:3; the layout is saved at the end.
    EXPECT_EQ(Key("Zorizeruverovu Plovik Window", "AspectRatio"), "3");
}

TEST_F(ProgramTest, DisplayModesCycleThroughTheCornerWindows)
{
    StartUpProgram(Instance());
    HWND hwnd = GetMainWindow();
    RECT normal;
    GetWindowRect(hwnd, &normal);
    // The centred window (its centre a pixel above the monitor's): the
    // corner windows go to the upper right.
    CycleDisplayMode();
    StepDisplayMode();
    RECT r;
    GetWindowRect(hwnd, &r);
    // The frame and caption come on top of the 80 x 80 client area.
    SIZE outer = OuterSizeForClient(80, 80, false);
    EXPECT_EQ(r.left, 1920 - 120);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right - r.left, outer.cx);
    EXPECT_EQ(r.bottom - r.top, outer.cy);
    EXPECT_GT(outer.cx, 80);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 80);
    EXPECT_EQ(client.bottom, 80);
    EXPECT_EQ(MainWindowState.currentDisplayMode, 1);
    // A close in the 80 x 80 window leads to the 500 x 100 window.
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(hwnd));
    StepDisplayMode();
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.left, 1920 - 540);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right - r.left, OuterSizeForClient(500, 100, false).cx);
    EXPECT_EQ(MainWindowState.currentDisplayMode, 2);
    // A click there goes back to the normal window.
    SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    StepDisplayMode();
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.left, normal.left);
    EXPECT_EQ(r.top, normal.top);
    EXPECT_EQ(r.right, normal.right);
    EXPECT_EQ(r.bottom, normal.bottom);
    EXPECT_EQ(MainWindowState.currentDisplayMode, 0);
    EXPECT_FALSE(MainWindowState.smallWindow);
    // Each mode change re-created the display for its size.
    std::string log = Log();
    EXPECT_EQ(CountLines(log, "Display mode 1: 80 x 80"), 1) << log;
    EXPECT_EQ(CountLines(log, "Display mode 2: 500 x 100"), 1);
    EXPECT_EQ(CountLines(log, "Display mode 0: 640 x 360"), 1);
    ShutDownProgram();
    CloseWindowLayer();
}

TEST_F(ProgramTest, BorderlessCornerWindowsUseTheirSmallerMargins)
{
    // The window section's key at start, the settings' key from then on.
    SetKey("Zorizeruverovu Plovik Window", "borderless", "1");
    SetKey("Zorizeruverovu Plovik", "WindowFrame", "1");
    StartUpProgram(Instance());
    HWND hwnd = GetMainWindow();
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)) & WS_CAPTION, 0u);
    CycleDisplayMode();
    StepDisplayMode();
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 80);
    EXPECT_EQ(client.bottom, 80);
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.left, 1920 - 80);
    ShutDownProgram();
    EXPECT_EQ(Key("Zorizeruverovu Plovik Window", "borderless"), "1");
    CloseWindowLayer();
}

TEST_F(ProgramTest, BorderlessWindowAnswersItsEdges)
{
    SetKey("Zorizeruverovu Plovik Window", "borderless", "1");
    SetKey("Zorizeruverovu Plovik", "WindowFrame", "1");
    SetKey("Zorizeruverovu Plovik Window", "WindowPosX", "100");
    SetKey("Zorizeruverovu Plovik Window", "WindowPosY", "100");
    SetKey("Zorizeruverovu Plovik Window", "WindowSizeX", "640");
    SetKey("Zorizeruverovu Plovik Window", "WindowSizeY", "360");
    StartUpProgram(Instance());
    HWND hwnd = GetMainWindow();
    EXPECT_EQ(SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(100 + 320, 100 + 2)), HTTOP);
    EXPECT_EQ(SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(100 + 320, 100 + 20)), HTCAPTION);
    EXPECT_EQ(SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(100 + 638, 100 + 358)), HTBOTTOMRIGHT);
    EXPECT_EQ(SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(100 + 320, 100 + 200)), HTCLIENT);
    ShutDownProgram();
    CloseWindowLayer();
}

TEST_F(ProgramTest, SystemCommandsAndMenusPauseTheFrames)
{
    StartUpProgram(Instance());
    HWND hwnd = GetMainWindow();
    SendMessageA(hwnd, WM_ENTERMENULOOP, 0, 0);
    EXPECT_TRUE(MainWindowState.paused);
    SendMessageA(hwnd, WM_EXITMENULOOP, 0, 0);
    EXPECT_FALSE(MainWindowState.paused);
    SendMessageA(hwnd, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    EXPECT_TRUE(MainWindowState.paused);
    WINDOWPLACEMENT wp;
    EXPECT_TRUE(SavedPlacement(&wp));
    SendMessageA(hwnd, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    EXPECT_FALSE(MainWindowState.paused);
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_TRUE(MainWindowState.paused);
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_FALSE(MainWindowState.paused);
    ShutDownProgram();
    CloseWindowLayer();
}

}  // namespace
