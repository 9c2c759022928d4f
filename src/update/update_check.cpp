#include "update/update_check.h"

#include "common/diagnostics.h"
#include "settings/local_settings.h"

namespace Velmora {
namespace {

void Log(std::wstring_view line) {
    Diagnose(L"Update check: " + std::wstring(line));
}

} // namespace

std::int32_t UtcDayStamp(std::chrono::system_clock::time_point moment) {
    const std::chrono::year_month_day day{std::chrono::floor<std::chrono::days>(moment)};
    return static_cast<std::int32_t>(day.year()) * 10000 +
           static_cast<std::int32_t>(unsigned{day.month()}) * 100 +
           static_cast<std::int32_t>(unsigned{day.day()});
}

bool ShouldOffer(const UpdateFeed& feed, const VersionNumber& current, std::wstring_view skippedVersion) {
    if (feed.versionNumber <= current) {
        return false;
    }
    const std::optional<VersionNumber> skipped = VersionNumber::Parse(skippedVersion);
    return feed.critical || !skipped || *skipped != feed.versionNumber;
}

bool IsUpdateCheckDue(const UpdateCheckRequest& request, const LocalSettingsValues& settings) {
    return request.policy.enabled && ReadInt32Setting(settings, SettingKeys::AppUpdate, 0) != request.today;
}

std::optional<UpdateOffer> CheckForUpdate(const UpdateCheckRequest& request, LocalSettingsValues& settings,
                                          const FeedFetch& fetch) {
    // Nothing to say on most starts, so these leave no line (and no log file) behind.
    if (!IsUpdateCheckDue(request, settings)) {
        return std::nullopt;
    }
    settings.Insert(SettingKeys::AppUpdate, SettingValue{request.today});
    const std::optional<VersionNumber> current = VersionNumber::Parse(request.currentVersion);
    const std::optional<WebAddress> address = ParseWebAddress(request.policy.feedUrl);
    if (!current || !address || !IsAllowedFeedAddress(*address)) {
        Log(L"the feed address is not an https address (plain http only on this computer)");
        return std::nullopt;
    }

    const FeedResponse response = fetch(*address);
    if (!response.body) {
        Log(response.problem);
        return std::nullopt;
    }
    FeedReading reading = ParseUpdateFeed(*response.body);
    if (!reading.feed) {
        Log(L"feed refused: " + reading.problem);
        return std::nullopt;
    }
    const std::wstring skipped =
        UnboxString(settings.Lookup(SettingKeys::SkipVersion).value_or(SettingValue{}));
    if (!ShouldOffer(*reading.feed, *current, skipped)) {
        Log(L"version " + reading.feed->version +
            (reading.feed->versionNumber <= *current ? L" is not newer than " + request.currentVersion
                                                     : std::wstring(L" was skipped by the user")));
        return std::nullopt;
    }
    Log(L"version " + reading.feed->version + L" is offered");
    return UpdateOffer{std::move(*reading.feed), request.currentVersion};
}

} // namespace Velmora
