#include "ui/control.h"

#include <utility>

namespace Velmora {

Control::Control(std::wstring name, ControlKind kind, Control* parent)
    : name_(std::move(name)), kind_(kind), parent_(parent) {
    if (parent_ != nullptr) {
        parent_->children_.push_back(this);
    }
}

void Control::Changed(ControlProperty property) {
    if (peer_ != nullptr) {
        peer_->PropertyChanged(*this, property);
    }
}

void Control::SetVisibility(Visibility visibility) {
    if (visibility_ != visibility) {
        visibility_ = visibility;
        Changed(ControlProperty::Visibility);
    }
}

bool Control::IsShown() const noexcept {
    for (const Control* control = this; control != nullptr; control = control->parent_) {
        if (control->visibility_ != Visibility::Visible) {
            return false;
        }
    }
    return true;
}

void Control::SetEnabled(bool enabled) {
    if (enabled_ != enabled) {
        enabled_ = enabled;
        Changed(ControlProperty::Enabled);
    }
}

void Control::SetText(std::wstring text) {
    if (text_ != text) {
        text_ = std::move(text);
        Changed(ControlProperty::Text);
    }
}

void Control::SetChecked(bool checked) {
    if (checked_ == checked) {
        return;
    }
    checked_ = checked;
    Changed(ControlProperty::Checked);
    const auto& handler = checked ? Checked : Unchecked;
    if (handler) {
        handler();
    }
}

void Control::SetSelectedIndex(int index) {
    if (selectedIndex_ == index) {
        return;
    }
    selectedIndex_ = index;
    Changed(ControlProperty::SelectedIndex);
    if (SelectionChanged) {
        SelectionChanged();
    }
}

void Control::SetItems(std::vector<std::wstring> items) {
    items_ = std::move(items);
    Changed(ControlProperty::Text);
}

void Control::SetStyle(std::wstring style) {
    if (style_ != style) {
        style_ = std::move(style);
        Changed(ControlProperty::Style);
    }
}

void Control::SetFlowDirection(FlowDirection direction) {
    if (flowDirection_ != direction) {
        flowDirection_ = direction;
        Changed(ControlProperty::FlowDirection);
    }
}

FlowDirection Control::EffectiveFlowDirection() const noexcept {
    // The nearest ancestor that set right to left decides; a tree starts left to right.
    for (const Control* control = this; control != nullptr; control = control->parent_) {
        if (control->flowDirection_ == FlowDirection::RightToLeft) {
            return FlowDirection::RightToLeft;
        }
    }
    return FlowDirection::LeftToRight;
}

void Control::SetReadOnly(bool readOnly) {
    if (readOnly_ != readOnly) {
        readOnly_ = readOnly;
        Changed(ControlProperty::ReadOnly);
    }
}

void Control::SetColumns(std::vector<std::wstring> columns) {
    if (columns_ != columns) {
        columns_ = std::move(columns);
        Changed(ControlProperty::Rows);
    }
}

void Control::SetRows(std::vector<std::vector<std::wstring>> rows, std::vector<bool> headings) {
    if (rows_ != rows || headingRows_ != headings) {
        rows_ = std::move(rows);
        headingRows_ = std::move(headings);
        Changed(ControlProperty::Rows);
    }
}

void Control::SetRowChecks(std::vector<RowCheck> checks) {
    if (rowChecks_ != checks) {
        rowChecks_ = std::move(checks);
        Changed(ControlProperty::Rows);
    }
}

void Control::RaiseRowToggled(std::size_t row) {
    const RowCheck check = RowCheckOf(row);
    if (enabled_ && RowToggled && (check == RowCheck::Unchecked || check == RowCheck::Checked)) {
        RowToggled(row);
    }
}

void Control::SetProgress(std::size_t done, std::size_t total) {
    if (progressDone_ != done || progressTotal_ != total) {
        progressDone_ = done;
        progressTotal_ = total;
        Changed(ControlProperty::Progress);
    }
}

void Control::SetMinWidth(double width) {
    if (minWidth_ != width) {
        minWidth_ = width;
        Changed(ControlProperty::MinWidth);
    }
}

void Control::SetActualSize(double width, double height) {
    if (actualWidth_ == width && actualHeight_ == height) {
        return;
    }
    actualWidth_ = width;
    actualHeight_ = height;
    if (SizeChanged) {
        SizeChanged();
    }
}

void Control::RaiseClick() {
    if (!enabled_ || !IsShown()) {
        return; // a disabled or hidden control cannot be clicked
    }
    if (kind_ == ControlKind::CheckBox) {
        SetChecked(!checked_);
    }
    if (Click) {
        Click();
    }
}

} // namespace Velmora
