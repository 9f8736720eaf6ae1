// Starting test programs and waiting for them and for the port a peer announces.
#include "tests/support/child_process.h"

#include "tests/support/temp_folder.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

pid_t SpawnProgram(const std::vector<std::string>& args, const std::string& output, bool discardErrors)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (discardErrors)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // Nothing else of the test goes along: a probe socket another thread
    // held at that moment would keep the program's own port for its whole
    // run, and the peer's lines would land there unread.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool Child::Start(const std::vector<std::string>& args, const std::string& output, const std::string& folder)
{
    WorkingFolder here(folder);
    pid_ = SpawnProgram(args, output, true);
    return pid_ > 0;
}

Child::~Child()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

int Child::Wait(int seconds)
{
    for (int i = 0; i < seconds * 20 && pid_ > 0; ++i) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
}

std::string WaitForAnnouncedPort(const std::string& output)
{
    for (int i = 0; i < 200; ++i) {
        std::ifstream in(output);
        std::string line;
        if (std::getline(in, line) && line.find("port ") != std::string::npos)
            return line.substr(line.rfind(' ') + 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return "";
}
