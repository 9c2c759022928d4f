#pragma once

// The update check as the program runs it at start, on a thread of its own. Windows only.

#include "update/update_check.h"

#include <optional>
#include <string_view>

namespace Velmora {

class LocalSettingsValues;

// What fleets set under HKEY_LOCAL_MACHINE\SOFTWARE\Policies\Velmora: "UpdateCheck" (REG_DWORD; 0
// turns checking off) and "UpdateFeedUrl" (REG_SZ; replaces `buildFeedUrl`). A value that cannot be
// read as documented turns checking off, with a line in the run log: it was put there to control it.
[[nodiscard]] UpdatePolicy ReadUpdatePolicy(std::wstring_view buildFeedUrl);

// Policy, day, this program's version, the feed over WinHTTP.
[[nodiscard]] std::optional<UpdateOffer> RunStartupUpdateCheck(LocalSettingsValues& settings);

} // namespace Velmora
