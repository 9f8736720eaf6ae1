// The raster threads: bands of a large draw taken by the caller and the workers in turn.
#include "platform/gpu/raster_bands.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include <linux/futex.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr uint64_t kGeneration = uint64_t{1} << 32;

uint64_t Generation(uint64_t ticket)
{
    return ticket >> 32;
}

int BandCount(uint64_t ticket)
{
    return static_cast<int>((ticket >> 16) & 0xFFFF);
}

int NextBand(uint64_t ticket)
{
    return static_cast<int>(ticket & 0xFFFF);
}

// Sleeps while *word still holds expected (returns at once when it does not,
// and now and then for no reason: callers look again).
void FutexWait(std::atomic<uint32_t>& word, uint32_t expected)
{
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected, nullptr, nullptr, 0);
}

void FutexWake(std::atomic<uint32_t>& word, int count)
{
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, count, nullptr, nullptr, 0);
}

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t), "futex words are plain 32-bit words");

} // namespace

RasterBands::RasterBands(int threads)
{
    for (int i = 1; i < threads; i++)
        workers_.emplace_back([this] { WorkerLoop(); });
}

RasterBands::~RasterBands()
{
    stop_.store(true);
    wake_.fetch_add(1);
    FutexWake(wake_, static_cast<int>(workers_.size()));
    for (std::thread& t : workers_)
        t.join();
}

int RasterBands::DefaultThreads()
{
    if (const char* forced = std::getenv("TVL_RASTER_THREADS")) {
        char* end = nullptr;
        long n = std::strtol(forced, &end, 10);
        if (end != forced && *end == '\0' && n >= 1)
            return static_cast<int>(std::min(n, 16L));
    }
    unsigned hardware = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(hardware, 1u, 4u));
}

double RasterBands::WorkerCpuSeconds() const
{
    double total = 0;
    for (const std::thread& t : workers_) {
        clockid_t clock;
        timespec used{};
        if (pthread_getcpuclockid(const_cast<std::thread&>(t).native_handle(), &clock) == 0 &&
            clock_gettime(clock, &used) == 0)
            total += static_cast<double>(used.tv_sec) + used.tv_nsec / 1e9;
    }
    return total;
}

bool RasterBands::TakeBands(uint64_t ticket)
{
    bool took = false;
    uint64_t now = ticket_.load(std::memory_order_acquire);
    while (Generation(now) == Generation(ticket) && NextBand(now) < BandCount(now)) {
        if (!ticket_.compare_exchange_weak(now, now + 1, std::memory_order_acq_rel, std::memory_order_acquire))
            continue;
        // The band is ours: the draw stays published until its bands are done.
        work_(arg_, NextBand(now));
        took = true;
        // seq_cst, then the look at the caller's flag: either it sees the
        // count or this sees it asleep.
        if (done_.fetch_add(1) + 1 == static_cast<uint32_t>(BandCount(now)) && callerAsleep_.load())
            FutexWake(done_, 1);
        now = ticket_.load(std::memory_order_acquire);
    }
    return took;
}

void RasterBands::WorkerLoop()
{
    uint64_t lastGeneration = 0;
    for (;;) {
        // The wake word is read before the ticket: a draw published after
        // this look changes the word, and the wait below returns at once.
        uint32_t seen = wake_.load();
        if (stop_.load())
            return;
        uint64_t now = ticket_.load(std::memory_order_acquire);
        if (Generation(now) != lastGeneration) {
            lastGeneration = Generation(now);
            TakeBands(now);
            continue;
        }
        sleepers_.fetch_add(1);
        FutexWait(wake_, seen);
        sleepers_.fetch_sub(1);
    }
}

void RasterBands::Run(Work work, void* arg, int bands)
{
    bands = std::min(bands, kMaxBands);
    if (workers_.empty() || bands <= 1) {
        for (int b = 0; b < bands; b++)
            work(arg, b);
        return;
    }
    work_ = work;
    arg_ = arg;
    done_.store(0, std::memory_order_relaxed);
    uint64_t ticket = (Generation(ticket_.load(std::memory_order_relaxed)) + 1) * kGeneration |
                      static_cast<uint64_t>(bands) << 16;
    ticket_.store(ticket, std::memory_order_release);
    // seq_cst, then the look at the sleepers: either a worker about to sleep
    // sees the new word, or this sees it counted and wakes it.
    wake_.fetch_add(1);
    if (sleepers_.load() > 0)
        FutexWake(wake_, std::min(bands - 1, static_cast<int>(workers_.size())));
    TakeBands(ticket);
    // The caller has drawn what was left; the workers finish their last bands.
    for (;;) {
        uint32_t done = done_.load();
        if (done == static_cast<uint32_t>(bands))
            return;
        callerAsleep_.store(1);
        if (done_.load() != static_cast<uint32_t>(bands))
            FutexWait(done_, done);
        callerAsleep_.store(0);
    }
}
