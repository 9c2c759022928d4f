// The journal as untrusted input, the journaled run's promise (every change is on the disk before
// it is made, and a stop ends the run between two items), and the restore point's decisions. The
// system is the recording fake and a fake PC: the host has no registry or System Restore.

#include "common/text_encoding.h"
#include "engine/engine.h"
#include "engine/journal.h"
#include "engine/journal_recorder.h"
#include "engine/restore.h"
#include "settings/local_settings.h"
#include "support/fake_engine.h"
#include "support/recording_system.h"
#include "tweaks/run_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace Velmora;
using namespace Velmora::Testing;
using ::testing::HasSubstr;

const std::wstring kSid = L"S-1-5-21-1-2-3-1001";

// One entry of every kind, as a run records them.
std::vector<JournalEntry> EveryKind() {
    return {
        {1,
         ItemStep::Cleanup,
         ActionTarget{ActionKind::RunCmdCommands, {L"NET STOP w32time"}},
         NoState{},
         {},
         {}},
        {2,
         ItemStep::Registry,
         RegistryValueTarget{1, L"Software\\A\\B", L"V", kSid},
         RegistryValueState{Presence::Present, kRegMultiSz, {0x61, 0, 0, 0, 0, 0}, 0},
         L"Software\\A",
         {}},
        {3,
         ItemStep::Registry,
         RegistryKeyTarget{1, L"Software\\K", false, kSid},
         RegistryKeyState{Presence::Present, {{L"", kRegSz, {0x78, 0, 0, 0}}}, 0, 0},
         {},
         {}},
        {4,
         ItemStep::Services,
         ServiceTarget{L"Spooler"},
         ServiceState{Presence::Present, 3u, std::nullopt, 124, Presence::Present, DwordValue(3),
                      AbsentValue()},
         {},
         {}},
        {5, ItemStep::Tasks, TaskTarget{L"\\Microsoft\\T"}, TaskState{Presence::Present, true, 0}, {}, {}},
        {6,
         ItemStep::Power,
         PowerTarget{},
         ProcessorMaximumState{100u, std::nullopt, L"{381b4222-f694-41f0-9685-ff5bb260df2e}"},
         {},
         {}},
        {7, ItemStep::Settings, SettingTarget{L"AppliedTask"}, SettingState(SettingValue(true)), {}, {}},
        {8,
         ItemStep::Registry,
         RegistryValueTarget{2, L"SOFTWARE\\X", L"", L""},
         RegistryValueState{Presence::Unreadable, 0, {}, 5},
         {},
         {}},
    };
}

// The lines a run writes for them, every change with an outcome, and the store that holds them.
std::string RecordedLines(MemoryJournalStore& store, bool close) {
    std::wstring error;
    JournalRecorder recorder(
        store.Create(L"Maximum", error),
        JournalHeader{JournalKind::Run, L"Maximum", "2024-01-01T00:00:00Z", L"1.0", kSid, {}, {}});
    for (const JournalEntry& entry : EveryKind()) {
        const auto seq = recorder.RecordChange(entry.step, entry.target, entry.before, entry.createdKey);
        recorder.RecordOutcome(*seq, {seq != 2u, seq == 2u ? 5u : 0u, std::nullopt});
    }
    if (close) {
        recorder.Close({JournalEndState::Succeeded, -1, "2024-01-01T00:01:00Z"});
    }
    return store.files.begin()->second;
}

TEST(Journal, EveryKindOfItemReadsBackAsItWasRecordedFromBothForms) {
    for (const bool closed : {false, true}) {
        MemoryJournalStore store;
        std::wstring error;
        const auto journal = ParseJournal(RecordedLines(store, closed), error);
        ASSERT_TRUE(journal) << error;
        EXPECT_EQ(journal->finished, closed);
        EXPECT_EQ(journal->end.has_value(), closed);
        EXPECT_EQ(journal->header.userSid, kSid);
        const std::vector<JournalEntry> expected = EveryKind();
        ASSERT_EQ(journal->entries.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(journal->entries[i].target, expected[i].target) << i;
            EXPECT_EQ(journal->entries[i].before, expected[i].before) << i;
            EXPECT_EQ(journal->entries[i].createdKey, expected[i].createdKey) << i;
            EXPECT_EQ(journal->entries[i].outcome->succeeded, i != 1) << i;
        }
    }
}

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    const std::size_t at = text.find(what);
    return at == std::string::npos ? "(not found: " + what + ")" : text.replace(at, what.size(), with);
}

