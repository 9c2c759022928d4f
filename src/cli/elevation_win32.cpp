#include "cli/elevation.h"

#include "common/win32_handles.h"

namespace Velmora::Cli {

bool ProcessIsElevated() noexcept {
    UniqueTokenHandle token;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()) &&
        ::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size) &&
        elevation.TokenIsElevated != 0) {
        return true;
    }
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof administrators;
    BOOL member = FALSE;
    return ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize) &&
           ::CheckTokenMembership(nullptr, administrators, &member) && member;
}

} // namespace Velmora::Cli
