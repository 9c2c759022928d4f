// The main window's logic through the control layer, headless: tests click controls by raising
// their events and read the state every control would show. The platform (style table, dialog,
// app removal, restart) is a recording fake here; the real one is exercised end to end.

#include "ui/main_window.h"

#include "settings/local_settings.h"
#include "support/fake_ui.h"
#include "support/recording_system.h"
#include "ui/text/localized_text_table.h"
#include "ui/text/terms_text.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace Velmora;
using namespace Velmora::implementation;

constexpr Visibility V = Visibility::Visible;
constexpr Visibility C = Visibility::Collapsed;

class FakePlatform final : public WindowPlatform {
public:
    bool HasStyle(std::wstring_view key) const override { return styles.contains(std::wstring(key)); }
    void ShowDialog(const ConfirmationDialog& dialog, std::function<void(DialogResult)> done) override {
        dialogs.push_back(dialog);
        pendingAnswer = std::move(done);
    }
    bool StartAppRemoval(std::vector<std::wstring> names) override {
        removals.push_back(std::move(names));
        return true;
    }
    void RestartComputer() override { ++restarts; }

    std::set<std::wstring> styles{L"DefaultButtonStyle", L"AccentButtonStyle"};
    std::vector<ConfirmationDialog> dialogs;
    std::function<void(DialogResult)> pendingAnswer;
    std::vector<std::vector<std::wstring>> removals;
    int restarts = 0;
};

// Counts writes so a test can tell that nothing was stored.
class CountingSettings final : public LocalSettingsValues {
public:
    bool HasKey(std::wstring_view key) const override { return store->HasKey(key); }
    std::optional<SettingValue> Lookup(std::wstring_view key) const override { return store->Lookup(key); }
    void Insert(std::wstring_view key, const SettingValue& value) override {
        ++inserts;
        store->Insert(key, value);
    }
    std::unique_ptr<LocalSettingsValues> store = MakeInMemorySettings();
    int inserts = 0;
};

class WindowTest : public ::testing::Test {
protected:
    void Store(std::wstring_view key, SettingValue value) { settings.store->Insert(key, value); }

    MainWindow& Open() {
        texts.SetCurrentTextLanguage(0);
        texts.BuildTextTable(0);
        window = std::make_unique<MainWindow>(
            WindowServices{settings, texts, system, timer, dispatcher, platform});
        return *window;
    }
    // Stored acceptance and language, as after a first start in English.
    MainWindow& OpenAcceptedInEnglish() {
        Store(SettingKeys::AppLanguage, std::int32_t{1});
        Store(SettingKeys::AcceptTermsServices, true);
        return Open();
    }
    // Ticks the app-removal box and answers the confirmation.
    void TickRemoveApps(MainWindow& w, DialogResult answer) {
        w.RemoveAppsCheckBox.RaiseClick();
        platform.pendingAnswer(answer);
        dispatcher.Drain();
    }
    void FinishRun() {
        timer.RunPending();
        dispatcher.Drain();
    }
    std::int32_t StoredInt(std::wstring_view key) { return ReadInt32Setting(*settings.store, key, -999); }

    CountingSettings settings;
    LocalizedTextTable texts;
    Testing::RecordingSystem system;
    Testing::ManualDelayedRunner timer;
    Testing::QueuedDispatcher dispatcher;
    FakePlatform platform;
    std::unique_ptr<MainWindow> window;
};

TEST_F(WindowTest, FirstStartShowsTheWelcomePageInArabicRightToLeftAndStoresNothing) {
    MainWindow& w = Open();
    EXPECT_EQ(w.RootGrid.GetFlowDirection(), FlowDirection::RightToLeft);
    EXPECT_EQ(w.ContinueButton.Text(), L"\u0645\u062a\u0627\u0628\u0639\u0629");
    EXPECT_EQ(w.ContinueButton.Style(), L"AccentButtonStyle");
    EXPECT_EQ(w.LanguageComboBox.SelectedIndex(), 0);
    EXPECT_EQ(w.run.selectedProfile.load(), kNoProfile);
    EXPECT_EQ(settings.inserts, 0);
}

