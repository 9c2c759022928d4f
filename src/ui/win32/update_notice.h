#pragma once

#include "common/win32_handles.h"
#include "ui/update_notice.h"
#include "ui/win32/theme.h"

#include <functional>
#include <optional>
#include <vector>

#include <windows.h>

namespace Velmora::Win32 {

// Unhooks a thread's message hook (SetWindowsHookExW).
struct WindowsHookTraits {
    using Handle = HHOOK;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle hook) noexcept { ::UnhookWindowsHookEx(hook); }
};
using UniqueWindowsHook = UniqueResource<WindowsHookTraits>;

// The update notice: a window owned by the main window (above it, gone with it), which leaves the
// main window usable. The choice arrives through `choose` once, after the notice has closed;
// closing it otherwise (Esc, its close box) is "Later". It takes the keyboard (Tab, Enter, Esc)
// through a message hook of the UI thread, since the main window's loop does not know it.
class UpdateNoticeWindow {
public:
    UpdateNoticeWindow(HINSTANCE instance, HWND owner, const Theme& theme, const UpdateNotice& notice,
                       std::function<void(UpdateChoice)> choose);
    ~UpdateNoticeWindow();
    UpdateNoticeWindow(const UpdateNoticeWindow&) = delete;
    UpdateNoticeWindow& operator=(const UpdateNoticeWindow&) = delete;

    [[nodiscard]] bool IsOpen() const noexcept { return window_ != nullptr; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK MessageHook(int code, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    [[nodiscard]] bool PreTranslate(MSG& message);
    void CreateControls(HINSTANCE instance, int clientWidth);
    void Choose(UpdateChoice choice);
    [[nodiscard]] int Scale(int value) const;

    HWND owner_;
    HWND window_ = nullptr;
    Theme theme_;
    UINT dpi_;
    UpdateNotice notice_;
    std::function<void(UpdateChoice)> choose_;
    UniqueGdiObject headingFont_;
    UniqueGdiObject bodyFont_;
    UniqueGdiObject background_;
    UniqueGdiObject notesBackground_;
    HWND importance_ = nullptr;
    HWND notes_ = nullptr;
    std::vector<HWND> buttons_; // in the order of notice_.buttons
    UniqueWindowsHook hook_;
};

} // namespace Velmora::Win32
