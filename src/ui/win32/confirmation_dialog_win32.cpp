#include "ui/win32/confirmation_dialog.h"

#include "ui/win32/themed_button.h"

#include <commctrl.h>

#include <algorithm>

namespace Velmora::Win32 {
namespace {

constexpr wchar_t kClassName[] = L"VelmoraConfirmationDialog";
constexpr int kPrimaryId = 101;
constexpr int kCloseId = IDCANCEL;

void RegisterDialogClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.lpszClassName = kClassName;
    ::RegisterClassExW(&windowClass);
}

// The dialog's texts, painted with the reading order of their language: the static control lays out
// Arabic mixed with Latin or digits left to right under Wine.
LRESULT CALLBACK TextProcedure(HWND text, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message != WM_PAINT) {
        return ::DefSubclassProc(text, message, wParam, lParam);
    }
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(text, &paint);
    RECT client{};
    ::GetClientRect(text, &client);
    const HWND dialog = ::GetParent(text);
    const auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
        dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(text)));
    ::FillRect(dc, &client, brush);
    ::SetBkMode(dc, TRANSPARENT);
    const HGDIOBJ oldFont =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(text, WM_GETFONT, 0, 0)));
    const std::wstring words = WindowTextOf(text);
    const LONG_PTR style = ::GetWindowLongPtrW(text, GWL_STYLE);
    const bool rtl = (::GetWindowLongPtrW(text, GWL_EXSTYLE) & WS_EX_RTLREADING) != 0;
    ::DrawTextW(dc, words.c_str(), static_cast<int>(words.size()), &client,
                DT_WORDBREAK | DT_NOPREFIX | ((style & SS_CENTER) != 0 ? DT_CENTER : 0) |
                    (rtl ? DT_RTLREADING : 0));
    ::SelectObject(dc, oldFont);
    ::EndPaint(text, &paint);
    return 0;
}

// How tall `text` is once wrapped to `width`: a long list of what a run turns off is shown whole.
int WrappedHeight(HFONT font, const std::wstring& text, int width, bool rtl) {
    const UniqueMemoryDeviceContext dc(::CreateCompatibleDC(nullptr));
    if (!dc) {
        return 0;
    }
    const HGDIOBJ oldFont = ::SelectObject(dc.Get(), font);
    RECT area{0, 0, width, 0};
    ::DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &area,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | (rtl ? DT_RTLREADING : 0));
    ::SelectObject(dc.Get(), oldFont);
    return static_cast<int>(area.bottom);
}

} // namespace

ConfirmationDialogWindow::ConfirmationDialogWindow(HINSTANCE instance, HWND owner, const Theme& theme,
                                                   UINT dpi, const implementation::ConfirmationDialog& dialog,
                                                   std::function<void(implementation::DialogResult)> done)
    : owner_(owner), theme_(theme), dpi_(dpi), dialog_(dialog), done_(std::move(done)) {
    RegisterDialogClass(instance, &ConfirmationDialogWindow::WindowProc);
    titleFont_.Reset(MakeUiFont(Scale(static_cast<int>(dialog_.titleFontSize)), FW_SEMIBOLD));
    bodyFont_.Reset(MakeUiFont(Scale(15), FW_NORMAL));
    background_.Reset(::CreateSolidBrush(theme_.window));

    const bool rtl = dialog_.flowDirection == FlowDirection::RightToLeft;
    const int width = Scale(560);
    const int margin = Scale(20);
    // The content's own height beyond the room a short message has, up to what the screen can show.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(owner_, MONITOR_DEFAULTTONEAREST), &monitor);
    const int screenRoom = static_cast<int>(monitor.rcWork.bottom - monitor.rcWork.top) - Scale(300);
    // Measured a little narrower than it is shown (the frame takes some of the width): never too short.
    const int measured = WrappedHeight(static_cast<HFONT>(bodyFont_.Get()), dialog_.content,
                                       width - 2 * margin - Scale(16), rtl);
    const int contentHeight = std::clamp(measured + Scale(4), Scale(110), std::max(Scale(110), screenRoom));
    const int height = Scale(300) - Scale(110) + contentHeight;
    RECT ownerRect{};
    ::GetWindowRect(owner_, &ownerRect);
    const int x = ownerRect.left + ((ownerRect.right - ownerRect.left) - width) / 2;
    const int y =
        std::max(static_cast<int>(monitor.rcWork.top),
                 static_cast<int>(ownerRect.top + ((ownerRect.bottom - ownerRect.top) - height) / 2));
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | (rtl ? WS_EX_LAYOUTRTL : 0);
    window_ = ::CreateWindowExW(exStyle, kClassName, dialog_.title.c_str(),
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, x, y, width, height,
                                owner_, nullptr, instance, this);
    if (window_ == nullptr) {
        return;
    }
    RECT client{};
    ::GetClientRect(window_, &client);
    const int inner = client.right - 2 * margin;
    const DWORD textExStyle = rtl ? WS_EX_RTLREADING : 0;
    HWND title =
        ::CreateWindowExW(textExStyle, L"STATIC", dialog_.title.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER,
                          margin, margin, inner, Scale(32), window_, nullptr, instance, nullptr);
    // Text taller than the screen has room for scrolls, in a read-only box the keyboard reaches too.
    const bool scrolls = measured + Scale(4) > contentHeight;
    std::wstring words = dialog_.content;
    if (scrolls) {
        for (std::size_t at = words.find(L'\n'); at != std::wstring::npos; at = words.find(L'\n', at + 2)) {
            words.insert(at, 1, L'\r');
        }
    }
    HWND content = ::CreateWindowExW(
        textExStyle | (scrolls && rtl ? WS_EX_LEFTSCROLLBAR : 0), scrolls ? L"EDIT" : L"STATIC",
        words.c_str(),
        WS_CHILD | WS_VISIBLE |
            (scrolls ? WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | (rtl ? ES_RIGHT : 0) : 0),
        margin, margin + Scale(44), inner, contentHeight, window_, nullptr, instance, nullptr);
    const int buttonWidth = (inner - Scale(12)) / 2;
    const int buttonTop = client.bottom - margin - Scale(36);
    // A notice without a choice has its close button alone.
    primary_ =
        dialog_.primaryButtonText.empty()
            ? nullptr
            : ::CreateWindowExW(0, L"BUTTON", dialog_.primaryButtonText.c_str(),
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, margin, buttonTop,
                                buttonWidth, Scale(36), window_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPrimaryId)), instance, nullptr);
    close_ = ::CreateWindowExW(0, L"BUTTON", dialog_.closeButtonText.c_str(),
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                               margin + buttonWidth + Scale(12), buttonTop, buttonWidth, Scale(36), window_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCloseId)), instance, nullptr);
    ::SetWindowSubclass(title, &TextProcedure, 1, 0);
    if (!scrolls) {
        ::SetWindowSubclass(content, &TextProcedure, 1, 0);
    }
    ::SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_.Get()), FALSE);
    for (HWND child : {content, primary_, close_}) {
        if (child != nullptr) {
            ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont_.Get()), FALSE);
        }
    }
    ::EnableWindow(owner_, FALSE);
    ::ShowWindow(window_, SW_SHOW);
    ::SetFocus(close_); // the safe answer has the focus
    // Painted at once: opened from a message posted by another process (closing the window), Wine leaves
    // the new window's controls unpainted until something else repaints them.
    ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

