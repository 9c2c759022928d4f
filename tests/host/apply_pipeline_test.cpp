#include "tweaks/apply_pipeline.h"

#include "support/fake_ui.h"
#include "support/recording_system.h"
#include "tweaks/run_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <thread>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Velmora::Testing::ManualDelayedRunner;
using Velmora::Testing::QueuedDispatcher;
using Velmora::Testing::RecordingSystem;

std::wstring Write(const RegistryDwordSetting& row) {
    return L"SetRegistryDword " + std::to_wstring(row.root) + L" " + row.spec + L" = " +
           std::to_wstring(row.data);
}
std::wstring Delete(const RegistryDwordSetting& row) {
    return L"DeleteRegistryEntry " + std::to_wstring(row.root) + L" " + row.spec;
}
void AppendWrites(std::vector<std::wstring>& calls, const std::vector<RegistryDwordSetting>& table) {
    for (const auto& row : table) {
        calls.push_back(Write(row));
    }
}
void AppendDeletes(std::vector<std::wstring>& calls, const std::vector<RegistryDwordSetting>& table) {
    for (const auto& row : table) {
        calls.push_back(Delete(row));
    }
}

// A window's worth of state for one run, with the settings it stored and what it posted.
class PipelineHarness {
public:
    explicit PipelineHarness(SettingsProfile profile) { state.selectedProfile = profile; }

    ApplyRunContext Context() {
        return ApplyRunContext{controller,
                               state,
                               system,
                               dispatcher,
                               [this](std::wstring_view key, std::int32_t value) {
                                   std::lock_guard lock(settingsMutex);
                                   stored.emplace_back(std::wstring(key), value);
                               },
                               [this] { ++successShown; },
                               [this] { ++failureShown; }};
    }

    // Fails the first `count` writes of rows of the three counted tables.
    void FailCountedWrites(int count) {
        auto counted = std::make_shared<std::vector<RegistryDwordSetting>>();
        for (const auto* table : {&controller.commonRegistryTable, &controller.standardRegistryTable,
                                  &controller.maximumRegistryTable}) {
            counted->insert(counted->end(), table->begin(), table->end());
        }
        auto remaining = std::make_shared<int>(count);
        system.dwordWriteSucceeds = [counted, remaining](const RegistryDwordSetting& row) {
            const bool isCounted = std::find(counted->begin(), counted->end(), row) != counted->end();
            if (isCounted && *remaining > 0) {
                --*remaining;
                return false;
            }
            return true;
        };
    }

    RunController controller;
    SharedRunState state;
    RecordingSystem system;
    QueuedDispatcher dispatcher;
    std::mutex settingsMutex;
    std::vector<std::pair<std::wstring, std::int32_t>> stored;
    int successShown = 0;
    int failureShown = 0;
};

std::vector<std::wstring> ExpectedCommonSteps(const RunController& c) {
    std::vector<std::wstring> calls = {L"EmptyRecycleBin",
                                       L"CleanTempFolders",
                                       L"CleanPrefetchFolder",
                                       L"TunePowerScheme",
                                       L"ConfigureServiceStartTypes 252 23",
                                       L"SetSvcHostSplitThreshold",
                                       Delete(LogonImageRecord()),
                                       L"RunPowerShellCommands 4",
                                       L"RunCmdCommands " + c.baseCmdCommands.back(),
                                       L"DisableEdgeUpdateTasks"};
    for (const auto& path : c.scheduledTaskPaths) {
        calls.push_back(L"DisableScheduledTask " + path);
    }
    AppendWrites(calls, c.commonRegistryTable);
    return calls;
}

std::vector<std::wstring> ExpectedUndoMaximum(const RunController& c) {
    std::vector<std::wstring> calls = {
        L"GetCurrentUserSid", L"SetAppOffloadingDisabled S-1-5-21-1-2-3-1001 false",
        L"DeleteRegistryEntry 1 SOFTWARE\\CLASSES\\CLSID\\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}\\InprocServer32:",
        Write(TransparencyRecord(1))};
    AppendDeletes(calls, c.maximumRegistryTable);
    return calls;
}

