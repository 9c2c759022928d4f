#pragma once

// Where each control of a window goes: rows and columns of panels, sized by what their controls
// need, described by each control's look. Portable, so that a layout can be checked headless at any
// size and scale.

#include "ui/control.h"

#include <unordered_map>

namespace Velmora {

// A rectangle in device pixels.
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    [[nodiscard]] int Right() const noexcept { return left + width; }
    [[nodiscard]] int Bottom() const noexcept { return top + height; }
    [[nodiscard]] bool Contains(const Rect& other) const noexcept {
        return other.left >= left && other.top >= top && other.Right() <= Right() &&
               other.Bottom() <= Bottom();
    }
    bool operator==(const Rect&) const = default;
};

struct Size {
    int width = 0;
    int height = 0;
};

// What the layout needs of the platform: the pixel scale and the size of a control's text.
class LayoutMetrics {
public:
    virtual ~LayoutMetrics() = default;
    [[nodiscard]] virtual int Scale(double dips) const = 0;
    // The control's text in its font, broken into lines no wider than `maxWidth`.
    [[nodiscard]] virtual Size MeasureText(const Control& control, int maxWidth) const = 0;
    // What a vertical scroll bar takes of a scrolling panel's width.
    [[nodiscard]] virtual int ScrollBarWidth() const = 0;
};

// Where every shown control goes, in the root's client coordinates, before any scrolling. Collapsed
// controls and everything inside them have no place.
struct Arrangement {
    std::unordered_map<const Control*, Rect> rects;
    // Scrolling panels: the height of their content (more than their own when they scroll).
    std::unordered_map<const Control*, int> contentHeights;

    [[nodiscard]] const Rect* Find(const Control& control) const;
};

[[nodiscard]] Arrangement ArrangeControls(const Control& root, Rect client, const LayoutMetrics& metrics);

} // namespace Velmora
