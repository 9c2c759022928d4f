#include "ui/win32/main_window_view.h"

#include "common/diagnostics.h"
#include "ui/win32/confirmation_dialog.h"
#include "ui/win32/themed_button.h"

#include <commctrl.h>

#include <algorithm>

namespace Velmora::Win32 {
namespace {

constexpr wchar_t kClassName[] = L"VelmoraMainWindow";
constexpr UINT kDispatchMessage = WM_APP + 1;
constexpr int kFirstControlId = 1000;
constexpr int kDefaultWidth = 960; // at 96 DPI
constexpr int kDefaultHeight = 680;

HFONT MakeFont(int height, int weight) {
    return ::CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Segoe UI");
}

// Which controls are windows of their own. Panels only group; the card texts are painted by the
// card itself, and the app-removal text is the check box's own caption.
bool HasOwnWindow(const implementation::MainWindow& model, const Control& control) {
    if (control.Kind() == ControlKind::Panel) {
        return false;
    }
    const Control* parent = control.Parent();
    const bool isCardText = control.Kind() == ControlKind::TextBlock && parent != nullptr &&
                            parent->Kind() == ControlKind::Button;
    return !isCardText && &control != &model.RemoveAppsText;
}

bool IsCard(const implementation::MainWindow& model, const Control& control) {
    return &control == &model.EssentialCardButton || &control == &model.StandardCardButton ||
           &control == &model.MaximumCardButton;
}

bool IsBadgeText(const implementation::MainWindow& model, const Control& control) {
    return &control == &model.EssentialUpdateBadgeText || &control == &model.StandardUpdateBadgeText ||
           &control == &model.MaximumUpdateBadgeText;
}

// Badges and the status panel are centred; the "Already Applied" note leans on its button.
DWORD StaticStyleFor(const implementation::MainWindow& model, const Control& control) {
    if (IsBadgeText(model, control)) {
        return SS_CENTER | SS_CENTERIMAGE;
    }
    const Control* parent = control.Parent();
    if (parent != nullptr && parent->Parent() == &model.StatusArea) {
        return SS_CENTER;
    }
    return &control == &model.AlreadyAppliedText ? SS_RIGHT | SS_CENTERIMAGE : SS_LEFT;
}

} // namespace

MainWindowView::MainWindowView(HINSTANCE instance) : instance_(instance), theme_(CurrentTheme()) {}

MainWindowView::~MainWindowView() {
    dialog_.reset();
    if (model_ != nullptr) {
        for (Control* control : model_->AllControls()) {
            control->SetPeer(nullptr);
        }
    }
    if (window_ != nullptr) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
}

int MainWindowView::Scale(int value) const {
    return ::MulDiv(value, static_cast<int>(dpi_), 96);
}

bool MainWindowView::Create(implementation::MainWindow& window, int showCommand) {
    model_ = &window;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &MainWindowView::WindowProc;
    windowClass.hInstance = instance_;
    windowClass.hIcon = ::LoadIconW(instance_, MAKEINTRESOURCEW(1));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.lpszClassName = kClassName;
    if (::RegisterClassExW(&windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    dpi_ = ::GetDpiForSystem();
    const int width = Scale(kDefaultWidth);
    const int height = Scale(kDefaultHeight);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x =
        static_cast<int>(work.left) + std::max(0, (static_cast<int>(work.right - work.left) - width) / 2);
    const int y =
        static_cast<int>(work.top) + std::max(0, (static_cast<int>(work.bottom - work.top) - height) / 2);
    const bool rtl = model_->RootGrid.GetFlowDirection() == FlowDirection::RightToLeft;
    window_ = ::CreateWindowExW(WS_EX_CONTROLPARENT | (rtl ? WS_EX_LAYOUTRTL : 0), kClassName, L"Velmora",
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y, width, height, nullptr, nullptr,
                                instance_, this);
    if (window_ == nullptr) {
        return false;
    }
    dpi_ = ::GetDpiForWindow(window_);
    CreateFonts();
    CreateChildren();
    for (Control* control : model_->AllControls()) {
        control->SetPeer(this);
    }
    Layout();
    ::ShowWindow(window_, showCommand);
    ::UpdateWindow(window_);
    return true;
}

void MainWindowView::CreateFonts() {
    bodyFont_.Reset(MakeFont(Scale(15), FW_NORMAL));
    headingFont_.Reset(MakeFont(Scale(22), FW_SEMIBOLD));
    titleFont_.Reset(MakeFont(Scale(30), FW_SEMIBOLD));
    cardTitleFont_.Reset(MakeFont(Scale(18), FW_SEMIBOLD));
    windowBrush_.Reset(::CreateSolidBrush(theme_.window));
    cardBrush_.Reset(::CreateSolidBrush(theme_.card));
}

HFONT MainWindowView::FontFor(const Control& control) const {
    if (&control == &model_->WelcomeTitleText) {
        return static_cast<HFONT>(titleFont_.Get());
    }
    if (&control == &model_->ApplyingTitleText || &control == &model_->SuccessTitleText ||
        &control == &model_->FailureTitleText) {
        return static_cast<HFONT>(headingFont_.Get());
    }
    return static_cast<HFONT>(bodyFont_.Get());
}

HWND MainWindowView::CreateChild(Control& control, int id) {
    const bool rtl = control.EffectiveFlowDirection() == FlowDirection::RightToLeft;
    DWORD exStyle = rtl ? WS_EX_LAYOUTRTL | WS_EX_RTLREADING : 0;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    const wchar_t* className = L"STATIC";
    switch (control.Kind()) {
    case ControlKind::TextBlock:
        style |= StaticStyleFor(*model_, control);
        break;
    case ControlKind::Button:
        className = L"BUTTON";
        style |= WS_TABSTOP | BS_OWNERDRAW;
        break;
    case ControlKind::CheckBox:
        className = L"BUTTON";
        style |= WS_TABSTOP | BS_CHECKBOX | BS_MULTILINE | BS_VCENTER;
        break;
    case ControlKind::ComboBox:
        className = L"COMBOBOX";
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        break;
    case ControlKind::TextBox:
        className = L"EDIT";
        style |= WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    case ControlKind::ProgressRing:
        className = PROGRESS_CLASSW;
        style |= PBS_MARQUEE;
        break;
    case ControlKind::Panel:
        return nullptr;
    }
    HWND child = ::CreateWindowExW(exStyle, className, L"", style, 0, 0, 10, 10, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (child == nullptr) {
        return nullptr;
    }
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control)), FALSE);
    if (control.Kind() == ControlKind::ProgressRing) {
        ::SendMessageW(child, PBM_SETMARQUEE, TRUE, 30);
    }
    children_[&control] = child;
    controlsByHandle_[child] = &control;
    for (const ControlProperty property : {ControlProperty::Text, ControlProperty::Enabled,
                                           ControlProperty::Checked, ControlProperty::SelectedIndex}) {
        UpdateChild(control, child, property);
    }
    ::ShowWindow(child, control.IsShown() ? SW_SHOWNA : SW_HIDE);
    return child;
}

void MainWindowView::CreateChildren() {
    int id = kFirstControlId;
    for (Control* control : model_->AllControls()) {
        if (HasOwnWindow(*model_, *control)) {
            CreateChild(*control, id);
        }
        ++id;
    }
}

void MainWindowView::DestroyChildren() {
    for (const auto& [control, child] : children_) {
        ::DestroyWindow(child);
    }
    children_.clear();
    controlsByHandle_.clear();
}

Control* MainWindowView::ControlOf(HWND child) const {
    const auto found = controlsByHandle_.find(child);
    return found == controlsByHandle_.end() ? nullptr : found->second;
}

void MainWindowView::UpdateChild(const Control& control, HWND child, ControlProperty property) {
    switch (property) {
    case ControlProperty::Text:
        if (control.Kind() == ControlKind::ComboBox) {
            ::SendMessageW(child, CB_RESETCONTENT, 0, 0);
            for (const std::wstring& item : control.Items()) {
                ::SendMessageW(child, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            }
            ::SendMessageW(child, CB_SETCURSEL, static_cast<WPARAM>(control.SelectedIndex()), 0);
        } else if (control.Kind() == ControlKind::TextBox) {
            // The edit control breaks lines only at "\r\n".
            std::wstring text;
            text.reserve(control.Text().size() + control.Text().size() / 32);
            for (const wchar_t c : control.Text()) {
                if (c == L'\n') {
                    text += L'\r';
                }
                text += c;
            }
            ::SetWindowTextW(child, text.c_str());
        } else {
            ::SetWindowTextW(child, control.Text().c_str());
        }
        break;
    case ControlProperty::Enabled:
        ::EnableWindow(child, control.IsEnabled() ? TRUE : FALSE);
        break;
    case ControlProperty::Checked:
        if (control.Kind() == ControlKind::CheckBox) {
            ::SendMessageW(child, BM_SETCHECK, control.IsChecked() ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        break;
    case ControlProperty::SelectedIndex:
        if (control.Kind() == ControlKind::ComboBox) {
            ::SendMessageW(child, CB_SETCURSEL, static_cast<WPARAM>(control.SelectedIndex()), 0);
        }
        break;
    case ControlProperty::Style:
    case ControlProperty::ReadOnly:
        ::InvalidateRect(child, nullptr, TRUE);
        break;
    case ControlProperty::Visibility:
    case ControlProperty::FlowDirection:
    case ControlProperty::MinWidth:
        break;
    }
}

void MainWindowView::UpdateAllVisibility() {
    for (const auto& [control, child] : children_) {
        const bool shown = control->IsShown();
        if ((::IsWindowVisible(child) != FALSE) != shown) {
            ::ShowWindow(child, shown ? SW_SHOWNA : SW_HIDE);
        }
    }
}

void MainWindowView::PropertyChanged(const Control& control, ControlProperty property) {
    if (window_ == nullptr) {
        return;
    }
    if (property == ControlProperty::FlowDirection) {
        // Mirroring applies to windows as they are created: rebuild the children in the new direction.
        const bool rtl = model_->RootGrid.GetFlowDirection() == FlowDirection::RightToLeft;
        const LONG_PTR exStyle = ::GetWindowLongPtrW(window_, GWL_EXSTYLE);
        ::SetWindowLongPtrW(window_, GWL_EXSTYLE,
                            rtl ? (exStyle | WS_EX_LAYOUTRTL) : (exStyle & ~WS_EX_LAYOUTRTL));
        HWND focused = ::GetFocus();
        const Control* focusedControl = ControlOf(focused);
        DestroyChildren();
        CreateChildren();
        Layout();
        if (focusedControl != nullptr && children_.contains(focusedControl)) {
            ::SetFocus(children_[focusedControl]);
        }
        ::InvalidateRect(window_, nullptr, TRUE);
        return;
    }
    if (property == ControlProperty::Visibility) {
        UpdateAllVisibility();
        Layout();
        return;
    }
    const auto found = children_.find(&control);
    if (found != children_.end()) {
        UpdateChild(control, found->second, property);
    }
    // A card paints its texts and badge state itself; the texts belong to its child controls.
    if (property == ControlProperty::Text || property == ControlProperty::Style) {
        for (const Control* card :
             {&model_->EssentialCardButton, &model_->StandardCardButton, &model_->MaximumCardButton}) {
            if (&control == card || control.Parent() == card) {
                ::InvalidateRect(children_[card], nullptr, TRUE);
            }
        }
    }
}

void MainWindowView::Place(const Control& control, int x, int y, int width, int height) {
    const auto found = children_.find(&control);
    if (found != children_.end()) {
        ::SetWindowPos(found->second, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// One fixed layout, scaled to the DPI; the parent's mirroring turns it around for right to left.
void MainWindowView::Layout() {
    if (window_ == nullptr || model_ == nullptr) {
        return;
    }
    RECT client{};
    ::GetClientRect(window_, &client);
    const int width = client.right;
    const int height = client.bottom;
    const int margin = Scale(32);
    const int inner = std::max(Scale(200), width - 2 * margin);
    implementation::MainWindow& m = *model_;

    // Welcome page
    Place(m.WelcomeTitleText, margin, Scale(96), inner, Scale(48));
    Place(m.LanguagePromptText, margin, Scale(168), inner, Scale(28));
    Place(m.LanguageComboBox, margin, Scale(204), Scale(280), Scale(200));

    // Terms page
    const int footerTop = height - Scale(72);
    Place(m.AgreementTextBox, margin, Scale(72), inner,
          std::max(Scale(80), footerTop - Scale(72) - Scale(72)));
    Place(m.TermsCheckBox, margin, footerTop - Scale(60), inner, Scale(48));

    // Profiles page: three cards side by side, the app-removal option under them
    const int gap = Scale(16);
    const int cardWidth = (inner - 2 * gap) / 3;
    const int cardTop = Scale(72);
    const int cardHeight = Scale(230);
    const Control* cards[] = {&m.EssentialCardButton, &m.StandardCardButton, &m.MaximumCardButton};
    const Control* badges[] = {&m.EssentialUpdateBadgeText, &m.StandardUpdateBadgeText,
                               &m.MaximumUpdateBadgeText};
    for (int i = 0; i < 3; ++i) {
        const int left = margin + i * (cardWidth + gap);
        Place(*cards[i], left, cardTop, cardWidth, cardHeight);
        const int badgeWidth = std::min(cardWidth - Scale(24), Scale(150));
        Place(*badges[i], left + cardWidth - badgeWidth - Scale(12), cardTop + cardHeight - Scale(40),
              badgeWidth, Scale(26));
    }
    const int optionTop = cardTop + cardHeight + Scale(24);
    Place(m.RemoveAppsCheckBox, margin, optionTop, inner, Scale(64));
    m.RemoveAppsContainer.SetActualSize(static_cast<double>(inner) * 96.0 / dpi_, 64.0);

    // Status area, centred
    const int statusTop = Scale(150);
    for (const Control* title : {&m.ApplyingTitleText, &m.SuccessTitleText, &m.FailureTitleText}) {
        Place(*title, margin, statusTop, inner, Scale(40));
    }
    for (const Control* message : {&m.ApplyingMessageText, &m.SuccessMessageText, &m.FailureMessageText}) {
        Place(*message, margin, statusTop + Scale(52), inner, Scale(48));
    }
    const int actionTop = statusTop + Scale(124);
    const int ringWidth = std::min(inner, Scale(360));
    Place(m.ProgressRing, (width - ringWidth) / 2, actionTop, ringWidth, Scale(8));
    Place(m.RestartButton, (width - Scale(220)) / 2, actionTop, Scale(220), Scale(40));
    const int pairLeft = (width - Scale(160) * 2 - Scale(16)) / 2;
    Place(m.TryAgainButton, pairLeft, actionTop, Scale(160), Scale(40));
    Place(m.CancelButton, pairLeft + Scale(176), actionTop, Scale(160), Scale(40));

    // Footer: Back at the start, the primary action at the end
    const int buttonWidth = Scale(210);
    const int buttonHeight = Scale(40);
    const int buttonTop = footerTop + (Scale(72) - buttonHeight) / 2;
    const int endLeft = width - margin - buttonWidth;
    Place(m.BackButton, margin, buttonTop, Scale(130), buttonHeight);
    Place(m.ContinueButton, endLeft, buttonTop, buttonWidth, buttonHeight);
    Place(m.ApplyButton, endLeft, buttonTop, buttonWidth, buttonHeight);
    Place(m.ReapplyButton, endLeft, buttonTop, buttonWidth, buttonHeight);
    Place(m.AlreadyAppliedText, endLeft - Scale(16) - Scale(260), buttonTop + Scale(6), Scale(260),
          buttonHeight);
}

bool MainWindowView::PreTranslate(MSG& message) {
    if (dialog_ && dialog_->IsOpen() && dialog_->PreTranslate(message)) {
        return true;
    }
    if (window_ == nullptr) {
        return false;
    }
    // Enter presses the focused button, as Space does.
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
        const Control* control = ControlOf(message.hwnd);
        if (control != nullptr &&
            (control->Kind() == ControlKind::Button || control->Kind() == ControlKind::CheckBox)) {
            ::SendMessageW(message.hwnd, BM_CLICK, 0, 0);
            return true;
        }
    }
    return ::IsDialogMessageW(window_, &message) != FALSE;
}

int MainWindowView::RunMessageLoop() {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (PreTranslate(message)) {
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

bool MainWindowView::TryEnqueue(std::function<void()> closure) {
    {
        std::lock_guard lock(queueMutex_);
        queue_.push_back(std::move(closure));
    }
    if (window_ == nullptr || !::PostMessageW(window_, kDispatchMessage, 0, 0)) {
        std::lock_guard lock(queueMutex_);
        queue_.pop_back();
        return false;
    }
    return true;
}

void MainWindowView::RunQueuedClosures() {
    for (;;) {
        std::function<void()> next;
        {
            std::lock_guard lock(queueMutex_);
            if (queue_.empty()) {
                return;
            }
            next = std::move(queue_.front());
            queue_.pop_front();
        }
        try {
            next();
        } catch (...) {
            Diagnose(L"A queued window update ended with an unexpected error");
        }
    }
}

bool MainWindowView::HasStyle(std::wstring_view key) const {
    return StyleExists(key);
}

void MainWindowView::ShowDialog(const implementation::ConfirmationDialog& dialog,
                                std::function<void(implementation::DialogResult)> done) {
    dialog_ =
        std::make_unique<ConfirmationDialogWindow>(instance_, window_, theme_, dpi_, dialog, std::move(done));
    if (!dialog_->IsOpen()) {
        dialog_.reset();
        done(implementation::DialogResult::None);
    }
}

bool MainWindowView::StartAppRemoval(std::vector<std::wstring> packageNames) {
    return startAppRemoval && startAppRemoval(std::move(packageNames));
}

void MainWindowView::RestartComputer() {
    if (restartComputer) {
        restartComputer();
    }
}

void MainWindowView::DrawCard(const DRAWITEMSTRUCT& item, const Control& card) {
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    ::FillRect(dc, &rect, static_cast<HBRUSH>(windowBrush_.Get()));
    const bool selected = card.Style() == L"AccentButtonStyle";
    const UniqueGdiObject pen(
        ::CreatePen(PS_SOLID, selected ? Scale(3) : 1, selected ? theme_.accent : theme_.cardBorder));
    const HGDIOBJ oldPen = ::SelectObject(dc, pen.Get());
    const HGDIOBJ oldBrush = ::SelectObject(dc, cardBrush_.Get());
    const int inset = selected ? Scale(1) : 0;
    ::RoundRect(dc, rect.left + inset, rect.top + inset, rect.right - inset, rect.bottom - inset, Scale(12),
                Scale(12));
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);

    const Control* title = card.Children().size() > 0 ? card.Children()[0] : nullptr;
    const Control* description = card.Children().size() > 1 ? card.Children()[1] : nullptr;
    const bool rtl = card.EffectiveFlowDirection() == FlowDirection::RightToLeft;
    const UINT direction = rtl ? DT_RTLREADING : 0;
    ::SetBkMode(dc, TRANSPARENT);
    RECT text = rect;
    ::InflateRect(&text, -Scale(18), -Scale(18));
    if (title != nullptr) {
        const HGDIOBJ oldFont = ::SelectObject(dc, cardTitleFont_.Get());
        ::SetTextColor(dc, selected ? theme_.accent : theme_.text);
        RECT titleRect = text;
        ::DrawTextW(dc, title->Text().c_str(), static_cast<int>(title->Text().size()), &titleRect,
                    DT_LEFT | DT_WORDBREAK | direction);
        ::SelectObject(dc, oldFont);
    }
    if (description != nullptr) {
        const HGDIOBJ oldFont = ::SelectObject(dc, bodyFont_.Get());
        ::SetTextColor(dc, theme_.secondaryText);
        RECT body = text;
        body.top += Scale(40);
        body.bottom -= Scale(34);
        ::DrawTextW(dc, description->Text().c_str(), static_cast<int>(description->Text().size()), &body,
                    DT_LEFT | DT_WORDBREAK | DT_END_ELLIPSIS | direction);
        ::SelectObject(dc, oldFont);
    }
    if ((item.itemState & ODS_FOCUS) != 0) {
        RECT focus = rect;
        ::InflateRect(&focus, -Scale(6), -Scale(6));
        ::DrawFocusRect(dc, &focus);
    }
}

void MainWindowView::DrawButton(const DRAWITEMSTRUCT& item) {
    const Control* control = ControlOf(item.hwndItem);
    if (control == nullptr) {
        return;
    }
    if (IsCard(*model_, *control)) {
        DrawCard(item, *control);
        return;
    }
    const bool accent = control->Style() == L"AccentButtonStyle" || control == &model_->ApplyButton ||
                        control == &model_->RestartButton || control == &model_->TryAgainButton;
    DrawThemedButton(item, theme_, accent, control->Text(), static_cast<HFONT>(bodyFont_.Get()),
                     static_cast<HBRUSH>(windowBrush_.Get()));
}

LRESULT CALLBACK MainWindowView::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<MainWindowView*>(create->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindowView*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT MainWindowView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        Control* control = ControlOf(reinterpret_cast<HWND>(lParam));
        if (control == nullptr) {
            break;
        }
        const UINT code = HIWORD(wParam);
        if ((control->Kind() == ControlKind::Button || control->Kind() == ControlKind::CheckBox) &&
            code == BN_CLICKED) {
            control->RaiseClick();
        } else if (control->Kind() == ControlKind::ComboBox && code == CBN_SELCHANGE) {
            control->SetSelectedIndex(
                static_cast<int>(::SendMessageW(reinterpret_cast<HWND>(lParam), CB_GETCURSEL, 0, 0)));
        }
        return 0;
    }
    case WM_DRAWITEM:
        DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        const Control* control = ControlOf(reinterpret_cast<HWND>(lParam));
        if (control != nullptr && IsBadgeText(*model_, *control)) {
            ::SetTextColor(dc, RGB(255, 255, 255));
            ::SetBkColor(dc, theme_.badge);
            ::SetDCBrushColor(dc, theme_.badge);
            return reinterpret_cast<LRESULT>(::GetStockObject(DC_BRUSH));
        }
        const bool quiet =
            control != nullptr &&
            (control == &model_->LanguagePromptText || control == &model_->ApplyingMessageText ||
             control == &model_->SuccessMessageText || control == &model_->FailureMessageText);
        const bool terms = control == &model_->AgreementTextBox;
        ::SetTextColor(dc, quiet ? theme_.secondaryText : theme_.text);
        ::SetBkColor(dc, terms ? theme_.card : theme_.window);
        return reinterpret_cast<LRESULT>(terms ? cardBrush_.Get() : windowBrush_.Get());
    }
    case WM_ERASEBKGND: {
        RECT client{};
        ::GetClientRect(window_, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(windowBrush_.Get()));
        return 1;
    }
    case WM_SIZE:
        Layout();
        return 0;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        CreateFonts();
        for (const auto& [control, child] : children_) {
            ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(*control)), TRUE);
        }
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        Layout();
        return 0;
    }
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
        // Light or dark may have changed; the fonts stay.
        theme_ = CurrentTheme();
        windowBrush_.Reset(::CreateSolidBrush(theme_.window));
        cardBrush_.Reset(::CreateSolidBrush(theme_.card));
        ::InvalidateRect(window_, nullptr, TRUE);
        break;
    case kDispatchMessage:
        RunQueuedClosures();
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        window_ = nullptr;
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

} // namespace Velmora::Win32
