#pragma once

#include "ui/control.h"
#include "ui/layout.h"
#include "ui/win32/view_painter.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include <commctrl.h>

namespace Velmora::Win32 {

// The child windows that show a tree of controls: one per control that shows itself, in tree order
// (which is the Tab order), kept in step with every property the model changes, and placed where the
// layout puts them. A scrolling panel is a window of its own that holds its controls; a button's text
// content is painted by the button. The windows of a hidden part of the tree (a page not yet opened)
// are made when it is first shown, so that the first page is not kept waiting for all the others.
class ControlWindows {
public:
    // Scrolling panels are made of `panelClass`, with `panelContext` as their creation parameter.
    ControlWindows(HINSTANCE instance, const ViewPainter& painter, const wchar_t* panelClass,
                   void* panelContext) noexcept;
    ~ControlWindows();
    ControlWindows(const ControlWindows&) = delete;
    ControlWindows& operator=(const ControlWindows&) = delete;

    // Creates the windows of `root`'s shown controls inside `frame`, in the controls' flow direction;
    // those of hidden ones are made once they are shown (see MakeShownWindows).
    void Create(Control& root, HWND frame);
    // Makes the windows of controls shown since they were left unmade, hidden until ApplyVisibility(true),
    // for about `budget` (at least one window); returns whether none is left to make. A page holds dozens of
    // windows, each a round of messages: made a few at a time, the window answers in between.
    bool MakeShownWindows(std::chrono::milliseconds budget);
    void Destroy();

    [[nodiscard]] HWND WindowOf(const Control& control) const;
    [[nodiscard]] Control* ControlOf(HWND window) const;
    // What a control shows besides its own text, for screen readers: the texts inside it that are
    // shown, in tree order, one a line (a card's description, its status, the notice of changes).
    [[nodiscard]] std::wstring DescriptionOf(const Control& control) const;
    // Whether a drop-down list is open (a rebuild then waits for it to close).
    [[nodiscard]] bool AnyListDropped() const;

    // Mirrors one property at once. Visibility waits for ApplyVisibility, which goes with a layout.
    void Update(const Control& control, ControlProperty property);
    // Hides what is no longer shown, or shows what is: a page's windows are hidden before the layout and
    // shown after it, so that none is moved while it is on screen.
    void ApplyVisibility(bool showing);
    void ApplyFonts();
    // The painter's colours, for the controls that keep their own (lists, progress bars).
    void ApplyColours();

    // WM_PAINT of a text's window.
    void PaintText(HWND window) const;

    // A list's drawing notification (NM_CUSTOMDRAW): the cells are drawn here, right to left as the
    // list reads; returns the answer to the list.
    [[nodiscard]] LRESULT DrawListCell(NMLVCUSTOMDRAW& draw) const;
    // A list's selection changed on screen: the control learns its new row.
    void ListSelectionChanged(HWND list) const;
    // A click on a row's check box, or Space on the focused row: the control's RowToggled decides.
    void ListCheckToggled(const NMHDR& notice) const;

    // A list's request for the text of one cell (LVN_GETDISPINFO of a list that holds no data itself).
    void FillListCell(NMLVDISPINFOW& request) const;

    // Moves every window to its place, scrolled; scrolling panels show their scroll bar as needed. Windows of
    // shown controls still unmade are made first, all of them, hidden until ApplyVisibility(true).
    // Windows already in their place are left alone; those moved are not repainted, which is the caller's
    // to do. Returns whether any window moved or was resized.
    bool Place(const Arrangement& arrangement);
    [[nodiscard]] const Arrangement& Placed() const noexcept { return arrangement_; }

    // A scroll bar request (SB_...) or a wheel turn (in WHEEL_DELTA units) for a scrolling panel.
    void Scroll(HWND panel, int request, int wheelDelta = 0);
    // Before the next Place.
    void ScrollAllToTop() noexcept;
    // Scrolls the panel that holds `window` so that all of it can be seen.
    void ScrollIntoView(HWND window);
    // The scrolling panel holding `window`, or the first one when `window` is not inside any.
    [[nodiscard]] HWND ScrollingPanelOf(HWND window) const;

private:
    struct ScrollState {
        int position = 0;
        int content = 0;
        int page = 0;
        bool set = false; // told to the scroll bar as it is now
    };
    // Where a window was put last, and a list's columns as they were told and the width they were sized to.
    struct Placement {
        RECT rect{};
        bool above = false;
        std::vector<std::wstring> columns;
        int columnsWidth = -1;
    };

    // A control whose window, and its children's, are not made yet, with where they go.
    struct Deferred {
        Control* control = nullptr;
        HWND parent = nullptr;
        int id = 0;
    };

    // Makes the windows of the shown controls still unmade, a control's before its children's, until `until`
    // has passed; lists them in `made`. Returns whether none is left.
    bool MakeShown(std::optional<std::chrono::steady_clock::time_point> until, std::vector<HWND>& made,
                   bool showNow);
    HWND CreateChild(Control& control, HWND parent, int id, bool showNow);
    // Puts each window of `made` after the window before it in tree order, which is where it would have
    // been had it been made with the others: the Tab order.
    void Restack(const std::vector<HWND>& made);
    void SetColours(const Control& control, HWND window) const;
    void ShowRows(const Control& control, HWND list) const;
    void ShowProgress(const Control& control, HWND bar) const;
    void SelectRow(const Control& control, HWND list) const;
    void SizeColumns(const Control& control, HWND list, int& sizedWidth) const;
    void SetScrollPosition(HWND panel, int position);

    HINSTANCE instance_;
    const ViewPainter& painter_; // not owned
    const wchar_t* panelClass_;
    void* panelContext_;
    HWND frame_ = nullptr;
    const Control* root_ = nullptr;
    std::vector<Deferred> deferred_;
    std::map<const Control*, HWND> windows_;
    std::map<HWND, Control*> controls_;
    std::map<HWND, ScrollState> scrolling_;
    mutable std::map<HWND, Placement> placed_; // a list's columns are sized as its rows are shown
    Arrangement arrangement_;
};

} // namespace Velmora::Win32
