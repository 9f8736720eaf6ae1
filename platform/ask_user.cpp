// The one question asked outside the map window: zenity with a display, the
// scripted answer headless.
#include "platform/ask_user.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Runs zenity with args; true with its first output line when the user
// answered OK. *ran is false when zenity could not be started at all.
bool RunZenity(const std::vector<std::string>& args, std::string* answer, bool* ran)
{
    *ran = false;
    int pipeEnds[2];
    // Close-on-exec: a program another thread starts meanwhile must not hold
    // the pipe open, or the read below waits for that program to end.
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<char*> argv;
    std::string program = "zenity";
    argv.push_back(program.data());
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, "zenity", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        return false;
    }
    std::string output;
    char buffer[512];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        output.append(buffer, static_cast<size_t>(n));
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127)
        return false;
    *ran = true;
    size_t end = output.find('\n');
    *answer = output.substr(0, end);
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

bool AskUser(const std::vector<std::string>& args, std::string* answer)
{
    if (CanAskUser()) {
        bool ran = false;
        bool ok = RunZenity(args, answer, &ran);
        if (ran)
            return ok;
    }
    return EnvironmentAnswer(answer);
}
