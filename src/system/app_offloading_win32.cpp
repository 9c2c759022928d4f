#include "system/app_offloading.h"

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "system/registry.h"
#include "system/user_profiles.h"

namespace Velmora {

std::wstring GetCurrentUserSid() {
    UniqueTokenHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) {
        return {};
    }
    return TokenUserSid(token.Get());
}

bool SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) {
    if (userSid.empty()) {
        return false;
    }
    Diagnose(L"Created app offloading disable command for SID: " + userSid);
    const RegistryDwordSetting record = AppOffloadingRecord(userSid);
    return disable ? SetRegistryDword(record) : DeleteRegistryEntry(record);
}

} // namespace Velmora