TEST(ApplyPipelineOrder, EssentialUndoesMaximumThenStandardThenAppliesTheCommonSteps) {
    PipelineHarness h(kEssentialProfile);
    RunApplyPipeline(h.Context());
    std::vector<std::wstring> expected = ExpectedUndoMaximum(h.controller);
    AppendDeletes(expected, h.controller.standardRegistryTable);
    const auto common = ExpectedCommonSteps(h.controller);
    expected.insert(expected.end(), common.begin(), common.end());
    EXPECT_EQ(h.system.Calls(), expected);
}

TEST(ApplyPipelineOrder, StandardUndoesMaximumThenWritesCommonAndStandard) {
    PipelineHarness h(kStandardProfile);
    RunApplyPipeline(h.Context());
    std::vector<std::wstring> expected = ExpectedUndoMaximum(h.controller);
    const auto common = ExpectedCommonSteps(h.controller);
    expected.insert(expected.end(), common.begin(), common.end());
    AppendWrites(expected, h.controller.standardRegistryTable);
    EXPECT_EQ(h.system.Calls(), expected);
}

TEST(ApplyPipelineOrder, MaximumAppliesEverythingAndTheMaximumAdditionsLast) {
    PipelineHarness h(kMaximumProfile);
    RunApplyPipeline(h.Context());
    std::vector<std::wstring> expected = ExpectedCommonSteps(h.controller);
    AppendWrites(expected, h.controller.standardRegistryTable);
    expected.insert(
        expected.end(),
        {L"AdjustServicesForMemory", L"GetCurrentUserSid",
         L"SetAppOffloadingDisabled S-1-5-21-1-2-3-1001 true",
         L"RunCmdCommands " + h.controller.ipv6DisableCommands.back(),
         L"SetRegistryString 1 SOFTWARE\\CLASSES\\CLSID\\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}\\InprocServer32: = \"\"",
         Write(TransparencyRecord(0))});
    AppendWrites(expected, h.controller.maximumRegistryTable);
    EXPECT_EQ(h.system.Calls(), expected);
}

TEST(ApplyPipelineOrder, NoSelectedProfileRunsNoStepAndReportsSuccessWithoutRecording) {
    for (const SettingsProfile profile : {kNoProfile, -1, 7}) {
        PipelineHarness h(profile);
        EXPECT_EQ(RunApplyPipeline(h.Context()), 0);
        EXPECT_THAT(h.system.Calls(), IsEmpty());
        EXPECT_EQ(h.dispatcher.Drain(), 1);
        EXPECT_EQ(h.successShown, 1);
        EXPECT_EQ(h.state.pageState.load(), PageState::Applied);
        EXPECT_THAT(h.stored, IsEmpty());
    }
}

TEST(ApplyPipelineOutcome, ThirteenFailedCountedWritesStillSucceed) {
    PipelineHarness h(kMaximumProfile);
    h.FailCountedWrites(13);
    EXPECT_EQ(RunApplyPipeline(h.Context()), -13);
    EXPECT_EQ(h.dispatcher.Drain(), 1);
    EXPECT_EQ(h.successShown, 1);
    EXPECT_EQ(h.failureShown, 0);
    EXPECT_EQ(h.state.pageState.load(), PageState::Applied);
    EXPECT_THAT(h.stored,
                ElementsAre(std::pair<std::wstring, std::int32_t>{L"AppliedTask", 2},
                            std::pair<std::wstring, std::int32_t>{L"AppliedTaskBuildMaximum", 120}));
}

TEST(ApplyPipelineOutcome, FourteenFailedCountedWritesFailAndStoreNothing) {
    PipelineHarness h(kStandardProfile);
    h.state.pageState = PageState::Applying;
    h.FailCountedWrites(14);
    EXPECT_EQ(RunApplyPipeline(h.Context()), -14);
    EXPECT_EQ(h.dispatcher.Drain(), 1);
    EXPECT_EQ(h.failureShown, 1);
    EXPECT_EQ(h.successShown, 0);
    EXPECT_EQ(h.state.pageState.load(), PageState::Applying);
    EXPECT_THAT(h.stored, IsEmpty());
}

TEST(ApplyPipelineOutcome, UncountedWriteFailuresDoNotCount) {
    // Every write fails except the counted rows: the transparency record of Maximum is not counted.
    PipelineHarness h(kMaximumProfile);
    const RunController& c = h.controller;
    h.system.dwordWriteSucceeds = [&c](const RegistryDwordSetting& row) {
        for (const auto* table :
             {&c.commonRegistryTable, &c.standardRegistryTable, &c.maximumRegistryTable}) {
            if (std::find(table->begin(), table->end(), row) != table->end()) {
                return true;
            }
        }
        return false;
    };
    EXPECT_EQ(RunApplyPipeline(h.Context()), 0);
}

