#include "ui/posted_closure_queue.h"

#include "common/diagnostics.h"

#include <algorithm>

namespace Velmora {

void PostedClosureQueue::Attach(void* window) noexcept {
    window_ = window;
}

void PostedClosureQueue::Detach() {
    window_ = nullptr;
    std::deque<std::pair<std::uint64_t, std::function<void()>>> dropped;
    std::lock_guard lock(mutex_);
    dropped.swap(queue_);
}

bool PostedClosureQueue::TryEnqueue(std::function<void()> closure) {
    void* const window = window_.load();
    if (window == nullptr) {
        return false;
    }
    std::uint64_t ticket = 0;
    {
        std::lock_guard lock(mutex_);
        ticket = nextTicket_++;
        queue_.emplace_back(ticket, std::move(closure));
    }
    if (post_(window)) {
        return true;
    }
    // Take back exactly this closure. When the UI thread has taken it already (woken by another
    // thread's post), it is running or has run: it was accepted after all.
    std::lock_guard lock(mutex_);
    const auto mine = std::find_if(queue_.begin(), queue_.end(),
                                   [ticket](const auto& queued) { return queued.first == ticket; });
    if (mine == queue_.end()) {
        return true;
    }
    queue_.erase(mine);
    return false;
}

int PostedClosureQueue::RunPending() {
    int ran = 0;
    for (;;) {
        std::function<void()> next;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                return ran;
            }
            next = std::move(queue_.front().second);
            queue_.pop_front();
        }
        try {
            next();
        } catch (...) {
            Diagnose(L"A queued window update ended with an unexpected error");
        }
        ++ran;
    }
}

} // namespace Velmora