// Whatever number is stored, texts, layout direction and the selector show one language.
TEST_F(WindowTest, AStoredLanguageOutsideArabicAndEnglishOpensInEnglishWithoutRewritingTheStore) {
    for (const std::int32_t stored : {1, 2, -1, 7}) {
        settings.inserts = 0;
        Store(SettingKeys::AppLanguage, stored);
        MainWindow& w = Open();
        EXPECT_EQ(w.RootGrid.GetFlowDirection(), FlowDirection::LeftToRight) << stored;
        EXPECT_EQ(w.LanguageComboBox.SelectedIndex(), 1) << stored;
        EXPECT_EQ(w.WelcomeTitleText.Text(), L"Welcome") << stored;
        EXPECT_EQ(w.ContinueButton.Text(), L"Continue") << stored;
        EXPECT_EQ(settings.inserts, 0);
        EXPECT_EQ(StoredInt(SettingKeys::AppLanguage), stored);
    }
}

TEST_F(WindowTest, EachPageShowsItsOwnControlsOnly) {
    MainWindow& w = Open();
    struct Expected {
        const char* page;
        Visibility welcome, terms, profiles, back, next, apply;
    };
    const auto expect = [&w](const Expected& e) {
        EXPECT_EQ(w.WelcomePage.GetVisibility(), e.welcome) << e.page;
        EXPECT_EQ(w.TermsPage.GetVisibility(), e.terms) << e.page;
        EXPECT_EQ(w.ProfilesPage.GetVisibility(), e.profiles) << e.page;
        EXPECT_EQ(w.BackButton.GetVisibility(), e.back) << e.page;
        EXPECT_EQ(w.ContinueButton.GetVisibility(), e.next) << e.page;
        EXPECT_EQ(w.ApplyButton.GetVisibility(), e.apply) << e.page;
    };
    expect({"Welcome", V, C, C, C, V, C});
    w.ContinueButton.RaiseClick();
    expect({"Terms", C, V, C, V, V, C});
    w.TermsCheckBox.RaiseClick();
    w.ContinueButton.RaiseClick();
    expect({"Profiles", C, C, V, V, C, V});
    w.EssentialCardButton.RaiseClick();
    w.ApplyButton.RaiseClick();
    expect({"Applying", C, C, C, C, C, C});
    EXPECT_EQ(w.ProgressPanel.GetVisibility(), V);
}

TEST_F(WindowTest, AgreeFollowsTheTermsBoxAndStoresTheAcceptance) {
    Store(SettingKeys::AppLanguage, std::int32_t{1});
    MainWindow& w = Open();
    w.ContinueButton.RaiseClick();
    EXPECT_EQ(w.ContinueButton.Text(), L"Agree");
    EXPECT_EQ(w.AgreementTextBox.Text(), std::wstring(EnglishTermsText()));
    EXPECT_TRUE(w.AgreementTextBox.IsReadOnly());
    EXPECT_FALSE(w.ContinueButton.IsEnabled());
    w.ContinueButton.RaiseClick(); // disabled: nothing happens
    EXPECT_EQ(w.run.pageState.load(), PageState::Terms);
    w.TermsCheckBox.RaiseClick();
    EXPECT_TRUE(w.ContinueButton.IsEnabled());
    w.TermsCheckBox.RaiseClick();
    EXPECT_FALSE(w.ContinueButton.IsEnabled());
    w.TermsCheckBox.RaiseClick();
    // Back and Continue again: the box keeps its state and Agree follows it.
    w.BackButton.RaiseClick();
    EXPECT_TRUE(w.ContinueButton.IsEnabled());
    w.ContinueButton.RaiseClick();
    EXPECT_TRUE(w.ContinueButton.IsEnabled());
    EXPECT_EQ(settings.inserts, 0);
    w.ContinueButton.RaiseClick();
    EXPECT_EQ(w.run.pageState.load(), PageState::Profiles);
    EXPECT_TRUE(ReadBooleanSetting(*settings.store, SettingKeys::AcceptTermsServices, false));
}

