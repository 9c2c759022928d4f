#include "ui/win32/control_windows.h"

#include "ui/win32/described_accessible.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <vector>

namespace Velmora::Win32 {
namespace {

// The height of a drop-down list's window includes its list.
constexpr double kDropDownListHeight = 200;

// Panels only arrange, unless they scroll; a button's own texts are its content, painted by it, except
// a notice, which has a window of its own above the button, so that it is read out and found by itself.
bool HasOwnWindow(const Control& control) {
    if (control.Kind() == ControlKind::Panel) {
        return control.look.scrolls;
    }
    const Control* parent = control.Parent();
    return !(control.Kind() == ControlKind::TextBlock && parent != nullptr &&
             parent->Kind() == ControlKind::Button && control.look.emphasis != Emphasis::Alert);
}

int CountInTree(const Control& control) {
    int count = 1;
    for (const Control* child : control.Children()) {
        count += CountInTree(*child);
    }
    return count;
}

bool IsInsideButton(const Control& control) {
    for (const Control* ancestor = control.Parent(); ancestor != nullptr; ancestor = ancestor->Parent()) {
        if (ancestor->Kind() == ControlKind::Button) {
            return true;
        }
    }
    return false;
}

DWORD TextStyle(const Control& control) {
    DWORD style = SS_NOPREFIX;
    if (control.look.alignment == Alignment::Center) {
        style |= SS_CENTER;
    } else if (control.look.alignment == Alignment::End) {
        style |= SS_RIGHT;
    }
    if (control.look.height > 0) {
        style |= SS_CENTERIMAGE; // one line, centred in its height
    }
    return style;
}

// A text to read is scrolled with the keyboard but keeps no keys from the dialog manager: Tab and
// Shift+Tab leave it, Enter and Escape reach the page, and the focus does not select all of it.
LRESULT CALLBACK ReadingBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR) {
    if (message == WM_GETDLGCODE) {
        return ::DefSubclassProc(window, message, wParam, lParam) &
               ~static_cast<LRESULT>(DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_HASSETSEL);
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

// The list's column headings in the window's colours: the header is a child of the list, so its
// drawing notifications reach the list, not the window.
LRESULT CALLBACK ListProcedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR painter) {
    if (message == WM_NOTIFY) {
        auto* draw = reinterpret_cast<NMCUSTOMDRAW*>(lParam);
        if (draw->hdr.code == NM_CUSTOMDRAW && draw->hdr.hwndFrom == ListView_GetHeader(list)) {
            if (draw->dwDrawStage == CDDS_PREPAINT) {
                return CDRF_NOTIFYITEMDRAW;
            }
            if (draw->dwDrawStage == CDDS_ITEMPREPAINT) {
                wchar_t text[256] = {};
                HDITEMW item{};
                item.mask = HDI_TEXT;
                item.pszText = text;
                item.cchTextMax = 256;
                Header_GetItem(draw->hdr.hwndFrom, static_cast<int>(draw->dwItemSpec), &item);
                const bool rtl = (::GetWindowLongPtrW(list, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
                reinterpret_cast<const ViewPainter*>(painter)->DrawListHeading(draw->hdc, draw->rc, text,
                                                                               rtl);
                return CDRF_SKIPDEFAULT;
            }
        }
    }
    return ::DefSubclassProc(list, message, wParam, lParam);
}

// A text the window paints itself: the static control lays out Arabic mixed with digits or Latin
// left to right under Wine; the painter keeps the right-to-left reading order.
LRESULT CALLBACK TextProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR windows) {
    if (message == WM_PAINT) {
        reinterpret_cast<const ControlWindows*>(windows)->PaintText(window);
        return 0;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

// A card paints texts that have no window of their own: a screen reader reads its title as the name
// and the rest as the description.
LRESULT CALLBACK CardProcedure(HWND card, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR windows) {
    // The object id comes as a 32-bit value in a wider parameter.
    if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        const auto* owner = reinterpret_cast<const ControlWindows*>(windows);
        if (const Control* control = owner->ControlOf(card)) {
            if (const LRESULT answer =
                    AccessibleWithDescription(card, wParam, owner->DescriptionOf(*control))) {
                return answer;
            }
        }
    }
    return ::DefSubclassProc(card, message, wParam, lParam);
}

// The edit control breaks lines only at "\r\n".
std::wstring WithWindowsLineBreaks(const std::wstring& text) {
    std::wstring converted;
    converted.reserve(text.size() + text.size() / 32);
    for (const wchar_t c : text) {
        if (c == L'\n') {
            converted += L'\r';
        }
        converted += c;
    }
    return converted;
}

} // namespace

ControlWindows::ControlWindows(HINSTANCE instance, const ViewPainter& painter, const wchar_t* panelClass,
                               void* panelContext) noexcept
    : instance_(instance), painter_(painter), panelClass_(panelClass), panelContext_(panelContext) {}

ControlWindows::~ControlWindows() {
    Destroy();
}

void ControlWindows::Create(Control& root, HWND frame) {
    frame_ = frame;
    root_ = &root;
    deferred_.push_back({&root, frame, 1000});
    // Made in tree order into parents that hold nothing yet: they are in Tab order as they are.
    std::vector<HWND> made;
    MakeShown(std::nullopt, made, true);
}

bool ControlWindows::MakeShownWindows(std::chrono::milliseconds budget) {
    std::vector<HWND> made;
    const bool all = MakeShown(std::chrono::steady_clock::now() + budget, made, false);
    Restack(made);
    return all;
}

bool ControlWindows::MakeShown(std::optional<std::chrono::steady_clock::time_point> until,
                               std::vector<HWND>& made, bool showNow) {
    for (std::size_t i = 0; i < deferred_.size();) {
        const Deferred part = deferred_[i];
        if (!part.control->IsShown()) {
            ++i;
            continue;
        }
        if (until && !made.empty() && std::chrono::steady_clock::now() >= *until) {
            return false;
        }
        deferred_.erase(deferred_.begin() + static_cast<std::ptrdiff_t>(i));
        Control& control = *part.control;
        const HWND own =
            HasOwnWindow(control) ? CreateChild(control, part.parent, part.id, showNow) : nullptr;
        if (own != nullptr) {
            made.push_back(own);
        }
        // Its children come next, each with the id it would have had however late it is made.
        const HWND childParent = control.Kind() == ControlKind::Panel && own != nullptr ? own : part.parent;
        std::vector<Deferred> children;
        int id = part.id + 1;
        for (Control* child : control.Children()) {
            children.push_back({child, childParent, id});
            id += CountInTree(*child);
        }
        deferred_.insert(deferred_.begin() + static_cast<std::ptrdiff_t>(i), children.begin(),
                         children.end());
    }
    return true;
}

void ControlWindows::Restack(const std::vector<HWND>& made) {
    if (made.empty() || root_ == nullptr) {
        return;
    }
    std::map<HWND, HWND> lastOfParent; // each parent's last window so far in Tab order
    std::vector<std::pair<const Control*, HWND>> pending{{root_, frame_}};
    while (!pending.empty()) { // in tree order
        const auto [control, parent] = pending.back();
        pending.pop_back();
        const HWND own = WindowOf(*control);
        // A window inside a button lies above it (see Place) and has no place in the Tab order.
        if (own != nullptr && !IsInsideButton(*control)) {
            if (std::find(made.begin(), made.end(), own) != made.end()) {
                const auto before = lastOfParent.find(parent);
                ::SetWindowPos(own, before == lastOfParent.end() ? HWND_TOP : before->second, 0, 0, 0, 0,
                               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
            }
            lastOfParent[parent] = own;
        }
        const HWND childParent = control->Kind() == ControlKind::Panel && own != nullptr ? own : parent;
        for (auto child = control->Children().rbegin(); child != control->Children().rend(); ++child) {
            pending.emplace_back(*child, childParent);
        }
    }
}

HWND ControlWindows::CreateChild(Control& control, HWND parent, int id, bool showNow) {
    const bool rtl = control.EffectiveFlowDirection() == FlowDirection::RightToLeft;
    DWORD exStyle = rtl ? WS_EX_LAYOUTRTL | WS_EX_RTLREADING : 0;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    const wchar_t* className = L"STATIC";
    switch (control.Kind()) {
    case ControlKind::TextBlock:
        style |= TextStyle(control);
        break;
    case ControlKind::Button:
        className = L"BUTTON";
        style |= WS_TABSTOP | BS_OWNERDRAW;
        break;
    case ControlKind::CheckBox:
        className = L"BUTTON";
        style |= WS_TABSTOP | BS_CHECKBOX | BS_MULTILINE | BS_VCENTER;
        break;
    case ControlKind::ComboBox:
        className = L"COMBOBOX";
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        break;
    case ControlKind::TextBox:
        className = L"EDIT";
        style |= WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    case ControlKind::ProgressRing:
        className = PROGRESS_CLASSW;
        style |= PBS_MARQUEE | PBS_SMOOTH;
        break;
    case ControlKind::ListView:
        // The rows stay in the control; the list asks for the cells it shows.
        className = WC_LISTVIEWW;
        style |= WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SINGLESEL;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    case ControlKind::Panel:
        className = panelClass_;
        style |= WS_CLIPCHILDREN | WS_VSCROLL;
        exStyle |= WS_EX_CONTROLPARENT;
        break;
    }
    HWND child = ::CreateWindowExW(exStyle, className, L"", style, 0, 0, 10, 10, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                                   control.Kind() == ControlKind::Panel ? panelContext_ : nullptr);
    if (child == nullptr) {
        return nullptr;
    }
    windows_[&control] = child;
    controls_[child] = &control;
    switch (control.Kind()) {
    case ControlKind::Panel:
        scrolling_[child] = {};
        ::ShowScrollBar(child, SB_VERT, FALSE);
        break;
    case ControlKind::CheckBox:
        // Without visual styles the check box takes the colours of WM_CTLCOLORSTATIC, dark theme too.
        ::SetWindowTheme(child, L"", L"");
        break;
    case ControlKind::TextBox:
        ::SetWindowSubclass(child, &ReadingBoxProcedure, 1, 0);
        break;
    case ControlKind::TextBlock:
        ::SetWindowSubclass(child, &TextProcedure, 1, reinterpret_cast<DWORD_PTR>(this));
        break;
    case ControlKind::Button:
        if (!control.Children().empty()) {
            ::SetWindowSubclass(child, &CardProcedure, 1, reinterpret_cast<DWORD_PTR>(this));
        }
        break;
    case ControlKind::ProgressRing:
        ::SetWindowTheme(child, L"", L""); // the theme's colours, dark ones too
        SetColours(control, child);
        ShowProgress(control, child);
        break;
    case ControlKind::ListView:
        ::SendMessageW(child, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                       LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP |
                           (control.look.rowChecks ? LVS_EX_CHECKBOXES : 0));
        if (control.look.rowChecks) {
            // An owner-data list keeps no state images of its own: without this, asking the list for a row's
            // check box (as screen readers do) finds none.
            ::SendMessageW(child, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
        }
        ::SetWindowTheme(ListView_GetHeader(child), L"", L"");
        ::SetWindowSubclass(child, &ListProcedure, 1, reinterpret_cast<DWORD_PTR>(&painter_));
        SetColours(control, child);
        break;
    default:
        break;
    }
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(painter_.Font(control.look.font)), FALSE);
    for (const ControlProperty property :
         {ControlProperty::Text, ControlProperty::Enabled, ControlProperty::Checked,
          ControlProperty::SelectedIndex, ControlProperty::Rows}) {
        Update(control, property);
    }
    if (showNow && control.IsShown()) {
        ::ShowWindow(child, SW_SHOWNA);
    }
    return child;
}

void ControlWindows::Destroy() {
    for (const auto& [control, window] : windows_) {
        if (::IsWindow(window)) { // a panel takes its controls with it
            ::DestroyWindow(window);
        }
    }
    windows_.clear();
    controls_.clear();
    scrolling_.clear();
    placed_.clear();
    deferred_.clear();
    root_ = nullptr;
}

HWND ControlWindows::WindowOf(const Control& control) const {
    const auto found = windows_.find(&control);
    return found == windows_.end() ? nullptr : found->second;
}

Control* ControlWindows::ControlOf(HWND window) const {
    const auto found = controls_.find(window);
    return found == controls_.end() ? nullptr : found->second;
}

std::wstring ControlWindows::DescriptionOf(const Control& control) const {
    std::wstring description;
    std::vector<const Control*> pending(control.Children().rbegin(), control.Children().rend());
    while (!pending.empty()) { // in tree order, as they read
        const Control* item = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), item->Children().rbegin(), item->Children().rend());
        if (item->Kind() == ControlKind::TextBlock && item->IsShown() && !item->Text().empty() &&
            item->Text() != control.Text()) {
            description += (description.empty() ? L"" : L"\n") + item->Text();
        }
    }
    return description;
}

bool ControlWindows::AnyListDropped() const {
    return std::any_of(windows_.begin(), windows_.end(), [](const auto& entry) {
        return entry.first->Kind() == ControlKind::ComboBox &&
               ::SendMessageW(entry.second, CB_GETDROPPEDSTATE, 0, 0) != FALSE;
    });
}

void ControlWindows::Update(const Control& control, ControlProperty property) {
    HWND window = WindowOf(control);
    if (window == nullptr && HasOwnWindow(control)) {
        return; // not made yet: it takes all its properties when it is
    }
    if (window == nullptr) {
        // Content painted by its button: the button paints it anew, and tells what it reads out.
        for (const Control* owner = control.Parent(); owner != nullptr; owner = owner->Parent()) {
            if (HWND ownerWindow = WindowOf(*owner)) {
                ::InvalidateRect(ownerWindow, nullptr, TRUE);
                ::NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, ownerWindow, OBJID_CLIENT, CHILDID_SELF);
                break;
            }
        }
        return;
    }
    switch (property) {
    case ControlProperty::Text:
        if (control.Kind() == ControlKind::ComboBox) {
            ::SendMessageW(window, CB_RESETCONTENT, 0, 0);
            for (const std::wstring& item : control.Items()) {
                ::SendMessageW(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            }
            ::SendMessageW(window, CB_SETCURSEL, static_cast<WPARAM>(control.SelectedIndex()), 0);
        } else if (control.Kind() == ControlKind::TextBox) {
            ::SetWindowTextW(window, WithWindowsLineBreaks(control.Text()).c_str());
        } else {
            ::SetWindowTextW(window, control.Text().c_str());
        }
        break;
    case ControlProperty::Enabled:
        ::EnableWindow(window, control.IsEnabled() ? TRUE : FALSE);
        break;
    case ControlProperty::Checked:
        if (control.Kind() == ControlKind::CheckBox) {
            ::SendMessageW(window, BM_SETCHECK, control.IsChecked() ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        break;
    case ControlProperty::SelectedIndex:
        if (control.Kind() == ControlKind::ComboBox) {
            ::SendMessageW(window, CB_SETCURSEL, static_cast<WPARAM>(control.SelectedIndex()), 0);
        } else if (control.Kind() == ControlKind::ListView) {
            SelectRow(control, window);
        }
        break;
    case ControlProperty::Style:
    case ControlProperty::ReadOnly:
        ::InvalidateRect(window, nullptr, TRUE);
        break;
    case ControlProperty::Rows:
        if (control.Kind() == ControlKind::ListView) {
            ShowRows(control, window);
        }
        break;
    case ControlProperty::Progress:
        if (control.Kind() == ControlKind::ProgressRing) {
            ShowProgress(control, window);
        }
        break;
    case ControlProperty::Visibility:
    case ControlProperty::FlowDirection:
    case ControlProperty::MinWidth:
        break;
    }
}

void ControlWindows::ApplyVisibility(bool showing) {
    for (const auto& [control, window] : windows_) {
        const bool shown = control->IsShown();
        if (shown == showing && (::IsWindowVisible(window) != FALSE) != shown) {
            ::ShowWindow(window, shown ? SW_SHOWNA : SW_HIDE);
            if (control->Kind() == ControlKind::ProgressRing) { // its timer runs only while it is seen
                ShowProgress(*control, window);
            }
        }
    }
}

void ControlWindows::ApplyColours() {
    for (const auto& [control, window] : windows_) {
        SetColours(*control, window);
    }
}

void ControlWindows::SetColours(const Control& control, HWND window) const {
    const Theme& theme = painter_.Colours();
    if (control.Kind() == ControlKind::ListView) {
        ::SendMessageW(window, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(theme.card));
        ::SendMessageW(window, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(theme.card));
        ::SendMessageW(window, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(theme.text));
        ::InvalidateRect(window, nullptr, TRUE);
    } else if (control.Kind() == ControlKind::ProgressRing) {
        ::SendMessageW(window, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(theme.accent));
        ::SendMessageW(window, PBM_SETBKCOLOR, 0, static_cast<LPARAM>(theme.card));
    }
}

void ControlWindows::ShowRows(const Control& control, HWND list) const {
    const HWND header = ListView_GetHeader(list);
    const auto& columns = control.Columns();
    const bool sameCount = Header_GetItemCount(header) == static_cast<int>(columns.size());
    while (!sameCount && Header_GetItemCount(header) > 0) {
        ::SendMessageW(list, LVM_DELETECOLUMN, 0, 0);
    }
    // Each change of a column repaints the list: only what changed is told again.
    Placement& placement = placed_[list];
    if (!sameCount || placement.columns != columns) {
        for (size_t i = 0; i < columns.size(); ++i) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | (sameCount ? 0 : LVCF_WIDTH);
            column.cx = painter_.Scale(100);
            column.pszText = const_cast<wchar_t*>(columns[i].c_str()); // copied by the list
            ::SendMessageW(list, sameCount ? LVM_SETCOLUMNW : LVM_INSERTCOLUMNW, i,
                           reinterpret_cast<LPARAM>(&column));
        }
        placement.columns = columns;
    }
    if (!sameCount) {
        placement.columnsWidth = -1; // columns made anew take their weights again
    }
    SizeColumns(control, list, placement.columnsWidth);
    const auto rows = static_cast<WPARAM>(control.Rows().size());
    if (::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) != static_cast<LRESULT>(rows)) {
        ::SendMessageW(list, LVM_SETITEMCOUNT, rows, 0);
    }
    SelectRow(control, list);
    if (rows > 0 && ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED) < 0) {
        // The arrow keys start at the first row.
        LVITEMW state{};
        state.stateMask = LVIS_FOCUSED;
        state.state = LVIS_FOCUSED;
        ::SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    }
    // The list holds no rows itself: it asks for the new ones as it repaints.
    ::InvalidateRect(list, nullptr, TRUE);
}

void ControlWindows::SelectRow(const Control& control, HWND list) const {
    const int row = control.SelectedIndex();
    const int shown =
        static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row == shown) {
        return;
    }
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = 0;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    if (row >= 0 && static_cast<std::size_t>(row) < control.Rows().size()) {
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
        ::SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    }
}

