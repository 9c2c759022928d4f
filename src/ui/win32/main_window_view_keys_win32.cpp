// The main window's keyboard and focus: the keys of each page, the focus when a page opens or the
// window is activated again, and the focus ring.

#include "ui/win32/main_window_view.h"

#include "ui/win32/confirmation_dialog.h"

#include <algorithm>

namespace Velmora::Win32 {
namespace {

// A control's rectangle in its parent's client coordinates, left before right also when mirrored.
RECT RectInParent(HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    if (rect.left > rect.right) {
        std::swap(rect.left, rect.right);
    }
    return rect;
}

} // namespace

bool MainWindowView::IsReachable(HWND window) const {
    return window != nullptr && window != window_ && ::IsChild(window_, window) &&
           ::IsWindowVisible(window) && ::IsWindowEnabled(window);
}

void MainWindowView::FocusControl(const Control* control) {
    const HWND target = control == nullptr ? nullptr : windows_.WindowOf(*control);
    ::SetFocus(IsReachable(target) ? target : window_);
}

// The window is active again (or was given the focus itself): the focus goes back where it was on
// this page, or to the page's own control.
void MainWindowView::RestoreFocus() {
    if (DialogOpen() || model_ == nullptr) {
        return;
    }
    const Control* page = model_->ShownPage();
    const Control* wanted = focusOnActivation_;
    if (wanted == nullptr || page != focusedPage_ || !IsReachable(windows_.WindowOf(*wanted))) {
        wanted = model_->FocusTarget();
    }
    focusedPage_ = page;
    focusOnActivation_ = nullptr;
    FocusControl(wanted);
}

// Keeps the focus ring on the focused control, and the control in view.
void MainWindowView::AfterMessage() {
    const HWND focus = ::GetFocus();
    if (focus == lastFocus_) {
        return;
    }
    InvalidateFocusRing(lastFocus_);
    InvalidateFocusRing(focus);
    lastFocus_ = focus;
    if (windows_.ControlOf(focus) != nullptr) {
        windows_.ScrollIntoView(focus);
    }
}

void MainWindowView::InvalidateFocusRing(HWND control) const {
    if (control == nullptr || !::IsWindow(control) || windows_.ControlOf(control) == nullptr) {
        return;
    }
    RECT ring = RectInParent(control);
    const int margin = painter_.FocusRingMargin() + painter_.Scale(2);
    ::InflateRect(&ring, margin, margin);
    ::InvalidateRect(::GetParent(control), &ring, TRUE);
}

void MainWindowView::Paint(HWND window) {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(window, &paint);
    const HWND focus = ::GetFocus();
    if (focus != nullptr && ::GetParent(focus) == window && ::IsWindowVisible(focus) &&
        windows_.ControlOf(focus) != nullptr) {
        painter_.DrawFocusRing(dc, RectInParent(focus));
    }
    ::EndPaint(window, &paint);
}

bool MainWindowView::DialogOpen() const noexcept {
    return dialog_ && dialog_->IsOpen();
}

void MainWindowView::Click(const Control& control) {
    if (const HWND window = windows_.WindowOf(control)) {
        ::SendMessageW(window, BM_CLICK, 0, 0);
    }
}

bool MainWindowView::HandleKey(const MSG& message) {
    if (message.message != WM_KEYDOWN || model_ == nullptr ||
        (message.hwnd != window_ && !::IsChild(window_, message.hwnd))) {
        return false;
    }
    const Control* control = windows_.ControlOf(message.hwnd);
    if (control != nullptr && control->Kind() == ControlKind::ComboBox &&
        ::SendMessageW(message.hwnd, CB_GETDROPPEDSTATE, 0, 0) != FALSE) {
        return false; // the open list takes Enter, Escape and the arrows
    }
    switch (message.wParam) {
    case VK_RETURN:
        // Enter presses the focused button, or else the page's default button.
        if (control != nullptr && control->Kind() == ControlKind::Button) {
            Click(*control);
        } else if (const Control* button = model_->DefaultButton()) {
            Click(*button);
        }
        return true;
    case VK_ESCAPE:
        if (const Control* button = model_->EscapeButton()) {
            Click(*button);
        }
        return true;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        if (control != nullptr && control->Parent() != nullptr && control->Parent()->look.arrowKeysChoose) {
            MoveBetweenChoices(*control, message.wParam);
            return true;
        }
        return false;
    default:
        return false;
    }
}

// Like a group of option buttons: the arrows move to the next or previous choice, in reading order
// (so Left moves forward in Arabic), and choose it.
void MainWindowView::MoveBetweenChoices(const Control& from, WPARAM key) {
    std::vector<const Control*> choices;
    for (const Control* sibling : from.Parent()->Children()) {
        if (sibling->Kind() == ControlKind::Button && sibling->IsShown() && sibling->IsEnabled()) {
            choices.push_back(sibling);
        }
    }
    const auto at = std::find(choices.begin(), choices.end(), &from);
    if (at == choices.end()) {
        return;
    }
    const bool rtl = from.EffectiveFlowDirection() == FlowDirection::RightToLeft;
    const bool forward = key == VK_DOWN || key == static_cast<WPARAM>(rtl ? VK_LEFT : VK_RIGHT);
    const auto count = static_cast<std::ptrdiff_t>(choices.size());
    const auto index = ((at - choices.begin()) + (forward ? 1 : count - 1)) % count;
    const Control& next = *choices[static_cast<size_t>(index)];
    FocusControl(&next);
    Click(next);
}

bool MainWindowView::PreTranslate(MSG& message) {
    if (DialogOpen() && dialog_->PreTranslate(message)) {
        return true;
    }
    if (window_ == nullptr) {
        return false;
    }
    if (HandleKey(message)) {
        return true;
    }
    return ::IsDialogMessageW(window_, &message) != FALSE;
}

} // namespace Velmora::Win32
