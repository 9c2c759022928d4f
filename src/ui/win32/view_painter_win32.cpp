#include "ui/win32/view_painter.h"

#include "ui/main_window.h"
#include "ui/win32/themed_button.h"
#include "ui/window_placement.h"

namespace Velmora::Win32 {
namespace {

struct FontSpec {
    double size; // device-independent pixels
    int weight;
};
// By FontRole: Body, Title, Heading, CardTitle.
constexpr std::array<FontSpec, 4> kFonts{
    {{15, FW_NORMAL}, {30, FW_SEMIBOLD}, {22, FW_SEMIBOLD}, {18, FW_SEMIBOLD}}};

UINT TextFormat(const Control& control) {
    UINT format = DT_NOPREFIX | DT_WORDBREAK;
    if (control.look.alignment == Alignment::Center) {
        format |= DT_CENTER;
    } else if (control.look.alignment == Alignment::End) {
        format |= DT_RIGHT;
    }
    if (control.EffectiveFlowDirection() == FlowDirection::RightToLeft) {
        format |= DT_RTLREADING;
    }
    return format;
}

// The direction of a text by its first strong letter (Hebrew and Arabic right to left, Latin left to
// right), else `fallback`: a registry path in an Arabic list reads left to right.
bool ReadsRightToLeft(const std::wstring& text, bool fallback) {
    for (const wchar_t c : text) {
        if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFEFC)) {
            return true;
        }
        if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= 0x00C0 && c <= 0x024F)) {
            return false;
        }
    }
    return fallback;
}

bool IsAccent(const Control& control) {
    return control.look.emphasis == Emphasis::Accent || control.Style() == implementation::kAccentButtonStyle;
}

} // namespace

ViewPainter::ViewPainter() : measuring_(::CreateCompatibleDC(nullptr)) {
    SetTheme(CurrentTheme());
    SetDpi(96);
}

void ViewPainter::SetDpi(UINT dpi) {
    dpi_ = dpi;
    for (size_t role = 0; role < fonts_.size(); ++role) {
        fonts_[role].Reset(MakeUiFont(Scale(kFonts[role].size), kFonts[role].weight));
    }
}

void ViewPainter::SetTheme(const Theme& theme) {
    theme_ = theme;
    windowBrush_.Reset(::CreateSolidBrush(theme_.window));
    cardBrush_.Reset(::CreateSolidBrush(theme_.card));
    badgeBrush_.Reset(::CreateSolidBrush(theme_.badge));
}

HFONT ViewPainter::Font(FontRole role) const noexcept {
    return static_cast<HFONT>(fonts_[static_cast<size_t>(role)].Get());
}

int ViewPainter::Scale(double dips) const {
    return DipsToPixels(dips, dpi_);
}

Size ViewPainter::MeasureText(const Control& control, int maxWidth) const {
    if (control.Text().empty()) {
        return {};
    }
    const HGDIOBJ old = ::SelectObject(measuring_.Get(), Font(control.look.font));
    RECT rect{0, 0, maxWidth, 0};
    // Buttons show their caption on one line; everything else wraps.
    const UINT lines = control.Kind() == ControlKind::Button ? DT_SINGLELINE : DT_WORDBREAK;
    ::DrawTextW(measuring_.Get(), control.Text().c_str(), static_cast<int>(control.Text().size()), &rect,
                DT_CALCRECT | DT_NOPREFIX | lines);
    ::SelectObject(measuring_.Get(), old);
    return {static_cast<int>(rect.right), static_cast<int>(rect.bottom)};
}

int ViewPainter::ScrollBarWidth() const {
    return ::GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_);
}

void ViewPainter::FillBackground(HDC dc, const RECT& rect) const {
    ::FillRect(dc, &rect, static_cast<HBRUSH>(windowBrush_.Get()));
}

