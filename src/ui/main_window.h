#pragma once

#include "common/dispatcher_queue.h"
#include "engine/engine.h"
#include "engine/feature_items.h"
#include "engine/keep_settings.h"
#include "engine/pc_status.h"
#include "ui/feature_rows.h"
#include "tweaks/apply_pipeline.h"
#include "ui/page_state.h"
#include "tweaks/run_controller.h"
#include "ui/control.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Velmora {
class DelayedRunner;
class DispatcherQueue;
class LocalSettingsValues;
class LocalizedTextTable;
class SystemOperations;
class WindowEngine;
} // namespace Velmora

namespace Velmora::implementation {

// The app-removal confirmation as the window asks for it; the platform shows it modally.
struct ConfirmationDialog {
    std::wstring title;
    double titleFontSize = 20.0;
    std::wstring content;
    std::wstring primaryButtonText;
    std::wstring primaryButtonStyle;
    std::wstring closeButtonText;
    FlowDirection flowDirection = FlowDirection::LeftToRight;
};
enum class DialogResult { Primary, None };

// A choices file to write (save) or to read: its path; nullopt when the user cancels.
struct ChoicesFileDialog {
    bool save = false;
    std::wstring title;
    std::wstring filter; // the name of the file type
};

// The Save As question of the plan's export.
enum class ExportFormat { Json, Registry };
struct ExportDialog {
    std::wstring title;
    std::wstring jsonFilter;     // the name of the JSON file type
    std::wstring registryFilter; // the name of the .reg file type
    std::wstring suggestedName;  // without an extension
};
struct ExportTarget {
    std::wstring path;
    ExportFormat format = ExportFormat::Json;
};

// What the window needs of the platform beyond its controls.
class WindowPlatform {
public:
    virtual ~WindowPlatform() = default;
    // Whether the application style table holds the key.
    [[nodiscard]] virtual bool HasStyle(std::wstring_view key) const = 0;
    // Shows the dialog and returns; `done` runs on the UI thread once the user has answered.
    virtual void ShowDialog(const ConfirmationDialog& dialog, std::function<void(DialogResult)> done) = 0;
    // Starts the preinstalled-app removal on a detached thread over its own copy of the list.
    virtual bool StartAppRemoval(std::vector<std::wstring> packageNames) = 0;
    virtual void RestartComputer() = 0;
    // Asks where to save a file (modal); nullopt when the user cancels.
    [[nodiscard]] virtual std::optional<ExportTarget> AskExportFile(const ExportDialog& dialog) = 0;
    [[nodiscard]] virtual bool SaveFile(const std::wstring& path, const std::string& bytes) = 0;
    [[nodiscard]] virtual std::optional<std::wstring> AskChoicesFile(const ChoicesFileDialog& dialog) = 0;
    // A small file someone may have handed over: never through a link; false with the reason.
    [[nodiscard]] virtual bool ReadSmallFile(const std::wstring& path, std::size_t maxBytes,
                                             std::string& bytes, std::wstring& error) = 0;
    // Shows the folder of the run logs to the user.
    virtual void OpenLogFolder() = 0;
    // A Windows error (an HRESULT for tasks) as Windows words it in the UI language, where it can.
    [[nodiscard]] virtual std::wstring ErrorMessage(std::uint32_t error, std::int32_t language) = 0;
    // Closing while a run finishes: the window goes out of sight, and the program ends later.
    virtual void HideWindow() = 0;
    virtual void EndProgram() = 0;
};

// What the window works with; everything outlives the window.
struct WindowServices {
    LocalSettingsValues& settings;
    LocalizedTextTable& texts;
    SystemOperations& system;
    DelayedRunner& timer;
    DispatcherQueue& dispatcher; // of RootGrid: runs closures on the UI thread
    WindowPlatform& platform;
    // Carries out a requested run; empty: the plain pipeline (the program journals its runs).
    PipelineRunner runPipeline = {};
    // The engine: scans, plans, journaled runs with progress, restores. Null: none of these, and runs
    // go through `runPipeline`.
    WindowEngine* engine = nullptr;
    // The PC's one run lock, taken when a run is requested and given back when its result is shown;
    // false when another Velmora run holds it. Empty: always granted.
    std::function<bool()> claimRun = {};
    std::function<void()> releaseRun = {};
};

// What the window is doing besides showing itself; a scan is not an activity.
enum class WindowActivity { None, Run, Restore };

inline constexpr std::wstring_view kDefaultButtonStyle = L"DefaultButtonStyle";
inline constexpr std::wstring_view kAccentButtonStyle = L"AccentButtonStyle";

// The main window's state, its named controls and its handlers. Everything here runs on the UI
// thread, except what an apply run reads through `run` and the controller.
class MainWindow {
public:
    explicit MainWindow(WindowServices services);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Makes every control reflect the state. Idempotent.
    void RefreshUi();

