// Choices are read from places others can write (a policy, a file someone hands over): each is checked as
// it is used, and a kept feature is left out of a run as if it were not in the profile.

#include "common/text_encoding.h"
#include "engine/choice_filter.h"
#include "engine/detection_marker.h"
#include "engine/engine.h"
#include "engine/journal.h"
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

RegistryValueState MultiSz(const std::vector<std::wstring>& strings) {
    return {Presence::Present, kRegMultiSz, MultiStringBytes(strings), 0};
}

TEST(Choices, StoredAndPolicyKeepUniteThePolicyLocksAndWhatIsNotAFeatureIsIgnored) {
    const RunController controller;
    const FeatureIndex features(controller);
    FakePcReader pc;
    pc.SetValue(2, std::wstring(kChoicesKey), L"Keep",
                MultiSz({L"advertising-id-off", L"no-such-feature", L"Bad Id"}));
    pc.SetValue(2, std::wstring(kChoicesPolicyKey), L"Keep",
                MultiSz({L"remote-desktop-off", L"advertising-id-off", L"velmora-applied-record"}));
    const Choices choices = ReadChoices(pc, features);
    const auto index = [&](const char* id) { return *features.Catalogue().Find(id); };
    EXPECT_EQ(choices.kept.size(), 2u);
    EXPECT_TRUE(choices.LockedByPolicy(index("advertising-id-off"))) << "the stronger source wins";
    EXPECT_TRUE(choices.LockedByPolicy(index("remote-desktop-off")));
    EXPECT_EQ(choices.ignored.size(), 3u) << "an unknown id, a malformed one, one no run may leave out";

    // A value of another type, or a list longer than any, is no choice at all.
    pc.SetValue(2, std::wstring(kChoicesKey), L"Keep", StringValue(L"advertising-id-off"));
    pc.SetValue(2, std::wstring(kChoicesPolicyKey), L"Keep",
                MultiSz(std::vector<std::wstring>(kMaxChoiceIds + 1, L"advertising-id-off")));
    const Choices refused = ReadChoices(pc, features);
    EXPECT_TRUE(refused.Empty());
    EXPECT_EQ(refused.ignored.size(), 2u);
}

TEST(Choices, AChoicesFileIsRefusedWithItsReasonUnlessItIsOne) {
    const struct {
        std::string text;
        const char* reason;
    } cases[] = {
        {"", "not a JSON object"},
        {"[1]", "not a JSON object"},
        {R"({"keep": ["advertising-id-off"]})", "schemaVersion"},
        {R"({"schemaVersion": 1, "keep": "advertising-id-off"})", "not a list"},
        {R"({"schemaVersion": 1, "keep": [7]})", "not a feature id"},
        {R"({"schemaVersion": 1, "keep": ["..\\x"]})", "not a feature id"},
        {R"({"schemaVersion": 1, "include": {"recall-off": 1}})", "\"include\" is not a list"},
        {std::string(10 * 1024 * 1024, ' '), "larger than any choices file"},
        {std::string(100, '[') + std::string(100, ']'), "nested deeper"},
    };
    for (const auto& hostile : cases) {
        std::wstring error;
        EXPECT_FALSE(ParseChoicesFile(hostile.text, error)) << hostile.reason;
        EXPECT_THAT(ToUtf8(error), HasSubstr(hostile.reason));
    }
    std::wstring error;
    const auto ids =
        ParseChoicesFile(ChoicesFileText({{L"advertising-id-off", L"ipv6-off"}, {L"recall-off"}}), error);
    ASSERT_TRUE(ids) << ToUtf8(error);
    EXPECT_EQ(ids->keep, (std::vector<std::wstring>{L"advertising-id-off", L"ipv6-off"}));
    EXPECT_EQ(ids->include, std::vector<std::wstring>{L"recall-off"});
}

// A kept feature is neither set nor taken back, whatever the profile; the rest runs as ever, and the
// journal and the plan say what was kept.
TEST(Choices, AKeptFeatureIsLeftOutOfTheRunAndThePlanAndTheJournalSaySo) {
    const RunController controller;
    const FeatureIndex features(controller);
    Choices choices;
    AddChoices(choices, features, {L"advertising-id-off", L"print-and-scan-services-on-demand", L"ipv6-off"},
               ChoiceSource::Stored);
    ASSERT_EQ(choices.kept.size(), 3u);
    const RunChoices run{features, choices};

    RecordingSystem recording;
    std::vector<std::wstring> written;
    recording.dwordWriteSucceeds = [&](const RegistryDwordSetting& row) {
        written.push_back(row.spec);
        return true;
    };
    MemoryJournalStore store;
    FakePcReader pc;
    FakePcWriter writer(pc);
    const auto settings = MakeInMemorySettings();
    FakeRestorePointApi restorePoints;
    EngineServices services{recording, pc, writer, *settings, store, restorePoints, nullptr, L"1.0"};
    RunOptions options;
    options.choices = &run;
    const RunReport report = RunProfile(services, controller, kMaximumProfile, options);
    EXPECT_EQ(report.outcome, RunOutcome::Succeeded);
    EXPECT_THAT(written,
                ::testing::Not(::testing::Contains(HasSubstr(L"AdvertisingInfo:DisabledByGroupPolicy"))));
    const std::vector<std::string> calls = recording.Calls();
    EXPECT_THAT(calls, ::testing::Contains("AdjustServicesForMemory -Spooler"));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "RunCmd"), 1)
        << "the IPv6 commands are left out, the base commands run";
    std::wstring error;
    const auto journal = ParseJournal(store.files.at(report.journalPath), error);
    ASSERT_TRUE(journal) << ToUtf8(error);
    EXPECT_EQ(journal->header.keep, choices.KeptIds(features));
    EXPECT_EQ(ReadDetectionMarker(pc)->keep, choices.KeptIds(features));

    const ProfilePlan plan =
        Plan(controller, kEssentialProfile, pc, *settings, {false, false, nullptr, &run});
    const auto advertising = std::find_if(plan.entries.begin(), plan.entries.end(), [](const PlanEntry& e) {
        return e.description.find(L"AdvertisingInfo") != std::wstring::npos;
    });
    ASSERT_NE(advertising, plan.entries.end());
    EXPECT_TRUE(advertising->kept);
    EXPECT_EQ(advertising->after, advertising->current) << "left as it is";
    EXPECT_GT(CountPlan(plan).kept, 0u);
}

} // namespace
