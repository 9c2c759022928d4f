#include "system/app_offloading.h"

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "system/registry.h"

#include <sddl.h>

#include <vector>

namespace Velmora {

std::wstring GetCurrentUserSid() {
    UniqueTokenHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) {
        return {};
    }
    DWORD size = 0;
    if (::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return {};
    }
    std::vector<BYTE> buffer;
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        return {};
    }
    if (!::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) {
        return {};
    }
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(user->User.Sid, &text)) {
        return {};
    }
    const UniqueLocalMemory owned(text);
    return text;
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