void ControlWindows::SizeColumns(const Control& control, HWND list, int& sizedWidth) const {
    const auto& weights = control.look.columnWeights;
    double sum = 0;
    for (const double weight : weights) {
        sum += weight;
    }
    RECT client{};
    ::GetClientRect(list, &client);
    // Room for a scroll bar either way, so that a long list needs no horizontal one.
    const bool scrollBar = (::GetWindowLongPtrW(list, GWL_STYLE) & WS_VSCROLL) != 0;
    const int width = static_cast<int>(client.right) -
                      (scrollBar ? 0 : ::GetSystemMetricsForDpi(SM_CXVSCROLL, painter_.Dpi()));
    if (width == sizedWidth) {
        return;
    }
    sizedWidth = width;
    const int columns = Header_GetItemCount(ListView_GetHeader(list));
    for (int i = 0; i < columns && sum > 0 && static_cast<size_t>(i) < weights.size(); ++i) {
        ::SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i),
                       static_cast<LPARAM>(std::max(20.0, width * weights[static_cast<size_t>(i)] / sum)));
    }
}

void ControlWindows::ShowProgress(const Control& control, HWND bar) const {
    const bool known = control.ProgressTotal() > 0;
    const LONG_PTR style = ::GetWindowLongPtrW(bar, GWL_STYLE);
    const LONG_PTR wanted = known ? (style & ~static_cast<LONG_PTR>(PBS_MARQUEE)) : (style | PBS_MARQUEE);
    if (wanted != style) {
        ::SetWindowLongPtrW(bar, GWL_STYLE, wanted);
    }
    if (known) {
        ::SendMessageW(bar, PBM_SETMARQUEE, FALSE, 0);
        ::SendMessageW(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(control.ProgressTotal()));
        ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(control.ProgressDone()), 0);
    } else {
        ::SendMessageW(bar, PBM_SETMARQUEE, control.IsShown() ? TRUE : FALSE, 30);
    }
}