    // Named controls, in tree order, which is also the order Tab moves the focus in. The unnamed
    // panels (content area, card row, failure buttons, footer) only arrange the named ones.
    Control RootGrid{L"RootGrid", ControlKind::Panel};
    Control ContentArea{L"ContentArea", ControlKind::Panel, &RootGrid};
    Control WelcomePage{L"WelcomePage", ControlKind::Panel, &ContentArea};
    Control WelcomeTitleText{L"WelcomeTitleText", ControlKind::TextBlock, &WelcomePage};
    Control LanguagePromptText{L"LanguagePromptText", ControlKind::TextBlock, &WelcomePage};
    Control LanguageComboBox{L"LanguageComboBox", ControlKind::ComboBox, &WelcomePage};
    Control TermsPage{L"TermsPage", ControlKind::Panel, &ContentArea};
    Control AgreementTextBox{L"AgreementTextBox", ControlKind::TextBox, &TermsPage};
    Control TermsCheckBox{L"TermsCheckBox", ControlKind::CheckBox, &TermsPage};
    Control ProfilesPage{L"ProfilesPage", ControlKind::Panel, &ContentArea};
    Control ProfileCards{L"ProfileCards", ControlKind::Panel, &ProfilesPage};
    Control EssentialCardButton{L"EssentialCardButton", ControlKind::Button, &ProfileCards};
    Control EssentialTitleText{L"EssentialTitleText", ControlKind::TextBlock, &EssentialCardButton};
    Control EssentialDescriptionText{L"EssentialDescriptionText", ControlKind::TextBlock,
                                     &EssentialCardButton};
    Control EssentialStatusText{L"EssentialStatusText", ControlKind::TextBlock, &EssentialCardButton};
    Control EssentialChangedText{L"EssentialChangedText", ControlKind::TextBlock, &EssentialCardButton};
    Control EssentialUpdateBadge{L"EssentialUpdateBadge", ControlKind::Panel, &EssentialCardButton};
    Control EssentialUpdateBadgeText{L"EssentialUpdateBadgeText", ControlKind::TextBlock,
                                     &EssentialUpdateBadge};
    Control StandardCardButton{L"StandardCardButton", ControlKind::Button, &ProfileCards};
    Control StandardTitleText{L"StandardTitleText", ControlKind::TextBlock, &StandardCardButton};
    Control StandardDescriptionText{L"StandardDescriptionText", ControlKind::TextBlock, &StandardCardButton};
    Control StandardStatusText{L"StandardStatusText", ControlKind::TextBlock, &StandardCardButton};
    Control StandardChangedText{L"StandardChangedText", ControlKind::TextBlock, &StandardCardButton};
    Control StandardUpdateBadge{L"StandardUpdateBadge", ControlKind::Panel, &StandardCardButton};
    Control StandardUpdateBadgeText{L"StandardUpdateBadgeText", ControlKind::TextBlock, &StandardUpdateBadge};
    Control MaximumCardButton{L"MaximumCardButton", ControlKind::Button, &ProfileCards};
    Control MaximumTitleText{L"MaximumTitleText", ControlKind::TextBlock, &MaximumCardButton};
    Control MaximumDescriptionText{L"MaximumDescriptionText", ControlKind::TextBlock, &MaximumCardButton};
    Control MaximumStatusText{L"MaximumStatusText", ControlKind::TextBlock, &MaximumCardButton};
    Control MaximumChangedText{L"MaximumChangedText", ControlKind::TextBlock, &MaximumCardButton};
    Control MaximumUpdateBadge{L"MaximumUpdateBadge", ControlKind::Panel, &MaximumCardButton};
    Control MaximumUpdateBadgeText{L"MaximumUpdateBadgeText", ControlKind::TextBlock, &MaximumUpdateBadge};
    Control RemoveAppsContainer{L"RemoveAppsContainer", ControlKind::Panel, &ProfilesPage};
    Control RemoveAppsCheckBox{L"RemoveAppsCheckBox", ControlKind::CheckBox, &RemoveAppsContainer};
    Control RemoveAppsText{L"RemoveAppsText", ControlKind::TextBlock, &RemoveAppsContainer};
    // What the last look at the PC found, and the way back to the settings before the last run.
    Control ProfileTools{L"ProfileTools", ControlKind::Panel, &ProfilesPage};
    // Keeping settings in place: the same switch here and on the success panel.
    Control KeepCheckBox{L"KeepCheckBox", ControlKind::CheckBox, &ProfileTools};
    Control CheckStateText{L"CheckStateText", ControlKind::TextBlock, &ProfileTools};
    Control RestoreButton{L"RestoreButton", ControlKind::Button, &ProfileTools};
    Control ChangesMadeButton{L"ChangesMadeButton", ControlKind::Button, &ProfileTools};
    // The plan of the selected profile, before it is applied.
    Control ReviewPage{L"ReviewPage", ControlKind::Panel, &ContentArea};
    Control ReviewTitleText{L"ReviewTitleText", ControlKind::TextBlock, &ReviewPage};
    Control ReviewAccountText{L"ReviewAccountText", ControlKind::TextBlock, &ReviewPage};
    Control ReviewCountsText{L"ReviewCountsText", ControlKind::TextBlock, &ReviewPage};
    Control ReviewTools{L"ReviewTools", ControlKind::Panel, &ReviewPage};
    Control OnlyChangesCheckBox{L"OnlyChangesCheckBox", ControlKind::CheckBox, &ReviewTools};
    Control ExportNoticeText{L"ExportNoticeText", ControlKind::TextBlock, &ReviewTools};
    Control ExportButton{L"ExportButton", ControlKind::Button, &ReviewTools};
    Control ExportChoicesButton{L"ExportChoicesButton", ControlKind::Button, &ReviewTools};
    Control ImportChoicesButton{L"ImportChoicesButton", ControlKind::Button, &ReviewTools};
    // The features of the plan by category; the selected one's description, warnings and items below it.
    Control FeatureList{L"FeatureList", ControlKind::ListView, &ReviewPage};
    Control FeatureDetailsText{L"FeatureDetailsText", ControlKind::TextBox, &ReviewPage};
    Control StatusArea{L"StatusArea", ControlKind::Panel, &ContentArea};
    Control ProgressPanel{L"ProgressPanel", ControlKind::Panel, &StatusArea};
    Control ApplyingTitleText{L"ApplyingTitleText", ControlKind::TextBlock, &ProgressPanel};
    Control ApplyingMessageText{L"ApplyingMessageText", ControlKind::TextBlock, &ProgressPanel};
    Control ProgressRing{L"ProgressRing", ControlKind::ProgressRing, &ProgressPanel};
    Control ProgressStepText{L"ProgressStepText", ControlKind::TextBlock, &ProgressPanel};
    Control SuccessPanel{L"SuccessPanel", ControlKind::Panel, &StatusArea};
    Control SuccessTitleText{L"SuccessTitleText", ControlKind::TextBlock, &SuccessPanel};
    Control SuccessMessageText{L"SuccessMessageText", ControlKind::TextBlock, &SuccessPanel};
    Control SuccessKeepCheckBox{L"SuccessKeepCheckBox", ControlKind::CheckBox, &SuccessPanel};
    Control RestartButton{L"RestartButton", ControlKind::Button, &SuccessPanel};
    Control FailurePanel{L"FailurePanel", ControlKind::Panel, &StatusArea};
    Control FailureTitleText{L"FailureTitleText", ControlKind::TextBlock, &FailurePanel};
    Control FailureMessageText{L"FailureMessageText", ControlKind::TextBlock, &FailurePanel};
    Control FailureButtons{L"FailureButtons", ControlKind::Panel, &FailurePanel};
    Control TryAgainButton{L"TryAgainButton", ControlKind::Button, &FailureButtons};
    Control CancelButton{L"CancelButton", ControlKind::Button, &FailureButtons};
    Control RestoreResultPanel{L"RestoreResultPanel", ControlKind::Panel, &StatusArea};
    Control RestoreResultTitleText{L"RestoreResultTitleText", ControlKind::TextBlock, &RestoreResultPanel};
    Control RestoreResultMessageText{L"RestoreResultMessageText", ControlKind::TextBlock,
                                     &RestoreResultPanel};
    // Under the result of a run or a restore.
    Control ResultTools{L"ResultTools", ControlKind::Panel, &StatusArea};
    Control ShowDetailsButton{L"ShowDetailsButton", ControlKind::Button, &ResultTools};
    Control PutBackButton{L"PutBackButton", ControlKind::Button, &ResultTools};
    Control OpenLogFolderButton{L"OpenLogFolderButton", ControlKind::Button, &ResultTools};
    Control DoneButton{L"DoneButton", ControlKind::Button, &ResultTools};
    Control DetailsList{L"DetailsList", ControlKind::ListView, &StatusArea};
    // The footer, shared by the pages: Back at the start, the page's action at the end.
    Control Footer{L"Footer", ControlKind::Panel, &RootGrid};
    Control BackButton{L"BackButton", ControlKind::Button, &Footer};
    Control ReviewButton{L"ReviewButton", ControlKind::Button, &Footer};
    Control AlreadyAppliedPanel{L"AlreadyAppliedPanel", ControlKind::Panel, &Footer};
    Control AlreadyAppliedText{L"AlreadyAppliedText", ControlKind::TextBlock, &AlreadyAppliedPanel};
    Control ReapplyButton{L"ReapplyButton", ControlKind::Button, &AlreadyAppliedPanel};
    Control ContinueButton{L"ContinueButton", ControlKind::Button, &Footer};
    Control ApplyButton{L"ApplyButton", ControlKind::Button, &Footer};

