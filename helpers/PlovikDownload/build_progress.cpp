// The progress window of the downloader: zenity reads the percentage and the
// "# text" lines from its input.
#include "build_progress.h"

#include "platform/ask_user.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Written by the main thread, read by the signal watcher.
std::atomic<pid_t> WindowProcess{-1};

void WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;  // the window is gone: the build goes on without it
        done += static_cast<size_t>(n);
    }
}

}  // namespace

BuildProgress::BuildProgress(const std::string& title)
{
    if (!CanAskUser())
        return;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return;
    // A window closed by the user must not end the build with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args = {"zenity", "--progress", "--no-cancel", "--auto-close", "--width=420",
                                     "--title=" + title, "--text=Starting", "--percentage=0"};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    // The window takes the signals that end the build as they come, whatever
    // this process blocks or ignores.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    int failed = posix_spawnp(&pid, "zenity", &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[0]);
    if (failed != 0) {
        close(ends[1]);
        return;
    }
    window_ = pid;
    input_ = ends[1];
    WindowProcess = pid;
}

BuildProgress::~BuildProgress()
{
    if (window_ < 0)
        return;
    WriteAll(input_, "100\n");
    close(input_);
    kill(window_, SIGTERM);
    int status;
    while (waitpid(window_, &status, 0) < 0 && errno == EINTR) {
    }
    WindowProcess = -1;
}

void BuildProgress::Report(int percent, const std::string& stage)
{
    // 100 would close the window before the build is through.
    int shown = percent < 99 ? percent : 99;
    if (window_ >= 0) {
        WriteAll(input_, std::to_string(shown) + "\n# " + stage + " (" + std::to_string(shown) + " %)\n");
        return;
    }
    std::printf("PlovikDownload: %d%% %s\n", percent, stage.c_str());
    std::fflush(stdout);
}

pid_t ProgressWindowProcess()
{
    return WindowProcess.load();
}
