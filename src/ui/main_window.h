#pragma once

#include "tweaks/apply_pipeline.h"
#include "tweaks/profiles.h"
#include "tweaks/run_controller.h"
#include "ui/control.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Velmora {
class DelayedRunner;
class DispatcherQueue;
class LocalSettingsValues;
class LocalizedTextTable;
class SystemOperations;
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
    // The PC's one run lock, taken when a run is requested and given back when its result is shown;
    // false when another Velmora run holds it. Empty: always granted.
    std::function<bool()> claimRun = {};
    std::function<void()> releaseRun = {};
};

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
    Control EssentialUpdateBadge{L"EssentialUpdateBadge", ControlKind::Panel, &EssentialCardButton};
    Control EssentialUpdateBadgeText{L"EssentialUpdateBadgeText", ControlKind::TextBlock,
                                     &EssentialUpdateBadge};
    Control StandardCardButton{L"StandardCardButton", ControlKind::Button, &ProfileCards};
    Control StandardTitleText{L"StandardTitleText", ControlKind::TextBlock, &StandardCardButton};
    Control StandardDescriptionText{L"StandardDescriptionText", ControlKind::TextBlock, &StandardCardButton};
    Control StandardUpdateBadge{L"StandardUpdateBadge", ControlKind::Panel, &StandardCardButton};
    Control StandardUpdateBadgeText{L"StandardUpdateBadgeText", ControlKind::TextBlock, &StandardUpdateBadge};
    Control MaximumCardButton{L"MaximumCardButton", ControlKind::Button, &ProfileCards};
    Control MaximumTitleText{L"MaximumTitleText", ControlKind::TextBlock, &MaximumCardButton};
    Control MaximumDescriptionText{L"MaximumDescriptionText", ControlKind::TextBlock, &MaximumCardButton};
    Control MaximumUpdateBadge{L"MaximumUpdateBadge", ControlKind::Panel, &MaximumCardButton};
    Control MaximumUpdateBadgeText{L"MaximumUpdateBadgeText", ControlKind::TextBlock, &MaximumUpdateBadge};
    Control RemoveAppsContainer{L"RemoveAppsContainer", ControlKind::Panel, &ProfilesPage};
    Control RemoveAppsCheckBox{L"RemoveAppsCheckBox", ControlKind::CheckBox, &RemoveAppsContainer};
    Control RemoveAppsText{L"RemoveAppsText", ControlKind::TextBlock, &RemoveAppsContainer};
    Control StatusArea{L"StatusArea", ControlKind::Panel, &ContentArea};
    Control ProgressPanel{L"ProgressPanel", ControlKind::Panel, &StatusArea};
    Control ApplyingTitleText{L"ApplyingTitleText", ControlKind::TextBlock, &ProgressPanel};
    Control ApplyingMessageText{L"ApplyingMessageText", ControlKind::TextBlock, &ProgressPanel};
    Control ProgressRing{L"ProgressRing", ControlKind::ProgressRing, &ProgressPanel};
    Control SuccessPanel{L"SuccessPanel", ControlKind::Panel, &StatusArea};
    Control SuccessTitleText{L"SuccessTitleText", ControlKind::TextBlock, &SuccessPanel};
    Control SuccessMessageText{L"SuccessMessageText", ControlKind::TextBlock, &SuccessPanel};
    Control RestartButton{L"RestartButton", ControlKind::Button, &SuccessPanel};
    Control FailurePanel{L"FailurePanel", ControlKind::Panel, &StatusArea};
    Control FailureTitleText{L"FailureTitleText", ControlKind::TextBlock, &FailurePanel};
    Control FailureMessageText{L"FailureMessageText", ControlKind::TextBlock, &FailurePanel};
    Control FailureButtons{L"FailureButtons", ControlKind::Panel, &FailurePanel};
    Control TryAgainButton{L"TryAgainButton", ControlKind::Button, &FailureButtons};
    Control CancelButton{L"CancelButton", ControlKind::Button, &FailureButtons};
    // The footer, shared by the pages: Back at the start, the page's action at the end.
    Control Footer{L"Footer", ControlKind::Panel, &RootGrid};
    Control BackButton{L"BackButton", ControlKind::Button, &Footer};
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

    // The two results an apply run posts.
    void ShowSuccess();
    void ShowFailure();

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
    void StartApplyRun();
    void OnTryAgainClick();
    void OnCancelClick();
    void OnRestartClick();
    void RequestRun(int delaySeconds, bool appRemovalStarted);
    // Takes the run lock, or says that another run holds it.
    [[nodiscard]] bool ClaimRun();
    [[nodiscard]] FlowDirection DialogFlowDirection() const;

    [[nodiscard]] std::wstring Text(std::int32_t row) const;
    [[nodiscard]] Control& Badge(SettingsProfile profile);
    [[nodiscard]] Control& Card(SettingsProfile profile);

    std::vector<PageKeys> pageKeys_;
    WindowServices services_;
    // Handlers and posted closures hold a weak reference to this; it ends with the window.
    std::shared_ptr<MainWindow*> self_;
};

} // namespace Velmora::implementation