void ControlWindows::PaintText(HWND window) const {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(window, &paint);
    RECT client{};
    ::GetClientRect(window, &client);
    if (const Control* control = ControlOf(window)) {
        painter_.DrawTextBlock(dc, client, *control);
    }
    ::EndPaint(window, &paint);
}

LRESULT ControlWindows::DrawListCell(NMLVCUSTOMDRAW& draw) const {
    const Control* control = ControlOf(draw.nmcd.hdr.hwndFrom);
    if (control == nullptr || control->Kind() != ControlKind::ListView) {
        return CDRF_DODEFAULT;
    }
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        return CDRF_NOTIFYITEMDRAW;
    }
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        return CDRF_NOTIFYSUBITEMDRAW;
    }
    if (draw.nmcd.dwDrawStage != (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
        return CDRF_DODEFAULT;
    }
    const HWND list = draw.nmcd.hdr.hwndFrom;
    const auto row = static_cast<size_t>(draw.nmcd.dwItemSpec);
    const auto column = static_cast<size_t>(draw.iSubItem);
    RECT cell{};
    cell.top = draw.iSubItem;
    cell.left = draw.iSubItem == 0 ? LVIR_LABEL : LVIR_BOUNDS;
    ::SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
    const auto& rows = control->Rows();
    const std::wstring text = row < rows.size() && column < rows[row].size() ? rows[row][column] : L"";
    const bool selected = ::SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) != 0;
    if (column == 0 && control->HasRowChecks()) {
        // The list leaves the check box to the row's own drawing, which this replaces.
        RECT bounds{};
        bounds.left = LVIR_BOUNDS;
        ::SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
        const RECT box{bounds.left, cell.top, cell.left, cell.bottom};
        painter_.DrawRowCheck(draw.nmcd.hdc, box, control->RowCheckOf(row));
    }
    painter_.DrawListCell(draw.nmcd.hdc, cell, text, selected, ::GetFocus() == list,
                          control->EffectiveFlowDirection() == FlowDirection::RightToLeft,
                          control->IsHeadingRow(row));
    return CDRF_SKIPDEFAULT;
}

