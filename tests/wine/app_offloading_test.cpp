// The current user's SID and the per-user app offloading override against Wine's real token and registry.

#include "common/win32_handles.h"
#include "system/app_offloading.h"

#include <gtest/gtest.h>

namespace {

using namespace Velmora;

const std::wstring kStubification =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\InstallService\\Stubification";

LSTATUS ReadOffloading(const std::wstring& sid, DWORD& data) {
    DWORD size = sizeof data;
    return ::RegGetValueW(HKEY_LOCAL_MACHINE, (kStubification + L"\\" + sid).c_str(), L"EnableAppOffloading",
                          RRF_RT_REG_DWORD, nullptr, &data, &size);
}

TEST(CurrentUser, SidIsTheTokenUsersStringForm) {
    const std::wstring sid = GetCurrentUserSid();
    EXPECT_EQ(sid.rfind(L"S-1-5-", 0), 0u);
    EXPECT_EQ(sid, GetCurrentUserSid()) << "stable across calls";
}

TEST(AppOffloading, DisableWritesZeroAndEnableRemovesTheValue) {
    const std::wstring sid = GetCurrentUserSid();
    ASSERT_FALSE(sid.empty());
    EXPECT_TRUE(SetAppOffloadingDisabled(sid, true));
    DWORD data = 7;
    ASSERT_EQ(ReadOffloading(sid, data), ERROR_SUCCESS);
    EXPECT_EQ(data, 0u);

    EXPECT_TRUE(SetAppOffloadingDisabled(sid, false));
    EXPECT_EQ(ReadOffloading(sid, data), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(SetAppOffloadingDisabled(sid, false)) << "an absent value is already removed";
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kStubification + L"\\" + sid).c_str());
}

TEST(AppOffloading, AnEmptyIdentifierWritesAndDeletesNothing) {
    UniqueRegistryKey before;
    const bool existed = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kStubification.c_str(), 0, KEY_READ,
                                         before.Put()) == ERROR_SUCCESS;
    before.Reset();
    EXPECT_FALSE(SetAppOffloadingDisabled(L"", true));
    EXPECT_FALSE(SetAppOffloadingDisabled(L"", false));
    UniqueRegistryKey after;
    DWORD data = 0;
    DWORD size = sizeof data;
    EXPECT_NE(::RegGetValueW(HKEY_LOCAL_MACHINE, kStubification.c_str(), L"EnableAppOffloading", RRF_RT_ANY,
                             nullptr, &data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kStubification.c_str(), 0, KEY_READ, after.Put()) ==
                  ERROR_SUCCESS,
              existed);
}

} // namespace
