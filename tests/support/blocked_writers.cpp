// Test helper for writers that share one file behind a busy flag.
#include "tests/support/blocked_writers.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The thread's system call, as the kernel shows it while the thread waits in
// one: the file opens a named pipe nobody reads.
bool IsBlockedOpening(pid_t task)
{
    std::ifstream in("/proc/self/task/" + std::to_string(task) + "/syscall");
    long number = -1;
    return (in >> number) && number == SYS_openat;
}

} // namespace

BlockedWritersOutcome RunBlockedWriters(const std::string& pipePath, int writers, int expectedDrops,
                                        const std::function<void(int)>& write)
{
    BlockedWritersOutcome outcome;
    if (mkfifo(pipePath.c_str(), 0644) != 0)
        return outcome;
    // Safety net only: nothing here measures speed.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::atomic<pid_t> holderTask{0};
    std::thread holder([&] {
        holderTask = static_cast<pid_t>(syscall(SYS_gettid));
        write(-1);
    });
    // The holder holds the flag once it blocks opening the unread pipe.
    while ((holderTask == 0 || !IsBlockedOpening(holderTask)) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    std::atomic<int> returned{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < writers; i++) {
        threads.emplace_back([&, i] {
            write(i);
            returned++;
        });
    }
    while (returned.load() < expectedDrops && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // Give a wrongly dropping writer the chance to show itself.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    outcome.droppedEarly = returned.load();

    int pipe = open(pipePath.c_str(), O_RDONLY | O_NONBLOCK);
    int wanted = 1 + writers - outcome.droppedEarly;
    char buffer[4096];
    while (pipe >= 0 && outcome.linesRead < wanted && std::chrono::steady_clock::now() < deadline) {
        ssize_t got = read(pipe, buffer, sizeof buffer);
        for (ssize_t i = 0; i < got; i++)
            outcome.linesRead += buffer[i] == '\n';
        if (got <= 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    holder.join();
    for (std::thread& thread : threads)
        thread.join();
    if (pipe >= 0)
        close(pipe);
    unlink(pipePath.c_str());
    return outcome;
}
