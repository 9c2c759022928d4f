// The main window's markup: what each control looks like, where it goes, and what the keyboard
// does on each page. The platform layer reads all of it from the controls; a new page is a panel
// described here plus its handlers.

#include "ui/main_window.h"

namespace Velmora::implementation {
namespace {

constexpr Visibility C = Visibility::Collapsed;

// The first candidate a user can reach: shown and enabled.
Control* FirstReachable(const std::vector<Control*>& candidates) {
    for (Control* control : candidates) {
        if (control->IsShown() && control->IsEnabled()) {
            return control;
        }
    }
    return nullptr;
}

ControlLook PageLook(double paddingY) {
    ControlLook look;
    look.paddingX = 32;
    look.paddingY = paddingY;
    look.spacing = 16;
    look.fill = true;
    return look;
}

ControlLook TextLook(FontRole font, Alignment alignment, Emphasis emphasis = Emphasis::Normal) {
    ControlLook look;
    look.font = font;
    look.alignment = alignment;
    look.emphasis = emphasis;
    return look;
}

ControlLook ButtonLook(double width, Alignment alignment, Emphasis emphasis = Emphasis::Normal) {
    ControlLook look = TextLook(FontRole::Body, alignment, emphasis);
    look.width = width;
    return look;
}

ControlLook RowLook(double spacing, Alignment alignment = Alignment::Stretch) {
    ControlLook look;
    look.orientation = Orientation::Horizontal;
    look.spacing = spacing;
    look.alignment = alignment;
    return look;
}

} // namespace

void MainWindow::LoadMarkup() {
    LanguageComboBox.SetItems({L"\u0627\u0644\u0639\u0631\u0628\u064a\u0629", L"English"});
    for (Control* hidden :
         {&StatusArea,           &ProgressPanel,       &SuccessPanel,        &FailurePanel,
          &EssentialUpdateBadge, &StandardUpdateBadge, &MaximumUpdateBadge,  &AlreadyAppliedPanel,
          &ReviewPage,           &ReviewButton,        &RestoreResultPanel,  &ResultTools,
          &DetailsList,          &ProfileTools,        &EssentialStatusText, &StandardStatusText,
          &PutBackButton,        &ChangesMadeButton,   &MaximumStatusText,   &EssentialChangedText,
          &StandardChangedText,  &MaximumChangedText,  &KeepCheckBox,        &SuccessKeepCheckBox}) {
        hidden->SetVisibility(C);
    }
    // The check box's own caption is the app-removal text.
    RemoveAppsText.SetVisibility(C);
    AgreementTextBox.SetReadOnly(true);

    // The pages share the content area, which scrolls when a page needs more height than it has;
    // the footer with the buttons stays below it.
    ContentArea.look.fill = true;
    ContentArea.look.scrolls = true;
    Footer.look = RowLook(16);
    Footer.look.paddingX = 32;
    Footer.look.paddingY = 16;

    WelcomePage.look = PageLook(64);
    WelcomeTitleText.look = TextLook(FontRole::Title, Alignment::Start);
    LanguagePromptText.look = TextLook(FontRole::Body, Alignment::Start, Emphasis::Quiet);
    LanguageComboBox.look.width = 280;
    LanguageComboBox.look.alignment = Alignment::Start;

    TermsPage.look = PageLook(24);
    AgreementTextBox.look.fill = true;
    AgreementTextBox.look.minHeight = 120;

    ProfilesPage.look = PageLook(32);
    ProfilesPage.look.spacing = 24;
    ProfileCards.look = RowLook(16);
    ProfileCards.look.minItemWidth = 190; // narrower than that, the cards stack
    ProfileCards.look.arrowKeysChoose = true;
    for (SettingsProfile profile = kEssentialProfile; profile <= kMaximumProfile; ++profile) {
        Control& card = Card(profile);
        card.look.paddingX = 18;
        card.look.paddingY = 18;
        card.look.spacing = 10;
        card.look.minHeight = 200;
        card.look.fill = true; // the cards share the row
        auto& children = card.Children();
        children[0]->look = TextLook(FontRole::CardTitle, Alignment::Start);
        children[1]->look = TextLook(FontRole::Body, Alignment::Start, Emphasis::Quiet);
        children[1]->look.fill = true;
        children[2]->look = TextLook(FontRole::Body, Alignment::Start); // how much is in effect
        children[3]->look = TextLook(FontRole::Body, Alignment::Start, Emphasis::Alert);
        children[3]->look.paddingX = 8;
        children[3]->look.paddingY = 3;
        Control& badge = Badge(profile);
        badge.look.width = 150;
        badge.look.height = 26;
        badge.look.alignment = Alignment::End;
        badge.Children()[0]->look = TextLook(FontRole::Body, Alignment::Center, Emphasis::Alert);
        badge.Children()[0]->look.height = badge.look.height;
    }

    ProfileTools.look = RowLook(16);
    KeepCheckBox.look.alignment = Alignment::Start;
    SuccessKeepCheckBox.look.alignment = Alignment::Center;
    CheckStateText.look = TextLook(FontRole::Body, Alignment::Start, Emphasis::Quiet);
    CheckStateText.look.fill = true;
    RestoreButton.look = ButtonLook(0, Alignment::End);
    ChangesMadeButton.look = ButtonLook(0, Alignment::End);

    ReviewPage.look = PageLook(24);
    ReviewPage.look.spacing = 12;
    ReviewTitleText.look = TextLook(FontRole::Heading, Alignment::Start);
    ReviewAccountText.look = TextLook(FontRole::Body, Alignment::Start, Emphasis::Alert);
    ReviewAccountText.look.paddingX = 8;
    ReviewAccountText.look.paddingY = 3;
    ReviewCountsText.look = TextLook(FontRole::Body, Alignment::Start, Emphasis::Quiet);
    ReviewTools.look = RowLook(16);
    OnlyChangesCheckBox.look.alignment = Alignment::Start;
    ExportNoticeText.look = TextLook(FontRole::Body, Alignment::Start, Emphasis::Quiet);
    ExportNoticeText.look.fill = true;
    ExportButton.look = ButtonLook(140, Alignment::End);
    ExportChoicesButton.look = ButtonLook(0, Alignment::End);
    ImportChoicesButton.look = ButtonLook(0, Alignment::End);
    FeatureList.look.fill = true;
    FeatureList.look.minHeight = 200;
    FeatureList.look.columnWeights = {46, 18, 20, 16};
    FeatureList.look.rowChecks = true;    // ticked: this run makes it; clear: kept as it is
    FeatureDetailsText.look.height = 150; // the whole feature, wrapped and scrolled; nothing cut off
    FeatureDetailsText.SetReadOnly(true);

    StatusArea.look = PageLook(56);
    StatusArea.look.spacing = 20;
    for (Control* panel : {&ProgressPanel, &SuccessPanel, &FailurePanel, &RestoreResultPanel}) {
        panel->look.spacing = 20;
    }
    for (Control* title :
         {&ApplyingTitleText, &SuccessTitleText, &FailureTitleText, &RestoreResultTitleText}) {
        title->look = TextLook(FontRole::Heading, Alignment::Center);
    }
    for (Control* message :
         {&ApplyingMessageText, &SuccessMessageText, &FailureMessageText, &RestoreResultMessageText}) {
        message->look = TextLook(FontRole::Body, Alignment::Center, Emphasis::Quiet);
    }
    ProgressRing.look.width = 360;
    ProgressRing.look.alignment = Alignment::Center;
    ProgressStepText.look = TextLook(FontRole::Body, Alignment::Center);
    ResultTools.look = RowLook(16, Alignment::Center);
    for (Control* button : {&ShowDetailsButton, &PutBackButton, &OpenLogFolderButton, &DoneButton}) {
        button->look = ButtonLook(160, Alignment::Start);
    }
    DetailsList.look.fill = true;
    DetailsList.look.minHeight = 200;
    DetailsList.look.columnWeights = {18, 14, 38, 30};
    RestartButton.look = ButtonLook(220, Alignment::Center, Emphasis::Accent);
    FailureButtons.look = RowLook(16, Alignment::Center);
    TryAgainButton.look = ButtonLook(160, Alignment::Start, Emphasis::Accent);
    CancelButton.look = ButtonLook(160, Alignment::Start);

    BackButton.look = ButtonLook(130, Alignment::Start);
    ReviewButton.look = ButtonLook(170, Alignment::End);
    AlreadyAppliedPanel.look = RowLook(16, Alignment::End);
    AlreadyAppliedText.look = TextLook(FontRole::Body, Alignment::End);
    ReapplyButton.look = ButtonLook(210, Alignment::Start);
    ContinueButton.look = ButtonLook(210, Alignment::End);
    ApplyButton.look = ButtonLook(210, Alignment::End, Emphasis::Accent);

    // A page opens on its primary button, or on the input it needs first: the terms box until it is
    // ticked, the first card until a profile is chosen. While a run is under way, its progress.
    // The Review page opens on its list of features, whose arrow keys choose the feature shown below.
    pageKeys_ = {
        {&FailurePanel, {&TryAgainButton, &CancelButton}, {&TryAgainButton}, {&CancelButton}},
        {&SuccessPanel, {&RestartButton}, {&RestartButton}, {&DoneButton}},
        {&RestoreResultPanel, {&DoneButton}, {&DoneButton}, {&DoneButton}},
        {&ProgressPanel, {&ProgressRing}, {}, {}},
        {&ReviewPage,
         {&FeatureList, &ApplyButton, &ReapplyButton},
         {&ApplyButton, &ReapplyButton},
         {&BackButton}},
        {&WelcomePage, {&ContinueButton, &LanguageComboBox}, {&ContinueButton}, {}},
        {&TermsPage, {&ContinueButton, &TermsCheckBox}, {&ContinueButton}, {&BackButton}},
        {&ProfilesPage,
         {&ApplyButton, &ReapplyButton, &EssentialCardButton},
         {&ApplyButton, &ReapplyButton},
         {&BackButton}},
    };
}

const MainWindow::PageKeys* MainWindow::ShownPageKeys() const {
    for (const PageKeys& keys : pageKeys_) {
        if (keys.page->IsShown()) {
            return &keys;
        }
    }
    return nullptr;
}

const Control* MainWindow::ShownPage() const {
    const PageKeys* keys = ShownPageKeys();
    return keys == nullptr ? nullptr : keys->page;
}

Control* MainWindow::FocusTarget() const {
    const PageKeys* keys = ShownPageKeys();
    return keys == nullptr ? nullptr : FirstReachable(keys->focus);
}

Control* MainWindow::DefaultButton() const {
    const PageKeys* keys = ShownPageKeys();
    return keys == nullptr ? nullptr : FirstReachable(keys->defaultButton);
}

Control* MainWindow::EscapeButton() const {
    const PageKeys* keys = ShownPageKeys();
    return keys == nullptr ? nullptr : FirstReachable(keys->escape);
}

} // namespace Velmora::implementation
