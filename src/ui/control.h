#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Velmora {

enum class Visibility { Visible, Collapsed };
enum class FlowDirection { LeftToRight, RightToLeft };
enum class ControlKind { Panel, TextBlock, Button, CheckBox, ComboBox, TextBox, ProgressRing, ListView };
// A list row's check box: none, or its state; a locked one cannot be changed by the user.
enum class RowCheck : std::uint8_t { None, Unchecked, Checked, LockedUnchecked, LockedChecked };

// How a control looks and where it goes: what the window's markup says about it, set before the
// platform shows it and not changed afterwards. Lengths are in device-independent pixels (1/96 inch).
enum class FontRole { Body, Title, Heading, CardTitle };
// Start and End follow the flow direction: Start is the left in English and the right in Arabic.
enum class Alignment { Stretch, Start, Center, End };
// Accent marks the primary action, Quiet secondary text, Alert a notice that must stand out.
enum class Emphasis { Normal, Quiet, Accent, Alert };
enum class Orientation { Vertical, Horizontal };

struct ControlLook {
    FontRole font = FontRole::Body;
    // Text: where the text sits. In a vertical panel also where a control narrower than the panel
    // sits; in a horizontal panel End puts the control at the far end of the row.
    Alignment alignment = Alignment::Stretch;
    Emphasis emphasis = Emphasis::Normal;
    double width = 0;     // 0: as wide as the panel (Stretch) or as the content needs
    double height = 0;    // 0: as high as the content needs
    double minHeight = 0; // a filling control never gets less
    bool fill = false;    // takes what is left of the panel's length, shared with the other fillers

    // Panels, and buttons whose content is other controls (cards); the padding also around a text.
    Orientation orientation = Orientation::Vertical;
    double paddingX = 0; // inside the panel, at the start and the end
    double paddingY = 0; // inside the panel, at the top and the bottom
    double spacing = 0;  // between two shown children
    // A horizontal panel stacks its children when they would get less than this width each.
    double minItemWidth = 0;
    // Content higher than the panel scrolls inside it.
    bool scrolls = false;
    // The arrow keys move between the panel's buttons and click the one they reach (a choice of one).
    bool arrowKeysChoose = false;
    // A list's columns share its width in these proportions.
    std::vector<double> columnWeights;
    // A list whose rows have check boxes (RowCheck).
    bool rowChecks = false;
};

// The properties of a control that the window logic reads and writes.
enum class ControlProperty {
    Visibility,
    Enabled,
    Text,
    Checked,
    SelectedIndex,
    Style,
    FlowDirection,
    ReadOnly,
    MinWidth,
    Rows,    // a list's columns or rows
    Progress // a progress bar's value
};

class Control;

// What shows a control on screen (a Win32 window in the program; nothing in host tests). It is told
// about every property change at once.
class ControlPeer {
public:
    virtual ~ControlPeer() = default;
    virtual void PropertyChanged(const Control& control, ControlProperty property) = 0;
};

// One named control of the main window: plain state plus events. Setting a property to the value it
// already has changes nothing and raises nothing.
class Control {
public:
    Control(std::wstring name, ControlKind kind, Control* parent = nullptr);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    [[nodiscard]] const std::wstring& Name() const noexcept { return name_; }
    [[nodiscard]] ControlKind Kind() const noexcept { return kind_; }
    [[nodiscard]] Control* Parent() const noexcept { return parent_; }
    [[nodiscard]] const std::vector<Control*>& Children() const noexcept { return children_; }

    [[nodiscard]] Visibility GetVisibility() const noexcept { return visibility_; }
    void SetVisibility(Visibility visibility);
    // Visible itself and every ancestor visible.
    [[nodiscard]] bool IsShown() const noexcept;

    [[nodiscard]] bool IsEnabled() const noexcept { return enabled_; }
    void SetEnabled(bool enabled);

    // Text of a TextBlock, content of a Button or CheckBox, document of a TextBox.
    [[nodiscard]] const std::wstring& Text() const noexcept { return text_; }
    void SetText(std::wstring text);

    // CheckBox: raises Checked or Unchecked when the state changes.
    [[nodiscard]] bool IsChecked() const noexcept { return checked_; }
    void SetChecked(bool checked);