void ControlWindows::ListCheckToggled(const NMHDR& notice) const {
    Control* control = ControlOf(notice.hwndFrom);
    if (control == nullptr || !control->HasRowChecks()) {
        return;
    }
    int row = -1;
    if (notice.code == NM_CLICK) {
        LVHITTESTINFO hit{};
        hit.pt = reinterpret_cast<const NMITEMACTIVATE&>(notice).ptAction;
        if (::SendMessageW(notice.hwndFrom, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) >= 0 &&
            (hit.flags & LVHT_ONITEMSTATEICON) != 0) {
            row = hit.iItem;
        }
    } else if (notice.code == LVN_KEYDOWN && reinterpret_cast<const NMLVKEYDOWN&>(notice).wVKey == VK_SPACE) {
        row = static_cast<int>(
            ::SendMessageW(notice.hwndFrom, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    }
    if (row >= 0) {
        control->RaiseRowToggled(static_cast<std::size_t>(row));
    }
}

void ControlWindows::ListSelectionChanged(HWND list) const {
    // Asked of the list rather than read from the notification: an owner-data list reports some changes
    // for all its rows at once.
    Control* control = ControlOf(list);
    if (control != nullptr && control->Kind() == ControlKind::ListView) {
        control->SetSelectedIndex(
            static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)));
    }
}

