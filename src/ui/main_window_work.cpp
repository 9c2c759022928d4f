// The main window's work beside its pages: what the Profiles page and the Review page read of the PC,
// a run's progress and result, the restore of the last run, the export of a plan, and closing while a
// run goes on. Reads, runs and restores happen on worker threads; their results come back through the
// dispatcher and are dropped when the window, or the page that asked, is gone.

#include "engine/plan_document.h"
#include "settings/local_settings.h"
#include "common/dispatcher_queue.h"
#include "ui/main_window.h"
#include "ui/plan_rows.h"
#include "ui/run_progress.h"
#include "ui/text/localized_text_table.h"
#include "ui/window_engine.h"

#include <cstdio>

namespace Velmora::implementation {
namespace {

constexpr Visibility V = Visibility::Visible;
constexpr Visibility C = Visibility::Collapsed;

std::wstring Count(std::size_t count) {
    return std::to_wstring(count);
}

// "2025-01-31T12:00:00Z" as "2025-01-31 12:00 UTC".
std::wstring JournalTime(const std::string& utc) {
    if (utc.size() < 16 || utc[10] != 'T') {
        return std::wstring(utc.begin(), utc.end());
    }
    return std::wstring(utc.begin(), utc.begin() + 10) + L" " +
           std::wstring(utc.begin() + 11, utc.begin() + 16) + L" UTC";
}

std::wstring ErrorCode(std::uint32_t error) {
    wchar_t text[16];
    std::swprintf(text, 16, error >= 0x80000000u ? L"0x%08X" : L"%u", static_cast<unsigned>(error));
    return text;
}

} // namespace

// ---- reading the PC for the Profiles and Review pages ----

void MainWindow::OnPageOpened(PageState page) {
    if (page != PageState::Profiles && page != PageState::Review) {
        return;
    }
    ++opening_;
    const bool reads = services_.engine != nullptr;
    scanWanted_ = reads && page == PageState::Profiles;
    reviewWanted_ = reads && page == PageState::Review;
    if (page == PageState::Profiles) {
        pcStatus.reset();
        pcCheckFailed = false;
    } else {
        reviewPlan.reset();
        reviewFailed = false;
        ExportNoticeText.SetText({});
    }
    StartNextRead();
}

void MainWindow::StartNextRead() {
    WindowEngine* engine = services_.engine;
    const PageState page = run.pageState.load();
    if (engine == nullptr || readBusy_ || activity != WindowActivity::None || closing) {
        return;
    }
    std::weak_ptr<MainWindow*> weak = self_;
    DispatcherQueue& dispatcher = services_.dispatcher;
    const RunController& controller = runController;
    const std::uint64_t opening = opening_;
    std::function<void()> work;
    if (reviewWanted_ && page == PageState::Review) {
        const SettingsProfile profile = run.selectedProfile.load();
        const bool removal =
            profile != kEssentialProfile && RemoveAppsCheckBox.IsChecked() && RemoveAppsCheckBox.IsEnabled();
        const FeatureIndex& known = *features;
        work = [engine, &controller, &known, &dispatcher, weak, opening, profile, removal] {
            std::optional<ProfilePlan> plan;
            try {
                // Every optional feature with its state now; the window's choices say which the run makes.
                const Choices none;
                const RunChoices offered{known, none};
                plan = engine->PlanRun(controller, profile, {true, removal, nullptr, &offered, true});
            } catch (...) {
                // Told as a plan that could not be made.
            }
            dispatcher.TryEnqueue([weak, opening, plan = std::move(plan)]() mutable {
                if (const auto self = weak.lock()) {
                    (*self)->OnPlanned(opening, std::move(plan));
                }
            });
        };
    } else if (scanWanted_ && page == PageState::Profiles) {
        const SettingsProfile applied = appliedProfile;
        const FeatureIndex& known = *features;
        work = [engine, &controller, &known, &dispatcher, weak, opening, applied] {
            std::optional<PcStatus> status;
            try {
                status = engine->Scan(controller, applied, known);
            } catch (...) {
                // Told as a scan that could not be made.
            }
            dispatcher.TryEnqueue([weak, opening, status = std::move(status)]() mutable {
                if (const auto self = weak.lock()) {
                    (*self)->OnScanned(opening, std::move(status));
                }
            });
        };
    } else {
        return;
    }
    reviewWanted_ = false;
    scanWanted_ = false;
    readBusy_ = engine->StartWork(std::move(work));
    if (!readBusy_) {
        (page == PageState::Review ? reviewFailed : pcCheckFailed) = true;
    }
}

void MainWindow::OnScanned(std::uint64_t opening, std::optional<PcStatus> status) {
    readBusy_ = false;
    if (opening == opening_ && run.pageState.load() == PageState::Profiles) {
        pcStatus = std::move(status);
        if (pcStatus && !keepBusy_) {
            keeping_ = pcStatus->keeping;
        }
        if (pcStatus && !choicesEdited) {
            choices = pcStatus->choices;
        }
        pcCheckFailed = !pcStatus.has_value();
        RefreshUi();
    }
    StartNextRead();
}

void MainWindow::OnPlanned(std::uint64_t opening, std::optional<ProfilePlan> plan) {
    readBusy_ = false;
    if (opening == opening_ && run.pageState.load() == PageState::Review) {
        reviewPlan = std::move(plan);
        reviewFailed = !reviewPlan.has_value();
        RefreshUi();
    }
    StartNextRead();
}

void MainWindow::RefreshCardStatus() {
    for (SettingsProfile profile = kEssentialProfile; profile <= kMaximumProfile; ++profile) {
        Control& card = Card(profile);
        Control& status = *card.Children()[2];
        Control& changed = *card.Children()[3];
        std::size_t changedCount = 0;
        if (pcStatus) {
            const ProfileStatus& found = pcStatus->profiles[static_cast<std::size_t>(profile)];
            status.SetText(
                FillText(FillText(Text(TextId::CardInEffect), L"{n}", Count(found.counts.inEffect)), L"{m}",
                         Count(found.counts.changes)));
            changedCount = profile == appliedProfile ? found.changedSinceRun : 0;
        }
        status.SetVisibility(pcStatus ? V : C);
        // What turned back is named after the Windows update that did it, when there was one.
        const bool updated = changedCount > 0 && !pcStatus->buildAtRun.empty() &&
                             !pcStatus->buildNow.empty() && pcStatus->buildAtRun != pcStatus->buildNow;
        changed.SetText(updated ? FillText(FillText(FillText(Text(TextId::CardWindowsUpdated), L"{from}",
                                                             pcStatus->buildAtRun),
                                                    L"{to}", pcStatus->buildNow),
                                           L"{k}", Count(changedCount))
                        : changedCount == 1
                            ? Text(TextId::CardChangedSinceOne)
                            : FillText(Text(TextId::CardChangedSince), L"{k}", Count(changedCount)));
        changed.SetVisibility(changedCount > 0 ? V : C);
    }
    std::wstring state;
    if (pcCheckFailed) {
        state = Text(TextId::CheckFailed);
    } else if (!pcStatus && services_.engine != nullptr) {
        state = Text(TextId::CheckingPc);
    }
    CheckStateText.SetText(state);
    CheckStateText.SetVisibility(state.empty() ? C : V);
    RestoreButton.SetVisibility(pcStatus && pcStatus->restorable ? V : C);
    ChangesMadeButton.SetVisibility(pcStatus && pcStatus->restorable ? V : C);
    RefreshKeepSwitches();
    ProfileTools.SetVisibility(
        !state.empty() || (pcStatus && pcStatus->restorable) || KeepCheckBox.IsShown() ? V : C);
}

void MainWindow::RefreshReviewPage() {
    const SettingsProfile profile = run.selectedProfile.load();
    const std::wstring title = profile >= kEssentialProfile && profile <= kMaximumProfile
                                   ? Card(profile).Children()[0]->Text()
                                   : std::wstring();
    ReviewTitleText.SetText(FillText(Text(TextId::ReviewTitle), L"{profile}", title));
    const bool account = reviewPlan && !reviewPlan->targetAccount.empty();
    ReviewAccountText.SetText(
        account ? FillText(Text(TextId::ReviewAccount), L"{account}", reviewPlan->targetAccount) : L"");
    ReviewAccountText.SetVisibility(account ? V : C);
    if (reviewPlan) {
        const std::size_t selectedFeature = SelectedFeature();
        reviewFeatures = MakeFeatureList(*reviewPlan, *features, OnlyChangesCheckBox.IsChecked());
        std::size_t changing = 0;
        std::size_t inEffect = 0;
        std::size_t items = 0;
        for (const FeatureEntries& group : reviewFeatures.groups) {
            // The optional features not included are counted in nothing, as kept ones are not either.
            if (features->Features().size() <= group.feature ||
                !features->Features()[group.feature].optional || RunMakes(group, *features, choices)) {
                (group.Changes() ? changing : inEffect) += 1;
                items += group.entries.size();
            }
        }
        std::wstring text = Text(TextId::ReviewFeatureCounts);
        text = FillText(text, L"{features}", Count(changing + inEffect));
        text = FillText(text, L"{change}", Count(changing));
        text = FillText(text, L"{effect}", Count(inEffect));
        ReviewCountsText.SetText(FillText(text, L"{items}", Count(items)));
        std::vector<bool> headings;
        for (const FeatureListModel::Row& row : reviewFeatures.rows) {
            headings.push_back(row.heading);
        }
        FeatureList.SetRows(FeatureListRows(reviewFeatures, *features, profile, choices, services_.texts),
                            std::move(headings));
        FeatureList.SetRowChecks(FeatureRowChecks(reviewFeatures, *features, choices));
        if (!choices.Empty()) {
            ReviewCountsText.SetText(
                ReviewCountsText.Text() + L" " +
                FillText(Text(TextId::FeaturesKept), L"{k}", Count(choices.kept.size())));
        }
        // The same feature stays selected when the list is filtered or refreshed; else the first one.
        int select = -1;
        for (std::size_t i = 0; i < reviewFeatures.rows.size(); ++i) {
            const FeatureListModel::Row& row = reviewFeatures.rows[i];
            if (!row.heading && (select < 0 || reviewFeatures.groups[row.group].feature == selectedFeature)) {
                select = static_cast<int>(i);
                if (reviewFeatures.groups[row.group].feature == selectedFeature) {
                    break;
                }
            }
        }
        FeatureList.SetSelectedIndex(select);
    } else {
        ReviewCountsText.SetText(Text(reviewFailed ? TextId::CheckFailed : TextId::CheckingPc));
        reviewFeatures = {};
        FeatureList.SetRows({});
        FeatureList.SetRowChecks({});
        FeatureList.SetSelectedIndex(-1);
    }
    RefreshFeatureDetails();
    OnlyChangesCheckBox.SetEnabled(reviewPlan.has_value());
    ExportButton.SetEnabled(reviewPlan.has_value());
    ExportChoicesButton.SetEnabled(reviewPlan.has_value());
    ImportChoicesButton.SetEnabled(reviewPlan.has_value());
    ExportNoticeText.SetVisibility(ExportNoticeText.Text().empty() ? C : V);
}

void MainWindow::OnReviewClick() {
    const SettingsProfile selected = run.selectedProfile.load();
    if (services_.engine == nullptr || selected < kEssentialProfile || selected > kMaximumProfile) {
        return;
    }
    run.pageState = PageState::Review;
    RefreshUi();
}

void MainWindow::OnOnlyChangesClick() {
    RefreshUi(); // the box has its new state already
}

void MainWindow::OnFeatureSelected() {
    RefreshFeatureDetails();
}

std::size_t MainWindow::SelectedFeature() const {
    const int index = FeatureList.SelectedIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= reviewFeatures.rows.size() ||
        reviewFeatures.rows[static_cast<std::size_t>(index)].heading) {
        return features->Features().size();
    }
    return reviewFeatures.groups[reviewFeatures.rows[static_cast<std::size_t>(index)].group].feature;
}