TEST(Journal, HostileJournalsAreRefusedWithTheirReason) {
    MemoryJournalStore store;
    const std::string lines = RecordedLines(store, false);
    MemoryJournalStore other;
    const std::string closed = RecordedLines(other, true);
    const std::string header = lines.substr(0, lines.find('\n') + 1);
    const std::string change = "{\"type\":\"change\",\"seq\":9,\"step\":\"registry\",\"item\":";
    const std::string value =
        "{\"kind\":\"registryValue\",\"root\":2,\"key\":\"SOFTWARE\\\\X\",\"value\":\"V\"}";
    const std::string absent = ",\"before\":{\"presence\":\"absent\"}}\n";
    const struct {
        std::string text;
        const char* reason;
    } cases[] = {
        {"", "it is empty"},
        {"hello\n", "not a Velmora journal"},
        {lines.substr(lines.find('\n') + 1), "does not begin with a Velmora journal header"},
        {Replaced(lines, "\"schemaVersion\":1", "\"schemaVersion\":2"), "does not know (schema 2)"},
        {Replaced(lines, "\"format\":\"velmora-journal\"", "\"format\":\"other\""), "not a Velmora journal"},
        {Replaced(lines, "\"kind\":\"run\"", "\"kind\":\"wipe\""), "\"kind\" has an unknown value"},
        {Replaced(lines, "\"profile\":\"Maximum\"", "\"profile\":\"Restore\""), "not one this kind"},
        {Replaced(lines, "\"root\":1", "\"root\":4"), "\"root\" is not a number in range"},
        {Replaced(lines, "\"root\":1", "\"root\":\"1\""), "\"root\" is not a number in range"},
        {Replaced(lines, "\"type\":7", "\"type\":6"), "a registry value type the restore does not write"},
        {Replaced(lines, "\"data\":\"610000000000\"", "\"data\":\"61000\""), "not hexadecimal bytes"},
        {Replaced(lines, "\"data\":\"610000000000\"", "\"data\":\"" + std::string(2097154, '0') + "\""),
         "of sensible size"},
        {Replaced(lines, "\"key\":\"Software\\\\K\"", "\"key\":\"\\\\Software\\\\K\""),
         "key path cannot be recorded"},
        {Replaced(lines, "\"key\":\"Software\\\\K\"", "\"key\":\"Software\\\\..\\\\K\""),
         "key path cannot be recorded"},
        {Replaced(lines, "\"hiveSid\":\"S-1-5-21-1-2-3-1001\"", "\"hiveSid\":\"S-1-x\""),
         "key path cannot be recorded"},
        {Replaced(lines, "\"name\":\"Spooler\"", "\"name\":\"..\\\\Spooler\""),
         "not a plain service key name"},
        {Replaced(lines, "\"path\":\"\\\\Microsoft\\\\T\"", "\"path\":\"Microsoft\\\\T\""),
         "not a plain task path"},
        {Replaced(lines, "\"ac\":100", "\"ac\":101"), "\"ac\" is not a number in range"},
        {Replaced(lines, "\"name\":\"AppliedTask\"", "\"name\":\"appLanguage\""), "not one a run records"},
        {Replaced(lines, "\"createdKey\":\"Software\\\\A\"", "\"createdKey\":\"Software\\\\Other\""),
         "created key off its path"},
        {header + change + value + absent + change + value + absent, "change 9 is out of order"},
        {lines + "{\"type\":\"outcome\",\"seq\":42,\"succeeded\":true,\"error\":0}\n", "names no change"},
        {lines + "{\"type\":\"end\",\"state\":\"succeeded\",\"applyOutcome\":0,\"finishedUtc\":\"\"}\n" +
             lines,
         "follows the end record"},
        {lines + "{\"type\":\"wipe\"}\n", "of an unknown type"},
        {lines + std::string(40, '[') + std::string(40, ']') + "\n", "nested deeper than any journal"},
        {lines + std::string(kMaxJournalBytes, ' '), "larger than any journal"},
        {closed.substr(0, closed.rfind(",\n{\"type\":\"end\"")) + "\n]}\n", "the end record is missing"},
    };
    for (const auto& hostile : cases) {
        std::wstring error;
        EXPECT_FALSE(ParseJournal(hostile.text, error).has_value()) << hostile.reason;
        EXPECT_THAT(ToUtf8(error), HasSubstr(hostile.reason)) << hostile.text.substr(0, 200);
    }
}