HBRUSH ViewPainter::ControlColours(HDC dc, const Control& control) const {
    COLORREF text = control.look.emphasis == Emphasis::Quiet ? theme_.secondaryText : theme_.text;
    COLORREF background = theme_.window;
    HGDIOBJ brush = windowBrush_.Get();
    if (control.look.emphasis == Emphasis::Alert) {
        text = RGB(255, 255, 255);
        background = theme_.badge;
        brush = badgeBrush_.Get();
    } else if (control.Kind() == ControlKind::TextBox || control.Kind() == ControlKind::ComboBox) {
        background = theme_.card; // a field to read or choose from
        brush = cardBrush_.Get();
    }
    if (!control.IsEnabled() && control.Kind() == ControlKind::CheckBox) {
        text = theme_.disabledText;
    }
    ::SetTextColor(dc, text);
    ::SetBkColor(dc, background);
    return static_cast<HBRUSH>(brush);
}

void ViewPainter::DrawButton(const DRAWITEMSTRUCT& item, const Control& button,
                             const Arrangement& arrangement) const {
    if (!button.Children().empty()) {
        DrawCard(item, button, arrangement);
        return;
    }
    // The parent draws the focus ring around the button.
    DRAWITEMSTRUCT plain = item;
    plain.itemState &= ~static_cast<UINT>(ODS_FOCUS);
    DrawThemedButton(plain, theme_, IsAccent(button), button.Text(), Font(button.look.font),
                     static_cast<HBRUSH>(windowBrush_.Get()));
}

void ViewPainter::DrawCard(const DRAWITEMSTRUCT& item, const Control& card,
                           const Arrangement& arrangement) const {
    HDC dc = item.hDC;
    const RECT rect = item.rcItem;
    ::FillRect(dc, &rect, static_cast<HBRUSH>(windowBrush_.Get()));
    const bool selected = IsAccent(card);
    const UniqueGdiObject pen(
        ::CreatePen(PS_SOLID, selected ? Scale(3) : 1, selected ? theme_.accent : theme_.cardBorder));
    const HGDIOBJ oldPen = ::SelectObject(dc, pen.Get());
    const HGDIOBJ oldBrush = ::SelectObject(dc, cardBrush_.Get());
    const int inset = selected ? Scale(1) : 0;
    ::RoundRect(dc, rect.left + inset, rect.top + inset, rect.right - inset, rect.bottom - inset, Scale(12),
                Scale(12));
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);

    // The card's own texts, where the layout put them.
    const Rect* cardRect = arrangement.Find(card);
    if (cardRect == nullptr) {
        return;
    }
    ::SetBkMode(dc, TRANSPARENT);
    for (const Control* text : card.Children()) {
        const Rect* place = arrangement.Find(*text);
        if (text->Kind() != ControlKind::TextBlock || text->look.emphasis == Emphasis::Alert ||
            place == nullptr) {
            continue; // a notice shows itself
        }
        RECT textRect{place->left - cardRect->left, place->top - cardRect->top,
                      place->Right() - cardRect->left, place->Bottom() - cardRect->top};
        COLORREF colour = text->look.emphasis == Emphasis::Quiet ? theme_.secondaryText : theme_.text;
        if (selected && text->look.font == FontRole::CardTitle) {
            colour = theme_.accent;
        }
        ::SetTextColor(dc, colour);
        const HGDIOBJ oldFont = ::SelectObject(dc, Font(text->look.font));
        ::DrawTextW(dc, text->Text().c_str(), static_cast<int>(text->Text().size()), &textRect,
                    TextFormat(*text) | DT_END_ELLIPSIS);
        ::SelectObject(dc, oldFont);
    }
}

void ViewPainter::DrawTextBlock(HDC dc, const RECT& rect, const Control& text) const {
    ::FillRect(dc, &rect, ControlColours(dc, text));
    ::SetBkMode(dc, TRANSPARENT);
    const HGDIOBJ oldFont = ::SelectObject(dc, Font(text.look.font));
    RECT place = rect;
    ::InflateRect(&place, -Scale(text.look.paddingX), -Scale(text.look.paddingY));
    const UINT format = TextFormat(text) | (text.look.height > 0 ? DT_SINGLELINE | DT_VCENTER : 0);
    ::DrawTextW(dc, text.Text().c_str(), static_cast<int>(text.Text().size()), &place, format);
    ::SelectObject(dc, oldFont);
}

