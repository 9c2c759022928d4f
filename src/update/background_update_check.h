#pragma once

#include "update/update_check.h"

#include <functional>
#include <optional>

namespace Velmora {

class DispatcherQueue;

// Runs `check` on a thread of its own and returns at once; an offer goes to `show` on the UI thread
// through `ui` (which outlives every thread of the process). When the window is gone by then, the
// offer is dropped. Nothing thrown leaves the thread.
void StartBackgroundUpdateCheck(std::function<std::optional<UpdateOffer>()> check, DispatcherQueue& ui,
                                std::function<void(const UpdateOffer&)> show);

} // namespace Velmora
