// The main window over the engine, headless: what the Profiles and Review pages show of a scan and a
// plan, a run's progress and details, the restore, and closing while a run goes on. The engine and
// the platform are fakes (support/fake_window.h); runs go through the real pipeline.

#include "support/fake_ui.h"
#include "support/fake_window.h"
#include "support/recording_system.h"
#include "common/text_encoding.h"
#include "ui/plan_rows.h"
#include "ui/text/localized_text_table.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <thread>

namespace {

using namespace Velmora;
using namespace Velmora::Testing;

PlanEntry Entry(ItemStep step, ItemTarget target, ItemState now, ItemState after) {
    PlanEntry entry{step, std::move(target), {}, std::move(now), std::move(after), false, true, false, {}};
    entry.description = DescribeItem(entry.target);
    entry.isAction = std::holds_alternative<ActionTarget>(entry.target);
    entry.inEffect = InEffect(entry.current, entry.after);
    return entry;
}

RegistryValueTarget Value(const wchar_t* name) {
    return {2, L"SOFTWARE\\Velmora", name, {}};
}

RunItemResult Done(const wchar_t* name, bool succeeded, std::uint32_t error = 0) {
    return {ItemStep::Registry, Value(name), DescribeItem(Value(name)), true, succeeded, error, std::nullopt};
}

class WindowWorkTest : public ::testing::Test {
protected:
    MainWindow& Open(std::int32_t language = kLanguageEnglish) {
        settings.store->Insert(SettingKeys::AppLanguage, SettingValue{language});
        settings.store->Insert(SettingKeys::AcceptTermsServices, SettingValue{true});
        settings.store->Insert(SettingKeys::AppliedTask, SettingValue{std::int32_t{1}});
        settings.store->Insert(SettingKeys::AppliedTaskBuildStandard, SettingValue{std::int32_t{130}});
        texts.BuildTextTable(0);
        WindowServices services{settings, texts, system, timer, dispatcher, platform};
        services.engine = &engine;
        window = std::make_unique<MainWindow>(services);
        return *window;
    }
    // Runs the work the window started, then what it posted back, until nothing is left.
    void Settle() {
        while (engine.RunPending() + dispatcher.Drain() > 0) {
        }
    }
    void Answer(DialogResult answer) {
        platform.pendingAnswer(answer);
        dispatcher.Drain();
    }

