#pragma once

// Host stand-ins for the UI thread's dispatcher queue and the thread-pool timer: the test decides
// when queued closures and delayed work run.

#include "tweaks/delayed_runner.h"
#include "ui/dispatcher_queue.h"

#include <deque>
#include <mutex>
#include <vector>

namespace Velmora::Testing {

class QueuedDispatcher final : public DispatcherQueue {
public:
    bool TryEnqueue(std::function<void()> closure) override {
        std::lock_guard lock(mutex_);
        if (!accepting) {
            return false;
        }
        queue_.push_back(std::move(closure));
        return true;
    }
    // Runs what is queued, on the calling thread; returns how many closures ran.
    int Drain() {
        int ran = 0;
        for (;;) {
            std::function<void()> next;
            {
                std::lock_guard lock(mutex_);
                if (queue_.empty()) {
                    return ran;
                }
                next = std::move(queue_.front());
                queue_.pop_front();
            }
            next();
            ++ran;
        }
    }
    bool accepting = true;

private:
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
        auto work = std::move(pending);
        pending.clear();
        for (auto& item : work) {
            item();
        }
    }
    std::vector<std::chrono::seconds> delays;
    std::vector<std::function<void()>> pending;
};

} // namespace Velmora::Testing
