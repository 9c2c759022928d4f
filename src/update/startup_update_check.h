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

// The check this start is to make, from the policy, the day and this program's version; none when
// the policy turns checking off or today's check is done. Two registry reads: cheap enough for the
// UI thread, so that most starts need no thread for it at all.
[[nodiscard]] std::optional<UpdateCheckRequest> DueStartupUpdateCheck(const LocalSettingsValues& settings);

// Makes it, with the feed over WinHTTP; on a thread of its own.
[[nodiscard]] std::optional<UpdateOffer> RunStartupUpdateCheck(const UpdateCheckRequest& request,
                                                               LocalSettingsValues& settings);

} // namespace Velmora
