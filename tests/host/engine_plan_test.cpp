// The plan's rules on a fake PC (the host has no registry): one entry per item at its first touch,
// with its real current state and the state after its last touch, and later calls that see what
// earlier ones planned.

#include "engine/plan.h"
#include "engine/planning_system.h"
#include "settings/local_settings.h"
#include "support/fake_engine.h"
#include "tweaks/run_controller.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace Velmora;
using Velmora::Testing::FakePcReader;

const PlanEntry* Find(const std::vector<PlanEntry>& entries, std::wstring_view ending,
                      std::size_t* index = nullptr) {
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const PlanEntry& entry) {
        return entry.description.ends_with(ending);
    });
    if (index != nullptr) {
        *index = static_cast<std::size_t>(found - entries.begin());
    }
    return found == entries.end() ? nullptr : &*found;
}

ServiceState Service(std::uint32_t start) {
    return {Presence::Present, start, false, 0, Presence::Present, DwordValue(start), AbsentValue()};
}

class PlanOnFakePc : public ::testing::Test {
protected:
    PlanOnFakePc() {
        pc.SetValue(2, L"SOFTWARE\\Policies\\Microsoft\\Windows\\System", L"DisableLogonBackgroundImage",
                    StringValue(L"custom"));
        pc.suffixes = {L"abc"};
        pc.services[L"OneSyncSvc_abc"] = Service(3);
        pc.services[L"Spooler"] = Service(4);
        pc.keys.insert(FakePcReader::Id(2, L"SYSTEM\\CurrentControlSet\\Control"));
        pc.tasks[L"\\Microsoft\\Windows\\Maps\\MapsUpdateTask"] = {Presence::Present, true, 0};
    }

    FakePcReader pc;
    std::unique_ptr<LocalSettingsValues> settings = MakeInMemorySettings();
    RunController controller;
};

TEST_F(PlanOnFakePc, AnItemTouchedSeveralTimesIsOneEntryWithItsRealStateAndItsLastPlannedState) {
    const ProfilePlan plan = Plan(controller, kMaximumProfile, pc, *settings);

    // Deleted by the common steps, then written again by its table row: one entry, where it was first met.
    std::size_t logon = 0;
    std::size_t powerShell = 0;
    ASSERT_NE(Find(plan.entries, L"System: DisableLogonBackgroundImage", &logon), nullptr);
    ASSERT_NE(Find(plan.entries, L"ie4uinit -show", &powerShell), nullptr);
    EXPECT_LT(logon, powerShell) << "at its first touch, before the commands";
    EXPECT_EQ(std::count_if(
                  plan.entries.begin(), plan.entries.end(),
                  [](const PlanEntry& e) { return e.description.ends_with(L"DisableLogonBackgroundImage"); }),
              1);
    EXPECT_EQ(std::get<RegistryValueState>(plan.entries[logon].current), StringValue(L"custom"));
    EXPECT_EQ(std::get<RegistryValueState>(plan.entries[logon].after), DwordValue(0));
    EXPECT_FALSE(plan.entries[logon].inEffect);

    // The per-user template listed twice (automatic, then delayed) and the memory adjustment after the
    // service step each end in the same entry.
    const PlanEntry* oneSync = Find(plan.entries, L"Service OneSyncSvc_abc");
    ASSERT_NE(oneSync, nullptr);
    const auto& instance = std::get<ServiceState>(oneSync->after);
    EXPECT_EQ(instance.managerStartType, 2u);
    EXPECT_EQ(instance.managerDelayed, true);
    EXPECT_EQ(instance.delayedAutoStart, DwordValue(1));
    const auto& spooler = std::get<ServiceState>(Find(plan.entries, L"Service Spooler")->after);
    EXPECT_EQ(spooler.managerStartType, 2u) << "the service manager's start type from the service table";
    EXPECT_EQ(spooler.start, DwordValue(3)) << "the registry's from the memory adjustment";

    const auto& task = std::get<TaskState>(Find(plan.entries, L"\\MapsUpdateTask")->after);
    EXPECT_FALSE(task.enabled);
    EXPECT_EQ(std::get<ProcessorMaximumState>(Find(plan.entries, L"(mains and battery)")->after),
              (ProcessorMaximumState{99u, 80u, L"{381b4222-f694-41f0-9685-ff5bb260df2e}"}))
        << "in the active scheme, which the state names";
    EXPECT_EQ(std::get<SettingState>(Find(plan.entries, L"setting AppliedTask")->after), SettingValue(2));
}

TEST_F(PlanOnFakePc, LaterCallsSeeWhatEarlierCallsPlanned) {
    const std::wstring key = L"Software\\Velmora\\Plan";
    pc.SetValue(1, key, L"Kept", DwordValue(5));
    PlanningSystem system(pc, *settings, false);
    EXPECT_TRUE(system.DeleteRegistryEntry({1, key + L":", 0}));              // the key, with its value
    EXPECT_FALSE(system.DeleteRegistryEntry({1, key + L":Kept", 0}));         // its key is gone: fails
    EXPECT_TRUE(system.SetRegistryDword({1, key + L":Fresh", 7}));            // creates the key again
    EXPECT_TRUE(system.DeleteRegistryEntry({1, key + L":Kept", 0}));          // the key is there again
    EXPECT_FALSE(system.DeleteRegistryEntry({1, L"Software\\Missing:X", 0})); // nothing to open
    const std::vector<PlanEntry> entries = system.TakeEntries();

    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(std::get<RegistryKeyState>(entries[0].after).presence, Presence::Absent);
    EXPECT_EQ(std::get<RegistryValueState>(entries[1].current), DwordValue(5))
        << "the real state, not the plan's";
    EXPECT_EQ(std::get<RegistryValueState>(entries[1].after).presence, Presence::Absent);
    EXPECT_EQ(std::get<RegistryValueState>(entries[2].current).presence, Presence::Absent);
    EXPECT_EQ(std::get<RegistryValueState>(entries[2].after), DwordValue(7));
    EXPECT_EQ(entries[3].after, entries[3].current) << "a failing deletion changes nothing";
}

TEST_F(PlanOnFakePc, APcHoldingEveryPlannedStateHasEveryChangeInEffectAndOneUndoneChangeIsDrift) {
    for (const SettingsProfile profile : {kEssentialProfile, kStandardProfile, kMaximumProfile}) {
        const ProfilePlan plan = Plan(controller, profile, pc, *settings);
        EXPECT_GT(CountPlan(plan).Drifted(), 0u);
        HoldPlan(pc, *settings, plan);
        const PlanCounts counts = CountPlan(Plan(controller, profile, pc, *settings));
        EXPECT_EQ(counts.inEffect, counts.changes) << "profile " << profile;
        EXPECT_EQ(counts.unreadable, 0u);
        EXPECT_EQ(counts.actions, profile == kMaximumProfile ? 6u : 5u);
    }
    pc.power = {100u, 80u};
    EXPECT_EQ(CountPlan(Plan(controller, kMaximumProfile, pc, *settings)).Drifted(), 1u);
}

} // namespace
