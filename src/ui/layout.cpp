#include "ui/layout.h"

#include <algorithm>
#include <vector>

namespace Velmora {
namespace {

// Panels, and buttons whose content is other controls (the profile cards), place their children.
bool IsContainer(const Control& control) {
    return control.Kind() == ControlKind::Panel ||
           (control.Kind() == ControlKind::Button && !control.Children().empty());
}

std::vector<const Control*> ShownChildren(const Control& control) {
    std::vector<const Control*> shown;
    for (const Control* child : control.Children()) {
        if (child->GetVisibility() == Visibility::Visible) {
            shown.push_back(child);
        }
    }
    return shown;
}

int Gaps(int spacing, size_t count) {
    return count > 1 ? spacing * static_cast<int>(count - 1) : 0;
}

class Layouter {
public:
    Layouter(const LayoutMetrics& metrics, Arrangement& out) : metrics_(metrics), out_(out) {}

    // The size a control takes when it is given `available` pixels of width.
    [[nodiscard]] Size Measure(const Control& control, int available) const {
        Size size{available, 0};
        if (control.look.scrolls) {
            // Asks for no height of its own: what does not fit, scrolls.
        } else if (IsContainer(control)) {
            size.height = MeasureContainer(control, available);
        } else {
            size.height = LeafHeight(control, available);
        }
        if (control.look.height > 0) {
            size.height = S(control.look.height);
        }
        size.height = std::max(size.height, S(control.look.minHeight));
        return size;
    }

    void Arrange(const Control& control, Rect rect) {
        out_.rects[&control] = rect;
        if (control.look.scrolls) {
            // The content gets the height it needs, beside the scroll bar when it needs more than
            // the panel has; the part below is scrolled to.
            int needed = MeasureContainer(control, rect.width);
            if (needed > rect.height) {
                rect.width = std::max(0, rect.width - metrics_.ScrollBarWidth());
                needed = MeasureContainer(control, rect.width);
            }
            rect.height = std::max(rect.height, needed);
            out_.contentHeights[&control] = rect.height;
        }
        if (!IsContainer(control)) {
            return;
        }
        const int padX = S(control.look.paddingX);
        const int padY = S(control.look.paddingY);
        const Rect inner{rect.left + padX, rect.top + padY, std::max(0, rect.width - 2 * padX),
                         std::max(0, rect.height - 2 * padY)};
        const auto children = ShownChildren(control);
        if (IsRow(control, inner.width, children.size())) {
            ArrangeRow(control, inner, children);
        } else {
            ArrangeColumn(control, inner, children);
        }
    }

private:
    [[nodiscard]] int S(double dips) const { return metrics_.Scale(dips); }

    [[nodiscard]] int TextWidth(const Control& control, int available) const {
        return metrics_.MeasureText(control, available).width;
    }

    [[nodiscard]] int LeafHeight(const Control& control, int width) const {
        switch (control.Kind()) {
        case ControlKind::TextBlock: // a label's padding around its text
            return metrics_.MeasureText(control, std::max(1, width - 2 * S(control.look.paddingX))).height +
                   2 * S(control.look.paddingY);
        case ControlKind::Button:
            return S(40);
        case ControlKind::CheckBox: // the box, a gap, and the caption wrapped beside it
            return std::max(S(24), metrics_.MeasureText(control, std::max(1, width - S(28))).height + S(6));
        case ControlKind::ComboBox:
            return S(32);
        case ControlKind::ProgressRing:
            return S(8);
        case ControlKind::TextBox: // as high as their look says, or what a filler gets
        case ControlKind::ListView:
        case ControlKind::Panel:
            break;
        }
        return 0;
    }

    // The width a control wants when it need not stretch; buttons grow to fit their caption.
    [[nodiscard]] int NaturalWidth(const Control& control, int available) const {
        const int fixed = S(control.look.width);
        switch (control.Kind()) {
        case ControlKind::Button:
            if (control.Children().empty()) {
                return std::max(fixed, TextWidth(control, available) + S(40));
            }
            break;
        case ControlKind::TextBlock:
            return fixed > 0 ? fixed
                             : TextWidth(control, std::max(1, available - 2 * S(control.look.paddingX))) +
                                   2 * S(control.look.paddingX);
        case ControlKind::CheckBox:
            return fixed > 0 ? fixed : TextWidth(control, available) + S(28);
        case ControlKind::Panel:
            if (fixed == 0 && control.look.orientation == Orientation::Horizontal) {
                const auto children = ShownChildren(control);
                int width = 2 * S(control.look.paddingX) + Gaps(S(control.look.spacing), children.size());
                for (const Control* child : children) {
                    width += NaturalWidth(*child, available);
                }
                return width;
            }
            break;
        case ControlKind::ComboBox:
        case ControlKind::TextBox:
        case ControlKind::ProgressRing:
        case ControlKind::ListView:
            break;
        }
        return fixed > 0 ? fixed : available;
    }

    // The width of a child in a column: the whole column unless it has a width or an alignment.
    [[nodiscard]] int ColumnWidth(const Control& child, int inner) const {
        if (child.look.alignment == Alignment::Stretch && child.look.width == 0) {
            return inner;
        }
        return std::min(inner, NaturalWidth(child, inner));
    }