TEST(ApplyPipelineOutcome, EveryHklmWriteFailingMakesEssentialFail) {
    PipelineHarness h(kEssentialProfile);
    h.system.dwordWriteSucceeds = [](const RegistryDwordSetting& row) { return row.root != 2; };
    EXPECT_EQ(RunApplyPipeline(h.Context()), -106);
    h.dispatcher.Drain();
    EXPECT_EQ(h.failureShown, 1);
}

TEST(ApplyPipelineRecord, OnlyTheSelectedProfilesRevisionIsStored) {
    const std::map<SettingsProfile, std::pair<std::wstring, std::int32_t>> revision = {
        {kEssentialProfile, {L"AppliedTaskBuildEssential", 120}},
        {kStandardProfile, {L"AppliedTaskBuildStandard", 130}},
        {kMaximumProfile, {L"AppliedTaskBuildMaximum", 120}}};
    for (const auto& [profile, key] : revision) {
        PipelineHarness h(profile);
        RunApplyPipeline(h.Context());
        EXPECT_THAT(h.stored,
                    ElementsAre(std::pair<std::wstring, std::int32_t>{L"AppliedTask", profile}, key));
    }
}

TEST(ApplyPipelineRecord, TheRecordNamesTheProfileSelectedWhenTheRunEnds) {
    PipelineHarness h(kStandardProfile);
    // The user picks another card while the run is under way.
    auto& state = h.state;
    h.system.dwordWriteSucceeds = [&state](const RegistryDwordSetting&) {
        state.selectedProfile = kEssentialProfile;
        return true;
    };
    RunApplyPipeline(h.Context());
    EXPECT_THAT(h.stored,
                ElementsAre(std::pair<std::wstring, std::int32_t>{L"AppliedTask", 0},
                            std::pair<std::wstring, std::int32_t>{L"AppliedTaskBuildEssential", 120}));
}

TEST(ApplyPipelineRequest, WaitsForTheGivenDelayOnTheTimerAndRunsThere) {
    PipelineHarness h(kEssentialProfile);
    ManualDelayedRunner timer;
    EXPECT_TRUE(ApplyPipeline(h.Context(), timer, kApplyStartDelaySeconds));
    EXPECT_TRUE(ApplyPipeline(h.Context(), timer, kTryAgainStartDelaySeconds));
    EXPECT_THAT(timer.delays, ElementsAre(std::chrono::seconds(9), std::chrono::seconds(2)));
    EXPECT_THAT(h.system.Calls(), IsEmpty()) << "nothing runs before the timer fires";
    timer.RunPending();
    EXPECT_EQ(h.dispatcher.Drain(), 2);
    EXPECT_EQ(h.successShown, 2);
}

TEST(ApplyPipelineRequest, AClosureTheWindowRefusesIsNotRetried) {
    PipelineHarness h(kEssentialProfile);
    h.dispatcher.accepting = false;
    RunApplyPipeline(h.Context());
    h.dispatcher.accepting = true;
    EXPECT_EQ(h.dispatcher.Drain(), 0);
    EXPECT_THAT(h.stored, ::testing::SizeIs(2)) << "the settings record does not depend on the window";
}

// Runs on a real second thread while the UI side reads and writes the shared fields, as the window
// does; under ThreadSanitizer this fails if the fields are not race-free.
TEST(ApplyPipelineConcurrency, RunThreadAndUiThreadShareSelectionAndPageState) {
    PipelineHarness h(kMaximumProfile);
    h.state.pageState = PageState::Applying;
    std::atomic<bool> done{false};
    std::thread run([&] {
        RunApplyPipeline(h.Context());
        done = true;
    });
    while (!done) {
        static_cast<void>(h.state.pageState.load()); // the refresh reading the page
        h.state.selectedProfile = kMaximumProfile;   // the card handler writing the same value
        std::this_thread::yield();
    }
    run.join();
    EXPECT_EQ(h.dispatcher.Drain(), 1);
    EXPECT_EQ(h.successShown, 1);
    EXPECT_EQ(h.state.pageState.load(), PageState::Applied);
}

} // namespace
