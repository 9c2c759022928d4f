#pragma once

#include "common/win32_handles.h"
#include "ui/main_window.h"
#include "ui/win32/theme.h"

#include <functional>
#include <optional>

#include <windows.h>

namespace Velmora::Win32 {

// The app-removal confirmation: a modal window over its owner (the owner is disabled while it is
// open). The answer arrives through `done` once, after the window has closed.
class ConfirmationDialogWindow {
public:
    ConfirmationDialogWindow(HINSTANCE instance, HWND owner, const Theme& theme, UINT dpi,
                             const implementation::ConfirmationDialog& dialog,
                             std::function<void(implementation::DialogResult)> done);
    ~ConfirmationDialogWindow();
    ConfirmationDialogWindow(const ConfirmationDialogWindow&) = delete;
    ConfirmationDialogWindow& operator=(const ConfirmationDialogWindow&) = delete;

    [[nodiscard]] bool IsOpen() const noexcept { return window_ != nullptr; }
    [[nodiscard]] bool PreTranslate(MSG& message);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Close(implementation::DialogResult result);
    [[nodiscard]] int Scale(int value) const;

    HWND owner_;
    HWND window_ = nullptr;
    Theme theme_;
    UINT dpi_;
    implementation::ConfirmationDialog dialog_;
    std::function<void(implementation::DialogResult)> done_;
    UniqueGdiObject titleFont_;
    UniqueGdiObject bodyFont_;
    UniqueGdiObject background_;
    HWND primary_ = nullptr;
    HWND close_ = nullptr;
};

} // namespace Velmora::Win32
