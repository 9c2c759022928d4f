// Keeping settings in place against the real file system and Task Scheduler: the protected copy and the
// SYSTEM task are made and taken away again, and a folder that others can change is refused. Wine keeps no
// access lists on files (it reports the creating account as owner, whatever was asked), so where a test needs
// a protected folder under Wine it reads the folder's security through a stand-in saying so; on Windows the
// real access list is read.

#include "engine/keep_platform_win32.h"
#include "support/this_pc.h"
#include "system/scheduled_tasks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace Velmora;
using ::testing::HasSubstr;

const std::wstring kFolder = L"C:\\velmora-keep-test\\Velmora";
const std::wstring kSource = L"C:\\velmora-keep-test\\velmora-cli.exe";

class Keep : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(L"C:\\velmora-keep-test");
        std::filesystem::create_directories(L"C:\\velmora-keep-test");
        std::ofstream(std::filesystem::path(kSource), std::ios::binary) << "MZ a program";
    }
    void TearDown() override {
        std::wstring ignored;
        static_cast<void>(WindowsKeepPlatform(kSource, kFolder).RemoveTask(ignored));
        std::filesystem::remove_all(L"C:\\velmora-keep-test");
    }

    // What Windows reports for a folder made with the program folder's access list.
    static FolderSecurityReader Protected() {
        return [](void* handle) -> std::optional<FolderSecurity> {
            if (!Testing::UnderWine()) {
                return ReadFolderSecurity(handle);
            }
            return FolderSecurity{L"S-1-5-32-544",
                                  true,
                                  {{true, L"S-1-5-18", 0x1f01ff},
                                   {true, L"S-1-5-32-544", 0x1f01ff},
                                   {true, L"S-1-5-32-545", 0x1200a9}}};
        };
    }
};

TEST_F(Keep, OnMakesTheCopyAndTheSystemTaskAndOffTakesBothAway) {
    WindowsKeepPlatform platform(kSource, kFolder, Protected());
    const KeepOutcome on = TurnKeepOn(platform);
    ASSERT_TRUE(on.succeeded) << on.message;
    EXPECT_TRUE(std::filesystem::exists(kFolder + L"\\velmora-cli.exe"));
    EXPECT_EQ(ReadTaskState(kKeepTaskPath).presence, Presence::Present);
    const KeepStatus status = ReadKeepStatus(platform);
    EXPECT_TRUE(status.on);
    // Wine's Task Scheduler keeps no actions; Windows names the copy.
    if (!Testing::UnderWine()) {
        EXPECT_EQ(status.command, kFolder + L"\\velmora-cli.exe");
    }
    const KeepOutcome again = TurnKeepOn(platform); // over its own copy and task
    EXPECT_TRUE(again.succeeded) << again.message;

    const KeepOutcome off = TurnKeepOff(platform);
    EXPECT_TRUE(off.succeeded) << off.message;
    EXPECT_EQ(ReadTaskState(kKeepTaskPath).presence, Presence::Absent);
    EXPECT_FALSE(std::filesystem::exists(kFolder));
    EXPECT_FALSE(ReadKeepStatus(platform).taskPresent);
}

TEST_F(Keep, AFolderOthersCanChangeIsRefusedAndNothingIsMade) {
    // As Windows (or Wine, which keeps no access list at all) reports it: the folder is not the
    // administrators' alone.
    WindowsKeepPlatform platform(kSource, kFolder);
    KeepOutcome on = TurnKeepOn(platform);
    if (Testing::UnderWine()) {
        EXPECT_FALSE(on.succeeded);
        EXPECT_THAT(on.message, HasSubstr(L"was made, but it is owned by"));
        EXPECT_FALSE(std::filesystem::exists(kFolder)) << "the folder it made is taken away again";
    } else {
        EXPECT_TRUE(on.succeeded) << on.message;
        static_cast<void>(TurnKeepOff(platform));
    }
    EXPECT_EQ(ReadTaskState(kKeepTaskPath).presence, Presence::Absent);

    // A folder there already, that users may write to: left as it is, and not used.
    std::filesystem::create_directories(kFolder);
    const FolderSecurityReader usersWrite = [](void*) -> std::optional<FolderSecurity> {
        return FolderSecurity{L"S-1-5-32-544", true, {{true, L"S-1-5-32-545", 0x1301bf}}};
    };
    WindowsKeepPlatform weak(kSource, kFolder, usersWrite);
    on = TurnKeepOn(weak);
    EXPECT_FALSE(on.succeeded);
    EXPECT_THAT(on.message, HasSubstr(L"already exists and its access list lets S-1-5-32-545 change it"));
    EXPECT_TRUE(std::filesystem::exists(kFolder));
    EXPECT_FALSE(std::filesystem::exists(kFolder + L"\\velmora-cli.exe"));
    EXPECT_EQ(ReadTaskState(kKeepTaskPath).presence, Presence::Absent);
}

} // namespace
