// The hand-over shared by the airspace and airway loaders: a loader thread
// fills one of two lists while the frame draws the other, then raises a flag;
// the frame switches lists when it sees it. Loads run for whole-degree view
// bounds and again when those change or a reload is asked for.
//
// Invariants: only the GUI thread starts, stops and switches, and it switches
// only in TakeNewList; the loader thread writes only the list that is not
// drawn, and publishes it (release) before it clears its running flag; no
// load starts while a finished list waits to be taken, so the list a load
// fills is never the one the frame is about to switch to.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The whole degrees a view box covers; high bounds are exclusive.
struct WholeDegrees {
    int latLow = 0, latHigh = 0, lonLow = 0, lonHigh = 0;
    bool operator==(const WholeDegrees&) const = default;
};

// Low: the minimum, one less when it is 0 or below, truncated toward zero;
// high: the maximum plus one, truncated; a span of none becomes one degree.
WholeDegrees UpdateViewDegrees(double latMin, double latMax, double lonMin, double lonMax);

template <class Record>
class ListLoader {
  public:
    // Fills the list it is given; false when it stopped or found nothing to
    // load, which publishes nothing. Polls stop.
    using Job = std::function<bool(std::vector<Record>* target, const std::atomic<bool>& stop)>;

    ListLoader() = default;
    ListLoader(const ListLoader&) = delete;
    ListLoader& operator=(const ListLoader&) = delete;

    // GUI thread: whether the view or a request asks for a load. A load that
    // found nothing is not tried again for the same view until asked.
    bool NeedsLoad(const WholeDegrees& view)
    {
        std::lock_guard<std::mutex> hold(lastLock_);
        return reload_.load() || !attempted_ || !(view == last_);
    }

    // GUI thread: the whole degrees of a view box when a load of them should
    // start now; false while one runs, when nothing asks for one, and for a
    // box that is not a number (it would give whole degrees from nowhere).
    bool WantsStart(double latMin, double latMax, double lonMin, double lonMax, WholeDegrees* view)
    {
        if (!std::isfinite(latMin) || !std::isfinite(latMax) || !std::isfinite(lonMin) || !std::isfinite(lonMax))
            return false;
        *view = UpdateViewDegrees(latMin, latMax, lonMin, lonMax);
        return !running_.load() && NeedsLoad(*view);
    }

    // GUI thread: starts job for view unless a load runs or its list waits
    // to be taken. The reload request is consumed only by a load that
    // starts, so a class toggled during a load is not lost.
    bool Start(const WholeDegrees& view, Job job)
    {
        if (running_.load() || newList_.load())
            return false;
        if (thread_.joinable())
            thread_.join();  // finished: it cleared its running flag last
        reload_ = false;
        int target = 1 - drawn_;
        stop_ = false;
        running_ = true;
        try {
            thread_ = std::thread([this, view, target, job = std::move(job)] { Run(view, target, job); });
        } catch (...) {
            running_ = false;
            reload_ = true;
            return false;
        }
        return true;
    }

    // GUI thread: switches to a list the loader finished; true when it did.
    bool TakeNewList()
    {
        if (!newList_.exchange(false))
            return false;
        drawn_ = 1 - drawn_;
        ++generation_;
        return true;
    }

    // GUI thread: changes whenever the drawn list does (a switch, a clear),
    // so a frame can tell the list it drew last time from a new one.
    uint64_t Generation() const { return generation_; }

    // GUI thread: the list to draw and the bounds it was loaded for.
    const std::vector<Record>& Drawn() const { return lists_[drawn_]; }
    WholeDegrees DrawnView() const { return views_[drawn_]; }

    bool IsReady() const { return ready_.load(); }
    bool IsRunning() const { return running_.load(); }
    void RequestReload() { reload_ = true; }

    // GUI thread: asks a running load to stop and waits until it has.
    void Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        stop_ = false;
    }

    // GUI thread: stops the loader, frees both lists and forgets every load.
    void Clear()
    {
        Stop();
        std::vector<Record>().swap(lists_[0]);
        std::vector<Record>().swap(lists_[1]);
        ++generation_;
        newList_ = false;
        ready_ = false;
        std::lock_guard<std::mutex> hold(lastLock_);
        attempted_ = false;
    }

  private:
    void Run(WholeDegrees view, int target, const Job& job)
    {
        bool finished = job(&lists_[target], stop_);
        if (!stop_.load()) {
            std::lock_guard<std::mutex> hold(lastLock_);
            last_ = view;
            attempted_ = true;
        }
        if (finished && !stop_.load()) {
            views_[target] = view;
            ready_ = true;
            newList_.store(true, std::memory_order_release);
        }
        running_.store(false, std::memory_order_release);
    }

    std::vector<Record> lists_[2];
    WholeDegrees views_[2];
    int drawn_ = 0;  // GUI thread only
    uint64_t generation_ = 0;  // GUI thread only
    // threads: set by the loader thread, read and cleared by the GUI thread.
    std::atomic<bool> running_{false}, ready_{false}, newList_{false}, reload_{false}, stop_{false};
    std::mutex lastLock_;  // the bounds of the last load that ran to its end
    WholeDegrees last_;
    bool attempted_ = false;
    std::thread thread_;
};
