#include "ui/run_progress.h"

namespace Velmora {

ProgressPoster::Timing ProgressPoster::RealTiming() {
    return {[] { return Clock::now(); },
            [](Clock::time_point until) { std::this_thread::sleep_until(until); }};
}

ProgressPoster::ProgressPoster(std::function<void(const RunProgress&)> post,
                               std::chrono::milliseconds interval, Timing timing)
    : post_(std::move(post)), interval_(interval), timing_(std::move(timing)) {
    try {
        thread_ = std::thread([this] { Loop(); });
    } catch (const std::exception&) {
        // No thread: the window shows no progress, and the run goes on as before.
    }
}

ProgressPoster::~ProgressPoster() {
    Finish();
}

void ProgressPoster::Offer(const RunProgress& progress) {
    {
        const std::lock_guard lock(mutex_);
        held_ = progress;
    }
    wake_.notify_one();
}

void ProgressPoster::Finish() {
    {
        const std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ProgressPoster::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return held_.has_value() || finishing_; });
        if (!held_) {
            return; // finishing, with nothing left to tell
        }
        const RunProgress progress = *held_;
        held_.reset();
        lock.unlock();
        const Clock::time_point next = timing_.now() + interval_;
        try {
            post_(progress);
        } catch (...) {
            // The window missed one state; the next one tells it where the run is.
        }
        timing_.sleepUntil(next);
        lock.lock();
    }
}

} // namespace Velmora
