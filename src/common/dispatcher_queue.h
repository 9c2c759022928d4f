#pragma once

#include <functional>

namespace Velmora {

// Runs closures on the UI thread, in the order they were enqueued. Worker threads reach the window
// only through it.
class DispatcherQueue {
public:
    virtual ~DispatcherQueue() = default;
    // False when the closure was not accepted (the window is gone); it is then never run.
    virtual bool TryEnqueue(std::function<void()> closure) = 0;
};

// For runs without a window (plans, documents, the command line): what a run posts is dropped.
class DiscardingDispatcher final : public DispatcherQueue {
public:
    bool TryEnqueue(std::function<void()>) override { return true; }
};

} // namespace Velmora