    // Every named control, for the platform layer that shows them.
    [[nodiscard]] std::vector<Control*> AllControls();

    // State.
    bool isInitializing = true;
    bool termsBoxChecked = false;
    bool termsAccepted = false;
    SharedRunState run; // selectedProfile and pageState, shared with the apply run's thread
    std::int32_t appliedProfile = kNoProfile;
    std::array<std::int32_t, 3> currentProfileBuild = kCurrentProfileBuild;
    std::array<std::int32_t, 3> appliedProfileBuild{100, 100, 100};
    std::int32_t language = 0;
    RunController runController;
    LazyFeatureIndex features{runController};

    // What the Profiles page found on its last opening (none until the scan arrives), and the plan the
    // Review page shows.
    std::optional<PcStatus> pcStatus;
    bool pcCheckFailed = false;
    std::optional<ProfilePlan> reviewPlan;
    bool reviewFailed = false;
    FeatureListModel reviewFeatures; // the plan by feature, as the list shows it
    // What the next run keeps as it is: the PC's choices as the last look found them, with the changes
    // made on the Review page (saved when Apply is pressed).
    Choices choices;
    bool choicesEdited = false;
    // The run or restore under way, what it has reached, and what the last one left to show.
    WindowActivity activity = WindowActivity::None;
    std::optional<RunProgress> progress;
    std::optional<RunReport> lastReport;
    std::optional<RestoreResult> lastRestore;
    bool closing = false; // the user closed the window; it ends when the activity does

