#pragma once

#include <string_view>

namespace Velmora {
class LocalSettingsValues;
class LocalizedTextTable;
} // namespace Velmora

namespace Velmora::implementation {

// First start only (no "appLanguage" yet): the UI language follows the user's first preferred
// language, Arabic for any "ar" language and English for everything else; "appUpdate" starts at 0.
void SeedFirstStartSettings(LocalSettingsValues& settings, std::wstring_view firstPreferredLanguage);

// What the launch does before the window exists: everything starts from the Arabic table.
void PrepareTextTable(LocalizedTextTable& texts);

} // namespace Velmora::implementation
