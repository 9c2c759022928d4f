#include "engine/journal_store.h"

#include <array>
#include <cwctype>

namespace Velmora {

bool IsTrustedJournalOwner(std::wstring_view ownerSid, std::wstring_view processUserSid,
                           bool processIsAdministrator) {
    constexpr std::wstring_view kAdministrators = L"S-1-5-32-544";
    constexpr std::wstring_view kLocalSystem = L"S-1-5-18";
    if (ownerSid == kAdministrators || ownerSid == kLocalSystem) {
        return true;
    }
    return processIsAdministrator && !processUserSid.empty() && ownerSid == processUserSid;
}

bool IsJournalFileName(std::wstring_view fileName) {
    // "yyyymmddThhmmss.fffZ-" then a name, then ".json" or ".json.partial".
    constexpr std::wstring_view kPattern = L"00000000T000000.000Z-";
    if (fileName.size() <= kPattern.size() + 5) {
        return false;
    }
    for (std::size_t i = 0; i < kPattern.size(); ++i) {
        const wchar_t c = fileName[i];
        if (kPattern[i] == L'0' ? (c < L'0' || c > L'9') : c != kPattern[i]) {
            return false;
        }
    }
    return fileName.ends_with(L".json") || fileName.ends_with(L".json.partial");
}

JournalKind JournalKindOfName(std::wstring_view path) {
    std::wstring name(path.substr(path.find_last_of(L"\\/") + 1));
    name = name.substr(0, name.find(L".json"));
    for (wchar_t& c : name) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return name.ends_with(L"-restore")  ? JournalKind::Restore
           : name.ends_with(L"-repair") ? JournalKind::Repair
                                        : JournalKind::Run;
}

std::vector<std::wstring> JournalsToPrune(const std::vector<std::wstring>& newestFirst, std::size_t keep) {
    std::array<std::size_t, 3> seen{};
    std::vector<std::wstring> pruned;
    for (const std::wstring& path : newestFirst) {
        if (++seen[static_cast<std::size_t>(JournalKindOfName(path))] > keep) {
            pruned.push_back(path);
        }
    }
    return pruned;
}

} // namespace Velmora