TEST_F(WindowTest, AfterAcceptanceTheWindowOpensOnTheProfilesAndContinueSkipsTheTerms) {
    MainWindow& w = OpenAcceptedInEnglish();
    EXPECT_EQ(w.run.pageState.load(), PageState::Profiles);
    EXPECT_FALSE(w.ApplyButton.IsEnabled()) << "no profile selected";
    w.BackButton.RaiseClick();
    EXPECT_EQ(w.run.pageState.load(), PageState::Welcome);
    w.ContinueButton.RaiseClick();
    EXPECT_EQ(w.run.pageState.load(), PageState::Profiles);
}

TEST_F(WindowTest, LanguageSwitchRelabelsEverythingAndFlipsTheLayout) {
    MainWindow& w = Open();
    w.LanguageComboBox.SetSelectedIndex(1);
    EXPECT_EQ(StoredInt(SettingKeys::AppLanguage), 1);
    EXPECT_EQ(w.RootGrid.GetFlowDirection(), FlowDirection::LeftToRight);
    for (const Control* control : {&w.WelcomeTitleText, &w.ContinueButton, &w.EssentialTitleText,
                                   &w.MaximumDescriptionText, &w.ReapplyButton, &w.CancelButton}) {
        ASSERT_FALSE(control->Text().empty());
        EXPECT_LT(control->Text().front(), 0x80) << "English text in an English window";
    }
    w.ContinueButton.RaiseClick();
    EXPECT_EQ(w.AgreementTextBox.Text(), std::wstring(EnglishTermsText()));
    w.BackButton.RaiseClick();
    w.LanguageComboBox.SetSelectedIndex(0);
    EXPECT_EQ(StoredInt(SettingKeys::AppLanguage), 0);
    EXPECT_EQ(w.RootGrid.GetFlowDirection(), FlowDirection::RightToLeft);
    EXPECT_GE(w.EssentialTitleText.Text().front(), 0x600) << "Arabic again";
    w.ContinueButton.RaiseClick();
    EXPECT_EQ(w.AgreementTextBox.Text(), std::wstring(ArabicTermsText()));
}

TEST_F(WindowTest, TheSelectedCardIsHighlightedAndOnlyStandardAndMaximumOfferAppRemoval) {
    MainWindow& w = OpenAcceptedInEnglish();
    Control* cards[] = {&w.EssentialCardButton, &w.StandardCardButton, &w.MaximumCardButton};
    for (const SettingsProfile profile : {kStandardProfile, kEssentialProfile, kMaximumProfile}) {
        cards[profile]->RaiseClick();
        EXPECT_EQ(w.run.selectedProfile.load(), profile);
        for (const SettingsProfile other : {0, 1, 2}) {
            EXPECT_EQ(cards[other]->Style(), other == profile ? L"AccentButtonStyle" : L"DefaultButtonStyle");
        }
        EXPECT_TRUE(w.ApplyButton.IsEnabled());
        EXPECT_EQ(w.RemoveAppsCheckBox.IsEnabled(), profile != kEssentialProfile) << profile;
    }
    w.WelcomeTitleText.SetText(L"marker"); // a refresh would put the real text back
    w.MaximumCardButton.RaiseClick();
    EXPECT_EQ(w.WelcomeTitleText.Text(), L"marker") << "reselecting a card does not refresh";
}

