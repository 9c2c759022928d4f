#include "system/restart.h"

#include "common/diagnostics.h"
#include "common/win32_handles.h"

#include <string>

namespace Velmora {

DWORD RestartComputer(const RestartApi& api) {
    UniqueTokenHandle token;
    if (api.openProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Put())) {
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
            ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
        }
        token.Reset();
    }
    if (api.exitWindowsEx(kRestartFlags, kRestartReason)) {
        return ERROR_SUCCESS;
    }
    const DWORD error = ::GetLastError();
    Diagnose(L"The restart was refused: " + std::to_wstring(error));
    return error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error;
}

} // namespace Velmora
