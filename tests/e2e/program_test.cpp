// The map program as a user starts it: the built binary run headless on a
// copy of the shipped root, ended by its frame count, by SIGTERM or by a
// scripted close; checked by its exit code, log and wpl.bin.
#include "app/window_placement.h"
#include "tests/support/child_process.h"
#include "tests/support/program_root_copy.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

class ProgramProcessTest : public ::testing::Test {
protected:
    TempFolder root;
    std::string system = CopyProgramRoot(root.Path());
    pid_t pid = -1;

    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("TVL_MONITORS", "1920x1080", 1);
        unsetenv("TVL_EXIT_AFTER_FRAMES");
        unsetenv("TVL_EVENT_SCRIPT");
        unsetenv("TVL_SCREENSHOT");
    }
    void TearDown() override
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    bool Start()
    {
        std::string program = std::string(TVL_ROOT_DIR) + "/System/tervalingo";
        WorkingFolder here(system);
        char* argv[] = {program.data(), nullptr};
        return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0;
    }
    // The exit code, or -1 when the program did not end in time (a safety
    // net for a hanging program, not a measure).
    int Wait(int seconds = ProgramRunLimit)
    {
        for (int i = 0; i < seconds * 20; ++i) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }
    std::string Log() { return ReadFileText(system + "/Tervalingo.log"); }
    bool Placement(WINDOWPLACEMENT* out)
    {
        std::string bytes = ReadFileText(system + "/wpl.bin");
        return ParseWindowPlacement(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
    }
};

TEST_F(ProgramProcessTest, EndsCleanlyAfterItsFrameCount)
{
    setenv("TVL_EXIT_AFTER_FRAMES", "30", 1);
    ASSERT_TRUE(Start());
    ASSERT_EQ(Wait(), 0);
    EXPECT_EQ(CountLines(Log(), "Program ended"), 1) << Log();
    WINDOWPLACEMENT wp;
    ASSERT_TRUE(Placement(&wp));
    EXPECT_EQ(wp.rcNormalPosition.right - wp.rcNormalPosition.left, 648);
}

TEST_F(ProgramProcessTest, TerminationSignalShutsDownInOrder)
{
    ASSERT_TRUE(Start());
    // Running once the settings reader has switched the log on.
    for (int i = 0; i < 600 && CountLines(Log(), "Debug mode on") == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(CountLines(Log(), "Debug mode on"), 1);
    kill(pid, SIGTERM);
    EXPECT_EQ(Wait(), 0);
    EXPECT_EQ(CountLines(Log(), "Program ended"), 1);
    WINDOWPLACEMENT wp;
    EXPECT_TRUE(Placement(&wp));
}

TEST_F(ProgramProcessTest, CloseAnsweredYesShutsDownAndSavesThePlacement)
{
    std::string script = system + "/script.txt";
    ASSERT_TRUE(WriteFileText(script, "wait 10\nclose\n"));
    setenv("TVL_EVENT_SCRIPT", script.c_str(), 1);
    setenv("TVL_MESSAGEBOX_ANSWER", "IDYES", 1);
    ASSERT_TRUE(Start());
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
    std::string script = system + "/script.txt";
    ASSERT_TRUE(WriteFileText(script, "wait 10\nclose\nsleep 300\nresize 800 600\nwait 1\nsleep 500\nwait 3\nquit\n"));
    setenv("TVL_EVENT_SCRIPT", script.c_str(), 1);
    setenv("TVL_MESSAGEBOX_ANSWER", "IDNO", 1);
    ASSERT_TRUE(Start());
    ASSERT_EQ(Wait(), 0);
    // Still running after the refused close: the later resize was taken.
    std::string log = Log();
    EXPECT_EQ(CountLines(log, "Display re-created for 800 x 450"), 1) << log;
    EXPECT_EQ(CountLines(log, "Program ended"), 1);
}

TEST_F(ProgramProcessTest, ScriptedUserResizesAndTheNextStartComesBackThere)
{
    std::string script = system + "/script.txt";
    ASSERT_TRUE(WriteFileText(script, "sleep 300\nresize 800 600\nwait 1\nsleep 500\nwait 3\nquit\n"));
    setenv("TVL_EVENT_SCRIPT", script.c_str(), 1);
    ASSERT_TRUE(Start());
    ASSERT_EQ(Wait(), 0);
    EXPECT_EQ(CountLines(Log(), "Display re-created for 800 x 450"), 1) << Log();
    WINDOWPLACEMENT first;
    ASSERT_TRUE(Placement(&first));

    unsetenv("TVL_EVENT_SCRIPT");
    setenv("TVL_EXIT_AFTER_FRAMES", "10", 1);
    ASSERT_TRUE(Start());
    ASSERT_EQ(Wait(), 0);
    WINDOWPLACEMENT second;
    ASSERT_TRUE(Placement(&second));
    EXPECT_EQ(second.rcNormalPosition.left, first.rcNormalPosition.left);
    EXPECT_EQ(second.rcNormalPosition.right, first.rcNormalPosition.right);
    EXPECT_EQ(second.rcNormalPosition.bottom - second.rcNormalPosition.top, 450 + 31);
}

}  // namespace
