// The map program as a user starts it: the built binary run headless on a
// copy of the shipped root, ended by its frame count, by SIGTERM or by a
// scripted close; checked by its exit code, log and wpl.bin.
#include "app/window_placement.h"
#include "tests/support/program_end_to_end.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace {

class ProgramProcessTest : public ProgramEndToEnd {
protected:
    int Wait() { return program.Wait(ProgramRunLimit); }
    bool Placement(WINDOWPLACEMENT* out)
    {
        std::string bytes = ReadFileText(system + "/wpl.bin");
        return ParseWindowPlacement(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
    }
};

TEST_F(ProgramProcessTest, EndsCleanlyAfterItsFrameCount)
{
    setenv("TVL_EXIT_AFTER_FRAMES", "30", 1);
    ASSERT_TRUE(StartProgram());
    ASSERT_EQ(Wait(), 0);
    EXPECT_EQ(CountLines(Log(), "Program ended"), 1) << Log();
    WINDOWPLACEMENT wp;
    ASSERT_TRUE(Placement(&wp));
    EXPECT_EQ(wp.rcNormalPosition.right - wp.rcNormalPosition.left, 648);
}

TEST_F(ProgramProcessTest, TerminationSignalShutsDownInOrder)
{
    ASSERT_TRUE(StartProgram());
    // Running once the settings reader has switched the log on.
    for (int i = 0; i < 600 && CountLines(Log(), "Debug mode on") == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(CountLines(Log(), "Debug mode on"), 1);
    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(Wait(), 0);
    EXPECT_EQ(CountLines(Log(), "Program ended"), 1);
    WINDOWPLACEMENT wp;
    EXPECT_TRUE(Placement(&wp));
}

// Offline, with no catalogue kept from a run before, the start says that
// the server maps are not available and shows the tile maps; the display
// made anew after a resize says it no more.
TEST_F(ProgramProcessTest, AStartWithoutAnyMapCatalogueSaysServerMapsAreNotAvailable)
{
    Set("MapType", "0");
    Set("DebugMode", "1");
    ASSERT_TRUE(StartProgram({}, "wait 10\nresize 800 600\nwait 1\nsleep 500\nwait 3\nquit\n"));
    ASSERT_EQ(Wait(), 0);
    std::string log = Log();
    EXPECT_EQ(CountLines(log, "could not be downloaded"), 1) << log;
    EXPECT_EQ(CountLines(log, "Server maps are not available."), 1) << log;
    EXPECT_EQ(CountLines(log, "Display re-created for 800 x 450"), 1) << log;
    EXPECT_EQ(Get("MapType"), "-1");
}

TEST_F(ProgramProcessTest, CloseAnsweredYesShutsDownAndSavesThePlacement)
{
    setenv("TVL_MESSAGEBOX_ANSWER", "IDYES", 1);
    ASSERT_TRUE(StartProgram({}, "wait 10\nclose\n"));
    ASSERT_EQ(Wait(), 0);
    std::string log = Log();
    EXPECT_EQ(CountLines(log, "Program ended"), 1) << log;
    WINDOWPLACEMENT wp;
    ASSERT_TRUE(Placement(&wp));
    EXPECT_EQ(wp.showCmd, 1u);
    // The settings were saved on the way out.
    EXPECT_NE(ReadFileText(system + "/Plovik.ini").find("UseProcessorCore="), std::string::npos);
}

TEST_F(ProgramProcessTest, CloseAnsweredNoKeepsTheProgramRunning)
{
    setenv("TVL_MESSAGEBOX_ANSWER", "IDNO", 1);
    ASSERT_TRUE(StartProgram({}, "wait 10\nclose\nsleep 300\nresize 800 600\nwait 1\nsleep 500\nwait 3\nquit\n"));
    ASSERT_EQ(Wait(), 0);
    // Still running after the refused close: the later resize was taken.
    std::string log = Log();
    EXPECT_EQ(CountLines(log, "Display re-created for 800 x 450"), 1) << log;
    EXPECT_EQ(CountLines(log, "Program ended"), 1);
}

TEST_F(ProgramProcessTest, ScriptedUserResizesAndTheNextStartComesBackThere)
{
    ASSERT_TRUE(StartProgram({}, "sleep 300\nresize 800 600\nwait 1\nsleep 500\nwait 3\nquit\n"));
    ASSERT_EQ(Wait(), 0);
    EXPECT_EQ(CountLines(Log(), "Display re-created for 800 x 450"), 1) << Log();
    WINDOWPLACEMENT first;
    ASSERT_TRUE(Placement(&first));

    setenv("TVL_EXIT_AFTER_FRAMES", "10", 1);
    ASSERT_TRUE(StartProgram());
    ASSERT_EQ(Wait(), 0);
    WINDOWPLACEMENT second;
    ASSERT_TRUE(Placement(&second));
    EXPECT_EQ(second.rcNormalPosition.left, first.rcNormalPosition.left);
    EXPECT_EQ(second.rcNormalPosition.right, first.rcNormalPosition.right);
    EXPECT_EQ(second.rcNormalPosition.bottom - second.rcNormalPosition.top, 450 + 31);
}

}  // namespace
