// The main window's logic through the control layer, headless: tests click controls by raising
// their events and read the state every control would show. The platform (style table, dialog,
// app removal, restart) is a recording fake here; the real one is exercised end to end.

#include "ui/main_window.h"

#include "settings/local_settings.h"
#include "ui/layout.h"
#include "ui/window_placement.h"
#include "support/fake_ui.h"
#include "support/recording_system.h"
#include "ui/text/localized_text_table.h"
#include "ui/text/terms_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

using namespace Velmora;
using namespace Velmora::implementation;
using Velmora::Testing::ManualDelayedRunner;
using Velmora::Testing::QueuedDispatcher;
using Velmora::Testing::RecordingSystem;

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
    std::int32_t StoredInt(std::wstring_view key) { return ReadInt32Setting(*settings.store, key, -999); }

    CountingSettings settings;
    LocalizedTextTable texts;
    RecordingSystem system;
    ManualDelayedRunner timer;
    QueuedDispatcher dispatcher;
    FakePlatform platform;
    std::unique_ptr<MainWindow> window;
};

TEST_F(WindowTest, FirstStartShowsTheWelcomePageInArabicRightToLeft) {
    MainWindow& w = Open();
    EXPECT_EQ(w.run.pageState.load(), PageState::Welcome);
    EXPECT_EQ(w.RootGrid.GetFlowDirection(), FlowDirection::RightToLeft);
    EXPECT_EQ(w.WelcomePage.GetVisibility(), V);
    EXPECT_EQ(w.TermsPage.GetVisibility(), C);
    EXPECT_EQ(w.ProfilesPage.GetVisibility(), C);
    EXPECT_EQ(w.BackButton.GetVisibility(), C);
    EXPECT_EQ(w.ContinueButton.GetVisibility(), V);
    EXPECT_TRUE(w.ContinueButton.IsEnabled());
    EXPECT_EQ(w.ContinueButton.Text(), L"\u0645\u062a\u0627\u0628\u0639\u0629");
    EXPECT_EQ(w.ContinueButton.Style(), L"AccentButtonStyle");
    EXPECT_EQ(w.ApplyButton.GetVisibility(), C);
    EXPECT_EQ(w.AlreadyAppliedPanel.GetVisibility(), C);
    EXPECT_EQ(w.WelcomeTitleText.Text(), texts.LookupText(0));
    EXPECT_EQ(w.LanguageComboBox.SelectedIndex(), 0);
    EXPECT_EQ(w.run.selectedProfile.load(), kNoProfile);
    EXPECT_EQ(settings.inserts, 0) << "initialisation stores nothing";
}

TEST_F(WindowTest, StoredEnglishOpensLeftToRightWithoutStoringTheLanguageAgain) {
    Store(SettingKeys::AppLanguage, std::int32_t{1});
    MainWindow& w = Open();
    EXPECT_EQ(w.RootGrid.GetFlowDirection(), FlowDirection::LeftToRight);
    EXPECT_EQ(w.LanguageComboBox.SelectedIndex(), 1);
    EXPECT_EQ(w.WelcomeTitleText.Text(), L"Welcome");
    EXPECT_EQ(w.LanguagePromptText.Text(), L"Please select your preferred language");
    EXPECT_EQ(settings.inserts, 0);
}

