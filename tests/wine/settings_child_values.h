#pragma once

// What the settings child process writes or expects, shared with the test that starts it.

#include "settings/local_settings.h"

#include <string_view>
#include <utility>
#include <vector>

namespace VelmoraTests {

inline std::vector<std::pair<std::wstring_view, Velmora::SettingValue>> ChildSettings() {
    using Velmora::SettingValue;
    return {
        {L"appLanguage", SettingValue(std::in_place_type<std::int32_t>, 1)},
        {L"acceptTermsServices", SettingValue(std::in_place_type<bool>, true)},
        {L"AppliedTask", SettingValue(std::in_place_type<std::int32_t>, 2)},
        {L"AppliedTaskBuildMaximum", SettingValue(std::in_place_type<std::int32_t>, 120)},
        {L"appUpdate", SettingValue(std::in_place_type<std::int32_t>, -3)},
        {L"skipVerion",
         SettingValue(std::in_place_type<std::wstring>, L"2.1.0 \u0625\u0635\u062f\u0627\u0631")},
    };
}

} // namespace VelmoraTests
