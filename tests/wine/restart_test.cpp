// The restart request under Wine, with ExitWindowsEx replaced: the test machine and the Wine
// session are never restarted.

#include "common/win32_handles.h"
#include "system/restart.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Request {
    UINT flags;
    DWORD reason;
    bool privilegeEnabled;
};
std::vector<Request>& Requests() {
    static std::vector<Request> requests;
    return requests;
}

bool ShutdownPrivilegeEnabled() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return false;
    }
    Velmora::UniqueTokenHandle token(raw);
    LUID luid{};
    ::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &luid);
    PRIVILEGE_SET set{1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
    BOOL enabled = FALSE;
    ::PrivilegeCheck(token.Get(), &set, &enabled);
    return enabled != FALSE;
}

BOOL WINAPI RecordingExitWindows(UINT flags, DWORD reason) {
    Requests().push_back({flags, reason, ShutdownPrivilegeEnabled()});
    return TRUE;
}

BOOL WINAPI NoToken(HANDLE, DWORD, PHANDLE) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST(RestartComputer, EnablesTheShutdownPrivilegeAndAsksForARebootThatLetsProgramsSave) {
    Requests().clear();
    Velmora::RestartApi api;
    api.exitWindowsEx = &RecordingExitWindows;
    Velmora::RestartComputer(api);
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(Requests()[0].flags, 0x12u) << "EWX_REBOOT | EWX_FORCEIFHUNG, never EWX_FORCE";
    EXPECT_EQ(Requests()[0].reason, 0u);
    EXPECT_TRUE(Requests()[0].privilegeEnabled);
}

TEST(RestartComputer, StillAsksOnceWhenTheTokenCannotBeOpened) {
    Requests().clear();
    Velmora::RestartApi api;
    api.openProcessToken = &NoToken;
    api.exitWindowsEx = &RecordingExitWindows;
    Velmora::RestartComputer(api);
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(Requests()[0].flags, 0x12u);
}

} // namespace
