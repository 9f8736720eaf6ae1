// The map program under a real X server (Xvfb), as a user meets it there:
// the start-up message box, the window where it was left, the pointer and
// keys through xdotool. Skipped where Xvfb, zenity or xdotool are missing.
#include "app/window_placement.h"
#include "tests/support/program_end_to_end.h"
#include "tests/support/virtual_display.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

namespace {

class MapOnDisplayTest : public ProgramEndToEnd {
protected:
    VirtualDisplay x;

    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        for (const char* tool : {"Xvfb", "zenity", "xdotool"})
            if (!OnPath(tool))
                GTEST_SKIP() << tool << " is not installed";
        ASSERT_TRUE(x.Start(1600, 1000)) << "Xvfb gave no display";
        unsetenv("TVL_MONITORS");
    }
    void TearDown() override
    {
        x.Stop();
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        unsetenv("DISPLAY");
        ProgramEndToEnd::TearDown();
    }

    // Starts the program with its window saved at this place and waits
    // for the 20th frame.
    void StartWithSavedPlacement(int left, int top, int width, int height)
    {
        WINDOWPLACEMENT wp = {};
        wp.length = sizeof wp;
        wp.showCmd = 1;
        wp.rcNormalPosition = RECT{left, top, left + width, top + height};
        uint8_t bytes[44];
        EncodeWindowPlacement(wp, bytes);
        ASSERT_TRUE(WriteFileText(system + "/wpl.bin", std::string(reinterpret_cast<char*>(bytes), sizeof bytes)));
        setenv("TVL_SCREENSHOT", (root / "shot.png").c_str(), 1);
        setenv("TVL_SCREENSHOT_FRAME", "20", 1);
        ASSERT_TRUE(StartProgram());
        ASSERT_TRUE(WaitForFileAnsweringBoxes(root / "shot.png")) << "no frame was drawn\n" << Log();
    }

    // Waits for a file the program writes (bounded), answering meanwhile
    // the boxes the start shows offline (no navigation data downloader, no
    // map catalogue) as a user does.
    bool WaitForFileAnsweringBoxes(const std::string& path)
    {
        for (int i = 0; i < 1200 && ReadFileText(path).empty(); i++) {
            std::string box = RunTool({"xdotool", "search", "--onlyvisible", "--name", "Zorizeruverovu"});
            if (!box.empty())
                x.Keys(box.substr(0, box.find('\n')), "", {"Return"});
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return !ReadFileText(path).empty();
    }
    // The first visible window whose title holds title, answering meanwhile
    // the start-up boxes as WaitForFileAnsweringBoxes does; empty when the
    // program ended first or none came (bounded).
    std::string FindWindowAnsweringBoxes(const std::string& title)
    {
        for (int i = 0; i < 300; i++) {
            std::string found = RunTool({"xdotool", "search", "--onlyvisible", "--name", title});
            if (!found.empty())
                return found.substr(0, found.find('\n'));
            std::string box = RunTool({"xdotool", "search", "--onlyvisible", "--name", "Zorizeruverovu"});
            if (!box.empty())
                x.Keys(box.substr(0, box.find('\n')), "", {"Return"});
            if (program.Wait(1) >= 0)
                return "";
        }
        return "";
    }
    // The map window's position (and size) on the screen, from xdotool.
    bool MapWindowPosition(int* left, int* top, int* width = nullptr, int* height = nullptr)
    {
        std::string window = x.FindWindow("TABRIX Tervalingo");
        std::istringstream shell(RunTool({"xdotool", "getwindowgeometry", "--shell", window}));
        *left = *top = -99999;
        for (std::string line; std::getline(shell, line);) {
            if (line.rfind("X=", 0) == 0)
                *left = std::atoi(line.c_str() + 2);
            if (line.rfind("Y=", 0) == 0)
                *top = std::atoi(line.c_str() + 2);
            if (width && line.rfind("WIDTH=", 0) == 0)
                *width = std::atoi(line.c_str() + 6);
            if (height && line.rfind("HEIGHT=", 0) == 0)
                *height = std::atoi(line.c_str() + 7);
        }
        return *left != -99999 && *top != -99999;
    }
};

// The box (the map catalogue cannot be fetched offline) is open while the
// display starts: the signal ends it, and the program ends as by Exit.
TEST_F(MapOnDisplayTest, TerminationWhileTheStartUpBoxIsOpenEndsTheProgram)
{
    ASSERT_TRUE(StartProgram());
    ASSERT_FALSE(x.FindWindow("Zorizeruverovu").empty()) << "the start-up box never showed\n" << Log();
    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.Wait(120), 0) << Log();
    EXPECT_EQ(CountLines(Log(), "Program ended"), 1) << Log();
    EXPECT_NE(ReadFileText(system + "/Plovik.ini").find("UseProcessorCore="), std::string::npos);
}