TEST_F(WindowTest, WithoutTheStylesTheCardsKeepTheirOwnLookAndTheBoxFollowsItsContainer) {
    platform.styles.clear();
    MainWindow& w = OpenAcceptedInEnglish();
    w.MaximumCardButton.RaiseClick();
    EXPECT_EQ(w.MaximumCardButton.Style(), L"");
    EXPECT_EQ(w.EssentialCardButton.Style(), L"");
    w.RemoveAppsContainer.SetActualSize(400.0, 60.0);
    EXPECT_DOUBLE_EQ(w.RemoveAppsCheckBox.MinWidth(), 395.0);
}

TEST_F(WindowTest, TheAppliedProfileShowsAlreadyAppliedAtItsRevisionAndOffersTheUpdateBelowIt) {
    for (const std::int32_t revision : {130, 129}) {
        Store(SettingKeys::AppliedTask, std::int32_t{1});
        Store(SettingKeys::AppliedTaskBuildStandard, revision);
        MainWindow& w = OpenAcceptedInEnglish();
        const bool current = revision == 130;
        EXPECT_EQ(w.run.selectedProfile.load(), kStandardProfile);
        EXPECT_EQ(w.AlreadyAppliedPanel.GetVisibility(), current ? V : C) << revision;
        EXPECT_EQ(w.StandardUpdateBadge.GetVisibility(), current ? C : V) << revision;
        EXPECT_EQ(w.ApplyButton.GetVisibility(), current ? C : V) << revision;
        if (!current) {
            EXPECT_EQ(w.ApplyButton.Text(), L"Update");
            // Another card: "Apply", no badge on it, and the Standard badge keeps its state.
            w.MaximumCardButton.RaiseClick();
            EXPECT_EQ(w.ApplyButton.Text(), L"Apply");
            EXPECT_EQ(w.MaximumUpdateBadge.GetVisibility(), C);
            EXPECT_EQ(w.StandardUpdateBadge.GetVisibility(), V);
        }
    }
}

TEST_F(WindowTest, CancellingTheConfirmationUnticksTheBoxThroughTheDispatcherAndDeleteKeepsIt) {
    MainWindow& w = OpenAcceptedInEnglish();
    w.MaximumCardButton.RaiseClick();
    w.RemoveAppsCheckBox.RaiseClick();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    const ConfirmationDialog& dialog = platform.dialogs.front();
    EXPECT_EQ(dialog.title, L"Confirm Deletion of Pre-installed Apps");
    EXPECT_EQ(dialog.primaryButtonText, L"Delele");
    EXPECT_EQ(dialog.primaryButtonStyle, L"AccentButtonStyle");
    EXPECT_EQ(dialog.closeButtonText, L"Cancel");
    EXPECT_EQ(dialog.flowDirection, FlowDirection::LeftToRight);
    platform.pendingAnswer(DialogResult::None);
    EXPECT_TRUE(w.RemoveAppsCheckBox.IsChecked()) << "unticked by a posted closure, not at once";
    dispatcher.Drain();
    EXPECT_FALSE(w.RemoveAppsCheckBox.IsChecked());
    TickRemoveApps(w, DialogResult::Primary);
    EXPECT_TRUE(w.RemoveAppsCheckBox.IsChecked());
    EXPECT_EQ(platform.dialogs.size(), 2u) << "unticking opens no dialog";
}

TEST_F(WindowTest, TheConfirmationIsRightToLeftInArabic) {
    Store(SettingKeys::AcceptTermsServices, true);
    MainWindow& w = Open();
    w.StandardCardButton.RaiseClick();
    w.RemoveAppsCheckBox.RaiseClick();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(platform.dialogs.front().flowDirection, FlowDirection::RightToLeft);
    EXPECT_EQ(platform.dialogs.front().primaryButtonText, texts.LookupText(TextId::Delete));
}