void ViewPainter::DrawListCell(HDC dc, const RECT& cell, const std::wstring& text, bool selected,
                               bool focused, bool rightToLeft, bool heading) const {
    const COLORREF background = !selected ? theme_.card : focused ? theme_.accent : theme_.cardBorder;
    const UniqueGdiObject brush(::CreateSolidBrush(background));
    ::FillRect(dc, &cell, static_cast<HBRUSH>(brush.Get()));
    RECT place{cell.left + Scale(6), cell.top, cell.right - Scale(6), cell.bottom};
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, selected && focused ? theme_.accentText
                       : heading           ? theme_.secondaryText
                                           : theme_.text);
    const HGDIOBJ oldFont = ::SelectObject(dc, Font(heading ? FontRole::CardTitle : FontRole::Body));
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &place,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS |
                    (ReadsRightToLeft(text, rightToLeft) ? DT_RTLREADING : 0));
    ::SelectObject(dc, oldFont);
}

void ViewPainter::DrawRowCheck(HDC dc, const RECT& area, RowCheck check) const {
    const UniqueGdiObject background(::CreateSolidBrush(theme_.card));
    ::FillRect(dc, &area, static_cast<HBRUSH>(background.Get()));
    if (check == RowCheck::None) {
        return;
    }
    const int size =
        std::min(Scale(14), static_cast<int>(std::min(area.right - area.left, area.bottom - area.top)));
    RECT box{(area.left + area.right - size) / 2, (area.top + area.bottom - size) / 2, 0, 0};
    box.right = box.left + size;
    box.bottom = box.top + size;
    ::DrawFrameControl(
        dc, &box, DFC_BUTTON,
        DFCS_BUTTONCHECK | DFCS_FLAT |
            (check == RowCheck::Checked || check == RowCheck::LockedChecked ? DFCS_CHECKED : 0) |
            (check == RowCheck::LockedUnchecked || check == RowCheck::LockedChecked ? DFCS_INACTIVE : 0));
}

void ViewPainter::DrawListHeading(HDC dc, const RECT& rect, const std::wstring& text,
                                  bool rightToLeft) const {
    ::FillRect(dc, &rect, static_cast<HBRUSH>(windowBrush_.Get()));
    const UniqueGdiObject line(::CreateSolidBrush(theme_.cardBorder));
    RECT bottom{rect.left, rect.bottom - 1, rect.right, rect.bottom};
    RECT edge{rect.right - 1, rect.top + Scale(4), rect.right, rect.bottom - Scale(4)};
    ::FillRect(dc, &bottom, static_cast<HBRUSH>(line.Get()));
    ::FillRect(dc, &edge, static_cast<HBRUSH>(line.Get()));
    RECT place{rect.left + Scale(8), rect.top, rect.right - Scale(8), rect.bottom};
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, theme_.secondaryText);
    const HGDIOBJ oldFont = ::SelectObject(dc, Font(FontRole::Body));
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &place,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS |
                    (rightToLeft ? DT_RTLREADING : 0));
    ::SelectObject(dc, oldFont);
}

void ViewPainter::DrawFocusRing(HDC dc, RECT control) const {
    const int gap = Scale(2);
    ::InflateRect(&control, gap + Scale(1), gap + Scale(1));
    const UniqueGdiObject pen(::CreatePen(PS_INSIDEFRAME, Scale(2), theme_.text));
    const HGDIOBJ oldPen = ::SelectObject(dc, pen.Get());
    const HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    ::RoundRect(dc, control.left, control.top, control.right, control.bottom, Scale(10), Scale(10));
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
}

} // namespace Velmora::Win32