// The window comes back where the user left it: the renderer, made at the
// first frame, once put it back where the window had been created, centred
// and, for a large window, half off the screen.
TEST_F(MapOnDisplayTest, TheSavedPlacementComesBackWhereTheWindowWasLeft)
{
    ASSERT_NO_FATAL_FAILURE(StartWithSavedPlacement(96, 23, 1208, 706));
    int left = 0, top = 0;
    ASSERT_TRUE(MapWindowPosition(&left, &top));
    // The client area lies inside the saved outer rectangle, under its caption.
    EXPECT_GE(left, 96);
    EXPECT_LE(left, 96 + 10);
    EXPECT_GE(top, 23);
    EXPECT_LE(top, 23 + 40);
    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.Wait(120), 0);
}

// Callsigns of the pilot log that read like the viewer's options
// ("--display=:98" once sent the viewer to another display, "--help" ended
// it at once): the user opens the log from the information page (its fifth
// key) and the viewer shows here, its two flights as rows, until the user
// closes it; then the map goes on.
TEST_F(MapOnDisplayTest, APilotLogWithCallsignsThatReadAsOptionsOpensOnThisDisplay)
{
    Set("Softkeys", "1");
    Set("Softkeylevel", "0");
    Set("Softkeysublevel", "1");
    CopyShippedFolder("CSVViewer");
    ASSERT_TRUE(WriteFileText(system + "/Pilotlog.csv",
                              "Date;Callsign;Plane;Departure;Destination\n"
                              "2026-12-09;--display=:98;-v;EDDH;EDDF\n2026-12-10;--help;C172;EDDF;EDDH\n"));
    std::string after = root / "after.png";
    ASSERT_TRUE(StartProgram({}, "wait 20\nkey 5\nwait 5\nshot " + after + "\nquit\n"));
    std::string viewer = FindWindowAnsweringBoxes("Pilotlog.csv");
    ASSERT_FALSE(viewer.empty()) << "the pilot log never showed on this display\n" << Log();
    // The user closes it; a window just mapped may drop the first keys.
    int code = -1;
    for (int attempt = 0; attempt < 10 && code < 0; attempt++) {
        x.Keys(viewer, "", {"Escape"});
        code = program.Wait(5);
    }
    if (code < 0)
        code = program.Wait(120);
    EXPECT_EQ(code, 0) << Log();
    EXPECT_TRUE(std::filesystem::exists(after)) << "the map drew no frame after the viewer";
    EXPECT_EQ(CountLines(ReadFileText(root / "program.out"), "2 rows"), 1);
}

// Resized to the whole screen from the middle of it (as xdotool does, with
// no window manager to stop it), the window once stayed at its top-left and
// ran off the screen; it comes whole onto the screen, its map 16:9.
TEST_F(MapOnDisplayTest, AWindowResizedPastTheScreenComesWholeOntoIt)
{
    ASSERT_NO_FATAL_FAILURE(StartWithSavedPlacement(800, 500, 648, 391));
    RunTool({"xdotool", "windowsize", x.FindWindow("TABRIX Tervalingo"), "1600", "1000"});
    int left = 0, top = 0, width = 0, height = 0;
    auto placed = [&] {
        return MapWindowPosition(&left, &top, &width, &height) && width > 1000 && width < 1600 && left + width <= 1600;
    };
    for (int i = 0; i < 600 && !placed(); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(placed()) << left << "," << top << " " << width << " x " << height << "\n" << Log();
    EXPECT_GE(left, 0);
    EXPECT_GE(top, 0);
    EXPECT_LE(top + height, 1000);
    EXPECT_NEAR(static_cast<double>(width) / height, 16.0 / 9.0, 0.01);
    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.Wait(120), 0);
}

}  // namespace
