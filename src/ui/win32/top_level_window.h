#pragma once

#include <string>

#include <windows.h>

namespace Velmora::Win32 {

// The application's one top-level window: registers its class, creates itself centred on the
// primary monitor at a size scaled to that monitor's DPI, and ends the message loop when destroyed.
class TopLevelWindow {
public:
    TopLevelWindow(HINSTANCE instance, std::wstring title);
    ~TopLevelWindow();
    TopLevelWindow(const TopLevelWindow&) = delete;
    TopLevelWindow& operator=(const TopLevelWindow&) = delete;

    [[nodiscard]] bool Create();
    void Show(int showCommand) const;
    [[nodiscard]] HWND Handle() const noexcept { return window_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance_;
    std::wstring title_;
    HWND window_ = nullptr; // destroyed by the destructor unless the user closed it first
};

// Dispatches messages until WM_QUIT; returns its exit code.
int RunMessageLoop();

} // namespace Velmora::Win32
