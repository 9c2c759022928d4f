#pragma once

#include <string_view>

#include <windows.h>

namespace Velmora::Win32 {

// The colours of the window, following the system's light or dark app theme.
struct Theme {
    bool dark = false;
    COLORREF window = RGB(243, 243, 243);
    COLORREF text = RGB(26, 26, 26);
    COLORREF secondaryText = RGB(96, 96, 96);
    COLORREF card = RGB(255, 255, 255);
    COLORREF cardBorder = RGB(220, 220, 220);
    COLORREF accent = RGB(15, 108, 189);
    COLORREF accentText = RGB(255, 255, 255);
    COLORREF disabledFill = RGB(200, 200, 200);
    COLORREF disabledText = RGB(130, 130, 130);
    COLORREF badge = RGB(196, 43, 28);
};

// Reads "AppsUseLightTheme" of the current user; light when it cannot be read.
[[nodiscard]] Theme CurrentTheme();

// The application style table: which style keys exist.
[[nodiscard]] bool StyleExists(std::wstring_view key);

} // namespace Velmora::Win32
