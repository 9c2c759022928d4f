#pragma once

#include "tweaks/delayed_runner.h"

namespace Velmora {

// A one-shot thread-pool timer per request; the work runs on the thread the timer calls.
class ThreadpoolDelayedRunner final : public DelayedRunner {
public:
    bool RunAfter(std::chrono::seconds delay, std::function<void()> work) override;
};

} // namespace Velmora
