#pragma once

// The update check: at most once a UTC day, unless a policy turns it off, read the maker's feed and
// decide whether to offer its version to the user. Every outcome of a check that asks, failures
// included, is one line of the run log; nothing but an offer reaches the screen.

#include "update/update_feed.h"
#include "update/web_address.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace Velmora {

class LocalSettingsValues;

struct UpdatePolicy {
    bool enabled = true;
    std::wstring feedUrl; // the build's feed unless a policy names another
};

struct FeedResponse {
    std::optional<std::string> body; // the whole body of a 200 answer, at most kMaxFeedBytes
    std::wstring problem;            // why there is none
};
using FeedFetch = std::function<FeedResponse(const WebAddress& feed)>;

struct UpdateOffer {
    UpdateFeed feed;
    std::wstring currentVersion;
};

// The UTC day of `moment` as the number yyyymmdd: what "appUpdate" holds (0 for never).
[[nodiscard]] std::int32_t UtcDayStamp(std::chrono::system_clock::time_point moment);

// A newer version than this program's, and not the one the user chose to skip. A critical update is
// offered even when it was skipped before it became critical.
[[nodiscard]] bool ShouldOffer(const UpdateFeed& feed, const VersionNumber& current,
                               std::wstring_view skippedVersion);

struct UpdateCheckRequest {
    UpdatePolicy policy;
    std::int32_t today = 0;      // UtcDayStamp of now
    std::wstring currentVersion; // this program's
};

// Whether a check is to ask: the policy allows it and "appUpdate" holds another day than today.
[[nodiscard]] bool IsUpdateCheckDue(const UpdateCheckRequest& request, const LocalSettingsValues& settings);

// When due, records the day in "appUpdate" before asking, so a check that fails is not repeated
// that day.
[[nodiscard]] std::optional<UpdateOffer>
CheckForUpdate(const UpdateCheckRequest& request, LocalSettingsValues& settings, const FeedFetch& fetch);

} // namespace Velmora
