#pragma once

#include "common/win32_handles.h"
#include "ui/control.h"
#include "ui/layout.h"
#include "ui/win32/theme.h"

#include <array>
#include <string>

#include <windows.h>

namespace Velmora::Win32 {

// Everything the main window paints, in one place: the fonts of each role at the window's DPI, the
// theme's colours, owner-drawn buttons and cards, the colours of the standard controls and the
// focus ring. It measures text for the layout with the same fonts.
class ViewPainter final : public LayoutMetrics {
public:
    ViewPainter();

    void SetDpi(UINT dpi);
    void SetTheme(const Theme& theme);
    [[nodiscard]] UINT Dpi() const noexcept { return dpi_; }
    [[nodiscard]] const Theme& Colours() const noexcept { return theme_; }
    [[nodiscard]] HFONT Font(FontRole role) const noexcept;

    // LayoutMetrics
    [[nodiscard]] int Scale(double dips) const override;
    [[nodiscard]] Size MeasureText(const Control& control, int maxWidth) const override;
    [[nodiscard]] int ScrollBarWidth() const override;

    void FillBackground(HDC dc, const RECT& rect) const;
    // WM_CTLCOLOR* of a standard control: sets its text and background colours, returns its brush.
    [[nodiscard]] HBRUSH ControlColours(HDC dc, const Control& control) const;
    // WM_DRAWITEM of an owner-drawn button. A card also paints the texts of its content, at their
    // places in `arrangement`.
    void DrawButton(const DRAWITEMSTRUCT& item, const Control& button, const Arrangement& arrangement) const;
    // A text control's own window, in its colours, wrapped or (with a fixed height) centred on one line.
    void DrawTextBlock(HDC dc, const RECT& rect, const Control& text) const;
    // One cell of a list, on one line; a selected row in the accent colour while the list has the focus.
    // A heading row (a group's title) is drawn apart, in the card title's font.
    void DrawListCell(HDC dc, const RECT& cell, const std::wstring& text, bool selected, bool focused,
                      bool rightToLeft, bool heading) const;
    // A list row's check box in the rectangle before its first cell; nothing for RowCheck::None.
    void DrawRowCheck(HDC dc, const RECT& area, RowCheck check) const;
    // One column heading of a list (the header control draws nothing itself).
    void DrawListHeading(HDC dc, const RECT& rect, const std::wstring& text, bool rightToLeft) const;
    // Around a focused control, outside its rectangle (given in its parent's client coordinates).
    void DrawFocusRing(HDC dc, RECT control) const;
    [[nodiscard]] int FocusRingMargin() const { return Scale(4); }

private:
    void DrawCard(const DRAWITEMSTRUCT& item, const Control& card, const Arrangement& arrangement) const;

    UINT dpi_ = 96;
    Theme theme_;
    std::array<UniqueGdiObject, 4> fonts_; // by FontRole
    UniqueGdiObject windowBrush_;
    UniqueGdiObject cardBrush_;
    UniqueGdiObject badgeBrush_;
    UniqueMemoryDeviceContext measuring_;
};

} // namespace Velmora::Win32
