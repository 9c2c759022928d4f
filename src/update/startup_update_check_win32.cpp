#include "update/startup_update_check.h"

#include "build_info.h"
#include "common/diagnostics.h"
#include "update/feed_download.h"

#include <windows.h>

#include <algorithm>

namespace Velmora {
namespace {

constexpr wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Velmora";

UpdatePolicy TurnedOff(std::wstring_view why) {
    Diagnose(L"Update check: the policy value " + std::wstring(why) + L"; checking stays off");
    return UpdatePolicy{false, {}};
}

} // namespace

UpdatePolicy ReadUpdatePolicy(std::wstring_view buildFeedUrl) {
    UpdatePolicy policy{true, std::wstring(buildFeedUrl)};
    DWORD check = 1;
    DWORD size = sizeof check;
    LSTATUS status = ::RegGetValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"UpdateCheck", RRF_RT_REG_DWORD, nullptr,
                                    &check, &size);
    if (status == ERROR_SUCCESS && check == 0) {
        return UpdatePolicy{false, {}};
    }
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        return TurnedOff(L"UpdateCheck is not a REG_DWORD (error " + std::to_wstring(status) + L")");
    }
    std::wstring url(kMaxWebAddressLength + 1, L'\0');
    size = static_cast<DWORD>(url.size() * sizeof(wchar_t));
    status = ::RegGetValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"UpdateFeedUrl", RRF_RT_REG_SZ, nullptr,
                            url.data(), &size);
    if (status == ERROR_SUCCESS) {
        url.resize(std::min<std::size_t>(size / sizeof(wchar_t), url.find(L'\0'))); // up to its null
        if (!url.empty()) {
            policy.feedUrl = std::move(url);
        }
    } else if (status != ERROR_FILE_NOT_FOUND) {
        return TurnedOff(L"UpdateFeedUrl is not a REG_SZ of at most " +
                         std::to_wstring(kMaxWebAddressLength) + L" characters (error " +
                         std::to_wstring(status) + L")");
    }
    return policy;
}

std::optional<UpdateCheckRequest> DueStartupUpdateCheck(const LocalSettingsValues& settings) {
    UpdateCheckRequest request{ReadUpdatePolicy(kDefaultUpdateFeedUrl),
                               UtcDayStamp(std::chrono::system_clock::now()), std::wstring(kProgramVersion)};
    if (!IsUpdateCheckDue(request, settings)) {
        return std::nullopt;
    }
    return request;
}

std::optional<UpdateOffer> RunStartupUpdateCheck(const UpdateCheckRequest& request,
                                                 LocalSettingsValues& settings) {
    return CheckForUpdate(request, settings,
                          [](const WebAddress& feed) { return DownloadFeed(feed, kProgramVersion); });
}

} // namespace Velmora
