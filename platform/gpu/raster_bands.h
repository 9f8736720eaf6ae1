// The worker threads a context lends a large draw: the draw's rows are cut
// into bands, and the caller and the workers take bands until none is left.
// A band writes only its own rows, so the pixels come out as on one thread.
// Idle workers sleep in the kernel until a draw wakes them; nobody spins.
// Created with the device, joined when it is released. Internal to platform/gpu.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

class RasterBands {
public:
    // threads counts the caller: 1 (or less) starts no worker.
    explicit RasterBands(int threads);
    ~RasterBands();
    RasterBands(const RasterBands&) = delete;
    RasterBands& operator=(const RasterBands&) = delete;

    int Threads() const { return static_cast<int>(workers_.size()) + 1; }

    // Calls work(arg, band) once for every band in [0, bands) (at most
    // kMaxBands), on the caller and the workers; returns when all are done.
    using Work = void (*)(void* arg, int band);
    static constexpr int kMaxBands = 0xFFFF;
    void Run(Work work, void* arg, int bands);

    // Threads a new device's context uses: the hardware's, at most 4, unless
    // TVL_RASTER_THREADS says otherwise (1 keeps every draw on the caller).
    static int DefaultThreads();

    // Processor seconds the workers have used since they started (not the caller's).
    double WorkerCpuSeconds() const;

private:
    void WorkerLoop();
    // Takes and runs bands of the draw published as ticket; false when none was left.
    bool TakeBands(uint64_t ticket);

    // generation << 32 | bands << 16 | next band: workers claim a band by
    // advancing it, so a late worker can never take a band of a later draw.
    std::atomic<uint64_t> ticket_{0};
    // Bumped after each draw is published (and at the stop): sleeping workers
    // wait on this word. sleepers_ counts the workers in or entering the wait,
    // so a draw calls the kernel only when someone sleeps.
    std::atomic<uint32_t> wake_{0};
    std::atomic<uint32_t> sleepers_{0};
    // Bands finished of the current draw; the caller sleeps on it while
    // callerAsleep_ is set and the last worker to finish wakes it.
    std::atomic<uint32_t> done_{0};
    std::atomic<uint32_t> callerAsleep_{0};
    std::atomic<bool> stop_{false};
    Work work_ = nullptr; // written before the ticket is published
    void* arg_ = nullptr;
    std::vector<std::thread> workers_;
};
