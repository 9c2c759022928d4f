// Keeping settings in place runs a SYSTEM task: its program must lie where only administrators can change
// it, and a failure part-way leaves nothing behind. The Windows parts are faked (the host has no Task
// Scheduler); the Wine tests register the real task.

#include "engine/keep_settings.h"
#include "support/fake_keep_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace Velmora;
using namespace Velmora::Testing;
using ::testing::HasSubstr;

constexpr wchar_t kSystem[] = L"S-1-5-18";
constexpr wchar_t kAdministrators[] = L"S-1-5-32-544";
constexpr wchar_t kUsers[] = L"S-1-5-32-545";
constexpr wchar_t kSomeone[] = L"S-1-5-21-1-2-3-1001";
constexpr std::uint32_t kFullAccess = 0x1f01ff;
constexpr std::uint32_t kReadAndRun = 0x1200a9;

TEST(KeepSettings, OnlyAFolderNoOneButAdministratorsCanChangeIsTrustedWithTheSystemTask) {
    const FolderSecurity made{kAdministrators,
                              true,
                              {{true, kSystem, kFullAccess},
                               {true, kAdministrators, kFullAccess},
                               {true, kUsers, kReadAndRun},
                               {true, L"S-1-3-0", 0x10000000u}, // CREATOR OWNER, for what is made inside
                               {false, kUsers, kFullAccess}}};  // a denying entry weakens nothing
    std::wstring why;
    EXPECT_TRUE(OnlyAdministratorsCanChange(made, why)) << why;

    const std::vector<std::pair<FolderSecurity, std::wstring>> weak = {
        {{kAdministrators, true, {{true, kUsers, 0x00000002u}}}, kUsers},     // may add a file
        {{kAdministrators, true, {{true, kSomeone, 0x00040000u}}}, kSomeone}, // may change the list below
        {{kSomeone, true, {}}, L"owned by " + std::wstring(kSomeone)},
        {{kAdministrators, false, {}}, L"no access list"},
    };
    for (const auto& [security, says] : weak) {
        EXPECT_FALSE(OnlyAdministratorsCanChange(security, why));
        EXPECT_THAT(why, HasSubstr(says));
    }
}

TEST(KeepSettings, TheTaskRunsTheProtectedCopyAsSystemAtStartSignInAndDaily) {
    const std::wstring xml = KeepTaskXml(L"C:\\R&D Files\\Velmora\\velmora-cli.exe");
    for (
        const wchar_t* part :
        {L"<BootTrigger><Enabled>true</Enabled><Delay>PT2M</Delay>",
         L"<LogonTrigger><Enabled>true</Enabled><Delay>", L"<ScheduleByDay><DaysInterval>1</DaysInterval>",
         L"<UserId>S-1-5-18</UserId>",
         L"<Command>C:\\R&amp;D Files\\Velmora\\velmora-cli.exe</Command><Arguments>repair --users all</Arguments>",
         L"<WorkingDirectory>C:\\R&amp;D Files\\Velmora</WorkingDirectory>",
         L"<URI>\\Velmora\\Keep Settings</URI>"}) {
        EXPECT_THAT(xml, HasSubstr(part));
    }
}

TEST(KeepSettings, OnMakesFolderCopyAndTaskOffTakesThemBackAndAFailureLeavesNothing) {
    FakeKeepPlatform platform;
    platform.folderRefusal = L"its access list lets S-1-5-32-545 change it";
    KeepOutcome outcome = TurnKeepOn(platform);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_THAT(outcome.message, HasSubstr(platform.folderRefusal));
    EXPECT_FALSE(platform.installed || platform.task);

    platform.folderRefusal.clear();
    platform.taskRefused = true;
    EXPECT_FALSE(TurnKeepOn(platform).succeeded);
    EXPECT_FALSE(platform.installed) << "the copy made for the task is taken back";

    platform.taskRefused = false;
    outcome = TurnKeepOn(platform);
    EXPECT_TRUE(outcome.succeeded) << outcome.message;
    KeepStatus status = ReadKeepStatus(platform);
    EXPECT_TRUE(status.on);
    EXPECT_EQ(status.command, L"C:\\Program Files\\Velmora\\velmora-cli.exe");

    // A task of that name that runs anything else is not Velmora's keeping, whatever its name says.
    platform.task->command = L"D:\\Downloads\\velmora-cli.exe";
    status = ReadKeepStatus(platform);
    EXPECT_FALSE(status.on);
    EXPECT_TRUE(status.runsElsewhere);

    EXPECT_TRUE(TurnKeepOff(platform).succeeded);
    EXPECT_FALSE(platform.installed || platform.task);
    EXPECT_FALSE(ReadKeepStatus(platform).taskPresent);
}

} // namespace
