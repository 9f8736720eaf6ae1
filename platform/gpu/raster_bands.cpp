// The raster threads: bands of a large draw taken by the caller and the workers in turn.
#include "platform/gpu/raster_bands.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <emmintrin.h>

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

// A worker keeps looking for the next draw this long before it sleeps: the
// draws of a frame follow each other closely, and waking a thread costs more.
constexpr auto kWorkerSpin = std::chrono::microseconds(200);

} // namespace

RasterBands::RasterBands(int threads)
{
    for (int i = 1; i < threads; i++)
        workers_.emplace_back([this] { WorkerLoop(); });
}

RasterBands::~RasterBands()
{
    stop_.store(true);
    ticket_.fetch_add(kGeneration); // a new draw without bands wakes every worker
    ticket_.notify_all();
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
        if (done_.fetch_add(1, std::memory_order_acq_rel) + 1 == BandCount(now))
            done_.notify_one();
        now = ticket_.load(std::memory_order_acquire);
    }
    return took;
}

void RasterBands::WorkerLoop()
{
    uint64_t lastGeneration = 0;
    auto spinUntil = std::chrono::steady_clock::now() + kWorkerSpin;
    for (int polls = 0;; polls++) {
        uint64_t now = ticket_.load(std::memory_order_acquire);
        if (stop_.load(std::memory_order_acquire))
            return;
        if (Generation(now) != lastGeneration) {
            lastGeneration = Generation(now);
            TakeBands(now);
            spinUntil = std::chrono::steady_clock::now() + kWorkerSpin;
            continue;
        }
        if (polls % 64 == 0 && std::chrono::steady_clock::now() > spinUntil)
            ticket_.wait(now, std::memory_order_acquire);
        else
            _mm_pause();
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
    ticket_.notify_all();
    TakeBands(ticket);
    // Bands still running on workers are short: look often, then sleep.
    for (int polls = 0;; polls++) {
        int done = done_.load(std::memory_order_acquire);
        if (done == bands)
            return;
        if (polls < 4096)
            _mm_pause();
        else
            done_.wait(done, std::memory_order_acquire);
    }
}
