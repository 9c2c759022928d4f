#include "ui/win32/update_notice.h"

#include "ui/win32/themed_button.h"

#include <algorithm>

namespace Velmora::Win32 {
namespace {

constexpr wchar_t kClassName[] = L"VelmoraUpdateNotice";
constexpr int kFirstButtonId = 201;
// At 96 DPI.
constexpr int kWidth = 540;
constexpr int kMargin = 20;
constexpr int kHeadingHeight = 30;
constexpr int kLineHeight = 22;
constexpr int kNotesHeight = 150;
constexpr int kButtonHeight = 36;
constexpr int kGap = 12;

// The notice of this thread, for its message hook; there is at most one at a time.
thread_local UpdateNoticeWindow* openNotice = nullptr;

// The edit control breaks lines only at "\r\n".
std::wstring WithWindowsLineEnds(const std::wstring& text) {
    std::wstring out;
    for (const wchar_t c : text) {
        if (c == L'\n') {
            out += L"\r\n";
        } else if (c != L'\r') {
            out += c;
        }
    }
    return out;
}

} // namespace

UpdateNoticeWindow::UpdateNoticeWindow(HINSTANCE instance, HWND owner, const Theme& theme,
                                       const UpdateNotice& notice, std::function<void(UpdateChoice)> choose)
    : owner_(owner), theme_(theme), dpi_(::GetDpiForWindow(owner)), notice_(notice),
      choose_(std::move(choose)) {
    if (dpi_ == 0) {
        dpi_ = ::GetDpiForSystem();
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &UpdateNoticeWindow::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.lpszClassName = kClassName;
    ::RegisterClassExW(&windowClass); // fails harmlessly when registered by an earlier notice
    headingFont_.Reset(MakeUiFont(Scale(20), FW_SEMIBOLD));
    bodyFont_.Reset(MakeUiFont(Scale(15), FW_NORMAL));
    background_.Reset(::CreateSolidBrush(theme_.window));
    notesBackground_.Reset(::CreateSolidBrush(theme_.card));

    const bool critical = !notice_.importance.empty();
    RECT frame{0, 0, Scale(kWidth),
               Scale(kMargin + kHeadingHeight + kGap + 2 * kLineHeight + (critical ? kLineHeight + kGap : 0) +
                     kGap + kNotesHeight + 2 * kGap + kButtonHeight + kMargin)};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT |
                          (notice_.flowDirection == FlowDirection::RightToLeft ? WS_EX_LAYOUTRTL : 0);
    ::AdjustWindowRectExForDpi(&frame, style, FALSE, exStyle, dpi_);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT ownerRect{};
    ::GetWindowRect(owner_, &ownerRect);
    const int x = ownerRect.left + ((ownerRect.right - ownerRect.left) - width) / 2;
    const int y = ownerRect.top + ((ownerRect.bottom - ownerRect.top) - height) / 2;
    window_ = ::CreateWindowExW(exStyle, kClassName, notice_.title.c_str(), style, x, y, width, height,
                                owner_, nullptr, instance, this);
    if (window_ == nullptr) {
        return;
    }
    RECT client{};
    ::GetClientRect(window_, &client);
    CreateControls(instance, client.right);
    openNotice = this;
    hook_.Reset(::SetWindowsHookExW(WH_GETMESSAGE, &UpdateNoticeWindow::MessageHook, nullptr,
                                    ::GetCurrentThreadId()));
    ::ShowWindow(window_, SW_SHOW);
    ::SetFocus(buttons_.front()); // Download
}

void UpdateNoticeWindow::CreateControls(HINSTANCE instance, int clientWidth) {
    const bool rtl = notice_.flowDirection == FlowDirection::RightToLeft;
    const DWORD textExStyle = rtl ? WS_EX_RTLREADING : 0;
    const int margin = Scale(kMargin);
    const int inner = clientWidth - 2 * margin;
    int top = margin;
    const auto text = [&](const std::wstring& caption, int height, HFONT font) {
        HWND child =
            ::CreateWindowExW(textExStyle, L"STATIC", caption.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT,
                              margin, top, inner, height, window_, nullptr, instance, nullptr);
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        top += height + Scale(kGap);
        return child;
    };
    text(notice_.heading, Scale(kHeadingHeight), static_cast<HFONT>(headingFont_.Get()));
    text(notice_.versionLine, Scale(2 * kLineHeight), static_cast<HFONT>(bodyFont_.Get()));
    if (!notice_.importance.empty()) {
        importance_ = text(notice_.importance, Scale(kLineHeight), static_cast<HFONT>(bodyFont_.Get()));
    }
    notes_ = ::CreateWindowExW(
        textExStyle | WS_EX_CLIENTEDGE, L"EDIT", WithWindowsLineEnds(notice_.notes).c_str(),
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, margin,
        top, inner, Scale(kNotesHeight), window_, nullptr, instance, nullptr);
    ::SendMessageW(notes_, WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont_.Get()), FALSE);

    const int count = static_cast<int>(notice_.buttons.size());
    const int gap = Scale(kGap);
    const int buttonWidth = (inner - (count - 1) * gap) / count;
    const int buttonTop = top + Scale(kNotesHeight) + 2 * gap;
    for (int i = 0; i < count; ++i) {
        const UpdateNoticeButton& button = notice_.buttons[static_cast<std::size_t>(i)];
        const int id = button.choice == UpdateChoice::Later ? IDCANCEL : kFirstButtonId + i;
        HWND child = ::CreateWindowExW(
            0, L"BUTTON", button.text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
            margin + i * (buttonWidth + gap), buttonTop, buttonWidth, Scale(kButtonHeight), window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont_.Get()), FALSE);
        buttons_.push_back(child);
    }
}

