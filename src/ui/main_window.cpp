#include "ui/main_window.h"

#include "settings/local_settings.h"
#include "tweaks/apply_pipeline.h"
#include "tweaks/delayed_runner.h"
#include "common/dispatcher_queue.h"
#include "ui/text/language_switch.h"
#include "ui/text/localized_text_table.h"
#include "ui/plan_rows.h"
#include "ui/text/terms_text.h"

namespace Velmora::implementation {
namespace {

constexpr Visibility V = Visibility::Visible;
constexpr Visibility C = Visibility::Collapsed;

bool IsProfile(SettingsProfile profile) {
    return profile >= kEssentialProfile && profile <= kMaximumProfile;
}

} // namespace

MainWindow::MainWindow(WindowServices services)
    : services_(services), self_(std::make_shared<MainWindow*>(this)) {
    InitializeMainWindow();
}

MainWindow::~MainWindow() {
    self_.reset();
}

std::vector<Control*> MainWindow::AllControls() {
    std::vector<Control*> all;
    std::vector<Control*> pending{&RootGrid};
    while (!pending.empty()) {
        Control* control = pending.back();
        pending.pop_back();
        all.push_back(control);
        const auto& children = control->Children();
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return all;
}

std::function<void()> MainWindow::Guarded(void (MainWindow::*handler)()) {
    std::weak_ptr<MainWindow*> weak = self_;
    return [weak, handler] {
        if (const auto self = weak.lock()) {
            ((*self)->*handler)();
        }
    };
}

void MainWindow::WireHandlers() {
    std::weak_ptr<MainWindow*> weak = self_;
    const auto card = [weak](SettingsProfile profile) {
        return [weak, profile] {
            if (const auto self = weak.lock()) {
                (*self)->OnCardClick(profile);
            }
        };
    };
    EssentialCardButton.Click = card(kEssentialProfile);
    StandardCardButton.Click = card(kStandardProfile);
    MaximumCardButton.Click = card(kMaximumProfile);
    ContinueButton.Click = Guarded(&MainWindow::OnContinueClick);
    BackButton.Click = Guarded(&MainWindow::OnBackClick);
    LanguageComboBox.SelectionChanged = Guarded(&MainWindow::OnLanguageSelectionChanged);
    TermsCheckBox.Click = Guarded(&MainWindow::OnTermsCheckBoxClick);
    ApplyButton.Click = Guarded(&MainWindow::StartApplyRun);
    ReapplyButton.Click = Guarded(&MainWindow::StartApplyRun);
    RemoveAppsCheckBox.Checked = Guarded(&MainWindow::OnRemoveAppsChecked);
    RemoveAppsContainer.SizeChanged = Guarded(&MainWindow::OnRemoveAppsContainerSizeChanged);
    TryAgainButton.Click = Guarded(&MainWindow::OnTryAgainClick);
    CancelButton.Click = Guarded(&MainWindow::OnCancelClick);
    RestartButton.Click = Guarded(&MainWindow::OnRestartClick);
    ReviewButton.Click = Guarded(&MainWindow::OnReviewClick);
    OnlyChangesCheckBox.Click = Guarded(&MainWindow::OnOnlyChangesClick);
    ExportButton.Click = Guarded(&MainWindow::OnExportClick);
    FeatureList.SelectionChanged = Guarded(&MainWindow::OnFeatureSelected);
    FeatureList.RowToggled = [weak = std::weak_ptr<MainWindow*>(self_)](std::size_t row) {
        if (const auto self = weak.lock()) {
            (*self)->OnFeatureToggled(row);
        }
    };
    ExportChoicesButton.Click = Guarded(&MainWindow::OnExportChoicesClick);
    ImportChoicesButton.Click = Guarded(&MainWindow::OnImportChoicesClick);
    PutBackButton.Click = Guarded(&MainWindow::OnPutBackClick);
    DetailsList.SelectionChanged = Guarded(&MainWindow::OnDetailsSelected);
    ChangesMadeButton.Click = Guarded(&MainWindow::OnChangesMadeClick);
    RestoreButton.Click = Guarded(&MainWindow::OnRestoreClick);
    ShowDetailsButton.Click = Guarded(&MainWindow::OnShowDetailsClick);
    OpenLogFolderButton.Click = Guarded(&MainWindow::OnOpenLogFolderClick);
    DoneButton.Click = Guarded(&MainWindow::OnDoneClick);
    KeepCheckBox.Click = Guarded(&MainWindow::OnKeepClick);
    SuccessKeepCheckBox.Click = Guarded(&MainWindow::OnKeepClick);
}

void MainWindow::InitializeMainWindow() {
    LoadMarkup();
    WireHandlers();

    const StartupSettings stored = ReadStartupSettings(services_.settings);
    language = stored.language;
    termsAccepted = stored.termsAccepted;
    run.pageState = termsAccepted ? PageState::Profiles : PageState::Welcome;
    appliedProfile = stored.appliedProfile;
    run.selectedProfile = appliedProfile;
    appliedProfileBuild = stored.appliedProfileBuild;
    ApplyFlowDirection();
    LanguageComboBox.SetSelectedIndex(language); // ignored by the handler while initialising
    services_.texts.SelectLanguage(language);
    RefreshUi();
    isInitializing = false;
}

void MainWindow::ApplyFlowDirection() {
    RootGrid.SetFlowDirection(language == kLanguageArabic ? FlowDirection::RightToLeft
                                                          : FlowDirection::LeftToRight);
}

std::wstring MainWindow::Text(std::int32_t row) const {
    return services_.texts.LookupText(row);
}

Control& MainWindow::Card(SettingsProfile profile) {
    return profile == kEssentialProfile  ? EssentialCardButton
           : profile == kStandardProfile ? StandardCardButton
                                         : MaximumCardButton;
}

Control& MainWindow::Badge(SettingsProfile profile) {
    return profile == kEssentialProfile  ? EssentialUpdateBadge
           : profile == kStandardProfile ? StandardUpdateBadge
                                         : MaximumUpdateBadge;
}

void MainWindow::RefreshUi() {
    RefreshTexts();
    RefreshPages();
}

// Every text is looked up anew, so a refresh after a language switch re-labels the whole window.
void MainWindow::RefreshTexts() {
    WelcomeTitleText.SetText(Text(TextId::WelcomeTitle));
    LanguagePromptText.SetText(Text(TextId::LanguagePrompt));
    EssentialTitleText.SetText(Text(TextId::EssentialTitle));
    EssentialDescriptionText.SetText(Text(TextId::EssentialDescription));
    StandardTitleText.SetText(Text(TextId::StandardTitle));
    StandardDescriptionText.SetText(Text(TextId::StandardDescription));
    MaximumTitleText.SetText(Text(TextId::MaximumTitle));
    MaximumDescriptionText.SetText(Text(TextId::MaximumDescription));
    // A card's own caption is its title, so that it is announced and found by it.
    EssentialCardButton.SetText(EssentialTitleText.Text());
    StandardCardButton.SetText(StandardTitleText.Text());
    MaximumCardButton.SetText(MaximumTitleText.Text());
    for (Control* badge : {&EssentialUpdateBadgeText, &StandardUpdateBadgeText, &MaximumUpdateBadgeText}) {
        badge->SetText(Text(TextId::UpdateAvailable));
    }
    AlreadyAppliedText.SetText(Text(TextId::AlreadyApplied));
    ReapplyButton.SetText(Text(TextId::ReapplySettings));
    RemoveAppsText.SetText(Text(TextId::RemoveAppsDescription));
    RemoveAppsCheckBox.SetText(Text(TextId::RemoveAppsDescription));
    ApplyingTitleText.SetText(Text(TextId::ApplyingTitle));
    ApplyingMessageText.SetText(Text(TextId::ApplyingMessage));
    SuccessTitleText.SetText(Text(TextId::SuccessTitle));
    SuccessMessageText.SetText(Text(TextId::SuccessMessage));
    RestartButton.SetText(Text(TextId::RestartNow));
    FailureTitleText.SetText(Text(TextId::FailureTitle));
    FailureMessageText.SetText(Text(TextId::FailureMessage));
    TryAgainButton.SetText(Text(TextId::TryAgain));
    CancelButton.SetText(Text(TextId::Cancel));
    if (restoreShown_) {
        ApplyingTitleText.SetText(Text(TextId::RestoringTitle));
        ApplyingMessageText.SetText(Text(TextId::RestoringMessage));
    }
    ReviewButton.SetText(Text(TextId::ReviewChanges));
    RestoreButton.SetText(Text(TextId::RestorePrevious));
    OnlyChangesCheckBox.SetText(Text(TextId::OnlyWhatChanges));
    KeepCheckBox.SetText(Text(TextId::KeepInPlace));
    SuccessKeepCheckBox.SetText(Text(TextId::KeepInPlace));
    ExportButton.SetText(Text(TextId::Export));
    ExportChoicesButton.SetText(Text(TextId::ExportChoices));
    ImportChoicesButton.SetText(Text(TextId::ImportChoices));
    PutBackButton.SetText(Text(TextId::PutBack));
    ChangesMadeButton.SetText(Text(TextId::ChangesMade));
    FeatureList.SetText(Text(TextId::FeatureListCaption));
    FeatureList.SetColumns(FeatureColumns(services_.texts));
    ShowDetailsButton.SetText(Text(detailsShown_ ? TextId::HideDetails : TextId::ShowDetails));
    OpenLogFolderButton.SetText(Text(TextId::OpenLogFolder));
    DoneButton.SetText(Text(TextId::Done));
    DetailsList.SetText(Text(TextId::DetailsListCaption));
    DetailsList.SetColumns(ResultColumns(services_.texts, restoreShown_));
}

void MainWindow::RefreshPages() {
    const PageState page = run.pageState.load();
    ReviewPage.SetVisibility(page == PageState::Review ? V : C);
    ReviewButton.SetVisibility(page == PageState::Profiles && services_.engine != nullptr ? V : C);
    switch (page) {
    case PageState::Welcome:
        WelcomePage.SetVisibility(V);
        TermsPage.SetVisibility(C);
        ProfilesPage.SetVisibility(C);
        BackButton.SetVisibility(C);
        ContinueButton.SetVisibility(V);
        ContinueButton.SetEnabled(true);
        ContinueButton.SetText(Text(TextId::Continue));
        if (services_.platform.HasStyle(kAccentButtonStyle)) {
            ContinueButton.SetStyle(std::wstring(kAccentButtonStyle));
        }
        ApplyButton.SetVisibility(C);
        AlreadyAppliedPanel.SetVisibility(C);
        break;
    case PageState::Terms:
        WelcomePage.SetVisibility(C);
        TermsPage.SetVisibility(V);
        ProfilesPage.SetVisibility(C);
        BackButton.SetVisibility(V);
        BackButton.SetEnabled(true);
        BackButton.SetText(Text(TextId::Back));
        RefreshTermsPage();
        break;
    case PageState::Profiles:
        WelcomePage.SetVisibility(C);
        TermsPage.SetVisibility(C);
        ProfilesPage.SetVisibility(V);
        BackButton.SetVisibility(V);
        BackButton.SetEnabled(true);
        BackButton.SetText(Text(TextId::Back));
        ContinueButton.SetVisibility(C);
        ApplyButton.SetVisibility(V);
        ApplyButton.SetText(Text(TextId::Apply));
        ApplyButton.SetEnabled(run.selectedProfile.load() != kNoProfile);
        ReviewButton.SetEnabled(run.selectedProfile.load() != kNoProfile);
        RefreshProfilesPage();
        break;
    case PageState::Review:
        WelcomePage.SetVisibility(C);
        TermsPage.SetVisibility(C);
        ProfilesPage.SetVisibility(C);
        BackButton.SetVisibility(V);
        BackButton.SetEnabled(true);
        BackButton.SetText(Text(TextId::Back));
        ContinueButton.SetVisibility(C);
        ApplyButton.SetVisibility(V);
        ApplyButton.SetText(Text(TextId::Apply));
        ApplyButton.SetEnabled(true);
        RefreshAppliedState(); // the same action as on the Profiles page
        RefreshReviewPage();
        break;
    case PageState::Applying:
    case PageState::Applied:
        BackButton.SetVisibility(C);
        BackButton.SetEnabled(false);
        ContinueButton.SetVisibility(C);
        ApplyButton.SetVisibility(C);
        break;
    }
    if (page != refreshedPage_) {
        refreshedPage_ = page;
        OnPageOpened(page);
    }
}

void MainWindow::RefreshTermsPage() {
    ContinueButton.SetText(Text(TextId::Agree));
    AgreementTextBox.SetReadOnly(false);
    AgreementTextBox.SetText(std::wstring(TermsText(language)));
    AgreementTextBox.SetReadOnly(true);
    TermsCheckBox.SetText(Text(TextId::TermsAgreement));
    ContinueButton.SetEnabled(termsBoxChecked);
}

void MainWindow::RefreshProfilesPage() {
    const SettingsProfile selected = run.selectedProfile.load();
    RemoveAppsCheckBox.SetEnabled(selected == kStandardProfile || selected == kMaximumProfile);
    RefreshCardStyles();
    RefreshAppliedState();
    RefreshCardStatus();
}

void MainWindow::RefreshCardStyles() {
    if (services_.platform.HasStyle(kDefaultButtonStyle)) {
        for (SettingsProfile profile = kEssentialProfile; profile <= kMaximumProfile; ++profile) {
            Card(profile).SetStyle(std::wstring(kDefaultButtonStyle));
        }
    }
    const SettingsProfile selected = run.selectedProfile.load();
    if (IsProfile(selected) && services_.platform.HasStyle(kAccentButtonStyle)) {
        Card(selected).SetStyle(std::wstring(kAccentButtonStyle));
    }
}

// Only the selected card's badge is touched, so a badge changes only while its card is selected.
void MainWindow::RefreshAppliedState() {
    const SettingsProfile p = run.selectedProfile.load();
    if (!IsProfile(p)) {
        return;
    }
    const auto index = static_cast<size_t>(p);
    const bool applied = p == appliedProfile;
    if (applied && currentProfileBuild[index] == appliedProfileBuild[index]) {
        Badge(p).SetVisibility(C);
        ApplyButton.SetVisibility(C);
        AlreadyAppliedPanel.SetVisibility(V);
    } else if (applied) {
        Badge(p).SetVisibility(V);
        ApplyButton.SetVisibility(V);
        ApplyButton.SetText(Text(TextId::Update));
        AlreadyAppliedPanel.SetVisibility(C);
    } else {
        Badge(p).SetVisibility(C);
        ApplyButton.SetVisibility(V);
        ApplyButton.SetText(Text(TextId::Apply));
        AlreadyAppliedPanel.SetVisibility(C);
    }
}

void MainWindow::OnCardClick(SettingsProfile profile) {
    if (run.selectedProfile.load() != profile) {
        run.selectedProfile = profile;
        RefreshUi();
    }
}

void MainWindow::OnContinueClick() {
    switch (run.pageState.load()) {
    case PageState::Welcome:
        run.pageState = termsAccepted ? PageState::Profiles : PageState::Terms;
        break;
    case PageState::Terms:
        services_.settings.Insert(SettingKeys::AcceptTermsServices, SettingValue{true});
        termsAccepted = true;
        run.pageState = PageState::Profiles;
        break;
    default:
        return;
    }
    RefreshUi();
}

void MainWindow::OnBackClick() {
    switch (run.pageState.load()) {
    case PageState::Terms:
        run.pageState = PageState::Welcome;
        ContinueButton.SetEnabled(true);
        break;
    case PageState::Profiles:
        run.pageState = PageState::Welcome;
        break;
    case PageState::Review:
        run.pageState = PageState::Profiles;
        break;
    default:
        return;
    }
    RefreshUi();
}

void MainWindow::OnLanguageSelectionChanged() {
    if (isInitializing) {
        return; // the program set the selection itself
    }
    const int index = LanguageComboBox.SelectedIndex();
    if (!SwitchLanguage(services_.texts, services_.settings, index)) {
        return;
    }
    language = index;
    ApplyFlowDirection();
    RefreshUi();
}

void MainWindow::OnTermsCheckBoxClick() {
    termsBoxChecked = !termsBoxChecked;
    ContinueButton.SetEnabled(termsBoxChecked);
}

void MainWindow::OnRemoveAppsChecked() {
    const ConfirmationDialog dialog = Question(TextId::RemoveAppsTitle, Text(TextId::RemoveAppsWarning),
                                               TextId::Delete, TextId::Cancel, true);
    std::weak_ptr<MainWindow*> weak = self_;
    DispatcherQueue& dispatcher = services_.dispatcher;
    services_.platform.ShowDialog(dialog, [weak, &dispatcher](DialogResult result) {
        if (result == DialogResult::Primary) {
            return;
        }
        dispatcher.TryEnqueue([weak] {
            if (const auto self = weak.lock()) {
                (*self)->RemoveAppsCheckBox.SetChecked(false);
            }
        });
    });
}

void MainWindow::OnRemoveAppsContainerSizeChanged() {
    RemoveAppsCheckBox.SetMinWidth(RemoveAppsContainer.ActualWidth() - 5.0);
}

ConfirmationDialog MainWindow::Question(std::int32_t title, std::wstring content, std::int32_t primary,
                                        std::int32_t close, bool accentPrimary) const {
    ConfirmationDialog dialog;
    dialog.title = Text(title);
    dialog.content = std::move(content);
    if (primary >= 0) {
        dialog.primaryButtonText = Text(primary);
    }
    if (accentPrimary && services_.platform.HasStyle(kAccentButtonStyle)) {
        dialog.primaryButtonStyle = std::wstring(kAccentButtonStyle);
    }
    dialog.closeButtonText = Text(close);
    dialog.flowDirection = services_.texts.CurrentTextLanguage() == kLanguageEnglish
                               ? FlowDirection::LeftToRight
                               : FlowDirection::RightToLeft;
    return dialog;
}

bool MainWindow::ClaimRun() {
    if (!services_.claimRun || services_.claimRun()) {
        return true;
    }
    services_.platform.ShowDialog(
        Question(TextId::RunInProgressTitle, Text(TextId::RunInProgressMessage), -1, TextId::Ok, false),
        [](DialogResult) {});
    return false;
}

void MainWindow::StartApplyRun() {
    const SettingsProfile profile = run.selectedProfile.load();
    const std::vector<std::size_t> warnings = RunWarnings(profile);
    if (warnings.empty()) {
        BeginApplyRun();
        return;
    }
    // What the run will turn off is said before it starts, never only afterwards.
    const std::wstring content =
        FillText(Text(TextId::ApplyWarningIntro), L"{profile}", Card(profile).Children()[0]->Text()) + L"\n" +
        TurnedOffText(warnings, *features, services_.texts) + L"\n" + Text(TextId::ApplyWarningOutro);
    std::weak_ptr<MainWindow*> weak = self_;
    DispatcherQueue& dispatcher = services_.dispatcher;
    services_.platform.ShowDialog(
        Question(TextId::ApplyWarningTitle, content, TextId::Apply, TextId::Cancel, true),
        [weak, &dispatcher](DialogResult result) {
            if (result == DialogResult::Primary) {
                dispatcher.TryEnqueue([weak] {
                    if (const auto self = weak.lock()) {
                        (*self)->BeginApplyRun();
                    }
                });
            }
        });
}

std::vector<std::size_t> MainWindow::RunWarnings(SettingsProfile profile) const {
    if (profile < kEssentialProfile || profile > kMaximumProfile) {
        return {};
    }
    const bool removal = RemoveAppsCheckBox.IsChecked() && RemoveAppsCheckBox.IsEnabled();
    const auto removalFeature = features->Catalogue().FeatureOfBuiltIn(BuiltInItem::AppRemoval);
    const auto warnedFor = [&](std::size_t feature) {
        const std::vector<SettingsProfile> warned = features->Catalogue().WarnedProfiles(feature);
        return std::find(warned.begin(), warned.end(), profile) != warned.end();
    };
    std::vector<std::size_t> warnings;
    if (reviewPlan && reviewPlan->profile == profile) {
        warnings = WarningFeatures(GroupByFeature(*reviewPlan, *features), *features, profile);
    } else if (pcStatus && !choicesEdited) {
        warnings = pcStatus->profiles[static_cast<std::size_t>(profile)].warnings;
    } else {
        // The PC not looked at yet: everything the profile can turn off.
        for (std::size_t feature = 0; feature < features->Features().size(); ++feature) {
            if (warnedFor(feature)) {
                warnings.push_back(feature);
            }
        }
    }
    // The app removal is no setting a look at the PC finds in effect: it is named whenever its box is
    // ticked, and never otherwise.
    if (removalFeature) {
        std::erase(warnings, *removalFeature);
        if (removal && warnedFor(*removalFeature)) {
            warnings.push_back(*removalFeature);
        }
    }
    std::erase_if(warnings, [this](std::size_t feature) { return choices.Keeps(feature); });
    return warnings;
}

void MainWindow::BeginApplyRun() {
    if (!ClaimRun()) {
        return;
    }
    SaveEditedChoices(); // the choices apply to every profile from this run on
    run.pageState = PageState::Applying;
    refreshedPage_ = PageState::Applying;
    for (Control* control : {&BackButton, &ContinueButton, &ApplyButton, &ProfilesPage, &SuccessPanel,
                             &FailurePanel, &AlreadyAppliedPanel, &ReviewPage, &ReviewButton}) {
        control->SetVisibility(C);
    }
    restoreShown_ = false;
    ShowStatusPanel(&ProgressPanel);
    RefreshTexts();
    RequestRun(kApplyStartDelaySeconds, run.selectedProfile.load() != kEssentialProfile &&
                                            RemoveAppsCheckBox.IsChecked() && RemoveAppsCheckBox.IsEnabled());
}

void MainWindow::RequestRun(int delaySeconds, bool appRemoval) {
    std::weak_ptr<MainWindow*> weak = self_;
    const auto post = [weak](void (MainWindow::*show)()) {
        return [weak, show] {
            if (const auto self = weak.lock()) {
                ((*self)->*show)();
            }
        };
    };
    LocalSettingsValues& settings = services_.settings;
    const ApplyRunContext context{
        runController,
        run.selectedProfile,
        services_.system,
        services_.dispatcher,
        [&settings](std::wstring_view key, std::int32_t value) { settings.Insert(key, SettingValue{value}); },
        post(&MainWindow::ShowSuccess),
        post(&MainWindow::ShowFailure),
        nullptr}; // the engine adds the included optional features
    activity = WindowActivity::Run;
    progress.reset();
    lastReport.reset();
    ProgressRing.SetProgress(0, 0);
    ProgressRing.SetText(Text(TextId::Preparing));
    ProgressStepText.SetText(Text(TextId::Preparing));
    PipelineRunner runner = services_.engine != nullptr ? EngineRunner(appRemoval) : services_.runPipeline;
    if (services_.engine == nullptr && appRemoval) {
        // Without the engine nothing is journaled: the removal still starts only when the run does.
        runner = [runner, &platform = services_.platform,
                  names = runController.preinstalledPackageNames](const ApplyRunContext& requested) {
            platform.StartAppRemoval(names);
            return runner ? runner(requested) : RunApplyPipeline(requested);
        };
    }
    if (!ApplyPipeline(context, services_.timer, delaySeconds, runner)) {
        activity = WindowActivity::None;
        ShowFailure(); // the run could not even be scheduled
    }
}

void MainWindow::ShowSuccess() {
    run.pageState = PageState::Applied;
    if (services_.releaseRun) {
        services_.releaseRun();
    }
    ProfilesPage.SetVisibility(C);
    ShowStatusPanel(&SuccessPanel);
    ReloadAppliedState(); // the run recorded what it applied: keeping is offered for it
    RefreshKeepSwitches();
}

void MainWindow::ShowFailure() {
    run.pageState = PageState::Applying; // the failure panel, until Try Again or Cancel
    if (services_.releaseRun) {
        services_.releaseRun();
    }
    ProfilesPage.SetVisibility(C);
    ShowStatusPanel(&FailurePanel);
}

void MainWindow::OnTryAgainClick() {
    if (!ClaimRun()) {
        return;
    }
    ShowStatusPanel(&ProgressPanel);
    RequestRun(kTryAgainStartDelaySeconds, false);
}

void MainWindow::OnCancelClick() {
    run.pageState = PageState::Profiles;
    // The failure panel would otherwise stay under the cards.
    ShowStatusPanel(nullptr);
    RefreshUi();
}

void MainWindow::OnRestartClick() {
    services_.platform.RestartComputer();
}

} // namespace Velmora::implementation
