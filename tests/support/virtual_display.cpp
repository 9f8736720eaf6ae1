// A virtual X server for tests, and xdotool as the user's hands on it.
#include "tests/support/virtual_display.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;

// Starts a program with its output (fd target) on a pipe; -1 when it
// cannot start.
pid_t Spawn(const std::vector<std::string>& args, int* outputFd, int target = STDOUT_FILENO)
{
    // Close-on-exec, so that a program started meanwhile on another thread
    // does not hold the pipe open after the tool has ended.
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return -1;
    if (ends[1] == target || ends[0] == target) {
        int moved = fcntl(ends[1], F_DUPFD_CLOEXEC, 10);
        close(ends[1]);
        ends[1] = moved;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], target);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // The server outlives many tests: none of their sockets may go with it.
    posix_spawn_file_actions_addclosefrom_np(&actions, target < 3 ? 3 : target + 1);
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
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (poll(&p, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0) <= 0)
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

}  // namespace

bool OnPath(const std::string& program)
{
    const char* path = getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        if (access((folders.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

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

VirtualDisplay::~VirtualDisplay()
{
    Stop();
}

bool VirtualDisplay::Start(int width, int height)
{
    int fd = -1;
    // Xvfb picks a free display and writes its number on fd 3.
    server_ = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0",
                     std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp"},
                    &fd, 3);
    if (server_ <= 0)
        return false;
    std::string number = ReadFor(fd, 60s, true);
    close(fd);
    if (number.empty())
        return false;
    name_ = ":" + number.substr(0, number.find('\n'));
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("WAYLAND_DISPLAY");
    setenv("DISPLAY", name_.c_str(), 1);
    // No accessibility bus here: asking for it only holds GTK up.
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GTK_A11Y", "none", 1);
    return true;
}

void VirtualDisplay::Stop()
{
    if (server_ > 0) {
        kill(server_, SIGTERM);
        int status = 0;
        waitpid(server_, &status, 0);
        server_ = -1;
    }
}

std::string VirtualDisplay::FindWindow(const std::string& title, std::chrono::seconds limit) const
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        std::string id = RunTool({"xdotool", "search", "--onlyvisible", "--name", title});
        if (!id.empty())
            return id.substr(0, id.find('\n'));
        std::this_thread::sleep_for(100ms);
    }
    return "";
}

void VirtualDisplay::Keys(const std::string& window, const std::string& text, const std::vector<std::string>& keys) const
{
    RunTool({"xdotool", "windowfocus", "--sync", window});
    if (!text.empty())
        RunTool({"xdotool", "type", "--delay", "15", "--", text});
    if (keys.empty())
        return;
    std::vector<std::string> args = {"xdotool", "key"};
    args.insert(args.end(), keys.begin(), keys.end());
    RunTool(args);
}
