// The main window's choices: features kept as they are (ticked on the Review page, saved when Apply is
// pressed, exported and imported as a small file), and one feature put back from a run's details or from
// the changes the newest run made.

#include "common/diagnostics.h"
#include "common/dispatcher_queue.h"
#include "engine/engine.h"
#include "ui/main_window.h"
#include "ui/text/localized_text_table.h"
#include "ui/window_engine.h"

namespace Velmora::implementation {
void MainWindow::OnFeatureToggled(std::size_t row) {
    if (row >= reviewFeatures.rows.size() || reviewFeatures.rows[row].heading) {
        return;
    }
    const FeatureEntries& group = reviewFeatures.groups[reviewFeatures.rows[row].group];
    const std::size_t feature = group.feature;
    if (feature >= features->Features().size() || !features->Features()[feature].keepable ||
        choices.LockedByPolicy(feature) || choices.IncludeLockedByPolicy(feature)) {
        return; // set by the organisation, or written by every run
    }
    const bool optional = features->Features()[feature].optional;
    if (optional && group.entries.empty()) {
        return; // not on this Windows
    }
    // Ticked means made: an optional feature is included, any other not kept.
    auto& chosen = optional ? choices.included : choices.kept;
    if (!chosen.erase(feature)) {
        chosen.emplace(feature, ChoiceSource::Stored);
    }
    choicesEdited = true;
    FeatureList.SetSelectedIndex(static_cast<int>(row));
    RefreshUi();
}

void MainWindow::SaveEditedChoices() {
    if (!choicesEdited || services_.engine == nullptr) {
        return;
    }
    // The store holds the user's own choices; a policy keeps its own apart.
    const auto stored = [this](const std::map<std::size_t, ChoiceSource>& chosen) {
        std::vector<std::wstring> ids;
        for (const auto& [feature, source] : chosen) {
            if (source != ChoiceSource::Policy) {
                const std::string_view id = features->Features()[feature].id;
                ids.emplace_back(id.begin(), id.end());
            }
        }
        return ids;
    };
    const WriteOutcome saved = services_.engine->SaveChoices(stored(choices.kept), stored(choices.included));
    choicesEdited = !saved.succeeded;
    if (!saved.succeeded) {
        Diagnose(L"The choices could not be stored: error " + std::to_wstring(saved.error));
    }
}

void MainWindow::OnExportChoicesClick() {
    const std::optional<std::wstring> path = services_.platform.AskChoicesFile(
        {true, Text(TextId::ChoicesFileTitle), Text(TextId::ChoicesFilter)});
    if (!path) {
        return;
    }
    const bool saved = services_.platform.SaveFile(
        *path, ChoicesFileText({choices.KeptIds(*features), choices.IncludedIds(*features)}));
    ExportNoticeText.SetText(
        FillText(Text(saved ? TextId::ExportSaved : TextId::ExportFailed), L"{path}", *path));
    RefreshUi();
}

void MainWindow::OnImportChoicesClick() {
    const std::optional<std::wstring> path = services_.platform.AskChoicesFile(
        {false, Text(TextId::ChoicesFileTitle), Text(TextId::ChoicesFilter)});
    if (!path) {
        return;
    }
    // Someone else's file: every part of it is checked, and nothing changes unless all of it holds.
    std::string bytes;
    std::wstring error;
    std::optional<ChoicesFile> ids;
    if (services_.platform.ReadSmallFile(*path, kMaxChoicesFileBytes, bytes, error)) {
        ids = ParseChoicesFile(bytes, error);
    }
    Choices imported;
    for (const auto& [from, to] :
         {std::pair{&choices.kept, &imported.kept}, std::pair{&choices.included, &imported.included}}) {
        for (const auto& [feature, source] : *from) {
            if (source == ChoiceSource::Policy) {
                to->emplace(feature, source);
            }
        }
    }
    if (ids) {
        AddChoices(imported, *features, ids->keep, ChoiceSource::Stored);
        AddChoices(imported, *features, ids->include, ChoiceSource::Stored, ChoiceKind::Include);
        if (!imported.ignored.empty()) {
            error = imported.ignored.front();
            ids.reset();
        }
    }
    if (!ids) {
        ExportNoticeText.SetText(FillText(Text(TextId::ChoicesRefused), L"{reason}", error));
        RefreshUi();
        return;
    }
    choices = std::move(imported);
    choicesEdited = true;
    ExportNoticeText.SetText(FillText(FillText(Text(TextId::ChoicesImported), L"{path}", *path), L"{k}",
                                      std::to_wstring(choices.kept.size())));
    RefreshUi();
}

std::optional<std::size_t> MainWindow::DetailsFeature() const {
    const int row = DetailsList.SelectedIndex();
    if (restoreShown_ || row < 0 || static_cast<std::size_t>(row) >= detailsFeatures_.size()) {
        return std::nullopt;
    }
    const auto feature = detailsFeatures_[static_cast<std::size_t>(row)];
    return feature && features->Features()[*feature].keepable ? feature : std::nullopt;
}

void MainWindow::OnDetailsSelected() {
    RefreshResultTools();
}

void MainWindow::OnPutBackClick() {
    const std::optional<std::size_t> feature = DetailsFeature();
    if (feature && lastReport && !lastReport->journalPath.empty()) {
        StartRestore(lastReport->journalPath, feature);
    }
}

void MainWindow::OnChangesMadeClick() {
    WindowEngine* engine = services_.engine;
    if (engine == nullptr || !pcStatus || !pcStatus->restorable || activity != WindowActivity::None) {
        return;
    }
    const std::function<void(std::optional<RunReport>)> read = PostTo(&MainWindow::OnRunRead);
    const bool started = engine->StartWork([engine, read, path = pcStatus->restorable->journalPath] {
        std::wstring error;
        std::optional<RunReport> report;
        try {
            report = engine->ReadRun(path, error);
        } catch (...) {
            // Told as a journal that could not be read.
        }
        read(std::move(report));
    });
    if (!started) {
        OnRunRead(std::nullopt);
    }
}

void MainWindow::OnRunRead(std::optional<RunReport> report) {
    if (!report || activity != WindowActivity::None || run.pageState.load() != PageState::Profiles) {
        pcCheckFailed = !report.has_value();
        RefreshUi();
        return;
    }
    std::wstring profile = report->message;
    for (SettingsProfile each = kEssentialProfile; each <= kMaximumProfile; ++each) {
        if (ProfileName(each) == report->message) {
            profile = Card(each).Children()[0]->Text();
        }
    }
    lastReport = std::move(report);
    run.pageState = PageState::Applying;
    refreshedPage_ = PageState::Applying;
    for (Control* control : {&BackButton, &ContinueButton, &ApplyButton, &ProfilesPage, &AlreadyAppliedPanel,
                             &ReviewPage, &ReviewButton}) {
        control->SetVisibility(Visibility::Collapsed);
    }
    restoreShown_ = false;
    changesShown_ = true;
    ShowStatusPanel(&RestoreResultPanel);
    RestoreResultTitleText.SetText(FillText(Text(TextId::ChangesMadeTitle), L"{profile}", profile));
    RestoreResultMessageText.SetText(Text(TextId::ChangesMadeMessage));
    OnShowDetailsClick(); // the list is what this view is for
}

} // namespace Velmora::implementation