TEST(Journal, AKilledRunsHalfWrittenLastRecordIsLeftOutButNeverOneInTheMiddle) {
    MemoryJournalStore store;
    const std::string lines = RecordedLines(store, false);
    const std::string cut = lines + "{\"type\":\"change\",\"seq\":9,\"st";
    std::wstring error;
    const auto journal = ParseJournal(cut, error);
    ASSERT_TRUE(journal) << error;
    EXPECT_TRUE(journal->tornTail);
    EXPECT_EQ(journal->entries.size(), EveryKind().size());
    EXPECT_FALSE(ParseJournal(cut + "\n" + lines.substr(lines.find('\n') + 1), error).has_value());
    EXPECT_THAT(ToUtf8(error), HasSubstr("record 18 is corrupted"));
}

// The system as the run reaches it: every call must find its item already recorded in the journal.
class JournalCheckingSystem final : public SystemOperations {
public:
    JournalCheckingSystem(RecordingSystem& recording, MemoryJournalStore& store)
        : recording_(recording), store_(store) {}
    int unrecorded = 0;

#define VELMORA_CHECKED(call)                                                                                \
    Check();                                                                                                 \
    return recording_.call
    bool SetRegistryDword(RegistryDwordSetting s) override {
        VELMORA_CHECKED(SetRegistryDword(s));
    }
    bool SetRegistryString(RegistryStringSetting s) override {
        VELMORA_CHECKED(SetRegistryString(s));
    }
    bool MergeRegistryListEntry(RegistryListEntry s) override {
        VELMORA_CHECKED(MergeRegistryListEntry(s));
    }
    bool DeleteRegistryEntry(RegistryDwordSetting s) override {
        VELMORA_CHECKED(DeleteRegistryEntry(s));
    }
    bool DeleteRegistryTree(RegistryDwordSetting s) override {
        VELMORA_CHECKED(DeleteRegistryTree(s));
    }
    void ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& s,
                                    const std::vector<ServiceStartEntry>& t) override {
        VELMORA_CHECKED(ConfigureServiceStartTypes(s, t));
    }
    void SetSvcHostSplitThreshold() override {
        VELMORA_CHECKED(SetSvcHostSplitThreshold());
    }
    void AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) override {
        VELMORA_CHECKED(AdjustServicesForMemory(leaveAlone));
    }
    void DisableEdgeUpdateTasks() override {
        VELMORA_CHECKED(DisableEdgeUpdateTasks());
    }
    bool DisableScheduledTask(const std::wstring& p) override {
        VELMORA_CHECKED(DisableScheduledTask(p));
    }
    std::uint32_t RunPowerShellCommands(const std::vector<std::wstring>& c) override {
        VELMORA_CHECKED(RunPowerShellCommands(c));
    }
    std::uint32_t RunCmdCommands(const std::vector<std::wstring>& c) override {
        VELMORA_CHECKED(RunCmdCommands(c));
    }
    void TunePowerScheme() override {
        VELMORA_CHECKED(TunePowerScheme());
    }
    void EmptyRecycleBin() override {
        VELMORA_CHECKED(EmptyRecycleBin());
    }
    void CleanTempFolders() override {
        VELMORA_CHECKED(CleanTempFolders());
    }
    void CleanPrefetchFolder() override {
        VELMORA_CHECKED(CleanPrefetchFolder());
    }
    std::wstring GetCurrentUserSid() override {
        return kSid;
    }
    bool SetAppOffloadingDisabled(const std::wstring& sid, bool d) override {
        VELMORA_CHECKED(SetAppOffloadingDisabled(sid, d));
    }
#undef VELMORA_CHECKED

private:
    // The last line on the disk is the record of the change about to be made.
    void Check() {
        const std::string& partial = store_.files.begin()->second;
        const std::size_t last = partial.rfind('\n', partial.size() - 2);
        unrecorded += partial.compare(last + 1, 17, "{\"type\":\"change\",") == 0 ? 0 : 1;
    }
    RecordingSystem& recording_;
    MemoryJournalStore& store_;
};

