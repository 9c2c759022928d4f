#pragma once

// How a run's progress reaches the window: coalesced on the run's side, so that the window's thread
// is told at most so many times a second however fast the items go, and always of the newest state,
// the last one included.

#include "engine/journaling_system.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace Velmora {

class ProgressPoster {
public:
    using Clock = std::chrono::steady_clock;
    // How the poster waits; tests pass a clock of their own that only moves when waited on.
    struct Timing {
        std::function<Clock::time_point()> now;
        std::function<void(Clock::time_point)> sleepUntil;
    };
    [[nodiscard]] static Timing RealTiming();

    // `post` hands one state to the window (a dispatcher post); it runs on the poster's own thread.
    explicit ProgressPoster(std::function<void(const RunProgress&)> post,
                            std::chrono::milliseconds interval = std::chrono::milliseconds(50),
                            Timing timing = RealTiming());
    ~ProgressPoster();
    ProgressPoster(const ProgressPoster&) = delete;
    ProgressPoster& operator=(const ProgressPoster&) = delete;

    // The newest state; a state not yet posted is replaced. Any thread; never waits on the window.
    void Offer(const RunProgress& progress);
    // Posts what is held, then stops. Waits at most one interval.
    void Finish();

private:
    void Loop();

    std::function<void(const RunProgress&)> post_;
    std::chrono::milliseconds interval_;
    Timing timing_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<RunProgress> held_;
    bool finishing_ = false;
    std::thread thread_;
};

} // namespace Velmora
