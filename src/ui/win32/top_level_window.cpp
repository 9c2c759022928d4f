#include "ui/win32/top_level_window.h"

#include <utility>

namespace Velmora::Win32 {
namespace {

constexpr wchar_t kClassName[] = L"VelmoraMainWindow";
constexpr int kDefaultWidth = 960; // at 96 DPI
constexpr int kDefaultHeight = 680;

UINT SystemDpi() {
    using GetDpiForSystemFn = UINT(WINAPI*)();
    // Bound at run time: older systems and some Wine builds lack it.
    const auto getDpi = reinterpret_cast<GetDpiForSystemFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForSystem")));
    return getDpi != nullptr ? getDpi() : 96;
}

bool RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

TopLevelWindow::TopLevelWindow(HINSTANCE instance, std::wstring title)
    : instance_(instance), title_(std::move(title)) {}

TopLevelWindow::~TopLevelWindow() {
    if (window_ != nullptr) {
        ::DestroyWindow(window_);
    }
}

bool TopLevelWindow::Create() {
    if (!RegisterWindowClass(instance_, &TopLevelWindow::WindowProc)) {
        return false;
    }
    const UINT dpi = SystemDpi();
    const int width = ::MulDiv(kDefaultWidth, static_cast<int>(dpi), 96);
    const int height = ::MulDiv(kDefaultHeight, static_cast<int>(dpi), 96);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + ((work.right - work.left) - width) / 2;
    const int y = work.top + ((work.bottom - work.top) - height) / 2;
    window_ = ::CreateWindowExW(0, kClassName, title_.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y,
                                width, height, nullptr, nullptr, instance_, this);
    return window_ != nullptr;
}

void TopLevelWindow::Show(int showCommand) const {
    ::ShowWindow(window_, showCommand);
    ::UpdateWindow(window_);
}

LRESULT CALLBACK TopLevelWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<TopLevelWindow*>(create->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TopLevelWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT TopLevelWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_PAINT: {
        // Until the pages exist the window shows its name, so a user sees the program is alive.
        PAINTSTRUCT paint{};
        HDC dc = ::BeginPaint(window_, &paint);
        RECT client{};
        ::GetClientRect(window_, &client);
        ::SetBkMode(dc, TRANSPARENT);
        ::DrawTextW(dc, title_.c_str(), static_cast<int>(title_.size()), &client,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::EndPaint(window_, &paint);
        return 0;
    }
    case WM_DESTROY:
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        window_ = nullptr;
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window_, message, wParam, lParam);
    }
}

int RunMessageLoop() {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace Velmora::Win32
