#pragma once

// Work done at the first call from any thread, which the others wait for. It stands in for
// std::call_once, whose thread-local state the clang build cannot link against MinGW's libstdc++.
// Work that throws counts as done.

#include <mutex>

namespace Velmora {

class RunOnce {
public:
    template <typename Work>
    void operator()(Work&& work) {
        const std::lock_guard lock(mutex_);
        if (!done_) {
            done_ = true;
            work();
        }
    }

private:
    std::mutex mutex_;
    bool done_ = false;
};

} // namespace Velmora
