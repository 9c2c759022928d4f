#include "engine/journal_store.h"

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

} // namespace Velmora