class JournaledRun : public ::testing::Test {
protected:
    JournaledRun() {
        pc.foundTasks = {L"\\MicrosoftEdgeUpdateTaskMachineCore{1}"};
        pc.tasks[pc.foundTasks[0]] = {Presence::Present, true, 0};
    }

    RunReport Run(SettingsProfile profile, const RunOptions& options = {}) {
        return RunProfile(services, controller, profile, options);
    }
    std::optional<Journal> Stored(const RunReport& report) {
        std::wstring error;
        auto journal = ParseJournal(store.files.at(report.journalPath), error);
        EXPECT_TRUE(journal) << error;
        return journal;
    }

    RecordingSystem recording;
    MemoryJournalStore store;
    JournalCheckingSystem system{recording, store};
    FakePcReader pc;
    std::unique_ptr<LocalSettingsValues> settings = MakeInMemorySettings();
    FakeRestorePointApi restorePoints;
    struct NoWrites final : StateWriter {
        WriteOutcome WriteRegistryValue(RegistryRoot, const std::wstring&, const std::wstring&, std::uint32_t,
                                        const std::vector<std::uint8_t>&) override {
            return {};
        }
        WriteOutcome DeleteRegistryValue(RegistryRoot, const std::wstring&, const std::wstring&) override {
            return {};
        }
        WriteOutcome CreateRegistryKey(RegistryRoot, const std::wstring&) override { return {}; }
        WriteOutcome DeleteRegistryKeyIfEmpty(RegistryRoot, const std::wstring&) override { return {}; }
        WriteOutcome SetServiceStartType(const std::wstring&, std::uint32_t) override { return {}; }
        WriteOutcome SetServiceDelayedFlag(const std::wstring&, bool) override { return {}; }
        WriteOutcome SetTaskEnabled(const std::wstring&, bool) override { return {}; }
        WriteOutcome WriteProcessorMaximum(const ProcessorMaximumState&) override { return {}; }
    } writer;
    EngineServices services{system, pc, writer, *settings, store, restorePoints, nullptr, L"1.0"};
    RunController controller;
};

TEST_F(JournaledRun, EveryChangeIsOnTheDiskBeforeItIsMadeAndAnUnrecordableOneIsNotMade) {
    settings->Insert(SettingKeys::AppliedTask, SettingValue(std::int32_t{0}));
    std::vector<std::wstring> written;
    recording.dwordWriteSucceeds = [&written](const RegistryDwordSetting& row) {
        written.push_back(std::to_wstring(row.root) + L" " + row.spec);
        return true;
    };
    // The app removal starts only with the restore point made and its record, and the cache key's, on the
    // disk.
    RunOptions options;
    options.appRemoval = true;
    std::vector<std::wstring> removed;
    options.startAppRemoval = [&](std::vector<std::wstring> names) {
        EXPECT_EQ(restorePoints.descriptions.size(), 1u);
        const std::string& partial = store.files.begin()->second;
        EXPECT_THAT(partial, HasSubstr("CloudStore\\\\Store\\\\Cache\\\\DefaultAccount"));
        EXPECT_THAT(partial.substr(partial.rfind("{\"type\":\"change\"")), HasSubstr("\"removeApps\""));
        removed = std::move(names);
        return true;
    };
    const RunReport report = Run(kMaximumProfile, options);
    EXPECT_EQ(removed, controller.preinstalledPackageNames);
    EXPECT_EQ(report.outcome, RunOutcome::Succeeded);
    EXPECT_EQ(report.applyOutcome, -1) << "the refused row still counts as one failed write";
    EXPECT_EQ(system.unrecorded, 0);
    EXPECT_FALSE(written.empty());
    for (const std::wstring& row : written) {
        EXPECT_THAT(row, ::testing::Not(HasSubstr(L"3 \\Control Panel\\Keyboard")))
            << "made without a record";
    }
    const auto journal = Stored(report);
    ASSERT_TRUE(journal && journal->end);
    EXPECT_EQ(journal->end->state, JournalEndState::Succeeded);
    EXPECT_EQ(journal->header.restorePoint, report.restorePoint.message);
    EXPECT_EQ(restorePoints.descriptions, std::vector<std::wstring>{L"Velmora: before Maximum"});
    EXPECT_EQ(restorePoints.ends, (std::vector<std::pair<std::int64_t, bool>>{{1, false}}));
    // The settings the run overwrote, with what they held before.
    const auto applied =
        std::find_if(journal->entries.begin(), journal->entries.end(), [](const JournalEntry& e) {
            return e.target == ItemTarget(SettingTarget{L"AppliedTask"});
        });
    ASSERT_NE(applied, journal->entries.end());
    EXPECT_EQ(std::get<SettingState>(applied->before), SettingValue(std::int32_t{0}));
}