    // The two results an apply run posts.
    void ShowSuccess();
    void ShowFailure();

    // The window's frame is being closed: true when it may close now. While a run or a restore is under
    // way it asks first, and closes (out of sight) only once that has stopped.
    [[nodiscard]] bool OnCloseRequested();

    // The keyboard on the page that is shown (a status panel counts as a page): the control that
    // takes the focus when the page opens, the button Enter presses when the focus is not on a
    // button, and the button Escape presses. Null where the page has none, or none shown and enabled.
    [[nodiscard]] const Control* ShownPage() const;
    [[nodiscard]] Control* FocusTarget() const;
    [[nodiscard]] Control* DefaultButton() const;
    [[nodiscard]] Control* EscapeButton() const;

private:
    // One row per page; the first row whose page is shown applies. Candidates are tried in order.
    struct PageKeys {
        const Control* page;
        std::vector<Control*> focus;
        std::vector<Control*> defaultButton;
        std::vector<Control*> escape;
    };

    // What the markup holds before the code runs: items, initial visibility, the look of every
    // control and the keyboard of every page.
    void LoadMarkup();
    [[nodiscard]] const PageKeys* ShownPageKeys() const;

    void InitializeMainWindow();
    void WireHandlers();
    void ApplyFlowDirection();
    void RefreshTexts();
    void RefreshPages();
    void RefreshTermsPage();
    void RefreshProfilesPage();
    void RefreshAppliedState();
    void RefreshCardStyles();

    // Runs a handler only while the window exists (a late event after destruction does nothing).
    std::function<void()> Guarded(void (MainWindow::*handler)());

    void OnCardClick(SettingsProfile profile);
    void OnContinueClick();
    void OnBackClick();
    void OnLanguageSelectionChanged();
    void OnTermsCheckBoxClick();
    void OnRemoveAppsChecked();
    void OnRemoveAppsContainerSizeChanged();
    // Apply, Update and Reapply: asks first when the run will turn something off, then begins it.
    void StartApplyRun();
    void BeginApplyRun();
    // The features whose warnings the run of `profile` makes true: from the plan shown, else from the
    // last look at the PC, else every feature that warns for the profile.
    [[nodiscard]] std::vector<std::size_t> RunWarnings(SettingsProfile profile) const;
    void OnTryAgainClick();
    void OnCancelClick();
    void OnRestartClick();
    // `appRemoval`: the preinstalled apps are removed beside the run, started by the run itself.
    void RequestRun(int delaySeconds, bool appRemoval);
    [[nodiscard]] PipelineRunner EngineRunner(bool appRemoval);