void MainWindow::RefreshFeatureDetails() {
    const int index = FeatureList.SelectedIndex();
    std::wstring text;
    if (index >= 0 && static_cast<std::size_t>(index) < reviewFeatures.rows.size()) {
        const FeatureListModel::Row& row = reviewFeatures.rows[static_cast<std::size_t>(index)];
        // A category's heading tells what its features are when it is reached with the arrow keys.
        text = row.heading ? std::wstring(CategoryTitle(row.category).In(language))
                           : Velmora::FeatureDetailsText(reviewFeatures.groups[row.group], *features,
                                                         run.selectedProfile.load(), choices,
                                                         OnlyChangesCheckBox.IsChecked(), services_.texts);
    }
    FeatureDetailsText.SetReadOnly(false);
    FeatureDetailsText.SetText(text);
    FeatureDetailsText.SetReadOnly(true);
}

void MainWindow::OnExportClick() {
    if (!reviewPlan) {
        return;
    }
    const ExportDialog dialog{Text(TextId::ExportTitle), Text(TextId::ExportJsonFilter),
                              Text(TextId::ExportRegFilter),
                              L"Velmora-" + ProfileName(reviewPlan->profile) + L"-plan"};
    const std::optional<ExportTarget> target = services_.platform.AskExportFile(dialog);
    if (!target) {
        return;
    }
    bool saved = false;
    try {
        // What the run will plan: the optional features offered but not included are no part of it.
        ProfilePlan planned = *reviewPlan;
        std::erase_if(planned.entries, [this](const PlanEntry& entry) {
            const std::optional<std::size_t> feature = features->FeatureOf(entry.target);
            return feature && features->Features()[*feature].optional && !choices.Includes(*feature);
        });
        const std::string bytes = target->format == ExportFormat::Registry
                                      ? Utf16RegistryFileBytes(PlanRegistryFile(planned))
                                      : PlanJsonDocument(planned);
        saved = services_.platform.SaveFile(target->path, bytes);
    } catch (const std::exception&) {
        saved = false;
    }
    ExportNoticeText.SetText(
        FillText(Text(saved ? TextId::ExportSaved : TextId::ExportFailed), L"{path}", target->path));
    RefreshUi();
}

