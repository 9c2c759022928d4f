#pragma once

#include "settings/local_settings.h"
#include "ui/text/localized_text_table.h"

#include <cstdint>

namespace Velmora {

// The part of a language switch that needs no window, for a selection the user made: stores
// "appLanguage" (also when the language is already current), makes the language current and builds
// its table. A negative index (nothing selected) changes nothing and returns false; on true the
// window takes the language, sets the layout direction and refreshes.
[[nodiscard]] bool SwitchLanguage(LocalizedTextTable& texts, LocalSettingsValues& settings,
                                  std::int32_t selectedIndex);

} // namespace Velmora