TEST_F(WindowTest, TermsPageWaitsForTheBoxBeforeAgreeAndStoresAcceptance) {
    Store(SettingKeys::AppLanguage, std::int32_t{1});
    MainWindow& w = Open();
    w.ContinueButton.RaiseClick();
    EXPECT_EQ(w.run.pageState.load(), PageState::Terms);
    EXPECT_EQ(w.TermsPage.GetVisibility(), V);
    EXPECT_EQ(w.WelcomePage.GetVisibility(), C);
    EXPECT_EQ(w.ContinueButton.Text(), L"Agree");
    EXPECT_FALSE(w.ContinueButton.IsEnabled());
    EXPECT_EQ(w.BackButton.GetVisibility(), V);
    EXPECT_EQ(w.BackButton.Text(), L"Back");
    EXPECT_EQ(w.AgreementTextBox.Text(), std::wstring(EnglishTermsText()));
    EXPECT_TRUE(w.AgreementTextBox.IsReadOnly());
    EXPECT_EQ(w.TermsCheckBox.Text(), L"I have read and agree to the Velmora End-User License Agreement.");

    w.ContinueButton.RaiseClick(); // disabled: nothing happens
    EXPECT_EQ(w.run.pageState.load(), PageState::Terms);
    w.TermsCheckBox.RaiseClick();
    EXPECT_TRUE(w.ContinueButton.IsEnabled());
    w.TermsCheckBox.RaiseClick();
    EXPECT_FALSE(w.ContinueButton.IsEnabled());
    w.TermsCheckBox.RaiseClick();

    // Back and Continue again: the box keeps its state and Agree follows it.
    w.BackButton.RaiseClick();
    EXPECT_EQ(w.run.pageState.load(), PageState::Welcome);
    EXPECT_TRUE(w.ContinueButton.IsEnabled());
    w.ContinueButton.RaiseClick();
    EXPECT_TRUE(w.TermsCheckBox.IsChecked());
    EXPECT_TRUE(w.ContinueButton.IsEnabled());

    w.ContinueButton.RaiseClick();
    EXPECT_EQ(w.run.pageState.load(), PageState::Profiles);
    EXPECT_TRUE(ReadBooleanSetting(*settings.store, SettingKeys::AcceptTermsServices, false));
    EXPECT_TRUE(w.termsAccepted);
}

TEST_F(WindowTest, AfterAcceptanceBackLeadsToWelcomeAndContinueSkipsTheTerms) {
    MainWindow& w = OpenAcceptedInEnglish();
    EXPECT_EQ(w.run.pageState.load(), PageState::Profiles);
    EXPECT_EQ(w.ProfilesPage.GetVisibility(), V);
    EXPECT_EQ(w.ContinueButton.GetVisibility(), C);
    EXPECT_EQ(w.ApplyButton.GetVisibility(), V);
    EXPECT_FALSE(w.ApplyButton.IsEnabled()) << "no profile selected";
    w.BackButton.RaiseClick();
    EXPECT_EQ(w.run.pageState.load(), PageState::Welcome);
    EXPECT_EQ(w.ApplyButton.GetVisibility(), C);
    w.ContinueButton.RaiseClick();
    EXPECT_EQ(w.run.pageState.load(), PageState::Profiles);
}

TEST_F(WindowTest, LanguageSwitchRelabelsEverythingAndFlipsTheLayout) {
    MainWindow& w = Open();
    w.LanguageComboBox.SetSelectedIndex(1);
    EXPECT_EQ(StoredInt(SettingKeys::AppLanguage), 1);
    EXPECT_EQ(w.language, 1);
    EXPECT_EQ(w.RootGrid.GetFlowDirection(), FlowDirection::LeftToRight);
    for (const Control* control : {&w.WelcomeTitleText, &w.ContinueButton, &w.EssentialTitleText,
                                   &w.MaximumDescriptionText, &w.ReapplyButton, &w.CancelButton}) {
        ASSERT_FALSE(control->Text().empty()) << std::string(control->Name().begin(), control->Name().end());
        EXPECT_LT(control->Text().front(), 0x80) << "English text in an English window";
    }
    w.ContinueButton.RaiseClick();
    EXPECT_EQ(w.AgreementTextBox.Text(), std::wstring(EnglishTermsText()));

    w.BackButton.RaiseClick();
    w.LanguageComboBox.SetSelectedIndex(0);
    EXPECT_EQ(StoredInt(SettingKeys::AppLanguage), 0);
    EXPECT_EQ(w.RootGrid.GetFlowDirection(), FlowDirection::RightToLeft);
    EXPECT_EQ(w.EssentialTitleText.Text(), texts.LookupText(6));
    EXPECT_GE(w.EssentialTitleText.Text().front(), 0x600) << "Arabic again";
    w.ContinueButton.RaiseClick();
    EXPECT_EQ(w.AgreementTextBox.Text(), std::wstring(ArabicTermsText()));
}

TEST_F(WindowTest, AStoredProfileOutsideTheRangeSelectsNothing) {
    Store(SettingKeys::AppliedTask, std::int32_t{7});
    MainWindow& w = OpenAcceptedInEnglish();
    EXPECT_EQ(w.appliedProfile, kNoProfile);
    EXPECT_EQ(w.run.selectedProfile.load(), kNoProfile);
    EXPECT_FALSE(w.ApplyButton.IsEnabled());
    EXPECT_EQ(w.EssentialCardButton.Style(), L"DefaultButtonStyle");
    EXPECT_EQ(w.StandardCardButton.Style(), L"DefaultButtonStyle");
    EXPECT_EQ(w.MaximumCardButton.Style(), L"DefaultButtonStyle");
}

