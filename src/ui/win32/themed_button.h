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

// The program's face (Segoe UI) at `pixelHeight` pixels and `weight`; the caller owns the font.
[[nodiscard]] HFONT MakeUiFont(int pixelHeight, int weight);

// Fills a window's client area with `background` and frames it in `edge`: a visible edge, also where
// no window manager draws a frame.
void PaintFramedBackground(HWND window, HDC dc, HBRUSH background, COLORREF edge);

} // namespace Velmora::Win32
