#include "ui/win32/themed_button.h"

#include "common/win32_handles.h"

namespace Velmora::Win32 {

void DrawThemedButton(const DRAWITEMSTRUCT& item, const Theme& theme, bool accent, const std::wstring& text,
                      HFONT font, HBRUSH background) {
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    ::FillRect(dc, &rect, background);
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    COLORREF fill = accent ? theme.accent : theme.card;
    COLORREF textColour = accent ? theme.accentText : theme.text;
    if (disabled) {
        fill = theme.disabledFill;
        textColour = theme.disabledText;
    } else if (pressed) {
        fill = RGB(GetRValue(fill) * 7 / 8, GetGValue(fill) * 7 / 8, GetBValue(fill) * 7 / 8);
    }
    const UniqueGdiObject brush(::CreateSolidBrush(fill));
    const UniqueGdiObject pen(::CreatePen(PS_SOLID, 1, accent && !disabled ? fill : theme.cardBorder));
    const HGDIOBJ oldBrush = ::SelectObject(dc, brush.Get());
    const HGDIOBJ oldPen = ::SelectObject(dc, pen.Get());
    const int radius = (rect.bottom - rect.top) / 4;
    ::RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, radius, radius);
    ::SelectObject(dc, oldPen);
    ::SelectObject(dc, oldBrush);

    const HGDIOBJ oldFont = ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, textColour);
    RECT textRect = rect;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    ::SelectObject(dc, oldFont);
    if ((item.itemState & ODS_FOCUS) != 0) {
        RECT focus = rect;
        ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(dc, &focus);
    }
}

std::wstring WindowTextOf(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

HFONT MakeUiFont(int pixelHeight, int weight) {
    return ::CreateFontW(-pixelHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                         L"Segoe UI");
}

void PaintFramedBackground(HWND window, HDC dc, HBRUSH background, COLORREF edge) {
    RECT client{};
    ::GetClientRect(window, &client);
    ::FillRect(dc, &client, background);
    const UniqueGdiObject frame(::CreateSolidBrush(edge));
    ::FrameRect(dc, &client, static_cast<HBRUSH>(frame.Get()));
}

} // namespace Velmora::Win32