    CountingSettings settings;
    LocalizedTextTable texts;
    RecordingSystem system;
    ManualDelayedRunner timer;
    QueuedDispatcher dispatcher;
    FakePlatform platform;
    FakeWindowEngine engine;
    std::unique_ptr<MainWindow> window;
};

// On a PC where nothing Maximum turns off would change any more, Apply starts at once; with the app removal
// ticked it names the apps first, since removing them is never in effect beforehand.
TEST_F(WindowWorkTest, TheAppRemovalIsNamedBeforeTheRunWheneverItsBoxIsTicked) {
    engine.status.profiles = {ProfileStatus{0, {10, 10, 0, 0}, 0}, ProfileStatus{1, {12, 12, 0, 0}, 0},
                              ProfileStatus{2, {20, 20, 0, 0}, 0}};
    MainWindow& w = Open();
    Settle();
    w.MaximumCardButton.RaiseClick();
    w.RemoveAppsCheckBox.RaiseClick();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    Answer(DialogResult::Primary); // the removal's own confirmation
    ASSERT_TRUE(w.RemoveAppsCheckBox.IsChecked());
    w.ApplyButton.RaiseClick();
    ASSERT_EQ(platform.dialogs.size(), 2u);
    EXPECT_EQ(platform.dialogs[1].title, L"Before You Apply");
    EXPECT_NE(platform.dialogs[1].content.find(L"Store apps"), std::wstring::npos)
        << ToUtf8(platform.dialogs[1].content);
    Answer(DialogResult::None);
    w.RemoveAppsCheckBox.RaiseClick(); // cleared: nothing left to name
    w.ApplyButton.RaiseClick();
    EXPECT_EQ(platform.dialogs.size(), 2u) << "the run starts without a question";
}

TEST_F(WindowWorkTest, CardsTellWhatIsInEffectAndTheAppliedOneWhatChangedSinceOnlyForTheirOwnOpening) {
    engine.status.profiles = {ProfileStatus{0, {10, 4, 0, 3}, 0}, ProfileStatus{1, {12, 11, 0, 3}, 1},
                              ProfileStatus{2, {20, 5, 0, 3}, 0}};
    MainWindow& w = Open();
    EXPECT_EQ(w.CheckStateText.Text(), L"Checking this PC…");
    EXPECT_FALSE(w.EssentialStatusText.IsShown());
    Settle();
    EXPECT_EQ(engine.scannedFor, kStandardProfile) << "the applied profile is the one to compare";
    EXPECT_EQ(w.EssentialStatusText.Text(), L"4 of 10 changes in effect");
    EXPECT_EQ(w.StandardChangedText.Text(), L"1 setting was changed since you applied it");
    EXPECT_TRUE(w.StandardChangedText.IsShown());
    EXPECT_FALSE(w.RestoreButton.IsShown()) << "no journal to restore";
    EXPECT_TRUE(w.ReapplyButton.IsShown()) << "the applied card offers Reapply";

    // A scan answered after the page was left is dropped, and a read waits for the one before it.
    engine.status.profiles[1].changedSinceRun = 3;
    w.BackButton.RaiseClick();
    w.ContinueButton.RaiseClick();
    w.ReviewButton.RaiseClick();
    EXPECT_EQ(engine.pending.size(), 1u) << "the plan waits for the scan";
    engine.RunPending();
    dispatcher.Drain();
    EXPECT_FALSE(w.pcStatus.has_value());
    EXPECT_EQ(engine.pending.size(), 1u) << "now the plan";
    w.BackButton.RaiseClick();
    Settle();
    EXPECT_EQ(engine.scans, 3);
    EXPECT_EQ(w.StandardChangedText.Text(), L"3 settings were changed since you applied it");

    // Windows was updated since the run: the card names the update that turned them back.
    engine.status.buildAtRun = L"26100.2033";
    engine.status.buildNow = L"26100.3194";
    w.BackButton.RaiseClick();
    w.ContinueButton.RaiseClick();
    Settle();
    EXPECT_EQ(w.StandardChangedText.Text(),
              L"Windows was updated since (26100.2033 \u2192 26100.3194): 3 settings were turned back");
    EXPECT_FALSE(w.EssentialChangedText.IsShown()) << "only on the applied profile's card";
}

TEST_F(WindowWorkTest, TheReviewListsFeaturesByCategoryShowsTheSelectedOneInFullAndFiltersWhatIsInEffect) {
    const auto policy = [](const wchar_t* key, const wchar_t* name) {
        return RegistryValueTarget{
            2, std::wstring(L"SOFTWARE\\Policies\\Microsoft\\Windows\\") + key, name, {}};
    };
    engine.plan.entries = {
        Entry(ItemStep::Registry, policy(L"AdvertisingInfo", L"DisabledByGroupPolicy"), AbsentValue(),
              DwordValue(1)),
        Entry(ItemStep::Registry, policy(L"Windows Error Reporting", L"Disabled"), AbsentValue(),
              DwordValue(1)),
        Entry(ItemStep::Registry,
              RegistryValueTarget{
                  2, L"SYSTEM\\CurrentControlSet\\Control\\FileSystem", L"LongPathsEnabled", {}},
              DwordValue(1), DwordValue(1)),
        Entry(ItemStep::Cleanup, ActionTarget{ActionKind::CleanTempFolders, {}}, NoState{}, NoState{})};
    engine.plan.targetAccount = L"kim";
    MainWindow& w = Open();
    Settle();
    w.ReviewButton.RaiseClick();
    EXPECT_EQ(w.ReviewCountsText.Text(), L"Checking this PC…");
    Settle();
    EXPECT_EQ(w.ReviewAccountText.Text(), L"Changes for the account kim");
    EXPECT_EQ(w.ReviewCountsText.Text(), L"4 features: 3 change, 1 are in effect already; 4 items in all.");
    const auto feature = [&](const ItemTarget& target) {
        return w.features->Features()[*w.features->FeatureOf(target)];
    };
    const ListRows rows = w.FeatureList.Rows();
    // A heading and a feature for each of the four categories, then the optional features, which this
    // plan does not reach (not on this Windows).
    ASSERT_EQ(rows.size(), 8u + 1u + 6u);
    EXPECT_EQ(rows[8][0], L"Windows AI");
    EXPECT_EQ(rows[9], (std::vector<std::wstring>{L"Recall off", L"Not available on this PC", L"", L""}));
    EXPECT_EQ(w.FeatureList.RowCheckOf(9), RowCheck::None);
    EXPECT_EQ(rows[0][0], L"Privacy and diagnostics") << "the categories in their order";
    EXPECT_EQ(rows[1],
              (std::vector<std::wstring>{std::wstring(feature(engine.plan.entries[1].target).title.en),
                                         L"0 of 1 in effect", L"Sets 1", L"\u26a0 May turn off"}));
    EXPECT_EQ(rows[3][1] + L"|" + rows[3][3], L"0 of 1 in effect|") << "advertising warns of nothing";
    EXPECT_EQ(rows[5][1] + L"|" + rows[5][2], L"In effect|No change");
    EXPECT_EQ(rows[7][1] + L"|" + rows[7][2], L"Done on every apply|Runs each time");
    EXPECT_TRUE(w.FeatureList.IsHeadingRow(0) && !w.FeatureList.IsHeadingRow(1));
    EXPECT_EQ(w.FocusTarget(), &w.FeatureList);
    EXPECT_EQ(w.EscapeButton(), &w.BackButton);

    // The first feature is shown in full: what it does, what it may turn off and why, its items.
    EXPECT_EQ(w.FeatureList.SelectedIndex(), 1);
    const FeatureDefinition& reporting = feature(engine.plan.entries[1].target);
    const std::wstring details = w.FeatureDetailsText.Text();
    EXPECT_NE(details.find(reporting.description.en), std::wstring::npos);
    EXPECT_NE(details.find(reporting.affects[0].reason.en), std::wstring::npos);
    EXPECT_NE(
        details.find(L"Registry · HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Error Reporting: "
                     L"Disabled: Not set → 0x00000001 (1)"),
        std::wstring::npos)
        << ToUtf8(details);
    w.FeatureList.SetSelectedIndex(3);
    EXPECT_NE(w.FeatureDetailsText.Text().find(feature(engine.plan.entries[0].target).description.en),
              std::wstring::npos);

    // Only what changes: the feature in effect goes, with its heading; the selection stays.
    w.OnlyChangesCheckBox.RaiseClick();
    EXPECT_EQ(w.FeatureList.Rows().size(), 6u + 7u) << "the optional features are choices, always offered";
    EXPECT_EQ(w.FeatureList.Rows()[w.FeatureList.SelectedIndex()][0], rows[3][0]);

    for (const auto& [path, format] : {std::pair{L"C:\\plan.reg", ExportFormat::Registry},
                                       std::pair{L"C:\\plan.json", ExportFormat::Json}}) {
        platform.exportTo = ExportTarget{path, format};
        w.ExportButton.RaiseClick();
        EXPECT_EQ(w.ExportNoticeText.Text(), std::wstring(L"Saved to ") + path);
    }
    EXPECT_EQ(platform.saved[L"C:\\plan.reg"].substr(0, 2), "\xFF\xFE") << "UTF-16 with its byte order mark";
    EXPECT_NE(platform.saved[L"C:\\plan.json"].find("\"schemaVersion\": 1"), std::string::npos);
}

TEST_F(WindowWorkTest, ARunShowsItsStepThenItsDetailsWithWindowsWordsForFailuresAndDoneGoesBack) {
    engine.progress = {RunProgress{ItemStep::Registry, 1, 9, 1, 20},
                       RunProgress{ItemStep::Services, 2, 5, 4, 20}};
    RunItemResult kept = Done(L"Kept", false, 2);
    kept.inEffectBefore = true; // in effect when the run began
    RunItemResult absent = Done(L"Missing", false, 2);
    absent.absent = true; // nothing there to delete
    RunItemResult advertising = Done(L"", true);
    advertising.target = RegistryValueTarget{
        2, L"SOFTWARE\\Policies\\Microsoft\\Windows\\AdvertisingInfo", L"DisabledByGroupPolicy", {}};
    engine.report.items = {Done(L"Denied", false, 5), kept,   Done(L"Odd", false), Done(L"New", true),
                           Done(L"Odd", true),        absent, advertising};
    MainWindow& w = Open();
    Settle();
    w.ReapplyButton.RaiseClick();
    EXPECT_EQ(w.ProgressRing.ProgressTotal(), 0u) << "of unknown length during the start delay";
    EXPECT_EQ(w.ProgressStepText.Text(), L"Preparing…");
    timer.RunPending();
    dispatcher.Drain();
    EXPECT_EQ(w.ProgressRing.ProgressDone(), 4u);
    EXPECT_EQ(w.ProgressRing.ProgressTotal(), 20u);
    EXPECT_EQ(w.ProgressStepText.Text(), L"Services — 2 of 5") << "the last state, however fast they came";
    EXPECT_TRUE(w.SuccessPanel.IsShown());
    EXPECT_EQ(w.EscapeButton(), &w.DoneButton);

    w.ShowDetailsButton.RaiseClick();
    const ListRows details = w.DetailsList.Rows();
    ASSERT_EQ(details.size(), 6u) << "each item once, with its last outcome";
    EXPECT_EQ(details[0], (std::vector<std::wstring>{L"Failed", L"Other", L"HKLM\\SOFTWARE\\Velmora: Denied",
                                                     L"Access is denied (error 5)"}));
    EXPECT_EQ(details[1][0] + L"|" + details[1][1],
              L"Changed|" +
                  std::wstring(w.features->Features()[*w.features->FeatureOf(advertising.target)].title.en))
        << "by feature within each result";
    EXPECT_EQ(details[2][2], L"HKLM\\SOFTWARE\\Velmora: Odd") << "failed once, then written";
    EXPECT_EQ(details[4][0], L"Already in effect");
    EXPECT_EQ(details[5][0], L"Already in effect") << "an item that was not there is no failure";
    // Put Back follows the feature of the row selected, failures first as they are shown.
    w.DetailsList.SetSelectedIndex(0);
    EXPECT_FALSE(w.PutBackButton.IsEnabled()) << "a row of no feature";
    w.DetailsList.SetSelectedIndex(1);
    EXPECT_TRUE(w.PutBackButton.IsEnabled());
    engine.report.items = {Done(L"Gone", false, 0x80070002u)};
    w.OpenLogFolderButton.RaiseClick();
    EXPECT_EQ(platform.logFolderShown, 1);

    w.DoneButton.RaiseClick();
    EXPECT_TRUE(w.ProfilesPage.IsShown());
    EXPECT_FALSE(w.StatusArea.IsShown());
    EXPECT_EQ(w.appliedProfile, kStandardProfile);
    EXPECT_EQ(engine.pending.size(), 1u) << "the cards are checked again after the run";
    Settle(); // the look at the PC says what a run would turn off: nothing here

    w.ReapplyButton.RaiseClick();
    timer.RunPending();
    dispatcher.Drain();
    w.ShowDetailsButton.RaiseClick();
    EXPECT_EQ(w.DetailsList.Rows()[0][3], L"Windows error 0x80070002") << "where Windows has no words";

    // A run that stops on an unexpected error before it has shown a result ends on the failure panel.
    w.DoneButton.RaiseClick();
    Settle();
    engine.duringRun = [](const RunOptions&) { throw std::runtime_error("unexpected"); };
    w.ReapplyButton.RaiseClick();
    timer.RunPending();
    dispatcher.Drain();
    EXPECT_TRUE(w.FailurePanel.IsShown());
    EXPECT_FALSE(w.ProgressPanel.IsShown());
}

TEST_F(WindowWorkTest, ClosingDuringARunAsksStopsTheRunOutOfSightAndEndsWhenItHasStopped) {
    MainWindow& w = Open();
    Settle();
    EXPECT_TRUE(w.OnCloseRequested()) << "nothing under way";
    w.ReapplyButton.RaiseClick();
    EXPECT_FALSE(w.OnCloseRequested());
    EXPECT_EQ(platform.dialogs.back().closeButtonText, L"Wait");
    Answer(DialogResult::None);
    EXPECT_FALSE(platform.hidden);

    // Asked while the run goes on in its own thread: it is told to stop, and the program ends after it.
    std::promise<void> running;
    std::promise<void> asked;
    bool stopAsked = false;
    engine.duringRun = [&](const RunOptions& options) {
        running.set_value();
        asked.get_future().wait();
        stopAsked = options.cancel->load();
    };
    std::thread run([&] { timer.RunPending(); });
    running.get_future().wait();
    EXPECT_FALSE(w.OnCloseRequested());
    Answer(DialogResult::Primary);
    EXPECT_TRUE(platform.hidden);
    EXPECT_FALSE(w.OnCloseRequested()) << "closing already; asked once";
    asked.set_value();
    run.join();
    dispatcher.Drain();
    EXPECT_TRUE(stopAsked);
    EXPECT_TRUE(platform.ended);

    // Closed during the start delay: the run never begins.
    platform = FakePlatform();
    engine.duringRun = nullptr;
    MainWindow& again = Open();
    Settle();
    again.ReapplyButton.RaiseClick();
    EXPECT_FALSE(again.OnCloseRequested());
    Answer(DialogResult::Primary);
    timer.RunPending();
    dispatcher.Drain();
    EXPECT_EQ(engine.runs, 1) << "only the first run";
    EXPECT_TRUE(platform.ended);
}

TEST_F(WindowWorkTest, RestoreAsksFirstShowsWhatCouldNotComeBackAndTheAppliedStateOfTheRestoredSettings) {
    engine.status.restorable =
        RestorableRun{L"J\\20250131T120000.000Z-Maximum.json", L"Maximum", "2025-01-31T12:00:00Z"};
    engine.restoreResult.restored = {L"a", L"b"};
    engine.restoreResult.removedKeys = {L"k"};
    engine.restoreResult.failed = {RestoreFailure{ItemStep::Services, L"Service X", 5, L"denied"}};
    engine.restoreResult.cannotComeBack = {L"deleted files", L"commands"};
    MainWindow& w = Open(kLanguageArabic);
    Settle();
    ASSERT_TRUE(w.RestoreButton.IsShown());
    w.RestoreButton.RaiseClick();
    EXPECT_NE(platform.dialogs.back().content.find(L"الإعدادات القصوى في 2025-01-31 12:00 UTC"),
              std::wstring::npos);
    Answer(DialogResult::None);
    EXPECT_TRUE(engine.pending.empty()) << "cancelled: nothing restored";
    w.RestoreButton.RaiseClick();
    Answer(DialogResult::Primary);
    EXPECT_EQ(w.ApplyingTitleText.Text(), L"جارٍ استعادة الإعدادات السابقة...");
    settings.store->Insert(SettingKeys::AppliedTask, SettingValue{std::int32_t{2}}); // what the journal held
    Settle();
    EXPECT_EQ(engine.restored, std::vector<std::wstring>{L"J\\20250131T120000.000Z-Maximum.json"});
    EXPECT_TRUE(w.RestoreResultPanel.IsShown());
    EXPECT_EQ(w.RestoreResultTitleText.Text(), L"تعذّرت استعادة بعض الإعدادات");
    EXPECT_EQ(w.RestoreResultMessageText.Text(), L"أُعيد: 3. تعذّرت استعادته: 1. لا يمكن استرجاعه: 2.");
    EXPECT_EQ(w.appliedProfile, kMaximumProfile);
    w.ShowDetailsButton.RaiseClick();
    ASSERT_EQ(w.DetailsList.Rows().size(), 6u);
    EXPECT_EQ(w.DetailsList.Rows()[0][0], L"فشل");
    w.DoneButton.RaiseClick();
    EXPECT_TRUE(w.ProfilesPage.IsShown());
    EXPECT_FALSE(w.ResultTools.IsShown());
}

// A feature is kept by clearing its row (a policy's stays locked), the choice is saved when Apply is pressed,
// and a feature of the run is put back from its details and stays kept.
TEST_F(WindowWorkTest, ClearedFeaturesAreKeptSavedOnApplyAndOneFeatureIsPutBackFromTheDetails) {
    const RegistryValueTarget advertising{
        2, L"SOFTWARE\\Policies\\Microsoft\\Windows\\AdvertisingInfo", L"DisabledByGroupPolicy", {}};
    const RegistryValueTarget reporting{
        2, L"SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Error Reporting", L"Disabled", {}};
    engine.plan.entries = {Entry(ItemStep::Registry, advertising, AbsentValue(), DwordValue(1)),
                           Entry(ItemStep::Registry, reporting, AbsentValue(), DwordValue(1))};
    MainWindow& w = Open();
    const std::size_t reportingFeature = *w.features->FeatureOf(reporting);
    engine.status.choices.kept.emplace(reportingFeature, ChoiceSource::Policy);
    Settle();
    w.ReviewButton.RaiseClick();
    Settle();
    // Rows: privacy heading, error reporting (locked by the policy), ads heading, advertising.
    EXPECT_EQ(w.FeatureList.RowCheckOf(0), RowCheck::None);
    EXPECT_EQ(w.FeatureList.RowCheckOf(1), RowCheck::LockedUnchecked);
    EXPECT_EQ(w.FeatureList.Rows()[1][2], L"Kept: set by your organisation");
    EXPECT_EQ(w.FeatureList.RowCheckOf(3), RowCheck::Checked);
    w.FeatureList.RaiseRowToggled(1);
    EXPECT_EQ(w.FeatureList.RowCheckOf(1), RowCheck::LockedUnchecked) << "a policy's choice stays";
    w.FeatureList.RaiseRowToggled(3);
    EXPECT_EQ(w.FeatureList.RowCheckOf(3), RowCheck::Unchecked);
    EXPECT_NE(w.ReviewCountsText.Text().find(L"2 features kept as they are."), std::wstring::npos);
    EXPECT_NE(w.FeatureDetailsText.Text().find(L"Kept as it is"), std::wstring::npos);
    w.ReapplyButton.RaiseClick(); // nothing left to warn of: both features are kept
    EXPECT_EQ(engine.storedChoices, std::vector<std::wstring>{L"advertising-id-off"})
        << "the policy keeps its own";

    RunItemResult changed{ItemStep::Registry, advertising, DescribeItem(advertising), true, true, 0,
                          std::nullopt};
    engine.report.items = {changed};
    engine.report.journalPath = L"J\\run.json";
    timer.RunPending();
    dispatcher.Drain();
    const std::map<std::size_t, ChoiceSource> keptInRun{
        {reportingFeature, ChoiceSource::Policy},
        {*w.features->FeatureOf(advertising), ChoiceSource::Stored}};
    EXPECT_EQ(engine.keptInRun, keptInRun) << "the run leaves both as they are";
    w.ShowDetailsButton.RaiseClick();
    EXPECT_FALSE(w.PutBackButton.IsEnabled()) << "no feature chosen yet";
    w.DetailsList.SetSelectedIndex(0);
    ASSERT_TRUE(w.PutBackButton.IsEnabled());
    engine.storedChoices.clear();
    w.PutBackButton.RaiseClick();
    Settle();
    ASSERT_EQ(engine.restored, std::vector<std::wstring>{L"J\\run.json"});
    EXPECT_EQ(engine.restoredOnly[0], std::vector<std::size_t>{*w.features->FeatureOf(advertising)});
    EXPECT_EQ(engine.storedChoices, std::vector<std::wstring>{L"advertising-id-off"}) << "kept from now on";
    EXPECT_NE(w.RestoreResultMessageText.Text().find(L"is kept as it is from now on"), std::wstring::npos);
}

// An optional feature is offered unticked with its state now and counted in nothing; ticking it includes it
// in the run and in the stored choices.
TEST_F(WindowWorkTest, AnOptionalFeatureIsOfferedUntickedAndTickingIncludesItInTheRunAndTheStore) {
    const RegistryValueTarget advertising{
        2, L"SOFTWARE\\Policies\\Microsoft\\Windows\\AdvertisingInfo", L"DisabledByGroupPolicy", {}};
    const RegistryValueTarget snapshots{
        2, L"SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsAI", L"DisableAIDataAnalysis", {}};
    engine.plan.entries = {Entry(ItemStep::Registry, advertising, AbsentValue(), DwordValue(1)),
                           Entry(ItemStep::Registry, snapshots, AbsentValue(), DwordValue(1))};
    MainWindow& w = Open();
    Settle();
    w.ReviewButton.RaiseClick();
    Settle();
    const std::size_t feature = *w.features->FeatureOf(snapshots);
    // Rows: ads heading, advertising, Windows AI heading, Recall off, Recall snapshots off, …
    ASSERT_EQ(w.FeatureList.Rows()[4][0], L"Recall snapshots off");
    EXPECT_EQ(w.FeatureList.Rows()[4][1] + L"|" + w.FeatureList.Rows()[4][2],
              L"0 of 1 in effect|Not included");
    EXPECT_EQ(w.FeatureList.RowCheckOf(4), RowCheck::Unchecked);
    EXPECT_EQ(w.ReviewCountsText.Text(), L"1 features: 1 change, 0 are in effect already; 1 items in all.");
    w.FeatureList.RaiseRowToggled(3);
    EXPECT_EQ(w.FeatureList.RowCheckOf(3), RowCheck::None) << "Recall off is not on this Windows";
    w.FeatureList.RaiseRowToggled(4);
    EXPECT_EQ(w.FeatureList.RowCheckOf(4), RowCheck::Checked);
    EXPECT_EQ(w.FeatureList.Rows()[4][2], L"Sets 1");
    EXPECT_EQ(w.ReviewCountsText.Text(), L"2 features: 2 change, 0 are in effect already; 2 items in all.");

    w.ReapplyButton.RaiseClick();
    EXPECT_EQ(engine.storedIncludes, std::vector<std::wstring>{L"recall-snapshots-off"});
    timer.RunPending();
    dispatcher.Drain();
    EXPECT_TRUE(engine.includedInRun.contains(feature)) << "the run includes it";
}

} // namespace

