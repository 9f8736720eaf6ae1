// The file dialog on a real display: a virtual X server (Xvfb), the real
// zenity, and keys typed into its window with xdotool, as a user would. The
// typed path comes back as the chosen file; Escape cancels and leaves the
// caller's path alone. Skipped where Xvfb, zenity or xdotool are missing.
#include "platform/dialogs.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

bool OnPath(const std::string& program)
{
    const char* path = getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// Starts a program with its output on a pipe; -1 when it cannot start.
pid_t Spawn(const std::vector<std::string>& args, int* outputFd, int extraFd = -1)
{
    // Close-on-exec, so that the dialog started meanwhile on another thread
    // does not hold the pipe open after the tool has ended.
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return -1;
    int target = extraFd >= 0 ? extraFd : STDOUT_FILENO;
    if (ends[1] == target || ends[0] == target) {
        int moved = fcntl(ends[1], F_DUPFD_CLOEXEC, 10);
        close(ends[1]);
        ends[1] = moved;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], target);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (failed != 0) {
        close(ends[0]);
        return -1;
    }
    *outputFd = ends[0];
    return pid;
}

// Reads what the fd gives until it closes or the time is up.
std::string ReadFor(int fd, std::chrono::milliseconds limit, bool untilNewline = false)
{
    std::string text;
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        end - std::chrono::steady_clock::now()).count());
        if (poll(&p, 1, left > 0 ? left : 0) <= 0)
            break;
        char buffer[256];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
        if (untilNewline && text.find('\n') != std::string::npos)
            break;
    }
    return text;
}

// Runs a tool to its end (bounded); its output.
std::string RunTool(const std::vector<std::string>& args)
{
    int fd = -1;
    pid_t pid = Spawn(args, &fd);
    if (pid < 0)
        return "";
    std::string out = ReadFor(fd, 30s);
    close(fd);
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    return out;
}

class ZenityOnDisplayTest : public ::testing::Test {
protected:
    TempFolder folder;
    pid_t server = -1;
    std::string display;
    std::optional<std::string> savedDriver;

    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "zenity", "xdotool"})
            if (!OnPath(tool))
                GTEST_SKIP() << tool << " is not installed";
        int fd = -1;
        // Xvfb picks a free display and writes its number on fd 3.
        server = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, &fd, 3);
        ASSERT_GT(server, 0);
        std::string number = ReadFor(fd, 60s, true);
        close(fd);
        ASSERT_FALSE(number.empty()) << "Xvfb gave no display";
        display = ":" + number.substr(0, number.find('\n'));
        if (const char* driver = getenv("SDL_VIDEODRIVER"))
            savedDriver = driver;
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("TVL_DIALOG_ANSWER");
        setenv("DISPLAY", display.c_str(), 1);
        // No accessibility bus here: asking for it only holds GTK up.
        setenv("NO_AT_BRIDGE", "1", 1);
        setenv("GTK_A11Y", "none", 1);
    }

    // Ending the server also ends a dialog still open on it, so that a
    // failed check never leaves the test waiting for the dialog.
    void StopServer()
    {
        if (server > 0) {
            kill(server, SIGTERM);
            int status = 0;
            waitpid(server, &status, 0);
            server = -1;
        }
    }
    struct StopServerOnExit {
        ZenityOnDisplayTest* test;
        ~StopServerOnExit() { test->StopServer(); }
    };

    void TearDown() override
    {
        StopServer();
        unsetenv("DISPLAY");
        if (savedDriver)
            setenv("SDL_VIDEODRIVER", savedDriver->c_str(), 1);
    }

    // The dialog's window, looked for until it shows (bounded).
    std::string FindWindow(const std::string& title)
    {
        auto end = std::chrono::steady_clock::now() + 60s;
        while (std::chrono::steady_clock::now() < end) {
            std::string id = RunTool({"xdotool", "search", "--onlyvisible", "--name", title});
            if (!id.empty())
                return id.substr(0, id.find('\n'));
            std::this_thread::sleep_for(100ms);
        }
        return "";
    }

    void Keys(const std::string& window, const std::vector<std::string>& keys, const std::string& text)
    {
        // A window just mapped may not take keys yet.
        std::this_thread::sleep_for(500ms);
        RunTool({"xdotool", "windowfocus", "--sync", window});
        if (!text.empty())
            RunTool({"xdotool", "type", "--delay", "15", text});
        std::vector<std::string> args = {"xdotool", "key"};
        args.insert(args.end(), keys.begin(), keys.end());
        RunTool(args);
    }
};

TEST_F(ZenityOnDisplayTest, TypedPathIsTheChosenFileAndEscapeCancels)
{
    std::string plan = folder / "route one.pln";
    ASSERT_TRUE(WriteFileText(plan, "<x/>"));
    char name[512] = "proposed.pln";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = "Flight plan *.pln\0*.pln\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name;
    dialog.nMaxFile = sizeof name;
    dialog.lpstrInitialDir = folder.Path().c_str();
    dialog.lpstrTitle = "Open flight plan";
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;

    auto chosen = std::async(std::launch::async, [&] { return GetOpenFileNameA(&dialog) != 0; });
    StopServerOnExit stopFirst{this};
    std::string window = FindWindow("Open flight plan");
    ASSERT_FALSE(window.empty()) << "the dialog never showed";
    // Typing a path opens the chooser's location field; Enter takes it.
    Keys(window, {"Return"}, plan);
    ASSERT_EQ(chosen.wait_for(120s), std::future_status::ready);
    ASSERT_TRUE(chosen.get());
    EXPECT_EQ(std::string(name), plan);

    std::strcpy(name, "proposed.pln");
    auto cancelled = std::async(std::launch::async, [&] { return GetOpenFileNameA(&dialog) != 0; });
    StopServerOnExit stopSecond{this};
    window = FindWindow("Open flight plan");
    ASSERT_FALSE(window.empty());
    Keys(window, {"Escape"}, "");
    ASSERT_EQ(cancelled.wait_for(120s), std::future_status::ready);
    EXPECT_FALSE(cancelled.get());
    EXPECT_STREQ(name, "proposed.pln");
}

}  // namespace