void ControlWindows::FillListCell(NMLVDISPINFOW& request) const {
    const Control* control = ControlOf(request.hdr.hwndFrom);
    if (control == nullptr) {
        return;
    }
    const auto row = static_cast<size_t>(request.item.iItem);
    if ((request.item.mask & LVIF_STATE) != 0 && request.item.iSubItem == 0 && control->HasRowChecks()) {
        // The check box, which screen readers read as the row's checked state: image 1 clear, 2 ticked.
        const RowCheck check = control->RowCheckOf(row);
        request.item.state =
            INDEXTOSTATEIMAGEMASK(check == RowCheck::None                                          ? 0
                                  : check == RowCheck::Checked || check == RowCheck::LockedChecked ? 2
                                                                                                   : 1);
        request.item.stateMask |= LVIS_STATEIMAGEMASK;
    }
    if ((request.item.mask & LVIF_TEXT) == 0 || request.item.cchTextMax <= 0) {
        return;
    }
    const auto& rows = control->Rows();
    const auto column = static_cast<size_t>(request.item.iSubItem);
    const std::wstring* text = row < rows.size() && column < rows[row].size() ? &rows[row][column] : nullptr;
    ::lstrcpynW(request.item.pszText, text != nullptr ? text->c_str() : L"", request.item.cchTextMax);
}

