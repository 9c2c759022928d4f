// The pipeline over several target users, with a recording stand-in for the system (the host has no
// registry): the order of the per-user calls and the outcome rule.

#include "engine/target_users.h"
#include "support/recording_system.h"
#include "tweaks/apply_pipeline.h"
#include "tweaks/run_controller.h"
#include "common/dispatcher_queue.h"

#include <gtest/gtest.h>

namespace {

using namespace Velmora;

struct Write {
    RegistryRoot root;
    std::wstring spec;
    friend bool operator==(const Write&, const Write&) = default;
};

struct RecordedRun {
    std::int32_t outcome = 0;
    std::vector<std::string> calls;
    std::vector<Write> writes;
};

// A profile (Essential unless named) through the fan-out and the routing over `targets`, or straight to the
// system without them.
RecordedRun RunOver(const std::vector<TargetUser>* targets, const std::wstring& failingHive = L"",
                    SettingsProfile profile = kEssentialProfile) {
    const RunController controller;
    Testing::RecordingSystem real;
    RecordedRun run;
    real.dwordWriteSucceeds = [&](const RegistryDwordSetting& setting) {
        run.writes.push_back({setting.root, setting.spec});
        return failingHive.empty() || !setting.spec.starts_with(failingHive + L"\\");
    };
    HiveRoute route(targets ? *targets : std::vector<TargetUser>{});
    RoutedSystemOperations routed(real, route);
    PerUserFanOut perUser(routed, route);
    const std::atomic<SettingsProfile> selected{profile};
    DiscardingDispatcher dispatcher;
    run.outcome = RunApplyPipeline({controller,
                                    selected,
                                    targets ? static_cast<SystemOperations&>(perUser) : real,
                                    dispatcher,
                                    nullptr,
                                    {},
                                    {},
                                    nullptr});
    run.calls = real.Calls();
    return run;
}

TEST(PerUserFanOut, OneTargetIsThePipelineAsItWasAndSeveralGetEachPerUserRowInTurnFailingWhenAnyFails) {
    const std::vector<TargetUser> own{CurrentUserTarget(L"S-1-5-21-1-1000")};
    const RecordedRun plain = RunOver(nullptr);
    const RecordedRun routed = RunOver(&own);
    EXPECT_EQ(routed.calls, plain.calls);
    EXPECT_EQ(routed.writes, plain.writes);

    const std::vector<TargetUser> targets{
        CurrentUserTarget(L"S-1-5-21-1-1000"),
        {L"S-1-5-21-1-1002", L"bob", L"", HiveSource::AlreadyLoaded, L"S-1-5-21-1-1002", L""},
        {kDefaultProfileHive, L"Default profile", L"", HiveSource::LoadedByUs, L"Velmora-1-1", L""}};
    const RecordedRun run = RunOver(&targets, L"Velmora-1-1");

    const auto& table = RunController().commonRegistryTable;
    const auto perUserRows =
        std::count_if(table.begin(), table.end(), [](const auto& row) { return row.root == 1; });
    EXPECT_EQ(run.outcome, -perUserRows) << "every per-user row failed for the Default profile alone";

    const auto firstPerUser =
        std::find_if(table.begin(), table.end(), [](const auto& row) { return row.root == 1; });
    const auto at = std::find(run.writes.begin(), run.writes.end(), Write{1, firstPerUser->spec});
    ASSERT_LE(at + 4, run.writes.end());
    EXPECT_EQ(at[1], (Write{3, L"S-1-5-21-1-1002\\" + firstPerUser->spec}));
    EXPECT_EQ(at[2], (Write{3, L"Velmora-1-1\\" + firstPerUser->spec}));
    EXPECT_EQ(at[3], (Write{(firstPerUser + 1)->root, (firstPerUser + 1)->spec}))
        << "the next row follows the three users' writes";
}

// A hive loaded from NTUSER.DAT has no class keys of its own (they live in UsrClass.dat): its class rows
// are skipped for that user, neither written where they would do nothing nor counted as failed.
TEST(PerUserFanOut, ClassKeysAreSkippedForAUserWhoseHiveWasLoadedFromItsFile) {
    const std::vector<TargetUser> targets{
        CurrentUserTarget(L"S-1-5-21-1-1000"),
        {L"S-1-5-21-1-1002", L"bob", L"", HiveSource::LoadedByUs, L"Velmora-1-1", L""}};
    const RecordedRun run = RunOver(&targets, L"", kStandardProfile);
    EXPECT_EQ(run.outcome, 0);
    EXPECT_TRUE(std::any_of(run.writes.begin(), run.writes.end(), [](const Write& w) {
        return w.root == 1 && IsUserClassesPath(w.spec);
    })) << "the signed-in user's class rows are written";
    const auto intoBob = [](const Write& w) { return w.root == 3 && w.spec.starts_with(L"Velmora-1-1\\"); };
    const auto classes = [](const Write& w) {
        return IsUserClassesPath(w.spec.substr(w.spec.find(L'\\') + 1));
    };
    EXPECT_TRUE(std::any_of(run.writes.begin(), run.writes.end(), intoBob));
    EXPECT_TRUE(std::none_of(run.writes.begin(), run.writes.end(),
                             [&](const Write& w) { return intoBob(w) && classes(w); }));
    EXPECT_TRUE(IsUserClassesPath(L"SOFTWARE\\CLASSES\\CLSID\\{x}:v") &&
                IsUserClassesPath(L"Software\\Classes:v") && !IsUserClassesPath(L"Software\\ClassesX\\y") &&
                !IsUserClassesPath(L"Software\\Policies"));
}

// --users all on a PC without user profiles: the machine's rows run, the per-user ones are skipped and
// count as no failure, so the run succeeds rather than failing for ever on a fresh device.
TEST(PerUserFanOut, WithNoTargetUserThePerUserRowsAreSkippedNotFailed) {
    const std::vector<TargetUser> none;
    const RecordedRun run = RunOver(&none);
    EXPECT_EQ(run.outcome, 0);
    EXPECT_FALSE(run.writes.empty());
    EXPECT_TRUE(
        std::none_of(run.writes.begin(), run.writes.end(), [](const Write& w) { return w.root == 1; }));
}

} // namespace
