#pragma once

#include <array>
#include <cstdint>

namespace Velmora {

// 0 Essential, 1 Standard, 2 Maximum, 3 none selected. Stored as such in "AppliedTask".
using SettingsProfile = std::int32_t;
inline constexpr SettingsProfile kEssentialProfile = 0;
inline constexpr SettingsProfile kStandardProfile = 1;
inline constexpr SettingsProfile kMaximumProfile = 2;
inline constexpr SettingsProfile kNoProfile = 3;

// Revision of each profile's definition shipped in this program: Essential, Standard, Maximum.
inline constexpr std::array<std::int32_t, 3> kCurrentProfileBuild = {120, 130, 120};

// A run fails when 14 or more counted registry writes failed.
inline constexpr std::int32_t kFailureThreshold = -13;

} // namespace Velmora