// ---- runs and restores ----

PipelineRunner MainWindow::EngineRunner(bool appRemoval) {
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancel_ = cancel;
    WindowEngine& engine = *services_.engine;
    std::weak_ptr<MainWindow*> weak = self_;
    DispatcherQueue& dispatcher = services_.dispatcher;
    const std::function<void(const RunProgress&)> reached = PostTo(&MainWindow::OnRunProgress);
    WindowPlatform& platform = services_.platform;
    const FeatureIndex& known = *features;
    return [cancel, &engine, weak, &dispatcher, reached, appRemoval, &platform,
            &known](const ApplyRunContext& context) {
        RunReport report;
        std::int32_t outcome = kFailureThreshold - 1;
        try {
            if (!cancel->load()) { // closed during the start delay: nothing is changed
                ProgressPoster poster(reached);
                RunOptions options;
                options.cancel = cancel.get();
                options.progress = [&poster](const RunProgress& item) { poster.Offer(item); };
                options.appRemoval = appRemoval;
                options.startAppRemoval = [&platform](std::vector<std::wstring> names) {
                    return platform.StartAppRemoval(std::move(names));
                };
                // The features kept as they are, as stored when Apply was pressed (Try Again too).
                const Choices stored = engine.ReadChoices(known);
                const RunChoices kept{known, stored};
                options.choices = &kept;
                outcome = engine.Run(context, options, report);
            }
        } catch (...) {
            report.message = L"The run stopped on an unexpected error.";
        }
        dispatcher.TryEnqueue([weak, report = std::move(report)]() mutable {
            if (const auto self = weak.lock()) {
                (*self)->OnRunEnded(std::move(report));
            }
        });
        return outcome;
    };
}