    // Reads of the PC, one at a time, never beside a run or a restore; a result for a page opened
    // since, or no longer shown, is dropped.
    void OnPageOpened(PageState page);
    void StartNextRead();
    void OnScanned(std::uint64_t opening, std::optional<PcStatus> status);
    void OnPlanned(std::uint64_t opening, std::optional<ProfilePlan> plan);
    void RefreshCardStatus();
    void RefreshReviewPage();
    void OnReviewClick();
    void OnOnlyChangesClick();
    void OnFeatureSelected();
    void OnFeatureToggled(std::size_t row);
    void OnExportChoicesClick();
    void OnImportChoicesClick();
    void SaveEditedChoices();
    void OnPutBackClick();
    void OnDetailsSelected();
    // The feature a row of the details list names; none for a heading, a restore or nothing selected.
    [[nodiscard]] std::optional<std::size_t> DetailsFeature() const;
    void RefreshFeatureDetails();
    // The feature of the selected row; the number of features when a heading or nothing is selected.
    [[nodiscard]] std::size_t SelectedFeature() const;
    void OnExportClick();

    void ShowStatusPanel(Control* panel);
    void RefreshResultTools();
    void OnRunProgress(const RunProgress& reached);
    void OnRunEnded(RunReport report);
    void OnRestoreClick();
    // With `only`, one feature's items: put back, and kept as they are from then on.
    void StartRestore(const std::wstring& journalPath, std::optional<std::size_t> only = std::nullopt);
    void OnChangesMadeClick();
    void OnRunRead(std::optional<RunReport> report);
    void OnRestored(RestoreResult result);
    // Keeping settings in place, offered only while a profile is applied and its state is known.
    struct KeepingSet {
        KeepOutcome outcome;
        bool on = false; // as found afterwards
    };
    void RefreshKeepSwitches();
    void OnKeepClick();
    void OnKeepingSet(KeepingSet result);
    void OnShowDetailsClick();
    void OnOpenLogFolderClick();
    void OnDoneClick();
    void ReloadAppliedState();
    // Posts `handler` with its argument to the UI thread, for a window that may be gone by then.
    template <typename Argument>
    [[nodiscard]] std::function<void(Argument)> PostTo(void (MainWindow::*handler)(Argument));
    // Takes the run lock, or says that another run holds it.
    [[nodiscard]] bool ClaimRun();
    // A question in the window's language and reading order; no primary button when `primary` < 0.
    [[nodiscard]] ConfirmationDialog Question(std::int32_t title, std::wstring content, std::int32_t primary,
                                              std::int32_t close, bool accentPrimary) const;

    [[nodiscard]] std::wstring Text(std::int32_t row) const;
    [[nodiscard]] Control& Badge(SettingsProfile profile);
    [[nodiscard]] Control& Card(SettingsProfile profile);

    std::vector<PageKeys> pageKeys_;
    WindowServices services_;
    PageState refreshedPage_ = PageState::Welcome; // the page the last refresh showed
    std::uint64_t opening_ = 0;                    // counts the openings of the pages that read the PC
    bool readBusy_ = false;
    bool scanWanted_ = false;
    bool reviewWanted_ = false;
    bool restoreShown_ = false; // the status area tells of a restore, not a run
    bool changesShown_ = false; // the status area shows what the newest run changed, to put a feature back
    std::optional<std::size_t> puttingBack_;                  // the feature the restore under way puts back
    std::vector<std::optional<std::size_t>> detailsFeatures_; // the feature of each row of the details
    bool detailsShown_ = false;
    std::optional<bool> keeping_; // as the last scan or change found it
    bool keepBusy_ = false;
    std::shared_ptr<std::atomic<bool>> cancel_; // of the run under way
    // Handlers and posted closures hold a weak reference to this; it ends with the window.
    std::shared_ptr<MainWindow*> self_;
};

template <typename Argument>
std::function<void(Argument)> MainWindow::PostTo(void (MainWindow::*handler)(Argument)) {
    std::weak_ptr<MainWindow*> weak = self_;
    DispatcherQueue& dispatcher = services_.dispatcher;
    return [weak, handler, &dispatcher](Argument argument) {
        dispatcher.TryEnqueue([weak, handler, argument = std::move(argument)]() mutable {
            if (const auto self = weak.lock()) {
                ((*self)->*handler)(std::move(argument));
            }
        });
    };
}

} // namespace Velmora::implementation