TEST_F(JournaledRun, AStopEndsTheRunBetweenTwoItemsWithEveryChangeMadeSoFarInItsJournal) {
    std::atomic<bool> stop{false};
    std::vector<RunProgress> seen;
    RunOptions options;
    options.cancel = &stop;
    options.progress = [&](const RunProgress& progress) {
        seen.push_back(progress);
        stop = progress.step == ItemStep::Registry && progress.index == 60; // among the common table's rows
    };
    const ProfilePlan plan = Plan(controller, kStandardProfile, pc, *settings);
    const RunReport report = Run(kStandardProfile, options);
    EXPECT_EQ(report.outcome, RunOutcome::Cancelled);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front().step, ItemStep::Apps) << "app offloading is the first item of Standard";
    EXPECT_EQ(seen.back().stepTotal,
              std::count_if(plan.entries.begin(), plan.entries.end(),
                            [](const PlanEntry& e) { return e.step == ItemStep::Registry; }))
        << "the registry items of Standard's plan";
    EXPECT_EQ(seen.back().done, seen.size()) << "every item reached, counted once";
    EXPECT_GE(seen.back().total, plan.entries.size()) << "against all the items of the run";
    const auto journal = Stored(report);
    ASSERT_TRUE(journal && journal->end);
    EXPECT_EQ(journal->end->state, JournalEndState::Cancelled);
    for (const JournalEntry& entry : journal->entries) {
        EXPECT_TRUE(entry.outcome.has_value())
            << "recorded but not made: " << ToUtf8(DescribeItem(entry.target));
    }
    EXPECT_FALSE(settings->HasKey(SettingKeys::AppliedTask)) << "a stopped run is not recorded as applied";
    EXPECT_EQ(restorePoints.ends, (std::vector<std::pair<std::int64_t, bool>>{{1, false}}))
        << "the point stays: changes were made";
}

TEST_F(JournaledRun, WithoutAJournalNothingIsChanged) {
    store.failCreate = true;
    RunOptions options;
    options.appRemoval = true;
    options.startAppRemoval = [](std::vector<std::wstring>) {
        ADD_FAILURE() << "an app removal started without a journal";
        return true;
    };
    const RunReport report = Run(kStandardProfile, options);
    EXPECT_EQ(report.outcome, RunOutcome::NotStarted);
    EXPECT_THAT(report.message, HasSubstr(L"no room"));
    EXPECT_TRUE(recording.Calls().empty());
    EXPECT_EQ(restorePoints.ends, (std::vector<std::pair<std::int64_t, bool>>{{1, true}})) << "dropped";
}

// The power values go back into the scheme the run changed, whichever is active at the restore; a scheme
// deleted since is a failure of the restore, never a write into the active one.
TEST(RestoreOfPower, TheValuesGoBackIntoTheirRecordedSchemeOrTheRestoreSaysItIsGone) {
    const std::wstring balanced = L"{381b4222-f694-41f0-9685-ff5bb260df2e}";
    for (const bool schemeKept : {true, false}) {
        MemoryJournalStore store;
        std::wstring error;
        JournalRecorder run(store.Create(L"Maximum", error),
                            {JournalKind::Run, L"Maximum", "2024-01-01T00:00:00Z", L"1.0", kSid, {}, {}});
        run.RecordOutcome(
            *run.RecordChange(ItemStep::Power, PowerTarget{}, ProcessorMaximumState{100u, 100u, balanced}),
            {true, 0, std::nullopt});
        ASSERT_TRUE(run.Close({JournalEndState::Succeeded, 0, "2024-01-01T00:01:00Z"}));
        FakePcReader pc;
        pc.power = {99u, 99u, L"{8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c}"}; // another scheme is active now
        if (schemeKept) {
            pc.schemes[balanced] = {99u, 99u, balanced};
        }
        FakePcWriter writer(pc);
        const auto settings = MakeInMemorySettings();
        RestoreContext context{pc, writer, *settings, store, L"1.0"};
        const RestoreResult result = Restore(context, run.Path());
        EXPECT_EQ(pc.power, (ProcessorMaximumState{99u, 99u, L"{8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c}"}))
            << "the active scheme is left as it is";
        if (schemeKept) {
            EXPECT_TRUE(result.failed.empty());
            EXPECT_EQ(pc.schemes[balanced], (ProcessorMaximumState{100u, 100u, balanced}));
        } else {
            ASSERT_EQ(result.failed.size(), 1u);
            EXPECT_THAT(result.failed[0].reason, HasSubstr(balanced + L" it was recorded in is gone"));
        }
    }
}

