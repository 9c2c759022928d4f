#pragma once

// Host stand-ins for the UI thread's dispatcher queue and the thread-pool timer: the test decides
// when queued closures and delayed work run.

#include "tweaks/delayed_runner.h"
#include "common/dispatcher_queue.h"

#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace Velmora::Testing {

class QueuedDispatcher final : public DispatcherQueue {
public:
    bool TryEnqueue(std::function<void()> closure) override {
        std::lock_guard lock(mutex_);
        if (accepting) {
            queue_.push_back(std::move(closure));
        }
        return accepting;
    }
    // Runs what is queued, on the calling thread; returns how many closures ran.
    int Drain() {
        int ran = 0;
        for (std::function<void()> next; Pop(next); ++ran) {
            next();
        }
        return ran;
    }
    bool accepting = true;

private:
    bool Pop(std::function<void()>& next) {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) {
            return false;
        }
        next = std::move(queue_.front());
        queue_.pop_front();
        return true;
    }
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
};

class ManualDelayedRunner final : public DelayedRunner {
public:
    bool RunAfter(std::chrono::seconds delay, std::function<void()> work) override {
        delays.push_back(delay);
        pending.push_back(std::move(work));
        return true;
    }
    void RunPending() {
        for (auto& work : std::exchange(pending, {})) {
            work();
        }
    }
    std::vector<std::chrono::seconds> delays;
    std::vector<std::function<void()>> pending;
};

} // namespace Velmora::Testing