    // ComboBox and ListView: raises SelectionChanged when the index changes; -1 is no selection.
    [[nodiscard]] int SelectedIndex() const noexcept { return selectedIndex_; }
    void SetSelectedIndex(int index);
    [[nodiscard]] const std::vector<std::wstring>& Items() const noexcept { return items_; }
    void SetItems(std::vector<std::wstring> items);

    // The style key of the application style table the control uses ("" for its own look).
    [[nodiscard]] const std::wstring& Style() const noexcept { return style_; }
    void SetStyle(std::wstring style);

    // A panel's flow direction applies to everything inside it.
    [[nodiscard]] FlowDirection GetFlowDirection() const noexcept { return flowDirection_; }
    void SetFlowDirection(FlowDirection direction);
    [[nodiscard]] FlowDirection EffectiveFlowDirection() const noexcept;

    [[nodiscard]] bool IsReadOnly() const noexcept { return readOnly_; }
    void SetReadOnly(bool readOnly);

    // ListView: the column headings and the rows, each a cell per column, in order.
    [[nodiscard]] const std::vector<std::wstring>& Columns() const noexcept { return columns_; }
    void SetColumns(std::vector<std::wstring> columns);
    [[nodiscard]] const std::vector<std::vector<std::wstring>>& Rows() const noexcept { return rows_; }
    // `headings`: the rows that title the ones below them (shown apart, as a group's title).
    void SetRows(std::vector<std::vector<std::wstring>> rows, std::vector<bool> headings = {});
    [[nodiscard]] bool IsHeadingRow(std::size_t row) const noexcept {
        return row < headingRows_.size() && headingRows_[row];
    }
    // ListView: a check box per row (native list check boxes; Space or a click on one toggles it).
    [[nodiscard]] RowCheck RowCheckOf(std::size_t row) const noexcept {
        return row < rowChecks_.size() ? rowChecks_[row] : RowCheck::None;
    }
    [[nodiscard]] bool HasRowChecks() const noexcept { return !rowChecks_.empty(); }
    void SetRowChecks(std::vector<RowCheck> checks);
    // The user toggled a row's check box: raises RowToggled, which decides what the row shows next.
    void RaiseRowToggled(std::size_t row);

    // ProgressRing: `done` of `total`; a total of 0 shows work whose extent is not known yet.
    [[nodiscard]] std::size_t ProgressDone() const noexcept { return progressDone_; }
    [[nodiscard]] std::size_t ProgressTotal() const noexcept { return progressTotal_; }
    void SetProgress(std::size_t done, std::size_t total);

    [[nodiscard]] double MinWidth() const noexcept { return minWidth_; }
    void SetMinWidth(double width);

    // Set by the peer when the laid-out size changes; raises SizeChanged.
    [[nodiscard]] double ActualWidth() const noexcept { return actualWidth_; }
    void SetActualSize(double width, double height);

    void SetPeer(ControlPeer* peer) noexcept { peer_ = peer; } // not owned

    ControlLook look;

    // A user's click: what the platform raises, and what a test calls.
    void RaiseClick();

    std::function<void()> Click;
    std::function<void()> Checked;
    std::function<void()> Unchecked;
    std::function<void()> SelectionChanged;
    std::function<void()> SizeChanged;
    std::function<void(std::size_t row)> RowToggled;

private:
    void Changed(ControlProperty property);

    std::wstring name_;
    ControlKind kind_;
    Control* parent_; // not owned
    std::vector<Control*> children_;
    ControlPeer* peer_ = nullptr;

    Visibility visibility_ = Visibility::Visible;
    bool enabled_ = true;
    std::wstring text_;
    bool checked_ = false;
    int selectedIndex_ = -1;
    std::vector<std::wstring> items_;
    std::wstring style_;
    FlowDirection flowDirection_ = FlowDirection::LeftToRight;
    bool readOnly_ = false;
    double minWidth_ = 0.0;
    std::vector<std::wstring> columns_;
    std::vector<std::vector<std::wstring>> rows_;
    std::vector<bool> headingRows_;
    std::vector<RowCheck> rowChecks_;
    std::size_t progressDone_ = 0;
    std::size_t progressTotal_ = 0;
    double actualWidth_ = 0.0;
    double actualHeight_ = 0.0;
};

} // namespace Velmora
