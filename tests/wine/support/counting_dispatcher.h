#pragma once

// Runs posted closures at once, on the posting thread, and counts them: for Wine tests that run the
// pipeline without a window.

#include "ui/dispatcher_queue.h"

#include <atomic>

namespace Velmora::Testing {

class CountingDispatcher final : public DispatcherQueue {
public:
    bool TryEnqueue(std::function<void()> closure) override {
        closure();
        ++posted;
        return true;
    }
    std::atomic<int> posted{0};
};

} // namespace Velmora::Testing
