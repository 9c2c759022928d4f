// A repair sets again only what no longer holds of the applied profile, per user and with the kept
// features left alone, and daily repairs never push the applying run's journal out of the folder.

#include "common/text_encoding.h"
#include "engine/choice_filter.h"
#include "engine/engine.h"
#include "engine/journal.h"
#include "engine/journal_store.h"
#include "engine/repair_filter.h"
#include "settings/local_settings.h"
#include "support/fake_engine.h"
#include "support/recording_system.h"
#include "tweaks/run_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace Velmora;
using namespace Velmora::Testing;

std::vector<std::wstring> DriftedItems(const ProfilePlan& plan) {
    std::vector<std::wstring> items;
    for (const PlanEntry& entry : plan.entries) {
        if (Drifted(entry)) {
            items.push_back(ItemIdentity(entry.target));
        }
    }
    return items;
}

const PlanEntry& FirstValue(const ProfilePlan& plan, RegistryRoot root) {
    return *std::find_if(plan.entries.begin(), plan.entries.end(), [root](const PlanEntry& entry) {
        const auto* value = std::get_if<RegistryValueTarget>(&entry.target);
        return value != nullptr && value->root == root && !entry.kept;
    });
}

TEST(Repair, OnlyWhatNoLongerHoldsIsSetAgainAndJournaledAsARepairAndAKeptFeatureIsLeftAlone) {
    const RunController controller;
    const FeatureIndex features(controller);
    FakePcReader pc;
    pc.suffixes = {L"1a2b3"};
    const auto settings = MakeInMemorySettings();
    for (const PlanEntry& entry : Plan(controller, kStandardProfile, pc, *settings, {false}).entries) {
        if (const auto* service = std::get_if<ServiceTarget>(&entry.target)) { // installed, starting at boot
            pc.services[service->name] = {Presence::Present, 2u,           false, 0, Presence::Present,
                                          DwordValue(2),     AbsentValue()};
        }
    }
    HoldPlan(pc, *settings, Plan(controller, kStandardProfile, pc, *settings, {false}));
    ASSERT_THAT(DriftedItems(Plan(controller, kStandardProfile, pc, *settings, {false})),
                ::testing::IsEmpty())
        << "the fake PC holds the profile";

    RecordingSystem recording;
    recording.userSid = pc.CurrentUserSid(); // one account, as the process's token names it to both
    MemoryJournalStore store;
    FakePcWriter writer(pc);
    FakeRestorePointApi restorePoints;
    EngineServices services{recording, pc, writer, *settings, store, restorePoints, nullptr, L"1.0"};
    const Choices none;
    const RunChoices noChoices{features, none};
    RunOptions options;
    options.repair = true;
    options.choices = &noChoices;
    RunReport report = RunProfile(services, controller, kStandardProfile, options);
    EXPECT_EQ(report.outcome, RunOutcome::Succeeded);
    EXPECT_TRUE(report.drifted.empty());
    EXPECT_TRUE(store.files.empty()) << "nothing to repair: no journal";
    EXPECT_TRUE(recording.Calls().empty());

    // Turned back from outside: a machine value, a value of the user's hive and a service.
    const ProfilePlan held = Plan(controller, kStandardProfile, pc, *settings, {false});
    const auto& machine = std::get<RegistryValueTarget>(FirstValue(held, 2).target);
    const auto& user = std::get<RegistryValueTarget>(FirstValue(held, 1).target);
    pc.SetValue(2, machine.keyPath, machine.valueName, StringValue(L"turned back"));
    pc.SetValue(1, user.keyPath, user.valueName, StringValue(L"turned back"));
    const auto service = std::find_if(held.entries.begin(), held.entries.end(), [](const PlanEntry& entry) {
        return std::holds_alternative<ServiceTarget>(entry.target);
    });
    ASSERT_NE(service, held.entries.end());
    ServiceState& turnedBack = pc.services[std::get<ServiceTarget>(service->target).name];
    const std::uint32_t other = turnedBack.managerStartType == 2u ? 3u : 2u; // as "sc config" would
    turnedBack.managerStartType = other;
    turnedBack.start = DwordValue(other);
    const std::vector<std::wstring> drifted =
        DriftedItems(Plan(controller, kStandardProfile, pc, *settings, {false}));
    ASSERT_EQ(drifted.size(), 3u);

    report = RunProfile(services, controller, kStandardProfile, options);
    EXPECT_EQ(report.outcome, RunOutcome::Succeeded);
    EXPECT_EQ(report.restorePoint.status, RestorePointStatus::Skipped);
    EXPECT_TRUE(restorePoints.descriptions.empty());
    std::wstring error;
    const auto journal = ParseJournal(store.files.at(report.journalPath), error);
    ASSERT_TRUE(journal) << ToUtf8(error);
    EXPECT_EQ(journal->header.kind, JournalKind::Repair);
    EXPECT_EQ(journal->header.profile, L"Standard");
    std::vector<std::wstring> journaled;
    for (const JournalEntry& entry : journal->entries) {
        journaled.push_back(ItemIdentity(entry.target));
    }
    EXPECT_THAT(journaled, ::testing::UnorderedElementsAreArray(drifted))
        << "no settings record, action or item that still holds";
    EXPECT_THAT(report.journalPath, ::testing::EndsWith(L"-Repair.json"));

    // The feature of the machine value is kept: a repair leaves it as the PC has it now.
    Choices kept;
    const auto feature = features.FeatureOf(machine);
    ASSERT_TRUE(feature);
    AddChoices(kept, features, {FromUtf8(features.Features()[*feature].id)}, ChoiceSource::Stored);
    const RunChoices keeping{features, kept};
    options.choices = &keeping;
    report = RunProfile(services, controller, kStandardProfile, options);
    EXPECT_THAT(report.drifted, ::testing::Not(::testing::Contains(ItemTarget(machine))));
    EXPECT_EQ(report.drifted.size(), 2u);
}

TEST(Repair, PruningKeepsTheNewestOfEachKindSoRepairsNeverPushOutTheApplyingRun) {
    std::vector<std::wstring> newestFirst;
    for (int i = 0; i < 30; ++i) {
        newestFirst.push_back(L"C:\\J\\2026120" + std::to_wstring(i) + L"-Repair.json");
    }
    newestFirst.push_back(L"C:\\J\\20261101-Standard.json");
    newestFirst.push_back(L"C:\\J\\20261001-Restore.json.partial");
    for (int i = 0; i < 21; ++i) {
        newestFirst.push_back(L"C:\\J\\2025" + std::to_wstring(i) + L"-Maximum.json");
    }
    const std::vector<std::wstring> pruned = JournalsToPrune(newestFirst, kJournalsKept);
    EXPECT_THAT(pruned, ::testing::Not(::testing::Contains(L"C:\\J\\20261101-Standard.json")));
    EXPECT_THAT(pruned, ::testing::Not(::testing::Contains(L"C:\\J\\20261001-Restore.json.partial")));
    EXPECT_EQ(pruned.size(), 10u + 2u) << "ten repairs and the two oldest runs";
    EXPECT_EQ(pruned.back(), newestFirst.back());
    EXPECT_EQ(JournalKindOfName(L"C:\\J\\x-REPAIR.json.partial"), JournalKind::Repair);
}

} // namespace