TEST_F(WindowTest, SelectingACardHighlightsItAndReselectingItDoesNotRefresh) {
    MainWindow& w = OpenAcceptedInEnglish();
    w.StandardCardButton.RaiseClick();
    EXPECT_EQ(w.run.selectedProfile.load(), kStandardProfile);
    EXPECT_EQ(w.StandardCardButton.Style(), L"AccentButtonStyle");
    EXPECT_EQ(w.EssentialCardButton.Style(), L"DefaultButtonStyle");
    EXPECT_TRUE(w.ApplyButton.IsEnabled());
    EXPECT_TRUE(w.RemoveAppsCheckBox.IsEnabled());

    w.WelcomeTitleText.SetText(L"marker"); // a refresh would put the real text back
    w.StandardCardButton.RaiseClick();
    EXPECT_EQ(w.WelcomeTitleText.Text(), L"marker");
    w.EssentialCardButton.RaiseClick();
    EXPECT_EQ(w.WelcomeTitleText.Text(), L"Welcome");
    EXPECT_FALSE(w.RemoveAppsCheckBox.IsEnabled());
}

TEST_F(WindowTest, WithoutTheStylesTheCardsKeepTheirOwnLook) {
    platform.styles.clear();
    MainWindow& w = OpenAcceptedInEnglish();
    w.MaximumCardButton.RaiseClick();
    EXPECT_EQ(w.MaximumCardButton.Style(), L"");
    EXPECT_EQ(w.EssentialCardButton.Style(), L"");
}

TEST_F(WindowTest, RemoveAppsCheckBoxFollowsItsContainerWidth) {
    MainWindow& w = Open();
    w.RemoveAppsContainer.SetActualSize(400.0, 60.0);
    EXPECT_DOUBLE_EQ(w.RemoveAppsCheckBox.MinWidth(), 395.0);
}

// ---- the applied state of the Profiles page ----

TEST_F(WindowTest, AnAppliedProfileAtItsRevisionShowsAlreadyApplied) {
    Store(SettingKeys::AppliedTask, std::int32_t{1});
    Store(SettingKeys::AppliedTaskBuildStandard, std::int32_t{130});
    MainWindow& w = OpenAcceptedInEnglish();
    EXPECT_EQ(w.run.selectedProfile.load(), kStandardProfile);
    EXPECT_EQ(w.AlreadyAppliedPanel.GetVisibility(), V);
    EXPECT_EQ(w.AlreadyAppliedText.Text(), L"Already Applied");
    EXPECT_EQ(w.ReapplyButton.Text(), L"Reapply Settings");
    EXPECT_EQ(w.ApplyButton.GetVisibility(), C);
    EXPECT_EQ(w.StandardUpdateBadge.GetVisibility(), C);
}

TEST_F(WindowTest, AnAppliedProfileOfAnOlderRevisionOffersTheUpdate) {
    Store(SettingKeys::AppliedTask, std::int32_t{1});
    MainWindow& w = OpenAcceptedInEnglish();
    EXPECT_EQ(w.StandardUpdateBadge.GetVisibility(), V);
    EXPECT_EQ(w.StandardUpdateBadgeText.Text(), L"Update Available");
    EXPECT_EQ(w.ApplyButton.GetVisibility(), V);
    EXPECT_EQ(w.ApplyButton.Text(), L"Update");
    EXPECT_EQ(w.AlreadyAppliedPanel.GetVisibility(), C);

    // Another card: "Apply", no badge on it, and the Standard badge keeps its state.
    w.MaximumCardButton.RaiseClick();
    EXPECT_EQ(w.ApplyButton.Text(), L"Apply");
    EXPECT_EQ(w.MaximumUpdateBadge.GetVisibility(), C);
    EXPECT_EQ(w.StandardUpdateBadge.GetVisibility(), V);
}

// ---- app removal opt-in ----