TEST_F(WindowTest, ApplyShowsProgressThenSuccessRecordsTheProfileAndOffersTheRestart) {
    MainWindow& w = OpenAcceptedInEnglish();
    w.StandardCardButton.RaiseClick();
    w.ApplyButton.RaiseClick();
    EXPECT_EQ(w.ApplyingTitleText.Text(), L"Applying Settings...");
    ASSERT_EQ(timer.delays, std::vector<std::chrono::seconds>{std::chrono::seconds(9)});
    EXPECT_TRUE(platform.removals.empty());
    FinishRun();
    EXPECT_EQ(w.run.pageState.load(), PageState::Applied);
    EXPECT_EQ(w.SuccessPanel.GetVisibility(), V);
    EXPECT_EQ(w.ProgressPanel.GetVisibility(), C);
    EXPECT_EQ(StoredInt(SettingKeys::AppliedTask), 1);
    EXPECT_EQ(StoredInt(SettingKeys::AppliedTaskBuildStandard), 130);
    EXPECT_EQ(w.appliedProfile, kNoProfile) << "the window's own record changes only with the next start";
    w.RestartButton.RaiseClick();
    EXPECT_EQ(platform.restarts, 1);
}

TEST_F(WindowTest, AppRemovalStartsOnlyForStandardOrMaximumWithTheBoxInEffect) {
    MainWindow& w = OpenAcceptedInEnglish();
    w.MaximumCardButton.RaiseClick();
    TickRemoveApps(w, DialogResult::Primary);
    w.EssentialCardButton.RaiseClick(); // the box stays ticked but is disabled now
    ASSERT_TRUE(w.RemoveAppsCheckBox.IsChecked());
    w.ApplyButton.RaiseClick();
    EXPECT_TRUE(platform.removals.empty());

    w.run.pageState = PageState::Profiles;
    w.RefreshUi();
    w.MaximumCardButton.RaiseClick();
    w.ApplyButton.RaiseClick();
    ASSERT_EQ(platform.removals.size(), 1u);
    EXPECT_EQ(platform.removals.front(), w.runController.preinstalledPackageNames);
}

TEST_F(WindowTest, FailureOffersTryAgainWithoutRemovalAndCancelReturnsToTheProfiles) {
    MainWindow& w = OpenAcceptedInEnglish();
    w.MaximumCardButton.RaiseClick();
    TickRemoveApps(w, DialogResult::Primary);
    system.dwordWriteSucceeds = [](const RegistryDwordSetting& row) { return row.root != 2; };
    const int insertsBefore = settings.inserts;
    w.ApplyButton.RaiseClick();
    FinishRun();
    EXPECT_EQ(w.run.pageState.load(), PageState::Applying);
    EXPECT_EQ(w.FailurePanel.GetVisibility(), V);
    EXPECT_EQ(w.SuccessPanel.GetVisibility(), C);
    EXPECT_EQ(settings.inserts, insertsBefore) << "a failed run stores nothing";

    w.TryAgainButton.RaiseClick();
    EXPECT_EQ(w.ProgressPanel.GetVisibility(), V);
    EXPECT_EQ(w.FailurePanel.GetVisibility(), C);
    EXPECT_EQ(timer.delays.back(), std::chrono::seconds(2));
    FinishRun();
    EXPECT_EQ(w.FailurePanel.GetVisibility(), V);
    EXPECT_EQ(platform.removals.size(), 1u) << "Try Again starts no app removal";

    w.CancelButton.RaiseClick();
    EXPECT_EQ(w.run.pageState.load(), PageState::Profiles);
    EXPECT_EQ(w.ProfilesPage.GetVisibility(), V);
    EXPECT_EQ(w.StatusArea.GetVisibility(), C);
    EXPECT_EQ(w.ApplyButton.GetVisibility(), V);
}

TEST_F(WindowTest, AResultArrivingAfterTheWindowIsGoneDoesNothing) {
    MainWindow& w = OpenAcceptedInEnglish();
    w.EssentialCardButton.RaiseClick();
    w.ApplyButton.RaiseClick();
    timer.RunPending(); // the result is now queued for the UI thread
    window.reset();
    EXPECT_EQ(dispatcher.Drain(), 1)
        << "the closure runs and finds no window (AddressSanitizer would see a use)";
}

} // namespace