void ControlWindows::ApplyFonts() {
    for (const auto& [control, window] : windows_) {
        ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(painter_.Font(control->look.font)), TRUE);
    }
}

bool ControlWindows::Place(const Arrangement& arrangement) {
    if (&arrangement != &arrangement_) {
        arrangement_ = arrangement;
    }
    std::vector<HWND> made; // normally none: the view makes a page's windows before it places them
    MakeShown(std::nullopt, made, false);
    Restack(made);
    bool moved = !made.empty();
    for (auto& [panel, state] : scrolling_) {
        const Control* control = ControlOf(panel);
        const Rect* rect = arrangement_.Find(*control);
        const auto content = arrangement_.contentHeights.find(control);
        const ScrollState before = state;
        state.page = rect == nullptr ? 0 : rect->height;
        state.content = content == arrangement_.contentHeights.end() ? 0 : content->second;
        state.position = std::clamp(state.position, 0, std::max(0, state.content - state.page));
        if (state.set && state.page == before.page && state.content == before.content &&
            state.position == before.position) {
            continue;
        }
        state.set = true;
        moved = true;
        SCROLLINFO info{sizeof info,
                        SIF_RANGE | SIF_PAGE | SIF_POS,
                        0,
                        std::max(0, state.content - 1),
                        static_cast<UINT>(state.page),
                        state.position,
                        0};
        ::SetScrollInfo(panel, SB_VERT, &info, TRUE);
    }
    for (const auto& [control, window] : windows_) {
        const Rect* rect = arrangement_.Find(*control);
        if (rect == nullptr) {
            continue;
        }
        int left = rect->left;
        int top = rect->top;
        const HWND parent = ::GetParent(window);
        if (const Control* panel = ControlOf(parent)) { // inside a scrolling panel
            const Rect* panelRect = arrangement_.Find(*panel);
            left -= panelRect == nullptr ? 0 : panelRect->left;
            top -= (panelRect == nullptr ? 0 : panelRect->top) + scrolling_[parent].position;
        }
        const int height =
            rect->height +
            (control->Kind() == ControlKind::ComboBox ? painter_.Scale(kDropDownListHeight) : 0);
        // Windows inside a button (a card's badge) lie above it.
        const bool above = IsInsideButton(*control);
        // Each move is a round of messages and repaints: a window already in its place stays.
        Placement& placement = placed_[window];
        const RECT wanted{left, top, left + rect->width, top + height};
        if (!::EqualRect(&placement.rect, &wanted) || placement.above != above) {
            // Nothing is copied or repainted here: the caller repaints the whole window after a move.
            ::SetWindowPos(window, above ? HWND_TOP : nullptr, left, top, rect->width, height,
                           SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS | (above ? 0 : SWP_NOZORDER));
            placement.rect = wanted;
            placement.above = above;
            moved = true;
        }
        if (control->Kind() == ControlKind::ListView) {
            SizeColumns(*control, window, placement.columnsWidth);
        }
    }
    return moved;
}