ConfirmationDialogWindow::~ConfirmationDialogWindow() {
    if (window_ != nullptr) {
        ::EnableWindow(owner_, TRUE);
        ::DestroyWindow(window_);
    }
}

int ConfirmationDialogWindow::Scale(int value) const {
    return ::MulDiv(value, static_cast<int>(dpi_), 96);
}

bool ConfirmationDialogWindow::PreTranslate(MSG& message) {
    if (window_ == nullptr) {
        return false;
    }
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
        ((primary_ != nullptr && message.hwnd == primary_) || message.hwnd == close_)) {
        ::SendMessageW(message.hwnd, BM_CLICK, 0, 0);
        return true;
    }
    return ::IsDialogMessageW(window_, &message) != FALSE;
}

void ConfirmationDialogWindow::Close(implementation::DialogResult result) {
    if (window_ == nullptr) {
        return;
    }
    ::EnableWindow(owner_, TRUE); // before the dialog goes, so the owner gets the activation back
    HWND closing = window_;
    window_ = nullptr;
    ::DestroyWindow(closing);
    ::SetForegroundWindow(owner_);
    if (done_) {
        auto done = std::move(done_);
        done(result);
    }
}

LRESULT CALLBACK ConfirmationDialogWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                      LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<ConfirmationDialogWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || (self->window_ != window && self->window_ != nullptr)) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (self->window_ == nullptr && message != WM_NCCREATE && message != WM_CREATE) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (const auto handled = self->HandleMessage(message, wParam, lParam)) {
        return *handled;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

std::optional<LRESULT> ConfirmationDialogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kPrimaryId) {
            Close(implementation::DialogResult::Primary);
            return 0;
        }
        if (LOWORD(wParam) == kCloseId) {
            Close(implementation::DialogResult::None);
            return 0;
        }
        if (LOWORD(wParam) == IDOK) { // Enter with no button focused: the safe answer
            Close(implementation::DialogResult::None);
            return 0;
        }
        return std::nullopt;
    case WM_CLOSE:
        Close(implementation::DialogResult::None);
        return 0;
    case WM_ERASEBKGND:
        PaintFramedBackground(window_, reinterpret_cast<HDC>(wParam), static_cast<HBRUSH>(background_.Get()),
                              theme_.cardBorder);
        return 1;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, theme_.text);
        ::SetBkColor(dc, theme_.window);
        return reinterpret_cast<LRESULT>(background_.Get());
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const bool accent = item->hwndItem == primary_ && !dialog_.primaryButtonStyle.empty();
        DrawThemedButton(*item, theme_, accent, WindowTextOf(item->hwndItem),
                         static_cast<HFONT>(bodyFont_.Get()), static_cast<HBRUSH>(background_.Get()));
        return TRUE;
    }
    default:
        return std::nullopt;
    }
}

} // namespace Velmora::Win32
