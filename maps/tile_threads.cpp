// Joinable tile threads (see tile_threads.h). Finished threads are joined
// when the next one starts, so the list stays as short as the threads that
// run at once.
#include "maps/tile_threads.h"

#include <atomic>
#include <list>
#include <mutex>
#include <thread>

namespace {

struct TileThread {
    std::thread thread;
    std::atomic<bool> done{false};
};

// threads: the GUI thread and the loader start threads; the GUI thread joins.
// Never destroyed: a thread nobody stopped ends with the process, as it
// would detached, instead of aborting it from a destructor at exit.
std::mutex& ThreadsLock = *new std::mutex;
std::list<TileThread>& Threads = *new std::list<TileThread>;

void JoinFinishedLocked()
{
    for (auto it = Threads.begin(); it != Threads.end();) {
        if (it->done.load()) {
            if (it->thread.joinable())
                it->thread.join();
            it = Threads.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace

bool StartTileThread(void (*start)(void*), void* arg)
{
    if (!start)
        return false;
    std::lock_guard<std::mutex> hold(ThreadsLock);
    JoinFinishedLocked();
    TileThread& entry = Threads.emplace_back();
    try {
        entry.thread = std::thread([start, arg, &entry] {
            start(arg);
            entry.done = true;
        });
    } catch (...) {
        // The runtime could not start another thread.
        Threads.pop_back();
        return false;
    }
    return true;
}

void JoinTileThreads()
{
    for (;;) {
        std::list<TileThread> running;
        {
            std::lock_guard<std::mutex> hold(ThreadsLock);
            // A tile thread cannot wait for itself: it stays listed.
            for (auto it = Threads.begin(); it != Threads.end();) {
                auto next = std::next(it);
                if (it->thread.get_id() != std::this_thread::get_id())
                    running.splice(running.end(), Threads, it);
                it = next;
            }
        }
        if (running.empty())
            return;
        // Joined outside the lock: a loader still starts its fetches meanwhile.
        for (TileThread& t : running)
            if (t.thread.joinable())
                t.thread.join();
    }
}

int CountTileThreads()
{
    std::lock_guard<std::mutex> hold(ThreadsLock);
    return static_cast<int>(Threads.size());
}