void ControlWindows::SetScrollPosition(HWND panel, int position) {
    ScrollState& state = scrolling_[panel];
    position = std::clamp(position, 0, std::max(0, state.content - state.page));
    if (position == state.position) {
        return;
    }
    state.position = position;
    state.set = false; // the scroll bar is told the new position by Place
    Place(arrangement_);
    ::RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void ControlWindows::Scroll(HWND panel, int request, int wheelDelta) {
    const auto found = scrolling_.find(panel);
    if (found == scrolling_.end()) {
        return;
    }
    const ScrollState state = found->second;
    const int line = painter_.Scale(40);
    int position = state.position - wheelDelta * line / WHEEL_DELTA;
    switch (request) {
    case SB_LINEUP:
        position = state.position - line;
        break;
    case SB_LINEDOWN:
        position = state.position + line;
        break;
    case SB_PAGEUP:
        position = state.position - state.page;
        break;
    case SB_PAGEDOWN:
        position = state.position + state.page;
        break;
    case SB_TOP:
        position = 0;
        break;
    case SB_BOTTOM:
        position = state.content;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO info{sizeof info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
        ::GetScrollInfo(panel, SB_VERT, &info);
        position = info.nTrackPos;
        break;
    }
    default:
        break;
    }
    SetScrollPosition(panel, position);
}

void ControlWindows::ScrollAllToTop() noexcept {
    for (auto& [panel, state] : scrolling_) {
        state.position = 0;
        state.set = false;
    }
}

void ControlWindows::ScrollIntoView(HWND window) {
    const HWND panel = ::GetParent(window);
    const Control* control = ControlOf(window);
    const Control* panelControl = ControlOf(panel);
    if (control == nullptr || panelControl == nullptr) {
        return;
    }
    const Rect* rect = arrangement_.Find(*control);
    const Rect* panelRect = arrangement_.Find(*panelControl);
    if (rect == nullptr || panelRect == nullptr) {
        return;
    }
    const ScrollState& state = scrolling_[panel];
    const int margin = painter_.Scale(12);
    const int top = rect->top - panelRect->top - margin;
    const int bottom = rect->Bottom() - panelRect->top + margin;
    if (top < state.position) {
        SetScrollPosition(panel, top);
    } else if (bottom > state.position + state.page) {
        SetScrollPosition(panel, std::min(top, bottom - state.page));
    }
}

HWND ControlWindows::ScrollingPanelOf(HWND window) const {
    for (HWND current = window; current != nullptr && current != frame_; current = ::GetParent(current)) {
        if (scrolling_.contains(current)) {
            return current;
        }
    }
    return scrolling_.empty() ? nullptr : scrolling_.begin()->first;
}

} // namespace Velmora::Win32