UpdateNoticeWindow::~UpdateNoticeWindow() {
    if (window_ != nullptr) {
        ::DestroyWindow(window_);
    }
}

int UpdateNoticeWindow::Scale(int value) const {
    return ::MulDiv(value, static_cast<int>(dpi_), 96);
}

LRESULT CALLBACK UpdateNoticeWindow::MessageHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && openNotice != nullptr) {
        auto* message = reinterpret_cast<MSG*>(lParam);
        if (openNotice->PreTranslate(*message)) {
            message->message = WM_NULL; // handled: the loop dispatches nothing
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool UpdateNoticeWindow::PreTranslate(MSG& message) {
    if (window_ == nullptr || (message.hwnd != window_ && ::GetParent(message.hwnd) != window_)) {
        return false;
    }
    // Owner-drawn buttons are no default buttons: Enter presses the focused one, as Space does.
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
        std::find(buttons_.begin(), buttons_.end(), message.hwnd) != buttons_.end()) {
        ::SendMessageW(message.hwnd, BM_CLICK, 0, 0);
        return true;
    }
    return ::IsDialogMessageW(window_, &message) != FALSE;
}

void UpdateNoticeWindow::Choose(UpdateChoice choice) {
    if (window_ == nullptr) {
        return;
    }
    HWND closing = window_;
    window_ = nullptr;
    ::DestroyWindow(closing);
    if (choose_) {
        auto choose = std::move(choose_);
        choose(choice);
    }
}

LRESULT CALLBACK UpdateNoticeWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<UpdateNoticeWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY && self != nullptr) {
        // Closed by a choice, or destroyed with its owner: the hook goes with it.
        self->window_ = nullptr;
        self->hook_.Reset();
        if (openNotice == self) {
            openNotice = nullptr;
        }
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    } else if (self != nullptr && self->window_ == window) {
        if (const auto handled = self->HandleMessage(message, wParam, lParam)) {
            return *handled;
        }
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

std::optional<LRESULT> UpdateNoticeWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == IDCANCEL || id == IDOK) { // Esc, or Enter with no button focused: the safe answer
            Choose(UpdateChoice::Later);
            return 0;
        }
        const int index = id - kFirstButtonId;
        if (index >= 0 && index < static_cast<int>(notice_.buttons.size())) {
            Choose(notice_.buttons[static_cast<std::size_t>(index)].choice);
            return 0;
        }
        return std::nullopt;
    }
    case WM_CLOSE:
        Choose(UpdateChoice::Later);
        return 0;
    case WM_ERASEBKGND:
        PaintFramedBackground(window_, reinterpret_cast<HDC>(wParam), static_cast<HBRUSH>(background_.Get()),
                              theme_.cardBorder);
        return 1;
    case WM_CTLCOLORSTATIC: { // the texts, and the read-only notes
        HDC dc = reinterpret_cast<HDC>(wParam);
        const bool notes = reinterpret_cast<HWND>(lParam) == notes_;
        const bool important = reinterpret_cast<HWND>(lParam) == importance_ && importance_ != nullptr;
        ::SetTextColor(dc, important ? theme_.badge : theme_.text);
        ::SetBkColor(dc, notes ? theme_.card : theme_.window);
        return reinterpret_cast<LRESULT>(notes ? notesBackground_.Get() : background_.Get());
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const bool accent = !buttons_.empty() && item->hwndItem == buttons_.front();
        DrawThemedButton(*item, theme_, accent, WindowTextOf(item->hwndItem),
                         static_cast<HFONT>(bodyFont_.Get()), static_cast<HBRUSH>(background_.Get()));
        return TRUE;
    }
    default:
        return std::nullopt;
    }
}

} // namespace Velmora::Win32
