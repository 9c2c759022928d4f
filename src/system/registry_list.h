#pragma once

// Lists of Settings pages in one REG_SZ value, which policies, administrators and other programs write
// too: "hide:page1;page2" hides those pages, "showonly:page1;page2" shows only those. Velmora adds an
// entry to such a list and never replaces it.

#include "system/system_state.h"

#include <optional>
#include <string>
#include <string_view>

namespace Velmora {

// The list with `entry` hidden: an absent or empty value becomes "hide:entry", a hide list gains the entry
// at its end; a list that hides it already (a show-only list without it, too) is returned unchanged.
// Pages compare without regard to case. nullopt when the value is no such list (another type or form),
// or a show-only list that names the page.
[[nodiscard]] std::optional<std::wstring> MergedListValue(const RegistryValueState& current,
                                                          std::wstring_view entry);

} // namespace Velmora
