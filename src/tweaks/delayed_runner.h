#pragma once

#include <chrono>
#include <functional>

namespace Velmora {

// Runs work once on a thread-pool thread after a delay, without blocking the caller.
class DelayedRunner {
public:
    virtual ~DelayedRunner() = default;
    // False when the work could not be scheduled; it is then never run.
    virtual bool RunAfter(std::chrono::seconds delay, std::function<void()> work) = 0;
};

} // namespace Velmora
