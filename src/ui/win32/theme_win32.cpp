#include "ui/win32/theme.h"

namespace Velmora::Win32 {

Theme CurrentTheme() {
    DWORD light = 1;
    DWORD size = sizeof light;
    ::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                   L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &light, &size);
    Theme theme;
    if (light == 0) {
        theme.dark = true;
        theme.window = RGB(32, 32, 32);
        theme.text = RGB(255, 255, 255);
        theme.secondaryText = RGB(200, 200, 200);
        theme.card = RGB(43, 43, 43);
        theme.cardBorder = RGB(64, 64, 64);
        theme.accent = RGB(76, 194, 255);
        theme.accentText = RGB(0, 0, 0);
        theme.disabledFill = RGB(60, 60, 60);
        theme.disabledText = RGB(120, 120, 120);
    }
    return theme;
}

bool StyleExists(std::wstring_view key) {
    return key == L"DefaultButtonStyle" || key == L"AccentButtonStyle";
}

} // namespace Velmora::Win32
