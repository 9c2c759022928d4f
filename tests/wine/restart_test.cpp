// The restart request under Wine, with the token and ExitWindowsEx calls replaced where needed: the
// test machine and the Wine session are never restarted.

#include "common/win32_handles.h"
#include "system/restart.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::pair<UINT, DWORD>> requests;
bool privilegeWasEnabled = false;

BOOL WINAPI RecordingExitWindows(UINT flags, DWORD reason) {
    requests.emplace_back(flags, reason);
    Velmora::UniqueTokenHandle token;
    LUID luid{};
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put());
    ::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &luid);
    PRIVILEGE_SET set{1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
    BOOL enabled = FALSE;
    privilegeWasEnabled = ::PrivilegeCheck(token.Get(), &set, &enabled) && enabled;
    return TRUE;
}

BOOL WINAPI RefusingExitWindows(UINT, DWORD) {
    ::SetLastError(ERROR_SHUTDOWN_IN_PROGRESS);
    return FALSE;
}

BOOL WINAPI NoToken(HANDLE, DWORD, PHANDLE) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST(RestartComputer, EnablesTheShutdownPrivilegeAndAsksOnceForARebootThatLetsProgramsSave) {
    for (const bool tokenOpens : {true, false}) {
        requests.clear();
        Velmora::RestartApi api;
        api.exitWindowsEx = &RecordingExitWindows;
        if (!tokenOpens) {
            api.openProcessToken = &NoToken; // the request is still made
        }
        EXPECT_EQ(Velmora::RestartComputer(api), static_cast<DWORD>(ERROR_SUCCESS));
        // EWX_REBOOT | EWX_FORCEIFHUNG, never EWX_FORCE; reason 0.
        EXPECT_EQ(requests, (std::vector<std::pair<UINT, DWORD>>{{0x12u, 0u}}));
        EXPECT_TRUE(privilegeWasEnabled || !tokenOpens);
    }
    Velmora::RestartApi refusing;
    refusing.exitWindowsEx = &RefusingExitWindows;
    EXPECT_EQ(Velmora::RestartComputer(refusing), static_cast<DWORD>(ERROR_SHUTDOWN_IN_PROGRESS))
        << "the caller hears of a refusal";
}

} // namespace
