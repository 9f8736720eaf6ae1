// The map program under a real X server (Xvfb), as a user meets it there:
// the start-up message box, the window where it was left, the pointer and
// keys through xdotool. Skipped where Xvfb, zenity or xdotool are missing.
#include "app/window_placement.h"
#include "tests/support/child_process.h"
#include "tests/support/program_root_copy.h"
#include "tests/support/temp_folder.h"
#include "tests/support/virtual_display.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>

namespace {

class MapOnDisplayTest : public ::testing::Test {
protected:
    TempFolder root;
    std::string system = CopyProgramRoot(root.Path());
    VirtualDisplay x;
    Child map;

    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "zenity", "xdotool"})
            if (!OnPath(tool))
                GTEST_SKIP() << tool << " is not installed";
        ASSERT_TRUE(x.Start(1600, 1000)) << "Xvfb gave no display";
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("XDG_RUNTIME_DIR", root.Path().c_str(), 1);
        unsetenv("TVL_MONITORS");
        unsetenv("TVL_EXIT_AFTER_FRAMES");
        unsetenv("TVL_EVENT_SCRIPT");
        unsetenv("TVL_SCREENSHOT");
    }
    void TearDown() override
    {
        x.Stop();
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        unsetenv("DISPLAY");
    }
    bool Start() { return map.Start({std::string(TVL_ROOT_DIR) + "/System/tervalingo"}, root / "out.txt", system); }
    std::string Log() { return ReadFileText(system + "/Tervalingo.log"); }
};

// The box (the map catalogue cannot be fetched offline) is open while the
// display starts: the signal ends it, and the program ends as by Exit.
TEST_F(MapOnDisplayTest, TerminationWhileTheStartUpBoxIsOpenEndsTheProgram)
{
    ASSERT_TRUE(Start());
    ASSERT_FALSE(x.FindWindow("Zorizeruverovu").empty()) << "the start-up box never showed\n" << Log();
    kill(map.Pid(), SIGTERM);
    EXPECT_EQ(map.Wait(120), 0) << Log();
    EXPECT_EQ(CountLines(Log(), "Program ended"), 1) << Log();
    EXPECT_NE(ReadFileText(system + "/Plovik.ini").find("UseProcessorCore="), std::string::npos);
}

}  // namespace
