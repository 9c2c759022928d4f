#include "ui/window_placement.h"

#include <algorithm>
#include <cmath>

namespace Velmora {

int DipsToPixels(double dips, unsigned dpi) noexcept {
    return static_cast<int>(std::lround(dips * dpi / 96.0));
}

Size MinimumWindowSize(unsigned dpi, Size frame) noexcept {
    return {DipsToPixels(kMinimumClientWidth, dpi) + frame.width,
            DipsToPixels(kMinimumClientHeight, dpi) + frame.height};
}

Rect InitialWindowRect(Rect workArea, unsigned dpi) noexcept {
    const int width = std::min(DipsToPixels(kPreferredWindowWidth, dpi), workArea.width);
    const int height = std::min(DipsToPixels(kPreferredWindowHeight, dpi), workArea.height);
    return {workArea.left + (workArea.width - width) / 2, workArea.top + (workArea.height - height) / 2,
            width, height};
}

Rect FitIntoWorkArea(Rect window, Rect workArea) noexcept {
    window.width = std::min(window.width, workArea.width);
    window.height = std::min(window.height, workArea.height);
    window.left = std::clamp(window.left, workArea.left, workArea.Right() - window.width);
    window.top = std::clamp(window.top, workArea.top, workArea.Bottom() - window.height);
    return window;
}

} // namespace Velmora