void MainWindow::ShowStatusPanel(Control* panel) {
    for (Control* each : {&ProgressPanel, &SuccessPanel, &FailurePanel, &RestoreResultPanel}) {
        each->SetVisibility(each == panel ? V : C);
    }
    StatusArea.SetVisibility(panel != nullptr ? V : C);
    detailsShown_ = false;
    DetailsList.SetVisibility(C);
    DetailsList.SetRows({});
    RefreshResultTools();
}

void MainWindow::RefreshResultTools() {
    const bool failure = FailurePanel.GetVisibility() == V;
    const bool result =
        failure || SuccessPanel.GetVisibility() == V || RestoreResultPanel.GetVisibility() == V;
    ResultTools.SetVisibility(result && services_.engine != nullptr ? V : C);
    const bool details = activity == WindowActivity::None &&
                         (restoreShown_ ? lastRestore && !lastRestore->refused : lastReport.has_value());
    ShowDetailsButton.SetEnabled(details);
    ShowDetailsButton.SetText(Text(detailsShown_ ? TextId::HideDetails : TextId::ShowDetails));
    ShowDetailsButton.SetVisibility(changesShown_ ? C : V);
    // One feature of a run put back: from its details, or from the changes the newest run made.
    const bool canPutBack = detailsShown_ && !restoreShown_ && lastReport && !lastReport->journalPath.empty();
    PutBackButton.SetVisibility(canPutBack ? V : C);
    PutBackButton.SetEnabled(activity == WindowActivity::None && DetailsFeature().has_value());
    // A failed run goes back to the profiles with its own Cancel.
    DoneButton.SetVisibility(failure ? C : V);
}