TEST_F(WindowTest, CancellingTheConfirmationUnticksTheBoxAndDeleteKeepsIt) {
    MainWindow& w = OpenAcceptedInEnglish();
    w.MaximumCardButton.RaiseClick();
    w.RemoveAppsCheckBox.RaiseClick();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    const ConfirmationDialog& dialog = platform.dialogs.front();
    EXPECT_EQ(dialog.title, L"Confirm Deletion of Pre-installed Apps");
    EXPECT_DOUBLE_EQ(dialog.titleFontSize, 20.0);
    EXPECT_EQ(dialog.primaryButtonText, L"Delele");
    EXPECT_EQ(dialog.primaryButtonStyle, L"AccentButtonStyle");
    EXPECT_EQ(dialog.closeButtonText, L"Cancel");
    EXPECT_EQ(dialog.flowDirection, FlowDirection::LeftToRight);
    platform.pendingAnswer(DialogResult::None);
    EXPECT_TRUE(w.RemoveAppsCheckBox.IsChecked()) << "unticked by a posted closure, not at once";
    dispatcher.Drain();
    EXPECT_FALSE(w.RemoveAppsCheckBox.IsChecked());

    w.RemoveAppsCheckBox.RaiseClick();
    platform.pendingAnswer(DialogResult::Primary);
    dispatcher.Drain();
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
    EXPECT_EQ(platform.dialogs.front().primaryButtonText, texts.LookupText(27));
}

// ---- an apply run as the user sees it ----

TEST_F(WindowTest, ApplyShowsProgressThenSuccessAndRecordsTheProfile) {
    MainWindow& w = OpenAcceptedInEnglish();
    w.StandardCardButton.RaiseClick();
    w.ApplyButton.RaiseClick();
    EXPECT_EQ(w.run.pageState.load(), PageState::Applying);
    EXPECT_EQ(w.StatusArea.GetVisibility(), V);
    EXPECT_EQ(w.ProgressPanel.GetVisibility(), V);
    EXPECT_EQ(w.ProfilesPage.GetVisibility(), C);
    EXPECT_EQ(w.BackButton.GetVisibility(), C);
    EXPECT_EQ(w.ApplyButton.GetVisibility(), C);
    EXPECT_EQ(w.ApplyingTitleText.Text(), L"Applying Settings...");
    ASSERT_EQ(timer.delays, std::vector<std::chrono::seconds>{std::chrono::seconds(9)});
    EXPECT_TRUE(platform.removals.empty());

    timer.RunPending();
    dispatcher.Drain();
    EXPECT_EQ(w.run.pageState.load(), PageState::Applied);
    EXPECT_EQ(w.SuccessPanel.GetVisibility(), V);
    EXPECT_EQ(w.ProgressPanel.GetVisibility(), C);
    EXPECT_EQ(w.RestartButton.Text(), L"Restart PC Now");
    EXPECT_EQ(StoredInt(SettingKeys::AppliedTask), 1);
    EXPECT_EQ(StoredInt(SettingKeys::AppliedTaskBuildStandard), 130);
    EXPECT_EQ(w.appliedProfile, kNoProfile) << "the window's own record changes only with the next start";

    w.RestartButton.RaiseClick();
    EXPECT_EQ(platform.restarts, 1);
}

