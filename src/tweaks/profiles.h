#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace Velmora {

// 0 Essential, 1 Standard, 2 Maximum, 3 none selected. Stored as such in "AppliedTask".
using SettingsProfile = std::int32_t;
inline constexpr SettingsProfile kEssentialProfile = 0;
inline constexpr SettingsProfile kStandardProfile = 1;
inline constexpr SettingsProfile kMaximumProfile = 2;
inline constexpr SettingsProfile kNoProfile = 3;

// Review (3) is the plan of the selected profile, shown before it is applied.
enum class PageState : std::int32_t {
    Welcome = 0,
    Terms = 1,
    Profiles = 2,
    Review = 3,
    Applying = 4,
    Applied = 5
};

// Revision of each profile's definition shipped in this program: Essential, Standard, Maximum.
inline constexpr std::array<std::int32_t, 3> kCurrentProfileBuild = {120, 130, 120};

// A run fails when 14 or more counted registry writes failed.
inline constexpr std::int32_t kFailureThreshold = -13;

// The window state that the UI thread and an apply run's thread both read and write. Atomic, so
// that neither ever sees a torn or stale-forever value; no other coordination is needed.
struct SharedRunState {
    std::atomic<SettingsProfile> selectedProfile{kNoProfile};
    std::atomic<PageState> pageState{PageState::Welcome};
};

} // namespace Velmora