    // A horizontal panel is a row unless its children would get less than their minimum width.
    [[nodiscard]] bool IsRow(const Control& control, int inner, size_t count) const {
        if (control.look.orientation != Orientation::Horizontal) {
            return false;
        }
        if (control.look.minItemWidth <= 0 || count == 0) {
            return true;
        }
        const int each = (inner - Gaps(S(control.look.spacing), count)) / static_cast<int>(count);
        return each >= S(control.look.minItemWidth);
    }

    // Fillers share what the others leave of the row.
    [[nodiscard]] std::vector<int> RowWidths(const Control& row, const std::vector<const Control*>& children,
                                             int inner) const {
        std::vector<int> widths;
        int used = Gaps(S(row.look.spacing), children.size());
        int fillers = 0;
        for (const Control* child : children) {
            const int width = child->look.fill ? 0 : std::min(inner, NaturalWidth(*child, inner));
            fillers += child->look.fill ? 1 : 0;
            used += width;
            widths.push_back(width);
        }
        const int share = fillers > 0 ? std::max(0, inner - used) / fillers : 0;
        for (size_t i = 0; i < children.size(); ++i) {
            if (children[i]->look.fill) {
                widths[i] = share;
            }
        }
        return widths;
    }

    [[nodiscard]] int MeasureContainer(const Control& control, int width) const {
        const int inner = std::max(0, width - 2 * S(control.look.paddingX));
        const auto children = ShownChildren(control);
        int height = 0;
        if (IsRow(control, inner, children.size())) {
            const auto widths = RowWidths(control, children, inner);
            for (size_t i = 0; i < children.size(); ++i) {
                height = std::max(height, Measure(*children[i], widths[i]).height);
            }
        } else {
            height = Gaps(S(control.look.spacing), children.size());
            for (const Control* child : children) {
                height += Measure(*child, ColumnWidth(*child, inner)).height;
            }
        }
        return height + 2 * S(control.look.paddingY);
    }

    // Top to bottom; fillers share the height the others leave.
    void ArrangeColumn(const Control& column, Rect inner, const std::vector<const Control*>& children) {
        const int spacing = S(column.look.spacing);
        std::vector<Size> sizes;
        int used = Gaps(spacing, children.size());
        int fillers = 0;
        for (const Control* child : children) {
            const int width = ColumnWidth(*child, inner.width);
            sizes.push_back({width, Measure(*child, width).height});
            used += sizes.back().height;
            fillers += child->look.fill ? 1 : 0;
        }
        const int extra = fillers > 0 ? std::max(0, inner.height - used) / fillers : 0;
        int top = inner.top;
        for (size_t i = 0; i < children.size(); ++i) {
            const Control& child = *children[i];
            const int width = sizes[i].width;
            const int height = sizes[i].height + (child.look.fill ? extra : 0);
            int left = inner.left;
            if (child.look.alignment == Alignment::Center) {
                left += (inner.width - width) / 2;
            } else if (child.look.alignment == Alignment::End) {
                left += inner.width - width;
            }
            Arrange(child, {left, top, width, height});
            top += height + spacing;
        }
    }

    // Start to end; End-aligned children go to the far end, the others from the start (or, in a
    // centred row, to the middle). Panels and cards take the row's height, the rest are centred in it.
    void ArrangeRow(const Control& row, Rect inner, const std::vector<const Control*>& children) {
        const int spacing = S(row.look.spacing);
        const auto widths = RowWidths(row, children, inner.width);
        int startWidth = 0;
        int endWidth = 0;
        for (size_t i = 0; i < children.size(); ++i) {
            (children[i]->look.alignment == Alignment::End ? endWidth : startWidth) += widths[i] + spacing;
        }
        int startLeft = inner.left;
        if (row.look.alignment == Alignment::Center && endWidth == 0) {
            startLeft += std::max(0, inner.width - (startWidth - spacing)) / 2;
        }
        int endLeft = inner.Right() - std::max(0, endWidth - spacing);
        for (size_t i = 0; i < children.size(); ++i) {
            const Control& child = *children[i];
            int& left = child.look.alignment == Alignment::End ? endLeft : startLeft;
            const bool stretches = IsContainer(child) && child.look.height == 0;
            const int height =
                stretches ? inner.height : std::min(inner.height, Measure(child, widths[i]).height);
            Arrange(child, {left, inner.top + (inner.height - height) / 2, widths[i], height});
            left += widths[i] + spacing;
        }
    }

    const LayoutMetrics& metrics_;
    Arrangement& out_;
};

} // namespace

const Rect* Arrangement::Find(const Control& control) const {
    const auto found = rects.find(&control);
    return found == rects.end() ? nullptr : &found->second;
}

Arrangement ArrangeControls(const Control& root, Rect client, const LayoutMetrics& metrics) {
    Arrangement arrangement;
    if (root.GetVisibility() == Visibility::Visible) {
        Layouter(metrics, arrangement).Arrange(root, client);
    }
    return arrangement;
}

} // namespace Velmora