void MainWindow::OnRunProgress(const RunProgress& reached) {
    if (activity == WindowActivity::None) {
        return; // late: the result is shown already
    }
    progress = reached;
    ProgressRing.SetProgress(reached.done, reached.total);
    std::wstring text =
        FillText(Text(TextId::ProgressStep), L"{step}", StepText(reached.step, services_.texts));
    text = FillText(FillText(text, L"{index}", Count(reached.index)), L"{total}", Count(reached.stepTotal));
    ProgressStepText.SetText(text);
    ProgressRing.SetText(text);
}

void MainWindow::OnRunEnded(RunReport report) {
    activity = WindowActivity::None;
    cancel_.reset();
    lastReport = std::move(report);
    if (closing) {
        services_.platform.EndProgram();
        return;
    }
    if (ProgressPanel.GetVisibility() == V) {
        ShowFailure(); // the run stopped before it could show a result; the lock goes back all the same
    }
    RefreshResultTools();
}

void MainWindow::OnRestoreClick() {
    if (!pcStatus || !pcStatus->restorable || activity != WindowActivity::None) {
        return;
    }
    const RestorableRun last = *pcStatus->restorable;
    std::wstring profile = last.profile;
    for (SettingsProfile each = kEssentialProfile; each <= kMaximumProfile; ++each) {
        if (ProfileName(each) == last.profile) {
            profile = Card(each).Children()[0]->Text();
        }
    }
    const ConfirmationDialog dialog =
        Question(TextId::RestoreQuestionTitle,
                 FillText(FillText(Text(TextId::RestoreQuestion), L"{profile}", profile), L"{date}",
                          JournalTime(last.startedUtc)),
                 TextId::RestoreConfirm, TextId::Cancel, true);
    std::weak_ptr<MainWindow*> weak = self_;
    DispatcherQueue& dispatcher = services_.dispatcher;
    services_.platform.ShowDialog(dialog, [weak, &dispatcher, path = last.journalPath](DialogResult result) {
        if (result == DialogResult::Primary) {
            dispatcher.TryEnqueue([weak, path] {
                if (const auto self = weak.lock()) {
                    (*self)->StartRestore(path);
                }
            });
        }
    });
}

void MainWindow::StartRestore(const std::wstring& journalPath, std::optional<std::size_t> only) {
    WindowEngine* engine = services_.engine;
    if (engine == nullptr || activity != WindowActivity::None || closing || !ClaimRun()) {
        return;
    }
    puttingBack_ = only;
    changesShown_ = false;
    run.pageState = PageState::Applying;
    refreshedPage_ = PageState::Applying;
    for (Control* control : {&BackButton, &ContinueButton, &ApplyButton, &ProfilesPage, &AlreadyAppliedPanel,
                             &ReviewPage, &ReviewButton}) {
        control->SetVisibility(C);
    }
    activity = WindowActivity::Restore;
    restoreShown_ = true;
    progress.reset();
    lastRestore.reset();
    ShowStatusPanel(&ProgressPanel);
    RefreshTexts();
    ProgressRing.SetProgress(0, 0);
    ProgressRing.SetText(Text(TextId::Preparing));
    ProgressStepText.SetText(Text(TextId::Preparing));
    const std::function<void(const RunProgress&)> reached = PostTo(&MainWindow::OnRunProgress);
    const std::function<void(RestoreResult)> restored = PostTo(&MainWindow::OnRestored);
    std::optional<RestoreOnly> feature;
    if (only) {
        feature.emplace(RestoreOnly{*features, {*only}});
    }
    const bool started = engine->StartWork([engine, journalPath, reached, restored, feature] {
        RestoreResult result;
        try {
            ProgressPoster poster(reached);
            result = engine->Restore(
                journalPath, [&poster](const RunProgress& item) { poster.Offer(item); },
                feature ? &*feature : nullptr);
        } catch (...) {
            result.refused = true;
            result.message = L"The restore stopped on an unexpected error.";
        }
        restored(std::move(result));
    });
    if (!started) {
        RestoreResult result;
        result.refused = true;
        OnRestored(std::move(result));
    }
}

