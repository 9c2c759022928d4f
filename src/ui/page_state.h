#pragma once

#include "tweaks/profiles.h"

#include <atomic>
#include <cstdint>

namespace Velmora {

// Review (3) is the plan of the selected profile, shown before it is applied.
enum class PageState : std::int32_t {
    Welcome = 0,
    Terms = 1,
    Profiles = 2,
    Review = 3,
    Applying = 4,
    Applied = 5
};

// The window state that the UI thread and the window's workers read. Atomic, so
// that neither ever sees a torn or stale-forever value; no other coordination is needed.
struct SharedRunState {
    std::atomic<SettingsProfile> selectedProfile{kNoProfile};
    std::atomic<PageState> pageState{PageState::Welcome};
};

} // namespace Velmora