TEST_F(WindowTest, AppRemovalStartsOnlyForStandardOrMaximumWithTheBoxInEffect) {
    MainWindow& w = OpenAcceptedInEnglish();
    w.MaximumCardButton.RaiseClick();
    w.RemoveAppsCheckBox.RaiseClick();
    platform.pendingAnswer(DialogResult::Primary);
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

TEST_F(WindowTest, FailureOffersTryAgainWithoutRemovalAndCancelReturnsToProfiles) {
    MainWindow& w = OpenAcceptedInEnglish();
    w.MaximumCardButton.RaiseClick();
    w.RemoveAppsCheckBox.RaiseClick();
    platform.pendingAnswer(DialogResult::Primary);
    system.dwordWriteSucceeds = [](const RegistryDwordSetting& row) { return row.root != 2; };
    const int insertsBefore = settings.inserts;
    w.ApplyButton.RaiseClick();
    ASSERT_EQ(platform.removals.size(), 1u);
    timer.RunPending();
    dispatcher.Drain();
    EXPECT_EQ(w.run.pageState.load(), PageState::Applying);
    EXPECT_EQ(w.FailurePanel.GetVisibility(), V);
    EXPECT_EQ(w.SuccessPanel.GetVisibility(), C);
    EXPECT_EQ(w.FailureTitleText.Text(), L"Operation Failed");
    EXPECT_EQ(settings.inserts, insertsBefore) << "a failed run stores nothing";

    w.TryAgainButton.RaiseClick();
    EXPECT_EQ(w.ProgressPanel.GetVisibility(), V);
    EXPECT_EQ(w.FailurePanel.GetVisibility(), C);
    EXPECT_EQ(timer.delays.back(), std::chrono::seconds(2));
    EXPECT_EQ(platform.removals.size(), 1u) << "Try Again starts no app removal";
    timer.RunPending();
    dispatcher.Drain();
    EXPECT_EQ(w.FailurePanel.GetVisibility(), V);

    w.CancelButton.RaiseClick();
    EXPECT_EQ(w.run.pageState.load(), PageState::Profiles);
    EXPECT_EQ(w.ProfilesPage.GetVisibility(), V);
    EXPECT_EQ(w.StatusArea.GetVisibility(), C);
    EXPECT_EQ(w.ApplyButton.GetVisibility(), V);
    EXPECT_EQ(w.BackButton.GetVisibility(), V);
}

TEST_F(WindowTest, ThirteenFailedWritesStillShowSuccess) {
    MainWindow& w = OpenAcceptedInEnglish();
    w.EssentialCardButton.RaiseClick();
    auto remaining = std::make_shared<int>(13);
    system.dwordWriteSucceeds = [remaining](const RegistryDwordSetting&) { return (*remaining)-- <= 0; };
    w.ApplyButton.RaiseClick();
    timer.RunPending();
    dispatcher.Drain();
    EXPECT_EQ(w.SuccessPanel.GetVisibility(), V);
    EXPECT_EQ(StoredInt(SettingKeys::AppliedTaskBuildEssential), 120);
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

// ---- the keyboard and the screen ----

TEST_F(WindowTest, EveryPageOpensOnItsPrimaryControlOrOnTheInputItNeedsFirst) {
    MainWindow& w = Open();
    system.dwordWriteSucceeds = [](const RegistryDwordSetting& row) { return row.root != 2; };
    const auto run = [&] {
        timer.RunPending();
        dispatcher.Drain();
    };
    struct Step {
        const char* page;
        std::function<void()> act;
        Control* focus;
        Control* enter;
        Control* escape;
    };
    const Step steps[] = {
        {"welcome", [] {}, &w.ContinueButton, &w.ContinueButton, nullptr},
        {"terms", [&] { w.ContinueButton.RaiseClick(); }, &w.TermsCheckBox, nullptr, &w.BackButton},
        {"terms, box ticked", [&] { w.TermsCheckBox.RaiseClick(); }, &w.ContinueButton, &w.ContinueButton,
         &w.BackButton},
        {"profiles, none chosen", [&] { w.ContinueButton.RaiseClick(); }, &w.EssentialCardButton, nullptr,
         &w.BackButton},
        {"profiles, Standard chosen", [&] { w.StandardCardButton.RaiseClick(); }, &w.ApplyButton,
         &w.ApplyButton, &w.BackButton},
        {"progress", [&] { w.ApplyButton.RaiseClick(); }, &w.ProgressRing, nullptr, nullptr},
        {"failure", run, &w.TryAgainButton, &w.TryAgainButton, &w.CancelButton},
        {"progress again", [&] { w.TryAgainButton.RaiseClick(); }, &w.ProgressRing, nullptr, nullptr},
        {"failure again", run, &w.TryAgainButton, &w.TryAgainButton, &w.CancelButton},
        {"profiles after cancel", [&] { w.CancelButton.RaiseClick(); }, &w.ApplyButton, &w.ApplyButton,
         &w.BackButton},
        {"success",
         [&] {
             system.dwordWriteSucceeds = nullptr;
             w.ApplyButton.RaiseClick();
             run();
         },
         &w.RestartButton, &w.RestartButton, nullptr},
    };
    for (const Step& step : steps) {
        step.act();
        SCOPED_TRACE(step.page);
        Control* focus = w.FocusTarget();
        EXPECT_EQ(focus, step.focus);
        ASSERT_NE(focus, nullptr);
        EXPECT_TRUE(focus->IsShown() && focus->IsEnabled()) << "the focus never goes to a hidden control";
        EXPECT_EQ(w.DefaultButton(), step.enter);
        EXPECT_EQ(w.EscapeButton(), step.escape);
    }
}

// Text of a plain sans-serif face, so that a layout can be checked without a screen.
class FakeTextMetrics final : public LayoutMetrics {
public:
    explicit FakeTextMetrics(unsigned dpi) : dpi_(dpi) {}
    int Scale(double dips) const override { return DipsToPixels(dips, dpi_); }
    Size MeasureText(const Control& control, int maxWidth) const override {
        const double size = control.look.font == FontRole::Title     ? 30
                            : control.look.font == FontRole::Heading ? 22
                                                                     : 16;
        const int width = Scale(size * 0.55 * static_cast<double>(control.Text().size()));
        const int lines = maxWidth > 0 ? (width + maxWidth - 1) / maxWidth : 1;
        return {std::min(width, maxWidth), std::max(1, lines) * Scale(size * 1.4)};
    }
    int ScrollBarWidth() const override { return Scale(17); }

private:
    unsigned dpi_;
};

TEST_F(WindowTest, TheFirstWindowFitsItsMonitorAndEveryPageKeepsItsButtonsInView) {
    struct Screen {
        const char* name;
        Rect workArea; // the screen less the taskbar
        unsigned dpi;
    };
    const Screen screens[] = {{"1366x768 at 125%", {0, 0, 1366, 728}, 120},
                              {"1920x1080 at 150%", {0, 0, 1920, 1032}, 144},
                              {"3840x2160 at 200%", {0, 40, 3840, 2080}, 192}};
    MainWindow& w = Open();
    std::vector<std::function<void()>> pages{
        [] {},
        [&] { w.ContinueButton.RaiseClick(); },
        [&] {
            w.TermsCheckBox.RaiseClick();
            w.ContinueButton.RaiseClick();
            w.MaximumCardButton.RaiseClick();
        },
        [&] {
            system.dwordWriteSucceeds = [](const RegistryDwordSetting&) { return false; };
            w.ApplyButton.RaiseClick();
            timer.RunPending();
            dispatcher.Drain();
        },
    };
    for (const auto& open : pages) {
        open();
        for (const Screen& screen : screens) {
            SCOPED_TRACE(screen.name);
            const Rect opened = InitialWindowRect(screen.workArea, screen.dpi);
            EXPECT_TRUE(screen.workArea.Contains(opened));
            EXPECT_LE(
                std::abs((opened.left - screen.workArea.left) - (screen.workArea.Right() - opened.Right())),
                1)
                << "centred";
            // After a move to another monitor or DPI: pulled inside, shrunk where larger, else untouched.
            const Rect& work = screen.workArea;
            EXPECT_EQ(FitIntoWorkArea(opened, work), opened);
            EXPECT_TRUE(work.Contains(FitIntoWorkArea({work.Right() - 90, work.top - 20, 800, 600}, work)));
            EXPECT_EQ(FitIntoWorkArea({-5, -5, work.width * 2, work.height * 2}, work), work);
            const Size frame{DipsToPixels(16, screen.dpi), DipsToPixels(39, screen.dpi)};
            const Size smallest = MinimumWindowSize(screen.dpi, frame);
            EXPECT_LE(smallest.height, screen.workArea.height);
            for (const Size outer : {Size{opened.width, opened.height}, smallest}) {
                const Rect client{0, 0, outer.width - frame.width, outer.height - frame.height};
                const Arrangement placed = ArrangeControls(w.RootGrid, client, FakeTextMetrics(screen.dpi));
                const Rect* content = placed.Find(w.ContentArea);
                ASSERT_NE(content, nullptr);
                for (const Control* button : {w.FocusTarget(), w.DefaultButton(), w.EscapeButton()}) {
                    if (button == nullptr) {
                        continue;
                    }
                    const Rect* place = placed.Find(*button);
                    ASSERT_NE(place, nullptr) << std::string(button->Name().begin(), button->Name().end());
                    EXPECT_TRUE(client.Contains(*place));
                    EXPECT_GT(place->width, DipsToPixels(100, screen.dpi));
                    if (button->look.alignment == Alignment::End) {
                        EXPECT_GT(place->left, client.width / 2) << "at the end of its row";
                    }
                    if (button->Parent() != &w.Footer) {
                        EXPECT_TRUE(content->Contains(*place)) << "in view without scrolling";
                    }
                }
            }
        }
    }
}

} // namespace
