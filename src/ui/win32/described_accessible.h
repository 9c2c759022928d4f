#pragma once

#include <string>

#include <windows.h>

namespace Velmora::Win32 {

// The answer to WM_GETOBJECT for the client area of a window that paints more than its window text (a
// profile card): the system's own accessible object for the window (name, role, state, place), with
// `description` as its description, so that a screen reader reads all the window shows. Zero when no
// object could be made: the window's default answer then stands.
[[nodiscard]] LRESULT AccessibleWithDescription(HWND window, WPARAM flags, std::wstring description);

} // namespace Velmora::Win32
