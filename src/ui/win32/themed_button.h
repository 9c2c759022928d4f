#pragma once

#include "ui/win32/theme.h"

#include <string>

#include <windows.h>

namespace Velmora::Win32 {

// Paints an owner-drawn push button: accent-filled for the primary action, a quiet card look
// otherwise, greyed when disabled, with a focus rectangle for keyboard users.
void DrawThemedButton(const DRAWITEMSTRUCT& item, const Theme& theme, bool accent, const std::wstring& text,
                      HFONT font, HBRUSH background);

[[nodiscard]] std::wstring WindowTextOf(HWND window);

} // namespace Velmora::Win32
