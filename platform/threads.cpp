// Threads, sleeping, clocks, the local and UTC time with milliseconds, and
// the process's processor affinity.
#include "platform/threads.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <sched.h>
#include <cstdlib>
#include <dirent.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<uintptr_t> NextThreadId{1}; // any thread that starts one

long long MonotonicMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Taken during static initialisation, before main runs.
const long long ProgramStartMs = MonotonicMs();

void FillSystemTime(const tm& t, long nanoseconds, SYSTEMTIME* out)
{
    out->wYear = static_cast<WORD>(t.tm_year + 1900);
    out->wMonth = static_cast<WORD>(t.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(t.tm_wday);
    out->wDay = static_cast<WORD>(t.tm_mday);
    out->wHour = static_cast<WORD>(t.tm_hour);
    out->wMinute = static_cast<WORD>(t.tm_min);
    out->wSecond = static_cast<WORD>(t.tm_sec > 59 ? 59 : t.tm_sec);
    out->wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
}

void GetTime(SYSTEMTIME* out, bool local)
{
    if (!out)
        return;
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm t{};
    if (local)
        localtime_r(&now.tv_sec, &t);
    else
        gmtime_r(&now.tv_sec, &t);
    FillSystemTime(t, now.tv_nsec, out);
}

// The one pseudo handle of the own process.
HANDLE const CurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

} // namespace

uintptr_t _beginthread(void (*start)(void*), unsigned stackSize, void* arg)
{
    (void)stackSize;
    if (!start)
        return 0;
    try {
        std::thread(start, arg).detach();
    } catch (...) {
        // The runtime could not start another thread.
        return 0;
    }
    return NextThreadId.fetch_add(1);
}

void Sleep(DWORD milliseconds)
{
    timespec wait;
    wait.tv_sec = static_cast<time_t>(milliseconds / 1000);
    wait.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000;
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

DWORD GetTickCount()
{
    return static_cast<DWORD>(MonotonicMs());
}

// What the tests moved the program clock on by.
static std::atomic<long long> ProgramClockAdvanceMs{0};

long ProgramClockMs()
{
    return static_cast<long>(MonotonicMs() - ProgramStartMs + ProgramClockAdvanceMs.load());
}

void AdvanceProgramClock(long milliseconds)
{
    ProgramClockAdvanceMs += milliseconds;
}

void GetLocalTime(SYSTEMTIME* out)
{
    GetTime(out, true);
}

void GetSystemTime(SYSTEMTIME* out)
{
    GetTime(out, false);
}

HANDLE GetCurrentProcess()
{
    return CurrentProcess;
}

BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask, DWORD_PTR* systemMask)
{
    (void)process;
    if (!processMask || !systemMask)
        return FALSE;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return FALSE;
    DWORD_PTR mask = 0;
    int bits = static_cast<int>(sizeof(DWORD_PTR) * 8);
    for (int cpu = 0; cpu < bits && cpu < CPU_SETSIZE; cpu++) {
        if (CPU_ISSET(cpu, &set))
            mask |= static_cast<DWORD_PTR>(1) << cpu;
    }
    long online = sysconf(_SC_NPROCESSORS_CONF);
    DWORD_PTR system = 0;
    for (long cpu = 0; cpu < online && cpu < bits; cpu++)
        system |= static_cast<DWORD_PTR>(1) << cpu;
    *processMask = mask;
    *systemMask = system ? system : mask;
    return TRUE;
}

BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask)
{
    (void)process;
    if (mask == 0)
        return FALSE;
    cpu_set_t set;
    CPU_ZERO(&set);
    int bits = static_cast<int>(sizeof(DWORD_PTR) * 8);
    for (int cpu = 0; cpu < bits && cpu < CPU_SETSIZE; cpu++) {
        if (mask & (static_cast<DWORD_PTR>(1) << cpu))
            CPU_SET(cpu, &set);
    }
    if (sched_setaffinity(0, sizeof set, &set) != 0)
        return FALSE;
    // Windows pins every thread of the process; threads started later inherit
    // the mask of the thread that starts them.
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (struct dirent* entry = readdir(tasks)) {
            pid_t tid = static_cast<pid_t>(atoi(entry->d_name));
            if (tid > 0)
                sched_setaffinity(tid, sizeof set, &set);
        }
        closedir(tasks);
    }
    return TRUE;
}

bool EnterBusyGate(BusyGate* gate, int maxWaiters)
{
    if (!gate->busy.exchange(true))
        return true;
    if (gate->waiters.fetch_add(1) + 1 > maxWaiters) {
        gate->waiters.fetch_sub(1);
        return false;
    }
    while (gate->busy.exchange(true))
        Sleep(1);
    gate->waiters.fetch_sub(1);
    return true;
}

void LeaveBusyGate(BusyGate* gate)
{
    gate->busy.store(false);
}
