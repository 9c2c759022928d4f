// The current user's SID against Wine's real token, and what an empty one does. (Writing and removing
// the override under a real SID is checked by the whole runs.)

#include "support/registry_reads.h"
#include "system/app_offloading.h"

#include <gtest/gtest.h>

namespace {

using namespace Velmora;

TEST(AppOffloading, TheSidIsTheTokenUsersStringFormAndAnEmptyOneWritesNothing) {
    EXPECT_EQ(GetCurrentUserSid().rfind(L"S-1-5-21-", 0), 0u);
    EXPECT_FALSE(SetAppOffloadingDisabled(L"", true));
    EXPECT_FALSE(SetAppOffloadingDisabled(L"", false));
    EXPECT_FALSE(Testing::ReadDword(
        HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\InstallService\\Stubification",
        L"EnableAppOffloading"))
        << "nothing on the Stubification key itself";
}

} // namespace
