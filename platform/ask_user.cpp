// The one question asked outside the map window: zenity (or yad) with a
// display, the scripted answer headless.
#include "platform/ask_user.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The rows as the tool's input, one a line in a file of memory: a line end
// inside a cell would split it, so it becomes a blank. -1 when it cannot be
// made.
int RowsInput(const std::vector<std::string>& rows)
{
    int fd = memfd_create("dialog-rows", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    std::string text;
    for (const std::string& row : rows) {
        for (char c : row)
            text += (c == '\n' || c == '\r') ? ' ' : c;
        text += '\n';
    }
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close(fd);
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    lseek(fd, 0, SEEK_SET);
    return fd;
}

std::string ReadAll(int fd)
{
    std::string output;
    char buffer[512];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        output.append(buffer, static_cast<size_t>(n));
    }
    return output;
}

// Runs the program with args and the rows on its input; true with its first
// output line when the user answered OK. *ran is false when it could not be
// started at all.
bool RunTool(const char* program, const std::vector<std::string>& args, const std::vector<std::string>& rows,
             std::string* answer, bool* ran)
{
    *ran = false;
    int input = RowsInput(rows);
    if (input < 0)
        return false;
    int pipeEnds[2];
    // Close-on-exec: a program another thread starts meanwhile must not hold
    // the pipe open, or the read below waits for that program to end.
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        close(input);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    // The dialog gets its two streams and stderr only, none of the program's sockets.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    close(input);
    if (spawned != 0) {
        close(pipeEnds[0]);
        return false;
    }
    std::string output = ReadAll(pipeEnds[0]);
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127)
        return false;
    *ran = true;
    *answer = output.substr(0, output.find('\n'));
    return WEXITSTATUS(status) == 0;
}

// The scripted answer; false (cancel) when none is set.
bool EnvironmentAnswer(std::string* answer)
{
    const char* text = getenv("TVL_DIALOG_ANSWER");
    if (!text || !*text)
        return false;
    *answer = text;
    return true;
}

}  // namespace

bool CanAskUser()
{
    const char* driver = getenv("SDL_VIDEODRIVER");
    if (driver && (strcasecmp(driver, "dummy") == 0 || strcasecmp(driver, "offscreen") == 0))
        return false;
    const char* x = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

AskResult RunDialogTool(DialogTool tool, const std::vector<std::string>& args, std::string* answer,
                        const std::vector<std::string>& rows)
{
    if (!CanAskUser())
        return AskResult::NotRun;
    bool ran = false;
    bool ok = RunTool(tool == DialogTool::Yad ? "yad" : "zenity", args, rows, answer, &ran);
    if (!ran)
        return AskResult::NotRun;
    return ok ? AskResult::Answered : AskResult::Cancelled;
}

bool AskUser(const std::vector<std::string>& args, std::string* answer, const std::vector<std::string>& rows)
{
    AskResult result = RunDialogTool(DialogTool::Zenity, args, answer, rows);
    if (result != AskResult::NotRun)
        return result == AskResult::Answered;
    return EnvironmentAnswer(answer);
}
