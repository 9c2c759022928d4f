#pragma once

#include "common/dispatcher_queue.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

namespace Velmora {

// The dispatcher queue of a window: closures wait here, and a message posted to the window tells
// the UI thread to run them. Any thread may call TryEnqueue; Attach, Detach and RunPending belong
// to the UI thread.
class PostedClosureQueue final : public DispatcherQueue {
public:
    // Posts the wake-up message to the window; false when it is gone or its message queue is full.
    using PostWakeUp = std::function<bool(void* window)>;
    explicit PostedClosureQueue(PostWakeUp post) : post_(std::move(post)) {}

    void Attach(void* window) noexcept;
    // The window is gone: what is queued is dropped and nothing more is accepted.
    void Detach();

    bool TryEnqueue(std::function<void()> closure) override;

    // Runs the queued closures in order; returns how many ran.
    int RunPending();

private:
    PostWakeUp post_;
    std::atomic<void*> window_{nullptr};
    std::mutex mutex_;
    std::uint64_t nextTicket_ = 0;
    std::deque<std::pair<std::uint64_t, std::function<void()>>> queue_;
};

} // namespace Velmora