void MainWindow::OnRestored(RestoreResult result) {
    activity = WindowActivity::None;
    if (services_.releaseRun) {
        services_.releaseRun();
    }
    ReloadAppliedState(); // the restore put back what the run had recorded as applied
    if (closing) {
        services_.platform.EndProgram();
        return;
    }
    const bool complete = !result.refused && result.failed.empty();
    RestoreResultTitleText.SetText(Text(result.refused ? TextId::FailureTitle
                                        : complete     ? TextId::RestoredTitle
                                                       : TextId::RestorePartlyTitle));
    std::wstring message;
    if (result.refused) {
        message = FillText(Text(TextId::RestoreRefused), L"{reason}", result.message);
    } else {
        message = FillText(Text(TextId::RestoreSummary), L"{restored}",
                           Count(result.restored.size() + result.removedKeys.size()));
        message = FillText(FillText(message, L"{failed}", Count(result.failed.size())), L"{gone}",
                           Count(result.cannotComeBack.size()));
    }
    // A feature put back stays as it is from now on, so that the next Apply does not undo it.
    if (puttingBack_ && !result.refused && !result.cancelled && services_.engine != nullptr) {
        const std::string_view id = features->Features()[*puttingBack_].id;
        if (services_.engine->KeepToo({std::wstring(id.begin(), id.end())}).succeeded) {
            choices.kept.try_emplace(*puttingBack_, ChoiceSource::Stored);
            message += L" " + FillText(Text(TextId::PutBackDone), L"{feature}",
                                       std::wstring(features->Features()[*puttingBack_].title.In(language)));
        }
    }
    puttingBack_.reset();
    if (result.keepingTurnedOff) {
        keeping_ = false;
        message += L" " + Text(TextId::KeepTurnedOff);
    }
    RestoreResultMessageText.SetText(message);
    lastRestore = std::move(result);
    ShowStatusPanel(&RestoreResultPanel);
}

void MainWindow::OnShowDetailsClick() {
    detailsShown_ = !detailsShown_;
    detailsFeatures_.clear();
    const ErrorDescriber describe = [this](std::uint32_t error) {
        const std::wstring words = services_.platform.ErrorMessage(error, language);
        return words.empty() ? FillText(Text(TextId::ErrorNumber), L"{code}", ErrorCode(error))
                             : FillText(FillText(Text(TextId::ErrorText), L"{text}", words), L"{code}",
                                        ErrorCode(error));
    };
    ListRows rows;
    if (detailsShown_ && restoreShown_ && lastRestore) {
        rows = RestoreResultRows(*lastRestore, services_.texts, describe);
    } else if (detailsShown_ && lastReport) {
        rows = RunResultRows(*lastReport, *features, services_.texts, describe, &detailsFeatures_);
    }
    DetailsList.SetColumns(ResultColumns(services_.texts, restoreShown_));
    DetailsList.SetRows(std::move(rows));
    DetailsList.SetVisibility(detailsShown_ ? V : C);
    RefreshResultTools();
}

void MainWindow::OnOpenLogFolderClick() {
    services_.platform.OpenLogFolder();
}

void MainWindow::OnDoneClick() {
    changesShown_ = false;
    ReloadAppliedState();
    run.pageState = PageState::Profiles;
    restoreShown_ = false;
    ShowStatusPanel(nullptr);
    RefreshTexts();
    RefreshUi();
}

void MainWindow::ReloadAppliedState() {
    const StartupSettings stored = ReadStartupSettings(services_.settings);
    appliedProfile = stored.appliedProfile;
    appliedProfileBuild = stored.appliedProfileBuild;
}

// ---- closing ----

bool MainWindow::OnCloseRequested() {
    if (closing) {
        return false; // it closes once the run has stopped
    }
    if (activity == WindowActivity::None) {
        return true;
    }
    const ConfirmationDialog dialog = Question(TextId::CloseQuestionTitle, Text(TextId::CloseQuestion),
                                               TextId::StopAndClose, TextId::Wait, false);
    std::weak_ptr<MainWindow*> weak = self_;
    DispatcherQueue& dispatcher = services_.dispatcher;
    services_.platform.ShowDialog(dialog, [weak, &dispatcher](DialogResult result) {
        if (result != DialogResult::Primary) {
            return; // wait
        }
        dispatcher.TryEnqueue([weak] {
            const auto self = weak.lock();
            if (!self) {
                return;
            }
            MainWindow& window = **self;
            window.closing = true;
            if (window.activity == WindowActivity::None) {
                window.services_.platform.EndProgram(); // it ended while the question was open
                return;
            }
            if (window.cancel_) {
                *window.cancel_ = true; // the run stops after its current item and closes its journal
            }
            window.services_.platform.HideWindow();
        });
    });
    return false;
}

} // namespace Velmora::implementation
