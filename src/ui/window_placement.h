#pragma once

// Where the main window opens and how small it may get: arithmetic over a monitor's work area, its
// DPI and the window frame, so that it can be checked headless for any screen.

#include "ui/layout.h"

namespace Velmora {

// Device-independent pixels (1/96 inch) at `dpi`, rounded.
[[nodiscard]] int DipsToPixels(double dips, unsigned dpi) noexcept;

// The window's preferred outer size, and the smallest client area at which every page still shows
// its buttons and readable text (the content above them scrolls), in device-independent pixels.
inline constexpr double kPreferredWindowWidth = 960;
inline constexpr double kPreferredWindowHeight = 680;
inline constexpr double kMinimumClientWidth = 560;
inline constexpr double kMinimumClientHeight = 400;

// `frame` is what the window's frame adds to the client area at `dpi`.
[[nodiscard]] Size MinimumWindowSize(unsigned dpi, Size frame) noexcept;

// The first window: the preferred size at the monitor's DPI, shrunk to the work area where it is
// smaller, centred in it.
[[nodiscard]] Rect InitialWindowRect(Rect workArea, unsigned dpi) noexcept;

// A window after a move or a change of DPI: shrunk to the work area where it is larger, and moved
// just as far as it must to lie inside it.
[[nodiscard]] Rect FitIntoWorkArea(Rect window, Rect workArea) noexcept;

} // namespace Velmora