TEST_F(WindowWorkTest, KeepingIsOfferedOnceItsStateIsKnownTurnsOnAndOffAndSaysWhyWhenItCannot) {
    engine.status.keeping = false;
    MainWindow& w = Open();
    EXPECT_FALSE(w.KeepCheckBox.IsShown()) << "not before the scan has said whether it is on";
    Settle();
    ASSERT_TRUE(w.KeepCheckBox.IsShown());
    EXPECT_FALSE(w.KeepCheckBox.IsChecked());

    engine.keepRefusal =
        L"C:\\Program Files\\Velmora already exists and its access list lets S-1-5-32-545 change it";
    w.KeepCheckBox.RaiseClick();
    w.KeepCheckBox.RaiseClick(); // while it is being turned on: nothing more
    EXPECT_EQ(engine.pending.size(), 1u);
    Settle();
    EXPECT_FALSE(w.KeepCheckBox.IsChecked()) << "the switch shows what is, not what was asked";
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(platform.dialogs[0].title, L"Keep These Settings in Place");
    EXPECT_NE(platform.dialogs[0].content.find(L"S-1-5-32-545 change it"), std::wstring::npos);
    Answer(DialogResult::None);

    engine.keepRefusal.clear();
    w.KeepCheckBox.RaiseClick();
    Settle();
    EXPECT_TRUE(engine.keepingOn);
    EXPECT_TRUE(w.KeepCheckBox.IsChecked() && w.SuccessKeepCheckBox.IsChecked());
    w.KeepCheckBox.RaiseClick();
    Settle();
    EXPECT_FALSE(engine.keepingOn);
    EXPECT_FALSE(w.KeepCheckBox.IsChecked());
    EXPECT_EQ(platform.dialogs.size(), 1u);
}