// A restore asked to stop ends between two items, with its own journal closed as cancelled and what it
// put back so far in it.
TEST(RestoreStop, ARestoreAskedToStopEndsBetweenTwoItemsWithItsJournalClosedAsCancelled) {
    MemoryJournalStore store;
    std::wstring error;
    JournalRecorder run(store.Create(L"Maximum", error),
                        {JournalKind::Run, L"Maximum", "2024-01-01T00:00:00Z", L"1.0", kSid, {}, {}});
    for (const wchar_t* name : {L"A", L"B", L"C"}) {
        run.RecordOutcome(*run.RecordChange(ItemStep::Registry,
                                            RegistryValueTarget{2, L"SOFTWARE\\X", name, L""}, AbsentValue()),
                          {true, 0, std::nullopt});
    }
    ASSERT_TRUE(run.Close({JournalEndState::Succeeded, 0, "2024-01-01T00:01:00Z"}));
    FakePcReader pc;
    for (const wchar_t* name : {L"A", L"B", L"C"}) {
        pc.SetValue(2, L"SOFTWARE\\X", name, DwordValue(1));
    }
    FakePcWriter writer(pc);
    const auto settings = MakeInMemorySettings();
    std::atomic<bool> stop{false};
    RestoreContext context{pc, writer, *settings, store, L"1.0"};
    context.progress = [&stop](const RunProgress&) { stop = true; }; // asked during the first item
    context.cancel = &stop;
    const RestoreResult result = Restore(context, run.Path());
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.restored.size(), 1u);
    EXPECT_EQ(pc.values.size(), 2u) << "the items after the stop are left as they are";
    const auto own = ParseJournal(store.files.at(result.journalPath), error);
    ASSERT_TRUE(own && own->end) << error;
    EXPECT_EQ(own->end->state, JournalEndState::Cancelled);
    EXPECT_EQ(own->entries.size(), 1u);
}

TEST(RestorePoint, EachAnswerOfSystemRestoreIsReportedAsItIs) {
    const struct {
        bool available;
        bool safeMode;
        std::optional<std::int64_t> newest;
        RestorePointCall begin;
        RestorePointStatus expected;
    } cases[] = {
        {false, false, {}, {true, 0, 9}, RestorePointStatus::NotAvailable},
        {true, true, {}, {true, 0, 9}, RestorePointStatus::SafeMode},
        {true, false, 8, {true, 0, 9}, RestorePointStatus::Created},
        {true, false, {}, {true, 0, 9}, RestorePointStatus::Created},
        {true, false, 9, {true, 0, 9}, RestorePointStatus::Reused},
        {true, false, 12, {true, 0, 9}, RestorePointStatus::Reused},
        {true, false, {}, {false, 1058, 0}, RestorePointStatus::Disabled},
        {true, false, {}, {false, 10, 0}, RestorePointStatus::SafeMode},
        {true, false, {}, {false, 0, 0}, RestorePointStatus::NotAvailable},
        {true, false, {}, {false, 112, 0}, RestorePointStatus::Failed},
    };
    for (const auto& answer : cases) {
        FakeRestorePointApi api;
        api.available = answer.available;
        api.safeMode = answer.safeMode;
        api.newest = answer.newest;
        api.begin = answer.begin;
        const RestorePointReport report = BeginRestorePoint(api, L"Maximum");
        EXPECT_EQ(report.status, answer.expected) << ToUtf8(report.message);
        EXPECT_EQ(api.descriptions.size(), answer.available && !answer.safeMode ? 1u : 0u);
        EndRestorePoint(api, report, true, true);
        // Only a point this run made is ended; a reused one belongs to someone else.
        EXPECT_EQ(api.ends.size(), answer.expected == RestorePointStatus::Created ? 1u : 0u);
    }
}

} // namespace
